// A log of named calls, so tests can check the order in which the program brings services up and
// down, and a list of calls that should answer failure. Off (and free) unless a test turns it on.
#pragma once

#include <string>
#include <vector>

// On: clears the log and the failure list. Off: nothing is recorded or failed.
void Sys_CallLogEnable(bool on);
void Sys_CallLog(const char *name);
const std::vector<std::string> &Sys_CallLogGet();
void Sys_CallLogClear();
// Makes the named call answer failure while the log is on.
void Sys_CallLogFailOn(const char *name);
bool Sys_CallLogShouldFail(const char *name);
