// Saving and loading a large song: 1400 riffs of 2000 notes filling the grid. Bytes per second
// are the image's bytes.
#include "audio/mixer.h"
#include "core/browser.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// 1400 riffs of 1 bar x 1 track (the grid takes 98901 placements of them) and 2000 notes.
void BuildLargeSong()
{
    static bool ready = [] {
        Snd_InitSampleEngine(64);
        Seq_Init();
        return true;
    }();
    (void)ready;
    g_bTaggedSongFile = 1;
    Seq_NewSong();
    const uint16_t flat[2] = {0x7F00, 0x7FFF};
    std::vector<int32_t> notes;
    for (int32_t i = 0; i < 2000; i++) {
        const int32_t a = Seq_AddParamList(2, flat, 0, 0), b = Seq_AddParamList(2, flat, 0, 0),
                      c = Seq_AddParamList(2, flat, (uint8_t)(i & 0xFF), (uint8_t)(i >> 8));
        notes.push_back(Seq_FindOrAddNote(1, (i % 96) / 12, i % 12, 1, 200, 0, 0x40, 0x80, 0, 0, a, b, c, 0, 0, 0, 1));
    }
    for (int32_t r = 0; r < 1400; r++) {
        const int32_t riff = Seq_NewRiff(1, 1);
        for (int32_t s = 0; s < 16; s += 2)
            Seq_SetRiffNote(riff, s, 0, notes[(size_t)(r * 8 + s) % notes.size()], 1, 0, 0);
    }
    for (int32_t row = 0; row <= SEQ_LAST_PLACE_ROW; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            Seq_PlaceRiff(1 + (row * 7 + c * 13) % 1400, row, c, 0, 1);
}

} // namespace

static void BM_SaveLargeSong(benchmark::State &state)
{
    BuildLargeSong();
    size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> image = Seq_SaveSongImage(SONGPART_SONG, "bench");
        bytes += image.size();
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed((int64_t)bytes);
    Seq_NewSong();
}
BENCHMARK(BM_SaveLargeSong)->Unit(benchmark::kMillisecond);

static void BM_LoadLargeSong(benchmark::State &state)
{
    BuildLargeSong();
    const std::vector<uint8_t> image = Seq_SaveSongImage(SONGPART_SONG, "bench");
    for (auto _ : state) {
        if (Seq_LoadSongImage(image.data(), image.size()) != 0)
            state.SkipWithError("the large song did not load");
    }
    state.SetBytesProcessed((int64_t)(image.size() * state.iterations()));
    Seq_NewSong();
}
BENCHMARK(BM_LoadLargeSong)->Unit(benchmark::kMillisecond);
