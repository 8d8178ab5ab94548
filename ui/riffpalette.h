// The riff palette's menu actions (the song's riffs in pop-up kind 7) and the riff editor's riff
// menu actions: naming, deleting, purging, previewing, placing, finding and re-leveling riffs,
// pasting copied notes, the active channel and the area items.
#pragma once

#include <cstdint>

// The riff id of the palette's selected row; 0 (and the refusal sound) when no row is selected.
int32_t Ui_SelectedPaletteRiff();
// Row count from the riff list, the list redrawn, its rows kept below the count.
void Ui_RebuildRiffList();

void Ui_PastePaletteRiff();
void Ui_DeletePaletteRiff();
void Ui_PlayPaletteRiff();
void Ui_EditPaletteRiff();
void Ui_RenamePaletteRiff();
void Ui_ChangePaletteRiffIcon();
void Ui_RemoveUnusedRiffs();
void Ui_PaletteRiffLevels();
void Ui_FindPaletteRiff();
void Ui_ChangeRiffKey();

void Ui_RenameCurrentRiff();
void Ui_ChangeCurrentRiffIcon();
void Ui_PasteCopiedNotes();
void Ui_UpdatePasteNotesItem();
void Ui_NextChannel();
void Ui_CursorRiffLevels();
void Ui_AreaVolumeCurve();
void Ui_AreaPanCurve();
void Ui_AreaSampleOffsetCurve();

void Ui_InstallRiffPaletteItems();
