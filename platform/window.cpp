// The window and its events: SDL2 backend and the headless scripted queue.
#include "platform/window.h"

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/mouse.h"
#include "platform/quitsignal.h"
#include "platform/timer.h"
#include "platform/window_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

struct ScriptEvent
{
    uint32_t frame;
    PLATEVENT ev;
};

struct ScriptMouse
{
    uint32_t frame;
    PLATSCRIPTMOUSE m;
};

struct WindowState
{
    bool exists = false;
    bool headless = true;
    std::string title;
    std::string error;
    bool textInput = false;
    uint32_t framesRun = 0;
    long exitAfter = -1;
    bool exitSignalled = false;
    std::vector<ScriptEvent> script;
    size_t scriptNext = 0;
    std::vector<ScriptMouse> mouseScript;
    size_t mouseNext = 0;
    std::deque<PLATEVENT> pending; // headless: posted events; SDL: characters split from one event
    SDL_Window *window = nullptr;
    uint32_t userEvent = 0;
};

WindowState s_win;
std::mutex s_postMutex; // posts may come from another thread
std::vector<std::string> s_boxes;
uint32_t s_beeps = 0;

struct KeyName
{
    const char *name;
    uint16_t vk;
};

constexpr KeyName kKeyNames[] = {
    {"Backspace", 0x08}, {"Tab", 0x09},    {"Return", 0x0D}, {"Enter", 0x0D},  {"Shift", 0x10},
    {"Ctrl", 0x11},      {"Alt", 0x12},    {"Escape", 0x1B}, {"Esc", 0x1B},    {"Space", 0x20},
    {"Left", 0x25},      {"Up", 0x26},     {"Right", 0x27},  {"Down", 0x28},   {"Add", 0x6B},
    {"Insert", 0x2D},    {"Delete", 0x2E}, {"Home", 0x24},   {"End", 0x23},
};

bool ParseNumber(const std::string &s, uint32_t *out)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (*end != '\0' || v > 0xFFFF)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// A movement of the script: a whole number of modest size.
bool ParseDelta(const std::string &s, long *out)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < -32768 || v > 32767)
        return false;
    *out = v;
    return true;
}

bool ParseKey(const std::string &s, uint32_t *vk)
{
    for (const KeyName &k : kKeyNames)
        if (strcasecmp(k.name, s.c_str()) == 0) {
            *vk = k.vk;
            return true;
        }
    if (s.size() == 1 && std::isalnum(static_cast<unsigned char>(s[0]))) {
        *vk = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(s[0])));
        return true;
    }
    if ((s[0] == 'F' || s[0] == 'f') && s.size() <= 3 && std::isdigit(static_cast<unsigned char>(s[1]))) {
        int n = std::atoi(s.c_str() + 1);
        if (n >= 1 && n <= 12) {
            *vk = 0x6F + static_cast<uint32_t>(n);
            return true;
        }
        return false;
    }
    if (strncasecmp(s.c_str(), "Numpad", 6) == 0 && s.size() == 7 && std::isdigit(static_cast<unsigned char>(s[6]))) {
        *vk = 0x60 + static_cast<uint32_t>(s[6] - '0');
        return true;
    }
    return ParseNumber(s, vk);
}

bool LoadScript(const char *path)
{
    std::ifstream in(path);
    if (!in) {
        s_win.error = std::string("cannot read input script ") + path;
        return false;
    }
    std::string line;
    int lineNo = 0;
    uint64_t total = 0;
    // One line, bounded: a device or a file without line ends must not grow it without end.
    auto nextLine = [&](bool *tooLong) {
        line.clear();
        *tooLong = false;
        bool any = false;
        for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
            any = true;
            total++;
            if (c == '\n')
                return true;
            if (line.size() >= PLAT_SCRIPT_MAX_LINE) {
                *tooLong = true;
                return true;
            }
            line.push_back(static_cast<char>(c));
        }
        return any;
    };
    for (bool tooLong = false; nextLine(&tooLong);) {
        lineNo++;
        if (tooLong) {
            s_win.error = std::string("input script ") + path + " line " + std::to_string(lineNo) +
                          ": longer than " + std::to_string(PLAT_SCRIPT_MAX_LINE) + " characters";
            return false;
        }
        if (total > PLAT_SCRIPT_MAX_BYTES) {
            s_win.error = std::string("input script ") + path + ": larger than " +
                          std::to_string(PLAT_SCRIPT_MAX_BYTES >> 20) + " MiB";
            return false;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream ls(line);
        std::string frameText, cmd;
        if (!(ls >> frameText) || frameText[0] == '#')
            continue;
        auto fail = [&](const char *why) {
            s_win.error = std::string("input script ") + path + " line " + std::to_string(lineNo) + ": " + why;
            return false;
        };
        char *end = nullptr;
        unsigned long frame = std::strtoul(frameText.c_str(), &end, 10);
        if (*end != '\0' || frame > 0xFFFFFFFFul)
            return fail("bad frame number");
        if (!(ls >> cmd))
            return fail("missing event");
        std::string arg;
        ls >> arg;
        auto add = [&](PLATEVENTTYPE t, uint32_t code) {
            s_win.script.push_back({static_cast<uint32_t>(frame), {t, code}});
        };
        uint32_t code = 0;
        if (cmd == "keydown" || cmd == "keyup") {
            if (!ParseKey(arg, &code) || code == 0)
                return fail("bad key");
            add(cmd == "keydown" ? PLAT_EV_KEYDOWN : PLAT_EV_KEYUP, code);
        } else if (cmd == "char") {
            if (arg.size() == 1)
                code = static_cast<unsigned char>(arg[0]);
            else if (!ParseNumber(arg, &code))
                code = 0;
            if (code == 0 || code > 255)
                return fail("bad character");
            add(PLAT_EV_CHAR, code);
        } else if (cmd == "text") {
            size_t at = line.find("text");
            std::string text = line.substr(at + 4);
            size_t first = text.find_first_not_of(' ');
            text = first == std::string::npos ? std::string() : text.substr(first);
            for (unsigned char c : text)
                if (c != 0) // a NUL is no character
                    add(PLAT_EV_CHAR, c);
        } else if (cmd == "activate") {
            if (arg != "0" && arg != "1")
                return fail("activate takes 0 or 1");
            add(PLAT_EV_ACTIVATE, arg == "1" ? 1u : 0u);
        } else if (cmd == "close") {
            add(PLAT_EV_CLOSEREQUEST, 0);
        } else if (cmd == "mousemove") {
            std::string yText;
            ls >> yText;
            long dx = 0, dy = 0;
            if (!ParseDelta(arg, &dx) || !ParseDelta(yText, &dy))
                return fail("mousemove takes two whole numbers");
            s_win.mouseScript.push_back({static_cast<uint32_t>(frame), {static_cast<int32_t>(dx), static_cast<int32_t>(dy), -1, false}});
        } else if (cmd == "mousedown" || cmd == "mouseup") {
            if (arg.size() != 1 || arg[0] < '1' || arg[0] > '4')
                return fail("mouse button must be 1..4");
            s_win.mouseScript.push_back({static_cast<uint32_t>(frame), {0, 0, arg[0] - '1', cmd == "mousedown"}});
        } else {
            return fail("unknown event");
        }
    }
    // Delivery goes by frame; keep lines of one frame in file order.
    std::stable_sort(s_win.script.begin(), s_win.script.end(),
                     [](const ScriptEvent &a, const ScriptEvent &b) { return a.frame < b.frame; });
    std::stable_sort(s_win.mouseScript.begin(), s_win.mouseScript.end(),
                     [](const ScriptMouse &a, const ScriptMouse &b) { return a.frame < b.frame; });
    return true;
}

// --- SDL backend ---

void PushControlChar(const SDL_KeyboardEvent &k)
{
    if (!s_win.textInput)
        return;
    uint32_t c = 0;
    switch (k.keysym.sym) {
    case SDLK_BACKSPACE: c = 8; break;
    case SDLK_TAB: c = 9; break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: c = (k.keysym.mod & KMOD_CTRL) ? 10 : 13; break;
    case SDLK_ESCAPE: c = 27; break;
    default: return;
    }
    s_win.pending.push_back({PLAT_EV_CHAR, c});
}

// Turns one SDL event into ours (or into queued characters); false when it means nothing here.
bool Translate(const SDL_Event &e, PLATEVENT *ev)
{
    switch (e.type) {
    case SDL_QUIT:
        *ev = {PLAT_EV_CLOSEREQUEST, 0};
        return true;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            *ev = {PLAT_EV_CLOSEREQUEST, 0};
            return true;
        }
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            Plat_MouseFocusLost();
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            *ev = {PLAT_EV_ACTIVATE, e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ? 1u : 0u};
            return true;
        }
        return false;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        uint16_t vk = Plat_SdlKeyToVk(e.key.keysym.scancode, e.key.keysym.sym);
        if (e.type == SDL_KEYDOWN)
            PushControlChar(e.key);
        if (vk == 0)
            return false;
        *ev = {e.type == SDL_KEYDOWN ? PLAT_EV_KEYDOWN : PLAT_EV_KEYUP, vk};
        return true;
    }
    case SDL_TEXTINPUT:
        if (s_win.textInput)
            for (unsigned char c : Plat_Utf8ToWestern(e.text.text))
                s_win.pending.push_back({PLAT_EV_CHAR, c});
        return false;
    default:
        if (s_win.userEvent != 0 && e.type == s_win.userEvent) {
            *ev = {static_cast<PLATEVENTTYPE>(e.user.code), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(e.user.data1))};
            return true;
        }
        return false;
    }
}

bool SdlNext(PLATEVENT *ev, bool wait)
{
    for (;;) {
        if (Plat_QuitSignalTake()) {
            *ev = {PLAT_EV_CLOSEREQUEST, 0};
            return true;
        }
        if (!s_win.pending.empty()) {
            *ev = s_win.pending.front();
            s_win.pending.pop_front();
            return true;
        }
        SDL_Event e;
        // A wait looks up now and then, so that a quit signal is answered.
        int got = wait ? SDL_WaitEventTimeout(&e, 100) : SDL_PollEvent(&e);
        if (!got) {
            if (wait && !SDL_WasInit(SDL_INIT_EVENTS)) {
                // the event system is gone: end rather than spin
                *ev = {PLAT_EV_CLOSE, 0};
                return true;
            }
            if (wait)
                continue;
            return false;
        }
        PLATEVENT t{};
        if (Translate(e, &t)) {
            // A key press with a control character: the key comes first, then the character.
            *ev = t;
            return true;
        }
    }
}

// --- headless backend ---

bool HeadlessNext(PLATEVENT *ev, bool wait)
{
    if (Plat_QuitSignalTake()) {
        *ev = {PLAT_EV_CLOSEREQUEST, 0};
        return true;
    }
    std::lock_guard<std::mutex> lock(s_postMutex);
    if (!s_win.pending.empty()) {
        *ev = s_win.pending.front();
        s_win.pending.pop_front();
        return true;
    }
    if (s_win.scriptNext < s_win.script.size() &&
        (wait || s_win.script[s_win.scriptNext].frame <= s_win.framesRun)) {
        *ev = s_win.script[s_win.scriptNext++].ev;
        if (ev->type == PLAT_EV_ACTIVATE && ev->code == 0)
            Plat_MouseFocusLost(); // as the real window does
        return true;
    }
    if (wait) { // nothing will ever come: end instead of hanging
        *ev = {PLAT_EV_CLOSE, 0};
        return true;
    }
    return false;
}

std::string s_boxHelper; // the studio's own program, which shows a box when asked

// The box waits for OK in a process of its own (the studio's program run as a box helper, in a
// process group of its own since SDL's box may fork again), so that a quit signal can take it
// down and the studio end cleanly. False when no box could be shown.
bool ShowBoxAnsweringQuitSignals(const char *caption, const char *text)
{
    pid_t child = -1;
    if (!s_boxHelper.empty()) {
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGINT);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
        char *const argv[] = {const_cast<char *>(s_boxHelper.c_str()), const_cast<char *>(PLAT_MESSAGEBOX_HELPER_ARG),
                              const_cast<char *>(caption), const_cast<char *>(text), nullptr};
        if (posix_spawn(&child, s_boxHelper.c_str(), nullptr, &attr, argv, environ) != 0)
            child = -1;
        posix_spawnattr_destroy(&attr);
    }
    if (child < 0)
        return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, s_win.window) == 0;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (Plat_QuitSignalled()) {
            kill(-child, SIGTERM);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return true;
        }
        // Keeps the studio's window answering the system while the box is up.
        SDL_PumpEvents();
        timespec ts{0, 20000000L};
        nanosleep(&ts, nullptr);
    }
}

} // namespace

bool Plat_WindowCreate(const char *title, int width, int height)
{
    if (s_win.exists)
        Plat_WindowDestroy();
    s_win = WindowState{};
    s_win.title = title ? title : "";
    s_win.headless = Plat_IsHeadless();
    if (s_win.headless) {
        s_win.exitAfter = Plat_GetEnvInt("TNV_EXIT_AFTER_FRAMES", -1);
        if (const char *script = Plat_GetEnv("TNV_INPUT_SCRIPT"))
            if (!LoadScript(script))
                return false;
    } else {
#ifdef SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE
        // The window's close already asks once; a second ask from the quit it would cause is noise.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
#endif
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            s_win.error = SDL_GetError();
            return false;
        }
        // Made at the scale the display will show it at: growing it later races the window
        // system, whose first picture after a size change can land at the old size.
        const int scale = Plat_WindowScaleFor(width, height);
        s_win.window = SDL_CreateWindow(s_win.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        width * scale, height * scale, SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
        if (!s_win.window) {
            s_win.error = SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
            return false;
        }
        SDL_ShowCursor(SDL_DISABLE);
        SDL_StopTextInput(); // SDL starts with text input on; text entry turns it on when needed
        s_win.userEvent = SDL_RegisterEvents(1);
        if (s_win.userEvent == static_cast<uint32_t>(-1))
            s_win.userEvent = 0;
    }
    s_win.exists = true;
    return true;
}

void Plat_WindowDestroy()
{
    if (!s_win.exists)
        return;
    if (s_win.window) {
        SDL_DestroyWindow(s_win.window);
        s_win.window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        // With nothing else of SDL in use, release its helpers (the desktop bus connection) too.
        if (SDL_WasInit(0) == 0)
            SDL_Quit();
    }
    s_win.exists = false;
    std::lock_guard<std::mutex> lock(s_postMutex);
    s_win.pending.clear();
}

int Plat_WindowScaleFor(int width, int height)
{
    // The largest whole scale that fits the desktop keeps pixels square and sharp.
    SDL_DisplayMode desk;
    const int index = s_win.window ? std::max(0, SDL_GetWindowDisplayIndex(s_win.window)) : 0;
    if (width <= 0 || height <= 0 || !SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(index, &desk) != 0)
        return 1;
    return std::max(1, std::min(desk.w / width, desk.h / height));
}

SDL_Window *Plat_WindowSdlHandle()
{
    return s_win.window;
}

bool Plat_WindowExists()
{
    return s_win.exists;
}

const char *Plat_WindowTitle()
{
    return s_win.title.c_str();
}

const char *Plat_WindowError()
{
    return s_win.error.c_str();
}

bool Plat_PollEvent(PLATEVENT *ev)
{
    if (!s_win.exists)
        return false;
    return s_win.headless ? HeadlessNext(ev, false) : SdlNext(ev, false);
}

bool Plat_WaitEvent(PLATEVENT *ev)
{
    if (!s_win.exists) {
        *ev = {PLAT_EV_CLOSE, 0};
        return true;
    }
    return s_win.headless ? HeadlessNext(ev, true) : SdlNext(ev, true);
}

void Plat_PostEvent(PLATEVENTTYPE type, uint32_t code)
{
    if (!s_win.exists)
        return;
    if (!s_win.headless && s_win.userEvent != 0) {
        SDL_Event e{};
        e.type = s_win.userEvent;
        e.user.code = type;
        e.user.data1 = reinterpret_cast<void *>(static_cast<uintptr_t>(code));
        if (SDL_PushEvent(&e) == 1)
            return;
    }
    std::lock_guard<std::mutex> lock(s_postMutex);
    s_win.pending.push_back({type, code});
}

void Plat_WindowPumpEvents()
{
    if (s_win.exists && s_win.window)
        SDL_PumpEvents();
}

void Plat_TextInput(bool on)
{
    s_win.textInput = on;
    if (s_win.window) {
        if (on)
            SDL_StartTextInput();
        else
            SDL_StopTextInput();
    }
}

bool Plat_TextInputOn()
{
    return s_win.textInput;
}

void Plat_Beep()
{
    // No sound of its own: counted, so the refusal is visible to tests.
    s_beeps++;
}

uint32_t Plat_BeepCount()
{
    return s_beeps;
}

bool Plat_WindowFrameDone()
{
    s_win.framesRun++;
    if (!s_win.headless)
        return false;
    if (Plat_ClockSource() == PLAT_CLOCK_MANUAL) {
        // The frame's time passes in steps, each waited out by the timers (the sound pump above
        // all): a step is shorter than the sound device's queue, so what the pump mixes during a
        // frame is what the headless device plays, however fast the frames run.
        for (uint32_t step = 0; step < PLAT_HEADLESS_FRAME_STEPS; step++) {
            Plat_ManualClockAdvance(PLAT_HEADLESS_FRAME_US / PLAT_HEADLESS_FRAME_STEPS);
            Plat_TimersCatchUp(PLAT_HEADLESS_CATCHUP_LIMIT_MS);
        }
    } else {
        // On the real clock a headless frame takes as long as on the manual one, so frame counts
        // in scripts mean the same time; a late frame starts the next at once.
        static uint64_t s_nextUs = 0;
        const uint64_t now = Plat_ClockNowUs();
        if (s_nextUs == 0 || s_nextUs + PLAT_HEADLESS_FRAME_US < now)
            s_nextUs = now;
        s_nextUs += PLAT_HEADLESS_FRAME_US;
        Plat_WaitUntilUs(s_nextUs);
    }
    if (s_win.exitAfter < 0 || s_win.exitSignalled || s_win.framesRun < static_cast<uint64_t>(s_win.exitAfter))
        return false;
    s_win.exitSignalled = true;
    return true;
}

uint32_t Plat_WindowFramesRun()
{
    return s_win.framesRun;
}

bool Plat_WindowTakeScriptMouse(PLATSCRIPTMOUSE *out)
{
    if (!s_win.exists || s_win.mouseNext >= s_win.mouseScript.size() ||
        s_win.mouseScript[s_win.mouseNext].frame > s_win.framesRun)
        return false;
    *out = s_win.mouseScript[s_win.mouseNext++].m;
    return true;
}

int Plat_MessageBox(const char *caption, const char *text)
{
    s_boxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
    if (Plat_IsHeadless()) {
        std::fprintf(stderr, "tnvpc: [%s] %s\n", caption ? caption : "", text ? text : "");
        return 1;
    }
    if (!ShowBoxAnsweringQuitSignals(caption ? caption : "", text ? text : ""))
        std::fprintf(stderr, "tnvpc: [%s] %s\n", caption ? caption : "", text ? text : "");
    return 1;
}

void Plat_MessageBoxUseHelper(const char *program)
{
    s_boxHelper = program ? program : "";
}

int Plat_MessageBoxHelperMain(const char *caption, const char *text)
{
    // With the video system up, SDL shows the box through the window system as the studio would.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const bool video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    const int rc = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr) == 0 ? 0 : 1;
    if (video)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
    return rc;
}

const std::vector<std::string> &Plat_MessageBoxLog()
{
    return s_boxes;
}

void Plat_MessageBoxLogClear()
{
    s_boxes.clear();
}

static int s_iHeadlessAnswer = 1;

void Plat_MessageBoxSetHeadlessAnswer(int answer)
{
    s_iHeadlessAnswer = answer;
}

int Plat_MessageBoxOkCancel(const char *caption, const char *text)
{
    s_boxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
    if (Plat_IsHeadless()) {
        std::fprintf(stderr, "tnvpc: [%s] %s\n", caption ? caption : "", text ? text : "");
        return s_iHeadlessAnswer;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "Cancel"},
    };
    const SDL_MessageBoxData data = {SDL_MESSAGEBOX_WARNING, s_win.window, caption ? caption : "",
                                     text ? text : "", 2, buttons, nullptr};
    int answer = 0;
    if (SDL_ShowMessageBox(&data, &answer) != 0 || answer < 0) {
        // No box could be shown: say it on the console and go on.
        std::fprintf(stderr, "tnvpc: [%s] %s\n", caption ? caption : "", text ? text : "");
        return 1;
    }
    return answer;
}
