// The editor windows' click handlers: each decodes the pointer with its window's hit map
// (ui/clickmaps.h) and runs the editor's own action or a pad slot of the current screen. A window
// registered without a handler of its own gets the one of its role here.
#pragma once

#include <cstdint>

struct WINDOW;
typedef void (*UIROLECLICK)(int32_t event);

// The handler a role's window gets when its owner names none (null for roles without one).
UIROLECLICK Ui_DefaultRoleClick(int32_t role);

// The grid window: a press on the lane header of the song or video grid (UI_CLICK_LANE from the
// playing screens, or a plain press), and a plain press on the riff editor's octave strip.
void Ui_GridWindowClick(int32_t event);
// The song grid's lane header: toggles the mark (the mute while playing) of the track under the
// pointer. The video grid's: hides or shows the lane group under the pointer.
void Ui_SongGridLaneClick();
void Ui_VideoGridLaneClick();
// The bar-range dialog's arrows step the reverb type of the reverb dialog (1..9).
void Ui_BarCountArrowClick(int32_t event);

void Ui_FileBrowserClick(int32_t event);
void Ui_SlotDialogClick(int32_t event);
void Ui_SampleEditorMouse(int32_t event);
void Ui_ChaseEditorClick(int32_t event);
void Ui_CdScreenClick(int32_t event);
// A latched rewind or fast forward ends on any left release.
void Ui_CdButtonRelease();
// The CD player's options page (page mode 4): its "No video" and "Generate video" rows.
void Ui_CdOptionsClick(int32_t event);
// The riff icon picker: a press on a cell chooses it.
void Ui_IconGridClick(int32_t event);

// The riff editor's side panel: 13 click areas (values 0..12) from its gadget rectangles, and
// what a click on one does (12 is inert).
void Ui_AddRiffPanelAreas();
void Ui_RiffEditorClick(uint32_t value);

// The chase editor's parameter level stepped by the bar's arrows or toward the pointer, its
// colour sliders and its parameter strip (the editor's own actions take the index).
void Ui_ChaseLevelDrag();
void Ui_ChaseSliderClick();
void Ui_ChaseParamStripClick();

// What the chase editor does with a region of its window: region one of CHASEHIT_* or CHASEACT_*,
// index and value as the region gives them (the chase editor's own).
enum
{
    CHASEACT_LEVEL_STEP = 20,   // index -1 / +1
    CHASEACT_LEVEL_TOWARD = 21, // value: the pointer's x within the bar
    CHASEACT_SLIDER_STEP = 22,  // index: slider row, value -1 / +1
    CHASEACT_SLIDER_SET = 23,   // index: slider row, value: the level 0..50
    CHASEACT_CHANNEL = 24,      // value: the channel to toggle
    CHASEACT_STRIP_PARAMETER = 25, // index: 0, 1, 3 or 4
    CHASEACT_STRIP_LEVEL = 26,  // value: 0..254
    CHASEACT_KIND_ACTION = 27,  // the level bar of an object of kind 7
};
// 0 done, -1 refused (the object takes no such change; CHASEACT_KIND_ACTION: not a kind-7 object).
int32_t Ed_ChaseEditorAction(int32_t region, int32_t index, int32_t value);
