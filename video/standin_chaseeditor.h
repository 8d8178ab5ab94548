// Stand-ins for the chase editor's state and the frame render's scene extent that the chase
// types read and write, until the chase editor and the frame render are built (same names and
// types as theirs). Weak, so the real definitions win at link time.
#pragma once

#include <cstdint>

struct WINDOW;
struct CHASE;

extern WINDOW *g_pChaseEditWindow; // the chase editor window; null while it is closed
extern CHASE *g_pEditChase;        // the chase being edited
extern int32_t g_iChaseEditPage;   // the editor page shown (the Movie's limits follow pages 0-1)
extern int32_t g_iSceneExtent;     // farthest instance distance this frame (auto camera)
