// The mouse layer: the button byte and the pointer's bounds, which window a press reaches, the
// right button's pad slots, and the pad slots and pointer tools the mouse runs through.
#include "app/startup.h"
#include "ui/gridstate.h"
#include "ui/padslot.h"
#include "ui/view.h"
#include "ui_fixture.h"

#include <array>
#include <string>
#include <vector>

namespace {

using uitest::UiTest;

std::vector<std::string> g_ran;

class Mouse : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        g_ucMouseButtons |= MOUSE_MODE;
        g_ran.clear();
        g_iMouseButton2 = 1;
    }
    void TearDown() override
    {
        g_iMouseButton1 = g_iMouseButton2 = 1;
        g_bMouseClicked = 0;
        g_ucGridKind = 0;
        g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
        UiTest::TearDown();
    }
    static WINDOW *Open(int x, int y, int w, int h)
    {
        WINDOWDESC d{};
        d.x = uint16_t(x);
        d.y = uint16_t(y);
        d.w = uint16_t(w);
        d.h = uint16_t(h);
        return Ui_OpenWindow(&d);
    }
    // A frame with the left button as given; the poll's release edge when it goes up.
    static void Left(bool down)
    {
        if (!down && g_iMouseButton1 == 0)
            g_bMouseClicked = 1;
        g_iMouseButton1 = down ? 0 : 1;
        Walk();
    }
    static void At(int x, int y)
    {
        g_sMouseX = int16_t(x);
        g_sMouseY = int16_t(y);
    }
};

WIDGET g_target;
void Press(WIDGET *) { g_ran.push_back("press"); }
void Held(WIDGET *) { g_ran.push_back("held"); }
void Release(WIDGET *) { g_ran.push_back("release"); }
void Area(uint32_t value) { g_ran.push_back("area " + std::to_string(value)); }
void Slot13() { g_ran.push_back("slot 13"); }
void Slot12() { g_ran.push_back("slot 12"); }
void Slot3() { g_ran.push_back("slot 3"); }
void Slot9() { g_ran.push_back("slot 9"); }
void GridClick(int32_t event) { g_ran.push_back("grid " + std::to_string(event)); }

WIDGET *AddTarget(WINDOW *w, int x, int y, int width, int height)
{
    g_target = {};
    g_target.kind = 99;
    g_target.x = uint16_t(x);
    g_target.y = uint16_t(y);
    g_target.w = uint16_t(width);
    g_target.h = uint16_t(height);
    g_target.press = Press;
    g_target.held = Held;
    g_target.release = Release;
    Ui_AttachWidget(w, &g_target);
    return &g_target;
}

TEST_F(Mouse, ButtonByteEdgesAndThePointersBounds)
{
    // Press, hold, release: one press edge, then held, then the release edge once.
    Left(true);
    EXPECT_EQ(g_ucMouseButtons & 0x1F, MOUSE_LEFT_PRESS | MOUSE_LEFT_DOWN);
    Left(true);
    EXPECT_EQ(g_ucMouseButtons & 0x1F, MOUSE_LEFT_DOWN);
    Left(false);
    EXPECT_EQ(g_ucMouseButtons & 0x1F, MOUSE_LEFT_RELEASE);
    EXPECT_EQ(g_bMouseClicked, 0) << "the interface takes the poll's release";
    Walk();
    EXPECT_EQ(g_ucMouseButtons & 0x7F, MOUSE_LEFT_WAS_UP | MOUSE_RIGHT_WAS_UP);
    g_iMouseButton2 = 0;
    Walk();
    EXPECT_EQ(g_ucMouseButtons & 0x1F, MOUSE_RIGHT_PRESS | MOUSE_RIGHT_DOWN);
    g_iMouseButton2 = 1;

    // Motion is clamped 12 px short of the far edges and never below 0.
    struct Case
    {
        int dx, dy, x, y;
    };
    for (const Case c : {Case{5000, 5000, 628, 468}, Case{-5000, -5000, 0, 0}, Case{30, 40, 30, 40}}) {
        At(0, 0);
        g_iMouseDeltaX = int16_t(c.dx);
        g_iMouseDeltaY = int16_t(c.dy);
        Walk();
        EXPECT_EQ((std::array<int, 2>{g_sMouseX, g_sMouseY}), (std::array<int, 2>{c.x, c.y})) << c.dx;
    }
    // Frozen, or outside mouse mode, the pointer stays.
    Ui_FreezePointer();
    Walk();
    EXPECT_EQ(g_sMouseX, 30);
    Ui_UnfreezePointer();
    g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
    Walk();
    EXPECT_EQ(g_sMouseX, 30);
    g_iMouseDeltaX = g_iMouseDeltaY = 0;
}

TEST_F(Mouse, APressReachesOnlyTheFocusedWindow)
{
    WINDOW *below = Open(20, 20, 300, 200);
    ASSERT_NE(below, nullptr);
    AddTarget(below, 10, 10, 50, 20);
    UIRECT r{0, 0, 100, 100};
    Ui_AddClickArea(below, &r, Area, 7);
    UIRECT r2{0, 0, 300, 200};
    Ui_AddClickArea(below, &r2, Area, 8);
    // A message box on top has the focus: a press on the window below does nothing at all.
    WINDOW *box = Open(200, 150, 100, 50);
    Ui_SetFocus(box);
    Ui_SetModalWindow(box);
    At(35, 35);
    Left(true);
    Left(false);
    EXPECT_TRUE(g_ran.empty());
    EXPECT_EQ(g_pClickedWidget, nullptr);

    // Focused: the first click area holding the pointer runs, then the widget takes the press,
    // its hold every frame wherever the pointer goes, and its release.
    Ui_SetModalWindow(nullptr);
    Ui_SetFocus(below);
    Left(true);
    At(600, 400);
    Left(true);
    At(35, 35);
    Left(false);
    EXPECT_EQ(g_ran, (std::vector<std::string>{"area 7", "press", "held", "release"}));
    EXPECT_EQ(g_pClickedWidget, nullptr);

    // A release away from any window still ends the capture: a later hold drives nothing.
    g_ran.clear();
    Left(true);
    At(630, 5);
    Left(false);
    Left(true);
    Left(true);
    EXPECT_EQ(g_ran, (std::vector<std::string>{"area 7", "press"}));
    Left(false);

    // Outside the widget the window's own handler takes it; edges count.
    g_ran.clear();
    Ui_SetWindowRole(UI_ROLE_GRID, below, GridClick);
    At(20 + 300, 20 + 200);
    Left(true);
    Left(false);
    EXPECT_EQ(g_ran, (std::vector<std::string>{"area 8", "grid 1"}));
    // The role dies with its window.
    Ui_CloseWindow(below);
    for (int i = 0; i < 3; i++)
        Walk();
    EXPECT_EQ(g_atWindowRoles[UI_ROLE_GRID].window, nullptr);
}

TEST_F(Mouse, RightButtonRunsTheScreensSlot)
{
    for (int screen : {77, 12, 21, 55}) {
        Sys_PadBind(uint16_t(screen), 13, Slot13, BIND_ON_PRESS);
        Sys_PadBind(uint16_t(screen), 12, Slot12, BIND_ON_RELEASE);
    }
    struct Case
    {
        int screen;
        std::vector<std::string> ran;
    };
    for (const Case &c : {Case{77, {"slot 13"}}, Case{12, {"slot 12"}}, Case{55, {"slot 12"}}, Case{21, {}}}) {
        g_ran.clear();
        g_iScreen = c.screen;
        g_iMouseButton2 = 0;
        Walk();
        g_iMouseButton2 = 1;
        Walk();
        EXPECT_EQ(g_ran, c.ran) << c.screen;
    }
}

void Cell(uint8_t *, int32_t, int32_t, int32_t, int32_t) {}

TEST_F(Mouse, RightPressOnTheGridPutsTheCursorOnTheCellNeverBeforeIt)
{
    WINDOW *grid = Open(8, 74, 624, 392);
    ASSERT_NE(grid, nullptr);
    VIEWDESC d{};
    d.x = 56;
    d.y = 8;
    d.columns = 23;
    d.rows = 15;
    d.cellWidth = 24;
    d.cellHeight = 24;
    d.firstColumn = -1;
    d.firstRow = -1;
    d.columnCount = 100;
    d.rowCount = 103;
    d.columnSpeed = d.rowSpeed = 2;
    d.cell = Cell;
    VIEWWIDGET *v = Ui_CreateView(&d, grid);
    ASSERT_NE(v, nullptr);
    g_pGridView = v;
    Ui_SetWindowRole(UI_ROLE_GRID, grid, GridClick);
    Sys_PadBind(0, 13, Slot13, BIND_ON_PRESS);
    Sys_PadBind(7, 13, Slot13, BIND_ON_PRESS);
    struct Case
    {
        int screen, kind, rows, x, y, column, row;
    };
    for (const Case c : {Case{0, 2, 6, 8 + 56 + 24 * 3 + 5, 74 + 8 + 24 * 2 + 1, 3, 2},
                         Case{0, 2, 6, 10, 20, 0, 0}, // left of and above the cells
                         Case{7, 1, 6, 8 + 56 + 1, 74 + 8 + 24 * 10, 0, 5}}) { // rows capped: 6 - (-1) - 2
        g_ran.clear();
        g_iScreen = c.screen;
        g_ucGridKind = uint8_t(c.kind);
        g_ucGridRowCount = uint8_t(c.rows);
        At(c.x, c.y);
        g_iMouseButton2 = 0;
        Walk();
        g_iMouseButton2 = 1;
        Walk();
        EXPECT_EQ((std::array<int, 2>{g_sGridCursorX, g_sGridCursorY}), (std::array<int, 2>{c.column, c.row}))
            << c.x << "," << c.y;
        EXPECT_EQ(g_ran, std::vector<std::string>{"slot 13"});
    }

    // The pointer tool: the paste tool over the cells, the event lane's own on rows 99-102,
    // the plain pointer off the cells.
    Ui_SetFocus(grid);
    g_iScreen = 0;
    g_ucGridKind = 2;
    g_ucGridPasteMode = 1;
    g_sGridCursorY = 0;
    At(8 + 56 + 30, 74 + 8 + 30);
    Walk();
    EXPECT_STREQ(g_pPointerTool->prompt, "Paste riff");
    EXPECT_EQ(*g_pPointerShape, 551);
    g_ucGridPasteMode = 0;
    Walk();
    EXPECT_STREQ(g_pPointerTool->prompt, "Delete riff");
    g_sGridCursorY = int16_t(99 - (v->firstRow + 1));
    Walk();
    EXPECT_STREQ(g_pPointerTool->prompt, "Edit volume track");
    EXPECT_STREQ(g_pszPointerPrompt, "Edit volume track");
    g_iScreen = 68;
    g_sGridCursorY = 0;
    Walk();
    EXPECT_STREQ(g_pPointerTool->prompt, "Resize riff");
    At(8 + 56 + 24 * 23 + 1, 74 + 8 + 30);
    Walk();
    EXPECT_EQ(g_pPointerTool, &g_atPointerTools[0]);
    EXPECT_STREQ(g_pszPointerPrompt, "Resize riff") << "\"None\" leaves the prompt";
    EXPECT_EQ(*g_pPointerShape, 642);
    g_ucGridPasteMode = 1;
    g_sGridCursorY = 0;
}

TEST_F(Mouse, PadSlotsRunAtOnceAndCommitTheScreen)
{
    // A release cell runs at once; a pending screen change applies after it.
    Sys_PadBind(77, 3, Slot3, BIND_ON_RELEASE);
    g_iScreen = 77;
    g_iNextScreen = 78;
    Ui_RunPadSlot(3);
    EXPECT_EQ(g_ran, std::vector<std::string>{"slot 3"});
    EXPECT_EQ(g_iScreen, 78);
    EXPECT_EQ(g_iNextScreen, -1);
    // An empty cell, a raw cell and slots or screens out of range run nothing but still commit.
    Sys_PadBind(78, 9, nullptr, BIND_WHILE_HELD);
    g_ran.clear();
    for (int slot : {5, 9, -1, 16}) {
        g_iNextScreen = 78;
        Ui_RunPadSlot(slot);
        EXPECT_EQ(g_iScreen, 78);
    }
    g_iScreen = 200;
    g_iNextScreen = 77;
    Ui_RunPadSlot(3);
    EXPECT_EQ(g_iScreen, 77);
    EXPECT_TRUE(g_ran.empty());
    // The tool menu actions only ask for their click screens.
    Ui_ToolResizeRiff();
    EXPECT_EQ(g_iNextScreen, 68);
    Ui_ToolChangeNoteLength();
    EXPECT_EQ(g_iNextScreen, 75);
    g_iNextScreen = -1;
    // Every screen has a tool; screens past the table show the plain pointer.
    for (int s = 0; s < UI_POINTER_SCREENS; s++)
        ASSERT_NE(g_apScreenPointerTool[s], nullptr) << s;
    EXPECT_STREQ(g_apScreenPointerTool[34]->prompt, "Set length");
    EXPECT_EQ(g_apScreenPointerTool[79], &g_atPointerTools[0]);
    (void)Slot9;
}

} // namespace
