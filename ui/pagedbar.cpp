// The bar under a library pop-up's list: its position is the place of the current sub-folder
// among all sub-folders of the library's folders. The arrows step one sub-folder, never wrapping
// past the first or the last; the track jumps to the first sub-folder of the previous or next folder.
#include "ui/barmouse.h"

#include "ui/list.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/scrollbar.h"

#include <algorithm>

namespace {

constexpr int16_t kStepFrames = 7;

POPUP *PopupOf(const LISTWIDGET *list)
{
    POPUP *p = g_pCurrentPopup;
    return p && !p->free && p->list == list && p->desc && p->folderCount >= 1 ? p : nullptr;
}

} // namespace

void Ui_PagedListScrollBarMouse(WIDGET *w)
{
    if (!w || w->kind != WIDGET_SCROLLBAR)
        return;
    auto *bar = reinterpret_cast<SCROLLBAR *>(w);
    auto *list = static_cast<LISTWIDGET *>(bar->owner);
    POPUP *p = list ? PopupOf(list) : nullptr;
    if (!p || list->scrollStep != 0 || list->repeatDelay != 0)
        return;
    const int32_t step = Ui_ScrollBarStepAtPointer(bar);
    if (step == 0)
        return;
    int32_t total = 0, position = 0;
    if (!Ui_PopupFolderBarRange(p, &total, &position))
        return;
    const POPUPDESC &d = *p->desc;
    if (step == 1) {
        if (position >= total - 1)
            return;
        Ui_PopupNextSubfolder();
    } else if (step == -1) {
        if (d.folder <= 1 && d.subfolder <= 1)
            return;
        Ui_PopupPrevSubfolder();
    } else {
        bar->holdCount = 6;
        if (step < 0 && d.folder > 1)
            Ui_PopupPrevFolder(p);
        else if (step > 0 && d.folder < p->folderCount)
            Ui_PopupNextFolder(p);
        else
            return;
    }
    // The reload may have rebuilt the list and its bar.
    if (!p->list)
        return;
    p->list->repeatDelay = kStepFrames;
    SCROLLBAR *shown = p->list->folderBar;
    if (shown && Ui_PopupFolderBarRange(p, &total, &position)) {
        Ui_SetScrollBarPos(shown, std::min(position, shown->maximum));
        Ui_MarkScrollBarDirty(shown);
    }
}
