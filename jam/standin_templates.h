// STAND-IN until jam templates are built: what the session messages need of them, under the
// names that module will use, so this file can go when it arrives. Definitions are weak, so the
// real ones win at link time:
//  - loading a received template image as a player's parts;
//  - reloading the template this player chose, to send it on the server's go-ahead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct NETNODE;

// 0 loaded, -1 not.
int32_t Jam_LoadTemplateImage(NETNODE *node, int32_t slot, const uint8_t *image, size_t length);
// The chosen template's image: 0, or -1 when there is none or it cannot be read.
int32_t Jam_ReloadChosenTemplate(NETNODE *node, std::vector<uint8_t> *image);
