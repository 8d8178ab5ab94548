#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "platform/audio_out.h"
#include "platform/clock.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// 72 frames whose left and right words name the block and the frame.
std::vector<int16_t> Block(int tag)
{
    std::vector<int16_t> b(SND_STREAM_BLOCK_FRAMES * 2);
    for (int i = 0; i < SND_STREAM_BLOCK_FRAMES; ++i) {
        b[i * 2] = static_cast<int16_t>(tag * 100 + i + 1);
        b[i * 2 + 1] = static_cast<int16_t>(-(tag * 100 + i + 1));
    }
    return b;
}

int Write(const std::vector<int16_t> &b)
{
    return Snd_WriteStreamBlock(b.data(), SND_STREAM_BLOCK_BYTES, 0);
}

// Frames for the clock to advance by: 72 frames are 1632.65 us.
constexpr uint64_t kBlockUs = 1633;

class SoundOut : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_AudioOutSetQueueFrames(PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
        Snd_EnumOutputDevices(nullptr);
    }
    void TearDown() override
    {
        Snd_ClearStreamBuffer();
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
    }
    void Bring(int device = 0)
    {
        ASSERT_EQ(Snd_OpenOutputDevice(nullptr, device), 0);
        ASSERT_EQ(Snd_CreateStreamBuffer(), 0);
    }
};

} // namespace

TEST_F(SoundOut, NoStreamRefusesWrites)
{
    auto b = Block(1);
    EXPECT_EQ(Write(b), -1);
    EXPECT_EQ(Snd_CreateStreamBuffer(), -1);
    EXPECT_EQ(Write(b), -1);
    ASSERT_EQ(Snd_OpenOutputDevice(nullptr, 0), 0);
    EXPECT_EQ(Write(b), -1); // device open, stream not created
    ASSERT_EQ(Snd_CreateStreamBuffer(), 0);
    EXPECT_EQ(Write(b), 0);
    EXPECT_EQ(Snd_WriteStreamBlock(nullptr, SND_STREAM_BLOCK_BYTES, 0), -1);
    EXPECT_EQ(Snd_WriteStreamBlock(b.data(), 3, 0), -1);
    Snd_ReleaseStreamBuffer();
    EXPECT_EQ(Write(b), -1);
}

TEST_F(SoundOut, DeviceListAndFallbackToDefault)
{
    ASSERT_GE(Snd_GetOutputDeviceCount(), 2);
    EXPECT_STREQ(Snd_GetOutputDeviceName(0), "Default device : headless");
    EXPECT_STREQ(Snd_GetOutputDeviceName(-1), "");
    EXPECT_STREQ(Snd_GetOutputDeviceName(SND_MAX_OUTPUT_DEVICES), "");
    // A stored device number that is no longer listed opens the default.
    for (int device : {1, 7, -3, 1000}) {
        SCOPED_TRACE(device);
        ASSERT_EQ(Snd_OpenOutputDevice(nullptr, device), 0);
        EXPECT_EQ(Snd_CloseOutputDevice(), 1);
    }
    EXPECT_STREQ(g_szSoundStatusText, "Buffer Format:> Channels:2 Rate:44100 Bits:16");
}

TEST_F(SoundOut, QueueHoldsEightBlocksThenOneAsEachPlays)
{
    Bring();
    int pos0 = g_iStreamWritePos;
    auto b = Block(1);
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(Write(b), 0) << i;
    EXPECT_EQ(Write(b), -1);
    EXPECT_EQ(g_iStreamWritePos, (pos0 + 8 * SND_STREAM_BLOCK_BYTES) % g_iStreamBufferBytes);
    Plat_ManualClockAdvance(kBlockUs);
    EXPECT_EQ(Write(b), 0);
    EXPECT_EQ(Write(b), -1);
    // The depth is configurable.
    Plat_AudioOutSetQueueFrames(10 * SND_STREAM_BLOCK_FRAMES);
    EXPECT_EQ(Write(b), 0);
    EXPECT_EQ(Write(b), 0);
    EXPECT_EQ(Write(b), -1);
    // Clearing empties the queue.
    Snd_ClearStreamBuffer();
    EXPECT_EQ(Plat_AudioOutQueuedFrames(), 0);
}

TEST_F(SoundOut, WritePositionWrapsAfterThirtyTwoBlocks)
{
    Bring();
    auto b = Block(1);
    g_iStreamWritePos = 31 * SND_STREAM_BLOCK_BYTES;
    ASSERT_EQ(Write(b), 0);
    EXPECT_EQ(g_iStreamWritePos, 0);
}

TEST_F(SoundOut, ClockPlaysFortyFourPointOneFramesAMillisecond)
{
    const struct
    {
        std::vector<uint64_t> stepsUs;
        uint64_t frames;
    } cases[] = {
        {{1000}, 44},
        {{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000}, 441},
        {{500, 500, 500}, 66},
        {{kBlockUs}, 72},
        {{1000000}, 44100},
    };
    for (const auto &c : cases) {
        Bring();
        uint64_t start = Plat_AudioOutPlayedFrames();
        for (uint64_t us : c.stepsUs) {
            Plat_ManualClockAdvance(us);
            Plat_AudioOutQueuedFrames(); // each look at the device plays what is due
        }
        EXPECT_EQ(Plat_AudioOutPlayedFrames() - start, c.frames);
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
    }
}

TEST_F(SoundOut, DumpHoldsBlocksAtTheirPlayFrameAndSilenceAfter)
{
    TempDir dir;
    std::string dump = dir.File("played.wav");
    setenv("TNV_AUDIO_DUMP", dump.c_str(), 1);
    Bring();
    // 10 ms of silence first: 441 frames.
    Plat_ManualClockAdvance(10000);
    auto b1 = Block(1), b2 = Block(2);
    ASSERT_EQ(Write(b1), 0);
    ASSERT_EQ(Write(b2), 0);
    // Stopped time plays nothing.
    Plat_ManualClockAdvance(10000);
    Plat_AudioOutStop();
    Plat_ManualClockAdvance(50000);
    Plat_AudioOutStart();
    Plat_ManualClockAdvance(10000);
    Snd_ReleaseStreamBuffer();
    Snd_CloseOutputDevice();

    ASSERT_EQ(Snd_WavOpenRead(dump.c_str()), 0);
    int16_t *l = nullptr, *r = nullptr;
    int frames = 0, rate = 0;
    ASSERT_EQ(Snd_WavReadData(&l, &r, &frames, &rate), 0);
    Snd_WavCloseRead();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(frames, 1323); // 30 ms of play
    std::vector<int16_t> left(l, l + frames), right(r, r + frames);
    std::free(l);
    std::free(r);
    for (int i = 0; i < frames; ++i) {
        int16_t wl = 0, wr = 0;
        if (i >= 441 && i < 441 + 144) {
            int blk = (i - 441) / 72 + 1, f = (i - 441) % 72;
            wl = static_cast<int16_t>(blk * 100 + f + 1);
            wr = static_cast<int16_t>(-wl);
        }
        ASSERT_EQ(left[i], wl) << i;
        ASSERT_EQ(right[i], wr) << i;
    }
}

// The whole path: a voice keyed on is mixed, queued behind what is already waiting, and played
// at the frame where that queue ends.
TEST_F(SoundOut, KeyedVoiceIsHeardWhereTheQueueEnds)
{
    TempDir dir;
    std::string dump = dir.File("voice.wav");
    setenv("TNV_AUDIO_DUMP", dump.c_str(), 1);
    ASSERT_EQ(Snd_InitSampleEngine(256), 0);
    int16_t out[SND_STREAM_BLOCK_FRAMES * 2] = {};
    float rate = 44100.0f, seconds = 0.0016666667f;
    ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
    ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
    ASSERT_EQ(g_iMixFrames, SND_STREAM_BLOCK_FRAMES);
    Snd_SetMixParam(16, out);
    g_bReverbOn = 0;
    Snd_SetMasterVolume(0x4000, 0x4000);

    // Two blocks of a constant stereo sample at 44100 Hz.
    SAMPLESLOT *pSlot = nullptr;
    ASSERT_GT(Snd_AllocSampleSlot(&pSlot), 0);
    ASSERT_EQ(Snd_AllocSampleData(pSlot, 2 * SND_STREAM_BLOCK_FRAMES, true), 0);
    int16_t *data = reinterpret_cast<int16_t *>(pSlot->pData);
    for (int i = 0; i < 4 * SND_STREAM_BLOCK_FRAMES; ++i)
        data[i] = 8000;
    pSlot->uRate = 44100;

    Bring();
    // Eight blocks of silence already wait: 576 frames.
    while (Write(std::vector<int16_t>(out, out + SND_STREAM_BLOCK_FRAMES * 2)) == 0) {
    }
    VOICE *pVoice = &g_astVoices[0];
    Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
    Snd_SetVoicePitch(pVoice, 44100);
    Snd_SetVoiceVolume(pVoice, 16384, 16384);
    Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
    std::memset(out, 0, sizeof out);
    ASSERT_EQ(Snd_MixBlock(), 0);
    // The 1 ms mix tick: offer the mixed block, mix the next once it was taken.
    for (int tick = 0; tick < 30; ++tick) {
        Plat_ManualClockAdvance(1000);
        if (Snd_WriteStreamBlock(out, SND_STREAM_BLOCK_BYTES, 0) == 0) {
            std::memset(out, 0, sizeof out);
            ASSERT_EQ(Snd_MixBlock(), 0);
        }
    }
    Snd_ReleaseStreamBuffer();
    Snd_CloseOutputDevice();
    Snd_FreeSample(pSlot);
    Snd_ShutdownSampleEngine();
    g_pMixOut = nullptr;

    ASSERT_EQ(Snd_WavOpenRead(dump.c_str()), 0);
    int16_t *l = nullptr, *r = nullptr;
    int frames = 0, wavRate = 0;
    ASSERT_EQ(Snd_WavReadData(&l, &r, &frames, &wavRate), 0);
    Snd_WavCloseRead();
    std::vector<int16_t> left(l, l + frames), right(r, r + frames);
    std::free(l);
    std::free(r);
    ASSERT_EQ(frames, 1323);
    const int first = 8 * SND_STREAM_BLOCK_FRAMES;
    for (int i = 0; i < first; ++i)
        ASSERT_EQ(left[i], 0) << i;
    for (int i = first; i < first + SND_STREAM_BLOCK_FRAMES; ++i) {
        ASSERT_EQ(left[i], 8000) << i;
        ASSERT_EQ(right[i], 8000) << i;
    }
    for (int i = first + 2 * SND_STREAM_BLOCK_FRAMES; i < frames; ++i)
        ASSERT_EQ(left[i], 0) << i;
}
