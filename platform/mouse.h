// The mouse as the interface reads it: movement since the last read and the button state, the way
// a system-mouse device answers an immediate state read.
//
// Real backend: SDL2. While acquired the window takes the mouse in relative mode (the interface
// draws its own pointer and moves it by the deltas); a window that loses the focus loses the
// input, and acquiring again only works while the window has the focus. No SDL video (no window)
// means no device, which is not an error for the program: it simply has no pointer movement.
// Headless backend: always present; fed by the mouse lines of the input script (platform/window.h)
// and by the test hooks below.
//
// Main thread only.
#pragma once

#include <cstdint>

// One immediate read: x, y, z movement since the last read, then four button bytes whose bit 7 is
// set while the button is held. 16 bytes, the layout the interface code expects.
struct PLATMOUSESTATE
{
    int32_t dx;
    int32_t dy;
    int32_t dz;
    uint8_t buttons[4];
};
static_assert(sizeof(PLATMOUSESTATE) == 16);

// Results (0 = success).
enum : int32_t
{
    PLAT_MOUSE_OK = 0,
    PLAT_MOUSE_NODEVICE = -1,      // no mouse to open, or none open
    PLAT_MOUSE_INPUTLOST = -2,     // the window lost the input since the last read; acquire again
    PLAT_MOUSE_NOTACQUIRED = -3,   // read without being acquired
    PLAT_MOUSE_OTHERHASPRIO = -4,  // acquire refused: the window is not in the foreground
};

// Opens the system mouse. PLAT_MOUSE_OK or PLAT_MOUSE_NODEVICE.
int32_t Plat_MouseOpen();
void Plat_MouseClose();
bool Plat_MouseIsOpen();
// Acquire (on) or let go (off). Acquiring an acquired mouse is fine.
int32_t Plat_MouseAcquire(bool on);
// Reads the state. Any failure leaves *state untouched.
int32_t Plat_MouseGetState(PLATMOUSESTATE *state);

// The window lost the focus (the window calls this): the pointer goes back to the desktop and
// the next read answers PLAT_MOUSE_INPUTLOST.
void Plat_MouseFocusLost();

// Headless test hooks. Movement adds up until the next read. Button changes wait in order and a
// read applies at most one of them, so a press and a release queued together are seen as a held
// button on one read and a released one on the next.
void Plat_MouseHeadlessMove(int32_t dx, int32_t dy, int32_t dz);
void Plat_MouseHeadlessButton(int button, bool down); // button 0..3
// The window loses the input: the next read answers PLAT_MOUSE_INPUTLOST.
void Plat_MouseHeadlessLoseInput();
// While on, acquiring fails with PLAT_MOUSE_OTHERHASPRIO.
void Plat_MouseHeadlessRefuseAcquire(bool on);
// Back to load state: nothing pending, nothing refused, buttons up.
void Plat_MouseHeadlessReset();
