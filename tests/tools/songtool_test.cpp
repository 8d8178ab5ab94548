// tnv_song on the demo song the build leaves: info lists its chunks, resave gives the same bytes,
// render gives the same WAV twice, and a broken file is refused with the studio's message.
#include "audio/mixer.h"
#include "core/archive.h"
#include "core/browser.h"
#include "core/disc.h"
#include "core/file.h"
#include "jam/jamseq.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "support/tempdir.h"
#include "tools/riffcontent.h"
#include "video/respages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

std::string Tool() { return std::string(TNV_TEST_BUILD_DIR) + "/tools/tnv_song"; }
std::string Demo() { return std::string(TNV_TEST_BUILD_DIR) + "/data/examples/demo.tnv"; }

std::string RunTool(const std::string &args, int *code, const std::string &env = "")
{
    const std::string cmd = env + "'" + Tool() + "' " + args + " 2>&1";
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::vector<char> Slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

} // namespace

TEST(SongTool, InfoResaveAndRenderOfTheDemoSong)
{
    TempDir dir;
    int code = -1;
    const std::string info = RunTool("info '" + Demo() + "'", &code);
    EXPECT_EQ(code, 0) << info;
    for (const char *tag : {"H2", "AU", "CN", "DS", "EN", "SP", "IN", "NO", "RI", "SN"})
        EXPECT_NE(info.find(std::string("  ") + tag + " "), std::string::npos) << tag << "\n" << info;

    const std::string again = dir.File("again.tnv");
    EXPECT_EQ((RunTool("resave '" + Demo() + "' '" + again + "'", &code), code), 0);
    const std::vector<char> original = Slurp(Demo());
    ASSERT_GT(original.size(), 1000u);
    EXPECT_TRUE(Slurp(again) == original) << "the demo song is canonical: resave must not change a byte";

    const std::string a = dir.File("a.wav"), b = dir.File("b.wav");
    EXPECT_EQ((RunTool("render '" + Demo() + "' '" + a + "'", &code), code), 0);
    EXPECT_EQ((RunTool("render '" + Demo() + "' '" + b + "'", &code), code), 0);
    const std::vector<char> wa = Slurp(a);
    EXPECT_GT(wa.size(), 44u + 4u * 44100u * 30u); // 30 seconds and more of stereo
    EXPECT_TRUE(wa == Slurp(b));
}

TEST(SongTool, BrokenFilesAreRefused)
{
    TempDir dir;
    std::vector<char> demo = Slurp(Demo());
    ASSERT_GT(demo.size(), 200u);
    struct Case
    {
        const char *name;
        std::vector<char> bytes;
    };
    std::vector<char> truncated(demo.begin(), demo.begin() + 150);
    std::vector<char> zeroLength = demo;
    zeroLength[76 + 2] = zeroLength[76 + 3] = 0; // DS
    const Case cases[] = {{"empty", {}}, {"text", {'h', 'e', 'l', 'l', 'o'}}, {"truncated", truncated},
                          {"zero length", zeroLength}};
    for (const Case &c : cases) {
        const std::string path = dir.File(std::string(c.name) + ".tnv");
        std::ofstream(path, std::ios::binary).write(c.bytes.data(), (std::streamsize)c.bytes.size());
        int code = -1;
        const std::string out = RunTool("resave '" + path + "' '" + dir.File("out.tnv") + "'", &code);
        EXPECT_EQ(code, 1) << c.name;
        EXPECT_NE(out.find("Couldn't Load File"), std::string::npos) << c.name << ": " << out;
        std::ifstream written(dir.File("out.tnv"));
        EXPECT_FALSE(written.good()) << c.name << ": nothing may be written for a refused file";
    }
}

// The riff library in the built archive loads by its index numbers; the same keys again do nothing.
TEST(SongTool, LibraryRiffFromTheArchive)
{
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", TNV_TEST_BUILD_DIR);
    Sys_DiscInit();
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    ASSERT_EQ(Snd_InitSampleEngine(64), 0);
    Seq_Init();
    Seq_NewSong();
    for (int32_t style = 1; style <= Content_RiffStyleCount(); style++)
        for (int32_t part = 1; part <= CONTENT_RIFF_PARTS; part++) {
            SCOPED_TRACE(std::to_string(style) + "/" + std::to_string(part));
            ASSERT_EQ(Seq_LoadLibraryRiffLocal(0, style, part, 1), 1);
            EXPECT_EQ(g_uLibraryRiff, g_uRiffCount - 1);
            EXPECT_EQ(Seq_LoadLibraryRiffLocal(0, style, part, 1), -1);
            Seq_DropLibraryRiff();
            EXPECT_EQ(g_uRiffCount, 1);
        }
    EXPECT_EQ(Seq_LoadLibraryRiffLocal(0, 99, 1, 1), 10);
    EXPECT_EQ(g_uLibraryRiff, 0);
    // The jam's load hands the new riff over (it copies and releases it), every time it asks.
    for (int32_t round = 0; round < 2; round++) {
        const int32_t id = g_JamSeqDefaultCalls.LoadLibraryRiff(0, 1, 2, 1, nullptr);
        ASSERT_EQ(id, 1);
        EXPECT_EQ(g_uLibraryRiff, 0);
        Seq_ReleaseRiff(id, 0, 1);
        EXPECT_EQ(g_uRiffCount, 1);
    }
    EXPECT_EQ(g_JamSeqDefaultCalls.LoadLibraryRiff(0, 99, 1, 1, nullptr), 0);
    Seq_NewSong();
    Snd_ShutdownSampleEngine();
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}

// A song of library instruments from the built archive: resave keeps every byte (the instruments
// are found again by their saved references) and render mixes the same sound twice.
TEST(SongTool, ASongOfLibraryInstrumentsResavesAndRenders)
{
    TempDir dir;
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", TNV_TEST_BUILD_DIR);
    Sys_DiscInit();
    Vid_CreateResPagePool();
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    ASSERT_EQ(Snd_InitSampleEngine(64), 0);
    Seq_Init();
    Seq_NewSong();
    g_bTaggedSongFile = 1;
    const int32_t kick = Seq_AllocInstrumentSlot(), snare = Seq_AllocInstrumentSlot();
    ASSERT_EQ(Seq_LoadInstrument(kick, 1, 1, 1, 1, 0, 1, 1), 3);
    ASSERT_EQ(Seq_LoadInstrument(snare, 1, 1, 2, 2, 0, 1, 1), 4);
    const int32_t riff = Seq_NewRiff(1, 2);
    const uint16_t amp[3] = {0xFF00, 0xFF1D, 0x008F}, flat[2] = {0x7F00, 0x7FFF}; // time | level << 8
    for (int32_t step = 0; step < 16; step += 2) {
        const int32_t a = Seq_AddParamList(3, amp, 0, 0), b = Seq_AddParamList(2, flat, 0, 0),
                      c = Seq_AddParamList(2, flat, 0, 0);
        const int32_t track = step % 4 ? 1 : 0;
        const uint16_t before = g_uNoteCount;
        const int32_t note = Seq_FindOrAddNote((uint16_t)(track ? snare : kick), 4, 0, 1, 220, NOTE_FLAG_HITS8, 0,
                                               0x80, 0, 0, a, b, c, 0, 0, 0, 1);
        if (!(note > 0 && g_uNoteCount == before + 1)) {
            Seq_ReleaseParamList(a);
            Seq_ReleaseParamList(b);
            Seq_ReleaseParamList(c);
        }
        ASSERT_GT(note, 0);
        ASSERT_TRUE(Seq_SetRiffNote(riff, step, track, -note, 1, 0, 0));
    }
    for (int32_t row = 0; row < 4; row++)
        Seq_PlaceRiff(riff, row, 0, 0, 1);
    const std::vector<uint8_t> image = Seq_SaveSongImage(SONGPART_SONG, "Drummer");
    ASSERT_FALSE(image.empty());
    const std::string song = dir.File("drums.tnv");
    ASSERT_EQ(Seq_WriteSongFile(song.c_str(), image), 0);
    Seq_NewSong();
    Snd_ShutdownSampleEngine();
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;

    int code = -1;
    const std::string info = RunTool("info '" + song + "'", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(info.find("  RE "), std::string::npos) << info;
    const std::string again = dir.File("again.tnv");
    const std::string said = RunTool("resave '" + song + "' '" + again + "'", &code);
    EXPECT_EQ(code, 0) << said;
    EXPECT_EQ(said, "");
    EXPECT_TRUE(Slurp(again) == Slurp(song));
    const std::string a = dir.File("a.wav"), b = dir.File("b.wav");
    EXPECT_EQ((RunTool("render '" + song + "' '" + a + "'", &code), code), 0);
    EXPECT_EQ((RunTool("render '" + song + "' '" + b + "'", &code), code), 0);
    const std::vector<char> wa = Slurp(a);
    ASSERT_GT(wa.size(), 44u + 4u * 44100u);
    EXPECT_TRUE(wa == Slurp(b));
    double energy = 0;
    for (size_t i = 44; i + 1 < wa.size(); i += 2) {
        const int16_t v = (int16_t)((uint8_t)wa[i] | (uint8_t)wa[i + 1] << 8);
        energy += (double)v * v;
    }
    EXPECT_GT(std::sqrt(energy / (double)((wa.size() - 44) / 2)), 200.0) << "the drums are silent";
}

// frame draws the demo song's video (no video chunks yet: the empty video) over the built content
// archive as a 640 x 480 PNG; a
// missing or broken song and a bad row are refused with nothing written.
TEST(SongTool, FrameWritesThePictureAndRefusesBadInput)
{
    TempDir dir;
    int code = -1;
    const std::string png = dir.File("row4.png");
    const std::string said = RunTool("frame '" + Demo() + "' 4 '" + png + "'", &code);
    ASSERT_EQ(code, 0) << said;
    const std::vector<char> bytes = Slurp(png);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    const auto be32 = [&](size_t at) {
        return (uint32_t)(uint8_t)bytes[at] << 24 | (uint32_t)(uint8_t)bytes[at + 1] << 16 |
               (uint32_t)(uint8_t)bytes[at + 2] << 8 | (uint8_t)bytes[at + 3];
    };
    EXPECT_EQ(be32(16), 640u);
    EXPECT_EQ(be32(20), 480u);
    EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 4), "IEND");

    std::vector<char> demo = Slurp(Demo());
    const std::string broken = dir.File("broken.tnv");
    std::ofstream(broken, std::ios::binary).write(demo.data(), 150);
    const std::string out = dir.File("out.png");
    for (const std::string &song : {dir.File("missing.tnv"), broken}) {
        const std::string text = RunTool("frame '" + song + "' 0 '" + out + "'", &code);
        EXPECT_EQ(code, 1) << song;
        EXPECT_NE(text.find("Couldn't Load File"), std::string::npos) << text;
        EXPECT_FALSE(std::ifstream(out).good()) << song;
    }
    for (const char *row : {"-1", "1000", "x", "4x", "''"}) {
        EXPECT_EQ((RunTool("frame '" + Demo() + "' " + row + " '" + out + "'", &code), code), 1) << row;
        EXPECT_FALSE(std::ifstream(out).good()) << row;
    }
    // The video draws from the studio's content archive: without one the tool says where it
    // looked and writes nothing.
    const std::string empty = dir.File("nodata");
    const std::string text =
        RunTool("frame '" + Demo() + "' 0 '" + out + "'", &code, "TNV_DATA_DIR='" + empty + "' ");
    EXPECT_EQ(code, 1);
    EXPECT_NE(text.find(empty), std::string::npos) << text;
    EXPECT_FALSE(std::ifstream(out).good());
}
