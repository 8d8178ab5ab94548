// Save files and save headers from outside: locating the data, checking the header, loading a
// slot's icon and title, and reading the file back into a bounded buffer never go out of bounds.
#include "core/cardsave.h"
#include "fuzz/fuzztemp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1 << 20))
        return 0;
    const int32_t offset = Sys_LocateSaveData(data, size);
    if (offset != -1 && offset != SAVEFILE_DATA_OFFSET && offset != SAVEHEADER_BYTES)
        abort();
    if (offset > 0 && static_cast<size_t>(offset) > size)
        abort();

    // The header as a save list reads it, whatever its length.
    std::vector<uint8_t> head(data, data + size);
    CARDICONREQUEST r{3, static_cast<int32_t>(size % CARD_SLOTS), head.data(), static_cast<uint32_t>(head.size()), 2 | 8};
    Sys_CardLoadSaveIcon(&r);
    if (size >= 64) {
        char title[CARD_TITLE_BYTES];
        Sys_DecodeSaveTitle(data, title);
    }

    // The same bytes as a file on disk, read into a buffer smaller than some inputs.
    // One unlinked scratch file for the whole run, reached through its descriptor.
    static char path[64];
    static int fd = [] {
        std::string scratch = FuzzTempDir() + "/tnv_fuzz_cardsave_XXXXXX";
        int f = mkstemp(scratch.data());
        if (f >= 0) {
            unlink(scratch.c_str());
            std::snprintf(path, sizeof path, "/proc/self/fd/%d", f);
        }
        return f;
    }();
    if (fd < 0)
        return 0;
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    std::vector<uint8_t> buffer(4096);
    SAVEHEADER header;
    const int32_t got = Sys_ReadSaveFile(path, &header, buffer.data(), buffer.size());
    if (got >= 0 && (offset < 0 || static_cast<size_t>(got) != size - static_cast<size_t>(offset) ||
                     std::memcmp(buffer.data(), data + offset, static_cast<size_t>(got)) != 0))
        abort();
    if (got < 0 && offset >= 0 && size - static_cast<size_t>(offset) <= buffer.size())
        abort();
    return 0;
}
