// Help pages: wrapping, loading a topic from the archive (missing and oversized files), and the
// text window's scrolling and paging.
#include "support/wadfixture.h"

#include "editors/chaseeditor.h"
#include "ui/help.h"
#include "ui/langtext.h"
#include "ui/widgets.h"
#include "video/chase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Six pixels a character, the blank included.
int32_t FixedWidth(const char *text)
{
    return int32_t(std::strlen(text)) * 6;
}

std::vector<std::string> Wrap(const std::string &text, int32_t width, int32_t *count = nullptr)
{
    char out[512];
    int32_t lines = -1;
    const int32_t written = Ui_WrapHelpText(out, sizeof out, text.c_str(), width, int32_t(text.size()), &lines);
    std::vector<std::string> result;
    for (int32_t at = 0; at < written;) {
        result.emplace_back(out + at);
        at += int32_t(std::strlen(out + at)) + 1;
    }
    if (count)
        *count = lines;
    EXPECT_EQ(int32_t(result.size()), lines) << "the count names every line written";
    return result;
}

class HelpText : public ::testing::Test
{
protected:
    void SetUp() override { g_pfnHelpMeasure = FixedWidth; }
    void TearDown() override
    {
        g_aHelpPages.clear();
        g_pHelpTextWindow = nullptr;
        g_cHelpScrollDir = g_cHelpScrollOffset = 0;
        g_sHelpScrollLine = 0;
        g_ucHelpPage = g_ucHelpPageCount = 0;
    }
};

TEST_F(HelpText, WrapsWordsAtTheWidthAndEndsLinesAtLineFeeds)
{
    struct Case
    {
        const char *text;
        int32_t width;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // A word that does not fit starts the next line without its blank.
        {"one two three four", 60, {"one two", "three four"}},
        // CR is skipped; LF ends the line with a blank.
        {"Title\r\nBody text\r\n", 200, {"Title ", "Body text "}},
        // An empty line between paragraphs stays an empty line.
        {"Title\r\n\r\nText", 200, {"Title ", " ", "Text"}},
        // The last line counts without a line feed.
        {"a b", 200, {"a b"}},
        // A word wider than the line stands alone rather than being lost.
        {"ab abcdefghijklmnop cd", 30, {"ab", "abcdefghijklmnop", "cd"}},
        {"", 100, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Wrap(c.text, c.width), c.lines) << c.text;
}

TEST_F(HelpText, WrapNeverWritesPastItsDestination)
{
    const std::string text(3000, 'x');
    char out[64];
    std::memset(out, 0x55, sizeof out);
    int32_t lines = 0;
    const int32_t written = Ui_WrapHelpText(out, 32, text.c_str(), 60, int32_t(text.size()), &lines);
    EXPECT_LE(written, 32);
    EXPECT_EQ(out[40], 0x55);
}

std::vector<std::string> Page(int bodyLines)
{
    std::vector<std::string> page{"Title"};
    for (int i = 0; i < bodyLines; i++)
        page.push_back("line " + std::to_string(i));
    return page;
}

TEST_F(HelpText, ALongPageScrollsTwoPixelsAFrameAndOneLineInSixFrames)
{
    static WINDOW window{};
    g_pHelpTextWindow = &window;
    g_aHelpPages = {Page(30), Page(5)};
    g_ucHelpPageCount = 2;
    g_ucHelpPage = 0;
    Ui_ShowHelpPage();
    int frames = 0;
    for (int line = 1; line <= 12; line++) {
        Ui_HelpScrollDown();
        ASSERT_EQ(g_cHelpScrollDir, -2) << "a scroll starts at line " << line - 1;
        for (int f = 1; f <= 6; f++, frames++) {
            Ui_HelpScrollStep();
            if (f < 6) {
                EXPECT_EQ(g_cHelpScrollOffset, -2 * f);
            }
        }
        EXPECT_EQ(g_sHelpScrollLine, line);
        EXPECT_EQ(g_cHelpScrollDir, 0);
    }
    EXPECT_EQ(frames, 72);
    ASSERT_NE(g_pHelpFirstLine, nullptr);
    EXPECT_STREQ(g_pHelpFirstLine, "line 11") << "the line above the view is drawn too";
    Ui_HelpScrollDown();
    EXPECT_EQ(g_cHelpScrollDir, 0) << "30 lines scroll 12 lines, no more";

    // Back up one line; paging is refused while that scroll runs, then allowed.
    Ui_HelpScrollUp();
    Ui_HelpScrollStep();
    Ui_HelpNextPage();
    EXPECT_EQ(g_ucHelpPage, 0);
    for (int f = 0; f < 5; f++)
        Ui_HelpScrollStep();
    EXPECT_EQ(g_sHelpScrollLine, 11);
    Ui_HelpNextPage();
    EXPECT_EQ(g_ucHelpPage, 1);
    EXPECT_EQ(g_sHelpScrollLine, 0) << "a new page starts at its top";

    // 18 lines or fewer fit: no scroll; and the last page does not page on.
    g_aHelpPages[1] = Page(18);
    Ui_HelpScrollDown();
    EXPECT_EQ(g_cHelpScrollDir, 0);
    Ui_HelpNextPage();
    EXPECT_EQ(g_ucHelpPage, 1);
    Ui_HelpPrevPage();
    EXPECT_EQ(g_ucHelpPage, 0);
    Ui_HelpPrevPage();
    EXPECT_EQ(g_ucHelpPage, 0);
}

class HelpArchive : public WadTest
{
protected:
    void SetUp() override
    {
        WadTest::SetUp();
        g_pfnHelpMeasure = FixedWidth;
        g_ucLanguage = 0;
    }
    void TearDown() override
    {
        g_aHelpPages.clear();
        WadTest::TearDown();
    }
    // demohelp/ENGLISH/001 with the given pages (name, text).
    void Build(const std::vector<std::pair<std::string, std::string>> &pages)
    {
        PACKDIR root;
        PACKDIR &topic = Pack_Dir(root, "demohelp/ENGLISH/001");
        for (const auto &[name, text] : pages)
            topic.files.push_back(File(name, text));
        for (const char *d : {"N", "R", "PERF", "CHASES", "JAMTEM", "AUTO", "BOOT"})
            Pack_Dir(root, d);
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1);
    }
    void Load(int topic, int count)
    {
        g_ucHelpTopic = uint8_t(topic);
        g_ucHelpPageCount = uint8_t(count);
        g_ucHelpPage = 0;
        EXPECT_EQ(Ui_LoadHelpPages(), 0);
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> out;
        for (const auto &p : g_aHelpPages)
            out.push_back(p[0]);
        return out;
    }
};

TEST_F(HelpArchive, ATopicWithFewerFilesListsTheFoundPagesInOrder)
{
    // Eight items ask for nine pages; five exist, one missing in the middle.
    Build({{"000", "Overview\r\nAll about it.\r\n"},
           {"001", "First\r\nOne.\r\n"},
           {"003", "Third\r\nThree.\r\n"},
           {"004", "Fourth\r\n"},
           {"005", ""}});
    Load(1, 9);
    EXPECT_EQ(g_ucHelpPageCount, 5);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Overview ", "First ", "Third ", "Fourth ", ""}))
        << "no gap for the missing page, and an empty file is an empty page of its own";
    g_ucHelpPage = 1;
    EXPECT_EQ(Ui_HelpLineCount(), 1);
    g_ucHelpPage = 4;
    EXPECT_EQ(Ui_HelpLineCount(), 0);
}

TEST_F(HelpArchive, AnOversizedFileIsCutAtTheReadAreaAndAMissingTopicIsEmpty)
{
    std::string big = "Big\r\n";
    while (big.size() < 6000)
        big += "word ";
    Build({{"000", big}});
    std::memset(g_acHelpReadArea, 0, sizeof g_acHelpReadArea);
    EXPECT_EQ(Ui_ReadHelpFile("/demohelp/ENGLISH/001/000"), HELP_READ_BYTES - 1);
    EXPECT_EQ(g_acHelpReadArea[HELP_READ_BYTES - 1], 0) << "the area keeps its terminator";
    Load(1, 1);
    ASSERT_EQ(g_ucHelpPageCount, 1);
    EXPECT_EQ(g_aHelpPages[0][0], "Big ");

    // A topic folder that is not there: its pages are empty, and nothing is read.
    Load(7, 3);
    EXPECT_EQ(g_ucHelpPageCount, 3);
    for (const auto &page : g_aHelpPages)
        EXPECT_EQ(page, std::vector<std::string>{""});
    EXPECT_EQ(Ui_ReadHelpFile("no-slash"), 0);
}

// The clip editor's help: on an effect clip its pages are topic 103; its overview (topic 14,
// page 0) describes the edited chase's type from topic 102, by the type's stored id.
TEST_F(HelpArchive, TheClipEditorHelpFollowsTheClipAndTheEditedChaseType)
{
    PACKDIR root;
    auto add = [&](const char *dir, const char *name, const char *text) {
        Pack_Dir(root, dir).files.push_back(File(name, text));
    };
    add("demohelp/ENGLISH/014", "000", "Clip editor\r\n");
    add("demohelp/ENGLISH/014", "001", "Fullscreen\r\n");
    add("demohelp/ENGLISH/102", "000", "Chase types\r\n");
    add("demohelp/ENGLISH/102", "005", "Path\r\nMoves things.\r\n");
    for (const char *d : {"N", "R", "PERF", "CHASES", "JAMTEM", "AUTO", "BOOT"})
        Pack_Dir(root, d);
    PackAndWrite(root);
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1);

    WINDOW fakeEditor{};
    CHASEDEF def{};
    CHASE chase{};
    chase.pDef = &def;
    struct Case
    {
        const char *what;
        bool editorOpen;
        uint8_t flags;
        int page;
        int topic;
    };
    const Case topics[] = {
        {"object clip", true, CHASEEDIT_OBJECT, 14, 14},
        {"effect clip, list page", true, CHASEEDIT_EFFECT, 10, HELP_TOPIC_CHASE_SELECT},
        {"effect clip, parameter page", true, CHASEEDIT_EFFECT, 11, HELP_TOPIC_CHASE_SELECT},
        {"effect clip, empty clip page", true, CHASEEDIT_EFFECT, 14, HELP_TOPIC_CHASE_SELECT},
        {"effect clip, effect type list keeps its own", true, CHASEEDIT_EFFECT, 23, 23},
        {"flag left over, editor closed", false, CHASEEDIT_EFFECT, 14, 14},
        {"song grid", false, 0, 0, 0},
    };
    for (const Case &c : topics) {
        g_pChaseEditWindow = c.editorOpen ? &fakeEditor : nullptr;
        g_ucChaseEditFlags = c.flags;
        EXPECT_EQ(Ui_HelpTopicForPage(c.page), c.topic) << c.what;
    }
    g_pChaseEditWindow = nullptr;
    g_ucChaseEditFlags = 0;

    struct Overview
    {
        const char *what;
        CHASE *edited;
        uint16_t storedId;
        std::vector<std::string> titles;
    };
    const Overview overviews[] = {
        {"a type with its page", &chase, 5, {"Path ", "Fullscreen "}},
        {"a type without a page", &chase, 7, {"Clip editor ", "Fullscreen "}},
        {"an id out of range", &chase, 300, {"Clip editor ", "Fullscreen "}},
        {"no chase edited", nullptr, 5, {"Clip editor ", "Fullscreen "}},
    };
    for (const Overview &o : overviews) {
        def.uStoredId = o.storedId;
        g_pEditChase = o.edited;
        Load(14, 2);
        EXPECT_EQ(Titles(), o.titles) << o.what;
        EXPECT_EQ(g_ucHelpPageCount, 2) << o.what;
    }
    g_pEditChase = nullptr;
}

} // namespace

#include "tools/helpcontent.h"
#include "ui/menupages.h"

#include <fstream>
#include <iterator>

namespace {

// Every menu page with a "Help" item has a help topic whose page 0 is an overview and whose
// page n is titled as the page's item n, so the topic list reads like the menu.
TEST(HelpContent, EveryMenuTopicNamesItsItemsInOrder)
{
    int topics = 0;
    for (int page = 0; page < MENU_PAGES; page++) {
        const uint8_t *items = g_atMenuPageTable[page].items;
        int count = 0;
        bool hasHelp = false;
        while (count < MENU_PAGE_ITEMS && items[count] != MENU_LIST_END)
            hasHelp |= items[count++] == 11;
        if (!hasHelp)
            continue;
        char name[64];
        std::snprintf(name, sizeof name, "%s/data/help/english/%.3d.txt", TNV_TEST_SOURCE_DIR, page);
        std::ifstream file(name, std::ios::binary);
        ASSERT_TRUE(file) << name;
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<std::string> pages;
        std::string err;
        ASSERT_TRUE(Help_ParseTopic(text, pages, err)) << name << ": " << err;
        ASSERT_EQ(int(pages.size()), count + 1) << name;
        for (int i = 0; i < count; i++) {
            const std::string title = pages[size_t(i + 1)].substr(0, pages[size_t(i + 1)].find("\r\n"));
            EXPECT_EQ(title, g_aapszBuiltinText[0][g_atMenuItemTable[items[i]].text]) << name << " page " << i + 1;
        }
        topics++;
    }
    EXPECT_GE(topics, 20);

    auto parse = [](int topic) {
        char name[64];
        std::snprintf(name, sizeof name, "%s/data/help/english/%.3d.txt", TNV_TEST_SOURCE_DIR, topic);
        std::ifstream file(name, std::ios::binary);
        EXPECT_TRUE(file) << name;
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<std::string> pages, titles;
        std::string err;
        EXPECT_TRUE(Help_ParseTopic(text, pages, err)) << name << ": " << err;
        for (const std::string &p : pages)
            titles.push_back(p.substr(0, p.find("\r\n")));
        return titles;
    };
    // The effect clip's pages are the clip editor's items; the chase types' page n is the type
    // songs store as id n.
    const std::vector<std::string> clip = parse(14), effect = parse(HELP_TOPIC_CHASE_SELECT);
    ASSERT_EQ(effect.size(), clip.size());
    for (size_t i = 1; i < clip.size(); i++)
        EXPECT_EQ(effect[i], clip[i]) << "page " << i;
    const std::vector<std::string> types = parse(HELP_TOPIC_CHASE_TYPES);
    ASSERT_EQ(types.size(), 21u);
    for (uint16_t id = 1; id <= 20; id++) {
        CHASEDEF def{};
        def.uStoredId = id;
        EXPECT_EQ(types[id], Ed_ChaseTypeName(&def)) << "stored id " << id;
    }
    for (int fixed : {100, 107, 108}) {
        char name[64];
        std::snprintf(name, sizeof name, "%s/data/help/english/%.3d.txt", TNV_TEST_SOURCE_DIR, fixed);
        EXPECT_TRUE(std::ifstream(name).good()) << name;
    }
}

} // namespace
