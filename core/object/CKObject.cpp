#include "core/object/CKObject.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependencies.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "system/memory/QxMemoryManager.h"

CKObject::CKObject(CKContext* context, const char* name) : m_Context(context)
{
    if (name)
        m_Name = QxGetMemoryManager()->DuplicateString(name);
    if (context && context->GetObjectManager())
        m_ID = context->GetObjectManager()->RegisterObject(this);
}

CKObject::~CKObject()
{
    if (m_Context && m_ID && m_Context->GetObjectManager())
        m_Context->GetObjectManager()->ReleaseID(m_ID);
    FreeName();
}

void CKObject::FreeName()
{
    if (m_Name && !(m_ObjectFlags & CK_OBJECT_NAMESHARED))
        QxGetMemoryManager()->Free(m_Name);
    m_Name = nullptr;
}

void CKObject::Show(CKDWORD show)
{
    m_ObjectFlags &= ~(CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE);
    if (show & CKSHOW)
        m_ObjectFlags |= CK_OBJECT_VISIBLE;
    else if (show & CKHIERARCHICALHIDE)
        m_ObjectFlags |= CK_OBJECT_HIERACHICALHIDE;
}

void CKObject::PreSave(CKFile* file, CKDWORD flags)
{
    (void) file;
    (void) flags;
}

CKStateChunk* CKObject::Save(CKFile* file, CKDWORD flags)
{
    (void) flags;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_OBJECT, file);
    if (!chunk)
        return nullptr;
    chunk->SetWriteAllObjects(IsDynamic());
    chunk->StartWrite();
    chunk->SetDataVersion(CK_OBJECT_DATA_VERSION);
    chunk->CheckSize(GetMemoryOccupation());
    CKDWORD hidden = m_ObjectFlags & (CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE);
    if (hidden != CK_OBJECT_VISIBLE)
        chunk->WriteIdentifier((m_ObjectFlags & CK_OBJECT_HIERACHICALHIDE) ? CK_STATESAVE_OBJECTHIERAHIDDEN
                                                                           : CK_STATESAVE_OBJECTHIDDEN);
    return chunk;
}

CKERROR CKObject::Load(CKStateChunk* chunk, CKFile* file)
{
    (void) file;
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    if (chunk->SeekIdentifier(CK_STATESAVE_OBJECTHIDDEN))
        m_ObjectFlags &= ~(CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE);
    else if (chunk->SeekIdentifier(CK_STATESAVE_OBJECTHIERAHIDDEN))
        m_ObjectFlags = (m_ObjectFlags & ~CK_OBJECT_VISIBLE) | CK_OBJECT_HIERACHICALHIDE;
    else
        m_ObjectFlags = (m_ObjectFlags & ~CK_OBJECT_HIERACHICALHIDE) | CK_OBJECT_VISIBLE;
    return CKErr::Ok;
}

int CKObject::GetMemoryOccupation()
{
    int size = 20;
    if (m_Name && !(m_ObjectFlags & CK_OBJECT_NAMESHARED))
        size += (int) std::strlen(m_Name) + 1;
    return size;
}

CKBOOL CKObject::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    (void) object;
    (void) cid;
    return FALSE;
}

CKERROR CKObject::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    (void) caller;
    CKDWORD mode = context.GetOperationMode();
    if (mode == CK_DEPENDENCIES_SAVE && (m_ObjectFlags & CK_OBJECT_NOTTOBESAVED))
        return CKErr::IncompatibleParameters;
    if (context.GetDynamicNesting() > 0 && !IsDynamic() && mode != CK_DEPENDENCIES_COPY)
        return CKErr::IncompatibleParameters;
    return context.AddDependency(m_ID) ? CKErr::Ok : CKErr::AlreadyPresent;
}

CKERROR CKObject::RemapDependencies(CKDependenciesContext& context)
{
    (void) context;
    return CKErr::Ok;
}

CKERROR CKObject::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKDWORD options = context.GetClassDependencies(CKCID_OBJECT);
    m_ObjectFlags = (m_ObjectFlags & ~(CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE)) |
                    (source.m_ObjectFlags & (CK_OBJECT_VISIBLE | CK_OBJECT_HIERACHICALHIDE));

    const char* suffix = context.GetCopySuffix();
    bool hasSuffix = suffix && suffix[0];
    bool beObject = CKIsChildClassOf(GetClassID(), CKCID_BEOBJECT);
    CK_CLASSID cid = GetClassID();
    auto takeSourceName = [&]() {
        CKBOOL shared = (source.m_ObjectFlags & CK_OBJECT_NAMESHARED) != 0;
        SetName(source.m_Name, shared);
    };
    if (!(options & CK_DEPENDENCIES_OBJECT_NAME)) {
        CKDependencies* record = context.GetDependencies();
        if (hasSuffix && beObject) {
            SetName(MakeCopyName(source.m_Name, suffix).CStr());
        } else if ((record && record->m_Flags == CK_DEPENDENCIES_NONE) || (m_ObjectFlags & CK_OBJECT_NAMESHARED) ||
                   cid == CKCID_PARAMETEROUT || cid == CKCID_PARAMETERIN) {
            takeSourceName();
        }
    } else {
        CKClassDesc* desc = CKGetClassDesc(cid);
        CKDWORD creation = desc ? desc->m_CreationFlags : 0;
        bool unique = (options & CK_DEPENDENCIES_OBJECT_UNIQUENAME) &&
                      !(creation & (CK_GENERALOPTIONS_NODUPLICATENAMECHECK | CK_GENERALOPTIONS_CANUSECURRENTOBJECT));
        if (unique) {
            if (source.m_Name && m_Context) {
                XString base = hasSuffix ? MakeCopyName(source.m_Name, suffix) : XString(source.m_Name);
                SetName(m_Context->GetUniqueCopyName(base.CStr(), source.GetClassID()).CStr());
            }
        } else if (!hasSuffix || !beObject) {
            takeSourceName();
        } else {
            SetName(MakeCopyName(source.m_Name, suffix).CStr());
        }
    }
    if (source.m_ObjectFlags & CK_OBJECT_APPDATA)
        SetAppData(source.GetAppData());
    return CKErr::Ok;
}

void CKObject::SetName(const char* name, CKBOOL shared)
{
    CKObjectManager* om = m_Context ? m_Context->GetObjectManager() : nullptr;
    if (om && m_ID)
        om->UnindexName(this, name);
    FreeName();
    if (shared) {
        m_Name = const_cast<char*>(name);
        m_ObjectFlags |= CK_OBJECT_NAMESHARED;
    } else {
        m_Name = name ? QxGetMemoryManager()->DuplicateString(name) : nullptr;
        m_ObjectFlags &= ~CK_OBJECT_NAMESHARED;
    }
    if (om && m_ID)
        om->IndexName(this);
}

void CKObject::SetAppData(void* data)
{
    if (!m_Context || !m_Context->GetObjectManager())
        return;
    if (data)
        m_ObjectFlags |= CK_OBJECT_APPDATA;
    else
        m_ObjectFlags &= ~CK_OBJECT_APPDATA;
    m_Context->GetObjectManager()->SetObjectAppData(m_ID, data);
}

void* CKObject::GetAppData()
{
    if (!(m_ObjectFlags & CK_OBJECT_APPDATA) || !m_Context || !m_Context->GetObjectManager())
        return nullptr;
    return m_Context->GetObjectManager()->GetObjectAppData(m_ID);
}

XString CKObject::MakeCopyName(const char* name, const char* suffix)
{
    XString n(name ? name : "");
    XString tail(suffix ? suffix : "");
    tail += "_";
    int p = n.Find(tail);
    XString result;
    if (p < 0) {
        result = n;
        result += tail;
        result += "0";
        return result;
    }
    const char* after = n.CStr() + p + tail.Length();
    // A number that does not fit an int counts as no number.
    char* end = nullptr;
    long long value = std::strtoll(after, &end, 10);
    int number = (end != after && value >= 0 && value < 0x7FFFFFFF) ? (int) value : 0;
    XString head;
    int length = p + tail.Length() - 1;
    if (length > 0)
        head.Assign(n.CStr(), length);
    result.Format("%s_%d", head.CStr(), number + 1);
    return result;
}

void CKObject::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x30EC20AB, 0x6DF6517D));
    CKClassRegisterDefaultDependencies(m_ClassID, CK_DEPENDENCIES_OBJECT_NAME, CK_DEPENDENCIES_COPY);
}

const char* CKObject::GetClassName()
{
    return "Basic Object";
}

const char* CKObject::GetDependencies(int index, int mode)
{
    if (index == 0)
        return "Name";
    if (index == 1 && mode == CK_DEPENDENCIES_COPY)
        return "Unique Name";
    return nullptr;
}

int CKObject::GetDependenciesCount(int mode)
{
    if (mode == CK_DEPENDENCIES_COPY)
        return 2;
    if (mode == CK_DEPENDENCIES_SAVE)
        return 1;
    return 0;
}

void CKReleaseObjectDefault(CKContext* context, CKObject* object)
{
    (void) context;
    delete object;
}
