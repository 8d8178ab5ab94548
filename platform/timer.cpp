#include "platform/timer.h"

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct Timer
{
    uint32_t periodMs = 0;
    PLATTIMERPROC fn = nullptr;
    void *arg = nullptr;
    std::atomic<bool> stop{false};
    // The next deadline the thread waits for: every callback due before it has run.
    std::atomic<uint64_t> due{0};
    std::promise<void> exited;
    std::thread thread;
};

constexpr uint64_t kResyncUs = 100000;

constexpr uint64_t kDoneUs = UINT64_MAX;

std::atomic<int> s_failStarts{0};
std::atomic<bool> s_halted{false};

// Told whenever a timer thread has run its due callbacks, for Plat_TimersCatchUp. Never
// destroyed: a timer stopped from its own callback ends on a detached thread, maybe after exit.
struct Progress
{
    std::mutex mutex;
    std::condition_variable changed;
};
Progress &Progressed()
{
    static Progress *s_progress = new Progress;
    return *s_progress;
}

void Publish(Timer &t, uint64_t due)
{
    Progress &p = Progressed();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        t.due.store(due, std::memory_order_release);
    }
    p.changed.notify_all();
}

void Run(std::shared_ptr<Timer> t, uint64_t startUs)
{
    const uint64_t periodUs = static_cast<uint64_t>(t->periodMs) * 1000u;
    uint64_t deadline = startUs + periodUs;
    while (!t->stop.load(std::memory_order_acquire)) {
        Publish(*t, deadline);
        if (!Plat_WaitUntilUs(deadline))
            continue; // woken: look at the stop flag again
        if (t->stop.load(std::memory_order_acquire))
            break;
        if (!s_halted.load(std::memory_order_acquire))
            t->fn(t->arg);
        deadline += periodUs;
        if (Plat_ClockSource() == PLAT_CLOCK_REAL) {
            uint64_t now = Plat_ClockNowUs();
            if (now > deadline + kResyncUs)
                deadline = now + periodUs;
        }
    }
    Publish(*t, kDoneUs);
    t->exited.set_value();
}

// Owns the timers; its destructor stops those still running when the program ends.
struct Registry
{
    std::mutex mutex;
    std::map<uint32_t, std::shared_ptr<Timer>> timers;
    uint32_t nextId = 1;

    ~Registry()
    {
        std::map<uint32_t, std::shared_ptr<Timer>> left;
        {
            std::lock_guard<std::mutex> lock(mutex);
            left.swap(timers);
        }
        for (auto &entry : left)
            Stop(*entry.second);
    }

    static void Stop(Timer &t)
    {
        t.stop.store(true, std::memory_order_release);
        if (t.thread.get_id() == std::this_thread::get_id()) {
            t.thread.detach();
            return;
        }
        // A wake can land just before the thread starts waiting; repeat it until the thread is out.
        std::future<void> done = t.exited.get_future();
        do {
            Plat_ClockWake();
        } while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready);
        t.thread.join();
    }
};

Registry &Timers()
{
    static Registry s_registry;
    return s_registry;
}

} // namespace

uint32_t Plat_TimerStart(uint32_t periodMs, PLATTIMERPROC fn, void *arg)
{
    if (periodMs == 0 || !fn)
        return 0;
    int fail = s_failStarts.load();
    while (fail > 0) {
        if (s_failStarts.compare_exchange_weak(fail, fail - 1))
            return 0;
    }
    auto t = std::make_shared<Timer>();
    t->due.store(Plat_ClockNowUs() + static_cast<uint64_t>(periodMs) * 1000u);
    t->periodMs = periodMs;
    t->fn = fn;
    t->arg = arg;
    Registry &reg = Timers();
    std::lock_guard<std::mutex> lock(reg.mutex);
    try {
        t->thread = std::thread(Run, t, Plat_ClockNowUs());
    } catch (const std::system_error &) {
        return 0;
    }
    uint32_t id = reg.nextId++;
    if (reg.nextId == 0)
        reg.nextId = 1;
    reg.timers.emplace(id, std::move(t));
    return id;
}

void Plat_TimerKill(uint32_t id)
{
    if (id == 0)
        return;
    Registry &reg = Timers();
    std::shared_ptr<Timer> t;
    {
        std::lock_guard<std::mutex> lock(reg.mutex);
        auto it = reg.timers.find(id);
        if (it == reg.timers.end())
            return;
        t = std::move(it->second);
        reg.timers.erase(it);
    }
    // A timer stopped from its own callback finishes it on a detached thread that holds its own
    // reference to the record.
    Registry::Stop(*t);
}

void Plat_TimerHaltAll(bool halt)
{
    s_halted.store(halt, std::memory_order_release);
}

int Plat_TimerCount()
{
    Registry &reg = Timers();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return static_cast<int>(reg.timers.size());
}

void Plat_TimerFailStarts(int count)
{
    s_failStarts.store(count < 0 ? 0 : count);
}

bool Plat_TimersCatchUp(uint32_t limitMs)
{
    if (Plat_ClockSource() != PLAT_CLOCK_MANUAL)
        return true;
    const uint64_t now = Plat_ClockNowUs();
    std::vector<std::shared_ptr<Timer>> running;
    {
        Registry &reg = Timers();
        std::lock_guard<std::mutex> lock(reg.mutex);
        for (auto &entry : reg.timers)
            running.push_back(entry.second);
    }
    // A callback that waits for the caller would never finish: the wait has a bound in real time.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    Progress &p = Progressed();
    std::unique_lock<std::mutex> lock(p.mutex);
    for (const std::shared_ptr<Timer> &t : running) {
        const bool done = p.changed.wait_until(lock, giveUp, [&] {
            return t->stop.load(std::memory_order_acquire) || t->due.load(std::memory_order_acquire) > now;
        });
        if (!done)
            return false;
    }
    return true;
}
