// Console memory: the fixed machine the drawing and pad code expect, and its bring-up.
//
// Everything the drawing code links together lives in one arena addressed by 32-bit addresses
// (byte offsets from the arena's start), so link words, ordering-table heads and the pointers
// inside FRAMEBUFFER records stay 32 bits wide on a 64-bit host:
//  - a link word holds the arena address of the next packet; CONSOLE_LINK_END (0xFFFFFFFF) ends a
//    chain and any link at or above CONSOLE_LINK_STOP (0x10000000) stops the walker;
//  - address 0 is never handed out (the first CONSOLE_NULL_BYTES are reserved), so 0 means "none";
//  - Sys_ArenaPtr turns an address into a pointer after checking the whole span lies inside the
//    arena; Sys_ArenaAddr goes the other way.
// Words are stored in host order, which is little-endian on every target we build for, so packet
// fields keep their byte offsets (the code byte of a packet is its byte 11).
//
// The arena is static: the areas never move and cannot fail to allocate. Every area sits at a fixed
// address (CONSOLE_*_ADDR) with the size the console had.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "packet byte offsets assume little-endian words");

constexpr uint32_t CONSOLE_LINK_END = 0xFFFFFFFFu;
constexpr uint32_t CONSOLE_LINK_STOP = 0x10000000u;

// Sizes the console code relies on.
constexpr uint32_t CONSOLE_NULL_BYTES = 0x100;
constexpr uint32_t CONSOLE_CORE_HEAP_BYTES = 1024;
constexpr uint32_t CONSOLE_HEAP_MARKER_BYTES = 16; // the 12-byte base marker, rounded up
constexpr uint32_t CONSOLE_MAX_OT_LISTS = 4;       // ordering-table lists a FRAMEBUFFER may have
constexpr uint32_t CONSOLE_OT_POOL_BYTES = 0x2000; // heads of every ordering-table list
constexpr uint32_t CONSOLE_OT_PAD_BYTES = 12;      // zeroes after each array: a walker reading an
                                                   // entry as a packet header stays inside
constexpr uint32_t CONSOLE_PAD_BUFFER_BYTES = 48;
constexpr uint32_t CONSOLE_SAVE_ICON_BYTES = 192;
constexpr uint32_t CONSOLE_ENTRY_TABLE_COUNT = 1024;
constexpr uint32_t CONSOLE_ENTRY_TABLE_BYTES = CONSOLE_ENTRY_TABLE_COUNT * 10;
constexpr uint32_t CONSOLE_SMALL_AREA_BYTES = 20000;
constexpr uint32_t CONSOLE_SMALL_AREA_LEAD = 16; // holds depth entry 0, just before the area
constexpr uint32_t CONSOLE_PACKET_BUFFER_BYTES = 784000;
constexpr uint32_t CONSOLE_GUARD_WORD = 0xFABADABBu;

// The free-memory figure the console computed from addresses: a fixed figure here, well above the
// 20000 at which the editors warn.
constexpr uint32_t CONSOLE_EMULATED_FREE_MEMORY = 0x001E0000u;
constexpr uint32_t CONSOLE_SECOND_HEAP_BYTES = 125952;

// Save-icon block layout.
constexpr uint32_t CONSOLE_SAVE_ICON_PALETTE_OFFSET = 20;
constexpr uint32_t CONSOLE_SAVE_ICON_IMAGE_OFFSET = 64;
constexpr int32_t CONSOLE_SAVE_ICONS = 1;

// Drawing environment, console layout: clip rectangle first, then offset, texture window and
// modes, then a node the frame end links into the walk (its command words stay empty).
struct DRAWENV
{
    int16_t clip[4]; // x, y, w, h (y = origin row)
    int16_t offset[2];
    int16_t texWindow[4];
    uint16_t texPage;
    uint8_t dither;
    uint8_t drawOnDisplay;
    uint8_t clearBackground;
    uint8_t backR, backG, backB;
    uint32_t node[16]; // link word, then command words
};
static_assert(sizeof(DRAWENV) == 92);

struct DISPENV
{
    int16_t display[4]; // x, y, w, h in the drawing space
    int16_t screen[4];  // x, y, w, h on the monitor
    uint8_t interlace;
    uint8_t colour24;
    uint8_t pad[2];
};
static_assert(sizeof(DISPENV) == 20);

// One ordering-table list of a FRAMEBUFFER: base address of `count` u32 heads.
struct OTLIST
{
    uint32_t base;
    uint32_t count;
};

// One of the two drawing records; every address in it is an arena address.
struct FRAMEBUFFER
{
    DRAWENV draw;
    DISPENV disp;
    uint32_t otList;      // address of g_iOrderingTableCount OTLIST pairs
    uint32_t smallArea;   // CONSOLE_SMALL_AREA_BYTES of depth table or small primitives; the
                          // depth table's entry 0 is the word just before it
    uint32_t twoEntry[2]; // two-entry ordering table, walked last
    uint32_t largeArea;   // this record's half of the packet buffer (packetBytes / 2 bytes)
};
static_assert(sizeof(FRAMEBUFFER) == 132);

// The emulated controller buffer: eight words and a half-word.
struct PADBUFFER
{
    uint8_t status; // 0 = connected and valid, 0xFF = no controller
    uint8_t type;   // high nibble 4 = digital pad
    uint16_t buttons; // active low
    uint8_t data[30];
};
static_assert(sizeof(PADBUFFER) == 34);

// Display and list configuration: five words, and a sixth that the copy clears.
struct DISPLAYCONFIG
{
    uint16_t width;
    uint16_t height;
    uint32_t packetBytes;
    uint32_t orderingTableCount;
    uint32_t spareList;
    uint32_t entryCount;
    uint32_t cleared;
};

// Arena map.
constexpr uint32_t CONSOLE_CORE_HEAP_ADDR = CONSOLE_NULL_BYTES;
constexpr uint32_t CONSOLE_GUARD_ADDR = CONSOLE_CORE_HEAP_ADDR + CONSOLE_CORE_HEAP_BYTES - 4;
constexpr uint32_t CONSOLE_HEAP_BASE_ADDR = CONSOLE_CORE_HEAP_ADDR + CONSOLE_CORE_HEAP_BYTES;
constexpr uint32_t CONSOLE_SECOND_HEAP_ADDR = CONSOLE_HEAP_BASE_ADDR + CONSOLE_HEAP_MARKER_BYTES;
constexpr uint32_t CONSOLE_FRAMEBUFFER_ADDR = CONSOLE_SECOND_HEAP_ADDR + CONSOLE_HEAP_MARKER_BYTES;
constexpr uint32_t CONSOLE_FRAMEBUFFER_STRIDE = 0x100;
constexpr uint32_t CONSOLE_OT_LIST_ADDR = CONSOLE_FRAMEBUFFER_ADDR + 2 * CONSOLE_FRAMEBUFFER_STRIDE;
constexpr uint32_t CONSOLE_OT_LIST_STRIDE = CONSOLE_MAX_OT_LISTS * sizeof(OTLIST);
constexpr uint32_t CONSOLE_OT_POOL_ADDR = CONSOLE_OT_LIST_ADDR + 2 * CONSOLE_OT_LIST_STRIDE;
constexpr uint32_t CONSOLE_PAD_ADDR = CONSOLE_OT_POOL_ADDR + CONSOLE_OT_POOL_BYTES;
constexpr uint32_t CONSOLE_SAVE_ICON_ADDR = CONSOLE_PAD_ADDR + 2 * CONSOLE_PAD_BUFFER_BYTES;
constexpr uint32_t CONSOLE_ENTRY_TABLE_ADDR = CONSOLE_SAVE_ICON_ADDR + 0x100;
constexpr uint32_t CONSOLE_SMALL_AREA1_ADDR = CONSOLE_ENTRY_TABLE_ADDR + CONSOLE_ENTRY_TABLE_BYTES + CONSOLE_SMALL_AREA_LEAD;
constexpr uint32_t CONSOLE_SMALL_AREA2_ADDR = CONSOLE_SMALL_AREA1_ADDR + CONSOLE_SMALL_AREA_BYTES + CONSOLE_SMALL_AREA_LEAD;
constexpr uint32_t CONSOLE_PACKET_BUFFER_ADDR = CONSOLE_SMALL_AREA2_ADDR + CONSOLE_SMALL_AREA_BYTES;
constexpr uint32_t CONSOLE_ARENA_BYTES = CONSOLE_PACKET_BUFFER_ADDR + CONSOLE_PACKET_BUFFER_BYTES;
static_assert(CONSOLE_ARENA_BYTES < CONSOLE_LINK_STOP, "every arena address must read as a link");
static_assert(sizeof(FRAMEBUFFER) <= CONSOLE_FRAMEBUFFER_STRIDE);
static_assert(CONSOLE_PACKET_BUFFER_ADDR % 16 == 0 && CONSOLE_SMALL_AREA1_ADDR % 16 == 0);

// ---------------------------------------------------------------------------------------------
// Arena access

// Pointer to [addr, addr + bytes) inside the arena; null when any of it lies outside or addr is 0.
uint8_t *Sys_ArenaPtr(uint32_t addr, uint32_t bytes = 1);
// Address of p inside the arena; 0 when p is not inside.
uint32_t Sys_ArenaAddr(const void *p);
// Reads and writes of one 32-bit word; a read outside gives CONSOLE_LINK_END, a write outside
// returns -1 and changes nothing.
uint32_t Sys_ArenaReadWord(uint32_t addr);
int32_t Sys_ArenaWriteWord(uint32_t addr, uint32_t value);
// True when the walker stops at this link (end marker included).
inline bool Sys_LinkStops(uint32_t link)
{
    return link >= CONSOLE_LINK_STOP;
}

// ---------------------------------------------------------------------------------------------
// State

extern DISPLAYCONFIG g_tDisplayConfig;
extern int32_t g_iOrderingTableCount;
extern FRAMEBUFFER *g_apFrameBuffers[2]; // the two records, inside the arena
extern FRAMEBUFFER *g_pFrameBuffer;      // the current record
extern int32_t g_bFramesHeld;
extern std::atomic<int32_t> g_iFrameCount;
extern std::atomic<uint32_t> g_uTimerTicks;
extern uint8_t g_bDebugBreak;
extern int16_t g_aConsoleScreenRect[4]; // the console layer's screen rectangle

// Memory layout. The regions are handles given to the loaders; nothing is carved out of them.
extern void *g_pHeapBase;
extern void *g_pMainHeap;
extern uint32_t g_uMainHeapSize;
extern void *g_pSecondHeap;
extern uint32_t g_uSecondHeapSize;
extern uint32_t g_uEmulatedFreeMemory;

// Save-icon tables, by icon number.
extern const uint8_t *g_apSaveIconPalette[CONSOLE_SAVE_ICONS];
extern const uint8_t *g_apSaveIconImage[CONSOLE_SAVE_ICONS];

// ---------------------------------------------------------------------------------------------
// Bring-up, in the order the core start-up calls it

// Copies the configuration (refused with -1 when a size does not fit the arena) and clears the
// arena for a fresh machine.
int32_t Sys_SetDisplayConfig(const DISPLAYCONFIG *config);
// The start-up configuration: 384 x 256, 784000 packet bytes, 2 lists, 2, 1024 entries.
DISPLAYCONFIG Sys_DefaultDisplayConfig();
void Sys_InitDisplayEnvs();
void Sys_InitCore();
void Sys_InitMemoryLayout();
void Sys_InitPackets();
int32_t Sys_AllocPacketBuffers();
void Sys_FreePacketBuffers();
// Heads for list `list` of both records; -1 when the list number is out of range, the entry count is
// 0, the packet buffers are not set up or the pool is full.
int32_t Sys_AllocOrderingTables(int32_t list, int32_t entries);
// The ordering-table lists of a record (g_iOrderingTableCount pairs); null before the packet
// buffers are set up.
OTLIST *Sys_OrderingTableLists(const FRAMEBUFFER *fb);
// Points each record's small-primitive pointer at its own fixed area.
void Sys_InitSmallPrimitiveAreas();
void Sys_InitSaveIcons();

// Shutdown, each safe to repeat. The areas are fixed parts of the arena, so "freeing" one empties it
// and drops every reference to it; a later bring-up sets it up afresh.
// Gives back both records' ordering-table arrays: every list becomes {0, 0} and the heads' pool is
// empty. The lists themselves stay until Sys_FreePacketBuffers.
void Sys_FreeOrderingTableArrays();
// Empties the save-icon block; the icon tables point at nothing (save headers then keep zeroes).
void Sys_FreeSaveIcons();
// Drops the memory layout: the heap handles become null, their sizes and the free-memory figure 0.
void Sys_FreeMemoryLayout();

// The core heap block (1024 bytes) whose last word is the guard.
uint8_t *Sys_ConsoleCoreHeap();
void Sys_StampGuardWord();
bool Sys_GuardWordIntact();

PADBUFFER *Sys_PadBuffer(int32_t port); // port 1 or 2; null otherwise
