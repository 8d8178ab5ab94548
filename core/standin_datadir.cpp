// Stand-in for the settings' data folder until the settings module is built: empty, so names
// are taken relative to the starting folder. Weak, so the real definition wins at link time.
#include "core/file.h"

__attribute__((weak)) char g_szDataDir[256];
