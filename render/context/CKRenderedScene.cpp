#include "render/context/CKRenderedScene.h"

#include <algorithm>

#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/SceneGraphNode.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "render/objects/RCK3dEntity.h"

CKBOOL CKRenderedScene::AddObject(CKRenderObject* object)
{
    if (!object || m_RenderObjects.IsHere(object))
        return FALSE;
    m_RenderObjects.PushBack(object);
    if (CKIsChildClassOfObject(object, CKCID_3DENTITY))
        m_3dEntities.PushBack(static_cast<CK3dEntity*>(object));
    if (CKIsChildClassOfObject(object, CKCID_LIGHT))
        m_Lights.PushBack(static_cast<CKLight*>(object));
    if (CKIsChildClassOfObject(object, CKCID_CAMERA))
        m_Cameras.PushBack(static_cast<CKCamera*>(object));
    return TRUE;
}

CKBOOL CKRenderedScene::RemoveObject(CKRenderObject* object)
{
    if (!object || !m_RenderObjects.Remove(object))
        return FALSE;
    if (CKIsChildClassOfObject(object, CKCID_3DENTITY))
        m_3dEntities.Remove(static_cast<CK3dEntity*>(object));
    if (CKIsChildClassOfObject(object, CKCID_LIGHT))
        m_Lights.Remove(static_cast<CKLight*>(object));
    if (CKIsChildClassOfObject(object, CKCID_CAMERA))
        m_Cameras.Remove(static_cast<CKCamera*>(object));
    return TRUE;
}

void CKRenderedScene::ForgetObjectsToBeDeleted()
{
    XArray<CKRenderObject*> doomed;
    for (CKRenderObject* object : m_RenderObjects)
        if (object->IsToBeDeleted())
            doomed.PushBack(object);
    for (CKRenderObject* object : doomed)
        RemoveObject(object);
    m_DrawnLast.Clear();
}

void CKRenderedScene::Clear()
{
    m_RenderObjects.Clear();
    m_3dEntities.Clear();
    m_Lights.Clear();
    m_Cameras.Clear();
    m_DrawnLast.Clear();
}

int CKRenderedScene::SetupLights()
{
    CKRasterizerContext* rst = m_Context->GetRasterizerContext();
    if (!rst)
        return 0;
    for (int i = 0; i < m_EnabledLights; ++i)
        rst->EnableLight((CKDWORD) i, FALSE);
    int count = 0;
    for (CKLight* light : m_Lights)
        if (light->Setup(rst, count))
            ++count;
    m_EnabledLights = count;
    rst->SetRenderState(CKRST_RS_AMBIENT, m_AmbientLight);
    return count;
}

void CKRenderedScene::DrawEntity(CK3dEntity* entity, CKDWORD entityFlags)
{
    m_Context->AddDrawnObject();
    entity->Render(m_Context, entityFlags);
}

void CKRenderedScene::DrawNode(SceneGraphNode* node, CKDWORD entityFlags, CKBOOL parentInside)
{
    CKDWORD bit = m_Context->GetMaskBit();
    for (int i = 0; i < node->GetActiveChildrenCount(); ++i) {
        SceneGraphNode* child = node->GetChild(i);
        CK3dEntity* entity = child->GetEntity();
        if (!(child->GetRenderContextMask() & bit) || !entity)
            continue;
        CKBOOL inside = parentInside;
        // A subtree wholly outside the view is skipped; one wholly inside
        // needs no more tests.
        if (child->GetChildrenCount() > 0 && !inside) {
            if (!entity->IsInViewFrustrumHierarchic(m_Context))
                continue;
            inside = (child->GetFlags() & CK_SCENEGRAPH_ALLINSIDE) != 0;
        }
        if ((child->GetEntityMask() & bit) && entity->IsToBeRendered()) {
            // An entity inside a wholly visible subtree skips its own test.
            if (inside)
                entity->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
            else
                entity->ModifyMoveableFlags(0, CK_3DENTITY_FRUSTUMTESTED);
            if (entity->IsToBeRenderedLast())
                m_DrawnLast.PushBack(entity);
            else
                DrawEntity(entity, entityFlags);
        }
        DrawNode(child, entityFlags, inside);
    }
}

void CKRenderedScene::Draw(CKDWORD entityFlags)
{
    RCKRenderManager* manager = m_Context->GetRenderManager();
    if (!manager || !m_Context->GetRasterizerContext())
        return;
    SetupLights();
    m_DrawnLast.Clear();
    // A mesh deformed by more than one entity cannot be queued: each entity
    // draws it at once after deforming it.
    const bool batching = m_Context->GetBatching() != 0;
    if (batching)
        for (CK3dEntity* entity : m_3dEntities)
            if (static_cast<RCK3dEntity*>(entity)->DeformsMesh() && entity->GetCurrentMesh())
                static_cast<RCKMesh*>(entity->GetCurrentMesh())->AddDeformingEntity();
    DrawNode(manager->GetRootNode(), entityFlags, FALSE);

    // Queued objects are drawn now, one by one.
    const CKDWORD batchingWord = m_Context->GetBatching();
    m_Context->SetBatching(0);
    m_Context->GetBatchList()->Replay(m_Context, entityFlags);

    // Far to near, so that what is drawn last blends over what lies behind.
    QxVector eye;
    if (CK3dEntity* viewpoint = m_Context->GetViewpoint()) {
        const QxMatrix& world = viewpoint->GetWorldMatrix();
        eye = QxVector(world[3][0], world[3][1], world[3][2]);
    }
    auto distance = [&](CK3dEntity* e) {
        QxVector d = e->GetBoundingBox(FALSE).GetCenter() - eye;
        return QxDotProduct(d, d);
    };
    std::stable_sort(m_DrawnLast.Begin(), m_DrawnLast.Begin() + m_DrawnLast.Size(),
                     [&](CK3dEntity* a, CK3dEntity* b) { return distance(a) > distance(b); });
    for (CK3dEntity* entity : m_DrawnLast)
        DrawEntity(entity, entityFlags);
    m_DrawnLast.Clear();
    m_Context->SetBatching(batchingWord);
    for (CK3dEntity* entity : m_3dEntities)
        if (CKMesh* mesh = entity->GetCurrentMesh())
            static_cast<RCKMesh*>(mesh)->ResetDeformingEntities();
    // Every mesh asked this frame has seen the materials' changes.
    CKGetRenderGlobals().m_TransparencyChanged = FALSE;
}
