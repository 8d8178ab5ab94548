#include "ui/langtext.h"

#include "platform/paths.h"

#include "app/cmdline.h"
#include "app/settings.h"
#include "core/file.h"
#include "editors/filescreen.h"
#include "sequencer/instruments.h"
#include "ui/msgbox.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

const char *g_apszText[TEXT_COUNT];
uint8_t g_ucLanguage;
char *g_pLanguageBlock;

namespace {

const char *const kSelectionNames[5] = {"ENGLISH", "FRANCAIS", "DEUTSCH", "ESPANOL", "ITALIANO"};
// File names in writing order, with the built-in table each is written from (index = table).
const char *const kFileNames[5] = {"language\\english.txt", "language\\french.txt", "language\\italian.txt",
                                   "language\\spanish.txt", "language\\german.txt"};
// g_ucLanguage -> built-in table index.
const int kTableOfLanguage[5] = {0, 1, 4, 3, 2};

constexpr size_t kOffsetBytes = size_t(TEXT_COUNT) * 4;

uint32_t ReadU32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Install(char *block, const char *const *texts)
{
    delete[] g_pLanguageBlock;
    g_pLanguageBlock = block;
    std::memcpy(g_apszText, texts, sizeof g_apszText);
}

} // namespace

const char *Ui_Text(int id)
{
    if (id < 0 || id >= TEXT_COUNT)
        return "";
    // Before any language is loaded the program's own English stands in.
    return g_apszText[id] ? g_apszText[id] : g_aapszBuiltinText[0][id];
}

void Ui_FreeLanguageTexts()
{
    Install(nullptr, g_aapszBuiltinText[0]);
}

void Ui_SelectLanguageByName()
{
    g_ucLanguage = LANGUAGE_ENGLISH;
    for (uint8_t i = 0; i < 5; i++)
        if (std::strcmp(g_szLanguage, kSelectionNames[i]) == 0)
            g_ucLanguage = i;
}

std::vector<uint8_t> Ui_BuildLanguageFile(const char *const *table)
{
    std::vector<uint8_t> out(kOffsetBytes);
    uint32_t offset = 0;
    for (int id = 0; id < TEXT_COUNT; id++) {
        const char *text = table[id] ? table[id] : "";
        for (int b = 0; b < 4; b++)
            out[size_t(id) * 4 + size_t(b)] = uint8_t(offset >> (8 * b));
        const size_t len = std::strlen(text);
        out.insert(out.end(), text, text + len);
        out.push_back(0);
        offset += uint32_t(len + 1);
    }
    return out;
}

bool Ui_ParseLanguageFile(const uint8_t *data, size_t size, char **block, const char **texts)
{
    if (!data || size <= kOffsetBytes)
        return false;
    const size_t blockSize = size - kOffsetBytes;
    if (data[size - 1] != 0)
        return false;
    uint32_t previous = 0;
    for (int id = 0; id < TEXT_COUNT; id++) {
        const uint32_t offset = ReadU32(data + size_t(id) * 4);
        if (offset >= blockSize || offset < previous)
            return false;
        previous = offset;
    }
    char *copy = new char[blockSize];
    std::memcpy(copy, data + kOffsetBytes, blockSize);
    for (int id = 0; id < TEXT_COUNT; id++)
        texts[id] = copy + ReadU32(data + size_t(id) * 4);
    *block = copy;
    return true;
}

namespace {

// The language files the studio writes out are work files: they go to the user's data folder, not
// among the user's songs.
std::string WrittenLanguagePath(const char *fileName)
{
    const std::string dir = Plat_UserDataDir();
    if (dir.empty() || !fileName)
        return std::string();
    char host[SYS_HOSTPATH_SIZE];
    if (Sys_HostPath((dir + "/" + fileName).c_str(), host, sizeof host) != 0)
        return std::string();
    return host;
}

} // namespace

int Ui_WriteLanguageFile(const char *fileName, const char *const *table)
{
    const std::string path = WrittenLanguagePath(fileName);
    if (path.empty())
        return 1;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const std::vector<uint8_t> bytes = Ui_BuildLanguageFile(table);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return file.flush() ? 0 : 1;
}

int Ui_LoadLanguageFile(const char *fileName)
{
    // The written copy first, then the one in the studio's content.
    std::ifstream file;
    if (const std::string path = WrittenLanguagePath(fileName); !path.empty())
        file.open(path, std::ios::binary);
    if (!file.is_open()) {
        const std::string path = Sys_MakeDataPath(fileName);
        if (path.empty())
            return 1;
        file.open(path, std::ios::binary);
    }
    if (!file.is_open())
        return 1;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    char *block = nullptr;
    const char *texts[TEXT_COUNT];
    if (!Ui_ParseLanguageFile(bytes.data(), bytes.size(), &block, texts))
        return 1;
    Install(block, texts);
    return 0;
}

void Ui_UseBuiltinTexts(int tableIndex)
{
    if (tableIndex < 0 || tableIndex > 4)
        tableIndex = 0;
    const std::vector<uint8_t> bytes = Ui_BuildLanguageFile(g_aapszBuiltinText[tableIndex]);
    char *block = nullptr;
    const char *texts[TEXT_COUNT];
    if (Ui_ParseLanguageFile(bytes.data(), bytes.size(), &block, texts))
        Install(block, texts);
}

int Ui_ReadSelectedLanguage()
{
    const uint8_t language = g_ucLanguage < 5 ? g_ucLanguage : uint8_t(LANGUAGE_ENGLISH);
    if (Ui_LoadLanguageFile(kFileNames[kTableOfLanguage[language]]) == 0)
        return 0;
    // Not readable as a language file (missing, cut short, edited by hand): English, and say so
    // rather than show an empty or garbled interface.
    std::fprintf(stderr, "language: %s is missing or damaged; using English\n",
                 kFileNames[kTableOfLanguage[language]]);
    g_ucLanguage = LANGUAGE_ENGLISH;
    Ui_UseBuiltinTexts(0);
    return 1;
}

int Ui_LoadLanguage()
{
    const uint8_t language = g_ucLanguage < 5 ? g_ucLanguage : uint8_t(LANGUAGE_ENGLISH);
    const int table = kTableOfLanguage[language];
    bool written = true;
    for (int t = 0; t < 5; t++)
        if (Ui_WriteLanguageFile(kFileNames[t], g_aapszBuiltinText[t]) != 0 && t == table)
            written = false;
    if (!written) {
        // A read-only or full folder: an older file there may be stale, so take the texts from
        // the program itself.
        std::fprintf(stderr, "language: cannot write %s; using the built-in texts\n", kFileNames[table]);
        Ui_UseBuiltinTexts(table);
        return 0;
    }
    return Ui_ReadSelectedLanguage();
}

void Ui_SetLanguage()
{
    Seq_PlayInterfaceSound(0);
    Ui_SelectLanguageByName();
    const bool fellBack = Ui_LoadLanguage() != 0;
    std::snprintf(g_szSongTitle, sizeof g_szSongTitle, "%s", "TONNIVELLE file");
    std::snprintf(g_szSongAuthor, sizeof g_szSongAuthor, "%s", "Author");
    if (!g_bNetSession && !g_bNoCd)
        Ui_ShowIntroduction();
    // Last, so the notice sits above the introduction and is answered first.
    if (fellBack) {
        MSGBOXREQUEST req{};
        req.pszText = Ui_Text(TEXT_LANGUAGE_FALLBACK);
        req.ucButtonCount = 1;
        req.asButtonText[0] = 114;
        Ui_OpenMessageBox(&req);
    }
}
