#include "core/mixlock.h"

std::recursive_mutex g_csMix;
