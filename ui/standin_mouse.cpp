// Stand-ins for the mouse layer's click dispatch and the key shortcuts until their Parts are
// built: of the click dispatch only the pointer's motion.
#include "app/devices.h"
#include "app/startup.h"
#include "render/gpustate.h"
#include "ui/mouse.h"

#include <algorithm>

// The pointer follows the poll, held 12 pixels short of the far edges.
void Ui_DispatchMouseClick()
{
    if (!g_bPointerFrozen) {
        const int x = g_sMouseX + g_iMouseDeltaX, y = g_sMouseY + g_iMouseDeltaY;
        g_sMouseX = int16_t(std::clamp(x, 0, std::max(0, g_iScreenWidth - 12)));
        g_sMouseY = int16_t(std::clamp(y, 0, std::max(0, g_iScreenHeight - 12)));
    }
    g_iPointerX = g_sMouseX;
    g_iPointerY = g_sMouseY;
}

// The key shortcuts of the block and undo screens belong to the editors.
void Ui_DispatchKeyShortcut() {}
