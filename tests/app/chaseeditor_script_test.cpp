// The music video made as a musician makes it, through the studio's own loop: a new clip on the
// video track, a shape chase with a rotation keyed at two times, played in the editor's preview,
// placed on lane 0 and taken back and forth with the lane undo, seen full screen, and the clip
// palette's rename, delete and purge with the memory totals following.
#include "spine_fixture.h"
#include "support/studioprocess.h"

#include "core/event.h"
#include "editors/chaseeditor.h"
#include "editors/clippalette.h"
#include "ui/chasepicker.h"
#include "editors/topbar.h"
#include "render/framecycle.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/textentry.h"
#include "ui/videopreview.h"
#include "ui/view.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"
#include "sequencer/songmodel.h"

#include <cstring>
#include <functional>

namespace
{

struct Seen
{
    int step = 0, wait = 0;
    bool rangeScreen = false, editorOpened = false;
    int32_t keyCount = 0, keyTimeA = -1, keyTimeB = -1;
    int32_t entries = 0;
    std::string clipName;
    std::vector<uint8_t> previewA, previewB;
    Picture editor, fullScreen, grid;
    bool onLane0 = false, undone = false, redone = false;
    int32_t fullWidth = 0, backWidth = 0;
    bool fullWindow = false, fullClosed = false;
    std::vector<uint8_t> atRows, pastRows;
    std::string renamed;
    int32_t videoBytesBefore = 0, videoBytesAfterDelete = 0;
    int32_t clipsBeforeDelete = 0, clipsAfterDelete = 0, clipsAfterPurge = 0;
    bool askedBeforeDelete = false;
    std::string purgeReport;
    bool done = false;
};
Seen s;
VIDCLIP *s_clip = nullptr;

Picture Presented()
{
    Picture p;
    const std::vector<uint8_t> &rgb = Plat_DisplayPresentedFrame(&p.width, &p.height);
    p.rgb = rgb;
    return p;
}

std::vector<uint8_t> Region(const Picture &p, int x, int y, int w, int h)
{
    std::vector<uint8_t> out;
    for (int j = y; j < y + h && j < int(p.height); j++)
        for (int i = x; i < x + w && i < int(p.width); i++)
            for (int c = 0; c < 3; c++)
                out.push_back(p.rgb[(size_t(j) * p.width + i) * 3 + c]);
    return out;
}

int32_t LaneRow(int lane)
{
    return lane < 4 ? g_aucGridRowGroupFirst[lane] : g_aucGridRowGroupFirst[4] + lane - 4;
}

void CursorTo(int32_t column, int32_t row)
{
    Ui_SetGridOrigin(column, row);
}

void ChooseType(int32_t storedId)
{
    g_pPageMenuPopup->list->selected = uint16_t(Vid_FindChaseType(storedId) & CHASETYPE_INDEX);
    Ui_ChooseChaseType();
}

void Answer(uint8_t button)
{
    g_pCurrentMsgBox->ucChosen = button;
    Ui_CloseMessageBox(g_pCurrentMsgBox);
}

POPUP *Palette()
{
    for (POPUP &p : g_atPopups)
        if (!p.free && p.window && p.kind == POPUP_CLIP_PALETTE)
            return &p;
    return nullptr;
}

void SelectInPalette(const VIDCLIP *clip)
{
    for (int n = 0; Vid_GetListedClip(n); n++)
        if (Vid_GetListedClip(n) == clip)
            Palette()->list->selected = uint16_t(n);
}

int ListedClips()
{
    int n = 0;
    while (Vid_GetListedClip(n))
        n++;
    return n;
}

bool Ready()
{
    return g_iNextScreen == -1 && !g_pPageMenuPopup;
}

// One step a frame once its wait is over; a step answering false is tried again next frame.
void Drive(uintptr_t)
{
    if (s.done || --s.wait > 0)
        return;
    const std::vector<std::function<bool()>> steps = {
        [] {
            // The demo song's own video goes, so the new clip has the lanes to itself.
            Vid_ClearLaneRange(0, VID_POSITIONS - 1);
            Ed_CloseWindowsThenRun(Ed_ShowVideoGrid);
            return true;
        },
        [] { return g_ucGridKind == 1 && g_pGridView && Ui_WindowIsOpen(g_pGridWindow) && g_iNextScreen == -1; },
        [] {
            // A new clip over columns 2 to 5 of lane 0.
            CursorTo(2, LaneRow(0));
            Ed_EditClipAtCursor();
            return true;
        },
        [] {
            s.rangeScreen = g_iScreen == 46;
            for (int i = 0; i < 3; i++)
                Ed_ChaseLengthUp();
            Ed_ChaseLengthAccept();
            return true;
        },
        [] { return g_pChaseEditWindow && g_pPageMenuPopup && g_sMenuPage == 9; },
        [] {
            s.editorOpened = true;
            s_clip = g_pPreviewClip;
            ChooseType(1);
            return true;
        },
        [] {
            if (!Ready())
                return false;
            Ed_ChaseAddChase();
            return true;
        },
        [] { return g_pPageMenuPopup && g_sMenuPage == 12; },
        [] {
            ChooseType(3);
            return true;
        },
        [] {
            if (!Ready())
                return false;
            s.entries = s_clip->sEntryCount;
            // The rotation's rows: turning at time 0, another axis and speed at time 120.
            Ed_ChaseListAccept();
            g_ucChaseListSel = 1;
            Ed_ChaseParamRight(); // Moving
            g_ucChaseListSel = 2;
            for (int i = 0; i < 6; i++)
                Ed_ChaseParamRight(); // Speed
            Ed_SetChasePosition(120);
            g_ucChaseListSel = 0;
            for (int i = 0; i < 20; i++)
                Ed_ChaseParamRight(); // Axis
            g_ucChaseListSel = 2;
            for (int i = 0; i < 10; i++)
                Ed_ChaseParamRight();
            s.keyCount = Vid_GetChaseKeyCount(g_pEditChase);
            s.keyTimeA = Vid_GetChaseKeyTime(g_pEditChase, 0);
            s.keyTimeB = Vid_GetChaseKeyTime(g_pEditChase, 1);
            Ed_SetChasePosition(0);
            Ed_ClipEditPlay();
            s.wait = 8;
            return true;
        },
        [] {
            s.editor = Presented();
            s.previewA = Region(s.editor, 146 + 219, 170 + 27, 120, 90);
            s.wait = 12;
            return true;
        },
        [] {
            s.previewB = Region(Presented(), 146 + 219, 170 + 27, 120, 90);
            s.clipName = s_clip->szName;
            Ed_ClipEditPlay();
            Ed_LeaveScreen(); // the editor's back
            return true;
        },
        [] { return g_ucGridKind == 1 && g_pGridView && Ui_WindowIsOpen(g_pGridWindow) && g_iNextScreen == -1; },
        [] {
            s.onLane0 = Vid_GetLaneClipAt(0, 2) == s_clip && Vid_GetLaneClipAt(0, 5) == s_clip;
            // The palette places the clip again at column 9; undo takes it back, undo again redoes.
            CursorTo(9, LaneRow(0));
            Ui_OpenClipPalette();
            return true;
        },
        [] {
            if (!Palette())
                return false;
            SelectInPalette(s_clip);
            Ed_PasteClip();
            const bool placed = Vid_GetLaneClipAt(0, 9) == s_clip;
            Ui_UndoLaneEdit();
            s.undone = placed && Vid_GetLaneClipAt(0, 9) == nullptr;
            Ui_UndoLaneEdit();
            s.redone = Vid_GetLaneClipAt(0, 9) == s_clip;
            return true;
        },
        [] {
            if (!Ready())
                return false;
            // Full screen, the cursor inside the clip: the video shows at the clip's rows.
            CursorTo(3, LaneRow(0));
            g_iSelectedWidth = 800;
            g_iSelectedHeight = 600;
            Ed_ToggleFullScreenVideo();
            s.fullWidth = g_iScreenWidth;
            s.fullWindow = g_pFullScreenVideoWindow != nullptr;
            s.wait = 4;
            return true;
        },
        [] {
            s.fullScreen = Presented();
            s.atRows = Region(s.fullScreen, 0, 0, s.fullScreen.width, s.fullScreen.height);
            Ui_SetGridOrigin(20, -1);
            s.wait = 4;
            return true;
        },
        [] {
            const Picture p = Presented();
            s.pastRows = Region(p, 0, 0, p.width, p.height);
            Ed_ToggleFullScreenVideo();
            s.backWidth = g_iScreenWidth;
            s.fullClosed = g_pFullScreenVideoWindow == nullptr && g_ucFullScreenVideo == 0;
            g_iSelectedWidth = 640;
            g_iSelectedHeight = 480;
            s.wait = 4;
            return true;
        },
        [] {
            if (!Ready())
                return false;
            s.grid = Presented();
            Ui_OpenClipPalette();
            return true;
        },
        [] {
            if (!Palette())
                return false;
            SelectInPalette(s_clip);
            Ed_NameClip();
            return true;
        },
        [] {
            if (!g_pTextEntryWindow)
                return false;
            std::snprintf(g_szTextEntryField, sizeof g_szTextEntryField, "Spinner");
            Ui_AcceptTextEntry();
            s.renamed = s_clip->szName;
            return true;
        },
        [] {
            if (!Palette() || g_iNextScreen != -1)
                return false;
            Ed_UpdateMemoryUsage();
            s.videoBytesBefore = g_iVideoMemoryBytes;
            s.clipsBeforeDelete = ListedClips();
            SelectInPalette(s_clip);
            Ed_DeleteClip();
            s.askedBeforeDelete = g_pCurrentMsgBox != nullptr;
            return true;
        },
        [] {
            if (!g_pCurrentMsgBox)
                return false;
            Answer(1);
            s.clipsAfterDelete = ListedClips();
            s.videoBytesAfterDelete = g_iVideoMemoryBytes;
            // Two clips nothing shows, for the purge.
            for (int i = 0; i < 2; i++)
                if (VIDCLIP *c = Vid_NewClip())
                    Ed_MakeClipName(c);
            Ed_RefreshClipList();
            return true;
        },
        [] {
            if (!Palette() || g_iNextScreen != -1 || g_pCurrentMsgBox)
                return false;
            Palette()->list->selected = 0;
            Ed_RemoveUnusedClips();
            return true;
        },
        [] {
            if (!g_pCurrentMsgBox)
                return false;
            Answer(1);
            return true;
        },
        [] {
            if (!g_pCurrentMsgBox)
                return false;
            s.purgeReport = g_pCurrentMsgBox->pszText ? g_pCurrentMsgBox->pszText : "";
            s.clipsAfterPurge = ListedClips();
            Answer(0);
            s.done = true;
            return true;
        },
    };
    if (s.step < int(steps.size()) && steps[size_t(s.step)]())
        s.step++;
    if (s.wait <= 0)
        s.wait = 1;
}

void StartDriver()
{
    Sys_EventAddHandler(GFX_EVENT_FRAME_START, Drive);
}

class ChaseEditorScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        s = Seen{};
        s_clip = nullptr;
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_iSelectedWidth = 640;
        g_iSelectedHeight = 480;
        SpineTest::TearDown();
    }
};

TEST_F(ChaseEditorScript, MakesKeysPlacesShowsFullScreenAndKeepsThePaletteInOrder)
{
    // F4 on the song grid (a row no grid item uses) hands the studio to the steps above.
    Ui_SetMenuItemHandler(3, StartDriver);
    ASSERT_EQ(Run(nullptr, 100, {"5 keydown F4", "6 keyup F4"}), 0);
    const std::string dir = ::testing::TempDir();
    if (s.editor.width)
        Plat_WritePng((dir + "tnv_chaseeditor.png").c_str(), s.editor.rgb.data(), s.editor.width, s.editor.height);
    if (s.fullScreen.width)
        Plat_WritePng((dir + "tnv_chaseeditor_full.png").c_str(), s.fullScreen.rgb.data(), s.fullScreen.width,
                      s.fullScreen.height);
    if (s.grid.width)
        Plat_WritePng((dir + "tnv_chaseeditor_grid.png").c_str(), s.grid.rgb.data(), s.grid.width, s.grid.height);
    ASSERT_TRUE(s.done) << "stopped at step " << s.step << ", screen " << g_iScreen << ", kind " << int(g_ucGridKind) << ", editor " << (g_pChaseEditWindow != nullptr) << ", grid " << (g_pGridWindow != nullptr) << ", next " << g_iNextScreen;

    EXPECT_TRUE(s.rangeScreen) << "an empty cell opens the new clip's range";
    EXPECT_TRUE(s.editorOpened);
    EXPECT_EQ(s.entries, 2) << "a shape and its rotation";
    EXPECT_EQ(s.clipName.rfind("Shape", 0), 0u) << s.clipName;
    EXPECT_EQ(s.keyCount, 2);
    EXPECT_EQ(s.keyTimeA, 0);
    EXPECT_EQ(s.keyTimeB, 120);
    ASSERT_FALSE(s.previewA.empty());
    EXPECT_NE(s.previewA, s.previewB) << "the preview moves while the clip plays";

    EXPECT_TRUE(s.onLane0) << "the clip covers columns 2 to 5 of lane 0";
    EXPECT_TRUE(s.undone) << "the lane undo takes the placement back";
    EXPECT_TRUE(s.redone) << "and the next undo puts it again";

    EXPECT_TRUE(s.fullWindow);
    EXPECT_EQ(s.fullWidth, 800) << "full-screen video opens the larger mode";
    EXPECT_NE(s.atRows, s.pastRows) << "the clip shows at its rows and not past them";
    EXPECT_TRUE(s.fullClosed);
    EXPECT_EQ(s.backWidth, 640);

    EXPECT_EQ(s.renamed, "Spinner");
    EXPECT_TRUE(s.askedBeforeDelete) << "a clip the lanes show is deleted only when confirmed";
    EXPECT_EQ(s.clipsAfterDelete, s.clipsBeforeDelete - 1);
    EXPECT_GT(s.videoBytesBefore, 0);
    EXPECT_LT(s.videoBytesAfterDelete, s.videoBytesBefore) << "the video total follows";
    EXPECT_EQ(s.purgeReport, "Removed 2 unused clips.");
    EXPECT_EQ(s.clipsAfterPurge, s.clipsAfterDelete);
}

} // namespace
