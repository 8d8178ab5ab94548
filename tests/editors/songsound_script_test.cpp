// What the studio sounds like, read back from the audio dump of the running studio: a note of one
// of the demo song's sampled instruments, in a riff placed on the song and played, is heard.
#include "app/spine_fixture.h"

#include "core/mixlock.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/menupages.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace
{

int32_t FirstSampledSlot()
{
    for (int slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        if (g_aInstrumentSlots[slot].pszName && g_aInstrumentSlots[slot].pszName[0])
            return slot;
    return 0;
}

int32_t s_slot = 0;

// F4 on the song grid: one note of the first sampled instrument in a new riff, placed past the
// demo song's own riffs (so that it is all there is to hear) and played.
void PlayOneNote()
{
    s_slot = FirstSampledSlot();
    if (!s_slot)
        return;
    // The song's tables are the audio thread's too.
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    const int32_t a = Seq_AddParamList(g_DefaultNote.ucCountA, g_DefaultNote.auValuesA, 0, 0);
    const int32_t b = Seq_AddParamList(g_DefaultNote.ucCountB, g_DefaultNote.auValuesB, 0, 0);
    const int32_t c = Seq_AddParamList(g_DefaultNote.ucCountC, g_DefaultNote.auValuesC, 0, 0);
    const int32_t note =
        Seq_FindOrAddNote(uint16_t(s_slot), 4, 0, 8, 220, NOTE_FLAG_HITS8, 0, 0x80, 0, 0, a, b, c, 0, 0, 0, 1);
    const int32_t riff = Seq_NewRiff(1, 1);
    if (note <= 0 || riff <= 0)
        return;
    Seq_SetRiffNote(riff, 0, 0, -note, 1, 0, 0);
    const int32_t position = Seq_CountUsedRows() + 4;
    Seq_PlaceRiff(riff, position, 98, 0, 1);
    Seq_CountUsedRows();
    Seq_PlaySongFrom(uint32_t(position));
}

std::vector<int16_t> ReadDump(const std::string &path)
{
    std::vector<int16_t> out;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return out;
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        out.push_back(int16_t(bytes[i] | bytes[i + 1] << 8));
    return out;
}

// The first sample that is not silence (the dump's length when there is none).
size_t Onset(const std::vector<int16_t> &d)
{
    return size_t(std::find_if(d.begin(), d.end(), [](int16_t v) { return v != 0; }) - d.begin());
}

class SongSoundScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_AUDIO_DUMP");
        Ui_ResetMenuItems();
        SpineTest::TearDown();
    }
    std::vector<int16_t> RunDumped(const char *name, int frames, const std::vector<std::string> &script)
    {
        const std::string wav = ::testing::TempDir() + name;
        std::remove(wav.c_str());
        setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
        EXPECT_EQ(Run(nullptr, frames, script), 0);
        unsetenv("TNV_AUDIO_DUMP");
        return ReadDump(wav);
    }
};

TEST_F(SongSoundScript, ASampledNoteInARiffOnTheSongIsHeard)
{
    Ui_SetMenuItemHandler(3, PlayOneNote);
    const std::vector<int16_t> dump = RunDumped("tnv_songsound_note.wav", 150, {"20 keydown F4", "21 keyup F4"});
    ASSERT_GT(s_slot, 0) << "the demo song has a sampled instrument";
    const size_t onset = Onset(dump);
    ASSERT_LT(onset, dump.size()) << "the note is heard";
    EXPECT_GT(onset, 0u) << "and nothing before it";
    int peak = 0;
    for (size_t i = onset; i < dump.size(); i++)
        peak = std::max(peak, std::abs(int(dump[i])));
    EXPECT_GT(peak, 1000);
}

} // namespace
