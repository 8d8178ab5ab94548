// Stand-in until the video engine is built: the enter and leave actions of its sound overlay
// (the real ones rebind screen 4 slot 9).
void Vid_EnterVideoOverlay() {}
void Vid_LeaveVideoOverlay() {}
