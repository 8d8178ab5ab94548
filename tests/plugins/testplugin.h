// The effect plug-in the tests build and load: a gain (built as "filter") or a delay ("reverb")
// that records every call, for tests that open it themselves to read what it was given.
#pragma once

#include <stdint.h>

enum
{
    TP_OPEN,
    TP_CLOSE,
    TP_APPLY,
    TP_INPUT,
    TP_RESET,
    TP_DRAW,
    TP_GET,
    TP_SET,
    TP_ENTRIES
};

// What PLUGIN_Open does with the picture and palette pointers it is offered.
enum
{
    TP_POINTERS_NULL,      // sets both to null, draws into the offered buffers
    TP_POINTERS_OWN,       // points both at its own buffers
    TP_POINTERS_UNCHANGED, // leaves both, draws into the offered buffers
};

constexpr int TP_MAX_CALLS = 256;
constexpr int TP_MAX_INSTANCES = 96;
constexpr uint32_t TP_HANDLE_BASE = 0x100; // instance i has handle TP_HANDLE_BASE + i
constexpr uint32_t TP_OUT_VALUE_BASE = 0xC0DE0000;
constexpr int TP_DELAY_FRAMES = 100;
constexpr int TP_UNITY_GAIN = 256;

struct TESTPLUGINCALL
{
    int32_t entry;
    uint32_t handle;
    const void *p1, *p2, *p3, *p4; // pointer arguments in order (Open: the incoming picture and
                                   // palette pointers as p3, p4)
    int32_t n;                     // frames, setting number
    int32_t value;                 // the value of PLUGIN_Set
    uint8_t event[4];
};

struct TESTPLUGINSTATE
{
    int32_t pointerMode;
    int32_t calls[TP_ENTRIES]; // every call, counted
    int32_t logged;            // the first TP_MAX_CALLS calls, in order
    TESTPLUGINCALL log[TP_MAX_CALLS];
    int32_t badHandles; // calls with a handle that is not open
};

extern "C" TESTPLUGINSTATE *TestPlugin_State();

// Palette entry i of the gain (kind 0) or the delay (kind 1).
static inline uint32_t TestPlugin_Colour(int kind, int i)
{
    return kind == 0 ? (uint32_t)((i << 16) | ((255 - i) << 8) | ((i * 3) & 255))
                     : (uint32_t)(((255 - i) << 16) | (i << 8) | 0x40);
}

// Colour index of pixel (x, y) after the instance's n-th draw (0 = as opened).
static inline uint8_t TestPlugin_Index(int x, int y, int n)
{
    return (uint8_t)(x + 2 * y + 5 * n);
}
