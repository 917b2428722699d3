#pragma once

#include <cstdarg>
#include <cstring>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameter.h"
#include "exporter/report/GeLog.h"
#include "includes/XArray.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"

// What the post passes share: their log, the object list they walk and the
// textures a material's effect parameters name.

// Writes to the log when there is one; a pass runs the same without.
void PostLog(GeLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

inline bool IsOfClass(CKObject* object, CK_CLASSID cid)
{
    return object && CKIsChildClassOfObject(object, cid);
}

// A copy of every object of the context in the context's order: the passes
// destroy objects while they walk it.
inline XArray<CKObject*> CopyAllObjects(CKContext* context)
{
    return context ? context->GetObjectListByType(CKCID_OBJECT, TRUE) : XArray<CKObject*>();
}

// Calls visit(member) for each member parameter of the material's effect
// parameter whose value names a texture.
template <class Visit>
void ForEachEffectTexture(CKContext* context, CKMaterial* material, Visit visit)
{
    CKParameter* effect = material ? material->GetEffectParameter() : nullptr;
    const auto* ids = effect ? static_cast<const CKBYTE*>(effect->GetReadDataPtr(FALSE)) : nullptr;
    if (!ids)
        return;
    for (int offset = 0; offset + 4 <= effect->GetDataSize(); offset += 4) {
        CK_ID id = 0;
        std::memcpy(&id, ids + offset, sizeof id);
        CKObject* object = id ? context->GetObject(id) : nullptr;
        if (!IsOfClass(object, CKCID_PARAMETER))
            continue;
        auto* member = static_cast<CKParameter*>(object);
        if (IsOfClass(member->GetValueObject(FALSE), CKCID_TEXTURE))
            visit(member);
    }
}
