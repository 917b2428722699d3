#include "render/objects/RCKLayer.h"

#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/objects/CKGrid.h"
#include "render/objects/CKGridManager.h"

namespace {

constexpr CKDWORD kLayerDataOption = 1;
// The parameter type older files imply: the one enumerations derive from.
constexpr CKGUID kEnumerationGuid(0x5A5716FD, 0x44E276D7);

} // namespace

RCKLayer::~RCKLayer()
{
    FreeCells();
}

void RCKLayer::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_GRID);
    CKClassSetCreationFlags(m_ClassID, 1);
    CKClassRegisterDefaultDependencies(m_ClassID, kLayerDataOption, 1);
}

const char* RCKLayer::GetDependencies(int index, int mode)
{
    return index == 0 && mode == 1 ? "Layer Data" : nullptr;
}

int RCKLayer::GetDependenciesCount(int mode)
{
    return mode == 1 ? 1 : 0;
}

CKGrid* RCKLayer::OwnerGrid()
{
    if (!m_Owner || !m_Context)
        return nullptr;
    CKObject* object = m_Context->GetObject(m_Owner);
    if (!object || !CKIsChildClassOfObject(object, CKCID_GRID) || object->IsToBeDeleted())
        return nullptr;
    return static_cast<CKGrid*>(object);
}

void RCKLayer::OwnerSize(int& width, int& length)
{
    CKGrid* grid = OwnerGrid();
    width = grid ? grid->GetWidth() : 0;
    length = grid ? grid->GetLength() : 0;
}

void RCKLayer::FreeCells()
{
    delete[] m_Cells;
    m_Cells = nullptr;
    m_CellCount = 0;
}

void RCKLayer::AllocateCells()
{
    FreeCells();
    int width, length;
    OwnerSize(width, length);
    if (width <= 0 || length <= 0)
        return;
    m_CellCount = width * length;
    m_Cells = new CKDWORD[m_CellCount]();
}

int RCKLayer::SetValue(int x, int y, const void* value)
{
    int width, length;
    OwnerSize(width, length);
    const int index = width * y + x;
    if (value && index >= 0 && index < m_CellCount)
        std::memcpy(&m_Cells[index], value, 4);
    m_Shown = 0;
    return index;
}

void RCKLayer::GetValue(int x, int y, void* value)
{
    if (!value)
        return;
    int width, length;
    OwnerSize(width, length);
    const int index = width * y + x;
    const CKDWORD cell = index >= 0 && index < m_CellCount ? m_Cells[index] : 0;
    std::memcpy(value, &cell, 4);
}

CKBOOL RCKLayer::SetValueChecked(int x, int y, const void* value)
{
    int width, length;
    OwnerSize(width, length);
    if (x < 0 || x >= width || y < 0 || y >= length)
        return FALSE;
    SetValue(x, y, value);
    return TRUE;
}

CKBOOL RCKLayer::GetValueChecked(int x, int y, void* value)
{
    int width, length;
    OwnerSize(width, length);
    if (x < 0 || x >= width || y < 0 || y >= length) {
        if (value)
            std::memset(value, 0, 4);
        return FALSE;
    }
    GetValue(x, y, value);
    return TRUE;
}

void RCKLayer::SetCellArray(void* cells)
{
    int width, length;
    OwnerSize(width, length);
    m_Cells = static_cast<CKDWORD*>(cells);
    m_CellCount = cells ? width * length : 0;
}

void RCKLayer::SetVisible(CKBOOL visible)
{
    m_Flags = visible ? (m_Flags | 1u) : (m_Flags & ~1u);
}

void RCKLayer::InitOwner(CK_ID grid)
{
    m_Owner = grid;
    if (!OwnerGrid())
        m_Owner = 0;
    AllocateCells();
    m_Shown = 0;
}

void RCKLayer::SetOwner(CK_ID grid)
{
    m_Owner = grid;
}

int RCKLayer::GetMemoryOccupation()
{
    return CKObject::GetMemoryOccupation() + 24;
}

CKERROR RCKLayer::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Owner = context.RemapID(m_Owner);
    return CKErr::Ok;
}

CKERROR RCKLayer::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_LAYER))
        return CKErr::Ok;
    RCKLayer& from = static_cast<RCKLayer&>(source);
    m_Owner = from.m_Owner;
    m_Type = from.m_Type;
    m_Format = from.m_Format;
    m_Flags = from.m_Flags;
    AllocateCells();
    if (m_Cells && from.m_Cells && (context.GetClassDependencies(CKLayer::m_ClassID) & kLayerDataOption))
        std::memcpy(m_Cells, from.m_Cells,
                    sizeof(CKDWORD) * (size_t) (m_CellCount < from.m_CellCount ? m_CellCount : from.m_CellCount));
    return CKErr::Ok;
}

CKStateChunk* RCKLayer::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKObject::Save(file, flags);
    CKGridManager* manager = CKGetGridManager(m_Context);
    if (!manager) {
        CKDeleteStateChunk(base);
        return nullptr;
    }
    CKStateChunk* chunk = CKCreateStateChunk(CKLayer::m_ClassID, file);
    if (!chunk)
        return base;
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    if (file || (flags & CK_STATESAVE_LAYERONLY)) {
        chunk->WriteIdentifier(CK_STATESAVE_LAYERONLY);
        CKGrid* owner = OwnerGrid();
        chunk->WriteObject(owner);
        if (!file)
            chunk->WriteInt(m_Type);
        chunk->WriteInt(m_Format);
        if (file) {
            chunk->WriteInt(CK_LAYER_FILEVERSION);
            chunk->WriteInt((int) manager->GetAssociatedColor(m_Type).GetARGB());
            chunk->WriteGuid(manager->GetAssociatedParam(m_Type));
        }
        chunk->WriteInt((int) m_Flags);
        if (m_Format == 0 && owner) {
            int width, length;
            OwnerSize(width, length);
            // The cells the layer has, the rest of the owner's size zero.
            const int count = width * length;
            XArray<CKDWORD> cells;
            cells.Resize(count);
            for (int i = 0; i < count; ++i)
                cells[i] = i < m_CellCount ? m_Cells[i] : 0;
            chunk->WriteBuffer(count * 4, cells.Begin());
        }
        if (file)
            manager->NoteSavedType(m_Type);
    }
    chunk->CloseChunk();
    return chunk;
}

CKERROR RCKLayer::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR error = CKObject::Load(chunk, file);
    if (error != CKErr::Ok)
        return error;
    if (!chunk->SeekIdentifier(CK_STATESAVE_LAYERONLY))
        return CKErr::Ok;
    CKGridManager* manager = CKGetGridManager(m_Context);
    if (!manager)
        return CKErr::NotFound;
    const char* name = GetName() ? GetName() : "";
    m_Type = manager->GetTypeFromName(name);
    if (!m_Type)
        m_Type = manager->RegisterType(name);
    CKObject* owner = chunk->ReadObject(m_Context);
    m_Owner = owner && CKIsChildClassOfObject(owner, CKCID_GRID) ? owner->GetID() : 0;
    if (!file)
        chunk->ReadInt();
    m_Format = chunk->ReadInt();
    const int k = chunk->ReadInt();
    if (!file) {
        m_Flags = (CKDWORD) k;
    } else {
        if (k >= 1)
            manager->SetAssociatedColor(m_Type, QxColor(chunk->ReadDword()));
        if (k >= 2)
            manager->SetAssociatedParam(m_Type, k >= 3 ? chunk->ReadGuid() : kEnumerationGuid);
        if (k >= 2)
            m_Flags = chunk->ReadDword();
        else if (k == 1)
            m_Flags = 1;
    }
    FreeCells();
    if (m_Format == 0) {
        void* buffer = nullptr;
        const int size = chunk->ReadBuffer(&buffer);
        int width, length;
        OwnerSize(width, length);
        // The cells are fitted to the owner: a buffer too short leaves the
        // rest zero, the bytes past the owner's size are dropped. Without an
        // owner, or before the owner has its size (a file loads the layers
        // of a grid before the grid), the whole values of the buffer are
        // kept; every access is bounded by the count kept with them.
        const int count = width * length > 0 ? width * length : size / 4;
        if (count > 0) {
            m_CellCount = count;
            m_Cells = new CKDWORD[count]();
            const int bytes = size < count * 4 ? size : count * 4;
            if (buffer && bytes > 0)
                std::memcpy(m_Cells, buffer, (size_t) bytes);
        }
        delete[] static_cast<CKBYTE*>(buffer);
    }
    m_Shown = 0;
    return chunk->GetReadError();
}
