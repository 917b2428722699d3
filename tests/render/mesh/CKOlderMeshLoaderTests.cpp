// Mesh sections of the older form: one log line, nothing read.
#include <string>
#include <vector>

#include "platform/PlatformDebugOutput.h"
#include "render/mesh/CKOlderMeshLoader.h"
#include "tests/render/mesh/MaterialTestSupport.h"

namespace {

std::vector<std::string>& Lines()
{
    static std::vector<std::string> lines;
    return lines;
}

TEST_F(RenderFixture, AnOlderMeshSectionLogsOneLineAndReadsNothing)
{
    CKStateChunk* chunk = SectionChunk(CKCID_MESH, 0x2000, {1, 2, 3});
    chunk->SetDataVersion(7);
    chunk->StartRead();
    CKObject* named = m_Context->CreateObject(CKCID_MATERIAL, "old mesh");
    Lines().clear();
    PlatformDebugOutputHook previous = PlatformSetDebugOutputHook([](const char* text) { Lines().emplace_back(text); });
    EXPECT_EQ(CKLoadOlderMeshData(named, chunk, nullptr), CKErr::InvalidFile);
    PlatformSetDebugOutputHook(previous);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_NE(Lines()[0].find("old mesh"), std::string::npos);
    EXPECT_NE(Lines()[0].find("version 7"), std::string::npos);
    EXPECT_EQ(chunk->GetCurrentPos(), 0) << "nothing read";
    CKDeleteStateChunk(chunk);
}

} // namespace
