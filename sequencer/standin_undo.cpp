// Stand-in for the undo log until it is built (see standin_undo.h).
#include "sequencer/standin_undo.h"

void Seq_UndoRecordCell(int32_t, int32_t, uint16_t, int32_t) {}
void Seq_UndoHoldRiff(int32_t, int32_t) {}
void Seq_UndoHoldNote(int32_t, int32_t) {}
void Seq_UndoRecordRiffNote(int32_t, int32_t, int32_t, uint16_t) {}
void Seq_CloseUndoStep() {}
void Seq_ClearUndo() {}
void Seq_DiscardRedo() {}
int32_t Seq_UndoCountHolds(int32_t) { return 0; }
int32_t Seq_UndoNoteHolds(int32_t) { return 0; }
void Seq_UndoLowerRiffIds(int32_t) {}
void Seq_UndoLowerNoteIds(int32_t) {}
void Seq_AllocUndoLog() {}

void Seq_FreeUndoLog() {}
