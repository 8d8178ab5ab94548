// The program as a process plays into its sound output: the headless device records what it
// played, silence included, so the recording lasts exactly as long as the output was open.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

uint32_t Le32(const unsigned char *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

TEST(ProgramSound, HeadlessRunRecordsItsWholeOutput)
{
    const std::string program = std::string(TNV_TEST_BUILD_DIR) + "/tnvpc";
    // Named per process: other checkouts may run this test at the same time in the same folder.
    const std::string tag = std::to_string(getpid());
    const std::string script = ::testing::TempDir() + "tnv_sound_focus" + tag + ".txt";
    if (FILE *f = std::fopen(script.c_str(), "w")) {
        // Away and back: the output closes and opens again into the same recording.
        std::fputs("10 activate 0\n10 activate 1\n", f);
        std::fclose(f);
    }
    const struct
    {
        const char *name;
        std::string env;
    } cases[] = {
        {"frames only", ""},
        {"focus lost and back", "TNV_INPUT_SCRIPT=" + script},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string wav = ::testing::TempDir() + "tnv_program_sound" + tag + ".wav";
        std::remove(wav.c_str());
        const std::string cmd = "env -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=100 TNV_AUDIO_DUMP='" +
                                wav + "' " + c.env + " '" + program + "' >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);

        FILE *f = std::fopen(wav.c_str(), "rb");
        ASSERT_NE(f, nullptr) << "no recording: the output was never opened";
        unsigned char h[44] = {};
        ASSERT_EQ(std::fread(h, 1, sizeof h, f), sizeof h);
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fclose(f);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(h), 4), "RIFF");
        EXPECT_EQ(std::string(reinterpret_cast<char *>(h) + 8, 4), "WAVE");
        EXPECT_EQ(h[22], 2);                // stereo
        EXPECT_EQ(Le32(h + 24), 44100u);    // rate
        EXPECT_EQ(h[34], 16);               // bits
        // The loading picture's five seconds, then 100 frames and the two passes that end the
        // loop, 20 ms each: 102 x 882 sound frames.
        EXPECT_EQ(Le32(h + 40), (5u * 44100u + 102u * 882u) * 4u);
        EXPECT_EQ(size, 44 + (5L * 44100L + 102L * 882L) * 4L);
        std::remove(wav.c_str());
    }
    std::remove(script.c_str());
}
