// The disk file browser: the table of rows the file screens draw, filled from the browser's own
// current folder; loads of a chosen row by its kind; file and folder deletes and new folders; the
// jam template scan; and the grid layout globals set at start-up.
//
// The process's working directory is never changed. The browser keeps its folder in
// g_szBrowserDir (an absolute host path) and relative paths given to the calls below are taken
// from there (from the process's starting folder while no folder has been shown yet).
// Failures leave a readable text in g_szErrorText. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

enum
{
    BROWSER_ROWS = 1024,
    BROWSER_DIR_BYTES = 260,
    BROWSER_LINE_CHARS = 12,
    BROWSER_LINE_BYTES = 260, // a line may hold a whole long word (a file name is at most 255)
    BROWSER_PREVIEW_BYTES = 512,
    JAMTEMPLATE_NAME_BYTES = 20,
};

// Row kinds. Only file rows are given one; folder, drive and ".." rows keep the cleared row's 0
// and are told apart by their entry type.
enum
{
    BROWSERKIND_SONG = 0, // ".tnv"
    BROWSERKIND_WAV = 1,
    BROWSERKIND_PCM = 2,  // raw 16-bit mono, 22050 Hz
    BROWSERKIND_BMP = 5,
};

// Row entry types.
enum
{
    BROWSERTYPE_FILE = 0,
    BROWSERTYPE_FOLDER = 1, // folder or drive
    BROWSERTYPE_DOTFOLDER = 2, // ".."
};

struct BROWSERENTRY
{
    uint32_t uKind;
    char *pszName; // owned copy, freed when the table is cleared
    void *pReserved;
    uint32_t uEntryType;
    uint32_t uSize; // low 32 bits of the file size
    void *apReserved[2];
    char aszLines[3][BROWSER_LINE_BYTES]; // the name as drawn in the list cell
    uint32_t uLineCount;
};

typedef void (*BROWSERDONEFN)(int32_t ok);

extern BROWSERENTRY g_aBrowserEntries[BROWSER_ROWS];
extern int32_t g_iBrowserEntryCount;
// Absolute host path of the folder shown; empty until the first browse.
extern char g_szBrowserDir[BROWSER_DIR_BYTES];
// 1 when the last song file read sat behind the "TVPC" tag.
extern int32_t g_bTaggedSongFile;
// Slot of the last audio or image load, -1 when it failed.
extern int32_t g_iBrowserLoadResult;
// Rows filled by the last template scan.
extern int32_t g_iJamTemplateCount;

// Makes path (absolute, or relative to the folder shown) the browser's folder and lists it. A
// path that cannot be shown (missing, not a folder, unreadable, longer than the 259 characters
// g_szBrowserDir holds) leaves the folder as it was and lists that again; when that folder is
// gone too, the nearest folder above it that still exists is shown. 0, or -1 when path was not
// entered. The browser's list views are marked for redraw either way.
int32_t Sys_BrowseDirectory(const char *path);
// Refills the table from g_szBrowserDir: ".." first (except at the root), then folders and the
// files the studio loads (".tnv", ".wav", ".pcm", ".bmp"), in name order without regard to case,
// at most BROWSER_ROWS rows. Hidden (dot) names are left out. The row count.
int32_t Sys_ListDirectory();
// Frees the rows' texts and empties the table.
void Sys_ClearBrowserEntries();
// Splits name into display lines (upper case, words wrapped onto lines of 12 characters; a word
// that does not fit starts the next line, and is never broken, so the first word stays whole on
// line 1 whatever its length; a third line is cut to 8 characters and "..."). The line count.
uint32_t Sys_BuildDisplayLines(const char *name, char lines[3][BROWSER_LINE_BYTES]);

// Loads row index by its kind: a song file's data from behind its save header into buffer (at
// most capacity bytes); a ".bmp" into a user image slot, a ".pcm" or ".wav" into an instrument
// (the slot in g_iBrowserLoadResult). Calls done(ok) when given and returns ok (1 or 0). A song
// file that is missing, shorter than its header, has no valid header, no data or more data than
// capacity is refused with buffer untouched.
int32_t Sys_LoadBrowserEntry(void *buffer, int32_t index, BROWSERDONEFN done, size_t capacity);
// Reads the BROWSER_PREVIEW_BYTES that follow a song file's header into buffer (zeros past the
// end of a short file) and sets g_bTaggedSongFile: 0. Returns 2 when the row's file cannot be
// read as a song file (buffer untouched: also for folder, drive and ".." rows, whose kind is 0)
// and the row's kind for rows of other kinds.
int32_t Sys_ReadSongPreview(void *buffer, int32_t index);

// Each takes an absolute path or one relative to the browser's folder.
// 1 when something is there under that name, else 0.
int32_t Sys_PathExists(const char *path);
// Deletes a file (never a folder). 1 when deleted, 0 when not.
int32_t Sys_DeleteFile(const char *path);
// Removes an empty folder. 0, or -1.
int32_t Sys_RemoveDirectory(const char *path);
// Makes a new folder. 0, or -1 (also when the name is taken).
int32_t Sys_CreateDirectory(const char *path);

// Lists the data folder's "Templates" folder: each "*.jam" file (extension in any case) gives a
// row of table (its name without the extension, cut to 19 characters) and its g_abWadEntryEmpty
// byte: 1 when the file is longer than g_iMaxTemplateSize outside a single-player jam, else 0.
// At most rows rows. Sets and returns g_iJamTemplateCount.
int32_t Sys_ScanJamTemplates(char (*table)[JAMTEMPLATE_NAME_BYTES], int32_t rows);

// Grid and panel layout read by the video, interface and editor screens.
extern int32_t g_iGridRows;
extern int32_t g_iGridColumns;
extern int32_t g_iGridCellWidth;
extern int32_t g_iGridCellHeight;
extern int32_t g_iGridPanelX;
extern int32_t g_iGridPanelY;
extern int32_t g_iGridPanelWidth;
extern int32_t g_iGridPanelHeight;
extern int32_t g_iVideoPanelX;
extern int32_t g_iVideoPanelY;
extern int32_t g_iVideoPanelWidth;
extern int32_t g_iVideoPanelHeight;
extern int32_t g_iGridBorder;
extern int32_t g_iGridTop;
extern int32_t g_iGridLeft;
// Four more layout values the screens share: 50, 50, 260, 240.
extern int32_t g_aiGridLayoutMisc[4];
void Sys_SetGridLayout();
