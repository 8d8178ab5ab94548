// Backend selection of the platform layer.
//
// Every facility in platform/ has a real backend (SDL2 and friends) and a headless one that the
// tests use. TNV_BACKEND=headless selects every headless backend; anything else, or nothing,
// selects the real ones. Tests may also force a choice with Plat_SetBackend.
#pragma once

enum PLATBACKEND
{
    PLAT_BACKEND_REAL = 0,
    PLAT_BACKEND_HEADLESS = 1,
};

// The backend in force: read once from TNV_BACKEND, unless set explicitly.
PLATBACKEND Plat_Backend();
bool Plat_IsHeadless();
void Plat_SetBackend(PLATBACKEND backend);

// Reads an environment variable; null when unset or empty. Only test hooks and paths use this.
const char *Plat_GetEnv(const char *name);
// Integer value of an environment variable, or fallback when unset or not a number.
long Plat_GetEnvInt(const char *name, long fallback);
