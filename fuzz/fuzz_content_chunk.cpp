// Loads arbitrary bytes, read as a serialised state chunk, into a data
// array, a wave sound, a MIDI sound, a plain sound or the message manager of
// a context that holds a few objects and parameters, then saves what was
// loaded and destroys it. References in the chunk name those objects by
// their small ids.
//
// Input: a control byte (bits 0-2: the loader; bit 3: load with a file),
// then the chunk bytes.
#include <cstddef>
#include <cstdint>

#include "core/behavior/CKMessageManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterOut.h"
#include "core/scene/CKDataArray.h"
#include "core/sound/CKMidiSound.h"
#include "core/sound/CKWaveSound.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    for (int i = 0; i < 3; ++i)
        context->CreateObject(CKCID_BEOBJECT, "Object");
    context->CreateCKParameterOut("Int", CKPGUID_INT);
    context->CreateCKParameterOut("Message", CKPGUID_MESSAGE);

    CKStateChunk* chunk = CKCreateStateChunk(0);
    if (chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
        CKFile* file = (data[0] & 8) ? context->CreateCKFile() : nullptr;
        CKObject* loaded = nullptr;
        switch (data[0] & 7) {
        case 0:
        case 5: {
            auto* array = static_cast<CKDataArray*>(context->CreateObject(CKCID_DATAARRAY, "Array"));
            array->Load(chunk, file);
            array->PostLoad();
            // The comparators and tests run over whatever was loaded.
            const int key = 7;
            CKDataArray::SetSearchSettings(0, 1 + (int) (size % 7), &key, 4);
            for (int c = 0; c < array->GetColumnCount(); ++c) {
                CKDataArray::SetSortSettings(c, (CKBOOL) (size & 1));
                CKDataArray::SetSearchSettings(c, 1 + (int) (size % 7), &key, 4);
                for (int r = 0; r + 1 < array->GetRowCount(); ++r) {
                    array->GetColumnFormat(c)->Compare(array->GetRow(r), array->GetRow(r + 1));
                    array->GetColumnFormat(c)->Test(array->GetRow(r));
                }
            }
            CKDataArray::SetSearchSettings(0, 1, nullptr, 0);
            CKDataArray::SetSortSettings(0, TRUE);
            loaded = array;
            break;
        }
        case 1: loaded = context->CreateObject(CKCID_WAVESOUND, "Wave"); break;
        case 2: loaded = context->CreateObject(CKCID_MIDISOUND, "Midi"); break;
        case 3: context->GetMessageManager()->LoadData(chunk, file); break;
        default: loaded = context->CreateObject(CKCID_SOUND, "Sound"); break;
        }
        if (loaded && (data[0] & 7) != 0 && (data[0] & 7) != 5)
            loaded->Load(chunk, file);
        if (file)
            context->DeleteCKFile(file);
        if (loaded) {
            CKDeleteStateChunk(CKSaveObjectState(loaded));
            context->DestroyObject(loaded);
        }
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
