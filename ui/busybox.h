// The busy box: a long operation is handed over by number; the box shows its text and the item's
// name for a few frames, then its draw callback runs the operation with the frame tick held,
// closes itself, runs the operation's follow-up and reports the result.
#pragma once

#include "ui/textfield.h"
#include "ui/widgets.h"

#include <cstdint>

constexpr int UI_BUSY_CODES = 30;
constexpr int UI_BUSY_NAME = 100;
// The x that centres the box on the screen.
constexpr int32_t UI_BUSY_CENTRED = 666;

struct BUSYBOX
{
    WINDOW *window;
    TEXTFIELD *caption;
    char name[UI_BUSY_NAME]; // a copy: callers pass listing rows and formatted texts
    char text[UI_BUSY_NAME];
    BEVELSET lines;
    uint8_t countdown; // frames before the operation runs; 0 idle
    uint8_t code;
    uint8_t result;
};
extern BUSYBOX g_tBusyBox;
extern WINDOW *g_pBusyBoxWindow;

// An operation returns its result code (0 done, 10 sound memory full, 20/21 out of memory); its
// follow-up runs after the box has closed.
typedef uint8_t (*BUSYOPERATION)();
typedef void (*BUSYFOLLOWUP)();
struct BUSYOPROW
{
    BUSYOPERATION run;
    BUSYFOLLOWUP followUp;
};
// The operation table; owners whose subsystem is built replace their rows.
extern BUSYOPROW g_atBusyOps[UI_BUSY_CODES];
void Ui_SetBusyOperation(int32_t code, BUSYOPERATION run, BUSYFOLLOWUP followUp);
void Ui_InitBusyOperations();
// The pools' start: no box, no countdown, the operation table filled.
void Ui_ResetBusyBox();

// Opens the box (any pending one is closed first and its operation dropped). Null when no
// window is free.
WINDOW *Ui_OpenBusyBox(const char *name, const char *text, int32_t x, int32_t y, int32_t code);
void Ui_BusyBoxTick(void *user);
// 10: the sound-memory message; 20 and 21: the out-of-memory box; anything else: nothing.
void Ui_ReportBusyResult(uint8_t result);
// The message the last report showed (null: none), for the tests and the log.
extern const char *g_pszBusyReport;
