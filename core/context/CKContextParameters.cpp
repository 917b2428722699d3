#include "core/context/CKContext.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOut.h"

CKParameterIn* CKContext::CreateCKParameterIn(const char* name, int type, CKBOOL dynamic)
{
    if (!m_ParameterManager || !m_ParameterManager->IsParameterTypeValid(type))
        return nullptr;
    auto* in = static_cast<CKParameterIn*>(
        CreateObject(CKCID_PARAMETERIN, name, dynamic ? CK_OBJECTCREATION_DYNAMIC : CK_OBJECTCREATION_NONAMECHECK));
    if (in)
        in->SetType(type);
    return in;
}

CKParameterIn* CKContext::CreateCKParameterIn(const char* name, CKGUID type, CKBOOL dynamic)
{
    return CreateCKParameterIn(name, m_ParameterManager ? m_ParameterManager->ParameterGuidToType(type) : -1, dynamic);
}

CKParameterOut* CKContext::CreateCKParameterOut(const char* name, int type, CKBOOL dynamic)
{
    auto* out = static_cast<CKParameterOut*>(
        CreateObject(CKCID_PARAMETEROUT, name, dynamic ? CK_OBJECTCREATION_DYNAMIC : CK_OBJECTCREATION_NONAMECHECK));
    if (out && m_ParameterManager && m_ParameterManager->IsParameterTypeValid(type))
        out->SetType(type);
    return out;
}

CKParameterOut* CKContext::CreateCKParameterOut(const char* name, CKGUID type, CKBOOL dynamic)
{
    return CreateCKParameterOut(name, m_ParameterManager ? m_ParameterManager->ParameterGuidToType(type) : -1, dynamic);
}
