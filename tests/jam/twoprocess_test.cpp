// Two studio programs on one machine: one hosts a jam from the command line the lobby gives it,
// the other joins it by address. Both run headless on the real clock so they share time; every
// wait is bounded and a child still running at the end is killed.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "support/studioprocess.h"
#include "support/tempdir.h"

namespace {

struct Child
{
    pid_t pid = -1;
    ~Child()
    {
        if (pid > 0 && WaitExit(pid, 1) < 0) {
            kill(pid, SIGKILL);
            WaitExit(pid, 200);
        }
    }
};

// Starts the studio with extra environment and words; stdout and stderr go to files.
pid_t Start(const std::vector<std::string> &env, const std::vector<std::string> &words, const std::string &err)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    for (const std::string &e : env)
        putenv(const_cast<char *>(e.c_str()));
    if (!freopen(err.c_str(), "w", stderr) || !freopen("/dev/null", "w", stdout))
        _exit(126);
    const std::string program = ProgramPath();
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &w : words)
        argv.push_back(const_cast<char *>(w.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace

TEST(TwoProcessJam, HostAndJoinByCommandLine)
{
    TempDir dir;
    const std::string portFile = dir.File("port");
    const std::vector<std::string> common = {"TNV_BACKEND=headless", "TNV_REALTIME=1"};
    std::vector<std::string> hostEnv = common;
    hostEnv.insert(hostEnv.end(), {"TNV_NET_PORT=0", "TNV_NET_PORT_FILE=" + portFile, "TNV_EXIT_AFTER_FRAMES=600",
                                   "TNV_SETTINGS=" + dir.File("host.ini")});
    Child host;
    host.pid = Start(hostEnv, {"-host", "-players=", "2", "-name=", "Alice"}, dir.File("host.err"));
    ASSERT_GT(host.pid, 0);
    // The host writes its port once it listens; waited for, never guessed.
    std::string port;
    for (int i = 0; i < 600 && port.empty(); ++i) {
        port = ReadTextFile(portFile);
        if (port.empty())
            usleep(100000);
    }
    ASSERT_FALSE(port.empty()) << "the host never listened";
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r'))
        port.pop_back();

    std::vector<std::string> joinEnv = common;
    joinEnv.insert(joinEnv.end(), {"TNV_EXIT_AFTER_FRAMES=150", "TNV_SETTINGS=" + dir.File("join.ini")});
    Child join;
    join.pid = Start(joinEnv, {"-join", "-ip=", "127.0.0.1:" + port, "-name=", "Bob"}, dir.File("join.err"));
    ASSERT_GT(join.pid, 0);
    EXPECT_EQ(WaitExit(join.pid, 1200), 0);
    join.pid = -1;
    EXPECT_EQ(WaitExit(host.pid, 1200), 0);
    host.pid = -1;
    const std::string joinErr = ReadTextFile(dir.File("join.err"));
    EXPECT_EQ(joinErr.find("No jam session answered"), std::string::npos) << joinErr;
    EXPECT_EQ(joinErr.find("Could not join"), std::string::npos) << joinErr;
    EXPECT_EQ(ReadTextFile(dir.File("host.err")).find("could not be hosted"), std::string::npos);
}

// Nobody hosts there: the join gives up in bounded time, says so, and the program still ends well.
TEST(TwoProcessJam, JoinWithNobodyThereGivesUpWithAMessage)
{
    TempDir dir;
    Child join;
    join.pid = Start({"TNV_BACKEND=headless", "TNV_EXIT_AFTER_FRAMES=5", "TNV_SETTINGS=" + dir.File("j.ini")},
                     {"-join", "-ip=", "127.0.0.1:9", "-name=", "Bob"}, dir.File("join.err"));
    ASSERT_GT(join.pid, 0);
    EXPECT_EQ(WaitExit(join.pid, 1800), 0);
    join.pid = -1;
    EXPECT_NE(ReadTextFile(dir.File("join.err")).find("No jam session answered at \"127.0.0.1:9\""), std::string::npos);
}
