#pragma once

#include <string>
#include <vector>

#include "platform/host/Animatable.h"
#include "platform/host/TSTR.h"

class MtlBase : public ReferenceTarget
{
public:
    MtlBase(SClass_ID superClassId, Class_ID classId, std::string className, std::string name);

    TSTR& GetName() { return m_Name; }
    const TSTR& GetName() const { return m_Name; }
    void SetName(const TSTR& name) { m_Name = name; }

private:
    TSTR m_Name;
};

// Stands in for the host's material: its name, its class (the standard
// material, a multi/sub-object material, a shell material, or any other
// class the scene names) and its sub-materials (null entries allowed, as
// empty slots; an index out of range gives null).
class Mtl : public MtlBase
{
public:
    Mtl(Class_ID classId, std::string className, std::string name);

    int NumSubMtls() const { return int(m_Subs.size()); }
    Mtl* GetSubMtl(int i) const;
    void SetSubMtls(std::vector<Mtl*> subs) { m_Subs = std::move(subs); }

private:
    std::vector<Mtl*> m_Subs;
};

constexpr Class_ID DMTL_CLASS_ID(2, 0);
constexpr Class_ID MULTI_CLASS_ID(0x200, 0);
constexpr Class_ID BAKE_SHELL_CLASS_ID(0x255D2C41, 0x1E6A5E33);
