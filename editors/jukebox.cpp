// The jukebox: songs of the archive card chosen on the file screen, loaded one after another
// through the busy box and played full screen with their videos (screen 60; 61 asks to stop).
#include "editors/jukebox.h"

#include "app/calllog.h"
#include "app/settings.h"
#include "app/startup.h"
#include "core/archive.h"
#include "core/browser.h"
#include "core/cardsave.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/padbind.h"
#include "editors/filescreen.h"
#include "editors/topbar.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridstate.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/widgets.h"
#include "video/autovideo.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

PLAYLIST g_tPlaylist{};
WINDOW *g_pPlaylistWindow = nullptr;
uint8_t g_bPlaylistPopupOpen = 0;
char g_szPlaylistPlaying[32] = {};
void (*g_pfnPlaylistDraw)(void *user) = Ed_DrawSongVideo;

namespace {

POPUP *s_pPopup = nullptr;
std::vector<uint8_t> s_vLoadBuffer;
// The archive listing of the file screen: folder rows first, then the songs of the folder.
int32_t s_iListedFolders = 0;

void Sound(int n)
{
    Seq_PlayInterfaceSound(n);
}

int32_t CardOf(const PLAYLISTENTRY &e)
{
    return (e.source >> 4) & 3;
}

bool PopupOpen()
{
    return g_bPlaylistPopupOpen && s_pPopup && !s_pPopup->free && s_pPopup->kind == ED_PLAYLIST_POPUP_KIND;
}

// The list shows the whole play list, its last rows in view.
void RefreshPopup()
{
    if (!PopupOpen() || !s_pPopup->list)
        return;
    LISTWIDGET *l = s_pPopup->list;
    l->totalRows = uint16_t(std::max(g_tPlaylist.count, 0));
    l->selected = uint16_t(std::max(g_tPlaylist.count - 1, 0));
    l->first = uint16_t(std::max(g_tPlaylist.count - int32_t(l->visibleRows), 0));
    if (l->scrollBar) {
        Ui_SetScrollBarMax(l->scrollBar, std::max(g_tPlaylist.count - int32_t(l->visibleRows), 0));
        Ui_SetScrollBarPos(l->scrollBar, l->first);
    }
    Ui_RefillListRows(l);
}

// A studio holding no music and no video loses nothing when the jukebox replaces the song.
bool StudioIsEmpty()
{
    return g_uRiffCount <= 1 && g_uInstrumentCount == 0 && g_iClipCount == 0 && g_uSongRowCount == 0 &&
           g_iVideoEnd < 1;
}

void FreeBuffer()
{
    s_vLoadBuffer.clear();
    s_vLoadBuffer.shrink_to_fit();
}

void StartAnswer(uint8_t button)
{
    if (button == 1)
        Ed_PlaylistStartNow();
    else
        Ed_FileBrowserReturn();
}

// The busy box has closed: a loaded item plays; one that failed ends the jukebox on the grid.
void AfterLoad()
{
    if (g_tPlaylist.loadState == PLAYLIST_LOADED) {
        Ed_PlaylistPlay();
        return;
    }
    Ed_PlaylistEndStep();
}

// Draws a status text at (10, 10) on a dark bar.
void DrawStatus(int32_t textId)
{
    const char *text = Ui_Text(textId);
    Gfx_DrawTextWithIcons(text, 10, 10, g_pOrderingTable);
    Gfx_AddTile(0, 8, Gfx_GetTextWithIconsWidth(text) + 20, 16, 0, 0, 0);
}

} // namespace

uint16_t Ed_PlaylistSource(int32_t card, int32_t folder, int32_t slot)
{
    return uint16_t((slot & 15) | (card & 3) << 4 | (folder & 1023) << 6);
}

void Ed_PlaylistReset()
{
    g_tPlaylist.playFlags = 0;
    g_tPlaylist.count = 0;
    g_tPlaylist.index = 0;
    g_tPlaylist.endRow = 0;
    g_tPlaylist.loadState = PLAYLIST_IDLE;
}

void Ed_PlaylistRowText(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    auto *r = static_cast<char *>(row);
    if (!r)
        return;
    const uint16_t word = uint16_t(std::max(n, 0));
    std::memcpy(r, &word, 2);
    if (n < 1 || n > g_tPlaylist.count) {
        r[2] = 0;
        return;
    }
    std::snprintf(r + 2, UI_POPUP_ROW_STRIDE - 3, "%.32s", g_tPlaylist.entries[n - 1].name);
}

void Ed_PlaylistOpenPopup()
{
    Sys_CallLog("Ed_PlaylistOpenPopup");
    Sound(0);
    if (PopupOpen())
        return;
    // At x 232 it would cover the middle of the file list, whose cells the mouse then cannot
    // reach: beside the file screen when there is room.
    int32_t x = 232;
    if (g_pFileBrowserWindow && g_pFileBrowserWindow->x + g_pFileBrowserWindow->w + 4 + 128 <= g_iScreenWidth)
        x = g_pFileBrowserWindow->x + g_pFileBrowserWindow->w + 4;
    s_pPopup = Ui_OpenPopupRows(ED_PLAYLIST_POPUP_KIND, nullptr, x, 69, 128, 140, g_tPlaylist.count,
                                Ed_PlaylistRowText, nullptr);
    if (!s_pPopup)
        return;
    // The file screen keeps the pad: the list only shows what will play.
    if (g_pFileBrowserWindow)
        Ui_SetFocus(g_pFileBrowserWindow);
    g_bPlaylistPopupOpen = 1;
    RefreshPopup();
}

void Ed_PlaylistClosePopup()
{
    if (!g_bPlaylistPopupOpen)
        return;
    if (PopupOpen())
        Ui_TakeDownPopup(s_pPopup);
    s_pPopup = nullptr;
    g_bPlaylistPopupOpen = 0;
    g_ucFileChosen = 0;
    // The list goes back to the folder it showed before the archive's songs.
    if (g_ucFileBrowserMode == 3) {
        g_ucFileBrowserMode = 0;
        if (g_pFileBrowserWindow) {
            Sys_BrowseDirectory(g_szBrowserDir[0] ? g_szBrowserDir : g_szBaseDir);
            g_iFileListSel = g_iFileListFirst = 0;
        }
    }
}

int32_t Ed_PlaylistAdd(int32_t card, int32_t folder, int32_t slot, const char *name)
{
    if (g_tPlaylist.count >= ED_PLAYLIST_MAX || g_tPlaylist.count < 0) {
        Sound(3);
        return -1;
    }
    PLAYLISTENTRY &e = g_tPlaylist.entries[g_tPlaylist.count++];
    e.source = Ed_PlaylistSource(card, folder, slot);
    std::memset(e.name, 0, sizeof e.name);
    if (name)
        std::strncpy(e.name, name, sizeof e.name - 1);
    g_tPlaylist.index = 0;
    RefreshPopup();
    return 0;
}

void Ed_PlaylistRemoveLast()
{
    if (g_tPlaylist.count <= 0)
        return;
    g_tPlaylist.count--;
    g_tPlaylist.index = 0;
    RefreshPopup();
}

void Ed_PlaylistRemoveCard(int32_t card)
{
    int32_t kept = 0;
    const int32_t index = g_tPlaylist.index;
    for (int32_t i = 0; i < g_tPlaylist.count; i++) {
        if (CardOf(g_tPlaylist.entries[i]) == card) {
            if (i < index)
                g_tPlaylist.index--;
            continue;
        }
        g_tPlaylist.entries[kept++] = g_tPlaylist.entries[i];
    }
    g_tPlaylist.count = kept;
    g_tPlaylist.index = std::clamp(g_tPlaylist.index, 0, kept);
}

void Ed_PlaylistStart()
{
    Sys_CallLog("Ed_PlaylistStart");
    if (g_tPlaylist.count <= 0) {
        Sound(3);
        return;
    }
    if (StudioIsEmpty()) {
        Ed_PlaylistStartNow();
        return;
    }
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(560);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 112;
    r.asButtonText[1] = 114;
    r.pfnAnswer = StartAnswer;
    Ui_OpenMessageBox(&r);
}

void Ed_PlaylistStartNow()
{
    Sys_CallLog("Ed_PlaylistStartNow");
    g_tPlaylist.running = 1;
    g_tPlaylist.removedCards = 0;
    g_tPlaylist.presentCards = 0;
    const uint8_t *present = g_aCardState[0].pPresent;
    if (present && int8_t(present[0]) > 0)
        g_tPlaylist.presentCards |= 1;
    if (present && int8_t(present[1]) > 0)
        g_tPlaylist.presentCards |= 2;
    g_tPlaylist.index = 0;
    Ed_PlaylistNextItem();
}

void Ed_PlaylistNextItem()
{
    Sys_CallLog("Ed_PlaylistNextItem");
    if (g_tPlaylist.index >= g_tPlaylist.count) {
        Sound(3);
        Ed_PlaylistEndStep();
        return;
    }
    Ed_ResetWindows();
    for (int32_t card = 1; card <= 2; card++)
        if (g_tPlaylist.removedCards & (1 << (card - 1))) {
            Ed_PlaylistRemoveCard(card);
            g_tPlaylist.removedCards &= uint8_t(~(1 << (card - 1)));
        }
    if (g_tPlaylist.count <= g_tPlaylist.index) {
        g_tPlaylist.count = 0;
        Ed_PlaylistEndStep();
        return;
    }
    g_ucGridKind = ED_GRIDKIND_PLAYING;
    g_iNextScreen = 10;
    Ui_SetBusyOperation(ED_PLAYLIST_BUSY_CODE, Ed_PlaylistLoadItem, AfterLoad);
    char name[33] = {};
    std::memcpy(name, g_tPlaylist.entries[g_tPlaylist.index].name, 32);
    if (!Ui_OpenBusyBox(name, Ui_Text(41), UI_BUSY_CENTRED, 100, ED_PLAYLIST_BUSY_CODE))
        Ed_PlaylistEndStep();
}

uint8_t Ed_PlaylistLoadItem()
{
    Sys_CallLog("Ed_PlaylistLoadItem");
    if (g_tPlaylist.index < 0 || g_tPlaylist.index >= g_tPlaylist.count) {
        Ed_PlaylistItemLoaded(0);
        return 0;
    }
    const PLAYLISTENTRY e = g_tPlaylist.entries[g_tPlaylist.index];
    std::memcpy(g_szPlaylistPlaying, e.name, sizeof g_szPlaylistPlaying);
    g_szPlaylistPlaying[31] = 0;
    g_tPlaylist.index++;
    // Cards 1 and 2 never answer here: only the archive card's songs are played; waiting for
    // another card would hold the busy box for ever.
    const int32_t slot = e.source & 15;
    if (CardOf(e) != 3 || slot >= CARD_SLOTS) {
        Ed_PlaylistItemLoaded(0);
        return 0;
    }
    Ed_RegisterArchiveCard();
    Sys_CardSelect(3);
    g_iArchiveFolder = e.source >> 6;
    Ed_ArchiveCardList(reinterpret_cast<uintptr_t>(&g_aCardState[2]));
    const uint32_t size = g_aCardState[2].auSize[slot];
    if (g_iArchiveFolder != (e.source >> 6) || size <= SAVEHEADER_BYTES) {
        Ed_PlaylistItemLoaded(0);
        return 0;
    }
    try {
        s_vLoadBuffer.assign(size - SAVEHEADER_BYTES, 0);
    } catch (const std::bad_alloc &) {
        Ed_PlaylistItemLoaded(0);
        return 0;
    }
    g_tPlaylist.loadState = PLAYLIST_READING;
    Sys_CardLoadSave(s_vLoadBuffer.data(), slot, Ed_PlaylistItemLoaded, 2);
    // The archive card answers at once; a read still waiting after a few services has failed.
    for (int i = 0; i < 8 && g_tPlaylist.loadState == PLAYLIST_READING; i++)
        Sys_CardService();
    if (g_tPlaylist.loadState == PLAYLIST_READING)
        Ed_PlaylistItemLoaded(0);
    if (g_tPlaylist.loadState == PLAYLIST_LOADED && g_iVideoEnd < 1) {
        Sys_CallLog("Ed_PlaylistAutoVideo");
        Vid_BuildAutoVideo(40, 40, 0, 2);
    }
    return 0;
}

void Ed_PlaylistItemLoaded(int32_t ok)
{
    Sys_CallLog(ok ? "Ed_PlaylistItemLoaded(1)" : "Ed_PlaylistItemLoaded(0)");
    if (ok && !s_vLoadBuffer.empty()) {
        const int32_t result = Ed_LoadPreparedImage(s_vLoadBuffer.data(), uint32_t(s_vLoadBuffer.size()));
        FreeBuffer();
        // Abandoned (rolled back for want of memory): the out-of-memory box and the end. A song
        // that misses some of its data plays with the rest.
        if (result >= 0x100 && (result & 2)) {
            Sys_ShowOutOfMemoryBox(nullptr);
        } else {
            if (result != 0) {
                // A song that cannot be read plays as an empty one: the list goes on.
                MSGBOXREQUEST r{};
                r.pszText = Ui_Text(117);
                r.ucButtonCount = 1;
                r.asButtonText[0] = 114;
                Ui_OpenMessageBox(&r);
                Sound(3);
            }
            g_tPlaylist.loadState = PLAYLIST_LOADED;
            return;
        }
    }
    g_tPlaylist.index = g_tPlaylist.count = 0;
    Sound(3);
    g_iFrameState = FRAMESTATE_INTERFACE;
    FreeBuffer();
    g_tPlaylist.loadState = PLAYLIST_IDLE;
    const int16_t view[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
    Vid_SetViewport(view);
}

void Ed_PlaylistPlay()
{
    Sys_CallLog("Ed_PlaylistPlay");
    const int16_t view[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
    Vid_SetViewport(view);
    const int32_t rows = Seq_CountUsedRows();
    g_tPlaylist.endRow = std::max(g_iVideoEnd, rows) - 1;
    g_ucGridKind = ED_GRIDKIND_PLAYING;
    WINDOWDESC d{};
    d.w = uint16_t(g_iScreenWidth);
    d.h = uint16_t(g_iScreenHeight);
    d.input = Ed_PlaylistTick;
    d.draw = g_pfnPlaylistDraw;
    g_pPlaylistWindow = Ui_OpenWindow(&d);
    if (!g_pPlaylistWindow) {
        Ed_PlaylistEndStep();
        return;
    }
    g_pPlaylistWindow->flags |= WINDOW_NO_FRAME;
    Ui_SetFocus(g_pPlaylistWindow);
    g_iNextScreen = ED_PLAYLIST_SCREEN;
    g_ucFullScreenVideo = 1;
    Vid_ForceVideoPosition(0);
    if (g_tPlaylist.endRow >= 0)
        Seq_PlaySongFrom(0);
}

void Ed_PlaylistTick()
{
    Sys_CallLog("Ed_PlaylistTick");
    if (!g_tPlaylist.running || !g_pPlaylistWindow || g_pUpdatingWindow != g_pPlaylistWindow)
        return;
    g_iAttractLastActivity = g_iFrameCount.load();
    if (int32_t(g_uSongRow.load()) > g_tPlaylist.endRow ||
        (!g_bSongPlaying.load() && !(g_tPlaylist.playFlags & (PLAYLIST_PAUSED | PLAYLIST_STOP_ASKED)))) {
        Ed_PlaylistAdvance();
        return;
    }
    if (g_tPlaylist.playFlags & PLAYLIST_STOP_ASKED)
        DrawStatus(558);
    else if (g_tPlaylist.playFlags & PLAYLIST_PAUSED)
        DrawStatus(557);
    else
        Vid_UpdateLanes();
}

void Ed_PlaylistAdvance()
{
    Sys_CallLog("Ed_PlaylistAdvance");
    Seq_StopSong();
    g_tPlaylist.loadState = PLAYLIST_IDLE;
    g_iFrameState = FRAMESTATE_INTERFACE;
    g_tPlaylist.playFlags = 0;
    Vid_ResetVideo();
    Seq_NewSong();
    WINDOW *w = g_pPlaylistWindow;
    g_pPlaylistWindow = nullptr;
    if (w) {
        w->onClose = g_tPlaylist.index < g_tPlaylist.count ? Ed_PlaylistNextItem : Ed_PlaylistEndStep;
        Ui_CloseWindow(w);
    } else if (g_tPlaylist.index < g_tPlaylist.count) {
        Ed_PlaylistNextItem();
    } else {
        Ed_PlaylistEndStep();
    }
    g_iNextScreen = 0;
}

void Ed_PlaylistEndStep()
{
    Sys_CallLog("Ed_PlaylistEndStep");
    g_tPlaylist.running = 0;
    g_tPlaylist.playFlags = 0;
    g_ucFullScreenVideo = 0;
    g_ucGridKind = 0;
    if (g_pPlaylistWindow && Ui_WindowIsOpen(g_pPlaylistWindow)) {
        g_pPlaylistWindow->onClose = nullptr;
        Ui_CloseWindow(g_pPlaylistWindow);
    }
    g_pPlaylistWindow = nullptr;
    const int16_t view[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
    Vid_SetViewport(view);
    g_ucTopBarButton = 0;
    if (!g_pTopBarWindow || !Ui_WindowIsOpen(g_pTopBarWindow))
        Ed_OpenTopBar();
    Ed_ShowSongGrid();
    Ui_ReturnToEditorMenu();
    g_iNextScreen = 0;
}

void Ed_PlaylistStop()
{
    Sys_CallLog("Ed_PlaylistStop");
    g_tPlaylist.playFlags |= PLAYLIST_STOP_ASKED;
    g_iNextScreen = ED_PLAYLIST_STOP_SCREEN;
    Seq_StopSong();
}

void Ed_PlaylistResume()
{
    Sys_CallLog("Ed_PlaylistResume");
    g_tPlaylist.playFlags &= uint8_t(~PLAYLIST_STOP_ASKED);
    if (!(g_tPlaylist.playFlags & PLAYLIST_PAUSED))
        Seq_PlaySongFrom(g_uSongRow.load());
    g_iNextScreen = ED_PLAYLIST_SCREEN;
}

void Ed_PlaylistEnd()
{
    Sys_CallLog("Ed_PlaylistEnd");
    g_tPlaylist.index = g_tPlaylist.count;
    Ed_PlaylistAdvance();
}

void Ed_PlaylistNext()
{
    Sys_CallLog("Ed_PlaylistNext");
    if (g_tPlaylist.index < g_tPlaylist.count)
        Ed_PlaylistAdvance();
}

void Ed_PlaylistPrevious()
{
    Sys_CallLog("Ed_PlaylistPrevious");
    // The index already points past the playing item: two back replays the one before it.
    if (g_tPlaylist.index > 1) {
        g_tPlaylist.index = std::max(0, g_tPlaylist.index - 2);
        Ed_PlaylistAdvance();
    }
}

void Ed_PlaylistPause()
{
    Sys_CallLog("Ed_PlaylistPause");
    g_tPlaylist.playFlags ^= PLAYLIST_PAUSED;
    if (g_tPlaylist.playFlags & PLAYLIST_PAUSED)
        Seq_StopSong();
    else
        Seq_PlaySongFrom(g_uSongRow.load());
}

// ---- The file screen's side ----

void Ed_FileListArchive()
{
    Sys_ClearBrowserEntries();
    g_ucFileBrowserMode = 3;
    g_iFileListSel = g_iFileListFirst = 0;
    g_ucFileChosen = 0;
    uint16_t path[8] = {};
    const int depth = Sys_WadDirPathToIndices("/PERF", path);
    if (depth <= 0 || depth > 5)
        return;
    Ed_RegisterArchiveCard();
    Ed_ArchiveCardList(reinterpret_cast<uintptr_t>(&g_aCardState[2]));
    s_iListedFolders = g_iArchiveFolderCount;
    int32_t n = 0;
    auto add = [&](const char *name, uint32_t type, uint32_t size) {
        if (n >= BROWSER_ROWS)
            return;
        BROWSERENTRY &b = g_aBrowserEntries[n++];
        std::memset(&b, 0, sizeof b);
        b.uKind = BROWSERKIND_SONG;
        b.uEntryType = type;
        b.uSize = size;
        b.pszName = strdup(name);
        b.uLineCount = Sys_BuildDisplayLines(name, b.aszLines);
    };
    for (int32_t f = 0; f < s_iListedFolders; f++) {
        char name[16] = {};
        path[depth] = uint16_t(f);
        if (Sys_WadNodeNameAt(path, depth + 1, name, sizeof name) < 0 || !name[0])
            std::snprintf(name, sizeof name, "%d", f + 1);
        add(name, BROWSERTYPE_FOLDER, 0);
    }
    path[depth] = uint16_t(g_iArchiveFolder);
    const int32_t files = std::min(std::max(Sys_WadFileCountAt(path, depth + 1), 0), 15);
    for (int32_t i = 0; i < files; i++) {
        path[depth + 1] = uint16_t(i);
        SAVEHEADER h{};
        char title[CARD_TITLE_BYTES] = {};
        if (Sys_WadLoadEntryByIndex(&h, path, depth + 2, SAVEHEADER_BYTES, sizeof h) &&
            Sys_CheckSaveHeader(reinterpret_cast<const uint8_t *>(&h), sizeof h) == 0)
            Sys_DecodeSaveTitle(h.title, title);
        if (!title[0]) {
            uint32_t size = 0;
            char entry[9] = {};
            std::free(Sys_WadLoadEntryAlloc(0, path, depth + 2, entry, &size));
            std::memcpy(title, entry, 8);
        }
        add(title, BROWSERTYPE_FILE, g_aCardState[2].auSize[i]);
    }
    g_iBrowserEntryCount = n;
}

void Ed_FileJukeboxField()
{
    Sys_CallLog("Ed_FileJukeboxField");
    if (PopupOpen()) {
        Ed_PlaylistStart();
        return;
    }
    Ed_PlaylistReset();
    Ed_PlaylistOpenPopup();
    if (!PopupOpen())
        return;
    Ed_FileListArchive();
    g_ucFilePendingAction = 5;
    g_ucFileBrowserField = ED_FILE_LIST_FIELD;
}

bool Ed_FileJukeboxChoose()
{
    if (g_ucFileBrowserMode != 3)
        return false;
    const int32_t i = g_iFileListSel;
    if (i < 0 || i >= g_iBrowserEntryCount || !g_aBrowserEntries[i].pszName) {
        Sound(3);
        return true;
    }
    if (g_aBrowserEntries[i].uEntryType == BROWSERTYPE_FOLDER) {
        Sound(0);
        Ed_ArchiveCardSelect(i);
        Ed_FileListArchive();
        return true;
    }
    if (!PopupOpen()) {
        Sound(3);
        return true;
    }
    if (Ed_PlaylistAdd(3, g_iArchiveFolder, i - s_iListedFolders, g_aBrowserEntries[i].pszName) == 0)
        Sound(0);
    return true;
}
