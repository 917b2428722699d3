#pragma once

#include "render/objects/RCK3dEntity.h"
#include "render/objects/pointcloud/CloudAttribute.h"
#include "render/objects/pointcloud/CloudIterator.h"
#include "render/objects/pointcloud/CloudSelection.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxCone.h"
#include "system/math/QxOBB.h"
#include "system/math/QxVector4.h"

class CKDataArray;
class CKGroup;
class CKMaterial;
class XObjectPointerArray;

// Indices of the built-in attributes.
enum : int
{
    CLOUD_ATTRIBUTE_UNUSED = 0,
    CLOUD_ATTRIBUTE_COLORS = 1,    // 5-6-5 colours, 16 bits
    CLOUD_ATTRIBUTE_NORMALS = 2,   // normal table indices, 10 bits
    CLOUD_ATTRIBUTE_INTENSITY = 3, // 8 bits
};

// A 3D entity made of points (class 56): each point has a position, kept
// quantised in a subdivision of the cloud's box, and optional attributes
// (colour, normal, intensity and user attributes). Clouds come from ASCII
// point files or arrays, are drawn with levels of detail, and keep named
// selections of points chosen by spatial queries.
//
// Point and attribute indices out of range read as 0 and write nothing.
class CK3dPointCloud : public CKClass<CK3dPointCloud, RCK3dEntity, CKCID_3DPOINTCLOUD>
{
public:
    using CKClass::CKClass;

    // Reads an ASCII point file (with its ".desc" header when there is one);
    // FALSE when the file was refused.
    virtual CKBOOL CreateFromAsciiFile(const char* fileName) = 0;
    // count points; normals, colours (ARGB) and intensities may be null. A
    // precision of (nearly) zero length is replaced by the box size times
    // "Points Cloud/DefaultPrecision", written back. FALSE for a count no
    // point index holds (negative or from 2^28) or null positions.
    virtual CKBOOL CreateFromBuffers(int count, const QxVector* positions, const QxVector* normals,
                                     const CKDWORD* colors, const CKBYTE* intensities, QxVector& precision) = 0;
    // Non-zero is refused (console message) without normals.
    virtual void EnableLighting(CKBOOL enable) = 0;
    virtual CKBOOL IsLightingEnabled() = 0;
    virtual void SetPointSize(float size) = 0;
    virtual float GetPointSize() = 0;
    // Hidden points leave only the selections drawn.
    virtual void ShowPoints(CKBOOL show) = 0;
    virtual CKBOOL ArePointsShown() = 0;
    virtual void SetPickingRadius(float radius) = 0;
    virtual float GetPickingRadius() = 0;
    virtual void UsePointSprites(CKBOOL use) = 0;
    virtual CKBOOL IsUsingPointSprites() = 0;
    virtual void SetMaterial(CKMaterial* material) = 0;
    virtual CKMaterial* GetMaterial() = 0;
    virtual void UseMaterialColor(CKBOOL use) = 0;
    virtual CKBOOL IsUsingMaterialColor() = 0;
    // The level of detail drawn: 0 automatic (all points), 1 to 3.
    virtual void SetCurrentLevel(int level) = 0;
    virtual int GetCurrentLevel() = 0;
    virtual int GetPointCount() = 0;
    // Bytes of the subdivision pages.
    virtual int GetSubdivisionMemory() = 0;
    virtual int GetVertexBufferGroupCount() = 0;
    virtual int GetVertexDataSize() = 0;
    // What the point file's header added and multiplied.
    virtual QxVector* GetTranslation() = 0;
    virtual float GetRescale() = 0;
    // Moves the cloud and its box together; position in the reference's
    // frame (the world for null).
    virtual void SetPositionAndBox(const QxVector* position, CK3dEntity* reference = nullptr) = 0;
    // A new iterator over the whole cloud (the previous one is deleted).
    virtual CloudIterator* GetIterator() = 0;

    // Selections.
    virtual CloudSelection* CreateSelection(const char* name, int capacity) = 0;
    virtual int GetSelectionCount() = 0;
    // The first selection of that name, null when none.
    virtual CloudSelection* GetSelectionByName(const char* name) = 0;
    virtual CloudSelection* GetSelection(int index) = 0;
    virtual void DeleteSelectionByName(const char* name) = 0;
    virtual void DeleteSelection(CloudSelection* selection) = 0;
    // The queries: the number of points added to the selection (0 without
    // points or selection). replace empties the selection first, and a
    // repeated query of the same shape then changes nothing.
    virtual int SelectByRay(CKRenderContext* context, const Qx2DVector& screen, CloudSelection* selection,
                            CKBOOL replace = TRUE) = 0;
    virtual int SelectInOrientedBox(const QxOBB& box, CloudSelection* selection, CKBOOL replace = TRUE) = 0;
    virtual int SelectInBox(const QxBbox& box, CloudSelection* selection, CKBOOL replace = TRUE) = 0;
    virtual int SelectInSphere(const QxVector& centre, float radius, CloudSelection* selection,
                               CKBOOL replace = TRUE) = 0;
    virtual int SelectInCone(const QxCone& cone, CloudSelection* selection, CKBOOL replace = TRUE) = 0;
    // The points inside the entity's current mesh, taken as a convex volume.
    virtual int SelectInEntity(CK3dEntity* entity, CloudSelection* selection, CKBOOL replace = TRUE) = 0;
    virtual int SelectInEntities(const XObjectPointerArray& entities, CloudSelection* selection,
                                 CKBOOL replace = TRUE) = 0;
    virtual int SelectInGroup(CKGroup* group, CloudSelection* selection, CKBOOL replace = TRUE) = 0;

    // Built-in attributes.
    virtual CKBOOL HasNormals() = 0;
    virtual CKBOOL HasColors() = 0;
    virtual void UseNormals(CKBOOL use) = 0;
    virtual void UseColors(CKBOOL use) = 0;
    // White without colours.
    virtual CKDWORD GetPointColor(int point) = 0;
    virtual void SetPointColor(int point, CKDWORD argb) = 0;
    // The table normal; (0, 0, 0) without normals.
    virtual QxVector* GetPointNormal(QxVector* normal, int point) = 0;
    virtual void SetPointNormal(int point, const QxVector& normal) = 0;
    virtual CKBYTE GetPointIntensity(int point) = 0;
    virtual void SetPointIntensity(int point, CKBYTE intensity) = 0;

    // Attributes.
    // The index of the attribute of that name, added when absent.
    virtual int AddAttribute(const CloudAttributeDesc& desc) = 0;
    // Built-in attributes stay; the index given.
    virtual int RemoveAttribute(int index) = 0;
    // -1 when absent.
    virtual int FindAttribute(const char* name) = 0;
    virtual int GetAttributeCount() = 0;
    // Null out of range.
    virtual CloudAttribute* GetAttribute(int index) = 0;
    virtual void SetAttributeDescription(int index, const CloudAttributeDesc& desc) = 0;
    virtual CKBOOL IsAttributeEnabled(int index) = 0;
    virtual void EnableAttribute(int index, CKBOOL enable) = 0;
    virtual CKBOOL IsAttributeDrawn(int index) = 0;
    virtual void SetAttributeDrawn(int index, CKBOOL drawn) = 0;
    virtual CKDWORD GetAttributeValue(int point, int attribute) = 0;
    virtual float GetAttributeFloat(int point, int attribute) = 0;
    // Values wider than the attribute keep their low bits.
    virtual void SetAttributeValue(int point, int attribute, CKDWORD value) = 0;
    virtual void SetAttributeFloat(int point, int attribute, float value) = 0;

    // User clip planes (0 to 4).
    virtual void SetClipPlaneCount(int count) = 0;
    virtual int GetClipPlaneCount() = 0;
    // Null for an index above 3.
    virtual QxVector4* SetClipPlane(int index, const QxVector4& plane) = 0;
    virtual void GetClipPlane(int index, QxVector4& plane) = 0;

    // Attribute values from a text file (one value a point) or a data-array
    // column; floats become (value + offset) x scale.
    virtual CKBOOL LoadAttributesFromTextFile(int attribute, const char* fileName, float offset = 0.0f,
                                              float scale = 1.0f) = 0;
    virtual CKBOOL LoadAttributesFromArray(int attribute, CKDataArray* array, int column, float offset = 0.0f,
                                           float scale = 1.0f) = 0;
    // Positions from a data array: a text column ("x z y"), a vector column,
    // or three float columns.
    virtual CKBOOL CreateFromArray(CKDataArray* array, int column, int secondColumn = 1, int thirdColumn = 2) = 0;
    // Drops the points and drawing data; the selections too unless kept.
    virtual CKBOOL Clear(int unused = 0, CKBOOL keepSelections = FALSE) = 0;
    // Points drawn at levels 1 to 3; each at most the level before.
    virtual void SetLevelPointCount(int level, int count) = 0;
    virtual int GetLevelPointCount(int level) = 0;
};
