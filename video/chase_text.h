// The Text chase: a word of up to 14 characters shown as a row of 3-D letter models from a font
// of the archive (one folder a font, one model a character). Main thread only.
#pragma once

#include <cstdint>

#include "render/mesh.h"

struct CHASEDEF;
struct VIDOBJECT;

constexpr int32_t TEXT_CHARS = 14;
constexpr int32_t TEXT_GAP = 10;
constexpr int32_t TEXT_SPACE = 70;
constexpr int32_t TEXT_SPACE_VALUE = -2;
constexpr int32_t TEXT_END_VALUE = -3;

// The word the editor shows and the working copy keys are built from; 14 characters and their
// terminator.
extern char g_szTextChaseWord[TEXT_CHARS + 1];
extern char g_szTextChaseEdit[TEXT_CHARS + 1];

struct TEXTPARAMS
{
    VIDOBJECT *models[TEXT_CHARS];       // null for a space
    MODELHOLDER *instances[TEXT_CHARS];  // the models' instances, as the frame render draws them
    int32_t positions[TEXT_CHARS][4];    // x, y, z, spare
    uint8_t count;                       // letters and spaces laid out
    int32_t width;
};

extern CHASEDEF g_TextChaseDef;

// The letter code of a character (0-9, A-Z, a-z give 0..61), -1 for any other character.
int32_t Vid_TextCharCode(char c);
// The character of a letter code 0..63 (codes 62 and 63 follow 'z').
char Vid_TextCodeChar(int32_t code);
// Both buffers back to "ABC xyz 123" (start-up and video reset).
void Vid_ResetTextChase();
