// Stand-in until the riff editor and the top bar are built.
#include "editors/standin_editorstate.h"

uint8_t g_ucCurrentChannel = 0;
uint8_t g_aucChannelLink[ED_RIFF_CHANNELS] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};

int Ed_IsLinkedChannel(int32_t channel)
{
    return channel >= 0 && channel < ED_RIFF_CHANNELS && g_aucChannelLink[channel] == 1;
}

char g_szSongTitle[ED_SONG_NAME] = "TONNIVELLE file";
char g_szSongAuthor[ED_SONG_NAME] = "Author";
