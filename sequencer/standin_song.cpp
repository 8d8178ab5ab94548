// Stand-in until the sequencer is built: the playing flag (0xFE = riff preview) and its stops.
#include <cstdint>

uint8_t g_bSongPlaying;

void Seq_StopSong()
{
    g_bSongPlaying = 0;
}

void Seq_StopRiffPreview()
{
    g_bSongPlaying = 0;
}
