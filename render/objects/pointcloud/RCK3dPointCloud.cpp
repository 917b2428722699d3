#include "render/objects/pointcloud/RCK3dPointCloud.h"

#include <cstring>

#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/SceneGraphNode.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/pointcloud/CloudPointCodec.h"
#include "render/objects/pointcloud/RCloudIterator.h"
#include "render/objects/pointcloud/RCloudSelection.h"

namespace {

constexpr int kWorkingSelectionCapacity = 100;
constexpr float kEpsilon = 1.1920929e-7f;

struct BuiltIn
{
    const char* Name;
    int Bits;
    CKDWORD Flags;
};
constexpr BuiltIn kBuiltIns[4] = {
    {"Unused", 8, 0},
    {"Colors", 16, CLOUD_ATTRIBUTE_BUILTIN},
    {"Normals", 10, CLOUD_ATTRIBUTE_BUILTIN},
    {"I", 8, CLOUD_ATTRIBUTE_BUILTIN},
};

} // namespace

RCK3dPointCloud::RCK3dPointCloud(CKContext* context, const char* name) : CK3dPointCloud(context, name)
{
    m_MoveableFlags = 0x44013;
    CloudNormalTable();
    for (const BuiltIn& b : kBuiltIns) {
        CloudAttributeDesc desc;
        desc.Name = b.Name;
        desc.Bits = b.Bits;
        desc.Flags = b.Flags;
        AddAttribute(desc);
    }
    m_WorkingSelection = new RCloudSelection(this, kWorkingSelectionCapacity);
}

RCK3dPointCloud::~RCK3dPointCloud()
{
    Clear(0, FALSE);
}

void RCK3dPointCloud::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_MATERIAL);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_MESH);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x4D111CEA, 0x1AB12E02));
}

RCKRenderManager* RCK3dPointCloud::CloudRenderManager() const
{
    return m_Context ? static_cast<RCKRenderManager*>(m_Context->GetRenderManager()) : nullptr;
}

void RCK3dPointCloud::PreSave(CKFile* file, CKDWORD flags)
{
    RCK3dEntity::PreSave(file, flags);
    if (file && m_Material)
        file->SaveObject(m_Material, flags);
    if (file)
        for (RCloudSelection* s : m_Selections) {
            if (s->GetMaterial())
                file->SaveObject(s->GetMaterial(), flags);
            if (s->GetMesh())
                file->SaveObject(s->GetMesh(), flags);
        }
}

void RCK3dPointCloud::CheckPreDeletion()
{
    RCK3dEntity::CheckPreDeletion();
    if (m_Material && m_Material->IsToBeDeleted())
        m_Material = nullptr;
    for (RCloudSelection* s : m_Selections)
        s->CheckPreDeletion();
    if (m_WorkingSelection)
        m_WorkingSelection->CheckPreDeletion();
}

int RCK3dPointCloud::GetMemoryOccupation()
{
    size_t bytes = RCK3dEntity::GetMemoryOccupation() + sizeof(RCK3dPointCloud) - sizeof(RCK3dEntity);
    bytes += m_RawPoints.size() * sizeof(QxVector);
    return (int) bytes;
}

CKBOOL RCK3dPointCloud::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_MATERIAL) {
        if (object == m_Material)
            return TRUE;
        for (RCloudSelection* s : m_Selections)
            if (object == s->GetMaterial())
                return TRUE;
    }
    if (cid == CKCID_MESH)
        for (RCloudSelection* s : m_Selections)
            if (object == s->GetMesh())
                return TRUE;
    return RCK3dEntity::IsObjectUsed(object, cid);
}

CKBOOL RCK3dPointCloud::IsToBeRenderedLast()
{
    if (m_MoveableFlags & CK_3DENTITY_RENDERFIRST)
        return FALSE;
    return (m_MoveableFlags & CK_3DENTITY_RENDERLAST) != 0;
}

void RCK3dPointCloud::UpdateBox(CKBOOL)
{
    m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
    m_MoveableFlags |= CK_3DENTITY_BOXUPTODATE;
}

void RCK3dPointCloud::EnableLighting(CKBOOL enable)
{
    if (!enable) {
        m_CloudFlags &= ~CLOUD_LIGHTING;
        return;
    }
    if (!HasNormals()) {
        if (m_Context)
            m_Context->OutputToConsole("Lighting can not be enabled on point cloud if no Normal attributes are used",
                                       TRUE);
        return;
    }
    m_CloudFlags |= CLOUD_LIGHTING;
}

void RCK3dPointCloud::ShowPoints(CKBOOL show)
{
    if (show)
        m_CloudFlags |= CLOUD_SHOWPOINTS;
    else
        m_CloudFlags &= ~CLOUD_SHOWPOINTS;
}

void RCK3dPointCloud::UseMaterialColor(CKBOOL use)
{
    if (use != m_MaterialColorMode)
        m_CloudFlags |= CLOUD_REFILLATTRIBUTES;
    m_MaterialColorMode = use;
}

void RCK3dPointCloud::SetCurrentLevel(int level)
{
    m_CurrentLevel = level < 0 ? 0 : level > 3 ? 3 : level;
    m_CurrentLevelMask = m_CurrentLevel ? 1u << (m_CurrentLevel - 1) : 0;
}

void RCK3dPointCloud::SetPositionAndBox(const QxVector* position, CK3dEntity* reference)
{
    if (!position)
        return;
    QxVector target = *position;
    if (reference)
        reference->Transform(&target, position, nullptr);
    QxVector current;
    GetPosition(&current, nullptr);
    const QxVector move = target - current;
    m_LocalBox.Min = m_LocalBox.Min + move;
    m_LocalBox.Max = m_LocalBox.Max + move;
    if (QxDotProduct(move, move) >= kEpsilon)
        m_BoxMoved = TRUE;
    SetPosition(&target, nullptr);
}

CloudIterator* RCK3dPointCloud::GetIterator()
{
    delete m_Iterator;
    m_Iterator = new RCloudIterator(this);
    return m_Iterator;
}

// Attributes.

CloudAttribute* RCK3dPointCloud::GetAttribute(int index)
{
    return index >= 0 && index < (int) m_Attributes.size() ? &m_Attributes[index] : nullptr;
}

CloudAttribute* RCK3dPointCloud::EnabledAttribute(int index)
{
    CloudAttribute* a = GetAttribute(index);
    return a && a->Enabled ? a : nullptr;
}

void RCK3dPointCloud::MarkDrawnChange(const CloudAttribute& attribute)
{
    if (attribute.Flags & CLOUD_ATTRIBUTE_DRAWN)
        m_CloudFlags |= CLOUD_REFILLATTRIBUTES;
}

int RCK3dPointCloud::AddAttribute(const CloudAttributeDesc& desc)
{
    const int existing = FindAttribute(desc.Name.CStr());
    if (existing >= 0)
        return existing;
    CloudAttribute a;
    a.Type = desc.Type;
    a.Name = desc.Name;
    a.Bits = desc.Type == CLOUD_ATTRIBUTE_FLOAT || desc.Bits <= 0 || desc.Bits > 32 ? 32 : desc.Bits;
    a.Flags = desc.Flags;
    a.Mask = CloudAttribute::MaskOf(a.Bits);
    m_Attributes.push_back(std::move(a));
    return (int) m_Attributes.size() - 1;
}

int RCK3dPointCloud::RemoveAttribute(int index)
{
    if (index <= CLOUD_ATTRIBUTE_INTENSITY || index >= (int) m_Attributes.size())
        return index;
    m_Attributes.erase(m_Attributes.begin() + index);
    m_CloudFlags |= CLOUD_REFILLATTRIBUTES;
    return index;
}

int RCK3dPointCloud::FindAttribute(const char* name)
{
    if (!name)
        name = "";
    for (size_t i = 0; i < m_Attributes.size(); ++i)
        if (std::strcmp(m_Attributes[i].Name.CStr(), name) == 0)
            return (int) i;
    return -1;
}

void RCK3dPointCloud::SetAttributeDescription(int index, const CloudAttributeDesc& desc)
{
    CloudAttribute* a = GetAttribute(index);
    if (!a)
        return;
    if (index <= CLOUD_ATTRIBUTE_NORMALS) {
        a->Flags = desc.Flags;
    } else {
        a->Type = desc.Type;
        a->Name = desc.Name;
        a->Bits = desc.Type == CLOUD_ATTRIBUTE_FLOAT || desc.Bits <= 0 || desc.Bits > 32 ? 32 : desc.Bits;
        a->Flags = desc.Flags;
        a->Mask = CloudAttribute::MaskOf(a->Bits);
    }
    if (!a->Enabled)
        return;
    const size_t bytes = a->ByteSizeFor(m_PointCount);
    if (bytes != a->Data.size()) {
        a->Data.assign(bytes, 0);
        MarkDrawnChange(*a);
    }
}

CKBOOL RCK3dPointCloud::IsAttributeEnabled(int index)
{
    CloudAttribute* a = GetAttribute(index);
    return a ? a->Enabled : FALSE;
}

void RCK3dPointCloud::EnableAttribute(int index, CKBOOL enable)
{
    CloudAttribute* a = GetAttribute(index);
    if (!a)
        return;
    enable = enable ? TRUE : FALSE;
    if (enable != a->Enabled)
        MarkDrawnChange(*a);
    a->Enabled = enable;
    if (enable) {
        const size_t bytes = a->ByteSizeFor(m_PointCount);
        if (a->Data.size() < bytes)
            a->Data.resize(bytes, 0);
    }
}

CKBOOL RCK3dPointCloud::IsAttributeDrawn(int index)
{
    CloudAttribute* a = GetAttribute(index);
    return a && (a->Flags & CLOUD_ATTRIBUTE_DRAWN) ? TRUE : FALSE;
}

void RCK3dPointCloud::SetAttributeDrawn(int index, CKBOOL drawn)
{
    CloudAttribute* a = GetAttribute(index);
    if (!a)
        return;
    const CKDWORD flags = drawn ? (a->Flags | CLOUD_ATTRIBUTE_DRAWN) : (a->Flags & ~CLOUD_ATTRIBUTE_DRAWN);
    if (flags != a->Flags)
        m_CloudFlags |= CLOUD_REFILLATTRIBUTES;
    a->Flags = flags;
}

CKDWORD RCK3dPointCloud::GetAttributeValue(int point, int attribute)
{
    CloudAttribute* a = EnabledAttribute(attribute);
    return a ? a->Get(point) : 0;
}

float RCK3dPointCloud::GetAttributeFloat(int point, int attribute)
{
    CloudAttribute* a = EnabledAttribute(attribute);
    return a ? a->GetFloat(point) : 0.0f;
}

void RCK3dPointCloud::SetAttributeValue(int point, int attribute, CKDWORD value)
{
    CloudAttribute* a = EnabledAttribute(attribute);
    if (!a)
        return;
    a->Set(point, value);
    MarkDrawnChange(*a);
}

void RCK3dPointCloud::SetAttributeFloat(int point, int attribute, float value)
{
    CloudAttribute* a = EnabledAttribute(attribute);
    if (!a)
        return;
    a->SetFloat(point, value);
    MarkDrawnChange(*a);
}

void RCK3dPointCloud::UseNormals(CKBOOL use)
{
    EnableAttribute(CLOUD_ATTRIBUTE_NORMALS, use);
    if (!use)
        m_CloudFlags &= ~CLOUD_LIGHTING;
}

void RCK3dPointCloud::UseColors(CKBOOL use)
{
    EnableAttribute(CLOUD_ATTRIBUTE_COLORS, use);
}

CKDWORD RCK3dPointCloud::GetPointColor(int point)
{
    CloudAttribute* a = EnabledAttribute(CLOUD_ATTRIBUTE_COLORS);
    return a ? CloudColorFrom565(a->Get(point)) : 0xFFFFFFFF;
}

void RCK3dPointCloud::SetPointColor(int point, CKDWORD argb)
{
    SetAttributeValue(point, CLOUD_ATTRIBUTE_COLORS, CloudColorTo565(argb));
}

QxVector* RCK3dPointCloud::GetPointNormal(QxVector* normal, int point)
{
    if (!normal)
        return nullptr;
    CloudAttribute* a = EnabledAttribute(CLOUD_ATTRIBUTE_NORMALS);
    *normal = a ? CloudNormalTable()[a->Get(point) & 1023] : QxVector();
    return normal;
}

void RCK3dPointCloud::SetPointNormal(int point, const QxVector& normal)
{
    SetAttributeValue(point, CLOUD_ATTRIBUTE_NORMALS, CloudNormalIndex(normal));
}

CKBYTE RCK3dPointCloud::GetPointIntensity(int point)
{
    return (CKBYTE) GetAttributeValue(point, CLOUD_ATTRIBUTE_INTENSITY);
}

void RCK3dPointCloud::SetPointIntensity(int point, CKBYTE intensity)
{
    SetAttributeValue(point, CLOUD_ATTRIBUTE_INTENSITY, intensity);
}

void RCK3dPointCloud::SizeAttributes(int count)
{
    for (CloudAttribute& a : m_Attributes)
        if (a.Enabled)
            a.Data.assign(a.ByteSizeFor(count), 0);
}

// Clip planes and levels.

void RCK3dPointCloud::SetClipPlaneCount(int count)
{
    m_ClipPlaneCount = count < 0 ? 0 : count > 4 ? 4 : count;
}

QxVector4* RCK3dPointCloud::SetClipPlane(int index, const QxVector4& plane)
{
    if (index < 0 || index > 3)
        return nullptr;
    m_ClipPlanes[index] = plane;
    return &m_ClipPlanes[index];
}

void RCK3dPointCloud::GetClipPlane(int index, QxVector4& plane)
{
    if (index >= 0 && index <= 3)
        plane = m_ClipPlanes[index];
}

void RCK3dPointCloud::SetLevelPointCount(int level, int count)
{
    if (level < 1 || level > 3)
        return;
    if (count < 0)
        count = 0;
    if (count > m_LevelCounts[level - 1])
        count = m_LevelCounts[level - 1];
    if (count != m_LevelCounts[level]) {
        m_LevelCounts[level] = count;
        m_CloudFlags |= CLOUD_REBUILDLEVELS;
    }
}

int RCK3dPointCloud::GetLevelPointCount(int level)
{
    return level >= 0 && level <= 3 ? m_LevelCounts[level] : 0;
}

// Lifecycle.

CKBOOL RCK3dPointCloud::Clear(int, CKBOOL keepSelections)
{
    if (RCKRenderManager* manager = CloudRenderManager())
        for (const CloudVertexGroup& group : m_Groups.Groups)
            for (const CloudLevelEntry& entry : group.Levels)
                if (entry.VertexBuffer)
                    manager->ReleaseObjectIndex(entry.VertexBuffer, CKRST_OBJ_VERTEXBUFFER);
    m_Groups.Groups.clear();
    m_Groups.RootLeafGroup = 0;
    delete m_Iterator;
    m_Iterator = nullptr;
    m_Tree.Clear();
    m_RunIndex.Clear();
    m_FillPlan.Clear();
    m_Builder.Clear();
    m_Building = false;
    m_SubdivisionBytes = 0;
    m_MaxDepth = 0;
    m_PointCount = 0;
    m_NextPointIndex = 0;
    m_LocalBox = QxBbox();
    if (keepSelections)
        return TRUE;
    DeleteAllSelections();
    delete m_WorkingSelection;
    m_WorkingSelection = nullptr;
    return TRUE;
}

// Selections.

RCloudSelection* RCK3dPointCloud::NewSelection(const char* name, int capacity)
{
    RCloudSelection* selection = new RCloudSelection(this, capacity, name);
    m_Selections.PushBack(selection);
    return selection;
}

CloudSelection* RCK3dPointCloud::CreateSelection(const char* name, int capacity)
{
    return NewSelection(name, capacity);
}

CloudSelection* RCK3dPointCloud::GetSelectionByName(const char* name)
{
    if (!name)
        name = "";
    for (RCloudSelection* s : m_Selections)
        if (std::strcmp(s->GetName()->CStr(), name) == 0)
            return s;
    return nullptr;
}

CloudSelection* RCK3dPointCloud::GetSelection(int index)
{
    return index >= 0 && index < m_Selections.Size() ? m_Selections[index] : nullptr;
}

void RCK3dPointCloud::DeleteSelectionByName(const char* name)
{
    DeleteSelection(GetSelectionByName(name));
}

void RCK3dPointCloud::DeleteSelection(CloudSelection* selection)
{
    for (int i = 0; i < m_Selections.Size(); ++i)
        if (m_Selections[i] == selection) {
            m_Selections.RemoveAt(i);
            delete static_cast<RCloudSelection*>(selection);
            return;
        }
}

void RCK3dPointCloud::DeleteAllSelections()
{
    XArray<RCloudSelection*> selections;
    selections.Swap(m_Selections);
    for (RCloudSelection* s : selections)
        delete s;
}

RCloudSelection* RCK3dPointCloud::WorkingSelection()
{
    // Clear without keeping the selections drops the working one; the
    // entity query still needs it.
    if (!m_WorkingSelection)
        m_WorkingSelection = new RCloudSelection(this, kWorkingSelectionCapacity);
    return m_WorkingSelection;
}

void RCK3dPointCloud::InvalidateSelections()
{
    for (RCloudSelection* s : m_Selections)
        s->ModifyFlags(0, CLOUD_SELECTION_UPTODATE);
}
