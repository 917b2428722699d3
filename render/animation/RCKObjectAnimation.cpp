#include "render/animation/RCKObjectAnimation.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "core/object/CKDependenciesContext.h"
#include "render/animation/CKAnimationObjects.h"
#include "render/animation/CKKeyedController.h"
#include "render/animation/CKMorphController.h"
#include "render/context/CKRenderGlobals.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKClassChunk.h"
#include "system/log/QxLogManager.h"
#include "system/math/QxComposeMatrix.h"
#include "system/math/QxDecomposeMatrix.h"

namespace {

enum : CKDWORD
{
    CK_STATESAVE_OBJANIMENTITY = 0x01000000,
    CK_STATESAVE_OBJANIMCONTROLLERS = 0x02000000,
    CK_STATESAVE_OBJANIMALL = CK_STATESAVE_OBJANIMENTITY | CK_STATESAVE_OBJANIMCONTROLLERS,
};

// The slot of a channel bit, -1 for none.
int ChannelSlot(CKDWORD channel)
{
    switch (channel & CKANIMATION_CONTROLLER_MASK) {
    case CKANIMATION_CONTROLLER_POS: return 0;
    case CKANIMATION_CONTROLLER_ROT: return 1;
    case CKANIMATION_CONTROLLER_SCL: return 2;
    case CKANIMATION_CONTROLLER_SCLAXIS: return 3;
    case CKANIMATION_CONTROLLER_MORPH: return 4;
    default: return -1;
    }
}

const char* NameOrEmpty(const char* name)
{
    return name ? name : "";
}

CKBOOL SameControllers(CKAnimController* a, CKAnimController* b, float threshold)
{
    if (!a || !b)
        return a == b;
    return a->Compare(b, threshold);
}

} // namespace

// Shared data.

CKObjectAnimationData::~CKObjectAnimationData()
{
    for (CKAnimController*& controller : Channels) {
        delete controller;
        controller = nullptr;
    }
    for (CKAnimControllerEntry& entry : Named)
        delete entry.Controller;
}

CKObjectAnimationData* CKObjectAnimationData::Copy() const
{
    auto* copy = new (std::nothrow) CKObjectAnimationData;
    if (!copy)
        return nullptr;
    copy->Length = Length;
    for (int i = 0; i < 5; ++i)
        if (Channels[i]) {
            copy->Channels[i] = CKCreateAnimController(Channels[i]->GetType());
            if (copy->Channels[i])
                copy->Channels[i]->Clone(Channels[i]);
        }
    for (const CKAnimControllerEntry& entry : Named) {
        CKAnimControllerEntry e;
        e.Name = entry.Name;
        e.Controller = CKCreateAnimController(entry.Controller->GetType());
        if (!e.Controller)
            continue;
        e.Controller->Clone(entry.Controller);
        copy->Named.PushBack(e);
    }
    return copy;
}

// The object animation.

RCKObjectAnimation::RCKObjectAnimation(CKContext* context, const char* name)
    : CKObjectAnimation(context, name), m_Data(new CKObjectAnimationData)
{}

RCKObjectAnimation::~RCKObjectAnimation()
{
    ReleaseData();
}

void RCKObjectAnimation::ReleaseData()
{
    if (m_Data && --m_Data->References == 0)
        delete m_Data;
    m_Data = nullptr;
}

CKAnimController* RCKObjectAnimation::CreateController(CKDWORD type, const char* name)
{
    CKAnimController* controller = CKCreateAnimController(type);
    if (!controller)
        return nullptr;
    const int slot = ChannelSlot(type);
    if (slot >= 0) {
        delete m_Data->Channels[slot];
        m_Data->Channels[slot] = controller;
        return controller;
    }
    for (CKAnimControllerEntry& entry : m_Data->Named)
        if (entry.Name == NameOrEmpty(name)) {
            delete entry.Controller;
            entry.Controller = controller;
            return controller;
        }
    CKAnimControllerEntry entry;
    entry.Name = NameOrEmpty(name);
    entry.Controller = controller;
    m_Data->Named.PushBack(entry);
    return controller;
}

CKBOOL RCKObjectAnimation::DeleteControllerOfChannel(CKDWORD code, const char* name)
{
    const int slot = ChannelSlot(code);
    if (slot >= 0) {
        if (!m_Data->Channels[slot])
            return FALSE;
        delete m_Data->Channels[slot];
        m_Data->Channels[slot] = nullptr;
        return TRUE;
    }
    if ((code & CKANIMATION_CONTROLLER_MASK) != CKANIMATION_CONTROLLER_FLOAT)
        return FALSE;
    for (int i = 0; i < m_Data->Named.Size(); ++i)
        if (m_Data->Named.Begin()[i].Name == NameOrEmpty(name)) {
            delete m_Data->Named.Begin()[i].Controller;
            m_Data->Named.RemoveAt(i);
            return TRUE;
        }
    return FALSE;
}

CKBOOL RCKObjectAnimation::DeleteController(CKAnimController* controller)
{
    if (!controller)
        return FALSE;
    for (CKAnimController*& channel : m_Data->Channels)
        if (channel == controller) {
            delete channel;
            channel = nullptr;
            return TRUE;
        }
    for (int i = 0; i < m_Data->Named.Size(); ++i)
        if (m_Data->Named.Begin()[i].Controller == controller) {
            delete controller;
            m_Data->Named.RemoveAt(i);
            return TRUE;
        }
    return FALSE;
}

CKMorphController* RCKObjectAnimation::GetMorphController()
{
    return static_cast<CKMorphController*>(m_Data->Channels[4]);
}

CKAnimController* RCKObjectAnimation::GetNamedController(int index)
{
    const CKAnimControllerEntry* entry = GetNamedControllerEntry(index);
    return entry ? entry->Controller : nullptr;
}

const CKAnimControllerEntry* RCKObjectAnimation::GetNamedControllerEntry(int index)
{
    return index >= 0 && index < m_Data->Named.Size() ? &m_Data->Named.Begin()[index] : nullptr;
}

CKAnimController* RCKObjectAnimation::GetNamedControllerByName(const char* name)
{
    for (const CKAnimControllerEntry& entry : m_Data->Named)
        if (entry.Name == NameOrEmpty(name))
            return entry.Controller;
    return nullptr;
}

int RCKObjectAnimation::GetMorphVertexCount()
{
    CKMorphController* morph = GetMorphController();
    return morph ? morph->GetMorphVertexCount() : 0;
}

int RCKObjectAnimation::HasMorphNormalInfo()
{
    CKMorphController* morph = GetMorphController();
    return morph && morph->HasNormals() ? 1 : 0;
}

void RCKObjectAnimation::ShareDataFrom(CKObjectAnimation* other)
{
    auto* source = static_cast<RCKObjectAnimation*>(other);
    if (!source || source == this || source->m_Data == m_Data) {
        if (!source || source == this) {
            // Back to data of its own.
            if (m_Data->References > 1) {
                CKObjectAnimationData* copy = m_Data->Copy();
                if (copy) {
                    ReleaseData();
                    m_Data = copy;
                }
            }
            m_DataOwner = nullptr;
        }
        return;
    }
    ReleaseData();
    m_Data = source->m_Data;
    ++m_Data->References;
    // The owner is the animation whose data it is, not a sharer.
    m_DataOwner = source->m_DataOwner ? source->m_DataOwner : source;
}

CKBOOL RCKObjectAnimation::Compare(CKObjectAnimation* other, float threshold)
{
    if (other == this)
        return TRUE;
    auto* o = static_cast<RCKObjectAnimation*>(other);
    if (!o)
        return FALSE;
    if (o->m_Data == m_Data)
        return TRUE;
    if (!(std::fabs(o->m_Data->Length - m_Data->Length) <= threshold))
        return FALSE;
    for (int i = 0; i < 5; ++i)
        if (!SameControllers(m_Data->Channels[i], o->m_Data->Channels[i], threshold))
            return FALSE;
    if (o->m_Data->Named.Size() != m_Data->Named.Size())
        return FALSE;
    for (int i = 0; i < m_Data->Named.Size(); ++i) {
        const CKAnimControllerEntry& a = m_Data->Named.Begin()[i];
        const CKAnimControllerEntry& b = o->m_Data->Named.Begin()[i];
        if (!(a.Name == b.Name) || !SameControllers(a.Controller, b.Controller, threshold))
            return FALSE;
    }
    return TRUE;
}

CKDWORD RCKObjectAnimation::EvaluateKeys(float time, QxQuaternion* rotation, QxVector* position, QxVector* scale,
                                         QxQuaternion* scaleAxis)
{
    CKDWORD written = 0;
    void* outputs[4] = {position, rotation, scale, scaleAxis};
    const CKDWORD bits[4] = {CKANIMATION_CONTROLLER_POS, CKANIMATION_CONTROLLER_ROT, CKANIMATION_CONTROLLER_SCL,
                             CKANIMATION_CONTROLLER_SCLAXIS};
    for (int i = 0; i < 4; ++i)
        if (outputs[i] && m_Data->Channels[i] && m_Data->Channels[i]->Evaluate(time, outputs[i]))
            written |= bits[i];
    return written;
}

void RCKObjectAnimation::SetStep(float step, int owner)
{
    m_Step = step;
    if (!m_Entity || ((m_Entity->GetFlags() & CK_3DENTITYFLAG_400) && owner != -1))
        return;
    const float time = step * m_Data->Length;
    QxQuaternion rotation, scaleAxis;
    QxVector position, scale;
    // The parts no channel gives keep the entity's own.
    const float sign = QxDecomposeMatrixEx(m_Entity->GetLocalMatrix(), &rotation, &position, &scale, &scaleAxis);
    if (EvaluateKeys(time, &rotation, &position, &scale, &scaleAxis)) {
        QxMatrix local;
        QxComposeMatrixEx(local, position, scale, rotation, scaleAxis, sign);
        m_Entity->SetLocalMatrix(local);
    }
    CKMorphController* morph = GetMorphController();
    CKMesh* mesh = m_Entity->GetCurrentMesh();
    if (morph && mesh && morph->GetKeyCount() > 0) {
        CKDWORD stride = 0, normalStride = 0;
        void* positions = mesh->GetModifierVertices(&stride);
        void* normals = morph->HasNormals() ? mesh->GetNormalsPtr(&normalStride) : nullptr;
        const int count = mesh->GetModifierVertexCount();
        if (positions && morph->EvaluateMorph(time, count, positions, stride, normals, normalStride)) {
            if (normals)
                mesh->NormalChanged();
            mesh->ModifierVertexMove(normals ? FALSE : TRUE, TRUE);
        }
    }
}

void RCKObjectAnimation::AddDefaultScaleKey(const QxVector& scale)
{
    CKAnimController* controller = m_Data->Channels[2];
    if (controller && controller->GetKeyCount() > 0)
        return;
    if (!controller)
        controller = CreateController(CKANIMATION_LINEARSCALE_CONTROL);
    if (!controller)
        return;
    // Any scale controller holds vector keys; a fresh one is linear.
    if (controller->GetType() == CKANIMATION_LINEARSCALE_CONTROL) {
        const CKLinearKey<QxVector> key(0.0f, scale);
        controller->AddKey(&key);
    } else if (controller->GetType() == CKANIMATION_TCBSCALE_CONTROL) {
        const CKTCBKey<QxVector> key(0.0f, scale);
        controller->AddKey(&key);
    } else {
        const CKBezierKey<QxVector> key(0.0f, scale, 0, QxVector(), QxVector());
        controller->AddKey(&key);
    }
}

// Persistence.

CKStateChunk* RCKObjectAnimation::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKObjectAnimation::m_ClassID, CKObjectAnimation::Save(file, flags), file, flags,
                            CK_STATESAVE_OBJANIMALL, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_OBJANIMENTITY);
                                chunk.WriteObject(m_Entity);
                                chunk.WriteFloat(m_Data->Length);
                                chunk.WriteObject(m_DataOwner);
                                chunk.WriteIdentifier(CK_STATESAVE_OBJANIMCONTROLLERS);
                                int count = m_Data->Named.Size();
                                for (CKAnimController* controller : m_Data->Channels)
                                    count += controller ? 1 : 0;
                                chunk.WriteInt(count);
                                for (CKAnimController* controller : m_Data->Channels)
                                    if (controller) {
                                        chunk.WriteDword(controller->GetType());
                                        chunk.WriteString(nullptr);
                                        controller->Write(chunk);
                                    }
                                for (const CKAnimControllerEntry& entry : m_Data->Named) {
                                    chunk.WriteDword(entry.Controller->GetType());
                                    chunk.WriteString(entry.Name.CStr());
                                    entry.Controller->Write(chunk);
                                }
                            });
}

CKERROR RCKObjectAnimation::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return CKObjectAnimation::Load(chunk, file); },
        [&](CKStateChunk& c) -> CKERROR {
            if (c.SeekIdentifier(CK_STATESAVE_OBJANIMENTITY)) {
                m_Entity = CKObjectAs<CK3dEntity>(c.ReadObject(m_Context), CKCID_3DENTITY);
                const float length = c.ReadFloat();
                m_LoadedOwner = c.ReadObjectID();
                // The loaded data is this animation's own.
                ShareDataFrom(nullptr);
                m_Data->Length = std::isfinite(length) ? length : 0.0f;
            }
            if (c.SeekIdentifier(CK_STATESAVE_OBJANIMCONTROLLERS))
                return ReadControllers(c);
            return CKErr::Ok;
        });
}

CKERROR RCKObjectAnimation::ReadControllers(CKStateChunk& c)
{
    ShareDataFrom(nullptr);
    for (CKAnimController*& controller : m_Data->Channels) {
        delete controller;
        controller = nullptr;
    }
    for (CKAnimControllerEntry& entry : m_Data->Named)
        delete entry.Controller;
    m_Data->Named.Clear();
    const int count = c.ReadInt();
    // Each controller takes at least its type, its name and two words.
    if (count < 0 || count > CKChunkRemainingWords(c) / 4) {
        CKRenderLog(QXLOG_ERROR, __LINE__, "RCKObjectAnimation", "%d controllers are more than the data holds", count);
        CKNoteLoadRefusal(this, "%d controllers are more than the data holds", count);
        return CKErr::InvalidFile;
    }
    for (int i = 0; i < count; ++i) {
        const CKDWORD type = c.ReadDword();
        const XString name = c.ReadXString();
        if (!CKIsAnimControllerType(type)) {
            CKRenderLog(QXLOG_ERROR, __LINE__, "RCKObjectAnimation", "unknown controller type 0x%08X", type);
            CKNoteLoadRefusal(this, "unknown controller type 0x%08X", type);
            return CKErr::InvalidFile;
        }
        CKAnimController* controller = CreateController(type, name.CStr());
        if (!controller)
            return CKErr::OutOfMemory;
        const CKERROR error = controller->Read(c);
        if (error != CKErr::Ok) {
            CKNoteLoadRefusal(this, "the keys of controller %d (\"%s\") are refused", i, name.CStr());
            DeleteController(controller);
            return error;
        }
    }
    return CKErr::Ok;
}

void RCKObjectAnimation::PostLoad()
{
    if (m_LoadedOwner) {
        auto* owner = CKObjectAs<CKObjectAnimation>(m_Context, m_LoadedOwner, CKCID_OBJECTANIMATION);
        if (owner && owner != this && !owner->GetDataOwner())
            ShareDataFrom(owner);
        m_LoadedOwner = 0;
    }
    CKObjectAnimation::PostLoad();
}

void RCKObjectAnimation::CheckPreDeletion()
{
    CKObjectAnimation::CheckPreDeletion();
    if (m_Entity && m_Entity->IsToBeDeleted())
        m_Entity = nullptr;
    // The data stays with the sharers.
    if (m_DataOwner && m_DataOwner->IsToBeDeleted())
        m_DataOwner = nullptr;
}

CKBOOL RCKObjectAnimation::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && (object == m_Entity || object == m_DataOwner))
        return TRUE;
    return CKObjectAnimation::IsObjectUsed(object, cid);
}

CKERROR RCKObjectAnimation::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKObjectAnimation::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Entity = CKObjectAs<CK3dEntity>(context.Remap(m_Entity), CKCID_3DENTITY);
    if (m_DataOwner) {
        auto* owner = CKObjectAs<CKObjectAnimation>(context.Remap(m_DataOwner), CKCID_OBJECTANIMATION);
        if (owner && owner != this)
            ShareDataFrom(owner);
        else
            m_DataOwner = nullptr;
    }
    return CKErr::Ok;
}

CKERROR RCKObjectAnimation::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKObjectAnimation::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    auto* s = CKObjectAs<RCKObjectAnimation>(&source, CKCID_OBJECTANIMATION);
    if (!s)
        return CKErr::Ok;
    CKObjectAnimationData* copy = s->m_Data->Copy();
    if (!copy)
        return CKErr::OutOfMemory;
    ReleaseData();
    m_Data = copy;
    m_Entity = s->m_Entity;
    m_DataOwner = s->m_DataOwner;
    m_Step = s->m_Step;
    return CKErr::Ok;
}

int RCKObjectAnimation::GetMemoryOccupation()
{
    int size = CKObjectAnimation::GetMemoryOccupation() + (int) (sizeof(*this) - sizeof(CKObjectAnimation));
    if (m_DataOwner)
        return size;
    size += (int) sizeof(CKObjectAnimationData);
    for (CKAnimController* controller : m_Data->Channels)
        if (controller)
            size += controller->GetMemoryOccupation();
    for (const CKAnimControllerEntry& entry : m_Data->Named)
        size += entry.Controller->GetMemoryOccupation() + entry.Name.Length() + 1;
    return size;
}

void RCKObjectAnimation::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x43476550, 0x11E52C0E));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_3DENTITY);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_OBJECTANIMATION);
}

const char* RCKObjectAnimation::GetClassName()
{
    return "Object Animation";
}
