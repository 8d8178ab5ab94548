// The editor top bar and the section switching, and block editing through its calls: the front
// end's start-up state, moving the highlight, choosing each section and coming back, the prompt
// hold; copy, carry and paste of riffs, play area with the user's mutes, riff notes.
#include "ui/ui_fixture.h"

#include "core/browser.h"
#include "core/console_memory.h"
#include "jam/jamsession.h"
#include "editors/blockselect.h"
#include "editors/options.h"
#include "editors/filescreen.h"
#include "editors/topbar.h"
#include "sequencer/channels.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/frontend.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "video/chase.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"

using namespace uitest;

namespace {

class Editors : public UiTest
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
        g_tBlock = BLOCKSELECTION{};
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        g_pTopBarWindow = nullptr;
        g_bSongPlaying = 0;
        Seq_ResetSongModel();
        Ui_ResetMenuItems();
        g_iScreen = 10;
        UiTest::TearDown();
    }
    // Frames with the pad dispatch, the screen change at their end.
    static void Frames(int n)
    {
        for (int i = 0; i < n; i++) {
            Frame();
            if (g_iNextScreen >= 0) {
                g_iScreen = g_iNextScreen;
                g_iNextScreen = -1;
            }
        }
    }
    static bool GridFocused() { return g_pGridWindow && Ui_GetFocus() == g_pGridWindow; }
};

TEST_F(Editors, StartUpLandsFocusedOnTheSongGridUnderTheTopBar)
{
    EXPECT_EQ(g_iScreen, 0);
    EXPECT_EQ(g_ucGridKind, 2);
    EXPECT_TRUE(GridFocused());
    EXPECT_TRUE(Ui_WindowIsOpen(g_pTopBarWindow));
    EXPECT_EQ(g_ucTopBarButton, 0);
    EXPECT_STREQ(g_szSongTitle, "TONNIVELLE file");
    EXPECT_STREQ(g_szSongAuthor, "Author");
    EXPECT_EQ(g_abBevelColours[0], 15);
    EXPECT_EQ(g_abBevelColours[5], 80);
    for (int c = 0; c < 12; c++)
        EXPECT_EQ(g_aucChannelEnabled[c], 1) << c;
    EXPECT_EQ(g_ucGridRowCount, 6);
    EXPECT_TRUE(Seq_HasUndoLog());
    // The start-up text keeps the prompt line for 200 frames; after that screen prompts take it.
    EXPECT_EQ(g_usPromptTextId, 0);
    EXPECT_EQ(g_iStatusHoldFrames, 200);
    Frames(199);
    Ed_SetPromptText(24);
    EXPECT_EQ(g_usPromptTextId, 0) << "still held at frame 199";
    Frames(1);
    EXPECT_EQ(g_iStatusHoldFrames, 0);
    Ed_SetPromptText(24);
    EXPECT_EQ(g_usPromptTextId, 24);
}

TEST_F(Editors, HighlightStopsAtTheEnds)
{
    Ed_TopBarLeft();
    EXPECT_EQ(g_ucTopBarButton, 0);
    EXPECT_EQ(g_iBlinkPhase == 6, false) << "no move at the first button";
    for (int i = 0; i < 8; i++)
        Ed_TopBarRight();
    EXPECT_EQ(g_ucTopBarButton, 5);
    Ed_TopBarLeft();
    EXPECT_EQ(g_ucTopBarButton, 4);
    EXPECT_EQ(g_iBlinkPhase, 6);
}

TEST_F(Editors, LeavingTheGridFocusesTheTopBarWhosePromptIsTheButton)
{
    Ed_LeaveScreen();
    Frames(1);
    EXPECT_EQ(g_iScreen, 6);
    EXPECT_EQ(Ui_GetFocus(), g_pTopBarWindow);
    Ed_TopBarRight();
    Frames(1);
    EXPECT_EQ(g_usPromptTextId, 25) << "Video Track";
}

// Every section from the song grid and back: the built ones switch, the others refuse and leave
// the song grid as it was. The CD player and the options open their page over the grid.
TEST_F(Editors, EverySectionAndBack)
{
    struct
    {
        int button;
        int kind; // grid kind shown afterwards
        bool refused;
    } kCases[] = {{1, 1, false}, {0, 2, false}, {1, 1, false}, {1, 1, false}, {0, 2, false},
                  {0, 2, false}, {4, 2, false}, {5, 2, false}};
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.button);
        const uint32_t refused = g_uUnbuiltHandlerRuns;
        g_ucTopBarButton = uint8_t(c.button);
        Ed_TopBarChoose();
        Frames(6);
        if (c.button == 5 || c.button == 4) {
            // The option pages open over the grid and take the focus until they are left.
            EXPECT_TRUE(Ui_WindowIsOpen(g_pOptionWindow));
            EXPECT_EQ(Ui_GetFocus(), g_pOptionWindow);
            EXPECT_EQ(g_iScreen, SCREEN_OPTIONS);
            Ed_OptionPageBack();
            Frames(6);
            EXPECT_FALSE(Ui_WindowIsOpen(g_pOptionWindow));
            if (c.button == 5) {
                EXPECT_EQ(g_ucTopBarButton, 0);
            }
        }
        EXPECT_EQ(g_uUnbuiltHandlerRuns - refused, c.refused ? 1u : 0u);
        EXPECT_EQ(g_ucGridKind, c.kind);
        EXPECT_TRUE(GridFocused());
        EXPECT_TRUE(Ui_WindowIsOpen(g_pGridWindow));
        EXPECT_TRUE(Ui_WindowIsOpen(g_pTopBarWindow));
    }
}

// "Load and Save" closes the song grid and opens the file screen; its back key starts the clock
// and brings the song grid back.
TEST_F(Editors, LoadAndSaveOpensTheFileScreenAndBackReturnsToTheGrid)
{
    g_ucTopBarButton = 3;
    Ed_TopBarChoose();
    Frames(6);
    ASSERT_TRUE(Ui_WindowIsOpen(g_pFileBrowserWindow));
    EXPECT_EQ(g_iScreen, 11);
    EXPECT_EQ(Ui_GetFocus(), g_pFileBrowserWindow);
    EXPECT_FALSE(g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow)) << "the grid closed first";
    Ed_FileBrowserBack();
    Frames(6);
    EXPECT_EQ(g_pFileBrowserWindow, nullptr);
    EXPECT_EQ(g_ucGridKind, 2);
    EXPECT_TRUE(GridFocused());
    EXPECT_TRUE(Ui_WindowIsOpen(g_pGridWindow));
    EXPECT_TRUE(Ui_WindowIsOpen(g_pTopBarWindow));
}

// A section chosen while the file screen or the option pages are open closes them first: never
// two section windows at once, and the chosen one ends up focused.
TEST_F(Editors, ChoosingASectionClosesTheOpenFileScreenOrOptionPagesFirst)
{
    struct
    {
        int from;   // 3 file screen, 5 option pages
        int button; // then chosen
        int kind;   // grid kind shown afterwards, 0 none
    } kCases[] = {{3, 0, 2}, {3, 1, 1}, {3, 5, 0}, {5, 0, 2}, {5, 1, 1}, {5, 3, 0}};
    for (const auto &c : kCases) {
        SCOPED_TRACE(testing::Message() << "from " << c.from << " to " << c.button);
        g_ucTopBarButton = uint8_t(c.from);
        Ed_TopBarChoose();
        Frames(6);
        WINDOW *from = c.from == 3 ? g_pFileBrowserWindow : g_pOptionWindow;
        ASSERT_TRUE(from && Ui_WindowIsOpen(from));
        g_ucTopBarButton = uint8_t(c.button);
        Ed_TopBarChoose();
        Frames(6);
        EXPECT_FALSE(Ui_WindowIsOpen(from)) << "the section left is closed";
        if (c.kind) {
            EXPECT_EQ(g_ucGridKind, c.kind);
            EXPECT_TRUE(GridFocused());
        } else {
            WINDOW *to = c.button == 3 ? g_pFileBrowserWindow : g_pOptionWindow;
            ASSERT_TRUE(to && Ui_WindowIsOpen(to));
            EXPECT_EQ(Ui_GetFocus(), to);
            EXPECT_FALSE(g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow));
            if (c.button == 3)
                Ed_FileBrowserBack();
            else
                Ed_OptionPageBack();
            Frames(6);
        }
        ASSERT_TRUE(g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow));
        EXPECT_TRUE(Ui_WindowIsOpen(g_pTopBarWindow));
    }
}

// The option pages close the grid they were chosen from; leaving them brings back that grid.
TEST_F(Editors, OptionPagesComeBackToTheGridTheyWereChosenFrom)
{
    for (int kind : {1, 2}) {
        SCOPED_TRACE(kind);
        g_ucTopBarButton = uint8_t(kind == 1 ? 1 : 0);
        Ed_TopBarChoose();
        Frames(6);
        ASSERT_EQ(g_ucGridKind, kind);
        g_ucTopBarButton = 5;
        Ed_TopBarChoose();
        Frames(6);
        ASSERT_TRUE(Ui_WindowIsOpen(g_pOptionWindow));
        EXPECT_FALSE(g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow));
        Ed_OptionPageBack();
        Frames(6);
        EXPECT_EQ(g_ucGridKind, kind);
        EXPECT_EQ(g_ucTopBarButton, kind == 1 ? 1 : 0);
        EXPECT_TRUE(GridFocused());
    }
}

// "Music Jam" remembers the section it was chosen from, and the end of the jam rebuilds it.
TEST_F(Editors, AJamComesBackToTheSectionItWasStartedFrom)
{
    struct
    {
        int from;     // button open before the jam
        int returnTo; // g_ucJamReturnScreen
    } kCases[] = {{0, 2}, {1, 1}, {3, 6}, {5, 7}};
    const uint32_t freeMemory = g_uEmulatedFreeMemory;
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.from);
        g_ucTopBarButton = uint8_t(c.from);
        Ed_TopBarChoose();
        Frames(6);
        // Little memory: the warning box stands between the choice and the jam, which is not
        // started here.
        g_uEmulatedFreeMemory = 100;
        g_ucTopBarButton = 2;
        Ed_TopBarChoose();
        g_uEmulatedFreeMemory = freeMemory;
        EXPECT_EQ(g_ucJamReturnScreen, c.returnTo);
        Frames(6);
        ASSERT_TRUE(g_bModalBoxOpen);
        EXPECT_EQ(g_pfnJamEntry, Jam_StartSession);
        g_pfnJamEntry = nullptr;
        Ui_MessageBoxAccept();
        Frames(2);
        EXPECT_FALSE(g_pFileBrowserWindow && Ui_WindowIsOpen(g_pFileBrowserWindow));
        EXPECT_FALSE(g_pOptionWindow && Ui_WindowIsOpen(g_pOptionWindow));
        EXPECT_FALSE(g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow));
        Ed_ReturnFromJam();
        Frames(6);
        EXPECT_EQ(g_ucTopBarButton, c.from);
        EXPECT_TRUE(Ui_WindowIsOpen(g_pTopBarWindow));
        switch (c.from) {
        case 3:
            ASSERT_TRUE(g_pFileBrowserWindow && Ui_WindowIsOpen(g_pFileBrowserWindow));
            Ed_FileBrowserBack();
            break;
        case 5:
            ASSERT_TRUE(g_pOptionWindow && Ui_WindowIsOpen(g_pOptionWindow));
            Ed_OptionPageBack();
            break;
        default:
            EXPECT_EQ(g_ucGridKind, c.from == 1 ? 1 : 2);
            EXPECT_TRUE(GridFocused());
        }
        Frames(6);
    }
}

// "Set all on" / "Set all off" of the load pop-up tick and clear the parts the chosen file has;
// the parts it lacks stay disabled and unticked. With no pop-up up they change nothing.
TEST_F(Editors, SetAllOnAndOffTouchOnlyTheRowsThatCanBeChosen)
{
    g_ucTopBarButton = 3;
    Ed_TopBarChoose();
    Frames(6);
    ASSERT_TRUE(Ui_WindowIsOpen(g_pFileBrowserWindow));
    const uint32_t mask = g_uFilePreviewMask;
    g_uFilePreviewMask = FILEMASK_SONG | FILEMASK_RIFFS;
    Ed_OpenLoadPopup();
    g_uFilePreviewMask = mask;
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, 9);
    const uint8_t chosen = FILEROW_ENABLED | FILEROW_TICKED;
    struct
    {
        int item;
        uint8_t song, riff, clip, show;
    } kSteps[] = {{93, FILEROW_ENABLED, FILEROW_ENABLED, 0, 0}, {92, chosen, chosen, 0, 0}, {92, chosen, chosen, 0, 0}};
    for (const auto &step : kSteps) {
        SCOPED_TRACE(step.item);
        ASSERT_NE(g_atMenuItems[step.item].handler, nullptr);
        g_atMenuItems[step.item].handler();
        EXPECT_EQ(g_atFileComponents[FILECOMP_LOAD_SONG].flags, step.song);
        EXPECT_EQ(g_atFileComponents[FILECOMP_LOAD_RIFF].flags, step.riff);
        EXPECT_EQ(g_atFileComponents[FILECOMP_LOAD_CLIP].flags, step.clip);
        EXPECT_EQ(g_atFileComponents[FILECOMP_LOAD_SHOW].flags, step.show);
    }
    Ui_ClosePopup();
    g_vFileRiffTicks = {1, 0, 1};
    g_vFileRiffNames = {"a", "b", "c"};
    g_pCurrentPopup = nullptr;
    Ui_PopupSelectAll(); // no pop-up: nothing
    EXPECT_EQ(g_vFileRiffTicks, (std::vector<uint8_t>{1, 0, 1}));
    g_vFileRiffTicks.clear();
    g_vFileRiffNames.clear();
}

TEST_F(Editors, VideoTrackWithNoSectionOpenComesThreeFramesLater)
{
    Ui_CloseGridScreen();
    Frames(3);
    g_ucTopBarButton = 1;
    Ed_TopBarChoose();
    EXPECT_EQ(g_iNextScreen, 10);
    Frames(2);
    EXPECT_EQ(g_pGridWindow, nullptr);
    Frames(1);
    ASSERT_NE(g_pGridWindow, nullptr);
    EXPECT_EQ(g_ucGridKind, 1);
}

TEST_F(Editors, FunctionKeysRunTheirPageItemsButNotUnderABox)
{
    static int runs = 0;
    runs = 0;
    Ui_SetMenuItemHandler(1, [] { runs++; }); // page 0: F3 is "Play"
    Ed_RunFunctionKey(0x72);
    EXPECT_EQ(runs, 1);
    Ed_RunFunctionKey(0x74); // F5: "Riff Library", no handler: nothing
    g_bModalBoxOpen = 1;
    Ed_RunFunctionKey(0x72);
    g_bModalBoxOpen = 0;
    EXPECT_EQ(runs, 1);
}

class Blocks : public Editors
{
protected:
    int m_riff = 0, m_long = 0;
    void SetUp() override
    {
        Editors::SetUp();
        // A one-bar two-track riff at bar 2 on tracks 1-2, and a four-bar riff at bar 4, track 4.
        m_riff = Seq_NewRiff(1, 2);
        m_long = Seq_NewRiff(4, 1);
        ASSERT_EQ(Seq_PlaceRiffAt(m_riff, 2, 1), 1);
        ASSERT_EQ(Seq_PlaceRiffAt(m_long, 4, 4), 1);
        Seq_CloseUndoStep();
    }
    // Marks grid columns c0..c1 and rows r0..r1 as the user's block.
    static void Mark(int c0, int r0, int c1, int r1)
    {
        g_asGridMark[0] = int16_t(c0);
        g_asGridMark[1] = int16_t(r0);
        g_asGridMark[2] = int16_t(c1);
        g_asGridMark[3] = int16_t(r1);
        std::memcpy(&g_tBlock, g_asGridMark, sizeof g_asGridMark);
        g_tBlock.ucMode = 1;
    }
    // Puts the grid cursor on a cell (grid column, row) of the unscrolled view.
    static void CursorAt(int column, int row)
    {
        g_sGridCursorX = int16_t(column - g_pGridView->firstColumn - 1);
        g_sGridCursorY = int16_t(row - g_pGridView->firstRow - 1);
    }
};

TEST_F(Blocks, BeginOnARiffSelectsTheWholeRiff)
{
    CursorAt(2, 2); // the riff's second track
    Ed_BlockBegin();
    EXPECT_EQ(g_iNextScreen, 2);
    EXPECT_EQ(g_tBlock.origin[0], 2);
    EXPECT_EQ(g_tBlock.origin[1], 1);
    EXPECT_EQ(g_tBlock.corner[0], 2);
    EXPECT_EQ(g_tBlock.corner[1], 2);
    EXPECT_EQ(g_sMenuPage, 1);
    // The fixed rows below the tracks refuse.
    CursorAt(3, 99);
    const uint32_t before = g_uRefusals;
    g_iNextScreen = -1;
    Ed_BlockBegin();
    EXPECT_EQ(g_iNextScreen, -1);
    (void)before;
}

TEST_F(Blocks, CopyCarryPasteThenUndoAndARiffEndingOutsideStaysBehind)
{
    // Bars 2..5, tracks 1..4: the short riff is inside, the long one ends at bar 7, outside.
    Mark(2, 1, 5, 4);
    CursorAt(5, 4);
    Ed_BlockCopyAction();
    EXPECT_EQ(g_iNextScreen, 3);
    EXPECT_EQ(g_tBlock.ucClipboardKind, BLOCK_CLIP_SONG);
    Frames(1);
    // Carry the block ten bars on and paste it there.
    CursorAt(15, 4);
    Ed_BlockPaste();
    EXPECT_EQ(g_asGridMark[0], 12);
    EXPECT_EQ(Seq_GetRiffStartingAt(12, 1), m_riff);
    EXPECT_EQ(Seq_GetRiffStartingAt(14, 4), 0) << "the riff that ended outside the block is not copied";
    EXPECT_EQ(Seq_GetRiffStartingAt(2, 1), m_riff) << "the copy leaves the original";
    // Pasting again on the same cells pastes nothing and keeps the block in hand.
    g_iNextScreen = -1;
    Ed_BlockPaste();
    EXPECT_EQ(g_tBlock.ucMode, 2);
    Seq_UndoLastStep();
    EXPECT_EQ(Seq_GetRiffStartingAt(12, 1), 0);
    EXPECT_EQ(Seq_GetRiffStartingAt(2, 1), m_riff);
    Ed_BlockDrop();
    EXPECT_EQ(g_tBlock.ucMode, 0);
    EXPECT_EQ(g_iNextScreen, 0);
}

TEST_F(Blocks, CutTakesTheRiffsAwayAndPastesThemBack)
{
    Mark(2, 1, 2, 2);
    CursorAt(2, 2);
    Ed_BlockCutAction();
    EXPECT_EQ(Seq_GetRiffStartingAt(2, 1), 0);
    Frames(1);
    CursorAt(6, 2);
    Ed_BlockPaste();
    EXPECT_NE(Seq_GetRiffStartingAt(6, 1), 0);
}

TEST_F(Blocks, GrowthStopsAtTheSizeLimit)
{
    // A block whose next column would reach 395605 bytes does not grow.
    g_tBlock.origin[0] = 0;
    g_tBlock.origin[1] = 0;
    EXPECT_LT(Ed_BlockByteSize(998, 98), ED_BLOCK_BYTE_LIMIT);
    EXPECT_GE(Ed_BlockByteSize(999, 98), ED_BLOCK_BYTE_LIMIT);
    EXPECT_TRUE(Ed_BlockFits(3));
}

// Playing the area mutes the tracks outside it; stopping gives back the user's own mutes.
TEST_F(Blocks, PlayAreaKeepsTheUsersMutes)
{
    for (int t = 0; t < 99; t++)
        g_aChannelMute[t][3] = 0;
    g_aChannelMute[2][3] = 1; // muted by the user
    g_aChannelMute[40][3] = 1;
    Mark(2, 1, 3, 3);
    Ed_BlockPlayArea();
    EXPECT_EQ(g_iNextScreen, 5);
    EXPECT_EQ(g_aChannelMute[0][3], 1);
    EXPECT_EQ(g_aChannelMute[2][3], 0) << "inside the area: heard";
    EXPECT_EQ(g_aChannelMute[4][3], 1);
    Ed_BlockStopPlay();
    for (int t = 0; t < 99; t++)
        EXPECT_EQ(g_aChannelMute[t][3], (t == 2 || t == 40) ? 1 : 0) << t;
    for (int t = 0; t < 99; t++)
        g_aChannelMute[t][3] = 0;
}

TEST_F(Blocks, JoiningTooWideABlockOnlyReturns)
{
    const int riffs = g_uRiffCount;
    Mark(0, 0, 8, 3); // nine bars
    Ed_BlockJoinRiffs();
    EXPECT_EQ(g_uRiffCount, riffs);
    EXPECT_EQ(g_iNextScreen, 0);
}

// Riff notes through the block calls: cut a block of notes and paste it further on.
TEST_F(Blocks, RiffNotesCutAndPaste)
{
    g_uCurrentRiff = uint16_t(m_riff);
    g_uNoteEditTracks = 0xFFFF;
    g_ucNoteEditOctave = 3;
    ASSERT_TRUE(Ui_SetupGridScreen(3));
    RIFFENTRY *r = Seq_GetRiff(m_riff);
    ASSERT_NE(r, nullptr);
    const uint16_t amp[3] = {0x00FF, 0x1DFF, 0x8F00}, flat[2] = {0x6000, 0x60FF};
    const int32_t a = Seq_AddParamList(3, amp, 7, 0), f = Seq_AddParamList(2, flat, 9, 0);
    Seq_AddParamListRef(f);
    const int note = Seq_FindOrAddNote(1, 3, 5, 2, 200, 0, 0, 0, 0, 0, a, f, f, 0, 0, 0, 1);
    ASSERT_GT(note, 0);
    ASSERT_GE(Seq_SetRiffNote(m_riff, 1, 0, note, 1, 0, 0), 0);
    const uint16_t placed = *Seq_RiffCell(r, 1, 0);
    ASSERT_NE(placed, 0);
    Mark(0, 0, 3, 11);
    Ed_BlockCutAction();
    EXPECT_EQ(g_tBlock.ucClipboardKind, BLOCK_CLIP_NOTES);
    EXPECT_EQ(*Seq_RiffCell(r, 1, 0), 0) << "cut";
    EXPECT_EQ(g_iNextScreen, 3);
    Mark(8, 0, 11, 11);
    Ed_BlockPaste();
    r = Seq_GetRiff(m_riff);
    EXPECT_NE(*Seq_RiffCell(r, 9, 0), 0) << "pasted four steps on";
    // Nothing marked with notes: the cut refuses and no block is taken.
    Mark(12, 0, 15, 11);
    g_iNextScreen = -1;
    g_tBlock.ucClipboardKind = 0;
    Ed_BlockCutAction();
    EXPECT_EQ(g_tBlock.ucClipboardKind, 0);
}

} // namespace

namespace {

// The video grid's clipboard holds a reference on each clip it copied, and gives it back when
// the block is dropped or when another section is chosen with the block still in hand.
class VideoBlocks : public Editors
{
protected:
    VIDCLIP *m_clip = nullptr;
    void SetUp() override
    {
        Editors::SetUp();
        ASSERT_EQ(Vid_InitVideoCore(), 0);
        Ui_ResetGridRows();
        m_clip = Vid_NewClip();
        ASSERT_NE(m_clip, nullptr);
        // A clip of one plain chase, which the lanes take.
        for (int32_t id = 1; id <= 40 && !m_clip->pFirst; id++) {
            const int32_t type = Vid_FindChaseType(id);
            const CHASEDEF *def = type >= 0 ? Vid_GetChaseDef(type) : nullptr;
            if (def && (def->uKind & CHASEKIND_PLAIN))
                Vid_AppendClipEntry(m_clip, Vid_NewChase(type));
        }
        ASSERT_EQ(Vid_PlaceClipRun(0, 2, 1, m_clip), 0);
        Ui_CloseGridScreen();
        ASSERT_TRUE(Ui_SetupGridScreen(1));
        Ui_SetFocus(g_pGridWindow);
        g_iScreen = 7;
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        Vid_ResetVideo();
        Vid_FreeVideoCore();
        Editors::TearDown();
    }
    static void Mark(int c0, int r0, int c1, int r1)
    {
        g_asGridMark[0] = int16_t(c0);
        g_asGridMark[1] = int16_t(r0);
        g_asGridMark[2] = int16_t(c1);
        g_asGridMark[3] = int16_t(r1);
        std::memcpy(&g_tBlock, g_asGridMark, sizeof g_asGridMark);
    }
};

TEST_F(VideoBlocks, CopyHoldsTheClipAndDropGivesItBack)
{
    ASSERT_EQ(Vid_GetLaneClipAt(0, 2), m_clip);
    const uint32_t refs = m_clip->uRefCount;
    Mark(2, 0, 2, 0);
    Ed_BlockCopyAction();
    EXPECT_EQ(g_tBlock.ucClipboardKind, BLOCK_CLIP_VIDEO_CLIPS);
    EXPECT_EQ(m_clip->uRefCount, refs + 1);
    Ed_BlockDrop();
    EXPECT_EQ(m_clip->uRefCount, refs);
}

TEST_F(VideoBlocks, ChoosingAnotherSectionWithABlockInHandGivesTheClipBack)
{
    const uint32_t refs = m_clip->uRefCount;
    Mark(2, 0, 2, 0);
    Ed_BlockCopyAction();
    ASSERT_EQ(m_clip->uRefCount, refs + 1);
    g_ucTopBarButton = 0;
    Ed_TopBarChoose();
    Frames(6);
    EXPECT_EQ(g_ucGridKind, 2);
    EXPECT_EQ(m_clip->uRefCount, refs);
    EXPECT_EQ(g_tBlock.ucMode, 0);
}

} // namespace
