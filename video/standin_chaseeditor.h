// Stand-ins for the chase editor's state and the frame render's state that the chase types read
// and write, until the chase editor and the frame render are built (same names and types as
// theirs). Weak, so the real definitions win at link time; remove each when its owner is in.
#pragma once

#include <cstdint>

struct UIWINDOW;
struct CHASE;

// Chase editor.
extern UIWINDOW *g_pChaseEditWindow; // null while the chase editor is closed
extern CHASE *g_pEditChase;          // the chase being edited
extern int32_t g_iChaseEditPage;     // the editor page shown (the Movie's limits follow pages 0-1)

// Frame render.
// The path whose line is drawn over the video: 16-byte points (x, y, z as i32, spare).
struct VIDPATHPREVIEW
{
    const int32_t *piPoints;
    int32_t iCount;
    int32_t bClosed;
    int32_t iScale;
    int32_t iCamera; // 0 main, 1 auxiliary, other: the path display camera
};
extern int32_t g_iSceneExtent; // raised by the chases during a chase frame
extern const VIDPATHPREVIEW *g_pPathPreview;
extern int32_t g_iCameraScale; // 9500 unless a camera chase scales
