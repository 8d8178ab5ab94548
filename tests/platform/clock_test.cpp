#include "platform/backend.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(Backend, HeadlessFromEnvironmentAndOverride)
{
    // CTest runs every test with TNV_BACKEND=headless.
    EXPECT_TRUE(Plat_IsHeadless());
    Plat_SetBackend(PLAT_BACKEND_REAL);
    EXPECT_EQ(Plat_Backend(), PLAT_BACKEND_REAL);
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    EXPECT_TRUE(Plat_IsHeadless());
}

TEST(Backend, EnvInt)
{
    setenv("TNV_TEST_INT", "42", 1);
    EXPECT_EQ(Plat_GetEnvInt("TNV_TEST_INT", 7), 42);
    setenv("TNV_TEST_INT", "4x", 1);
    EXPECT_EQ(Plat_GetEnvInt("TNV_TEST_INT", 7), 7);
    setenv("TNV_TEST_INT", "", 1);
    EXPECT_EQ(Plat_GetEnvInt("TNV_TEST_INT", 7), 7);
    EXPECT_EQ(Plat_GetEnv("TNV_TEST_INT"), nullptr);
    unsetenv("TNV_TEST_INT");
}

TEST(ManualClock, SleepAdvancesAndMillisecondsWrap)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    EXPECT_EQ(Plat_ClockNowUs(), 0u);
    Plat_SleepMs(25);
    EXPECT_EQ(Plat_Milliseconds(), 25u);
    Plat_ManualClockAdvance(1500);
    EXPECT_EQ(Plat_ClockNowUs(), 26500u);
    EXPECT_EQ(Plat_Milliseconds(), 26u);
    Plat_ManualClockSet((uint64_t{1} << 32) * 1000u + 3000u);
    EXPECT_EQ(Plat_Milliseconds(), 3u);
}

TEST(ManualClock, WaitUntilReleasedByAdvanceAndByWake)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    std::atomic<int> done{0};
    std::atomic<bool> result{false};
    std::thread waiter([&] {
        result = Plat_WaitUntilUs(10000);
        done = 1;
    });
    Plat_ManualClockAdvance(9999);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(done.load(), 0);
    Plat_ManualClockAdvance(1);
    waiter.join();
    EXPECT_TRUE(result.load());

    std::atomic<bool> finished{false};
    std::thread early([&] {
        result = Plat_WaitUntilUs(1000000);
        finished = true;
    });
    // A wake before the waiter starts waiting is not seen by it, so keep waking until it ends.
    while (!finished) {
        Plat_ClockWake();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    early.join();
    EXPECT_FALSE(result.load());
}

TEST(RealClock, MonotonicAndDeadlinePassed)
{
    Plat_ClockUse(PLAT_CLOCK_REAL);
    uint64_t a = Plat_ClockNowUs();
    Plat_SleepMs(2);
    uint64_t b = Plat_ClockNowUs();
    EXPECT_GE(b - a, 2000u);
    EXPECT_TRUE(Plat_WaitUntilUs(b + 1000));
    EXPECT_GE(Plat_ClockNowUs(), b + 1000);
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
}
