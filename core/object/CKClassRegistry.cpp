#include "core/object/CKClassRegistry.h"

#include "core/context/CKGlobals.h"
#include "core/object/CKObject.h"

namespace {

XClassArray<CKClassDesc>& Registry()
{
    return CKGetGlobals().m_ClassDescs;
}

void OrInto(XBitArray& destination, const XBitArray& source)
{
    for (int i = 0; i < source.Size(); ++i)
        if (source.IsSet(i))
            destination.Set(i);
}

void ComputeParents(CK_CLASSID cid)
{
    CKClassDesc& desc = Registry()[cid];
    if (cid == 0 || desc.m_Done)
        return;
    desc.m_Done = TRUE; // set first so that a parent cycle cannot recurse forever
    CK_CLASSID parent = desc.m_Parent;
    if (parent > 0 && parent < Registry().Size() && parent != cid) {
        ComputeParents(parent);
        desc.m_Parents = Registry()[parent].m_Parents;
        desc.m_DerivationLevel = Registry()[parent].m_DerivationLevel + 1;
    } else {
        desc.m_Parents.Clear();
        desc.m_DerivationLevel = 1;
    }
    desc.m_Parents.Set(cid);
}

void ComputeCommonNotify(CK_CLASSID cid)
{
    CKClassDesc& desc = Registry()[cid];
    if (cid == 0 || desc.m_Done)
        return;
    desc.m_Done = TRUE;
    desc.m_CommonToBeNotify = desc.m_ToBeNotify;
    CK_CLASSID parent = desc.m_Parent;
    if (parent > 0 && parent < Registry().Size() && parent != cid) {
        ComputeCommonNotify(parent);
        OrInto(desc.m_CommonToBeNotify, Registry()[parent].m_CommonToBeNotify);
    }
}

bool InRange(CK_CLASSID cid)
{
    return cid >= 0 && cid < Registry().Size();
}

// The description of a class id, null outside the registry: one range check
// (the lookups run several times for every object loaded or created).
CKClassDesc* Find(CK_CLASSID cid)
{
    XClassArray<CKClassDesc>& registry = Registry();
    return cid >= 0 && cid < registry.Size() ? registry.Begin() + cid : nullptr;
}

} // namespace

void CKClassRegister(const char* name, CK_CLASSID cid, CK_CLASSID parent, CKCLASSREGISTERFCT registerFct,
                     CKCLASSCREATIONFCT creationFct, CKCLASSRELEASEFCT releaseFct, CKCLASSNAMEFCT nameFct,
                     CKCLASSDEPENDENCIESFCT dependsFct, CKCLASSDEPENDENCIESCOUNTFCT dependsCountFct)
{
    if (!PLATFORM_CHECK_TEXT(cid >= 0, "cid>=0"))
        return;
    XClassArray<CKClassDesc>& registry = Registry();
    if (registry.Size() < cid + 1)
        registry.Resize(cid + 1);
    CKClassDesc fresh;
    fresh.m_Name = name;
    fresh.m_Parent = parent == cid ? 0 : parent;
    fresh.m_RegisterFct = registerFct;
    fresh.m_CreationFct = creationFct;
    fresh.m_ReleaseFct = releaseFct;
    fresh.m_NameFct = nameFct;
    fresh.m_DependsFct = dependsFct;
    fresh.m_DependsCountFct = dependsCountFct;
    registry[cid] = fresh;
    // A class whose id variable kept an allocated id from an earlier start
    // registers without CKAllocateClassID: per-class tables must still cover it.
    int& globalCount = CKGetGlobals().m_GlobalClassCount;
    if (cid >= globalCount)
        globalCount = cid + 1;
}

CK_CLASSID CKAllocateClassID()
{
    CKGlobalState& g = CKGetGlobals();
    CK_CLASSID cid = g.m_ClassDescs.Size() > CKCID_FIRSTFREE ? g.m_ClassDescs.Size() : CKCID_FIRSTFREE;
    if (cid >= g.m_GlobalClassCount)
        g.m_GlobalClassCount = cid + 1;
    return cid;
}

void CKBuildClassHierarchyTable()
{
    XClassArray<CKClassDesc>& registry = Registry();
    // Classes registered at 58 and above are kept (the table never shrinks).
    if (registry.Size() < CKCID_FIRSTFREE)
        registry.Resize(CKCID_FIRSTFREE);
    int count = registry.Size();

    for (CKClassDesc& desc : registry) {
        desc.m_Done = FALSE;
        desc.m_ToBeNotify.Clear();
        desc.m_CommonToBeNotify.Clear();
        desc.m_ParameterGuid = CKGUID();
        desc.m_Parents.Clear();
        desc.m_Children.Clear();
        desc.m_ToNotify = XCompactArray<CK_CLASSID>();
    }
    registry[0].m_DerivationLevel = 0;

    for (int i = 0; i < count; ++i)
        ComputeParents(i);

    for (int i = 0; i < count; ++i) {
        registry[i].m_Children.Set(i);
        const XBitArray& parents = registry[i].m_Parents;
        for (int j = 0; j < parents.Size() && j < count; ++j)
            if (parents.IsSet(j))
                registry[j].m_Children.Set(i);
    }

    for (int i = 0; i < count; ++i) {
        registry[i].m_Done = FALSE;
        if (registry[i].m_RegisterFct)
            registry[i].m_RegisterFct();
    }

    CKDependencies* defaults = CKGetGlobals().m_DefaultDependencies;
    for (int mode = 0; mode < 4; ++mode)
        defaults[mode].Resize(count);
    defaults[0].m_Flags = CK_DEPENDENCIES_CUSTOM;
    defaults[1].m_Flags = CK_DEPENDENCIES_NONE;
    for (int i = 0; i < count; ++i)
        for (int mode = 0; mode < 4; ++mode)
            defaults[mode].m_Options[i] = registry[i].m_DefaultOptions[mode];

    for (int i = 0; i < count; ++i)
        ComputeCommonNotify(i);

    for (int c = 0; c < count; ++c) {
        CKClassDesc& target = registry[c];
        target.m_Done = FALSE;
        for (int d = 0; d < count; ++d)
            if (registry[d].m_CommonToBeNotify.IsSet(c))
                target.m_ToNotify.PushBack(d);
    }
}

int CKGetClassCount()
{
    return Registry().Size();
}

int CKGetGlobalClassCount()
{
    return CKGetGlobals().m_GlobalClassCount;
}

CKClassDesc* CKGetClassDesc(CK_CLASSID cid)
{
    return Find(cid);
}

const char* CKClassIDToString(CK_CLASSID cid)
{
    return InRange(cid) ? Registry()[cid].m_Name.CStr() : "";
}

CKBOOL CKIsChildClassOf(CK_CLASSID child, CK_CLASSID parent)
{
    const CKClassDesc* desc = Find(child);
    return desc ? desc->m_Parents.IsSet(parent) : FALSE;
}

CKBOOL CKIsChildClassOfObject(CKObject* object, CK_CLASSID parent)
{
    return object ? CKIsChildClassOf(object->GetClassID(), parent) : FALSE;
}

CK_CLASSID CKGetParentClassID(CK_CLASSID cid)
{
    return InRange(cid) ? Registry()[cid].m_Parent : 0;
}

void CKClassSetParameterGuid(CK_CLASSID cid, CKGUID guid)
{
    if (InRange(cid))
        Registry()[cid].m_ParameterGuid = guid;
}

CKGUID CKGetClassParameterGuid(CK_CLASSID cid)
{
    return InRange(cid) ? Registry()[cid].m_ParameterGuid : CKGUID();
}

void CKClassRegisterDefaultDependencies(CK_CLASSID cid, CKDWORD mask, int mode)
{
    if (InRange(cid) && mode >= 1 && mode <= 4)
        Registry()[cid].m_DefaultOptions[mode - 1] = mask;
}

void CKClassSetCreationFlags(CK_CLASSID cid, CKDWORD flags)
{
    if (InRange(cid))
        Registry()[cid].m_CreationFlags = flags;
}

void CKClassNeedNotificationFrom(CK_CLASSID a, CK_CLASSID b)
{
    if (InRange(a) && InRange(b))
        OrInto(Registry()[a].m_ToBeNotify, Registry()[b].m_Children);
}

void CKClassSetDeletionCheck(CK_CLASSID cid, CKDWORD check)
{
    if (InRange(cid))
        Registry()[cid].m_DeletionCheck = check;
}

CKDependencies* CKGetDefaultClassDependencies(int mode)
{
    if (mode == CK_DEPENDENCIES_BUILD)
        mode = CK_DEPENDENCIES_COPY;
    if (mode < 1 || mode > 4)
        return nullptr;
    return &CKGetGlobals().m_DefaultDependencies[mode - 1];
}

void CKCopyDefaultClassDependencies(CKDependencies& out, int mode)
{
    CKDependencies* d = CKGetDefaultClassDependencies(mode);
    if (d)
        out = *d;
}
