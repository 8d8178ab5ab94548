#include "ui/chasepicker.h"

#include "core/disc.h"
#include "core/idpool.h"
#include "core/padbind.h"
#include "editors/chaseeditor.h"
#include "editors/clippalette.h"
#include "sequencer/instruments.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/widgets.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"

#include <cstdio>

namespace {

constexpr int32_t kParticleStoredId = 9;
char s_szRefusal[160];

// The large types build their tables after they join: one block of that size must be there now.
bool HeapHas(uint32_t bytes)
{
    void *probe = Sys_MemHeapAlloc(bytes);
    if (!probe)
        return false;
    Sys_MemFree(probe);
    return true;
}

bool IsParticle(const CHASEDEF *def)
{
    return def && def->uStoredId == kParticleStoredId;
}

bool Heads(const CHASEDEF *def)
{
    return def->uKind == CHASEKIND_PLAIN || def->uKind == CHASEKIND_CAM;
}

void BackToEditor(uint8_t)
{
    if (!g_pChaseEditWindow)
        return;
    g_iNextScreen = g_pChaseParamList ? 35 : 36;
    Ui_SetFocus(g_pChaseEditWindow);
}

// A chase that could not be made: back to the editor while the clip has chases, else the empty
// clip is left (and goes).
void AfterNoChase(uint8_t)
{
    if (g_pPreviewClip && g_pPreviewClip->sEntryCount > 0)
        BackToEditor(0);
    else
        Ed_LeaveChaseEditor();
}

void RefuseNoMemory()
{
    Sys_ShowOutOfMemoryBox(AfterNoChase);
}

void RefuseNotHere(const CHASEDEF *def)
{
    std::snprintf(s_szRefusal, sizeof s_szRefusal, "%s (%s) %s", Ui_Text(543), Ed_ChaseTypeName(def), Ui_Text(544));
    MSGBOXREQUEST req{};
    req.pszText = s_szRefusal;
    req.ucButtonCount = 1;
    req.asButtonText[0] = 114;
    req.ucFlags = MSGBOX_COPY_TEXT;
    req.pfnAnswer = BackToEditor;
    if (!Ui_OpenMessageBox(&req))
        Ui_PlayRefusal();
}

bool PlacementRefused(CHASE *chase, VIDCLIP *clip, int32_t position)
{
    const CHASEDEF *def = chase->pDef;
    return def->mix && !def->mix(chase, clip, position);
}

bool ClipPlaying(const VIDCLIP *clip)
{
    const CHASE *head = Vid_GetClipEntryChase(clip, 1);
    return head && (head->uFlags & CHASEFLAG_ANIMATE);
}

void RestorePlaying(VIDCLIP *clip, bool playing)
{
    if (playing)
        Vid_SetClipChaseFlag(clip);
    else
        Vid_ClearClipChaseFlag(clip);
}

// Joins a modifier or screen effect after the selected entry. False when refused (box shown).
bool JoinChain(VIDCLIP *clip, CHASE *chase)
{
    const int32_t count = clip->sEntryCount;
    const int32_t after = count == 0 ? 0 : (g_pChaseParamList ? g_pChaseParamList->selected + 1 : count);
    if (count >= ED_CLIP_MAX_ENTRIES) {
        Ui_PlayRefusal();
        return false;
    }
    if (PlacementRefused(chase, clip, after)) {
        RefuseNotHere(chase->pDef);
        return false;
    }
    const bool keepsPlaying = (chase->pDef->uKind & CHASEKIND_DVE) != 0;
    const bool playing = ClipPlaying(clip);
    if (!Vid_InsertClipEntry(clip, chase, after)) {
        RefuseNoMemory();
        return false;
    }
    if (keepsPlaying)
        RestorePlaying(clip, playing);
    if (LISTWIDGET *l = g_pChaseParamList; l && count > 0) {
        l->totalRows = uint16_t(clip->sEntryCount);
        l->selected = uint16_t(after);
        if (l->selected >= l->first + l->visibleRows)
            l->first = uint16_t(l->selected - l->visibleRows + 1);
    }
    return true;
}

// Puts a plain or camera chase at the head; a plain head the clip had goes.
bool NewHead(VIDCLIP *clip, CHASE *chase)
{
    const bool playing = ClipPlaying(clip);
    const CHASE *head = Vid_GetClipEntryChase(clip, 1);
    if ((IsParticle(chase->pDef) || (head && IsParticle(head->pDef))) && !HeapHas(UI_PARTICLE_CHASE_BYTES)) {
        RefuseNoMemory();
        return false;
    }
    if (PlacementRefused(chase, clip, -1)) {
        RefuseNotHere(chase->pDef);
        return false;
    }
    const bool replaces = head && head->pDef && head->pDef->uKind == CHASEKIND_PLAIN;
    if (!replaces && clip->sEntryCount >= ED_CLIP_MAX_ENTRIES) {
        Ui_PlayRefusal();
        return false;
    }
    CHASE *old = replaces ? Vid_AddChaseRef(Vid_GetClipEntryChase(clip, 1)) : nullptr;
    if (old)
        Vid_RemoveClipEntry(clip, 1);
    if (!Vid_InsertClipEntry(clip, chase, 0)) {
        // The old head goes back rather than leave the clip without one.
        if (old)
            Vid_InsertClipEntry(clip, old, 0);
        if (old)
            Vid_ReleaseChase(old);
        RestorePlaying(clip, playing);
        RefuseNoMemory();
        return false;
    }
    if (old)
        Vid_ReleaseChase(old);
    RestorePlaying(clip, playing);
    return true;
}

} // namespace

void Ui_ApplyChaseType(int32_t type)
{
    VIDCLIP *clip = g_pPreviewClip;
    const CHASEDEF *def = Vid_GetChaseDef(type);
    if (!clip || !def) {
        Ui_PlayRefusal();
        return;
    }
    if (type == UI_PALETTE_CHASE_TYPE && !HeapHas(UI_PALETTE_CHASE_BYTES)) {
        RefuseNoMemory();
        return;
    }
    CHASE *chase = Vid_NewChase(type);
    if (!chase) {
        MSGBOXREQUEST req{};
        req.pszText = Ui_Text(348);
        req.ucButtonCount = 1;
        req.asButtonText[0] = 114;
        req.pfnAnswer = AfterNoChase;
        if (!Ui_OpenMessageBox(&req))
            Ui_PlayRefusal();
        return;
    }
    Vid_AddChaseRef(chase);
    if (!Vid_SetChaseDefaultKey(chase)) {
        Vid_ReleaseChase(chase);
        RefuseNoMemory();
        return;
    }
    const bool wasDefault = Ed_ParseClipNumber(clip) != 0 || clip->szName[0] == 0;
    const CHASE *head = Vid_GetClipEntryChase(clip, 1);
    const bool particles = IsParticle(def) || (Heads(def) && head && IsParticle(head->pDef));
    const bool joined = Heads(def) ? NewHead(clip, chase) : JoinChain(clip, chase);
    // A refused chase goes with this last reference.
    Vid_ReleaseChase(chase);
    if (joined) {
        if (wasDefault)
            Ed_MakeClipName(clip);
        if (particles)
            Vid_RecountLaneObjects();
    }
    Ed_ChaseRefresh();
    Ed_ChaseMenuRefresh();
}

void Ui_ChooseChaseType()
{
    if (!g_pPageMenuPopup || !g_pPageMenuPopup->list)
        return;
    const int16_t page = g_sMenuPage;
    const int32_t row = g_pPageMenuPopup->list->selected;
    g_iNextScreen = 35;
    Ui_ClosePageMenu();
    // A camera clip has no object list: its screen is the parameters'.
    g_iNextScreen = g_pChaseParamList ? 35 : 36;
    if (g_pChaseEditWindow)
        Ui_SetFocus(g_pChaseEditWindow);
    Ui_ApplyChaseType(page == 12 ? (row | CHASETYPE_MOD) : page == 23 ? (row | CHASETYPE_DVE) : row);
    Seq_PlayInterfaceSound(0);
    Ed_ChaseMenuRefresh();
    Ui_SetMenuPage(g_pChaseParamList ? (g_pChaseParamList->selected == 0 ? 10 : 11) : 14);
}
