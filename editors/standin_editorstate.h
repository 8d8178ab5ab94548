// Stand-in: the editor screens' state that the page menu reads, until the riff editor and the top
// bar are built (they own these and will replace this file).
#pragma once

#include <cstdint>

constexpr int ED_RIFF_CHANNELS = 12;

// The riff editor's selected channel and its link bytes (2: a channel of its own, 1: the AM
// channel joined to the channel before it).
extern uint8_t g_ucCurrentChannel;
extern uint8_t g_aucChannelLink[ED_RIFF_CHANNELS];

// 1 when the channel is an AM channel joined to the one before it; 0 for any other (or no) channel.
int Ed_IsLinkedChannel(int32_t channel);

// The song's title and author as the file browser shows and saves them (32 characters each).
constexpr int ED_SONG_NAME = 33;
extern char g_szSongTitle[ED_SONG_NAME];
extern char g_szSongAuthor[ED_SONG_NAME];
