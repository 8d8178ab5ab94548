// The front end's start-up (run last by Ui_InitWidgetPools) and the way back to the main screen.
#pragma once

// Grid cursor at the top left, unit steps, saved view cleared, no mark.
void Ui_ResetGridCursor();
// The song grid, screen 0, focused, under the editor top bar on its first button.
void Ui_ReturnToMainScreen();
// Loads the song file at path in place of the current song for the start of the studio. A missing,
// unreadable or damaged file leaves the empty song and says so in one line on stderr; false then.
bool Ui_LoadStartSong(const char *path);
// At the end of start-up: the content's demo song (when it can be read) and the song grid.
void Ui_OpenMainScreenAtStart();
