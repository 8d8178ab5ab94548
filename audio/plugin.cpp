#include "audio/plugin.h"

#include "audio/mixer.h"
#include "core/mixlock.h"
#include "platform/backend.h"
#include "platform/dynlib.h"
#include "platform/paths.h"
#include "render/screentiles.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

// The only libraries ever tried, in this order.
const char *const s_apszCandidates[] = {"filter.dll", "reverb.dll"};

std::string PluginDir()
{
    if (const char *env = Plat_GetEnv("TNV_PLUGIN_DIR"))
        return env;
    std::string exe = Plat_ExecutableDir();
    return exe.empty() ? std::string() : exe + "/plugins";
}

// "filter.dll" -> <plugin folder>/filter.so; empty for a name that could reach another folder.
std::string LibraryPath(const char *fileName)
{
    std::string name = fileName ? fileName : "";
    if (name.empty() || name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
        name == "." || name == "..")
        return {};
    if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".dll") == 0)
        name.resize(name.size() - 4);
    std::string dir = PluginDir();
    if (dir.empty() || dir[0] != '/')
        return {};
    return dir + "/" + name + ".so";
}

// Frees what the studio allocated for an instance and drops its library.
void FreeInstance(PLUGININSTANCE *p)
{
    free(p->pOfferedPicture);
    free(p->pOfferedPalette);
    free(p->pInput);
    free(p->pWork);
    Plat_DynLibClose(p->pModule);
    free(p);
}

template <typename T> bool Resolve(PLATDYNLIB *pModule, const char *name, T &pfn)
{
    pfn = reinterpret_cast<T>(Plat_DynLibSymbol(pModule, name));
    return pfn != nullptr;
}
} // namespace

static_assert(SND_PLUGIN_INPUT_BYTES >= SND_MAX_MIX_FRAMES * 4, "a block must fit an input");
static_assert(SND_PLUGIN_INPUT_BYTES >= 1024, "the contract's input size");

std::recursive_mutex g_csPlugins;
char g_aszPluginNames[SND_PLUGIN_LIST_SIZE][SND_PLUGIN_NAME_BYTES];
int32_t g_iPluginCount;
PLUGININSTANCE *g_apPlugins[SND_PLUGIN_SLOTS];
uint16_t *g_pPluginPicture;
PLUGININSTANCE *g_pPluginDisplayed;
int32_t g_iPluginPictureX = SND_PLUGIN_PICTURE_X;
int32_t g_iPluginPictureY;

int Snd_TestPluginDll(const char *fileName)
{
    std::string path = LibraryPath(fileName);
    if (path.empty())
        return 0;
    PLATDYNLIB *pModule = Plat_DynLibOpen(path.c_str());
    if (!pModule)
        return 0;
    int found = Plat_DynLibSymbol(pModule, "PLUGIN_Open") != nullptr;
    // Listing a library does not keep it loaded: an instance loads it again while it lives.
    Plat_DynLibClose(pModule);
    return found;
}

void Snd_ScanPlugins()
{
    // Instances left from an earlier session would otherwise stay loaded with nothing to close
    // them. Closing takes g_csMix first, so it runs before g_csPlugins is taken here.
    for (int32_t slot = 0; slot < SND_PLUGIN_SLOTS; slot++)
        Snd_ClosePlugin(slot);

    // Loading a candidate runs its start-up code; keep that outside the lock the mix waits on.
    char aszFound[SND_PLUGIN_LIST_SIZE][SND_PLUGIN_NAME_BYTES] = {};
    int32_t found = 0;
    for (const char *pszName : s_apszCandidates) {
        if (Snd_TestPluginDll(pszName)) {
            strncpy(aszFound[found], pszName, SND_PLUGIN_NAME_BYTES - 1);
            found++;
        }
    }

    Lock lock(g_csPlugins);
    for (PLUGININSTANCE *&p : g_apPlugins)
        p = nullptr;
    g_pPluginDisplayed = nullptr;
    memcpy(g_aszPluginNames, aszFound, sizeof(g_aszPluginNames));
    g_iPluginCount = found;
    if (!g_pPluginPicture)
        g_pPluginPicture = static_cast<uint16_t *>(
            calloc(PLUGIN_PICTURE_WIDTH * PLUGIN_PICTURE_HEIGHT, sizeof(uint16_t)));
}

void Snd_ShutdownPlugins()
{
    for (int32_t slot = 0; slot < SND_PLUGIN_SLOTS; slot++)
        Snd_ClosePlugin(slot);
    Lock lock(g_csPlugins);
    g_pPluginDisplayed = nullptr;
    free(g_pPluginPicture);
    g_pPluginPicture = nullptr;
}

int Snd_FindFreePluginSlot()
{
    Lock lock(g_csPlugins);
    for (int32_t slot = 0; slot < SND_PLUGIN_SLOTS; slot++)
        if (!g_apPlugins[slot])
            return slot;
    return -1;
}

int Snd_OpenPlugin(int32_t listIndex, PLUGININSTANCE **ppOut)
{
    if (ppOut)
        *ppOut = nullptr;
    Lock lock(g_csPlugins);
    // The index may come from another player's command: only listed libraries are opened.
    if (listIndex < 0 || listIndex >= g_iPluginCount || listIndex >= SND_PLUGIN_LIST_SIZE)
        return -1;
    // With every slot taken nothing is loaded or opened, so nothing is left outside the table.
    int32_t slot = Snd_FindFreePluginSlot();
    if (slot < 0)
        return -1;
    std::string path = LibraryPath(g_aszPluginNames[listIndex]);
    if (path.empty())
        return -1;

    PLUGININSTANCE *p = static_cast<PLUGININSTANCE *>(calloc(1, sizeof(PLUGININSTANCE)));
    if (!p)
        return -1;
    memcpy(p->szName, g_aszPluginNames[listIndex], SND_PLUGIN_NAME_BYTES);
    p->szName[SND_PLUGIN_NAME_BYTES - 1] = 0;
    p->pModule = Plat_DynLibOpen(path.c_str());
    if (!p->pModule) {
        FreeInstance(p);
        return -1;
    }
    bool all = Resolve(p->pModule, "PLUGIN_Open", p->pfnOpen);
    all = Resolve(p->pModule, "PLUGIN_Close", p->pfnClose) && all;
    all = Resolve(p->pModule, "PLUGIN_Apply", p->pfnApply) && all;
    all = Resolve(p->pModule, "PLUGIN_Input", p->pfnInput) && all;
    all = Resolve(p->pModule, "PLUGIN_Reset", p->pfnReset) && all;
    all = Resolve(p->pModule, "PLUGIN_Draw", p->pfnDraw) && all;
    all = Resolve(p->pModule, "PLUGIN_Get", p->pfnGet) && all;
    all = Resolve(p->pModule, "PLUGIN_Set", p->pfnSet) && all;
    // Everything is allocated before the library hears of the instance, so a failure here
    // never leaves an opened instance to close.
    p->pWork = static_cast<uint8_t *>(calloc(1, PLUGIN_WORK_BYTES));
    p->pOfferedPicture = static_cast<uint8_t *>(calloc(1, PLUGIN_PICTURE_BYTES));
    p->pOfferedPalette = static_cast<uint32_t *>(calloc(1, PLUGIN_PALETTE_BYTES));
    p->pInput = static_cast<int16_t *>(calloc(1, SND_PLUGIN_INPUT_BYTES));
    if (!all || !p->pWork || !p->pOfferedPicture || !p->pOfferedPalette || !p->pInput) {
        FreeInstance(p);
        return -1;
    }
    p->pPicture = p->pOfferedPicture;
    p->pPalette = p->pOfferedPalette;
    p->pfnOpen(&p->uHandle, p->pWork, &p->uOutValue, &p->pPicture, &p->pPalette);

    // Null or untouched: the library draws into our buffer, which we keep. Anything else is the
    // library's own until it closes, and ours is no longer needed.
    if (!p->pPicture || p->pPicture == p->pOfferedPicture) {
        p->pPicture = p->pOfferedPicture;
    } else {
        free(p->pOfferedPicture);
        p->pOfferedPicture = nullptr;
    }
    if (!p->pPalette || p->pPalette == p->pOfferedPalette) {
        p->pPalette = p->pOfferedPalette;
    } else {
        free(p->pOfferedPalette);
        p->pOfferedPalette = nullptr;
    }
    Gfx_ConvertPalette(p->pPalette, p->auColours);

    g_apPlugins[slot] = p;
    if (ppOut)
        *ppOut = p;
    return slot;
}

void Snd_ClosePlugin(int32_t slot)
{
    if (slot < 0 || slot >= SND_PLUGIN_SLOTS)
        return;
    Lock mixLock(g_csMix);
    Lock lock(g_csPlugins);
    PLUGININSTANCE *p = g_apPlugins[slot];
    if (!p)
        return;
    if (p->pfnClose)
        p->pfnClose(p->uHandle);
    if (g_pPluginDisplayed == p)
        g_pPluginDisplayed = nullptr;
    g_apPlugins[slot] = nullptr;
    FreeInstance(p);
}

void Snd_SelectPluginDisplay(int32_t slot)
{
    if (slot < 0 || slot >= SND_PLUGIN_SLOTS)
        return;
    Lock lock(g_csPlugins);
    g_pPluginDisplayed = g_apPlugins[slot];
}

void Snd_SelectPluginDisplay(PLUGININSTANCE *pInstance)
{
    Lock lock(g_csPlugins);
    g_pPluginDisplayed = nullptr;
    if (!pInstance)
        return;
    for (PLUGININSTANCE *p : g_apPlugins)
        if (p == pInstance)
            g_pPluginDisplayed = p;
}

void Snd_DrawPluginDisplay()
{
    Lock lock(g_csPlugins);
    PLUGININSTANCE *p = g_pPluginDisplayed;
    if (!p || !g_pPluginPicture)
        return;
    if (p->pfnDraw)
        p->pfnDraw(p->uHandle);
    if (!p->pPicture)
        return;
    for (int i = 0; i < PLUGIN_PICTURE_BYTES; i++)
        g_pPluginPicture[i] = p->auColours[p->pPicture[i]];
    Gfx_CopyToLayer(g_iPluginPictureX, g_iPluginPictureY, PLUGIN_PICTURE_WIDTH,
                    PLUGIN_PICTURE_HEIGHT, g_pPluginPicture);
}

void Snd_PluginInput(int32_t slot, int32_t first, int32_t second, int32_t, int32_t, int32_t low,
                     int32_t high)
{
    Lock lock(g_csPlugins);
    uint8_t abEvent[PLUGIN_EVENT_BYTES] = {1, (uint8_t)(((high & 15) << 4) | (low & 15)),
                                           (uint8_t)first, (uint8_t)second};
    if (slot < 0 || slot >= SND_PLUGIN_SLOTS)
        return;
    PLUGININSTANCE *p = g_apPlugins[slot];
    if (p && p->pfnInput)
        p->pfnInput(p->uHandle, abEvent);
}

int Snd_GetPlugin(int32_t slot, PLUGININSTANCE **ppOut)
{
    if (!ppOut)
        return 0;
    Lock lock(g_csPlugins);
    *ppOut = (slot >= 0 && slot < SND_PLUGIN_SLOTS) ? g_apPlugins[slot] : nullptr;
    return 0;
}

int Snd_ApplyPlugins(int16_t *pMix, int32_t frames)
{
    if (!pMix || frames <= 0)
        return 0;
    if (frames > SND_PLUGIN_INPUT_BYTES / 4)
        frames = SND_PLUGIN_INPUT_BYTES / 4;
    Lock lock(g_csPlugins);
    for (PLUGININSTANCE *p : g_apPlugins) {
        if (!p)
            continue;
        if (p->pfnApply && p->pInput)
            p->pfnApply(p->uHandle, p->pInput, pMix, frames);
        if (p->pInput)
            memset(p->pInput, 0, (size_t)frames * 4);
        p->uBlockFlag = 0;
    }
    return 0;
}
