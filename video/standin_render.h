// Stand-ins for the chase-type calls the frame render makes, until those types are built (same
// declarations as theirs). Weak, so the real definitions win at link time.
#pragma once

#include <cstdint>

#include "video/chase_tunnel.h"
#include "video/standin_uistate.h"

struct VIDOBJECT;

// Vertex-group animation of a slot's model; returns the new animation time.
int32_t Vid_AnimateObject(VIDOBJECT *object, int32_t time);
