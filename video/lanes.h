// Video lanes: 7 lanes of positions 0..999 (one position a song row), each a list of blocks that
// show one clip over a run of positions. Lanes 0-3 take object clips, lane 4 camera clips, lane 5
// screen effects, lane 6 nothing. A block of length L holds L references of its clip.
//
// Lane edits return 0 done, 2 nothing there, 8 no record (or a step inside the edit failed),
// 255 refused. Main thread only, except g_iVideoPosition and the lanes-changed flag, which the
// sequencer's bar event writes on the mix thread.
#pragma once

#include <atomic>
#include <cstdint>

struct VIDCLIP;
struct IDPOOL;
struct LANEOBJECT;

constexpr int32_t VID_LANE_COUNT = 7;
constexpr int32_t VID_POSITIONS = 1000;
constexpr uint16_t VID_LANE_END = 65535;
constexpr uint16_t LANEBLOCK_LINKED = 0x8000;
constexpr uint16_t LANEBLOCK_LENGTH = 0x7FFF;

enum
{
    LANE_DONE = 0,
    LANE_NOTHING = 2,
    LANE_NORECORD = 8,
    LANE_REFUSED = 255,
};

struct VIDLANEBLOCK
{
    VIDCLIP *pClip;
    uint16_t uStart;  // VID_LANE_END in the end node
    uint16_t uLength; // bits 0-14 positions, bit 15 linked
    VIDLANEBLOCK *pNext;
    VIDLANEBLOCK *pPrev; // null in a lane head
};

struct CLIPGRID
{
    VIDCLIP **apRows[VID_LANE_COUNT]; // one cell a column, each holding a reference
    uint32_t uStart;
    uint32_t uFirstLane;
    int32_t iColumns;
    int32_t iRows;
    uint32_t uValid;
    uint32_t uSpare;
};

extern IDPOOL *g_pLaneBlockPool;
extern VIDLANEBLOCK g_aVideoLanes[VID_LANE_COUNT];
extern uint8_t g_abLaneHighWater[VID_LANE_COUNT];
extern LANEOBJECT *g_apLaneObjects[4];
extern int32_t g_aiLaneObjectUse[4];
extern uint8_t g_bLaneObjectHold;
extern uint8_t g_bLaneObjectFailed;
extern CLIPGRID g_aClipGrid[2];
extern int32_t g_iClipGridCurrent;
extern int32_t g_iVideoEnd;
extern std::atomic<int32_t> g_iVideoPosition;
extern std::atomic<uint32_t> g_uiLaneMuteMask; // the live input hook sets it on the mix thread
extern std::atomic<uint8_t> g_bLanesChanged;
extern int32_t g_iLaneUpdateMode; // 1 position requested, 2 refresh requested

void Vid_InitLanes();
int32_t Vid_LaneAcceptsClip(int32_t lane, int32_t position, const VIDCLIP *clip);
VIDLANEBLOCK *Vid_FindLaneBlock(VIDLANEBLOCK *head, int32_t position);
VIDCLIP *Vid_GetLaneClipAt(int32_t lane, int32_t position);
int32_t Vid_GetLaneGapAt(int32_t lane, int32_t position);
int32_t Vid_PlaceClipAt(int32_t lane, int32_t position, VIDCLIP *clip);
int32_t Vid_PlaceClipRun(int32_t lane, int32_t position, int32_t length, VIDCLIP *clip);
int32_t Vid_CutLaneAt(int32_t lane, int32_t position, int32_t spare = 0);
int32_t Vid_RemoveLaneBlock(VIDLANEBLOCK *block, int32_t lane);
void Vid_RemoveClipFromLanes(VIDCLIP *clip);
int32_t Vid_ClearLaneRange(int32_t start, int32_t end);
int32_t Vid_InsertLanePositions(int32_t position, int32_t n);
int32_t Vid_DeleteLanePositions(int32_t position, int32_t n);
int32_t Vid_ResizeLaneBlock(int32_t lane, int32_t start, int32_t length);
int32_t Vid_MoveLaneRange(int32_t start, int32_t end, int32_t offset);
int32_t Vid_IsClipOnLanes(int32_t clipId);
void Vid_RecountLaneObjects();
void Vid_HoldLaneObjects();
void Vid_ReleaseLaneObjectHold();
int32_t Vid_CountLanesWithType(int32_t position, int32_t type);
int32_t Vid_RecalcLaneHighWater(int32_t lane);
int32_t Vid_GetVideoEnd();

int32_t Vid_FillClipGrid(int32_t grid, int32_t start, int32_t firstLane, int32_t columns, int32_t rows);
void Vid_FreeClipGrid(int32_t grid);
void Vid_ForgetClipInGrids(const VIDCLIP *clip);
void Vid_ClearClipGridRecords();
int32_t Vid_SwapLaneUndo();

// Hooks that other subsystems add to be reset with the video (grid row list, chase widget, block
// selection, text buffers). Up to 16; adding one twice keeps one.
typedef void (*VIDRESETHOOK)();
void Vid_AddResetHook(VIDRESETHOOK hook);
void Vid_ResetVideo();

void Vid_SetLaneMuteMask(uint32_t mask);
void Vid_SetVideoPosition(int32_t position);
void Vid_ForceVideoPosition(int32_t position);
void Vid_RequestLaneRefresh();
void Vid_MarkLanesChanged();
