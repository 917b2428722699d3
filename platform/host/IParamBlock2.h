#pragma once

#include <string>
#include <vector>

#include "platform/host/Bitmap.h"
#include "platform/host/Color.h"
#include "platform/host/Interval.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/TimeValue.h"

typedef short ParamID;

// The parameter types the stand-in keeps.
enum ParamType2
{
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_RGBA = 2,
    TYPE_BOOL = 4,
    TYPE_STRING = 8,
    TYPE_BITMAP = 11
};

// A bitmap parameter: its file (and, once loaded, its bitmap).
struct PBBitmap
{
    BitmapInfo bi;
    Bitmap* bm = nullptr;
};

// One parameter definition: its id, internal name and type.
struct ParamDef
{
    ParamID ID = 0;
    std::string int_name;
    ParamType2 type = TYPE_INT;
};

// Stands in for the host's parameter-block descriptor: the definitions in
// order (an index out of range reads an empty definition).
class ParamBlockDesc2
{
public:
    int Count() const { return int(m_Defs.size()); }
    const ParamDef& GetParamDef(int i) const;
    // The index of the parameter of that id; -1 when there is none.
    int IDtoIndex(ParamID id) const;
    void AddParam(const ParamDef& def) { m_Defs.push_back(def); }

private:
    std::vector<ParamDef> m_Defs;
};

// Stands in for the host's parameter block: one value per definition of its
// descriptor, constant over time. Integer reads give an int as it is, a bool
// as 0 or 1, a float truncated (0 when outside the int range), a colour
// packed as 0xAARRGGBB with alpha 255 and each channel the nearest of 0 to
// 255 (clamped); a string does not read as a number. Every GetValue gives
// FALSE, and leaves v as it was, for an unknown id or a type that does not
// read.
class IParamBlock2
{
public:
    ParamBlockDesc2* GetDesc() { return &m_Desc; }
    const ParamBlockDesc2* GetDesc() const { return &m_Desc; }

    BOOL GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0) const;
    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0) const;
    BOOL GetValue(ParamID id, TimeValue t, Color& v, Interval& valid, int tabIndex = 0) const;
    BOOL GetValue(ParamID id, TimeValue t, const char*& v, Interval& valid, int tabIndex = 0) const;
    // A bitmap parameter (null for one without a file name).
    BOOL GetValue(ParamID id, TimeValue t, PBBitmap*& v, Interval& valid, int tabIndex = 0) const;
    // As GetValue, 0 (or "") when it does not read.
    int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
    float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0) const;

    // Building: appends a parameter and its value. The value fields not of
    // its type are ignored.
    struct Entry
    {
        ParamDef def;
        int i = 0;
        float f = 0.0f;
        Color c;
        std::string s;
        PBBitmap bitmap;
    };
    void AddParam(const Entry& entry);
    const Entry* FindEntry(ParamID id) const;

private:
    ParamBlockDesc2 m_Desc;
    // Bitmap parameters hand out pointers into their entries.
    mutable std::vector<Entry> m_Entries;
};
