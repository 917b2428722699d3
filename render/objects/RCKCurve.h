#pragma once

#include "core/object/XObjectPointerArray.h"
#include "render/objects/CKCurve.h"

class RCKCurvePoint;

// Chunk identifiers of the curve's section.
enum : CKDWORD
{
    CK_STATESAVE_CURVEFITCOEFF = 0x400000,     // older layout, read only
    CK_STATESAVE_CURVECONTROLPOINT = 0x800000, // older layout, read only
    CK_STATESAVE_CURVESTEPS = 0x1000000,       // older layout, read only
    CK_STATESAVE_CURVEOPEN = 0x2000000,        // older layout, read only
    CK_STATESAVE_CURVESAVEPOINTS = 0xFF000000, // the points' whole states, without a file
    CK_STATESAVE_CURVEONLY = 0xFFC00000,       // points, fitting, steps, open flag
};

// Line meshes are built with at most this many steps: the step count is
// stored as given (files included) but drawing more would only size a mesh
// by an unchecked number.
constexpr int CK_CURVE_MAXMESHSTEPS = 65536;

// The render library's curve. The points are context objects the curve only
// lists: destroying a point drops it from the list, destroying the curve
// clears the points' links.
class RCKCurve : public CKCurve
{
public:
    explicit RCKCurve(CKContext* context, const char* name = nullptr) : CKCurve(context, name) {}
    ~RCKCurve() override = default;

    static CKObject* CreateInstance(CKContext* context) { return new RCKCurve(context); }
    static const char* GetClassName() { return "Curve"; }
    static void Register();

    // CKObject
    void Show(CKDWORD show = CKSHOW) override;
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PreDelete() override;
    void CheckPreDeletion() override;
    void CheckPostDeletion() override {}
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CK3dEntity: both bring the curve up to date first.
    CKBOOL Render(CKRenderContext* context, CKDWORD flags) override;
    // The curve's data first when they are not up to date.
    void UpdateBox(CKBOOL world = TRUE) override;

    // CKCurve
    float GetLength() override;
    void Open() override;
    void Close() override;
    int IsOpen() override { return m_Open; }
    CKERROR GetPos(float s, QxVector* position, QxVector* tangent = nullptr) override;
    CKERROR GetLocalPos(float s, QxVector* position, QxVector* tangent = nullptr) override;
    CKERROR GetTangentsByPoint(CKCurvePoint* point, QxVector* in, QxVector* out) override;
    CKERROR GetTangents(int index, QxVector* in, QxVector* out) override;
    CKERROR SetTangentsByPoint(CKCurvePoint* point, const QxVector* in, const QxVector* out) override;
    CKERROR SetTangents(int index, const QxVector* in, const QxVector* out) override;
    void SetFittingCoeff(float fit) override;
    float GetFittingCoeff() override { return m_FittingCoeff; }
    CKERROR RemoveControlPoint(CKCurvePoint* point, CKBOOL removeAll = FALSE) override;
    CKERROR InsertControlPoint(CKCurvePoint* before, CKCurvePoint* point) override;
    CKERROR AddControlPoint(CKCurvePoint* point) override;
    int GetControlPointCount() override { return m_Points.Size(); }
    CKCurvePoint* GetControlPoint(int index) override;
    CKERROR RemoveAllControlPoints() override;
    CKERROR SetStepCount(int steps) override;
    int GetStepCount() override { return m_StepCount; }
    CKERROR CreateLineMesh() override;
    CKERROR UpdateMesh() override;
    QxColor GetColor() override { return QxColor(m_Color); }
    CKERROR SetColor(const QxColor& color) override;
    void Update() override;

    // The cubic Hermite form the curve interpolates with, in 32-bit floats.
    static QxVector Hermite(const QxVector& a, const QxVector& b, const QxVector& ta, const QxVector& tb, float t);

private:
    RCKCurvePoint* Point(int index) const;
    // Wraps an index as the tangents and fitting read it.
    int Wrap(int index) const;
    void OutOfDate() { ModifyObjectFlags(0, CK_OBJECT_UPTODATE); }
    void UpdateIfNeeded()
    {
        if (!(GetObjectFlags() & CK_OBJECT_UPTODATE))
            Update();
    }
    // Position and (unnormalised) tangent in the curve's frame.
    CKERROR Evaluate(float s, QxVector* position, QxVector* tangent);
    // Mesh segments of the curve segment from point i to the next.
    int MeshSegments(int i, int steps) const;
    void FillKnots();
    // Keeps only the curve points of the list, each once.
    void KeepCurvePoints();

    XObjectPointerArray m_Points;
    // What GetPos reads of each point, as the last Update left it, side by
    // side: the search and the segment touch no point object.
    struct Knot
    {
        float Length;
        int Linear;
        QxVector Fitted, In, Out;
    };
    XArray<Knot> m_Knots;
    int m_Open = 1;
    float m_Length = 0.0f;
    int m_StepCount = 100;
    float m_FittingCoeff = 0.0f;
    CKDWORD m_Color = 0xFFFFFFFF;
    int m_Loading = 0;
};
