// tnv_song: song files from the command line.
//
//   tnv_song info <file.tnv>             prints the image's chunks
//   tnv_song resave <in.tnv> <out.tnv>   loads the song and saves it again
//   tnv_song render <in.tnv> <out.wav>   mixes the song down through the studio's own mixdown
//   tnv_song frame <in.tnv> <row> <out.png>
//                                        draws the song's video at a row (640 x 480) through the
//                                        studio's video engine on the headless display, with the
//                                        studio's content archive (TNV_DATA_DIR, else the "data"
//                                        folder beside the tool or one level up)
//
// Bad files are refused with a message and exit status 1.
#include "app/startup.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "core/browser.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "core/console_memory.h"
#include "platform/display.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "tools/videohost.h"
#include "platform/paths.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool ReadFile(const char *path, std::vector<uint8_t> *out)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

int Info(const std::vector<uint8_t> &file, int32_t at)
{
    std::string text;
    const int32_t r = Seq_DescribeImage(file.data() + at, file.size() - (size_t)at, &text);
    std::fputs(text.c_str(), stdout);
    return r == 0 ? 0 : 1;
}

// A row is a whole number of the video's positions.
bool ParseRow(const char *text, int32_t *row)
{
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!text[0] || *end || v < 0 || v >= VID_POSITIONS)
        return false;
    *row = (int32_t)v;
    return true;
}

// The studio's content: TNV_DATA_DIR, else "data" beside the tool (an installed copy) or in the
// build folder above it.
std::string DataDir()
{
    if (const char *env = std::getenv("TNV_DATA_DIR"))
        return env;
    const std::string exe = Plat_ExecutableDir();
    for (const std::string &dir : {exe + "/data", exe + "/../data"})
        if (std::ifstream(dir + "/WADS/demowad.IND").good())
            return dir;
    return exe + "/data";
}

// One frame of the lanes at the row, drawn by the engine the video host started, shown and
// written.
int Frame(int32_t row, const char *out)
{
    Vid_ForceVideoPosition(row);
    Vid_UpdateLanes();
    Vid_RenderFrame();
    Gfx_Present();
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> &rgb = Plat_DisplayPresentedFrame(&w, &h);
    const bool written = !rgb.empty() && Plat_WritePng(out, rgb.data(), w, h);
    Content_StopVideoHost();
    if (!written) {
        std::remove(out);
        std::fprintf(stderr, "tnv_song: Couldn't Save File (%s).\n", out);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const bool info = argc == 3 && !std::strcmp(argv[1], "info");
    const bool resave = argc == 4 && !std::strcmp(argv[1], "resave");
    const bool render = argc == 4 && !std::strcmp(argv[1], "render");
    const bool frame = argc == 5 && !std::strcmp(argv[1], "frame");
    if (!info && !resave && !render && !frame) {
        std::fprintf(stderr, "usage: tnv_song info <file.tnv> | resave <in.tnv> <out.tnv> | render <in.tnv> <out.wav>"
                             " | frame <in.tnv> <row> <out.png>\n");
        return 2;
    }
    int32_t row = 0;
    if (frame && !ParseRow(argv[3], &row)) {
        std::fprintf(stderr, "tnv_song: the row must be 0 to %d, not \"%s\"\n", VID_POSITIONS - 1, argv[3]);
        return 1;
    }
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    if (render && (Snd_InitSampleEngine(64) != 0 || Sys_AllocMixBuffers() != 0)) {
        std::fprintf(stderr, "tnv_song: no memory for the mixdown\n");
        return 1;
    }
    if (render) {
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        g_iMixdownSeconds = 10;
        g_iMixdownMaxSeconds = 3 * 3600;
    } else {
        Snd_InitSampleEngine(64);
    }
    std::vector<uint8_t> file;
    if (!ReadFile(argv[2], &file)) {
        std::fprintf(stderr, "tnv_song: Couldn't Load File (%s).\n", argv[2]);
        return 1;
    }
    int32_t tagged = 1;
    const int32_t at = Seq_LocateSongImage(file.data(), file.size(), &tagged);
    if (at < 0) {
        std::fprintf(stderr, "tnv_song: Couldn't Load File (%s). It is not a song file.\n", argv[2]);
        return 1;
    }
    g_bTaggedSongFile = tagged;
    Seq_Init();
    Seq_NewSong();
    CHUNKLOADCONTEXT load;
    if (Seq_LocateChunks(file.data() + at, file.size() - (size_t)at, 0, -1, &load) != SONGLOAD_OK) {
        std::fprintf(stderr, "tnv_song: Couldn't Load File (%s). The file is damaged.\n", argv[2]);
        return 1;
    }
    if (info)
        return Info(file, at);
    // The video of a song and its library instruments refer to the archive's resources: the
    // engine and the archive are up before the song is read.
    std::string why;
    const bool resources = load.ctx.aChunk[CHUNK_RE].uSize != 0;
    if ((frame || resources) && !Content_StartVideoHost(DataDir(), why)) {
        std::fprintf(stderr, "tnv_song: %s\n", why.c_str());
        return 1;
    }
    const int32_t r = Seq_LoadSongImage(file.data() + at, file.size() - (size_t)at);
    if (r != 0) {
        std::fprintf(stderr, "tnv_song: Couldn't Load File (%s). (%d)\n", argv[2], r);
        return 1;
    }
    if (frame)
        return Frame(row, argv[4]);
    if (render) {
        if (Sys_StartMixdown(argv[3]) != 0) {
            std::fprintf(stderr, "tnv_song: Couldn't Save File (%s).\n", argv[3]);
            return 1;
        }
        for (long guard = 0; g_bMixdownRunning && guard < 100000000L; guard++)
            Sys_MixdownStep();
        return 0;
    }
    char author[33] = {};
    std::memcpy(author, load.szAuthor, 32);
    const std::vector<uint8_t> image = Seq_SaveSongImage(SONGPART_SONG, author);
    // A song behind a save header keeps its header.
    std::vector<uint8_t> out(file.begin(), file.begin() + at);
    out.insert(out.end(), image.begin(), image.end());
    if (image.empty() || Seq_WriteSongFile(argv[3], out) != 0) {
        std::fprintf(stderr, "tnv_song: Couldn't Save File (%s).\n", argv[3]);
        return 1;
    }
    return 0;
}
