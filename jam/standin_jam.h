// The former name of jam/netobjects.h, kept only so that files still naming it build.
#pragma once

#include "jam/netobjects.h"
