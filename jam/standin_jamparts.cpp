// STAND-IN (see standin_jamparts.h). Weak, so the real definitions win.
#include "jam/standin_jamparts.h"

#include <algorithm>
#include <vector>

#include "jam/jaminput.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "render/screentiles.h"
#include "sequencer/samples.h"

#define STANDIN __attribute__((weak))

// The frame handler keeps the jam playing: the background and the input pass.
STANDIN void Jam_FrameUpdate()
{
    if (g_bBackgroundDirty)
        Gfx_DrawJamBackground();
    Jam_ApplyPlayerInput();
}

STANDIN WINDOW *Jam_OpenLogWindow() { return nullptr; }
STANDIN void Jam_RefreshLogList() {}
STANDIN void Net_SendJamStart() {}
STANDIN void Net_SendSyncRequest() {}
