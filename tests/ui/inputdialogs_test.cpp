// Value sliders and the value editor, text entry, the key shortcut table and caption dragging,
// on the real widget pools and frames.
#include "ui_fixture.h"

#include "app/calllog.h"
#include "app/mainwindow.h"
#include "core/browser.h"
#include "sequencer/songmodel.h"
#include "ui/bindings.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "video/lanes.h"
#include "ui/caption.h"
#include "ui/gridcells.h"
#include "ui/shortcuts.h"
#include "ui/textentry.h"
#include "ui/textfield.h"
#include "ui/toolbar.h"
#include "ui/valueslider.h"

#include <algorithm>
#include <climits>
#include <string>

namespace {

using uitest::UiTest;

class Dialogs : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        g_ucMouseButtons |= MOUSE_MODE;
        g_iMouseButton2 = 1;
        Sys_EndTextEntry();
        g_iNextScreen = -1;
    }
    void TearDown() override
    {
        Sys_EndTextEntry();
        Sys_CallLogEnable(false);
        g_iMouseButton1 = g_iMouseButton2 = 1;
        g_bMouseClicked = 0;
        g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
        g_pTextEntryWindow = g_pKeyboardWindow = nullptr;
        g_pValueEditorWindow = nullptr;
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

// --- value sliders ---

TEST_F(Dialogs, SliderReadsShiftsClampsAndStoresByWidth)
{
    struct Case
    {
        uint8_t width;
        int32_t initial, minimum, maximum;
        int64_t step;
        int32_t valueBefore, valueAfter, stored;
    } cases[] = {
        {SLIDER_I16, -3, -12, 12, -100, 9, 0, -12},        // shifted range 0..24
        {SLIDER_I16, -3, -12, 12, 5, 9, 14, 2},
        {SLIDER_U8, 200, 0, 255, 100, 200, 255, 255},      // zero-extended, stops at the end
        {SLIDER_I32, INT32_MAX - 1, 0, INT32_MAX, 10, INT32_MAX - 1, INT32_MAX, INT32_MAX}, // never wraps
        {SLIDER_I32, 5, 0, 100, INT64_MIN / 2, 5, 0, 0},
    };
    WINDOW *w = Open(100, 100, 200, 40);
    for (const Case &c : cases) {
        int32_t i32 = c.initial;
        int16_t i16 = int16_t(c.initial);
        uint8_t u8 = uint8_t(c.initial);
        void *target = c.width == SLIDER_U8 ? (void *)&u8 : c.width == SLIDER_I16 ? (void *)&i16 : (void *)&i32;
        VALUESLIDERDESC d{6, 10, 188, target, c.width, c.minimum, c.maximum};
        VALUESLIDER *s = Ui_CreateValueSlider(&d, w);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->value, c.valueBefore) << c.initial;
        Ui_StepValueSlider(s, c.step);
        EXPECT_EQ(s->value, c.valueAfter) << c.initial;
        EXPECT_EQ(s->bar->position, c.valueAfter);
        Ui_StoreSliderValue(s);
        const int32_t stored = c.width == SLIDER_U8 ? u8 : c.width == SLIDER_I16 ? i16 : i32;
        EXPECT_EQ(stored, c.stored) << c.initial;
    }
}

TEST_F(Dialogs, SliderPoolRunsOutWithoutLeavingHalfASlider)
{
    WINDOW *w = Open(0, 0, 600, 400);
    int32_t v = 0;
    VALUESLIDERDESC d{0, 0, 100, &v, SLIDER_I32, 0, 10};
    int made = 0;
    while (Ui_CreateValueSlider(&d, w))
        made++;
    EXPECT_LE(made, UI_VALUESLIDERS);
    EXPECT_GT(made, 0);
    for (VALUESLIDER &s : g_atValueSliders)
        if (!(s.head.flags & WIDGET_FREE)) {
            EXPECT_NE(s.bar, nullptr);
        }
}

TEST_F(Dialogs, SliderNumberShowsIntegerOrThreeDecimals)
{
    int32_t v = 1500;
    VALUESLIDERDESC d{0, 0, 200, &v, SLIDER_I32, 0, 5000};
    VALUESLIDER *s = Ui_CreateValueSlider(&d, nullptr);
    ASSERT_NE(s, nullptr);
    char text[32];
    Ui_FormatSliderValue(s, text, sizeof text);
    EXPECT_STREQ(text, "1500");
    s->divisor = 1000.0f;
    Ui_FormatSliderValue(s, text, sizeof text);
    EXPECT_STREQ(text, "1.500");
}

// Held on the second arrow: 1 for five repeats, then 2, 4, 8 every five; one step per 6 frames;
// a release starts again at 1.
TEST_F(Dialogs, HeldSliderArrowAcceleratesEveryFiveRepeatsAndReleaseResets)
{
    WINDOW *w = Open(100, 100, 300, 40);
    int32_t v = 0;
    VALUESLIDERDESC d{6, 20, 288, &v, SLIDER_I32, 0, 1000};
    VALUESLIDER *s = Ui_CreateValueSlider(&d, w);
    ASSERT_NE(s, nullptr);
    Ui_SetFocus(w);
    const int barEnd = 100 + 6 + (288 - 56);
    At(barEnd - 3, 100 + 22 + 4); // on the second arrow
    std::vector<int32_t> steps;
    std::vector<int> frames;
    int32_t last = s->value;
    Left(true);
    for (int f = 0; f < 6 * 16; f++) {
        if (s->value != last) {
            steps.push_back(s->value - last);
            frames.push_back(f);
            last = s->value;
        }
        Left(true);
    }
    const std::vector<int32_t> expected = {1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 4, 4, 4, 4, 4, 8};
    ASSERT_GE(steps.size(), expected.size());
    EXPECT_EQ(std::vector<int32_t>(steps.begin(), steps.begin() + 16), expected);
    for (size_t i = 1; i < 16; i++)
        EXPECT_EQ(frames[i] - frames[i - 1], 6) << i;
    Left(false);
    EXPECT_EQ(g_iSliderAccel, 1);
    last = s->value;
    Left(true);
    EXPECT_EQ(s->value - last, 1);
    Left(false);
}

TEST_F(Dialogs, LongHoldNeverOverflowsOrWrapsTheValue)
{
    WINDOW *w = Open(100, 100, 300, 40);
    int32_t v = 0;
    VALUESLIDERDESC d{6, 20, 288, &v, SLIDER_I32, -1000, 1000};
    VALUESLIDER *s = Ui_CreateValueSlider(&d, w);
    ASSERT_NE(s, nullptr);
    Ui_SetFocus(w);
    At(100 + 6 + (288 - 56) - 3, 100 + 22 + 4);
    Left(true);
    int32_t previous = s->value;
    for (int f = 0; f < 6 * 5 * 40; f++) { // 40 doublings' worth of repeats
        Left(true);
        ASSERT_GE(s->value, previous) << "the + arrow never steps down";
        previous = s->value;
    }
    EXPECT_EQ(s->value, 2000);
    EXPECT_LE(g_iSliderAccel, 2000);
    Left(false);
    Ui_StoreSliderValue(s);
    EXPECT_EQ(v, 1000);
}

TEST_F(Dialogs, ValueEditorDragStepAndItsGuard)
{
    int32_t v = 0;
    ASSERT_NE(Ui_OpenValueEditor(&v, SLIDER_I32, 0, 1000, 24, 0, 0, 200), nullptr);
    EXPECT_EQ(g_pValueEditorWindow->x, 640 / 2 - 100);
    EXPECT_EQ(g_pValueEditorWindow->y, 90);
    EXPECT_EQ(g_iNextScreen, SCREEN_VALUEEDIT);
    EXPECT_EQ(g_pValueEditorSlider->bar->pressed, SCROLLPART_THUMB);
    EXPECT_EQ(Ui_ValueEditorDragStep(g_pValueEditorSlider), 40); // bar 132, k = 1000 / 100
    Ui_ValueEditorBeginStep();
    EXPECT_EQ(g_iNextScreen, SCREEN_VALUEDRAG);
    Ui_ValueEditorStepUp();
    Ui_ValueEditorStepUp();
    EXPECT_EQ(g_pValueEditorSlider->value, 80);
    Ui_ValueEditorEndStep();
    EXPECT_EQ(g_iNextScreen, SCREEN_VALUEEDIT);
    Ui_ValueEditorRight();
    Ui_ValueEditorRight();
    EXPECT_EQ(g_pValueEditorSlider->bar->pressed, SCROLLPART_SECOND_ARROW);
    g_iRepeatDelay = 0;
    Ui_ValueEditorBeginStep();
    Ui_ValueEditorBeginStep(); // within the 10-frame delay: nothing
    EXPECT_EQ(g_pValueEditorSlider->value, 81);
    g_iScreen = 0;
    Ui_ValueEditorClose(); // no cancel: closing stores
    EXPECT_EQ(v, 81);
    EXPECT_EQ(g_pValueEditorWindow, nullptr);

    // A narrow editor: the bar is 32 pixels or less, the step stays 4.
    ASSERT_NE(Ui_OpenValueEditor(&v, SLIDER_I32, 0, 1000, 24, 0, 0, 90), nullptr);
    EXPECT_EQ(Ui_ValueEditorDragStep(g_pValueEditorSlider), 4);
    Ui_ValueEditorClose();
}

// --- text entry ---

int s_accepts = 0, s_cancels = 0;
void Accepted() { s_accepts++; }
void Cancelled() { s_cancels++; }

class TextEntry : public Dialogs
{
protected:
    void SetUp() override
    {
        Dialogs::SetUp();
        s_accepts = s_cancels = 0;
    }
    void TearDown() override
    {
        if (g_pTextEntryWindow)
            Ui_CancelTextEntry();
        Dialogs::TearDown();
    }
    static void Type(const char *keys)
    {
        for (const char *p = keys; *p; p++) {
            const char *at = std::strchr(g_szKeyboardKeys, *p);
            ASSERT_NE(at, nullptr);
            Ui_TextEntryPressKey(int32_t(at - g_szKeyboardKeys), false);
        }
    }
};

TEST_F(TextEntry, EmptyRequestOpensOnTheAcceptKeyWithTheDefaults)
{
    TEXTENTRYREQUEST r{};
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    EXPECT_EQ(g_ucKeyboardCursor, KEY_ACCEPT);
    EXPECT_EQ(g_iNextScreen, SCREEN_TEXTENTRY);
    EXPECT_EQ(g_pTextEntryWindow->w, 240);
    EXPECT_EQ(g_pTextEntryWindow->h, 44 + 112) << "the edit line with the on-screen keyboard below";
    EXPECT_EQ(g_pKeyboardWindow, g_pTextEntryWindow);
    EXPECT_TRUE(g_bTextEntryActive);
    EXPECT_EQ(g_ucTextEntryLimit, 31) << "the PC keyboard stops at max - 1 too";
    EXPECT_EQ(Ui_OpenTextEntry(&r), nullptr) << "one entry at a time";
}

TEST_F(TextEntry, MaxTwelveHoldsElevenAndAcceptCopiesIntoTheCallersBuffer)
{
    char name[16];
    std::memset(name, '*', sizeof name);
    std::memcpy(name, "OLD", 4);
    TEXTENTRYREQUEST r{};
    r.maxLength = 12;
    r.fieldWidth = 1000;
    r.text = name;
    r.accept = Accepted;
    r.cancel = Cancelled;
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    EXPECT_STREQ(g_szTextEntryField, "OLD");
    Type("ABCDEFGHIJKLMNOP");
    EXPECT_STREQ(g_szTextEntryField, "OLDABCDEFGH");
    EXPECT_STREQ(g_szTextEntry, g_szTextEntryField) << "pad and PC keyboard share one text";
    Ui_AcceptTextEntry();
    EXPECT_STREQ(name, "OLDABCDEFGH");
    EXPECT_EQ(name[12], '*') << "nothing written past the caller's 12 bytes";
    EXPECT_EQ(s_accepts, 1);
    EXPECT_EQ(s_cancels, 0);
    EXPECT_FALSE(g_bTextEntryActive);
}

TEST_F(TextEntry, CancelLeavesTheBufferAndCallsOnlyCancel)
{
    char name[12] = "RIFF 1";
    TEXTENTRYREQUEST r{};
    r.maxLength = 12;
    r.text = name;
    r.accept = Accepted;
    r.cancel = Cancelled;
    g_iScreen = 0;
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    Type("XY");
    Ui_TextEntryPressKey(KEY_CANCEL, false);
    EXPECT_STREQ(name, "RIFF 1");
    EXPECT_EQ(s_cancels, 1);
    EXPECT_EQ(s_accepts, 0);
    EXPECT_EQ(g_iNextScreen, 0);
    EXPECT_EQ(g_pTextEntryWindow, nullptr);
}

TEST_F(TextEntry, LongCallerTextAndLongKeyboardTextStayInTheField)
{
    std::string longText(300, 'W');
    std::vector<char> buffer(longText.begin(), longText.end());
    buffer.push_back('\0');
    TEXTENTRYREQUEST r{};
    r.maxLength = 200; // clamped to 32
    r.fieldWidth = 10000;
    r.text = buffer.data();
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    EXPECT_EQ(std::strlen(g_szTextEntryField), 31u);
    std::memset(g_szTextEntry, 'Q', TEXTENTRY_SIZE - 1);
    g_szTextEntry[TEXTENTRY_SIZE - 1] = '\0';
    Ui_TextEntryKeyboardChanged();
    EXPECT_EQ(std::strlen(g_szTextEntryField), 31u);
}

TEST_F(TextEntry, PixelWidthStopsBothKeyboards)
{
    TEXTENTRYREQUEST r{};
    r.fieldWidth = 40;
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    Type("WWWWWWWWWWWW");
    const size_t padLength = std::strlen(g_szTextEntryField);
    EXPECT_GT(padLength, 0u);
    EXPECT_LT(padLength, 12u);
    g_pFont = &g_tFontMain;
    EXPECT_LT(Gfx_GetTextWidth(g_szTextEntryField), 40);
    std::strcpy(g_szTextEntry, "WWWWWWWWWWWW");
    Ui_TextEntryKeyboardChanged();
    EXPECT_EQ(std::strlen(g_szTextEntryField), padLength);
}

TEST_F(TextEntry, FilterRefusesSymbolsButSpaceAndDeleteWork)
{
    TEXTENTRYREQUEST r{};
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    g_ucTextEntryFilter = 1;
    Type("A1!?");
    Ui_TextEntryPressKey(KEY_BLANK, false);
    Ui_TextEntryPressKey(KEY_DELETE_LAST, false);
    Ui_TextEntryPressKey(KEY_BLANK, false);
    Ui_TextEntryPressKey(10, true); // 'a'
    EXPECT_STREQ(g_szTextEntryField, "A1 a");
}

TEST_F(TextEntry, CursorMovesFollowTheKeyboardsRows)
{
    struct Case
    {
        uint8_t from;
        void (*move)();
        uint8_t to;
        int32_t screen;
    } cases[] = {
        {47, Ui_TextEntryKeyDown, KEY_BLANK, SCREEN_TEXTENTRY}, {KEY_BLANK, Ui_TextEntryKeyUp, 46, SCREEN_TEXTKEYS},
        {40, Ui_TextEntryKeyDown, KEY_ACCEPT, SCREEN_TEXTENTRY}, {45, Ui_TextEntryKeyDown, KEY_CANCEL, SCREEN_TEXTENTRY},
        {49, Ui_TextEntryKeyDown, KEY_DELETE_LAST, SCREEN_TEXTENTRY}, {KEY_ACCEPT, Ui_TextEntryKeyUp, 41, SCREEN_TEXTKEYS},
        {KEY_CANCEL, Ui_TextEntryKeyUp, 43, SCREEN_TEXTKEYS}, {KEY_DELETE_LAST, Ui_TextEntryKeyUp, 48, SCREEN_TEXTKEYS},
        {10, Ui_TextEntryKeyLeft, 10, -1}, {19, Ui_TextEntryKeyRight, 19, -1},
        {KEY_ACCEPT, Ui_TextEntryKeyLeft, KEY_ACCEPT, -1}, {KEY_DELETE_LAST, Ui_TextEntryKeyRight, KEY_DELETE_LAST, -1},
        {KEY_CANCEL, Ui_TextEntryKeyLeft, KEY_ACCEPT, SCREEN_TEXTENTRY}, {5, Ui_TextEntryKeyDown, 15, SCREEN_TEXTKEYS},
        {5, Ui_TextEntryKeyUp, 5, -1},
    };
    TEXTENTRYREQUEST r{};
    ASSERT_NE(Ui_OpenTextEntry(&r), nullptr);
    for (const Case &c : cases) {
        g_ucKeyboardCursor = c.from;
        g_iRepeatDelay = 0;
        g_iKeyRepeatCount = 0;
        g_iNextScreen = -1;
        c.move();
        EXPECT_EQ(g_ucKeyboardCursor, c.to) << int(c.from);
        EXPECT_EQ(g_iNextScreen, c.screen) << int(c.from);
    }
}

// --- key shortcuts ---

TEST_F(Dialogs, ShortcutRowsRunInTableOrderAndTheKeyIsAlwaysDropped)
{
    struct Case
    {
        int32_t screen;
        uint32_t key, modifiers;
        std::vector<std::string> ran;
    } cases[] = {
        {0, KEY_HOME, 2, {"Ui_GoToGridTop", "Ui_GoToGridStart"}},
        {0, KEY_HOME, 0, {"Ui_GoToGridStart"}},
        {0, KEY_END, 2, {"Ui_GoToGridBottom", "Ui_GoToSongEnd"}},
        {7, KEY_END, 0, {"Ui_GoToSongEnd"}},
        {0, KEY_Z, 2, {"Seq_UndoLastStep"}},
        {7, KEY_Z, 2, {"Vid_SwapLaneUndo"}},
        {0, KEY_Z, 1, {}}, // Shift alone is not Control
        {2, KEY_Z, 2, {}},
        {0, KEY_Y, 2, {"Ui_Redo"}},
        {0, KEY_PAGEUP, 0, {"Ui_PageGridUp"}},
        {7, KEY_PAGEDOWN, 0, {"Ui_PageVideoGridDown"}},
        {0, KEY_PAGEDOWN, 0, {"Ui_PageSongGridDown"}},
        {9, KEY_HOME, 0, {}},
        {0, KEY_DELETE, 0, {}}, // no grid action: dropped like any unbound key
        {7, KEY_INSERT, 2, {}},
    };
    for (const Case &c : cases) {
        Sys_CallLogEnable(true);
        Sys_CallLogClear();
        g_iScreen = c.screen;
        g_iLastKeyCode = int32_t(c.key);
        g_uKeyModifiers = c.modifiers;
        Ui_DispatchKeyShortcut();
        std::vector<std::string> ran = Sys_CallLogGet();
        ran.erase(std::remove_if(ran.begin(), ran.end(), [](const std::string &s) { return s.rfind("Ui_", 0) != 0 && s.rfind("Seq_Undo", 0) != 0 && s.rfind("Vid_", 0) != 0; }), ran.end());
        EXPECT_EQ(ran, c.ran) << c.screen << " " << c.key << " " << c.modifiers;
        EXPECT_EQ(g_iLastKeyCode, 0);
    }
    g_uKeyModifiers = 0;
    g_iScreen = 10;
}

TEST_F(Dialogs, ShortcutTableEndsWithItsZeroRow)
{
    const KEYSHORTCUT &z = g_atKeyShortcuts[UI_KEY_SHORTCUTS];
    EXPECT_EQ(z.handler, nullptr);
    // Rows 2-5 (Delete and Insert on the song and video grids) hold their place with no action.
    for (int i = 0; i < UI_KEY_SHORTCUTS; i++) {
        if (i >= 2 && i <= 5)
            EXPECT_EQ(g_atKeyShortcuts[i].handler, nullptr) << i;
        else
            EXPECT_NE(g_atKeyShortcuts[i].handler, nullptr) << i;
    }
    EXPECT_EQ(g_atKeyShortcuts[25].screen, 17u);
    EXPECT_EQ(g_atKeyShortcuts[25].key, KEY_ENTER);
}

// --- grid navigation ---

class GridKeys : public Dialogs
{
protected:
    void SetUp() override
    {
        Dialogs::SetUp();
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
        for (auto &row : g_aSongGrid)
            for (uint16_t &cell : row)
                cell = 0;
        Ui_CloseGridScreen();
        g_uKeyModifiers = 0;
        g_iScreen = 10;
        Dialogs::TearDown();
    }
    static void Key(uint32_t key, uint32_t modifiers)
    {
        g_iLastKeyCode = int32_t(key);
        g_uKeyModifiers = modifiers;
        Ui_DispatchKeyShortcut();
    }
};

TEST_F(GridKeys, ControlHomeGoesToTopAndStartAndSongEndLeavesThreeColumns)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    v->firstColumn = 20;
    v->firstRow = 30;
    g_sGridCursorX = 4;
    g_sGridCursorY = 5;
    Key(KEY_HOME, 2);
    EXPECT_EQ(v->firstColumn, -1);
    EXPECT_EQ(v->firstRow, -1);
    EXPECT_EQ(g_sGridCursorX, 0);
    EXPECT_EQ(g_sGridCursorY, 0);
    // An empty song: the end is its start, never a negative column past the border.
    Key(KEY_END, 0);
    EXPECT_EQ(v->firstColumn, -1);
    // A song of 10 rows: the last three stay in view.
    g_aSongGrid[9][0] = 1;
    Key(KEY_END, 0);
    EXPECT_EQ(v->firstColumn, Seq_CountUsedRows() - 3);
    EXPECT_GE(v->firstColumn, 0);
}

TEST_F(GridKeys, PageDownNeverPassesTheLastPage)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    SCROLLBAR *b = g_pGridView->rowBar;
    ASSERT_NE(b, nullptr);
    ASSERT_GT(b->page, 1);
    b->position = b->maximum - 2;
    Key(KEY_PAGEDOWN, 0);
    EXPECT_EQ(b->step, 2);
    EXPECT_EQ(b->holdCount, 6);
    b->position = b->maximum;
    Key(KEY_PAGEDOWN, 0);
    EXPECT_EQ(b->step, 0);
    Key(KEY_PAGEUP, 0);
    EXPECT_EQ(b->step, -(b->page - 1));
}

// --- captions ---

TEST_F(Dialogs, DragTargetKeepsWindowsOnScreenAndEven)
{
    struct Case
    {
        int px, py, grabX, grabY, w, h, x, y;
    } cases[] = {
        {307, 207, 0, 0, 100, 50, 300, 200},  {308, 207, 0, 0, 100, 50, 302, 200},
        {309, 207, 0, 0, 100, 50, 302, 200},  {639, 479, 0, 0, 100, 50, 540, 430},
        {2, 3, 10, 5, 100, 50, 0, 0},         {700, 300, 0, 0, 641, 100, 0, 293},
        {400, 100, 20, 3, 99, 50, 374, 90},
    };
    for (const Case &c : cases) {
        g_sGrabX = int16_t(c.grabX);
        g_sGrabY = int16_t(c.grabY);
        int32_t x = -1, y = -1;
        Ui_CaptionDragTarget(c.px, c.py, c.w, c.h, &x, &y);
        EXPECT_EQ(x, c.x) << c.px << "," << c.py;
        EXPECT_EQ(y, c.y) << c.px << "," << c.py;
        EXPECT_EQ(x & 1, 0);
    }
}

TEST_F(Dialogs, CaptionDragsItsWindowAndTheCloseBoxClosesWithoutMoving)
{
    WINDOW *w = Open(100, 100, 200, 60);
    TEXTFIELDDESC cd{"Title", 6, 7, 180, 14, w, 0, 0, 128, 0};
    TEXTFIELD *caption = Ui_CreateTextField(&cd);
    ASSERT_NE(caption, nullptr);
    Ui_SetFocus(w);
    // Grab the caption 50 pixels in and drag far right and down.
    At(100 + 6 + 50, 100 + 7 + 3);
    Left(true);
    EXPECT_EQ(g_pClickedWidget, &caption->head);
    At(639, 479);
    Left(true);
    EXPECT_EQ(w->x + w->w, 640);
    EXPECT_EQ(w->y + w->h, 480);
    EXPECT_EQ(w->x & 1, 0);
    Left(false);
    EXPECT_EQ(g_pClickedWidget, nullptr);
    // The close box: a press at its left end runs the back action, and the window stays put.
    Sys_CallLogEnable(true);
    Sys_CallLogClear();
    const int x0 = w->x, y0 = w->y;
    At(x0 + 8, y0 + 10);
    Left(true);
    At(x0 + 30, y0 + 30);
    Left(true);
    Left(false);
    EXPECT_EQ(std::count(Sys_CallLogGet().begin(), Sys_CallLogGet().end(), "Ui_CloseBoxClick"), 1);
    EXPECT_EQ(w->x, x0);
    EXPECT_EQ(w->y, y0);
    // Without a close box the same press drags.
    caption->style |= TEXTFIELD_NO_ICON;
    At(x0 + 8, y0 + 10);
    Left(true);
    At(x0 - 40, y0 + 10);
    Left(true);
    Left(false);
    EXPECT_LT(w->x, x0);
    // An immovable caption stays.
    caption->style |= TEXTFIELD_NO_DRAG;
    const int x1 = w->x;
    At(x1 + 30, y0 + 10);
    Left(true);
    At(x1 + 130, y0 + 10);
    Left(true);
    Left(false);
    EXPECT_EQ(w->x, x1);
}

// --- toolbar hint ---

TEST_F(Dialogs, HintFlipsNearTheBottomRightCorner)
{
    At(630, 470);
    Ui_DrawHint("Help (F12)");
    g_pFont = &g_tFontMain;
    const int width = Gfx_GetTextWidth("Help (F12)");
    EXPECT_EQ(g_asHintBox[0], 630 - width - 2 - 4);
    EXPECT_EQ(g_asHintBox[1], 470 - 10 - 2);
    At(100, 100);
    Ui_DrawHint("Help (F12)");
    EXPECT_EQ(g_asHintBox[1], 100 + 11 - 2);
    Gfx_PopAllSaveUnders();
}

// The grid's pending tool tip is drawn beside the pointer on the next frame and then given back;
// a tool button's hint of the same frame wins over it.
TEST_F(Dialogs, GridToolTipShowsOnceBesideThePointerAndAHintWins)
{
    struct
    {
        const char *hint, *tip;
        bool shown; // a box beside the pointer
    } kCases[] = {{"", "Bass riff", true}, {"Play (F3)", "Bass riff", true}, {"", "", false}};
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.tip);
        At(100, 100);
        std::snprintf(g_szHintText, sizeof g_szHintText, "%s", c.hint);
        std::snprintf(g_szPendingToolTip, sizeof g_szPendingToolTip, "%s", c.tip);
        g_asHintBox[2] = 0;
        Ui_HintFrame();
        g_pFont = &g_tFontMain;
        const char *drawn = c.hint[0] ? c.hint : c.tip;
        EXPECT_EQ(g_asHintBox[2], c.shown ? Gfx_GetTextWidth(drawn) + 8 : 0);
        if (c.shown) {
            EXPECT_EQ(g_asHintBox[1], 100 + 11 - 2);
        }
        EXPECT_EQ(g_szPendingToolTip[0], 0) << "a tip is shown one frame";
        Ui_HintFrame(); // gives the area back, draws nothing new
        EXPECT_EQ(g_asHintBox[2], 0);
    }
    Gfx_PopAllSaveUnders();
}

} // namespace
