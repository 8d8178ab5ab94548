// The front end's start-up (run last by Ui_InitWidgetPools) and the way back to the main screen.
#pragma once

// Grid cursor at the top left, unit steps, saved view cleared, no mark.
void Ui_ResetGridCursor();
// The song grid, screen 0, focused, under the editor top bar on its first button.
void Ui_ReturnToMainScreen();
