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

std::string Plat_UserDataDir()
{
    const char *x = Plat_GetEnv("XDG_DATA_HOME");
    if (x && x[0] == '/')
        return std::string(x) + "/tonnivelle";
    const std::string home = Plat_HomeDir();
    return home.empty() ? std::string() : home + "/.local/share/tonnivelle";
}
