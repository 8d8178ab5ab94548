// Riff settings and whole-riff operations: levels, names, keys, transposition through link rings,
// resize, joined tracks, duplicates and the clean-up of riffs nothing holds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/mixlock.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"

namespace {

const char *const kKeySuffix[13] = {"", " C", " C#", " D", " Eb", " E", " F", " F#", " G", " G#", " A", " Bb", " B"};

int32_t ToLevel(int32_t percent)
{
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    return (percent * 255 + 99) / 100;
}

// Every top-left cell of a riff, in row order.
std::vector<std::pair<int32_t, int32_t>> Placements(int32_t riff)
{
    std::vector<std::pair<int32_t, int32_t>> out;
    for (int32_t row = 0; row < SEQ_GRID_ROWS; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            if (g_aSongGrid[row][c] == riff)
                out.emplace_back(row, c);
    return out;
}

// A copy of a riff's head and notes as a new riff of another size (notes outside are left out),
// with a reference taken on every note kept. Id or -1.
int32_t CopyRiff(int32_t source, int32_t bars, int32_t tracks)
{
    const int32_t copy = Seq_NewRiff(bars, tracks);
    if (copy < 0)
        return -1;
    RIFFENTRY *src = Seq_GetRiff(source);
    RIFFENTRY *dst = Seq_GetRiff(copy);
    uint16_t *notes = dst->puNotes;
    std::memcpy(dst, src, RIFF_HEAD_BYTES);
    dst->puNotes = notes;
    dst->ucBars = (uint8_t)bars;
    dst->ucTracks = (uint8_t)tracks;
    dst->iUseCount = 1;
    dst->uLink = (uint16_t)copy;
    dst->uRingCount = 1;
    dst->uFlags &= (uint16_t)~RIFF_FLAG_DELETE;
    const int32_t keepTracks = tracks < src->ucTracks ? tracks : src->ucTracks;
    const int32_t keepSteps = (bars < src->ucBars ? bars : src->ucBars) * SEQ_STEPS_PER_BAR;
    for (int32_t t = 0; t < keepTracks; t++)
        for (int32_t s = 0; s < keepSteps; s++)
            *Seq_RiffCell(dst, s, t) = *Seq_RiffCell(src, s, t);
    Seq_AddRiffNoteRefs(copy);
    return copy;
}

// Rewrites a placement of a riff for a new track count, its first cell at (row, left).
void WritePlacement(uint16_t (*grid)[SEQ_GRID_COLUMNS], int32_t riff, int32_t row, int32_t left, int32_t bars,
                    int32_t tracks)
{
    for (int32_t b = 0; b < bars; b++)
        for (int32_t t = 0; t < tracks; t++)
            grid[row + b][left + t] = (uint16_t)(b << 13 | (t == 0 ? riff : (SEQ_CELL_CONTINUE | t)));
}

// Replaces the note at a cell by a copy without the play-on-next-channel bit.
void DropJoinBit(int32_t riff, int32_t step, int32_t track)
{
    const int32_t note = *Seq_RiffCell(Seq_GetRiff(riff), step, track);
    NOTEENTRY *n = Seq_GetNote(note);
    if (!n || !(n->ucFlags & NOTE_FLAG_JOINED))
        return;
    const int32_t id = Seq_CopyNoteWith(note, -1, -1, -1, n->ucFlags & ~NOTE_FLAG_JOINED, 1);
    if (id > 0)
        Seq_ReplaceRiffCell(riff, step, track, id, 1);
}

} // namespace

void Seq_SetRiffDefaults(int32_t riff, int32_t modeBits)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    if ((modeBits & 1) && r->ucColour == 0 && r->ucByte2 == 0 && r->ucType == 255) {
        // Slots 1..200: every slot counts, not only the first 99.
        int32_t counts[201] = {};
        const int32_t cells = r->ucBars * SEQ_STEPS_PER_BAR * r->ucTracks;
        for (int32_t i = 0; i < cells; i++)
            if (NOTEENTRY *n = Seq_GetNote(r->puNotes[i]))
                if (n->uInstrument >= 1 && n->uInstrument <= 200)
                    counts[n->uInstrument]++;
        int32_t best = 0;
        for (int32_t s = 1; s <= 200; s++)
            if (counts[s] > counts[best])
                best = s;
        if (best)
            r->ucType = Seq_InstrumentCategory(best);
    }
    if (modeBits & 2) {
        r->ucColour = (uint8_t)g_usNextRiffColour;
        g_usNextRiffColour = (uint16_t)((g_usNextRiffColour + 13) % 48);
    }
}

void Seq_SetRiffType(int32_t riff, int32_t type)
{
    if (RIFFENTRY *r = Seq_GetRiff(riff)) {
        Seq_UnlinkRiff(riff);
        r->ucType = (uint8_t)type;
        Seq_ClearRiffDeleteMark(riff);
    }
}

void Seq_SetRiffTypeWithUndo(int32_t riff, int32_t type)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    Seq_UndoRecordRiffType(riff, r->ucType, type);
    Seq_SetRiffType(riff, type);
}

void Seq_GetRiffName(int32_t riff, char out[16])
{
    if (RIFFENTRY *r = Seq_GetRiff(riff))
        std::memcpy(out, r->szName, 16);
    else
        std::memset(out, 0, 16);
}

void Seq_SetRiffName(int32_t riff, const char name[16])
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    // Copied up to its end or 15 characters, always terminated.
    std::memset(r->szName, 0, 16);
    for (int32_t i = 0; i < 15 && name && name[i]; i++)
        r->szName[i] = name[i];
    Seq_ClearRiffDeleteMark(riff);
    Seq_UnlinkRiff(riff);
}

void Seq_SetRiffKey(int32_t riff, int32_t key, int32_t mode)
{
    if (RIFFENTRY *r = Seq_GetRiff(riff)) {
        r->uKey = (uint16_t)((key & 0x3FFF) | (mode & 3) << 14);
        Seq_ClearRiffDeleteMark(riff);
        Seq_UnlinkRiff(riff);
    }
}

int32_t Seq_GetRiffKey(int32_t riff, int32_t *pMode)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (pMode)
        *pMode = r ? r->uKey >> 14 : 0;
    return r ? r->uKey & 0x3FFF : 0;
}

void Seq_SetRiffLevels(int32_t riff, int32_t startPercent, int32_t endPercent)
{
    if (RIFFENTRY *r = Seq_GetRiff(riff)) {
        r->ucStartLevel = (uint8_t)ToLevel(startPercent);
        r->ucEndLevel = (uint8_t)ToLevel(endPercent);
        Seq_ClearRiffDeleteMark(riff);
        Seq_UnlinkRiff(riff);
    }
}

void Seq_GetRiffLevels(int32_t riff, int32_t *pStart, int32_t *pEnd)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (pStart)
        *pStart = r ? r->ucStartLevel * 100 / 255 : 0;
    if (pEnd)
        *pEnd = r ? r->ucEndLevel * 100 / 255 : 0;
}

int32_t Seq_SetCellRiffLevels(int32_t row, int32_t column, int32_t startPercent, int32_t endPercent)
{
    const int32_t riff = Seq_RiffAtCell(row, column, nullptr, nullptr);
    if (!riff)
        return 0;
    Seq_SetRiffLevels(riff, startPercent, endPercent);
    return 1;
}

int32_t Seq_GetCellRiffLevels(int32_t row, int32_t column, int32_t *pStart, int32_t *pEnd)
{
    const int32_t riff = Seq_RiffAtCell(row, column, nullptr, nullptr);
    if (!riff)
        return 0;
    Seq_GetRiffLevels(riff, pStart, pEnd);
    return 1;
}

void Seq_OpenRiff(int32_t riff)
{
    if (!Seq_GetRiff(riff))
        return;
    g_uCurrentRiff = (uint16_t)riff;
    Seq_ClearRiffDeleteMark(riff);
    Seq_UnlinkRiff(riff);
}

void Seq_KeepCurrentRiff()
{
    g_uLibraryRiff = g_uCurrentRiff;
}

int32_t Seq_RiffListIndex(int32_t riff)
{
    for (int32_t i = 1; i <= g_uRiffListCount; i++)
        if (g_auRiffList[i] == riff)
            return i;
    return 1;
}

int32_t Seq_CountRiffInGrid(int32_t riff)
{
    if (riff <= 0)
        return 0;
    return (int32_t)Placements(riff).size();
}

int32_t Seq_FindRiffInGrid(int32_t riff, int32_t *pRow, int32_t *pColumn)
{
    if (riff <= 0 || !pRow || !pColumn)
        return 0;
    // Later rows start at column 0, so every placement after the given cell is found.
    for (int32_t row = *pRow < 0 ? 0 : *pRow; row < SEQ_GRID_ROWS; row++)
        for (int32_t c = row == *pRow ? (*pColumn < 0 ? 0 : *pColumn) : 0; c < SEQ_GRID_COLUMNS; c++)
            if (g_aSongGrid[row][c] == riff) {
                *pRow = row;
                *pColumn = c;
                return 1;
            }
    return 0;
}

int32_t Seq_DeleteUnusedRiffs()
{
    Seq_ClearUndo();
    int32_t count = 0;
    for (int32_t id = g_uRiffCount - 1; id >= 1; id--) {
        RIFFENTRY *r = Seq_GetRiff(id);
        if (!r || r->iUseCount != 1)
            continue;
        const bool marked = (r->uFlags & RIFF_FLAG_DELETE) != 0;
        if (Seq_ReleaseRiff(id, 0, 1) && !marked)
            count++;
    }
    return count;
}

int32_t Seq_InsertRiffTrack(int32_t mode, int32_t track)
{
    const int32_t riff = g_uCurrentRiff;
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (mode == 1)
        Seq_ClearUndo();
    if (!r || r->ucTracks >= SEQ_MAX_TRACKS || track < 0 || track >= r->ucTracks)
        return 0;
    const int32_t bars = r->ucBars, tracks = r->ucTracks;
    // Work on a copy of the grid so that placements growing toward each other are seen.
    static uint16_t s_grid[SEQ_GRID_ROWS][SEQ_GRID_COLUMNS];
    std::memcpy(s_grid, g_aSongGrid, sizeof(s_grid));
    for (auto [row, left] : Placements(riff)) {
        bool rightFree = left + tracks < SEQ_GRID_COLUMNS;
        for (int32_t b = 0; b < bars && rightFree; b++)
            rightFree = s_grid[row + b][left + tracks] == 0;
        int32_t newLeft = left;
        if (!rightFree) {
            bool leftFree = left > 0;
            for (int32_t b = 0; b < bars && leftFree; b++)
                leftFree = s_grid[row + b][left - 1] == 0;
            if (!leftFree)
                return 0;
            newLeft = left - 1;
        }
        for (int32_t b = 0; b < bars; b++)
            for (int32_t t = 0; t < tracks; t++)
                s_grid[row + b][left + t] = 0;
        WritePlacement(s_grid, riff, row, newLeft, bars, tracks + 1);
    }
    if (mode != 1)
        return 1;
    auto *notes = (uint16_t *)calloc((size_t)(bars * (tracks + 1) * SEQ_STEPS_PER_BAR), sizeof(uint16_t));
    if (!notes)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    std::memcpy(g_aSongGrid, s_grid, sizeof(s_grid));
    const int32_t steps = bars * SEQ_STEPS_PER_BAR;
    for (int32_t t = 0; t <= tracks; t++) {
        if (t == track + 1)
            continue;
        const int32_t from = t <= track ? t : t - 1;
        std::memcpy(&notes[t * steps], &r->puNotes[from * steps], sizeof(uint16_t) * (size_t)steps);
    }
    free(r->puNotes);
    r->puNotes = notes;
    r->ucTracks = (uint8_t)(tracks + 1);
    const uint16_t low = (uint16_t)(r->uFlags & ((1u << (track + 1)) - 1));
    const uint16_t high = (uint16_t)((r->uFlags & 0x0FFF) >> (track + 1) << (track + 2));
    r->uFlags = (uint16_t)((r->uFlags & 0xF000) | ((low | high | 1u << track) & 0x0FFF));
    Seq_ClearUndo();
    return 1;
}

int32_t Seq_GetRiffTrackFlag(int32_t track)
{
    RIFFENTRY *r = Seq_GetRiff(g_uCurrentRiff);
    if (!r || track < 0 || track > 11)
        return 0;
    return (r->uFlags >> track) & 1;
}

int32_t Seq_RemoveJoinedTrack(int32_t track)
{
    Seq_ClearUndo();
    const int32_t riff = g_uCurrentRiff;
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || track < 0 || track + 1 >= r->ucTracks)
        return 0;
    const int32_t bars = r->ucBars, tracks = r->ucTracks, steps = bars * SEQ_STEPS_PER_BAR;
    auto *notes = (uint16_t *)calloc((size_t)(steps * (tracks - 1)), sizeof(uint16_t));
    if (!notes)
        return 0;
    for (int32_t s = 0; s < steps; s++) {
        const int32_t gone = *Seq_RiffCell(Seq_GetRiff(riff), s, track + 1);
        if (gone) {
            *Seq_RiffCell(Seq_GetRiff(riff), s, track + 1) = 0;
            Seq_DeleteNote(gone, 1, 0);
        }
        DropJoinBit(riff, s, track);
    }
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    r = Seq_GetRiff(riff);
    for (int32_t t = 0; t < tracks - 1; t++) {
        const int32_t from = t <= track ? t : t + 1;
        std::memcpy(&notes[t * steps], &r->puNotes[from * steps], sizeof(uint16_t) * (size_t)steps);
    }
    free(r->puNotes);
    r->puNotes = notes;
    const uint16_t low = (uint16_t)(r->uFlags & ((1u << track) - 1));
    const uint16_t high = (uint16_t)((r->uFlags & 0x0FFF) >> (track + 2) << (track + 1));
    r->uFlags = (uint16_t)((r->uFlags & 0xF000) | ((low | high) & 0x0FFF));
    r->ucTracks = (uint8_t)(tracks - 1);
    for (auto [row, left] : Placements(riff)) {
        for (int32_t b = 0; b < bars; b++)
            g_aSongGrid[row + b][left + tracks - 1] = 0;
        WritePlacement(g_aSongGrid, riff, row, left, bars, tracks - 1);
    }
    Seq_ClearUndo();
    return 1;
}

int32_t Seq_ResizeRiff(int32_t riff, int32_t bars, int32_t tracks, int32_t noUndo)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return -1;
    Seq_UnlinkRiff(riff);
    if (r->ucBars == bars && r->ucTracks == tracks)
        return 1;
    if (bars < 1 || bars > SEQ_MAX_BARS || tracks < 1 || tracks > SEQ_MAX_TRACKS)
        return -1;
    const int32_t oldTracks = r->ucTracks;
    int32_t copy = CopyRiff(riff, bars, tracks);
    if (copy < 0)
        return -1;
    const int32_t steps = bars * SEQ_STEPS_PER_BAR;
    for (int32_t t = 0; t < tracks; t++)
        for (int32_t s = 0; s < steps; s++) {
            const int32_t note = *Seq_RiffCell(Seq_GetRiff(copy), s, t);
            NOTEENTRY *n = Seq_GetNote(note);
            if (!n || s + n->ucLength <= steps)
                continue;
            const int32_t id = Seq_CopyNoteWith(note, -1, steps - s, -1, -1, 1);
            if (id > 0)
                Seq_ReplaceRiffCell(copy, s, t, id, 1);
        }
    if (tracks < oldTracks) {
        RIFFENTRY *c = Seq_GetRiff(copy);
        const bool lastJoined = (c->uFlags >> (tracks - 1)) & 1;
        c->uFlags &= (uint16_t)(0xF000 | ((1u << tracks) - 1));
        if (lastJoined) {
            c->uFlags &= (uint16_t)~(1u << (tracks - 1));
            for (int32_t s = 0; s < steps; s++)
                DropJoinBit(copy, s, tracks - 1);
        }
    }
    for (auto [row, left] : Placements(riff)) {
        const uint16_t before = g_uRiffCount;
        Seq_RemoveRiffAt(row, left, noUndo);
        if (g_uRiffCount < before)
            copy--; // the old riff went; the copy, made after it, moved down
        Seq_PlaceRiff(copy, row, left, 1, noUndo);
    }
    return 1;
}

uint16_t Seq_KeyTransposition(int32_t riff, int32_t row)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 0;
    int32_t listMode = 0;
    const int32_t listKey = Seq_SongKeyAt(row, &listMode);
    const int32_t riffKey = r->uKey & 0x3FFF, riffMode = r->uKey >> 14;
    if (!listKey || !riffKey)
        return 0;
    int32_t semitones = listKey - riffKey;
    if (semitones < 0)
        semitones += 12;
    const int32_t change = listMode == riffMode ? 0 : listMode == 0 ? 1 : listMode + 1;
    return (uint16_t)(semitones | change << 14);
}

int32_t Seq_TransposeRiff(int32_t riff, int32_t semitones, int32_t modeChange)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return riff;
    const int32_t key = r->uKey & 0x3FFF, mode = r->uKey >> 14;
    if (key == 0 || key > 12)
        return riff;
    const int32_t targetMode = modeChange == 1 ? 0 : modeChange == 2 ? 1 : modeChange == 3 ? 2 : mode;
    const int32_t targetKey = ((key - 1 + semitones) % 12 + 12) % 12 + 1;
    if (targetKey == key && targetMode == mode)
        return riff; // already in that key: nothing to copy
    if (const int32_t found = Seq_FindLinkedRiff(riff, targetKey, targetMode))
        return found;
    const int32_t copy = CopyRiff(riff, r->ucBars, r->ucTracks);
    if (copy < 0)
        return riff;
    Seq_SetRiffDefaults(copy, 2);
    RIFFENTRY *c = Seq_GetRiff(copy);
    const int32_t cells = c->ucBars * SEQ_STEPS_PER_BAR;
    for (int32_t t = 0; t < c->ucTracks; t++)
        for (int32_t s = 0; s < cells; s++) {
            const int32_t note = *Seq_RiffCell(Seq_GetRiff(copy), s, t);
            NOTEENTRY *n = Seq_GetNote(note);
            if (!n)
                continue;
            int32_t pitch = n->ucPitch + semitones;
            int32_t degree = (pitch % 12) - (targetKey - 1);
            if (degree < 0)
                degree += 12;
            if (modeChange == 3 && mode == 1 && degree == 3)
                pitch--;
            else if (modeChange == 2 && mode == 2 && degree == 2)
                pitch++;
            if (pitch < 0)
                pitch += 12;
            if (pitch > 71)
                pitch -= 12;
            if (pitch == n->ucPitch)
                continue;
            const int32_t id = Seq_CopyNoteWith(note, pitch, -1, -1, -1, 1);
            if (id > 0)
                Seq_ReplaceRiffCell(copy, s, t, id, 1);
        }
    c = Seq_GetRiff(copy);
    c->uKey = (uint16_t)targetKey;
    Seq_NameTransposedRiff(copy, targetKey);
    c->uKey = (uint16_t)(targetKey | targetMode << 14);
    Seq_LinkRiffAfter(riff, copy);
    return copy;
}

void Seq_NameTransposedRiff(int32_t riff, int32_t key)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || key < 1 || key > 12)
        return;
    const char *suffix = kKeySuffix[key];
    const int32_t suffixLength = (int32_t)strlen(suffix);
    char name[32];
    std::memset(name, ' ', sizeof(name));
    int32_t length = (int32_t)strnlen(r->szName, 15);
    std::memcpy(name, r->szName, (size_t)length);
    length = 15 - suffixLength;
    name[length] = 0;
    char joined[40];
    for (;;) {
        snprintf(joined, sizeof(joined), "%s%s", name, suffix);
        if (length == 0 || Seq_MeasureText(joined) <= 135)
            break;
        name[--length] = 0;
    }
    std::memset(r->szName, 0, 16);
    std::memcpy(r->szName, joined, strnlen(joined, 15));
}

int32_t Seq_DuplicateRiffAt(int32_t riff, int32_t row, int32_t column)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 10;
    int32_t copy = CopyRiff(riff, r->ucBars, r->ucTracks);
    if (copy < 0)
        return 10;
    Seq_MakeDefaultName(Seq_GetRiff(copy)->szName, 1);
    Seq_SetRiffDefaults(copy, 2);
    const uint16_t before = g_uRiffCount;
    Seq_RemoveRiffAt(row, column, 0);
    if (g_uRiffCount < before)
        copy--;
    Seq_PlaceRiff(copy, row, column, 1, 0);
    return 1;
}

int32_t Seq_RiffNameExists(const char name[16])
{
    for (int32_t id = 1; id < g_uRiffCount; id++)
        if (std::memcmp(Seq_GetRiff(id)->szName, name, 16) == 0)
            return 1;
    return 0;
}
