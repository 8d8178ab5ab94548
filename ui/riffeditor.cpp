#include "ui/riffeditor.h"
#include "ui/clickactions.h"

#include "editors/songlanes.h"
#include "app/calllog.h"
#include "app/timers.h"
#include "platform/quitsignal.h"
#include "core/consolelib.h"
#include "core/disc.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/requesters.h"
#include "ui/popupkinds.h"
#include "ui/amchannels.h"
#include "ui/textfield.h"
#include "ui/view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint8_t g_aaabCellBuffer[UI_CELLBUF_ROWS][UI_CELLBUF_COLUMNS][2] = {};
uint8_t g_ucCellBufferOrigin = 0;
int16_t g_sSelectedStep = -1, g_sSelectedRow = -1;
uint8_t g_ucSelectedNoteValue = 0x42;
NOTEPARAMS g_tSelectedNote = {}, g_tSelectedNoteCopy = {};
uint8_t g_ucRiffEditorMode = 1;
uint8_t g_ucRiffResizeFlag = 0;
uint8_t g_ucCurrentChannel = 0, g_ucChannelCount = 1; // also read by the page menu
uint16_t g_uRangeLengthLimit = 16;
uint8_t g_bRiffPreviewFollow = 0;
uint8_t g_bContinuousEntry = 0;
int16_t g_asRiffEditorSongCell[4] = {-1, -1, 0, 0};

namespace {

constexpr uint8_t kNoNote = 0x42;
constexpr int32_t kKeyLightFrames = 6;
// Semitones on the dark keys of a keyboard: C#, D#, F#, G#, A#.
constexpr bool kDarkKey[12] = {false, true, false, true, false, false, true, false, true, false, true, false};

BEVELSET s_tChannelBevel;
bool s_bChannelBevelBuilt = false;

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r | g << 8 | b << 16;
}

void Text(const char *text, int32_t x, int32_t y, FONT *font, uint32_t colour)
{
    Gfx_DrawTextInFont(text, x, y, font, colour, g_pOrderingTable);
}

int32_t Mod(int32_t a, int32_t m)
{
    return ((a % m) + m) % m;
}

int32_t MarkWidth()
{
    return std::abs(g_asGridMark[2] - g_asGridMark[0]) + 1;
}
int32_t MarkHeight()
{
    return std::abs(g_asGridMark[3] - g_asGridMark[1]) + 1;
}

void SetMarkState()
{
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 3;
}

// The block origin on the cursor cell: a riff there gives the whole riff as the mark.
bool MarkRiffAtCursor()
{
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    int32_t top = 0, left = 0;
    const int32_t riff = row >= 0 && row < 99 && column >= 0 ? Seq_RiffAtCell(column, row, &top, &left) : 0;
    const RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r) {
        g_asGridMark[0] = g_asGridMark[2] = int16_t(column);
        g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
        return false;
    }
    g_asGridMark[0] = int16_t(top);
    g_asGridMark[1] = int16_t(left);
    g_asGridMark[2] = int16_t(top + r->ucBars - 1);
    g_asGridMark[3] = int16_t(left + r->ucTracks - 1);
    return true;
}

bool Scrolling()
{
    return g_pGridView && (g_pGridView->columnStep || g_pGridView->rowStep);
}

void ClearScrollSteps()
{
    if (!g_pGridView)
        return;
    if (g_pGridView->columnBar)
        g_pGridView->columnBar->step = 0;
    if (g_pGridView->rowBar)
        g_pGridView->rowBar->step = 0;
}

bool PlacementAllows(int32_t bars, int32_t tracks)
{
    if (bars < 1 || tracks < 1 || bars > SEQ_MAX_BARS || tracks > SEQ_MAX_TRACKS)
        return false;
    return g_abPlacementMask[bars - 1][tracks - 1] != 0;
}

void BackToSongGridAnswer(uint8_t)
{
    Ui_BackToSongGrid();
}

int32_t CurrentTrack()
{
    return g_ucCurrentChannel;
}

// The window's title: the editor's name and the riff's. A text field keeps a pointer to its text,
// so the text lives here; its close box leaves the editor.
char s_szCaption[64];

void AddEditorCaption()
{
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    char name[17] = {};
    if (r)
        std::memcpy(name, r->szName, 16);
    std::snprintf(s_szCaption, sizeof s_szCaption, name[0] ? "%s (%s)" : "%s", Ui_Text(2), name);
    TEXTFIELDDESC td{};
    td.text = s_szCaption;
    td.x = 6;
    td.y = 7;
    td.w = int16_t(g_pGridWindow->w - 13);
    td.h = 14;
    td.parent = g_pGridWindow;
    td.b = 128;
    Ui_CreateTextField(&td);
}

} // namespace

void Ui_UpdateRiffEditorCaption()
{
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    char name[17] = {};
    if (r)
        std::memcpy(name, r->szName, 16);
    std::snprintf(s_szCaption, sizeof s_szCaption, name[0] ? "%s (%s)" : "%s", Ui_Text(2), name);
}

// ---- Cell buffer ----

void Ui_ClearCellBuffer()
{
    std::memset(g_aaabCellBuffer, 0, sizeof g_aaabCellBuffer);
    g_ucCellBufferOrigin = 0;
}

int32_t Ui_CellBufferColumn(int32_t column)
{
    const int32_t first = g_pGridView ? g_pGridView->firstColumn : -1;
    return Mod(g_ucCellBufferOrigin + column - first, UI_CELLBUF_COLUMNS);
}

void Ui_ScrollCellBuffer(int32_t *direction)
{
    if (!direction)
        return;
    const auto clear = [](int32_t b) {
        for (auto &row : g_aaabCellBuffer)
            row[b][0] = row[b][1] = 0;
    };
    if (*direction == 1) {
        clear(g_ucCellBufferOrigin);
        g_ucCellBufferOrigin = uint8_t((g_ucCellBufferOrigin + 1) % UI_CELLBUF_COLUMNS);
    } else {
        g_ucCellBufferOrigin = uint8_t((g_ucCellBufferOrigin + UI_CELLBUF_COLUMNS - 1) % UI_CELLBUF_COLUMNS);
        clear(g_ucCellBufferOrigin);
    }
}

void Ui_DrawRiffCell(uint8_t *packet, int32_t step, int32_t row, int32_t x, int32_t y)
{
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    const int32_t steps = r ? r->ucBars * SEQ_STEPS_PER_BAR : 0;
    if (step < 0 || step >= steps || row < 0 || row >= UI_CELLBUF_ROWS) {
        Gfx_SetSpritePacket(packet, Gfx_GetImage(RIFFIMG_END), x, y, 128, 128, 128);
        return;
    }
    uint8_t *entry = g_aaabCellBuffer[row][Ui_CellBufferColumn(step)];
    entry[0] = entry[1] = 0;
    int32_t image = -1, bright = 128;
    for (int32_t ch = r->ucTracks - 1; ch >= 0; ch--) {
        if (!g_aucChannelEnabled[ch])
            continue;
        int32_t octave = 0, semitone = 0, instrument = 0, covered = 0;
        const int32_t note = Seq_GetNoteAt(step, ch, &octave, &semitone, &instrument, &covered);
        if (!note || 11 - semitone != row)
            continue;
        const bool current = ch == CurrentTrack();
        image = RIFFIMG_OCTAVE + std::clamp(octave, 0, 7);
        bright = current ? 128 : 64;
        if (covered) {
            entry[0] = entry[1] = 0;
        } else {
            entry[0] = uint8_t(std::clamp(instrument, 1, 255));
            entry[1] = current ? 0 : 1;
        }
        if (current)
            break;
    }
    if (image < 0) {
        const bool dark = kDarkKey[11 - row];
        if ((step & 3) == 0)
            image = dark ? RIFFIMG_BEAT_DARK : RIFFIMG_BEAT_LIGHT;
        else
            image = dark ? RIFFIMG_PLAIN_DARK : RIFFIMG_PLAIN_LIGHT;
    }
    const uint8_t b = uint8_t(bright);
    Gfx_SetSpritePacket(packet, Gfx_GetImage(image), x, y, b, b, b);
}

void Ui_DrawCellNumbers()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind != 3)
        return;
    char text[8];
    for (int32_t b = 0; b < UI_CELLBUF_COLUMNS; b++) {
        const int32_t k = Mod(b - g_ucCellBufferOrigin, UI_CELLBUF_COLUMNS);
        // Ring slots 0 and 17 lie outside the visible cells.
        if (k < 1 || k > UI_CELLBUF_COLUMNS - 2)
            continue;
        const int32_t step = v->firstColumn + k;
        const int32_t x = v->head.x + (k - 1) * v->cellWidth + v->columnOffset + 1;
        if (x < v->head.x || x > v->head.x + v->head.w - v->cellWidth)
            continue;
        for (int32_t row = 0; row < UI_CELLBUF_ROWS; row++) {
            const uint8_t *e = g_aaabCellBuffer[row][b];
            if (!e[0])
                continue;
            uint32_t colour = Rgb(128, 128, 128);
            if (step == g_sSelectedStep && row == g_sSelectedRow)
                colour = Rgb(128, 0, 0);
            else if (e[1] & 1)
                colour = Rgb(48, 48, 48);
            std::snprintf(text, sizeof text, "%.2d", e[0]);
            Text(text, x, v->head.y + row * v->cellHeight + 1, &g_atUiFonts[1], colour);
        }
    }
}

// ---- Selected note ----

void Ui_SelectNoteCell(int32_t step, int32_t row)
{
    const int32_t start = Seq_FindNoteStart(step, CurrentTrack(), nullptr);
    g_sSelectedStep = int16_t(start >= 0 ? start : step);
    g_sSelectedRow = int16_t(row);
    Ui_ReselectNote();
}

int32_t Ui_LoadSelectedNote(int32_t step, int32_t row)
{
    g_ucSelectedNoteValue = kNoNote;
    g_tSelectedNote.ucState = 255;
    int32_t octave = 0, semitone = 0, instrument = 0;
    const int32_t note = Seq_GetNoteAt(step, CurrentTrack(), &octave, &semitone, &instrument, nullptr);
    if (!note || 11 - semitone != row)
        return 0;
    Seq_ReadNote(step, CurrentTrack(), &g_tSelectedNote);
    if (g_tSelectedNote.ucState == 255)
        return 0;
    g_ucSelectedNoteValue = uint8_t(std::clamp(instrument, 1, 255));
    // The curve displays work on the copy; the note written back never carries display entries.
    g_tSelectedNoteCopy = g_tSelectedNote;
    return 1;
}

int32_t Ui_ShowNoteAt(int32_t step, int32_t row)
{
    if (g_bGridAreaMarked)
        return 0;
    return Ui_LoadSelectedNote(step, row);
}

void Ui_ReselectNote()
{
    if (g_sSelectedStep < 0 || g_sSelectedRow < 0) {
        g_ucSelectedNoteValue = kNoNote;
        g_tSelectedNote.ucState = 255;
        return;
    }
    Ui_ShowNoteAt(g_sSelectedStep, g_sSelectedRow);
}

// ---- Header ----

void Ui_DrawRiffHeader()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind != 3)
        return;
    char text[16];
    // The octave shown and the key lights of the twelve rows, left of the cells.
    std::snprintf(text, sizeof text, "O%d", int(g_ucRiffOctave));
    Text(text, 8, v->head.y - 12, &g_atUiFonts[1], Rgb(110, 120, 128));
    // The playing riff lights the keys from the mix thread, under the mix lock.
    bool lit[UI_CELLBUF_ROWS];
    Sys_EnterCritical();
    for (int32_t row = 0; row < UI_CELLBUF_ROWS; row++) {
        int32_t &light = g_aiKeyLights[row];
        lit[row] = light > 0;
        if (light > 0)
            light--;
    }
    Sys_ExitCritical();
    for (int32_t row = 0; row < UI_CELLBUF_ROWS; row++) {
        const uint8_t base = kDarkKey[11 - row] ? 30 : 90, glow = lit[row] ? 60 : 0;
        Gfx_AddTile(v->head.x - 22, v->head.y + row * v->cellHeight + 1, 20, v->cellHeight - 2, base,
                    uint8_t(base + glow), base);
    }
    if (g_ucSelectedNoteValue != kNoNote) {
        std::snprintf(text, sizeof text, "%d", int(g_ucSelectedNoteValue));
        Text(text, 30, 146, &g_atUiFonts[0], Rgb(128, 128, 128));
    }
    Ui_DrawNotePanel();
    Ui_DrawChannelStrip();
}

void Ui_DrawChannelStrip()
{
    if (!s_bChannelBevelBuilt) {
        Ui_BuildInsetBevel(&s_tChannelBevel, 9, 166, 329, 17);
        s_bChannelBevelBuilt = true;
    }
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    const int32_t count = r ? r->ucTracks : g_ucChannelCount;
    constexpr int32_t kWidth = 27;
    char text[16];
    for (int32_t ch = 0; ch < count && ch < SEQ_MAX_TRACKS; ch++) {
        const int32_t x = 10 + ch * kWidth;
        const uint8_t b = g_aucChannelEnabled[ch] ? 128 : 48;
        const bool linked = r && ch > 0 && ((r->uFlags >> (ch - 1)) & 1);
        const bool current = ch == CurrentTrack();
        std::snprintf(text, sizeof text, "%s%d", linked ? "+" : "", int(ch + 1));
        Text(text, x + 8, 169, &g_atUiFonts[1], current ? Rgb(b, b, b / 2) : Rgb(b, b, b));
        if (g_iScreen == 13 && current) {
            if (g_iBlinkPhase < 6)
                Gfx_AddOutlineBox(x, 167, x + kWidth - 2, 181);
        } else if (current) {
            Gfx_AddTile(x + 2, 179, kWidth - 5, 2, 0, 128, 0);
        }
        Gfx_AddTile(x, 167, kWidth - 1, 15, uint8_t(b / 4), uint8_t(b / 4), uint8_t(b / 3));
    }
    Ui_LinkBevel(&s_tChannelBevel);
}

// ---- Following the preview ----

void Ui_RiffFrameStep()
{
    if (g_ucGridKind != 3)
        return;
    if (g_iScreen == 4)
        Ui_FollowRiffPreview();
    else if (g_bRiffPreviewFollow)
        Ui_FollowPreviewStep();
}

void Ui_FollowRiffPreview()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    Sys_EnterCritical();
    const int32_t step = g_ucPreviewStep;
    const int32_t playing = g_bSongPlaying.load(std::memory_order_relaxed);
    Sys_ExitCritical();
    // A preview that played once and ended leaves the play screen as a stop would.
    if (playing != 254) {
        Ui_StopPlayback();
        return;
    }
    if (step < v->columnCount) {
        const int32_t d = step - Ui_GridCursorColumn();
        if (d == 1) {
            if (!v->columnStep) {
                v->columnSpeed = 2;
                Ui_ViewScrollRight(v);
            }
        } else if (d > 1) {
            v->firstColumn = int16_t(v->firstColumn + d);
            Ui_RefreshView(v);
        }
    } else if (step) {
        Ui_StopPlayback();
    }
}

void Ui_FollowPreviewStep()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    Sys_EnterCritical();
    const int32_t step = g_ucPreviewStep;
    Sys_ExitCritical();
    const int32_t cursor = Ui_GridCursorColumnRaw();
    if (step == cursor + 1) {
        if (!v->columnStep) {
            v->columnSpeed = 2;
            Ui_ViewScrollRight(v);
        }
    } else if (step == 0 && cursor != 0) {
        v->firstColumn = -1;
        g_sGridCursorX = 0;
        Ui_RefreshView(v);
    }
}

// ---- Opening and closing ----

void Ui_NormaliseMark()
{
    if (g_asGridMark[0] > g_asGridMark[2])
        std::swap(g_asGridMark[0], g_asGridMark[2]);
    if (g_asGridMark[1] > g_asGridMark[3])
        std::swap(g_asGridMark[1], g_asGridMark[3]);
}

void Ui_OpenRiffEditor(int32_t riff)
{
    Sys_CallLog("Ui_OpenRiffEditor");
    Ui_NormaliseMark();
    Seq_StartClock();
    Seq_ClearUndo();
    int32_t bars = 1, tracks = 1;
    if (riff < 0) {
        g_ucRiffEditorMode = 2;
        g_uLibraryRiff = 0;
        Seq_PurgeDeletedRiffs();
        bars = std::clamp(MarkWidth(), 1, int32_t(SEQ_MAX_BARS));
        if (g_cGridPendingColumns > 0)
            g_cGridPendingColumns = 0;
        tracks = std::clamp(MarkHeight(), 1, int32_t(SEQ_MAX_TRACKS));
        if (Seq_CreateRiffAt(g_asGridMark[0], g_asGridMark[1], bars, tracks) == 10) {
            Sys_ShowOutOfMemoryBox(BackToSongGridAnswer);
            return;
        }
        // A riff already there keeps its own size.
        if (const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff)) {
            bars = r->ucBars;
            tracks = r->ucTracks;
        }
        Seq_ReadCurrentNote();
    } else {
        g_ucRiffEditorMode = 1;
        Seq_OpenRiff(riff);
        Seq_ReadCurrentNote();
        g_uLibraryRiff = 0;
        Seq_PurgeDeletedRiffs();
        if (const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff)) {
            bars = r->ucBars;
            tracks = r->ucTracks;
        }
    }
    g_ucRiffEditorBars = uint8_t(bars);
    g_ucChannelCount = uint8_t(tracks);
    g_ucCurrentChannel = 0;
    Ui_BuildInsetBevel(&s_tChannelBevel, 9, 166, 329, 17);
    s_bChannelBevelBuilt = true;
    // The song grid reopens with the riff's first cell under its cursor.
    int16_t first[2] = {-1, -1};
    if (g_pGridView && g_ucGridKind == 2) {
        first[0] = g_pGridView->firstColumn;
        first[1] = g_pGridView->firstRow;
    }
    int32_t cx = std::max(0, g_asGridMark[0] - (first[0] + 1));
    int32_t cy = std::max(0, g_asGridMark[1] - (first[1] + 1));
    // A riff right of or below the view brings the view to it.
    if (cx > 22) {
        first[0] = int16_t(g_asGridMark[0] - 1);
        cx = 0;
    }
    if (cy > 14) {
        first[1] = int16_t(g_asGridMark[1] - 1);
        cy = 0;
    }
    g_asRiffEditorSongCell[0] = first[0];
    g_asRiffEditorSongCell[1] = first[1];
    g_asRiffEditorSongCell[2] = int16_t(cx);
    g_asRiffEditorSongCell[3] = int16_t(cy);
    g_sSelectedStep = g_sSelectedRow = -1;
    g_ucSelectedNoteValue = kNoNote;
    Ui_ClearCellBuffer();
    if (Ui_SetupGridScreen(3)) {
        AddEditorCaption();
        Ui_AddRiffPanelAreas();
    }
    Ui_SetGridPlace(2, first[0], first[1], int16_t(cx), int16_t(cy));
    Ui_ReturnToEditorMenu();
    Ui_RebuildChannelLinks();
    g_bRiffPreviewFollow = 0;
}

void Ui_OpenRiffEditorFromMark()
{
    Ui_OpenRiffEditor(-1);
}

void Ui_BackToSongGrid()
{
    Ui_SetupGridScreen(2);
    Ui_ReturnToEditorMenu();
}

void Ui_ShowSongGridWithPalette()
{
    Ui_BackToSongGrid();
    Ui_OpenRiffPalettePopup();
}

void Ui_CloseRiffEditor()
{
    Sys_CallLog("Ui_CloseRiffEditor");
    if (g_bSongPlaying.load(std::memory_order_relaxed) == 254) {
        Seq_StopSong();
        Seq_StopRiffPreview();
    }
    void (*after)() = nullptr;
    if (g_ucRiffEditorMode == 2) {
        Seq_CloseRiffEditor();
        after = Ui_BackToSongGrid;
    } else {
        Seq_KeepCurrentRiff();
        after = Ui_ShowSongGridWithPalette;
    }
    Seq_FlushDeletedRiffs();
    Seq_ClearUndo();
    Seq_PurgeDeletedRiffs();
    Seq_ComputeSongTime(9999);
    g_sSelectedStep = g_sSelectedRow = -1;
    g_ucSelectedNoteValue = kNoNote;
    // The screen in between until the song grid is back.
    g_iNextScreen = 10;
    Ed_CloseWindowsThenRun(after);
}

// ---- Sample library and palettes ----

namespace {
constexpr int32_t kSamplePalettePopup = 4;
} // namespace

void Ui_OpenSampleLibraryPopup()
{
    Sys_CallLog("Ui_OpenSampleLibraryPopup");
    Ui_SetMenuPage(2);
    Ui_OpenPopup(POPUP_SAMPLE_LIBRARY, nullptr, g_iScreenWidth / 4, 69, 170, 306);
}

// Over another pop-up (the sample library): that one becomes current again when this one goes.
void Ui_OpenSamplePalettePopup()
{
    Sys_CallLog("Ui_OpenSamplePalettePopup");
    Ui_SetMenuPage(31);
    Ed_SetPromptText(56);
    POPUP *below = g_pCurrentPopup;
    if (Ui_OpenPopup(kSamplePalettePopup, nullptr, g_iScreenWidth / 4 + 100, 73, 190, 307))
        g_pParentPopup = below;
}

void Ui_OpenSamplePalette()
{
    Sys_CallLog("Ui_OpenSamplePalette");
    Ui_SetMenuPage(5);
    Ed_SetPromptText(58);
    g_pParentPopup = nullptr;
    Ui_OpenPopup(kSamplePalettePopup, nullptr, g_iScreenWidth / 4, 69, 190, 307);
}

// ---- Riff operations on the song grid ----

void Ui_BeginRiffResize()
{
    Ui_SaveGridView();
    const int32_t row = Ui_GridCursorRowRaw();
    if (row >= 99) {
        Ed_SongEditEntryAtCursor();
        return;
    }
    if (!MarkRiffAtCursor()) {
        Ui_PlayRefusal();
        return;
    }
    SetMarkState();
    Seq_ComputePlacementMask(g_asGridMark[0], g_asGridMark[1]);
    g_iNextScreen = 12;
    g_ucRiffResizeFlag = 0;
}

void Ui_BeginNewRiff()
{
    Sys_CallLog("Ui_BeginNewRiff");
    if (g_ucGridKind == 2 && Ed_LaneListKind(Ui_GridCursorRowRaw())) {
        Ed_SongEditEntryAtCursor();
        return;
    }
    if (!g_pGridView || g_ucGridKind != 2 || Ui_GridCursorRowRaw() >= 99 || Ui_GridCursorRowRaw() < 0 ||
        Ui_GridCursorColumnRaw() < 0) {
        Ui_PlayRefusal();
        return;
    }
    SetMarkState();
    if (MarkRiffAtCursor()) {
        g_bGridDragStopped = 1;
        Ed_CloseWindowsThenRun(Ui_OpenRiffEditorFromMark);
        return;
    }
    g_ucRiffResizeFlag = 1;
    Seq_ComputePlacementMask(g_asGridMark[0], g_asGridMark[1]);
    g_iNextScreen = 12;
    ClearScrollSteps();
    Ui_SaveGridView();
}

void Ui_ResizeRiffTaller()
{
    if (g_cGridGlideStepY || (g_pGridView && g_pGridView->rowStep))
        return;
    Ui_NormaliseMark();
    const int32_t h = MarkHeight(), limit = Scrolling() ? 11 : SEQ_MAX_TRACKS;
    if (h < limit && PlacementAllows(MarkWidth(), h + 1) && g_asGridMark[3] + 1 < 99)
        g_asGridMark[3]++;
}

void Ui_ResizeRiffShorter()
{
    Ui_NormaliseMark();
    if (MarkHeight() > (Scrolling() ? 2 : 1))
        g_asGridMark[3]--;
}

void Ui_ResizeRiffWider()
{
    Ui_NormaliseMark();
    const int32_t w = MarkWidth(), limit = Scrolling() ? 7 : SEQ_MAX_BARS;
    if (w < limit && PlacementAllows(w + 1, MarkHeight()) && g_asGridMark[2] + 1 < int32_t(g_uSongRowCount))
        g_asGridMark[2]++;
}

void Ui_ResizeRiffNarrower()
{
    Ui_NormaliseMark();
    if (MarkWidth() > 1)
        g_asGridMark[2]--;
}

void Ui_ApplyRiffResize()
{
    Ui_NormaliseMark();
    if (g_ucRiffResizeFlag) {
        Ed_CloseWindowsThenRun(Ui_OpenRiffEditorFromMark);
        return;
    }
    const int32_t riff = Seq_GetRiffStartingAt(g_asGridMark[0], g_asGridMark[1]);
    if (riff)
        Seq_ResizeRiff(riff, MarkWidth(), MarkHeight(), 0);
    Seq_CloseUndoStep();
    Ui_StopGridScrollRepeat();
    Ui_ReturnToEditorMenu();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
    Seq_ComputeSongTime(9999);
    if (g_sGridCursorY < 0)
        g_sGridCursorY = 0;
}

void Ui_RangeLengthLonger()
{
    const int32_t limit = int32_t(g_uRangeLengthLimit) - (Scrolling() ? 1 : 0);
    if (MarkWidth() < limit) {
        g_asGridMark[2]++;
        if (g_pGridView && g_ucGridKind == 3)
            g_sGridCursorX = int16_t(std::clamp(g_asGridMark[2] - g_pGridView->firstColumn - 1, 0, 15));
    }
}

void Ui_RangeLengthShorter()
{
    if (MarkWidth() > 1) {
        g_asGridMark[2]--;
        if (g_pGridView && g_ucGridKind == 3)
            g_sGridCursorX = int16_t(std::clamp(g_asGridMark[2] - g_pGridView->firstColumn - 1, 0, 15));
    }
}

void Ui_MakeRiffUnique()
{
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    g_asGridMark[0] = g_asGridMark[2] = int16_t(column);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
    const int32_t riff = row >= 0 && row < 99 && column >= 0 ? Seq_GetRiffStartingAt(column, row) : 0;
    if (riff && Seq_CountRiffInGrid(riff) > 1) {
        Seq_DuplicateRiffAt(riff, column, row);
        Seq_CloseUndoStep();
    }
    Ui_ReturnToEditorMenu();
    Ui_RebuildAndRefresh();
}

// ---- Close request ----

void Ui_HandleCloseRequest()
{
    Sys_CallLog("Ui_HandleCloseRequest");
    // A quit signal ends the studio whatever it shows; only the user's own close is asked about.
    if (Plat_QuitSignalled()) {
        Sys_RequestQuit();
        return;
    }
    if (g_iScreen == 0 || g_iScreen == 7)
        Ui_AskQuit();
    else
        Ui_RunPadSlot(12);
}

// ---- The draw and erase tools ----

void Ui_DrawRiffNoteAtPointer(int32_t step, int32_t row)
{
    const int32_t slot = g_uNoteEditInstrument;
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (!r || slot < 1 || Seq_InstrumentSlotFree(slot) || row < 0 || row >= UI_CELLBUF_ROWS || step < 0 ||
        step >= r->ucBars * SEQ_STEPS_PER_BAR) {
        Ui_PlayRefusal();
        return;
    }
    Sys_EnterCritical();
    g_aiKeyLights[row] = kKeyLightFrames;
    Sys_ExitCritical();
    // An entry volume never set (the new song's default note has none) would draw silent notes.
    if (!g_CurrentNote.ucLevel)
        g_CurrentNote.ucLevel = 255;
    Seq_SelectInstrument(slot, std::max(0, g_ucRiffOctave - 1), 11 - row);
    const int32_t placed = Seq_SetRiffNote(g_uCurrentRiff, step, CurrentTrack(), 1, 0, 1, 1);
    g_NoteEntry.ucSlot = 255;
    if (placed != 1) {
        Ui_PlayRefusal();
        return;
    }
    Ed_UpdateLinkedChannel(step, CurrentTrack());
    // The length gesture: the mark starts on the new note and its end follows the pointer.
    Ui_SaveGridView();
    g_asGridMark[0] = g_asGridMark[2] = int16_t(step);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
    g_uRangeLengthLimit = uint16_t(std::max(1, Seq_NoteRoomAt(step, CurrentTrack())));
    SetMarkState();
    g_sSelectedStep = int16_t(step);
    g_sSelectedRow = int16_t(row);
    Ui_ReselectNote();
    Ui_ClearCellBuffer();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
    g_iNextScreen = 34;
}

void Ui_EraseRiffNoteAtPointer(int32_t step, int32_t row)
{
    if (row < 0 || row >= UI_CELLBUF_ROWS)
        return;
    Sys_EnterCritical();
    g_aiKeyLights[row] = kKeyLightFrames;
    Sys_ExitCritical();
    int32_t note = 0;
    const int32_t start = Seq_FindNoteStart(step, CurrentTrack(), &note);
    const NOTEENTRY *n = Seq_GetNote(note);
    if (!n || start < 0 || 11 - n->ucPitch % 12 != row)
        return;
    Seq_SetRiffNote(g_uCurrentRiff, start, CurrentTrack(), 0, 0, 0, 0);
    Seq_CloseUndoStep();
    if (g_sSelectedStep == start && g_sSelectedRow == row) {
        g_sSelectedStep = g_sSelectedRow = -1;
        g_ucSelectedNoteValue = kNoNote;
    }
    Ui_ClearCellBuffer();
}

// ---- Note length ----

void Ui_BeginNoteLength()
{
    Ui_SaveGridView();
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (!r || r->ucType == 66) {
        Ui_PlayRefusal();
        return;
    }
    Ui_StopGridScrollRepeat();
    SetMarkState();
    g_iNextScreen = 32;
    Ui_MarkNoteLength();
}

void Ui_MarkNoteLength()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    const int32_t step = Ui_GridCursorColumnRaw();
    int32_t note = 0;
    const int32_t start = Seq_FindNoteStart(step, CurrentTrack(), &note);
    const NOTEENTRY *n = Seq_GetNote(note);
    if (!n || start < 0) {
        // Nothing to measure under the cursor.
        Ui_PlayRefusal();
        Ui_ReturnToEditorMenu();
        return;
    }
    const int32_t length = std::max<int32_t>(1, n->ucLength);
    g_asGridMark[0] = int16_t(start);
    // The corner is the note's last step, so that applying the mark unchanged keeps the length.
    g_asGridMark[2] = int16_t(start + length - 1);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(Ui_GridCursorRowRaw());
    g_uRangeLengthLimit = uint16_t(std::max(1, Seq_NoteRoomAt(start, CurrentTrack())));
    const int32_t excess = g_asGridMark[2] - (v->firstColumn + 16);
    if (excess > 0 && length > 1) {
        v->firstColumn = int16_t(v->firstColumn + excess);
        Ui_RefreshView(v);
    }
    g_sGridCursorX = int16_t(std::clamp(g_asGridMark[2] - v->firstColumn - 1, 0, 15));
    g_cGridPendingColumns = g_cGridPendingRows = 0;
}

void Ui_ApplyNoteLength()
{
    Sys_CallLog("Ui_ApplyNoteLength");
    const int32_t origin = g_asGridMark[0];
    const int32_t length = std::max(1, g_asGridMark[2] - origin + 1);
    const uint8_t quiet = g_bNoAudition;
    g_bNoAudition = 1;
    if (Seq_GetNoteLengthAt(origin, CurrentTrack()) != length)
        Seq_SetNoteLength(g_uCurrentRiff, origin, CurrentTrack(), length);
    g_bNoAudition = quiet;
    Seq_CloseUndoStep();
    Ui_ClearCellBuffer();
    Ui_ReselectNote();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
    if (g_bContinuousEntry) {
        g_ucGridMarkRepaint = 2;
        g_ucGridMarkStyle = 0;
        g_iNextScreen = 58;
    } else {
        Ui_ReturnToEditorMenu();
    }
}

void Ui_NoteLengthFollowPointer()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind != 3)
        return;
    const int32_t column = v->firstColumn + 1 + Ui_GridMouseColumn();
    const int32_t last = g_asGridMark[0] + std::max<int32_t>(1, g_uRangeLengthLimit) - 1;
    g_asGridMark[2] = int16_t(std::clamp<int32_t>(column, g_asGridMark[0], last));
}

// ---- Menu items ----

namespace {

void ToNoteLengthTool()
{
    g_iNextScreen = 75;
}

// The song grid's pointer tools: the clicked riff is resized (screen 68) or made unique (69).
void ToResizeRiffTool()
{
    g_iNextScreen = 68;
}

void ToCloneRiffTool()
{
    g_iNextScreen = 69;
}

void SetIfEmpty(int row, MENUHANDLER handler)
{
    if (!g_atMenuItems[row].handler)
        Ui_SetMenuItemHandler(row, handler);
}

} // namespace

void Ui_InstallRiffMenuHandlers()
{
    SetIfEmpty(2, Ui_BeginNewRiff);
    SetIfEmpty(24, Ui_OpenNoteParams);
    SetIfEmpty(98, Ui_AreaNoteParams);
    SetIfEmpty(25, Ui_OpenChannelMutes);
    SetIfEmpty(63, ToNoteLengthTool);
    SetIfEmpty(6, ToResizeRiffTool);
    SetIfEmpty(51, ToCloneRiffTool);
}
