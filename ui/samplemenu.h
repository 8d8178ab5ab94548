// The sample editor's menu pages "Edit sample" and "Sample Effects": the area operations (run
// behind the busy box), the loop switch, the effect parameters pop-up and the mix panel. The
// sample editor panel itself is ui/samplepanel.*; the sample operations are audio/sampleedit.*.
// Main thread only.
#pragma once

#include <cstdint>

struct POPUP;
struct WINDOW;

constexpr int32_t POPUP_EFFECT_PARAMS = 11;
constexpr int32_t EFFECT_POPUP_MAX_W = 350;
constexpr int32_t EFFECT_POPUP_MAX_H = 175;
constexpr int32_t SAMPLE_MIN_AREA = 232; // an area, or what a cut leaves, is never shorter

// The effect parameters pop-up.
extern int32_t g_iEffectParamEffect;               // 0..7
extern int32_t g_aiEffectSavedValues[32];          // per parameter row, for cancel
extern int32_t g_iEffectParamRows;                 // shown parameters + 2
extern int32_t g_aiEffectRowParam[32];             // list row -> parameter row
extern POPUP *g_pEffectPopup;                      // null while closed
// The mix panel.
extern WINDOW *g_pMixPanelWindow;
extern int32_t g_iMixNote, g_iMixFineTune;
// 1 while the editor shows a CD recording (no preview, no loop switch).
extern uint8_t g_ucSampleSourceMode;
extern int32_t g_iRememberedLoopPoint;

// Handlers of the "Edit sample" and "Sample Effects" rows, installed at the front end's start;
// the busy operations behind them.
void Ui_InstallSampleEditItems();
void Ui_InitSampleMenuOperations();

void Ui_SampleMenuZoomOut();
void Ui_SampleMenuCopy();
void Ui_SampleMenuApplyEffects();
void Ui_SampleMenuCut();
void Ui_SampleMenuTrim();
void Ui_SampleMenuMix();
void Ui_SampleMenuStayOnEditor(); // "Set fade", "Set grid spacing"
void Ui_SampleMenuPaste();
void Ui_SampleMenuReverse();
void Ui_SampleMenuLoopOn();
void Ui_SampleMenuLoopOff();
void Ui_SampleMenuEffect(int32_t n);

void Ui_SwapLoopItem();
void Ui_ToggleLoop();
void Ui_SampleEditorMenu();
void Ui_DisableSampleListItems();
void Ui_EnableSampleListItems();
// The frame of a wave-view pixel over the visible range (64-bit: long recordings overflow 32).
int32_t Ui_PixelToSamplePos(int32_t px);

void Ui_OpenEffectParams(int32_t n);
int32_t Ui_CountShownParams(int32_t effect);
// The kind-11 choice and close, from the pop-up mechanism; false for other kinds.
bool Ui_EffectParamsChoose(POPUP *p, int32_t row);
bool Ui_EffectParamsClose(POPUP *p);
// "Apply filter" without the busy box's wait: what operation 19 runs.
uint8_t Ui_ApplySelectedEffect();

void Ui_OpenMixPanel();
// Leaving the mix panel: the two values kept, the window closed and the mix run (operation 16).
void Ui_CloseMixPanel();
