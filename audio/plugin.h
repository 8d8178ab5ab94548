// Effect plug-ins: the list of plug-in libraries, the table of open instances, the calls into
// the libraries (audio/pluginabi.h) and the drawing of the displayed instance's picture.
//
// Libraries are looked up only in the plug-in folder: TNV_PLUGIN_DIR (an absolute path), else
// "plugins" beside the program. The list keeps the names "filter.dll" and "reverb.dll"; the files opened are
// <folder>/filter.so and <folder>/reverb.so.
//
// Locks: g_csPlugins guards the list, the table, the displayed instance, the picture buffer and
// every call into a library. It lives for the whole program. Order: g_csMix (core/mixlock.h)
// before g_csPlugins; closing takes both, so no block is mixed into a closing instance. A library
// that hangs stalls the mix, which waits for the lock.
#pragma once

#include "audio/pluginabi.h"

#include <cstdint>
#include <mutex>

struct PLATDYNLIB;

constexpr int SND_PLUGIN_SLOTS = 80;
constexpr int SND_PLUGIN_LIST_SIZE = 80;
constexpr int SND_PLUGIN_NAME_BYTES = 16;
// Input of an instance: at least the 1024 bytes of the contract, and room for the largest block
// the mixer accepts, since attached voices are mixed into it.
constexpr int32_t SND_PLUGIN_INPUT_BYTES = 16384;
constexpr int32_t SND_PLUGIN_PICTURE_X = 512; // picture position before a jam screen sets it

struct PLUGININSTANCE
{
    uint32_t uBlockFlag; // cleared after each apply
    char szName[32];     // library name from the list
    uint32_t uOutValue;  // third argument of PLUGIN_Open
    int16_t *pInput;     // attached voices mix into it (SND_PLUGIN_INPUT_BYTES)
    uint8_t *pOfferedPicture;  // ours; null once the library gave its own
    uint32_t *pOfferedPalette; // ours; null once the library gave its own
    uint8_t *pPicture;         // in use: 128 x 64 colour indexes
    uint32_t *pPalette;        // in use: 256 colours 0xRRGGBB
    uint16_t auColours[256];   // the palette as display pixels, made at open
    uint8_t *pWork;            // PLUGIN_WORK_BYTES, given to PLUGIN_Open
    uint32_t uHandle;          // written by PLUGIN_Open
    PLUGINOPENPROC pfnOpen;
    PLUGINCLOSEPROC pfnClose;
    PLUGINAPPLYPROC pfnApply;
    PLUGININPUTPROC pfnInput;
    PLUGINRESETPROC pfnReset;
    PLUGINDRAWPROC pfnDraw;
    PLUGINGETPROC pfnGet;
    PLUGINSETPROC pfnSet;
    PLATDYNLIB *pModule;
};

extern std::recursive_mutex g_csPlugins;
extern char g_aszPluginNames[SND_PLUGIN_LIST_SIZE][SND_PLUGIN_NAME_BYTES];
extern int32_t g_iPluginCount;
extern PLUGININSTANCE *g_apPlugins[SND_PLUGIN_SLOTS];
extern uint16_t *g_pPluginPicture; // 128 x 64 display pixels, shared by all instances
extern PLUGININSTANCE *g_pPluginDisplayed;
extern int32_t g_iPluginPictureX;
extern int32_t g_iPluginPictureY;

// Start of a jam session: closes any instance still open, lists "filter.dll" then "reverb.dll"
// when they load and export PLUGIN_Open, and allocates the picture buffer.
void Snd_ScanPlugins();
// 1 when the library loads and exports PLUGIN_Open, else 0. Never leaves it loaded.
int Snd_TestPluginDll(const char *fileName);
// End of a jam session: closes every instance and frees the picture buffer.
void Snd_ShutdownPlugins();
// Opens an instance of list entry listIndex. Returns its slot 0..79 and writes the instance to
// *ppOut; -1 (and null) when the index is not listed, all slots are taken, the library no longer
// loads or lacks an entry point, or memory runs out. A failed open leaves nothing behind.
int Snd_OpenPlugin(int32_t listIndex, PLUGININSTANCE **ppOut);
// Lowest empty slot, or -1.
int Snd_FindFreePluginSlot();
// Closes the instance in the slot; an empty slot or a number outside 0..79 does nothing.
void Snd_ClosePlugin(int32_t slot);
// The slot's instance becomes the displayed one (none for an empty slot); a number outside
// 0..79, -1 among them, changes nothing.
void Snd_SelectPluginDisplay(int32_t slot);
// The jam's form: an open instance becomes the displayed one; null, or a record that is not in
// the table, displays none.
void Snd_SelectPluginDisplay(PLUGININSTANCE *pInstance);
// Draws the displayed instance's picture into the layer at (g_iPluginPictureX, g_iPluginPictureY).
void Snd_DrawPluginDisplay();
// Passes a pointer event {1, (high & 15) << 4 | (low & 15), first, second} to the slot's instance.
// unused1 and unused2 are not read. -1, an empty slot or a number outside 0..79 does nothing.
void Snd_PluginInput(int32_t slot, int32_t first, int32_t second, int32_t unused1, int32_t unused2,
                     int32_t low, int32_t high);
// Writes the instance of slot 0..79 (null when empty, or for any other slot). Returns 0.
int Snd_GetPlugin(int32_t slot, PLUGININSTANCE **ppOut);
// Runs every open instance over the block in slot order, then clears its input. Returns 0.
int Snd_ApplyPlugins(int16_t *pMix, int32_t frames);
