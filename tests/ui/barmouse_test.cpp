// Scroll bar mouse callbacks: the common step, lists, the grid's bars and the bars of the help
// text, the file browser, the sample panel and the curve editor.
#include "ui_fixture.h"

#include "app/calllog.h"
#include "core/browser.h"
#include "editors/filescreen.h"
#include "sequencer/songmodel.h"
#include "ui/barmouse.h"
#include "ui/bindings.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/gridvideo.h"
#include "ui/list.h"
#include "ui/scrollbar.h"
#include "ui/view.h"
#include "video/lanes.h"

#include <algorithm>

using namespace uitest;

namespace {

// Where to put the pointer on a bar.
enum Spot
{
    FIRST_ARROW,
    TRACK_BEFORE,
    THUMB,
    TRACK_AFTER,
    SECOND_ARROW
};

void PointAt(const SCROLLBAR *b, Spot spot)
{
    const WINDOW *w = b->head.parent;
    const bool v = (b->head.flags & SCROLLBAR_HORIZONTAL) == 0;
    int32_t top, middle;
    Ui_ScrollThumbGeometry(b, &top, &middle);
    const int start = v ? b->head.y : b->head.x, length = v ? b->head.h : b->head.w;
    int at = 0; // along the bar, in the parent window
    switch (spot) {
    case FIRST_ARROW: at = start + 2; break;
    case TRACK_BEFORE: at = top - 1; break;
    case THUMB: at = top + 8 + middle / 2; break;
    case TRACK_AFTER: at = top + 16 + middle + 1; break;
    case SECOND_ARROW: at = start + length - 2; break;
    }
    if (spot == TRACK_BEFORE) {
        ASSERT_GE(at, start + 8) << "no track before the thumb";
    }
    if (spot == TRACK_AFTER) {
        ASSERT_LT(at, start + length - 8) << "no track after the thumb";
    }
    if (v) {
        g_sMouseX = int16_t(w->x + b->head.x + 2);
        g_sMouseY = int16_t(w->y + at);
    } else {
        g_sMouseX = int16_t(w->x + at);
        g_sMouseY = int16_t(w->y + b->head.y + 2);
    }
}

void Press(SCROLLBAR *b)
{
    g_ucMouseButtons = MOUSE_LEFT_PRESS;
    b->head.press(&b->head);
}

void Hold(SCROLLBAR *b)
{
    g_ucMouseButtons = 0;
    b->head.held(&b->head);
}

class BarMouse : public UiTest
{
protected:
    WINDOW *m_window = nullptr;
    void SetUp() override
    {
        UiTest::SetUp();
        WINDOWDESC d{};
        d.x = 40;
        d.y = 30;
        d.w = 300;
        d.h = 200;
        m_window = Ui_OpenWindow(&d);
        ASSERT_NE(m_window, nullptr);
        g_ucMouseButtons = 0;
    }
    void TearDown() override
    {
        Sys_CallLogEnable(false);
        g_ucMouseButtons = 0;
        UiTest::TearDown();
    }
    SCROLLBAR *MakeBar(UIWIDGETCALLBACK cb, int32_t position = 10, int32_t page = 10, int32_t maximum = 40,
                       uint32_t flags = SCROLLBAR_VERTICAL)
    {
        const bool v = flags != SCROLLBAR_HORIZONTAL;
        SCROLLBARDESC d{flags, 100, 20, uint16_t(v ? 8 : 160), uint16_t(v ? 160 : 8), position, 0, page, maximum,
                        nullptr, cb, cb};
        return Ui_CreateScrollBar(&d, m_window);
    }
    LISTWIDGET *MakeList(uint16_t total, uint16_t visible = 5)
    {
        LISTDESC d{};
        d.x = 10;
        d.y = 30;
        d.w = 200;
        d.visibleRows = visible;
        d.totalRows = total;
        d.rowHeight = 12;
        d.rowStride = 32;
        d.fillRow = [](int32_t, int32_t, void *, void *) {};
        d.drawRow = [](void *, int32_t, int32_t) {};
        LISTWIDGET *l = Ui_CreateList(&d, m_window);
        if (l)
            Ui_RefillListRows(l);
        return l;
    }
};

TEST_F(BarMouse, CoreStepPerPartAndTheTrackRepeatDelay)
{
    struct
    {
        uint32_t flags;
        Spot spot;
        uint8_t holdCount;
        int32_t want;
    } cases[] = {
        {SCROLLBAR_VERTICAL, FIRST_ARROW, 0, -1},   {SCROLLBAR_VERTICAL, SECOND_ARROW, 0, 1},
        {SCROLLBAR_VERTICAL, TRACK_BEFORE, 0, -9},  {SCROLLBAR_VERTICAL, TRACK_AFTER, 0, 9},
        {SCROLLBAR_VERTICAL, THUMB, 0, 0},          {SCROLLBAR_HORIZONTAL, TRACK_AFTER, 0, 9},
        {SCROLLBAR_HORIZONTAL, FIRST_ARROW, 0, -1},
        // While the repeat delay runs the track gives nothing, the arrows still step.
        {SCROLLBAR_VERTICAL, TRACK_AFTER, 3, 0},    {SCROLLBAR_VERTICAL, TRACK_BEFORE, 1, 0},
        {SCROLLBAR_VERTICAL, SECOND_ARROW, 3, 1},
    };
    for (const auto &c : cases) {
        SCROLLBAR *b = MakeBar(nullptr, 15, 10, 40, c.flags);
        ASSERT_NE(b, nullptr);
        PointAt(b, c.spot);
        b->holdCount = c.holdCount;
        EXPECT_EQ(Ui_ScrollBarStepAtPointer(b), c.want) << c.flags << " spot " << c.spot << " hold " << +c.holdCount;
    }
    // A bar with neither direction is left alone.
    SCROLLBAR *b = MakeBar(nullptr, 15);
    PointAt(b, SECOND_ARROW);
    b->head.flags &= ~uint32_t(SCROLLBAR_VERTICAL | SCROLLBAR_HORIZONTAL);
    EXPECT_EQ(Ui_ScrollBarStepAtPointer(b), 0);
    EXPECT_EQ(Ui_ScrollBarStepAtPointer(nullptr), 0);
}

TEST_F(BarMouse, ListAtItsTopIgnoresTheUpArrowArrowsMoveTheSelection)
{
    LISTWIDGET *l = MakeList(20);
    ASSERT_NE(l, nullptr);
    SCROLLBAR *b = l->scrollBar;
    ASSERT_EQ(b->head.press, Ui_ListScrollBarMouse);
    l->selected = 3;
    PointAt(b, FIRST_ARROW);
    Press(b);
    EXPECT_EQ(l->selected, 3);
    EXPECT_EQ(l->first, 0);
    // The down arrow moves the selection one row at once.
    PointAt(b, SECOND_ARROW);
    Press(b);
    EXPECT_EQ(l->selected, 4);
    EXPECT_EQ(b->pressed, SCROLLPART_SECOND_ARROW);
    // Scrolled down, the up arrow works again.
    for (int i = 0; i < 30; i++)
        Walk();
    l->first = 2;
    l->selected = 4;
    Ui_RefillListRows(l);
    PointAt(b, FIRST_ARROW);
    Press(b);
    EXPECT_EQ(l->selected, 3);
}

TEST_F(BarMouse, ListTrackPagesButNeverPastTheFirstOrLastPage)
{
    LISTWIDGET *l = MakeList(20);
    ASSERT_NE(l, nullptr);
    SCROLLBAR *b = l->scrollBar;
    l->selected = 1;
    // Down a page (4 rows) at a time while the track shows below the thumb.
    int last = 0;
    for (int i = 0; i < 5; i++) {
        while (b->holdCount)
            Ui_TickScrollBars();
        int32_t top, middle;
        Ui_ScrollThumbGeometry(b, &top, &middle);
        if (top + 16 + middle + 1 >= b->head.y + b->head.h - 8)
            break;
        PointAt(b, TRACK_AFTER);
        Press(b);
        EXPECT_EQ(l->first, std::min(last + 4, 15));
        EXPECT_EQ(b->position, l->first);
        EXPECT_GE(l->selected, l->first);
        EXPECT_LT(l->selected, l->first + 5);
        last = l->first;
    }
    EXPECT_GE(last, 8);
    // From row 14 a page down stops at the last page (the thumb placed high so the track is there).
    while (b->holdCount)
        Ui_TickScrollBars();
    l->first = 14;
    l->selected = 18;
    b->position = 0;
    PointAt(b, TRACK_AFTER);
    Press(b);
    EXPECT_EQ(l->first, 15);
    EXPECT_EQ(b->position, 15);
    EXPECT_EQ(l->selected, 19);
    // Held on the track: nothing until the repeat delay is out.
    while (b->holdCount)
        Ui_TickScrollBars();
    PointAt(b, TRACK_BEFORE);
    Press(b);
    EXPECT_EQ(l->first, 11);
    EXPECT_EQ(l->selected, 15);
    for (int f = 0; f < 5; f++) {
        Ui_TickScrollBars();
        PointAt(b, TRACK_BEFORE);
        Hold(b);
        EXPECT_EQ(l->first, 11) << f;
    }
    Ui_TickScrollBars();
    PointAt(b, TRACK_BEFORE);
    Hold(b);
    EXPECT_EQ(l->first, 7);
    while (b->holdCount)
        Ui_TickScrollBars();
    PointAt(b, TRACK_BEFORE);
    Press(b);
    EXPECT_EQ(l->first, 3);
    // A page back from row 3 stops at row 0 (the thumb placed low so the track is there).
    while (b->holdCount)
        Ui_TickScrollBars();
    b->position = 12;
    PointAt(b, TRACK_BEFORE);
    Press(b);
    EXPECT_EQ(l->first, 0);
    EXPECT_EQ(b->position, 0);
    EXPECT_LT(l->selected, 5);
}

TEST_F(BarMouse, ListShorterThanItsWindowNeverGetsANegativeFirstRow)
{
    LISTWIDGET *l = MakeList(20);
    ASSERT_NE(l, nullptr);
    SCROLLBAR *b = l->scrollBar;
    PointAt(b, TRACK_AFTER);
    // The owner's list shrinks below the window while the bar still shows the old range.
    l->totalRows = 3;
    l->selected = 2;
    Press(b);
    EXPECT_EQ(l->first, 0);
    EXPECT_EQ(l->selected, 2);
    EXPECT_EQ(b->position, 0);
    l->totalRows = 0;
    l->selected = 0;
    while (b->holdCount)
        Ui_TickScrollBars();
    Press(b);
    EXPECT_EQ(l->first, 0);
    EXPECT_EQ(l->selected, 0);
}

TEST_F(BarMouse, HelpBarArrowsOncePerPressTrackWithinTheText)
{
    SCROLLBAR *b = MakeBar(Ui_HelpScrollBarMouse, 15, 10, 40);
    ASSERT_NE(b, nullptr);
    g_iHelpLineCount = 30;
    g_iHelpFirstLine = 0;
    PointAt(b, SECOND_ARROW);
    Press(b);
    EXPECT_EQ(g_iHelpFirstLine, 1);
    Hold(b);
    Hold(b);
    EXPECT_EQ(g_iHelpFirstLine, 1);
    // The track: up to the last 18 lines and no further; back to 0 and no further.
    struct
    {
        int32_t lines, from;
        Spot spot;
        int32_t want;
    } cases[] = {
        {30, 1, TRACK_AFTER, 10}, {30, 10, TRACK_AFTER, 12}, {30, 5, TRACK_BEFORE, 0},
        {10, 0, TRACK_AFTER, 0},  {10, 0, SECOND_ARROW, 0},  {0, 0, TRACK_AFTER, 0},
        {30, 0, FIRST_ARROW, 0},
    };
    for (const auto &c : cases) {
        g_iHelpLineCount = c.lines;
        g_iHelpFirstLine = c.from;
        b->holdCount = 0;
        PointAt(b, c.spot);
        Press(b);
        EXPECT_EQ(g_iHelpFirstLine, c.want) << c.lines << " " << c.from << " " << c.spot;
    }
    g_iHelpLineCount = 30;
    g_iHelpFirstLine = 4;
    b->holdCount = 0;
    PointAt(b, TRACK_AFTER);
    Press(b);
    EXPECT_EQ(b->position, 12);
}

TEST_F(BarMouse, BrowserBarMovesOneRowOnlyWhileOpen)
{
    SCROLLBAR *b = MakeBar(Ui_BrowserListBarInput, 15, 10, 40);
    ASSERT_NE(b, nullptr);
    // The file screen's list rows hold four entries each.
    g_iBrowserEntryCount = 20;
    g_iFileListSel = 2;
    g_iFileListFirst = 0;
    g_ucFileBrowserMode = 0;
    g_pFileBrowserWindow = nullptr;
    PointAt(b, SECOND_ARROW);
    Press(b);
    EXPECT_EQ(g_iFileListSel, 2); // the screen is not open
    WINDOW screen{};
    g_pFileBrowserWindow = &screen;
    Press(b);
    EXPECT_EQ(g_iFileListSel, 6);
    PointAt(b, TRACK_AFTER);
    Press(b);
    EXPECT_EQ(g_iFileListSel, 10); // a page step is still one row
    PointAt(b, FIRST_ARROW);
    Press(b);
    EXPECT_EQ(g_iFileListSel, 6);
    // With the bar at its top the selection restarts at the first entry.
    b->position = 0;
    Press(b);
    EXPECT_EQ(g_iFileListSel, 0);
    g_pFileBrowserWindow = nullptr;
    g_iBrowserEntryCount = 0;
}

TEST_F(BarMouse, SampleBarScrollsFromTheViewEdgesOncePerRepeat)
{
    SCROLLBAR *b = MakeBar(Ui_SampleRangeBarMouse, 15, 10, 40, SCROLLBAR_HORIZONTAL);
    ASSERT_NE(b, nullptr);
    Sys_CallLogEnable(true);
    g_iSampleViewStart = 100;
    g_iSampleViewEnd = 500;
    g_iSampleMarker = 300;
    g_iSamplePanelIdle = 0;
    PointAt(b, FIRST_ARROW);
    Press(b);
    EXPECT_EQ(g_iSampleMarker, 100);
    EXPECT_EQ(g_iSamplePanelIdle, 10);
    EXPECT_EQ(b->holdCount, 6);
    // Held: nothing while the repeat delay runs.
    Sys_CallLogClear();
    Hold(b);
    EXPECT_TRUE(Sys_CallLogGet().empty());
    PointAt(b, SECOND_ARROW);
    Press(b);
    EXPECT_EQ(g_iSampleMarker, 500);
    EXPECT_EQ(Sys_CallLogGet(), (std::vector<std::string>{"Ui_SampleScrollOn"}));
    // A view at the sample's start has nothing to scroll back to.
    Sys_CallLogClear();
    g_iSampleViewStart = 0;
    g_iSampleMarker = 7;
    PointAt(b, FIRST_ARROW);
    Press(b);
    EXPECT_EQ(g_iSampleMarker, 7);
    EXPECT_TRUE(Sys_CallLogGet().empty());
    g_iSampleViewEnd = 0;
}

TEST_F(BarMouse, CurveBarsStepByOneEverywhereOncePerRepeat)
{
    SCROLLBAR *b = MakeBar(Ui_ScrollBarClick, 15, 10, 40);
    ASSERT_NE(b, nullptr);
    Sys_CallLogEnable(true);
    const std::pair<Spot, int> cases[] = {{TRACK_AFTER, 1}, {TRACK_BEFORE, -1}, {FIRST_ARROW, -1},
                                          {SECOND_ARROW, 1}};
    for (const auto &[spot, dir] : cases) {
        b->holdCount = 0;
        Sys_CallLogClear();
        PointAt(b, spot);
        Press(b);
        EXPECT_EQ(g_iCurveScrollDir, dir) << spot;
        EXPECT_EQ(g_pCurveScrollBar, &b->head);
        EXPECT_EQ(b->step, dir);
        EXPECT_EQ(b->holdCount, 6);
        EXPECT_EQ(Sys_CallLogGet(), (std::vector<std::string>{"Ed_CurveScrollStep"}));
        // Held within the delay: no second step.
        Hold(b);
        EXPECT_EQ(Sys_CallLogGet().size(), 1u);
    }
    g_pCurveScrollBar = nullptr;
}

class GridBars : public BarMouse
{
protected:
    void SetUp() override
    {
        BarMouse::SetUp();
        Ui_BindScreenButtons();
        Sys_SetGridLayout();
        Vid_InitLanes();
        Ui_ResetGridRows();
        g_uSongRowCount = 300;
        g_ucGridOptions = 0;
        g_iScreen = 0;
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        g_iScreen = 10;
        BarMouse::TearDown();
    }
};

TEST_F(GridBars, SongGridTrackPagesAndStopsAtTheLastPage)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    SCROLLBAR *b = v->rowBar;
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->head.press, Ui_GridScrollBarPress);
    EXPECT_EQ(v->columnBar->head.held, Ui_GridScrollBarPress);
    const int page = b->page;
    ASSERT_GT(page, 2);
    int last = v->firstRow;
    for (int i = 0; i < 20; i++) {
        while (b->holdCount)
            Ui_TickScrollBars();
        Ui_TickScrollBars();
        int32_t top, middle;
        Ui_ScrollThumbGeometry(b, &top, &middle);
        if (top + 16 + middle + 1 >= b->head.y + b->head.h - 8)
            break; // thumb at the end: no track left below it
        PointAt(b, TRACK_AFTER);
        Press(b);
        Ui_GridFrameUpdate();
        EXPECT_LE(v->firstRow - last, page - 1);
        EXPECT_LE(v->firstRow + 1, b->maximum);
        last = v->firstRow;
    }
    EXPECT_GT(v->firstRow, -1);
    // Back up to the top, never before it.
    for (int i = 0; i < 30; i++) {
        while (b->holdCount)
            Ui_TickScrollBars();
        Ui_TickScrollBars();
        int32_t top, middle;
        Ui_ScrollThumbGeometry(b, &top, &middle);
        if (top - 1 < b->head.y + 8)
            break;
        PointAt(b, TRACK_BEFORE);
        Press(b);
        Ui_GridFrameUpdate();
    }
    EXPECT_EQ(v->firstRow, -1);
}

} // namespace
