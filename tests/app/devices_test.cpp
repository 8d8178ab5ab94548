#include "spine_fixture.h"

#include "audio/soundout.h"
#include "platform/audio_out.h"
#include "platform/display.h"
#include "platform/mouse.h"
#include "render/display.h"

#include <cstdint>
#include <string>
#include <unistd.h>

namespace {

using Names = std::vector<std::string>;

class DevicesTest : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        g_iGfxDevice = 0;
        g_iAudioOutDevice = 0;
        g_iWantedDisplayMode = -1;
        g_iSelectedWidth = 640;
        g_iSelectedHeight = 480;
        g_iSelectedDepth = 16;
        g_iScreenWidth = 640;
        g_iScreenHeight = 480;
        g_bGpuLayerFlush = 1;
        g_iTextureSizeSetting = 1;
        g_iMouseButton1 = g_iMouseButton2 = 1;
        g_iMouseDeltaX = g_iMouseDeltaY = 0;
        g_bMouseClicked = 0;
        Plat_MouseHeadlessReset();
        // Two display devices: 0 offers 640 x 480 and 800 x 600, 1 offers 640 x 480 and 1024 x 768.
        PLATDISPLAYDEVICE a, b;
        a.driver = "mem";
        a.description = "first";
        a.modes = {{640, 480, 16, 0xF800, 0x07E0, 0x001F}, {800, 600, 16, 0xF800, 0x07E0, 0x001F}};
        b.driver = "mem";
        b.description = "second";
        b.modes = {{1024, 768, 16, 0xF800, 0x07E0, 0x001F}, {640, 480, 16, 0xF800, 0x07E0, 0x001F}};
        Plat_DisplayHeadlessSetDevices({a, b});
    }

    void TearDown() override
    {
        Sys_ReleaseDisplayObjects();
        Sys_CloseDisplay();
        Sys_CloseAudioOutput();
        Sys_ReleaseMouse();
        Plat_MouseHeadlessReset();
        Plat_DisplayHeadlessReset();
        unsetenv("TNV_AUDIO_DUMP");
        SpineTest::TearDown();
    }

    // Display and objects as start-up leaves them.
    static void OpenDisplay()
    {
        ASSERT_EQ(Sys_OpenDisplay(g_iGfxDevice, g_iWantedDisplayMode), 0);
        ASSERT_EQ(Sys_CreateDisplayObjects(0), 0);
        Sys_CallLogClear();
    }

    // The device calls of the log, in order.
    static Names DeviceCalls()
    {
        Names out;
        for (const std::string &n : Log())
            if (n.find("Display") != std::string::npos || n.find("Audio") != std::string::npos ||
                n == "Sys_ReopenDevices" || n.rfind("Ui_", 0) == 0)
                out.push_back(n);
        return out;
    }

    // The open device and the size of its mode; -1 when none.
    static void ExpectDisplay(int device, uint32_t width, uint32_t height)
    {
        ASSERT_EQ(g_bDisplayOpen, 1);
        ASSERT_EQ(g_iDisplayDevice, device);
        const DISPLAYDEVICE &dev = g_aDisplayDevices[device];
        ASSERT_GE(dev.currentMode, 0);
        EXPECT_EQ(dev.modes[dev.currentMode].width, width);
        EXPECT_EQ(dev.modes[dev.currentMode].height, height);
    }

    static bool StreamTakesABlock()
    {
        static const int16_t block[SND_STREAM_BLOCK_FRAMES * 2] = {};
        return Snd_WriteStreamBlock(block, SND_STREAM_BLOCK_BYTES, 0) == 0;
    }
};

const Names kSwitch = {"Sys_ReleaseDisplayObjects", "Sys_CloseDisplay", "Sys_OpenDisplay", "Sys_CreateDisplayObjects"};

Names Twice(const Names &a)
{
    Names out = a;
    out.insert(out.end(), a.begin(), a.end());
    return out;
}

} // namespace

TEST_F(DevicesTest, AudioOutputOpensARealStreamAndClosesIt)
{
    ASSERT_EQ(Sys_OpenAudioOutput(0), 0);
    EXPECT_TRUE(Plat_AudioOutIsOpen());
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1);
    EXPECT_TRUE(StreamTakesABlock());

    EXPECT_EQ(Sys_CloseAudioOutput(), 0);
    EXPECT_FALSE(Plat_AudioOutIsOpen());
    EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
    EXPECT_FALSE(StreamTakesABlock()) << "the pump must find no stream, not a stale one";
    // Closing twice (shutdown after a failed start-up) is harmless.
    EXPECT_EQ(Sys_CloseAudioOutput(), 0);
}

TEST_F(DevicesTest, StoredAudioDeviceThatIsGoneFallsBackToTheDefault)
{
    // The headless system lists two outputs: 0 (default) and 1.
    for (int device : {1, 2, 7, -1, -5000}) {
        SCOPED_TRACE(device);
        g_iAudioOutDevice = device;
        ASSERT_EQ(Sys_OpenAudioOutput(g_iAudioOutDevice), 0);
        EXPECT_TRUE(Plat_AudioOutIsOpen());
        EXPECT_TRUE(StreamTakesABlock());
        Sys_CloseAudioOutput();
    }
}

TEST_F(DevicesTest, StartupPlaysIntoTheOutputForTheWholeRun)
{
    const std::string dump = ::testing::TempDir() + "devices_startup_dump_" + std::to_string(getpid()) + ".wav";
    std::remove(dump.c_str());
    setenv("TNV_AUDIO_DUMP", dump.c_str(), 1);
    ASSERT_EQ(Run(nullptr, 48), 0);
    unsetenv("TNV_AUDIO_DUMP");
    // Open from start-up (clock 0) to shutdown: the loading picture's five seconds, then 50 frames
    // of 20 ms, 882 sound frames each.
    FILE *f = std::fopen(dump.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char header[44] = {};
    ASSERT_EQ(std::fread(header, 1, sizeof header, f), sizeof header);
    std::fclose(f);
    const uint32_t dataBytes = header[40] | header[41] << 8 | header[42] << 16 | static_cast<uint32_t>(header[43]) << 24;
    EXPECT_EQ(dataBytes, (5u * 44100u + 50u * 882u) * 4u);
    EXPECT_FALSE(Plat_AudioOutIsOpen());
    std::remove(dump.c_str());
}

TEST_F(DevicesTest, FocusLossClosesAudioThenDisplayAndReturnReopensThemInOrder)
{
    g_bMainLoopStarted = 1;
    g_bAppActive = 1;
    ASSERT_EQ(Sys_OpenAudioOutput(g_iAudioOutDevice), 0);
    OpenDisplay();

    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 0});
    EXPECT_FALSE(Plat_AudioOutIsOpen());
    EXPECT_EQ(g_bDisplayOpen, 0);
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 1});
    EXPECT_TRUE(Plat_AudioOutIsOpen());
    EXPECT_EQ(g_bDisplayOpen, 1);
    EXPECT_TRUE(StreamTakesABlock());

    const Names expected = {
        "Sys_SuspendAudio(1)", "Sys_CloseAudioOutput", "Sys_ReleaseDisplayObjects", "Sys_CloseDisplay",
        "Sys_ReopenDevices",   "Sys_OpenAudioOutput",  "Sys_OpenDisplay",           "Sys_CreateDisplayObjects",
        "Sys_SuspendAudio(0)",
    };
    EXPECT_EQ(Lines(DeviceCalls()), Lines(expected));
}

TEST_F(DevicesTest, ReopenWithTheDisplayOpenClosesFirstAndTakesTheNewDevice)
{
    ASSERT_EQ(Sys_OpenAudioOutput(0), 0);
    OpenDisplay();
    EXPECT_EQ(Sys_ReopenDevices(1), 0);
    EXPECT_EQ(g_iGfxDevice, 1);
    const Names expected = {
        "Sys_ReopenDevices",   "Sys_CloseAudioOutput", "Sys_ReleaseDisplayObjects", "Sys_CloseDisplay",
        "Sys_OpenAudioOutput", "Sys_OpenDisplay",      "Sys_CreateDisplayObjects",
    };
    EXPECT_EQ(Lines(DeviceCalls()), Lines(expected));
    EXPECT_TRUE(Plat_AudioOutIsOpen());
}

TEST_F(DevicesTest, DisplayThatCannotReopenMakesNoObjectsAndIsRetriedOnTheNextReturn)
{
    g_bMainLoopStarted = 1;
    g_bAppActive = 1;
    ASSERT_EQ(Sys_OpenAudioOutput(0), 0);
    OpenDisplay();
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 0});
    Sys_CallLogFailOn("Sys_OpenDisplay");
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 1});
    EXPECT_EQ(g_bDisplayOpen, 0);
    EXPECT_FALSE(Has("Sys_CreateDisplayObjects")) << "no objects on a display that is not there";

    // Out and back again: the audio (left open) is reused and the display comes back.
    Sys_CallLogEnable(true);
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 0});
    Sys_WindowProc(1, {PLAT_EV_ACTIVATE, 1});
    EXPECT_EQ(g_bDisplayOpen, 1);
    EXPECT_TRUE(Plat_AudioOutIsOpen());
    EXPECT_TRUE(StreamTakesABlock());
}

TEST_F(DevicesTest, SwitchesRunReleaseCloseOpenCreate)
{
    OpenDisplay();
    g_iSelectedWidth = 1024;
    g_iSelectedHeight = 768;
    EXPECT_EQ(Sys_SwitchGfxDevice(1), 0);
    EXPECT_EQ(Lines(DeviceCalls()), Lines(kSwitch));
    EXPECT_EQ(g_iGfxDevice, 1);
    ExpectDisplay(1, 640, 480);
    EXPECT_EQ(g_iSelectedWidth, 640);
    EXPECT_EQ(g_iSelectedHeight, 480);
    EXPECT_EQ(g_iSelectedDepth, 16);

    // The user confirms 1024 x 768: it becomes the selected size and the stored mode, and the
    // full-screen video opens it with the layer copy off.
    Sys_AskGfxModeChange(0);
    Sys_QueryDisplayMode();
    EXPECT_EQ(g_iSelectedWidth, 1024);
    EXPECT_EQ(g_iSelectedHeight, 768);
    EXPECT_EQ(g_iGfxRes, 0);
    Sys_CallLogClear();
    Sys_SetDisplayResolution(1);
    EXPECT_EQ(Lines(DeviceCalls()), Lines(kSwitch));
    ExpectDisplay(1, 1024, 768);
    EXPECT_EQ(g_bGpuLayerFlush, 0);
    EXPECT_EQ(g_iScreenWidth, 1024);
    EXPECT_EQ(g_iScreenHeight, 768);
    Sys_SetDisplayResolution(0);
    ExpectDisplay(1, 640, 480);
    EXPECT_EQ(g_bGpuLayerFlush, 1);
    EXPECT_EQ(g_iScreenWidth, 640);
    EXPECT_EQ(g_iScreenHeight, 480);

    // A selected size the device lacks opens the default size, and the layout follows the display.
    g_iSelectedWidth = 800;
    g_iSelectedHeight = 600;
    Sys_SetDisplayResolution(1);
    ExpectDisplay(1, 640, 480);
    EXPECT_EQ(g_iScreenWidth, 640);
    EXPECT_EQ(g_iScreenHeight, 480);

    // A request out of the list changes nothing.
    g_iGfxRes = 5;
    Sys_AskGfxModeChange(7);
    Sys_QueryDisplayMode();
    EXPECT_EQ(g_iGfxRes, 5);
    EXPECT_EQ(g_iSelectedWidth, 800);
}

TEST_F(DevicesTest, StoredDisplayDeviceThatIsGoneOpensTheFirst)
{
    for (int device : {2, 7, -1}) {
        SCOPED_TRACE(device);
        ASSERT_EQ(Sys_OpenDisplay(device, -1), 0);
        ExpectDisplay(0, 640, 480);
        Sys_CloseDisplay();
        EXPECT_EQ(g_pDirectDraw, nullptr);
        EXPECT_EQ(g_bDisplayOpen, 0);
    }
}

TEST_F(DevicesTest, SuccessfulModeTestHoldsFiveSecondsThenReturns)
{
    OpenDisplay();
    const uint32_t presents = Plat_DisplayPresentCount();
    const uint64_t before = Plat_ClockNowUs();
    EXPECT_EQ(Sys_TryDisplayMode(-1, 1), 0);
    EXPECT_EQ(Plat_ClockNowUs() - before, 5000000u);
    // The test frame was shown in the tried mode.
    EXPECT_EQ(Plat_DisplayPresentCount(), presents + 1);
    uint32_t w = 0, h = 0;
    Plat_DisplayPresentedFrame(&w, &h);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(h, 600u);
    ExpectDisplay(0, 640, 480);
    EXPECT_EQ(Lines(DeviceCalls()), Lines(Twice(kSwitch)));
    EXPECT_EQ(g_bDisplayOpen, 1);
    EXPECT_EQ(g_bGpuLayerFlush, 1);
    EXPECT_EQ(g_iScreenWidth, 640);
    EXPECT_EQ(g_iScreenHeight, 480);
    EXPECT_EQ(g_iGfxDevice, 0) << "the tested device is applied only by a later switch";

    // Another device, in the mode of the default size.
    Sys_CallLogClear();
    EXPECT_EQ(Sys_TryDisplayMode(1, -1), 0);
    ExpectDisplay(0, 640, 480);
    EXPECT_EQ(g_iGfxDevice, 0);
}

TEST_F(DevicesTest, FailingModeTestLeavesTheWantedModeOfTheCurrentDeviceWithTheLayerCopyOn)
{
    g_iGfxDevice = 1;
    OpenDisplay();
    const uint64_t before = Plat_ClockNowUs();
    // A mode the device does not have, and one of the other device's numbers that is past this
    // device's list.
    for (int mode : {2, 99}) {
        SCOPED_TRACE(mode);
        g_bGpuLayerFlush = 0;
        g_iScreenWidth = 1024;
        EXPECT_EQ(Sys_TryDisplayMode(-1, mode), 1);
        ExpectDisplay(1, 640, 480);
        EXPECT_EQ(g_bGpuLayerFlush, 1);
        EXPECT_EQ(g_iScreenWidth, 640);
        EXPECT_EQ(g_iScreenHeight, 480);
        EXPECT_EQ(g_iTextureSurfaceSize, g_iGrabSize[0]) << "display objects made again";
    }
    EXPECT_EQ(Plat_ClockNowUs(), before) << "a failed mode is not held";
}

TEST_F(DevicesTest, ModeTestWhoseObjectsFailReportsFailureAndReturns)
{
    OpenDisplay();
    Sys_CallLogFailOn("Gfx_CreateLights");
    const uint64_t before = Plat_ClockNowUs();
    EXPECT_EQ(Sys_TryDisplayMode(-1, -1), 1);
    EXPECT_EQ(Plat_ClockNowUs(), before) << "nothing to hold";
    EXPECT_EQ(g_bDisplayOpen, 1);
    EXPECT_EQ(g_bGpuLayerFlush, 1);
}

TEST_F(DevicesTest, SelectingAnotherDeviceTestsItAndReopensTheCurrentOne)
{
    OpenDisplay();
    EXPECT_EQ(Sys_SelectGfxDevice(0), 0);
    EXPECT_TRUE(Log().empty()) << "the current device needs no test";
    Sys_CallLogFailOn("Gfx_CreateD3DDevice");
    EXPECT_EQ(Sys_SelectGfxDevice(1), 0);
    EXPECT_EQ(Count("Ui_ReportDisplayModeFailed"), 1);
    EXPECT_EQ(g_iGfxDevice, 0);
}

TEST_F(DevicesTest, ChangeRequestsAreRecordedAndAskedFor)
{
    EXPECT_EQ(Sys_AskGfxDeviceChange(2), 0);
    EXPECT_EQ(g_iRequestedGfxDevice, 2);
    EXPECT_EQ(g_iRequestedGfxMode, -1);
    EXPECT_EQ(Sys_AskGfxModeChange(5), 0);
    EXPECT_EQ(g_iRequestedGfxDevice, -1);
    EXPECT_EQ(g_iRequestedGfxMode, 5);
    EXPECT_EQ(Count("Ui_AskTestDisplayMode"), 2);
}

TEST_F(DevicesTest, TextureSizeSettingGivesTheColourKeySurfaceSize)
{
    const struct
    {
        int setting;
        int size;
    } cases[] = {{0, 64}, {1, 128}, {2, 256}, {3, 128}, {7, 128}, {-1, 128}};
    ASSERT_EQ(Sys_OpenDisplay(0, -1), 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.setting);
        g_iTextureSizeSetting = c.setting;
        EXPECT_EQ(Sys_CreateDisplayObjects(0), 0);
        EXPECT_EQ(g_iTextureSurfaceSize, c.size);
        EXPECT_EQ(g_iGrabSize[0], c.size);
        EXPECT_EQ(g_iGrabSize[1], c.size);
        Sys_ReleaseDisplayObjects();
    }
}

TEST_F(DevicesTest, DisplayObjectsFailWhenThe3DDeviceOrItsLightsDo)
{
    ASSERT_EQ(Sys_OpenDisplay(0, -1), 0);
    for (const char *step : {"Gfx_EnumerateD3DDevices", "Gfx_CreateD3DDevice", "Gfx_CreateLights"}) {
        SCOPED_TRACE(step);
        Sys_CallLogEnable(true);
        Sys_CallLogFailOn(step);
        EXPECT_EQ(Sys_CreateDisplayObjects(0), -1);
        Sys_ReleaseDisplayObjects();
    }
}

TEST_F(DevicesTest, MouseButtonsAreActiveLowAndAReleaseIsAClick)
{
    ASSERT_EQ(Sys_InitMouse(), 0);
    struct Step
    {
        int32_t dx, dy;
        int button; // -1 none
        bool down;
        int16_t wantDx, wantDy;
        int32_t button1, button2, clicked;
    };
    const Step steps[] = {
        {5, -3, 0, true, 5, -3, 0, 1, 0},    // press 1: held reads 0, no click yet
        {0, 0, -1, false, 0, 0, 0, 1, 0},    // still held
        {0, 0, 0, false, 0, 0, 1, 1, 1},     // released: a click
        {0, 0, 1, true, 0, 0, 1, 0, 1},      // button 2 held; the click stays until cleared
        {0x12345, -70000, 1, false, 0x2345, -4464, 1, 1, 1}, // 16 bits of the movement kept
    };
    for (size_t i = 0; i < std::size(steps); i++) {
        SCOPED_TRACE(i);
        const Step &s = steps[i];
        Plat_MouseHeadlessMove(s.dx, s.dy, 0);
        if (s.button >= 0)
            Plat_MouseHeadlessButton(s.button, s.down);
        EXPECT_EQ(Sys_AcquireMouse(), 0);
        EXPECT_EQ(Sys_PollMouse(), 0);
        EXPECT_EQ(g_iMouseDeltaX, s.wantDx);
        EXPECT_EQ(g_iMouseDeltaY, s.wantDy);
        EXPECT_EQ(g_iMouseButton1, s.button1);
        EXPECT_EQ(g_iMouseButton2, s.button2);
        EXPECT_EQ(g_bMouseClicked, s.clicked);
    }
    // Releasing button 1 when it was not held is no click.
    g_bMouseClicked = 0;
    Plat_MouseHeadlessButton(0, false);
    Sys_PollMouse();
    EXPECT_EQ(g_bMouseClicked, 0);
}

TEST_F(DevicesTest, LostMouseIsAcquiredAgainInThePoll)
{
    ASSERT_EQ(Sys_InitMouse(), 0);
    ASSERT_EQ(Sys_AcquireMouse(), 0);
    Plat_MouseHeadlessMove(2, 2, 0);
    Plat_MouseHeadlessLoseInput();
    EXPECT_EQ(Sys_PollMouse(), 0);
    EXPECT_EQ(g_iMouseDeltaX, 2);

    // Acquiring again is refused: the poll answers that and changes nothing.
    Plat_MouseHeadlessMove(9, 9, 0);
    Plat_MouseHeadlessButton(0, true);
    Plat_MouseHeadlessLoseInput();
    Plat_MouseHeadlessRefuseAcquire(true);
    EXPECT_EQ(Sys_PollMouse(), PLAT_MOUSE_OTHERHASPRIO);
    EXPECT_EQ(g_iMouseDeltaX, 2);
    EXPECT_EQ(g_iMouseButton1, 1);
}

TEST_F(DevicesTest, NoMouseMeansAcquireAndPollDoNothing)
{
    Sys_ReleaseMouse();
    Plat_MouseHeadlessMove(4, 4, 0);
    Plat_MouseHeadlessButton(0, true);
    EXPECT_EQ(Sys_AcquireMouse(), 1);
    EXPECT_EQ(Sys_PollMouse(), 0);
    EXPECT_EQ(g_iMouseDeltaX, 0);
    EXPECT_EQ(g_iMouseButton1, 1);
}

TEST_F(DevicesTest, ScriptedMouseReachesTheInterfaceThroughTheFrames)
{
    // Away and back first: the frames acquire the mouse again.
    EXPECT_EQ(Run(nullptr, 4, {"1 mousemove 10 20", "1 activate 0", "1 activate 1", "2 mousedown 1", "3 mouseup 1"}), 0);
    // The release was seen by the poll and taken by the interface's button byte.
    EXPECT_EQ(g_bMouseClicked, 0);
    EXPECT_EQ(g_iMouseButton1, 1);
    EXPECT_FALSE(Plat_MouseIsOpen()) << "the input release at shutdown lets it go";
}
