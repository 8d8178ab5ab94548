// Stand-in bodies for jam/standin_seqhooks.h (owner: sequencer).
#include "jam/standin_seqhooks.h"

#include "sequencer/standin_songdata.h"

int32_t g_iFoundInstrumentSlot;
uint8_t g_aucInstrumentUses[201];
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
void Seq_ReleaseInstrument(int32_t slot)
{
    if (slot >= 1 && slot <= 200 && g_aucInstrumentUses[slot])
        --g_aucInstrumentUses[slot];
}
