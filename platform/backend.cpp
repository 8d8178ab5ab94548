#include "platform/backend.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<int> s_backend{-1};
}

PLATBACKEND Plat_Backend()
{
    int b = s_backend.load(std::memory_order_acquire);
    if (b < 0) {
        const char *env = Plat_GetEnv("TNV_BACKEND");
        b = (env && std::strcmp(env, "headless") == 0) ? PLAT_BACKEND_HEADLESS : PLAT_BACKEND_REAL;
        int expected = -1;
        if (!s_backend.compare_exchange_strong(expected, b))
            b = expected;
    }
    return static_cast<PLATBACKEND>(b);
}

bool Plat_IsHeadless()
{
    return Plat_Backend() == PLAT_BACKEND_HEADLESS;
}

void Plat_SetBackend(PLATBACKEND backend)
{
    s_backend.store(backend, std::memory_order_release);
}

const char *Plat_GetEnv(const char *name)
{
    const char *v = std::getenv(name);
    return (v && *v) ? v : nullptr;
}

long Plat_GetEnvInt(const char *name, long fallback)
{
    const char *v = Plat_GetEnv(name);
    if (!v)
        return fallback;
    char *end = nullptr;
    errno = 0;
    long n = std::strtol(v, &end, 10);
    if (errno != 0 || end == v || *end != '\0')
        return fallback;
    return n;
}
