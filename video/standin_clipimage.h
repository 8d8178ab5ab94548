// STAND-IN until the song file's video chunks exist (chase packing, the CH and CL chunks and their
// load handlers). A one-clip song image is written here with the header chunks of the song file and
// simple RE, CH and CL bodies of this file's own. Once the real chunks are in, these two calls
// become Vid_SizeClipImage + Seq_WriteChunks and Seq_LoadChunks + Seq_FinishLoad, and the library
// content is rebuilt with them; nothing else needs to change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct VIDCLIP;

// The song image of one clip with its chases and the references of the resources they use. Empty
// when it cannot be written (a resource too deep to be referred to).
std::vector<uint8_t> Vid_WriteClipImage(VIDCLIP *clip);
// Reads the video chunks of a song image: makes its chases and clips (the last one becomes
// g_pLoadedClip; clips are left without references). 0 done, 1 (SONGLOAD_MISSING) when something
// could not be made, 4 (SONGLOAD_UNREADABLE) when the image does not hold together.
int32_t Vid_ReadClipImageChunks(const uint8_t *image, size_t size);
