// The studio's own pictures, drawn at build time: the loading picture shown at start-up.
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <vector>

constexpr int32_t CONTENT_LOADING_WIDTH = 640;
constexpr int32_t CONTENT_LOADING_HEIGHT = 480;

// The loading picture as rows of red, green, blue bytes, top row first.
std::vector<uint8_t> Content_DrawLoadingPicture();
// An uncompressed 24-bit bottom-up BMP file of rows of red, green, blue bytes (top row first).
std::vector<uint8_t> Content_EncodeBmp24(int32_t width, int32_t height, const std::vector<uint8_t> &rgb);
// "loading_tnv.bmp", relative to the data folder.
std::vector<CONTENTFILE> Content_PictureFiles();
