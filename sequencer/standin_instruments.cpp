// Stand-in for the instrument clean-up until the instrument table is built.
#include "sequencer/instruments.h"

#include <vector>

#include "audio/mixer.h"

void Seq_PlayInterfaceSound(int32_t n)
{
    Snd_PlayInterfaceSound(n);
}

void Seq_ClearUnusedInstruments(int32_t) {}

uint8_t Seq_InstrumentCategory(int32_t)
{
    return 255;
}

void Seq_CountOtherListRefs(std::vector<int32_t> &) {}
