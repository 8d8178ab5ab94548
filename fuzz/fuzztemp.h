// Where the fuzz targets put their scratch files: $TMPDIR when set, so the seed replay can give
// each target a folder of its own and remove it afterwards.
#pragma once

#include <cstdlib>
#include <string>

inline std::string FuzzTempDir()
{
    const char *dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}
