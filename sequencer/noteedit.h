// Riff note editing: the note editor's view of the open riff (g_uCurrentRiff), the note to enter,
// the note clipboard, the editable note image g_CurrentNote and auditions. Cell writes themselves
// are Seq_SetRiffNote / Seq_ReplaceRiffCell (songmodel.h).
#pragma once

#include <cstdint>

struct NOTEPARAMS;

// The note to enter: instrument slot (255 none pending), octave, semitone.
struct NOTEENTRYSTATE
{
    uint8_t ucSlot, ucOctave, ucSemitone;
};
extern NOTEENTRYSTATE g_NoteEntry;
// The note editor's instrument and the length of its sample (0 unknown), kept so that a note's
// sample start stays in proportion when the instrument changes.
extern uint16_t g_uNoteEditInstrument;
extern uint32_t g_uNoteEditSampleLength;
// The editor screen's octave and the tracks whose input is on (bit n = track n).
extern uint8_t g_ucNoteEditOctave;
extern uint16_t g_uNoteEditTracks;
// Set while notes are rewritten wholesale (riff resize): written notes are not auditioned.
extern uint8_t g_bNoAudition;

int32_t Seq_SetNoteLength(int32_t riff, int32_t step, int32_t track, int32_t length);
int32_t Seq_FindNoteStart(int32_t step, int32_t track, int32_t *pNote);
int32_t Seq_GetNoteAt(int32_t step, int32_t track, int32_t *pOctave, int32_t *pSemitone, int32_t *pInstrument,
                      int32_t *pCovered);
int32_t Seq_NoteRoomAt(int32_t step, int32_t track);
int32_t Seq_GetNoteLengthAt(int32_t step, int32_t track);
// Mode 0 delete, 1 cut, 2 copy the selected notes; (highest pitch << 16) | lowest pitch.
int32_t Seq_CutCopyNotes(int32_t mode);
void Seq_PasteNotes();
int32_t Seq_SelectInstrument(int32_t slot, int32_t octave, int32_t semitone);
void Seq_ReadNote(int32_t step, int32_t track, NOTEPARAMS *out);
void Seq_WriteNote(int32_t step, int32_t track, NOTEPARAMS *record);
bool Seq_ReadCurrentNote();
void Seq_AuditionNote(int32_t step, int32_t track, int32_t instrument, int32_t octave, int32_t semitone);
void Seq_AuditionNoteParams(int32_t step, int32_t track, const NOTEPARAMS *record);
// The length of a slot's sample in samples, 0 when it has none.
uint32_t Seq_InstrumentSampleLength(int32_t slot);
// Interns a note image's three lists into A, B, C; false (nothing kept) when the store is full.
bool Seq_InternNoteLists(const NOTEPARAMS &p, int32_t lists[3]);
// The new note of the pending instrument made from g_CurrentNote (one reference for the caller,
// with undo one more for the log); -1 when it cannot be stored. Clears the pending instrument.
int32_t Seq_MakePendingNote(int32_t track, const uint16_t riffFlags, int32_t noUndo);
