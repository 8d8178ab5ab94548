// The hit maps of the editor windows, each as a table of pointer positions (relative to a window
// placed away from the origin, so that a map measured from the screen instead of its window
// fails) and what they hit, the edge pixels included.
#include "ui/clickmaps.h"
#include "ui/hover.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int32_t WX = 100, WY = 60;

struct Point
{
    int32_t dx, dy;
    CLICKHIT want;
};

void ExpectHits(const char *window, CLICKHIT (*hit)(int32_t, int32_t), const std::vector<Point> &points)
{
    for (const Point &p : points) {
        const CLICKHIT got = hit(WX + p.dx, WY + p.dy);
        EXPECT_EQ(got.region, p.want.region) << window << " at +" << p.dx << ",+" << p.dy;
        if (got.region) {
            EXPECT_EQ(got.index, p.want.index) << window << " at +" << p.dx << ",+" << p.dy;
        }
    }
}

} // namespace

TEST(ClickMaps, GridLaneHeaderIsMeasuredFromItsOwnWindow)
{
    struct Case
    {
        int32_t wx, dx, dy, firstRow, want;
    };
    // Cells 24 x 16; the strip is 48 wide; rows from wy + 8.
    for (const Case &c : std::vector<Case>{
             {0, 1, 8, -1, 0}, {300, 1, 8, -1, 0}, {300, 47, 8 + 16, 4, 6}, {300, 0, 20, 0, -1},
             {300, 48, 20, 0, -1}, {300, 10, 7, 0, -1}, {300, 10, 8 + 16 * 30, 0, 1 + 12}}) {
        EXPECT_EQ(Ui_LaneHeaderLane(c.wx + c.dx, WY + c.dy, c.wx, WY, 24, 16, c.firstRow, 12), c.want)
            << "window at " << c.wx << " +" << c.dx << ",+" << c.dy;
    }
    EXPECT_EQ(Ui_LaneHeaderLane(WX + 5, WY + 20, WX, WY, 24, 0, 0, 12), -1) << "no cell height";
}

TEST(ClickMaps, RiffEditorOctaveStripInstrumentRowAndSelector)
{
    ExpectHits("riff editor", [](int32_t px, int32_t py) { return Ui_RiffEditorHit(px, py, WX, WY, 5); },
               {{11, 26, {RIFFHIT_OCTAVE, 6}}, {32, 45, {RIFFHIT_OCTAVE, 6}}, {20, 46, {RIFFHIT_OCTAVE, 5}},
                {20, 145, {RIFFHIT_OCTAVE, 1}}, {10, 30, {}}, {33, 30, {}}, {20, 25, {}}, {20, 146, {}},
                {11, 167, {RIFFHIT_INSTRUMENT, 0}}, {37, 183, {RIFFHIT_INSTRUMENT, 1}},
                {144, 170, {RIFFHIT_INSTRUMENT, 4}}, {145, 170, {}}, {20, 184, {}}, {20, 166, {}}});
    // The instrument row is as wide as its instruments, wherever the window stands.
    EXPECT_EQ(Ui_RiffEditorHit(600 + 11 + 27 * 8, 400 + 170, 600, 400, 9).region, RIFFHIT_INSTRUMENT);
    EXPECT_EQ(Ui_RiffEditorHit(WX + 20, WY + 170, WX, WY, 0).region, 0);

    struct Sel
    {
        int32_t dx, dy, want;
    };
    for (const Sel &s : std::vector<Sel>{{0, 54, 8}, {255 + 10, 60, 0}, {255 + 10 + 79, 60, 7},
                                         {255 + 10 + 80, 60, -1}, {255 + 9, 60, -1}})
        EXPECT_EQ(Ui_RiffSelectorPosition(WX + s.dx, WY + s.dy, WX, WY, 10, 80), s.want) << s.dx << "," << s.dy;
    EXPECT_EQ(Ui_RiffSelectorPosition(WX + 300, WY + 60, WX, WY, 10, 7), -1) << "an area too narrow to divide";
}

TEST(ClickMaps, FileBrowserCellsButtonRowsTitleAndAuthor)
{
    ExpectHits("file browser", [](int32_t px, int32_t py) { return Ui_FileBrowserHit(px, py, WX, WY, 12); },
               {{10, 26, {FILEHIT_ENTRY, 12}}, {93, 75, {FILEHIT_ENTRY, 12}}, {94, 26, {FILEHIT_ENTRY, 13}},
                {345, 175, {FILEHIT_ENTRY, 12 + 3 + 4 * 2}}, {346, 100, {}}, {9, 100, {}}, {100, 176, {}},
                {8, 240, {FILEHIT_FIELD, 2}}, {141, 261, {FILEHIT_FIELD, 6}}, {7, 240, {}}, {8, 235, {}},
                {143, 240, {FILEHIT_FIELD, 0}}, {170, 240, {FILEHIT_FIELD, 1}}, {196, 240, {}},
                {7, 200, {FILEHIT_TITLE, 0}}, {238, 220, {FILEHIT_AUTHOR, 0}}, {239, 200, {}}, {50, 212, {}}});
}

TEST(ClickMaps, CdScreenAndItsOptions)
{
    // A 640 x 480 screen: the transport row from wx + 215, wy + 337; the small row from wx + 386, wy + 363.
    ExpectHits("CD screen", [](int32_t px, int32_t py) { return Ui_CdScreenHit(px, py, WX, WY, 640, 480); },
               {{215, 337, {CDHIT_TRANSPORT, 0}}, {236, 340, {CDHIT_TRANSPORT, 1}}, {424, 357, {CDHIT_TRANSPORT, 9}},
                {425, 340, {}}, {214, 340, {}}, {300, 358, {}}, {386, 363, {CDHIT_SELECTOR, 0}},
                {421, 368, {CDHIT_SELECTOR, 2}}, {422, 365, {}}, {400, 369, {}}});
    ExpectHits("CD options", [](int32_t px, int32_t py) { return Ui_CdOptionsHit(px, py, WX, WY); },
               {{9, 64, {CDOPTHIT_ACCEPT, 0}}, {157, 74, {CDOPTHIT_ACCEPT, 0}}, {8, 70, {}}, {50, 63, {}},
                {50, 80, {CDOPTHIT_GADGET, 1}}, {50, 91, {}}, {50, 77, {}}});
}

TEST(ClickMaps, BarCountArrowsStopAtOneAndNine)
{
    ExpectHits("bar range", [](int32_t px, int32_t py) { return Ui_BarCountHit(px, py, WX, WY, 180); },
               {{8, 35, {BARHIT_ARROW, -1}}, {22, 49, {BARHIT_ARROW, -1}}, {158, 40, {BARHIT_ARROW, 1}},
                {179, 40, {BARHIT_ARROW, 1}}, {23, 40, {}}, {157, 40, {}}, {7, 40, {}}, {100, 34, {}}, {100, 50, {}}});
    struct Step
    {
        int32_t count, step, want;
    };
    for (const Step &s : std::vector<Step>{{1, -1, 1}, {2, -1, 1}, {8, 1, 9}, {9, 1, 9}, {5, 1, 6}})
        EXPECT_EQ(Ui_StepBarCount(s.count, s.step), s.want) << s.count << "+" << s.step;
    EXPECT_TRUE(Ui_OptionGadgetHit(WX - 74, WY + 1, WX, WY));
    EXPECT_FALSE(Ui_OptionGadgetHit(WX - 75, WY + 1, WX, WY));
    EXPECT_FALSE(Ui_OptionGadgetHit(WX, WY + 16, WX, WY));
}

TEST(ClickMaps, SlotDialogIconGridAndSampleEditor)
{
    ExpectHits("slot dialog", [](int32_t px, int32_t py) { return Ui_SlotDialogHit(px, py, WX, WY); },
               {{7, 24, {SLOTHIT_SLOT, 0}}, {22, 30, {SLOTHIT_SLOT, 1}}, {213, 38, {SLOTHIT_SLOT, 12}},
                {6, 30, {}}, {100, 39, {}}, {33, 44, {SLOTHIT_SLOT, 13}}, {181, 58, {SLOTHIT_SLOT, 13}},
                {32, 50, {}}, {100, 41, {}}});
    ExpectHits("icon grid", [](int32_t px, int32_t py) { return Ui_IconGridHit(px, py, WX, WY); },
               {{7, 24, {ICONHIT_CELL, 0}}, {28, 44, {ICONHIT_CELL, 1}}, {27, 44, {ICONHIT_CELL, 0}}, {29, 45, {ICONHIT_CELL, 9}},
                {181, 66, {ICONHIT_CELL, 7 + 8}}, {182, 40, {}}, {50, 23, {}}, {50, 67, {}}});
    ExpectHits("sample editor", [](int32_t px, int32_t py) { return Ui_SampleEditorHit(px, py, WX, WY); },
               {{3 + 263, 3 + 133, {SAMPLEHIT_PREVIEW, 0}}, {3 + 288, 3 + 149, {SAMPLEHIT_PREVIEW, 0}},
                {3 + 290, 3 + 133, {SAMPLEHIT_RECORD, 0}}, {3 + 318, 3 + 149, {SAMPLEHIT_RECORD, 0}},
                {3 + 263, 3 + 118, {SAMPLEHIT_LOOP, 0}}, {3 + 288, 3 + 132, {SAMPLEHIT_LOOP, 0}},
                {30, 50, {SAMPLEHIT_WAVE, 3}}, {261, 50, {SAMPLEHIT_WAVE, 234}}, {262, 50, {}},
                {3 + 289, 3 + 140, {}}, {3 + 319, 3 + 140, {}}});
    struct Press
    {
        uint32_t previous, now;
        bool twice;
    };
    for (const Press &p : std::vector<Press>{{1000, 1399, true}, {1000, 1400, false}, {0xFFFFFF00u, 50, true}})
        EXPECT_EQ(Ui_IsDoublePress(p.previous, p.now), p.twice) << p.previous << " " << p.now;
}

TEST(ClickMaps, ChaseEditorRegionsSlidersStripAndLevelArrows)
{
    ExpectHits("chase editor", [](int32_t px, int32_t py) { return Ui_ChaseEditorHit(px, py, WX, WY); },
               {{0, 0, {CHASEHIT_CLOSE, 0}}, {8, 8, {CHASEHIT_CLOSE, 0}}, {209, 17, {CHASEHIT_PREVIEW, 0}},
                {339, 117, {CHASEHIT_PREVIEW, 0}}, {219, 145, {CHASEHIT_LEVEL_BAR, 0}},
                {104, 47, {CHASEHIT_PARAMETER, 0}}, {150, 70, {CHASEHIT_PARAMETER, 2}},
                {8, 101, {CHASEHIT_SLIDERS, 0}}, {96, 156, {CHASEHIT_SLIDERS, 2}}, {15, 161, {CHASEHIT_STRIP, 0}},
                {9, 28, {CHASEHIT_ICON, 0}}, {87, 86, {CHASEHIT_ICON, 0}}, {88, 50, {}}, {340, 60, {}},
                {200, 10, {}}});
    struct Slider
    {
        int32_t dx, dy, region, row, value;
    };
    for (const Slider &s : std::vector<Slider>{{20, 101, CHASESLIDER_DOWN, 0, 0},
                                               {50, 120, CHASESLIDER_UP, 1, 0},
                                               {70, 130, CHASESLIDER_SET, 1, 30},
                                               {70, 156, CHASESLIDER_SET, 2, 50},
                                               {85, 130, CHASESLIDER_CHANNEL, 1, 2},
                                               {40, 110, 0, 0, 0}}) {
        int32_t value = -1;
        const CLICKHIT h = Ui_ChaseSliderHit(WX + s.dx, WY + s.dy, WX, WY, &value);
        EXPECT_EQ(h.region, s.region) << s.dx << "," << s.dy;
        EXPECT_EQ(h.index, s.row) << s.dx << "," << s.dy;
        EXPECT_EQ(value, s.value) << s.dx << "," << s.dy;
    }
    struct Strip
    {
        int32_t dx;
        CLICKHIT want;
    };
    for (const Strip &s : std::vector<Strip>{{15, {CHASESTRIP_PARAMETER, 0}}, {30, {CHASESTRIP_PARAMETER, 1}},
                                             {46, {CHASESTRIP_LEVEL, 0}}, {300, {CHASESTRIP_LEVEL, 254}},
                                             {301, {CHASESTRIP_LEVEL, 254}}, {302, {CHASESTRIP_PARAMETER, 3}},
                                             {333, {CHASESTRIP_PARAMETER, 4}}, {14, {}}, {334, {}}})
        EXPECT_EQ(Ui_ChaseStripHit(WX + s.dx, WX), s.want) << s.dx;
    EXPECT_EQ(Ui_ChaseLevelArrow(WX + 219, WX), -1);
    EXPECT_EQ(Ui_ChaseLevelArrow(WX + 338, WX), 1);
    EXPECT_EQ(Ui_ChaseLevelArrow(WX + 280, WX), 0);
}

TEST(ClickMaps, CurvePointsKeepBetweenTheirNeighboursAndScaleIn64Bits)
{
    EXPECT_EQ(Ui_MulDivFixed(100, 255, 100), 255);
    EXPECT_EQ(Ui_MulDivFixed(1 << 20, 255, 50), int32_t((int64_t(1 << 20) * 256 * 255 / 50) >> 8))
        << "no 32-bit overflow";
    EXPECT_EQ(Ui_MulDivFixed(5, 5, 0), 0);
    struct Pos
    {
        int32_t dx, previous, next, want;
    };
    for (const Pos &p : std::vector<Pos>{{7, -1, -1, 0}, {0, -1, -1, 0}, {10, -1, -1, 3 * 361},
                                         {1000, -1, -1, 65535}, {10, 2000, 5000, 2000}, {100, 2000, 5000, 5000},
                                         {12, 0, 65535, 5 * 361}})
        EXPECT_EQ(Ui_CurvePointPosition(WX + p.dx, WX, p.previous, p.next), p.want) << p.dx;
    EXPECT_EQ(Ui_CurvePointValue(WY + 25 + 50, WY, 100, 0), -Ui_MulDivFixed(50, 255, 100));
    EXPECT_EQ(Ui_CurvePointValue(WY, WY, 100, 0), -Ui_MulDivFixed(1, 255, 100)) << "at least 1";
    EXPECT_EQ(Ui_CurvePointValue(WY + 500, WY, 100, 0), -255) << "at most the graph height";
    EXPECT_EQ(Ui_CurvePointValue(WY + 40, WY, 0, 0), 0) << "no graph";
}

TEST(Hover, ListRowUnderThePointerStaysOnShownRows)
{
    struct Case
    {
        int32_t row, first, total, visible, want;
    };
    for (const Case &c : std::vector<Case>{{5, 0, 20, 10, 5},
                                           {-3, 4, 20, 10, 4},   // above the list: its first row
                                           {30, 4, 20, 10, 13},  // below: its last shown row
                                           {9, 0, 5, 10, 4},     // shorter than its window
                                           {2, 3, 20, 10, 3}})
        EXPECT_EQ(Ui_HoverListRow(c.row, c.first, c.total, c.visible), c.want)
            << c.row << " first " << c.first << " of " << c.total;
}
