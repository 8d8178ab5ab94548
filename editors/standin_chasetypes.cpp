// STAND-IN (see standin_chasetypes.h).


#include "core/padbind.h"
#include "editors/chaseeditor.h"
#include "editors/clippalette.h"
#include "sequencer/instruments.h"
#include "ui/handlers.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "video/chase.h"
#include "video/clips.h"

#define STANDIN __attribute__((weak))

STANDIN void Ui_ApplyChaseType(int32_t type)
{
    VIDCLIP *clip = g_pPreviewClip;
    const CHASEDEF *def = Vid_GetChaseDef(type);
    if (!clip || !def || clip->sEntryCount >= ED_CLIP_MAX_ENTRIES) {
        Ui_PlayRefusal();
        return;
    }
    const bool wasDefault = Ed_ParseClipNumber(clip) != 0 || clip->szName[0] == 0;
    CHASE *chase = Vid_NewChase(type);
    if (!chase) {
        Ui_PlayRefusal();
        return;
    }
    Vid_AddChaseRef(chase);
    if (!Vid_SetChaseDefaultKey(chase)) {
        Vid_ReleaseChase(chase);
        Ui_PlayRefusal();
        return;
    }
    const bool head = def->uKind == CHASEKIND_PLAIN || def->uKind == CHASEKIND_CAM;
    if (head) {
        const CHASE *first = Vid_GetClipEntryChase(clip, 1);
        if (first && first->pDef && first->pDef->uKind == def->uKind)
            Vid_RemoveClipEntry(clip, 1);
        Vid_InsertClipEntry(clip, chase, 0);
    } else {
        const int32_t after = g_pChaseParamList ? g_pChaseParamList->selected + 1 : clip->sEntryCount;
        if (!Vid_InsertClipEntry(clip, chase, clip->sEntryCount ? after : 0))
            Ui_PlayRefusal();
        else if (g_pChaseParamList && clip->sEntryCount > 1)
            g_pChaseParamList->selected = uint16_t(after);
    }
    Vid_ReleaseChase(chase);
    if (wasDefault)
        Ed_MakeClipName(clip);
    Ed_ChaseRefresh();
    Ed_ChaseMenuRefresh();
}

STANDIN void Ui_ChooseChaseType()
{
    if (!g_pPageMenuPopup || !g_pPageMenuPopup->list)
        return;
    const int16_t page = g_sMenuPage;
    const int32_t row = g_pPageMenuPopup->list->selected;
    g_iNextScreen = 35;
    Ui_ClosePageMenu();
    g_iNextScreen = g_pChaseParamList ? 35 : 36;
    if (g_pChaseEditWindow)
        Ui_SetFocus(g_pChaseEditWindow);
    Ui_ApplyChaseType(page == 12 ? (row | 0x8000) : page == 23 ? (row | 0x2000) : row);
    Seq_PlayInterfaceSound(0);
    Ed_ChaseMenuRefresh();
    Ui_SetMenuPage(g_pChaseParamList ? (g_pChaseParamList->selected == 0 ? 10 : 11) : 14);
}
