#include "render/framecycle.h"

#include "core/consolelib.h"
#include "core/event.h"
#include "core/random.h"
#include "render/d3ddevice.h"
#include "render/ordertable.h"
#include "ui/widgets.h"
#include "sequencer/playback.h"

#include <algorithm>
#include <cstring>

int32_t g_iFrameBufferIndex = 0;
int32_t g_iFrameModeStep = 0;
uint32_t g_uFrameEndTicks = 0;
uint32_t g_uRandomSeed = 0;
int32_t g_iDisplayBlankCountdown = 0;
int32_t g_bPadStep = 12;
PADBUFFER g_tPadCopy = {};
int16_t g_asViewportOffset[2] = {};
int16_t g_asViewportRect[4] = {};

namespace {

bool s_bSmallArea = false;

// Display window: size index, origin.
int32_t s_iWindowSize = 0;
int32_t s_iWindowX = 0, s_iWindowY = 0;
const int16_t kWindowSizes[4][2] = {{256, 256}, {640, 512}, {320, 256}, {368, 256}};

constexpr int32_t kPadTypeAnalogue = 7;

// Step after a reset, and whether that frame uses the small area.
struct MODESTEP
{
    int32_t next;
    bool small;
};
const MODESTEP kModeSteps[6] = {{0, false}, {2, true}, {3, true}, {3, true}, {5, false}, {0, false}};

uint32_t DepthEntry1(const FRAMEBUFFER *fb)
{
    return fb->smallArea;
}

uint32_t TwoEntryAddr(const FRAMEBUFFER *fb, int i)
{
    return Sys_ArenaAddr(&fb->twoEntry[i]);
}

} // namespace

bool Gfx_SmallFrameArea()
{
    return s_bSmallArea;
}

uint32_t Gfx_AddTextureWindowReset(uint32_t entry)
{
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(entry, sizeof(PACKET_ENV_T), &addr);
    if (!p)
        return 0;
    const int16_t off[4] = {0, 0, 255, 255};
    Gfx_SetTextureWindowPacket(p, off);
    return addr;
}

uint32_t Gfx_ResetFrameBuffer()
{
    FRAMEBUFFER *fb = g_pFrameBuffer;
    if (!fb)
        return 0;
    if (g_iFrameModeStep < 0 || g_iFrameModeStep > 5)
        g_iFrameModeStep = 0;
    const MODESTEP &step = kModeSteps[g_iFrameModeStep];
    g_iFrameModeStep = step.next;
    s_bSmallArea = step.small;

    // The packet area: the depth-table memory, or this record's half of the packet buffer (never
    // more than the half, so a smaller buffer cannot spill into the other record's packets).
    uint32_t start, bytes;
    if (s_bSmallArea) {
        start = fb->smallArea;
        bytes = FRAME_SMALL_AREA_BYTES;
    } else {
        start = fb->largeArea;
        bytes = std::min(FRAME_LARGE_AREA_BYTES, g_tDisplayConfig.packetBytes / 2);
    }
    if (!Sys_ArenaPtr(start, bytes))
        start = bytes = 0;
    // Tables are emptied before the area is declared live, so the clears are never refused.
    g_pPacketAreaStart = g_pPacketCursor = g_pPacketEnd = 0;

    if (OTLIST *lists = Sys_OrderingTableLists(fb))
        for (int32_t i = 0; i < g_iOrderingTableCount; i++)
            if (lists[i].count != 0)
                Gfx_ClearOrderingTableReverse(lists[i].base, lists[i].count);
    fb->twoEntry[0] = CONSOLE_LINK_END;
    fb->twoEntry[1] = TwoEntryAddr(fb, 0);

    g_pPacketAreaStart = g_pPacketCursor = start;
    g_pPacketEnd = start + bytes;
    return TwoEntryAddr(fb, 0);
}

void Gfx_SwapFrameBuffersNow()
{
    if (!g_pFrameBuffer)
        return;
    g_iFrameBufferIndex = g_pFrameBuffer == g_apFrameBuffers[0] ? 1 : 0;
    g_pFrameBuffer = g_apFrameBuffers[g_iFrameBufferIndex];
    Gfx_ResetFrameBuffer();
    Sys_ApplyDrawEnv(&g_pFrameBuffer->draw);
    Sys_ApplyDisplayEnv(&g_pFrameBuffer->disp);
}

int32_t Gfx_SetFrameMode(int32_t mode)
{
    if (mode == 0) {
        g_iFrameModeStep = 4;
        g_uSeqBlockSize = 0;
        g_bySeqStatus = static_cast<uint8_t>(g_bySeqStatus & ~0x04);
    } else if (mode == 3) {
        g_iFrameModeStep = 1;
    }
    return mode;
}

void Gfx_BeginFrame()
{
    if (g_bFramesHeld || !g_pFrameBuffer)
        return;
    if (g_iDisplayBlankCountdown != 0 && --g_iDisplayBlankCountdown == 0)
        Sys_SetDisplayEnable(1);
    g_bPadStep = (g_tPadCopy.type >> 4) == kPadTypeAnalogue ? 16 : 12;

    g_iFrameBufferIndex = g_pFrameBuffer == g_apFrameBuffers[0] ? 1 : 0;
    g_pFrameBuffer = g_apFrameBuffers[g_iFrameBufferIndex];
    Gfx_ResetFrameBuffer();

    Sys_EventDispatch(GFX_EVENT_FRAME_START, 0);
    if (!s_bSmallArea)
        Gfx_AddTextureWindowReset(DepthEntry1(g_pFrameBuffer));
}

void Gfx_EndFrame()
{
    if (g_bFramesHeld || !g_pFrameBuffer)
        return;
    FRAMEBUFFER *fb = g_pFrameBuffer;

    g_uRandomSeed = (g_uRandomSeed << 2) ^ (static_cast<uint32_t>(Sys_WaitVerticalSync(1)) | static_cast<uint32_t>(Sys_Rand()));
    Sys_SeedRand(g_uRandomSeed);

    Sys_EventDispatch(GFX_EVENT_FRAME_END, 0);
    Sys_WaitDrawDone(0);
    Sys_WaitVerticalSync(0);
    Sys_ApplyDisplayEnv(&fb->disp);
    Sys_EventDispatch(GFX_EVENT_FRAME_DRAW, 0);

    if (!s_bSmallArea)
        Gfx_AddTextureWindowReset(DepthEntry1(fb));
    g_uFrameEndTicks = g_uTimerTicks;

    // Lists in order, so a later list is drawn over an earlier one; each from its last entry.
    const uint32_t envNode = Sys_ArenaAddr(&fb->draw.node[0]);
    if (OTLIST *lists = Sys_OrderingTableLists(fb))
        for (int32_t i = 0; i < g_iOrderingTableCount; i++)
            if (lists[i].count != 0) {
                fb->draw.node[0] = lists[i].base + 4 * (lists[i].count - 1);
                Gfx_DrawOrderingTable(envNode);
            }

    // The record's clip rectangle (empty here) becomes the draw area, then the two-entry table
    // draws over everything.
    if (uint8_t *p = Gfx_AddPacket(TwoEntryAddr(fb, 1), sizeof(PACKET_ENV_T)))
        Gfx_SetDrawAreaPacket(p, fb->draw.clip);
    Gfx_DrawOrderingTable(TwoEntryAddr(fb, 1));

    Sys_SetDrawDoneCallback(nullptr);
    g_iFrameCount += 1;
    Sys_EventDispatch(GFX_EVENT_FRAME_DONE, 0);
    if (!Sys_GuardWordIntact())
        Sys_StampGuardWord();
}

int32_t Gfx_UpdateDisplayWindow()
{
    if (const PADBUFFER *port1 = Sys_PadBuffer(1))
        g_tPadCopy = *port1;
    if (g_wUiPadWord & 0x2000)
        s_iWindowSize ^= 1;
    const int32_t w = kWindowSizes[s_iWindowSize][0], h = kWindowSizes[s_iWindowSize][1];

    // Buttons are active low.
    const uint16_t b = g_tPadCopy.buttons;
    int32_t dx = !(b & 0x80) ? -4 : !(b & 0x20) ? 4 : 0;
    int32_t dy = !(b & 0x40) ? 4 : !(b & 0x10) ? -4 : 0;
    if ((g_tPadCopy.type >> 4) == kPadTypeAnalogue) {
        // Sticks sit at bytes 6 and 7 of the pad buffer; a small dead zone around the centre.
        int32_t sx = g_tPadCopy.data[2] - 127, sy = g_tPadCopy.data[3] - 127;
        if (sx >= 17 || sx <= -17)
            dx += sx >> 3;
        if (sy >= 17 || sy <= -17)
            dy += sy >> 3;
    }
    s_iWindowX = std::clamp(s_iWindowX + dx, 0, 1024 - w);
    s_iWindowY = std::clamp(s_iWindowY + dy, 0, 512 - h);

    const bool whole = (g_wUiPadWord & 0x1000) != 0;
    for (FRAMEBUFFER *fb : g_apFrameBuffers) {
        const int16_t area[4] = {
            static_cast<int16_t>(whole ? 0 : s_iWindowX), static_cast<int16_t>(whole ? 0 : s_iWindowY),
            static_cast<int16_t>(whole ? g_aConsoleScreenRect[2] : w), static_cast<int16_t>(whole ? g_aConsoleScreenRect[3] : h)};
        std::memcpy(fb->disp.display, area, sizeof(area));
        fb->disp.screen[0] = 1;
        fb->disp.screen[1] = 20;
        fb->disp.screen[3] = 256;
        fb->disp.interlace = 1;
    }
    return whole ? 1 : 0;
}

void Gfx_SetScreenSize(const int16_t rect[4])
{
    if (!rect)
        return;
    for (FRAMEBUFFER *fb : g_apFrameBuffers) {
        if (!fb)
            continue;
        std::memcpy(fb->disp.display, rect, sizeof(fb->disp.display));
        fb->disp.screen[0] = 8;
        fb->disp.screen[1] = 20;
        fb->disp.screen[3] = 256;
        fb->disp.interlace = 1;
    }
}

uint32_t Gfx_AddFlatQuad(int16_t x, int16_t y, int16_t w, int16_t h)
{
    if (!g_pFrameBuffer || s_bSmallArea)
        return 0;
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(DepthEntry1(g_pFrameBuffer), sizeof(PACKET_FLAT_QUAD_T), &addr);
    if (!p)
        return 0;
    PACKET_FLAT_QUAD_T q;
    std::memcpy(&q.head, p, sizeof(q.head)); // keeps the link Gfx_AddPacket wrote
    q.head.length = 6;
    q.head.r = g_abFillColour[0];
    q.head.g = g_abFillColour[1];
    q.head.b = g_abFillColour[2];
    q.head.code = PACKET_FLAT_QUAD;
    const int16_t x1 = static_cast<int16_t>(x + w), y1 = static_cast<int16_t>(y + h);
    const int16_t corners[4][2] = {{x, y}, {x1, y}, {x, y1}, {x1, y1}};
    std::memcpy(q.xy, corners, sizeof(q.xy));
    std::memcpy(p, &q, sizeof(q));
    return addr;
}

int32_t Gfx_ClearViewport(uint32_t, uint8_t r, uint8_t g, uint8_t b)
{
    return Gfx_ClearViewportColour((static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b);
}

void Gfx_SetViewportOffset(int16_t x, int16_t y)
{
    g_asViewportOffset[0] = x;
    g_asViewportOffset[1] = y;
}

int32_t Gfx_SetViewportRect(const int16_t rect[4], int32_t, int32_t)
{
    if (!rect)
        return -1;
    std::memcpy(g_asViewportRect, rect, sizeof(g_asViewportRect));
    return Gfx_SetViewport(rect[0] + g_asViewportOffset[0], rect[1] + g_asViewportOffset[1], rect[2], rect[3]);
}
