// The riff icon picker as a user meets it in the running studio: opened on a riff of the demo
// song, a click on a cell gives the riff that icon and closes the picker; a click beside the
// cells changes nothing.
#include "app/spine_fixture.h"

#include "sequencer/songmodel.h"
#include "ui/gridsetup.h"
#include "ui/iconpicker.h"
#include "ui/menupages.h"
#include "ui/mouse.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

struct Seen
{
    int32_t riff = 0;
    int opened = 0, typeAfter = -1, stillOpen = -1;
};
Seen s_seen;

// F4, first: the picker on the first riff of the song, which has icon 0; second: what it did.
void PickerStep()
{
    if (!s_seen.opened) {
        for (int32_t id = 1; id < 200 && !s_seen.riff; id++)
            if (Seq_GetRiff(id))
                s_seen.riff = id;
        Seq_SetRiffType(s_seen.riff, 0);
        g_uCurrentRiff = uint16_t(s_seen.riff);
        Ui_OpenIconPicker(ICONPICKER_CURRENT);
        s_seen.opened = g_pIconPickerWindow != nullptr;
        return;
    }
    if (const RIFFENTRY *r = Seq_GetRiff(s_seen.riff))
        s_seen.typeAfter = r->ucType;
    s_seen.stillOpen = g_pIconPickerWindow != nullptr;
}

class IconPickerScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
        s_seen = Seen{};
        g_ucMouseButtons = 0;
        Ui_SetMenuItemHandler(3, PickerStep);
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        SpineTest::TearDown();
    }
    // The picker (189 x 73) stands at (226, 100) on the 640 x 480 screen.
    static std::vector<std::string> Script(int x, int y)
    {
        return {"10 keydown F4", "11 keyup F4",
                "16 mousemove -2000 -2000", "17 mousemove " + std::to_string(226 + x) + " " + std::to_string(100 + y),
                "19 mousedown 1", "20 mouseup 1",
                "26 keydown F4", "27 keyup F4"};
    }
};

// Each run starts from a fresh program: a press on cell 13 (second row, sixth column) gives the
// riff that icon and closes the picker.
TEST_F(IconPickerScript, AClickOnACellGivesTheRiffItsIcon)
{
    ASSERT_EQ(Run(nullptr, 30, Script(6 + 22 * 5 + 11, 23 + 22 + 11)), 0);
    ASSERT_EQ(s_seen.opened, 1);
    EXPECT_EQ(s_seen.typeAfter, 13);
    EXPECT_EQ(s_seen.stillOpen, 0);
}

// A press on the picker's edge beside the cells leaves the icon and the picker as they were.
TEST_F(IconPickerScript, AClickBesideTheCellsChangesNothing)
{
    ASSERT_EQ(Run(nullptr, 30, Script(184, 40)), 0);
    ASSERT_EQ(s_seen.opened, 1);
    EXPECT_EQ(s_seen.typeAfter, 0);
    EXPECT_EQ(s_seen.stillOpen, 1);
}
} // namespace
