#include "core/scene/CKHideContentManager.h"

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "includes/CKByteOrder.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

using HideContentTest = FileFixture;

TEST_F(HideContentTest, ANewContextHasAnEmptyPasswordAndEverySavedFileCarriesItsEmptyChunk)
{
    XString value;
    ASSERT_TRUE(m_Context->GetVariableManager()->GetValue("File Options/Protect Content Password", &value));
    EXPECT_STREQ(value.CStr(), "empty");
    EXPECT_NE(m_Context->GetManagerByGuid(HIDECONTENT_MANAGER_GUID), nullptr);
    TestTempDir dir;
    for (bool withObject : {false, true}) {
        SCOPED_TRACE(withObject);
        const std::string path = dir.File("hidden.qdx");
        m_Context->SetFileWriteMode(0);
        ASSERT_TRUE(SaveFile(m_Context, path, withObject ? NewItem(m_Context, "Item") : nullptr, 0));

        // Stored plain, the data section starts with the managers' records:
        // GUID, size word and the chunk's bytes.
        const std::vector<CKBYTE> bytes = ReadWholeFile(path);
        CKDWORD at = 64 + LoadLE32(bytes.data() + 28);
        int found = 0;
        for (CKDWORD m = 0; m < LoadLE32(bytes.data() + 40); ++m) {
            const CKDWORD size = LoadLE32(bytes.data() + at + 8);
            if (CKGUID(LoadLE32(bytes.data() + at), LoadLE32(bytes.data() + at + 4)) == HIDECONTENT_MANAGER_GUID) {
                ++found;
                CKStateChunk chunk(0, nullptr);
                ASSERT_TRUE(chunk.ConvertFromBuffer(bytes.data() + at + 12, (int) size));
                EXPECT_EQ(chunk.GetChunkClassID(), (CK_CLASSID) (signed char) (1001 & 0xFF));
                EXPECT_EQ(chunk.GetDataSize(), 0);
            }
            at += 12 + size;
        }
        EXPECT_EQ(found, 1);
    }
}
