#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"

class CKMaterial;
class CKRenderContext;
class CK3dEntity;

// What a batch is keyed by (seven words): the material binding (material,
// shader data, technique), the vertex format word, a state word, a hash and
// a tail word.
struct CKBatchKey
{
    CKMaterial* Material = nullptr;
    void* ShaderData = nullptr;
    int Technique = -1;
    CKDWORD Format = 0;
    CKDWORD State = 0;
    CKDWORD Hash = 0;
    CKDWORD Tail = 0;
};

struct CKBatchItem;
// Draws one queued item when its batch is replayed.
typedef void (*CKBatchDrawFunction)(CKRenderContext* context, const CKBatchKey& key, const CKBatchItem& item);

// One queued draw: who draws it and what with (for a mesh group: the group,
// the entity and the mesh; for lines: the indices and their count).
struct CKBatchItem
{
    CKBatchDrawFunction Draw = nullptr;
    void* Data[3] = {};
    CKDWORD Words[2] = {};
};

// A signature of the texture channels a mesh draws in one pass: the
// channels' materials and blend words, in order.
struct ChannelSignature
{
    static constexpr int kMaxChannels = 8;
    int Count = 0;
    CKMaterial* Materials[kMaxChannels] = {};
    CKDWORD Blends[kMaxChannels] = {};

    // Up to kMaxChannels entries are kept.
    void Build(int count, CKMaterial* const* materials, const CKDWORD* blends);
    bool operator==(const ChannelSignature& other) const;
};

// Items queued under keys, replayed in key order (items of one key in the
// order they came).
class CKKeyedBatch
{
public:
    void Add(const CKBatchKey& key, const CKBatchItem& item);
    // Calls every item's draw function, keys in increasing order.
    void Replay(CKRenderContext* context) const;
    int GetKeyCount() const { return m_Keys.Size(); }
    int GetItemCount() const;
    // The key at index (in replay order) and its items.
    const CKBatchKey& GetKey(int index) const { return m_Keys[index].Key; }
    const XArray<CKBatchItem>& GetItems(int index) const { return m_Keys[index].Items; }
    void Clear();

private:
    struct Entry
    {
        CKBatchKey Key;
        XArray<CKBatchItem> Items;
    };
    XClassArray<Entry> m_Keys; // sorted
};

// The objects of one scene-graph priority: entities drawn one by one, the
// keyed batches of mesh groups and channels, of lines, of 3D sprites, and
// the material batches of multi-texture signatures.
class RenderBatchGroup
{
public:
    explicit RenderBatchGroup(int priority) : m_Priority(priority) {}
    RenderBatchGroup(const RenderBatchGroup&) = delete;
    RenderBatchGroup& operator=(const RenderBatchGroup&) = delete;
    ~RenderBatchGroup();

    int GetPriority() const { return m_Priority; }
    XArray<CK3dEntity*> m_Entities;
    CKKeyedBatch m_ChannelBatches;
    CKKeyedBatch m_LineBatches;
    CKKeyedBatch m_SpriteBatches;

    // The batch of a signature, made on first use.
    CKKeyedBatch* GetMaterialBatch(const ChannelSignature& signature);
    int GetMaterialBatchCount() const { return m_MaterialBatches.Size(); }
    // The entities first (through their Render, flags given), then the
    // material batches in the order they were made, the channel batches, the
    // 3D sprites and the lines; then empties the group.
    void Replay(CKRenderContext* context, CKDWORD flags);
    CKBOOL IsEmpty() const;

private:
    struct MaterialBatch
    {
        ChannelSignature Signature;
        CKKeyedBatch* Batch;
    };
    int m_Priority;
    XArray<MaterialBatch> m_MaterialBatches; // owned batches
};

// A render context's batches, one group per priority, replayed from the
// highest priority down.
class RenderBatchList
{
public:
    RenderBatchList() = default;
    RenderBatchList(const RenderBatchList&) = delete;
    RenderBatchList& operator=(const RenderBatchList&) = delete;
    ~RenderBatchList();

    // The group of a scene-graph priority (0 .. 20000), made on first use.
    RenderBatchGroup* GetGroup(int priority);
    static void AddToBatch(RenderBatchGroup* group, const CKBatchKey& key, const CKBatchItem& item);
    static void AddToChannelBatch(RenderBatchGroup* group, const CKBatchKey& key, const CKBatchItem& item);
    static CKKeyedBatch* GetMaterialBatch(RenderBatchGroup* group, const ChannelSignature& signature);
    // Queues a 3D sprite, drawn by its Render when replayed.
    static void AddSprite3D(CKRenderContext* context, RenderBatchGroup* group, const CKBatchKey& key,
                            CK3dEntity* sprite);

    int GetGroupCount() const { return m_Groups.Size(); }
    // Replays every group from the highest priority down and empties them.
    void Replay(CKRenderContext* context, CKDWORD flags);
    // Forgets what is queued (an object being deleted may be in it).
    void Clear();

private:
    XArray<RenderBatchGroup*> m_Groups; // owned, by decreasing priority
};
