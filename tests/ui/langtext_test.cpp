// Language files: exact bytes, the reader's checks, selection by name, start-up writing and the
// fallbacks, and that every text id the code uses has an English text.
#include "ui/langtext.h"

#include "app/calllog.h"
#include "app/cmdline.h"
#include "app/settings.h"
#include "editors/filescreen.h"
#include "tools/langsource.h"
#include "ui/menupages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace {

std::vector<uint8_t> ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t U32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

class LanguageFolder : public ::testing::Test
{
protected:
    std::string m_dir;
    char m_savedBase[256];
    char m_savedData[256];
    char m_savedLanguage[256];
    std::string m_savedXdg;
    bool m_hadXdg = false;

    void SetUp() override
    {
        char tmpl[] = "/tmp/tnv_lang_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        std::memcpy(m_savedBase, g_szBaseDir, sizeof m_savedBase);
        std::memcpy(m_savedLanguage, g_szLanguage, sizeof m_savedLanguage);
        std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s/", m_dir.c_str());
        // The written files go to the user's data folder; the content's copies stay in DataDir.
        std::memcpy(m_savedData, g_szDataDir, sizeof m_savedData);
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/content/", m_dir.c_str());
        if (const char *x = getenv("XDG_DATA_HOME")) {
            m_hadXdg = true;
            m_savedXdg = x;
        }
        setenv("XDG_DATA_HOME", m_dir.c_str(), 1);
    }
    void TearDown() override
    {
        std::memcpy(g_szBaseDir, m_savedBase, sizeof m_savedBase);
        std::memcpy(g_szDataDir, m_savedData, sizeof m_savedData);
        if (m_hadXdg)
            setenv("XDG_DATA_HOME", m_savedXdg.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        std::memcpy(g_szLanguage, m_savedLanguage, sizeof m_savedLanguage);
        g_ucLanguage = LANGUAGE_ENGLISH;
        Ui_UseBuiltinTexts(0);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string File(const char *name) const { return m_dir + "/tonnivelle/language/" + name; }
    std::string ContentFile(const char *name) const { return m_dir + "/content/language/" + name; }
};

} // namespace

TEST(LanguageFile, EmptyTableIsOffsetsThenNuls)
{
    const char *table[TEXT_COUNT] = {};
    const std::vector<uint8_t> bytes = Ui_BuildLanguageFile(table);
    ASSERT_EQ(bytes.size(), 3500u);
    for (uint32_t id = 0; id < 700; id++)
        ASSERT_EQ(U32(bytes, id * 4), id);
    for (size_t i = 2800; i < 3500; i++)
        ASSERT_EQ(bytes[i], 0);
}

TEST(LanguageFile, KnownTextsGiveExactBytes)
{
    const char *table[TEXT_COUNT] = {};
    table[0] = "Ab";
    table[1] = "\xE9t\xE9"; // "été" in the code page
    table[TEXT_EMPTY] = "";
    table[699] = "Z";
    const std::vector<uint8_t> bytes = Ui_BuildLanguageFile(table);
    EXPECT_EQ(U32(bytes, 0), 0u);
    EXPECT_EQ(U32(bytes, 4), 3u);
    EXPECT_EQ(U32(bytes, 8), 7u);          // "été" + NUL
    EXPECT_EQ(U32(bytes, 699 * 4), 704u);  // 3 + 4 + 697 empty texts
    const std::vector<uint8_t> block(bytes.begin() + 2800, bytes.end());
    const std::vector<uint8_t> head = {'A', 'b', 0, 0xE9, 't', 0xE9, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 8), head);
    EXPECT_EQ(block.size(), 706u);
    EXPECT_EQ(block[704], 'Z');
    EXPECT_EQ(block[705], 0);
}

TEST(LanguageFile, EveryBuiltinTableSurvivesWriteAndRead)
{
    for (int t = 0; t < 5; t++) {
        const std::vector<uint8_t> bytes = Ui_BuildLanguageFile(g_aapszBuiltinText[t]);
        char *block = nullptr;
        const char *texts[TEXT_COUNT];
        ASSERT_TRUE(Ui_ParseLanguageFile(bytes.data(), bytes.size(), &block, texts)) << t;
        for (int id = 0; id < TEXT_COUNT; id++)
            ASSERT_STREQ(texts[id], g_aapszBuiltinText[t][id]) << "table " << t << " id " << id;
        EXPECT_STREQ(texts[TEXT_EMPTY], "");
        delete[] block;
    }
}

TEST(LanguageFile, ReaderRejectsDamagedFiles)
{
    const char *table[TEXT_COUNT] = {};
    table[5] = "Hello";
    const std::vector<uint8_t> good = Ui_BuildLanguageFile(table);
    struct Case
    {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"offsets only", std::vector<uint8_t>(good.begin(), good.begin() + 2800)});
    cases.push_back({"cut in the offsets", std::vector<uint8_t>(good.begin(), good.begin() + 1000)});
    cases.push_back({"cut in the texts", std::vector<uint8_t>(good.begin(), good.end() - 300)});
    std::vector<uint8_t> b = good;
    b.at(b.size() - 1) = 'x'; // at(): the compiler cannot tell the file is never empty
    cases.push_back({"last text unterminated", b});
    b = good;
    b[10 * 4 + 3] = 0x7F; // offset of text 10 far past the block
    cases.push_back({"offset outside", b});
    b = good;
    b[20 * 4] = 0; // text 20 before text 19
    b[20 * 4 + 1] = 0;
    cases.push_back({"offsets descending", b});
    for (const Case &c : cases) {
        char *block = nullptr;
        const char *texts[TEXT_COUNT];
        EXPECT_FALSE(Ui_ParseLanguageFile(c.bytes.data(), c.bytes.size(), &block, texts)) << c.what;
        EXPECT_EQ(block, nullptr) << c.what;
    }
}

TEST(LanguageFile, SelectionByExactName)
{
    const struct
    {
        const char *name;
        uint8_t language;
    } cases[] = {{"ENGLISH", 0}, {"FRANCAIS", 1}, {"DEUTSCH", 2}, {"ESPANOL", 3}, {"ITALIANO", 4},
                 {"deutsch", 0}, {"GERMAN", 0},   {"", 0},        {"DEUTSCHX", 0}};
    char saved[256];
    std::memcpy(saved, g_szLanguage, sizeof saved);
    for (const auto &c : cases) {
        g_ucLanguage = 9;
        std::snprintf(g_szLanguage, sizeof g_szLanguage, "%s", c.name);
        Ui_SelectLanguageByName();
        EXPECT_EQ(g_ucLanguage, c.language) << c.name;
    }
    std::memcpy(g_szLanguage, saved, sizeof saved);
}

TEST_F(LanguageFolder, StartWritesAllFiveAndLoadsGerman)
{
    std::snprintf(g_szLanguage, sizeof g_szLanguage, "DEUTSCH");
    Ui_SelectLanguageByName();
    ASSERT_EQ(Ui_LoadLanguage(), 0);
    EXPECT_EQ(g_ucLanguage, LANGUAGE_DEUTSCH);
    const char *names[5] = {"english.txt", "french.txt", "italian.txt", "spanish.txt", "german.txt"};
    for (int t = 0; t < 5; t++)
        EXPECT_EQ(ReadBytes(File(names[t])), Ui_BuildLanguageFile(g_aapszBuiltinText[t])) << names[t];
    EXPECT_STREQ(Ui_Text(1), "Hilfe");
    EXPECT_STREQ(Ui_Text(112), "Abbrechen");
    // A text the translation lacks is the English one, never empty.
    EXPECT_STREQ(Ui_Text(695), g_aapszBuiltinText[0][695]);
    EXPECT_NE(g_pLanguageBlock, nullptr);
}

TEST_F(LanguageFolder, TruncatedOrMissingFileFallsBackToEnglish)
{
    std::snprintf(g_szLanguage, sizeof g_szLanguage, "DEUTSCH");
    Ui_SelectLanguageByName();
    ASSERT_EQ(Ui_LoadLanguage(), 0);
    std::filesystem::resize_file(File("german.txt"), 3000);
    g_ucLanguage = LANGUAGE_DEUTSCH;
    EXPECT_EQ(Ui_ReadSelectedLanguage(), 1);
    EXPECT_EQ(g_ucLanguage, LANGUAGE_ENGLISH);
    EXPECT_STREQ(Ui_Text(1), "Help");
    EXPECT_STRNE(Ui_Text(TEXT_LANGUAGE_FALLBACK), "");

    // A missing written copy is read from the studio's content; missing there too, English.
    std::filesystem::create_directories(m_dir + "/content/language");
    std::filesystem::copy_file(File("french.txt"), ContentFile("french.txt"));
    std::filesystem::remove(File("french.txt"));
    g_ucLanguage = LANGUAGE_FRANCAIS;
    EXPECT_EQ(Ui_ReadSelectedLanguage(), 0);
    EXPECT_STREQ(Ui_Text(112), g_aapszBuiltinText[1][112]);
    std::filesystem::remove(ContentFile("french.txt"));
    EXPECT_EQ(Ui_ReadSelectedLanguage(), 1);
    EXPECT_STREQ(Ui_Text(112), "Cancel");
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/language")) << "nothing among the user's songs";
}

TEST_F(LanguageFolder, UnwritableFolderUsesBuiltinTextsOfTheLanguage)
{
    // A plain file where the folder should be: nothing can be written, not even as root.
    std::filesystem::create_directories(m_dir + "/tonnivelle");
    std::ofstream(m_dir + "/tonnivelle/language") << "x";
    // A stale file elsewhere must not matter; the selected language still shows.
    std::snprintf(g_szLanguage, sizeof g_szLanguage, "ITALIANO");
    Ui_SelectLanguageByName();
    EXPECT_EQ(Ui_LoadLanguage(), 0);
    EXPECT_EQ(g_ucLanguage, LANGUAGE_ITALIANO);
    EXPECT_STREQ(Ui_Text(1), "Aiuto");
}

TEST(LanguageFile, UnknownIdsGiveEmptyText)
{
    for (int id : {-1, 700, 100000})
        EXPECT_STREQ(Ui_Text(id), "") << id;
}

// Every text id the code names must have an English text: ids are found as g_apszText[N],
// Ui_Text(N), kText... = N, text-id arguments paired with their English wording, and the tables
// of text ids the interface keeps.
TEST(LanguageFile, EveryTextIdUsedInTheCodeHasEnglish)
{
    namespace fs = std::filesystem;
    const std::regex patterns[] = {
        std::regex(R"(g_apszText\[\s*(\d+)\s*\])"),
        std::regex(R"(Ui_Text\(\s*(\d+)\s*\))"),
        std::regex(R"(\bkText\w*\s*=\s*(\d+))"),
        std::regex(R"(\b(?:Gain|Text)\(\s*(\d+),\s*\")"),         // (id, "English") calls
        std::regex(R"(\bNamed\([^;]*?,\s*(\d{3}),\s*\")"),
        std::regex(R"(Prefix\((?:[^()]*\?\s*)?(\d+))"),
        std::regex(R"(Prefix\([^()]*:\s*(\d+))"),
    };
    std::set<int> ids;
    int files = 0;
    for (const char *dir : {"app", "audio", "core", "editors", "jam", "platform", "render", "sequencer", "ui",
                            "video"}) {
        const fs::path root = fs::path(TNV_TEST_SOURCE_DIR) / dir;
        if (!fs::exists(root))
            continue;
        for (const auto &entry : fs::recursive_directory_iterator(root)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h" && ext != ".def")
                continue;
            files++;
            std::ifstream in(entry.path());
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // The effect table's rows are {text id, "English", ...}; elsewhere such pairs are
            // pictures and names.
            static const std::regex effectRows(R"(\{\s*(\d{3}),\s*\"[A-Za-z])");
            std::vector<const std::regex *> use;
            for (const std::regex &re : patterns)
                use.push_back(&re);
            if (entry.path().filename() == "effects.cpp")
                use.push_back(&effectRows);
            // The interface's own TEXT_ constants (the video engine has TEXT_ sizes of its own).
            static const std::regex uiTextIds(R"(\bTEXT_\w+\s*=\s*(\d+))");
            if (std::string(dir) == "ui")
                use.push_back(&uiTextIds);
            for (const std::regex *re : use)
                for (auto it = std::sregex_iterator(text.begin(), text.end(), *re); it != std::sregex_iterator();
                     ++it) {
                    const int id = std::atoi((*it)[1].str().c_str());
                    if (id >= 0 && id < TEXT_COUNT)
                        ids.insert(id);
                }
        }
    }
    ASSERT_GT(files, 50);
    // Known users of texts must have been found, or the scan is broken.
    for (int known : {348, 454, 318, 213, 512, 546})
        EXPECT_TRUE(ids.count(known)) << known;
    for (int id : ids) {
        if (id == TEXT_EMPTY)
            continue;
        EXPECT_STRNE(g_aapszBuiltinText[0][id], "") << "text id " << id << " has no English text";
    }
}

// The sources under data/lang: UTF-8 that fits the code page, ids in range and once each, and
// id 666 empty in every language.
TEST(LanguageSource, ProjectSourcesParse)
{
    for (const char *name : g_apszLangSourceNames) {
        const std::string path = std::string(TNV_TEST_SOURCE_DIR) + "/data/lang/" + name + ".txt";
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << path;
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> texts;
        std::vector<bool> present;
        std::string err;
        ASSERT_TRUE(Lang_ParseSource(text, texts, present, err)) << name << ": " << err;
        EXPECT_EQ(texts[TEXT_EMPTY], "") << name;
    }
}

TEST(LanguageSource, Utf8ToCodePage)
{
    const struct
    {
        const char *utf8;
        const char *cp1252; // null: must be refused
    } cases[] = {
        {"abc", "abc"},
        {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},     // été
        {"\xE2\x82\xAC", "\x80"},               // euro sign
        {"\xE2\x84\xA2", "\x99"},               // trade-mark sign
        {"\xC3\x9F", "\xDF"},                   // sharp s
        {"\xC4\x80", nullptr},                  // A with macron: not in the code page
        {"\xE4\xB8\xAD", nullptr},              // CJK
        {"\xC3", nullptr},                      // cut short
        {"\xA9", nullptr},                      // stray continuation byte
        {"\xC3\x28", nullptr},                  // bad continuation
    };
    for (const auto &c : cases) {
        std::string out, err;
        const bool ok = Lang_Utf8ToCp1252(c.utf8, out, err);
        if (c.cp1252) {
            EXPECT_TRUE(ok) << c.utf8;
            EXPECT_EQ(out, c.cp1252);
        } else {
            EXPECT_FALSE(ok) << c.utf8;
            EXPECT_FALSE(err.empty());
        }
    }
}

TEST(LanguageSource, MalformedSourcesAreRefusedWithTheLine)
{
    const struct
    {
        const char *source;
        const char *errorPart;
    } cases[] = {
        {"1\tHelp\n1\tHelp again\n", "line 2"},
        {"700\tToo far\n", "700"},
        {"12 Help\n", "line 1"},
        {"# note\n\nx1\tHelp\n", "line 3"},
        {"5\t\xC4\x80\n", "line 1"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> texts;
        std::vector<bool> present;
        std::string err;
        EXPECT_FALSE(Lang_ParseSource(c.source, texts, present, err)) << c.source;
        EXPECT_NE(err.find(c.errorPart), std::string::npos) << err;
    }
    std::vector<std::string> texts;
    std::vector<bool> present;
    std::string err;
    ASSERT_TRUE(Lang_ParseSource("# c\r\n3\tTwo\\nlines\r\n666\t\n", texts, present, err)) << err;
    EXPECT_EQ(texts[3], "Two\nlines");
    EXPECT_TRUE(present[666]);
    EXPECT_FALSE(present[4]);
}

// The whole start-up step with "DEUTSCH": the menus read German.
TEST_F(LanguageFolder, DeutschSettingGivesGermanMenus)
{
    std::snprintf(g_szLanguage, sizeof g_szLanguage, "DEUTSCH");
    Ui_SetLanguage();
    EXPECT_EQ(g_ucLanguage, LANGUAGE_DEUTSCH);
    Ui_SetMenuPage(0);
    char row[64];
    Ui_PageMenuRowText(1, row, sizeof row);
    EXPECT_STREQ(row, "Riff einf\xFCgen");
    EXPECT_STREQ(Ui_Text(g_atMenuPageTable[0].title), "Song-Spur");
    EXPECT_STREQ(Ui_Text(632), "Beitritts-Optionen");
}

// The set-up also gives the new song its default title and author, and shows the introduction
// unless the studio was started for a network session or without the CD.
TEST_F(LanguageFolder, SetUpNamesTheNewSongAndShowsTheIntroduction)
{
    struct
    {
        int netSession, noCd;
        int introductions;
    } cases[] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    Sys_CallLogEnable(true);
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.netSession << "/" << c.noCd);
        Sys_CallLogClear();
        g_bNetSession = c.netSession;
        g_bNoCd = c.noCd;
        std::snprintf(g_szSongTitle, sizeof g_szSongTitle, "My tune");
        std::snprintf(g_szSongAuthor, sizeof g_szSongAuthor, "Me");
        std::snprintf(g_szLanguage, sizeof g_szLanguage, "ITALIANO");
        Ui_SetLanguage();
        EXPECT_STREQ(g_szSongTitle, "TONNIVELLE file");
        EXPECT_STREQ(g_szSongAuthor, "Author");
        const auto &log = Sys_CallLogGet();
        EXPECT_EQ(std::count(log.begin(), log.end(), std::string("Ui_ShowIntroduction")), c.introductions);
    }
    g_bNetSession = g_bNoCd = 0;
    Sys_CallLogEnable(false);
}
