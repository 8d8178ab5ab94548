#include "render/userimages.h"

#include "core/file.h"
#include "render/bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

uint8_t *g_pUserImages = nullptr;
uint8_t *g_pUserPalettes = nullptr;
int32_t g_iUserImageCount = 0;

static_assert(USERIMAGE_RECORD == USERIMAGE_BYTES + USERPALETTE_BYTES);

void Gfx_InitUserImages()
{
    if (!g_pUserImages)
        g_pUserImages = static_cast<uint8_t *>(std::malloc(USERIMAGE_SLOTS * USERIMAGE_BYTES));
    if (!g_pUserPalettes)
        g_pUserPalettes = static_cast<uint8_t *>(std::malloc(USERIMAGE_SLOTS * USERPALETTE_BYTES));
    Gfx_ResetUserImages();
}

void Gfx_ResetUserImages()
{
    g_iUserImageCount = 0;
    if (!g_pUserImages || !g_pUserPalettes)
        return;
    for (int32_t slot = 0; slot < USERIMAGE_SLOTS; slot++) {
        uint8_t *image = g_pUserImages + slot * USERIMAGE_BYTES;
        for (int32_t i = 0; i < USERIMAGE_BYTES; i++)
            image[i] = static_cast<uint8_t>(i % USERIMAGE_WIDTH);
        uint8_t *palette = g_pUserPalettes + slot * USERPALETTE_BYTES;
        for (int32_t i = 0; i < USERPALETTE_BYTES; i++)
            palette[i] = static_cast<uint8_t>((i / 3) >> 3);
    }
}

void Gfx_FreeUserImages()
{
    std::free(g_pUserImages);
    std::free(g_pUserPalettes);
    g_pUserImages = nullptr;
    g_pUserPalettes = nullptr;
    g_iUserImageCount = 0;
}

int32_t Gfx_LoadUserImage(const char *path)
{
    if (!g_pUserImages || !g_pUserPalettes) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "The picture bank is not ready");
        return -1;
    }
    if (g_iUserImageCount >= USERIMAGE_SLOTS) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "All %d picture slots are in use", USERIMAGE_SLOTS);
        return -1;
    }
    const int32_t slot = g_iUserImageCount;
    if (Gfx_LoadBmp(path, g_pUserImages + slot * USERIMAGE_BYTES, g_pUserPalettes + slot * USERPALETTE_BYTES) != 0)
        return -1;
    g_iUserImageCount++;
    return slot;
}

uint32_t Gfx_GetUserImagesSize()
{
    return USERIMAGEBLOCK_HEADER + USERIMAGE_RECORD * static_cast<uint32_t>(g_iUserImageCount);
}

uint32_t Gfx_WriteUserImages(void *buffer)
{
    uint8_t *out = static_cast<uint8_t *>(buffer);
    const uint32_t count = (g_pUserImages && g_pUserPalettes) ? static_cast<uint32_t>(g_iUserImageCount) : 0;
    std::memcpy(out, "USER", 4);
    for (int b = 0; b < 4; b++)
        out[4 + b] = static_cast<uint8_t>(count >> (8 * b));
    out += USERIMAGEBLOCK_HEADER;
    for (uint32_t i = 0; i < count; i++) {
        std::memcpy(out, g_pUserImages + i * USERIMAGE_BYTES, USERIMAGE_BYTES);
        std::memcpy(out + USERIMAGE_BYTES, g_pUserPalettes + i * USERPALETTE_BYTES, USERPALETTE_BYTES);
        out += USERIMAGE_RECORD;
    }
    return USERIMAGEBLOCK_HEADER + USERIMAGE_RECORD * count;
}

int32_t Gfx_ReadUserImages(const void *buffer, size_t size)
{
    const uint8_t *in = static_cast<const uint8_t *>(buffer);
    if (!in || size < USERIMAGEBLOCK_HEADER || std::memcmp(in, "USER", 4) != 0 || !g_pUserImages || !g_pUserPalettes)
        return -1;
    const uint32_t count = in[4] | (in[5] << 8) | (in[6] << 16) | (static_cast<uint32_t>(in[7]) << 24);
    // The writer never stores more than the bank holds; anything else is a damaged song.
    if (count > USERIMAGE_SLOTS || size - USERIMAGEBLOCK_HEADER < static_cast<size_t>(count) * USERIMAGE_RECORD)
        return -1;
    Gfx_ResetUserImages();
    in += USERIMAGEBLOCK_HEADER;
    for (uint32_t i = 0; i < count; i++) {
        std::memcpy(g_pUserImages + i * USERIMAGE_BYTES, in, USERIMAGE_BYTES);
        std::memcpy(g_pUserPalettes + i * USERPALETTE_BYTES, in + USERIMAGE_BYTES, USERPALETTE_BYTES);
        in += USERIMAGE_RECORD;
    }
    g_iUserImageCount = static_cast<int32_t>(count);
    return 0;
}
