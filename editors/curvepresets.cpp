// The preset layouts of the curve editor, (x, y) points in 0..255.
#include "editors/curveeditor.h"

#include <iterator>

namespace {

// Levels and fades (sample envelopes, note volumes over an area).
const CURVEPRESET kLevels[] = {
    {"0%", 2, {{0, 0}, {255, 0}}},
    {"25%", 2, {{0, 58}, {255, 58}}},
    {"50%", 2, {{0, 124}, {255, 124}}},
    {"75%", 2, {{0, 189}, {255, 189}}},
    {"100%", 2, {{0, 255}, {255, 255}}},
    {"Big curve", 9, {{0, 0}, {31, 135}, {63, 217}, {95, 243}, {127, 255}, {159, 243}, {191, 211}, {223, 141}, {255, 0}}},
    {"Sweep", 7, {{0, 255}, {34, 255}, {76, 235}, {111, 193}, {156, 95}, {203, 31}, {255, 0}}},
    {"Fade in", 2, {{0, 0}, {255, 255}}},
    {"Fade out", 2, {{0, 255}, {255, 0}}},
};

// Note volume envelopes.
const CURVEPRESET kEnvelopes[] = {
    {"Bell curve", 9, {{0, 0}, {7, 112}, {20, 205}, {36, 255}, {55, 255}, {79, 203}, {106, 112}, {152, 32}, {208, 0}}},
    {"Long release", 4, {{0, 255}, {0, 0}, {22, 255}, {255, 0}}},
    {"Piano", 5, {{0, 0}, {2, 255}, {4, 2}, {45, 1}, {75, 0}}},
    {"Smooth ends", 4, {{0, 0}, {6, 255}, {148, 255}, {154, 0}}},
    {"Smooth in", 4, {{0, 0}, {161, 255}, {198, 255}, {211, 0}}},
    {"Smooth release", 7, {{0, 0}, {7, 255}, {34, 255}, {42, 187}, {74, 87}, {124, 33}, {199, 0}}},
    {"Super gate", 4, {{0, 255}, {0, 0}, {87, 255}, {88, 0}}},
};

// Pans around the centre.
const CURVEPRESET kPans[] = {
    {"Sine curve", 9, {{0, 127}, {31, 223}, {63, 255}, {95, 219}, {127, 127}, {162, 31}, {191, 0}, {222, 29}, {255, 127}}},
    {"-100% to 100%", 2, {{0, 0}, {255, 255}}},
    {"100% to -100%", 2, {{0, 255}, {255, 0}}},
    {"100%", 2, {{0, 255}, {255, 255}}},
    {"-100%", 2, {{0, 0}, {255, 0}}},
    {"50%", 2, {{0, 189}, {255, 189}}},
    {"-50%", 2, {{0, 61}, {255, 63}}},
    {"Sharp left to right", 4, {{0, 127}, {63, 255}, {191, 0}, {255, 127}}},
    {"100% double curve",
     16,
     {{0, 127},
      {16, 229},
      {32, 255},
      {47, 227},
      {63, 127},
      {79, 23},
      {95, 0},
      {111, 25},
      {127, 127},
      {143, 225},
      {159, 255},
      {174, 231},
      {190, 127},
      {206, 21},
      {222, 0},
      {238, 19}}},
    {"100% double sharp", 6, {{0, 127}, {32, 255}, {95, 0}, {159, 255}, {222, 0}, {255, 127}}},
    {"50% curve", 9, {{0, 127}, {31, 171}, {63, 189}, {95, 171}, {127, 127}, {159, 83}, {191, 62}, {223, 77}, {255, 127}}},
};

// Sample offsets: the two fades.
const CURVEPRESET kFades[] = {
    {"Fade in", 2, {{0, 0}, {255, 255}}},
    {"Fade out", 2, {{0, 255}, {255, 0}}},
};

} // namespace

const CURVEPRESET *Ed_CurvePresets(int32_t mode, int32_t *count)
{
    const CURVEPRESET *rows = nullptr;
    int32_t n = 0;
    switch (mode) {
    case CURVEMODE_SAMPLE:
    case CURVEMODE_AREA_VOLUME:
        rows = kLevels;
        n = int32_t(std::size(kLevels));
        break;
    case CURVEMODE_NOTE_VOLUME:
        rows = kEnvelopes;
        n = int32_t(std::size(kEnvelopes));
        break;
    case CURVEMODE_NOTE_PITCH:
        rows = kLevels;
        n = 5;
        break;
    case CURVEMODE_NOTE_PAN:
    case CURVEMODE_AREA_PAN:
        rows = kPans;
        n = int32_t(std::size(kPans));
        break;
    case CURVEMODE_AREA_OFFSET:
        rows = kFades;
        n = int32_t(std::size(kFades));
        break;
    default: break;
    }
    if (count)
        *count = n;
    return rows;
}
