// Rectangle ("area") editing on the main grid: mark a block of cells, then copy, cut, play or
// join it; a copied or cut block is carried over the grid and pasted as often as wanted until it
// is dropped. The song and video grids keep their clipboard in the grid's work buffer (riff ids,
// or clips and chases with a reference held); the riff grid uses the sequencer's note clipboard.
// Main thread only.
#pragma once

#include <cstdint>

struct BLOCKSELECTION
{
    int16_t origin[2]; // column, row (the grid draws these four as g_asGridMark)
    int16_t corner[2];
    uint8_t ucFrameRedraw;
    uint8_t ucMode;          // 1 marking, 2 block in hand
    uint8_t ucClipboardKind; // BLOCK_CLIP_*
    int16_t lastCursor[2];   // the cursor cell the block mover saw last
    uint8_t aucDrag[2];
    uint8_t ucWidthLess1, ucHeightLess1;
};

enum : uint8_t
{
    BLOCK_CLIP_NONE = 0,
    BLOCK_CLIP_SONG = 1,
    BLOCK_CLIP_VIDEO_CLIPS = 2,
    BLOCK_CLIP_VIDEO_CHASES = 3,
    BLOCK_CLIP_NOTES = 4,
};

constexpr int32_t ED_BLOCK_BYTE_LIMIT = 395605; // a block takes less than this (4 bytes a cell)

extern BLOCKSELECTION g_tBlock;
// The riff grid's carried-block pitch pair: 71 - the highest pitch, and the lowest pitch.
extern int16_t g_asBlockPitchPair[2];

void Ed_AreaSelectionMode();
void Ed_BlockBegin();
void Ed_BlockSetOrigin();
void Ed_BlockSetCornerFromCursor();
void Ed_BlockAutoScroll();
int32_t Ed_BlockByteSize(int32_t column, int32_t row);
bool Ed_BlockFits(int32_t row);
int32_t Ed_BlockCopy();
void Ed_BlockDelete();
void Ed_BlockEnterPasteMode();
void Ed_BlockCopyAction();
void Ed_BlockCutAction();
void Ed_BlockDeleteAction();
void Ed_BlockPlayArea();
void Ed_BlockStopPlay();
void Ed_BlockJoinRiffs();
void Ed_BlockGrowLeft();
void Ed_BlockGrowRight();
void Ed_BlockGrowUp();
void Ed_BlockGrowDown();
void Ed_BlockMoveLeft();
void Ed_BlockMoveRight();
void Ed_BlockMoveUp();
void Ed_BlockMoveDown();
void Ed_BlockPaste();
void Ed_BlockDrop();
// Moves (column, row) of the song grid to the first cell of the riff covering it; false when the
// cell is empty.
bool Ed_RiffStartOfCell(int32_t *column, int32_t *row);
// Installs the block's menu items (run at front-end start-up).
void Ed_InstallBlockMenuItems();
// Drops a block in hand (releasing what the clipboard holds) when the grid or the work buffer
// goes away.
void Ed_BlockReleaseClipboard();
