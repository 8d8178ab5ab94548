#include "platform/audio_in.h"
#include "platform/backend.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::mutex s_mutex;
std::vector<int> s_kinds;

void Record(int kind, void *)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_kinds.push_back(kind);
}

// Waits for the source's thread to have sent n notifications (a hang guard, not a measure).
std::vector<int> Kinds(size_t n)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            if (s_kinds.size() >= n || std::chrono::steady_clock::now() > give_up)
                return s_kinds;
        }
        std::this_thread::yield();
    }
}

} // namespace

TEST(AudioIn, HeadlessSourceNotifiesAtTheMiddleTheStartAndTheStop)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    s_kinds.clear();
    ASSERT_EQ(Plat_AudioInEnumerate(), 3);
    EXPECT_EQ(Plat_AudioInDeviceRates(1), PLAT_AUDIO_IN_22050);
    EXPECT_EQ(Plat_AudioInDeviceRates(3), 0);
    // Two seconds at 11025 Hz.
    ASSERT_EQ(Plat_AudioInOpen(0, 11025, 44100, Record, nullptr), 0);
    EXPECT_EQ(Plat_AudioInOpen(0, 11025, 44100, Record, nullptr), -1) << "one device at a time";
    ASSERT_EQ(Plat_AudioInStart(), 0);
    EXPECT_EQ(Plat_AudioInPosition(), 0);

    Plat_ManualClockAdvance(999999);
    EXPECT_EQ(Plat_AudioInPosition(), 22048);
    Plat_ManualClockAdvance(1);
    EXPECT_EQ(Kinds(1), std::vector<int>{PLAT_AUDIO_IN_AT_MIDDLE});
    EXPECT_EQ(Plat_AudioInPosition(), 22050);
    Plat_ManualClockAdvance(1000000);
    EXPECT_EQ(Kinds(2), (std::vector<int>{PLAT_AUDIO_IN_AT_MIDDLE, PLAT_AUDIO_IN_AT_START}));
    EXPECT_EQ(Plat_AudioInPosition(), 0);

    ASSERT_EQ(Plat_AudioInStop(), 0);
    EXPECT_EQ(Kinds(3).back(), PLAT_AUDIO_IN_STOPPED);
    EXPECT_EQ(Plat_AudioInStop(), -1);
    Plat_AudioInClose();
    EXPECT_EQ(Plat_AudioInPosition(), -1);
}

TEST(AudioIn, OpenRefusesWhatItCannotCapture)
{
    Plat_AudioInEnumerate();
    struct Case
    {
        int device, rate, bytes;
    };
    for (Case c : {Case{5, 44100, 8192}, Case{-1, 44100, 8192}, Case{0, 0, 8192}, Case{0, 44100, 3},
                   Case{0, 44100, 8191}, Case{0, 44100, -8192}}) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(Plat_AudioInOpen(c.device, c.rate, c.bytes, Record, nullptr), -1);
        EXPECT_FALSE(Plat_AudioInIsOpen());
    }
    EXPECT_EQ(Plat_AudioInStart(), -1);
}
