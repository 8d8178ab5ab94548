#include "audio/sampleslot.h"

#include "app/settings.h"
#include "audio/adpcm.h"
#include "audio/mixer.h"
#include "audio/aiff.h"
#include "core/file.h"
#include "core/mixlock.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

SAMPLESLOT **g_ppSampleSlots;
int32_t g_iSampleSlotCount;
SAMPLESLOT g_astInterfaceSounds[5];

// Larger data than this is refused: offsets inside the mixer stay far from overflow.
static constexpr uint64_t MAX_SAMPLE_BYTES = 1ull << 30;

int Snd_AllocSampleTable(int32_t slotCount)
{
    if (slotCount <= 0 || slotCount > 65536)
        return -1;
    Snd_FreeSampleTable();
    g_ppSampleSlots = (SAMPLESLOT **)calloc((size_t)slotCount, sizeof(SAMPLESLOT *));
    if (!g_ppSampleSlots)
        return -1;
    g_iSampleSlotCount = slotCount;
    return 0;
}

void Snd_FreeSampleTable()
{
    Snd_FreeAllSamples();
    free(g_ppSampleSlots);
    g_ppSampleSlots = nullptr;
    g_iSampleSlotCount = 0;
}

int Snd_AllocSampleSlot(SAMPLESLOT **ppOut)
{
    for (int32_t i = 0; i < g_iSampleSlotCount; i++) {
        if (g_ppSampleSlots[i])
            continue;
        SAMPLESLOT *pSlot = (SAMPLESLOT *)calloc(1, sizeof(SAMPLESLOT));
        if (!pSlot)
            return -1;
        pSlot->uIndex = (uint32_t)i;
        g_ppSampleSlots[i] = pSlot;
        if (ppOut)
            *ppOut = pSlot;
        return i;
    }
    return -1;
}

// Another table slot that borrows pSlot's data, or null.
static SAMPLESLOT *Borrower(const SAMPLESLOT *pSlot)
{
    for (int32_t i = 0; i < g_iSampleSlotCount; i++) {
        SAMPLESLOT *p = g_ppSampleSlots[i];
        if (p && p != pSlot && (p->uFlags & SAMPLE_BORROWED) && p->pData == pSlot->pData)
            return p;
    }
    return nullptr;
}

void Snd_FreeSampleData(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_StopSampleVoices(pSlot);
    if (!(pSlot->uFlags & SAMPLE_BORROWED) && pSlot->pData) {
        if (SAMPLESLOT *pHeir = Borrower(pSlot)) {
            // A duplicate still plays this data: it becomes the owner.
            pHeir->uFlags &= ~SAMPLE_BORROWED;
        } else {
            uint32_t frameBytes = (pSlot->uFlags & SAMPLE_STEREO) ? 4 : 2;
            Snd_ForgetSampleData(pSlot->pData, (size_t)pSlot->uFrames * frameBytes);
            free(pSlot->pData);
        }
    }
    pSlot->pData = nullptr;
    pSlot->uFrames = 0;
    pSlot->pCurrent = pSlot->pEnd = pSlot->pStart = pSlot->pLoop = nullptr;
    pSlot->uFlags &= ~SAMPLE_BORROWED;
}

// Names the voices that a free is about to stop.
static void LogStoppedVoices(const SAMPLESLOT *pSlot)
{
    char text[SYS_ERRORTEXT_SIZE];
    int len = 0;
    for (int n = 0; n < 128; n++) {
        if (!(pSlot->auVoiceMask[n / 32] & (1u << (n % 32))))
            continue;
        if (len == 0)
            len = snprintf(text, sizeof text, "Stopping Sample Channel ");
        if (len < (int)sizeof text)
            len += snprintf(text + len, sizeof text - (size_t)len, "(%d) ", n);
    }
    if (len > 0)
        snprintf(g_szErrorText, sizeof g_szErrorText, "%s", text);
}

int Snd_FreeSample(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    LogStoppedVoices(pSlot);
    Snd_FreeSampleData(pSlot);
    if (pSlot->uIndex < (uint32_t)g_iSampleSlotCount && g_ppSampleSlots[pSlot->uIndex] == pSlot) {
        g_ppSampleSlots[pSlot->uIndex] = nullptr;
        free(pSlot);
    }
    return 0;
}

void Snd_FreeAllSamples()
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    for (int32_t i = 0; i < g_iSampleSlotCount; i++)
        Snd_FreeSample(g_ppSampleSlots[i]);
}

int Snd_AllocSampleData(SAMPLESLOT *pSlot, uint32_t frames, bool stereo)
{
    if (!pSlot)
        return -1;
    uint64_t bytes = (uint64_t)frames * (stereo ? 4 : 2);
    if (bytes > MAX_SAMPLE_BYTES)
        return -1;
    uint8_t *pData = (uint8_t *)calloc(1, (size_t)bytes + SAMPLE_GUARD_BYTES);
    if (!pData)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_FreeSampleData(pSlot);
    pSlot->pData = pData;
    pSlot->uFrames = frames;
    pSlot->uFlags = stereo ? (pSlot->uFlags | SAMPLE_STEREO) : (pSlot->uFlags & ~SAMPLE_STEREO);
    Snd_ResetSamplePointers(pSlot);
    return 0;
}

void Snd_ResetSamplePointers(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return;
    uint32_t frameBytes = (pSlot->uFlags & SAMPLE_STEREO) ? 4 : 2;
    pSlot->pStart = pSlot->pCurrent = pSlot->pData;
    if (!pSlot->pData) {
        pSlot->pEnd = pSlot->pLoop = nullptr;
        return;
    }
    pSlot->pEnd = pSlot->pData + (size_t)pSlot->uFrames * frameBytes;
    uint32_t loopFrame = (pSlot->uFlags & SAMPLE_LOOPS) ? pSlot->uLoopStartFrame : 0;
    if (loopFrame >= pSlot->uFrames)
        loopFrame = 0;
    pSlot->pLoop = pSlot->pData + (size_t)loopFrame * frameBytes;
}

// ---------------------------------------------------------------------------------------------
// Loaders

static inline uint32_t FrameBytes(const SAMPLESLOT *pSlot)
{
    return (pSlot->uFlags & SAMPLE_STEREO) ? 4 : 2;
}

// Fills a fresh stereo buffer from 16-bit mono samples and puts it in the slot, keeping its loop.
static int SetStereoFromMono(SAMPLESLOT *pSlot, const int16_t *pMono, uint32_t frames)
{
    uint8_t *pData = (uint8_t *)calloc(1, (size_t)frames * 4 + SAMPLE_GUARD_BYTES);
    if (!pData) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "Out of memory for sample (%s)", pSlot->szName);
        return -1;
    }
    for (uint32_t i = 0; i < frames; i++) {
        uint16_t v = (uint16_t)pMono[i];
        uint8_t *f = pData + (size_t)i * 4;
        f[0] = f[2] = (uint8_t)v;
        f[1] = f[3] = (uint8_t)(v >> 8);
    }
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    uint32_t flags = pSlot->uFlags;
    uint32_t loopFrame = pSlot->uLoopStartFrame;
    Snd_FreeSampleData(pSlot);
    pSlot->uFlags = (flags & ~SAMPLE_BORROWED) | SAMPLE_STEREO;
    pSlot->uLoopStartFrame = loopFrame;
    pSlot->pData = pData;
    pSlot->uFrames = frames;
    Snd_ResetSamplePointers(pSlot);
    return 0;
}

static bool FitsInMemory(const SAMPLESLOT *pSlot, uint64_t frames)
{
    if (frames * 4 <= MAX_SAMPLE_BYTES)
        return true;
    snprintf(g_szErrorText, sizeof g_szErrorText, "Sample too large (%s)", pSlot->szName);
    return false;
}

static bool HasData(const SAMPLESLOT *pSlot, const void *pData, uint32_t size)
{
    if (!size || pData)
        return true;
    snprintf(g_szErrorText, sizeof g_szErrorText, "No sample data (%s)", pSlot->szName);
    return false;
}

int Snd_LoadRawMemory(SAMPLESLOT *pSlot, const void *pData, uint32_t size)
{
    if (!pSlot || !HasData(pSlot, pData, size))
        return -1;
    uint32_t frames = size / 2;
    if (!FitsInMemory(pSlot, frames))
        return -1;
    // Little-endian words, whatever their alignment in the caller's buffer.
    int16_t *pMono = (int16_t *)malloc((size_t)frames * 2 + 2);
    if (!pMono)
        return -1;
    const uint8_t *b = (const uint8_t *)pData;
    for (uint32_t i = 0; i < frames; i++)
        pMono[i] = (int16_t)(uint16_t)(b[2 * i] | b[2 * i + 1] << 8);
    int result = SetStereoFromMono(pSlot, pMono, frames);
    free(pMono);
    if (result != 0)
        return -1;
    pSlot->uBytes = size;
    pSlot->uRate = 44100;
    return 0;
}

// Reads a whole host file named by path ('\' or '/', any case) into a new buffer. The size read
// must be the size the file said it had.
static uint8_t *ReadWholeFile(const char *path, uint32_t *pSize)
{
    char host[SYS_HOSTPATH_SIZE];
    if (!path || !path[0] || Sys_HostPath(path, host, sizeof host) != 0) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s).", path ? path : "");
        return nullptr;
    }
    FILE *f = fopen(host, "rb");
    struct stat st;
    if (!f || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (f)
            fclose(f);
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s).", path);
        return nullptr;
    }
    if ((uint64_t)st.st_size > SAMPLE_MAX_FILE_BYTES) {
        fclose(f);
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). Too large.", path);
        return nullptr;
    }
    uint32_t size = (uint32_t)st.st_size;
    uint8_t *pBuffer = (uint8_t *)malloc(size ? size : 1);
    size_t got = pBuffer ? fread(pBuffer, 1, size, f) : 0;
    fclose(f);
    if (!pBuffer || got != size) {
        free(pBuffer);
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). Read failed.", path);
        return nullptr;
    }
    *pSize = size;
    return pBuffer;
}

// Reads the slot's file whole and hands its bytes to one of the memory loaders.
static int LoadSlotFile(SAMPLESLOT *pSlot, int (*load)(SAMPLESLOT *, const void *, uint32_t))
{
    if (!pSlot)
        return -1;
    uint32_t size = 0;
    uint8_t *pBuffer = ReadWholeFile(pSlot->szName, &size);
    if (!pBuffer)
        return -1;
    int result = load(pSlot, pBuffer, size);
    free(pBuffer);
    return result;
}

int Snd_LoadRawFile(SAMPLESLOT *pSlot)
{
    return LoadSlotFile(pSlot, Snd_LoadRawMemory);
}

int Snd_LoadAiffFile(SAMPLESLOT *pSlot)
{
    return LoadSlotFile(pSlot, [](SAMPLESLOT *pS, const void *pData, uint32_t size) {
        return Snd_ParseAiff(pS, static_cast<const uint8_t *>(pData), size);
    });
}

int Snd_LoadAdpcm(SAMPLESLOT *pSlot, const void *pData, uint32_t size)
{
    if (!pSlot || !HasData(pSlot, pData, size))
        return -1;
    uint64_t need = Snd_AdpcmMaxSamples(size);
    if (!FitsInMemory(pSlot, need))
        return -1;
    uint32_t capacity = (uint32_t)need;
    int16_t *pMono = (int16_t *)malloc((size_t)capacity * 2 + 2);
    if (!pMono)
        return -1;
    ADPCMDECODE info;
    int result = Snd_DecodeAdpcm((const uint8_t *)pData, size, pMono, capacity, &info);
    if (result == 0) {
        uint32_t flags = pSlot->uFlags, loopFrame = pSlot->uLoopStartFrame;
        pSlot->uFlags = info.bLoops ? (flags | SAMPLE_LOOPS) : (flags & ~SAMPLE_LOOPS);
        pSlot->uLoopStartFrame = info.bLoops ? info.uLoopStartFrame : 0;
        result = SetStereoFromMono(pSlot, pMono, info.uSamples);
        if (result != 0) {
            pSlot->uFlags = flags;
            pSlot->uLoopStartFrame = loopFrame;
        }
    }
    free(pMono);
    return result;
}

int Snd_LoadSample(SAMPLESLOT **ppOut, const char *name, const void *pData, uint32_t size, uint32_t format)
{
    SAMPLESLOT *pSlot = nullptr;
    if (Snd_AllocSampleSlot(&pSlot) < 0)
        return -1;
    snprintf(pSlot->szName, sizeof pSlot->szName, "%s", name ? name : "");
    pSlot->uFlags = SAMPLE_LOADED;
    int result;
    switch (format) {
    case SAMPLE_FORMAT_AIFF_FILE: result = Snd_LoadAiffFile(pSlot); break;
    case SAMPLE_FORMAT_AIFF_MEMORY:
        result = HasData(pSlot, pData, size) ? Snd_ParseAiff(pSlot, (const uint8_t *)pData, size) : -1;
        break;
    case SAMPLE_FORMAT_ADPCM_MEMORY: result = Snd_LoadAdpcm(pSlot, pData, size); break;
    case SAMPLE_FORMAT_RAW_FILE: result = Snd_LoadRawFile(pSlot); break;
    case SAMPLE_FORMAT_RAW_MEMORY: result = Snd_LoadRawMemory(pSlot, pData, size); break;
    default:
        snprintf(g_szErrorText, sizeof g_szErrorText, "Unknown sample format %u (%s)", format, pSlot->szName);
        result = -1;
        break;
    }
    if (result != 0) {
        // A slot without data helps no caller: it would only sit in the table until a full reset.
        Snd_FreeSample(pSlot);
        return -1;
    }
    if (ppOut)
        *ppOut = pSlot;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Widening, narrowing and loops

int Snd_WidenSample(SAMPLESLOT *pSlot)
{
    if (!pSlot || !pSlot->pData)
        return -1;
    if (pSlot->uFlags & SAMPLE_STEREO)
        return 0;
    // Mono data is whole 16-bit words; the slot keeps it until the stereo copy is made.
    int16_t *pMono = (int16_t *)malloc((size_t)pSlot->uFrames * 2 + 2);
    if (!pMono)
        return -1;
    std::memcpy(pMono, pSlot->pData, (size_t)pSlot->uFrames * 2);
    int result = SetStereoFromMono(pSlot, pMono, pSlot->uFrames);
    free(pMono);
    return result;
}

int Snd_NarrowSample(SAMPLESLOT *pSlot)
{
    if (!pSlot || !pSlot->pData)
        return -1;
    if (!(pSlot->uFlags & SAMPLE_STEREO))
        return 0;
    uint32_t frames = pSlot->uFrames;
    uint8_t *pData = (uint8_t *)calloc(1, (size_t)frames * 2 + SAMPLE_GUARD_BYTES);
    if (!pData)
        return -1;
    for (uint32_t i = 0; i < frames; i++)
        std::memcpy(pData + (size_t)i * 2, pSlot->pData + (size_t)i * 4, 2);
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    uint32_t flags = pSlot->uFlags, loopFrame = pSlot->uLoopStartFrame;
    Snd_FreeSampleData(pSlot);
    pSlot->uFlags = flags & ~(SAMPLE_STEREO | SAMPLE_BORROWED);
    pSlot->uLoopStartFrame = loopFrame;
    pSlot->pData = pData;
    pSlot->uFrames = frames;
    Snd_ResetSamplePointers(pSlot);
    return 0;
}

int Snd_CopySampleLeft(int16_t *pDest, const SAMPLESLOT *pSlot)
{
    if (!pDest || !pSlot || !pSlot->pData)
        return -1;
    uint32_t step = FrameBytes(pSlot);
    for (uint32_t i = 0; i < pSlot->uFrames; i++)
        std::memcpy(&pDest[i], pSlot->pData + (size_t)i * step, 2);
    return 0;
}

int Snd_SetLoopPointer(SAMPLESLOT *pHeader, uint32_t frame, int on)
{
    if (!pHeader)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    if (on) {
        pHeader->uFlags |= SAMPLE_LOOPS;
        if (frame >= pHeader->uFrames)
            frame = 0;
        pHeader->pLoop = pHeader->pStart ? pHeader->pStart + (size_t)frame * FrameBytes(pHeader) : nullptr;
    } else {
        pHeader->uFlags &= ~SAMPLE_LOOPS;
        pHeader->pLoop = pHeader->pStart;
    }
    return 0;
}

int Snd_SetSampleLoop(SAMPLESLOT *pSlot, uint32_t frame, int on)
{
    if (!pSlot)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    pSlot->uLoopStartFrame = on ? (frame < pSlot->uFrames ? frame : 0) : 0;
    return Snd_SetLoopPointer(pSlot, pSlot->uLoopStartFrame, on);
}

int Snd_FindSampleById(SAMPLESLOT **ppOut, uint32_t id)
{
    for (int32_t i = 0; i < g_iSampleSlotCount; i++) {
        SAMPLESLOT *pSlot = g_ppSampleSlots[i];
        if (pSlot && pSlot->uSampleId == id) {
            if (ppOut)
                *ppOut = pSlot;
            return i;
        }
    }
    return -1;
}

int Snd_FindSampleByName(SAMPLESLOT **ppOut, const char *name)
{
    if (!name)
        return -1;
    for (int32_t i = 0; i < g_iSampleSlotCount; i++) {
        SAMPLESLOT *pSlot = g_ppSampleSlots[i];
        if (pSlot && std::strcmp(pSlot->szName, name) == 0) {
            if (ppOut)
                *ppOut = pSlot;
            return i;
        }
    }
    return -1;
}

int Snd_GetSample(SAMPLESLOT **ppOut, int32_t index)
{
    if (!ppOut || index < 0 || index >= g_iSampleSlotCount || !g_ppSampleSlots[index])
        return -1;
    *ppOut = g_ppSampleSlots[index];
    return index;
}

int Snd_DuplicateSample(SAMPLESLOT **ppOut, SAMPLESLOT *pSource)
{
    if (!pSource)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    SAMPLESLOT *pSlot = nullptr;
    int index = Snd_AllocSampleSlot(&pSlot);
    if (index < 0)
        return -1;
    *pSlot = *pSource;
    pSlot->uIndex = (uint32_t)index;
    // The voices playing the source are not the duplicate's.
    std::memset(pSlot->auVoiceMask, 0, sizeof pSlot->auVoiceMask);
    char suffix[32];
    snprintf(suffix, sizeof suffix, " Duplicate #%u", pSource->uDuplicates);
    // A long name is cut, never the number.
    const size_t keep = std::min(std::strlen(pSource->szName), sizeof pSlot->szName - 1 - std::strlen(suffix));
    std::memcpy(pSlot->szName, pSource->szName, keep);
    std::memcpy(pSlot->szName + keep, suffix, std::strlen(suffix) + 1);
    pSource->uDuplicates++;
    if (pSlot->pData)
        pSlot->uFlags |= SAMPLE_BORROWED;
    if (ppOut)
        *ppOut = pSlot;
    return index;
}

int Snd_StretchSamples(const int16_t *pSource, uint32_t sourceLength, int16_t **ppOut, uint32_t n)
{
    if (!pSource || !ppOut || sourceLength == 0 || n == 0)
        return -1;
    int16_t *pOut = (int16_t *)malloc((size_t)n * 2);
    if (!pOut)
        return -1;
    // Nearest neighbour by an accumulator: each output takes the current source sample; the
    // source moves on by as many samples as the output has passed (more than one when squeezing).
    // Output i takes source sample i x length / n: moving on at zero as well keeps a stretch to
    // the same length whole, where moving only below zero would repeat the first sample and drop
    // the last.
    int64_t acc = n;
    uint32_t at = 0;
    for (uint32_t i = 0; i < n; i++) {
        pOut[i] = pSource[at < sourceLength ? at : sourceLength - 1];
        acc -= sourceLength;
        while (acc <= 0) {
            acc += n;
            at++;
        }
    }
    *ppOut = pOut;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Interface sounds

static const char *const s_apszInterfaceSoundFiles[5] = {
    "boot\\confirm1.bin", "boot\\select1.bin", "boot\\move.bin", "boot\\bad.bin", "boot\\cancel.bin",
};

// The header before the ADPCM data; its content is not used.
static constexpr uint32_t INTERFACE_SOUND_HEADER = 48;

int Snd_LoadInterfaceSounds()
{
    for (int n = 0; n < 5; n++) {
        SAMPLESLOT *pSlot = &g_astInterfaceSounds[n];
        Snd_FreeSampleData(pSlot);
        std::memset(pSlot, 0, sizeof *pSlot);
        uint32_t size = 0;
        uint8_t *pFile = ReadWholeFile(Sys_MakeDataPath(s_apszInterfaceSoundFiles[n]), &size);
        if (!pFile)
            continue;
        if (size < INTERFACE_SOUND_HEADER) {
            snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). Too short.",
                     s_apszInterfaceSoundFiles[n]);
        } else {
            snprintf(pSlot->szName, sizeof pSlot->szName, "%s", s_apszInterfaceSoundFiles[n]);
            pSlot->uFlags = SAMPLE_LOADED;
            if (Snd_LoadAdpcm(pSlot, pFile + INTERFACE_SOUND_HEADER, size - INTERFACE_SOUND_HEADER) == 0)
                pSlot->uRate = 11025;
            else
                std::memset(pSlot, 0, sizeof *pSlot);
        }
        free(pFile);
    }
    return 0;
}

void Snd_FreeInterfaceSounds()
{
    for (SAMPLESLOT &slot : g_astInterfaceSounds)
        Snd_FreeSampleData(&slot);
}
