#include "render/objects/RCKGrid.h"

#include <cmath>

#include "core/attribute/CKAttributeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CKClassChunk.h"
#include "render/objects/CKGridManager.h"
#include "render/objects/RCKLayer.h"
#include "system/math/QxColor.h"

namespace {

constexpr CKDWORD kLayersOption = 1;
// Objects made only to draw another one: rebuilt from it, never saved.
constexpr CKDWORD kDisplayObjectFlags = 0x23;
// The parameter type of the four-valued "Linker" enumeration: its values
// 0 to 3 are spread over the colour range.
constexpr CKGUID kLinkerGuid(0x16A90C1B, 0x740D0F12);
constexpr int kLinkerScale = 85;

RCKLayer* LayerOf(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_LAYER) ? static_cast<RCKLayer*>(object) : nullptr;
}

// A cell coordinate from a frame coordinate, truncated towards zero; values
// no int holds (NaN included) give the nearest bound.
int CellCoordinate(float v)
{
    if (!(v > -2147483520.0f))
        return v > 0.0f ? 0 : INT32_MIN;
    if (v >= 2147483520.0f)
        return INT32_MAX;
    return (int) v;
}

} // namespace

RCKGrid::RCKGrid(CKContext* context, const char* name) : CKGrid(context, name)
{
    QxVector scale(1.0f, 10.0f, 1.0f);
    SetScale(&scale, FALSE, TRUE);
    if (m_Context)
        if (CKAttributeManager* attributes = m_Context->GetAttributeManager()) {
            const int type = attributes->GetAttributeTypeByName("Grid");
            if (type >= 0)
                SetAttribute(type);
        }
}

void RCKGrid::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_LAYER);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5B8A05D5, 0x31EA28D4));
    CKClassRegisterDefaultDependencies(m_ClassID, kLayersOption, 1);
}

const char* RCKGrid::GetDependencies(int index, int mode)
{
    return index == 0 && mode == 1 ? "Layers" : nullptr;
}

int RCKGrid::GetDependenciesCount(int mode)
{
    return mode == 1 ? 1 : 0;
}

CKMesh* RCKGrid::GetDisplayMesh()
{
    CKObject* object = m_DisplayMesh && m_Context ? m_Context->GetObject(m_DisplayMesh) : nullptr;
    if (!object || !CKIsChildClassOfObject(object, CKCID_MESH) || object->IsToBeDeleted())
        return nullptr;
    return static_cast<CKMesh*>(object);
}

int RCKGrid::TextureSize(int cells)
{
    return cells <= 8 ? 16 : cells <= 16 ? 32 : cells <= 32 ? 64 : cells <= 64 ? 128 : 256;
}

CKBOOL RCKGrid::IsActive()
{
    CKScene* scene = m_Context ? m_Context->GetCurrentScene() : nullptr;
    return scene && (scene->GetObjectFlags(this) & 0x8) != 0;
}

void RCKGrid::SetHeight(float height)
{
    QxVector scale;
    GetScale(&scale, TRUE);
    scale.y = height;
    SetScale(&scale, FALSE, TRUE);
}

float RCKGrid::GetHeight()
{
    QxVector scale;
    GetScale(&scale, TRUE);
    return scale.y;
}

int RCKGrid::ClampSize(int size, const char* message)
{
    if (size > CK_GRID_MAXSIZE) {
        if (m_Context)
            m_Context->OutputToConsole(message, TRUE);
        return CK_GRID_MAXSIZE;
    }
    // A negative count of cells would size the layers by it.
    return size < 0 ? 0 : size;
}

int RCKGrid::SetDimensions(int width, int length, float sizeX, float sizeZ)
{
    m_Width = ClampSize(width, "Grid width can not be larger than 128, clamping the value to 128");
    m_Length = ClampSize(length, "Grid height can not be larger than 128, clamping the value to 128");
    QxVector scale;
    GetScale(&scale, TRUE);
    if (m_Width > 0)
        scale.x = sizeX / (float) m_Width;
    if (m_Length > 0)
        scale.z = sizeZ / (float) m_Length;
    SetScale(&scale, FALSE, TRUE);
    for (int i = 0; i < m_Layers.Size(); ++i)
        if (RCKLayer* layer = LayerOf(m_Layers.GetObject(m_Context, i)))
            layer->InitOwner(GetID());
    return m_Layers.Size();
}

float RCKGrid::Get2dCoordsFromPos(const QxVector* position, int* x, int* z)
{
    QxVector local;
    InverseTransform(&local, position, nullptr);
    if (x)
        *x = CellCoordinate(local.x);
    if (z)
        *z = CellCoordinate(local.z);
    return local.y;
}

void RCKGrid::Get3dPosFromCoords(QxVector* position, int x, int z)
{
    const QxVector cell((float) x + 0.5f, 0.0f, (float) z + 0.5f);
    Transform(position, &cell, nullptr);
}

CKERROR RCKGrid::AddClassificationByName(const char* name)
{
    CKAttributeManager* attributes = m_Context ? m_Context->GetAttributeManager() : nullptr;
    return AddClassification(attributes && name ? attributes->GetAttributeTypeByName(name) : -1);
}

CKERROR RCKGrid::AddClassification(int attributeType)
{
    return SetAttribute(attributeType) ? CKErr::Ok : CKErr::NotFound;
}

CKERROR RCKGrid::RemoveClassificationByName(const char* name)
{
    CKAttributeManager* attributes = m_Context ? m_Context->GetAttributeManager() : nullptr;
    return RemoveClassification(attributes && name ? attributes->GetAttributeTypeByName(name) : -1);
}

CKERROR RCKGrid::RemoveClassification(int attributeType)
{
    return RemoveAttribute(attributeType) ? CKErr::Ok : CKErr::NotFound;
}

CKBOOL RCKGrid::HasCompatibleClass(CK3dEntity* entity)
{
    CKGridManager* manager = CKGetGridManager(m_Context);
    CKAttributeManager* attributes = m_Context ? m_Context->GetAttributeManager() : nullptr;
    if (!entity || !manager || !attributes)
        return FALSE;
    const int category = manager->GetClassificationCategory();
    for (int i = entity->GetAttributeCount() - 1; i >= 0; --i) {
        const int type = entity->GetAttributeType(i);
        if (attributes->GetAttributeCategoryIndex(type) == category && HasAttribute(type))
            return TRUE;
    }
    return FALSE;
}

CKLayer* RCKGrid::AddLayer(int type, int format)
{
    CKGridManager* manager = CKGetGridManager(m_Context);
    if (!manager || format != 0)
        return nullptr;
    const char* name = manager->GetTypeName(type);
    if (!name || GetLayer(type))
        return nullptr;
    RCKLayer* layer = LayerOf(m_Context->CreateObject(CKCID_LAYER, name));
    if (!layer)
        return nullptr;
    layer->InitOwner(GetID());
    layer->SetType(type);
    layer->SetFormat(0);
    layer->SetName(name);
    m_Layers.PushBack(layer->GetID());
    return layer;
}

CKLayer* RCKGrid::AddLayerByName(const char* name, int format)
{
    CKGridManager* manager = CKGetGridManager(m_Context);
    const int type = manager && name ? manager->GetTypeFromName(name) : 0;
    return type ? AddLayer(type, format) : nullptr;
}

CKLayer* RCKGrid::GetLayerByName(const char* name)
{
    CKGridManager* manager = CKGetGridManager(m_Context);
    const int type = manager && name ? manager->GetTypeFromName(name) : 0;
    return type ? GetLayer(type) : nullptr;
}

CKLayer* RCKGrid::GetLayer(int type)
{
    for (int i = 0; i < m_Layers.Size(); ++i) {
        RCKLayer* layer = LayerOf(m_Layers.GetObject(m_Context, i));
        if (layer && layer->GetType() == type)
            return layer;
    }
    return nullptr;
}

CKLayer* RCKGrid::GetLayerByIndex(int index)
{
    return LayerOf(m_Layers.GetObject(m_Context, index));
}

CKERROR RCKGrid::RemoveLayerByName(const char* name)
{
    CKGridManager* manager = CKGetGridManager(m_Context);
    const int type = manager && name ? manager->GetTypeFromName(name) : 0;
    if (!type)
        return CKErr::NotFound;
    RemoveLayer(type);
    return CKErr::Ok;
}

CKERROR RCKGrid::RemoveLayer(int type)
{
    CKLayer* layer = CKGetGridManager(m_Context) ? GetLayer(type) : nullptr;
    if (!layer)
        return CKErr::NotFound;
    m_Layers.Remove(layer->GetID());
    m_Context->DestroyObject(layer, 2, nullptr);
    return CKErr::Ok;
}

CKERROR RCKGrid::RemoveAllLayers()
{
    XObjectArray layers;
    layers.Swap(m_Layers);
    for (int i = 0; i < layers.Size(); ++i)
        if (CKObject* layer = LayerOf(layers.GetObject(m_Context, i)))
            m_Context->DestroyObject(layer, 2, nullptr);
    return CKErr::Ok;
}

void RCKGrid::KeepLayers()
{
    XObjectArray layers;
    for (int i = 0; i < m_Layers.Size(); ++i) {
        CKObject* layer = LayerOf(m_Layers.GetObject(m_Context, i));
        if (layer && !layers.FindObject(layer))
            layers.PushBack(layer->GetID());
    }
    m_Layers.Swap(layers);
}

void RCKGrid::BuildDisplayMesh(float alpha)
{
    if (CKMesh* existing = GetDisplayMesh()) {
        SetCurrentMesh(existing, TRUE);
        return;
    }
    if (!m_Context)
        return;
    const char* own = GetName() ? GetName() : "";
    XString name;
    CKMesh* mesh = static_cast<CKMesh*>(m_Context->CreateObject(CKCID_MESH, name.Format("%s mesh", own).CStr()));
    CKMaterial* top =
        static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, name.Format("%s material", own).CStr()));
    CKMaterial* sides =
        static_cast<CKMaterial*>(m_Context->CreateObject(CKCID_MATERIAL, name.Format("%s material2", own).CStr()));
    CKTexture* texture =
        static_cast<CKTexture*>(m_Context->CreateObject(CKCID_TEXTURE, name.Format("%s texture", own).CStr()));
    if (!mesh || !top || !sides || !texture) {
        for (CKObject* object : {(CKObject*) mesh, (CKObject*) top, (CKObject*) sides, (CKObject*) texture})
            if (object)
                m_Context->DestroyObject(object);
        return;
    }
    m_DisplayMesh = mesh->GetID();

    const float w = (float) m_Width, l = (float) m_Length, e = 0.0001f;
    const QxVector corners[12] = {{0, 1, 0},     {0, 1, l},     {w, 1, l}, {w, 1, 0},     {0, 0, e},     {e, 0, l},
                                  {w, 0, l - e}, {w - e, 0, 0}, {e, 0, 0}, {0, 0, l - e}, {w - e, 0, l}, {w, 0, e}};
    static const int kFaces[10][3] = {{0, 1, 2}, {0, 2, 3}, {5, 9, 1},  {6, 10, 2}, {7, 11, 3},
                                      {4, 8, 0}, {4, 5, 9}, {5, 6, 10}, {6, 7, 11}, {7, 4, 8}};
    mesh->SetVertexCount(12);
    mesh->SetLitMode(0);
    mesh->SetFaceCount(10);
    for (int f = 0; f < 10; ++f)
        mesh->SetFaceVertexIndex(f, kFaces[f][0], kFaces[f][1], kFaces[f][2]);
    const CKDWORD topColor = QxPackColor(1.0f, 1.0f, 1.0f, alpha);
    const CKDWORD sideColor = QxPackColor(1.0f, 0.5f, 0.1f, alpha);
    for (int v = 0; v < 12; ++v) {
        mesh->SetVertexPosition(v, corners[v]);
        mesh->SetVertexColor(v, v < 4 ? topColor : sideColor);
        mesh->SetVertexSpecularColor(v, 0xFF000000);
    }
    mesh->BuildFaceNormals();
    mesh->SetLitMode(0);

    top->EnableAlphaBlend(TRUE);
    top->EnableZWrite(FALSE);
    top->SetSourceBlend(5);
    top->SetDestBlend(6);
    top->SetTwoSided(TRUE);
    top->SetDiffuse(QxColor(1.0f, 1.0f, 1.0f, alpha));
    top->SetTextureMagMode(1);
    top->SetTextureMinMode(1);
    top->SetTextureBlendMode(4);
    sides->SetFillMode(2);
    sides->SetTwoSided(TRUE);
    sides->SetDiffuse(QxColor(1.0f, 1.0f, 1.0f, 1.0f));
    for (int f = 0; f < 10; ++f)
        mesh->SetFaceMaterial(f, f < 2 ? top : sides);

    const int tw = TextureSize(m_Width), th = TextureSize(m_Length);
    texture->Create(tw, th, 32);
    texture->SetDesiredVideoFormat(15);
    mesh->SetVertexTextureCoordinates(0, 0.0f, 0.0f, -1);
    mesh->SetVertexTextureCoordinates(1, 0.0f, 2.0f * l / (float) th, -1);
    mesh->SetVertexTextureCoordinates(2, 2.0f * w / (float) tw, 2.0f * l / (float) th, -1);
    mesh->SetVertexTextureCoordinates(3, 2.0f * w / (float) tw, 0.0f, -1);

    struct Shown
    {
        RCKLayer* Layer;
        QxColor Color;
        int Scale;
    };
    XArray<Shown> shown;
    CKGridManager* manager = CKGetGridManager(m_Context);
    for (int i = 0; i < m_Layers.Size(); ++i) {
        RCKLayer* layer = LayerOf(m_Layers.GetObject(m_Context, i));
        if (!layer)
            continue;
        layer->m_Shown = 1;
        Shown entry{layer, QxColor(), 1};
        if (manager) {
            if (layer->IsVisible())
                entry.Color = manager->GetAssociatedColor(layer->GetType());
            if (manager->GetAssociatedParam(layer->GetType()) == kLinkerGuid)
                entry.Scale = kLinkerScale;
        }
        shown.PushBack(entry);
    }
    for (int z = 0; z < m_Length; ++z)
        for (int x = 0; x < m_Width; ++x) {
            // Sums kept in doubles and bounded to 0 .. 255: values of any
            // size (negative ones too) stay within the channel.
            double r = 0, g = 0, b = 0;
            for (const Shown& entry : shown) {
                int value = 0;
                entry.Layer->GetValue(x, z, &value);
                const float v = (float) value * (float) entry.Scale;
                r += std::trunc(v * entry.Color.r);
                g += std::trunc(v * entry.Color.g);
                b += std::trunc(v * entry.Color.b);
            }
            auto channel = [](double c) { return (CKDWORD) (c > 255.0 ? 255.0 : (c > 0.0 ? c : 0.0)); };
            const CKDWORD pixel = 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
            for (int dz = 0; dz < 2; ++dz)
                for (int dx = 0; dx < 2; ++dx)
                    texture->SetPixel(2 * x + dx, 2 * z + dz, pixel);
        }
    texture->MarkSlotModified();

    CKLevel* level = m_Context->GetCurrentLevel();
    for (CKObject* object : {(CKObject*) mesh, (CKObject*) top, (CKObject*) sides, (CKObject*) texture}) {
        object->ModifyObjectFlags(kDisplayObjectFlags, 0);
        if (level)
            level->AddObject(object);
    }
    top->SetTexture(0, texture);
    mesh->SetTransparent(TRUE);
    AddMesh(mesh);
    SetCurrentMesh(mesh, TRUE);
}

CKERROR RCKGrid::DestroyDisplayMesh()
{
    if (!m_Context)
        return CKErr::Ok;
    if (m_Context->IsInClearAll())
        return m_Context->IsInClearAll();
    CKMesh* mesh = GetDisplayMesh();
    m_DisplayMesh = 0;
    if (!mesh)
        return CKErr::Ok;
    CKMaterial* top = mesh->GetFaceCount() > 0 ? mesh->GetFaceMaterial(0) : nullptr;
    CKMaterial* sides = mesh->GetFaceCount() > 2 ? mesh->GetFaceMaterial(2) : nullptr;
    CKTexture* texture = top ? top->GetTexture(0) : nullptr;
    RemoveMesh(mesh);
    if (texture)
        m_Context->DestroyObject(texture, 0, nullptr);
    if (top)
        m_Context->DestroyObject(top, 0, nullptr);
    if (sides && sides != top)
        m_Context->DestroyObject(sides, 0, nullptr);
    return m_Context->DestroyObject(mesh, 0, nullptr);
}

void RCKGrid::Show(CKDWORD show)
{
    if ((show & CKSHOW) && !IsVisible())
        BuildDisplayMesh(0.5f);
    else if (!(show & CKSHOW) && IsVisible())
        DestroyDisplayMesh();
    RCK3dEntity::Show(show);
}

CKBOOL RCKGrid::Render(CKRenderContext* context, CKDWORD flags)
{
    CKMesh* mesh = IsVisible() ? GetDisplayMesh() : nullptr;
    if (mesh) {
        bool changed = false;
        for (int i = 0; i < m_Layers.Size() && !changed; ++i)
            if (RCKLayer* layer = LayerOf(m_Layers.GetObject(m_Context, i)))
                changed = layer->m_Shown == 0;
        if (changed) {
            const float alpha = (float) (mesh->GetVertexColor(0) >> 24) / 255.0f;
            DestroyDisplayMesh();
            BuildDisplayMesh(alpha);
        }
    }
    return RCK3dEntity::Render(context, flags);
}

void RCKGrid::UpdateBox(CKBOOL world)
{
    m_LocalBox = QxBbox(QxVector(0.0f, 0.0f, 0.0f), QxVector((float) m_Width, 1.0f, (float) m_Length));
    if (world)
        m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
    m_MoveableFlags |= CK_3DENTITY_BOXUPTODATE;
}

void RCKGrid::PreSave(CKFile* file, CKDWORD flags)
{
    // Only the current mesh travels with the grid.
    CKMesh* current = GetCurrentMesh();
    for (int i = GetMeshCount() - 1; i >= 0; --i)
        if (GetMesh(i) != current)
            RemoveMesh(GetMesh(i));
    RCK3dEntity::PreSave(file, flags);
    if (file)
        for (int i = 0; i < m_Layers.Size(); ++i)
            if (CKObject* layer = LayerOf(m_Layers.GetObject(m_Context, i)))
                file->SaveObject(layer, flags);
}

CKStateChunk* RCKGrid::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKGrid::m_ClassID, RCK3dEntity::Save(file, flags), file, flags,
                            CK_STATESAVE_GRIDSECTIONS, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_GRIDONLY);
                                chunk.WriteInt(m_Width);
                                chunk.WriteInt(m_Length);
                                chunk.WriteInt(0);
                                chunk.WriteInt(m_Priority);
                                chunk.WriteInt(m_Mode);
                                if (file)
                                    chunk.WriteInt(1);
                                m_Layers.Save(&chunk, m_Context);
                                if (file)
                                    return;
                                // One sub-chunk an id (null for an id that names
                                // no layer), so that the load pairs them.
                                for (int i = 0; i < m_Layers.Size(); ++i) {
                                    CKObject* layer = LayerOf(m_Layers.GetObject(m_Context, i));
                                    CKStateChunk* sub = layer ? CKSaveObjectState(layer, flags) : nullptr;
                                    chunk.WriteSubChunk(sub);
                                    CKDeleteStateChunk(sub);
                                }
                            });
}

CKERROR RCKGrid::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk,
        [&] {
            CKERROR error = RCK3dEntity::Load(chunk, file);
            if (error == CKErr::Ok && !file)
                DestroyDisplayMesh();
            return error;
        },
        [&](CKStateChunk& c) {
            if (c.SeekIdentifier(CK_STATESAVE_GRIDONLY)) {
                // Sizes are held to the grid's range: the layers are sized
                // by them.
                const int width = c.ReadInt();
                const int length = c.ReadInt();
                m_Width = width < 0 ? 0 : (width > CK_GRID_MAXSIZE ? CK_GRID_MAXSIZE : width);
                m_Length = length < 0 ? 0 : (length > CK_GRID_MAXSIZE ? CK_GRID_MAXSIZE : length);
                c.ReadInt();
                m_Priority = c.ReadInt();
                m_Mode = c.ReadInt();
                if (file)
                    c.ReadInt();
                m_Layers.Load(&c);
                if (!file)
                    for (int i = 0; i < m_Layers.Size() && c.GetReadError() == CKErr::Ok; ++i) {
                        CKStateChunk* sub = c.ReadSubChunk();
                        if (RCKLayer* layer = LayerOf(m_Layers.GetObject(m_Context, i)))
                            if (sub)
                                layer->Load(sub, nullptr);
                        CKDeleteStateChunk(sub);
                    }
                KeepLayers();
            }
            if (!file && IsVisible() && !GetDisplayMesh())
                BuildDisplayMesh(0.5f);
        });
}

void RCKGrid::PostLoad()
{
    if (IsVisible())
        BuildDisplayMesh(0.5f);
    RCK3dEntity::PostLoad();
}

void RCKGrid::CheckPostDeletion()
{
    RCK3dEntity::CheckPostDeletion();
    m_Layers.Check(m_Context);
}

int RCKGrid::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + 32 + 4 * (m_Layers.Size() * m_Width * m_Length + m_Layers.Capacity());
}

CKBOOL RCKGrid::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_LAYER && m_Layers.FindObject(object))
        return TRUE;
    return RCK3dEntity::IsObjectUsed(object, cid);
}

CKERROR RCKGrid::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    const CKDWORD mode = context.GetOperationMode();
    if (mode == 1)
        SetCurrentMesh(nullptr, TRUE);
    CKERROR error = RCK3dEntity::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (mode != 1 || (context.GetClassDependencies(CKGrid::m_ClassID) & kLayersOption))
        m_Layers.Prepare(context);
    if (mode == 2) {
        if (CKMesh* mesh = GetDisplayMesh()) {
            CKMaterial* top = mesh->GetFaceCount() > 0 ? mesh->GetFaceMaterial(0) : nullptr;
            CKMaterial* sides = mesh->GetFaceCount() > 2 ? mesh->GetFaceMaterial(2) : nullptr;
            mesh->PrepareDependencies(context, TRUE);
            if (top) {
                top->PrepareDependencies(context, TRUE);
                if (CKTexture* texture = top->GetTexture(0))
                    texture->PrepareDependencies(context, TRUE);
            }
            if (sides)
                sides->PrepareDependencies(context, TRUE);
        }
        m_DisplayMesh = 0;
    }
    return CKErr::Ok;
}

CKERROR RCKGrid::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    if (context.GetClassDependencies(CKGrid::m_ClassID) & kLayersOption)
        m_Layers.RemapIDs(context);
    if (IsVisible())
        BuildDisplayMesh(0.5f);
    return CKErr::Ok;
}

CKERROR RCKGrid::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_GRID))
        return CKErr::Ok;
    RCKGrid& from = static_cast<RCKGrid&>(source);
    m_Width = from.m_Width;
    m_Length = from.m_Length;
    m_Priority = from.m_Priority;
    m_Mode = from.m_Mode;
    m_DisplayMesh = 0;
    if (context.GetOperationMode() == 1)
        if (CKMesh* mesh = from.GetDisplayMesh())
            from.SetCurrentMesh(mesh, TRUE);
    if (context.GetClassDependencies(CKGrid::m_ClassID) & kLayersOption)
        m_Layers = from.m_Layers;
    return CKErr::Ok;
}
