// The chase types that map one archive resource onto the lane's object: Background (stored id
// 2, a background model), Texture (11, a map texture with fixed or scrolling offsets) and Movie
// (12, the movie stream's frame as a texture; built but never registered).
#pragma once

#include <cstdint>

struct CHASEDEF;
struct CHASECHANNEL;
struct IMAGEREC;
struct VIDOBJECT;

struct BACKPARAMS
{
    VIDOBJECT *pModel;
};

struct TEXTUREPARAMS
{
    IMAGEREC *pImage;
    uint16_t uPage;
    int16_t sU; // texels, 0..128
    int16_t sV;
    int32_t iAccU; // 8.8
    int32_t iAccV;
    int32_t iStepU; // 8.8 a frame
    int32_t iStepV;
    uint8_t ucMapping;
};

extern CHASEDEF g_BackgroundChaseDef;
extern CHASEDEF g_TextureChaseDef;
extern CHASEDEF g_MovieChaseDef;
extern CHASECHANNEL g_aBackgroundChannels[2];
extern CHASECHANNEL g_aTextureChannels[7];
extern CHASECHANNEL g_aMovieChannels[10];
extern char g_szBackFamily[128];
extern char g_szTextureFamily[128];
extern char g_szMovieFamily[128];
extern char g_szMovieName[128];

// Offsets of the texture types move through 0..128 in steps of 64 (the textures tile at 64).
int32_t Vid_WrapTextureOffset(int32_t texels);
