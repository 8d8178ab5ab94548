// The riff editor (grid kind 3): its cells, the note values shown over them, the selected note,
// the channel strip, following the riff preview, opening and closing from the song grid; and the
// riff operations that start on the song grid (resize, new riff from a marked area, make unique),
// the window's close request, and the note length marking of screens 32 and 34.
#pragma once

#include "sequencer/songcontrol.h"

#include <cstdint>

// Cell images of the riff editor (on the grid's picture, 12 x 10).
enum : int32_t
{
    RIFFIMG_OCTAVE = 968,      // octaves 0..7
    RIFFIMG_BEAT_LIGHT = 976,
    RIFFIMG_BEAT_DARK = 977,
    RIFFIMG_PLAIN_LIGHT = 978,
    RIFFIMG_PLAIN_DARK = 979,
    RIFFIMG_END = 980,
};

constexpr int32_t UI_CELLBUF_COLUMNS = 18;
constexpr int32_t UI_CELLBUF_ROWS = 12;

// Note value and flags (bit 0: another channel's note) of each shown cell, with its ring origin.
extern uint8_t g_aaabCellBuffer[UI_CELLBUF_ROWS][UI_CELLBUF_COLUMNS][2];
extern uint8_t g_ucCellBufferOrigin;
// The selected note's cell (-1, -1 none) and value byte (0x42 while none is selected).
extern int16_t g_sSelectedStep, g_sSelectedRow;
extern uint8_t g_ucSelectedNoteValue;
// The selected note's parameters as read, and the copy kept to compare against.
extern NOTEPARAMS g_tSelectedNote, g_tSelectedNoteCopy;
extern uint8_t g_ucRiffEditorMode; // 1 an existing riff, 2 a riff made from a marked area
extern uint8_t g_ucRiffResizeFlag; // 0 screen 12 resizes, 1 it makes a new riff
extern uint8_t g_ucCurrentChannel, g_ucChannelCount;
extern uint16_t g_uRangeLengthLimit;
extern uint8_t g_bRiffPreviewFollow;
extern uint8_t g_bContinuousEntry;
// The song cell the editor was opened from: first visible column, row and the cursor.
extern int16_t g_asRiffEditorSongCell[4];

void Ui_ClearCellBuffer();
// The buffer column of a grid column (a true modulo: the column may lie left of the view).
int32_t Ui_CellBufferColumn(int32_t column);
void Ui_DrawRiffCell(uint8_t *packet, int32_t step, int32_t row, int32_t x, int32_t y);
void Ui_DrawCellNumbers();
void Ui_ScrollCellBuffer(int32_t *direction);

void Ui_SelectNoteCell(int32_t step, int32_t row);
int32_t Ui_LoadSelectedNote(int32_t step, int32_t row);
int32_t Ui_ShowNoteAt(int32_t step, int32_t row);
void Ui_ReselectNote();
void Ui_DrawRiffHeader();
void Ui_DrawNotePanel();
void Ui_DrawChannelStrip();

void Ui_RiffFrameStep();
void Ui_FollowRiffPreview();
void Ui_FollowPreviewStep();

void Ui_OpenRiffEditor(int32_t riff);
void Ui_OpenRiffEditorFromMark();
void Ui_BackToSongGrid();
void Ui_CloseRiffEditor();
void Ui_ShowSongGridWithPalette();
void Ui_OpenSampleLibraryPopup();
void Ui_OpenSamplePalettePopup();
void Ui_OpenSamplePalette();

void Ui_NormaliseMark();
void Ui_BeginRiffResize();
void Ui_BeginNewRiff();
void Ui_ResizeRiffTaller();
void Ui_ResizeRiffShorter();
void Ui_ResizeRiffWider();
void Ui_ResizeRiffNarrower();
void Ui_ApplyRiffResize();
void Ui_RangeLengthLonger();
void Ui_RangeLengthShorter();
void Ui_MakeRiffUnique();

void Ui_HandleCloseRequest();

// The riff editor's draw and erase tools on the cell under the pointer.
void Ui_DrawRiffNoteAtPointer(int32_t step, int32_t row);
void Ui_EraseRiffNoteAtPointer(int32_t step, int32_t row);

void Ui_BeginNoteLength();
void Ui_MarkNoteLength();
void Ui_ApplyNoteLength();
// Screens 32 and 34: the mark's end follows the pointer within the range length limit.
void Ui_NoteLengthFollowPointer();

// The editor's title after the riff was renamed.
void Ui_UpdateRiffEditorCaption();

// The menu items of the song grid and the riff editor that these screens run.
void Ui_InstallRiffMenuHandlers();
