#include "core/object/CKSceneObject.h"

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/scene/CKScene.h"

CKSceneObject::CKSceneObject(CKContext* context, const char* name) : CKClass(context, name) {}

CKSceneObject::~CKSceneObject() = default;

int CKSceneObject::GetMemoryOccupation()
{
    return CKObject::GetMemoryOccupation() + 8 + 4 * (m_Scenes.Size() / 32);
}

void CKSceneObject::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    (void) dependencies;
    if (scene)
        scene->AddObjectToScene(this);
}

void CKSceneObject::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    (void) dependencies;
    if (scene)
        scene->RemoveObjectFromScene(this);
}

CKBOOL CKSceneObject::IsActiveInCurrentScene()
{
    CKScene* scene = m_Context ? m_Context->GetCurrentScene() : nullptr;
    return scene ? scene->IsObjectActive(this) : FALSE;
}

CKBOOL CKSceneObject::IsInScene(CKScene* scene) const
{
    return scene ? m_Scenes.IsSet(scene->GetSceneIndex()) : FALSE;
}

CKScene* CKSceneObject::GetSceneIn(int n) const
{
    int index = GetSceneInIndex(n);
    return index >= 0 && m_Context ? CKGetSceneByIndex(m_Context, index) : nullptr;
}

void CKSceneObject::RemoveFromAllScenes()
{
    for (int n = GetSceneInCount() - 1; n >= 0; --n)
        if (CKScene* scene = GetSceneIn(n))
            scene->RemoveObjectFromScene(this);
}

CKBOOL CKSceneObject::AddSceneIn(CKScene* scene)
{
    if (!scene || !AddSceneInIndex(scene->GetSceneIndex()))
        return FALSE;
    if (m_Context && m_Context->GetAttributeManager() && CKIsChildClassOfObject(this, CKCID_BEOBJECT))
        m_Context->GetAttributeManager()->ObjectEnteredScene(scene, static_cast<CKBeObject*>(this));
    return TRUE;
}

void CKSceneObject::RemoveSceneIn(CKScene* scene)
{
    if (scene)
        m_Scenes.Unset(scene->GetSceneIndex());
}

CKBOOL CKSceneObject::AddSceneInIndex(int index)
{
    if (index < 0 || m_Scenes.IsSet(index))
        return FALSE;
    m_Scenes.Set(index);
    return TRUE;
}

int CKSceneObject::GetSceneInCount() const
{
    int count = 0;
    for (int i = 0; i < m_Scenes.Size(); ++i)
        count += m_Scenes.IsSet(i) ? 1 : 0;
    return count;
}

int CKSceneObject::GetSceneInIndex(int n) const
{
    if (n < 0)
        return -1;
    for (int i = 0; i < m_Scenes.Size(); ++i)
        if (m_Scenes.IsSet(i) && n-- == 0)
            return i;
    return -1;
}

void CKSceneObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5BDF2D37, 0x64EA731F));
    CKClassRegisterDefaultDependencies(m_ClassID, CK_DEPENDENCIES_SCENEOBJECT_SCENES, CK_DEPENDENCIES_COPY);
}

const char* CKSceneObject::GetClassName()
{
    return "Scene Object";
}

const char* CKSceneObject::GetDependencies(int index, int mode)
{
    return index == 0 && mode == CK_DEPENDENCIES_COPY ? "Scenes Belonging" : nullptr;
}

int CKSceneObject::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY ? 1 : 0;
}
