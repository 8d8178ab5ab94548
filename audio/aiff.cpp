#include "audio/aiff.h"

#include "audio/sampleslot.h"
#include "core/file.h"
#include "core/mixlock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

// Rates the reader takes; outside them a conversion to 44100 Hz would be absurd or huge.
static constexpr uint32_t AIFF_MIN_RATE = 1000;
static constexpr uint32_t AIFF_MAX_RATE = 768000;

static uint16_t Get16(const uint8_t *p)
{
    return (uint16_t)(p[0] << 8 | p[1]);
}

static uint32_t Get32(const uint8_t *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

void Snd_SwapLong(uint8_t *p)
{
    if (!p)
        return;
    uint8_t a = p[0], b = p[1];
    p[0] = p[3];
    p[1] = p[2];
    p[2] = b;
    p[3] = a;
}

uint32_t Snd_ExtendedToInt(const uint8_t *pExtended)
{
    if (!pExtended)
        return 0;
    uint16_t word = Get16(pExtended);
    if (word & 0x8000)
        return 0;
    // Value = mantissa x 2^(exponent - 16383 - 63); the top 32 bits carry every integer rate.
    int32_t e = (int32_t)word - 16383;
    if (e < 0 || e > 30)
        return 0;
    uint32_t top = Get32(pExtended + 2);
    uint32_t shift = (uint32_t)(31 - e);
    return (top >> shift) + ((top >> (shift - 1)) & 1);
}

static int Refuse(const char *why)
{
    snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load AIFF. %s", why);
    return -1;
}

int Snd_ReadAiffInfo(const uint8_t *pImage, uint32_t size, AIFFINFO *pInfo)
{
    if (!pImage || !pInfo)
        return Refuse("No data.");
    std::memset(pInfo, 0, sizeof *pInfo);
    if (size < 12 || std::memcmp(pImage + 8, "AIFF", 4) != 0)
        return Refuse("Not an AIFF file.");

    bool haveComm = false, haveSound = false;
    uint32_t commFrames = 0;
    uint64_t soundStart = 0, soundEnd = 0;
    uint64_t pos = 12;
    while (pos + 8 <= size) {
        const uint8_t *pChunk = pImage + pos;
        uint64_t body = pos + 8;
        uint64_t declared = Get32(pChunk + 4);
        // A chunk that runs past the image is read as far as the image goes.
        uint64_t bodyEnd = body + declared < size ? body + declared : size;
        uint64_t length = bodyEnd - body;
        const uint8_t *p = pImage + body;
        if (!std::memcmp(pChunk, "COMM", 4)) {
            if (length < 18)
                return Refuse("Broken COMM chunk.");
            pInfo->uChannels = Get16(p);
            commFrames = Get32(p + 2);
            pInfo->uBits = Get16(p + 6);
            pInfo->uRate = Snd_ExtendedToInt(p + 8);
            haveComm = true;
        } else if (!std::memcmp(pChunk, "SSND", 4)) {
            if (length < 8)
                return Refuse("Broken SSND chunk.");
            soundStart = body + 8 + Get32(p);
            soundEnd = bodyEnd;
            haveSound = true;
        } else if (!std::memcmp(pChunk, "MARK", 4) && length >= 2) {
            uint32_t count = Get16(p);
            uint64_t at = 2;
            for (uint32_t m = 0; m < count && at + 7 <= length; m++) {
                uint32_t position = Get32(p + at + 2);
                uint32_t nameLength = p[at + 6];
                if (at + 7 + nameLength > length)
                    break;
                const char *name = (const char *)p + at + 7;
                if (nameLength == 8 && !std::memcmp(name, "beg loop", 8)) {
                    pInfo->bBeginLoop = true;
                    pInfo->uBeginLoop = position;
                } else if (nameLength == 8 && !std::memcmp(name, "end loop", 8)) {
                    pInfo->bEndLoop = true;
                    pInfo->uEndLoop = position;
                }
                // The counted name is padded to an even length, count byte included.
                at += 7 + nameLength + ((nameLength & 1) ? 0 : 1);
            }
        } else if (!std::memcmp(pChunk, "NAME", 4)) {
            uint64_t n = length < sizeof pInfo->szName - 1 ? length : sizeof pInfo->szName - 1;
            uint64_t k = 0;
            while (k < n && p[k])
                k++;
            std::memcpy(pInfo->szName, p, (size_t)k);
            pInfo->szName[k] = 0;
            pInfo->bName = true;
        }
        pos = body + declared + (declared & 1);
    }
    if (!haveComm)
        return Refuse("No COMM chunk.");
    if (!haveSound)
        return Refuse("No SSND chunk.");
    if (pInfo->uChannels == 0 || pInfo->uBits == 0 || pInfo->uBits > 32)
        return Refuse("Unsupported sample format.");
    if (pInfo->uRate < AIFF_MIN_RATE || pInfo->uRate > AIFF_MAX_RATE)
        return Refuse("Unsupported sample rate.");
    uint64_t frameBytes = (uint64_t)pInfo->uChannels * ((pInfo->uBits + 7u) / 8u);
    uint64_t held = soundStart < soundEnd ? (soundEnd - soundStart) / frameBytes : 0;
    pInfo->uFrames = held < commFrames ? (uint32_t)held : commFrames;
    if (pInfo->uFrames == 0)
        return Refuse("No samples.");
    pInfo->pSamples = pImage + soundStart;
    return 0;
}

int16_t Snd_AiffSample(const AIFFINFO *pInfo, uint32_t frame, uint32_t channel)
{
    uint32_t sampleBytes = (pInfo->uBits + 7u) / 8u;
    const uint8_t *p = pInfo->pSamples + ((size_t)frame * pInfo->uChannels + channel) * sampleBytes;
    if (sampleBytes == 1)
        return (int16_t)(uint16_t)(p[0] << 8);
    return (int16_t)Get16(p);
}

// Frame i of the result sits at i x rate / 44100 frames of the source, between two source frames.
static int16_t Interpolate(const AIFFINFO *pInfo, uint64_t i, uint32_t channel)
{
    uint64_t pos = i * pInfo->uRate;
    uint32_t at = (uint32_t)(pos / 44100u);
    int64_t frac = (int64_t)(pos % 44100u);
    int64_t a = Snd_AiffSample(pInfo, at, channel);
    int64_t b = at + 1 < pInfo->uFrames ? Snd_AiffSample(pInfo, at + 1, channel) : a;
    return (int16_t)(a + (b - a) * frac / 44100);
}

int Snd_ParseAiff(SAMPLESLOT *pSlot, const uint8_t *pImage, uint32_t size)
{
    if (!pSlot)
        return -1;
    AIFFINFO info;
    if (Snd_ReadAiffInfo(pImage, size, &info) != 0)
        return -1;

    // The mixer steps only 44100, 22050 and 11025 Hz data at its own speed.
    bool convert = info.uRate != 44100 && info.uRate != 22050 && info.uRate != 11025;
    uint64_t frames = convert ? ((uint64_t)info.uFrames - 1) * 44100u / info.uRate + 1 : info.uFrames;
    uint64_t loopFrame = info.uBeginLoop;
    if (convert)
        loopFrame = loopFrame * 44100u / info.uRate;
    if (frames > 0xFFFFFFFFull)
        return Refuse("Too long.");

    SAMPLESLOT fresh;
    std::memset(&fresh, 0, sizeof fresh);
    if (Snd_AllocSampleData(&fresh, (uint32_t)frames, true) != 0)
        return Refuse("Out of memory.");
    uint32_t right = info.uChannels > 1 ? 1 : 0;
    for (uint64_t i = 0; i < frames; i++) {
        int16_t l = convert ? Interpolate(&info, i, 0) : Snd_AiffSample(&info, (uint32_t)i, 0);
        int16_t r = right ? (convert ? Interpolate(&info, i, 1) : Snd_AiffSample(&info, (uint32_t)i, 1)) : l;
        uint8_t *f = fresh.pData + i * 4;
        f[0] = (uint8_t)l;
        f[1] = (uint8_t)((uint16_t)l >> 8);
        f[2] = (uint8_t)r;
        f[3] = (uint8_t)((uint16_t)r >> 8);
    }

    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_FreeSampleData(pSlot);
    pSlot->pData = fresh.pData;
    pSlot->uFrames = fresh.uFrames;
    pSlot->uFlags = (pSlot->uFlags & ~SAMPLE_BORROWED) | SAMPLE_STEREO;
    pSlot->uRate = convert ? 44100 : info.uRate;
    pSlot->uBytes = (uint32_t)((uint64_t)info.uFrames * info.uChannels * ((info.uBits + 7u) / 8u));
    if (info.bBeginLoop) {
        pSlot->uFlags |= SAMPLE_LOOPS;
        pSlot->uLoopStartFrame = loopFrame < frames ? (uint32_t)loopFrame : 0;
    }
    if (info.bName)
        snprintf(pSlot->szName, sizeof pSlot->szName, "%s", info.szName);
    Snd_ResetSamplePointers(pSlot);
    return 0;
}
