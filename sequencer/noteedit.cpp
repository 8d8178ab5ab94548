// Riff note editing: writing and clearing notes in riff cells, lengths, the note clipboard, the
// editable note image and auditions.
#include "sequencer/noteedit.h"

#include <cstring>
#include <mutex>

#include "core/mixlock.h"
#include "sequencer/channels.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/samples.h"
#include "sequencer/undo.h"

NOTEENTRYSTATE g_NoteEntry = {255, 0, 0};
uint16_t g_uNoteEditInstrument;
uint32_t g_uNoteEditSampleLength;
uint8_t g_ucNoteEditOctave = 3;
uint16_t g_uNoteEditTracks = 0x0FFF;
uint8_t g_bNoAudition;

namespace {

RIFFENTRY *CurrentRiff()
{
    return Seq_GetRiff(g_uCurrentRiff);
}

bool InRiff(const RIFFENTRY *r, int32_t step, int32_t track)
{
    return r && step >= 0 && track >= 0 && track < r->ucTracks && step < r->ucBars * SEQ_STEPS_PER_BAR;
}

// Sample start kept in proportion to the new sample's length.
void RescaleSampleStart(uint32_t newLength)
{
    if (g_uNoteEditSampleLength && newLength) {
        const uint32_t old = g_CurrentNote.uSampleStart;
        uint32_t scaled = (uint32_t)((double)old * (double)newLength / (double)g_uNoteEditSampleLength);
        if (scaled + 1 >= old && scaled <= old + 1)
            scaled = old + 1;
        g_CurrentNote.uSampleStart = scaled;
        g_uNoteEditSampleLength = newLength;
    } else {
        g_CurrentNote.uSampleStart = 1;
        g_uNoteEditSampleLength = 1;
    }
}

// A list's values into an array of at most `max`; its count.
uint8_t ReadList(int32_t id, uint16_t *values, int32_t max, uint8_t *pA, uint8_t *pB)
{
    uint32_t bytes = 0;
    const uint8_t *p = Seq_GetParamList(id, &bytes);
    if (!p)
        return 0;
    const int32_t n = p[0] < max ? p[0] : max;
    for (int32_t k = 0; k < n; k++)
        values[k] = (uint16_t)(p[1 + 2 * k] | p[2 + 2 * k] << 8);
    if (pA)
        *pA = p[1 + 2 * p[0]];
    if (pB)
        *pB = p[2 + 2 * p[0]];
    return (uint8_t)n;
}

void Audition(const RIFFENTRY *r, int32_t note, int32_t channel, int32_t mode, int32_t step, int32_t track)
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_aPlayColumns[0].iLevel = 256 << 10;
    Seq_TriggerNote(r, note, channel, mode, step, track, -1);
}

// Releases three list references (those of a note that was found, not made).
void ReleaseLists(const int32_t lists[3])
{
    for (int32_t i = 0; i < 3; i++)
        Seq_ReleaseParamList(lists[i]);
}

} // namespace

uint32_t Seq_InstrumentSampleLength(int32_t slot)
{
    if (slot < 1 || slot >= SEQ_INSTRUMENT_SLOTS || Seq_InstrumentSlotFree(slot))
        return 0;
    const int32_t record = Seq_FindSampleRecord(slot);
    return record > 0 && record < SEQ_MAX_SAMPLES ? g_aSamples[record].uLength : 0;
}

bool Seq_InternNoteLists(const NOTEPARAMS &p, int32_t lists[3])
{
    lists[0] = Seq_AddParamList(p.ucCountA <= 66 ? p.ucCountA : 66, p.auValuesA, p.ucAOfA, 0);
    lists[1] = lists[0] < 0 ? -1 : Seq_AddParamList(p.ucCountB <= 64 ? p.ucCountB : 64, p.auValuesB, p.ucAOfB, 0);
    lists[2] = lists[1] < 0 ? -1
                            : Seq_AddParamList(p.ucCountC <= 64 ? p.ucCountC : 64, p.auValuesC, p.ucAOfC, p.ucBOfC);
    if (lists[2] >= 0)
        return true;
    for (int32_t i = 0; i < 3; i++)
        if (lists[i] >= 0)
            Seq_ReleaseParamList(lists[i]);
    return false;
}

int32_t Seq_MakePendingNote(int32_t track, const uint16_t riffFlags, int32_t noUndo)
{
    const NOTEENTRYSTATE entry = g_NoteEntry;
    g_NoteEntry.ucSlot = 255;
    RescaleSampleStart(Seq_InstrumentSampleLength(entry.ucSlot));
    int32_t lists[3];
    if (!Seq_InternNoteLists(g_CurrentNote, lists))
        return -1;
    uint8_t flags = g_CurrentNote.ucFlags;
    if ((flags & NOTE_FLAG_SECOND_OF_PAIR) && (track == 0 || !((riffFlags >> (track - 1)) & 1)))
        flags &= (uint8_t)~NOTE_FLAG_SECOND_OF_PAIR;
    const uint16_t before = g_uNoteCount;
    const int32_t id =
        Seq_FindOrAddNote(entry.ucSlot, entry.ucOctave, entry.ucSemitone, 1, g_CurrentNote.ucLevel, flags,
                          g_CurrentNote.ucSetting1, g_CurrentNote.ucSetting2, g_CurrentNote.ucSetting3,
                          g_CurrentNote.uSampleStart, lists[0], lists[1], lists[2], g_CurrentNote.ucSetting4,
                          g_CurrentNote.ucSetting5, g_CurrentNote.ucDisc, noUndo);
    if (!(id > 0 && g_uNoteCount == before + 1 && id == g_uNoteCount))
        ReleaseLists(lists);
    return id;
}

int32_t Seq_SetRiffNote(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t noUndo, int32_t audition,
                        int32_t cursor)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!InRiff(r, step, track))
        return 0;
    const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
    const bool fromPending = note > 0 && g_NoteEntry.ucSlot != 255;
    int32_t id = note < 0 ? -note : note;
    if (note < 0) {
        const NOTEENTRY *n = Seq_GetNote(id);
        if (!n || step + n->ucLength > steps)
            return 0;
        g_NoteEntry.ucSlot = 255;
    } else if (fromPending) {
        if (Seq_InstrumentSlotFree(g_NoteEntry.ucSlot)) {
            Seq_PlayInterfaceSound(1);
            return 0;
        }
    } else if (note > 0 && !Seq_GetNote(id)) {
        return 0;
    }
    // A note before the step that still sounds there refuses it.
    for (int32_t s = step - 1; s >= 0; s--) {
        const int32_t prev = *Seq_RiffCell(r, s, track);
        if (!prev)
            continue;
        if (s + Seq_GetNote(prev)->ucLength > step)
            return 0;
        break;
    }

    if (note == 0) {
        const int32_t old = *Seq_RiffCell(r, step, track);
        if (!old)
            return 1;
        if (!noUndo)
            Seq_UndoRecordRiffNote(riff, step, track, old, 0);
        *Seq_RiffCell(r, step, track) = 0;
        return Seq_DeleteNote(old, noUndo, 0) ? 2 : 1;
    }

    // The old note of the cell goes first.
    const int32_t old = *Seq_RiffCell(r, step, track);
    if (old && old != id) {
        if (!noUndo)
            Seq_UndoRecordRiffNote(riff, step, track, old, 0);
        *Seq_RiffCell(Seq_GetRiff(riff), step, track) = 0;
        if (Seq_DeleteNote(old, noUndo, 1) && !fromPending && old < id)
            id--; // the caller's note moved down with the freed one
    }
    if (fromPending) {
        id = Seq_MakePendingNote(track, Seq_GetRiff(riff)->uFlags, noUndo);
        if (id < 0)
            return 0; // store full: the cell stays empty
    }
    r = Seq_GetRiff(riff);
    const int32_t length = Seq_GetNote(id)->ucLength;
    for (int32_t s = step + 1; s < step + length && s < steps; s++) {
        r = Seq_GetRiff(riff);
        const int32_t later = *Seq_RiffCell(r, s, track);
        if (!later)
            continue;
        if (!noUndo)
            Seq_UndoRecordRiffNote(riff, s, track, later, 0);
        *Seq_RiffCell(r, s, track) = 0;
        if (Seq_DeleteNote(later, noUndo, 0) && later < id)
            id--;
    }
    r = Seq_GetRiff(riff);
    uint16_t &cell = *Seq_RiffCell(r, step, track);
    const bool same = cell == id;
    cell = (uint16_t)id;
    if (audition == 1 && cursor == 1)
        r->uCursor = (uint16_t)((step + 1) * 256 + track + 1);
    if (Seq_GetNote(id)->ucFlags & NOTE_FLAG_JOINED)
        r->uFlags |= (uint16_t)(1u << track);
    if (same) {
        // The same note again: the reference handed over is one too many.
        Seq_DeleteNote(id, 1, 0);
    } else if (!noUndo) {
        Seq_UndoRecordRiffNote(riff, step, track, id, 1);
    }
    if (audition == 1 && !g_bNoAudition)
        Audition(Seq_GetRiff(riff), id, 0, 5, step, track);
    return 1;
}

int32_t Seq_SetNoteLength(int32_t riff, int32_t step, int32_t track, int32_t length)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!InRiff(r, step, track) || length < 1 || length > 255)
        return 0;
    const int32_t note = *Seq_RiffCell(r, step, track);
    if (!note)
        return 0;
    const int32_t id = Seq_CopyNoteWith(note, -1, length, -1, -1, 0);
    if (id < 0)
        return 0;
    if (Seq_SetRiffNote(riff, step, track, -id, 0, 1, 1))
        return 1;
    Seq_DeleteNote(id, 0, 0);
    return 0;
}

int32_t Seq_FindNoteStart(int32_t step, int32_t track, int32_t *pNote)
{
    RIFFENTRY *r = CurrentRiff();
    if (pNote)
        *pNote = 0;
    if (!InRiff(r, step, track))
        return -1;
    for (int32_t s = step; s >= 0; s--) {
        const int32_t note = *Seq_RiffCell(r, s, track);
        if (!note)
            continue;
        if (pNote && (s == step || s + Seq_GetNote(note)->ucLength > step))
            *pNote = note;
        return s;
    }
    return -1;
}

int32_t Seq_GetNoteAt(int32_t step, int32_t track, int32_t *pOctave, int32_t *pSemitone, int32_t *pInstrument,
                      int32_t *pCovered)
{
    RIFFENTRY *r = CurrentRiff();
    if (pCovered)
        *pCovered = 0;
    if (!InRiff(r, step, track))
        return 0;
    int32_t note = *Seq_RiffCell(r, step, track);
    if (!note && pCovered) {
        Seq_FindNoteStart(step, track, &note);
        if (note)
            *pCovered = 1;
    }
    const NOTEENTRY *n = Seq_GetNote(note);
    if (!n)
        return 0;
    if (pOctave)
        *pOctave = n->ucPitch / 12;
    if (pSemitone)
        *pSemitone = n->ucPitch % 12;
    if (pInstrument)
        *pInstrument = n->uInstrument;
    return note;
}

int32_t Seq_NoteRoomAt(int32_t step, int32_t track)
{
    RIFFENTRY *r = CurrentRiff();
    if (!InRiff(r, step, track))
        return 0;
    const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
    int32_t s = step + 1;
    while (s < steps && !*Seq_RiffCell(r, s, track))
        s++;
    return s - step;
}

int32_t Seq_GetNoteLengthAt(int32_t step, int32_t track)
{
    RIFFENTRY *r = CurrentRiff();
    if (!InRiff(r, step, track))
        return 0;
    const NOTEENTRY *n = Seq_GetNote(*Seq_RiffCell(r, step, track));
    return n ? n->ucLength : 0;
}

namespace {

// Gives back what the clipboard holds (two references a note when cut, one when copied).
void EmptyClipboard()
{
    const bool cut = g_NoteClipboard.ucColour == 1;
    for (int32_t i = 0; i < SEQ_CLIPBOARD_CELLS; i++) {
        const int32_t id = g_NoteClipboard.puNotes[i];
        if (!id)
            continue;
        g_NoteClipboard.puNotes[i] = 0;
        if (cut)
            Seq_ReleaseNoteRef(id);
        Seq_DeleteNote(id, 1, 0);
    }
}

} // namespace

int32_t Seq_CutCopyNotes(int32_t mode)
{
    const int32_t riff = g_uCurrentRiff;
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || !g_NoteClipboard.puNotes)
        return 255;
    const SEQSELECTION sel = g_Selection;
    const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
    const int32_t first = sel.x < 0 ? 0 : sel.x, last = sel.a >= steps ? steps - 1 : sel.a;
    const int32_t rowLength = ((last - first + 1 + 15) / 16) * 16;
    if (mode == 1 || mode == 2) {
        EmptyClipboard();
        std::memset(g_NoteClipboard.puNotes, 0, SEQ_CLIPBOARD_CELLS * sizeof(uint16_t));
        g_NoteClipboard.ucColour = (uint8_t)mode;
    }
    int32_t low = 255, high = 0;
    bool copied = false;
    for (int32_t t = 0; t < r->ucTracks; t++) {
        if (!((g_uNoteEditTracks >> t) & 1))
            continue;
        for (int32_t s = first; s <= last && last - first < 8 * SEQ_STEPS_PER_BAR; s++) {
            const int32_t note = *Seq_RiffCell(Seq_GetRiff(riff), s, t);
            const NOTEENTRY *n = Seq_GetNote(note);
            if (!n)
                continue;
            const int32_t row = 11 - n->ucPitch % 12;
            if (row < sel.y || row > sel.b)
                continue;
            low = n->ucPitch < low ? n->ucPitch : low;
            high = n->ucPitch > high ? n->ucPitch : high;
            if (mode == 1 || mode == 2) {
                g_NoteClipboard.puNotes[t * rowLength + (s - first)] = (uint16_t)note;
                Seq_AddNoteRef(note);
                if (mode == 1)
                    Seq_AddNoteRef(note);
                copied = true;
            }
            if (mode == 0 || mode == 1)
                Seq_SetRiffNote(riff, s, t, 0, 0, 0, 0);
        }
    }
    if (mode == 1 || mode == 2) {
        g_NoteClipboard.ucBars = (uint8_t)(copied ? rowLength / SEQ_STEPS_PER_BAR : 0);
        g_NoteClipboard.ucTracks = (uint8_t)(copied ? Seq_GetRiff(riff)->ucTracks : 0);
        g_NoteClipboard.ucByte2 = (uint8_t)(g_ucNoteEditOctave * 12 + 11 - sel.y);
    }
    Seq_CloseUndoStep();
    return high << 16 | low;
}

void Seq_PasteNotes()
{
    Seq_DiscardRedo();
    const int32_t riff = g_uCurrentRiff;
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || !g_NoteClipboard.puNotes || !g_NoteClipboard.ucBars)
        return;
    const SEQSELECTION sel = g_Selection;
    const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
    // The clipboard's rows are as long as the copy made them, whatever the selection is now.
    const int32_t stride = g_NoteClipboard.ucBars * SEQ_STEPS_PER_BAR;
    const int32_t shift = (g_ucNoteEditOctave * 12 + 11 - sel.y) - g_NoteClipboard.ucByte2;
    const int32_t first = sel.x < 0 ? 0 : sel.x;
    for (int32_t t = 0; t < r->ucTracks && t < g_NoteClipboard.ucTracks; t++) {
        if (!((g_uNoteEditTracks >> t) & 1))
            continue;
        for (int32_t s = first; s <= sel.a && s < steps && s - first < stride; s++) {
            const int32_t clip = g_NoteClipboard.puNotes[t * stride + (s - first)];
            const NOTEENTRY *n = Seq_GetNote(clip);
            if (!n)
                continue;
            int32_t pitch = n->ucPitch + shift;
            while (pitch < 0)
                pitch += 12;
            while (pitch > 119)
                pitch -= 12;
            g_NoteEntry.ucSlot = 255;
            const int32_t id = Seq_CopyNoteWith(clip, pitch, -1, -1, -1, 1);
            if (id < 0)
                continue;
            if (!Seq_SetRiffNote(riff, s, t, -id, 0, 1, 0))
                Seq_DeleteNote(id, 1, 0);
        }
    }
    Seq_CloseUndoStep();
}

int32_t Seq_SelectInstrument(int32_t slot, int32_t octave, int32_t semitone)
{
    const uint32_t length = Seq_InstrumentSampleLength(slot);
    if (slot != g_uNoteEditInstrument) {
        g_uNoteEditSampleLength = length;
        g_CurrentNote.uSampleEndLimit = length >= 2 ? length - 2 : 1;
        g_CurrentNote.uSampleStart = 0;
        g_uNoteEditInstrument = (uint16_t)slot;
    }
    g_NoteEntry = NOTEENTRYSTATE{(uint8_t)slot, (uint8_t)octave, (uint8_t)semitone};
    return 1;
}

void Seq_ReadNote(int32_t step, int32_t track, NOTEPARAMS *out)
{
    if (!out)
        return;
    int32_t note = 0;
    Seq_FindNoteStart(step, track, &note);
    const NOTEENTRY *n = Seq_GetNote(note);
    if (!n) {
        out->ucState = 255;
        out->uSampleEndLimit = 1;
        return;
    }
    if (Seq_InstrumentSlotFree(n->uInstrument)) {
        std::memset(out, 0, sizeof(*out));
        out->ucState = 255;
        return;
    }
    out->ucState = 0;
    out->ucSetting1 = n->ucSetting1;
    out->ucSetting2 = n->ucSetting2;
    out->ucSetting3 = n->ucSetting3;
    out->ucSetting4 = n->ucSetting4;
    out->ucSetting5 = n->ucSetting5;
    if (out != &g_CurrentNote)
        out->ucLevel = n->ucLevel;
    out->ucFlags = n->ucFlags;
    out->ucDisc = n->ucDisc;
    out->uSampleStart = n->uSampleStart;
    out->ucCountA = ReadList(n->uListA, out->auValuesA, 66, &out->ucAOfA, nullptr);
    out->ucCountB = ReadList(n->uListB, out->auValuesB, 64, &out->ucAOfB, nullptr);
    out->ucCountC = ReadList(n->uListC, out->auValuesC, 64, &out->ucAOfC, &out->ucBOfC);
    const uint32_t length = Seq_InstrumentSampleLength(n->uInstrument);
    if (n->uInstrument != g_uNoteEditInstrument) {
        RescaleSampleStart(length);
        g_uNoteEditInstrument = n->uInstrument;
    }
    out->uSampleEndLimit = length >= 2 ? length - 2 : 1;
    if (out->uSampleStart > out->uSampleEndLimit)
        out->uSampleStart = 0;
}

void Seq_WriteNote(int32_t step, int32_t track, NOTEPARAMS *record)
{
    if (!record)
        return;
    int32_t note = 0;
    const int32_t start = Seq_FindNoteStart(step, track, &note);
    const NOTEENTRY *n = Seq_GetNote(note);
    if (!n) {
        record->ucState = 255;
        return;
    }
    if (Seq_InstrumentSlotFree(n->uInstrument)) {
        std::memset(record, 0, sizeof(*record));
        record->ucState = 255;
        return;
    }
    const NOTEENTRY old = *n;
    int32_t lists[3];
    int32_t id = -1;
    if (Seq_InternNoteLists(*record, lists)) {
        const uint16_t before = g_uNoteCount;
        id = Seq_FindOrAddNote(old.uInstrument, old.ucPitch / 12, old.ucPitch % 12, old.ucLength, record->ucLevel,
                               record->ucFlags, record->ucSetting1, record->ucSetting2, record->ucSetting3,
                               record->uSampleStart, lists[0], lists[1], lists[2], record->ucSetting4,
                               record->ucSetting5, record->ucDisc, 0);
        if (!(id > 0 && g_uNoteCount == before + 1 && id == g_uNoteCount))
            ReleaseLists(lists);
    }
    const uint8_t level = g_CurrentNote.ucLevel;
    if (record != &g_CurrentNote)
        g_CurrentNote = *record;
    if (record->ucFlags & NOTE_FLAG_SECOND_OF_PAIR)
        g_CurrentNote.ucLevel = level;
    g_CurrentNote.ucFlags &= (uint8_t)~(NOTE_FLAG_JOINED | NOTE_FLAG_SECOND_OF_PAIR);
    if (id > 0)
        Seq_ReplaceRiffCell(g_uCurrentRiff, start, track, id, 0);
}

bool Seq_ReadCurrentNote()
{
    RIFFENTRY *r = CurrentRiff();
    int32_t step = -1, track = -1;
    if (r && r->uCursor) {
        const int32_t s = (r->uCursor >> 8) - 1, t = (r->uCursor & 0xFF) - 1;
        if (InRiff(r, s, t) && *Seq_RiffCell(r, s, t)) {
            step = s;
            track = t;
        }
    }
    if (r && step < 0) {
        const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
        for (int32_t i = 0; i < steps * r->ucTracks && step < 0; i++)
            if (r->puNotes[i]) {
                track = i / steps;
                step = i % steps;
            }
    }
    if (step < 0) {
        g_CurrentNote = g_DefaultNote;
        return false;
    }
    Seq_ReadNote(step, track, &g_CurrentNote);
    return true;
}

void Seq_AuditionNote(int32_t step, int32_t track, int32_t instrument, int32_t octave, int32_t semitone)
{
    RIFFENTRY *r = CurrentRiff();
    if (!InRiff(r, step, track) || instrument < 1 || instrument >= SEQ_INSTRUMENT_SLOTS)
        return;
    int32_t lists[3];
    if (!Seq_InternNoteLists(g_CurrentNote, lists))
        return;
    // A note record of its own: nothing is stored in the note pool.
    NOTEENTRY n{};
    n.uInstrument = (uint16_t)instrument;
    n.ucPitch = (uint8_t)(octave * 12 + semitone);
    n.ucLength = 1;
    n.ucLevel = g_CurrentNote.ucLevel;
    n.ucFlags = g_CurrentNote.ucFlags;
    n.ucSetting1 = g_CurrentNote.ucSetting1;
    n.ucSetting2 = g_CurrentNote.ucSetting2;
    n.ucSetting3 = g_CurrentNote.ucSetting3;
    n.ucSetting4 = g_CurrentNote.ucSetting4;
    n.ucSetting5 = g_CurrentNote.ucSetting5;
    n.uSampleStart = g_CurrentNote.uSampleStart;
    n.uListA = (uint16_t)lists[0];
    n.uListB = (uint16_t)lists[1];
    n.uListC = (uint16_t)lists[2];
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        g_aPlayColumns[0].iLevel = 256 << 10;
        Seq_TriggerNote(r, &n, track, 1, step, track, -1);
    }
    ReleaseLists(lists);
}

void Seq_AuditionNoteParams(int32_t step, int32_t track, const NOTEPARAMS *record)
{
    RIFFENTRY *r = CurrentRiff();
    if (!record || !InRiff(r, step, track))
        return;
    const NOTEENTRY *cell = Seq_GetNote(*Seq_RiffCell(r, step, track));
    if (!cell)
        return;
    int32_t lists[3];
    if (!Seq_InternNoteLists(*record, lists))
        return;
    // The sounding note keeps its lists in the second cache triple until the next audition.
    for (int32_t i = 3; i < 6; i++)
        if (g_aiCachedLists[i] >= 0) {
            Seq_ReleaseParamList(g_aiCachedLists[i]);
            g_aiCachedLists[i] = -1;
        }
    for (int32_t i = 0; i < 3; i++)
        g_aiCachedLists[3 + i] = lists[i];
    NOTEENTRY n = *cell;
    n.ucLevel = record->ucLevel;
    n.ucFlags = record->ucFlags;
    n.ucSetting1 = record->ucSetting1;
    n.ucSetting2 = record->ucSetting2;
    n.ucSetting3 = record->ucSetting3;
    n.ucSetting4 = record->ucSetting4;
    n.ucSetting5 = record->ucSetting5;
    n.uSampleStart = record->uSampleStart;
    n.uListA = (uint16_t)lists[0];
    n.uListB = (uint16_t)lists[1];
    n.uListC = (uint16_t)lists[2];
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_aPlayColumns[0].iLevel = 256 << 10;
    Seq_TriggerNote(r, &n, 0, 5, step, track, -1);
}
