#include "audio/effects.h"

#include "core/fixmath.h"
#include "core/idpool.h"
#include "ui/msgbox.h"

#include <cstring>

EFFECTUNIT *g_apEffects[EFFECT_COUNT];
EFFECTUNIT *g_pSelectedEffect;
EFFECTLFO g_astEffectLfo[2];
int32_t g_iEffectSampleRate;
EFFECTPARAM *g_apEffectCombs[EFFECT_MAX_COMBS];
int32_t g_iEffectCombCount;
EFFECTDELAY g_astEffectDelays[EFFECT_MAX_LINES];

namespace {

// The working set an elementary filter's init loads and its process reads.
struct EffectWork
{
    int32_t iGainIn, iGainOut, iFeedback, iFeedForward;
    EFFECTDELAY *pLine, *pLine2;
};
EffectWork s_work;
bool s_bEffectReady; // the selected effect's init succeeded

constexpr int32_t kLfoPeriod = 0x1000000;

// ---------------------------------------------------------------- arithmetic

inline int32_t Sat32(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

inline int16_t Clamp16(int64_t v)
{
    return v > 32767 ? 32767 : v < -32768 ? -32768 : (int16_t)v;
}

// (a x g) >> 8, arithmetic shift. Both factors are 32-bit, so the product fits 64.
inline int64_t Mul(int32_t a, int32_t g)
{
    return ((int64_t)a * g) >> 8;
}

// ---------------------------------------------------------------- texts

const char *Text(int32_t id, const char *english)
{
    // The language tables may not hold the text; a row never goes without a name.
    const char *p = (id >= 0 && id < 700) ? g_apszText[id] : nullptr;
    return p ? p : english;
}

// ---------------------------------------------------------------- delay lines

EFFECTDELAY *Line(const EFFECTPARAM &state)
{
    int32_t h = state.iCurrent;
    if (h < 1 || h > EFFECT_MAX_LINES)
        return nullptr;
    EFFECTDELAY *d = &g_astEffectDelays[h - 1];
    return d->pBuffer ? d : nullptr;
}

// Makes a zeroed line and records its handle in the state row. A line is at least one entry.
int MakeLine(EFFECTPARAM &state, int64_t length)
{
    state.iCurrent = 0;
    if (length < 1)
        length = 1;
    if (length > (int64_t)EFFECT_MAX_LINE_ENTRIES)
        return EFFECT_NO_MEMORY;
    for (int32_t i = 0; i < EFFECT_MAX_LINES; i++)
    {
        EFFECTDELAY &d = g_astEffectDelays[i];
        if (d.pBuffer)
            continue;
        int32_t *p = (int32_t *)Sys_MemAlloc(nullptr, (uint32_t)length * sizeof(int32_t));
        if (!p)
            return EFFECT_NO_MEMORY;
        d.uLength = (uint32_t)length;
        d.pBuffer = p;
        d.pCurrent = p;
        d.pEnd = p + length;
        state.iCurrent = i + 1;
        return EFFECT_OK;
    }
    return EFFECT_NO_MEMORY;
}

int MakeLineMs(EFFECTPARAM &state, int32_t ms)
{
    return MakeLine(state, (int64_t)ms * g_iEffectSampleRate / 1000);
}

void FreeAllLines()
{
    for (EFFECTDELAY &d : g_astEffectDelays)
    {
        if (d.pBuffer)
            Sys_MemFree(d.pBuffer);
        d = EFFECTDELAY{};
    }
    s_work.pLine = s_work.pLine2 = nullptr;
}

inline int32_t *Next(const EFFECTDELAY *d, int32_t *p)
{
    ++p;
    return p == d->pEnd ? d->pBuffer : p;
}

// The entry t entries behind p, wrapped into the line whatever the sign or size of t.
inline int32_t *Behind(const EFFECTDELAY *d, const int32_t *p, int32_t t)
{
    int64_t len = d->uLength;
    int64_t i = ((int64_t)(p - d->pBuffer) - t) % len;
    if (i < 0)
        i += len;
    return d->pBuffer + i;
}

inline int32_t RowValue(const EFFECTPARAM *rows, int32_t i)
{
    return rows[i].iCurrent;
}

inline int32_t Clip(int32_t v, int32_t lo, int32_t hi)
{
    return v < lo ? lo : v > hi ? hi : v;
}

// ---------------------------------------------------------------- elementary filters

void RunComb(int16_t *s, int32_t count)
{
    EFFECTDELAY *l = s_work.pLine;
    if (!l)
        return;
    int32_t *cur = l->pCurrent;
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int32_t *next = Next(l, cur);
        int32_t d = *next;
        *cur = Sat32(x + Mul(d, s_work.iFeedback));
        cur = next;
        s[i] = Clamp16(Mul(x, s_work.iGainIn) + Mul(d, s_work.iGainOut));
    }
    l->pCurrent = cur;
}

void RunAllPass(int16_t *s, int32_t count)
{
    EFFECTDELAY *l = s_work.pLine;
    if (!l)
        return;
    int32_t *cur = l->pCurrent;
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int32_t *next = Next(l, cur);
        int32_t v = Sat32(x + Mul(*next, s_work.iFeedback));
        *cur = v;
        int32_t w = Sat32((int64_t)*next - Mul(v, s_work.iFeedForward)); // read after the write: a one-entry line
        cur = next;
        s[i] = Clamp16(Mul(x, s_work.iGainIn) + Mul(w, s_work.iGainOut));
    }
    l->pCurrent = cur;
}

void RunFlange(int16_t *s, int32_t count)
{
    EFFECTDELAY *l = s_work.pLine;
    if (!l)
        return;
    int32_t *cur = l->pCurrent;
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int32_t *tap = Behind(l, cur, Snd_EffectLfoValue(0));
        int32_t *next = Next(l, cur);
        *cur = Sat32(Mul(x, s_work.iFeedback));
        cur = next;
        int32_t d = *tap;
        int64_t y = (s_work.iGainIn ? Mul(x, s_work.iGainIn) : 0) + (s_work.iGainOut ? Mul(d, s_work.iGainOut) : 0);
        s[i] = Clamp16(y);
    }
    l->pCurrent = cur;
}

void RunPhase(int16_t *s, int32_t count)
{
    EFFECTDELAY *l = s_work.pLine;
    if (!l)
        return;
    int32_t *cur = l->pCurrent;
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int32_t *tap = Behind(l, cur, Snd_EffectLfoValue(0));
        int32_t *next = Next(l, cur);
        int64_t f = Mul(*tap, s_work.iFeedback);
        int32_t v = Sat32(x + f);
        *cur = v;
        int32_t w = Sat32((int64_t)*tap - Mul(v, s_work.iFeedback));
        cur = next;
        int64_t y = (s_work.iGainIn ? Mul(x, s_work.iGainIn) : 0) + (s_work.iGainOut ? Mul(w, s_work.iGainOut) : 0);
        s[i] = Clamp16(y);
    }
    l->pCurrent = cur;
}

// ---------------------------------------------------------------- row layouts

// Comb: delay ms, gain in, gain out, feedback, state.
int InitComb(EFFECTPARAM *r)
{
    s_work.iGainIn = RowValue(r, 1);
    s_work.iGainOut = RowValue(r, 2);
    s_work.iFeedback = RowValue(r, 3);
    s_work.iFeedForward = 0;
    int res = MakeLineMs(r[4], RowValue(r, 0));
    s_work.pLine = Line(r[4]);
    return res;
}

// All-pass: delay ms, gain in, gain out, feedback, feed forward, state.
void LoadAllPass(const EFFECTPARAM *r)
{
    s_work.iGainIn = RowValue(r, 1);
    s_work.iGainOut = RowValue(r, 2);
    s_work.iFeedback = RowValue(r, 3);
    s_work.iFeedForward = RowValue(r, 4);
    s_work.pLine = Line(r[5]);
}

int InitAllPass(EFFECTPARAM *r)
{
    int res = MakeLineMs(r[5], RowValue(r, 0));
    LoadAllPass(r);
    return res;
}

// Flange, phase and each weird stage: start delay, end delay, gain in, gain out, feedback,
// LFO frequency, LFO start phase, state. Delays are in entries.
void LoadStage(const EFFECTPARAM *r)
{
    s_work.iGainIn = RowValue(r, 2);
    s_work.iGainOut = RowValue(r, 3);
    s_work.iFeedback = RowValue(r, 4);
    s_work.iFeedForward = 0;
    s_work.pLine = Line(r[7]);
    Snd_SetupEffectLfo(RowValue(r, 0), RowValue(r, 1), RowValue(r, 5), 1, 0, RowValue(r, 6));
}

int InitStage(EFFECTPARAM *r)
{
    int32_t a = RowValue(r, 0), b = RowValue(r, 1);
    int res = MakeLine(r[7], a > b ? a : b);
    LoadStage(r);
    return res;
}

// Reverb: comb count, all-pass count, three combs (reflections ms, gain in, gain out (unused),
// feedback, state), one all-pass stage from row 17. Counts are held to the stages the table has.
constexpr int32_t kReverbCombs = 3, kReverbFirstComb = 2, kReverbAllPass = 17;

int32_t ReverbCombCount(const EFFECTPARAM *r)
{
    return Clip(RowValue(r, 0), 0, kReverbCombs);
}

int32_t ReverbAllPassCount(const EFFECTPARAM *r)
{
    return Clip(RowValue(r, 1), 0, 1);
}

int InitReverb(EFFECTPARAM *r)
{
    int32_t combs = ReverbCombCount(r);
    for (int32_t c = 0; c < combs; c++)
    {
        EFFECTPARAM *comb = r + kReverbFirstComb + 5 * c;
        if (g_iEffectCombCount < EFFECT_MAX_COMBS)
            g_apEffectCombs[g_iEffectCombCount++] = comb;
        if (MakeLineMs(comb[4], RowValue(comb, 0)) != EFFECT_OK)
            return EFFECT_NO_MEMORY;
    }
    if (ReverbAllPassCount(r) && MakeLineMs(r[kReverbAllPass + 5], RowValue(r, kReverbAllPass)) != EFFECT_OK)
        return EFFECT_NO_MEMORY;
    return EFFECT_OK;
}

int FreeReverb(EFFECTPARAM *r)
{
    // Drop every registered comb of this unit; the bank closes up behind.
    int32_t n = 0;
    for (int32_t i = 0; i < g_iEffectCombCount && i < EFFECT_MAX_COMBS; i++)
    {
        EFFECTPARAM *p = g_apEffectCombs[i];
        bool own = p >= r && p < r + 23;
        if (!own)
            g_apEffectCombs[n++] = p;
    }
    for (int32_t i = n; i < EFFECT_MAX_COMBS; i++)
        g_apEffectCombs[i] = nullptr;
    g_iEffectCombCount = n;
    return 0;
}

int ProcessReverb(int16_t *s, int32_t count)
{
    int32_t combs = Clip(g_iEffectCombCount, 0, EFFECT_MAX_COMBS);
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int64_t acc = 0;
        for (int32_t c = 0; c < combs; c++)
        {
            EFFECTPARAM *comb = g_apEffectCombs[c];
            EFFECTDELAY *l = comb ? Line(comb[4]) : nullptr;
            if (!l)
                continue;
            int32_t gin = RowValue(comb, 1);
            int32_t *next = Next(l, l->pCurrent);
            *l->pCurrent = Sat32(Mul(x, gin) + Mul(*next, RowValue(comb, 3)));
            l->pCurrent = next;
            // Gain in scales the comb's output too; its gain-out row is not used.
            acc += Mul(*l->pCurrent, gin);
        }
        s[i] = Clamp16(acc + x);
    }
    if (g_pSelectedEffect && g_pSelectedEffect->uNumber == EFFECT_REVERB)
    {
        const EFFECTPARAM *r = g_pSelectedEffect->pRows;
        if (ReverbAllPassCount(r))
        {
            LoadAllPass(r + kReverbAllPass);
            RunAllPass(s, count);
        }
    }
    return 0;
}

// High/low pass: delay entries, gain out, then LFO frequency, start phase, min and max of
// coefficient A, the same four for B, state.
int InitHighLowPass(EFFECTPARAM *r)
{
    int res = MakeLine(r[10], RowValue(r, 0));
    s_work.pLine = Line(r[10]);
    s_work.iGainOut = RowValue(r, 1);
    Snd_SetupEffectLfo(Sat32((int64_t)RowValue(r, 4) * 256), Sat32((int64_t)RowValue(r, 5) * 256), RowValue(r, 2), 1,
                       0, RowValue(r, 3));
    Snd_SetupEffectLfo(Sat32((int64_t)RowValue(r, 8) * 256), Sat32((int64_t)RowValue(r, 9) * 256), RowValue(r, 6), 1,
                       1, RowValue(r, 7));
    return res;
}

int ProcessHighLowPass(int16_t *s, int32_t count)
{
    EFFECTDELAY *l = s_work.pLine;
    if (!l)
        return 0;
    int32_t *cur = l->pCurrent;
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int32_t a = Snd_EffectLfoValue(0), b = Snd_EffectLfoValue(1);
        int32_t *next = Next(l, cur);
        int64_t v = a == 0 ? 0 : Mul(x, a >> 8);
        if (b != 0)
            v += Mul(*next, b >> 8);
        int32_t sv = Sat32(v);
        *cur = sv;
        cur = next;
        s[i] = Clamp16(s_work.iGainOut == 0 ? 0 : Mul(sv, s_work.iGainOut));
    }
    l->pCurrent = cur;
    return 0;
}

// Weird: stage count, then up to two stages of eight rows each.
constexpr int32_t kWeirdStages = 2;

int32_t WeirdStageCount(const EFFECTPARAM *r)
{
    return Clip(RowValue(r, 0), 0, kWeirdStages);
}

int InitWeird(EFFECTPARAM *r)
{
    int32_t stages = WeirdStageCount(r);
    for (int32_t k = 0; k < stages; k++)
        if (InitStage(r + 1 + 8 * k) != EFFECT_OK)
            return EFFECT_NO_MEMORY;
    return EFFECT_OK;
}

int ProcessWeird(int16_t *s, int32_t count)
{
    if (!g_pSelectedEffect || g_pSelectedEffect->uNumber != EFFECT_WEIRD)
        return 0;
    const EFFECTPARAM *r = g_pSelectedEffect->pRows;
    int32_t stages = WeirdStageCount(r);
    for (int32_t k = 0; k < stages; k++)
    {
        LoadStage(r + 1 + 8 * k); // the oscillator restarts at the stage's phase every time
        RunPhase(s, count);
    }
    return 0;
}

// Bandpass: delay entries (internal), LFO frequency, start phase, min and max centre frequency,
// min and max gain out, feedback, two states (inputs, results).
int InitBandpass(EFFECTPARAM *r)
{
    int res = MakeLine(r[8], RowValue(r, 0));
    if (res == EFFECT_OK)
        res = MakeLine(r[9], RowValue(r, 0));
    s_work.pLine = Line(r[8]);
    s_work.pLine2 = Line(r[9]);
    s_work.iFeedback = RowValue(r, 7);
    Snd_SetupEffectLfo(Sat32((int64_t)RowValue(r, 3) * 256), Sat32((int64_t)RowValue(r, 4) * 256), RowValue(r, 1), 1, 0,
                       RowValue(r, 2));
    Snd_SetupEffectLfo(Sat32((int64_t)RowValue(r, 5) * 256), Sat32((int64_t)RowValue(r, 6) * 256), RowValue(r, 1), 1, 1,
                       RowValue(r, 2));
    return res;
}

int ProcessBandpass(int16_t *s, int32_t count)
{
    EFFECTDELAY *l1 = s_work.pLine, *l2 = s_work.pLine2;
    if (!l1 || !l2)
        return 0;
    int32_t *c1 = l1->pCurrent, *c2 = l2->pCurrent;
    for (int32_t i = 0; i < count; i++)
    {
        int32_t x = s[i];
        int32_t a = Snd_EffectLfoValue(0), b = Snd_EffectLfoValue(1);
        int32_t *n1 = Next(l1, c1), *n2 = Next(l2, c2);
        int64_t r = (int64_t)(*n1 >> 1) + (x >> 1) - (*c1 >> 1);
        if (a != 0)
            r -= Mul(*n2, a >> 8);
        if (s_work.iFeedback != 0)
            r -= Mul(*c2, s_work.iFeedback);
        int32_t rv = Sat32(r);
        *c1 = x;
        *c2 = rv;
        c1 = n1;
        c2 = n2;
        int64_t y = rv;
        if (b != 0)
            y = Mul(rv, b >> 8);
        s[i] = Clamp16(y);
    }
    l1->pCurrent = c1;
    l2->pCurrent = c2;
    return 0;
}

int ProcessComb(int16_t *s, int32_t count)
{
    RunComb(s, count);
    return 0;
}

int ProcessAllPass(int16_t *s, int32_t count)
{
    RunAllPass(s, count);
    return 0;
}

int ProcessFlange(int16_t *s, int32_t count)
{
    RunFlange(s, count);
    return 0;
}

int ProcessPhase(int16_t *s, int32_t count)
{
    RunPhase(s, count);
    return 0;
}

// Every unit's lines live in the one table; freeing a unit empties it and its state rows.
int FreeLines(EFFECTPARAM *r, uint32_t rowCount)
{
    FreeAllLines();
    for (uint32_t i = 0; i < rowCount; i++)
        if (r[i].ucKind == 0 && !r[i].pszName && r[i].iMin == 0 && r[i].iMax <= 0) // state rows
            r[i].iCurrent = 0;
    return 0;
}

int FreeComb(EFFECTPARAM *r) { return FreeLines(r, 5); }
int FreeAllPass(EFFECTPARAM *r) { return FreeLines(r, 6); }
int FreeReverbUnit(EFFECTPARAM *r)
{
    FreeReverb(r);
    return FreeLines(r, 23);
}
int FreeHighLowPass(EFFECTPARAM *r) { return FreeLines(r, 11); }
int FreeStageUnit(EFFECTPARAM *r) { return FreeLines(r, 8); }
int FreeWeird(EFFECTPARAM *r) { return FreeLines(r, 17); }
int FreeBandpass(EFFECTPARAM *r) { return FreeLines(r, 10); }

// ---------------------------------------------------------------- the table

struct RowList
{
    EFFECTPARAM rows[23];
    uint32_t n = 0;
    void Add(uint8_t kind, int32_t cur, int32_t def, int32_t mn, int32_t mx, const char *name, float scale)
    {
        rows[n++] = EFFECTPARAM{kind, cur, def, mn, mx, name, scale};
    }
    void Named(int32_t cur, int32_t def, int32_t mn, int32_t mx, int32_t id, const char *english,
               float scale = 1.0f)
    {
        Add(1, cur, def, mn, mx, Text(id, english), scale);
    }
    void Internal(int32_t cur, int32_t def, int32_t mn, int32_t mx) { Add(0, cur, def, mn, mx, nullptr, 1.0f); }
    void Gain(int32_t id, const char *english, int32_t cur = 128) { Named(cur, 128, -256, 256, id, english, 256.0f); }
    void GainIn() { Gain(319, "Gain in"); }
    void GainOut(int32_t cur = 128) { Gain(320, "Gain out", cur); }
    void Feedback(int32_t cur) { Gain(342, "Feedback", cur); }
    void Hidden(int32_t cur) { Internal(cur, 128, -256, 256); }
    void Frequency() { Named(4096, 4096, 0, 65535, 532, "LFO Frequency", 4096.0f); }
    void Phase() { Named(0, 0, 0, 4096, 533, "LFO Start Phase", 11.377778f); }
    void State(int32_t mx = 0) { Internal(0, 0, 0, mx); }
};

void BuildRows(int32_t effect, RowList &l)
{
    switch (effect)
    {
    case EFFECT_COMB:
        l.Named(151, 51, 1, 500, 213, "Delay");
        l.GainIn();
        l.GainOut();
        l.Feedback(-128);
        l.State(-1);
        break;
    case EFFECT_ALLPASS:
        l.Named(151, 71, 1, 500, 213, "Delay");
        l.GainIn();
        l.GainOut();
        l.Feedback(128);
        l.Gain(322, "Feed forward", -128);
        l.State();
        break;
    case EFFECT_REVERB:
    {
        l.Internal(3, 3, 1, 5);
        l.Internal(1, 1, 1, 5);
        static const int32_t kMs[3] = {51, 27, 43};
        static const int32_t kIds[3] = {324, 325, 343};
        static const char *const kNames[3] = {"Reflections #1", "Reflections #2", "Reflections #3"};
        for (int c = 0; c < 3; c++)
        {
            l.Named(kMs[c], kMs[c], 1, 250, kIds[c], kNames[c]);
            l.Hidden(128);
            l.Hidden(-128);
            l.Hidden(128);
            l.State();
        }
        l.Named(7, 7, 1, 500, 344, "Depth");
        l.GainIn();
        l.GainOut(-128);
        l.Hidden(128);
        l.Hidden(128);
        l.State();
        break;
    }
    case EFFECT_HIGHLOWPASS:
        l.Named(8, 1, 1, 64, 213, "Delay");
        l.GainOut();
        l.Frequency();
        l.Phase();
        l.Gain(534, "Min Coeff A");
        l.Gain(535, "Max Coeff A");
        l.Frequency();
        l.Phase();
        l.Gain(536, "Min Coeff B", 64);
        l.Gain(537, "Max Coeff B", 192);
        l.State();
        break;
    case EFFECT_FLANGE:
    case EFFECT_PHASE:
        l.Named(1, 1, 1, 500, 330, "Start delay");
        l.Named(100, 1, 1, 500, 331, "End delay");
        l.GainIn();
        l.GainOut();
        if (effect == EFFECT_FLANGE)
            l.Feedback(256);
        else
            l.Named(128, 128, 0, 256, 342, "Feedback", 256.0f);
        l.Frequency();
        l.Phase();
        l.State();
        break;
    case EFFECT_WEIRD:
        l.Internal(2, 1, 1, 5);
        for (int k = 0; k < 2; k++)
        {
            l.Named(k ? 500 : 1, 1, 1, 1000, 330, "Start delay");
            l.Named(k ? 750 : 250, 1, 1, 1000, 331, "End delay");
            l.GainIn();
            l.GainOut(k ? -128 : 128);
            l.Named(128, 128, 0, 256, 342, "Feedback", 256.0f);
            l.Frequency();
            l.Phase();
            l.State();
        }
        break;
    case EFFECT_BANDPASS:
        l.Internal(2, 71, 1, 500);
        l.Frequency();
        l.Phase();
        l.Named(0, 0, -512, 512, 528, "Min Centre Frequency", 512.0f);
        l.Named(0, 0, -512, 512, 529, "Max Centre Frequency", 512.0f);
        l.Named(128, 128, 0, 256, 530, "Min Gain Out", 256.0f);
        l.Named(128, 128, 0, 256, 531, "Max Gain Out", 256.0f);
        l.Named(224, 128, 0, 256, 342, "Feedback", 256.0f);
        l.State();
        l.State();
        break;
    }
}

struct UnitOps
{
    int32_t textId;
    const char *english;
    int (*init)(EFFECTPARAM *);
    int (*free)(EFFECTPARAM *);
    int (*process)(int16_t *, int32_t);
};

const UnitOps kUnits[EFFECT_COUNT] = {
    {318, "Comb filter", InitComb, FreeComb, ProcessComb},
    {321, "All-pass filter", InitAllPass, FreeAllPass, ProcessAllPass},
    {323, "Reverb filter", InitReverb, FreeReverbUnit, ProcessReverb},
    {326, "High/low pass filter", InitHighLowPass, FreeHighLowPass, ProcessHighLowPass},
    {329, "Flange filter", InitStage, FreeStageUnit, ProcessFlange},
    {334, "Phase filter", InitStage, FreeStageUnit, ProcessPhase},
    {546, "Weird filter", InitWeird, FreeWeird, ProcessWeird},
    {345, "Bandpass filter", InitBandpass, FreeBandpass, ProcessBandpass},
};

void FreeSelected()
{
    if (g_pSelectedEffect)
        g_pSelectedEffect->pfnFree(g_pSelectedEffect->pRows);
    FreeAllLines();
    s_bEffectReady = false;
}

} // namespace

// ---------------------------------------------------------------- oscillators

int32_t Snd_EffectLfoSine(int32_t k)
{
    int64_t mag = k < 0 ? -(int64_t)k : k;
    if (mag > 16384)
        mag %= 16384;
    int32_t s = Sys_FixedSin((int32_t)(4 * mag));
    return k < 0 ? -s : s;
}

void Snd_SetupEffectLfo(int32_t minimum, int32_t maximum, int32_t frequency, uint32_t shape, int32_t lfo,
                        int32_t startPhase)
{
    if (lfo < 0 || lfo > 1)
        return;
    EFFECTLFO &o = g_astEffectLfo[lfo];
    int64_t centre = ((int64_t)minimum + maximum) >> 1;
    int64_t rate = g_iEffectSampleRate > 0 ? g_iEffectSampleRate : 1;
    int64_t freq = (int64_t)frequency * 4096;
    int64_t step = freq / rate;
    o.uShape = shape;
    o.iCentre = Sat32(centre);
    o.iAmplitude = Sat32(maximum - centre);
    o.iFrequency = Sat32(freq);
    o.iUpper = kLfoPeriod;
    int64_t phase = ((int64_t)startPhase >> 2) * 4096;
    if (shape == 1)
    {
        o.iLower = 0;
        o.iStep = Sat32(step);
        phase %= kLfoPeriod;
        if (phase < 0)
            phase += kLfoPeriod;
    }
    else
    {
        o.iLower = -kLfoPeriod;
        o.iStep = Sat32(step * 4);
        if (phase < o.iLower || phase >= o.iUpper)
            phase = 0;
    }
    o.iPhase = (int32_t)phase;
}

int32_t Snd_EffectLfoValue(int32_t lfo)
{
    if (lfo < 0 || lfo > 1)
        return 0;
    EFFECTLFO &o = g_astEffectLfo[lfo];
    int64_t amp = (int64_t)o.iAmplitude - 1;
    int64_t value;
    if (o.uShape == 1)
    {
        value = (((int64_t)Snd_EffectLfoSine(o.iPhase >> 12) * amp) >> 12) + o.iCentre;
        // One period a step at most in use; the remainder keeps any step inside the period.
        int64_t p = ((int64_t)o.iPhase + o.iStep) % kLfoPeriod;
        if (p < 0)
            p += kLfoPeriod;
        o.iPhase = (int32_t)p;
    }
    else
    {
        value = ((int64_t)(o.iPhase >> 12) * amp >> 12) + o.iCentre;
        int64_t p = (int64_t)o.iPhase + o.iStep;
        if (p < o.iLower || p >= o.iUpper)
        {
            o.iStep = -o.iStep;
            p += o.iStep;
        }
        if (p < o.iLower || p >= o.iUpper)
            p = o.iPhase;
        o.iPhase = (int32_t)p;
    }
    return Sat32(value);
}

// ---------------------------------------------------------------- interface

int Snd_BuildEffects()
{
    Snd_FreeEffects();
    for (int32_t e = 0; e < EFFECT_COUNT; e++)
    {
        RowList list;
        BuildRows(e, list);
        EFFECTUNIT *u = (EFFECTUNIT *)Sys_MemAlloc(nullptr, sizeof(EFFECTUNIT));
        if (!u)
            return EFFECT_NO_MEMORY;
        EFFECTPARAM *rows = (EFFECTPARAM *)Sys_MemAlloc(nullptr, list.n * sizeof(EFFECTPARAM));
        if (!rows)
        {
            Sys_MemFree(u);
            return EFFECT_NO_MEMORY;
        }
        std::memcpy((void *)rows, list.rows, list.n * sizeof(EFFECTPARAM));
        u->uNumber = (uint32_t)e;
        u->pszName = Text(kUnits[e].textId, kUnits[e].english);
        u->uRowCount = list.n;
        u->pfnInit = kUnits[e].init;
        u->pfnFree = kUnits[e].free;
        u->pfnProcess = kUnits[e].process;
        u->pRows = rows;
        g_apEffects[e] = u;
    }
    return EFFECT_OK;
}

void Snd_FreeEffects()
{
    FreeSelected();
    g_pSelectedEffect = nullptr;
    for (int32_t e = EFFECT_COUNT - 1; e >= 0; e--)
    {
        if (!g_apEffects[e])
            continue;
        Sys_MemFree(g_apEffects[e]->pRows);
        Sys_MemFree(g_apEffects[e]);
        g_apEffects[e] = nullptr;
    }
    for (EFFECTPARAM *&p : g_apEffectCombs)
        p = nullptr;
    g_iEffectCombCount = 0;
}

int Snd_SetEffectParam(int32_t effect, int32_t row, int32_t value)
{
    if (effect < 0 || effect >= EFFECT_COUNT || !g_apEffects[effect])
        return -1;
    EFFECTUNIT *u = g_apEffects[effect];
    if (row < 0 || (uint32_t)row >= u->uRowCount)
        return -1;
    EFFECTPARAM &p = u->pRows[row];
    if (value == EFFECT_DEFAULT_VALUE)
        p.iCurrent = p.iDefault;
    else if (value < p.iMin)
        p.iCurrent = p.iMin;
    else if (value > p.iMax)
        p.iCurrent = p.iMax;
    else
        p.iCurrent = value;
    return 0;
}

int Snd_SetEffectSampleRate(int32_t rate)
{
    g_iEffectSampleRate = rate;
    return 0;
}

int Snd_SelectEffect(int32_t effect)
{
    if (effect < 0 || effect >= EFFECT_COUNT || !g_apEffects[effect])
        return -1;
    FreeSelected();
    g_pSelectedEffect = g_apEffects[effect];
    s_work = EffectWork{};
    // Delays in ms and the oscillators' steps are worked out from the rate.
    if (g_iEffectSampleRate <= 0)
        return EFFECT_NO_MEMORY;
    int res = g_pSelectedEffect->pfnInit(g_pSelectedEffect->pRows);
    s_bEffectReady = res == EFFECT_OK;
    return res;
}

int Snd_RunEffect(int32_t effect, int16_t *pSamples, int32_t count)
{
    if (effect < 0 || effect >= EFFECT_COUNT || !g_pSelectedEffect || g_pSelectedEffect != g_apEffects[effect] ||
        !s_bEffectReady || !pSamples || count <= 0)
        return -1;
    return g_pSelectedEffect->pfnProcess(pSamples, count);
}

int Snd_ReleaseEffect(int32_t effect)
{
    (void)effect; // only the selected effect holds anything
    FreeSelected();
    g_pSelectedEffect = nullptr;
    return 0;
}
