// The file screen: its window, fields, list of the browser's folder, the title and author entry,
// folders, deletes, sample and picture loads and the WAV mixdown. Saving and loading songs is in
// editors/songsaveload.cpp.
#include "editors/filescreen.h"
#include "editors/jukebox.h"

#include "app/calllog.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/timers.h"
#include "core/browser.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "jam/jamsession.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/framecycle.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/scrollbar.h"
#include "ui/widgets.h"
#include "ui/textentry.h"
#include "ui/textfield.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

char g_szSongTitle[ED_SONG_NAME] = "TONNIVELLE file";
char g_szSongAuthor[ED_SONG_NAME] = "Author";
WINDOW *g_pFileBrowserWindow = nullptr;
SCROLLBAR *g_pFileListWidget = nullptr;
uint8_t g_ucFileBrowserField = 2;
uint8_t g_ucFileBrowserMode = 0;
int32_t g_iFileListSel = 0;
int32_t g_iFileListFirst = 0;
uint8_t g_ucFileSaveState = 0;
uint8_t g_ucFilePendingAction = 0;
uint8_t g_ucFileChosen = 0;
int32_t g_iFileInsertRow = -1;
int32_t g_iFileResult = FILELOAD_ERROR;
uint32_t g_uFilePreviewMask = 0;
uint8_t g_ucFileEditName = 0;
std::string g_sFileMessage;

constexpr uint8_t N = 255;
// Images of the buttons: the picture, none greyed (drawn dark instead), the frame around it.
FILEFIELD g_atFileFields[ED_FILE_FIELDS] = {
    {145, 236, 160, 0, 0, N, 0, 7, N, 0, 604},
    {172, 236, 174, 0, 0, 1, 2, 7, N, 0, 603},
    {10, 236, 162, 0, 0, 7, N, N, 3, 0, 100},
    {37, 236, 163, 0, 0, 7, N, 2, 4, 0, 101},
    {64, 236, 164, 0, 0, 7, N, 3, 5, 0, 102},
    {91, 236, 165, 0, 0, 7, N, 4, 6, 0, 103},
    {118, 236, 166, 0, 0, 2, N, 5, N, 0, 104},
    {10, 26, 0, 0, 0, N, N, N, N, 0, 106},
    {249, 196, 167, 0, 0, N, N, N, N, 1, 126},
    {285, 196, 168, 0, 0, N, N, N, N, 1, 127},
    {303, 235, 169, 0, 0, N, N, N, N, 1, 128},
    {276, 235, 170, 0, 0, N, N, N, N, 1, 129},
    {330, 235, 171, 0, 0, N, N, N, N, 1, 130},
    {249, 235, 172, 0, 0, N, N, N, N, 1, 131},
    {321, 196, 173, 0, 0, N, N, N, N, 1, 132},
};

FILECOMPONENT g_atFileComponents[ED_FILE_COMPONENTS] = {
    {"Song", 515, 0}, {"Video", 518, 0}, {"Video clip", 510, 0}, {"Video show", 518, 0}, {"Riff", 516, 0}, {"Song", 515, 0},
};

namespace {

TEXTFIELD *s_pCaption = nullptr;
uint8_t s_ucReturnField = 2;
uint8_t s_ucBlink = 0;
bool s_bMixdownStarted = false; // the folder is listed again when it ends
bool s_bListDirty = false;       // the browser table changed under the list
int32_t s_iCursorFrame = 0;
char s_szFolderName[21] = {};
char s_szEditBefore[ED_SONG_NAME] = {};
// The indicators' masks, fields 8..14.
const uint32_t kIndicatorMask[7] = {FILEMASK_SONG, FILEMASK_VIDEO, FILEMASK_RIFFS, FILEMASK_CLIPS,
                                    FILEMASK_INSTRUMENTS, FILEMASK_JAM_TEMPLATE, FILEMASK_JAM_SONG};

bool Disabled(int field)
{
    return g_atFileFields[field].flags & 1;
}

void Enable(int field, bool on)
{
    if (on)
        g_atFileFields[field].flags &= ~1u;
    else
        g_atFileFields[field].flags |= 1u;
}

void Message(const char *text, void (*answer)(uint8_t) = nullptr)
{
    g_sFileMessage = text ? text : "";
    Sys_CallLog(("Ed_FileMessage(" + g_sFileMessage + ")").c_str());
    MSGBOXREQUEST r{};
    r.pszText = text;
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    r.ucFlags = MSGBOX_COPY_TEXT;
    r.pfnAnswer = answer ? answer : [](uint8_t) { Ed_FileBrowserReturn(); };
    Ui_OpenMessageBox(&r);
}

void Sound(int n)
{
    Seq_PlayInterfaceSound(n);
}

void SetScrollRange()
{
    if (!g_pFileListWidget)
        return;
    const int32_t max = Ed_FileListScrollMax(g_iBrowserEntryCount);
    g_pFileListWidget->page = std::max(1, max);
    Ui_SetScrollBarMax(g_pFileListWidget, max);
    Ui_SetScrollBarPos(g_pFileListWidget, g_iFileListFirst / 4);
    Ui_MarkScrollBarDirty(g_pFileListWidget);
}

void DisableFileFields()
{
    Enable(2, false);
    Enable(5, false);
    for (int f = 8; f < ED_FILE_FIELDS; f++)
        Enable(f, false);
    g_uFilePreviewMask = 0;
}

// Keeps the selection and the first row shown within the listing.
void FitListToEntries()
{
    const int32_t count = g_iBrowserEntryCount;
    if (g_iFileListSel >= count)
        g_iFileListSel = std::max(count - 1, 0);
    g_iFileListFirst = std::min(g_iFileListFirst, std::max(Ed_FileListScrollMax(count), 0) * 4);
    g_iFileListFirst = std::min(g_iFileListFirst, g_iFileListSel / 4 * 4);
    SetScrollRange();
}

// Lists the folder again, keeping the selection within the new listing.
void Relist()
{
    Sys_ListDirectory();
    FitListToEntries();
}

void BrowseInto(const char *path)
{
    Sys_BrowseDirectory(path);
    g_iFileListSel = 0;
    g_iFileListFirst = 0;
    // A folder just entered has nothing chosen: a delete or load must not act on its entry 0.
    g_ucFileChosen = 0;
    DisableFileFields();
    SetScrollRange();
    std::snprintf(g_szSongAuthor, sizeof g_szSongAuthor, "%s", "Author");
    std::snprintf(g_szSongTitle, sizeof g_szSongTitle, "%s", "TONNIVELLE file");
}

bool IsFileEntry(int32_t i)
{
    return i >= 0 && i < g_iBrowserEntryCount && g_aBrowserEntries[i].pszName &&
           g_aBrowserEntries[i].uEntryType == BROWSERTYPE_FILE;
}

void ClosePlaylistPopup()
{
    Ed_PlaylistClosePopup();
}

void FocusList()
{
    s_ucReturnField = g_ucFileBrowserField;
    g_ucFileBrowserField = ED_FILE_LIST_FIELD;
}

// ---- Deleting ----

void DeleteAnswer(uint8_t button)
{
    if (button == 1 && IsFileEntry(g_iFileListSel)) {
        const std::string path = Ed_BrowserPath(g_aBrowserEntries[g_iFileListSel].pszName);
        if (path.empty() || !Sys_DeleteFile(path.c_str())) {
            Relist();
            Message("The file could not be deleted.");
            return;
        }
        Relist();
        DisableFileFields();
    }
    Ed_FileBrowserReturn();
}

void AskDelete()
{
    if (!IsFileEntry(g_iFileListSel)) {
        Sound(3);
        return;
    }
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(347);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 112;
    r.asButtonText[1] = 114;
    r.ucIcon = 2;
    r.pfnAnswer = DeleteAnswer;
    g_sFileMessage = r.pszText;
    Sys_CallLog(("Ed_FileMessage(" + g_sFileMessage + ")").c_str());
    Ui_OpenMessageBox(&r);
}

// ---- New folder ----

void FolderAccepted()
{
    const std::string name = s_szFolderName;
    const bool plain = !name.empty() && name.find_first_of("/\\") == std::string::npos && name != "." && name != "..";
    const std::string path = plain ? Ed_BrowserPath(name) : std::string();
    if (path.empty() || Sys_CreateDirectory(path.c_str()) != 0) {
        Message("The folder could not be made.");
        return;
    }
    BrowseInto(path.c_str());
    Ed_FileBrowserReturn();
}

void AskFolderName()
{
    s_szFolderName[0] = 0;
    TEXTENTRYREQUEST r{};
    r.x = 100;
    r.y = 90;
    r.maxLength = 21;
    r.titleText = 667;
    r.text = s_szFolderName;
    r.accept = FolderAccepted;
    r.cancel = Ed_FileBrowserReturn;
    if (!Ui_OpenTextEntry(&r))
        Sound(3);
}

// ---- Mixdown ----

void StartWav()
{
    const std::string path = Ed_BrowserPath(Ed_SafeFileTitle(g_szSongTitle) + ".wav");
    if (path.empty() || Sys_StartMixdown(path.c_str()) != 0) {
        Message("The WAV file could not be written.");
        return;
    }
    s_bMixdownStarted = true;
}

void WavOverwriteAnswer(uint8_t button)
{
    if (button == 1) { // "Cancel": the old file stays as it is
        Ed_FileBrowserReturn();
        return;
    }
    Ed_FileBrowserReturn();
    StartWav();
}

// A mixdown replaces the file it writes, so an existing WAV of that name is asked about first,
// as a song save asks.
void AskOverwriteAndStartWav()
{
    const std::string path = Ed_BrowserPath(Ed_SafeFileTitle(g_szSongTitle) + ".wav");
    if (path.empty() || !Sys_PathExists(path.c_str())) {
        StartWav();
        return;
    }
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(125);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 114;
    r.asButtonText[1] = 112;
    r.ucIcon = 2;
    r.pfnAnswer = WavOverwriteAnswer;
    g_sFileMessage = r.pszText ? r.pszText : "";
    Sys_CallLog(("Ed_FileMessage(" + g_sFileMessage + ")").c_str());
    Ui_OpenMessageBox(&r);
}

// ---- Choosing in the list ----

void ChooseEntry()
{
    const int32_t i = g_iFileListSel;
    if (i < 0 || i >= g_iBrowserEntryCount || !g_aBrowserEntries[i].pszName) {
        g_ucFileChosen = 0;
        Sound(3);
        return;
    }
    g_ucFileChosen = 1;
    Sound(0);
    const BROWSERENTRY &e = g_aBrowserEntries[i];
    if (e.uEntryType != BROWSERTYPE_FILE) {
        const std::string path = e.uEntryType == BROWSERTYPE_DOTFOLDER ? Ed_BrowserPath("..") : Ed_BrowserPath(e.pszName);
        BrowseInto(path.empty() ? e.pszName : path.c_str());
        return;
    }
    if (e.uKind == BROWSERKIND_SONG) {
        Enable(2, true);
        Enable(5, true);
        uint8_t preview[BROWSER_PREVIEW_BYTES] = {};
        uint32_t parts = 0;
        char author[32] = {};
        g_uFilePreviewMask = 0;
        if (Sys_ReadSongPreview(preview, i) == BROWSERKIND_SONG &&
            Seq_ReadSaveSummary(preview, sizeof preview, &parts, author) == 0)
            g_uFilePreviewMask = parts;
        for (int f = 8; f < ED_FILE_FIELDS; f++)
            Enable(f, (g_uFilePreviewMask & kIndicatorMask[f - 8]) != 0);
        std::snprintf(g_szSongAuthor, sizeof g_szSongAuthor, "%.32s", author);
    } else {
        Enable(2, true);
        Enable(5, false);
        for (int f = 8; f < ED_FILE_FIELDS; f++)
            Enable(f, false);
        g_uFilePreviewMask = 0;
        g_szSongAuthor[0] = 0;
    }
    Ed_CopyTitle(g_szSongTitle, e.pszName);
}

// Load or insert on the chosen entry.
void LoadChosen(int field)
{
    if (Disabled(field)) {
        Sound(3);
        return;
    }
    if (field == 5) // the song position after the grid cursor (positions run across the grid)
        g_iFileInsertRow = std::clamp(Ui_SongGridCursorPosition() + 1, 0, int32_t(g_uSongRowCount));
    else
        g_iFileInsertRow = -1;
    ClosePlaylistPopup();
    if (!g_ucFileChosen || !IsFileEntry(g_iFileListSel)) {
        g_ucFilePendingAction = 1;
        FocusList();
        return;
    }
    g_ucFileChosen = 0;
    const BROWSERENTRY &e = g_aBrowserEntries[g_iFileListSel];
    switch (e.uKind) {
    case BROWSERKIND_SONG:
        Ed_OpenLoadPopup();
        return;
    case BROWSERKIND_WAV:
    case BROWSERKIND_PCM:
        Ed_SampleLoadResult(Sys_LoadBrowserEntry(nullptr, g_iFileListSel, nullptr, 0));
        if (e.uKind == BROWSERKIND_WAV) {
            Enable(2, true);
            Enable(5, false);
        }
        return;
    case BROWSERKIND_BMP:
        Ed_ImageLoadResult(Sys_LoadBrowserEntry(nullptr, g_iFileListSel, nullptr, 0));
        return;
    default:
        Sound(3);
        return;
    }
}

void ScrollBarPress(WIDGET *bar)
{
    const int32_t part = Ui_ScrollBarStepAtPointer(reinterpret_cast<SCROLLBAR *>(bar));
    if (part < 0)
        Ed_FileListUp();
    else if (part > 0)
        Ed_FileListDown();
}

void RoleClick(int32_t event)
{
    if (event != UI_CLICK_PRESS || !g_pFileBrowserWindow)
        return;
    Ed_FileBrowserClick(g_sMouseX - g_pFileBrowserWindow->x, g_sMouseY - g_pFileBrowserWindow->y);
}

// ---- Drawing ----

void Text(const char *text, int32_t x, int32_t y, FONT *font, uint32_t colour = 0x808080, int align = GFX_TEXT_LEFT)
{
    Gfx_DrawTextInFont(text, x, y, font, colour, g_pOrderingTable, align);
}

void Image(int32_t n, int32_t x, int32_t y, uint8_t level)
{
    if (const IMAGEREC *im = Gfx_GetImage(n))
        Gfx_AddImageSprite(im, x, y, level, level, level);
}

int32_t EntryImage(const BROWSERENTRY &e)
{
    if (e.uEntryType == BROWSERTYPE_DOTFOLDER)
        return 115;
    if (e.uEntryType == BROWSERTYPE_FOLDER)
        return 114;
    switch (e.uKind) {
    case BROWSERKIND_SONG: return 136;
    case BROWSERKIND_WAV:
    case BROWSERKIND_PCM: return 135;
    case BROWSERKIND_BMP: return 110;
    default: return 136;
    }
}

bool WindowFocused()
{
    return g_pFileBrowserWindow && Ui_GetFocus() == g_pFileBrowserWindow;
}

} // namespace

int32_t Ed_FileListScrollMax(int32_t entries)
{
    return std::max(0, (entries - 1) / 4 - 2);
}

int32_t Ed_FileListEntryAt(int32_t x, int32_t y)
{
    // Half-open: x 346 is the scroll bar, not a fifth column.
    if (x < ED_FILE_LIST_X || x >= ED_FILE_LIST_X + 4 * ED_FILE_CELL_W || y < ED_FILE_LIST_Y ||
        y >= ED_FILE_LIST_Y + 3 * ED_FILE_CELL_H)
        return -1;
    return g_iFileListFirst + (x - ED_FILE_LIST_X) / ED_FILE_CELL_W + 4 * ((y - ED_FILE_LIST_Y) / ED_FILE_CELL_H);
}

void Ed_CopyTitle(char *out, const char *name)
{
    std::snprintf(out, ED_SONG_NAME, "%.32s", name ? name : "");
}

void Ed_OpenFileBrowser()
{
    Sys_CallLog("Ed_OpenFileBrowser");
    if (Ui_WindowIsOpen(g_pFileBrowserWindow))
        return;
    Gfx_SetFrameMode(3);
    WINDOWDESC d{};
    d.x = uint16_t(std::max<int32_t>(g_iScreenWidth / 2 - 181, 0));
    d.y = uint16_t(std::max<int32_t>(g_iScreenHeight / 2 - 133, 0));
    d.w = ED_FILE_WINDOW_W;
    d.h = ED_FILE_WINDOW_H;
    d.input = Ed_FileBrowserFrame;
    d.draw = Ed_FileBrowserDraw;
    g_pFileBrowserWindow = Ui_OpenWindow(&d);
    if (!g_pFileBrowserWindow) {
        Sound(3);
        return;
    }
    const int ids[ED_FILE_COMPONENTS] = {288, 289, 291, 292, 294, 288};
    for (int k = 0; k < ED_FILE_COMPONENTS; k++)
        g_atFileComponents[k].text = Ui_Text(ids[k]);
    Seq_FreeUndoLog();
    Ed_RegisterArchiveCard();
    Ui_SetBusyOperation(10, Ed_MergeLoadedSong, [] { Ed_LoadResult(g_iFileResult); });
    Ui_SetBusyOperation(11, [] {
        Seq_ReapplySampleEdits();
        return uint8_t(0);
    }, Ed_AfterSampleRebuild);
    g_ucFileBrowserMode = 0;
    Sys_BrowseDirectory(g_szBaseDir);
    g_iFileListSel = 0;
    g_iFileListFirst = 0;
    SCROLLBARDESC bar{SCROLLBAR_VERTICAL, 346, 26, 8, 150, 0, 0, 1, 0, nullptr, ScrollBarPress, ScrollBarPress};
    g_pFileListWidget = Ui_CreateScrollBar(&bar, g_pFileBrowserWindow);
    SetScrollRange();
    TEXTFIELDDESC cap{Ui_Text(27), 6, 7, 349, 14, g_pFileBrowserWindow, 0, 0, 128, TEXTFIELD_NO_ICON};
    s_pCaption = Ui_CreateTextField(&cap);
    Ui_SetWindowRole(UI_ROLE_FILE_BROWSER, g_pFileBrowserWindow, RoleClick);
    Ui_SetFocus(g_pFileBrowserWindow);
    g_iNextScreen = ED_FILE_SCREEN;
    g_ucFileBrowserField = 2;
    s_ucReturnField = 2;
    g_ucFileChosen = 0;
    g_ucFilePendingAction = 0;
    g_ucFileSaveState = 0;
    g_ucFileEditName = 0;
    g_iFileInsertRow = -1;
    s_iCursorFrame = 0;
    DisableFileFields();
    Enable(2, true); // with nothing chosen, "Load file" asks for a file
    Ed_UpdateMemoryUsage();
    Seq_UpdateSongSizes();
    Ui_SetMenuPage(31);
}

void Ed_OpenFileScreenFromToolbar()
{
    g_ucTopBarButton = 3;
    Ed_TopBarChoose();
}

void Ui_MarkBrowserListsDirty()
{
    Sys_CallLog("Ui_MarkBrowserListsDirty");
    s_bListDirty = true;
}

void Ed_FileBrowserFrame()
{
    if (s_bListDirty) {
        s_bListDirty = false;
        FitListToEntries();
    }
    Enable(1, g_uSongRowCount != 0);
    s_iCursorFrame++;
    if (s_bMixdownStarted && !g_bMixdownRunning) {
        s_bMixdownStarted = false;
        Relist();
    }
    if (g_ucFileEditName)
        s_ucBlink = uint8_t((s_ucBlink + 1) % 21);
    if (WindowFocused())
        Ed_SetPromptText(int32_t(g_atFileFields[g_ucFileBrowserField].label));
    Ed_FileBrowserPendingWork();
}

void Ed_FileBrowserDraw(void *)
{
    FONT *mainFont = &g_atUiFonts[0];
    FONT *altFont = &g_tFontAlt;
    const bool focused = WindowFocused();
    // Front to back: what is added first is drawn last.
    // The text panel.
    char dir[BROWSER_DIR_BYTES + 8];
    std::snprintf(dir, sizeof dir, "%s", g_szBrowserDir);
    // Keep the end of a long folder in view.
    const char *shown = dir;
    const size_t len = std::strlen(dir);
    if (len > 44)
        shown = dir + len - 44;
    FONT *const savedFont = g_pFont;
    g_pFont = mainFont;
    const int32_t labelW = std::max(Gfx_GetTextWidth(Ui_Text(107)), Gfx_GetTextWidth(Ui_Text(108))) + 16;
    g_pFont = savedFont;
    Text(Ui_Text(601), 12, 181, mainFont);
    Text(shown, 40, 181, mainFont);
    for (int k = 0; k < 2; k++) {
        const int32_t y = k == 0 ? 198 : 217;
        char text[ED_SONG_NAME + 2];
        const char *value = k == 0 ? g_szSongTitle : g_szSongAuthor;
        const bool editing = g_ucFileEditName == k + 1;
        std::snprintf(text, sizeof text, "%.32s%s", editing ? g_szTextEntry : value, editing && s_ucBlink >= 10 ? "_" : "");
        Text(Ui_Text(k == 0 ? 107 : 108), 10, y, mainFont);
        Text(text, 10 + labelW, y, mainFont, editing ? 0x808040 : 0x808080);
        Gfx_AddBevelBox(6 + labelW, y - 2, 233 - labelW, 14);
        Gfx_AddTile(7 + labelW, y - 1, 231 - labelW, 12, 16, 20, 28);
    }
    Gfx_AddBevelBox(9, 179, 344, 14);
    Gfx_AddTile(10, 180, 342, 12, 16, 20, 28);

    // The buttons.
    for (int f = 0; f < ED_FILE_FIELDS; f++) {
        if (f == ED_FILE_LIST_FIELD)
            continue;
        const FILEFIELD &ff = g_atFileFields[f];
        const bool lit = focused && g_ucFileBrowserField == f && f < 7;
        const uint8_t level = lit && g_iBlinkPhase < 6 ? 0x40 : 0x80;
        if (lit)
            Gfx_AddOutlineBox(ff.x - 2, ff.y - 2, ff.x + 25, ff.y + 25);
        // A field that cannot be used (or an indicator of a part the file lacks) is a dark plate.
        if (Disabled(f)) {
            Gfx_AddTile(ff.x + 1, ff.y + 1, 22, 22, 30, 34, 42);
            Gfx_AddTile(ff.x, ff.y, 24, 24, 44, 50, 60);
            continue;
        }
        Image(ff.image, ff.x, ff.y, level);
        if (ff.frameImage)
            Image(ff.frameImage, ff.x - 1, ff.y - 1, 0x80);
    }

    // The list.
    for (int cell = 0; cell < 12; cell++) {
        const int32_t i = g_iFileListFirst + cell;
        if (i >= g_iBrowserEntryCount || !g_aBrowserEntries[i].pszName)
            continue;
        const BROWSERENTRY &e = g_aBrowserEntries[i];
        const int32_t col = cell % 4, row = cell / 4;
        const int32_t cx = ED_FILE_LIST_X + col * ED_FILE_CELL_W, cy = ED_FILE_LIST_Y + row * ED_FILE_CELL_H;
        for (uint32_t line = 0; line < e.uLineCount && line < 3; line++)
            Text(e.aszLines[line], cx + ED_FILE_CELL_W / 2, cy + 27 + 7 * int32_t(line), altFont, 0x808080,
                 GFX_TEXT_CENTRED);
        const bool selected = i == g_iFileListSel && g_ucFileBrowserField == ED_FILE_LIST_FIELD;
        if (selected)
            Image(407 + (focused ? (s_iCursorFrame / 3) % 5 : 0), cx + 24, cy - 1, 0x80);
        Image(327, cx + 24, cy - 1, 0x80);
        if (const IMAGEREC *im = Gfx_GetImage(EntryImage(e)))
            Gfx_AddImageSprite(im, cx + 42 - im->width / 2, cy + 13 - im->height / 2, 0x80, 0x80, 0x80);
        if (selected)
            Gfx_AddTile(cx + 1, cy + 1, ED_FILE_CELL_W - 2, ED_FILE_CELL_H - 2, 28, 40, 60);
    }
    Gfx_AddBevelBox(9, 25, 345, 151);
    Gfx_AddTile(10, 26, 336, 150, 20, 24, 30);
}

void Ed_FileFieldUp()
{
    if (g_ucFileBrowserField == ED_FILE_LIST_FIELD) {
        Ed_FileListUp();
        return;
    }
    const uint8_t to = g_atFileFields[g_ucFileBrowserField].up;
    if (to == N) {
        Sound(3);
        return;
    }
    s_ucReturnField = g_ucFileBrowserField;
    g_ucFileBrowserField = to;
    Sound(2);
}

void Ed_FileFieldDown()
{
    if (g_ucFileBrowserField == ED_FILE_LIST_FIELD) {
        Ed_FileListDown();
        return;
    }
    const uint8_t to = g_atFileFields[g_ucFileBrowserField].down;
    if (to == N) {
        Sound(3);
        return;
    }
    g_ucFileBrowserField = to;
    Sound(2);
}

void Ed_FileFieldLeft()
{
    if (g_ucFileBrowserField == ED_FILE_LIST_FIELD) {
        if (g_iFileListSel % 4 == 0) {
            Sound(3);
            return;
        }
        g_iFileListSel--;
        Sound(2);
        return;
    }
    const uint8_t to = g_atFileFields[g_ucFileBrowserField].left;
    if (to == N) {
        Sound(3);
        return;
    }
    g_ucFileBrowserField = to;
    Sound(2);
}

void Ed_FileFieldRight()
{
    if (g_ucFileBrowserField == ED_FILE_LIST_FIELD) {
        if (g_iFileListSel % 4 == 3 || g_iFileListSel + 1 >= g_iBrowserEntryCount) {
            Sound(3);
            return;
        }
        g_iFileListSel++;
        Sound(2);
        return;
    }
    const uint8_t to = g_atFileFields[g_ucFileBrowserField].right;
    if (to == N) {
        Sound(3);
        return;
    }
    g_ucFileBrowserField = to;
    Sound(2);
}

void Ed_FileListUp()
{
    if (g_iFileListSel < 4) {
        if (g_ucFileBrowserMode == 3 && g_iArchiveFolder > 0) {
            Ed_ArchiveCardSelect(g_iArchiveFolder - 1);
            Ed_FileListArchive();
            Sound(2);
        } else {
            Sound(3);
        }
        return;
    }
    g_iFileListSel -= 4;
    if (g_iFileListSel < g_iFileListFirst)
        g_iFileListFirst = std::max(g_iFileListFirst - 4, 0);
    SetScrollRange();
    Sound(2);
}

void Ed_FileListDown()
{
    const int32_t max = Ed_FileListScrollMax(g_iBrowserEntryCount);
    if (g_iFileListSel + 4 < g_iBrowserEntryCount) {
        g_iFileListSel += 4;
        if (g_iFileListSel >= g_iFileListFirst + 12 && g_iFileListFirst / 4 < max)
            g_iFileListFirst += 4;
        SetScrollRange();
        Sound(2);
        return;
    }
    if (g_iFileListFirst / 4 < max) {
        g_iFileListFirst += 4;
        SetScrollRange();
        Sound(2);
        return;
    }
    Sound(3);
}

void Ed_FileBrowserBack()
{
    Sys_CallLog("Ed_FileBrowserBack");
    if (g_ucFileBrowserField == ED_FILE_LIST_FIELD) {
        g_ucFileBrowserField = s_ucReturnField == ED_FILE_LIST_FIELD ? 2 : s_ucReturnField;
        g_ucFilePendingAction = 0;
        Sound(1);
        return;
    }
    Seq_StartClock();
    Ed_CloseFileBrowser();
}

void Ed_FileBrowserJukeboxKey()
{
    if (g_bPlaylistPopupOpen)
        Ed_PlaylistRemoveLast();
    else
        Sound(3);
}

void Ed_FileBrowserCloseThenRun(void (*action)())
{
    Sys_CallLog("Ed_FileBrowserCloseThenRun");
    if (g_ucFileEditName) {
        Sys_EndTextEntry();
        g_ucFileEditName = 0;
        g_bJamKeyboardInput = 1;
    }
    Ed_PlaylistClosePopup();
    Ed_PlaylistReset();
    // Forgotten before the close: the action may open the screen again.
    WINDOW *w = g_pFileBrowserWindow;
    g_pFileBrowserWindow = nullptr;
    g_pFileListWidget = nullptr;
    s_pCaption = nullptr;
    Gfx_SetFrameMode(0);
    if (w && Ui_WindowIsOpen(w)) {
        w->onClose = action;
        Ui_CloseWindow(w);
    } else if (action) {
        action();
    }
}

void Ed_CloseFileBrowser()
{
    Sys_CallLog("Ed_CloseFileBrowser");
    if (g_ucFileEditName) {
        Sys_EndTextEntry();
        g_ucFileEditName = 0;
        g_bJamKeyboardInput = 1;
    }
    Ed_PlaylistClosePopup();
    if (g_pFileBrowserWindow && Ui_WindowIsOpen(g_pFileBrowserWindow)) {
        Ui_ForgetWindowRoles(g_pFileBrowserWindow);
        Ui_CloseWindow(g_pFileBrowserWindow);
    }
    g_pFileBrowserWindow = nullptr;
    g_pFileListWidget = nullptr;
    s_pCaption = nullptr;
    Gfx_SetFrameMode(0);
    g_ucTopBarButton = g_ucGridKind == 1 ? 1 : 0;
    // The grid is rebuilt for what was loaded; one still open is only given the focus back.
    if ((g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow)) || Ui_SetupGridScreen(g_ucGridKind == 1 ? 1 : 2)) {
        if (g_pGridWindow)
            Ui_SetFocus(g_pGridWindow);
        Ui_ReturnToEditorMenu();
    }
}

void Ed_FileBrowserReturn()
{
    g_ucFileSaveState = 0;
    g_ucFilePendingAction = 0;
    g_ucFileChosen = 0;
    if (!g_pFileBrowserWindow)
        return;
    g_iNextScreen = ED_FILE_SCREEN;
    Ui_SetFocus(g_pFileBrowserWindow);
}

void Ed_FileBrowserEditName(int32_t which)
{
    if (g_bTextEntryActive || which < 0 || which > 1) {
        Sound(3);
        return;
    }
    g_ucFileEditName = uint8_t(which + 1);
    char *target = which == 0 ? g_szSongTitle : g_szSongAuthor;
    std::snprintf(s_szEditBefore, sizeof s_szEditBefore, "%s", target);
    g_bJamKeyboardInput = 0;
    s_ucBlink = 0;
    auto copy = [] {
        char *t = g_ucFileEditName == 1 ? g_szSongTitle : g_szSongAuthor;
        if (g_ucFileEditName)
            std::snprintf(t, ED_SONG_NAME, "%.15s", g_szTextEntry);
    };
    Sys_BeginTextEntry(
        [] {
            char *t = g_ucFileEditName == 1 ? g_szSongTitle : g_szSongAuthor;
            if (g_ucFileEditName)
                std::snprintf(t, ED_SONG_NAME, "%.15s", g_szTextEntry);
            Sys_EndTextEntry();
            g_ucFileEditName = 0;
            g_bJamKeyboardInput = 1;
        },
        [] {
            char *t = g_ucFileEditName == 1 ? g_szSongTitle : g_szSongAuthor;
            if (g_ucFileEditName)
                std::snprintf(t, ED_SONG_NAME, "%s", s_szEditBefore);
            Sys_EndTextEntry();
            g_ucFileEditName = 0;
            g_bJamKeyboardInput = 1;
        },
        copy, 16, "");
}

void Ed_FileBrowserClick(int32_t x, int32_t y)
{
    if (g_ucFileEditName)
        return;
    const int32_t entry = Ed_FileListEntryAt(x, y);
    if (entry >= 0) {
        if (entry >= g_iBrowserEntryCount) {
            Sound(3);
            return;
        }
        g_iFileListSel = entry;
        if (g_ucFileBrowserField != ED_FILE_LIST_FIELD)
            s_ucReturnField = g_ucFileBrowserField;
        g_ucFileBrowserField = ED_FILE_LIST_FIELD;
        Ed_FileBrowserAccept();
        return;
    }
    if (y >= 235 && y < 263) {
        if (x >= 7 && x < 142) {
            g_ucFileBrowserField = uint8_t(2 + (x - 7) / 27);
            Ed_FileBrowserAccept();
        } else if (x >= 142 && x < 196) {
            g_ucFileBrowserField = uint8_t((x - 142) / 27);
            Ed_FileBrowserAccept();
        }
        return;
    }
    if (x >= 6 && x < 240) {
        if (y >= 196 && y < 211)
            Ed_FileBrowserEditName(0);
        else if (y >= 215 && y < 230)
            Ed_FileBrowserEditName(1);
    }
}

void Ed_FileBrowserAccept()
{
    Sys_CallLog("Ed_FileBrowserAccept");
    const int field = g_ucFileBrowserField;
    if (field != ED_FILE_LIST_FIELD && Disabled(field)) {
        Sound(3);
        return;
    }
    switch (field) {
    case 0:
        Sound(0);
        AskFolderName();
        return;
    case 1:
        // No click here: it would be mixed into the start of the file.
        AskOverwriteAndStartWav();
        return;
    case 2:
    case 5:
        LoadChosen(field);
        return;
    case 3:
        ClosePlaylistPopup();
        Sound(0);
        Ed_OpenSavePopup();
        return;
    case 4:
        ClosePlaylistPopup();
        if (!g_ucFileChosen || !IsFileEntry(g_iFileListSel)) {
            g_ucFilePendingAction = 3;
            Sound(0);
            FocusList();
            return;
        }
        AskDelete();
        return;
    case 6:
        Ed_FileJukeboxField();
        return;
    case ED_FILE_LIST_FIELD: {
        // While the jukebox is chosen the list shows the archive's songs: a choice adds one.
        if (Ed_FileJukeboxChoose())
            return;
        ChooseEntry();
        if (!g_ucFileChosen || !IsFileEntry(g_iFileListSel))
            return;
        // A button pressed before a file was chosen acts now.
        const uint8_t pending = g_ucFilePendingAction;
        g_ucFilePendingAction = 0;
        if (pending == 1) {
            g_ucFileBrowserField = 2;
            LoadChosen(2);
        } else if (pending == 3) {
            g_ucFileBrowserField = 4;
            AskDelete();
        }
        return;
    }
    default:
        Sound(3);
        return;
    }
}

void Ed_SampleLoadResult(int32_t ok)
{
    const char *name = IsFileEntry(g_iFileListSel) ? g_aBrowserEntries[g_iFileListSel].pszName : "";
    char text[MSGBOX_TEXT_COPY];
    if (ok && g_iBrowserLoadResult >= 0)
        std::snprintf(text, sizeof text, "%s (%.100s) %s #%d", Ui_Text(688), name, Ui_Text(689), g_iBrowserLoadResult);
    else
        std::snprintf(text, sizeof text, "%s (%.100s)", Ui_Text(687), name);
    Message(text);
}

void Ed_ImageLoadResult(int32_t ok)
{
    const char *name = IsFileEntry(g_iFileListSel) ? g_aBrowserEntries[g_iFileListSel].pszName : "";
    char text[MSGBOX_TEXT_COPY];
    if (ok && g_iBrowserLoadResult >= 0)
        std::snprintf(text, sizeof text, "%s (%.100s) %s #%d", Ui_Text(691), name, Ui_Text(692),
                      g_iBrowserLoadResult + 1);
    else
        std::snprintf(text, sizeof text, "%s (%.100s)", Ui_Text(690), name);
    Message(text);
}

std::string Ed_SafeFileTitle(const char *title)
{
    std::string t = title ? std::string(title, strnlen(title, 256)) : std::string();
    if (t.size() >= 4) {
        std::string end = t.substr(t.size() - 4);
        for (char &c : end)
            c = char(std::tolower(uint8_t(c)));
        if (end == ".tnv")
            t.resize(t.size() - 4);
    }
    for (char &c : t) {
        const uint8_t u = uint8_t(c);
        if (u < 32 || u == 127 || c == '/' || c == '\\')
            c = '_';
    }
    if (t.size() > 32)
        t.resize(32);
    if (t.empty())
        return "TONNIVELLE file";
    if (t.find_first_not_of('.') == std::string::npos)
        t = "_" + t.substr(0, 31);
    return t;
}

std::string Ed_BrowserPath(const std::string &name)
{
    std::string dir = g_szBrowserDir[0] ? g_szBrowserDir : g_szBaseDir;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    std::string path = dir + name;
    if (path.size() >= BROWSER_DIR_BYTES + 64 || name.empty())
        return std::string();
    return path;
}
