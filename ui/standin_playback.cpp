// Stand-in until the interface's playback controls are built.
#include "ui/msgbox.h"

void Seq_StopSong();

void Ui_StopPlayback()
{
    Seq_StopSong();
}
