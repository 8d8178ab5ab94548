// Stand-in for the video engine's screen-centre call until the engine is built (the geometry
// there does no projection of its own, so the centre is only kept).
#include <cstdint>

void Vid_SetScreenCentre(int32_t, int32_t)
{
}
