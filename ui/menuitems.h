// The items of the sample palette's page: hear, copy, delete and change the quality of the
// selected slot, and drop the samples no note uses. They act on the slot selected in the open
// sample palette and come back to it. Main thread only.
#pragma once

#include <cstdint>

// The instrument slot selected in the sample palette, or 0 when the palette is not current.
int32_t Ui_PaletteSelectedSlot();

void Ui_MenuPreviewSample();     // 28 "Preview sample"
void Ui_MenuOptimiseSamples();   // 30 "Optimise sample list" (asks)
void Ui_MenuDeleteSample();      // 31 "Delete sample" (asks)
void Ui_MenuCopySample();        // 33 "Copy sample"
void Ui_DowngradeSample();   // 34 "Downgrade sample quality"
void Ui_UpgradeSample();     // 35 "Upgrade sample quality"
void Ui_MenuRestoreNoteParams(); // 138 "Restore note parameters"

// The message box answers of the two questions (1 = "Okay").
void Ui_OptimiseSamplesAnswer(uint8_t button);
void Ui_DeleteSampleAnswer(uint8_t button);

void Ui_InstallMenuItemOperations();
