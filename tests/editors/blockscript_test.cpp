// Block editing on the song grid as a user does it, through the studio's own loop and an input
// script: "Area selection", a click on a riff, copy, carry, paste, undo.
#include "app/spine_fixture.h"

#include "editors/blockselect.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"

#include <map>

namespace
{

std::map<std::pair<int, int>, int> Starts()
{
    std::map<std::pair<int, int>, int> out;
    for (int row = 0; row < 200; row++)
        for (int col = 0; col < SEQ_GRID_COLUMNS; col++)
            if (int riff = Seq_GetRiffStartingAt(row, col))
                out[{row, col}] = riff;
    return out;
}

std::map<std::pair<int, int>, int> s_before, s_after;
int s_undoRuns = 0;
// The song grid's "Undo" item (F11), replaced so the grid can be read around the undo.
void SnapshotAndUndo()
{
    s_undoRuns++;
    s_before = Starts();
    Seq_UndoLastStep();
    s_after = Starts();
}

// "Area selection" (Numpad0), a click on a riff of the demo song (the pointer rests at the screen
// centre, over the four-bar riff at bar 9 on tracks 6 and 7): the whole riff is marked. F4 copies
// it; Down three times carries it three tracks lower; the pointer goes there and a click pastes;
// Numpad0 drops the block; F11 undoes the paste.
TEST_F(SpineTest, MarkCopyCarryPasteAndUndoARiffBlock)
{
    Ui_ResetMenuItems();
    Ui_SetMenuItemHandler(8, SnapshotAndUndo);
    s_undoRuns = 0;
    s_before.clear();
    s_after.clear();
    setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
    EXPECT_EQ(Run(nullptr, 90,
                  {"5 keydown Numpad0", "6 keyup Numpad0", "10 mousedown 1", "11 mouseup 1", "15 keydown F4",
                   "16 keyup F4", "20 keydown Down", "21 keyup Down", "35 keydown Down", "36 keyup Down",
                   "50 keydown Down", "51 keyup Down", "66 mousemove 0 72", "70 mousedown 1", "71 mouseup 1",
                   "75 keydown Numpad0", "76 keyup Numpad0", "80 keydown F11", "81 keyup F11"}),
              0);
    unsetenv("TNV_DATA_DIR");
    Ui_ResetMenuItems();
    EXPECT_EQ(Count("Ed_BlockBegin"), 1);
    EXPECT_EQ(Count("Ed_BlockEnterPasteMode"), 1);
    EXPECT_EQ(Count("Ed_BlockPaste"), 1);
    EXPECT_EQ(Count("Ed_BlockDrop"), 1);
    EXPECT_EQ(g_tBlock.ucMode, 0) << "dropped";
    EXPECT_EQ(g_iScreen, 0) << "back on the song grid's menu";
    ASSERT_EQ(s_undoRuns, 1);
    // Before the undo the copy stands beside the original; the undo takes the copy away only.
    ASSERT_EQ(s_before.size(), s_after.size() + 1);
    ASSERT_TRUE(s_after.count({8, 5}));
    const int riff = s_after.at({8, 5});
    int copies = 0;
    for (const auto &[cell, id] : s_before)
        if (!s_after.count(cell)) {
            copies++;
            EXPECT_EQ(id, riff) << "the pasted riff is the one marked";
            EXPECT_GE(cell.second, 8) << "three tracks lower";
        }
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(s_before.at({8, 5}), riff) << "the copy left the original in place";
}

} // namespace
