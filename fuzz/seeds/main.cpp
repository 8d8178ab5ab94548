// Writes a small seed corpus for every fuzz target: files the content builder makes (fonts,
// interface sounds, texture pages, pictures) and files made the way the tests make them (a
// packed archive, AIFF, BMP and WAV files, save files, model images, scripts, settings).
//
//   tnv_fuzz_seeds <data folder> <corpus folder>
//
// Each target gets <corpus folder>/<target>/ with its seeds in the target's own input layout.
#include "audio/wav.h"
#include "core/cardsave.h"
#include "core/streamlib.h"
#include "core/file.h"
#include "jam/jamrecord.h"
#include "jam/jamwire.h"
#include "platform/net_internal.h"
#include "platform/settings_store.h"
#include "audio/mixer.h"
#include "sequencer/eventlists.h"
#include "sequencer/samples.h"
#include "video/autovideo.h"
#include "video/chasetypes.h"
#include "video/respages.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "core/archive.h"
#include "core/browser.h"
#include "core/disc.h"
#include "render/userimages.h"
#include "support/aiffbuilder.h"
#include "support/bmpfixture.h"
#include "support/modelfixture.h"
#include "tools/packer.h"
#include "tools/reswriters.h"
#include "tools/videocontent.h"
#include "ui/langtext.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

std::string g_out;
std::string g_data;
int g_failures;

void Seed(const std::string &target, const std::string &name, const Bytes &bytes)
{
    const fs::path dir = fs::path(g_out) / target;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::ofstream f(dir / name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        std::fprintf(stderr, "tnv_fuzz_seeds: cannot write %s/%s\n", target.c_str(), name.c_str());
        g_failures++;
    }
}

void Seed(const std::string &target, const std::string &name, const std::string &text)
{
    Seed(target, name, Bytes(text.begin(), text.end()));
}

// A file of the data folder; empty (and counted as a failure) when it cannot be read.
Bytes DataFile(const std::string &rel)
{
    std::ifstream f(fs::path(g_data) / rel, std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.empty()) {
        std::fprintf(stderr, "tnv_fuzz_seeds: no %s in %s\n", rel.c_str(), g_data.c_str());
        g_failures++;
    }
    return b;
}

void Put32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put16(Bytes &b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

Bytes Cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int16_t> Sine(int n, double cycles, int amplitude = 12000)
{
    std::vector<int16_t> s(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        s[static_cast<size_t>(i)] = static_cast<int16_t>(amplitude * std::sin(6.283185307 * cycles * i / n));
    return s;
}

// A settings file as the store writes it.
std::string SettingsText(const char *const (*pairs)[2], int n)
{
    std::string text;
    for (int i = 0; i < n; i++) {
        std::string next;
        if (Plat_SettingsUpdate(text, "Software\\Quillstone\\Tonnivelle Demo", pairs[i][0], pairs[i][1], &next))
            text = next;
    }
    return text;
}

// ---- per target ----

void InterfaceSounds()
{
    for (const char *name : {"confirm1", "select1", "move", "bad", "cancel"}) {
        Bytes file = DataFile(std::string("boot/") + name + ".bin");
        if (file.size() > 48)
            Seed("adpcm", name, Bytes(file.begin() + 48, file.end())); // the ADPCM behind the header
    }
    Bytes raw;
    for (int16_t s : Sine(64, 2))
        Put16(raw, static_cast<uint16_t>(s));
    Seed("adpcm", "raw16", raw);
}

Bytes AiffMono()
{
    using namespace aiff;
    return Form({Comm(1, 32, 16, 22050), Ssnd(Words16(Sine(32, 1)))});
}

void Aiff()
{
    using namespace aiff;
    // First byte even: the image as it stands.
    Seed("aiff", "mono16", Cat({0}, AiffMono()));
    Bytes eight;
    for (int i = 0; i < 24; i++)
        eight.push_back(static_cast<uint8_t>(i * 10));
    Seed("aiff", "stereo8_marks", Cat({0}, Form({Comm(2, 12, 8, 44100), Mark({{1, 2, "start"}, {2, 10, "end"}}), Ssnd(eight)})));
    // First byte odd: the form header is put in front, the rest are chunks.
    Bytes chunks = Cat(Comm(1, 16, 16, 11025), Ssnd(Words16(Sine(16, 1))));
    Seed("aiff", "chunks_only", Cat({1}, chunks));
    Seed("adpcm", "aiff_mono16", AiffMono());
}

PACKDIR Dir(const std::string &name, std::vector<PACKFILE> files = {}, std::vector<PACKDIR> dirs = {})
{
    PACKDIR d;
    d.name = name;
    d.files = std::move(files);
    d.dirs = std::move(dirs);
    return d;
}

PACKFILE File(const std::string &name, const std::string &data, const std::string &shown = "")
{
    return PACKFILE{name, shown, Bytes(data.begin(), data.end())};
}

void Archive()
{
    // The directories the studio resolves at open, as the archive tests pack them.
    PACKDIR root;
    root.title = "Studio";
    root.dirs = {
        Dir("AUTO", {File("DEMO1", "demo")}),
        Dir("BOOT", {File("DEFRIF", "riffs"), File("EFFREAL", "effects")}),
        Dir("CHASES"),
        Dir("JAMTEM"),
        Dir("N", {File("INST1", "instrument", "Piano")},
            {Dir("SUB", {File("ABCDEFGH", "eight"), File("EMPTY", "")}), Dir("SUB2", {}, {Dir("DEEP", {File("D1", "deep")})})}),
        Dir("PERF", {}, {Dir("P", {}, {Dir("Q", {File("ONE", "1"), File("TWO", "22")})})}),
        Dir("R", {File("RIFF1", "riff")}),
    };
    PACKDIR withOptional = root;
    for (const char *name : {"M1BACK", "M1INS", "M1MAPTEX", "M1MOD", "M1MOV", "M1PART", "M1PATH"})
        withOptional.dirs.push_back(Dir(name, {File("A", "a")}));
    int n = 0;
    for (const PACKDIR *tree : {&root, &withOptional}) {
        Bytes index, data;
        std::string err;
        if (!Pack_Build(*tree, PACKOPTIONS{}, index, data, err) || index.size() > 0xFFFF) {
            std::fprintf(stderr, "tnv_fuzz_seeds: cannot pack the archive seed: %s\n", err.c_str());
            g_failures++;
            continue;
        }
        // The target's layout: the index size (u16), the index, the data file.
        Bytes seed;
        Put16(seed, static_cast<uint32_t>(index.size()));
        Seed("archive", "tree" + std::to_string(n++), Cat(Cat(seed, index), data));
    }
}

void Bmp()
{
    BMPFIXTURE eight;
    eight.width = 5;
    eight.height = 3;
    eight.tableEntries = 4;
    eight.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>((x + y) & 3); };
    Seed("bmp", "indexed8", MakeBmp(eight));
    BMPFIXTURE true24;
    true24.width = 3;
    true24.height = -2;
    true24.bitCount = 24;
    true24.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 0x400000 + y * 0x008000 + 0x20); };
    Seed("bmp", "topdown24", MakeBmp(true24));
    BMPFIXTURE high16;
    high16.width = 2;
    high16.height = 2;
    high16.bitCount = 16;
    high16.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(0x7C00 >> (5 * ((x + y) % 3))); };
    Seed("bmp", "rgb16", MakeBmp(high16));
}

void SaveFiles()
{
    Sys_BuildSaveHeader("MYSONG", 1, 0);
    Bytes header(reinterpret_cast<const uint8_t *>(&g_tSaveHeader),
                 reinterpret_cast<const uint8_t *>(&g_tSaveHeader) + sizeof g_tSaveHeader);
    Bytes song;
    for (int i = 0; i < 700; i++)
        song.push_back(static_cast<uint8_t>(i * 13));
    const Bytes tag = {'T', 'V', 'P', 'C'};
    for (const char *target : {"browser", "cardsave"}) {
        Seed(target, "tagged.tnv", Cat(Cat(tag, header), song));
        Seed(target, "untagged.tnv", Cat(header, Bytes(song.begin(), song.begin() + 100)));
    }
}

void CdToc()
{
    Bytes toc = {3};
    const uint32_t tracks[3][2] = {{150, 4000}, {4150, 2500}, {6650, 9000}};
    for (const auto &t : tracks) {
        Put32(toc, t[0]);
        Put32(toc, t[1]);
    }
    // Commands: status, a position command to a BCD place, play, pause, stop.
    const uint8_t commands[][4] = {{1, 0, 0, 1}, {0x82, 0x00, 0x02, 0x10}, {3, 2, 0, 5}, {9, 0, 0, 2}, {8, 0, 0, 1}};
    for (const auto &c : commands)
        toc.insert(toc.end(), c, c + 4);
    Seed("cdtoc", "three_tracks", toc);
    Seed("cdtoc", "no_disc", Bytes{0, 1, 0, 0, 1});
}

void CommandLines()
{
    Seed("cmdline", "host", std::string("-host -players=3 -servername=Studio -name=Alice"));
    Seed("cmdline", "join", std::string("-join -ip=127.0.0.1 -advert_ip=10.0.0.2 -advert_port=2350"));
    {
        const char *table[TEXT_COUNT] = {};
        table[1] = "Help";
        table[2] = "\xE9t\xE9";
        const std::vector<uint8_t> file = Ui_BuildLanguageFile(table);
        Seed("langfile", "small", Bytes(file.begin(), file.end()));
        Seed("langfile", "english", Ui_BuildLanguageFile(g_aapszBuiltinText[0]));
    }
    const std::string args[] = {"-nocd", "-userriffs", "-usersamples", "-maxtemplatesize=300000"};
    std::string argv;
    for (const std::string &a : args)
        argv += a + '\0';
    Seed("cmdline", "arguments", argv);
}

void Effects()
{
    for (uint32_t effect = 0; effect < 8; effect++) {
        Bytes b;
        Put32(b, effect | (effect & 1 ? 0x100 : 0));
        Put32(b, 44100);
        for (int row = 0; row < 8; row++)
            Put32(b, static_cast<uint32_t>(row * 37 + 10));
        for (int16_t s : Sine(128, 3))
            Put16(b, static_cast<uint16_t>(s));
        Seed("effects", "effect" + std::to_string(effect), b);
    }
}

void Ekestrix()
{
    const char *pairs[][2] = {{"Language", "ENGLISH"}, {"DataDir", "/usr/share/tonnivelle"}, {"BaseDir", "/home/user/Tonnivelle"}};
    Seed("ekestrix", "settings", SettingsText(pairs, 3));
    Seed("ekestrix", "address_port", std::string("192.168.1.20\0" "2350", 17));
}

void Fonts()
{
    for (const char *name : {"tonnivels", "tonnipro", "tonnivel", "teeny", "weewee"}) {
        Bytes file = DataFile(std::string("gfx/fonts/") + name + ".bin");
        // The sheet at column 0, 256 wide, then the file.
        Seed("font", name, Cat({0, 255}, file));
    }
}

void InputScripts()
{
    Seed("input_script", "keys_text_mouse",
         std::string("# frame event argument\n1 keydown 13\n2 keyup 13\n3 text Hello, world\n4 char 65\n"
                     "5 mousemove 12 -7\n6 mousedown 1\n7 mouseup 1\n8 activate 0\n9 activate 1\n10 close\n"));
    Seed("input_script", "utf8_text", std::string("1 text caf\xC3\xA9 \xE2\x82\xAC\r\n2 keydown 27\n"));
}

void Meshes()
{
    Seed("mesh", "small_model", modelimage::SmallModel().Bytes());
}

void Midi()
{
    // Byte 0: channel filter (all), live play on; then three-byte messages.
    Bytes b = {0x30};
    const uint8_t messages[][3] = {{0x90, 60, 100}, {0x80, 60, 0},  {0x91, 64, 90}, {0xB0, 7, 100},
                                   {0xE0, 0, 64},   {0xFF, 0, 0},   {0xC0, 5, 0},   {0x90, 67, 0}};
    for (const auto &m : messages)
        b.insert(b.end(), m, m + 3);
    Seed("midiin", "notes_and_controls", b);
    Seed("midiin", "channel_3_filter", Bytes{0x03, 0x93, 48, 80, 0x94, 50, 80, 0xFF, 0, 0});
}

void Raster()
{
    // Byte 0: pixel format, byte 1: a texel page; then op, four i16, three bytes.
    Bytes b = {0, 1};
    auto op = [&](uint8_t code, int16_t a, int16_t c, int16_t d, int16_t e, uint8_t r, uint8_t g, uint8_t bl) {
        b.push_back(code);
        for (int16_t v : {a, c, d, e})
            Put16(b, static_cast<uint16_t>(v));
        b.insert(b.end(), {r, g, bl});
    };
    op(7, 0, 0, 0, 0, 0, 0, 0); // draw area, then its width and height
    Put16(b, 213), Put16(b, 1), Put16(b, 160), Put16(b, 0);
    op(0, 10, 10, 100, 50, 200, 100, 50);
    op(1, 30, 40, 60, 20, 10, 200, 10);
    op(2, 0, 0, 639, 479, 255, 255, 255);
    op(3, 100, 100, 32, 32, 0, 0, 0);
    op(4, 200, 100, 8, 12, 16, 32, 100);
    op(5, 300, 200, 340, 240, 0, 0, 0);
    op(6, 50, 300, 0, 0, 0, 0, 0);
    op(9, 32, 0, 16, 16, 1, 0x80, 0);
    op(3, 400, 300, 40, 40, 0, 0, 0);
    Seed("raster", "every_primitive", b);
}

void SampleEdit()
{
    Bytes b = {8, 0x83};
    Put32(b, 6);
    const uint32_t commands[][3] = {{1, 10, 200}, {3, 0, 100}, {5, 20, 40}, {7, 0, 300}, {10, 5, 50}, {14, 0, 2}};
    for (const auto &c : commands)
        for (uint32_t v : c)
            Put32(b, v);
    Seed("sampleedit", "a_chain", b);
}

void Settings()
{
    const char *pairs[][2] = {{"Language", "ENGLISH"}, {"BaseDir", "/home/user/Tonnivelle"}, {"DataDir", "/usr/share/tonnivelle"},
                              {"Servername", "Studio"}, {"GfxRes", "2"},                       {"Name", "Alice"}};
    const std::string text = SettingsText(pairs, 6);
    Seed("settings", "all_values", text);
    Seed("settings", "other_sections", "[Software\\Other]\nName=Bob\n\n" + text + "\n[More]\nx=1\n");
}

void Textures()
{
    Seed("texpages", "win.tx", DataFile("win.tx"));
    Seed("texpages", "pal.tim", DataFile("gfx/pal.tim"));
    Seed("texture", "win6.raw", DataFile("win6.raw"));
    Seed("texture", "pal.tim", DataFile("gfx/pal.tim"));
}

void UserImages()
{
    Gfx_InitUserImages();
    Bytes block(Gfx_GetUserImagesSize());
    block.resize(Gfx_WriteUserImages(block.data()));
    Seed("userimages", "empty_bank", block);
    // A bank holding a picture, loaded from a BMP as the browser loads one.
    BMPFIXTURE picture;
    picture.width = 16;
    picture.height = 12;
    picture.tableEntries = 16;
    picture.colour = [](int32_t i) { return static_cast<uint32_t>(i * 0x100F08); };
    picture.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>((x + 2 * y) & 15); };
    const std::string path = (fs::temp_directory_path() / ("tnv_seed_" + std::to_string(::getpid()) + ".bmp")).string();
    const Bytes bmp = MakeBmp(picture);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    if (Gfx_LoadUserImage(path.c_str()) >= 0) {
        block.assign(Gfx_GetUserImagesSize(), 0);
        block.resize(Gfx_WriteUserImages(block.data()));
        Seed("userimages", "one_picture", block);
    } else {
        std::fprintf(stderr, "tnv_fuzz_seeds: cannot load a picture into the image bank: %s\n", g_szErrorText);
        g_failures++;
    }
    std::error_code ec;
    fs::remove(path, ec);
}

void Wav()
{
    const std::string path = (fs::temp_directory_path() / ("tnv_seed_" + std::to_string(::getpid()) + ".wav")).string();
    int n = 0;
    for (int channels : {1, 2}) {
        std::vector<int16_t> frames;
        for (int16_t s : Sine(200, 4))
            for (int c = 0; c < channels; c++)
                frames.push_back(static_cast<int16_t>(c ? -s : s));
        if (Snd_WavOpenWrite(path.c_str(), channels == 1 ? 22050 : 44100, channels) != 0 ||
            Snd_WavWrite(frames.data(), 200) < 0 || Snd_WavCloseWrite(200) != 0) {
            std::fprintf(stderr, "tnv_fuzz_seeds: cannot write a WAV seed\n");
            g_failures++;
            continue;
        }
        std::ifstream f(path, std::ios::binary);
        Seed("wav", channels == 1 ? "mono" : "stereo", Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>()));
        n++;
    }
    std::error_code ec;
    fs::remove(path, ec);
}

void Videos()
{
    // Small clips written by the content builder's own video writer, as the tests make them.
    CONTENTVIDEO rows;
    rows.width = 8;
    rows.height = 6;
    rows.bitCount = 24;
    for (int f = 0; f < 3; f++) {
        Bytes frame(static_cast<size_t>(8 * 3 * 6));
        for (size_t i = 0; i < frame.size(); i++)
            frame[i] = static_cast<uint8_t>(i * 7 + f * 40);
        rows.frames.push_back(frame);
    }
    Seed("avi", "rows24", Content_EncodeAvi(rows));
    CONTENTVIDEO coded;
    coded.width = 16;
    coded.height = 8;
    coded.topDown = true;
    coded.bitCount = 8;
    coded.compression = 1;
    coded.palette = Content_VideoPalette();
    for (int f = 0; f < 2; f++) {
        Bytes indices(16 * 8);
        for (size_t i = 0; i < indices.size(); i++)
            indices[i] = static_cast<uint8_t>((i / 4 + static_cast<size_t>(f)) & 0x3F);
        coded.frames.push_back(Content_EncodeRle8(indices, 16, 8));
    }
    Seed("avi", "rle8_topdown", Content_EncodeAvi(coded));
}

// A movie of two frames of a 32 x 16 picture, from the disc's first sector on.
void Movie()
{
    const int w = 32, h = 16, frames = 2;
    Bytes disc(static_cast<size_t>(frames * STREAM_FRAME_SECTORS) * 2048, 0);
    for (int f = 0; f < frames; f++) {
        Bytes data(STREAM_FRAME_BYTES, 0);
        data[0] = 4; // picture offset: the picture starts 16 bytes in
        for (int i = 0; i < w * h; i++) {
            const uint16_t pixel = static_cast<uint16_t>((i * 33 + f * 0x421) & 0x7FFF);
            data[16 + 2 * i] = static_cast<uint8_t>(pixel);
            data[16 + 2 * i + 1] = static_cast<uint8_t>(pixel >> 8);
        }
        const uint32_t bytes = 16 + 2 * w * h;
        for (int sct = 0; sct < STREAM_FRAME_SECTORS; sct++) {
            Bytes head;
            Put16(head, STREAM_SECTOR_MAGIC);
            Put16(head, STREAM_KIND_PICTURE);
            Put16(head, static_cast<uint32_t>(sct));
            Put16(head, STREAM_FRAME_SECTORS);
            Put32(head, static_cast<uint32_t>(f + 1));
            Put32(head, bytes);
            Put16(head, 2 * w);
            Put16(head, h);
            head.resize(STREAM_SECTOR_HEADER, 0);
            uint8_t *at = disc.data() + static_cast<size_t>(f * STREAM_FRAME_SECTORS + sct) * 2048;
            std::memcpy(at, head.data(), head.size());
            std::memcpy(at + STREAM_SECTOR_HEADER, data.data() + static_cast<size_t>(sct) * STREAM_SECTOR_DATA, STREAM_SECTOR_DATA);
        }
    }
    Seed("moviestream", "two_frames", disc);
}

// The video engine's resource files, written by the content builder's own writers.
// Library clips of the built archive's "/AUTO" folder: an object clip and an effect clip.
void ClipImages()
{
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", g_data.c_str());
    Sys_DiscInit();
    if (Sys_WadOpen("demowad.WAD", "demowad.IND", 3) != 1) {
        std::fprintf(stderr, "tnv_fuzz_seeds: no archive in %s\n", g_data.c_str());
        g_failures++;
        return;
    }
    uint16_t path[WAD_MAX_DEPTH + 1] = {};
    const char *names[4] = {"", "effect", "", "object"};
    for (uint16_t group : {1, 3}) {
        if (Sys_WadDirPathToIndices("/AUTO", path) != 1)
            break;
        path[1] = group;
        path[2] = 0;
        path[3] = 1;
        char name[8];
        uint32_t bytes = 0;
        auto *file = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, 4, name, &bytes));
        if (!file) {
            g_failures++;
            continue;
        }
        Seed("clipimage", names[group], Bytes(file, file + bytes));
        std::free(file);
    }
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}

void VideoResources()
{
    CONTENTMODEL cube;
    for (int i = 0; i < 8; i++)
        cube.Vertex(i & 1 ? 100 : -100, i & 2 ? 100 : -100, i & 4 ? 100 : -100);
    const uint16_t up = cube.Normal(0, 0, 1);
    CONTENTPRIM flat;
    flat.group = 1;
    flat.vertices[0] = 0; flat.vertices[1] = 1; flat.vertices[2] = 2; flat.vertices[3] = 3;
    flat.normals[0] = up;
    flat.colours[0] = {200, 80, 40};
    CONTENTPRIM shaded = flat;
    shaded.group = 3;
    shaded.vertices[0] = 4; shaded.vertices[1] = 5; shaded.vertices[2] = 6; shaded.vertices[3] = 7;
    for (int i = 0; i < 4; i++) {
        shaded.normals[i] = up;
        shaded.colours[i] = {40, static_cast<uint8_t>(60 * i), 200};
    }
    cube.prims = {flat, shaded};
    Seed("resmodel", "two_quads", Content_WriteModel(cube));
    cube.prims = {flat};
    Seed("resmodel", "one_quad", Content_WriteModel(cube));

    std::vector<uint8_t> indices(16 * 16);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>(i % 16);
    std::vector<uint16_t> palette;
    for (int i = 0; i < 16; i++)
        palette.push_back(Content_Colour15(i * 16, 255 - i * 16, 128));
    Seed("resimage", "tim4", Content_WriteTim4(16, 16, indices, palette));
    Seed("resimage", "tim8", Content_WriteTim8(16, 16, indices, palette));

    Seed("respoints", "open", Content_WritePointList({{0, 0, 0, true}, {50, 10, 0, false}, {100, 0, 20, true}}, false));
    Seed("respoints", "closed", Content_WritePointList({{0, 0, 0, true}, {100, 0, 0, true}, {0, 100, 0, true}}, true));

    CONTENTANIM anim;
    anim.loopStart = 0;
    anim.loopEnd = 20;
    anim.groupItems = {2};
    anim.frames = {{0, {{{0, 0, 0, 0}, {10, 0, 0, 1}}}}, {10, {{{0, 10, 0, 0}, {10, 10, 0, 1}}}}, {20, {{}}}};
    Seed("resanim", "two_frames", Content_WriteAnimation(anim));

    Seed("restextdef", "title", Content_WriteTextDef("TONNIVELLE", 1, 2));
    Seed("restextdef", "empty", Content_WriteTextDef("", 0, 0));

    // Saved references into the fuzz target's own small archive.
    Bytes refs;
    for (const auto &[letters, name] : {std::pair<const char *, const char *>{"BDA", "TEX0"}, {"FA", "MAP0"},
                                        {"HA", "PATH0"}, {"TA", "TITLE"}, {"BHAA", "SHORT"}}) {
        char ref[12] = {};
        std::memcpy(ref, letters, std::strlen(letters));
        std::memcpy(ref + 4, name, std::strlen(name));
        refs.insert(refs.end(), ref, ref + 12);
    }
    Seed("resref", "every_kind", refs);
}

// Jam messages of both directions, after the byte that picks the template size limit.
void JamMessages()
{
    auto seed = [](const std::string &name, const Bytes &msg) {
        Bytes b{1};
        b.insert(b.end(), msg.begin(), msg.end());
        Seed("jamwire", name, b);
    };
    JAMPLAYER player{};
    player.aKeyboard[0] = {0x1F, 0, 5, Jam_PackListEntry(2, 7)};
    player.auLevel[0] = 128;
    player.iPluginSlot = -1;
    const JAMEVENT events[2] = {{10, 1, 0x800003}, {11, 22, 5}};
    seed("300_text", Net_BuildText(NET_MSG_TEXT, 0, "hello", 5));
    seed("306_command", Net_BuildCommand(7, 22, 0x123456));
    seed("308_time_answer", Net_BuildSync(NET_MSG_TIME_ANSWER, {5, 9000, 8, 130, 128, 4, 262144}));
    seed("309_player_state", Net_BuildPlayerState(NET_MSG_PLAYER_STATE, 17, 2, player));
    seed("310_batch", Net_BuildEventBatch(NET_MSG_COMMAND_BATCH, 0, 12, 33, events, 2));
    seed("312_template", Net_BuildTemplate(NET_MSG_TEMPLATE, 1, "TEMPLATE", 8));
    seed("313_loading", Net_BuildSlotByte(NET_MSG_TEMPLATE_LOADING, 2));
    seed("402_slot_entry", Net_BuildSlotEntry(7, 1, "Bob"));
    seed("405_command", Net_BuildCommandRelay(7, 2, Net_PackCommand(22, 5)));
    seed("406_start_time", Net_BuildSync(NET_MSG_START_TIME, {5, 0xFFFFFFFF, 0, 0, 0, -1, -1}));
    seed("408_player_state", Net_BuildPlayerState(NET_MSG_PLAYER_STATE_RELAY, 17, 2, player));
    seed("409_batch", Net_BuildEventBatch(NET_MSG_BATCH_RELAY, 3, 12, 33, events, 2));
    NETPOSITION pos{};
    pos.iStep = 70;
    pos.iBar = 4;
    seed("410_position", Net_BuildPosition(NET_MSG_POSITION_RELAY, pos));
}

// Jam commands applied to a model: a mode byte, then [kind, player, command, data] records; kind 3
// carries a player block.
void JamPlays()
{
    auto record = [](Bytes &b, uint8_t kind, int8_t player, uint8_t command, uint32_t d) {
        b.insert(b.end(), {kind, (uint8_t)player, command});
        Put32(b, d);
    };
    for (uint8_t mode : {0, 1}) {
        Bytes b{uint8_t(mode | 2)};
        record(b, 0, 0, 14, Jam_PackLibraryKey(1, 2, 3));
        record(b, 0, 0, 3, Jam_PackListEntry(0, 2));
        record(b, 0, 0, 28, Jam_PackListEntry(2, 1));
        record(b, 1, 0, 22, 1 << 4);
        record(b, 1, 0, 23, 1 << 4);
        record(b, 1, 0, 26, Jam_PackKeyboardData(0x101, 3));
        record(b, 0, 0, 50, 0x8007);
        record(b, 0, 0, 35, Jam_PackController(0x8007, 200));
        record(b, 0, 0, 37, Jam_PackController(0x8007, 20));
        record(b, 0, 0, 44, Jam_PackPluginLoad(1, 3));
        record(b, 0, 0, 42, 3);
        record(b, 0, 0, 46, Jam_PackXY(10, 20));
        record(b, 0, 0, 43, 3);
        record(b, 0, 0, 45, 3);
        record(b, 0, 0, 52, 120);
        record(b, 2, 4, 24, 1);
        Seed("jamplay", mode ? "immediate" : "scheduled", b);
    }
    JAMPLAYER player{};
    player.auPad[1] = Jam_KeyWord(Jam_PackListEntry(3, 1), 1);
    player.aKeyboard[1].uSlotWord = Jam_PackLibraryKey(2, 2, 2);
    Bytes b{1};
    record(b, 3, 3, 0, 0);
    uint8_t block[JAM_PLAYER_BYTES];
    Jam_EncodePlayer(player, block);
    b.insert(b.end(), block, block + JAM_PLAYER_BYTES);
    Seed("jamplay", "block", b);
}

// Jam recordings: a head alone, two phrases, and one whose last phrase is torn.
void JamSaves()
{
    JAMPLAYER players[JAM_NET_SLOTS]{};
    players[2].auRiffKey[3] = 1;
    players[1].aKeyboard[0].uOctave = 5;
    const Bytes head = Jam_EncodeSaveHead(players);
    Seed("jamsave", "head", head);
    JAMEVENTLIST lists[JAM_NET_SLOTS];
    lists[0].Events = {{10, 22, 5}, {30, 22, 0}};
    lists[2].Events = {{7, 1, Jam_PackListEntry(2, 3)}};
    lists[3].Events = {{199, 26, Jam_PackKeyboardData(0x101, 3)}};
    const JAMEVENTLIST *ptrs[JAM_NET_SLOTS] = {&lists[0], &lists[1], &lists[2], &lists[3]};
    const Bytes phrase = Jam_EncodeSavePhrase(ptrs);
    Bytes two = head;
    two.insert(two.end(), phrase.begin(), phrase.end());
    two.insert(two.end(), phrase.begin(), phrase.end());
    Seed("jamsave", "two_phrases", two);
    Bytes torn = two;
    torn.resize(torn.size() - 30);
    Seed("jamsave", "torn", torn);
}

// The network layer's own packets: discovery query and answer, a hello, and what a client takes
// from the server.
void NetPackets()
{
    const PlatNetGuid app{{0x87, 0xCE, 0xA8, 0x85, 0x2A, 0x59, 0x11, 0xD3, 0x89, 0x75, 0x00, 0x50, 0x04, 0x6A, 0x2A, 0x5F}};
    const PlatNetGuid instance{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
    Seed("netsession", "query", PlatNet_BuildQuery(app));
    Seed("netsession", "answer", PlatNet_BuildAnswer(app, instance, 2, 5, 47700, "Friday Jam"));
    Bytes hello;
    Put32(hello, PLATNET_HELLO);
    Put32(hello, PLATNET_VERSION);
    hello.insert(hello.end(), app.b, app.b + 16);
    hello.insert(hello.end(), instance.b, instance.b + 16);
    hello.insert(hello.end(), {'A', 'n', 'n'});
    Seed("netsession", "hello", hello);
    Bytes joined, left, data;
    Put32(joined, PLATNET_JOINED);
    Put32(joined, 9);
    joined.insert(joined.end(), {'B', 'o'});
    Seed("netsession", "joined", joined);
    Put32(left, PLATNET_LEFT);
    Put32(left, 9);
    Seed("netsession", "left", left);
    Put32(data, PLATNET_DATA);
    Put32(data, 1);
    Put32(data, 0);
    Put32(data, 401);
    Seed("netsession", "data_401", data);
}

} // namespace

// Tile sheets: four bytes choose columns, rows, page and window positions, then the sheet.
void TileSheets()
{
    const struct
    {
        const char *file;
        uint8_t columns, rows, page;
    } sheets[] = {{"bardata.raw", 12, 3, 7}, {"bg_tiles.raw", 10, 1, 6}, {"blanks.raw", 12, 18, 1}};
    for (const auto &s : sheets) {
        Bytes b = {s.columns, s.rows, s.page, 0x35};
        const Bytes sheet = DataFile(s.file);
        b.insert(b.end(), sheet.begin(), sheet.end());
        Seed("tilesheet", s.file, b);
    }
    // A sheet cut short, and sizes past the pages.
    Bytes cut = {2, 2, 1, 0xF0, 200, 100, 50};
    Seed("tilesheet", "short", cut);
    Seed("tilesheet", "too_large", Bytes{23, 23, 8, 0x7F, 1, 2, 3, 4});
}

// Songs that play instruments of the archive's library: their images hold an RE chunk of
// resource references (and, for an edited one, the chain that makes its sample).
void LibrarySongImages()
{
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", g_data.c_str());
    Sys_DiscInit();
    Vid_CreateResPagePool();
    if (Snd_InitSampleEngine(64) != 0 || Sys_WadOpen("demowad.WAD", "demowad.IND", 3) != 1) {
        std::fprintf(stderr, "tnv_fuzz_seeds: no archive for the library songs in %s\n", g_data.c_str());
        g_failures++;
        return;
    }
    for (int32_t tagged = 0; tagged < 2; tagged++) {
        g_bTaggedSongFile = tagged;
        Seq_NewSong();
        const int32_t a = Seq_AllocInstrumentSlot(), b = Seq_AllocInstrumentSlot();
        if (Seq_LoadInstrument(a, 1, 1, 1, 1, 0, 1, 1) == 10 || Seq_LoadInstrument(b, 1, 1, 2, 2, 0, 1, 1) == 10) {
            std::fprintf(stderr, "tnv_fuzz_seeds: the archive's first instruments did not load\n");
            g_failures++;
            break;
        }
        const uint16_t amp[3] = {0xFF00, 0xFF1D, 0x008F}, flat[2] = {0x7F00, 0x7FFF}; // time | level << 8
        const int32_t riff = Seq_NewRiff(1, 2);
        for (int32_t t = 0; t < 2; t++) {
            const int32_t la = Seq_AddParamList(3, amp, 0, 0), lb = Seq_AddParamList(2, flat, 0, 0),
                          lc = Seq_AddParamList(2, flat, 0, 0);
            const int32_t note = Seq_FindOrAddNote((uint16_t)(t ? b : a), 4, t, 2, 200, NOTE_FLAG_HITS8, 0, 0x80, 0, 0, la, lb,
                                                   lc, 0, 0, 0, 1);
            if (note > 0)
                Seq_SetRiffNote(riff, 4 * t, t, note, 1, 0, 0);
        }
        Seq_PlaceRiff(riff, 0, 0, 0, 1);
        Bytes image = Seq_SaveSongImage(SONGPART_SONG, "seed");
        if (image.empty()) {
            g_failures++;
            break;
        }
        if ((image.size() & 1) != (size_t)tagged)
            image.push_back(0);
        Seed("songimage", std::string("library-") + (tagged ? "tagged" : "untagged"), image);
        Seed("songinfo", std::string("library-") + (tagged ? "tagged" : "untagged"), image);
    }
    Seq_NewSong();
    g_bTaggedSongFile = 1;
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}

// Song images from the studio's own writer: the empty song and a song of two riffs, in both layouts.
void SongImages()
{
    Seq_Init();
    // The video chunks need the chase types (no archive: resources stay unresolved).
    Vid_CreateResPagePool();
    Vid_InitVideoCore();
    for (int32_t tagged = 0; tagged < 2; tagged++) {
        g_bTaggedSongFile = tagged;
        Seq_NewSong();
        // The fuzz target picks the layout from the length's lowest bit: pad to match.
        auto seed = [&](const char *name) {
            Bytes b = Seq_SaveSongImage(SONGPART_SONG, "seed");
            if ((b.size() & 1) != (size_t)tagged)
                b.push_back(0);
            Seed("songimage", std::string(name) + (tagged ? "-tagged" : "-untagged"), b);
            Seed("songinfo", std::string(name) + (tagged ? "-tagged" : "-untagged"), b);
        };
        seed("empty");
        const uint16_t flat[2] = {0x7F00, 0x7FFF};
        const int32_t riff = Seq_NewRiff(2, 3);
        for (int32_t s = 0; s < 32; s += 3) {
            const int32_t a = Seq_AddParamList(2, flat, 0, 0), b = Seq_AddParamList(2, flat, 0, 0),
                          c = Seq_AddParamList(2, flat, 1, 2);
            const int32_t note = Seq_FindOrAddNote(1, 4, s % 12, 2, 200, 0, 0x40, 0x80, 0, 0, a, b, c, 0, 0, 0, 1);
            if (note > 0)
                Seq_SetRiffNote(riff, s, s % 3, note, 1, 0, 0);
        }
        Seq_PlaceRiff(riff, 0, 0, 0, 1);
        Seq_PlaceRiff(riff, 2, 0, 0, 1);
        Seq_SetTrackEntry(4, 4, 120, 160, 0, 0, 0, 0, 0, 'c');
        seed("riffs");
        // The same song with a video block of the older layout: an object with a modifier, a
        // camera and a screen effect, each chase named by a timeline entry.
        Bytes old = Seq_SaveSongImage(SONGPART_SONG, "seed");
        if (!old.empty()) {
            Bytes vi;
            auto u32 = [&](uint32_t v) {
                for (int32_t i = 0; i < 4; i++)
                    vi.push_back((uint8_t)(v >> (8 * i)));
            };
            const struct
            {
                uint32_t type;
                Bytes key;
            } chases[] = {{4, {3, 0x25, 1, 0}}, {8, {10, 20, 30, 1}}, {5, {0, 5, 0, 0, 0, 0, 0, 0}}, {2, {8, 0, 0, 0, 0, 0, 0, 0}}};
            u32(4);
            for (const auto &c : chases) {
                vi.insert(vi.end(), 12, 0);
                for (uint32_t v : {c.type, 7u, 2u, 0u, 1u})
                    u32(v);
                vi.insert(vi.end(), c.key.begin(), c.key.end());
            }
            u32(4);
            for (uint32_t e = 0; e < 4; e++)
                for (uint32_t v : {e + 1, e, 6u, 0u}) {
                    vi.push_back((uint8_t)v);
                    vi.push_back((uint8_t)(v >> 8));
                }
            old.push_back('V');
            old.push_back('I');
            old.push_back((uint8_t)(vi.size() / 4));
            old.push_back((uint8_t)(vi.size() / 4 >> 8));
            old.insert(old.end(), vi.begin(), vi.end());
            const uint32_t total = (uint32_t)old.size();
            for (int32_t i = 0; i < 4; i++)
                old[8 + i] = (uint8_t)(total >> (8 * i));
            if ((old.size() & 1) != (size_t)tagged)
                old.push_back(0);
            Seed("songimage", std::string("oldvideo") + (tagged ? "-tagged" : "-untagged"), old);
            Seed("songinfo", std::string("oldvideo") + (tagged ? "-tagged" : "-untagged"), old);
            // Loaded, that video saves as CH, CL and VD; the same image marked as version 11
            // reads its chase records with that version's channel widths.
            if (const int32_t r = Seq_LoadSongImage(old.data(), old.size()); r == 0 || r == (0x100 | SONGLOAD_MISSING)) {
                Bytes video = Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "seed");
                if (!video.empty()) {
                    Bytes v11 = video;
                    v11[4] = 11;
                    for (Bytes *b : {&video, &v11})
                        if ((b->size() & 1) != (size_t)tagged)
                            b->push_back(0);
                    Seed("songimage", std::string("video") + (tagged ? "-tagged" : "-untagged"), video);
                    Seed("songimage", std::string("video-v11") + (tagged ? "-tagged" : "-untagged"), v11);
                    Seed("songinfo", std::string("video") + (tagged ? "-tagged" : "-untagged"), video);
                }
            }
            Seq_NewSong();
            Vid_FreeAllClipsAndChases();
        }
    }
    Seq_NewSong();
    g_bTaggedSongFile = 1;
    LibrarySongImages();
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tnv_fuzz_seeds <data folder> <corpus folder>\n");
        return 2;
    }
    g_data = argv[1];
    g_out = argv[2];
    InterfaceSounds();
    Aiff();
    Archive();
    Bmp();
    SaveFiles();
    CdToc();
    CommandLines();
    Effects();
    Ekestrix();
    Fonts();
    InputScripts();
    Meshes();
    Midi();
    Raster();
    SampleEdit();
    Settings();
    Textures();
    TileSheets();
    UserImages();
    Wav();
    Videos();
    Movie();
    VideoResources();
    ClipImages();
    JamMessages();
    JamPlays();
    JamSaves();
    NetPackets();
    SongImages();
    return g_failures ? 1 : 0;
}
