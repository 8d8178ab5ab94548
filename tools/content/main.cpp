// tnv_content SOURCE OUTDIR
// Builds the studio's data folder OUTDIR from the sources in SOURCE (the project's data/ folder)
// and what it synthesises. For now: the archive WADS/demowad.IND + WADS/demowad.WAD from
// SOURCE/archive, with the directories and boot files the studio needs always present.
#include "tools/packer.h"

#include <cstdio>
#include <string>

namespace {

// Directories the archive must hold for the studio to open it.
const char *const kRequiredDirs[] = {"N", "R", "PERF", "CHASES", "JAMTEM", "AUTO", "BOOT"};

// Boot files the sequencer loads after every open; empty until the sequencer's content exists.
const char *const kBootFiles[] = {"DEFRIF", "EFFREAL"};

void EnsureFile(PACKDIR &dir, const char *name)
{
    for (const PACKFILE &f : dir.files)
        if (f.name == name)
            return;
    PACKFILE f;
    f.name = name;
    dir.files.push_back(f);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s SOURCE OUTDIR\n", argv[0]);
        return 2;
    }
    std::string source = argv[1];
    std::string out = argv[2];

    PACKDIR root;
    std::string err;
    if (!Pack_ReadTree(source + "/archive", root, err))
    {
        std::fprintf(stderr, "tnv_content: %s\n", err.c_str());
        return 1;
    }
    for (const char *d : kRequiredDirs)
        Pack_Dir(root, d);
    PACKDIR &boot = Pack_Dir(root, "BOOT");
    for (const char *f : kBootFiles)
        EnsureFile(boot, f);

    std::vector<uint8_t> index, data;
    if (!Pack_Build(root, PACKOPTIONS{}, index, data, err) || !Pack_WriteArchive(out + "/WADS", index, data, err))
    {
        std::fprintf(stderr, "tnv_content: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
