#include <algorithm>
#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependencies.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterCallbacks.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "system/math/QxMatrix.h"

namespace {

// Identifiers of the chunks the callbacks make.
constexpr CKDWORD kCollectionId = 80;
constexpr CKDWORD kCurveId = 14;
constexpr CKDWORD kNoDependencies = 0x12248766;
constexpr CKDWORD kAllDependencies = 0x12248767;
constexpr CKDWORD kSomeDependencies = 0x12248768;

// Raw copies never touch the slot of a pointer-valued parameter.
bool PlainBytes(CKParameter* p)
{
    return p && !CKIsPointerParameterType(p->GetTypeDesc());
}

int DependenciesMode(CKParameter* param)
{
    CKGUID g = param->GetGUID();
    if (g == CKPGUID_DELETEDEPENDENCIES)
        return CK_DEPENDENCIES_DELETE;
    if (g == CKPGUID_REPLACEDEPENDENCIES)
        return CK_DEPENDENCIES_REPLACE;
    if (g == CKPGUID_SAVEDEPENDENCIES)
        return CK_DEPENDENCIES_SAVE;
    return CK_DEPENDENCIES_COPY;
}

template <class T>
CKERROR CreateOwned(CKParameter* param)
{
    T* value = new (std::nothrow) T();
    if (!value || !CKSetOwnedValue(param, value)) {
        delete value;
        return CKErr::OutOfMemory;
    }
    return CKErr::Ok;
}

template <class T>
void DestroyOwned(CKParameter* param)
{
    T* value = CKGetOwnedValue<T>(param);
    CKSetOwnedValue<T>(param, nullptr);
    delete value;
}

} // namespace

// Copies.

void CKCopy4ByteValue(CKParameter* dest, CKParameter* src)
{
    if (!PlainBytes(dest) || !PlainBytes(src) || src->GetDataSize() < 4 || dest->GetDataSize() < 4)
        return;
    const void* from = src->GetReadDataPtr(FALSE);
    void* to = dest->GetWriteDataPtr();
    if (from && to)
        std::memcpy(to, from, 4);
}

void CKCopyFixedValue(CKParameter* dest, CKParameter* src)
{
    if (!PlainBytes(dest) || !PlainBytes(src))
        return;
    const void* from = src->GetReadDataPtr(FALSE);
    void* to = dest->GetWriteDataPtr();
    // A smaller source (a type derived with another size) gives what it has.
    int n = std::min(dest->GetDataSize(), src->GetDataSize());
    if (from && to && n > 0)
        std::memcpy(to, from, (size_t) n);
}

void CKCopyGenericValue(CKParameter* dest, CKParameter* src)
{
    if (!dest || !PlainBytes(src) || src->GetDataSize() <= 0)
        return;
    dest->SetValue(src->GetReadDataPtr(FALSE), src->GetDataSize());
}

void CKCopySliderValue(CKParameter* dest, CKParameter* src)
{
    if (src && src->GetDataSize() == 4) {
        const void* from = src->GetReadDataPtr(FALSE);
        void* to = dest ? dest->GetWriteDataPtr() : nullptr;
        if (from && to && dest->GetDataSize() >= 4)
            std::memcpy(to, from, 4);
        return;
    }
    CKCopyFixedValue(dest, src);
}

void CKCopyNoValue(CKParameter* dest, CKParameter* src)
{
    (void) dest;
    (void) src;
}

void CKCopyValueBySaveLoad(CKParameter* dest, CKParameter* src)
{
    CKParameterTypeDesc* from = src ? src->GetTypeDesc() : nullptr;
    CKParameterTypeDesc* to = dest ? dest->GetTypeDesc() : nullptr;
    if (!from || !to || !from->SaveLoad || !to->SaveLoad)
        return;
    CKStateChunk* chunk = nullptr;
    from->SaveLoad(src, &chunk, FALSE);
    if (chunk)
        to->SaveLoad(dest, &chunk, TRUE);
    CKDeleteStateChunk(chunk);
}

// Dependencies.

CKERROR CKCreateDependenciesValue(CKParameter* param)
{
    CKDependencies* record = new (std::nothrow) CKDependencies;
    if (!record)
        return CKErr::OutOfMemory;
    CKCopyDefaultClassDependencies(*record, DependenciesMode(param));
    if (!CKSetOwnedValue(param, record)) {
        delete record;
        return CKErr::OutOfMemory;
    }
    return CKErr::Ok;
}

void CKDestroyDependenciesValue(CKParameter* param)
{
    DestroyOwned<CKDependencies>(param);
}

void CKCopyDependenciesValue(CKParameter* dest, CKParameter* src)
{
    CKDependencies* to = CKGetOwnedValue<CKDependencies>(dest);
    CKDependencies* from = CKGetOwnedValue<CKDependencies>(src);
    if (to && from && to != from)
        *to = *from;
}

void CKSaveLoadDependenciesValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load)
{
    if (!chunk)
        return;
    CKDependencies* record = CKGetOwnedValue<CKDependencies>(param);
    if (!record)
        return;
    if (!load) {
        CKStateChunk* out = CKCreateStateChunk(0);
        out->StartWrite();
        if (record->m_Flags == CK_DEPENDENCIES_NONE) {
            out->WriteIdentifier(kNoDependencies);
        } else if (record->m_Flags == CK_DEPENDENCIES_ALL) {
            out->WriteIdentifier(kAllDependencies);
        } else {
            out->WriteIdentifier(kSomeDependencies);
            const CKDependencies* defaults = CKGetDefaultClassDependencies(DependenciesMode(param));
            for (int cid = 1; cid < record->m_Options.Size(); ++cid) {
                CKDWORD word = record->m_Options[cid];
                if (!defaults || word != defaults->Get(cid)) {
                    out->WriteInt(cid);
                    out->WriteDword(word);
                }
            }
        }
        out->CloseChunk();
        *chunk = out;
        return;
    }
    CKStateChunk* in = *chunk;
    if (!in)
        return;
    in->StartRead();
    if (in->SeekIdentifier(kNoDependencies)) {
        record->m_Flags = CK_DEPENDENCIES_NONE;
    } else if (in->SeekIdentifier(kAllDependencies)) {
        record->m_Flags = CK_DEPENDENCIES_ALL;
    } else {
        int size = in->SeekIdentifierAndReturnSize(kSomeDependencies);
        if (size < 0)
            return;
        record->m_Flags = CK_DEPENDENCIES_CUSTOM;
        for (int pair = 0; pair < size / 8 && in->GetReadError() == CKErr::Ok; ++pair) {
            int cid = in->ReadInt();
            CKDWORD word = in->ReadDword();
            // Pairs of classes this engine has no word for are dropped.
            if (cid >= 0 && cid < record->m_Options.Size())
                record->m_Options[cid] = word;
        }
    }
}

// Collection.

CKERROR CKCreateCollectionValue(CKParameter* param)
{
    return CreateOwned<XObjectArray>(param);
}

void CKDestroyCollectionValue(CKParameter* param)
{
    DestroyOwned<XObjectArray>(param);
}

void CKCopyCollectionValue(CKParameter* dest, CKParameter* src)
{
    XObjectArray* to = CKGetOwnedValue<XObjectArray>(dest);
    XObjectArray* from = CKGetOwnedValue<XObjectArray>(src);
    if (to && from && to != from)
        *to = *from;
}

void CKCheckCollectionValue(CKParameter* param)
{
    XObjectArray* array = CKGetOwnedValue<XObjectArray>(param);
    CKContext* context = param ? param->GetCKContext() : nullptr;
    if (!array || !context)
        return;
    for (CK_ID& id : *array)
        if (id && !context->GetObject(id))
            id = 0;
}

void CKSaveLoadCollectionValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load)
{
    if (!chunk)
        return;
    XObjectArray* array = CKGetOwnedValue<XObjectArray>(param);
    if (!load) {
        if (!array)
            return;
        CKStateChunk* out = CKCreateStateChunk(kCollectionId);
        out->SetWriteAllObjects(TRUE);
        out->StartWrite();
        out->WriteIdentifier(kCollectionId);
        array->Save(out, param->GetCKContext());
        out->CloseChunk();
        *chunk = out;
        return;
    }
    CKStateChunk* in = *chunk;
    if (!in || !array)
        return;
    in->StartRead();
    if (in->SeekIdentifier(kCollectionId))
        *array = in->ReadXObjectArray();
}

// 2D curve.

CKERROR CKCreateCurveValue(CKParameter* param)
{
    return CreateOwned<CK2dCurve>(param);
}

void CKDestroyCurveValue(CKParameter* param)
{
    DestroyOwned<CK2dCurve>(param);
}

void CKCopyCurveValue(CKParameter* dest, CKParameter* src)
{
    CK2dCurve* to = CKGetOwnedValue<CK2dCurve>(dest);
    CK2dCurve* from = CKGetOwnedValue<CK2dCurve>(src);
    if (to && from && to != from)
        *to = *from;
}

void CKSaveLoadCurveValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load)
{
    if (!chunk)
        return;
    CK2dCurve* curve = CKGetOwnedValue<CK2dCurve>(param);
    if (!load) {
        CKStateChunk* out = CKCreateStateChunk(kCurveId);
        out->StartWrite();
        out->WriteIdentifier(kCurveId);
        CKStateChunk* dump = curve ? curve->Dump() : nullptr;
        out->WriteSubChunk(dump);
        CKDeleteStateChunk(dump);
        out->CloseChunk();
        *chunk = out;
        return;
    }
    CKStateChunk* in = *chunk;
    if (!in)
        return;
    in->StartRead();
    if (!in->SeekIdentifier(kCurveId))
        return;
    CKStateChunk* dump = in->ReadSubChunk();
    if (curve && dump)
        curve->Read(dump);
    CKDeleteStateChunk(dump);
}

// State chunk.

CKERROR CKCreateChunkValue(CKParameter* param)
{
    CKStateChunk* value = CKCreateStateChunk(0);
    if (!value || !CKSetOwnedValue(param, value)) {
        CKDeleteStateChunk(value);
        return CKErr::OutOfMemory;
    }
    return CKErr::Ok;
}

void CKDestroyChunkValue(CKParameter* param)
{
    CKStateChunk* value = CKGetOwnedValue<CKStateChunk>(param);
    CKSetOwnedValue<CKStateChunk>(param, nullptr);
    CKDeleteStateChunk(value);
}

void CKCopyChunkValue(CKParameter* dest, CKParameter* src)
{
    CKStateChunk* to = CKGetOwnedValue<CKStateChunk>(dest);
    CKStateChunk* from = CKGetOwnedValue<CKStateChunk>(src);
    if (to && from)
        to->Clone(from);
}

void CKSaveLoadChunkValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load)
{
    if (!chunk)
        return;
    CKStateChunk* value = CKGetOwnedValue<CKStateChunk>(param);
    if (!load) {
        *chunk = CKCopyStateChunk(value);
        return;
    }
    if (value && *chunk)
        value->Clone(*chunk);
}

// The rest.

CKERROR CKCreateMatrixValue(CKParameter* param)
{
    void* value = param ? param->GetWriteDataPtr() : nullptr;
    if (value && param->GetDataSize() >= (int) sizeof(QxMatrix)) {
        QxMatrix identity;
        identity.SetIdentity();
        std::memcpy(value, &identity, sizeof identity);
    }
    return CKErr::Ok;
}

void CKSaveLoadPointerValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load)
{
    (void) param;
    if (!load && chunk)
        *chunk = nullptr;
}

void CKCheckObjectValue(CKParameter* param)
{
    CKContext* context = param ? param->GetCKContext() : nullptr;
    void* value = param ? param->GetWriteDataPtr() : nullptr;
    if (!context || !value || param->GetDataSize() < 4)
        return;
    CK_ID id;
    std::memcpy(&id, value, 4);
    if (id && !context->GetObject(id)) {
        id = 0;
        std::memcpy(value, &id, 4);
    }
}

CKERROR CKCreateParameterTypeValue(CKParameter* param)
{
    CKContext* context = param ? param->GetCKContext() : nullptr;
    CKParameterManager* pm = context ? context->GetParameterManager() : nullptr;
    if (pm && !pm->IsParameterTypeEnumUpToDate())
        pm->UpdateParameterEnum();
    int value = 23;
    if (void* slot = param ? param->GetWriteDataPtr() : nullptr; slot && param->GetDataSize() >= 4)
        std::memcpy(slot, &value, 4);
    return CKErr::Ok;
}
