#include "render/mesh/CKOlderMeshLoader.h"

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "core/object/CKObject.h"
#include "render/context/CKRenderGlobals.h"
#include "system/log/QxLogManager.h"

CKERROR CKLoadOlderMeshData(CKObject* mesh, CKStateChunk* chunk, CKFile*)
{
    const char* name = mesh && mesh->GetName() ? mesh->GetName() : "";
    CKRenderLog(QXLOG_WARNING, __LINE__, "CKOlderMeshLoader",
                "Mesh %s: data version %d predates version 9; its geometry in that form is not loaded", name,
                chunk ? chunk->GetDataVersion() : -1);
    CKNoteLoadRefusal(mesh, "data version %d predates version 9; its geometry in that form is not loaded",
                      chunk ? chunk->GetDataVersion() : -1);
    return CKErr::InvalidFile;
}
