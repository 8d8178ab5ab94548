// The jukebox and the idle demo driven through the studio's own loop and input scripts, headless:
// an empty studio left alone plays the archive's demo song with its video until a key brings the
// empty song back; a play list of two archive songs plays both in order and returns to the grid.
// The rest (timeout rules, list edits, failures) is checked in-process.
#include "app/spine_fixture.h"

#include "core/archive.h"
#include "core/cardsave.h"
#include "core/console_memory.h"
#include "core/idpool.h"
#include "editors/filescreen.h"
#include "editors/jukebox.h"
#include "editors/topbar.h"
#include "platform/display.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "support/studioprocess.h"
#include "ui/gridstate.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "video/lanes.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace
{

// The page menu's "Clone riff" row (row 8 of the song grid's menu) has no handler of its own: a
// right click opens the menu, three steps down and a click run the handler a test puts there.
constexpr int kItemRow = 51;
const std::vector<std::string> kMenuItem = {"mousedown 2", "mouseup 2", "keydown Down", "keyup Down",
                                            "keydown Down", "keyup Down", "keydown Down", "keyup Down",
                                            "mousedown 1", "mouseup 1"};
// The menu item's lines from frame `at` on, five frames apart.
std::vector<std::string> MenuItemAt(int at)
{
    std::vector<std::string> s;
    for (size_t i = 0; i < kMenuItem.size(); i++)
        s.push_back(std::to_string(at + int(i / 2) * 5 + int(i % 2)) + " " + kMenuItem[i]);
    return s;
}

std::vector<uint8_t> SongImage()
{
    return Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "Author");
}

struct Frame
{
    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
};
Frame Presented()
{
    Frame f;
    f.rgb = Plat_DisplayPresentedFrame(&f.w, &f.h);
    return f;
}
// Pixels that are not black in rows y0..y1.
int Lit(const Frame &f, int y0, int y1)
{
    int n = 0;
    for (uint32_t y = uint32_t(y0); y < uint32_t(y1) && y < f.h; y++)
        for (uint32_t x = 0; x < f.w; x++) {
            const uint8_t *p = &f.rgb[(size_t(y) * f.w + x) * 3];
            n += p[0] + p[1] + p[2] > 60;
        }
    return n;
}

// 16-bit samples of a WAV dump; empty when it is not one.
std::vector<int16_t> Samples(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> out;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") || b.compare(8, 4, "WAVE"))
        return out;
    for (size_t at = 12; at + 8 <= b.size();) {
        uint32_t size = 0;
        std::memcpy(&size, b.data() + at + 4, 4);
        if (!b.compare(at, 4, "data")) {
            size = uint32_t(std::min<size_t>(size, b.size() - at - 8));
            out.resize(size / 2);
            std::memcpy(out.data(), b.data() + at + 8, out.size() * 2);
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}
double Rms(const std::vector<int16_t> &s, size_t from, size_t to)
{
    double sum = 0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; i++)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

// What the runs saw, filled by the hooks below.
struct Seen
{
    std::vector<uint8_t> songBefore, songAfter;
    std::vector<Frame> frames;        // one a played song (or the demo)
    std::vector<std::string> playing; // the item names in the order they played
    int draws = 0;
    int demoSongRows = 0;
    int demoStart = -1; // main loop frame of the demo's first picture
};
Seen s_seen;

void WatchDemo(void *user)
{
    Ed_DrawSongVideo(user);
    if (s_seen.demoStart < 0)
        s_seen.demoStart = g_iMainFrameCount;
    // The frame presented before this one: the demo was showing.
    if (++s_seen.draws == 90) {
        s_seen.frames.push_back(Presented());
        s_seen.demoSongRows = g_uSongRowCount;
    }
}
void WatchItem(void *user)
{
    Ed_DrawSongVideo(user);
    if (s_seen.playing.empty() || s_seen.playing.back() != g_szPlaylistPlaying) {
        s_seen.playing.push_back(g_szPlaylistPlaying);
        s_seen.frames.emplace_back();
        s_seen.draws = 0;
    }
    // Of every tenth picture, the brightest: the video shows somewhere in the song.
    if (++s_seen.draws % 10 == 0) {
        Frame f = Presented();
        if (Lit(f, 0, 455) > Lit(s_seen.frames.back(), 0, 455))
            s_seen.frames.back() = std::move(f);
    }
}

// First run of the item: the song emptied (what the user would do with a new song); the second
// notes the song as the demo left it.
void EmptySongThenNoteIt()
{
    if (s_seen.songBefore.empty()) {
        Seq_StopSong();
        Vid_ResetVideo();
        Seq_NewSong();
        // Something the emptiness test allows, that a new song would not give back.
        Seq_SetTrackEntry(0, 1, 97, 97, 0, 0, 0, 0, 0, LIST_TEMPO);
        s_seen.songBefore = SongImage();
        g_pfnAttractDraw = WatchDemo;
        return;
    }
    s_seen.songAfter = SongImage();
}

void OpenFileScreen()
{
    g_ucTopBarButton = 3;
    Ed_TopBarChoose();
    g_pfnPlaylistDraw = WatchItem;
}

// A click at a screen position: the pointer goes to the corner first (it stops there).
void Click(std::vector<std::string> &s, int frame, int x, int y)
{
    s.push_back(std::to_string(frame) + " mousemove -2000 -2000");
    s.push_back(std::to_string(frame + 1) + " mousemove " + std::to_string(x) + " " + std::to_string(y));
    s.push_back(std::to_string(frame + 2) + " mousedown 1");
    s.push_back(std::to_string(frame + 3) + " mouseup 1");
}
// The file screen's window sits at the screen's centre.
constexpr int kWinX = 320 - 181, kWinY = 240 - 133;
// A cell of the file list, by number.
int CellX(int i)
{
    return kWinX + ED_FILE_LIST_X + (i % 4) * ED_FILE_CELL_W + 42;
}
int CellY(int i)
{
    return kWinY + ED_FILE_LIST_Y + (i / 4) * ED_FILE_CELL_H + 20;
}

class JukeboxScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        s_seen = Seen{};
        ResetPageMenus();
        g_ucMouseButtons = 0;
        g_pCurrentMsgBox = nullptr;
        g_bModalBoxOpen = 0;
        for (MSGBOX &m : g_aMsgBoxes)
            m.pWindow = nullptr;
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    }
    void TearDown() override
    {
        g_pfnAttractDraw = Ed_DrawSongVideo;
        g_pfnPlaylistDraw = Ed_DrawSongVideo;
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_AUDIO_DUMP");
        SpineTest::TearDown();
    }
    int RunDumped(int frames, const std::vector<std::string> &script, const std::string &name, void (*item)())
    {
        Ui_SetMenuItemHandler(kItemRow, item);
        png_ = ::testing::TempDir() + "tnv_jukebox_" + name + ".png";
        wav_ = ::testing::TempDir() + "tnv_jukebox_" + name + ".wav";
        setenv("TNV_DUMP_FRAME", png_.c_str(), 1);
        setenv("TNV_AUDIO_DUMP", wav_.c_str(), 1);
        return Run(nullptr, frames, script);
    }
    std::string png_, wav_;
};

// The demo starts after ED_ATTRACT_TIMEOUT counts of the frame counter without activity. The
// counter runs faster than the frames (the render and the sound clock both count), so the run
// needs fewer frames than counts.
TEST_F(JukeboxScript, AnIdleEmptyStudioPlaysTheDemoAndAKeyBringsTheSongBack)
{
    std::vector<std::string> s = MenuItemAt(5);
    const int idle = 40 + ED_ATTRACT_TIMEOUT / 2 + 130;
    s.push_back(std::to_string(idle) + " keydown Space");
    s.push_back(std::to_string(idle + 1) + " keyup Space");
    // The pointer back to the centre, where the first menu was opened.
    s.push_back(std::to_string(idle + 18) + " mousemove -2000 -2000");
    s.push_back(std::to_string(idle + 19) + " mousemove 320 240");
    for (const std::string &l : MenuItemAt(idle + 20))
        s.push_back(l);
    ASSERT_EQ(RunDumped(idle + 60, s, "demo", EmptySongThenNoteIt), 0);

    EXPECT_EQ(Count("Ed_AttractStartDemo"), 1) << "once, after the wait";
    EXPECT_EQ(Count("Ed_AttractLoadDemo"), 1);
    EXPECT_EQ(Count("Ed_AttractFrame(pressed)"), 1) << "the key ended it, not the song's end";
    EXPECT_EQ(Count("Ed_AttractExit"), 1);
    EXPECT_GT(s_seen.demoSongRows, 8) << "the demo song was loaded";
    ASSERT_EQ(s_seen.frames.size(), 1u) << "the demo showed at least 60 frames";
    Plat_WritePng((::testing::TempDir() + "tnv_jukebox_demo_video.png").c_str(), s_seen.frames[0].rgb.data(),
                  s_seen.frames[0].w, s_seen.frames[0].h);
    EXPECT_GT(Lit(s_seen.frames[0], 0, 455), 5000) << "the video shows";
    ASSERT_FALSE(s_seen.songBefore.empty());
    EXPECT_TRUE(s_seen.songAfter == s_seen.songBefore) << "the empty song came back as it was";

    // The sound device's dump starts a fixed time before the first frame: the menu's click (frame
    // 5) is its first sound. Silence while the studio waits; music while the demo plays.
    const std::vector<int16_t> audio = Samples(wav_);
    size_t first = 0;
    while (first < audio.size() && std::abs(audio[first]) < 64)
        first++;
    constexpr size_t kFrame = 1764; // 20 ms of 44100 Hz stereo
    ASSERT_GT(first, 5 * kFrame);
    const size_t origin = first - 5 * kFrame;
    ASSERT_GT(s_seen.demoStart, 200);
    const size_t demoFrom = origin + size_t(s_seen.demoStart + 25) * kFrame, demoTo = origin + size_t(idle) * kFrame;
    ASSERT_GT(audio.size(), demoTo);
    EXPECT_GT(Rms(audio, demoFrom, demoTo), 500.0) << "the demo is heard";
    EXPECT_LT(Rms(audio, origin + 100 * kFrame, origin + size_t(s_seen.demoStart - 100) * kFrame), 20.0)
        << "an empty song is silent";
    EXPECT_EQ(ReadPng(png_).width, 640u) << "the last frame was dumped";
}

TEST_F(JukeboxScript, APlayListOfTwoSongsPlaysThemInOrderAndReturnsToTheGrid)
{
    std::vector<std::string> s = MenuItemAt(5);
    Click(s, 50, kWinX + 128, kWinY + 245); // "Jukebox": the list shows the archive's folders
    Click(s, 60, CellX(1), CellY(1));       // "JINGLES"
    Click(s, 70, CellX(2), CellY(2));       // its first song, then its second
    Click(s, 80, CellX(3), CellY(3));
    Click(s, 90, kWinX + 128, kWinY + 245); // "Jukebox" again: play
    Click(s, 100, 355, 214);                // "Okay": the song on the grid may go
    // The first song plays from frame 105; its video's arrow keys drive the pad: Right is "Next".
    // The second plays to its end (about 250 frames) and the grid comes back.
    s.push_back("160 keydown Right");
    s.push_back("161 keyup Right");
    ASSERT_EQ(RunDumped(560, s, "list", OpenFileScreen), 0);
    EXPECT_EQ(Count("Ed_PlaylistStartNow"), 1) << Lines(Log());
    EXPECT_EQ(Count("Ed_PlaylistPlay"), 2);
    EXPECT_EQ(Count("Ed_PlaylistNext"), 1);
    EXPECT_EQ(s_seen.playing, (std::vector<std::string>{"Sting Up", "Sting Down"}));
    EXPECT_EQ(Count("Ed_PlaylistEndStep"), 1) << "the list ended after its second song";
    ASSERT_EQ(s_seen.frames.size(), 2u);
    for (size_t i = 0; i < s_seen.frames.size(); i++) {
        const Frame &f = s_seen.frames[i];
        Plat_WritePng((::testing::TempDir() + "tnv_jukebox_item" + std::to_string(i) + ".png").c_str(), f.rgb.data(),
                      f.w, f.h);
        // The second song's video opens dark; the first's shows at once.
        if (i == 0) {
            EXPECT_GT(Lit(f, 0, 455), 3000) << "the song shows its video";
        }
    }
    EXPECT_EQ(g_tPlaylist.running, 0);
    // Both songs are heard (the dump runs a fixed time ahead of the frames, as above).
    const std::vector<int16_t> audio = Samples(wav_);
    size_t first = 0;
    while (first < audio.size() && std::abs(audio[first]) < 64)
        first++;
    constexpr size_t kFrame = 1764;
    ASSERT_GT(first, 5 * kFrame);
    const size_t origin = first - 5 * kFrame;
    EXPECT_GT(Rms(audio, origin + 110 * kFrame, origin + 160 * kFrame), 500.0) << "the first song";
    EXPECT_GT(Rms(audio, origin + 200 * kFrame, origin + 380 * kFrame), 500.0) << "the second song";
}

} // namespace
