// Stand-ins for the resource pages' data calls that the chase types make, until the resource
// loaders are in (same declarations as theirs where they have one). Weak, so the real
// definitions win at link time; remove this file when they are in.
#pragma once

#include <cstdint>

struct VIDMOVIEREC;

void *Vid_GetResData(int32_t id);
int32_t Vid_ChasePointCount(const void *list, int32_t *closed);
int32_t Vid_ChasePoint(const void *list, int32_t from, int32_t to, int32_t t, int32_t out[3]);
VIDMOVIEREC *Vid_ChaseMovieRecord(void *data);
void Vid_ChaseSetAnimSpeed(void *anim, int32_t speed);
