#include "ui/valueeditor.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "jam/jamnet.h"
#include "jam/jamsession.h"
#include "jam/netcommand.h"
#include "jam/netsession.h"
#include "render/gpustate.h"
#include "sequencer/clock.h"
#include "ui/list.h"
#include "ui/popup.h"
#include "ui/valueslider.h"
#include "ui/widgets.h"
#include "editors/chaseeditor.h"

namespace {

// The pop-up whose list was focused when the editor opened, and that list.
POPUP *s_pSourcePopup = nullptr;
LISTWIDGET *s_pSourceList = nullptr;

bool ChaseEditorWasFocused()
{
    return g_pChaseEditWindow && static_cast<const void *>(g_pChaseEditWindow) == g_pPrevFocusWidget;
}

// The pop-up is still the one the editor came from, with the same list.
bool SourceListAlive()
{
    return s_pSourcePopup && !s_pSourcePopup->free && s_pSourcePopup->list == s_pSourceList && s_pSourceList &&
           s_pSourcePopup->window && Ui_WindowIsOpen(s_pSourcePopup->window);
}

void ApplyJamTempo()
{
    Ui_SetFocus(g_pJamWindow);
    Seq_SetTempo(g_iJamTempo);
    Jam_SetTempoTick();
    // Every peer plays the new tempo from the same heartbeat.
    if (g_NetNode.pJam)
        Net_SendJamCommand(&g_NetNode, g_NetNode.pJam->uJamHeartbeat, 52, uint32_t(g_iJamTempo));
    g_iNextScreen = 10;
    g_bJamKeysActive = 1; // the jam's keys take over again
}

} // namespace

void Ui_ValueEditorOpened(const void *previousFocus)
{
    s_pSourcePopup = nullptr;
    s_pSourceList = nullptr;
    POPUP *p = g_pCurrentPopup;
    if (p && !p->free && p->list && p->window && previousFocus == p->window) {
        s_pSourcePopup = p;
        s_pSourceList = p->list;
    }
    if (!g_pfnValueEditorClosed)
        g_pfnValueEditorClosed = Ui_ValueEditorOwnerClosed;
}

LISTWIDGET *Ui_ValueEditorSourceList()
{
    return SourceListAlive() ? s_pSourceList : nullptr;
}

int32_t Ui_ValueEditorOwner()
{
    if (ChaseEditorWasFocused())
        return VALUEEDITOR_OWNER_CHASE_EDITOR;
    if (s_pSourceList)
        return VALUEEDITOR_OWNER_POPUP_LIST;
    if (g_pJamWindow && Ui_WindowIsOpen(g_pJamWindow))
        return VALUEEDITOR_OWNER_JAM;
    return VALUEEDITOR_OWNER_NONE;
}

void Ui_ValueEditorOwnerClosed()
{
    Sys_CallLog("Ui_ValueEditorOwnerClosed");
    switch (Ui_ValueEditorOwner()) {
    case VALUEEDITOR_OWNER_CHASE_EDITOR:
        Ed_ChaseRefresh();
        break;
    case VALUEEDITOR_OWNER_POPUP_LIST:
        // A pop-up closed meanwhile has nothing to show.
        if (SourceListAlive())
            Ui_RefillListRows(s_pSourceList);
        break;
    case VALUEEDITOR_OWNER_JAM:
        ApplyJamTempo();
        break;
    default:
        break;
    }
    s_pSourcePopup = nullptr;
    s_pSourceList = nullptr;
}
