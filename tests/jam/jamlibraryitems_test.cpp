// The sample and riff libraries' load and demo items while a jam runs: a load gives the chosen
// entry to the pad picked in the jam's menu, from the library or from a player's own list; a demo
// is heard as the jam's audition; an entry a player's list does not hold is refused.
#include "jamfixture.h"

#include "app/cmdline.h"
#include "core/archive.h"
#include "jam/jamdata.h"
#include "jam/jamplay.h"
#include "jam/netsession.h"
#include "sequencer/instruments.h"
#include "ui/popupkinds.h"

namespace jamtest {
namespace {

class JamLibraryItems : public JamStudio
{
protected:
    void SetUp() override
    {
        JamStudio::SetUp();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        ASSERT_EQ(Content_BuildDemoSong(), 0);
    }
    void TearDown() override
    {
        g_iJamSlotChoice = -1;
        JamStudio::TearDown();
        Sys_WadFreeBuffers();
    }
    // The library pop-up on folder `folder` (from 1; 0: the first player's), row `row` selected.
    POPUP *Open(int kind, int folder, int row)
    {
        for (POPUP &open : g_atPopups)
            if (!open.free && (open.kind == POPUP_SAMPLE_LIBRARY || open.kind == POPUP_RIFF_LIBRARY))
                Ui_TakeDownPopup(&open);
        // Closed windows go over the next frames.
        for (int f = 0; f < 4; f++)
            Frame();
        POPUPDESC &d = g_atPopupDescs[kind];
        d.folder = 1;
        d.subfolder = 1;
        d.selected = d.first = 0;
        POPUP *p = Ui_OpenPopup(kind, nullptr, 160, 69, 170, 306);
        if (!p)
            return nullptr;
        if (folder == 0) {
            // The players' folders follow the library's own.
            const int own = p->folderCount - std::clamp(g_iJamPlayers, 0, 4);
            Ui_TakeDownPopup(p);
            for (int f = 0; f < 4; f++)
                Frame();
            d.folder = int16_t(own + 1 + g_JamNet.iNetMySlot);
            d.subfolder = 1;
            p = Ui_OpenPopup(kind, nullptr, 160, 69, 170, 306);
            if (!p)
                return nullptr;
        }
        p->list->selected = uint16_t(row);
        g_pCurrentPopup = p;
        return p;
    }
};

TEST_F(JamLibraryItems, LoadAndDemoGiveTheEntryToTheJamAndRefuseWhatAListLacks)
{
    Jam_StartSession();
    Ui_ClosePopup();
    Frame();
    ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    ASSERT_TRUE(g_bJamSessionOn);
    JAMPLAYER &me = g_JamNet.aPlayers[JAM_LOCAL_PLAYER];

    // This program's own instrument list holds one of the song's instruments.
    int32_t inst = 0, entry = -1;
    for (int32_t s = 1; s <= 200 && !inst; ++s)
        if (!Seq_InstrumentSlotFree(s)) {
            inst = s;
            entry = Jam_FindOwnInstrument(s);
            if (entry < 0 && Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, uint16_t(s)) == 0)
                entry = Jam_FindOwnInstrument(s);
        }
    ASSERT_GT(inst, 0);
    ASSERT_GT(entry, 0);
    char instName[20] = {};
    Seq_GetInstrumentName(inst, instName);

    struct Load
    {
        const char *what;
        int folder, row, pad;
        bool given;
        const char *caption; // null: any
    };
    const Load loads[] = {
        {"a library entry", 1, 0, 3, true, nullptr},
        {"an entry of my own list", 0, entry - 1, 5, true, instName},
        {"past the end of my list", 0, 150, 6, false, nullptr},
    };
    for (const Load &l : loads) {
        ASSERT_NE(Open(POPUP_SAMPLE_LIBRARY, l.folder, l.row), nullptr) << l.what;
        g_iJamSlotChoice = l.pad;
        const uint32_t before = me.auPad[l.pad];
        Ui_LoadLibrarySampleAt(2);
        EXPECT_EQ(g_ucSampleRateChoice, 2);
        EXPECT_EQ(me.auPad[l.pad] != before, l.given) << l.what;
        if (l.caption) {
            EXPECT_STREQ(g_aszJamCaptions[15 + l.pad], l.caption) << l.what;
        }
    }

    // Demo: the audition starts and the library keeps the focus; a missing list entry is refused.
    struct Demo
    {
        const char *what;
        int kind, folder, row;
        bool heard;
    };
    const Demo demos[] = {
        {"a library sample", POPUP_SAMPLE_LIBRARY, 1, 0, true},
        {"a sample of my own list", POPUP_SAMPLE_LIBRARY, 0, entry - 1, true},
        {"past the end of my sample list", POPUP_SAMPLE_LIBRARY, 0, 150, false},
        {"a riff of my own list", POPUP_RIFF_LIBRARY, 0, 0, true},
        {"past the end of my riff list", POPUP_RIFF_LIBRARY, 0, 1400, false},
    };
    for (const Demo &d : demos) {
        {
            std::lock_guard<std::recursive_mutex> jam(g_JamNet.Lock);
            Jam_CancelPendingInstrument();
            Jam_CancelPendingRiff();
        }
        if (d.kind == POPUP_RIFF_LIBRARY) {
            ASSERT_GE(Seq_BuildRiffList(), 1);
        }
        ASSERT_NE(Open(d.kind, d.folder, d.row), nullptr) << d.what;
        g_iNextScreen = -1;
        if (d.kind == POPUP_RIFF_LIBRARY) {
            g_bRiffDemoBusy = 0;
            Ui_DemoLibraryRiff();
            EXPECT_EQ(g_iJamPendingRiff >= 0, d.heard) << d.what;
        } else {
            Ui_DemoLibrarySampleAt(3);
            EXPECT_EQ(g_iJamPendingInstrument >= 0, d.heard) << d.what;
        }
        EXPECT_EQ(g_iNextScreen, 9) << d.what << ": back to the library";
    }
}

} // namespace
} // namespace jamtest
