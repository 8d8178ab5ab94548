// Sample-edit chains as a song file may carry them: any command types and arguments, any count,
// replayed on a small sample. Every replay stays inside the sample's data and frees what it made.
#include "audio/import.h"
#include "audio/mixer.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "core/fixmath.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

uint32_t Take32(const uint8_t *&data, size_t &size)
{
    uint32_t v = 0;
    size_t n = size < 4 ? size : 4;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool started = (Sys_BuildSineTable(), Snd_InitSampleEngine(16), true);
    (void)started;
    if (size < 8 || size > 4096)
        return 0;
    std::vector<int16_t> sample(300 + data[0] * 4);
    for (size_t i = 0; i < sample.size(); i++)
        sample[i] = (int16_t)(i * 2654435761u >> 16);
    // The song's own sample (no archive here): its chain replays all the same.
    const int32_t slot = Snd_ImportRawSample("fuzz", sample.data(), (uint32_t)sample.size() * 2, 44100);
    if (slot >= 1 && slot <= 200) {
        // A few lists for envelope commands to name.
        uint16_t points[3] = {0x8000, 0x4080, 0xFFFF};
        Seq_AddParamList(2, points, 0, data[1] & 15);
        Seq_AddParamList(3, points, 0, 40);
        Snd_OpenSampleEditor(data[1] & 0x80 ? EDIT_FULL : EDIT_SILENT);
        Snd_SelectEditInstrument(slot, 0);
        int32_t count = (int32_t)Take32(data, size) % 512;
        for (int i = 0; size > 0 && i < 200; i++) {
            uint32_t type = Take32(data, size);
            // Mostly real codes, sometimes anything.
            if (!(type & 0x80000000u))
                type %= 21;
            uint32_t p0 = Take32(data, size), p1 = Take32(data, size);
            Seq_AddInstrumentCommand(5, type, p0 % 4096 - (p0 & 0x100000 ? 2048 : 0), p1 & 0x10000 ? p1 : p1 % 4096);
        }
        Snd_ReplayEditChain(g_aInstrumentSlots[5].pCommands, count);
        Snd_UndoSampleEdit();
        Snd_CloseSampleEditor();
    }
    for (int32_t i = 0; i < SEQ_INSTRUMENT_SLOTS; i++)
        Seq_ClearInstrumentSlot(i, 0);
    Seq_ClearSampleTable();
    Seq_CreateCommandEntryPool();
    Seq_ClearParamLists();
    g_uSampleNameCounter = 0;
    Snd_FreeAllSamples();
    return 0;
}
