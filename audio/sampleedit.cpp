// The sample editor's state, operations, command chains and view.
#include "audio/sampleedit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "audio/effects.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/consolelib.h"
#include "core/mixlock.h"
#include "render/textures.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/undo.h"
#include "video/lanes.h"
#include "video/respages.h"

int32_t g_iSampleEditorState = EDIT_CLOSED;
SAMPLESLOT *g_pEditSample = nullptr;
int32_t g_iEditInstrument = 0;
int32_t g_iEditFrames = 0;
int32_t g_iEditLoopMarker = -1;
int32_t g_iEditRateCode = 3;
int32_t g_iEditRateFactor = 512 << 3;
int32_t g_bEditEdited = 0;
int32_t g_iEditSampleIndex = -1;
int32_t g_iEditViewFirst = 0, g_iEditViewLast = 0;
int32_t g_iEditSelFirst = 0, g_iEditSelLast = 0;
int32_t g_bEditWholeSample = 0;
int32_t g_bEditPreviewOn = 0;
int32_t g_aiEditEffectValues[EDIT_MAX_EFFECT_ROWS];
char g_szEditMessage[64];
uint8_t *g_pEditPicture = nullptr;
uint16_t g_auEditPalette[16];
int32_t g_iEditPictureUploads = 0;
uint8_t g_aucEditColumnLevel[EDIT_PICTURE_WIDTH];
EDITCLIPBOARD g_stEditClipboard;

namespace {

constexpr uint32_t EDIT_BUFFER_BYTES = 25092;
constexpr uint32_t SCRATCH_BYTES = 25088;
constexpr uint32_t SMALL_BUFFER_BYTES = 7168;
constexpr int32_t FADE_MAX = 64;

uint8_t *s_pEditBuffer = nullptr;
uint8_t *s_pScratch = nullptr;
uint8_t *s_pSmallBuffer = nullptr;

const COMMANDENTRY *s_pLastCommand = nullptr; // first entry of the chain's last command

struct Snapshot
{
    int16_t *pData = nullptr;
    int32_t iFrames = 0;
    int32_t iMarker = -1;
    int32_t iSelFirst = 0, iSelLast = 0;
} s_snapshot;

// Samples a loop cross-fade replaced, so the next one can put them back first.
struct FadeSave
{
    int32_t iPosition = -1;
    int32_t iLength = 0;
    int32_t bTwoSided = 0;
    int32_t iFrames = 0; // the data length it was taken from
    int16_t aAfter[FADE_MAX];
    int16_t aEnd[FADE_MAX];
    int16_t aBefore[FADE_MAX];
} s_fade;

inline int16_t *Samples()
{
    return g_pEditSample ? (int16_t *)g_pEditSample->pData : nullptr;
}

inline int16_t Clamp16(int64_t v)
{
    return (int16_t)(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

bool Recordable()
{
    if (g_iEditInstrument < 0 || g_iEditInstrument >= SEQ_INSTRUMENT_SLOTS)
        return false;
    const int8_t state = g_aInstrumentSlots[g_iEditInstrument].cSampleState;
    return state >= 0 && state < SAMPLE_STATE_OWN;
}

// Inclusive range held to the data; false when nothing of it is inside.
bool HoldRange(int32_t &a1, int32_t &a2)
{
    if (!Samples() || g_iEditFrames <= 0)
        return false;
    a1 = std::max(a1, 0);
    a2 = std::min(a2, g_iEditFrames - 1);
    return a1 <= a2;
}

// Range that stops before a2.
bool HoldHalfOpen(int32_t &a1, int32_t &a2)
{
    if (!Samples() || g_iEditFrames <= 0)
        return false;
    a1 = std::max(a1, 0);
    a2 = std::min(a2, g_iEditFrames);
    return a1 < a2;
}

void ForgetFade()
{
    s_fade.iPosition = -1;
}

void FreeSnapshot()
{
    free(s_snapshot.pData);
    s_snapshot = Snapshot{};
}

void TakeSnapshot()
{
    FreeSnapshot();
    int16_t *p = Samples();
    if (!p || g_iEditFrames <= 0)
        return;
    s_snapshot.pData = (int16_t *)malloc((size_t)g_iEditFrames * 2);
    if (!s_snapshot.pData)
        return;
    std::memcpy(s_snapshot.pData, p, (size_t)g_iEditFrames * 2);
    s_snapshot.iFrames = g_iEditFrames;
    s_snapshot.iMarker = g_iEditLoopMarker;
    s_snapshot.iSelFirst = g_iEditSelFirst;
    s_snapshot.iSelLast = g_iEditSelLast;
}

void FreeClipboard()
{
    free(g_stEditClipboard.pData);
    // The clipboard's copy of a chain is the editor's own memory and holds no list references.
    for (COMMANDENTRY *p = g_stEditClipboard.pChain; p;) {
        COMMANDENTRY *next = p->pNext;
        free(p);
        p = next;
    }
    g_stEditClipboard = EDITCLIPBOARD{};
    g_stEditClipboard.iSourceInstrument = -1;
}

// A free of the edited data stops the preview voice; the editor's own flag follows it.
void SyncPreview()
{
    if (g_bEditPreviewOn && !(g_stPreviewVoice.uState & VOICE_ACTIVE))
        g_bEditPreviewOn = 0;
}

// Puts new data of frames frames (built apart from the old) into the edited slot, keeping its loop
// settings. The old data is freed under the mix lock, which stops every voice playing it, the
// preview included.
bool ReplaceData(const int16_t *pNew, int32_t frames, uint32_t loopFrame, bool loopOn)
{
    SAMPLESLOT *pSlot = g_pEditSample;
    if (!pSlot || frames <= 0)
        return false;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    uint32_t flags = pSlot->uFlags;
    if (Snd_AllocSampleData(pSlot, (uint32_t)frames, false) != 0)
        return false;
    std::memcpy(pSlot->pData, pNew, (size_t)frames * 2);
    pSlot->uFlags = (flags & ~(SAMPLE_STEREO | SAMPLE_LOOPS)) | (loopOn ? SAMPLE_LOOPS : 0);
    pSlot->uLoopStartFrame = loopOn ? loopFrame : 0;
    Snd_ResetSamplePointers(pSlot);
    g_iEditFrames = frames;
    if (g_iEditSampleIndex >= 1 && g_iEditSampleIndex < g_uSampleCount)
        g_aSamples[g_iEditSampleIndex].uLength = (uint32_t)frames;
    ForgetFade();
    SyncPreview();
    return true;
}

bool LoopOn()
{
    return g_pEditSample && (g_pEditSample->uFlags & SAMPLE_LOOPS);
}

int32_t LoopFrame()
{
    return g_pEditSample ? (int32_t)g_pEditSample->uLoopStartFrame : 0;
}

// Start offsets of the song's notes on the edited sample, through a change of its frames.
bool s_bReplaying = false;

// A source command whose load failed emptied the slot and its chain: the replay stops there.
bool s_bChainLost = false;

// The song's notes already hold the offsets of every recorded edit, so a replay leaves them.
template <typename F> void MoveNotes(F move)
{
    if (g_iEditInstrument < 1 || g_iEditInstrument > 200 || s_bReplaying)
        return;
    for (int32_t id = 1; id <= g_uNoteCount; id++) {
        NOTEENTRY &note = *Seq_GetNote(id);
        if (note.uInstrument != (uint32_t)g_iEditInstrument)
            continue;
        int64_t offset = move((int64_t)note.uSampleStart);
        note.uSampleStart = (offset < 0 || offset >= g_iEditFrames) ? 1u : (uint32_t)offset;
    }
}

void SetWholeView()
{
    g_iEditViewFirst = 0;
    g_iEditViewLast = g_iEditFrames > 0 ? g_iEditFrames - 1 : 0;
}

void ProcessWhole()
{
    Snd_ProcessEditRange(0, g_iEditFrames > 0 ? g_iEditFrames - 1 : 0);
}

// -------------------------------------------------------------------------------------------------
// Operations

int RunEffect(int32_t effect, int32_t a1, int32_t a2)
{
    g_iEditSelFirst = a1;
    g_iEditSelLast = a2;
    Snd_FreeEditScratch();
    EFFECTUNIT *pUnit = g_apEffects[effect];
    if (pUnit && HoldRange(a1, a2)) {
        for (uint32_t row = 0; row < pUnit->uRowCount && row < (uint32_t)EDIT_MAX_EFFECT_ROWS; row++)
            if (pUnit->pRows[row].ucKind == 1)
                Snd_SetEffectParam(effect, (int32_t)row, g_aiEditEffectValues[row]);
        Snd_SetEffectRateFromSample();
        Snd_SelectEffect(effect);
        Snd_RunEffect(effect, Samples() + a1, a2 + 1 - a1);
        Snd_ReleaseEffect(effect);
    }
    Snd_AllocEditScratch();
    ProcessWhole();
    return 1;
}

void Crop(int32_t a1, int32_t a2)
{
    if (!HoldRange(a1, a2))
        return;
    int32_t count = a2 - a1 + 1;
    int32_t loop = LoopFrame();
    bool on = LoopOn();
    if (a1 <= loop && loop <= a2) {
        loop -= a1;
    } else {
        loop = 0;
        on = false;
    }
    int16_t *pNew = (int16_t *)malloc((size_t)count * 2);
    if (!pNew)
        return;
    std::memcpy(pNew, Samples() + a1, (size_t)count * 2);
    bool done = ReplaceData(pNew, count, (uint32_t)loop, on);
    free(pNew);
    if (!done)
        return;
    g_iEditLoopMarker = loop;
    SetWholeView();
    MoveNotes([&](int64_t offset) { return offset - a1; });
    ProcessWhole();
}

void Reverse(int32_t a1, int32_t a2)
{
    if (HoldRange(a1, a2)) {
        int16_t *p = Samples();
        for (int32_t k = 0; k < ((a2 - a1 + 1) >> 1); k++)
            std::swap(p[a1 + k], p[a2 - k]);
        ForgetFade();
    }
    Snd_ProcessEditRange(g_iEditViewFirst, g_iEditViewLast);
}

void CopyChain(COMMANDENTRY **ppTail, uint32_t param0, uint32_t param1, uint32_t type)
{
    auto *pEntry = (COMMANDENTRY *)calloc(1, sizeof(COMMANDENTRY));
    if (!pEntry)
        return;
    *pEntry = COMMANDENTRY{param0, param1, type, nullptr};
    while (*ppTail)
        ppTail = &(*ppTail)->pNext;
    *ppTail = pEntry;
}

// The three folder letters of the library sample, under the instrument kind's folder.
void LibraryLetters(const INSTRUMENTSLOT &inst, uint8_t out[3])
{
    char letters[16] = {};
    const int32_t depth = inst.iSampleId > 0 ? Vid_GetResPath(inst.iSampleId, letters) : 0;
    for (int32_t i = 0; i < 3; i++)
        out[i] = depth >= 3 ? (uint8_t)letters[depth - 3 + i] : 0;
}

uint32_t SourceParam0(const INSTRUMENTSLOT &inst)
{
    uint8_t path[3];
    LibraryLetters(inst, path);
    return (uint32_t)path[0] << 16 | path[1];
}

uint32_t SourceParam1(const INSTRUMENTSLOT &inst)
{
    uint8_t path[3];
    LibraryLetters(inst, path);
    return (uint32_t)inst.uDisc << 16 | path[2];
}

int Copy(int32_t a1, int32_t a2)
{
    if (!HoldRange(a1, a2))
        return 1;
    int32_t count = a2 - a1 + 1;
    int16_t *pData = (int16_t *)malloc((size_t)count * 2);
    if (!pData)
        return 1;
    std::memcpy(pData, Samples() + a1, (size_t)count * 2);
    FreeClipboard();
    g_stEditClipboard.pData = pData;
    g_stEditClipboard.iFrames = count;
    g_stEditClipboard.iRateCode = g_iEditRateCode;
    g_stEditClipboard.iSourceInstrument = g_iEditInstrument;
    if (Recordable()) {
        const INSTRUMENTSLOT &inst = g_aInstrumentSlots[g_iEditInstrument];
        g_stEditClipboard.bRecordable = 1;
        if (!inst.pCommands || inst.pCommands->uType != EDIT_SOURCE) {
            uint32_t name0, name1;
            Snd_PackEditEntry(inst.achArchiveName, &name0, &name1);
            CopyChain(&g_stEditClipboard.pChain, SourceParam0(inst), SourceParam1(inst), EDIT_SOURCE);
            CopyChain(&g_stEditClipboard.pChain, name0, name1, EDIT_SOURCE);
        }
        for (const COMMANDENTRY *p = inst.pCommands; p; p = p->pNext)
            CopyChain(&g_stEditClipboard.pChain, p->uParam0, p->uParam1, p->uType);
    }
    return 1;
}

// A clip from another instrument (or an unrecorded source) cannot be re-made by this instrument's
// chain on load, so using it makes the instrument keep its sample instead of a chain.
void ClipCannotReplay()
{
    if (!Recordable() || g_stEditClipboard.iSourceInstrument == g_iEditInstrument)
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[g_iEditInstrument];
    Seq_FreeCommandChain(inst.pCommands);
    inst.pCommands = nullptr;
    inst.ucCommandCount = 0;
    inst.cSampleState = SAMPLE_STATE_OWN;
    s_pLastCommand = nullptr;
}

void Cut(int32_t a1, int32_t a2)
{
    if (!HoldRange(a1, a2))
        return;
    int32_t count = g_iEditFrames;
    int32_t remain = a1 + (count - a2 - 1);
    if (remain < EDIT_MIN_CUT_REMAINDER)
        return;
    Copy(a1, a2);
    int16_t *pNew = (int16_t *)malloc((size_t)remain * 2);
    if (!pNew)
        return;
    std::memcpy(pNew, Samples(), (size_t)a1 * 2);
    std::memcpy(pNew + a1, Samples() + a2 + 1, (size_t)(count - a2 - 1) * 2);
    int32_t cut = a2 - a1 + 1;
    int32_t loop = LoopFrame();
    bool on = LoopOn();
    if (a1 <= loop && loop <= a2) {
        loop = 0;
        on = false;
    } else if (loop > a2) {
        loop -= cut; // stays on the frame it marked
    }
    bool done = ReplaceData(pNew, remain, (uint32_t)loop, on);
    free(pNew);
    if (!done)
        return;
    g_iEditLoopMarker = on ? loop : g_iEditLoopMarker == -1 ? -1 : 0;
    MoveNotes([&](int64_t offset) -> int64_t {
        if (offset < a1)
            return offset;
        if (offset <= a2)
            return 1;
        return offset - cut;
    });
    ProcessWhole();
}

int Paste(int32_t a1)
{
    int32_t clip = g_stEditClipboard.iFrames;
    if (!Samples() || !g_stEditClipboard.pData || clip <= 0)
        return 1;
    a1 = std::clamp(a1, 0, g_iEditFrames);
    int64_t total = (int64_t)g_iEditFrames + clip;
    if (total > INT32_MAX / 2)
        return 1;
    int16_t *pNew = (int16_t *)malloc((size_t)total * 2);
    if (!pNew)
        return 1;
    std::memcpy(pNew, Samples(), (size_t)a1 * 2);
    std::memcpy(pNew + a1, g_stEditClipboard.pData, (size_t)clip * 2);
    std::memcpy(pNew + a1 + clip, Samples() + a1, (size_t)(g_iEditFrames - a1) * 2);
    int32_t loop = LoopFrame();
    bool on = LoopOn();
    if (loop >= a1) {
        loop += clip;
    } else {
        loop = 0;
        on = false;
    }
    bool done = ReplaceData(pNew, (int32_t)total, (uint32_t)loop, on);
    free(pNew);
    if (!done)
        return 1;
    // Every note at or after the paste point keeps its sound, which moved up by the clip.
    MoveNotes([&](int64_t offset) { return offset >= a1 ? offset + clip : offset; });
    ProcessWhole();
    return 1;
}

void Mix(int32_t a1, int32_t a2, int32_t step)
{
    const EDITCLIPBOARD &clip = g_stEditClipboard;
    if (!clip.pData || clip.iFrames <= 0)
        return;
    if (HoldHalfOpen(a1, a2)) {
        int16_t *p = Samples();
        int32_t s = 0;
        uint32_t f = 0;
        for (int32_t k = a1; k < a2 && s < clip.iFrames; k++) {
            int32_t v = clip.pData[s];
            if (f) {
                int32_t next = s + 1 < clip.iFrames ? clip.pData[s + 1] : clip.pData[s];
                v += ((next - clip.pData[s]) * (int32_t)f) >> 8;
            }
            f += (uint32_t)step;
            s += (int32_t)(f >> 8);
            f &= 255;
            p[k] = Clamp16((int64_t)p[k] + v);
        }
        ForgetFade();
    }
    ProcessWhole();
}

// Envelope from a stored list: u8 n, n (x, level) byte pairs, a byte, the shift h.
void Envelope(int32_t a1, int32_t a2, int32_t listId)
{
    uint32_t bytes = 0;
    const uint8_t *pList = Seq_GetParamList(listId, &bytes);
    if (!pList || bytes < 1)
        return;
    int32_t n = pList[0];
    if (n < 2 || bytes < (uint32_t)(1 + 2 * n + 2) || !Samples())
        return;
    const uint8_t *pPoints = pList + 1;
    int32_t h = pList[1 + 2 * n + 1];
    if (h > 31)
        h = 31;
    a1 = std::max(a1, 0);
    // Frames a1..a2-1; an end at the sample's end takes its last frame too.
    int32_t last = std::min(a2, g_iEditFrames);
    if (last <= a1)
        return;
    int64_t length = (int64_t)std::min(a2, g_iEditFrames - 1) + 1 - a1;
    int16_t *p = Samples();
    int32_t i = 0;
    int64_t level = 0, slope = 0, segment = 0;
    auto startSegment = [&](int32_t k) {
        int32_t x0 = pPoints[2 * k], l0 = pPoints[2 * k + 1];
        int32_t x1 = pPoints[2 * k + 2], l1 = pPoints[2 * k + 3];
        segment = ((int64_t)(x1 - x0) * length) / 255 + 1;
        if (segment < 1)
            segment = 1; // points out of order
        level = (int64_t)l0 << h << (h ? 15 : 23);
        slope = ((int64_t)(l1 - l0) * 0x800000) / segment;
    };
    startSegment(0);
    for (int32_t k = a1; k < last; k++) {
        if (segment <= 0) {
            if (i + 2 < n) {
                i++;
                startSegment(i);
            } else {
                slope = 0; // past the last point the level holds
                segment = INT64_MAX;
            }
        }
        p[k] = Clamp16(((int64_t)p[k] * (level >> (h ? 7 : 15))) >> 15);
        level += slope;
        segment--;
    }
    ForgetFade();
}

int Normalise(int32_t a1, int32_t a2)
{
    if (!HoldHalfOpen(a1, a2)) {
        ProcessWhole();
        return 1;
    }
    int32_t peak = 1;
    const int16_t *p = Samples();
    for (int32_t k = a1; k < a2; k++)
        peak = std::max(peak, std::abs((int32_t)p[k]));
    uint32_t g = 0x40000000u / (uint32_t)peak;
    int32_t shift = 0;
    while (g > 0x10000) {
        g >>= 1;
        shift++;
    }
    g >>= 8;
    g = std::min(g, 255u);
    uint16_t points[2] = {(uint16_t)(g << 8 | 0), (uint16_t)(g << 8 | 255)};
    int32_t id = Seq_AddParamList(2, points, 0, (uint8_t)shift);
    if (id < 0)
        return 0;
    Envelope(a1, a2, id);
    Seq_ReleaseParamList(id);
    ProcessWhole();
    return 1;
}

void RestoreFade()
{
    if (s_fade.iPosition < 0)
        return;
    int32_t p = s_fade.iPosition, n = s_fade.iLength, count = g_iEditFrames;
    int16_t *s = Samples();
    s_fade.iPosition = -1;
    // Only onto the data it was taken from.
    if (!s || s_fade.iFrames != count || p + n > count || n > count - p || (s_fade.bTwoSided && p < n))
        return;
    for (int32_t j = 0; j < n; j++) {
        s[p + j] = s_fade.aAfter[j];
        s[count - 1 - j] = s_fade.aEnd[j];
        if (s_fade.bTwoSided)
            s[p - 1 - j] = s_fade.aBefore[j];
    }
}

void CrossFadeLoop(int32_t p)
{
    RestoreFade();
    int16_t *s = Samples();
    int32_t count = g_iEditFrames;
    if (!s || p < 0 || p >= count)
        return;
    int32_t tail = ((count - p) >> 1) & 0xFFF0;
    int32_t n = std::min(p, FADE_MAX);
    if (tail <= n)
        n = tail;
    bool twoSided = true;
    if (n == 0) {
        twoSided = false;
        n = std::min(tail, FADE_MAX);
    }
    if (n == 0)
        return; // loop start too near the end to blend
    s_fade.iPosition = p;
    s_fade.iLength = n;
    s_fade.bTwoSided = twoSided;
    s_fade.iFrames = count;
    for (int32_t j = 0; j < n; j++) {
        s_fade.aAfter[j] = s[p + j];
        s_fade.aEnd[j] = s[count - 1 - j];
        if (twoSided)
            s_fade.aBefore[j] = s[p - 1 - j];
    }
    int32_t step = 0x20000 / n, w = 0;
    for (int32_t j = 0; j < n; j++) {
        w += step;
        int32_t a = s[p + j], b = s[count - 1 - j], m = (a + b) >> 1;
        s[p + j] = (int16_t)(m + ((a - m) * (w >> 2)) / 32768);
        s[count - 1 - j] = (int16_t)(m + ((b - m) * (w >> 2)) / 32768);
        if (twoSided)
            s[p - 1 - j] = (int16_t)(m + ((s[p - 1 - j] - m) * (w >> 2)) / 32768);
    }
}

void SetLoop(int32_t a1)
{
    if (!g_pEditSample)
        return;
    if (a1 >= g_iEditFrames)
        a1 = -1; // outside the data: no loop
    if (a1 < -1)
        a1 = -1;
    if (a1 != -1 && g_iEditLoopMarker != -1 && a1 != g_iEditLoopMarker) {
        g_iEditLoopMarker = a1;
        CrossFadeLoop(a1);
    }
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_SetSampleLoop(g_pEditSample, a1 == -1 ? 0u : (uint32_t)a1, a1 != -1);
    if (g_stPreviewVoice.pSlot == g_pEditSample) {
        VOICE &voice = g_stPreviewVoice;
        uint32_t frame = a1 == -1 ? 0u : (uint32_t)a1;
        voice.uFlags = (voice.uFlags & ~SAMPLE_LOOPS) | (a1 != -1 ? SAMPLE_LOOPS : 0);
        if (voice.pStart && voice.pStart + (size_t)frame * 2 < voice.pEnd)
            voice.pLoop = voice.pStart + (size_t)frame * 2;
        voice.uStartOffset = frame;
    }
}

// Reloads the instrument's library sample; the chain stays with the instrument.
void Source(int32_t a1, int32_t a2, const char name[8])
{
    int32_t slot = g_iEditInstrument;
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return;
    uint8_t path[3] = {(uint8_t)((uint32_t)a1 >> 16), (uint8_t)a1, (uint8_t)a2};
    uint16_t index[4] = {};
    uint32_t size = 0;
    if (Vid_LoadResByName(RES_INSTRUMENT, path, name, index, &size) != 0 || size < 48)
        return;
    // index: kind folder, two folders, listing number; the load keeps the chain.
    int32_t state = g_iSampleEditorState;
    int32_t loaded = Seq_LoadInstrument(slot, index[1] + 1, index[2] + 1, index[3], index[0] + 1, 0, 0, 1);
    // The old sample is gone either way; a failed load empties the slot and its chain with it.
    g_pEditSample = nullptr;
    g_iSampleEditorState = state;
    Snd_SelectEditInstrument(slot, 0);
    if (loaded == 10)
        s_bChainLost = true;
}

// Kind-1 rows of an effect in row order.
int32_t UserRows(int32_t effect, int32_t *pRows, int32_t max)
{
    EFFECTUNIT *pUnit = (effect >= 0 && effect < EFFECT_COUNT) ? g_apEffects[effect] : nullptr;
    int32_t n = 0;
    if (!pUnit)
        return 0;
    for (uint32_t row = 0; row < pUnit->uRowCount && row < (uint32_t)EDIT_MAX_EFFECT_ROWS && n < max; row++)
        if (pUnit->pRows[row].ucKind == 1)
            pRows[n++] = (int32_t)row;
    return n;
}

// First entry of the chain's last command (walking commands by their entry counts).
const COMMANDENTRY *FindLastCommand(const COMMANDENTRY *pChain, int32_t count, int32_t *pEntries)
{
    const COMMANDENTRY *pLast = nullptr;
    int32_t lastEntries = 0;
    while (pChain && count > 0) {
        int32_t entries = std::max(Seq_CommandEntryCount((int32_t)pChain->uType), 1);
        pLast = pChain;
        lastEntries = std::min(entries, count);
        for (int32_t i = 0; i < entries && pChain; i++) {
            pChain = pChain->pNext;
            count--;
        }
    }
    if (pEntries)
        *pEntries = lastEntries;
    return pLast;
}

void RefreshChain()
{
    if (g_iEditInstrument < 0 || g_iEditInstrument >= SEQ_INSTRUMENT_SLOTS) {
        s_pLastCommand = nullptr;
        return;
    }
    const INSTRUMENTSLOT &inst = g_aInstrumentSlots[g_iEditInstrument];
    s_pLastCommand = Recordable() ? FindLastCommand(inst.pCommands, (int32_t)inst.ucCommandCount, nullptr) : nullptr;
}

void RemoveLastCommand()
{
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[g_iEditInstrument];
    int32_t entries = 0;
    const COMMANDENTRY *pLast = FindLastCommand(inst.pCommands, (int32_t)inst.ucCommandCount, &entries);
    if (!pLast || pLast == inst.pCommands)
        return; // the source command stays
    if (pLast->uType == EDIT_ENVELOPE)
        Seq_ReleaseParamList((int32_t)pLast->uParam0);
    for (int32_t i = 0; i < entries; i++)
        Seq_RemoveLastInstrumentCommand(g_iEditInstrument);
}

void PutPixel(int32_t x, int32_t y, uint8_t colour)
{
    if (!g_pEditPicture || x < 0 || x >= EDIT_PICTURE_WIDTH || y < 0 || y >= EDIT_PICTURE_HEIGHT)
        return;
    uint8_t &b = g_pEditPicture[y * (EDIT_PICTURE_WIDTH / 2) + x / 2];
    b = (x & 1) ? (uint8_t)((b & 0x0F) | colour << 4) : (uint8_t)((b & 0xF0) | colour);
}

void VerticalLine(int32_t x, int32_t y0, int32_t y1, uint8_t colour)
{
    if (y0 > y1)
        std::swap(y0, y1);
    for (int32_t y = y0; y <= y1; y++)
        PutPixel(x, y, colour);
}

int32_t BarPixel(int64_t value)
{
    int64_t span = (int64_t)g_iEditViewLast - g_iEditViewFirst;
    if (g_iEditViewLast == 0 || span == 0)
        return 0;
    int64_t x = (((value - g_iEditViewFirst) * 256 / span) * EDIT_PICTURE_WIDTH) >> 8;
    return (int32_t)std::clamp<int64_t>(x, 0, EDIT_PICTURE_WIDTH - 1);
}

void DrawMarks()
{
    int32_t s0 = BarPixel(g_iEditSelFirst), s1 = BarPixel(g_iEditSelLast);
    if (g_iEditSelLast >= g_iEditSelFirst && g_iEditFrames > 0 && g_iEditSelLast >= g_iEditViewFirst &&
        g_iEditSelFirst <= g_iEditViewLast)
        for (int32_t x = s0; x <= s1; x++)
            VerticalLine(x, 0, EDIT_PICTURE_HEIGHT - 1, 5);
    int64_t rate = 44100 >> (3 - std::clamp(g_iEditRateCode, 1, 3));
    int64_t count = g_iEditFrames;
    int64_t marks = ((((int64_t)g_uTempo << 8) / 15) * ((count << 8) / rate)) >> 16;
    for (int64_t k = 1; k <= marks && count > 0; k++) {
        int64_t frame = k * count / marks;
        if (frame < g_iEditViewFirst || frame > g_iEditViewLast)
            continue;
        uint8_t colour = (k % 16 == 0) ? 3 : (k % 4 == 0) ? 2 : 1;
        VerticalLine(BarPixel(frame), 0, EDIT_PICTURE_HEIGHT - 1, colour);
    }
}

void DrawWaveform()
{
    const int16_t *p = Samples();
    if (!p || g_iEditFrames <= 0)
        return;
    int64_t start = std::clamp(g_iEditViewFirst, 0, g_iEditFrames - 1);
    int64_t end = std::clamp(g_iEditViewLast, 0, g_iEditFrames - 1);
    if (end < start)
        std::swap(start, end);
    for (int32_t c = 0; c < EDIT_PICTURE_WIDTH; c++) {
        int64_t f0 = start + c * (end - start) / EDIT_PICTURE_WIDTH;
        int64_t f1 = start + (c + 1) * (end - start) / EDIT_PICTURE_WIDTH;
        if (f1 <= f0)
            f1 = f0 + 1; // a view shorter than the picture shows each frame over several columns
        f1 = std::min<int64_t>(f1, g_iEditFrames);
        int32_t hi = -32768, lo = 32767;
        for (int64_t f = f0; f < f1; f++) {
            hi = std::max<int32_t>(hi, p[f]);
            lo = std::min<int32_t>(lo, p[f]);
        }
        int32_t y0 = 50 - hi * 49 / 32768, y1 = 50 - lo * 49 / 32768;
        if (y1 - y0 >= 2)
            y1++;
        bool selected = f0 >= g_iEditSelFirst && f0 <= g_iEditSelLast;
        VerticalLine(c, y0, y1, selected ? 4 : 15);
        if (g_bEditWholeSample) {
            int32_t peak = std::max(std::abs(hi), std::abs(lo));
            int32_t level = 109 - peak * 109 / 32768;
            g_aucEditColumnLevel[c] = (uint8_t)std::clamp(level, 0, EDIT_PICTURE_HEIGHT - 1);
        }
    }
}

void BuildPalette()
{
    auto rgb = [](int r, int g, int b) { return (uint16_t)(0x8000 | b << 10 | g << 5 | r); };
    for (int i = 0; i < 16; i++)
        g_auEditPalette[i] = rgb(0, i, 0);
    g_auEditPalette[1] = rgb(8, 8, 8);
    g_auEditPalette[2] = rgb(12, 12, 12);
    g_auEditPalette[3] = rgb(16, 16, 16);
    g_auEditPalette[4] = rgb(24, 6, 24);
    g_auEditPalette[5] = rgb(31, 31, 31);
}

void FreeBuffers()
{
    free(s_pEditBuffer);
    free(s_pScratch);
    free(s_pSmallBuffer);
    free(g_pEditPicture);
    s_pEditBuffer = s_pScratch = s_pSmallBuffer = g_pEditPicture = nullptr;
}

} // namespace

// -------------------------------------------------------------------------------------------------

void Snd_PackEditEntry(const char name[8], uint32_t *pParam0, uint32_t *pParam1)
{
    const auto *b = (const uint8_t *)name;
    *pParam0 = (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | b[3];
    *pParam1 = (uint32_t)b[4] << 24 | (uint32_t)b[5] << 16 | (uint32_t)b[6] << 8 | b[7];
}

void Snd_UnpackEditEntry(uint32_t param0, uint32_t param1, char name[8])
{
    for (int i = 0; i < 4; i++) {
        name[i] = (char)(param0 >> (24 - 8 * i));
        name[4 + i] = (char)(param1 >> (24 - 8 * i));
    }
}

int Snd_AllocEditScratch()
{
    if (!s_pScratch)
        s_pScratch = (uint8_t *)calloc(1, SCRATCH_BYTES);
    return s_pScratch ? 0 : -1;
}

void Snd_FreeEditScratch()
{
    free(s_pScratch);
    s_pScratch = nullptr;
}

int Snd_OpenSampleEditor(int32_t mode)
{
    if (g_iSampleEditorState != EDIT_CLOSED)
        return 1;
    g_iSampleEditorState = mode == EDIT_FULL ? EDIT_FULL : EDIT_SILENT;
    Seq_StopSong();
    Seq_FreeUndoLog();
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    s_pEditBuffer = (uint8_t *)calloc(1, EDIT_BUFFER_BYTES);
    s_pScratch = (uint8_t *)calloc(1, SCRATCH_BYTES);
    s_pSmallBuffer = (uint8_t *)calloc(1, SMALL_BUFFER_BYTES);
    bool ok = s_pEditBuffer && s_pScratch && s_pSmallBuffer;
    if (ok && g_iSampleEditorState == EDIT_FULL) {
        Seq_StartClock();
        BuildPalette();
        g_pEditPicture = (uint8_t *)calloc(1, EDIT_PICTURE_BYTES);
        ok = g_pEditPicture != nullptr;
    }
    FreeClipboard();
    ForgetFade();
    uint8_t attributes[64] = {};
    Sys_GetSoundAttributes(attributes);
    FreeSnapshot();
    g_pEditSample = nullptr;
    g_iEditFrames = 0;
    g_iEditSampleIndex = -1;
    g_iEditLoopMarker = -1;
    g_bEditEdited = 0;
    g_bEditPreviewOn = 0;
    s_pLastCommand = nullptr;
    if (ok)
        ok = Snd_BuildEffects() == 0;
    if (!ok) {
        Snd_CloseSampleEditor();
        return 0;
    }
    return 1;
}

void Snd_CloseSampleEditor()
{
    if (g_bEditPreviewOn)
        Snd_ToggleEditPreview(0);
    bool full = g_iSampleEditorState == EDIT_FULL;
    if (full)
        Snd_StopVoice(&g_stPreviewVoice);
    FreeBuffers();
    Snd_FreeEffects();
    if (full)
        Seq_AllocUndoLog();
    g_iSampleEditorState = EDIT_CLOSED;
    FreeClipboard();
    FreeSnapshot();
    ForgetFade();
    if (g_pEditSample)
        Snd_WidenSample(g_pEditSample);
    g_pEditSample = nullptr;
    g_iEditFrames = 0;
}

void Snd_SetEditInstrument(int32_t slot)
{
    g_iEditInstrument = slot;
}

void Snd_SelectEditInstrument(int32_t slot, int32_t selectOnly)
{
    g_bEditEdited = 0;
    ForgetFade();
    // The sample edited so far goes back to the stereo form the song's voices play, if it is
    // still loaded.
    SAMPLESLOT *pPrevious = g_pEditSample;
    for (int32_t i = 0; pPrevious && i < g_iSampleSlotCount; i++)
        if (g_ppSampleSlots[i] == pPrevious) {
            Snd_WidenSample(pPrevious);
            break;
        }
    g_iEditInstrument = slot;
    g_pEditSample = nullptr;
    SyncPreview();
    g_iEditSampleIndex = -1;
    g_iEditFrames = 0;
    s_pLastCommand = nullptr;
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return;
    const INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    if (const int32_t record = Seq_FindSampleRecord(slot))
        g_iEditSampleIndex = record;
    SAMPLESLOT *pSlot = nullptr;
    if (Snd_FindSampleById(&pSlot, (uint32_t)inst.iSampleId) >= 0 && Snd_NarrowSample(pSlot) == 0)
        g_pEditSample = pSlot;
    g_iEditRateCode = std::clamp<int32_t>(Snd_RateCodeOf(g_pEditSample ? g_pEditSample->uRate : 0), 1, 3);
    g_iEditRateFactor = 512 << g_iEditRateCode;
    RefreshChain();
    if (selectOnly) {
        g_iEditLoopMarker = -1;
        g_iEditFrames = 0;
        g_iEditViewFirst = g_iEditViewLast = g_iEditSelFirst = g_iEditSelLast = 0;
        return;
    }
    g_iEditFrames = g_pEditSample ? (int32_t)g_pEditSample->uFrames : 0;
    SetWholeView();
    ProcessWhole();
    g_iEditLoopMarker = g_pEditSample ? (int32_t)g_pEditSample->uLoopStartFrame : -1;
}

int32_t Snd_RateCodeOf(uint32_t rate)
{
    return rate == 44100 ? 3 : rate == 22050 ? 2 : rate == 11025 ? 1 : 0;
}

void Snd_EditWholeSample(int32_t slot, int32_t selectOnly)
{
    Snd_SelectEditInstrument(slot, selectOnly);
}

int Snd_DispatchSampleEdit(int32_t code, int32_t a1, int32_t a2, int32_t a3)
{
    if (g_iSampleEditorState == EDIT_CLOSED)
        return 1;
    if (g_iSampleEditorState == EDIT_FULL && code != EDIT_COPY && code != EDIT_LOOP &&
        ((code >= 0 && code <= 7) || (code >= 10 && code <= 19)))
        TakeSnapshot();
    if (code >= 0 && code <= 7)
        return RunEffect(code, a1, a2);
    switch (code) {
    case EDIT_CROP: Crop(a1, a2); break;
    case EDIT_REVERSE: Reverse(a1, a2); break;
    case EDIT_CUT: Cut(a1, a2); break;
    case EDIT_COPY: return Copy(a1, a2);
    case EDIT_PASTE: return Paste(a1);
    case EDIT_SOURCE: {
        char name[8] = {};
        if (g_iEditInstrument >= 0 && g_iEditInstrument < SEQ_INSTRUMENT_SLOTS)
            std::memcpy(name, g_aInstrumentSlots[g_iEditInstrument].achArchiveName, 8);
        Source(a1, a2, name);
        break;
    }
    case EDIT_LOOP: SetLoop(a1); break;
    case EDIT_MIX: Mix(a1, a2, a3); break;
    case EDIT_ENVELOPE:
        Envelope(a1, a2, a3);
        ProcessWhole();
        break;
    case EDIT_NORMALISE: return Normalise(a1, a2);
    default: break;
    }
    return 1;
}

int Snd_DoSampleEdit(int32_t code, int32_t a1, int32_t a2, int32_t a3)
{
    if (g_iSampleEditorState == EDIT_CLOSED)
        return 1;
    bool effect = code >= 0 && code <= 7;
    int32_t rows[EDIT_MAX_EFFECT_ROWS];
    int32_t rowCount = effect ? UserRows(code, rows, EDIT_MAX_EFFECT_ROWS) : 0;
    for (int32_t i = 0; i < rowCount; i++)
        g_aiEditEffectValues[rows[i]] = g_apEffects[code]->pRows[rows[i]].iCurrent;
    int32_t slot = g_iEditInstrument;
    if ((code == EDIT_PASTE || code == EDIT_MIX) && g_stEditClipboard.pData && g_stEditClipboard.iFrames > 0)
        ClipCannotReplay();
    if (Recordable()) {
        // The song holds 128 command entries: an edit that no longer fits makes the instrument
        // keep its sample instead of a chain, never a chain cut short.
        const INSTRUMENTSLOT &held = g_aInstrumentSlots[slot];
        const int32_t needed = (held.pCommands ? 0 : 2) + std::max(Seq_CommandEntryCount(code), 1);
        if (Seq_FreeCommandEntries() < needed ||
            (int32_t)held.ucCommandCount + needed > SEQ_COMMAND_ENTRIES) {
            INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
            Seq_FreeCommandChain(inst.pCommands);
            inst.pCommands = nullptr;
            inst.ucCommandCount = 0;
            inst.cSampleState = SAMPLE_STATE_OWN;
            s_pLastCommand = nullptr;
        }
    }
    if (Recordable()) {
        INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
        if (!inst.pCommands) {
            uint32_t name0, name1;
            Snd_PackEditEntry(inst.achArchiveName, &name0, &name1);
            Seq_AddInstrumentCommand(slot, EDIT_SOURCE, SourceParam0(inst), SourceParam1(inst));
            Seq_AddInstrumentCommand(slot, EDIT_SOURCE, name0, name1);
        }
        uint32_t second = (uint32_t)a2;
        if (code == EDIT_LOOP) {
            second = (uint32_t)g_iEditLoopMarker;
            const COMMANDENTRY *pLast = FindLastCommand(inst.pCommands, (int32_t)inst.ucCommandCount, nullptr);
            if (pLast && pLast->uType == EDIT_LOOP && pLast != inst.pCommands) {
                second = pLast->uParam1;
                Seq_RemoveLastInstrumentCommand(slot);
            }
        }
        if (code == EDIT_MIX || code == EDIT_ENVELOPE)
            Seq_AddInstrumentCommand(slot, (uint32_t)code, (uint32_t)a3, 0);
        Seq_AddInstrumentCommand(slot, (uint32_t)code, (uint32_t)a1, second);
        if (effect) {
            int32_t n = Seq_CommandParamCount(0, code);
            int32_t entries = (n + 2) / 3;
            for (int32_t e = 0; e < entries; e++) {
                uint32_t v[3] = {};
                for (int32_t j = 0; j < 3; j++) {
                    int32_t i = e * 3 + j;
                    v[j] = (i < n && i < rowCount) ? (uint32_t)g_aiEditEffectValues[rows[i]] : 0;
                }
                Seq_AddInstrumentCommand(slot, v[0], v[1], v[2]);
            }
        }
        RefreshChain();
    }
    if (code != EDIT_COPY && code != EDIT_LOOP)
        g_bEditEdited = 1;
    return Snd_DispatchSampleEdit(code, a1, a2, a3);
}

static void ReplayChain(const COMMANDENTRY *pChain, int32_t count);

void Snd_ReplayEditChain(const COMMANDENTRY *pChain, int32_t count)
{
    if (!pChain) {
        if (g_iEditInstrument < 0 || g_iEditInstrument >= SEQ_INSTRUMENT_SLOTS)
            return;
        pChain = g_aInstrumentSlots[g_iEditInstrument].pCommands;
    }
    bool outer = !s_bReplaying;
    s_bReplaying = true;
    if (outer)
        s_bChainLost = false;
    ReplayChain(pChain, count);
    if (outer)
        s_bReplaying = false;
}

static void ReplayChain(const COMMANDENTRY *pChain, int32_t count)
{
    while (pChain && count > 0) {
        int32_t code = (int32_t)pChain->uType;
        int32_t entries = std::max(Seq_CommandEntryCount(code), 1);
        if (entries > count)
            break; // a command cut short by the count
        const COMMANDENTRY *pOp = pChain;
        const COMMANDENTRY *pAfter = pChain->pNext;
        int32_t a3 = 0;
        if (code == EDIT_MIX || code == EDIT_ENVELOPE) {
            if (!pAfter)
                break;
            a3 = (int32_t)pChain->uParam0;
            pOp = pAfter;
            pAfter = pAfter->pNext;
        }
        if (code == EDIT_SOURCE) {
            if (!pAfter)
                break;
            char name[8];
            Snd_UnpackEditEntry(pAfter->uParam0, pAfter->uParam1, name);
            pAfter = pAfter->pNext;
            if (g_iEditInstrument >= 0 && g_iEditInstrument < SEQ_INSTRUMENT_SLOTS)
                std::memcpy(g_aInstrumentSlots[g_iEditInstrument].achArchiveName, name, 8);
        }
        if (code >= 0 && code <= 7) {
            int32_t rows[EDIT_MAX_EFFECT_ROWS];
            int32_t rowCount = UserRows(code, rows, EDIT_MAX_EFFECT_ROWS);
            const COMMANDENTRY *pValues = pAfter;
            for (int32_t e = 0; e < entries - 1; e++) {
                if (!pValues)
                    return;
                uint32_t v[3] = {pValues->uType, pValues->uParam0, pValues->uParam1};
                for (int32_t j = 0; j < 3; j++)
                    if (e * 3 + j < rowCount)
                        g_aiEditEffectValues[rows[e * 3 + j]] = (int32_t)v[j];
                pValues = pValues->pNext;
            }
            pAfter = pValues;
        }
        Snd_DispatchSampleEdit(code, (int32_t)pOp->uParam0, (int32_t)pOp->uParam1, a3);
        if (s_bChainLost)
            break; // its entries went back to the pool
        count -= entries;
        pChain = pAfter;
    }
}

int Snd_UndoSampleEdit()
{
    bool recordable = Recordable();
    if (recordable) {
        const INSTRUMENTSLOT &inst = g_aInstrumentSlots[g_iEditInstrument];
        if (inst.ucCommandCount == 0 || !g_bEditEdited)
            return 0;
        const COMMANDENTRY *pLast = FindLastCommand(inst.pCommands, (int32_t)inst.ucCommandCount, nullptr);
        if (pLast && pLast->uType == EDIT_LOOP && pLast != inst.pCommands)
            RemoveLastCommand();
        RemoveLastCommand();
    } else if (s_snapshot.iFrames == 0) {
        return 0;
    }
    if (s_snapshot.iFrames != 0 && g_pEditSample) {
        bool loop = s_snapshot.iMarker > 0;
        ReplaceData(s_snapshot.pData, s_snapshot.iFrames, loop ? (uint32_t)s_snapshot.iMarker : 0u, loop);
        g_iEditLoopMarker = s_snapshot.iMarker;
        g_iEditSelFirst = s_snapshot.iSelFirst;
        g_iEditSelLast = s_snapshot.iSelLast;
        FreeSnapshot();
        SetWholeView();
    } else if (recordable) {
        FreeClipboard();
        INSTRUMENTSLOT &inst = g_aInstrumentSlots[g_iEditInstrument];
        int32_t slot = g_iEditInstrument;
        int32_t state = g_iSampleEditorState;
        // The reload keeps the chain (and frees the edited sample with the old one).
        int32_t loaded = Seq_LoadInstrument(slot, inst.ucKey1, inst.uKey2, inst.uKey3, inst.ucKind, 0, 0, 1);
        g_iSampleEditorState = state;
        g_pEditSample = nullptr;
        Snd_SelectEditInstrument(slot, 0);
        if (loaded != 10)
            Snd_ReplayEditChain(inst.pCommands, (int32_t)inst.ucCommandCount);
    }
    if (recordable) {
        g_bEditEdited = 0;
        RefreshChain();
    }
    ProcessWhole();
    return 1;
}

void Snd_ProcessEditRange(int32_t first, int32_t last)
{
    g_iEditViewFirst = first;
    g_iEditViewLast = last;
    bool full = g_iSampleEditorState == EDIT_FULL;
    if (full) {
        g_bEditWholeSample = first == 0 && last == g_iEditFrames - 1;
        if (g_pEditPicture)
            std::memset(g_pEditPicture, 0, EDIT_PICTURE_BYTES);
        DrawMarks();
    }
    snprintf(g_szEditMessage, sizeof g_szEditMessage, "PROCESS FORWARDS (START %d, SIZE %d)", first, last - first);
    if (full) {
        DrawWaveform();
        if (g_pEditPicture) {
            TEXRECT rect = {0, 0, EDIT_PICTURE_WIDTH / 4, EDIT_PICTURE_HEIGHT};
            Gfx_BlitNibbleImage(g_pEditPicture, &rect, g_auEditPalette);
            g_iEditPictureUploads++;
        }
    }
}

void Snd_ToggleEditPreview(int32_t startFrame)
{
    VOICE *pVoice = &g_stPreviewVoice;
    if (!g_bEditPreviewOn) {
        if (!g_pEditSample || g_iEditFrames <= 0)
            return;
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        Snd_StopAllVoices();
        g_bPreviewEnded = 0;
        Snd_StartVoice(pVoice, g_pEditSample, VOICE_PREPARED);
        Snd_SetVoicePitch(pVoice, (g_iEditRateFactor * 44100) >> 12);
        Snd_SetVoiceVolume(pVoice, 8191, 8191);
        Snd_SetVoiceStartOffset(pVoice, (uint32_t)std::clamp(startFrame, 0, g_iEditFrames - 1));
        Snd_StartVoice(pVoice, g_pEditSample, VOICE_ACTIVE);
        g_bEditPreviewOn = 1;
    } else {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        if (pVoice->pStart && pVoice->pCurrent >= pVoice->pStart)
            g_iPreviewPlayPosition = (int32_t)((pVoice->pCurrent - pVoice->pStart) / 2);
        Snd_StopVoice(pVoice);
        g_bEditPreviewOn = 0;
    }
}

void Snd_EditPreviewFrame()
{
    if (g_bPreviewEnded.exchange(0) && g_bEditPreviewOn)
        Snd_ToggleEditPreview(0);
}

int32_t Snd_GetEditLoopStart()
{
    // A loop switched off keeps its marker for the next switch on, but is no loop.
    if (g_iEditLoopMarker == -1 || !g_pEditSample || !LoopOn())
        return -1;
    return (int32_t)g_pEditSample->uLoopStartFrame;
}

int32_t Snd_IsEditSampleLooped()
{
    return LoopOn() ? 1 : 0;
}

void Snd_GetEditSelection(int32_t *pFirst, int32_t *pLast)
{
    if (pFirst)
        *pFirst = g_iEditSelFirst;
    if (pLast)
        *pLast = g_iEditSelLast;
}

namespace {

// 128 steps a semitone over ten octaves; step 60 x 128 (middle C) plays at the sample's rate (4096).
constexpr int32_t EDIT_PITCH_STEPS = 120 * 128;

int64_t EditPitchEntry(int32_t step)
{
    static const std::vector<uint16_t> table = [] {
        std::vector<uint16_t> t(EDIT_PITCH_STEPS);
        for (int32_t i = 0; i < EDIT_PITCH_STEPS; i++) {
            const double v = 4096.0 * std::pow(2.0, (i - 60 * 128) / (12.0 * 128.0));
            t[(size_t)i] = (uint16_t)(v > 65535.0 ? 65535.0 : v);
        }
        return t;
    }();
    return table[(size_t)step];
}

} // namespace

int32_t Snd_EditNoteToRate(int32_t note, int32_t fine)
{
    int32_t code = std::clamp(g_stEditClipboard.iRateCode, 1, 3);
    fine = std::clamp(fine, 0, 100);
    int64_t pitch = (((int64_t)(note + code * 12 - 24) << 15) + (((int64_t)(fine - 50) << 15) / 50)) >> 8;
    pitch = std::clamp<int64_t>(pitch, 0, EDIT_PITCH_STEPS - 1);
    int64_t entry = EditPitchEntry((int32_t)pitch);
    int64_t step = ((entry * 44100 / 4096) << 12) / 44100;
    return (int32_t)((step * (0xAC44000 / (11025 << (code - 1)))) >> 16);
}

void Snd_SetEffectRateFromSample()
{
    Snd_SetEffectSampleRate(44100 >> (3 - std::clamp(g_iEditRateCode, 1, 3)));
}
