// Loads arbitrary bytes as the state chunk of a grid or a grid layer, with
// a small grid manager registered (types by name, colours, parameter types),
// references checked against their classes and the layers' cells fitted to
// their owners; then reads cells, draws the display texture and saves.
//
// Input: a control byte (bit 0: a layer rather than a grid; bit 3: the chunk
// is bound to a file of 3 records, a grid, a layer and a 3D entity, and the
// load is told of it; bits 4 to 7: the chunk's data version), then the
// chunk's data words.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "includes/CKByteOrder.h"
#include "render/context/CKRenderEngine.h"
#include "render/objects/CKGridManager.h"
#include "render/objects/RCKGrid.h"
#include "render/objects/RCKLayer.h"

namespace {

class FuzzGridManager : public CKGridManager
{
public:
    explicit FuzzGridManager(CKContext* context) : CKGridManager(context, GRID_MANAGER_GUID, "Grids")
    {
        context->RegisterNewManager(this);
    }
    int GetTypeFromName(const char* name) override
    {
        for (size_t i = 0; i < m_Types.size(); ++i)
            if (m_Types[i].Name == name)
                return (int) i + 1;
        return 0;
    }
    const char* GetTypeName(int type) override { return Valid(type) ? m_Types[type - 1].Name.c_str() : nullptr; }
    int RegisterType(const char* name) override
    {
        if (int type = GetTypeFromName(name))
            return type;
        m_Types.push_back({name ? name : "", QxColor(), CKGUID()});
        return (int) m_Types.size();
    }
    CKGUID GetAssociatedParam(int type) override { return Valid(type) ? m_Types[type - 1].Param : CKGUID(); }
    void SetAssociatedParam(int type, CKGUID guid) override
    {
        if (Valid(type))
            m_Types[type - 1].Param = guid;
    }
    QxColor GetAssociatedColor(int type) override { return Valid(type) ? m_Types[type - 1].Color : QxColor(); }
    void SetAssociatedColor(int type, const QxColor& color) override
    {
        if (Valid(type))
            m_Types[type - 1].Color = color;
    }
    int GetClassificationCategory() override { return 0; }
    void NoteSavedType(int) override {}

private:
    bool Valid(int type) const { return type >= 1 && type <= (int) m_Types.size(); }
    struct Type
    {
        std::string Name;
        QxColor Color;
        CKGUID Param;
    };
    std::vector<Type> m_Types;
};

} // namespace

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
    {
        FuzzGridManager manager(context);
        manager.SetAssociatedColor(manager.RegisterType("water"), QxColor(0.2f, 0.4f, 1.0f, 1.0f));
        manager.SetAssociatedParam(manager.RegisterType("links"), CKGUID(0x16A90C1B, 0x740D0F12));
        const uint8_t control = data[0];
        const CK_CLASSID cid = (control & 1) ? CKCID_LAYER : CKCID_GRID;
        RCKGrid* owner = static_cast<RCKGrid*>(context->CreateObject(CKCID_GRID, "owner"));
        owner->SetDimensions(5, 3, 5.0f, 3.0f);
        CKObject* named[3] = {owner, owner->AddLayerByName("water"), context->CreateObject(CKCID_3DENTITY, "entity")};
        CKObject* object = context->CreateObject(cid, (control & 2) ? "links" : "water");
        CKFile* file = context->CreateCKFile();
        for (CKObject* o : named)
            if (o) {
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
        object->PostLoad();
        CKDeleteStateChunk(chunk);
        context->DeleteCKFile(file);

        int value = 0;
        if (CKIsChildClassOfObject(object, CKCID_LAYER)) {
            CKLayer* layer = static_cast<CKLayer*>(object);
            for (int i = -1; i < 7; ++i) {
                layer->GetValue(i, i, &value);
                layer->SetValue(i, 2, &i);
                layer->GetValueChecked(i, 1, &value);
            }
        } else {
            RCKGrid* grid = static_cast<RCKGrid*>(object);
            for (int i = 0; i < grid->GetLayerCount(); ++i)
                if (CKLayer* layer = grid->GetLayerByIndex(i))
                    layer->SetValueChecked(0, 0, &i);
            const QxVector p(1.5f, 0.5f, -2.5f);
            int x = 0, z = 0;
            grid->Get2dCoordsFromPos(&p, &x, &z);
        }
        owner->Show(CKHIDE);
        owner->Show(CKSHOW);
        object->GetMemoryOccupation();
        CKDeleteStateChunk(CKSaveObjectState(object));
        context->DestroyObject(object);
        owner->SetDimensions(200, -1, 1.0f, 1.0f);
    }
    CKCloseContext(context);
    return 0;
}
