#include "render/context/RenderBatchList.h"

#include <cstring>

#include "render/objects/CK3dEntity.h"

namespace {

// Key order: hash first (the cheap discriminant), then the other words.
int CompareKeys(const CKBatchKey& a, const CKBatchKey& b)
{
    const uintptr_t wordsA[] = {
        a.Hash, (uintptr_t) a.Material, (uintptr_t) a.ShaderData, (uintptr_t) a.Technique, a.Format, a.State, a.Tail};
    const uintptr_t wordsB[] = {
        b.Hash, (uintptr_t) b.Material, (uintptr_t) b.ShaderData, (uintptr_t) b.Technique, b.Format, b.State, b.Tail};
    for (int i = 0; i < 7; ++i)
        if (wordsA[i] != wordsB[i])
            return wordsA[i] < wordsB[i] ? -1 : 1;
    return 0;
}

// A queued sprite is drawn as an entity of its own when its batch replays.
void DrawSprite3D(CKRenderContext* context, const CKBatchKey&, const CKBatchItem& item)
{
    static_cast<CK3dEntity*>(item.Data[0])->Render(context, item.Words[0]);
}

} // namespace

void ChannelSignature::Build(int count, CKMaterial* const* materials, const CKDWORD* blends)
{
    Count = count < 0 ? 0 : (count > kMaxChannels ? kMaxChannels : count);
    for (int i = 0; i < kMaxChannels; ++i) {
        Materials[i] = i < Count && materials ? materials[i] : nullptr;
        Blends[i] = i < Count && blends ? blends[i] : 0;
    }
}

bool ChannelSignature::operator==(const ChannelSignature& other) const
{
    if (Count != other.Count)
        return false;
    for (int i = 0; i < Count; ++i)
        if (Materials[i] != other.Materials[i] || Blends[i] != other.Blends[i])
            return false;
    return true;
}

void CKKeyedBatch::Add(const CKBatchKey& key, const CKBatchItem& item)
{
    int low = 0, high = m_Keys.Size();
    while (low < high) {
        int middle = (low + high) / 2;
        int c = CompareKeys(m_Keys[middle].Key, key);
        if (c == 0) {
            m_Keys[middle].Items.PushBack(item);
            return;
        }
        if (c < 0)
            low = middle + 1;
        else
            high = middle;
    }
    Entry entry;
    entry.Key = key;
    entry.Items.PushBack(item);
    m_Keys.Insert(low, entry);
}

void CKKeyedBatch::Replay(CKRenderContext* context) const
{
    for (const Entry& entry : m_Keys)
        for (const CKBatchItem& item : entry.Items)
            if (item.Draw)
                item.Draw(context, entry.Key, item);
}

int CKKeyedBatch::GetItemCount() const
{
    int count = 0;
    for (const Entry& entry : m_Keys)
        count += entry.Items.Size();
    return count;
}

void CKKeyedBatch::Clear()
{
    m_Keys.Clear();
}

RenderBatchGroup::~RenderBatchGroup()
{
    for (MaterialBatch& m : m_MaterialBatches)
        delete m.Batch;
}

CKKeyedBatch* RenderBatchGroup::GetMaterialBatch(const ChannelSignature& signature)
{
    for (MaterialBatch& m : m_MaterialBatches)
        if (m.Signature == signature)
            return m.Batch;
    MaterialBatch m;
    m.Signature = signature;
    m.Batch = new CKKeyedBatch;
    m_MaterialBatches.PushBack(m);
    return m.Batch;
}

void RenderBatchGroup::Replay(CKRenderContext* context, CKDWORD flags)
{
    // An entity drawn now may queue more into the group; take them first.
    XArray<CK3dEntity*> entities = m_Entities;
    m_Entities.Clear();
    for (CK3dEntity* entity : entities)
        entity->Render(context, flags);
    for (MaterialBatch& m : m_MaterialBatches)
        m.Batch->Replay(context);
    m_ChannelBatches.Replay(context);
    m_SpriteBatches.Replay(context);
    m_LineBatches.Replay(context);
    for (MaterialBatch& m : m_MaterialBatches)
        m.Batch->Clear();
    m_ChannelBatches.Clear();
    m_SpriteBatches.Clear();
    m_LineBatches.Clear();
}

CKBOOL RenderBatchGroup::IsEmpty() const
{
    for (const MaterialBatch& m : m_MaterialBatches)
        if (m.Batch->GetKeyCount())
            return FALSE;
    return m_Entities.Size() == 0 && m_ChannelBatches.GetKeyCount() == 0 && m_SpriteBatches.GetKeyCount() == 0 &&
           m_LineBatches.GetKeyCount() == 0;
}

RenderBatchList::~RenderBatchList()
{
    for (RenderBatchGroup* group : m_Groups)
        delete group;
}

RenderBatchGroup* RenderBatchList::GetGroup(int priority)
{
    int at = 0;
    while (at < m_Groups.Size() && m_Groups[at]->GetPriority() > priority)
        ++at;
    if (at < m_Groups.Size() && m_Groups[at]->GetPriority() == priority)
        return m_Groups[at];
    RenderBatchGroup* group = new RenderBatchGroup(priority);
    m_Groups.Insert(at, group);
    return group;
}

void RenderBatchList::AddToBatch(RenderBatchGroup* group, const CKBatchKey& key, const CKBatchItem& item)
{
    if (group)
        group->m_LineBatches.Add(key, item);
}

void RenderBatchList::AddToChannelBatch(RenderBatchGroup* group, const CKBatchKey& key, const CKBatchItem& item)
{
    if (group)
        group->m_ChannelBatches.Add(key, item);
}

CKKeyedBatch* RenderBatchList::GetMaterialBatch(RenderBatchGroup* group, const ChannelSignature& signature)
{
    return group ? group->GetMaterialBatch(signature) : nullptr;
}

void RenderBatchList::AddSprite3D(CKRenderContext*, RenderBatchGroup* group, const CKBatchKey& key, CK3dEntity* sprite)
{
    if (!group || !sprite)
        return;
    CKBatchItem item;
    item.Draw = &DrawSprite3D;
    item.Data[0] = sprite;
    group->m_SpriteBatches.Add(key, item);
}

void RenderBatchList::Replay(CKRenderContext* context, CKDWORD flags)
{
    for (int i = 0; i < m_Groups.Size(); ++i)
        m_Groups[i]->Replay(context, flags);
}

void RenderBatchList::Clear()
{
    for (RenderBatchGroup* group : m_Groups)
        delete group;
    m_Groups.Clear();
}
