// Song images of one clip: the clip library's files ("/AUTO" and the clip menus) are song images
// holding the clip, its chases and the references of the resources they use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct VIDCLIP;

// The song image of one clip with its chases and the references of the resources they use. Empty
// when it cannot be written (a resource too deep to be referred to).
std::vector<uint8_t> Vid_WriteClipImage(VIDCLIP *clip);
// The byte size of that image.
uint32_t Vid_SizeClipImage(VIDCLIP *clip);
// Reads the video chunks of a song image: makes its chases and clips (with g_bVidLibraryLoad set
// the last one becomes g_pLoadedClip; clips are left without references). 0 done, 1
// (SONGLOAD_MISSING) when something could not be made, 4 (SONGLOAD_UNREADABLE) when the image
// does not hold together. The song's music is not touched.
int32_t Vid_ReadClipImageChunks(const uint8_t *image, size_t size);
