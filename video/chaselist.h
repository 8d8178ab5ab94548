// The family-and-item scheme shared by the chase types that pick one archive resource: the key
// stores the resource's id in channel 0; the editor sees the family folder in channel 0 and the
// 1-based item in channel 1, with ranges and shown names taken from the archive.
#pragma once

#include <cstdint>

struct CHASE;
struct CHASECHANNEL;
struct VIDLOADMAP;

// A type's limit-update cache and name buffers.
struct CHASELISTLIMITS
{
    int32_t kind;
    char *pszFamily; // 128 bytes, channel 0's shown value
    char *pszItem;   // 128 bytes or null, channel 1's shown value
    int32_t lastFamily;
    int32_t lastItem;
    uint32_t generation;
};

// Bumped to make every limit cache run again (a new archive, a test's fake one).
extern uint32_t g_uChaseLimitGeneration;
void Vid_ResetChaseLimitCaches();

// 1 while the chase editor window is open.
int32_t Vid_ChaseEditorOpen();

// Stored resource id -> (folder index at depth - 2, entry index + 1 at depth - 1). false when id
// is not a resource.
bool Vid_ResFamilyItem(int32_t id, int32_t *family, int32_t *item);
// Stored id in values[0] -> Family and Item; the channel defaults when it is gone.
void Vid_ReadFamilyItem(int32_t *values, const CHASECHANNEL *channels);
// Family and item limits: ranges, defaults, shown names; a key Item above the range is clamped
// and Family and Item marked set (states may be null).
void Vid_FamilyItemLimits(CHASELISTLIMITS *limits, CHASECHANNEL *channels, int32_t *values, uint8_t *states);
// Loads {family, item - 1} of kind into values[0] with one reference. false (values[0] = 0) when
// item is 0 or the resource cannot be loaded.
bool Vid_LoadFamilyItem(int32_t kind, int32_t *values);
// A running number of a song's table to a loaded resource id; -1 when none.
int32_t Vid_MapSavedRes(const void *loadMap, int32_t number);
// Song saving: channel 0 marks its resource and packs as its running number (-1 for none).
void Vid_ListMark(int32_t value, int32_t channel, uint32_t *bitmap);
int32_t Vid_ListPack(int32_t value, int32_t channel);
// Copies a shown name into a 128-byte buffer.
void Vid_SetChaseName(char *buffer, int32_t kind, const uint16_t *path, int32_t depth, int32_t entry);
