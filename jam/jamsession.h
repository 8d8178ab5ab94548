// The jam session: entering and leaving a jam, setting the song aside while it runs, the start
// state machine that lets all players begin together, the position check of a network jam and
// the jam log.
//
// Threads. Start, end, the start step and the box callbacks run on the main thread. The start
// message and the position check come from the network side on the jam step (under the jam
// lock); they only store atomics here, and anything they want shown (the start box) is opened
// by the next start step on the main thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "jam/jamnet.h"

struct WINDOW;
struct MSGBOX;

// Start states.
enum : int32_t
{
    JAM_START_IDLE = 0,
    JAM_START_REQUESTED = 1,
    JAM_START_WAITING = 2,
    JAM_START_NOW = 3,
    JAM_START_RUNNING = 4,
};

// When the jam starts. The time alone cannot say "not known" or "at once": 0 and 0xFFFFFFFF
// are both real clock values, so the kind is kept beside it.
enum : int32_t
{
    JAM_SYNC_UNKNOWN = 0,
    JAM_SYNC_AT_ONCE = 1,
    JAM_SYNC_AT_TIME = 2,
};

// What ending the jam did with the song.
enum : int32_t
{
    JAM_RESTORE_NONE = 0,     // no jam ended yet
    JAM_RESTORE_OK = 1,       // the song from before the jam is back
    JAM_RESTORE_NOT_SAVED = 2, // this jam could not set the song aside: the current song is kept
    JAM_RESTORE_MISSING = 3,  // the backup went missing or was changed: the current song is kept
    JAM_RESTORE_BROKEN = 4,   // the backup did not load: the current song is kept
};

constexpr const char *JAM_BACKUP_FILE = "SONGBACKUP.DAT";
constexpr const char *JAM_BACKUP_AUTHOR = "I EAT POO";
constexpr uint32_t JAM_BACKUP_PARTS = 0x24000;
constexpr uint32_t JAM_RESTORE_MASK = 0x8003C7F0;
constexpr int32_t JAM_LOG_LINES = 32;
constexpr int32_t JAM_LOG_CHARS = 256;
constexpr int32_t JAM_DEFAULT_TEMPO = 130;

extern std::atomic<int32_t> g_bJamSessionOn;
extern int32_t g_bJamSinglePlayer;
extern std::atomic<int32_t> g_iJamStartState;
extern std::atomic<int32_t> g_iJamSyncKind;
extern std::atomic<uint32_t> g_uiJamSyncTime;
extern std::atomic<uint32_t> g_uiJamStartTime;
extern std::atomic<int32_t> g_bJamKeysActive;
extern std::atomic<int32_t> g_bJamKeyboardInput;
extern int32_t g_iJamTempo;
extern std::atomic<int32_t> g_iJamTickLen;
extern int32_t g_iJamSelectedPlayer;
extern WINDOW *g_pJamWindow;
extern WINDOW *g_pJamLogWindow;
extern MSGBOX *g_pJamStartBox;
extern char g_aszJamLog[JAM_LOG_LINES][JAM_LOG_CHARS];
extern int32_t g_iJamRestoreResult;

// The program's own jam: its player blocks and command lists.
extern JAMNET g_JamNet;

// The seven running values of the sequencer clock, in the order a position report carries them.
struct JAMCLOCK
{
    int32_t aiWide[4];
    uint8_t aucNarrow[3];
};
// This program's clock at its last phrase start.
extern JAMCLOCK g_JamPhraseClock;
void Jam_ReadSeqClock(JAMCLOCK *out);
// Called by the tick at each phrase start (under the mix lock).
void Jam_SnapshotPhraseClock();

// ---- Session ----
void Jam_StartSession();
// 0 keeps the jam (the "no" of the end box); anything else ends it.
void Jam_EndSession(int32_t really);
void Jam_AskEndSession();
void Jam_EndFromBox(uint8_t button);
void Jam_QuitProgram();

// ---- Start synchronisation ----
void Jam_OnStartMessage();
void Jam_StartStep();
void Jam_WaitForStartTime();
// The network side's answer: the jam starts at `ms` on this program's clock.
void Jam_SetSyncTime(uint32_t ms);
// The jam list closed or a library template was chosen while nothing has started.
void Jam_OnJamListClosed();
void Jam_CheckPosition(int32_t reportedStep, const JAMCLOCK &reported);
void Jam_SetTempoTick();
// Phrase length in milliseconds at the jam tempo.
int32_t Net_PhraseLengthMs();

// ---- The song set aside ----
// Where the backup lives: the writable data folder (empty when there is none).
std::string Jam_BackupPath();
// 0 written, -1 not (the jam goes on; its end then keeps the current song).
int32_t Jam_SaveSongBackup();
// One of JAM_RESTORE_*.
int32_t Jam_RestoreSongBackup();

// ---- Players ----
void Jam_ResetPlayer(int32_t player);
void Jam_ResetLocalAndCloseMenu();

// ---- Log ----
void Jam_LogLine(const char *text);
// Copies log line `row` (1..31) under the log's lock: the jam step writes the log.
void Jam_CopyLogLine(int32_t row, char *out, size_t size);
void Jam_ClearLog();

// The jam window's frame handler and its log window are the jam screen's (jam/jamscreen.h).

// ---- Templates in a network jam ----
// Keeps a copy for the exchange and sends it to the server. 0, or -1.
int32_t Jam_SendTemplateData(const void *data, size_t length);
