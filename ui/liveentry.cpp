#include "ui/liveentry.h"

#include "app/calllog.h"
#include "core/consolelib.h"
#include "core/padbind.h"
#include "app/timers.h"
#include "audio/midiin.h"
#include "editors/blockselect.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/amchannels.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/menupages.h"
#include "ui/noteparams.h"
#include "ui/riffeditor.h"
#include "ui/riffpalette.h"
#include "ui/view.h"

#include <algorithm>

int32_t g_bLivePractice = 0;

namespace {

constexpr int32_t kKeyLight = 6;

void LightKey(int32_t row)
{
    if (row < 0 || row > 11)
        return;
    Sys_EnterCritical();
    g_aiKeyLights[row] = kKeyLight;
    Sys_ExitCritical();
}

// Enters (or, practising, only plays) the note of `row` at `step` on the current channel.
void EnterNote(int32_t step, int32_t row)
{
    const int32_t channel = g_ucCurrentChannel;
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (!r || channel >= r->ucTracks || !g_aucChannelEnabled[channel]) {
        Ui_PlayRefusal();
        return;
    }
    step = std::clamp<int32_t>(step, 0, r->ucBars * SEQ_STEPS_PER_BAR - 1);
    row = std::clamp<int32_t>(row, 0, 11);
    const int32_t slot = std::max<int32_t>(1, g_uNoteEditInstrument);
    const int32_t octave = std::max(0, g_ucRiffOctave - 1);
    LightKey(row);
    if (g_bLivePractice) {
        Seq_AuditionNote(step, channel, slot, octave, 11 - row);
        return;
    }
    Seq_DiscardRedo();
    if (!g_CurrentNote.ucLevel)
        g_CurrentNote.ucLevel = 255;
    Seq_SelectInstrument(slot, octave, 11 - row);
    const int32_t written = Seq_SetRiffNote(g_uCurrentRiff, step, channel, 1, 0, 1, 1);
    g_NoteEntry.ucSlot = 255;
    if (written != 1)
        return;
    g_sSelectedStep = int16_t(step);
    g_sSelectedRow = int16_t(row);
    Ui_ReselectNote();
    Ui_ClearCellBuffer();
    Seq_CloseUndoStep();
    if (Ed_IsLinkedChannel(channel)) {
        Ed_UpdateLinkedChannel(step, channel);
        Seq_CloseUndoStep();
    }
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

// A handler already there (a test's own) is kept.
void SetIfEmpty(int row, MENUHANDLER handler)
{
    if (!g_atMenuItems[row].handler)
        Ui_SetMenuItemHandler(row, handler);
}

} // namespace

void Ui_StartPractice()
{
    g_bLivePractice = 1;
    Ui_StartLiveEntry();
}

void Ui_StartLiveEntry()
{
    Sys_CallLog("Ui_StartLiveEntry");
    Snd_MidiInBegin();
    g_bMidiLivePlay = 1;
    g_ucPreviewMode = 2;
    Seq_PlayRiffPreview(0, g_uCurrentRiff);
    g_iNextScreen = 58;
    g_bContinuousEntry = 1;
    Ui_SetMenuPage(31);
    // The press that chose this must not reach the grid as a click.
    g_bGridPressHandled = 1;
    g_bGridDragStopped = 1;
}

void Ui_EndLiveEntry()
{
    Sys_CallLog("Ui_EndLiveEntry");
    g_bLivePractice = 0;
    g_bMidiLivePlay = 0;
    Snd_MidiInEnd();
    Seq_StopSong();
    Seq_StopRiffPreview();
    g_bContinuousEntry = 0;
    Ui_ReturnToEditorMenu();
}

void Ui_LiveEnterNote()
{
    const int32_t step = (g_pGridView ? g_pGridView->firstColumn : -1) + 1;
    EnterNote(step, g_sGridCursorY);
}

void Ui_LiveEntryMidiNote(int32_t note, int32_t velocity)
{
    if (note < 0)
        return;
    const int32_t octave = note / 12, semitone = note % 12;
    if (octave > 5)
        return;
    g_CurrentNote.ucLevel = uint8_t(std::clamp<int32_t>(velocity, 0, 127) * 2);
    const uint8_t page = g_ucRiffOctave;
    // The keyboard's octave is the note's own, not the editor's octave page.
    g_ucRiffOctave = uint8_t(octave + 1);
    EnterNote(Ui_GridCursorColumnRaw(), 11 - semitone);
    g_ucRiffOctave = page;
    // The next note of a chord goes to the next channel.
    Ui_NextChannel();
}

void Ui_AuditionCursorNote()
{
    const int32_t row = std::clamp<int32_t>(g_sGridCursorY, 0, 11);
    LightKey(row);
    Seq_AuditionNote(std::max<int32_t>(0, Ui_GridCursorColumnRaw()), g_ucCurrentChannel,
                     std::max<int32_t>(1, g_uNoteEditInstrument), std::max(0, g_ucRiffOctave - 1), 11 - row);
}

void Ui_AuditionEditedNote()
{
    if (g_tSelectedNote.ucState == 255)
        return;
    Seq_AuditionNoteParams(std::max<int32_t>(0, Ui_GridCursorColumnRaw()), g_ucCurrentChannel, &g_tSelectedNote);
}

void Ui_PlayRiffInSong()
{
    Sys_CallLog("Ui_PlayRiffInSong");
    if (!g_pGridView || !Seq_GetRiff(g_uCurrentRiff))
        return;
    g_pGridView->firstColumn = -1;
    g_sGridCursorX = 0;
    Ui_RefreshView(g_pGridView);
    g_iNextScreen = 4;
    Ui_SaveGridView();
    const int32_t row = g_asRiffEditorSongCell[0] + 1 + g_asRiffEditorSongCell[2];
    Seq_RestartSongAtRow(std::max(0, row));
}

int32_t Ui_AreaHasNotes()
{
    const RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (!r)
        return 0;
    const int32_t first = std::max(0, int32_t(std::min(g_asGridMark[0], g_asGridMark[2])));
    const int32_t last = std::min<int32_t>(std::max(g_asGridMark[0], g_asGridMark[2]), r->ucBars * 16 - 1);
    const int32_t top = std::max(0, int32_t(std::min(g_asGridMark[1], g_asGridMark[3])));
    const int32_t bottom = std::min<int32_t>(std::max(g_asGridMark[1], g_asGridMark[3]), 11);
    for (int32_t ch = 0; ch < r->ucTracks; ch++)
        for (int32_t s = first; s <= last; s++) {
            int32_t semitone = 0;
            if (Seq_FindNoteStart(s, ch, nullptr) < 0)
                continue;
            if (Seq_GetNoteAt(s, ch, nullptr, &semitone, nullptr, nullptr) && 11 - semitone >= top &&
                11 - semitone <= bottom)
                return 1;
        }
    return 0;
}

void Ui_InstallLiveEntryItems()
{
    SetIfEmpty(162, Ui_StartPractice);
    SetIfEmpty(131, Ui_StartLiveEntry);
    SetIfEmpty(119, Ui_PlayRiffInSong);
}
