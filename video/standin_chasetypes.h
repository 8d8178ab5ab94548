// Stand-in descriptors of the chase types whose own channel tables and methods are not built
// yet, so that registration, codes and lane kinds hold as they will.
#pragma once

#include <cstdint>

struct CHASEDEF;

// The stand-in descriptor of a stored id, null for ids that have none here.
CHASEDEF *Vid_StandinChaseDef(uint16_t storedId);
