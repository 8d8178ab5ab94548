#include "ui/gridops.h"

#include "core/padbind.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/gridsetup.h"

#include <algorithm>

uint8_t g_ucGridToolMode = 1;
int16_t g_asSavedGridView[4] = {-1, -1, 0, 0};
uint8_t g_ucMutePanelRow = 0;
int32_t g_iBeatLineOffset = 23;

const uint8_t g_aaabGridFrameStyles[4][4][3] = {
    {{70, 255, 70}, {0, 100, 0}, {0, 128, 0}, {0, 64, 0}},
    {{255, 70, 70}, {100, 0, 0}, {128, 0, 0}, {64, 0, 0}},
    {{70, 70, 255}, {0, 0, 100}, {0, 0, 128}, {0, 0, 64}},
    {{255, 70, 255}, {100, 0, 100}, {128, 0, 128}, {64, 0, 64}},
};

namespace {

// The song's mute mask has 32 bits, of which the panel offers the first 24 tracks.
constexpr int32_t kLastMuteTrack = 23;

bool Gliding()
{
    return g_cGridGlideStepX || g_cGridGlideStepY;
}

} // namespace

void Ui_ReturnToEditorMenu()
{
    switch (g_ucGridKind) {
    case 3:
        Ui_ClampGridCursorRow();
        [[fallthrough]];
    case 2:
        g_iNextScreen = 0;
        break;
    case 1:
        g_iNextScreen = 7;
        break;
    default:
        break;
    }
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 0;
    Ui_GridChangedHook(g_ucGridKind);
}

void Ui_FinishCursorGlide()
{
    if (g_cGridGlideStepX)
        g_sGridCursorX = int16_t(g_sGridCursorX + (g_cGridGlideStepX > 0 ? 1 : -1));
    if (g_cGridGlideStepY)
        g_sGridCursorY = int16_t(g_sGridCursorY + (g_cGridGlideStepY > 0 ? 1 : -1));
    g_cGridGlideStepX = g_cGridGlideOffsetX = g_cGridGlideStepY = g_cGridGlideOffsetY = 0;
}

void Ui_SetGridOrigin(int32_t column, int32_t row)
{
    if (!g_pGridView)
        return;
    if (column >= 0) {
        g_pGridView->firstColumn = int16_t(column - 1);
        g_sGridCursorX = 0;
    }
    if (row >= 0) {
        g_pGridView->firstRow = int16_t(row - 1);
        g_sGridCursorY = 0;
    }
    Ui_RefreshView(g_pGridView);
}

void Ui_SaveGridView()
{
    if (!g_pGridView)
        return;
    g_asSavedGridView[0] = g_pGridView->firstColumn;
    g_asSavedGridView[1] = g_pGridView->firstRow;
    g_asSavedGridView[2] = g_sGridCursorX;
    g_asSavedGridView[3] = g_sGridCursorY;
}

void Ui_RestoreGridView()
{
    if (!g_pGridView)
        return;
    g_pGridView->firstColumn = g_asSavedGridView[0];
    g_pGridView->firstRow = g_asSavedGridView[1];
    g_sGridCursorX = g_asSavedGridView[2];
    g_sGridCursorY = g_asSavedGridView[3];
    Ui_RefreshView(g_pGridView);
}

void Ui_ClampGridCursorRow()
{
    const int32_t rows = g_pGridView ? g_pGridView->rowCount : 1;
    g_sGridCursorY = int16_t(std::clamp<int32_t>(g_sGridCursorY, 0, std::max(0, rows - 1)));
}

void Ui_UpdateBeatPosition()
{
    if (g_ucGridKind != 1 && g_ucGridKind != 2)
        return;
    const int32_t steps = std::min<int32_t>(g_uStepsLeftInBar, 15);
    g_iBeatLineOffset = 23 - steps * 24 / 16;
}

void Ui_AfterPlayHook() {}

void Ui_OpenMutePanel()
{
    // The cursor may sit on any of the 103 rows, but the mask only has bits for the first tracks.
    g_ucMutePanelRow = uint8_t(std::clamp<int32_t>(Ui_GridCursorRow(), 0, kLastMuteTrack));
    g_iNextScreen = 51;
}

void Ui_MutePanelUp()
{
    if (!g_pGridView || Gliding() || g_pGridView->rowStep || g_ucMutePanelRow == 0)
        return;
    g_ucMutePanelRow--;
    if (g_pGridView->rowBar)
        g_pGridView->rowBar->step = -1;
}

void Ui_MutePanelDown()
{
    if (!g_pGridView || Gliding() || g_pGridView->rowStep)
        return;
    const int32_t last = g_ucGridKind == 1 ? std::min<int32_t>(g_ucGridRowCount - 1, 31) : kLastMuteTrack;
    if (g_ucMutePanelRow >= last)
        return;
    g_ucMutePanelRow++;
    if (g_pGridView->rowBar)
        g_pGridView->rowBar->step = 1;
}

void Ui_MutePanelToggle()
{
    // The video grid's lanes mute by group; that side comes with the video grid's rows.
    if (g_ucGridKind == 2 && g_ucMutePanelRow <= kLastMuteTrack)
        g_uSongMuteMask ^= 1u << g_ucMutePanelRow;
    Ui_RequestGridRedraw();
}

void Ui_MutePanelClose()
{
    g_iScreen = 0;
    Ui_ReturnToEditorMenu();
}

uint8_t g_bGridFollowPlay = 0;

void Ui_FollowPlayback()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || (g_ucGridKind != 1 && g_ucGridKind != 2))
        return;
    const int32_t row = int32_t(g_uSongRow.load(std::memory_order_relaxed));
    const int32_t cursor = Ui_GridCursorColumn();
    if (cursor >= int32_t(g_uSongRowCount)) {
        Ui_StopPlayback();
        return;
    }
    const int32_t d = row - cursor;
    if (d == 1) {
        if (!v->columnStep) {
            const GRIDGEOMETRY *g = Ui_GridGeometry(g_ucGridKind, g_ucGridOptions & 1);
            v->columnSpeed = g ? g->speedsAcross[0] : 2;
            Ui_ViewScrollRight(v);
        }
    } else if (d > 1) {
        v->firstColumn = int16_t(v->firstColumn + d);
        Ui_RefreshView(v);
    }
}

void Ui_StopPlayback()
{
    if (g_ucGridKind == 3) {
        Seq_StopRiffPreview();
        Ui_RestoreGridView();
    } else {
        Seq_StopSong();
    }
    Ui_EndPlayback();
}

void Ui_EndPlayback()
{
    g_bGridFollowPlay = 0;
    Ui_ReturnToEditorMenu();
    VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind == 3)
        return;
    // A play that ran off the end leaves the cursor on the song's last row, in view.
    const int32_t end = int32_t(g_uSongRowCount);
    if (end > 0 && Ui_GridCursorColumnRaw() >= end) {
        int32_t x = end - 1 - v->firstColumn - 1;
        if (x < 0) {
            v->firstColumn = int16_t(v->firstColumn + x);
            x = 0;
            Ui_RefreshView(v);
        }
        g_sGridCursorX = int16_t(x);
    }
}
