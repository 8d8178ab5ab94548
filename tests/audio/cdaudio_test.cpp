#include "app/devices.h"
#include "app/settings.h"
#include "app/startup.h"
#include "audio/capture.h"
#include "audio/cdaudio.h"
#include "audio/sampleslot.h"
#include "sequencer/samples.h"
#include "support/songdata.h"
#include "audio/wav.h"
#include "platform/audio_in.h"
#include "platform/cd.h"
#include "platform/clock.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// ---- a scripted drive: any table of contents, generated sound ----

PLATCDTOC s_toc;
int s_discState = PLAT_CDA_OK;
int s_reads = 0;

int16_t FakeSample(int64_t frame, int channel) { return (int16_t)((frame * 7 + channel * 1000) % 20000 - 10000); }

const PLATCDAUDIOOPS s_fakeDrive = {
    [] { return (int)PLAT_CDA_OK; },
    [] {},
    [] { return s_discState; },
    [](PLATCDTOC *toc) {
        if (s_discState != PLAT_CDA_OK)
            return s_discState;
        *toc = s_toc;
        return (int)PLAT_CDA_OK;
    },
    [](int32_t sector, int32_t count, void *buffer) {
        ++s_reads;
        if (s_discState != PLAT_CDA_OK)
            return s_discState;
        int16_t *out = (int16_t *)buffer;
        for (int64_t f = 0; f < (int64_t)count * PLAT_CDA_SECTOR_FRAMES; ++f)
            for (int c = 0; c < 2; ++c)
                out[f * 2 + c] = FakeSample((int64_t)sector * PLAT_CDA_SECTOR_FRAMES + f, c);
        return (int)PLAT_CDA_OK;
    },
    [] {
        s_discState = PLAT_CDA_DOOR_OPEN;
        return (int)PLAT_CDA_OK;
    },
};

// Tracks given as lengths in seconds, laid end to end from sector 0.
void SetDisc(std::vector<int> seconds)
{
    std::memset(&s_toc, 0, sizeof s_toc);
    int32_t at = 0;
    for (int s : seconds) {
        s_toc.aiStart[s_toc.iTrackCount] = at;
        s_toc.aiLength[s_toc.iTrackCount] = s * 75;
        at += s * 75;
        ++s_toc.iTrackCount;
    }
}

uint32_t Packed(int m, int s, int f) { return (uint32_t)m | (uint32_t)s << 8 | (uint32_t)f << 16; }

class CdDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_ManualClockSet(1000000);
        s_discState = PLAT_CDA_OK;
        s_reads = 0;
        SetDisc({60, 60, 120}); // tracks at 0:02, 1:02, 2:02; end 4:02
        Plat_CdAudioSetOps(&s_fakeDrive);
        ASSERT_EQ(Snd_CdOpenDevice(), 0);
    }
    void TearDown() override
    {
        Snd_CdCloseDevice();
        g_iCdState = CD_STATE_NONE;
        Plat_CdAudioSetOps(nullptr);
    }
};

} // namespace

TEST(CdNoDevice, EveryOperationDoesNothingAndSendsNothingToTheDrive)
{
    Plat_CdAudioSetOps(&s_fakeDrive);
    s_reads = 0;
    g_iCdState = CD_STATE_NONE;
    g_iCdDeviceId = -1;
    uint8_t result[4] = {9, 9, 9, 9};
    const uint8_t where[3] = {1, 0, 0};
    EXPECT_EQ(Snd_CdPlay(), 0);
    EXPECT_EQ(Snd_CdPlayFrom(1, 0, 0), 0);
    EXPECT_EQ(Snd_CdStop(), 0);
    EXPECT_EQ(Snd_CdPause(), 0);
    EXPECT_EQ(Snd_CdSeek(1, 0, 0), 0);
    EXPECT_EQ(Snd_CdEject(), 0);
    EXPECT_EQ(Snd_CdGetStatus(), 0);
    EXPECT_EQ(Snd_CdGetPosition(), 0);
    EXPECT_EQ(Snd_CdStepForward(), 0);
    EXPECT_EQ(Snd_CdStepBack(), 0);
    EXPECT_EQ(Snd_CdCommand(2, where, result), 0);
    EXPECT_EQ(Snd_CdPositionCommand(17, where, result), 0);
    EXPECT_EQ(result[1], 9);
    EXPECT_EQ(s_reads, 0);
    EXPECT_EQ(g_iCdState, CD_STATE_NONE);
    Plat_CdAudioSetOps(nullptr);
}

TEST(CdNoDevice, NoDriveLeavesStateOneForLineInAndFailsCdCallsClearly)
{
    // Headless with no virtual disc folder: no drive at all.
    unsetenv("TNV_CD_DIR");
    g_iCdDeviceId = -1;
    EXPECT_EQ(Snd_CdOpenDevice(), CDERR_NO_DEVICE);
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    EXPECT_EQ(g_iCdDeviceId, -1);
    EXPECT_EQ(Snd_CdPlay(), CDERR_NO_DEVICE);
    EXPECT_EQ(Snd_CdGetStatus(), CDERR_NO_DEVICE);
    EXPECT_EQ(Snd_CdGetTrackCount(), 0);
    EXPECT_STREQ(g_szCdErrorText, "There is no CD drive.");
    g_iCdState = CD_STATE_NONE;
}

TEST_F(CdDrive, TrackTableOfThreeTracksFillsEntriesOneToFour)
{
    CDTRACKENTRY table[CD_MAX_TRACKS + 2];
    std::memset(table, 0xEE, sizeof table);
    ASSERT_EQ(Snd_CdGetTrackTable(table), 3);
    struct { int m, s, f, n; } want[] = {{0, 2, 0, 1}, {1, 2, 0, 2}, {2, 2, 0, 3}, {4, 2, 0, 4}};
    for (int t = 1; t <= 4; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(table[t].bMinute, want[t - 1].m);
        EXPECT_EQ(table[t].bSecond, want[t - 1].s);
        EXPECT_EQ(table[t].bFrame, want[t - 1].f);
        EXPECT_EQ(table[t].bTrack, want[t - 1].n);
    }
    EXPECT_EQ(table[5].bTrack, 0xEE); // nothing written past the end entry
    EXPECT_EQ(g_auCdTrackLength[3], Packed(2, 0, 0));
    // Sums carry: 60 + 60 + 120 s is 4:00, not 1:240.
    EXPECT_EQ(g_uCdDiscEnd, Packed(4, 0, 0));
    EXPECT_EQ(Snd_CdReadTrackList(), (int)Packed(4, 2, 0));
}

TEST_F(CdDrive, TrackEndsCarrySecondsAndFrames)
{
    // 59.5 s and 70 frames of lengths: packed adds would give seconds past 59 and frames past 74.
    std::memset(&s_toc, 0, sizeof s_toc);
    s_toc.iTrackCount = 2;
    s_toc.aiStart[0] = 0;
    s_toc.aiLength[0] = 59 * 75 + 70;
    s_toc.aiStart[1] = 59 * 75 + 70;
    s_toc.aiLength[1] = 59 * 75 + 70;
    EXPECT_EQ(Snd_CdReadTrackList(), (int)Packed(2, 1, 65)); // 150 + 2 x 4495 sectors
    EXPECT_EQ(g_uCdDiscEnd, Packed(1, 59, 65));
}

TEST_F(CdDrive, StepsMoveFiveSecondsAcrossMinutesAndStayOnTheDisc)
{
    struct { int m, s, f; bool forward; uint32_t to; int track; } cases[] = {
        {1, 58, 10, true, Packed(2, 3, 10), 3},
        {2, 2, 20, false, Packed(1, 57, 20), 2},
        {0, 3, 0, false, Packed(0, 2, 0), 1},    // never before the first track
        {4, 0, 0, true, Packed(4, 1, 74), 3},    // never past the last sector
        {1, 0, 74, true, Packed(1, 5, 74), 2},   // 1:00:74 is in track 1; 5 s on is track 2
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.m << ":" << c.s << ":" << c.f << (c.forward ? " fwd" : " back"));
        ASSERT_EQ(Snd_CdSeek(c.m, c.s, c.f), 0);
        int track = c.forward ? Snd_CdStepForward() : Snd_CdStepBack();
        EXPECT_EQ((uint32_t)Snd_CdGetPosition(), c.to);
        EXPECT_EQ(track, c.track);
        EXPECT_EQ(Snd_CdGetStatus(), 0x02); // stepping while not playing leaves it paused
    }
}

TEST_F(CdDrive, CurrentTrackFollowsSectorsAtTheBoundaries)
{
    struct { int m, s, f, track; } cases[] = {{0, 2, 0, 1}, {1, 1, 74, 1}, {1, 2, 0, 2}, {2, 1, 74, 2}, {2, 2, 0, 3}, {4, 1, 74, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.track);
        ASSERT_EQ(Snd_CdSeek(c.m, c.s, c.f), 0);
        EXPECT_EQ(Snd_CdGetCurrentTrack(), c.track);
        EXPECT_EQ(g_iCdCurrentTrack, c.track);
    }
}

TEST_F(CdDrive, PlayPauseStopAndPlayFromFollowTheClock)
{
    EXPECT_EQ(Snd_CdGetStatus(), 0);
    // Play-from while stopped: paused at the new place.
    ASSERT_EQ(Snd_CdPlayFrom(1, 10, 0), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_PAUSED);
    EXPECT_EQ(Snd_CdGetStatus(), 0x02);
    Plat_ManualClockAdvance(3000000);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(1, 10, 0));

    ASSERT_EQ(Snd_CdPlay(), 0);
    EXPECT_EQ(Snd_CdGetStatus(), 0x80);
    Plat_ManualClockAdvance(2000000);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(1, 12, 0));

    // Play-from while playing keeps playing.
    ASSERT_EQ(Snd_CdPlayFrom(2, 30, 0), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_PLAYING);
    Plat_ManualClockAdvance(1000000);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(2, 31, 0));

    ASSERT_EQ(Snd_CdPause(), 0);
    Plat_ManualClockAdvance(1000000);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(2, 31, 0));
    ASSERT_EQ(Snd_CdStop(), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    EXPECT_EQ(Snd_CdGetStatus(), 0);

    // A play that reaches the end stops there.
    ASSERT_EQ(Snd_CdPlayFrom(4, 1, 0), 0);
    ASSERT_EQ(Snd_CdPlay(), 0);
    Plat_ManualClockAdvance(5000000);
    EXPECT_EQ(Snd_CdGetStatus(), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(4, 2, 0));
}

TEST_F(CdDrive, PositionsOffTheDiscAreRefusedAndNothingMoves)
{
    ASSERT_EQ(Snd_CdSeek(1, 0, 0), 0);
    struct { int m, s, f; } bad[] = {{0, 1, 74}, {4, 2, 0}, {99, 59, 74}, {1, 60, 0}, {1, 0, 75}, {-1, 0, 0}};
    for (const auto &b : bad) {
        EXPECT_EQ(Snd_CdPlayFrom(b.m, b.s, b.f), CDERR_BAD_POSITION);
        EXPECT_EQ(Snd_CdSeek(b.m, b.s, b.f), CDERR_BAD_POSITION);
    }
    EXPECT_STREQ(g_szCdErrorText, "That position is not on the disc.");
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(1, 0, 0));
}

TEST_F(CdDrive, ConsoleCommandsMapToThePlayer)
{
    uint8_t result[4] = {};
    const uint8_t at[3] = {1, 58, 10};
    EXPECT_EQ(Snd_CdCommand(2, at, nullptr), 0);
    EXPECT_EQ(Snd_CdCommand(1, nullptr, result), 0);
    EXPECT_EQ(result[0], 0x02);
    EXPECT_EQ(Snd_CdCommand(4, nullptr, nullptr), 3);
    EXPECT_EQ(Snd_CdCommand(5, nullptr, nullptr), 2);
    EXPECT_EQ(Snd_CdCommand(3, nullptr, nullptr), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_PLAYING);
    for (int nothing : {0, 6, 7, 10, 17, 255, -1})
        EXPECT_EQ(Snd_CdCommand(nothing, at, result), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_PLAYING);
    EXPECT_EQ(Snd_CdCommand(9, nullptr, nullptr), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_PAUSED);

    const uint8_t seek[3] = {2, 10, 5};
    EXPECT_EQ(Snd_CdPositionCommand(2, seek, nullptr), 0);
    EXPECT_EQ(Snd_CdPositionCommand(17, nullptr, result), 3);
    EXPECT_EQ(result[0], 3);
    EXPECT_EQ(result[1], 0);
    EXPECT_EQ(result[2], 2);
    EXPECT_EQ(result[3], 10);
    EXPECT_EQ(Snd_CdPositionCommand(5, seek, result), 0);
    EXPECT_EQ(Snd_CdCommand(8, nullptr, nullptr), 0);
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    // The data-disc side of the interface finds nothing.
    EXPECT_EQ(Snd_CdIdentifyDisc(), 0);
    EXPECT_EQ(Snd_CdFindFile(nullptr, "X.STR"), 0);
    EXPECT_EQ(Snd_CdCheckReady(0), 0);
}

TEST_F(CdDrive, DamagedTablesOfContentsAreRefused)
{
    struct { const char *what; int count; int32_t start[3]; int32_t length[3]; } cases[] = {
        {"no tracks", 0, {}, {}},
        {"too many", 100, {0}, {75}},
        {"empty track", 2, {0, 75}, {75, 0}},
        {"negative start", 1, {-5}, {75}},
        {"overlap", 2, {0, 50}, {75, 75}},
        {"past 100 minutes", 1, {0}, {100 * 4500}},
        {"huge", 2, {0, 0x7FFFFFF0}, {75, 0x7FFFFFF0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(&s_toc, 0, sizeof s_toc);
        s_toc.iTrackCount = c.count;
        for (int n = 0; n < 3; ++n) {
            s_toc.aiStart[n] = c.start[n];
            s_toc.aiLength[n] = c.length[n];
        }
        CDTRACKENTRY table[CD_MAX_TRACKS + 2];
        EXPECT_EQ(Snd_CdReadTrackList(), CDERR_BAD_TOC);
        EXPECT_EQ(Snd_CdGetTrackTable(table), 0);
        EXPECT_EQ(Snd_CdPlay(), CDERR_BAD_TOC);
        EXPECT_EQ(Snd_CdGetStatus(), 0x02);
    }
}

TEST_F(CdDrive, DoorAndMissingDiscShowInTheStatus)
{
    ASSERT_EQ(Snd_CdPlayFrom(1, 0, 0), 0);
    ASSERT_EQ(Snd_CdPlay(), 0);
    s_discState = PLAT_CDA_NO_DISC;
    EXPECT_EQ(Snd_CdGetStatus(), 0x02);
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    EXPECT_EQ(Snd_CdPlay(), CDERR_NO_DISC);
    EXPECT_EQ(Snd_CdGetPosition(), CDERR_NO_DISC);
    EXPECT_STREQ(g_szCdErrorText, "There is no disc in the CD drive.");
    s_discState = PLAT_CDA_OK;
    EXPECT_EQ(Snd_CdGetTrackCount(), 3);
    EXPECT_EQ(Snd_CdEject(), 0);
    EXPECT_EQ(Snd_CdGetStatus(), 0x10);
}

// ---- the virtual disc of WAV tracks ----

namespace {

void WriteWav(const std::string &path, int rate, int channels, int frames, int seed)
{
    std::vector<int16_t> data((size_t)frames * channels);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (int16_t)((int)(i * 31 + seed * 5000) % 30000 - 15000);
    ASSERT_EQ(Snd_WavOpenWrite(path.c_str(), rate, channels), 0);
    ASSERT_EQ(Snd_WavWrite(data.data(), frames), 0);
    ASSERT_EQ(Snd_WavCloseWrite((uint32_t)frames), 0);
}

class VirtualDisc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_ManualClockSet(1000000);
        m_disc = m_dir.File("disc");
        std::filesystem::create_directories(m_disc);
        WriteWav(m_disc + "/track01.wav", 44100, 2, 44100, 1);       // 1 s
        WriteWav(m_disc + "/track02.wav", 44100, 2, 3 * 44100, 2);   // 3 s
        WriteWav(m_disc + "/track03.wav", 22050, 1, 11025, 3);       // 0.5 s, mono, half rate
        setenv("TNV_CD_DIR", m_disc.c_str(), 1);
        std::snprintf(g_szBaseDir, sizeof g_szBaseDir, "%s/", m_dir.Path().c_str());
        ASSERT_EQ(Snd_AllocSampleTable(16), 0);
        g_bAudioMixEnabled = 1;
        g_iCdDeviceId = -1;
        ASSERT_EQ(Snd_CdOpenDevice(), 0);
    }
    void TearDown() override
    {
        Snd_CdStopSampling();
        Snd_CdCloseDevice();
        g_iCdState = CD_STATE_NONE;
        Snd_FreeSampleTable();
        ClearSongData();
        unsetenv("TNV_CD_DIR");
        g_szBaseDir[0] = 0;
        g_bAudioMixEnabled = 0;
    }
    // The disc's stereo frames of track (as written) from frame first.
    std::vector<int16_t> TrackFrames(int track)
    {
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        char name[32];
        std::snprintf(name, sizeof name, "/track%02d.wav", track);
        EXPECT_EQ(Snd_WavOpenRead((m_disc + name).c_str()), 0);
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        std::vector<int16_t> out;
        for (int i = 0; i < frames; ++i) {
            out.push_back(l[i]);
            out.push_back(r ? r[i] : l[i]);
        }
        free(l);
        free(r);
        return out;
    }

    TempDir m_dir;
    std::string m_disc;
};

} // namespace

TEST_F(VirtualDisc, TracksOfWavFilesMakeTheTableAndPlayThroughTheMix)
{
    CDTRACKENTRY table[CD_MAX_TRACKS + 2];
    ASSERT_EQ(Snd_CdGetTrackTable(table), 3);
    // 1 s = 75 sectors; 3 s = 225; 0.5 s at 22050 Hz mono = 22050 frames at 44100 -> 37.5, so 38.
    EXPECT_EQ(g_auCdTrackStart[2], Packed(0, 3, 0));
    EXPECT_EQ(g_auCdTrackStart[3], Packed(0, 6, 0));
    EXPECT_EQ(g_auCdTrackStart[4], Packed(0, 6, 38));

    // Play track 2 from 0:04:00, one second into it: the mix hears the WAV's frames from there.
    ASSERT_EQ(Snd_CdPlayFrom(0, 4, 0), 0);
    ASSERT_EQ(Snd_CdPlay(), 0);
    std::vector<int16_t> block(72 * 2, 0);
    Snd_CdMixInto(block.data(), 72);
    std::vector<int16_t> want = TrackFrames(2);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), want.begin() + 44100 * 2));
    Snd_CdMixInto(block.data(), 0); // nothing asked, nothing done
    Plat_ManualClockAdvance(500000);
    EXPECT_EQ((uint32_t)Snd_CdGetPosition(), Packed(0, 4, 37));
    EXPECT_EQ(Snd_CdGetCurrentTrack(), 2);

    // Paused: the mix adds nothing.
    ASSERT_EQ(Snd_CdPause(), 0);
    std::vector<int16_t> silent(72 * 2, 0);
    Snd_CdMixInto(silent.data(), 72);
    EXPECT_EQ(silent, std::vector<int16_t>(72 * 2, 0));
}

TEST_F(VirtualDisc, SamplingARangeOfATrackMakesASampleOfExactlyThoseFrames)
{
    struct { int code, rate, step; } cases[] = {{2, 44100, 1}, {1, 22050, 2}, {0, 11025, 4}};
    std::vector<int16_t> track = TrackFrames(2);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        // From half a second into track 2, for one second.
        ASSERT_EQ(Snd_CdPlayFrom(0, 3, 37), 0);
        ASSERT_EQ(Snd_CdPlay(), 0);
        ASSERT_EQ(Snd_CdStartSampling(c.code), 0);
        EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
        Plat_ManualClockAdvance(1000000);
        int instrument = Snd_CdStopSampling();
        ASSERT_GE(instrument, 1);
        ASSERT_LT(instrument, SEQ_NO_INSTRUMENT);
        EXPECT_EQ(g_bAudioMixEnabled.load(), 1);
        EXPECT_EQ(g_iCdSampleRate, c.rate);
        SAMPLESLOT *s = nullptr;
        Snd_FindSampleById(&s, (uint32_t)g_aInstrumentSlots[instrument].iSampleId);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->uRate, (uint32_t)c.rate);
        EXPECT_EQ(s->uFrames, (uint32_t)c.rate);
        EXPECT_EQ(s->uBytes, (uint32_t)c.rate * 2);
        EXPECT_EQ(std::filesystem::file_size(m_dir.File(PCMRECORDING)), (uintmax_t)c.rate * 2);
        // 37 sectors into the track, the mean of each group of mono frames.
        const int16_t *left = (const int16_t *)s->pStart; // widened: left, right pairs
        for (int k : {0, 1, c.rate / 2, c.rate - 1}) {
            int64_t sum = 0;
            for (int j = 0; j < c.step; ++j) {
                size_t f = (size_t)(37 * 588 + k * c.step + j);
                sum += (track[2 * f] + track[2 * f + 1]) >> 1;
            }
            EXPECT_EQ(left[2 * k], (int16_t)(sum / c.step)) << k;
        }
        Snd_FreeSample(s);
        ASSERT_EQ(Snd_CdStop(), 0);
    }
}

TEST_F(VirtualDisc, ADiscTakenOutMidReadFailsClearlyAndKeepsTheOldRecording)
{
    WriteTextFile(m_dir.File(PCMRECORDING), "old");
    ASSERT_EQ(Snd_CdPlayFrom(0, 2, 10), 0);
    ASSERT_EQ(Snd_CdPlay(), 0);
    ASSERT_EQ(Snd_CdStartSampling(2), 0);
    Plat_ManualClockAdvance(1000000);
    std::filesystem::remove_all(m_disc);
    EXPECT_EQ(Snd_CdStopSampling(), -1);
    EXPECT_EQ(g_iCdLastError, CDERR_NO_DISC);
    EXPECT_EQ(ReadTextFile(m_dir.File(PCMRECORDING)), "old");
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1); // the mix comes back even so

    // The mix stops hearing it, and the status says not ready.
    std::vector<int16_t> block(72 * 2, 0);
    Snd_CdMixInto(block.data(), 72);
    EXPECT_EQ(block, std::vector<int16_t>(72 * 2, 0));
    EXPECT_EQ(Snd_CdGetStatus(), 0x02);
    EXPECT_EQ(g_iCdState, CD_STATE_STOPPED);
    EXPECT_EQ(Snd_CdPlay(), CDERR_NO_DISC);
    EXPECT_EQ(Snd_CdGetTrackCount(), 0);
}

TEST_F(VirtualDisc, TrackListEndsAtAMissingOrBrokenTrackAndNoDiscIsClear)
{
    struct { const char *what; const char *remove; const char *garbage; int tracks; } cases[] = {
        {"gap", "/track02.wav", nullptr, 1},
        {"broken third", nullptr, "/track03.wav", 2},
        {"no first track", "/track01.wav", nullptr, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp(); // a fresh disc each time
        if (c.remove)
            std::filesystem::remove(m_disc + c.remove);
        if (c.garbage)
            WriteTextFile(m_disc + c.garbage, "RIFF\x10\0\0\0WAVEjunk");
        EXPECT_EQ(Snd_CdReadTrackList() > 0 ? g_iCdTrackCount : 0, c.tracks);
        if (c.tracks == 0) {
            EXPECT_EQ(Snd_CdReadTrackList(), CDERR_NO_DISC);
            EXPECT_EQ(Snd_CdPlayFrom(0, 2, 0), CDERR_NO_DISC);
        } else {
            // A track past the last is not on the disc.
            int32_t end = (int32_t)g_auCdTrackStart[c.tracks + 1];
            EXPECT_EQ(Snd_CdPlayFrom(end & 0xFF, end >> 8 & 0xFF, end >> 16 & 0xFF), CDERR_BAD_POSITION);
        }
        TearDown();
    }
}

TEST_F(VirtualDisc, LineInSamplingWithoutADiscRecordsTheInput)
{
    // The recorder's way: state 1 without a playing disc records the sound input.
    ASSERT_EQ(Sys_OpenAudioOutput(0), 0);
    g_iAudioInDevice = 0;
    ASSERT_EQ(Snd_EnumInputDevices(), 0);
    ASSERT_EQ(Snd_CdStartSampling(1), 0);
    EXPECT_EQ(g_bRecording.load(), 1);
    EXPECT_EQ(Snd_CdStartSampling(1), -1); // one at a time
    Plat_ManualClockAdvance(250000);
    int instrument = Snd_CdStopSampling();
    ASSERT_GE(instrument, 1);
    ASSERT_LT(instrument, SEQ_NO_INSTRUMENT);
    SAMPLESLOT *s = nullptr;
    Snd_FindSampleById(&s, (uint32_t)g_aInstrumentSlots[instrument].iSampleId);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->uRate, 22050u);
    EXPECT_EQ((int32_t)s->uFrames * 2, g_iRecordedBytes.load());
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1);
    EXPECT_EQ(Snd_CdStopSampling(), -1); // nothing running

    // A recording that cannot start gives the mix back instead of leaving it paused.
    Plat_AudioInHeadlessFailOpen(true);
    EXPECT_EQ(Snd_CdStartSampling(2), -1);
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1);
    EXPECT_EQ(g_bRecording.load(), 0);
    EXPECT_EQ(Snd_CdStopSampling(), -1);
    Plat_AudioInHeadlessFailOpen(false);
    Sys_CloseAudioOutput();
}
