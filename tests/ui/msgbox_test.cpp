// Message boxes: geometry, slots and their cooling, the order of answers when boxes stack, the
// pad handlers of screen 17, and the operation-result boxes; a picture in English and German.
#include "ui_fixture.h"

#include "core/padbind.h"
#include "ui/bindings.h"
#include "support/testlayer.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "app/timers.h"
#include "audio/capture.h"
#include "audio/cdaudio.h"
#include "core/file.h"
#include "editors/jukebox.h"
#include "editors/filescreen.h"
#include "jam/netobjects.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <functional>
#include <string>
#include <vector>

using namespace uitest;

namespace {

std::vector<int> s_answers;
std::vector<uint32_t> s_userValues;

void Answer(uint8_t button)
{
    s_answers.push_back(button);
}

void UserAnswer(uint8_t button, uint32_t user)
{
    s_answers.push_back(100 + button);
    s_userValues.push_back(user);
}

class MsgBox : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Ui_UseBuiltinTexts(0);
        Ui_ResetMessageBoxes();
        s_answers.clear();
        s_userValues.clear();
        g_iFrameCount = 100;
        g_iScreen = 0;
        g_iNextScreen = -1;
    }
    void TearDown() override
    {
        Ui_ResetMessageBoxes();
        Ui_UseBuiltinTexts(0);
        UiTest::TearDown();
    }
    static MSGBOX *Open(const char *text, uint8_t buttons, MSGBOXANSWERFN answer = Answer)
    {
        MSGBOXREQUEST req{};
        req.pszText = text;
        req.ucButtonCount = buttons;
        req.asButtonText[0] = 114;
        req.asButtonText[1] = 112;
        req.pfnAnswer = answer;
        return Ui_OpenMessageBox(&req);
    }
};

} // namespace

TEST_F(MsgBox, DefaultGeometryCentredAndRaised)
{
    MSGBOX *box = Open("Hello.", 1);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->width, 220);
    EXPECT_EQ(box->lineCount, 1);
    EXPECT_EQ(box->height, 3 * 12 + 15) << "at least three lines high";
    EXPECT_EQ(box->pWindow->x, (g_iScreenWidth - 220) / 2);
    EXPECT_EQ(box->pWindow->y, (g_iScreenHeight - box->height) / 2 - 40);
    EXPECT_EQ(box->asButtonX[0] + box->sButtonWidth / 2, 110);
    EXPECT_EQ(g_iNextScreen, SCREEN_MSGBOX);
    EXPECT_EQ(g_bModalBoxOpen, 1);
    EXPECT_EQ(g_pCurrentMsgBox, box);
    EXPECT_EQ(g_pFocusWidget, box->pWindow);
}

TEST_F(MsgBox, LongTextWrapsAndLongLabelsWiden)
{
    const std::string longText = "Optimise sample list. This will remove all unused samples from your song, "
                                 "every one of them, and the undo log goes with them.";
    MSGBOX *box = Open(longText.c_str(), 2);
    ASSERT_NE(box, nullptr);
    EXPECT_GT(box->lineCount, 3);
    EXPECT_EQ(box->height, (box->lineCount + 1) * 12 + 15) << "a row for the buttons below the text";
    // Every wrapped line fits the text area.
    struct Check
    {
        int32_t width;
        int lines;
        std::string joined;
    } check{box->width - 56, 0, ""};
    Ui_MsgBoxWrap(box->pszText, check.width, [](const char *s, int n, void *u) {
        auto *c = static_cast<Check *>(u);
        std::string line(s, size_t(n));
        g_pFont = &g_tFontMain;
        EXPECT_LE(Gfx_GetTextWidth(line.c_str()), c->width) << line;
        c->joined += (c->lines++ ? " " : "") + line;
    }, &check);
    EXPECT_EQ(check.joined, longText) << "no word lost or split";

    // A word wider than the line is cut, never overflowing; two buttons sit at a third and two.
    std::string word(200, 'W');
    MSGBOX *wide = Open(word.c_str(), 2);
    ASSERT_NE(wide, nullptr);
    EXPECT_GT(wide->lineCount, 1);
    EXPECT_EQ(wide->asButtonX[0] + wide->sButtonWidth / 2, wide->width / 3);
    EXPECT_EQ(wide->asButtonX[1] + wide->sButtonWidth / 2, 2 * wide->width / 3);

    // Long button labels widen the box after each button.
    const char *saved[2] = {g_apszText[114], g_apszText[112]};
    g_apszText[114] = "A rather long first answer";
    g_apszText[112] = "And an even longer second answer";
    MSGBOX *widened = Open("Hi", 2);
    ASSERT_NE(widened, nullptr);
    g_pFont = &g_tFontMain;
    const int32_t t1 = Gfx_GetTextWidth(g_apszText[114]) + 6;
    const int32_t t2 = t1 + Gfx_GetTextWidth(g_apszText[112]) + 6;
    int32_t expected = 220;
    if (t1 > 140)
        expected += t1 - 115;
    if (t2 > 140)
        expected += t2 - 115;
    EXPECT_EQ(widened->width, expected);
    EXPECT_GT(widened->width, 220);
    g_apszText[114] = saved[0];
    g_apszText[112] = saved[1];
}

TEST_F(MsgBox, TextCopyIsBoundedAndSlotsCool)
{
    MSGBOXREQUEST req{};
    std::string huge(1000, 'a');
    req.pszText = huge.c_str();
    req.ucFlags = MSGBOX_COPY_TEXT;
    MSGBOX *box = Ui_OpenMessageBox(&req);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::string(box->pszText), std::string(255, 'a'));
    EXPECT_EQ(box->pszText, box->szText);

    for (int i = 1; i < MSGBOX_SLOTS; i++)
        ASSERT_NE(Open("more", 1), nullptr) << i;
    EXPECT_EQ(Open("sixth", 1), nullptr) << "five slots";
    Ui_CloseMessageBox(box);
    EXPECT_EQ(Open("too soon", 1), nullptr) << "a closed slot cools for three frames";
    g_iFrameCount += 3;
    EXPECT_EQ(Open("still cooling", 1), nullptr);
    g_iFrameCount += 1;
    EXPECT_EQ(Open("now", 1), box);
}

// Shutdown frees the language texts while boxes may still be open: each keeps its own copy first.
TEST_F(MsgBox, OpenBoxesKeepTheirTextsWhenTheTextsGo)
{
    auto text = std::make_unique<std::string>(300, 'x');
    (*text)[0] = 'A';
    MSGBOX *box = Open(text->c_str(), 1);
    ASSERT_NE(box, nullptr);
    MSGBOX *copied = Open("Short.", 2);
    ASSERT_NE(copied, nullptr);
    Ui_KeepMessageBoxTexts();
    text.reset();
    ASSERT_EQ(box->pszText, box->szText);
    EXPECT_EQ(std::strlen(box->pszText), size_t(MSGBOX_TEXT_COPY - 1)) << "cut to the copy's size";
    EXPECT_EQ(box->pszText[0], 'A');
    EXPECT_STREQ(copied->pszText, "Short.");
    Ui_KeepMessageBoxTexts();
    EXPECT_STREQ(copied->pszText, "Short.") << "a second call keeps the copy";
}

TEST_F(MsgBox, AnswersAndStacking)
{
    g_iScreen = 4;
    void *focus = g_pFocusWidget;
    MSGBOX *older = Open("older", 2);
    g_iScreen = SCREEN_MSGBOX;
    MSGBOX *newer = Open("newer", 1);
    ASSERT_NE(older, nullptr);
    ASSERT_NE(newer, nullptr);
    EXPECT_EQ(g_pCurrentMsgBox, newer);

    // Closing the newer box hands over to the older one and drops the newer's answer.
    Ui_MessageBoxAccept();
    EXPECT_TRUE(s_answers.empty());
    EXPECT_EQ(g_pCurrentMsgBox, older);
    EXPECT_EQ(g_pFocusWidget, older->pWindow);
    EXPECT_EQ(g_bModalBoxOpen, 1) << "a box is still open";

    // Right picks the second button; accepting answers it and restores screen and focus.
    Ui_MessageBoxRight();
    EXPECT_EQ(older->ucChosen, 1);
    Ui_MessageBoxRight();
    EXPECT_EQ(older->ucChosen, 0) << "wraps";
    Ui_MessageBoxLeft();
    EXPECT_EQ(older->ucChosen, 1);
    Ui_MessageBoxAccept();
    EXPECT_EQ(s_answers, std::vector<int>{1});
    EXPECT_EQ(g_iNextScreen, 4);
    EXPECT_EQ(g_pFocusWidget, focus);
    EXPECT_EQ(g_bModalBoxOpen, 0);
    EXPECT_EQ(g_pCurrentMsgBox, nullptr);

    // Closing again changes nothing.
    g_iNextScreen = -1;
    Ui_CloseMessageBox(older);
    EXPECT_EQ(g_iNextScreen, -1);
    EXPECT_EQ(s_answers.size(), 1u);
}

TEST_F(MsgBox, ButtonlessBoxIgnoresAcceptAndUserValues)
{
    MSGBOX *status = Open("Working...", 0);
    ASSERT_NE(status, nullptr);
    Ui_MessageBoxAccept();
    EXPECT_NE(status->pWindow, nullptr) << "no buttons, no accept";
    Ui_CloseMessageBox(status);

    for (uint32_t user : {0u, 77u}) {
        s_answers.clear();
        s_userValues.clear();
        MSGBOXREQUEST req{};
        req.pszText = "Sure?";
        req.ucButtonCount = 1;
        req.asButtonText[0] = 114;
        req.pfnAnswer = Answer;
        req.pfnUserAnswer = UserAnswer;
        req.uUserValue = user;
        g_iFrameCount += 10;
        ASSERT_NE(Ui_OpenMessageBox(&req), nullptr);
        Ui_MessageBoxAccept();
        if (user) {
            EXPECT_EQ(s_answers, std::vector<int>{100});
            EXPECT_EQ(s_userValues, std::vector<uint32_t>{77});
        } else {
            EXPECT_EQ(s_answers, std::vector<int>{0}) << "user value 0 uses the plain answer";
        }
    }
}

TEST_F(MsgBox, OperationResults)
{
    const struct
    {
        int32_t code, slot, text;
    } cases[] = {{22, 0, 564}, {22, 1, 565}, {23, 0, 566}, {23, 1, 567}, {10, 0, 310}, {20, 0, 348}, {21, 0, 348}};
    for (const auto &c : cases) {
        Ui_ResetMessageBoxes();
        MSGBOX *box = Ui_ShowOperationResult(c.code, c.slot);
        ASSERT_NE(box, nullptr) << c.code;
        EXPECT_STREQ(box->pszText, Ui_Text(c.text));
        EXPECT_EQ(box->ucButtonCount, 1);
        EXPECT_EQ(box->asButtonText[0], 114);
        ASSERT_NE(box->pfnAnswer, nullptr);
    }
    Ui_ResetMessageBoxes();
    EXPECT_EQ(Ui_ShowOperationResult(5), nullptr);
    // Out of memory leaves for the grid.
    MSGBOX *box = Ui_ShowOperationResult(20);
    ASSERT_NE(box, nullptr);
    Ui_MessageBoxAccept();
    EXPECT_EQ(g_iNextScreen, 0);
}

// A card-format result is remembered while it shows; its answer forgets it and goes back to the file
// screen when that screen is open, and leaves the screen alone when it is not.
TEST_F(MsgBox, FormatResultReturnsToTheFileScreen)
{
    for (const bool screenOpen : {true, false}) {
        Ui_ResetMessageBoxes();
        WINDOW fileScreen{};
        g_pFileBrowserWindow = screenOpen ? &fileScreen : nullptr;
        g_iScreen = 0; // the box found another screen: the answer must move to the file screen
        MSGBOX *box = Ui_ShowOperationResult(22, 1);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(g_pFormatResultBox, box);
        g_iScreen = SCREEN_MSGBOX;
        g_iNextScreen = -1;
        Ui_MessageBoxAccept();
        EXPECT_EQ(g_pFormatResultBox, nullptr) << screenOpen;
        if (screenOpen) {
            EXPECT_EQ(g_iNextScreen, ED_FILE_SCREEN);
            EXPECT_EQ(g_pFocusWidget, &fileScreen);
        }
        g_pFileBrowserWindow = nullptr;
    }
    // Other results are not remembered.
    Ui_ResetMessageBoxes();
    ASSERT_NE(Ui_ShowOperationResult(20), nullptr);
    EXPECT_EQ(g_pFormatResultBox, nullptr);
}

// Drawn in English and German: the texts must be whole and inside the box.
TEST_F(MsgBox, PicturesInEnglishAndGerman)
{
    for (int table : {0, 4}) {
        Ui_ResetMessageBoxes();
        Ui_UseBuiltinTexts(table);
        Frame();
        MSGBOXREQUEST req{};
        req.ucIcon = 0;
        req.pszText = Ui_Text(310);
        req.ucButtonCount = 2;
        req.asButtonText[0] = 110;
        req.asButtonText[1] = 112;
        ASSERT_NE(Ui_OpenMessageBox(&req), nullptr);
        Frame();
        Frame();
        if (const char *dir = std::getenv("TNV_MSGBOX_PNG_DIR"))
            TestLayer_WritePng(std::string(dir) + "/msgbox_" + std::to_string(table) + ".png");
        EXPECT_TRUE(TestLayer_GuardsIntact());
    }
}

// Answered through the pad as the frame dispatches it: screen 17's bindings move between the
// buttons and accept, and the screen the box found comes back.
TEST_F(MsgBox, AnsweredWithEachButtonThroughThePad)
{
    uint16_t buttons = 0xFFFF;
    Ui_BindScreenButtons();
    g_pPadButtons = &buttons;
    g_wPadPrevButtons = 0xFFFF;
    auto press = [&](int slot) {
        buttons = uint16_t(0xFFFF & ~(1u << slot));
        Sys_PadDispatch();
        buttons = 0xFFFF;
        Sys_PadDispatch();
    };
    for (int want : {0, 1}) {
        s_answers.clear();
        g_iScreen = 0;
        g_iFrameCount += 10;
        ASSERT_NE(Open("Keep this?", 2), nullptr);
        Sys_PadDispatch();
        ASSERT_EQ(g_iScreen, SCREEN_MSGBOX);
        if (want == 1)
            press(5); // next button
        press(14);    // accept
        EXPECT_EQ(s_answers, std::vector<int>{want});
        EXPECT_EQ(g_iScreen, 0) << "back to the grid";
        EXPECT_EQ(g_bModalBoxOpen, 0);
    }
    g_pPadButtons = &g_wPadWorkButtons;
    g_iNextScreen = -1;
}

// An out-of-memory report from an operation run out of a pop-up answers back to that pop-up.
TEST_F(MsgBox, OutOfMemoryFromAPopupReturnsToIt)
{
    g_iScreen = 0;
    POPUP *palette = Ui_OpenPopup(7, nullptr, 100, 69, 200, 200);
    ASSERT_NE(palette, nullptr);
    g_iScreen = 9;
    MSGBOX *box = Ui_ShowOperationResult(21);
    ASSERT_NE(box, nullptr);
    g_iScreen = SCREEN_MSGBOX;
    Ui_MessageBoxAccept();
    EXPECT_EQ(g_iNextScreen, 9);
    EXPECT_EQ(g_pFocusWidget, palette->window);
}

// The progress lines of the recording, mixdown and jam-start boxes, and room for them.
TEST_F(MsgBox, ProgressLines)
{
    struct
    {
        uint8_t flag;
        std::function<void()> set;
        const char *text;
        int32_t fill; // of a 100-pixel bar
    } cases[] = {
        {MSGBOX_RECORD_TIME, [] { g_iCdSampleRateCode = 1; g_iRecordedBytes = 44100 * 7 + 5; }, "7 Seconds", 0},
        {MSGBOX_RECORD_TIME, [] { g_iCdSampleRateCode = 0; g_iRecordedBytes = 0; }, "0 Seconds", 0},
        {MSGBOX_MIXDOWN_PERCENT, [] { g_iMixdownEnd = 199; g_uMixdownProgressRow = 50; }, "25 Percent", 25},
        {MSGBOX_MIXDOWN_PERCENT, [] { g_iMixdownEnd = 0; g_uMixdownProgressRow = 0; }, "0 Percent", 0},
        {MSGBOX_MIXDOWN_PERCENT, [] { g_iMixdownEnd = 9; g_uMixdownProgressRow = 99; }, "100 Percent", 100},
        {MSGBOX_JAM_COUNTDOWN,
         [] {
             const uint32_t now = Sys_GetMilliseconds();
             g_uiJamStartTime = now - 2000;
             g_uiJamSyncTime = now + 6000;
         },
         "7 seconds remaining...", 25},
        {MSGBOX_JAM_COUNTDOWN,
         [] {
             const uint32_t now = Sys_GetMilliseconds();
             g_uiJamStartTime = now - 9000;
             g_uiJamSyncTime = now - 1000;
         },
         "Connection Failed!", 100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Ui_ResetMessageBoxes();
        g_iFrameCount += 10;
        c.set();
        MSGBOXREQUEST req{};
        req.pszText = "Working...";
        req.ucFlags = c.flag;
        MSGBOX *box = Ui_OpenMessageBox(&req);
        ASSERT_NE(box, nullptr);
        char text[64];
        int32_t fill = -1;
        ASSERT_TRUE(Ui_MsgBoxProgress(box, text, sizeof text, 100, &fill));
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(fill, c.fill);
        g_iAttractLastActivity = 0;
        Frame(); // drawn without harm, and counted as activity
        EXPECT_TRUE(TestLayer_GuardsIntact());
        EXPECT_GE(g_iAttractLastActivity, g_iFrameCount.load() - 1) << "no idle demo over an open box";
    }
    g_iRecordedBytes = 0;

    // The mixdown box with its Stop button: the bar (last text line + 14 .. + 28) ends above the
    // button, whatever the text's length.
    for (const char *text : {"Saving.", "Saving the song as a wave file, which takes a while for a long song."}) {
        Ui_ResetMessageBoxes();
        g_iFrameCount += 10;
        MSGBOXREQUEST req{};
        req.pszText = text;
        req.ucFlags = MSGBOX_MIXDOWN_PERCENT;
        req.ucButtonCount = 1;
        req.asButtonText[0] = 514;
        MSGBOX *box = Ui_OpenMessageBox(&req);
        ASSERT_NE(box, nullptr);
        const int32_t barBottom = 8 + 12 * (box->lineCount - 1) + 28;
        EXPECT_LT(barBottom, box->height - 12 - 5 - 1) << text;
        g_iMixdownEnd = 99;
        g_uMixdownProgressRow = 40;
        Frame();
        Frame();
        if (const char *dir = std::getenv("TNV_MSGBOX_PNG_DIR"))
            TestLayer_WritePng(std::string(dir) + "/msgbox_mixdown_" + std::to_string(box->lineCount) + ".png");
        EXPECT_TRUE(TestLayer_GuardsIntact());
    }
    g_uMixdownProgressRow = 0;
    g_iMixdownEnd = 0;
    char text[8];
    int32_t fill;
    MSGBOX *plain = Open("No progress", 1);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(Ui_MsgBoxProgress(plain, text, sizeof text, 100, &fill));
}

// In mouse mode the pointer follows the choice onto the button.
TEST_F(MsgBox, PointerFollowsTheChoiceInMouseMode)
{
    for (bool mouse : {false, true}) {
        Ui_ResetMessageBoxes();
        g_iFrameCount += 10;
        g_ucMouseButtons = mouse ? MOUSE_MODE : 0;
        g_sMouseX = 5;
        g_sMouseY = 6;
        MSGBOX *box = Open("Which?", 2);
        ASSERT_NE(box, nullptr);
        Ui_MessageBoxRight();
        if (!mouse) {
            EXPECT_EQ(g_sMouseX, 5);
            EXPECT_EQ(g_sMouseY, 6);
            continue;
        }
        const int32_t x = box->pWindow->x + box->asButtonX[1], y = box->pWindow->y + box->height - 12 - 5 - 1;
        EXPECT_EQ(g_sMouseX, x + box->sButtonWidth - 4);
        EXPECT_EQ(g_sMouseY, y + 12 - 4);
        EXPECT_GT(g_sMouseX, x) << "on the button";
        EXPECT_LT(g_sMouseY, y + 12);
        Ui_MessageBoxLeft();
        EXPECT_EQ(g_sMouseX, box->pWindow->x + box->asButtonX[0] + box->sButtonWidth - 4);
    }
    g_ucMouseButtons = 0;
}

// A click on a button answers with that button, as the pad's accept does; a click beside the
// buttons answers nothing.
TEST_F(MsgBox, AnsweredWithEachButtonByAClick)
{
    Ui_BindScreenButtons();
    g_ucMouseButtons = MOUSE_MODE;
    for (int want : {-1, 0, 1}) {
        SCOPED_TRACE(want);
        s_answers.clear();
        g_iFrameCount += 10;
        g_iScreen = 0;
        MSGBOX *box = Open("Keep this?", 2);
        ASSERT_NE(box, nullptr);
        g_iScreen = SCREEN_MSGBOX;
        const WINDOW *w = box->pWindow;
        if (want < 0) {
            g_sMouseX = int16_t(w->x + 4);
            g_sMouseY = int16_t(w->y + 4);
        } else {
            g_sMouseX = int16_t(w->x + box->asButtonX[want] + box->sButtonWidth / 2);
            g_sMouseY = int16_t(w->y + box->height - 12);
        }
        Ui_MouseLeftPress(box->pWindow);
        if (want < 0) {
            EXPECT_TRUE(s_answers.empty());
            EXPECT_NE(box->pWindow, nullptr);
            Ui_CloseMessageBox(box);
            continue;
        }
        EXPECT_EQ(s_answers, std::vector<int>{want});
        EXPECT_EQ(box->pWindow, nullptr);
        EXPECT_EQ(g_iScreen, 0) << "the screen the box found";
    }
    g_ucMouseButtons = 0;
    g_iNextScreen = -1;
}
