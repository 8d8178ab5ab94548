// Vertex-group animation over a small fixture: frames found on both sides of the time, blended
// into the model's vertices, loop wrapping, once per displayed frame, indices past the model.
#include "app/timers.h"
#include "core/console_memory.h"
#include "tools/reswriters.h"
#include "video/resloaders.h"
#include "video/vertexanim.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Loop 0..300; frames at 0, 100, 200. Group 0 moves vertex 0 along x and vertex 3 along y in
// every frame; group 1 moves vertex 5 in frames 0 and 2 only.
CONTENTANIM Fixture()
{
    CONTENTANIM a;
    a.loopStart = 0;
    a.loopEnd = 300;
    a.groupItems = {2, 1};
    for (int f = 0; f < 3; f++) {
        CONTENTANIMFRAME fr;
        fr.time = static_cast<uint16_t>(f * 100);
        fr.groups.resize(2);
        fr.groups[0] = {{int16_t(1000 * f), 7, 7, 0}, {0, int16_t(-1000 * f), 0, 3}};
        if (f != 1)
            fr.groups[1] = {{int16_t(100 * f), 0, 0, 5}};
        a.frames.push_back(fr);
    }
    return a;
}

struct Scene
{
    explicit Scene(uint32_t vertices) : bytes(8 * vertices, 0)
    {
        model.vertices = bytes.data();
        model.vertexCount = vertices;
        holder.model = &model;
        object.pInstance = &holder;
    }
    int16_t V(int32_t vertex, int32_t axis) const
    {
        const uint8_t *p = bytes.data() + 8 * vertex + 2 * axis;
        return static_cast<int16_t>(p[0] | p[1] << 8);
    }
    std::vector<uint8_t> bytes;
    MODEL model{};
    MODELINSTANCE holder{};
    VIDOBJECT object{};
};

class VertexAnim : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<uint8_t> file = Content_WriteAnimation(Fixture());
        auto *copy = static_cast<uint8_t *>(std::malloc(file.size()));
        std::memcpy(copy, file.data(), file.size());
        anim = Vid_LayoutLoadedDef(copy, file.size());
        ASSERT_NE(anim, nullptr) << g_szResErrorText;
        g_ucFrameTick = 1;
        g_iFrameCount = 100;
    }
    void TearDown() override
    {
        Vid_FreeAnim(anim);
        g_iFrameCount = 0;
    }
    ANIMRES *anim = nullptr;
};

} // namespace

TEST_F(VertexAnim, FramesAreFoundBothWaysAndBlendedIntoTheVertices)
{
    Scene s(6);
    s.object.pAnimation = anim;
    // Times in the order asked: forward, across the wrap, at the loop end, then backward.
    const struct
    {
        int32_t time; // before the speed of 96 is added
        int32_t t;
        int16_t x0, y3, x5;
    } steps[] = {
        {-96, 0, 0, 0, 0},           // on frame 0: its values copied (from and to the same time)
        {150 - 96, 150, 1500, -1500, 150}, // half-way 1..2; group 1 a quarter of 0..2
        {-850 - 96, 50, 500, -500, 50},   // three loops back wraps forward to 50
        {300 - 96, 300, 2000, -2000, 200}, // the loop end: no later frame, frame 2 copied
        {650 - 96, 50, 500, -500, 50},     // two loops on wraps back to 50
        {250 - 96, 250, 2000, -2000, 200}, // after the last frame: copied
        {100 - 96, 100, 1000, -1000, 100}, // exactly on frame 1; group 1 half-way 0..2
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.time);
        g_iFrameCount++;
        EXPECT_EQ(Vid_AnimateObject(&s.object, step.time), step.t);
        EXPECT_EQ(s.V(0, 0), step.x0);
        EXPECT_EQ(s.V(0, 1), 7);
        EXPECT_EQ(s.V(3, 1), step.y3);
        EXPECT_EQ(s.V(5, 0), step.x5);
    }
    // The speed field of the animation scales the frame tick.
    anim->extra->speed = 0;
    g_iFrameCount++;
    EXPECT_EQ(Vid_AnimateObject(&s.object, 120), 120);
    EXPECT_EQ(s.V(0, 0), 1199); // factor (20 << 12) / 100 = 819, rounded down
}

TEST_F(VertexAnim, OnceADisplayedFrameAndNeverPastTheModel)
{
    // Two slots share the animation: the second one in the same frame is left as it is.
    Scene a(6), b(6);
    a.object.pAnimation = b.object.pAnimation = anim;
    g_iFrameCount++;
    EXPECT_EQ(Vid_AnimateObject(&a.object, 54), 150);
    EXPECT_EQ(Vid_AnimateObject(&b.object, 54), 54);
    EXPECT_EQ(b.V(0, 0), 0);
    g_iFrameCount++;
    EXPECT_EQ(Vid_AnimateObject(&b.object, 54), 150);
    EXPECT_EQ(b.V(0, 0), 1500);

    // A model of four vertices: vertex 5 of group 1 lies past it and is never written.
    Scene small(4);
    small.object.pAnimation = anim;
    g_iFrameCount++;
    EXPECT_EQ(Vid_AnimateObject(&small.object, 54), 150);
    EXPECT_EQ(small.V(0, 0), 1500);
    EXPECT_EQ(small.V(3, 1), -1500);

    // Objects without an animation keep the time.
    Scene none(4);
    EXPECT_EQ(Vid_AnimateObject(&none.object, 77), 77);
    EXPECT_EQ(Vid_AnimateObject(nullptr, 77), 77);
}
