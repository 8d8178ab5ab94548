// The CD player as a user meets it, through the studio's own loop and the pad keys: the CD
// button's options page left with "No video", the disc request answered, track 2 chosen and
// played, four seconds sampled into a new instrument, and the screen left again. The times and
// the track table's bounds are checked in-process.
#include "app/spine_fixture.h"
#include "support/studioprocess.h"
#include "support/tempdir.h"

#include "audio/cdaudio.h"
#include "audio/sampleslot.h"
#include "audio/wav.h"
#include "editors/cdscreen.h"
#include "sequencer/samples.h"
#include "ui/menupages.h"
#include "ui/busybox.h"
#include "app/timers.h"
#include "platform/display.h"
#include "render/display.h"
#include "sequencer/livehook.h"
#include "video/lanes.h"
#include "video/render.h"
#include "ui/msgbox.h"
#include "ui/mouse.h"
#include "platform/cd.h"
#include "platform/clock.h"
#include "editors/options.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

void WriteTrack(const std::string &path, int seconds, int seed)
{
    const int frames = seconds * 44100;
    std::vector<int16_t> data(size_t(frames) * 2);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = int16_t(int(i * 31 + size_t(seed) * 5000) % 30000 - 15000);
    ASSERT_EQ(Snd_WavOpenWrite(path.c_str(), 44100, 2), 0);
    ASSERT_EQ(Snd_WavWrite(data.data(), frames), 0);
    ASSERT_EQ(Snd_WavCloseWrite(uint32_t(frames)), 0);
}

class CdScreenScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
        disc_ = dir_.File("disc");
        std::filesystem::create_directories(disc_);
        WriteTrack(disc_ + "/track01.wav", 2, 1);
        WriteTrack(disc_ + "/track02.wav", 7, 2);
        setenv("TNV_CD_DIR", disc_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_CD_DIR");
        Ui_ResetMenuItems();
        SpineTest::TearDown();
    }
    TempDir dir_;
    std::string disc_;
};

struct Seen
{
    int32_t optionsScreen = -1, discAsked = 0, cdScreen = -1;
    uint8_t stateAfterOpen = 255, stateAfterNext = 255, stateSampling = 255, stateAfterStop = 255;
    int16_t trackSampled = 0, trackCount = 0;
    int32_t slot = 0;
    uint32_t rate = 0, frames = 0;
    int peak = 0;
    bool leftAgain = false;
};
Seen s_seen;

// The song grid's F4: the CD player driven through the same handlers as its pad slots, with
// the clock moved on four seconds while the disc is sampled.
void DriveCdPlayer()
{
    Ed_CdPlayerCommand();
    s_seen.optionsScreen = g_iNextScreen;
    Ed_GadgetLeftKey(); // "No video"
    Ed_GadgetAccept();
    s_seen.discAsked = g_pCurrentMsgBox != nullptr;
    Ui_MessageBoxRight(); // "Okay"
    Ui_MessageBoxAccept();
    s_seen.cdScreen = g_iNextScreen;
    s_seen.stateAfterOpen = g_ucCdState;
    s_seen.trackCount = g_sCdTrackCount;
    for (int i = 0; i < 5; i++)
        Ed_CdCursorRight();
    Ed_CdTransportAction(); // next track
    s_seen.stateAfterNext = g_ucCdState;
    for (int i = 0; i < 5; i++)
        Ed_CdCursorLeft();
    Ed_CdTransportAction(); // play
    Ed_CdFrame(nullptr);    // play requested becomes playing
    Ed_CdCursorRight();
    Ed_CdTransportAction(); // sample
    s_seen.stateSampling = g_ucCdState;
    s_seen.trackSampled = g_sCdTrack;
    Plat_ManualClockAdvance(4000000);
    Ui_MessageBoxAccept(); // the sampling box's "Stop"
    s_seen.stateAfterStop = g_ucCdState;
    s_seen.slot = g_iCdLastSampledSlot;
    SAMPLESLOT *s = nullptr;
    if (s_seen.slot > 0)
        Snd_FindSampleById(&s, uint32_t(g_aInstrumentSlots[s_seen.slot].iSampleId));
    if (!s)
        return;
    s_seen.rate = s->uRate;
    s_seen.frames = s->uFrames;
    const int16_t *data = reinterpret_cast<const int16_t *>(s->pStart);
    for (uint32_t i = 0; data && i < s->uFrames; i += 101)
        s_seen.peak = std::max(s_seen.peak, std::abs(int(data[i])));
}

// A full disc: 99 tracks of 10 seconds, the last one 3723 seconds long (78 minutes in all).
PLATCDTOC s_fullToc;
const PLATCDAUDIOOPS s_fullDrive = {
    [] { return int(PLAT_CDA_OK); },
    [] {},
    [] { return int(PLAT_CDA_OK); },
    [](PLATCDTOC *toc) {
        *toc = s_fullToc;
        return int(PLAT_CDA_OK);
    },
    [](int32_t, int32_t count, void *buffer) {
        std::memset(buffer, 0, size_t(count) * PLAT_CDA_SECTOR_BYTES);
        return int(PLAT_CDA_OK);
    },
    [] { return int(PLAT_CDA_OK); },
};

struct FullDiscSeen
{
    int16_t count = 0, track = 0;
    uint8_t lastLength[3] = {};
    uint8_t stateAtEnd = 255;
};
FullDiscSeen s_full;

// The screen on a disc with the most tracks a disc can have: the table holds them all and the
// last track's length comes from the end of the disc.
void OpenOnAFullDisc()
{
    s_fullToc = PLATCDTOC{};
    s_fullToc.iTrackCount = PLAT_CDA_MAX_TRACKS;
    for (int t = 0; t < PLAT_CDA_MAX_TRACKS; t++) {
        s_fullToc.aiStart[t] = t * 10 * 75;
        s_fullToc.aiLength[t] = (t == PLAT_CDA_MAX_TRACKS - 1 ? 3723 : 10) * 75;
    }
    Snd_CdCloseDevice();
    Plat_CdAudioSetOps(&s_fullDrive);
    Snd_CdOpenDevice();
    Ed_OpenCdScreen();
    s_full.count = g_sCdTrackCount;
    g_ucCdCursor = CDBUTTON_NEXT;
    for (int i = 0; i < 120; i++)
        Ed_CdTransportAction();
    s_full.track = g_sCdTrack;
    std::memcpy(s_full.lastLength, g_aucCdLength, 3);
    // Next on the last track only puts the cursor back on play.
    g_ucCdCursor = CDBUTTON_NEXT;
    Ed_CdTransportAction();
    s_full.stateAtEnd = g_ucCdCursor;
    Ed_CdLeave();
    Snd_CdCloseDevice();
    Plat_CdAudioSetOps(nullptr);
}

void LeaveCdPlayer()
{
    Ed_CdAskLeave();
    Ui_MessageBoxRight();
    Ui_MessageBoxAccept();
    s_seen.leftAgain = g_pCdWindow == nullptr && g_pCdTrackTable == nullptr;
}

TEST_F(CdScreenScript, PlaysTrackTwoAndSamplesFourSecondsIntoANewInstrument)
{
    s_seen = Seen{};
    g_iCdLastSampledSlot = 0;
    s_full = FullDiscSeen{};
    Ui_SetMenuItemHandler(3, [] {
        DriveCdPlayer();
        LeaveCdPlayer();
        OpenOnAFullDisc();
    });
    ASSERT_EQ(Run(nullptr, 20, {"10 keydown F4", "11 keyup F4"}), 0);

    EXPECT_EQ(s_seen.optionsScreen, 22) << "the options page comes first";
    EXPECT_TRUE(s_seen.discAsked) << "\"No video\" asks for the disc";
    EXPECT_EQ(s_seen.cdScreen, SCREEN_CD);
    EXPECT_EQ(s_seen.trackCount, 2);
    EXPECT_EQ(s_seen.stateAfterOpen, CDSCREEN_CHOSEN);
    EXPECT_EQ(s_seen.stateAfterNext, CDSCREEN_CHOSEN);
    EXPECT_EQ(s_seen.stateSampling, CDSCREEN_SAMPLING);
    EXPECT_EQ(s_seen.trackSampled, 2);
    EXPECT_EQ(s_seen.stateAfterStop, CDSCREEN_PAUSED) << "stop while sampling leaves the disc paused";
    EXPECT_TRUE(s_seen.leftAgain) << "leaving closes the screen and frees its table";

    EXPECT_EQ(s_full.count, 99) << "a full disc fits the track table";
    EXPECT_EQ(s_full.track, 99);
    EXPECT_EQ(s_full.lastLength[0], 1);
    EXPECT_EQ(s_full.lastLength[1], 2);
    EXPECT_EQ(s_full.lastLength[2], 3) << "3723 seconds show as 01:02:03";
    EXPECT_EQ(s_full.stateAtEnd, CDBUTTON_PLAY);

    ASSERT_GT(s_seen.slot, 0) << "the sampling made an instrument";
    EXPECT_EQ(s_seen.rate, 22050u) << "the screen's frequency at start-up";
    EXPECT_GE(s_seen.frames, 22050u * 39 / 10) << "four seconds";
    EXPECT_LE(s_seen.frames, 22050u * 41 / 10);
    EXPECT_GT(s_seen.peak, 1000) << "the disc's sound, not silence";
}

struct VideoSeen
{
    bool asked = false, busy = false, videoMode = false, capturing = false, cdScreen = false;
    int32_t videoEnd = 0;
    std::vector<std::vector<uint8_t>> frames;
    bool leftAgain = false, captureStopped = false, cancelAsked = false, cancelStopped = false;
};
VideoSeen s_video;

// Once the video is made and the disc is asked for: "Okay", then frames of the video at
// positions the live input would step through, and leaving again.
void PlayWithVideo()
{
    s_video.videoMode = g_bCdVideoMode == 1;
    s_video.capturing = g_iRecordRunning.load() == 1 && g_p_ucRecordBuffer.load() != nullptr;
    s_video.videoEnd = Vid_GetVideoEnd();
    Ui_MessageBoxRight();
    Ui_MessageBoxAccept();
    s_video.cdScreen = g_pCdWindow != nullptr;
    for (int32_t position : {0, 8, 16}) {
        Vid_ForceVideoPosition(position);
        Vid_UpdateLanes();
        for (int i = 0; i < 4; i++)
            Vid_RenderFrame();
        Gfx_Present();
        uint32_t w = 0, h = 0;
        s_video.frames.push_back(Plat_DisplayPresentedFrame(&w, &h));
        if (const char *dump = std::getenv("CD_VIDEO_DUMP"))
            Plat_WritePng((std::string(dump) + std::to_string(position) + ".png").c_str(),
                          s_video.frames.back().data(), w, h);
    }
    LeaveCdPlayer();
    s_video.leftAgain = g_pCdWindow == nullptr;
    s_video.captureStopped = g_iRecordRunning.load() == 0 && g_p_ucRecordBuffer.load() == nullptr;
    // "Cancel" on the disc request after a generation: the screen that would stop the capture
    // never opens, so the request stops it.
    g_bCdVideoMode = 1;
    g_atBusyOps[23].followUp();
    s_video.cancelAsked = g_pCurrentMsgBox != nullptr && g_p_ucRecordBuffer.load() != nullptr;
    Ui_MessageBoxAccept();
    s_video.cancelStopped =
        g_iRecordRunning.load() == 0 && g_p_ucRecordBuffer.load() == nullptr && g_bCdVideoMode == 0 && !g_pCdWindow;
}

// F4: "Generate video" on the CD player's options page (its focused gadget).
void GenerateFromOptions()
{
    Ed_CdPlayerCommand();
    Ed_GadgetAccept();
    // The demo song has a video of its own: the question comes first.
    s_video.asked = g_pCurrentMsgBox != nullptr;
    Ui_MessageBoxRight();
    Ui_MessageBoxAccept();
    s_video.busy = g_pBusyBoxWindow != nullptr && g_tBusyBox.code == 23;
    if (!s_video.busy)
        return;
    // The box's work now, as its countdown would run it (a box open holds the function keys).
    Ui_CloseWindow(g_pBusyBoxWindow);
    g_tBusyBox.countdown = 0;
    g_pBusyBoxWindow = nullptr;
    g_atBusyOps[23].run();
    g_atBusyOps[23].followUp();
    PlayWithVideo();
}

TEST_F(CdScreenScript, GeneratedVideoPlaysWithTheDiscAndMoves)
{
    s_video = VideoSeen{};
    Ui_SetMenuItemHandler(3, GenerateFromOptions);
    ASSERT_EQ(Run(nullptr, 20, {"10 keydown F4", "11 keyup F4"}), 0);
    if (std::getenv("CDDBG"))
        for (const std::string &l : Log())
            if (l.find("Ed_") == 0 || l.find("Ui_O") == 0 || l.find("Ui_B") == 0)
                std::fprintf(stderr, "%s ", l.c_str());
    EXPECT_TRUE(s_video.asked) << "overwriting the song's video is asked first";
    EXPECT_TRUE(s_video.busy) << "the video is made behind the busy box";
    EXPECT_TRUE(s_video.videoMode);
    EXPECT_TRUE(s_video.capturing) << "the sound input drives the video";
    EXPECT_GT(s_video.videoEnd, 0) << "the video holds clips";
    EXPECT_TRUE(s_video.cdScreen);
    ASSERT_EQ(s_video.frames.size(), 3u);
    EXPECT_FALSE(s_video.frames[0].empty());
    EXPECT_TRUE(s_video.frames[0] != s_video.frames[1] || s_video.frames[1] != s_video.frames[2])
        << "the frames move";
    EXPECT_TRUE(s_video.leftAgain);
    EXPECT_TRUE(s_video.captureStopped) << "leaving stops the capture and frees its buffer";
    EXPECT_TRUE(s_video.cancelAsked);
    EXPECT_TRUE(s_video.cancelStopped) << "cancelling the disc request stops the capture";
}

TEST(CdScreen, TimesSplitAndFormatAsTheScreenShowsThem)
{
    struct Case
    {
        int32_t seconds;
        const char *text;
    } cases[] = {{0, "00:00:00"}, {59, "00:00:59"}, {3723, "01:02:03"}, {-5, "00:00:00"}};
    for (const Case &c : cases) {
        uint8_t t[3];
        char text[16];
        Ed_CdSplitTime(c.seconds, t);
        Ed_CdFormatTime(t, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.seconds;
    }
}

// ---- The screen with the mouse ----

// The screen is centred on the 640 x 480 screen: the transport row's cells are 21 pixels from
// (215, 337), the "FREQ." choices 12 pixels from (386, 363).
constexpr int kRowY = 240 + 97 + 10, kFreqY = 240 + 123 + 3;
constexpr int ButtonX(int n)
{
    return 320 - 105 + 21 * n + 10;
}
constexpr int FreqX(int i)
{
    return 320 + 66 + 12 * i + 5;
}
// The options page (340 x 98, centred): its "No video" and "Generate video" rows.
constexpr int kPageX = 150, kPageY = 191;
// The disc request's "Okay", centred on the screen.
constexpr int kOkayX = 355, kOkayY = 214, kOverwriteOkayY = 221;

struct MouseScript
{
    std::vector<std::string> lines{"10 keydown F4", "11 keyup F4"};
    int frame = 16;
    // The pointer goes to the corner first (it stops there), then to the place.
    MouseScript &Press(int x, int y, int hold = 1, int wait = 6)
    {
        lines.push_back(std::to_string(frame) + " mousemove -2000 -2000");
        lines.push_back(std::to_string(frame + 1) + " mousemove " + std::to_string(x) + " " + std::to_string(y));
        lines.push_back(std::to_string(frame + 2) + " mousedown 1");
        lines.push_back(std::to_string(frame + 2 + hold) + " mouseup 1");
        frame += wait + hold;
        return *this;
    }
    MouseScript &Wait(int n)
    {
        frame += n;
        return *this;
    }
};

struct Frame
{
    std::vector<uint8_t> rgb;
    uint32_t w = 0, h = 0;
    // Pixels of the rectangle brighter than dark grey, and those of mostly green.
    int Lit(int x0, int y0, int x1, int y1, bool green = false) const
    {
        int n = 0;
        for (int y = y0; y < y1 && y < int(h); y++)
            for (int x = x0; x < x1 && x < int(w); x++) {
                const uint8_t *p = &rgb[(size_t(y) * w + size_t(x)) * 3];
                n += green ? (p[1] > 60 && p[1] > p[0] + 40 && p[1] > p[2] + 20) : (p[0] + p[1] + p[2] > 150);
            }
        return n;
    }
    // Pixels of the rectangle that are not black, and those that differ from another frame's.
    int NotBlack(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1 && y < int(h); y++)
            for (int x = x0; x < x1 && x < int(w); x++) {
                const uint8_t *p = &rgb[(size_t(y) * w + size_t(x)) * 3];
                n += p[0] + p[1] + p[2] > 30;
            }
        return n;
    }
    int Differs(const Frame &o, int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1 && y < int(h) && y < int(o.h); y++)
            for (int x = x0; x < x1 && x < int(w) && x < int(o.w); x++) {
                const size_t i = (size_t(y) * w + size_t(x)) * 3;
                n += std::memcmp(&rgb[i], &o.rgb[(size_t(y) * o.w + size_t(x)) * 3], 3) != 0;
            }
        return n;
    }
};
Frame ReadPng(const std::string &path)
{
    Frame f;
    FILE *fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return f;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> bytes;
    {
        std::fseek(fp, 0, SEEK_END);
        bytes.resize(size_t(std::ftell(fp)));
        std::fseek(fp, 0, SEEK_SET);
        if (std::fread(bytes.data(), 1, bytes.size(), fp) != bytes.size())
            bytes.clear();
        std::fclose(fp);
    }
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return f;
    image.format = PNG_FORMAT_RGB;
    f.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, f.rgb.data(), 0, nullptr))
        f.rgb.clear();
    f.w = image.width;
    f.h = image.height;
    return f;
}

class CdScreenMouse : public CdScreenScript
{
protected:
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        CdScreenScript::TearDown();
    }
    // Runs the script from the song grid, whose F4 opens the CD player's options page as the top
    // bar's button does; the last frame is read back.
    Frame RunScript(const MouseScript &m, int frames, const char *name)
    {
        g_ucMouseButtons = 0; // start-up switches mouse mode on: from off, as the program starts
        Snd_CdCloseDevice();  // the drive opens on this test's disc
        Ui_SetMenuItemHandler(3, Ed_CdPlayerCommand);
        const std::string png = dir_.File(name);
        setenv("TNV_DUMP_FRAME", png.c_str(), 1);
        EXPECT_EQ(Run(nullptr, frames, m.lines), 0);
        if (const char *keep = std::getenv("CD_MOUSE_DUMP"))
            std::filesystem::copy_file(png, std::string(keep) + name, std::filesystem::copy_options::overwrite_existing);
        return ReadPng(png);
    }
};

// "No video" and "Okay" with the mouse, then the transport: next track, play, the 44 kHz choice.
// The last frame shows track 2 playing, the play button lit and 44 chosen.
TEST_F(CdScreenMouse, ClicksChooseTheTrackPlayItAndPickTheFrequency)
{
    g_ucCdFrequency = 1;
    MouseScript m;
    m.Press(kPageX + 83, kPageY + 69)          // "No video"
        .Press(kOkayX, kOkayY)                 // the disc request's "Okay"
        .Press(ButtonX(CDBUTTON_NEXT), kRowY)  // track 2
        .Press(ButtonX(CDBUTTON_PLAY), kRowY)  // play
        .Press(FreqX(2), kFreqY)               // 44
        .Press(ButtonX(CDBUTTON_PLAY), 300)    // above the row: nothing
        .Wait(6);
    const Frame f = RunScript(m, m.frame, "play.png");
    EXPECT_TRUE(Has("Ed_OpenCdScreen")) << "the options page and the disc request answered the mouse";
    EXPECT_EQ(Count("Ed_CdTransportAction"), 2) << Lines(After("Ed_OpenCdScreen"));
    EXPECT_EQ(g_sCdTrack, 2);
    EXPECT_EQ(g_ucCdState, CDSCREEN_PLAYING);
    EXPECT_EQ(g_ucCdCursor, CDBUTTON_PLAY);
    EXPECT_EQ(g_ucCdFrequency, 2);
    ASSERT_EQ(f.w, 640u);
    EXPECT_GT(f.Lit(ButtonX(CDBUTTON_PLAY) - 9, 338, ButtonX(CDBUTTON_PLAY) + 9, 355, true), 10)
        << "the play button is lit";
    EXPECT_EQ(f.Lit(ButtonX(CDBUTTON_NEXT) - 9, 338, ButtonX(CDBUTTON_NEXT) + 9, 355, true), 0);
    EXPECT_GT(f.Lit(FreqX(2) - 5, kFreqY - 3, FreqX(2) + 6, kFreqY + 4), f.Lit(FreqX(0) - 5, kFreqY - 3, FreqX(0) + 6, kFreqY + 4))
        << "44 stands out";
    g_ucCdFrequency = 1;
}

// Stop with the mouse, then a rewind held down on a playing disc: it seeks while held and plays
// again from where it got to once the button comes up, the cursor back on play.
TEST_F(CdScreenMouse, StopAndAHeldRewind)
{
    MouseScript m;
    m.Press(kPageX + 83, kPageY + 69)
        .Press(kOkayX, kOkayY)
        .Press(ButtonX(CDBUTTON_PLAY), kRowY)
        .Wait(4)
        .Press(ButtonX(CDBUTTON_STOP), kRowY)
        .Press(ButtonX(CDBUTTON_PLAY), kRowY)
        .Wait(40)
        .Press(ButtonX(CDBUTTON_REWIND), kRowY, 12)
        .Wait(4);
    RunScript(m, m.frame, "rewind.png");
    const std::vector<std::string> after = After("Ed_OpenCdScreen");
    EXPECT_EQ(std::count(after.begin(), after.end(), "Ed_CdTransportAction"), 4) << Lines(after);
    EXPECT_EQ(std::count(after.begin(), after.end(), "Ed_CdSeekStop"), 1) << "the release ends the seek";
    EXPECT_EQ(g_ucCdState, CDSCREEN_PLAYING) << "playing again after the release";
    EXPECT_EQ(g_ucCdCursor, CDBUTTON_PLAY);
    EXPECT_EQ(g_bCdCursorLatched, 0);
}

// "Generate video" and the two questions answered with the mouse: the disc plays in video mode,
// the panel below the video's framed rectangle, the grid and the top bar gone from the screen.
TEST_F(CdScreenMouse, GeneratedVideoModeFromTheMouse)
{
    MouseScript m;
    m.Press(kPageX + 83, kPageY + 85)   // "Generate video"
        .Press(kOkayX, kOverwriteOkayY) // overwriting the song's video
        .Press(kOkayX, kOkayY)          // the disc request
        .Press(ButtonX(CDBUTTON_PLAY), kRowY)
        .Wait(10);
    const Frame f = RunScript(m, m.frame, "video.png");
    EXPECT_TRUE(Has("Ed_OpenCdScreen"));
    EXPECT_EQ(g_ucCdState, CDSCREEN_PLAYING);
    ASSERT_EQ(f.w, 640u);
    // The video's rectangle: 208 x 180 from (216, 130), framed.
    EXPECT_GT(f.Lit(214, 128, 426, 131) + f.Lit(214, 309, 426, 312), 100) << "the video's frame";
    EXPECT_GT(f.Lit(207, 330, 433, 372), 200) << "the panel shows below it";
    EXPECT_EQ(f.Lit(0, 0, 640, 100), 0) << "nothing of the grid or the top bar";
}

// The next track while the generated video plays gives the lanes new clips: the video's
// rectangle must go on showing them, and they move, not stay black for the rest of the disc.
TEST_F(CdScreenMouse, GeneratedVideoShowsAndMovesAfterTheNextTrack)
{
    MouseScript m;
    m.Press(kPageX + 83, kPageY + 85)
        .Press(kOkayX, kOverwriteOkayY)
        .Press(kOkayX, kOkayY)
        .Press(ButtonX(CDBUTTON_PLAY), kRowY)
        .Press(ButtonX(CDBUTTON_NEXT), kRowY)
        .Wait(4);
    const Frame a = RunScript(m, m.frame, "next_a.png");
    EXPECT_EQ(g_sCdTrack, 2);
    EXPECT_EQ(g_ucCdState, CDSCREEN_PLAYING);
    // The same run again from a clean start, some frames longer.
    TearDown();
    SetUp();
    g_sCdTrack = 0;
    const Frame b = RunScript(m, m.frame + 6, "next_b.png");
    EXPECT_EQ(g_sCdTrack, 2);
    ASSERT_EQ(a.w, 640u);
    ASSERT_EQ(b.w, 640u);
    // The rectangle's inside, its frame left out: 208 x 180 from (216, 130).
    EXPECT_GT(a.NotBlack(217, 131, 423, 309), 300) << "the video shows its objects";
    EXPECT_GT(b.NotBlack(217, 131, 423, 309), 300) << "and goes on showing them";
    EXPECT_GT(a.Differs(b, 217, 131, 423, 309), 50) << "the objects move between the two frames";
}

} // namespace
