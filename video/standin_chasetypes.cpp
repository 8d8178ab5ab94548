// Stand-in until each chase type's own channel table and methods are built: the kind, channel
// count and parameter bytes of the type table, with channels that store 8 bits of 0 and methods
// that accept every key and draw nothing.
#include "video/standin_chasetypes.h"

#include "video/chase.h"

namespace {

int32_t Read(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
int32_t Apply(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}
void Interpolate(CHASE *, const int32_t *, const int32_t *, const int16_t *) {}
void Release(CHASE *, const int32_t *, uint32_t) {}
void Render(CHASE *, VIDOBJECT *) {}

const CHASECHANNEL kChannels[VID_MAX_CHANNELS] = {
    {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr},
    {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr},
    {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr},
    {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr},
    {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr},
    {0, 0, 255, 8, 2, nullptr, nullptr},
};

CHASEDEF Def(uint16_t id, uint16_t kind, int16_t channels, int16_t bytes)
{
    return {id, 0, 0, kind, bytes, bytes, 0, channels, kChannels, nullptr, 0,
            Read, Apply, Interpolate, Release, Render, nullptr, nullptr, nullptr, nullptr, nullptr, 0};
}

CHASEDEF g_aDefs[] = {
    Def(3, CHASEKIND_MOD, 4, 16),    Def(4, CHASEKIND_MOD, 4, 16),   Def(7, CHASEKIND_MOD, 6, 8),
    Def(8, CHASEKIND_MOD, 10, 72),   Def(10, CHASEKIND_PLAIN, 16, 284), Def(13, CHASEKIND_MOD, 9, 516),
    Def(14, CHASEKIND_MOD, 2, 1),
    Def(15, CHASEKIND_DVE, 4, 24),   Def(16, CHASEKIND_DVE, 8, 32),  Def(17, CHASEKIND_DVE, 5, 12),
    Def(18, CHASEKIND_MOD, 2, 4),    Def(19, CHASEKIND_PLAIN, 9, 44),
};

} // namespace

CHASEDEF *Vid_StandinChaseDef(uint16_t storedId)
{
    for (CHASEDEF &d : g_aDefs)
        if (d.uStoredId == storedId)
            return &d;
    return nullptr;
}
