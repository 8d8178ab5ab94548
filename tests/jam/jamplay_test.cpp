// A single-player jam on the headless studio, its player records filled by the test as the
// network step would fill them: the riff key, a latched key, a pad and keyboard notes are heard in
// the recorded output and seen in the recorded voice calls, and ending the jam gives the song
// back byte for byte.
#include "jamfixture.h"

#include "ui/popup.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace jamtest {
namespace {

// The fundamental between 100 and 1000 Hz: the shortest period whose correlation comes near the
// best (a period's multiples correlate as well).
double PitchOf(const std::vector<int16_t> &x, size_t from, size_t n)
{
    if (from + n + 441 > x.size())
        return 0;
    std::vector<double> corr(442, 0);
    double best = 0;
    for (size_t lag = 44; lag <= 441; ++lag) {
        double s = 0, a = 0, b = 0;
        for (size_t i = from; i < from + n; ++i) {
            s += (double)x[i] * x[i + lag];
            a += (double)x[i] * x[i];
            b += (double)x[i + lag] * x[i + lag];
        }
        corr[lag] = (a > 0 && b > 0) ? s / std::sqrt(a * b) : 0;
        best = std::max(best, corr[lag]);
    }
    for (size_t lag = 45; lag < 441; ++lag)
        if (corr[lag] >= 0.9 * best && corr[lag] >= corr[lag - 1] && corr[lag] >= corr[lag + 1])
            return 44100.0 / (double)lag;
    return 0;
}

int32_t InstrumentAt(int32_t row, int32_t column)
{
    const RIFFENTRY *r = Seq_GetRiff(Seq_GetRiffStartingAt(row, column));
    if (!r)
        return 0;
    for (int32_t i = 0; i < r->ucTracks * r->ucBars * 16; ++i)
        if (r->puNotes[i])
            return Seq_GetNote(r->puNotes[i])->uInstrument;
    return 0;
}

TEST_F(JamStudio, KeysLatchesPadsAndKeyboardsSoundAndTheSongComesBackWhole)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    const std::vector<uint8_t> before = SongImage();
    ASSERT_GT(before.size(), 100u);
    const int32_t drums = Seq_GetRiffStartingAt(0, 0);
    const int32_t bass = InstrumentAt(4, 3);
    const int32_t lead = InstrumentAt(DEMO_TONE_ROW, 4);
    ASSERT_GT(drums, 0);
    ASSERT_GT(bass, 0);
    ASSERT_GT(lead, 0);

    Jam_StartSession();
    ASSERT_EQ(g_bJamSessionOn.load(), 1);
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_IDLE);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_JAM_LIST);
    EXPECT_STREQ(g_aszJamLog[JAM_LOG_LINES - 1], Ui_Text(681));
    // Closing the jam list arms the start; a single-player jam starts on the next frame, no box.
    Ui_ClosePopup();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING);
    Frame();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    EXPECT_EQ(g_pJamStartBox, nullptr);
    EXPECT_EQ(g_bJamKeysActive.load(), 1);

    ASSERT_EQ(Jam_LoadRiffKey(1, 0, 0, 0, JAM_LOCAL_PLAYER, (uint32_t)drums), 1);
    ASSERT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 1, 0, 0, 4, (uint32_t)bass), 1);
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 1, 0, 0, 0, (uint32_t)lead);
    JAMPLAYER &me = g_JamNet.aPlayers[JAM_LOCAL_PLAYER];
    me.aiPitch[2 + 4] = 48 << 8; // the pad plays the bass at C3

    StartRecording("jam.wav");
    auto callsFrom = [&](uint32_t from, uint32_t to, int32_t mode, bool muted) {
        std::vector<VoiceCall> out;
        for (const VoiceCall &c : calls)
            if (c.ms >= from && c.ms < to && c.mode == mode && c.muted == muted)
                out.push_back(c);
        return out;
    };

    // 0-600 ms: nothing on. The riff runs in step, silently.
    Play(600);
    EXPECT_FALSE(callsFrom(0, 600, 4, true).empty()) << "the riff runs while its key is off";
    EXPECT_TRUE(callsFrom(0, 600, 4, false).empty());

    // 600-1600: riff key 0 on; heard from its next step.
    me.auRiffKey[0] |= 1;
    Play(1000);
    const std::vector<VoiceCall> keyed = callsFrom(600, 1600, 4, false);
    ASSERT_FALSE(keyed.empty());
    EXPECT_LE(keyed.front().ms, 600u + 250u) << "within two steps and a frame";
    // 1600-2200: off again.
    me.auRiffKey[0] &= ~1u;
    Play(600);
    EXPECT_TRUE(callsFrom(1640, 2200, 4, false).empty());

    // 2200-6000: latched on; it keeps playing over two loops of the one-bar riff.
    me.auRiffLatch[0] |= 1;
    me.auRiffKey[0] |= 1;
    Play(3800);
    EXPECT_GE(callsFrom(2200, 6000, 4, false).size(), 16u);
    me.auRiffLatch[0] &= ~1u;
    me.auRiffKey[0] &= ~1u;
    Play(600); // 6000-6600

    // 6600-7100: pad 4 held: one note of the bass at its pitch, for as long as it is held.
    me.auPad[4] |= 1;
    Play(500);
    const std::vector<VoiceCall> padNotes = callsFrom(6600, 7100, 3, false);
    ASSERT_EQ(padNotes.size(), 1u);
    EXPECT_EQ(padNotes[0].instrument, bass);
    EXPECT_EQ(padNotes[0].pitch, 48);
    me.auPad[4] &= ~1u;
    Play(600); // 7100-7700

    // 7700-8500: keyboard 0, key 9 in octave 5 (A, 440 Hz); 8500-9300 the same key an octave lower.
    me.aKeyboard[0].uOctave = 5;
    me.aKeyboard[0].uHeld = 1u << 9;
    Play(800);
    me.aKeyboard[0].uHeld = 0;
    me.aKeyboard[0].uReleased = 1u << 9;
    Play(40);
    me.aKeyboard[0].uReleased = 0; // the network step clears what it has passed on
    me.aKeyboard[0].uOctave = 4;
    me.aKeyboard[0].uHeld = 1u << 9;
    Play(760);
    me.aKeyboard[0].uHeld = 0;
    const std::vector<VoiceCall> notes = callsFrom(7700, 9300, 3, false);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].pitch, 69);
    EXPECT_EQ(notes[1].pitch, 57);
    EXPECT_EQ(notes[0].instrument, lead);

    const std::vector<int16_t> x = Recorded();
    ASSERT_GE(x.size(), Frames(9300));
    if (const char *keep = std::getenv("TNV_JAM_WAV")) {
        std::ofstream out(keep, std::ios::binary);
        std::ifstream in(dir.File("jam.wav"), std::ios::binary);
        out << in.rdbuf();
    }
    EXPECT_LT(Loudness(x, 0, Frames(600)), 30) << "silent before any key";
    EXPECT_GT(Loudness(x, Frames(700), Frames(1600)), 300) << "the riff key";
    EXPECT_LT(Loudness(x, Frames(1700), Frames(2200)), 30) << "silent once off";
    EXPECT_GT(Loudness(x, Frames(2300), Frames(3900)), 300) << "latched, first bar";
    EXPECT_GT(Loudness(x, Frames(4200), Frames(5900)), 300) << "latched, second bar";
    EXPECT_GT(Loudness(x, Frames(6650), Frames(7050)), 300) << "the pad";
    EXPECT_GT(Loudness(x, Frames(7800), Frames(8400)), 300) << "the keyboard";
    EXPECT_NEAR(PitchOf(x, Frames(7900), 4410), 440.0, 12.0);
    EXPECT_NEAR(PitchOf(x, Frames(8700), 4410), 220.0, 6.0);

    Jam_EndSession(1);
    EXPECT_EQ(g_bJamSessionOn.load(), 0);
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
    EXPECT_EQ(g_pJamState, nullptr);
    const std::vector<uint8_t> after = SongImage();
    EXPECT_TRUE(after == before) << "the song image differs after the jam: " << before.size() << " bytes before, "
                                 << after.size() << " after";
}

} // namespace
} // namespace jamtest
