// What follows the value editor's close, by the window that opened it: the chase editor takes the
// edited parameter again, a pop-up list shows its rows with the new value, and the jam plays the
// edited tempo (here and on every peer). Openers with a follow-up of their own set
// g_pfnValueEditorClosed before or just after opening; the others get the one below.
#pragma once

#include <cstdint>

struct LISTWIDGET;

enum : int32_t
{
    VALUEEDITOR_OWNER_NONE = 0,
    VALUEEDITOR_OWNER_CHASE_EDITOR = 1,
    VALUEEDITOR_OWNER_POPUP_LIST = 2,
    VALUEEDITOR_OWNER_JAM = 3,
};

// Called by the opener with the focus it had: remembers the pop-up list it came from, and makes
// the owner's follow-up the closing one when the opener named none.
void Ui_ValueEditorOpened(const void *previousFocus);
// Which follow-up a close now runs (the chase editor first, then a pop-up list, then the jam).
int32_t Ui_ValueEditorOwner();
// The owner's follow-up (g_pfnValueEditorClosed of editors opened without one).
void Ui_ValueEditorOwnerClosed();
// The pop-up list the editor was opened from, null for none.
LISTWIDGET *Ui_ValueEditorSourceList();

// The chase editor's parameter refresh (editors/chaseeditor.cpp).
void Ed_ChaseRefresh();
