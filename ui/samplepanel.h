// The sample editor panel: one sample of the song as a wave view with four markers (cursor, area
// start, area end, loop point), a range bar over the whole sample and a column of positions. It
// opens on an instrument of the sample palette, or in recording mode, where a new sample is
// recorded from the sound card's input into a new instrument. The sample data and its edits are
// the audio engine's sample editor (audio/sampleedit.h). Main thread only.
#pragma once

#include <cstdint>

struct SCROLLBAR;
struct WINDOW;

constexpr int32_t SAMPLE_VIEW_PIXELS = 232;
constexpr int32_t SCREEN_SAMPLEEDIT = 15;
constexpr int32_t SAMPLE_LOOP_STEP = 28;

enum : uint8_t
{
    SAMPLEPANEL_EDIT = 0,
    SAMPLEPANEL_RECORD = 1,
};

enum : int32_t
{
    SAMPLEMARK_CURSOR = 0,
    SAMPLEMARK_START = 1,
    SAMPLEMARK_END = 2,
    SAMPLEMARK_LOOP = 3,
};

extern WINDOW *g_pSampleEditWindow; // null while closed
extern SCROLLBAR *g_pSampleRangeBar;
extern uint8_t g_ucSampleEditMode;
extern int32_t g_iSampleEditSlot;
extern uint8_t g_ucSampleOpenCountdown;
extern int32_t g_aiSampleMarkerPx[4];
extern int32_t g_aiSampleMarkerPos[4];
extern int8_t g_cSampleMarker;
extern uint8_t g_bSampleLoopPresent;
extern int32_t g_iSampleLength;
extern uint8_t g_ucSampleMoveStep;
extern uint8_t g_ucSampleMoveHold;
extern uint8_t g_bSampleMoved;
extern uint8_t g_ucSampleMoveDelay;
extern uint8_t g_ucSampleLoopSnap; // bit 0 asked, bit 1 held back
extern int32_t g_bSamplePanelReady; // the sample is loaded and shown (screen 15)
extern void *g_pSampleRecordBox;     // the recording's status box while it runs

// Opens the panel: mode 0 on an instrument slot (a slot without a name refuses), 1 to record.
void Ui_OpenSampleEditPanel(int32_t mode, int32_t slot);
void Ui_MenuRecordFromPcAudio();
void Ui_MenuEditSample();
void Ui_SampleEditPanelTick();
void Ui_DrawSampleEditPanel(void *user);
void Ui_SampleEditLoad();
void Ui_SampleEditReady();
void Ui_SampleEditLoadFailed(uint8_t button);
void Ui_CloseSampleEditPanel();

void Ui_SampleMarkerLeft();
void Ui_SampleMarkerRight();
void Ui_SamplePrevMarker();
void Ui_SampleNextMarker();
void Ui_SampleZoomIntoArea();
void Ui_SampleZoomOut();
void Ui_SampleApplyView();
void Ui_SampleSnapLoop();
// Sets the view (held to the sample, at least 232 samples wide) and redraws it behind the busy box.
void Ui_SampleSetView(int32_t start, int32_t end);
// The sample position of a wave-view pixel and back, in the current view.
int32_t Ui_SamplePosOfPixel(int32_t px);
int32_t Ui_SamplePixelOfPos(int32_t pos);

// 1 started, -1 the capture did not start (the box is closed again), 0 while the preview plays.
int32_t Ui_StartPcAudioRecording();
void Ui_StopPcAudioRecording();
void Ui_RecordingStopped(uint8_t button);

// The edit items of the panel's menu page that the panel runs itself.
void Ui_SampleMenuNormalise();
void Ui_SampleMenuUndo();
void Ui_SampleMenuPlay();
// Page 6 while the sample plays: every item but "Stop" greyed; and back.
void Ui_SampleMenuIdle();
void Ui_SampleMenuPlaying();

void Ui_InstallSampleMenuItems();
void Ui_InitSamplePanelOperations();

// The pad handlers of screen 15.
void Ui_SampleEditClose();
void Ui_SampleEditLeft();
void Ui_SampleEditRight();
void Ui_SampleEditPrevMarker();
void Ui_SampleEditNextMarker();
