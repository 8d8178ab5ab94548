#include "ui/riffpalette.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "editors/blockselect.h"
#include "editors/curveeditor.h"
#include "editors/songlanes.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/iconpicker.h"
#include "ui/langtext.h"
#include "ui/liveentry.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/riffeditor.h"
#include "ui/textentry.h"
#include "ui/view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

char s_szName[16];     // the name being entered
char s_szOldName[16];  // kept to restore
int32_t s_iNamedRiff;  // the riff being renamed
int32_t s_iDeleteRiff; // the riff a delete question is about
int16_t s_asFindStart[2] = {-1, -1};

POPUP *Palette()
{
    if (g_pCurrentPopup && !g_pCurrentPopup->free && g_pCurrentPopup->kind == POPUP_RIFF_PALETTE)
        return g_pCurrentPopup;
    for (POPUP &p : g_atPopups)
        if (!p.free && p.window && p.kind == POPUP_RIFF_PALETTE)
            return &p;
    return nullptr;
}

void FocusPalette()
{
    if (POPUP *p = Palette()) {
        g_pCurrentPopup = p;
        Ui_SetFocus(p->window);
    }
    g_iNextScreen = 9;
}

void Box(const char *text, uint8_t buttons, MSGBOXANSWERFN answer, uint8_t icon = 0)
{
    MSGBOXREQUEST r{};
    r.pszText = text;
    r.ucIcon = icon;
    r.ucButtonCount = buttons;
    if (buttons == 2) {
        r.asButtonText[0] = 112;
        r.asButtonText[1] = 114;
    } else {
        r.asButtonText[0] = 114;
    }
    r.ucFlags = MSGBOX_COPY_TEXT;
    r.pfnAnswer = answer;
    if (!Ui_OpenMessageBox(&r))
        Ui_PlayRefusal();
}

// True when another riff than `riff` has the name (a riff keeping its own name is no clash).
bool NameTaken(const char *name, int32_t riff)
{
    char padded[16] = {};
    for (int i = 0; i < 15 && name[i]; i++)
        padded[i] = name[i];
    if (!Seq_RiffNameExists(padded))
        return false;
    char own[16];
    Seq_GetRiffName(riff, own);
    return std::memcmp(own, padded, 16) != 0;
}

void OpenNameEntry(char *buffer, void (*accept)(), void (*cancel)())
{
    TEXTENTRYREQUEST r{};
    r.x = 100;
    r.y = 90;
    r.maxLength = 16;
    r.titleText = 225;
    r.text = buffer;
    r.accept = accept;
    r.cancel = cancel;
    if (!Ui_OpenTextEntry(&r))
        Ui_PlayRefusal();
}

// ---- Palette rename ----
void AcceptPaletteName();
void PaletteNameDone()
{
    Ui_RebuildRiffList();
    FocusPalette();
}
void CancelPaletteName()
{
    PaletteNameDone();
}
void ReopenPaletteName(uint8_t)
{
    std::memcpy(s_szName, s_szOldName, sizeof s_szName);
    OpenNameEntry(s_szName, AcceptPaletteName, CancelPaletteName);
}
void AcceptPaletteName()
{
    if (NameTaken(s_szName, s_iNamedRiff)) {
        Box(Ui_Text(540), 1, ReopenPaletteName);
        return;
    }
    Seq_SetRiffName(s_iNamedRiff, s_szName);
    PaletteNameDone();
}

// ---- Current riff rename ----
void Ui_AcceptRiffName();
void Ui_CancelRiffName()
{
    std::snprintf(g_szCursorItemName, sizeof g_szCursorItemName, "%s", s_szOldName);
    Ui_ReturnToEditorMenu();
}
void ReopenRiffName(uint8_t)
{
    std::snprintf(g_szCursorItemName, sizeof g_szCursorItemName, "%.15s", s_szOldName);
    OpenNameEntry(g_szCursorItemName, Ui_AcceptRiffName, Ui_CancelRiffName);
}
void Ui_AcceptRiffName()
{
    if (NameTaken(g_szCursorItemName, s_iNamedRiff)) {
        Box(Ui_Text(540), 1, ReopenRiffName);
        return;
    }
    char name[16] = {};
    for (int i = 0; i < 15 && g_szCursorItemName[i]; i++)
        name[i] = g_szCursorItemName[i];
    Seq_SetRiffName(s_iNamedRiff, name);
    Ui_UpdateRiffEditorCaption();
    Ui_ReturnToEditorMenu();
}

// ---- Delete and purge ----
void StopAndForget()
{
    Seq_StopSong();
    Seq_StopRiffPreview();
    Seq_FlushDeletedRiffs();
    Seq_ClearUndo();
}

void DeleteRiff(int32_t riff)
{
    StopAndForget();
    if (Seq_GetRiff(riff))
        Seq_ReleaseRiff(riff, 3, 1);
    Seq_PurgeDeletedRiffs();
    Seq_CountUsedRows();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
    Ui_RebuildRiffList();
}

void DeleteAnswer(uint8_t button)
{
    if (button == 1)
        DeleteRiff(s_iDeleteRiff);
    FocusPalette();
}

void PurgeResultAnswer(uint8_t)
{
    Ui_RebuildRiffList();
    FocusPalette();
}

void PurgeAnswer(uint8_t button)
{
    if (button != 1) {
        FocusPalette();
        return;
    }
    StopAndForget();
    const int32_t removed = Seq_DeleteUnusedRiffs();
    Seq_CountUsedRows();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
    POPUP *p = Palette();
    if (removed > 0 && p && p->list) {
        p->list->selected = p->list->first = 0;
        p->desc->selected = p->desc->first = 0;
        Ui_RebuildRiffList();
        if (SCROLLBAR *bar = p->list->scrollBar) {
            bar->position = p->list->first;
            bar->maximum = std::max(0, int32_t(p->list->totalRows) - int32_t(p->list->visibleRows));
            bar->dirty = 1;
        }
    }
    char text[MSGBOX_TEXT_COPY];
    if (removed == 0)
        std::snprintf(text, sizeof text, "%s", Ui_Text(281));
    else if (removed == 1)
        std::snprintf(text, sizeof text, "%s %s", Ui_Text(278), Ui_Text(280));
    else
        std::snprintf(text, sizeof text, "%s %d %s", Ui_Text(278), int(removed), Ui_Text(279));
    Box(text, 1, PurgeResultAnswer, 3);
}

bool ClipboardHasNotes()
{
    if (g_NoteClipboard.ucColour == 0 || !g_NoteClipboard.puNotes)
        return false;
    const size_t cells = size_t(SEQ_CLIPBOARD_CELLS);
    for (size_t i = 0; i < cells; i++)
        if (g_NoteClipboard.puNotes[i])
            return true;
    return false;
}

void AreaCurve(int32_t mode)
{
    if (!Ui_AreaHasNotes()) {
        Ui_PlayRefusal();
        return;
    }
    Ed_OpenCurveEditor(mode);
}

void OpenLevels(int32_t riff, uint8_t kind)
{
    if (!Seq_GetRiff(riff)) {
        Ui_PlayRefusal();
        return;
    }
    int32_t start = 0, end = 0;
    Seq_GetRiffLevels(riff, &start, &end);
    g_tLaneDialog.start = int16_t(start);
    g_tLaneDialog.end = int16_t(end);
    g_tLaneDialog.riff = riff;
    Ed_OpenBarRangeDialog(kind);
}

// A handler already there (a test's own) is kept.
void SetIfEmpty(int row, MENUHANDLER handler)
{
    if (!g_atMenuItems[row].handler)
        Ui_SetMenuItemHandler(row, handler);
}

} // namespace

int32_t Ui_SelectedPaletteRiff()
{
    const POPUP *p = Palette();
    if (!p || !p->list || p->list->selected >= g_uRiffListCount) {
        Ui_PlayRefusal();
        return 0;
    }
    return g_auRiffList[p->list->selected + 1];
}

void Ui_RebuildRiffList()
{
    const int32_t count = Seq_BuildRiffList();
    POPUP *p = Palette();
    if (!p || !p->list)
        return;
    LISTWIDGET *l = p->list;
    l->totalRows = uint16_t(count);
    const int32_t last = std::max(0, count - 1);
    l->selected = uint16_t(std::min<int32_t>(l->selected, last));
    l->first = uint16_t(std::min<int32_t>(l->first, std::max(0, count - int32_t(l->visibleRows))));
    l->first = uint16_t(std::min<int32_t>(l->first, l->selected));
    p->desc->selected = l->selected;
    p->desc->first = l->first;
    Ui_RefillListRows(l);
}

void Ui_PastePaletteRiff()
{
    const int32_t riff = Ui_SelectedPaletteRiff();
    if (!riff)
        return;
    const int32_t bar = Ui_GridCursorColumnRaw(), track = Ui_GridCursorRowRaw();
    const int32_t uses = Seq_GetRiff(riff)->iUseCount;
    Seq_PlaceRiff(riff, bar, track, 1, 0);
    Seq_CloseUndoStep();
    // A riff that does not fit is refused by the sequencer: say so, as every refused choice does.
    if (!Seq_GetRiff(riff) || Seq_GetRiff(riff)->iUseCount == uses)
        Ui_PlayRefusal();
    Ui_ClosePopup();
    Ui_GridChangedHook(g_ucGridKind);
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
    Seq_ComputeSongTime(9999);
}

void Ui_DeletePaletteRiff()
{
    const int32_t riff = Ui_SelectedPaletteRiff();
    if (!riff)
        return;
    s_iDeleteRiff = riff;
    if (Seq_CountRiffInGrid(riff)) {
        Box(Ui_Text(275), 2, DeleteAnswer);
        return;
    }
    DeleteRiff(riff);
    FocusPalette();
}

void Ui_PlayPaletteRiff()
{
    const int32_t riff = Ui_SelectedPaletteRiff();
    if (!riff)
        return;
    g_ucPreviewMode = 0;
    Seq_PlayRiffPreview(0, riff);
}

void Ui_EditPaletteRiff()
{
    const int32_t riff = Ui_SelectedPaletteRiff();
    if (!riff)
        return;
    if (POPUP *p = Palette()) {
        Seq_StopSong();
        Seq_StopRiffPreview();
        Ui_TakeDownPopup(p);
    }
    Ui_OpenRiffEditor(riff);
}

void Ui_RenamePaletteRiff()
{
    const int32_t riff = Ui_SelectedPaletteRiff();
    if (!riff)
        return;
    s_iNamedRiff = riff;
    Seq_GetRiffName(riff, s_szName);
    s_szName[15] = 0;
    std::memcpy(s_szOldName, s_szName, sizeof s_szOldName);
    OpenNameEntry(s_szName, AcceptPaletteName, CancelPaletteName);
}

void Ui_ChangePaletteRiffIcon()
{
    if (Ui_SelectedPaletteRiff())
        Ui_OpenIconPicker(ICONPICKER_PALETTE);
}

void Ui_RemoveUnusedRiffs()
{
    Box(Ui_Text(277), 2, PurgeAnswer);
}

void Ui_PaletteRiffLevels()
{
    if (const int32_t riff = Ui_SelectedPaletteRiff())
        OpenLevels(riff, LANEDIALOG_POPUP_RIFF);
}

void Ui_CursorRiffLevels()
{
    int32_t riff = 0;
    if (g_ucGridKind == 3)
        riff = g_uCurrentRiff;
    else
        riff = Seq_RiffAtCell(Ui_GridCursorColumnRaw(), Ui_GridCursorRowRaw(), nullptr, nullptr);
    OpenLevels(riff, LANEDIALOG_RIFF);
}

void Ui_FindPaletteRiff()
{
    const int32_t riff = Ui_SelectedPaletteRiff();
    if (!riff)
        return;
    int32_t row = s_asFindStart[0], column = s_asFindStart[1];
    if (row < 0) {
        row = Ui_GridCursorColumnRaw();
        column = Ui_GridCursorRowRaw() + 1;
    }
    int32_t foundRow = row, foundColumn = column;
    if (!Seq_FindRiffInGrid(riff, &foundRow, &foundColumn)) {
        foundRow = 0;
        foundColumn = 0;
        if (!Seq_FindRiffInGrid(riff, &foundRow, &foundColumn)) {
            Ui_PlayRefusal();
            return;
        }
    }
    // The song grid's columns are song rows and its rows the tracks.
    if (g_pGridView) {
        g_pGridView->firstColumn = int16_t(foundRow - 1);
        g_pGridView->firstRow = int16_t(foundColumn - 1);
        g_sGridCursorX = g_sGridCursorY = 0;
        Ui_RefreshView(g_pGridView);
    }
    s_asFindStart[0] = s_asFindStart[1] = -1;
}

void Ui_ChangeRiffKey()
{
    if (const int32_t riff = Ui_SelectedPaletteRiff())
        Ed_OpenSlotDialog(2, 0, riff);
}

void Ui_RenameCurrentRiff()
{
    const int32_t riff = g_uCurrentRiff;
    if (!Seq_GetRiff(riff)) {
        Ui_PlayRefusal();
        return;
    }
    s_iNamedRiff = riff;
    char name[16];
    Seq_GetRiffName(riff, name);
    // The hover text shares this buffer: it starts from the riff's own name.
    std::snprintf(g_szCursorItemName, sizeof g_szCursorItemName, "%.15s", name);
    std::snprintf(s_szOldName, sizeof s_szOldName, "%.15s", name);
    OpenNameEntry(g_szCursorItemName, Ui_AcceptRiffName, Ui_CancelRiffName);
}

void Ui_ChangeCurrentRiffIcon()
{
    if (!Seq_GetRiff(g_uCurrentRiff)) {
        Ui_PlayRefusal();
        return;
    }
    Ui_OpenIconPicker(ICONPICKER_CURRENT);
}

void Ui_PasteCopiedNotes()
{
    if (!ClipboardHasNotes() || !g_pGridView) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t x = Ui_GridCursorColumnRaw(), y = Ui_GridCursorRowRaw();
    const int32_t w = g_tBlock.ucWidthLess1 + 1, h = g_tBlock.ucHeightLess1 + 1;
    if (x + w - 1 < g_pGridView->columnCount && y + h - 1 < g_pGridView->rowCount && x >= 0 && y >= 0) {
        g_tBlock.origin[0] = int16_t(x);
        g_tBlock.origin[1] = int16_t(y);
        g_tBlock.corner[0] = int16_t(x + w - 1);
        g_tBlock.corner[1] = int16_t(y + h - 1);
        Ed_BlockEnterPasteMode();
        return;
    }
    Box(Ui_Text(298), 1, [](uint8_t) { Ui_ReturnToEditorMenu(); });
}

void Ui_UpdatePasteNotesItem()
{
    Ui_SetMenuItemHandler(95, ClipboardHasNotes() ? Ui_PasteCopiedNotes : nullptr);
}

void Ui_NextChannel()
{
    const int32_t count = std::max<int32_t>(1, g_ucChannelCount);
    g_ucCurrentChannel = uint8_t((g_ucCurrentChannel + 1) % count);
    Ui_ClearCellBuffer();
    Ui_ReselectNote();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ui_AreaVolumeCurve()
{
    AreaCurve(4);
}
void Ui_AreaPanCurve()
{
    AreaCurve(5);
}
void Ui_AreaSampleOffsetCurve()
{
    AreaCurve(6);
}

void Ui_InstallRiffPaletteItems()
{
    SetIfEmpty(87, Ui_PastePaletteRiff);
    SetIfEmpty(83, Ui_DeletePaletteRiff);
    SetIfEmpty(89, Ui_PlayPaletteRiff);
    SetIfEmpty(86, Ui_EditPaletteRiff);
    SetIfEmpty(85, Ui_RenamePaletteRiff);
    SetIfEmpty(105, Ui_ChangePaletteRiffIcon);
    SetIfEmpty(84, Ui_RemoveUnusedRiffs);
    SetIfEmpty(88, Ui_PaletteRiffLevels);
    SetIfEmpty(94, Ui_FindPaletteRiff);
    SetIfEmpty(122, Ui_ChangeRiffKey);
    SetIfEmpty(65, Ui_RenameCurrentRiff);
    SetIfEmpty(106, Ui_ChangeCurrentRiffIcon);
    SetIfEmpty(96, Ui_NextChannel);
    SetIfEmpty(99, Ui_AreaVolumeCurve);
    SetIfEmpty(100, Ui_AreaPanCurve);
    SetIfEmpty(101, Ui_AreaSampleOffsetCurve);
    Ui_UpdatePasteNotesItem();
}
