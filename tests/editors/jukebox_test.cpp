// The play list's edits and item steps, the idle check's rules and the demo's load, in-process on
// a started studio (no frames run), with small archives for the loads that must fail.
#include "app/spine_fixture.h"

#include "core/archive.h"
#include "core/cardsave.h"
#include "core/console_memory.h"
#include "editors/jukebox.h"
#include "sequencer/instruments.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "support/wadfixture.h"
#include "ui/busybox.h"
#include "ui/gridstate.h"
#include "ui/list.h"
#include "ui/popup.h"
#include "audio/mixer.h"
#include "core/event.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"

#include <cstring>
#include <string>

namespace
{

class Started : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        Sys_LoadSettings();
        unsetenv("TNV_DATA_DIR");
        ASSERT_EQ(Sys_Startup(0), 0);
        Ed_PlaylistReset();
    }
    void TearDown() override
    {
        g_ucGridKind = 0;
        g_tPlaylist = PLAYLIST{};
        Sys_Shutdown(0);
        SpineTest::TearDown();
    }
    static std::string RowText(int32_t op, int32_t number, uint16_t *shown)
    {
        char row[UI_POPUP_ROW_STRIDE] = {};
        Ed_PlaylistRowText(op, number, row, nullptr);
        std::memcpy(shown, row, 2);
        return row + 2;
    }
};

TEST_F(Started, PlayListEditsKeepItsOrderAndItsLimit)
{
    for (int i = 0; i < ED_PLAYLIST_MAX; i++)
        ASSERT_EQ(Ed_PlaylistAdd(3, i % 3, i % 15, ("Song " + std::to_string(i)).c_str()), 0);
    g_tPlaylist.index = 7;
    EXPECT_EQ(Ed_PlaylistAdd(3, 0, 1, "One too many"), -1);
    EXPECT_EQ(g_tPlaylist.count, ED_PLAYLIST_MAX) << "the 101st changes nothing";
    EXPECT_EQ(g_tPlaylist.index, 7);
    const PLAYLISTENTRY &e = g_tPlaylist.entries[17];
    EXPECT_EQ(e.source & 15, 2);
    EXPECT_EQ((e.source >> 4) & 3, 3);
    EXPECT_EQ(e.source >> 6, 2);
    EXPECT_STREQ(e.name, "Song 17");

    // Rows of the pop-up: 1..count carry their names; the row's number is written back.
    uint16_t shown = 0;
    EXPECT_EQ(RowText(LISTFILL_FIRST, 0, &shown), "Song 0");
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(RowText(LISTFILL_NEXT, 5, &shown), "Song 5");
    EXPECT_EQ(shown, 6);
    EXPECT_EQ(RowText(LISTFILL_PREV, 1, &shown), "");
    EXPECT_EQ(RowText(LISTFILL_NEXT, ED_PLAYLIST_MAX, &shown), "");
    EXPECT_EQ(shown, ED_PLAYLIST_MAX + 1);

    Ed_PlaylistRemoveLast();
    EXPECT_EQ(g_tPlaylist.count, ED_PLAYLIST_MAX - 1);
    EXPECT_EQ(g_tPlaylist.index, 0);
    Ed_PlaylistReset();
    Ed_PlaylistRemoveLast();
    EXPECT_EQ(g_tPlaylist.count, 0) << "an empty list stays empty";

    // Taking a card's entries out closes the gaps; the next item stays the same song.
    struct Case
    {
        const char *cards; // the card of each entry
        int index, card;
        const char *kept;
        int keptIndex;
    } cases[] = {
        {"1313", 2, 1, "33", 1}, {"3311", 3, 1, "33", 2}, {"1111", 1, 1, "", 0},
        {"2132", 4, 2, "13", 2}, {"33", 1, 1, "33", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cards);
        Ed_PlaylistReset();
        for (const char *p = c.cards; *p; p++)
            Ed_PlaylistAdd(*p - '0', 0, 0, "");
        g_tPlaylist.index = c.index;
        Ed_PlaylistRemoveCard(c.card);
        std::string kept;
        for (int i = 0; i < g_tPlaylist.count; i++)
            kept += char('0' + ((g_tPlaylist.entries[i].source >> 4) & 3));
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(g_tPlaylist.index, c.keptIndex);
    }
}

TEST_F(Started, StepsThroughTheListNeverWaitOnACardThatCannotAnswer)
{
    // Previous on the first item does nothing; on the second it loads the first again.
    Ed_PlaylistAdd(3, 1, 0, "Sting Up");
    Ed_PlaylistAdd(3, 1, 1, "Sting Down");
    g_tPlaylist.running = 1;
    g_tPlaylist.index = 1;
    Ed_PlaylistPrevious();
    EXPECT_EQ(Count("Ed_PlaylistAdvance"), 0);
    g_tPlaylist.index = 2;
    Ed_PlaylistPrevious();
    EXPECT_EQ(Count("Ed_PlaylistAdvance"), 1);
    EXPECT_EQ(g_tPlaylist.index, 0);
    EXPECT_EQ(g_tBusyBox.code, ED_PLAYLIST_BUSY_CODE) << "the first item is being loaded";
    EXPECT_STREQ(g_tBusyBox.name, "Sting Up");

    // An item on card 1 fails at once (that card never answers here): the list ends.
    Ed_PlaylistReset();
    Ed_PlaylistAdd(1, 0, 0, "On a card");
    Ed_PlaylistLoadItem();
    EXPECT_EQ(g_tPlaylist.loadState, PLAYLIST_IDLE);
    EXPECT_EQ(g_tPlaylist.count, 0);

    // A card taken out while the list plays drops its items before the next; none left: the end.
    Ed_PlaylistReset();
    Ed_PlaylistAdd(1, 0, 0, "A");
    Ed_PlaylistAdd(3, 1, 0, "B");
    Ed_PlaylistAdd(1, 0, 1, "C");
    g_tPlaylist.running = 1;
    g_tPlaylist.index = 2;
    g_tPlaylist.removedCards = 1;
    Sys_CallLogClear();
    Ed_PlaylistNextItem();
    EXPECT_EQ(Count("Ed_PlaylistEndStep"), 1);
    EXPECT_EQ(g_tPlaylist.count, 0);
    EXPECT_EQ(g_tPlaylist.running, 0);

    // An archive song loads and gets its own video's end for its end row.
    Ed_PlaylistReset();
    Ed_PlaylistAdd(3, 0, 6, "Ela V8");
    Ed_PlaylistLoadItem();
    EXPECT_EQ(g_tPlaylist.loadState, PLAYLIST_LOADED);
    EXPECT_EQ(g_tPlaylist.index, 1);
    EXPECT_GE(g_uSongRowCount, 16);
    EXPECT_GT(g_iVideoEnd, 0);
    EXPECT_GE(g_uInstrumentCount, 7) << "the library's instruments, found by reference";
}

TEST_F(Started, TheIdleCheckStartsADemoOnlyInAnIdleEmptyStudio)
{
    ASSERT_GT(g_uInstrumentCount, 0) << "the start-up's song has instruments";
    Seq_NewSong();
    EXPECT_EQ(g_uInstrumentCount, 0) << "a new song has none left over";
    const int32_t now = 100000;
    g_iFrameCount = now;
    struct Case
    {
        const char *what;
        int32_t lastActivity;
        int riffs, instruments, clips;
        uint16_t buttons;
        bool starts;
        int32_t stamp; // the activity frame afterwards
    } cases[] = {
        {"never stamped", -1, 0, 0, 0, 0xFFFF, false, -1},
        {"exactly the timeout", now - ED_ATTRACT_TIMEOUT, 0, 0, 0, 0xFFFF, false, now - ED_ATTRACT_TIMEOUT},
        {"idle and empty", now - ED_ATTRACT_TIMEOUT - 1, 0, 0, 0, 0xFFFF, true, now},
        // A song that holds something is no press: the help's idle wait shares the stamp.
        {"a riff", now - 9000, 1, 0, 0, 0xFFFF, false, now - 9000},
        {"an instrument", now - 9000, 0, 1, 0, 0xFFFF, false, now - 9000},
        {"a clip", now - 9000, 0, 0, 1, 0xFFFF, false, now - 9000},
        // The wait counts again from the frame the song was emptied.
        {"emptied just now", now - ED_ATTRACT_TIMEOUT - 1, 0, 0, 0, 0xFFFF, false, now - ED_ATTRACT_TIMEOUT - 1},
        {"a button down", now - 100, 0, 0, 0, 0xFFEF, false, now},
    };
    PADBUFFER *pad = Sys_PadBuffer(1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Sys_CallLogClear();
        g_ucGridKind = 0;
        g_iAttractLastActivity = c.lastActivity;
        g_uRiffCount = uint16_t(1 + c.riffs);
        g_uInstrumentCount = uint16_t(c.instruments);
        g_iClipCount = c.clips;
        pad->status = 0;
        pad->buttons = c.buttons;
        Ed_AttractTick();
        g_uRiffCount = 1;
        g_uInstrumentCount = 0;
        g_iClipCount = 0;
        pad->buttons = 0xFFFF;
        EXPECT_EQ(Count("Ed_AttractStartDemo"), c.starts ? 1 : 0);
        EXPECT_EQ(g_iAttractLastActivity, c.stamp);
    }
    // While a demo (or the jukebox) plays, no other starts.
    g_iAttractLastActivity = 0;
    g_ucGridKind = ED_GRIDKIND_PLAYING;
    Sys_CallLogClear();
    Ed_AttractTick();
    EXPECT_EQ(Count("Ed_AttractStartDemo"), 0);
    // A demo list with no entries starts nothing (it is never read past its end).
    const DEMOLIST kept = g_tDemoList;
    g_tDemoList.count = 0;
    Sys_CallLogClear();
    Ed_AttractStartDemo();
    EXPECT_EQ(Count("Ed_ResetWindows"), 0);
    g_tDemoList = kept;
    EXPECT_EQ(Ed_IsButtonDown(), 0);
    pad->status = 255;
    pad->buttons = 0;
    EXPECT_EQ(Ed_IsButtonDown(), 0) << "no controller";
    pad->status = 0;
    pad->buttons = 0xFFFF;
}

// The demo's load: the built one, and archives whose entry 7 cannot be played.
class DemoArchive : public WadTest
{
};

TEST_F(DemoArchive, ADemoThatCannotBeLoadedLeavesTheSongEmpty)
{
    // The real demo's bytes, from the built archive.
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/data/", TNV_TEST_BUILD_DIR);
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1);
    uint16_t path[8] = {};
    const int depth = Sys_WadDirPathToIndices("/PERF", path);
    ASSERT_GT(depth, 0);
    path[depth] = 0;
    path[depth + 1] = 6;
    uint32_t size = 0;
    char name[9] = {};
    uint8_t *real = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, depth + 2, name, &size));
    ASSERT_NE(real, nullptr);
    EXPECT_STREQ(name, "ELAV8");
    const std::string demo(reinterpret_cast<char *>(real), size);
    std::free(real);
    Sys_WadFreeBuffers();
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", m_dir.c_str());

    ASSERT_EQ(Snd_InitSampleEngine(64), 0);
    Seq_Init();
    Sys_EventInit();
    Sys_EventCreateClass(1, 11);
    Sys_EventCreateClass(3, 4);
    Vid_EarlyInit();
    ASSERT_EQ(Vid_InitChaseEngine(), 0);
    struct Case
    {
        const char *what;
        std::string entry7;
        int files;
        bool plays;
    } cases[] = {
        {"the demo", demo, 8, true},
        {"larger than the largest free block", demo + std::string(140000, '\0'), 8, false},
        {"shorter than its header", demo.substr(0, 300), 8, false},
        {"a header over noise", demo.substr(0, 512) + std::string(3000, 'x'), 8, false},
        {"cut in the middle", demo.substr(0, demo.size() / 2), 8, false},
        {"no entry 7", demo, 5, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PACKDIR root;
        for (const char *d : {"N", "R", "CHASES", "JAMTEM", "AUTO", "BOOT"})
            Pack_Dir(root, d);
        PACKDIR &folder = Pack_Dir(Pack_Dir(root, "PERF"), "DEMOS");
        for (int i = 0; i < c.files; i++)
            folder.files.push_back(File("SONG" + std::to_string(i), i == 6 ? c.entry7 : std::string(600, 'a')));
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1);
        Ed_AttractFreeDemoList();
        g_tDemoList.entry = 7;
        Seq_NewSong();
        Ed_AttractLoadDemo();
        // The library's instruments are not in this archive: the song plays without them.
        EXPECT_EQ(g_uSongRowCount > 8, c.plays);
        Sys_WadFreeBuffers();
    }
    Seq_NewSong();
    Vid_ShutdownChaseEngine();
    Sys_EventInit();
    Snd_ShutdownSampleEngine();
}

} // namespace
