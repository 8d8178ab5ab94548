// Stand-in for the front end's return to the main screen until the top bar and the song file
// screen are built: the studio opens on the song grid, and at start-up the content's demo song is
// loaded into the new song, since songs cannot be loaded from the window yet.
#pragma once

// The song grid, screen 0, focused.
void Ui_ReturnToMainScreen();
// At the end of start-up: the demo song (when it can be read) and the song grid. A missing or
// damaged demo song leaves the empty song and says so on stderr.
void Ui_OpenMainScreenAtStart();
