#include "audio/samplebuffer.h"

#include "app/startup.h"
#include "audio/aiff.h"
#include "audio/soundout.h"
#include "core/mixlock.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

SAMPLEBUFFER *g_apSampleBuffers[SND_SAMPLE_BUFFERS];
int32_t g_iSampleBufferCount;
SAMPLEBUFFERNOTIFY g_astSampleBufferNotify[2] = {{-1, 0, {0}}, {-1, 0, {0}}};

using Lock = std::lock_guard<std::recursive_mutex>;

static constexpr int32_t MIN_FREQUENCY = 100;
static constexpr int32_t MAX_FREQUENCY = 200000;

#define STATUS(...) snprintf(g_szSoundStatusText, sizeof g_szSoundStatusText, __VA_ARGS__)

static SAMPLEBUFFER *Entry(int32_t index)
{
    return index >= 0 && index < SND_SAMPLE_BUFFERS ? g_apSampleBuffers[index] : nullptr;
}

// Bytes of one frame of the sound as loaded.
static uint32_t FrameBytes(const SAMPLEBUFFER *p)
{
    return p->stDesc.uChannels > 1 ? 4u : 2u;
}

// The entry's slot is always stereo; offsets count frames of the sound as loaded.
static uint32_t OffsetToFrame(const SAMPLEBUFFER *p, uint32_t offset)
{
    return offset / FrameBytes(p);
}

static int64_t VoicePosition(const SAMPLEBUFFER *p)
{
    if (!p->stVoice.pStart)
        return 0;
    return (int64_t)((p->stVoice.pCurrent - p->stVoice.pStart) / 4) * FrameBytes(p);
}

static int32_t Gain(int32_t hundredthsDb)
{
    return (int32_t)std::lround(SND_UNITY_VOLUME * std::pow(10.0, hundredthsDb / 2000.0));
}

// Volume and pan as the voice's two volumes (a drives the right word of a stereo voice).
static void ApplyVolume(SAMPLEBUFFER *p)
{
    int32_t left = Gain(p->iVolume + (p->iPan > 0 ? -p->iPan : 0));
    int32_t right = Gain(p->iVolume + (p->iPan < 0 ? p->iPan : 0));
    Snd_SetVoiceVolume(&p->stVoice, right, left);
}

static void ResetVoice(SAMPLEBUFFER *p, int32_t index)
{
    std::memset(&p->stVoice, 0, sizeof p->stVoice);
    p->stVoice.iNumber = SND_SAMPLE_BUFFER_VOICE + index;
    p->stVoice.iPluginSlot = -1;
}

int Snd_AllocSampleBuffer(int32_t index)
{
    if (index < 0 || index >= SND_SAMPLE_BUFFERS)
        return -1;
    if (g_apSampleBuffers[index])
        Snd_ReleaseSampleBuffer(index);
    SAMPLEBUFFER *p = (SAMPLEBUFFER *)calloc(1, sizeof(SAMPLEBUFFER));
    if (!p) {
        STATUS("Couldn't allocate %d Bytes for Sample #%d", (int)sizeof(SAMPLEBUFFER), index);
        return -1;
    }
    snprintf(p->szName, sizeof p->szName, "No Sample Loaded");
    p->uIndex = (uint32_t)index;
    p->stDesc.uSize = 36;
    p->iNotify = -1;
    ResetVoice(p, index);
    p->uFrequency = 44100;
    Lock lock(g_csMix);
    g_apSampleBuffers[index] = p;
    g_iSampleBufferCount++;
    STATUS("Allocated %d Bytes for Sample #%d", (int)sizeof(SAMPLEBUFFER), index);
    return 0;
}

int Snd_TakeSampleBuffer(int32_t *pOut)
{
    for (int32_t i = 0; i < SND_SAMPLE_BUFFERS; i++) {
        if (g_apSampleBuffers[i])
            continue;
        if (Snd_AllocSampleBuffer(i) != 0)
            break;
        if (pOut)
            *pOut = i;
        STATUS("Allocated Sample #%d", i);
        return 0;
    }
    STATUS("Couldn't Allocate Sample #%d", g_iSampleBufferCount);
    return -1;
}

// Frees the entry's sound (stopping it first).
static void FreeSound(SAMPLEBUFFER *p)
{
    Lock lock(g_csMix);
    Snd_StopVoice(&p->stVoice);
    if (p->pBuffer) {
        Snd_FreeSampleData(p->pBuffer);
        free(p->pBuffer);
        p->pBuffer = nullptr;
    }
    if (p->iNotify >= 0 && p->iNotify < 2) {
        g_astSampleBufferNotify[p->iNotify].iEvent = -1;
        g_astSampleBufferNotify[p->iNotify].iSignalled = 0;
    }
    p->iNotify = -1;
    ResetVoice(p, (int32_t)p->uIndex);
}

int Snd_ReleaseSampleBuffer(int32_t index)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p)
        return -1;
    Lock lock(g_csMix);
    FreeSound(p);
    g_apSampleBuffers[index] = nullptr;
    g_iSampleBufferCount--;
    free(p);
    return 0;
}

int Snd_ReleaseAllSampleBuffers()
{
    Lock lock(g_csMix);
    for (int32_t i = 0; i < SND_SAMPLE_BUFFERS; i++) {
        if (Snd_ReleaseSampleBuffer(i) == 0)
            STATUS("Sample #%d Free'd", i);
    }
    for (SAMPLEBUFFERNOTIFY &n : g_astSampleBufferNotify) {
        n.iEvent = -1;
        n.iSignalled = 0;
    }
    return 0;
}

int Snd_FindFreeNotifySlot()
{
    for (int32_t i = 0; i < 2; i++)
        if (g_astSampleBufferNotify[i].iEvent == -1)
            return i;
    return -1;
}

int Snd_LoadSampleBufferAiff(int32_t index, const uint8_t *pImage, uint32_t size)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p)
        return -1;
    AIFFINFO info;
    if (Snd_ReadAiffInfo(pImage, size, &info) != 0)
        return -1;
    SAMPLESLOT *pSlot = (SAMPLESLOT *)calloc(1, sizeof(SAMPLESLOT));
    if (!pSlot)
        return -1;
    pSlot->uIndex = 0xFFFFFFFFu; // not in the slot table
    snprintf(pSlot->szName, sizeof pSlot->szName, "%s", p->szName);
    if (Snd_ParseAiff(pSlot, pImage, size) != 0) {
        free(pSlot);
        return -1;
    }
    // The whole sound loops; the markers only say where the loop end lies.
    pSlot->uFlags &= ~SAMPLE_LOOPS;
    pSlot->uLoopStartFrame = 0;
    Snd_ResetSamplePointers(pSlot);
    STATUS("Format:> Channels:%d Rate:%d Bits:%d", info.uChannels, (int)info.uRate, info.uBits);

    Lock lock(g_csMix);
    FreeSound(p);
    p->pBuffer = pSlot;
    p->stDesc.uChannels = info.uChannels > 1 ? 2 : 1;
    p->stDesc.uBits = 16;
    p->stDesc.uRate = pSlot->uRate;
    p->stDesc.uFlags = 0x10102;
    p->stDesc.uBufferBytes = pSlot->uFrames * FrameBytes(p);
    // Marker frames as offsets into the sound as held (converted rates scale them).
    auto toOffset = [&](uint32_t frame) {
        uint64_t f = (uint64_t)frame * pSlot->uRate / info.uRate;
        if (f > pSlot->uFrames)
            f = pSlot->uFrames;
        return (uint32_t)(f * FrameBytes(p));
    };
    p->uFlags = (info.bBeginLoop || info.bEndLoop) ? SAMPLEBUFFER_HAS_LOOP : 0;
    p->uLoopBegin = info.bBeginLoop ? toOffset(info.uBeginLoop) : 0;
    p->uLoopEnd = info.bEndLoop ? toOffset(info.uEndLoop) : p->stDesc.uBufferBytes;
    p->uFrequency = pSlot->uRate;
    if ((p->uFlags & SAMPLEBUFFER_HAS_LOOP) && g_iMixTimerMode == 1) {
        int32_t n = Snd_FindFreeNotifySlot();
        if (n >= 0) {
            g_astSampleBufferNotify[n].iEvent = n;
            g_astSampleBufferNotify[n].uOffset = p->uLoopEnd;
            g_astSampleBufferNotify[n].iSignalled = 0;
            p->iNotify = n;
        }
    }
    return 0;
}

int Snd_GetSampleBufferStatus(int32_t index)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !p->pBuffer) {
        STATUS("Couldn't Get Status of Sample #%d!\n", index);
        return -1;
    }
    Lock lock(g_csMix);
    if (!(p->stVoice.uState & VOICE_ACTIVE))
        return 0;
    return SAMPLEBUFFER_STATUS_PLAYING | ((p->stVoice.uFlags & SAMPLE_LOOPS) ? SAMPLEBUFFER_STATUS_LOOPING : 0);
}

int Snd_SetSampleBufferPosition(int32_t index, uint32_t offset)
{
    SAMPLEBUFFER *p = Entry(index);
    Lock lock(g_csMix);
    if (!p || !p->pBuffer || !p->stVoice.pStart || OffsetToFrame(p, offset) >= p->pBuffer->uFrames) {
        STATUS("Couldn't Set Current Position of Sample #%d!\n", index);
        return -1;
    }
    p->stVoice.pCurrent = p->stVoice.pStart + (size_t)OffsetToFrame(p, offset) * 4;
    p->stVoice.uFraction = 0;
    return 0;
}

int64_t Snd_GetSampleBufferPosition(int32_t index)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !p->pBuffer)
        return -1;
    Lock lock(g_csMix);
    return VoicePosition(p);
}

int Snd_PlaySampleBuffer(int32_t index, int32_t loop, uint32_t position)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !p->pBuffer) {
        STATUS("Can't Play Sample #%d, DSBuffer not created", index);
        return -1;
    }
    Lock lock(g_csMix);
    int status = Snd_GetSampleBufferStatus(index);
    if (status & SAMPLEBUFFER_STATUS_PLAYING) {
        if (Snd_SetSampleBufferPosition(index, position) != 0)
            return -1;
    } else {
        SAMPLESLOT *pSlot = p->pBuffer;
        bool loops = loop || (p->uFlags & SAMPLEBUFFER_HAS_LOOP);
        pSlot->uFlags = loops ? (pSlot->uFlags | SAMPLE_LOOPS) : (pSlot->uFlags & ~SAMPLE_LOOPS);
        Snd_ResetSamplePointers(pSlot);
        Snd_StartVoice(&p->stVoice, pSlot, VOICE_PREPARED);
        Snd_SetVoicePitch(&p->stVoice, (int32_t)p->uFrequency);
        ApplyVolume(p);
        Snd_StartVoice(&p->stVoice, pSlot, 0);
    }
    STATUS("Playing Sample #%d", index);
    return 0;
}

int Snd_StopSampleBuffer(int32_t index)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !p->pBuffer) {
        STATUS("Can't Stop Sample #%d, DSBuffer not created", index);
        return -1;
    }
    Lock lock(g_csMix);
    Snd_StopVoice(&p->stVoice);
    p->stVoice.pCurrent = p->stVoice.pStart;
    p->stVoice.uFraction = 0;
    return 0;
}

int Snd_FindSampleBuffer(const char *name, int32_t *pOut)
{
    for (int32_t i = 0; name && i < SND_SAMPLE_BUFFERS; i++) {
        if (g_apSampleBuffers[i] && !std::strcmp(g_apSampleBuffers[i]->szName, name)) {
            if (pOut)
                *pOut = i;
            STATUS("Search Found Sample #%d", i);
            return 0;
        }
    }
    return -1;
}

int Snd_DuplicateSampleBuffer(int32_t newIndex, int32_t source)
{
    SAMPLEBUFFER *pSource = Entry(source);
    if (!pSource || !pSource->pBuffer || newIndex == source || newIndex < 0 || newIndex >= SND_SAMPLE_BUFFERS)
        return -1;
    if (!g_apSampleBuffers[newIndex] && Snd_AllocSampleBuffer(newIndex) != 0)
        return -1;
    SAMPLEBUFFER *p = g_apSampleBuffers[newIndex];
    // An own copy of the sound: either entry may be released without the other.
    const SAMPLESLOT *pFrom = pSource->pBuffer;
    SAMPLESLOT *pSlot = (SAMPLESLOT *)calloc(1, sizeof(SAMPLESLOT));
    if (!pSlot || Snd_AllocSampleData(pSlot, pFrom->uFrames, true) != 0) {
        free(pSlot);
        return -1;
    }
    std::memcpy(pSlot->pData, pFrom->pData, (size_t)pFrom->uFrames * 4);
    pSlot->uFlags |= pFrom->uFlags & ~(SAMPLE_BORROWED | SAMPLE_LOOPS);
    pSlot->uRate = pFrom->uRate;
    pSlot->uIndex = 0xFFFFFFFFu;
    Snd_ResetSamplePointers(pSlot);

    Lock lock(g_csMix);
    FreeSound(p);
    p->pBuffer = pSlot;
    p->stDesc = pSource->stDesc;
    p->uFlags = pSource->uFlags;
    p->uLoopBegin = pSource->uLoopBegin;
    p->uLoopEnd = pSource->uLoopEnd;
    p->iVolume = pSource->iVolume;
    p->iPan = pSource->iPan;
    p->uFrequency = pSource->uFrequency;
    snprintf(p->szName, sizeof p->szName, "Instance of %.240s", pSource->szName);
    snprintf(pSlot->szName, sizeof pSlot->szName, "%s", p->szName);
    return 0;
}

int Snd_FindOrCreateSampleBuffer(const char *name, const uint8_t *pImage, uint32_t size)
{
    if (!name)
        return -1;
    int32_t found = -1, index = -1;
    if (Snd_FindSampleBuffer(name, &found) == 0) {
        STATUS("Found Sample %s, Duplicating...", name);
        if (Snd_TakeSampleBuffer(&index) != 0) {
            STATUS("Can't Duplicate Sample #%s", name);
            return -1;
        }
        if (Snd_DuplicateSampleBuffer(index, found) != 0) {
            Snd_ReleaseSampleBuffer(index);
            STATUS("Can't Duplicate Sample #%d", found);
            return -1;
        }
        return index;
    }
    STATUS("Can't Find Sample %s, Creating...", name);
    if (Snd_TakeSampleBuffer(&index) != 0)
        return -1;
    snprintf(g_apSampleBuffers[index]->szName, sizeof g_apSampleBuffers[index]->szName, "%s", name);
    if (pImage && Snd_LoadSampleBufferAiff(index, pImage, size) != 0) {
        Snd_ReleaseSampleBuffer(index);
        return -1;
    }
    STATUS("Successfully Created Sample %s", name);
    return index;
}

int Snd_SetSampleBufferVolume(int32_t index, int32_t volume)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p)
        return -1;
    Lock lock(g_csMix);
    p->iVolume = volume < -10000 ? -10000 : volume > 0 ? 0 : volume;
    ApplyVolume(p);
    return 0;
}

int Snd_GetSampleBufferVolume(int32_t index, int32_t *pOut)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !pOut)
        return -1;
    *pOut = p->iVolume;
    return 0;
}

int Snd_SetSampleBufferPan(int32_t index, int32_t pan)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p)
        return -1;
    Lock lock(g_csMix);
    p->iPan = pan < -10000 ? -10000 : pan > 10000 ? 10000 : pan;
    ApplyVolume(p);
    return 0;
}

int Snd_GetSampleBufferPan(int32_t index, int32_t *pOut)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !pOut)
        return -1;
    *pOut = p->iPan;
    return 0;
}

int Snd_SetSampleBufferFrequency(int32_t index, uint32_t frequency)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || frequency < (uint32_t)MIN_FREQUENCY || frequency > (uint32_t)MAX_FREQUENCY)
        return -1;
    Lock lock(g_csMix);
    p->uFrequency = frequency;
    Snd_SetVoicePitch(&p->stVoice, (int32_t)frequency);
    return 0;
}

int Snd_GetSampleBufferFrequency(int32_t index, uint32_t *pOut)
{
    SAMPLEBUFFER *p = Entry(index);
    if (!p || !pOut)
        return -1;
    *pOut = p->uFrequency;
    return 0;
}

void Snd_MixSampleBuffers()
{
    Lock lock(g_csMix);
    for (SAMPLEBUFFER *p : g_apSampleBuffers) {
        if (!p || !p->pBuffer || !(p->stVoice.uState & VOICE_ACTIVE))
            continue;
        int64_t before = VoicePosition(p);
        Snd_MixVoice(&p->stVoice);
        int64_t after = VoicePosition(p);
        bool ended = !(p->stVoice.uState & VOICE_ACTIVE);
        if (p->iNotify < 0 || p->iNotify >= 2)
            continue;
        SAMPLEBUFFERNOTIFY &n = g_astSampleBufferNotify[p->iNotify];
        int64_t at = n.uOffset;
        bool wrapped = after < before || ended;
        // Passed when the block ran from before the offset to it or beyond, or wrapped over it.
        if ((before < at && (after >= at || wrapped)) || (wrapped && after >= at))
            n.iSignalled++;
    }
}
