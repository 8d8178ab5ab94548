// Inside the platform layer only: the SDL window of the real backend, for the display.
#pragma once

#include <SDL.h>

// Null while there is no real window.
SDL_Window *Plat_WindowSdlHandle();
// The largest whole scale of a width x height picture that fits the desktop (1 without one).
int Plat_WindowScaleFor(int width, int height);
