#include "exporter/animation/MorphKeyWriter.h"

#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKMorphController.h"
#include "system/math/QxCompressedVector.h"

CKDWORD PackMorphNormal(const QxVector& normal)
{
    QxCompressedVector packed;
    packed.Set(normal.x, normal.y, normal.z);
    return (CKDWORD) packed.m_Elevation | ((CKDWORD) packed.m_Azimuth << 16);
}

bool MorphKeyWriter::EqualsLastKey(const QxVector* positions, int count) const
{
    const int keys = m_Controller->GetKeyCount();
    if (keys == 0)
        return false;
    const auto* last = static_cast<const CKMorphKey*>(m_Controller->GetKey(keys - 1));
    if (!last || !last->PosArray)
        return false;
    for (int i = 0; i < count; ++i)
        if (positions[i] != last->PosArray[i])
            return false;
    return true;
}

void MorphKeyWriter::Write(float time, const QxVector* positions, const CKDWORD* normals)
{
    CKMorphKey key;
    key.TimeStep = time;
    key.PosArray = const_cast<QxVector*>(positions);
    key.NormArray = const_cast<CKDWORD*>(normals);
    m_Controller->AddKeyEx(&key, normals ? TRUE : FALSE);
}

bool MorphKeyWriter::Add(float time, const QxVector* positions, const CKDWORD* normals, int count, bool withNormals)
{
    if (!m_Controller || count <= 0)
        return false;
    if (m_Controller->GetKeyCount() > 0 && m_Controller->GetMorphVertexCount() != count)
        return false;
    m_Controller->SetMorphVertexCount(count);
    const bool still = EqualsLastKey(positions, count);
    if (!still && m_Held)
        Write(m_HeldTime, m_Positions.Begin(), m_WithNormals ? m_Normals.Begin() : nullptr);
    m_Held = still;
    m_HeldTime = time;
    if (!still)
        Write(time, positions, withNormals ? normals : nullptr);
    m_Positions.Resize(count);
    for (int i = 0; i < count; ++i)
        m_Positions[i] = positions[i];
    m_WithNormals = withNormals && normals;
    m_Normals.Resize(m_WithNormals ? count : 0);
    for (int i = 0; m_WithNormals && i < count; ++i)
        m_Normals[i] = normals[i];
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
