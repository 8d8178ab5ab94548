// The folder bar under a library pop-up: its arrows step one sub-folder and stop at either end
// instead of wrapping, and wait while the list still moves.
#include "app/calllog.h"
#include "core/archive.h"
#include "support/wadfixture.h"
#include "ui/barmouse.h"
#include "ui/list.h"
#include "ui/popup.h"
#include "ui/scrollbar.h"
#include "ui_fixture.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

class PagedBar : public uitest::UiTest
{
protected:
    std::string m_dir;
    void SetUp() override
    {
        UiTest::SetUp();
        char tmpl[] = "/tmp/tnv_pagedbar_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", m_dir.c_str());
        Sys_DiscInit();
        PACKDIR root;
        for (const char *d : {"N", "PERF", "CHASES", "JAMTEM", "AUTO"})
            Pack_Dir(root, d);
        // Two folders of the library's own: BASS with two sub-folders, DRUMS with one.
        for (const char *path : {"R/BASS/SLAP", "R/BASS/WALK", "R/DRUMS/KITS"}) {
            PACKDIR &d = Pack_Dir(root, path);
            d.title = path;
            d.files.push_back(PACKFILE{"R1", "one", std::vector<uint8_t>(64, 1)});
        }
        for (const char *p : {"R/P1/A", "R/P2/A", "R/P3/A", "R/P4/A"})
            Pack_Dir(root, p).files.push_back(PACKFILE{"R1", "one", std::vector<uint8_t>(64, 1)});
        std::vector<uint8_t> index, data;
        std::string err;
        ASSERT_TRUE(Pack_Build(root, PACKOPTIONS{}, index, data, err)) << err;
        ASSERT_TRUE(Pack_WriteArchive(m_dir + "/WADS", index, data, err)) << err;
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        g_iScreen = 0;
        g_ucMouseButtons |= MOUSE_MODE;
    }
    void TearDown() override
    {
        g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
        UiTest::TearDown();
        Ui_FreePopupSlots();
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // A press on a part of the bar: 0 the first arrow, 1 the track right of the thumb, 2 the
    // second arrow. The list's step delay and the bar's repeat are spent first.
    static void Press(POPUP *p, int part)
    {
        SCROLLBAR *bar = p->list->folderBar;
        p->list->repeatDelay = 0;
        p->list->scrollStep = 0;
        bar->holdCount = 0;
        g_bPopupStepDone = 0; // one step a frame
        const int x = part == 0 ? 2 : part == 2 ? bar->head.w - 3 : bar->head.w - 14;
        g_sMouseX = int16_t(p->window->x + bar->head.x + x);
        g_sMouseY = int16_t(p->window->y + bar->head.y + 3);
        Ui_PagedListScrollBarMouse(&bar->head);
    }
};

} // namespace

TEST_F(PagedBar, ArrowsStepOneSubfolderAndStopAtTheEnds)
{
    g_atPopupDescs[POPUP_RIFF_LIBRARY].folder = 1;
    g_atPopupDescs[POPUP_RIFF_LIBRARY].subfolder = 1;
    POPUP *p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(p->list->folderBar, nullptr);
    ASSERT_EQ(p->list->folderBar->head.press, Ui_PagedListScrollBarMouse);
    const POPUPDESC &d = *p->desc;
    struct Step
    {
        int part, folder, subfolder;
    };
    // From (1, 1): back does nothing; on to (1, 2), (2, 1), and no further; back again.
    for (const Step &s : std::vector<Step>{{0, 1, 1}, {2, 1, 2}, {2, 2, 1}, {2, 2, 1}, {0, 1, 2}, {0, 1, 1}}) {
        Press(p, s.part);
        EXPECT_EQ(d.folder, s.folder) << "part " << s.part;
        EXPECT_EQ(d.subfolder, s.subfolder) << "part " << s.part;
    }
    // While the list still moves, the bar waits.
    p->list->repeatDelay = 3;
    const SCROLLBAR *bar = p->list->folderBar;
    g_sMouseX = int16_t(p->window->x + bar->head.x + bar->head.w - 3);
    g_bPopupStepDone = 0;
    Ui_PagedListScrollBarMouse(&p->list->folderBar->head);
    EXPECT_EQ(d.folder, 1);
    EXPECT_EQ(d.subfolder, 1);
}
