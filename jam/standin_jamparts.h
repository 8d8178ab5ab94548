// STAND-IN for the jam pieces that the session start and end call but that later work builds,
// under the names those modules will use so that this file can go when they arrive. Definitions
// are weak, so the real ones win at link time:
//  - the session messages (start request, time request).
#pragma once

#include <cstdint>

// Session messages.
void Net_SendJamStart();
void Net_SendSyncRequest();
