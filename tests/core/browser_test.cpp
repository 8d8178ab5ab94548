#include "core/browser.h"

#include "app/calllog.h"
#include "app/cmdline.h"
#include "audio/mixer.h"
#include "audio/wav.h"
#include "core/archive.h"
#include "core/cardsave.h"
#include "jam/netobjects.h"
#include "render/userimages.h"
#include "sequencer/samples.h"
#include "support/songdata.h"

#include "scratch_dir.h"
#include "support/bmpfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

std::vector<int32_t> g_done;
void Done(int32_t ok)
{
    g_done.push_back(ok);
}

std::string Header()
{
    std::string h(SAVEHEADER_BYTES, '\0');
    h[0] = 'S';
    h[1] = 'C';
    h[2] = 0x11;
    h[3] = 1;
    return h;
}

std::string Cwd()
{
    return fs::current_path().string();
}

// Every test checks that the process's working folder is where it was.
class Browser : public ScratchDir
{
public:
    std::string m_cwd;

    void SetUp() override
    {
        ScratchDir::SetUp();
        m_cwd = Cwd();
        g_szBrowserDir[0] = 0;
        Sys_ClearBrowserEntries();
        g_done.clear();
    }

    void TearDown() override
    {
        EXPECT_EQ(Cwd(), m_cwd);
        Sys_ClearBrowserEntries();
        g_szBrowserDir[0] = 0;
        ScratchDir::TearDown();
    }

    void Dir(const std::string &rel) const { fs::create_directories(Path(rel)); }

    int32_t Row(const std::string &name) const
    {
        for (int32_t i = 0; i < g_iBrowserEntryCount; i++) {
            if (g_aBrowserEntries[i].pszName == name)
                return i;
        }
        return -1;
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> out;
        for (int32_t i = 0; i < g_iBrowserEntryCount; i++)
            out.push_back(g_aBrowserEntries[i].pszName);
        return out;
    }
};

// ---------------------------------------------------------------------------------------------

TEST(BrowserLines, NamesWrapOntoThreeUpperCaseLines)
{
    struct Case
    {
        const char *name;
        uint32_t count;
        const char *lines[3];
    };
    const Case cases[] = {
        {"song.tnv", 1, {"SONG.TNV ", "", ""}},
        {"My Song.tnv", 1, {"MY SONG.TNV ", "", ""}},
        {"a very long song title here.tnv", 3, {"A VERY LONG ", "SONG TITLE ", "HERE.TNV..."}},
        {"one two three four five six seven eight", 3, {"ONE TWO ", "THREE FOUR ", "FIVE SIX..."}},
        // A short third line is padded to 9 after its "...".
        {"twelve chars twelve chars x", 3, {"TWELVE CHARS ", "TWELVE CHARS ", "X ...    "}},
        // Words are never broken: the first stays whole on line 1 whatever its length, a later
        // one that does not fit starts the next line, whole.
        {"abcdefghijklmnopq.wav", 1, {"ABCDEFGHIJKLMNOPQ.WAV", "", ""}},
        {"abcdefghijklmnopqrstuvwxyz0123456789xyz.bmp", 1, {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789XYZ.BMP", "", ""}},
        {"abcdefghijkl x.tnv", 2, {"ABCDEFGHIJKL ", "X.TNV ", ""}},
        {"abcdefghijklm x.tnv", 2, {"ABCDEFGHIJKLM", "X.TNV ", ""}},
        {"my abcdefghijklmnop.wav", 2, {"MY ", "ABCDEFGHIJKLMNOP.WAV", ""}},
        {"my abcdefghijklmnop x y z.wav", 3, {"MY ", "ABCDEFGHIJKLMNOP", "X Y Z.WA..."}},
        {"a  b", 1, {"A B ", "", ""}},
        {"", 0, {"", "", ""}},
    };
    for (const Case &c : cases) {
        char lines[3][BROWSER_LINE_BYTES];
        std::memset(lines, 'x', sizeof lines);
        EXPECT_EQ(Sys_BuildDisplayLines(c.name, lines), c.count) << c.name;
        for (int i = 0; i < 3; i++)
            EXPECT_STREQ(lines[i], c.lines[i]) << c.name << " line " << i;
    }
}

TEST_F(Browser, ListsFoldersAndStudioFilesInNameOrder)
{
    Write("tree/alpha.TNV", std::string(700, 'a'));
    Write("tree/My Song.tnv", "12345");
    Write("tree/beat.wav", std::string(44, 'w'));
    Write("tree/LOOP.PCM", std::string(10, 'p'));
    Write("tree/pic.bmp", "bm");
    Write("tree/notes.txt", "skipped");
    Write("tree/noext", "skipped");
    Write("tree/.hidden.tnv", "skipped");
    Dir("tree/.config");
    Dir("tree/Beta");
    Dir("tree/empty");
    Dir("tree/Zeta folder");
    fs::create_symlink(Path("tree/alpha.TNV"), Path("tree/link.tnv"));
    fs::create_symlink(Path("tree/nowhere"), Path("tree/dangling.tnv"));

    Sys_CallLogEnable(true);
    ASSERT_EQ(Sys_BrowseDirectory(Path("tree").c_str()), 0);
    const std::vector<std::string> log = Sys_CallLogGet();
    Sys_CallLogEnable(false);
    EXPECT_NE(std::find(log.begin(), log.end(), "Ui_MarkBrowserListsDirty"), log.end());
    EXPECT_STREQ(g_szBrowserDir, fs::canonical(Path("tree")).c_str());

    struct Expect
    {
        const char *name;
        uint32_t kind;
        uint32_t type;
        uint32_t size;
        const char *line1;
    };
    const Expect rows[] = {
        {"..", 0, BROWSERTYPE_DOTFOLDER, 0, ".. "},
        {"alpha.TNV", BROWSERKIND_SONG, BROWSERTYPE_FILE, 700, "ALPHA.TNV "},
        {"beat.wav", BROWSERKIND_WAV, BROWSERTYPE_FILE, 44, "BEAT.WAV "},
        {"Beta", 0, BROWSERTYPE_FOLDER, 0, "BETA "},
        {"empty", 0, BROWSERTYPE_FOLDER, 0, "EMPTY "},
        {"link.tnv", BROWSERKIND_SONG, BROWSERTYPE_FILE, 700, "LINK.TNV "},
        {"LOOP.PCM", BROWSERKIND_PCM, BROWSERTYPE_FILE, 10, "LOOP.PCM "},
        {"My Song.tnv", BROWSERKIND_SONG, BROWSERTYPE_FILE, 5, "MY SONG.TNV "},
        {"pic.bmp", BROWSERKIND_BMP, BROWSERTYPE_FILE, 2, "PIC.BMP "},
        {"Zeta folder", 0, BROWSERTYPE_FOLDER, 0, "ZETA FOLDER "},
    };
    ASSERT_EQ(g_iBrowserEntryCount, static_cast<int32_t>(std::size(rows))) << ::testing::PrintToString(Names());
    for (int32_t i = 0; i < g_iBrowserEntryCount; i++) {
        const BROWSERENTRY &r = g_aBrowserEntries[i];
        EXPECT_STREQ(r.pszName, rows[i].name);
        EXPECT_EQ(r.uKind, rows[i].kind) << rows[i].name;
        EXPECT_EQ(r.uEntryType, rows[i].type) << rows[i].name;
        EXPECT_EQ(r.uSize, rows[i].size) << rows[i].name;
        EXPECT_STREQ(r.aszLines[0], rows[i].line1);
        EXPECT_EQ(r.uLineCount, 1u);
    }
    EXPECT_STREQ(g_aBrowserEntries[Row("Zeta folder")].aszLines[0], "ZETA FOLDER ");
}

TEST_F(Browser, MovesThroughFoldersAndSurvivesOnesThatVanish)
{
    Dir("top/empty");
    Dir("top/gone/deeper");
    Write("top/a.tnv", Header() + "x");
    ASSERT_EQ(Sys_BrowseDirectory(Path("top").c_str()), 0);

    // Relative names go from the folder shown, in either separator and any case.
    ASSERT_EQ(Sys_BrowseDirectory("EMPTY"), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{".."});
    ASSERT_EQ(Sys_BrowseDirectory(".."), 0);
    EXPECT_STREQ(g_szBrowserDir, fs::canonical(Path("top")).c_str());
    ASSERT_EQ(Sys_BrowseDirectory("gone\\deeper"), 0);

    // The folder shown disappears: a listing of it is empty, and the next browse lands on the
    // nearest folder still there.
    fs::remove_all(Path("top/gone"));
    EXPECT_EQ(Sys_ListDirectory(), 0);
    EXPECT_EQ(Sys_BrowseDirectory("missing"), -1);
    EXPECT_STREQ(g_szBrowserDir, fs::canonical(Path("top")).c_str());
    EXPECT_NE(Row("a.tnv"), -1);

    // Not folders: a file, a missing name, an unreadable folder, nothing at all.
    EXPECT_EQ(Sys_BrowseDirectory("a.tnv"), -1);
    EXPECT_NE(std::string(g_szErrorText).find("doesn't exist"), std::string::npos);
    EXPECT_EQ(Sys_BrowseDirectory(nullptr), -1);
    EXPECT_EQ(Sys_BrowseDirectory(""), -1);
    Dir("top/locked");
    fs::permissions(Path("top/locked"), fs::perms::none);
    AsUnprivileged([] { EXPECT_EQ(Sys_BrowseDirectory("locked"), -1); });
    EXPECT_NE(std::string(g_szErrorText).find("Access denied"), std::string::npos);
    EXPECT_STREQ(g_szBrowserDir, fs::canonical(Path("top")).c_str());
    fs::permissions(Path("top/locked"), fs::perms::owner_all);

    // A folder whose path does not fit the 260 characters the screens show is not entered.
    std::string deep = "top";
    while (Path(deep).size() < BROWSER_DIR_BYTES + 10)
        deep += "/abcdefghijklmnopqrstuvwxyz";
    Dir(deep);
    EXPECT_EQ(Sys_BrowseDirectory(Path(deep).c_str()), -1);
    EXPECT_STREQ(g_szBrowserDir, fs::canonical(Path("top")).c_str());

    // The root has no "..".
    ASSERT_EQ(Sys_BrowseDirectory("/"), 0);
    EXPECT_STREQ(g_szBrowserDir, "/");
    ASSERT_GT(g_iBrowserEntryCount, 0);
    EXPECT_STRNE(g_aBrowserEntries[0].pszName, "..");
}

TEST_F(Browser, KeepsAtMostATableOfRows)
{
    for (int i = 0; i < BROWSER_ROWS + 6; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "many/f%04d.wav", i);
        Write(name, "");
    }
    ASSERT_EQ(Sys_BrowseDirectory(Path("many").c_str()), 0);
    EXPECT_EQ(g_iBrowserEntryCount, BROWSER_ROWS);
    EXPECT_STREQ(g_aBrowserEntries[BROWSER_ROWS - 1].pszName, "f1022.wav");
    // Clearing releases every text (the sanitizer build checks for leaks).
    Sys_ClearBrowserEntries();
    EXPECT_EQ(g_iBrowserEntryCount, 0);
    EXPECT_EQ(g_aBrowserEntries[5].pszName, nullptr);
}

// ---------------------------------------------------------------------------------------------

TEST_F(Browser, SongFilesLoadFromBehindTheirHeaderWithCheckedSizes)
{
    const std::string data(300, 'D');
    Write("songs/tagged.tnv", "TVPC" + Header() + data);
    Write("songs/plain.tnv", Header() + data);
    Write("songs/bare.tnv", "H2" + data);
    Write("songs/big.tnv", "TVPC" + Header() + std::string(1001, 'B'));
    Write("songs/exact.tnv", "TVPC" + Header() + std::string(1000, 'E'));
    Write("songs/short.tnv", std::string(100, 'S'));
    Write("songs/empty.tnv", "");
    Write("songs/headeronly.tnv", "TVPC" + Header());
    Write("songs/badheader.tnv", "TVPC" + std::string(SAVEHEADER_BYTES, 'Z') + data);
    Write("songs/gone.tnv", Header() + data);
    Dir("songs/folder.tnv");
    ASSERT_EQ(Sys_BrowseDirectory(Path("songs").c_str()), 0);
    fs::remove(Path("songs/gone.tnv"));

    struct Case
    {
        const char *name;
        int32_t ok;
        int32_t tagged;
        std::string data;
        const char *error;
    };
    const Case cases[] = {
        {"tagged.tnv", 1, 1, data, ""},
        {"plain.tnv", 1, 0, data, ""},
        {"bare.tnv", 1, 1, "H2" + data, ""},
        {"exact.tnv", 1, 1, std::string(1000, 'E'), ""},
        {"big.tnv", 0, -1, "", "File too large!"},
        {"short.tnv", 0, -1, "", "Not a song file!"},
        {"empty.tnv", 0, -1, "", "Not a song file!"},
        {"headeronly.tnv", 0, -1, "", "File is empty!"},
        {"badheader.tnv", 0, -1, "", "Not a song file!"},
        {"gone.tnv", 0, -1, "", "File doesn't exist!"},
        {"folder.tnv", 0, -1, "", "Not a file the studio loads!"},
    };
    for (const Case &c : cases) {
        const int32_t row = Row(c.name);
        ASSERT_NE(row, -1) << c.name;
        std::vector<char> buffer(1000, '\x55');
        g_done.clear();
        g_bTaggedSongFile = -1;
        g_szErrorText[0] = 0;
        EXPECT_EQ(Sys_LoadBrowserEntry(buffer.data(), row, Done, buffer.size()), c.ok) << c.name;
        EXPECT_EQ(g_done, std::vector<int32_t>{c.ok}) << c.name;
        EXPECT_EQ(g_bTaggedSongFile, c.tagged) << c.name;
        if (c.ok)
            EXPECT_EQ(std::string(buffer.data(), c.data.size()), c.data) << c.name;
        else {
            EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(1000, '\x55')) << c.name;
            EXPECT_NE(std::string(g_szErrorText).find(c.error), std::string::npos) << c.name << ": " << g_szErrorText;
        }
    }
    // No buffer, a row out of range, no callback.
    EXPECT_EQ(Sys_LoadBrowserEntry(nullptr, Row("tagged.tnv"), nullptr, 1000), 0);
    EXPECT_EQ(Sys_LoadBrowserEntry(nullptr, -1, nullptr, 0), 0);
    EXPECT_EQ(Sys_LoadBrowserEntry(nullptr, g_iBrowserEntryCount, nullptr, 0), 0);
}

TEST_F(Browser, PreviewsReadTheBytesAfterTheHeader)
{
    std::string body(600, '\0');
    for (size_t i = 0; i < body.size(); i++)
        body[i] = static_cast<char>(i * 7);
    Write("p/tagged.tnv", "TVPC" + Header() + body);
    Write("p/small.tnv", Header() + "tiny");
    Write("p/broken.tnv", "TVPC");
    Write("p/gone.tnv", Header() + body);
    Write("p/s.wav", "");
    Write("p/s.bmp", "");
    Dir("p/sub");
    ASSERT_EQ(Sys_BrowseDirectory(Path("p").c_str()), 0);
    fs::remove(Path("p/gone.tnv"));

    std::vector<char> buf(BROWSER_PREVIEW_BYTES, 'q');
    EXPECT_EQ(Sys_ReadSongPreview(buf.data(), Row("tagged.tnv")), 0);
    EXPECT_EQ(std::string(buf.data(), buf.size()), body.substr(0, BROWSER_PREVIEW_BYTES));
    EXPECT_EQ(g_bTaggedSongFile, 1);

    EXPECT_EQ(Sys_ReadSongPreview(buf.data(), Row("small.tnv")), 0);
    EXPECT_EQ(std::string(buf.data(), buf.size()), "tiny" + std::string(BROWSER_PREVIEW_BYTES - 4, '\0'));
    EXPECT_EQ(g_bTaggedSongFile, 0);

    struct Case
    {
        int32_t index;
        int32_t result;
    };
    const Case others[] = {
        {Row("broken.tnv"), 2}, {Row("gone.tnv"), 2}, {Row("s.wav"), BROWSERKIND_WAV},
        {Row("s.bmp"), BROWSERKIND_BMP}, {Row("sub"), 2}, {Row(".."), 2}, {-1, 2}, {BROWSER_ROWS, 2},
    };
    for (const Case &c : others) {
        std::fill(buf.begin(), buf.end(), 'q');
        EXPECT_EQ(Sys_ReadSongPreview(buf.data(), c.index), c.result) << c.index;
        EXPECT_EQ(std::string(buf.data(), buf.size()), std::string(BROWSER_PREVIEW_BYTES, 'q'));
    }
}

class BrowserMedia : public Browser
{
public:
    void SetUp() override
    {
        Browser::SetUp();
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        ClearSongData();
        Gfx_InitUserImages();
    }
    void TearDown() override
    {
        Gfx_FreeUserImages();
        Snd_ShutdownSampleEngine();
        ClearSongData();
        Browser::TearDown();
    }
};

TEST_F(BrowserMedia, SoundsAndPicturesLoadByKind)
{
    Write("m/good.pcm", std::string(2000, '\x10'));
    Write("m/empty.pcm", "");
    Write("m/broken.wav", "RIFF\x04\0\0\0WAVEjunk");
    Write("m/text.wav", "not a sound");
    ASSERT_EQ(Snd_WavOpenWrite(Path("m/good.wav").c_str(), 22050, 1), 0);
    const std::vector<int16_t> samples(300, 1234);
    ASSERT_EQ(Snd_WavWrite(samples.data(), 300), 0);
    ASSERT_EQ(Snd_WavCloseWrite(300), 0);
    BMPFIXTURE eight;
    eight.width = 128;
    eight.height = 64;
    eight.tableEntries = 256;
    const std::vector<uint8_t> pic = MakeBmp(eight);
    Write("m/Good Picture.bmp", std::string(pic.begin(), pic.end()));
    BMPFIXTURE deep = eight;
    deep.bitCount = 24;
    deep.tableEntries = 0;
    const std::vector<uint8_t> pic24 = MakeBmp(deep);
    Write("m/deep.bmp", std::string(pic24.begin(), pic24.end()));
    Write("m/broken.bmp", "BM broken");
    ASSERT_EQ(Sys_BrowseDirectory(Path("m").c_str()), 0);

    struct Case
    {
        const char *name;
        int32_t ok;
    };
    const Case cases[] = {
        {"good.pcm", 1}, {"empty.pcm", 0}, {"good.wav", 1}, {"broken.wav", 0}, {"text.wav", 0},
        {"Good Picture.bmp", 1}, {"deep.bmp", 0}, {"broken.bmp", 0},
    };
    for (const Case &c : cases) {
        g_done.clear();
        g_iBrowserLoadResult = 99;
        EXPECT_EQ(Sys_LoadBrowserEntry(nullptr, Row(c.name), Done, 0), c.ok) << c.name;
        EXPECT_EQ(g_done, std::vector<int32_t>{c.ok}) << c.name;
        if (c.ok && std::strstr(c.name, ".bmp"))
            EXPECT_EQ(g_iBrowserLoadResult, 0) << c.name; // the first picture slot
        else if (c.ok)
            EXPECT_TRUE(g_iBrowserLoadResult >= 1 && g_iBrowserLoadResult <= 200) << g_iBrowserLoadResult;
        else
            EXPECT_EQ(g_iBrowserLoadResult, -1) << c.name;
    }
    EXPECT_NE(std::string(g_szErrorText).find("broken.bmp"), std::string::npos) << g_szErrorText;
    EXPECT_EQ(g_iUserImageCount, 1);
}

TEST_F(BrowserMedia, AFullInstrumentTableIsAFailedLoad)
{
    Write("f/good.pcm", std::string(200, '\x10'));
    ASSERT_EQ(Sys_BrowseDirectory(Path("f").c_str()), 0);
    for (int i = 1; i < SEQ_NO_INSTRUMENT; i++)
        g_aInstrumentSlots[i].ucAllocated = 1;
    g_done.clear();
    EXPECT_EQ(Sys_LoadBrowserEntry(nullptr, Row("good.pcm"), Done, 0), 0);
    EXPECT_EQ(g_done, std::vector<int32_t>{0});
    EXPECT_EQ(g_iBrowserLoadResult, -1);
}

// ---------------------------------------------------------------------------------------------

TEST_F(Browser, DeletesOnlyWhatItIsGiven)
{
    Write("d/keep.tnv", "keep");
    Write("d/bye.tnv", "bye");
    Write("d/target.wav", "target");
    Write("d/full/inner.tnv", "inner");
    Write("d/ro/stay.tnv", "stay");
    Dir("d/hollow");
    fs::create_symlink(Path("d/target.wav"), Path("d/link.wav"));
    ASSERT_EQ(Sys_BrowseDirectory(Path("d").c_str()), 0);

    EXPECT_EQ(Sys_DeleteFile("bye.tnv"), 1);
    EXPECT_FALSE(fs::exists(Path("d/bye.tnv")));
    EXPECT_EQ(Sys_DeleteFile("link.wav"), 1); // the link, not what it points to
    EXPECT_EQ(Read("d/target.wav"), "target");
    EXPECT_EQ(Sys_DeleteFile((std::string(g_szBrowserDir) + "\\KEEP.TNV").c_str()), 1); // any case
    Write("d/keep.tnv", "keep");

    struct Case
    {
        const char *path;
        const char *error;
    };
    const Case refused[] = {{"missing.tnv", "doesn't exist"}, {"full", "Not a file"}, {"", "doesn't exist"}};
    for (const Case &c : refused) {
        EXPECT_EQ(Sys_DeleteFile(c.path), 0) << c.path;
        EXPECT_NE(std::string(g_szErrorText).find(c.error), std::string::npos) << c.path << ": " << g_szErrorText;
    }
    EXPECT_EQ(Sys_DeleteFile(nullptr), 0);
    fs::permissions(Path("d/ro"), fs::perms(0555));
    AsUnprivileged([] { EXPECT_EQ(Sys_DeleteFile("ro/stay.tnv"), 0); });
    EXPECT_NE(std::string(g_szErrorText).find("Access denied"), std::string::npos) << g_szErrorText;

    // Folders: only an empty one goes.
    EXPECT_EQ(Sys_RemoveDirectory("hollow"), 0);
    EXPECT_FALSE(fs::exists(Path("d/hollow")));
    const Case notRemoved[] = {{"full", "not empty"}, {"keep.tnv", ""}, {"missing", "doesn't exist"}};
    for (const Case &c : notRemoved) {
        EXPECT_EQ(Sys_RemoveDirectory(c.path), -1) << c.path;
        EXPECT_NE(std::string(g_szErrorText).find(c.error), std::string::npos) << c.path << ": " << g_szErrorText;
    }
    Dir("d/ro/sub");
    fs::permissions(Path("d/ro"), fs::perms(0555));
    AsUnprivileged([] { EXPECT_EQ(Sys_RemoveDirectory("ro/sub"), -1); });
    fs::permissions(Path("d/ro"), fs::perms::owner_all);

    EXPECT_EQ(Read("d/keep.tnv"), "keep");
    EXPECT_EQ(Read("d/target.wav"), "target");
    EXPECT_EQ(Read("d/full/inner.tnv"), "inner");
    EXPECT_EQ(Read("d/ro/stay.tnv"), "stay");
    EXPECT_TRUE(fs::is_directory(Path("d/ro/sub")));
}

TEST_F(Browser, NewFoldersAndPathsFromTheFolderShown)
{
    Write("n/My Song.tnv", "x");
    ASSERT_EQ(Sys_BrowseDirectory(Path("n").c_str()), 0);

    ASSERT_EQ(Sys_CreateDirectory("New Folder"), 0);
    EXPECT_TRUE(fs::is_directory(Path("n/New Folder")));
    EXPECT_FALSE(fs::exists(fs::path(m_cwd) / "New Folder"));
    EXPECT_EQ(Sys_CreateDirectory("New Folder"), -1);
    EXPECT_NE(std::string(g_szErrorText).find("already taken"), std::string::npos);
    EXPECT_EQ(Sys_CreateDirectory("My Song.tnv"), -1);
    EXPECT_EQ(Read("n/My Song.tnv"), "x");
    EXPECT_EQ(Sys_CreateDirectory("no/such/parent"), -1);
    EXPECT_EQ(Sys_CreateDirectory(nullptr), -1);
    fs::permissions(Path("n"), fs::perms(0555));
    AsUnprivileged([] { EXPECT_EQ(Sys_CreateDirectory("Denied"), -1); });
    fs::permissions(Path("n"), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(Path("n/Denied")));

    ASSERT_EQ(Sys_BrowseDirectory("New Folder"), 0);
    EXPECT_EQ(g_iBrowserEntryCount, 1);

    struct Case
    {
        std::string path;
        int32_t exists;
    };
    const Case cases[] = {
        {"..\\My Song.tnv", 1}, {"../MY SONG.TNV", 1}, {Path("n/My Song.tnv"), 1}, {"..", 1},
        {"../none.tnv", 0}, {"", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Sys_PathExists(c.path.c_str()), c.exists) << c.path;
    EXPECT_EQ(Sys_PathExists(nullptr), 0);
}

TEST_F(Browser, SongLoadsFindTheirFileAfterATemplateScan)
{
    Write("Templates/one.jam", "tmpl");
    Write("u/song.tnv", Header() + "songdata");
    Write("Templates/song.tnv", Header() + "wrong");
    ASSERT_EQ(Sys_BrowseDirectory(Path("u").c_str()), 0);
    char table[4][JAMTEMPLATE_NAME_BYTES];
    ASSERT_EQ(Sys_ScanJamTemplates(table, 4), 1);
    char buffer[64] = {};
    ASSERT_EQ(Sys_LoadBrowserEntry(buffer, Row("song.tnv"), nullptr, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "songdata");
}

// ---------------------------------------------------------------------------------------------

class Templates : public Browser
{
public:
    int m_savedLimit = 0;
    void SetUp() override
    {
        Browser::SetUp();
        m_savedLimit = g_iMaxTemplateSize;
        g_iMaxTemplateSize = 100;
        g_bJamSinglePlayer = 0;
        std::memset(g_abWadEntryEmpty, 7, sizeof g_abWadEntryEmpty);
    }
    void TearDown() override
    {
        g_iMaxTemplateSize = m_savedLimit;
        g_bJamSinglePlayer = 0;
        std::memset(g_abWadEntryEmpty, 0, sizeof g_abWadEntryEmpty);
        Browser::TearDown();
    }
};

TEST_F(Templates, JamFilesInAnyCaseAreListedAndFlaggedBySize)
{
    Write("templates/Groove.jam", std::string(100, 'g'));
    Write("templates/CHILL.JAM", std::string(101, 'c'));
    Write("templates/mixed.Jam", "m");
    Write("templates/averyveryverylongtemplatename.jam", std::string(500, 'l'));
    Write("templates/notes.txt", "");
    Write("templates/jam", "");
    Write("templates/.hidden.jam", "");
    Dir("templates/folder.jam");

    char table[8][JAMTEMPLATE_NAME_BYTES];
    std::memset(table, 'x', sizeof table);
    ASSERT_EQ(Sys_ScanJamTemplates(table, 8), 4);
    EXPECT_EQ(g_iJamTemplateCount, 4);
    const char *names[] = {"averyveryverylongte", "CHILL", "Groove", "mixed"};
    const uint8_t large[] = {1, 1, 0, 0};
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(table[i], names[i]);
        EXPECT_EQ(g_abWadEntryEmpty[i], large[i]) << names[i];
    }
    EXPECT_EQ(table[4][0], 'x');
    EXPECT_EQ(g_abWadEntryEmpty[4], 7);

    // A single-player jam takes any size.
    g_bJamSinglePlayer = 1;
    ASSERT_EQ(Sys_ScanJamTemplates(table, 8), 4);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(g_abWadEntryEmpty[i], 0) << names[i];

    // A second scan counts afresh; a short table takes what fits.
    ASSERT_EQ(Sys_ScanJamTemplates(table, 2), 2);
    EXPECT_EQ(g_iJamTemplateCount, 2);
    EXPECT_EQ(Sys_ScanJamTemplates(nullptr, 8), 0);
    EXPECT_EQ(Sys_ScanJamTemplates(table, 0), 0);
}

TEST_F(Templates, UnreadableTemplatesKeepTheirFlagAndNoFolderMeansNone)
{
    char table[4][JAMTEMPLATE_NAME_BYTES];
    EXPECT_EQ(Sys_ScanJamTemplates(table, 4), 0);

    Write("Templates/big.jam", std::string(200, 'b'));
    Write("Templates/locked.jam", std::string(200, 'b'));
    fs::permissions(Path("Templates/locked.jam"), fs::perms::none);
    g_abWadEntryEmpty[1] = 0;
    AsUnprivileged([&] { EXPECT_EQ(Sys_ScanJamTemplates(table, 4), 2); });
    EXPECT_STREQ(table[1], "locked");
    EXPECT_EQ(g_abWadEntryEmpty[0], 1);
    EXPECT_EQ(g_abWadEntryEmpty[1], 0);
}

// ---------------------------------------------------------------------------------------------

TEST(BrowserLayout, StartUpSetsTheGridAndPanels)
{
    Sys_SetGridLayout();
    const int32_t values[] = {g_iGridRows,        g_iGridColumns,     g_iGridCellWidth,  g_iGridCellHeight,
                              g_iGridPanelX,      g_iGridPanelY,      g_iGridPanelWidth, g_iGridPanelHeight,
                              g_iVideoPanelX,     g_iVideoPanelY,     g_iVideoPanelWidth, g_iVideoPanelHeight,
                              g_iGridBorder,      g_iGridTop,         g_iGridLeft,       g_aiGridLayoutMisc[0],
                              g_aiGridLayoutMisc[1], g_aiGridLayoutMisc[2], g_aiGridLayoutMisc[3]};
    const int32_t expect[] = {17, 23, 24, 24, 8, 74, 624, 424, 7, 6, 200, 170, 4, 8, 56, 50, 50, 260, 240};
    for (size_t i = 0; i < std::size(expect); i++)
        EXPECT_EQ(values[i], expect[i]) << i;
}

} // namespace
