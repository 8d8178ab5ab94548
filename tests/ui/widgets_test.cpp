// Windows, the window stack and the frame cycle; the pad latch.
#include "ui_fixture.h"

#include "ui/list.h"
#include "ui/textfield.h"

using namespace uitest;

namespace {

int g_inputs[UI_WINDOWS];

template <int N> void CountInput()
{
    g_inputs[N]++;
}
constexpr UICALLBACK kInputs[UI_WINDOWS] = {CountInput<0>, CountInput<1>, CountInput<2>, CountInput<3>, CountInput<4>,
                                            CountInput<5>, CountInput<6>, CountInput<7>, CountInput<8>, CountInput<9>};

WINDOWDESC Desc(int x, int y, int w, int h, UICALLBACK input = nullptr)
{
    WINDOWDESC d{};
    d.x = uint16_t(x);
    d.y = uint16_t(y);
    d.w = uint16_t(w);
    d.h = uint16_t(h);
    d.input = input;
    return d;
}

class Windows : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        std::fill(std::begin(g_inputs), std::end(g_inputs), 0);
    }
};

TEST_F(Windows, PoolOfTenAndClosingTakesTwoWalks)
{
    WINDOW *opened[UI_WINDOWS] = {};
    for (int i = 0; i < UI_WINDOWS; i++) {
        const WINDOWDESC d = Desc(10 + i * 4, 10 + i * 4, 100, 60, kInputs[i]);
        opened[i] = Ui_OpenWindow(&d);
        ASSERT_NE(opened[i], nullptr) << i;
    }
    const WINDOWDESC eleventh = Desc(0, 0, 50, 50);
    EXPECT_EQ(Ui_OpenWindow(&eleventh), nullptr);
    EXPECT_EQ(g_ucWindowDepth, UI_WINDOWS);
    Walk();
    for (int i = 0; i < UI_WINDOWS; i++)
        EXPECT_EQ(g_inputs[i], 1);

    // Closed: on the stack through one walk (closing 2), gone after the next (3), neither updated.
    Ui_CloseWindow(opened[3]);
    Ui_CloseWindow(opened[3]); // a second close changes nothing
    Walk();
    EXPECT_EQ(g_ucWindowDepth, UI_WINDOWS);
    EXPECT_EQ(opened[3]->closing, 2);
    Walk();
    EXPECT_EQ(g_ucWindowDepth, UI_WINDOWS - 1);
    EXPECT_EQ(g_inputs[3], 1);
    EXPECT_EQ(g_inputs[4], 3);
    // The windows above moved down one; the record can be taken again.
    EXPECT_EQ(g_apWindowStack[3], opened[4]);
    const WINDOWDESC again = Desc(0, 0, 50, 50);
    EXPECT_EQ(Ui_OpenWindow(&again), opened[3]);
    Ui_CloseWindow(nullptr);
}

TEST_F(Windows, ModalWindowAloneIsUpdatedAndDrawn)
{
    WINDOW *w[3];
    for (int i = 0; i < 3; i++) {
        const WINDOWDESC d = Desc(20 + 100 * i, 20, 90, 60, kInputs[i]);
        w[i] = Ui_OpenWindow(&d);
    }
    Ui_SetModalWindow(w[1]);
    Walk();
    Walk();
    EXPECT_EQ(g_inputs[0], 0);
    EXPECT_EQ(g_inputs[1], 2);
    EXPECT_EQ(g_inputs[2], 0);
    Ui_SetModalWindow(nullptr);
    Walk();
    EXPECT_EQ(g_inputs[0], 1);
    EXPECT_EQ(g_inputs[2], 1);
}

TEST_F(Windows, ADeadWindowLeavesNoReferenceBehind)
{
    const WINDOWDESC d = Desc(50, 50, 200, 100, kInputs[0]);
    WINDOW *modal = Ui_OpenWindow(&d);
    const WINDOWDESC d2 = Desc(300, 50, 200, 100, kInputs[1]);
    WINDOW *other = Ui_OpenWindow(&d2);
    TEXTFIELDDESC t{"Title", 4, 4, 150, 14, modal, 40, 80, 120, 0};
    TEXTFIELD *field = Ui_CreateTextField(&t);
    ASSERT_NE(field, nullptr);
    Ui_SetModalWindow(modal);
    Ui_SetFocus(field);
    g_pClickedWidget = &field->head;
    Ui_CloseWindow(modal);
    Walk();
    Walk();
    // Gone, and with it the modal window, the focus and the capture: the interface goes on.
    EXPECT_EQ(g_pModalWindow, nullptr);
    EXPECT_EQ(g_pFocusWidget, nullptr);
    EXPECT_EQ(g_pClickedWidget, nullptr);
    EXPECT_TRUE(field->head.flags & WIDGET_FREE);
    const int before = g_inputs[1];
    Walk();
    EXPECT_EQ(g_inputs[1], before + 1);
    // A window focused itself loses the focus too; another's focus stays.
    Ui_SetFocus(other);
    const WINDOWDESC d3 = Desc(10, 300, 50, 50);
    WINDOW *third = Ui_OpenWindow(&d3);
    Ui_CloseWindow(third);
    Walk();
    Walk();
    EXPECT_EQ(g_pFocusWidget, other);
}

TEST_F(Windows, FramePieceGeometry)
{
    struct
    {
        int w, h;
        int piece;
        int x, y, pw, ph;
    } cases[] = {
        {24, 24, 0, 0, 0, 8, 8},    {24, 24, 4, 8, 8, 8, 8},       {24, 24, 8, 16, 16, 8, 8},
        {100, 50, 0, 0, 0, 8, 8},   {100, 50, 1, 8, 0, 84, 8},     {100, 50, 2, 92, 0, 8, 8},
        {100, 50, 3, 0, 8, 8, 34},  {100, 50, 4, 8, 8, 84, 34},    {100, 50, 5, 92, 8, 8, 34},
        {100, 50, 6, 0, 42, 8, 8},  {100, 50, 7, 8, 42, 84, 8},    {100, 50, 8, 92, 42, 8, 8},
    };
    for (const auto &c : cases) {
        int x, y, pw, ph;
        Ui_FramePieceRect(c.piece, c.w, c.h, &x, &y, &pw, &ph);
        EXPECT_EQ((std::vector<int>{x, y, pw, ph}), (std::vector<int>{c.x, c.y, c.pw, c.ph}))
            << c.w << "x" << c.h << " piece " << c.piece;
    }
}

TEST_F(Windows, BlinkAndPulseAdvanceUnlessTheBusyBoxCounts)
{
    std::vector<int> phases, pulses;
    for (int i = 0; i < 13; i++) {
        Walk();
        phases.push_back(g_iBlinkPhase);
        pulses.push_back(g_ucPulse);
    }
    EXPECT_EQ(phases, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 1}));
    EXPECT_EQ(pulses, (std::vector<int>{128, 128, 128, 128, 128, 112, 96, 80, 64, 64, 64, 80, 96}));
    g_iBusyCountdown = 5;
    Walk();
    EXPECT_EQ(g_iBlinkPhase, 1);
    g_iBusyCountdown = 0;
}

TEST_F(Windows, InputOnlyAndFramelessWindows)
{
    const WINDOWDESC d = Desc(100, 100, 120, 80, kInputs[0]);
    WINDOW *w = Ui_OpenWindow(&d);
    w->flags |= WINDOW_INPUT_ONLY;
    TestLayer_Fill(0x1234);
    g_iBackgroundCounter = 1; // no background: only the window could draw
    Frame();
    EXPECT_EQ(g_inputs[0], 1);
    EXPECT_EQ(TestLayer_Pixel(150, 130), 0x1234) << "input only: nothing drawn";
    w->flags &= ~WINDOW_INPUT_ONLY;
    w->flags |= WINDOW_NO_FRAME;
    TEXTFIELDDESC t{"x", 10, 10, 50, 12, w, 200, 0, 0, TEXTFIELD_NO_ICON};
    ASSERT_NE(Ui_CreateTextField(&t), nullptr);
    Frame();
    // No frame: the centre tile is not there, but the child is, at the window's origin.
    EXPECT_EQ(TestLayer_Pixel(100, 100), 0x1234);
    EXPECT_NE(TestLayer_Pixel(150, 116), 0x1234);
    EXPECT_EQ(TestLayer_Pixel(105, 105), 0x1234);
}

TEST_F(Windows, PadLatchMergesPortsAndMultitaps)
{
    // Port 1 pad with slot 4 down; port 2 pad with slot 5 down: both in the working word.
    SetPad(1, 0, 0x41, 0xFFEF);
    SetPad(2, 0, 0x73, 0xFFDF);
    Ui_LatchPads();
    EXPECT_EQ(g_wPadWorkButtons, 0xFFCF);
    EXPECT_EQ(g_wPadPressed, 0x0030);
    Ui_LatchPads();
    EXPECT_EQ(g_wPadPressed, 0);
    SetPad(2, 0xFF, 0, 0xFFFF);
    Ui_LatchPads();
    EXPECT_EQ(g_wPadReleased, 0x0020);

    // A multitap on port 1: present sub-pads of kinds 4, 2 and 7 AND in; a mouse sets mouse mode.
    PADBUFFER *p1 = Sys_PadBuffer(1);
    std::memset(p1, 0, sizeof *p1);
    p1->status = 0;
    p1->type = 0x80;
    uint8_t *sub = reinterpret_cast<uint8_t *>(p1) + 2;
    const uint8_t subs[4][4] = {{0, 0x41, 0xFE, 0xFF}, {0xFF, 0x41, 0x00, 0x00}, {0, 0x73, 0xFF, 0x7F}, {0, 0x12, 0, 0}};
    for (int k = 0; k < 4; k++)
        std::memcpy(sub + 8 * k, subs[k], 4);
    g_ucMouseButtons = 0;
    Ui_LatchPads();
    EXPECT_EQ(g_wPadWorkButtons, 0x7FFE);
    EXPECT_EQ(g_ucMouseButtons & 0x80, 0x80);

    // No pad at all: the removal check runs instead of the dispatch, and after the pad is back
    // the dispatch waits for the hold-off count to run down.
    SetPad(1, 0xFF, 0, 0xFFFF);
    g_ucPadMissingCount = 0;
    for (int i = 0; i < 3; i++)
        Ui_LatchPads();
    EXPECT_EQ(g_ucPadMissingCount, 3);
    SetPad(1, 0, 0x41, 0xFFFF);
    Ui_LatchPads();
    EXPECT_EQ(g_ucPadMissingCount, 2);
}

} // namespace
