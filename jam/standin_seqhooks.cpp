// Stand-in bodies for jam/standin_seqhooks.h (owner: sequencer).
#include "jam/standin_seqhooks.h"

#include "sequencer/standin_songdata.h"

SEQCHANNEL g_aSeqChannels[SEQ_CHANNELS];
PLAYCOLUMN g_aPlayColumns[SEQ_CHANNELS];
uint8_t g_aChannelMute[SEQ_CHANNELS][4];
std::atomic<SEQSTEPFN> g_pfnSeqStep{Seq_StepIdle};
SEQCHANNELALLOCFN g_pfnSeqChannelAlloc = Seq_AllocChannel;
int32_t g_bJamActive;
int32_t g_iFoundInstrumentSlot;
uint8_t g_aucInstrumentUses[201];
JAMSETUP g_JamSetups[4];

int32_t g_iSubStep;
uint16_t g_auRiffList[1473];
uint16_t g_uRiffListCount;
uint16_t g_uRiffCount = 1;

void Seq_StepIdle() {}

int32_t Seq_AllocChannel(int32_t, int32_t, int32_t)
{
    for (int32_t c = SEQ_CHANNELS - 1; c >= 0; --c)
        if (g_aSeqChannels[c].ucOwner == 0 && g_aSeqChannels[c].ucState != SEQ_STATE_SETUP)
            return c;
    return 255;
}

void Seq_TriggerNote(const RIFFENTRY *, const JAMNOTE *note, int32_t channel, int32_t mode, int32_t, int32_t,
                     int32_t)
{
    if (!note || channel < 0 || channel >= SEQ_CHANNELS || note->uInstrument > 200)
        return;
    SEQCHANNEL &c = g_aSeqChannels[channel];
    c.iPitch = note->ucPitch << 15;
    c.ucLevel = note->ucLevel;
    c.ucLengthLeft = (uint8_t)(note->ucLength + 1);
    c.ucOwner = (uint8_t)mode;
    c.ucState = 1;
}

void Seq_SetTempo(int32_t) {}
RIFFENTRY *Seq_GetRiff(int32_t) { return nullptr; }
JAMNOTE *Seq_GetNote(int32_t) { return nullptr; }
void Seq_StandinDefaultNote(JAMNOTE *note)
{
    *note = JAMNOTE{};
    note->uListA = (uint16_t)Seq_AddParamList(0, nullptr, 0, 0);
    note->uListB = (uint16_t)Seq_AddParamList(0, nullptr, 0, 0);
    note->uListC = (uint16_t)Seq_AddParamList(0, nullptr, 0, 0);
}
void Seq_AddRiffNoteRefs(int32_t) {}
int32_t Seq_ReleaseRiff(int32_t, int32_t, int32_t) { return 0; }
int32_t Seq_ReleaseNote(int32_t, int32_t, int32_t) { return 0; }
int32_t Seq_LoadLibraryRiff(int32_t, int32_t, int32_t, int32_t, void *) { return 0; }
void Seq_ReleaseInstrument(int32_t slot)
{
    if (slot >= 1 && slot <= 200 && g_aucInstrumentUses[slot])
        --g_aucInstrumentUses[slot];
}
void Seq_ClearInstrument(int32_t slot, int32_t, int32_t)
{
    if (slot >= 1 && slot <= 200)
        g_aucInstrumentUses[slot] = 0;
}
int32_t Seq_GetInstrumentKind(int32_t) { return 0; }
