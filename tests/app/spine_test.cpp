#include "spine_fixture.h"
#include "jam/netsession.h"

#include "core/console_memory.h"
#include "ui/gridsetup.h"
#include "ui/langtext.h"
#include "ui/msgbox.h"
#include "ui/view.h"
#include "video/respages.h"

namespace {

using Names = std::vector<std::string>;

const Names kStartup = {
    "Sys_LoadSettings",
    "Sys_LoadWinTexture",
    "Snd_InitSampleEngine",
    "Sys_AllocMixBuffers",
    "Snd_EnumInputDevices",
    "Sys_OpenAudioOutput",
    "Sys_OpenDisplay",
    "Gfx_ShowLoadingScreen",
    "Gfx_InitTextureTable",
    "Gfx_InitSoftGpu",
    "Sys_LoadInterfaceImages",
    "Gfx_InitUserImages",
    "Sys_SetGridLayout",
    "Sys_CreateDisplayObjects",
    "Snd_EnumMidiInDevices",
    "Snd_EnumMixerDevices",
    "Snd_LoadInterfaceSounds",
    "Ui_ToggleMouseMode",
    "Sys_InitMouse",
    "Net_CreateObjects",
    "Sys_SetDisplayConfig",
    "Sys_InitDisplayEnvs",
    "Sys_InitCore",
    "Sys_InitPackets",
    "Vid_EarlyInit",
    "Sys_AllocOrderingTables(0,1)",
    "Sys_AllocOrderingTables(1,3)",
    "Sys_InitSmallPrimitiveAreas",
    "Gfx_LoadFonts",
    "Seq_Init",
    "Vid_CreateResPagePool",
    "Sys_WadOpen",
    "Seq_ResetSongFile",
    "Sys_InitSaveIcons",
    "Vid_InitChaseEngine",
    "Seq_CountUsedRows",
    "Ui_InitWidgetPools",
    "Ui_SetLanguage",
    "Ui_ShowIntroduction",
    "Sys_StartMixTimer",
};

const Names kCoreShutdown = {
    "Sys_EventDestroyClass(1)",
    "Sys_EventDestroyClass(3)",
    "Sys_WadFreeBuffers",
    "Vid_FreeCameraRig",
    "Sys_FreeFrameBlocks",
    "Seq_ShutdownSong",
    "Sys_FreeDiscPool",
    "Sys_DiscShutdown",
    "Sys_FreeCoreTables",
    "Vid_ShutdownChaseEngine",
    "Seq_FreeUndoLog",
    "Sys_FreePacketBuffers",
    "Sys_FreeCoreLayout",
};

const Names kShutdown = {
    "Gfx_DestroyAllMeshes",
    "Sys_ReleaseDisplayObjects",
    "Gfx_ShutdownSoftGpu",
    "Gfx_FreeTextureTable",
    "Gfx_FreeUserImages",
    "Sys_CloseDisplay",
    "Snd_FreeInterfaceSounds",
    "Sys_FreeMixBuffers",
    "Snd_ShutdownSampleEngine",
    "Sys_CloseAudioOutput",
    "free core heap",
    "Net_ReleaseObjects",
    "Sys_DestroyMainWindow",
};

const Names kFrame = {
    "Sys_AcquireMouse", "Sys_PollMouse",  "Gfx_BeginFrame", "Ed_AttractTick",  "Ui_Frame",    "Gfx_EndFrame",
    "Gfx_DrawPointer",  "Gfx_FlushLayer", "Gfx_DrawPointer", "Sys_FrameTiming", "Gfx_Present",
};

// The lobby calls of the start-up, without the client list updates the server's receive thread
// sends whenever its players change (they may come at any moment of the run).
Names RegistrationCalls()
{
    Names calls;
    bool listed = false;
    for (const std::string &c : Kes_FakeLog()) {
        const bool list = c.rfind("SetKestrixDataClientList(", 0) == 0;
        if (list && listed)
            continue;
        listed = listed || list;
        calls.push_back(c);
    }
    return calls;
}

int ReadPortFile(const std::string &path)
{
    int port = -1;
    if (FILE *f = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(f, "%d", &port) != 1)
            port = -1;
        std::fclose(f);
    }
    return port;
}

Names Concat(std::initializer_list<const Names *> parts)
{
    Names all;
    for (const Names *p : parts)
        all.insert(all.end(), p->begin(), p->end());
    return all;
}

} // namespace

TEST_F(SpineTest, StartupFramesAndShutdownRunInOrder)
{
    EXPECT_EQ(Run(nullptr, 1), 0);

    EXPECT_EQ(Lines(Before("Sys_AcquireMouse")), Lines(kStartup));
    // One frame, then the quit request, then the pass of the program's own close and the pass of
    // the quit message: each still runs its frame.
    Names expected = Concat({&kStartup, &kFrame});
    expected.push_back("Sys_RequestQuit");
    expected.push_back("Sys_StopMixTimer");
    expected.insert(expected.end(), kFrame.begin(), kFrame.end());
    expected.insert(expected.end(), kFrame.begin(), kFrame.end());
    Names tail = Concat({&kCoreShutdown, &kShutdown});
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Lines(Log()), Lines(expected));

    EXPECT_EQ(g_iMainFrameCount, 3);
    EXPECT_EQ(g_bMainLoopStarted, 1);
    EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
    EXPECT_EQ(g_pCoreHeap, nullptr);
    EXPECT_FALSE(Plat_WindowExists());
    EXPECT_TRUE(Plat_MessageBoxLog().empty());

    // What the core shutdown releases for other modules is gone, not left for the exit to drop.
    EXPECT_EQ(g_pResPagePool, nullptr);
    EXPECT_EQ(g_pLanguageBlock, nullptr);
    EXPECT_STREQ(Ui_Text(114), g_aapszBuiltinText[0][114]);
    EXPECT_EQ(g_p_ucWorkBuffer, nullptr);
    EXPECT_EQ(g_pGridCellPackets, nullptr);
    EXPECT_EQ(g_apSaveIconImage[0], nullptr);
    EXPECT_EQ(g_pHeapBase, nullptr);
    EXPECT_EQ(Sys_OrderingTableLists(g_apFrameBuffers[0]), nullptr);
}

// The tables step frees what a session left held (a grid screen's buffers, another language, the
// resource pages), and a second call finds nothing more to do.
TEST_F(SpineTest, CoreTablesStepFreesWhatIsHeldAndRepeatsHarmlessly)
{
    Vid_CreateResPagePool();
    Ui_UseBuiltinTexts(1);
    g_p_ucWorkBuffer = static_cast<uint8_t *>(std::calloc(1, 64));
    g_pGridCellPackets = static_cast<uint8_t *>(std::calloc(1, 64));
    const VIEWWIDGET saved = g_tView;
    g_tView.head.flags = 0; // open on the area
    g_tView.cells[0] = g_pGridCellPackets;
    ASSERT_NE(g_pResPagePool, nullptr);
    ASSERT_NE(g_pLanguageBlock, nullptr);
    for (int round = 0; round < 2; round++) {
        Sys_FreeCoreTables();
        EXPECT_EQ(g_pResPagePool, nullptr);
        EXPECT_EQ(g_pLanguageBlock, nullptr);
        EXPECT_STREQ(Ui_Text(114), g_aapszBuiltinText[0][114]);
        EXPECT_EQ(g_p_ucWorkBuffer, nullptr);
        EXPECT_EQ(g_pGridCellPackets, nullptr);
        EXPECT_EQ(g_tView.cells[0], nullptr);
        EXPECT_TRUE(g_tView.head.flags & WIDGET_HIDDEN) << "a view left drawing from freed cells";
    }
    g_tView = saved;
}

TEST_F(SpineTest, HeadlessFramesMoveTheManualClock)
{
    EXPECT_EQ(Run(nullptr, 120), 0);
    // The loading picture's five seconds, 120 frames, then the two passes that end the loop.
    EXPECT_EQ(g_iMainFrameCount, 122);
    EXPECT_EQ(Plat_ClockNowUs(), 5000000u + 122u * PLAT_HEADLESS_FRAME_US);
}

TEST_F(SpineTest, FailingStartupStepsShutDownAndReturnMinusTwo)
{
    struct Case
    {
        const char *failing;
        const char *box; // the message shown, or none
    };
    const Case cases[] = {
        {"Snd_InitSampleEngine", nullptr},
        {"Snd_EnumInputDevices", nullptr},
        {"Sys_OpenAudioOutput", "ERROR!|Couldn't Initialise DirectSound Device"},
        {"Sys_OpenDisplay", "ERROR!|Couldn't Initialise Display Device"},
        {"Gfx_InitTextureTable", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing);
        SetUp();
        Sys_CallLogFailOn(c.failing);
        EXPECT_EQ(Run(nullptr, 5), -2);
        // Start-up stops at the failing step.
        Names before = Before(c.failing);
        Names prefix(kStartup.begin(), std::find(kStartup.begin(), kStartup.end(), c.failing));
        EXPECT_EQ(before, prefix);
        // Shutdown runs; the core's release steps do not, since the core never started.
        EXPECT_FALSE(Has("Sys_EventDestroyClass(1)"));
        EXPECT_TRUE(Has("Net_ReleaseObjects"));
        EXPECT_EQ(Log().back(), "Sys_DestroyMainWindow");
        EXPECT_FALSE(Has("Sys_AcquireMouse")) << "no frame may run";
        EXPECT_EQ(g_pCoreHeap, nullptr);
        EXPECT_EQ(g_bMainLoopStarted, 0);
        if (c.box)
            EXPECT_EQ(Plat_MessageBoxLog(), Names{c.box});
        else
            EXPECT_TRUE(Plat_MessageBoxLog().empty());
    }
}

TEST_F(SpineTest, AudioFailureReleasesOnceMoreInShutdownWithoutHarm)
{
    Sys_CallLogFailOn("Sys_OpenAudioOutput");
    EXPECT_EQ(Run(nullptr, 5), -2);
    // Start-up releases its audio pieces itself; shutdown releases them again and must not free
    // the core heap twice (the sanitizer build would catch that).
    EXPECT_EQ(Count("Sys_FreeMixBuffers"), 2);
    EXPECT_EQ(Count("free core heap"), 1);
}

// A window that cannot be made is a failed start like any other: -2, not success.
TEST_F(SpineTest, WindowFailureEndsAtOnceWithMinusTwo)
{
    setenv("TNV_INPUT_SCRIPT", "/nonexistent/tnv-script.txt", 1);
    EXPECT_EQ(Sys_RunApplication(nullptr, nullptr, "-nocd", 1), -2);
    EXPECT_EQ(Log(), Names{"Sys_LoadSettings"});
    EXPECT_TRUE(Plat_MessageBoxLog().empty());
}

TEST_F(SpineTest, EmptyOrMissingCommandLineIsNotParsed)
{
    EXPECT_EQ(Run(nullptr, 1), 0);
    EXPECT_FALSE(Has("Sys_ParseCommandLine"));
    SetUp();
    EXPECT_EQ(Run("", 1), 0);
    EXPECT_FALSE(Has("Sys_ParseCommandLine"));
    SetUp();
    EXPECT_EQ(Run("-userriffs", 1), 0);
    EXPECT_EQ(Count("Sys_ParseCommandLine"), 1);
}

TEST_F(SpineTest, NoCdOpensTheStartPopup)
{
    EXPECT_EQ(Run("-nocd", 1), 0);
    EXPECT_TRUE(Has("Ui_OpenPopup"));
    EXPECT_EQ(g_ucPopupReturn, 9);
    EXPECT_NE(g_pCurrentPopup, nullptr);
    // Without -nocd the interface opens its browser instead.
    SetUp();
    EXPECT_EQ(Run(nullptr, 1), 0);
    EXPECT_FALSE(Has("Ui_OpenPopup"));
}

TEST_F(SpineTest, UserCloseRequestEndsTheProgram)
{
    // The close asks first; "Okay" (two thirds across the centred box) ends the program.
    Ui_ResetMessageBoxes();
    EXPECT_EQ(Run(nullptr, -1, {"2 close", "4 mousemove -2000 -2000", "5 mousemove 356 213", "7 mousedown 1",
                                "8 mouseup 1"}),
              0);
    EXPECT_EQ(Count("Ui_HandleCloseRequest"), 1);
    EXPECT_EQ(Count("Ui_QuitBoxAnswer"), 1);
    // The answer's frame, the program's close and the quit message.
    EXPECT_LE(g_iMainFrameCount, 12);
}

TEST_F(SpineTest, FocusLossClosesDevicesAndReturnReopensThemOnce)
{
    EXPECT_EQ(Run(nullptr, 4, {"1 activate 0", "50 activate 1", "50 activate 1"}), 0);
    Names focus = After("Ui_Frame");
    Names seq;
    for (const std::string &n : Log())
        if (n.rfind("Sys_SuspendAudio", 0) == 0 || n == "Sys_ReopenDevices" || n == "Sys_CloseDisplay" ||
            n == "Sys_CloseAudioOutput" || n == "Sys_ReleaseDisplayObjects")
            seq.push_back(n);
    // Lost: suspend, audio, display objects, display. Back: reopen (which opens in its own
    // order), then resume. The repeated activation reopens nothing. Then the shutdown's releases.
    const Names expected = {
        "Sys_SuspendAudio(1)",       "Sys_CloseAudioOutput", "Sys_ReleaseDisplayObjects", "Sys_CloseDisplay",
        "Sys_ReopenDevices",         "Sys_SuspendAudio(0)",  "Sys_ReleaseDisplayObjects", "Sys_CloseDisplay",
        "Sys_CloseAudioOutput",
    };
    EXPECT_EQ(seq, expected);
    // While inactive no frame ran: 1 + 4 - 1 frames before the quit, plus the two ending passes.
    EXPECT_EQ(g_iMainFrameCount, 6);
}

TEST_F(SpineTest, ActivationRulesBeforeStartAndWithoutDisplay)
{
    // Losing focus with no display open touches nothing.
    g_bAppActive = 1;
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 0});
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(g_bAppActive, 0);
    // Coming back before start-up completed reopens nothing.
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 1});
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(g_bAppActive, 1);
}

TEST_F(SpineTest, InactiveWithNothingToComeEndsInsteadOfHanging)
{
    EXPECT_EQ(Run(nullptr, -1, {"0 activate 0"}), 0);
    EXPECT_EQ(g_iMainFrameCount, 0);
}

TEST_F(SpineTest, FrameStates)
{
    struct Case
    {
        int state;
        int countdown;
        Names calls; // between Ed_AttractTick and Gfx_EndFrame
        int nextState;
        uint16_t uiPadWord = 0;
    };
    const Case cases[] = {
        {0, 0, {"Ui_Frame"}, 0},
        // The display window stays until the interface asks for the whole display.
        {1, 0, {"Gfx_UpdateDisplayWindow"}, 1},
        {1, 0, {"Gfx_UpdateDisplayWindow"}, 0, 0x1000},
        {13, 0, {"Ed_PlaylistTick"}, 13},
        {16, 2, {}, 16},
        {16, 1, {}, 17},
        {17, 0, {"Sys_CardOverlayEnter", "Gfx_SetFrameMode", "Gfx_LoadScreenGraphics"}, 0},
        {2, 0, {}, 2},
        {12, 0, {}, 12},
        {14, 0, {}, 14},
        {15, 0, {}, 15},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.state);
        Sys_CallLogClear();
        g_wUiPadWord = c.uiPadWord;
        g_iFrameState = c.state;
        g_iFrameStateCountdown = c.countdown;
        Sys_FrameDispatch();
        Names expected = {"Gfx_BeginFrame", "Ed_AttractTick"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        expected.push_back("Gfx_EndFrame");
        EXPECT_EQ(Lines(Log()), Lines(expected));
        EXPECT_EQ(g_iFrameState, c.nextState);
    }
}

TEST_F(SpineTest, CountdownOfThreeReachesOverlayOnThirdFrameAndInterfaceOnFourth)
{
    g_iFrameState = FRAMESTATE_COUNTDOWN;
    g_iFrameStateCountdown = 3;
    const int after[] = {16, 16, 17, 0};
    for (int expected : after) {
        Sys_FrameDispatch();
        EXPECT_EQ(g_iFrameState, expected);
    }
}

TEST_F(SpineTest, FailedPresentIsNotCounted)
{
    ASSERT_EQ(Sys_OpenDisplay(0, -1), 0);
    g_iMainFrameCount = 7;
    EXPECT_EQ(Sys_FrameUpdate(), 0);
    EXPECT_EQ(g_iMainFrameCount, 8);
    // A lost screen that cannot be restored fails the present.
    Plat_DisplayHeadlessLoseSurfaces(PLAT_SURFACE_PRIMARY);
    Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_RESTORE);
    EXPECT_EQ(Sys_FrameUpdate(), 1);
    EXPECT_EQ(g_iMainFrameCount, 8);
    Plat_DisplayHeadlessReset();
    Sys_CloseDisplay();
}

TEST_F(SpineTest, DisplayThatCannotOpenEndsStartupWithNothingHalfOpen)
{
    const PLATDISPLAYSTEP steps[] = {PLAT_DISPLAY_STEP_OPEN, PLAT_DISPLAY_STEP_SETMODE};
    for (PLATDISPLAYSTEP step : steps) {
        SCOPED_TRACE(step);
        SetUp();
        Plat_DisplayHeadlessFailStep(step);
        EXPECT_EQ(Run(nullptr, 5), -2);
        EXPECT_EQ(Plat_MessageBoxLog(), Names{"ERROR!|Couldn't Initialise Display Device"});
        EXPECT_EQ(Before("Gfx_ShowLoadingScreen").size(), Log().size()) << "start-up stops at the display";
        EXPECT_EQ(g_pDirectDraw, nullptr);
        EXPECT_EQ(g_iDisplayDevice, -1);
        EXPECT_EQ(g_bDisplayOpen, 0);
        for (int i = 0; i < g_iDisplayDeviceCount; i++)
            EXPECT_EQ(g_aDisplayDevices[i].currentMode, -1);
        Plat_DisplayHeadlessReset();
    }
    // No 640 x 480 x 16 mode to fall back to.
    SetUp();
    PLATDISPLAYDEVICE big;
    big.driver = "mem";
    big.description = "big only";
    big.modes = {{1024, 768, 16, 0xF800, 0x07E0, 0x001F}};
    Plat_DisplayHeadlessSetDevices({big});
    EXPECT_EQ(Run(nullptr, 5), -2);
    EXPECT_EQ(g_pDirectDraw, nullptr);
    Plat_DisplayHeadlessReset();
}

TEST_F(SpineTest, HostRegistersWithTheLobbyAndStartsTheSession)
{
    Kes_UseFake(true, 0);
    setenv("TNV_NET_PORT", "0", 1);
    const std::string portFile = ::testing::TempDir() + "tnv_spine_host.port";
    std::remove(portFile.c_str());
    setenv("TNV_NET_PORT_FILE", portFile.c_str(), 1);
    EXPECT_EQ(Run("-host -advert_ip= 10.0.0.5 -advert_port= 2300 -players= 3", 1), 0);
    const Names expected = {
        "InitKesComms(0,\"10.0.0.5\",\"2300\",65533,2,3)",
        "SetGeneralData(1,\"KestrixServerName\")",
        "SetGeneralData(2,0)",
        "SetGeneralData(3,2)",
        "SetKestrixCompatibilityData(zero,256)",
        "SetFieldData(0,3)",
        "SetFieldData(1,0)",
        "SetKestrixNonHeadlineData(zero,256)",
        "RegisterGameServer(1,3,3000,-1)",
        "KestrixStartResponse()",
        "SetKestrixDataClientList(Gubbins/Gubbins/Gubbins,3,3)",
    };
    EXPECT_EQ(RegistrationCalls(), expected);
    EXPECT_EQ(Plat_MessageBoxLog(), Names{"Error|10.0.0.5"});
    EXPECT_EQ(Count("Jam_HostFromLobby"), 1);
    EXPECT_GT(ReadPortFile(portFile), 0) << "the host ran the server session";
    EXPECT_EQ(g_NetNode.pSessionB, nullptr) << "quitting ends the hosted session";
    unsetenv("TNV_NET_PORT");
    unsetenv("TNV_NET_PORT_FILE");
    ASSERT_NE(g_pPointerShape, nullptr);
    EXPECT_EQ(*g_pPointerShape, 642);
}

TEST_F(SpineTest, LobbyThatRefusesEverythingShowsABoxPerCallAndStillStarts)
{
    struct Case
    {
        int status;
        const char *statusText; // null: no status box
    };
    const Case cases[] = {
        {1, "KES_REG_REGISTERED"},
        {2, "KES_REG_ATTEMPTING_TO_REGISTER"},
        {3, "KES_REG_NOT_REGISTERED"},
        {4, "KES_REG_NOT_REGISTERED_ERROR"},
        {5, "KES_REG_NOT_REGISTERED_SERVER_FULL"},
        {6, "KES_REG_NOT_REGISTERED_COMMS_ERROR"},
        {0, nullptr},
        {7, nullptr},
        {-1, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        SetUp();
        Kes_UseFake(true, -1, c.status);
        setenv("TNV_NET_PORT", "0", 1);
        EXPECT_EQ(Run("-host", 1), 0);
        unsetenv("TNV_NET_PORT");
        Names expected = {
            "Error|",
            "Error|InitKesComms",
            "Error|SetGeneralData GENERALDATA_SERVERNAME",
            "Error|SetGeneralData GENERALDATA_LANGUAGE",
            "Error|SetGeneralData GENERALDATA_GAME_VERSION",
            "Error|SetKestrixCompatibilityData",
            "Error|SetFieldData g_iKestrixMaxPlayers",
            "Error|SetFieldData g_iKestrixMusicStyle",
            "Error|SetFieldData g_p_ucNonHeadlineBuffer",
            "Error|RegisterGameServer",
        };
        if (c.statusText)
            expected.push_back(std::string("Error|") + c.statusText);
        expected.push_back("Error|KestrixStartResponse");
        expected.push_back("Error|SetKestrixDataClientList");
        EXPECT_EQ(Plat_MessageBoxLog(), expected);
        const Names lobby = Kes_FakeLog();
        EXPECT_EQ(std::count(lobby.begin(), lobby.end(), "GetRegistrationStatus()"), 1);
        EXPECT_EQ(Count("Jam_HostFromLobby"), 1);
    }
}

TEST_F(SpineTest, JoinInitialisesTheLobbyAndJoins)
{
    Kes_UseFake(true, -1);
    // Nobody listens there: the join gives up after its rounds and says so.
    g_NetNode.iEnumTimeoutMs = 20;
    EXPECT_EQ(Run("-join -ip= 127.0.0.1:9", 1), 0);
    g_NetNode.iEnumTimeoutMs = 1000;
    EXPECT_EQ(Kes_FakeLog(), Names{"InitKesComms(1,null,null,65533,0,null)"});
    EXPECT_EQ(Plat_MessageBoxLog(), (Names{"Error|", "Jam session|No jam session answered at \"127.0.0.1:9\"."}));
    EXPECT_EQ(g_NetNode.pSessionA, nullptr) << "a join that gave up leaves no session behind";
    EXPECT_EQ(Count("Jam_JoinFromLobby"), 1);
    EXPECT_FALSE(Has("Jam_HostFromLobby"));
}

TEST_F(SpineTest, LobbyUnregisterStopsResponsesThenUnregisters)
{
    Kes_UseFake(true, 5);
    EXPECT_EQ(Sys_LobbyUnregister(), 5);
    EXPECT_EQ(Kes_FakeLog(), (Names{"KestrixStopResponse()", "UnRegisterGameServer(1,3,3000)"}));
}
