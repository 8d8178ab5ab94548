// The curve widget: point order on insert and remove, the fixed-point helpers, the mapping of
// points to pixels, and golden pictures of the widget drawn in a window.
#include "ui/ui_fixture.h"

#include "editors/curvewidget.h"
#include "goldenpng.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace uitest;

namespace {

std::vector<std::pair<int, int>> Points(const CURVEPOINTS *c)
{
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < c->count; i++)
        out.emplace_back(c->points[i].x, c->points[i].y);
    return out;
}

class CurveWidget : public UiTest
{
protected:
    WINDOW *m_win = nullptr;
    CURVEWIDGET *m_widget = nullptr;

    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        WINDOWDESC d{};
        d.x = 100;
        d.y = 100;
        d.w = 260;
        d.h = 140;
        d.style = 1;
        m_win = Ui_OpenWindow(&d);
        ASSERT_NE(m_win, nullptr);
        CURVEWIDGETDESC cd{20, 30, 200, 90, 20, 30, nullptr, nullptr, nullptr};
        m_widget = Ed_CreateCurveWidget(&cd, m_win);
        ASSERT_NE(m_widget, nullptr);
    }
};

TEST_F(CurveWidget, InsertKeepsPointsSortedAndEqualXGoesFirst)
{
    CURVEPOINTS *c = Ed_AttachCurve(m_widget, 0, 192, 0);
    ASSERT_NE(c, nullptr);
    c->shift = 8;
    struct
    {
        uint16_t x, y;
        int at;
    } steps[] = {
        {100, 1, 0}, // the first
        {200, 2, 1}, // past all: last
        {100, 3, 0}, // the same x as a point: before it
        {0, 4, 0},   // x = 0 goes first
        {0, 5, 0},   // and before another 0
        {150, 6, 4}, // between
    };
    for (const auto &s : steps)
        EXPECT_EQ(Ed_InsertCurvePoint(c, s.x, s.y), s.at) << s.x << "," << s.y;
    EXPECT_EQ(Points(c), (std::vector<std::pair<int, int>>{{0, 5}, {0, 4}, {100, 3}, {100, 1}, {150, 6}, {200, 2}}));

    // Removing moves the later points down; a bad index changes nothing.
    EXPECT_TRUE(Ed_RemoveCurvePoint(c, 1));
    EXPECT_FALSE(Ed_RemoveCurvePoint(c, 5));
    EXPECT_FALSE(Ed_RemoveCurvePoint(c, -1));
    EXPECT_EQ(Points(c), (std::vector<std::pair<int, int>>{{0, 5}, {100, 3}, {100, 1}, {150, 6}, {200, 2}}));
}

TEST_F(CurveWidget, AFullCurveRefusesAPointAndThePoolRunsOut)
{
    CURVEPOINTS *c = Ed_AttachCurve(m_widget, 0, 192, 0);
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < CURVE_MAX_POINTS; i++)
        ASSERT_GE(Ed_InsertCurvePoint(c, uint16_t(i), 0), 0);
    EXPECT_EQ(Ed_InsertCurvePoint(c, 7, 7), -1);
    EXPECT_EQ(c->count, CURVE_MAX_POINTS);
    // Four curves a widget; the fifth is refused.
    for (int i = 1; i < CURVE_SLOTS; i++)
        EXPECT_NE(Ed_AttachCurve(m_widget, 0, 0, 0), nullptr);
    EXPECT_EQ(Ed_AttachCurve(m_widget, 0, 0, 0), nullptr);
    EXPECT_EQ(m_widget->curveCount, CURVE_SLOTS);
    // The records come back when the window goes and a new widget is made.
    Ui_CloseWindow(m_win);
    for (int i = 0; i < 3; i++)
        Walk();
    CURVEWIDGETDESC cd{0, 0, 50, 50, 10, 10, nullptr, nullptr, nullptr};
    CURVEWIDGET *again = Ed_CreateCurveWidget(&cd, nullptr);
    ASSERT_NE(again, nullptr);
    for (int i = 0; i < CURVE_SLOTS; i++)
        EXPECT_NE(Ed_AttachCurve(again, 0, 0, 0), nullptr) << i;
}

TEST(CurveHelpers, ScaleFixed)
{
    struct
    {
        int32_t value, full, size, expected;
    } cases[] = {
        {255, 255, 180, 180}, {255, 255, 80, 80}, {255, 255, 1, 1}, {128, 255, 100, 50}, {1, 7, 255, 35},
        {2, 7, 255, 72},      {7, 7, 255, 255},   {0, 255, 180, 0}, {-255, 255, 80, -80}, {5, 0, 100, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Ed_ScaleFixed(c.value, c.full, c.size), c.expected) << c.value << "/" << c.full << " of " << c.size;
}

TEST(CurveHelpers, StepByteTowardRestsWithinAStepAndNeverWraps)
{
    struct
    {
        uint8_t from, target, step, expected;
    } cases[] = {
        {100, 100, 16, 100}, // at the target
        {10, 100, 16, 26},   // below
        {95, 100, 16, 95},   // a step past the target is undone in the same call
        {200, 100, 16, 184}, // above
        {250, 252, 10, 250}, // past 255 would wrap to near black
        {5, 0, 10, 0},       // below 0 stops at 0
        {0, 255, 255, 255},
    };
    for (const auto &c : cases) {
        uint8_t v = c.from;
        Ed_StepByteToward(&v, c.target, c.step);
        EXPECT_EQ(v, c.expected) << int(c.from) << " toward " << int(c.target) << " by " << int(c.step);
    }
    Ed_StepByteToward(nullptr, 1, 1);
}

TEST_F(CurveWidget, PointsMapHigherValuesHigherUpInBothForms)
{
    CURVEPOINTS *fixed = Ed_AttachCurve(m_widget, 0, 192, 0);
    CURVEPOINTS *bytes = Ed_AttachCurve(m_widget, 0, 0, 255);
    ASSERT_TRUE(fixed && bytes);
    fixed->shift = 8;
    bytes->shift = 0;
    const struct
    {
        uint8_t x, y;
        int px, py;
    } cases[] = {{0, 0, 0, 90}, {255, 255, 200, 0}, {128, 64, 100, 67}, {64, 192, 50, 22}};
    uint8_t pair[2] = {};
    bytes->points = reinterpret_cast<CURVEPOINT *>(pair);
    bytes->count = 1;
    for (const auto &c : cases) {
        fixed->count = 0;
        Ed_InsertCurvePoint(fixed, uint16_t(c.x << 8), uint16_t(c.y << 8));
        pair[0] = c.x;
        pair[1] = c.y;
        int32_t px = -1, py = -1;
        Ed_CurvePointPixel(m_widget, fixed, 0, &px, &py);
        EXPECT_EQ(px, c.px);
        EXPECT_EQ(py, c.py);
        Ed_CurvePointPixel(m_widget, bytes, 0, &px, &py);
        EXPECT_EQ(px, c.px);
        EXPECT_EQ(py, c.py);
    }
}

// A flat widget and a one-pixel step draw without looping forever or dividing by zero.
TEST_F(CurveWidget, DegenerateSizesAndStepsDraw)
{
    CURVEWIDGETDESC cd{0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr};
    Ui_CloseWindow(m_win);
    for (int i = 0; i < 3; i++)
        Walk();
    CURVEWIDGET *w = Ed_CreateCurveWidget(&cd, nullptr);
    ASSERT_NE(w, nullptr);
    CURVEPOINTS *c = Ed_AttachCurve(w, 1, 2, 3);
    c->shift = 8;
    Ed_InsertCurvePoint(c, 0, 0);
    Ed_InsertCurvePoint(c, 0xFF00, 0xFF00);
    Frame();
    Ed_DrawCurveWidget(w);
    Ed_DrawNoteCurve(nullptr, 3, 0, 0, 10, 10);
    const uint16_t env[2] = {0 | 255 << 8, 255 | 0 << 8};
    Ed_DrawNoteCurve(env, 2, 0, 0, 1, 1);
    SUCCEED();
}

TEST_F(CurveWidget, GoldenPictures)
{
    Frame(); // the background first
    // A green envelope in the editor's form and a blue one of byte pairs, with the centre line.
    CURVEPOINTS *green = Ed_AttachCurve(m_widget, 0, 192, 0);
    CURVEPOINTS *blue = Ed_AttachCurve(m_widget, 0, 128, 255);
    ASSERT_TRUE(green && blue);
    green->shift = 8;
    const uint8_t bell[9][2] = {{0, 0},     {7, 112},   {20, 205}, {36, 255}, {55, 255},
                                {79, 203}, {106, 112}, {152, 32}, {208, 0}};
    for (const auto &p : bell)
        Ed_InsertCurvePoint(green, uint16_t(p[0] << 8), uint16_t(p[1] << 8));
    // A note's list: words of x | y << 8, read in place.
    blue->shift = 0;
    static uint16_t s_sine[5] = {0 | 127 << 8, 63 | 255 << 8, 127 | 127 << 8, 191 | 0 << 8, 255 | 127 << 8};
    blue->points = reinterpret_cast<CURVEPOINT *>(s_sine);
    blue->count = 5;
    m_widget->head.flags |= CURVE_CENTRE_LINE;
    m_widget->current = green;
    green->current = 3;
    m_widget->cursorRow = CURVE_CURSOR_SELECT;
    Ui_SetFocus(m_win);
    Frame();
    Frame();
    EXPECT_EQ(m_widget->cursorFrame, 2); // one step a frame
    EXPECT_TRUE(MatchesGoldenPng("curve_select"));

    // The move cursor on the blue curve; without focus no cursor at all.
    m_widget->current = blue;
    blue->current = 1;
    m_widget->cursorRow = CURVE_CURSOR_MOVE;
    Frame();
    Frame();
    EXPECT_TRUE(MatchesGoldenPng("curve_move"));
    Ui_SetFocus(nullptr);
    const uint8_t frame = m_widget->cursorFrame;
    Frame();
    EXPECT_EQ(m_widget->cursorFrame, frame);

    // Plain: the lines alone, no dots, grid or frame.
    m_widget->head.flags |= CURVE_PLAIN;
    m_widget->head.flags &= ~CURVE_CENTRE_LINE;
    Frame();
    Frame();
    EXPECT_TRUE(MatchesGoldenPng("curve_plain"));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

// A note's envelope as the note panel draws it: words of x | y << 8, time to the right, level up.
// The default volume envelope holds full level, then falls to silence at x 143.
TEST_F(CurveWidget, NoteEnvelopeGoldenPicture)
{
    Frame();
    WINDOWDESC d{};
    d.x = 380;
    d.y = 100;
    d.w = 220;
    d.h = 100;
    d.style = 1;
    d.draw = [](void *) {
        static const uint16_t kVolume[3] = {0 | 255 << 8, 29 | 255 << 8, 143 | 0 << 8};
        static const uint16_t kPan[3] = {0 | 0 << 8, 128 | 255 << 8, 255 | 0 << 8};
        Ed_DrawNoteCurve(kVolume, 3, 10, 10, 200, 36);
        Ed_DrawNoteCurve(kPan, 3, 10, 54, 200, 36);
    };
    ASSERT_NE(Ui_OpenWindow(&d), nullptr);
    Frame();
    Frame();
    EXPECT_TRUE(MatchesGoldenPng("note_envelopes"));
}

} // namespace
