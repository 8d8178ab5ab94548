// The built data folder holds the instrument library in the archive and the interface sounds
// beside it, and both load as samples.
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/archive.h"
#include "core/disc.h"
#include "core/file.h"
#include "tools/jamcontent.h"
#include "tools/riffcontent.h"
#include "tools/soundcontent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

TEST(Content, BuiltInstrumentLibraryLoads)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
    Sys_DiscInit();
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    ASSERT_EQ(Snd_InitSampleEngine(256), 0);

    const struct
    {
        const char *kind;
        int rate;
    } kinds[] = {{"B", 11025}, {"D", 22050}, {"F", 44100}};
    for (int k = 0; k < 3; k++) {
        for (int i = 0; i < Content_InstrumentCount(); i++) {
            const CONTENTINSTRUMENT &info = Content_InstrumentInfo(i);
            std::string path = std::string("/N/") + kinds[k].kind + "/" + info.folder + "/" + info.entry;
            SCOPED_TRACE(path);
            uint16_t idx[WAD_MAX_DEPTH + 1];
            int depth = Sys_WadPathToIndices(path.c_str(), idx);
            ASSERT_EQ(depth, 5);
            EXPECT_EQ(idx[1], k) << "library kind k + 1 is folder k below N";
            idx[depth - 1]--; // listing numbers count the header entry
            char name[8];
            uint32_t size = 0;
            uint8_t *file = (uint8_t *)Sys_WadLoadEntryAlloc(0, idx, depth, name, &size);
            ASSERT_NE(file, nullptr);
            ASSERT_GT(size, (uint32_t)CONTENT_SAMPLE_HEADER);
            EXPECT_EQ(std::strncmp(name, info.entry, 8), 0);
            EXPECT_STREQ((const char *)file, info.shown);
            EXPECT_EQ(file[CONTENT_SAMPLE_CATEGORY], info.category);

            SAMPLESLOT *slot = nullptr;
            ASSERT_EQ(Snd_LoadSample(&slot, "Sample 1", file + CONTENT_SAMPLE_HEADER, size - CONTENT_SAMPLE_HEADER,
                                     SAMPLE_FORMAT_ADPCM_MEMORY),
                      0);
            CONTENTSAMPLE made = Content_SynthInstrument(i, kinds[k].rate);
            EXPECT_EQ(slot->uFrames, (made.samples.size() + 27) / 28 * 28);
            EXPECT_EQ((slot->uFlags & SAMPLE_LOOPS) != 0, made.loopStart >= 0);
            if (made.loopStart >= 0) {
                EXPECT_EQ(slot->uLoopStartFrame, (uint32_t)made.loopStart);
            }
            Snd_FreeSample(slot);
            free(file);
        }
    }
    Snd_ShutdownSampleEngine();
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}

// The riff library and each quality of the instrument library end with the four jam players'
// folders, after every folder of the library's own, which the lists show outside a jam.
TEST(Content, LibrariesEndWithTheJamPlayersFolders)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
    Sys_DiscInit();
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    const struct
    {
        const char *path;
        int own; // the library's own folders
    } libraries[] = {{"/R", Content_RiffStyleCount()}, {"/N/B", 4}, {"/N/D", 4}, {"/N/F", 4}};
    for (const auto &lib : libraries) {
        SCOPED_TRACE(lib.path);
        uint16_t idx[WAD_MAX_DEPTH + 1] = {};
        const int depth = Sys_WadDirPathToIndices(lib.path, idx);
        ASSERT_GT(depth, 0);
        ASSERT_EQ(Sys_WadCountAt(idx, depth), lib.own + CONTENT_JAM_PLAYER_FOLDERS);
        for (int p = 0; p < CONTENT_JAM_PLAYER_FOLDERS; ++p) {
            idx[depth] = (uint16_t)(lib.own + p);
            char name[WAD_NAME_LEN + 1] = {};
            Sys_WadNodeNameAt(idx, depth + 1, name, WAD_NAME_LEN);
            EXPECT_STREQ(name, ("PLAYER" + std::to_string(p + 1)).c_str());
            EXPECT_EQ(Sys_WadCountAt(idx, depth + 1), 1) << "one list folder";
        }
        idx[depth] = 0;
        char first[WAD_NAME_LEN + 1] = {};
        Sys_WadNodeNameAt(idx, depth + 1, first, WAD_NAME_LEN);
        EXPECT_STRNE(first, "PLAYER1");
    }
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}
