#pragma once

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Saves an image to a file through the bitmap reader the plug-in manager
// finds for the file's extension; images of other depths are converted to
// 32-bit first. 1 when a reader was found (its own result is not looked at),
// 0 for a null name, no reader, or a 32-bit copy that cannot be made.
CKBOOL CKSaveBitmap(const char* name, const QxImageDesc& image);
