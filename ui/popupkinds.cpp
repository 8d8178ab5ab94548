#include "ui/popupkinds.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "jam/jamdata.h"
#include "jam/jamplay.h"
#include "jam/jamscreen.h"
#include "jam/jamseq.h"
#include "jam/netsession.h"
#include "app/cmdline.h"
#include "jam/netobjects.h"
#include "core/archive.h"
#include "core/browser.h"
#include "core/disc.h"
#include "jam/jamsession.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/undo.h"
#include "render/fonts.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menuitems.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/noteeffects.h"
#include "ui/noteparams.h"
#include "ui/popup.h"
#include "ui/riffeditor.h"
#include "editors/clippalette.h"
#include "ui/samplepanel.h"
#include "ui/view.h"
#include "video/autovideo.h"
#include "video/clips.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint8_t g_ucSampleRateChoice = 2;
int32_t g_bRiffDemoBusy = 0;

namespace {

// Row buffers of the pop-up lists: the row number word, the text, the last byte set for a row
// that cannot be chosen. The sample palette keeps the slot's library kind before that.
constexpr int kRowText = 2;
constexpr int kRowTextMax = UI_POPUP_ROW_STRIDE - kRowText - 2;
constexpr int kRowKind = UI_POPUP_ROW_STRIDE - 2;
constexpr int kRowEmptyFlag = UI_POPUP_ROW_STRIDE - 1;
constexpr int kInstrumentRows = 99;

// The sample palette's own position, taken when it opens: a close without a load puts it back,
// so the palette reopens where it was before.
uint16_t s_paletteSelected = 0, s_paletteFirst = 0;
// The clip library: the preview clip set aside while it is open, and whether a clip was chosen.
VIDCLIP *s_setAsideClip = nullptr;
bool s_clipChosen = false;
// The slot the sample palette chose for a library load.
int32_t s_loadSlot = 0;
// The menu page under the note effect list, given back when it closes.
int16_t s_notePanelPage = -1;

const char *Text(int id, const char *english)
{
    return id > 0 && id < TEXT_COUNT && g_apszText[id] ? g_apszText[id] : english;
}

int32_t Target(int32_t op, int32_t number)
{
    return op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
}

void SetRowText(void *row, const char *text, bool empty)
{
    auto *r = static_cast<char *>(row);
    const size_t n = strnlen(text, kRowTextMax);
    std::memcpy(r + kRowText, text, n);
    r[kRowText + n] = 0;
    r[kRowEmptyFlag] = empty ? 1 : 0;
}

int32_t ListedClipCount()
{
    int32_t n = 0;
    while (Vid_GetListedClip(n))
        n++;
    return n;
}

void RiffRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = Target(op, number);
    if (n < 1 || n > g_uRiffListCount)
        return;
    char name[17] = {};
    Seq_GetRiffName(g_auRiffList[n], name);
    SetRowText(row, name, false);
}

void ClipRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = Target(op, number);
    const VIDCLIP *clip = n >= 1 ? Vid_GetListedClip(n - 1) : nullptr;
    if (!clip)
        return;
    char name[sizeof clip->szName + 1] = {};
    std::memcpy(name, clip->szName, sizeof clip->szName);
    SetRowText(row, name, false);
}

void InstrumentRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = Target(op, number);
    if (n < 1 || n > kInstrumentRows)
        return;
    char name[21] = {};
    Seq_GetInstrumentName(n, name);
    SetRowText(row, name, false);
    static_cast<uint8_t *>(row)[kRowKind] = uint8_t(Seq_GetInstrumentKind(n));
}

// A slot: its number centred on x + 10, its name at x + 25 and, when it holds a library sample,
// the rate centred on x + 154 in the colour of the library kind.
void DrawInstrumentRow(void *row, int32_t x, int32_t y)
{
    const auto *r = static_cast<const char *>(row);
    uint16_t number = 0;
    std::memcpy(&number, r, 2);
    char text[8];
    std::snprintf(text, sizeof text, "%d", int(number));
    Gfx_DrawText(text, x + 10 - Gfx_GetTextWidth(text) / 2, y + 1, g_pOrderingTable);
    Gfx_DrawText(r + kRowText, x + 25, y + 1, g_pOrderingTable);
    const uint8_t kind = uint8_t(r[kRowKind]);
    if (kind < 1 || kind > 3)
        return;
    static const char *const kRates[3] = {"11", "22", "44"};
    static const uint32_t kColours[3] = {0x408080, 0x205080, 0x003080};
    const uint32_t colour = g_uiTextColour;
    g_uiTextColour = kColours[kind - 1];
    Gfx_DrawText(kRates[kind - 1], x + 154 - Gfx_GetTextWidth(kRates[kind - 1]) / 2, y + 1, g_pOrderingTable);
    g_uiTextColour = colour;
}

bool Usable(const POPUP *p)
{
    return p && !p->free && p->list;
}

POPUP *Library(int kind)
{
    for (POPUP &p : g_atPopups)
        if (!p.free && p.kind == kind)
            return &p;
    return nullptr;
}

// The focus saved by the opener, when it is still there.
bool Alive(const void *focus)
{
    if (!focus)
        return false;
    for (const WINDOW &w : g_atWindows)
        if (focus == &w)
            return Ui_WindowIsOpen(&w) && !w.closing;
    return !(static_cast<const WIDGET *>(focus)->flags & WIDGET_FREE);
}

// Back to the editing screen the pop-up came from: the grid focused, its menu and view again.
void BackToGrid()
{
    if (g_bJamSessionOn) {
        g_iNextScreen = 10;
        return;
    }
    g_iNextScreen = g_sReturnScreen;
    Sys_CdStop();
    if (g_pGridView) {
        Ui_ReturnToEditorMenu();
        Ui_RefreshView(g_pGridView);
    }
    if (WINDOW *grid = g_atWindowRoles[UI_ROLE_GRID].window)
        Ui_SetFocus(grid);
    else if (Alive(g_pReturnFocus))
        Ui_SetFocus(g_pReturnFocus);
}

void FocusPopup(POPUP *p)
{
    if (Usable(p)) {
        g_pCurrentPopup = p;
        Ui_SetFocus(p->window);
        g_iNextScreen = 9;
    }
}

// The library entry a pop-up points at: its keys (folder, sub-folder, entry, all from 1).
bool EntryKeys(const POPUP *p, int32_t *folder, int32_t *sub, int32_t *entry)
{
    if (!Usable(p) || !p->desc)
        return false;
    const int32_t row = p->list->selected;
    if (row >= p->nameCount || !p->empty || p->empty[row])
        return false;
    *folder = p->desc->folder;
    *sub = p->desc->subfolder;
    *entry = row + 1;
    return true;
}

void EntryName(const POPUP *p, char *out, size_t cap)
{
    out[0] = 0;
    const int32_t row = Usable(p) ? p->list->selected : -1;
    if (row < 0 || row >= p->nameCount || !p->names)
        return;
    const size_t n = std::min(cap - 1, strnlen(reinterpret_cast<const char *>(p->names) + size_t(row) * 32, 32));
    std::memcpy(out, p->names + size_t(row) * 32, n);
    out[n] = 0;
}

// The call log names what a choice did, so that a scripted run can be followed.
void LogRiff(const char *what, int32_t riff)
{
    char name[17] = {};
    if (riff > 0)
        Seq_GetRiffName(riff, name);
    char line[64];
    std::snprintf(line, sizeof line, "%s%s", what, name);
    Sys_CallLog(line);
}

// ---- Busy operations ----

uint8_t LoadRiff()
{
    int32_t folder, sub, entry;
    const POPUP *p = Library(POPUP_RIFF_LIBRARY);
    if (!EntryKeys(p, &folder, &sub, &entry))
        return 10;
    Sys_CallLog("Seq_LoadLibraryRiffLocal");
    const int32_t result = Seq_LoadLibraryRiffLocal(0, folder, sub, entry);
    LogRiff("library riff ", g_uLibraryRiff);
    return result == 10 ? 10 : 0;
}

void CloseRiffLibrary()
{
    if (POPUP *p = Library(POPUP_RIFF_LIBRARY)) {
        g_pCurrentPopup = p;
        Ui_ClosePopup();
    }
}

uint8_t DemoRiff()
{
    const uint8_t result = LoadRiff();
    if (result != 10 && g_uLibraryRiff)
        Seq_PlayRiffPreview(0, g_uLibraryRiff);
    return result;
}

void BackToCurrentPopup()
{
    FocusPopup(g_pCurrentPopup);
}

uint8_t LoadClip()
{
    int32_t folder, sub, entry;
    const POPUP *p = Library(POPUP_CLIP_LIBRARY);
    if (!EntryKeys(p, &folder, &sub, &entry))
        return 21;
    Sys_CallLog("Vid_LoadLibraryClip");
    return Vid_LoadLibraryClip(p->desc->root, folder, sub, entry) == 1 ? 0 : 21;
}

void CloseClipLibrary()
{
    if (POPUP *p = Library(POPUP_CLIP_LIBRARY)) {
        g_pCurrentPopup = p;
        Ui_ClosePopup();
    }
}

uint8_t DemoClip()
{
    const uint8_t result = LoadClip();
    if (result == 0)
        Vid_SetClipPreview(1);
    return result;
}

int32_t LibraryKind()
{
    return std::clamp<int32_t>(g_ucSampleRateChoice, 1, 3);
}

uint8_t LoadSample()
{
    int32_t folder, sub, entry;
    if (!EntryKeys(Library(POPUP_SAMPLE_LIBRARY), &folder, &sub, &entry))
        return 10;
    Sys_CallLog("Seq_LoadInstrument");
    const int32_t result = Seq_LoadInstrument(s_loadSlot, folder, sub, entry, LibraryKind(), 1, 1, 0);
    char name[21] = {}, line[64];
    Seq_GetInstrumentName(s_loadSlot, name);
    std::snprintf(line, sizeof line, "slot %d %s", int(s_loadSlot), result == 10 ? "" : name);
    Sys_CallLog(line);
    return result == 10 ? 10 : 0;
}

// After a load the palette keeps its new position; the palette goes, then the library.
void CloseAfterSampleLoad()
{
    POPUP *palette = Library(POPUP_SAMPLE_PALETTE);
    if (palette) {
        Ui_PopupStorePosition(palette);
        s_paletteSelected = palette->desc->selected;
        s_paletteFirst = palette->desc->first;
        g_pCurrentPopup = palette;
        Ui_ClosePopup();
    }
    if (POPUP *library = Library(POPUP_SAMPLE_LIBRARY)) {
        g_pCurrentPopup = library;
        Ui_ClosePopup();
    }
}

uint8_t DemoSample()
{
    int32_t folder, sub, entry;
    if (!EntryKeys(Library(POPUP_SAMPLE_LIBRARY), &folder, &sub, &entry))
        return 10;
    const int32_t result = Seq_PreviewLibraryInstrument(folder, sub, entry, LibraryKind());
    return result == 10 ? 10 : 0;
}

// ---- Choices ----

void LoadIntoSlot(uint8_t button)
{
    POPUP *palette = Library(POPUP_SAMPLE_PALETTE);
    FocusPopup(palette);
    if (button != 1)
        return;
    char name[33];
    EntryName(Library(POPUP_SAMPLE_LIBRARY), name, sizeof name);
    Ui_OpenBusyBox(name, Text(41, "Loading..."), UI_BUSY_CENTRED, 100, 2);
}

// The sample editor's window while it is open (its panel, or a window that took its role).
WINDOW *SampleEditorOpen()
{
    if (WINDOW *w = g_atWindowRoles[UI_ROLE_SAMPLE_EDITOR].window)
        return w;
    if (g_pSampleEditWindow && Ui_WindowIsOpen(g_pSampleEditWindow) && !g_pSampleEditWindow->closing)
        return g_pSampleEditWindow;
    return nullptr;
}

// The sample editor takes the chosen slot: the palette goes (back to the editor's page and
// screen) and the slot loads into the editor behind the busy box, as when it opened.
void EditSlotInPanel(int32_t slot)
{
    if (slot < 1 || slot > kInstrumentRows || !Seq_InstrumentHasName(slot) ||
        g_ucSampleEditMode == SAMPLEPANEL_RECORD || g_pSampleRecordBox) {
        Ui_PlayRefusal();
        return;
    }
    Ui_ClosePopup();
    Seq_StopSong();
    g_iSampleEditSlot = slot;
    g_bSamplePanelReady = 0;
    char name[21] = {};
    Seq_GetInstrumentName(slot, name);
    Ui_OpenBusyBox(name, Text(94, "Loading..."), UI_BUSY_CENTRED, 100, 3);
}

void ChooseSampleSlot(POPUP *p, int32_t row)
{
    const int32_t slot = row + 1;
    POPUP *library = g_pParentPopup && !g_pParentPopup->free && g_pParentPopup->kind == POPUP_SAMPLE_LIBRARY
                         ? g_pParentPopup
                         : nullptr;
    if (!library) {
        if (SampleEditorOpen()) {
            EditSlotInPanel(slot);
            return;
        }
        Ui_ClosePopup();
        return;
    }
    int32_t folder, sub, entry;
    if (slot < 1 || slot > kInstrumentRows || !EntryKeys(library, &folder, &sub, &entry)) {
        Ui_PlayRefusal();
        return;
    }
    s_loadSlot = slot;
    if (Seq_InstrumentSlotFree(slot)) {
        LoadIntoSlot(1);
        return;
    }
    MSGBOXREQUEST r{};
    r.ucIcon = 2;
    r.pszText = Text(549, "This will overwrite the sample in that slot.");
    r.ucButtonCount = 2;
    r.asButtonText[0] = 112;
    r.asButtonText[1] = 114;
    r.pfnAnswer = LoadIntoSlot;
    if (!Ui_OpenMessageBox(&r))
        Ui_PlayRefusal();
    (void)p;
}

void ChooseRiff(int32_t row)
{
    if (row < 0 || row >= g_uRiffListCount || g_ucGridKind != 2 || !g_pGridView) {
        Ui_PlayRefusal();
        return;
    }
    Seq_StopSong();
    Seq_StopRiffPreview();
    const int32_t riff = g_auRiffList[row + 1];
    // The grid's columns are bars of the song and its rows the tracks.
    const int32_t bar = Ui_GridCursorColumnRaw(), track = Ui_GridCursorRowRaw();
    const int32_t placed = riff == g_uLibraryRiff ? Seq_PlaceLibraryRiff(bar, track) : Seq_PlaceRiffAt(riff, bar, track);
    if (placed != 1) {
        Ui_PlayRefusal();
        return;
    }
    LogRiff("placed ", riff);
    Seq_CloseUndoStep();
    Ui_ClosePopup();
    Ui_GridChangedHook(g_ucGridKind);
    Ui_RefreshView(g_pGridView);
    Seq_ComputeSongTime(9999);
}

} // namespace

// ---- Rows ----

bool Ui_JamListRowAvailable(const POPUP *p, int32_t row)
{
    if (!p || row < 0 || row >= p->nameCount || !p->empty || p->empty[row])
        return false;
    // Templates cannot change under a running jam.
    return g_iJamStartState.load() != 4;
}

bool Ui_PopupKindRows(POPUP *p, int32_t *total, LISTFILLROW *fill, LISTDRAWROW *draw)
{
    if (!p)
        return false;
    switch (p->kind) {
    case POPUP_CLIP_PALETTE:
        *total = ListedClipCount();
        *fill = ClipRow;
        break;
    case POPUP_SAMPLE_PALETTE:
        *total = kInstrumentRows;
        *fill = InstrumentRow;
        *draw = DrawInstrumentRow;
        s_paletteSelected = p->desc->selected;
        s_paletteFirst = p->desc->first;
        break;
    case POPUP_RIFF_PALETTE:
        *total = Seq_BuildRiffList();
        *fill = RiffRow;
        break;
    case POPUP_NOTE_EFFECT:
        *total = UI_NOTE_EFFECTS;
        *fill = Ui_NoteEffectRow;
        break;
    default:
        return false;
    }
    // A palette whose kept row is past its rows starts at the top.
    if ((p->kind == POPUP_CLIP_PALETTE || p->kind == POPUP_RIFF_PALETTE) && p->desc->selected >= *total) {
        p->desc->selected = 0;
        p->desc->first = 0;
    }
    return true;
}

// ---- Choices ----

bool Ui_PopupKindChoose(POPUP *p, int32_t row)
{
    if (!Usable(p))
        return false;
    switch (p->kind) {
    case POPUP_SAMPLE_LIBRARY:
        if (row >= p->nameCount || !p->empty || p->empty[row] || g_bJamSessionOn) {
            // The jam's own instrument lists are chosen through the jam's loaders.
            if (!(g_bJamSessionOn && row < p->nameCount && p->empty && !p->empty[row] &&
                  Jam_ChooseFromLibraryPopup(p, row)))
                Ui_PlayRefusal();
            return true;
        }
        Ui_OpenSampleLibraryMenu();
        return true;
    case POPUP_CLIP_LIBRARY:
        if (row >= p->nameCount || !p->empty || p->empty[row] || g_bJamSessionOn) {
            Ui_PlayRefusal();
            return true;
        }
        s_clipChosen = true;
        {
            char name[33];
            EntryName(p, name, sizeof name);
            Ui_OpenBusyBox(name, Text(41, "Loading..."), UI_BUSY_CENTRED, 100, 21);
        }
        return true;
    case POPUP_CLIP_PALETTE:
        if (row >= p->list->totalRows) {
            Ui_PlayRefusal();
            return true;
        }
        Ed_ClipReplaceAtCursor();
        return true;
    case POPUP_SAMPLE_PALETTE:
        ChooseSampleSlot(p, row);
        return true;
    case POPUP_RIFF_PALETTE:
        ChooseRiff(row);
        return true;
    case POPUP_NOTE_EFFECT:
        if (row < 0 || row >= UI_NOTE_EFFECTS) {
            Ui_PlayRefusal();
            return true;
        }
        g_tSelectedNote.ucSetting1 = Ui_NoteEffectPreset(row);
        Ui_ClosePopup();
        Ui_WriteSelectedNote();
        return true;
    default:
        return false;
    }
}

// ---- Closes ----

bool Ui_PopupKindClose(POPUP *p)
{
    if (!p || p->free)
        return false;
    switch (p->kind) {
    case POPUP_RIFF_LIBRARY:
        Ui_TakeDownPopup(p);
        if (g_bJamSessionOn) {
            Jam_CancelPendingRiff();
            g_iScreen = g_iNextScreen = 10;
            g_iJamSlotChoice = g_iJamKeyboardChoice = g_iJamRiffKeyChoice = -1;
            Jam_PopupsClosed();
            return true;
        }
        Seq_StopRiffPreview();
        BackToGrid();
        return true;
    case POPUP_SAMPLE_LIBRARY:
        Ui_TakeDownPopup(p);
        if (g_bJamSessionOn) {
            Jam_CancelPendingInstrument();
            g_iScreen = g_iNextScreen = 10;
            g_iJamSlotChoice = g_iJamKeyboardChoice = g_iJamRiffKeyChoice = -1;
            Jam_PopupsClosed();
            return true;
        }
        Seq_StopSong();
        Seq_DropPendingInstrument();
        BackToGrid();
        return true;
    case POPUP_CLIP_LIBRARY: {
        Ui_TakeDownPopup(p);
        Vid_SetClipPreview(0);
        if (!s_clipChosen) {
            // Nothing chosen: what was heard goes, and the clip shown before comes back.
            // The preview's own reference goes either way: when nothing was heard it is the
            // same clip, still held by the reference taken when it was set aside.
            VIDCLIP *heard = g_pPreviewClip;
            g_pPreviewClip = s_setAsideClip;
            s_setAsideClip = nullptr;
            if (heard)
                Vid_ReleaseClip(heard);
        } else if (s_setAsideClip) {
            Vid_ReleaseClip(s_setAsideClip);
            s_setAsideClip = nullptr;
        }
        s_clipChosen = false;
        BackToGrid();
        Ed_UpdateMemoryUsage();
        return true;
    }
    case POPUP_CLIP_PALETTE:
        Ui_TakeDownPopup(p);
        Vid_SetClipPreview(0);
        BackToGrid();
        return true;
    case POPUP_SAMPLE_PALETTE: {
        if (!g_bJamSessionOn)
            Seq_StopSong();
        POPUP *library = g_pParentPopup && !g_pParentPopup->free && g_pParentPopup->kind == POPUP_SAMPLE_LIBRARY
                             ? g_pParentPopup
                             : nullptr;
        POPUPDESC *d = p->desc;
        Ui_TakeDownPopup(p);
        d->selected = s_paletteSelected;
        d->first = s_paletteFirst;
        if (g_bJamSessionOn) {
            g_iScreen = g_iNextScreen = 10;
            return true;
        }
        if (library) {
            Ui_SetMenuPage(2);
            FocusPopup(library);
            return true;
        }
        if (WINDOW *editor = SampleEditorOpen()) {
            Ui_SetMenuPage(6);
            g_iNextScreen = 15;
            Ui_SetFocus(editor);
            return true;
        }
        BackToGrid();
        return true;
    }
    case POPUP_RIFF_PALETTE:
        Seq_StopSong();
        Seq_StopRiffPreview();
        Ui_TakeDownPopup(p);
        BackToGrid();
        return true;
    case POPUP_NOTE_EFFECT:
        // Back to the note panel over the riff grid.
        Ui_TakeDownPopup(p);
        if (s_notePanelPage >= 0)
            Ui_SetMenuPage(s_notePanelPage);
        s_notePanelPage = -1;
        g_iNextScreen = 14;
        Sys_CdStop();
        if (WINDOW *grid = g_atWindowRoles[UI_ROLE_GRID].window)
            Ui_SetFocus(grid);
        return true;
    default:
        return false;
    }
}

// ---- Openers ----

void Ui_OpenSampleLibraryMenu()
{
    Ui_SetMenuPage(2);
    Ui_OpenPageMenu();
}

void Ui_OpenRiffLibrary()
{
    g_bRiffDemoBusy = 0;
    Ui_SetMenuPage(18);
    Ui_OpenPopup(POPUP_RIFF_LIBRARY, nullptr, g_iScreenWidth / 4, 69, 170, 306);
}

void Ui_OpenRiffPalettePopup()
{
    Ui_SetMenuPage(15);
    Ui_OpenPopup(POPUP_RIFF_PALETTE, nullptr, 160, 69, 170, 307);
}

void Ui_OpenNoteEffectPopup()
{
    POPUPDESC &d = g_atPopupDescs[POPUP_NOTE_EFFECT];
    d.selected = uint16_t(Ui_NoteEffectNumber(g_tSelectedNote.ucSetting1));
    d.first = uint16_t(std::max(int(d.selected) - 10, 0));
    const int16_t page = g_sMenuPage;
    Ui_SetMenuPage(31);
    if (Ui_OpenPopup(POPUP_NOTE_EFFECT, nullptr, g_iScreenWidth / 4, 69, 170, 306))
        s_notePanelPage = page;
    else
        Ui_SetMenuPage(page);
}

void Ui_OpenClipLibrary()
{
    if (!s_setAsideClip && g_pPreviewClip)
        s_setAsideClip = Vid_AddClipRef(g_pPreviewClip);
    s_clipChosen = false;
    Ui_SetMenuPage(25);
    Ui_OpenPopup(POPUP_CLIP_LIBRARY, nullptr, g_iScreenWidth / 4, 69, 160, 306);
}

void Ui_OpenClipPalette()
{
    Ui_SetMenuPage(24);
    Ui_OpenPopup(POPUP_CLIP_PALETTE, nullptr, 160, 69, 170, 307);
}

// ---- Library page items ----

namespace {

// In a jam the riff and sample libraries end with one folder per player, listing that player's
// riffs or instruments. The library entry a pop-up points at, in the jam's terms.
struct JAMENTRY
{
    bool playerList;  // a player's list entry, else a library entry
    int32_t player;   // network slot 0..3 of a list entry
    int32_t folder, sub, entry; // all from 1; entry is the list position for a list entry
};

bool JamEntryOf(const POPUP *p, JAMENTRY *out)
{
    if (!Usable(p) || !p->desc)
        return false;
    const int32_t row = p->list->selected;
    const int32_t players = g_bJamActive ? std::clamp(g_iJamPlayers, 0, 4) : 0;
    const int32_t ownFolders = std::max(int32_t(p->folderCount) - players, 0);
    if (row < 0)
        return false;
    *out = JAMENTRY{};
    out->folder = p->desc->folder;
    out->sub = p->desc->subfolder;
    out->entry = row + 1;
    if (p->desc->folder > ownFolders) {
        out->playerList = true;
        out->player = p->desc->folder - ownFolders - 1;
        return out->player >= 0 && out->player < players;
    }
    return row < p->nameCount && p->empty && !p->empty[row];
}

int32_t MySlot()
{
    return g_NetNode.pJam ? g_NetNode.pJam->iNetMySlot : 0;
}

// Whether a player's list holds the entry: this program's riffs are the song's riff list.
bool JamListHas(const JAMENTRY &e, bool riff)
{
    if (!e.playerList)
        return true;
    if (riff)
        return e.player == MySlot() ? e.entry >= 1 && uint32_t(e.entry) <= g_uRiffListCount
                                    : Jam_RiffListEntry(e.player, uint32_t(e.entry)) != 0;
    return Jam_InstrumentListEntry(Jam_ListOwner(e.player, MySlot()), uint32_t(e.entry)) != 0;
}

// The jam's model changes under its lock: the jam step works on it too.
template <typename F> int32_t JamLocked(F f)
{
    if (!g_NetNode.pJam)
        return -1;
    std::lock_guard<std::recursive_mutex> jam(g_NetNode.pJam->Lock);
    return f();
}

// A load item in a jam: the entry goes to the pad (or keyboard) chosen in the jam's menu.
void GiveSampleToJam(POPUP *library)
{
    JAMENTRY e;
    if (!JamEntryOf(library, &e) || !JamListHas(e, false)) {
        Ui_PlayRefusal();
        return;
    }
    char line[64];
    std::snprintf(line, sizeof line, "jam sample %s %d %d %d", e.playerList ? "list" : "library",
                  int(e.playerList ? e.player : e.folder), int(e.sub), int(e.entry));
    Sys_CallLog(line);
    const int32_t done = JamLocked([&] {
        return e.playerList ? Jam_AssignInstrumentFromList(&g_NetNode, e.player, uint32_t(e.entry), -1, 1)
                            : Jam_AssignInstrumentFromLibrary(&g_NetNode, uint32_t(e.folder), uint32_t(e.sub),
                                                              uint32_t(e.entry), -1);
    });
    if (done != 0)
        Ui_PlayRefusal();
}

// A demo item in a jam: the entry is heard as the jam's audition, and the library stays.
void AuditionInJam(POPUP *library, bool riff)
{
    JAMENTRY e;
    bool heard = JamEntryOf(library, &e) && JamListHas(e, riff);
    if (heard) {
        char line[64];
        std::snprintf(line, sizeof line, "jam audition %s %s %d %d %d", riff ? "riff" : "sample",
                      e.playerList ? "list" : "library", int(e.playerList ? e.player : e.folder), int(e.sub),
                      int(e.entry));
        Sys_CallLog(line);
        const int32_t mySlot = MySlot();
        const int32_t result = JamLocked([&] {
            if (riff)
                return e.playerList ? Jam_AddRiffSlot(0, 0, 0, e.player, e.entry, mySlot)
                                    : Jam_AddRiffSlot(e.folder, e.sub, e.entry, JAM_LOCAL_PLAYER, 0, mySlot);
            return e.playerList ? Jam_AddInstrumentSlot(0, 0, 0, e.player, e.entry, mySlot)
                                : Jam_AddInstrumentSlot(uint32_t(e.folder), uint32_t(e.sub), uint32_t(e.entry),
                                                        JAM_LOCAL_PLAYER, 0, mySlot);
        });
        heard = riff ? result >= 0 : result == 1;
    }
    if (!heard)
        Ui_PlayRefusal();
    FocusPopup(library);
}

} // namespace

void Ui_LoadLibrarySampleAt(int32_t rate)
{
    g_ucSampleRateChoice = uint8_t(std::clamp(rate, 1, 3));
    POPUP *library = Library(POPUP_SAMPLE_LIBRARY);
    if (g_bJamSessionOn) {
        GiveSampleToJam(library);
        return;
    }
    int32_t folder, sub, entry;
    if (!EntryKeys(library, &folder, &sub, &entry)) {
        Ui_PlayRefusal();
        FocusPopup(library);
        return;
    }
    g_pCurrentPopup = library;
    Ui_OpenSamplePalettePopup();
}

namespace {

// Demoing plays the library's chosen entry behind the busy box (its operation loads and plays it);
// without an entry, or in a jam, it is refused and the library keeps the focus.
void DemoLibraryEntry(int kind, int32_t busyOperation)
{
    POPUP *library = Library(kind);
    if (g_bJamSessionOn && (kind == POPUP_SAMPLE_LIBRARY || kind == POPUP_RIFF_LIBRARY)) {
        AuditionInJam(library, kind == POPUP_RIFF_LIBRARY);
        return;
    }
    int32_t folder, sub, entry;
    if (!EntryKeys(library, &folder, &sub, &entry) || g_bJamSessionOn) {
        Ui_PlayRefusal();
        FocusPopup(library);
        return;
    }
    g_pCurrentPopup = library;
    char name[33];
    EntryName(library, name, sizeof name);
    Ui_OpenBusyBox(name, Text(41, "Loading..."), UI_BUSY_CENTRED, 100, busyOperation);
}

} // namespace

void Ui_DemoLibrarySampleAt(int32_t rate)
{
    g_ucSampleRateChoice = uint8_t(std::clamp(rate, 1, 3));
    DemoLibraryEntry(POPUP_SAMPLE_LIBRARY, 13);
}

void Ui_DemoLibraryRiff()
{
    // A second press while the first demo waits for its busy box does nothing; once it has
    // played, the item hears the next entry.
    if (g_bRiffDemoBusy && g_tBusyBox.countdown != 0 && g_tBusyBox.code == 14)
        return;
    DemoLibraryEntry(POPUP_RIFF_LIBRARY, 14);
    g_bRiffDemoBusy = !g_bJamSessionOn && g_tBusyBox.countdown != 0 && g_tBusyBox.code == 14;
}

void Ui_DemoLibraryClip()
{
    DemoLibraryEntry(POPUP_CLIP_LIBRARY, 22);
}

void Ui_InstallPopupKindItems()
{
    Ui_SetMenuItemHandler(4, Ui_OpenRiffLibrary);
    Ui_SetMenuItemHandler(5, Ui_OpenRiffPalettePopup);
    Ui_SetMenuItemHandler(22, Ui_OpenClipLibrary);
    Ui_SetMenuItemHandler(23, Ui_OpenClipPalette);
    Ui_SetMenuItemHandler(26, Ui_OpenSampleLibraryPopup);
    Ui_SetMenuItemHandler(27, Ui_OpenSamplePalette);
    Ui_SetMenuItemHandler(16, [] { Ui_LoadLibrarySampleAt(1); });
    Ui_SetMenuItemHandler(17, [] { Ui_LoadLibrarySampleAt(2); });
    Ui_SetMenuItemHandler(18, [] { Ui_LoadLibrarySampleAt(3); });
    Ui_SetMenuItemHandler(19, [] { Ui_DemoLibrarySampleAt(1); });
    Ui_SetMenuItemHandler(20, [] { Ui_DemoLibrarySampleAt(2); });
    Ui_SetMenuItemHandler(50, [] { Ui_DemoLibrarySampleAt(3); });
    Ui_SetMenuItemHandler(102, Ui_DemoLibraryRiff);
    Ui_SetMenuItemHandler(121, Ui_DemoLibraryClip);
    Ui_InstallMenuItemOperations();
}

void Ui_InitLibraryBusyOperations()
{
    Ui_SetBusyOperation(1, LoadRiff, CloseRiffLibrary);
    Ui_SetBusyOperation(2, LoadSample, CloseAfterSampleLoad);
    Ui_SetBusyOperation(13, DemoSample, BackToCurrentPopup);
    Ui_SetBusyOperation(14, DemoRiff, BackToCurrentPopup);
    Ui_SetBusyOperation(21, LoadClip, CloseClipLibrary);
    Ui_SetBusyOperation(22, DemoClip, BackToCurrentPopup);
}
