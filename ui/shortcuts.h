// Keyboard shortcuts: a fixed table binds a key on a screen, optionally with Control, to a
// handler; once a frame the rows matching the last key run in table order and the key is dropped.
// Also the grid navigation handlers the table and the menu pages share.
#pragma once

#include <cstdint>

// Virtual-key numbers of the table (the window procedure stores these in g_iLastKeyCode).
enum : uint32_t
{
    KEY_ENTER = 0x0D,
    KEY_SPACE = 0x20,
    KEY_PAGEUP = 0x21,
    KEY_PAGEDOWN = 0x22,
    KEY_END = 0x23,
    KEY_HOME = 0x24,
    KEY_INSERT = 0x2D,
    KEY_DELETE = 0x2E,
    KEY_C = 0x43,
    KEY_M = 0x4D,
    KEY_V = 0x56,
    KEY_X = 0x58,
    KEY_Y = 0x59,
    KEY_Z = 0x5A,
};

struct KEYSHORTCUT
{
    uint32_t screen;
    uint32_t key;
    uint32_t mask; // 0 any modifier state, 2 Control
    void (*handler)();
};
static_assert(sizeof(void (*)()) != 4 || sizeof(KEYSHORTCUT) == 16);

constexpr int UI_KEY_SHORTCUTS = 30;
// The table and its closing row of zeros.
extern const KEYSHORTCUT g_atKeyShortcuts[UI_KEY_SHORTCUTS + 1];

void Ui_DispatchKeyShortcut();

// Grid navigation on the main grid view; each refreshes the view and its bars.
void Ui_GoToGridStart();
void Ui_GoToSongEnd();
void Ui_GoToVideoEnd();
void Ui_GoToGridTop();
void Ui_GoToGridBottom();
void Ui_PageGridUp();
void Ui_PageSongGridDown();
void Ui_PageVideoGridDown();
void Ui_Redo();

// The table's own actions around the undo log and playback.
void Ui_ShortcutPlayStop();
void Ui_ShortcutVideoUndo();
void Ui_ShortcutSongUndo();

// Editor actions the table names; the editors that own them define them.
void Ed_OpenMixerPanel();
void Ed_ClearLaneMarksAndStop();
void Ed_SamplePreviewToggle();
