#include "platform/host/IParamBlock2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

const ParamDef& ParamBlockDesc2::GetParamDef(int i) const
{
    static const ParamDef none;
    if (i < 0 || i >= Count())
        return none;
    return m_Defs[size_t(i)];
}

int ParamBlockDesc2::IDtoIndex(ParamID id) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_Defs[size_t(i)].ID == id)
            return i;
    return -1;
}

void IParamBlock2::AddParam(const Entry& entry)
{
    m_Desc.AddParam(entry.def);
    m_Entries.push_back(entry);
}

const IParamBlock2::Entry* IParamBlock2::FindEntry(ParamID id) const
{
    const int i = m_Desc.IDtoIndex(id);
    return i < 0 ? nullptr : &m_Entries[size_t(i)];
}

static uint32_t Channel(float c)
{
    if (!(c > 0.0f))
        return 0;
    return c >= 1.0f ? 255u : uint32_t(std::lround(c * 255.0f));
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, int& v, Interval&, int) const
{
    const Entry* e = FindEntry(id);
    if (!e)
        return FALSE;
    switch (e->def.type) {
    case TYPE_INT: v = e->i; return TRUE;
    case TYPE_BOOL: v = e->i ? 1 : 0; return TRUE;
    case TYPE_FLOAT:
        v = std::isfinite(e->f) && e->f > -2147483904.0f && e->f < 2147483648.0f ? int(e->f) : 0;
        return TRUE;
    case TYPE_RGBA: v = int(0xFF000000u | Channel(e->c.r) << 16 | Channel(e->c.g) << 8 | Channel(e->c.b)); return TRUE;
    default: return FALSE;
    }
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, float& v, Interval&, int) const
{
    const Entry* e = FindEntry(id);
    if (!e)
        return FALSE;
    switch (e->def.type) {
    case TYPE_FLOAT: v = e->f; return TRUE;
    case TYPE_INT: v = float(e->i); return TRUE;
    case TYPE_BOOL: v = e->i ? 1.0f : 0.0f; return TRUE;
    default: return FALSE;
    }
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, Color& v, Interval&, int) const
{
    const Entry* e = FindEntry(id);
    if (!e || e->def.type != TYPE_RGBA)
        return FALSE;
    v = e->c;
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, const char*& v, Interval&, int) const
{
    const Entry* e = FindEntry(id);
    if (!e || e->def.type != TYPE_STRING)
        return FALSE;
    v = e->s.c_str();
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, PBBitmap*& v, Interval&, int) const
{
    const int i = m_Desc.IDtoIndex(id);
    if (i < 0 || m_Entries[size_t(i)].def.type != TYPE_BITMAP)
        return FALSE;
    Entry& e = m_Entries[size_t(i)];
    v = *e.bitmap.bi.Name() ? &e.bitmap : nullptr;
    return TRUE;
}

int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) const
{
    int v = 0;
    Interval valid;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) const
{
    float v = 0.0f;
    Interval valid;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}
