#include "platform/crash_handler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

constexpr int s_aiSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

std::atomic<PLATCRASHPROC> s_proc{nullptr};
std::atomic<int> s_entered{0};
std::atomic<long> s_gmtOffset{0};
alignas(16) char s_altStack[64 * 1024];

// Reads one native word of our own memory without faulting on a bad address.
uint64_t PeekWord(uint64_t addr)
{
    uint64_t word = 0;
    struct iovec local = {&word, sizeof word};
    struct iovec remote = {reinterpret_cast<void *>(addr), sizeof word};
    if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) != static_cast<ssize_t>(sizeof word))
        return 0;
    return word;
}

void FillContext(PLATCRASHCONTEXT *c, int sig, const siginfo_t *si, const void *ucv)
{
    std::memset(c, 0, sizeof *c);
    c->uCode = static_cast<uint32_t>(sig);
    c->uFlags = si ? static_cast<uint32_t>(si->si_code) : 0;
    c->bMainThread = syscall(SYS_gettid) == getpid();
    prctl(PR_GET_NAME, c->szThreadName, 0, 0, 0);
    c->szThreadName[sizeof c->szThreadName - 1] = '\0';
#if defined(__x86_64__)
    // x86-64 onto the report's lines: rax/rbx/rcx/rdx/rsi/rdi/rbp/rsp/rip into EAX..EIP, eflags
    // into FLAGS; cs, gs, fs (and ss when the kernel saved it) come packed in REG_CSGSFS. ds, es
    // (and ss otherwise) are not saved in a 64-bit context; they are the same for all user code,
    // so the handler reads them from the CPU.
    const ucontext_t *uc = static_cast<const ucontext_t *>(ucv);
    if (uc) {
        const greg_t *g = uc->uc_mcontext.gregs;
        uint64_t *r = c->auRegisters;
        r[PLAT_CRASH_REG_AX] = static_cast<uint64_t>(g[REG_RAX]);
        r[PLAT_CRASH_REG_BX] = static_cast<uint64_t>(g[REG_RBX]);
        r[PLAT_CRASH_REG_CX] = static_cast<uint64_t>(g[REG_RCX]);
        r[PLAT_CRASH_REG_DX] = static_cast<uint64_t>(g[REG_RDX]);
        r[PLAT_CRASH_REG_SI] = static_cast<uint64_t>(g[REG_RSI]);
        r[PLAT_CRASH_REG_DI] = static_cast<uint64_t>(g[REG_RDI]);
        r[PLAT_CRASH_REG_BP] = static_cast<uint64_t>(g[REG_RBP]);
        r[PLAT_CRASH_REG_SP] = static_cast<uint64_t>(g[REG_RSP]);
        r[PLAT_CRASH_REG_IP] = static_cast<uint64_t>(g[REG_RIP]);
        r[PLAT_CRASH_REG_FLAGS] = static_cast<uint64_t>(g[REG_EFL]);
        uint64_t csgsfs = static_cast<uint64_t>(g[REG_CSGSFS]);
        r[PLAT_CRASH_REG_CS] = csgsfs & 0xFFFF;
        c->auSegments[PLAT_CRASH_SEG_GS] = (csgsfs >> 16) & 0xFFFF;
        c->auSegments[PLAT_CRASH_SEG_FS] = (csgsfs >> 32) & 0xFFFF;
        constexpr unsigned long kSigcontextSs = 0x2; // the kernel's UC_SIGCONTEXT_SS
        uint16_t ds = 0, es = 0, ss = 0;
        __asm__("mov %%ds, %0" : "=r"(ds));
        __asm__("mov %%es, %0" : "=r"(es));
        __asm__("mov %%ss, %0" : "=r"(ss));
        c->auSegments[PLAT_CRASH_SEG_DS] = ds;
        c->auSegments[PLAT_CRASH_SEG_ES] = es;
        r[PLAT_CRASH_REG_SS] = (uc->uc_flags & kSigcontextSs) ? (csgsfs >> 48) & 0xFFFF : ss;
        c->uAddr = r[PLAT_CRASH_REG_IP];
        uint64_t sp = r[PLAT_CRASH_REG_SP];
        for (int i = 0; i < 4; ++i)
            c->auStack[i] = PeekWord(sp - static_cast<uint64_t>(i) * sizeof(uint64_t));
    }
#else
    (void)ucv;
#endif
}

void Handler(int sig, siginfo_t *si, void *uc)
{
    int expected = 0;
    if (s_entered.compare_exchange_strong(expected, 1)) {
        PLATCRASHCONTEXT context;
        FillContext(&context, sig, si, uc);
        if (PLATCRASHPROC proc = s_proc.load())
            proc(&context);
    } else {
        // Another thread is writing the report; give it time to finish before this one dies.
        for (int i = 0; i < 200; ++i) {
            struct timespec ts = {0, 10 * 1000 * 1000};
            nanosleep(&ts, nullptr);
        }
    }
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    // Still blocked here, so it arrives with the default action as soon as the handler returns
    // (a real fault would also strike again on return).
    raise(sig);
}

} // namespace

int Plat_CrashHandlerInstall(PLATCRASHPROC proc)
{
    tzset();
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local))
        s_gmtOffset.store(local.tm_gmtoff);
    s_proc.store(proc);

    stack_t ss;
    std::memset(&ss, 0, sizeof ss);
    ss.ss_sp = s_altStack;
    ss.ss_size = sizeof s_altStack;
    sigaltstack(&ss, nullptr);

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = Handler;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int s : s_aiSignals)
        sigaddset(&sa.sa_mask, s);
    int result = 0;
    for (int s : s_aiSignals)
        if (sigaction(s, &sa, nullptr) != 0)
            result = -1;
    return result;
}

int64_t Plat_CrashLocalSeconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) + s_gmtOffset.load();
}

int Plat_CrashWriteFile(const char *name, const char *data, size_t len)
{
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < len) {
        ssize_t n = write(fd, data + done, len - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return done == len ? 0 : -1;
}
