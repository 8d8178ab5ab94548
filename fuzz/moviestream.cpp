// Movie sectors from a disc over arbitrary bytes: the bytes are the disc, the movie lies at its
// first sector, and the stream runs for a while as a movie object would drive it.
#include "core/disc.h"
#include "core/moviestream.h"
#include "render/texpages.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

const uint8_t *s_data;
size_t s_size;
int s_position;

const PLATCDOPS s_ops = {
    [] { return 0; },
    [](int) { return int{PLAT_CD_ANSWER_DATA}; },
    [] { return int{PLAT_CD_ANSWER_DATA}; },
    [](int) { return 0; },
    [](PLATCDFILE *record, const char *) {
        std::memset(record, 0, sizeof *record);
        record->uSize = static_cast<uint32_t>(s_size);
        return 1;
    },
    [](int command, const uint8_t *param, uint8_t *result) {
        if (command == PLAT_CD_CMD_SETLOC || command == PLAT_CD_CMD_SEEKDATA)
            s_position = Sys_SectorFromMsf(param);
        if (command == PLAT_CD_CMD_GETLOC && result)
            Sys_MsfFromSector(s_position, result);
        return 1;
    },
    [](int, uint8_t *) { return int{PLAT_CD_ANSWER_DATA}; },
    [] { return 0; },
    [](int count, void *buffer, int) {
        std::memset(buffer, 0, static_cast<size_t>(count) * DISC_SECTOR_SIZE);
        for (int i = 0; i < count; i++) {
            const size_t from = (static_cast<size_t>(s_position) + i) * DISC_SECTOR_SIZE;
            if (s_position >= 0 && from < s_size)
                std::memcpy(static_cast<uint8_t *>(buffer) + static_cast<size_t>(i) * DISC_SECTOR_SIZE, s_data + from,
                            s_size - from < DISC_SECTOR_SIZE ? s_size - from : size_t{DISC_SECTOR_SIZE});
        }
        s_position += count;
        return 1;
    },
    [](int, uint8_t *) { return 0; },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    s_data = data;
    s_size = size;
    s_position = 0;
    Plat_CdSetOps(&s_ops);
    Sys_DiscInit();
    Gfx_InitTexturePages();
    if (Sys_StreamAcquire() && Sys_StreamStart("movie.str") == 0) {
        for (int i = 0; i < 40; i++) {
            Sys_StreamUpdate();
            // What a movie object would read of the picture.
            if (g_pStreamPixels) {
                volatile uint16_t sum = 0;
                for (int32_t p = 0; p < g_iStreamPixelWidth * g_iStreamPixelHeight; p++)
                    sum = static_cast<uint16_t>(sum + g_pStreamPixels[p]);
            }
        }
    }
    Sys_StreamShutdown();
    Sys_DiscShutdown();
    return 0;
}
