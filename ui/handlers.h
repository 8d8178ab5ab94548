// The pad handlers the binding table names. Those of screens 40 and 55, which no screen change
// ever selects, answer with the refusal sound and a log line; they are listed in
// ui/unbuilt_handlers.def.
#pragma once

#include <cstdint>

#include "ui/noteparams.h"
#include "ui/riffeditor.h"
#include "ui/iconpicker.h"
#include "ui/liveentry.h"

#define UI_UNBUILT_HANDLER(name) void name();
#include "ui/unbuilt_handlers.def"
#undef UI_UNBUILT_HANDLER

// The page-menu shortcut handlers: each runs the current menu page's item for its slot.
void Ui_RunPageItemSlot0();
void Ui_RunPageItemSlot3();
void Ui_RunPageItemSlot8();
void Ui_RunPageItemSlot9();
void Ui_RunPageItemSlot10();
void Ui_RunPageItemSlot11();
void Ui_RunPageItemSlot14();
void Ui_RunPageItemSlot15();
// Runs the current menu page's first item for the slot (ui/menupages.h).
void Ui_RunPageItemForSlot(int32_t slot);

// A refused choice: interface sound 3. Counted, for the tests.
void Ui_PlayRefusal();
extern uint32_t g_uRefusals;
// What an unbuilt handler does: sound 3 and, once per handler, a line on the log.
void Ui_RefuseUnbuilt(const char *name);
// How many times unbuilt handlers were run, for tests.
extern uint32_t g_uUnbuiltHandlerRuns;
extern const char *g_pszLastUnbuiltHandler;
// Called after each refusal when set (tests record the order handlers ran in).
extern void (*g_pfnAfterUnbuilt)();
