#pragma once

#include "render/objects/CKCurvePoint.h"

class RCKCurve;

// Chunk identifiers of the curve point's section.
enum : CKDWORD
{
    CK_STATESAVE_CURVEPOINTDEFAULTDATA = 0x10000000, // curve, flags, shape, tangents
    CK_STATESAVE_CURVEPOINTTCB = 0x20000000,         // older layout, read only
    CK_STATESAVE_CURVEPOINTTANGENTS = 0x40000000,    // older layout, read only
    CK_STATESAVE_CURVEPOINTCURVEPOS = 0x80000000,    // older layout, read only
    CK_STATESAVE_CURVEPOINTONLY = 0xF0000000,
};

// Data versions from which the curve and its points write one section.
constexpr int CK_CURVE_SINGLESECTIONVERSION = 5;

// The render library's curve point. The link to the curve is kept by id, so
// that a point whose curve went never reaches it.
class RCKCurvePoint : public CKCurvePoint
{
public:
    explicit RCKCurvePoint(CKContext* context, const char* name = nullptr) : CKCurvePoint(context, name) {}

    static CKObject* CreateInstance(CKContext* context) { return new RCKCurvePoint(context); }
    static const char* GetClassName() { return "Curve Point"; }
    static void Register();

    // CKObject
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPostDeletion() override {}
    int GetMemoryOccupation() override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CK3dEntity transform setters: the entity's, then NotifyUpdate.
    void Rotate(const QxVector* axis, float angle, CK3dEntity* referential = nullptr,
                CKBOOL keepChildren = FALSE) override;
    void Translate(const QxVector* vector, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void AddScale(const QxVector* scale, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) override;
    void SetPosition(const QxVector* position, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void SetOrientation(const QxVector* direction, const QxVector* up, const QxVector* right = nullptr,
                        CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE) override;
    void SetQuaternion(const QxQuaternion* quaternion, CK3dEntity* referential = nullptr, CKBOOL keepChildren = FALSE,
                       CKBOOL keepScale = FALSE) override;
    void SetScale(const QxVector* scale, CKBOOL keepChildren = FALSE, CKBOOL local = TRUE) override;
    CKBOOL ConstructWorldMatrix(const QxVector* position, const QxVector* scale,
                                const QxQuaternion* quaternion) override;
    CKBOOL ConstructWorldMatrixEx(const QxVector* position, const QxVector* scale, const QxQuaternion* quaternion,
                                  const QxQuaternion* shear, float sign) override;
    CKBOOL ConstructLocalMatrix(const QxVector* position, const QxVector* scale,
                                const QxQuaternion* quaternion) override;
    CKBOOL ConstructLocalMatrixEx(const QxVector* position, const QxVector* scale, const QxQuaternion* quaternion,
                                  const QxQuaternion* shear, float sign) override;
    void SetLocalMatrix(const QxMatrix& matrix, CKBOOL keepChildren = FALSE) override;
    void SetWorldMatrix(const QxMatrix& matrix, CKBOOL keepChildren = FALSE) override;

    // CKCurvePoint
    CKCurve* GetCurve() override;
    float GetBias() override { return m_Bias; }
    void SetBias(float bias) override;
    float GetTension() override { return m_Tension; }
    void SetTension(float tension) override;
    float GetContinuity() override { return m_Continuity; }
    void SetContinuity(float continuity) override;
    int IsLinear() override { return m_Linear; }
    void SetLinear(int linear) override;
    void UseTCB(int use) override { m_UserTangents = use == 0; }
    CKBOOL IsTCB() override { return m_UserTangents == 0; }
    float GetLength() override { return m_Length; }
    void GetTangents(QxVector* in, QxVector* out) override;
    void SetTangents(const QxVector* in, const QxVector* out) override;
    void NotifyUpdate() override;

    // The curve's side of the link (null clears it; a curve also becomes the
    // parent, keeping the world position).
    void SetCurve(CKCurve* curve);
    CK_ID GetCurveID() const { return m_Curve; }

    // What the curve computes for the point.
    float m_Length = 0.0f;
    QxVector m_CurvePosition;
    QxVector m_FittedPosition;

private:
    CK_ID m_Curve = 0;
    float m_Tension = 0.0f;
    float m_Continuity = 0.0f;
    float m_Bias = 0.0f;
    QxVector m_InTangent;
    QxVector m_OutTangent;
    int m_UserTangents = 0;
    int m_Linear = 0;
};
