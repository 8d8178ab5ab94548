#include "platform/audio_out.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

TEST(AudioOutHeadless, OpenStatesAndCapacity)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    int16_t frame[2] = {1, 2};
    EXPECT_EQ(Plat_AudioOutWrite(frame, 4), -1);
    EXPECT_FALSE(Plat_AudioOutBlockWanted(72));
    EXPECT_EQ(Plat_AudioOutStart(), -1);
    ASSERT_GE(Plat_AudioOutEnumerate(), 1);
    EXPECT_EQ(Plat_AudioOutOpen(PLAT_AUDIO_MAX_DEVICES), -1);
    EXPECT_STRNE(Plat_AudioOutError(), "");
    ASSERT_EQ(Plat_AudioOutOpen(0), 0);
    EXPECT_EQ(Plat_AudioOutOpen(0), -1);
    // The queue never takes more than its ring holds, whatever the caller asks.
    std::vector<int16_t> big((PLAT_AUDIO_MAX_QUEUE_FRAMES + 1) * 2, 5);
    EXPECT_EQ(Plat_AudioOutWrite(big.data(), big.size() * 2), -1);
    EXPECT_EQ(Plat_AudioOutWrite(big.data(), (big.size() - 2) * 2), 0);
    // Not started: time passes, nothing plays.
    Plat_ManualClockAdvance(100000);
    EXPECT_EQ(Plat_AudioOutQueuedFrames(), PLAT_AUDIO_MAX_QUEUE_FRAMES);
    EXPECT_EQ(Plat_AudioOutPlayedFrames(), 0u);
    ASSERT_EQ(Plat_AudioOutStart(), 0);
    Plat_ManualClockAdvance(1000000);
    EXPECT_EQ(Plat_AudioOutQueuedFrames(), 0);
    EXPECT_EQ(Plat_AudioOutPlayedFrames(), 44100u);
    Plat_AudioOutClose();
    // Reopen starts afresh.
    ASSERT_EQ(Plat_AudioOutOpen(1), 0);
    EXPECT_EQ(Plat_AudioOutPlayedFrames(), 0u);
    Plat_AudioOutClose();
}

// The real SDL backend on SDL's disk driver: opens, plays a few blocks into a file, closes.
TEST(AudioOutSdl, DiskDriverSmoke)
{
    TempDir dir;
    std::string out = dir.File("sdlaudio.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    Plat_SetBackend(PLAT_BACKEND_REAL);
    Plat_ClockUse(PLAT_CLOCK_REAL);

    ASSERT_GE(Plat_AudioOutEnumerate(), 1);
    EXPECT_NE(std::string(Plat_AudioOutDeviceName(0)).find("disk"), std::string::npos);
    ASSERT_EQ(Plat_AudioOutOpen(0), 0) << Plat_AudioOutError();
    std::vector<int16_t> block(72 * 2);
    for (int i = 0; i < 72; ++i) {
        block[i * 2] = static_cast<int16_t>(1000 + i);
        block[i * 2 + 1] = static_cast<int16_t>(-1000 - i);
    }
    int written = 0;
    while (Plat_AudioOutBlockWanted(72) && written < 8) {
        ASSERT_EQ(Plat_AudioOutWrite(block.data(), block.size() * 2), 0);
        ++written;
    }
    EXPECT_EQ(written, 8);
    ASSERT_EQ(Plat_AudioOutStart(), 0);
    // Wait (boundedly) for the device thread to pull what was queued.
    for (int i = 0; i < 500 && Plat_AudioOutQueuedFrames() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Plat_AudioOutQueuedFrames(), 0);
    Plat_AudioOutStop();
    Plat_AudioOutClose();
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);

    // The first queued frame reached the file.
    FILE *f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<unsigned char> bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    const unsigned char first[4] = {0xE8, 0x03, 0x18, 0xFC}; // 1000, -1000
    bool found = false;
    for (size_t i = 0; i + 4 <= bytes.size() && !found; i += 4)
        found = std::equal(first, first + 4, bytes.begin() + static_cast<long>(i));
    EXPECT_TRUE(found) << bytes.size() << " bytes written";
}

// Stopping and starting an output while SDL's thread pulls from it and another thread writes: the
// ring's lock is never held while SDL is called (SDL holds its device lock while it pulls), so the
// ThreadSanitizer build sees no lock-order inversion and no call can deadlock.
TEST(AudioOutSdl, RestartsWhilePlayingAndBeingWritten)
{
    TempDir dir;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.File("restart.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
    Plat_SetBackend(PLAT_BACKEND_REAL);
    Plat_ClockUse(PLAT_CLOCK_REAL);
    ASSERT_GE(Plat_AudioOutEnumerate(), 1);
    ASSERT_EQ(Plat_AudioOutOpen(0), 0) << Plat_AudioOutError();

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::vector<int16_t> block(72 * 2, 100);
        while (!stop) {
            if (Plat_AudioOutBlockWanted(72))
                Plat_AudioOutWrite(block.data(), block.size() * 2);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int round = 0; round < 4; ++round) {
        ASSERT_EQ(Plat_AudioOutStart(), 0);
        // Until the device has pulled something in this round (boundedly).
        const uint64_t before = Plat_AudioOutPlayedFrames();
        for (int i = 0; i < 500 && Plat_AudioOutPlayedFrames() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_GT(Plat_AudioOutPlayedFrames(), before) << "round " << round;
        Plat_AudioOutStop();
    }
    ASSERT_EQ(Plat_AudioOutStart(), 0);
    stop = true;
    writer.join();
    Plat_AudioOutClose();
    EXPECT_FALSE(Plat_AudioOutIsOpen());
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
}
