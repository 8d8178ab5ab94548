// The file screen (screen 11): browsing the user's folders, saving the song, loading a song or
// parts of it, inserting a song at the grid cursor, loading samples and pictures, deleting files,
// making folders and mixing the song down to a WAV file; and the song save and load it runs.
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WINDOW;
struct SCROLLBAR;
struct TEXTFIELD;
struct POPUP;

// The song's title and author as the file screen shows and saves them (32 characters each); the
// title is also the file name of a save.
constexpr int ED_SONG_NAME = 33;
extern char g_szSongTitle[ED_SONG_NAME];
extern char g_szSongAuthor[ED_SONG_NAME];

constexpr int ED_FILE_FIELDS = 15;
constexpr int ED_FILE_LIST_FIELD = 7;
constexpr int ED_FILE_COMPONENTS = 6;
constexpr int32_t ED_FILE_WINDOW_W = 362, ED_FILE_WINDOW_H = 266;
constexpr int32_t ED_FILE_SCREEN = 11;
// The list: three rows of four cells of 84 x 50 from (10, 26).
constexpr int32_t ED_FILE_CELL_W = 84, ED_FILE_CELL_H = 50, ED_FILE_LIST_X = 10, ED_FILE_LIST_Y = 26;

// Presence bits of a song file's chunks (bit t - 1 for chunk type t) that the indicators show.
enum : uint32_t
{
    FILEMASK_INSTRUMENTS = 0x80,
    FILEMASK_RIFFS = 0x600, // new riffs (RI) and old ones
    FILEMASK_JAM_TEMPLATE = 0x800,
    FILEMASK_JAM_SONG = 0x2000,
    FILEMASK_SONG = 0x4000,
    FILEMASK_CLIPS = 0x10000,
    FILEMASK_VIDEO = 0x20000,
};

struct FILEFIELD
{
    int16_t x, y;
    int16_t image, greyImage, frameImage;
    uint8_t up, down, left, right; // 255: none
    uint32_t flags;                // bit 0 disabled
    uint32_t label;                // language text
};

// A row of the component pop-ups and of the riff and clip lists: bit 0 enabled, bit 1 ticked.
struct FILECOMPONENT
{
    const char *text;
    uint16_t icon;
    uint8_t flags;
};
enum : uint8_t
{
    FILEROW_ENABLED = 1,
    FILEROW_TICKED = 2,
};
// Rows of g_atFileComponents: 0, 1 the save pop-up's; 2..5 the load pop-up's.
enum
{
    FILECOMP_SAVE_SONG = 0,
    FILECOMP_SAVE_VIDEO = 1,
    FILECOMP_LOAD_CLIP = 2,
    FILECOMP_LOAD_SHOW = 3,
    FILECOMP_LOAD_RIFF = 4,
    FILECOMP_LOAD_SONG = 5,
};

// Results of a load.
enum : int32_t
{
    FILELOAD_ERROR = 0,
    FILELOAD_OK = 1,
    FILELOAD_NO_MEMORY = 2,
};

extern WINDOW *g_pFileBrowserWindow;
extern SCROLLBAR *g_pFileListWidget;
extern FILEFIELD g_atFileFields[ED_FILE_FIELDS];
extern FILECOMPONENT g_atFileComponents[ED_FILE_COMPONENTS];
extern uint8_t g_ucFileBrowserField;
extern uint8_t g_ucFileBrowserMode; // 3: the list shows the archive card
// The selected entry of the browser table; a whole int, so folders of more than 256 entries act
// on the entry the user chose.
extern int32_t g_iFileListSel;
extern int32_t g_iFileListFirst;   // first visible entry, a multiple of 4
extern uint8_t g_ucFileSaveState;  // 2 while a save is written
extern uint8_t g_ucFilePendingAction; // 1 load, 3 delete, 5 jukebox
extern uint8_t g_ucFileChosen;     // 1 once the user picked an entry of the list
extern int32_t g_iFileInsertRow;   // -1 load the whole song; else the grid row an insert starts at
extern int32_t g_iFileResult;      // of the last load: FILELOAD_*
extern uint32_t g_uFilePreviewMask; // chunk presence of the chosen song file
extern uint8_t g_ucFileEditName;   // 0 none, 1 the title, 2 the author is being typed
// The riffs and clips of the file being loaded and which of them are ticked. A list that was not
// offered leaves its selection empty, which takes every item of its kind.
extern std::vector<std::string> g_vFileRiffNames, g_vFileClipNames;
extern std::vector<uint8_t> g_vFileRiffTicks, g_vFileClipTicks;
// The last message the screen showed (for the log and tests).
extern std::string g_sFileMessage;

void Ed_OpenFileBrowser();
// The top bar's "Load and Save" pressed: the grid closes, then the screen opens.
void Ed_OpenFileScreenFromToolbar();
void Ed_FileBrowserFrame();
void Ed_FileBrowserDraw(void *user);
void Ed_FileBrowserAccept();
void Ed_FileBrowserBack();
void Ed_FileBrowserJukeboxKey();
void Ed_FileFieldUp();
void Ed_FileFieldDown();
void Ed_FileFieldLeft();
void Ed_FileFieldRight();
void Ed_FileListUp();
void Ed_FileListDown();
void Ed_CloseFileBrowser();
// Closes the screen for another section: the text entry and play list are dropped and the action
// runs once the window is gone.
void Ed_FileBrowserCloseThenRun(void (*action)());
void Ed_FileBrowserReturn();
void Ed_FileBrowserEditName(int32_t which);
void Ed_SampleLoadResult(int32_t ok);
void Ed_ImageLoadResult(int32_t ok);
// A left press in the window at window-relative (x, y).
void Ed_FileBrowserClick(int32_t x, int32_t y);
// The scroll bar's maximum for a number of entries.
int32_t Ed_FileListScrollMax(int32_t entries);
// The entry under window-relative (x, y) of the list, -1 outside it.
int32_t Ed_FileListEntryAt(int32_t x, int32_t y);

// ---- Song save and load ----
void Ed_OpenSavePopup();
void Ed_OpenLoadPopup();
void Ed_AskOverwriteAndSave();
void Ed_SaveSong(uint8_t button);
void Ed_LoadChosenFile();
void Ed_AfterFileRead(int32_t ok);
uint8_t Ed_MergeLoadedSong();
void Ed_LoadResult(int32_t result);
void Ed_AfterSampleRebuild();
// The per-frame work the file screen owes the load: the list pop-up asked for, the sample rebuild.
void Ed_FileBrowserPendingWork();
// The browser table was filled again (a folder was listed): the next frame of the screen keeps the
// selection and the first row shown within the new listing and resets the list's scroll bar.
void Ui_MarkBrowserListsDirty();
// What a component pop-up does with a chosen row (kinds 8, 9, 12 and 13). False for other kinds.
bool Ed_FilePopupChoose(POPUP *p);
// "Set all on" and "Set all off" of the component pop-ups (and the riff and clip lists): tick or
// clear every row that can be chosen; and their menu rows' installer.
void Ui_PopupSelectAll();
void Ui_PopupSelectNone();
void Ed_InstallFilePopupItems();

// ---- Names and paths ----
// The file name a title saves under: control characters, '/' and '\' become '_', a name of only
// dots gets a '_' in front (it would name the folder or its parent), an ending ".tnv" in any case
// is dropped, and an empty title is "TONNIVELLE file". At most 32 characters.
std::string Ed_SafeFileTitle(const char *title);
// The folder shown joined with name (which must be a plain name). Empty when the result would not
// fit a path.
std::string Ed_BrowserPath(const std::string &name);
// Copies a listed name into a 33-byte title, cut to 32 characters.
void Ed_CopyTitle(char *out, const char *name);

// ---- The archive card (card 3) ----
extern int32_t g_iArchiveFolder;
extern int32_t g_iArchiveFolderCount;
void Ed_ArchiveCardList(uintptr_t cardState);
void Ed_ArchiveCardRead(uintptr_t request);
int32_t Ed_ArchiveCardSelect(int32_t n);
// Registers the two handlers with the event registry; the removal undoes it.
void Ed_RegisterArchiveCard();
void Ed_UnregisterArchiveCard();
