#include <algorithm>
#include <cmath>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKClassChunk.h"
#include "render/objects/pointcloud/CloudTreeChunk.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudIterator.h"
#include "render/objects/pointcloud/RCloudSelection.h"
#include "system/log/QxLogManager.h"

namespace {

int RemainingWords(CKStateChunk& chunk)
{
    return chunk.GetDataSize() / 4 - chunk.GetCurrentPos();
}

template <class T>
T* ObjectOfClass(CKObject* object, CK_CLASSID cid)
{
    return object && CKIsChildClassOfObject(object, cid) ? static_cast<T*>(object) : nullptr;
}

// Words a saved selection takes at least: four words, two string words and
// two object words.
constexpr int kLeastSelectionWords = 6;
// ... and a saved attribute.
constexpr int kLeastAttributeWords = 8;

} // namespace

CKStateChunk* RCK3dPointCloud::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CK3dPointCloud::m_ClassID, RCK3dEntity::Save(file, flags), file, flags,
                            CK_STATESAVE_CLOUDONLY, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_CLOUDDATA);
                                chunk.WriteInt(CK_CLOUD_DATAVERSION);
                                chunk.WriteInt(m_PointCount);
                                chunk.WriteInt(IsLightingEnabled());
                                chunk.WriteVector(m_Precision);
                                chunk.WriteVector(m_LocalBox.Min);
                                chunk.WriteVector(m_LocalBox.Max);
                                chunk.WriteFloat(m_PointSize);
                                chunk.WriteVector(m_Translation);
                                chunk.WriteFloat(m_Rescale);
                                chunk.WriteFloat(m_PickingRadius);
                                chunk.WriteInt(ArePointsShown());
                                for (int l = 1; l <= 3; ++l)
                                    chunk.WriteInt(m_LevelCounts[l]);

                                chunk.WriteIdentifier(CK_STATESAVE_CLOUDPAGES);
                                CloudWritePages(chunk, m_Tree);

                                chunk.WriteIdentifier(CK_STATESAVE_CLOUDMATERIAL);
                                chunk.WriteInt(1);
                                chunk.WriteObject(m_Material);
                                chunk.WriteString("");
                                chunk.WriteInt(m_PointSprites);
                                chunk.WriteInt(m_CurrentLevel);
                                chunk.WriteInt(m_MaterialColorMode);
                                chunk.WriteFloat(m_PointSize);
                                chunk.WriteInt(0);

                                chunk.WriteIdentifier(CK_STATESAVE_CLOUDATTRIBUTES);
                                chunk.WriteInt((int) m_Attributes.size());
                                for (const CloudAttribute& a : m_Attributes) {
                                    chunk.WriteInt(a.Type);
                                    chunk.WriteString(a.Name.CStr());
                                    chunk.WriteString("");
                                    chunk.WriteInt(a.Bits);
                                    chunk.WriteDword(a.Flags);
                                    chunk.WriteInt(0);
                                    chunk.WriteInt(a.Enabled);
                                    chunk.WriteDword(a.Mask);
                                    if (a.Enabled) {
                                        // Exactly the size a loader expects for the point count.
                                        std::vector<CKBYTE> data(a.ByteSizeFor(m_PointCount), 0);
                                        std::copy_n(a.Data.begin(), std::min(a.Data.size(), data.size()), data.begin());
                                        chunk.WriteBufferNoSize((int) data.size(), data.data());
                                    }
                                }

                                chunk.WriteIdentifier(CK_STATESAVE_CLOUDSELECTIONS);
                                chunk.WriteInt(m_Selections.Size());
                                for (RCloudSelection* s : m_Selections) {
                                    chunk.WriteInt(0);
                                    chunk.WriteInt(s->GetCapacity());
                                    chunk.WriteDword(s->GetFlags());
                                    chunk.WriteString(s->GetName()->CStr());
                                    chunk.WriteObject(s->GetMaterial());
                                    chunk.WriteObject(s->GetMesh());
                                }
                            });
}

CKERROR RCK3dPointCloud::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCK3dEntity::Load(chunk, file); },
        [&](CKStateChunk& c) -> CKERROR {
            auto refuse = [&](const char* what) {
                CKRenderLog(QXLOG_ERROR, __LINE__, "RCK3dPointCloud", "%s: %s", GetName() ? GetName() : "point cloud",
                            what);
                CKNoteLoadRefusal(this, "%s", what);
                return CKErr::InvalidFile;
            };
            m_Profiler.Reset();
            m_CloudFlags = 0;
            // Drawing data and iterators of the points that were.
            if (RCKRenderManager* manager = CloudRenderManager())
                for (const CloudVertexGroup& group : m_Groups.Groups)
                    for (const CloudLevelEntry& entry : group.Levels)
                        if (entry.VertexBuffer)
                            manager->ReleaseObjectIndex(entry.VertexBuffer, CKRST_OBJ_VERTEXBUFFER);
            m_Groups.Clear(m_Tree);
            m_FillPlan.Clear();
            delete m_Iterator;
            m_Iterator = nullptr;

            if (c.SeekIdentifier(CK_STATESAVE_CLOUDDATA)) {
                m_CloudFlags |= CLOUD_SHOWPOINTS;
                const int version = c.ReadInt();
                const int count = c.ReadInt();
                if (count < 0 || count > CLOUD_MAXPOINTS)
                    return refuse("point count out of range");
                m_PointCount = m_NextPointIndex = count;
                if (c.ReadInt())
                    m_CloudFlags |= CLOUD_LIGHTING | CLOUD_SHOWPOINTS;
                c.ReadVector(m_Precision);
                c.ReadVector(m_LocalBox.Min);
                c.ReadVector(m_LocalBox.Max);
                m_PointSize = c.ReadFloat();
                c.ReadVector(m_Translation);
                m_Rescale = c.ReadFloat();
                m_InverseRescale = std::isfinite(m_Rescale) && m_Rescale != 0.0f ? 1.0f / m_Rescale : 1.0f;
                if (version >= 1) {
                    m_PickingRadius = c.ReadFloat();
                    if (!c.ReadInt())
                        m_CloudFlags &= ~CLOUD_SHOWPOINTS;
                } else {
                    m_PickingRadius = QxMagnitude(m_LocalBox.Max - m_LocalBox.Min) / 1000.0f;
                }
                m_LevelCounts[0] = count;
                for (int l = 1; l <= 3; ++l) {
                    int wanted = version >= 2 ? c.ReadInt() : count >> l;
                    if (wanted < 0)
                        wanted = 0;
                    m_LevelCounts[l] = wanted < m_LevelCounts[l - 1] ? wanted : m_LevelCounts[l - 1];
                }
            }
            // Raw positions of older files are not kept: the pages hold the
            // points.
            if (c.SeekIdentifier(CK_STATESAVE_CLOUDPAGES)) {
                const char* why = nullptr;
                m_RunIndex.Clear();
                m_FillPlan.Clear();
                if (!CloudReadPages(c, m_Tree, (CKDWORD) m_PointCount, why)) {
                    m_SubdivisionBytes = 0;
                    m_MaxDepth = 0;
                    return refuse(why);
                }
                m_SubdivisionBytes = (int) m_Tree.GetBytes();
                m_MaxDepth = (int) m_Tree.Pages.size();
            }
            if (c.SeekIdentifier(CK_STATESAVE_CLOUDMATERIAL) && c.ReadInt() > 0) {
                m_Material = ObjectOfClass<CKMaterial>(c.ReadObject(m_Context), CKCID_MATERIAL);
                c.ReadXString();
                m_PointSprites = c.ReadInt();
                SetCurrentLevel(c.ReadInt());
                m_MaterialColorMode = c.ReadInt();
                c.ReadFloat();
                c.ReadInt();
            }
            if (c.SeekIdentifier(CK_STATESAVE_CLOUDSELECTIONS)) {
                DeleteAllSelections();
                const int count = c.ReadInt();
                if (count < 0 || (long long) count * kLeastSelectionWords > RemainingWords(c))
                    return refuse("selection count beyond the data");
                for (int i = 0; i < count && c.GetReadError() == CKErr::Ok; ++i) {
                    c.ReadInt();
                    const int capacity = c.ReadInt();
                    const CKDWORD flags = c.ReadDword();
                    const XString name = c.ReadXString();
                    RCloudSelection* s = NewSelection(name.CStr(), capacity);
                    s->SetFlags(flags & ~CLOUD_SELECTION_UPTODATE);
                    s->SetMaterial(ObjectOfClass<CKMaterial>(c.ReadObject(m_Context), CKCID_MATERIAL));
                    s->SetMesh(ObjectOfClass<CKMesh>(c.ReadObject(m_Context), CKCID_MESH));
                }
            }
            if (c.SeekIdentifier(CK_STATESAVE_CLOUDATTRIBUTES)) {
                const int count = c.ReadInt();
                if (count < CLOUD_ATTRIBUTE_INTENSITY + 1 ||
                    (long long) count * kLeastAttributeWords > RemainingWords(c))
                    return refuse("attribute count out of range");
                std::vector<CloudAttribute> attributes((size_t) count);
                for (CloudAttribute& a : attributes) {
                    a.Type = c.ReadInt();
                    a.Name = c.ReadXString();
                    c.ReadXString();
                    a.Bits = c.ReadInt();
                    a.Flags = c.ReadDword();
                    c.ReadInt();
                    a.Enabled = c.ReadInt() ? TRUE : FALSE;
                    c.ReadDword();
                    if (a.Bits == 0)
                        a.Bits = 32;
                    if ((a.Type != CLOUD_ATTRIBUTE_INTEGER && a.Type != CLOUD_ATTRIBUTE_FLOAT) || a.Bits < 1 ||
                        a.Bits > 32 || (a.Type == CLOUD_ATTRIBUTE_FLOAT && a.Bits != 32))
                        return refuse("an attribute of no known type or width");
                    a.Mask = CloudAttribute::MaskOf(a.Bits);
                    if (!a.Enabled)
                        continue;
                    const size_t bytes = a.ByteSizeFor(m_PointCount);
                    if ((long long) bytes > (long long) RemainingWords(c) * 4)
                        return refuse("attribute values beyond the data");
                    a.Data.resize(bytes);
                    c.ReadBufferNoSize((int) bytes, a.Data.data());
                    if (c.GetReadError() != CKErr::Ok)
                        return refuse("attribute values cut short");
                }
                CloudAttribute& unused = attributes[CLOUD_ATTRIBUTE_UNUSED];
                unused.Name = "Unused";
                unused.Enabled = FALSE;
                unused.Data.clear();
                m_Attributes.swap(attributes);
            }
            m_MoveableFlags |= CK_3DENTITY_USERBOX | CK_3DENTITY_BOXVALID;
            UpdateBox(TRUE);
            if (RCKRenderManager* manager = CloudRenderManager())
                manager->GetSettings().PointsProfTimeLoading = m_Profiler.Current();
            return CKErr::Ok;
        });
}
