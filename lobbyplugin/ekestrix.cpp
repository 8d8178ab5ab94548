// The library's exports: thin doors onto gameinfo and launch. Built only into libekestrix.so.
#include "lobbyplugin/ekestrix.h"
#include "lobbyplugin/gameinfo.h"
#include "lobbyplugin/launch.h"

#include <dlfcn.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

#define EKX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<int32_t> s_iFirstId;
std::atomic<int32_t> s_iSecondId;

// The folder this library was loaded from, where the studio is installed beside it. Empty when
// the loader cannot tell.
void LibraryFolder(char *out, size_t outSize)
{
    out[0] = '\0';
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&EkestrixExitLaunch), &info) || !info.dli_fname)
        return;
    char resolved[PATH_MAX];
    const char *path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    const char *slash = std::strrchr(path, '/');
    if (!slash)
        return;
    size_t n = static_cast<size_t>(slash - path);
    if (n == 0)
        n = 1; // the library sits in "/"
    if (n >= outSize)
        return;
    std::memcpy(out, path, n);
    out[n] = '\0';
}

} // namespace

EKX_EXPORT int32_t EkestrixInit(void)
{
    return 0;
}

EKX_EXPORT uint16_t GetEkestrixVersion(void)
{
    return EKX_VERSION;
}

EKX_EXPORT int32_t GetEkestrixHeader(EkestrixHeader *header)
{
    if (header) {
        header->iGame = EKX_GAME_NUMBER;
        header->pszName = g_szEkxGameName;
        header->iBannerId = EKX_BANNER_ID;
    }
    return 0;
}

EKX_EXPORT int32_t GetEkestrixHeaderEx(int32_t index)
{
    return Ekx_HeaderEx(index);
}

EKX_EXPORT int32_t EkestrixSetId(int32_t first, int32_t second)
{
    s_iFirstId = first;
    s_iSecondId = second;
    return 0;
}

EKX_EXPORT int32_t EkestrixHasDialog(void)
{
    return 2;
}

EKX_EXPORT int32_t GetFieldBits(int32_t *count, const uint16_t **bits)
{
    if (count)
        *count = EKESTRIX_FIELD_COUNT;
    if (bits)
        *bits = g_awEkxFieldBits;
    return 0;
}

EKX_EXPORT int32_t GetFieldType(int32_t field)
{
    return Ekx_FieldType(field);
}

EKX_EXPORT const char *GetFieldName(int32_t field)
{
    return Ekx_FieldName(field);
}

EKX_EXPORT int32_t DecodeFieldData(intptr_t, intptr_t, intptr_t)
{
    return 1;
}

EKX_EXPORT EkestrixDialog *EkestrixViewRemoteGameDialog(void *parent, const void *data, int32_t size)
{
    return Ekx_DialogOpen(parent, data, size);
}

EKX_EXPORT int32_t EkestrixViewRemoteGameDialogEnd(EkestrixDialog *dialog)
{
    Ekx_DialogClose(dialog);
    return 0;
}

EKX_EXPORT int32_t EkestrixCompatibleWithGameServer(const void *data, int32_t size)
{
    return Ekx_Compatibility(data, size);
}

EKX_EXPORT int32_t EkestrixExitLaunch(intptr_t, intptr_t, intptr_t, intptr_t, int32_t type,
                                      const char *address, const char *port)
{
    char folder[PATH_MAX];
    LibraryFolder(folder, sizeof folder);
    return Ekx_Launch(folder, type, address, port);
}
