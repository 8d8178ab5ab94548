// Stand-in for the sequencer's boot defaults until the sequencer is built. Weak, so the real
// definitions win at link time.
#include "sequencer/standin_bootdefaults.h"

#include "core/archive.h"

__attribute__((weak)) uint8_t g_abDefaultRiffs[SEQ_DEFAULT_RIFFS_SIZE];
__attribute__((weak)) uint8_t g_abDefaultEffects[SEQ_DEFAULT_EFFECTS_SIZE];

__attribute__((weak)) void Seq_LoadBootDefaults()
{
    Sys_WadLoadFileInto(g_abDefaultRiffs, "/BOOT/DEFRIF", 0, sizeof(g_abDefaultRiffs));
    Sys_WadLoadFileInto(g_abDefaultEffects, "/BOOT/EFFREAL", 0, sizeof(g_abDefaultEffects));
}
