#pragma once

#include "core/context/CKBaseManager.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "lod/LODOptions.h"

class CK3dEntity;
class CKBeObject;
class CKMaterial;
class CKMesh;
class CKParameter;
class CKRenderObject;

// The manager's GUID, the same as its plug-in's.
constexpr CKGUID LOD_MANAGER_GUID(0x314F3F83, 0x006F0E30);
// The "LOD Options" parameter type, whose value is an LODOptions record.
constexpr CKGUID LOD_OPTIONS_GUID(0x2B2D2F43, 0x02AB7BC5);

// Lowers the detail of the 3D entities that carry the "LOD Object" attribute
// each time they are about to be drawn: it measures how large the entity is
// on screen and from that picks one of its meshes, the drawn vertices of a
// progressive mesh, the steps of a patch mesh, a character's detail factor
// and a fade through the materials' alpha.
//
// A fade is undone by a post-render callback of the same drawing. What it
// changed is kept per entity, and the original state of a material or a
// mesh shared by several faded entities is kept once, put back when the last
// of them has been drawn: however the drawings of several entities interleave,
// every material and vertex colour ends the frame as it began.
class LODManager : public CKBaseManager
{
public:
    // Registers with the context and registers "LOD Options".
    explicit LODManager(CKContext* context);
    ~LODManager() override;

    // A pending fade of an entity being deleted is undone on its materials
    // and mesh, so that no record outlives the entity.
    CKERROR OnObjectsToBeDeleted(CK_ID* ids, int count) override;
    CKERROR PostClearAll() override;
    CKERROR OnCKInit() override;
    CKERROR OnCKPostReset() override;
    CKERROR OnCKPause() override;
    CKERROR OnCKPlay() override;
    CKERROR OnPreRender(CKRenderContext* dev) override;
    CKDWORD GetValidFunctionsMask() override { return 0x004203E9; }

    // The entity's "LOD Object" value, changed in place by the callers; null
    // for a null entity, one without the attribute, or a value of another
    // size than the record (a parameter loaded with another type).
    LODOptions* GetLodOptions(CKBeObject* entity);
    // Installs (on) or removes the per-entity callbacks when on differs from
    // the current state.
    void SetActive(CKBOOL on);
    CKBOOL IsActive() const { return m_Active; }
    int GetLodAttribute() const { return m_LodAttribute; }
    float GetCameraFactor() const { return m_CameraFactor; }

    // The face ratio and the alpha of the options for a screen measure x
    // (the entity's squared size over its squared depth, times the camera
    // factor): linear in the squared fractions between the minimum and the
    // full-detail fraction, a switch at their middle when that range is
    // empty. A measure that is no finite number (an entity at the camera's
    // depth) gives full detail: FaceMag, opaque.
    static void ComputeLevels(const LODOptions& options, float x, float& face, float& alpha);
    // Gives the entity the detail of a face ratio and an alpha.
    void ApplyLod(CK3dEntity* entity, float face, float alpha, const LODOptions& options);
    // Removes the entity's pre-render callback, undoes a fade still pending
    // and gives it full detail (FaceMag, opaque).
    void RestoreFullDetail(CK3dEntity* entity);
    // on: every entity with the attribute gets the pre-render callback; off:
    // every one is restored to full detail.
    void SetLodCallbacks(CKBOOL on);
    // Registers "LOD Object" in its category (again after a clear).
    void RegisterLodAttribute();
    // 1 / (2 tan(fov / 2))² of the attached camera; 1 without one.
    static float ComputeCameraFactor(CKRenderContext* dev);

    // Callbacks of the parameter type, the render objects and the attribute.
    static CKERROR CreateDefaultOptions(CKParameter* parameter);
    static int OptionsToFromString(CKParameter* parameter, char* text, int size, CKBOOL read);
    static CKBOOL OnLodPreRender(CKRenderContext* dev, CKRenderObject* object, void* manager);
    static CKBOOL OnLodPostRender(CKRenderContext* dev, CKRenderObject* object, void* manager);
    static void OnLodAttributeChanged(int type, CKBOOL set, CKBeObject* object, void* manager);

    // Read and written directly by "LOD Manager Options".
    float m_GlobalLodFactor = 1.0f;
    CKBOOL m_BuildPMNormals = FALSE;

private:
    // One material's state before the fades of this drawing.
    struct SavedMaterial
    {
        CK_ID Material = 0;
        float Alpha = 0.0f;
        int SourceBlend = 0;
        int DestBlend = 0;
        CKBOOL AlphaBlend = FALSE;
        int Uses = 0;
    };
    // One pre-lit mesh's vertex alphas before the fades of this drawing.
    struct SavedColors
    {
        CK_ID Mesh = 0;
        int Uses = 0;
        XArray<CKBYTE> Alphas;
    };
    // What one entity's pre-render changed, until its post-render.
    struct EntityState
    {
        CK_ID Entity = 0; // 0: a free record
        CK_ID LastMesh = 0;
        CKBOOL Hidden = FALSE;
        XArray<float> Weights; // blend-shape weights kept over a hide
        XArray<CK_ID> Materials;
        CK_ID FadedMesh = 0;
    };

    void PreRender(CKRenderContext* dev, CK3dEntity* entity);
    void SelectMesh(CK3dEntity* entity, float face);
    void Fade(CK3dEntity* entity, CKMesh* mesh, float alpha);
    EntityState& BeginEntityState(CK3dEntity* entity);
    EntityState* FindEntityState(CK_ID entity);
    void RestoreEntityState(EntityState& state);
    void FadeMaterial(CKMaterial* material, float alpha);
    void ReleaseMaterial(CK_ID material);
    void FadeColors(CKMesh* mesh, float alpha);
    void ReleaseColors(CK_ID mesh);

    int m_LodAttribute = -1;
    float m_CameraFactor = 1.0f;
    CKBOOL m_Active = FALSE;
    XArray<SavedMaterial> m_SavedMaterials;
    XClassArray<SavedColors> m_SavedVertexAlphas;
    XClassArray<EntityState> m_EntityStates;
};
