#include "jam/jamsession.h"
#include "jam/jamrecord.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "app/cmdline.h"
#include "app/startup.h"
#include "app/timers.h"
#include "audio/midiin.h"
#include "audio/mixer.h"
#include "audio/plugin.h"
#include "core/browser.h"
#include "core/file.h"
#include "core/mixlock.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "jam/jaminput.h"
#include "jam/jamseq.h"
#include "jam/jamwire.h"
#include "jam/netcommand.h"
#include "jam/netsession.h"
#include "jam/jamscreen.h"
#include "jam/jamplay.h"
#include "jam/jamsound.h"
#include "platform/backend.h"
#include "platform/paths.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/screentiles.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/widgets.h"
#include "video/lanes.h"

std::atomic<int32_t> g_bJamSessionOn{0};
int32_t g_bJamSinglePlayer = 0;
std::atomic<int32_t> g_iJamStartState{JAM_START_IDLE};
std::atomic<int32_t> g_iJamSyncKind{JAM_SYNC_UNKNOWN};
std::atomic<uint32_t> g_uiJamSyncTime{0};
std::atomic<uint32_t> g_uiJamStartTime{0};
std::atomic<int32_t> g_bJamKeysActive{0};
std::atomic<int32_t> g_bJamKeyboardInput{0};
int32_t g_iJamTempo = JAM_DEFAULT_TEMPO;
std::atomic<int32_t> g_iJamTickLen{12000 / JAM_DEFAULT_TEMPO};
int32_t g_iJamSelectedPlayer = JAM_LOCAL_PLAYER;
WINDOW *g_pJamWindow;
WINDOW *g_pJamLogWindow;
MSGBOX *g_pJamStartBox;
char g_aszJamLog[JAM_LOG_LINES][JAM_LOG_CHARS];
int32_t g_iJamRestoreResult = JAM_RESTORE_NONE;
JAMNET g_JamNet;
JAMCLOCK g_JamPhraseClock;

namespace {

std::atomic<int32_t> s_iPhraseMs{960000 / JAM_DEFAULT_TEMPO};
// Set by the start message from the jam step; the next start step opens the box.
std::atomic<int32_t> s_bStartBoxWanted{0};
std::mutex s_logLock;
std::atomic<bool> s_bLogChanged{false};

// What this jam set aside: only that file is read back at its end, so a backup left by an
// earlier jam is never taken for this one.
struct BACKUPMARK
{
    bool bWritten = false;
    size_t uSize = 0;
    uint64_t uHash = 0;
};
BACKUPMARK s_backup;

// Template copy kept for the exchange.
std::vector<uint8_t> s_templateData;

uint64_t Fnv1a(const uint8_t *p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

void LogFormatted(const char *format, int32_t a, int32_t b)
{
    char line[JAM_LOG_CHARS];
    std::snprintf(line, sizeof line, format, a, b);
    Jam_LogLine(line);
}

// The defaults of a player's settings: levels and pans centred, riff volumes 128, octave 5,
// bend range 12, no plug-in slot.
void ResetBlockSettings(JAMPLAYER &p)
{
    p = JAMPLAYER{};
    for (auto &v : p.auLevel) v = 128;
    for (auto &v : p.auPan) v = 128;
    for (auto &v : p.auRiffVolume) v = 128;
    for (auto &k : p.aKeyboard) k.uOctave = 5;
    p.uBendRange = 12;
    for (auto &v : p.aiReserved) v = -1;
    p.iPluginSlot = -1;
}

void TellUser(const char *text)
{
    MSGBOXREQUEST r{};
    r.pszText = text;
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    r.ucFlags = MSGBOX_COPY_TEXT;
    Ui_OpenMessageBox(&r);
}

void AnswerEndBox(uint8_t button) { Jam_EndSession(button); }

void OpenStartBox()
{
    static char text[JAM_LOG_CHARS];
    std::snprintf(text, sizeof text, "%s                  ", Ui_Text(664));
    MSGBOXREQUEST r{};
    r.pszText = text;
    r.ucButtonCount = 1;
    r.asButtonText[0] = 112;
    r.ucFlags = 0x11;
    r.pfnAnswer = Jam_EndFromBox;
    g_pJamStartBox = Ui_OpenMessageBox(&r);
    if (g_pJamStartBox)
        g_pJamStartBox->pszText = Ui_Text(664);
}

void CloseStartBox()
{
    if (!g_pJamStartBox)
        return;
    g_pJamStartBox->pfnAnswer = nullptr;
    g_pJamStartBox->pfnUserAnswer = nullptr;
    Ui_CloseMessageBox(g_pJamStartBox);
    g_pJamStartBox = nullptr;
    g_bBackgroundDirty = 1;
}

} // namespace

// ---- Clock ----

void Jam_ReadSeqClock(JAMCLOCK *out)
{
    std::lock_guard<std::recursive_mutex> hold(g_csMix);
    out->aiWide[0] = g_iStepAccum;
    out->aiWide[1] = g_iFineAccum;
    out->aiWide[2] = g_iSubStep;
    out->aiWide[3] = g_iFineStep;
    out->aucNarrow[0] = g_ucQuarterPhase;
    out->aucNarrow[1] = g_ucStepCount16.load();
    out->aucNarrow[2] = g_ucBeatStep;
}

void Jam_SnapshotPhraseClock()
{
    Jam_ReadSeqClock(&g_JamPhraseClock);
}

void Jam_SetTempoTick()
{
    // A tempo outside the jam's range (a broken setting or message) must not divide by zero.
    if (g_iJamTempo < 40)
        g_iJamTempo = 40;
    if (g_iJamTempo > 240)
        g_iJamTempo = 240;
    g_iJamTickLen = 12000 / g_iJamTempo;
    s_iPhraseMs = 960000 / g_iJamTempo;
}

int32_t Net_PhraseLengthMs() { return s_iPhraseMs; }

// ---- Log ----

void Jam_LogLine(const char *text)
{
    {
        std::lock_guard<std::mutex> hold(s_logLock);
        for (int32_t i = 1; i < JAM_LOG_LINES - 1; ++i)
            std::memcpy(g_aszJamLog[i], g_aszJamLog[i + 1], JAM_LOG_CHARS);
        std::snprintf(g_aszJamLog[JAM_LOG_LINES - 1], JAM_LOG_CHARS, "%s", text ? text : "");
        // A copy of every line for tests that run the studio as a program: appended and flushed
        // line by line, so a run that is killed still leaves what it logged.
        if (const char *path = Plat_GetEnv("TNV_JAM_LOG"); path && *path)
            if (FILE *f = std::fopen(path, "a")) {
                std::fprintf(f, "%s\n", g_aszJamLog[JAM_LOG_LINES - 1]);
                std::fclose(f);
            }
    }
    // The jam step logs from its own thread; the list widget is the main thread's, which
    // refreshes it at its next frame.
    s_bLogChanged = true;
}

void Jam_CopyLogLine(int32_t row, char *out, size_t size)
{
    std::lock_guard<std::mutex> hold(s_logLock);
    std::snprintf(out, size, "%s", g_aszJamLog[row]);
}

void Jam_ClearLog()
{
    std::lock_guard<std::mutex> hold(s_logLock);
    std::memset(g_aszJamLog, 0, sizeof g_aszJamLog);
}

// ---- The song set aside ----

std::string Jam_BackupPath()
{
    const std::string dir = Plat_UserDataDir();
    return dir.empty() ? std::string() : dir + "/" + JAM_BACKUP_FILE;
}

int32_t Jam_SaveSongBackup()
{
    s_backup = BACKUPMARK{};
    // The backup is a tagged image whatever layout the song came from.
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 1;
    const std::vector<uint8_t> image = Seq_SaveSongImage(JAM_BACKUP_PARTS, JAM_BACKUP_AUTHOR);
    g_bTaggedSongFile = tagged;
    const std::string path = Jam_BackupPath();
    if (image.empty() || path.empty())
        return -1;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    FILE *f = Sys_OpenFileWrite(path.c_str(), 1, 0);
    if (!f)
        return -1;
    if (Sys_WriteFile(f, image.data(), (int)image.size()) != (int)image.size()) {
        Sys_DiscardFile(f);
        return -1;
    }
    if (Sys_CloseFile(f) != 0)
        return -1;
    s_backup.bWritten = true;
    s_backup.uSize = image.size();
    s_backup.uHash = Fnv1a(image.data(), image.size());
    return 0;
}

namespace {

// Reads back the file this jam wrote. JAM_RESTORE_OK with its bytes, or why not.
int32_t ReadBackup(std::vector<uint8_t> *out)
{
    if (!s_backup.bWritten)
        return JAM_RESTORE_NOT_SAVED;
    std::ifstream in(Jam_BackupPath(), std::ios::binary);
    if (!in)
        return JAM_RESTORE_MISSING;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || (size_t)size != s_backup.uSize)
        return JAM_RESTORE_MISSING;
    out->resize((size_t)size);
    in.seekg(0);
    if (!in.read((char *)out->data(), size))
        return JAM_RESTORE_MISSING;
    // Another program (a second studio) may have written its own backup over ours meanwhile.
    if (Fnv1a(out->data(), out->size()) != s_backup.uHash)
        return JAM_RESTORE_MISSING;
    return JAM_RESTORE_OK;
}

int32_t LoadBackup(const std::vector<uint8_t> &data)
{
    g_bTaggedSongFile = 1;
    CHUNKLOADCONTEXT load;
    if (Seq_LoadChunks(data.data(), data.size(), JAM_RESTORE_MASK, -1, 0, &load) != SONGLOAD_OK)
        return JAM_RESTORE_BROKEN;
    if (Seq_FinishLoad(JAM_RESTORE_MASK, &load) & SONGLOAD_ABANDONED)
        return JAM_RESTORE_BROKEN;
    return JAM_RESTORE_OK;
}

// The song stays: the library instruments it had when the jam began go back to the use count
// they have outside a jam, so that freeing the jam's instruments leaves them in the song.
void KeepSongInstruments()
{
    const uint16_t *own = g_apJamInstrumentIds[JAM_LOCAL_PLAYER];
    for (int32_t i = 0; own && i < g_aiJamInstrumentIdCount[JAM_LOCAL_PLAYER]; ++i)
        g_JamSeqCalls.SetInstrumentUses(own[i], 0);
}

} // namespace

int32_t Jam_RestoreSongBackup()
{
    std::vector<uint8_t> data;
    const int32_t read = ReadBackup(&data);
    s_backup = BACKUPMARK{};
    return read == JAM_RESTORE_OK ? LoadBackup(data) : read;
}

// ---- Players ----

void Jam_ResetPlayer(int32_t player)
{
    if (player < 0 || player >= JAM_PLAYERS)
        return;
    std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
    if (player == JAM_LOCAL_PLAYER) {
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
            Jam_AssignRiffFromLibrary(0, 0, 0, k);
        for (int32_t p = 0; p < JAM_PADS; ++p)
            Jam_AssignInstrumentFromLibrary(0, 0, 0, p);
        for (int32_t k = 0; k < JAM_KEYBOARDS; ++k)
            Jam_AssignKeyboardFromLibrary(0, 0, 0, k);
    } else {
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
            Jam_LoadRiffKey(0, 0, 0, k, player, 0);
        for (int32_t p = 0; p < JAM_PADS; ++p)
            Jam_LoadPad(player, 0, 0, 0, p, 0);
        Jam_LoadKeyboard(player, 0, 0, 0, 0, 0);
        Jam_LoadKeyboard(player, 0, 0, 0, JAM_KEYBOARD_KEYS, 0);
    }
    JAMPLAYER &b = g_JamNet.aPlayers[player];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        b.auRiffKey[k] = 0;
        b.auRiffLatch[k] &= ~1u;
        b.auRiffVolume[k] = 128;
        b.aiRiffPitch[k] = 0;
        b.aiRiffPrevPitch[k] = 0;
    }
    for (int32_t p = 0; p < JAM_PADS; ++p) {
        b.auPad[p] = 0;
        b.auPadLatch[p] &= ~1u;
    }
    for (JAMKEYBOARD &k : b.aKeyboard) {
        k.uOctave = 5;
        k.uSlotWord = 0;
    }
}

void Jam_ResetLocalAndCloseMenu()
{
    Jam_ResetPlayer(JAM_LOCAL_PLAYER);
    Ui_ClosePopup();
}

// ---- Session ----

void Jam_StartSession()
{
    if (g_bJamSessionOn)
        return; // one jam at a time
    Gfx_SelectTileSet(0);
    Jam_SaveSongBackup();
    if (!g_bJamSinglePlayer) {
        Vid_ResetVideo();
        Seq_NewSong();
    }
    // The jam's tempo range first: the song plays at the tempo the jam counts its phrases in.
    Jam_SetTempoTick();
    {
        std::lock_guard<std::recursive_mutex> hold(g_csMix);
        Seq_SetTempo(g_iJamTempo);
    }
    {
        std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
        Net_InitJamNet(&g_JamNet, Jam_SoundActions());
        for (JAMPLAYER &p : g_JamNet.aPlayers)
            ResetBlockSettings(p);
    }
    Net_SetProgramJam(&g_JamNet);
    Jam_AllocPlayerLists();
    g_bJamKeysActive = 0;
    g_bJamKeyboardInput = 1;
    g_iJamSelectedPlayer = JAM_LOCAL_PLAYER;
    Jam_SetTempoTick();
    Gfx_SetFrameMode(3);

    WINDOWDESC desc{};
    desc.w = 640;
    desc.h = 480;
    desc.input = Jam_FrameUpdate;
    desc.predraw = Jam_StartStep;
    g_pJamWindow = Ui_OpenWindow(&desc);
    if (g_pJamWindow) {
        g_pJamWindow->flags |= WINDOW_NO_FRAME;
        Ui_SetFocus(g_pJamWindow);
    }
    g_bJamWindowOpen = 1;
    g_iNextScreen = 10;

    Jam_AllocState();
    Jam_ClearLog();
    g_pJamLogWindow = Jam_OpenLogWindow();
    Snd_ScanPlugins();
    Gfx_LoadJamBackground();
    Gfx_DrawJamBackground();
    Jam_SetPlayerController(JAM_LOCAL_PLAYER, 0);

    g_bJamSessionOn = 1;
    g_iJamStartState = JAM_START_IDLE;
    g_iJamSyncKind = JAM_SYNC_UNKNOWN;
    s_bStartBoxWanted = 0;
    Ui_OpenPopup(POPUP_JAM_LIST, nullptr, g_iScreenWidth / 4, 69, 170, 306);
    Snd_MidiInBegin();
    Jam_LogLine(Ui_Text(681));
    if (!s_backup.bWritten)
        Jam_LogLine("The song could not be set aside: it will not come back when the jam ends.");
}

void Jam_EndSession(int32_t really)
{
    if (!really) {
        g_bJamKeysActive = 1;
        return;
    }
    if (!g_bJamSessionOn)
        return;
    Seq_StopClock();
    Snd_MidiInEnd();
    if (g_ucJamReturnScreen == 1)
        Gfx_SetFrameMode(0);
    g_bJamKeysActive = 0;
    // A dial drag the jam ends in gives the pointer back to the editor.
    if (g_bJamDialDrag) {
        g_bJamDialDrag = 0;
        Ui_UnfreezePointer();
    }
    Sys_StopSeqTimer();
    Jam_EndRecordingAndReplay(&g_NetNode);
    Jam_ResetPlayer(JAM_LOCAL_PLAYER);
    Net_StopSessionA(&g_NetNode);
    Net_StopSessionB(&g_NetNode);
    Net_ClearPlayerNames(&g_NetNode);
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
        Jam_ResetPlayer(p);
    Snd_StopAllVoices();
    {
        std::lock_guard<std::recursive_mutex> hold(g_csMix);
        std::memset(g_aChannelMute, 0, sizeof g_aChannelMute);
    }
    if (g_pJamLogWindow)
        Ui_CloseWindow(g_pJamLogWindow);
    g_pJamLogWindow = nullptr;
    CloseStartBox();
    // Whether the song can come back is known before the jam frees its music: when it cannot,
    // the song it leaves must keep its own instruments.
    std::vector<uint8_t> backup;
    int32_t restore = ReadBackup(&backup);
    s_backup = BACKUPMARK{};
    if (restore != JAM_RESTORE_OK)
        KeepSongInstruments();
    Jam_FreeState();
    Gfx_FreeJamBackground();
    if (g_bNetSession)
        Sys_LobbyUnregister();
    if (g_pJamWindow) {
        g_pJamWindow->onClose = g_bNetSession ? Jam_QuitProgram : Ed_ReturnFromJam;
        Ui_CloseWindow(g_pJamWindow);
    } else {
        (g_bNetSession ? Jam_QuitProgram : Ed_ReturnFromJam)();
    }
    g_pJamWindow = nullptr;
    g_bJamWindowOpen = 0;
    if (g_bJamSinglePlayer)
        g_iJamPlayers = 4;
    g_bJamSinglePlayer = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
        for (int32_t set = 0; set < 2; ++set)
            for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
                Net_ClearEventList(&g_JamNet, set, p);
        for (auto &copy : g_JamNet.aTemplateCopies)
            copy.clear();
    }
    Net_CancelPendingSends();
    s_templateData.clear();
    // The song comes back as any song loads outside a jam (instrument use counts and all).
    g_bJamSessionOn = 0;
    if (restore == JAM_RESTORE_OK)
        restore = LoadBackup(backup);
    g_iJamRestoreResult = restore;
    switch (g_iJamRestoreResult) {
    case JAM_RESTORE_NOT_SAVED:
        TellUser("The song could not be set aside when the jam began, so it cannot be brought back. "
                 "The jam's song is kept.");
        break;
    case JAM_RESTORE_MISSING:
        TellUser("The song set aside for the jam is missing or was changed. The jam's song is kept.");
        break;
    case JAM_RESTORE_BROKEN:
        TellUser("The song set aside for the jam could not be read back. The jam's song is kept.");
        break;
    default:
        break;
    }
    Snd_ShutdownPlugins();
    Net_SetProgramJam(nullptr);
}

void Jam_AskEndSession()
{
    g_bJamKeysActive = 0;
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(456);
    r.ucButtonCount = 2;
    r.asButtonText[0] = 0x70;
    r.asButtonText[1] = 0x72;
    r.pfnAnswer = AnswerEndBox;
    if (!Ui_OpenMessageBox(&r))
        g_bJamKeysActive = 1; // no box could open: the jam goes on as it was
}

void Jam_EndFromBox(uint8_t) { Jam_EndSession(1); }

void Jam_QuitProgram() { Sys_RequestQuit(); }

// ---- Start synchronisation ----

void Jam_OnStartMessage()
{
    Net_SendSyncRequest();
    g_iJamSyncKind = JAM_SYNC_UNKNOWN;
    g_uiJamSyncTime = 0;
    g_iJamStartState = JAM_START_WAITING;
    g_uiJamStartTime = Sys_GetMilliseconds();
    if (!g_bJamSinglePlayer) {
        s_bStartBoxWanted = 1;
    } else {
        g_bJamKeysActive = 1;
        g_iJamStartState = JAM_START_NOW;
    }
}

void Jam_WaitForStartTime()
{
    g_iJamSyncKind = JAM_SYNC_AT_ONCE;
    g_iJamStartState = JAM_START_WAITING;
}

void Jam_SetSyncTime(uint32_t ms)
{
    g_uiJamSyncTime = ms;
    g_iJamSyncKind = JAM_SYNC_AT_TIME;
}

void Jam_OnJamListClosed()
{
    if (!g_bJamSessionOn || g_iJamStartState != JAM_START_IDLE)
        return;
    if (g_bJamSinglePlayer) {
        Jam_WaitForStartTime();
        return;
    }
    g_iJamStartState = JAM_START_REQUESTED;
    Net_SendJamStart();
    g_iJamStartState = JAM_START_RUNNING;
}

void Jam_StartStep()
{
    if (s_bLogChanged.exchange(false))
        Jam_RefreshLogList();
    if (s_bStartBoxWanted.exchange(0) && !g_pJamStartBox && g_iJamStartState == JAM_START_WAITING)
        OpenStartBox();
    if (g_iJamStartState == JAM_START_WAITING) {
        const int32_t kind = g_iJamSyncKind;
        // A signed difference, so a start time across the clock's wrap still compares right.
        if (kind == JAM_SYNC_AT_ONCE ||
            (kind == JAM_SYNC_AT_TIME && (int32_t)(Sys_GetMilliseconds() - g_uiJamSyncTime.load()) >= 0))
            g_iJamStartState = JAM_START_NOW;
    }
    if (g_iJamStartState == JAM_START_NOW) {
        {
            std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
            g_JamNet.uJamHeartbeat = 0;
            // The first phrase starts with what was assigned while waiting (a template loaded at
            // the go-ahead): its block goes out at the phrase's end, and the others play this
            // phrase's keys with it.
            g_JamNet.aPlayers[5] = g_JamNet.aPlayers[JAM_LOCAL_PLAYER];
        }
        Jam_ResetRowSteps();
        g_bSeqTimerRunning = 1;
        g_uiJamStartTime = Sys_GetMilliseconds();
        CloseStartBox();
        {
            std::lock_guard<std::recursive_mutex> hold(g_csMix);
            if (g_pJamState) {
                g_pfnSeqStep = Jam_Tick;
                g_pfnSeqChannelAlloc = Jam_AllocChannel;
            }
            g_iJamPhraseStep = g_iJamStep.load();
            Jam_SnapshotPhraseClock();
        }
        g_bJamKeysActive = 1;
        g_iJamStartState = JAM_START_RUNNING;
        std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
        Jam_SendLocalAssignments(&g_NetNode);
    }
}

void Jam_CheckPosition(int32_t reportedStep, const JAMCLOCK &reported)
{
    if (g_bNetHost || g_iJamStartState != JAM_START_RUNNING)
        return;
    std::lock_guard<std::recursive_mutex> hold(g_csMix);
    const int32_t mine = g_iJamPhraseStep;
    LogFormatted("My lastJamPosG was %d, the servers was %d.", mine, reportedStep);
    const int32_t d = (int32_t)((uint32_t)reportedStep - (uint32_t)mine);
    if (d != 0) {
        g_iJamStep += d;
        LogFormatted("reset jamPosG to %d.", g_iJamStep.load(), 0);
        if (JAMSTATE *s = g_pJamState)
            for (auto &step : s->aiRowStep)
                step += d;
    }
    const JAMCLOCK &saved = g_JamPhraseClock;
    auto wide = [&](int32_t &v, int i) {
        v = (int32_t)((uint32_t)v + (uint32_t)reported.aiWide[i] - (uint32_t)saved.aiWide[i]);
    };
    wide(g_iStepAccum, 0);
    wide(g_iFineAccum, 1);
    wide(g_iSubStep, 2);
    wide(g_iFineStep, 3);
    auto narrow = [&](uint8_t v, int i) {
        return (uint8_t)(v + reported.aucNarrow[i] - saved.aucNarrow[i]);
    };
    g_ucQuarterPhase = narrow(g_ucQuarterPhase, 0);
    g_ucStepCount16 = narrow(g_ucStepCount16.load(), 1);
    g_ucBeatStep = narrow(g_ucBeatStep, 2);
}

// ---- Templates ----

int32_t Jam_SendTemplateData(const void *data, size_t length)
{
    if (!data || length > 2097151)
        return -1;
    s_templateData.assign((const uint8_t *)data, (const uint8_t *)data + length);
    return Net_SendToServer(&g_NetNode, Net_BuildTemplate(NET_MSG_TEMPLATE, (uint32_t)g_JamNet.iNetMySlot,
                                                          s_templateData.data(), (uint32_t)length));
}
