#pragma once

#include "core/context/CKDefines.h"
#include "includes/XArray.h"

// Dependency options of one copy, deletion, replacement or save: one option
// word per class id and a flags word (CK_DEPENDENCIES_NONE, _ALL, or _CUSTOM
// when the per-class words apply).
struct CKDependencies
{
    XArray<CKDWORD> m_Options;
    CKDWORD m_Flags = CK_DEPENDENCIES_NONE;

    // The word of a class; 0 for a class beyond the array.
    CKDWORD Get(CK_CLASSID cid) const { return cid >= 0 && cid < m_Options.Size() ? m_Options[cid] : 0; }
    // Sizes the words to count, new words 0.
    void Resize(int count)
    {
        int old = m_Options.Size();
        m_Options.Resize(count);
        for (int i = old; i < count; ++i)
            m_Options[i] = 0;
    }
};
