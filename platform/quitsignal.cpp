#include "platform/quitsignal.h"

#include <SDL.h>

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> s_signalled{0};
std::atomic<int> s_taken{0};

void OnQuitSignal(int sig)
{
    if (s_signalled.exchange(1) != 0) {
        // Asked twice and still here: give up on the clean ending.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
}

} // namespace

void Plat_QuitSignalsInstall()
{
    // SDL would turn them into its quit event only while events are pumped.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction sa = {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // interrupt waits, so they can look at the flag
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool Plat_QuitSignalled()
{
    return s_signalled.load() != 0;
}

bool Plat_QuitSignalTake()
{
    return s_signalled.load() != 0 && s_taken.exchange(1) == 0;
}

void Plat_QuitSignalReset()
{
    s_signalled = 0;
    s_taken = 0;
}

void Plat_QuitSignalRaise()
{
    s_signalled = 1;
}
