#include "platform/dynlib.h"
#include "support/tempdir.h"
#include "support/testplugins.h"

#include <gtest/gtest.h>

#include <string>

// Only absolute paths of real libraries open; what fails says why and loads nothing.
TEST(DynLib, OpensOnlyAbsolutePathsOfLibraries)
{
    TempDir dir;
    WriteTextFile(dir.File("text.so"), "not a library at all\n");
    const std::string good = TestPluginPath("good", "filter");
    struct
    {
        std::string path;
        bool opens;
    } cases[] = {
        {good, true},
        {"filter.so", false},                           // a bare name would use the search path
        {"tests/plugins/good/filter.so", false},        // relative: the working folder
        {dir.File("missing.so"), false},
        {dir.File("text.so"), false},
        {dir.Path(), false},
        {"", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        PLATDYNLIB *lib = Plat_DynLibOpen(c.path.c_str());
        EXPECT_EQ(lib != nullptr, c.opens);
        if (!lib) {
            EXPECT_STRNE(Plat_DynLibError(), "");
        }
        Plat_DynLibClose(lib);
    }
    EXPECT_EQ(Plat_DynLibOpen(nullptr), nullptr);
}

TEST(DynLib, SymbolsAndUnloading)
{
    const std::string path = TestPluginPath("broken", "filter");
    ASSERT_FALSE(LibraryIsMapped(path));
    PLATDYNLIB *lib = Plat_DynLibOpen(path.c_str());
    ASSERT_NE(lib, nullptr);
    EXPECT_TRUE(LibraryIsMapped(path));
    EXPECT_NE(Plat_DynLibSymbol(lib, "PLUGIN_Open"), nullptr);
    EXPECT_EQ(Plat_DynLibSymbol(lib, "PLUGIN_Draw"), nullptr); // this build leaves it out
    EXPECT_STRNE(Plat_DynLibError(), "");
    EXPECT_EQ(Plat_DynLibSymbol(lib, nullptr), nullptr);
    EXPECT_EQ(Plat_DynLibSymbol(nullptr, "PLUGIN_Open"), nullptr);

    // A second open counts one more user: the library stays until the last close.
    PLATDYNLIB *again = Plat_DynLibOpen(path.c_str());
    EXPECT_EQ(again, lib);
    Plat_DynLibClose(again);
    EXPECT_TRUE(LibraryIsMapped(path));
    Plat_DynLibClose(lib);
    EXPECT_FALSE(LibraryIsMapped(path));
    Plat_DynLibClose(nullptr);
}
