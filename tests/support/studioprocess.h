// Running the studio as a separate program from a test and reading the pictures it leaves:
// headless frame dumps (PNG) and window dumps of a virtual X server (xwd).
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <sys/types.h>

// True when a command of that name is on the PATH.
bool HaveTool(const char *name);
// Runs a shell command and returns what it printed.
std::string RunAndRead(const std::string &cmd);
// Waits for a child to end, checking a bounded number of times; -1 when it did not end.
int WaitExit(pid_t pid, int tries);
// True once the process catches the signal (its handler is installed), read from /proc; waits a
// bounded time, so a slow start under a sanitizer or a loaded machine is not killed by default.
bool WaitCaught(pid_t pid, int sig, int tries);
// A settings file (for TNV_SETTINGS) of a user who has seen the introduction, so that a real
// backend's first start shows the song grid as a headless run does.
std::string SeenIntroductionSettings();
// The studio program: in the build folder, one above the test program's folder.
std::string ProgramPath();

struct Picture
{
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
};
// An 8-bit RGB PNG as the display writes it; empty when it cannot be read.
Picture ReadPng(const std::string &path);
// A window dump of xwd (true colour, 32 bits a pixel); empty when it is of another kind.
Picture ReadXwd(const std::string &path);
// Runs the program headless for some frames and reads the frame it dumped.
Picture HeadlessFrame(const std::string &program, int frames);
