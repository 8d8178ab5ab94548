// The song data lanes, the option gadget engine and the mixer panel, driven through their own
// calls on the song grid: run marking limits, removing entries, the dialogs' values and what
// they store, the option pages' links and the device name shortening, the mixer's line checks.
#include "ui/ui_fixture.h"

#include "editors/blockselect.h"
#include "editors/mixerpanel.h"
#include "editors/options.h"
#include "editors/songlanes.h"
#include "editors/topbar.h"
#include "platform/backend.h"
#include "platform/mixer_device.h"
#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/busybox.h"
#include "ui/frontend.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/hover.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "editors/filescreen.h"
#include "ui/valueslider.h"
#include "ui/view.h"
#include "video/lanes.h"

using namespace uitest;

namespace {

class Lanes : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Seq_ResetSongModel();
        Seq_Init();
        Seq_NewSong();
        Seq_AllocUndoLog();
        Sys_SetGridLayout();
        Vid_InitLanes();
        Ui_ResetGridRows();
        Ui_ResetMenuItems();
        g_uSongRowCount = 64;
        g_ucGridOptions = 0;
        Ui_SetGridPlace(1, -1, -1, 0, 0);
        Ui_SetGridPlace(2, -1, -1, 0, 0);
        Ui_InitFrontEnd();
        Ui_ReturnToMainScreen();
        g_tLaneDialog = LANEDIALOG{};
        g_tKeyDialog = KEYDIALOG{};
        Ed_InitOptionPages();
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        g_pTopBarWindow = nullptr;
        g_pOptionWindow = nullptr;
        g_pGadgetPage = g_pCurrentGadget = nullptr;
        g_ucOptionPageMode = 0;
        // The dialogs leave their menu page and boxes behind: the next suite starts clean.
        Ui_ResetMessageBoxes();
        g_bModalBoxOpen = 0;
        Ui_SetMenuPage(0);
        Seq_ResetSongModel();
        Ui_ResetMenuItems();
        g_iScreen = 10;
        UiTest::TearDown();
    }
    // Puts the grid cursor on a column of a lane row.
    static void CursorAt(int32_t column, int32_t row)
    {
        ASSERT_NE(g_pGridView, nullptr);
        g_sGridCursorX = int16_t(column - g_pGridView->firstColumn - 1);
        g_sGridCursorY = int16_t(row - g_pGridView->firstRow - 1);
    }
    static void Mark(int32_t first, int32_t last, int32_t row)
    {
        g_asGridMark[0] = int16_t(first);
        g_asGridMark[1] = int16_t(row);
        g_asGridMark[2] = int16_t(last);
        g_asGridMark[3] = int16_t(row);
    }
    static TRACKQUERY At(int32_t position, int32_t kind)
    {
        TRACKQUERY q{};
        q.iRow = int16_t(position);
        EXPECT_NE(Seq_GetTrackEntryAt(&q, kind), 0) << position;
        return q;
    }
};

TEST_F(Lanes, GrowingARunStopsAtAnotherEntryTheSongEndAndThirtyOneRows)
{
    ASSERT_GE(Seq_SetTrackEntry(30, 2, 150, 150, 0, 0, 0, 0, 0, LIST_TEMPO), 0);
    const struct
    {
        int32_t first, last;
        int32_t want; // the run's end after one step
    } kCases[] = {
        {20, 25, 26}, // free cells
        {20, 29, 29}, // 30 is where the next entry starts
        {40, 63, 63}, // the song has 64 rows
        {1, 31, 31},  // 31 rows already
        {2, 31, 32},  // 30 rows: one more fits
    };
    for (const auto &c : kCases) {
        Mark(c.first, c.last, 101);
        Ed_SongRangeGrow();
        EXPECT_EQ(g_asGridMark[2], c.want) << c.first << ".." << c.last;
    }
    Mark(20, 20, 101);
    Ed_SongRangeShrink();
    EXPECT_EQ(g_asGridMark[2], 20) << "a run never shrinks below its start";
}

TEST_F(Lanes, AcceptedRunOpensTheBarRangeDialogAndStoresARamp)
{
    Mark(12, 5, 101); // marked leftwards
    Ed_SongRangeAccept();
    ASSERT_EQ(g_ucOptionPageMode, 1);
    ASSERT_EQ(g_pGadgetPage, g_atBarRangePage);
    EXPECT_EQ(g_tLaneDialog.first, 5);
    EXPECT_EQ(g_tLaneDialog.last, 12);
    EXPECT_EQ(g_tLaneDialog.mode, LANEDIALOG_BPM);
    const int32_t tempo = g_tLaneDialog.start;
    EXPECT_EQ(g_tLaneDialog.both, tempo);
    // "Start/End" moves both sliders; then "End" alone.
    g_pCurrentGadget = &g_atBarRangePage[2];
    Ui_StepValueSlider(g_atBarRangePage[2].widget, 30);
    Ed_LaneDialogSync(&g_atBarRangePage[2]);
    EXPECT_EQ(g_atBarRangePage[0].widget->value, tempo + 30);
    EXPECT_EQ(g_atBarRangePage[1].widget->value, tempo + 30);
    Ui_StepValueSlider(g_atBarRangePage[1].widget, 60);
    Ed_OptionPageBack();
    EXPECT_EQ(g_ucOptionPageMode, 0);
    EXPECT_EQ(g_tLaneDialog.guard, 3);
    const TRACKQUERY q = At(5, LIST_TEMPO);
    EXPECT_EQ(q.uRowsIn, 0);
    EXPECT_EQ(q.uLength, 8);
    EXPECT_EQ(q.uStart, tempo + 30);
    EXPECT_EQ(q.uEnd, tempo + 90);
}

TEST_F(Lanes, EditingAnEntryOpensOnTheWholeEntryAndTheGuardKeepsItShutForThreeFrames)
{
    ASSERT_GE(Seq_SetTrackEntry(8, 4, 20, 80, 0, 0, 0, 0, 0, LIST_VOLUME), 0);
    CursorAt(10, 99);
    Ed_SongEditEntryAtCursor();
    ASSERT_EQ(g_ucOptionPageMode, 1);
    EXPECT_EQ(g_tLaneDialog.mode, LANEDIALOG_VOLUME);
    EXPECT_EQ(g_tLaneDialog.first, 8) << "from the entry's start, not the cursor";
    EXPECT_EQ(g_tLaneDialog.last, 11);
    EXPECT_EQ(g_tLaneDialog.start, 20);
    EXPECT_EQ(g_tLaneDialog.end, 80);
    Ed_OptionPageBack();
    for (int frame = 0; frame < 3; frame++) {
        Ed_SongEditEntryAtCursor();
        EXPECT_EQ(g_ucOptionPageMode, 0) << "frame " << frame;
        Ed_SongLanesFrame();
    }
    Ed_SongEditEntryAtCursor();
    EXPECT_EQ(g_ucOptionPageMode, 1);
    Ed_OptionPageBack();
}

TEST_F(Lanes, MarkingAnEntryMarksItsWholeRunAndTheRunOpensItsDialog)
{
    ASSERT_GE(Seq_SetTrackEntry(8, 4, 20, 80, 0, 0, 0, 0, 0, LIST_VOLUME), 0);
    ASSERT_GE(Seq_SetTrackEntry(20, 3, 40, 40, 7, 5, 6, 1, 2, LIST_EFFECT), 0);
    ASSERT_GE(Seq_SetTrackEntry(40, 21, 90, 130, 0, 0, 0, 0, 0, LIST_TEMPO), 0);
    const struct
    {
        int32_t column, row;
        int32_t first, last; // -1: refused
        int32_t cursorX, pending;
    } kCases[] = {
        {10, 99, 8, 11, 11, 0},    // the volume entry, from inside it
        {20, 100, 20, 22, 17, 5},  // the reverb entry from its first column; its end is past 17 columns
        {45, 101, 40, 60, 17, 43}, // the tempo entry: the view follows its end
        {30, 99, -1, -1, 0, 0},    // no entry there
        {3, 102, -1, -1, 0, 0},    // the key lane has no runs
        {3, 50, -1, -1, 0, 0},     // a track
    };
    for (const auto &c : kCases) {
        CursorAt(c.column, c.row);
        g_iNextScreen = -1;
        g_cGridPendingColumns = 0;
        g_asGridMark[0] = g_asGridMark[2] = -5;
        Ui_MarkBlockRange();
        if (c.first < 0) {
            EXPECT_EQ(g_iNextScreen, -1) << c.column << "," << c.row;
            EXPECT_EQ(g_asGridMark[0], -5) << "nothing marked";
            continue;
        }
        EXPECT_EQ(g_iNextScreen, SCREEN_LANE_RANGE) << c.column;
        EXPECT_EQ(g_asGridMark[0], c.first) << c.column;
        EXPECT_EQ(g_asGridMark[2], c.last) << c.column;
        EXPECT_EQ(g_asGridMark[1], c.row);
        EXPECT_EQ(g_asGridMark[3], c.row);
        EXPECT_EQ(g_ucGridMarkStyle, 3);
        EXPECT_EQ(g_sGridCursorX, c.cursorX) << c.column;
        EXPECT_EQ(g_cGridPendingColumns, c.pending) << c.column;
    }
    g_cGridPendingColumns = 0;

    // "Area selection" on a lane marks the entry there; accepting the run edits that entry.
    CursorAt(9, 99);
    g_iNextScreen = -1;
    Ed_BlockBegin();
    EXPECT_EQ(g_iNextScreen, SCREEN_LANE_RANGE);
    EXPECT_EQ(g_asGridMark[0], 8);
    EXPECT_EQ(g_asGridMark[2], 11);
    Ed_SongRangeAccept();
    ASSERT_EQ(g_ucOptionPageMode, 1);
    EXPECT_EQ(g_tLaneDialog.mode, LANEDIALOG_VOLUME);
    EXPECT_EQ(g_tLaneDialog.first, 8);
    EXPECT_EQ(g_tLaneDialog.last, 11);
    EXPECT_EQ(g_tLaneDialog.end, 80) << "the entry's own values";
    Ed_OptionPageBack();
    EXPECT_EQ(At(8, LIST_VOLUME).uLength, 4) << "stored back whole";

    // While the guard of a closed dialog runs, marking does nothing.
    g_iNextScreen = -1;
    CursorAt(10, 99);
    Ui_MarkBlockRange();
    EXPECT_EQ(g_iNextScreen, -1);
}

// The other dialogs on the gadget engine leave by their own way: the mix panel (mode 3) keeps
// its values and mixes behind the busy box on the sample editor's screen; the CD options (mode
// 4) close back where they were opened; a page of no known dialog still closes.
TEST_F(Lanes, MixPanelAndCdOptionsCloseFromTheirPages)
{
    for (const uint8_t mode : {3, 4, 2}) {
        Ed_OpenOptionPage();
        ASSERT_TRUE(Ui_WindowIsOpen(g_pOptionWindow)) << int(mode);
        WINDOW *page = g_pOptionWindow;
        g_ucOptionPageMode = mode;
        g_iNextScreen = -1;
        if (mode == 3)
            Ui_SetBusyOperation(16, nullptr, nullptr); // no mix operation for this step
        Ed_OptionPageBack();
        EXPECT_FALSE(Ui_WindowIsOpen(page)) << int(mode);
        EXPECT_EQ(g_pOptionWindow, nullptr) << int(mode);
        EXPECT_EQ(g_pCurrentGadget, nullptr) << int(mode);
        if (mode == 3) {
            EXPECT_EQ(g_iNextScreen, 15) << "the sample editor's screen: no mix operation yet";
            // With the mix operation there it runs behind the busy box, then back on screen 15.
            Ui_SetBusyOperation(16, [] { return uint8_t(0); }, [] { g_iNextScreen = 15; });
            Ed_OpenOptionPage();
            g_ucOptionPageMode = 3;
            Ed_OptionPageBack();
            EXPECT_FALSE(Ui_WindowIsOpen(g_pOptionWindow));
            EXPECT_TRUE(Ui_WindowIsOpen(g_pBusyBoxWindow));
            EXPECT_EQ(g_tBusyBox.code, 16);
            Ui_ResetBusyBox();
        } else {
            EXPECT_EQ(Ui_GetFocus(), static_cast<void *>(g_pGridWindow)) << int(mode);
        }
        g_ucOptionPageMode = 0;
    }
}

TEST_F(Lanes, ReverbTypesWithoutEchoStoreTheirDelayAndFeedbackAsOneOneZeroZero)
{
    for (const int type : {1, 5, 7, 8}) {
        g_tLaneDialog = LANEDIALOG{};
        Mark(20, 23, 100);
        Ed_SongRangeAccept();
        ASSERT_EQ(g_pGadgetPage, g_atReverbPage) << type;
        Ui_StepValueSlider(g_atReverbPage[0].widget, type - g_atReverbPage[0].widget->value);
        Ed_LaneDialogSync(&g_atReverbPage[0]);
        const bool echo = type == 7 || type == 8;
        EXPECT_EQ((g_atReverbPage[3].flags & GADGET_DISABLED) == 0, echo) << type;
        for (int i = 3; i <= 6; i++)
            Ui_StepValueSlider(g_atReverbPage[i].widget, 40);
        Ed_OptionPageBack();
        const TRACKQUERY q = At(20, LIST_EFFECT);
        EXPECT_EQ(q.ucType, type);
        if (echo) {
            EXPECT_GT(q.uAStart, 1) << type;
            EXPECT_GT(q.uBEnd, 0) << type;
        } else {
            EXPECT_EQ(q.uAStart, 1) << type;
            EXPECT_EQ(q.uAEnd, 1) << type;
            EXPECT_EQ(q.uBStart, 0) << type;
            EXPECT_EQ(q.uBEnd, 0) << type;
        }
        for (int f = 0; f < 3; f++)
            Ed_SongLanesFrame();
    }
}

TEST_F(Lanes, DeletingRemovesTheWholeEntryButNeverTheFirst)
{
    ASSERT_GE(Seq_SetTrackEntry(10, 5, 60, 60, 0, 0, 0, 0, 0, LIST_VOLUME), 0);
    const int32_t entries = Seq_CountTrackEntries(LIST_VOLUME);
    CursorAt(0, 99);
    Ed_SongCutEntryAtCursor();
    EXPECT_EQ(Seq_CountTrackEntries(LIST_VOLUME), entries) << "the entry at position 0 stays";
    CursorAt(13, 99); // inside the entry, not on its start
    Ed_SongCutEntryAtCursor();
    EXPECT_EQ(Seq_CountTrackEntries(LIST_VOLUME), entries - 1);
    TRACKQUERY q{};
    q.iRow = 13;
    Seq_GetTrackEntryAt(&q, LIST_VOLUME);
    EXPECT_EQ(q.uRowsIn, 13) << "position 13 belongs to the first entry again";
}

TEST_F(Lanes, TransposeKeyDialogStepsKeysCyclesTheScaleAndStoresTheKey)
{
    CursorAt(6, 102);
    Ed_SongEditEntryAtCursor();
    ASSERT_EQ(g_iNextScreen, SCREEN_KEY_DIALOG);
    for (int i = 0; i < 20; i++) {
        Ed_SlotDialogRight();
        Ed_SongLanesFrame();
        Ed_SongLanesFrame();
        Ed_SongLanesFrame();
    }
    EXPECT_EQ(g_tKeyDialog.slot, 12) << "the last key";
    Ed_SlotDialogDown();
    const uint8_t scales[] = {1, 2, 0, 1};
    for (uint8_t want : scales) {
        Ed_SlotDialogAccept();
        EXPECT_EQ(g_tKeyDialog.scale, want);
    }
    Ed_SlotDialogUp();
    EXPECT_EQ(g_tKeyDialog.slot, 12);
    Ed_SlotDialogAccept();
    const TRACKQUERY q = At(6, LIST_KEY);
    EXPECT_EQ(q.uRowsIn, 0);
    EXPECT_EQ(q.uStart, 12);
    EXPECT_EQ(q.uEnd, 1);
    EXPECT_EQ(g_tLaneDialog.guard, 3);
}

TEST_F(Lanes, LaneCaptionNamesTheLaneOnlyWhereAnEntryLies)
{
    ASSERT_GE(Seq_SetTrackEntry(4, 3, 90, 100, 0, 0, 0, 0, 0, LIST_TEMPO), 0);
    const struct
    {
        int32_t column, row;
        const char *caption;
    } kCases[] = {{5, 101, "BPM data"}, {7, 101, ""}, {0, 99, "volume data"}, {0, 100, "reverb data"},
                  {0, 102, "key data"}, {9, 102, ""}, {5, 98, ""}, {-1, 101, ""}};
    for (const auto &c : kCases)
        EXPECT_STREQ(Ed_LaneCaption(c.column, c.row), c.caption) << c.column << "," << c.row;
}

// Clear Music asks first: "No" keeps the song, "Yes" makes a new one and names it afresh.
TEST_F(Lanes, ClearMusicAsksAndOnlyYesClearsTheSong)
{
    Ed_OpenOptionPage();
    ASSERT_TRUE(Ui_WindowIsOpen(g_pOptionWindow));
    ASSERT_GE(Seq_SetTrackEntry(10, 2, 200, 200, 0, 0, 0, 0, 0, LIST_TEMPO), 0);
    std::snprintf(g_szSongTitle, sizeof g_szSongTitle, "%s", "Mine");
    for (const uint8_t button : {0, 1}) {
        g_aatOptionPages[0][0].action();
        ASSERT_NE(g_pCurrentMsgBox, nullptr);
        g_pCurrentMsgBox->ucChosen = button;
        Ui_CloseMessageBox(g_pCurrentMsgBox);
        if (button == 0) {
            EXPECT_EQ(Seq_CountTrackEntries(LIST_TEMPO), 2) << "No keeps the song";
            EXPECT_STREQ(g_szSongTitle, "Mine");
        } else {
            EXPECT_EQ(Seq_CountTrackEntries(LIST_TEMPO), 1);
            EXPECT_STREQ(g_szSongTitle, "TONNIVELLE file");
            EXPECT_STREQ(g_szSongAuthor, "Author");
            ASSERT_NE(g_pCurrentMsgBox, nullptr) << "the song is cleared: it says so";
            Ui_CloseMessageBox(g_pCurrentMsgBox);
        }
        Ui_ResetMessageBoxes();
    }
    Ed_OptionPageBack();
}

TEST_F(Lanes, OptionPagesLinkAsTheirButtonsStandAndWalkWithoutWrapping)
{
    // Down from each page's fourth button, and where Next leads.
    const struct
    {
        int page, from, side, to;
    } kLinks[] = {
        {0, 0, GADGET_RIGHT, 1}, {0, 0, GADGET_DOWN, 2}, {0, 1, GADGET_DOWN, 6}, {0, 3, GADGET_DOWN, 6},
        {1, 2, GADGET_DOWN, 6},  {1, 3, GADGET_DOWN, 7}, {1, 6, GADGET_RIGHT, 7}, {2, 3, GADGET_DOWN, 7},
        {3, 2, GADGET_DOWN, 6},  {3, 3, GADGET_DOWN, 6}, {3, 6, GADGET_UP, 2},
    };
    for (const auto &l : kLinks)
        EXPECT_EQ(g_aatOptionPages[l.page][l.from].link[l.side], l.to) << l.page << "/" << l.from;
    // No link leads to Credits or to "Change Mixer Settings".
    for (int p = 0; p < ED_OPTION_PAGES; p++)
        for (int g = 0; g < ED_GADGETS; g++)
            for (int side = 0; side < 4; side++) {
                if (p == 0) {
                    EXPECT_NE(g_aatOptionPages[p][g].link[side], 3);
                }
                if (p == 2) {
                    EXPECT_NE(g_aatOptionPages[p][g].link[side], 4);
                }
            }
    Ed_OpenOptionPage();
    ASSERT_EQ(g_pGadgetPage, g_aatOptionPages[0]);
    for (int p = 1; p < ED_OPTION_PAGES + 2; p++)
        Ed_OptionNextPage();
    EXPECT_EQ(g_pGadgetPage, g_aatOptionPages[3]) << "Next stops on the last page";
    for (int p = 0; p < ED_OPTION_PAGES + 2; p++)
        Ed_OptionPrevPage();
    EXPECT_EQ(g_pGadgetPage, g_aatOptionPages[0]);
    EXPECT_EQ(g_pCurrentGadget, &g_aatOptionPages[0][0]);
    Ed_GadgetDown();
    Ed_GadgetDown();
    EXPECT_EQ(g_pCurrentGadget, &g_aatOptionPages[0][6]);
    Ed_OptionPageBack();
    EXPECT_FALSE(Ui_WindowIsOpen(g_pOptionWindow));
}

TEST_F(Lanes, DeviceNamesLongerThanThePanelAreCutWithDots)
{
    const struct
    {
        size_t length;
        size_t shown;
    } kCases[] = {{0, 0}, {28, 28}, {29, 29}, {32, 32}, {33, 32}, {200, 32}};
    for (const auto &c : kCases) {
        const std::string name(c.length, 'x');
        char out[40];
        Ed_ShortDeviceName(name.c_str(), out, sizeof out);
        EXPECT_EQ(std::strlen(out), c.shown) << c.length;
        if (c.length > 32) {
            EXPECT_STREQ(out + 29, "...");
        }
    }
    char number[8];
    Ed_PanelNumber(-1, number, sizeof number);
    EXPECT_STREQ(number, "-1") << "a plain number, no stray percent sign";
}

TEST_F(Lanes, MixerPanelRefusesALineIndexFromAnotherCardAndClosesTheMixer)
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    for (const int32_t line : {-1, 2, 99}) {
        g_iMixerLineIndex = line;
        Ed_OpenMixerPanel();
        EXPECT_FALSE(Ui_WindowIsOpen(g_pMixerWindow)) << line;
        EXPECT_FALSE(Plat_MixerIsOpen()) << line;
    }
    g_iMixerLineIndex = 0;
    g_iScreen = 0;
    Ed_OpenMixerPanel();
    ASSERT_TRUE(Ui_WindowIsOpen(g_pMixerWindow));
    EXPECT_EQ(g_ucMixerControlCount, 4);
    // Rows past the line's controls have no slider, and the focus never goes past the last.
    EXPECT_EQ(g_astMixerScreenLines[4].slider, nullptr);
    for (int i = 0; i < 20; i++)
        Ed_MixerLineDown();
    EXPECT_EQ(g_ucMixerLine, 3);
    // Another line on the line slider: its names and levels on the next frame.
    VALUESLIDER *lineSlider = nullptr;
    for (VALUESLIDER &v : g_atValueSliders)
        if (!(v.head.flags & WIDGET_FREE) && v.target == &g_iMixerLineIndex)
            lineSlider = &v;
    ASSERT_NE(lineSlider, nullptr);
    Ui_StepValueSlider(lineSlider, 1);
    Ed_MixerPanelDraw(nullptr);
    EXPECT_EQ(g_iMixerLineIndex, 1);
    EXPECT_STREQ(g_astMixerScreenLines[0].name, "Capture Volume");
    EXPECT_STREQ(g_astMixerScreenLines[1].name, "Input Source");
    EXPECT_EQ(g_ucMixerControlCount, 2);
    EXPECT_NE(g_astMixerScreenLines[2].slider->head.flags & VALUESLIDER_SKIP_ALL, 0u) << "rows past the line's";
    EXPECT_LT(g_ucMixerLine, 2) << "the focus stays on a row of the line";
    Ed_CloseMixerPanel();
    EXPECT_FALSE(Plat_MixerIsOpen());
    EXPECT_EQ(g_iMixerLineIndex, 1) << "kept for the next opening";
    Ed_OpenMixerPanel();
    ASSERT_TRUE(Ui_WindowIsOpen(g_pMixerWindow));
    EXPECT_STREQ(g_astMixerScreenLines[0].name, "Capture Volume");
    Plat_MixerHeadlessFailOpen(true);
    Ed_CloseMixerPanel();
    Ed_OpenMixerPanel();
    EXPECT_FALSE(Ui_WindowIsOpen(g_pMixerWindow)) << "a mixer that cannot open shows no panel";
    Plat_MixerHeadlessFailOpen(false);
}

} // namespace

namespace {

void PressAt(WINDOW *w, int32_t dx, int32_t dy)
{
    g_sMouseX = int16_t(w->x + dx);
    g_sMouseY = int16_t(w->y + dy);
    Ui_MouseLeftPress(w);
}

} // namespace

// The reverb dialog's arrows (left and right ends of its type row) step the reverb type, never
// below 1 nor above 9, and the delay and feedback rows follow the echo types; the bar range
// dialog of other lanes has no such arrows.
TEST_F(Lanes, ReverbDialogArrowsStepTheTypeBetweenOneAndNine)
{
    Mark(20, 23, 100);
    Ed_SongRangeAccept();
    ASSERT_EQ(g_pGadgetPage, g_atReverbPage);
    WINDOW *w = g_tLaneDialog.window;
    ASSERT_NE(w, nullptr);
    g_iScreen = 22;
    const int32_t left = 12, right = w->w - 10, row = 40;
    const struct
    {
        int from, dx, dy, want;
    } cases[] = {
        {1, left, row, 1}, {2, left, row, 1}, {6, right, row, 7}, {7, left, row, 6},
        {8, right, row, 9}, {9, right, row, 9},
        {5, left, 34, 5},  // the row's top edge is outside it
        {5, w->w / 2, row, 5}, // between the arrows
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " at " << c.dx << "," << c.dy);
        Ui_StepValueSlider(g_atReverbPage[0].widget, c.from - g_atReverbPage[0].widget->value);
        Ed_LaneDialogSync(&g_atReverbPage[0]);
        PressAt(w, c.dx, c.dy);
        EXPECT_EQ(g_atReverbPage[0].widget->value, c.want);
        const bool echo = c.want == 7 || c.want == 8;
        for (int i = 3; i <= 6; i++)
            EXPECT_EQ((g_atReverbPage[i].flags & GADGET_DISABLED) == 0, echo) << i;
    }
    Ed_OptionPageBack();
    EXPECT_EQ(At(20, LIST_EFFECT).ucType, 5);
    for (int f = 0; f < 3; f++)
        Ed_SongLanesFrame();

    // A volume run's dialog: the same places change nothing.
    Mark(30, 33, 99);
    Ed_SongRangeAccept();
    ASSERT_EQ(g_pGadgetPage, g_atBarRangePage);
    w = g_tLaneDialog.window;
    const LANEDIALOG before = g_tLaneDialog;
    PressAt(w, left, row);
    PressAt(w, w->w - 10, row);
    EXPECT_EQ(g_tLaneDialog.start, before.start);
    EXPECT_EQ(g_tLaneDialog.end, before.end);
    Ed_OptionPageBack();
}

// The transpose key dialog: the key under the pointer becomes the chosen one, the OK row the
// scale row (keeping the key to come back to); a press there stores the key.
TEST_F(Lanes, KeyDialogFollowsThePointerAndAPressStoresTheKey)
{
    CursorAt(6, 102);
    Ed_SongEditEntryAtCursor();
    WINDOW *w = g_tKeyDialog.window;
    ASSERT_NE(w, nullptr);
    const struct
    {
        int dx, dy, slot, kept;
    } cases[] = {
        {6 + 16 * 3 + 5, 30, 3, 0},
        {6 + 16 * 12 + 2, 30, 12, 0},
        {213, 30, 12, 0},  // past the last key: still the last
        {100, 50, 13, 12}, // the scale row
        {100, 41, 13, 12}, // between the rows: nothing changes
        {6, 30, 13, 12},   // the row's left edge is outside it
        {6 + 5, 24, 0, 12},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        g_sMouseX = int16_t(w->x + c.dx);
        g_sMouseY = int16_t(w->y + c.dy);
        Ui_SlotDialogHover();
        EXPECT_EQ(g_tKeyDialog.slot, c.slot);
        EXPECT_EQ(g_tKeyDialog.keptSlot, c.kept);
    }
    g_iScreen = SCREEN_KEY_DIALOG;
    PressAt(w, 6 + 16 * 5 + 3, 30);
    EXPECT_EQ(g_tKeyDialog.window, nullptr) << "the press accepts";
    EXPECT_EQ(At(6, LIST_KEY).uStart, 5);
}
