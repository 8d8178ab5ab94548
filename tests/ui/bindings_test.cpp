// The pad binding table built at start-up and the dispatch rules the screens rely on.
#include "core/padbind.h"
#include "editors/chaseeditor.h"
#include "editors/curveeditor.h"
#include "editors/topbar.h"
#include "ui/bindings.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/handlers.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/popup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

class Bindings : public ::testing::Test
{
protected:
    uint16_t m_buttons = 0xFFFF;
    void SetUp() override
    {
        Ui_BindScreenButtons();
        g_pPadButtons = &m_buttons;
        g_wPadPrevButtons = 0xFFFF;
        g_uUnbuiltHandlerRuns = 0;
        g_pszLastUnbuiltHandler = nullptr;
    }
    void TearDown() override
    {
        g_pPadButtons = &g_wPadWorkButtons;
        g_iScreen = 0;
        g_iNextScreen = -1;
    }
    // One dispatch with these slots down; the names of the handlers that ran, in order.
    std::vector<std::string> Dispatch(std::initializer_list<int> down)
    {
        m_buttons = 0xFFFF;
        for (int s : down)
            m_buttons = uint16_t(m_buttons & ~(1u << s));
        const uint32_t before = g_uUnbuiltHandlerRuns;
        s_ran.clear();
        s_recording = true;
        Sys_PadDispatch();
        s_recording = false;
        EXPECT_EQ(s_ran.size(), g_uUnbuiltHandlerRuns - before);
        return s_ran;
    }
    static inline std::vector<std::string> s_ran;
    static inline bool s_recording = false;

public:
    static void Note()
    {
        if (s_recording && g_pszLastUnbuiltHandler)
            s_ran.emplace_back(g_pszLastUnbuiltHandler);
    }
};

uint16_t Cell(int screen, int slot)
{
    return g_PadBindings.auCell[screen][slot];
}

TEST_F(Bindings, TableHoldsEveryScreenOnce)
{
    std::set<int> screens;
    for (const PADBINDENTRY &b : g_atScreenBindings)
        screens.insert(b.screen);
    EXPECT_EQ(screens.size(), 70u);
    for (int unbound : {1, 10, 19, 20, 47, 57, 76, 77, 78, 79}) {
        EXPECT_EQ(screens.count(unbound), 0u) << unbound;
        for (int slot = 0; slot < 16; slot++)
            EXPECT_EQ(Cell(unbound, slot), 0) << unbound;
    }
    // Slots 1 and 2 are bound nowhere; each distinct handler is listed once (the eight page-menu
    // items, the playback stop and the 235 screen handlers).
    for (int screen = 0; screen < 80; screen++) {
        EXPECT_EQ(Cell(screen, 1), 0);
        EXPECT_EQ(Cell(screen, 2), 0);
    }
    EXPECT_EQ(g_nPadActions, 244);
    EXPECT_LE(g_nPadActions, PAD_MAX_ACTIONS);
    std::set<PADACTION> distinct(g_apfnPadActions, g_apfnPadActions + g_nPadActions);
    EXPECT_EQ(distinct.size(), size_t(g_nPadActions));
}

TEST_F(Bindings, CellsCarryTheirKindAndPageMenuSlotsComeFirst)
{
    struct
    {
        int screen, slot;
        PADACTION action;
        uint16_t kind;
    } cases[] = {
        {0, 4, Ui_GridStepUp, BIND_WHILE_HELD},         {0, 12, Ed_LeaveScreen, BIND_ON_PRESS},
        {0, 0, Ui_RunPageItemSlot0, BIND_ON_PRESS},     {0, 15, Ui_RunPageItemSlot15, BIND_ON_PRESS},
        {2, 0, Ui_ReturnToEditorMenu, BIND_ON_PRESS},   {24, 14, Ed_CurveEndMovePoint, BIND_ON_RELEASE},
        {4, 3, Ui_StopPlayback, BIND_ON_PRESS},         {48, 0, Ui_PopupFolderModifierUp, BIND_ON_RELEASE},
        {54, 9, Ed_ToggleFullScreenVideo, BIND_ON_PRESS}, {75, 13, Ui_OpenPageMenu, BIND_ON_PRESS},
        {21, 14, Ui_ChoosePageMenuItem, BIND_ON_PRESS}, {21, 13, Ui_ChoosePageMenuItem, BIND_ON_PRESS},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.screen << "/" << c.slot);
        const uint16_t cell = Cell(c.screen, c.slot);
        EXPECT_EQ(cell & 0xE000, c.kind);
        EXPECT_EQ(g_apfnPadActions[cell & BIND_INDEX_MASK], c.action);
    }
    // Screen 4 slot 9: a raw cell without a handler.
    EXPECT_EQ(Cell(4, 9), BIND_ON_PRESS | BIND_RAW);
    // The handler list starts with the first screen's page-menu items, in their binding order.
    EXPECT_EQ(g_apfnPadActions[0], Ui_RunPageItemSlot0);
    EXPECT_EQ(g_apfnPadActions[1], Ui_RunPageItemSlot3);
    EXPECT_EQ(g_apfnPadActions[2], Ui_RunPageItemSlot10);
    EXPECT_EQ(g_apfnPadActions[8], Ui_GridStepUp);
}

// Every unbuilt handler reports through the refusal, so the recorder sees it.
struct Recorder
{
    Recorder() { g_pfnAfterUnbuilt = &Bindings::Note; }
    ~Recorder() { g_pfnAfterUnbuilt = nullptr; }
};

// Stand-ins for the block and leave handlers in the dispatch test: they report like unbuilt
// handlers, so the recorder sees which ran without the editors doing their work.
void RecordDrop() { Ui_RefuseUnbuilt("Ed_BlockDrop"); }
void RecordMoveUp() { Ui_RefuseUnbuilt("Ed_BlockMoveUp"); }
void RecordPaste() { Ui_RefuseUnbuilt("Ed_BlockPaste"); }
void RecordLeave() { Ui_RefuseUnbuilt("Ed_LeaveScreen"); }
// Screen 0's slot 0 runs the current page's item; which page is current depends on what ran
// before in this process, so the test records the slot itself.
void RecordPageItem0() { Ui_RefuseUnbuilt("Ui_RunPageItemForSlot(0)"); }

void Replace(int screen, int slot, PADACTION action)
{
    g_apfnPadActions[Cell(screen, slot) & BIND_INDEX_MASK] = action;
}

TEST_F(Bindings, DispatchRules)
{
    Recorder rec;
    Replace(3, 0, RecordDrop);
    Replace(3, 4, RecordMoveUp);
    Replace(3, 14, RecordPaste);
    Replace(4, 12, RecordLeave);
    Replace(0, 0, RecordPageItem0);
    g_iScreen = 0;
    // Slot 0 down: its press runs; slot 14 pressed with it is blocked for as long as 0 is down.
    EXPECT_EQ(Dispatch({0}), (std::vector<std::string>{"Ui_RunPageItemForSlot(0)"}));
    EXPECT_TRUE(Dispatch({0, 14}).empty());
    EXPECT_TRUE(Dispatch({0, 14}).empty());
    // The cursor slots are never blocked: up runs with slot 0 held, every frame while held (on
    // the block-move screen, whose handlers still record their runs).
    Dispatch({});
    g_iScreen = 3;
    EXPECT_EQ(Dispatch({0}), (std::vector<std::string>{"Ed_BlockDrop"}));
    EXPECT_EQ(Dispatch({0, 4}), (std::vector<std::string>{"Ed_BlockMoveUp"}));
    EXPECT_EQ(Dispatch({0, 4}), (std::vector<std::string>{"Ed_BlockMoveUp"}));
    // Up and slot 14 together: both.
    Dispatch({});
    EXPECT_EQ(Dispatch({4, 14}), (std::vector<std::string>{"Ed_BlockMoveUp", "Ed_BlockPaste"}));
    Dispatch({});

    // Screen 4, slot 9 raw: runs nothing, blocks 10-15 while held.
    g_iScreen = 4;
    EXPECT_TRUE(Dispatch({9}).empty());
    EXPECT_TRUE(Dispatch({9, 12}).empty());
    Dispatch({});
    EXPECT_EQ(Dispatch({12}), (std::vector<std::string>{"Ed_LeaveScreen"}));
    Dispatch({});

    // A release cell (screen 48, slot 0) runs when its slot comes up.
    g_iScreen = 48;
    EXPECT_TRUE(Dispatch({0}).empty());
    EXPECT_EQ(g_iScreen, 48);
    EXPECT_TRUE(Dispatch({}).empty());
    EXPECT_EQ(g_iScreen, 9) << "the folder modifier's release returns to the pop-up screen";

    // A screen change asked for during a dispatch applies after it.
    g_iScreen = 9;
    g_iNextScreen = 21;
    Dispatch({});
    EXPECT_EQ(g_iScreen, 21);
    EXPECT_EQ(g_iNextScreen, -1);
}

TEST_F(Bindings, UnbuiltHandlersRefuseAndSayItOnce)
{
    testing::internal::CaptureStderr();
    Ed_ChaseKeyAccept();
    Ed_ChaseKeyAccept();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(g_uUnbuiltHandlerRuns, 2u);
    EXPECT_STREQ(g_pszLastUnbuiltHandler, "Ed_ChaseKeyAccept");
    EXPECT_EQ(err, "tnvpc: Ed_ChaseKeyAccept is not available yet\n");
}

} // namespace
