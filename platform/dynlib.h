// Shared libraries loaded at run time (the effect plug-ins).
//
// Only absolute paths are opened, so a library is never picked up from the working folder or the
// loader's search path. Symbols are resolved when the library opens (a library that needs
// something missing fails to open instead of failing later in a call), and its symbols stay
// private to it. Both backends use this code: tests load libraries they built themselves.
#pragma once

struct PLATDYNLIB;

// Null when the path is not absolute or the library cannot be loaded (Plat_DynLibError says why).
// Opening a library that is already open gives the same handle and counts one more user.
PLATDYNLIB *Plat_DynLibOpen(const char *path);
// Address of an exported symbol; null when the library does not export it.
void *Plat_DynLibSymbol(PLATDYNLIB *lib, const char *name);
// Drops one user; the library is unloaded with its last user. Null does nothing.
void Plat_DynLibClose(PLATDYNLIB *lib);
// Text of this thread's last failure of the calls above ("" when none).
const char *Plat_DynLibError();
