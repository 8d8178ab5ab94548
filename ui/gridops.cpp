#include "ui/gridops.h"

#include "editors/songlanes.h"
#include "app/calllog.h"
#include "audio/mixer.h"
#include "core/consolelib.h"
#include "core/disc.h"
#include "core/padbind.h"
#include "core/soundlib.h"
#include "render/texpages.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridcells.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/riffeditor.h"
#include "ui/view.h"
#include "video/clips.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstdio>

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
        g_iNextScreen = 0;
        Ui_SetMenuPage(4);
        break;
    case 2:
        g_iNextScreen = 0;
        Ui_SetMenuPage(0);
        break;
    case 1:
        Ui_ResumeGridNavigation();
        Ui_SetMenuPage(3);
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
    // The clock counts the steps down on the audio timer thread, under the mix lock.
    Sys_EnterCritical();
    const int32_t left = g_uStepsLeftInBar;
    Sys_ExitCritical();
    const int32_t steps = std::min<int32_t>(left, 15);
    g_iBeatLineOffset = 23 - steps * 24 / 16;
}

void Ui_AfterPlayHook() {}

void Ui_OpenMutePanel()
{
    // The cursor may sit on any of the 103 rows, but the mask only has bits for the first tracks.
    const int32_t last = g_ucGridKind == 1 ? std::max(0, g_ucGridRowCount - 1) : kLastMuteTrack;
    g_ucMutePanelRow = uint8_t(std::clamp<int32_t>(Ui_GridCursorRow(), 0, last));
    g_szCursorItemName[0] = 0;
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
    if (g_ucGridKind == 2 && g_ucMutePanelRow <= kLastMuteTrack) {
        g_uSongMuteMask ^= 1u << g_ucMutePanelRow;
    } else if (g_ucGridKind == 1) {
        // Rows outside the lane groups have no bit to flip.
        const int32_t group = Ui_FindRowGroup(g_ucMutePanelRow);
        if (group >= 0 && group < 32) {
            g_uGridHiddenLanes ^= 1u << group;
            Vid_SetLaneMuteMask(g_uGridHiddenLanes);
        }
    }
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
    if (g_iScreen == 5) {
        // A marked block loops: past its right end the view goes back and play starts again.
        const int32_t end = std::max(g_asGridMark[0], g_asGridMark[2]);
        if (row > end) {
            Ui_RestoreGridView();
            g_cGridGlideStepX = g_cGridGlideOffsetX = 0;
            v->columnStep = v->columnOffset = 0;
            Seq_PlaySongFrom(uint32_t(std::max(0, Ui_GridCursorColumnRaw())));
            return;
        }
    } else {
        const int32_t end = g_ucGridKind == 1 ? std::max<int32_t>(g_uSongRowCount, Vid_GetVideoEnd())
                                              : int32_t(g_uSongRowCount);
        if (cursor >= end) {
            Ui_StopPlayback();
            return;
        }
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

std::atomic<int32_t> g_bSongEnded{0};

void Ui_OnSongEnd()
{
    g_bSongEnded.store(1);
}

void Ui_TakeSongEnd()
{
    if (!g_bSongEnded.exchange(0))
        return;
    Sys_CallLog("Ui_TakeSongEnd");
    // With no grid open there is no grid menu to go back to.
    if (!g_pGridWindow)
        return;
    Ui_EndPlayback();
}

// ---- Leaving sub-screens ----

void Ui_LeaveToGrid(uint8_t)
{
    Ui_ReturnToEditorMenu();
    if (g_pGridWindow)
        Ui_SetFocus(g_pGridWindow);
}

void Ui_CancelRangeMark()
{
    Ui_ReturnToEditorMenu();
}

void Ui_BeginRangeMark(int32_t column, int32_t row)
{
    Ui_SaveGridView();
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 3;
    g_asGridMark[0] = g_asGridMark[2] = int16_t(column);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
    g_iNextScreen = 39;
}

void Ui_ReturnAndErase()
{
    Ui_ReturnToEditorMenu();
    g_ucGridToolMode = 0;
}

void Ui_ReturnAndDraw()
{
    Ui_ReturnToEditorMenu();
    g_ucGridToolMode = 1;
}

// ---- Play ----

namespace {

void StartPlay(int32_t column)
{
    Ui_SetMenuPage(MENU_PAGE_NONE);
    Ui_StopGridScrollRepeat();
    g_iNextScreen = 4;
    Seq_StopCueing();
    g_bGridFollowPlay = 1;
    Seq_PlaySongFrom(uint32_t(column));
}

} // namespace

void Ui_PlayFromCursor()
{
    Sys_CallLog("Ui_PlayFromCursor");
    if (g_bSongPlaying.load(std::memory_order_relaxed)) {
        Ui_StopPlayback();
        return;
    }
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    Sys_ResumeAudioMix(0);
    switch (g_ucGridKind) {
    case 3:
        g_sGridCursorX = 0;
        Ui_SetMenuPage(MENU_PAGE_NONE);
        Ui_StopGridScrollRepeat();
        g_iNextScreen = 4;
        Ui_SaveGridView();
        Seq_PlayRiffPreview(Ui_GridCursorColumnRaw(), g_uCurrentRiff);
        break;
    case 2: {
        // The column under the pointer; left of the cells (or above them) the first one.
        const bool above = g_pGridWindow && g_sMouseY < g_pGridWindow->y + v->head.y;
        int32_t x = above ? -(v->firstColumn + 1) : Ui_GridMouseColumn();
        x = std::clamp<int32_t>(x, -(v->firstColumn + 1), v->ringColumns - 3);
        if (v->firstColumn + 1 + x < 0)
            x = -(v->firstColumn + 1);
        g_sGridCursorX = int16_t(std::max<int32_t>(x, 0));
        Seq_CountUsedRows();
        if (Ui_GridCursorColumnRaw() < g_uSongRowCount)
            StartPlay(Ui_GridCursorColumnRaw());
        break;
    }
    case 1: {
        g_sGridCursorX = 0;
        const int32_t end = std::max<int32_t>(g_uSongRowCount, Vid_GetVideoEnd());
        if (Ui_GridCursorColumnRaw() < end)
            StartPlay(Ui_GridCursorColumnRaw());
        break;
    }
    default:
        break;
    }
}

void Ui_PlayVideoFromCursor()
{
    if (g_ucGridKind != 1 || !g_pGridView)
        return;
    // Full-screen video comes with the chase editor's playback; the play itself starts here.
    const int32_t column = Ui_GridCursorColumnRaw();
    if (column < std::max<int32_t>(g_uSongRowCount, Vid_GetVideoEnd())) {
        Ui_StopGridScrollRepeat();
        g_iNextScreen = 4;
        Seq_StopCueing();
        g_bGridFollowPlay = 1;
        Seq_PlaySongFrom(uint32_t(std::max(0, column)));
    }
}

void Ui_RestartMarkedPlay()
{
    if (!g_bSongPlaying.load(std::memory_order_relaxed))
        return;
    const int32_t end = std::max(g_asGridMark[0], g_asGridMark[2]);
    const int32_t start = std::min(g_asGridMark[0], g_asGridMark[2]);
    if (int32_t(g_uSongRow.load(std::memory_order_relaxed)) > end)
        Seq_PlaySongFrom(uint32_t(std::max(0, start)));
}

// ---- Tools ----

namespace {

int32_t PointerColumn()
{
    return g_pGridView ? g_pGridView->firstColumn + 1 + Ui_GridMouseColumn() : -1;
}
int32_t PointerRow()
{
    return g_pGridView ? g_pGridView->firstRow + 1 + Ui_GridMouseRow() : -1;
}

void AfterTool()
{
    Ui_GridChangedHook(g_ucGridKind);
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

} // namespace

void Ui_EraseAtCell()
{
    const int32_t column = PointerColumn(), row = PointerRow();
    if (!g_pGridView || column < 0 || row < 0)
        return;
    switch (g_ucGridKind) {
    case 1: {
        const int32_t group = Ui_FindRowGroup(row);
        if (group < 0)
            return;
        // The fixed rows are lanes 4 and 5; the groups are lanes 0 to 3.
        const int32_t lane = group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
        Vid_FillClipGrid(0, column, lane, 1, 1);
        Vid_CutLaneAt(lane, column);
        Ui_RebuildRowGroups();
        break;
    }
    case 2:
        if (row < 99) {
            Seq_SetSelection(column, row, 1, 1, 0);
            Seq_RemoveRiffAt(column, row, 0);
            Seq_CloseUndoStep();
            Seq_ComputeSongTime(9999);
        } else {
            Ed_SongCutEntryAtCursor();
        }
        break;
    default:
        Ui_EraseRiffNoteAtPointer(column, row);
        break;
    }
    AfterTool();
}

void Ui_DrawAtCell()
{
    const int32_t column = PointerColumn(), row = PointerRow();
    if (!g_pGridView || column < 0 || row < 0)
        return;
    switch (g_ucGridKind) {
    case 1: {
        const int32_t group = Ui_FindRowGroup(row);
        if (group < 0 || !g_pPreviewClip) {
            Ui_PlayRefusal();
            break;
        }
        const int32_t lane = group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
        if (Vid_PlaceClipAt(lane, column, g_pPreviewClip) != 0)
            Ui_PlayRefusal();
        Ui_RebuildRowGroups();
        break;
    }
    case 2:
        if (row < 99) {
            RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
            // A riff that does not fit before the song's end is not placed.
            if (!r || column + r->ucBars > g_pGridView->columnCount || row + r->ucTracks > 99) {
                Ui_PlayRefusal();
                break;
            }
            Seq_PlaceRiff(g_uCurrentRiff, column, row, 0, 0);
            Seq_CloseUndoStep();
            Seq_ComputeSongTime(9999);
        } else {
            Ed_SongEditEntryAtCursor();
        }
        break;
    default:
        Ui_DrawRiffNoteAtPointer(column, row);
        break;
    }
    Ui_StopGridScrollRepeat();
    AfterTool();
}

void Ui_DrawAtCursorCell()
{
    if (g_ucGridKind == 3 && PointerColumn() == Ui_GridCursorColumnRaw() && PointerRow() == Ui_GridCursorRowRaw())
        Ui_DrawAtCell();
}

void Ui_ApplyToolAtPointer()
{
    if (g_ucGridToolMode)
        Ui_DrawAtCell();
    else
        Ui_EraseAtCell();
}

void Ui_ClickRiffCell()
{
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    int32_t top = 0, left = 0;
    if (g_ucGridKind == 2 && row >= 0 && row < 99 && column >= 0 && Seq_RiffAtCell(column, row, &top, &left)) {
        g_sGridCursorX = int16_t(g_sGridCursorX - (column - top));
        g_sGridCursorY = int16_t(g_sGridCursorY - (row - left));
    }
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ui_RebuildAndRefresh()
{
    Seq_UpdateSongSizes();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

int32_t Ui_ValueToBarPixels(int64_t value, int64_t start, int64_t end)
{
    // 64-bit: sample positions of long recordings overflow the 32-bit product.
    if (end == 0 || end <= start)
        return 0;
    return int32_t((value - start) * 256 / (end - start) * 232 / 256);
}

// ---- Song options ----

SONGOPTIONS g_tSongOptions = {};

void Ui_ClearOptionPanelFlag()
{
    g_tSongOptions.changed = 0;
}

void Ui_LoadSongOptions()
{
    g_tSongOptions.tempo = int16_t(g_uSongTempo ? g_uSongTempo : g_uTempo);
}

void Ui_ApplyOptionPanel()
{
    const int32_t tempo = std::clamp<int32_t>(g_tSongOptions.tempo, 40, SEQ_TEMPO_MAX);
    Seq_SetTrackEntry(0, 1, tempo, tempo, 0, 0, 0, 0, 0, LIST_TEMPO);
    Seq_SetTempo(tempo);
    Seq_ComputeSongTime(std::max(0, Ui_GridCursorColumnRaw()));
    Seq_ComputeSongTime(9999);
    g_tSongOptions.changed = 1;
}

// ---- Fonts ----

FONT g_atUiFonts[3] = {};
uint8_t g_bUiFontsLoaded = 0;

void Ui_LoadInterfaceFonts()
{
    static const struct
    {
        const char *path;
        int32_t image;
    } kFonts[3] = {{"gfx\\fonts\\tonnivel.bin", 0}, {"gfx\\fonts\\teeny.bin", 3}, {"gfx\\fonts\\weewee.bin", 4}};
    FONT *saved = g_pFont;
    const uint32_t colour = g_uiTextColour;
    for (int i = 0; i < 3; i++) {
        FONT loaded = g_atUiFonts[i];
        loaded.sheet = Gfx_GetImage(kFonts[i].image);
        g_pFont = &loaded;
        if (loaded.sheet && Gfx_LoadFont(kFonts[i].path) == 0)
            g_atUiFonts[i] = loaded;
        else
            std::fprintf(stderr, "tnvpc: the interface font %s could not be loaded\n", kFonts[i].path);
    }
    g_pFont = g_atUiFonts[0].sheet ? &g_atUiFonts[0] : saved;
    g_uiTextColour = colour;
    g_bUiFontsLoaded = 1;
}
