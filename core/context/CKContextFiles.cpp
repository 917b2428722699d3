#include "core/context/CKContext.h"
#include "core/file/CKFile.h"

CKFile* CKContext::CreateCKFile()
{
    return new CKFile(this);
}

CKERROR CKContext::DeleteCKFile(CKFile* file)
{
    if (!file)
        return CKErr::InvalidParameter;
    delete file;
    return CKErr::Ok;
}
