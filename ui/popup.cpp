#include "ui/popup.h"

#include "app/calllog.h"
#include "app/cmdline.h"
#include "app/devices.h"
#include "app/settings.h"
#include "audio/capture.h"
#include "audio/midiin.h"
#include "audio/plugin.h"
#include "audio/soundout.h"
#include "core/archive.h"
#include "core/disc.h"
#include "core/padbind.h"
#include "core/soundlib.h"
#include "editors/filescreen.h"
#include "jam/jamdata.h"
#include "jam/jamplay.h"
#include "jam/jamscreen.h"
#include "jam/jamseq.h"
#include "jam/jamsound.h"
#include "jam/netcommand.h"
#include "jam/netsession.h"
#include "jam/netobjects.h"
#include "jam/netjam.h"
#include "jam/jaminput.h"
#include "jam/jamsession.h"
#include "jam/jamsetup.h"
#include "jam/jamtemplates.h"
#include "render/display.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/handlers.h"
#include "ui/help.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/popupkinds.h"
#include "ui/samplemenu.h"
#include "ui/scrollbar.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

POPUP g_atPopups[UI_POPUPS];
POPUPDESC g_atPopupDescs[UI_POPUP_KINDS];
POPUP *g_pCurrentPopup = nullptr;
POPUP *g_pParentPopup = nullptr;
int16_t g_sReturnScreen = 0;
uint8_t g_ucPopupReturn = 0;
void *g_pReturnFocus = nullptr;
int32_t g_bPopupForceAccept = 0;
int32_t g_bFolderStepped = 0;
uint8_t g_ucLibraryQuality = 2;
char g_szResolutionText[UI_POPUP_TEXT];

namespace {

constexpr int kNameRow = WAD_COMPANION_ROW;
// Row buffers: the row number word, the text, and the last byte marking an empty entry.
constexpr int kRowText = 2;
constexpr int kRowTextMax = UI_POPUP_ROW_STRIDE - kRowText - 1;
constexpr int kRowEmptyFlag = UI_POPUP_ROW_STRIDE - 1;

struct KINDINFO
{
    int16_t text;
    const char *title;
};
// Titles by kind: the language text, with its English words until the tables are loaded.
const KINDINFO kKinds[UI_POPUP_KINDS] = {
    {0, ""},
    {0, ""},
    {0, ""},
    {37, "Clip Palette"},
    {57, "Loaded Samples"},
    {0, ""},
    {67, "Note effect"},
    {12, "Riff Palette"},
    {282, "Save Components"},
    {283, "Load Components"},
    {311, "Select help topic"},
    {0, ""},
    {443, "Select riffs"},
    {444, "Select clips"},
    {441, "Jukebox files"},
    {0, ""},
    {0, ""},
    {598, "Select a Jam Session"},
    {574, "Select Parameter"},
    {575, "Select Plugin"},
    {576, "Select Plugin to load"},
    {584, "Select Device"},
    {587, "Select Resolution"},
    {0, ""},
    {618, "Set Audio IN device"},
    {619, "Set Audio OUT device"},
    {620, "Set MIDI IN device"},
    {627, "Host Options"},
    {632, "Join Options"},
    {632, "Join Options"},
};

const char *Text(int id, const char *english)
{
    return id > 0 && id < 700 && g_apszText[id] ? g_apszText[id] : english;
}

bool IsLibrary(int kind)
{
    return kind == POPUP_RIFF_LIBRARY || kind == POPUP_CLIP_LIBRARY || kind == POPUP_SAMPLE_LIBRARY ||
           kind == POPUP_JAM_LIST;
}

bool IsDeviceKind(int kind)
{
    return kind == POPUP_DEVICE || kind == POPUP_RESOLUTION || (kind >= POPUP_AUDIO_IN && kind <= POPUP_MIDI_IN);
}

void Copy(char *to, const char *from, size_t cap)
{
    std::snprintf(to, cap, "%s", from ? from : "");
}

// The archive path of the library level: the root, and for the sample library its quality
// folder. Returns the prefix's depth.
int Prefix(const POPUP *p, uint16_t *path)
{
    path[0] = p->desc->root;
    if (p->kind == POPUP_SAMPLE_LIBRARY) {
        path[1] = g_ucLibraryQuality;
        return 2;
    }
    return 1;
}

int LibraryFolderCount(const POPUP *p);

int SubfolderCount(const POPUP *p, int folder)
{
    if (folder < 1)
        return -1;
    if (p->kind == POPUP_JAM_LIST && folder == Jam_TemplateStyleCount() + 1)
        return 1;
    uint16_t path[UI_POPUP_PATH];
    const int d = Prefix(p, path);
    path[d] = uint16_t(folder - 1);
    return Sys_WadCountAt(path, d + 1);
}

// The library's folders, without the jam players' own at the end of the riff and sample
// libraries.
int LibraryFolderCount(const POPUP *p)
{
    uint16_t path[UI_POPUP_PATH];
    const int d = Prefix(p, path);
    int n = Sys_WadCountAt(path, d);
    // The jam list ends with the user's template files, with or without the archive's.
    if (p->kind == POPUP_JAM_LIST)
        return std::max(n, 0) + 1;
    if (n < 1)
        return 0;
    if (p->kind == POPUP_RIFF_LIBRARY || p->kind == POPUP_SAMPLE_LIBRARY)
        n -= g_bJamActive ? 4 - std::clamp(g_iJamPlayers, 0, 4) : 4;
    return std::max(n, 0);
}

void FreeNames(POPUP *p)
{
    std::free(p->names);
    std::free(p->empty);
    p->names = nullptr;
    p->empty = nullptr;
    p->nameCount = 0;
}

// A jam player's folder lists that player's riffs or instruments, named as the jam knows them.
// The rows' flags are set here: an entry whose riff or instrument is gone is unavailable.
bool FillJamPlayerListing(POPUP *p)
{
    const int32_t player = Ui_JamLibraryFolderPlayer(p);
    if (player < 0)
        return false;
    const bool riffs = p->kind == POPUP_RIFF_LIBRARY;
    JAMNET *net = g_NetNode.pJam;
    std::unique_lock<std::recursive_mutex> jam;
    if (net)
        jam = std::unique_lock<std::recursive_mutex>(net->Lock);
    const int32_t mySlot = net ? net->iNetMySlot : -1;
    const bool own = player == JAM_LOCAL_PLAYER || player == mySlot;
    const char *who = own ? g_szPlayerName : net ? net->aSlotNames[player].szName : "";
    Copy(p->title, who, sizeof p->title);
    Copy(p->subtitle, who, sizeof p->subtitle);
    for (char *c = p->subtitle; *c; c++)
        *c = char(std::toupper(uint8_t(*c)));
    const int32_t owner = player == JAM_LOCAL_PLAYER ? JAM_LOCAL_PLAYER : Jam_ListOwner(player, mySlot);
    int32_t count = 0;
    if (riffs)
        count = own ? int32_t(g_uRiffListCount) : g_apJamRiffIds[player] ? g_aiJamRiffIdCount[player] : 0;
    else
        count = g_apJamInstrumentIds[owner] ? g_aiJamInstrumentIdCount[owner] : 0;
    if (count <= 0)
        return true;
    p->names = static_cast<uint8_t *>(std::calloc(size_t(count), kNameRow));
    p->empty = static_cast<uint8_t *>(std::calloc(size_t(count), 1));
    if (!p->names || !p->empty) {
        FreeNames(p);
        return true;
    }
    for (int32_t k = 0; k < count; k++) {
        const uint32_t entry = uint32_t(k + 1);
        char name[kNameRow] = {};
        if (riffs) {
            const uint16_t id = own ? (entry <= g_uRiffListCount ? g_auRiffList[entry] : 0)
                                    : Jam_RiffListEntry(player, entry);
            const RIFFENTRY *r = id && g_JamSeqCalls.GetRiff ? g_JamSeqCalls.GetRiff(id) : nullptr;
            if (r)
                std::snprintf(name, sizeof name, "%.*s", int(sizeof r->szName), r->szName);
            p->empty[k] = r ? 0 : 1;
        } else {
            const uint16_t id = Jam_InstrumentListEntry(owner, entry);
            char inst[20] = {};
            if (id)
                Seq_GetInstrumentName(id, inst);
            std::snprintf(name, sizeof name, "%.*s", int(sizeof inst), inst);
            p->empty[k] = id && inst[0] ? 0 : 1;
        }
        std::memcpy(p->names + size_t(k) * kNameRow, name, kNameRow);
    }
    p->nameCount = count;
    return true;
}

// Reads the current sub-folder's listing into the pop-up, with its title and subtitle.
void LoadListing(POPUP *p)
{
    FreeNames(p);
    p->title[0] = p->subtitle[0] = 0;
    const POPUPDESC *d = p->desc;
    if (FillJamPlayerListing(p))
        return;
    if (d->folder < 1 || d->subfolder < 1 || d->folder > p->folderCount || Jam_FillTemplateFileListing(p))
        return;
    uint16_t path[UI_POPUP_PATH];
    const int depth = Prefix(p, path);
    path[depth] = uint16_t(d->folder - 1);
    path[depth + 1] = uint16_t(d->subfolder - 1);
    char folderName[WAD_NAME_LEN + 1] = {};
    Sys_WadNodeNameAt(path, depth + 1, folderName, WAD_NAME_LEN);
    for (char *c = folderName; *c; c++)
        *c = char(std::toupper(uint8_t(*c)));
    Copy(p->subtitle, folderName, sizeof p->subtitle);
    int32_t count = 0;
    const uint8_t *listing = Sys_WadListDirByIndex(path, depth + 2, &count);
    if (!listing || count < 0)
        return;
    char title[kNameRow + 1] = {};
    std::memcpy(title, listing, kNameRow);
    Copy(p->title, title, sizeof p->title);
    if (count == 0)
        return;
    p->names = static_cast<uint8_t *>(std::malloc(size_t(count) * kNameRow));
    p->empty = static_cast<uint8_t *>(std::malloc(size_t(count)));
    if (!p->names || !p->empty) {
        FreeNames(p);
        return;
    }
    std::memcpy(p->names, listing + kNameRow, size_t(count) * kNameRow);
    for (int32_t k = 0; k < count; k++)
        p->empty[k] = k <= WAD_MAX_RECORDS ? g_abWadEntryEmpty[k] : 1;
    p->nameCount = count;
}

int32_t Target(int32_t op, int32_t number)
{
    return op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
}

void SetRowText(void *row, const char *text, size_t length, bool empty)
{
    auto *r = static_cast<char *>(row);
    const size_t n = std::min(length, size_t(kRowTextMax));
    std::memcpy(r + kRowText, text, n);
    r[kRowText + n] = 0;
    r[kRowEmptyFlag] = empty ? 1 : 0;
}

void LibraryRow(int32_t op, int32_t number, void *row, void *user)
{
    POPUP *p = static_cast<POPUP *>(user);
    const int32_t n = Target(op, number);
    if (!p || n < 1 || n > p->nameCount)
        return;
    const char *name = reinterpret_cast<const char *>(p->names + size_t(n - 1) * kNameRow);
    // A user template fetched while the jam runs is unavailable; choosing reads the flag as the
    // row was fetched.
    if (Jam_IsTemplateFileFolder(p) && !Ui_JamListRowAvailable(p, n - 1))
        p->empty[n - 1] = 1;
    SetRowText(row, name, strnlen(name, kNameRow), p->empty[n - 1] != 0);
}

int32_t DeviceCount(int kind)
{
    switch (kind) {
    case POPUP_DEVICE: return Gfx_GetDeviceCount();
    case POPUP_RESOLUTION: return Gfx_GetModeCount();
    case POPUP_AUDIO_IN: return Snd_GetInputDeviceCount();
    case POPUP_AUDIO_OUT: return Snd_GetOutputDeviceCount();
    case POPUP_MIDI_IN: return Snd_GetMidiInDeviceCount();
    default: return 0;
    }
}

// Device names from the system can be longer than a row: cut to the row's text.
void DeviceName(int kind, int32_t index, char *out, size_t cap)
{
    char name[512] = {};
    switch (kind) {
    case POPUP_DEVICE: Gfx_GetDeviceName(name, index); break;
    case POPUP_RESOLUTION: Gfx_GetModeName(name, index); break;
    case POPUP_AUDIO_IN: Snd_GetInputDeviceName(name, index); break;
    case POPUP_AUDIO_OUT: Copy(name, Snd_GetOutputDeviceName(index), sizeof name); break;
    case POPUP_MIDI_IN: Snd_GetMidiInDeviceName(name, index); break;
    default: break;
    }
    name[sizeof name - 1] = 0;
    Copy(out, name, cap);
}

void DeviceRow(int32_t op, int32_t number, void *row, void *user)
{
    const POPUP *p = static_cast<const POPUP *>(user);
    const int32_t n = Target(op, number);
    if (!p || n < 1 || n > DeviceCount(p->kind))
        return; // rows past the device count stay unfilled
    char name[kRowTextMax + 1];
    DeviceName(p->kind, n - 1, name, sizeof name);
    SetRowText(row, name, std::strlen(name), false);
}

// The jam's model is changed under its lock: the jam step works on it too.
template <typename F> int32_t JamLockedCall(F f)
{
    if (!g_NetNode.pJam)
        return -1;
    std::lock_guard<std::recursive_mutex> jam(g_NetNode.pJam->Lock);
    return f();
}

bool IsJamKind(int kind)
{
    return kind == POPUP_JAM_CONTROLLER || kind == POPUP_JAM_PLUGIN_SLOT || kind == POPUP_JAM_PLUGIN_LIST;
}

int32_t JamRowCount(int kind)
{
    switch (kind) {
    case POPUP_JAM_CONTROLLER: return JAM_CONTROLLERS;
    case POPUP_JAM_PLUGIN_SLOT: return JAM_PLUGIN_SLOTS;
    case POPUP_JAM_PLUGIN_LIST: return std::max(g_iPluginCount, 0);
    default: return 0;
    }
}

// The pan row is not available while riff keys are selected: riffs have no pan.
bool ControllerRowAvailable(int32_t row)
{
    const JAMNET *net = g_NetNode.pJam;
    return row >= 0 && row < JAM_CONTROLLERS &&
           !(row == JAM_CONTROL_PAN && net && (net->aPlayers[JAM_LOCAL_PLAYER].uRiffMask & 0xFFF));
}

void JamRow(int32_t op, int32_t number, void *row, void *user)
{
    const POPUP *p = static_cast<const POPUP *>(user);
    const int32_t n = Target(op, number);
    if (!p || n < 1 || n > JamRowCount(p->kind))
        return;
    char text[kRowTextMax + 1] = {};
    if (p->kind == POPUP_JAM_CONTROLLER)
        Copy(text, Jam_ControllerName(n - 1), sizeof text);
    else if (p->kind == POPUP_JAM_PLUGIN_SLOT)
        Jam_PluginSlotRowText(g_iJamSelectedPlayer, n, text, sizeof text);
    else
        Jam_PluginListRowText(n, text, sizeof text);
    SetRowText(row, text, std::strlen(text), p->kind == POPUP_JAM_CONTROLLER && !ControllerRowAvailable(n - 1));
}

// Plain text a pixel down; an empty entry 64 darker in each lit channel.
void DrawRow(void *row, int32_t x, int32_t y)
{
    const auto *r = static_cast<const char *>(row);
    const uint32_t colour = g_uiTextColour;
    if (r[kRowEmptyFlag]) {
        uint32_t dim = 0;
        for (int i = 0; i < 3; i++) {
            const int c = int((colour >> (8 * i)) & 0xFF);
            dim |= uint32_t(c ? std::max(c - 64, 0) : 0) << (8 * i);
        }
        g_uiTextColour = dim;
    }
    Gfx_DrawText(r + kRowText, x, y + 1, g_pOrderingTable);
    g_uiTextColour = colour;
}

// The line between the slot numbers and the names, over the rows.
void SlotDivider()
{
    for (POPUP &p : g_atPopups)
        if (!p.free && (p.kind == POPUP_JAM_PLUGIN_SLOT || p.kind == POPUP_SAMPLE_PALETTE)) {
            Ui_LinkPacket(p.divider[g_iFrameBufferIndex & 1], UI_LINE_BYTES);
            if (p.kind == POPUP_SAMPLE_PALETTE)
                Ui_LinkPacket(p.rateDivider[g_iFrameBufferIndex & 1], UI_LINE_BYTES);
        }
}

// The plug-in slots: the slot number, then the name of what is open in it.
void DrawSlotRow(void *row, int32_t x, int32_t y)
{
    const auto *r = static_cast<const char *>(row);
    uint16_t number;
    std::memcpy(&number, r, 2);
    char n[8];
    std::snprintf(n, sizeof n, "%d", number < 100 ? int(number) : 0);
    Gfx_DrawText(n, x, y + 1, g_pOrderingTable);
    Gfx_DrawText(r + kRowText, x + 25, y + 1, g_pOrderingTable);
}

bool Alive(const void *focus)
{
    if (!focus)
        return false;
    for (const WINDOW &w : g_atWindows)
        if (focus == &w)
            return Ui_WindowIsOpen(&w) && !w.closing;
    return !(static_cast<const WIDGET *>(focus)->flags & WIDGET_FREE);
}

void PreviewStep(const POPUP *p)
{
    if (!p || p->kind != POPUP_SAMPLE_LIBRARY)
        return;
    if (g_bJamSessionOn)
        Sys_KeyVoices(0, 0);
    else
        Seq_StopSong();
}

// Takes the pop-up down: position kept in its descriptor, window closed, slot freed.
void TakeDown(POPUP *p)
{
    Ui_PopupStorePosition(p);
    if (p->window)
        Ui_CloseWindow(p->window);
    FreeNames(p);
    p->window = nullptr;
    p->list = nullptr;
    p->titleField = nullptr;
    p->free = 1;
    if (g_pCurrentPopup == p) {
        g_pCurrentPopup = g_pParentPopup && !g_pParentPopup->free && g_pParentPopup != p ? g_pParentPopup : nullptr;
        if (g_pParentPopup == g_pCurrentPopup)
            g_pParentPopup = nullptr;
    }
    if (g_pParentPopup == p)
        g_pParentPopup = nullptr;
}

void DefaultReturn()
{
    if (g_bJamSessionOn) {
        g_iNextScreen = 10;
        return;
    }
    g_iNextScreen = g_sReturnScreen;
    WINDOW *grid = g_atWindowRoles[UI_ROLE_GRID].window;
    if (grid)
        Ui_SetFocus(grid);
    else if (Alive(g_pReturnFocus))
        Ui_SetFocus(g_pReturnFocus);
    Sys_CdStop();
}

void OptionsReturn()
{
    WINDOW *options = g_atWindowRoles[UI_ROLE_OPTION].window;
    if (options)
        Ui_SetFocus(options);
    else if (Alive(g_pReturnFocus))
        Ui_SetFocus(g_pReturnFocus);
    g_iNextScreen = 22;
}

void ClosePopup(POPUP *p)
{
    if (!p || p->free || Ui_PopupKindClose(p) || Ui_EffectParamsClose(p) || Jam_SetupPopupClose(p))
        return;
    const int kind = p->kind;
    TakeDown(p);
    if (IsJamKind(kind)) {
        // The slot list under the plug-in list goes with it.
        if (kind == POPUP_JAM_PLUGIN_LIST && g_pCurrentPopup && g_pCurrentPopup->kind == POPUP_JAM_PLUGIN_SLOT)
            ClosePopup(g_pCurrentPopup);
        g_iScreen = 10;
        g_iNextScreen = 10;
        Jam_PopupsClosed();
        return;
    }
    if (g_bJamSessionOn && (kind == POPUP_RIFF_LIBRARY || kind == POPUP_SAMPLE_LIBRARY)) {
        g_iJamSlotChoice = g_iJamKeyboardChoice = g_iJamRiffKeyChoice = -1;
        Jam_PopupsClosed();
        return;
    }
    if (kind == POPUP_RIFF_LIBRARY && !g_bJamSessionOn)
        Seq_StopRiffPreview();
    if (IsDeviceKind(kind))
        OptionsReturn();
    else if (kind == POPUP_JAM_LIST) {
        g_iNextScreen = 10;
        Jam_OnJamListClosed();
        // A jam already running (a template loaded while playing, or a network jam that starts
        // at once) gets its screen back now; one still waiting gets it when it starts.
        if (g_iJamStartState == JAM_START_RUNNING)
            Jam_PopupsClosed();
    }
    else
        DefaultReturn();
}

void ChooseAudioOut(int32_t row)
{
    const int previous = g_iAudioOutDevice;
    g_iAudioOutDevice = row;
    Sys_CloseAudioOutput();
    if (Sys_OpenAudioOutput(row) < 0) {
        // Say so, and keep the sound on the device that worked.
        g_iAudioOutDevice = previous;
        Sys_OpenAudioOutput(previous);
        MSGBOXREQUEST r{};
        r.pszText = "That audio output device could not be opened. The previous device is kept.";
        r.ucButtonCount = 1;
        r.asButtonText[0] = 114;
        Ui_OpenMessageBox(&r);
    }
}

// The last folder the steps reach: in a jam the riff library's song folder follows the players'.
int LastFolder(const POPUP *p)
{
    return p->folderCount + (p->kind == POPUP_RIFF_LIBRARY && g_bJamActive && p->folderCount >= 1 ? 1 : 0);
}

bool SubfolderStep(int direction)
{
    POPUP *p = g_pCurrentPopup;
    if (!p || p->free || !IsLibrary(p->kind) || g_bPopupStepDone || p->folderCount < 1)
        return false;
    g_bPopupStepDone = 1;
    POPUPDESC *d = p->desc;
    if (direction < 0) {
        if (--d->subfolder < 1) {
            if (--d->folder < 1)
                d->folder = int16_t(LastFolder(p));
            const int n = SubfolderCount(p, d->folder);
            p->entryFolderCount = uint16_t(std::max(n, 0));
            d->subfolder = int16_t(std::max(n, 1));
        }
    } else if (++d->subfolder > p->entryFolderCount) {
        d->subfolder = 1;
        if (++d->folder > LastFolder(p))
            d->folder = 1;
        p->entryFolderCount = uint16_t(std::max(SubfolderCount(p, d->folder), 0));
    }
    Ui_PopupReload(p);
    return true;
}

void FolderStep(POPUP *p, int direction)
{
    if (!p || p->free || !IsLibrary(p->kind) || p->folderCount < 1)
        return;
    POPUPDESC *d = p->desc;
    d->folder = int16_t(d->folder + direction);
    if (d->folder < 1)
        d->folder = int16_t(LastFolder(p));
    else if (d->folder > LastFolder(p))
        d->folder = 1;
    d->subfolder = 1;
    p->entryFolderCount = uint16_t(std::max(SubfolderCount(p, d->folder), 0));
    Ui_PopupReload(p);
}

void UpdateFolderBar(POPUP *p)
{
    if (!p->list || !p->list->folderBar)
        return;
    int32_t total = 0, position = 0;
    if (Ui_PopupFolderBarRange(p, &total, &position)) {
        SCROLLBAR *bar = p->list->folderBar;
        bar->page = std::max(total - 2, 0);
        Ui_SetScrollBarMax(bar, std::max(total - 2, 0));
        Ui_SetScrollBarPos(bar, std::min(position, std::max(total - 2, 0)));
        Ui_MarkScrollBarDirty(bar);
    }
}

} // namespace

void Ui_FreePopupSlots()
{
    for (POPUP &p : g_atPopups) {
        FreeNames(&p);
        std::memset(&p, 0, sizeof p);
        p.free = 1;
    }
    g_pCurrentPopup = g_pParentPopup = nullptr;
}

void Ui_SetupArchiveLists()
{
    Ui_InitPopupDescs();
}

void Ui_InitPopupDescs()
{
    Ui_FreePopupSlots();
    std::memset(g_atPopupDescs, 0, sizeof g_atPopupDescs);
    auto root = [](int dir) { return uint16_t(dir < 0 ? 0xFFFF : dir); };
    g_atPopupDescs[POPUP_RIFF_LIBRARY] = {root(g_iWadDirR),
                                          int16_t(g_pCurrentDisc && g_pCurrentDisc->uNumber == 0 ? 3 : 1), 1, 0, 0};
    g_atPopupDescs[POPUP_CLIP_LIBRARY] = {root(g_iWadDirChases), 9, 1, 0, 0};
    g_atPopupDescs[POPUP_SAMPLE_LIBRARY] = {root(g_iWadDirN), 1, 1, 0, 0};
    g_atPopupDescs[POPUP_JAM_LIST] = {root(g_iWadDirJamTem), 3, 1, 0, 0};
    g_pCurrentPopup = g_pParentPopup = nullptr;
}

POPUP *Ui_OpenPopup(int32_t kind, POPUPDESC *desc, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return Ui_OpenPopupRows(kind, desc, x, y, width, height, 0, nullptr, nullptr);
}

POPUP *Ui_OpenPopupRows(int32_t kind, POPUPDESC *desc, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t rows, LISTFILLROW fillRow, LISTDRAWROW drawRow)
{
    Sys_CallLog("Ui_OpenPopup");
    if (kind < 0 || kind >= UI_POPUP_KINDS || width < 24 || height < 40) {
        Ui_PlayRefusal();
        return nullptr;
    }
    // 1. Placement: the page menu opens on the pointer; in mouse mode the box stays on screen.
    if (g_ucMouseButtons & MOUSE_MODE) {
        if (kind == POPUP_PAGE_MENU) {
            x = g_sMouseX - width / 2;
            y = g_sMouseY - 30;
        }
        if (x + 16 + width > g_iScreenWidth)
            x = g_iScreenWidth - width - 20;
        if (y + 16 + height > g_iScreenHeight)
            y = g_iScreenHeight - height - 20;
        x = std::max(x, 16);
        y = std::max(y, 16);
    }
    // 2. A slot; with four open the current pop-up stays what screen 9 acts on.
    POPUP *p = nullptr;
    for (POPUP &c : g_atPopups)
        if (c.free) {
            p = &c;
            break;
        }
    if (!p) {
        Ui_PlayRefusal();
        return nullptr;
    }
    std::memset(p, 0, sizeof *p);
    p->kind = uint8_t(kind);
    p->desc = desc ? desc : &g_atPopupDescs[kind];
    POPUPDESC *d = p->desc;
    const bool library = IsLibrary(kind);

    // 4-5. Title, rows and row source.
    int32_t total = 0;
    LISTFILLROW fill = nullptr;
    LISTDRAWROW kindDraw = nullptr;
    if (library) {
        p->folderCount = uint16_t(LibraryFolderCount(p));
        if (p->folderCount >= 1) {
            if (d->folder < 1 || d->folder > LastFolder(p)) {
                d->folder = int16_t(p->folderCount);
                d->subfolder = int16_t(std::max(SubfolderCount(p, d->folder), 1));
            }
            p->entryFolderCount = uint16_t(std::max(SubfolderCount(p, d->folder), 0));
            if (d->subfolder < 1 || d->subfolder > std::max<int>(p->entryFolderCount, 1))
                d->subfolder = 1;
        }
        LoadListing(p);
        p->hasSubtitle = 1;
        total = p->nameCount;
        fill = LibraryRow;
    } else {
        Copy(p->title, Text(kKinds[kind].text, kKinds[kind].title), sizeof p->title);
        if (IsDeviceKind(kind)) {
            total = std::max(DeviceCount(kind), 0);
            fill = DeviceRow;
        } else if (fillRow) {
            total = std::max(rows, 0);
            fill = fillRow;
        } else if (Ui_PopupKindRows(p, &total, &fill, &kindDraw) || Jam_SetupPopupRows(p, &total, &fill, &kindDraw)) {
        } else if (IsJamKind(kind)) {
            total = JamRowCount(kind);
            fill = JamRow;
        }
    }
    const int32_t top = p->hasSubtitle ? 35 : 24;
    const int32_t header = p->hasSubtitle ? 11 : 0;
    const int32_t rowHeight = (kind == 8 || kind == 9 || kind == 12 || kind == 13 || kind == 16) ? 16 : 12;
    const int32_t visible = std::max((height - top) / rowHeight, 1);

    // 3, 6. Window and list.
    WINDOWDESC wd{};
    wd.x = uint16_t(std::max(x, 0));
    wd.y = uint16_t(std::max(y, 0));
    wd.w = uint16_t(width);
    wd.h = uint16_t(height + (library ? 8 : 0));
    wd.style = kind == POPUP_PAGE_MENU ? 2 : 0;
    wd.draw = Ui_PopupDraw;
    wd.user = p;
    if (library)
        std::memset(g_abWadEntryEmpty, 0, 256);
    p->window = Ui_OpenWindow(&wd);
    if (!p->window) {
        FreeNames(p);
        p->free = 1;
        Ui_PlayRefusal();
        return nullptr;
    }
    uint16_t first = d->first, selected = d->selected;
    if ((kind == POPUP_RIFF_LIBRARY || kind == POPUP_SAMPLE_LIBRARY) && total > visible && first > total - visible)
        first = uint16_t(total - visible);
    if (selected > total - 1)
        selected = uint16_t(std::max(total - 1, 0));
    if (first > selected)
        first = selected;
    const int32_t listWidth = width - 22;
    LISTDESC ld{7,
                uint16_t(top),
                uint16_t(listWidth),
                uint16_t(visible),
                uint16_t(total),
                selected,
                first,
                uint16_t(rowHeight),
                UI_POPUP_ROW_STRIDE,
                kind,
                drawRow ? drawRow : kindDraw ? kindDraw : (kind == POPUP_JAM_PLUGIN_SLOT ? DrawSlotRow : DrawRow),
                fill,
                p,
                nullptr};
    p->list = Ui_CreateList(&ld, p->window);
    if (!p->list) {
        Ui_CloseWindow(p->window);
        FreeNames(p);
        p->window = nullptr;
        p->free = 1;
        Ui_PlayRefusal();
        return nullptr;
    }
    Ui_RefillListRows(p->list);
    if (kind == POPUP_JAM_PLUGIN_SLOT || kind == POPUP_SAMPLE_PALETTE)
        p->list->overlay = SlotDivider;

    // 7. Header strip and the bevel around the list and its bar.
    const uint8_t scheme = g_ucUiColourScheme & 1;
    const uint8_t *light = g_aabBevelSchemes[scheme][0], *dark = g_aabBevelSchemes[scheme][1];
    const int32_t x0 = 6, x1 = 7 + listWidth + 8, y0 = top - 1 - header, y1 = top + p->list->head.h;
    for (int half = 0; half < UI_HALVES; half++) {
        Gfx_SetFlatQuadPacket(p->header[half], 7, top - header, listWidth + 8, header, 4, 32, 2);
        Gfx_SetLinePacket(p->lines[half][0], x0, y0, x1, y0, dark[0], dark[1], dark[2]);
        Gfx_SetLinePacket(p->lines[half][1], x0, y0, x0, y1, dark[0], dark[1], dark[2]);
        Gfx_SetLinePacket(p->lines[half][2], x0, y1, x1, y1, light[0], light[1], light[2]);
        Gfx_SetLinePacket(p->lines[half][3], x1, y0, x1, y1, light[0], light[1], light[2]);
        Gfx_SetLinePacket(p->divider[half], 7 + 22, top, 7 + 22, y1 - 1, dark[0], dark[1], dark[2]);
        Gfx_SetLinePacket(p->rateDivider[half], 7 + 142, top, 7 + 142, y1 - 1, dark[0], dark[1], dark[2]);
    }

    // 8. Title.
    const bool menu = kind == POPUP_PAGE_MENU;
    TEXTFIELDDESC tf{p->title, 6, 7, int16_t(width - 13), int16_t(menu ? 15 : 14), p->window, 0,
                     uint8_t(menu ? 64 : 0), uint8_t(menu ? 0 : 128), 0};
    p->titleField = Ui_CreateTextField(&tf);
    g_ucUiColourScheme = 0;

    // 9. Screen, focus, capture.
    g_iNextScreen = 9;
    g_sReturnScreen = int16_t(g_iScreen);
    g_pReturnFocus = g_pFocusWidget;
    Ui_SetFocus(p->window);
    g_pClickedWidget = nullptr;
    g_pCurrentPopup = p;
    return p;
}

void Ui_TakeDownPopup(POPUP *p)
{
    if (p && !p->free)
        TakeDown(p);
}

void Ui_PopupStorePosition(POPUP *p)
{
    if (!p || !p->list || !p->desc)
        return;
    Ui_FinishListScroll(p->list);
    if (p->list->scrollBar)
        p->list->scrollBar->step = 0;
    p->desc->selected = p->list->selected;
    p->desc->first = p->list->first;
}

void Ui_PopupDraw(void *user)
{
    POPUP *p = static_cast<POPUP *>(user);
    if (!p || !p->list)
        return;
    const int half = g_iFrameBufferIndex & 1;
    for (int i = 0; i < 4; i++)
        Ui_LinkPacket(p->lines[half][i], UI_LINE_BYTES);

    if (p->hasSubtitle) {
        FONT *font = g_pFont;
        const uint32_t colour = g_uiTextColour;
        g_pFont = &g_tFontAlt;
        g_uiTextColour = 0x004000; // 0, 64, 0
        // Ten pixels above the list, or higher when the font is taller, so the list never cuts it.
        const int32_t y = std::min(p->list->head.y - 10, p->list->head.y - Gfx_GetFontHeight());
        Gfx_DrawText(p->subtitle, p->list->head.x + 2, y, g_pOrderingTable);
        g_uiTextColour = colour;
        g_pFont = font;
    }
    Ui_LinkPacket(p->header[half], UI_QUAD_BYTES);
}

void Ui_PopupReload(POPUP *p)
{
    if (!p || !p->list)
        return;
    LISTWIDGET *l = p->list;
    l->selected = l->first = 0;
    l->scrollOffset = l->scrollStep = 0;
    p->desc->first = 0;
    if (p->kind == POPUP_JAM_LIST)
        std::memset(g_abWadEntryEmpty, 0, 256);
    LoadListing(p);
    l->totalRows = uint16_t(p->nameCount);
    Ui_RefillListRows(l);
    p->desc->selected = 0;
    if (l->scrollBar) {
        Ui_SetScrollBarPos(l->scrollBar, l->first);
        Ui_SetScrollBarMax(l->scrollBar, std::max(int32_t(l->totalRows) - int32_t(l->visibleRows), 0));
        Ui_MarkScrollBarDirty(l->scrollBar);
    }
    UpdateFolderBar(p);
}

void Ui_ClosePopup()
{
    if (!g_pCurrentPopup || g_pCurrentPopup->free) {
        Ui_PlayRefusal();
        return;
    }
    ClosePopup(g_pCurrentPopup);
}

void Ui_PopupChoose()
{
    POPUP *p = g_pCurrentPopup;
    if (!p || p->free || !p->list || g_bPopupStepDone)
        return;
    Sys_CallLog("Ui_PopupChoose");
    g_bPopupStepDone = 1;
    Ui_PopupStorePosition(p);
    const int32_t row = p->list->selected;
    if (Ui_PopupKindChoose(p, row) || Ui_EffectParamsChoose(p, row) || Jam_SetupPopupChoose(p, row))
        return;
    switch (p->kind) {
    case POPUP_RIFF_LIBRARY:
    case POPUP_CLIP_LIBRARY:
        if (row >= p->nameCount || p->empty[row]) {
            Ui_PlayRefusal();
            return;
        }
        if (g_bJamSessionOn) {
            if (p->kind != POPUP_RIFF_LIBRARY || !Jam_ChooseFromLibraryPopup(p, row))
                Ui_PlayRefusal();
            return;
        }
        {
            char name[kNameRow + 1] = {};
            std::memcpy(name, p->names + size_t(row) * kNameRow, kNameRow);
            Ui_OpenBusyBox(name, Text(41, "Loading..."), UI_BUSY_CENTRED, 100,
                           p->kind == POPUP_RIFF_LIBRARY ? 1 : 21);
        }
        return;
    case POPUP_SAMPLE_LIBRARY:
    case POPUP_JAM_LIST:
        if (row < 0 || row >= p->nameCount || p->empty[row]) {
            Ui_PlayRefusal();
            return;
        }
        if (p->kind == POPUP_JAM_LIST)
            Jam_LoadJamFile();
        else if (!g_bJamSessionOn)
            Ui_RefuseUnbuilt("sample library choice");
        else if (!Jam_ChooseFromLibraryPopup(p, row))
            Ui_PlayRefusal();
        return;
    case POPUP_JAM_CONTROLLER:
        if (!g_NetNode.pJam || !ControllerRowAvailable(row)) {
            Ui_PlayRefusal();
            return;
        }
        ClosePopup(p);
        {
            std::lock_guard<std::recursive_mutex> jam(g_NetNode.pJam->Lock);
            Jam_SetPlayerController(g_NetNode.pJam, JAM_LOCAL_PLAYER, row);
        }
        return;
    case POPUP_JAM_PLUGIN_SLOT:
        if (JamLockedCall([row] { return Jam_SelectPlayerPlugin(&g_NetNode, JAM_LOCAL_PLAYER, row); }) < 0)
            Ui_PlayRefusal();
        ClosePopup(p);
        return;
    case POPUP_JAM_PLUGIN_LIST: {
        const POPUP *slots = g_pParentPopup;
        const int32_t slot = slots && !slots->free && slots->kind == POPUP_JAM_PLUGIN_SLOT && slots->list
                                 ? slots->list->selected
                                 : -1;
        if (row >= g_iPluginCount ||
            JamLockedCall([row, slot] { return Jam_LoadPlayerPlugin(&g_NetNode, JAM_LOCAL_PLAYER, row, slot); }) < 0)
            Ui_PlayRefusal();
        ClosePopup(p);
        return;
    }
    case 10:
        Ui_ChooseHelpTopic();
        return;
    default:
        break;
    }
    if (Ed_FilePopupChoose(p))
        return;
    if (!IsDeviceKind(p->kind)) {
        Ui_RefuseUnbuilt("pop-up choice");
        return;
    }
    if (row >= DeviceCount(p->kind)) {
        Ui_PlayRefusal();
        return;
    }
    switch (p->kind) {
    case POPUP_DEVICE:
        Sys_AskGfxDeviceChange(row);
        break;
    case POPUP_RESOLUTION:
        Sys_AskGfxModeChange(row);
        DeviceName(POPUP_RESOLUTION, row, g_szResolutionText, sizeof g_szResolutionText);
        break;
    case POPUP_AUDIO_IN:
        g_iAudioInDevice = row;
        ClosePopup(p);
        break;
    case POPUP_AUDIO_OUT:
        ClosePopup(p);
        ChooseAudioOut(row);
        break;
    case POPUP_MIDI_IN:
        g_iMidiInDevice = row;
        ClosePopup(p);
        break;
    default:
        break;
    }
}

void Ui_PopupAccept()
{
    g_bPopupForceAccept = 1;
    Ui_PopupChoose();
    g_bPopupForceAccept = 0;
}

void Ui_PopupUp()
{
    POPUP *p = g_pCurrentPopup;
    if (!p || p->free || !p->list)
        return;
    Ui_ListScrollUp(p->list);
    p->desc->selected = p->list->selected;
    p->desc->first = p->list->first;
    PreviewStep(p);
}

void Ui_PopupDown()
{
    POPUP *p = g_pCurrentPopup;
    if (!p || p->free || !p->list)
        return;
    Ui_ListScrollDown(p->list);
    p->desc->selected = p->list->selected;
    p->desc->first = p->list->first;
    PreviewStep(p);
}

void Ui_PopupPrevSubfolder()
{
    SubfolderStep(-1);
}

void Ui_PopupNextSubfolder()
{
    SubfolderStep(1);
}

void Ui_PopupPrevFolder(POPUP *p)
{
    FolderStep(p, -1);
}

void Ui_PopupNextFolder(POPUP *p)
{
    FolderStep(p, 1);
}

void Ui_PopupFolderModifierDown()
{
    const POPUP *p = g_pCurrentPopup;
    if (!p || p->free || !IsLibrary(p->kind))
        return;
    g_iNextScreen = 48;
    g_bFolderStepped = 0;
}

void Ui_PopupFolderModifierUp()
{
    g_iNextScreen = 9;
    const POPUP *p = g_pCurrentPopup;
    if (p && !p->free && p->kind == POPUP_SAMPLE_LIBRARY && !g_bFolderStepped)
        Ui_OpenSampleLibraryMenu();
}

void Ui_PopupSlot0Left()
{
    if (g_bPopupStepDone)
        return;
    g_bPopupStepDone = 1;
    Ui_PopupPrevFolder(g_pCurrentPopup);
    g_bFolderStepped = 1;
}

void Ui_PopupSlot0Right()
{
    if (g_bPopupStepDone)
        return;
    g_bPopupStepDone = 1;
    Ui_PopupNextFolder(g_pCurrentPopup);
    g_bFolderStepped = 1;
}

void Ui_PopupRightPress()
{
    POPUP *p = g_pCurrentPopup;
    if (p && !p->free && p->list) {
        p->desc->selected = p->list->selected;
        p->desc->first = p->list->first;
    }
    const int kind = p && !p->free ? p->kind : -1;
    switch (kind) {
    case POPUP_SAMPLE_LIBRARY:
        Ui_RunPadSlot(3);
        break;
    case POPUP_JAM_LIST:
        break;
    case POPUP_RIFF_LIBRARY:
        Ui_RunPadSlot(g_bJamSessionOn ? 3 : 13);
        break;
    default:
        Ui_RunPadSlot(13);
    }
}

bool Ui_PopupFolderBarRange(const POPUP *p, int32_t *total, int32_t *position)
{
    if (!p || !p->desc || !IsLibrary(p->kind))
        return false;
    const int folders = LibraryFolderCount(p);
    int32_t sum = 0, before = 0;
    for (int f = 1; f <= folders; f++) {
        if (f == p->desc->folder)
            before = sum;
        sum += std::max(SubfolderCount(p, f), 0);
    }
    if (total)
        *total = sum;
    if (position)
        *position = std::max(before + p->desc->subfolder - 1, 0);
    return true;
}

void Ui_LibraryFolderPress(WIDGET *w)
{
    if (!w || w->kind != WIDGET_SCROLLBAR)
        return;
    auto *bar = reinterpret_cast<SCROLLBAR *>(w);
    bar->holdCount = 6;
    const int step = Ui_ScrollBarStepAtPointer(bar);
    if (step < 0)
        Ui_PopupPrevSubfolder();
    else if (step > 0)
        Ui_PopupNextSubfolder();
}

void Ui_LibraryFolderHeld(WIDGET *w)
{
    if (!w || w->kind != WIDGET_SCROLLBAR || reinterpret_cast<SCROLLBAR *>(w)->holdCount)
        return;
    Ui_LibraryFolderPress(w);
    reinterpret_cast<SCROLLBAR *>(w)->holdCount = 0;
}

// ---- The jam's pop-ups ----

namespace {

// The slot chosen in the open plug-in slot list, -1 when none is open.
int32_t ChosenPluginSlot()
{
    for (const POPUP &p : g_atPopups)
        if (!p.free && p.kind == POPUP_JAM_PLUGIN_SLOT && p.list)
            return p.list->selected;
    return -1;
}

void CloseJamPopups()
{
    while (g_pCurrentPopup && !g_pCurrentPopup->free && IsJamKind(g_pCurrentPopup->kind))
        ClosePopup(g_pCurrentPopup);
}

} // namespace

void Jam_OpenControllerList()
{
    if (g_ucMouseButtons & MOUSE_LEFT_DOWN)
        return;
    g_bJamKeysActive = 0;
    Ui_OpenPopup(POPUP_JAM_CONTROLLER, nullptr, g_iScreenWidth / 4, 69, 170, 306);
}

void Jam_OpenPluginSlotList()
{
    Ui_SetMenuItemHandler(152, Jam_OpenPluginLoadList);
    Ui_SetMenuItemHandler(153, Jam_MenuReleasePlugin);
    Ui_SetMenuItemHandler(154, Jam_MenuResetPlugin);
    Ui_SetMenuPage(29);
    g_bJamKeysActive = 0;
    Ui_OpenPopup(POPUP_JAM_PLUGIN_SLOT, nullptr, g_iScreenWidth / 4, 69, 170, 306);
}

void Jam_OpenPluginLoadList()
{
    POPUP *slots = g_pCurrentPopup;
    if (!slots || slots->free || slots->kind != POPUP_JAM_PLUGIN_SLOT) {
        Ui_PlayRefusal();
        return;
    }
    Ui_PopupStorePosition(slots);
    POPUP *list = Ui_OpenPopup(POPUP_JAM_PLUGIN_LIST, nullptr, g_iScreenWidth / 4, 69, 170, 306);
    if (list)
        g_pParentPopup = slots;
}

void Jam_MenuReleasePlugin()
{
    const int32_t slot = ChosenPluginSlot();
    if (slot < 0 || !g_NetNode.pJam) {
        Ui_PlayRefusal();
        return;
    }
    JamLockedCall([slot] {
        Jam_ReleasePlayerPlugin(&g_NetNode, JAM_LOCAL_PLAYER, slot);
        Net_SendJamCommand(&g_NetNode, g_NetNode.pJam->uJamHeartbeat, 45, uint32_t(slot));
        return 0;
    });
    CloseJamPopups();
}

void Jam_MenuResetPlugin()
{
    const int32_t slot = ChosenPluginSlot();
    if (slot < 0 || !g_NetNode.pJam) {
        Ui_PlayRefusal();
        return;
    }
    JamLockedCall([slot] {
        Jam_ResetPlayerPlugin(&g_NetNode, JAM_LOCAL_PLAYER, slot);
        Net_SendJamCommand(&g_NetNode, g_NetNode.pJam->uJamHeartbeat, 43, uint32_t(slot));
        return 0;
    });
    CloseJamPopups();
}

int32_t Ui_JamLibraryFolderPlayer(const POPUP *p)
{
    if (!p || !p->desc || !g_bJamActive || (p->kind != POPUP_RIFF_LIBRARY && p->kind != POPUP_SAMPLE_LIBRARY))
        return -1;
    const int32_t players = std::clamp(g_iJamPlayers, 0, 4);
    const int32_t own = std::max(int32_t(p->folderCount) - players, 0);
    const int32_t k = p->desc->folder - own - 1;
    if (k >= 0 && k < players)
        return k;
    return p->kind == POPUP_RIFF_LIBRARY && k == players ? JAM_LOCAL_PLAYER : -1;
}
