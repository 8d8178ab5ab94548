// The introduction a new user meets at the first start: the help text window over the song grid,
// gone with the back key, never shown again, and closing itself when nobody reads it.
#include "spine_fixture.h"

#include "platform/settings_store.h"
#include "ui/help.h"
#include "ui/langtext.h"
#include "ui/toolbar.h"
#include "ui/widgets.h"

#include "support/studioprocess.h"

namespace
{

class IntroductionScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        setenv("TNV_FIRST_START", "1", 1);
        Plat_SettingsClear();
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_FIRST_START");
        Plat_SettingsClear();
        SpineTest::TearDown();
    }
    // A start of the studio; the settings carry over from the starts before it.
    int Start(int frames, const std::vector<std::string> &script, const std::string &png = "")
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        g_bModalBoxOpen = 0;
        if (!png.empty())
            setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        const int rc = Run(nullptr, frames, script);
        unsetenv("TNV_DUMP_FRAME");
        return rc;
    }
    static bool Seen()
    {
        char value[8] = {};
        return Plat_SettingsRead(SETTINGS_KEY, HELP_INTRODUCTION_SETTING, value, sizeof value) == 0 &&
               value[0] == '1';
    }
    // Pixels of the text window's background (20, 36, 44) in its text area.
    static int TextAreaPixels(const Picture &pic)
    {
        int n = 0;
        for (uint32_t y = 115 + 24; y < 115 + 244 && y < pic.height; y++)
            for (uint32_t x = 170 + 7; x < 170 + 293 && x < pic.width; x++) {
                const uint8_t *p = &pic.rgb[(size_t(y) * pic.width + x) * 3];
                n += std::abs(p[0] - 20) < 6 && std::abs(p[1] - 36) < 6 && std::abs(p[2] - 44) < 6;
            }
        return n;
    }
    // Bright text pixels in the same area.
    static int TextPixels(const Picture &pic)
    {
        int n = 0;
        for (uint32_t y = 115 + 24; y < 115 + 244 && y < pic.height; y++)
            for (uint32_t x = 170 + 7; x < 170 + 293 && x < pic.width; x++) {
                const uint8_t *p = &pic.rgb[(size_t(y) * pic.width + x) * 3];
                n += p[0] > 70 && p[1] > 70 && p[2] > 70;
            }
        return n;
    }
};

TEST_F(IntroductionScript, ShownAtTheFirstStartOnlyAndLeftWithTheBackKey)
{
    const std::vector<std::string> script = {"40 keydown Escape", "41 keyup Escape"};
    // The first start: behind the busy box, then the text window with the introduction.
    const std::string png = ::testing::TempDir() + "tnv_introduction.png";
    ASSERT_EQ(Start(30, script, png), 0);
    EXPECT_TRUE(Has("Ui_ShowIntroduction"));
    ASSERT_NE(g_pHelpTextWindow, nullptr) << "the introduction is open";
    EXPECT_EQ(g_ucHelpTopic, HELP_TOPIC_INTRODUCTION);
    ASSERT_FALSE(g_aHelpPages.empty());
    EXPECT_EQ(g_aHelpPages[0][0].rfind("Welcome to Tonnivelle", 0), 0u) << g_aHelpPages[0][0];
    EXPECT_GT(Ui_HelpLineCount(), 3);
    EXPECT_EQ(g_iScreen, SCREEN_HELPTEXT);
    EXPECT_TRUE(Seen()) << "the store remembers it was shown";
    const Picture pic = ReadPng(png);
    ASSERT_EQ(pic.width, 640u);
    EXPECT_GT(TextAreaPixels(pic), 30000) << "the text window over the grid: " << png;
    EXPECT_GT(TextPixels(pic), 300) << "with readable text: " << png;
    EXPECT_EQ(g_asHintBox[2], 0) << "no tip of the grid cell under the window: " << png;

    // The back key closes it: back on the grid, and no demo after a back.
    Plat_SettingsClear();
    ASSERT_EQ(Start(50, script), 0);
    EXPECT_EQ(g_pHelpTextWindow, nullptr);
    EXPECT_EQ(g_iScreen, 0) << "the song grid";
    EXPECT_FALSE(Has("Ed_AttractStartDemo"));

    // The next start goes straight to the grid.
    ASSERT_TRUE(Seen());
    ASSERT_EQ(Start(30, {}), 0);
    EXPECT_TRUE(Has("Ui_ShowIntroduction"));
    EXPECT_EQ(g_pHelpTextWindow, nullptr);
    EXPECT_EQ(g_iScreen, 0);
}

// Left alone, the introduction closes after 2000 counts of the frame counter without a key; a
// key while it is open starts the count again.
TEST_F(IntroductionScript, ClosesItselfWhenNobodyReadsIt)
{
    const int keyFrame = 300;
    const std::vector<std::string> script = {std::to_string(keyFrame) + " keydown Down",
                                             std::to_string(keyFrame + 1) + " keyup Down"};
    // The counter runs two counts a frame: the close is due 1000 frames after the key.
    ASSERT_EQ(Start(keyFrame + HELP_IDLE_CLOSE_FRAMES / 2 + 20, script), 0);
    int frame = 0, closed = -1, opened = -1;
    for (const std::string &l : Log()) {
        frame += l == "Ui_Frame";
        if (l == "Ui_HelpIdleClose" && closed < 0)
            closed = frame;
        if (l == "Ui_ShowIntroduction" && opened < 0)
            opened = frame;
    }
    ASSERT_GE(opened, 0);
    ASSERT_GT(closed, 0) << "the introduction closed by itself";
    EXPECT_GE(closed, keyFrame + HELP_IDLE_CLOSE_FRAMES / 2 - 2) << "not before the count after the key";
    EXPECT_LE(closed, keyFrame + HELP_IDLE_CLOSE_FRAMES / 2 + 5);
    EXPECT_EQ(Count("Ui_HelpIdleClose"), 1);
    EXPECT_EQ(g_pHelpTextWindow, nullptr);
    EXPECT_EQ(g_iScreen, 0) << "back on the song grid";
}

} // namespace
