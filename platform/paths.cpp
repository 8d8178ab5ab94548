#include "platform/paths.h"

#include "platform/backend.h"

#include <climits>
#include <unistd.h>

std::string Plat_ExecutableDir()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string exe(buf, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return exe.substr(0, slash);
}

std::string Plat_HomeDir()
{
    const char *h = Plat_GetEnv("HOME");
    return h ? h : std::string();
}
