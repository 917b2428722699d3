#include <algorithm>
#include <cstring>
#include <string>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterCallbacks.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOut.h"
#include "includes/XArray.h"

namespace {

constexpr CKDWORD kStructId = 0x12348765;

// Structures whose members are structures are made this deep at most: a
// structure listing itself as a member (directly or not) would otherwise
// never end.
constexpr int kMaxNesting = 32;
thread_local int t_Nesting = 0;

CKStructDesc* Record(CKParameter* param)
{
    CKContext* context = param ? param->GetCKContext() : nullptr;
    CKParameterManager* pm = context ? context->GetParameterManager() : nullptr;
    return pm ? pm->GetStructDescByType(param->GetType()) : nullptr;
}

// The member ids of the value, as many as both the record and the value hold.
int MemberCount(CKParameter* param, const CKStructDesc* record)
{
    return record ? std::min(record->NbData, param->GetDataSize() / 4) : 0;
}

CK_ID MemberId(CKParameter* param, int index)
{
    const CKBYTE* ids = static_cast<const CKBYTE*>(param->GetReadDataPtr(FALSE));
    CK_ID id = 0;
    if (ids)
        std::memcpy(&id, ids + 4 * index, 4);
    return id;
}

// The member parameter of that index; null when it does not exist or is no
// parameter.
CKParameter* Member(CKParameter* param, int index)
{
    CKObject* object = param->GetCKContext()->GetObject(MemberId(param, index));
    return object && CKIsChildClassOf(object->GetClassID(), CKCID_PARAMETER) ? static_cast<CKParameter*>(object)
                                                                             : nullptr;
}

} // namespace

CKERROR CKCreateStructValue(CKParameter* param)
{
    CKStructDesc* record = Record(param);
    if (!record)
        return CKErr::InvalidParameter;
    CKContext* context = param->GetCKContext();
    const CKBOOL dynamic = (param->GetObjectFlags() & CK_OBJECT_DYNAMIC) == CK_OBJECT_DYNAMIC;
    XArray<CK_ID> ids;
    ids.Resize(record->NbData);
    ++t_Nesting;
    for (int i = 0; i < record->NbData; ++i) {
        CKParameterOut* member = t_Nesting <= kMaxNesting
                                     ? context->CreateCKParameterOut(record->Desc[i], record->Guids[i], dynamic)
                                     : nullptr;
        ids[i] = member ? member->GetID() : 0;
    }
    --t_Nesting;
    if (record->NbData > 0)
        param->SetValue(ids.Begin(), 4 * record->NbData);
    return CKErr::Ok;
}

void CKDestroyStructValue(CKParameter* param)
{
    CKContext* context = param ? param->GetCKContext() : nullptr;
    if (!context || context->IsInClearAll())
        return;
    CKStructDesc* record = Record(param);
    CKBYTE* ids = static_cast<CKBYTE*>(param->GetReadDataPtr(FALSE));
    for (int i = 0; i < MemberCount(param, record); ++i) {
        if (Member(param, i))
            context->DestroyObjectByID(MemberId(param, i), 2);
        std::memset(ids + 4 * i, 0, 4);
    }
}

void CKCopyStructValue(CKParameter* dest, CKParameter* src)
{
    if (!dest || !src)
        return;
    CKStructDesc* record = Record(dest);
    int count = std::min(MemberCount(dest, record), src->GetDataSize() / 4);
    for (int i = 0; i < count; ++i)
        if (CKParameter* to = Member(dest, i))
            to->CopyValue(Member(src, i), TRUE);
}

void CKSaveLoadStructValue(CKParameter* param, CKStateChunk** chunk, CKBOOL load)
{
    if (!chunk || !param)
        return;
    CKStructDesc* record = Record(param);
    int count = MemberCount(param, record);
    if (!load) {
        CKStateChunk* out = CKCreateStateChunk(0);
        out->StartWrite();
        out->WriteIdentifier(kStructId);
        out->WriteInt(count);
        for (int i = 0; i < count; ++i) {
            CKParameter* member = Member(param, i);
            CKStateChunk* state = member ? CKSaveObjectState(member, 0xFFFFFFFF) : nullptr;
            out->WriteSubChunk(state);
            CKDeleteStateChunk(state);
        }
        out->CloseChunk();
        *chunk = out;
        return;
    }
    CKStateChunk* in = *chunk;
    if (!in || !record)
        return;
    in->StartRead();
    if (!in->SeekIdentifier(kStructId) || in->ReadInt() != record->NbData)
        return;
    for (int i = 0; i < count && in->GetReadError() == CKErr::Ok; ++i) {
        CKStateChunk* state = in->ReadSubChunk();
        CKParameter* member = Member(param, i);
        if (member && state)
            member->Load(state, nullptr);
        CKDeleteStateChunk(state);
    }
}

int CKStructText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    CKStructDesc* record = Record(param);
    int count = MemberCount(param, record);
    if (read) {
        if (!text)
            return 0;
        const char* piece = text;
        for (int i = 0; i < count; ++i) {
            const char* end = std::strchr(piece, ';');
            std::string part(piece, end ? (size_t) (end - piece) : std::strlen(piece));
            if (!part.empty())
                if (CKParameter* member = Member(param, i))
                    member->SetStringValue(part.c_str());
            if (!end)
                break;
            piece = end + 1;
        }
        return 0;
    }
    std::string joined;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        CKParameter* member = Member(param, i);
        if (!member)
            continue;
        int length = member->GetStringValue(nullptr, 0, TRUE);
        std::string piece;
        if (length > 0) {
            piece.resize((size_t) length);
            member->GetStringValue(piece.data(), length, TRUE);
            piece.resize(std::strlen(piece.c_str()));
        }
        if (piece.empty())
            piece = "NULL";
        if (!first)
            joined += ";";
        joined += piece;
        first = false;
    }
    // Each member's text and its separator (or the terminating zero).
    int total = first ? 0 : (int) joined.size() + 1;
    if (text && size > 0) {
        size_t n = std::min(joined.size(), (size_t) size - 1);
        std::memcpy(text, joined.data(), n);
        text[n] = 0;
    }
    return total;
}
