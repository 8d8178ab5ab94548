// Stand-in until the video engine is built: its sound overlay and full-screen flag.
#include <cstdint>

uint8_t g_ucFullScreenVideo;

void Vid_EnterVideoOverlay() {}
void Vid_LeaveVideoOverlay() {}
