#include "app/startup.h"

#include "app/calllog.h"
#include "app/cmdline.h"
#include "app/crash.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "app/devices.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/capture.h"
#include "audio/midiin.h"
#include "audio/mixerdev.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/consolelib.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/file.h"
#include "core/padbind.h"
#include "core/browser.h"
#include "editors/jukebox.h"
#include "jam/netobjects.h"
#include "platform/kescomms.h"
#include "platform/quitsignal.h"
#include "platform/window.h"
#include "render/bitmap.h"
#include "ui/gridsetup.h"
#include "ui/langtext.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/framecycle.h"
#include "render/mesh.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/fonts.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/frontend.h"
#include "ui/popup.h"
#include "ui/widgets.h"
#include "ui/view.h"
#include "video/engine.h"
#include "video/respages.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void *g_hInstance = nullptr;
MAINWND g_hMainWnd = 0;
uint32_t g_uAutoPlayMsg = 0;
int32_t g_bQuitRequested = 0;
int32_t g_bAppActive = 0;
int32_t g_bMainLoopStarted = 0;
int32_t g_bFileThreadMode = 0;
std::atomic<int32_t> g_bAudioMixEnabled{0};
int32_t g_iMixTimerMode = 1;
int32_t g_iMainFrameCount = 0;
int32_t g_iPrimitivesDrawn = 0;
int32_t g_bPointerShown = 1;
int16_t g_iPointerX = 0;
int16_t g_iPointerY = 0;
int32_t g_iFrameState = FRAMESTATE_INTERFACE;
int32_t g_iFrameStateCountdown = 0;
void *g_pCoreHeap = nullptr;
uint32_t g_uCoreHeapSize = 0;
// The interface's ordinary pointer until a screen picks another.
static const int32_t s_iDefaultPointer = DEFAULT_POINTER_IMAGE;
const int32_t *g_pPointerShape = &s_iDefaultPointer;

namespace {

// A message number of our own for the AutoPlay query; nothing on this system sends it.
constexpr uint32_t kAutoPlayMsg = 0xC000;
const int32_t kSessionPointer = SESSION_POINTER_IMAGE;
// Whether the core start-up ran: the core's own release steps are left alone when it never did.
bool s_bCoreStarted = false;

// Services that are built already do not write the call log themselves; the spine names them
// there (a no-op unless a test turned the log on) so tests see the whole order.

void FreeCoreHeap()
{
    // Start-up lets go of the heap on an audio failure and shutdown does again: once is enough.
    if (!g_pCoreHeap)
        return;
    Sys_CallLog("free core heap");
    g_pCoreHeap = nullptr;
}

void LobbyCheck(int result, const char *text)
{
    if (result != 0)
        Sys_InfoBox("Error", text);
}

void LobbyRegisterHost()
{
    static const char *const kStatusTexts[6] = {
        "KES_REG_REGISTERED",
        "KES_REG_ATTEMPTING_TO_REGISTER",
        "KES_REG_NOT_REGISTERED",
        "KES_REG_NOT_REGISTERED_ERROR",
        "KES_REG_NOT_REGISTERED_SERVER_FULL",
        "KES_REG_NOT_REGISTERED_COMMS_ERROR",
    };
    static KESDATACLIENT s_aClients[4];
    static uint8_t s_abCompatibility[256];
    static uint8_t s_abNonHeadline[256];
    static int32_t s_iMaxPlayers;
    static int32_t s_iMusicStyle;
    const unsigned char optionByte = 3;

    for (KESDATACLIENT &c : s_aClients) {
        c = KESDATACLIENT{};
        c.pszName = "Gubbins";
    }
    s_iMaxPlayers = g_iJamPlayers;
    s_iMusicStyle = 0;
    std::memset(s_abCompatibility, 0, sizeof s_abCompatibility);
    std::memset(s_abNonHeadline, 0, sizeof s_abNonHeadline);

    LobbyCheck(InitKesComms(0, g_szAdvertIp, g_szAdvertPort, 65533, 2, &optionByte), "InitKesComms");
    LobbyCheck(SetGeneralData(1, "KestrixServerName"), "SetGeneralData GENERALDATA_SERVERNAME");
    LobbyCheck(SetGeneralData(2, 0), "SetGeneralData GENERALDATA_LANGUAGE");
    LobbyCheck(SetGeneralData(3, 2), "SetGeneralData GENERALDATA_GAME_VERSION");
    LobbyCheck(SetKestrixCompatibilityData(s_abCompatibility, 256), "SetKestrixCompatibilityData");
    LobbyCheck(SetFieldData(0, &s_iMaxPlayers), "SetFieldData g_iKestrixMaxPlayers");
    LobbyCheck(SetFieldData(1, &s_iMusicStyle), "SetFieldData g_iKestrixMusicStyle");
    LobbyCheck(SetKestrixNonHeadlineData(s_abNonHeadline, 256), "SetFieldData g_p_ucNonHeadlineBuffer");
    if (RegisterGameServer(1, LOBBY_SERVER_TYPE, LOBBY_TIMEOUT, -1) != 0) {
        Sys_InfoBox("Error", "RegisterGameServer");
        int status = GetRegistrationStatus();
        if (status >= 1 && status <= 6)
            Sys_InfoBox("Error", kStatusTexts[status - 1]);
    }
    LobbyCheck(KestrixStartResponse(), "KestrixStartResponse");
    LobbyCheck(SetKestrixDataClientList(s_aClients, 3, s_iMaxPlayers), "SetKestrixDataClientList");
}

// One pass of the loop: at most one event, then (while active) one frame.
void LoopPass()
{
    PLATEVENT ev{};
    bool got = g_bAppActive ? Plat_PollEvent(&ev) : Plat_WaitEvent(&ev);
    if (got) {
        if (ev.type == PLAT_EV_QUIT)
            g_bQuitRequested = 1;
        Sys_WindowProc(g_hMainWnd, ev);
    }
    if (g_bAppActive == 1) {
        if (g_bMixdownRunning) {
            Sys_MixdownStep();
        } else if (g_iMixTimerMode == 0 && !g_bTickTimerRunning && !g_iRecordRunning && !g_bRecording) {
            for (int i = 0; i < 30; i++) {
                Sys_MixTick();
                Net_FrameStep(0, 0, 0, 0, 0);
            }
        }
        Sys_FrameUpdate();
        if (Plat_WindowFrameDone())
            Sys_RequestQuit();
    }
}

} // namespace

int Sys_MainThreadGuard(void *hInstance, void *hPrevInstance, const char *commandLine, int showCommand)
{
    // Faults are caught by the crash report's signal handler rather than by a frame around the
    // call; without it the program still runs, only unreported.
    if (Sys_InstallCrashFilter() != 0)
        std::fprintf(stderr, "tnvpc: crash reports are off (a fault signal could not be taken)\n");
    // SIGTERM and SIGINT end the studio cleanly, even while it waits or shows a box.
    Plat_QuitSignalsInstall();
    return Sys_RunApplication(hInstance, hPrevInstance, commandLine, showCommand);
}

int Sys_RunApplication(void *hInstance, void *, const char *commandLine, int showCommand)
{
    g_uAutoPlayMsg = kAutoPlayMsg;
    Sys_CallLog("Sys_LoadSettings");
    Sys_LoadSettings();
    Sys_SetCrashReportFolders();
    g_hInstance = hInstance;
    // A start that fails ends with -2, whatever step failed.
    if (!Sys_CreateMainWindow(hInstance, showCommand))
        return -2;
    if (commandLine && commandLine[0] != '\0') {
        Sys_CallLog("Sys_ParseCommandLine");
        Sys_ParseCommandLine(commandLine);
    }
    Sys_StartupHook();
    if (Sys_Startup(g_hMainWnd) != 0) {
        Sys_Shutdown(g_hMainWnd);
        Sys_DestroyMainWindow();
        return -2;
    }
    g_bMainLoopStarted = 1;
    while (!g_bQuitRequested)
        LoopPass();
    Sys_Shutdown(g_hMainWnd);
    Sys_DestroyMainWindow();
    return 0;
}

int Sys_Startup(MAINWND)
{
    // The heap is the console memory's fixed core block, so it cannot fail to come.
    g_uCoreHeapSize = CONSOLE_CORE_HEAP_BYTES;
    g_pCoreHeap = Sys_ConsoleCoreHeap();
    Sys_CallLog("Sys_LoadWinTexture");
    Sys_LoadWinTexture();
    Sys_CallLog("Snd_InitSampleEngine");
    if (Sys_CallLogShouldFail("Snd_InitSampleEngine") || Snd_InitSampleEngine(256) != 0)
        return -1;
    Sys_AllocMixBuffers();
    Sys_CallLog("Snd_EnumInputDevices");
    if (Sys_CallLogShouldFail("Snd_EnumInputDevices") || Snd_EnumInputDevices() != 0)
        return -1;
    // The stored device, as every reopen uses; the output falls back to the default when it is gone.
    if (Sys_OpenAudioOutput(g_iAudioOutDevice) != 0) {
        Sys_InfoBox("ERROR!", "Couldn't Initialise DirectSound Device");
        Sys_FreeMixBuffers();
        Sys_CallLog("Snd_ShutdownSampleEngine");
        Snd_ShutdownSampleEngine();
        FreeCoreHeap();
        return -1;
    }
    if (Sys_OpenDisplay(g_iGfxDevice, g_iWantedDisplayMode) != 0) {
        // Nothing can be shown; the open leaves no device half made, and shutdown closes the rest.
        Sys_InfoBox("ERROR!", "Couldn't Initialise Display Device");
        return -1;
    }
    Sys_CallLog("Gfx_ShowLoadingScreen");
    Gfx_ShowLoadingScreen();
    Sys_CallLog("Gfx_InitTextureTable");
    if (Sys_CallLogShouldFail("Gfx_InitTextureTable") || Gfx_InitTextureTable() != 0)
        return -1;
    Sys_CallLog("Gfx_InitSoftGpu");
    Gfx_InitSoftGpu();
    Sys_LoadInterfaceImages();
    Sys_CallLog("Gfx_InitUserImages");
    Gfx_InitUserImages();
    Sys_SetGridLayout();
    Sys_CreateDisplayObjects(0);
    // No MIDI or mixer device is no reason to stop: their lists stay empty.
    Sys_CallLog("Snd_EnumMidiInDevices");
    Snd_EnumMidiInDevices();
    Sys_CallLog("Snd_EnumMixerDevices");
    Snd_EnumMixerDevices();
    Sys_CallLog("Snd_LoadInterfaceSounds");
    Snd_LoadInterfaceSounds();
    Ui_ToggleMouseMode();
    Sys_InitMouse();
    Net_CreateObjects();
    Sys_CoreStartup();
    if (g_iMixTimerMode == 1)
        Sys_StartMixTimer();
    g_bAudioMixEnabled = 1;
    return 0;
}

void Sys_CoreStartup()
{
    s_bCoreStarted = true;
    static const DISPLAYCONFIG kConfig = Sys_DefaultDisplayConfig(); // 384 x 256, 784000, 2, 2, 1024
    Sys_CallLog("Sys_SetDisplayConfig");
    Sys_SetDisplayConfig(&kConfig);
    Sys_CallLog("Sys_InitDisplayEnvs");
    Sys_InitDisplayEnvs();
    Sys_CallLog("Sys_InitCore");
    Sys_InitCore();
    Sys_CallLog("Sys_InitPackets");
    Sys_InitPackets();
    Vid_EarlyInit();
    Sys_CallLog("Sys_AllocOrderingTables(0,1)");
    Sys_AllocOrderingTables(0, 1);
    Sys_CallLog("Sys_AllocOrderingTables(1,3)");
    Sys_AllocOrderingTables(1, 3);
    Sys_CallLog("Sys_InitSmallPrimitiveAreas");
    Sys_InitSmallPrimitiveAreas();
    // The console library's graphics set-up call would come here; it does nothing.
    Sys_CallLog("Gfx_LoadFonts");
    Gfx_LoadFonts(0);
    Sys_CallLog("Seq_Init");
    Seq_Init();
    Vid_CreateResPagePool();
    // Runs without an archive; its readers report what is missing.
    Sys_CallLog("Sys_WadOpen");
    if (!Sys_WadOpen("demowad.WAD", "demowad.IND", 3)) {
        // The archive's own text names the file only: say where it was looked for.
        const char *folder = Sys_MakeDataPath("");
        std::fprintf(stderr, "tnvpc: the studio's content was looked for in %s (set by %s)\n",
                     folder[0] ? folder : g_szDataDir, Sys_DataDirSource());
    }
    Sys_CallLog("Seq_ResetSongFile");
    Seq_ResetSongFile();
    Sys_CallLog("Sys_InitSaveIcons");
    Sys_InitSaveIcons();
    Vid_InitChaseEngine();
    Sys_CallLog("Seq_CountUsedRows");
    Seq_CountUsedRows();
    Sys_CallLog("Ui_InitWidgetPools");
    Ui_InitWidgetPools();
    Sys_CallLog("Ui_SetLanguage");
    Ui_SetLanguage();

    g_uUiFreeMemory = g_uEmulatedFreeMemory;
    g_iTexturePagesUsed = Gfx_CountFreeTextureBlocks();
    g_iAttractLastActivity = g_iFrameCount.load();

    if (g_bNetSession == 0) {
        Ui_OpenMainScreenAtStart();
        if (g_bNoCd) {
            g_ucPopupReturn = 9;
            Ui_OpenPopup(29, nullptr, g_iScreenWidth / 4, 69, 318, 79);
        }
        return;
    }
    g_pPointerShape = &kSessionPointer;
    Sys_InfoBox("Error", g_szAdvertIp);
    if (g_bNetHost == 0) {
        InitKesComms(1, nullptr, nullptr, 65533, 0, nullptr);
        Jam_JoinFromLobby();
    } else {
        LobbyRegisterHost();
        Jam_HostFromLobby();
    }
}

int Sys_FrameUpdate()
{
    Sys_AcquireMouse();
    Sys_PollMouse();
    g_iPrimitivesDrawn = 0;
    Sys_FrameDispatch();
    if (g_bPointerShown) {
        Sys_CallLog("Gfx_DrawPointer");
        Gfx_DrawPointer(g_iPointerX, g_iPointerY, 1);
    }
    if (g_bGpuLayerFlush) {
        Sys_CallLog("Gfx_FlushLayer");
        Gfx_FlushLayer();
    }
    if (g_bUiRedrawOnce)
        g_bUiRedrawOnce = 0;
    if (g_bPointerShown) {
        Sys_CallLog("Gfx_DrawPointer");
        Gfx_DrawPointer(g_iPointerX, g_iPointerY, 0);
    }
    Sys_FrameTiming();
    Sys_CallLog("Gfx_Present");
    if (Gfx_Present() != 0)
        return 1;
    g_iMainFrameCount++;
    return 0;
}

void Sys_FrameDispatch()
{
    Sys_CallLog("Gfx_BeginFrame");
    Gfx_BeginFrame();
    if (g_bDebugBreak) {
        Sys_CallLog("Sys_DebugPrintf");
        Sys_DebugPrintf("break 1024");
    }
    if (g_bSoftware3D == 0)
        Ed_AttractTick();
    switch (g_iFrameState) {
    case FRAMESTATE_INTERFACE:
        Ui_Frame();
        break;
    case FRAMESTATE_DISPLAYWINDOW:
        Sys_CallLog("Gfx_UpdateDisplayWindow");
        if (Gfx_UpdateDisplayWindow() != 0)
            g_iFrameState = FRAMESTATE_INTERFACE;
        break;
    case FRAMESTATE_PLAYLIST:
        Ed_PlaylistTick();
        break;
    case FRAMESTATE_COUNTDOWN:
        if (--g_iFrameStateCountdown == 0)
            g_iFrameState = FRAMESTATE_ENTEROVERLAY;
        break;
    case FRAMESTATE_ENTEROVERLAY:
        Sys_SwitchOverlay(3);
        Sys_CallLog("Gfx_SetFrameMode");
        Gfx_SetFrameMode(0);
        Sys_CallLog("Gfx_LoadScreenGraphics");
        Gfx_LoadScreenGraphics(0);
        g_iFrameState = FRAMESTATE_INTERFACE;
        break;
    default:
        break;
    }
    Sys_CallLog("Gfx_EndFrame");
    Gfx_EndFrame();
}

int Sys_Shutdown(MAINWND)
{
    // Quitting while a recording runs: its capture thread must end before the program does.
    if (g_bRecording.load())
        Snd_StopRecording();
    if (s_bCoreStarted)
        Sys_CoreShutdown();
    Sys_CallLog("Gfx_DestroyAllMeshes");
    Gfx_DestroyAllMeshes();
    Sys_ReleaseDisplayObjects();
    Sys_CallLog("Gfx_ShutdownSoftGpu");
    Gfx_ShutdownSoftGpu();
    Sys_CallLog("Gfx_FreeTextureTable");
    Gfx_FreeTextureTable();
    Sys_CallLog("Gfx_FreeUserImages");
    Gfx_FreeUserImages();
    Sys_CloseDisplay();
    Sys_CallLog("Snd_FreeInterfaceSounds");
    Snd_FreeInterfaceSounds();
    Sys_FreeMixBuffers();
    Sys_CallLog("Snd_ShutdownSampleEngine");
    Snd_ShutdownSampleEngine();
    Sys_CloseAudioOutput();
    FreeCoreHeap();
    Net_ReleaseObjects();
    return 0;
}

void Sys_CoreShutdown()
{
    Sys_CallLog("Sys_EventDestroyClass(1)");
    Sys_EventDestroyClass(1);
    Sys_CallLog("Sys_EventDestroyClass(3)");
    Sys_EventDestroyClass(3);
    Sys_CallLog("Sys_WadFreeBuffers");
    Sys_WadFreeBuffers();
    Vid_FreeCameraRig();
    Sys_FreeFrameBlocks();
    Sys_CallLog("Seq_ShutdownSong");
    Seq_ShutdownSong();
    Sys_CallLog("Sys_FreeDiscPool");
    Sys_FreeDiscPool();
    // Files a subsystem left open on the disc layer are closed, not leaked.
    Sys_CallLog("Sys_DiscShutdown");
    Sys_DiscShutdown();
    Sys_FreeCoreTables();
    Vid_ShutdownChaseEngine();
    Sys_CallLog("Seq_FreeUndoLog");
    Seq_FreeUndoLog();
    Sys_CallLog("Sys_FreePacketBuffers");
    Sys_FreePacketBuffers();
    Sys_FreeCoreLayout();
    s_bCoreStarted = false;
}

// The camera frames are fixed records of the video engine (Vid_FreeCameraRig has retired them).
void Sys_FreeFrameBlocks()
{
    Sys_CallLog("Sys_FreeFrameBlocks");
    Sys_FreeOrderingTableArrays();
    Sys_FreeSaveIcons();
}

// The records of the resource pages went with the disc records just before. The video engine's own
// pools (animation extras, lane blocks, clips and clip entries) are freed by its shutdown, which
// comes next and must walk their records first. The sequencer keeps no transfer buffer.
void Sys_FreeCoreTables()
{
    Sys_CallLog("Sys_FreeCoreTables");
    Vid_FreeResPagePool();
    Ui_KeepMessageBoxTexts();
    Ui_FreeLanguageTexts();
    Ui_FreeGridWorkBuffer();
    Ui_FreeGridCellPackets();
}

// The video engine's early table went with its shutdown.
void Sys_FreeCoreLayout()
{
    Sys_CallLog("Sys_FreeCoreLayout");
    Sys_FreeMemoryLayout();
}

int Sys_LobbyUnregister()
{
    KestrixStopResponse();
    return UnRegisterGameServer(1, LOBBY_SERVER_TYPE, LOBBY_TIMEOUT);
}
