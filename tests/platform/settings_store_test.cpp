#include "platform/backend.h"
#include "platform/settings_store.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char *const kKey = "Software\\Quillstone\\Tonnivelle Demo";

std::string Find(const std::string &text, const char *key, const char *name)
{
    char out[256] = "untouched";
    if (Plat_SettingsFind(text, key, name, out, sizeof out) != 0) {
        EXPECT_STREQ(out, "");
        return "<missing>";
    }
    return out;
}

const std::string kFile = "# written by hand\n"
                          "[Other]\n"
                          "Name=Not this one\n"
                          "\n"
                          "[software\\QUILLSTONE\\tonnivelle demo]\r\n"
                          "  Servername = Jam Room\r\n"
                          "GfxRes=2\n"
                          "Path=a=b\n"
                          "Name=\n"
                          "Name=second copy\n"
                          "no equals sign here\n"
                          "\n"
                          "[Later]\n"
                          "GfxRes=9\n";

} // namespace

TEST(SettingsText, FindsValuesWithoutRegardToCase)
{
    struct Row
    {
        const char *name;
        std::string want;
    } rows[] = {
        {"ServerName", " Jam Room"}, // name trimmed, value verbatim
        {"servername", " Jam Room"},
        {"GFXRES", "2"},
        {"Path", "a=b"},
        {"Name", ""}, // the first copy wins, even when empty
        {"Missing", "<missing>"},
        {"no equals sign here", "<missing>"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(Find(kFile, kKey, r.name), r.want) << r.name;
    EXPECT_EQ(Find(kFile, "Other", "name"), "Not this one");
    EXPECT_EQ(Find(kFile, "Absent", "Name"), "<missing>");
    EXPECT_EQ(Find("", kKey, "Name"), "<missing>");
}

TEST(SettingsText, UpdateTouchesOnlyItsLine)
{
    std::string out;
    ASSERT_TRUE(Plat_SettingsUpdate(kFile, kKey, "GFXRES", "3", &out));
    EXPECT_EQ(Find(out, kKey, "GfxRes"), "3");
    EXPECT_EQ(Find(out, "Later", "GfxRes"), "9");
    std::string expected = kFile;
    expected.replace(expected.find("GfxRes=2"), 8, "GfxRes=3");
    EXPECT_EQ(out, expected);

    // A new name goes at the end of its key, before the next one.
    ASSERT_TRUE(Plat_SettingsUpdate(kFile, kKey, "MIDIInDevice", "1", &out));
    EXPECT_NE(out.find("no equals sign here\nMIDIInDevice=1\n\n[Later]"), std::string::npos);
    EXPECT_EQ(Find(out, kKey, "midiindevice"), "1");

    // A CRLF line keeps its CR.
    ASSERT_TRUE(Plat_SettingsUpdate(kFile, kKey, "servername", "Studio", &out));
    EXPECT_NE(out.find("  Servername =Studio\r\n"), std::string::npos);
    EXPECT_EQ(Find(out, kKey, "ServerName"), "Studio");

    // A new key goes at the end, even after a last line without its line break.
    ASSERT_TRUE(Plat_SettingsUpdate("x", kKey, "Name", "Ann", &out));
    EXPECT_EQ(out, std::string("x\n\n[") + kKey + "]\nName=Ann\n");
}

TEST(SettingsText, RefusesWhatCannotBeReadBack)
{
    struct Row
    {
        const char *name;
        const char *value;
    } rows[] = {
        {"", "x"}, {"   ", "x"}, {"a=b", "x"}, {"a\nb", "x"}, {"[x]", "x"},
        {"Name", "two\nlines"}, {"Name", "cr\r"},
    };
    for (const Row &r : rows) {
        std::string out = "unchanged";
        EXPECT_FALSE(Plat_SettingsUpdate("", kKey, r.name, r.value, &out)) << r.name;
        EXPECT_EQ(out, "unchanged");
    }
    std::string out;
    EXPECT_FALSE(Plat_SettingsUpdate("", "bad]key", "Name", "x", &out));
}

TEST(SettingsText, LongNamesAndValuesAreCut)
{
    std::string longName(400, 'n');
    std::string longValue(400, 'v');
    std::string text;
    ASSERT_TRUE(Plat_SettingsUpdate("", kKey, longName.c_str(), longValue.c_str(), &text));
    EXPECT_EQ(Find(text, kKey, longName.c_str()), std::string(PLAT_SETTING_MAX, 'v'));
    EXPECT_EQ(Find(text, kKey, longName.substr(0, PLAT_SETTING_MAX).c_str()),
              std::string(PLAT_SETTING_MAX, 'v'));

    // A small buffer is filled and terminated.
    char small[5];
    ASSERT_EQ(Plat_SettingsFind(text, kKey, longName.c_str(), small, sizeof small), 0);
    EXPECT_STREQ(small, "vvvv");
}

TEST(SettingsText, HostileBytesAreHarmless)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 131) & 0xFF);
    std::string text = junk + "\n[" + kKey + "]\n" + std::string(300000, '=') + "\n" +
                       std::string("Name=Ann\0bel\n", 13) + "GfxRes" + '\0' + "=5\n";
    text += "Language=" + std::string(100000, 'x') + "\n";
    EXPECT_EQ(Find(text, kKey, "Name"), "Ann");
    EXPECT_EQ(Find(text, kKey, "Language"), std::string(255, 'x'));
    std::string out;
    ASSERT_TRUE(Plat_SettingsUpdate(text, kKey, "Name", "Bo", &out));
    EXPECT_EQ(out.substr(0, junk.size()), junk); // the rest is written back as it was
    EXPECT_EQ(Find(out, kKey, "Name"), "Bo");
}

class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = m_dir.File("conf/tonnivelle/settings.ini");
        setenv("TNV_SETTINGS", m_path.c_str(), 1);
        Plat_SetBackend(PLAT_BACKEND_REAL);
    }
    void TearDown() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        unsetenv("TNV_SETTINGS");
    }
    std::string Read(const char *name)
    {
        char out[256];
        return Plat_SettingsRead(kKey, name, out, sizeof out) == 0 ? std::string(out) : "<missing>";
    }

    TempDir m_dir;
    std::string m_path;
};

TEST_F(SettingsFile, RoundTripThroughTheFile)
{
    EXPECT_EQ(Read("Name"), "<missing>");
    ASSERT_EQ(Plat_SettingsWrite(kKey, "ServerName", "Jam Room"), 0); // folders made on the way
    ASSERT_EQ(Plat_SettingsWrite(kKey, "GfxRes", "2"), 0);
    ASSERT_EQ(Plat_SettingsWrite(kKey, "Servername", "Studio"), 0);
    EXPECT_EQ(ReadTextFile(m_path), std::string("[") + kKey + "]\nServerName=Studio\nGfxRes=2\n");
    EXPECT_EQ(Read("SERVERNAME"), "Studio");
    EXPECT_EQ(Read("gfxres"), "2");
    // Nothing but the file itself is left in its folder.
    int entries = 0;
    for (auto &e : std::filesystem::directory_iterator(m_dir.File("conf/tonnivelle")))
        entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
}

TEST_F(SettingsFile, OversizedFileIsNeitherReadNorReplaced)
{
    std::filesystem::create_directories(m_dir.File("conf/tonnivelle"));
    std::string big = std::string("[") + kKey + "]\nName=Ann\n" +
                      std::string(PLAT_SETTINGS_MAX_FILE + 10, 'z');
    WriteTextFile(m_path, big);
    EXPECT_EQ(Read("Name"), "<missing>");
    EXPECT_NE(Plat_SettingsWrite(kKey, "Name", "Bo"), 0);
    EXPECT_EQ(ReadTextFile(m_path), big);
}

TEST_F(SettingsFile, FolderInPlaceOfTheFileIsRefused)
{
    std::filesystem::create_directories(m_path);
    EXPECT_EQ(Read("Name"), "<missing>");
    EXPECT_NE(Plat_SettingsWrite(kKey, "Name", "Bo"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(m_path));
}

TEST(SettingsPath, FollowsTheEnvironment)
{
    const char *oldXdg = getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    unsetenv("TNV_SETTINGS");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(Plat_SettingsPath(), "/cfg/tonnivelle/settings.ini");
    setenv("TNV_SETTINGS", "/elsewhere.ini", 1);
    EXPECT_EQ(Plat_SettingsPath(), "/elsewhere.ini");
    unsetenv("TNV_SETTINGS");
    if (oldXdg)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(SettingsHeadless, KeepsValuesInMemory)
{
    ASSERT_TRUE(Plat_IsHeadless());
    Plat_SettingsClear();
    char out[16];
    EXPECT_EQ(Plat_SettingsRead(kKey, "Name", out, sizeof out), -1);
    ASSERT_EQ(Plat_SettingsWrite(kKey, "Name", "Ann"), 0);
    ASSERT_EQ(Plat_SettingsRead(kKey, "NAME", out, sizeof out), 0);
    EXPECT_STREQ(out, "Ann");
    EXPECT_NE(Plat_SettingsWrite(kKey, "Name", "a\nb"), 0);
    Plat_SettingsClear();
    EXPECT_EQ(Plat_SettingsRead(kKey, "Name", out, sizeof out), -1);
}
