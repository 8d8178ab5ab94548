// Stand-in for the song file screen's loading at start-up until that screen is built: the
// content's demo song is loaded into the new song, since songs cannot be loaded from the window
// yet; then the studio opens on the main screen (ui/frontend.h).
#pragma once

// At the end of start-up: the demo song (when it can be read) and the song grid. A missing or
// damaged demo song leaves the empty song and says so on stderr.
void Ui_OpenMainScreenAtStart();
