// Video clips: named, reference-counted chains of chases that play as one unit on a lane. The
// first chase decides the clip's kind (object, camera, screen effect); the later ones modify it.
// Main thread only.
#pragma once

#include <cstdint>

struct CHASE;
struct IDPOOL;

struct VIDCLIPENTRY
{
    VIDCLIPENTRY *pNext;
    CHASE *pChase; // holds one reference
};

// VIDCLIP.uFlags
enum
{
    CLIPFLAG_BLOCKLEN = 0x3FFF, // block length at the position last looked up
    CLIPFLAG_UNLISTED = 0x4000,
    CLIPFLAG_AUTO = 0x8000,
};
// VIDCLIP.uOffset
enum
{
    CLIPOFFSET_MASK = 0x7FFF,
    CLIPOFFSET_MENUHELD = 0x8000, // the clip menus hold it (one holder when purging)
};

struct VIDCLIP
{
    char szName[12]; // zero-terminated
    uint32_t uRefCount;
    uint16_t uSerial;
    uint16_t uSaveIndex;
    uint16_t uFlags;
    uint16_t uOffset;
    uint16_t uLabel; // label number of the first chase's type
    int16_t sEntryCount;
    VIDCLIPENTRY *pFirst;
};

// The pools hold what the console sized for 24 rows of video; the lanes reach 1000 positions.
constexpr int16_t VID_CLIP_ROW_LIMIT = 24;
constexpr int32_t VID_CLIP_PAGES = VID_CLIP_ROW_LIMIT * 7 / 32;      // 5 pages of 32 clips
constexpr int32_t VID_CLIPENTRY_PAGES = VID_CLIP_ROW_LIMIT * 700 / 128; // 131 pages of 128

extern IDPOOL *g_pVidClipPool;
extern IDPOOL *g_pVidClipEntryPool;
extern int32_t g_iClipCount;
extern int32_t g_iClipHighestId;
extern uint16_t g_iClipSerial;
extern int32_t g_iClipNameCounter;
extern VIDCLIP *g_pPreviewClip;  // holds a reference
extern VIDCLIP *g_pClipMenuClip; // holds a reference
extern VIDCLIP *g_pClipMenuSource;
extern VIDCLIP *g_apLanePlayingClip[7];
extern VIDCLIP *g_pLoadedClip;
extern uint8_t g_bClipPreview;
extern uint8_t g_ucClipPreviewHold;
extern char g_szClipNamePrefix[8]; // written by the clip menus

// Creates the "VIDCLIP" and "VIDCLIPENTRY" pools (destroying every clip of old ones). 0 or -1.
int Vid_InitClipPools();
void Vid_FreeClipPools();

VIDCLIP *Vid_NewClip();
VIDCLIP *Vid_GetClip(int32_t id);
int32_t Vid_ClipId(const VIDCLIP *clip);

VIDCLIPENTRY *Vid_GetClipEntry(const VIDCLIP *clip, int32_t n);
CHASE *Vid_GetClipEntryChase(const VIDCLIP *clip, int32_t n);
VIDCLIP *Vid_AppendClipEntry(VIDCLIP *clip, CHASE *chase);
VIDCLIP *Vid_InsertClipEntry(VIDCLIP *clip, CHASE *chase, int32_t n);
VIDCLIP *Vid_InsertClipEntryAfterChase(VIDCLIP *clip, CHASE *chase, CHASE *after);
void Vid_RemoveClipEntry(VIDCLIP *clip, int32_t n);
void Vid_RemoveChaseFromClip(VIDCLIP *clip, CHASE *chase);

VIDCLIP *Vid_AddClipRef(VIDCLIP *clip);
void Vid_AddClipRefs(VIDCLIP *clip, int32_t n);
void Vid_ReleaseClip(VIDCLIP *clip);
void Vid_DestroyClip(VIDCLIP *clip);

int32_t Vid_GetClipChaseType(const VIDCLIP *clip);
// Stored id of the clip's first chase's type, 0 when none.
int32_t Vid_GetClipStoredId(const VIDCLIP *clip);
void Vid_SetClipChaseFlag(VIDCLIP *clip);
void Vid_ClearClipChaseFlag(VIDCLIP *clip);
VIDCLIP *Vid_FindIdenticalClip(VIDCLIP *clip);
VIDCLIP *Vid_CopySharedClip(VIDCLIP *clip);
VIDCLIP *Vid_GetListedClip(int32_t n);
int32_t Vid_ClipNameExists(const char *name, int32_t length);
void Vid_DeleteClip(VIDCLIP *clip);
int32_t Vid_PurgeUnusedClips();
void Vid_RenumberClipNames();
void Vid_TouchClipChases(VIDCLIP *clip);
void Vid_SetClipPreview(int32_t on);
void Vid_SetLanePlayingClip(VIDCLIP *clip, int32_t lane);
void Vid_ClearLanePlayingClips();

void Vid_PlayLanes(int32_t step);
void Vid_PlayClip(VIDCLIP *clip, int32_t step, int32_t lane);
