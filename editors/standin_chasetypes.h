// STAND-INS for the chase type pickers' choice until the menu item operations are built: a
// chosen type joins the clip the chase editor edits. Weak symbols in standin_chasetypes.cpp.
#pragma once

#include <cstdint>

// Adds a chase of the type (pool-coded) to g_pPreviewClip: a type that heads a clip replaces its
// head, any other goes after the selected entry.
void Ui_ApplyChaseType(int32_t type);
// The chase type pages' choice (pages 9, 12 and 23).
void Ui_ChooseChaseType();
