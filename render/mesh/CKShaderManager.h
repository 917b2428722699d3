#pragma once

#include "core/context/CKBaseManager.h"

class CKContext;

// The shader manager belongs to a plug-in outside the engine; a context may
// have none. Meshes, 2D entities, 3D sprites and point clouds look it up
// here and take their material path when it is absent.
constexpr CKGUID SHADER_MANAGER_GUID(0xBA495345, 0x5252B45F);

// What the engine's drawing and geometry code use of a shader manager.
class CKShaderManager : public CKBaseManager
{
public:
    using CKBaseManager::CKBaseManager;

    // 0 asks for tangent vectors accumulated over the faces of each vertex;
    // any other answer for the per-corner computation.
    virtual int GetTangentMode() = 0;
    // Bracket the passes of a mesh drawn with a shader.
    virtual void BeginShaderSection() = 0;
    virtual void EndShaderSection() = 0;
};

// The context's shader manager; null when none is registered under the GUID
// (or the manager registered there is not one).
CKShaderManager* CKGetShaderManager(CKContext* context);
// TRUE when tangent vectors are to be accumulated over faces: a shader
// manager is present and its mode query answers 0. Without a manager the
// per-corner computation is used.
CKBOOL CKAccumulateTangents(CKContext* context);
