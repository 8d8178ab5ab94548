// The software 3-D device: our own deterministic rasteriser behind the studio's 3-D drawing. The
// real and the headless backends run this same code; it draws into the display's 16-bit back buffer
// and 16-bit z-buffer, which it asks for through a callback at every clear and draw.
//
// Objects: one interface (from the open display), one device at a time, viewports, directional
// lights and materials attached as the drawing layer expects. Every call answers SW3D_OK or a
// negative SW3D_ERR_ code; a test can make the Nth counted call fail (Sw3d_TestFailAfter).
//
// Pixel rules (golden pictures lock them; change them only with the goldens):
// - Coordinates: pixel (x, y) covers [x, x+1) x [y, y+1); its centre is (x + 0.5, y + 0.5). Screen
//   vertices are snapped to 1/16 pixel (round half up). A triangle covers the pixels whose centre
//   lies inside it; a centre exactly on an edge belongs to the triangle only on a top edge
//   (horizontal, the others below it) or a left edge. Winding does not matter (no culling).
//   Snapped coordinates beyond +-16384 pixels are refused (the triangle is not drawn).
// - Scissor: every primitive is cut to the current viewport rectangle and to the target.
// - Transforms: row vectors, p x World x View x Projection, floats, no fused multiply-add. The
//   result is clipped to 0 <= z <= w and to a guard band |x|, |y| <= 8w, then divided by w and
//   mapped into the viewport: sx = X + (x/w - clipX) / clipW * W, sy = Y + (clipY - y/w) / clipH * H,
//   sz = minZ + z/w * (maxZ - minZ), rhw = 1/w.
// - Interpolation: z and the vertex colours are linear in screen space: the integer sum of edge
//   function x vertex value, plus half the area, times floor(2^62 / area), shifted down 62. Texture
//   coordinates are perspective-correct (weights times rhw, in double precision).
// - Z: z16 = round(z x 65535) clamped to 0..65535; compared by ZFUNC with the stored value; written
//   only when the pixel is drawn and ZWRITEENABLE is on. ZENABLE off skips test and write.
// - Lighting (SW3D_FVF_VERTEX without SW3D_DP_DONOTLIGHT, while a material is set): the normal is
//   turned by the world 3x3 and not renormalised; each active directional light adds
//   colour x max(0, N . -D) with D its normalised direction; the vertex diffuse colour stands for
//   the material's diffuse; colour = ambient state x material ambient + diffuse x lights sum +
//   material emissive, each channel clamped to 0..1 and rounded to 8 bits; alpha = vertex alpha.
// - Texels: decoded to 8 bits a channel by bit replication (5 bits: c<<3 | c>>2, 6 bits:
//   c<<2 | c>>4, 4 bits: c x 17, 1-bit alpha: 0 or 255, no alpha: 255); addresses wrap. POINT takes
//   the texel under u x width, v x height; LINEAR blends the four texels around (u x width - 0.5,
//   v x height - 0.5) with 8-bit weights, (sum + 32768) >> 16. No texture bound samples opaque white.
// - Colour key (COLORKEYENABLE and a keyed texture): a pixel whose nearest texel is the key (black,
//   or index 0 of a palette texture) is not drawn at all.
// - Stage 0: MODULATE a x b = (a x b + 128 + ((a x b + 128) >> 8)) >> 8 per channel; SELECTARG1/2.
//   Alpha comes from the texture when one is bound, else from the vertex colour.
// - Blending (ALPHABLENDENABLE): src x SRCBLEND + dst x DESTBLEND per channel, factors as 8-bit,
//   products by the MODULATE rule, the sum clamped to 255. The target's pixel is expanded by bit
//   replication; the result is written by truncation to 5:6:5 or 5:5:5. No dithering.
// - Clear: the colour 0x00RRGGBB truncated to the target layout, z = round(z x 65535).
// - Lines: from the pixel holding the first end to the one holding the last, stepping the longer
//   axis, last pixel left out; colours, z and texture linear along the line. Points: one pixel.
#pragma once

#include <cstdint>

struct SW3DMATRIX
{
    float _11, _12, _13, _14;
    float _21, _22, _23, _24;
    float _31, _32, _33, _34;
    float _41, _42, _43, _44;
};

enum SW3DTRANSFORM
{
    SW3D_TRANSFORM_WORLD = 1,
    SW3D_TRANSFORM_VIEW = 2,
    SW3D_TRANSFORM_PROJECTION = 3,
};

struct SW3DCOLOUR
{
    float r, g, b, a;
};

struct SW3DVECTOR
{
    float x, y, z;
};

constexpr int32_t SW3D_LIGHTS = 3; // lights the studio attaches
constexpr int32_t SW3D_MAX_VIEWPORT_LIGHTS = 8;

// Results.
constexpr int32_t SW3D_OK = 0;
constexpr int32_t SW3D_ERR_INVALIDPARAMS = -1;
constexpr int32_t SW3D_ERR_NODEVICE = -2;       // no such device, or one exists already
constexpr int32_t SW3D_ERR_NOVIEWPORT = -3;     // no current viewport
constexpr int32_t SW3D_ERR_PRIMITIVE = -4;      // unknown primitive type
constexpr int32_t SW3D_ERR_VERTEXTYPE = -5;     // unknown vertex type
constexpr int32_t SW3D_ERR_NOTARGET = -6;       // the back buffer or the z-buffer is not there
constexpr int32_t SW3D_ERR_STATE = -7;          // unknown state or value
constexpr int32_t SW3D_ERR_SCENE = -8;          // scene begun twice
constexpr int32_t SW3D_ERR_NOSCENE = -11;       // scene ended without one open
constexpr int32_t SW3D_ERR_VIEWPORTNODEVICE = -9;
constexpr int32_t SW3D_ERR_GENERIC = -10;       // what the failure hook answers by default

// Device list.
struct SW3DGUID
{
    uint8_t b[16];
};
// The rasteriser listed as the hardware device (the studio creates list record 1), and as the
// emulation device before it.
extern const SW3DGUID SW3D_GUID_HARDWARE;
extern const SW3DGUID SW3D_GUID_EMULATION;
bool Sw3d_GuidEqual(const SW3DGUID &a, const SW3DGUID &b);

constexpr uint32_t SW3D_DEVCAPS_DRAWPRIMTLVERTEX = 0x400;
constexpr uint32_t SW3D_DEVCAPS_TEXTUREVIDEOMEMORY = 0x200;
constexpr uint32_t SW3D_TEXBLEND_MODULATE = 0x8;
constexpr uint32_t SW3D_BLENDCAPS_ONE = 0x2;
constexpr uint32_t SW3D_BLENDCAPS_SRCALPHA = 0x10;

struct SW3DDEVICEDESC
{
    uint32_t devCaps;
    uint32_t textureBlendCaps; // of triangles
    uint32_t srcBlendCaps;
    uint32_t destBlendCaps;
};

struct SW3DDEVICEINFO
{
    SW3DGUID guid;
    char description[64];
    char name[64];
    SW3DDEVICEDESC hardware;
    SW3DDEVICEDESC emulation;
};

// Z-buffer formats: flags SW3D_ZF_ZBUFFER (with SW3D_ZF_STENCIL when it has stencil bits).
constexpr uint32_t SW3D_ZF_ZBUFFER = 0x400;
constexpr uint32_t SW3D_ZF_STENCIL = 0x4000;
struct SW3DZFORMAT
{
    uint32_t flags;
    uint32_t depth;
};

// Enumeration callbacks answer 1 to go on, 0 to stop.
using SW3DENUMDEVICES = int32_t (*)(const SW3DDEVICEINFO *device, void *context);
using SW3DENUMZFORMATS = int32_t (*)(const SW3DZFORMAT *format, void *context);

// The surfaces a device draws on, asked for at every clear and draw. pixelFormat 2 = 5:6:5,
// 4 = 5:5:5; pitches in bytes. z may be null when there is no z-buffer.
struct SW3DSURFACES
{
    uint16_t *colour;
    int32_t pitch;
    int32_t width, height;
    int32_t pixelFormat;
    uint16_t *z;
    int32_t zPitch;
};
using SW3DTARGETFN = bool (*)(SW3DSURFACES *surfaces);

struct SW3DINTERFACE;
struct SW3DDEVICE;
struct SW3DVIEWPORTOBJ;
struct SW3DLIGHTOBJ;
struct SW3DMATERIALOBJ;

// Interface: there is one while the display is open (display non-null).
int32_t Sw3d_Open(const void *display, SW3DINTERFACE **out);
int32_t Sw3d_Release(SW3DINTERFACE *iface);
int32_t Sw3d_EnumDevices(SW3DINTERFACE *iface, SW3DENUMDEVICES callback, void *context);
int32_t Sw3d_EnumZBufferFormats(SW3DINTERFACE *iface, const SW3DGUID *device, SW3DENUMZFORMATS callback,
                                void *context);
// The device of a listed GUID on the given surfaces; one device at a time.
int32_t Sw3d_CreateDevice(SW3DINTERFACE *iface, const SW3DGUID *device, SW3DTARGETFN target, SW3DDEVICE **out);
int32_t Sw3d_ReleaseDevice(SW3DDEVICE *device);
// Textures are owned by their maker; nothing to evict, the call exists for the call order.
int32_t Sw3d_EvictManagedTextures(SW3DINTERFACE *iface);

// Viewports.
struct SW3DVIEWPORT
{
    int32_t x, y, width, height; // pixels
    float clipX, clipY, clipWidth, clipHeight;
    float minZ, maxZ;
};
struct SW3DRECT
{
    int32_t x1, y1, x2, y2;
};
constexpr uint32_t SW3D_CLEAR_TARGET = 1;
constexpr uint32_t SW3D_CLEAR_ZBUFFER = 2;

int32_t Sw3d_CreateViewport(SW3DINTERFACE *iface, SW3DVIEWPORTOBJ **out);
int32_t Sw3d_ReleaseViewport(SW3DVIEWPORTOBJ *viewport);
int32_t Sw3d_AddViewport(SW3DDEVICE *device, SW3DVIEWPORTOBJ *viewport);
int32_t Sw3d_DeleteViewport(SW3DDEVICE *device, SW3DVIEWPORTOBJ *viewport);
int32_t Sw3d_SetViewport(SW3DVIEWPORTOBJ *viewport, const SW3DVIEWPORT *desc);
int32_t Sw3d_GetViewport(SW3DVIEWPORTOBJ *viewport, SW3DVIEWPORT *desc);
int32_t Sw3d_SetCurrentViewport(SW3DDEVICE *device, SW3DVIEWPORTOBJ *viewport);
// Clears the rectangles (cut to the target) of the viewport's device; colour 0x00RRGGBB.
int32_t Sw3d_ViewportClear(SW3DVIEWPORTOBJ *viewport, const SW3DRECT *rects, int32_t count, uint32_t flags,
                           uint32_t colour, float z);

// Lights.
constexpr uint32_t SW3D_LIGHT_DIRECTIONAL = 3;
constexpr uint32_t SW3D_LIGHT_ACTIVE = 1;
struct SW3DLIGHT
{
    uint32_t size;
    uint32_t type;
    SW3DCOLOUR colour;
    SW3DVECTOR position;
    SW3DVECTOR direction;
    float range, falloff;
    float attenuation0, attenuation1, attenuation2;
    float theta, phi;
    uint32_t flags;
};
int32_t Sw3d_CreateLight(SW3DINTERFACE *iface, SW3DLIGHTOBJ **out);
int32_t Sw3d_LightSet(SW3DLIGHTOBJ *light, const SW3DLIGHT *desc);
int32_t Sw3d_LightGet(SW3DLIGHTOBJ *light, SW3DLIGHT *desc);
int32_t Sw3d_ReleaseLight(SW3DLIGHTOBJ *light);
int32_t Sw3d_ViewportAddLight(SW3DVIEWPORTOBJ *viewport, SW3DLIGHTOBJ *light);
int32_t Sw3d_ViewportDeleteLight(SW3DVIEWPORTOBJ *viewport, SW3DLIGHTOBJ *light);

// Materials; a handle names a material to the light state (0 = none).
struct SW3DMATERIAL
{
    uint32_t size;
    SW3DCOLOUR diffuse, ambient, specular, emissive;
    float power;
    uint32_t texture;
    uint32_t rampSize;
};
int32_t Sw3d_CreateMaterial(SW3DINTERFACE *iface, SW3DMATERIALOBJ **out);
int32_t Sw3d_MaterialSet(SW3DMATERIALOBJ *material, const SW3DMATERIAL *desc);
int32_t Sw3d_MaterialGet(SW3DMATERIALOBJ *material, SW3DMATERIAL *desc);
int32_t Sw3d_MaterialGetHandle(SW3DMATERIALOBJ *material, SW3DDEVICE *device, uint32_t *handle);
int32_t Sw3d_ReleaseMaterial(SW3DMATERIALOBJ *material);

enum SW3DLIGHTSTATE
{
    SW3D_LIGHTSTATE_MATERIAL = 1,
    SW3D_LIGHTSTATE_AMBIENT = 2, // 0x00RRGGBB
};
int32_t Sw3d_SetLightState(SW3DDEVICE *device, SW3DLIGHTSTATE state, uint32_t value);
int32_t Sw3d_GetLightState(SW3DDEVICE *device, SW3DLIGHTSTATE state, uint32_t *value);

// Render states and their values.
enum SW3DRENDERSTATE
{
    SW3D_RS_ZENABLE = 7,
    SW3D_RS_SHADEMODE = 9,
    SW3D_RS_ZWRITEENABLE = 14,
    SW3D_RS_SRCBLEND = 19,
    SW3D_RS_DESTBLEND = 20,
    SW3D_RS_CULLMODE = 22,
    SW3D_RS_ZFUNC = 23,
    SW3D_RS_ALPHABLENDENABLE = 27,
    SW3D_RS_COLORKEYENABLE = 41,
};
constexpr uint32_t SW3D_SHADE_FLAT = 1, SW3D_SHADE_GOURAUD = 2;
constexpr uint32_t SW3D_CULL_NONE = 1;
enum SW3DCMP
{
    SW3D_CMP_NEVER = 1,
    SW3D_CMP_LESS,
    SW3D_CMP_EQUAL,
    SW3D_CMP_LESSEQUAL,
    SW3D_CMP_GREATER,
    SW3D_CMP_NOTEQUAL,
    SW3D_CMP_GREATEREQUAL,
    SW3D_CMP_ALWAYS,
};
enum SW3DBLEND
{
    SW3D_BLEND_ZERO = 1,
    SW3D_BLEND_ONE,
    SW3D_BLEND_SRCCOLOR,
    SW3D_BLEND_INVSRCCOLOR,
    SW3D_BLEND_SRCALPHA,
    SW3D_BLEND_INVSRCALPHA,
    SW3D_BLEND_DESTALPHA,
    SW3D_BLEND_INVDESTALPHA,
    SW3D_BLEND_DESTCOLOR,
    SW3D_BLEND_INVDESTCOLOR,
};
int32_t Sw3d_SetRenderState(SW3DDEVICE *device, SW3DRENDERSTATE state, uint32_t value);
int32_t Sw3d_GetRenderState(SW3DDEVICE *device, SW3DRENDERSTATE state, uint32_t *value);

// Texture stage 0 (the only stage).
enum SW3DTSS
{
    SW3D_TSS_COLOROP = 1,
    SW3D_TSS_COLORARG1 = 2,
    SW3D_TSS_COLORARG2 = 3,
    SW3D_TSS_MAGFILTER = 16,
    SW3D_TSS_MINFILTER = 17,
};
constexpr uint32_t SW3D_TOP_DISABLE = 1, SW3D_TOP_SELECTARG1 = 2, SW3D_TOP_SELECTARG2 = 3, SW3D_TOP_MODULATE = 4;
constexpr uint32_t SW3D_TA_DIFFUSE = 0, SW3D_TA_CURRENT = 1, SW3D_TA_TEXTURE = 2;
constexpr uint32_t SW3D_FILTER_POINT = 1, SW3D_FILTER_LINEAR = 2;
int32_t Sw3d_SetTextureStageState(SW3DDEVICE *device, int32_t stage, SW3DTSS state, uint32_t value);
int32_t Sw3d_GetTextureStageState(SW3DDEVICE *device, int32_t stage, SW3DTSS state, uint32_t *value);

// A texture as its owner (the texture table) hands it over: the format bits are the texture
// table's own TEX_ values. pixels is row-major with pitch bytes a row; palette (256 entries of
// 0x00RRGGBB) only for SW3D_TEX_8_PAL8. The device keeps this record by value but reads the pixels
// and palette in place: the owner unbinds (Sw3d_SetTexture null) before freeing them.
constexpr uint32_t SW3D_TEX_8_PAL8 = 0x1;
constexpr uint32_t SW3D_TEX_16_RGB565 = 0x2;
constexpr uint32_t SW3D_TEX_16_RGB555 = 0x4;
constexpr uint32_t SW3D_TEX_16_ARGB1555 = 0x8;
constexpr uint32_t SW3D_TEX_16_ARGB4444 = 0x10;
constexpr uint32_t SW3D_TEX_32_RGB888 = 0x20;
constexpr uint32_t SW3D_TEX_32_ARGB8888 = 0x40;
struct SW3DTEXTURE
{
    int32_t width, height;
    uint32_t format;
    int32_t pitch;
    const void *pixels;
    const uint32_t *palette;
    int32_t colourKey; // 1: black (index 0 for a palette texture) is the transparent key
};
// Binds a copy of the record at stage 0; null unbinds. A record that cannot be sampled is refused.
int32_t Sw3d_SetTexture(SW3DDEVICE *device, int32_t stage, const SW3DTEXTURE *texture);

// Transforms: one set, kept by the rasteriser whether a device exists or not.
int32_t Sw3d_SetTransform(SW3DTRANSFORM which, const SW3DMATRIX *m);
int32_t Sw3d_GetTransform(SW3DTRANSFORM which, SW3DMATRIX *m);

// Vertices.
constexpr uint32_t SW3D_FVF_VERTEX = 0x152;   // SW3DVERTEX: position, normal, diffuse, uv
constexpr uint32_t SW3D_FVF_LVERTEX = 0x1E2;  // SW3DLVERTEX: position, lit colours, uv
constexpr uint32_t SW3D_FVF_TLVERTEX = 0x1C4; // SW3DTLVERTEX: screen position, colours, uv
struct SW3DVERTEX
{
    float x, y, z;
    float nx, ny, nz;
    uint32_t colour;
    float tu, tv;
};
struct SW3DLVERTEX
{
    float x, y, z;
    uint32_t reserved;
    uint32_t colour, specular;
    float tu, tv;
};
struct SW3DTLVERTEX
{
    float sx, sy, sz, rhw;
    uint32_t colour, specular;
    float tu, tv;
};
static_assert(sizeof(SW3DVERTEX) == 36 && sizeof(SW3DLVERTEX) == 32 && sizeof(SW3DTLVERTEX) == 32);

// A transformed vertex that keeps its clip-space position, so primitives made of such vertices
// are still clipped when drawn.
struct SW3DPVERTEX
{
    float x, y, z, w;
    uint32_t colour;
    float tu, tv;
};

enum SW3DPRIMITIVE
{
    SW3D_PT_POINTLIST = 1,
    SW3D_PT_LINELIST = 2,
    SW3D_PT_LINESTRIP = 3,
    SW3D_PT_TRIANGLELIST = 4,
    SW3D_PT_TRIANGLESTRIP = 5,
    SW3D_PT_TRIANGLEFAN = 6,
};
constexpr uint32_t SW3D_DP_DONOTLIGHT = 0x10;

int32_t Sw3d_BeginScene(SW3DDEVICE *device);
int32_t Sw3d_EndScene(SW3DDEVICE *device);
// Draws count vertices (indices, when given, pick them). Drawing does not need an open scene.
int32_t Sw3d_DrawPrimitive(SW3DDEVICE *device, SW3DPRIMITIVE type, uint32_t fvf, const void *vertices,
                           int32_t count, uint32_t flags);
int32_t Sw3d_DrawIndexedPrimitive(SW3DDEVICE *device, SW3DPRIMITIVE type, uint32_t fvf, const void *vertices,
                                  int32_t vertexCount, const uint16_t *indices, int32_t indexCount, uint32_t flags);
// Transform (and light, unless SW3D_DP_DONOTLIGHT) count vertices into out; then draw them, clipped.
int32_t Sw3d_ProcessVertices(SW3DDEVICE *device, const SW3DVERTEX *in, int32_t count, uint32_t flags,
                             SW3DPVERTEX *out);
int32_t Sw3d_DrawProcessed(SW3DDEVICE *device, SW3DPRIMITIVE type, const SW3DPVERTEX *vertices,
                           int32_t vertexCount, const uint16_t *indices, int32_t indexCount);

// Read-back for tests and diagnostics: light index of the current viewport, ambient light state.
int32_t Sw3d_GetLight(int32_t light, SW3DCOLOUR *colour, SW3DVECTOR *direction);
uint32_t Sw3d_GetAmbient();

// Test hooks. A null list restores the two default devices; a count below 0 the default z formats.
void Sw3d_TestSetDevices(const SW3DDEVICEINFO *devices, int32_t count);
void Sw3d_TestSetZFormats(const SW3DZFORMAT *formats, int32_t count);
// After `calls` more counted calls succeed, the next one answers `result`; calls < 0 turns it off.
// Counted: every call that changes or makes something, and every draw and clear.
void Sw3d_TestFailAfter(int32_t calls, int32_t result);
