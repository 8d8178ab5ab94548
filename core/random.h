// The program's one random generator. Everything that wants a random number draws from here, so
// tests can seed it and a run can be repeated exactly (the C library's generator differs between
// systems).
#pragma once

#include <cstdint>

constexpr int32_t SYS_RAND_MAX = 0x7FFF;

// Next number, 0..SYS_RAND_MAX.
int32_t Sys_Rand();
void Sys_SeedRand(uint32_t seed);
