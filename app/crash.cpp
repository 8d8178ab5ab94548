#include "app/crash.h"

#include "app/settings.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<CRASHSTOPPROC> s_stopProc{nullptr};
// Where reports go, made ready outside the handler: the start folder, and the user's folder when
// the start folder cannot take the file.
char s_szStartFolder[1024];
char s_szFallbackFolder[1024];
char s_szFallbackFile[1100];

// Appends into a fixed buffer, cutting at its end; async-signal-safe.
struct TEXTOUT
{
    char *pBuf;
    size_t uSize;
    size_t uLen;
};

void Put(TEXTOUT *t, const char *s)
{
    while (*s && t->uLen + 1 < t->uSize)
        t->pBuf[t->uLen++] = *s++;
    t->pBuf[t->uLen] = '\0';
}

// At least eight lower-case hex digits; more when the value needs them.
void PutHex(TEXTOUT *t, uint64_t v)
{
    char digits[17];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[v & 0xF];
        v >>= 4;
    } while (v);
    while (n < 8)
        digits[n++] = '0';
    char s[17];
    for (int i = 0; i < n; ++i)
        s[i] = digits[n - 1 - i];
    s[n] = '\0';
    Put(t, "0x");
    Put(t, s);
}

void PutLabelled(TEXTOUT *t, const char *label, uint64_t v, const char *after)
{
    Put(t, label);
    PutHex(t, v);
    Put(t, after);
}

void PutNumber(TEXTOUT *t, int64_t v, int width, char pad)
{
    char s[24];
    int n = 0;
    bool neg = v < 0;
    uint64_t u = neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    do {
        s[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    while (n < width)
        s[n++] = pad;
    if (neg)
        s[n++] = '-';
    char r[24];
    for (int i = 0; i < n; ++i)
        r[i] = s[n - 1 - i];
    r[n] = '\0';
    Put(t, r);
}

void CrashProc(const PLATCRASHCONTEXT *context)
{
    const char *name = CRASH_MAIN_THREAD;
    if (!context->bMainThread)
        name = context->szThreadName[0] ? context->szThreadName : "Thread";
    Sys_CrashReportFilter(context, name);
}

} // namespace

void Sys_SetCrashStopProc(CRASHSTOPPROC proc)
{
    s_stopProc.store(proc);
}

void Sys_SetCrashReportFolders()
{
    if (!getcwd(s_szStartFolder, sizeof s_szStartFolder))
        std::strcpy(s_szStartFolder, ".");
    s_szFallbackFolder[0] = s_szFallbackFile[0] = '\0';
    if (g_szBaseDir[0] == '\0')
        return;
    const char *folder = Sys_MakeBasePath("");
    if (folder[0] == '\0' || std::strlen(folder) >= sizeof s_szFallbackFolder)
        return;
    std::strcpy(s_szFallbackFolder, folder);
    size_t n = std::strlen(s_szFallbackFolder);
    while (n > 1 && s_szFallbackFolder[n - 1] == '/')
        s_szFallbackFolder[--n] = '\0';
    TEXTOUT t = {s_szFallbackFile, sizeof s_szFallbackFile, 0};
    Put(&t, s_szFallbackFolder);
    Put(&t, "/" CRASH_REPORT_FILE);
}

int Sys_InstallCrashFilter()
{
    Sys_SetCrashReportFolders();
    return Plat_CrashHandlerInstall(CrashProc);
}

size_t Sys_FormatCrashReport(char *out, size_t outSize, const PLATCRASHCONTEXT *c,
                             const char *threadName, const char *timeText)
{
    if (!out || outSize == 0)
        return 0;
    TEXTOUT t = {out, outSize, 0};
    out[0] = '\0';
    if (!c)
        return 0;
    const uint64_t *r = c->auRegisters;
    const uint64_t *s = c->auSegments;
    Put(&t, "Exception in ");
    Put(&t, threadName ? threadName : "");
    Put(&t, "\n\n");
    Put(&t, "Exception at ");
    Put(&t, timeText ? timeText : "");
    Put(&t, "\n");
    PutLabelled(&t, "Exception Code: ", c->uCode, "\n");
    PutLabelled(&t, "Exception Flag: ", c->uFlags, "\n");
    PutLabelled(&t, "Exception Addr: ", c->uAddr, "\n\n");
    PutLabelled(&t, "Segment Address: Ds:", s[PLAT_CRASH_SEG_DS], "");
    PutLabelled(&t, " Es:", s[PLAT_CRASH_SEG_ES], "");
    PutLabelled(&t, " Fs:", s[PLAT_CRASH_SEG_FS], "");
    PutLabelled(&t, " Gs:", s[PLAT_CRASH_SEG_GS], "\n\n");
    Put(&t, "Registers\n\n");
    PutLabelled(&t, "EAX:", r[PLAT_CRASH_REG_AX], " ");
    PutLabelled(&t, "EBX:", r[PLAT_CRASH_REG_BX], "\n");
    PutLabelled(&t, "ECX:", r[PLAT_CRASH_REG_CX], " ");
    PutLabelled(&t, "EDX:", r[PLAT_CRASH_REG_DX], "\n");
    PutLabelled(&t, "ESI:", r[PLAT_CRASH_REG_SI], " ");
    PutLabelled(&t, "EDI:", r[PLAT_CRASH_REG_DI], "\n");
    PutLabelled(&t, "EBP:", r[PLAT_CRASH_REG_BP], "\n");
    PutLabelled(&t, "ESP:", r[PLAT_CRASH_REG_SP], "\n");
    PutLabelled(&t, "EIP:", r[PLAT_CRASH_REG_IP], "\n");
    PutLabelled(&t, "FLAGS:", r[PLAT_CRASH_REG_FLAGS], "\n");
    PutLabelled(&t, "SEGCS:", r[PLAT_CRASH_REG_CS], "\n");
    PutLabelled(&t, "SEGSS:", r[PLAT_CRASH_REG_SS], "\n");
    Put(&t, "Stack\n\n");
    for (uint64_t w : c->auStack)
        PutLabelled(&t, "", w, "\n");
    return t.uLen;
}

int Sys_CrashReportFilter(const PLATCRASHCONTEXT *context, const char *threadName)
{
    if (CRASHSTOPPROC stop = s_stopProc.load())
        stop();
    if (!context || context->uCode == PLAT_CRASH_BREAKPOINT)
        return context ? 1 : 0;
    char timeText[32];
    Sys_FormatTimeSafe(timeText, Plat_CrashLocalSeconds());
    char report[2048];
    size_t len = Sys_FormatCrashReport(report, sizeof report, context, threadName, timeText);
    // Said on stderr: a report is only found when its place is known.
    char said[2600];
    TEXTOUT t = {said, sizeof said, 0};
    if (Plat_CrashWriteFile(CRASH_REPORT_FILE, report, len) == 0) {
        Put(&t, "tnvpc: crash report written to ");
        Put(&t, s_szStartFolder);
        Put(&t, "/" CRASH_REPORT_FILE "\n");
    } else if (s_szFallbackFile[0] != '\0' &&
               (mkdir(s_szFallbackFolder, 0755), Plat_CrashWriteFile(s_szFallbackFile, report, len) == 0)) {
        Put(&t, "tnvpc: crash report written to ");
        Put(&t, s_szFallbackFile);
        Put(&t, " (the start folder ");
        Put(&t, s_szStartFolder);
        Put(&t, " could not take it)\n");
    } else {
        Put(&t, "tnvpc: the crash report could not be written in ");
        Put(&t, s_szStartFolder);
        if (s_szFallbackFile[0] != '\0') {
            Put(&t, " or ");
            Put(&t, s_szFallbackFolder);
        }
        Put(&t, "\n");
    }
    if (write(2, said, t.uLen) < 0) {
        // nothing more can be done from here
    }
    return 0;
}

void Sys_FormatLocalTime(char *buffer)
{
    tzset();
    time_t now = time(nullptr);
    struct tm local;
    buffer[0] = '\0';
    if (localtime_r(&now, &local))
        strftime(buffer, 256, "%c", &local);
}

void Sys_FormatTimeSafe(char *buffer, int64_t localSeconds)
{
    static const char *const kDays[7] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char *const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t days = localSeconds / 86400;
    int64_t secs = localSeconds % 86400;
    if (secs < 0) {
        secs += 86400;
        days -= 1;
    }
    // Civil date from a day count (proleptic Gregorian, days since 1970-01-01).
    int64_t z = days + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        y += 1;
    int64_t wd = days % 7;
    if (wd < 0)
        wd += 7;

    // The C locale's "%c": "%a %b %e %H:%M:%S %Y".
    TEXTOUT t = {buffer, 32, 0};
    buffer[0] = '\0';
    Put(&t, kDays[wd]);
    Put(&t, " ");
    Put(&t, kMonths[m - 1]);
    Put(&t, " ");
    PutNumber(&t, d, 2, ' ');
    Put(&t, " ");
    PutNumber(&t, secs / 3600, 2, '0');
    Put(&t, ":");
    PutNumber(&t, secs / 60 % 60, 2, '0');
    Put(&t, ":");
    PutNumber(&t, secs % 60, 2, '0');
    Put(&t, " ");
    PutNumber(&t, y, 0, '0');
}
