// A note's volume envelope shaped in the curve editor changes how the note sounds: the demo song
// mixed down before and after its lone tone gets a short plucked envelope.
#include "ui/ui_fixture.h"

#include "app/startup.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/wav.h"
#include "editors/curveeditor.h"
#include "platform/backend.h"
#include "sequencer/clock.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "support/tempdir.h"
#include "tools/demosong.h"
#include "ui/riffeditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace uitest;

namespace {

class CurveSound : public UiTest
{
protected:
    TempDir m_dir;

    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        ASSERT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        g_iMixdownSeconds = 10;
        g_iMixdownMaxSeconds = 3 * 3600;
        Seq_Init();
        Seq_NewSong();
        ASSERT_EQ(Content_BuildDemoSong(), 0);
    }
    void TearDown() override
    {
        Ed_CloseCurveEditor();
        Seq_StopSong();
        Seq_NewSong();
        Sys_FreeMixBuffers();
        Snd_ShutdownSampleEngine();
        g_bAudioMixEnabled = 0;
        g_tSelectedNote = NOTEPARAMS{};
        g_tSelectedNote.ucState = 255;
        g_ucSelectedNoteValue = 0x42;
        g_sSelectedStep = g_sSelectedRow = -1;
        UiTest::TearDown();
    }

    // The left channel of a mixdown; TNV_CURVE_WAV=prefix keeps the files for a person to hear.
    std::vector<int16_t> MixDown(const std::string &name)
    {
        const std::string path = m_dir.File(name);
        EXPECT_EQ(Sys_StartMixdown(path.c_str()), 0);
        for (int guard = 0; g_bMixdownRunning && guard < 100000; guard++)
            Sys_MixdownStep();
        EXPECT_FALSE(g_bMixdownRunning.load());
        if (const char *keep = std::getenv("TNV_CURVE_WAV"))
            std::system(("cp '" + path + "' '" + std::string(keep) + name + "'").c_str());
        std::vector<int16_t> left;
        if (Snd_WavOpenRead(path.c_str()) != 0)
            return left;
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        if (l)
            left.assign(l, l + frames);
        std::free(l);
        std::free(r);
        return left;
    }

    static double Rms(const std::vector<int16_t> &s, size_t from, size_t count)
    {
        double sum = 0;
        for (size_t i = from; i < from + count && i < s.size(); i++)
            sum += double(s[i]) * s[i];
        return std::sqrt(sum / double(count));
    }
};

TEST_F(CurveSound, APluckedVolumeEnvelopeSilencesTheToneAfterItsAttack)
{
    const std::vector<int16_t> before = MixDown("before.wav");
    ASSERT_FALSE(before.empty());

    // Where the tone's row begins, in sound frames: 72 a clock tick.
    int32_t ticks = 0;
    Seq_StartSongAt(0, 1);
    while (g_uSongRow.load() < uint32_t(DEMO_TONE_ROW) && ticks < 1000000) {
        Seq_Tick();
        ticks++;
    }
    Seq_StopSong();
    const size_t toneStart = size_t(ticks) * 72;
    ASSERT_LT(toneStart + 44100, before.size());

    // The tone's note on the note panel, as the riff editor selects it.
    const int32_t riff = Seq_GetRiffStartingAt(DEMO_TONE_ROW, 4);
    ASSERT_GT(riff, 0);
    g_uCurrentRiff = uint16_t(riff);
    g_ucCurrentChannel = 0;
    g_sSelectedStep = 0;
    g_sSelectedRow = -1; // no grid row to show it on
    g_ucSelectedNoteValue = 1;
    Seq_ReadNote(0, 0, &g_tSelectedNote);
    ASSERT_NE(g_tSelectedNote.ucState, 255);

    // The volume envelope editor: the "Piano" layout, kept, then its third point pulled to the floor.
    Ed_OpenCurveEditor(CURVEMODE_NOTE_VOLUME);
    ASSERT_TRUE(Ed_CurveEditorIsOpen());
    Ed_CurvePresetLayouts();
    for (int i = 0; i < 100 && g_pCurvePresetList->selected != 2; i++) {
        Ed_CurveListDown();
        Frame();
    }
    ASSERT_EQ(g_pCurvePresetList->selected, 2);
    Ed_CurveEditAccept();
    g_pCurve->current = 2;
    Ed_CurveBeginMovePoint();
    Ed_CurvePointDown();
    Ed_CurveEndMovePoint();
    Ed_CurveEditBack();
    EXPECT_FALSE(Ed_CurveEditorIsOpen());

    // The song's note holds the drawn envelope.
    NOTEPARAMS written{};
    Seq_ReadNote(0, 0, &written);
    ASSERT_EQ(written.ucCountA, 5);
    EXPECT_EQ(written.auValuesA[1], 2 | 255 << 8);
    EXPECT_EQ(written.auValuesA[2], 4 | 0 << 8);

    const std::vector<int16_t> after = MixDown("after.wav");
    ASSERT_EQ(after.size(), before.size());
    // Everything before the tone is the same song.
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + std::ptrdiff_t(toneStart), after.begin()));
    // A quarter of a second into the tone: it sang before, and is all but silent now.
    const double was = Rms(before, toneStart + 11025, 11025);
    const double now = Rms(after, toneStart + 11025, 11025);
    EXPECT_GT(was, 1000.0);
    EXPECT_LT(now, was / 20) << "before " << was << ", after " << now;
}

} // namespace
