#include "ui/gridvideo.h"

#include "audio/mixer.h"
#include "core/padbind.h"
#include "render/framecycle.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridworld.h"
#include "ui/handlers.h"
#include "ui/view.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint8_t g_aucGridRowGroupSize[4] = {};
uint8_t g_aucGridRowGroupFirst[6] = {0, 1, 2, 3, 4, 5};
uint8_t g_aucGridRowKinds[UI_GRID_MAX_ROWS + 1] = {2, 2, 2, 2, 5, 6};
uint32_t g_uGridHiddenLanes = 0;
SCROLLERSTATE g_tScroller = {};

namespace {

constexpr int32_t kPastTotal = 238, kNoEntry = 276, kClipMiddle = 198, kClipLast = 201;
constexpr int32_t kChaseMiddle = 274, kChaseLast = 275;
// The icons of a clip's and of a chase entry's first cell.
constexpr int32_t kClipIcon = 237, kChaseIcon = 239;

struct EMPTYLANE
{
    uint8_t code;
    int32_t bar, plain, worldBar, worldPlain;
};
constexpr EMPTYLANE kEmptyLanes[] = {
    {8, 271, 272, 263, 259}, {5, 240, 241, 264, 260}, {6, 243, 244, 265, 261}, {7, 247, 248, 265, 261}};

const EMPTYLANE *EmptyLane(uint8_t code)
{
    for (const EMPTYLANE &e : kEmptyLanes)
        if (e.code == code)
            return &e;
    return &kEmptyLanes[0];
}


void Fill(uint8_t *packet, int32_t image, int32_t colour, int32_t x, int32_t y)
{
    Ui_SetGridCellPacket(packet, image, colour, x, y);
}

// Clips and chases keep no colour of their own here: their serial picks the entry, so each one
// keeps its colour for as long as it exists.
int32_t ClipColour(const VIDCLIP *clip)
{
    return clip ? clip->uSerial % 48 : 0;
}
int32_t ChaseColour(const CHASE *chase)
{
    return chase ? (chase->uSerial * 5 + 7) % 48 : 0;
}

// Where the cell lies in the block that the lookup left in the clip: 0 alone, 1 first, 2 middle,
// 3 last.
int32_t BlockPlace(const VIDCLIP *clip)
{
    const int32_t length = clip->uFlags & CLIPFLAG_BLOCKLEN, at = clip->uOffset & CLIPOFFSET_MASK;
    if (length <= 1)
        return 0;
    if (at <= 0)
        return 1;
    return at >= length - 1 ? 3 : 2;
}

int32_t ClampedGroupSize(int32_t group, int32_t wanted)
{
    // The row list is a byte count over a fixed array: never grow it past either.
    const int32_t room = UI_GRID_MAX_ROWS - g_ucGridRowCount;
    (void)group;
    return std::clamp(wanted, 0, std::max(0, room));
}

} // namespace

void Ui_ResetGridRows()
{
    std::memset(g_aucGridRowGroupSize, 0, sizeof g_aucGridRowGroupSize);
    for (uint8_t i = 0; i < 6; i++)
        g_aucGridRowGroupFirst[i] = i;
    std::memset(g_aucGridRowKinds, 0, sizeof g_aucGridRowKinds);
    const uint8_t kinds[6] = {2, 2, 2, 2, 5, 6};
    std::memcpy(g_aucGridRowKinds, kinds, sizeof kinds);
    g_ucGridRowCount = 6;
}

int32_t Ui_FindRowGroup(int32_t row)
{
    if (row < 0)
        return -1;
    for (int32_t g = 0; g < 4; g++) {
        const int32_t first = g_aucGridRowGroupFirst[g];
        if (row >= first && row <= first + g_aucGridRowGroupSize[g])
            return g;
    }
    for (int32_t g = 3; g < 6; g++)
        if (g_aucGridRowGroupFirst[g] == row)
            return g;
    return -1;
}

void Ui_DescribeVideoCell(int32_t column, int32_t row, VIDCELLDESC *out)
{
    *out = VIDCELLDESC{VIDCELL_NO_ROW, nullptr, nullptr, 0};
    if (row < 0 || row >= g_ucGridRowCount || column < 0)
        return;
    const int32_t firstFixed = g_aucGridRowGroupFirst[4], lastFixed = g_aucGridRowGroupFirst[5];
    if (row >= firstFixed && row <= lastFixed) {
        out->clip = Vid_GetLaneClipAt(row - firstFixed + 4, column);
        out->kind = out->clip ? VIDCELL_CLIP : VIDCELL_EMPTY;
        out->emptyCode = uint8_t(row - firstFixed + 5);
        return;
    }
    for (int32_t g = 0; g < 4; g++) {
        const int32_t first = g_aucGridRowGroupFirst[g];
        if (row == first) {
            out->clip = Vid_GetLaneClipAt(g, column);
            out->kind = out->clip ? VIDCELL_CLIP : VIDCELL_EMPTY;
            out->emptyCode = 8;
            return;
        }
        if (row > first && row <= first + g_aucGridRowGroupSize[g]) {
            const int32_t entry = row - first + 1;
            VIDCLIP *clip = Vid_GetLaneClipAt(g, column);
            out->kind = VIDCELL_NO_ENTRY;
            if (clip && clip->sEntryCount >= entry) {
                out->clip = clip;
                out->chase = Vid_GetClipEntryChase(clip, entry);
                if (out->chase)
                    out->kind = VIDCELL_CHASE;
            }
            return;
        }
    }
}

int32_t Ui_VideoCellImage(int32_t column, int32_t row, int32_t *colourEntry)
{
    *colourEntry = -1;
    if (g_pGridView && column >= g_pGridView->columnCount)
        return kPastTotal;
    if (column < 0 || row < 0)
        return kNoEntry;
    VIDCELLDESC d;
    Ui_DescribeVideoCell(column, row, &d);
    switch (d.kind) {
    case VIDCELL_CHASE: {
        *colourEntry = ChaseColour(d.chase);
        const int32_t place = BlockPlace(d.clip);
        return place <= 1 ? kChaseIcon : place == 3 ? kChaseLast : kChaseMiddle;
    }
    case VIDCELL_CLIP: {
        *colourEntry = ClipColour(d.clip);
        const int32_t place = BlockPlace(d.clip);
        return place <= 1 ? kClipIcon : place == 3 ? kClipLast : kClipMiddle;
    }
    case VIDCELL_EMPTY: {
        const EMPTYLANE *e = EmptyLane(d.emptyCode);
        return (column & 3) == 0 ? e->bar : e->plain;
    }
    case VIDCELL_NO_ENTRY:
        return kNoEntry;
    default:
        return kPastTotal;
    }
}

void Ui_VideoCellCallback(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y)
{
    int32_t colour = -1;
    const int32_t image = Ui_VideoCellImage(column, row, &colour);
    Fill(packet, image, colour, x, y);
}

int32_t Ui_WorldVideoCellImage(int32_t column, int32_t row, int32_t *colourEntry)
{
    *colourEntry = -1;
    if (g_pGridView && column >= g_pGridView->columnCount)
        return 218;
    if (column < 0 || row < 0)
        return 267;
    VIDCELLDESC d;
    Ui_DescribeVideoCell(column, row, &d);
    switch (d.kind) {
    case VIDCELL_CHASE: {
        *colourEntry = ChaseColour(d.chase);
        const int32_t place = BlockPlace(d.clip);
        return place <= 1 ? 268 : place == 3 ? 270 : 269;
    }
    case VIDCELL_CLIP: {
        *colourEntry = ClipColour(d.clip);
        static const int32_t kRun[4] = {233, 234, 235, 236};
        return kRun[BlockPlace(d.clip)];
    }
    case VIDCELL_EMPTY: {
        const EMPTYLANE *e = EmptyLane(d.emptyCode);
        return (column & 3) == 0 ? e->worldBar : e->worldPlain;
    }
    default:
        return 267;
    }
}

void Ui_WorldCellCallback(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y)
{
    int32_t colour = -1;
    const int32_t image = Ui_WorldVideoCellImage(column, row, &colour);
    Fill(packet, image, colour, x, y);
}

void Ui_VideoCellName(int32_t column, int32_t row, char *out, int32_t size)
{
    if (size <= 0)
        return;
    out[0] = 0;
    VIDCELLDESC d;
    Ui_DescribeVideoCell(column, row, &d);
    if (d.kind == VIDCELL_CLIP && d.clip)
        std::snprintf(out, size_t(size), "%.11s", d.clip->szName);
    else if (d.kind == VIDCELL_CHASE && d.chase && d.chase->pDef)
        std::snprintf(out, size_t(size), "Chase %u", unsigned(d.chase->pDef->uStoredId));
}

void Ui_UpdateGridRowTotal()
{
    VIEWWIDGET *v = g_pGridView;
    if (v && g_ucGridKind == 1) {
        const int32_t visible = v->ringRows - 2;
        v->rowCount = int16_t(std::max<int32_t>(g_ucGridRowCount, visible));
        if (v->rowBar) {
            Ui_SetScrollBarMax(v->rowBar, std::max(0, v->rowCount - visible));
            Ui_MarkScrollBarDirty(v->rowBar);
        }
    }
    Ui_RequestGridRedraw();
}

void Ui_ToggleRowGroup(int32_t group)
{
    if (group < 0 || group > 3)
        return;
    const int32_t first = g_aucGridRowGroupFirst[group];
    const int32_t size = g_aucGridRowGroupSize[group];
    if (size == 0) {
        const int32_t n = ClampedGroupSize(group, g_abLaneHighWater[group]);
        if (n > 0) {
            for (int32_t r = g_ucGridRowCount - 1; r > first; r--)
                g_aucGridRowKinds[r + n] = g_aucGridRowKinds[r];
            for (int32_t r = first + 1; r <= first + n; r++)
                g_aucGridRowKinds[r] = 3;
            g_aucGridRowGroupSize[group] = uint8_t(n);
            g_ucGridRowCount = uint8_t(g_ucGridRowCount + n);
            for (int32_t g = group + 1; g < 6; g++)
                g_aucGridRowGroupFirst[g] = uint8_t(g_aucGridRowGroupFirst[g] + n);
            Ui_UpdateGridRowTotal();
        }
    } else {
        for (int32_t r = first + 1; r + size < g_ucGridRowCount; r++)
            g_aucGridRowKinds[r] = g_aucGridRowKinds[r + size];
        for (int32_t r = g_ucGridRowCount - size; r < g_ucGridRowCount; r++)
            g_aucGridRowKinds[r] = 0;
        for (int32_t g = group + 1; g < 6; g++)
            g_aucGridRowGroupFirst[g] = uint8_t(g_aucGridRowGroupFirst[g] - size);
        g_ucGridRowCount = uint8_t(g_ucGridRowCount - size);
        g_aucGridRowGroupSize[group] = 0;
        Ui_UpdateGridRowTotal();
    }
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ui_RebuildRowGroups()
{
    const int32_t before = g_ucGridRowCount;
    for (int32_t lane = 0; lane < 4; lane++) {
        Vid_RecalcLaneHighWater(lane);
        Ui_ToggleRowGroup(lane);
        Ui_ToggleRowGroup(lane);
    }
    VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind != 1)
        return;
    v->firstRow = int16_t(std::max(-1, v->firstRow + g_ucGridRowCount - before));
    const int32_t last = g_ucGridRowCount - 1 - (v->firstRow + 1);
    g_sGridCursorY = int16_t(std::clamp<int32_t>(g_sGridCursorY, 0, std::max(0, last)));
    Ui_RefreshView(v);
}

void Ui_ToggleRowGroupAtCursor()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind != 1)
        return;
    const int32_t group = Ui_FindRowGroup(Ui_GridCursorRow());
    if (group < 0 || group > 3)
        return;
    if (group == 0 && v->rowStep > 0)
        return;
    Ui_ToggleRowGroup(group);
    Ui_StopGridScrollRepeat();
    const int32_t first = g_aucGridRowGroupFirst[group];
    if (v->firstRow + 1 > first) {
        v->firstRow = int16_t(first - 1);
        Ui_RefreshView(v);
    }
    g_sGridCursorY = int16_t(first - (v->firstRow + 1));
}

void Ui_ResumeGridNavigation()
{
    g_iNextScreen = 7;
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 0;
}

void Ui_ShowGridView()
{
    if (g_pGridView)
        g_pGridView->head.flags &= ~uint32_t(VIEW_HIDDEN);
}

// ---- The value scroller ----

int32_t Ui_ScrollerDragStep()
{
    const int32_t span = g_tScroller.width - 32;
    if (span <= 0)
        return 1;
    return std::max(1, (g_tScroller.maximum - g_tScroller.minimum) / span);
}

void Ui_DrawHScroller(HSCROLLER *s)
{
    if (!s || !(s->flags & 4))
        return;
    const bool scrollerScreen = g_iScreen == 41 || g_iScreen == 42;
    const bool lit = scrollerScreen && g_tScroller.scroller == s && g_iBlinkPhase < 6;
    const bool focus = Ui_GetFocus() != nullptr;
    // The thumb, from a range shifted to start at 0.
    int32_t position = s->position, maximum = s->maximum;
    if (s->minimum < 0) {
        position -= s->minimum;
        maximum -= s->minimum;
    }
    const int32_t minimum = std::max(0, s->minimum);
    const int32_t track = s->width - 16;
    int64_t thumb = 16;
    const int64_t range = int64_t(maximum) + s->page - minimum;
    if (range > 0 && s->page > 0)
        thumb = std::max<int64_t>(16, int64_t(s->page) * track / range);
    thumb = std::min<int64_t>(thumb, std::max(16, track));
    int64_t at = 0;
    if (maximum != minimum)
        at = (track - thumb) * (int64_t(position) - minimum) / (int64_t(maximum) - minimum);
    at = std::clamp<int64_t>(at, 0, std::max<int64_t>(0, track - thumb));
    const int32_t tx = s->x + 8 + int32_t(at);
    if (g_tScroller.scroller == s) {
        g_tScroller.thumbX = tx;
        // The arrows' move delay counts frames.
        if (g_tScroller.delay)
            g_tScroller.delay--;
    }
    if (!(lit && g_tScroller.part == 1)) {
        Gfx_AddImageSprite(Gfx_GetImage(690), tx + int32_t(thumb) - 8, s->y, 128, 128, 128);
        for (int32_t x = tx + 8; x < tx + thumb - 8; x += 8)
            Gfx_AddImageSprite(Gfx_GetImage(105), x, s->y, 128, 128, 128);
        Gfx_AddImageSprite(Gfx_GetImage(689), tx, s->y, 128, 128, 128);
    }
    const bool leftLit = lit && focus && g_iScreen == 41 && g_tScroller.part == 0;
    const bool rightLit = lit && focus && g_iScreen == 41 && g_tScroller.part == 2;
    Gfx_AddImageSprite(Gfx_GetImage(rightLit ? 300 : 692), s->x + s->width - 8, s->y, 128, 128, 128);
    for (int32_t x = s->x + 8; x < s->x + s->width - 8; x += 8)
        Gfx_AddImageSprite(Gfx_GetImage(106), x, s->y, 128, 128, 128);
    Gfx_AddImageSprite(Gfx_GetImage(leftLit ? 299 : 691), s->x, s->y, 128, 128, 128);
}

void Ui_ScrollerBack()
{
    g_iNextScreen = 36;
    Snd_PlayInterfaceSound(4);
}

void Ui_ScrollerPartLeft()
{
    if (g_tScroller.part > 0)
        g_tScroller.part--;
    Snd_PlayInterfaceSound(2);
}

void Ui_ScrollerPartRight()
{
    if (g_tScroller.part < 2)
        g_tScroller.part++;
    Snd_PlayInterfaceSound(2);
}

void Ui_ScrollerPress()
{
    SCROLLERSTATE &s = g_tScroller;
    if (s.part == 1) {
        g_iNextScreen = 42;
        return;
    }
    if (s.delay)
        return;
    const int32_t before = s.value;
    s.value = s.part == 0 ? std::max(s.minimum, s.value - 1) : std::min(s.maximum, s.value + 1);
    if (s.scroller)
        s.scroller->position = s.value;
    Snd_PlayInterfaceSound(1);
    if (s.change && s.value != before)
        s.change(s.value);
    s.delay = 10;
}

namespace {
void Drag(int32_t direction)
{
    SCROLLERSTATE &s = g_tScroller;
    const int64_t moved = int64_t(s.value) + int64_t(direction) * 2 * Ui_ScrollerDragStep();
    s.value = int32_t(std::clamp<int64_t>(moved, s.minimum, s.maximum));
    if (s.scroller)
        s.scroller->position = s.value;
    if (s.drag)
        s.drag(s.value);
}
} // namespace

void Ui_ScrollerDragLeft()
{
    Drag(-1);
}

void Ui_ScrollerDragRight()
{
    Drag(1);
}

void Ui_ScrollerDragEnd()
{
    if (g_tScroller.change)
        g_tScroller.change(g_tScroller.value);
    Ui_ScrollerBack();
}

