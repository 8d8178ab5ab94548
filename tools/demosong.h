// The demo song: drums, bass, lead and pad over 22 rows, with a tempo ramp and a volume ramp,
// made through the studio's own song records (sample import, notes, riffs, the grid and the event
// lists) into the current song.
#pragma once

#include <cstdint>
#include <vector>

enum
{
    DEMO_ROWS = 22,
    DEMO_TONE_ROW = 20, // rows 20..21 hold one lead note alone: an A at 440 Hz
    DEMO_TONE_PITCH = 69,
};

// Builds the demo into the current (empty) song; 0, or -1 when a record could not be made.
int32_t Content_BuildDemoSong();

// A short song of one style for the archive's performance folders: a drum bar, a two-bar bass
// line, a four-bar melody and pad chords over rows, each part entering at its own row.
struct CONTENTNOTE
{
    int32_t step, pitch, length; // step in sixteenths from the riff's start; pitch above the key
};
struct CONTENTSTYLE
{
    const char *entry; // archive entry name (at most 8 characters)
    const char *shown; // the name the lists show
    int32_t tempo;     // beats a minute
    int32_t rows;      // bars of the song
    int32_t key;       // semitones above C
    int32_t kind;      // library kind of its instruments (1..3: 11, 22, 44 kHz), named by reference
    std::vector<int32_t> kick, snare, clap, hat, openHat; // steps of the drum bar
    uint8_t hatHits;   // 0x80 one hit a step, 0x88 a roll
    std::vector<CONTENTNOTE> bass;   // two bars, pitches above the key's C 48
    std::vector<CONTENTNOTE> lead;   // four bars, pitches above the key's C 72
    std::vector<CONTENTNOTE> chords; // four bars on two tracks (even notes track 0), above C 60
    int32_t bassFrom, leadFrom, padFrom, drumsFrom; // first row of each part (-1: never)
};
// Builds the style into the current (empty) song; 0, or -1 when a record could not be made.
int32_t Content_BuildStyledSong(const CONTENTSTYLE &style);
