// Shared between the jam and video chunk readers: the checked jam chunks of a located image.
#pragma once

#include "sequencer/songfile.h"

#include <cstdint>
#include <vector>

struct SONGJAMS
{
    std::vector<std::vector<uint8_t>> records, companions;
    bool hasJC = false;
    const uint8_t *pSequence = nullptr;
    uint32_t uSequenceBytes = 0;
    bool broken = false;
};

SONGJAMS *Seq_ExtraJams(CHUNKLOADCONTEXT *load);
void Seq_LocateJamChunks(CHUNKLOADCONTEXT *load);
