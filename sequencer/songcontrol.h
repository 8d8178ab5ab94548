// Song control: sequencer start-up, the empty new song, shutdown, master volume and mix, the
// song's effect, envelopes, and the riff-editor transitions of the song grid.
#pragma once

#include <cstdint>

struct NOTEENTRY;

// The editable image of one note (the note editor's current and default note).
struct NOTEPARAMS
{
    uint8_t ucState; // 255 = no note / no instrument
    uint8_t ucSetting4, ucSetting5, ucSetting1, ucLevel, ucFlags, ucSetting2, ucSetting3, ucDisc;
    uint8_t ucCountA, ucCountB, ucCountC;
    uint8_t ucAOfA, ucAOfB, ucAOfC, ucBOfC;
    uint16_t auValuesB[64];
    uint16_t auValuesA[66];
    uint16_t auValuesC[64];
    uint32_t uSampleStart;
    uint32_t uSampleEndLimit;
};

extern NOTEPARAMS g_DefaultNote, g_CurrentNote;
extern uint8_t g_aucMixSettings[6]; // four bytes of the editor screens, master volume %, mono
extern uint8_t &g_ucMasterVolume;
extern uint8_t &g_ucMixMono;
extern uint8_t g_ucEffectType;
extern int32_t g_bEffectRefused; // the sound layer refused the last effect
// The song's jam setups as the song keeps them: a head byte, then 4 setups of 236 bytes (sub-entries
// of 20 bytes from bytes 36 and 122, empty when their first byte is 255). The jam's own state of
// each setup is g_JamSetups; the two meet when the jam chunks are saved.
extern uint8_t g_abJamSetupData[950];
// The jam's state of each setup: 0 unused, 2 idle, 3 loading; and the part selected in it.
struct JAMSETUP
{
    uint8_t ucState;
    uint8_t ucSelection;
};
extern JAMSETUP g_JamSetups[4];
extern int32_t g_iSizeMusic, g_iSizeSongGrid, g_iSizeJams, g_iSizeHeader, g_iSizeDiscs, g_iSizeResources;
// The song's bytes in memory as the top bar shows them: music, jams, header, discs and resources.
int32_t Seq_SongSizeTotal();

void Seq_Init();
void Seq_NewSong();
void Seq_ShutdownSong();
void Seq_SetMasterVolume(int32_t volume);
int32_t Seq_PercentToVolume(int32_t percent, int32_t maximum);
int32_t Seq_SetMixLevels(int32_t percent, int32_t mono);
int32_t Seq_GetMixSettings(uint8_t out[6]);
// 0, or -1 when the sound layer refused the effect (nothing else is touched then).
int32_t Seq_ApplyEffect(int32_t type, int32_t depth, int32_t delay, int32_t feedback, int32_t reset);
void Seq_ResetJamSlots();
void Seq_RebuildGridCells(int32_t adopt);
int32_t Seq_CreateRiffAt(int32_t row, int32_t column, int32_t bars, int32_t tracks);
int32_t Seq_CloseRiffEditor();
void Seq_NotePitchParts(int32_t note, int32_t *pOctave, int32_t *pSemitone);
// Interns a three-point amplitude envelope; its list id, or -1.
int32_t Seq_MakeEnvelope(int32_t attack, int32_t decay, int32_t sustain, int32_t release);
void Seq_ResetCurrentNote();
// A note image made from the default note settings, its three lists interned (each list id 0 when
// the store is full). Their hit mask and envelopes make the note sound.
void Seq_FillDefaultNote(NOTEENTRY *note);
