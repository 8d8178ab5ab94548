// A canonical dump of the song model for tests: grid, riffs with their notes resolved to
// contents, and live use counts and references (what the undo log and the clipboard hold taken
// out); the riffs' editor cursors are left out.
#pragma once

#include "sequencer/songmodel.h"
#include "sequencer/undo.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace songdump {

inline std::string ListText(int32_t id)
{
    uint32_t bytes = 0;
    const uint8_t *p = Seq_GetParamList(id, &bytes);
    std::string out = "[";
    for (uint32_t i = 0; p && i < bytes; i++) {
        char b[4];
        snprintf(b, sizeof(b), "%02x", p[i]);
        out += b;
    }
    return out + "]";
}

inline std::string NoteText(int32_t id)
{
    const NOTEENTRY *n = Seq_GetNote(id);
    if (!n)
        return "<dangling " + std::to_string(id) + ">";
    char b[160];
    snprintf(b, sizeof(b), "i%u p%u l%u v%u s%u/%u/%u/%u/%u d%u f%u ss%u", n->uInstrument, n->ucPitch, n->ucLength,
             n->ucLevel, n->ucSetting1, n->ucSetting2, n->ucSetting3, n->ucSetting4, n->ucSetting5, n->ucDisc,
             n->ucFlags, n->uSampleStart);
    return b + ListText(n->uListA) + ListText(n->uListB) + ListText(n->uListC);
}

// The song as a user sees it: grid, riffs with their notes resolved to contents, live use counts
// and references (what the undo log holds taken out), the notes that something in the song uses.
inline std::string Dump()
{
    std::vector<int32_t> riffHolds, noteHolds;
    Seq_UndoCollectHolds(riffHolds, noteHolds);
    std::string out = "rows " + std::to_string(Seq_CountUsedRows()) + "\n";
    for (int32_t row = 0; row < SEQ_GRID_ROWS; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            if (g_aSongGrid[row][c]) {
                char b[32];
                snprintf(b, sizeof(b), "g%d,%d=%04x\n", row, c, g_aSongGrid[row][c]);
                out += b;
            }
    for (int32_t id = 1; id < g_uRiffCount; id++) {
        RIFFENTRY r = *Seq_GetRiff(id);
        const int32_t live = r.iUseCount - riffHolds[(size_t)id];
        r.iUseCount = 0;
        r.uCursor = 0; // the editor's place in the riff, not its music
        char b[64];
        snprintf(b, sizeof(b), "riff %d uses %d head ", id, live);
        out += b;
        const uint8_t *head = (const uint8_t *)&r;
        for (size_t i = 0; i < RIFF_HEAD_BYTES; i++) {
            snprintf(b, sizeof(b), "%02x", head[i]);
            out += b;
        }
        out += "\n";
        const int32_t steps = r.ucBars * SEQ_STEPS_PER_BAR;
        for (int32_t t = 0; t < r.ucTracks; t++)
            for (int32_t s = 0; s < steps; s++)
                if (const int32_t note = r.puNotes[t * steps + s])
                    out += " " + std::to_string(s) + "," + std::to_string(t) + " " + NoteText(note) + "\n";
    }
    // The clipboard is not the song: its references are taken out too.
    std::vector<int32_t> clip((size_t)g_uNoteCount + 1, 0);
    for (int32_t i = 0; g_NoteClipboard.puNotes && i < SEQ_CLIPBOARD_CELLS; i++)
        if (const int32_t id = g_NoteClipboard.puNotes[i]; id > 0 && id <= g_uNoteCount)
            clip[(size_t)id] += g_NoteClipboard.ucColour == 1 ? 2 : 1;
    std::vector<std::string> notes;
    for (int32_t id = 1; id <= g_uNoteCount; id++) {
        const int32_t live = Seq_GetNote(id)->uRefCount - noteHolds[(size_t)id] - clip[(size_t)id];
        if (live)
            notes.push_back(NoteText(id) + " x" + std::to_string(live));
    }
    std::sort(notes.begin(), notes.end());
    for (const std::string &n : notes)
        out += n + "\n";
    return out;
}

} // namespace songdump
using songdump::Dump;
