// The chase type pickers' choice (menu pages 9, 12 and 23): the chosen type joins the clip the
// chase editor edits. Main thread only.
#pragma once

#include <cstdint>

// Adds a chase of the type (pool-coded) to g_pPreviewClip: a plain or camera type heads the clip
// (a plain head it had goes), any other goes after the selected entry. Refusals open a box and
// leave the clip as it was.
void Ui_ApplyChaseType(int32_t type);
// The pickers' choice: the selected row of page 9, 12 or 23.
void Ui_ChooseChaseType();

// Free bytes a type needs before it is made: the colour palette modifier and the particle type
// build large tables of their own.
constexpr int32_t UI_PALETTE_CHASE_TYPE = 0x8006;
constexpr uint32_t UI_PALETTE_CHASE_BYTES = 50000;
constexpr uint32_t UI_PARTICLE_CHASE_BYTES = 16000;
