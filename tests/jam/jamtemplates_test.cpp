// The archive's jam templates rewritten into the user's folder: one file per template under its
// style and set, each the template's own bytes again, each loading back into the first setup.
#include "jamfixture.h"
#include "support/tempdir.h"

#include "core/archive.h"
#include "jam/jamrecords.h"
#include "sequencer/songfile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace jamtest {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

class JamTemplateFiles : public JamStudio
{
protected:
    void SetUp() override
    {
        JamStudio::SetUp();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    }
    void TearDown() override
    {
        JamStudio::TearDown();
        Sys_WadFreeBuffers();
    }
};

TEST_F(JamTemplateFiles, EveryArchiveTemplateIsRewrittenUnderItsStyleAndSet)
{
    TempDir dir;
    const std::string folder = dir.Path() + "/user";
    ASSERT_EQ(Seq_ConvertJamTemplates(folder.c_str()), 4);
    struct Case
    {
        const char *file, *archive;
    } cases[] = {
        {"A/A/GROOVE.jtm", "/JAMTEM/A/A/GROOVE"},
        {"A/A/BASSLINE.jtm", "/JAMTEM/A/A/BASSLINE"},
        {"A/B/SPARSE.jtm", "/JAMTEM/A/B/SPARSE"},
        {"B/A/FULL.jtm", "/JAMTEM/B/A/FULL"},
    };
    for (const Case &c : cases) {
        const Bytes written = ReadFile(folder + "/JamTem/" + c.file);
        ASSERT_FALSE(written.empty()) << c.file;
        uint16_t path[WAD_MAX_DEPTH] = {};
        const int depth = Sys_WadPathToIndices(c.archive, path);
        ASSERT_EQ(depth, 4) << c.archive;
        path[3] -= 1; // the loader counts files from the first after the folder's header
        char name[8];
        uint32_t size = 0;
        uint8_t *original = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, depth, name, &size));
        ASSERT_NE(original, nullptr) << c.archive;
        // Read and written again, a template is the same bytes.
        EXPECT_EQ(written, Bytes(original, original + size)) << c.file;
        std::free(original);
        // And it loads into the first setup with riffs on its rows.
        g_bTaggedSongFile = 1;
        Seq_NewSong();
        Jam_ResetRecords();
        Seq_ResetJamSlots();
        ASSERT_EQ(Seq_LoadJamTemplateImage(written.data(), written.size()), 1) << c.file;
        const uint8_t *row = &g_aabJamRecords[0][JAM_RECORD_RIFF_AT];
        EXPECT_EQ(row[6], JAM_ROW_SONG) << c.file;
    }
    // A folder that cannot be made is reported, and nothing is written.
    EXPECT_EQ(Seq_ConvertJamTemplates("/proc/no/such/place"), -1);
}

TEST_F(JamTemplateFiles, AnArchiveWithoutTemplatesIsReported)
{
    Sys_WadFreeBuffers();
    TempDir dir;
    EXPECT_EQ(Seq_ConvertJamTemplates((dir.Path() + "/user").c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/user/JamTem"));
}

} // namespace
} // namespace jamtest
