// The input side as a user drives it, through the studio's own loop and an input script, each
// run leaving a frame dump: hints over the toolbar, key shortcuts on the song grid, dragging a
// window by its caption and closing it, stepping a value slider, and renaming a riff with both
// keyboards or cancelling. A page-menu item given a handler here opens each dialog, as the
// editors' own items will.
#include "spine_fixture.h"

#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/caption.h"
#include "ui/handlers.h"
#include "ui/mouse.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "ui/textentry.h"
#include "ui/textfield.h"
#include "ui/toolbar.h"
#include "ui/valueslider.h"

#include <sys/stat.h>

#include <cstring>

namespace {

// Page 0's row 8 ("Clone riff") gets the handler that opens the dialog under test.
constexpr int kItemRow = 51;
// Right click opens the page menu under the pointer (row 5); three steps down reach row 8; a
// click chooses it. From frame f on.
std::vector<std::string> ChooseItemAt(int f)
{
    std::vector<std::string> lines;
    for (const auto &[at, what] : std::vector<std::pair<int, const char *>>{
             {0, "mousedown 2"}, {1, "mouseup 2"}, {5, "keydown Down"}, {6, "keyup Down"}, {10, "keydown Down"},
             {11, "keyup Down"}, {15, "keydown Down"}, {16, "keyup Down"}, {20, "mousedown 1"}, {21, "mouseup 1"}})
        lines.push_back(std::to_string(f + at) + " " + what);
    return lines;
}

WINDOW *s_pWindow = nullptr;
TEXTFIELD *s_pCaption = nullptr;
int32_t s_iValue = 0;
int32_t s_iStored = -1;
int32_t s_iShownValue = -1;
std::string s_name;
int s_accepts = 0, s_cancels = 0;

void OpenTopBar()
{
    WINDOWDESC d{0, 0, 640, 44, 0, nullptr, nullptr, nullptr, nullptr, nullptr};
    g_pTopBarWindow = Ui_OpenWindow(&d);
}

void OpenDialog()
{
    WINDOWDESC d{200, 200, 200, 60, 1, nullptr, nullptr, nullptr, nullptr, nullptr};
    s_pWindow = Ui_OpenWindow(&d);
    TEXTFIELDDESC cd{"Drag me", 6, 7, 187, 14, s_pWindow, 0, 0, 128, 0};
    s_pCaption = Ui_CreateTextField(&cd);
    Ui_SetFocus(s_pWindow);
}

void ValueEditorClosed()
{
    s_iStored = s_iValue;
}

void OpenValueEditor()
{
    s_iValue = 0;
    g_pfnValueEditorClosed = ValueEditorClosed;
    Ui_OpenValueEditor(&s_iValue, SLIDER_I32, 0, 1000, 24, 0, 0, 200);
}

void RenameAccepted()
{
    s_accepts++;
    if (const RIFFENTRY *r = Seq_GetRiff(1))
        s_name = r->szName;
}

void RenameCancelled()
{
    s_cancels++;
    if (const RIFFENTRY *r = Seq_GetRiff(1))
        s_name = r->szName;
}

void OpenRename()
{
    RIFFENTRY *r = Seq_GetRiff(1);
    TEXTENTRYREQUEST q{};
    q.x = 200;
    q.y = 100;
    q.maxLength = 12;
    q.titleText = 225; // "Change riff name"
    q.text = r ? r->szName : nullptr;
    q.accept = RenameAccepted;
    q.cancel = RenameCancelled;
    Ui_OpenTextEntry(&q);
}

class InputScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        // The built content: fonts, pictures and the demo song, as the studio shows them.
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        ResetPageMenus();
        s_pWindow = nullptr;
        s_pCaption = nullptr;
        s_iStored = s_iShownValue = -1;
        s_name.clear();
        s_accepts = s_cancels = 0;
        g_pfnValueEditorClosed = nullptr;
    }
    void TearDown() override
    {
        g_pTopBarWindow = nullptr;
        g_pfnValueEditorClosed = nullptr;
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        SpineTest::TearDown();
    }
    // Runs with the item's handler and a frame dump; the dump must be there.
    int RunDumped(void (*handler)(), int frames, std::vector<std::string> script, int chooseAt = 10)
    {
        SpineTest::SetUp(); // a run ends with the quit request and the program's state
        ResetPageMenus();
        Ui_SetMenuItemHandler(kItemRow, handler);
        dump_ = ::testing::TempDir() + "input_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                "_" + std::to_string(++runs_) + ".png";
        std::remove(dump_.c_str());
        setenv("TNV_DUMP_FRAME", dump_.c_str(), 1);
        // Each run starts as the program does: no mouse mode yet (start-up turns it on), no
        // dialog left from a run that ended with one open.
        g_ucMouseButtons = 0;
        Sys_EndTextEntry();
        g_pTextEntryWindow = g_pKeyboardWindow = nullptr;
        g_pValueEditorWindow = nullptr;
        g_pValueEditorSlider = nullptr;
        std::vector<std::string> all = ChooseItemAt(chooseAt);
        all.insert(all.end(), script.begin(), script.end());
        const int rc = Run(nullptr, frames, all);
        struct stat st{};
        EXPECT_EQ(stat(dump_.c_str(), &st), 0) << dump_;
        EXPECT_GT(st.st_size, 0);
        return rc;
    }
    std::string dump_;
    int runs_ = 0;
};

// Check 4: the toolbar's buttons outline and hint; a greyed F-key hints but does nothing.
TEST_F(InputScript, HoverShowsToolbarHintsAndAGreyedFKeyDoesNothing)
{
    const uint32_t refusals = g_uRefusals;
    EXPECT_EQ(RunDumped(OpenTopBar, 70,
                        {"40 mousemove -2000 -2000", "41 mousemove 430 20", // F1: "Paste riff", greyed
                         "43 mousedown 1", "44 mouseup 1",
                         "50 mousemove 187 0"}), // F12
              0);
    ASSERT_NE(g_pTopBarWindow, nullptr);
    EXPECT_EQ(g_uRefusals, refusals) << "a greyed F-key press is silent";
    // The last frame drew the F12 hint beside the pointer.
    EXPECT_GT(g_asHintBox[2], 0);
    // Near the right edge it flips to the pointer's left: box x + 4 + width + 2 = pointer x.
    EXPECT_EQ(g_asHintBox[0] + g_asHintBox[2] - 2, 617);
    EXPECT_EQ(g_asHintBox[1], 20 + 11 - 2);
}

// Check 5: Space plays and stops on the song grid; Control+Z undoes one song step. The item
// places a riff as an editor would (one undo step) and watches the song's cells every frame.
int s_iCells = -1, s_iBefore = -1, s_iPlaced = -1;
void (*s_pfnGridHover)() = nullptr;
int Cells()
{
    int n = 0;
    for (const auto &row : g_aSongGrid)
        for (uint16_t cell : row)
            n += cell != 0;
    return n;
}
void WatchCells()
{
    if (s_pfnGridHover)
        s_pfnGridHover();
    s_iCells = Cells();
}
void PlaceRiffAndWatch()
{
    Seq_EnsureUndoLog(); // the song editors keep one; nothing opens it on the grid yet
    s_iBefore = Cells();
    Seq_PlaceRiff(1, 40, 0, 0, 0);
    Seq_CloseUndoStep();
    s_iPlaced = Cells();
    s_pfnGridHover = g_pfnMouseHover;
    g_pfnMouseHover = WatchCells;
}

TEST_F(InputScript, SpacePlaysAndStopsAndControlZUndoesOneSongStep)
{
    EXPECT_EQ(RunDumped(PlaceRiffAndWatch, 80,
                        {"40 keydown Ctrl", "41 keydown Z", "42 keyup Z", "43 keyup Ctrl", "50 keydown Space",
                         "51 keyup Space", "60 keydown Space", "61 keyup Space"}),
              0);
    g_pfnMouseHover = s_pfnGridHover;
    EXPECT_GT(s_iPlaced, s_iBefore) << "the item placed a riff";
    EXPECT_EQ(Count("Seq_UndoLastStep"), 1);
    EXPECT_EQ(s_iCells, s_iBefore) << "Control+Z took the riff away again";
    EXPECT_EQ(Count("Ui_PlayFromCursor"), 1);
    EXPECT_EQ(g_iScreen, 0) << "the second Space stopped the song and left screen 4";
}

// Check 6: a caption drag stops flush with the right edge at an even x; the close box runs the
// screen's back action.
TEST_F(InputScript, CaptionDragStopsFlushAndTheCloseBoxGoesBack)
{
    EXPECT_EQ(RunDumped(OpenDialog, 70,
                        {"40 mousemove -2000 -2000", "41 mousemove 300 210", "43 mousedown 1",
                         "45 mousemove 200 0", "47 mousemove 200 0", "49 mousemove 200 100", "52 mouseup 1"}),
              0);
    ASSERT_NE(s_pWindow, nullptr);
    EXPECT_EQ(s_pWindow->x + s_pWindow->w, 640);
    EXPECT_EQ(s_pWindow->x % 2, 0);
    EXPECT_EQ(s_pWindow->y, 300);
    // Press the close box of the moved window (its left 23 pixels).
    EXPECT_EQ(RunDumped(OpenDialog, 70,
                        {"40 mousemove -2000 -2000", "41 mousemove 210 210", "43 mousedown 1", "44 mouseup 1"}),
              0);
    EXPECT_EQ(Count("Ui_CloseBoxClick"), 1);
    EXPECT_EQ(s_pWindow->x, 200) << "the press closed, it did not drag";
}

// Check 7: holding the slider's right arrow steps 1,1,1,1,1,2,2,... every 6 frames; the close
// box stores the value.
TEST_F(InputScript, HeldSliderArrowStepsFasterAndTheValueIsStored)
{
    // The editor: 200 wide at x 220, y 90; its bar from x 226, 132 wide; the right arrow's last
    // pixels at x 355, y 117.
    EXPECT_EQ(RunDumped(OpenValueEditor, 120,
                        {"40 mousemove -2000 -2000", "41 mousemove 355 118", "43 mousedown 1", "106 mouseup 1",
                         "106 mousemove -2000 -2000", "107 mousemove 228 100", "109 mousedown 1", "110 mouseup 1"}),
              0);
    // A step at the press and every 6 frames after, 11 in all before the release.
    EXPECT_EQ(s_iStored, 1 + 1 + 1 + 1 + 1 + 2 + 2 + 2 + 2 + 2 + 4);
    EXPECT_EQ(Count("Ui_ValueEditorClose"), 1);
}

TEST_F(InputScript, HeldSliderLeavesTheEditorOpenForTheDump)
{
    EXPECT_EQ(RunDumped(OpenValueEditor, 75, {"40 mousemove -2000 -2000", "41 mousemove 355 118", "43 mousedown 1", "74 mouseup 1"}),
              0);
    EXPECT_EQ(s_iStored, -1) << "still open";
}

// Check 8: renaming a riff by both keyboards, accepted; and cancelled.
TEST_F(InputScript, RenameRiffByBothKeyboardsThenAccept)
{
    // The entry at (200, 100); key k at 210 + (k % 10) * 22, 150 + (k / 10) * 16, 20 x 14.
    EXPECT_EQ(RunDumped(OpenRename, 80,
                        {"40 text BASS",
                         "44 mousemove -2000 -2000", "45 mousemove 240 204", // key 31 'V'
                         "46 mousedown 1", "47 mouseup 1", "50 mousemove 22 -32", // key 12 'C'
                         "51 mousedown 1", "52 mouseup 1", "55 text 1234567890", "60 char 13"}),
              0);
    EXPECT_EQ(s_accepts, 1);
    EXPECT_EQ(s_cancels, 0);
    // The old name was edited on: the field starts with it. At most 11 characters.
    EXPECT_LE(s_name.size(), 11u);
    EXPECT_NE(s_name.find("BASSVC"), std::string::npos) << s_name;
}

TEST_F(InputScript, RenameRiffOpenForTheDump)
{
    EXPECT_EQ(RunDumped(OpenRename, 60,
                        {"40 text X", "44 mousemove -2000 -2000", "45 mousemove 240 204", "46 mousedown 1",
                         "47 mouseup 1"}),
              0);
    EXPECT_EQ(s_accepts + s_cancels, 0);
    EXPECT_NE(std::strstr(g_szTextEntryField, "XV"), nullptr) << g_szTextEntryField;
}

TEST_F(InputScript, RenameRiffCancelledLeavesTheName)
{
    EXPECT_EQ(RunDumped(OpenRename, 70, {"40 text ZZZ", "45 char 27"}), 0);
    EXPECT_EQ(s_cancels, 1);
    EXPECT_EQ(s_accepts, 0);
    EXPECT_EQ(s_name.find("ZZZ"), std::string::npos) << s_name;
}

} // namespace
