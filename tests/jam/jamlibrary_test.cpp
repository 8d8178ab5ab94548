// Riff keys filled from the studio's own riff library (the built archive, no fakes): the riff is
// read from the archive, copied into the key's row, heard when the key is on, its instruments
// kept while the key holds it, and the song is whole again when the jam ends.
#include "jamfixture.h"

#include "core/archive.h"
#include "core/disc.h"
#include "jam/jamplay.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "tools/riffcontent.h"

#include <algorithm>
#include <string>

namespace jamtest {
namespace {

class JamLibrary : public JamStudio
{
protected:
    void SetUp() override
    {
        JamStudio::SetUp();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    }
    void TearDown() override
    {
        JamStudio::TearDown();
        Sys_WadFreeBuffers();
    }
    static int32_t InstrumentsInUse()
    {
        int32_t n = 0;
        for (int32_t s = 1; s <= 200; ++s)
            n += Seq_InstrumentSlotFree(s) ? 0 : 1;
        return n;
    }
};

TEST_F(JamLibrary, ARiffKeyFromTheLibraryPlaysAndTheSongComesBackWhole)
{
    ASSERT_GE(Content_RiffStyleCount(), 1);
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    const std::vector<uint8_t> before = SongImage();
    const int32_t riffsBefore = g_uRiffCount;
    const int32_t instrumentsBefore = InstrumentsInUse();

    Jam_StartSession();
    Ui_ClosePopup();
    Frame();
    ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    const JAMPLAYERROW &rows = g_aJamPlayerRows[JAM_LOCAL_PLAYER];
    JAMPLAYER &me = g_JamNet.aPlayers[JAM_LOCAL_PLAYER];

    const int32_t jamInstruments = InstrumentsInUse();
    // Style 1's drums onto F1, then the same riff again onto F2: each key gets its own row.
    Jam_AssignRiffFromLibrary(1, 1, 1, 0);
    const int32_t row = rows.aiRiffRow[0];
    ASSERT_GE(row, 0) << "the library riff did not reach the key";
    EXPECT_EQ(Jam_SlotWordOf(me.auRiffKey[0]), Jam_PackLibraryKey(1, 1, 1));
    EXPECT_STRNE(g_aszJamCaptions[3], "Empty");
    EXPECT_STRNE(g_aszJamCaptions[3], "");
    Jam_AssignRiffFromLibrary(1, 1, 1, 1);
    ASSERT_GE(rows.aiRiffRow[1], 0) << "the same library riff asked for twice";
    EXPECT_NE(rows.aiRiffRow[1], row);
    // The riff itself went back once copied: only the rows hold it.
    EXPECT_EQ(g_uRiffCount, riffsBefore);
    EXPECT_EQ(g_uLibraryRiff, 0);
    // Its instruments stay loaded while a key holds the riff.
    ASSERT_FALSE(rows.aRiffInstruments[0].empty());
    for (uint8_t slot : rows.aRiffInstruments[0])
        EXPECT_FALSE(Seq_InstrumentSlotFree(slot)) << (int)slot;

    StartRecording("library.wav");
    Play(500);
    me.auRiffKey[0] |= 1;
    Play(1500);
    std::vector<VoiceCall> heard;
    for (const VoiceCall &c : calls)
        if (c.mode == 4 && !c.muted)
            heard.push_back(c);
    ASSERT_FALSE(heard.empty());
    EXPECT_GE(heard.front().ms, 500u);
    const std::vector<int16_t> x = Recorded();
    ASSERT_GE(x.size(), Frames(2000));
    EXPECT_LT(Loudness(x, 0, Frames(500)), 30) << "silent before the key";
    EXPECT_GT(Loudness(x, Frames(700), Frames(2000)), 100) << "the library riff";

    // Emptying both keys frees the rows and gives the instruments back.
    Jam_AssignRiffFromLibrary(0, 0, 0, 0);
    Jam_AssignRiffFromLibrary(0, 0, 0, 1);
    EXPECT_EQ(rows.aiRiffRow[0], -1);
    EXPECT_EQ(rows.aiRiffRow[1], -1);
    EXPECT_STREQ(g_aszJamCaptions[3], "Empty");
    EXPECT_EQ(InstrumentsInUse(), jamInstruments);

    Jam_EndSession(1);
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
    EXPECT_TRUE(SongImage() == before) << "the song image differs after the jam";
    EXPECT_EQ(g_uRiffCount, riffsBefore);
    EXPECT_EQ(InstrumentsInUse(), instrumentsBefore);
}

// A pad and a keyboard filled with one library instrument share its slot, sound, and give it
// back when emptied.
TEST_F(JamLibrary, PadsAndKeyboardsFromTheInstrumentLibrary)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    const std::vector<uint8_t> before = SongImage();
    const int32_t instrumentsBefore = InstrumentsInUse();
    Jam_StartSession();
    Ui_ClosePopup();
    Frame();
    const JAMPLAYERROW &rows = g_aJamPlayerRows[JAM_LOCAL_PLAYER];
    JAMPLAYER &me = g_JamNet.aPlayers[JAM_LOCAL_PLAYER];

    Jam_AssignInstrumentFromLibrary(1, 1, 1, 4);
    Jam_AssignKeyboardFromLibrary(1, 1, 1, 0);
    const int32_t pad = rows.aiPadSlot[4];
    const int32_t key = rows.aiKeyboardSlot[9];
    ASSERT_GE(pad, 0) << "the library instrument did not reach the pad";
    ASSERT_GE(key, 0) << "the library instrument did not reach the keyboard";
    const int32_t instrument = g_pJamState->aucSlotInstrument[pad];
    EXPECT_EQ(g_pJamState->aucSlotInstrument[key], instrument);
    EXPECT_EQ(g_aInstrumentSlots[instrument].ucUseCount, 2);
    EXPECT_EQ(Jam_SlotWordOf(me.auPad[4]), Jam_PackLibraryKey(1, 1, 1));
    EXPECT_EQ(me.aKeyboard[0].uSlotWord, Jam_PackLibraryKey(1, 1, 1));

    StartRecording("instruments.wav");
    Play(300);
    me.auPad[4] |= 1;
    Play(400);
    me.auPad[4] &= ~1u;
    Play(300);
    me.aKeyboard[0].uHeld = 1u << 9;
    Play(400);
    me.aKeyboard[0].uHeld = 0;
    int32_t padNotes = 0, keyNotes = 0;
    for (const VoiceCall &c : calls)
        if (c.mode == 3 && !c.muted && c.instrument == instrument)
            (c.ms < 700 ? padNotes : keyNotes)++;
    EXPECT_EQ(padNotes, 1);
    EXPECT_EQ(keyNotes, 1);
    const std::vector<int16_t> x = Recorded();
    EXPECT_LT(Loudness(x, 0, Frames(300)), 30);
    EXPECT_GT(Loudness(x, Frames(320), Frames(600)), 100) << "the pad";
    EXPECT_GT(Loudness(x, Frames(1020), Frames(1300)), 100) << "the keyboard";

    Jam_AssignInstrumentFromLibrary(0, 0, 0, 4);
    EXPECT_EQ(g_aInstrumentSlots[instrument].ucUseCount, 1);
    Jam_AssignKeyboardFromLibrary(0, 0, 0, 0);
    EXPECT_EQ(rows.aiPadSlot[4], -1);
    EXPECT_EQ(rows.aiKeyboardSlot[9], -1);
    Jam_EndSession(1);
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
    EXPECT_TRUE(SongImage() == before);
    EXPECT_EQ(InstrumentsInUse(), instrumentsBefore);
}

// Hearing library riffs before choosing one (the audition row) keeps their instruments only while
// the riff is heard: one audition replacing another, and the last one cancelled, leave none behind.
TEST_F(JamLibrary, AuditionsOfLibraryRiffsGiveTheirInstrumentsBack)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    Jam_StartSession();
    Ui_ClosePopup();
    Frame();
    const int32_t before = InstrumentsInUse();
    const int32_t riffsBefore = g_uRiffCount;
    for (int32_t style = 1; style <= std::min(Content_RiffStyleCount(), 3); ++style)
        for (int32_t part = 1; part <= CONTENT_RIFF_PARTS; ++part) {
            SCOPED_TRACE(std::to_string(style) + "/" + std::to_string(part));
            ASSERT_GE(Jam_AddRiffSlot(style, part, 1, JAM_LOCAL_PLAYER, 0, 0), 0);
            Play(40);
        }
    EXPECT_GT(InstrumentsInUse(), before) << "the riff heard has its instruments";
    Jam_CancelPendingRiff();
    EXPECT_EQ(InstrumentsInUse(), before);
    EXPECT_EQ(g_uRiffCount, riffsBefore);
}

// A library riff that is not there leaves the key empty and the song's riffs as they were.
TEST_F(JamLibrary, AMissingLibraryRiffLeavesTheKeyEmpty)
{
    Jam_StartSession();
    Ui_ClosePopup();
    Frame();
    const int32_t riffsBefore = g_uRiffCount;
    Jam_AssignRiffFromLibrary(99, 1, 1, 0);
    EXPECT_EQ(g_aJamPlayerRows[JAM_LOCAL_PLAYER].aiRiffRow[0], -1);
    EXPECT_EQ(g_uRiffCount, riffsBefore);
}

} // namespace
} // namespace jamtest
