#include "core/console_memory.h"

#include "core/consolelib.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/fixmath.h"
#include "render/texpages.h"
#include "video/engine.h"

#include <cstring>

namespace {

alignas(64) uint8_t s_arena[CONSOLE_ARENA_BYTES];

bool s_packetBuffersAllocated = false;
uint32_t s_otPoolUsed = 0;

FRAMEBUFFER *RecordAt(int i)
{
    return reinterpret_cast<FRAMEBUFFER *>(s_arena + CONSOLE_FRAMEBUFFER_ADDR + i * CONSOLE_FRAMEBUFFER_STRIDE);
}

OTLIST *ListsOf(const FRAMEBUFFER *fb)
{
    return reinterpret_cast<OTLIST *>(Sys_ArenaPtr(fb->otList, CONSOLE_OT_LIST_STRIDE));
}

// A fixed save icon: a quaver on a dark tile, 16 colours of 15 bits, 4 bits a pixel.
const char *const kIconRows[16] = {
    "1111111111111111", "1000000000000001", "1000000330000001", "1000000323000001",
    "1000000322300001", "1000000320230001", "1000000320023001", "1000000320002001",
    "1000000320000001", "1000000320000001", "1000333320000001", "1003222320000001",
    "1003222230000001", "1000333300000001", "1000000000000001", "1111111111111111",
};
const uint16_t kIconPalette[16] = {
    0x0000, 0x2108, 0x7FFF, 0x03FF, 0x7C00, 0x03E0, 0x001F, 0x4210,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
};

} // namespace

DISPLAYCONFIG g_tDisplayConfig;
int32_t g_iOrderingTableCount = 2;
FRAMEBUFFER *g_apFrameBuffers[2] = {RecordAt(0), RecordAt(1)};
FRAMEBUFFER *g_pFrameBuffer = nullptr;
int32_t g_bFramesHeld = 0;
std::atomic<int32_t> g_iFrameCount{0};
std::atomic<uint32_t> g_uTimerTicks{0};
uint8_t g_bDebugBreak = 0;
int16_t g_aConsoleScreenRect[4];

void *g_pHeapBase = nullptr;
void *g_pMainHeap = nullptr;
uint32_t g_uMainHeapSize = 0;
void *g_pSecondHeap = nullptr;
uint32_t g_uSecondHeapSize = 0;
uint32_t g_uEmulatedFreeMemory = 0;

const uint8_t *g_apSaveIconPalette[CONSOLE_SAVE_ICONS];
const uint8_t *g_apSaveIconImage[CONSOLE_SAVE_ICONS];

// ---------------------------------------------------------------------------------------------
// Arena access

uint8_t *Sys_ArenaPtr(uint32_t addr, uint32_t bytes)
{
    if (addr < CONSOLE_NULL_BYTES || addr >= CONSOLE_ARENA_BYTES || bytes > CONSOLE_ARENA_BYTES - addr)
        return nullptr;
    return s_arena + addr;
}

uint32_t Sys_ArenaAddr(const void *p)
{
    auto *b = static_cast<const uint8_t *>(p);
    if (b < s_arena + CONSOLE_NULL_BYTES || b >= s_arena + CONSOLE_ARENA_BYTES)
        return 0;
    return static_cast<uint32_t>(b - s_arena);
}

uint32_t Sys_ArenaReadWord(uint32_t addr)
{
    const uint8_t *p = Sys_ArenaPtr(addr, 4);
    if (!p)
        return CONSOLE_LINK_END;
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

int32_t Sys_ArenaWriteWord(uint32_t addr, uint32_t value)
{
    uint8_t *p = Sys_ArenaPtr(addr, 4);
    if (!p)
        return -1;
    std::memcpy(p, &value, 4);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Bring-up

DISPLAYCONFIG Sys_DefaultDisplayConfig()
{
    DISPLAYCONFIG c{};
    c.width = 384;
    c.height = 256;
    c.packetBytes = 784000;
    c.orderingTableCount = 2;
    c.spareList = 2;
    c.entryCount = 1024;
    return c;
}

int32_t Sys_SetDisplayConfig(const DISPLAYCONFIG *config)
{
    if (!config || config->width == 0 || config->height == 0 || config->packetBytes == 0 ||
        config->packetBytes > CONSOLE_PACKET_BUFFER_BYTES || (config->packetBytes & 3) != 0 ||
        config->orderingTableCount == 0 || config->orderingTableCount > CONSOLE_MAX_OT_LISTS ||
        config->entryCount > CONSOLE_ENTRY_TABLE_COUNT)
        return -1;
    g_tDisplayConfig = *config;
    g_tDisplayConfig.cleared = 0;
    g_iOrderingTableCount = static_cast<int32_t>(config->orderingTableCount);

    // A fresh machine: nothing survives from an earlier bring-up.
    std::memset(s_arena, 0, sizeof(s_arena));
    s_packetBuffersAllocated = false;
    s_otPoolUsed = 0;
    g_pFrameBuffer = nullptr;
    return 0;
}

void Sys_InitDisplayEnvs()
{
    const int32_t w = g_tDisplayConfig.width, h = g_tDisplayConfig.height;
    Sys_ResetGraph(1);
    Sys_BuildSineTable();
    Vid_SetScreenCentre(w / 2, h / 2);
    Sys_SetProjectionDistance(w / 2);
    g_aConsoleScreenRect[0] = 0;
    g_aConsoleScreenRect[1] = 0;
    g_aConsoleScreenRect[2] = static_cast<int16_t>(w);
    g_aConsoleScreenRect[3] = static_cast<int16_t>(h);
    Sys_SetGraphDebug(3);
    Sys_SetGraphDebug(0);

    FRAMEBUFFER *r1 = g_apFrameBuffers[0], *r2 = g_apFrameBuffers[1];
    // The environment set-up calls do nothing, so the clip rectangles stay empty; only the fields
    // written here by hand are meaningful.
    Sys_InitDrawEnv(&r1->draw, 0, 0, w, h);
    Sys_InitDrawEnv(&r2->draw, 0, h, w, h);
    r1->draw.dither = 1;
    r2->draw.dither = 1;
    Sys_ApplyDrawEnv(&r1->draw);
    Sys_ApplyDrawEnv(&r2->draw);
    Sys_InitDisplayEnv(&r2->disp, 0, 0, w, h);
    Sys_InitDisplayEnv(&r1->disp, 0, h, w, h);
    for (FRAMEBUFFER *r : {r1, r2}) {
        r->disp.screen[0] = 8;
        r->disp.screen[1] = 20;
        r->disp.screen[3] = 256;
        r->disp.interlace = 1;
    }
    const int16_t vram[4] = {384, 0, 640, 512};
    Sys_ClearVram(vram, 0, 0, 0);
    Gfx_InitTexturePages();
    Sys_WaitDrawDone(0);
}

void Sys_InitCore()
{
    g_bDebugBreak = 0;
    Sys_EventInit();
    Sys_InitMemoryLayout();
    Sys_EventCreateClass(1, 11);
}

void Sys_InitMemoryLayout()
{
    Sys_DiscInit();
    // The console derived these from its memory map; here they are fixed handles and figures.
    g_pHeapBase = s_arena + CONSOLE_HEAP_BASE_ADDR;
    g_pMainHeap = g_pHeapBase;
    g_uMainHeapSize = CONSOLE_EMULATED_FREE_MEMORY;
    g_pSecondHeap = s_arena + CONSOLE_SECOND_HEAP_ADDR;
    g_uSecondHeapSize = CONSOLE_SECOND_HEAP_BYTES;
    g_uEmulatedFreeMemory = CONSOLE_EMULATED_FREE_MEMORY;
    Sys_StampGuardWord();
}

void Sys_InitPackets()
{
    Sys_AllocPacketBuffers();
    Sys_InitSystemLib(0);
    Sys_InitCallbacks();
    Sys_InitPads(Sys_PadBuffer(1), Sys_PadBuffer(2));
    Sys_StartPads();
}

int32_t Sys_AllocPacketBuffers()
{
    if (g_tDisplayConfig.packetBytes == 0)
        return -1;
    FRAMEBUFFER *r1 = g_apFrameBuffers[0], *r2 = g_apFrameBuffers[1];
    std::memset(Sys_ArenaPtr(CONSOLE_PACKET_BUFFER_ADDR, CONSOLE_PACKET_BUFFER_BYTES), 0, CONSOLE_PACKET_BUFFER_BYTES);
    r1->largeArea = CONSOLE_PACKET_BUFFER_ADDR;
    r2->largeArea = CONSOLE_PACKET_BUFFER_ADDR + g_tDisplayConfig.packetBytes / 2;

    for (int i = 0; i < 2; i++) {
        FRAMEBUFFER *r = g_apFrameBuffers[i];
        r->otList = CONSOLE_OT_LIST_ADDR + i * CONSOLE_OT_LIST_STRIDE;
        std::memset(ListsOf(r), 0, CONSOLE_OT_LIST_STRIDE);
    }
    s_otPoolUsed = 0;
    std::memset(Sys_ArenaPtr(CONSOLE_ENTRY_TABLE_ADDR, CONSOLE_ENTRY_TABLE_BYTES), 0, CONSOLE_ENTRY_TABLE_BYTES);
    s_packetBuffersAllocated = true;

    g_pFrameBuffer = r1;
    g_bFramesHeld = 0;
    Sys_ApplyDisplayEnv(&r1->disp);
    Sys_ApplyDrawEnv(&r1->draw);
    g_uTimerTicks = 0;
    g_iFrameCount = 0;
    Sys_SetVblankCallback(Sys_FrameCallback);
    return 0;
}

void Sys_FreePacketBuffers()
{
    if (!s_packetBuffersAllocated)
        return;
    for (FRAMEBUFFER *r : g_apFrameBuffers) {
        std::memset(ListsOf(r), 0, CONSOLE_OT_LIST_STRIDE);
        r->otList = 0;
        r->largeArea = 0;
    }
    s_otPoolUsed = 0;
    s_packetBuffersAllocated = false;
    g_pFrameBuffer = nullptr;
}

int32_t Sys_AllocOrderingTables(int32_t list, int32_t entries)
{
    if (!s_packetBuffersAllocated || list < 0 || list >= g_iOrderingTableCount || entries <= 0)
        return -1;
    uint64_t bytes = static_cast<uint64_t>(entries) * 4 + CONSOLE_OT_PAD_BYTES;
    bytes = (bytes + 15) & ~uint64_t{15};
    if (bytes * 2 > CONSOLE_OT_POOL_BYTES - s_otPoolUsed)
        return -1;
    for (FRAMEBUFFER *r : g_apFrameBuffers) {
        uint32_t base = CONSOLE_OT_POOL_ADDR + s_otPoolUsed;
        uint8_t *p = Sys_ArenaPtr(base, static_cast<uint32_t>(bytes));
        std::memset(p, 0, bytes);
        // Fresh heads read as empty chains until the frame start clears the table.
        for (int32_t e = 0; e < entries; e++)
            Sys_ArenaWriteWord(base + 4 * static_cast<uint32_t>(e), CONSOLE_LINK_END);
        ListsOf(r)[list] = OTLIST{base, static_cast<uint32_t>(entries)};
        s_otPoolUsed += static_cast<uint32_t>(bytes);
    }
    return 0;
}

OTLIST *Sys_OrderingTableLists(const FRAMEBUFFER *fb)
{
    return fb && fb->otList ? ListsOf(fb) : nullptr;
}

void Sys_InitSmallPrimitiveAreas()
{
    g_apFrameBuffers[0]->smallArea = CONSOLE_SMALL_AREA1_ADDR;
    g_apFrameBuffers[1]->smallArea = CONSOLE_SMALL_AREA2_ADDR;
}

void Sys_InitSaveIcons()
{
    uint8_t *block = Sys_ArenaPtr(CONSOLE_SAVE_ICON_ADDR, CONSOLE_SAVE_ICON_BYTES);
    std::memset(block, 0, CONSOLE_SAVE_ICON_BYTES);
    uint8_t *palette = block + CONSOLE_SAVE_ICON_PALETTE_OFFSET;
    for (int i = 0; i < 16; i++) {
        palette[2 * i] = static_cast<uint8_t>(kIconPalette[i] & 0xFF);
        palette[2 * i + 1] = static_cast<uint8_t>(kIconPalette[i] >> 8);
    }
    uint8_t *image = block + CONSOLE_SAVE_ICON_IMAGE_OFFSET;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x += 2) {
            // Low nibble is the left pixel.
            uint8_t lo = static_cast<uint8_t>(kIconRows[y][x] - '0');
            uint8_t hi = static_cast<uint8_t>(kIconRows[y][x + 1] - '0');
            image[y * 8 + x / 2] = static_cast<uint8_t>(lo | (hi << 4));
        }
    g_apSaveIconPalette[0] = palette;
    g_apSaveIconImage[0] = image;
}

void Sys_FreeOrderingTableArrays()
{
    for (FRAMEBUFFER *r : g_apFrameBuffers)
        if (r->otList)
            std::memset(ListsOf(r), 0, CONSOLE_OT_LIST_STRIDE);
    std::memset(Sys_ArenaPtr(CONSOLE_OT_POOL_ADDR, CONSOLE_OT_POOL_BYTES), 0, CONSOLE_OT_POOL_BYTES);
    s_otPoolUsed = 0;
}

void Sys_FreeSaveIcons()
{
    std::memset(Sys_ArenaPtr(CONSOLE_SAVE_ICON_ADDR, CONSOLE_SAVE_ICON_BYTES), 0, CONSOLE_SAVE_ICON_BYTES);
    for (int i = 0; i < CONSOLE_SAVE_ICONS; i++) {
        g_apSaveIconPalette[i] = nullptr;
        g_apSaveIconImage[i] = nullptr;
    }
}

void Sys_FreeMemoryLayout()
{
    g_pHeapBase = nullptr;
    g_pMainHeap = nullptr;
    g_uMainHeapSize = 0;
    g_pSecondHeap = nullptr;
    g_uSecondHeapSize = 0;
    g_uEmulatedFreeMemory = 0;
}

uint8_t *Sys_ConsoleCoreHeap()
{
    return s_arena + CONSOLE_CORE_HEAP_ADDR;
}

void Sys_StampGuardWord()
{
    Sys_ArenaWriteWord(CONSOLE_GUARD_ADDR, CONSOLE_GUARD_WORD);
}

bool Sys_GuardWordIntact()
{
    return Sys_ArenaReadWord(CONSOLE_GUARD_ADDR) == CONSOLE_GUARD_WORD;
}

PADBUFFER *Sys_PadBuffer(int32_t port)
{
    if (port != 1 && port != 2)
        return nullptr;
    return reinterpret_cast<PADBUFFER *>(s_arena + CONSOLE_PAD_ADDR + (port - 1) * CONSOLE_PAD_BUFFER_BYTES);
}
