#include "core/bitmap/CKMovieInfo.h"

#include "core/bitmap/CKMovieReader.h"

CKMovieInfo::~CKMovieInfo()
{
    if (m_Reader)
        m_Reader->Release();
}
