// The demo song's video and the studio's own jam templates, made once the archive holds the
// video content and the "/AUTO" clip library they are built from.
#pragma once

#include "tools/packer.h"

#include <string>

// Gives examples/demo.tnv in dataDir an auto video over its rows and adds jam templates made of
// its riffs under "/JAMTEM/<style>/<folder>/". false with a message in err.
bool Content_AddDemoVideoAndJams(PACKDIR &root, const std::string &dataDir, std::string &err);
