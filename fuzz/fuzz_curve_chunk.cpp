// Loads arbitrary bytes as the state chunk of a curve or a curve point, older
// layouts and embedded point states included, with references checked
// against their classes; then measures, samples, draws and saves the result.
//
// Input: a control byte (bit 0: a curve point rather than a curve; bit 3:
// the chunk is bound to a file of 4 records, a curve point, a curve, a 3D
// entity and a second curve point, and the load is told of it; bits 4 to 7:
// the chunk's data version), then the chunk's data words.

#include <cstddef>
#include <cstdint>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "includes/CKByteOrder.h"
#include "render/context/CKRenderEngine.h"
#include "render/objects/RCKCurve.h"
#include "render/objects/RCKCurvePoint.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKPluginManager* plugins = CKGetPluginManager();
    plugins->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    plugins->AddStaticDll("Render Engine", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0 || !context)
        return 0;
    const uint8_t control = data[0];
    const CK_CLASSID cid = (control & 1) ? CKCID_CURVEPOINT : CKCID_CURVE;
    RCKCurve* owner = static_cast<RCKCurve*>(context->CreateObject(CKCID_CURVE, "owner"));
    CKObject* named[4] = {context->CreateObject(CKCID_CURVEPOINT, "p0"), owner,
                          context->CreateObject(CKCID_3DENTITY, "entity"),
                          context->CreateObject(CKCID_CURVEPOINT, "p1")};
    owner->AddControlPoint(static_cast<CKCurvePoint*>(named[0]));
    owner->AddControlPoint(static_cast<CKCurvePoint*>(named[3]));
    RCK3dEntity* object = static_cast<RCK3dEntity*>(context->CreateObject(cid, "fuzzed"));
    CKFile* file = context->CreateCKFile();
    for (CKObject* o : named) {
        const int index = file->AddObjectRecord(o->GetID(), o->GetClassID());
        file->m_FileObjects[index].m_CreatedObject = o->GetID();
    }
    CKStateChunk* chunk = CKCreateStateChunk(cid, (control & 8) ? file : nullptr);
    chunk->StartWrite();
    chunk->SetDataVersion(control >> 4);
    for (size_t i = 1; i + 4 <= size; i += 4)
        chunk->WriteDword(LoadLE32(data + i));
    chunk->CloseChunk();
    object->Load(chunk, (control & 8) ? file : nullptr);
    CKDeleteStateChunk(chunk);
    context->DeleteCKFile(file);

    QxVector position, tangent;
    for (CKObject* o : {(CKObject*) object, (CKObject*) owner}) {
        if (!o || !CKIsChildClassOfObject(o, CKCID_CURVE))
            continue;
        RCKCurve* curve = static_cast<RCKCurve*>(o);
        curve->GetLength();
        for (float s : {-3.5f, 0.0f, 0.37f, 1.0f, 1e20f})
            curve->GetPos(s, &position, &tangent);
        curve->SetTangents(0, &position, &tangent);
        curve->Close();
        curve->GetLocalPos(0.5f, &position, &tangent);
    }
    if (CKIsChildClassOfObject(object, CKCID_CURVEPOINT))
        static_cast<RCKCurvePoint*>(object)->SetTension(0.5f);
    object->GetMemoryOccupation();
    CKDeleteStateChunk(CKSaveObjectState(object));
    context->DestroyObject(object);
    owner->GetLength();
    CKCloseContext(context);
    return 0;
}
