// Pad binding grid, code overlays and the small console services around them.
//
// Every screen binds its 16 pad slots to actions that run when a button goes down, while it is
// held, or when it comes up. The interface fills the grid once at start-up and its pad latch runs
// Sys_PadDispatch once a frame. Overlay files are never loaded; switching an overlay only runs its
// enter and leave actions.
#pragma once

#include <cstdint>

typedef void (*PADACTION)();

enum
{
    PAD_SCREENS = 80,
    PAD_SLOTS = 16,
    PAD_MAX_ACTIONS = 250,
    OVERLAY_COUNT = 4,
};

// Cell kinds (bits 13-15). A raw cell (no action) has bit 15 set and never runs anything.
enum : uint16_t
{
    BIND_ON_PRESS = 0x2000,
    BIND_WHILE_HELD = 0x4000,
    BIND_ON_RELEASE = 0x6000,
    BIND_RAW = 0x8000,
    BIND_INDEX_MASK = 0x1FFF,
};

struct OVERLAY
{
    void (*pfnEnter)();
    void (*pfnLeave)();
    uint32_t uReserved;
    const char *pszFile; // never opened
};

struct PADBINDINGS
{
    uint16_t auCell[PAD_SCREENS][PAD_SLOTS]; // [screen][slot], slot n = bit n of the pad word
};
static_assert(sizeof(PADBINDINGS) == 2560);

extern OVERLAY OVERLAYS[OVERLAY_COUNT];
extern int32_t g_iCurrentOverlay; // -1 = none

extern PADBINDINGS g_PadBindings;
extern PADACTION g_apfnPadActions[PAD_MAX_ACTIONS];
extern int32_t g_nPadActions;

extern int32_t g_iScreen;     // grid row dispatched
extern int32_t g_iNextScreen; // taken over at the end of the next dispatch; -1 = no change

// The working pad word (active low) that the pad latch fills each frame; the dispatch reads it
// through g_pPadButtons.
extern uint16_t g_wPadWorkButtons;
extern const uint16_t *g_pPadButtons;
extern uint16_t g_wPadPrevButtons;
// Frames the pad has been missing; the pad latch counts it down again once the pad is back.
extern uint8_t g_ucPadMissingCount;

// Leaves the current overlay and enters id (0..3, or -1 for none). Nothing when id is current
// or out of range.
void Sys_SwitchOverlay(int32_t id);

void Sys_PadClearBindings();
// Binds a slot of a screen. A null action stores the flags as a raw cell. Returns 0, or -1 (and
// changes nothing) for a screen, slot or new action that does not fit the grid.
int Sys_PadBind(uint16_t screen, uint8_t slot, PADACTION action, uint16_t flags);
void Sys_PadDispatch();
void Sys_PadCheckRemoved();

// Fills out[256] with a ring of colours through up to three RGB colours (3 bytes each), widths
// proportional to the shares, starting at start (0..255; any other value writes nothing).
void Sys_GradientColourAt(const uint8_t *colour1, const uint8_t *colour2, const uint8_t *colour3,
                          int32_t share1, int32_t share2, int32_t share3, int32_t start,
                          uint16_t *out);

// Console marker hooks: take their arguments and do nothing.
void Sys_DebugSetMark(int32_t mark);
void Sys_DebugFrameHook();
void Sys_DebugSoundHook();
void Sys_VSyncCallback();
void Sys_DisplayObjectsHook();
void Sys_StartupHook();
