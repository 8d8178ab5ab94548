#include "core/file.h"

#include "platform/clock.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

char g_szErrorText[SYS_ERRORTEXT_SIZE];
FILE *g_pLastOpenedFile;
uint8_t g_abWinTexture[SYS_WINTEXTURE_SIZE];
int32_t g_iWinTextureSize = 0;

namespace {

enum
{
    MAX_OPEN_FILES = 128,
};

// What the wrapper knows of each file it opened: the name for error texts and, for a write,
// the temporary file and the target it replaces at close.
struct OPENFILE
{
    FILE *pFile;
    int bReplace;
    char szName[SYS_HOSTPATH_SIZE];
    char szTemp[SYS_HOSTPATH_SIZE];
};

// The file thread closes files too.
std::mutex s_openLock;
OPENFILE s_aOpenFiles[MAX_OPEN_FILES];
// Name of the last open asked for, so a null handle from a failed open is still named.
char s_szLastName[SYS_HOSTPATH_SIZE];

// Truncation of a long path in the text is acceptable.
__attribute__((format(printf, 1, 2))) void ErrorText(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_szErrorText, sizeof(g_szErrorText), format, args);
    va_end(args);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

void SetLastName(const char *name)
{
    std::snprintf(s_szLastName, sizeof(s_szLastName), "%s", name ? name : "");
}

// Error text for a failed open, by the reason the system gave.
void SetOpenError(const char *path, int err)
{
    const char *why;
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        why = "File doesn't exist!";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        why = "Access denied!";
        break;
    case EISDIR:
        why = "Not a file!";
        break;
    case EFBIG:
        why = "File too large!";
        break;
    case EMFILE:
    case ENFILE:
        why = "Too many open files!";
        break;
    default:
        why = "Can't open file!";
        break;
    }
    ErrorText("Couldn't Load File (%s). %s", path, why);
}

const char *NameOf(FILE *file, char *out, size_t outSize)
{
    std::lock_guard<std::mutex> lock(s_openLock);
    for (const OPENFILE &o : s_aOpenFiles) {
        if (o.pFile == file && file) {
            std::snprintf(out, outSize, "%s", o.szName);
            return out;
        }
    }
    std::snprintf(out, outSize, "%s", s_szLastName);
    return out;
}

// what is "Couldn't Read from File" and its siblings.
void SetHandleError(const char *what, FILE *file, const char *why)
{
    char name[SYS_HOSTPATH_SIZE];
    NameOf(file, name, sizeof(name));
    ErrorText("%s (%s). %s", what, name, why);
}

int Register(FILE *file, const char *name, const char *temp)
{
    std::lock_guard<std::mutex> lock(s_openLock);
    for (OPENFILE &o : s_aOpenFiles) {
        if (!o.pFile) {
            o.pFile = file;
            o.bReplace = temp != nullptr;
            std::snprintf(o.szName, sizeof(o.szName), "%s", name);
            std::snprintf(o.szTemp, sizeof(o.szTemp), "%s", temp ? temp : "");
            return 0;
        }
    }
    return -1;
}

// Takes the file out of the table; true and its record when it was there.
bool Unregister(FILE *file, OPENFILE *out)
{
    std::lock_guard<std::mutex> lock(s_openLock);
    for (OPENFILE &o : s_aOpenFiles) {
        if (o.pFile == file) {
            *out = o;
            o.pFile = nullptr;
            return true;
        }
    }
    return false;
}

// g_szDataDir + name, or name alone; -1 when it does not fit.
int JoinDataPath(const char *name, int nameIsFullPath, char *out, size_t outSize)
{
    int n = nameIsFullPath ? std::snprintf(out, outSize, "%s", name)
                           : std::snprintf(out, outSize, "%s%s", g_szDataDir, name);
    return (n < 0 || static_cast<size_t>(n) >= outSize) ? -1 : 0;
}

} // namespace

int Sys_HostPath(const char *path, char *out, size_t outSize)
{
    if (!path || !out || outSize == 0)
        return -1;
    std::string s(path);
    for (char &c : s) {
        if (c == '\\')
            c = '/';
    }
    const bool absolute = !s.empty() && s[0] == '/';
    const bool trailing = s.size() > 1 && s.back() == '/';
    std::string result = absolute ? "/" : "";
    fs::path onDisk = absolute ? fs::path("/") : fs::path(".");
    bool searching = true;
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find('/', pos);
        if (end == std::string::npos)
            end = s.size();
        std::string comp = s.substr(pos, end - pos);
        pos = end + 1;
        if (comp.empty())
            continue;
        if (searching && comp != "." && comp != "..") {
            std::error_code ec;
            fs::file_status st = fs::symlink_status(onDisk / comp, ec);
            if (ec || !fs::exists(st)) {
                // Not there under this spelling: take the first name on disk, in sorted order,
                // that differs only by case.
                std::string best;
                fs::directory_iterator it(onDisk, ec);
                for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
                    std::string entry = it->path().filename().string();
                    if (SameNoCase(entry, comp) && (best.empty() || entry < best))
                        best = entry;
                }
                if (best.empty())
                    searching = false; // nothing below a missing folder can exist either
                else
                    comp = best;
            }
        }
        if (!result.empty() && result.back() != '/')
            result += '/';
        result += comp;
        onDisk /= comp;
    }
    if (trailing && !result.empty() && result.back() != '/')
        result += '/';
    if (result.size() >= outSize)
        return -1;
    std::memcpy(out, result.c_str(), result.size() + 1);
    return 0;
}

FILE *Sys_OpenFileRead(const char *name)
{
    char joined[SYS_HOSTPATH_SIZE];
    char host[SYS_HOSTPATH_SIZE];
    if (!name || JoinDataPath(name, 0, joined, sizeof(joined)) != 0 ||
        Sys_HostPath(joined, host, sizeof(host)) != 0) {
        SetLastName(name);
        SetOpenError(name ? name : "", ENAMETOOLONG);
        return nullptr;
    }
    SetLastName(host);
    // A folder, a pipe or a device is no data file (and a pipe would block the open).
    std::error_code ec;
    fs::file_status st = fs::status(host, ec);
    if (!ec && fs::exists(st) && !fs::is_regular_file(st)) {
        SetOpenError(host, EISDIR);
        return nullptr;
    }
    FILE *file = std::fopen(host, "rb");
    if (!file) {
        SetOpenError(host, errno);
        return nullptr;
    }
    if (Register(file, host, nullptr) != 0) {
        std::fclose(file);
        SetOpenError(host, EMFILE);
        return nullptr;
    }
    g_pLastOpenedFile = file;
    return file;
}

FILE *Sys_OpenFileRead(const char *name, int, int)
{
    return Sys_OpenFileRead(name);
}

FILE *Sys_OpenFileWrite(const char *name, int nameIsFullPath, int /*textMode: same bytes here*/)
{
    char joined[SYS_HOSTPATH_SIZE];
    char host[SYS_HOSTPATH_SIZE];
    char temp[SYS_HOSTPATH_SIZE + 8];
    if (!name || JoinDataPath(name, nameIsFullPath, joined, sizeof(joined)) != 0 ||
        Sys_HostPath(joined, host, sizeof(host)) != 0 || host[0] == 0) {
        SetLastName(name);
        SetOpenError(name ? name : "", ENAMETOOLONG);
        return nullptr;
    }
    SetLastName(host);
    std::error_code ec;
    fs::file_status st = fs::status(host, ec);
    if (!ec && fs::exists(st) && !fs::is_regular_file(st)) {
        SetOpenError(host, EISDIR);
        return nullptr;
    }
    // Written beside the target and renamed over it at close: the old file stays whole until
    // the new one is complete on disk.
    std::snprintf(temp, sizeof(temp), "%s.XXXXXX", host);
    int fd = mkstemp(temp);
    if (fd < 0) {
        SetOpenError(host, errno);
        return nullptr;
    }
    fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                     fs::perms::others_read;
    if (!ec && fs::exists(st))
        mode = st.permissions();
    fs::permissions(temp, mode, ec);
    FILE *file = fdopen(fd, "wb");
    if (!file) {
        int err = errno;
        close(fd);
        unlink(temp);
        SetOpenError(host, err);
        return nullptr;
    }
    if (Register(file, host, temp) != 0) {
        std::fclose(file);
        unlink(temp);
        SetOpenError(host, EMFILE);
        return nullptr;
    }
    g_pLastOpenedFile = file;
    return file;
}

int Sys_ReadFile(FILE *file, void *buffer, int size)
{
    if (!file) {
        SetHandleError("Couldn't Read from File", file, "Invalid File Handle!");
        return -1;
    }
    if (size < 0 || (!buffer && size > 0)) {
        SetHandleError("Couldn't Read from File", file, "Invalid Buffer!");
        return -1;
    }
    if (size == 0)
        return 0; // nothing to read; the C library must not see a null buffer
    size_t got = std::fread(buffer, 1, static_cast<size_t>(size), file);
    if (got < static_cast<size_t>(size)) {
        SetHandleError("Couldn't Read from File", file,
                       std::ferror(file) ? "Read Error!" : "End of File!");
    }
    return static_cast<int>(got);
}

int Sys_WriteFile(FILE *file, const void *buffer, int size)
{
    if (!file) {
        SetHandleError("Couldn't Write to File", file, "Invalid File Handle!");
        return -1;
    }
    if (size < 0 || (!buffer && size > 0)) {
        SetHandleError("Couldn't Write to File", file, "Invalid Buffer!");
        return -1;
    }
    if (size == 0)
        return 0;
    size_t put = std::fwrite(buffer, 1, static_cast<size_t>(size), file);
    if (put < static_cast<size_t>(size))
        SetHandleError("Couldn't Write to File", file, "Write Error!");
    return static_cast<int>(put);
}

long Sys_SeekFile(FILE *file, long offset, int whence)
{
    if (!file) {
        SetHandleError("Couldn't Seek into File", file, "Invalid File Handle!");
        return -1;
    }
    static const int s_aiWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (whence < 0 || whence > 2 || std::fseek(file, offset, s_aiWhence[whence]) != 0) {
        SetHandleError("Couldn't Seek into File", file, "Invalid Position!");
        return -1;
    }
    return std::ftell(file);
}

int Sys_CloseFile(FILE *file)
{
    if (!file)
        return 0;
    if (g_pLastOpenedFile == file)
        g_pLastOpenedFile = nullptr;
    OPENFILE rec;
    if (!Unregister(file, &rec) || !rec.bReplace)
        return std::fclose(file) == 0 ? 0 : -1;

    bool ok = !std::ferror(file) && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    ok = (std::fclose(file) == 0) && ok;
    if (ok)
        ok = std::rename(rec.szTemp, rec.szName) == 0;
    if (!ok) {
        unlink(rec.szTemp);
        ErrorText("Couldn't Write to File (%s). File not saved!",
                      rec.szName);
        return -1;
    }
    return 0;
}

void Sys_DiscardFile(FILE *file)
{
    if (!file)
        return;
    if (g_pLastOpenedFile == file)
        g_pLastOpenedFile = nullptr;
    OPENFILE rec;
    bool known = Unregister(file, &rec);
    std::fclose(file);
    if (known && rec.bReplace)
        unlink(rec.szTemp);
}

long Sys_LoadFileToBuffer(const char *name, void *buffer, size_t capacity)
{
    FILE *file = Sys_OpenFileRead(name);
    if (!file)
        return -1;
    long size = Sys_SeekFile(file, 0, 2);
    if (size < 0 || Sys_SeekFile(file, 0, 0) != 0) {
        Sys_CloseFile(file);
        return -1;
    }
    if (static_cast<unsigned long>(size) > capacity || size > 0x7fffffffL) {
        char name2[SYS_HOSTPATH_SIZE];
        NameOf(file, name2, sizeof(name2));
        ErrorText("Couldn't Load File (%s). File too large!", name2);
        Sys_CloseFile(file);
        return -1;
    }
    int got = Sys_ReadFile(file, buffer, static_cast<int>(size));
    Sys_CloseFile(file);
    return got == size ? size : -1;
}

int Sys_LoadWinTexture()
{
    long size = Sys_LoadFileToBuffer("win.tx", g_abWinTexture, sizeof(g_abWinTexture));
    if (size < 0)
        return -1;
    g_iWinTextureSize = static_cast<int32_t>(size);
    return 0;
}

uint32_t Sys_WaitSeconds(int seconds)
{
    // Sleeps rather than spinning: the wait only has to let the time pass.
    if (seconds > 0)
        Plat_SleepMs(static_cast<uint32_t>(seconds) * 1000u);
    return Plat_Milliseconds();
}

uint32_t Sys_GetMilliseconds()
{
    return Plat_Milliseconds();
}
