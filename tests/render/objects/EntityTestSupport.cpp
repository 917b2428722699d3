#include "tests/render/objects/EntityTestSupport.h"

#include <cmath>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"

void* EntityTestMesh::GetModifierVertices(CKDWORD* stride)
{
    *stride = sizeof(QxVector);
    return m_Positions.data();
}

void* EntityTestMesh::GetNormalsPtr(CKDWORD* stride)
{
    *stride = sizeof(QxVector);
    return m_Normals.data();
}

int EntityTestMesh::GetBlendShapeIndex(const XString& name)
{
    for (size_t i = 0; i < m_Shapes.size(); ++i)
        if (name == m_Shapes[i].c_str())
            return (int) i;
    return -1;
}

void EntityTestMesh::SetLineVertexCount(int count)
{
    m_Positions.assign((size_t) count, QxVector());
    m_Normals.assign((size_t) count, QxVector(0, 1, 0));
    for (int i = 0; i < count; ++i)
        m_Positions[(size_t) i] = QxVector((float) i, 0, 0);
}

CKStateChunk* EntityTestMesh::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* chunk = CKMesh::Save(file, flags);
    chunk->WriteIdentifier(0x10);
    chunk->WriteInt((int) m_Positions.size());
    chunk->WriteInt((int) m_Shapes.size());
    for (const std::string& shape : m_Shapes)
        chunk->WriteString(shape.c_str());
    chunk->WriteDword(m_Flags);
    return chunk;
}

CKERROR EntityTestMesh::Load(CKStateChunk* chunk, CKFile* file)
{
    CKMesh::Load(chunk, file);
    if (chunk->SeekIdentifier(0x10)) {
        SetLineVertexCount(chunk->ReadInt());
        m_Shapes.resize((size_t) chunk->ReadInt());
        for (std::string& shape : m_Shapes)
            shape = chunk->ReadXString().CStr();
        m_Flags = chunk->ReadDword();
    }
    return CKErr::Ok;
}

CKERROR EntityTestMesh::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKMesh::Copy(source, context);
    EntityTestMesh& from = static_cast<EntityTestMesh&>(source);
    m_Positions = from.m_Positions;
    m_Normals = from.m_Normals;
    m_Shapes = from.m_Shapes;
    m_Flags = from.m_Flags;
    return CKErr::Ok;
}

void EntityFixture::RegisterMoreClasses()
{
    RegisterTestClass<EntityTestMesh>("EntityTestMesh", CKCID_MESH);
    RegisterTestClass<TestAnimation>("TestAnimation", CKCID_OBJECTANIMATION);
}

void EntityFixture::TearDown()
{
    for (CKContext* context : m_Loaded)
        EXPECT_EQ(CKCloseContext(context), 0);
    m_Loaded.clear();
    RenderFixture::TearDown();
}

RCK3dEntity* EntityFixture::NewEntity(const char* name, CK_CLASSID cid, CKContext* context)
{
    return static_cast<RCK3dEntity*>((context ? context : m_Context)->CreateObject(cid, name));
}

EntityTestMesh* EntityFixture::NewMesh(const char* name, int vertices, int shapes)
{
    EntityTestMesh* mesh = New<EntityTestMesh>(name);
    mesh->SetLineVertexCount(vertices);
    for (int i = 0; i < shapes; ++i)
        mesh->m_Shapes.push_back("shape" + std::to_string(i));
    return mesh;
}

TestAnimation* EntityFixture::NewAnimation(const char* name)
{
    return New<TestAnimation>(name);
}

CKContext* EntityFixture::SaveAndLoad(const std::vector<CKObject*>& objects, CKDWORD flags)
{
    const std::string path = m_Temp.File("entities.qdx");
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(file->StartSave(path.c_str()), 0);
    for (CKObject* object : objects)
        file->SaveObject(object, flags);
    EXPECT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);

    CKContext* loaded = nullptr;
    EXPECT_EQ(CKCreateContext(&loaded, nullptr), 0);
    m_Loaded.push_back(loaded);
    CKFile* in = loaded->CreateCKFile();
    EXPECT_EQ(in->Load(path.c_str(), nullptr), 0);
    loaded->DeleteCKFile(in);
    return loaded;
}

float RelativeDifference(const QxMatrix& a, const QxMatrix& b)
{
    float difference = 0.0f;
    float magnitude = 1.0f;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            difference = std::fmax(difference, std::fabs(a[i][j] - b[i][j]));
            magnitude = std::fmax(magnitude, std::fabs(b[i][j]));
        }
    return difference / magnitude;
}

bool BitEqual(const QxMatrix& a, const QxMatrix& b)
{
    return std::memcmp(&a, &b, sizeof(QxMatrix)) == 0;
}

QxMatrix RandomMatrix(std::mt19937& rng, bool mirrored, float reach)
{
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> scale(0.8f, 1.25f);
    QxQuaternion q(unit(rng), unit(rng), unit(rng), unit(rng) + 1.5f);
    QxMatrix m;
    q.ToMatrix(m);
    for (int i = 0; i < 3; ++i) {
        float s = scale(rng) * (mirrored && i == 2 ? -1.0f : 1.0f);
        for (int j = 0; j < 3; ++j)
            m[i][j] *= s;
    }
    for (int j = 0; j < 3; ++j)
        m[3][j] = reach * unit(rng);
    return m;
}
