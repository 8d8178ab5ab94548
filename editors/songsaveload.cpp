// Saving the song from the file screen and loading a song, or chosen parts of one, back: the
// component pop-ups, the overwrite question, the merge of the chosen chunks and the result
// messages. A save is written beside the old file and renamed over it, so a failed save leaves
// the old file whole; a file that does not hold together is refused before the song is touched.
#include "editors/filescreen.h"

#include "app/calllog.h"
#include "core/browser.h"
#include "core/cardsave.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/framecycle.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridstate.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

std::vector<std::string> g_vFileRiffNames, g_vFileClipNames;
std::vector<uint8_t> g_vFileRiffTicks, g_vFileClipTicks;

namespace {

constexpr int kPopupW = 170;
// Row layout of the component pop-ups' list rows.
constexpr int kRowFlags = 0, kRowIcon = 1, kRowText = 4;

std::vector<uint8_t> s_vLoadBuffer; // the chosen file's image while a load runs
std::string s_sLoadName;            // its name as listed
uint8_t s_ucPendingList = 0;        // 1 riff list, 2 clip list: opened on the next frame
uint8_t s_ucSampleCountdown = 0;    // frames until "Building samples" opens
bool s_bRiffListShown = false, s_bClipListShown = false;

void Sound(int n)
{
    Seq_PlayInterfaceSound(n);
}

void Message(const char *text)
{
    g_sFileMessage = text ? text : "";
    Sys_CallLog(("Ed_FileMessage(" + g_sFileMessage + ")").c_str());
    MSGBOXREQUEST r{};
    r.pszText = text;
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    r.ucFlags = MSGBOX_COPY_TEXT;
    r.pfnAnswer = [](uint8_t) { Ed_FileBrowserReturn(); };
    Ui_OpenMessageBox(&r);
}

bool Ticked(int comp)
{
    return g_atFileComponents[comp].flags & FILEROW_TICKED;
}

bool EnabledRow(int comp)
{
    return g_atFileComponents[comp].flags & FILEROW_ENABLED;
}

void SetRow(int comp, bool on)
{
    g_atFileComponents[comp].flags = on ? uint8_t(FILEROW_ENABLED | FILEROW_TICKED) : 0;
}

// ---- The pop-ups' rows ----

// Rows of a pop-up of kind 8, 9, 12 or 13: its items, a blank row, "Accept".
int32_t ItemCount(int kind)
{
    switch (kind) {
    case 8: return 2;
    case 9: return 4;
    case 12: return int32_t(g_vFileRiffNames.size());
    case 13: return int32_t(g_vFileClipNames.size());
    default: return 0;
    }
}

// The item's text and flags; false past the items.
bool Item(int kind, int32_t n, const char **text, uint8_t *flags, uint16_t *icon)
{
    if (n < 0 || n >= ItemCount(kind))
        return false;
    if (kind == 8 || kind == 9) {
        const FILECOMPONENT &c = g_atFileComponents[(kind == 8 ? 0 : 2) + n];
        *text = c.text;
        *flags = c.flags;
        *icon = c.icon;
        return true;
    }
    const auto &names = kind == 12 ? g_vFileRiffNames : g_vFileClipNames;
    const auto &ticks = kind == 12 ? g_vFileRiffTicks : g_vFileClipTicks;
    *text = names[size_t(n)].c_str();
    *flags = uint8_t(FILEROW_ENABLED | (ticks[size_t(n)] ? FILEROW_TICKED : 0));
    *icon = kind == 12 ? 516 : 510;
    return true;
}

int s_iFillKind = 0;

void FillRow(int32_t op, int32_t number, void *row, void *user)
{
    const POPUP *p = static_cast<const POPUP *>(user);
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    auto *r = static_cast<char *>(row);
    std::memset(r, 0, UI_POPUP_ROW_STRIDE);
    const int kind = p ? p->kind : s_iFillKind;
    const int32_t items = ItemCount(kind);
    if (n < 1 || n > items + 2)
        return;
    const char *text = "";
    uint8_t flags = 0;
    uint16_t icon = 0;
    if (n <= items)
        Item(kind, n - 1, &text, &flags, &icon);
    else if (n == items + 2) {
        text = Ui_Text(284);
        flags = FILEROW_ENABLED | 0x80; // the confirming row
    }
    r[kRowFlags] = char(flags);
    std::memcpy(r + kRowIcon, &icon, sizeof icon);
    std::snprintf(r + kRowText, UI_POPUP_ROW_STRIDE - kRowText, "%s", text ? text : "");
}

void DrawRow(void *row, int32_t x, int32_t y)
{
    const auto *r = static_cast<const char *>(row);
    const uint8_t flags = uint8_t(r[kRowFlags]);
    const uint32_t colour = g_uiTextColour;
    if (flags & 0x80) {
        Gfx_DrawText(r + kRowText, x + 20, y + 3, g_pOrderingTable);
        return;
    }
    if (!(flags & FILEROW_ENABLED) && r[kRowText])
        g_uiTextColour = 0x404040;
    Gfx_DrawText(r + kRowText, x + 20, y + 3, g_pOrderingTable);
    g_uiTextColour = colour;
    if (!r[kRowText])
        return;
    // The tick box.
    if (flags & FILEROW_TICKED)
        Gfx_AddTile(x + 5, y + 5, 6, 6, 40, 200, 80);
    Gfx_AddOutlineBox(x + 3, y + 3, x + 13, y + 13);
    Gfx_AddTile(x + 4, y + 4, 8, 8, 16, 20, 24);
}

POPUP *OpenRows(int kind, int32_t width, int32_t height, int32_t x, int32_t y)
{
    s_iFillKind = kind;
    POPUP *p = Ui_OpenPopupRows(kind, nullptr, x, y, width, height, ItemCount(kind) + 2, FillRow, DrawRow);
    if (p && p->list) {
        // Each opening starts on the first row.
        p->list->selected = 0;
        p->list->first = 0;
        Ui_RefillListRows(p->list);
    }
    return p;
}

void CloseToScreen(POPUP *p)
{
    Ui_TakeDownPopup(p);
    g_iNextScreen = ED_FILE_SCREEN;
    if (g_pFileBrowserWindow)
        Ui_SetFocus(g_pFileBrowserWindow);
}

// ---- Saving ----

void SaveDone(int32_t ok)
{
    Message(Ui_Text(ok ? 122 : 123));
    Sys_ListDirectory();
    Ui_SetMenuPage(31);
    g_bTaggedSongFile = 0;
}

bool SongHasMusic()
{
    return g_uRiffCount > 1 || g_uSongRowCount != 0;
}

bool SongHasVideo()
{
    return Vid_GetVideoEnd() > 0;
}

// ---- Loading ----

// The usage bitmap of a chunk type takes the ticked rows of a list; a list not offered takes
// every item.
void MarkTicked(CHUNKCONTEXT *ctx, int32_t type, const std::vector<uint8_t> &ticks, bool shown, size_t items)
{
    std::vector<uint32_t> *bitmap = Seq_GetUsageBitmap(ctx, type);
    if (!bitmap)
        return;
    // A list not offered takes every item of its kind.
    const size_t count = shown ? items : 2048;
    for (size_t n = 0; n < count; n++)
        if (!shown || (n < ticks.size() && ticks[n]))
            Seq_MarkBit(bitmap, uint32_t(n));
}

bool NeedsSampleRebuild()
{
    for (int32_t slot = 1; slot <= 99; slot++)
        if (!Seq_InstrumentSlotFree(slot) && g_aInstrumentSlots[slot].cSampleState < 0)
            return true;
    return false;
}

void ResetGridView()
{
    g_sGridCursorX = 0;
    g_sGridCursorY = 0;
    for (int16_t &v : g_asSavedGridView)
        v = 0;
}

void TitleFromFile()
{
    Ed_CopyTitle(g_szSongTitle, Ed_SafeFileTitle(s_sLoadName.c_str()).c_str());
}

void OpenBusyLoad()
{
    Ui_OpenBusyBox(s_sLoadName.c_str(), Ui_Text(41), UI_BUSY_CENTRED, 100, 10);
}

void OpenRiffList()
{
    g_vFileRiffTicks.assign(g_vFileRiffNames.size(), 1);
    s_bRiffListShown = true;
    if (!OpenRows(12, kPopupW, 400, g_iScreenWidth / 2 - kPopupW / 2, 69))
        OpenBusyLoad();
}

void OpenClipList()
{
    g_vFileClipTicks.assign(g_vFileClipNames.size(), 1);
    s_bClipListShown = true;
    if (!OpenRows(13, kPopupW, 400, g_iScreenWidth / 2 - kPopupW / 2, 69))
        OpenBusyLoad();
}

} // namespace

void Ed_FileBrowserPendingWork()
{
    if (s_ucSampleCountdown && --s_ucSampleCountdown == 0)
        Ui_OpenBusyBox("New Sample", Ui_Text(220), UI_BUSY_CENTRED, 100, 11);
    const uint8_t pending = s_ucPendingList;
    s_ucPendingList = 0;
    if (pending == 1)
        OpenRiffList();
    else if (pending == 2)
        OpenClipList();
}

void Ed_OpenSavePopup()
{
    Sys_CallLog("Ed_OpenSavePopup");
    SetRow(FILECOMP_SAVE_SONG, SongHasMusic());
    SetRow(FILECOMP_SAVE_VIDEO, SongHasVideo());
    if (!OpenRows(8, kPopupW, 97, g_iScreenWidth / 4, 69))
        return;
    Ui_SetMenuPage(16);
}

void Ed_OpenLoadPopup()
{
    Sys_CallLog("Ed_OpenLoadPopup");
    const uint32_t m = g_uFilePreviewMask;
    SetRow(FILECOMP_LOAD_CLIP, m & FILEMASK_CLIPS);
    SetRow(FILECOMP_LOAD_SHOW, m & FILEMASK_VIDEO);
    SetRow(FILECOMP_LOAD_RIFF, m & FILEMASK_RIFFS);
    SetRow(FILECOMP_LOAD_SONG, m & FILEMASK_SONG);
    if (!OpenRows(9, kPopupW, 127, g_iScreenWidth / 4, 69))
        return;
    Ui_SetMenuPage(16);
}

namespace {

// Ticks or clears every row of the current component pop-up that can be chosen.
void SetAllComponentRows(bool on)
{
    POPUP *p = g_pCurrentPopup;
    if (!p || !p->list || (p->kind != 8 && p->kind != 9 && p->kind != 12 && p->kind != 13))
        return;
    const int kind = p->kind;
    if (kind == 8 || kind == 9) {
        const int from = kind == 8 ? 0 : 2, to = from + ItemCount(kind);
        for (int n = from; n < to; n++) {
            FILECOMPONENT &c = g_atFileComponents[n];
            if (c.flags & FILEROW_ENABLED)
                c.flags = on ? uint8_t(c.flags | FILEROW_TICKED) : uint8_t(c.flags & ~FILEROW_TICKED);
        }
    } else {
        auto &ticks = kind == 12 ? g_vFileRiffTicks : g_vFileClipTicks;
        std::fill(ticks.begin(), ticks.end(), on ? 1 : 0);
    }
    Ui_RefillListRows(p->list);
}

} // namespace

void Ui_PopupSelectAll()
{
    SetAllComponentRows(true);
}

void Ui_PopupSelectNone()
{
    SetAllComponentRows(false);
}

void Ed_InstallFilePopupItems()
{
    Ui_SetMenuItemHandler(92, Ui_PopupSelectAll);
    Ui_SetMenuItemHandler(93, Ui_PopupSelectNone);
}

bool Ed_FilePopupChoose(POPUP *p)
{
    if (!p || (p->kind != 8 && p->kind != 9 && p->kind != 12 && p->kind != 13) || !p->list)
        return false;
    const int kind = p->kind;
    const int32_t row = p->list->selected;
    const int32_t items = ItemCount(kind);
    if (row < items) {
        if (kind == 8 || kind == 9) {
            FILECOMPONENT &c = g_atFileComponents[(kind == 8 ? 0 : 2) + row];
            if (!(c.flags & FILEROW_ENABLED)) {
                Sound(3);
                return true;
            }
            c.flags ^= FILEROW_TICKED;
        } else {
            auto &ticks = kind == 12 ? g_vFileRiffTicks : g_vFileClipTicks;
            ticks[size_t(row)] ^= 1;
        }
        Sound(0);
        Ui_RefillListRows(p->list);
        return true;
    }
    if (row != items + 1) {
        Sound(3); // the blank row
        return true;
    }
    if (kind == 8 || kind == 9) {
        const int from = kind == 8 ? 0 : 2, to = kind == 8 ? 2 : 6;
        bool any = false;
        for (int c = from; c < to; c++)
            any = any || Ticked(c);
        if (!any) {
            Sound(3);
            return true;
        }
        CloseToScreen(p);
        Ui_SetMenuPage(31);
        if (kind == 8)
            Ed_AskOverwriteAndSave();
        else
            Ed_LoadChosenFile();
        return true;
    }
    CloseToScreen(p);
    OpenBusyLoad();
    return true;
}

void Ed_AskOverwriteAndSave()
{
    Sys_CallLog("Ed_AskOverwriteAndSave");
    const std::string path = Ed_BrowserPath(Ed_SafeFileTitle(g_szSongTitle) + ".tnv");
    if (!path.empty() && Sys_PathExists(path.c_str())) {
        MSGBOXREQUEST r{};
        r.pszText = Ui_Text(125);
        r.ucButtonCount = 2;
        r.asButtonText[0] = 114;
        r.asButtonText[1] = 112;
        r.ucIcon = 2;
        r.pfnAnswer = Ed_SaveSong;
        g_sFileMessage = r.pszText;
        Sys_CallLog(("Ed_FileMessage(" + g_sFileMessage + ")").c_str());
        Ui_OpenMessageBox(&r);
        return;
    }
    Ed_SaveSong(0);
}

void Ed_SaveSong(uint8_t button)
{
    Sys_CallLog("Ed_SaveSong");
    if (button == 1) {
        Ed_FileBrowserReturn();
        return;
    }
    g_bTaggedSongFile = 1;
    uint32_t parts = 0;
    if (Ticked(FILECOMP_SAVE_SONG))
        parts |= SONGPART_SONG;
    if (Ticked(FILECOMP_SAVE_VIDEO))
        parts |= SONGPART_VIDEO;
    std::vector<uint8_t> image;
    try {
        CHUNKCONTEXT ctx;
        int32_t blocks = 0;
        const uint32_t size = Seq_PrepareSave(parts, &blocks, &ctx);
        char author[32] = {};
        if (g_szSongAuthor[0])
            std::snprintf(author, sizeof author, "%.31s", g_szSongAuthor);
        else
            std::snprintf(author, sizeof author, "%s", "Author");
        image = Seq_WriteChunks(size, author, &ctx);
    } catch (const std::bad_alloc &) {
        image.clear();
    }
    g_ucFileSaveState = 2;
    const std::string name = Ed_SafeFileTitle(g_szSongTitle);
    if (image.empty()) {
        SaveDone(0);
        return;
    }
    Sys_CardWriteSaveFile(image.data(), int32_t(image.size()), name.c_str(), 0, SaveDone);
}

void Ed_LoadChosenFile()
{
    Sys_CallLog("Ed_LoadChosenFile");
    const int32_t i = g_iFileListSel;
    if (i < 0 || i >= g_iBrowserEntryCount || !g_aBrowserEntries[i].pszName) {
        Ed_AfterFileRead(0);
        return;
    }
    s_sLoadName = g_aBrowserEntries[i].pszName;
    try {
        s_vLoadBuffer.assign(std::max<size_t>(g_aBrowserEntries[i].uSize, 1), 0);
    } catch (const std::bad_alloc &) {
        s_vLoadBuffer.clear();
        g_iFileResult = FILELOAD_NO_MEMORY;
        Ed_LoadResult(FILELOAD_NO_MEMORY);
        return;
    }
    Sys_LoadBrowserEntry(s_vLoadBuffer.data(), i, Ed_AfterFileRead, s_vLoadBuffer.size());
}

void Ed_AfterFileRead(int32_t ok)
{
    if (!ok || s_vLoadBuffer.size() < 12) {
        g_iFileResult = FILELOAD_ERROR;
        Ed_LoadResult(FILELOAD_ERROR);
        return;
    }
    // The image's own length: the buffer was sized for the whole file.
    const uint8_t *img = s_vLoadBuffer.data();
    const uint32_t total = uint32_t(img[8]) | uint32_t(img[9]) << 8 | uint32_t(img[10]) << 16 | uint32_t(img[11]) << 24;
    if (total >= 12 && total < s_vLoadBuffer.size())
        s_vLoadBuffer.resize(total);
    s_bRiffListShown = s_bClipListShown = false;
    g_vFileRiffTicks.clear();
    g_vFileClipTicks.clear();
    g_vFileRiffNames.clear();
    g_vFileClipNames.clear();
    try {
        std::vector<FILERIFF> riffs;
        Seq_ListFileRiffs(s_vLoadBuffer.data(), s_vLoadBuffer.size(), &riffs);
        for (const FILERIFF &r : riffs)
            g_vFileRiffNames.emplace_back(r.szName, strnlen(r.szName, 16));
        // Usage bitmaps hold 2048 items.
        if (g_vFileRiffNames.size() > 2048)
            g_vFileRiffNames.resize(2048);
        Seq_ListFileClips(s_vLoadBuffer.data(), s_vLoadBuffer.size(), &g_vFileClipNames);
        if (g_vFileClipNames.size() > 2048)
            g_vFileClipNames.resize(2048);
    } catch (const std::bad_alloc &) {
        s_vLoadBuffer.clear();
        s_vLoadBuffer.shrink_to_fit();
        Message(Ui_Text(348));
        return;
    }
    if (EnabledRow(FILECOMP_LOAD_SONG) && !Ticked(FILECOMP_LOAD_SONG) && Ticked(FILECOMP_LOAD_RIFF) &&
        !g_vFileRiffNames.empty()) {
        s_ucPendingList = 1;
        return;
    }
    if (EnabledRow(FILECOMP_LOAD_SHOW) && !Ticked(FILECOMP_LOAD_SHOW) && Ticked(FILECOMP_LOAD_CLIP) &&
        !g_vFileClipNames.empty()) {
        s_ucPendingList = 2;
        return;
    }
    OpenBusyLoad();
}

uint8_t Ed_MergeLoadedSong()
{
    Sys_CallLog("Ed_MergeLoadedSong");
    uint32_t wanted = 0x800000;
    if (Ticked(FILECOMP_LOAD_CLIP))
        wanted |= 0x18010;
    if (Ticked(FILECOMP_LOAD_SHOW))
        wanted |= 0x138010;
    if (Ticked(FILECOMP_LOAD_RIFF))
        wanted |= 0x7f0;
    if (Ticked(FILECOMP_LOAD_SONG))
        wanted |= 0x847f0;
    int32_t result = 4;
    try {
        CHUNKLOADCONTEXT load;
        const uint8_t *image = s_vLoadBuffer.data();
        const size_t length = s_vLoadBuffer.size();
        // The file's own chunk presence, read from the image itself (the preview may be stale).
        uint32_t fileMask = g_uFilePreviewMask;
        char author[32] = {};
        uint32_t parts = 0;
        if (length >= 12 && Seq_ReadSaveSummary(image, length, &parts, author) == 0)
            fileMask = parts;
        const uint32_t common = fileMask & wanted;
        int32_t first = SONGLOAD_OK;
        if (common) {
            g_iSongInsertRow = g_iFileInsertRow;
            first = Seq_LoadChunks(image, length, common | 0x80000000u, g_iFileInsertRow, 1, &load);
        }
        if (first == SONGLOAD_OK && common) {
            CHUNKCONTEXT *ctx = &load.ctx;
            if (!Ticked(FILECOMP_LOAD_SONG)) {
                Seq_SetUsageSlot(ctx, 3, CHUNK_RI);
                Seq_SetUsageSlot(ctx, 5, CHUNK_IN);
                if (Ticked(FILECOMP_LOAD_RIFF)) {
                    MarkTicked(ctx, CHUNK_RI, g_vFileRiffTicks, s_bRiffListShown, g_vFileRiffNames.size());
                    Seq_SetUsageSlot(ctx, 5, CHUNK_IN);
                    Seq_SetUsageSlot(ctx, 1, CHUNK_NO);
                    Seq_SetUsageSlot(ctx, 7, CHUNK_RE);
                    Seq_SetUsageSlot(ctx, 6, CHUNK_EN);
                    Seq_SetUsageSlot(ctx, 9, CHUNK_SP);
                }
                ctx->aChunk[CHUNK_SN].uSize = 0;
                ctx->aChunk[CHUNK_SN].uCount = 0;
            }
            if (!Ticked(FILECOMP_LOAD_SHOW)) {
                Seq_SetUsageSlot(ctx, 10, CHUNK_CL);
                Seq_SetUsageSlot(ctx, 1, CHUNK_CH);
                if (Ticked(FILECOMP_LOAD_CLIP)) {
                    MarkTicked(ctx, CHUNK_CL, g_vFileClipTicks, s_bClipListShown, g_vFileClipNames.size());
                    Seq_SetUsageSlot(ctx, 1, CHUNK_RE);
                    Seq_SetUsageSlot(ctx, 2, CHUNK_CH);
                }
                ctx->aChunk[CHUNK_VD].uSize = 0;
                ctx->aChunk[CHUNK_VD].uCount = 0;
            }
            result = Seq_FinishLoad(common | 0x80000000u, &load);
            Ed_UpdateMemoryUsage();
            Seq_UpdateSongSizes();
        } else if (!common) {
            result = 0;
        }
    } catch (const std::bad_alloc &) {
        result = 1;
    }
    g_iFileResult = result == 0 ? FILELOAD_OK : (result >= 1 && result <= 3) ? FILELOAD_NO_MEMORY : FILELOAD_ERROR;
    g_vFileRiffTicks.clear();
    g_vFileClipTicks.clear();
    g_iFileInsertRow = -1;
    g_iSongInsertRow = -1;
    return 0;
}

void Ed_LoadResult(int32_t result)
{
    Sys_CallLog("Ed_LoadResult");
    s_vLoadBuffer.clear();
    s_vLoadBuffer.shrink_to_fit();
    Seq_UpdateSongSizes();
    std::memset(g_abInstrumentMarks, 0, sizeof g_abInstrumentMarks);
    if (result == FILELOAD_OK && NeedsSampleRebuild()) {
        Gfx_SetFrameMode(3);
        s_ucSampleCountdown = 2;
        Ui_SetMenuPage(31);
        g_bTaggedSongFile = 0;
        return;
    }
    if (result == FILELOAD_OK) {
        ResetGridView();
        TitleFromFile();
        Message(Ui_Text(116));
    } else {
        Message(Ui_Text(result == FILELOAD_NO_MEMORY ? 118 : 117));
    }
    Ui_SetMenuPage(31);
    g_bTaggedSongFile = 0;
}

void Ed_AfterSampleRebuild()
{
    TitleFromFile();
    ResetGridView();
    std::memset(g_abInstrumentMarks, 0, sizeof g_abInstrumentMarks);
    Message(Ui_Text(116));
}
