// The studio driven through its own loop by input scripts, each run leaving a frame dump:
// closing the window asks first ("Cancel" keeps the studio running, "Okay" quits), the pointer
// at the screen's edge scrolls the song grid, the toolbar's mode buttons switch between the song
// and video grids, and a mixdown stopped from its progress box leaves a whole WAV file.
#include "spine_fixture.h"

#include "editors/topbar.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/requesters.h"
#include "ui/view.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// The quit box (one line, 220 wide, centred and raised 40 px): "Cancel" and "Okay" at a third
// and two thirds of its width, on the row 18 px above its bottom.
constexpr const char *kCancel = "mousemove 283 213";
constexpr const char *kOkay = "mousemove 356 213";

std::string s_wav;

// A page-menu item starts the mixdown, as the file screen will.
void StartMixdown()
{
    Sys_StartMixdown(s_wav.c_str());
}

class RequesterScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    }
    void TearDown() override
    {
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        SpineTest::TearDown();
    }
    // One run from a fresh start, watched every frame, leaving a frame dump.
    int RunWatched(int frames, std::vector<std::string> script, void (*item)() = nullptr)
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        ResetPageMenus();
        g_ucMouseButtons = 0;
        // No box left from an earlier run: the program's start-up does not expect one.
        Ui_ResetMessageBoxes();
        dump_ = ::testing::TempDir() + "requester_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                "_" + std::to_string(++runs_) + ".png";
        std::remove(dump_.c_str());
        setenv("TNV_DUMP_FRAME", dump_.c_str(), 1);
        if (item) {
            // Page 0's "Clone riff" row runs the item: right click opens the menu with row 5
            // under the pointer, three steps down, a click.
            Ui_SetMenuItemHandler(51, item);
            for (const auto &[at, what] : std::vector<std::pair<int, const char *>>{
                     {10, "mousedown 2"}, {11, "mouseup 2"}, {15, "keydown Down"}, {16, "keyup Down"},
                     {20, "keydown Down"}, {21, "keyup Down"}, {25, "keydown Down"}, {26, "keyup Down"},
                     {30, "mousedown 1"}, {31, "mouseup 1"}})
                script.push_back(std::to_string(at) + " " + what);
        }
        const int rc = Run(nullptr, frames, script);
        return rc;
    }
    bool Dumped() const
    {
        struct stat st{};
        return stat(dump_.c_str(), &st) == 0 && st.st_size > 0;
    }
    std::string dump_;
    int runs_ = 0;
};

} // namespace

int QuitBoxesOpen()
{
    int n = 0;
    for (const MSGBOX &b : g_aMsgBoxes)
        n += b.pWindow && b.pfnAnswer == Ui_QuitBoxAnswer;
    return n;
}

TEST_F(RequesterScript, ClosingTheWindowAsksCancelKeepsRunningAndOkayQuits)
{
    // Asked and left open: the dump shows the question over the song grid.
    ASSERT_EQ(RunWatched(40, {"20 close", "24 mousemove -2000 -2000", std::string("25 ") + kCancel}), 0);
    EXPECT_TRUE(Dumped());
    EXPECT_EQ(Count("Ui_AskQuit"), 1);
    EXPECT_EQ(QuitBoxesOpen(), 1);
    EXPECT_GE(g_iMainFrameCount, 40) << "the studio runs on while it asks";

    struct Case
    {
        const char *button;
        bool quits;
    };
    for (const Case c : {Case{kCancel, false}, Case{kOkay, true}}) {
        ASSERT_EQ(RunWatched(80, {"20 close", "24 mousemove -2000 -2000", std::string("25 ") + c.button,
                                  "28 mousedown 1", "29 mouseup 1"}),
                  0)
            << c.button;
        EXPECT_TRUE(Dumped());
        EXPECT_EQ(Count("Ui_QuitBoxAnswer"), 1) << c.button;
        EXPECT_EQ(QuitBoxesOpen(), 0) << c.button;
        if (c.quits)
            EXPECT_LT(g_iMainFrameCount, 40) << "Okay quits at once";
        else
            EXPECT_GE(g_iMainFrameCount, 80) << "Cancel keeps the studio running";
        EXPECT_EQ(g_bAudioMixEnabled.load(), 0) << "the program's end stops the mix either way";
    }
}

TEST_F(RequesterScript, ThePointerAtTheScreenEdgeScrollsTheSongGrid)
{
    // Parked at the bottom right corner: the grid scrolls down and right, one cell at a time.
    ASSERT_EQ(RunWatched(60, {"20 mousemove 2000 2000"}), 0);
    EXPECT_TRUE(Dumped());
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_ucGridKind, 2);
    EXPECT_GT(g_pGridView->firstRow, -1);
    const int16_t row = g_pGridView->firstRow;
    // Back to the top left corner: up and left until the first row and column are -1 again.
    ASSERT_EQ(RunWatched(200, {"20 mousemove 2000 2000", "60 mousemove -2000 -2000"}), 0);
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_pGridView->firstRow, -1);
    EXPECT_EQ(g_pGridView->firstColumn, -1);
    // In the middle nothing moves.
    ASSERT_EQ(RunWatched(60, {"20 mousemove 2000 2000", "40 mousemove -300 -200"}), 0);
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_GT(g_pGridView->firstRow, -1);
    EXPECT_LT(g_pGridView->firstRow, row + 5);
}

TEST_F(RequesterScript, TheToolbarsModeButtonsSwitchBetweenTheGrids)
{
    // "Video Track" is the second button (x 42..67, y 17..42), "Song Track" the first.
    ASSERT_EQ(RunWatched(60, {"20 mousemove -2000 -2000", "21 mousemove 52 27", "23 mousedown 1", "24 mouseup 1"}),
              0);
    EXPECT_TRUE(Dumped());
    EXPECT_EQ(Count("Ui_ToolbarVideoTrack"), 1);
    EXPECT_EQ(Count("Ed_ShowVideoGrid"), 1);
    EXPECT_EQ(g_ucGridKind, 1);
    EXPECT_EQ(g_ucTopBarButton, 1);
    ASSERT_EQ(RunWatched(90, {"20 mousemove -2000 -2000", "21 mousemove 52 27", "23 mousedown 1", "24 mouseup 1",
                              "60 mousemove -25 0", "62 mousedown 1", "63 mouseup 1"}),
              0);
    EXPECT_EQ(Count("Ui_ToolbarSongTrack"), 1);
    EXPECT_EQ(g_ucGridKind, 2);
    EXPECT_EQ(g_ucTopBarButton, 0);
}

TEST_F(RequesterScript, AMixdownStoppedFromItsBoxLeavesAWholeWavFile)
{
    s_wav = ::testing::TempDir() + "requester_mixdown.wav";
    std::remove(s_wav.c_str());
    // The item starts the mixdown at frame 30; Enter presses the box's only button, "Stop".
    ASSERT_EQ(RunWatched(70, {"36 keydown Return", "37 keyup Return"}, StartMixdown), 0);
    EXPECT_TRUE(Dumped());
    EXPECT_EQ(Count("Ui_OpenWavSaveProgress"), 1);
    EXPECT_EQ(Count("Ui_WavSaveStopPressed"), 1);
    EXPECT_EQ(Count("Ui_FinishWavSaveProgress"), 1);
    EXPECT_EQ(g_bMixdownRunning.load(), 0);
    std::ifstream f(s_wav, std::ios::binary);
    ASSERT_TRUE(f.good()) << s_wav;
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 44u);
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(bytes.compare(8, 4, "WAVE"), 0);
    EXPECT_EQ(u32(4), bytes.size() - 8) << "the RIFF size matches the file";
    const size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    EXPECT_EQ(u32(data + 4), bytes.size() - data - 8) << "the data size matches what was written";
    EXPECT_GT(u32(data + 4), 0u);
    EXPECT_EQ(u32(data + 4) % 4, 0u) << "whole stereo 16-bit frames";
    // Stopped early: well short of the whole song (at least a second a frame was rendered).
    EXPECT_LT(u32(data + 4), uint32_t(20 * 44100 * 4));
    // The stopped mixdown says it is finished.
    bool finished = false;
    for (const MSGBOX &b : g_aMsgBoxes)
        finished = finished || (b.pWindow && b.pszText && std::strcmp(b.pszText, Ui_Text(605)) == 0);
    EXPECT_TRUE(finished);
}
