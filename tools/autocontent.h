// The auto video's clip library "/AUTO": groups 0-3, of which group 1 holds screen-effect clips
// and group 3 object clips, each in style folders of several files. Every file is the song image
// of one clip, made by the studio's own video engine (run headless over the data folder's
// archive) and written by its own clip writer, so the clips refer only to resources the archive
// holds.
#pragma once

#include "tools/packer.h"

#include <string>

// dataDir holds the archive built so far (without "/AUTO" content). Adds the library to root.
// false with a message in err.
bool Content_AddAutoClips(PACKDIR &root, const std::string &dataDir, std::string &err);
