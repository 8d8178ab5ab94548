#include "spine_fixture.h"

#include <cstring>

namespace {

intptr_t Send(PLATEVENTTYPE type, uint32_t code)
{
    return Sys_WindowProc(1, PLATEVENT{type, code});
}

void Down(uint32_t vk) { Send(PLAT_EV_KEYDOWN, vk); }
void Up(uint32_t vk) { Send(PLAT_EV_KEYUP, vk); }

void Type(const char *text)
{
    for (const char *p = text; *p; p++)
        Send(PLAT_EV_CHAR, static_cast<unsigned char>(*p));
}

int s_changed = 0;
int s_enter = 0;
int s_escape = 0;
std::string s_atEnter;
void OnChanged() { s_changed++; }
void OnEnter()
{
    s_enter++;
    s_atEnter = g_szTextEntry;
}
void OnEscape() { s_escape++; }

class KeyboardTest : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        s_changed = s_enter = s_escape = 0;
        s_atEnter.clear();
    }
    void Begin(int maxLen, const char *initial = "")
    {
        Sys_BeginTextEntry(OnEnter, OnEscape, OnChanged, maxLen, initial);
    }
};

} // namespace

TEST_F(KeyboardTest, EveryTableKeySetsAndClearsItsBit)
{
    const struct
    {
        int bit;
        uint32_t vk;
    } table[] = {
        {0, 0x60}, {3, 0x6B}, {4, 0x26}, {5, 0x27}, {6, 0x28}, {7, 0x25}, {8, 0x75},
        {9, 0x1B}, {10, 0x74}, {11, 0x76}, {12, 0x72}, {13, 0x71}, {14, 0x70}, {15, 0x73},
    };
    for (const auto &e : table) {
        SCOPED_TRACE(e.bit);
        EXPECT_EQ(Sys_KeyToPadButton(e.vk), e.bit);
        for (int video : {0, 1}) {
            g_ucFullScreenVideo = static_cast<uint8_t>(video);
            g_wPadButtons = 0xFFFF;
            Down(e.vk);
            // Bits 8-15 drive the pad only during the full-screen video.
            uint16_t held = (e.bit < 8 || video == 1) ? static_cast<uint16_t>(0xFFFF & ~(1u << e.bit)) : 0xFFFF;
            EXPECT_EQ(g_wPadButtons, held) << "video " << video;
            Up(e.vk);
            EXPECT_EQ(g_wPadButtons, 0xFFFF) << "video " << video;
        }
    }
    // The two unused entries, and keys outside the table, drive nothing.
    EXPECT_EQ(Sys_KeyToPadButton(0), -1);
    EXPECT_EQ(Sys_KeyToPadButton(0x41), -1);
}

TEST_F(KeyboardTest, HeldKeysCombineAndReleaseSeparately)
{
    Down(0x26);
    Down(0x25);
    EXPECT_EQ(g_wPadButtons, 0xFFFF & ~((1u << 4) | (1u << 7)));
    Up(0x26);
    EXPECT_EQ(g_wPadButtons, 0xFFFF & ~(1u << 7));
}

TEST_F(KeyboardTest, FunctionKeysEscapeAndOtherKeysReachTheInterface)
{
    // F6 outside the full-screen video: no pad change, the editors get it.
    Down(0x75);
    EXPECT_EQ(g_wPadButtons, 0xFFFF);
    EXPECT_EQ(g_iLastKeyCode, 0x75);
    EXPECT_EQ(Count("Ed_FunctionKeyAction"), 1);

    // During a jam session function keys are not passed on.
    g_iLastKeyCode = 0;
    g_bJamSessionOn = 1;
    Down(0x7B);
    EXPECT_EQ(g_iLastKeyCode, 0);
    EXPECT_EQ(Count("Ed_FunctionKeyAction"), 1);
    g_bJamSessionOn = 0;

    // Escape runs the interface's Escape action and is not a shortcut key.
    Down(VK_ESCAPE);
    EXPECT_EQ(Count("Ui_EscapeAction"), 1);
    EXPECT_EQ(g_iLastKeyCode, 0);

    Down('A');
    EXPECT_EQ(g_iLastKeyCode, 'A');
}

// Return is the pad's accept button (slot 14) wherever no shortcut of its own takes it: the
// option pages, dialogs and editor panels can then be answered from the keyboard.
TEST_F(KeyboardTest, ReturnIsTheAcceptButtonExceptInMessageBoxesAndJams)
{
    constexpr uint16_t kAccept = 1u << 14;
    struct Case
    {
        int32_t screen;
        int32_t jam;
        bool drives;
    } const cases[] = {{22, 0, true}, {11, 0, true}, {0, 0, true}, {17, 0, false}, {22, 1, false}};
    for (const Case &c : cases) {
        g_iScreen = c.screen;
        g_bJamSessionOn = c.jam;
        g_wPadButtons = 0xFFFF;
        g_iLastKeyCode = 0;
        Down(0x0D);
        EXPECT_EQ(g_wPadButtons, c.drives ? 0xFFFF & ~kAccept : 0xFFFF) << "screen " << c.screen << " jam " << c.jam;
        EXPECT_EQ(g_iLastKeyCode, 0x0D) << "the message box's shortcut still sees it";
        Up(0x0D);
        EXPECT_EQ(g_wPadButtons, 0xFFFF);
    }
    g_bJamSessionOn = 0;

    // An accept that opened a box or a text entry: the release still lets the button go.
    g_iScreen = 22;
    Down(0x0D);
    g_iScreen = 17;
    Up(0x0D);
    EXPECT_EQ(g_wPadButtons, 0xFFFF);
    g_iScreen = 11;
    Down(0x0D);
    Begin(16);
    Up(0x0D);
    EXPECT_EQ(g_wPadButtons, 0xFFFF);
    Sys_EndTextEntry();
    g_iScreen = 0;
}

TEST_F(KeyboardTest, ModifiersSetOnPressAndAllClearOnAnyRelease)
{
    Down(VK_SHIFT);
    Down(VK_CONTROL);
    EXPECT_EQ(g_uKeyModifiers, 3u);
    EXPECT_EQ(g_iLastKeyCode, 0) << "modifiers are not shortcut keys";
    Up(VK_CONTROL);
    EXPECT_EQ(g_uKeyModifiers, 0u);
    Down(VK_MENU);
    EXPECT_EQ(g_uKeyModifiers, 4u);
    Up(VK_SHIFT);
    EXPECT_EQ(g_uKeyModifiers, 0u);
}

TEST_F(KeyboardTest, CharactersOutsideTextEntryLeaveThePadAlone)
{
    // '&' has the code of Up and ESC that of Escape's pad bit: typing them must not release a
    // held button or clear the modifiers.
    g_ucFullScreenVideo = 1;
    Down(0x26);
    Down(VK_ESCAPE);
    Down(VK_CONTROL);
    const uint16_t held = g_wPadButtons;
    Send(PLAT_EV_CHAR, '&');
    Send(PLAT_EV_CHAR, 27);
    Send(PLAT_EV_CHAR, 0x11);
    EXPECT_EQ(g_wPadButtons, held);
    EXPECT_EQ(g_uKeyModifiers, 2u);
}

TEST_F(KeyboardTest, KeysDuringTextEntryDriveNothing)
{
    Begin(16);
    Down(0x26);
    Down(0x75);
    Down(VK_ESCAPE);
    Down(VK_SHIFT);
    EXPECT_EQ(g_wPadButtons, 0xFFFF);
    EXPECT_EQ(g_iLastKeyCode, 0);
    EXPECT_EQ(g_uKeyModifiers, 0u);
    EXPECT_FALSE(Has("Ui_EscapeAction"));
    EXPECT_TRUE(Plat_TextInputOn());
    Sys_EndTextEntry();
    EXPECT_FALSE(Plat_TextInputOn());
}

TEST_F(KeyboardTest, LimitTakesOneLessThanMaxLen)
{
    Begin(16);
    Type("abcdefghijklmno"); // 15
    EXPECT_EQ(s_changed, 15);
    Type("p");
    EXPECT_STREQ(g_szTextEntry, "abcdefghijklmno");
    EXPECT_EQ(s_changed, 15) << "a refused character is not a change";
}

TEST_F(KeyboardTest, TabInsertsUpToFourSpaces)
{
    const struct
    {
        const char *before;
        const char *after;
    } cases[] = {
        {"ab", "ab    "},
        {"abcdefghijklm", "abcdefghijklm  "}, // room for two
        {"abcdefghijklmno", "abcdefghijklmno"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before);
        Begin(16, c.before);
        Send(PLAT_EV_CHAR, 9);
        EXPECT_STREQ(g_szTextEntry, c.after);
    }
    // A filter that refuses spaces refuses the tab's spaces too.
    Begin(16, "12");
    g_uTextEntryFilter = TEXTFILTER_NUMBER;
    Send(PLAT_EV_CHAR, 9);
    EXPECT_STREQ(g_szTextEntry, "12");
}

TEST_F(KeyboardTest, BackspaceReturnEscapeAndCtrlReturn)
{
    Begin(16, "ab");
    Send(PLAT_EV_CHAR, 8);
    EXPECT_STREQ(g_szTextEntry, "a");
    Send(PLAT_EV_CHAR, 8);
    Send(PLAT_EV_CHAR, 8); // nothing left: still a change call, no harm
    EXPECT_STREQ(g_szTextEntry, "");
    EXPECT_EQ(s_changed, 3);

    Type("xy");
    const uint32_t beeps = Plat_BeepCount();
    Send(PLAT_EV_CHAR, 10);
    EXPECT_EQ(Plat_BeepCount(), beeps + 1);
    EXPECT_STREQ(g_szTextEntry, "xy");

    Send(PLAT_EV_CHAR, 27);
    EXPECT_EQ(s_escape, 1);
    EXPECT_STREQ(g_szTextEntry, "xy");

    Send(PLAT_EV_CHAR, 13);
    EXPECT_EQ(s_enter, 1);
    EXPECT_EQ(s_atEnter, "xy");
    EXPECT_STREQ(g_szTextEntry, "");

    // Without callbacks the same keys do nothing harmful.
    Sys_BeginTextEntry(nullptr, nullptr, nullptr, 16, "q");
    for (uint32_t c : {8u, uint32_t{'z'}, 13u, 27u})
        Send(PLAT_EV_CHAR, c);
    EXPECT_STREQ(g_szTextEntry, "");
}

TEST_F(KeyboardTest, Filters)
{
    const struct
    {
        uint32_t filter;
        const char *typed;
        const char *kept;
    } cases[] = {
        {0, "a.b-c+d e_f!\xE9", "a.b-c+d e_f!\xE9"},
        {TEXTFILTER_ALNUM, "a.b-c+d e_f!9", "abcdef9"},
        {TEXTFILTER_FILENAME, "a.b-c+d e_f!9", "a.b-c+d ef9"},
        {TEXTFILTER_NUMBER, "a.b-c+d e_f!9", ".9"},
        {TEXTFILTER_NUMBER | TEXTFILTER_FILENAME, "1.5 -x", "1.5"},
        {TEXTFILTER_NUMBER | TEXTFILTER_ALNUM, "1.5ab", "1.5"},
        {TEXTFILTER_FILENAME | TEXTFILTER_ALNUM, "a-b c", "a-b c"},
        {TEXTFILTER_ALNUM, "\xE9z", "z"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        Begin(64);
        g_uTextEntryFilter = c.filter;
        Type(c.typed);
        EXPECT_STREQ(g_szTextEntry, c.kept);
    }
}

TEST_F(KeyboardTest, StartTextIsCutToTheField)
{
    const std::string longText(600, 'x');
    const struct
    {
        int maxLen;
        size_t kept;
    } cases[] = {
        {8, 7},
        {256, 255}, // maxLen & 255 is 0: the limit wraps to 255, the whole buffer less its end
        {0, 255},
        {1, 0},
        {300, 43}, // (300 & 255) - 1
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.maxLen);
        Sys_BeginTextEntry(OnEnter, OnEscape, OnChanged, c.maxLen, longText.c_str());
        EXPECT_EQ(std::strlen(g_szTextEntry), c.kept);
        Type("yyyy");
        EXPECT_EQ(std::strlen(g_szTextEntry), c.kept) << "a full field takes no more";
    }
    Sys_BeginTextEntry(OnEnter, OnEscape, OnChanged, 16, nullptr);
    EXPECT_STREQ(g_szTextEntry, "");
}

TEST_F(KeyboardTest, PadConnectedMarksPortOne)
{
    Sys_PadBuffer(1)->status = 0xFF;
    Sys_SetPadConnected();
    EXPECT_EQ(Sys_PadBuffer(1)->status, 0);
    EXPECT_EQ(Sys_PadBuffer(1)->type, 0x48);
    EXPECT_EQ(&g_wPadButtons, &Sys_PadBuffer(1)->buttons);
}

TEST_F(KeyboardTest, ScriptedKeysAndTextReachTheWindow)
{
    // Keys by name and by number; Left stays held, Up is let go.
    EXPECT_EQ(Run(nullptr, 6, {"# comment", "", "1 keydown Up", "1 keydown 0x25", "3 keyup Up", "4 keydown F6"}), 0);
    EXPECT_EQ(g_wPadButtons, 0xFFFF & ~(1u << 7));
    // F6 reached the window: its function-key action ran; the key shortcuts drop the stored key
    // at the end of its frame.
    EXPECT_EQ(Count("Ed_FunctionKeyAction"), 1);
    EXPECT_EQ(g_iLastKeyCode, 0);
}
