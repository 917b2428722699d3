#pragma once

#include <functional>
#include <vector>

#include "includes/XArray.h"
#include "render/objects/pointcloud/CK3dPointCloud.h"
#include "render/objects/pointcloud/CloudFillPlan.h"
#include "render/objects/pointcloud/CloudRunIndex.h"
#include "render/objects/pointcloud/CloudTree.h"
#include "render/objects/pointcloud/CloudTreeBuilder.h"
#include "render/objects/pointcloud/CloudVertexGroups.h"
#include "system/math/QxFrustum.h"
#include "system/runtime/QxTimeProfiler.h"

struct CKPickResult;
class RCloudIterator;
class RCloudSelection;
class RCKRenderContext;
class CKRasterizerContext;

// Cloud flags.
enum : CKDWORD
{
    CLOUD_LIGHTING = 0x1,
    CLOUD_REBUILDLEVELS = 0x2,     // levels of detail and groups are rebuilt before the next drawing
    CLOUD_BUFFERFAILED = 0x4,      // a vertex buffer could not be made while filling
    CLOUD_SHOWPOINTS = 0x8,        // cleared: only the selections are drawn
    CLOUD_REFILLATTRIBUTES = 0x10, // drawn attribute values are written again
};

// Identifiers of the cloud's chunk sections.
enum : CKDWORD
{
    CK_STATESAVE_CLOUDDATA = 0x400000,
    CK_STATESAVE_CLOUDRAWPOINTS = 0x800000, // older files only
    CK_STATESAVE_CLOUDPAGES = 0x1000000,
    CK_STATESAVE_CLOUDATTRIBUTES = 0x2000000,
    CK_STATESAVE_CLOUDMATERIAL = 0x4000000,
    CK_STATESAVE_CLOUDSELECTIONS = 0x8000000,
    CK_STATESAVE_CLOUDONLY = 0x0FC00000,
};

// The current version of the cloud's data section.
constexpr int CK_CLOUD_DATAVERSION = 2;
// Points a cloud holds at most: a point index has 28 bits.
constexpr int CLOUD_MAXPOINTS = 1 << 28;

// The render library's point cloud.
class RCK3dPointCloud : public CK3dPointCloud
{
public:
    // Moveable flags 0x44013, the four built-in attributes, a working
    // selection of capacity 100.
    explicit RCK3dPointCloud(CKContext* context, const char* name = nullptr);
    ~RCK3dPointCloud() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCK3dPointCloud(context); }
    static const char* GetClassName() { return "3D Points Cloud"; }
    static void Register();

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;

    // CKRenderObject
    CKBOOL IsToBeRendered() override { return (m_MoveableFlags & CK_3DENTITY_VISIBLE) != 0; }
    CKBOOL IsToBeRenderedLast() override;

    // CK3dEntity
    CKBOOL Render(CKRenderContext* context, CKDWORD flags) override;
    // The nearest point within the picking radius of the segment (flag
    // bit 0) or ray from start through end, given in the referential's
    // frame.
    CKBOOL RayIntersection(const QxVector* start, const QxVector* end, CKPickResult* result, CK3dEntity* referential,
                           CKDWORD flags = 0) override;
    // World box from the local box; the local box is the cloud's box.
    void UpdateBox(CKBOOL world = TRUE) override;
    // The frustum test of the cloud's box (world matrix loaded unless flag
    // 0x100).
    CKBOOL IsInViewFrustrum(CKRenderContext* context, CKDWORD flags) override;

    // CK3dPointCloud
    CKBOOL CreateFromAsciiFile(const char* fileName) override;
    CKBOOL CreateFromBuffers(int count, const QxVector* positions, const QxVector* normals, const CKDWORD* colors,
                             const CKBYTE* intensities, QxVector& precision) override;
    void EnableLighting(CKBOOL enable) override;
    CKBOOL IsLightingEnabled() override { return (m_CloudFlags & CLOUD_LIGHTING) != 0; }
    void SetPointSize(float size) override { m_PointSize = size; }
    float GetPointSize() override { return m_PointSize; }
    void ShowPoints(CKBOOL show) override;
    CKBOOL ArePointsShown() override { return (m_CloudFlags & CLOUD_SHOWPOINTS) != 0; }
    void SetPickingRadius(float radius) override { m_PickingRadius = radius; }
    float GetPickingRadius() override { return m_PickingRadius; }
    void UsePointSprites(CKBOOL use) override { m_PointSprites = use; }
    CKBOOL IsUsingPointSprites() override { return m_PointSprites; }
    void SetMaterial(CKMaterial* material) override { m_Material = material; }
    CKMaterial* GetMaterial() override { return m_Material; }
    void UseMaterialColor(CKBOOL use) override;
    CKBOOL IsUsingMaterialColor() override { return m_MaterialColorMode; }
    void SetCurrentLevel(int level) override;
    int GetCurrentLevel() override { return m_CurrentLevel; }
    int GetPointCount() override { return m_PointCount; }
    int GetSubdivisionMemory() override { return m_SubdivisionBytes; }
    int GetVertexBufferGroupCount() override { return (int) m_Groups.Groups.size(); }
    int GetVertexDataSize() override { return m_VertexSize * m_PointCount; }
    QxVector* GetTranslation() override { return &m_Translation; }
    float GetRescale() override { return m_Rescale; }
    void SetPositionAndBox(const QxVector* position, CK3dEntity* reference = nullptr) override;
    CloudIterator* GetIterator() override;

    CloudSelection* CreateSelection(const char* name, int capacity) override;
    int GetSelectionCount() override { return m_Selections.Size(); }
    CloudSelection* GetSelectionByName(const char* name) override;
    CloudSelection* GetSelection(int index) override;
    void DeleteSelectionByName(const char* name) override;
    void DeleteSelection(CloudSelection* selection) override;
    int SelectByRay(CKRenderContext* context, const Qx2DVector& screen, CloudSelection* selection,
                    CKBOOL replace = TRUE) override;
    int SelectInOrientedBox(const QxOBB& box, CloudSelection* selection, CKBOOL replace = TRUE) override;
    int SelectInBox(const QxBbox& box, CloudSelection* selection, CKBOOL replace = TRUE) override;
    int SelectInSphere(const QxVector& centre, float radius, CloudSelection* selection, CKBOOL replace = TRUE) override;
    int SelectInCone(const QxCone& cone, CloudSelection* selection, CKBOOL replace = TRUE) override;
    int SelectInEntity(CK3dEntity* entity, CloudSelection* selection, CKBOOL replace = TRUE) override;
    int SelectInEntities(const XObjectPointerArray& entities, CloudSelection* selection,
                         CKBOOL replace = TRUE) override;
    int SelectInGroup(CKGroup* group, CloudSelection* selection, CKBOOL replace = TRUE) override;

    CKBOOL HasNormals() override { return m_Attributes[CLOUD_ATTRIBUTE_NORMALS].Enabled; }
    CKBOOL HasColors() override { return m_Attributes[CLOUD_ATTRIBUTE_COLORS].Enabled; }
    void UseNormals(CKBOOL use) override;
    void UseColors(CKBOOL use) override;
    CKDWORD GetPointColor(int point) override;
    void SetPointColor(int point, CKDWORD argb) override;
    QxVector* GetPointNormal(QxVector* normal, int point) override;
    void SetPointNormal(int point, const QxVector& normal) override;
    CKBYTE GetPointIntensity(int point) override;
    void SetPointIntensity(int point, CKBYTE intensity) override;

    int AddAttribute(const CloudAttributeDesc& desc) override;
    int RemoveAttribute(int index) override;
    int FindAttribute(const char* name) override;
    int GetAttributeCount() override { return (int) m_Attributes.size(); }
    CloudAttribute* GetAttribute(int index) override;
    void SetAttributeDescription(int index, const CloudAttributeDesc& desc) override;
    CKBOOL IsAttributeEnabled(int index) override;
    void EnableAttribute(int index, CKBOOL enable) override;
    CKBOOL IsAttributeDrawn(int index) override;
    void SetAttributeDrawn(int index, CKBOOL drawn) override;
    CKDWORD GetAttributeValue(int point, int attribute) override;
    float GetAttributeFloat(int point, int attribute) override;
    void SetAttributeValue(int point, int attribute, CKDWORD value) override;
    void SetAttributeFloat(int point, int attribute, float value) override;

    void SetClipPlaneCount(int count) override;
    int GetClipPlaneCount() override { return m_ClipPlaneCount; }
    QxVector4* SetClipPlane(int index, const QxVector4& plane) override;
    void GetClipPlane(int index, QxVector4& plane) override;

    CKBOOL LoadAttributesFromTextFile(int attribute, const char* fileName, float offset = 0.0f,
                                      float scale = 1.0f) override;
    CKBOOL LoadAttributesFromArray(int attribute, CKDataArray* array, int column, float offset = 0.0f,
                                   float scale = 1.0f) override;
    CKBOOL CreateFromArray(CKDataArray* array, int column, int secondColumn = 1, int thirdColumn = 2) override;
    CKBOOL Clear(int unused = 0, CKBOOL keepSelections = FALSE) override;
    void SetLevelPointCount(int level, int count) override;
    int GetLevelPointCount(int level) override;

    // What the selections, the iterator and the drawing read.
    const CloudTree& GetTree() const { return m_Tree; }
    CloudTree& GetTree() { return m_Tree; }
    const QxVector& GetBoxMin() const { return m_LocalBox.Min; }
    QxVector GetBoxSize() const { return m_LocalBox.Max - m_LocalBox.Min; }
    float GetInverseRescale() const { return m_InverseRescale; }
    CKDWORD GetCloudFlags() const { return m_CloudFlags; }
    const QxVector& GetPrecision() const { return m_Precision; }
    CKDWORD GetCurrentLevelMask() const { return m_CurrentLevelMask; }
    const CloudVertexGroups& GetVertexGroups() const { return m_Groups; }
    CKDWORD GetVertexFormat() const { return m_VertexFormat; }
    int GetVertexSize() const { return m_VertexSize; }
    RCloudSelection* GetWorkingSelection() const { return m_WorkingSelection; }
    // The clock of the filling budget, in milliseconds (the high-resolution
    // counter unless replaced).
    void SetFillClock(std::function<float()> clock) { m_FillClock = std::move(clock); }

private:
    friend class RCloudSelection;

    // Every selection's drawing data goes out of date.
    void InvalidateSelections();
    // Attribute index in range, with storage.
    CloudAttribute* EnabledAttribute(int index);
    void MarkDrawnChange(const CloudAttribute& attribute);
    // Attribute storage for the point count.
    void SizeAttributes(int count);
    // Sets the flags and node bits that a fresh set of points needs, and
    // shows the cloud.
    void PointsReplaced();
    // Levels, picking radius and pages after the last insertion.
    void FinishCloud();
    // The insertion of one point record with its attribute values.
    void InsertPoint(const QxVector& position, CKDWORD color565, CKDWORD intensity, CKDWORD normalIndex);
    // Starts the subdivision over the box.
    void StartSubdivision();
    // Adds a (not yet) cleared selection of this cloud.
    RCloudSelection* NewSelection(const char* name, int capacity);
    void DeleteAllSelections();
    RCloudSelection* WorkingSelection();
    RCKRenderManager* CloudRenderManager() const;
    // The shape queries' common frame: FALSE (and 0) without points or
    // selection, or when the shape is the selection's last with replace.
    template <class Shape>
    int RunQuery(int kind, const Shape& shape, const float* words, int wordCount, RCloudSelection* selection,
                 CKBOOL replace);
    int SelectInEntityInto(CK3dEntity* entity, RCloudSelection* selection);
    // The run index of the points as they stand, built on first use.
    const CloudRunIndex& RunIndex();

    // Drawing steps.
    void PublishFigures(RCKRenderManager* manager);
    void RebuildGroups(RCKRenderContext* rc, int verticesPerBuffer);
    void Cull(RCKRenderContext* rc);
    void Invalidate();
    void Fill(RCKRenderContext* rc, int level);
    void DrawPoints(RCKRenderContext* rc);
    void DrawSelection(RCKRenderContext* rc, RCloudSelection* selection);
    void SetLighting(CKRasterizerContext* rst, CKBOOL lit);
    // Vertex format of the filling: FVF bits and vertex size.
    void BuildVertexFormat(CKRasterizerContext* rst);
    // Writes the point's non-position values of a vertex at out.
    void WriteVertexValues(CKBYTE* out, CKDWORD pointIndex, CKBOOL materialColor, CKMaterial* material, CKBOOL bgra,
                           CKBOOL withNormal);
    float FillClock();

    float m_PointSize = 1.0f;
    CKMaterial* m_Material = nullptr;
    CKBOOL m_MaterialColorMode = FALSE;
    CKBOOL m_PointSprites = FALSE;
    QxVector m_Translation;
    int m_VerticesPerBuffer = 0;
    int m_BuiltVerticesPerBuffer = 0;
    QxVector m_Precision;
    float m_Rescale = 1.0f;
    float m_InverseRescale = 1.0f;
    int m_MaxDepth = 0;
    int m_PointCount = 0;
    int m_NextPointIndex = 0;
    CKDWORD m_VertexFormat = 0;
    int m_VertexSize = 0;
    CloudTree m_Tree;
    CloudRunIndex m_RunIndex;
    CloudFillPlan m_FillPlan;
    float m_PickingRadius = 1.0f;
    QxFrustum m_Frustum;
    QxVector4 m_ClipPlanes[4];
    int m_ClipPlaneCount = 0;
    int m_LevelCounts[4] = {};
    CKBOOL m_BoxMoved = FALSE;
    XArray<RCloudSelection*> m_Selections;
    RCloudSelection* m_WorkingSelection = nullptr;
    QxTimeProfiler m_Profiler;
    CKDWORD m_CloudFlags = CLOUD_SHOWPOINTS;
    int m_CurrentLevel = 0;
    CKDWORD m_CurrentLevelMask = 0;
    CloudVertexGroups m_Groups;
    std::vector<CloudAttribute> m_Attributes;
    CloudTreeBuilder m_Builder;
    bool m_Building = false;
    int m_SubdivisionBytes = 0;
    std::vector<QxVector> m_RawPoints;
    RCloudIterator* m_Iterator = nullptr;
    std::function<float()> m_FillClock;
    QxTimeProfiler m_FillTimer;
};
