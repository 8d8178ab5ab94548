// The system mouse: SDL2 backend and the headless one fed by the input script and test hooks.
#include "platform/mouse.h"

#include "platform/backend.h"
#include "platform/window.h"

#include <SDL.h>

#include <deque>
#include <utility>

namespace {

struct MouseState
{
    bool open = false;
    bool headless = true;
    bool acquired = false;
    bool lost = false;
    // Headless.
    bool refuseAcquire = false;
    int32_t dx = 0, dy = 0, dz = 0;
    uint8_t buttons[4] = {};
    std::deque<std::pair<int, bool>> buttonChanges;
};

MouseState s_mouse;

bool SdlWindowHasFocus()
{
    return SDL_GetKeyboardFocus() != nullptr;
}

void TakeScriptLines()
{
    PLATSCRIPTMOUSE m;
    while (Plat_WindowTakeScriptMouse(&m)) {
        if (m.button < 0)
            Plat_MouseHeadlessMove(m.dx, m.dy, 0);
        else
            Plat_MouseHeadlessButton(m.button, m.down);
    }
}

int32_t HeadlessRead(PLATMOUSESTATE *state)
{
    TakeScriptLines();
    if (!s_mouse.buttonChanges.empty()) {
        auto [button, down] = s_mouse.buttonChanges.front();
        s_mouse.buttonChanges.pop_front();
        s_mouse.buttons[button] = down ? 0x80 : 0;
    }
    state->dx = s_mouse.dx;
    state->dy = s_mouse.dy;
    state->dz = s_mouse.dz;
    for (int i = 0; i < 4; i++)
        state->buttons[i] = s_mouse.buttons[i];
    s_mouse.dx = s_mouse.dy = s_mouse.dz = 0;
    return PLAT_MOUSE_OK;
}

int32_t SdlRead(PLATMOUSESTATE *state)
{
    int x = 0, y = 0;
    uint32_t held = SDL_GetRelativeMouseState(&x, &y);
    state->dx = x;
    state->dy = y;
    state->dz = 0; // the wheel arrives as events; nothing here reads it
    state->buttons[0] = (held & SDL_BUTTON_LMASK) ? 0x80 : 0;
    state->buttons[1] = (held & SDL_BUTTON_RMASK) ? 0x80 : 0;
    state->buttons[2] = (held & SDL_BUTTON_MMASK) ? 0x80 : 0;
    state->buttons[3] = (held & SDL_BUTTON_X1MASK) ? 0x80 : 0;
    return PLAT_MOUSE_OK;
}

} // namespace

int32_t Plat_MouseOpen()
{
    if (s_mouse.open)
        return PLAT_MOUSE_OK;
    const bool headless = Plat_IsHeadless();
    if (!headless && SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return PLAT_MOUSE_NODEVICE;
    s_mouse.open = true;
    s_mouse.headless = headless;
    s_mouse.acquired = false;
    s_mouse.lost = false;
    return PLAT_MOUSE_OK;
}

void Plat_MouseClose()
{
    if (!s_mouse.open)
        return;
    Plat_MouseAcquire(false);
    s_mouse.open = false;
}

bool Plat_MouseIsOpen()
{
    return s_mouse.open;
}

int32_t Plat_MouseAcquire(bool on)
{
    if (!s_mouse.open)
        return PLAT_MOUSE_NODEVICE;
    if (!on) {
        if (s_mouse.acquired && !s_mouse.headless && SDL_WasInit(SDL_INIT_VIDEO))
            SDL_SetRelativeMouseMode(SDL_FALSE);
        s_mouse.acquired = false;
        return PLAT_MOUSE_OK;
    }
    if (s_mouse.acquired && !s_mouse.lost)
        return PLAT_MOUSE_OK;
    if (s_mouse.headless ? s_mouse.refuseAcquire : !SdlWindowHasFocus())
        return PLAT_MOUSE_OTHERHASPRIO;
    if (!s_mouse.headless) {
        // Relative mode may be missing (some drivers); motion then stops at the window's edges.
        SDL_SetRelativeMouseMode(SDL_TRUE);
        int x, y;
        SDL_GetRelativeMouseState(&x, &y); // movement from before the acquire is not ours
    }
    s_mouse.acquired = true;
    s_mouse.lost = false;
    return PLAT_MOUSE_OK;
}

int32_t Plat_MouseGetState(PLATMOUSESTATE *state)
{
    if (!s_mouse.open || !state)
        return PLAT_MOUSE_NODEVICE;
    if (!s_mouse.headless && s_mouse.acquired && !SdlWindowHasFocus()) {
        // Another window has the focus: give the pointer back to the desktop.
        SDL_SetRelativeMouseMode(SDL_FALSE);
        s_mouse.lost = true;
    }
    if (s_mouse.lost) {
        s_mouse.lost = false;
        s_mouse.acquired = false;
        return PLAT_MOUSE_INPUTLOST;
    }
    if (!s_mouse.acquired)
        return PLAT_MOUSE_NOTACQUIRED;
    return s_mouse.headless ? HeadlessRead(state) : SdlRead(state);
}

void Plat_MouseHeadlessMove(int32_t dx, int32_t dy, int32_t dz)
{
    s_mouse.dx += dx;
    s_mouse.dy += dy;
    s_mouse.dz += dz;
}

void Plat_MouseHeadlessButton(int button, bool down)
{
    if (button >= 0 && button < 4)
        s_mouse.buttonChanges.emplace_back(button, down);
}

void Plat_MouseFocusLost()
{
    if (!s_mouse.open || !s_mouse.acquired)
        return;
    if (!s_mouse.headless && SDL_WasInit(SDL_INIT_VIDEO))
        SDL_SetRelativeMouseMode(SDL_FALSE);
    s_mouse.lost = true;
}

void Plat_MouseHeadlessLoseInput()
{
    Plat_MouseFocusLost();
}

void Plat_MouseHeadlessRefuseAcquire(bool on)
{
    s_mouse.refuseAcquire = on;
}

void Plat_MouseHeadlessReset()
{
    s_mouse.refuseAcquire = false;
    s_mouse.lost = false;
    s_mouse.dx = s_mouse.dy = s_mouse.dz = 0;
    for (uint8_t &b : s_mouse.buttons)
        b = 0;
    s_mouse.buttonChanges.clear();
}
