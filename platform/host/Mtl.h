#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/Animatable.h"
#include "platform/host/IParamBlock2.h"
#include "platform/host/TSTR.h"

class Texmap;

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
//
// A material may also have texture-map slots (the standard material's),
// parameter blocks (a shell's block 0 holds, as its integer parameter 0, the
// sub-material it renders) and a sub-material it shows in the viewports
// (VPDisplaySubMtl, -1 for none).
class Mtl : public MtlBase
{
public:
    Mtl(Class_ID classId, std::string className, std::string name);
    ~Mtl() override;

    int NumSubMtls() const { return int(m_Subs.size()); }
    Mtl* GetSubMtl(int i) const;
    void SetSubMtls(std::vector<Mtl*> subs) { m_Subs = std::move(subs); }

    // Texture-map slots; null for an index without a map.
    virtual int NumSubTexmaps() const { return 0; }
    virtual Texmap* GetSubTexmap(int i) const;
    // What the material needs of the meshes it is on (MTLREQ_ bits), for
    // sub-material subMtlNum or, with -1, for all.
    virtual ULONG Requirements(int subMtlNum) const;

    int VPDisplaySubMtl() const { return m_VPDisplay; }
    void SetVPDisplaySubMtl(int i) { m_VPDisplay = i; }

    int NumParamBlocks() const override { return int(m_Blocks.size()); }
    IParamBlock2* GetParamBlock(int i) const override;
    IParamBlock2* AddParamBlock();

private:
    std::vector<Mtl*> m_Subs;
    int m_VPDisplay = -1;
    std::vector<std::unique_ptr<IParamBlock2>> m_Blocks;
};

// Requirement bits: face mapping.
constexpr ULONG MTLREQ_FACEMAP = 0x20;

constexpr Class_ID DMTL_CLASS_ID(2, 0);
constexpr Class_ID MULTI_CLASS_ID(0x200, 0);
// The shell material: sub-material 0 the original, 1 the baked one.
constexpr Class_ID BAKE_SHELL_CLASS_ID(0x255, 0);
