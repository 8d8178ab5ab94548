// SDL keys to Windows virtual-key numbers, and UTF-8 text to the Western code page.
#include "platform/window.h"

#include <SDL.h>

namespace {

struct KeyPair
{
    int sdl;
    uint16_t vk;
};

// Keypad keys go by scancode, so NumLock (which changes their key codes) does not matter.
constexpr KeyPair kKeypad[] = {
    {SDL_SCANCODE_KP_0, 0x60}, {SDL_SCANCODE_KP_1, 0x61},        {SDL_SCANCODE_KP_2, 0x62},
    {SDL_SCANCODE_KP_3, 0x63}, {SDL_SCANCODE_KP_4, 0x64},        {SDL_SCANCODE_KP_5, 0x65},
    {SDL_SCANCODE_KP_6, 0x66}, {SDL_SCANCODE_KP_7, 0x67},        {SDL_SCANCODE_KP_8, 0x68},
    {SDL_SCANCODE_KP_9, 0x69}, {SDL_SCANCODE_KP_MULTIPLY, 0x6A}, {SDL_SCANCODE_KP_PLUS, 0x6B},
    {SDL_SCANCODE_KP_MINUS, 0x6D}, {SDL_SCANCODE_KP_PERIOD, 0x6E}, {SDL_SCANCODE_KP_DIVIDE, 0x6F},
    {SDL_SCANCODE_KP_ENTER, 0x0D},
};

constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},      {SDLK_RETURN, 0x0D},    {SDLK_PAUSE, 0x13},
    {SDLK_CAPSLOCK, 0x14},  {SDLK_ESCAPE, 0x1B},   {SDLK_SPACE, 0x20},     {SDLK_PAGEUP, 0x21},
    {SDLK_PAGEDOWN, 0x22},  {SDLK_END, 0x23},      {SDLK_HOME, 0x24},      {SDLK_LEFT, 0x25},
    {SDLK_UP, 0x26},        {SDLK_RIGHT, 0x27},    {SDLK_DOWN, 0x28},      {SDLK_PRINTSCREEN, 0x2C},
    {SDLK_INSERT, 0x2D},    {SDLK_DELETE, 0x2E},   {SDLK_LSHIFT, 0x10},    {SDLK_RSHIFT, 0x10},
    {SDLK_LCTRL, 0x11},     {SDLK_RCTRL, 0x11},    {SDLK_LALT, 0x12},      {SDLK_RALT, 0x12},
    {SDLK_F1, 0x70},        {SDLK_F2, 0x71},       {SDLK_F3, 0x72},        {SDLK_F4, 0x73},
    {SDLK_F5, 0x74},        {SDLK_F6, 0x75},       {SDLK_F7, 0x76},        {SDLK_F8, 0x77},
    {SDLK_F9, 0x78},        {SDLK_F10, 0x79},      {SDLK_F11, 0x7A},       {SDLK_F12, 0x7B},
    {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91},
    {SDLK_SEMICOLON, 0xBA}, {SDLK_EQUALS, 0xBB},   {SDLK_COMMA, 0xBC},     {SDLK_MINUS, 0xBD},
    {SDLK_PERIOD, 0xBE},    {SDLK_SLASH, 0xBF},    {SDLK_BACKQUOTE, 0xC0}, {SDLK_LEFTBRACKET, 0xDB},
    {SDLK_BACKSLASH, 0xDC}, {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
};

// Code points 0x80-0x9F of the Western code page.
constexpr uint16_t kWestern80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

int WesternFromCodePoint(uint32_t cp)
{
    if (cp >= 0x20 && cp < 0x7F)
        return static_cast<int>(cp);
    if (cp >= 0xA0 && cp <= 0xFF)
        return static_cast<int>(cp);
    for (int i = 0; i < 32; i++)
        if (kWestern80[i] != 0 && kWestern80[i] == cp)
            return 0x80 + i;
    return -1;
}

} // namespace

uint16_t Plat_SdlKeyToVk(int scancode, int keycode)
{
    for (const KeyPair &k : kKeypad)
        if (k.sdl == scancode)
            return k.vk;
    if ((keycode >= 'a' && keycode <= 'z'))
        return static_cast<uint16_t>(keycode - 'a' + 'A');
    if (keycode >= '0' && keycode <= '9')
        return static_cast<uint16_t>(keycode);
    for (const KeyPair &k : kKeys)
        if (k.sdl == keycode)
            return k.vk;
    return 0;
}

uint16_t Plat_SdlKeyNamesToVk(const char *scancodeName, const char *keyName)
{
    return Plat_SdlKeyToVk(SDL_GetScancodeFromName(scancodeName), SDL_GetKeyFromName(keyName));
}

std::string Plat_Utf8ToWestern(const char *utf8)
{
    std::string out;
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    while (p && *p) {
        uint32_t cp;
        int extra;
        if (*p < 0x80) {
            cp = *p;
            extra = 0;
        } else if ((*p & 0xE0) == 0xC0) {
            cp = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            cp = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            cp = *p & 0x07;
            extra = 3;
        } else {
            p++; // stray continuation or invalid lead byte
            continue;
        }
        p++;
        bool ok = true;
        for (int i = 0; i < extra; i++) {
            if ((*p & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (*p & 0x3F);
            p++;
        }
        if (!ok)
            continue;
        int c = WesternFromCodePoint(cp);
        if (c > 0)
            out.push_back(static_cast<char>(c));
    }
    return out;
}
