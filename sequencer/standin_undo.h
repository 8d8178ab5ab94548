// Stand-in for the undo log until it is built: the calls the song model makes, recording nothing
// and holding nothing. The real log takes its own riff uses and note references inside the
// Seq_UndoHold* calls and gives them back when its records are dropped.
#pragma once

#include <cstdint>

void Seq_UndoRecordCell(int32_t row, int32_t column, uint16_t oldValue, int32_t riff);
void Seq_UndoHoldRiff(int32_t riff, int32_t mode);       // type-2 record of a recorded release
void Seq_UndoHoldNote(int32_t note, int32_t count);      // note-reference record
void Seq_UndoRecordRiffNote(int32_t riff, int32_t step, int32_t track, uint16_t oldNote);
void Seq_CloseUndoStep();
void Seq_ClearUndo();
void Seq_DiscardRedo();
int32_t Seq_UndoCountHolds(int32_t riff); // riff uses held by undo records
int32_t Seq_UndoNoteHolds(int32_t note);  // note references held by undo records
void Seq_UndoLowerRiffIds(int32_t deleted);
void Seq_UndoLowerNoteIds(int32_t deleted);
void Seq_AllocUndoLog();
void Seq_FreeUndoLog();
