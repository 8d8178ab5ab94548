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

STANDIN void Net_SendJamStart() {}
STANDIN void Net_SendSyncRequest() {}
