#include "ui/clickmaps.h"

#include <algorithm>

namespace {

// a < v < b
bool Between(int32_t v, int32_t a, int32_t b)
{
    return v > a && v < b;
}

bool In(int32_t px, int32_t py, int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    return Between(px, x0, x1) && Between(py, y0, y1);
}

// Both ends included.
bool InIncl(int32_t px, int32_t py, int32_t x0, int32_t x1, int32_t y0, int32_t y1)
{
    return px >= x0 && px <= x1 && py >= y0 && py <= y1;
}

} // namespace

int32_t Ui_LaneHeaderLane(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t cellWidth, int32_t cellHeight,
                          int32_t firstRow, int32_t maxRow)
{
    // The strip is measured from the window's own left edge, wherever the window stands.
    if (cellHeight <= 0 || !Between(px - wx, 0, 2 * cellWidth) || py < wy + 8)
        return -1;
    const int32_t row = std::min((py - (wy + 8)) / cellHeight, maxRow);
    return row + 1 + firstRow;
}

CLICKHIT Ui_RiffEditorHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t instrumentCount)
{
    if (Between(px, wx + 10, wx + 33) && py >= wy + 26 && py < wy + 146)
        return {RIFFHIT_OCTAVE, 6 - (py - wy - 26) / 20};
    // 27-pixel columns from wx + 10, one per instrument shown.
    if (instrumentCount > 0 && Between(px, wx + 10, wx + 10 + 27 * instrumentCount) && py >= wy + 167 &&
        py < wy + 184)
        return {RIFFHIT_INSTRUMENT, (px - wx - 10) / 27};
    return {0, 0};
}

int32_t Ui_RiffSelectorPosition(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t areaX, int32_t areaWidth)
{
    if (py < wy + 55)
        return 8;
    const int32_t cell = areaWidth / 8;
    if (cell <= 0)
        return -1;
    const int32_t d = px - (wx + 255 + areaX);
    if (d < 0)
        return -1;
    const int32_t position = d / cell;
    return position < 8 ? position : -1;
}

CLICKHIT Ui_FileBrowserHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t firstShown)
{
    if (px >= wx + 10 && px < wx + 346 && py >= wy + 26 && py < wy + 176) {
        const int32_t column = (px - wx - 10) / 84, row = (py - wy - 26) / 50;
        return {FILEHIT_ENTRY, firstShown + column + 4 * row};
    }
    if (Between(py, wy + 235, wy + 262)) {
        if (Between(px, wx + 7, wx + 142))
            return {FILEHIT_FIELD, 2 + (px - wx - 7) / 27};
        if (Between(px, wx + 142, wx + 196))
            return {FILEHIT_FIELD, (px - wx - 142) / 27};
    }
    if (Between(px, wx + 6, wx + 239)) {
        if (Between(py, wy + 196, wy + 210))
            return {FILEHIT_TITLE, 0};
        if (Between(py, wy + 215, wy + 229))
            return {FILEHIT_AUTHOR, 0};
    }
    return {0, 0};
}

CLICKHIT Ui_CdScreenHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t sw, int32_t sh)
{
    const int32_t rowX = wx - 105 + sw / 2, rowY = wy + 97 + sh / 2;
    if (px >= rowX && px < rowX + 210 && py >= rowY && py < rowY + 21)
        return {CDHIT_TRANSPORT, (px - rowX) / 21};
    const int32_t smallX = wx + 66 + sw / 2, smallY = wy + 123 + sh / 2;
    if (px >= smallX && px < smallX + 36 && py >= smallY && py < smallY + 6)
        return {CDHIT_SELECTOR, (px - smallX) / 12};
    return {0, 0};
}

CLICKHIT Ui_CdOptionsHit(int32_t px, int32_t py, int32_t wx, int32_t wy)
{
    if (!Between(px, wx + 8, wx + 158))
        return {0, 0};
    if (Between(py, wy + 63, wy + 75))
        return {CDOPTHIT_ACCEPT, 0};
    if (Between(py, wy + 79, wy + 91))
        return {CDOPTHIT_GADGET, 1};
    return {0, 0};
}

CLICKHIT Ui_BarCountHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t width)
{
    if (!Between(py, wy + 34, wy + 50) || !Between(px, wx + 7, wx + width))
        return {0, 0};
    if (px < wx + 23)
        return {BARHIT_ARROW, -1};
    if (px > wx + width - 23)
        return {BARHIT_ARROW, 1};
    return {0, 0};
}

int32_t Ui_StepBarCount(int32_t count, int32_t step)
{
    return std::clamp(count + step, 1, 9);
}

bool Ui_OptionGadgetHit(int32_t px, int32_t py, int32_t gadgetX, int32_t gadgetY)
{
    return In(px, py, gadgetX - 75, gadgetX + 75, gadgetY, gadgetY + 16);
}

CLICKHIT Ui_SlotDialogHit(int32_t px, int32_t py, int32_t wx, int32_t wy)
{
    if (In(px, py, wx + 6, wx + 214, wy + 23, wy + 39))
        return {SLOTHIT_SLOT, std::min((px - wx - 6) / 16, 12)};
    if (In(px, py, wx + 32, wx + 182, wy + 43, wy + 59))
        return {SLOTHIT_SLOT, 13};
    return {0, 0};
}

CLICKHIT Ui_IconGridHit(int32_t px, int32_t py, int32_t wx, int32_t wy)
{
    if (In(px, py, wx + 6, wx + 182, wy + 23, wy + 67))
        return {ICONHIT_CELL, (px - wx - 6) / 22 + 8 * ((py - wy - 23) / 22)};
    return {0, 0};
}

CLICKHIT Ui_SampleEditorHit(int32_t px, int32_t py, int32_t wx, int32_t wy)
{
    const int32_t bx = px - (wx + 3), by = py - (wy + 3);
    if (InIncl(bx, by, 263, 288, 133, 149))
        return {SAMPLEHIT_PREVIEW, 0};
    if (InIncl(bx, by, 290, 318, 133, 149))
        return {SAMPLEHIT_RECORD, 0};
    if (InIncl(bx, by, 263, 288, 118, 134))
        return {SAMPLEHIT_LOOP, 0};
    if (px - wx - 3 < 259)
        return {SAMPLEHIT_WAVE, px - wx - 27};
    return {0, 0};
}

bool Ui_IsDoublePress(uint32_t previous, uint32_t now)
{
    // Unsigned difference: the millisecond clock may wrap between the two presses.
    return now - previous < 400;
}

CLICKHIT Ui_ChaseEditorHit(int32_t px, int32_t py, int32_t wx, int32_t wy)
{
    if (InIncl(px, py, wx, wx + 8, wy, wy + 8))
        return {CHASEHIT_CLOSE, 0};
    if (InIncl(px, py, wx + 209, wx + 339, wy + 17, wy + 117))
        return {CHASEHIT_PREVIEW, 0};
    if (In(px, py, wx + 218, wx + 339, wy + 144, wy + 156))
        return {CHASEHIT_LEVEL_BAR, 0};
    if (In(px, py, wx + 103, wx + 212, wy + 46, wy + 156))
        return {CHASEHIT_PARAMETER, (py - wy - 46) / 12};
    if (In(px, py, wx + 7, wx + 97, wy + 100, wy + 157))
        return {CHASEHIT_SLIDERS, (py - wy - 100) / 19};
    if (In(px, py, wx + 14, wx + 334, wy + 160, wy + 173))
        return {CHASEHIT_STRIP, 0};
    if (In(px, py, wx + 8, wx + 88, wy + 27, wy + 87))
        return {CHASEHIT_ICON, 0};
    return {0, 0};
}

CLICKHIT Ui_ChaseSliderHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t *value)
{
    const int32_t row = (py - wy - 100) / 19;
    if (value)
        *value = 0;
    if (px < wx + 31)
        return {CHASESLIDER_DOWN, row};
    if (Between(px, wx + 49, wx + 67))
        return {CHASESLIDER_UP, row};
    if (Between(px, wx + 69, wx + 79)) {
        if (value)
            *value = std::clamp(py - wy - 100, 0, 50);
        return {CHASESLIDER_SET, row};
    }
    if (px > wx + 81) {
        if (value)
            *value = (py - wy - 100) / 14;
        return {CHASESLIDER_CHANNEL, row};
    }
    return {0, row};
}

CLICKHIT Ui_ChaseStripHit(int32_t px, int32_t wx)
{
    const int32_t d = px - wx;
    if (d <= 14 || d >= 334)
        return {0, 0};
    if (d < 30)
        return {CHASESTRIP_PARAMETER, 0};
    if (d < 46)
        return {CHASESTRIP_PARAMETER, 1};
    if (d < 302)
        return {CHASESTRIP_LEVEL, std::min(d - 46, 254)};
    if (d < 318)
        return {CHASESTRIP_PARAMETER, 3};
    return {CHASESTRIP_PARAMETER, 4};
}

int32_t Ui_ChaseLevelArrow(int32_t px, int32_t wx)
{
    if (Between(px, wx + 218, wx + 226))
        return -1;
    if (Between(px, wx + 331, wx + 339))
        return 1;
    return 0;
}

int32_t Ui_MulDivFixed(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return 0;
    const int64_t v = ((int64_t)a * 256 * b / c) >> 8;
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t Ui_CurvePointPosition(int32_t px, int32_t wx, int32_t previous, int32_t next)
{
    int32_t x = std::clamp<int32_t>((px - wx - 7) * 361, 0, 65535);
    if (previous >= 0)
        x = std::max(x, previous);
    if (next >= 0)
        x = std::min(x, next);
    return x;
}

int32_t Ui_CurvePointValue(int32_t py, int32_t wy, int32_t graphHeight, int32_t valueShift)
{
    if (graphHeight <= 0)
        return 0;
    const int32_t y = std::clamp(py - wy - 25, 1, graphHeight);
    return -Ui_MulDivFixed(int32_t(int64_t(y) << std::clamp(valueShift, 0, 16)), 255, graphHeight);
}
