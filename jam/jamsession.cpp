// Stand-in until the jam session is built.
#include "jam/jamsession.h"

std::atomic<int32_t> g_bJamSessionOn{0};
