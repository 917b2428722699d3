#pragma once

#include "render/objects/CKCamera.h"

// Chunk identifiers of the camera's section.
enum : CKDWORD
{
    CK_STATESAVE_CAMERAFOV = 0x400000, // older layouts, read only
    CK_STATESAVE_CAMERAPROJTYPE = 0x800000,
    CK_STATESAVE_CAMERAOTHOZOOM = 0x1000000,
    CK_STATESAVE_CAMERAASPECT = 0x2000000,
    CK_STATESAVE_CAMERAPLANES = 0x4000000,
    CK_STATESAVE_CAMERAONLY = 0xFC00000, // the whole section under one identifier
};

// The first chunk data version with the camera section under one identifier.
constexpr int CK_CAMERA_SINGLESECTIONVERSION = 5;

// The attribute whose parameter names a screen object: the camera then
// projects off-centre through that object's box.
constexpr const char* CK_CAMERA_SCREENATTRIBUTE = "1CamPl8ne4SterCube2Rend";

// The render library's camera.
class RCKCamera : public CKCamera
{
public:
    explicit RCKCamera(CKContext* context, const char* name = nullptr);

    static CKObject* CreateInstance(CKContext* context) { return new RCKCamera(context); }
    static const char* GetClassName() { return "Camera"; }
    static void Register();

    // CKObject
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKCamera
    float GetFrontPlane() override { return m_FrontPlane; }
    void SetFrontPlane(float front) override;
    float GetBackPlane() override { return m_BackPlane; }
    void SetBackPlane(float back) override;
    float GetFov() override { return m_Fov; }
    void SetFov(float fov) override;
    int GetProjectionType() override { return m_ProjectionType; }
    void SetProjectionType(int type) override;
    void SetOrthographicZoom(float zoom) override;
    float GetOrthographicZoom() override { return m_OrthographicZoom; }
    void SetAspectRatio(int width, int height) override;
    void GetAspectRatio(int& width, int& height) override;
    void ComputeProjectionMatrix(QxMatrix& matrix) override;
    void ResetRoll() override;
    void Roll(float angle) override;
    CK3dEntity* GetTarget() override { return nullptr; }
    void SetTarget(CK3dEntity*) override {}

    // The aspect word of a file: height in the high half, width in the low
    // one, each kept to 16 bits so that neither spills into the other.
    static CKDWORD PackAspect(int width, int height);

protected:
    void ProjectionChanged() { ModifyObjectFlags(0, CK_OBJECT_UPTODATE); }
    // The off-centre projection through the screen object named by the
    // camera's attribute; FALSE when there is none or it is degenerate.
    CKBOOL ComputeScreenProjection(QxMatrix& matrix);

    float m_Fov = 0.5f;
    float m_FrontPlane = 1.0f;
    float m_BackPlane = 4000.0f;
    int m_ProjectionType = CK_PERSPECTIVEPROJECTION;
    float m_OrthographicZoom = 1.0f;
    int m_AspectWidth = 4;
    int m_AspectHeight = 3;
};
