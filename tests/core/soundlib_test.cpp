#include "app/startup.h"
#include "audio/mixer.h"
#include "audio/reverb.h"
#include "audio/sampleslot.h"
#include "core/soundlib.h"

#include <gtest/gtest.h>

namespace {

class SoundLibTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(16), 0);
        ASSERT_GT(Snd_AllocSampleSlot(&slot), 0);
        ASSERT_EQ(Snd_AllocSampleData(slot, 1000, true), 0);
        slot->uRate = 44100;
        g_iKeyFrameCounter = 0;
    }
    void TearDown() override { Snd_ShutdownSampleEngine(); }

    void Prepare(int v) { Snd_StartVoice(&g_astVoices[v], slot, VOICE_PREPARED); }
    static bool Playing(int v) { return g_astVoices[v].uState & VOICE_ACTIVE; }

    SAMPLESLOT *slot = nullptr;
};

} // namespace

TEST_F(SoundLibTest, KeyOnStartsEveryPreparedVoice)
{
    Prepare(3);
    Prepare(40);
    Prepare(98);
    Sys_KeyVoices(1, 7); // the voice argument does not limit it
    for (int v = 0; v < SND_VOICE_COUNT; v++)
        EXPECT_EQ(Playing(v), v == 3 || v == 40 || v == 98) << v;
    EXPECT_FALSE(g_astVoices[3].uState & VOICE_PREPARED);

    Sys_KeyVoices(0, 40);
    EXPECT_FALSE(Playing(40));
    EXPECT_TRUE(Playing(3));
    // Voices out of range are ignored, not written.
    Sys_KeyVoices(0, 99);
    Sys_KeyVoices(0, -1);
    Sys_KeyVoices(0, 0xFFF);
    EXPECT_TRUE(Playing(3));

    Sys_KeyVoices(0, SYS_ALL_VOICES);
    for (int v = 0; v < SND_VOICE_COUNT; v++)
        EXPECT_EQ(g_astVoices[v].uState, 0u) << v;
    EXPECT_EQ(slot->auVoiceMask[0] | slot->auVoiceMask[1] | slot->auVoiceMask[2] | slot->auVoiceMask[3], 0u);
}

TEST_F(SoundLibTest, KeyCounterWrapsAt600)
{
    for (int i = 1; i < 600; i++) {
        Sys_KeyVoices(0, 5);
        ASSERT_EQ(g_iKeyFrameCounter.load(), i);
    }
    Sys_KeyVoices(1, 0);
    EXPECT_EQ(g_iKeyFrameCounter.load(), 0);
}

TEST_F(SoundLibTest, VolumesAndReverbSend)
{
    Prepare(5);
    EXPECT_EQ(Sys_SetVoiceVolume(5, 8000, 4000), 0);
    EXPECT_EQ(g_astVoices[5].aiRequestedVolume[0] + g_astVoices[5].aiRequestedVolume[1], 12000);
    EXPECT_EQ(Sys_SetVoiceVolume(99, 1, 1), -1);
    EXPECT_EQ(Sys_SetVoiceVolume(-1, 1, 1), -1);

    SOUNDATTR master{};
    master.iValue1 = 1000;
    master.iValue2 = 2000;
    const int32_t before[2] = {g_aiMasterVolume[0], g_aiMasterVolume[1]};
    EXPECT_EQ(Sys_SetVoiceAttributes(&master), 0); // no bit: nothing
    EXPECT_EQ(g_aiMasterVolume[0], before[0]);
    for (uint32_t mask : {1u, 2u}) {
        g_aiMasterVolume[0] = g_aiMasterVolume[1] = 0;
        master.uMask = mask;
        Sys_SetVoiceAttributes(&master);
        EXPECT_EQ(g_aiMasterVolume[0], 4000);
        EXPECT_EQ(g_aiMasterVolume[1], 8000);
    }
    EXPECT_EQ(Sys_SetVoiceAttributes(nullptr), -1);
    g_aiMasterVolume[0] = before[0];
    g_aiMasterVolume[1] = before[1];

    struct Case
    {
        int32_t on, voice;
        int first, last; // voices switched on afterwards
    };
    const Case cases[] = {
        {1, 7, 7, 7},         {1, 98, 98, 98},   {1, 99, -1, -1},   {1, 0xFFE, -1, -1},
        {1, 0xFFF, 0, 98},    {1, 0xFFFFFF, 0, 98},
    };
    for (const Case &c : cases) {
        Sys_SetVoiceReverb(0, SYS_ALL_VOICES);
        EXPECT_EQ(Sys_SetVoiceReverb(c.on, c.voice), 0);
        for (int v = 0; v < SND_VOICE_COUNT; v++)
            ASSERT_EQ(g_astVoices[v].uReverbSend, (uint32_t)(v >= c.first && v <= c.last && c.first >= 0))
                << c.voice << " " << v;
    }
    Sys_SetVoiceReverb(0, SYS_ALL_VOICES);
}

TEST_F(SoundLibTest, ReverbSettings)
{
    EXPECT_EQ(Sys_SetReverbEnable(1), 1);
    EXPECT_EQ(g_bReverbOn.load(), 1);
    EXPECT_EQ(Sys_SetReverbEnable(0), 0);
    EXPECT_EQ(g_bReverbOn.load(), 0);

    g_iReverbType = 2;
    g_bReverbChanged = 0;
    g_iReverbDepthLeft = g_iReverbDepthRight = 256;
    SOUNDATTR a{};
    a.iValue1 = 5;
    a.uDepthLeft = 1111;
    a.uDepthRight = 2222;
    a.uMask = 6; // both depths, no preset
    EXPECT_EQ(Sys_SetReverbAttributes(&a), 0);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 1111);
    EXPECT_EQ(g_iReverbDepthRight.load(), 2222);
    EXPECT_EQ(g_iReverbType.load(), 2);
    EXPECT_EQ(g_bReverbChanged.load(), 0);

    a.uMask = 1; // the preset only
    a.uDepthLeft = 7;
    EXPECT_EQ(Sys_SetReverbAttributes(&a), 0);
    EXPECT_EQ(g_iReverbType.load(), 5);
    EXPECT_EQ(g_bReverbChanged.load(), 1);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 1111);

    // A preset the stage does not have is refused and leaves the request as it was.
    g_bReverbChanged = 0;
    for (int16_t bad : {11, -1, 300}) {
        a.iValue1 = bad;
        EXPECT_EQ(Sys_SetReverbAttributes(&a), -1) << bad;
    }
    EXPECT_EQ(g_iReverbType.load(), 5);
    EXPECT_EQ(g_bReverbChanged.load(), 0);
    EXPECT_EQ(Sys_SetReverbAttributes(nullptr), -1);

    a.uMask = 4;
    a.uDepthRight = 40000; // 16-bit field read unsigned: above 32768 means unscaled
    EXPECT_EQ(Sys_SetReverbDepth(&a), 0);
    EXPECT_EQ(g_iReverbDepthRight.load(), 40000);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 1111);
    EXPECT_EQ(Sys_SetReverbDepth(nullptr), 0);
    g_iReverbAskedDepthLeft = g_iReverbAskedDepthRight = -1;
    g_bReverbChanged = 0;
}

TEST_F(SoundLibTest, MixSwitchesAndCallsWithNothingToDo)
{
    g_bAudioMixEnabled = 1;
    EXPECT_EQ(Sys_PauseAudioMix(0), g_iMixTimerMode);
    EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
    EXPECT_EQ(Sys_ResumeAudioMix(0), g_iMixTimerMode);
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1);
    g_bAudioMixEnabled = 0;

    int handler;
    EXPECT_EQ(Sys_SetSoundInterruptHandler(&handler), &handler);
    EXPECT_EQ(Sys_PollSoundState(3, 4), 1);
    const int32_t zeros[] = {
        Sys_SetSoundInterrupt(1), Sys_InitSound(),           Sys_ApplySoundAttributes(nullptr),
        Sys_PrepareSoundTransfer(), Sys_WaitSoundTransfer(0), Sys_SetSoundTransferMode(0),
        Sys_SetSoundTransferAddress(0x1000), Sys_WriteSoundMemory(&handler, 4),
        Sys_WriteSoundMemoryPart(&handler, 4, 2),
    };
    for (int32_t z : zeros)
        EXPECT_EQ(z, 0);
}
