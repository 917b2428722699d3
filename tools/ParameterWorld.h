#pragma once

// A world of parameters of every type a context knows, with user types,
// attributes, outputs pushing to other parameters, inputs and parameters
// bound to engine variables: the parameter file tests save and load it, and
// write_fuzz_seeds writes seeds of it.

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKVariableManager.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKDependencies.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterManager.h"
#include "core/parameter/CKParameterOut.h"
#include "core/parameter/CKParameterVariable.h"

constexpr CKGUID kFileMode(0xF11E0001, 1);   // an enumeration a loaded file declared
constexpr CKGUID kFileFlags(0xF11E0002, 1);  // flags likewise
constexpr CKGUID kFileStruct(0xF11E0003, 1); // a structure registered by code

// Program variables each context binds under the same names.
struct EngineVariables
{
    int number = 0;
    float real = 0.0f;
    XString text;
    int mode = 0;
};
inline const char* const kVariableNames[] = {"Params/Number", "Params/Real", "Params/Text", "Params/Mode"};

// Attribute type 0 carries a Float, 1 a value of the file's enumeration.
inline void SetParameterWorldLinks()
{
    CKBeObjectLinks links;
    links.GetAttributeParameterGuid = [](CKContext*, int type) {
        return type == 0 ? CKPGUID_FLOAT : type == 1 ? kFileMode : CKGUID();
    };
    CKSetBeObjectLinks(links);
}

// Binds the variables and registers the structure type in a fresh context;
// false when the structure is refused.
inline bool PrepareParameterWorldContext(CKContext* context, EngineVariables& v)
{
    context->SetFileWriteMode(0);
    CKVariableManager* vm = context->GetVariableManager();
    vm->BindInt(kVariableNames[0], &v.number, 0, 0, "n");
    vm->BindFloat(kVariableNames[1], &v.real, 0.0f, 0, "r");
    vm->BindString(kVariableNames[2], &v.text, "", 0, "t");
    vm->BindIntWithRepresentation(kVariableNames[3], &v.mode, 0, 0, "enum:0=Still;3=Moving", "m");
    return context->GetParameterManager()->RegisterNewStructure(kFileStruct, "File Struct", "x,label,mode",
                                                                {CKPGUID_FLOAT, CKPGUID_STRING, kFileMode}) == 0;
}

inline void UnbindParameterWorldVariables(CKContext* context)
{
    for (const char* name : kVariableNames)
        context->GetVariableManager()->UnBind(name);
}

// The objects to save, in order: count parameters (and the holders of
// their attributes, inputs and variable parameters). *failures counts the
// steps the context refused.
inline std::vector<CKObject*> BuildParameterWorld(CKContext* c, int count, int* failures)
{
    auto check = [&](bool ok) {
        if (!ok)
            ++*failures;
    };
    CKParameterManager* pm = c->GetParameterManager();
    check(pm->RegisterNewEnum(kFileMode, "File Mode", "Off,On,Auto=4") == 0);
    check(pm->RegisterNewFlags(kFileFlags, "File Flags", "A,B,C") == 0);
    for (CKGUID g : {kFileMode, kFileFlags})
        pm->GetParameterTypeDescription(g)->Flags |= CKPARAMETERTYPE_USER;
    int builtIn = pm->ParameterGuidToType(kFileMode);

    std::mt19937 rng(2000);
    std::vector<CKObject*> saved;
    std::vector<CKBeObject*> holders;
    for (int i = 0; i < 10; ++i) {
        auto* b = static_cast<CKBeObject*>(c->CreateObject(CKCID_BEOBJECT, ("B" + std::to_string(i)).c_str()));
        for (int type : {0, 1}) {
            check(b->SetAttribute(type));
            b->GetAttributeParameter(type)->SetName(
                (std::string("A") + std::to_string(i) + "_" + std::to_string(type)).c_str());
        }
        int on = 1;
        b->GetAttributeParameter(1)->SetValue(&on);
        holders.push_back(b);
        saved.push_back(b);
        saved.push_back(b->GetAttributeParameter(0));
        saved.push_back(b->GetAttributeParameter(1));
    }
    auto holder = [&]() { return holders[rng() % holders.size()]; };

    std::vector<int> types;
    for (int i = 0; i < pm->GetParameterTypesCount(); ++i)
        if (pm->IsParameterTypeValid(i))
            types.push_back(i);
    const CK_CLASSID classes[] = {CKCID_PARAMETERLOCAL, CKCID_PARAMETEROUT, CKCID_PARAMETER};
    std::vector<CKParameter*> params;
    for (int i = 0; i < count; ++i) {
        int type = types[(size_t) i % types.size()];
        CK_CLASSID cid = classes[((size_t) i / types.size() + (size_t) i) % 3];
        auto* p = static_cast<CKParameter*>(c->CreateObject(cid, ("P" + std::to_string(i)).c_str()));
        p->SetType(type);
        CKParameterTypeDesc* d = p->GetTypeDesc();
        if (d->Guid == CKPGUID_OBJECTARRAY) {
            for (int k = 0; k < 3; ++k)
                CKGetOwnedValue<XObjectArray>(p)->PushBack(k == 1 ? 0 : holder()->GetID());
        } else if (d->Guid == CKPGUID_2DCURVE) {
            CKGetOwnedValue<CK2dCurve>(p)->AddControlPoint(Qx2DVector((float) (rng() % 100) / 100.0f, 0.25f));
        } else if (d->Guid == CKPGUID_STATECHUNK) {
            CKStateChunk* value = CKGetOwnedValue<CKStateChunk>(p);
            value->StartWrite();
            value->WriteIdentifier(7);
            value->WriteInt((int) rng());
            value->WriteString("inside");
            value->CloseChunk();
        } else if (CKDependencies* deps = CKGetOwnedValue<CKDependencies>(p)) {
            deps->m_Flags = rng() % 3;
            if (deps->m_Options.Size() > 20)
                deps->m_Options[1 + rng() % 19] ^= 0x5;
        } else if (d->Guid == kFileStruct) {
            p->SetStringValue(i % 2 ? "1.5;left;On" : "-2;right;Auto");
        } else if (d->ClassId) {
            CK_ID id = rng() % 4 ? holder()->GetID() : 0;
            p->SetValue(&id);
        } else if (d->Guid == CKPGUID_PARAMETERTYPE) {
            int index = (int) (rng() % (CKDWORD) builtIn);
            p->SetValue(&index);
        } else if (d->Flags & CKPARAMETERTYPE_VARIABLESIZE) {
            std::vector<CKBYTE> text(1 + rng() % 30);
            for (CKBYTE& b : text)
                b = (CKBYTE) ('a' + rng() % 26);
            text.back() = 0;
            p->SetValue(text.data(), (int) text.size());
        } else if (!CKIsPointerParameterType(d) && p->GetDataSize() > 0) {
            std::vector<CKBYTE> noise((size_t) p->GetDataSize());
            for (CKBYTE& b : noise)
                b = (CKBYTE) rng();
            p->SetValue(noise.data());
        }
        if (cid == CKCID_PARAMETERLOCAL && i % 7 == 0)
            p->ModifyObjectFlags(CK_PARAMETERLOCAL_SETTING, 0);
        if (cid == CKCID_PARAMETERLOCAL && i % 97 == 0)
            static_cast<CKParameterLocal*>(p)->SetAsMyselfParameter(TRUE);
        params.push_back(p);
    }
    // Outputs push to earlier parameters of their type.
    std::map<int, std::vector<CKParameter*>> byType;
    for (CKParameter* p : params)
        byType[p->GetType()].push_back(p);
    for (CKParameter* p : params) {
        if (p->GetClassID() != CKCID_PARAMETEROUT || rng() % 2)
            continue;
        const std::vector<CKParameter*>& same = byType[p->GetType()];
        for (int tries = 0; tries < 3; ++tries)
            static_cast<CKParameterOut*>(p)->AddDestination(same[rng() % same.size()]);
    }
    for (CKParameter* p : params)
        saved.push_back(p);
    // Inputs reading parameters, or sharing the source of an earlier input.
    std::vector<CKParameterIn*> inputs;
    for (int i = 0; i < count / 12; ++i) {
        CKParameter* source = params[rng() % params.size()];
        CKParameterIn* in = c->CreateCKParameterIn(("I" + std::to_string(i)).c_str(), source->GetType());
        if (!inputs.empty() && i % 3 == 0)
            in->ShareSourceWith(inputs[rng() % inputs.size()]);
        else
            in->SetDirectSource(source);
        if (i % 5 == 0)
            in->ModifyObjectFlags(CK_PARAMETERIN_DISABLED, 0);
        inputs.push_back(in);
        saved.push_back(in);
    }
    // Parameters bound to the engine variables.
    for (const char* name : kVariableNames) {
        auto* v = static_cast<CKParameterVariable*>(c->CreateObject(CKCID_PARAMETERVARIABLE));
        check(v->BindToVariable(name) == 0);
        saved.push_back(v);
    }
    return saved;
}
