// Interface pictures of the data folder: "win6.raw" .. "win27.raw", each a 256 x 256 square of
// 24-bit pixels (red, green, blue), no header, holding the images of the interface's image set
// (tools/interfaceset.h) where "win.tx" places them. Pure black is the transparent colour, so the
// drawings keep every visible pixel clear of it.
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <vector>

constexpr int CONTENT_PICTURE_SIDE = 256;
constexpr int CONTENT_FIRST_PICTURE = 6;
constexpr int CONTENT_LAST_PICTURE = 27;

// One picture (page 6..27).
std::vector<uint8_t> Content_InterfacePicture(int page);
// All of them, as data-folder files.
std::vector<CONTENTFILE> Content_InterfacePictureFiles();
