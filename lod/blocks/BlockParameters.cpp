#include "lod/blocks/BlockParameters.h"

#include <cstring>

bool ReadInputText(CKBehavior* behavior, int n, XString& text)
{
    CKParameterIn* in = behavior->GetInputParameter(n);
    CKParameter* source = in ? in->GetRealSource() : nullptr;
    if (!source)
        return false;
    const char* value = static_cast<const char*>(source->GetReadDataPtr());
    int size = source->GetDataSize();
    int length = value && size > 0 ? (int) strnlen(value, (size_t) size) : 0;
    text = length > 0 ? XString(value, length) : XString();
    return true;
}

const CKBYTE* LocalBuffer(CKBehavior* behavior, int n, int& size)
{
    size = 0;
    CKParameterLocal* local = behavior ? behavior->GetLocalParameter(n) : nullptr;
    if (!local || CKIsPointerParameterType(local->GetTypeDesc()) || local->GetDataSize() <= 0)
        return nullptr;
    const CKBYTE* data = static_cast<const CKBYTE*>(local->GetReadDataPtr(FALSE));
    size = data ? local->GetDataSize() : 0;
    return data;
}

bool IsInputParameterEnabled(CKBehavior* behavior, int n)
{
    CKParameterIn* in = behavior->GetInputParameter(n);
    return in && !(in->GetObjectFlags() & CK_PARAMETERIN_DISABLED);
}
