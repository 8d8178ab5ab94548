// Notes entered while the riff plays: "Realtime recording" and "Realtime Practice" (screen 58),
// notes from the MIDI keyboard, auditions, and "Play riff in song".
#pragma once

#include <cstdint>

// 1 while practising: notes are only heard, never written.
extern int32_t g_bLivePractice;

void Ui_StartPractice();
void Ui_StartLiveEntry();
void Ui_EndLiveEntry();
void Ui_LiveEnterNote();
// A note-on from the MIDI keyboard (main thread: the driver's thread only queues it).
void Ui_LiveEntryMidiNote(int32_t note, int32_t velocity);
void Ui_AuditionCursorNote();
void Ui_AuditionEditedNote();
void Ui_PlayRiffInSong();
// 1 when any cell of the marked rectangle holds a note of the riff grid.
int32_t Ui_AreaHasNotes();
void Ui_InstallLiveEntryItems();
