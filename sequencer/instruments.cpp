// Instrument services that stand on their own: the interface-sound wrapper.
#include "sequencer/instruments.h"

#include "audio/mixer.h"

void Seq_PlayInterfaceSound(int32_t n)
{
    Snd_PlayInterfaceSound(n);
}
