#include "video/videorebuild.h"

#include "video/chase.h"
#include "video/chase_text.h"
#include "video/clips.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

uint32_t Rd32(const uint8_t *p) { return (uint32_t)(p[0] | p[1] << 8 | p[2] << 16) | (uint32_t)p[3] << 24; }
uint16_t Rd16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

constexpr size_t kRecordHead = 32;
constexpr size_t kEntryBytes = 8;
constexpr int32_t kOldTypes = 13;

// Old type -> stored id of the current type (old type 2 with an 8 in a key's first byte is the
// scale-and-tint effect, 17).
constexpr int32_t kStoredId[kOldTypes + 1] = {0, 1, 2, 10, 9, 6, 3, 5, 4, 8, 7, 11, 12, 13};
constexpr int32_t kKeyBytes[kOldTypes + 1] = {0, 8, 8, 16, 4, 8, 4, 4, 4, 8, 4, 4, 8, 12};

// The channel values of one old key; values[c] set marks states[c].
struct OLDKEY
{
    int32_t values[VID_MAX_CHANNELS];
    uint8_t states[VID_MAX_CHANNELS];
    void Set(int32_t c, int32_t v)
    {
        values[c] = v;
        states[c] = KEYSTATE_SET;
    }
    // A resource the type loads itself from (family, item): family 0 when the old key gave
    // only the item.
    bool resource;
    void Resource(int32_t family, int32_t item)
    {
        resource = true;
        Set(0, family);
        Set(1, item);
    }
};

void DecodeKey(int32_t oldType, bool tint, const uint8_t *k, OLDKEY *o)
{
    const uint32_t w = Rd32(k);
    const uint32_t h = Rd16(k + 2);
    const uint8_t *b = k;
    switch (oldType) {
    case 1:
        o->Resource(b[0], b[1] + 1);
        o->Set(2, 0);
        o->Set(3, 0);
        o->Set(4, (int32_t)(h & 31));
        o->Set(5, (int32_t)((h >> 5) & 7) + 1);
        o->Set(6, (int32_t)((h >> 9) & 7));
        break;
    case 2:
        if (tint) {
            o->Set(0, 14);
            o->Set(1, 1);
            for (int32_t c = 2; c <= 4; c++)
                o->Set(c, 14);
        } else {
            o->Resource(b[0], b[1] + 1);
            o->Set(2, (int32_t)((h >> 12) & 1)); // a channel the background no longer has
        }
        break;
    case 3:
        // The word goes through the text type's working copy; the key names its font.
        memcpy(g_szTextChaseEdit, k, TEXT_CHARS);
        g_szTextChaseEdit[TEXT_CHARS] = 0;
        o->Set(0, 1);
        o->Set(1, b[14]);
        break;
    case 4:
        o->Set(0, b[0]);
        o->Set(1, (int32_t)((w >> 8) & 15) + 1);
        o->Set(2, (int32_t)((w >> 12) & 7) + 1);
        o->Set(3, (int32_t)((w >> 15) & 7));
        break;
    case 5:
        o->Resource(0, (int32_t)(w & 255) + 1);
        o->Set(2, (int32_t)((w >> 8) & 1));
        o->Set(3, (int32_t)((w >> 10) & 15));
        o->Set(4, (int32_t)((w >> 9) & 1));
        o->Set(5, (int32_t)((w >> 18) & 15));
        o->Set(6, (int32_t)((w >> 23) & 15));
        o->Set(7, (int32_t)((w >> 27) & 15));
        o->Set(8, ((w >> 14) & 15) >= 4 ? 1 : 0);
        break;
    case 6:
        o->Set(0, (int32_t)(w & 511));
        o->Set(1, (int32_t)((w >> 14) & 1));
        o->Set(2, (int32_t)((w >> 9) & 15));
        o->Set(3, (int32_t)((w >> 13) & 1));
        break;
    case 7:
        o->Resource(0, b[0] + 1);
        o->Set(2, b[1] & 1);
        o->Set(3, b[2] >> 4);
        o->Set(4, (b[1] >> 1) & 1);
        o->Set(5, b[2] & 15);
        break;
    case 8:
        for (int32_t c = 0; c < 4; c++)
            o->Set(c, b[c]);
        break;
    case 9:
        o->Set(3, b[4]);
        o->Set(4, b[5]);
        o->Set(5, b[6]);
        for (int32_t c = 0; c < 4; c++)
            o->Set(6 + c, b[c]);
        break;
    case 10:
        for (int32_t c = 0; c < 3; c++)
            o->Set(c, b[c]);
        break;
    case 11: {
        o->Resource(0, b[0] + 1);
        const int32_t moving = (int32_t)((w >> 30) & 1);
        o->Set(2, moving);
        const int32_t bias = moving ? 32 : 0;
        o->Set(3, (int32_t)((w >> 8) & 63) - bias);
        o->Set(4, (int32_t)((w >> 14) & 63) - bias);
        o->Set(5, (int32_t)((w >> 20) & 3));
        break;
    }
    case 12:
        o->Resource(0, b[0] + 1);
        o->Set(2, (int32_t)(w >> 31));
        o->Set(3, (int32_t)((w >> 8) & 63));
        o->Set(4, (int32_t)((w >> 14) & 63));
        o->Set(5, (int32_t)((w >> 20) & 3));
        o->Set(6, Rd16(k + 4));
        o->Set(7, Rd16(k + 6));
        break;
    case 13: {
        const uint32_t w2 = Rd32(k + 4);
        o->Set(0, (int32_t)(w & 127));
        o->Set(1, (int32_t)((w >> 21) & 31));
        o->Set(2, (int32_t)((w >> 7) & 127));
        o->Set(3, (int32_t)((w >> 26) & 31) - (int32_t)((w >> 21) & 31));
        o->Set(4, 32 - (int32_t)((w >> 26) & 31));
        o->Set(6, (int32_t)((w2 >> 2) & 15));
        o->Set(7, (int32_t)(w >> 31));
        o->Set(8, (int32_t)(w2 & 3));
        break;
    }
    default: break;
    }
}

} // namespace

int32_t Vid_OldChaseKeySize(int32_t oldType)
{
    return oldType >= 1 && oldType <= kOldTypes ? kKeyBytes[oldType] : 0;
}

CHASE *Vid_ConvertOldChase(int32_t oldType, const uint8_t *record, size_t bytes, int32_t *missing)
{
    // From the move duration on: duration, trigger row, unused, key count, then the keys.
    const int32_t keySize = Vid_OldChaseKeySize(oldType);
    if (!keySize || !record || bytes < 16)
        return nullptr;
    const uint32_t keys = Rd32(record + 12);
    // Keys sit at i * 255 / K, so more than 256 of them would share times.
    if (keys > VID_KEY_TIMES || (uint64_t)keys * (uint64_t)keySize > bytes - 16)
        return nullptr;
    const uint8_t *first = record + 16;
    bool tint = false;
    if (oldType == 2)
        for (uint32_t i = 0; i < keys; i++)
            tint = tint || first[(size_t)i * keySize] == 8;
    const int32_t type = Vid_FindChaseType(tint ? 17 : kStoredId[oldType]);
    CHASE *chase = type >= 0 ? Vid_NewChase(type) : nullptr;
    if (!chase)
        return nullptr;
    chase->uFlags |= CHASEFLAG_ANIMATE;
    chase->ucDuration = record[0];
    const uint32_t row = Rd32(record + 4);
    const uint8_t trig = row == 0 || row > 11 ? 0 : (uint8_t)(row + 1);
    chase->ucTrigA = chase->ucWorkTrigA = trig;
    chase->ucMode = 1; // step through the keys
    const int32_t channels = chase->pDef->sChannelCount;
    for (uint32_t i = 0; i < keys; i++) {
        OLDKEY o{};
        for (int32_t c = 0; c < VID_MAX_CHANNELS; c++) {
            o.values[c] = 0;
            o.states[c] = KEYSTATE_KEEP;
        }
        DecodeKey(oldType, tint, first + (size_t)i * keySize, &o);
        for (int32_t c = channels; c < VID_MAX_CHANNELS; c++)
            o.states[c] = KEYSTATE_KEEP;
        const int32_t time = (int32_t)(i * 255 / keys);
        int32_t set = Vid_SetChaseKey(chase, time, o.values, o.states);
        if (!set && o.resource) {
            // The archive does not have the model, path or picture the key named: the key keeps
            // the rest, and the load reports what is missing.
            o.states[0] = o.states[1] = KEYSTATE_KEEP;
            set = Vid_SetChaseKey(chase, time, o.values, o.states);
            if (set && missing)
                *missing = 1;
        }
        if (!set) {
            Vid_FreeChase(chase);
            return nullptr;
        }
    }
    if (!Vid_CompleteDefaultKey(chase)) {
        Vid_FreeChase(chase);
        return nullptr;
    }
    return chase;
}

namespace {

struct OLDENTRY
{
    int32_t chase; // 0-based
    int32_t start, length;
};

enum
{
    GROUP_NONE,
    GROUP_OBJECT,
    GROUP_MODIFIER,
    GROUP_CAMERA,
    GROUP_EFFECT,
};

int32_t GroupOf(const CHASE *chase)
{
    switch (chase && chase->pDef ? chase->pDef->uStoredId : 0) {
    case 1: case 2: case 9: case 10: return GROUP_OBJECT;
    case 3: case 4: case 5: case 7: case 8: case 11: case 12: case 13: return GROUP_MODIFIER;
    case 6: return GROUP_CAMERA;
    case 17: return GROUP_EFFECT;
    default: return GROUP_NONE;
    }
}

// Puts a finished clip at one position of a lane: an earlier identical clip is used instead of a
// new one; a clip no lane took goes again.
void CloseClip(VIDCLIP *clip, int32_t lane, int32_t position)
{
    VIDCLIP *same = Vid_FindIdenticalClip(clip);
    if (same && same != clip) {
        Vid_DestroyClip(clip);
        clip = same;
    }
    Vid_PlaceClipAt(lane, position, clip);
    if (clip->uRefCount == 0)
        Vid_DestroyClip(clip);
}

VIDCLIP *ClipOf(CHASE *chase)
{
    VIDCLIP *clip = Vid_NewClip();
    if (clip && !Vid_AppendClipEntry(clip, chase)) {
        Vid_DestroyClip(clip);
        return nullptr;
    }
    return clip;
}

} // namespace

int32_t Vid_RebuildFromSong(const uint8_t *block, size_t size, uint32_t flags, int32_t targetRow, int32_t *missing)
{
    if (!block || size < 4)
        return 0;
    if (targetRow < 0)
        targetRow = 0;
    // Walk and check the whole block before anything is made.
    const uint32_t n = Rd32(block);
    size_t at = 4;
    std::vector<std::pair<size_t, size_t>> records; // offset of the move duration, bytes to the end
    std::vector<int32_t> oldTypes;
    for (uint32_t i = 0; i < n; i++) {
        if (size - at < kRecordHead)
            return 0;
        const int32_t oldType = (int32_t)std::min<uint32_t>(Rd32(block + at + 12), 255);
        const uint32_t keys = Rd32(block + at + 28);
        const int32_t keySize = Vid_OldChaseKeySize(oldType);
        if (!keySize || keys > VID_KEY_TIMES || (uint64_t)keys * keySize > size - at - kRecordHead)
            return 0;
        const size_t bytes = kRecordHead + (size_t)keys * keySize;
        records.push_back({at + 16, bytes - 16});
        oldTypes.push_back(oldType);
        at += bytes;
    }
    std::vector<OLDENTRY> entries;
    int32_t last = 0;
    if (flags & VIDREBUILD_PLACE) {
        if (size - at < 4)
            return 0;
        const uint32_t m = Rd32(block + at);
        at += 4;
        if ((uint64_t)m * kEntryBytes > size - at)
            return 0;
        for (uint32_t i = 0; i < m; i++) {
            const uint8_t *e = block + at + kEntryBytes * i;
            const int32_t number = (int16_t)Rd16(e), start = (int16_t)Rd16(e + 2), length = (int16_t)Rd16(e + 4);
            // Every entry names a record, and the lanes end at position 999.
            if (number < 1 || (uint32_t)number > n || start < 0 || length < 0 ||
                start + length + targetRow > VID_POSITIONS)
                return 0;
            entries.push_back({number - 1, start, length});
            last = std::max(last, start + length);
        }
    }
    if (!(flags & VIDREBUILD_TABLE) || (flags & VIDREBUILD_NOTHING))
        return (flags & VIDREBUILD_NOTHING) ? 0 : 1;

    std::vector<CHASE *> table(n, nullptr);
    for (uint32_t i = 0; i < n; i++) {
        table[i] = Vid_ConvertOldChase(oldTypes[i], block + records[i].first, records[i].second, missing);
        if (!table[i]) {
            for (CHASE *c : table)
                if (c)
                    Vid_FreeChase(c);
            return 0;
        }
    }
    if (flags & VIDREBUILD_PLACE) {
        for (CHASE *c : table)
            Vid_AddChaseRef(c);
        for (int32_t p = 0; p < last; p++) {
            int32_t lane = 0;
            VIDCLIP *current = nullptr;
            int32_t currentLane = 0;
            for (const OLDENTRY &e : entries) {
                if (p < e.start || p >= e.start + e.length)
                    continue;
                CHASE *chase = table[(size_t)e.chase];
                switch (GroupOf(chase)) {
                case GROUP_OBJECT:
                    if (current)
                        CloseClip(current, currentLane, p + targetRow);
                    current = ClipOf(chase);
                    currentLane = lane++;
                    break;
                case GROUP_MODIFIER:
                    // A modifier belongs to the object before it; one without an object is
                    // dropped (an effect's lane has no object for it to move).
                    if (current && !Vid_AppendClipEntry(current, chase)) {
                        Vid_DestroyClip(current);
                        current = nullptr;
                    }
                    break;
                case GROUP_CAMERA:
                    if (VIDCLIP *clip = ClipOf(chase))
                        CloseClip(clip, 4, p + targetRow);
                    break;
                case GROUP_EFFECT:
                    if (current)
                        CloseClip(current, currentLane, p + targetRow);
                    current = nullptr;
                    if (VIDCLIP *clip = ClipOf(chase))
                        CloseClip(clip, 5, p + targetRow);
                    break;
                default: break;
                }
            }
            if (current)
                CloseClip(current, currentLane, p + targetRow);
        }
        g_iVideoEnd = Vid_GetVideoEnd();
    }
    // The table's references go; chases no clip took go with them.
    for (CHASE *c : table)
        Vid_ReleaseChase(c);
    return 1;
}
