#include "tools/interfacepictures.h"

#include "tools/interfaceset.h"

#include <cstdio>

std::vector<uint8_t> Content_InterfacePicture(int page)
{
    const INTERFACESET &set = Content_InterfaceSet();
    if (page < CONTENT_FIRST_PICTURE || page > CONTENT_LAST_PICTURE)
        return {};
    return set.pictures[static_cast<size_t>(page - CONTENT_FIRST_PICTURE)];
}

std::vector<CONTENTFILE> Content_InterfacePictureFiles()
{
    std::vector<CONTENTFILE> files;
    for (int page = CONTENT_FIRST_PICTURE; page <= CONTENT_LAST_PICTURE; page++) {
        char name[32];
        std::snprintf(name, sizeof name, "win%d.raw", page);
        CONTENTFILE f;
        f.path = name;
        f.data = Content_InterfacePicture(page);
        files.push_back(std::move(f));
    }
    return files;
}
