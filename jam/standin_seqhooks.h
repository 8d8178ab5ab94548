// Stand-in for the parts of the sequencer the jam sequencer uses that are not built yet: the
// channel records, play columns and channel mute bytes, the step and channel-allocator hooks, the
// note trigger and riff records (owner: sequencer). Names and types are the
// sequencer's; the bodies do the least. The records, the clock's hooks, the channel engine and
// the song model now come from the sequencer itself; what is left here is not built yet there.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"

// The song model's notes serve the jam's slot notes too.
using JAMNOTE = NOTEENTRY;

constexpr int32_t SEQ_CHANNELS = 99;
constexpr uint8_t SEQ_STATE_SETUP = 8;

// A note image with the default note settings, its three lists referenced.
void Seq_StandinDefaultNote(JAMNOTE *note);
// 1 when the last reference went and the note was deleted (later ids move down), else 0.
int32_t Seq_ReleaseNote(int32_t note, int32_t noUndo, int32_t flag);

// The jam setups of the song: a state and a selection byte each.
struct JAMSETUP
{
    uint8_t ucState;
    uint8_t ucSelection;
};
extern JAMSETUP g_JamSetups[4];
