#include "ui/menuitems.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/undo.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"

void Ui_ReturnToPopup(uint8_t button);
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/samplepanel.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <cstdio>

namespace {

constexpr int32_t kSlots = 99;

POPUP *Palette()
{
    POPUP *p = g_pCurrentPopup;
    return p && !p->free && p->list && p->kind == POPUP_SAMPLE_PALETTE ? p : nullptr;
}

const char *Text(int id, const char *english)
{
    const char *t = Ui_Text(id);
    return t && *t ? t : english;
}

// Back to the palette: focused, its screen current.
void BackToPalette()
{
    g_iNextScreen = 9;
    if (POPUP *p = Palette())
        Ui_SetFocus(p->window);
}

// The song's slots changed: the palette's rows, the grid and whoever follows the grid.
void SlotsChanged()
{
    if (POPUP *p = Palette())
        Ui_RefillListRows(p->list);
    if (g_pGridView) {
        Ui_RefreshView(g_pGridView);
        Ui_GridChangedHook(g_ucGridKind);
    }
}

bool Ask(int text, const char *english, MSGBOXANSWERFN answer)
{
    MSGBOXREQUEST r{};
    r.ucIcon = 0;
    r.pszText = Text(text, english);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 112;
    r.asButtonText[1] = 114;
    r.pfnAnswer = answer;
    return Ui_OpenMessageBox(&r) != nullptr;
}

// The slot that the delete question was asked about: the answer comes frames later.
int32_t s_deleteSlot = 0;

void ShiftQuality(int32_t step)
{
    const int32_t slot = Ui_PaletteSelectedSlot();
    // Reloading a sample under the open sample editor would pull its data away.
    const bool editorOpen = g_pSampleEditWindow && Ui_WindowIsOpen(g_pSampleEditWindow);
    if (slot < 1 || !Seq_InstrumentHasName(slot) || editorOpen) {
        Ui_PlayRefusal();
        return;
    }
    Seq_StopSong();
    if (step > 0)
        Seq_InstrumentOctaveUp(slot);
    else
        Seq_InstrumentOctaveDown(slot);
    char line[48];
    std::snprintf(line, sizeof line, "quality %d slot %d kind %d", int(step), int(slot), int(Seq_GetInstrumentKind(slot)));
    Sys_CallLog(line);
    SlotsChanged();
    // The rows 34/35 follow the slot's new kind.
    Ui_RewriteMenuRows(g_sMenuPage);
    BackToPalette();
}

} // namespace

int32_t Ui_PaletteSelectedSlot()
{
    const POPUP *p = Palette();
    if (!p)
        return 0;
    const int32_t slot = p->list->selected + 1;
    return slot >= 1 && slot <= kSlots ? slot : 0;
}

void Ui_MenuPreviewSample()
{
    const int32_t slot = Ui_PaletteSelectedSlot();
    if (slot < 1 || Seq_InstrumentSlotFree(slot)) {
        Ui_PlayRefusal();
        return;
    }
    Sys_CallLog("Seq_PlayInstrumentTestNote");
    Seq_PlayInstrumentTestNote(slot);
}

void Ui_MenuOptimiseSamples()
{
    if (!Palette() || !Ask(520, "Optimise sample list. This will remove all unused samples from your song.",
                           Ui_OptimiseSamplesAnswer))
        Ui_PlayRefusal();
}

void Ui_OptimiseSamplesAnswer(uint8_t button)
{
    if (button == 1) {
        Sys_CallLog("Seq_ClearUnusedInstruments");
        // The log may name the slots about to go: it cannot undo past their removal.
        Seq_ClearUndo();
        Seq_ClearUnusedInstruments(1);
        SlotsChanged();
    }
    BackToPalette();
}

void Ui_MenuDeleteSample()
{
    const int32_t slot = Ui_PaletteSelectedSlot();
    if (slot < 1 || Seq_InstrumentSlotFree(slot)) {
        Ui_PlayRefusal();
        return;
    }
    s_deleteSlot = slot;
    if (!Ask(375, "Delete sample. This will remove all instances of the sample from your song. Are you sure?",
             Ui_DeleteSampleAnswer))
        Ui_PlayRefusal();
}

void Ui_DeleteSampleAnswer(uint8_t button)
{
    const int32_t slot = s_deleteSlot;
    s_deleteSlot = 0;
    if (button == 1 && slot >= 1 && slot <= kSlots && !Seq_InstrumentSlotFree(slot)) {
        Sys_CallLog("Seq_ClearInstrument");
        Seq_StopSong();
        Seq_ClearUndo();
        Seq_ClearInstrument(slot, 1, 1);
        SlotsChanged();
    }
    BackToPalette();
}

void Ui_MenuCopySample()
{
    const int32_t slot = Ui_PaletteSelectedSlot();
    if (slot < 1 || Seq_InstrumentSlotFree(slot)) {
        Ui_PlayRefusal();
        return;
    }
    Sys_CallLog("Seq_CopyInstrument");
    if (Seq_CopyInstrument(slot) == 10) {
        MSGBOXREQUEST r{};
        r.pszText = Text(348, "Out of memory. Unable to complete this operation.");
        r.ucButtonCount = 1;
        r.asButtonText[0] = 114;
        r.pfnAnswer = Ui_ReturnToPopup;
        if (!Ui_OpenMessageBox(&r))
            Ui_PlayRefusal();
        return;
    }
    SlotsChanged();
    BackToPalette();
}

void Ui_DowngradeSample()
{
    ShiftQuality(-1);
}

void Ui_UpgradeSample()
{
    ShiftQuality(1);
}

void Ui_MenuRestoreNoteParams()
{
    Seq_ResetCurrentNote();
}

void Ui_InstallMenuItemOperations()
{
    Ui_SetMenuItemHandler(28, Ui_MenuPreviewSample);
    Ui_SetMenuItemHandler(30, Ui_MenuOptimiseSamples);
    Ui_SetMenuItemHandler(31, Ui_MenuDeleteSample);
    Ui_SetMenuItemHandler(33, Ui_MenuCopySample);
    Ui_SetMenuItemHandler(138, Ui_MenuRestoreNoteParams);
    // 34 and 35 are set or cleared as the page opens, by the selected slot's quality.
    g_pfnDowngradeSample = Ui_DowngradeSample;
    g_pfnUpgradeSample = Ui_UpgradeSample;
}
