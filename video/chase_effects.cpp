// The screen effects of lane 5 (besides Speed): the number and rotation effect (a radial split
// of the picture), Tiles (a grid of copies) and Scale and tint (the whole picture turned, scaled
// and tinted). Their blocks are the frame render's effect blocks.
#include <cstdlib>

#include "video/chase.h"
#include "video/chase_modifiers.h"
#include "video/chasetypes.h"
#include "video/interp.h"
#include "video/render.h"
#include "video/vidobject.h"

namespace {

int32_t ReadNothing(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
int32_t AcceptKey(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}
void ReleaseNothing(CHASE *, const int32_t *, uint32_t) {}

uint32_t Rgb(const uint8_t c[4])
{
    return static_cast<uint32_t>(c[0]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[2];
}

// ---- Number and rotation effect (15) ----
const CHASECHANNEL kNumberChannels[4] = {
    {6, 1, 8, 4, 2, nullptr, nullptr},    // "Number"
    {0, 0, 32, 6, 2, nullptr, nullptr},   // "Rotation"
    {9, 0, 127, 7, 2, nullptr, nullptr},  // "Colour 1"
    {9, 0, 127, 7, 2, nullptr, nullptr},  // "Colour 2"
};

void NumberInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<VIDRADIALBLOCK *>(chase->pParams);
    p->iCount = Vid_Blend(a[0] * 131072, b[0] * 131072, w[0]);
    if (p->iCount == 0)
        p->iCount = 1;
    int32_t ra = a[1] * 128, rb = w[1] ? b[1] * 128 : ra;
    // Unwrapped so the turn goes the short way.
    if (rb - ra > 2048)
        ra += 4096;
    else if (ra - rb > 2048)
        rb += 4096;
    p->sStartAngle = static_cast<int16_t>(Vid_Blend(ra, rb, w[1]) & 4095);
    // Colour 0 has no entry c - 1: it shows entry 0.
    uint8_t c[4];
    Vid_BlendChaseColour(a[2], b[2], w[2], CHASECOLOUR_MINUS1, c);
    p->uColour1 = Rgb(c);
    Vid_BlendChaseColour(a[3], b[3], w[3], CHASECOLOUR_MINUS1, c);
    p->uColour2 = Rgb(c);
    p->ucLaneMask = chase->ucOption;
}

void NumberRender(CHASE *chase, VIDOBJECT *object)
{
    object->flags |= 0x100000u;
    object->pTypeBlock = chase->pParams;
}

// Songs of format version 5 had other colour numbers: both become 9.
int32_t NumberRemap(CHASE *, int32_t *values, const void *loadMap)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    if (map && map->uVersion == 5)
        values[2] = values[3] = 9;
    return 1;
}

// ---- Tiles (16) ----
const CHASECHANNEL kTilesChannels[8] = {
    {4, 1, 16, 5, 2, nullptr, nullptr},    // "Number X"
    {3, 1, 16, 5, 2, nullptr, nullptr},    // "Number Y"
    {0, 0, 32, 6, 2, nullptr, nullptr},    // "Rotation"
    {1, 1, 32, 6, 2, nullptr, nullptr},    // "Mosaic"
    {111, -1, 127, 8, 2, nullptr, nullptr}, // "Colour 1" .. "Colour 4": stored one higher, 0 = off
    {96, -1, 127, 8, 2, nullptr, nullptr},
    {81, -1, 127, 8, 2, nullptr, nullptr},
    {24, -1, 127, 8, 2, nullptr, nullptr},
};

int32_t TilesRead(CHASE *, int32_t, int32_t *values, int32_t)
{
    for (int32_t c = 4; c < 8; c++)
        values[c] -= 1;
    return 0;
}

int32_t TilesApply(CHASE *, int32_t, int32_t *values, uint8_t *)
{
    for (int32_t c = 4; c < 8; c++)
        values[c] += 1;
    return 1;
}

int32_t TilesRemap(CHASE *chase, int32_t *values, const void *)
{
    return TilesRead(chase, 0, values, VID_MAX_CHANNELS) == 0 ? 1 : 0;
}

void TilesInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<VIDGRIDBLOCK *>(chase->pParams);
    p->iColumns = Vid_Blend(a[0] * 4096, b[0] * 4096, w[0]);
    p->iRows = Vid_Blend(a[1] * 4096, b[1] * 4096, w[1]);
    p->sAngle = static_cast<int16_t>(Vid_Blend(a[2] * 128, b[2] * 128, w[2]));
    // Mosaic 32 would make the inner picture nothing at all; it stays one step above.
    int32_t scale = Vid_Blend(4096 - a[3] * 128, 4096 - b[3] * 128, w[3]);
    p->sScale = static_cast<int16_t>(scale < 128 ? 128 : scale);
    p->uLaneMask = chase->ucOption;
    for (int32_t i = 0; i < 4; i++) {
        uint8_t c[4];
        Vid_BlendChaseColour(a[4 + i], b[4 + i], w[4 + i], CHASECOLOUR_OFFSTATE, c);
        p->auColours[i] = c[0] | c[1] << 8 | c[2] << 16 | static_cast<uint32_t>(c[3]) << 24;
    }
}

void TilesRender(CHASE *chase, VIDOBJECT *object)
{
    object->flags |= 0x200000u;
    object->pGridEffect = chase->pParams;
}

// ---- Scale and tint (17) ----
const CHASECHANNEL kTintChannels[5] = {
    {15, 0, 32, 6, 2, nullptr, nullptr},  // "Scale"
    {0, 0, 128, 8, 2, nullptr, nullptr},  // "Rotation"
    {14, 0, 31, 5, 2, nullptr, nullptr},  // "Red"
    {14, 0, 31, 5, 2, nullptr, nullptr},  // "Green"
    {14, 0, 31, 5, 2, nullptr, nullptr},  // "Blue"
};

void TintInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<VIDPICTUREBLOCK *>(chase->pParams);
    p->pTexture = nullptr;
    p->sScale = static_cast<int16_t>(Vid_Blend(a[0] * 128, b[0] * 128, w[0]));
    p->sAngle = static_cast<int16_t>(Vid_Blend(a[1] * 32, b[1] * 32, w[1]));
    uint32_t rgb = 0;
    for (int32_t i = 0; i < 3; i++) {
        int32_t v = Vid_Blend(a[2 + i] * 8, b[2 + i] * 8, w[2 + i]);
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        rgb |= static_cast<uint32_t>(v) << (16 - 8 * i);
    }
    p->uColour = rgb;
}

void TintRender(CHASE *chase, VIDOBJECT *object)
{
    object->flags |= 0x400000u;
    object->pPictureEffect = chase->pParams;
}

} // namespace

CHASEDEF g_NumberChaseDef = {
    15, 0, 0, CHASEKIND_DVE, sizeof(VIDRADIALBLOCK), sizeof(VIDRADIALBLOCK), 0, 4, kNumberChannels, nullptr, 0,
    ReadNothing, AcceptKey, NumberInterpolate, ReleaseNothing, NumberRender,
    nullptr, nullptr, NumberRemap, Vid_MixScreenEffect, nullptr, 0,
};
CHASEDEF g_TilesChaseDef = {
    16, 0, 0, CHASEKIND_DVE, sizeof(VIDGRIDBLOCK), sizeof(VIDGRIDBLOCK), 0, 8, kTilesChannels, nullptr, 0,
    TilesRead, TilesApply, TilesInterpolate, ReleaseNothing, TilesRender,
    nullptr, nullptr, TilesRemap, Vid_MixScreenEffect, nullptr, 0,
};
CHASEDEF g_TintChaseDef = {
    17, 0, 0, CHASEKIND_DVE, sizeof(VIDPICTUREBLOCK), sizeof(VIDPICTUREBLOCK), 0, 5, kTintChannels, nullptr, 0,
    ReadNothing, AcceptKey, TintInterpolate, ReleaseNothing, TintRender,
    nullptr, nullptr, nullptr, Vid_MixScreenEffect, nullptr, 0,
};
