// The studio's own sounds, synthesised at build time and packed with the console ADPCM encoder:
// the five interface sounds and the first instrument library.
//
// Interface sounds are 44100 Hz material (the interface voice plays them one frame per output
// frame; "move" at half speed, so an octave lower). Files: 48 zero bytes, then ADPCM.
//
// The instrument library lives in the archive under "N": one folder per library kind, "B", "D"
// and "F" (11025, 22050 and 44100 Hz data of the same sounds), each holding the same tree of
// folder / sub-folder / entries. A sample plays at its own rate on the kind's base note (36, 48
// or 60), so every melodic sound is a C there. Sample files: a 48-byte header (name in bytes
// 0..19, category in byte 40), then ADPCM. Sustained sounds loop over a whole number of cycles
// of every partial, so the loop is seamless; loops start on ADPCM block edges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum
{
    CONTENT_SAMPLE_HEADER = 48,
    CONTENT_SAMPLE_NAME = 20,    // name bytes, the last one zero
    CONTENT_SAMPLE_CATEGORY = 40, // offset of the category byte
};

// Instrument categories (riff types) of the library.
enum
{
    CONTENT_CATEGORY_DRUMS = 0,
    CONTENT_CATEGORY_BASS = 1,
    CONTENT_CATEGORY_LEAD = 2,
    CONTENT_CATEGORY_PAD = 3,
};

struct CONTENTFILE
{
    std::string path;  // '/'-separated, relative to the data folder or the archive root
    std::string shown; // name shown in the archive's listings (archive files only)
    std::vector<uint8_t> data;
};

// Interface sound n (0 confirm, 1 select, 2 move, 3 bad, 4 cancel) as 44100 Hz samples; empty
// for another n.
std::vector<int16_t> Content_SynthInterfaceSound(int n);
// The five files "boot/confirm1.bin", "boot/select1.bin", "boot/move.bin", "boot/bad.bin",
// "boot/cancel.bin", relative to the data folder.
std::vector<CONTENTFILE> Content_InterfaceSoundFiles();

// A sustained or one-shot instrument sound at one sample rate.
struct CONTENTSAMPLE
{
    std::vector<int16_t> samples;
    int32_t loopStart; // -1: one-shot
};

// Instrument i of the library (0 .. Content_InstrumentCount() - 1) at rate 11025, 22050 or 44100.
int Content_InstrumentCount();
CONTENTSAMPLE Content_SynthInstrument(int i, int rate);
// Its archive folder below the kind folder ("DRUMS/KIT1"), entry name, shown name, category and
// the base frequency of a melodic sound (0 for drums).
struct CONTENTINSTRUMENT
{
    const char *folder;
    const char *entry;
    const char *shown;
    uint8_t category;
    double baseHz;
};
const CONTENTINSTRUMENT &Content_InstrumentInfo(int i);

// A library sample file: header with name and category, then the ADPCM of the samples.
std::vector<uint8_t> Content_MakeSampleFile(const char *name, uint8_t category, const CONTENTSAMPLE &sample);
// Every library file, with paths "N/B/DRUMS/KIT1/KICK" and so on relative to the archive root.
std::vector<CONTENTFILE> Content_InstrumentFiles();
