// Text fields and bevels, scroll bars, lists and the cell view.
#include "ui_fixture.h"

#include "ui/list.h"
#include "ui/scrollbar.h"
#include "ui/textfield.h"
#include "ui/view.h"

#include <array>

using namespace uitest;

namespace {

std::array<int, 4> LineOf(const uint8_t *packet)
{
    PACKET_LINE_T l;
    std::memcpy(&l, packet, sizeof l);
    return {l.x0, l.y0, l.x1, l.y1};
}

std::array<int, 3> ColourOf(const uint8_t *packet)
{
    return {packet[8], packet[9], packet[10]};
}

class Controls : public UiTest
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
    }
};

TEST_F(Controls, BevelLinesInBothSchemes)
{
    for (uint8_t scheme : {0, 1}) {
        g_ucUiColourScheme = scheme;
        BEVELSET raised, inset;
        Ui_BuildRaisedBevel(&raised, 10, 20, 30, 40);
        Ui_BuildInsetBevel(&inset, 10, 20, 30, 40);
        const std::array<int, 4> lines[4] = {{10, 20, 39, 20}, {10, 20, 10, 59}, {40, 21, 40, 60}, {11, 60, 39, 60}};
        const uint8_t *light = g_aabBevelSchemes[scheme][0], *dark = g_aabBevelSchemes[scheme][1];
        for (int half = 0; half < 2; half++)
            for (int i = 0; i < 4; i++) {
                EXPECT_EQ(LineOf(raised.lines[half][i]), lines[i]);
                const uint8_t *want = i < 2 ? light : dark, *wantInset = i < 2 ? dark : light;
                EXPECT_EQ(ColourOf(raised.lines[half][i]), (std::array<int, 3>{want[0], want[1], want[2]}));
                EXPECT_EQ(ColourOf(inset.lines[half][i]),
                          (std::array<int, 3>{wantInset[0], wantInset[1], wantInset[2]}));
            }
    }
    g_ucUiColourScheme = 0;
}

TEST_F(Controls, TextFieldPlacesItsCaption)
{
    struct
    {
        int x, w;
        uint8_t style;
        int textWidth, want;
    } cases[] = {
        {4, 200, 0, 50, 21},                                   // after the icon
        {4, 200, TEXTFIELD_NO_ICON, 50, 7},                    // no icon
        {4, 200, TEXTFIELD_CENTRED, 50, (21 - 16 + 213) / 2 - 25}, // centred, with the icon
        {4, 200, TEXTFIELD_CENTRED | TEXTFIELD_NO_ICON, 51, (7 + 199) / 2 - 25},
        {0, 1, TEXTFIELD_CENTRED | TEXTFIELD_NO_ICON, 0, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Ui_TextFieldTextX(c.x, c.w, c.style, c.textWidth), c.want) << c.x << " " << c.w << " " << int(c.style);

    // The pool of seven: an eighth is refused.
    for (int i = 0; i < UI_TEXTFIELDS; i++) {
        TEXTFIELDDESC d{"t", 0, 0, 10, 10, nullptr, 1, 2, 3, 0};
        ASSERT_NE(Ui_CreateTextField(&d), nullptr) << i;
    }
    TEXTFIELDDESC d{"t", 0, 0, 10, 10, nullptr, 1, 2, 3, 0};
    EXPECT_EQ(Ui_CreateTextField(&d), nullptr);
}

TEST_F(Controls, IconButtonBrightnessAndKeyRepeat)
{
    // Sprites ignore the tint in the 2D rasteriser, so the brightness is read off the packet.
    ICONBUTTON b{10, 10, 700, 0, 0, 0, 0, 0};
    auto brightness = [&](int index, int selected) -> int {
        if (Gfx_ResetFrameBuffer() == 0)
            return -2;
        g_pOrderingTable = Sys_OrderingTableLists(g_pFrameBuffer)[1].base + 4;
        Ui_DrawIconButton(&b, index, selected);
        const uint32_t at = Sys_ArenaReadWord(g_pOrderingTable);
        const uint8_t *p = Sys_ArenaPtr(at, 28);
        return p ? int(p[12]) : -1;
    };
    g_iBlinkPhase = 2;
    g_pUpdatingWindow = m_window;
    g_pFocusWidget = m_window;
    EXPECT_EQ(brightness(1, 1), 64);
    EXPECT_EQ(brightness(1, 2), 128);
    g_iBlinkPhase = 7;
    EXPECT_EQ(brightness(1, 1), 128);
    b.flags = 1;
    EXPECT_EQ(brightness(1, 2), 48);
    g_pUpdatingWindow = nullptr;

    g_iRepeatDelay = 9;
    g_bKeyHeldMark = 1;
    for (int i = 0; i < 15; i++) {
        g_bKeyHeldMark = 1;
        Ui_KeyRepeatTick();
    }
    EXPECT_EQ(g_iKeyRepeatCount, 12);
    Ui_KeyRepeatTick();
    EXPECT_EQ(g_iKeyRepeatCount, 0);
    EXPECT_EQ(g_iRepeatDelay, 0);
    EXPECT_EQ(g_bKeyFirstPress, 1);
}

TEST_F(Controls, ScrollThumbGeometry)
{
    struct
    {
        int position, minimum, page, maximum;
        int top, middle;
    } cases[] = {
        {0, 0, 10, 90, 8, 2},     // thumb 18: middle 2, at the top
        {90, 0, 10, 90, 174, 2},  // at the end: the end cap touches the second arrow
        {174, 0, 10, 174, 176, 0}, // thumb 10, shorter than its caps: pulled back onto the arrow
        {45, 0, 50, 50, 90, 76},  // thumb 92: middle 76
        {0, 0, 0, 100, 8, 0},     // page 0: only the caps
        {5, 5, 20, 5, 8, 168},    // maximum = minimum: at the top
        {1000, 0, 184, 0, 8, 168},
        {2000000000, 0, 1, 2000000000, 176, 0}, // no overflow in the products
    };
    for (const auto &c : cases) {
        SCROLLBARDESC d{SCROLLBAR_VERTICAL, 0, 0, 8, 200, c.position, c.minimum, c.page, c.maximum, nullptr, nullptr,
                        nullptr};
        SCROLLBAR *bar = Ui_CreateScrollBar(&d, m_window);
        ASSERT_NE(bar, nullptr);
        int32_t top, middle;
        Ui_ScrollThumbGeometry(bar, &top, &middle);
        EXPECT_EQ((std::array<int, 2>{top, middle}), (std::array<int, 2>{c.top, c.middle}))
            << c.position << " " << c.page << " " << c.maximum;
        EXPECT_LE(top + 16 + middle, 192);
    }
}

TEST_F(Controls, ScrollBarPressAndHoldStepThePosition)
{
    int changes = 0;
    static int *s_changes;
    s_changes = &changes;
    SCROLLBARDESC d{SCROLLBAR_VERTICAL, 100, 20, 8, 100, 5, 0, 10, 40, [](WIDGET *) { (*s_changes)++; }, nullptr,
                    nullptr};
    SCROLLBAR *bar = Ui_CreateScrollBar(&d, m_window);
    ASSERT_NE(bar, nullptr);
    // Pointer on the second arrow (screen y = window 30 + bar 20 + 95).
    g_sMouseX = 40 + 100 + 2;
    g_sMouseY = 30 + 20 + 95;
    bar->head.press(&bar->head);
    EXPECT_EQ(bar->position, 6);
    EXPECT_EQ(bar->pressed, SCROLLPART_SECOND_ARROW);
    EXPECT_EQ(changes, 1);
    // Held: nothing until the hold count (6) has run down, then a step each frame.
    for (int frame = 0; frame < 6; frame++) {
        Ui_TickScrollBars();
        bar->head.held(&bar->head);
    }
    EXPECT_EQ(bar->position, 7);
    Ui_TickScrollBars();
    bar->head.held(&bar->head);
    EXPECT_EQ(bar->position, 8);
    // The track above the thumb pages back by page - 1; the first arrow stops at the minimum.
    g_sMouseY = 30 + 20 + 9;
    bar->head.press(&bar->head);
    EXPECT_EQ(bar->position, 0);
    g_sMouseY = 30 + 20 + 2;
    bar->head.press(&bar->head);
    EXPECT_EQ(bar->position, 0);
}

// A list whose rows are their numbers; every fill is recorded.
struct FillCall
{
    int op, number;
};
std::vector<FillCall> g_fills;
void FillRow(int32_t op, int32_t number, void *row, void *)
{
    g_fills.push_back({op, number});
    std::snprintf(static_cast<char *>(row) + 2, 30, "Row %d", op == LISTFILL_NEXT ? number + 1 : number - 1);
}
void DrawRow(void *row, int32_t x, int32_t y)
{
    Gfx_DrawText(static_cast<const char *>(row) + 2, x, y, g_pOrderingTable);
}

LISTDESC ListDesc(uint16_t total, uint16_t visible = 5)
{
    LISTDESC d{};
    d.x = 10;
    d.y = 30;
    d.w = 200;
    d.visibleRows = visible;
    d.totalRows = total;
    d.rowHeight = 12;
    d.rowStride = 32;
    d.fillRow = FillRow;
    d.drawRow = DrawRow;
    return d;
}

uint16_t RowNumberAt(LISTWIDGET *l, int k)
{
    uint16_t n;
    std::memcpy(&n, Ui_ListRowBuffer(l, k), 2);
    return n;
}

TEST_F(Controls, ListHoldTimingAndScrollingFetchesOneRow)
{
    const LISTDESC d = ListDesc(20);
    LISTWIDGET *l = Ui_CreateList(&d, m_window);
    ASSERT_NE(l, nullptr);
    Ui_RefillListRows(l);
    EXPECT_EQ(RowNumberAt(l, 0), 0);
    EXPECT_EQ(RowNumberAt(l, 1), 1);
    EXPECT_EQ(RowNumberAt(l, 6), 6);
    ASSERT_NE(l->scrollBar, nullptr);
    EXPECT_EQ(l->scrollBar->maximum, 15);

    // Held down from the top: a step at once, the next 11 frames later, then every 3 frames.
    std::vector<int> stepFrames;
    uint16_t last = l->selected;
    for (int frame = 0; frame < 20; frame++) {
        Ui_ListScrollDown(l);
        if (l->selected != last)
            stepFrames.push_back(frame);
        last = l->selected;
        Walk();
    }
    EXPECT_EQ(stepFrames, (std::vector<int>{0, 11, 14, 17}));
    EXPECT_EQ(l->selected, 4);
    // The next step starts from the bottom visible row: a scroll of rowHeight / 2 frames,
    // during which further steps are refused; then one row (7) is fetched with op 2.
    for (int i = 0; i < 30; i++)
        Walk(); // let go
    g_fills.clear();
    Ui_ListScrollDown(l);
    EXPECT_EQ(l->selected, 5);
    EXPECT_EQ(l->scrollStep, -2);
    for (int frame = 0; frame < 6; frame++) {
        Walk();
        Ui_ListScrollDown(l);
        EXPECT_EQ(l->selected, 5) << frame;
    }
    ASSERT_EQ(g_fills.size(), 1u);
    EXPECT_EQ(g_fills[0].op, LISTFILL_NEXT);
    EXPECT_EQ(g_fills[0].number, 6);
    EXPECT_EQ(l->first, 1);
    EXPECT_EQ(RowNumberAt(l, 6), 7);
    EXPECT_EQ(l->scrollBar->position, 1);
}

TEST_F(Controls, ListEdgesShortListsAndTheFullPool)
{
    // Fewer rows than visible: empty rows below, bar maximum 0, no step past the last row.
    const LISTDESC d = ListDesc(3);
    LISTWIDGET *l = Ui_CreateList(&d, m_window);
    ASSERT_NE(l, nullptr);
    Ui_RefillListRows(l);
    EXPECT_EQ(RowNumberAt(l, 3), 3);
    EXPECT_EQ(RowNumberAt(l, 4), 0);
    EXPECT_EQ(l->scrollBar->maximum, 0);
    l->selected = 2;
    Ui_ListScrollDown(l);
    EXPECT_EQ(l->selected, 2);
    l->selected = 0;
    l->holdCount = 0;
    Ui_ListScrollUp(l);
    EXPECT_EQ(l->selected, 0);
    // An empty list never steps (the comparison is signed).
    const LISTDESC empty = ListDesc(0);
    LISTWIDGET *e = Ui_CreateList(&empty, m_window);
    ASSERT_NE(e, nullptr);
    Ui_ListScrollDown(e);
    EXPECT_EQ(e->selected, 0);
    EXPECT_EQ(e->scrollStep, 0);
    // A pending step finishes at once before the window goes.
    l->scrollStep = 2;
    l->first = 1;
    Ui_FinishListScroll(l);
    EXPECT_EQ(l->first, 0);
    EXPECT_EQ(l->scrollStep, 0);
    // Four lists at most.
    EXPECT_NE(Ui_CreateList(&d, m_window), nullptr);
    EXPECT_NE(Ui_CreateList(&d, m_window), nullptr);
    EXPECT_EQ(Ui_CreateList(&d, m_window), nullptr);
}

std::vector<std::array<int, 2>> g_cells;
void Cell(uint8_t *packets, int32_t column, int32_t row, int32_t x, int32_t y)
{
    g_cells.push_back({column, row});
    PACKET_TILE_T t{PACKET{0, 4, uint8_t(40 + 20 * (column & 7)), uint8_t(40 + 20 * (row & 7)), 90, PACKET_TILE},
                    int16_t(x), int16_t(y), 22, 14};
    if (column < 0 || row < 0 || column >= 30 || row >= 40)
        t.head.code = PACKET_NOP;
    std::memcpy(packets, &t, sizeof t);
}

VIEWDESC ViewDesc()
{
    VIEWDESC d{};
    d.x = 20;
    d.y = 30;
    d.columns = 8;
    d.rows = 6;
    d.cellWidth = 24;
    d.cellHeight = 16;
    d.flags = VIEW_ROW_BAR | VIEW_COLUMN_BAR | VIEW_ONE_PACKET;
    d.firstColumn = -1;
    d.firstRow = -1;
    d.columnCount = 30;
    d.rowCount = 40;
    d.columnSpeed = 8;
    d.rowSpeed = 4;
    d.cell = Cell;
    return d;
}

TEST_F(Controls, ViewScrollsOneCellPerRequest)
{
    const VIEWDESC d = ViewDesc();
    g_cells.clear();
    VIEWWIDGET *v = Ui_CreateView(&d, m_window);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(g_cells.size(), size_t(10 * 8 * 2));
    ASSERT_NE(v->rowBar, nullptr);
    ASSERT_NE(v->columnBar, nullptr);
    EXPECT_EQ(v->rowBar->maximum, 34);
    EXPECT_EQ(v->columnBar->maximum, 22);
    EXPECT_EQ(Ui_CreateView(&d, m_window), nullptr) << "one view";

    // Right: 24 / 8 = 3 frames; a second request while moving is ignored; one new column fetched.
    g_cells.clear();
    Ui_ViewScrollRight(v);
    Walk();
    Ui_ViewScrollRight(v);
    Walk();
    Walk();
    EXPECT_EQ(v->firstColumn, 0);
    EXPECT_EQ(v->columnStep, 0);
    EXPECT_EQ(v->ringFirstColumn, 1);
    EXPECT_EQ(g_cells.size(), size_t(8 * 2));
    EXPECT_EQ(g_cells.front()[0], 9);
    EXPECT_EQ(v->columnBar->position, 1);
    // Down: 16 / 4 = 4 frames, the row bar follows.
    Ui_ViewScrollDown(v);
    for (int i = 0; i < 4; i++)
        Walk();
    EXPECT_EQ(v->firstRow, 0);
    EXPECT_EQ(v->rowBar->position, 1);
    Ui_ViewScrollUp(v);
    for (int i = 0; i < 4; i++)
        Walk();
    EXPECT_EQ(v->firstRow, -1);
    EXPECT_EQ(v->rowBar->position, 0);
    // After ring columns steps the ring is back where it started.
    for (int step = 0; step < 9; step++) {
        Ui_ViewScrollRight(v);
        for (int i = 0; i < 3; i++)
            Walk();
    }
    EXPECT_EQ(v->ringFirstColumn, 0);
    EXPECT_EQ(v->firstColumn, 9);
    // Hidden: no scroll.
    v->head.flags |= VIEW_HIDDEN;
    Ui_ViewScrollLeft(v);
    for (int i = 0; i < 5; i++)
        Walk();
    EXPECT_EQ(v->firstColumn, 9);
    // The grid's view dies with its window, and nothing keeps pointing at it.
    g_pGridView = v;
    Ui_CloseWindow(m_window);
    Walk();
    Walk();
    EXPECT_EQ(g_pGridView, nullptr);
    EXPECT_TRUE(v->head.flags & WIDGET_FREE);
    Ui_StopGridScrollRepeat();
    const VIEWDESC again = ViewDesc();
    EXPECT_NE(Ui_CreateView(&again, nullptr), nullptr) << "the pool's one view is free again";
}

} // namespace
