// The main screens as a new user walks through them, in one run of the studio driven only by the
// mouse and the keys of an input script: the song grid, the riff editor (from the grid's page
// menu) and back through its close box, the video grid (top-bar button), the video clip editor
// (from the video grid's page menu) and back with Escape, the file screen, the option pages and
// last a single-player jam on the first template of the first set.
//
// A frame handler only watches: once a screen has stood still for some frames, it keeps the
// presented picture of it. The pictures are checked for what tells the screens apart (which
// top-bar button is lit, the screen's own window over the grid, the jam's own layout) and written
// out as PNG files (into TNV_TEST_PNG_DIR when set, else the test's temporary folder).
#include "spine_fixture.h"
#include "support/studioprocess.h"

#include "core/event.h"
#include "editors/chaseeditor.h"
#include "editors/filescreen.h"
#include "editors/options.h"
#include "jam/jamsession.h"
#include "render/framecycle.h"
#include "ui/gridstate.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/widgets.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

enum SHOWN
{
    SHOWN_SONG_GRID,
    SHOWN_RIFF_EDITOR,
    SHOWN_VIDEO_GRID,
    SHOWN_CLIP_EDITOR,
    SHOWN_FILE_SCREEN,
    SHOWN_OPTIONS,
    SHOWN_JAM,
    SHOWN_COUNT
};

const char *const kShownNames[SHOWN_COUNT] = {"song_grid", "riff_editor", "video_grid", "clip_editor",
                                              "file_screen", "options", "jam"};

// A screen counts as shown once it has stood for this many frames with nothing over it.
constexpr int kSteadyFrames = 8;

struct WALK
{
    int current = -1, steady = 0;
    Picture taken[SHOWN_COUNT];
    int frame[SHOWN_COUNT] = {};
    std::vector<int> order; // the screens in the order they were first taken
};
WALK s_walk;

// The main screen the studio shows now; -1 while it changes screens or a pop-up, page menu or
// message box stands over one.
int ShownNow()
{
    if (g_iNextScreen != -1 || g_pPageMenuPopup || g_pCurrentMsgBox)
        return -1;
    const bool popup = g_pCurrentPopup && !g_pCurrentPopup->free;
    if (g_iJamStartState.load() == JAM_START_RUNNING)
        return g_bJamKeysActive.load() && !popup ? SHOWN_JAM : -1;
    if (popup)
        return -1;
    if (Ui_WindowIsOpen(g_pOptionWindow))
        return SHOWN_OPTIONS;
    if (Ui_WindowIsOpen(g_pFileBrowserWindow))
        return SHOWN_FILE_SCREEN;
    if (g_pChaseEditWindow)
        return SHOWN_CLIP_EDITOR;
    if (!Ui_WindowIsOpen(g_pGridWindow))
        return -1;
    switch (g_ucGridKind) {
    case 1: return SHOWN_VIDEO_GRID;
    case 2: return SHOWN_SONG_GRID;
    case 3: return SHOWN_RIFF_EDITOR;
    default: return -1;
    }
}

void Watch(uintptr_t)
{
    const int now = ShownNow();
    if (now != s_walk.current) {
        s_walk.current = now;
        s_walk.steady = 0;
        return;
    }
    if (now < 0 || ++s_walk.steady != kSteadyFrames || !s_walk.taken[now].rgb.empty())
        return;
    Picture &p = s_walk.taken[now];
    p.rgb = Plat_DisplayPresentedFrame(&p.width, &p.height);
    s_walk.frame[now] = g_iMainFrameCount;
    s_walk.order.push_back(now);
}

void StartWatching()
{
    Sys_EventAddHandler(GFX_EVENT_FRAME_START, Watch);
}

// The pointer starts at (320, 240), over the demo song's riff on tracks 6-7. The top bar's six
// mode buttons are 25 px apart from x 17, y 17: song, video, jam, load and save, CD, options.
const std::vector<std::string> kWalk = {
    // F4, a row no song grid item uses, starts the watcher.
    "5 keydown F4", "6 keyup F4",
    // Right click: the song grid's page menu, whose fourth row "Riff Editor" lies at y 206.
    "30 mousedown 2", "31 mouseup 2", "34 mousemove 0 -34", "36 mousedown 1", "37 mouseup 1",
    // The close box at the left end of the riff editor's caption (128, 180).
    "70 mousemove -192 -26", "75 mousedown 1", "76 mouseup 1",
    // "Video Track" (54, 29).
    "95 mousemove -74 -151", "100 mousedown 1", "101 mouseup 1",
    // A right click on a clip of lane 1 (204, 95): the page menu opens with its first row under
    // the pointer; "Edit Video Clip" is four rows lower.
    "130 mousemove 150 66", "135 mousedown 2", "136 mouseup 2", "140 mousemove 0 64", "145 mousedown 1",
    "146 mouseup 1",
    // Escape leaves the clip editor for the video grid.
    "180 keydown Escape", "181 keyup Escape",
    // "Load and Save" (104, 26), and Escape out of it.
    "200 mousemove -100 -133", "205 mousedown 1", "206 mouseup 1", "240 keydown Escape", "241 keyup Escape",
    // "Options" (154, 26), and Escape out of them.
    "260 mousemove 50 0", "265 mousedown 1", "266 mouseup 1", "300 keydown Escape", "301 keyup Escape",
    // "Music Jam" (79, 26), then "Single Player Jam" in the session list (95, 47).
    "320 mousemove -75 0", "325 mousedown 1", "326 mouseup 1", "345 mousemove 16 21", "350 mousedown 1",
    "351 mouseup 1",
    // The template list opens on the user's own templates: the left arrow of its folder bar
    // (170, 373) steps to the studio's first set, whose first template (200, 112) is clicked
    // to select it and again to start the jam.
    "375 mousemove 75 326", "380 mousedown 1", "381 mouseup 1", "395 mousemove 30 -261", "400 mousedown 1",
    "401 mouseup 1", "410 mousedown 1", "411 mouseup 1"};
constexpr int kWalkFrames = 450;

double Mean(const Picture &p, int x0, int y0, int w, int h)
{
    double sum = 0;
    int n = 0;
    for (int y = y0; y < y0 + h && y < int(p.height); y++)
        for (int x = x0; x < x0 + w && x < int(p.width); x++, n++) {
            const uint8_t *c = &p.rgb[(size_t(y) * p.width + size_t(x)) * 3];
            sum += c[0] + c[1] + c[2];
        }
    return n ? sum / (3.0 * n) : 0;
}

// The mean difference per channel between two pictures over a rectangle.
double Difference(const Picture &a, const Picture &b, int x0, int y0, int w, int h)
{
    if (a.width != b.width || a.height != b.height)
        return 255;
    double sum = 0;
    int n = 0;
    for (int y = y0; y < y0 + h && y < int(a.height); y++)
        for (int x = x0; x < x0 + w && x < int(a.width); x++)
            for (int c = 0; c < 3; c++, n++) {
                const size_t at = (size_t(y) * a.width + size_t(x)) * 3 + size_t(c);
                sum += std::abs(int(a.rgb[at]) - int(b.rgb[at]));
            }
    return n ? sum / n : 0;
}

// The lit top-bar mode button: the one clearly brighter than the other five; -1 when none is.
int LitButton(const Picture &p)
{
    double level[6];
    for (int i = 0; i < 6; i++)
        level[i] = Mean(p, 19 + 25 * i, 19, 21, 21);
    for (int i = 0; i < 6; i++) {
        bool lit = true;
        for (int j = 0; j < 6; j++)
            lit = lit && (j == i || level[i] > level[j] + 30);
        if (lit)
            return i;
    }
    return -1;
}

class MainScreensScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        ResetPageMenus();
        m_mouseButtons = g_ucMouseButtons;
        g_ucMouseButtons = 0; // start-up switches mouse use on
        g_ucGridOptions = 0;
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        s_walk = WALK{};
        ResetJamState();
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_ucMouseButtons = m_mouseButtons;
        ResetJamState();
        SpineTest::TearDown();
    }
    uint8_t m_mouseButtons = 0;

    // The walk ends inside a running jam, and shutting the studio down leaves its start state as
    // it was: a later run in this process starts from no jam.
    static void ResetJamState()
    {
        g_iJamStartState = JAM_START_IDLE;
        g_bJamKeysActive = 0;
    }

    static std::string PngPath(const char *name)
    {
        const char *dir = std::getenv("TNV_TEST_PNG_DIR");
        return (dir ? std::string(dir) + "/" : ::testing::TempDir()) + "tnv_walk_" + name + ".png";
    }
};

TEST_F(MainScreensScript, EachMainScreenIsReachedByMouseAndKeysAndShowsItself)
{
    Ui_SetMenuItemHandler(3, StartWatching);
    ASSERT_EQ(Run(nullptr, kWalkFrames, kWalk), 0);

    std::string seen;
    for (int s : s_walk.order)
        seen += std::string(kShownNames[s]) + " at frame " + std::to_string(s_walk.frame[s]) + "; ";
    for (int s = 0; s < SHOWN_COUNT; s++) {
        const Picture &p = s_walk.taken[s];
        if (!p.rgb.empty())
            Plat_WritePng(PngPath(kShownNames[s]).c_str(), p.rgb.data(), p.width, p.height);
    }
    // The song grid comes back after the riff editor and the video grid after the clip editor,
    // the file screen and the options; each is taken once, when first seen.
    const std::vector<int> want = {SHOWN_SONG_GRID, SHOWN_RIFF_EDITOR, SHOWN_VIDEO_GRID, SHOWN_CLIP_EDITOR,
                                   SHOWN_FILE_SCREEN, SHOWN_OPTIONS, SHOWN_JAM};
    ASSERT_EQ(s_walk.order, want) << "screens seen: " << seen;
    for (int s = 0; s < SHOWN_COUNT; s++) {
        EXPECT_EQ(s_walk.taken[s].width, 640u) << kShownNames[s];
        EXPECT_EQ(s_walk.taken[s].height, 480u) << kShownNames[s];
    }
    const Picture *shot = s_walk.taken;

    // The top bar lights the section each editor screen belongs to; the jam screen has no top bar.
    const struct
    {
        int shown, lit;
    } kLit[] = {{SHOWN_SONG_GRID, 0},   {SHOWN_RIFF_EDITOR, 0}, {SHOWN_VIDEO_GRID, 1}, {SHOWN_CLIP_EDITOR, 1},
                {SHOWN_FILE_SCREEN, 3}, {SHOWN_OPTIONS, 5},     {SHOWN_JAM, -1}};
    for (const auto &c : kLit)
        EXPECT_EQ(LitButton(shot[c.shown]), c.lit) << kShownNames[c.shown];

    // Each window stands where it opens, over the grid it was opened from: the rectangle it
    // takes differs plainly from that grid's own picture.
    const struct
    {
        int shown, under, x, y, w, h;
    } kWindows[] = {
        {SHOWN_RIFF_EDITOR, SHOWN_SONG_GRID, 120, 175, 335, 170},
        {SHOWN_CLIP_EDITOR, SHOWN_VIDEO_GRID, 150, 175, 335, 165},
        {SHOWN_FILE_SCREEN, SHOWN_VIDEO_GRID, 142, 118, 355, 250},
        {SHOWN_OPTIONS, SHOWN_VIDEO_GRID, 150, 160, 335, 180},
        {SHOWN_VIDEO_GRID, SHOWN_SONG_GRID, 64, 84, 480, 140}, // clips on the lanes, not riffs
    };
    for (const auto &c : kWindows)
        EXPECT_GT(Difference(shot[c.shown], shot[c.under], c.x, c.y, c.w, c.h), 20.0) << kShownNames[c.shown];
    // Outside its window a screen leaves the grid as it was (the lower rows of the video grid).
    for (int s : {SHOWN_CLIP_EDITOR, SHOWN_FILE_SCREEN, SHOWN_OPTIONS})
        EXPECT_LT(Difference(shot[s], shot[SHOWN_VIDEO_GRID], 20, 380, 100, 60), 4.0) << kShownNames[s];

    // The jam screen replaces the editors' whole picture: the riff keys where the top bar was,
    // the log across the bottom where the grid's rows were.
    EXPECT_GT(Difference(shot[SHOWN_JAM], shot[SHOWN_SONG_GRID], 8, 8, 600, 50), 25.0);
    EXPECT_GT(Difference(shot[SHOWN_JAM], shot[SHOWN_SONG_GRID], 40, 375, 560, 85), 25.0);
}

} // namespace
