// The jam's part of the libraries: the riff library and each quality of the instrument library
// end with one folder per network player. Outside a jam the library lists leave those four out;
// in a jam they stand for the riffs and instruments each player brought.
#pragma once

#include "tools/packer.h"

constexpr int CONTENT_JAM_PLAYER_FOLDERS = 4;

// Appends the player folders ("PLAYER1".."PLAYER4", each with one sub-folder "LIST") after
// everything already in "R" and in "N/B", "N/D" and "N/F". Call it after the libraries are in.
void Content_AddJamPlayerFolders(PACKDIR &root);
