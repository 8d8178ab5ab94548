// The pointer's mere position at work, through the studio's own loop and an input script on the
// demo song: a riff being sized follows the pointer to its new corner; in the riff editor the
// pointer over the note panel takes it, a click on a setting edits the selected note, leaving the
// panel lets it go, and undo brings the note back.
#include "spine_fixture.h"

#include "app/devices.h"
#include "sequencer/noteedit.h"
#include "sequencer/songmodel.h"
#include "support/studioprocess.h"
#include "ui/gridcells.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/popup.h"
#include "ui/riffeditor.h"
#include "ui/valueslider.h"
#include "ui/view.h"

#include <cstdlib>
#include <filesystem>

namespace
{

// The demo riff placed at song row 0, track 5: 4 bars, 2 tracks (the song grid's cells are 24 px
// from (64, 82)); the pointer starts at (320, 240).
constexpr int kRiffTrack = 5;
constexpr int kSongF9Row = 158, kRiffF9Row = 131;
constexpr int kRiffEditorRow = 3, kResizeRiffRow = 7;

std::vector<std::string> ChooseMenuRow(int frame, int row)
{
    const int dy = 150 + 16 * row + 8 - 240;
    return {std::to_string(frame) + " mousedown 2", std::to_string(frame + 1) + " mouseup 2",
            std::to_string(frame + 4) + " mousemove 0 " + std::to_string(dy),
            std::to_string(frame + 6) + " mousedown 1", std::to_string(frame + 7) + " mouseup 1"};
}

std::string Move(int frame, int dx, int dy)
{
    return std::to_string(frame) + " mousemove " + std::to_string(dx) + " " + std::to_string(dy);
}

std::vector<std::string> Key(int frame, const char *key)
{
    return {std::to_string(frame) + " keydown " + key, std::to_string(frame + 1) + " keyup " + key};
}

struct SEEN
{
    int screen = -1, bars = 0, tracks = 0;
    int windowX = 0, windowY = 0; // the grid window
    int noteStep = -1, noteRow = -1, level = -1;
};
std::vector<SEEN> s_seen;
int s_iWatchStep = -1;

void TakeSnapshot()
{
    SEEN s;
    s.screen = g_iScreen;
    if (const RIFFENTRY *r = Seq_GetRiff(Seq_GetRiffStartingAt(0, kRiffTrack))) {
        s.bars = r->ucBars;
        s.tracks = r->ucTracks;
    }
    if (g_pGridWindow) {
        s.windowX = g_pGridWindow->x;
        s.windowY = g_pGridWindow->y;
    }
    if (const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff); r && g_ucGridKind == 3) {
        for (int step = 0; step < r->ucBars * 16; step++) {
            const int note = *Seq_RiffCell(const_cast<RIFFENTRY *>(r), step, 0);
            const NOTEENTRY *e = Seq_GetNote(note);
            if (!e)
                continue;
            if (s.noteStep < 0) {
                s.noteStep = step;
                s.noteRow = 11 - e->ucPitch % 12;
            }
            if (step == s_iWatchStep)
                s.level = e->ucLevel;
        }
    }
    s_seen.push_back(s);
}

class HoverScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        m_mouseButtons = g_ucMouseButtons;
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_ucMouseButtons = m_mouseButtons;
        SpineTest::TearDown();
    }
    uint8_t m_mouseButtons = 0;

    void Fresh()
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        ResetPageMenus();
        g_ucGridOptions = 0;
        g_ucMouseButtons = 0;
        // A run that ended with the button held must not hold it into the next one.
        g_iMouseButton1 = g_iMouseButton2 = 1;
        g_bMouseClicked = 0;
        g_pClickedWidget = nullptr;
        g_bMouseHoldMarked = 0;
        g_bGridDragLock = g_bGridDragStopped = g_bGridPressHandled = 0;
        g_iMouseHoldFrames = 0;
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        Ui_SetMenuItemHandler(kSongF9Row, TakeSnapshot);
        Ui_SetMenuItemHandler(kRiffF9Row, TakeSnapshot);
        s_seen.clear();
    }
    void RunDumped(const std::string &png, int frames, const std::vector<std::string> &script)
    {
        Fresh();
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        ASSERT_EQ(Run(nullptr, frames, script), 0);
        unsetenv("TNV_DUMP_FRAME");
        ASSERT_TRUE(std::filesystem::exists(png)) << png;
    }
    static std::string Dump(const char *name)
    {
        const char *dir = std::getenv("TNV_TEST_PNG_DIR");
        return (dir ? std::string(dir) + "/" : ::testing::TempDir()) + "tnv_hover_" + name + ".png";
    }
    // Pixels of a rectangle in a riff's colour (green well above the dark grid's).
    static int RiffColoured(const Picture &p, int x0, int y0, int w, int h)
    {
        int n = 0;
        for (int y = y0; y < y0 + h && y < int(p.height); y++)
            for (int x = x0; x < x0 + w && x < int(p.width); x++) {
                const uint8_t *c = &p.rgb[(size_t(y) * p.width + size_t(x)) * 3];
                n += c[1] > 90;
            }
        return n;
    }
};

// "Resize riff", a press on the riff and the pointer moved while the button is held: the riff's
// far corner follows the pointer, the frame shows the mark over the new cells, and the release
// keeps the size.
TEST_F(HoverScript, ARiffBeingSizedFollowsThePointer)
{
    std::vector<std::string> script = ChooseMenuRow(60, kResizeRiffRow);
    const int x = 64 + 12, y = 82 + kRiffTrack * 24 + 12, menuY = 150 + 16 * kResizeRiffRow + 8;
    script.push_back(Move(70, x - 320, y - menuY));
    script.push_back("72 mousedown 1");
    // Three bars right and four tracks down: the corner on bar 4, track 10.
    script.push_back(Move(76, 3 * 24, 4 * 24));
    std::vector<std::string> sizedScript = script;
    sizedScript.push_back("86 mouseup 1");
    for (const std::string &k : Key(92, "F9"))
        sizedScript.push_back(k);
    RunDumped(Dump("sized"), 95, sizedScript);
    ASSERT_EQ(s_seen.size(), 1u);
    EXPECT_EQ(s_seen[0].screen, 0) << "the release applied the size";
    EXPECT_EQ(s_seen[0].bars, 4);
    EXPECT_EQ(s_seen[0].tracks, 5);
    // The new tracks 8-10 under the riff's first bars were empty and now show the riff.
    const Picture sized = ReadPng(Dump("sized"));
    ASSERT_EQ(sized.width, 640u);
    EXPECT_GT(RiffColoured(sized, 72, 82 + 7 * 24 + 6, 80, 60), 80 * 60 * 9 / 10);

    // (F9 runs a menu item, which ends the sizing: the sizing run and the sized run are apart.)
    std::vector<std::string> sizingScript = script;
    for (const std::string &k : Key(80, "F9"))
        sizingScript.push_back(k);
    RunDumped(Dump("sizing"), 83, sizingScript);
    ASSERT_EQ(s_seen.size(), 1u);
    EXPECT_EQ(s_seen[0].screen, 12) << "still sizing while the button is held";
    EXPECT_EQ(g_asGridMark[0], 0);
    EXPECT_EQ(g_asGridMark[1], kRiffTrack);
    EXPECT_EQ(g_asGridMark[2], 3);
    EXPECT_EQ(g_asGridMark[3], kRiffTrack + 4);
    // While sizing, the mark outlines the new corner over cells still empty.
    const Picture sizing = ReadPng(Dump("sizing"));
    ASSERT_EQ(sizing.width, 640u);
    EXPECT_LT(RiffColoured(sizing, 72, 82 + 7 * 24 + 6, 80, 60), 80 * 60 / 10);
}

// In the riff editor a press selects a note; the pointer over the panel takes it (screen 14) and
// the setting under it; a click on "Volume" opens the value editor, whose arrow raises the note's
// level; Escape stores it; the pointer back on the grid lets the panel go; Ctrl+Z undoes the edit.
TEST_F(HoverScript, TheNotePanelTakenByThePointerEditsTheNoteAndUndoRestoresIt)
{
    std::vector<std::string> script = ChooseMenuRow(60, kRiffEditorRow);
    for (const std::string &k : Key(72, "F9"))
        script.push_back(k);
    Fresh();
    ASSERT_EQ(Run(nullptr, 75, script), 0);
    ASSERT_EQ(s_seen.size(), 1u);
    const SEEN opened = s_seen[0];
    ASSERT_EQ(g_ucGridKind, 3);
    ASSERT_GE(opened.noteStep, 0);
    ASSERT_LT(opened.noteStep, 16) << "the first note is in view";
    script.pop_back();
    script.pop_back();

    // The pointer from the menu row onto the note's cell, a press selects the note.
    int px = 320, py = 150 + 16 * kRiffEditorRow + 8;
    auto to = [&](int frame, int x, int y) {
        script.push_back(Move(frame, x - px, y - py));
        px = x;
        py = y;
    };
    to(76, 173 + opened.noteStep * 12 + 6, 191 + opened.noteRow * 10 + 5);
    script.insert(script.end(), {"78 mousedown 1", "79 mouseup 1"});
    // Onto the panel's "Volume" (its setting 3, 10 px in, 10 px down).
    const int volX = opened.windowX + 252 + 10, volY = opened.windowY + 25 + 19 + 10;
    to(82, volX, volY);
    for (const std::string &k : Key(86, "F9"))
        script.push_back(k);
    script.insert(script.end(), {"88 mousedown 1", "89 mouseup 1"});
    // The value editor (200 wide, centred, at y 90): its bar's right arrow held for a few frames.
    to(94, 320 - 100 + 6 + 132 - 4, 90 + 25 + 4);
    script.insert(script.end(), {"96 mousedown 1", "108 mouseup 1"});
    for (const std::string &k : Key(112, "F9"))
        script.push_back(k);
    for (const std::string &k : Key(114, "Escape"))
        script.push_back(k);
    for (const std::string &k : Key(118, "F9"))
        script.push_back(k);
    // Back on the grid's cells: the panel is let go.
    to(122, 173 + 6 * 12, 191 + 5 * 10);
    for (const std::string &k : Key(126, "F9"))
        script.push_back(k);
    script.insert(script.end(), {"130 keydown Ctrl", "131 keydown Z", "132 keyup Z", "133 keyup Ctrl"});
    for (const std::string &k : Key(136, "F9"))
        script.push_back(k);

    Fresh();
    s_iWatchStep = opened.noteStep;
    const std::string png = Dump("notepanel");
    setenv("TNV_DUMP_FRAME", png.c_str(), 1);
    ASSERT_EQ(Run(nullptr, 140, script), 0);
    unsetenv("TNV_DUMP_FRAME");
    s_iWatchStep = -1;
    ASSERT_EQ(s_seen.size(), 5u);
    const SEEN &onPanel = s_seen[0], &editing = s_seen[1], &stored = s_seen[2], &left = s_seen[3],
               &undone = s_seen[4];
    EXPECT_EQ(onPanel.screen, 14) << "the pointer over the panel took it";
    EXPECT_EQ(g_ucNoteGadget, 3) << "the setting under the pointer";
    EXPECT_EQ(editing.screen, SCREEN_VALUEEDIT);
    EXPECT_EQ(stored.screen, 14) << "Escape closed the value editor back onto the panel";
    EXPECT_GT(stored.level, onPanel.level) << "the arrow raised the note's level";
    EXPECT_EQ(left.screen, 0) << "the pointer on the grid let the panel go";
    EXPECT_EQ(left.level, stored.level);
    EXPECT_EQ(undone.level, onPanel.level) << "undo brings the level back";
    const Picture pic = ReadPng(png);
    ASSERT_EQ(pic.width, 640u);
}

} // namespace
