// Stand-in bodies for jam/standin_seqhooks.h (owner: sequencer).
#include "jam/standin_seqhooks.h"

#include "sequencer/samples.h"

JAMSETUP g_JamSetups[4];

void Seq_StandinDefaultNote(JAMNOTE *note)
{
    *note = JAMNOTE{};
    note->uListA = (uint16_t)Seq_AddParamList(0, nullptr, 0, 0);
    note->uListB = (uint16_t)Seq_AddParamList(0, nullptr, 0, 0);
    note->uListC = (uint16_t)Seq_AddParamList(0, nullptr, 0, 0);
}
int32_t Seq_ReleaseNote(int32_t note, int32_t noUndo, int32_t flag)
{
    return Seq_DeleteNote(note, noUndo, flag);
}
int32_t Seq_LoadLibraryRiff(int32_t, int32_t, int32_t, int32_t, void *) { return 0; }

