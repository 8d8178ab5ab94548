// The chase editor: edits one video clip, the chain of chases it plays and, for the selected
// chase, its parameter values keyed at a time position inside the clip. Pad screens 35-38 (list,
// parameters, timeline, timeline drag), 44/45/53 (the chase's globals), 46 (a new clip's range, or
// a resize) and 43 (full-screen video). Main thread only.
#pragma once

#include <cstdint>

struct WINDOW;
struct LISTWIDGET;
struct CHASE;
struct CHASECHANNEL;
struct VIDCLIP;

constexpr int32_t ED_CHASE_CHANNELS = 16;
// A clip holds at most this many chases: the video grid's chase rows stop there, and the block
// paste refuses longer clips too.
constexpr int32_t ED_CLIP_MAX_ENTRIES = 60;

enum : uint8_t
{
    CHASEEDIT_NEWCLIP = 1,
    CHASEEDIT_PLAYING = 2,
    CHASEEDIT_OBJECT = 4,
    CHASEEDIT_CAMERA = 8,
    CHASEEDIT_EFFECT = 16,
    CHASEEDIT_CHANGE = 32,
    CHASEEDIT_TEXTENTRY = 64,
};

extern WINDOW *g_pChaseEditWindow; // null while the editor is closed
extern LISTWIDGET *g_pChaseParamList;
extern CHASE *g_pEditChase;        // one reference
extern CHASE *g_pChaseClipboard;   // one reference, null when empty
extern int32_t g_iChaseEditPage;   // 0 list, 1 parameters, 2 and above the other screens
extern uint8_t g_ucChaseEditFlags;
extern uint8_t g_ucChaseLevel;
// The video position the preview shows, taken each frame (the playing row, else the grid's cursor
// column); the lane update follows it while the main grid window is open.
extern int32_t g_iGridCursorColumn;
extern int32_t g_aiChaseValues[ED_CHASE_CHANNELS];
extern uint8_t g_aucChaseKeyHere[ED_CHASE_CHANNELS];
extern const CHASECHANNEL *g_apChaseChannels[ED_CHASE_CHANNELS];
extern uint8_t g_ucChaseListCount;
extern uint8_t g_aucChaseWriteStates[ED_CHASE_CHANNELS];
extern uint8_t g_aucChaseKeyTimes[256];
extern uint8_t g_ucChaseListSel;
extern const CHASECHANNEL *g_pChaseSelChannel;
extern uint8_t g_ucTimelineChoice;
extern int16_t g_sTimelineReturnScreen;

struct CHASEDEF;
// The name of a chase type ("" for none).
const char *Ed_ChaseTypeName(const CHASEDEF *def);
// The row label of channel `channel` of a chase type (stored id 1..20); "" for none.
const char *Ed_ChaseChannelLabel(int32_t storedId, int32_t channel);
// Row text of the object list for entry n (1-based) of the clip.
void Ed_ChaseListRowText(const VIDCLIP *clip, int32_t n, char *out, int32_t size);

// Opening and leaving.
void Ed_EditClipAtCursor();                 // "Edit Video Clip" of the video track
void Ed_ChaseGridAction();                  // a grid press in click mode 67, the cursor on the pointer's cell
void Ed_OpenChaseEditorOnClip(VIDCLIP *clip); // the clip palette's "Edit clip"
void Ed_OpenChaseEditorWindow();
void Ed_LeaveChaseEditor();
void Ed_ChaseRefresh();
void Ed_ChaseMenuRefresh();
// Writes the pending key; asked from a user edit a refusal shows the out-of-memory box. 1 written.
int32_t Ed_WriteChaseKey(bool fromUser);
void Ed_SetChasePosition(int32_t position);

// Pad handlers.
void Ed_ChaseListUp();
void Ed_ChaseListDown();
void Ed_ChaseListAccept();
void Ed_ChaseListPageMenu();
void Ed_ChaseParamUp();
void Ed_ChaseParamDown();
void Ed_ChaseParamLeft();
void Ed_ChaseParamRight();
void Ed_ChaseParamChoose();
void Ed_ChaseParamPageMenu();
void Ed_ChaseParamBack();
void Ed_ChaseValueLeft();
void Ed_ChaseValueRight();
void Ed_ChaseParamAccept();
void Ed_ChaseValueBack();
void Ed_ChaseValuePageMenu();
void Ed_ChaseLevelDown();
void Ed_ChaseLevelUp();
void Ed_ChaseLevelBack();

// Menu commands.
void Ed_ChaseAddChase();
void Ed_ChaseChangeChase();
void Ed_ChaseCutChase();
void Ed_ChaseCopyChase();
void Ed_ChasePasteChase();
void Ed_ChaseCloneChase();
void Ed_ChaseDeleteEntireKey();
void Ed_ChaseDeleteParameterKey();
void Ed_ChaseEditTimeline();
// Installs the handlers of the clip and chase menu items.
void Ed_InstallChaseMenuItems();

// ---- Globals, range, playback, full-screen video ----

struct CHASESLIDER
{
    const int16_t *pImages;
    uint8_t ucPositions;
    uint8_t ucArrow; // 0 left (down), 1 right (up)
    uint8_t ucPosition;
};
extern CHASESLIDER g_atChaseSliders[3]; // music trigger, pad trigger, trigger mode
extern uint8_t g_ucChaseSlider;
extern int16_t g_sChaseTriggerLevel; // 1..51
extern uint8_t g_ucChaseEffectFlags;
extern uint8_t g_ucChaseFlagBit;
extern int16_t g_sChaseSettingsScreen; // the settings screen "Edit global settings" opens
extern int16_t g_sChaseSettingsReturn;
extern uint8_t g_ucVideoWindowed;
extern int16_t g_asSavedViewRect[4];
extern int16_t g_asChaseViewRect[4];

void Ed_WriteChaseSettings();
void Ed_LoadChaseSettings();
// The pad trigger's positions follow the controller: its buttons + 1.
void Ed_UpdatePadTriggerRange();
void Ed_ChaseEditGlobals();
void Ed_ChaseSliderUp();
void Ed_ChaseSliderDown();
void Ed_ChaseSliderLeft();
void Ed_ChaseSliderRight();
void Ed_ChaseSliderStep();
void Ed_ChaseSliderBack();
void Ed_ChaseColourUp();
void Ed_ChaseColourDown();
void Ed_ChaseColourLeft();
void Ed_ChaseColourRight();
void Ed_ChasePaletteUp();
void Ed_ChasePaletteDown();
void Ed_ChasePaletteLeft();
void Ed_ChasePaletteAccept();

void Ed_StartNewClipRange();
void Ed_ResizeClip();
void Ed_ChaseLengthDown();
void Ed_ChaseLengthUp();
void Ed_ChaseLengthAccept();
void Ed_ChaseLengthBack();
// A new clip's range waits for the clip's first chase before the lane takes it.
void Ed_PlacePendingRun();
void Ed_ForgetPendingRun();

void Ed_PlayClip();
void Ed_StopClipPlay();
void Ed_ClipEditPlay();
void Ed_ClipEditLeave();
void Ed_VideoToFullScreen();
void Ed_ToggleFullScreenVideo();
// Renders the video frame into the current 3-D view rectangle.
void Ed_DrawVideoPreview();
void Ed_DrawChaseEditor(void *user);

// The pointer on the editor window. The parameter picture shows this many rows.
constexpr int32_t ED_CHASE_ROWS_SHOWN = 9;
// The value bar of the value panel (from x 218 of the window): arrows at both ends, the track
// between them and a knob that shows the selected value within its range.
constexpr int32_t ED_CHASE_TRACK_LEFT = 8;
constexpr int32_t ED_CHASE_TRACK_WIDTH = 105;
constexpr int32_t ED_CHASE_KNOB_WIDTH = 16;
// The knob's left edge within the bar, -1 when the selected row has no value to slide.
int32_t Ed_ChaseKnobOffset();
void Ed_ChaseEditorFrame();
