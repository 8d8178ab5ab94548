// The note effect names: which name each preset shows, which preset each name plays, and the
// rows of the effect lists.
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/noteeffects.h"
#include "ui/popup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(NoteEffects, EveryNameHasATextAndPlaysAPresetThatIsNamedByIt)
{
    EXPECT_STREQ(Ui_Text(UI_EFFECT_NAME_TEXT), "None");
    EXPECT_EQ(Ui_NoteEffectPreset(0), 0);
    for (int32_t n = 1; n < UI_NOTE_EFFECTS; n++) {
        SCOPED_TRACE(n);
        const char *text = Ui_Text(UI_EFFECT_NAME_TEXT + n);
        ASSERT_NE(text, nullptr);
        EXPECT_GT(std::strlen(text), 0u);
        const uint8_t preset = Ui_NoteEffectPreset(n);
        EXPECT_GE(preset, 1);
        EXPECT_LT(preset, UI_EFFECT_PRESETS);
        EXPECT_EQ(Ui_NoteEffectNumber(preset), n) << "the name comes back from its preset";
    }
    // The chord names keep their texts, which the key dialog shares.
    EXPECT_STREQ(Ui_Text(168), "Major");
    EXPECT_STREQ(Ui_Text(169), "Minor");
}

TEST(NoteEffects, PresetsWithoutANameShowTheirKindAndOutOfRangeIsNone)
{
    struct CASE
    {
        int selector;
        const char *name;
    } cases[] = {
        {0, "None"},          {1, "Short echo"},   {2, "Short echo"},  {5, "Eighth ping-pong"},
        {24, "Half ping-pong"}, {26, "Thicken"},   {36, "Wide chorus"}, {43, "Major"},
        {60, "Wide ping-pong"}, {64, "Warped tape"}, {72, "Fast shimmer"}, {75, "Wash"},
        {76, "None"},         {255, "None"},
    };
    for (const CASE &c : cases)
        EXPECT_STREQ(Ui_Text(UI_EFFECT_NAME_TEXT + Ui_NoteEffectNumber(uint8_t(c.selector))), c.name)
            << "selector " << c.selector;
    for (int32_t n : {-1, UI_NOTE_EFFECTS, 1000})
        EXPECT_EQ(Ui_NoteEffectPreset(n), 0) << n;
}

// Rows of the list fill protocol: the number in the first 16 bits, the text after it; rows
// outside the list are left as they were.
TEST(NoteEffects, PairAndNameRowsFollowTheFillProtocol)
{
    static const uint8_t pairs[3][2] = {{0, 16}, {19, 20}, {42, 1}};
    const EFFECTPAIRLIST list{3, pairs};
    struct CASE
    {
        int op, number;
        int row; // 0: left untouched
        const char *text;
    } cases[] = {
        {LISTFILL_FIRST, 0, 1, "None - Major"},
        {LISTFILL_NEXT, 1, 2, "Octave up - Octave down"},
        {LISTFILL_PREV, 4, 3, "Wash - Short echo"},
        {LISTFILL_NEXT, 3, 0, nullptr},
        {LISTFILL_PREV, 1, 0, nullptr},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(std::to_string(c.op) + " " + std::to_string(c.number));
        char row[UI_POPUP_ROW_STRIDE];
        std::memset(row, 0x55, sizeof row);
        Ui_EffectPairRow(c.op, c.number, row, const_cast<EFFECTPAIRLIST *>(&list));
        uint16_t number = 0;
        std::memcpy(&number, row, 2);
        if (!c.row) {
            EXPECT_EQ(number, 0x5555) << "untouched";
            continue;
        }
        EXPECT_EQ(number, c.row);
        EXPECT_STREQ(row + 2, c.text);
    }
    char row[UI_POPUP_ROW_STRIDE] = {};
    Ui_EffectPairRow(LISTFILL_FIRST, 0, row, nullptr);
    EXPECT_EQ(row[2], 0) << "no list, no row";
    Ui_NoteEffectRow(LISTFILL_FIRST, 0, row, nullptr);
    EXPECT_STREQ(row + 2, "None");
    Ui_NoteEffectRow(LISTFILL_NEXT, 17, row, nullptr);
    EXPECT_STREQ(row + 2, "Minor");
    std::memset(row, 0, sizeof row);
    Ui_NoteEffectRow(LISTFILL_NEXT, UI_NOTE_EFFECTS, row, nullptr);
    EXPECT_EQ(row[2], 0) << "past the names";
}

} // namespace
