// The jukebox (saved songs played one after another, full screen with their videos, from the
// file screen's "Jukebox") and the idle demo (a prepared song of the archive played when the
// studio sits idle and empty). Both load through the busy box and play in a borderless window
// over the whole screen; grid kind 5 marks that one of them plays. Main thread only.
#pragma once

#include <cstdint>

struct WINDOW;

// A song on a card: source bits 0-3 the slot, bits 4-5 the card (1..3), bits 6-15 the folder
// (card 3: the archive folder). The idle demo's entries hold an entry number of the first
// "/PERF" folder instead (the folder's header entry being 0).
struct PLAYLISTENTRY
{
    uint16_t source;
    char name[32];
};

constexpr int32_t ED_PLAYLIST_MAX = 100;
constexpr uint8_t ED_GRIDKIND_PLAYING = 5;
constexpr int32_t ED_PLAYLIST_SCREEN = 60, ED_PLAYLIST_STOP_SCREEN = 61;
constexpr int32_t ED_PLAYLIST_POPUP_KIND = 14;
constexpr int32_t ED_PLAYLIST_BUSY_CODE = 27, ED_ATTRACT_BUSY_CODE = 26;
// Load states.
enum : uint8_t
{
    PLAYLIST_IDLE = 1,
    PLAYLIST_READING = 2,
    PLAYLIST_LOADED = 4,
};
// Play flags.
enum : uint8_t
{
    PLAYLIST_PAUSED = 1,
    PLAYLIST_STOP_ASKED = 2,
};

struct PLAYLIST
{
    PLAYLISTENTRY entries[ED_PLAYLIST_MAX];
    int32_t count;
    int32_t index; // the next item to load
    uint8_t loadState;
    int32_t endRow;
    uint8_t running;
    uint8_t presentCards; // bit 0 card 1, bit 1 card 2, taken at start
    uint8_t removedCards; // set by the card layer when a card present at start goes
    uint8_t playFlags;
};
extern PLAYLIST g_tPlaylist;
extern WINDOW *g_pPlaylistWindow;
extern uint8_t g_bPlaylistPopupOpen;
// The song of the last item's load, for the log and tests: its name, and the load result.
extern char g_szPlaylistPlaying[32];

uint16_t Ed_PlaylistSource(int32_t card, int32_t folder, int32_t slot);
void Ed_PlaylistReset();
void Ed_PlaylistOpenPopup();
void Ed_PlaylistClosePopup();
// Row callback of the pop-up: op 1 first row, 2 next, 4 previous; rows outside 1..count give
// an empty text. The row's number is written into the row.
void Ed_PlaylistRowText(int32_t op, int32_t number, void *row, void *user);
// 0, or -1 with sound 3 when the list is full.
int32_t Ed_PlaylistAdd(int32_t card, int32_t folder, int32_t slot, const char *name);
void Ed_PlaylistRemoveLast();
void Ed_PlaylistRemoveCard(int32_t card);
void Ed_PlaylistStart();
void Ed_PlaylistStartNow();
void Ed_PlaylistNextItem();
uint8_t Ed_PlaylistLoadItem();
void Ed_PlaylistItemLoaded(int32_t ok);
void Ed_PlaylistPlay();
void Ed_PlaylistTick();
void Ed_PlaylistAdvance();
void Ed_PlaylistEndStep();
// Pad handlers of screens 60 and 61.
void Ed_PlaylistStop();
void Ed_PlaylistResume();
void Ed_PlaylistEnd();
void Ed_PlaylistNext();
void Ed_PlaylistPrevious();
void Ed_PlaylistPause();

// ---- The file screen's side: the list shows the archive card while the jukebox is chosen ----
// "Jukebox" pressed: opens the list (showing the archive's songs), or starts it when open.
void Ed_FileJukeboxField();
// An entry of the archive listing chosen: added to the list. True when the choice was the
// jukebox's (the file screen then does nothing more with it).
bool Ed_FileJukeboxChoose();
// Lists the current archive folder in the browser table (mode 3).
void Ed_FileListArchive();

// Draws the song's video over the whole screen (the demo's and the play list's window).
void Ed_DrawSongVideo(void *user);
// The draw callbacks of the play window and the demo window: the full-screen video.
extern void (*g_pfnPlaylistDraw)(void *user);
extern void (*g_pfnAttractDraw)(void *user);

// ---- The idle demo ----
struct DEMOLIST
{
    uint16_t count;
    int32_t entry; // archive entry of the demo being started
    const PLAYLISTENTRY *entries;
};
extern DEMOLIST g_tDemoList;
extern int32_t g_iAttractEndRow;
extern WINDOW *g_pAttractWindow;
// Frames of g_iFrameCount without activity before the demo starts.
constexpr int32_t ED_ATTRACT_TIMEOUT = 4000;
// The frame of the last pad, key or mouse activity; every input handler stamps it.
extern int32_t g_iAttractLastActivity;

void Ed_AttractTick();
void Ed_AttractStartDemo();
uint8_t Ed_AttractLoadDemo();
void Ed_AttractExitToMenu();
void Ed_AttractBegin();
void Ed_AttractFrame();
void Ed_AttractExit();
void Ed_AttractFreeDemoList();
int32_t Ed_IsButtonDown();
// The reset the demo and the jukebox share: ends a jam, closes every window and pop-up, clears
// the message boxes and the screens' window references.
void Ed_ResetWindows();
// Replaces the song with a song image of the console layout (no tag, no save header): 0, or the song
// file's load result (the song is then empty).
int32_t Ed_LoadPreparedImage(const uint8_t *image, uint32_t size);
