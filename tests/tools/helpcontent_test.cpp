// The help page builder: the source format, its limits and the language fallback.
#include "tools/helpcontent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(HelpSource, PagesHaveTheirTitleThenParagraphsInCrLf)
{
    std::vector<std::string> pages;
    std::string err;
    ASSERT_TRUE(Help_ParseTopic("# a comment\n== First\nOne line\nand its rest.\n\nSecond para.\n== Caf\xc3\xa9\n",
                                pages, err))
        << err;
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], "First\r\nOne line and its rest.\r\n\r\nSecond para.\r\n");
    EXPECT_EQ(pages[1], "Caf\xe9\r\n") << "code page 1252";
}

TEST(HelpSource, BrokenSourcesAreRefusedNamingTheLine)
{
    struct Case
    {
        std::string text;
        const char *why;
    };
    const Case cases[] = {
        {"text first\n== Page\n", "line 1"},
        {"== Page\n\xff\xfe\n", "line 2"},
        {"== \n", "line 1"},
        {"== Big\n" + std::string(5000, 'x') + "\n", "more than 4095"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> pages;
        std::string err;
        EXPECT_FALSE(Help_ParseTopic(c.text, pages, err)) << c.text.substr(0, 20);
        EXPECT_NE(err.find(c.why), std::string::npos) << err;
    }
}

TEST(HelpSource, AnotherLanguageFallsBackToEnglishPageByPage)
{
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "helpsrc";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "help/english");
    std::filesystem::create_directories(dir / "help/french");
    std::ofstream(dir / "help/english/003.txt") << "== One\nEnglish one.\n== Two\nEnglish two.\n";
    std::ofstream(dir / "help/french/003.txt") << "== Un\nFran\xc3\xa7" "ais.\n";
    std::vector<CONTENTFILE> files;
    std::string err;
    ASSERT_TRUE(Content_HelpFiles(dir.string(), files, err)) << err;
    std::map<std::string, std::string> byPath;
    for (const CONTENTFILE &f : files)
        byPath[f.path] = std::string(f.data.begin(), f.data.end());
    EXPECT_EQ(byPath.size(), 10u) << "two pages in each of five languages";
    EXPECT_EQ(byPath["demohelp/FRENCH/003/000"], "Un\r\nFran\xe7" "ais.\r\n");
    EXPECT_EQ(byPath["demohelp/FRENCH/003/001"], "Two\r\nEnglish two.\r\n");
    EXPECT_EQ(byPath["demohelp/ITALIAN/003/000"], "One\r\nEnglish one.\r\n");

    std::ofstream(dir / "help/english/bad.txt") << "== X\n";
    EXPECT_FALSE(Content_HelpFiles(dir.string(), files, err));
    EXPECT_NE(err.find("bad.txt"), std::string::npos) << err;
    std::filesystem::remove_all(dir);
}

} // namespace
