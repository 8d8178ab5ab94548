// Saved resource references (12 bytes each, as song files carry them) over arbitrary bytes,
// resolved against a small archive of every resource kind and released again.
#include "core/archive.h"
#include "fuzz/fuzztemp.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/texpages.h"
#include "tools/packer.h"
#include "tools/reswriters.h"
#include "video/resloaders.h"
#include "video/respages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool OpenArchive()
{
    std::string folder = FuzzTempDir() + "/tnv_fuzz_resref_XXXXXX";
    if (!mkdtemp(folder.data()))
        return false;
    PACKDIR root;
    for (const char *d : {"AUTO", "CHASES", "JAMTEM", "PERF", "R", "N/A", "B/B/A", "B/D/A", "B/F/A", "D/B/A", "D/D/A",
                          "F/A", "H/A", "J/A", "L/A", "P/A", "T/A", "B/H/A/A"})
        Pack_Dir(root, d);
    Pack_Dir(root, "BOOT").files = {{"DEFRIF", "", {1}}, {"EFFREAL", "", {1}}};
    const std::vector<uint8_t> tim = Content_WriteTim8(64, 64, std::vector<uint8_t>(64 * 64, 1), {0, 0x1234});
    const std::vector<uint8_t> points = Content_WritePointList({{0, 0, 0, true}, {5, 5, 5, false}}, true);
    Pack_Dir(root, "B/D/A").files = {{"TEX0", "", tim}};
    Pack_Dir(root, "F/A").files = {{"MAP0", "", tim}};
    Pack_Dir(root, "H/A").files = {{"PATH0", "", points}};
    Pack_Dir(root, "B/H/A/A").files = {{"SHORT", "", {1, 2, 3}}};
    Pack_Dir(root, "T/A").files = {{"TITLE", "", Content_WriteTextDef("T", 1, 2)}};
    std::vector<uint8_t> index, data;
    std::string err;
    if (!Pack_Build(root, PACKOPTIONS{}, index, data, err) ||
        !Pack_WriteArchive(std::string(folder) + "/WADS", index, data, err))
        return false;
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", folder.c_str());
    Sys_DiscInit();
    Vid_CreateResPagePool();
    Vid_InstallResLoaders();
    Gfx_InitTexturePages();
    return Sys_WadOpen("demowad.WAD", "demowad.IND", 3) == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = OpenArchive();
    if (!ready)
        return 0;
    for (size_t at = 0; at + RESREF_SIZE <= size; at += RESREF_SIZE) {
        const int32_t id = Vid_LoadSavedResRef(data + at);
        if (id > 0)
            Vid_ReleaseResource(id);
    }
    return 0;
}
