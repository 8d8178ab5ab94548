// What follows the value editor's close, by the window that opened it: the opener's own
// follow-up once, the chase editor's refresh, a pop-up list's rows, the jam's tempo.
#include "ui_fixture.h"

#include "app/calllog.h"
#include "jam/jamsession.h"
#include "sequencer/clock.h"
#include "ui/list.h"
#include "ui/popup.h"
#include "ui/valueeditor.h"
#include "ui/valueslider.h"
#include "editors/chaseeditor.h"

#include <algorithm>
#include <string>

namespace {

using uitest::UiTest;

int s_iOwnFollowUps = 0;
int s_iRowFills = 0;

void OwnFollowUp()
{
    s_iOwnFollowUps++;
}

void CountFill(int32_t, int32_t, void *, void *)
{
    s_iRowFills++;
}

class ValueEditorClose : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Sys_CallLogEnable(true);
        s_iOwnFollowUps = s_iRowFills = 0;
        g_pfnValueEditorClosed = nullptr;
        m_savedTempo = g_uTempo;
    }
    void TearDown() override
    {
        if (g_pValueEditorWindow)
            Ui_ValueEditorClose();
        g_pfnValueEditorClosed = nullptr;
        g_pChaseEditWindow = nullptr;
        g_pJamWindow = nullptr;
        g_pCurrentPopup = nullptr;
        g_bJamKeysActive = 0;
        Seq_SetTempo(m_savedTempo);
        Sys_CallLogEnable(false);
        UiTest::TearDown();
    }
    static WINDOW *Open(int x, int y, int w, int h)
    {
        WINDOWDESC d{};
        d.x = uint16_t(x);
        d.y = uint16_t(y);
        d.w = uint16_t(w);
        d.h = uint16_t(h);
        return Ui_OpenWindow(&d);
    }
    static int Logged(const char *name)
    {
        const auto &log = Sys_CallLogGet();
        return int(std::count(log.begin(), log.end(), std::string(name)));
    }
    int32_t m_value = 5;
    uint16_t m_savedTempo = 0;
};

// Each owner's follow-up, run once by the close that stores the value; the focus goes back to
// the opener (the jam takes it itself).
TEST_F(ValueEditorClose, EachOwnerGetsItsFollowUp)
{
    enum { OWN, CHASE, LIST, LIST_GONE, JAM, NONE };
    struct CASE
    {
        const char *name;
        int owner;
        int32_t expectOwner;
    };
    const CASE cases[] = {
        {"the opener's own follow-up", OWN, VALUEEDITOR_OWNER_NONE},
        {"chase editor", CHASE, VALUEEDITOR_OWNER_CHASE_EDITOR},
        {"pop-up list", LIST, VALUEEDITOR_OWNER_POPUP_LIST},
        {"pop-up list closed meanwhile", LIST_GONE, VALUEEDITOR_OWNER_POPUP_LIST},
        {"jam window", JAM, VALUEEDITOR_OWNER_JAM},
        {"nobody", NONE, VALUEEDITOR_OWNER_NONE},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        Sys_CallLogClear();
        s_iOwnFollowUps = s_iRowFills = 0;
        WINDOW *opener = Open(20, 20, 200, 100);
        ASSERT_NE(opener, nullptr);
        POPUP *popup = nullptr;
        if (c.owner == CHASE)
            g_pChaseEditWindow = reinterpret_cast<WINDOW *>(opener);
        if (c.owner == LIST || c.owner == LIST_GONE) {
            popup = &g_atPopups[0];
            popup->free = 0;
            popup->window = opener;
            LISTDESC ld{};
            ld.x = 4;
            ld.y = 20;
            ld.w = 150;
            ld.visibleRows = 3;
            ld.totalRows = 5;
            ld.rowHeight = 12;
            ld.rowStride = 8;
            ld.fillRow = CountFill;
            popup->list = Ui_CreateList(&ld, opener);
            ASSERT_NE(popup->list, nullptr);
            g_pCurrentPopup = popup;
        }
        WINDOW *jam = nullptr;
        if (c.owner == JAM) {
            jam = Open(0, 300, 300, 100);
            g_pJamWindow = jam;
            g_iJamTempo = 151;
        }
        Ui_SetFocus(opener);
        if (c.owner == OWN)
            g_pfnValueEditorClosed = OwnFollowUp;
        ASSERT_NE(Ui_OpenValueEditor(&m_value, SLIDER_I32, 0, 100, 24, 0, 0, 200), nullptr);
        EXPECT_EQ(Ui_ValueEditorOwner(), c.expectOwner);
        Ui_StepValueSlider(g_pValueEditorSlider, 3);
        if (c.owner == LIST_GONE)
            popup->free = 1;
        s_iRowFills = 0;
        g_iNextScreen = -1;
        Ui_ValueEditorClose();
        EXPECT_EQ(m_value, 8) << "closing always stores";
        EXPECT_EQ(g_pfnValueEditorClosed, nullptr) << "a follow-up belongs to one opening";
        EXPECT_EQ(s_iOwnFollowUps, c.owner == OWN ? 1 : 0);
        EXPECT_EQ(Logged("Ed_ChaseRefresh"), c.owner == CHASE ? 1 : 0);
        EXPECT_EQ(s_iRowFills > 0, c.owner == LIST) << "the list's rows show the new value";
        if (c.owner == JAM) {
            EXPECT_EQ(g_pFocusWidget, jam);
            EXPECT_EQ(g_uTempo, 151);
            EXPECT_EQ(g_iNextScreen, 10);
            EXPECT_EQ(g_bJamKeysActive.load(), 1);
        } else {
            EXPECT_EQ(g_pFocusWidget, opener);
            EXPECT_EQ(g_iNextScreen, 10) << "the screen the editor was opened on";
        }
        // A later editor opened without a follow-up runs none of this one's.
        g_pChaseEditWindow = nullptr;
        g_pJamWindow = nullptr;
        g_pCurrentPopup = nullptr;
        if (popup) {
            popup->free = 1;
            popup->window = nullptr;
            popup->list = nullptr;
        }
        Sys_CallLogClear();
        s_iOwnFollowUps = 0;
        Ui_SetFocus(opener);
        ASSERT_NE(Ui_OpenValueEditor(&m_value, SLIDER_I32, 0, 100, 24, 0, 0, 200), nullptr);
        Ui_ValueEditorClose();
        EXPECT_EQ(s_iOwnFollowUps, 0);
        EXPECT_EQ(Logged("Ed_ChaseRefresh"), 0);
        Ui_CloseWindow(opener);
        if (jam)
            Ui_CloseWindow(jam);
        for (int i = 0; i < 3; i++)
            Walk();
        m_value = 5;
    }
}

} // namespace
