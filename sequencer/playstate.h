// Play state that holds riff ids (play columns, the riff preview).
#pragma once

#include <cstdint>

// Lowers the riff ids the play state holds after riff `deleted` went (that one becomes 0).
void Seq_LowerPlayRiffIds(int32_t deleted);
