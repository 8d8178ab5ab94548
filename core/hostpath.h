// The one translation point from the program's "\" paths to host paths.
#pragma once

#include <cstddef>

// Writes path into out with every '\' turned into '/', and each part that does not exist as
// written replaced by an existing entry of the same name in another letter case. Returns 0, or
// -1 when the result does not fit (out is then made empty, so opening it fails cleanly).
int Sys_HostPath(const char *path, char *out, size_t outSize);
