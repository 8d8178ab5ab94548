// The "Language" setting through the studio's own start-up: with "DEUTSCH" the song grid's page
// menu, opened by a right click, is German; the frame is dumped for a person to look at.
#include "spine_fixture.h"

#include "app/settings.h"
#include "platform/settings_store.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"

#include <filesystem>

namespace
{

class LanguageScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        m_mouseButtons = g_ucMouseButtons;
        Plat_SettingsClear();
        ResetPageMenus();
        g_ucMouseButtons = 0; // start-up switches mouse use on
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        Plat_SettingsClear();
        Ui_UseBuiltinTexts(0);
        g_ucLanguage = LANGUAGE_ENGLISH;
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_ucMouseButtons = m_mouseButtons; // the mouse use as the test found it
        SpineTest::TearDown();
    }
    uint8_t m_mouseButtons = 0;
};

TEST_F(LanguageScript, DeutschGivesAGermanPageMenu)
{
    const std::string picture = ::testing::TempDir() + "tnv_pagemenu_deutsch.png";
    std::remove(picture.c_str());
    setenv("TNV_DUMP_FRAME", picture.c_str(), 1);
    ASSERT_EQ(Plat_SettingsWrite(SETTINGS_KEY, "Language", "deutsch"), 0);
    ASSERT_EQ(Run(nullptr, 30, {"10 mousedown 2", "11 mouseup 2"}), 0);
    EXPECT_EQ(g_ucLanguage, LANGUAGE_DEUTSCH);
    ASSERT_NE(g_pPageMenuPopup, nullptr);
    EXPECT_STREQ(g_pPageMenuPopup->title, "Song-Spur");
    EXPECT_STREQ(reinterpret_cast<const char *>(Ui_ListRowBuffer(g_pPageMenuPopup->list, 1) + 2),
                 "Riff einf\xFC"
                 "gen");
    EXPECT_TRUE(std::filesystem::exists(picture));
}

} // namespace
