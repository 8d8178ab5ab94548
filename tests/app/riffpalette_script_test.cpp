// The riff palette as a musician reaches it, through the studio's own loop and an input script on
// the demo song: F5 opens the palette, F5 again renames the riff of its first row, the page menu's
// "Change riff icon" opens the icon picker whose arrows and accept key give the riff another icon,
// and "Remove unused riffs" asks, removes and says what it did.
#include "spine_fixture.h"

#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "support/studioprocess.h"
#include "ui/iconpicker.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace
{

// What the run showed, taken while it runs: the song ends with it. F9 on the palette runs "Find
// riff in song", which the test points here.
struct SEEN
{
    int taken = 0;
    int riff = 0, type = -1, undoneType = -1;
    std::string name;
    int rows = -1;
};
SEEN s_seen;

void TakeSnapshot()
{
    SEEN &s = s_seen;
    s.taken++;
    s.riff = g_uRiffListCount ? g_auRiffList[1] : 0;
    char name[17] = {};
    Seq_GetRiffName(s.riff, name);
    s.name = name;
    if (const RIFFENTRY *r = Seq_GetRiff(s.riff))
        s.type = r->ucType;
    s.rows = g_pCurrentPopup && g_pCurrentPopup->list ? g_pCurrentPopup->list->totalRows : -1;
    // Undo brings the old icon back; redo puts the new one again.
    Seq_UndoLastStep();
    if (const RIFFENTRY *r = Seq_GetRiff(s.riff))
        s.undoneType = r->ucType;
    Seq_RedoLastStep();
}

class RiffPaletteScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        m_mouseButtons = g_ucMouseButtons;
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_ucMouseButtons = m_mouseButtons;
        SpineTest::TearDown();
    }
    uint8_t m_mouseButtons = 0;

    static std::vector<std::string> Press(int frame, const char *key)
    {
        return {std::to_string(frame) + " keydown " + key, std::to_string(frame + 1) + " keyup " + key};
    }
    static std::string Dump(const char *name)
    {
        const char *dir = std::getenv("TNV_TEST_PNG_DIR");
        return (dir ? std::string(dir) + "/" : ::testing::TempDir()) + "tnv_riffpalette_" + name + ".png";
    }
};

TEST_F(RiffPaletteScript, RenameReIconAndRemoveUnusedFromThePalette)
{
    ResetPageMenus();
    g_ucMouseButtons = 0;
    g_bModalBoxOpen = 0;
    g_pCurrentMsgBox = nullptr;
    for (MSGBOX &m : g_aMsgBoxes)
        m.pWindow = nullptr;
    setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    Ui_SetMenuItemHandler(94, TakeSnapshot);
    s_seen = SEEN{};

    // The pointer rests on the palette's title bar, where hovering picks no row.
    std::vector<std::string> script = {"1 mousemove -75 -160"};
    auto add = [&script](const std::vector<std::string> &lines) { script.insert(script.end(), lines.begin(), lines.end()); };
    add(Press(10, "F5")); // the palette
    add(Press(16, "F5")); // "Change riff name" on its first row
    for (int i = 0; i < 16; i++)
        script.push_back("22 char 0x08");
    script.push_back("23 text Groove");
    script.push_back("26 char 13");
    // F6, "Change riff icon": down a row and one right with the arrows, which take the pointer
    // along, and a click on the cell chooses it.
    add(Press(32, "F6"));
    add(Press(40, "Down"));
    add(Press(46, "Right"));
    script.insert(script.end(), {"52 mousedown 1", "53 mouseup 1"});
    add(Press(58, "F9")); // the snapshot
    // "Remove unused riffs", the seventh row of the palette's page menu (right button), asks; the
    // right button of the question ("Okay") and Enter answer it.
    script.insert(script.end(), {"62 mousemove -2000 -2000", "63 mousemove 245 80", "64 mousedown 2", "65 mouseup 2",
                                 "68 mousemove -15 100", "70 mousedown 1", "71 mouseup 1"});
    add(Press(76, "Right"));
    add(Press(80, "Return"));
    const std::string png = Dump("removed");
    std::remove(png.c_str());
    setenv("TNV_DUMP_FRAME", png.c_str(), 1);
    ASSERT_EQ(Run(nullptr, 88, script), 0);
    unsetenv("TNV_DUMP_FRAME");

    ASSERT_EQ(s_seen.taken, 1) << Lines(Log());
    ASSERT_GT(s_seen.riff, 0);
    EXPECT_EQ(s_seen.name, "Groove");
    EXPECT_GE(s_seen.rows, 1);
    EXPECT_GE(s_seen.type, 8) << "down a row on the picker";
    EXPECT_NE(s_seen.undoneType, s_seen.type) << "undo restores the icon";
    EXPECT_EQ(Count("Ui_OpenIconPicker"), 1);
    // The result box of "Remove unused riffs" is on the dumped frame.
    const Picture pic = ReadPng(png);
    ASSERT_EQ(pic.width, 640u);
    int bright = 0;
    // Its text line, centred under the palette's empty rows.
    for (uint32_t y = 182; y < 196; y++)
        for (uint32_t x = 250; x < 400; x++) {
            const uint8_t *p = &pic.rgb[(size_t(y) * pic.width + x) * 3];
            bright += p[0] > 180 && p[1] > 180 && p[2] > 180;
        }
    EXPECT_GT(bright, 40) << "the result of the removal is said in a box";
}

} // namespace
