// Menu pages: the tables' invariants, every item and title with an English text, slot and
// function-key runs, greyed items refusing, page 31, and the page menu's size limits.
#include "ui_fixture.h"

#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"

#include <set>
#include <string>
#include <vector>

using namespace uitest;

namespace {

std::vector<int> s_ran;
template <int N> void Ran()
{
    s_ran.push_back(N);
}

class MenuPages : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Ui_UseBuiltinTexts(0);
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        s_ran.clear();
    }
    void TearDown() override
    {
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        UiTest::TearDown();
    }
};

} // namespace

TEST(MenuTables, Invariants)
{
    std::set<int> listed;
    for (int p = 0; p < MENU_PAGES; p++) {
        const MENUPAGE &page = g_atMenuPageTable[p];
        int n = 0;
        while (n < MENU_PAGE_ITEMS && page.items[n] != MENU_LIST_END) {
            EXPECT_LT(page.items[n], MENU_ITEM_ROWS) << "page " << p;
            listed.insert(page.items[n]);
            n++;
        }
        EXPECT_LT(n, MENU_ROW_STATES) << "page " << p << " fits the row states";
        for (uint8_t f : page.fkeys)
            EXPECT_LT(f, MENU_ITEM_ROWS) << "page " << p;
        EXPECT_GE(page.title, 0);
        EXPECT_LT(page.title, TEXT_COUNT);
        EXPECT_STRNE(g_aapszBuiltinText[0][page.title], "") << "title of page " << p;
    }
    // Pages 19-22 and 31 have no items; 31 no function keys either.
    for (int p : {19, 20, 21, 22, 31})
        EXPECT_EQ(g_atMenuPageTable[p].items[0], MENU_LIST_END) << p;
    for (uint8_t f : g_atMenuPageTable[31].fkeys)
        EXPECT_EQ(f, MENU_EMPTY_ITEM);
    EXPECT_EQ(listed.size(), 139u) << "rows that stand in some page's list";
    for (int r = 0; r < MENU_ITEM_ROWS; r++) {
        const MENUITEM &item = g_atMenuItemTable[r];
        EXPECT_LT(item.text, 700) << r;
        EXPECT_EQ(item.handler, nullptr) << "built greyed; editors install handlers";
        if (r == MENU_EMPTY_ITEM)
            EXPECT_EQ(item.text, TEXT_EMPTY);
        else
            EXPECT_STRNE(g_aapszBuiltinText[0][item.text], "") << "row " << r;
    }
    EXPECT_EQ(g_atMenuItemTable[0].text, 19);
    EXPECT_EQ(g_atMenuItemTable[0].slot, 14);
    EXPECT_EQ(g_atMenuItemTable[9].text, 661);
    EXPECT_EQ(g_atMenuItemTable[11].icon, 471u);
    EXPECT_EQ(g_atMenuItemTable[165].icon, 699u);
    EXPECT_EQ(g_atMenuPageTable[0].fkeys[9], 9) << "F10 of page 0";
    EXPECT_EQ(g_atMenuPageTable[4].fkeys[7], 96) << "F8 of page 4, not in its list";
}

TEST_F(MenuPages, SlotsRunTheFirstItemWithAHandler)
{
    // Slot 14 on page 0 is "Paste riff".
    Ui_SetMenuItemHandler(0, Ran<0>);
    Ui_RunPageItemForSlot(14);
    EXPECT_EQ(s_ran, std::vector<int>{0});

    s_ran.clear();
    Ui_SetMenuPage(17); // rows 13 (15), 14 (14), 98 (11)
    Ui_SetMenuItemHandler(14, Ran<14>);
    Ui_RunPageItemForSlot(14);
    EXPECT_EQ(s_ran, std::vector<int>{14});

    // Two items share a slot (no page has this as built): the first in list order wins.
    s_ran.clear();
    Ui_SetMenuPage(6); // ..., 39 (slot 0), 43 (slot 3), 41 (slot 14), ...
    g_atMenuItems[41].slot = 3;
    Ui_SetMenuItemHandler(41, Ran<41>);
    Ui_SetMenuItemHandler(43, Ran<43>);
    Ui_RunPageItemForSlot(3);
    EXPECT_EQ(s_ran, std::vector<int>{43});
    Ui_ResetMenuItems();

    // Greyed first item: the next with the slot and a handler runs.
    s_ran.clear();
    Ui_SetMenuPage(2); // 16 (10), 17 (11), 18 (9), 19 (0), 20 (3), 50 (15)
    Ui_SetMenuItemHandler(19, Ran<19>);
    Ui_RunPageItemForSlot(0);
    EXPECT_EQ(s_ran, std::vector<int>{19});

    // An item with the slot but no handler refuses; a slot nobody has does nothing.
    const uint32_t refusals = g_uUnbuiltHandlerRuns;
    Ui_RunPageItemForSlot(10);
    EXPECT_EQ(g_uUnbuiltHandlerRuns, refusals + 1);
    Ui_RunPageItemForSlot(8);
    EXPECT_EQ(g_uUnbuiltHandlerRuns, refusals + 1);

    // Page 31 runs nothing.
    s_ran.clear();
    Ui_SetMenuPage(MENU_PAGE_NONE);
    Ui_RunPageItemForSlot(0);
    EXPECT_TRUE(s_ran.empty());
    EXPECT_EQ(g_uUnbuiltHandlerRuns, refusals + 1);
    EXPECT_EQ(Ui_MenuFKeyRow(0), -1);
}

TEST_F(MenuPages, FunctionKeysAndGreyedRows)
{
    Ui_SetMenuItemHandler(9, Ran<9>);
    EXPECT_TRUE(Ui_RunMenuFKey(9)) << "F10 on page 0 runs row 9";
    Ui_SetMenuPage(4);
    Ui_SetMenuItemHandler(96, Ran<96>);
    EXPECT_TRUE(Ui_RunMenuFKey(7)) << "F8 on page 4 runs row 96";
    EXPECT_EQ(s_ran, (std::vector<int>{9, 96}));
    EXPECT_FALSE(Ui_RunMenuFKey(4)) << "row 27 is greyed";
    Ui_SetMenuPage(1);
    EXPECT_EQ(Ui_MenuFKeyRow(5), -1) << "165 is no key";
    EXPECT_FALSE(Ui_RunMenuFKey(5));

    // Choosing a greyed row refuses with sound 3 and nothing runs.
    g_iInterfaceVoiceOn = 0;
    s_ran.clear();
    EXPECT_FALSE(Ui_ChooseMenuRow(0));
    EXPECT_EQ(g_stInterfaceVoice.pSlot, &g_astInterfaceSounds[3]);
    Ui_SetMenuItemHandler(12, Ran<12>);
    EXPECT_TRUE(Ui_ChooseMenuRow(0));
    EXPECT_EQ(g_stInterfaceVoice.pSlot, &g_astInterfaceSounds[0]);
    EXPECT_EQ(s_ran, std::vector<int>{12});
    EXPECT_FALSE(Ui_ChooseMenuRow(5)) << "past the list";

    char text[64];
    Ui_PageMenuRowText(1, text, sizeof text);
    EXPECT_STREQ(text, "Join riffs");
    Ui_PageMenuRowText(0, text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST_F(MenuPages, PageMenuGeometry)
{
    int32_t x, y, w, h;
    Ui_PageMenuGeometry(0, -1, &x, &y, &w, &h);
    EXPECT_EQ(h, 19 * 16 + 31);
    EXPECT_EQ(x, g_iScreenWidth / 2 - 104);
    EXPECT_EQ(y, 69);
    EXPECT_LE(w, 350);
    EXPECT_GE(w, 75);
    Ui_PageMenuGeometry(9, 40, &x, &y, &w, &h);
    EXPECT_EQ(h, 400) << "height capped";
    EXPECT_EQ(y, g_iScreenHeight / 2 - 50);
    Ui_PageMenuGeometry(19, -1, &x, &y, &w, &h);
    EXPECT_EQ(h, 31) << "title only";
    // A very long item text is capped at 350.
    const char *saved = g_apszText[43];
    std::string longText(300, 'W');
    g_apszText[43] = longText.c_str();
    Ui_PageMenuGeometry(1, -1, &x, &y, &w, &h);
    EXPECT_EQ(w, 350);
    g_apszText[43] = saved;
}
