#include "core/fixmath.h"

#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/lights.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

double g_adSineTable[FIX_SINE_ENTRIES];
FIXMATRIX g_mtxGeometry = {{{4096, 0, 0}, {0, 4096, 0}, {0, 0, 4096}}, 0, {0, 0, 0}};
FIXMATRIX g_mtxLightColour;
FIXMATRIX g_mtxLightDirection;
FIXMATRIX g_mtxLightColourSet;
FIXMATRIX g_mtxLightDirectionSet;
// The software device lights as well as the hardware one did, so lighting starts on.
int32_t g_b3DLighting = 1;

namespace {

// Two's complement wrap to 32 bits: the console summed in 32-bit registers.
inline int32_t Wrap32(int64_t v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

inline int16_t Wrap16(int64_t v)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v)));
}

// A 4.12 product or dot product: summed in 32 bits, then shifted arithmetically.
inline int32_t Shift12(int64_t sum32)
{
    return Wrap32(sum32) >> 12;
}

// Row i of m dotted with v, summed with 32-bit wrap.
template <typename T> inline int32_t RowDot(const FIXMATRIX *m, int i, const T v[3])
{
    int64_t s = static_cast<int64_t>(m->m[i][0]) * v[0] + static_cast<int64_t>(m->m[i][1]) * v[1] +
                static_cast<int64_t>(m->m[i][2]) * v[2];
    return Wrap32(s);
}

void Multiply3x3(const FIXMATRIX *a, const FIXMATRIX *b, int16_t out[3][3])
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            int64_t s = static_cast<int64_t>(a->m[r][0]) * b->m[0][c] +
                        static_cast<int64_t>(a->m[r][1]) * b->m[1][c] +
                        static_cast<int64_t>(a->m[r][2]) * b->m[2][c];
            out[r][c] = Wrap16(Shift12(s));
        }
}

FIXMATRIX *RotateBy(FIXMATRIX *m, const FIXMATRIX &r)
{
    return Sys_MultiplyMatrix(&r, m);
}

FIXMATRIX IdentityValue()
{
    FIXMATRIX m{};
    Sys_IdentityMatrix(&m);
    return m;
}

int64_t Abs64(int64_t v)
{
    return v < 0 ? -v : v;
}

// Shared body of the normalisations: v already copied and, for long input, reduced.
template <typename TOut> int32_t NormaliseReduced(const int64_t v[3], TOut out[3])
{
    int32_t len = Sys_FixedSqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; i++)
        out[i] = len == 0 ? 0 : static_cast<TOut>(Wrap32((v[i] * 4096) / len));
    return len;
}

void ReduceLong(const int32_t in[3], int64_t v[3])
{
    for (int i = 0; i < 3; i++)
        v[i] = in[i];
    while (Abs64(v[0]) >= 32768 || Abs64(v[1]) >= 32768 || Abs64(v[2]) >= 32768)
        for (int i = 0; i < 3; i++)
            v[i] >>= 3;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Trigonometry

double Sys_SineTableEntry(int32_t i)
{
    return std::trunc(std::sin(static_cast<double>(i) / 4096.0 * 6.28318530718) * 4096.0);
}

void Sys_BuildSineTable()
{
    for (int32_t i = 0; i < FIX_SINE_ENTRIES; i++)
        g_adSineTable[i] = Sys_SineTableEntry(i);
}

int32_t Sys_FixedSin(int32_t angle)
{
    int64_t i = angle;
    bool negative = i < 0;
    int64_t mag = negative ? -i : i;
    if (mag >= FIX_SINE_ENTRIES)
        mag &= 0xFFF;
    int32_t entry = static_cast<int32_t>(g_adSineTable[mag]);
    return negative ? -entry : entry;
}

int32_t Sys_FixedCos(int32_t angle)
{
    // angle + 1024 taken wide and wrapped, so the extreme angles still land in the table.
    return Sys_FixedSin(Wrap32(static_cast<int64_t>(angle) + 1024));
}

int32_t Sys_FixedAtan2(int32_t y, int32_t x)
{
    return static_cast<int32_t>(std::atan2(static_cast<double>(y), static_cast<double>(x)) * 652.0);
}

int32_t Sys_FixedSqrt(int64_t x)
{
    if (x <= 0)
        return 0;
    return static_cast<int32_t>(std::sqrt(static_cast<double>(x)));
}

const int16_t *Sys_ArcCosTable()
{
    static const struct Table
    {
        int16_t v[258];
        Table() : v{}
        {
            const double pi = 3.14159265358979323846;
            for (int i = 0; i < 256; i++)
                v[i] = static_cast<int16_t>(std::trunc(std::acos(2.0 * i / 255.0 - 1.0) * 4096.0 / (2.0 * pi)));
            v[256] = 0;
            v[257] = 0;
        }
    } s_table;
    return s_table.v;
}

int32_t Sys_FxTableFunction(int32_t x)
{
    const int16_t *table = Sys_ArcCosTable();
    if (x < -4096)
        x = -4096;
    if (x > 4096)
        x = 4096;
    int32_t u = x + 4096;
    int32_t i = u >> 5;
    int32_t f = (u & 31) << 8;
    return table[i] + (((table[i + 1] - table[i]) * f) >> 13);
}

// ---------------------------------------------------------------------------------------------
// Matrices

FIXMATRIX *Sys_IdentityMatrix(FIXMATRIX *m)
{
    std::memset(m, 0, sizeof(*m));
    m->m[0][0] = m->m[1][1] = m->m[2][2] = 4096;
    return m;
}

FIXMATRIX *Sys_IdentityRotation(FIXMATRIX *m)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            m->m[r][c] = r == c ? 4096 : 0;
    return m;
}

FIXMATRIX *Sys_TransposeMatrix(const FIXMATRIX *src, FIXMATRIX *dst)
{
    int16_t tmp[3][3];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            tmp[r][c] = src->m[c][r];
    std::memcpy(dst->m, tmp, sizeof(tmp));
    return dst;
}

FIXMATRIX *Sys_MultiplyMatrix(const FIXMATRIX *a, FIXMATRIX *b)
{
    int16_t tmp[3][3];
    Multiply3x3(a, b, tmp);
    std::memcpy(b->m, tmp, sizeof(tmp));
    return b;
}

FIXMATRIX *Sys_RotateMatrixX(int32_t angle, FIXMATRIX *m)
{
    FIXMATRIX r = IdentityValue();
    int16_t s = static_cast<int16_t>(Sys_FixedSin(angle)), c = static_cast<int16_t>(Sys_FixedCos(angle));
    r.m[1][1] = c;
    r.m[1][2] = static_cast<int16_t>(-s);
    r.m[2][1] = s;
    r.m[2][2] = c;
    return RotateBy(m, r);
}

FIXMATRIX *Sys_RotateMatrixY(int32_t angle, FIXMATRIX *m)
{
    FIXMATRIX r = IdentityValue();
    int16_t s = static_cast<int16_t>(Sys_FixedSin(angle)), c = static_cast<int16_t>(Sys_FixedCos(angle));
    r.m[0][0] = c;
    r.m[0][2] = s;
    r.m[2][0] = static_cast<int16_t>(-s);
    r.m[2][2] = c;
    return RotateBy(m, r);
}

FIXMATRIX *Sys_RotateMatrixZ(int32_t angle, FIXMATRIX *m)
{
    FIXMATRIX r = IdentityValue();
    int16_t s = static_cast<int16_t>(Sys_FixedSin(angle)), c = static_cast<int16_t>(Sys_FixedCos(angle));
    r.m[0][0] = c;
    r.m[0][1] = static_cast<int16_t>(-s);
    r.m[1][0] = s;
    r.m[1][1] = c;
    return RotateBy(m, r);
}

FIXMATRIX *Sys_RotationMatrixXYZ(const int16_t angles[3], FIXMATRIX *m)
{
    Sys_IdentityMatrix(m);
    Sys_RotateMatrixX(angles[0], m);
    Sys_RotateMatrixY(angles[1], m);
    Sys_RotateMatrixZ(angles[2], m);
    return m;
}

FIXMATRIX *Sys_MatrixFromAngles(const int16_t angles[3], FIXMATRIX *m)
{
    int64_t s0 = Sys_FixedSin(angles[0]), c0 = Sys_FixedCos(angles[0]);
    int64_t s1 = Sys_FixedSin(angles[1]), c1 = Sys_FixedCos(angles[1]);
    int64_t s2 = Sys_FixedSin(angles[2]), c2 = Sys_FixedCos(angles[2]);
    int64_t t = Shift12(s1 * s0);
    m->m[0][0] = Wrap16(Shift12(c1 * c2));
    m->m[1][0] = Wrap16(-Shift12(c1 * s2));
    m->m[2][0] = Wrap16(s1);
    m->m[0][1] = Wrap16(Shift12(s2 * c0 + t * c2));
    m->m[1][1] = Wrap16(Shift12(c0 * c2 - t * s2));
    m->m[2][1] = Wrap16(-Shift12(c1 * s0));
    m->m[0][2] = Wrap16(Shift12(s2 * s0 - Shift12(c0 * c2) * s1));
    m->m[1][2] = Wrap16(Shift12(s0 * c2 + Shift12(c0 * s2) * s1));
    m->m[2][2] = Wrap16(Shift12(c1 * c0));
    return m;
}

FIXMATRIX *Sys_ComposeTransform(const FIXMATRIX *parent, const FIXMATRIX *child, FIXMATRIX *out)
{
    FIXMATRIX tmp{};
    Multiply3x3(parent, child, tmp.m);
    for (int i = 0; i < 3; i++)
        tmp.t[i] = Wrap32(static_cast<int64_t>(RowDot(parent, i, child->t) >> 12) + parent->t[i]);
    tmp.pad = out->pad;
    *out = tmp;
    return out;
}

FIXMATRIX *Sys_FxScaleMatrixRows(FIXMATRIX *m, int32_t sx, int32_t sy, int32_t sz)
{
    const int32_t scale[3] = {sx, sy, sz};
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            m->m[r][c] = Wrap16(Shift12(static_cast<int64_t>(m->m[r][c]) * scale[r]));
    return m;
}

FIXMATRIX *Sys_SetCurrentRotation(const FIXMATRIX *m)
{
    std::memcpy(g_mtxGeometry.m, m->m, sizeof(m->m));
    return &g_mtxGeometry;
}

FIXMATRIX *Sys_SetCurrentTranslation(const FIXMATRIX *m)
{
    std::memcpy(g_mtxGeometry.t, m->t, sizeof(m->t));
    return &g_mtxGeometry;
}

FIXMATRIX *Sys_MultiplyToCurrent(const FIXMATRIX *a, const FIXMATRIX *b, FIXMATRIX *out)
{
    int16_t tmp[3][3];
    Multiply3x3(a, b, tmp);
    std::memcpy(g_mtxGeometry.m, tmp, sizeof(tmp));
    std::memcpy(out->m, tmp, sizeof(tmp));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Vectors

int32_t *Sys_TransformLongVector(const FIXMATRIX *m, const int32_t in[3], int32_t out[3])
{
    int32_t tmp[3];
    for (int i = 0; i < 3; i++)
        tmp[i] = Wrap32(static_cast<int64_t>(RowDot(m, i, in) >> 12) + m->t[i]);
    std::memcpy(out, tmp, sizeof(tmp));
    return out;
}

int16_t *Sys_TransformShortVector(const FIXMATRIX *m, const int16_t in[3], int16_t out[3])
{
    int16_t tmp[3];
    for (int i = 0; i < 3; i++)
        tmp[i] = Wrap16(static_cast<int64_t>(RowDot(m, i, in) >> 12) + m->t[i]);
    std::memcpy(out, tmp, sizeof(tmp));
    return out;
}

int32_t *Sys_TransformShortToLong(const FIXMATRIX *m, const int16_t in[3], int32_t out[3])
{
    for (int i = 0; i < 3; i++)
        out[i] = Wrap32(static_cast<int64_t>(RowDot(m, i, in) >> 12) + m->t[i]);
    return out;
}

int16_t *Sys_TransformByCurrent(const int16_t in[3], int16_t out[3])
{
    return Sys_TransformShortVector(&g_mtxGeometry, in, out);
}

int32_t *Sys_TransformByCurrentToLong(const int16_t in[3], int32_t out[3])
{
    return Sys_TransformShortToLong(&g_mtxGeometry, in, out);
}

int32_t *Sys_TransformLongByCurrent(const int32_t in[3], int32_t out[3])
{
    int32_t tmp[3];
    for (int i = 0; i < 3; i++)
        tmp[i] = RowDot(&g_mtxGeometry, i, in) >> 12;
    std::memcpy(out, tmp, sizeof(tmp));
    return out;
}

int32_t Sys_FxDotLong(const int32_t a[3], const int32_t b[3])
{
    int64_t s = static_cast<int64_t>(a[0]) * b[0] + static_cast<int64_t>(a[1]) * b[1] + static_cast<int64_t>(a[2]) * b[2];
    return Wrap32(s >> 12);
}

int32_t Sys_FxDotShort(const int16_t a[3], const int16_t b[3])
{
    int64_t s = static_cast<int64_t>(a[0]) * b[0] + static_cast<int64_t>(a[1]) * b[1] + static_cast<int64_t>(a[2]) * b[2];
    return Wrap32(s >> 12);
}

int32_t *Sys_CrossProductLong(const int32_t a[3], const int32_t b[3], int32_t out[3])
{
    int64_t x = static_cast<int64_t>(a[1]) * b[2] - static_cast<int64_t>(a[2]) * b[1];
    int64_t y = static_cast<int64_t>(a[2]) * b[0] - static_cast<int64_t>(a[0]) * b[2];
    int64_t z = static_cast<int64_t>(a[0]) * b[1] - static_cast<int64_t>(a[1]) * b[0];
    out[0] = Wrap32(x);
    out[1] = Wrap32(y);
    out[2] = Wrap32(z);
    return out;
}

int32_t *Sys_CrossProductFixed(const int32_t a[3], const int32_t b[3], int32_t out[3])
{
    int64_t x = static_cast<int64_t>(a[1]) * b[2] - static_cast<int64_t>(a[2]) * b[1];
    int64_t y = static_cast<int64_t>(a[2]) * b[0] - static_cast<int64_t>(a[0]) * b[2];
    int64_t z = static_cast<int64_t>(a[0]) * b[1] - static_cast<int64_t>(a[1]) * b[0];
    out[0] = Wrap32(x >> 12);
    out[1] = Wrap32(y >> 12);
    out[2] = Wrap32(z >> 12);
    return out;
}

int32_t *Sys_SquareVector(const int32_t in[3], int32_t out[3])
{
    for (int i = 0; i < 3; i++)
        out[i] = Wrap32(static_cast<int64_t>(in[i]) * in[i]);
    return out;
}

int32_t *Sys_BlendVectors(const int32_t a[3], const int32_t b[3], int32_t wa, int32_t wb, int32_t out[3])
{
    for (int i = 0; i < 3; i++)
        out[i] = Wrap32((static_cast<int64_t>(a[i]) * wa + static_cast<int64_t>(b[i]) * wb) >> 12);
    return out;
}

int32_t Sys_DivideBySquaredLength(const int32_t in[3], int32_t out[3])
{
    // In 64 bits: a 32-bit sum wraps for components from 46341 up, and can even wrap to zero.
    int64_t s = static_cast<int64_t>(in[0]) * in[0] + static_cast<int64_t>(in[1]) * in[1] +
                static_cast<int64_t>(in[2]) * in[2];
    for (int i = 0; i < 3; i++)
        out[i] = s == 0 ? 0 : static_cast<int32_t>(in[i] / s);
    return s > INT32_MAX ? INT32_MAX : static_cast<int32_t>(s);
}

int32_t Sys_FxPointLineDistance(const int32_t point[3], const int32_t direction[3], const int32_t origin[3])
{
    int64_t d[3];
    for (int i = 0; i < 3; i++)
        d[i] = static_cast<int64_t>(point[i]) - origin[i];
    int64_t t = (d[0] * direction[0] + d[1] * direction[1] + d[2] * direction[2]) >> 12;
    int64_t s = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    int64_t tt = t * t;
    return s > tt ? Sys_FixedSqrt(s - tt) : 0;
}

int32_t Sys_FxNormaliseLong(const int32_t in[3], int32_t out[3])
{
    int64_t v[3];
    ReduceLong(in, v);
    return NormaliseReduced(v, out);
}

int32_t Sys_FxNormaliseToShort(const int32_t in[3], int16_t out[3])
{
    int64_t v[3];
    ReduceLong(in, v);
    return NormaliseReduced(v, out);
}

int32_t Sys_FxNormaliseShort(const int16_t in[3], int16_t out[3])
{
    int64_t v[3] = {in[0], in[1], in[2]};
    return NormaliseReduced(v, out);
}

// ---------------------------------------------------------------------------------------------
// Angles from directions

void Sys_FxAngleAndLength(int32_t a, int32_t b, int16_t *outAngle, int32_t *outLength)
{
    if (a == 0 && b == 0) {
        *outAngle = 0;
        *outLength = 0;
        return;
    }
    int16_t angle = Wrap16(-static_cast<int64_t>(Sys_FixedAtan2(b, a)));
    int64_t divisor;
    int64_t numerator;
    if (Abs64(a) <= Abs64(b)) {
        numerator = Abs64(b) << 12;
        divisor = Sys_FixedSin(angle);
    } else {
        numerator = Abs64(a) << 12;
        divisor = Sys_FixedCos(angle);
    }
    *outAngle = angle;
    *outLength = divisor == 0 ? 0 : Wrap32(numerator / divisor);
}

void Sys_FxRotatePair(int16_t *a, int16_t *b, int32_t angle)
{
    int64_t c = Sys_FixedCos(angle), s = Sys_FixedSin(angle);
    int64_t a0 = *a, b0 = *b;
    *a = Wrap16((a0 * c >> 12) + (b0 * s >> 12));
    *b = Wrap16((b0 * c >> 12) + (-a0 * s >> 12));
}

int32_t Sys_FxDirectionAngles(const int16_t d[9], int16_t out[3])
{
    int32_t length = 0;
    Sys_FxAngleAndLength(d[0], d[1], &out[2], &length);
    out[1] = Wrap16(Sys_FixedAtan2(d[2], length));
    int16_t w[3] = {d[6], d[7], d[8]};
    Sys_FxRotatePair(&w[1], &w[0], -out[2]);
    Sys_FxRotatePair(&w[0], &w[2], -out[1]);
    out[0] = Wrap16(-static_cast<int64_t>(Sys_FixedAtan2(-w[1], w[2])));
    return out[0];
}

// ---------------------------------------------------------------------------------------------
// Coordinate chains

void Sys_CoordInit(COORD *coord, COORD *parent, const FIXMATRIX *matrix, uint32_t flags)
{
    coord->local = *matrix;
    coord->parent = parent;
    coord->flags = flags;
}

int32_t Sys_CoordUpdateWorld(COORD *coord)
{
    COORD *chain[FIX_COORD_MAX_DEPTH];
    int n = 0;
    for (COORD *c = coord; c; c = c->parent) {
        // A chain deeper than the fixed limit is either a loop or a caller's mistake: refuse
        // rather than write past the list.
        if (n == FIX_COORD_MAX_DEPTH)
            return -1;
        chain[n++] = c;
    }
    COORD *root = chain[n - 1];
    root->world = root->local;
    for (int i = n - 2; i >= 0; i--)
        Sys_ComposeTransform(&chain[i + 1]->world, &chain[i]->local, &chain[i]->world);
    return 0;
}

int32_t Sys_CoordLoadLocalScreen(COORD *coord, COORD *view, int32_t updateCoord)
{
    if (updateCoord && Sys_CoordUpdateWorld(coord) != 0)
        return -1;
    if (Sys_CoordUpdateWorld(view) != 0)
        return -1;
    FIXMATRIX out{};
    Sys_ComposeTransform(&view->world, &coord->world, &out);
    return Sys_SetWorldTransform(&out);
}

int32_t Sys_CoordLoadNormalised(COORD *coord, COORD *view, int32_t updateCoord)
{
    if (updateCoord && Sys_CoordUpdateWorld(coord) != 0)
        return -1;
    // The view's parent carries the camera; a view without one stands for itself.
    COORD *camera = view->parent ? view->parent : view;
    if (Sys_CoordUpdateWorld(camera) != 0)
        return -1;
    for (int r = 0; r < 3; r++)
        Sys_FxNormaliseShort(coord->world.m[r], coord->world.m[r]);
    FIXMATRIX out{};
    Sys_ComposeTransform(&camera->world, &coord->world, &out);
    return Sys_SetWorldTransform(&out);
}

// ---------------------------------------------------------------------------------------------
// Hand-off to the 3-D device

int32_t Sys_SetWorldTransform(const FIXMATRIX *m)
{
    // Row-vector layout, y flipped: the console's y grows downward, the device's upward.
    const float k = 1.0f / 4096.0f;
    SW3DMATRIX d{};
    d._11 = m->m[0][0] * k;
    d._12 = -m->m[1][0] * k;
    d._13 = m->m[2][0] * k;
    d._21 = m->m[0][1] * k;
    d._22 = -m->m[1][1] * k;
    d._23 = m->m[2][1] * k;
    d._31 = m->m[0][2] * k;
    d._32 = -m->m[1][2] * k;
    d._33 = m->m[2][2] * k;
    d._41 = static_cast<float>(m->t[0]);
    d._42 = -static_cast<float>(m->t[1]);
    d._43 = static_cast<float>(m->t[2]);
    d._44 = 1.0f;
    g_hrD3D = Gfx_D3DResult(Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &d));
    return g_hrD3D;
}

int32_t Sys_SetWorldTranslation(const FIXMATRIX *)
{
    // The translation went with the world transform.
    return 0;
}

void Sys_SetColourMatrix(const FIXMATRIX *m)
{
    g_mtxLightColour = *m;
    if (g_b3DLighting)
        for (int i = 0; i < 3; i++)
            Gfx_SetLightColour(i, m->m[0][i], m->m[1][i], m->m[2][i]);
}

void Sys_SetLightMatrix(const FIXMATRIX *m)
{
    g_mtxLightDirection = *m;
    if (g_b3DLighting)
        for (int i = 0; i < 3; i++)
            Gfx_SetLightDirection(i, m->m[i][0], m->m[i][1], m->m[i][2]);
}

void Sys_SetBackColour(int32_t r, int32_t g, int32_t b)
{
    if (g_b3DLighting)
        Gfx_SetAmbientColour(r, g, b);
}

void Sys_LightsApply(const LIGHTSET *lights)
{
    FIXMATRIX directions{};
    for (int i = 0; i < 3; i++)
        Sys_FxNormaliseShort(lights->directions[i], directions.m[i]);
    FIXMATRIX source{};
    std::memcpy(source.m, lights->matrix, sizeof(source.m));
    FIXMATRIX l{};
    Sys_MultiplyToCurrent(&source, &directions, &l);
    Sys_SetLightMatrix(&l);
    Sys_SetColourMatrix(&lights->colour);
    Sys_SetBackColour(lights->back[0], lights->back[1], lights->back[2]);
}

void Sys_ClearLights()
{
    std::memset(&g_mtxLightColourSet, 0, sizeof(g_mtxLightColourSet));
    std::memset(&g_mtxLightDirectionSet, 0, sizeof(g_mtxLightDirectionSet));
}

void Sys_SetLight(int32_t light, int32_t x, int32_t y, int32_t z, int32_t r, int32_t g, int32_t b)
{
    if (light < 0 || light > 2)
        return;
    const int32_t in[3] = {x, y, z};
    int16_t dir[3];
    Sys_FxNormaliseToShort(in, dir);
    for (int i = 0; i < 3; i++)
        g_mtxLightDirectionSet.m[light][i] = dir[i];
    g_mtxLightColourSet.m[0][light] = Wrap16(r);
    g_mtxLightColourSet.m[1][light] = Wrap16(g);
    g_mtxLightColourSet.m[2][light] = Wrap16(b);
}
