// One object holding a 300 MB buffer saved and loaded, plain and packed,
// with the peak memory of each step measured. Slow: it runs only when
// ENGINE_LARGE_FILE_TESTS is set. Memory is asserted only in builds without
// AddressSanitizer, whose quarantine keeps freed blocks resident.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

// AddressSanitizer's quarantine keeps freed blocks resident.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif

constexpr int kBufferSize = 300 << 20;

// An object owning one large buffer, which it adopts on load without a copy.
class HugeObject : public CKClass<HugeObject, CKObject, 0>
{
public:
    explicit HugeObject(CKContext* context) : CKClass(context) {}
    int GetMemoryOccupation() override { return CKObject::GetMemoryOccupation() + 16 + m_Size; }
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override
    {
        CKStateChunk* chunk = CKObject::Save(file, flags);
        chunk->WriteIdentifier(0x77);
        chunk->WriteBuffer(m_Size, m_Data.get());
        return chunk;
    }
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override
    {
        CKObject::Load(chunk, file);
        if (chunk->SeekIdentifier(0x77)) {
            void* block = nullptr;
            m_Size = chunk->ReadBuffer(&block);
            m_Data.reset(static_cast<CKBYTE*>(block));
        }
        return 0;
    }

    std::unique_ptr<CKBYTE[]> m_Data;
    int m_Size = 0;
    static const char* GetClassName() { return "Huge Object"; }
};

// Resident kilobytes now and at the peak since the last reset.
long StatusField(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Mesh-like bytes: slowly varying floats with some noise, so packing helps.
void Fill(CKBYTE* data, int size)
{
    CKDWORD seed = 99;
    for (int i = 0; i + 4 <= size; i += 4) {
        seed = seed * 214013 + 2531011;
        float value = (float) (i / 64) * 0.01f + (float) ((seed >> 16) & 7) * 0.001f;
        std::memcpy(data + i, &value, 4);
    }
}

class CKFileLarge : public FileFixture
{
protected:
    void SetUp() override
    {
        if (!std::getenv("ENGINE_LARGE_FILE_TESTS"))
            GTEST_SKIP() << "set ENGINE_LARGE_FILE_TESTS to run";
        FileFixture::SetUp();
        CKClassRegisterT<HugeObject, CKObject>("HugeObject");
        CKBuildClassHierarchyTable();
    }
};

} // namespace

TEST_F(CKFileLarge, A300MegabyteObjectSavesAndLoadsWithinTwiceItsSizePlus100Megabytes)
{
    TestTempDir dir;
    const long limitKb = (2L * kBufferSize + (100L << 20)) / 1024;
    for (int mode : {0, 8}) {
        SCOPED_TRACE(mode);
        std::string path = dir.File(mode ? "huge_packed.qdx" : "huge.qdx");
        CKContext* source = NewContext();
        source->SetFileWriteMode(mode);
        auto* huge = static_cast<HugeObject*>(source->CreateObject(HugeObject::m_ClassID, "Huge"));
        huge->m_Data.reset(new CKBYTE[kBufferSize]);
        huge->m_Size = kBufferSize;
        Fill(huge->m_Data.get(), kBufferSize);
        CKDWORD sum = CKComputeDataCRC(reinterpret_cast<const char*>(huge->m_Data.get()), kBufferSize, 0);

        // What the object's own chunk costs to make, file or no file.
        long before = StatusField("VmRSS:");
        ResetPeak();
        CKStateChunk* alone = huge->Save(nullptr, 0);
        alone->CloseChunk();
        long chunkPeak = StatusField("VmHWM:") - before;
        CKDeleteStateChunk(alone);

        before = StatusField("VmRSS:");
        ResetPeak();
        CKFile* file = source->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObject(huge);
        ASSERT_EQ(file->EndSave(), 0);
        source->DeleteCKFile(file);
        long savePeak = StatusField("VmHWM:") - before;
        CloseContext(source);

        CKContext* target = NewContext();
        before = StatusField("VmRSS:");
        ResetPeak();
        CKFile* loader = target->CreateCKFile();
        ASSERT_EQ(loader->Load(path.c_str(), nullptr, 0), 0);
        target->DeleteCKFile(loader);
        long loadPeak = StatusField("VmHWM:") - before;
        auto* back = static_cast<HugeObject*>(target->GetObjectByNameAndClass("Huge", HugeObject::m_ClassID));
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->m_Size, kBufferSize);
        EXPECT_EQ(CKComputeDataCRC(reinterpret_cast<const char*>(back->m_Data.get()), kBufferSize, 0), sum);
        std::printf("[ mode %d ] chunk alone %ld MB, save peak %ld MB above the start, load peak %ld MB, file %ld MB\n",
                    mode, chunkPeak / 1024, savePeak / 1024, loadPeak / 1024,
                    (long) (std::filesystem::file_size(path) >> 20));
        if (kMeasureMemory) {
            // The chunk reserves the buffer's size once and hands its block
            // over when closed; the file code streams it out.
            EXPECT_LT(chunkPeak, limitKb);
            EXPECT_LT(savePeak, limitKb);
            EXPECT_LT(loadPeak, limitKb);
        }
        CloseContext(target);
        std::remove(path.c_str());
    }
}
