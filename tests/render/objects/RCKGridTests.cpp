// Grids and their layers with a grid-manager double: sizes and their
// limits, the layer rules, cell coordinates, the display texture against
// the colour formula, files and hostile layer chunks.
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CKGridManager.h"
#include "render/objects/RCKGrid.h"
#include "render/objects/RCKLayer.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

const CKGUID kLinker(0x16A90C1B, 0x740D0F12);

// The console lines of the interface callback, with their beep flag.
CKERROR RecordConsole(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        static_cast<std::vector<std::string>*>(data)->push_back(std::to_string(message.Param1) + " " +
                                                                reinterpret_cast<const char*>(message.Param2));
    return CKErr::Ok;
}

// Types by name, with a colour and a parameter type each, and the table of
// saved types.
class TestGridManager : public CKGridManager
{
public:
    explicit TestGridManager(CKContext* context) : CKGridManager(context, GRID_MANAGER_GUID, "Grids")
    {
        context->RegisterNewManager(this);
    }
    int GetTypeFromName(const char* name) override
    {
        for (auto& [type, entry] : m_Types)
            if (entry.Name == name)
                return type;
        return 0;
    }
    const char* GetTypeName(int type) override
    {
        auto it = m_Types.find(type);
        return it == m_Types.end() ? nullptr : it->second.Name.c_str();
    }
    int RegisterType(const char* name) override
    {
        if (int type = GetTypeFromName(name))
            return type;
        const int type = (int) m_Types.size() + 1;
        m_Types[type].Name = name;
        return type;
    }
    CKGUID GetAssociatedParam(int type) override { return m_Types[type].Param; }
    void SetAssociatedParam(int type, CKGUID guid) override { m_Types[type].Param = guid; }
    QxColor GetAssociatedColor(int type) override { return m_Types[type].Color; }
    void SetAssociatedColor(int type, const QxColor& color) override { m_Types[type].Color = color; }
    int GetClassificationCategory() override { return 0; }
    void NoteSavedType(int type) override
    {
        if (m_Saved[type] == 0)
            m_Saved[type] = ++m_Counter;
    }

    struct Type
    {
        std::string Name;
        QxColor Color;
        CKGUID Param;
    };
    std::map<int, Type> m_Types;
    std::map<int, int> m_Saved;
    int m_Counter = 0;
};

class GridTests : public EntityFixture
{
protected:
    void SetUp() override
    {
        EntityFixture::SetUp();
        m_Manager = std::make_unique<TestGridManager>(m_Context);
        const int water = m_Manager->RegisterType("water");
        const int links = m_Manager->RegisterType("links");
        m_Manager->SetAssociatedColor(water, QxColor(0.0f, 0.5f, 1.0f, 1.0f));
        m_Manager->SetAssociatedColor(links, QxColor(1.0f, 0.25f, 0.0f, 1.0f));
        m_Manager->SetAssociatedParam(links, kLinker);
    }
    void TearDown() override
    {
        m_Manager.reset();
        m_LoadedManager.reset();
        EntityFixture::TearDown();
    }
    RCKGrid* NewGrid(const char* name, int width, int length)
    {
        RCKGrid* grid = static_cast<RCKGrid*>(m_Context->CreateObject(CKCID_GRID, name));
        grid->SetDimensions(width, length, (float) width, (float) length);
        return grid;
    }
    // Saves the objects into a file and loads it into a new context that
    // has a grid manager of its own.
    CKContext* SaveAndLoadWithManager(const std::vector<CKObject*>& objects)
    {
        const std::string path = m_Temp.File("grids.qdx");
        CKFile* file = m_Context->CreateCKFile();
        EXPECT_EQ(file->StartSave(path.c_str()), 0);
        for (CKObject* object : objects)
            file->SaveObject(object, 0xFFFFFFFF);
        EXPECT_EQ(file->EndSave(), 0);
        m_Context->DeleteCKFile(file);
        CKContext* loaded = nullptr;
        EXPECT_EQ(CKCreateContext(&loaded, nullptr), 0);
        m_Loaded.push_back(loaded);
        m_LoadedManager = std::make_unique<TestGridManager>(loaded);
        CKFile* in = loaded->CreateCKFile();
        EXPECT_EQ(in->Load(path.c_str(), nullptr), 0);
        loaded->DeleteCKFile(in);
        return loaded;
    }

    std::unique_ptr<TestGridManager> m_Manager;
    std::unique_ptr<TestGridManager> m_LoadedManager;
};

TEST_F(GridTests, DimensionsAreClampedToTheirRange)
{
    RCKGrid* grid = NewGrid("grid", 4, 4);
    grid->AddLayerByName("water");
    std::vector<std::string> console;
    m_Context->SetInterfaceMode(TRUE, RecordConsole, &console);
    EXPECT_EQ(grid->SetDimensions(200, 5, 20.0f, 5.0f), 1);
    m_Context->SetInterfaceMode(FALSE, nullptr, nullptr);
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0], "1 Grid width can not be larger than 128, clamping the value to 128");
    EXPECT_EQ(grid->GetWidth(), 128);
    EXPECT_EQ(grid->GetLength(), 5);
    QxVector scale;
    grid->GetScale(&scale);
    EXPECT_EQ(scale.x, 20.0f / 128.0f);
    EXPECT_EQ(scale.y, 10.0f) << "the default height";
    EXPECT_EQ(static_cast<RCKLayer*>(grid->GetLayerByIndex(0))->GetCellCount(), 128 * 5);
    grid->SetDimensions(-3, 2, 1.0f, 1.0f);
    EXPECT_EQ(grid->GetWidth(), 0) << "a negative size is held at 0";
    EXPECT_EQ(static_cast<RCKLayer*>(grid->GetLayerByIndex(0))->GetCellCount(), 0);
}

TEST_F(GridTests, LayersFollowTheManagersTypesOncePerType)
{
    RCKGrid* grid = NewGrid("grid", 3, 2);
    CKLayer* water = grid->AddLayerByName("water");
    ASSERT_NE(water, nullptr);
    EXPECT_STREQ(water->GetName(), "water");
    EXPECT_EQ(water->GetOwner(), grid->GetID());
    EXPECT_EQ(grid->AddLayerByName("water"), nullptr);
    EXPECT_EQ(grid->AddLayer(99), nullptr);
    EXPECT_EQ(grid->AddLayerByName("links", 1), nullptr);
    EXPECT_EQ(grid->GetLayerCount(), 1);
    EXPECT_EQ(grid->GetLayerByName("water"), water);
    EXPECT_TRUE(grid->IsObjectUsed(water, CKCID_LAYER));

    const int v = 7;
    int out = -1;
    EXPECT_TRUE(water->SetValueChecked(2, 1, &v));
    EXPECT_FALSE(water->SetValueChecked(3, 0, &v));
    EXPECT_FALSE(water->SetValueChecked(-1, 0, &v));
    EXPECT_FALSE(water->GetValueChecked(0, 2, &out));
    EXPECT_EQ(out, 0);
    EXPECT_TRUE(water->GetValueChecked(2, 1, &out));
    EXPECT_EQ(out, 7);
    EXPECT_EQ(water->SetValue(1000, 1000, &v), 3 * 1000 + 1000) << "the index, the write refused";

    EXPECT_EQ(grid->RemoveLayerByName("links"), CKErr::Ok);
    EXPECT_EQ(grid->RemoveLayer(2), CKErr::NotFound);
    EXPECT_EQ(grid->RemoveLayerByName("water"), CKErr::Ok);
    EXPECT_EQ(grid->GetLayerCount(), 0);

    RCKLayer* loose = static_cast<RCKLayer*>(m_Context->CreateObject(CKCID_LAYER, "loose"));
    loose->InitOwner(12345);
    EXPECT_EQ(loose->GetOwner(), 0u);
    EXPECT_EQ(loose->GetCellArray(), nullptr);
    m_Manager.reset();
    EXPECT_EQ(grid->AddLayerByName("water"), nullptr) << "no manager";
}

TEST_F(GridTests, CellCoordinatesTruncateTowardsZero)
{
    RCKGrid* grid = NewGrid("grid", 10, 10);
    int x = 99, z = 99;
    QxVector p(-0.5f, 3.0f, 2.75f);
    EXPECT_EQ(grid->Get2dCoordsFromPos(&p, &x, &z), 0.3f);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(z, 2);
    p.x = -1.5f;
    grid->Get2dCoordsFromPos(&p, &x, &z);
    EXPECT_EQ(x, -1);
    p.x = NAN;
    grid->Get2dCoordsFromPos(&p, &x, &z);
    QxVector centre;
    grid->Get3dPosFromCoords(&centre, 2, 3);
    EXPECT_EQ(centre, QxVector(2.5f, 0.0f, 3.5f));
}

TEST_F(GridTests, TheDisplayTextureFollowsTheColourFormula)
{
    RCKGrid* grid = NewGrid("grid", 9, 3);
    grid->Show(CKHIDE);
    CKLayer* water = grid->AddLayerByName("water");
    CKLayer* links = grid->AddLayerByName("links");
    for (int z = 0; z < 3; ++z)
        for (int x = 0; x < 9; ++x) {
            const int w = x * 40 + z, l = (x + z) % 4;
            water->SetValue(x, z, &w);
            links->SetValue(x, z, &l);
        }
    grid->Show(CKSHOW);
    CKMesh* mesh = grid->GetDisplayMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(grid->GetCurrentMesh(), mesh);
    EXPECT_STREQ(mesh->GetName(), "grid mesh");
    CKMaterial* top = mesh->GetFaceMaterial(0);
    ASSERT_NE(top, nullptr);
    CKTexture* texture = top->GetTexture(0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 32);
    EXPECT_EQ(texture->GetHeight(), 16);
    float u, v;
    mesh->GetVertexTextureCoordinates(2, &u, &v);
    EXPECT_EQ(u, 18.0f / 32.0f);
    EXPECT_EQ(v, 6.0f / 16.0f);
    EXPECT_EQ(grid->GetBoundingBox(TRUE).Max, QxVector(9.0f, 1.0f, 3.0f));
    auto cap = [](int c) { return c > 255 ? 255 : c; };
    for (int z = 0; z < 3; ++z)
        for (int x = 0; x < 9; ++x) {
            const int w = x * 40 + z, l = ((x + z) % 4) * 85;
            const int r = cap((int) (l * 1.0f)), g = cap((int) (w * 0.5f) + (int) (l * 0.25f)), b = cap(w);
            const CKDWORD expected = 0xFF000000u | (CKDWORD) r << 16 | (CKDWORD) g << 8 | (CKDWORD) b;
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(texture->GetPixel(2 * x + (d & 1), 2 * z + (d >> 1)), expected) << x << "," << z;
        }
    // Showing again keeps the mesh; a changed value rebuilds it when drawn.
    grid->Show(CKSHOW);
    EXPECT_EQ(grid->GetDisplayMesh(), mesh);
    EXPECT_EQ(static_cast<RCKLayer*>(water)->m_Shown, 1);
    grid->Show(CKHIDE);
    EXPECT_EQ(grid->GetDisplayMesh(), nullptr);
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("grid texture", CKCID_TEXTURE), nullptr);
}

TEST_F(GridTests, FilesKeepLayerValuesTypesColoursAndFlags)
{
    RCKGrid* grid = NewGrid("grid", 5, 4);
    grid->SetGridPriority(3);
    grid->SetGridMode(9);
    CKLayer* water = grid->AddLayerByName("water");
    CKLayer* links = grid->AddLayerByName("links");
    links->SetVisible(FALSE);
    for (int i = 0; i < 20; ++i) {
        const int a = i * 3 - 7, b = i % 4;
        water->SetValue(i % 5, i / 5, &a);
        links->SetValue(i % 5, i / 5, &b);
    }
    CKContext* loaded = SaveAndLoadWithManager({grid});
    EXPECT_EQ(m_Manager->m_Saved.size(), 2u) << "the saved-types table";
    RCKGrid* back = Find<RCKGrid>(loaded, "grid", CKCID_GRID);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetWidth(), 5);
    EXPECT_EQ(back->GetLength(), 4);
    EXPECT_EQ(back->GetGridPriority(), 3);
    EXPECT_EQ(back->GetGridMode(), 9);
    ASSERT_EQ(back->GetLayerCount(), 2);
    TestGridManager& manager = *m_LoadedManager;
    CKLayer* w = back->GetLayerByName("water");
    CKLayer* l = back->GetLayerByName("links");
    ASSERT_TRUE(w && l);
    EXPECT_TRUE(w->IsVisible());
    EXPECT_FALSE(l->IsVisible());
    EXPECT_EQ(manager.GetAssociatedParam(l->GetType()), kLinker);
    EXPECT_EQ(manager.GetAssociatedColor(w->GetType()).GetARGB(), QxColor(0.0f, 0.5f, 1.0f, 1.0f).GetARGB());
    for (int i = 0; i < 20; ++i) {
        int a = 0, b = 0;
        w->GetValue(i % 5, i / 5, &a);
        l->GetValue(i % 5, i / 5, &b);
        EXPECT_EQ(a, i * 3 - 7);
        EXPECT_EQ(b, i % 4);
    }
}

TEST_F(GridTests, LayerChunksOfAnySizeAreFittedToTheOwner)
{
    RCKGrid* grid = NewGrid("grid", 3, 2);
    RCKLayer* layer = static_cast<RCKLayer*>(grid->AddLayerByName("water"));
    for (int cells : {0, 2, 6, 50}) {
        CKStateChunk chunk(CKCID_LAYER, nullptr);
        chunk.StartWrite();
        chunk.WriteIdentifier(CK_STATESAVE_LAYERONLY);
        chunk.WriteObject(grid);
        chunk.WriteInt(1);
        chunk.WriteInt(0);
        chunk.WriteInt(1);
        std::vector<CKDWORD> values(cells, 0x01020304u);
        chunk.WriteBuffer(cells * 4, values.data());
        chunk.CloseChunk();
        ASSERT_EQ(layer->Load(&chunk, nullptr), CKErr::Ok);
        EXPECT_EQ(layer->GetCellCount(), 6) << cells;
        int last = -1;
        layer->GetValue(2, 1, &last);
        EXPECT_EQ(last, cells >= 6 ? 0x01020304 : 0) << cells;
    }
    // Format 1 keeps no cells; every prefix of a saved chunk loads safely.
    layer->SetFormat(1);
    CKStateChunk* saved = CKSaveObjectState(layer, 0xFFFFFFFF);
    ASSERT_NE(saved, nullptr);
    ASSERT_EQ(layer->Load(saved, nullptr), CKErr::Ok);
    EXPECT_EQ(layer->GetCellArray(), nullptr);
    layer->SetFormat(0);
    layer->InitOwner(grid->GetID());
    CKDeleteStateChunk(saved);
    saved = CKSaveObjectState(grid, 0xFFFFFFFF);
    for (int n = 0; n < saved->GetDataSize() / 4; ++n) {
        CKStateChunk cut(CKCID_GRID, nullptr);
        cut.StartWrite();
        cut.SetDataVersion(saved->GetDataVersion());
        for (int i = 0; i < n; ++i)
            cut.WriteDword(saved->GetBuffer()[i]);
        cut.CloseChunk();
        RCKGrid* fresh = static_cast<RCKGrid*>(m_Context->CreateObject(CKCID_GRID, "fresh"));
        fresh->Load(&cut, nullptr);
        EXPECT_LE(fresh->GetWidth(), CK_GRID_MAXSIZE);
        m_Context->DestroyObject(fresh);
    }
    CKDeleteStateChunk(saved);

    // A name that is no type registers one.
    RCKLayer* named = static_cast<RCKLayer*>(m_Context->CreateObject(CKCID_LAYER, "lava"));
    CKStateChunk chunk(CKCID_LAYER, nullptr);
    chunk.StartWrite();
    chunk.WriteIdentifier(CK_STATESAVE_LAYERONLY);
    chunk.WriteObject(nullptr);
    chunk.WriteInt(0);
    chunk.WriteInt(1);
    chunk.WriteInt(1);
    chunk.CloseChunk();
    ASSERT_EQ(named->Load(&chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(named->GetType(), m_Manager->GetTypeFromName("lava"));
    EXPECT_NE(named->GetType(), 0);
}

} // namespace
