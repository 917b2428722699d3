#include "exporter/animation/MorphKeyWriter.h"

#include <utility>

#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKMorphController.h"
#include "system/math/QxCompressedVector.h"

CKDWORD PackMorphNormal(const QxVector& normal)
{
    QxCompressedVector packed;
    packed.Set(normal.x, normal.y, normal.z);
    return (CKDWORD) packed.m_Elevation | ((CKDWORD) packed.m_Azimuth << 16);
}

QxVector* MorphKeyWriter::Positions(int count)
{
    m_Current.positions.Resize(count > 0 ? count : 0);
    return m_Current.positions.Begin();
}

CKDWORD* MorphKeyWriter::Normals(int count)
{
    m_Current.normals.Resize(count > 0 ? count : 0);
    return m_Current.normals.Begin();
}

bool MorphKeyWriter::EqualsLastKey(const Sample& sample, int count) const
{
    const int keys = m_Controller->GetKeyCount();
    if (keys == 0)
        return false;
    const auto* last = static_cast<const CKMorphKey*>(m_Controller->GetKey(keys - 1));
    if (!last || !last->PosArray)
        return false;
    for (int i = 0; i < count; ++i)
        if (sample.positions[i] != last->PosArray[i])
            return false;
    return true;
}

void MorphKeyWriter::Write(float time, const Sample& sample)
{
    CKMorphKey key;
    key.TimeStep = time;
    key.PosArray = const_cast<QxVector*>(sample.positions.Begin());
    key.NormArray = sample.withNormals ? const_cast<CKDWORD*>(sample.normals.Begin()) : nullptr;
    m_Controller->AddKeyEx(&key, sample.withNormals ? TRUE : FALSE);
}

bool MorphKeyWriter::Add(float time, int count, bool withNormals)
{
    if (!m_Controller || count <= 0 || m_Current.positions.Size() < count)
        return false;
    if (m_Controller->GetKeyCount() > 0 && m_Controller->GetMorphVertexCount() != count)
        return false;
    m_Controller->SetMorphVertexCount(count);
    m_Current.withNormals = withNormals && m_Current.normals.Size() >= count;
    const bool still = EqualsLastKey(m_Current, count);
    if (!still) {
        if (m_Held)
            Write(m_HeldTime, m_Last);
        Write(time, m_Current);
    }
    m_Held = still;
    m_HeldTime = time;
    // The sample offered becomes the last one; its buffers are reused.
    std::swap(m_Current, m_Last);
    m_HasSample = true;
    m_SampleTime = time;
    return true;
}

void MorphKeyWriter::HoldUntil(float time)
{
    if (!m_HasSample || !(time > m_SampleTime))
        return;
    m_Held = true;
    m_HeldTime = time;
}
