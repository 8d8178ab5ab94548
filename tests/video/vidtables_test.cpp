// The particle tables: every row names colours and sprite rectangles that exist, rectangles lie
// inside the 32 x 32 sprites, and rows differ so that each type shows something of its own.
#include "video/vidtables.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

TEST(VidTables, ParticleRowsNameWhatExists)
{
    std::set<std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t>> rows;
    for (const auto &row : g_aiParticleTypes) {
        EXPECT_LT(Vid_ParticleColourOf(row), VID_PARTICLE_COLOURS);
        EXPECT_LT(Vid_ParticleRectOf(row), VID_SPRITE_RECTS);
        EXPECT_LT(Vid_HeadRectOf(row), VID_SPRITE_RECTS);
        EXPECT_LT(Vid_HeadColourOf(row), VID_HEAD_COLOURS);
        EXPECT_GT(row[0], 0);
        EXPECT_GT(row[1], 0);
        EXPECT_GT(row[2], 0);
        EXPECT_LT(row[2], 0x8000) << "a 16-bit size";
        EXPECT_LT(row[4], 0x8000) << "a 16-bit size";
        rows.insert({row[0], row[1], row[2], row[3], row[4]});
    }
    EXPECT_EQ(rows.size(), static_cast<size_t>(VID_PARTICLE_TYPES));
    for (const auto &r : g_asSpriteRects) {
        EXPECT_GE(r[0], 0);
        EXPECT_GE(r[1], 0);
        EXPECT_GT(r[2], 0);
        EXPECT_GT(r[3], 0);
        EXPECT_LE(r[0] + r[2], 32);
        EXPECT_LE(r[1] + r[3], 32);
    }
}
