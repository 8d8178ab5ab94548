#include "tools/perfsongs.h"

#include "audio/mixer.h"
#include "core/browser.h"
#include "core/cardsave.h"
#include "core/random.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "tools/videohost.h"
#include "video/autovideo.h"
#include "video/lanes.h"

#include <cstring>

namespace {

// Styles, keys and tempos differ from song to song; pitches are above the key's tonic.
std::vector<CONTENTPERFFOLDER> BuildFolders()
{
    std::vector<CONTENTPERFFOLDER> folders(2);
    folders[0].name = "DEMOS";
    folders[0].title = "Demo songs";
    std::vector<CONTENTSTYLE> &d = folders[0].songs;
    // House, A minor.
    d.push_back({"PULSE", "Pulse", 128, 16, -3, 3, {0, 4, 8, 12}, {}, {4, 12}, {2, 6, 10, 14}, {}, 0x80,
                 {{2, 0, 2}, {6, 0, 2}, {10, 0, 2}, {14, 12, 2}, {18, -4, 2}, {22, -4, 2}, {26, -2, 2}, {30, 10, 2}},
                 {{0, 12, 2}, {4, 10, 2}, {6, 7, 2}, {8, 3, 4}, {16, 12, 2}, {20, 15, 2}, {22, 12, 2}, {24, 10, 4},
                  {32, 7, 4}, {36, 10, 4}, {40, 3, 8}, {52, 0, 8}},
                 {{0, 0, 30}, {0, 7, 30}, {32, -4, 30}, {32, 3, 30}},
                 4, 8, 0, 0});
    // A loose shuffle, G major, walking bass.
    d.push_back({"PORCH", "Back Porch", 96, 12, -5, 3, {0, 7, 10}, {4, 12}, {}, {0, 3, 4, 7, 8, 11, 12, 15}, {},
                 0x80,
                 {{0, 0, 3}, {4, 4, 3}, {8, 7, 3}, {12, 9, 3}, {16, 5, 3}, {20, 9, 3}, {24, 12, 3}, {28, 11, 3}},
                 {{0, 7, 3}, {4, 9, 3}, {8, 12, 6}, {16, 11, 3}, {20, 9, 3}, {24, 7, 6}, {32, 4, 3}, {36, 5, 3},
                  {40, 7, 6}, {48, 4, 4}, {52, 2, 4}, {56, 0, 8}},
                 {{0, 0, 30}, {0, 4, 30}, {32, 5, 30}, {32, 9, 30}},
                 0, 4, 0, 0});
    // Slow and open, D minor: long notes over a heartbeat.
    d.push_back({"SLOWAIR", "Slow Air", 72, 12, 2, 3, {0}, {}, {}, {8}, {}, 0x80,
                 {{0, 0, 14}, {16, -4, 14}},
                 {{0, 12, 6}, {6, 10, 2}, {8, 8, 8}, {16, 7, 12}, {32, 5, 6}, {38, 7, 2}, {40, 8, 8}, {48, 7, 15}},
                 {{0, 0, 30}, {0, 3, 30}, {32, -2, 30}, {32, 5, 30}},
                 4, 4, 0, 4});
    // Driving eighths, E minor.
    d.push_back({"NIGHTDRV", "Night Drive", 110, 16, 4, 3, {0, 8, 10}, {4, 12}, {}, {0, 2, 4, 6, 8, 10, 12},
                 {14}, 0x80,
                 {{0, 0, 2}, {2, 0, 2}, {4, 0, 2}, {6, 0, 2}, {8, 0, 2}, {10, 0, 2}, {12, 0, 2}, {14, 0, 2},
                  {16, -4, 2}, {18, -4, 2}, {20, -4, 2}, {22, -4, 2}, {24, -2, 2}, {26, -2, 2}, {28, -2, 2},
                  {30, -2, 2}},
                 {{0, 7, 4}, {4, 10, 4}, {8, 12, 8}, {16, 15, 4}, {20, 14, 4}, {24, 12, 8}, {32, 10, 4}, {36, 12, 4},
                  {40, 7, 8}, {48, 5, 4}, {52, 7, 11}},
                 {{0, 0, 30}, {0, 7, 30}, {32, -4, 30}, {32, 3, 30}},
                 2, 8, 0, 0});
    // Bright and quick, C major, rolling hats.
    d.push_back({"BOUNCE", "Bounce", 140, 8, 0, 3, {0, 6, 10}, {4}, {12}, {0, 2, 4, 6, 8, 10, 12, 14}, {}, 0x88,
                 {{0, 0, 2}, {3, 0, 1}, {6, 7, 2}, {10, 5, 2}, {12, 4, 2}, {16, -3, 2}, {19, -3, 1}, {22, 4, 2},
                  {26, 5, 2}, {28, 7, 2}},
                 {{0, 16, 2}, {2, 14, 2}, {4, 12, 2}, {8, 9, 2}, {10, 7, 4}, {16, 12, 2}, {18, 14, 2}, {20, 16, 4},
                  {24, 19, 6}, {32, 17, 2}, {34, 16, 2}, {36, 14, 4}, {40, 12, 8}, {48, 14, 4}, {52, 12, 10}},
                 {{0, 0, 30}, {0, 4, 30}, {32, -3, 30}, {32, 0, 30}},
                 0, 4, 0, 0});
    // A ballad, F major.
    d.push_back({"HOURS", "Quiet Hours", 66, 8, 5, 3, {0, 10}, {8}, {}, {0, 4, 8, 12}, {}, 0x80,
                 {{0, 0, 7}, {8, 4, 7}, {16, -3, 7}, {24, -5, 7}},
                 {{0, 12, 4}, {4, 14, 2}, {6, 16, 2}, {8, 17, 8}, {16, 16, 4}, {20, 14, 4}, {24, 12, 8}, {32, 9, 4},
                  {36, 11, 4}, {40, 12, 8}, {48, 7, 15}},
                 {{0, 0, 30}, {0, 4, 30}, {32, -3, 30}, {32, 0, 30}},
                 0, 4, 0, 4});
    // The idle demo: entry 7 of the folder.
    d.push_back({"ELAV8", "Ela V8", 120, 16, -3, 3, {0, 4, 8, 12}, {4, 12}, {}, {2, 6, 10, 14}, {14}, 0x80,
                 {{0, 0, 2}, {3, 0, 1}, {6, 12, 2}, {8, 0, 2}, {11, 10, 2}, {14, 7, 2}, {16, -4, 2}, {19, -4, 1},
                  {22, 8, 2}, {24, -2, 2}, {27, -2, 1}, {30, 10, 2}},
                 {{0, 12, 3}, {3, 15, 3}, {6, 19, 2}, {8, 17, 6}, {16, 15, 2}, {18, 14, 2}, {20, 12, 4}, {24, 10, 8},
                  {32, 12, 3}, {35, 15, 3}, {38, 19, 2}, {40, 22, 6}, {48, 19, 4}, {52, 17, 4}, {56, 15, 8}},
                 {{0, 0, 30}, {0, 7, 30}, {32, -4, 30}, {32, 3, 30}},
                 2, 4, 0, 0});

    folders[1].name = "JINGLES";
    folders[1].title = "Jingles";
    std::vector<CONTENTSTYLE> &j = folders[1].songs;
    // Two bars each: short pieces to open or close a set.
    j.push_back({"STINGUP", "Sting Up", 150, 2, 0, 3, {0, 8}, {4, 12}, {}, {2, 6, 10, 14}, {}, 0x80,
                 {{0, 0, 4}, {8, 7, 4}, {16, 5, 4}, {24, 12, 6}},
                 {{0, 12, 2}, {2, 16, 2}, {4, 19, 2}, {8, 24, 6}, {16, 21, 2}, {18, 19, 2}, {20, 21, 2}, {24, 24, 7}},
                 {}, 0, 0, -1, 0});
    j.push_back({"STINGDN", "Sting Down", 130, 2, -3, 3, {0, 10}, {8}, {}, {0, 4, 8, 12}, {14}, 0x80,
                 {{0, 12, 4}, {8, 7, 4}, {16, 3, 4}, {24, 0, 6}},
                 {{0, 19, 2}, {2, 15, 2}, {4, 12, 2}, {8, 10, 6}, {16, 7, 2}, {18, 3, 2}, {20, 2, 2}, {24, 0, 7}},
                 {}, 0, 0, -1, 0});
    return folders;
}

} // namespace

const std::vector<CONTENTPERFFOLDER> &Content_PerfFolders()
{
    static const std::vector<CONTENTPERFFOLDER> folders = BuildFolders();
    return folders;
}

std::vector<uint8_t> Content_BuildPerfEntry(const CONTENTSTYLE &style, std::string &err)
{
    Seq_NewSong();
    Vid_ResetVideo();
    if (Content_BuildStyledSong(style) != 0) {
        err = std::string("perf song ") + style.entry + ": cannot be built";
        return {};
    }
    // The same video every build.
    Sys_SeedRand(uint32_t(style.tempo * 131 + style.rows));
    if (Vid_BuildAutoVideo(20, 40, 0, 0) != 1) {
        err = std::string("perf song ") + style.entry + ": the automatic video failed";
        return {};
    }
    g_bTaggedSongFile = 0;
    std::vector<uint8_t> image = Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "Tonnivelle");
    g_bTaggedSongFile = 1;
    const int32_t blocks = int32_t((image.size() + SAVEHEADER_BYTES + CARD_BLOCK_BYTES - 1) / CARD_BLOCK_BYTES);
    if (image.empty() || blocks > SAVEHEADER_MAX_BLOCKS) {
        err = std::string("perf song ") + style.entry + ": does not fit a save (" + std::to_string(image.size()) +
              " bytes)";
        return {};
    }
    Sys_BuildSaveHeader(style.shown, blocks, 0);
    std::vector<uint8_t> entry(SAVEHEADER_BYTES);
    std::memcpy(entry.data(), &g_tSaveHeader, SAVEHEADER_BYTES);
    entry.insert(entry.end(), image.begin(), image.end());
    return entry;
}

bool Content_AddPerfSongs(PACKDIR &root, const std::string &dataDir, std::string &err)
{
    if (Snd_InitSampleEngine(64) != 0) {
        err = "perf songs: no sample engine";
        return false;
    }
    Seq_Init();
    Seq_NewSong();
    bool ok = Content_StartVideoHost(dataDir, err);
    PACKDIR &perf = Pack_Dir(root, "PERF");
    for (const CONTENTPERFFOLDER &f : Content_PerfFolders()) {
        if (!ok)
            break;
        PACKDIR &dir = Pack_Dir(perf, f.name);
        dir.title = f.title;
        dir.files.clear();
        for (const CONTENTSTYLE &s : f.songs) {
            PACKFILE file;
            file.name = s.entry;
            file.shown = s.shown;
            file.data = Content_BuildPerfEntry(s, err);
            if (file.data.empty()) {
                ok = false;
                break;
            }
            dir.files.push_back(std::move(file));
        }
    }
    Content_StopVideoHost();
    Seq_NewSong();
    Snd_ShutdownSampleEngine();
    return ok;
}
