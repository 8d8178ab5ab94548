// Fixed-point geometry: 4096 = 1.0 for matrix elements and unit vectors, angles in 1/4096 of a
// turn, positions as plain integers.
//
// Arithmetic rules shared by every call here:
//  - a product of 4.12 values is shifted right by 12 (arithmetic shift, so negative values round
//    toward minus infinity);
//  - matrix elements are kept in 16 bits and the transform family sums in 32 bits: results that do
//    not fit wrap in two's complement, exactly as the console's registers did (no undefined
//    behaviour: the sums are taken wider and wrapped on purpose);
//  - sums of squares (lengths, normalisation) are taken in 64 bits, so a full-range vector never
//    wraps into a negative square root or a zero divisor.
#pragma once

#include <cstdint>

struct FIXMATRIX
{
    int16_t m[3][3]; // row-major, 4.12
    int16_t pad;
    int32_t t[3]; // translation, integer units
};
static_assert(sizeof(FIXMATRIX) == 32, "FIXMATRIX is 32 bytes: light tables copy it whole");

// A coordinate system of a chain: world = parent's world x local, recomputed on demand.
struct COORD
{
    FIXMATRIX local;
    FIXMATRIX world;
    uint32_t flags; // kept for the owner, not read here
    COORD *parent;  // null at the root
};

constexpr int32_t FIX_ONE = 4096;
constexpr int32_t FIX_SINE_ENTRIES = 4096;
constexpr int32_t FIX_COORD_MAX_DEPTH = 34; // records in one chain, root included

extern double g_adSineTable[FIX_SINE_ENTRIES];
extern FIXMATRIX g_mtxGeometry;       // current rotation and translation
extern FIXMATRIX g_mtxLightColour;    // columns = colours of lights 0..2
extern FIXMATRIX g_mtxLightDirection; // rows = directions of lights 0..2
extern int32_t g_b3DLighting;         // lights go to the 3-D device only while set

// Trigonometry.
double Sys_SineTableEntry(int32_t i);
void Sys_BuildSineTable();
int32_t Sys_FixedSin(int32_t angle);
int32_t Sys_FixedCos(int32_t angle);
int32_t Sys_FixedAtan2(int32_t y, int32_t x);
// trunc(sqrt(x)); 0 for x <= 0.
int32_t Sys_FixedSqrt(int64_t x);
// The 257-entry arccosine table (plus a trailing 0), built on first use.
const int16_t *Sys_ArcCosTable();
int32_t Sys_FxTableFunction(int32_t x);

// Matrices. Each returns its output.
FIXMATRIX *Sys_IdentityMatrix(FIXMATRIX *m);
FIXMATRIX *Sys_IdentityRotation(FIXMATRIX *m);
FIXMATRIX *Sys_TransposeMatrix(const FIXMATRIX *src, FIXMATRIX *dst);
FIXMATRIX *Sys_MultiplyMatrix(const FIXMATRIX *a, FIXMATRIX *b); // b = a x b (3x3)
FIXMATRIX *Sys_RotateMatrixX(int32_t angle, FIXMATRIX *m);       // m = Rx x m
FIXMATRIX *Sys_RotateMatrixY(int32_t angle, FIXMATRIX *m);
FIXMATRIX *Sys_RotateMatrixZ(int32_t angle, FIXMATRIX *m);
FIXMATRIX *Sys_RotationMatrixXYZ(const int16_t angles[3], FIXMATRIX *m); // Rz x Ry x Rx
FIXMATRIX *Sys_MatrixFromAngles(const int16_t angles[3], FIXMATRIX *m);
FIXMATRIX *Sys_ComposeTransform(const FIXMATRIX *parent, const FIXMATRIX *child, FIXMATRIX *out);
FIXMATRIX *Sys_FxScaleMatrixRows(FIXMATRIX *m, int32_t sx, int32_t sy, int32_t sz);
FIXMATRIX *Sys_SetCurrentRotation(const FIXMATRIX *m);
FIXMATRIX *Sys_SetCurrentTranslation(const FIXMATRIX *m);
FIXMATRIX *Sys_MultiplyToCurrent(const FIXMATRIX *a, const FIXMATRIX *b, FIXMATRIX *out);

// Vectors: out[i] = ((m row i . in) >> 12) + t[i].
int32_t *Sys_TransformLongVector(const FIXMATRIX *m, const int32_t in[3], int32_t out[3]);
int16_t *Sys_TransformShortVector(const FIXMATRIX *m, const int16_t in[3], int16_t out[3]);
int32_t *Sys_TransformShortToLong(const FIXMATRIX *m, const int16_t in[3], int32_t out[3]);
int16_t *Sys_TransformByCurrent(const int16_t in[3], int16_t out[3]);
int32_t *Sys_TransformByCurrentToLong(const int16_t in[3], int32_t out[3]);
int32_t *Sys_TransformLongByCurrent(const int32_t in[3], int32_t out[3]); // no translation

int32_t Sys_FxDotLong(const int32_t a[3], const int32_t b[3]);
int32_t Sys_FxDotShort(const int16_t a[3], const int16_t b[3]);
int32_t *Sys_CrossProductLong(const int32_t a[3], const int32_t b[3], int32_t out[3]);
int32_t *Sys_CrossProductFixed(const int32_t a[3], const int32_t b[3], int32_t out[3]);
int32_t *Sys_SquareVector(const int32_t in[3], int32_t out[3]);
int32_t *Sys_BlendVectors(const int32_t a[3], const int32_t b[3], int32_t wa, int32_t wb, int32_t out[3]);
// out[i] = in[i] / (x x + y y + z z); returns that sum (saturated to 32 bits).
int32_t Sys_DivideBySquaredLength(const int32_t in[3], int32_t out[3]);
int32_t Sys_FxPointLineDistance(const int32_t point[3], const int32_t direction[3], const int32_t origin[3]);

// Normalisation to length 4096; each returns the length of the (reduced) input.
int32_t Sys_FxNormaliseLong(const int32_t in[3], int32_t out[3]);
int32_t Sys_FxNormaliseToShort(const int32_t in[3], int16_t out[3]);
int32_t Sys_FxNormaliseShort(const int16_t in[3], int16_t out[3]);

// Angles from directions.
void Sys_FxAngleAndLength(int32_t a, int32_t b, int16_t *outAngle, int32_t *outLength);
void Sys_FxRotatePair(int16_t *a, int16_t *b, int32_t angle);
int32_t Sys_FxDirectionAngles(const int16_t d[9], int16_t out[3]);

// Coordinate chains.
void Sys_CoordInit(COORD *coord, COORD *parent, const FIXMATRIX *matrix, uint32_t flags);
// Recomputes the whole chain from the root; -1 (nothing changed) when the chain is deeper than
// FIX_COORD_MAX_DEPTH or loops back on itself.
int32_t Sys_CoordUpdateWorld(COORD *coord);
int32_t Sys_CoordLoadLocalScreen(COORD *coord, COORD *view, int32_t updateCoord);
int32_t Sys_CoordLoadNormalised(COORD *coord, COORD *view, int32_t updateCoord);

// Hand-off to the 3-D device (world transform, lights).
int32_t Sys_SetWorldTransform(const FIXMATRIX *m);
int32_t Sys_SetWorldTranslation(const FIXMATRIX *m);
void Sys_SetColourMatrix(const FIXMATRIX *m);
void Sys_SetLightMatrix(const FIXMATRIX *m);
void Sys_SetBackColour(int32_t r, int32_t g, int32_t b);

// The video engine's light set; only these fields are read here.
struct LIGHTSET
{
    uint32_t head[2];         // owner's fields
    int16_t matrix[3][3];     // from the third word
    int16_t pad0;
    FIXMATRIX colour;         // light colours
    uint8_t back[3];          // back colour r, g, b
    uint8_t pad;
    int16_t directions[3][3]; // light directions, normalised on apply
};
void Sys_LightsApply(const LIGHTSET *lights);

// Second pair of light tables; kept but read by nothing else.
extern FIXMATRIX g_mtxLightColourSet;
extern FIXMATRIX g_mtxLightDirectionSet;
void Sys_ClearLights();
void Sys_SetLight(int32_t light, int32_t x, int32_t y, int32_t z, int32_t r, int32_t g, int32_t b);
