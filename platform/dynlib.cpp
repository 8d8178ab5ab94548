#include "platform/dynlib.h"

#include <dlfcn.h>

#include <cstdio>

namespace {
thread_local char t_szError[512];

void SetError(const char *text)
{
    std::snprintf(t_szError, sizeof t_szError, "%s", text ? text : "");
}
} // namespace

PLATDYNLIB *Plat_DynLibOpen(const char *path)
{
    if (!path || path[0] != '/') {
        SetError("not an absolute path");
        return nullptr;
    }
    void *h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        SetError(dlerror());
        return nullptr;
    }
    SetError(nullptr);
    return static_cast<PLATDYNLIB *>(h);
}

void *Plat_DynLibSymbol(PLATDYNLIB *lib, const char *name)
{
    if (!lib || !name) {
        SetError("no library");
        return nullptr;
    }
    dlerror();
    void *p = dlsym(lib, name);
    if (!p) {
        const char *e = dlerror();
        SetError(e ? e : "symbol is null");
        return nullptr;
    }
    SetError(nullptr);
    return p;
}

void Plat_DynLibClose(PLATDYNLIB *lib)
{
    if (lib && dlclose(lib) != 0)
        SetError(dlerror());
}

const char *Plat_DynLibError()
{
    return t_szError;
}
