// A small effect plug-in for the tests (see testplugin.h). Built several times:
//   TP_DELAY           the delay, else the gain;
//   TP_NO_OPEN         without PLUGIN_Open;
//   TP_MISSING_ENTRIES without PLUGIN_Draw and PLUGIN_Set.
#include "audio/pluginabi.h"
#include "tests/plugins/testplugin.h"

#include <string.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

#ifdef TP_DELAY
static const int s_iKind = 1;
#else
static const int s_iKind = 0;
#endif

namespace {
struct INSTANCE
{
    int used;
    int32_t gain;
    int32_t draws;
    uint8_t *pPicture;
    uint32_t *pPalette;
    uint8_t abOwnPicture[PLUGIN_PICTURE_BYTES];
    uint32_t auOwnPalette[256];
    int16_t aiDelay[TP_DELAY_FRAMES * 2];
    int32_t delayAt;
};

INSTANCE s_aInstances[TP_MAX_INSTANCES];
TESTPLUGINSTATE s_state = {s_iKind == 0 ? TP_POINTERS_OWN : TP_POINTERS_NULL, {}, 0, {}, 0};

TESTPLUGINCALL *Log(int32_t entry, uint32_t handle)
{
    s_state.calls[entry]++;
    if (s_state.logged >= TP_MAX_CALLS)
        return nullptr;
    TESTPLUGINCALL *c = &s_state.log[s_state.logged++];
    memset(c, 0, sizeof *c);
    c->entry = entry;
    c->handle = handle;
    return c;
}

INSTANCE *Find(uint32_t handle)
{
    uint32_t i = handle - TP_HANDLE_BASE;
    if (i < TP_MAX_INSTANCES && s_aInstances[i].used)
        return &s_aInstances[i];
    s_state.badHandles++;
    return nullptr;
}

void Draw(INSTANCE *p)
{
    for (int y = 0; y < PLUGIN_PICTURE_HEIGHT; y++)
        for (int x = 0; x < PLUGIN_PICTURE_WIDTH; x++)
            p->pPicture[y * PLUGIN_PICTURE_WIDTH + x] = TestPlugin_Index(x, y, p->draws);
}

void Reset(INSTANCE *p)
{
    p->gain = TP_UNITY_GAIN;
    p->draws = 0;
    memset(p->aiDelay, 0, sizeof p->aiDelay);
    p->delayAt = 0;
}

int16_t Saturate(int32_t v)
{
    return (int16_t)(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}
} // namespace

EXPORT TESTPLUGINSTATE *TestPlugin_State()
{
    return &s_state;
}

#ifndef TP_NO_OPEN
EXPORT int32_t PLUGIN_Open(uint32_t *pHandle, void *pWork, uint32_t *pOutValue, uint8_t **ppPicture,
                           uint32_t **ppPalette)
{
    TESTPLUGINCALL *c = Log(TP_OPEN, 0);
    if (c) {
        c->p1 = pWork;
        c->p2 = pOutValue;
        c->p3 = *ppPicture;
        c->p4 = *ppPalette;
    }
    int i = 0;
    while (i < TP_MAX_INSTANCES && s_aInstances[i].used)
        i++;
    if (i == TP_MAX_INSTANCES) {
        *pHandle = 0xFFFFFFFF;
        return -1;
    }
    INSTANCE *p = &s_aInstances[i];
    memset(p, 0, sizeof *p);
    p->used = 1;
    Reset(p);
    // Every byte the studio offers is written, so a short buffer shows under the sanitizers.
    memset(pWork, 0x5A, PLUGIN_WORK_BYTES);
    *pHandle = TP_HANDLE_BASE + (uint32_t)i;
    *pOutValue = TP_OUT_VALUE_BASE + (uint32_t)i;
    if (s_state.pointerMode == TP_POINTERS_OWN) {
        p->pPicture = p->abOwnPicture;
        p->pPalette = p->auOwnPalette;
        *ppPicture = p->pPicture;
        *ppPalette = p->pPalette;
    } else {
        p->pPicture = *ppPicture;
        p->pPalette = *ppPalette;
        if (s_state.pointerMode == TP_POINTERS_NULL) {
            *ppPicture = nullptr;
            *ppPalette = nullptr;
        }
    }
    for (int k = 0; k < 256; k++)
        p->pPalette[k] = TestPlugin_Colour(s_iKind, k);
    Draw(p);
    return 0;
}
#endif

EXPORT int32_t PLUGIN_Close(uint32_t handle)
{
    Log(TP_CLOSE, handle);
    if (INSTANCE *p = Find(handle))
        p->used = 0;
    return 0;
}

EXPORT int32_t PLUGIN_Apply(uint32_t handle, int16_t *pInput, int16_t *pMix, int32_t frames)
{
    if (TESTPLUGINCALL *c = Log(TP_APPLY, handle)) {
        c->p1 = pInput;
        c->p2 = pMix;
        c->n = frames;
    }
    INSTANCE *p = Find(handle);
    if (!p)
        return -1;
    for (int32_t i = 0; i < frames * 2; i++) {
        int32_t in = pInput[i];
        if (s_iKind == 1) {
            int16_t *pSlot = &p->aiDelay[p->delayAt * 2 + (i & 1)];
            int32_t out = *pSlot;
            *pSlot = (int16_t)in;
            if (i & 1)
                p->delayAt = (p->delayAt + 1) % TP_DELAY_FRAMES;
            in = out;
        } else {
            in = in * p->gain / TP_UNITY_GAIN;
        }
        pMix[i] = Saturate(pMix[i] + in);
    }
    return 0;
}

EXPORT int32_t PLUGIN_Input(uint32_t handle, const uint8_t *pEvent)
{
    if (TESTPLUGINCALL *c = Log(TP_INPUT, handle)) {
        c->p1 = pEvent;
        memcpy(c->event, pEvent, 4);
    }
    // The gain follows the pointer's x.
    if (INSTANCE *p = Find(handle))
        p->gain = pEvent[2];
    return 0;
}

EXPORT int32_t PLUGIN_Reset(uint32_t handle)
{
    Log(TP_RESET, handle);
    if (INSTANCE *p = Find(handle))
        Reset(p);
    return 0;
}

#ifndef TP_MISSING_ENTRIES
EXPORT int32_t PLUGIN_Draw(uint32_t handle)
{
    Log(TP_DRAW, handle);
    if (INSTANCE *p = Find(handle)) {
        p->draws++;
        Draw(p);
    }
    return 0;
}
#endif

EXPORT int32_t PLUGIN_Get(uint32_t handle, int32_t id)
{
    if (TESTPLUGINCALL *c = Log(TP_GET, handle))
        c->n = id;
    INSTANCE *p = Find(handle);
    return p && id == 0 ? p->gain : -1;
}

#ifndef TP_MISSING_ENTRIES
EXPORT int32_t PLUGIN_Set(uint32_t handle, int32_t id, int32_t value)
{
    if (TESTPLUGINCALL *c = Log(TP_SET, handle)) {
        c->n = id;
        c->value = value;
    }
    INSTANCE *p = Find(handle);
    if (p && id == 0)
        p->gain = value;
    return 0;
}
#endif
