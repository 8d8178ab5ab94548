// The program as a process: headless runs, and the real window under a virtual X server (only
// where Xvfb and xwininfo are installed).
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool HaveTool(const char *name)
{
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string RunAndRead(const std::string &cmd)
{
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// Waits for a child to end, checking a bounded number of times; -1 when it did not end.
int WaitExit(pid_t pid, int tries)
{
    for (int i = 0; i < tries; i++) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(50000);
    }
    return -1;
}

// The program sits in the build folder, one above this test program's folder.
std::string ProgramPath()
{
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return std::string();
    std::string dir = self;
    dir = dir.substr(0, dir.rfind('/'));
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/tnvpc";
}

class XServer
{
public:
    // Several virtual servers may start at once (tests run in parallel), and one that loses the
    // race for a display number can die after naming it; so check that it answers, and retry.
    XServer()
    {
        for (int attempt = 0; attempt < 3 && display_.empty(); attempt++) {
            Start();
            if (display_.empty())
                continue;
            bool answers = false;
            for (int i = 0; i < 40 && !answers; i++) {
                answers = std::system(("xwininfo -display " + display_ + " -root >/dev/null 2>&1").c_str()) == 0;
                if (!answers)
                    usleep(50000);
            }
            if (!answers) {
                Stop();
                display_.clear();
            }
        }
    }
    void Start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buf[32] = {};
        ssize_t n = read(fds[0], buf, sizeof buf - 1); // Xvfb writes its display number when ready
        close(fds[0]);
        if (n > 0 && buf[0] >= '0' && buf[0] <= '9')
            display_ = ":" + std::to_string(std::atoi(buf));
    }
    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (WaitExit(pid_, 100) < 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
        pid_ = -1;
    }
    ~XServer() { Stop(); }
    const std::string &Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace

TEST(SdlWindow, OpensTitledWindowAndEndsWithZeroWhenClosed)
{
    if (!HaveTool("Xvfb") || !HaveTool("xwininfo"))
        GTEST_SKIP() << "Xvfb or xwininfo not installed";
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;

    XServer x;
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb did not start";

    // The desktop bus library that SDL loads keeps one allocation until exit; that is not ours.
    const std::string suppressions = ::testing::TempDir() + "tnv_sdlwindow.supp";
    if (FILE *f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }

    pid_t pid = fork();
    if (pid == 0) {
        setenv("LSAN_OPTIONS", ("suppressions=" + suppressions).c_str(), 1);
        setenv("DISPLAY", x.Display().c_str(), 1);
        setenv("TNV_BACKEND", "real", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        unsetenv("TNV_INPUT_SCRIPT");
        execl(program.c_str(), "tnvpc", static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);

    std::string tree;
    bool found = false;
    // Generous: a sanitizer build on a loaded machine takes a while to map its window.
    for (int i = 0; i < 600 && !found; i++) {
        tree = RunAndRead("xwininfo -display " + x.Display() + " -root -tree 2>/dev/null");
        found = tree.find("\"Tonnivelle Demo\"") != std::string::npos;
        if (!found)
            usleep(50000);
    }
    EXPECT_TRUE(found) << tree;
    if (found) {
        std::string line = tree.substr(tree.find("\"Tonnivelle Demo\""));
        line = line.substr(0, line.find('\n'));
        EXPECT_NE(line.find("640x480"), std::string::npos) << line;
    }

    // A quit signal reaches the program as the user's close request.
    kill(pid, SIGTERM);
    int rc = WaitExit(pid, 200);
    if (rc < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(rc, 0);
}

TEST(Program, HeadlessRunsEndWithZero)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const std::string script = ::testing::TempDir() + "tnv_program_close.txt";
    if (FILE *f = std::fopen(script.c_str(), "w")) {
        std::fputs("3 keydown Up\n5 close\n", f);
        std::fclose(f);
    }
    const std::string scriptEnv = "TNV_INPUT_SCRIPT=" + script;
    const struct
    {
        const char *env;
        const char *args;
    } cases[] = {
        {"TNV_EXIT_AFTER_FRAMES=120", ""},
        {"TNV_EXIT_AFTER_FRAMES=1", "-nocd"},
        {"TNV_INPUT_SCRIPT=/nonexistent/script.txt", ""}, // no window: ends at once with 0
        {scriptEnv.c_str(), ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.env);
        const std::string cmd = "env -u TNV_EXIT_AFTER_FRAMES -u TNV_INPUT_SCRIPT TNV_BACKEND=headless " +
                                std::string(c.env) + " '" + program + "' " + c.args + " >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}
