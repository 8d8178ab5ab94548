// Stand-in for the sequencer's command-chain counts until the sequencer's chains are built.
#pragma once

#include <cstdint>

// Effect parameters of a sample-edit operation: 0 gives 4, 1 gives 5, 2 gives 6, 3 gives 10, 4, 5
// and 7 give 7, 6 gives 14, any other code the default.
int32_t Seq_CommandParamCount(int32_t defaultCount, int32_t code);
