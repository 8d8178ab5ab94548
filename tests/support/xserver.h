// A virtual X server for the tests that open real windows. Only one such server runs at a time
// on the machine (a lock file serialises them across test processes), on a display number that
// is free, and it is known to answer before the test goes on. Display() is empty when Xvfb is not
// installed or would not start; callers then skip.
#pragma once

#include <string>
#include <sys/types.h>

class TestXServer
{
public:
    // screen: Xvfb's screen geometry, e.g. "1280x1024x24".
    explicit TestXServer(const char *screen = "1024x768x24");
    ~TestXServer();
    TestXServer(const TestXServer &) = delete;
    TestXServer &operator=(const TestXServer &) = delete;

    const std::string &Display() const { return m_display; }

private:
    bool StartOn(int number);
    void Stop();

    std::string m_screen;
    int m_lockFd = -1;
    pid_t m_pid = -1;
    std::string m_display;
};

// True when a program of that name is on the PATH.
bool TestHaveTool(const char *name);
