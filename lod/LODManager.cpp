#include "lod/LODManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/XObjectPointerArray.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterTypeDesc.h"
#include "render/animation/CKCharacter.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "system/math/QxFloatToInt.h"
#include "system/runtime/QxProcessor.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define LOD_FADE_AVX2 1
#endif

namespace {

constexpr char kCategoryName[] = "LOD (Level Of Detail)";
constexpr char kAttributeName[] = "LOD Object";
// The "Blend Factor" values Source Alpha and Inverse Source Alpha.
constexpr int kBlendSourceAlpha = 5;
constexpr int kBlendInverseSourceAlpha = 6;
// An alpha at or below this hides the entity for the drawing.
constexpr float kHiddenAlpha = 0.001f;

// The face ratio and the alpha of a screen measure x: linear in the squared
// fractions between the minimum and the full-detail fraction, or a switch at
// their mid-point when the range is empty.
float Interpolate(float x, float low, float high, float atLow, float atHigh)
{
    float a = low * low;
    float b = high * high;
    if (b > a) {
        float t = x < a ? a : (x > b ? b : x);
        return atLow + (t - a) / (b - a) * (atHigh - atLow);
    }
    return x < (a + b) / 2.0f ? atLow : atHigh;
}

float AlphaOf(float x, float low, float high)
{
    float c = low * low;
    float d = high * high;
    if (d > c) {
        float t = x < c ? c : (x > d ? d : x);
        return (t - c) / (d - c);
    }
    return x < (c + d) / 2.0f ? 0.0f : 1.0f;
}

// The diffuse colours of a mesh as 32-bit words, and the words between two
// vertices; null when it has none.
CKDWORD* DiffuseWords(CKMesh* mesh, size_t& step)
{
    CKDWORD stride = 0;
    void* colors = mesh->GetColorsPtr(&stride);
    if (!colors || stride < sizeof(CKDWORD) || stride % sizeof(CKDWORD))
        return nullptr;
    step = stride / sizeof(CKDWORD);
    return static_cast<CKDWORD*>(colors);
}

// Each vertex alpha becomes original · alpha, truncated; with keep, the
// originals are first taken from the colours. alpha lies in (0.001, 1), so
// every product is a byte and the conversion is exact. Vertices are 8 bytes
// apart in every mesh: that case is written out so that it vectorises.
template <size_t Step>
void ScaleAlphasAt(CKDWORD* words, size_t step, CKBYTE* original, int count, float alpha, bool keep)
{
    const size_t s = Step ? Step : step;
    for (int i = 0; i < count; ++i) {
        CKDWORD c = words[(size_t) i * s];
        CKDWORD a = keep ? c >> 24 : original[i];
        original[i] = (CKBYTE) a;
        words[(size_t) i * s] = (c & 0x00FFFFFFu) | ((CKDWORD) (int) ((float) a * alpha) << 24);
    }
}

#ifdef LOD_FADE_AVX2

// ScaleAlphasAt<2> with keep, eight vertices (two colour words each) at a
// time; returns how many it did. The product and its truncation are the
// same single-precision operations as the plain loop's, so the bytes are too.
__attribute__((target("avx2"))) int KeepAndScaleAvx2(CKDWORD* words, CKBYTE* original, int count, float alpha)
{
    const __m256 factor = _mm256_set1_ps(alpha);
    const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
    // Bytes 0, 4, 8 and 12 of each half: the alphas once shifted down.
    const __m256i low = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12, -1,
                                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        CKDWORD* p = words + (size_t) i * 2;
        __m256 v0 = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
        __m256 v1 = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8)));
        // Colours of vertices 0 1 4 5 | 2 3 6 7, and their second words.
        __m256i colors = _mm256_castps_si256(_mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 0, 2, 0)));
        __m256i others = _mm256_castps_si256(_mm256_shuffle_ps(v0, v1, _MM_SHUFFLE(3, 1, 3, 1)));
        __m256i alphas = _mm256_srli_epi32(colors, 24);
        __m256i bytes = _mm256_shuffle_epi8(alphas, low);
        __m128i ordered = _mm_unpacklo_epi16(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(original + i), ordered);
        __m256i scaled = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(alphas), factor));
        colors = _mm256_or_si256(_mm256_and_si256(colors, rgb), _mm256_slli_epi32(scaled, 24));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_unpacklo_epi32(colors, others));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 8), _mm256_unpackhi_epi32(colors, others));
    }
    return i;
}

// PutAlphasBackAt<2>, four vertices at a time; returns how many it did.
__attribute__((target("avx2"))) int PutAlphasBackAvx2(CKDWORD* words, const CKBYTE* original, int count)
{
    // The colour word of each vertex loses its alpha, the second word nothing.
    const __m256i keep = _mm256_setr_epi32(0x00FFFFFF, -1, 0x00FFFFFF, -1, 0x00FFFFFF, -1, 0x00FFFFFF, -1);
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        CKDWORD* p = words + (size_t) i * 2;
        int four;
        std::memcpy(&four, original + i, sizeof four);
        // Each byte widened to 64 bits lands in the low word of its vertex.
        __m256i alphas = _mm256_slli_epi32(_mm256_cvtepu8_epi64(_mm_cvtsi32_si128(four)), 24);
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_or_si256(_mm256_and_si256(v, keep), alphas));
    }
    return i;
}

#endif

void ScaleAlphas(CKDWORD* words, size_t step, CKBYTE* original, int count, float alpha, bool keep)
{
    if (step != 2) {
        ScaleAlphasAt<0>(words, step, original, count, alpha, keep);
        return;
    }
    int done = 0;
#ifdef LOD_FADE_AVX2
    if (keep && QxProcessorHasAvx2())
        done = KeepAndScaleAvx2(words, original, count, alpha);
#endif
    ScaleAlphasAt<2>(words + (size_t) done * 2, step, original + done, count - done, alpha, keep);
}

template <size_t Step>
void PutAlphasBackAt(CKDWORD* words, size_t step, const CKBYTE* original, int count)
{
    const size_t s = Step ? Step : step;
    for (int i = 0; i < count; ++i) {
        CKDWORD c = words[(size_t) i * s];
        words[(size_t) i * s] = (c & 0x00FFFFFFu) | ((CKDWORD) original[i] << 24);
    }
}

void PutAlphasBack(CKDWORD* words, size_t step, const CKBYTE* original, int count)
{
    if (step != 2) {
        PutAlphasBackAt<0>(words, step, original, count);
        return;
    }
    int done = 0;
#ifdef LOD_FADE_AVX2
    if (QxProcessorHasAvx2())
        done = PutAlphasBackAvx2(words, original, count);
#endif
    PutAlphasBackAt<2>(words + (size_t) done * 2, step, original + done, count - done);
}

QxVector Row(const QxMatrix& m, int i)
{
    return QxVector(m[i][0], m[i][1], m[i][2]);
}

} // namespace

LODManager::LODManager(CKContext* context) : CKBaseManager(context, LOD_MANAGER_GUID, kCategoryName)
{
    context->RegisterNewManager(this);
    if (CKParameterManager* pm = context->GetParameterManager()) {
        CKParameterTypeDesc desc;
        desc.Guid = LOD_OPTIONS_GUID;
        desc.Name = "LOD Options";
        desc.DefaultSize = sizeof(LODOptions);
        desc.CreateDefault = &LODManager::CreateDefaultOptions;
        desc.StringConvert = &LODManager::OptionsToFromString;
        pm->RegisterParameterType(&desc);
    }
}

LODManager::~LODManager()
{
    m_SavedMaterials.Free();
    m_SavedVertexAlphas.Free();
    m_EntityStates.Free();
}

// Context callbacks.

CKERROR LODManager::PostClearAll()
{
    // Records of the previous objects name nothing any more.
    m_EntityStates.Clear();
    m_SavedMaterials.Clear();
    m_SavedVertexAlphas.Clear();
    RegisterLodAttribute();
    return CKErr::Ok;
}

CKERROR LODManager::OnObjectsToBeDeleted(CK_ID* ids, int count)
{
    for (EntityState& state : m_EntityStates) {
        if (!state.Entity || !ids)
            continue;
        for (int i = 0; i < count; ++i) {
            if (ids[i] != state.Entity)
                continue;
            state.Hidden = FALSE;
            RestoreEntityState(state);
            break;
        }
    }
    return CKErr::Ok;
}

CKERROR LODManager::OnCKInit()
{
    RegisterLodAttribute();
    return CKErr::Ok;
}

CKERROR LODManager::OnCKPostReset()
{
    SetActive(FALSE);
    return CKErr::Ok;
}

CKERROR LODManager::OnCKPause()
{
    SetLodCallbacks(FALSE);
    return CKErr::Ok;
}

CKERROR LODManager::OnCKPlay()
{
    if (CKRenderContext* dev = m_Context->GetMainRenderContext())
        m_CameraFactor = ComputeCameraFactor(dev);
    if (m_Context->IsReset()) {
        m_GlobalLodFactor = 1.0f;
        m_Active = FALSE;
        m_BuildPMNormals = FALSE;
        SetActive(TRUE);
    } else {
        SetLodCallbacks(m_Active);
    }
    return CKErr::Ok;
}

CKERROR LODManager::OnPreRender(CKRenderContext* dev)
{
    CKAttributeManager* am = m_Context->GetAttributeManager();
    if (m_Active && am && am->GetAttributeObjectList(m_LodAttribute).Size() > 0)
        m_CameraFactor = ComputeCameraFactor(dev);
    return CKErr::Ok;
}

// Settings and registration.

LODOptions* LODManager::GetLodOptions(CKBeObject* entity)
{
    if (!entity)
        return nullptr;
    CKParameter* parameter = entity->GetAttributeParameter(m_LodAttribute);
    if (!parameter || parameter->GetDataSize() != (int) sizeof(LODOptions))
        return nullptr;
    return static_cast<LODOptions*>(parameter->GetReadDataPtr(FALSE));
}

void LODManager::SetActive(CKBOOL on)
{
    on = on ? TRUE : FALSE;
    if (on == m_Active)
        return;
    SetLodCallbacks(on);
    m_Active = on;
}

void LODManager::SetLodCallbacks(CKBOOL on)
{
    CKAttributeManager* am = m_Context->GetAttributeManager();
    if (!am)
        return;
    // Restoring changes meshes, never the list; a copy still keeps the walk
    // safe from callbacks that would.
    XObjectPointerArray objects = am->GetAttributeObjectList(m_LodAttribute);
    for (CKObject* object : objects) {
        if (!CKIsChildClassOfObject(object, CKCID_3DENTITY))
            continue;
        CK3dEntity* entity = static_cast<CK3dEntity*>(object);
        if (on)
            entity->AddPreRenderCallBack(&LODManager::OnLodPreRender, this, FALSE, FALSE);
        else
            RestoreFullDetail(entity);
    }
}

void LODManager::RegisterLodAttribute()
{
    CKAttributeManager* am = m_Context->GetAttributeManager();
    if (!am)
        return;
    am->AddCategory(kCategoryName, 0);
    m_LodAttribute = am->RegisterNewAttributeType(kAttributeName, LOD_OPTIONS_GUID, CKCID_3DENTITY, 0x20);
    am->SetAttributeCategory(m_LodAttribute, kCategoryName);
    am->SetAttributeCallbackFunction(m_LodAttribute, &LODManager::OnLodAttributeChanged, this);
}

float LODManager::ComputeCameraFactor(CKRenderContext* dev)
{
    CKCamera* camera = dev ? dev->GetAttachedCamera() : nullptr;
    if (!camera)
        return 1.0f;
    float h = camera->GetFov() * 0.5f;
    float t = std::tan(h);
    float twice = 2.0f * t;
    float square = twice * twice;
    return 1.0f / square;
}

// Parameter type callbacks.

CKERROR LODManager::CreateDefaultOptions(CKParameter* parameter)
{
    if (!parameter)
        return CKErr::InvalidParameter;
    LODOptions defaults;
    return parameter->SetValue(&defaults, 0);
}

int LODManager::OptionsToFromString(CKParameter* parameter, char* text, int size, CKBOOL read)
{
    if (!parameter)
        return 0;
    LODOptions options;
    if (!read) {
        // A value of another size fills what it has; the rest keeps the defaults.
        const void* value = parameter->GetReadDataPtr(FALSE);
        int bytes = parameter->GetDataSize();
        if (value && bytes > 0)
            std::memcpy(&options, value, bytes < (int) sizeof options ? (size_t) bytes : sizeof options);
        return LODOptionsToText(options, text, size);
    }
    if (LODOptionsFromText(text, options))
        parameter->SetValue(&options, 0);
    return 0;
}

// Attribute callback.

void LODManager::OnLodAttributeChanged(int, CKBOOL set, CKBeObject* object, void* argument)
{
    LODManager* manager = static_cast<LODManager*>(argument);
    if (!object || !manager || !CKIsChildClassOfObject(object, CKCID_3DENTITY))
        return;
    CK3dEntity* entity = static_cast<CK3dEntity*>(object);
    if (!set) {
        manager->RestoreFullDetail(entity);
        return;
    }
    LODOptions* options = manager->GetLodOptions(entity);
    if (!options)
        return;
    if (manager->m_Context->IsPlaying()) {
        if (manager->m_Active)
            entity->AddPreRenderCallBack(&LODManager::OnLodPreRender, manager, FALSE, FALSE);
        return;
    }
    // Out of play the record learns what the entity offers; bits are only added.
    if (entity->GetClassID() == CKCID_CHARACTER)
        options->Flags |= LOD_CHARACTER;
    if (entity->GetMeshCount() > 1)
        options->Flags |= LOD_MULTIPLEMESHES;
    CKMesh* current = entity->GetCurrentMesh();
    if (current && current->GetClassID() == CKCID_PATCHMESH)
        options->Flags |= LOD_PATCHMESH;
}

// Per-entity work.

CKBOOL LODManager::OnLodPreRender(CKRenderContext* dev, CKRenderObject* object, void* argument)
{
    LODManager* manager = static_cast<LODManager*>(argument);
    if (manager && dev && CKIsChildClassOfObject(object, CKCID_3DENTITY))
        manager->PreRender(dev, static_cast<CK3dEntity*>(object));
    return FALSE;
}

void LODManager::PreRender(CKRenderContext* dev, CK3dEntity* entity)
{
    LODOptions* options = GetLodOptions(entity);
    if (!options)
        return;

    // Size: the squared diagonal of the world box, or, with a mesh, the
    // squared diameter of its sphere along the longest scaled axis.
    const QxMatrix& world = entity->GetWorldMatrix();
    float size;
    if (CKMesh* mesh = entity->GetMesh(0)) {
        float diameter = 2.0f * mesh->GetRadius();
        float d2 = diameter * diameter;
        size = 0.0f;
        for (int i = 0; i < 3; ++i) {
            float axis = d2 * QxSquareMagnitude(2.0f * Row(world, i));
            if (i == 0 || axis > size)
                size = axis;
        }
    } else if (CKIsChildClassOfObject(entity, CKCID_CHARACTER)) {
        const QxBbox& box = entity->GetBoundingBox(FALSE);
        size = QxSquareMagnitude(box.Max - box.Min);
    } else {
        return;
    }

    CKCamera* camera = dev->GetAttachedCamera();
    if (!camera)
        return;
    const QxMatrix& view = camera->GetWorldMatrix();
    float depth = QxDotProduct(Row(world, 3) - Row(view, 3), Row(view, 2));
    // At the camera's depth the measure is no finite number.
    float x = size / (depth * depth) * m_CameraFactor;
    float face;
    float alpha;
    ComputeLevels(*options, x, face, alpha);
    ApplyLod(entity, face * m_GlobalLodFactor, alpha * m_GlobalLodFactor, *options);
}

void LODManager::ComputeLevels(const LODOptions& options, float x, float& face, float& alpha)
{
    face = options.FaceMag;
    alpha = 1.0f;
    if (!std::isfinite(x))
        return;
    face = Interpolate(x, options.ScreenMin, options.ScreenMag, options.FaceMin, options.FaceMag);
    if (options.Flags & LOD_ALPHA)
        alpha = AlphaOf(x, options.ScreenAlphaMin, options.ScreenAlphaMag);
}

void LODManager::ApplyLod(CK3dEntity* entity, float face, float alpha, const LODOptions& options)
{
    if (!entity)
        return;
    if ((options.Flags & LOD_MULTIPLEMESHES) && entity->GetMeshCount() >= 2)
        SelectMesh(entity, face);
    if ((options.Flags & LOD_CHARACTER) && entity->GetClassID() == CKCID_CHARACTER)
        static_cast<CKCharacter*>(entity)->SetAnimationParameter(face);

    CKMesh* current = entity->GetCurrentMesh();
    if (!current)
        return;
    if ((options.Flags & LOD_ALPHA) && alpha < 1.0f) {
        Fade(entity, current, alpha);
        if (!entity->GetCurrentMesh())
            return;
    }
    if (current->IsPM()) {
        // The mesh bounds the count from above.
        current->SetVerticesRendered(std::max(0, QxTruncToInt((float) current->GetVertexCount() * face)));
        if (m_BuildPMNormals)
            current->SetFlags(current->GetFlags() | CKMESH_PMBUILDNORMALS);
    } else if ((options.Flags & LOD_PATCHMESH) && current->GetClassID() == CKCID_PATCHMESH) {
        // 5 steps at full detail, 2 at a quarter; the patch mesh refuses
        // negative counts and lowers those its render mesh cannot hold.
        float root = std::sqrt(face);
        static_cast<CKPatchMesh*>(current)->SetIterationCount(QxTruncToInt(6.0f * root - 0.5));
    }
}

void LODManager::SelectMesh(CK3dEntity* entity, float face)
{
    int count = entity->GetMeshCount();
    int most = 0;
    for (int i = 0; i < count; ++i)
        if (CKMesh* mesh = entity->GetMesh(i))
            most = std::max(most, mesh->GetFaceCount());
    int target = std::clamp(QxTruncToInt((float) most * face), 0, most);
    CKMesh* current = entity->GetCurrentMesh();
    int faces = current ? current->GetFaceCount() : 0;
    // Away from the current mesh's count, so that a measure near a step does
    // not switch meshes every frame.
    target = QxTruncToInt(target * (faces > target ? 1.1000000014901161 : 0.8999999985098839));
    CKMesh* chosen = nullptr;
    int best = most;
    for (int i = 0; i < count; ++i) {
        CKMesh* mesh = entity->GetMesh(i);
        if (!mesh)
            continue;
        int over = mesh->GetFaceCount() - target;
        if (over >= 0 && over < best) {
            best = over;
            chosen = mesh;
        }
    }
    if (chosen)
        entity->SetCurrentMesh(chosen, FALSE);
}

// Fading and its undoing.

void LODManager::Fade(CK3dEntity* entity, CKMesh* mesh, float alpha)
{
    EntityState& state = BeginEntityState(entity);
    state.LastMesh = mesh->GetID();
    entity->AddPostRenderCallBack(&LODManager::OnLodPostRender, this, TRUE, TRUE);
    if (alpha <= kHiddenAlpha) {
        // Taking the mesh away drops the weights: they come back with it.
        state.Hidden = TRUE;
        int shapes = mesh->GetBlendShapeCount();
        state.Weights.Resize(shapes > 0 ? shapes : 0);
        for (int i = 0; i < state.Weights.Size(); ++i)
            state.Weights[i] = entity->GetBlendShapeWeight(i);
        entity->SetCurrentMesh(nullptr, FALSE);
        return;
    }
    for (int i = 0; i < mesh->GetMaterialCount(); ++i) {
        CKMaterial* material = mesh->GetMaterial(i);
        if (!material)
            continue;
        FadeMaterial(material, alpha);
        state.Materials.PushBack(material->GetID());
    }
    if (mesh->GetLitMode() == 0) {
        FadeColors(mesh, alpha);
        state.FadedMesh = mesh->GetID();
    }
}

CKBOOL LODManager::OnLodPostRender(CKRenderContext*, CKRenderObject* object, void* argument)
{
    LODManager* manager = static_cast<LODManager*>(argument);
    if (!manager || !object)
        return FALSE;
    if (EntityState* state = manager->FindEntityState(object->GetID()))
        manager->RestoreEntityState(*state);
    return FALSE;
}

LODManager::EntityState& LODManager::BeginEntityState(CK3dEntity* entity)
{
    CK_ID id = entity->GetID();
    // A drawing whose post-render never ran is undone first.
    if (EntityState* stale = FindEntityState(id))
        RestoreEntityState(*stale);
    EntityState* state = FindEntityState(0);
    if (!state)
        state = &m_EntityStates.PushBack(EntityState());
    state->Entity = id;
    return *state;
}

LODManager::EntityState* LODManager::FindEntityState(CK_ID entity)
{
    for (EntityState& state : m_EntityStates)
        if (state.Entity == entity)
            return &state;
    return nullptr;
}

void LODManager::RestoreEntityState(EntityState& state)
{
    CKObject* object = m_Context->GetObject(state.Entity);
    if (state.Hidden && CKIsChildClassOfObject(object, CKCID_3DENTITY)) {
        CK3dEntity* entity = static_cast<CK3dEntity*>(object);
        CKObject* last = m_Context->GetObject(state.LastMesh);
        if (!entity->GetCurrentMesh() && CKIsChildClassOfObject(last, CKCID_MESH)) {
            entity->SetCurrentMesh(static_cast<CKMesh*>(last), FALSE);
            for (int i = 0; i < state.Weights.Size(); ++i)
                entity->SetBlendShapeWeight(i, state.Weights[i]);
        }
    }
    for (CK_ID material : state.Materials)
        ReleaseMaterial(material);
    if (state.FadedMesh)
        ReleaseColors(state.FadedMesh);
    state.Entity = 0;
    state.LastMesh = 0;
    state.Hidden = FALSE;
    state.Weights.Clear();
    state.Materials.Clear();
    state.FadedMesh = 0;
}

void LODManager::FadeMaterial(CKMaterial* material, float alpha)
{
    CK_ID id = material->GetID();
    SavedMaterial* saved = nullptr;
    for (SavedMaterial& s : m_SavedMaterials)
        if (s.Material == id)
            saved = &s;
    if (!saved) {
        SavedMaterial fresh;
        fresh.Material = id;
        fresh.Alpha = material->GetDiffuse().a;
        fresh.SourceBlend = material->GetSourceBlend();
        fresh.DestBlend = material->GetDestBlend();
        fresh.AlphaBlend = material->AlphaBlendEnabled();
        saved = &m_SavedMaterials.PushBack(fresh);
    }
    ++saved->Uses;
    material->SetSourceBlend(kBlendSourceAlpha);
    material->SetDestBlend(kBlendInverseSourceAlpha);
    material->EnableAlphaBlend(TRUE);
    QxColor diffuse = material->GetDiffuse();
    diffuse.a = saved->Alpha * alpha;
    material->SetDiffuse(diffuse);
}

void LODManager::ReleaseMaterial(CK_ID id)
{
    for (int i = 0; i < m_SavedMaterials.Size(); ++i) {
        SavedMaterial& saved = m_SavedMaterials[i];
        if (saved.Material != id || --saved.Uses > 0)
            continue;
        CKObject* object = m_Context->GetObject(id);
        if (CKIsChildClassOfObject(object, CKCID_MATERIAL)) {
            CKMaterial* material = static_cast<CKMaterial*>(object);
            material->SetSourceBlend(saved.SourceBlend);
            material->SetDestBlend(saved.DestBlend);
            material->EnableAlphaBlend(saved.AlphaBlend);
            QxColor diffuse = material->GetDiffuse();
            diffuse.a = saved.Alpha;
            material->SetDiffuse(diffuse);
        }
        m_SavedMaterials.RemoveAt(i);
        return;
    }
}

void LODManager::FadeColors(CKMesh* mesh, float alpha)
{
    size_t step = 0;
    CKDWORD* words = DiffuseWords(mesh, step);
    int count = mesh->GetVertexCount();
    if (!words || count <= 0)
        return;
    CK_ID id = mesh->GetID();
    SavedColors* saved = nullptr;
    for (SavedColors& s : m_SavedVertexAlphas)
        if (s.Mesh == id && s.Uses > 0)
            saved = &s;
    bool fresh = !saved;
    if (fresh) {
        for (SavedColors& s : m_SavedVertexAlphas)
            if (s.Uses == 0)
                saved = &s;
        if (!saved)
            saved = &m_SavedVertexAlphas.PushBack(SavedColors());
        saved->Mesh = id;
        saved->Alphas.Resize(count);
    }
    ++saved->Uses;
    int n = std::min(count, saved->Alphas.Size());
    ScaleAlphas(words, step, saved->Alphas.Begin(), n, alpha, fresh);
    mesh->ColorChanged();
}

void LODManager::ReleaseColors(CK_ID id)
{
    for (SavedColors& saved : m_SavedVertexAlphas) {
        if (saved.Mesh != id || saved.Uses <= 0 || --saved.Uses > 0)
            continue;
        CKObject* object = m_Context->GetObject(id);
        if (!CKIsChildClassOfObject(object, CKCID_MESH))
            return;
        CKMesh* mesh = static_cast<CKMesh*>(object);
        size_t step = 0;
        CKDWORD* words = DiffuseWords(mesh, step);
        if (!words)
            return;
        PutAlphasBack(words, step, saved.Alphas.Begin(), std::min(mesh->GetVertexCount(), saved.Alphas.Size()));
        mesh->ColorChanged();
        return;
    }
}

void LODManager::RestoreFullDetail(CK3dEntity* entity)
{
    if (!entity)
        return;
    entity->RemovePreRenderCallBack(&LODManager::OnLodPreRender, this);
    if (EntityState* pending = FindEntityState(entity->GetID()))
        RestoreEntityState(*pending);
    if (LODOptions* options = GetLodOptions(entity))
        ApplyLod(entity, options->FaceMag, 1.0f, *options);
}
