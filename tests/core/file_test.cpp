#include "core/file.h"
#include "platform/clock.h"
#include "scratch_dir.h"

#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <string>

namespace fs = std::filesystem;

using FileWrapper = ScratchDir;

TEST_F(FileWrapper, OpenFailuresLeaveTheirTexts)
{
    struct Case
    {
        const char *what;
        std::function<void(FileWrapper &)> make;
        const char *name;
        const char *reason;
    };
    const Case cases[] = {
        {"missing file", [](FileWrapper &) {}, "nothere.bin", "File doesn't exist!"},
        {"missing folder", [](FileWrapper &) {}, "nodir\\x.bin", "File doesn't exist!"},
        {"folder instead of file", [](FileWrapper &t) { fs::create_directory(t.Path("adir")); }, "adir",
         "Not a file!"},
        {"pipe instead of file", [](FileWrapper &t) { mkfifo(t.Path("pipe").c_str(), 0600); }, "pipe",
         "Not a file!"},
        {"unreadable file",
         [](FileWrapper &t) {
             t.Write("locked.bin", "secret");
             chmod(t.Path("locked.bin").c_str(), 0);
         },
         "locked.bin", "Access denied!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.make(*this);
        FILE *f = nullptr;
        AsUnprivileged([&] { f = Sys_OpenFileRead(c.name); });
        EXPECT_EQ(f, nullptr);
        char hostName[SYS_HOSTPATH_SIZE];
        ASSERT_EQ(Sys_HostPath((std::string(g_szDataDir) + c.name).c_str(), hostName, sizeof(hostName)), 0);
        EXPECT_EQ(std::string(g_szErrorText), "Couldn't Load File (" + std::string(hostName) + "). " + c.reason);
    }
}

TEST_F(FileWrapper, NullHandlesAreRefusedWithTheirTexts)
{
    // A null handle usually comes from a failed open: the text names that file.
    EXPECT_EQ(Sys_OpenFileRead("gone.bin"), nullptr);
    const std::string name = Path("gone.bin");
    char buf[4];
    EXPECT_EQ(Sys_ReadFile(nullptr, buf, 4), -1);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Read from File (" + name + "). Invalid File Handle!");
    EXPECT_EQ(Sys_WriteFile(nullptr, buf, 4), -1);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Write to File (" + name + "). Invalid File Handle!");
    EXPECT_EQ(Sys_SeekFile(nullptr, 0, 2), -1);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Seek into File (" + name + "). Invalid File Handle!");
    EXPECT_EQ(Sys_CloseFile(nullptr), 0);
}

TEST_F(FileWrapper, ReadsSeeksAndTheEndOfTheFile)
{
    Write("ten.bin", "0123456789");
    FILE *f = Sys_OpenFileRead("ten.bin");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(g_pLastOpenedFile, f);
    EXPECT_EQ(Sys_SeekFile(f, 0, 2), 10);
    EXPECT_EQ(Sys_SeekFile(f, 4, 0), 4);
    EXPECT_EQ(Sys_SeekFile(f, 2, 1), 6);
    EXPECT_EQ(Sys_SeekFile(f, 0, 3), -1);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Seek into File (" + Path("ten.bin") + "). Invalid Position!");
    EXPECT_EQ(Sys_SeekFile(f, -20, 0), -1);

    // Past the end: the bytes there are, and a text saying the file ended.
    char buf[16] = {};
    EXPECT_EQ(Sys_SeekFile(f, 6, 0), 6);
    g_szErrorText[0] = 0;
    EXPECT_EQ(Sys_ReadFile(f, buf, 16), 4);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Read from File (" + Path("ten.bin") + "). End of File!");
    EXPECT_EQ(Sys_ReadFile(f, buf, 16), 0);
    EXPECT_EQ(Sys_ReadFile(f, nullptr, 4), -1);
    EXPECT_EQ(Sys_ReadFile(f, buf, -1), -1);
    // Zero bytes with no buffer is an empty read, not an error (and never reaches the C library).
    EXPECT_EQ(Sys_ReadFile(f, nullptr, 0), 0);
    EXPECT_EQ(Sys_CloseFile(f), 0);
    EXPECT_EQ(g_pLastOpenedFile, nullptr);
}

TEST_F(FileWrapper, BackslashPathsAndMixedCaseNamesAreFound)
{
    Write("Gfx/Fonts/Small.FNT", "font");
    Write("WADS/demowad.IND", "index");
    const char *names[] = {"Gfx\\Fonts\\Small.FNT", "gfx\\fonts\\small.fnt", "GFX/FONTS/SMALL.fnt",
                           "gfx\\\\fonts\\small.fnt"};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        FILE *f = Sys_OpenFileRead(name);
        ASSERT_NE(f, nullptr) << g_szErrorText;
        char buf[8] = {};
        EXPECT_EQ(Sys_ReadFile(f, buf, 4), 4);
        EXPECT_STREQ(buf, "font");
        Sys_CloseFile(f);
    }
    char out[SYS_HOSTPATH_SIZE];
    ASSERT_EQ(Sys_HostPath((m_dir + "\\wads\\DEMOWAD.ind").c_str(), out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), Path("WADS/demowad.IND"));
    // What does not exist keeps its spelling, from the first missing component on.
    ASSERT_EQ(Sys_HostPath((m_dir + "\\wads\\New\\Song.TNV").c_str(), out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), Path("WADS/New/Song.TNV"));
    ASSERT_EQ(Sys_HostPath((m_dir + "\\gfx\\").c_str(), out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), Path("Gfx/"));
    // Two spellings on disk: the first in sorted order, every time.
    Write("Twin.txt", "a");
    Write("twin.txt", "b");
    ASSERT_EQ(Sys_HostPath((m_dir + "/TWIN.TXT").c_str(), out, sizeof(out)), 0);
    EXPECT_EQ(std::string(out), Path("Twin.txt"));
    // A result that does not fit is refused.
    EXPECT_EQ(Sys_HostPath((m_dir + "/Twin.txt").c_str(), out, 8), -1);
}

TEST_F(FileWrapper, WritesReplaceTheTargetOnlyWhenClosed)
{
    Write("songs/Mine.tnv", "old song");
    FILE *f = Sys_OpenFileWrite((m_dir + "\\songs\\mine.tnv").c_str(), 1, 0);
    ASSERT_NE(f, nullptr) << g_szErrorText;
    EXPECT_EQ(Sys_WriteFile(f, "new song!", 9), 9);
    EXPECT_EQ(Read("songs/Mine.tnv"), "old song");
    EXPECT_EQ(Sys_CloseFile(f), 0);
    EXPECT_EQ(Read("songs/Mine.tnv"), "new song!");
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("songs")), fs::directory_iterator()), 1);

    // A save given up part-way leaves the old file whole and no temporary behind.
    f = Sys_OpenFileWrite("songs\\Mine.tnv", 0, 1);
    ASSERT_NE(f, nullptr);
    Sys_WriteFile(f, "half", 4);
    Sys_DiscardFile(f);
    EXPECT_EQ(Read("songs/Mine.tnv"), "new song!");
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("songs")), fs::directory_iterator()), 1);

    // A save that cannot be put in place says so and keeps the old file.
    f = Sys_OpenFileWrite("songs\\Mine.tnv", 0, 0);
    ASSERT_NE(f, nullptr);
    Sys_WriteFile(f, "lost", 4);
    chmod(Path("songs").c_str(), 0555);
    int closed = 0;
    AsUnprivileged([&] { closed = Sys_CloseFile(f); });
    chmod(Path("songs").c_str(), 0755);
    EXPECT_EQ(closed, -1);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Write to File (" + Path("songs/Mine.tnv") + "). File not saved!");
    EXPECT_EQ(Read("songs/Mine.tnv"), "new song!");

    // A new file in a missing folder cannot be opened.
    EXPECT_EQ(Sys_OpenFileWrite("nofolder\\x.tnv", 0, 0), nullptr);
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Load File (" + Path("nofolder/x.tnv") + "). File doesn't exist!");
}

TEST_F(FileWrapper, WholeFileLoadsRefuseWhatDoesNotFit)
{
    Write("eight.bin", "ABCDEFGH");
    char buf[9];
    std::memset(buf, '.', sizeof(buf));
    EXPECT_EQ(Sys_LoadFileToBuffer("eight.bin", buf, 8), 8);
    EXPECT_EQ(std::string(buf, 9), "ABCDEFGH.");

    std::memset(buf, '.', sizeof(buf));
    EXPECT_EQ(Sys_LoadFileToBuffer("eight.bin", buf, 7), -1);
    EXPECT_EQ(std::string(buf, 9), ".........");
    EXPECT_EQ(std::string(g_szErrorText), "Couldn't Load File (" + Path("eight.bin") + "). File too large!");
    EXPECT_EQ(Sys_LoadFileToBuffer("missing.bin", buf, 8), -1);
}

TEST_F(FileWrapper, WinTextureLoadsWholeOnlyWhenItFits)
{
    g_abWinTexture[0] = 0xEE;
    EXPECT_EQ(Sys_LoadWinTexture(), -1); // missing: untouched
    EXPECT_EQ(g_abWinTexture[0], 0xEE);

    Write("win.tx", std::string(SYS_WINTEXTURE_SIZE + 1, 'x'));
    EXPECT_EQ(Sys_LoadWinTexture(), -1);
    EXPECT_EQ(g_abWinTexture[0], 0xEE);

    Write("win.tx", std::string(SYS_WINTEXTURE_SIZE - 1, 'y') + "z");
    EXPECT_EQ(Sys_LoadWinTexture(), 0);
    EXPECT_EQ(g_abWinTexture[0], 'y');
    EXPECT_EQ(g_abWinTexture[SYS_WINTEXTURE_SIZE - 1], 'z');
}

TEST(FileClock, WaitsLetTimePassOnTheManualClock)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    EXPECT_EQ(Sys_WaitSeconds(5), 5000u);
    EXPECT_EQ(Sys_GetMilliseconds(), 5000u);
    EXPECT_EQ(Sys_WaitSeconds(-1), 5000u);
}
