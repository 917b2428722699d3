#include "core/scene/CKDataArray.h"

#include <algorithm>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOut.h"
#include "system/log/QxLogManager.h"

namespace {

// Dependency options: "Objects" and, when copying, "Data".
constexpr CKDWORD kDependObjects = 1;
constexpr CKDWORD kDependData = 2;

// Parameter columns of older files named the time type by its old GUID.
constexpr CKGUID kOldColumnGuid(0x4A4D4867, 0x3C28773F);
constexpr CKGUID kNewColumnGuid(0x54B4422B, 0x730F0F4F);

const CKArrayCompareSettings& Settings()
{
    return CKGetGlobals().m_ArraySettings;
}

void LogRefusal(const char* what, long long a, long long b)
{
    QxGetLogManager()->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKDataArray")->Log(what, a, b);
}

bool IsLevelOrScene(CKObject* object)
{
    return CKIsChildClassOfObject(object, CKCID_LEVEL) || CKIsChildClassOfObject(object, CKCID_SCENE);
}

CKParameter* AsParameter(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_PARAMETER) ? static_cast<CKParameter*>(object) : nullptr;
}

// Three-way on the mathematical order: no difference is taken, so values
// far apart cannot overflow into the wrong sign.
template <class T>
int Sign(T a, T b)
{
    return (a > b) - (a < b);
}

int Directed(int sign)
{
    return Settings().SortDirection ? sign : -sign;
}

const CKDataCell* CellOf(const CKDataRow* row, int column)
{
    return row && column >= 0 && column < row->Size() ? &(*row)[column] : nullptr;
}

const char* TextOf(const char* text)
{
    return text ? text : "";
}

// The bytes of a parameter cell's value and their count (0 without).
int ValueOf(const CKDataCell* cell, const void** bytes)
{
    CKParameter* parameter = cell ? cell->Parameter : nullptr;
    *bytes = parameter ? parameter->GetReadDataPtr(FALSE) : nullptr;
    return *bytes ? parameter->GetDataSize() : 0;
}

int CompareInt(const CKDataRow* a, const CKDataRow* b)
{
    const CKDataCell* x = CellOf(a, Settings().SortColumn);
    const CKDataCell* y = CellOf(b, Settings().SortColumn);
    return x && y ? Directed(Sign(y->Int, x->Int)) : 0;
}

int CompareFloat(const CKDataRow* a, const CKDataRow* b)
{
    const CKDataCell* x = CellOf(a, Settings().SortColumn);
    const CKDataCell* y = CellOf(b, Settings().SortColumn);
    if (!x || !y || x->Float == y->Float)
        return 0;
    return Directed(y->Float - x->Float > 0 ? 2 : -2);
}

int CompareString(const CKDataRow* a, const CKDataRow* b)
{
    const CKDataCell* x = CellOf(a, Settings().SortColumn);
    const CKDataCell* y = CellOf(b, Settings().SortColumn);
    return x && y ? Directed(Sign(std::strcmp(TextOf(y->String), TextOf(x->String)), 0)) : 0;
}

int CompareParameter(const CKDataRow* a, const CKDataRow* b)
{
    const void* x = nullptr;
    const void* y = nullptr;
    const int size =
        std::min(ValueOf(CellOf(a, Settings().SortColumn), &x), ValueOf(CellOf(b, Settings().SortColumn), &y));
    return size > 0 ? Directed(Sign(std::memcmp(y, x, (size_t) size), 0)) : 0;
}

// The operator applied to the three-way result of cell against reference.
CKBOOL Holds(int order)
{
    switch (Settings().SearchOperator) {
    case CKEQUAL: return order == 0;
    case CKNOTEQUAL: return order != 0;
    case CKLESSTHAN: return order < 0;
    case CKLESSOREQUAL: return order <= 0;
    case CKGREATERTHAN: return order > 0;
    case CKGREATEROREQUAL: return order >= 0;
    default: return FALSE;
    }
}

const CKDataCell* SearchCell(const CKDataRow* row)
{
    return CellOf(row, Settings().SearchColumn);
}

// The reference's first word; false when it has fewer than 4 bytes.
template <class T>
bool ReferenceWord(T& out)
{
    if (!Settings().Reference || Settings().ReferenceSize < (int) sizeof(T))
        return false;
    std::memcpy(&out, Settings().Reference, sizeof(T));
    return true;
}

CKBOOL TestInt(const CKDataRow* row)
{
    const CKDataCell* cell = SearchCell(row);
    int reference = 0;
    return cell && ReferenceWord(reference) ? Holds(Sign(cell->Int, reference)) : FALSE;
}

CKBOOL TestFloat(const CKDataRow* row)
{
    const CKDataCell* cell = SearchCell(row);
    float reference = 0;
    if (!cell || !ReferenceWord(reference))
        return FALSE;
    // An unordered pair (a NaN) is neither equal, less nor greater.
    if (!(cell->Float == reference || cell->Float < reference || cell->Float > reference))
        return Settings().SearchOperator == CKNOTEQUAL;
    return Holds(Sign(cell->Float, reference));
}

CKBOOL TestString(const CKDataRow* row)
{
    const CKDataCell* cell = SearchCell(row);
    if (!cell)
        return FALSE;
    const char* reference = static_cast<const char*>(Settings().Reference);
    return Holds(Sign(std::strcmp(TextOf(cell->String), TextOf(reference)), 0));
}

CKBOOL TestParameter(const CKDataRow* row)
{
    const void* value = nullptr;
    const int size = std::min(ValueOf(SearchCell(row), &value), Settings().Reference ? Settings().ReferenceSize : 0);
    return size > 0 ? Holds(Sign(std::memcmp(value, Settings().Reference, (size_t) size), 0)) : FALSE;
}

char* CopyText(const char* text)
{
    if (!text)
        return nullptr;
    const size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

} // namespace

CKArraySortFunction CKGetArraySortFunction(int type)
{
    switch (type) {
    case CKARRAYTYPE_INT:
    case CKARRAYTYPE_OBJECT: return CompareInt;
    case CKARRAYTYPE_FLOAT: return CompareFloat;
    case CKARRAYTYPE_STRING: return CompareString;
    case CKARRAYTYPE_PARAMETER: return CompareParameter;
    default: return nullptr;
    }
}

CKArraySearchFunction CKGetArraySearchFunction(int type)
{
    switch (type) {
    case CKARRAYTYPE_INT:
    case CKARRAYTYPE_OBJECT: return TestInt;
    case CKARRAYTYPE_FLOAT: return TestFloat;
    case CKARRAYTYPE_STRING: return TestString;
    case CKARRAYTYPE_PARAMETER: return TestParameter;
    default: return nullptr;
    }
}

void CKDataArray::SetSortSettings(int column, CKBOOL direction)
{
    CKArrayCompareSettings& settings = CKGetGlobals().m_ArraySettings;
    settings.SortColumn = column;
    settings.SortDirection = direction;
}

void CKDataArray::SetSearchSettings(int column, int op, const void* reference, int size)
{
    CKArrayCompareSettings& settings = CKGetGlobals().m_ArraySettings;
    settings.SearchColumn = column;
    settings.SearchOperator = op;
    settings.Reference = reference;
    settings.ReferenceSize = reference ? size : 0;
}

// Life.

CKDataArray::CKDataArray(CKContext* context, const char* name) : CKClass(context, name) {}

CKDataArray::~CKDataArray()
{
    FreeRows();
}

CKBOOL CKDataArray::OwnsParameter(const CKParameter* parameter) const
{
    return parameter && parameter->GetOwner() == this;
}

CKParameter* CKDataArray::NewCellParameter(CKGUID type)
{
    const CKBOOL dynamic = IsDynamic();
    CKParameterOut* parameter = m_Context->CreateCKParameterOut(nullptr, type, dynamic);
    if (parameter)
        parameter->SetOwner(this);
    return parameter;
}

void CKDataArray::FreeRows()
{
    for (CKDataRow* row : m_Rows) {
        for (int c = 0; c < row->Size() && c < m_Columns.Size(); ++c)
            if (m_Columns[c].Type == CKARRAYTYPE_STRING)
                delete[](*row)[c].String;
        delete row;
    }
    m_Rows.Clear();
}

void CKDataArray::Clear(CKBOOL destroyParameters)
{
    if (destroyParameters) {
        XArray<CK_ID> owned;
        for (CKDataRow* row : m_Rows)
            for (int c = 0; c < m_Columns.Size(); ++c)
                if (m_Columns[c].Type == CKARRAYTYPE_PARAMETER && OwnsParameter((*row)[c].Parameter))
                    owned.PushBack((*row)[c].Parameter->GetID());
        FreeRows();
        if (owned.Size() > 0)
            m_Context->DestroyObjects(owned.Begin(), owned.Size(), 3);
    }
    FreeRows();
    m_Columns.Clear();
}

// Columns and rows.

int CKDataArray::GetColumnType(int column) const
{
    return column >= 0 && column < m_Columns.Size() ? m_Columns[column].Type : 0;
}

const CKDataColumnFormat* CKDataArray::GetColumnFormat(int column) const
{
    return column >= 0 && column < m_Columns.Size() ? &m_Columns[column] : nullptr;
}

int CKDataArray::AddColumn(const char* name, int type, CKGUID parameterType)
{
    if (!CKGetArraySortFunction(type))
        return -1;
    if (type == CKARRAYTYPE_PARAMETER &&
        (!m_Context->GetParameterManager() || m_Context->GetParameterManager()->ParameterGuidToType(parameterType) < 0))
        return -1;
    CKDataColumnFormat format;
    format.Name = name;
    format.Type = type;
    format.ParameterType = type == CKARRAYTYPE_PARAMETER ? parameterType : CKGUID();
    format.Compare = CKGetArraySortFunction(type);
    format.Test = CKGetArraySearchFunction(type);
    m_Columns.PushBack(format);
    for (CKDataRow* row : m_Rows) {
        CKDataCell cell{};
        if (type == CKARRAYTYPE_PARAMETER)
            cell.Parameter = NewCellParameter(parameterType);
        row->PushBack(cell);
    }
    return m_Columns.Size() - 1;
}

CKDataRow* CKDataArray::AddRow()
{
    CKDataRow* row = new CKDataRow;
    row->Resize(m_Columns.Size());
    for (int c = 0; c < m_Columns.Size(); ++c) {
        (*row)[c] = CKDataCell{};
        if (m_Columns[c].Type == CKARRAYTYPE_PARAMETER)
            (*row)[c].Parameter = NewCellParameter(m_Columns[c].ParameterType);
    }
    m_Rows.PushBack(row);
    return row;
}

CKDataCell* CKDataArray::GetElement(int row, int column) const
{
    CKDataRow* r = GetRow(row);
    return r && column >= 0 && column < m_Columns.Size() && column < r->Size() ? &(*r)[column] : nullptr;
}

int CKDataArray::GetElementValue(int row, int column, void* buffer) const
{
    CKDataCell* cell = GetElement(row, column);
    if (!cell || !buffer)
        return 0;
    switch (m_Columns[column].Type) {
    case CKARRAYTYPE_PARAMETER:
        if (cell->Parameter)
            cell->Parameter->GetValue(buffer);
        break;
    case CKARRAYTYPE_STRING: std::memcpy(buffer, &cell->String, sizeof cell->String); break;
    default: std::memcpy(buffer, &cell->Int, 4); break;
    }
    return 1;
}

CKBOOL CKDataArray::SetElementString(int row, int column, const char* text)
{
    CKDataCell* cell = GetElement(row, column);
    if (!cell || m_Columns[column].Type != CKARRAYTYPE_STRING)
        return FALSE;
    delete[] cell->String;
    cell->String = CopyText(text);
    return TRUE;
}

// Persistence.

void CKDataArray::PreSave(CKFile* file, CKDWORD flags)
{
    CKBeObject::PreSave(file, flags);
    if (!file)
        return;
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c)
            if (m_Columns[c].Type == CKARRAYTYPE_PARAMETER && (*row)[c].Parameter)
                file->SaveObject((*row)[c].Parameter, 0xFFFFFFFF);
}

CKStateChunk* CKDataArray::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKBeObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_DATAARRAY, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYFORMAT);
    chunk->WriteInt(m_Columns.Size());
    for (const CKDataColumnFormat& format : m_Columns) {
        chunk->WriteString(format.Name.CStr());
        chunk->WriteInt(format.Type);
        if (format.Type == CKARRAYTYPE_PARAMETER)
            chunk->WriteGuid(format.ParameterType);
    }

    chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYDATA);
    chunk->WriteInt(m_Rows.Size());
    for (CKDataRow* row : m_Rows) {
        for (int c = 0; c < m_Columns.Size(); ++c) {
            const CKDataCell& cell = (*row)[c];
            switch (m_Columns[c].Type) {
            case CKARRAYTYPE_INT: chunk->WriteInt(cell.Int); break;
            case CKARRAYTYPE_FLOAT: chunk->WriteFloat(cell.Float); break;
            case CKARRAYTYPE_STRING: chunk->WriteString(cell.String); break;
            case CKARRAYTYPE_OBJECT: chunk->WriteObjectID(cell.Object); break;
            default:
                if (file) {
                    chunk->WriteObject(cell.Parameter);
                    break;
                }
                if (!cell.Parameter) {
                    chunk->WriteSubChunk(nullptr);
                    break;
                }
                // The state without the owner, which the loading array
                // becomes.
                const bool owned = OwnsParameter(cell.Parameter);
                if (owned)
                    cell.Parameter->SetOwner(nullptr);
                CKStateChunk* sub = CKSaveObjectState(cell.Parameter, 0xFFFF);
                if (owned)
                    cell.Parameter->SetOwner(this);
                chunk->WriteSubChunk(sub);
                CKDeleteStateChunk(sub);
                break;
            }
        }
    }

    chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYMEMBERS);
    chunk->WriteDword(m_Settings[0]);
    chunk->WriteDword(m_Settings[1]);
    chunk->WriteInt(m_KeyColumn);

    if (GetClassID() == CKCID_DATAARRAY)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

bool CKDataArray::ReadColumns(CKStateChunk* chunk)
{
    const int count = chunk->ReadInt();
    // A column takes two words at least (its name and type).
    const int64_t remaining = chunk->GetDataSize() / 4 - chunk->GetCurrentPos();
    if (chunk->GetReadError() != 0 || count < 0 || 2 * (int64_t) count > remaining) {
        LogRefusal("Data array: %lld columns do not fit in %lld words", count, remaining);
        return false;
    }
    for (int c = 0; c < count; ++c) {
        CKDataColumnFormat format;
        chunk->ReadStringInto(format.Name);
        format.Type = chunk->ReadInt();
        if (format.Type == CKARRAYTYPE_PARAMETER) {
            format.ParameterType = chunk->ReadGuid();
            if (format.ParameterType == kOldColumnGuid)
                format.ParameterType = kNewColumnGuid;
        }
        format.Compare = CKGetArraySortFunction(format.Type);
        format.Test = CKGetArraySearchFunction(format.Type);
        if (chunk->GetReadError() != 0 || !format.Compare) {
            // The cells of a column of unknown layout cannot be read.
            LogRefusal("Data array: column %lld has the unknown type %lld", c, format.Type);
            m_Columns.Clear();
            return false;
        }
        m_Columns.PushBack(format);
    }
    return true;
}

void CKDataArray::ReadRows(CKStateChunk* chunk, CKFile* file)
{
    FreeRows();
    const int count = chunk->ReadInt();
    const int columns = m_Columns.Size();
    // Every cell takes one word at least; a row without cells is bounded as
    // if it had one.
    const int64_t remaining = chunk->GetDataSize() / 4 - chunk->GetCurrentPos();
    if (chunk->GetReadError() != 0 || count < 0 || (int64_t) count * std::max(columns, 1) > remaining) {
        LogRefusal("Data array: %lld rows do not fit in %lld words", count, remaining);
        return;
    }
    bool refused = false;
    for (int r = 0; r < count && chunk->GetReadError() == 0; ++r) {
        CKDataRow* row = new CKDataRow;
        row->Resize(columns);
        for (int c = 0; c < columns; ++c) {
            CKDataCell& cell = (*row)[c];
            cell = CKDataCell{};
            switch (m_Columns[c].Type) {
            case CKARRAYTYPE_INT: cell.Int = chunk->ReadInt(); break;
            case CKARRAYTYPE_FLOAT: cell.Float = chunk->ReadFloat(); break;
            case CKARRAYTYPE_STRING: chunk->ReadString(&cell.String); break;
            case CKARRAYTYPE_OBJECT: cell.Object = chunk->ReadObjectID(); break;
            default:
                if (file) {
                    CKObject* object = m_Context->GetObject(chunk->ReadObjectID());
                    cell.Parameter = AsParameter(object);
                    refused |= object && !cell.Parameter;
                    break;
                }
                CKStateChunk* sub = chunk->ReadSubChunk();
                cell.Parameter = NewCellParameter(m_Columns[c].ParameterType);
                if (cell.Parameter && sub) {
                    cell.Parameter->Load(sub, nullptr);
                    if (!cell.Parameter->GetOwner())
                        cell.Parameter->SetOwner(this);
                }
                CKDeleteStateChunk(sub);
                break;
            }
        }
        m_Rows.PushBack(row);
    }
    if (refused)
        LogRefusal("Data array: a parameter cell names an object that is no parameter (%lld of %lld rows)",
                   m_Rows.Size(), count);
}

CKERROR CKDataArray::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKBeObject::Load(chunk, file);
    bool formatRead = true;
    if (chunk->SeekIdentifier(CK_STATESAVE_DATAARRAYFORMAT)) {
        Clear(TRUE);
        formatRead = ReadColumns(chunk);
    }
    // Rows cannot be read without the layout of their cells.
    if (formatRead && chunk->SeekIdentifier(CK_STATESAVE_DATAARRAYDATA))
        ReadRows(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_DATAARRAYMEMBERS)) {
        m_Settings[0] = chunk->ReadDword();
        m_Settings[1] = chunk->ReadDword();
        // Chunks without a file have held the key column since data version 5.
        if (file || chunk->GetDataVersion() >= 5)
            m_KeyColumn = chunk->ReadInt();
    }
    return CKErr::Ok;
}

void CKDataArray::PostLoad()
{
    CKBeObject::PostLoad();
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c) {
            if (m_Columns[c].Type != CKARRAYTYPE_PARAMETER)
                continue;
            CKParameter*& parameter = (*row)[c].Parameter;
            if (!parameter)
                parameter = NewCellParameter(m_Columns[c].ParameterType);
            else if (!parameter->GetOwner())
                parameter->SetOwner(this);
        }
}

// Deletion and dependencies.

void CKDataArray::PreDelete()
{
    CKBeObject::PreDelete();
    // Parameters that outlive the array must not point at it.
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c)
            if (m_Columns[c].Type == CKARRAYTYPE_PARAMETER && OwnsParameter((*row)[c].Parameter) &&
                !(*row)[c].Parameter->IsToBeDeleted())
                (*row)[c].Parameter->SetOwner(nullptr);
}

void CKDataArray::CheckPreDeletion()
{
    CKBeObject::CheckPreDeletion();
    if (IsToBeDeleted())
        return;
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c) {
            CKParameter*& parameter = (*row)[c].Parameter;
            if (m_Columns[c].Type != CKARRAYTYPE_PARAMETER || !parameter || !parameter->IsToBeDeleted())
                continue;
            // The cell keeps the value in a parameter of its own (one the
            // array owned is replaced too, so that no cell is left dangling).
            CKParameter* copy = NewCellParameter(parameter->GetGUID());
            if (copy)
                copy->CopyValue(parameter, FALSE);
            parameter = copy;
        }
}

void CKDataArray::CheckPostDeletion()
{
    CKBeObject::CheckPostDeletion();
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c)
            if (m_Columns[c].Type == CKARRAYTYPE_OBJECT && !m_Context->GetObject((*row)[c].Object))
                (*row)[c].Object = 0;
}

int CKDataArray::GetMemoryOccupation()
{
    int size = CKBeObject::GetMemoryOccupation() + 36;
    size += m_Rows.Size() * (8 + 4 * m_Columns.Size()) + 24 * m_Columns.Size() + 4 * m_Rows.Capacity();
    if (m_Columns.Size() > 0)
        size += 8;
    return size;
}

CKBOOL CKDataArray::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    const CK_ID id = object ? object->GetID() : 0;
    for (CKDataRow* row : m_Rows)
        for (int c = 0; id && c < m_Columns.Size(); ++c) {
            const CKDataCell& cell = (*row)[c];
            if (m_Columns[c].Type == CKARRAYTYPE_OBJECT && cell.Object == id)
                return TRUE;
            if (m_Columns[c].Type == CKARRAYTYPE_PARAMETER && cell.Parameter &&
                cell.Parameter->GetParameterClassID() != 0 && cell.Parameter->GetDataSize() == 4) {
                CK_ID value = 0;
                cell.Parameter->GetValue(&value, FALSE);
                if (value == id)
                    return TRUE;
            }
        }
    return CKBeObject::IsObjectUsed(object, cid);
}

CKERROR CKDataArray::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKBeObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    const CKDWORD options = context.GetClassDependencies(CKCID_DATAARRAY);
    if (context.GetOperationMode() == CK_DEPENDENCIES_COPY && !(options & kDependData))
        return CKErr::Ok;
    auto prepare = [&](CKObject* object) {
        if (object && !IsLevelOrScene(object))
            object->PrepareDependencies(context, TRUE);
    };
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c) {
            const CKDataCell& cell = (*row)[c];
            if (m_Columns[c].Type == CKARRAYTYPE_OBJECT && (options & kDependObjects))
                prepare(m_Context->GetObject(cell.Object));
            if (m_Columns[c].Type != CKARRAYTYPE_PARAMETER || !cell.Parameter)
                continue;
            if (OwnsParameter(cell.Parameter))
                cell.Parameter->PrepareDependencies(context, TRUE);
            if ((options & kDependObjects) && cell.Parameter->GetParameterClassID() != 0)
                prepare(cell.Parameter->GetValueObject(FALSE));
        }
    return CKErr::Ok;
}

CKERROR CKDataArray::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    if (!(context.GetClassDependencies(CKCID_DATAARRAY) & kDependData))
        return CKErr::Ok;
    for (CKDataRow* row : m_Rows)
        for (int c = 0; c < m_Columns.Size(); ++c) {
            CKDataCell& cell = (*row)[c];
            if (m_Columns[c].Type == CKARRAYTYPE_OBJECT)
                cell.Object = context.RemapID(cell.Object);
            else if (m_Columns[c].Type == CKARRAYTYPE_PARAMETER)
                cell.Parameter = AsParameter(context.Remap(cell.Parameter));
        }
    return CKErr::Ok;
}

CKERROR CKDataArray::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_DATAARRAY))
        return CKErr::Ok;
    const CKDataArray& from = static_cast<const CKDataArray&>(source);
    FreeRows();
    m_Columns = from.m_Columns;
    m_KeyColumn = from.m_KeyColumn;
    m_Settings[0] = from.m_Settings[0];
    m_Settings[1] = from.m_Settings[1];
    if (!(context.GetClassDependencies(CKCID_DATAARRAY) & kDependData))
        return CKErr::Ok;
    for (CKDataRow* source : from.m_Rows) {
        CKDataRow* row = new CKDataRow(*source);
        for (int c = 0; c < m_Columns.Size(); ++c)
            if (m_Columns[c].Type == CKARRAYTYPE_STRING)
                (*row)[c].String = CopyText((*source)[c].String);
        m_Rows.PushBack(row);
    }
    return CKErr::Ok;
}

// Class registration.

void CKDataArray::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x024D52F1, 0x678223B2));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_OBJECT);
    CKClassRegisterDefaultDependencies(m_ClassID, 1, CK_DEPENDENCIES_DELETE);
}

const char* CKDataArray::GetClassName()
{
    return "Array";
}

const char* CKDataArray::GetDependencies(int index, int mode)
{
    if (index < 0 || index >= GetDependenciesCount(mode))
        return nullptr;
    return index == 0 ? "Objects" : "Data";
}

int CKDataArray::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY ? 2 : mode == CK_DEPENDENCIES_DELETE ? 1 : 0;
}
