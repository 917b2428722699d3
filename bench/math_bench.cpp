// Point transforms and matrix products of the math library against glm (the
// natural peer) and against memcpy of the same bytes (the memory bound).
// Arguments: the record stride in bytes and the millions of points (1 or 8).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "system/math/QxMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "system/math/QxTransformPoints.h"

#ifdef ENGINE_HAVE_GLM
#include <glm/glm.hpp>
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

glm::mat4 SampleGlmMatrix()
{
    const QxMatrix m = SampleMatrix();
    glm::mat4 g;
    // Row-vector rows become column-vector columns: the same transform.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            g[i][j] = m[i][j];
    return g;
}

void GlmTransform(unsigned char* destination, const unsigned char* source, int stride, int count, const glm::mat4& m)
{
    for (int i = 0; i < count; ++i) {
        glm::vec3 p;
        std::memcpy(&p, source + size_t(i) * stride, sizeof(p));
        const glm::vec3 q = glm::vec3(m * glm::vec4(p, 1.0f));
        std::memcpy(destination + size_t(i) * stride, &q, sizeof(q));
    }
}

void BM_GlmTransformPoints(benchmark::State& state)
{
    const int stride = int(state.range(0));
    const int count = PointCount(state);
    const glm::mat4 m = SampleGlmMatrix();
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
    glm::mat4 a = SampleGlmMatrix(), b = SampleGlmMatrix(), r;
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

} // namespace
