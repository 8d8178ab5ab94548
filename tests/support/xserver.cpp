#include "support/xserver.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool ChildGone(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

bool TestHaveTool(const char *name)
{
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

TestXServer::TestXServer(const char *screen) : m_screen(screen)
{
    if (!TestHaveTool("Xvfb") || !TestHaveTool("xwininfo"))
        return;
    // Xvfb's own choice of a free display races when several start at once, so the tests take
    // turns and pick the number themselves.
    m_lockFd = open("/tmp/tnv-test-xserver.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_lockFd >= 0)
        flock(m_lockFd, LOCK_EX);
    for (int number = 140; number < 200 && m_display.empty(); number++) {
        struct stat st;
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
            continue;
        if (!StartOn(number))
            Stop();
    }
}

TestXServer::~TestXServer()
{
    Stop();
    if (m_lockFd >= 0)
        close(m_lockFd); // releases the lock
}

bool TestXServer::StartOn(int number)
{
    const std::string display = ":" + std::to_string(number);
    m_pid = fork();
    if (m_pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", m_screen.c_str(), "-nolisten", "tcp",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    if (m_pid < 0)
        return false;
    const std::string probe = "xwininfo -display " + display + " -root >/dev/null 2>&1";
    for (int i = 0; i < 100; i++) {
        if (ChildGone(m_pid)) {
            m_pid = -1;
            return false;
        }
        if (std::system(probe.c_str()) == 0) {
            m_display = display;
            return true;
        }
        usleep(50000);
    }
    return false;
}

void TestXServer::Stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; i++) {
        if (ChildGone(m_pid)) {
            m_pid = -1;
            return;
        }
        usleep(20000);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}
