// What the pop-up kinds of the libraries and palettes list and do: the riff, clip and sample
// libraries (kinds 0-2), the clip, sample and riff palettes (3, 4, 7), and the busy operations
// that load what they choose. The pop-up mechanism itself is ui/popup.*.
#pragma once

#include "ui/list.h"

#include <cstdint>

struct POPUP;

enum : uint8_t
{
    POPUP_CLIP_PALETTE = 3,
    POPUP_SAMPLE_PALETTE = 4,
    POPUP_NOTE_EFFECT = 6,
    POPUP_RIFF_PALETTE = 7,
};

// Rows a kind supplies itself: their count, source and drawing (null: plain text). False for
// the kinds whose rows come from elsewhere.
bool Ui_PopupKindRows(POPUP *p, int32_t *total, LISTFILLROW *fill, LISTDRAWROW *draw);
// The choice of a row in the kinds built here; false when the kind is not one of them. The
// position is already stored and the step of the frame taken.
bool Ui_PopupKindChoose(POPUP *p, int32_t row);
// The close of the kinds built here (the slot freed, screen and focus restored); false when the
// kind is not one of them.
bool Ui_PopupKindClose(POPUP *p);
// The sample library's page menu (a chosen entry, or slot 0 released without a folder step).
void Ui_OpenSampleLibraryMenu();

// A row of the jam list can be chosen: listed, not empty, and no jam running.
bool Ui_JamListRowAvailable(const POPUP *p, int32_t row);

// Openers: the menu items "Riff Library", "Riff Palette", "Clip Library", "Clip Palette",
// "Sample library" and "Sample palette".
void Ui_OpenRiffLibrary();
void Ui_OpenRiffPalettePopup();
void Ui_OpenClipLibrary();
void Ui_OpenClipPalette();
// The note panel's effect list (kind 6), on the row of the panel note's effect; choosing a row
// gives the note that effect.
void Ui_OpenNoteEffectPopup();

// The library page items: load the selected sample at a rate (1 11 kHz, 2 22 kHz, 3 44 kHz)
// into a slot chosen in the sample palette, or hear it first; hear a riff or a clip.
extern uint8_t g_ucSampleRateChoice;
// Set while a "Demo riff" waits for its busy box, so that a second press does nothing.
extern int32_t g_bRiffDemoBusy;
void Ui_LoadLibrarySampleAt(int32_t rate);
void Ui_DemoLibrarySampleAt(int32_t rate);
void Ui_DemoLibraryRiff();
void Ui_DemoLibraryClip();

// Installs the menu items above and the busy operations that load library entries (codes 1, 2,
// 13, 14, 21, 22).
void Ui_InstallPopupKindItems();
void Ui_InitLibraryBusyOperations();
