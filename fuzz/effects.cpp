// The built-in effects on values as a song's edit chain may carry them: any effect number, any
// row values (through the setter, as a replayed chain sets them, or written straight into the
// rows), any rate and any samples. Every run stays inside its buffers and frees what it made.
#include "audio/effects.h"
#include "core/fixmath.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

int32_t Take32(const uint8_t *&data, size_t &size)
{
    uint32_t v = 0;
    size_t n = size < 4 ? size : 4;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return (int32_t)v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool started = (Sys_BuildSineTable(), true);
    (void)started;
    if (size < 8 || size > (1u << 16))
        return 0;
    if (Snd_BuildEffects() != 0)
        return 0;
    int32_t head = Take32(data, size);
    int32_t effect = (head & 0xFF) % 9; // 8: an effect that does not exist
    bool direct = head & 0x100;
    int32_t rate = Take32(data, size);
    // Keep lines small enough for the fuzzer's memory limit.
    Snd_SetEffectSampleRate(rate % 200000);
    if (effect < EFFECT_COUNT)
        for (uint32_t r = 0; r < g_apEffects[effect]->uRowCount && size >= 4; r++)
        {
            int32_t v = Take32(data, size);
            if (direct)
                g_apEffects[effect]->pRows[r].iCurrent = v;
            else
                Snd_SetEffectParam(effect, (int32_t)r, v);
        }
    Snd_SelectEffect(effect);
    std::vector<int16_t> samples(size / 2);
    if (!samples.empty())
        std::memcpy(samples.data(), data, samples.size() * 2);
    Snd_RunEffect(effect, samples.data(), (int32_t)samples.size());
    Snd_ReleaseEffect(effect);
    Snd_FreeEffects();
    return 0;
}
