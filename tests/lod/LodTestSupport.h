#pragma once

#include <initializer_list>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "lod/LODManager.h"

class CK3dEntity;
class CKMesh;
class CKMaterial;
class CKCamera;

// Starts the engine with the plug-ins registered as an export registers
// them (the render engine with the recording rasterizer, the
// level-of-detail plug-in under "Meshes") and makes a context.
class LodFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    LODManager* Manager() const { return static_cast<LODManager*>(m_Context->GetManagerByGuid(LOD_MANAGER_GUID)); }
    template <class T>
    T* New(CK_CLASSID cid, const char* name = nullptr)
    {
        return static_cast<T*>(m_Context->CreateObject(cid, name));
    }
    // A mesh of faces triangles (and vertices) whose vertices span a sphere
    // of the radius.
    CKMesh* NewMesh(const char* name, int faces, float radius = 1.0f);
    // A side x side grid of hills (two triangles a cell) made a progressive
    // mesh, scaled to the size.
    CKMesh* NewProgressiveMesh(const char* name, int side, float size = 1.0f);
    // Gives the entity the "LOD Object" attribute holding the record.
    LODOptions* Attach(CK3dEntity* entity, const LODOptions& options);
    // A render context of the recording rasterizer.
    CKRenderContext* NewRenderContext();
    // Gives the mesh one blend shape per name (each moving vertex 0).
    static void GiveBlendShapes(CKMesh* mesh, std::initializer_list<const char*> names);

    CKContext* m_Context = nullptr;
};

// The same with a render context of the recording rasterizer looking
// through a camera.
class LodCameraFixture : public LodFixture
{
protected:
    void SetUp() override;

    CKRenderContext* m_Dev = nullptr;
    CKCamera* m_Camera = nullptr;
};
