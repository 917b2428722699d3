// Key evaluation and skinning against the same arithmetic written as plain
// loops over flat glm arrays (the natural peer, at its best: no bounds
// checks, controls precomputed, the segment known in advance).
// TCB cases: a track of N keys evaluated at the middle of each of its N - 1
// segments, N = 100,000 and 1,000,000. Skinning: V vertices of 4 influences
// among 32 bones, positions and normals, V = 10,000 and 100,000.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench/BenchCase.h"
#include "render/animation/CKInterpolation.h"
#include "render/animation/CKKeyedController.h"
#include "render/animation/RCKSkin.h"

#ifdef ENGINE_HAVE_GLM
#define GLM_ENABLE_EXPERIMENTAL
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/quaternion.hpp>
#endif

namespace {

float Wave(int i, int c)
{
    return std::sin(0.37f * (float) i + 1.1f * (float) c);
}

QxVector PositionOf(int i)
{
    return QxVector(Wave(i, 0), Wave(i, 1), Wave(i, 2));
}

QxQuaternion RotationOf(int i)
{
    QxQuaternion q;
    q.FromRotation(QxNormalize(QxVector(1.0f, Wave(i, 3), 0.5f)), 0.3f * (float) i);
    return q;
}

float TensionOf(int i)
{
    return 0.1f * (float) (i % 3);
}

std::unique_ptr<CKTCBPositionController> PositionTrack(int n)
{
    auto c = std::make_unique<CKTCBPositionController>(CKANIMATION_TCBPOSITION_CONTROL);
    for (int i = 0; i < n; ++i) {
        const CKTCBKey<QxVector> key((float) i, PositionOf(i), TensionOf(i), 0.1f, -0.1f);
        c->AddKey(&key);
    }
    return c;
}

std::unique_ptr<CKTCBRotationController> RotationTrack(int n)
{
    auto c = std::make_unique<CKTCBRotationController>(CKANIMATION_TCBROTATION_CONTROL);
    for (int i = 0; i < n; ++i) {
        const CKTCBKey<QxQuaternion> key((float) i, RotationOf(i), TensionOf(i), 0.1f, -0.1f);
        c->AddKey(&key);
    }
    return c;
}

void BM_TCBPositionOurs(benchmark::State& state)
{
    const int n = (int) state.range(0);
    auto track = PositionTrack(n);
    QxVector sum;
    for (auto _ : state) {
        for (int i = 0; i + 1 < n; ++i) {
            QxVector v;
            track->Evaluate((float) i + 0.5f, &v);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (n - 1));
}
BENCHMARK(BM_TCBPositionOurs)->Name("TCBPosition/ours")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_TCBRotationOurs(benchmark::State& state)
{
    const int n = (int) state.range(0);
    auto track = RotationTrack(n);
    QxQuaternion q;
    track->Evaluate(0.5f, &q); // the squad controls, built once
    float sum = 0.0f;
    for (auto _ : state) {
        for (int i = 0; i + 1 < n; ++i) {
            track->Evaluate((float) i + 0.5f, &q);
            sum += q.w;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (n - 1));
}
BENCHMARK(BM_TCBRotationOurs)->Name("TCBRotation/ours")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A skin of 32 bones along y and count vertices of 4 influences each.
struct SkinSample
{
    RCKSkin skin;
    std::vector<QxMatrix> bones;
    std::vector<QxVector> positions, normals;
};

std::unique_ptr<SkinSample> MakeSkin(int count)
{
    auto s = std::make_unique<SkinSample>();
    s->skin.SetBoneCount(32);
    s->skin.SetVertexCount(count);
    s->skin.SetNormalCount(count);
    for (int v = 0; v < count; ++v) {
        CKSkinVertexData* data = s->skin.GetVertexData(v);
        data->SetInitialPos(PositionOf(v));
        data->SetBoneCount(4);
        for (int k = 0; k < 4; ++k) {
            data->SetBone(k, (v * 7 + k * 5) % 32);
            data->SetWeight(k, 0.1f + 0.1f * (float) k);
        }
        s->skin.SetNormal(v, QxNormalize(PositionOf(v + 3)));
    }
    s->bones.resize(32);
    for (int b = 0; b < 32; ++b) {
        RotationOf(b).ToMatrix(s->bones[(size_t) b]);
        s->bones[(size_t) b][3][1] = (float) b;
    }
    s->positions.resize((size_t) count);
    s->normals.resize((size_t) count);
    return s;
}

void BM_SkinOurs(benchmark::State& state)
{
    const int count = (int) state.range(0);
    auto s = MakeSkin(count);
    for (auto _ : state) {
        s->skin.DeformVertices(s->bones.data(), count, s->positions.data(), sizeof(QxVector), s->normals.data(),
                               sizeof(QxVector));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SkinOurs)->Name("Skin4Influences/ours")->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

#ifdef ENGINE_HAVE_GLM

struct GlmTCBKey
{
    float t;
    glm::vec3 v;
    float tension, continuity, bias, easeIn, easeOut;
};

void BM_TCBPositionGlm(benchmark::State& state)
{
    const int n = (int) state.range(0);
    std::vector<GlmTCBKey> keys((size_t) n);
    for (int i = 0; i < n; ++i) {
        const QxVector p = PositionOf(i);
        keys[(size_t) i] = {(float) i, glm::vec3(p.x, p.y, p.z), TensionOf(i), 0.1f, -0.1f, 0.0f, 0.0f};
    }
    glm::vec3 sum(0.0f);
    for (auto _ : state) {
        for (int i = 0; i + 1 < n; ++i) {
            const GlmTCBKey& a = keys[(size_t) i];
            const GlmTCBKey& b = keys[(size_t) i + 1];
            const float time = (float) i + 0.5f;
            const float u = CKEaseTime((time - a.t) / (b.t - a.t), a.easeOut, b.easeIn);
            const glm::vec3 d = b.v - a.v;
            const glm::vec3 dPrev = i > 0 ? a.v - keys[(size_t) i - 1].v : d;
            const glm::vec3 dNext = i + 2 < n ? keys[(size_t) i + 2].v - b.v : d;
            const CKTCBWeights wa = CKTCBTangentWeights(a.tension, a.continuity, a.bias);
            const CKTCBWeights wb = CKTCBTangentWeights(b.tension, b.continuity, b.bias);
            const glm::vec3 out0 = dPrev * wa.OutPrev + d * wa.OutNext;
            const glm::vec3 in1 = d * wb.InPrev + dNext * wb.InNext;
            float h[4];
            CKHermiteBasis(u, h);
            sum += h[0] * a.v + h[1] * out0 + h[2] * b.v + h[3] * in1;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (n - 1));
}
BENCHMARK(BM_TCBPositionGlm)->Name("TCBPosition/glm")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_TCBRotationGlm(benchmark::State& state)
{
    const int n = (int) state.range(0);
    // Keys and their squad controls, computed before timing.
    std::vector<glm::quat> q((size_t) n), in((size_t) n), out((size_t) n);
    std::vector<float> t((size_t) n);
    for (int i = 0; i < n; ++i) {
        t[(size_t) i] = (float) i;
        const QxQuaternion r = RotationOf(i);
        q[(size_t) i] = glm::quat(r.w, r.x, r.y, r.z);
    }
    auto logDif = [](const glm::quat& a, const glm::quat& b) {
        glm::quat d = glm::conjugate(a) * b;
        if (d.w < 0.0f)
            d = -d;
        return glm::log(d);
    };
    for (int k = 0; k < n; ++k) {
        const glm::quat lNext =
            k + 1 < n ? logDif(q[(size_t) k], q[(size_t) k + 1]) : logDif(q[(size_t) k - 1], q[(size_t) k]);
        const glm::quat lPrev = k > 0 ? logDif(q[(size_t) k - 1], q[(size_t) k]) : lNext;
        const CKTCBWeights w = CKTCBTangentWeights(TensionOf(k), 0.1f, -0.1f);
        const glm::quat tin = lPrev * w.InPrev + lNext * w.InNext;
        const glm::quat tout = lPrev * w.OutPrev + lNext * w.OutNext;
        in[(size_t) k] = q[(size_t) k] * glm::exp((lPrev - tin) * 0.5f);
        out[(size_t) k] = q[(size_t) k] * glm::exp((tout - lNext) * 0.5f);
    }
    float sum = 0.0f;
    for (auto _ : state) {
        for (int i = 0; i + 1 < n; ++i) {
            const float time = (float) i + 0.5f;
            const float u = (time - t[(size_t) i]) / (t[(size_t) i + 1] - t[(size_t) i]);
            const glm::quat outer = glm::normalize(glm::slerp(q[(size_t) i], q[(size_t) i + 1], u));
            const glm::quat inner = glm::normalize(glm::slerp(out[(size_t) i], in[(size_t) i + 1], u));
            sum += glm::normalize(glm::slerp(outer, inner, 2.0f * u * (1.0f - u))).w;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (n - 1));
}
BENCHMARK(BM_TCBRotationGlm)->Name("TCBRotation/glm")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_SkinGlm(benchmark::State& state)
{
    const int count = (int) state.range(0);
    auto s = MakeSkin(count);
    std::vector<glm::mat4> bones(32);
    for (int b = 0; b < 32; ++b)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                bones[(size_t) b][i][j] = s->bones[(size_t) b][i][j];
    std::vector<glm::vec3> positions((size_t) count), normals((size_t) count), outP((size_t) count),
        outN((size_t) count);
    std::vector<glm::ivec4> index((size_t) count);
    std::vector<glm::vec4> weight((size_t) count);
    for (int v = 0; v < count; ++v) {
        CKSkinVertexData* data = s->skin.GetVertexData(v);
        const QxVector p = data->GetInitialPos(), n = s->skin.GetNormal(v);
        positions[(size_t) v] = glm::vec3(p.x, p.y, p.z);
        normals[(size_t) v] = glm::vec3(n.x, n.y, n.z);
        for (int k = 0; k < 4; ++k) {
            index[(size_t) v][k] = data->GetBone(k);
            weight[(size_t) v][k] = data->GetWeight(k);
        }
    }
    for (auto _ : state) {
        for (int v = 0; v < count; ++v) {
            const glm::ivec4 b = index[(size_t) v];
            const glm::vec4 w = weight[(size_t) v];
            const glm::mat4 m = bones[(size_t) b.x] * w.x + bones[(size_t) b.y] * w.y + bones[(size_t) b.z] * w.z +
                                bones[(size_t) b.w] * w.w;
            outP[(size_t) v] = glm::vec3(m * glm::vec4(positions[(size_t) v], 1.0f));
            outN[(size_t) v] = glm::normalize(glm::mat3(m) * normals[(size_t) v]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SkinGlm)->Name("Skin4Influences/glm")->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

#endif

} // namespace
BENCH_CASE_DOES("TCBPosition", "ours: a TCB position controller of N keys evaluated at the middle of each segment; "
                               "glm: the same Hermite arithmetic over flat glm arrays, controls precomputed");
BENCH_CASE_DOES("TCBRotation", "ours: a TCB rotation controller of N keys evaluated at the middle of each segment; "
                               "glm: the same quaternion arithmetic over flat glm arrays, controls precomputed");
BENCH_CASE_DOES("Skin4Influences", "ours: skinning of V vertices (positions and normals) with 4 influences among 32 "
                                   "bones; glm: the same weighted sums as a plain loop over glm arrays");
