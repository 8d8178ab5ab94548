// The page menu driven as a user drives it, through the studio's own loop and an input script:
// a right click opens it, the cursor keys move, a click chooses, Escape closes, and it reopens
// where it was left.
#include "spine_fixture.h"

#include "ui/handlers.h"
#include "ui/menupages.h"
#include "ui/popup.h"

namespace
{

int s_cloneRuns = 0;
int s_screenWhenRun = -1;
void CloneRiff()
{
    s_cloneRuns++;
    s_screenWhenRun = g_pPageMenuPopup ? 21 : 0;
}

class PageMenuScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        ResetPageMenus();
        s_cloneRuns = 0;
        s_screenWhenRun = -1;
    }
    void TearDown() override
    {
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        SpineTest::TearDown();
    }
};

TEST_F(PageMenuScript, OpenMoveChooseGreyedCloseReopenAtTheSamePlaceAndChoose)
{
    // Page 0, the song grid. Row 9 of its list is "Change riff volume" (greyed, no handler yet);
    // row 8 is "Clone riff", given a handler here.
    Ui_SetMenuItemHandler(51, CloneRiff);
    const uint32_t refusals = g_uRefusals;
    // The pointer starts at the screen's centre, over row 5 of the menu that opens under it (kept
    // on screen); each step of the cursor keys takes the pointer one row along with the selection.
    EXPECT_EQ(Run(nullptr, 90,
                  {"10 mousedown 2", "11 mouseup 2",                                    // open
                   "15 keydown Down", "16 keyup Down", "20 keydown Down", "21 keyup Down", // rows 6, 7
                   "25 keydown Down", "26 keyup Down", "30 keydown Down", "31 keyup Down", // rows 8, 9
                   "50 mousedown 1", "51 mouseup 1",                    // row 9 under the pointer: refused
                   "55 keydown Escape", "56 keyup Escape",                               // close
                   "60 mousedown 2", "61 mouseup 2",                                     // reopen
                   "65 keydown Up", "66 keyup Up",                                       // row 8
                   "70 mousedown 1", "71 mouseup 1",                                     // choose
                   "75 mousedown 2", "76 mouseup 2",                                     // reopen
                   "80 keydown Up", "81 keyup Up", "84 keydown Escape", "85 keyup Escape"}),
              0);
    EXPECT_EQ(Count("Ui_OpenPageMenu"), 3);
    EXPECT_EQ(Count("Ui_ClosePageMenu"), 2) << Lines(Log());
    EXPECT_EQ(Count("Ui_ChoosePageMenuItem"), 1);
    EXPECT_EQ(g_uRefusals, refusals + 1) << "the greyed row refused once and the menu stayed";
    EXPECT_EQ(s_cloneRuns, 1) << "the reopened menu started at row 9, one step up is row 8";
    EXPECT_EQ(s_screenWhenRun, 0) << "the menu is closed before the item runs";
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
    EXPECT_EQ(g_iScreen, 0) << "back on the grid";
    EXPECT_EQ(g_atPageMenuDescs[0].selected, 7) << "reopened at row 8, where the choice was made, then one up";
}

} // namespace
