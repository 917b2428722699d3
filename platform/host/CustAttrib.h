#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/Animatable.h"
#include "platform/host/IParamBlock2.h"

// Stands in for a custom-attribute block: a name (as its defining script
// names it) and its parameter blocks.
class CustAttrib : public ReferenceTarget
{
public:
    explicit CustAttrib(std::string name);

    const char* GetName() const { return m_Name.c_str(); }
    int NumParamBlocks() const override { return int(m_Blocks.size()); }
    IParamBlock2* GetParamBlock(int i) const override;
    IParamBlock2* AddParamBlock();

private:
    std::string m_Name;
    std::vector<std::unique_ptr<IParamBlock2>> m_Blocks;
};

// Stands in for the host's custom-attribute container of an object or a
// material: its custom attributes in order (null for an index out of range).
class ICustAttribContainer
{
public:
    int GetNumCustAttribs() const { return int(m_Attribs.size()); }
    CustAttrib* GetCustAttrib(int i) const;
    void AppendCustAttrib(CustAttrib* attrib) { m_Attribs.push_back(attrib); }

private:
    std::vector<CustAttrib*> m_Attribs;
};

constexpr SClass_ID CUST_ATTRIB_CLASS_ID = 0x1190;
