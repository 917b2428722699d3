#include "tests/core/support/FileTestSupport.h"

#include <fstream>
#include <stdexcept>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"

int FileTestItem::GetMemoryOccupation()
{
    return CKSceneObject::GetMemoryOccupation() + 40 + (int) m_Blob.size() + 4 * (int) m_Refs.size();
}

void FileTestItem::PreSave(CKFile* file, CKDWORD flags)
{
    CKSceneObject::PreSave(file, flags);
    for (CK_ID id : m_SaveAlso)
        file->SaveObject(m_Context->GetObject(id), flags);
}

CKStateChunk* FileTestItem::Save(CKFile* file, CKDWORD flags)
{
    if (m_ThrowOnSave)
        throw std::runtime_error("refused");
    CKStateChunk* chunk = CKSceneObject::Save(file, flags);
    chunk->WriteIdentifier(kIdentifier);
    chunk->WriteInt(m_Priority);
    chunk->WriteFloat(m_Value);
    chunk->WriteObjectID(m_Ref);
    chunk->StartObjectIDSequence((int) m_Refs.size());
    for (CK_ID id : m_Refs)
        chunk->WriteObjectIDSequenceItem(id);
    chunk->WriteBuffer((int) m_Blob.size(), m_Blob.data());
    if (m_Refusal != LoadsWhole) {
        chunk->WriteIdentifier(kRefusalIdentifier);
        chunk->WriteInt(m_Refusal);
        chunk->WriteString(m_Reason.c_str());
    }
    return chunk;
}

CKERROR FileTestItem::Load(CKStateChunk* chunk, CKFile* file)
{
    CKERROR result = CKSceneObject::Load(chunk, file);
    ++m_Loads;
    if (!chunk->SeekIdentifier(kIdentifier))
        return result;
    m_Priority = (short) chunk->ReadInt();
    m_Value = chunk->ReadFloat();
    m_Ref = chunk->ReadObjectID();
    XObjectArray refs = chunk->ReadXObjectArray();
    m_Refs.assign(refs.Begin(), refs.End());
    void* blob = nullptr;
    int size = chunk->ReadBuffer(&blob);
    m_Blob.assign(static_cast<CKBYTE*>(blob), static_cast<CKBYTE*>(blob) + (size > 0 ? size : 0));
    delete[] static_cast<CKBYTE*>(blob);
    if (!chunk->SeekIdentifier(kRefusalIdentifier))
        return result;
    m_Refusal = chunk->ReadInt();
    XString reason = chunk->ReadXString();
    m_Reason = reason.CStr();
    switch (m_Refusal) {
    case RefusesWithReason: CKNoteLoadRefusal(this, "%s", reason.CStr()); return CKErr::InvalidFile;
    case RefusesWithoutReason: return CKErr::NotFound;
    case RefusesPart: CKNoteLoadRefusal(this, "%s", reason.CStr()); return CKErr::Ok;
    case GivesTwoReasons:
        CKNoteLoadRefusal(this, "%s", reason.CStr());
        CKNoteLoadRefusal(this, "a consequence of %s", reason.CStr());
        return CKErr::InvalidFile;
    case ReadsPastItsChunk:
        for (int i = 0; i < 8; ++i)
            chunk->ReadInt();
        return chunk->GetReadError();
    case ThrowsOnLoad: throw std::runtime_error("refused");
    default: return result;
    }
}

CKStateChunk* FileTestManager::SaveData(CKFile* file)
{
    if (!m_Saves)
        return nullptr;
    // A manager's chunk has the same class id and first identifier.
    CKStateChunk* chunk = CKCreateStateChunk(0x42, file);
    chunk->StartWrite();
    chunk->WriteIdentifier(0x42);
    chunk->WriteInt((int) m_Numbers.size());
    for (int n : m_Numbers)
        chunk->WriteInt(n);
    chunk->WriteObjectID(m_Object);
    chunk->CloseChunk();
    return chunk;
}

CKERROR FileTestManager::LoadData(CKStateChunk* chunk, CKFile* file)
{
    (void) file;
    ++m_LoadCalls;
    if (!chunk) {
        m_LoadedNull = true;
        return 0;
    }
    chunk->StartRead();
    if (!chunk->SeekIdentifier(0x42))
        return 0;
    int count = chunk->ReadInt();
    m_Loaded.clear();
    for (int i = 0; i < count && i < 1000; ++i)
        m_Loaded.push_back(chunk->ReadInt());
    m_LoadedObject = chunk->ReadObjectID();
    return 0;
}

void FileFixture::SetUp()
{
    StartEngine();
    CKClassRegisterT<FileTestItem, CKSceneObject>("FileTestItem");
    CKBuildClassHierarchyTable();
    new FileTestManager(m_Context, kTestManagerGuid1, "File Test Manager 1");
    new FileTestManager(m_Context, kTestManagerGuid2, "File Test Manager 2");
}

void FileFixture::TearDown()
{
    for (CKContext* context : m_Others)
        CKCloseContext(context);
    m_Others.clear();
    StopEngine();
}

CKContext* FileFixture::NewContext()
{
    CKContext* context = nullptr;
    EXPECT_EQ(CKCreateContext(&context, nullptr, nullptr), 0);
    new FileTestManager(context, kTestManagerGuid1, "File Test Manager 1");
    new FileTestManager(context, kTestManagerGuid2, "File Test Manager 2");
    m_Others.push_back(context);
    return context;
}

void FileFixture::CloseContext(CKContext* context)
{
    for (size_t i = 0; i < m_Others.size(); ++i)
        if (m_Others[i] == context)
            m_Others.erase(m_Others.begin() + (long) i);
    CKCloseContext(context);
}

FileTestItem* FileFixture::NewItem(CKContext* context, const char* name, CKDWORD options)
{
    return static_cast<FileTestItem*>(context->CreateObject(FileTestItem::m_ClassID, name, options));
}

CKERROR FileFixture::LoadFile(CKContext* context, const std::string& path, CKDWORD flags)
{
    CKFile* file = context->CreateCKFile();
    CKERROR result = file->Load(path.c_str(), nullptr, flags);
    context->DeleteCKFile(file);
    return result;
}

FileTestManager* FileFixture::Manager(CKContext* context, CKGUID guid)
{
    return static_cast<FileTestManager*>(context->GetManagerByGuid(guid));
}

std::vector<CKBYTE> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<CKBYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::vector<CKBYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize) bytes.size());
}
