// The song model's hot edits: placing and removing riffs on a full grid, and interning notes
// into a full note store. Items per second = operations per second.
#include "sequencer/songmodel.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

// A grid filled with 1 x 1 riffs (eight of them, so no use count nears its limit); each round
// removes the riff at a random cell and places it back.
static void BM_PlaceRemoveOnFullGrid(benchmark::State &state)
{
    Seq_ResetSongModel();
    for (int32_t i = 0; i < 8; i++)
        Seq_NewRiff(1, 1);
    for (int32_t row = 0; row <= SEQ_LAST_PLACE_ROW; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            Seq_PlaceRiff(1 + (row + c) % 8, row, c, 0, 1);
    std::mt19937 rng(1);
    for (auto _ : state) {
        const int32_t row = (int32_t)(rng() % (SEQ_LAST_PLACE_ROW + 1)), c = (int32_t)(rng() % SEQ_GRID_COLUMNS);
        const int32_t riff = Seq_GetRiffStartingAt(row, c);
        Seq_RemoveRiffAt(row, c, 1);
        Seq_PlaceRiff(riff, row, c, 0, 1);
    }
    state.SetItemsProcessed(state.iterations() * 2);
    Seq_ResetSongModel();
}
BENCHMARK(BM_PlaceRemoveOnFullGrid);

// Finding an existing note in a store of 2047 notes (the linear scan the store is built on).
static void BM_InternNoteInFullStore(benchmark::State &state)
{
    Seq_ResetSongModel();
    const uint16_t flat[2] = {0x7F00, 0x7FFF};
    const int32_t list = Seq_AddParamList(2, flat, 0, 0);
    for (int32_t i = 0; i < SEQ_MAX_NOTES - 1; i++)
        Seq_FindOrAddNote(1, (i % 72) / 12, i % 12, 1, (uint8_t)(i / 72), 0, 0, 0, 0, 0, list, list, list, 0, 0, 0, 1);
    std::mt19937 rng(1);
    for (auto _ : state) {
        const int32_t i = (int32_t)(rng() % (SEQ_MAX_NOTES - 1));
        const int32_t id = Seq_FindOrAddNote(1, (i % 72) / 12, i % 12, 1, (uint8_t)(i / 72), 0, 0, 0, 0, 0, list, list,
                                             list, 0, 0, 0, 1);
        Seq_ReleaseNoteRef(id);
        benchmark::DoNotOptimize(id);
    }
    state.SetItemsProcessed(state.iterations());
    Seq_ResetSongModel();
}
BENCHMARK(BM_InternNoteInFullStore);
