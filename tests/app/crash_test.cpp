#include "app/crash.h"
#include "app/settings.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <pthread.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

PLATCRASHCONTEXT SampleContext()
{
    PLATCRASHCONTEXT c = {};
    c.uCode = 11;
    c.uFlags = 1;
    c.uAddr = 0x55d0c0ffee12ull;
    uint64_t seg[] = {0, 0, 0, 0x2b};
    std::memcpy(c.auSegments, seg, sizeof seg);
    for (int i = 0; i < PLAT_CRASH_REG_COUNT; ++i)
        c.auRegisters[i] = 0x10u * static_cast<uint64_t>(i + 1);
    c.auRegisters[PLAT_CRASH_REG_IP] = c.uAddr;
    c.auRegisters[PLAT_CRASH_REG_SP] = 0x7ffd12345678ull;
    c.auStack[0] = 0xdeadbeefcafef00dull;
    c.auStack[3] = 7;
    c.bMainThread = 1;
    return c;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

// The report's lines in order, the variable parts as patterns.
const char *const kHex = "0x[0-9a-f]{8,16}";

void ExpectReportShape(const std::string &text, const std::string &threadName, uint32_t code,
                       uint32_t flag)
{
    std::vector<std::string> lines = Lines(text);
    char codeText[32], flagText[32];
    std::snprintf(codeText, sizeof codeText, "0x%08x", code);
    std::snprintf(flagText, sizeof flagText, "0x%08x", flag);
    std::string h = kHex;
    std::vector<std::string> want = {
        "Exception in " + threadName,
        "",
        "Exception at [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}",
        std::string("Exception Code: ") + codeText,
        std::string("Exception Flag: ") + flagText,
        "Exception Addr: " + h,
        "",
        "Segment Address: Ds:" + h + " Es:" + h + " Fs:" + h + " Gs:" + h,
        "",
        "Registers",
        "",
        "EAX:" + h + " EBX:" + h,
        "ECX:" + h + " EDX:" + h,
        "ESI:" + h + " EDI:" + h,
        "EBP:" + h,
        "ESP:" + h,
        "EIP:" + h,
        "FLAGS:" + h,
        "SEGCS:" + h,
        "SEGSS:" + h,
        "Stack",
        "",
        h, h, h, h,
    };
    ASSERT_EQ(lines.size(), want.size()) << text;
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(want[i])))
            << "line " << i + 1 << ": \"" << lines[i] << "\" vs " << want[i];
    EXPECT_EQ(text.back(), '\n');
    // The fault address is the instruction pointer.
    EXPECT_EQ(lines[5].substr(16), lines[16].substr(4));
}

// Runs body in a child process working in dir; answers the child's wait status.
int RunChild(const std::string &dir, const std::function<void()> &body)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(100);
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

int g_stopPipe = -1;
void NoteStop()
{
    char c = 's';
    if (write(g_stopPipe, &c, 1) != 1)
        _exit(101);
}

void Fault()
{
    // Not null, so the sanitizers let the store through to the hardware.
    static volatile uintptr_t s_address = 16;
    *reinterpret_cast<volatile int *>(s_address) = 1;
}

} // namespace

TEST(CrashReport, GoldenText)
{
    PLATCRASHCONTEXT c = SampleContext();
    char out[2048];
    size_t len = Sys_FormatCrashReport(out, sizeof out, &c, "Main Thread", "Thu Dec 10 13:30:13 2026");
    const char *want = "Exception in Main Thread\n\n"
                       "Exception at Thu Dec 10 13:30:13 2026\n"
                       "Exception Code: 0x0000000b\n"
                       "Exception Flag: 0x00000001\n"
                       "Exception Addr: 0x55d0c0ffee12\n\n"
                       "Segment Address: Ds:0x00000000 Es:0x00000000 Fs:0x00000000 Gs:0x0000002b\n\n"
                       "Registers\n\n"
                       "EAX:0x00000010 EBX:0x00000020\n"
                       "ECX:0x00000030 EDX:0x00000040\n"
                       "ESI:0x00000050 EDI:0x00000060\n"
                       "EBP:0x00000070\n"
                       "ESP:0x7ffd12345678\n"
                       "EIP:0x55d0c0ffee12\n"
                       "FLAGS:0x000000a0\n"
                       "SEGCS:0x000000b0\n"
                       "SEGSS:0x000000c0\n"
                       "Stack\n\n"
                       "0xdeadbeefcafef00d\n"
                       "0x00000000\n"
                       "0x00000000\n"
                       "0x00000007\n";
    EXPECT_STREQ(out, want);
    EXPECT_EQ(len, std::strlen(want));

    // A small buffer is cut and terminated.
    char small[20];
    EXPECT_EQ(Sys_FormatCrashReport(small, sizeof small, &c, "Main Thread", "t"), 19u);
    EXPECT_STREQ(small, "Exception in Main T");
}

TEST(CrashReport, TimeMatchesTheCLocaleForm)
{
    const int64_t times[] = {0,          951782400,  1709164800, 1796909413,
                             4102444799, 86399,      -1,         253402300799};
    for (int64_t t : times) {
        char safe[32];
        Sys_FormatTimeSafe(safe, t);
        time_t tt = static_cast<time_t>(t);
        struct tm utc;
        gmtime_r(&tt, &utc);
        char ref[64];
        strftime(ref, sizeof ref, "%c", &utc);
        EXPECT_STREQ(safe, ref) << t;
    }
    char now[256];
    Sys_FormatLocalTime(now);
    EXPECT_TRUE(std::regex_match(std::string(now),
                                 std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} "
                                            "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")))
        << now;
}

TEST(CrashReport, BreakpointWritesNothingButStopsTheAudio)
{
    TempDir dir;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int status = RunChild(dir.Path(), [&] {
        g_stopPipe = fds[1];
        Sys_SetCrashStopProc(NoteStop);
        PLATCRASHCONTEXT c = SampleContext();
        c.uCode = PLAT_CRASH_BREAKPOINT;
        _exit(Sys_CrashReportFilter(&c, "Main Thread"));
    });
    close(fds[1]);
    char buf[8];
    EXPECT_EQ(read(fds[0], buf, sizeof buf), 1);
    close(fds[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    struct stat st;
    EXPECT_NE(stat(dir.File("errorlog.txt").c_str(), &st), 0);
}

TEST(CrashReport, FaultOnTheMainThreadWritesTheWholeReportOverAnOlderOne)
{
    TempDir dir;
    std::string older;
    for (int i = 0; i < 200; ++i)
        older += "an older and much longer report line\n";
    WriteTextFile(dir.File("errorlog.txt"), older);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int status = RunChild(dir.Path(), [&] {
        g_stopPipe = fds[1];
        Sys_SetCrashStopProc(NoteStop);
        if (Sys_InstallCrashFilter() != 0)
            _exit(102);
        Fault();
        _exit(103);
    });
    close(fds[1]);
    char buf[8];
    EXPECT_EQ(read(fds[0], buf, sizeof buf), 1); // the audio was stopped once
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    std::string report = ReadTextFile(dir.File("errorlog.txt"));
    ExpectReportShape(report, "Main Thread", SIGSEGV, SEGV_MAPERR);
}

TEST(CrashReport, SignalsFromOutsideAndFromOtherThreads)
{
    struct Row
    {
        const char *what;
        int signal;
        uint32_t flag;
        const char *thread;
    } rows[] = {
        {"sigsegv sent by another process", SIGSEGV, 0 /* SI_USER */, "Main Thread"},
        {"abort", SIGABRT, static_cast<uint32_t>(SI_TKILL), "Main Thread"},
        {"fault on a timer thread", SIGSEGV, SEGV_MAPERR, "Mix Timer"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        TempDir dir;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.Path().c_str()) != 0 || Sys_InstallCrashFilter() != 0)
                _exit(100);
            if (r.signal == SIGABRT)
                abort();
            if (std::strcmp(r.thread, "Main Thread") != 0) {
                std::thread t([] {
                    pthread_setname_np(pthread_self(), "Mix Timer");
                    Fault();
                });
                t.join();
                _exit(103);
            }
            char c = 'r';
            if (write(ready[1], &c, 1) != 1)
                _exit(101);
            for (;;)
                pause();
        }
        close(ready[1]);
        if (r.signal == SIGSEGV && std::strcmp(r.thread, "Main Thread") == 0) {
            char c;
            ASSERT_EQ(read(ready[0], &c, 1), 1);
            kill(pid, SIGSEGV);
        }
        close(ready[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), r.signal);
        ExpectReportShape(ReadTextFile(dir.File("errorlog.txt")), r.thread,
                          static_cast<uint32_t>(r.signal), r.flag);
    }
}

// When the start folder cannot take the report (read-only; here a folder in the file's place),
// it goes to the user's folder, made when missing, and stderr says where it went; with neither,
// stderr says so and the process still ends by its signal.
TEST(CrashReport, ReportFallsBackToTheUserFolderAndSaysWhere)
{
    TempDir start, user;
    ASSERT_EQ(mkdir(start.File("errorlog.txt").c_str(), 0755), 0);
    const std::string said = user.File("stderr.txt");
    struct Case
    {
        std::string baseDir;
        std::string report; // where it must land; empty: nowhere
        std::string says;
    };
    const Case cases[] = {
        {user.File("Tonnivelle") + "\\", user.File("Tonnivelle/errorlog.txt"),
         "crash report written to " + user.File("Tonnivelle/errorlog.txt") + " (the start folder " + start.Path() +
             " could not take it)"},
        {"", "", "the crash report could not be written in " + start.Path()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.baseDir);
        int status = RunChild(start.Path(), [&] {
            FILE *err = std::freopen(said.c_str(), "w", stderr);
            if (!err)
                _exit(104);
            std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s", c.baseDir.c_str());
            Sys_InstallCrashFilter();
            Fault();
        });
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGSEGV);
        if (!c.report.empty())
            ExpectReportShape(ReadTextFile(c.report), "Main Thread", SIGSEGV, SEGV_MAPERR);
        const std::string text = ReadTextFile(said);
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
    }
}
