// Two studio programs on one machine: one hosts a jam from the command line the lobby gives it,
// the other joins it by address. Both run headless on the real clock so they share time; every
// wait is bounded and a child still running at the end is killed.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
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

// The port the host wrote once it listens, waited for (bounded), never guessed; empty if none came.
std::string WaitForPort(const std::string &portFile)
{
    std::string port;
    for (int i = 0; i < 600 && port.empty(); ++i) {
        port = ReadTextFile(portFile);
        if (port.empty())
            usleep(100000);
    }
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r'))
        port.pop_back();
    return port;
}

// Alice hosts a jam for two from the command line, on a port the system picks.
pid_t StartHost(const TempDir &dir, int frames = 600, std::vector<std::string> env = {},
                const std::vector<std::string> &words = {})
{
    env.insert(env.end(), {"TNV_BACKEND=headless", "TNV_REALTIME=1", "TNV_NET_PORT=0",
                           "TNV_NET_PORT_FILE=" + dir.File("port"), "TNV_EXIT_AFTER_FRAMES=" + std::to_string(frames),
                           "TNV_SETTINGS=" + dir.File("host.ini"), "TNV_JAM_LOG=" + dir.File("host.log")});
    std::vector<std::string> all{"-host", "-players=", "2", "-name=", "Alice"};
    all.insert(all.end(), words.begin(), words.end());
    return Start(env, all, dir.File("host.err"));
}

// Bob joins the jam at the host's address.
pid_t StartJoin(const TempDir &dir, const std::string &port, int frames, std::vector<std::string> env = {},
                const std::vector<std::string> &words = {})
{
    env.insert(env.end(), {"TNV_BACKEND=headless", "TNV_REALTIME=1", "TNV_EXIT_AFTER_FRAMES=" + std::to_string(frames),
                           "TNV_SETTINGS=" + dir.File("join.ini"), "TNV_JAM_LOG=" + dir.File("join.log")});
    std::vector<std::string> all{"-join", "-ip=", "127.0.0.1:" + port, "-name=", "Bob"};
    all.insert(all.end(), words.begin(), words.end());
    return Start(env, all, dir.File("join.err"));
}

// Both end well: Bob first, then Alice, each within `tenths` tenths of a second.
void ExpectBothEndWell(Child &host, Child &join, int tenths)
{
    EXPECT_EQ(WaitExit(join.pid, tenths), 0);
    join.pid = -1;
    EXPECT_EQ(WaitExit(host.pid, tenths), 0);
    host.pid = -1;
}

// Both ends of a jam hold both players: each jam log says so for the other.
void ExpectBothEntered(const TempDir &dir)
{
    const std::string hostLog = ReadTextFile(dir.File("host.log"));
    const std::string joinLog = ReadTextFile(dir.File("join.log"));
    EXPECT_NE(hostLog.find("Bob has entered the jam session"), std::string::npos) << hostLog;
    EXPECT_NE(joinLog.find("Alice has entered the jam session"), std::string::npos) << joinLog;
    EXPECT_NE(joinLog.find("Welcome to the jam session."), std::string::npos) << joinLog;
    const std::string joinErr = ReadTextFile(dir.File("join.err"));
    EXPECT_EQ(joinErr.find("No jam session answered"), std::string::npos) << joinErr;
    EXPECT_EQ(joinErr.find("Could not join"), std::string::npos) << joinErr;
    EXPECT_EQ(ReadTextFile(dir.File("host.err")).find("could not be hosted"), std::string::npos);
}

} // namespace

TEST(TwoProcessJam, HostAndJoinByCommandLine)
{
    TempDir dir;
    Child host;
    host.pid = StartHost(dir);
    ASSERT_GT(host.pid, 0);
    const std::string port = WaitForPort(dir.File("port"));
    ASSERT_FALSE(port.empty()) << "the host never listened";

    Child join;
    join.pid = StartJoin(dir, port, 150);
    ASSERT_GT(join.pid, 0);
    ExpectBothEndWell(host, join, 1200);
    ExpectBothEntered(dir);
}

// Bob starts the studio without a disc: its player set-up opens at once. Enter on "Join Jam" looks
// for sessions (only at the host's port on this machine, nothing broadcast) and opens the list;
// Enter again joins the first session listed, under Bob's name.
TEST(TwoProcessJam, JoinFromTheSessionList)
{
    TempDir dir;
    Child host;
    host.pid = StartHost(dir);
    ASSERT_GT(host.pid, 0);
    const std::string port = WaitForPort(dir.File("port"));
    ASSERT_FALSE(port.empty()) << "the host never listened";

    const std::string script = dir.File("join.script");
    // The later Enters are for a slow machine whose list was still empty at the first: an empty
    // list refuses the choice, and in the jam they fall on the template list's heading, harmlessly.
    WriteTextFile(script, "30 keydown Return\n31 keyup Return\n150 keydown Return\n151 keyup Return\n"
                          "200 keydown Return\n201 keyup Return\n250 keydown Return\n251 keyup Return\n");
    Child join;
    join.pid = Start({"TNV_BACKEND=headless", "TNV_REALTIME=1", "TNV_EXIT_AFTER_FRAMES=300",
                      "TNV_NET_ENUM_TARGETS=127.0.0.1:" + port, "TNV_INPUT_SCRIPT=" + script,
                      "TNV_SETTINGS=" + dir.File("join.ini"), "TNV_JAM_LOG=" + dir.File("join.log")},
                     {"-nocd", "-name=", "Bob"}, dir.File("join.err"));
    ASSERT_GT(join.pid, 0);
    ExpectBothEndWell(host, join, 1200);
    ExpectBothEntered(dir);
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

// One studio, driven as a user would: the toolbar's Music Jam button opens the jam menu, Enter
// takes its first entry (a single-player jam), and Escape closes the template list, which starts
// the jam without a template. The jam log shows the jam began; the program ends well.
TEST(JamScript, SinglePlayerJamFromTheMenu)
{
    TempDir dir;
    const std::string script = dir.File("jam.script");
    WriteTextFile(script, "20 mousemove -240 -222\n25 mousedown 1\n26 mouseup 1\n"
                          "35 keydown Return\n36 keyup Return\n80 keydown Escape\n81 keyup Escape\n");
    Child studio;
    studio.pid = Start({"TNV_BACKEND=headless", "TNV_EXIT_AFTER_FRAMES=120", "TNV_INPUT_SCRIPT=" + script,
                        "TNV_SETTINGS=" + dir.File("s.ini"), "TNV_JAM_LOG=" + dir.File("jam.log")},
                       {}, dir.File("err"));
    ASSERT_GT(studio.pid, 0);
    EXPECT_EQ(WaitExit(studio.pid, 1200), 0);
    studio.pid = -1;
    EXPECT_EQ(ReadTextFile(dir.File("jam.log")), "Welcome to the jam session.\n");
}

namespace {

std::vector<int16_t> ReadSamples(const std::string &path)
{
    const std::string bytes = ReadTextFile(path);
    std::vector<int16_t> out;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        out.push_back(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return out;
}

int Peak(const std::vector<int16_t> &d, size_t from, size_t to)
{
    int peak = 0;
    for (size_t i = from; i < to && i < d.size(); ++i)
        peak = std::max(peak, std::abs(int(d[i])));
    return peak;
}

// Lit pixels of a riff key's button in the jam's top row: a key holding a riff shows it filled.
int LitPixels(const Picture &frame, int key)
{
    int lit = 0;
    const uint32_t x0 = 66 + 40 * uint32_t(key);
    for (uint32_t y = 8; y < 36 && y < frame.height; ++y)
        for (uint32_t x = x0; x < x0 + 30 && x < frame.width; ++x) {
            const uint8_t *p = &frame.rgb[(size_t(y) * frame.width + x) * 3];
            lit += p[0] > 150 && p[1] >= 60 && p[1] <= 140 && p[2] < 90;
        }
    return lit;
}

} // namespace

// Alice hosts alone and chooses the archive template "Full band" from the jam list (the folder
// bar's left arrow, then the template's row). The demo archive's template is larger than the
// jam's default template limit: the choice is refused with a line in the jam log and no key gets a
// riff. With the limit raised on the command line the template loads: its keys fill, and F1,
// held once the jam runs, sounds.
TEST(JamScript, HostAloneChoosesAnArchiveTemplate)
{
    struct Case
    {
        const char *name;
        std::vector<std::string> limit;
        int frames;
        bool loads;
    };
    const Case cases[] = {
        {"default limit", {}, 100, false},
        {"raised limit", {"-maxtemplatesize=", "1000000"}, 900, true},
    };
    constexpr int kPress = 700, kRelease = 800;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string script = dir.File("jam.script");
        WriteTextFile(script, "20 mousemove -150 133\n25 mousedown 1\n26 mouseup 1\n"
                              "35 mousemove 25 -261\n40 mousedown 1\n41 mouseup 1\n" +
                                  std::to_string(kPress) + " keydown F1\n" + std::to_string(kRelease) +
                                  " keyup F1\n");
        std::vector<std::string> words{"-host", "-players=", "2", "-name=", "Alice"};
        words.insert(words.end(), c.limit.begin(), c.limit.end());
        Child studio;
        studio.pid = Start({"TNV_BACKEND=headless", "TNV_NET_PORT=0", "TNV_NET_PORT_FILE=" + dir.File("port"),
                            "TNV_EXIT_AFTER_FRAMES=" + std::to_string(c.frames), "TNV_INPUT_SCRIPT=" + script,
                            "TNV_DUMP_FRAME=" + dir.File("f.png"), "TNV_AUDIO_DUMP=" + dir.File("a.wav"),
                            "TNV_SETTINGS=" + dir.File("s.ini"), "TNV_JAM_LOG=" + dir.File("jam.log")},
                           words, dir.File("err"));
        ASSERT_GT(studio.pid, 0);
        EXPECT_EQ(WaitExit(studio.pid, 1200), 0);
        studio.pid = -1;
        const std::string log = ReadTextFile(dir.File("jam.log"));
        EXPECT_EQ(log.find("That template is too large to send in this jam.") == std::string::npos, c.loads) << log;
        EXPECT_EQ(log.find("could not be loaded"), std::string::npos) << log;
        const Picture frame = ReadPng(dir.File("f.png"));
        ASSERT_EQ(frame.width, 640u);
        for (int key = 0; key < 4; ++key)
            EXPECT_EQ(LitPixels(frame, key) > 50, c.loads) << "F" << key + 1;
        EXPECT_EQ(LitPixels(frame, 8), 0) << "F9 holds nothing";
        if (!c.loads)
            continue;
        // Quiet while nothing is held (after the waiting box's own sound), the riff once F1 is down.
        const std::vector<int16_t> audio = ReadSamples(dir.File("a.wav"));
        ASSERT_FALSE(audio.empty());
        const size_t press = audio.size() * kPress / size_t(c.frames);
        EXPECT_LT(Peak(audio, press / 2, press), 200);
        EXPECT_GT(Peak(audio, press, audio.size()), 2000);
    }
}

namespace {

// Where sound starts, in seconds, for each stretch louder than a quiet level that lasts at least
// `least` seconds; gaps under a second belong to the stretch.
std::vector<double> SoundStarts(const std::vector<int16_t> &d, double least)
{
    constexpr double kRate = 44100;
    std::vector<std::pair<double, double>> runs;
    for (size_t i = 0; i + 1 < d.size(); i += 2) {
        if (std::abs(int(d[i])) <= 1500 && std::abs(int(d[i + 1])) <= 1500)
            continue;
        const double t = double(i / 2) / kRate;
        if (!runs.empty() && t - runs.back().second < 1.0)
            runs.back().second = t;
        else
            runs.push_back({t, t});
    }
    std::vector<double> starts;
    for (const auto &r : runs)
        if (r.second - r.first >= least)
            starts.push_back(r.first);
    return starts;
}

} // namespace

// Alice hosts, Bob joins, and each picks the archive template "Full band" (the limit raised so it
// can be sent). Alice holds F1 in the first phrase, Bob his F1 two phrases later. Scheduled play
// sounds a key on the other studio exactly one phrase after the player hears it. The two audio
// dumps start at unknown moments, but the offsets cancel: Bob's delay of Alice's key plus Alice's
// delay of Bob's is two phrases.
TEST(TwoProcessJam, AKeyPlayedOnOneStudioSoundsOnTheOtherOnePhraseLater)
{
    TempDir dir;
    WriteTextFile(dir.File("host.script"), "20 mousemove -150 133\n25 mousedown 1\n26 mouseup 1\n"
                                           "35 mousemove 25 -261\n40 mousedown 1\n41 mouseup 1\n"
                                           "620 keydown F1\n680 keyup F1\n");
    WriteTextFile(dir.File("join.script"), "150 mousemove -150 133\n155 mousedown 1\n156 mouseup 1\n"
                                           "165 mousemove 25 -261\n170 mousedown 1\n171 mouseup 1\n"
                                           "1200 keydown F1\n1260 keyup F1\n");
    const std::vector<std::string> limit{"-maxtemplatesize=", "1000000"};
    Child host;
    host.pid = StartHost(dir, 2100,
                         {"TNV_INPUT_SCRIPT=" + dir.File("host.script"), "TNV_AUDIO_DUMP=" + dir.File("host.wav")}, limit);
    ASSERT_GT(host.pid, 0);
    const std::string port = WaitForPort(dir.File("port"));
    ASSERT_FALSE(port.empty()) << "the host never listened";
    Child join;
    join.pid = StartJoin(dir, port, 1700,
                         {"TNV_INPUT_SCRIPT=" + dir.File("join.script"), "TNV_AUDIO_DUMP=" + dir.File("join.wav")}, limit);
    ASSERT_GT(join.pid, 0);
    ExpectBothEndWell(host, join, 1800);
    ExpectBothEntered(dir);
    for (const char *log : {"host.log", "join.log"})
        EXPECT_EQ(ReadTextFile(dir.File(log)).find("template"), std::string::npos) << ReadTextFile(dir.File(log));

    // Each dump: the key heard first, then the other (short interface sounds left out).
    const std::vector<double> alice = SoundStarts(ReadSamples(dir.File("host.wav")), 0.4);
    const std::vector<double> bob = SoundStarts(ReadSamples(dir.File("join.wav")), 0.4);
    ASSERT_EQ(alice.size(), 2u) << "Alice's F1, then Bob's";
    ASSERT_EQ(bob.size(), 2u) << "Alice's F1, then Bob's";
    // 64 jam steps at 130 beats a minute on the sequencer's clock (ticks of 72 samples).
    const double phrase = 64.0 * 12 * (768000 / 130) / 1024 * 72 / 44100;
    const double twoPhrases = (bob[0] - alice[0]) + (alice[1] - bob[1]);
    // A beat is 0.46 s: a key a bar early or late, at once or two phrases on, is far outside.
    EXPECT_NEAR(twoPhrases, 2 * phrase, 0.4);
}
