#include "core/fixmath.h"

#include "platform/sw3d.h"

#include "support/test3d.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

class FixMath : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sys_BuildSineTable();
        g_b3DLighting = 1;
        // The lights are the 3-D device's: they exist while it does.
        ASSERT_TRUE(Test3D_Open());
    }

    void TearDown() override { Test3D_Close(); }
};

FIXMATRIX Make(std::initializer_list<int16_t> rows, int32_t tx = 0, int32_t ty = 0, int32_t tz = 0)
{
    FIXMATRIX m{};
    auto it = rows.begin();
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            m.m[r][c] = *it++;
    m.t[0] = tx;
    m.t[1] = ty;
    m.t[2] = tz;
    return m;
}

void ExpectRotation(const FIXMATRIX &m, std::initializer_list<int16_t> rows)
{
    auto it = rows.begin();
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++, ++it)
            EXPECT_EQ(m.m[r][c], *it) << "element " << r << c;
}

const FIXMATRIX kRotZ90 = Make({0, -4096, 0, 4096, 0, 0, 0, 0, 4096});

} // namespace

TEST_F(FixMath, SineTableEntries)
{
    struct Case
    {
        int32_t i;
        double v;
    } cases[] = {{0, 0}, {1, 6}, {341, 2046}, {512, 2896}, {1024, 4096}, {1365, 3548},
                 {2048, 0}, {3072, -4096}, {3500, -3244}, {4095, -6}};
    for (const Case &c : cases) {
        EXPECT_EQ(g_adSineTable[c.i], c.v) << c.i;
        EXPECT_EQ(Sys_SineTableEntry(c.i), c.v) << c.i;
    }
}

TEST_F(FixMath, SinAndCosFoldAngles)
{
    struct Case
    {
        int32_t angle, sin, cos;
    } cases[] = {
        {0, 0, 4096},        {1024, 4096, 0},     {-1024, -4096, 0},   {2048, 0, -4096},
        {5120, 4096, 0},     {-5120, -4096, 0},   {4096, 0, 4096},     {-4096, 0, 4096},
        {-3072, 4096, 0},    {512, 2896, 2896},   {-512, -2896, 2896}, {INT32_MIN, 0, 4096},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Sys_FixedSin(c.angle), c.sin) << c.angle;
        EXPECT_EQ(Sys_FixedCos(c.angle), c.cos) << c.angle;
    }
    // The far end of the range still lands in the table.
    EXPECT_LE(std::abs(Sys_FixedCos(INT32_MAX)), 4096);
}

TEST_F(FixMath, Atan2UsesSixFiftyTwoPerRadian)
{
    EXPECT_EQ(Sys_FixedAtan2(1, 0), 1024);
    EXPECT_EQ(Sys_FixedAtan2(0, -1), 2048);
    EXPECT_EQ(Sys_FixedAtan2(-1, -1), -1536);
    EXPECT_EQ(Sys_FixedAtan2(1, 1), 512);
    EXPECT_EQ(Sys_FixedAtan2(0, 1), 0);
    EXPECT_EQ(Sys_FixedSqrt(99), 9);
    EXPECT_EQ(Sys_FixedSqrt(0), 0);
    EXPECT_EQ(Sys_FixedSqrt(-5), 0);
    EXPECT_EQ(Sys_FixedSqrt(int64_t{1} << 40), 1 << 20);
}

TEST_F(FixMath, ArcCosTableAndInterpolation)
{
    const int16_t *t = Sys_ArcCosTable();
    EXPECT_EQ(t[0], 2048);
    EXPECT_EQ(t[1], 1966);
    EXPECT_EQ(t[128], 1021);
    EXPECT_EQ(t[254], 81);
    EXPECT_EQ(t[255], 0);
    EXPECT_EQ(t[256], 0);
    EXPECT_EQ(Sys_FxTableFunction(-4096), 2048);
    EXPECT_EQ(Sys_FxTableFunction(-99999), 2048); // clamped
    EXPECT_EQ(Sys_FxTableFunction(0), 1021);
    EXPECT_EQ(Sys_FxTableFunction(4096), 0);
    // Halfway between entries 0 and 1: 2048 + ((1966 - 2048) * 4096 >> 13) = 2007.
    EXPECT_EQ(Sys_FxTableFunction(-4096 + 16), 2007);
}

TEST_F(FixMath, MultiplyTruncatesAndWraps)
{
    // 0.5, 1, -1 on the diagonal; the arithmetic shift takes -1.5 down to -2.
    FIXMATRIX a = Make({2048, 0, 0, 0, 4096, 0, 0, 0, -4096});
    FIXMATRIX b = Make({100, -3, 4096, 7, 8, 9, 1, 2, 3}, 5, 6, 7);
    EXPECT_EQ(Sys_MultiplyMatrix(&a, &b), &b);
    ExpectRotation(b, {50, -2, 2048, 7, 8, 9, -1, -2, -3});
    EXPECT_EQ(b.t[0], 5); // translation untouched

    // Results kept in 16 bits: 4.0 x 4.0 = 16.0 wraps to 0, 2.0 x 4.0 to -8.0.
    FIXMATRIX big = Make({16384, 0, 0, 0, 8192, 0, 0, 0, 4096});
    FIXMATRIX v = Make({16384, 0, 0, 0, 16384, 0, 0, 0, 4096});
    Sys_MultiplyMatrix(&big, &v);
    ExpectRotation(v, {0, 0, 0, 0, -32768, 0, 0, 0, 4096});

    // The sum of three products wraps in 32 bits before the shift.
    FIXMATRIX full = Make({32767, 32767, 32767, 0, 0, 0, 0, 0, 0});
    FIXMATRIX col = Make({32767, 0, 0, 32767, 0, 0, 32767, 0, 0});
    Sys_MultiplyMatrix(&full, &col);
    EXPECT_EQ(col.m[0][0], -48);
}

TEST_F(FixMath, Rotations)
{
    FIXMATRIX m{};
    Sys_RotateMatrixX(1024, Sys_IdentityMatrix(&m));
    ExpectRotation(m, {4096, 0, 0, 0, 0, -4096, 0, 4096, 0});
    Sys_RotateMatrixY(1024, Sys_IdentityMatrix(&m));
    ExpectRotation(m, {0, 0, 4096, 0, 4096, 0, -4096, 0, 0});
    Sys_RotateMatrixZ(1024, Sys_IdentityMatrix(&m));
    ExpectRotation(m, {0, -4096, 0, 4096, 0, 0, 0, 0, 4096});

    // Two eighth turns: 2 x 2896^2 >> 12 is 4095.125, so the positive side rounds down to
    // 4095 and the negative side to -4096.
    Sys_IdentityMatrix(&m);
    Sys_RotateMatrixZ(512, &m);
    ExpectRotation(m, {2896, -2896, 0, 2896, 2896, 0, 0, 0, 4096});
    Sys_RotateMatrixZ(512, &m);
    ExpectRotation(m, {0, -4096, 0, 4095, 0, 0, 0, 0, 4096});

    // XYZ applies X first: a quarter turn about X then about Z.
    const int16_t angles[3] = {1024, 0, 1024};
    Sys_RotationMatrixXYZ(angles, &m);
    ExpectRotation(m, {0, 0, 4096, 4096, 0, 0, 0, 4096, 0});
    EXPECT_EQ(m.t[0], 0);
}

TEST_F(FixMath, MatrixFromAnglesIsTheXyzRotationOfNegatedAngles)
{
    const int16_t cases[][3] = {{0, 0, 0}, {1024, 0, 0}, {300, -700, 1500}, {-2000, 333, 64}, {4000, 2048, -1024}};
    for (const auto &a : cases) {
        FIXMATRIX direct{}, stepped{};
        Sys_MatrixFromAngles(a, &direct);
        const int16_t neg[3] = {static_cast<int16_t>(-a[0]), static_cast<int16_t>(-a[1]), static_cast<int16_t>(-a[2])};
        Sys_RotationMatrixXYZ(neg, &stepped);
        for (int r = 0; r < 3; r++)
            for (int c = 0; c < 3; c++)
                EXPECT_NEAR(direct.m[r][c], stepped.m[r][c], 3) << a[0] << "," << a[1] << "," << a[2] << " @" << r << c;
    }
}

TEST_F(FixMath, ComposeScaleTransposeAndCurrent)
{
    FIXMATRIX parent = kRotZ90;
    parent.t[0] = 10;
    parent.t[1] = 20;
    parent.t[2] = 30;
    FIXMATRIX child{};
    Sys_IdentityMatrix(&child);
    child.t[0] = 100;
    child.t[1] = 200;
    child.t[2] = 300;
    FIXMATRIX out{};
    Sys_ComposeTransform(&parent, &child, &out);
    ExpectRotation(out, {0, -4096, 0, 4096, 0, 0, 0, 0, 4096});
    EXPECT_EQ(out.t[0], -190);
    EXPECT_EQ(out.t[1], 120);
    EXPECT_EQ(out.t[2], 330);
    // The output may be the parent itself.
    Sys_ComposeTransform(&parent, &child, &parent);
    EXPECT_EQ(parent.t[0], -190);

    FIXMATRIX s = Make({4096, 4096, -4096, 4096, 4096, 4096, 100, 200, 300});
    Sys_FxScaleMatrixRows(&s, 2048, 8192, -4096);
    ExpectRotation(s, {2048, 2048, -2048, 8192, 8192, 8192, -100, -200, -300});

    FIXMATRIX t{};
    Sys_TransposeMatrix(&kRotZ90, &t);
    ExpectRotation(t, {0, 4096, 0, -4096, 0, 0, 0, 0, 4096});

    FIXMATRIX dst{};
    Sys_MultiplyToCurrent(&kRotZ90, &kRotZ90, &dst);
    ExpectRotation(dst, {-4096, 0, 0, 0, -4096, 0, 0, 0, 4096});
    ExpectRotation(g_mtxGeometry, {-4096, 0, 0, 0, -4096, 0, 0, 0, 4096});
    FIXMATRIX moved = Make({0, 0, 0, 0, 0, 0, 0, 0, 0}, 7, 8, 9);
    Sys_SetCurrentTranslation(&moved);
    Sys_SetCurrentRotation(&kRotZ90);
    ExpectRotation(g_mtxGeometry, {0, -4096, 0, 4096, 0, 0, 0, 0, 4096});
    EXPECT_EQ(g_mtxGeometry.t[2], 9);
}

TEST_F(FixMath, TransformFamily)
{
    FIXMATRIX m = kRotZ90;
    m.t[0] = 1;
    m.t[1] = 2;
    m.t[2] = 3;
    const int16_t sin[3] = {100, 50, -7};
    int16_t sout[3];
    Sys_TransformShortVector(&m, sin, sout);
    EXPECT_EQ(sout[0], -49);
    EXPECT_EQ(sout[1], 102);
    EXPECT_EQ(sout[2], -4);

    int32_t lout[3];
    Sys_TransformShortToLong(&m, sin, lout);
    EXPECT_EQ(lout[0], -49);
    const int32_t lin[3] = {100000, 50, -7};
    Sys_TransformLongVector(&m, lin, lout);
    EXPECT_EQ(lout[1], 100002);

    // Short output keeps the low 16 bits; the long one keeps the value.
    FIXMATRIX twice = Make({8192, 0, 0, 0, 8192, 0, 0, 0, 8192});
    const int16_t edge[3] = {32767, 0, 0};
    Sys_TransformShortVector(&twice, edge, sout);
    EXPECT_EQ(sout[0], -2);
    Sys_TransformShortToLong(&twice, edge, lout);
    EXPECT_EQ(lout[0], 65534);

    // The dot product is summed in 32 bits: 2^20 x 4096 wraps to 0.
    FIXMATRIX id{};
    Sys_IdentityMatrix(&id);
    const int32_t huge[3] = {1 << 20, 0, 0};
    Sys_TransformLongVector(&id, huge, lout);
    EXPECT_EQ(lout[0], 0);

    Sys_SetCurrentRotation(&kRotZ90);
    Sys_SetCurrentTranslation(&m);
    Sys_TransformByCurrent(sin, sout);
    EXPECT_EQ(sout[0], -49);
    Sys_TransformByCurrentToLong(sin, lout);
    EXPECT_EQ(lout[1], 102);
    Sys_TransformLongByCurrent(lin, lout); // no translation
    EXPECT_EQ(lout[0], -50);
    EXPECT_EQ(lout[1], 100000);
}

TEST_F(FixMath, DotsCrossesAndBlends)
{
    const int32_t a[3] = {4096, 8192, -4096}, b[3] = {2048, 1, 4096};
    EXPECT_EQ(Sys_FxDotLong(a, b), 2048 + 2 - 4096);
    const int16_t sa[3] = {4096, 0, 0}, sb[3] = {-1, 0, 0};
    EXPECT_EQ(Sys_FxDotShort(sa, sb), -1);

    const int32_t x[3] = {4096, 0, 0}, y[3] = {0, 4096, 0};
    int32_t out[3];
    Sys_CrossProductLong(x, y, out);
    EXPECT_EQ(out[2], 4096 * 4096);
    Sys_CrossProductFixed(x, y, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 4096);

    const int32_t sq[3] = {-3, 46341, 0};
    Sys_SquareVector(sq, out);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(out[1], static_cast<int32_t>(46341u * 46341u)); // wraps, as the console's did

    const int32_t p[3] = {100, 200, -300}, q[3] = {300, 0, 300};
    Sys_BlendVectors(p, q, 2048, 2048, out);
    EXPECT_EQ(out[0], 200);
    EXPECT_EQ(out[1], 100);
    EXPECT_EQ(out[2], 0);
}

TEST_F(FixMath, NormaliseLengthsAndDivisions)
{
    int32_t lout[3];
    int16_t sout[3];
    const int32_t zero[3] = {0, 0, 0};
    EXPECT_EQ(Sys_FxNormaliseLong(zero, lout), 0);
    EXPECT_EQ(lout[0], 0);
    EXPECT_EQ(lout[2], 0);

    const int32_t wide[3] = {8 * 5000, 0, 0};
    EXPECT_EQ(Sys_FxNormaliseLong(wide, lout), 5000);
    EXPECT_EQ(lout[0], 4096);
    EXPECT_EQ(Sys_FxNormaliseToShort(wide, sout), 5000);
    EXPECT_EQ(sout[0], 4096);

    const int16_t tri[3] = {-3, -4, 0};
    EXPECT_EQ(Sys_FxNormaliseShort(tri, sout), 5);
    EXPECT_EQ(sout[0], -2457); // truncated toward zero
    EXPECT_EQ(sout[1], -3276);

    // Full-range short vectors: the sum of squares no longer fits 32 bits.
    const int16_t full[3] = {32767, 32767, 32767};
    EXPECT_EQ(Sys_FxNormaliseShort(full, sout), 56754);
    EXPECT_EQ(sout[0], 2364);
    EXPECT_EQ(sout[2], 2364);
    const int32_t extreme[3] = {INT32_MIN, INT32_MAX, 0};
    EXPECT_GT(Sys_FxNormaliseLong(extreme, lout), 0);
    EXPECT_LT(lout[0], 0);
    EXPECT_GT(lout[1], 0);

    // A 32-bit sum of squares would be exactly zero here and divide by it.
    const int32_t wraps[3] = {65536, 0, 0};
    EXPECT_EQ(Sys_DivideBySquaredLength(wraps, lout), INT32_MAX);
    EXPECT_EQ(lout[0], 0);
    EXPECT_EQ(Sys_DivideBySquaredLength(zero, lout), 0);
    const int32_t unit[3] = {-1, 0, 0};
    EXPECT_EQ(Sys_DivideBySquaredLength(unit, lout), 1);
    EXPECT_EQ(lout[0], -1);

    const int32_t dir[3] = {4096, 0, 0}, origin[3] = {0, 0, 0};
    const int32_t pt[3] = {300, 400, 0};
    EXPECT_EQ(Sys_FxPointLineDistance(pt, dir, origin), 400);
    const int32_t onLine[3] = {-50, 0, 0};
    EXPECT_EQ(Sys_FxPointLineDistance(onLine, dir, origin), 0);
    const int32_t far[3] = {100000, 0, 100000};
    EXPECT_EQ(Sys_FxPointLineDistance(far, dir, origin), 100000);
}

TEST_F(FixMath, AnglesFromDirections)
{
    int16_t angle = 99;
    int32_t length = 99;
    Sys_FxAngleAndLength(0, 0, &angle, &length);
    EXPECT_EQ(angle, 0);
    EXPECT_EQ(length, 0);
    Sys_FxAngleAndLength(4096, 0, &angle, &length);
    EXPECT_EQ(angle, 0);
    EXPECT_EQ(length, 4096);
    // Length carries the sign of the sine it was divided by.
    Sys_FxAngleAndLength(0, 100, &angle, &length);
    EXPECT_EQ(angle, -1024);
    EXPECT_EQ(length, -100);

    int16_t a = 100, b = 0;
    Sys_FxRotatePair(&a, &b, 1024);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, -100);

    // A direction along +x with an up vector along +z needs no turn.
    const int16_t d[9] = {4096, 0, 0, 0, 0, 0, 0, 0, 4096};
    int16_t out[3];
    EXPECT_EQ(Sys_FxDirectionAngles(d, out), 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 0);
}

TEST_F(FixMath, CoordChains)
{
    COORD root{}, child{}, grandchild{};
    FIXMATRIX local = kRotZ90;
    local.t[0] = 10;
    Sys_CoordInit(&root, nullptr, &local, 0x55);
    EXPECT_EQ(Sys_CoordUpdateWorld(&root), 0);
    EXPECT_EQ(std::memcmp(&root.world, &root.local, sizeof(FIXMATRIX)), 0);
    EXPECT_EQ(root.flags, 0x55u);

    FIXMATRIX step{};
    Sys_IdentityMatrix(&step);
    step.t[1] = 100;
    Sys_CoordInit(&child, &root, &step, 0);
    Sys_IdentityMatrix(&step);
    step.t[0] = 5;
    Sys_CoordInit(&grandchild, &child, &step, 0);
    EXPECT_EQ(Sys_CoordUpdateWorld(&grandchild), 0);
    EXPECT_EQ(child.world.t[0], -90);
    EXPECT_EQ(child.world.t[1], 0);
    EXPECT_EQ(grandchild.world.t[0], -90);
    EXPECT_EQ(grandchild.world.t[1], 5);
    ExpectRotation(grandchild.world, {0, -4096, 0, 4096, 0, 0, 0, 0, 4096});
}

TEST_F(FixMath, CoordChainDepthIsBounded)
{
    COORD chain[FIX_COORD_MAX_DEPTH + 1];
    FIXMATRIX id{};
    Sys_IdentityMatrix(&id);
    for (int i = 0; i <= FIX_COORD_MAX_DEPTH; i++)
        Sys_CoordInit(&chain[i], i ? &chain[i - 1] : nullptr, &id, 0);
    EXPECT_EQ(Sys_CoordUpdateWorld(&chain[FIX_COORD_MAX_DEPTH - 1]), 0); // 34 records
    EXPECT_EQ(Sys_CoordUpdateWorld(&chain[FIX_COORD_MAX_DEPTH]), -1);   // 35 records

    COORD a{}, b{};
    Sys_CoordInit(&a, &b, &id, 0);
    Sys_CoordInit(&b, &a, &id, 0);
    EXPECT_EQ(Sys_CoordUpdateWorld(&a), -1);
}

TEST_F(FixMath, WorldTransformHandOffFlipsY)
{
    FIXMATRIX m{};
    Sys_IdentityMatrix(&m);
    m.t[0] = 10;
    m.t[1] = 20;
    m.t[2] = 30;
    EXPECT_EQ(Sys_SetWorldTransform(&m), 0);
    SW3DMATRIX d{};
    ASSERT_EQ(Sw3d_GetTransform(SW3D_TRANSFORM_WORLD, &d), 0);
    EXPECT_EQ(d._11, 1.0f);
    EXPECT_EQ(d._22, -1.0f);
    EXPECT_EQ(d._33, 1.0f);
    EXPECT_EQ(d._12, 0.0f);
    EXPECT_EQ(d._14, 0.0f);
    EXPECT_EQ(d._41, 10.0f);
    EXPECT_EQ(d._42, -20.0f);
    EXPECT_EQ(d._43, 30.0f);
    EXPECT_EQ(d._44, 1.0f);

    // Element (r, c) goes to row c: the device multiplies row vectors.
    FIXMATRIX r = Make({1, 2, 3, 4, 5, 6, 7, 8, 9});
    Sys_SetWorldTransform(&r);
    Sw3d_GetTransform(SW3D_TRANSFORM_WORLD, &d);
    EXPECT_EQ(d._12, -4.0f / 4096.0f);
    EXPECT_EQ(d._21, 2.0f / 4096.0f);
    EXPECT_EQ(d._32, -6.0f / 4096.0f);
    EXPECT_EQ(d._13, 7.0f / 4096.0f);

    // A chain loads view world x object world.
    COORD view{}, obj{};
    FIXMATRIX vm = kRotZ90, om{};
    Sys_IdentityMatrix(&om);
    om.t[0] = 4;
    Sys_CoordInit(&view, nullptr, &vm, 0);
    Sys_CoordInit(&obj, nullptr, &om, 0);
    EXPECT_EQ(Sys_CoordLoadLocalScreen(&obj, &view, 1), 0);
    Sw3d_GetTransform(SW3D_TRANSFORM_WORLD, &d);
    EXPECT_EQ(d._42, -4.0f); // (0, 4, 0) after the turn, y flipped
}

TEST_F(FixMath, LightsGoToTheDeviceOnlyWhileLightingIsOn)
{
    FIXMATRIX colour = Make({4096, 0, 0, 0, 2048, 0, 0, 0, -4096});
    FIXMATRIX dirs = Make({4096, 0, 0, 0, 0, 0, 0, 0, -4096});
    Sys_SetColourMatrix(&colour);
    Sys_SetLightMatrix(&dirs);
    Sys_SetBackColour(1, 2, 3);
    SW3DCOLOUR c{};
    SW3DVECTOR v{};
    Sw3d_GetLight(1, &c, &v);
    EXPECT_EQ(c.g, 0.5f); // column 1 is light 1
    Sw3d_GetLight(2, &c, &v);
    EXPECT_EQ(c.b, 1.0f); // absolute value
    EXPECT_EQ(v.z, -1.0f);
    EXPECT_EQ(Sw3d_GetAmbient(), 0x010203u);
    EXPECT_EQ(std::memcmp(&g_mtxLightColour, &colour, sizeof(colour)), 0);

    g_b3DLighting = 0;
    FIXMATRIX other = Make({0, 0, 0, 0, 0, 0, 0, 0, 0});
    Sys_SetColourMatrix(&other);
    Sys_SetBackColour(9, 9, 9);
    Sw3d_GetLight(2, &c, &v);
    EXPECT_EQ(c.b, 1.0f);
    EXPECT_EQ(Sw3d_GetAmbient(), 0x010203u);
    EXPECT_EQ(g_mtxLightColour.m[2][2], 0); // stored all the same
}

TEST_F(FixMath, LightsApplyNormalisesAndMultiplies)
{
    LIGHTSET set{};
    set.matrix[0][0] = set.matrix[1][1] = set.matrix[2][2] = 4096;
    set.directions[0][0] = 100;   // -> (4096, 0, 0)
    set.directions[1][1] = -7;    // -> (0, -4096, 0)
    set.directions[2][0] = 3;     // -> (2457, 0, 3276)
    set.directions[2][2] = 4;
    set.colour.m[0][0] = 4096;
    set.back[0] = 10;
    set.back[1] = 20;
    set.back[2] = 30;
    Sys_LightsApply(&set);
    ExpectRotation(g_mtxLightDirection, {4096, 0, 0, 0, -4096, 0, 2457, 0, 3276});
    EXPECT_EQ(g_mtxLightColour.m[0][0], 4096);
    EXPECT_EQ(Sw3d_GetAmbient(), 0x0A141Eu);
}
