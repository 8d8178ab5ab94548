// The mixer panel (screens 63 and 64): one line of the sound card's mixer, chosen with a slider,
// and a level slider for each of its controls; levels are written to the mixer as they change and
// the mixer closes when the panel is left. Main thread only.
#pragma once

#include <cstdint>

struct VALUESLIDER;
struct WINDOW;

constexpr int ED_MIXER_ROWS = 16;
constexpr int32_t SCREEN_MIXER = 63;
constexpr int32_t SCREEN_MIXER_LEVEL = 64;

struct MIXERSCREENLINE
{
    VALUESLIDER *slider;
    char name[32];
    int32_t level; // 0..255
};

extern MIXERSCREENLINE g_astMixerScreenLines[ED_MIXER_ROWS];
extern uint8_t g_ucMixerLine;       // the focused row
extern int32_t g_iMixerLineIndex;   // the mixer line shown (kept between openings)
extern uint8_t g_ucMixerControlCount;
extern WINDOW *g_pMixerWindow;

void Ed_OpenMixerPanel();
void Ed_CloseMixerPanel();
void Ed_MixerRefreshLines();
void Ed_MixerPanelDraw(void *user);
void Ed_MixerChoiceLeft();
void Ed_MixerChoiceRight();
void Ed_MixerLineUp();
void Ed_MixerLineDown();
void Ed_MixerChoiceAct();
void Ed_MixerLevelCoarseStep();
void Ed_MixerLevelCoarseStep2();
void Ed_MixerLevelPageBack();
