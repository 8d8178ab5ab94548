// The chase editor's object list, parameter rows, key writing, timeline and chase commands.
#include "editors/chaseeditor.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "core/disc.h"
#include "editors/clippalette.h"
#include "ui/chasepicker.h"
#include "ui/clickactions.h"
#include "ui/clickmaps.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "video/engine.h"
#include "editors/topbar.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/textentry.h"
#include "ui/textfield.h"
#include "ui/widgets.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"
#include "video/render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

WINDOW *g_pChaseEditWindow = nullptr;
LISTWIDGET *g_pChaseParamList = nullptr;
CHASE *g_pEditChase = nullptr;
CHASE *g_pChaseClipboard = nullptr;
int32_t g_iChaseEditPage = 0;
uint8_t g_ucChaseEditFlags = 0;
uint8_t g_ucChaseLevel = 0;
int32_t g_aiChaseValues[ED_CHASE_CHANNELS];
uint8_t g_aucChaseKeyHere[ED_CHASE_CHANNELS];
const CHASECHANNEL *g_apChaseChannels[ED_CHASE_CHANNELS];
uint8_t g_ucChaseListCount = 0;
uint8_t g_aucChaseWriteStates[ED_CHASE_CHANNELS];
uint8_t g_aucChaseKeyTimes[256];
uint8_t g_ucChaseListSel = 0;
const CHASECHANNEL *g_pChaseSelChannel = nullptr;
uint8_t g_ucTimelineChoice = 2;
int16_t g_sTimelineReturnScreen = 36;

// The lane and grid column the clip was opened from (the lane's high-water byte follows its chain).
int32_t g_iChaseEditLane = 0;
int32_t g_iChaseEditColumn = 0;

namespace {

constexpr int kRowText = 2;
constexpr int kRowStride = 40;
const CHASE *s_pLastPreviewed = nullptr;
int32_t s_iRepeatCounter = 0;
char s_szTitle[64];

// Row labels by chase type; "" for rows the editor hides.
const char *const kLabels[21][16] = {
    {},
    {"Family", "Item", "Animation", "Anim speed", "Quantity", "Layout", "Scale"},
    {"Family", "Item"},
    {"Axis", "Moving", "Speed", "Grouped"},
    {"X", "Y", "Z", "Grouped"},
    {"Family", "Path", "Moving", "Speed", "Direction", "Scale"},
    {"Type", "Path", "Moving", "Speed", "Direction", "Dolly", "FOV", "Roll", "Face chan."},
    {"Colour", "Model", "Wireframe", "Colour", "Transp.", "Negative"},
    {"Light", "Colour", "Position"},
    {"Type", "Quantity", "Layout", "Scale"},
    {"Word", "Font"},
    {"Family", "Texture ID", "Moving", "U Offset", "V Offset", "Mapping"},
    {"Movie", "Movie", "Moving", "U Offset", "V Offset", "Mapping", "Start", "End"},
    {"Colour 1", "Amount 1", "Colour 2", "Amount 2", "Colour 3", "Amount 3", "Speed", "Direction", "Mode"},
    {"Spine", "Model"},
    {"Number", "Rotation", "Colour 1", "Colour 2"},
    {"Number X", "Number Y", "Rotation", "Mosaic", "Colour 1", "Colour 2", "Colour 3", "Colour 4"},
    {"Scale", "Rotation", "Red", "Green", "Blue"},
    {"Model", "Background"},
    {"Path", "Profile", "Speed", "Transp.", "Rotation", "Colour 1", "Colour 2", "Colour 3", "Colour 4"},
    {"Speed"},
};

VIDCLIP *Clip()
{
    return g_pPreviewClip;
}

int32_t EntryCount()
{
    return Clip() ? std::max<int32_t>(0, Clip()->sEntryCount) : 0;
}

bool HasList()
{
    return g_pChaseParamList != nullptr;
}

int32_t ListSelection()
{
    return HasList() ? g_pChaseParamList->selected : 0;
}

void SetEditChase(CHASE *chase)
{
    if (chase == g_pEditChase)
        return;
    if (chase)
        Vid_AddChaseRef(chase);
    if (g_pEditChase)
        Vid_ReleaseChase(g_pEditChase);
    g_pEditChase = chase;
}

// The caption follows the clip's name, which a new first chase may change.
void UpdateTitle()
{
    const VIDCLIP *clip = Clip();
    char name[sizeof clip->szName + 1] = {};
    if (clip)
        std::memcpy(name, clip->szName, sizeof clip->szName);
    std::snprintf(s_szTitle, sizeof s_szTitle, "%s (%s)", Ui_Text(650), name);
}

void ResetWriteStates()
{
    std::fill(std::begin(g_aucChaseWriteStates), std::end(g_aucChaseWriteStates), uint8_t(KEYSTATE_KEEP));
}


void ListRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    char *text = static_cast<char *>(row) + kRowText;
    Ed_ChaseListRowText(Clip(), n, text, kRowStride - kRowText - 1);
}

void DrawListRow(void *row, int32_t x, int32_t y)
{
    uint16_t number = 0;
    std::memcpy(&number, row, 2);
    const char *text = static_cast<const char *>(row) + kRowText;
    // The clip's first chase leads the chain: it stands on a green bar.
    Gfx_DrawText(text, x + 1, y + 1, g_pOrderingTable);
    if (number == 1)
        Gfx_AddTile(x - 2, y + 1, 80, 11, 0, 64, 0);
}

// Answer of the boxes that end an edit: back where the editor can go on.
void BackAfterFailure(uint8_t)
{
    if (g_ucChaseEditFlags & CHASEEDIT_CAMERA)
        g_iNextScreen = 36;
    else if (HasList() && EntryCount() == 0)
        g_iNextScreen = 35;
    else if (HasList())
        g_iNextScreen = 35;
    else
        Ed_LeaveChaseEditor();
    if (g_pChaseEditWindow)
        Ui_SetFocus(g_pChaseEditWindow);
}

void StoreScrollerValue(int32_t value)
{
    if (g_ucChaseListSel < g_ucChaseListCount) {
        g_aiChaseValues[g_ucChaseListSel] = value;
        g_aucChaseWriteStates[g_ucChaseListSel] = KEYSTATE_SET;
        Ed_WriteChaseKey(true);
    }
}

char s_szWord[32];

void TextEntryDone()
{
    if (g_ucChaseListSel < g_ucChaseListCount && g_pChaseSelChannel && g_pChaseSelChannel->pszNames) {
        std::snprintf(g_pChaseSelChannel->pszNames, 15, "%.14s", s_szWord);
        g_aucChaseWriteStates[g_ucChaseListSel] = KEYSTATE_SET;
        Ed_WriteChaseKey(true);
    }
    g_ucChaseEditFlags &= uint8_t(~CHASEEDIT_TEXTENTRY);
    g_iNextScreen = 36;
    if (g_pChaseEditWindow)
        Ui_SetFocus(g_pChaseEditWindow);
}

void TextEntryCancelled()
{
    g_ucChaseEditFlags &= uint8_t(~CHASEEDIT_TEXTENTRY);
    g_iNextScreen = 36;
    if (g_pChaseEditWindow)
        Ui_SetFocus(g_pChaseEditWindow);
}

void OpenWordEntry()
{
    if ((g_ucChaseEditFlags & CHASEEDIT_TEXTENTRY) || !g_pChaseSelChannel || !g_pChaseSelChannel->pszNames)
        return;
    std::snprintf(s_szWord, sizeof s_szWord, "%.14s", g_pChaseSelChannel->pszNames);
    TEXTENTRYREQUEST req{};
    req.x = 40;
    req.y = 90;
    req.maxLength = 15;
    req.titleText = 262;
    req.text = s_szWord;
    req.accept = TextEntryDone;
    req.cancel = TextEntryCancelled;
    if (Ui_OpenTextEntry(&req))
        g_ucChaseEditFlags |= CHASEEDIT_TEXTENTRY;
    else
        Ui_PlayRefusal();
}

bool IsHidden(int32_t row)
{
    return row >= 0 && row < g_ucChaseListCount && g_apChaseChannels[row] && g_apChaseChannels[row]->ucKind == 8;
}

void OpenPageMenuFor(int16_t page)
{
    Ed_StopClipPlay();
    Seq_PlayInterfaceSound(1);
    Ui_SetMenuPage(page);
    Ed_ChaseMenuRefresh();
    Ui_OpenPageMenu();
}

// The screen a command was asked from: the one under the page menu while it is open.
int16_t CurrentScreen()
{
    return g_pPageMenuPopup ? g_sPageMenuSavedScreen : int16_t(g_iScreen);
}

} // namespace

const char *Ed_ChaseTypeName(const CHASEDEF *def)
{
    static const char *const kNames[21] = {"",         "Shape",   "Background", "Rotation",    "Scale",     "Path",
                                           "Camera",   "Wireframe", "Colour",   "Particle",    "Text",      "Texture",
                                           "Movie",    "Palette", "Spine",      "Kaleidoscope", "Pop-art",  "Feedback",
                                           "Negative", "Tunnel",  "Speed"};
    if (!def)
        return "";
    if (def->uStoredId >= 1 && def->uStoredId <= 20)
        return kNames[def->uStoredId];
    return Ui_Text(def->uLabel);
}

const char *Ed_ChaseChannelLabel(int32_t storedId, int32_t channel)
{
    if (storedId < 1 || storedId > 20 || channel < 0 || channel >= 16)
        return "";
    const char *label = kLabels[storedId][channel];
    return label ? label : "";
}

void Ed_ChaseListRowText(const VIDCLIP *clip, int32_t n, char *out, int32_t size)
{
    if (!out || size <= 0)
        return;
    out[0] = 0;
    if (!clip || n < 1 || n > clip->sEntryCount)
        return;
    const CHASE *chase = Vid_GetClipEntryChase(clip, n);
    if (!chase || !chase->pDef) {
        std::snprintf(out, size_t(size), "Bad ChaseID");
        return;
    }
    const char *name = Ed_ChaseTypeName(chase->pDef);
    if (chase->uSerial == 0)
        std::snprintf(out, size_t(size), "%s", name);
    else
        std::snprintf(out, size_t(size), "%s%04d", name, chase->uSerial % 10000);
}

// ---- Opening and leaving ----

void Ed_EditClipAtCursor()
{
    Sys_CallLog("Ed_EditClipAtCursor");
    if (g_ucGridKind != 1 || !g_pGridView) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t row = Ui_GridCursorRow(), column = Ui_GridCursorColumn();
    const int32_t group = Ui_FindRowGroup(row);
    if (group < 0 || column < 0) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t lane = group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
    if (lane < 0 || lane > 5) {
        Ui_PlayRefusal();
        return;
    }
    g_ucChaseEditFlags = lane == 4 ? CHASEEDIT_CAMERA : lane == 5 ? CHASEEDIT_EFFECT : CHASEEDIT_OBJECT;
    g_iChaseEditLane = lane;
    g_iChaseEditColumn = column;
    VIDCLIP *clip = Vid_GetLaneClipAt(lane, column);
    if (!clip) {
        Ed_StartNewClipRange();
        return;
    }
    Ed_OpenChaseEditorOnClip(clip);
}

// The press has already put the cursor on the pointer's cell: the clip there opens (or an empty
// cell starts a new clip's range), as the menu item does.
void Ed_ChaseGridAction()
{
    Sys_CallLog("Ed_ChaseGridAction");
    Ed_EditClipAtCursor();
}

void Ed_OpenChaseEditorOnClip(VIDCLIP *clip)
{
    Sys_CallLog("Ed_OpenChaseEditorOnClip");
    if (!clip || g_pChaseEditWindow) {
        Ui_PlayRefusal();
        return;
    }
    // The kind of the clip's head decides the layout when the clip came without a lane.
    if (!(g_ucChaseEditFlags & (CHASEEDIT_OBJECT | CHASEEDIT_CAMERA | CHASEEDIT_EFFECT))) {
        const CHASE *head = Vid_GetClipEntryChase(clip, 1);
        const int kind = head && head->pDef ? head->pDef->uKind : int(CHASEKIND_PLAIN);
        g_ucChaseEditFlags |= uint8_t(kind == CHASEKIND_CAM   ? CHASEEDIT_CAMERA
                                      : kind == CHASEKIND_DVE ? CHASEEDIT_EFFECT
                                                              : CHASEEDIT_OBJECT);
        g_iChaseEditLane = kind == CHASEKIND_CAM ? 4 : kind == CHASEKIND_DVE ? 5 : 0;
    }
    if (g_pPreviewClip != clip) {
        Vid_AddClipRef(clip);
        if (g_pPreviewClip)
            Vid_ReleaseClip(g_pPreviewClip);
        g_pPreviewClip = clip;
    }
    g_iNextScreen = 10;
    Ui_SetMenuPage(MENU_PAGE_NONE);
    Vid_ClearClipChaseFlag(clip);
    Ed_CloseWindowsThenRun(Ed_OpenChaseEditorWindow);
}

void Ed_OpenChaseEditorWindow()
{
    Sys_CallLog("Ed_OpenChaseEditorWindow");
    VIDCLIP *clip = Clip();
    if (!clip || g_pChaseEditWindow) {
        g_ucChaseEditFlags = 0;
        Ed_ShowVideoGrid();
        return;
    }
    Ui_SaveGridView();
    WINDOWDESC wd{};
    wd.x = uint16_t(std::max(0, (g_iScreenWidth - 348) / 2));
    wd.y = uint16_t(std::max(0, (g_iScreenHeight - 139) / 2));
    wd.w = 348;
    wd.h = 179;
    wd.style = 1;
    wd.input = Ed_ChaseEditorFrame;
    wd.draw = Ed_DrawChaseEditor;
    // The window's centre is left to the editor's panels, so the live preview shows through.
    g_bSeeThroughOnce = 1;
    g_pChaseEditWindow = Ui_OpenWindow(&wd);
    g_bSeeThroughOnce = 0;
    if (!g_pChaseEditWindow) {
        Sys_ShowOutOfMemoryBox(nullptr);
        g_ucChaseEditFlags = 0;
        Ed_ShowVideoGrid();
        return;
    }
    // The pointer reaches the editor's regions through its window's role.
    Ui_SetWindowRole(UI_ROLE_CHASE_EDITOR, g_pChaseEditWindow, nullptr);
    UpdateTitle();
    TEXTFIELDDESC td{};
    td.text = s_szTitle;
    td.x = 6;
    td.y = 7;
    td.w = 335;
    td.h = 14;
    td.parent = g_pChaseEditWindow;
    td.style = 3;
    Ui_CreateTextField(&td);
    g_pChaseParamList = nullptr;
    if (!(g_ucChaseEditFlags & CHASEEDIT_CAMERA)) {
        LISTDESC ld{};
        ld.x = 8;
        ld.y = 27;
        ld.w = 80;
        ld.visibleRows = 5;
        ld.totalRows = uint16_t(EntryCount());
        ld.rowHeight = 12;
        ld.rowStride = kRowStride;
        ld.fillRow = ListRow;
        ld.drawRow = DrawListRow;
        g_pChaseParamList = Ui_CreateList(&ld, g_pChaseEditWindow);
        g_iNextScreen = 35;
        g_iChaseEditPage = 0;
    } else {
        g_iNextScreen = 36;
        g_iChaseEditPage = 1;
    }
    const int16_t view[4] = {int16_t(g_pChaseEditWindow->x + 219), int16_t(g_pChaseEditWindow->y + 27), 120, 90};
    std::copy(view, view + 4, g_asChaseViewRect);
    Vid_SetViewport(view);
    g_ucGridKind = 4;
    Ui_SetFocus(g_pChaseEditWindow);
    ResetWriteStates();
    g_ucChaseLevel = 0;
    g_ucChaseListSel = 0;
    s_pLastPreviewed = nullptr;
    g_ucChaseSlider = 0;
    g_sChaseSettingsScreen = 44;
    Vid_SetClipPreview(1);
    if (EntryCount() == 0) {
        if (g_ucChaseEditFlags & CHASEEDIT_CAMERA) {
            Ui_ApplyChaseType(Vid_FindChaseType(6));
            Ed_ChaseRefresh();
        } else {
            Ui_SetMenuPage((g_ucChaseEditFlags & CHASEEDIT_EFFECT) ? 23 : 9);
            Ui_OpenPageMenu();
        }
    } else {
        Ed_ChaseRefresh();
    }
    if (!g_pPageMenuPopup)
        Ui_SetMenuPage(HasList() ? (ListSelection() == 0 ? 10 : 11) : 14);
    Ed_ChaseMenuRefresh();
}

void Ed_LeaveChaseEditor()
{
    Sys_CallLog("Ed_LeaveChaseEditor");
    if (!g_pChaseEditWindow)
        return;
    Ed_StopClipPlay();
    if (g_ucFullScreenVideo)
        Ed_ToggleFullScreenVideo();
    VIDCLIP *clip = Clip();
    if (clip && clip->sEntryCount <= 0) {
        // An empty clip has nothing to show: it goes from the lanes and is destroyed.
        Ed_ForgetPendingRun();
        Vid_RemoveClipFromLanes(clip);
        g_pPreviewClip = nullptr;
        Vid_ReleaseClip(clip);
        clip = nullptr;
    } else if (clip) {
        Ed_WriteChaseKey(false);
        Vid_SetClipChaseFlag(clip);
        if (g_iChaseEditLane >= 0 && g_iChaseEditLane < VID_LANE_COUNT &&
            clip->sEntryCount - 1 > g_abLaneHighWater[g_iChaseEditLane])
            g_abLaneHighWater[g_iChaseEditLane] = uint8_t(std::min(255, clip->sEntryCount - 1));
    }
    WINDOW *w = g_pChaseEditWindow;
    g_pChaseEditWindow = nullptr;
    g_pChaseParamList = nullptr;
    w->onClose = Ed_ShowVideoGrid;
    Ui_CloseWindow(w);
    if (g_pChaseClipboard) {
        Vid_ReleaseChase(g_pChaseClipboard);
        g_pChaseClipboard = nullptr;
    }
    SetEditChase(nullptr);
    s_pLastPreviewed = nullptr;
    Vid_SetClipPreview(0);
    for (int g = 0; g < 4; g++) {
        Ui_ToggleRowGroup(g);
        Ui_ToggleRowGroup(g);
    }
    Vid_GetVideoEnd();
    Ed_UpdateMemoryUsage();
    g_ucChaseEditFlags = 0;
    g_iChaseEditPage = 0;
    g_ucGridKind = 1;
    g_iNextScreen = 10;
}

void Ed_ChaseRefresh()
{
    Sys_CallLog("Ed_ChaseRefresh");
    Ed_PlacePendingRun();
    UpdateTitle();
    VIDCLIP *clip = Clip();
    if (!clip) {
        SetEditChase(nullptr);
        g_ucChaseListCount = 0;
        return;
    }
    if (HasList()) {
        LISTWIDGET *l = g_pChaseParamList;
        const int32_t count = EntryCount();
        l->totalRows = uint16_t(count);
        if (count == 0)
            l->selected = 0;
        else if (l->selected >= count)
            l->selected = uint16_t(count - 1);
        if (l->first > l->selected)
            l->first = l->selected;
        if (l->selected >= l->first + l->visibleRows)
            l->first = uint16_t(l->selected - l->visibleRows + 1);
        SetEditChase(count ? Vid_GetClipEntryChase(clip, l->selected + 1) : nullptr);
        if (l->scrollBar) {
            Ui_SetScrollBarMax(l->scrollBar, std::max(0, count - int32_t(l->visibleRows)));
            Ui_SetScrollBarPos(l->scrollBar, l->first);
        }
        Ui_RefillListRows(l);
    } else {
        SetEditChase(EntryCount() ? Vid_GetClipEntryChase(clip, 1) : nullptr);
    }
    CHASE *chase = g_pEditChase;
    if (!chase) {
        g_ucChaseListCount = 0;
        g_pChaseSelChannel = nullptr;
        return;
    }
    std::fill(std::begin(g_aiChaseValues), std::end(g_aiChaseValues), 0);
    std::fill(std::begin(g_aucChaseKeyHere), std::end(g_aucChaseKeyHere), uint8_t(0));
    std::fill(std::begin(g_apChaseChannels), std::end(g_apChaseChannels), nullptr);
    const int32_t n =
        Vid_GetChaseKey(chase, g_ucChaseLevel, g_aiChaseValues, g_aucChaseKeyHere, g_apChaseChannels, ED_CHASE_CHANNELS);
    g_ucChaseListCount = uint8_t(std::clamp(n, 0, ED_CHASE_CHANNELS));
    std::memset(g_aucChaseKeyTimes, 0, sizeof g_aucChaseKeyTimes);
    const int32_t keys = std::min(Vid_GetChaseKeyCount(chase), 256);
    for (int32_t k = 0; k < keys; k++)
        g_aucChaseKeyTimes[k] = uint8_t(Vid_GetChaseKeyTime(chase, k));
    if (g_ucChaseListSel >= g_ucChaseListCount)
        g_ucChaseListSel = uint8_t(g_ucChaseListCount ? g_ucChaseListCount - 1 : 0);
    while (g_ucChaseListSel > 0 && IsHidden(g_ucChaseListSel))
        g_ucChaseListSel--;
    g_pChaseSelChannel = g_ucChaseListSel < g_ucChaseListCount ? g_apChaseChannels[g_ucChaseListSel] : nullptr;
    Ed_LoadChaseSettings();
    g_ucChaseLevel = chase->ucCursor;
    if (chase != s_pLastPreviewed) {
        s_pLastPreviewed = chase;
        Vid_PreviewChaseAt(chase, g_ucChaseLevel);
    }
}

void Ed_ChaseMenuRefresh()
{
    const bool camera = g_ucChaseEditFlags & CHASEEDIT_CAMERA;
    const bool effect = g_ucChaseEditFlags & CHASEEDIT_EFFECT;
    Ui_SetMenuItemHandler(71, camera ? nullptr : Ed_ChaseAddChase);
    Ui_SetMenuItemHandler(72, camera || effect ? nullptr : Ed_ChaseChangeChase);
    Ui_SetMenuItemHandler(73, camera ? nullptr : Ed_ChaseCutChase);
    Ui_SetMenuItemHandler(74, camera ? nullptr : Ed_ChaseCopyChase);
    Ui_SetMenuItemHandler(75, g_pChaseClipboard && !camera ? Ed_ChasePasteChase : nullptr);
}

int32_t Ed_WriteChaseKey(bool fromUser)
{
    if (!g_pEditChase)
        return 0;
    const bool pending = std::any_of(std::begin(g_aucChaseWriteStates), std::end(g_aucChaseWriteStates),
                                     [](uint8_t s) { return s != KEYSTATE_KEEP; });
    if (!pending && !fromUser)
        return 1;
    if (Vid_SetChaseKey(g_pEditChase, g_ucChaseLevel, g_aiChaseValues, g_aucChaseWriteStates)) {
        ResetWriteStates();
        s_pLastPreviewed = nullptr;
        Ed_ChaseRefresh();
        return 1;
    }
    ResetWriteStates();
    // What is shown goes back to what the chase holds.
    Vid_PreviewChaseAt(g_pEditChase, g_ucChaseLevel);
    if (fromUser) {
        s_pLastPreviewed = nullptr;
        Ed_ChaseRefresh();
        Sys_ShowOutOfMemoryBox(BackAfterFailure);
    }
    return 0;
}

void Ed_SetChasePosition(int32_t position)
{
    position = std::clamp(position, 0, 255);
    ResetWriteStates();
    g_ucChaseLevel = uint8_t(position);
    if (g_pEditChase) {
        Vid_SetChaseLevel(g_pEditChase, position);
        s_pLastPreviewed = nullptr;
    }
    Ed_ChaseRefresh();
}

// ---- Screen 35: the object list ----

void Ed_ChaseListUp()
{
    if (!HasList() || g_pChaseParamList->selected == 0)
        return;
    Ed_StopClipPlay();
    Ed_WriteChaseKey(false);
    g_pChaseParamList->selected--;
    Seq_PlayInterfaceSound(2);
    Ed_ChaseRefresh();
}

void Ed_ChaseListDown()
{
    if (!HasList() || g_pChaseParamList->selected + 1 >= EntryCount())
        return;
    Ed_StopClipPlay();
    Ed_WriteChaseKey(false);
    g_pChaseParamList->selected++;
    Seq_PlayInterfaceSound(2);
    Ed_ChaseRefresh();
}

void Ed_ChaseListAccept()
{
    if (!g_pEditChase) {
        Ui_PlayRefusal();
        return;
    }
    Seq_PlayInterfaceSound(1);
    g_iNextScreen = 36;
    g_iChaseEditPage = 1;
}

void Ed_ChaseListPageMenu()
{
    OpenPageMenuFor(ListSelection() == 0 ? 10 : 11);
}

// ---- Screen 36: the parameter rows ----

void Ed_ChaseParamUp()
{
    if (g_ucChaseListSel == 0)
        return;
    g_ucChaseListSel--;
    while (g_ucChaseListSel > 0 && IsHidden(g_ucChaseListSel))
        g_ucChaseListSel--;
    g_pChaseSelChannel = g_apChaseChannels[g_ucChaseListSel];
    Seq_PlayInterfaceSound(2);
}

void Ed_ChaseParamDown()
{
    if (g_ucChaseListSel + 1 >= g_ucChaseListCount || IsHidden(g_ucChaseListSel + 1))
        return;
    g_ucChaseListSel++;
    g_pChaseSelChannel = g_apChaseChannels[g_ucChaseListSel];
    Seq_PlayInterfaceSound(2);
}

namespace {

void StepValue(int32_t d)
{
    const CHASECHANNEL *c = g_ucChaseListSel < g_ucChaseListCount ? g_apChaseChannels[g_ucChaseListSel] : nullptr;
    if (!c || !g_pEditChase)
        return;
    if (c->ucKind == 7) {
        OpenWordEntry();
        return;
    }
    if (c->ucKind == 8)
        return;
    const int32_t v = g_aiChaseValues[g_ucChaseListSel] + d;
    if (v < c->sMin || v > c->sMax)
        return;
    Ed_StopClipPlay();
    g_aiChaseValues[g_ucChaseListSel] = v;
    Seq_PlayInterfaceSound(2);
    g_aucChaseWriteStates[g_ucChaseListSel] = KEYSTATE_SET;
    Ed_WriteChaseKey(true);
}

} // namespace

void Ed_ChaseParamLeft()
{
    StepValue(-1);
}

void Ed_ChaseParamRight()
{
    StepValue(+1);
}

void Ed_ChaseParamChoose()
{
    const CHASECHANNEL *c = g_ucChaseListSel < g_ucChaseListCount ? g_apChaseChannels[g_ucChaseListSel] : nullptr;
    if (!c || c->ucKind == 8)
        return;
    Ed_StopClipPlay();
    g_aucChaseWriteStates[g_ucChaseListSel] = KEYSTATE_SET;
    Seq_PlayInterfaceSound(1);
    if (c->sMin == c->sMax)
        return;
    if (c->ucKind == 7) {
        OpenWordEntry();
        return;
    }
    // The value scroller of the panel edits the row; each change writes the key.
    g_tScroller.part = 1;
    g_tScroller.value = g_aiChaseValues[g_ucChaseListSel];
    g_tScroller.minimum = c->sMin;
    g_tScroller.maximum = c->sMax;
    g_tScroller.width = 120;
    g_tScroller.change = StoreScrollerValue;
    g_tScroller.drag = StoreScrollerValue;
    g_tScroller.delay = 0;
    g_iNextScreen = 41;
}

void Ed_ChaseParamPageMenu()
{
    OpenPageMenuFor(14);
}

void Ed_ChaseParamBack()
{
    Seq_PlayInterfaceSound(4);
    Ed_WriteChaseKey(false);
    if (g_ucChaseEditFlags & CHASEEDIT_OBJECT) {
        g_iNextScreen = 35;
        g_iChaseEditPage = 0;
    } else {
        Ed_LeaveChaseEditor();
    }
}

// ---- Screens 37 and 38: the timeline ----

void Ed_ChaseValueLeft()
{
    if (g_ucTimelineChoice > 0) {
        g_ucTimelineChoice--;
        Seq_PlayInterfaceSound(2);
    }
}

void Ed_ChaseValueRight()
{
    if (g_ucTimelineChoice < 4) {
        g_ucTimelineChoice++;
        Seq_PlayInterfaceSound(2);
    }
}

namespace {

// Runs a timeline choice: 0 the key before, 1 one step back, 3 one step on, 4 the key after.
void RunTimelineStep(int32_t choice)
{
    const int32_t pos = g_ucChaseLevel;
    const int32_t keys = std::min(Vid_GetChaseKeyCount(g_pEditChase), 256);
    switch (choice) {
    case 0: {
        int32_t best = -1;
        for (int32_t k = 0; k < keys; k++)
            if (g_aucChaseKeyTimes[k] < pos)
                best = std::max<int32_t>(best, g_aucChaseKeyTimes[k]);
        if (best >= 0)
            Ed_SetChasePosition(best);
        break;
    }
    case 1: Ed_SetChasePosition(std::max(0, pos - 1)); break;
    case 3: Ed_SetChasePosition(std::min(255, pos + 1)); break;
    case 4: {
        int32_t best = 256;
        for (int32_t k = 0; k < keys; k++)
            if (g_aucChaseKeyTimes[k] > pos)
                best = std::min<int32_t>(best, g_aucChaseKeyTimes[k]);
        if (best < 256)
            Ed_SetChasePosition(best);
        break;
    }
    default: break;
    }
}

} // namespace

void Ed_ChaseParamAccept()
{
    // Held: the first press acts, then the repeat after a short wait.
    const bool act = s_iRepeatCounter == 0 || s_iRepeatCounter > 11;
    s_iRepeatCounter++;
    if (!act || !g_pEditChase)
        return;
    Ed_StopClipPlay();
    Ed_WriteChaseKey(false);
    if (g_ucTimelineChoice == 2) {
        g_iNextScreen = 38;
        s_iRepeatCounter = 0;
        return;
    }
    RunTimelineStep(g_ucTimelineChoice);
}

void Ed_ChaseValueBack()
{
    Seq_PlayInterfaceSound(4);
    s_iRepeatCounter = 0;
    g_iNextScreen = g_sTimelineReturnScreen;
}

void Ed_ChaseValuePageMenu()
{
    s_iRepeatCounter = 0;
    OpenPageMenuFor(13);
}

void Ed_ChaseLevelDown()
{
    Ed_StopClipPlay();
    g_ucChaseLevel = uint8_t(std::max(0, g_ucChaseLevel - 3));
}

void Ed_ChaseLevelUp()
{
    Ed_StopClipPlay();
    g_ucChaseLevel = uint8_t(std::min(255, g_ucChaseLevel + 3));
}

void Ed_ChaseLevelBack()
{
    s_iRepeatCounter = 0;
    g_iNextScreen = 37;
    Ed_SetChasePosition(g_ucChaseLevel);
}

void Ed_ChaseEditTimeline()
{
    if (!g_pEditChase) {
        Ui_PlayRefusal();
        return;
    }
    g_sTimelineReturnScreen = CurrentScreen();
    g_iNextScreen = 37;
    g_ucTimelineChoice = 2;
    s_iRepeatCounter = 0;
}

// ---- Chase commands ----

void Ed_ChaseAddChase()
{
    Ed_StopClipPlay();
    if ((g_ucChaseEditFlags & CHASEEDIT_CAMERA) || EntryCount() >= ED_CLIP_MAX_ENTRIES) {
        Ui_PlayRefusal();
        return;
    }
    g_ucChaseEditFlags &= uint8_t(~CHASEEDIT_CHANGE);
    const int16_t page = (g_ucChaseEditFlags & CHASEEDIT_EFFECT) ? 23 : 12;
    if (page == 12)
        g_atPageMenuDescs[12].selected = g_atPageMenuDescs[12].first = 0;
    Ui_SetMenuPage(page);
    Ui_OpenPageMenu();
}

void Ed_ChaseChangeChase()
{
    Ed_StopClipPlay();
    if (g_ucChaseEditFlags & (CHASEEDIT_CAMERA | CHASEEDIT_EFFECT)) {
        Ui_PlayRefusal();
        return;
    }
    g_ucChaseEditFlags |= CHASEEDIT_CHANGE;
    Ui_SetMenuPage(9);
    Ui_OpenPageMenu();
}

void Ed_ChaseCutChase()
{
    Ed_StopClipPlay();
    if (!HasList() || ListSelection() == 0 || !g_pEditChase) {
        Ui_PlayRefusal();
        return;
    }
    Ed_WriteChaseKey(false);
    // The chase the clipboard held before goes.
    CHASE *old = g_pChaseClipboard;
    g_pChaseClipboard = Vid_AddChaseRef(g_pEditChase);
    if (old)
        Vid_ReleaseChase(old);
    Vid_RemoveClipEntry(Clip(), ListSelection() + 1);
    Ed_ChaseRefresh();
    Ed_ChaseMenuRefresh();
}

void Ed_ChaseCopyChase()
{
    Ed_StopClipPlay();
    if (!HasList() || ListSelection() == 0 || !g_pEditChase) {
        Ui_PlayRefusal();
        return;
    }
    Ed_WriteChaseKey(false);
    CHASE *old = g_pChaseClipboard;
    g_pChaseClipboard = Vid_AddChaseRef(g_pEditChase);
    if (old)
        Vid_ReleaseChase(old);
    Ed_ChaseMenuRefresh();
}

namespace {

char s_szPasteRefusal[160];

void PasteRefusalAnswered(uint8_t)
{
    g_iNextScreen = 35;
    if (g_pChaseEditWindow)
        Ui_SetFocus(g_pChaseEditWindow);
}

} // namespace

void Ed_ChasePasteChase()
{
    Ed_StopClipPlay();
    CHASE *chase = g_pChaseClipboard;
    VIDCLIP *clip = Clip();
    if (!chase || !clip || !HasList() || EntryCount() >= ED_CLIP_MAX_ENTRIES) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t after = ListSelection() + 1;
    if (chase->pDef && chase->pDef->mix && !chase->pDef->mix(chase, clip, after)) {
        std::snprintf(s_szPasteRefusal, sizeof s_szPasteRefusal, "%s (%s) %s", Ui_Text(543),
                      Ed_ChaseTypeName(chase->pDef), Ui_Text(544));
        MSGBOXREQUEST req{};
        req.pszText = s_szPasteRefusal;
        req.ucButtonCount = 1;
        req.asButtonText[0] = 114;
        req.ucFlags = MSGBOX_COPY_TEXT;
        req.pfnAnswer = PasteRefusalAnswered;
        Ui_OpenMessageBox(&req);
        return;
    }
    if (!Vid_InsertClipEntry(clip, chase, after)) {
        Sys_ShowOutOfMemoryBox(BackAfterFailure);
        return;
    }
    g_pChaseParamList->totalRows = uint16_t(EntryCount());
    Ed_ChaseRefresh();
}

void Ed_ChaseCloneChase()
{
    Ed_StopClipPlay();
    VIDCLIP *clip = Clip();
    if (!g_pEditChase || !clip || EntryCount() == 0) {
        Ui_PlayRefusal();
        return;
    }
    Ed_WriteChaseKey(false);
    CHASE *copy = Vid_CopyChase(g_pEditChase);
    if (!copy) {
        Sys_ShowOutOfMemoryBox(BackAfterFailure);
        return;
    }
    const int32_t sel = ListSelection();
    Vid_RemoveClipEntry(clip, sel + 1);
    if (!Vid_InsertClipEntry(clip, copy, sel)) {
        // The entry is gone: put the original back rather than lose it.
        Vid_InsertClipEntry(clip, g_pEditChase, sel);
        Vid_ReleaseChase(copy);
        Ed_ChaseRefresh();
        Sys_ShowOutOfMemoryBox(BackAfterFailure);
        return;
    }
    // A copy is made without a reference: the clip's entry holds its only one.
    s_pLastPreviewed = nullptr;
    Ed_ChaseRefresh();
}

void Ed_ChaseDeleteEntireKey()
{
    Ed_StopClipPlay();
    if (!g_pEditChase || g_ucChaseLevel == 0) {
        Ui_PlayRefusal();
        return;
    }
    std::fill(std::begin(g_aucChaseWriteStates), std::end(g_aucChaseWriteStates), uint8_t(KEYSTATE_REMOVE));
    Ed_WriteChaseKey(true);
}

void Ed_ChaseDeleteParameterKey()
{
    Ed_StopClipPlay();
    if (!g_pEditChase || Vid_GetChaseKeyCount(g_pEditChase) <= 1 || g_ucChaseListSel >= g_ucChaseListCount) {
        Ui_PlayRefusal();
        return;
    }
    // Every type, the text chase too: the selected row's key goes at once.
    g_aucChaseWriteStates[g_ucChaseListSel] = KEYSTATE_REMOVE;
    Ed_WriteChaseKey(true);
}

void Ed_InstallChaseMenuItems()
{
    Ui_SetMenuItemHandler(70, Ed_EditClipAtCursor);
    Ed_ChaseMenuRefresh();
    Ui_SetMenuItemHandler(76, Ed_VideoToFullScreen);
    Ui_SetMenuItemHandler(77, Ed_ChaseDeleteEntireKey);
    Ui_SetMenuItemHandler(78, Ed_ChaseDeleteParameterKey);
    Ui_SetMenuItemHandler(79, Ed_ChaseEditGlobals);
    Ui_SetMenuItemHandler(80, Ed_ResizeClip);
    Ui_SetMenuItemHandler(81, Ed_ClipEditPlay);
    Ui_SetMenuItemHandler(117, Ed_ChaseEditTimeline);
    Ui_SetMenuItemHandler(118, Ed_ChaseCloneChase);
    Ed_InstallClipPaletteItems();
}

// ---- The pointer ----

int32_t Ed_ChaseKnobOffset()
{
    const CHASECHANNEL *c = g_ucChaseListSel < g_ucChaseListCount ? g_apChaseChannels[g_ucChaseListSel] : nullptr;
    if (!c || !g_pEditChase || c->ucKind == 7 || c->ucKind == 8)
        return -1;
    const int32_t span = c->sMax - c->sMin;
    const int32_t travel = ED_CHASE_TRACK_WIDTH - ED_CHASE_KNOB_WIDTH;
    const int32_t v = std::clamp(g_aiChaseValues[g_ucChaseListSel], int32_t(c->sMin), int32_t(c->sMax));
    return ED_CHASE_TRACK_LEFT + (span > 0 ? (v - c->sMin) * travel / span : 0);
}

namespace {

// A held button repeats a step after a short wait, as the pad's held accept does.
bool PressOrRepeat()
{
    return g_iMouseHoldFrames == 0 || g_iMouseHoldFrames > 11;
}

int32_t SelectParameterRow(int32_t row)
{
    if (!g_pEditChase || row < 0 || row >= ED_CHASE_ROWS_SHOWN || row >= g_ucChaseListCount || IsHidden(row) ||
        !g_apChaseChannels[row])
        return -1;
    g_iChaseEditPage = 1;
    if (row != g_ucChaseListSel)
        Seq_PlayInterfaceSound(2);
    g_ucChaseListSel = uint8_t(row);
    g_pChaseSelChannel = g_apChaseChannels[row];
    return 0;
}

int32_t StepSelectedValue(int32_t d)
{
    const CHASECHANNEL *c = g_ucChaseListSel < g_ucChaseListCount ? g_apChaseChannels[g_ucChaseListSel] : nullptr;
    if (!c || !g_pEditChase || c->ucKind == 7 || c->ucKind == 8 || c->sMin == c->sMax)
        return -1;
    const int32_t v = g_aiChaseValues[g_ucChaseListSel] + d;
    if (v < c->sMin || v > c->sMax)
        return -1;
    StepValue(d);
    return 0;
}

// The knob moves one step toward the pointer: once past its far edge, or before it.
int32_t StepValueToward(int32_t x)
{
    const int32_t knob = Ed_ChaseKnobOffset();
    if (knob < 0)
        return -1;
    if (x > knob + ED_CHASE_KNOB_WIDTH)
        return StepSelectedValue(+1);
    if (x < knob)
        return StepSelectedValue(-1);
    return 0;
}

int32_t StepSlider(int32_t row, int32_t d)
{
    if (!g_pEditChase || row < 0 || row > 2)
        return -1;
    CHASESLIDER &s = g_atChaseSliders[row];
    g_ucChaseSlider = uint8_t(row);
    s.ucArrow = d > 0 ? 1 : 0;
    const int32_t p = s.ucPosition + d;
    if (p < 0 || p >= s.ucPositions)
        return -1;
    Ed_StopClipPlay();
    s.ucPosition = uint8_t(p);
    Ed_WriteChaseSettings();
    Seq_PlayInterfaceSound(2);
    return 0;
}

int32_t SetTriggerLevel(int32_t level)
{
    if (!g_pEditChase)
        return -1;
    // The column's top pixel is level 1: the level scale never reaches 0.
    g_sChaseTriggerLevel = int16_t(std::clamp(level, 1, 51));
    Ed_WriteChaseSettings();
    return 0;
}

int32_t ToggleEffectFlag(int32_t bit)
{
    const int32_t id = g_pEditChase && g_pEditChase->pDef ? g_pEditChase->pDef->uStoredId : 0;
    if (!g_pEditChase || bit < 0 || bit > 3 || !(g_ucChaseEditFlags & CHASEEDIT_EFFECT) || id == 17 || id == 20)
        return -1;
    g_ucChaseFlagBit = uint8_t(bit);
    g_ucChaseEffectFlags ^= uint8_t(1u << bit);
    Ed_WriteChaseSettings();
    return 0;
}

// The timeline strip shows on screen 37; the pad's back returns where the click came from.
void ShowTimeline()
{
    if (g_iScreen != 37 && g_iScreen != 38)
        g_sTimelineReturnScreen = int16_t(g_iScreen);
    g_iNextScreen = 37;
}

int32_t TimelineButton(int32_t choice)
{
    if (!g_pEditChase || choice < 0 || choice > 4 || choice == 2)
        return -1;
    ShowTimeline();
    g_ucTimelineChoice = uint8_t(choice);
    if (!PressOrRepeat())
        return 0;
    Ed_StopClipPlay();
    Ed_WriteChaseKey(false);
    RunTimelineStep(choice);
    return 0;
}

int32_t TimelineAt(int32_t position)
{
    if (!g_pEditChase)
        return -1;
    ShowTimeline();
    position = std::clamp(position, 0, 254);
    if (position == g_ucChaseLevel)
        return 0;
    Ed_StopClipPlay();
    Ed_WriteChaseKey(false);
    Ed_SetChasePosition(position);
    return 0;
}

int32_t BackToObjectList()
{
    if (!g_pChaseEditWindow || (g_ucChaseEditFlags & CHASEEDIT_CAMERA) || !HasList())
        return -1;
    Ed_WriteChaseKey(false);
    g_iNextScreen = 35;
    g_iChaseEditPage = 0;
    Ed_ChaseRefresh();
    Ui_SetMenuPage(ListSelection() == 0 ? 10 : 11);
    return 0;
}

} // namespace

int32_t Ed_ChaseEditorAction(int32_t region, int32_t index, int32_t value)
{
    Sys_CallLog("Ed_ChaseEditorAction");
    if (!g_pChaseEditWindow || g_ucFullScreenVideo)
        return -1;
    switch (region) {
    case CHASEHIT_PARAMETER: return SelectParameterRow(index);
    case CHASEHIT_ICON: return BackToObjectList();
    case CHASEACT_KIND_ACTION:
        // A word is edited in the text entry, not on the bar.
        if (!g_pChaseSelChannel || g_pChaseSelChannel->ucKind != 7 || !g_pEditChase)
            return -1;
        Ed_StopClipPlay();
        g_aucChaseWriteStates[g_ucChaseListSel] = KEYSTATE_SET;
        OpenWordEntry();
        return 0;
    case CHASEACT_LEVEL_STEP: return PressOrRepeat() ? StepSelectedValue(index < 0 ? -1 : 1) : 0;
    case CHASEACT_LEVEL_TOWARD: return StepValueToward(value);
    case CHASEACT_SLIDER_STEP: return StepSlider(index, value < 0 ? -1 : 1);
    case CHASEACT_SLIDER_SET: return SetTriggerLevel(value);
    case CHASEACT_CHANNEL: return ToggleEffectFlag(value);
    case CHASEACT_STRIP_PARAMETER: return TimelineButton(index);
    case CHASEACT_STRIP_LEVEL: return TimelineAt(value);
    default: return -1;
    }
}
