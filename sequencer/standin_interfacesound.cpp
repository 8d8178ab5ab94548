// Stand-in for the sequencer's interface sounds. Weak, so the sequencer's own definition wins at
// link time.
#include "sequencer/standin_interfacesound.h"

#include "audio/mixer.h"

__attribute__((weak)) void Seq_PlayInterfaceSound(int32_t n)
{
    Snd_PlayInterfaceSound(n);
}
