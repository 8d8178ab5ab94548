#include "lobbyplugin/launch.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr size_t SETTING_MAX = 255;
const char kProgramName[] = "tnvpc";
// execvp's own default when PATH is unset.
const char kDefaultPath[] = "/bin:/usr/bin";

std::mutex s_installLock;
EKXINSTALL s_install;

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

void CopyBounded(char *dst, size_t dstSize, std::string_view src)
{
    size_t n = src.size() < dstSize - 1 ? src.size() : dstSize - 1;
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

// The whole settings file, or false when it is missing, not a regular file, unreadable or too
// large. buf is malloc'd; the caller frees it.
bool ReadSettingsFile(char **buf, size_t *len)
{
    *buf = nullptr;
    *len = 0;
    char path[4096];
    path[0] = '\0';
    if (const char *p = std::getenv("TNV_SETTINGS"); p && *p)
        CopyBounded(path, sizeof path, p);
    else if (const char *x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
        CopyBounded(path, sizeof path, x);
        std::strncat(path, "/tonnivelle/settings.ini", sizeof path - std::strlen(path) - 1);
    } else if (const char *h = std::getenv("HOME"); h && *h) {
        CopyBounded(path, sizeof path, h);
        std::strncat(path, "/.config/tonnivelle/settings.ini", sizeof path - std::strlen(path) - 1);
    }
    if (!path[0])
        return false;

    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > EKX_SETTINGS_MAX_FILE) {
        close(fd);
        return false;
    }
    // One byte more than the limit tells a file that grew past it while being read.
    char *data = static_cast<char *>(std::malloc(EKX_SETTINGS_MAX_FILE + 1));
    if (!data) {
        close(fd);
        return false;
    }
    size_t have = 0;
    for (;;) {
        ssize_t n = read(fd, data + have, EKX_SETTINGS_MAX_FILE + 1 - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            std::free(data);
            return false;
        }
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
        if (have > EKX_SETTINGS_MAX_FILE) {
            close(fd);
            std::free(data);
            return false;
        }
    }
    close(fd);
    *buf = data;
    *len = have;
    return true;
}

bool IsExecutableFile(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode) && access(path, X_OK) == 0;
}

// folder + "/tnvpc" into out when it fits.
bool JoinProgram(std::string_view folder, char *out, size_t outSize)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    size_t need = folder.size() + 1 + sizeof kProgramName;
    if (need > outSize)
        return false;
    std::memcpy(out, folder.data(), folder.size());
    out[folder.size()] = '/';
    std::memcpy(out + folder.size() + 1, kProgramName, sizeof kProgramName);
    return true;
}

} // namespace

int Ekx_FindSetting(const char *text, size_t len, const char *key, const char *name, char *out,
                    size_t outSize)
{
    if (!out || outSize == 0)
        return -1;
    out[0] = '\0';
    if (!text || !key || !name)
        return -1;
    std::string_view all(text, len);
    std::string_view wantKey = Trim(key);
    std::string_view wantName = Trim(name);
    bool inKey = false;
    bool keySeen = false;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t nl = all.find('\n', pos);
        size_t end = nl == std::string_view::npos ? all.size() : nl;
        std::string_view line = all.substr(pos, end - pos);
        pos = nl == std::string_view::npos ? all.size() : nl + 1;

        std::string_view t = Trim(line);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            if (keySeen)
                return -1; // only the first copy of the key counts
            inKey = SameNoCase(Trim(t.substr(1, t.size() - 2)), wantKey);
            keySeen = inKey;
            continue;
        }
        if (!inKey)
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view n = Trim(line.substr(0, eq));
        if (n.size() > SETTING_MAX)
            n = n.substr(0, SETTING_MAX);
        if (n.empty() || !SameNoCase(n, wantName))
            continue;
        std::string_view v = line.substr(eq + 1);
        if (!v.empty() && v.back() == '\r')
            v.remove_suffix(1);
        if (v.size() > SETTING_MAX)
            v = v.substr(0, SETTING_MAX);
        CopyBounded(out, outSize, v);
        return 0;
    }
    return -1;
}

void Ekx_ReadInstallPaths(EKXINSTALL *install)
{
    if (!install)
        return;
    std::memset(install, 0, sizeof *install);
    char *text;
    size_t len;
    if (!ReadSettingsFile(&text, &len))
        return;
    char value[EKX_PATH_SIZE];
    if (Ekx_FindSetting(text, len, EKX_SETTINGS_KEY, "Language", value, sizeof value) == 0) {
        CopyBounded(install->szLanguage, sizeof install->szLanguage, value);
        for (char *p = install->szLanguage; *p; ++p)
            *p = (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p;
    }
    // "BaseDir" is the user's song folder on Linux, not where the program lives, so only the
    // data folder is kept.
    if (Ekx_FindSetting(text, len, EKX_SETTINGS_KEY, "DataDir", value, sizeof value) == 0 &&
        value[0]) {
        size_t n = strnlen(value, sizeof install->szDataPath - 2);
        std::memcpy(install->szDataPath, value, n);
        install->szDataPath[n] = '/';
        install->szDataPath[n + 1] = '\0';
    }
    std::free(text);
}

bool Ekx_LaunchWordOk(const char *text)
{
    if (!text || !text[0])
        return false;
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p, ++n) {
        if (n >= EKX_LAUNCH_WORD_MAX)
            return false;
        if (*p <= ' ' || *p == 0x7F)
            return false;
    }
    return true;
}

int Ekx_BuildLaunchArgs(int32_t type, const char *address, const char *port, const char *argv[7])
{
    int n = 0;
    argv[n++] = kProgramName;
    if (type == 1) {
        if (!Ekx_LaunchWordOk(address) || !Ekx_LaunchWordOk(port))
            return -1;
        argv[n++] = "-host";
        argv[n++] = "-advert_ip=";
        argv[n++] = address;
        argv[n++] = "-advert_port=";
        argv[n++] = port;
    } else if (type == 2) {
        if (!Ekx_LaunchWordOk(address))
            return -1;
        argv[n++] = "-join";
        argv[n++] = "-ip=";
        argv[n++] = address;
    } else {
        return -1;
    }
    argv[n] = nullptr;
    return n;
}

int Ekx_FindProgram(const char *folder, const char *pathList, char *out, size_t outSize)
{
    if (!out || outSize == 0)
        return -1;
    out[0] = '\0';
    if (folder && folder[0] && JoinProgram(folder, out, outSize) && IsExecutableFile(out))
        return 0;
    std::string_view list = pathList ? pathList : kDefaultPath;
    while (!list.empty()) {
        size_t colon = list.find(':');
        std::string_view dir = list.substr(0, colon);
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        // An empty or relative entry would run whatever the working folder holds.
        if (dir.empty() || dir.front() != '/')
            continue;
        if (JoinProgram(dir, out, outSize) && IsExecutableFile(out))
            return 0;
    }
    out[0] = '\0';
    return -1;
}

int Ekx_Spawn(const char *program, const char *const *argv)
{
    if (!program || !argv || !argv[0])
        return -1;

    // The studio starts with default signal handling and nothing blocked, whatever the lobby
    // client had set, and in a session of its own, so it outlives the lobby client and the
    // terminal that may have started it.
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0)
        return -1;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    // The middle child reports posix_spawn's answer through the pipe: its exit status cannot be
    // relied on, as a caller ignoring SIGCHLD has its children reaped by the system.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        posix_spawnattr_destroy(&attr);
        return -1;
    }
    pid_t middle = fork();
    if (middle == 0) {
        // Only async-signal-safe work here: the caller may have other threads.
        close(fds[0]);
        pid_t pid;
        int rc = posix_spawn(&pid, program, nullptr, &attr, const_cast<char *const *>(argv), environ);
        ssize_t w;
        do
            w = write(fds[1], &rc, sizeof rc);
        while (w < 0 && errno == EINTR);
        _exit(0);
    }
    close(fds[1]);
    posix_spawnattr_destroy(&attr);
    if (middle < 0) {
        close(fds[0]);
        return -1;
    }
    int rc = -1;
    size_t have = 0;
    while (have < sizeof rc) {
        ssize_t n = read(fds[0], reinterpret_cast<char *>(&rc) + have, sizeof rc - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<size_t>(n);
    }
    close(fds[0]);
    int status;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return (have == sizeof rc && rc == 0) ? 0 : -1;
}

int32_t Ekx_Launch(const char *libraryFolder, int32_t type, const char *address, const char *port)
{
    EKXINSTALL install;
    Ekx_ReadInstallPaths(&install);
    {
        std::lock_guard<std::mutex> hold(s_installLock);
        s_install = install;
    }
    if (type <= 0)
        return 0;
    const char *argv[7];
    if (Ekx_BuildLaunchArgs(type, address, port, argv) < 0)
        return 1;
    char program[4096];
    if (Ekx_FindProgram(libraryFolder, std::getenv("PATH"), program, sizeof program) != 0)
        return 1;
    return Ekx_Spawn(program, argv) == 0 ? 0 : 1;
}

void Ekx_LastInstall(EKXINSTALL *install)
{
    if (!install)
        return;
    std::lock_guard<std::mutex> hold(s_installLock);
    *install = s_install;
}
