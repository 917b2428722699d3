#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKBaseManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKSceneObject.h"
#include "tests/core/support/CoreTestSupport.h"

// An object with the kinds of fields files must carry: a priority, a float,
// one reference, a sequence of references and a byte buffer.
class FileTestItem : public CKClass<FileTestItem, CKSceneObject, 0>
{
public:
    static constexpr CKDWORD kIdentifier = 0x2000;

    explicit FileTestItem(CKContext* context) : CKClass(context) {}
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PreSave(CKFile* file, CKDWORD flags) override;
    void PostLoad() override { ++m_PostLoads; }
    int GetMemoryOccupation() override;

    short m_Priority = 0;
    float m_Value = 0.0f;
    CK_ID m_Ref = 0;
    std::vector<CK_ID> m_Refs;
    std::vector<CKBYTE> m_Blob;
    int m_Loads = 0;
    int m_PostLoads = 0;
    // Objects PreSave adds to the file (with the same flags).
    std::vector<CK_ID> m_SaveAlso;
    // When set, Save throws.
    bool m_ThrowOnSave = false;
    // How the loaded copy answers its Load (saved in the chunk, with the
    // reason it gives).
    enum Refusal
    {
        LoadsWhole = 0,
        RefusesWithReason,    // gives the reason, returns an error
        RefusesWithoutReason, // returns an error only
        RefusesPart,          // gives the reason, returns 0
        GivesTwoReasons,      // the reason, then another one, and an error
        ReadsPastItsChunk,    // returns the chunk's read error
        ThrowsOnLoad,
    };
    static constexpr CKDWORD kRefusalIdentifier = 0x4000;
    int m_Refusal = LoadsWhole;
    std::string m_Reason;

    static const char* GetClassName() { return "File Test Item"; }
};

// A manager that saves a few numbers and one object reference, and keeps
// what it loads.
class FileTestManager : public CKBaseManager
{
public:
    FileTestManager(CKContext* context, CKGUID guid, const char* name) : CKBaseManager(context, guid, name)
    {
        context->RegisterNewManager(this);
    }
    CKStateChunk* SaveData(CKFile* file) override;
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override;

    bool m_Saves = true;
    std::vector<int> m_Numbers;
    CK_ID m_Object = 0;
    int m_LoadCalls = 0;
    bool m_LoadedNull = false;
    std::vector<int> m_Loaded;
    CK_ID m_LoadedObject = 0;
};

constexpr CKGUID kTestManagerGuid1(0x11112222, 0x33334444);
constexpr CKGUID kTestManagerGuid2(0x55556666, 0x77778888);

// Engine with the file test classes and two test managers in its context.
class FileFixture : public EngineFixture
{
protected:
    void SetUp() override;
    // A second context with the same test managers.
    CKContext* NewContext();
    void CloseContext(CKContext* context);
    FileTestItem* NewItem(CKContext* context, const char* name = nullptr, CKDWORD options = 0);
    // Loads a file into the context through a CKFile of its own.
    static CKERROR LoadFile(CKContext* context, const std::string& path, CKDWORD flags = 0);
    static FileTestManager* Manager(CKContext* context, CKGUID guid);

    std::vector<CKContext*> m_Others;
    void TearDown() override;
};

std::vector<CKBYTE> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<CKBYTE>& bytes);
