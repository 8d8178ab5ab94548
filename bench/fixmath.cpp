#include "core/fixmath.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Tables
{
    Tables() { Sys_BuildSineTable(); }
} s_tables;

FIXMATRIX Rotation(int16_t a, int16_t b, int16_t c)
{
    const int16_t angles[3] = {a, b, c};
    FIXMATRIX m{};
    Sys_RotationMatrixXYZ(angles, &m);
    m.t[0] = 100;
    m.t[1] = -50;
    m.t[2] = 2000;
    return m;
}

void BM_MultiplyMatrix(benchmark::State &state)
{
    const FIXMATRIX a = Rotation(100, 200, 300);
    FIXMATRIX b = Rotation(-40, 90, 1000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sys_MultiplyMatrix(&a, &b));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MultiplyMatrix);

void BM_ComposeTransform(benchmark::State &state)
{
    const FIXMATRIX a = Rotation(100, 200, 300), b = Rotation(-40, 90, 1000);
    FIXMATRIX out{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sys_ComposeTransform(&a, &b, &out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComposeTransform);

void BM_RotationMatrixXYZ(benchmark::State &state)
{
    int16_t angles[3] = {0, 0, 0};
    FIXMATRIX m{};
    for (auto _ : state) {
        angles[0] = static_cast<int16_t>(angles[0] + 7);
        angles[2] = static_cast<int16_t>(angles[2] + 13);
        benchmark::DoNotOptimize(Sys_RotationMatrixXYZ(angles, &m));
    }
}
BENCHMARK(BM_RotationMatrixXYZ);

void BM_MatrixFromAngles(benchmark::State &state)
{
    int16_t angles[3] = {0, 0, 0};
    FIXMATRIX m{};
    for (auto _ : state) {
        angles[0] = static_cast<int16_t>(angles[0] + 7);
        angles[2] = static_cast<int16_t>(angles[2] + 13);
        benchmark::DoNotOptimize(Sys_MatrixFromAngles(angles, &m));
    }
}
BENCHMARK(BM_MatrixFromAngles);

// A mesh's worth of vertices through one matrix.
void BM_TransformShortVectors(benchmark::State &state)
{
    const FIXMATRIX m = Rotation(100, 200, 300);
    const int n = static_cast<int>(state.range(0));
    std::vector<int16_t> in(3 * n), out(3 * n);
    for (int i = 0; i < 3 * n; i++)
        in[i] = static_cast<int16_t>((i * 37) % 2000 - 1000);
    for (auto _ : state) {
        for (int i = 0; i < n; i++)
            Sys_TransformShortVector(&m, &in[3 * i], &out[3 * i]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TransformShortVectors)->Arg(1024);

void BM_TransformLongVector(benchmark::State &state)
{
    const FIXMATRIX m = Rotation(100, 200, 300);
    int32_t v[3] = {12345, -6789, 1000};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sys_TransformLongVector(&m, v, v));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TransformLongVector);

void BM_NormaliseLong(benchmark::State &state)
{
    int32_t in[3] = {123456, -65432, 999}, out[3];
    for (auto _ : state) {
        in[2]++;
        benchmark::DoNotOptimize(Sys_FxNormaliseLong(in, out));
    }
}
BENCHMARK(BM_NormaliseLong);

void BM_CoordChain(benchmark::State &state)
{
    const int depth = static_cast<int>(state.range(0));
    std::vector<COORD> chain(depth);
    for (int i = 0; i < depth; i++) {
        FIXMATRIX m = Rotation(static_cast<int16_t>(i * 10), 5, 7);
        Sys_CoordInit(&chain[i], i ? &chain[i - 1] : nullptr, &m, 0);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sys_CoordUpdateWorld(&chain[depth - 1]));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CoordChain)->Arg(4)->Arg(34);

} // namespace
