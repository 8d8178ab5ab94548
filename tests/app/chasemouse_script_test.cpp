// The chase editor worked with the mouse alone, through the studio's own loop and an input
// script: a new clip's first chase is picked from the type page, a parameter row is clicked, the
// value bar's arrow changes it (the preview follows), the pointer over the preview has it drawn
// again, the timeline strip moves the time and a key is written there, and a globals arrow steps
// the music trigger.
#include "spine_fixture.h"
#include "support/studioprocess.h"

#include "core/event.h"
#include "editors/chaseeditor.h"
#include "editors/topbar.h"
#include "render/framecycle.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "ui/view.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"
#include "video/render.h"

#include <functional>
#include <map>

namespace
{

// The editor window of a 640 x 480 screen sits at ((640 - 348) / 2, (480 - 139) / 2); the
// plain type page's window at y 210, its first row (the shape) 24 pixels below; the pointer
// starts at (320, 240).
constexpr int WX = 146, WY = 170;
constexpr int kShapeRowY = 210 + 8 + 16 + 8;
constexpr int kRow = 4; // the shape's "Quantity" (1..32)

struct SNAP
{
    int screen = -1, entries = 0, headId = 0, listSel = -1, level = -1, keys = 0, trigA = -1, redraw = 0;
    int values[16] = {};
};

struct Seen
{
    int step = 0, frame = 0, pickerFrame = -1;
    std::map<int, SNAP> at;
    std::vector<uint8_t> previewBefore, previewAfter;
    Picture editor;
};
Seen s;

Picture Presented()
{
    Picture p;
    const std::vector<uint8_t> &rgb = Plat_DisplayPresentedFrame(&p.width, &p.height);
    p.rgb = rgb;
    return p;
}

std::vector<uint8_t> Region(const Picture &p, int x, int y, int w, int h)
{
    std::vector<uint8_t> out;
    for (int j = y; j < y + h && j < int(p.height); j++)
        for (int i = x; i < x + w && i < int(p.width); i++)
            for (int c = 0; c < 3; c++)
                out.push_back(p.rgb[(size_t(j) * p.width + i) * 3 + c]);
    return out;
}

SNAP Snap()
{
    SNAP n;
    n.screen = g_iScreen;
    n.redraw = g_iViewRedrawCount;
    if (g_pPreviewClip) {
        n.entries = g_pPreviewClip->sEntryCount;
        n.headId = Vid_GetClipStoredId(g_pPreviewClip);
    }
    n.listSel = g_ucChaseListSel;
    n.level = g_ucChaseLevel;
    if (g_pEditChase) {
        n.keys = Vid_GetChaseKeyCount(g_pEditChase);
        n.trigA = g_pEditChase->ucTrigA;
    }
    for (int i = 0; i < 16; i++)
        n.values[i] = g_aiChaseValues[i];
    return n;
}

// Set-up through the studio's calls: an empty video track and a new clip's range; from then on
// only the script's mouse works the editor. Each frame's state is kept for the checks.
void Drive(uintptr_t)
{
    s.frame++;
    s.at[s.frame] = Snap();
    // The preview region of the frame shown last, before and after the value changes.
    if (s.frame == 76)
        s.previewBefore = Region(Presented(), WX + 219, WY + 27, 120, 90);
    if (s.frame == 106) {
        s.editor = Presented();
        s.previewAfter = Region(s.editor, WX + 219, WY + 27, 120, 90);
    }
    const std::vector<std::function<bool()>> steps = {
        [] {
            Vid_ClearLaneRange(0, VID_POSITIONS - 1);
            Ed_CloseWindowsThenRun(Ed_ShowVideoGrid);
            return true;
        },
        [] { return g_ucGridKind == 1 && g_pGridView && Ui_WindowIsOpen(g_pGridWindow) && g_iNextScreen == -1; },
        [] {
            Ui_SetGridOrigin(2, g_aucGridRowGroupFirst[0]);
            Ed_EditClipAtCursor();
            return true;
        },
        [] {
            Ed_ChaseLengthUp();
            Ed_ChaseLengthAccept();
            return true;
        },
        [] {
            if (!(g_pChaseEditWindow && g_pPageMenuPopup && g_sMenuPage == 9))
                return false;
            s.pickerFrame = s.frame;
            return true;
        },
    };
    if (s.step < int(steps.size()) && steps[size_t(s.step)]())
        s.step++;
}

void StartDriver()
{
    s.frame = 0;
    Sys_EventAddHandler(GFX_EVENT_FRAME_START, Drive);
}

// The script: relative pointer moves from where the last one left it, and left clicks.
struct SCRIPT
{
    int x = 320, y = 240;
    std::vector<std::string> lines = {"5 keydown F4", "6 keyup F4"};
    void MoveTo(int frame, int nx, int ny)
    {
        lines.push_back(std::to_string(frame) + " mousemove " + std::to_string(nx - x) + " " + std::to_string(ny - y));
        x = nx;
        y = ny;
    }
    void Click(int frame, int nx, int ny)
    {
        MoveTo(frame, nx, ny);
        lines.push_back(std::to_string(frame + 2) + " mousedown 1");
        lines.push_back(std::to_string(frame + 3) + " mouseup 1");
    }
};

class ChaseMouseScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
        s = Seen{};
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        SpineTest::TearDown();
    }
};

TEST_F(ChaseMouseScript, PicksATypeEditsAValueMovesTheTimeAndStepsATrigger)
{
    Ui_SetMenuItemHandler(3, StartDriver);
    SCRIPT sc;
    // Frames counted from F4's press (script frame 5).
    const int f = 5;
    sc.Click(f + 60, 260, kShapeRowY);                            // the shape type
    sc.Click(f + 80, WX + 150, WY + 46 + 12 * kRow + 6);     // its "Quantity" row
    for (int i = 0; i < 3; i++)
        sc.Click(f + 88 + 4 * i, WX + 335, WY + 150);             // the value bar's up arrow
    sc.MoveTo(f + 108, WX + 280, WY + 70);                         // over the preview
    sc.Click(f + 114, WX + 46 + 120, WY + 166);                    // time 120 on the strip
    sc.Click(f + 122, WX + 222, WY + 150);                         // the value bar's down arrow
    sc.Click(f + 130, WX + 55, WY + 105);                          // the music trigger's up arrow
    ASSERT_EQ(Run(nullptr, f + 145, sc.lines), 0);
    if (s.editor.width) {
        const std::string png = ::testing::TempDir() + "tnv_chasemouse.png";
        EXPECT_TRUE(Plat_WritePng(png.c_str(), s.editor.rgb.data(), s.editor.width, s.editor.height));
    }

    ASSERT_GT(s.pickerFrame, 0) << "the new clip's type page opened";
    ASSERT_LT(s.pickerFrame, 58) << "before the script's first click";
    const auto at = [](int frame) { return s.at.count(frame) ? s.at[frame] : SNAP{}; };

    const SNAP picked = at(70);
    EXPECT_EQ(picked.entries, 1);
    EXPECT_EQ(picked.headId, 1) << "the clicked row is the shape type";
    EXPECT_EQ(picked.screen, 35);

    const SNAP row = at(86);
    EXPECT_EQ(row.screen, 36) << "a clicked row is edited on the parameter screen";
    EXPECT_EQ(row.listSel, kRow);

    const SNAP stepped = at(104);
    EXPECT_EQ(stepped.values[kRow] - row.values[kRow], 3) << "three clicks on the up arrow";
    EXPECT_EQ(stepped.keys, 1);
    ASSERT_FALSE(s.previewBefore.empty());
    EXPECT_NE(s.previewBefore, s.previewAfter) << "the preview shows more shapes";

    EXPECT_GT(at(112).redraw, 0) << "the pointer over the preview has it drawn again";

    const SNAP timed = at(120);
    EXPECT_EQ(timed.level, 120);
    EXPECT_EQ(timed.screen, 37) << "the strip shows the timeline";

    const SNAP keyed = at(128);
    EXPECT_EQ(keyed.keys, 2) << "a change at time 120 is a second key";
    EXPECT_EQ(keyed.values[kRow], stepped.values[kRow] - 1);

    EXPECT_EQ(at(136).trigA, 1) << "the music trigger's up arrow";
}

} // namespace
