// The file screen driven as a musician drives it, through the studio's own loop and input
// scripts, headless, with the user's folder in a temporary folder: save the song, save it again
// over itself (and cancel), load it back, refuse a damaged copy, and mix it down to WAV.
#include "app/spine_fixture.h"

#include "core/browser.h"
#include "editors/filescreen.h"
#include "editors/topbar.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "video/clips.h"
#include "sequencer/songmodel.h"
#include "support/studioprocess.h"
#include "ui/busybox.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/menupages.h"
#include "ui/view.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/textentry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace
{

namespace fs = std::filesystem;

// The file screen's window sits at the screen's centre: (139, 107) on the 640 x 480 screen.
constexpr int kWinX = 320 - 181, kWinY = 240 - 133;
// The "Okay" of a one-line result message, centred on the screen.
constexpr int kOkayX = 320, kOkayY = 214;

// Builds an input script: clicks at screen positions (the pointer starts at the centre and moves
// by differences), keys and text, each a few frames apart.
struct Script
{
    std::vector<std::string> lines;
    int frame = 5;

    Script &Key(const std::string &key, int wait = 4)
    {
        lines.push_back(std::to_string(frame) + " keydown " + key);
        lines.push_back(std::to_string(frame + 1) + " keyup " + key);
        frame += wait;
        return *this;
    }
    // The pointer goes to the corner first (it stops there), then to the place.
    Script &Click(int toX, int toY, int wait = 6)
    {
        lines.push_back(std::to_string(frame) + " mousemove -2000 -2000");
        lines.push_back(std::to_string(frame + 1) + " mousemove " + std::to_string(toX) + " " + std::to_string(toY));
        lines.push_back(std::to_string(frame + 2) + " mousedown 1");
        lines.push_back(std::to_string(frame + 3) + " mouseup 1");
        frame += wait;
        return *this;
    }
    // A click at a position of the file screen's window.
    Script &ClickIn(int wx, int wy, int wait = 6) { return Click(kWinX + wx, kWinY + wy, wait); }
    Script &Type(const std::string &text)
    {
        lines.push_back(std::to_string(frame) + " text " + text);
        lines.push_back(std::to_string(frame + 1) + " char 13");
        frame += 4;
        return *this;
    }
    Script &Wait(int n)
    {
        frame += n;
        return *this;
    }
};

std::vector<uint8_t> ReadAll(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// The "Load and Save" button of the top bar, as its press runs it. A script reaches it through
// the page menu's "Clone riff" (row 8 of the song grid's menu, no handler of its own yet): a
// right click opens the menu under the pointer at row 5, three steps down, a click chooses.
constexpr int kItemRow = 51;
void PressLoadAndSave()
{
    g_ucTopBarButton = 3;
    Ed_TopBarChoose();
}
// The song as it stood when the button was pressed, and a run that starts from a new song.
std::vector<uint8_t> s_songBefore;
std::vector<uint8_t> SongImage()
{
    return Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "Author");
}
// The song as the last frame left it: the program frees it when it ends.
std::vector<uint8_t> s_songLast;
// The riff name of every cell of the song grid, position by position (one text a cell).
struct GridNames
{
    uint32_t rows = 0;
    std::vector<std::string> names;
    std::vector<std::string> riffs; // every riff of the song, placed or not
    std::vector<std::string> clips; // every clip of the song
};
GridNames s_gridBefore, s_gridLast;
int32_t s_iCursorPosition = -1; // the song position under the grid cursor at the press
GridNames Grid()
{
    GridNames g;
    g.rows = g_uSongRowCount;
    for (uint32_t r = 0; r < g_uSongRowCount && r < SEQ_GRID_ROWS; r++)
        for (int c = 0; c < SEQ_GRID_COLUMNS; c++) {
            const uint16_t cell = g_aSongGrid[r][c];
            const RIFFENTRY *riff = cell ? Seq_GetRiff(cell & SEQ_CELL_ID_MASK) : nullptr;
            g.names.push_back(riff ? std::string(riff->szName, strnlen(riff->szName, 16)) : "");
        }
    for (int32_t id = 1; id < int32_t(g_uRiffCount); id++)
        if (const RIFFENTRY *riff = Seq_GetRiff(id))
            g.riffs.emplace_back(riff->szName, strnlen(riff->szName, 16));
    for (int32_t id = 0; id <= g_iClipHighestId; id++)
        if (const VIDCLIP *clip = Vid_GetClip(id))
            g.clips.emplace_back(clip->szName, strnlen(clip->szName, 11));
    return g;
}
// Drawn every frame while the file screen is open.
void WatchSong(void *user)
{
    Ed_FileBrowserDraw(user);
    s_songLast = SongImage();
}
// The song as a load (busy operation 10) left it, before anything else could change it.
BUSYOPROW s_tMergeOp;
void NoteGridAfterMerge()
{
    if (s_tMergeOp.followUp)
        s_tMergeOp.followUp();
    s_gridLast = Grid();
}
// The top bar's "Load and Save" opens the screen once the open windows are closed: then the
// screen is watched.
void OpenAndWatch()
{
    Ed_OpenFileBrowser();
    if (g_pFileBrowserWindow)
        g_pFileBrowserWindow->draw = WatchSong;
    s_tMergeOp = g_atBusyOps[10];
    Ui_SetBusyOperation(10, s_tMergeOp.run, NoteGridAfterMerge);
}
void NoteSongThenPress()
{
    s_songBefore = SongImage();
    s_gridBefore = Grid();
    s_gridLast = GridNames{};
    s_iCursorPosition = Ui_GridCursorColumnRaw(); // the song grid is open at the press
    g_ucTopBarButton = 3;
    Ed_CloseWindowsThenRun(OpenAndWatch);
}
void NewSongThenPress()
{
    Seq_NewSong();
    NoteSongThenPress();
}
Script OpenFileScreen()
{
    Script s;
    s.lines = {"5 mousedown 2", "6 mouseup 2", "10 keydown Down", "11 keyup Down", "15 keydown Down",
               "16 keyup Down", "20 keydown Down", "21 keyup Down", "25 mousedown 1", "26 mouseup 1"};
    s.frame = 45;
    return s;
}

class FileScreenScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        home_ = fs::path(::testing::TempDir()) / ("tnv_filescreen_" + std::to_string(getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_);
        setenv("HOME", home_.c_str(), 1);
        setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
    }
    void TearDown() override
    {
        Ui_ResetMenuItems();
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_DUMP_FRAME");
        setenv("HOME", ::testing::TempDir().c_str(), 1);
        if (!getenv("TNV_KEEP_TEST_FILES"))
            fs::remove_all(home_);
        SpineTest::TearDown();
    }

    fs::path Songs() const { return home_ / "Tonnivelle"; }

    // Runs the script with a frame dump of its last frame.
    int RunDumped(const Script &s, const std::string &name, int extra = 20, void (*press)() = PressLoadAndSave)
    {
        SpineTest::SetUp(); // each run starts as the program does
        setenv("HOME", home_.c_str(), 1);
        ResetPageMenus();
        Ui_SetMenuItemHandler(kItemRow, press);
        s_songBefore.clear();
        s_songLast.clear();
        g_ucMouseButtons = 0;
        Sys_EndTextEntry();
        g_pTextEntryWindow = g_pKeyboardWindow = nullptr;
        Ui_ResetMessageBoxes(); // a box left open by the last run
        dump_ = (home_ / (name + ".png")).string();
        setenv("TNV_DUMP_FRAME", dump_.c_str(), 1);
        return Run(nullptr, s.frame + extra, s.lines);
    }

    // Open the screen, type the title "Test", press "Save file" and "Accept" in the pop-up.
    static Script SaveAsTest()
    {
        Script s = OpenFileScreen();
        s.ClickIn(100, 202).Type("Test");
        s.ClickIn(50, 245, 10);             // "Save file"
        s.Click(160 + 60, 69 + 24 + 3 * 16 + 8, 10); // "Accept"
        return s;
    }

    // The window position of the list cell of a file of the user's folder (the first twelve).
    std::pair<int, int> CellOf(const std::string &name)
    {
        Sys_BrowseDirectory(Songs().c_str());
        for (int i = 0; i < g_iBrowserEntryCount && i < 12; i++)
            if (g_aBrowserEntries[i].pszName && name == g_aBrowserEntries[i].pszName)
                return {ED_FILE_LIST_X + (i % 4) * ED_FILE_CELL_W + 42, ED_FILE_LIST_Y + (i / 4) * ED_FILE_CELL_H + 20};
        ADD_FAILURE() << name << " is not listed";
        return {0, 0};
    }

    // Choose the file in the list, press "Load file", then "Accept" in the components pop-up
    // (its four rows, a blank, "Accept"), and wait for the busy box and the result.
    Script LoadFile(const std::string &name)
    {
        const auto cell = CellOf(name);
        Script s = OpenFileScreen();
        s.ClickIn(cell.first, cell.second);
        s.ClickIn(20, 245, 10); // "Load file"
        s.Click(160 + 60, 69 + 24 + 5 * 16 + 8, 30);
        return s;
    }

    fs::path home_;
    std::string dump_;
};

TEST_F(FileScreenScript, SaveTheDemoSongAsTestThenSaveAgainAndCancel)
{
    ASSERT_EQ(RunDumped(SaveAsTest(), "save"), 0);
    EXPECT_EQ(g_sFileMessage, "Save completed successfully.") << Lines(Log());
    const fs::path file = Songs() / "Test.tnv";
    ASSERT_TRUE(fs::exists(file)) << "saved into the user's folder";
    const std::vector<uint8_t> bytes = ReadAll(file);
    ASSERT_GT(bytes.size(), 516u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "TVPC");
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 6), "SC");
    EXPECT_EQ(bytes[6], 0x11);
    EXPECT_EQ(bytes[7], 0x01);
    EXPECT_EQ(std::string(bytes.begin() + 516, bytes.begin() + 518), "H2");
    const Picture shot = ReadPng(dump_);
    EXPECT_EQ(shot.width, 640u) << "the frame was dumped";

    // Again: the overwrite question; "Cancel" (its right button) leaves the file alone.
    struct stat before{};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    Script again = SaveAsTest();
    again.Wait(10).Click(355, 220, 10);
    ASSERT_EQ(RunDumped(again, "again"), 0);
    EXPECT_EQ(Count("Ed_AskOverwriteAndSave"), 1);
    EXPECT_EQ(g_sFileMessage, "A file with this name already exists. Do you want to overwrite it?");
    EXPECT_EQ(Count("Ed_SaveSong"), 1) << "the answer came";
    struct stat after{};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(ReadAll(file), bytes);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ino, before.st_ino) << "not rewritten";
}

// What a saved file holds behind the tag and its header: the song image.
std::vector<uint8_t> ImageOf(const fs::path &p)
{
    const std::vector<uint8_t> b = ReadAll(p);
    return b.size() > 516 ? std::vector<uint8_t>(b.begin() + 516, b.end()) : std::vector<uint8_t>();
}

TEST_F(FileScreenScript, LoadBringsBackTheSavedSongAndVideo)
{
    ASSERT_EQ(RunDumped(SaveAsTest(), "save"), 0);
    const std::vector<uint8_t> saved = ImageOf(Songs() / "Test.tnv");
    ASSERT_FALSE(saved.empty());

    // From a new song, load "Test.tnv" whole; then save what the studio holds as "Again": the
    // studio's own writer shows the model (song, riffs, notes, instruments, video).
    Script s = LoadFile("Test.tnv");
    s.Click(kOkayX, kOkayY);
    s.ClickIn(100, 202).Type("Again").ClickIn(50, 245, 10).Click(160 + 60, 69 + 24 + 3 * 16 + 8, 10);
    ASSERT_EQ(RunDumped(s, "load", 20, NewSongThenPress), 0);
    EXPECT_EQ(Count("Ed_FileMessage(File loaded okay.)"), 1) << Lines(Log());
    EXPECT_EQ(g_sFileMessage, "Save completed successfully.");
    EXPECT_NE(s_songBefore, saved) << "the run started from a new song";
    EXPECT_TRUE(ImageOf(Songs() / "Again.tnv") == saved) << "the loaded song is the saved one";
}

TEST_F(FileScreenScript, ADamagedFileIsRefusedAndTheSongStaysAsItWas)
{
    ASSERT_EQ(RunDumped(SaveAsTest(), "save"), 0);
    const std::vector<uint8_t> file = ReadAll(Songs() / "Test.tnv");
    ASSERT_GT(file.size(), 2000u);
    {
        std::ofstream cut(Songs() / "Broken.tnv", std::ios::binary);
        cut.write(reinterpret_cast<const char *>(file.data()), std::streamsize(file.size() / 2));
    }
    // Save the song as "X1", try "Broken.tnv", save again as "X2" (both list after the others).
    const auto broken = CellOf("Broken.tnv");
    Script s = OpenFileScreen();
    s.ClickIn(100, 202).Type("X1").ClickIn(50, 245, 10).Click(160 + 60, 69 + 24 + 3 * 16 + 8, 10);
    s.Click(kOkayX, kOkayY);
    s.ClickIn(broken.first, broken.second).ClickIn(20, 245, 10).Click(160 + 60, 69 + 24 + 5 * 16 + 8, 30);
    s.Click(kOkayX, kOkayY);
    s.ClickIn(100, 202).Type("X2").ClickIn(50, 245, 10).Click(160 + 60, 69 + 24 + 3 * 16 + 8, 10);
    ASSERT_EQ(RunDumped(s, "broken", 20, NoteSongThenPress), 0);
    EXPECT_EQ(Count("Ed_LoadResult"), 1) << Lines(Log());
    EXPECT_EQ(Count("Ed_FileMessage(File loading error.)"), 1);
    EXPECT_EQ(Count("Ed_FileMessage(Save completed successfully.)"), 2);
    const std::vector<uint8_t> x1 = ImageOf(Songs() / "X1.tnv"), x2 = ImageOf(Songs() / "X2.tnv");
    ASSERT_FALSE(x1.empty());
    EXPECT_TRUE(x1 == x2) << "nothing of the song was touched";
    EXPECT_EQ(ReadAll(Songs() / "Test.tnv"), file);
}

TEST_F(FileScreenScript, ASaveThatCannotBeWrittenSaysSoAndKeepsWhatWasThere)
{
    // Something that is not a song file stands under the name: the save asks, then fails.
    fs::create_directories(Songs() / "Test.tnv");
    { std::ofstream(Songs() / "Test.tnv" / "keep.txt") << "mine"; }
    Script s = SaveAsTest();
    s.Wait(10).Click(285, 220, 10); // "Okay": overwrite
    ASSERT_EQ(RunDumped(s, "failed"), 0);
    EXPECT_EQ(Count("Ed_FileMessage(A file with this name already exists. Do you want to overwrite it?)"), 1)
        << Lines(Log());
    EXPECT_EQ(Count("Ed_FileMessage(Save failed.)"), 1);
    EXPECT_EQ(Count("Ed_FileMessage(Save completed successfully.)"), 0);
    std::ifstream kept(Songs() / "Test.tnv" / "keep.txt");
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "mine");
    int files = 0;
    for (const auto &e : fs::directory_iterator(Songs()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 0) << "no half-written file is left beside it";
}

TEST_F(FileScreenScript, EnteringAFolderResetsTheNamesAndChoosesNothing)
{
    fs::create_directories(Songs() / "Album");
    { std::ofstream(Songs() / "Album" / "First.tnv") << "not a song"; }
    const auto folder = CellOf("Album");
    Script s = OpenFileScreen();
    s.ClickIn(folder.first, folder.second);
    s.ClickIn(77, 245); // "Delete file": nothing is chosen in the new folder
    ASSERT_EQ(RunDumped(s, "folder"), 0);
    EXPECT_STREQ(g_szSongTitle, "TONNIVELLE file");
    EXPECT_STREQ(g_szSongAuthor, "Author");
    EXPECT_EQ(fs::path(g_szBrowserDir).filename(), "Album");
    EXPECT_EQ(g_ucFileChosen, 0);
    EXPECT_EQ(g_ucFilePendingAction, 3) << "the delete waits for a file to be chosen";
    EXPECT_EQ(Count("Ed_FileMessage(Are you sure you want to delete this file?)"), 0);
    EXPECT_TRUE(fs::exists(Songs() / "Album" / "First.tnv"));
}

TEST_F(FileScreenScript, MixdownFromTheScreenAsksBeforeReplacingAWavAndMatchesTheSongTool)
{
    ASSERT_EQ(RunDumped(SaveAsTest(), "save"), 0);
    // "Save as '.WAV' File" writes the title's name with ".wav" into the folder shown. A WAV of
    // that name is there: the first question is cancelled (no mixdown starts), the second one
    // is answered "Okay".
    const fs::path wav = Songs() / "Test.wav";
    { std::ofstream(wav, std::ios::binary) << "an older mixdown"; }
    Script s = OpenFileScreen();
    s.ClickIn(100, 202).Type("Test");
    s.ClickIn(184, 245, 10).Click(355, 220, 10);
    s.ClickIn(184, 245, 10).Click(285, 220, 120);
    ASSERT_EQ(RunDumped(s, "wav"), 0);
    EXPECT_EQ(Count("Ed_FileMessage(A file with this name already exists. Do you want to overwrite it?)"), 2)
        << Lines(Log());
    EXPECT_EQ(Count("Ui_OpenWavSaveProgress"), 1) << "only the answer \"Okay\" mixes";
    EXPECT_EQ(Count("Ui_FinishWavSaveProgress"), 1) << "the song was mixed to its end";
    const std::string tool = std::string(TNV_TEST_BUILD_DIR) + "/tools/tnv_song";
    const fs::path rendered = home_ / "tool.wav";
    RunAndRead("'" + tool + "' render '" + (Songs() / "Test.tnv").string() + "' '" + rendered.string() + "' 2>&1");
    const std::vector<uint8_t> a = ReadAll(wav), b = ReadAll(rendered);
    ASSERT_GT(b.size(), 44u + 44100u * 4u) << "the tool rendered more than a second";
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "the same samples";
}

// The build's demo song is a bare song image, without a save header: the screen lists and
// loads it as the song tool does.
fs::path DemoSong()
{
    return fs::path(TNV_TEST_BUILD_DIR) / "data" / "examples" / "demo.tnv";
}

TEST_F(FileScreenScript, InsertFilePutsTheSongAfterTheCursorPosition)
{
    std::vector<uint8_t> demo;
    {
        std::ifstream f(DemoSong(), std::ios::binary);
        demo.assign(std::istreambuf_iterator<char>(f), {});
    }
    ASSERT_GT(demo.size(), 2u);
    ASSERT_EQ(std::string(demo.begin(), demo.begin() + 2), "H2") << "no save header";
    fs::create_directories(Songs());
    fs::copy_file(DemoSong(), Songs() / "Demo.tnv");
    const auto cell = CellOf("Demo.tnv");
    // End takes the grid to the song's end (its last but one position first); the right click
    // that opens the menu puts the cursor on the last position (the second cell column, 24
    // pixels from x 64), on a track.
    Script s;
    s.lines = {"3 keydown End", "4 keyup End", "20 mousemove -220 0", "22 mousedown 2", "23 mouseup 2",
               "28 keydown Down", "29 keyup Down", "33 keydown Down", "34 keyup Down", "38 keydown Down",
               "39 keyup Down", "43 mousedown 1", "44 mouseup 1"};
    s.frame = 80;
    s.ClickIn(cell.first, cell.second);
    s.ClickIn(104, 245, 10); // "Insert file"
    // The music alone: "Video clip" and "Video show" unticked, then "Accept".
    s.Click(160 + 60, 69 + 24 + 8, 8).Click(160 + 60, 69 + 24 + 16 + 8, 8);
    s.Click(160 + 60, 69 + 24 + 5 * 16 + 8, 30);
    ASSERT_EQ(RunDumped(s, "insert", 20, NoteSongThenPress), 0);
    EXPECT_EQ(Count("Ed_FileMessage(File loaded okay.)"), 1) << Lines(Log());
    EXPECT_EQ(g_iFileInsertRow, -1) << "back to whole loads";
    // The studio started with the same song; the file goes in after the cursor's position.
    const GridNames &song = s_gridBefore, &now = s_gridLast;
    ASSERT_GT(song.rows, 2u);
    ASSERT_EQ(now.rows, 2 * song.rows) << "the song twice";
    ASSERT_EQ(now.names.size(), 2 * song.names.size());
    const long at = std::clamp<long>(s_iCursorPosition + 1, 0, song.rows) * SEQ_GRID_COLUMNS;
    const long all = long(song.names.size());
    EXPECT_TRUE(std::equal(song.names.begin(), song.names.begin() + at, now.names.begin())) << "before the cursor";
    EXPECT_TRUE(std::equal(song.names.begin(), song.names.end(), now.names.begin() + at)) << "the file, at " << at;
    EXPECT_TRUE(std::equal(song.names.begin() + at, song.names.end(), now.names.begin() + at + all)) << "the rest";
}

// From a new song, only riffs: "Song" and both video rows unticked leave "Riff", so the riff list
// follows; its second riff is unticked and only the others come in.
TEST_F(FileScreenScript, LoadingOnlyRiffsBringsTheTickedRiffsAlone)
{
    fs::create_directories(Songs());
    fs::copy_file(DemoSong(), Songs() / "Demo.tnv");
    std::vector<uint8_t> demo;
    {
        std::ifstream f(DemoSong(), std::ios::binary);
        demo.assign(std::istreambuf_iterator<char>(f), {});
    }
    std::vector<FILERIFF> riffs;
    g_bTaggedSongFile = 1;
    Seq_ListFileRiffs(demo.data(), demo.size(), &riffs);
    ASSERT_GE(riffs.size(), 3u);
    const auto cell = CellOf("Demo.tnv");
    const int kx = 160 + 60, ky = 69 + 24 + 8;       // the load pop-up's first row
    const int rx = (640 - 170) / 2 + 60, ry = 93;     // the riff list, centred: its first row
    Script s = OpenFileScreen();
    s.ClickIn(cell.first, cell.second);
    s.ClickIn(20, 245, 10);                                   // "Load file"
    s.Click(kx, ky, 8).Click(kx, ky + 16, 8).Click(kx, ky + 48, 8); // "Video clip", "Video show", "Song"
    s.Click(kx, ky + 5 * 16, 12);                             // "Accept": the riff list opens
    s.Click(rx, ry + 16, 8);                                  // the second riff
    s.Click(rx, ry + int(riffs.size() + 1) * 16, 30);         // "Accept"
    ASSERT_EQ(RunDumped(s, "riffs", 20, NewSongThenPress), 0);
    EXPECT_EQ(Count("Ed_FileMessage(File loaded okay.)"), 1) << Lines(Log());
    std::vector<std::string> want;
    for (size_t i = 0; i < riffs.size(); i++)
        if (i != 1)
            want.push_back(riffs[i].szName);
    EXPECT_TRUE(s_gridBefore.riffs.empty()) << "a new song";
    std::vector<std::string> got = s_gridLast.riffs;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    EXPECT_TRUE(std::all_of(s_gridLast.names.begin(), s_gridLast.names.end(),
                            [](const std::string &n) { return n.empty(); }))
        << "no riff was placed: the song was not loaded";
}

// From a new song, only clips: "Video show", "Riff" and "Song" unticked leave "Video clip", so
// the clip list follows; its second clip is unticked and only the others come in.
TEST_F(FileScreenScript, LoadingOnlyClipsBringsTheTickedClipsAlone)
{
    fs::create_directories(Songs());
    fs::copy_file(DemoSong(), Songs() / "Demo.tnv");
    std::vector<uint8_t> demo;
    {
        std::ifstream f(DemoSong(), std::ios::binary);
        demo.assign(std::istreambuf_iterator<char>(f), {});
    }
    std::vector<std::string> clips;
    g_bTaggedSongFile = 1;
    Seq_ListFileClips(demo.data(), demo.size(), &clips);
    ASSERT_GE(clips.size(), 2u);
    const auto cell = CellOf("Demo.tnv");
    const int kx = 160 + 60, ky = 69 + 24 + 8;       // the load pop-up's first row
    const int rx = (640 - 170) / 2 + 60, ry = 93;     // the clip list, centred: its first row
    Script s = OpenFileScreen();
    s.ClickIn(cell.first, cell.second);
    s.ClickIn(20, 245, 10);                                          // "Load file"
    s.Click(kx, ky + 16, 8).Click(kx, ky + 32, 8).Click(kx, ky + 48, 8); // "Video show", "Riff", "Song"
    s.Click(kx, ky + 5 * 16, 12);                                    // "Accept": the clip list opens
    s.Click(rx, ry + 16, 8);                                         // the second clip
    s.Click(rx, ry + int(clips.size() + 1) * 16, 30);                // "Accept"
    ASSERT_EQ(RunDumped(s, "clips", 20, NewSongThenPress), 0);
    EXPECT_EQ(Count("Ed_FileMessage(File loaded okay.)"), 1) << Lines(Log());
    // Every ticked clip of the file is in the song; the unticked one is not.
    const std::vector<std::string> &got = s_gridLast.clips;
    for (size_t i = 0; i < clips.size(); i++) {
        const bool in = std::find(got.begin(), got.end(), clips[i]) != got.end();
        if (i == 1) {
            EXPECT_FALSE(in) << clips[i];
        } else if (clips[i] != clips[1]) {
            EXPECT_TRUE(in) << clips[i];
        }
    }
    EXPECT_TRUE(s_gridLast.riffs.empty()) << "no riff came in";
}

} // namespace
