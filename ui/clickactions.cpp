#include "ui/clickactions.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "audio/sampleedit.h"
#include "core/browser.h"
#include "core/file.h"
#include "core/padbind.h"
#include "editors/cdscreen.h"
#include "editors/filescreen.h"
#include "editors/options.h"
#include "editors/songlanes.h"
#include "render/gpustate.h"
#include "sequencer/channels.h"
#include "sequencer/instruments.h"
#include "ui/clickmaps.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/iconpicker.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/padslot.h"
#include "ui/samplepanel.h"
#include "ui/view.h"
#include "ui/widgets.h"
#include "video/engine.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstdlib>

namespace {

WINDOW *RoleWindow(int32_t role)
{
    WINDOW *w = g_atWindowRoles[role].window;
    return w && Ui_WindowIsOpen(w) ? w : nullptr;
}

// ---- Sample editor ----

uint32_t s_uLastSamplePress = 0;
bool s_bSamplePressSeen = false;
bool s_bSampleDragging = false;

void SetMarker(int32_t m, int32_t px)
{
    g_aiSampleMarkerPx[m] = px;
    g_aiSampleMarkerPos[m] = Ui_SamplePosOfPixel(px);
}

// The marked area follows its markers: its start stays below its end, the two swapping roles
// when one passes the other.
void ProcessArea()
{
    int32_t *p = g_aiSampleMarkerPx;
    if (p[SAMPLEMARK_END] < p[SAMPLEMARK_START]) {
        std::swap(p[SAMPLEMARK_START], p[SAMPLEMARK_END]);
        std::swap(g_aiSampleMarkerPos[SAMPLEMARK_START], g_aiSampleMarkerPos[SAMPLEMARK_END]);
        if (g_cSampleMarker == SAMPLEMARK_END)
            g_cSampleMarker = SAMPLEMARK_START;
        else if (g_cSampleMarker == SAMPLEMARK_START)
            g_cSampleMarker = SAMPLEMARK_END;
    }
    g_iEditSelFirst = g_aiSampleMarkerPos[SAMPLEMARK_START];
    g_iEditSelLast = g_aiSampleMarkerPos[SAMPLEMARK_END];
}

void SamplePress(const WINDOW *w, int32_t p)
{
    const uint32_t now = Sys_GetMilliseconds();
    const int32_t m = std::clamp<int32_t>(g_cSampleMarker, 0, 3);
    if (s_bSamplePressSeen && Ui_IsDoublePress(s_uLastSamplePress, now)) {
        SetMarker(SAMPLEMARK_CURSOR, p);
        SetMarker(SAMPLEMARK_START, 0);
        SetMarker(SAMPLEMARK_END, SAMPLE_VIEW_PIXELS);
        g_cSampleMarker = SAMPLEMARK_CURSOR;
        ProcessArea();
    } else if (std::abs(g_sMouseX - w->x - 30 - g_aiSampleMarkerPx[m]) <= 5) {
        if (m != SAMPLEMARK_LOOP || g_bSampleLoopPresent)
            SetMarker(m, p);
        ProcessArea();
    } else {
        SetMarker(SAMPLEMARK_CURSOR, p);
        g_cSampleMarker = SAMPLEMARK_CURSOR;
    }
    s_uLastSamplePress = now;
    s_bSamplePressSeen = true;
    s_bSampleDragging = true;
}

void SampleHeld(int32_t p)
{
    if (!s_bSampleDragging)
        return;
    int32_t m = std::clamp<int32_t>(g_cSampleMarker, 0, 3);
    if (m == SAMPLEMARK_CURSOR) {
        if (p == g_aiSampleMarkerPx[SAMPLEMARK_CURSOR])
            return;
        // Dragging away from the cursor marks an area from it.
        SetMarker(SAMPLEMARK_START, g_aiSampleMarkerPx[SAMPLEMARK_CURSOR]);
        m = SAMPLEMARK_END;
        g_cSampleMarker = int8_t(m);
    }
    if (m == SAMPLEMARK_LOOP) {
        if (!g_bSampleLoopPresent)
            return;
        g_ucSampleLoopSnap |= 3; // asked, and held back until the release
    }
    SetMarker(m, p);
    ProcessArea();
}

void SampleRelease()
{
    if (!s_bSampleDragging)
        return;
    s_bSampleDragging = false;
    if (g_cSampleMarker == SAMPLEMARK_START || g_cSampleMarker == SAMPLEMARK_END) {
        SetMarker(SAMPLEMARK_CURSOR, g_aiSampleMarkerPx[SAMPLEMARK_START]);
        ProcessArea();
    } else if (g_cSampleMarker == SAMPLEMARK_LOOP) {
        g_ucSampleLoopSnap = uint8_t((g_ucSampleLoopSnap | 1) & ~2);
    }
}

// ---- Chase editor ----

void ChaseRegion(int32_t event, const WINDOW *w)
{
    const CLICKHIT hit = Ui_ChaseEditorHit(g_sMouseX, g_sMouseY, w->x, w->y);
    switch (hit.region) {
    case CHASEHIT_CLOSE:
        if (event == UI_CLICK_PRESS)
            Ui_RunPadSlot(12);
        break;
    case CHASEHIT_PREVIEW:
        if (event == UI_CLICK_PRESS)
            Ui_RunPadSlot(9);
        break;
    case CHASEHIT_LEVEL_BAR:
        if (event == UI_CLICK_PRESS && Ed_ChaseEditorAction(CHASEACT_KIND_ACTION, 0, 0) == 0)
            break;
        if (event != UI_CLICK_RELEASE)
            Ui_ChaseLevelDrag();
        break;
    case CHASEHIT_PARAMETER:
        if (event == UI_CLICK_RELEASE)
            break;
        g_iNextScreen = 36;
        Ed_ChaseEditorAction(CHASEHIT_PARAMETER, hit.index, 0);
        break;
    case CHASEHIT_SLIDERS:
        if (event == UI_CLICK_PRESS)
            Ui_ChaseSliderClick();
        break;
    case CHASEHIT_STRIP:
        if (event != UI_CLICK_RELEASE)
            Ui_ChaseParamStripClick();
        break;
    case CHASEHIT_ICON:
        if (event == UI_CLICK_PRESS)
            Ed_ChaseEditorAction(CHASEHIT_ICON, 0, 0);
        break;
    default: break;
    }
}

// ---- Grid ----

// The lane under the pointer when it is on the grid window's lane header, else -1. The strip
// is two cells wide but never reaches into the cells (the world view's header is narrower).
int32_t LaneAtPointer(int32_t maxRow)
{
    const WINDOW *w = g_pGridWindow;
    const VIEWWIDGET *v = g_pGridView;
    if (!w || !v || !Ui_WindowIsOpen(g_pGridWindow))
        return -1;
    const int32_t strip = std::min<int32_t>(g_iGridCellWidth, v->head.x / 2);
    return Ui_LaneHeaderLane(g_sMouseX, g_sMouseY, w->x, w->y, strip, v->cellHeight, v->firstRow, maxRow);
}

// The riff editor's octave strip left of its rows: the octave under the pointer is shown.
void RiffGridPress()
{
    const WINDOW *w = g_pGridWindow;
    if (!w)
        return;
    const CLICKHIT hit = Ui_RiffEditorHit(g_sMouseX, g_sMouseY, w->x, w->y, 0);
    // While a block is marked or carried its notes stay where they are.
    if (hit.region != RIFFHIT_OCTAVE || g_iScreen == 2 || g_iScreen == 3)
        return;
    const uint8_t octave = uint8_t(std::clamp(hit.index, 1, 6));
    if (octave == g_ucRiffOctave)
        return;
    g_ucRiffOctave = octave;
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

// ---- Riff panel ----

bool NoteSelected()
{
    return g_ucSelectedNoteValue != 0x42 && g_tSelectedNote.ucState != 255;
}

} // namespace

// ---- The role handlers ----

UIROLECLICK Ui_DefaultRoleClick(int32_t role)
{
    switch (role) {
    case UI_ROLE_GRID: return Ui_GridWindowClick;
    case UI_ROLE_BAR_RANGE: return Ui_BarCountArrowClick;
    case UI_ROLE_FILE_BROWSER: return Ui_FileBrowserClick;
    case UI_ROLE_SLOT_DIALOG: return Ui_SlotDialogClick;
    case UI_ROLE_SAMPLE_EDITOR: return Ui_SampleEditorMouse;
    case UI_ROLE_CHASE_EDITOR: return Ui_ChaseEditorClick;
    case UI_ROLE_CD_SCREEN: return Ui_CdScreenClick;
    case UI_ROLE_CD_OPTIONS: return Ui_CdOptionsClick;
    case UI_ROLE_ICON_GRID: return Ui_IconGridClick;
    default: return nullptr;
    }
}

void Ui_GridWindowClick(int32_t event)
{
    if (event != UI_CLICK_PRESS && event != UI_CLICK_LANE)
        return;
    switch (g_ucGridKind) {
    case 2: Ui_SongGridLaneClick(); break;
    case 1: Ui_VideoGridLaneClick(); break;
    case 3:
        if (event == UI_CLICK_PRESS)
            RiffGridPress();
        break;
    default: break;
    }
}

void Ui_SongGridLaneClick()
{
    if (g_ucGridKind != 2)
        return;
    const int32_t lane = LaneAtPointer(INT32_MAX / 2);
    // Only the 99 tracks carry a mark; the data lanes below them have none.
    if (lane < 0 || lane >= 99)
        return;
    g_aChannelMute[lane][3] ^= 1;
    Ui_RequestGridRedraw();
}

void Ui_VideoGridLaneClick()
{
    if (g_ucGridKind != 1)
        return;
    const int32_t lane = LaneAtPointer(g_ucGridRowCount);
    const int32_t group = lane < 0 ? -1 : Ui_FindRowGroup(lane);
    if (group < 0 || group >= 32)
        return;
    g_uGridHiddenLanes ^= 1u << group;
    Vid_SetLaneMuteMask(g_uGridHiddenLanes);
    Ui_RequestGridRedraw();
}

void Ui_BarCountArrowClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_BAR_RANGE);
    if (event != UI_CLICK_PRESS || !w || w != g_tLaneDialog.window || g_tLaneDialog.mode != LANEDIALOG_REVERB)
        return;
    const CLICKHIT hit = Ui_BarCountHit(g_sMouseX, g_sMouseY, w->x, w->y, w->w);
    if (hit.region == BARHIT_ARROW)
        Ed_StepReverbType(hit.index);
}

void Ui_FileBrowserClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_FILE_BROWSER);
    if (event != UI_CLICK_PRESS || !w)
        return;
    Ed_FileBrowserClick(g_sMouseX - w->x, g_sMouseY - w->y);
}

void Ui_SlotDialogClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_SLOT_DIALOG);
    if (event != UI_CLICK_PRESS || !w || w != g_tKeyDialog.window)
        return;
    const CLICKHIT hit = Ui_SlotDialogHit(g_sMouseX, g_sMouseY, w->x, w->y);
    if (hit.region != SLOTHIT_SLOT)
        return;
    g_tKeyDialog.slot = uint8_t(hit.index);
    Ed_SlotDialogAccept();
}

void Ui_SampleEditorMouse(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_SAMPLE_EDITOR);
    if (!w || w != g_pSampleEditWindow || g_iScreen != SCREEN_SAMPLEEDIT || !g_bSamplePanelReady) {
        s_bSampleDragging = false;
        return;
    }
    const CLICKHIT hit = Ui_SampleEditorHit(g_sMouseX, g_sMouseY, w->x, w->y);
    if (event == UI_CLICK_RELEASE) {
        SampleRelease();
        return;
    }
    // The preview and record buttons are the panel's own click areas; the wave is the picture
    // between the caption and the range bar.
    const int32_t y = g_sMouseY - w->y;
    if (hit.region != SAMPLEHIT_WAVE || y < 26 || y > 127)
        return;
    const int32_t p = std::clamp(hit.index, 0, SAMPLE_VIEW_PIXELS);
    if (event == UI_CLICK_PRESS)
        SamplePress(w, p);
    else if (event == UI_CLICK_HELD)
        SampleHeld(p);
}

void Ui_ChaseEditorClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_CHASE_EDITOR);
    if (!w || g_ucFullScreenVideo)
        return;
    ChaseRegion(event, w);
}

void Ui_ChaseLevelDrag()
{
    const WINDOW *w = RoleWindow(UI_ROLE_CHASE_EDITOR);
    if (!w)
        return;
    g_iNextScreen = 36;
    const int32_t arrow = Ui_ChaseLevelArrow(g_sMouseX, w->x);
    if (arrow != 0)
        Ed_ChaseEditorAction(CHASEACT_LEVEL_STEP, arrow, 0);
    else
        Ed_ChaseEditorAction(CHASEACT_LEVEL_TOWARD, 0, g_sMouseX - w->x - 218);
}

void Ui_ChaseSliderClick()
{
    const WINDOW *w = RoleWindow(UI_ROLE_CHASE_EDITOR);
    if (!w)
        return;
    int32_t value = 0;
    const CLICKHIT hit = Ui_ChaseSliderHit(g_sMouseX, g_sMouseY, w->x, w->y, &value);
    switch (hit.region) {
    case CHASESLIDER_DOWN: Ed_ChaseEditorAction(CHASEACT_SLIDER_STEP, hit.index, -1); break;
    case CHASESLIDER_UP: Ed_ChaseEditorAction(CHASEACT_SLIDER_STEP, hit.index, 1); break;
    case CHASESLIDER_SET: Ed_ChaseEditorAction(CHASEACT_SLIDER_SET, hit.index, value); break;
    case CHASESLIDER_CHANNEL:
        Seq_PlayInterfaceSound(Ed_ChaseEditorAction(CHASEACT_CHANNEL, hit.index, value) == 0 ? 1 : 3);
        break;
    default: break;
    }
}

void Ui_ChaseParamStripClick()
{
    const WINDOW *w = RoleWindow(UI_ROLE_CHASE_EDITOR);
    if (!w)
        return;
    const CLICKHIT hit = Ui_ChaseStripHit(g_sMouseX, w->x);
    if (hit.region == CHASESTRIP_PARAMETER) {
        // Every button of the strip steps the timeline: its screen is 37.
        g_iNextScreen = 37;
        Ed_ChaseEditorAction(CHASEACT_STRIP_PARAMETER, hit.index, 0);
    } else if (hit.region == CHASESTRIP_LEVEL) {
        Ed_ChaseEditorAction(CHASEACT_STRIP_LEVEL, 0, hit.index);
    }
}

void Ui_CdScreenClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_CD_SCREEN);
    if (!w)
        return;
    if (event == UI_CLICK_RELEASE) {
        Ui_CdButtonRelease();
        return;
    }
    if (event != UI_CLICK_PRESS)
        return;
    // A press is input like a pad's: the panel faded over the video comes back.
    g_sCdIdle = 0;
    const CLICKHIT hit = Ui_CdScreenHit(g_sMouseX, g_sMouseY, w->x, w->y, g_iScreenWidth, g_iScreenHeight);
    if (hit.region == CDHIT_TRANSPORT) {
        g_ucCdCursor = uint8_t(std::clamp(hit.index, 0, CDBUTTONS - 1));
        Ed_CdTransportAction();
        // Rewind and fast forward run while the button is down.
        g_bCdCursorLatched = g_ucCdCursor == CDBUTTON_REWIND || g_ucCdCursor == CDBUTTON_FORWARD;
    } else if (hit.region == CDHIT_SELECTOR) {
        g_ucCdFrequency = uint8_t(std::clamp(hit.index, 0, 2));
    }
}

void Ui_CdButtonRelease()
{
    if (!g_bCdCursorLatched)
        return;
    g_bCdCursorLatched = 0;
    Ui_RunPadSlot(14);
    g_ucCdCursor = CDBUTTON_PLAY;
}

void Ui_CdOptionsClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_CD_OPTIONS);
    if (event != UI_CLICK_PRESS || !w || !g_pGadgetPage || g_ucOptionPageMode != 4)
        return;
    const CLICKHIT hit = Ui_CdOptionsHit(g_sMouseX, g_sMouseY, w->x, w->y);
    if (!hit.region)
        return;
    // The accept row is "No video" (the CD player's page only), the row below "Generate video".
    OPTIONGADGET *g = &g_pGadgetPage[hit.region == CDOPTHIT_ACCEPT ? 2 : 3];
    if (!g->text || !g->action || (g->flags & GADGET_HIDDEN))
        return;
    Seq_PlayInterfaceSound(2);
    Ed_GadgetAcceptByMouse(g);
}

void Ui_IconGridClick(int32_t event)
{
    const WINDOW *w = RoleWindow(UI_ROLE_ICON_GRID);
    if (event != UI_CLICK_PRESS || !w || w != g_pIconPickerWindow)
        return;
    const CLICKHIT hit = Ui_IconGridHit(g_sMouseX, g_sMouseY, w->x, w->y);
    if (hit.region != ICONHIT_CELL || hit.index < 0 || hit.index >= UI_ICON_CELLS)
        return;
    g_ucIconCell = uint8_t(hit.index);
    Ui_IconPickerChoose();
}

// ---- Riff editor panel ----

void Ui_AddRiffPanelAreas()
{
    WINDOW *w = g_pGridWindow;
    if (!w)
        return;
    Ui_FreeNodeList(w);
    for (uint32_t i = 0; i < UI_NOTE_GADGETS; i++) {
        const NOTEGADGET &g = g_atNoteGadgets[i];
        const UIRECT r{int16_t(UI_NOTE_PANEL_X + g.left), int16_t(UI_NOTE_PANEL_Y + g.top),
                       int16_t(g.right - g.left), int16_t(g.bottom - g.top)};
        Ui_AddClickArea(w, &r, Ui_RiffEditorClick, i);
    }
    // The panel's foot, under the last setting: a click there does nothing.
    const UIRECT foot{int16_t(UI_NOTE_PANEL_X), int16_t(UI_NOTE_PANEL_Y + 138), 88, 2};
    Ui_AddClickArea(w, &foot, Ui_RiffEditorClick, 12);
}

void Ui_RiffEditorClick(uint32_t value)
{
    Sys_CallLog("Ui_RiffEditorClick");
    if (value >= UI_NOTE_GADGETS)
        return;
    if ((g_iScreen != 14 && g_iNextScreen != 14) || !NoteSelected()) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    g_ucNoteGadget = uint8_t(value);
    if (value == 4 && g_pGridWindow) {
        // The repeat row: the mode box above, one of its 8 steps below.
        const NOTEGADGET &g = g_atNoteGadgets[4];
        const WINDOW *w = g_pGridWindow;
        if (g_sMouseY < w->y + 55) {
            Ui_RepeatModeBox();
        } else {
            const int32_t width = std::max(1, (g.right - g.left) / 8);
            const int32_t step = (g_sMouseX - (w->x + 255 + g.left)) / width;
            if (step >= 0 && step < 8)
                g_ucRepeatStep = uint8_t(step);
        }
        g_iNextScreen = 16;
        Ui_RepeatStepToggle();
        return;
    }
    Ui_NoteGadgetAction();
}
