// Pop-up dialogs over a small library archive: placement, slots, folder paging with wrap, the
// folder-step screen, choosing through the busy box, closing and reopening where it was left;
// the device lists; the busy box's timing and reports.
#include "app/calllog.h"
#include "app/cmdline.h"
#include "app/settings.h"
#include "audio/capture.h"
#include "audio/soundout.h"
#include "audio/plugin.h"
#include "core/archive.h"
#include "jam/jamplay.h"
#include "jam/netcommand.h"
#include "jam/netobjects.h"
#include "jam/jamseq.h"
#include "jam/netjam.h"
#include "jam/jaminput.h"
#include "jam/jamsession.h"
#include "jam/jamscreen.h"
#include "jam/jamdata.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"
#include "support/wadfixture.h"
#include "ui/busybox.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "core/browser.h"
#include "ui_fixture.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using uitest::UiTest;

// Pad slots as the keyboard drives them on port 1 (active low).
constexpr int kUp = 4, kNextSub = 5, kDown = 6, kPrevSub = 7, kClose = 12, kChoose = 14, kModifier = 0;

class Popups : public UiTest
{
protected:
    std::string m_dir;
    void SetUp() override
    {
        UiTest::SetUp();
        char tmpl[] = "/tmp/tnv_popup_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", m_dir.c_str());
        Sys_DiscInit();
        PACKDIR root;
        for (const char *d : {"N", "PERF", "CHASES", "JAMTEM", "AUTO"})
            Pack_Dir(root, d);
        // The riff library: two folders of its own, then the four jam players' folders.
        Riffs(root, "R/BASS/SLAP", "Slap bass", 3, 2);
        Riffs(root, "R/BASS/WALK", "Walking bass", 40, 0);
        Riffs(root, "R/DRUMS/KITS", "Drum kits", 2, 0);
        for (const char *p : {"R/P1/A", "R/P2/A", "R/P3/A", "R/P4/A"})
            Riffs(root, p, "Player", 1, 0);
        std::vector<uint8_t> index, data;
        std::string err;
        ASSERT_TRUE(Pack_Build(root, PACKOPTIONS{}, index, data, err)) << err;
        ASSERT_TRUE(Pack_WriteArchive(m_dir + "/WADS", index, data, err)) << err;
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        g_uRefusals = 0;
        Sys_CallLogClear();
        Sys_CallLogEnable(true);
        g_iScreen = 0;
        g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
    }
    void TearDown() override
    {
        Sys_CallLogEnable(false);
        UiTest::TearDown();
        Ui_FreePopupSlots();
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    // A sub-folder of `count` riffs named "<title> n"; row `empty` (1-based, 0 none) has no bytes.
    static void Riffs(PACKDIR &root, const std::string &path, const std::string &title, int count, int empty)
    {
        PACKDIR &d = Pack_Dir(root, path);
        d.title = title;
        for (int i = 1; i <= count; i++)
            d.files.push_back(PACKFILE{"R" + std::to_string(i), title + " " + std::to_string(i),
                                       i == empty ? std::vector<uint8_t>{} : std::vector<uint8_t>(64, uint8_t(i))});
    }
    // One frame with these slots down (the latch runs the screen's bindings).
    void Slots(std::initializer_list<int> down)
    {
        uint16_t w = 0xFFFF;
        for (int s : down)
            w = uint16_t(w & ~(1u << s));
        SetPad(1, 0x00, 0x41, w);
        Frame();
    }
    void Tap(int slot)
    {
        Slots({slot});
        Slots({});
    }
    static std::string Row(const POPUP *p, int k)
    {
        return reinterpret_cast<const char *>(Ui_ListRowBuffer(p->list, k)) + 2;
    }
};

TEST_F(Popups, LibraryPagesChoosesClosesAndReopensWhereItWasLeft)
{
    // Disc number 0 starts the riff library at folder 3: past the library's own two folders (the
    // players' four are left out), so it opens on the last folder's last sub-folder.
    WINDOW *grid = nullptr;
    {
        WINDOWDESC d{8, 74, 624, 392, 0, nullptr, nullptr, nullptr, nullptr, nullptr};
        grid = Ui_OpenWindow(&d);
        Ui_SetFocus(grid);
    }
    POPUP *p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(g_pCurrentPopup, p);
    EXPECT_EQ(p->folderCount, 2);
    EXPECT_EQ((std::array<int, 2>{p->desc->folder, p->desc->subfolder}), (std::array<int, 2>{2, 1}));
    EXPECT_STREQ(p->title, "Drum kits");
    EXPECT_STREQ(p->subtitle, "DRUMS");
    EXPECT_EQ(p->window->h, 306 + 8);
    EXPECT_EQ(p->list->visibleRows, (306 - 35) / 12);
    EXPECT_EQ(Row(p, 1), "Drum kits 1");
    Frame();
    EXPECT_EQ(g_iScreen, 9);
    EXPECT_EQ(g_pFocusWidget, p->window);

    // Previous sub-folder twice: folder 1's last sub-folder, then its first; once more wraps to
    // the last folder's last sub-folder.
    Tap(kPrevSub);
    EXPECT_STREQ(p->title, "Walking bass");
    EXPECT_EQ(p->list->totalRows, 40);
    Tap(kPrevSub);
    EXPECT_STREQ(p->title, "Slap bass");
    EXPECT_STREQ(p->subtitle, "BASS");
    Tap(kPrevSub);
    EXPECT_STREQ(p->title, "Drum kits");
    Tap(kNextSub);
    EXPECT_STREQ(p->title, "Slap bass") << "next wraps to the first folder";
    Tap(kNextSub);
    EXPECT_STREQ(p->title, "Walking bass");
    // One step a frame, whatever is held.
    Slots({kNextSub, kPrevSub});
    Slots({});
    EXPECT_STREQ(p->title, "Drum kits");
    Tap(kPrevSub);
    EXPECT_STREQ(p->title, "Walking bass");

    // Down: one step at once, the next after the hold delay; then the list scrolls.
    for (int i = 0; i < 120; i++)
        Slots({kDown});
    Slots({});
    for (int i = 0; i < 10; i++)
        Frame();
    const uint16_t selected = p->list->selected, first = p->list->first;
    EXPECT_GT(selected, 10);
    EXPECT_GT(first, 0);
    EXPECT_EQ(p->desc->selected, selected);

    // Close: back to the screen and window it came from, the slot free.
    Tap(kClose);
    EXPECT_EQ(p->free, 1);
    EXPECT_EQ(g_iScreen, 0);
    EXPECT_EQ(g_pFocusWidget, grid);
    EXPECT_EQ(g_pCurrentPopup, nullptr);
    for (int i = 0; i < 3; i++)
        Frame();

    // Reopen: same folder, sub-folder, row and first row.
    p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->title, "Walking bass");
    EXPECT_EQ(p->list->selected, selected);
    EXPECT_EQ(p->list->first, first);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_popup_library_reopened", 0xD341DCE33002D3FC));

    // Folder modifier: slot 0 held switches to screen 48, where Right steps a whole folder; its
    // release returns to screen 9.
    Slots({kModifier});
    EXPECT_EQ(g_iScreen, 48);
    Slots({kModifier, kNextSub});
    EXPECT_STREQ(p->title, "Drum kits");
    EXPECT_EQ(p->desc->subfolder, 1);
    EXPECT_EQ(g_bFolderStepped, 1);
    Slots({kModifier});
    Slots({});
    EXPECT_EQ(g_iScreen, 9);

    // Back to the sub-folder with an empty entry: choosing it refuses and stays.
    Tap(kNextSub);
    EXPECT_STREQ(p->title, "Slap bass");
    Tap(kDown);
    for (int i = 0; i < 10; i++)
        Frame();
    ASSERT_EQ(p->list->selected, 1);
    Tap(kChoose);
    EXPECT_EQ(g_uRefusals, 1u);
    EXPECT_EQ(p->free, 0);
    EXPECT_EQ(g_pBusyBoxWindow, nullptr);

    // A full row: the busy box shows the entry's name, the load runs, the pop-up closes. These
    // bytes are no riff: the load fails and a box says so over the grid.
    Tap(kUp);
    for (int i = 0; i < 10; i++)
        Frame();
    Tap(kChoose);
    ASSERT_NE(g_pBusyBoxWindow, nullptr);
    EXPECT_STREQ(g_tBusyBox.name, "Slap bass 1");
    EXPECT_STREQ(g_tBusyBox.text, "Loading...");
    EXPECT_EQ(g_iScreen, 10);
    for (int i = 0; i < 6 && g_pBusyBoxWindow; i++)
        Frame();
    EXPECT_EQ(g_pBusyBoxWindow, nullptr);
    Frame();
    const auto &log = Sys_CallLogGet();
    EXPECT_NE(std::find(log.begin(), log.end(), "Seq_LoadLibraryRiffLocal"), log.end());
    EXPECT_EQ(p->free, 1);
    ASSERT_NE(g_pCurrentMsgBox, nullptr);
    EXPECT_STREQ(g_pCurrentMsgBox->pszText, Ui_Text(310));
    EXPECT_EQ(g_uLibraryRiff, 0);
    EXPECT_EQ(g_atPopupDescs[POPUP_RIFF_LIBRARY].selected, 0);
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(Popups, SlotsPlacementAndTheFolderBar)
{
    // Four pop-ups at most; a fifth refuses, and the current one stays what screen 9 acts on.
    POPUP *opened[4];
    for (int i = 0; i < 4; i++) {
        opened[i] = Ui_OpenPopup(POPUP_AUDIO_IN, nullptr, 40 + 10 * i, 40, 300, 200);
        ASSERT_NE(opened[i], nullptr) << i;
    }
    EXPECT_EQ(Ui_OpenPopup(POPUP_MIDI_IN, nullptr, 40, 40, 300, 200), nullptr);
    EXPECT_EQ(g_pCurrentPopup, opened[3]);
    EXPECT_EQ(g_uRefusals, 1u);
    for (int i = 3; i >= 0; i--) {
        g_pCurrentPopup = opened[i];
        Ui_ClosePopup();
    }
    for (int i = 0; i < 3; i++)
        Frame();

    // No list left for it: the window goes again and the slot stays free.
    LISTDESC ld{};
    ld.visibleRows = 2;
    ld.rowHeight = 12;
    ld.rowStride = 20;
    std::vector<LISTWIDGET *> lists;
    while (LISTWIDGET *l = Ui_CreateList(&ld, nullptr))
        lists.push_back(l);
    const int depth = g_ucWindowDepth;
    EXPECT_EQ(Ui_OpenPopup(POPUP_MIDI_IN, nullptr, 40, 40, 300, 200), nullptr);
    EXPECT_EQ(g_ucWindowDepth, depth + 1);
    EXPECT_NE(g_apWindowStack[depth]->closing, 0) << "closed at once";
    for (const POPUP &slot : g_atPopups)
        EXPECT_EQ(slot.free, 1);
    for (LISTWIDGET *l : lists) {
        Ui_FreeList(l);
        l->head.flags = WIDGET_FREE;
    }
    for (int i = 0; i < 3; i++)
        Frame();

    // In mouse mode the page menu opens on the pointer, kept 20 px from the right and bottom
    // edges and at least 16 from the left and top.
    g_ucMouseButtons |= MOUSE_MODE;
    struct Case
    {
        int px, py, x, y;
    };
    for (const Case c : {Case{620, 460, 640 - 170 - 20, 480 - 200 - 20}, Case{5, 5, 16, 16}, Case{300, 200, 215, 170}}) {
        g_sMouseX = int16_t(c.px);
        g_sMouseY = int16_t(c.py);
        POPUP *p = Ui_OpenPopup(POPUP_PAGE_MENU, nullptr, 0, 0, 170, 200);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ((std::array<int, 2>{p->window->x, p->window->y}), (std::array<int, 2>{c.x, c.y})) << c.px;
        Ui_ClosePopup();
    }

    // The folder bar under a library list: every sub-folder of the library's own folders, the
    // current one's place among them.
    g_atPopupDescs[POPUP_RIFF_LIBRARY].folder = 1;
    g_atPopupDescs[POPUP_RIFF_LIBRARY].subfolder = 2;
    POPUP *p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(p->list->folderBar, nullptr);
    EXPECT_EQ(p->list->folderBar->maximum, 3 - 2);
    EXPECT_EQ(p->list->folderBar->position, 1);
    EXPECT_EQ(p->list->folderBar->head.y, p->list->head.y + p->list->head.h);
    // A press on its right arrow pages to the next sub-folder. The pointer rests beside the
    // pop-up, where it selects no row.
    g_sMouseX = 10;
    g_sMouseY = 200;
    Ui_SetFocus(p->window);
    Frame();
    Frame();
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_popup_folder_bar", 0x910B673D3A873D0A));
    SCROLLBAR *bar = p->list->folderBar;
    g_sMouseX = int16_t(p->window->x + bar->head.x + bar->head.w - 3);
    g_sMouseY = int16_t(p->window->y + bar->head.y + 3);
    g_iMouseButton1 = 0;
    Walk();
    g_iMouseButton1 = 1;
    g_bMouseClicked = 1;
    Walk();
    EXPECT_STREQ(p->title, "Drum kits");
    EXPECT_EQ(bar->position, 2 - 1) << "clamped to the bar's maximum";
    g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
    Ui_ClosePopup();

    // While a jam owns the sequencer, only the missing players' folders are left out.
    g_bJamActive = 1;
    g_iJamPlayers = 2;
    p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    g_bJamActive = 0;
    g_iJamPlayers = 4;
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->folderCount, 6 - 2);
}

TEST_F(Popups, DeviceListsSetTheDeviceAndReturnToTheOptions)
{
    const int inputs = Snd_GetInputDeviceCount();
    POPUP *p = Ui_OpenPopup(POPUP_AUDIO_IN, nullptr, 170, 69, 300, 306);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->title, "Set Audio IN device");
    EXPECT_EQ(p->hasSubtitle, 0);
    EXPECT_EQ(p->list->totalRows, inputs);
    Frame();
    if (inputs > 0) {
        char name[256];
        Snd_GetInputDeviceName(name, 0);
        EXPECT_EQ(Row(p, 1), std::string(name).substr(0, 99));
        g_iAudioInDevice = -1;
        Tap(kChoose);
        EXPECT_EQ(g_iAudioInDevice, 0);
        EXPECT_EQ(p->free, 1);
        EXPECT_EQ(g_iScreen, 22);
    } else {
        Tap(kChoose);
        EXPECT_EQ(g_uRefusals, 1u);
        Tap(kClose);
        EXPECT_EQ(g_iScreen, 22);
    }
    // Titles of the other device kinds.
    for (auto [kind, title] : {std::pair{POPUP_DEVICE, "Select Device"}, std::pair{POPUP_RESOLUTION, "Select Resolution"},
                               std::pair{POPUP_AUDIO_OUT, "Set Audio OUT device"},
                               std::pair{POPUP_MIDI_IN, "Set MIDI IN device"}}) {
        POPUP *q = Ui_OpenPopup(kind, nullptr, 170, 69, 300, 306);
        ASSERT_NE(q, nullptr);
        EXPECT_STREQ(q->title, title);
        Ui_ClosePopup();
    }
}

uint8_t g_result;
int g_runs;
int32_t g_heldDuringRun;
uint8_t Operation()
{
    g_runs++;
    g_heldDuringRun = g_bFramesHeld;
    return g_result;
}

TEST_F(Popups, BusyBoxRunsOnTheFourthFrameAndReports)
{
    Ui_SetBusyOperation(12, Operation, nullptr);
    // The operation runs on the fourth frame after opening, with the frame tick held.
    g_result = 0;
    g_runs = 0;
    ASSERT_NE(Ui_OpenBusyBox("Short", "Loading...", UI_BUSY_CENTRED, 100, 12), nullptr);
    EXPECT_EQ(g_pBusyBoxWindow->w, 150);
    EXPECT_EQ(g_pBusyBoxWindow->x, (640 - 150) / 2);
    EXPECT_EQ(g_pBusyBoxWindow->y, 480 / 2 - 35);
    const int blink = g_iBlinkPhase;
    for (int f = 1; f <= 3; f++) {
        Frame();
        EXPECT_EQ(g_runs, 0) << f;
        EXPECT_NE(g_pBusyBoxWindow, nullptr);
    }
    EXPECT_EQ(g_iBlinkPhase, blink) << "blinking waits while the box counts down";
    EXPECT_TRUE(TestLayer_MatchesGolden("ui_busy_box_waiting", 0xEC6264223325D539));
    Frame();
    EXPECT_EQ(g_runs, 1);
    EXPECT_EQ(g_heldDuringRun, 1);
    EXPECT_EQ(g_bFramesHeld, 0);
    EXPECT_EQ(g_pBusyBoxWindow, nullptr);

    // A long name widens the box by its width less 112; result 10 reports the full sound memory.
    const std::string name = "A rather long riff name that does not fit";
    g_result = 10;
    ASSERT_NE(Ui_OpenBusyBox(name.c_str(), "Loading...", 40, 100, 12), nullptr);
    EXPECT_EQ(g_pBusyBoxWindow->w, 150 + Gfx_GetTextWidth(name.c_str()) - 112);
    EXPECT_EQ(g_pBusyBoxWindow->x, 40);
    // A second box while one waits: the first goes, its operation with it.
    WINDOW *first = g_pBusyBoxWindow;
    ASSERT_NE(Ui_OpenBusyBox("Second", "Processing...", UI_BUSY_CENTRED, 100, 12), nullptr);
    EXPECT_NE(first->closing, 0);
    for (int f = 0; f < 6; f++)
        Frame();
    EXPECT_EQ(g_runs, 2) << "one run for two boxes";
    ASSERT_NE(g_pszBusyReport, nullptr);
    EXPECT_NE(std::string(g_pszBusyReport).find("Sound memory is full"), std::string::npos);

    // A pop-up list finishing its scroll step holds the operation back.
    POPUP *p = Ui_OpenPopup(POPUP_AUDIO_IN, nullptr, 170, 69, 300, 306);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(Ui_OpenBusyBox("Held", "Loading...", UI_BUSY_CENTRED, 100, 12), nullptr);
    p->list->scrollStep = 0;
    Frame();
    EXPECT_EQ(g_tBusyBox.countdown, 4);
    p->list->scrollStep = 2; // (the list's own step would finish it; hold it here)
    p->list->scrollOffset = -100;
    Ui_BusyBoxTick(&g_tBusyBox);
    EXPECT_EQ(g_tBusyBox.countdown, 4);
    p->list->scrollStep = 0;
    p->list->scrollOffset = 0;
    for (int f = 0; f < 4; f++)
        Frame();
    EXPECT_EQ(g_runs, 3);
    Ui_ClosePopup();

    // A code without an operation just closes.
    ASSERT_NE(Ui_OpenBusyBox("x", "y", UI_BUSY_CENTRED, 100, 28), nullptr);
    for (int f = 0; f < 4; f++)
        Frame();
    EXPECT_EQ(g_pBusyBoxWindow, nullptr);
    EXPECT_EQ(g_runs, 3);
}


TEST_F(Popups, AnAudioOutputThatWillNotOpenKeepsThePreviousAndSaysSo)
{
    Snd_EnumOutputDevices(nullptr);
    if (Snd_GetOutputDeviceCount() < 1)
        GTEST_SKIP() << "no output device listed";
    g_iAudioOutDevice = 0;
    POPUP *p = Ui_OpenPopup(POPUP_AUDIO_OUT, nullptr, 170, 69, 300, 306);
    ASSERT_NE(p, nullptr);
    Frame();
    Sys_CallLogFailOn("Sys_OpenAudioOutput");
    Ui_ResetMessageBoxes();
    Tap(kChoose);
    Sys_CallLogEnable(true);
    EXPECT_EQ(g_iAudioOutDevice, 0);
    ASSERT_NE(g_pCurrentMsgBox, nullptr);
    EXPECT_NE(std::string(g_pCurrentMsgBox->pszText).find("could not be opened"), std::string::npos);
    Ui_ResetMessageBoxes();
    EXPECT_EQ(p->free, 1);
}


TEST_F(Popups, ALibraryWithNoFoldersOpensEmptyAndStepsNowhere)
{
    // The clip library's root has no folders in this archive; with no archive at all the counts
    // are -1. Either way the pop-up opens empty, pages nowhere and refuses a choice.
    for (bool archive : {true, false}) {
        if (!archive)
            Sys_WadFreeBuffers();
        g_uRefusals = 0;
        g_atPopupDescs[POPUP_CLIP_LIBRARY].selected = 7;
        POPUP *p = Ui_OpenPopup(POPUP_CLIP_LIBRARY, nullptr, 160, 69, 160, 306);
        ASSERT_NE(p, nullptr) << archive;
        EXPECT_EQ(p->folderCount, 0);
        EXPECT_EQ(p->list->totalRows, 0);
        EXPECT_EQ(p->list->selected, 0) << "an empty list selects row 0, not 65535";
        Frame();
        Tap(kPrevSub);
        Tap(kNextSub);
        Slots({kModifier});
        Slots({kModifier, kNextSub});
        Slots({});
        EXPECT_EQ(p->desc->folder, 9);
        Tap(kChoose);
        EXPECT_EQ(g_uRefusals, 1u);
        Tap(kClose);
        EXPECT_EQ(p->free, 1);
        for (int i = 0; i < 3; i++)
            Frame();
    }
}

// "Demo riff" pressed again while its busy box waits does nothing; after the demo it hears the
// next entry.
TEST_F(Popups, DemoRiffOncePerWaitingBox)
{
    Ui_SetBusyOperation(14, Operation, nullptr);
    g_result = 0;
    g_runs = 0;
    POPUP *p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    p->list->selected = 0;
    ASSERT_GT(p->nameCount, 0);
    ASSERT_EQ(p->empty[0], 0);
    Ui_DemoLibraryRiff();
    ASSERT_NE(g_pBusyBoxWindow, nullptr);
    EXPECT_EQ(g_tBusyBox.code, 14);
    Frame();
    const int waiting = g_tBusyBox.countdown;
    Ui_DemoLibraryRiff();
    EXPECT_EQ(g_tBusyBox.countdown, waiting) << "the box was not opened again";
    for (int f = 0; f < 5; f++)
        Frame();
    EXPECT_EQ(g_runs, 1);
    EXPECT_EQ(g_pBusyBoxWindow, nullptr);
    Ui_DemoLibraryRiff();
    EXPECT_NE(g_pBusyBoxWindow, nullptr) << "after the demo the item works again";
    for (int f = 0; f < 6; f++)
        Frame();
    EXPECT_EQ(g_runs, 2);
    Ui_InitLibraryBusyOperations();
}

// The jam list's last folder is the user's own "*.jam" files: listed by name, a file over the
// size limit unavailable outside a single-player jam, and every row unavailable while a jam runs.
TEST_F(Popups, TheJamListEndsWithTheUsersTemplates)
{
    std::filesystem::create_directories(m_dir + "/Templates");
    auto write = [&](const char *name, size_t bytes) {
        FILE *f = std::fopen((m_dir + "/Templates/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(std::string(bytes, 'x').data(), 1, bytes, f);
        std::fclose(f);
    };
    write("Groove.jam", 10);
    write("Huge.JAM", 100);
    write("notes.txt", 5);
    const int32_t limit = g_iMaxTemplateSize, single = g_bJamSinglePlayer, state = g_iJamStartState;
    g_iMaxTemplateSize = 50;
    g_bJamSinglePlayer = 0;
    g_iJamStartState = 0;
    POPUP *p = Ui_OpenPopup(POPUP_JAM_LIST, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    ASSERT_GE(p->folderCount, 1);
    EXPECT_EQ(p->desc->folder, p->folderCount) << "the user's folder is the last";
    ASSERT_EQ(p->list->totalRows, 2);
    EXPECT_EQ(Row(p, 1), "Groove");
    EXPECT_EQ(Row(p, 2), "Huge");
    auto unavailable = [&](int k) { return Ui_ListRowBuffer(p->list, k)[UI_POPUP_ROW_STRIDE - 1] != 0; };
    EXPECT_FALSE(unavailable(1));
    EXPECT_TRUE(unavailable(2)) << "over the size limit";
    EXPECT_FALSE(Ui_JamListRowAvailable(p, 1));
    EXPECT_FALSE(Ui_JamListRowAvailable(p, 2)) << "past the rows";
    EXPECT_TRUE(Ui_JamListRowAvailable(p, 0));
    g_iJamStartState = 4;
    EXPECT_FALSE(Ui_JamListRowAvailable(p, 0)) << "not while the jam runs";
    // Rows fetched while the jam runs are unavailable; a choice reads the row as it was fetched.
    Tap(kClose);
    for (int i = 0; i < 3; i++)
        Frame();
    p = Ui_OpenPopup(POPUP_JAM_LIST, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(unavailable(1));
    Frame();
    Tap(kChoose);
    EXPECT_EQ(g_uRefusals, 1u) << "an unavailable row refuses";
    EXPECT_EQ(p->free, 0) << "and the list stays";
    Tap(kClose);
    g_iMaxTemplateSize = limit;
    g_bJamSinglePlayer = single;
    g_iJamStartState = state;
    for (int i = 0; i < 3; i++)
        Frame();
}

} // namespace

namespace {

// The jam's sound side as the pop-ups reach it.
class JamCalls : public JamActions
{
public:
    std::vector<std::string> calls;
    void LoadRiffKey(uint32_t, uint32_t, uint32_t, int32_t, int32_t, uint32_t) override {}
    int32_t LoadPad(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override { return 1; }
    void LoadKeyboard(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override {}
    void StartPart(int32_t, int32_t) override {}
    void StopPart(int32_t, int32_t) override {}
    void LoadPlugin(int32_t player, int32_t slot, int32_t index) override
    {
        calls.push_back("plugin " + std::to_string(player) + " " + std::to_string(slot) + " " + std::to_string(index));
    }
    void ResetPlugin(int32_t player, int32_t slot) override
    {
        calls.push_back("reset " + std::to_string(player) + " " + std::to_string(slot));
    }
    void PluginInput(int32_t, int32_t, int32_t, int32_t) override {}
    void DropPlayerParts(int32_t) override {}
};

} // namespace

TEST_F(Popups, JamControllerAndPluginLists)
{
    JamCalls rec;
    JAMNET net;
    Net_InitJamNet(&net, &rec);
    g_NetNode.pJam = &net;
    g_iJamStartState = 4;
    g_bNetJamImmediate = 0;
    g_bJamSinglePlayer = 0;
    g_iPluginCount = 2;
    std::snprintf(g_aszPluginNames[0], SND_PLUGIN_NAME_BYTES, "filter.dll");
    std::snprintf(g_aszPluginNames[1], SND_PLUGIN_NAME_BYTES, "reverb.dll");
    // One row down, the list's scroll let finish.
    auto Down = [this] {
        Tap(kDown);
        for (int i = 0; i < 10; i++)
            Frame();
    };
    const std::vector<JAMEVENT> &sent = net.aEventLists[net.iEventSetNext & 1][JAM_LOCAL_PLAYER].Events;

    // The controller choice: no pan while a riff key is selected.
    net.aPlayers[JAM_LOCAL_PLAYER].uRiffMask = 1;
    Jam_OpenControllerList();
    POPUP *p = g_pCurrentPopup;
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->title, "Select Parameter");
    EXPECT_EQ(p->list->totalRows, 4);
    Frame();
    EXPECT_EQ(Row(p, 1), "Volume");
    EXPECT_EQ(Row(p, 4), "PitchBend Range");
    Down();
    Down();
    Tap(kChoose);
    EXPECT_EQ(g_uRefusals, 1u);
    EXPECT_EQ(p->free, 0);
    Down();
    Tap(kChoose);
    EXPECT_EQ(p->free, 1);
    EXPECT_EQ(net.aPlayers[JAM_LOCAL_PLAYER].uController, 3u);
    EXPECT_EQ(g_iScreen, 10);

    // Slot 4 (row 3) of the slot list, then the second library of the list over it.
    Jam_OpenPluginSlotList();
    POPUP *slots = g_pCurrentPopup;
    ASSERT_NE(slots, nullptr);
    EXPECT_STREQ(slots->title, "Select Plugin");
    EXPECT_EQ(slots->list->totalRows, 16);
    Frame();
    for (int i = 0; i < 3; ++i)
        Down();
    Jam_OpenPluginLoadList();
    POPUP *list = g_pCurrentPopup;
    ASSERT_NE(list, slots);
    EXPECT_STREQ(list->title, "Select Plugin to load");
    Frame();
    EXPECT_EQ(Row(list, 2), "reverb.dll");

    Down();
    Tap(kChoose);
    EXPECT_EQ(list->free, 1);
    EXPECT_EQ(slots->free, 1);
    EXPECT_EQ(g_pCurrentPopup, nullptr);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"plugin 4 3 -1", "plugin 4 3 1"}));
    EXPECT_EQ(sent, (std::vector<JAMEVENT>{{0, 44, 0x301}, {0, 42, 3}}));
    EXPECT_EQ(net.aPlayers[JAM_LOCAL_PLAYER].iPluginSlot, 3);

    // The menu's reset and release act on the slot the list reopens on, and tell the others.
    Jam_OpenPluginSlotList();
    Jam_MenuResetPlugin();
    Jam_OpenPluginSlotList();
    Jam_MenuReleasePlugin();
    EXPECT_EQ(g_pCurrentPopup, nullptr);
    EXPECT_EQ(rec.calls.back(), "plugin 4 3 -1");
    EXPECT_EQ(rec.calls[rec.calls.size() - 2], "reset 4 3");
    EXPECT_EQ(sent.back(), (JAMEVENT{0, 45, 3}));

    g_NetNode.pJam = nullptr;
    g_iJamStartState = 0;
    g_iPluginCount = 0;
}

// In a jam the riff library's folders past its own list the players' riffs and then the song's;
// a row assigns that list entry to the riff key the jam menu picked, an unavailable row is
// refused. The sample library's player folders give their instruments to the picked pad.
TEST_F(Popups, JamPlayersFoldersListAndAssignTheirEntries)
{
    Seq_NewSong();
    JamCalls rec;
    JAMNET net;
    Net_InitJamNet(&net, &rec);
    net.iNetMySlot = 3;
    std::snprintf(net.aSlotNames[0].szName, sizeof net.aSlotNames[0].szName, "Alice");
    g_NetNode.pJam = &net;
    g_bNetJamImmediate = 0;
    g_bJamSinglePlayer = 0;
    g_iJamStartState = 4;
    g_bJamActive = 1;
    g_bJamSessionOn = 1;
    g_iJamPlayers = 2;
    char keepName[sizeof g_szPlayerName];
    std::memcpy(keepName, g_szPlayerName, sizeof keepName);
    std::snprintf(g_szPlayerName, sizeof g_szPlayerName, "Me");
    ASSERT_EQ(Jam_AllocPlayerLists(), 0);
    const int32_t hers = Seq_NewRiff(1, 1), mine = Seq_NewRiff(1, 1);
    ASSERT_GT(hers, 0);
    ASSERT_GT(mine, 0);
    std::snprintf(Seq_GetRiff(hers)->szName, sizeof Seq_GetRiff(hers)->szName, "Her groove");
    std::snprintf(Seq_GetRiff(mine)->szName, sizeof Seq_GetRiff(mine)->szName, "My groove");
    ASSERT_EQ(Jam_AppendRiffId(0, uint16_t(hers)), 0);
    ASSERT_EQ(Jam_AppendRiffId(0, 999), 0); // a riff that is gone
    const uint16_t keepList = g_auRiffList[1], keepCount = g_uRiffListCount;
    g_auRiffList[1] = uint16_t(mine);
    g_uRiffListCount = 1;
    const std::vector<JAMEVENT> &sent = net.aEventLists[net.iEventSetNext & 1][JAM_LOCAL_PLAYER].Events;

    // Six archive folders, two players: the library's own two, Alice's, player 1's, the song's.
    g_iJamRiffKeyChoice = 5;
    POPUP *p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    struct Folder
    {
        int folder;
        int player;
        const char *title, *subtitle;
        std::vector<std::pair<std::string, int>> rows; // name, empty flag
    };
    const Folder folders[] = {
        {2, -1, "Drum kits", "DRUMS", {{"Drum kits 1", 0}, {"Drum kits 2", 0}}},
        {3, 0, "Alice", "ALICE", {{"Her groove", 0}, {"", 1}}},
        {4, 1, "EMPTY", "EMPTY", {}},
        {5, JAM_LOCAL_PLAYER, "Me", "ME", {{"My groove", 0}}},
    };
    for (const Folder &f : folders) {
        p->desc->folder = int16_t(f.folder);
        p->desc->subfolder = 1;
        Ui_PopupReload(p);
        SCOPED_TRACE(f.folder);
        EXPECT_EQ(Ui_JamLibraryFolderPlayer(p), f.player);
        EXPECT_STREQ(p->title, f.title);
        EXPECT_STREQ(p->subtitle, f.subtitle);
        ASSERT_EQ(p->nameCount, int(f.rows.size()));
        EXPECT_EQ(p->list->totalRows, f.rows.size());
        for (size_t r = 0; r < f.rows.size(); r++) {
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(p->names) + r * WAD_COMPANION_ROW), f.rows[r].first);
            EXPECT_EQ(p->empty[r], f.rows[r].second);
        }
    }
    // Stepping on from the last player's folder reaches the song's, then wraps to the first.
    p->desc->folder = 4;
    Ui_PopupReload(p);
    Frame();
    Tap(kNextSub);
    EXPECT_EQ(p->desc->folder, 5);
    EXPECT_STREQ(p->title, "Me");
    Tap(kNextSub);
    EXPECT_EQ(p->desc->folder, 1);
    Tap(kPrevSub);
    EXPECT_EQ(p->desc->folder, 5);

    // Alice's gone riff is refused and nothing is sent; her groove goes to riff key 5.
    p->desc->folder = 3;
    Ui_PopupReload(p);
    Frame();
    EXPECT_EQ(Row(p, 1), "Her groove");
    Tap(kDown);
    for (int i = 0; i < 10; i++)
        Frame();
    Tap(kChoose);
    EXPECT_EQ(g_uRefusals, 1u);
    EXPECT_TRUE(sent.empty());
    Tap(kUp);
    for (int i = 0; i < 10; i++)
        Frame();
    Tap(kChoose);
    EXPECT_EQ(p->free, 1);
    EXPECT_EQ(g_iJamRiffKeyChoice, -1);
    EXPECT_EQ(Jam_SlotWordOf(net.aPlayers[JAM_LOCAL_PLAYER].auRiffKey[5]), Jam_PackListEntry(0, 1));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent.back(), (JAMEVENT{0, 15, Jam_PackListEntry(0, 1)}));

    // The song's folder names this program's own slot to the others.
    g_iJamRiffKeyChoice = 2;
    p = Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, 160, 69, 170, 306);
    ASSERT_NE(p, nullptr);
    p->desc->folder = 5;
    Ui_PopupReload(p);
    Frame();
    Tap(kChoose);
    EXPECT_EQ(p->free, 1);
    EXPECT_EQ(sent.back(), (JAMEVENT{0, 12, Jam_PackListEntry(3, 1)}));

    // A sample library folder of player 1: its instrument goes to the pad the menu picked, and
    // the riff library's song folder does not exist there.
    constexpr int kSlot = 7;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[kSlot];
    const INSTRUMENTSLOT keepInst = inst;
    inst.ucKey1 = 1;
    inst.pszName = "Strings";
    ASSERT_EQ(Jam_AppendInstrumentId(1, kSlot), 0);
    POPUPDESC desc{};
    POPUP samples{};
    samples.kind = POPUP_SAMPLE_LIBRARY;
    samples.desc = &desc;
    samples.folderCount = 4;
    desc.folder = 5;
    EXPECT_EQ(Ui_JamLibraryFolderPlayer(&samples), -1);
    desc.folder = 4;
    EXPECT_EQ(Ui_JamLibraryFolderPlayer(&samples), 1);
    EXPECT_FALSE(Jam_ChooseFromLibraryPopup(&samples, 0)) << "no pad picked";
    g_iJamSlotChoice = 6;
    EXPECT_FALSE(Jam_ChooseFromLibraryPopup(&samples, 1)) << "past the list";
    EXPECT_TRUE(Jam_ChooseFromLibraryPopup(&samples, 0));
    EXPECT_EQ(Jam_SlotWordOf(net.aPlayers[JAM_LOCAL_PLAYER].auPad[6]), Jam_PackListEntry(1, 1));
    EXPECT_EQ(sent.back(), (JAMEVENT{0, 7, Jam_PackListEntry(1, 1)}));

    inst = keepInst;
    g_auRiffList[1] = keepList;
    g_uRiffListCount = keepCount;
    Seq_ResetSongModel();
    std::memcpy(g_szPlayerName, keepName, sizeof keepName);
    Jam_FreePlayerLists();
    g_iJamSlotChoice = g_iJamKeyboardChoice = g_iJamRiffKeyChoice = -1;
    g_bJamSessionOn = 0;
    g_bJamActive = 0;
    g_iJamPlayers = 4;
    g_iJamStartState = 0;
    g_NetNode.pJam = nullptr;
}
