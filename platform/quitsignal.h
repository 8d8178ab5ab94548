// Quit signals: SIGTERM and SIGINT are the user's request to end the studio, whatever it is doing.
//
// The handler only notes the signal. The window hands it out once as a close request, long sleeps
// (Plat_SleepMs on the real clock) end early, and a message box that waits for OK is taken down.
// A second signal while the first is still unanswered ends the process at once.
#pragma once

// Takes SIGTERM and SIGINT (and tells SDL to leave them alone). The studio's entry calls it.
void Plat_QuitSignalsInstall();
// True once a quit signal came (stays true).
bool Plat_QuitSignalled();
// True once per signal-noted quit: the window turns it into one close request.
bool Plat_QuitSignalTake();
// Tests: forget a noted signal.
void Plat_QuitSignalReset();
// Tests: note a quit as the handler would.
void Plat_QuitSignalRaise();
