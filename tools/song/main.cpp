// tnv_song: song files from the command line.
//
//   tnv_song info <file.tnv>             prints the image's chunks
//   tnv_song resave <in.tnv> <out.tnv>   loads the song and saves it again
//   tnv_song render <in.tnv> <out.wav>   mixes the song down through the studio's own mixdown
//
// Bad files are refused with a message and exit status 1.
#include "app/startup.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "core/browser.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"

#include <cstdio>
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

} // namespace

int main(int argc, char **argv)
{
    const bool info = argc == 3 && !std::strcmp(argv[1], "info");
    const bool resave = argc == 4 && !std::strcmp(argv[1], "resave");
    const bool render = argc == 4 && !std::strcmp(argv[1], "render");
    if (!info && !resave && !render) {
        std::fprintf(stderr, "usage: tnv_song info <file.tnv> | resave <in.tnv> <out.tnv> | render <in.tnv> <out.wav>\n");
        return 2;
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
    const int32_t r = Seq_LoadSongImage(file.data() + at, file.size() - (size_t)at);
    if (r != 0) {
        std::fprintf(stderr, "tnv_song: Couldn't Load File (%s). (%d)\n", argv[2], r);
        return 1;
    }
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
