// The sequencer calls the program spine makes; the song file's reset is still a stand-in.
#pragma once

#include <atomic>
#include <cstdint>

#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/standin_undo.h"

// Stand-in until the song file is built.
void Seq_ResetSongFile();
