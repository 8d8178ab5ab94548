// The undo log: one buffer of typed u16-word records written downwards, grouped into steps by
// marker records. Records that name a riff or a note hold a use or a reference of it, so nothing
// the log can bring back is ever freed while the log names it:
//   type 2 (riff use)   two uses while on the done side, one on the redo side;
//   type 3 (note ref)   one reference for its whole life;
//   type 5 (note cell)  one reference on its note (when not 0) for its whole life.
// Dropping records (overflow, a new edit after an undo, clearing) gives back what they hold, but
// only at a safe point between edits: a release frees notes and renumbers ids, which an edit in
// progress still holds in locals.
#pragma once

#include <cstdint>
#include <vector>

constexpr int32_t SEQ_UNDO_LOG_BYTES = 1186812;

extern uint16_t *g_pUndoLog;   // null: no log, nothing is recorded
extern int32_t g_iUndoWritePos; // W: done records are [W, end), the most recent at W
extern int32_t g_iUndoRedoPos;  // R: undone records are [R, W)

// The buffer size the next allocation takes (tests use small ones); frees the current log.
void Seq_SetUndoLogSize(int32_t bytes);
int32_t Seq_UndoLogSize();
// Counts every record written (tests tell a recorded edit from one that recorded nothing).
uint32_t Seq_UndoRecordSerial();

void Seq_AllocUndoLog();
void Seq_FreeUndoLog();
void Seq_EnsureUndoLog();
bool Seq_HasUndoLog();
void Seq_CloseUndoStep();
void Seq_UndoLastStep();
void Seq_RedoLastStep();
void Seq_DiscardRedo();
void Seq_ClearUndo();
// True when a step can be undone / redone.
bool Seq_CanUndo();
bool Seq_CanRedo();
// Steps the log can undo and redo (an open step counts as one).
void Seq_UndoCountSteps(int32_t *pDone, int32_t *pRedo);

// Dense-id renumbering after a note or riff was freed.
void Seq_UndoLowerNoteIds(int32_t note);
void Seq_UndoLowerRiffIds(int32_t riff);
// Kind 1: riff uses the records of riff `id` hold; kind 0: note references of note `id`.
int32_t Seq_UndoCountHolds(int32_t id, int32_t kind);
inline int32_t Seq_UndoCountHolds(int32_t riff) { return Seq_UndoCountHolds(riff, 1); }
inline int32_t Seq_UndoNoteHolds(int32_t note) { return Seq_UndoCountHolds(note, 0); }
// Every hold at once, indexed by id (the vectors are resized to the id counts + 1).
void Seq_UndoCollectHolds(std::vector<int32_t> &riffUses, std::vector<int32_t> &noteRefs);
// Offset of the first record naming a riff or note that is not there (or of damage), -1 none.
int32_t Seq_UndoFindDangling();
// True when a record names the riff (before it is deleted outright the log must go).
bool Seq_UndoNamesRiff(int32_t riff);

// Record writers. Kind 1 = a riff was placed here (old 0), 0 = the riff here was removed (old =
// its first cell).
void Seq_UndoRecordCell(int32_t row, int32_t column, uint16_t oldCell, int32_t riff, int32_t kind);
// A recorded release of one use (Seq_ReleaseRiff mode 0): takes two uses of the riff.
void Seq_UndoRecordRiffUse(int32_t riff, int32_t mode, int32_t kind);
// Takes one reference of the note.
void Seq_UndoRecordNoteRef(int32_t note, int32_t count);
// Nine words as the instrument load passes them: the kind word first, the slot last.
void Seq_UndoRecordInstrument(const uint16_t words[9]);
// A riff's type (its icon) changed from oldType to newType. Holds no use of the riff.
void Seq_UndoRecordRiffType(int32_t riff, int32_t oldType, int32_t newType);
// Kind 0: the cell held `note` and was cleared; kind 1: `note` was written into the empty cell.
void Seq_UndoRecordRiffNote(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t kind);
