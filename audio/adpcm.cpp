#include "audio/adpcm.h"

#include <cmath>
#include <cstring>

static const int32_t s_aiAdpcmFilter[ADPCM_FILTER_COUNT][2] = {
    {0, 0}, {60, 0}, {115, -52}, {98, -55}, {122, -60},
};

static inline const int32_t *FilterPair(uint32_t filter)
{
    return s_aiAdpcmFilter[filter < ADPCM_FILTER_COUNT ? filter : 0];
}

// One decode step in 32-bit wrapping arithmetic (what the format defines), without signed
// overflow: a hostile block can drive the history anywhere.
static inline int32_t DecodeStep(int32_t e, int32_t h1, int32_t h2, const int32_t *pair)
{
    int64_t sum = (int64_t)e + (int64_t)h1 * pair[0] + (int64_t)h2 * pair[1];
    int32_t wrapped = (int32_t)(uint32_t)(uint64_t)sum;
    return wrapped >> 6;
}

static inline int32_t NibbleValue(uint32_t nibble, uint32_t shift)
{
    int32_t v = (int16_t)(uint16_t)(nibble << 12);
    return (v >> shift) * 64;
}

static inline int16_t Clamp16(int32_t s)
{
    return (int16_t)(s < -32768 ? -32768 : (s > 32767 ? 32767 : s));
}

static inline int64_t Abs64(int64_t v)
{
    return v < 0 ? -v : v;
}

uint64_t Snd_AdpcmMaxSamples(uint32_t size)
{
    return (uint64_t)(size / ADPCM_BLOCK_BYTES) * ADPCM_BLOCK_SAMPLES;
}

int Snd_DecodeAdpcm(const uint8_t *pData, uint32_t size, int16_t *pOut, uint32_t capacity, ADPCMDECODE *pResult)
{
    if (!pResult || (size && (!pData || !pOut)))
        return -1;
    if (capacity < Snd_AdpcmMaxSamples(size))
        return -1;
    pResult->uSamples = 0;
    pResult->uLoopStartFrame = 0;
    pResult->bLoops = false;

    int32_t h1 = 0, h2 = 0;
    uint32_t out = 0;
    int pendingLast = 0;
    uint32_t blocks = size / ADPCM_BLOCK_BYTES;
    for (uint32_t b = 0; b < blocks; b++) {
        const uint8_t *pBlock = pData + (size_t)b * ADPCM_BLOCK_BYTES;
        uint32_t shift = pBlock[0] & 15;
        const int32_t *pair = FilterPair(pBlock[0] >> 4);
        uint8_t flag = pBlock[1];
        if (flag == ADPCM_FLAG_END)
            break;
        if (flag == ADPCM_FLAG_LAST_TWO)
            pendingLast = 2;
        else if (flag == ADPCM_FLAG_LAST)
            pendingLast = 1;
        else if (flag == ADPCM_FLAG_LOOP) {
            pResult->uLoopStartFrame = out;
            pResult->bLoops = true;
        }
        for (int i = 0; i < ADPCM_BLOCK_SAMPLES; i++) {
            uint8_t byte = pBlock[2 + i / 2];
            uint32_t nibble = (i & 1) ? (byte >> 4) : (byte & 15);
            int32_t s = DecodeStep(NibbleValue(nibble, shift), h1, h2, pair);
            h2 = h1;
            h1 = s;
            if (b > 0)
                pOut[out++] = Clamp16(s);
        }
        if (pendingLast > 0 && --pendingLast == 0)
            break;
    }
    pResult->uSamples = out;
    return 0;
}

uint32_t Snd_AdpcmEncodedSize(uint32_t count, int32_t loopStartFrame)
{
    uint64_t dataBlocks = ((uint64_t)count + ADPCM_BLOCK_SAMPLES - 1) / ADPCM_BLOCK_SAMPLES;
    uint64_t blocks = 1 + dataBlocks; // priming block first
    // The last block says so with its flag; when that flag is taken by the loop mark (or there
    // is no data block at all) an end block follows instead.
    bool loopOnLast = loopStartFrame >= 0 && dataBlocks > 0 &&
                      (uint64_t)loopStartFrame / ADPCM_BLOCK_SAMPLES == dataBlocks - 1;
    if (dataBlocks == 0 || loopOnLast)
        blocks++;
    uint64_t bytes = blocks * ADPCM_BLOCK_BYTES;
    return bytes > UINT32_MAX ? UINT32_MAX : (uint32_t)bytes;
}

// Encodes one block of 28 samples with the given filter and shift from history (h1, h2).
// Writes the nibbles when pNibbles is given; returns the squared error and the new history.
static uint64_t EncodeBlockWith(const int16_t *x, uint32_t filter, uint32_t shift, int32_t &h1, int32_t &h2,
                                uint8_t *pNibbles)
{
    const int32_t *pair = s_aiAdpcmFilter[filter];
    uint64_t error = 0;
    for (int i = 0; i < ADPCM_BLOCK_SAMPLES; i++) {
        int32_t bestS = 0;
        uint32_t bestNibble = 0;
        int64_t bestDiff = INT64_MAX;
        // The decoded value rises with the nibble, so the best one lies next to the nibble that
        // the plain division gives; only its neighbours are tried.
        int32_t base = DecodeStep(0, h1, h2, pair);
        double guess = std::ldexp((double)x[i] - base, (int)shift) / 4096.0;
        int32_t centre = guess < -8 ? -8 : (guess > 7 ? 7 : (int32_t)std::lround(guess));
        for (int32_t signedNibble = centre - 2; signedNibble <= centre + 2; signedNibble++) {
            if (signedNibble < -8 || signedNibble > 7)
                continue;
            uint32_t n = (uint32_t)signedNibble & 15;
            int32_t s = DecodeStep(NibbleValue(n, shift), h1, h2, pair);
            int64_t diff = (int64_t)Clamp16(s) - x[i];
            if (diff < 0)
                diff = -diff;
            // On a tie keep the smaller value: an overshooting history makes the next samples
            // harder to reach.
            if (diff < bestDiff || (diff == bestDiff && Abs64(s) < Abs64(bestS))) {
                bestDiff = diff;
                bestS = s;
                bestNibble = n;
            }
        }
        error += (uint64_t)(bestDiff * bestDiff);
        h2 = h1;
        h1 = bestS;
        if (pNibbles)
            pNibbles[i] = (uint8_t)bestNibble;
    }
    return error;
}

int64_t Snd_EncodeAdpcm(const int16_t *pSamples, uint32_t count, int32_t loopStartFrame, uint8_t *pOut,
                        uint32_t capacity)
{
    if (!pOut || (count && !pSamples))
        return -1;
    if (loopStartFrame >= 0 && (uint32_t)loopStartFrame >= count)
        return -1;
    uint32_t size = Snd_AdpcmEncodedSize(count, loopStartFrame);
    if (size == UINT32_MAX || capacity < size)
        return -1;

    uint32_t dataBlocks = (uint32_t)(((uint64_t)count + ADPCM_BLOCK_SAMPLES - 1) / ADPCM_BLOCK_SAMPLES);
    uint32_t loopBlock = loopStartFrame >= 0 ? (uint32_t)loopStartFrame / ADPCM_BLOCK_SAMPLES : UINT32_MAX;
    std::memset(pOut, 0, size);
    uint8_t *pBlock = pOut + ADPCM_BLOCK_BYTES; // block 0: filter 0, silence, history stays 0

    int32_t h1 = 0, h2 = 0;
    for (uint32_t b = 0; b < dataBlocks; b++, pBlock += ADPCM_BLOCK_BYTES) {
        int16_t x[ADPCM_BLOCK_SAMPLES] = {};
        uint32_t first = b * ADPCM_BLOCK_SAMPLES;
        uint32_t n = count - first < (uint32_t)ADPCM_BLOCK_SAMPLES ? count - first : (uint32_t)ADPCM_BLOCK_SAMPLES;
        std::memcpy(x, pSamples + first, n * sizeof(int16_t));

        uint32_t bestFilter = 0, bestShift = 0;
        uint64_t bestError = UINT64_MAX;
        for (uint32_t filter = 0; filter < ADPCM_FILTER_COUNT; filter++) {
            for (uint32_t shift = 0; shift < 16; shift++) {
                int32_t t1 = h1, t2 = h2;
                uint64_t error = EncodeBlockWith(x, filter, shift, t1, t2, nullptr);
                if (error < bestError) {
                    bestError = error;
                    bestFilter = filter;
                    bestShift = shift;
                }
            }
        }
        uint8_t nibbles[ADPCM_BLOCK_SAMPLES];
        EncodeBlockWith(x, bestFilter, bestShift, h1, h2, nibbles);
        pBlock[0] = (uint8_t)(bestShift | bestFilter << 4);
        if (b == loopBlock)
            pBlock[1] = ADPCM_FLAG_LOOP;
        else if (b == dataBlocks - 1)
            pBlock[1] = ADPCM_FLAG_LAST;
        for (int i = 0; i < ADPCM_BLOCK_SAMPLES; i += 2)
            pBlock[2 + i / 2] = (uint8_t)(nibbles[i] | nibbles[i + 1] << 4);
    }
    if ((uint32_t)(pBlock - pOut) < size)
        pBlock[1] = ADPCM_FLAG_END;
    return size;
}
