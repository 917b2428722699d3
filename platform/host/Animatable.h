#pragma once

#include <memory>
#include <string>

#include "platform/host/Class_ID.h"
#include "platform/host/TSTR.h"

class ICustAttribContainer;
class IParamBlock2;

// Stands in for the root of the host's class tree: every scene item (object,
// material, controller, atmospheric effect, custom attribute) has a class
// identity and may carry custom attributes and parameter blocks. Items live
// in their HostScene, which owns them; a temporary copy made by a conversion
// is owned by whoever asked for it and released with DeleteMe.
class Animatable
{
public:
    Animatable(SClass_ID superClassId, Class_ID classId, std::string className);
    virtual ~Animatable();
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;

    SClass_ID SuperClassID() const { return m_SuperClassId; }
    Class_ID ClassID() const { return m_ClassId; }
    void GetClassName(TSTR& s) const { s = m_ClassName.c_str(); }
    const std::string& ClassName() const { return m_ClassName; }

    // The custom attributes; null when it has none.
    ICustAttribContainer* GetCustAttribContainer() const { return m_CustAttribs.get(); }
    // The container, made empty when there was none.
    ICustAttribContainer* AllocCustAttribContainer();

    // The item's own parameter blocks; null for an index it does not have.
    virtual int NumParamBlocks() const { return 0; }
    virtual IParamBlock2* GetParamBlock(int i) const;

    // The id that names it in the scene file ("" for items made otherwise).
    const std::string& HostId() const { return m_HostId; }
    void SetHostId(std::string id) { m_HostId = std::move(id); }

private:
    SClass_ID m_SuperClassId;
    Class_ID m_ClassId;
    std::string m_ClassName;
    std::unique_ptr<ICustAttribContainer> m_CustAttribs;
    std::string m_HostId;
};

class ReferenceMaker : public Animatable
{
public:
    using Animatable::Animatable;

    // Deletes a temporary copy; an item the scene owns stays.
    void DeleteMe();
    bool IsTemporary() const { return m_Temporary; }
    void MarkTemporary() { m_Temporary = true; }

private:
    bool m_Temporary = false;
};

class ReferenceTarget : public ReferenceMaker
{
public:
    using ReferenceMaker::ReferenceMaker;
};
