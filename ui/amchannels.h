// AM channels of the riff being edited: a channel may have an extra channel joined right after
// it that carries note modifiers for its notes. The link bytes say which channel is which.
#pragma once

#include <cstdint>

constexpr int ED_RIFF_CHANNELS = 12;

// The link byte of each channel of the riff being edited: 2 a channel of its own, 1 the AM
// channel joined to the channel before it.
extern uint8_t g_aucChannelLink[ED_RIFF_CHANNELS];

// 1 when the channel is an AM channel joined to the one before it; 0 for any other (or no) channel.
int Ed_IsLinkedChannel(int32_t channel);

// Reads the channel count of the current riff and rebuilds the link bytes from its join bits.
void Ed_RebuildChannelLinkFlags();
// The riff editor menu's "Add AM channel" and, on a joined pair, its removal (asks first).
void Ed_LinkChannel();
void Ed_AskUnlinkChannel();
// After a note was placed on an AM channel at (step, channel): the note becomes the pair's
// modifier.
void Ed_UpdateLinkedChannel(int32_t step, int32_t channel);
// Installs the menu handlers above.
void Ed_InstallAmChannelItems();
// The riff editor's calls: links rebuilt on opening a riff, and the note panel's AM indicator.
void Ui_RebuildChannelLinks();
void Ui_ChannelLinkAction();
