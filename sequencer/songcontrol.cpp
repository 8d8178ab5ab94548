// Song control: start-up, new song, shutdown, mix and effect settings, envelopes and the
// transitions between the song grid and the riff editor.
#include "sequencer/songcontrol.h"

#include "jam/jamrecords.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audio/sampleslot.h"
#include "core/consolelib.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/idpool.h"
#include "core/mixlock.h"
#include "core/soundlib.h"
#include "jam/netobjects.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/samples.h"
#include "sequencer/undo.h"
#include "sequencer/tables.h"

NOTEPARAMS g_DefaultNote, g_CurrentNote;
JAMSETUP g_JamSetups[4];
uint8_t g_aucMixSettings[6] = {0, 0, 0, 0, 100, 0};
uint8_t &g_ucMasterVolume = g_aucMixSettings[4];
uint8_t &g_ucMixMono = g_aucMixSettings[5];
uint8_t g_ucEffectType;
int32_t g_bEffectRefused;
uint8_t g_abJamSetupData[950];
int32_t g_iSizeMusic, g_iSizeSongGrid, g_iSizeJams, g_iSizeHeader, g_iSizeDiscs, g_iSizeResources;

namespace {

void MakeDefaultNote()
{
    g_DefaultNote = NOTEPARAMS{};
    g_DefaultNote.ucState = 255;
    g_DefaultNote.ucFlags = 0x40;    // eight hit positions a step
    g_DefaultNote.ucSetting2 = 0x80; // one hit, at the first
    g_DefaultNote.ucCountA = 3;
    g_DefaultNote.auValuesA[0] = 0 | 255 << 8;
    g_DefaultNote.auValuesA[1] = 29 | 255 << 8;
    g_DefaultNote.auValuesA[2] = 143 | 0 << 8;
    g_DefaultNote.ucCountB = 2;
    g_DefaultNote.auValuesB[0] = 0 | 127 << 8;
    g_DefaultNote.auValuesB[1] = 255 | 127 << 8;
    g_DefaultNote.ucCountC = 2;
    g_DefaultNote.auValuesC[0] = 0 | 127 << 8;
    g_DefaultNote.auValuesC[1] = 255 | 127 << 8;
    g_CurrentNote = g_DefaultNote;
}

void DefaultEventEntries()
{
    Seq_SetTrackEntry(0, 1, 0, 0, 0, 0, 0, 0, 0, LIST_KEY);
    Seq_SetTrackEntry(0, 1, 130, 130, 0, 0, 0, 0, 0, LIST_TEMPO);
    Seq_SetTrackEntry(0, 1, g_ucMasterVolume, g_ucMasterVolume, 0, 0, 0, 0, 0, LIST_VOLUME);
    if (Seq_SetTrackEntry(0, 1, 50, 50, 5, 0, 0, 0, 0, LIST_EFFECT) < 0) {
        // The sound layer refused the effect: the list still needs its row-0 entry.
        g_bEffectRefused = 1;
    }
}

// Empties the instrument table: chains, the samples of the song's instruments, the records.
void ClearInstruments()
{
    for (int32_t slot = 0; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        Seq_ClearInstrumentSlot(slot, !g_bJamSessionOn);
    // Every slot is free now: a count left over would call a new song full.
    g_uInstrumentCount = 0;
    Seq_ClearSampleTable();
}

} // namespace

void Seq_Init()
{
    Sys_EventCreateClass(3, 4);
    g_usTuning = 1872;
    Seq_ResetPlayState();
    Seq_LoadEffectPresets();
    Seq_ResetJamSlots();
    MakeDefaultNote();
    Seq_SetMasterVolume(0x3FFF);
    Seq_CreateCommandEntryPool();
    Seq_InstallSampleLoader();
    Seq_CreateTrackEntryPool();
    ClearInstruments();
    Seq_ResetSongModel();
    Seq_SetTempo(130);
    DefaultEventEntries();
    g_uSongTempo = 130;
    Seq_InstallDefaultStep();
    Seq_StartClock();
    Seq_SetMixLevels(100, 0);
    g_bSongChanged = 0;
}

void Seq_NewSong()
{
    Seq_StopClock();
    Seq_FreeUndoLog();
    Seq_ResetPlayState();
    g_ucEffectType = 0;
    g_bJamActive = 0;
    g_usTuning = 1872;
    ClearInstruments();
    for (int32_t kind = LIST_TEMPO; kind <= LIST_KEY; kind++)
        Seq_FreeTrackList(kind);
    Seq_ResetSongModel();
    Seq_ResetJamSlots();
    Seq_SetMixLevels(g_ucMasterVolume, g_ucMixMono);
    Seq_SetTempo(130);
    g_uSongTempo = 130;
    DefaultEventEntries();
    Seq_StartClock();
    g_bSongChanged = 0;
    g_CurrentNote = g_DefaultNote;
}

void Seq_ShutdownSong()
{
    Seq_NewSong();
    Seq_StopClock();
    for (int32_t kind = LIST_TEMPO; kind <= LIST_KEY; kind++)
        Seq_FreeTrackList(kind);
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Seq_ResetSongModel();
    if (g_pRiffEntryPool) {
        Sys_PoolDestroy(g_pRiffEntryPool);
        g_pRiffEntryPool = nullptr;
    }
    if (g_pNoteEntryPool) {
        Sys_PoolDestroy(g_pNoteEntryPool);
        g_pNoteEntryPool = nullptr;
    }
    free(g_NoteClipboard.puNotes);
    g_NoteClipboard.puNotes = nullptr;
    Seq_DestroyCommandEntryPool();
    if (g_pTrackEntryPool) {
        Sys_PoolDestroy(g_pTrackEntryPool);
        g_pTrackEntryPool = nullptr;
    }
}

void Seq_SetMasterVolume(int32_t volume)
{
    SOUNDATTR attr{};
    attr.uMask = 3;
    attr.iValue1 = (int16_t)volume;
    attr.iValue2 = (int16_t)volume;
    Sys_SetVoiceAttributes(&attr);
}

int32_t Seq_PercentToVolume(int32_t percent, int32_t maximum)
{
    return ((percent & 0xFF) * 4096 / 100) * maximum / 4096;
}

int32_t Seq_SetMixLevels(int32_t percent, int32_t mono)
{
    Sys_KeyVoices(0, SYS_ALL_VOICES);
    if (!g_bLoadAborted) {
        g_ucMasterVolume = (uint8_t)percent;
        g_ucMixMono = (uint8_t)mono;
        Seq_SetMasterVolume(Seq_PercentToVolume(percent, 0x3FFF));
    }
    return 0;
}

int32_t Seq_GetMixSettings(uint8_t out[6])
{
    std::memcpy(out, g_aucMixSettings, 6);
    return 0;
}

int32_t Seq_ApplyEffect(int32_t type, int32_t depth, int32_t delay, int32_t feedback, int32_t reset)
{
    // The refusal is reported by the result and g_bEffectRefused, never through the loader's
    // g_bLoadAborted: an aborted load stays aborted, and a refused preset aborts nothing.
    g_bEffectRefused = 0;
    if (reset) {
        Sys_ClearReverbLines(type);
        Sys_WaitVerticalSync(3);
        Sys_ClearReverbLines(type);
    }
    SOUNDATTR attr{};
    attr.iValue1 = (int16_t)type;
    attr.uDepthLeft = attr.uDepthRight = (uint16_t)Seq_PercentToVolume(depth, 0x7FFF);
    if (type == 7 || type == 8) {
        attr.uMask = 0x1F;
        const int32_t d = Seq_PercentToVolume(delay, 127);
        attr.uWord12 = (uint32_t)(d < 1 ? 1 : d);
        attr.uWord16 = (uint32_t)Seq_PercentToVolume(feedback, 127);
    } else {
        attr.uMask = 7;
    }
    if (Sys_SetReverbAttributes(&attr) == -1) {
        g_bEffectRefused = 1;
        return -1;
    }
    Sys_SetReverbDepth(&attr);
    Sys_SetVoiceReverb(0, SYS_ALL_VOICES);
    if (Sys_SetReverbEnable(1) == 0)
        g_bEffectRefused = 1;
    g_ucEffectType = (uint8_t)type;
    return g_bEffectRefused ? -1 : 0;
}

void Seq_ResetJamSlots()
{
    std::memset(g_abJamSetupData, 0, sizeof(g_abJamSetupData));
    for (JAMSETUP &setup : g_JamSetups)
        setup = JAMSETUP{};
    for (int32_t s = 0; s < 4; s++) {
        uint8_t *setup = &g_abJamSetupData[1 + s * 236];
        for (int32_t k = 0; k < 4; k++)
            setup[36 + k * 20] = 255;
        for (int32_t k = 0; k < 6; k++)
            setup[122 + k * 20] = 255;
    }
    Jam_ResetRecords();
}

void Seq_RebuildGridCells(int32_t adopt)
{
    if (adopt)
        std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    const int32_t rows = Seq_CountUsedRows();
    for (int32_t row = 0; row < rows; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            if (g_aSongGrid[row][c] & 0xE000)
                g_aSongGrid[row][c] = 0;
    // Only first cells name riffs; a cell with bit 12 holds a column offset and is rewritten
    // from its first cell instead.
    for (int32_t row = 0; row < rows; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++) {
            const uint16_t cell = g_aSongGrid[row][c];
            if (!cell || (cell & 0xF000))
                continue;
            RIFFENTRY *r = Seq_GetRiff(cell & SEQ_CELL_ID_MASK);
            if (!r || row + r->ucBars > SEQ_LAST_PLACE_ROW + 1 || c + r->ucTracks > SEQ_GRID_COLUMNS) {
                g_aSongGrid[row][c] = 0;
                continue;
            }
            for (int32_t b = 0; b < r->ucBars; b++)
                for (int32_t t = 0; t < r->ucTracks; t++)
                    g_aSongGrid[row + b][c + t] =
                        (uint16_t)(b << 13 | (t ? (SEQ_CELL_CONTINUE | t) : (cell & SEQ_CELL_ID_MASK)));
            if (adopt)
                r->iUseCount++;
        }
    if (!adopt)
        return;
    for (int32_t id = 1; id < g_uRiffCount;) {
        RIFFENTRY *r = Seq_GetRiff(id);
        const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
        bool firstTrackHasNote = false;
        for (int32_t s = 0; s < steps && !firstTrackHasNote; s++)
            firstTrackHasNote = r->puNotes[s] != 0;
        if ((firstTrackHasNote && r->iUseCount == 0) || !Seq_RiffHasNotes(id)) {
            r->iUseCount = 1;
            if (Seq_ReleaseRiff(id, 2, 1))
                continue;
        }
        id++;
    }
}

int32_t Seq_CreateRiffAt(int32_t row, int32_t column, int32_t bars, int32_t tracks)
{
    if (row < 0 || row >= SEQ_GRID_ROWS || column < 0 || column >= SEQ_GRID_COLUMNS)
        return 10;
    if (g_aSongGrid[row][column] == 0) {
        const int32_t riff = Seq_NewRiff(bars, tracks);
        if (riff < 0)
            return 10;
        Seq_PlaceRiff(riff, row, column, 0, 1);
        if (!Seq_GetRiffStartingAt(row, column)) {
            Seq_ReleaseRiff(riff, 0, 1); // it did not fit: nothing is left behind
            return 10;
        }
    }
    const int32_t riff = Seq_RiffAtCell(row, column, nullptr, nullptr);
    if (riff) {
        Seq_UnlinkRiff(riff);
        g_uCurrentRiff = (uint16_t)riff;
        g_uLibraryRiff = (uint16_t)riff;
        Seq_ClearRiffDeleteMark(riff);
    }
    return 0;
}

int32_t Seq_CloseRiffEditor()
{
    const int32_t riff = g_uCurrentRiff;
    g_uCurrentRiff = 0;
    g_uLibraryRiff = (uint16_t)riff;
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 0;
    if (Seq_RiffHasNotes(riff)) {
        if (r->ucType == 255)
            Seq_SetRiffDefaults(riff, 3);
        return riff;
    }
    Seq_ReleaseRiff(riff, 3, 1);
    Seq_UpdateSongSizes();
    return 0;
}

void Seq_NotePitchParts(int32_t note, int32_t *pOctave, int32_t *pSemitone)
{
    const NOTEENTRY *n = Seq_GetNote(note);
    const int32_t pitch = n ? n->ucPitch : 0;
    if (pOctave)
        *pOctave = pitch / 12;
    if (pSemitone)
        *pSemitone = pitch % 12;
}

int32_t Seq_MakeEnvelope(int32_t attack, int32_t decay, int32_t sustain, int32_t release)
{
    auto T = [](int32_t i) { return (int32_t)g_auCurveTable[i < 0 ? 0 : i > 255 ? 255 : i]; };
    const int32_t u = 9000 / (g_uTempo ? g_uTempo : 130);
    const int32_t div = u > 0 ? u : 1;
    const int32_t t0 = T(attack), t1 = t0 + 4 * T(decay), t2 = t1 + 8 * T(release);
    const int32_t a = t0 * 256 / div, b = t1 * 256 / div, c = t2 * 256 / div;
    int32_t s = 0;
    while (c >= (256 << s) && s < 15)
        s++;
    const uint16_t points[3] = {(uint16_t)((a >> s) | 255 << 8), (uint16_t)((b >> s) | (sustain & 255) << 8),
                                (uint16_t)(c >> s)};
    return Seq_AddParamList(3, points, (uint8_t)s, 0);
}

void Seq_ResetCurrentNote()
{
    g_CurrentNote = g_DefaultNote;
}

void Seq_FillDefaultNote(NOTEENTRY *note)
{
    const NOTEPARAMS &d = g_DefaultNote;
    *note = NOTEENTRY{};
    note->uSampleStart = d.uSampleStart;
    note->ucLevel = d.ucLevel;
    note->ucFlags = d.ucFlags;
    note->ucSetting1 = d.ucSetting1;
    note->ucSetting2 = d.ucSetting2;
    note->ucSetting3 = d.ucSetting3;
    note->ucSetting4 = d.ucSetting4;
    note->ucSetting5 = d.ucSetting5;
    note->ucDisc = d.ucDisc;
    // Each list is interned on its own: a full store leaves that list empty (0), not the note.
    const int32_t a = Seq_AddParamList(d.ucCountA <= 66 ? d.ucCountA : 66, d.auValuesA, d.ucAOfA, 0);
    const int32_t b = Seq_AddParamList(d.ucCountB <= 64 ? d.ucCountB : 64, d.auValuesB, d.ucAOfB, 0);
    const int32_t c = Seq_AddParamList(d.ucCountC <= 64 ? d.ucCountC : 64, d.auValuesC, d.ucAOfC, d.ucBOfC);
    note->uListA = (uint16_t)(a < 0 ? 0 : a);
    note->uListB = (uint16_t)(b < 0 ? 0 : b);
    note->uListC = (uint16_t)(c < 0 ? 0 : c);
}
