// The sequencer clock's tick and its play modes: idle, riff preview, song, song with the open riff
// looping, fast-forward and reverse cue. Seq_Tick runs once per 72-frame mix block under g_csMix
// (the mix pump's thread, or the main thread during a mixdown); the play operations take g_csMix
// so that the tick never sees them half done.
#include <cstring>
#include <mutex>

#include "audio/mixer.h"
#include "core/event.h"
#include "core/mixlock.h"
#include "core/soundlib.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/playstate.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"

void Ui_OnSongEnd();
extern int32_t g_iScreen;

PLAYCOLUMN g_aPlayColumns[99];
std::atomic<SEQSTEPFN> g_pfnSeqStep{Seq_StepIdle};
SEQCHANNELALLOCFN g_pfnSeqChannelAlloc = Seq_AllocChannel;
std::atomic<uint8_t> g_bSongPlaying;
std::atomic<uint32_t> g_uSongRow;
uint16_t g_uStepsLeftInBar = 15;
uint8_t g_bSeqStepHooked;
uint8_t g_bFastForward;
uint16_t g_uPreviewRiff;
uint8_t g_ucPreviewStep, g_ucPreviewMode = 1;
uint8_t g_aucChannelEnabled[99];
int32_t g_aiKeyLights[12];
std::atomic<uint32_t> g_uSeqTickCount;
int32_t g_iStepAccum, g_iFineAccum, g_iSubStep, g_iFineStep;
uint8_t g_ucQuarterPhase, g_bStepBoundary, g_bQuarterStep, g_bInSeqTick, g_ucBeatStep;
std::atomic<uint8_t> g_ucStepCount16;
int16_t g_sDetuneSweep = 1, g_sDetuneWobble = 1;
uint8_t g_bDetuneSweepDown, g_bDetuneWobbleDown;
TRACKRAMP g_TempoRamp, g_VolumeRamp, g_EffectRamp;
// The jam-data size word and the sequencer/interface status byte (bit 2: sample edits re-applied).
uint32_t g_uSeqBlockSize;
uint8_t g_bySeqStatus;

namespace {

struct EVENTWORDS
{
    uint16_t first, second;
};

void Post(uint32_t id, uint16_t first, uint16_t second)
{
    EVENTWORDS words{first, second};
    Sys_EventDispatch(id, (uintptr_t)&words);
}

void CallStep()
{
    if (SEQSTEPFN fn = g_pfnSeqStep.load())
        fn();
}

void StepLevelRamps()
{
    for (PLAYCOLUMN &c : g_aPlayColumns)
        if (c.uLevelUpdates) {
            c.iLevel += c.iLevelStep;
            c.uLevelUpdates--;
        }
}

void BarCountdown()
{
    if (g_uStepsLeftInBar == 0) {
        g_uStepsLeftInBar = 15;
        Post(0x30003, 0, 255);
    } else {
        g_uStepsLeftInBar--;
    }
}

// A column takes up a riff at a bar of it: steps, steps left and the level ramp at that bar.
void StartColumn(PLAYCOLUMN &c, int32_t riff, int32_t track, int32_t bar)
{
    const RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || bar >= r->ucBars)
        return;
    c.uRiff = (uint16_t)riff;
    c.ucTrack = (uint8_t)track;
    c.ucStep = (uint8_t)(bar * 16);
    c.uStepsLeft = (uint16_t)((r->ucBars - bar) * 16);
    c.iLevel = r->ucStartLevel * 1024;
    c.uLevelUpdates = (uint16_t)(r->ucBars * 64);
    c.iLevelStep = ((r->ucEndLevel - r->ucStartLevel) * 1024) / (r->ucBars * 64);
    for (int32_t i = 0; i < bar * 64; i++) {
        c.iLevel += c.iLevelStep;
        c.uLevelUpdates--;
    }
}

// The riff and track a grid cell plays, and the cell's bar; 0 for none.
int32_t CellRiff(int32_t row, int32_t column, int32_t *pTrack, int32_t *pBar)
{
    if (row < 0 || row >= SEQ_GRID_ROWS)
        return 0;
    const uint16_t cell = g_aSongGrid[row][column];
    *pBar = cell >> 13;
    if (cell & SEQ_CELL_CONTINUE) {
        *pTrack = cell & SEQ_CELL_ID_MASK;
        const int32_t first = column - *pTrack;
        return first >= 0 ? g_aSongGrid[row][first] & SEQ_CELL_ID_MASK : 0;
    }
    *pTrack = 0;
    return cell & SEQ_CELL_ID_MASK;
}

void TakeUpRamp(TRACKRAMP &ramp)
{
    TRACKENTRY *e = ramp.pNext;
    if (ramp.uStepsLeft || !e || Seq_EntryRow(e) != (int32_t)g_uSongRow.load())
        return;
    const int32_t steps = (Seq_EntryLength(e) ? Seq_EntryLength(e) : 1) * 16;
    ramp.uStepsLeft = (uint16_t)steps;
    ramp.iValue = e->uStart * 4096;
    ramp.iStep = (e->uEnd * 4096 - e->uStart * 4096) / steps;
    ramp.pNext = e->pNext;
    if (TRACKENTRY *p = e->pPartner) {
        ramp.iValue2 = p->uStart * 4096;
        ramp.iStep2 = (p->uEnd * 4096 - p->uStart * 4096) / steps;
        ramp.iValue3 = (p->uStart & 0xFF00) * 16;
        ramp.iStep3 = ((p->uEnd & 0xFF00) * 16 - (p->uStart & 0xFF00) * 16) / steps;
        if ((e->uEffectWord >> 11) != g_ucEffectType) {
            SOUNDATTR attr{};
            attr.uMask = 7;
            attr.iValue1 = (int16_t)(e->uEffectWord >> 11);
            attr.uDepthLeft = attr.uDepthRight = (uint16_t)Seq_PercentToVolume(ramp.iValue >> 12, 0x7FFF);
            Sys_SetReverbAttributes(&attr);
            Sys_SetReverbDepth(&attr);
            Sys_SetVoiceReverb(0, SYS_ALL_VOICES);
            Sys_SetVoiceReverb(1, SYS_ALL_VOICES);
            g_ucEffectType = (uint8_t)(e->uEffectWord >> 11);
        }
    }
}

void AdvanceRamp(TRACKRAMP &ramp)
{
    if (!ramp.uStepsLeft)
        return;
    ramp.iValue += ramp.iStep;
    ramp.iValue2 += ramp.iStep2;
    ramp.iValue3 += ramp.iStep3;
    ramp.uStepsLeft--;
}

void FollowEventLists()
{
    TakeUpRamp(g_TempoRamp);
    AdvanceRamp(g_TempoRamp);
    Seq_SetTempo(g_TempoRamp.iValue >> 12);
    g_uSongTempo = g_uTempo;

    TakeUpRamp(g_VolumeRamp);
    AdvanceRamp(g_VolumeRamp);
    Seq_SetMasterVolume(Seq_PercentToVolume(g_VolumeRamp.iValue >> 12, 0x3FFF));

    TakeUpRamp(g_EffectRamp);
    AdvanceRamp(g_EffectRamp);
    SOUNDATTR depth{};
    depth.uMask = 6;
    depth.uDepthLeft = depth.uDepthRight = (uint16_t)Seq_PercentToVolume(g_EffectRamp.iValue >> 12, 0x7FFF);
    Sys_SetReverbDepth(&depth);
}

// Plays each column's step and takes up the riffs starting in the row.
void PlayColumns(bool backwards)
{
    const int32_t row = (int32_t)g_uSongRow.load();
    for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++) {
        PLAYCOLUMN &pc = g_aPlayColumns[c];
        if (pc.uRiff && pc.uStepsLeft) {
            const RIFFENTRY *r = Seq_GetRiff(pc.uRiff);
            if (r && pc.ucTrack < r->ucTracks && pc.ucStep < r->ucBars * 16) {
                const int32_t note = r->puNotes[pc.ucTrack * r->ucBars * 16 + pc.ucStep];
                if (note) {
                    Seq_TriggerNote(r, note, c, 1, pc.ucStep, pc.ucTrack, -1);
                    const NOTEENTRY *n = Seq_GetNote(note);
                    Post(0x30002, (uint16_t)c, n ? n->ucLevel : 0);
                }
            }
            pc.uStepsLeft--;
            pc.ucStep = backwards ? (uint8_t)(pc.ucStep - 1) : (uint8_t)(pc.ucStep + 1);
            if (!pc.uStepsLeft)
                pc.uRiff = 0;
        }
        if (g_uStepsLeftInBar != 15)
            continue;
        int32_t track = 0, bar = 0;
        const int32_t riff = CellRiff(row, c, &track, &bar);
        if (!riff)
            continue;
        if (!backwards && bar == 0) {
            StartColumn(pc, riff, track, 0);
        } else if (backwards) {
            // Backwards each row takes up its own bar, from its last step down.
            const RIFFENTRY *r = Seq_GetRiff(riff);
            if (r) {
                pc.uRiff = (uint16_t)riff;
                pc.ucTrack = (uint8_t)track;
                pc.ucStep = (uint8_t)(bar * 16 + 15);
                pc.uStepsLeft = 16;
                pc.iLevel = r->ucStartLevel * 1024 + ((r->ucEndLevel - r->ucStartLevel) * 1024) * bar / r->ucBars;
                pc.uLevelUpdates = 0;
            }
        }
    }
}

// Row advance of song play; false when the song ended.
bool AdvanceRow(bool endAtLastRow)
{
    if (g_uStepsLeftInBar != 0) {
        g_uStepsLeftInBar--;
        return true;
    }
    if (g_uSongRow.load() >= (uint32_t)SEQ_LAST_PLACE_ROW) {
        // Song play ends here; the riff loop has nowhere further to go either.
        g_pfnSeqStep = Seq_StepIdle;
        g_bSongPlaying = 0;
        if (endAtLastRow)
            Ui_OnSongEnd();
        return false;
    }
    g_uStepsLeftInBar = 15;
    g_uSongRow++;
    Post(0x30003, 0, 255);
    return true;
}

} // namespace

void Seq_ResetPlayState()
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_uSeqTickCount = 0;
    g_iStepAccum = g_iFineAccum = g_iSubStep = g_iFineStep = 0;
    g_ucQuarterPhase = g_bStepBoundary = g_bQuarterStep = g_bInSeqTick = g_ucBeatStep = 0;
    g_ucStepCount16 = 0;
    g_sDetuneSweep = 1;
    g_sDetuneWobble = 1;
    g_bDetuneSweepDown = g_bDetuneWobbleDown = 0;
    g_uSongRow = 0;
    g_bSongPlaying = 0;
    g_uStepsLeftInBar = 15;
    g_iStepLength = g_auStepLengths[g_uTempo >= 40 && g_uTempo <= 1000 ? g_uTempo - 40 : 90];
    g_ucPreviewMode = 1;
    g_uPreviewRiff = 0;
    g_ucPreviewStep = 0;
    g_bFastForward = 0;
    g_TempoRamp = g_VolumeRamp = g_EffectRamp = TRACKRAMP{};
    std::memset(g_aPlayColumns, 0, sizeof(g_aPlayColumns));
    std::memset(g_aChannelMute, 0, sizeof(g_aChannelMute));
    std::memset(g_aucChannelEnabled, 1, sizeof(g_aucChannelEnabled));
    Seq_ClearChannels();
}

void Seq_InstallDefaultStep()
{
    g_pfnSeqStep = Seq_StepIdle;
    g_pfnSeqChannelAlloc = Seq_AllocChannel;
}

void Seq_LowerPlayRiffIds(int32_t deleted)
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    for (PLAYCOLUMN &c : g_aPlayColumns) {
        if (c.uRiff == deleted)
            c = PLAYCOLUMN{};
        else if (c.uRiff > deleted)
            c.uRiff--;
    }
    if (g_uPreviewRiff == deleted) {
        g_uPreviewRiff = 0;
        if (g_pfnSeqStep.load() == Seq_StepRiffPreview)
            g_pfnSeqStep = Seq_StepIdle;
    } else if (g_uPreviewRiff > deleted) {
        g_uPreviewRiff--;
    }
}

int32_t Seq_Tick()
{
    g_uSeqTickCount++;
    if (g_bSeqStepHooked) {
        CallStep();
        return 1;
    }
    g_bInSeqTick = 255;
    g_iStepAccum += 1024;
    g_iFineAccum += 2048;
    const int32_t length = (int32_t)g_iStepLength;
    for (int32_t fine = 0; g_iFineAccum >= length && fine < 9; fine++) {
        if (++g_iFineStep == 24)
            g_iFineStep = 0;
        g_iFineAccum -= length;
    }
    int32_t subs = 0;
    for (; g_iStepAccum >= length && subs < 9; subs++) {
        g_iStepAccum -= length;
        g_iSubStep++;
        if (++g_ucQuarterPhase == 3) {
            g_ucQuarterPhase = 0;
            g_bQuarterStep = 1;
            StepLevelRamps();
        } else {
            g_bQuarterStep = 0;
        }
        if (g_iSubStep == 12) {
            CallStep();
            g_ucBeatStep++;
            g_bStepBoundary = 1;
            g_ucStepCount16 = (uint8_t)((g_ucStepCount16 + 1) & 15);
            Post(0x30000, 0, 0);
        } else if (g_iSubStep < 24) {
            g_bStepBoundary = 0;
            if (g_bJamActive)
                CallStep();
        } else {
            CallStep();
            g_iSubStep = 0;
            g_bStepBoundary = 1;
            g_ucStepCount16 = (uint8_t)((g_ucStepCount16 + 1) & 15);
            g_ucBeatStep++;
            Post(0x30000, 0, 255);
            if (g_ucBeatStep % 4 == 2)
                Post(0x30001, 0, 0);
            if (g_ucBeatStep % 4 == 0) {
                Post(0x30001, 0, 255);
                if (g_ucBeatStep == 8)
                    Post(0x30003, 0, 0);
                if (g_ucBeatStep >= 16)
                    g_ucBeatStep = 0;
            }
        }
        Seq_RunChannels();
    }
    if (subs == 0)
        Seq_RunChannels();
    g_bInSeqTick = 0;
    if (!g_bDetuneSweepDown) {
        if (++g_sDetuneSweep >= 2048)
            g_bDetuneSweepDown = 255;
    } else if (--g_sDetuneSweep <= 1) {
        g_bDetuneSweepDown = 0;
    }
    if (!g_bDetuneWobbleDown) {
        g_sDetuneWobble = (int16_t)(g_sDetuneWobble + 4);
        if (g_sDetuneWobble >= 13)
            g_bDetuneWobbleDown = 255;
    } else {
        g_sDetuneWobble = (int16_t)(g_sDetuneWobble - 4);
        if (g_sDetuneWobble <= 1)
            g_bDetuneWobbleDown = 0;
    }
    return 1;
}

void Seq_StepIdle()
{
    BarCountdown();
}

void Seq_StepRiffPreview()
{
    BarCountdown();
    const RIFFENTRY *r = Seq_GetRiff(g_uPreviewRiff);
    if (!r) {
        g_pfnSeqStep = Seq_StepIdle;
        return;
    }
    const int32_t steps = r->ucBars * 16;
    if (g_ucPreviewStep >= steps)
        g_ucPreviewStep = 0;
    for (int32_t t = 0; t < r->ucTracks; t++) {
        const int32_t note = r->puNotes[t * steps + g_ucPreviewStep];
        if (!note || !g_aucChannelEnabled[t])
            continue;
        Seq_TriggerNote(r, note, t, 1, g_ucPreviewStep, t, -1);
        if (const NOTEENTRY *n = Seq_GetNote(note))
            g_aiKeyLights[11 - n->ucPitch % 12] = n->ucLength * 6 + 1;
    }
    if (g_iScreen == 58 && g_ucPreviewStep % 4 == 0) {
        if (g_ucPreviewStep % 16 == 0)
            Snd_PlayInterfaceSoundAt(1, 44100, 0x2FFF);
        else
            Snd_PlayInterfaceSoundAt(1, 33075, 0x1000);
    }
    if (++g_ucPreviewStep >= steps) {
        if (g_ucPreviewMode == 2)
            g_ucPreviewStep = 0;
        else
            g_pfnSeqStep = Seq_StepIdle;
    }
}

void Seq_StepSong()
{
    if (!AdvanceRow(true))
        return;
    if (!g_bFastForward)
        FollowEventLists();
    PlayColumns(false);
}

void Seq_StepSongRiffLoop()
{
    if (!AdvanceRow(false))
        return;
    if (!g_bFastForward)
        FollowEventLists();
    PlayColumns(false);
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    g_ucPreviewStep++;
    if (!r || g_ucPreviewStep >= r->ucBars * 16) {
        if (r && g_ucPreviewMode == 2)
            g_ucPreviewStep = 0;
        else
            g_pfnSeqStep = Seq_StepIdle;
    }
}

void Seq_StepReverse()
{
    // A row lasts 16 calls as forwards; each column plays its riff's bar at the row backwards.
    if (g_uStepsLeftInBar == 0) {
        g_uStepsLeftInBar = 15;
        if (g_uSongRow.load() > 0) {
            g_uSongRow--;
            Post(0x30003, 0, 255);
        }
    } else {
        g_uStepsLeftInBar--;
    }
    PlayColumns(true);
}

void Seq_StartSongAt(int32_t row, int32_t mode)
{
    Sys_KeyVoices(0, SYS_ALL_VOICES);
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Seq_CountUsedRows();
    row = row < 0 ? 0 : row > SEQ_LAST_PLACE_ROW ? SEQ_LAST_PLACE_ROW : row;
    std::memset(g_aPlayColumns, 0, sizeof(g_aPlayColumns));
    for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++) {
        int32_t track = 0, bar = 0;
        const int32_t riff = CellRiff(row, c, &track, &bar);
        if (riff)
            StartColumn(g_aPlayColumns[c], riff, track, bar);
    }
    g_pfnSeqStep = mode == 1 ? Seq_StepSong : Seq_StepSongRiffLoop;
    g_uSongRow = (uint32_t)row;
    g_uStepsLeftInBar = 15;
    g_bSongPlaying = 255;
    g_iStepAccum = g_iFineAccum = g_iFineStep = g_iSubStep = 0;
    g_ucQuarterPhase = 0;
    g_bFastForward = 0;
    g_ucStepCount16 = 0;
    g_ucBeatStep = 0;
    Seq_GetRampState(row, &g_TempoRamp, LIST_TEMPO);
    Seq_GetRampState(row, &g_VolumeRamp, LIST_VOLUME);
    Seq_GetRampState(row, &g_EffectRamp, LIST_EFFECT);
    if (!g_pTempoList)
        g_TempoRamp.iValue = g_uTempo * 4096;
    if (!g_pVolumeList)
        g_VolumeRamp.iValue = g_ucMasterVolume * 4096;
    Seq_SetMasterVolume(Seq_PercentToVolume(g_VolumeRamp.iValue >> 12, 0x3FFF));
    Seq_SetTempo(g_TempoRamp.iValue >> 12);
    g_uSongTempo = g_uTempo;
    Post(0x30003, 0, 255);
}

void Seq_PlaySongFrom(uint32_t row)
{
    Seq_StartClock();
    if (g_bSeqStepHooked)
        return;
    Seq_StartSongAt((int32_t)row, 1);
    g_bSongPlaying = 255;
}

void Seq_PauseSong()
{
    if (g_bSeqStepHooked)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_bSongPlaying = 0;
    g_pfnSeqStep = Seq_StepIdle;
}

void Seq_StopSong()
{
    if (g_bSeqStepHooked)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Seq_StopCueing();
    g_bSongPlaying = 0;
    g_pfnSeqStep = Seq_StepIdle;
    std::memset(g_aPlayColumns, 0, sizeof(g_aPlayColumns));
    Seq_ClearChannels();
    Sys_KeyVoices(0, SYS_ALL_VOICES);
}

void Seq_StartFastForward()
{
    if (g_bSeqStepHooked || g_bFastForward)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_pfnSeqStep = Seq_StepSong;
    Seq_SetTempo(999);
    g_bFastForward = 1;
}

void Seq_StartReverseCue()
{
    if (g_bSeqStepHooked)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_pfnSeqStep = Seq_StepReverse;
    g_uStepsLeftInBar = 15;
}

void Seq_StopCueing()
{
    if (g_bSeqStepHooked)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_bFastForward = 0;
    g_usTuning = 1872;
    Seq_SetTempo((int32_t)g_uSongTempo);
    if (g_pfnSeqStep.load() == Seq_StepReverse)
        g_pfnSeqStep = Seq_StepSong;
    g_iStepAccum = 0;
    g_iFineAccum = 0;
}

void Seq_PlayRiffPreview(int32_t riff, int32_t mode)
{
    const RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_uPreviewRiff = (uint16_t)riff;
    g_ucPreviewStep = 0;
    g_ucPreviewMode = (uint8_t)mode;
    for (int32_t t = 0; t < r->ucTracks; t++)
        StartColumn(g_aPlayColumns[t], riff, t, 0);
    for (int32_t t = 0; t < r->ucTracks; t++)
        g_aPlayColumns[t].uRiff = 0; // the preview step plays the notes; the columns keep levels
    g_pfnSeqStep = Seq_StepRiffPreview;
    g_bSongPlaying = 254;
}

void Seq_StopRiffPreview()
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_pfnSeqStep = Seq_StepIdle;
    g_ucPreviewMode = 3;
    g_bSongPlaying = 0;
    Seq_ClearChannels();
    Sys_KeyVoices(0, SYS_ALL_VOICES);
}
