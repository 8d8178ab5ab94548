#include "app/settings.h"
#include "platform/backend.h"
#include "platform/settings_store.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// Every test starts from the values the program has before loading.
class Settings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SettingsClear();
        std::strcpy(g_szServerName, "New Server");
        std::strcpy(g_szPlayerName, "New Player");
        g_iGfxRes = -1;
        g_iGfxDevice = g_iAudioInDevice = g_iAudioOutDevice = g_iMidiInDevice = 7;
        setenv("TNV_DATA_DIR", m_dir.Path().c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        Plat_SettingsClear();
    }
    static void Put(const char *name, const char *value)
    {
        ASSERT_EQ(Plat_SettingsWrite(SETTINGS_KEY, name, value), 0);
    }

    TempDir m_dir;
};

} // namespace

TEST_F(Settings, FirstStartDefaults)
{
    Sys_LoadSettings();
    EXPECT_STREQ(g_szProductName, "Tonnivelle Demo");
    EXPECT_STREQ(g_szLanguage, "ENGLISH");
    EXPECT_EQ(std::string(g_szDataDir), m_dir.Path() + "\\");
    const char *home = getenv("HOME");
    EXPECT_EQ(std::string(g_szBaseDir), std::string(home ? home : "") + "/Tonnivelle\\");
    EXPECT_STREQ(g_szServerName, "New Server");
    EXPECT_STREQ(g_szPlayerName, "New Player");
    EXPECT_EQ(g_iGfxRes, 0); // the built-in -1 is replaced
    EXPECT_EQ(g_iGfxDevice, 0);
    EXPECT_EQ(g_iAudioInDevice, 0);
    EXPECT_EQ(g_iAudioOutDevice, 0);
    EXPECT_EQ(g_iMidiInDevice, 0);
}

TEST_F(Settings, ValuesAndTheirConversions)
{
    Put("language", "Deutsch");
    Put("BASEDIR", "/home/ann/Songs");
    Put("DataDir", "/opt/tnv/data");
    Put("Servername", "Friday Jam");
    Put("GfxRes", "2");
    Put("GfxDevice", "1");
    Put("AudioInDevice", "3");
    Put("AudioOutDevice", "-1");
    Put("MIDIInDevice", "99999999999"); // out of range: clamped, not undefined
    Put("Name", "");                    // empty keeps the built-in name
    Sys_LoadSettings();
    EXPECT_STREQ(g_szLanguage, "DEUTSCH");
    EXPECT_STREQ(g_szBaseDir, "/home/ann/Songs\\");
    EXPECT_STREQ(g_szDataDir, "/opt/tnv/data\\");
    EXPECT_STREQ(g_szServerName, "Friday Jam");
    EXPECT_STREQ(g_szPlayerName, "New Player");
    EXPECT_EQ(g_iGfxRes, 2);
    EXPECT_EQ(g_iGfxDevice, 1);
    EXPECT_EQ(g_iAudioInDevice, 3);
    EXPECT_EQ(g_iAudioOutDevice, -1);
    EXPECT_EQ(g_iMidiInDevice, 2147483647);
}

TEST_F(Settings, LongValuesStayInsideTheirBuffers)
{
    std::string longText(255, 'q');
    Put("Servername", longText.c_str());
    Put("Name", longText.c_str());
    Put("DataDir", longText.c_str());
    Sys_LoadSettings();
    EXPECT_EQ(std::string(g_szServerName), std::string(127, 'q'));
    EXPECT_EQ(std::string(g_szPlayerName), std::string(63, 'q'));
    EXPECT_EQ(std::string(g_szDataDir), std::string(254, 'q') + "\\");
}

TEST_F(Settings, SavedValuesComeBackUnderAnyCase)
{
    std::strcpy(g_szServerName, "Saturday Jam");
    std::strcpy(g_szPlayerName, "Ann");
    EXPECT_EQ(Sys_SaveSetting("ServerName", g_szServerName), 0);
    EXPECT_EQ(Sys_SaveSetting("Name", g_szPlayerName), 0);
    EXPECT_EQ(Sys_SaveSetting("GfxRes", "4"), 0);
    EXPECT_NE(Sys_SaveSetting("Name", "two\nlines"), 0);
    // A caller's text that is not terminated within 256 bytes is cut, never over-read.
    char unterminated[300];
    std::memset(unterminated, 'u', sizeof unterminated);
    EXPECT_EQ(Sys_SaveSetting("Language", unterminated), 0);

    std::strcpy(g_szServerName, "New Server");
    std::strcpy(g_szPlayerName, "New Player");
    Sys_LoadSettings();
    EXPECT_STREQ(g_szServerName, "Saturday Jam"); // read back as "Servername"
    EXPECT_STREQ(g_szPlayerName, "Ann");
    EXPECT_EQ(g_iGfxRes, 4);
    EXPECT_EQ(std::string(g_szLanguage), std::string(255, 'U'));
}

TEST_F(Settings, RoundTripThroughTheSettingsFile)
{
    std::string file = m_dir.File("settings.ini");
    setenv("TNV_SETTINGS", file.c_str(), 1);
    Plat_SetBackend(PLAT_BACKEND_REAL);
    EXPECT_EQ(Sys_SaveSetting("ServerName", "Loft"), 0);
    EXPECT_EQ(Sys_SaveSetting("AudioOutDevice", "2"), 0);
    Sys_LoadSettings();
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    unsetenv("TNV_SETTINGS");
    EXPECT_EQ(ReadTextFile(file),
              "[Software\\Quillstone\\Tonnivelle Demo]\nServerName=Loft\nAudioOutDevice=2\n");
    EXPECT_STREQ(g_szServerName, "Loft");
    EXPECT_EQ(g_iAudioOutDevice, 2);
    EXPECT_EQ(std::string(g_szDataDir), m_dir.Path() + "\\"); // still the default
}

TEST_F(Settings, HostileFileLeavesDefaults)
{
    std::string file = m_dir.File("settings.ini");
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    bytes += "\n[Software\\Quillstone\\Tonnivelle Demo]\nGfxRes=" + std::string(5000, '7') +
             "\nName=" + std::string(1 << 16, 'n') + "\n";
    WriteTextFile(file, bytes);
    setenv("TNV_SETTINGS", file.c_str(), 1);
    Plat_SetBackend(PLAT_BACKEND_REAL);
    Sys_LoadSettings();
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    unsetenv("TNV_SETTINGS");
    EXPECT_EQ(g_iGfxRes, 2147483647);
    EXPECT_EQ(std::string(g_szPlayerName), std::string(63, 'n'));
    EXPECT_STREQ(g_szLanguage, "ENGLISH");
}

TEST_F(Settings, DataAndBasePaths)
{
    std::filesystem::create_directories(m_dir.File("Language"));
    WriteTextFile(m_dir.File("Language/English.TXT"), "x");
    Sys_LoadSettings();
    std::string root = m_dir.Path();
    EXPECT_EQ(std::string(Sys_MakeDataPath("language\\english.txt")),
              root + "/Language/English.TXT");
    EXPECT_EQ(std::string(Sys_MakeDataPath("WADS\\demowad.IND")), root + "/WADS/demowad.IND");
    char *shared = Sys_MakeDataPath("a");
    EXPECT_EQ(shared, g_szPathBuffer);
    EXPECT_EQ(std::string(shared), root + "/a");

    std::strcpy(g_szBaseDir, "/home/ann/Tonnivelle\\");
    EXPECT_STREQ(Sys_MakeBasePath("songs\\x.tnv"), "/home/ann/Tonnivelle/songs/x.tnv");
    // A path that does not fit comes back empty, so opening it fails cleanly.
    std::string huge(PATH_BUFFER_SIZE, 'h');
    EXPECT_STREQ(Sys_MakeDataPath(huge.c_str()), "");
}
