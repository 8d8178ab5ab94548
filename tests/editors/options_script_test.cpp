// The option pages, the song data lanes and the mixer panel as a user reaches them: through the
// studio's own loop, the top bar, the mouse and an input script, headless, on the demo song.
//
// Return is the pad's accept button; where a step runs on the song grid, whose accept is a page
// item, the accept is given to a free function key of the song grid's menu page.
#include "app/spine_fixture.h"
#include "support/studioprocess.h"

#include "app/settings.h"
#include "app/timers.h"
#include "audio/mixerdev.h"
#include "editors/mixerpanel.h"
#include "editors/options.h"
#include "editors/songlanes.h"
#include "editors/topbar.h"
#include "platform/mixer_device.h"
#include "platform/settings_store.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/popup.h"

#include <cstdio>
#include <filesystem>

namespace {

class StudioScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        Fresh();
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        Ui_SetGridPlace(2, -1, -1, 0, 0);
        g_iGammaLevel = 255;
        g_iAudioOutDevice = 0;
        g_ucMouseButtons = m_mouseButtons;
        SpineTest::TearDown();
    }
    void Fresh()
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        ResetPageMenus();
        m_mouseButtons = g_ucMouseButtons;
        g_ucMouseButtons = 0;
        g_iGammaLevel = 255;
        g_iAudioOutDevice = 0;
        g_iMixerLineIndex = 0;
        Ed_InitOptionPages();
        Plat_SettingsClear();
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    }
    // Runs the studio and keeps the last frame.
    Picture RunAndDump(int frames, const std::vector<std::string> &script, const std::string &name)
    {
        const std::string png = ::testing::TempDir() + name;
        std::remove(png.c_str());
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        EXPECT_EQ(Run(nullptr, frames, script), 0);
        unsetenv("TNV_DUMP_FRAME");
        return ReadPng(png);
    }
    uint8_t m_mouseButtons = 0;
};

// The mean of the three channels over a rectangle of the picture.
double MeanLevel(const Picture &p, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h)
{
    double sum = 0;
    size_t n = 0;
    for (uint32_t y = y0; y < y0 + h && y < p.height; y++)
        for (uint32_t x = x0; x < x0 + w && x < p.width; x++, n++) {
            const uint8_t *px = &p.rgb[(size_t{y} * p.width + x) * 3];
            sum += px[0] + px[1] + px[2];
        }
    return n ? sum / (3.0 * n) : 0;
}

std::string Setting(const char *name)
{
    char value[256] = {};
    if (Plat_SettingsRead(SETTINGS_KEY, name, value, sizeof value) != 0)
        return "(missing)";
    return value;
}

// The options window opens centred: (146, 149) on the 640 x 480 screen. The pointer starts at
// the centre (320, 240).
//   "Next..." of page 1 at (444, 332); "Set Brightness" of page 2 at (238, 199); the value
//   editor's left arrow at (229, 119); "Next..." again; "Set Audio OUT device" of page 3 at
//   (402, 183); the pop-up's second row (the second output) at (300, 113).
const std::vector<std::string> kOptionsScript = {
    "5 keydown F1",         "6 keyup F1",           "20 mousemove 124 92",   "25 mousedown 1", "26 mouseup 1",
    "30 mousemove -206 -133", "35 mousedown 1",     "36 mouseup 1",          "40 mousemove -9 -80",
    "45 mousedown 1",       "145 mouseup 1",        "150 keydown Escape",    "151 keyup Escape",
    "155 mousemove 215 213", "160 mousedown 1",     "161 mouseup 1",         "165 mousemove -42 -149",
    "170 mousedown 1",      "171 mouseup 1",        "180 mousemove -102 -70", "185 mousedown 1",
    "186 mouseup 1",        "195 keydown Escape",   "196 keyup Escape"};

void OpenOptionsFromTopBar()
{
    g_ucTopBarButton = 5;
    Ed_TopBarChoose();
}

TEST_F(StudioScript, OptionsChangeOutputAndBrightnessAndLeavingStoresTheDevices)
{
    const Picture before = RunAndDump(210, {}, "tnv_options_before.png");
    ASSERT_EQ(before.width, 640u);
    Fresh();
    Ui_SetMenuItemHandler(0, OpenOptionsFromTopBar);
    const Picture after = RunAndDump(210, kOptionsScript, "tnv_options_after.png");
    ASSERT_EQ(after.width, 640u);
    EXPECT_EQ(Count("Ed_OpenOptionPage"), 1);
    EXPECT_EQ(Count("Ui_OpenValueEditor"), 1);
    EXPECT_EQ(Count("Ed_CloseOptionPage"), 1);
    EXPECT_EQ(g_iScreen, 0) << "back on the song grid";
    EXPECT_FALSE(Ui_WindowIsOpen(g_pOptionWindow));
    EXPECT_EQ(g_iAudioOutDevice, 1) << "the second output was chosen";
    EXPECT_GE(g_iGammaLevel, 40);
    EXPECT_LT(g_iGammaLevel, 240) << "the brightness was turned down";
    // Every device choice stands in the settings as decimal text.
    const struct
    {
        const char *name;
        int value;
    } kStored[] = {{"GfxRes", g_iGfxRes},
                   {"GfxDevice", g_iGfxDevice},
                   {"AudioInDevice", g_iAudioInDevice},
                   {"AudioOutDevice", g_iAudioOutDevice},
                   {"MIDIInDevice", g_iMidiInDevice}};
    for (const auto &s : kStored)
        EXPECT_EQ(Setting(s.name), std::to_string(s.value)) << s.name;
    // The song grid is the same picture, darker by the brightness chosen.
    const double was = MeanLevel(before, 64, 84, 480, 160), now = MeanLevel(after, 64, 84, 480, 160);
    ASSERT_GT(was, 20.0);
    EXPECT_LT(now, was * (g_iGammaLevel + 12) / 255.0);
    EXPECT_GT(now, was * (g_iGammaLevel - 40) / 255.0);
}

TEST_F(StudioScript, LeavingTheOptionsUntouchedStillWritesAllFiveValues)
{
    Ui_SetMenuItemHandler(0, OpenOptionsFromTopBar);
    ASSERT_EQ(Run(nullptr, 40, {"5 keydown F1", "6 keyup F1", "20 keydown Escape", "21 keyup Escape"}), 0);
    EXPECT_EQ(Count("Ed_CloseOptionPage"), 1);
    for (const char *name : {"GfxRes", "GfxDevice", "AudioInDevice", "AudioOutDevice", "MIDIInDevice"})
        EXPECT_NE(Setting(name), "(missing)") << name;
    EXPECT_EQ(g_iGammaLevel, 255);
}

// Keyboard and mouse together, as a musician reaches the buttons: F1 opens the options; a click
// on "Credits" (mouse only) runs the credits over the page and Escape comes back; then Down, Down
// and Return press "Next..."; Down and Return press "Set Brightness", whose value editor the last
// frame shows.
TEST_F(StudioScript, OptionButtonsAnswerReturnAndTheCreditsRunOverThePage)
{
    Ui_SetMenuItemHandler(0, OpenOptionsFromTopBar);
    const Picture shot = RunAndDump(95,
                                    {"5 keydown F1", "6 keyup F1", "15 mousemove 82 -41", "17 mousedown 1",
                                     "18 mouseup 1", "40 keydown Escape", "41 keyup Escape", "50 keydown Down",
                                     "51 keyup Down", "55 keydown Down", "56 keyup Down", "60 keydown Return",
                                     "61 keyup Return", "70 keydown Down", "71 keyup Down", "75 keydown Return",
                                     "76 keyup Return"},
                                    "tnv_options_keyboard.png");
    EXPECT_EQ(Count("Ed_OpenOptionPage"), 1);
    EXPECT_EQ(Count("Ed_RunCredits"), 1);
    EXPECT_EQ(Count("Ui_OpenValueEditor"), 1) << "Return reached \"Next...\" and \"Set Brightness\"" << Lines(Log());
    EXPECT_EQ(g_pOptionsPage, g_aatOptionPages[1]) << "the second page";
    EXPECT_TRUE(Ui_WindowIsOpen(g_pOptionWindow));
    EXPECT_EQ(shot.width, 640u);
}

// ---- The tempo lane ----

int32_t s_iMixdownFrames = -1;
std::string s_sMixdownPath;

// Mixes the song down to a WAV file as the file screen does, and counts its frames.
void MixDown()
{
    s_iMixdownFrames = -1;
    if (Sys_StartMixdown(s_sMixdownPath.c_str()) != 0)
        return;
    for (long guard = 0; g_bMixdownRunning && guard < 1000000L; guard++)
        Sys_MixdownStep();
    s_iMixdownFrames = g_iMixdownTotal;
}

// On the song grid the accept button is the page's first item (its function key); on the lanes
// it edits at the cursor. Elsewhere it is the screen's own slot 14.
void PressAccept()
{
    if (g_iScreen == 0)
        Ed_SongEditEntryAtCursor();
    else
        Ui_RunPadSlot(14);
}

struct SongTime
{
    int seconds;
    int frames;
};

// The cursor starts on the tempo lane (row 101), column 1. F1 (the pad's accept) marks a run from
// there; Right held grows it by 7; F1 accepts it and the bar range dialog opens on 120 BPM; the
// "End" slider's right arrow held raises the run's last tempo; Escape stores the ramp. F11 mixes
// the song down.
TEST_F(StudioScript, TempoRampOnTheTempoLaneShortensTheSongAndItsMixdown)
{
    s_sMixdownPath = ::testing::TempDir() + "tnv_tempo_mixdown.wav";
    auto run = [&](bool ramp) {
        Fresh();
        Ui_SetGridPlace(2, -1, 88, 1, 12);
        Ui_SetMenuItemHandler(0, PressAccept);
        Ui_SetMenuItemHandler(8, MixDown);
        std::vector<std::string> script;
        if (ramp)
            script = {"5 keydown F1",        "6 keyup F1",     "10 keydown Right", "17 keyup Right",
                      "20 keydown F1",       "21 keyup F1",    "30 mousemove 20 -90", "35 mousedown 1",
                      "135 mouseup 1",       "140 keydown Escape", "141 keyup Escape"};
        script.push_back("150 keydown F11");
        script.push_back("151 keyup F11");
        EXPECT_EQ(Run(nullptr, 160, script), 0);
        return SongTime{g_ucSongMinutes * 60 + g_ucSongSeconds, s_iMixdownFrames};
    };
    const SongTime plain = run(false);
    EXPECT_EQ(Count("Ed_SongEditEntryAtCursor"), 0);
    const SongTime ramped = run(true);
    EXPECT_EQ(Count("Ed_SongEditEntryAtCursor"), 1);
    EXPECT_EQ(Count("Ed_OpenBarRangeDialog"), 1);
    EXPECT_EQ(Count("Ed_CloseLaneDialog"), 1);
    EXPECT_EQ(g_iScreen, SCREEN_MSGBOX) << "the dialog is closed; the mixdown's \"Finished\" box is over the song grid";
    ASSERT_GT(plain.frames, 44100) << "the demo song mixes down";
    ASSERT_GT(ramped.frames, 0);
    EXPECT_LT(ramped.seconds, plain.seconds) << "the song's time";
    EXPECT_LT(ramped.frames, plain.frames) << "the mixdown plays faster";
}

// ---- The mixer panel ----

struct MixerSeen
{
    bool open = false;
    int32_t screen = -1, level = -1;
    std::string name;
    int64_t raw[2] = {-1, -1};
};
MixerSeen s_tMixerSeen;

void LookAtMixer()
{
    MixerSeen &m = s_tMixerSeen;
    m.open = Ui_WindowIsOpen(g_pMixerWindow);
    m.screen = g_iScreen;
    m.level = g_astMixerScreenLines[0].level;
    m.name = g_astMixerScreenLines[0].name;
    if (Plat_MixerGet(0, 0, m.raw, 2) != 0)
        m.raw[0] = m.raw[1] = -1;
}

// F10 ("Change Mixer Settings") opens the panel on the headless mixer's "Playback" line: its
// first row ("Master") has the minus arrow; Right twice puts the cursor on the plus arrow and
// F1 (the pad's accept) steps the level up, once for each press after the repeat delay. F11
// looks at the panel and the mixer; Escape leaves the panel and closes the mixer.
TEST_F(StudioScript, MixerPanelMovesAHeadlessMixerLine)
{
    s_tMixerSeen = MixerSeen{};
    Ui_SetMenuItemHandler(0, PressAccept);
    Ui_SetMenuItemHandler(8, LookAtMixer);
    std::vector<std::string> script = {"5 keydown F10", "6 keyup F10", "10 keydown Right", "11 keyup Right",
                                       "13 keydown Right", "14 keyup Right"};
    for (int f = 20; f < 80; f += 12) {
        script.push_back(std::to_string(f) + " keydown F1");
        script.push_back(std::to_string(f + 1) + " keyup F1");
    }
    for (const char *l : {"85 keydown F11", "86 keyup F11", "90 keydown Escape", "91 keyup Escape"})
        script.push_back(l);
    ASSERT_EQ(Run(nullptr, 100, script), 0);
    EXPECT_EQ(Count("Ed_OpenMixerPanel"), 1);
    EXPECT_EQ(Count("Ed_CloseMixerPanel"), 1);
    const MixerSeen &m = s_tMixerSeen;
    EXPECT_TRUE(m.open);
    EXPECT_EQ(m.screen, SCREEN_MIXER);
    EXPECT_EQ(m.name, "Master Volume");
    EXPECT_EQ(m.level, 5) << "five steps up from the fader's minimum";
    // The mixer holds what the panel wrote, on both channels (raw 0..65535 for a level of 5).
    EXPECT_EQ(m.raw[0], m.raw[1]);
    EXPECT_EQ(m.raw[0], Snd_MixerLevelToRaw(5, 0, 65535));
    EXPECT_FALSE(Plat_MixerIsOpen()) << "leaving the panel closes the mixer";
    EXPECT_EQ(g_iScreen, 0);
}

} // namespace
