// Stand-in for the disc file layer and the data folder until they are built. Weak, so the real
// definitions win at link time.
#include "core/standin_disc.h"

#include <cstdlib>
#include <string>

__attribute__((weak)) char g_szDataDir[256];

__attribute__((weak)) DISCFILE *Sys_DiscOpen(const char *name)
{
    std::string path = std::string(g_szDataDir) + name;
    for (char &c : path)
        if (c == '\\')
            c = '/';
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    DISCFILE *d = (DISCFILE *)std::calloc(1, sizeof(DISCFILE));
    if (!d || std::fseek(f, 0, SEEK_END) != 0)
    {
        std::fclose(f);
        std::free(d);
        return nullptr;
    }
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    d->uKind = 1;
    d->uHostSize = size < 0 || size > 0x7FFFFFFF ? 0 : (uint32_t)size;
    d->pHostFile = f;
    return d;
}

__attribute__((weak)) int Sys_DiscFileSize(DISCFILE *handle)
{
    return handle ? (int)handle->uHostSize : -1;
}

__attribute__((weak)) int Sys_DiscRead(void *buffer, int size, int count, DISCFILE *handle)
{
    if (!handle || size <= 0 || count <= 0)
        return 0;
    return (int)std::fread(buffer, 1, (size_t)size * (size_t)count, handle->pHostFile);
}

__attribute__((weak)) int Sys_DiscSeek(DISCFILE *handle, int offset, int whence)
{
    if (!handle || std::fseek(handle->pHostFile, offset, whence) != 0)
        return -1;
    return (int)std::ftell(handle->pHostFile);
}

__attribute__((weak)) void Sys_DiscClose(DISCFILE *handle)
{
    if (!handle)
        return;
    std::fclose(handle->pHostFile);
    std::free(handle);
}

__attribute__((weak)) int Sys_MsfFromSector(int sector, uint8_t *outMsf)
{
    if (sector < 0 || sector >= 100 * 4500)
        return -1;
    auto bcd = [](int v) { return (uint8_t)((v / 10) << 4 | (v % 10)); };
    outMsf[0] = bcd(sector / 4500);
    outMsf[1] = bcd((sector / 75) % 60);
    outMsf[2] = bcd(sector % 75);
    return 0;
}
