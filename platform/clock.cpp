#include "platform/clock.h"
#include "platform/quitsignal.h"

#include "platform/backend.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <time.h>

namespace {

std::atomic<int> s_source{-1};
std::atomic<uint64_t> s_manualUs{0};
std::atomic<uint64_t> s_wakeCount{0};
uint64_t s_realBaseUs = 0;
std::once_flag s_realBaseOnce;
std::mutex s_mutex;
std::condition_variable s_cv;

uint64_t RealNowRawUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

uint64_t RealNowUs()
{
    std::call_once(s_realBaseOnce, [] { s_realBaseUs = RealNowRawUs(); });
    return RealNowRawUs() - s_realBaseUs;
}

PLATCLOCK Source()
{
    int s = s_source.load(std::memory_order_acquire);
    if (s < 0) {
        // TNV_REALTIME=1: a headless run on the real clock, so several processes share time.
        s = Plat_IsHeadless() && Plat_GetEnvInt("TNV_REALTIME", 0) != 1 ? PLAT_CLOCK_MANUAL : PLAT_CLOCK_REAL;
        int expected = -1;
        if (!s_source.compare_exchange_strong(expected, s))
            s = expected;
    }
    return static_cast<PLATCLOCK>(s);
}

void NotifyAll()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_cv.notify_all();
}

} // namespace

void Plat_ClockUse(PLATCLOCK source)
{
    if (source == PLAT_CLOCK_MANUAL)
        s_manualUs.store(0);
    s_source.store(source, std::memory_order_release);
    NotifyAll();
}

PLATCLOCK Plat_ClockSource()
{
    return Source();
}

uint64_t Plat_ClockNowUs()
{
    return Source() == PLAT_CLOCK_MANUAL ? s_manualUs.load(std::memory_order_acquire) : RealNowUs();
}

uint32_t Plat_Milliseconds()
{
    return static_cast<uint32_t>(Plat_ClockNowUs() / 1000u);
}

void Plat_SleepMs(uint32_t ms)
{
    if (Source() == PLAT_CLOCK_MANUAL) {
        Plat_ManualClockAdvance(static_cast<uint64_t>(ms) * 1000u);
        return;
    }
    // In slices, so that a quit signal ends a long wait soon after it comes.
    const uint64_t end = RealNowUs() + static_cast<uint64_t>(ms) * 1000u;
    for (uint64_t now = RealNowUs(); now < end && !Plat_QuitSignalled(); now = RealNowUs()) {
        const uint64_t slice = std::min<uint64_t>(end - now, 50000u);
        timespec ts{0, static_cast<long>(slice) * 1000L};
        nanosleep(&ts, nullptr);
    }
}

bool Plat_WaitUntilUs(uint64_t deadlineUs)
{
    const uint64_t wake = s_wakeCount.load(std::memory_order_acquire);
    if (Source() == PLAT_CLOCK_MANUAL) {
        std::unique_lock<std::mutex> lock(s_mutex);
        s_cv.wait(lock, [&] {
            return s_manualUs.load() >= deadlineUs || s_wakeCount.load() != wake ||
                   Source() != PLAT_CLOCK_MANUAL;
        });
        return s_wakeCount.load() == wake;
    }
    // Real clock: sleep to the absolute deadline in slices so a wake is noticed promptly.
    while (s_wakeCount.load(std::memory_order_acquire) == wake) {
        uint64_t now = RealNowUs();
        if (now >= deadlineUs)
            return true;
        uint64_t target = s_realBaseUs + deadlineUs;
        uint64_t slice = now + 5000 < deadlineUs ? s_realBaseUs + now + 5000 : target;
        timespec ts{static_cast<time_t>(slice / 1000000u), static_cast<long>(slice % 1000000u) * 1000L};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
    }
    return false;
}

void Plat_ClockWake()
{
    s_wakeCount.fetch_add(1, std::memory_order_acq_rel);
    NotifyAll();
}

void Plat_ManualClockAdvance(uint64_t us)
{
    if (Source() != PLAT_CLOCK_MANUAL)
        return;
    s_manualUs.fetch_add(us, std::memory_order_acq_rel);
    NotifyAll();
}

void Plat_ManualClockSet(uint64_t us)
{
    if (Source() != PLAT_CLOCK_MANUAL)
        return;
    s_manualUs.store(us, std::memory_order_release);
    NotifyAll();
}
