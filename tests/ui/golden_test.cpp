// Golden pictures of whole interface frames drawn from the built interface set: a stack of
// windows with the focus moving, a cell view scrolled a cell at a time with its bars, a list
// paging, title bars and bevels.
#include "ui_fixture.h"

#include "ui/list.h"
#include "ui/scrollbar.h"
#include "ui/textfield.h"
#include "ui/view.h"

using namespace uitest;

namespace {

const char *const kTitles[4] = {"Song grid", "Riff palette", "Mixer", "Effects"};
WINDOW *g_windows[4];

// Each window draws its title bright when focused.
void DrawTitle(void *user)
{
    const intptr_t i = reinterpret_cast<intptr_t>(user);
    g_uiTextColour = g_pFocusWidget == g_windows[i] ? 0x207F7F : 0x505050;
    g_pFont = &g_tFontAlt;
    Gfx_DrawText(g_pFocusWidget == g_windows[i] ? "focused" : "", 12, 28, g_pOrderingTable);
    g_uiTextColour = 0x808080;
}

class Golden : public UiTest
{
};

TEST_F(Golden, WindowStackWithTheFocusMoving)
{
    Frame(); // the background first, so the windows save it
    for (int i = 0; i < 4; i++) {
        WINDOWDESC d{};
        d.x = uint16_t(30 + 110 * i);
        d.y = uint16_t(40 + 50 * i);
        d.w = 200;
        d.h = 140;
        d.style = uint8_t(i % 3);
        d.draw = DrawTitle;
        d.user = reinterpret_cast<void *>(intptr_t(i));
        g_windows[i] = Ui_OpenWindow(&d);
        ASSERT_NE(g_windows[i], nullptr);
        TEXTFIELDDESC t{kTitles[i], 4, 4, 190, 14, g_windows[i], uint8_t(40 + 50 * i), 90, 160, 0};
        ASSERT_NE(Ui_CreateTextField(&t), nullptr);
    }
    Ui_SetFocus(g_windows[1]);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_windows_focus1", 0x7701210AEF609A85));
    Ui_SetFocus(g_windows[3]);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_windows_focus3", 0x380927146A4757E1));
    // Closing the top window puts back what it covered.
    Ui_CloseWindow(g_windows[3]);
    Frame();
    Frame();
    Frame();
    EXPECT_EQ(g_ucWindowDepth, 3);
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_windows_closed", 0x93DB11A7469DD5E9));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

void ViewCell(uint8_t *packets, int32_t column, int32_t row, int32_t x, int32_t y)
{
    PACKET_TILE_T t{PACKET{0, 4, uint8_t(50 + 25 * (column % 8)), uint8_t(60 + 20 * (row % 8)), 110, PACKET_TILE},
                    int16_t(x + 1), int16_t(y + 1), 22, 14};
    if (column < 0 || row < 0 || column >= 30 || row >= 40)
        t.head = PACKET{0, 4, 20, 24, 28, PACKET_TILE};
    std::memcpy(packets, &t, sizeof t);
}

TEST_F(Golden, ViewScrolledOneCellAtATime)
{
    WINDOWDESC d{};
    d.x = 40;
    d.y = 40;
    d.w = 260;
    d.h = 160;
    WINDOW *w = Ui_OpenWindow(&d);
    VIEWDESC v{};
    v.x = 16;
    v.y = 16;
    v.columns = 8;
    v.rows = 6;
    v.cellWidth = 24;
    v.cellHeight = 16;
    v.flags = VIEW_ROW_BAR | VIEW_COLUMN_BAR | VIEW_ONE_PACKET;
    v.firstColumn = -1;
    v.firstRow = -1;
    v.columnCount = 30;
    v.rowCount = 40;
    v.columnSpeed = 8;
    v.rowSpeed = 4;
    v.cell = ViewCell;
    VIEWWIDGET *view = Ui_CreateView(&v, w);
    ASSERT_NE(view, nullptr);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_view_start", 0x7B2EF92844AB8EEB));
    // Halfway through a step to the right and down.
    Ui_ViewScrollRight(view);
    Ui_ViewScrollDown(view);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_view_moving", 0x724BC0F02C6FB5AB));
    for (int i = 0; i < 4; i++)
        Frame();
    Ui_ViewScrollRight(view);
    for (int i = 0; i < 5; i++)
        Frame();
    EXPECT_EQ(view->firstColumn, 1);
    EXPECT_EQ(view->firstRow, 0);
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_view_two_right_one_down", 0xFB664DBAE5A2933B));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

void FillSong(int32_t op, int32_t number, void *row, void *)
{
    const int n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    std::snprintf(static_cast<char *>(row) + 2, 40, "%02d  Song number %d", n, n);
}
void DrawSong(void *row, int32_t x, int32_t y)
{
    Gfx_DrawText(static_cast<const char *>(row) + 2, x, y, g_pOrderingTable);
}

TEST_F(Golden, ListPaging)
{
    WINDOWDESC d{};
    d.x = 160;
    d.y = 80;
    d.w = 260;
    d.h = 150;
    d.style = 1;
    WINDOW *w = Ui_OpenWindow(&d);
    TEXTFIELDDESC t{"Play list", 4, 4, 250, 14, w, 30, 110, 60, TEXTFIELD_CENTRED};
    ASSERT_NE(Ui_CreateTextField(&t), nullptr);
    LISTDESC l{};
    l.x = 8;
    l.y = 26;
    l.w = 236;
    l.visibleRows = 8;
    l.totalRows = 30;
    l.rowHeight = 14;
    l.rowStride = 42;
    l.fillRow = FillSong;
    l.drawRow = DrawSong;
    LISTWIDGET *list = Ui_CreateList(&l, w);
    ASSERT_NE(list, nullptr);
    Ui_RefillListRows(list);
    Ui_SetFocus(w);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_list_top", 0x6649516080FEBAD5));
    // Hold down for a page and more: the list scrolls row by row.
    for (int i = 0; i < 60; i++) {
        Ui_ListScrollDown(list);
        Frame();
    }
    for (int i = 0; i < 8; i++)
        Frame();
    EXPECT_GT(list->first, 0);
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_list_paged", 0xDABC275712537AB5));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(Golden, TitleBarsAndBevels)
{
    static BEVELSET s_raised, s_inset, s_green;
    WINDOWDESC d{};
    d.x = 60;
    d.y = 60;
    d.w = 400;
    d.h = 260;
    d.style = 2;
    d.draw = [](void *) {
        Ui_LinkBevel(&s_raised);
        Ui_LinkBevel(&s_inset);
        Ui_LinkBevel(&s_green);
    };
    WINDOW *w = Ui_OpenWindow(&d);
    Ui_BuildRaisedBevel(&s_raised, 20, 120, 160, 50);
    Ui_BuildInsetBevel(&s_inset, 200, 120, 160, 50);
    g_ucUiColourScheme = 1;
    Ui_BuildRaisedBevel(&s_green, 20, 190, 340, 40);
    const struct
    {
        const char *text;
        int y;
        uint8_t style;
    } fields[] = {{"Left, with icon", 8, 0},
                  {"Centred, with icon", 30, TEXTFIELD_CENTRED},
                  {"Left, no icon", 52, TEXTFIELD_NO_ICON},
                  {"Centred, no icon", 74, TEXTFIELD_CENTRED | TEXTFIELD_NO_ICON}};
    for (const auto &f : fields) {
        TEXTFIELDDESC t{f.text, 8, int16_t(f.y), 380, 14, w, 90, 60, 150, f.style};
        TEXTFIELD *field = Ui_CreateTextField(&t);
        ASSERT_NE(field, nullptr);
        if (f.y == 52)
            field->head.flags |= WIDGET_TEXT_CURSOR;
    }
    g_ucUiColourScheme = 0;
    g_iBlinkPhase = 0; // the cursor shows in phases 0-5
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_title_bars_bevels", 0xCB51A33BA3C774E9));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

} // namespace
