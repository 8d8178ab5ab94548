#include "audio/import.h"

#include "audio/sampleslot.h"
#include "audio/wav.h"
#include "core/file.h"
#include "core/mixlock.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

// Registers a loaded slot with the song: a sample record and an instrument under one new id.
// The editor takes the rate from the loaded sample. On failure the slot is freed.
static int32_t RegisterSample(SAMPLESLOT *pSlot, int32_t rate)
{
    Snd_ResetSamplePointers(pSlot);
    pSlot->uRate = (uint32_t)rate;
    // Checked before anything is taken, so that a refusal leaves the song as it was.
    int32_t id = Seq_NewSampleId();
    if (id == 0 || g_uSampleCount >= SEQ_MAX_SAMPLES) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "No room for another sample in the song (%s)", pSlot->szName);
        Snd_FreeSample(pSlot);
        return -1;
    }
    int32_t instrument = Seq_AllocInstrumentSlot();
    if (instrument < 1 || instrument >= SEQ_NO_INSTRUMENT) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "No free instrument for sample (%s)", pSlot->szName);
        Snd_FreeSample(pSlot);
        return SEQ_NO_INSTRUMENT;
    }
    int32_t record = Seq_AddSampleRecord(pSlot->uFrames * 2);
    if (record < 0) {
        std::memset(&g_aInstrumentSlots[instrument], 0, sizeof(INSTRUMENTSLOT));
        Snd_FreeSample(pSlot);
        return -1;
    }
    SAMPLEENTRY &entry = g_aSamples[record];
    entry.uLength = pSlot->uFrames;
    entry.iSampleId = (int16_t)id;
    Seq_MakeDefaultName(entry.szName, 3);

    INSTRUMENTSLOT &slot = g_aInstrumentSlots[instrument];
    slot.uMark = 0;
    slot.iSampleId = (int16_t)id;
    slot.ucKey1 = 255;
    slot.uKey2 = 0xFFFF;
    slot.uKey3 = 0xFFFF;
    slot.pszName = entry.szName;
    slot.pCommands = nullptr;
    slot.ucCommandCount = 0;
    slot.cSampleState = SAMPLE_STATE_OWN; // the sample editor records no commands for it
    g_uInstrumentCount++;

    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    pSlot->uSampleId = (uint32_t)id;
    return instrument;
}

int32_t Snd_ImportRawSample(const char *fileName, const void *pData, uint32_t size, int32_t rate)
{
    if (rate <= 0) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "Bad sample rate %d (%s)", rate, fileName ? fileName : "");
        return -1;
    }
    uint32_t format = (pData || size) ? SAMPLE_FORMAT_RAW_MEMORY : SAMPLE_FORMAT_RAW_FILE;
    SAMPLESLOT *pSlot = nullptr;
    if (Snd_LoadSample(&pSlot, fileName, pData, size, format) != 0)
        return -1;
    return RegisterSample(pSlot, rate);
}

// One channel of a WAV file as an instrument. The samples are rewritten in place as the
// little-endian bytes the raw loader reads.
static int32_t ImportChannel(const char *fileName, int16_t *pSamples, int frames, int rate)
{
    uint8_t *pBytes = (uint8_t *)pSamples;
    for (int i = 0; i < frames; i++) {
        uint16_t v = (uint16_t)pSamples[i];
        pBytes[2 * i] = (uint8_t)v;
        pBytes[2 * i + 1] = (uint8_t)(v >> 8);
    }
    SAMPLESLOT *pSlot = nullptr;
    if (Snd_LoadSample(&pSlot, fileName, pBytes, (uint32_t)frames * 2, SAMPLE_FORMAT_RAW_MEMORY) != 0)
        return -1;
    return RegisterSample(pSlot, rate);
}

int32_t Snd_ImportWavSample(const char *fileName)
{
    if (Snd_WavOpenRead(fileName) != 0) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). %s", fileName ? fileName : "",
                 Snd_WavErrorText());
        return -1;
    }
    int16_t *pLeft = nullptr, *pRight = nullptr;
    int frames = 0, rate = 0;
    Snd_WavReadData(&pLeft, &pRight, &frames, &rate);
    Snd_WavCloseRead();
    int32_t result = -1;
    if (!pLeft || frames <= 0 || rate <= 0) {
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). %s", fileName,
                 Snd_WavErrorText()[0] ? Snd_WavErrorText() : "No samples.");
    } else {
        result = ImportChannel(fileName, pLeft, frames, rate);
        if (pRight && result >= 1 && result < SEQ_NO_INSTRUMENT) {
            int32_t second = ImportChannel(fileName, pRight, frames, rate);
            // The left instrument is whole on its own; it stays the answer if the right fails.
            if (second >= 1 && second < SEQ_NO_INSTRUMENT)
                result = second;
        }
    }
    free(pLeft);
    free(pRight);
    return result;
}

int32_t Snd_AppendRawFile(const char *fileName, SAMPLESLOT *pSlot)
{
    if (!pSlot || !fileName)
        return -1;
    char host[SYS_HOSTPATH_SIZE];
    FILE *f = Sys_HostPath(fileName, host, sizeof host) == 0 ? fopen(host, "rb") : nullptr;
    struct stat st;
    if (!f || fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || (uint64_t)st.st_size > SAMPLE_MAX_FILE_BYTES) {
        if (f)
            fclose(f);
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s).", fileName);
        return -1;
    }
    uint32_t fileBytes = (uint32_t)st.st_size;
    bool stereo = (pSlot->uFlags & SAMPLE_STEREO) != 0;
    uint32_t oldFrames = pSlot->pData ? pSlot->uFrames : 0;
    uint64_t bytes = (uint64_t)fileBytes + (uint64_t)oldFrames * 2;
    uint64_t frames = bytes / 2;
    if (frames > 0xFFFFFFFFull) {
        fclose(f);
        return -1;
    }
    SAMPLESLOT fresh;
    std::memset(&fresh, 0, sizeof fresh);
    uint8_t *pFile = (uint8_t *)malloc(fileBytes ? fileBytes : 1);
    if (!pFile || Snd_AllocSampleData(&fresh, (uint32_t)frames, stereo) != 0) {
        free(pFile);
        fclose(f);
        snprintf(g_szErrorText, sizeof g_szErrorText, "Out of memory for sample (%s)", pSlot->szName);
        return -1;
    }
    size_t got = fread(pFile, 1, fileBytes, f);
    fclose(f);
    if (got != fileBytes) {
        free(pFile);
        Snd_FreeSampleData(&fresh);
        snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). Read failed.", fileName);
        return -1;
    }
    uint32_t frameBytes = stereo ? 4 : 2;
    if (oldFrames)
        std::memcpy(fresh.pData, pSlot->pData, (size_t)oldFrames * frameBytes);
    // The file's words follow the old data; a stereo slot plays each on both sides.
    for (uint64_t i = oldFrames; i < frames; i++) {
        const uint8_t *w = pFile + (i - oldFrames) * 2;
        uint8_t *d = fresh.pData + i * frameBytes;
        d[0] = w[0];
        d[1] = w[1];
        if (stereo) {
            d[2] = w[0];
            d[3] = w[1];
        }
    }
    free(pFile);

    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    uint32_t flags = pSlot->uFlags, loopFrame = pSlot->uLoopStartFrame;
    Snd_FreeSampleData(pSlot);
    pSlot->uFlags = flags & ~SAMPLE_BORROWED;
    pSlot->uLoopStartFrame = loopFrame;
    pSlot->pData = fresh.pData;
    pSlot->uFrames = fresh.uFrames;
    pSlot->uBytes = (uint32_t)bytes;
    Snd_ResetSamplePointers(pSlot);
    return 1;
}
