#include "core/browser.h"

#include "app/calllog.h"
#include "app/cmdline.h"
#include "audio/import.h"
#include "core/archive.h"
#include "core/cardsave.h"
#include "core/file.h"
#include "platform/paths.h"
#include "jam/netobjects.h"
#include "render/userimages.h"
#include "editors/filescreen.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

BROWSERENTRY g_aBrowserEntries[BROWSER_ROWS];
int32_t g_iBrowserEntryCount;
char g_szBrowserDir[BROWSER_DIR_BYTES];
int32_t g_bTaggedSongFile;
int32_t g_iBrowserLoadResult;
int32_t g_iJamTemplateCount;

int32_t g_iGridRows;
int32_t g_iGridColumns;
int32_t g_iGridCellWidth;
int32_t g_iGridCellHeight;
int32_t g_iGridPanelX;
int32_t g_iGridPanelY;
int32_t g_iGridPanelWidth;
int32_t g_iGridPanelHeight;
int32_t g_iVideoPanelX;
int32_t g_iVideoPanelY;
int32_t g_iVideoPanelWidth;
int32_t g_iVideoPanelHeight;
int32_t g_iGridBorder;
int32_t g_iGridTop;
int32_t g_iGridLeft;
int32_t g_aiGridLayoutMisc[4];

namespace {

// The import answers 201 when the instrument table is full; only 1..200 is an instrument.
constexpr int32_t MAX_INSTRUMENT = 200;

template <typename... A> void BrowserError(const char *format, A... args)
{
    std::snprintf(g_szErrorText, sizeof g_szErrorText, format, args...);
}

bool SameNoCase(const std::string &a, const char *b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; i++) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool LessNoCase(const std::string &a, const std::string &b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b; // the same but for case: a fixed order all the same
}

// Extension after the last '.', without it ("" when none).
std::string Extension(const std::string &name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// The folder relative paths start from: the browser's, else the process's starting folder.
std::string BaseFolder()
{
    if (g_szBrowserDir[0])
        return g_szBrowserDir;
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string(".") : cwd.string();
}

// Studio path (either separator, any case) to a host path; relative ones from BaseFolder.
bool ResolvePath(const char *path, std::string *out)
{
    if (!path || !path[0])
        return false;
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p[0] != '/') {
        std::string base = BaseFolder();
        if (base.empty() || base.back() != '/')
            base += '/';
        p = base + p;
    }
    char host[SYS_HOSTPATH_SIZE];
    if (Sys_HostPath(p.c_str(), host, sizeof host) != 0)
        return false;
    *out = host;
    return true;
}

// Path of a row's file in the browser's folder.
bool RowPath(int32_t index, std::string *out)
{
    if (index < 0 || index >= g_iBrowserEntryCount || !g_aBrowserEntries[index].pszName)
        return false;
    std::string dir = g_szBrowserDir;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    *out = dir + g_aBrowserEntries[index].pszName;
    return true;
}

bool IsUsableFolder(const fs::path &p)
{
    std::error_code ec;
    if (!fs::is_directory(p, ec))
        return false;
    fs::directory_iterator it(p, ec);
    return !ec;
}

struct Found
{
    std::string name;
    uint32_t kind;
    uint32_t type;
    uint64_t size;
};

struct SongFile
{
    FILE *file = nullptr;
    int32_t offset = 0;
    int64_t dataBytes = 0;
    int32_t tagged = 0;
};

// Opens a row's song file and finds its data behind the save header. False with a text when the
// row is no song file or the file is missing, short or has no valid header.
bool OpenSongFile(int32_t index, SongFile *song)
{
    std::string path;
    if (!RowPath(index, &path) || g_aBrowserEntries[index].uEntryType != BROWSERTYPE_FILE ||
        g_aBrowserEntries[index].uKind != BROWSERKIND_SONG) {
        BrowserError("Couldn't Load File (%s). Not a song file!", path.c_str());
        return false;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        BrowserError("Couldn't Load File (%s). File doesn't exist!", path.c_str());
        return false;
    }
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        BrowserError("Couldn't Load File (%s). %s!", path.c_str(), errno == EACCES ? "Access denied" : "File doesn't exist");
        return false;
    }
    uint8_t head[SAVEFILE_DATA_OFFSET];
    const size_t got = std::fread(head, 1, sizeof head, f);
    int32_t offset = Sys_LocateSaveData(head, got);
    // A song image written without a save header (as tools and exports write them) starts with
    // its header chunk; the header only tells where the image starts. The song loader still
    // checks the image itself.
    const bool bare = offset < 0 && got >= 2 && head[0] == 'H' && head[1] == '2';
    if (bare)
        offset = 0;
    if (offset < 0 || static_cast<int64_t>(st.st_size) < offset) {
        BrowserError("Couldn't Load File (%s). Not a song file!", path.c_str());
        std::fclose(f);
        return false;
    }
    song->file = f;
    song->offset = offset;
    song->dataBytes = static_cast<int64_t>(st.st_size) - offset;
    song->tagged = (bare || offset == SAVEFILE_DATA_OFFSET) ? 1 : 0; // a bare image is in the tagged layout
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Display lines

uint32_t Sys_BuildDisplayLines(const char *name, char lines[3][BROWSER_LINE_BYTES])
{
    std::string out[3];
    int line = 0;
    bool first = true;
    const std::string text = name ? name : "";
    size_t pos = 0;
    while (pos < text.size() && line < 3) {
        size_t end = text.find(' ', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string word = text.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty())
            continue;
        for (char &c : word)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        // A word that would take the line past 12 characters starts the next line; the first
        // word stays on line 1 whole, and no word is ever broken.
        if (!first && out[line].size() + word.size() > BROWSER_LINE_CHARS) {
            if (++line == 3)
                break;
        }
        first = false;
        out[line] += word;
        if (out[line].size() < BROWSER_LINE_CHARS + 1)
            out[line] += ' ';
        else
            line++;
    }
    uint32_t count = 0;
    for (int i = 0; i < 3; i++) {
        if (!out[i].empty())
            count = static_cast<uint32_t>(i + 1);
    }
    if (count > 2) {
        out[2] = out[2].substr(0, 8) + "...";
        if (out[2].size() < 9)
            out[2].resize(9, ' ');
        count = 3;
    }
    for (int i = 0; i < 3; i++) {
        std::memset(lines[i], 0, BROWSER_LINE_BYTES);
        std::memcpy(lines[i], out[i].c_str(), std::min(out[i].size(), size_t(BROWSER_LINE_BYTES - 1)));
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// The table

void Sys_ClearBrowserEntries()
{
    for (BROWSERENTRY &row : g_aBrowserEntries) {
        std::free(row.pszName);
        row = BROWSERENTRY{};
    }
    g_iBrowserEntryCount = 0;
}

int32_t Sys_ListDirectory()
{
    Sys_ClearBrowserEntries();
    if (!g_szBrowserDir[0])
        return 0;
    const fs::path dir(g_szBrowserDir);
    std::vector<Found> found;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
        BrowserError("Couldn't List Folder (%s). %s", g_szBrowserDir, ec.message().c_str());
        return 0;
    }
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') // hidden
            continue;
        std::error_code sec;
        const fs::file_status st = it->status(sec); // a link counts as what it points to
        if (sec)
            continue;
        if (fs::is_directory(st)) {
            found.push_back({name, 0, BROWSERTYPE_FOLDER, 0});
            continue;
        }
        if (!fs::is_regular_file(st))
            continue;
        const std::string ext = Extension(name);
        uint32_t kind;
        if (SameNoCase(ext, "tnv"))
            kind = BROWSERKIND_SONG;
        else if (SameNoCase(ext, "pcm"))
            kind = BROWSERKIND_PCM;
        else if (SameNoCase(ext, "wav"))
            kind = BROWSERKIND_WAV;
        else if (SameNoCase(ext, "bmp"))
            kind = BROWSERKIND_BMP;
        else
            continue;
        const uintmax_t size = it->file_size(sec);
        found.push_back({name, kind, BROWSERTYPE_FILE, sec ? 0 : static_cast<uint64_t>(size)});
    }
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return LessNoCase(a.name, b.name); });
    // Directory listings hold ".." everywhere but at the root.
    if (dir != dir.root_path())
        found.insert(found.begin(), Found{"..", 0, BROWSERTYPE_DOTFOLDER, 0});
    for (const Found &f : found) {
        if (g_iBrowserEntryCount >= BROWSER_ROWS)
            break;
        char *copy = strdup(f.name.c_str());
        if (!copy)
            break;
        BROWSERENTRY &row = g_aBrowserEntries[g_iBrowserEntryCount++];
        row.uKind = f.kind;
        row.pszName = copy;
        row.uEntryType = f.type;
        row.uSize = static_cast<uint32_t>(f.size);
        row.uLineCount = Sys_BuildDisplayLines(copy, row.aszLines);
    }
    return g_iBrowserEntryCount;
}

int32_t Sys_BrowseDirectory(const char *path)
{
    std::string host;
    int32_t result = -1;
    fs::path target;
    std::error_code ec;
    if (!ResolvePath(path, &host))
        BrowserError("Couldn't Open Folder (%s). Bad path!", path ? path : "");
    else if (!IsUsableFolder(host))
        BrowserError("Couldn't Open Folder (%s). %s!", host.c_str(),
                     fs::is_directory(host, ec) ? "Access denied" : "Folder doesn't exist");
    else {
        target = fs::canonical(host, ec);
        if (ec)
            BrowserError("Couldn't Open Folder (%s). %s", host.c_str(), ec.message().c_str());
        else if (target.string().size() >= BROWSER_DIR_BYTES) {
            BrowserError("Couldn't Open Folder (%s). Path too long!", host.c_str());
            target.clear();
        }
    }
    if (!target.empty()) {
        std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s", target.c_str());
        result = 0;
    } else if (g_szBrowserDir[0]) {
        // Stay; when the folder shown has gone, show the nearest one above it that is still there.
        fs::path p(g_szBrowserDir);
        while (!IsUsableFolder(p) && p.has_relative_path())
            p = p.parent_path();
        std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s", p.c_str());
    }
    Sys_ListDirectory();
    Ui_MarkBrowserListsDirty();
    return result;
}

// ---------------------------------------------------------------------------------------------
// Loads

int32_t Sys_LoadBrowserEntry(void *buffer, int32_t index, BROWSERDONEFN done, size_t capacity)
{
    int32_t ok = 0;
    std::string path;
    const bool row = RowPath(index, &path) && g_aBrowserEntries[index].uEntryType == BROWSERTYPE_FILE;
    const uint32_t kind = row ? g_aBrowserEntries[index].uKind : UINT32_MAX; // folders load nothing
    if (kind == BROWSERKIND_BMP || kind == BROWSERKIND_PCM || kind == BROWSERKIND_WAV) {
        int32_t result;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
            // Nothing to hear or see: no empty instrument or picture is made.
            BrowserError("Couldn't Load File (%s). File is empty!", path.c_str());
            result = -1;
        } else if (kind == BROWSERKIND_BMP)
            result = Gfx_LoadUserImage(path.c_str());
        else if (kind == BROWSERKIND_PCM)
            result = Snd_ImportRawSample(path.c_str(), nullptr, 0, 22050);
        else
            result = Snd_ImportWavSample(path.c_str());
        const bool good = kind == BROWSERKIND_BMP ? result >= 0 : result >= 1 && result <= MAX_INSTRUMENT;
        g_iBrowserLoadResult = good ? result : -1;
        ok = good ? 1 : 0;
    } else if (kind == BROWSERKIND_SONG) {
        SongFile song;
        if (OpenSongFile(index, &song)) {
            if (song.dataBytes == 0)
                BrowserError("Couldn't Load File (%s). File is empty!", path.c_str());
            else if (!buffer || static_cast<uint64_t>(song.dataBytes) > capacity || song.dataBytes > 0x7FFFFFFF)
                BrowserError("Couldn't Load File (%s). File too large!", path.c_str());
            else if (std::fseek(song.file, song.offset, SEEK_SET) != 0 ||
                     std::fread(buffer, 1, static_cast<size_t>(song.dataBytes), song.file) !=
                         static_cast<size_t>(song.dataBytes))
                BrowserError("Couldn't Read from File (%s). Read Error!", path.c_str());
            else {
                g_bTaggedSongFile = song.tagged;
                ok = 1;
            }
            std::fclose(song.file);
        }
    } else {
        BrowserError("Couldn't Load File (%s). Not a file the studio loads!", path.c_str());
    }
    if (done)
        done(ok);
    return ok;
}

int32_t Sys_ReadSongPreview(void *buffer, int32_t index)
{
    if (index >= 0 && index < g_iBrowserEntryCount && g_aBrowserEntries[index].uKind != BROWSERKIND_SONG)
        return static_cast<int32_t>(g_aBrowserEntries[index].uKind);
    SongFile song;
    if (!buffer || !OpenSongFile(index, &song))
        return 2;
    uint8_t bytes[BROWSER_PREVIEW_BYTES] = {};
    const bool read = std::fseek(song.file, song.offset, SEEK_SET) == 0;
    if (read)
        std::fread(bytes, 1, sizeof bytes, song.file);
    std::fclose(song.file);
    if (!read)
        return 2;
    std::memcpy(buffer, bytes, sizeof bytes);
    g_bTaggedSongFile = song.tagged;
    return BROWSERKIND_SONG;
}

// ---------------------------------------------------------------------------------------------
// Files and folders

int32_t Sys_PathExists(const char *path)
{
    std::string host;
    struct stat st;
    return ResolvePath(path, &host) && lstat(host.c_str(), &st) == 0 ? 1 : 0;
}

int32_t Sys_DeleteFile(const char *path)
{
    std::string host;
    struct stat st;
    if (!ResolvePath(path, &host) || lstat(host.c_str(), &st) != 0) {
        BrowserError("Couldn't Delete File (%s). File doesn't exist!", path ? path : "");
        return 0;
    }
    // unlink never takes a folder, and takes a link rather than what it points to.
    if (S_ISDIR(st.st_mode) || unlink(host.c_str()) != 0) {
        BrowserError("Couldn't Delete File (%s). %s!", host.c_str(),
                     S_ISDIR(st.st_mode) ? "Not a file" : errno == EACCES || errno == EPERM ? "Access denied" : std::strerror(errno));
        return 0;
    }
    return 1;
}

int32_t Sys_RemoveDirectory(const char *path)
{
    std::string host;
    if (!ResolvePath(path, &host)) {
        BrowserError("Couldn't Remove Folder (%s). Bad path!", path ? path : "");
        return -1;
    }
    if (rmdir(host.c_str()) != 0) {
        const int err = errno;
        BrowserError("Couldn't Remove Folder (%s). %s!", host.c_str(),
                     err == ENOTEMPTY || err == EEXIST ? "Folder is not empty"
                     : err == EACCES || err == EPERM   ? "Access denied"
                     : err == ENOENT                   ? "Folder doesn't exist"
                                                       : std::strerror(err));
        return -1;
    }
    return 0;
}

int32_t Sys_CreateDirectory(const char *path)
{
    std::string host;
    if (!ResolvePath(path, &host)) {
        BrowserError("Couldn't Create Folder (%s). Bad path!", path ? path : "");
        return -1;
    }
    if (mkdir(host.c_str(), 0777) != 0) {
        const int err = errno;
        BrowserError("Couldn't Create Folder (%s). %s!", host.c_str(),
                     err == EEXIST                   ? "Name already taken"
                     : err == EACCES || err == EPERM ? "Access denied"
                                                     : std::strerror(err));
        return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Jam templates

int32_t Sys_ScanJamTemplates(char (*table)[JAMTEMPLATE_NAME_BYTES], int32_t rows)
{
    g_iJamTemplateCount = 0;
    const int32_t limit = std::min<int32_t>(table ? rows : 0, WAD_MAX_RECORDS + 1);
    if (limit <= 0)
        return 0;
    // The user's own templates (written beside the content) first, then those the content
    // brings; a name in both is the user's.
    std::vector<std::string> folders;
    if (const std::string user = Plat_UserDataDir(); !user.empty())
        folders.push_back(user + "/Templates");
    char host[SYS_HOSTPATH_SIZE];
    if (Sys_HostPath((std::string(g_szDataDir) + "Templates").c_str(), host, sizeof host) == 0)
        folders.push_back(host);
    std::vector<std::pair<std::string, std::string>> files; // name, host path
    for (const std::string &folder : folders) {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code sec;
            if (name.empty() || name[0] == '.' || !it->is_regular_file(sec) || sec)
                continue;
            if (!SameNoCase(Extension(name), "jam"))
                continue;
            const bool known = std::any_of(files.begin(), files.end(),
                                           [&](const auto &f) { return SameNoCase(f.first, name.c_str()); });
            if (!known)
                files.emplace_back(name, it->path().string());
        }
    }
    std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return LessNoCase(a.first, b.first); });
    for (const auto &[name, path] : files) {
        if (g_iJamTemplateCount >= limit)
            break;
        const int32_t row = g_iJamTemplateCount++;
        const size_t stem = name.size() - 4;
        std::memset(table[row], 0, JAMTEMPLATE_NAME_BYTES);
        std::memcpy(table[row], name.c_str(), std::min(stem, size_t(JAMTEMPLATE_NAME_BYTES - 1)));
        std::error_code ec;
        const auto length = fs::file_size(path, ec);
        FILE *f = ec ? nullptr : std::fopen(path.c_str(), "rb");
        if (!f)
            continue; // keeps the flag it had
        std::fclose(f);
        g_abWadEntryEmpty[row] = (int64_t)length > g_iMaxTemplateSize && !g_bJamSinglePlayer ? 1 : 0;
    }
    return g_iJamTemplateCount;
}

// ---------------------------------------------------------------------------------------------
// Layout

void Sys_SetGridLayout()
{
    Sys_CallLog("Sys_SetGridLayout");
    g_iGridRows = 17;
    g_iGridColumns = 23;
    g_iGridCellWidth = 24;
    g_iGridCellHeight = 24;
    g_iGridPanelX = 8;
    g_iGridPanelY = 74;
    g_iGridPanelWidth = g_iGridColumns * g_iGridCellWidth + 72;
    g_iGridPanelHeight = g_iGridRows * g_iGridCellHeight + 16;
    g_iVideoPanelX = 7;
    g_iVideoPanelY = 6;
    g_iVideoPanelWidth = 200;
    g_iVideoPanelHeight = 170;
    g_iGridBorder = 4;
    g_iGridTop = 8;
    g_iGridLeft = 56;
    g_aiGridLayoutMisc[0] = 50;
    g_aiGridLayoutMisc[1] = 50;
    g_aiGridLayoutMisc[2] = 260;
    g_aiGridLayoutMisc[3] = 240;
}
