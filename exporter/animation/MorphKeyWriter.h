#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "system/math/QxVector.h"

class CKMorphController;

// Writes the samples of a deforming mesh as morph keys. A sample whose
// positions equal those of the last key exactly adds no key; it is held,
// and when a different sample follows, the held one is written first, so a
// still stretch ends where it ended instead of sliding into the next move.
// A still tail adds nothing.
class MorphKeyWriter
{
public:
    explicit MorphKeyWriter(CKMorphController* controller) : m_Controller(controller) {}

    CKMorphController* Controller() const { return m_Controller; }
    // Offers the sample at a time (engine frames, increasing): the
    // positions, and packed normals when withNormals. false, and nothing
    // offered, for a sample whose vertex count is not that of the keys
    // already written.
    bool Add(float time, const QxVector* positions, const CKDWORD* normals, int count, bool withNormals);
    // The last sample offered stays as it is until the time: held for a
    // key there should a different sample follow.
    void HoldUntil(float time);

private:
    bool EqualsLastKey(const QxVector* positions, int count) const;
    void Write(float time, const QxVector* positions, const CKDWORD* normals);

    CKMorphController* m_Controller = nullptr;
    // The last sample offered.
    XArray<QxVector> m_Positions;
    XArray<CKDWORD> m_Normals;
    bool m_WithNormals = false;
    bool m_HasSample = false;
    float m_SampleTime = 0.0f;
    // Whether the last sample waits for a key at m_HeldTime.
    bool m_Held = false;
    float m_HeldTime = 0.0f;
};

// A unit normal packed as a morph key holds it: elevation in the low
// word, azimuth in the high one.
CKDWORD PackMorphNormal(const QxVector& normal);
