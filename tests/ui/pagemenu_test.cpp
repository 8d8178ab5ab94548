// The page menu as a pop-up: what opens for each page, the rows rewritten from the editors'
// state, choosing and closing (screen, focus, sounds, kept place), opening over a pop-up, and the
// rows' brightness.
#include "ui_fixture.h"

#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "ui/amchannels.h"
#include "ui/riffeditor.h"
#include "jam/netobjects.h"
#include "sequencer/samples.h"
#include "ui/gridstate.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "video/chase.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace uitest;

namespace {

std::vector<std::string> s_ran;
void Link() { s_ran.push_back("link"); }
void Unlink() { s_ran.push_back("unlink"); }
void Upgrade() { s_ran.push_back("upgrade"); }
void Downgrade() { s_ran.push_back("downgrade"); }
void Item() { s_ran.push_back(std::string("item@") + std::to_string(g_iNextScreen)); }

class PageMenu : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Ui_UseBuiltinTexts(0);
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        for (POPUPDESC &d : g_atPageMenuDescs)
            d = POPUPDESC{};
        s_ran.clear();
        g_iScreen = 0;
        g_iNextScreen = -1;
        g_iInterfaceVoiceOn = 0;
        g_ucMouseButtons = 0;
        g_bJamSessionOn = 0;
        g_pfnLinkChannel = Link;
        g_pfnAskUnlinkChannel = Unlink;
        g_pfnUpgradeSample = Upgrade;
        g_pfnDowngradeSample = Downgrade;
    }
    void TearDown() override
    {
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_pfnLinkChannel = g_pfnAskUnlinkChannel = g_pfnUpgradeSample = g_pfnDowngradeSample = nullptr;
        std::memset(g_aucChannelLink, 2, sizeof g_aucChannelLink);
        g_ucCurrentChannel = 0;
        g_bJamSessionOn = 0;
        Ui_UseBuiltinTexts(0);
        UiTest::TearDown();
    }
    static int Sound() { return int(g_stInterfaceVoice.pSlot - g_astInterfaceSounds); }
    // A new frame: the pop-up step guard opens again.
    static void NextFrame()
    {
        Walk();
        g_bPopupStepDone = 0;
        if (g_iNextScreen >= 0)
            g_iScreen = g_iNextScreen;
        g_iNextScreen = -1;
    }
};

} // namespace

TEST_F(PageMenu, OpensWithThePagesTitleRowsAndScreen)
{
    g_aiChaseDefHighest[0] = 7;
    g_aiChaseDefHighest[1] = 30;
    g_aiChaseDefHighest[3] = 2;
    struct
    {
        int16_t page;
        int rows;
        const char *title;
    } cases[] = {
        {0, 19, "Song Track"}, {1, 5, "Area selection"}, {19, 0, "Music Jam"},
        {9, 7, "Choose chase type"}, {12, 30, "Choose chase type"}, {23, 2, "Choose chase type"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.page);
        Ui_SetMenuPage(c.page);
        g_iScreen = 7;
        Ui_OpenPageMenu();
        ASSERT_NE(g_pPageMenuPopup, nullptr);
        EXPECT_EQ(g_iNextScreen, 21);
        EXPECT_EQ(g_sPageMenuSavedScreen, 7);
        EXPECT_EQ(Sound(), 1);
        EXPECT_STREQ(g_pPageMenuPopup->title, c.title);
        EXPECT_EQ(g_pPageMenuPopup->list->totalRows, c.rows);
        int32_t x, y, w, h;
        Ui_PageMenuGeometry(c.page, c.rows, &x, &y, &w, &h);
        EXPECT_EQ(g_pPageMenuPopup->window->w, w);
        EXPECT_EQ(g_pPageMenuPopup->window->h, std::max(h, 40)) << "a title-only menu still holds one row";
        EXPECT_EQ(g_pPageMenuPopup->window->y, y);
        if (c.rows) {
            const uint8_t *row = Ui_ListRowBuffer(g_pPageMenuPopup->list, 1);
            uint16_t n;
            std::memcpy(&n, row, 2);
            EXPECT_EQ(n, 1) << "the first visible row";
            if (c.page == 0) {
                EXPECT_STREQ(reinterpret_cast<const char *>(row + 2), "Paste riff");
            }
        }
        NextFrame();
        Ui_ClosePageMenu();
        EXPECT_EQ(g_pPageMenuPopup, nullptr);
        NextFrame();
    }
    for (int &h : g_aiChaseDefHighest)
        h = 0;

    // Page 31 (playback running) opens nothing; nor does a second opening.
    Ui_SetMenuPage(MENU_PAGE_NONE);
    g_iNextScreen = -1;
    Ui_OpenPageMenu();
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
    EXPECT_EQ(g_iNextScreen, -1);
    Ui_SetMenuPage(1);
    Ui_OpenPageMenu();
    POPUP *first = g_pPageMenuPopup;
    Ui_OpenPageMenu();
    EXPECT_EQ(g_pPageMenuPopup, first);
}

TEST_F(PageMenu, RowsFollowTheRiffChannelAndTheSelectedSample)
{
    // Page 4, row 132: add an AM channel unless the current or the next channel is one.
    struct
    {
        uint8_t current;
        int linkedChannel; // -1 none
        int16_t text;
        const char *runs;
    } channels[] = {{0, -1, 516, "link"}, {0, 1, 517, "unlink"}, {1, 1, 517, "unlink"}, {2, 1, 516, "link"}};
    for (const auto &c : channels) {
        SCOPED_TRACE(testing::Message() << int(c.current) << "/" << c.linkedChannel);
        std::memset(g_aucChannelLink, 2, sizeof g_aucChannelLink);
        if (c.linkedChannel >= 0)
            g_aucChannelLink[c.linkedChannel] = 1;
        g_ucCurrentChannel = c.current;
        Ui_RewriteMenuRows(4);
        EXPECT_EQ(g_atMenuItems[132].text, c.text);
        s_ran.clear();
        g_atMenuItems[132].handler();
        EXPECT_EQ(s_ran, std::vector<std::string>{c.runs});
    }

    // Page 5, rows 35 (upgrade) and 34 (downgrade), for the sample palette's selected slot.
    POPUP *palette = Ui_OpenPopup(4, nullptr, 100, 69, 200, 200);
    ASSERT_NE(palette, nullptr);
    palette->list->selected = 4; // instrument slot 5
    INSTRUMENTSLOT saved = g_aInstrumentSlots[5];
    struct
    {
        uint8_t kind;
        uint8_t commands;
        bool editorOpen;
        bool upgrade, downgrade;
    } samples[] = {
        {2, 0, false, true, true},   {1, 0, false, true, false}, {3, 0, false, false, true},
        {2, 1, false, false, false}, {2, 0, true, false, false},
    };
    WINDOWDESC wd{};
    wd.w = wd.h = 40;
    for (const auto &c : samples) {
        SCOPED_TRACE(testing::Message() << int(c.kind) << "/" << int(c.commands) << "/" << c.editorOpen);
        g_aInstrumentSlots[5] = INSTRUMENTSLOT{};
        g_aInstrumentSlots[5].ucKey1 = 1;
        g_aInstrumentSlots[5].ucKind = c.kind;
        g_aInstrumentSlots[5].ucCommandCount = c.commands;
        g_atWindowRoles[UI_ROLE_SAMPLE_EDITOR].window = c.editorOpen ? palette->window : nullptr;
        Ui_RewriteMenuRows(5);
        EXPECT_EQ(g_atMenuItems[35].handler != nullptr, c.upgrade);
        EXPECT_EQ(g_atMenuItems[34].handler != nullptr, c.downgrade);
    }
    g_atWindowRoles[UI_ROLE_SAMPLE_EDITOR].window = nullptr;
    g_aInstrumentSlots[5] = saved;
}

TEST_F(PageMenu, ChoosingClosingAndSlotRuns)
{
    // A greyed row refuses with sound 3 and the menu stays.
    Ui_SetMenuPage(1); // 12 Join riffs, 13 Cut area, 14 Copy area, 15 Play area, 11 Help
    void *focus = g_pFocusWidget;
    Ui_OpenPageMenu();
    NextFrame();
    ASSERT_EQ(g_iScreen, 21);
    const uint32_t refusals = g_uRefusals;
    Ui_ChoosePageMenuItem();
    EXPECT_EQ(g_uRefusals, refusals + 1);
    EXPECT_EQ(Sound(), 3);
    EXPECT_NE(g_pPageMenuPopup, nullptr);

    // Down twice, then choose: the menu closes before the item runs, the screen comes back.
    Ui_SetMenuItemHandler(14, Item);
    for (int i = 0; i < 2; i++) {
        NextFrame();
        Ui_PageMenuDown();
        Ui_FinishListScroll(g_pPageMenuPopup->list);
        g_pPageMenuPopup->list->repeatDelay = 0;
        g_pPageMenuPopup->list->holdCount = 0; // the key let go between the presses
    }
    NextFrame();
    Ui_ChoosePageMenuItem();
    EXPECT_EQ(s_ran, std::vector<std::string>{"item@0"});
    EXPECT_EQ(Sound(), 0);
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
    EXPECT_EQ(g_pFocusWidget, focus);
    EXPECT_EQ(g_atPageMenuDescs[1].selected, 2) << "kept for the next opening";

    // Reopened where it was left; closing plays sound 4 and keeps the place.
    NextFrame();
    Ui_OpenPageMenu();
    ASSERT_NE(g_pPageMenuPopup, nullptr);
    EXPECT_EQ(g_pPageMenuPopup->list->selected, 2);
    NextFrame();
    Ui_PageMenuUp();
    NextFrame();
    Ui_ClosePageMenu();
    EXPECT_EQ(Sound(), 4);
    EXPECT_EQ(g_iNextScreen, 0);
    EXPECT_EQ(g_atPageMenuDescs[1].selected, 1);

    // Closing the effects page returns to the sample editor's page.
    NextFrame();
    Ui_SetMenuPage(8);
    Ui_OpenPageMenu();
    NextFrame();
    Ui_ClosePageMenu();
    EXPECT_EQ(g_sMenuPage, 6);

    // A pad slot while the menu is open runs its item and closes the menu first.
    NextFrame();
    s_ran.clear();
    Ui_SetMenuPage(1);
    Ui_OpenPageMenu();
    NextFrame();
    Ui_RunPageItemForSlot(14); // row 14, Copy area
    EXPECT_EQ(s_ran, std::vector<std::string>{"item@0"});
    EXPECT_EQ(g_pPageMenuPopup, nullptr);

    // So does a function key.
    NextFrame();
    s_ran.clear();
    Ui_OpenPageMenu();
    NextFrame();
    EXPECT_TRUE(Ui_RunMenuFKey(3)); // F4 of page 1: row 14
    EXPECT_EQ(s_ran, std::vector<std::string>{"item@0"});
    EXPECT_EQ(g_pPageMenuPopup, nullptr);

    // During a jam the screen is the jam's: the choice leaves it alone.
    NextFrame();
    s_ran.clear();
    g_bJamSessionOn = 1;
    Ui_OpenPageMenu();
    NextFrame();
    g_pPageMenuPopup->list->selected = 2;
    Ui_ChoosePageMenuItem();
    EXPECT_EQ(s_ran, std::vector<std::string>{"item@-1"});
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
}

TEST_F(PageMenu, OverAPopupTheMenuHandsThePopupBack)
{
    g_iScreen = 0;
    POPUP *palette = Ui_OpenPopup(7, nullptr, 100, 69, 200, 200);
    ASSERT_NE(palette, nullptr);
    NextFrame();
    ASSERT_EQ(g_iScreen, 9);
    Ui_SetMenuPage(15);
    Ui_PopupOpenPageMenu();
    ASSERT_NE(g_pPageMenuPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup, g_pPageMenuPopup);
    NextFrame();
    Ui_ClosePageMenu();
    EXPECT_EQ(g_pCurrentPopup, palette) << "the palette is what screen 9 acts on again";
    EXPECT_EQ(g_pFocusWidget, palette->window);
    EXPECT_EQ(g_iNextScreen, 9);
    EXPECT_EQ(g_sReturnScreen, 0) << "the palette still returns to the grid";

    // Kinds without a page menu (a device list) open none.
    NextFrame();
    Ui_ClosePopup();
    NextFrame();
    POPUP *device = Ui_OpenPopup(POPUP_DEVICE, nullptr, 100, 69, 200, 200);
    ASSERT_NE(device, nullptr);
    Ui_PopupOpenPageMenu();
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
}

TEST_F(PageMenu, RowsGlideToTheirBrightnessAndGreyedRowsAreDarker)
{
    Ui_SetMenuPage(1);
    Ui_SetMenuItemHandler(13, Item);
    Ui_OpenPageMenu();
    ASSERT_NE(g_pPageMenuPopup, nullptr);
    uint8_t row[UI_POPUP_ROW_STRIDE] = {};
    struct
    {
        uint16_t number;  // 1: row 12 greyed; 2: row 13 with a handler
        uint32_t colour;  // green selection or plain grey
        uint8_t target;
    } cases[] = {{2, 0x008000, 128}, {1, 0x008000, 96}, {2, 0x808080, 64}, {1, 0x808080, 32}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << "/" << std::hex << c.colour);
        for (MENUROWSTATE &s : g_aMenuRowState)
            s.current = s.target = 64;
        std::memcpy(row, &c.number, 2);
        g_uiTextColour = c.colour;
        Ui_DrawMenuItemRow(row, 10, 10);
        const MENUROWSTATE &s = g_aMenuRowState[c.number - 1];
        EXPECT_EQ(s.target, c.target);
        EXPECT_EQ(s.current, c.target > 64 ? 72 : c.target < 64 ? 56 : 64) << "8 a frame";
        for (int i = 0; i < 20; i++)
            Ui_DrawMenuItemRow(row, 10, 10);
        EXPECT_EQ(s.current, c.target);
        EXPECT_EQ(g_uiTextColour, c.colour) << "the list's colour is left as it was";
    }
}

// The song grid's menu drawn in German: whole words inside the box (the picture is written for a
// person to look at when TNV_PAGEMENU_PNG_DIR is set).
TEST_F(PageMenu, GermanPicture)
{
    Ui_UseBuiltinTexts(4);
    Frame();
    Ui_SetMenuPage(0);
    Ui_OpenPageMenu();
    ASSERT_NE(g_pPageMenuPopup, nullptr);
    EXPECT_STREQ(g_pPageMenuPopup->title, "Song-Spur");
    EXPECT_STREQ(reinterpret_cast<const char *>(Ui_ListRowBuffer(g_pPageMenuPopup->list, 1) + 2), "Riff einf\xFC" "gen");
    int32_t x, y, w, h;
    Ui_PageMenuGeometry(0, 19, &x, &y, &w, &h);
    g_pFont = &g_tFontMain;
    for (int i = 0; i < g_sMenuItemCount; i++)
        EXPECT_LE(Gfx_GetTextWidth(Ui_Text(g_atMenuItems[g_pMenuItems[i]].text)) + 20, g_pPageMenuPopup->list->head.w)
            << Ui_Text(g_atMenuItems[g_pMenuItems[i]].text);
    for (int i = 0; i < 12; i++)
        Frame();
    if (const char *dir = std::getenv("TNV_PAGEMENU_PNG_DIR"))
        TestLayer_WritePng(std::string(dir) + "/pagemenu_de.png");
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

// In every language every item of every page fits its menu, which is at most 350 wide: the row
// text starts 20 pixels into the 22-pixel-narrower list.
TEST_F(PageMenu, EveryItemFitsItsMenuInEveryLanguage)
{
    g_pFont = &g_tFontMain;
    for (int table = 0; table < 5; table++) {
        Ui_UseBuiltinTexts(table);
        for (int16_t page = 0; page < MENU_PAGES; page++) {
            Ui_SetMenuPage(page);
            int32_t x, y, w, h;
            Ui_PageMenuGeometry(page, -1, &x, &y, &w, &h);
            for (int i = 0; i < g_sMenuItemCount; i++) {
                const char *text = Ui_Text(g_atMenuItems[g_pMenuItems[i]].text);
                EXPECT_LE(Gfx_GetTextWidth(text) + 20, w - 22) << "table " << table << " page " << page << ": " << text;
            }
        }
    }
}

TEST_F(PageMenu, AChosenChaseTypeTakesTheMenuDown)
{
    // Chosen from the menu as a click or the pad's accept chooses, on each picker page: with no
    // clip to take it the type is refused, and the menu still goes.
    g_aiChaseDefHighest[0] = 3;
    g_aiChaseDefHighest[1] = 3;
    g_aiChaseDefHighest[3] = 3;
    for (int16_t page : {9, 12, 23}) {
        SCOPED_TRACE(page);
        Ui_SetMenuPage(page);
        g_iScreen = 35;
        Ui_OpenPageMenu();
        ASSERT_NE(g_pPageMenuPopup, nullptr);
        NextFrame();
        Ui_ChoosePageMenuItem();
        EXPECT_EQ(g_pPageMenuPopup, nullptr);
        NextFrame();
        EXPECT_NE(g_iScreen, 21);
    }
    for (int &h : g_aiChaseDefHighest)
        h = 0;
}
