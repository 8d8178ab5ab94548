// Shared fixture of the sequencer tests: an empty song model, a fixed-width text measurer, and
// helpers that make notes and riffs through the model's own calls.
#pragma once

#include "sequencer/songmodel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Every character is 8 pixels wide.
inline int32_t FixedWidth(const char *text)
{
    return 8 * (int32_t)strlen(text);
}

// The whole-model check, reported with its reason.
#define EXPECT_MODEL_WHOLE()                                                                                          \
    do {                                                                                                              \
        char why_[256];                                                                                               \
        EXPECT_EQ(Seq_CheckSongModel(why_, sizeof(why_)), 0) << why_;                                                 \
    } while (0)

class SeqModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Seq_ResetSongModel();
        Seq_SetTextMeasurer(FixedWidth);
    }
    void TearDown() override
    {
        Seq_ResetSongModel();
        Seq_SetTextMeasurer(nullptr);
    }

    // A note of instrument 1 with three interned lists; the caller owns the reference.
    static int32_t Note(int32_t pitch, int32_t length = 1, int32_t level = 200, uint8_t flags = 0,
                        uint16_t instrument = 1, uint8_t disc = 0)
    {
        const uint16_t amp[3] = {0x00FF, 0x1DFF, 0x8F00};
        const uint16_t flat[2] = {0x7F00, 0x7FFF};
        const int32_t a = Seq_AddParamList(3, amp, 0, 0);
        const int32_t b = Seq_AddParamList(2, flat, 0, 0);
        const int32_t c = Seq_AddParamList(2, flat, 0, 0);
        const uint16_t before = g_uNoteCount;
        const int32_t id = Seq_FindOrAddNote(instrument, pitch / 12, pitch % 12, (uint8_t)length, (uint8_t)level, flags,
                                             0x40, 0x80, 0, 0, a, b, c, 0, 0, disc, 1);
        if (!(id > 0 && g_uNoteCount == before + 1)) {
            Seq_ReleaseParamList(a);
            Seq_ReleaseParamList(b);
            Seq_ReleaseParamList(c);
        }
        return id;
    }

    // Puts a new note at a riff cell; true when it went in.
    static bool Put(int32_t riff, int32_t step, int32_t track, int32_t pitch, int32_t length = 1, int32_t level = 200,
                    uint8_t flags = 0)
    {
        const int32_t id = Note(pitch, length, level, flags);
        if (id < 0)
            return false;
        if (Seq_SetRiffNote(riff, step, track, -id, 1, 0, 0))
            return true;
        Seq_DeleteNote(id, 1, 0);
        return false;
    }

    static int32_t Cell(int32_t riff, int32_t step, int32_t track)
    {
        RIFFENTRY *r = Seq_GetRiff(riff);
        return r ? *Seq_RiffCell(r, step, track) : -1;
    }
    static int32_t PitchAt(int32_t riff, int32_t step, int32_t track)
    {
        NOTEENTRY *n = Seq_GetNote(Cell(riff, step, track));
        return n ? n->ucPitch : -1;
    }
    static std::string Name(int32_t riff)
    {
        char name[17] = {};
        Seq_GetRiffName(riff, name);
        return name;
    }
};
