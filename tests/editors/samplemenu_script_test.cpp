// The sample editor's menu as a user meets it, through the studio's own loop: every built-in
// effect applied from its menu row with a changed parameter to an instrument of the demo song,
// each undone again; the effect pop-up's cancel and size; the loop switch; the refusals of
// areas too small; the pixel-to-frame arithmetic on long samples.
#include "app/spine_fixture.h"
#include "support/studioprocess.h"

#include "audio/effects.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "sequencer/samples.h"
#include "ui/busybox.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/samplemenu.h"
#include "ui/samplepanel.h"

#include <cstdlib>
#include <string>
#include <vector>

extern int32_t g_iSampleViewStart, g_iSampleViewEnd;

namespace
{

std::vector<int16_t> Bytes()
{
    std::vector<int16_t> out;
    if (g_pEditSample && g_pEditSample->pData)
        out.assign(reinterpret_cast<const int16_t *>(g_pEditSample->pData),
                   reinterpret_cast<const int16_t *>(g_pEditSample->pData) + g_iEditFrames);
    return out;
}

struct EffectRun
{
    std::vector<int16_t> before, after, undone;
    int32_t setValue = 0, keptValue = 0;
    bool popupOpened = false, busyOpened = false;
};
EffectRun s_runs[EFFECT_COUNT];
int s_step = 0;
bool s_checksDone = false;
std::vector<int16_t> s_beforeMix, s_afterMix;
std::string s_failures;

void Fail(const std::string &what)
{
    s_failures += what + "\n";
}

// What the pop-up, the loop switch and the refusals do, checked in the running studio.
void InProcessChecks()
{
    // Cancel puts back every value changed while the pop-up was open.
    EFFECTUNIT *comb = g_apEffects[EFFECT_COMB];
    const int32_t first = comb->pRows[0].iCurrent;
    g_atMenuItems[107].handler();
    if (!g_pEffectPopup)
        return Fail("the comb filter's row opens no pop-up");
    if (g_iEffectParamRows != Ui_CountShownParams(EFFECT_COMB) + 2)
        Fail("rows are the shown parameters and two");
    comb->pRows[0].iCurrent = first + 7;
    Ui_EffectParamsClose(g_pEffectPopup);
    if (comb->pRows[0].iCurrent != first)
        Fail("cancel does not restore the parameter");
    if (g_pEffectPopup)
        Fail("cancel leaves the pop-up");
    // The pop-up of the effect with the most parameters still fits 350 x 175.
    int most = 0;
    for (int e = 1; e < EFFECT_COUNT; e++)
        if (Ui_CountShownParams(e) > Ui_CountShownParams(most))
            most = e;
    Ui_OpenEffectParams(most);
    if (!g_pEffectPopup)
        return Fail("the largest effect opens no pop-up");
    if (g_pEffectPopup->window->w > EFFECT_POPUP_MAX_W || g_pEffectPopup->window->h > EFFECT_POPUP_MAX_H)
        Fail("pop-up too large");
    Ui_EffectParamsClose(g_pEffectPopup);
    // An area under 232 frames cannot be trimmed; a cut leaving under 232 frames is refused.
    const std::vector<int16_t> kept = Bytes();
    g_aiSampleMarkerPos[SAMPLEMARK_START] = 10;
    g_aiSampleMarkerPos[SAMPLEMARK_END] = 10 + 230;
    Ui_SampleMenuTrim();
    if (g_pBusyBoxWindow || !g_pCurrentMsgBox)
        Fail("a short trim is not refused with a message");
    if (g_pCurrentMsgBox)
        Ui_CloseMessageBox(g_pCurrentMsgBox);
    g_aiSampleMarkerPos[SAMPLEMARK_START] = 0;
    g_aiSampleMarkerPos[SAMPLEMARK_END] = g_iSampleLength - 100;
    Ui_SampleMenuCut();
    if (g_pBusyBoxWindow || !g_pCurrentMsgBox)
        Fail("a cut leaving too little is not refused with a message");
    if (g_pCurrentMsgBox)
        Ui_CloseMessageBox(g_pCurrentMsgBox);
    if (Bytes() != kept)
        Fail("a refused operation changed the sample");
    g_aiSampleMarkerPos[SAMPLEMARK_START] = 0;
    g_aiSampleMarkerPos[SAMPLEMARK_END] = g_iSampleLength - 1;
    // Zoom out on the whole sample does nothing.
    Ui_SampleMenuZoomOut();
    if (g_pBusyBoxWindow)
        Fail("zoom out on the whole sample opened the busy box");
    // The loop switch: on at frame 0, the row becomes "Loop off", and back.
    Ui_SampleMenuLoopOn();
    if (Snd_GetEditLoopStart() != 0 || g_atMenuItems[59].text != 97 || g_sMenuPage != 6)
        Fail("loop on");
    g_atMenuItems[59].handler();
    if (Snd_GetEditLoopStart() >= 0 || g_atMenuItems[59].text != 96)
        Fail("loop off");
    // Without a copied area, "Mix samples" says so and opens no panel.
    Ui_SampleMenuMix();
    if (g_pMixPanelWindow || !g_pCurrentMsgBox)
        Fail("mix with an empty copy buffer");
    if (g_pCurrentMsgBox)
        Ui_CloseMessageBox(g_pCurrentMsgBox);
    // With an area copied the mix panel opens on its two values; leaving it mixes.
    Snd_DoSampleEdit(EDIT_COPY, 0, 2000, 0);
    Ui_SampleMenuMix();
    if (!g_pMixPanelWindow || g_ucOptionPageMode != 3 || g_iMixNote != 48 || g_iMixFineTune != 50)
        return Fail("the mix panel");
    s_beforeMix = Bytes();
    Ui_CloseMixPanel();
    if (g_pMixPanelWindow || !g_pBusyBoxWindow)
        Fail("leaving the mix panel runs no mix");
    s_checksDone = true;
}

// F1 on the panel's page, again and again: apply effect k, then undo it, then the next.
void Step()
{
    const int e = s_step / 2;
    if (e >= EFFECT_COUNT) {
        InProcessChecks();
        // The mix's follow-up gives "Paste copied area" (F1) its own handler back: F2 looks.
        Ui_SetMenuItemHandler(42, [] { s_afterMix = Bytes(); });
        s_step++;
        return;
    }
    EffectRun &run = s_runs[e];
    if (s_step % 2 == 0) {
        run.before = Bytes();
        g_aiSampleMarkerPos[SAMPLEMARK_START] = 0;
        g_aiSampleMarkerPos[SAMPLEMARK_END] = g_iSampleLength - 1;
        g_iEditSelFirst = 0;
        g_iEditSelLast = g_iSampleLength - 1;
        g_atMenuItems[107 + e].handler();
        run.popupOpened = g_pEffectPopup != nullptr;
        if (g_pEffectPopup) {
            // The first parameter moved off its value, as the value editor would.
            EFFECTUNIT *unit = g_apEffects[e];
            EFFECTPARAM &p = unit->pRows[g_aiEffectRowParam[0]];
            run.setValue = p.iCurrent == p.iMax ? p.iMin : p.iCurrent + (p.iMax - p.iCurrent) / 2 + 1;
            p.iCurrent = run.setValue;
            Ui_EffectParamsChoose(g_pEffectPopup, g_iEffectParamRows - 2);
            run.keptValue = p.iCurrent;
            run.busyOpened = g_pBusyBoxWindow != nullptr;
        }
    } else {
        run.after = Bytes();
        g_atMenuItems[64].handler();
        run.undone = Bytes();
    }
    s_step++;
}

void OpenOnFirstInstrument()
{
    Ui_SetMenuItemHandler(47, Step);
    for (int slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        if (g_aInstrumentSlots[slot].pszName && g_aInstrumentSlots[slot].pszName[0]) {
            Ui_OpenSampleEditPanel(SAMPLEPANEL_EDIT, slot);
            return;
        }
}

class SampleMenuScript : public SpineTest
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
        Ui_ResetMenuItems();
        SpineTest::TearDown();
    }
};

TEST_F(SampleMenuScript, EveryEffectFromTheMenuChangesTheSampleAndUndoRestoresIt)
{
    std::vector<std::string> script = {"10 keydown F4", "11 keyup F4"};
    const int first = 40, gap = 14;
    for (int i = 0; i <= 2 * EFFECT_COUNT + 1; i++) {
        const char *key = i <= 2 * EFFECT_COUNT ? "F1" : "F2";
        script.push_back(std::to_string(first + gap * i) + " keydown " + key);
        script.push_back(std::to_string(first + gap * i + 1) + " keyup " + key);
    }
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    ASSERT_EQ(Run(nullptr, first + gap * (2 * EFFECT_COUNT + 2), script), 0);

    for (int e = 0; e < EFFECT_COUNT; e++) {
        const EffectRun &run = s_runs[e];
        SCOPED_TRACE("effect " + std::to_string(e));
        ASSERT_TRUE(run.popupOpened);
        EXPECT_TRUE(run.busyOpened) << "Apply filter runs behind the busy box";
        EXPECT_EQ(run.keptValue, run.setValue) << "Apply keeps the values the user set";
        ASSERT_FALSE(run.before.empty());
        EXPECT_NE(run.after, run.before) << "the effect changed the sample";
        EXPECT_EQ(run.undone, run.before) << "undo brings the bytes back";
    }
    EXPECT_TRUE(s_checksDone);
    ASSERT_FALSE(s_afterMix.empty());
    EXPECT_NE(s_afterMix, s_beforeMix) << "the copied area was mixed in";
    EXPECT_EQ(s_failures, "");
}

TEST(SampleMenu, PixelToFrameHoldsOnLongSamples)
{
    struct Case
    {
        int32_t start, end, px, frame;
    } cases[] = {
        {0, 232, 0, 0},
        {0, 232, 116, 116},
        {0, 232, 232, 232},
        {1000, 1000 + 2320, 116, 1000 + 1160},
        // Ten minutes at 44.1 kHz: 32-bit products would wrap.
        {0, 26460000, 232, 26460000},
        {0, 26460000, 116, 13230000},
    };
    for (const Case &c : cases) {
        g_iSampleViewStart = c.start;
        g_iSampleViewEnd = c.end;
        EXPECT_EQ(Ui_PixelToSamplePos(c.px), c.frame) << c.start << ".." << c.end << " px " << c.px;
    }
    g_iSampleViewStart = g_iSampleViewEnd = 0;
}

} // namespace
