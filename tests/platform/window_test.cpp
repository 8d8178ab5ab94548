#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

TEST(KeyTranslation, SdlKeysBecomeVirtualKeys)
{
    const struct
    {
        const char *scancode;
        const char *key;
        uint16_t vk;
    } cases[] = {
        // Keypad keys by position, whatever NumLock made of the key code.
        {"Keypad 0", "Keypad 0", 0x60},
        {"Keypad 0", "Insert", 0x60},
        {"Keypad 9", "PageUp", 0x69},
        {"Keypad +", "Keypad +", 0x6B},
        {"Keypad Enter", "Keypad Enter", 0x0D},
        {"Up", "Up", 0x26},
        {"Right", "Right", 0x27},
        {"Down", "Down", 0x28},
        {"Left", "Left", 0x25},
        {"Escape", "Escape", 0x1B},
        {"F1", "F1", 0x70},
        {"F6", "F6", 0x75},
        {"F12", "F12", 0x7B},
        {"Left Shift", "Left Shift", 0x10},
        {"Right Ctrl", "Right Ctrl", 0x11},
        {"Left Alt", "Left Alt", 0x12},
        {"Return", "Return", 0x0D},
        {"Backspace", "Backspace", 0x08},
        {"Tab", "Tab", 0x09},
        {"Space", "Space", 0x20},
        {"A", "A", 0x41},
        {"Q", "A", 0x41}, // letters follow the layout's key code
        {"5", "5", 0x35},
        {"Delete", "Delete", 0x2E},
        {"", "", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.scancode) + " / " + c.key);
        EXPECT_EQ(Plat_SdlKeyNamesToVk(c.scancode, c.key), c.vk);
    }
}

TEST(KeyTranslation, Utf8BecomesWesternCodePage)
{
    const struct
    {
        const char *utf8;
        const char *western;
    } cases[] = {
        {"abc 123", "abc 123"},
        {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},     // é
        {"\xE2\x82\xAC", "\x80"},               // euro sign
        {"\xE2\x80\x9C" "x" "\xE2\x80\x9D", "\x93x\x94"},
        {"\xE4\xB8\xAD", ""},                   // not in the code page: dropped
        {"\xF0\x9F\x8E\xB5!", "!"},
        {"a\xC3", "a"},                         // cut short
        {"\x80\xBF" "b", "b"},                  // stray continuation bytes
        {"\t\x7F" "c", "c"},                    // control characters are not text
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(Plat_Utf8ToWestern(c.utf8), c.western);
    }
}

class HeadlessWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        unsetenv("TNV_INPUT_SCRIPT");
    }
    void TearDown() override
    {
        Plat_WindowDestroy();
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        unsetenv("TNV_INPUT_SCRIPT");
    }
    bool CreateWithScript(const std::string &text)
    {
        std::string path = ::testing::TempDir() + "window_script_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        FILE *f = std::fopen(path.c_str(), "w");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        setenv("TNV_INPUT_SCRIPT", path.c_str(), 1);
        return Plat_WindowCreate("Tonnivelle Demo", 640, 480);
    }
    static std::vector<PLATEVENT> Drain()
    {
        std::vector<PLATEVENT> out;
        PLATEVENT ev;
        while (Plat_PollEvent(&ev))
            out.push_back(ev);
        return out;
    }
};

TEST_F(HeadlessWindow, ScriptEventsArriveByFrameOnePerPoll)
{
    ASSERT_TRUE(CreateWithScript("2 keydown F6\n0 text a b\n1 char 0x41\n1 activate 0\n2 close\n"));
    EXPECT_STREQ(Plat_WindowTitle(), "Tonnivelle Demo");
    auto at0 = Drain();
    ASSERT_EQ(at0.size(), 3u);
    EXPECT_EQ(at0[0].type, PLAT_EV_CHAR);
    EXPECT_EQ(at0[0].code, uint32_t{'a'});
    EXPECT_EQ(at0[1].code, uint32_t{' '});
    EXPECT_EQ(at0[2].code, uint32_t{'b'});
    EXPECT_FALSE(Plat_WindowFrameDone());
    auto at1 = Drain();
    ASSERT_EQ(at1.size(), 2u);
    EXPECT_EQ(at1[0].code, 0x41u);
    EXPECT_EQ(at1[1].type, PLAT_EV_ACTIVATE);
    EXPECT_EQ(at1[1].code, 0u);
    // Posted events come before later script lines.
    Plat_PostEvent(PLAT_EV_CLOSE, 0);
    Plat_WindowFrameDone();
    auto at2 = Drain();
    ASSERT_EQ(at2.size(), 3u);
    EXPECT_EQ(at2[0].type, PLAT_EV_CLOSE);
    EXPECT_EQ(at2[1].type, PLAT_EV_KEYDOWN);
    EXPECT_EQ(at2[1].code, 0x75u);
    EXPECT_EQ(at2[2].type, PLAT_EV_CLOSEREQUEST);
    EXPECT_EQ(Plat_ClockNowUs(), 2u * PLAT_HEADLESS_FRAME_US);
}

TEST_F(HeadlessWindow, WaitTakesTheNextScriptedEventAndNeverBlocks)
{
    ASSERT_TRUE(CreateWithScript("100 keyup Left\n"));
    PLATEVENT ev;
    EXPECT_FALSE(Plat_PollEvent(&ev));
    ASSERT_TRUE(Plat_WaitEvent(&ev));
    EXPECT_EQ(ev.type, PLAT_EV_KEYUP);
    EXPECT_EQ(ev.code, 0x25u);
    ASSERT_TRUE(Plat_WaitEvent(&ev));
    EXPECT_EQ(ev.type, PLAT_EV_CLOSE);
}

TEST_F(HeadlessWindow, ExitAfterFramesAnswersOnce)
{
    setenv("TNV_EXIT_AFTER_FRAMES", "2", 1);
    ASSERT_TRUE(Plat_WindowCreate("t", 640, 480));
    EXPECT_FALSE(Plat_WindowFrameDone());
    EXPECT_TRUE(Plat_WindowFrameDone());
    EXPECT_FALSE(Plat_WindowFrameDone());
    Plat_WindowDestroy();
    setenv("TNV_EXIT_AFTER_FRAMES", "0", 1);
    ASSERT_TRUE(Plat_WindowCreate("t", 640, 480));
    EXPECT_TRUE(Plat_WindowFrameDone());
}

TEST_F(HeadlessWindow, BrokenScriptsAreRefusedWithTheirLine)
{
    const struct
    {
        const char *text;
        const char *error;
    } cases[] = {
        {"x keydown Up\n", "line 1: bad frame number"},
        {"1 keydown Up\n2 jump\n", "line 2: unknown event"},
        {"1 keydown NoSuchKey\n", "line 1: bad key"},
        {"1 keydown 0x10000\n", "line 1: bad key"},
        {"1 char 300\n", "line 1: bad character"},
        {"1 char\n", "line 1: bad character"},
        {"1 activate 2\n", "line 1: activate takes 0 or 1"},
        {"1\n", "line 1: missing event"},
        {"99999999999 close\n", "line 1: bad frame number"},
        {"1 mousemove 3\n", "line 1: mousemove takes two whole numbers"},
        {"1 mousemove 3 x\n", "line 1: mousemove takes two whole numbers"},
        {"1 mousemove 40000 0\n", "line 1: mousemove takes two whole numbers"},
        {"1 mousedown 0\n", "line 1: mouse button must be 1..4"},
        {"1 mouseup 5\n", "line 1: mouse button must be 1..4"},
        {"1 mousedown\n", "line 1: mouse button must be 1..4"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FALSE(CreateWithScript(c.text));
        EXPECT_NE(std::string(Plat_WindowError()).find(c.error), std::string::npos) << Plat_WindowError();
        EXPECT_FALSE(Plat_WindowExists());
    }
}

// A script's lines and size are bounded: an endless device or a huge file is refused at once
// with a message, instead of growing one line without end.
TEST_F(HeadlessWindow, EndlessAndOversizedScriptsAreRefused)
{
    setenv("TNV_INPUT_SCRIPT", "/dev/zero", 1);
    EXPECT_FALSE(Plat_WindowCreate("Tonnivelle Demo", 640, 480));
    EXPECT_NE(std::string(Plat_WindowError()).find("/dev/zero line 1: longer than 4096 characters"), std::string::npos)
        << Plat_WindowError();

    std::string longLine(PLAT_SCRIPT_MAX_LINE + 1, 'a');
    EXPECT_FALSE(CreateWithScript("1 keydown Up\n# " + longLine + "\n"));
    EXPECT_NE(std::string(Plat_WindowError()).find("line 2: longer than"), std::string::npos) << Plat_WindowError();

    // The longest line that is allowed still reads.
    ASSERT_TRUE(CreateWithScript("1 text " + std::string(PLAT_SCRIPT_MAX_LINE - 7, 'b') + "\n"));
    EXPECT_EQ(Drain().size(), 0u); // due at frame 1
    Plat_WindowDestroy();

    std::string big;
    const std::string comment = "# " + std::string(1021, 'c') + "\n"; // 1 KiB a line
    while (big.size() <= PLAT_SCRIPT_MAX_BYTES)
        big += comment;
    EXPECT_FALSE(CreateWithScript(big));
    EXPECT_NE(std::string(Plat_WindowError()).find("larger than 16 MiB"), std::string::npos) << Plat_WindowError();
    EXPECT_FALSE(Plat_WindowExists());
}

TEST_F(HeadlessWindow, NulBytesInAScriptAreNoCharacters)
{
    ASSERT_TRUE(CreateWithScript(std::string("0 text a\0b\n", 11)));
    auto events = Drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, uint32_t{'a'});
    EXPECT_EQ(events[1].code, uint32_t{'b'});
    Plat_WindowDestroy();
    EXPECT_FALSE(CreateWithScript(std::string("0 char \0\n", 9)));
}

TEST_F(HeadlessWindow, MessageBoxesAreLoggedAndAnswered)
{
    Plat_MessageBoxLogClear();
    EXPECT_EQ(Plat_MessageBox("Error", "text"), 1);
    EXPECT_EQ(Plat_MessageBox(nullptr, nullptr), 1);
    EXPECT_EQ(Plat_MessageBoxLog(), (std::vector<std::string>{"Error|text", "|"}));
}

#include "platform/audio_out.h"
#include "platform/timer.h"

#include <atomic>
#include <fstream>
#include <iterator>

namespace {

std::atomic<int> s_pumpCalls{0};

// A sound pump as the studio's: every millisecond, one block of a steady level when wanted.
void Pump(void *)
{
    s_pumpCalls.fetch_add(1);
    static const std::vector<int16_t> block(72 * 2, 1000);
    if (Plat_AudioOutBlockWanted(72))
        Plat_AudioOutWrite(block.data(), block.size() * 2);
}

} // namespace

// However fast the frames run, each waits for the timers to reach its time: the pump runs once
// a millisecond of frame time, and the headless device never plays silence while it keeps the
// queue fed (a frame is longer than the queue, so one jump of the clock would).
TEST_F(HeadlessWindow, FramesWaitForTheTimersSoTheSoundPumpKeepsTheDeviceFed)
{
    const std::string wav = ::testing::TempDir() + "frames_pump.wav";
    setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
    ASSERT_TRUE(Plat_WindowCreate("t", 640, 480));
    ASSERT_GE(Plat_AudioOutEnumerate(), 1);
    ASSERT_EQ(Plat_AudioOutOpen(0), 0);
    unsetenv("TNV_AUDIO_DUMP");
    Plat_AudioOutSetQueueFrames(PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
    s_pumpCalls = 0;
    for (int i = 0; i < 8; i++)
        Pump(nullptr);
    s_pumpCalls = 0;
    ASSERT_EQ(Plat_AudioOutStart(), 0);
    const uint32_t pump = Plat_TimerStart(1, Pump, nullptr);
    ASSERT_NE(pump, 0u);
    constexpr int kFrames = 30;
    for (int f = 0; f < kFrames; f++) {
        Plat_WindowFrameDone();
        ASSERT_EQ(s_pumpCalls.load(), (f + 1) * 20) << "frame " << f;
    }
    Plat_TimerKill(pump);
    const uint64_t played = Plat_AudioOutPlayedFrames();
    Plat_AudioOutClose();
    EXPECT_EQ(played, uint64_t(kFrames) * 882);

    std::ifstream in(wav, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 44 + played * 4);
    int silent = 0;
    for (size_t at = 44; at + 1 < bytes.size(); at += 2)
        silent += int16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8) != 1000;
    EXPECT_EQ(silent, 0) << "samples the device played without the pump's sound";
}
