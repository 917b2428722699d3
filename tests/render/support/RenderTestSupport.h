#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderCallbackList.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKRecordingRasterizer.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/CK2dEntity.h"
#include "render/objects/RCKCamera.h"
#include "render/objects/RCKLight.h"

// A chunk of the class and data version that fill writes, closed.
template <class F>
CKStateChunk* HandChunk(CK_CLASSID cid, int dataVersion, F fill)
{
    CKStateChunk* chunk = CKCreateStateChunk(cid);
    chunk->StartWrite();
    chunk->SetDataVersion(dataVersion);
    fill(chunk);
    chunk->CloseChunk();
    return chunk;
}

// What the test objects did, in order ("pre A", "draw A", ...).
std::vector<std::string>& RenderEvents();

// A 3D entity with a box around its position that draws one triangle
// between its callbacks, as the entity drawing does.
template <class Base>
class TestEntityImpl : public Base
{
public:
    explicit TestEntityImpl(CKContext* context, const char* name = nullptr);

    CKBOOL IsToBeRendered() override { return this->IsVisible(); }
    CKBOOL IsToBeRenderedLast() override { return m_Last; }
    CKBOOL Render(CKRenderContext* context, CKDWORD flags) override;
    CKBOOL IsInViewFrustrumHierarchic(CKRenderContext* context) override;
    const QxBbox& GetBoundingBox(CKBOOL local) override;
    CKBOOL GetBaryCenter(QxVector* position) override
    {
        const QxMatrix& world = this->GetWorldMatrix();
        *position = QxVector(world[3][0], world[3][1], world[3][2]);
        return FALSE;
    }
    float GetRadius() override { return 1.0f; }
    void SaveLastFrameMatrix() override
    {
        Base::SaveLastFrameMatrix();
        ++m_LastFrameSaves;
    }

    void SetPosition(float x, float y, float z) { this->SetPosition3f(x, y, z); }

    SceneGraphNode* m_Node = nullptr;
    QxBbox m_LocalBox;
    QxBbox m_WorldBox;
    CKBOOL m_Last = FALSE;
    int m_LastFrameSaves = 0;

protected:
    void CallAll(CKRenderContext* context, const XArray<RenderCallbackRecord>& records)
    {
        XArray<RenderCallbackRecord> copy = records;
        for (const RenderCallbackRecord& r : copy)
            CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(r)(context, this, r.Argument);
    }
};

class TestEntity : public CKClass<TestEntity, TestEntityImpl<RCK3dEntity>, 0>
{
public:
    using CKClass::CKClass;
    static const char* GetClassName() { return "Test Entity"; }
};

// A light that sets itself up unless told not to.
class TestLight : public CKClass<TestLight, TestEntityImpl<RCKLight>, 0>
{
public:
    using CKClass::CKClass;
    CKBOOL Setup(CKRasterizerContext* rasterizer, int index) override;
    static const char* GetClassName() { return "Test Light"; }

    CKBOOL m_Lights = TRUE;
    float m_Red = 1.0f;
};

class TestCamera : public CKClass<TestCamera, TestEntityImpl<RCKCamera>, 0>
{
public:
    using CKClass::CKClass;
    void ComputeProjectionMatrix(QxMatrix& matrix) override
    {
        ++m_ProjectionComputations;
        matrix.Perspective(0.5f, 2.0f, 1.0f, 100.0f);
    }
    static const char* GetClassName() { return "Test Camera"; }

    int m_ProjectionComputations = 0;
};

// Registers a test class under its parent's registered id (fresh id each
// engine start).
template <class T>
void RegisterTestClass(const char* name, CK_CLASSID parent)
{
    T::m_ClassID = CKAllocateClassID();
    CKClassRegister(name, T::m_ClassID, parent, &T::Register, &T::CreateInstance, &T::ReleaseInstance, &T::GetClassName,
                    &T::GetDependencies, &T::GetDependenciesCount);
}

// Starts the engine with the render engine registered (the recording
// rasterizer after the NULL one) and the test classes, and makes a context
// with its render manager.
class RenderFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Call before SetUp's context exists: classes to register first.
    virtual void RegisterMoreClasses() {}

    RCKRenderManager* Manager() { return static_cast<RCKRenderManager*>(m_Context->GetRenderManager()); }
    // A render context of the recording driver (1) of the rectangle.
    RCKRenderContext* NewRecordingContext(int width = 320, int height = 240);
    static CKRecordingRasterizerContext* Recorder(RCKRenderContext* context)
    {
        return static_cast<CKRecordingRasterizerContext*>(context->GetRasterizerContext());
    }
    template <class T>
    T* New(const char* name)
    {
        return static_cast<T*>(m_Context->CreateObject(T::m_ClassID, name));
    }

    CKContext* m_Context = nullptr;
};
