#include "ui/barmouse.h"

#include "editors/filescreen.h"

#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/list.h"
#include "ui/mouse.h"
#include "ui/scrollbar.h"
#include "ui/shortcuts.h"
#include "ui/view.h"

#include <algorithm>

namespace {

SCROLLBAR *Bar(WIDGET *w)
{
    return w && w->kind == WIDGET_SCROLLBAR ? reinterpret_cast<SCROLLBAR *>(w) : nullptr;
}

bool LeftPress()
{
    return (g_ucMouseButtons & MOUSE_LEFT_PRESS) != 0;
}

uint8_t PartOfStep(int32_t step)
{
    return step == -1 ? SCROLLPART_FIRST_ARROW : step == 1 ? SCROLLPART_SECOND_ARROW : SCROLLPART_NONE;
}

// The core's step for a bar, made pending on the bar; a track step starts the repeat delay.
int32_t TakeStep(SCROLLBAR *b)
{
    const int32_t step = Ui_ScrollBarStepAtPointer(b);
    b->step = int16_t(step);
    if (step > 1 || step < -1)
        b->holdCount = 6;
    if (step)
        b->pressed = PartOfStep(step);
    return step;
}

} // namespace

void Ui_GridScrollBarPress(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b)
        return;
    auto *view = static_cast<VIEWWIDGET *>(b->owner);
    const int32_t step = TakeStep(b);
    if (view && b == view->rowBar && g_ucGridKind != 3 && (step > 1 || step < -1)) {
        // The page handlers bound the jump by the grid's own end and set the step themselves.
        if (step < 0)
            Ui_PageGridUp();
        else if (g_ucGridKind == 1) {
            // The video grid moves its first row itself; a pending step would move it twice.
            b->step = 0;
            Ui_PageVideoGridDown();
        }
        else
            Ui_PageSongGridDown();
    }
    if (view && g_pGridView == view) {
        Ui_RefreshView(view);
        Ui_RequestGridRedraw();
    }
}

void Ui_ListScrollBarMouse(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b)
        return;
    auto *list = static_cast<LISTWIDGET *>(b->owner);
    const int32_t step = Ui_ScrollBarStepAtPointer(b);
    if (!list || step == 0)
        return;
    if (step == 1) {
        b->pressed = SCROLLPART_SECOND_ARROW;
        Ui_ListScrollDown(list);
        return;
    }
    if (step == -1) {
        // A list at its top has nowhere to go up, even with the selection below the first row.
        b->pressed = SCROLLPART_FIRST_ARROW;
        if (list->first != 0)
            Ui_ListScrollUp(list);
        return;
    }
    b->holdCount = 6;
    Ui_FinishListScroll(list);
    // Signed bounds: a list shorter than its window has no later page.
    const int32_t lastFirst = std::max(0, int32_t(list->totalRows) - int32_t(list->visibleRows));
    const int32_t first = std::clamp(int32_t(list->first) + step, 0, lastFirst);
    int32_t selected = std::max(0, int32_t(list->selected) + step);
    // The selection moves with the page and stays on a real, visible row.
    selected = std::min(selected, first + int32_t(list->visibleRows) - 1);
    selected = std::min(selected, int32_t(list->totalRows) - 1);
    selected = std::max(selected, first);
    if (list->totalRows == 0)
        selected = 0;
    list->first = uint16_t(first);
    list->selected = uint16_t(selected);
    Ui_RefillListRows(list);
    b->position = first;
    Ui_MarkScrollBarDirty(b);
}

void Ui_BrowserListBarInput(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b || !g_pFileBrowserWindow)
        return;
    const int32_t step = TakeStep(b);
    if (step > 0) {
        Ed_FileListDown();
    } else if (step < 0) {
        if (b->position == 0)
            g_iFileListSel = 0;
        Ed_FileListUp();
    }
}

void Ui_HelpScrollBarMouse(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b)
        return;
    const int32_t step = TakeStep(b);
    const bool track = step > 1 || step < -1;
    if (step == 0 || (!track && !LeftPress()))
        return;
    const int32_t last = std::max(0, g_iHelpLineCount - HELP_PAGE_LINES);
    const int32_t first = std::clamp(g_iHelpFirstLine + step, 0, last);
    if (first == g_iHelpFirstLine)
        return;
    g_iHelpFirstLine = first;
    Ui_RedrawHelpText();
    Ui_SetScrollBarPos(b, first);
}

void Ui_SampleRangeBarMouse(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b)
        return;
    const int32_t step = Ui_ScrollBarStepAtPointer(b);
    if (LeftPress())
        g_iSamplePanelIdle = 10;
    // Arrows act on the press, then once per repeat while held.
    if ((step != 1 && step != -1) || (!LeftPress() && b->holdCount))
        return;
    b->pressed = PartOfStep(step);
    b->holdCount = 6;
    if (step < 0 && g_iSampleViewStart != 0) {
        g_iSampleMarker = g_iSampleViewStart;
        Ui_SampleScrollBack();
    } else if (step > 0 && g_iSampleViewEnd != 0) {
        g_iSampleMarker = g_iSampleViewEnd;
        Ui_SampleScrollOn();
    }
}

void Ui_ScrollBarClick(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b || b->holdCount)
        return;
    const int32_t step = Ui_ScrollBarStepAtPointer(b);
    if (step == 0)
        return;
    const int32_t dir = step < 0 ? -1 : 1;
    b->step = int16_t(dir);
    b->holdCount = 6;
    b->pressed = PartOfStep(step);
    g_pCurveScrollBar = w;
    g_iCurveScrollDir = dir;
    Ed_CurveScrollStep(w, dir);
}
