// The main window, its events and the message box.
//
// Events arrive the way the studio's window procedure expects them: keys as Windows virtual-key
// numbers (our own table from SDL key codes; keypad keys whatever NumLock says), typed text one
// character at a time in the Windows Western code page, control characters (Backspace 8, Tab 9,
// Ctrl+Return 10, Return 13, Escape 27) made from key presses while text input is on, focus
// changes as activation, and two kinds of ending: the user's close request (close button, quit
// signal) and the program's own close, which it posts itself.
//
// Real backend: SDL2. Headless backend: a queue fed by posted events and by the input script.
//
// Headless test hooks (environment):
//   TNV_EXIT_AFTER_FRAMES=N  Plat_WindowFrameDone answers true once N frames have run.
//   TNV_INPUT_SCRIPT=file    events by frame number, one per line:
//       <frame> keydown <key>     <key>: a name (Up, Down, Left, Right, Escape, Return, Tab,
//       <frame> keyup <key>              Backspace, Space, Shift, Ctrl, Alt, F1..F12, Numpad0..
//                                        Numpad9, Add, A..Z, 0..9) or a number (0x26 or 38)
//       <frame> char <c>          one character: a single printable character, or a number
//       <frame> text <words...>   every character of the rest of the line
//       <frame> activate <0|1>    focus lost / gained
//       <frame> close             the user's close request
//       <frame> mousemove <dx> <dy>  mouse movement (whole numbers, negative left and up)
//       <frame> mousedown <b>     mouse button b (1..4, 1 the first) pressed
//       <frame> mouseup <b>       mouse button b released
//   Mouse lines do not go through the event queue: the mouse (platform/mouse.h) takes them when
//   it is read, once they are due.
//   Blank lines and lines starting with '#' are ignored. A line longer than PLAT_SCRIPT_MAX_LINE
//   characters or a script larger than PLAT_SCRIPT_MAX_BYTES is refused. An event is delivered once the given
//   number of frames has run (frame 0: before the first frame). A line that cannot be read makes
//   Plat_WindowCreate fail with a message naming the file and line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr size_t PLAT_SCRIPT_MAX_LINE = 4096;
constexpr uint64_t PLAT_SCRIPT_MAX_BYTES = 16u << 20;

enum PLATEVENTTYPE
{
    PLAT_EV_NONE = 0,
    PLAT_EV_KEYDOWN,      // code: virtual-key number
    PLAT_EV_KEYUP,        // code: virtual-key number
    PLAT_EV_CHAR,         // code: character in the Western code page (1..255)
    PLAT_EV_ACTIVATE,     // code: 1 gained, 0 lost
    PLAT_EV_CLOSEREQUEST, // the user asks to close the window
    PLAT_EV_CLOSE,        // the program's own close (posted by the quit request)
    PLAT_EV_QUIT,         // ends the message loop
};

struct PLATEVENT
{
    PLATEVENTTYPE type;
    uint32_t code;
};

// Creates the window (borderless, the system cursor hidden). A new window counts as active: the
// caller treats it so, and later focus changes arrive as events. Returns false when it cannot be made; Plat_WindowError says why.
bool Plat_WindowCreate(const char *title, int width, int height);
void Plat_WindowDestroy();
bool Plat_WindowExists();
const char *Plat_WindowTitle();
const char *Plat_WindowError();

// Takes one event without waiting; false when none is waiting.
bool Plat_PollEvent(PLATEVENT *ev);
// Waits for one event. The headless backend never blocks: it hands out the next scripted event
// whatever its frame, and with nothing left to come it answers the program's own close.
bool Plat_WaitEvent(PLATEVENT *ev);
// Queues an event behind those already waiting.
void Plat_PostEvent(PLATEVENTTYPE type, uint32_t code);

// Lets the window answer the system (and keeps its events queued) during a long wait of the main
// thread. Headless: nothing to do.
void Plat_WindowPumpEvents();

// Text input on or off (the real backend makes characters only while it is on).
void Plat_TextInput(bool on);
bool Plat_TextInputOn();
void Plat_Beep();
uint32_t Plat_BeepCount();

// One frame has run: the headless backend counts it, moves the manual clock by the frame time (in
// steps, after each of which the timers catch up with the clock) and answers true once, when
// TNV_EXIT_AFTER_FRAMES is reached. The real backend answers false.
bool Plat_WindowFrameDone();
uint32_t Plat_WindowFramesRun();
constexpr uint32_t PLAT_HEADLESS_FRAME_US = 20000;
// 5 ms a step: well inside the sound queue (about 13 ms), so the headless device never runs dry
// while the pump keeps pace.
constexpr uint32_t PLAT_HEADLESS_FRAME_STEPS = 4;
constexpr uint32_t PLAT_HEADLESS_CATCHUP_LIMIT_MS = 2000;

// A scripted mouse line: movement, or a button change (button 0..3).
struct PLATSCRIPTMOUSE
{
    int32_t dx;
    int32_t dy;
    int button; // -1 for movement
    bool down;
};
// Takes the next scripted mouse line that is due (its frame has been reached); false when none.
bool Plat_WindowTakeScriptMouse(PLATSCRIPTMOUSE *out);

// A modal information box. Headless: logged, never blocks, answers 1 (OK). A quit signal while it
// waits takes it down (when a box helper is set) and it answers 1.
int Plat_MessageBox(const char *caption, const char *text);
// Boxes are shown by running program (the studio's own) as
//   program PLAT_MESSAGEBOX_HELPER_ARG caption text
// whose main answers with Plat_MessageBoxHelperMain; without it the box is shown in-process.
constexpr const char *PLAT_MESSAGEBOX_HELPER_ARG = "--tnv-message-box";
void Plat_MessageBoxUseHelper(const char *program);
int Plat_MessageBoxHelperMain(const char *caption, const char *text);
// Boxes shown since the log was last cleared, as "caption|text" (both backends keep it).
const std::vector<std::string> &Plat_MessageBoxLog();
void Plat_MessageBoxLogClear();
// A modal warning box with OK and Cancel: 1 for OK, 2 for Cancel (logged like the others).
// Headless: never blocks and answers what Plat_MessageBoxSetHeadlessAnswer set (1 at first).
int Plat_MessageBoxOkCancel(const char *caption, const char *text);
void Plat_MessageBoxSetHeadlessAnswer(int answer);

// Key translation of the real backend, exposed for tests: SDL scancode and key code to a
// virtual-key number (0 when the key has none). The by-name form takes SDL's key names.
uint16_t Plat_SdlKeyToVk(int scancode, int keycode);
uint16_t Plat_SdlKeyNamesToVk(const char *scancodeName, const char *keyName);
// UTF-8 text to the Western code page; characters that it cannot hold are dropped.
std::string Plat_Utf8ToWestern(const char *utf8);
