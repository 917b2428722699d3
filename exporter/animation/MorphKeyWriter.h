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
//
// The caller fills the sample in place (Positions, Normals), then offers it
// (Add); the writer keeps the last sample without copying it.
class MorphKeyWriter
{
public:
    explicit MorphKeyWriter(CKMorphController* controller) : m_Controller(controller) {}

    CKMorphController* Controller() const { return m_Controller; }
    // The sample to fill: count positions, and count packed normals.
    QxVector* Positions(int count);
    CKDWORD* Normals(int count);
    // Offers the sample filled at a time (engine frames, increasing), with
    // its normals or not. false, and nothing offered, without a controller,
    // for no vertex, or for a vertex count that is not that of the keys
    // already written.
    bool Add(float time, int count, bool withNormals);
    // The last sample offered stays as it is until the time: held for a
    // key there should a different sample follow.
    void HoldUntil(float time);

private:
    // A sample: its positions and, when withNormals, its normals.
    struct Sample
    {
        XArray<QxVector> positions;
        XArray<CKDWORD> normals;
        bool withNormals = false;
    };

    bool EqualsLastKey(const Sample& sample, int count) const;
    void Write(float time, const Sample& sample);

    CKMorphController* m_Controller = nullptr;
    // The sample being filled, and the last one offered.
    Sample m_Current;
    Sample m_Last;
    bool m_HasSample = false;
    float m_SampleTime = 0.0f;
    // Whether the last sample waits for a key at m_HeldTime.
    bool m_Held = false;
    float m_HeldTime = 0.0f;
};

// A unit normal packed as a morph key holds it: elevation in the low
// word, azimuth in the high one.
CKDWORD PackMorphNormal(const QxVector& normal);
