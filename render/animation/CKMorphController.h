#pragma once

#include "includes/XArray.h"
#include "render/animation/CKAnimController.h"

// Vertex animation: each key holds a position per morph vertex and, when it
// carries normals, a packed normal per vertex. Its Evaluate slot writes
// nothing (no single value); EvaluateMorph writes the vertices.
//
// Saved form, 32-bit words: the key count, the length (float), the morph
// vertex count n; then per key its time, a word 1 when it carries normals
// (else 0), n positions (three floats each) and, with normals, n packed
// normals.
class CKMorphController final : public CKAnimController
{
public:
    CKMorphController() : CKAnimController(CKANIMATION_MORPH_CONTROL) {}
    ~CKMorphController() override;

    int GetValueSize() const override { return 0; }

    // Vertices per key; every key keeps its first min(old, count) vertices,
    // new ones are zero. A negative count counts as 0.
    void SetMorphVertexCount(int count);
    int GetMorphVertexCount() const { return m_VertexCount; }
    // A key at that time with zeroed positions (and normals when asked) and
    // its index; at the time of an existing key, that key (given normals
    // when asked). -1 for a time that is not a number.
    int AddKeyAtTime(float time, CKBOOL withNormals);
    // Inserts a copy of the key's morph-vertex-count positions (and normals,
    // when asked and the key has them) in time order; a key at the same time
    // is replaced. -1 for a null key, a key without positions or a time that
    // is not a number.
    int AddKeyEx(const CKMorphKey* key, CKBOOL withNormals);
    // AddKeyEx with normals when the key has them.
    int AddKey(const CKKey* key) override;
    CKKey* GetKey(int index) override;
    void RemoveKey(int index) override;
    // Writes nothing; FALSE.
    CKBOOL Evaluate(float time, void* result) override;
    // The morph vertices at a time, linear between keys (normals unpacked,
    // interpolated and normalised): up to count positions at positions (each
    // stride bytes apart) and, when normals is not null and both keys carry
    // them, the normals likewise. FALSE without keys.
    CKBOOL EvaluateMorph(float time, int count, void* positions, CKDWORD stride, void* normals = nullptr,
                         CKDWORD normalStride = 0);
    // TRUE when any key carries normals.
    CKBOOL HasNormals() const;

    CKBOOL Clone(CKAnimController* other) override;
    CKBOOL Compare(CKAnimController* other, float threshold) override;
    void Write(CKStateChunk& chunk) override;
    CKERROR Read(CKStateChunk& chunk) override;
    int GetMemoryOccupation() const override;

private:
    int Find(float time, bool& found) const;
    void Clear();
    bool Allocate(CKMorphKey& key, bool withNormals) const;

    XArray<CKMorphKey> m_Keys;
    int m_VertexCount = 0;
};
