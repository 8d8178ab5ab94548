// The sample editor: rewrites the mono 16-bit sample of one instrument and records every operation
// as a command in the instrument's chain, so a song re-creates the edited sample from its library
// source by replaying the chain (and an undo replays all but the last command).
//
// Ranges are inclusive frame numbers (mix, envelope and normalise stop before a2). Arguments
// come from stored chains that may replay on a source of another length, so every range is held
// to the data: an empty range does nothing, a paste position is held to 0..frames, a loop start
// outside the data turns the loop off. The loop marker is kept in frames throughout.
#pragma once

#include <cstdint>

struct SAMPLESLOT;
struct COMMANDENTRY;

enum
{
    EDIT_CLOSED = 2,
    EDIT_FULL = 1,
    EDIT_SILENT = 0,
};

enum
{
    EDIT_CROP = 10,
    EDIT_REVERSE = 11,
    EDIT_CUT = 12,
    EDIT_COPY = 13,
    EDIT_PASTE = 14,
    EDIT_SOURCE = 15,
    EDIT_LOOP = 16,
    EDIT_MIX = 17,
    EDIT_ENVELOPE = 18,
    EDIT_NORMALISE = 19,
};

constexpr int32_t EDIT_MIN_CUT_REMAINDER = 140; // frames a cut must leave
constexpr int32_t EDIT_PICTURE_WIDTH = 232;
constexpr int32_t EDIT_PICTURE_HEIGHT = 101;
constexpr int32_t EDIT_PICTURE_BYTES = EDIT_PICTURE_HEIGHT * EDIT_PICTURE_WIDTH / 2;
constexpr int32_t EDIT_MAX_EFFECT_ROWS = 32;

extern int32_t g_iSampleEditorState;
extern SAMPLESLOT *g_pEditSample;
extern int32_t g_iEditInstrument;
extern int32_t g_iEditFrames;
extern int32_t g_iEditLoopMarker; // frames; -1 none
extern int32_t g_iEditRateCode;
extern int32_t g_iEditRateFactor;
extern int32_t g_bEditEdited;
extern int32_t g_iEditSampleIndex; // SAMPLEENTRY index, -1 none
extern int32_t g_iEditViewFirst, g_iEditViewLast;
extern int32_t g_iEditSelFirst, g_iEditSelLast;
extern int32_t g_bEditWholeSample;
extern int32_t g_bEditPreviewOn;
extern int32_t g_aiEditEffectValues[EDIT_MAX_EFFECT_ROWS];
extern char g_szEditMessage[64];
extern uint8_t *g_pEditPicture; // 101 rows of 116 bytes, low nibble the left pixel
extern uint16_t g_auEditPalette[16];
// Times the picture was sent to its texture (slot 10).
extern int32_t g_iEditPictureUploads;
extern uint8_t g_aucEditColumnLevel[EDIT_PICTURE_WIDTH];

struct EDITCLIPBOARD
{
    int16_t *pData;
    int32_t iFrames;
    int32_t iRateCode;
    int32_t bRecordable;
    int32_t iSourceInstrument;
    COMMANDENTRY *pChain; // how the clip was made, led by a source command
};
extern EDITCLIPBOARD g_stEditClipboard;

int Snd_OpenSampleEditor(int32_t mode);
void Snd_CloseSampleEditor();
void Snd_SelectEditInstrument(int32_t slot, int32_t selectOnly);
// Rate code of a sample rate: 3 = 44100, 2 = 22050, 1 = 11025 Hz, 0 any other (the editor takes 1).
int32_t Snd_RateCodeOf(uint32_t rate);
void Snd_EditWholeSample(int32_t slot, int32_t selectOnly);
void Snd_SetEditInstrument(int32_t slot);
int Snd_DispatchSampleEdit(int32_t code, int32_t a1, int32_t a2, int32_t a3);
int Snd_DoSampleEdit(int32_t code, int32_t a1, int32_t a2, int32_t a3);
void Snd_ReplayEditChain(const COMMANDENTRY *pChain, int32_t count);
int Snd_UndoSampleEdit();
void Snd_ProcessEditRange(int32_t first, int32_t last);
void Snd_ToggleEditPreview(int32_t startFrame);
// Once a frame on the main thread: stops the preview when the mixer says it reached its end.
void Snd_EditPreviewFrame();
int32_t Snd_GetEditLoopStart();
int32_t Snd_IsEditSampleLooped();
void Snd_GetEditSelection(int32_t *pFirst, int32_t *pLast);
int32_t Snd_EditNoteToRate(int32_t note, int32_t fine);
void Snd_SetEffectRateFromSample();
int Snd_AllocEditScratch();
void Snd_FreeEditScratch();
// 8 bytes of a library name as two big-endian numbers, and back.
void Snd_PackEditEntry(const char name[8], uint32_t *pParam0, uint32_t *pParam1);
void Snd_UnpackEditEntry(uint32_t param0, uint32_t param1, char name[8]);
