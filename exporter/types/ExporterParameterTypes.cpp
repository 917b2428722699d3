#include "exporter/types/ExporterParameterTypes.h"

#include <algorithm>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterManager.h"
#include "includes/XClassArray.h"

namespace {

// Every entry followed by ",": the engine reads the empty entry the last
// comma leaves as one more value.
XString JoinSorted(XClassArray<XString>& entries)
{
    std::sort(entries.Begin(), entries.End(), [](const XString& a, const XString& b) { return a.Compare(b) < 0; });
    XString text;
    for (const XString& entry : entries) {
        text += entry;
        text += ",";
    }
    return text;
}

XString RegisteredClasses()
{
    XClassArray<XString> entries;
    for (CK_CLASSID cid = 1; cid < CKGetClassCount(); ++cid) {
        CKClassDesc* desc = CKGetClassDesc(cid);
        if (!desc || !desc->m_NameFct || !desc->m_NameFct())
            continue;
        entries.PushBack(XString().Format("%s=%d", desc->m_NameFct(), cid));
    }
    return JoinSorted(entries);
}

XString RegisteredParameters(CKParameterManager* manager)
{
    XClassArray<XString> entries;
    for (int i = 0; i < manager->GetParameterTypesCount(); ++i) {
        const CKParameterTypeDesc* desc = manager->GetParameterTypeDescriptionByIndex(i);
        if (!desc || desc->Name.IsEmpty() || (desc->Flags & CKPARAMETERTYPE_HIDDEN))
            continue;
        entries.PushBack(XString().Format("%s=%d", desc->Name.CStr(), i));
    }
    return JoinSorted(entries);
}

} // namespace

XString ExporterTypeDefinition(CKParameterManager* manager, const ExporterTypeRow& row)
{
    switch (row.text) {
    case ExporterTypeText::RegisteredClass: return RegisteredClasses();
    case ExporterTypeText::RegisteredParameter: return RegisteredParameters(manager);
    case ExporterTypeText::Literal: break;
    }
    return XString(row.definition);
}

int RegisterExporterEnumsAndStructs(CKParameterManager* manager, CKERROR* results)
{
    if (!manager)
        return 0;
    int registered = 0;
    for (int i = 0; i < kExporterTypeRowCount; ++i) {
        const ExporterTypeRow& row = kExporterTypeRows[i];
        XString definition = ExporterTypeDefinition(manager, row);
        CKERROR result = CKErr::InvalidParameter;
        switch (row.kind) {
        case ExporterTypeKind::Enum: result = manager->RegisterNewEnum(row.guid, row.name, definition.CStr()); break;
        case ExporterTypeKind::Flags: result = manager->RegisterNewFlags(row.guid, row.name, definition.CStr()); break;
        case ExporterTypeKind::Structure:
            // The manager takes as many member types as the text names.
            static_assert(kExporterTypeMembers == 5, "every member slot is passed");
            result = manager->RegisterNewStructure(
                row.guid, row.name, definition.CStr(),
                {row.members[0], row.members[1], row.members[2], row.members[3], row.members[4]});
            break;
        }
        if (results)
            results[i] = result;
        registered += result == CKErr::Ok;
    }
    return registered;
}

int RegisterExporterPlainTypes(CKParameterManager* manager, CKERROR* results)
{
    if (!manager)
        return 0;
    int registered = 0;
    for (int i = 0; i < kExporterPlainTypeCount; ++i) {
        const ExporterPlainType& plain = kExporterPlainTypes[i];
        CKParameterTypeDesc desc; // a fresh record for each type
        desc.Guid = plain.guid;
        desc.ParentGuid = plain.base;
        desc.Name = plain.name;
        desc.Registered = TRUE;
        desc.DefaultSize = plain.defaultSize;
        desc.Flags = plain.flags;
        CKERROR result = manager->RegisterParameterType(&desc);
        if (results)
            results[i] = result;
        registered += result == CKErr::Ok;
    }
    return registered;
}

int RegisterExporterParameterTypes(CKContext* context)
{
    CKParameterManager* manager = context ? context->GetParameterManager() : nullptr;
    RegisterExporterEnumsAndStructs(manager);
    RegisterExporterPlainTypes(manager);
    return 1;
}
