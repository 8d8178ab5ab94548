// Stand-in bodies for jam/standin_seqhooks.h (owner: sequencer).
#include "jam/standin_seqhooks.h"

#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"

JAMSETUP g_JamSetups[4];

void Seq_StandinDefaultNote(JAMNOTE *note)
{
    // The sequencer's default note settings: their hit mask and envelopes make the note sound.
    const NOTEPARAMS &d = g_DefaultNote;
    *note = JAMNOTE{};
    note->uSampleStart = d.uSampleStart;
    note->ucLevel = d.ucLevel;
    note->ucFlags = d.ucFlags;
    note->ucSetting1 = d.ucSetting1;
    note->ucSetting2 = d.ucSetting2;
    note->ucSetting3 = d.ucSetting3;
    note->ucSetting4 = d.ucSetting4;
    note->ucSetting5 = d.ucSetting5;
    note->ucDisc = d.ucDisc;
    const int32_t a = Seq_AddParamList(d.ucCountA <= 66 ? d.ucCountA : 66, d.auValuesA, d.ucAOfA, 0);
    const int32_t b = Seq_AddParamList(d.ucCountB <= 64 ? d.ucCountB : 64, d.auValuesB, d.ucAOfB, 0);
    const int32_t c = Seq_AddParamList(d.ucCountC <= 64 ? d.ucCountC : 64, d.auValuesC, d.ucAOfC, d.ucBOfC);
    note->uListA = (uint16_t)(a < 0 ? 0 : a);
    note->uListB = (uint16_t)(b < 0 ? 0 : b);
    note->uListC = (uint16_t)(c < 0 ? 0 : c);
}
int32_t Seq_ReleaseNote(int32_t note, int32_t noUndo, int32_t flag)
{
    return Seq_DeleteNote(note, noUndo, flag);
}

