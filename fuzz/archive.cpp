// Archive index and listing readers: the input is split into an index file and a data file, the
// archive is opened and every directory reachable by index path is listed and read.
#include "core/archive.h"
#include "fuzz/fuzztemp.h"
#include "core/disc.h"
#include "core/file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string g_dir;

void WriteFile(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void Visit(uint16_t *path, int depth)
{
    int32_t count = 0;
    Sys_WadListDirByIndex(path, depth, &count);
    Sys_WadFileCountAt(path, depth);
    char name[8];
    Sys_WadNodeNameAt(path, depth, name, 8);
    if (depth >= 4)
        return;
    for (int k = 0; k < count && k < 4; k++)
    {
        path[depth] = (uint16_t)k;
        uint32_t size = 0;
        std::free(Sys_WadLoadEntryAlloc(0, path, depth + 1, name, &size));
        uint16_t out[WAD_MAX_DEPTH + 1];
        Sys_WadResolveCompanionPath(path, depth + 1, out, 2);
    }
    int children = Sys_WadCountAt(path, depth);
    for (int c = 0; c < children && c < 8; c++)
    {
        path[depth] = (uint16_t)c;
        Visit(path, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (g_dir.empty())
    {
        std::string tmpl = FuzzTempDir() + "/tnv_fuzz_wad_XXXXXX";
        if (!mkdtemp(tmpl.data()))
            std::abort();
        g_dir = tmpl;
        mkdir((g_dir + "/WADS").c_str(), 0755);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", g_dir.c_str());
        Sys_DiscInit();
        // Most inputs are broken archives: a line for each would bury the fuzzer's own report.
        g_bWadErrorsToConsole = 0;
    }
    if (size < 2)
        return 0;
    size_t indexSize = (size_t)(data[0] | data[1] << 8);
    data += 2;
    size -= 2;
    if (indexSize > size)
        indexSize = size;
    WriteFile(g_dir + "/WADS/demowad.IND", data, indexSize);
    WriteFile(g_dir + "/WADS/demowad.WAD", data + indexSize, size - indexSize);
    if (Sys_WadOpen("demowad.WAD", "demowad.IND", 3))
    {
        uint16_t path[WAD_MAX_DEPTH + 1] = {};
        Visit(path, 0);
        uint16_t out[WAD_MAX_DEPTH + 1];
        Sys_WadPathToIndices("/N/A~1", out);
        Sys_WadChangeDir("/PERF/x/y");
        uint8_t buf[64];
        Sys_WadLoadFileInto(buf, "/BOOT/DEFRIF", 0, sizeof(buf));
    }
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    return 0;
}
