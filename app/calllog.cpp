#include "app/calllog.h"

#include <algorithm>

namespace {
bool s_on = false;
std::vector<std::string> s_log;
std::vector<std::string> s_fail;
} // namespace

void Sys_CallLogEnable(bool on)
{
    s_on = on;
    s_log.clear();
    s_fail.clear();
}

void Sys_CallLog(const char *name)
{
    if (s_on)
        s_log.emplace_back(name);
}

const std::vector<std::string> &Sys_CallLogGet()
{
    return s_log;
}

void Sys_CallLogClear()
{
    s_log.clear();
}

void Sys_CallLogFailOn(const char *name)
{
    s_fail.emplace_back(name);
}

bool Sys_CallLogShouldFail(const char *name)
{
    return s_on && std::find(s_fail.begin(), s_fail.end(), name) != s_fail.end();
}
