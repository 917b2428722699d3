#pragma once

#include <vector>

#include "includes/XArray.h"
#include "render/objects/pointcloud/CloudSelection.h"
#include "system/math/QxPlane.h"

class RCK3dPointCloud;

// Kinds of the query a selection last took.
enum : int
{
    CLOUD_QUERY_RAY = 0,
    CLOUD_QUERY_BOX = 1,
    CLOUD_QUERY_SPHERE = 3,
    CLOUD_QUERY_ORIENTEDBOX = 4,
    CLOUD_QUERY_CONE = 5,
    CLOUD_QUERY_ENTITY = 6,
    CLOUD_QUERY_ENTITIES = 7,
    CLOUD_QUERY_KINDS = 8,
};

// The selection of a cloud's points: its entries, the last shape of each
// query kind (a repeated query with replace changes nothing), and the
// vertex buffers that draw it.
class RCloudSelection : public CloudSelection
{
public:
    RCloudSelection(RCK3dPointCloud* cloud, int capacity, const char* name = nullptr);
    // Releases the vertex buffers through the render manager.
    ~RCloudSelection() override;
    RCloudSelection(const RCloudSelection&) = delete;
    RCloudSelection& operator=(const RCloudSelection&) = delete;

    const XString* GetName() override { return &m_Name; }
    void SetName(const XString& name) override { m_Name = name; }
    CKMaterial* GetMaterial() override { return m_Material; }
    void SetMaterial(CKMaterial* material) override;
    CKBOOL UseMaterialColor(CKBOOL use) override;
    CKBOOL IsUsingMaterialColor() override { return (m_Flags & CLOUD_SELECTION_MATERIALCOLOR) != 0; }
    CKBOOL IsVisible() override { return (m_Flags & CLOUD_SELECTION_VISIBLE) != 0; }
    void SetVisible(CKBOOL visible) override { SetFlag(CLOUD_SELECTION_VISIBLE, visible); }
    CKBOOL IsLit() override { return (m_Flags & CLOUD_SELECTION_LIT) != 0; }
    void SetLit(CKBOOL lit) override { SetFlag(CLOUD_SELECTION_LIT, lit); }
    int GetPointCount() override { return (int) m_Entries.size(); }
    CloudSelectionEntry* GetEntry(int index) override;
    CKDWORD GetEntryPointIndex(int index) override;
    int GetCapacity() override { return m_Capacity; }
    void SetCapacity(int capacity) override;
    int GetDrawMode() override { return (int) (m_Flags & CLOUD_SELECTION_DRAWMODEMASK); }
    void SetDrawMode(int mode) override;
    CKMesh* GetMesh() override { return m_Mesh; }
    void SetMesh(CKMesh* mesh) override { m_Mesh = mesh; }
    void Reset() override;

    CKDWORD GetFlags() const { return m_Flags; }
    void SetFlags(CKDWORD flags) { m_Flags = flags; }
    void ModifyFlags(CKDWORD add, CKDWORD remove) { m_Flags = (m_Flags & ~remove) | add; }
    RCK3dPointCloud* GetCloud() const { return m_Cloud; }
    int GetKind() const { return m_Kind; }

    // The query steps: FALSE when the same shape was asked last with
    // replace (nothing to do). Otherwise the kind becomes the query's, the
    // entries are emptied with replace, and the shape is kept.
    CKBOOL Prepare(int kind, const float* shape, int floatCount, CKBOOL replace);
    // Appends an entry while below the capacity; FALSE when full.
    bool Add(const QxVector& position, CKDWORD pointIndex)
    {
        if ((int) m_Entries.size() >= m_Capacity)
            return false;
        m_Entries.push_back({position, pointIndex});
        return true;
    }
    // Appends entries while below the capacity; false when some did not
    // fit (as Add, entry by entry).
    bool AddRun(const CloudSelectionEntry* entries, int count)
    {
        const int room = m_Capacity - (int) m_Entries.size();
        const int taken = count < room ? count : room;
        if (taken > 0)
            m_Entries.insert(m_Entries.end(), entries, entries + taken);
        return taken == count;
    }
    bool IsFull() const { return (int) m_Entries.size() >= m_Capacity; }
    // Forgets the material and mesh when they are being deleted.
    void CheckPreDeletion();
    // Drawing data: one vertex buffer per block of entries.
    XArray<CKDWORD>& GetVertexBuffers() { return m_VertexBuffers; }
    void ReleaseVertexBuffers();

private:
    void SetFlag(CKDWORD flag, CKBOOL set) { m_Flags = set ? (m_Flags | flag) : (m_Flags & ~flag); }
    // The next query searches its shape again, whatever the last one was.
    void ForgetShapes()
    {
        for (bool& kept : m_ShapeKept)
            kept = false;
    }

    static constexpr int kShapeFloats = 15;

    XString m_Name;
    int m_Capacity = 0;
    CKDWORD m_Flags = CLOUD_SELECTION_VISIBLE;
    CKMaterial* m_Material = nullptr;
    CKMesh* m_Mesh = nullptr;
    XArray<CKDWORD> m_VertexBuffers;
    RCK3dPointCloud* m_Cloud = nullptr;
    int m_Kind = 0;
    std::vector<CloudSelectionEntry> m_Entries;
    float m_Shapes[CLOUD_QUERY_KINDS][kShapeFloats] = {};
    bool m_ShapeKept[CLOUD_QUERY_KINDS] = {};
};
