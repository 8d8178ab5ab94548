// The command line on arbitrary bytes, as one line and as an argument vector split at NULs: no
// overflow, and every text it fills stays terminated inside its buffer.
#include "app/cmdline.h"
#include "app/settings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void CheckTerminated(const char *buf, size_t size)
{
    if (strnlen(buf, size) >= size)
        abort();
}

void CheckAll()
{
    CheckTerminated(g_szJoinAddress, sizeof g_szJoinAddress);
    CheckTerminated(g_szAdvertIp, sizeof g_szAdvertIp);
    CheckTerminated(g_szAdvertPort, sizeof g_szAdvertPort);
    CheckTerminated(g_szServerName, sizeof g_szServerName);
    CheckTerminated(g_szPlayerName, sizeof g_szPlayerName);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string line(reinterpret_cast<const char *>(data), size);
    Sys_ParseCommandLine(line.c_str());
    CheckAll();

    std::vector<std::string> args(1, "tnvpc");
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i)
        if (i == size || data[i] == 0) {
            args.emplace_back(line, start, i - start);
            start = i + 1;
        }
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    Sys_ParseCommandArgs(static_cast<int>(argv.size()), argv.data());
    CheckAll();
    return 0;
}
