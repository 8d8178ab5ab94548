// The auto video: a whole video for the song without the user placing anything. A camera clip
// over the song on lane 4, screen-effect clips from the archive's "/AUTO" library on lane 5 (one
// per section of the song), and object clips on lanes 0-3 bred row by row from random library
// clips by mixing their chase chains, more lanes where the song grid is busier. The loop variant
// fills 64 positions for the jam-style loop. Also the clip library load of the clip menus.
//
// Randomness comes from the program's seeded generator, so one seed gives one video.
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

struct CHASE;
struct VIDCLIP;

// Clip library folders below "/AUTO": screen-effect clips and object clips.
constexpr int32_t VID_AUTO_GROUP_EFFECTS = 1;
constexpr int32_t VID_AUTO_GROUP_OBJECTS = 3;
constexpr int32_t VID_AUTO_LOOP_ROWS = 64;
// All library clips of a build are read into one buffer of this size.
constexpr uint32_t VID_AUTO_PICK_BUDGET = 256 * 1024;
constexpr int32_t VID_AUTO_NAME_BYTES = 12;

extern int32_t g_iAutoVideoRows;
extern uint8_t g_ucAutoTriggerCounter;    // trigger source B of picked clips: 6 .. the limit
extern uint8_t g_ucLibraryTriggerCounter; // the same for clips loaded by the clip menus
extern uint8_t g_ucTriggerLimit;          // written by the editor screens
extern uint8_t g_ucClipMenuState;         // 20: the library entry held no clip
// Busy box progress of a build: picks count 1, loads 2.
extern int32_t g_iAutoVideoProgress;
extern int32_t g_iAutoVideoProgressTotal;

// 1 when built (or when the song is empty), 0 on failure. Mode 1 is the 64-position loop.
int32_t Vid_BuildAutoVideo(int32_t count, int32_t chance, int32_t spare, int32_t mode);
// Reads up to maxPicks random files of a group into buffer; the number read (0 on a bad folder
// or a file that is not a song image).
int32_t Vid_PickRandomLibraryClips(uint8_t *buffer, uint32_t budget, int32_t maxPicks, int32_t group);
// Reads n picked images from buffer; the number read whole.
int32_t Vid_LoadRandomClips(uint8_t *buffer, uint32_t budget, int32_t n);
// Reads one song image of a clip; the load result (4 when it does not start with a header chunk).
int32_t Vid_LoadClipImage(const uint8_t *image, size_t size);
// 1 while a library clip image is read: its last clip becomes g_pLoadedClip.
extern uint8_t g_bVidLibraryLoad;
// A clip whose first chase's type has this CHASEDEF kind, prepared for playing; null when none.
VIDCLIP *Vid_PickRandomClip(int32_t kind);
// Four clips for the object lanes; previous may be null.
void Vid_PickLaneClips(VIDCLIP *out[4], VIDCLIP *const *previous, int32_t chance);
// Four clips bred from a and b with the lanes' base chases.
void Vid_CrossClips(VIDCLIP *const *a, VIDCLIP *const *b, VIDCLIP *out[4], CHASE *const *bases, int32_t chance);
int32_t Vid_LayAutoLanes(int32_t count, int32_t chance, int32_t spare, int32_t step);
int32_t Vid_LayAutoLoopLanes(int32_t count, int32_t chance, int32_t spare);
int32_t Vid_LayEffectClips(int32_t start, int32_t end, int32_t *sections, int32_t n);
int32_t Vid_FindSections(int32_t start, int32_t end, int32_t mode);
int32_t Vid_LayCameraClip(int32_t start, int32_t end);
void Vid_FreeRandomClips(int32_t count, int32_t chance);
void Vid_FreeUnusedClipsAndChases();
void Vid_FreeAllClipsAndChases();
// Loads entry c of the library folder (folder, a, b), all counted from 1, as the preview clip.
// 1 when a clip was loaded, 0 otherwise.
int32_t Vid_LoadLibraryClip(int32_t folder, int32_t a, int32_t b, int32_t c);
