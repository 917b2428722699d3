// Point transforms and matrix products of the math library against glm (the
// natural peer, built with its SSE intrinsics on aligned types), against a
// plain loop the compiler vectorises by itself, and against memcpy of the
// same bytes (the memory bound). Every transform computes x, y and z of
// each point (no w). Arguments: the record stride in bytes and the millions
// of points (1 or 8).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/BenchCase.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "system/math/QxTransformPoints.h"

#ifdef ENGINE_HAVE_GLM
#define GLM_FORCE_INTRINSICS
#include <glm/glm.hpp>
#include <glm/gtc/type_aligned.hpp>
#endif

namespace {

// 1M points; the "/8" variants use 8M points, past the last-level cache, where
// the memory bandwidth is the bound.
const int kPoints = 1 << 20;

int PointCount(const benchmark::State& state)
{
    return state.range(1) == 8 ? 8 * kPoints : kPoints;
}

QxMatrix SampleMatrix()
{
    QxMatrix m;
    QxMatrixFromAxisAngle(m, QxVector(1, 2, 3), 0.7f);
    m[3][0] = 1.5f;
    m[3][1] = -2.0f;
    m[3][2] = 0.25f;
    return m;
}

std::vector<unsigned char> SampleBuffer(int stride, int count)
{
    std::vector<unsigned char> buffer(size_t(stride) * count);
    for (int i = 0; i < count; ++i) {
        const float p[3] = {float(i % 97), float(i % 89) * 0.5f, float(i % 83) * 0.25f};
        std::memcpy(buffer.data() + size_t(i) * stride, p, sizeof(p));
    }
    return buffer;
}

void SetBytes(benchmark::State& state, int stride, int count)
{
    // Bytes read plus bytes written, whole records (the cache lines are touched anyway).
    state.SetBytesProcessed(int64_t(state.iterations()) * count * stride * 2);
}

void BM_QxTransformPoints(benchmark::State& state)
{
    const int count = PointCount(state);
    const QxMatrix m = SampleMatrix();
    const std::vector<unsigned char> source = SampleBuffer(12, count);
    std::vector<unsigned char> destination(source.size());
    for (auto _ : state) {
        QxTransformPoints(destination.data(), m, source.data(), count, 12);
        benchmark::ClobberMemory();
    }
    SetBytes(state, 12, count);
}
#define PACKED_POINTS ->ArgNames({"stride", "Mpoints"})->Args({12, 1})->Args({12, 8})->Unit(benchmark::kMicrosecond)
#define STRIDED_POINTS                                                                                                 \
    ->ArgNames({"stride", "Mpoints"})->ArgsProduct({{12, 32, 36}, {1, 8}})->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_QxTransformPoints)->Name("TransformPoints/ours") PACKED_POINTS;

void BM_QxTransformPointsStrided(benchmark::State& state)
{
    const int stride = int(state.range(0));
    const int count = PointCount(state);
    const QxMatrix m = SampleMatrix();
    const std::vector<unsigned char> source = SampleBuffer(stride, count);
    std::vector<unsigned char> destination(source.size());
    for (auto _ : state) {
        QxTransformPointsStrided(QxStridedData(destination.data(), stride), QxStridedData(source.data(), stride), m,
                                 count);
        benchmark::ClobberMemory();
    }
    SetBytes(state, stride, count);
}
BENCHMARK(BM_QxTransformPointsStrided)->Name("TransformPointsStrided/ours") STRIDED_POINTS;

void BM_Memcpy(benchmark::State& state)
{
    const int stride = int(state.range(0));
    const int count = PointCount(state);
    const std::vector<unsigned char> source = SampleBuffer(stride, count);
    std::vector<unsigned char> destination(source.size());
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    SetBytes(state, stride, count);
}
BENCHMARK(BM_Memcpy)->Name("TransformPoints/memcpy") PACKED_POINTS;
BENCHMARK(BM_Memcpy)->Name("TransformPointsStrided/memcpy") STRIDED_POINTS;

// The loop a compiler vectorises by itself (no intrinsics): the stride known
// at compile time, each coordinate summed in the order ours uses.
template <int Stride>
void PlainTransform(unsigned char* __restrict destination, const unsigned char* __restrict source, int count,
                    const QxMatrix& m)
{
    constexpr int step = Stride / 4;
    const float* __restrict s = reinterpret_cast<const float*>(source);
    float* __restrict d = reinterpret_cast<float*>(destination);
    const float m00 = m[0][0], m01 = m[0][1], m02 = m[0][2], m10 = m[1][0], m11 = m[1][1], m12 = m[1][2], m20 = m[2][0],
                m21 = m[2][1], m22 = m[2][2], m30 = m[3][0], m31 = m[3][1], m32 = m[3][2];
    for (int i = 0; i < count; ++i) {
        const float x = s[step * i], y = s[step * i + 1], z = s[step * i + 2];
        d[step * i] = x * m00 + y * m10 + z * m20 + m30;
        d[step * i + 1] = x * m01 + y * m11 + z * m21 + m31;
        d[step * i + 2] = x * m02 + y * m12 + z * m22 + m32;
    }
}

void BM_PlainTransformPoints(benchmark::State& state)
{
    const int stride = int(state.range(0));
    const int count = PointCount(state);
    const QxMatrix m = SampleMatrix();
    const std::vector<unsigned char> source = SampleBuffer(stride, count);
    std::vector<unsigned char> destination(source.size());
    auto transform = stride == 12 ? PlainTransform<12> : stride == 32 ? PlainTransform<32> : PlainTransform<36>;
    for (auto _ : state) {
        transform(destination.data(), source.data(), count, m);
        benchmark::ClobberMemory();
    }
    SetBytes(state, stride, count);
}
BENCHMARK(BM_PlainTransformPoints)->Name("TransformPoints/autovec") PACKED_POINTS;
BENCHMARK(BM_PlainTransformPoints)->Name("TransformPointsStrided/autovec") STRIDED_POINTS;

void BM_QxMultiplyMatrix(benchmark::State& state)
{
    QxMatrix a = SampleMatrix(), b = SampleMatrix(), r;
    b[3][1] = 4.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        QxMultiplyMatrix(r, a, b);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_QxMultiplyMatrix)->Name("MultiplyMatrix/ours");

void BM_QxMultiplyMatrix4(benchmark::State& state)
{
    QxMatrix a = SampleMatrix(), b = SampleMatrix(), r;
    b[3][1] = 4.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        QxMultiplyMatrix4(r, a, b);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_QxMultiplyMatrix4)->Name("MultiplyMatrix4/ours");

#ifdef ENGINE_HAVE_GLM

glm::aligned_mat4 SampleGlmMatrix()
{
    const QxMatrix m = SampleMatrix();
    glm::aligned_mat4 g;
    // Row-vector rows become column-vector columns: the same transform.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            g[i][j] = m[i][j];
    return g;
}

// The columns scaled and summed in SIMD registers; x, y and z stored.
void GlmTransform(unsigned char* destination, const unsigned char* source, int stride, int count,
                  const glm::aligned_mat4& m)
{
    for (int i = 0; i < count; ++i) {
        float p[3];
        std::memcpy(p, source + size_t(i) * stride, sizeof(p));
        const glm::aligned_vec4 q = m[0] * p[0] + m[1] * p[1] + m[2] * p[2] + m[3];
        std::memcpy(destination + size_t(i) * stride, &q, sizeof(p));
    }
}

void BM_GlmTransformPoints(benchmark::State& state)
{
    const int stride = int(state.range(0));
    const int count = PointCount(state);
    const glm::aligned_mat4 m = SampleGlmMatrix();
    const std::vector<unsigned char> source = SampleBuffer(stride, count);
    std::vector<unsigned char> destination(source.size());
    for (auto _ : state) {
        GlmTransform(destination.data(), source.data(), stride, count, m);
        benchmark::ClobberMemory();
    }
    SetBytes(state, stride, count);
}
BENCHMARK(BM_GlmTransformPoints)->Name("TransformPoints/glm") PACKED_POINTS;
BENCHMARK(BM_GlmTransformPoints)->Name("TransformPointsStrided/glm") STRIDED_POINTS;

void BM_GlmMultiplyMatrix(benchmark::State& state)
{
    glm::aligned_mat4 a = SampleGlmMatrix(), b = SampleGlmMatrix(), r;
    b[3][1] = 4.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        r = a * b;
        benchmark::DoNotOptimize(r);
    }
}
// A full 4 x 4 product, the peer of both of ours.
BENCHMARK(BM_GlmMultiplyMatrix)->Name("MultiplyMatrix/glm");
BENCHMARK(BM_GlmMultiplyMatrix)->Name("MultiplyMatrix4/glm");

#endif

BENCH_CASE_DOES("TransformPoints", "ours: QxTransformPoints of packed points; glm: aligned_mat4 columns scaled and "
                                   "summed with SSE intrinsics; autovec: a plain loop the compiler vectorises; memcpy: "
                                   "a copy of the bytes");
BENCH_CASE_PEER_KIND("TransformPoints", "memcpy", "lower bound");
BENCH_CASE_DOES("TransformPointsStrided", "ours: QxTransformPointsStrided at the stride; glm, autovec, memcpy: as "
                                          "for TransformPoints at the same stride");
BENCH_CASE_PEER_KIND("TransformPointsStrided", "memcpy", "lower bound");
BENCH_CASE_DOES("MultiplyMatrix", "ours: QxMultiplyMatrix (3x4 product); glm: aligned_mat4 product with intrinsics");
BENCH_CASE_DOES("MultiplyMatrix4", "ours: QxMultiplyMatrix4 (full 4x4 product); glm: aligned_mat4 product");

} // namespace
