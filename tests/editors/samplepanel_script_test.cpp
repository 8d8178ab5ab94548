// The sample editor panel as a user meets it, through the studio's own loop and an input script:
// opened on an instrument of the demo song, normalised and the normalise undone; and a new
// instrument recorded from the sound input.
#include "app/spine_fixture.h"
#include "support/studioprocess.h"

#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "platform/audio_in.h"
#include "sequencer/samples.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/samplepanel.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{

std::vector<int16_t> EditedSample()
{
    std::vector<int16_t> out;
    if (g_pEditSample && g_pEditSample->pData)
        out.assign(reinterpret_cast<const int16_t *>(g_pEditSample->pData),
                   reinterpret_cast<const int16_t *>(g_pEditSample->pData) + g_iEditFrames);
    return out;
}

int Peak(const std::vector<int16_t> &s)
{
    int peak = 0;
    for (int16_t v : s)
        peak = std::max(peak, std::abs(int(v)));
    return peak;
}

std::vector<int16_t> s_original, s_normalised, s_undone;
// The sample list's own edits ("Optimise sample list", "Delete sample", "Copy sample", and the
// two quality changes): how many were live while the panel was open.
constexpr int kSampleListRows[] = {30, 31, 33, 34, 35};
int s_liveListRows = -1, s_liveBeforeOpen = -1, s_liveAfterClose = -1;

int LiveListRows()
{
    int n = 0;
    for (int row : kSampleListRows)
        n += g_atMenuItems[row].handler != nullptr;
    return n;
}
int s_openedSlot = 0;
// Watchers for the panel page's F1 and F2, put in place once the studio has installed its own.
MENUHANDLER s_pfnF1 = nullptr, s_pfnF2 = nullptr;

// The song grid's F4 (a row no grid item uses) opens the panel on the demo song's first instrument.
void OpenOnFirstInstrument()
{
    if (s_pfnF1)
        Ui_SetMenuItemHandler(47, s_pfnF1);
    if (s_pfnF2)
        Ui_SetMenuItemHandler(42, s_pfnF2);
    for (int slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        if (g_aInstrumentSlots[slot].pszName && g_aInstrumentSlots[slot].pszName[0]) {
            s_openedSlot = slot;
            s_liveBeforeOpen = LiveListRows();
            Ui_OpenSampleEditPanel(SAMPLEPANEL_EDIT, slot);
            return;
        }
}

// The panel's normalise and undo, watched, on two keys of the panel's page that the studio
// leaves free (F1 and F2).
void WatchedNormalise()
{
    s_liveListRows = LiveListRows();
    s_original = EditedSample();
    Ui_SampleMenuNormalise();
}

// Closes the panel while the studio still runs and counts the list's live edits after it.
void CloseAndCount()
{
    Ui_CloseSampleEditPanel();
    s_liveAfterClose = LiveListRows();
}

void WatchedUndo()
{
    s_normalised = EditedSample();
    Ui_SampleMenuUndo();
    s_undone = EditedSample();
}

int WavePixels(const Picture &pic)
{
    // The wave's colour inside the panel's wave view (panel at 156, 182; view at 27, 26).
    int n = 0;
    for (uint32_t y = 182 + 26; y < 182 + 127 && y < pic.height; y++)
        for (uint32_t x = 156 + 27; x < 156 + 259 && x < pic.width; x++) {
            const uint8_t *p = &pic.rgb[(size_t(y) * pic.width + x) * 3];
            if (p[0] < 40 && p[1] > 180 && p[2] > 100 && p[2] < 180)
                n++;
        }
    return n;
}

class SamplePanelScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
        s_original.clear();
        s_normalised.clear();
        s_undone.clear();
        s_openedSlot = 0;
        s_liveListRows = s_liveBeforeOpen = s_liveAfterClose = -1;
        s_pfnF1 = s_pfnF2 = nullptr;
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_DUMP_FRAME");
        Ui_ResetMenuItems();
        SpineTest::TearDown();
    }
    Picture RunTo(int frames, const std::vector<std::string> &script, const char *name)
    {
        const std::string png = ::testing::TempDir() + name;
        std::remove(png.c_str());
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        // Each run starts the program afresh, without the pointer's click state of a run before.
        SpineTest::SetUp();
        g_ucMouseButtons = 0;
        g_iLastClickTime = 0;
        g_pClickedWidget = nullptr;
        g_iMouseHoldFrames = 0;
        g_bMouseHoldMarked = 0;
        EXPECT_EQ(Run(nullptr, frames, script), 0);
        return ReadPng(png);
    }
};

TEST_F(SamplePanelScript, OpensOnADemoInstrumentNormalisesAndUndoes)
{
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    const std::vector<std::string> script = {"10 keydown F4", "11 keyup F4", "40 keydown F1", "41 keyup F1",
                                             "70 keydown F2", "71 keyup F2"};
    // The panel open on the instrument, its wave drawn.
    const Picture opened = RunTo(35, script, "tnv_samplepanel_open.png");
    ASSERT_GT(s_openedSlot, 0) << "the demo song has an instrument";
    ASSERT_EQ(opened.width, 640u);
    EXPECT_GT(WavePixels(opened), 50) << "the wave is drawn";
    EXPECT_EQ(g_iScreen, SCREEN_SAMPLEEDIT);

    // Normalised: the panel shows the louder wave.
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    s_pfnF1 = WatchedNormalise;
    const Picture normalised = RunTo(65, script, "tnv_samplepanel_normalised.png");
    ASSERT_FALSE(s_original.empty()) << "the panel was ready when F9 was pressed";
    ASSERT_EQ(normalised.width, 640u);

    // Undone: the sample is the original again, and so is the picture.
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    s_pfnF1 = WatchedNormalise;
    s_pfnF2 = WatchedUndo;
    const Picture undone = RunTo(95, script, "tnv_samplepanel_undone.png");
    ASSERT_FALSE(s_normalised.empty());
    EXPECT_LT(Peak(s_original), 32000) << "the demo instrument leaves room to normalise";
    EXPECT_GE(Peak(s_normalised), 32000) << "normalised to full scale";
    EXPECT_EQ(s_undone, s_original) << "undo brings back the sample as it was";
    EXPECT_GT(WavePixels(normalised), WavePixels(undone)) << "the louder wave fills more of the view";
    EXPECT_EQ(WavePixels(undone), WavePixels(opened)) << "the undone wave is drawn as at the start";

    // The sample list's edits are greyed while the panel edits a sample, and back once it closed.
    ASSERT_GT(s_liveBeforeOpen, 0);
    EXPECT_EQ(s_liveListRows, 0);
    // Closed from the panel's F1 while the studio runs (after the run its samples are gone).
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    s_pfnF1 = CloseAndCount;
    s_pfnF2 = nullptr;
    RunTo(45, script, "tnv_samplepanel_closed.png");
    EXPECT_EQ(s_liveAfterClose, s_liveBeforeOpen);
}

// With the panel open, its "Sample palette" (F5) lists the slots; the one chosen is the one the
// panel edits next, loaded behind the busy box.
TEST_F(SamplePanelScript, ASlotChosenInThePaletteOverThePanelIsEditedNext)
{
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    const std::vector<std::string> script = {"10 keydown F4",  "11 keyup F4",  "40 keydown F5",
                                             "41 keyup F5",    "45 mousemove -2000 -2000",
                                             "46 mousemove 220 110", "48 mousedown 1", "49 mouseup 1"};
    const Picture palette = RunTo(46, script, "tnv_samplepanel_palette.png");
    ASSERT_EQ(s_openedSlot, 1);
    ASSERT_NE(g_pCurrentPopup, nullptr) << "the palette is open over the panel";
    EXPECT_EQ(g_pCurrentPopup->kind, 4);

    const Picture second = RunTo(75, script, "tnv_samplepanel_second.png");
    EXPECT_EQ(g_iSampleEditSlot, 2) << "the panel edits the chosen slot";
    EXPECT_EQ(g_iScreen, SCREEN_SAMPLEEDIT);
    EXPECT_TRUE(g_bSamplePanelReady);
    EXPECT_EQ(g_pCurrentPopup, nullptr) << "the palette went";
    ASSERT_EQ(second.width, 640u);
    EXPECT_GT(WavePixels(second), 50) << "its wave is drawn";
    EXPECT_EQ(palette.width, 640u);
}

} // namespace

namespace
{

int s_recordedSlot = 0;
std::vector<int16_t> s_recorded;

void OpenToRecord()
{
    if (s_pfnF1)
        Ui_SetMenuItemHandler(47, s_pfnF1);
    Ui_MenuRecordFromPcAudio();
}

// F1 on the panel's page, after the recording: what the panel now edits.
void WatchRecorded()
{
    s_recordedSlot = g_iSampleEditSlot;
    s_recorded = EditedSample();
    Ui_SampleMenuPlay();
}

TEST_F(SamplePanelScript, RecordsTwoSecondsIntoANewInstrument)
{
    // F4 opens the panel to record; a click on its record button starts; 2.2 seconds later a
    // click on the box's Stop makes the new instrument; F1 plays it.
    const std::vector<std::string> script = {"10 keydown F4", "11 keyup F4", "30 mousemove 141 86",
                                             "32 mousedown 1",  "33 mouseup 1",  "140 mousemove -142 -107",
                                             "143 mousedown 1", "144 mouseup 1", "170 keydown F1",
                                             "171 keyup F1"};
    const std::string wav = ::testing::TempDir() + "tnv_samplepanel_recorded.wav";
    std::remove(wav.c_str());
    setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
    Ui_SetMenuItemHandler(3, OpenToRecord);
    s_pfnF1 = WatchRecorded;
    const Picture recorded = RunTo(260, script, "tnv_samplepanel_recorded.png");
    unsetenv("TNV_AUDIO_DUMP");
    ASSERT_EQ(recorded.width, 640u);
    ASSERT_GT(s_recordedSlot, 0) << "the panel edits the new instrument";
    EXPECT_GE(s_recorded.size(), 2u * 44100) << "two seconds and more at 44100 Hz";
    EXPECT_LE(s_recorded.size(), 3u * 44100);
    for (size_t n = 0; n < s_recorded.size(); n += 997)
        ASSERT_EQ(s_recorded[n], Plat_AudioInGeneratedSample(n)) << "sample " << n << " is the input's";

    // The dump holds the new instrument's sound after the recording: not silence.
    FILE *f = std::fopen(wav.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
    ASSERT_GT(bytes.size(), 44u);
    int peak = 0;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        peak = std::max(peak, std::abs(int(int16_t(bytes[i] | bytes[i + 1] << 8))));
    EXPECT_GT(peak, 1000) << "the recorded instrument is heard";
}

} // namespace
