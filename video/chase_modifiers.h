// The modifier chase types (Rotation, Scale, Colour, Spine switch, Visibility switches, Lighting,
// Palette), the Particle type's interpolation and render, the screen effects of lane 5 and the
// mix rules that keep a clip's chases compatible. Main thread only.
#pragma once

#include <cstdint>

struct CHASE;
struct CHASEDEF;
struct VIDCLIP;

extern CHASEDEF g_RotationChaseDef;   // 3
extern CHASEDEF g_ScaleChaseDef;      // 4
extern CHASEDEF g_ColourChaseDef;     // 7
extern CHASEDEF g_LightingChaseDef;   // 8
extern CHASEDEF g_PaletteChaseDef;    // 13
extern CHASEDEF g_SpineChaseDef;      // 14
extern CHASEDEF g_NumberChaseDef;     // 15
extern CHASEDEF g_TilesChaseDef;      // 16
extern CHASEDEF g_TintChaseDef;       // 17
extern CHASEDEF g_VisibilityChaseDef; // 18

extern uint8_t g_iLastLightSelected;

// Fills the rotation axes, spin steps and light directions of video/engine.h (run when the types
// register). The Position channels reach 27, one past the 27 directions: 27 has no direction.
void Vid_FillModifierTables();
// Reads the 128 colours of "BOOT\PALETTE.PAL" (an 8-bit picture whose colour table starts at
// byte 20) into the chase palette. 0, or -1 with the palette left as it was.
int32_t Vid_LoadChasePalette();

// Parameter blocks.
struct ROTATIONPARAMS
{
    int32_t xAngle;
    uint16_t spin;
    int32_t zAngle;
    int32_t step;
    uint8_t grouped;
};
struct SCALEPARAMS
{
    int32_t scale[3];
    uint8_t grouped;
};
struct COLOURPARAMS
{
    uint16_t rgb[3];
    uint8_t switches; // bit 0 Model, 1 Wireframe, 2 Colour, 3 Transp., 4 Negative
};
struct LIGHTINGPARAMS
{
    uint16_t colours[4][3]; // three lights, then the ambient colour
    int32_t directions[3][4];
};
struct PALETTEPARAMS
{
    uint16_t ramp[256];
    uint16_t phase;
    uint16_t tableMode;
};
struct PARTICLEPARAMS
{
    int32_t spread;
    int32_t life;
    int16_t size;
    int16_t headSize;
    uint8_t rgb[3];
    int32_t spriteRect;
    int32_t headWord; // head rectangle and head colour
    int32_t texture;  // the sprite's resource id
    void *textureData;
    int32_t count;
    int32_t positions[32][4];
};

// The frame's largest distance of a drawn thing from the view line, for the auto camera.
void Vid_RaiseSceneExtent(int32_t distance);
// The lane a render object fills (0..6), -1 for any other object.
int32_t Vid_SlotLane(const void *object);

// mix rules (0 refuses the chase for the clip).
int32_t Vid_MixTransform(CHASE *chase, VIDCLIP *clip, int32_t entry);   // Rotation, Scale, Path
int32_t Vid_MixScreenEffect(CHASE *chase, VIDCLIP *clip, int32_t entry); // 15, 16, 17, 20
int32_t Vid_MixNotBehindParticle(CHASE *chase, VIDCLIP *clip, int32_t entry); // Colour, Texture, Movie, Palette
int32_t Vid_MixSpine(CHASE *chase, VIDCLIP *clip, int32_t entry);

// Particle type (stored id 9): its interpolation and render.
void Vid_ParticleInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w);
void Vid_ParticleRender(CHASE *chase, struct VIDOBJECT *object);
