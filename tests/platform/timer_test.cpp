#include "platform/clock.h"
#include "platform/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Waits (bounded, so a fault fails instead of hanging) until the condition holds.
template <typename F>
bool WaitFor(F condition)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > give_up)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void Count(void *arg)
{
    static_cast<std::atomic<int> *>(arg)->fetch_add(1);
}

class TimerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_TimerFailStarts(0);
    }
    void TearDown() override { Plat_TimerFailStarts(0); }
};

} // namespace

TEST_F(TimerTest, FiresOncePerDeadlineAndNotAfterKill)
{
    std::atomic<int> calls{0};
    uint32_t id = Plat_TimerStart(2, Count, &calls);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Plat_TimerCount(), 1);

    // One millisecond at a time: a call on every second one.
    for (int ms = 1; ms <= 40; ms++) {
        Plat_ManualClockAdvance(1000);
        ASSERT_TRUE(WaitFor([&] { return calls.load() == ms / 2; })) << ms;
    }
    // A jump fires every deadline it passed, so the timer never falls behind the clock.
    Plat_ManualClockAdvance(20000);
    ASSERT_TRUE(WaitFor([&] { return calls.load() == 30; }));

    Plat_TimerKill(id);
    EXPECT_EQ(Plat_TimerCount(), 0);
    Plat_ManualClockAdvance(100000);
    EXPECT_EQ(calls.load(), 30);
    Plat_TimerKill(id); // a second kill is ignored
}

TEST_F(TimerTest, StartsThatFail)
{
    std::atomic<int> calls{0};
    EXPECT_EQ(Plat_TimerStart(0, Count, &calls), 0u);
    EXPECT_EQ(Plat_TimerStart(1, nullptr, &calls), 0u);
    Plat_TimerFailStarts(1);
    EXPECT_EQ(Plat_TimerStart(1, Count, &calls), 0u);
    EXPECT_EQ(Plat_TimerCount(), 0);
    uint32_t id = Plat_TimerStart(1, Count, &calls);
    EXPECT_NE(id, 0u);
    Plat_TimerKill(id);
    Plat_TimerKill(0);
    Plat_TimerKill(123456);
    EXPECT_EQ(Plat_TimerCount(), 0);
}

TEST_F(TimerTest, KillWhileWaitingAndFromItsOwnCallback)
{
    // Killed while its thread waits for a deadline the manual clock never reaches.
    std::atomic<int> calls{0};
    uint32_t idle = Plat_TimerStart(1000, Count, &calls);
    ASSERT_NE(idle, 0u);
    Plat_TimerKill(idle);
    EXPECT_EQ(calls.load(), 0);

    // A callback that stops its own timer.
    static std::atomic<uint32_t> s_self{0};
    static std::atomic<int> s_selfCalls{0};
    s_selfCalls = 0;
    s_self = Plat_TimerStart(1, [](void *) {
        s_selfCalls++;
        Plat_TimerKill(s_self);
    }, nullptr);
    ASSERT_NE(s_self.load(), 0u);
    Plat_ManualClockAdvance(1000);
    ASSERT_TRUE(WaitFor([] { return Plat_TimerCount() == 0; }));
    Plat_ManualClockAdvance(5000);
    EXPECT_EQ(s_selfCalls.load(), 1);
}

TEST_F(TimerTest, ManyTimersTogether)
{
    std::atomic<int> a{0}, b{0}, c{0};
    uint32_t ids[3] = {Plat_TimerStart(1, Count, &a), Plat_TimerStart(2, Count, &b),
                       Plat_TimerStart(20, Count, &c)};
    for (int ms = 0; ms < 100; ms++)
        Plat_ManualClockAdvance(1000);
    ASSERT_TRUE(WaitFor([&] { return a == 100 && b == 50 && c == 5; }));
    for (uint32_t id : ids)
        Plat_TimerKill(id);
}
