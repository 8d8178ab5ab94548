// The eight built-in effects of the sample editor. Each rewrites a range of a mono 16-bit sample
// in place, with integer arithmetic only: gains and coefficients in 1/256, (a x g) >> 8 with an
// arithmetic shift, every output clamped to -32768..32767.
//
// Numbers: products and sums are taken in 64 bits; a value stored in a delay line is held to the
// 32-bit range and an output is clamped to 16 bits. Wherever a 32-bit register would not have
// overflowed this gives the same numbers; where it would have (runaway feedback over a long
// sample) the line saturates instead of wrapping into the opposite sign.
//
// Use: set the rows (Snd_SetEffectParam), set the rate, select, run once, release. Only the
// selected effect owns delay lines; a state row holds a small handle into the effect's line table
// (never an address), so a row written from outside can at worst make a stage skip its work.
#pragma once

#include <cstdint>

constexpr int32_t EFFECT_COUNT = 8;
constexpr int32_t EFFECT_DEFAULT_VALUE = (int32_t)0xF0000000; // Snd_SetEffectParam: take the default
constexpr int32_t EFFECT_MAX_COMBS = 8;
constexpr int32_t EFFECT_MAX_LINES = 8;
// Longest delay line made (entries); a longer one is refused like a failed allocation.
constexpr uint32_t EFFECT_MAX_LINE_ENTRIES = 1u << 22;

// Results of init / Snd_SelectEffect.
enum
{
    EFFECT_OK = 0,
    EFFECT_NO_MEMORY = 2,
};

enum
{
    EFFECT_COMB = 0,
    EFFECT_ALLPASS = 1,
    EFFECT_REVERB = 2,
    EFFECT_HIGHLOWPASS = 3,
    EFFECT_FLANGE = 4,
    EFFECT_PHASE = 5,
    EFFECT_WEIRD = 6,
    EFFECT_BANDPASS = 7,
};

struct EFFECTPARAM
{
    uint8_t ucKind; // 1 = user parameter, 0 = internal row
    int32_t iCurrent;
    int32_t iDefault;
    int32_t iMin;
    int32_t iMax;
    const char *pszName; // null for unnamed internal rows
    float fScale;        // shown as current / scale
};

struct EFFECTUNIT
{
    uint32_t uNumber;
    const char *pszName;
    uint32_t uRowCount;
    int (*pfnInit)(EFFECTPARAM *pRows);
    int (*pfnFree)(EFFECTPARAM *pRows);
    int (*pfnProcess)(int16_t *pSamples, int32_t count);
    EFFECTPARAM *pRows;
};

struct EFFECTDELAY
{
    uint32_t uLength; // entries
    int32_t *pCurrent;
    int32_t *pEnd; // one past the last entry
    int32_t *pBuffer;
};

struct EFFECTLFO
{
    uint32_t uShape; // 1 = sine, 0 = triangle
    int32_t iLower;
    int32_t iCentre;
    int32_t iUpper;
    int32_t iPhase;
    int32_t iStep;
    int32_t iFrequency; // frequency << 12
    int32_t iAmplitude;
};

extern EFFECTUNIT *g_apEffects[EFFECT_COUNT];
extern EFFECTUNIT *g_pSelectedEffect; // null when none
extern EFFECTLFO g_astEffectLfo[2];
extern int32_t g_iEffectSampleRate;
// The reverb's comb bank: the first row of each registered comb.
extern EFFECTPARAM *g_apEffectCombs[EFFECT_MAX_COMBS];
extern int32_t g_iEffectCombCount;
// Lines of the selected effect; a state row holds index + 1 (0 = none).
extern EFFECTDELAY g_astEffectDelays[EFFECT_MAX_LINES];

// Builds the eight units with their rows. 0, or 2 when memory runs out (what was built stays;
// Snd_FreeEffects takes it down).
int Snd_BuildEffects();
// Releases the selection and frees every unit.
void Snd_FreeEffects();
// Row value: EFFECT_DEFAULT_VALUE takes the default, anything else is held to min..max. 0, or -1
// for an effect or row that does not exist (nothing changed).
int Snd_SetEffectParam(int32_t effect, int32_t row, int32_t value);
int Snd_SetEffectSampleRate(int32_t rate);
// Frees whatever is selected, selects the effect and prepares it: 0, or 2 when its lines cannot be
// made or no rate above 0 was set (the effect stays selected and must be released; it will not
// run). -1 for an effect that does not exist.
int Snd_SelectEffect(int32_t effect);
// Runs the selected, prepared effect over count samples in place. -1 (samples untouched) when the
// effect is not the one selected, its preparation failed, or there is nothing to run on.
int Snd_RunEffect(int32_t effect, int16_t *pSamples, int32_t count);
// Frees the selected effect's lines and clears the selection. 0.
int Snd_ReleaseEffect(int32_t effect);

// Oscillators (both effects' LFOs). Shape 1 = sine, 0 = triangle. The rate must be above 0.
void Snd_SetupEffectLfo(int32_t minimum, int32_t maximum, int32_t frequency, uint32_t shape, int32_t lfo,
                        int32_t startPhase);
// Current value, then one step on.
int32_t Snd_EffectLfoValue(int32_t lfo);
// Sine of an oscillator phase index (phase >> 12): four turns of the 4.12 sine over 0..16383.
int32_t Snd_EffectLfoSine(int32_t k);
