#include "platform/backend.h"
#include "platform/midi_in.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// Listing the real MIDI ports says nothing on stderr, whether or not the machine has a MIDI
// sequencer device (without one the list is empty, and that is no error).
TEST(MidiInReal, ListingIsQuietWithOrWithoutADevice)
{
    const std::string path = ::testing::TempDir() + "midi_stderr.txt";
    std::fflush(stderr);
    const int saved = dup(2);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    dup2(file, 2);
    close(file);
    Plat_SetBackend(PLAT_BACKEND_REAL);
    const int ports = Plat_MidiInEnumerate();
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);

    FILE *f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string said;
    for (int c; (c = std::fgetc(f)) != EOF;)
        said.push_back(static_cast<char>(c));
    std::fclose(f);
    EXPECT_EQ(said, "");
    EXPECT_GE(ports, 0);
    if (access("/dev/snd/seq", F_OK) != 0) {
        EXPECT_EQ(ports, 0);
    }
}
