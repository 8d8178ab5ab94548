// The note effects: the 42 names a note's effect is chosen by (texts 153-194, 152 "None"), the
// effect preset each name plays, and the rows of the lists that show them.
#pragma once

#include <cstdint>

constexpr int32_t UI_NOTE_EFFECTS = 43; // "None" and the 42 names
constexpr int32_t UI_EFFECT_NAME_TEXT = 152;
constexpr int32_t UI_EFFECT_PRESETS = 76; // selector 0 (none) and presets 1..75

// The effect number (text 152 + n) that names a note's effect selector (its preset). A preset
// without a name of its own is named by the nearest named preset below it, which is one of its
// kind; a selector past the presets is "None".
int32_t Ui_NoteEffectNumber(uint8_t selector);
// The preset an effect number plays (0 for "None" and numbers out of range).
uint8_t Ui_NoteEffectPreset(int32_t number);

// A list of effect pairs: two effect numbers an entry.
struct EFFECTPAIRLIST
{
    int32_t count;
    const uint8_t (*pairs)[2];
};
// Row source (list fill protocol) of an effect pair list: row n shows "%s - %s" of the two names
// of entry n - 1; rows outside 1..count are left empty. `user` is the EFFECTPAIRLIST. The row
// holds its number in its first 16 bits and the text after it.
void Ui_EffectPairRow(int32_t op, int32_t number, void *row, void *user);
// Row source of the note effect pop-up: "None" and the names.
void Ui_NoteEffectRow(int32_t op, int32_t number, void *row, void *user);
