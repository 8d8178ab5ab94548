#include "ui/noteeffects.h"

#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/popup.h"

#include <cstdio>
#include <cstring>

namespace {

// The preset each name plays, by effect number 1..42 (the presets are made by the content
// builder: echoes 1-24, doublings 25-36, intervals and chords 37-48, slap-backs 49-60, tape
// echoes 61-66, shimmers 67-72, stereo and rooms 73-75).
constexpr uint8_t kNamedPreset[UI_NOTE_EFFECTS] = {
    0,  1,  3,  4,  9,  10, 15, 16, 17, 21, 22, // echoes
    25, 29, 30, 31, 32,                         // doublings
    43, 44,                                     // major, minor
    34, 37, 38, 39, 40, 41, 42, 45, 46, 47, 48, // wide chorus, intervals, chords
    49, 50, 53, 57, 59,                         // slap-backs
    61, 62, 65,                                 // tape
    67, 70, 71,                                 // shimmers
    73, 74, 75,                                 // stereo, rooms
};
static_assert(sizeof kNamedPreset == UI_NOTE_EFFECTS, "one preset a name");

constexpr int kRowText = 2;
constexpr int kRowTextMax = UI_POPUP_ROW_STRIDE - kRowText - 2;

int32_t Target(int32_t op, int32_t number)
{
    return op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : op == LISTFILL_PREV ? number - 1 : 0;
}

const char *Name(int32_t number)
{
    const char *text = number >= 0 && number < UI_NOTE_EFFECTS ? Ui_Text(UI_EFFECT_NAME_TEXT + number) : nullptr;
    return text ? text : "";
}

void PutRow(void *row, int32_t number, const char *text)
{
    auto *r = static_cast<char *>(row);
    const uint16_t n = uint16_t(number);
    std::memcpy(r, &n, 2);
    const size_t length = strnlen(text, kRowTextMax);
    std::memcpy(r + kRowText, text, length);
    r[kRowText + length] = 0;
    r[UI_POPUP_ROW_STRIDE - 1] = 0; // every row can be chosen
}

} // namespace

int32_t Ui_NoteEffectNumber(uint8_t selector)
{
    if (selector == 0 || selector >= UI_EFFECT_PRESETS)
        return 0;
    int32_t best = 0;
    for (int32_t n = 1; n < UI_NOTE_EFFECTS; n++)
        if (kNamedPreset[n] <= selector && kNamedPreset[n] > kNamedPreset[best])
            best = n;
    return best;
}

uint8_t Ui_NoteEffectPreset(int32_t number)
{
    return number > 0 && number < UI_NOTE_EFFECTS ? kNamedPreset[number] : 0;
}

void Ui_EffectPairRow(int32_t op, int32_t number, void *row, void *user)
{
    const auto *list = static_cast<const EFFECTPAIRLIST *>(user);
    const int32_t n = Target(op, number);
    if (!row || !list || !list->pairs || n < 1 || n > list->count)
        return;
    char text[UI_POPUP_ROW_STRIDE];
    std::snprintf(text, sizeof text, "%s - %s", Name(list->pairs[n - 1][0]), Name(list->pairs[n - 1][1]));
    PutRow(row, n, text);
}

void Ui_NoteEffectRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = Target(op, number);
    if (!row || n < 1 || n > UI_NOTE_EFFECTS)
        return;
    PutRow(row, n, Name(n - 1));
}
