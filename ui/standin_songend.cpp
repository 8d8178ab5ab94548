// Stand-in until the interface's end-of-song handler is built. It runs on the mix thread (from the
// song step), so it only stores a flag for the frame to pick up.
#include <atomic>
#include <cstdint>

std::atomic<int32_t> g_bSongEnded{0};

void Ui_OnSongEnd()
{
    g_bSongEnded = 1;
}
