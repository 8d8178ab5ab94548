#include "platform/settings_store.h"

#include "platform/backend.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex s_lock;
std::string s_memory; // the headless backend keeps the same text a file would hold

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

std::string_view Bounded(std::string_view s)
{
    return s.size() > PLAT_SETTING_MAX ? s.substr(0, PLAT_SETTING_MAX) : s;
}

// One line of the text: [begin, end) without the '\n'.
struct Line
{
    size_t begin;
    size_t end;
};

bool NextLine(const std::string &text, size_t *pos, Line *line)
{
    if (*pos >= text.size())
        return false;
    size_t nl = text.find('\n', *pos);
    line->begin = *pos;
    line->end = (nl == std::string::npos) ? text.size() : nl;
    *pos = (nl == std::string::npos) ? text.size() : nl + 1;
    return true;
}

// "[key]" line: sets *key and answers true.
bool IsHeader(std::string_view line, std::string_view *key)
{
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    *key = Trim(t.substr(1, t.size() - 2));
    return true;
}

// "name=value" line: sets the name (trimmed, bounded) and the raw value.
bool IsPair(std::string_view line, std::string_view *name, std::string_view *value)
{
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return false;
    *name = Bounded(Trim(line.substr(0, eq)));
    std::string_view v = line.substr(eq + 1);
    if (!v.empty() && v.back() == '\r')
        v.remove_suffix(1);
    *value = v;
    return !name->empty();
}

bool ValidName(std::string_view name)
{
    if (name.empty() || name.front() == '[')
        return false;
    return name.find_first_of("=\r\n") == std::string_view::npos;
}

std::string_view WantedName(const char *name)
{
    return Bounded(Trim(name ? std::string_view(name) : std::string_view()));
}

// Located parts of a key within the text.
struct KeySpan
{
    bool found = false;
    size_t insertAt = 0;      // where a new value line goes (after the key's last non-blank line)
    bool found_pair = false;
    size_t pairBegin = 0;     // the first line holding the name
    size_t pairValueBegin = 0; // just after its '='
    size_t pairEnd = 0;       // end of that line, before any '\r' / '\n'
    std::string_view value;
};

KeySpan Locate(const std::string &text, std::string_view key, std::string_view name)
{
    KeySpan span;
    bool inKey = false;
    size_t pos = 0;
    Line line;
    while (NextLine(text, &pos, &line)) {
        std::string_view l(text.data() + line.begin, line.end - line.begin);
        std::string_view k;
        if (IsHeader(l, &k)) {
            if (span.found)
                break; // a later copy of the same key is left alone
            inKey = SameNoCase(k, key);
            if (inKey) {
                span.found = true;
                span.insertAt = pos;
            }
            continue;
        }
        if (!inKey)
            continue;
        if (!Trim(l).empty())
            span.insertAt = pos;
        std::string_view n, v;
        if (!span.found_pair && IsPair(l, &n, &v) && SameNoCase(n, name)) {
            span.found_pair = true;
            span.pairBegin = line.begin;
            span.pairValueBegin = line.begin + l.find('=') + 1;
            span.pairEnd = line.begin + (v.data() - l.data()) + v.size();
            span.value = v;
        }
    }
    return span;
}

std::string ConfigPath()
{
    if (const char *p = Plat_GetEnv("TNV_SETTINGS"))
        return p;
    if (const char *x = Plat_GetEnv("XDG_CONFIG_HOME"))
        return std::string(x) + "/tonnivelle/settings.ini";
    if (const char *h = Plat_GetEnv("HOME"))
        return std::string(h) + "/.config/tonnivelle/settings.ini";
    return {};
}

// 0 read, 1 no file, -1 unreadable or too large.
int ReadWhole(const std::string &path, std::string *text)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 1 : -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > PLAT_SETTINGS_MAX_FILE) {
        close(fd);
        return -1;
    }
    text->clear();
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return -1;
        }
        if (n == 0)
            break;
        text->append(buf, static_cast<size_t>(n));
        if (text->size() > PLAT_SETTINGS_MAX_FILE) {
            close(fd);
            return -1;
        }
    }
    close(fd);
    return 0;
}

bool MakeParents(const std::string &path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool WriteAtomic(const std::string &path, const std::string &text)
{
    if (!MakeParents(path))
        return false;
    std::string tmp = path + ".tmp." + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == text.size() && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok && rename(tmp.c_str(), path.c_str()) == 0)
        return true;
    unlink(tmp.c_str());
    return false;
}

} // namespace

int Plat_SettingsFind(const std::string &text, const char *key, const char *name, char *out,
                      size_t outSize)
{
    if (!out || outSize == 0)
        return -1;
    out[0] = '\0';
    if (!key || !name)
        return -1;
    KeySpan span = Locate(text, Trim(key), WantedName(name));
    if (!span.found_pair)
        return -1;
    std::string_view v = Bounded(span.value);
    size_t n = v.size() < outSize - 1 ? v.size() : outSize - 1;
    std::memcpy(out, v.data(), n);
    out[n] = '\0';
    return 0;
}

bool Plat_SettingsUpdate(const std::string &text, const char *key, const char *name,
                         const char *value, std::string *result)
{
    if (!key || !name || !value || !result)
        return false;
    std::string_view k = Trim(key);
    std::string_view n = WantedName(name);
    std::string_view v = Bounded(value);
    if (k.empty() || k.find_first_of("[]\r\n") != std::string_view::npos || !ValidName(n) ||
        v.find_first_of("\r\n") != std::string_view::npos)
        return false;
    KeySpan span = Locate(text, k, n);
    std::string out;
    if (span.found_pair) {
        out = text.substr(0, span.pairValueBegin);
        out.append(v);
        out.append(text, span.pairEnd, std::string::npos);
    } else if (span.found) {
        std::string line = std::string(n) + "=" + std::string(v) + "\n";
        out = text.substr(0, span.insertAt);
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += line;
        out.append(text, span.insertAt, std::string::npos);
    } else {
        out = text;
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        if (!out.empty())
            out += '\n';
        out += "[" + std::string(k) + "]\n" + std::string(n) + "=" + std::string(v) + "\n";
    }
    *result = std::move(out);
    return true;
}

std::string Plat_SettingsPath()
{
    return ConfigPath();
}

void Plat_SettingsClear()
{
    std::lock_guard<std::mutex> hold(s_lock);
    s_memory.clear();
}

int Plat_SettingsRead(const char *key, const char *name, char *out, size_t outSize)
{
    if (out && outSize)
        out[0] = '\0';
    std::lock_guard<std::mutex> hold(s_lock);
    if (Plat_IsHeadless())
        return Plat_SettingsFind(s_memory, key, name, out, outSize);
    std::string path = ConfigPath();
    std::string text;
    if (path.empty() || ReadWhole(path, &text) != 0)
        return -1;
    return Plat_SettingsFind(text, key, name, out, outSize);
}

int Plat_SettingsWrite(const char *key, const char *name, const char *value)
{
    std::lock_guard<std::mutex> hold(s_lock);
    if (Plat_IsHeadless())
        return Plat_SettingsUpdate(s_memory, key, name, value, &s_memory) ? 0 : -1;
    std::string path = ConfigPath();
    if (path.empty())
        return -1;
    std::string text;
    int r = ReadWhole(path, &text);
    if (r < 0)
        return -1; // an unreadable or oversized file is never replaced
    if (r == 1)
        text.clear();
    std::string updated;
    if (!Plat_SettingsUpdate(text, key, name, value, &updated))
        return -1;
    return WriteAtomic(path, updated) ? 0 : -1;
}
