// Stand-ins for the chase editor's state that the chase types read, until the chase editor is
// built (same names and types as its own). Weak, so the real definitions win at link time.
#pragma once

#include <cstdint>

#include "video/render.h"

struct UIWINDOW;
struct CHASE;

// Chase editor.
extern UIWINDOW *g_pChaseEditWindow; // null while the chase editor is closed
extern CHASE *g_pEditChase;          // the chase being edited
extern int32_t g_iChaseEditPage;     // the editor page shown (the Movie's limits follow pages 0-1)
