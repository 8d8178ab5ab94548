// The rasteriser of the software 3-D device: triangle set-up and span filling, lines and points,
// texel sampling and the per-pixel stage, blend and writes. The pixel rules are in sw3d.h.
#include "platform/sw3d_internal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <emmintrin.h>

namespace sw3d {

namespace {

[[gnu::always_inline]] inline bool ZPass(uint32_t func, uint32_t z, uint32_t stored)
{
    switch (func) {
    case SW3D_CMP_NEVER: return false;
    case SW3D_CMP_LESS: return z < stored;
    case SW3D_CMP_EQUAL: return z == stored;
    case SW3D_CMP_LESSEQUAL: return z <= stored;
    case SW3D_CMP_GREATER: return z > stored;
    case SW3D_CMP_NOTEQUAL: return z != stored;
    case SW3D_CMP_GREATEREQUAL: return z >= stored;
    default: return true;
    }
}


// Texel decoders by format: the texel x of a row as ARGB, and whether it is the colour key.
struct DecodePal8
{
    static ARGB At(const SW3DTEXTURE &t, const uint8_t *row, int32_t x, bool *key)
    {
        const uint32_t v = row[x];
        const uint32_t p = t.palette[v];
        *key = v == 0;
        return {255, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
    }
};
struct DecodeRgb565
{
    static ARGB At(const SW3DTEXTURE &, const uint8_t *row, int32_t x, bool *key)
    {
        uint16_t v;
        std::memcpy(&v, row + x * 2, 2);
        *key = v == 0;
        return {255, Expand5(v >> 11u), Expand6((v >> 5u) & 63u), Expand5(v & 31u)};
    }
};
struct DecodeRgb555
{
    static ARGB At(const SW3DTEXTURE &, const uint8_t *row, int32_t x, bool *key)
    {
        uint16_t w;
        std::memcpy(&w, row + x * 2, 2);
        const uint32_t v = w & 0x7FFFu;
        *key = v == 0;
        return {255, Expand5(v >> 10), Expand5((v >> 5) & 31), Expand5(v & 31)};
    }
};
struct DecodeArgb1555
{
    static ARGB At(const SW3DTEXTURE &, const uint8_t *row, int32_t x, bool *key)
    {
        uint16_t w;
        std::memcpy(&w, row + x * 2, 2);
        const uint32_t v = w;
        *key = (v & 0x7FFF) == 0;
        return {(v & 0x8000) ? 255u : 0u, Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31)};
    }
};
struct DecodeArgb4444
{
    static ARGB At(const SW3DTEXTURE &, const uint8_t *row, int32_t x, bool *key)
    {
        uint16_t w;
        std::memcpy(&w, row + x * 2, 2);
        const uint32_t v = w;
        *key = (v & 0x0FFF) == 0;
        return {((v >> 12) & 15) * 17, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17};
    }
};
struct DecodeRgb888
{
    static ARGB At(const SW3DTEXTURE &, const uint8_t *row, int32_t x, bool *key)
    {
        uint32_t v;
        std::memcpy(&v, row + x * 4, 4);
        *key = (v & 0xFFFFFF) == 0;
        return {255, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF};
    }
};
struct DecodeArgb8888
{
    static ARGB At(const SW3DTEXTURE &, const uint8_t *row, int32_t x, bool *key)
    {
        uint32_t v;
        std::memcpy(&v, row + x * 4, 4);
        *key = (v & 0xFFFFFF) == 0;
        return Unpack(v);
    }
};

inline const uint8_t *TexelRow(const SW3DTEXTURE &t, int32_t y)
{
    return static_cast<const uint8_t *>(t.pixels) + static_cast<size_t>(y) * t.pitch;
}

// Point sampling: the texel under (U, V) (8 fractional bits).
template <typename DECODE>
[[gnu::always_inline]] inline bool SamplePoint(bool keyOn, const SW3DTEXTURE &t, int32_t nx, int32_t ny, ARGB *out)
{
    bool key = false;
    *out = DECODE::At(t, TexelRow(t, ny), nx, &key);
    return !(key && keyOn);
}

// Bilinear: the four texels about (U - 128, V - 128) with 8-bit weights. The nearest texel,
// which the colour key looks at, is one of the four: (U - 128) >> 8 is one below U >> 8 exactly
// when the fraction of U - 128 is 128 or more.
template <typename DECODE>
[[gnu::always_inline]] inline bool SampleLinear(bool keyOn, const SW3DTEXTURE &t, int32_t x0, int32_t x1, int32_t y0,
                                                int32_t y1, uint32_t fx, uint32_t fy, ARGB *out)
{
    const uint8_t *r0 = TexelRow(t, y0), *r1 = TexelRow(t, y1);
    bool k00, k10, k01, k11;
    const ARGB c00 = DECODE::At(t, r0, x0, &k00), c10 = DECODE::At(t, r0, x1, &k10);
    const ARGB c01 = DECODE::At(t, r1, x0, &k01), c11 = DECODE::At(t, r1, x1, &k11);
    const bool key = fy >= 128 ? (fx >= 128 ? k11 : k01) : (fx >= 128 ? k10 : k00);
    if (key && keyOn)
        return false;
    // Red and green share a word (each lane stays below 2^25): the same sums as channel by
    // channel. Blue and alpha go alone, so a caller that never reads alpha does not pay for it.
    auto pack = [](uint32_t hi, uint32_t lo) { return static_cast<uint64_t>(hi) << 32 | lo; };
    const uint32_t gx = 256 - fx, gy = 256 - fy;
    const uint64_t m = (pack(c00.r, c00.g) * gx + pack(c10.r, c10.g) * fx) * gy +
                       (pack(c01.r, c01.g) * gx + pack(c11.r, c11.g) * fx) * fy + (uint64_t{32768} << 32 | 32768);
    auto one = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t e) {
        return ((a * gx + b * fx) * gy + (c * gx + e * fx) * fy + 32768) >> 16;
    };
    *out = {one(c00.a, c10.a, c01.a, c11.a), static_cast<uint32_t>(m >> 48),
            static_cast<uint32_t>((m & 0xFFFFFFFF) >> 16), one(c00.b, c10.b, c01.b, c11.b)};
    return true;
}

[[gnu::always_inline]] inline int32_t Wrap(int64_t v, int32_t size)
{
    // Texture sides are mostly powers of two: the mask is the same wrap without a division.
    if ((size & (size - 1)) == 0)
        return static_cast<int32_t>(v & (size - 1));
    const int64_t m = v % size;
    return static_cast<int32_t>(m < 0 ? m + size : m);
}

// A texture coordinate in texels with 8 fractional bits; the range keeps a huge coordinate from
// overflowing.
[[gnu::always_inline]] inline int64_t FixedScaled(double s)
{
    if (!(s > -1e15 && s < 1e15))
        s = 0.0;
    // floor: the truncation is exact in this range, and one below when it went up.
    int64_t i = static_cast<int64_t>(s);
    if (static_cast<double>(i) > s)
        i--;
    return i;
}

[[gnu::always_inline]] inline int64_t FixedCoord(double c, double size)
{
    return FixedScaled(c * size * 256.0);
}

// Samples the bound texture at (U, V) (FixedCoord of u and v); false when the colour key drops
// the pixel.
[[gnu::always_inline]] inline bool Sample(const SW3DDEVICE &d, int64_t U, int64_t V, ARGB *out)
{
    if (!d.hasTexture) {
        *out = {255, 255, 255, 255};
        return true;
    }
    const SW3DTEXTURE &t = d.texture;
    const bool keyOn = d.colourKey && t.colourKey;
    if (d.magFilter != SW3D_FILTER_LINEAR) {
        const int32_t nx = Wrap(U >> 8, t.width), ny = Wrap(V >> 8, t.height);
        switch (t.format) {
        case SW3D_TEX_8_PAL8: return SamplePoint<DecodePal8>(keyOn, t, nx, ny, out);
        case SW3D_TEX_16_RGB565: return SamplePoint<DecodeRgb565>(keyOn, t, nx, ny, out);
        case SW3D_TEX_16_RGB555: return SamplePoint<DecodeRgb555>(keyOn, t, nx, ny, out);
        case SW3D_TEX_16_ARGB1555: return SamplePoint<DecodeArgb1555>(keyOn, t, nx, ny, out);
        case SW3D_TEX_16_ARGB4444: return SamplePoint<DecodeArgb4444>(keyOn, t, nx, ny, out);
        case SW3D_TEX_32_RGB888: return SamplePoint<DecodeRgb888>(keyOn, t, nx, ny, out);
        default: return SamplePoint<DecodeArgb8888>(keyOn, t, nx, ny, out);
        }
    }
    const int64_t U0 = U - 128, V0 = V - 128;
    const int32_t x0 = Wrap(U0 >> 8, t.width), y0 = Wrap(V0 >> 8, t.height);
    const int32_t x1 = x0 + 1 == t.width ? 0 : x0 + 1, y1 = y0 + 1 == t.height ? 0 : y0 + 1;
    const uint32_t fx = static_cast<uint32_t>(U0 & 255), fy = static_cast<uint32_t>(V0 & 255);
    switch (t.format) {
    case SW3D_TEX_8_PAL8: return SampleLinear<DecodePal8>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    case SW3D_TEX_16_RGB565: return SampleLinear<DecodeRgb565>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    case SW3D_TEX_16_RGB555: return SampleLinear<DecodeRgb555>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    case SW3D_TEX_16_ARGB1555: return SampleLinear<DecodeArgb1555>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    case SW3D_TEX_16_ARGB4444: return SampleLinear<DecodeArgb4444>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    case SW3D_TEX_32_RGB888: return SampleLinear<DecodeRgb888>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    default: return SampleLinear<DecodeArgb8888>(keyOn, t, x0, x1, y0, y1, fx, fy, out);
    }
}

// Any texture and filter, looked up a pixel at a time.
struct AnySampler
{
    const SW3DDEVICE &d;
    [[gnu::always_inline]] bool operator()(int64_t U, int64_t V, ARGB *out) const { return Sample(d, U, V, out); }
};

// One format and filter, chosen once for a triangle: the same texels and weights as Sample.
// POW2: both sides are powers of two, so wrapping is a mask.
template <typename DECODE, bool LINEAR, bool POW2>
struct TexSampler
{
    const SW3DTEXTURE &t;
    bool keyOn;
    [[gnu::always_inline]] static int32_t WrapTo(int64_t v, int32_t size)
    {
        if constexpr (POW2)
            return static_cast<int32_t>(v & (size - 1));
        else
            return Wrap(v, size);
    }
    [[gnu::always_inline]] bool operator()(int64_t U, int64_t V, ARGB *out) const
    {
        if constexpr (!LINEAR) {
            return SamplePoint<DECODE>(keyOn, t, WrapTo(U >> 8, t.width), WrapTo(V >> 8, t.height), out);
        } else {
            const int64_t U0 = U - 128, V0 = V - 128;
            const int32_t x0 = WrapTo(U0 >> 8, t.width), y0 = WrapTo(V0 >> 8, t.height);
            const int32_t x1 = x0 + 1 == t.width ? 0 : x0 + 1, y1 = y0 + 1 == t.height ? 0 : y0 + 1;
            return SampleLinear<DECODE>(keyOn, t, x0, x1, y0, y1, static_cast<uint32_t>(U0 & 255),
                                        static_cast<uint32_t>(V0 & 255), out);
        }
    }
};

[[gnu::always_inline]] inline uint32_t Factor(uint32_t f, uint32_t srcC, uint32_t srcA, uint32_t dstC)
{
    switch (f) {
    case SW3D_BLEND_ZERO: return 0;
    case SW3D_BLEND_SRCCOLOR: return srcC;
    case SW3D_BLEND_INVSRCCOLOR: return 255 - srcC;
    case SW3D_BLEND_SRCALPHA: return srcA;
    case SW3D_BLEND_INVSRCALPHA: return 255 - srcA;
    case SW3D_BLEND_DESTALPHA: return 255; // the target has no alpha
    case SW3D_BLEND_INVDESTALPHA: return 0;
    case SW3D_BLEND_DESTCOLOR: return dstC;
    case SW3D_BLEND_INVDESTCOLOR: return 255 - dstC;
    default: return 255;
    }
}

// One pixel at its colour and z addresses (zp null: no z test or write): z test, texture,
// stage 0, blend, writes.
// TEXTURED false: no texture is bound (uv is not called); ZBUFFER false: zp is null; BLEND: the
// blend state is on. uv(u, v) gives the texture coordinates, asked only once the z test passed.
// STD: the studio's usual state, known here rather than looked up a pixel at a time: z compare
// less-or-equal, stage 0 texture x diffuse, a 5:6:5 target, no blending.
template <bool TEXTURED, bool ZBUFFER, bool BLEND, bool STD = false, typename UVFN, typename SAMPLER>
[[gnu::always_inline]] inline void ShadeAtT(const SW3DDEVICE &d, int32_t format, uint16_t *cp, uint16_t *zp,
                                            uint32_t z, ARGB diffuse, UVFN uv, const SAMPLER &sample)
{
    if constexpr (STD) {
        if (ZBUFFER && !(z <= *zp))
            return;
        ARGB tex{255, 255, 255, 255};
        if (TEXTURED) {
            int64_t U = 0, V = 0;
            uv(U, V);
            if (!sample(U, V, &tex))
                return;
        }
        *cp = PackTarget(Mul8(tex.r, diffuse.r), Mul8(tex.g, diffuse.g), Mul8(tex.b, diffuse.b), 2);
        if (ZBUFFER && d.zWrite)
            *zp = static_cast<uint16_t>(z);
        return;
    }
    if (ZBUFFER && !ZPass(d.zFunc, z, *zp))
        return;
    ARGB tex{255, 255, 255, 255};
    if (TEXTURED) {
        int64_t U = 0, V = 0;
        uv(U, V);
        if (!sample(U, V, &tex))
            return;
    }
    ARGB src{};
    src.a = TEXTURED ? tex.a : diffuse.a;
    const ARGB &a1 = d.colourArg1 == SW3D_TA_TEXTURE ? tex : diffuse;
    const ARGB &a2 = d.colourArg2 == SW3D_TA_TEXTURE ? tex : diffuse;
    switch (d.colourOp) {
    case SW3D_TOP_SELECTARG1:
        src.r = a1.r;
        src.g = a1.g;
        src.b = a1.b;
        break;
    case SW3D_TOP_SELECTARG2:
        src.r = a2.r;
        src.g = a2.g;
        src.b = a2.b;
        break;
    case SW3D_TOP_MODULATE:
        src.r = Mul8(a1.r, a2.r);
        src.g = Mul8(a1.g, a2.g);
        src.b = Mul8(a1.b, a2.b);
        break;
    default:
        src.r = diffuse.r;
        src.g = diffuse.g;
        src.b = diffuse.b;
        break;
    }
    if (BLEND && d.blendEnable) {
        const ARGB dst = UnpackTarget(*cp, format);
        auto blend = [&](uint32_t sc, uint32_t dc) {
            const uint32_t r =
                Mul8(sc, Factor(d.srcBlend, sc, src.a, dc)) + Mul8(dc, Factor(d.destBlend, sc, src.a, dc));
            return std::min(r, 255u);
        };
        src.r = blend(src.r, dst.r);
        src.g = blend(src.g, dst.g);
        src.b = blend(src.b, dst.b);
    }
    *cp = PackTarget(src.r, src.g, src.b, format);
    if (ZBUFFER && d.zWrite)
        *zp = static_cast<uint16_t>(z);
}

void ShadeAt(const SW3DDEVICE &d, int32_t format, uint16_t *cp, uint16_t *zp, uint32_t z, ARGB diffuse, double u,
             double v)
{
    auto uv = [&d, u, v](int64_t &U, int64_t &V) {
        U = FixedCoord(u, d.texture.width);
        V = FixedCoord(v, d.texture.height);
    };
    // Lines and points: one generic path is enough.
    const AnySampler sample{d};
    if (d.hasTexture) {
        if (zp)
            ShadeAtT<true, true, true>(d, format, cp, zp, z, diffuse, uv, sample);
        else
            ShadeAtT<true, false, true>(d, format, cp, zp, z, diffuse, uv, sample);
    } else if (zp) {
        ShadeAtT<false, true, true>(d, format, cp, zp, z, diffuse, uv, sample);
    } else {
        ShadeAtT<false, false, true>(d, format, cp, zp, z, diffuse, uv, sample);
    }
}

uint16_t *ColourRow(const Target &t, int32_t y)
{
    return reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(t.s.colour) + static_cast<size_t>(y) * t.s.pitch);
}

uint16_t *ZRow(const SW3DDEVICE &d, const Target &t, int32_t y)
{
    if (!d.zEnable || !t.s.z)
        return nullptr;
    return reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(t.s.z) + static_cast<size_t>(y) * t.s.zPitch);
}

void Shade(const SW3DDEVICE &d, const Target &t, int32_t x, int32_t y, uint32_t z, ARGB diffuse, double u, double v)
{
    uint16_t *zrow = ZRow(d, t, y);
    ShadeAt(d, t.s.pixelFormat, ColourRow(t, y) + x, zrow ? zrow + x : nullptr, z, diffuse, u, v);
}

constexpr int64_t kMaxCoord = 16384 * 16;

int64_t Snap(float c)
{
    return static_cast<int64_t>(std::floor(static_cast<double>(c) * 16.0 + 0.5));
}

bool Finite(const SVERTEX &v)
{
    return std::isfinite(v.sx) && std::isfinite(v.sy) && std::isfinite(v.sz) && std::isfinite(v.rhw) &&
           std::isfinite(v.tu) && std::isfinite(v.tv);
}


// A triangle ready for filling: edge functions and their top-left bias, attribute values at the
// corners, steps, the reciprocal of the area and the rows and columns to visit.
struct TRISETUP
{
    int64_t A[3], B[3], C[3], bias[3];
    int64_t K[5][3];
    int64_t dN[5];
    double q[3], qu[3], qv[3];
    int64_t half;
    __int128 inv;
    int32_t x0, x1, y0, y1;
};

template <bool TEXTURED, bool ZBUFFER, bool BLEND, bool STD = false, typename SAMPLER = AnySampler>
void FillSpans(const SW3DDEVICE &d, const Target &t, const TRISETUP &st, const SAMPLER &sample)
{
    const int64_t(&A)[3] = st.A;
    const int64_t(&B)[3] = st.B;
    const int64_t(&C)[3] = st.C;
    const int64_t(&bias)[3] = st.bias;
    const int64_t(&K)[5][3] = st.K;
    const int64_t(&dN)[5] = st.dN;
    const double(&q)[3] = st.q;
    const double(&qu)[3] = st.qu;
    const double(&qv)[3] = st.qv;
    const int64_t half = st.half;
    const __int128 inv = st.inv;
    const int32_t x0 = st.x0, x1 = st.x1, y0 = st.y0, y1 = st.y1;
    // Spans: each row's run of covered pixels is found from the three edge functions, then
    // filled with fixed steps. The attribute products (sum + half) x reciprocal step by a fixed
    // 128-bit amount a pixel, so every pixel gets the same value as the product made afresh.
    const __int128 dP0 = static_cast<__int128>(dN[0]) * inv, dP1 = static_cast<__int128>(dN[1]) * inv,
                   dP2 = static_cast<__int128>(dN[2]) * inv, dP3 = static_cast<__int128>(dN[3]) * inv,
                   dP4 = static_cast<__int128>(dN[4]) * inv;
    const int64_t dw0 = 16 * A[0], dw1 = 16 * A[1], dw2 = 16 * A[2];
    const double fdw0 = static_cast<double>(dw0), fdw1 = static_cast<double>(dw1), fdw2 = static_cast<double>(dw2);
    const double q0 = q[0], q1 = q[1], q2 = q[2], qu0 = qu[0], qu1 = qu[1], qu2 = qu[2], qv0 = qv[0], qv1 = qv[1],
                 qv2 = qv[2];
    const int32_t format = t.s.pixelFormat;
    const __m128d quv0 = _mm_set_pd(qv0, qu0), quv1 = _mm_set_pd(qv1, qu1), quv2 = _mm_set_pd(qv2, qu2);
    const __m128d texWH = _mm_set_pd(static_cast<double>(d.texture.height), static_cast<double>(d.texture.width));
    for (int32_t py = y0; py <= y1; py++) {
        const int64_t cy = int64_t{py} * 16 + 8, cx0 = int64_t{x0} * 16 + 8;
        int64_t lo = x0, hi = x1;
        int64_t w[3];
        bool empty = false;
        for (int i = 0; i < 3; i++) {
            w[i] = A[i] * cx0 + B[i] * cy + C[i];
            const int64_t step = 16 * A[i], s = w[i] + bias[i];
            if (step > 0) {
                if (s < 0)
                    lo = std::max(lo, x0 + (-s + step - 1) / step);
            } else if (step < 0) {
                if (s < 0)
                    empty = true;
                else
                    hi = std::min(hi, x0 + s / -step);
            } else if (s < 0) {
                empty = true;
            }
        }
        if (empty || lo > hi)
            continue;
        for (int i = 0; i < 3; i++)
            w[i] += 16 * A[i] * (lo - x0);
        auto start = [&](int k) {
            return static_cast<__int128>(w[0] * K[k][0] + w[1] * K[k][1] + w[2] * K[k][2] + half) * inv;
        };
        __int128 P0 = start(0), P1 = start(1), P2 = start(2), P3 = start(3), P4 = start(4);
        int64_t w0 = w[0], w1 = w[1], w2 = w[2];
        // The edge values as doubles, stepped: they are integers far below 2^53 (corners are
        // limited to kMaxCoord), so every sum is exact and equals the value converted afresh.
        double fw0 = static_cast<double>(w0), fw1 = static_cast<double>(w1), fw2 = static_cast<double>(w2);
        uint16_t *cp = ColourRow(t, py) + lo;
        uint16_t *zp = ZBUFFER ? ZRow(d, t, py) + lo : nullptr;
        // Pixels go in batches: first every pixel's z, colour and texture coordinates (the
        // divisions of a batch overlap), then the shading. Pixels of one span never touch each
        // other's z, so testing a batch ahead changes nothing.
        constexpr int kBatch = 8;
        for (int64_t px = lo; px <= hi;) {
            const int n = static_cast<int>(std::min<int64_t>(kBatch, hi - px + 1));
            uint32_t zb[kBatch];
            ARGB cb[kBatch];
            int64_t ub[kBatch], vb[kBatch];
            bool pass[kBatch];
            for (int j = 0; j < n; j++) {
                zb[j] = std::min(static_cast<uint32_t>(P0 >> 62), 0xFFFFu);
                cb[j] = {static_cast<uint32_t>(P1 >> 62), static_cast<uint32_t>(P2 >> 62),
                         static_cast<uint32_t>(P3 >> 62), static_cast<uint32_t>(P4 >> 62)};
                // A pixel behind what is drawn needs no texture coordinates.
                pass[j] = !ZBUFFER || (STD ? zb[j] <= zp[j] : ZPass(d.zFunc, zb[j], zp[j]));
                if (TEXTURED && pass[j]) {
                    // u and v side by side: each lane does the same operations in the same order
                    // as one coordinate alone, so the results are the same bits, for one division.
                    const double f0 = fw0, f1 = fw1, f2 = fw2;
                    const double den = f0 * q0 + f1 * q1 + f2 * q2;
                    __m128d uv = _mm_setzero_pd();
                    if (den != 0.0) {
                        const __m128d num = _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_set1_pd(f0), quv0),
                                                                  _mm_mul_pd(_mm_set1_pd(f1), quv1)),
                                                       _mm_mul_pd(_mm_set1_pd(f2), quv2));
                        uv = _mm_div_pd(num, _mm_set1_pd(den));
                    }
                    // FixedCoord of each: c x size x 256, range-checked and floored.
                    const __m128d sc = _mm_mul_pd(_mm_mul_pd(uv, texWH), _mm_set1_pd(256.0));
                    // Both inside 32 bits (the usual case): truncated and floored side by side.
                    const __m128d in = _mm_and_pd(_mm_cmplt_pd(sc, _mm_set1_pd(2147483647.0)),
                                                  _mm_cmpgt_pd(sc, _mm_set1_pd(-2147483647.0)));
                    if (_mm_movemask_pd(in) == 3) {
                        const __m128i ti = _mm_cvttpd_epi32(sc);
                        const __m128i up = _mm_castpd_si128(_mm_cmpgt_pd(_mm_cvtepi32_pd(ti), sc));
                        const __m128i fl = _mm_add_epi32(ti, _mm_shuffle_epi32(up, _MM_SHUFFLE(3, 3, 2, 0)));
                        ub[j] = _mm_cvtsi128_si32(fl);
                        vb[j] = _mm_cvtsi128_si32(_mm_srli_si128(fl, 4));
                    } else {
                        ub[j] = FixedScaled(_mm_cvtsd_f64(sc));
                        vb[j] = FixedScaled(_mm_cvtsd_f64(_mm_unpackhi_pd(sc, sc)));
                    }
                }
                w0 += dw0;
                w1 += dw1;
                w2 += dw2;
                if (TEXTURED) {
                    fw0 += fdw0;
                    fw1 += fdw1;
                    fw2 += fdw2;
                }
                P0 += dP0;
                P1 += dP1;
                P2 += dP2;
                P3 += dP3;
                P4 += dP4;
            }
            for (int j = 0; j < n; j++) {
                if (!pass[j])
                    continue;
                auto uv = [&](int64_t &U, int64_t &V) {
                    U = ub[j];
                    V = vb[j];
                };
                ShadeAtT<TEXTURED, ZBUFFER, BLEND, STD>(d, format, cp + j, ZBUFFER ? zp + j : nullptr, zb[j], cb[j],
                                                        uv, sample);
            }
            cp += n;
            if (ZBUFFER)
                zp += n;
            px += n;
        }
    }
}

// The usual state with a texture: the sampler is chosen once for the triangle. The studio's
// textures are palette or 16-bit with sides of powers of two; other kinds take the general one.
template <typename DECODE>
void FillStdWith(const SW3DDEVICE &d, const Target &t, const TRISETUP &st)
{
    const SW3DTEXTURE &tex = d.texture;
    const bool keyOn = d.colourKey && tex.colourKey;
    if (d.magFilter == SW3D_FILTER_LINEAR)
        FillSpans<true, true, false, true>(d, t, st, TexSampler<DECODE, true, true>{tex, keyOn});
    else
        FillSpans<true, true, false, true>(d, t, st, TexSampler<DECODE, false, true>{tex, keyOn});
}

void FillStdTextured(const SW3DDEVICE &d, const Target &t, const TRISETUP &st)
{
    const SW3DTEXTURE &tex = d.texture;
    const bool pow2 = (tex.width & (tex.width - 1)) == 0 && (tex.height & (tex.height - 1)) == 0;
    if (pow2) {
        switch (tex.format) {
        case SW3D_TEX_8_PAL8: FillStdWith<DecodePal8>(d, t, st); return;
        case SW3D_TEX_16_RGB565: FillStdWith<DecodeRgb565>(d, t, st); return;
        case SW3D_TEX_16_RGB555: FillStdWith<DecodeRgb555>(d, t, st); return;
        default: break;
        }
    }
    FillSpans<true, true, false, true>(d, t, st, AnySampler{d});
}

} // namespace

bool GetTarget(const SW3DDEVICE &d, Target *t)
{
    t->s = {};
    if (!d.target || !d.target(&t->s) || !t->s.colour || t->s.width <= 0 || t->s.height <= 0)
        return false;
    const SW3DVIEWPORT &vp = d.current->desc;
    t->left = std::max(0, vp.x);
    t->top = std::max(0, vp.y);
    t->right = static_cast<int32_t>(std::min<int64_t>(t->s.width, int64_t{vp.x} + vp.width));
    t->bottom = static_cast<int32_t>(std::min<int64_t>(t->s.height, int64_t{vp.y} + vp.height));
    return true;
}

void DrawTriangle(const SW3DDEVICE &d, const Target &t, SVERTEX a, SVERTEX b, SVERTEX c)
{
    if (!Finite(a) || !Finite(b) || !Finite(c))
        return;
    int64_t X[3] = {Snap(a.sx), Snap(b.sx), Snap(c.sx)};
    int64_t Y[3] = {Snap(a.sy), Snap(b.sy), Snap(c.sy)};
    for (int i = 0; i < 3; i++)
        if (X[i] < -kMaxCoord || X[i] > kMaxCoord || Y[i] < -kMaxCoord || Y[i] > kMaxCoord)
            return;
    const uint32_t flatColour = a.colour;
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0)
        return;
    if (area < 0) {
        std::swap(b, c);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        area = -area;
    }
    const SVERTEX *v[3] = {&a, &b, &c};
    // Edge i runs from vertex i+1 to i+2; its function is positive inside.
    int64_t A[3], B[3], C[3], bias[3];
    for (int i = 0; i < 3; i++) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        A[i] = Y[j] - Y[k];
        B[i] = X[k] - X[j];
        C[i] = X[j] * Y[k] - X[k] * Y[j];
        // With y down and the area positive, A == 0 and B > 0 is a horizontal edge with the
        // triangle below it (top), A > 0 an edge with the triangle on its right (left).
        const bool topLeft = (A[i] == 0 && B[i] > 0) || A[i] > 0;
        bias[i] = topLeft ? 0 : -1;
    }
    int64_t minX = std::min({X[0], X[1], X[2]}), maxX = std::max({X[0], X[1], X[2]});
    int64_t minY = std::min({Y[0], Y[1], Y[2]}), maxY = std::max({Y[0], Y[1], Y[2]});
    const int32_t x0 = static_cast<int32_t>(std::max<int64_t>(t.left, (minX - 8 + 15) >> 4));
    const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(t.right - 1, (maxX - 8) >> 4));
    const int32_t y0 = static_cast<int32_t>(std::max<int64_t>(t.top, (minY - 8 + 15) >> 4));
    const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(t.bottom - 1, (maxY - 8) >> 4));
    if (x0 > x1 || y0 > y1)
        return;
    const bool flat = d.shadeMode == SW3D_SHADE_FLAT;
    int64_t zc[3], cc[3][4];
    double q[3], qu[3], qv[3];
    for (int i = 0; i < 3; i++) {
        zc[i] = ZOf(v[i]->sz);
        const ARGB col = Unpack(flat ? flatColour : v[i]->colour);
        cc[i][0] = col.a;
        cc[i][1] = col.r;
        cc[i][2] = col.g;
        cc[i][3] = col.b;
        q[i] = v[i]->rhw;
        qu[i] = q[i] * v[i]->tu;
        qv[i] = q[i] * v[i]->tv;
    }
    // Attributes are (sum of edge value x vertex value) / area; the sums step by constants, the
    // division is a multiply by a 62-bit reciprocal (128-bit product, at most one below exact).
    const int64_t half = area / 2;
    const __int128 inv = (static_cast<__int128>(1) << 62) / area;
    int64_t K[5][3];
    for (int i = 0; i < 3; i++) {
        K[0][i] = zc[i];
        for (int k = 0; k < 4; k++)
            K[k + 1][i] = cc[i][k];
    }
    int64_t dN[5];
    for (int k = 0; k < 5; k++)
        dN[k] = 16 * (A[0] * K[k][0] + A[1] * K[k][1] + A[2] * K[k][2]);
    TRISETUP st;
    std::memcpy(st.A, A, sizeof A);
    std::memcpy(st.B, B, sizeof B);
    std::memcpy(st.C, C, sizeof C);
    std::memcpy(st.bias, bias, sizeof bias);
    std::memcpy(st.K, K, sizeof K);
    std::memcpy(st.dN, dN, sizeof dN);
    std::memcpy(st.q, q, sizeof q);
    std::memcpy(st.qu, qu, sizeof qu);
    std::memcpy(st.qv, qv, sizeof qv);
    st.half = half;
    st.inv = inv;
    st.x0 = x0;
    st.x1 = x1;
    st.y0 = y0;
    st.y1 = y1;
    const bool zbuffer = d.zEnable && t.s.z;
    const int which = (d.hasTexture ? 4 : 0) | (zbuffer ? 2 : 0) | (d.blendEnable ? 1 : 0);
    const bool std = zbuffer && !d.blendEnable && d.zFunc == SW3D_CMP_LESSEQUAL && t.s.pixelFormat == 2 &&
                     d.colourOp == SW3D_TOP_MODULATE && d.colourArg1 == SW3D_TA_TEXTURE &&
                     d.colourArg2 == SW3D_TA_DIFFUSE;
    const AnySampler any{d};
    if (std) {
        if (d.hasTexture)
            FillStdTextured(d, t, st);
        else
            FillSpans<false, true, false, true>(d, t, st, any);
        return;
    }
    switch (which) {
    case 0: FillSpans<false, false, false>(d, t, st, any); break;
    case 1: FillSpans<false, false, true>(d, t, st, any); break;
    case 2: FillSpans<false, true, false>(d, t, st, any); break;
    case 3: FillSpans<false, true, true>(d, t, st, any); break;
    case 4: FillSpans<true, false, false>(d, t, st, any); break;
    case 5: FillSpans<true, false, true>(d, t, st, any); break;
    case 6: FillSpans<true, true, false>(d, t, st, any); break;
    default: FillSpans<true, true, true>(d, t, st, any); break;
    }
}

void DrawLine(const SW3DDEVICE &d, const Target &t, const SVERTEX &a, const SVERTEX &b)
{
    if (!Finite(a) || !Finite(b))
        return;
    const int64_t ax = Snap(a.sx) >> 4, ay = Snap(a.sy) >> 4, bx = Snap(b.sx) >> 4, by = Snap(b.sy) >> 4;
    const int64_t dx = bx - ax, dy = by - ay;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0 || steps > kMaxCoord)
        return;
    const ARGB ca = Unpack(a.colour), cb = Unpack(d.shadeMode == SW3D_SHADE_FLAT ? a.colour : b.colour);
    const int64_t za = ZOf(a.sz), zb = ZOf(b.sz);
    auto lerp = [&](int64_t p, int64_t q, int64_t i) { return static_cast<uint32_t>((p * (steps - i) + q * i + steps / 2) / steps); };
    for (int64_t i = 0; i < steps; i++) {
        const int64_t x = ax + (dx * i + (dx >= 0 ? steps / 2 : -(steps / 2))) / steps;
        const int64_t y = ay + (dy * i + (dy >= 0 ? steps / 2 : -(steps / 2))) / steps;
        if (x < t.left || x >= t.right || y < t.top || y >= t.bottom)
            continue;
        const double f = static_cast<double>(i) / static_cast<double>(steps);
        const ARGB c = {lerp(ca.a, cb.a, i), lerp(ca.r, cb.r, i), lerp(ca.g, cb.g, i), lerp(ca.b, cb.b, i)};
        Shade(d, t, static_cast<int32_t>(x), static_cast<int32_t>(y), lerp(za, zb, i), c,
              a.tu + (b.tu - a.tu) * f, a.tv + (b.tv - a.tv) * f);
    }
}

void DrawPoint(const SW3DDEVICE &d, const Target &t, const SVERTEX &a)
{
    if (!Finite(a))
        return;
    const int64_t x = Snap(a.sx) >> 4, y = Snap(a.sy) >> 4;
    if (x < t.left || x >= t.right || y < t.top || y >= t.bottom)
        return;
    Shade(d, t, static_cast<int32_t>(x), static_cast<int32_t>(y), ZOf(a.sz), Unpack(a.colour), a.tu, a.tv);
}

} // namespace sw3d
