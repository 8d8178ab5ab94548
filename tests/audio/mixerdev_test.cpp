#include "audio/mixerdev.h"
#include "platform/mixer_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Lines of the headless mixer (platform/mixer_device.h).
enum
{
    PLAYBACK = 0,
    RECORDING = 1,
    MASTER = 0,
    MIC = 1,
    MUTE = 2,
    EMPTY = 3,
    CAPTURE = 0,
    SOURCE = 1,
};

class MixerDev : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_MixerHeadlessFailOpen(false);
        ASSERT_EQ(Snd_EnumMixerDevices(), 0);
        ASSERT_EQ(Snd_OpenMixer(0), 0);
    }
    void TearDown() override
    {
        Snd_CloseMixer();
        Plat_MixerHeadlessFailOpen(false);
    }
    int64_t Raw(int d, int s, int channel = 0)
    {
        int64_t v[2] = {-999, -999};
        EXPECT_EQ(Plat_MixerGet(d, s, v, 2), 0);
        return v[channel];
    }
};

} // namespace

TEST(MixerLevels, RawValuesAndLevelsConvertTruncated)
{
    struct Case
    {
        int64_t minimum, maximum, raw;
        int level;
    };
    const Case toLevel[] = {
        {0, 65535, 32768, 127}, {0, 65535, 65535, 255}, {0, 65535, 0, 0},   {0, 65535, 257, 1},
        {0, 65535, 256, 0},     {-10, 21, -10, 0},      {-10, 21, 21, 255}, {-10, 21, 5, 123},
        {0, 65535, 70000, 255}, {0, 65535, -3, 0},      {5, 5, 5, 0},       {9, 3, 4, 0},
    };
    for (const Case &c : toLevel) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " raw " << c.raw);
        EXPECT_EQ(Snd_MixerRawToLevel(c.raw, c.minimum, c.maximum), c.level);
    }
    const Case toRaw[] = {
        {0, 65535, 65535, 255}, {0, 65535, 0, 0},   {0, 65535, 32896, 128}, {-10, 21, 5, 128},
        {-10, 21, -10, 0},      {-10, 21, 21, 255}, {0, 65535, 65535, 300}, {0, 65535, 0, -4},
        {0, 100, 99, 254},      {7, 7, 7, 200},
    };
    for (const Case &c : toRaw) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " level " << c.level);
        EXPECT_EQ(Snd_MixerLevelToRaw(c.level, c.minimum, c.maximum), c.raw);
    }
}

TEST_F(MixerDev, LinesAndNamesOfTheOpenMixer)
{
    EXPECT_EQ(Snd_GetMixerLineCount(), 2);
    EXPECT_EQ(Snd_GetMixerControlCount(PLAYBACK), 4);
    EXPECT_EQ(Snd_GetMixerControlCount(RECORDING), 2);
    char name[SND_MIXER_NAME_BYTES];
    ASSERT_EQ(Snd_GetMixerLineName(RECORDING, name), 0);
    EXPECT_STREQ(name, "Recording");
    ASSERT_EQ(Snd_GetMixerControlName(PLAYBACK, MASTER, name), 0);
    EXPECT_STREQ(name, "Master Volume");
    // A line without a control has no control name.
    EXPECT_EQ(Snd_GetMixerControlName(PLAYBACK, EMPTY, name), -1);
    EXPECT_STREQ(name, "");
    for (int bad : {-1, 2, 1000}) {
        EXPECT_EQ(Snd_GetMixerControlCount(bad), 0);
        EXPECT_EQ(Snd_GetMixerLineName(bad, name), -1);
        EXPECT_EQ(Snd_GetMixerControlName(bad, MASTER, name), -1);
    }
    for (int bad : {-1, 4, 1000})
        EXPECT_EQ(Snd_GetMixerControlName(PLAYBACK, bad, name), -1);
}

TEST_F(MixerDev, FadersReadAndSetLeftAndRight)
{
    int l = -1, r = -1;
    ASSERT_EQ(Snd_SetMixerControlValue(PLAYBACK, MASTER, 255, 128), 0);
    EXPECT_EQ(Raw(PLAYBACK, MASTER, 0), 65535);
    EXPECT_EQ(Raw(PLAYBACK, MASTER, 1), 32896);
    ASSERT_EQ(Snd_GetMixerControlValue(PLAYBACK, MASTER, &l, &r), 0);
    EXPECT_EQ(l, 255);
    EXPECT_EQ(r, 128);

    // 32768 of 0..65535 reads 127.
    const int64_t half[2] = {32768, 0};
    ASSERT_EQ(Plat_MixerSet(PLAYBACK, MASTER, half, 2), 0);
    ASSERT_EQ(Snd_GetMixerControlValue(PLAYBACK, MASTER, &l, &r), 0);
    EXPECT_EQ(l, 127);
    EXPECT_EQ(r, 0);

    // A range that does not start at 0 is measured from its minimum.
    ASSERT_EQ(Snd_SetMixerControlValue(RECORDING, CAPTURE, 128, 0), 0);
    EXPECT_EQ(Raw(RECORDING, CAPTURE, 0), 5);
    EXPECT_EQ(Raw(RECORDING, CAPTURE, 1), -10);
    ASSERT_EQ(Snd_GetMixerControlValue(RECORDING, CAPTURE, &l, &r), 0);
    EXPECT_EQ(l, 123);
    EXPECT_EQ(r, 0);

    // Levels out of range are clamped, never wrapped.
    ASSERT_EQ(Snd_SetMixerControlValue(RECORDING, CAPTURE, 1000, -50), 0);
    EXPECT_EQ(Raw(RECORDING, CAPTURE, 0), 21);
    EXPECT_EQ(Raw(RECORDING, CAPTURE, 1), -10);
}

TEST_F(MixerDev, MonoLineUsesLeftOnly)
{
    ASSERT_EQ(Snd_SetMixerControlValue(PLAYBACK, MIC, 51, 200), 0);
    int64_t v = 0;
    ASSERT_EQ(Plat_MixerGet(PLAYBACK, MIC, &v, 1), 0);
    EXPECT_EQ(v, 51 * 257);
    int l = -1, r = -1;
    ASSERT_EQ(Snd_GetMixerControlValue(PLAYBACK, MIC, &l, &r), 0);
    EXPECT_EQ(l, 51);
    EXPECT_EQ(r, 0);
}

TEST_F(MixerDev, SwitchCustomAndEmptyLinesHaveNoLevel)
{
    const int64_t on = 1;
    ASSERT_EQ(Plat_MixerSet(PLAYBACK, MUTE, &on, 1), 0);
    struct Case
    {
        int d, s;
    };
    for (Case c : {Case{PLAYBACK, MUTE}, Case{RECORDING, SOURCE}, Case{PLAYBACK, EMPTY}}) {
        SCOPED_TRACE(c.s);
        int l = -7, r = -7;
        EXPECT_EQ(Snd_GetMixerControlValue(c.d, c.s, &l, &r), 0);
        EXPECT_EQ(l, -7);
        EXPECT_EQ(r, -7);
        EXPECT_EQ(Snd_SetMixerControlValue(c.d, c.s, 0, 0), 0);
    }
    // The switch was not changed by the set.
    int64_t v = 0;
    ASSERT_EQ(Plat_MixerGet(PLAYBACK, MUTE, &v, 1), 0);
    EXPECT_EQ(v, 1);
}

TEST_F(MixerDev, ClosedOrFailedMixerHasNoLinesAndRefusesLevels)
{
    int l = -7, r = -7;
    EXPECT_EQ(Snd_GetMixerControlValue(PLAYBACK, 9, &l, &r), -1);
    EXPECT_EQ(Snd_SetMixerControlValue(-1, 0, 1, 1), -1);

    Plat_MixerHeadlessFailOpen(true);
    EXPECT_EQ(Snd_OpenMixer(0), -1);
    EXPECT_EQ(Snd_GetMixerLineCount(), 0);
    EXPECT_EQ(Snd_GetMixerControlCount(PLAYBACK), 0);
    EXPECT_EQ(Snd_GetMixerControlValue(PLAYBACK, MASTER, &l, &r), -1);
    EXPECT_EQ(Snd_SetMixerControlValue(PLAYBACK, MASTER, 1, 1), -1);
    char name[SND_MIXER_NAME_BYTES] = "old";
    EXPECT_EQ(Snd_GetMixerLineName(PLAYBACK, name), -1);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(l, -7);
    EXPECT_EQ(Snd_CloseMixer(), 0);
    EXPECT_EQ(Snd_CloseMixer(), 0);

    Plat_MixerHeadlessFailOpen(false);
    EXPECT_EQ(Snd_OpenMixer(1), -1) << "only one device is listed";
    EXPECT_EQ(Snd_OpenMixer(-1), -1);
    ASSERT_EQ(Snd_OpenMixer(0), 0);
    EXPECT_EQ(Snd_GetMixerLineCount(), 2);
}
