// The song grid's four data lanes below its 99 tracks (row 99 volume, 100 reverb, 101 tempo, 102
// key): their cells, marking a run on them (screen 39), and the dialogs that edit an entry: the
// bar range dialog (tempo, volume, a riff's levels) and the reverb dialog on the option gadget
// engine (screen 22, option page mode 1), and the transpose key dialog (screen 56).
#pragma once

#include <cstdint>

struct OPTIONGADGET;
struct WINDOW;

enum : uint8_t
{
    LANEDIALOG_BPM = 1,
    LANEDIALOG_VOLUME = 2,
    LANEDIALOG_REVERB = 3,
    LANEDIALOG_RIFF = 4,       // the riff at the cursor, or the riff editor's riff
    LANEDIALOG_POPUP_RIFF = 5, // the riff chosen in the open pop-up
};

constexpr int32_t ED_LANE_FIRST_ROW = 99;
constexpr int32_t ED_LANE_ROWS = 4;
constexpr int32_t SCREEN_LANE_RANGE = 39;
constexpr int32_t SCREEN_KEY_DIALOG = 56;
// The longest run one entry holds.
constexpr int32_t ED_LANE_MAX_RUN = 31;
constexpr int32_t ED_KEY_SLOTS = 13; // keys 0..12, then the scale row
// Image numbers of the empty lane cells: bar then plain cell for rows 99, 100, 101, 102.
constexpr int32_t ED_LANE_CELL_IMAGES = 960;
constexpr int32_t ED_KEY_IMAGES = 41;

struct LANEDIALOG
{
    int16_t first, last; // the run, inclusive
    int16_t start, end;
    int16_t both;        // the "Start/End" row's value (reverb: delay start)
    int16_t second;      // reverb: delay end
    int16_t feedbackStart, feedbackEnd;
    uint8_t type; // reverb type 1..9
    uint8_t mode;
    uint8_t guard; // frames the lane commands stay quiet after a dialog closed
    int32_t riff;  // the riff whose levels the riff kinds set, taken when the dialog opens
    WINDOW *window;
};

struct KEYDIALOG
{
    uint8_t slot;       // 0..12 keys, 13 the scale row
    uint8_t keptSlot;   // the key left for the scale row
    uint8_t scale;      // 0 none, 1 major, 2 minor
    uint8_t target;     // bit 0 the key lane at the cursor, bit 1 the chosen riff
    uint8_t delay;      // frames before the next held step
    int16_t position;   // the key lane's position
    int32_t riff;
    WINDOW *window;
};

extern LANEDIALOG g_tLaneDialog;
extern KEYDIALOG g_tKeyDialog;
extern OPTIONGADGET g_atBarRangePage[9];
extern OPTIONGADGET g_atReverbPage[9];

// The list kind of a grid row (0 for a row that is not a lane).
int32_t Ed_LaneListKind(int32_t row);
// The lane's caption under the cursor: the lane's name when an entry lies there, else "".
const char *Ed_LaneCaption(int32_t column, int32_t row);

// Grid commands on the lanes, at the grid cursor.
void Ed_SongEditEntryAtCursor();
void Ed_SongCutEntryAtCursor();
// Once a frame: the reopen guard counts down.
void Ed_SongLanesFrame();

// Screen 39.
void Ed_SongRangeShrink();
void Ed_SongRangeGrow();
void Ed_SongRangeAccept();
void Ed_SongRangeBack();

// Opens the bar range dialog (modes 1, 2, 4, 5) or the reverb dialog (mode 3) on the values in
// g_tLaneDialog.
bool Ed_OpenBarRangeDialog(uint8_t mode);
bool Ed_OpenReverbDialog();
// Called by the gadget engine in option page mode 1: after a value changed, and on leaving.
void Ed_LaneDialogSync(OPTIONGADGET *changed);
void Ed_CloseLaneDialog();
// The reverb dialog's type one step down (-1) or up (+1), kept to 1..9, as its choice row steps it.
void Ed_StepReverbType(int32_t step);
void Ed_DrawLaneDialog();
// Stores the dialog into the song (or riff). 0, or -1 when it could not be stored.
int32_t Ed_ApplyLaneDialog();

// The transpose key dialog: target 1 the key lane at `position`, 2 the riff `riff`.
bool Ed_OpenSlotDialog(uint8_t target, int32_t position, int32_t riff);
void Ed_SlotDialogLeft();
void Ed_SlotDialogRight();
void Ed_SlotDialogUp();
void Ed_SlotDialogDown();
void Ed_SlotDialogAccept();
void Ed_SlotDialogClose();

// The lane cells of the song grid (the grid's cell callback for rows 99 to 102).
void Ed_DrawSongCellKind100(uint8_t *packet, int32_t column, int32_t x, int32_t y); // row 99
void Ed_DrawSongCellKind101(uint8_t *packet, int32_t column, int32_t x, int32_t y); // row 100
void Ed_DrawSongCellKind99(uint8_t *packet, int32_t column, int32_t x, int32_t y);  // row 101
void Ed_DrawSongCellKind102(uint8_t *packet, int32_t column, int32_t x, int32_t y); // row 102

// Every frame on the song grid: the start and end values of the volume and tempo entries in view,
// and the reverb depth of the reverb lane's cells.
void Ed_DrawSongRowMarkers();
// Marks the whole entry under the cursor on the volume, reverb or tempo lane as a run (screen 39),
// the cursor on its last column; sound 3 where there is none.
void Ui_MarkBlockRange();
