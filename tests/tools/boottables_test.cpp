// The sequencer's boot tables the content builder writes, as the studio reads them.
#include "core/archive.h"
#include "core/disc.h"
#include "core/file.h"
#include "sequencer/songmodel.h"
#include "tools/boottables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

TEST(BootTables, PresetsHoldEveryEntryInItsPlace)
{
    const std::vector<uint8_t> presets = Content_EffectPresets();
    ASSERT_EQ(presets.size(), (size_t)SEQ_EFFREAL_BYTES);
    int used = 0;
    for (int p = 0; p < 75; p++) {
        int entries = 0;
        for (int e = 0; e < 9; e++) {
            const uint8_t *b = &presets[(size_t)(p * 108 + e * 12)];
            const int16_t delay = (int16_t)(b[0] | b[1] << 8);
            ASSERT_GE(delay, -1) << p << "/" << e;
            if (delay < 0)
                continue;
            entries++;
            EXPECT_GT(b[7], 0) << "preset " << p + 1 << " entry " << e << " is silent";
            EXPECT_EQ(b[9] | b[10] | b[11], 0);
        }
        used += entries > 0;
    }
    EXPECT_EQ(used, 75); // every preset a note can name does something
    // Preset 1: an echo of an eighth note (8 quarter steps), then the next.
    EXPECT_EQ(presets[0], 8);
    EXPECT_EQ(presets[12], 16);
    EXPECT_EQ(Content_DefaultRiffTable().size(), (size_t)SEQ_DEFAULT_RIFFS_SIZE);
}

TEST(BootTables, BuiltArchiveLoadsThemWhole)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
    Sys_DiscInit();
    std::memset(g_abDefaultEffects, 0, sizeof(g_abDefaultEffects));
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    const std::vector<uint8_t> presets = Content_EffectPresets();
    EXPECT_EQ(std::memcmp(g_abDefaultEffects, presets.data(), presets.size()), 0);
    EXPECT_EQ(Seq_DefaultRiffValue(0, 1), 255);
    EXPECT_EQ(Seq_DefaultRiffValue(17, 4), 130);
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}
