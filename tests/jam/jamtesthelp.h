// Helpers shared by the jam tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "jam/jamdata.h"

// Lower-case hex, a space after every 4 bytes (one wire word), none at the end.
inline std::string JamHex(const uint8_t *p, size_t n)
{
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        if (i && i % 4 == 0)
            s += ' ';
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s;
}
inline std::string JamHex(const std::vector<uint8_t> &v) { return JamHex(v.data(), v.size()); }

// A block whose every field holds a value no other field holds.
inline JAMPLAYER JamDistinctPlayer()
{
    JAMPLAYER p{};
    uint32_t v = 0x01000000;
    auto next = [&v]() { return v += 0x00010101; };
    for (auto &w : p.auRiffKey) w = next();
    for (auto &w : p.auRiffLatch) w = next();
    for (auto &w : p.auPad) w = next();
    for (auto &w : p.auPadLatch) w = next();
    for (auto &k : p.aKeyboard) {
        k.uHeld = next();
        k.uReleased = next();
        k.uOctave = next();
        k.uSlotWord = next();
    }
    for (auto &w : p.auLevel) w = next();
    for (auto &w : p.aiPitch) w = -(int32_t)next();
    for (auto &w : p.auPan) w = next();
    for (auto &w : p.aiRiffPitch) w = -(int32_t)next();
    for (auto &w : p.aiRiffPrevPitch) w = (int32_t)next();
    for (auto &w : p.auRiffVolume) w = next();
    p.uPartMask = 0xA55A;
    p.uRiffMask = 0x8FF0;
    p.uController = next();
    p.uBendRange = next();
    for (int i = 0; i < 16; ++i) p.abReserved[i] = (uint8_t)(0xE0 + i);
    for (auto &w : p.auPluginRouting) w = next();
    for (auto &w : p.aiReserved) w = -(int32_t)next();
    p.iPluginSlot = -7;
    return p;
}
