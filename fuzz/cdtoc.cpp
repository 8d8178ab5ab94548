// The CD player on an arbitrary table of contents from the drive and arbitrary commands: damaged
// tables are refused, positions stay on the disc and every read stays inside what the drive has.
#include "audio/cdaudio.h"
#include "platform/backend.h"
#include "platform/cd.h"
#include "platform/clock.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

PLATCDTOC s_toc;
int32_t s_sectors = 0; // what the drive holds

int32_t Word(const uint8_t *p) { return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24); }

const PLATCDAUDIOOPS s_ops = {
    [] { return (int)PLAT_CDA_OK; },
    [] {},
    [] { return (int)PLAT_CDA_OK; },
    [](PLATCDTOC *toc) {
        *toc = s_toc;
        return (int)PLAT_CDA_OK;
    },
    [](int32_t sector, int32_t count, void *buffer) {
        if (sector < 0 || count < 0 || (int64_t)sector + count > s_sectors)
            abort(); // the player asked for what is not on the disc
        std::memset(buffer, 0x11, (size_t)count * PLAT_CDA_SECTOR_BYTES);
        return (int)PLAT_CDA_OK;
    },
    [] { return (int)PLAT_CDA_OK; },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool started = [] {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_CdAudioSetOps(&s_ops);
        return true;
    }();
    if (!started || size < 1)
        return 0;
    std::memset(&s_toc, 0, sizeof s_toc);
    size_t at = 0;
    s_toc.iTrackCount = (int8_t)data[at++];
    int tracks = s_toc.iTrackCount < 0 ? 0 : std::min<int>(s_toc.iTrackCount, PLAT_CDA_MAX_TRACKS);
    int64_t end = 0;
    for (int n = 0; n < tracks && at + 8 <= size; ++n, at += 8) {
        s_toc.aiStart[n] = Word(data + at);
        s_toc.aiLength[n] = Word(data + at + 4);
        end = std::max<int64_t>(end, (int64_t)s_toc.aiStart[n] + s_toc.aiLength[n]);
    }
    s_sectors = (int32_t)std::min<int64_t>(end, INT32_MAX);

    g_iCdDeviceId = -1;
    Snd_CdOpenDevice();
    CDTRACKENTRY table[CD_MAX_TRACKS + 2];
    int count = Snd_CdGetTrackTable(table);
    if (count < 0 || count > CD_MAX_TRACKS)
        abort();
    std::vector<int16_t> block(72 * 2);
    uint8_t result[4];
    for (; at + 4 <= size; at += 4) {
        const uint8_t param[3] = {data[at + 1], data[at + 2], data[at + 3]};
        if (data[at] & 0x80)
            Snd_CdPositionCommand(data[at] & 0x1F, param, result);
        else
            Snd_CdCommand(data[at] & 0x0F, param, result);
        Plat_ManualClockAdvance((uint64_t)data[at + 3] * 10000);
        Snd_CdMixInto(block.data(), 72);
    }
    Snd_CdCloseDevice();
    g_iCdState = CD_STATE_NONE;
    return 0;
}
