#include "video/chaselist.h"

#include <cstring>

#include "video/chase.h"
#include "video/chaseres.h"
#include "video/chasetypes.h"
#include "editors/chaseeditor.h"
#include "video/render.h"

uint32_t g_uChaseLimitGeneration = 1;

void Vid_ResetChaseLimitCaches()
{
    g_uChaseLimitGeneration++;
}

int32_t Vid_ChaseEditorOpen()
{
    return g_pChaseEditWindow != nullptr;
}

bool Vid_ResFamilyItem(int32_t id, int32_t *family, int32_t *item)
{
    uint16_t path[8] = {};
    int32_t depth = 0;
    if (id < 1 || g_VidRes.indexPath(id, path, &depth) != 0 || depth < 2 || depth > 8)
        return false;
    *family = path[depth - 2];
    *item = path[depth - 1] + 1;
    return true;
}

void Vid_ReadFamilyItem(int32_t *values, const CHASECHANNEL *channels)
{
    if (values[0] == 0)
        return;
    if (!Vid_ResFamilyItem(values[0], &values[0], &values[1])) {
        values[0] = channels[0].sDefault;
        values[1] = channels[1].sDefault;
    }
}

void Vid_SetChaseName(char *buffer, int32_t kind, const uint16_t *path, int32_t depth, int32_t entry)
{
    if (!buffer)
        return;
    char name[128];
    if (g_VidChaseRes.name(kind, path, depth, entry, name, sizeof name) == 0 && name[0])
        std::memcpy(buffer, name, std::strlen(name) + 1);
}

namespace {

int16_t Clamp16(int32_t v, int32_t lo, int32_t hi)
{
    return static_cast<int16_t>(v < lo ? lo : (v > hi ? hi : v));
}

} // namespace

void Vid_FamilyItemLimits(CHASELISTLIMITS *limits, CHASECHANNEL *ch, int32_t *values, uint8_t *states)
{
    const int32_t family = values[0], item = values[1];
    if (limits->generation == g_uChaseLimitGeneration && limits->lastFamily == family && limits->lastItem == item)
        return;
    limits->generation = g_uChaseLimitGeneration;
    limits->lastFamily = family;
    limits->lastItem = item;
    const int32_t families = g_VidChaseRes.folderCount(limits->kind, nullptr, 0);
    if (families > 0) {
        ch[0].sMax = static_cast<int16_t>(families - 1);
        ch[0].sDefault = Clamp16(ch[0].sDefault, ch[0].sMin, ch[0].sMax);
    }
    if (family < 0)
        return;
    const uint16_t path[1] = {static_cast<uint16_t>(family)};
    Vid_SetChaseName(limits->pszFamily, limits->kind, path, 1, -1);
    if (item > 0)
        Vid_SetChaseName(limits->pszItem, limits->kind, path, 1, item - 1);
    const int32_t items = g_VidChaseRes.entryCount(limits->kind, path, 1);
    if (items < 1)
        return;
    ch[1].sMax = static_cast<int16_t>(items);
    ch[1].sDefault = Clamp16(ch[1].sDefault, ch[1].sMin, ch[1].sMax);
    if (values[1] > items) {
        values[1] = items;
        if (states)
            states[0] = states[1] = KEYSTATE_SET;
    }
}

bool Vid_LoadFamilyItem(int32_t kind, int32_t *values)
{
    const int32_t family = values[0], item = values[1];
    int32_t id = -1;
    void *data = nullptr;
    if (item > 0 && item <= 0x10000 && family >= 0 && family <= 0xFFFF) {
        const uint16_t path[2] = {static_cast<uint16_t>(family), static_cast<uint16_t>(item - 1)};
        data = g_VidRes.load(kind, path, 2, &id);
    }
    if (!data || id < 1) {
        values[0] = 0;
        return false;
    }
    g_VidRes.addRef(id);
    values[0] = id;
    return true;
}

int32_t Vid_MapSavedRes(const void *loadMap, int32_t number)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    if (!map || !map->pResIds || number < 0 || static_cast<uint32_t>(number) >= map->uResCount ||
        map->pResIds[number] == 0xFFFF)
        return -1;
    return map->pResIds[number];
}

void Vid_ListMark(int32_t value, int32_t channel, uint32_t *bitmap)
{
    if (channel == 0 && value >= 0 && bitmap)
        bitmap[value >> 5] |= 1u << (value & 31);
}

int32_t Vid_ListPack(int32_t value, int32_t channel)
{
    if (channel != 0)
        return value;
    return value < 1 ? -1 : g_VidRes.saveNumber(value);
}
