// The small question boxes: quitting (the mix pauses while asked and comes back with either
// answer), the display test's boxes and their answers, and the mixdown's progress box with its
// Stop and its end, including the end of a mixdown whose box was already closed.
#include "ui_fixture.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/timers.h"
#include "render/display.h"
#include "core/padbind.h"
#include "ui/langtext.h"
#include "ui/msgbox.h"
#include "ui/requesters.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace uitest;

namespace {

class Requesters : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Ui_UseBuiltinTexts(0);
        Ui_ResetMessageBoxes();
        g_iFrameCount = 100;
        g_iScreen = 0;
        g_iNextScreen = -1;
        g_bAudioMixEnabled = 1;
        g_bMixdownRunning = 0;
        g_bMixdownAbort = 0;
        g_pWavSaveBox = nullptr;
        Sys_CallLogClear();
        Sys_CallLogEnable(true);
    }
    void TearDown() override
    {
        Sys_CallLogEnable(false);
        Ui_ResetMessageBoxes();
        g_bMixdownRunning = 0;
        g_bMixdownAbort = 0;
        g_bAudioMixEnabled = 0;
        g_pWavSaveBox = nullptr;
        UiTest::TearDown();
    }
    static int Count(const char *name)
    {
        const auto &log = Sys_CallLogGet();
        return int(std::count(log.begin(), log.end(), std::string(name)));
    }
    // Chooses a button of the current box and accepts it, as a click would.
    static void Answer(uint8_t button)
    {
        ASSERT_NE(g_pCurrentMsgBox, nullptr);
        g_pCurrentMsgBox->ucChosen = button;
        Ui_MessageBoxAccept();
    }
    static int OpenBoxes()
    {
        int n = 0;
        for (const MSGBOX &b : g_aMsgBoxes)
            n += b.pWindow != nullptr;
        return n;
    }
};

} // namespace

TEST_F(Requesters, QuitAsksWithTheMixPausedAndEitherAnswerResumesIt)
{
    struct Case
    {
        uint8_t button;
        int quits;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}}) {
        Ui_ResetMessageBoxes();
        Sys_CallLogClear();
        g_bAudioMixEnabled = 1;
        Ui_AskQuit();
        MSGBOX *box = g_pCurrentMsgBox;
        ASSERT_NE(box, nullptr);
        EXPECT_STREQ(box->pszText, Ui_Text(571));
        EXPECT_EQ(box->ucButtonCount, 2);
        EXPECT_EQ(box->asButtonText[0], 112); // "Cancel" on the left
        EXPECT_EQ(box->asButtonText[1], 114);
        EXPECT_EQ(g_bAudioMixEnabled.load(), 0) << "the mix waits while the box asks";
        // Asking again while the box is up opens no second one.
        Ui_AskQuit();
        EXPECT_EQ(OpenBoxes(), 1);
        Answer(c.button);
        EXPECT_EQ(Count("Sys_RequestQuit"), c.quits) << int(c.button);
        EXPECT_EQ(g_bAudioMixEnabled.load(), 1) << int(c.button);
    }
}

TEST_F(Requesters, QuitWithNoFreeBoxChangesNothing)
{
    for (int i = 0; i < MSGBOX_SLOTS; i++) {
        MSGBOXREQUEST r{};
        r.pszText = "busy";
        r.ucButtonCount = 1;
        ASSERT_NE(Ui_OpenMessageBox(&r), nullptr);
    }
    Ui_AskQuit();
    EXPECT_EQ(Count("Sys_RequestQuit"), 0) << "never quits without asking";
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1) << "nor leaves the mix paused";
}

TEST_F(Requesters, DisplayTestBoxesAndTheirAnswers)
{
    // The question: Cancel goes back to the options without a test.
    Ui_AskTestDisplayMode();
    ASSERT_NE(g_pCurrentMsgBox, nullptr);
    EXPECT_STREQ(g_pCurrentMsgBox->pszText, Ui_Text(589));
    EXPECT_EQ(g_pCurrentMsgBox->asButtonText[0], 112);
    EXPECT_EQ(g_pCurrentMsgBox->asButtonText[1], 114);
    const int32_t width = g_iSelectedWidth, height = g_iSelectedHeight;
    Answer(0);
    EXPECT_EQ(g_iNextScreen, 22);
    EXPECT_EQ(OpenBoxes(), 0);

    // The failure report: one "Okay", back to the options.
    Ui_ResetMessageBoxes();
    g_iNextScreen = -1;
    Ui_ReportDisplayModeFailed();
    ASSERT_NE(g_pCurrentMsgBox, nullptr);
    EXPECT_STREQ(g_pCurrentMsgBox->pszText, Ui_Text(591));
    EXPECT_EQ(g_pCurrentMsgBox->ucButtonCount, 1);
    Answer(0);
    EXPECT_EQ(g_iNextScreen, 22);

    // After the pattern: "No" keeps the stored settings; "Yes" stores the wanted mode.
    Ui_ResetMessageBoxes();
    Ui_AskSawTestPattern();
    ASSERT_NE(g_pCurrentMsgBox, nullptr);
    EXPECT_STREQ(g_pCurrentMsgBox->pszText, Ui_Text(590));
    EXPECT_EQ(g_pCurrentMsgBox->asButtonText[0], 111);
    EXPECT_EQ(g_pCurrentMsgBox->asButtonText[1], 110);
    const int32_t savedDevice = g_iRequestedGfxDevice, savedMode = g_iRequestedGfxMode;
    const int32_t savedRes = g_iGfxRes;
    g_iRequestedGfxDevice = -1;
    g_iRequestedGfxMode = 0;
    Answer(0);
    EXPECT_EQ(g_iSelectedWidth, width);
    EXPECT_EQ(g_iSelectedHeight, height);
    EXPECT_EQ(g_iNextScreen, 22);
    if (Gfx_GetModeCount() > 0) {
        Ui_ResetMessageBoxes();
        Ui_AskSawTestPattern();
        Answer(1);
        EXPECT_EQ(g_iGfxRes, 0) << "the wanted mode is the chosen one";
        Gfx_GetModeSize(0, &g_iSelectedWidth, &g_iSelectedHeight, &g_iSelectedDepth);
    }
    g_iRequestedGfxDevice = savedDevice;
    g_iRequestedGfxMode = savedMode;
    g_iGfxRes = savedRes;
    g_iSelectedWidth = width;
    g_iSelectedHeight = height;
}

TEST_F(Requesters, MixdownBoxShowsTheTitleStopsTheMixdownAndFinishes)
{
    g_bMixdownRunning = 1;
    Ui_OpenWavSaveProgress("song.wav", 0);
    MSGBOX *box = g_pWavSaveBox;
    ASSERT_NE(box, nullptr);
    EXPECT_STREQ(box->pszText, Ui_Text(603)) << "the plain title once the box is sized";
    EXPECT_EQ(box->ucButtonCount, 1);
    EXPECT_EQ(box->asButtonText[0], 514);
    EXPECT_TRUE(box->ucFlags & MSGBOX_MIXDOWN_PERCENT);
    char line[64];
    int32_t fill = -1;
    EXPECT_TRUE(Ui_MsgBoxProgress(box, line, sizeof line, 100, &fill));

    // The end while the box is up: "Finished" with "Okay", and Okay stops nothing.
    Ui_FinishWavSaveProgress();
    EXPECT_STREQ(box->pszText, Ui_Text(605));
    EXPECT_EQ(box->asButtonText[0], 114);
    EXPECT_EQ(g_pWavSaveBox, nullptr);
    g_pCurrentMsgBox->ucChosen = 0;
    Ui_MessageBoxAccept();
    EXPECT_EQ(g_bMixdownAbort.load(), 0);
    EXPECT_EQ(OpenBoxes(), 0);

    // Stop during the mixdown asks it to end; its end then reports in a box of its own.
    Ui_ResetMessageBoxes();
    Ui_OpenWavSaveProgress("song.wav", 0);
    ASSERT_NE(g_pWavSaveBox, nullptr);
    Answer(0);
    EXPECT_EQ(g_bMixdownAbort.load(), 1);
    EXPECT_EQ(g_pWavSaveBox, nullptr) << "the closed box is forgotten";
    // Another box takes the slot before the mixdown ends: the end leaves it alone.
    g_iFrameCount += 10;
    MSGBOXREQUEST other{};
    other.pszText = "Other";
    other.ucButtonCount = 1;
    MSGBOX *unrelated = Ui_OpenMessageBox(&other);
    ASSERT_NE(unrelated, nullptr);
    g_bMixdownRunning = 0;
    g_bMixdownAbort = 0;
    Ui_FinishWavSaveProgress();
    EXPECT_STREQ(unrelated->pszText, "Other");
    EXPECT_EQ(unrelated->asButtonText[0], 0);
    bool finished = false;
    for (const MSGBOX &b : g_aMsgBoxes)
        finished = finished || (b.pWindow && b.pszText && std::strcmp(b.pszText, Ui_Text(605)) == 0);
    EXPECT_TRUE(finished) << "the stopped mixdown still says it is finished";

    // Stop after the mixdown has ended only closes the box.
    Ui_ResetMessageBoxes();
    Ui_OpenWavSaveProgress("song.wav", 0);
    Answer(0);
    EXPECT_EQ(g_bMixdownAbort.load(), 0);
    Ui_FinishWavSaveProgress();
    EXPECT_EQ(OpenBoxes(), 0);
}
