// Stand-in for the host-file wrapper's path translation, until the file wrapper is built; the
// wrapper takes over Sys_HostPath and this file goes.
#include "core/hostpath.h"

#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

int Sys_HostPath(const char *path, char *out, size_t outSize)
{
    if (!out || outSize == 0)
        return -1;
    out[0] = '\0';
    if (!path)
        return -1;
    size_t len = std::strlen(path);
    if (len >= outSize)
        return -1;
    for (size_t i = 0; i <= len; ++i)
        out[i] = path[i] == '\\' ? '/' : path[i];

    // Fix the case part by part, from the first part that is missing as written.
    struct stat st;
    if (stat(out, &st) == 0)
        return 0;
    for (char *part = out; *part;) {
        char *slash = std::strchr(part, '/');
        char *end = slash ? slash : part + std::strlen(part);
        if (end != part) {
            char saved = *end;
            *end = '\0';
            if (lstat(out, &st) != 0) {
                const char *dirName = ".";
                char *cut = nullptr;
                if (part != out) {
                    cut = part - 1; // the '/' before this part
                    *cut = '\0';
                    dirName = out[0] ? out : "/";
                }
                bool fixed = false;
                if (DIR *d = opendir(dirName)) {
                    while (struct dirent *e = readdir(d)) {
                        if (std::strlen(e->d_name) == static_cast<size_t>(end - part) &&
                            strcasecmp(e->d_name, part) == 0) {
                            std::memcpy(part, e->d_name, static_cast<size_t>(end - part));
                            fixed = true;
                            break;
                        }
                    }
                    closedir(d);
                }
                if (cut)
                    *cut = '/';
                if (!fixed) {
                    *end = saved;
                    return 0; // nothing to match: leave the rest as written
                }
            }
            *end = saved;
        }
        part = slash ? slash + 1 : end;
    }
    return 0;
}
