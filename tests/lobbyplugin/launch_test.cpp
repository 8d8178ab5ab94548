// Starting the studio from the lobby: a copy of the built library in a folder of its own starts a
// stand-in `tnvpc` script, which writes the arguments it was given into a FIFO the test reads.
#include "ekestrix_loader.h"
#include "lobbyplugin/launch.h"

#include "app/cmdline.h"
#include "app/settings.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const char *value) : m_name(name)
    {
        const char *old = std::getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

// True when this process has no child left, running or unreaped.
bool NoChildren()
{
    int status;
    return waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

class Launch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_libDir = m_tmp.File("lib");
        m_pathDir = m_tmp.File("bin");
        m_emptyDir = m_tmp.File("empty");
        for (const std::string &d : {m_libDir, m_pathDir, m_emptyDir})
            fs::create_directory(d);
        m_fifo = m_tmp.File("record");
        ASSERT_EQ(mkfifo(m_fifo.c_str(), 0600), 0);
        // Our own idle writer keeps the FIFO from reporting an end between two stand-ins.
        m_readFd = open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_readFd, 0);
        m_holdFd = open(m_fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_holdFd, 0);
        fs::copy_file(EKESTRIX_LIBRARY, m_libDir + "/libekestrix.so");
        ASSERT_TRUE(m_lib.Load(m_libDir + "/libekestrix.so")) << m_lib.Error();
    }
    void TearDown() override
    {
        close(m_readFd);
        close(m_holdFd);
    }

    // A stand-in studio: one line into the FIFO, "<parent> <session>|<its path>|<arg>|<arg>...".
    void WriteFakeStudio(const std::string &dir, mode_t mode = 0755)
    {
        std::string path = dir + "/tnvpc";
        WriteTextFile(path, "#!/bin/sh\nr=\"$0\"\nfor a in \"$@\"; do r=\"$r|$a\"; done\n"
                            "read -r s < /proc/$$/stat\nset -- ${s##*')' }\n"
                            "printf '%s %s|%s\\n' \"$2\" \"$4\" \"$r\" > '" + m_fifo + "'\n");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    }

    // The next line a stand-in wrote, its parent and session set aside; empty when none came
    // within a generous bound.
    std::string NextRecord()
    {
        for (;;) {
            size_t nl = m_pending.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_pending.substr(0, nl);
                m_pending.erase(0, nl + 1);
                size_t bar = line.find('|');
                if (bar == std::string::npos ||
                    std::sscanf(line.c_str(), "%d %d|", &m_lastParent, &m_lastSession) != 2)
                    return "unreadable record: " + line;
                return line.substr(bar + 1);
            }
            pollfd p = {m_readFd, POLLIN, 0};
            if (poll(&p, 1, 30000) <= 0)
                return {};
            char buf[512];
            ssize_t n = read(m_readFd, buf, sizeof buf);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return {};
            m_pending.append(buf, static_cast<size_t>(n));
        }
    }

    int32_t Start(int32_t type, const char *address, const char *port)
    {
        return m_lib.ExitLaunch(1, 2, 3, 4, type, address, port);
    }

    TempDir m_tmp;
    std::string m_libDir, m_pathDir, m_emptyDir, m_fifo, m_pending;
    int m_readFd = -1, m_holdFd = -1;
    int m_lastParent = 0, m_lastSession = 0;
    EkestrixLoader m_lib;
    ScopedEnv m_settings{"TNV_SETTINGS", "/nonexistent/tonnivelle-settings.ini"};
    ScopedEnv m_path{"PATH", nullptr};
};

std::vector<std::string> Split(const std::string &record)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t bar = record.find('|', start);
        parts.push_back(record.substr(start, bar - start));
        if (bar == std::string::npos)
            return parts;
        start = bar + 1;
    }
}

void ResetCommandLine()
{
    g_bNoCd = g_bNetHost = g_bNetClient = g_bNetSession = 0;
    g_szJoinAddress[0] = g_szAdvertIp[0] = g_szAdvertPort[0] = '\0';
}

struct NetSettings
{
    int host, client, session;
    std::string joinAddress, advertIp, advertPort;
    bool operator==(const NetSettings &) const = default;
};

NetSettings Observe()
{
    return {g_bNetHost, g_bNetClient, g_bNetSession, g_szJoinAddress, g_szAdvertIp, g_szAdvertPort};
}

// What the studio makes of the arguments, both as its argument vector and as the one line its
// entry joins them into.
void ExpectStudioReads(const std::vector<std::string> &args, const NetSettings &want)
{
    std::vector<const char *> argv;
    std::string line;
    for (const std::string &a : args) {
        argv.push_back(a.c_str());
        if (argv.size() > 1)
            line += (line.empty() ? "" : " ") + a;
    }
    ResetCommandLine();
    Sys_ParseCommandArgs(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(Observe(), want) << "as arguments";
    ResetCommandLine();
    Sys_ParseCommandLine(line.c_str());
    EXPECT_EQ(Observe(), want) << "as one line: " << line;
    ResetCommandLine();
}

TEST_F(Launch, HostAndJoinStartTheStudioBesideTheLibrary)
{
    WriteFakeStudio(m_libDir);
    WriteFakeStudio(m_pathDir); // never taken while one stands beside the library
    ScopedEnv path("PATH", m_pathDir.c_str());
    const std::string beside = m_libDir + "/tnvpc";
    const std::string longAddress(31, '7');

    struct Case
    {
        int32_t type;
        const char *address, *port;
        std::vector<std::string> args;
        NetSettings studio;
    };
    const Case cases[] = {
        {1, "192.168.1.20", "47624", {"-host", "-advert_ip=", "192.168.1.20", "-advert_port=", "47624"},
         {1, 0, 1, "", "192.168.1.20", "47624"}},
        {2, "10.0.0.5", "ignored", {"-join", "-ip=", "10.0.0.5"}, {0, 1, 1, "10.0.0.5", "", ""}},
        {2, "jam.example.org", nullptr, {"-join", "-ip=", "jam.example.org"},
         {0, 1, 1, "jam.example.org", "", ""}},
        // Values that look like options are still values to the studio.
        {2, "-host", nullptr, {"-join", "-ip=", "-host"}, {0, 1, 1, "-host", "", ""}},
        {1, longAddress.c_str(), "1", {"-host", "-advert_ip=", longAddress, "-advert_port=", "1"},
         {1, 0, 1, "", longAddress, "1"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address);
        ASSERT_EQ(Start(c.type, c.address, c.port), 0);
        std::vector<std::string> got = Split(NextRecord());
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got[0], beside);
        // Detached: neither our child nor in our session.
        EXPECT_NE(m_lastParent, getpid());
        EXPECT_NE(m_lastSession, getsid(0));
        std::vector<std::string> args(got.begin() + 1, got.end());
        EXPECT_EQ(args, c.args);
        args.insert(args.begin(), "tnvpc");
        ExpectStudioReads(args, c.studio);
    }
    // The middle child is reaped before the call returns and the studio belongs to the system.
    EXPECT_TRUE(NoChildren());
}

TEST_F(Launch, TheStudioIsFoundOnThePathWhenNotBesideTheLibrary)
{
    WriteFakeStudio(m_pathDir);
    WriteFakeStudio(m_emptyDir, 0644); // not executable: passed over
    // Empty and relative entries are skipped, so the working folder never supplies the program.
    std::string path = ":relative:" + m_emptyDir + "::/nonexistent:" + m_pathDir;
    ScopedEnv env("PATH", path.c_str());
    ASSERT_EQ(Start(2, "10.1.1.1", nullptr), 0);
    EXPECT_EQ(NextRecord(), m_pathDir + "/tnvpc|-join|-ip=|10.1.1.1");
    EXPECT_TRUE(NoChildren());
}

TEST_F(Launch, RefusedLaunchesStartNothing)
{
    WriteFakeStudio(m_libDir);
    const std::string tooLong(32, '1');
    struct Case
    {
        int32_t type;
        const char *address, *port;
        int32_t result;
    };
    const Case cases[] = {
        {0, "10.0.0.1", "1", 0},
        {-5, nullptr, nullptr, 0},
        {3, "10.0.0.1", "1", 1},
        {INT32_MAX, "10.0.0.1", "1", 1},
        // Nothing may add words to the studio's command line.
        {2, "10.0.0.1 -name=Mallory", nullptr, 1},
        {1, "10.0.0.1", "47624 -players=9", 1},
        {2, "10.0.0.1\t-nocd", nullptr, 1},
        {2, "10.0.0.1\n", nullptr, 1},
        {2, "10.0.0.\x7f", nullptr, 1},
        {2, "\x1b[2J", nullptr, 1},
        {2, "", nullptr, 1},
        {2, nullptr, nullptr, 1},
        {1, "10.0.0.1", nullptr, 1},
        {1, "10.0.0.1", "", 1},
        {1, nullptr, "47624", 1},
        // Longer than a studio word: it would be cut into another address.
        {2, tooLong.c_str(), nullptr, 1},
        {1, "10.0.0.1", tooLong.c_str(), 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Start(c.type, c.address, c.port), c.result)
            << "type " << c.type << " address " << (c.address ? c.address : "(null)");
    // A good launch afterwards is the first and only thing the stand-in hears.
    ASSERT_EQ(Start(2, "sentinel", nullptr), 0);
    EXPECT_EQ(NextRecord(), m_libDir + "/tnvpc|-join|-ip=|sentinel");
    EXPECT_TRUE(NoChildren());
}

TEST_F(Launch, AMissingStudioIsReportedNotCrashedOn)
{
    struct Case
    {
        const char *what;
        bool beside, besideExecutable, folderInstead, onPath, pathSet;
    };
    const Case cases[] = {
        {"nowhere", false, false, false, false, true},
        {"beside but not executable", true, false, false, false, true},
        {"a folder of that name beside", false, false, true, false, true},
        {"no PATH at all", false, false, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_libDir + "/tnvpc");
        if (c.beside)
            WriteFakeStudio(m_libDir, c.besideExecutable ? 0755 : 0644);
        if (c.folderInstead)
            fs::create_directory(m_libDir + "/tnvpc");
        ScopedEnv env("PATH", c.pathSet ? m_emptyDir.c_str() : nullptr);
        if (!c.pathSet && (access("/bin/tnvpc", X_OK) == 0 || access("/usr/bin/tnvpc", X_OK) == 0))
            GTEST_SKIP() << "a studio is installed in the default PATH";
        EXPECT_EQ(Start(1, "10.0.0.1", "47624"), 1);
        EXPECT_EQ(Start(2, "10.0.0.1", nullptr), 1);
    }
    EXPECT_TRUE(NoChildren());
}

TEST(LaunchSpawn, AProgramThatCannotRunIsAFailureAndLeavesNoChild)
{
    TempDir tmp;
    std::string bad = tmp.File("tnvpc");
    WriteTextFile(bad, "#!/nonexistent/interpreter\n");
    ASSERT_EQ(chmod(bad.c_str(), 0755), 0);
    const char *argv[] = {"tnvpc", "-join", "-ip=", "1.2.3.4", nullptr};
    EXPECT_EQ(Ekx_Spawn(bad.c_str(), argv), -1);
    EXPECT_EQ(Ekx_Spawn(tmp.File("absent").c_str(), argv), -1);
    EXPECT_EQ(Ekx_Spawn(nullptr, argv), -1);
    EXPECT_EQ(Ekx_Spawn("/bin/true", nullptr), -1);
    EXPECT_TRUE(NoChildren());
}

TEST(LaunchSpawn, AStartedProgramIsLeftToTheSystemEvenWhenSIGCHLDIsIgnored)
{
    struct sigaction ignore = {}, old = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &old), 0);
    const char *argv[] = {"true", nullptr};
    EXPECT_EQ(Ekx_Spawn("/bin/true", argv), 0);
    sigaction(SIGCHLD, &old, nullptr);
    EXPECT_TRUE(NoChildren());
}

TEST(LaunchSettings, TheStudiosSettingsFormatIsRead)
{
    struct Case
    {
        const char *what;
        std::string text;
        const char *name;
        int result;
        std::string value;
    };
    const std::string longValue(300, 'v');
    const Case cases[] = {
        {"plain", "[Software\\Quillstone\\Tonnivelle]\nLanguage=english\n", "Language", 0, "english"},
        {"any case, spaces and CRs", "  [software\\QUILLSTONE\\tonnivelle] \r\n  language \t= Deutsch \r\n",
         "LANGUAGE", 0, " Deutsch "},
        {"first line wins", "[Software\\Quillstone\\Tonnivelle]\nDataDir=/a\nDataDir=/b\n", "DataDir", 0, "/a"},
        {"only the first copy of the key", "[Software\\Quillstone\\Tonnivelle]\nx=1\n"
                                           "[Software\\Quillstone\\Tonnivelle]\nDataDir=/late\n",
         "DataDir", -1, ""},
        {"the studio's own key is another key", "[Software\\Quillstone\\Tonnivelle Demo]\nLanguage=x\n",
         "Language", -1, ""},
        {"no key", "Language=english\n", "Language", -1, ""},
        {"value cut at 255", "[Software\\Quillstone\\Tonnivelle]\nDataDir=" + longValue, "DataDir", 0,
         std::string(255, 'v')},
        {"empty value", "[Software\\Quillstone\\Tonnivelle]\nLanguage=\n", "Language", 0, ""},
        {"a NUL ends the value's text", std::string("[Software\\Quillstone\\Tonnivelle]\nLanguage=a") + '\0' + "b\n",
         "Language", 0, "a"},
        {"junk", "[\n]\n=\n[[Software\\Quillstone\\Tonnivelle]]\nLanguage=no\n", "Language", -1, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        char out[256];
        std::memset(out, 'X', sizeof out);
        EXPECT_EQ(Ekx_FindSetting(c.text.data(), c.text.size(), EKX_SETTINGS_KEY, c.name, out, sizeof out),
                  c.result);
        EXPECT_EQ(std::string(out), c.value);
    }
    char small[4];
    const std::string t = "[Software\\Quillstone\\Tonnivelle]\nLanguage=english\n";
    EXPECT_EQ(Ekx_FindSetting(t.data(), t.size(), EKX_SETTINGS_KEY, "Language", small, sizeof small), 0);
    EXPECT_STREQ(small, "eng");
}

TEST(LaunchSettings, TheInstallValuesComeFromTheSettingsFile)
{
    TempDir tmp;
    std::string file = tmp.File("settings.ini");
    WriteTextFile(file, "[Software\\Quillstone\\Tonnivelle]\nLanguage=Francais\nDataDir=/opt/tnv/data\n"
                        "BaseDir=/home/someone/Tonnivelle\n");
    ScopedEnv env("TNV_SETTINGS", file.c_str());
    EXPECT_EQ(Ekx_Launch(nullptr, 0, nullptr, nullptr), 0);
    EKXINSTALL got;
    Ekx_LastInstall(&got);
    EXPECT_STREQ(got.szLanguage, "FRANCAIS");
    EXPECT_STREQ(got.szDataPath, "/opt/tnv/data/");

    // A data folder that fills the buffer keeps its '/' and its terminator inside it.
    WriteTextFile(file, "[Software\\Quillstone\\Tonnivelle]\nDataDir=/" + std::string(400, 'd') + "\n");
    Ekx_ReadInstallPaths(&got);
    EXPECT_EQ(std::strlen(got.szDataPath), sizeof got.szDataPath - 1);
    EXPECT_EQ(got.szDataPath[sizeof got.szDataPath - 2], '/');
    EXPECT_STREQ(got.szLanguage, "");

    // Oversized files, folders and missing files give nothing.
    WriteTextFile(file, "[Software\\Quillstone\\Tonnivelle]\nLanguage=big\n" +
                            std::string(EKX_SETTINGS_MAX_FILE, '#'));
    Ekx_ReadInstallPaths(&got);
    EXPECT_STREQ(got.szLanguage, "");
    for (const std::string &where : {tmp.Path(), tmp.File("absent.ini")}) {
        ScopedEnv other("TNV_SETTINGS", where.c_str());
        Ekx_ReadInstallPaths(&got);
        EXPECT_STREQ(got.szLanguage, "");
        EXPECT_STREQ(got.szDataPath, "");
    }
}

} // namespace
