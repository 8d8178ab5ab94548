// The clip palette's commands (menu page 24) on the clip selected in the clip palette pop-up,
// the default clip names, and the memory totals the top bar shows.
#pragma once

#include <cstdint>

struct VIDCLIP;

extern int32_t g_iVideoMemoryBytes;      // nonzero when the song holds video
extern VIDCLIP *g_pPreviousPreviewClip;  // one reference
extern VIDCLIP *g_pFoundClip;            // the clip the last find was for
extern int32_t g_iFoundPosition;         // where it was found

// The clip selected in the open clip palette; null for none.
VIDCLIP *Ed_SelectedPaletteClip();

void Ed_PasteClip();
void Ed_DeleteClip();
void Ed_PreviewClip();
void Ed_EditPaletteClip();
void Ed_NameClip();
void Ed_RemoveUnusedClips();
void Ed_FindClipInVideo();
// The next place (after the last find of the same clip, wrapping once) where a block showing the
// clip begins; -1 for none. *lane gets its lane.
int32_t Ed_FindClipPosition(VIDCLIP *clip, int32_t *lane);
// The pop-up's list after the clips changed: row count, selection and first row inside it.
void Ed_RefreshClipList();
void Ed_InstallClipPaletteItems();
// The palette's choice: the chosen clip goes to the video grid's cursor.
void Ed_ClipReplaceAtCursor();

// Default names: "clip%04d" for a clip without chases, else its first chase type's name cut to 7
// characters and "%04d"; the counter moves on.
void Ed_MakeClipName(VIDCLIP *clip);
// The running number of a default name, or 0 when the name is not a default one.
int32_t Ed_ParseClipNumber(const VIDCLIP *clip);
