// tnv_pack FOLDER OUTDIR [--disc-name NAME] [--disc-number N]
// Packs a folder tree into OUTDIR/demowad.IND and OUTDIR/demowad.WAD.
#include "tools/packer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: %s FOLDER OUTDIR [--disc-name NAME] [--disc-number N]\n", argv[0]);
        return 2;
    }
    PACKOPTIONS options;
    for (int i = 3; i < argc; i++)
    {
        std::string a = argv[i];
        if (a == "--disc-name" && i + 1 < argc)
        {
            options.discName = argv[++i];
        }
        else if (a == "--disc-number" && i + 1 < argc)
        {
            char *end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (*end || n < 0 || n > 65535)
            {
                std::fprintf(stderr, "tnv_pack: bad disc number %s\n", argv[i]);
                return 2;
            }
            options.discNumber = (uint16_t)n;
        }
        else
        {
            std::fprintf(stderr, "tnv_pack: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (options.discName.size() > 31)
    {
        std::fprintf(stderr, "tnv_pack: the disc name is longer than 31 characters\n");
        return 2;
    }
    PACKDIR root;
    std::vector<uint8_t> index, data;
    std::string err;
    if (!Pack_ReadTree(argv[1], root, err) || !Pack_Build(root, options, index, data, err) ||
        !Pack_WriteArchive(argv[2], index, data, err))
    {
        std::fprintf(stderr, "tnv_pack: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
