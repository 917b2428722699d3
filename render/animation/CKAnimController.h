#pragma once

#include "core/context/CKDefines.h"
#include "render/animation/CKAnimKeys.h"

class CKStateChunk;

// Channels: the low byte of a controller's type code.
enum CKANIMATION_CHANNEL : CKDWORD
{
    CKANIMATION_CONTROLLER_POS = 0x01,
    CKANIMATION_CONTROLLER_ROT = 0x02,
    CKANIMATION_CONTROLLER_SCL = 0x04,
    CKANIMATION_CONTROLLER_SCLAXIS = 0x08,
    CKANIMATION_CONTROLLER_MORPH = 0x10,
    CKANIMATION_CONTROLLER_FLOAT = 0x20,
    CKANIMATION_CONTROLLER_MASK = 0xFF,
};

// Type codes of the key controllers: the interpolation in the high bytes,
// the channel in the low byte.
enum CKANIMATION_CONTROLLER : CKDWORD
{
    CKANIMATION_LINEARPOSITION_CONTROL = 0x637C4301,
    CKANIMATION_TCBPOSITION_CONTROL = 0x347E4A01,
    CKANIMATION_BEZIERPOSITION_CONTROL = 0x921AB801,
    CKANIMATION_LINEARROTATION_CONTROL = 0x49ED4002,
    CKANIMATION_TCBROTATION_CONTROL = 0x45B52A02,
    CKANIMATION_BEZIERROTATION_CONTROL = 0x7E2C5B02,
    CKANIMATION_LINEARSCALE_CONTROL = 0x654A3A04,
    CKANIMATION_TCBSCALE_CONTROL = 0x1B545904,
    CKANIMATION_BEZIERSCALE_CONTROL = 0x18AB4404,
    CKANIMATION_LINEARSCALEAXIS_CONTROL = 0x2F200B08,
    CKANIMATION_TCBSCALEAXIS_CONTROL = 0x3C5F1A08,
    CKANIMATION_BEZIERSCALEAXIS_CONTROL = 0x61D43E08,
    CKANIMATION_MORPH_CONTROL = 0x73847810,
    CKANIMATION_LINEARFLOAT_CONTROL = 0x40856620,
    CKANIMATION_TCBFLOAT_CONTROL = 0x5CB57A20,
    CKANIMATION_BEZIERFLOAT_CONTROL = 0x5ED10220,
};

// A track of keys of one channel, kept in increasing time. Positions,
// scales and floats interpolate component by component; rotations and
// scale axes are unit quaternions and stay so.
//
// Saved form (inside the object animation's chunk), 32-bit words: the key
// count, the length (float), then the keys field by field in the order of
// their records (time, value components, then the TCB parameters, or the
// Bezier flags word, in tangent and out tangent). The morph controller adds
// its own layout (CKMorphController.h).
class CKAnimController
{
public:
    explicit CKAnimController(CKDWORD type) : m_Type(type) {}
    virtual ~CKAnimController() = default;
    CKAnimController(const CKAnimController&) = delete;
    CKAnimController& operator=(const CKAnimController&) = delete;

    CKDWORD GetType() const { return m_Type; }
    CKDWORD GetChannel() const { return m_Type & CKANIMATION_CONTROLLER_MASK; }
    int GetKeyCount() const { return m_NbKeys; }
    float GetLength() const { return m_Length; }
    void SetLength(float length) { m_Length = length; }
    // Floats an evaluation writes: 1, 3 or 4 (0 for the morph controller).
    virtual int GetValueSize() const = 0;

    // Inserts a copy of the key record (of this controller's kind) in time
    // order and returns its index; a key at the time of an existing one
    // replaces that key's value. -1 for a null key or a time that is not a
    // finite number.
    virtual int AddKey(const CKKey* key) = 0;
    // The record itself (changes made through it are seen by later
    // evaluations as long as the time order is kept); null out of range.
    virtual CKKey* GetKey(int index) = 0;
    // Ignored out of range.
    virtual void RemoveKey(int index) = 0;
    // Writes GetValueSize() floats: the first key's value before it, the last
    // key's after it, the key's own value at a key's time. FALSE (nothing
    // written) without keys.
    virtual CKBOOL Evaluate(float time, void* result) = 0;
    // Copies the key count, the length and the keys of other, which must be
    // of the same type code; FALSE (nothing copied) otherwise.
    virtual CKBOOL Clone(CKAnimController* other) = 0;
    // Same type code, key count and length, and every key field within the
    // threshold (flags words equal).
    virtual CKBOOL Compare(CKAnimController* other, float threshold) = 0;

    virtual void Write(CKStateChunk& chunk) = 0;
    // Reads what Write wrote: the counts are checked against the data left,
    // times must be finite (keys out of order are sorted). Refused data leaves
    // the controller without keys and gives CKErr::InvalidFile.
    virtual CKERROR Read(CKStateChunk& chunk) = 0;
    virtual int GetMemoryOccupation() const = 0;

protected:
    CKDWORD m_Type;
    int m_NbKeys = 0;
    float m_Length = 0.0f;
};

// A new controller of that type code; null for an unknown code.
CKAnimController* CKCreateAnimController(CKDWORD type);
// Whether the code is one CKCreateAnimController knows.
CKBOOL CKIsAnimControllerType(CKDWORD type);

// Words left to read in the chunk (its data size less the read position):
// what the controllers check their counts against.
int CKChunkRemainingWords(CKStateChunk& chunk);
