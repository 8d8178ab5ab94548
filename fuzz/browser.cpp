// Song files from outside as the disk browser reads them, and any name as the list draws it: the
// loads stay inside their buffers and take exactly the bytes behind a valid header.
#include "core/browser.h"
#include "fuzz/fuzztemp.h"
#include "core/cardsave.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1 << 20))
        return 0;

    // Any name: three lines, terminated, none longer than a cell's worth.
    std::string name(reinterpret_cast<const char *>(data), std::min<size_t>(size, 300));
    name = name.c_str();
    char lines[3][BROWSER_LINE_BYTES];
    const uint32_t count = Sys_BuildDisplayLines(name.c_str(), lines);
    if (count > 3)
        abort();
    for (auto &line : lines) {
        if (strnlen(line, BROWSER_LINE_BYTES) >= BROWSER_LINE_BYTES)
            abort();
    }

    static std::string dir = [] {
        std::string tmpl = FuzzTempDir() + "/tnv_fuzz_browser_XXXXXX";
        return mkdtemp(tmpl.data()) ? tmpl : std::string();
    }();
    if (dir.empty())
        return 0;
    const std::string file = dir + "/f.tnv";
    FILE *f = std::fopen(file.c_str(), "wb");
    if (!f)
        return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    if (!written || Sys_BrowseDirectory(dir.c_str()) != 0 || g_iBrowserEntryCount != 2)
        return 0;

    const int32_t offset = Sys_LocateSaveData(data, size);
    std::vector<uint8_t> buffer(4096, 0xA5);
    const int32_t ok = Sys_LoadBrowserEntry(buffer.data(), 1, nullptr, buffer.size());
    const bool fits = offset >= 0 && size > static_cast<size_t>(offset) && size - offset <= buffer.size();
    if (ok != (fits ? 1 : 0))
        abort();
    if (ok && std::memcmp(buffer.data(), data + offset, size - offset) != 0)
        abort();

    uint8_t preview[BROWSER_PREVIEW_BYTES];
    const int32_t kind = Sys_ReadSongPreview(preview, 1);
    if (kind != (offset >= 0 ? 0 : 2))
        abort();
    return 0;
}
