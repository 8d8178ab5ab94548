// The file screen's arithmetic and names: save names that cannot leave the folder, titles cut to
// fit, the list's scroll range and its click map, and the moves between the buttons.
#include "core/browser.h"
#include "editors/filescreen.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace
{

TEST(FileScreenNames, SaveNamesStayInsideTheFolder)
{
    struct Case
    {
        const char *title;
        const char *name;
    };
    const Case cases[] = {
        {"Test", "Test"},
        {"", "TONNIVELLE file"},
        {nullptr, "TONNIVELLE file"},
        {"Test.tnv", "Test"}, // a title taken from a listed song file
        {"Mix.TNV", "Mix"},
        {"a.tnv.tnv", "a.tnv"},
        {"../../etc/passwd", ".._.._etc_passwd"},
        {"..\\up", ".._up"},
        {"..", "_.."},
        {".", "_."},
        {"tab\there", "tab_here"},
        {"0123456789012345678901234567890123456789", "01234567890123456789012345678901"},
    };
    for (const Case &c : cases) {
        const std::string got = Ed_SafeFileTitle(c.title);
        EXPECT_EQ(got, c.name) << (c.title ? c.title : "(null)");
        EXPECT_EQ(got.find('/'), std::string::npos);
        EXPECT_EQ(got.find('\\'), std::string::npos);
        EXPECT_LE(got.size(), 32u);
    }
}

TEST(FileScreenNames, ListedNamesAreCutToTheTitle)
{
    char title[ED_SONG_NAME];
    std::memset(title, 'x', sizeof title);
    const std::string longName(255, 'n');
    Ed_CopyTitle(title, longName.c_str());
    EXPECT_EQ(std::strlen(title), 32u) << "a 255-character name never runs past the title";
    Ed_CopyTitle(title, "Song.tnv");
    EXPECT_STREQ(title, "Song.tnv");
    Ed_CopyTitle(title, nullptr);
    EXPECT_STREQ(title, "");
}

TEST(FileScreenNames, PathsJoinTheFolderShownAndRefuseWhatDoesNotFit)
{
    const char *saved = "/tmp/songs";
    std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s", saved);
    EXPECT_EQ(Ed_BrowserPath("Test.tnv"), "/tmp/songs/Test.tnv");
    std::snprintf(g_szBrowserDir, sizeof g_szBrowserDir, "%s", "/tmp/songs/");
    EXPECT_EQ(Ed_BrowserPath("Test.tnv"), "/tmp/songs/Test.tnv");
    EXPECT_EQ(Ed_BrowserPath(""), "");
    EXPECT_EQ(Ed_BrowserPath(std::string(400, 'a')), "") << "too long for a path the browser keeps";
    g_szBrowserDir[0] = 0;
}

TEST(FileScreenList, ScrollRangeByEntryCount)
{
    // Three rows of four show at once; the bar counts rows beyond those.
    const int cases[][2] = {{0, 0}, {1, 0}, {4, 0}, {5, 0}, {12, 0}, {13, 1}, {16, 1}, {17, 2}, {1024, 253}};
    for (const auto &c : cases)
        EXPECT_EQ(Ed_FileListScrollMax(c[0]), c[1]) << c[0] << " entries";
}

TEST(FileScreenList, ClicksFindTheCellUnderThePointer)
{
    g_iFileListFirst = 8;
    struct Case
    {
        int x, y, entry;
    };
    const Case cases[] = {
        {10, 26, 8},    {93, 26, 8},    {94, 26, 9},   {345, 26, 11}, {10, 76, 12}, {345, 175, 19},
        {346, 100, -1}, // the scroll bar, not a fifth column
        {9, 30, -1},    {100, 25, -1},  {100, 176, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Ed_FileListEntryAt(c.x, c.y), c.entry) << c.x << "," << c.y;
    g_iFileListFirst = 0;
}

TEST(FileScreenFields, PadMovesFollowTheNeighbourTable)
{
    // From a field, each direction: where it goes (255: stays).
    struct Case
    {
        uint8_t from;
        void (*move)();
        uint8_t to;
    };
    const Case cases[] = {
        {2, Ed_FileFieldRight, 3}, {3, Ed_FileFieldRight, 4}, {6, Ed_FileFieldRight, 6},
        {3, Ed_FileFieldLeft, 2},  {2, Ed_FileFieldLeft, 2},  {2, Ed_FileFieldUp, 7},
        {6, Ed_FileFieldUp, 2},    {1, Ed_FileFieldDown, 2},  {2, Ed_FileFieldDown, 2},
        {0, Ed_FileFieldLeft, 7},  {0, Ed_FileFieldDown, 0},
    };
    for (const Case &c : cases) {
        g_ucFileBrowserField = c.from;
        c.move();
        EXPECT_EQ(g_ucFileBrowserField, c.to) << int(c.from);
    }
    // No button leads to "Create New Folder" or "Save as '.WAV' File" by the pad.
    for (int k = 2; k < ED_FILE_FIELDS; k++) {
        const FILEFIELD &f = g_atFileFields[k];
        for (uint8_t n : {f.up, f.down, f.left, f.right}) {
            EXPECT_GT(n, 1) << "field " << k;
        }
    }
    g_ucFileBrowserField = 2;
}

TEST(FileScreenFields, ListMovesStayInsideARowOfFour)
{
    g_iBrowserEntryCount = 6;
    g_ucFileBrowserField = ED_FILE_LIST_FIELD;
    g_iFileListFirst = 0;
    g_iFileListSel = 0;
    Ed_FileFieldLeft();
    EXPECT_EQ(g_iFileListSel, 0) << "the first of its row";
    for (int k = 0; k < 5; k++)
        Ed_FileFieldRight();
    EXPECT_EQ(g_iFileListSel, 3) << "the last of its row";
    Ed_FileFieldDown();
    EXPECT_EQ(g_iFileListSel, 3) << "no entry below: stays";
    g_iFileListSel = 4;
    Ed_FileFieldRight();
    Ed_FileFieldRight();
    EXPECT_EQ(g_iFileListSel, 5) << "the last entry";
    Ed_FileFieldUp();
    EXPECT_EQ(g_iFileListSel, 1);
    g_iBrowserEntryCount = 0;
    g_iFileListSel = 0;
    g_ucFileBrowserField = 2;
}

// A folder listed again from elsewhere (the table is filled under the screen) with fewer entries:
// the screen's next frame brings the choice and the first row shown back inside the listing.
TEST(FileScreenList, ANewListingKeepsTheChoiceInsideIt)
{
    namespace fs = std::filesystem;
    const fs::path cwd = fs::current_path();
    TempDir dir;
    for (int i = 0; i < 14; i++)
        WriteTextFile(dir.File("song" + std::to_string(i) + ".tnv"), "x");
    ASSERT_EQ(Sys_BrowseDirectory(dir.Path().c_str()), 0);
    Ed_FileBrowserFrame();
    ASSERT_GE(g_iBrowserEntryCount, 14);
    g_iFileListSel = 13;
    g_iFileListFirst = 4;
    Ed_FileBrowserFrame();
    EXPECT_EQ(g_iFileListSel, 13) << "a listing that still holds the choice keeps it";
    EXPECT_EQ(g_iFileListFirst, 4);
    for (int i = 2; i < 14; i++)
        fs::remove(dir.File("song" + std::to_string(i) + ".tnv"));
    ASSERT_EQ(Sys_BrowseDirectory(dir.Path().c_str()), 0);
    const int32_t count = g_iBrowserEntryCount;
    ASSERT_LT(count, 5);
    Ed_FileBrowserFrame();
    EXPECT_EQ(g_iFileListSel, count - 1);
    EXPECT_EQ(g_iFileListFirst, 0);
    fs::current_path(cwd);
    g_iBrowserEntryCount = 0;
    g_iFileListSel = 0;
    g_iFileListFirst = 0;
}

} // namespace
