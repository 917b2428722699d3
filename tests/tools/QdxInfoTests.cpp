// qdxinfo lists the objects whose load a file refused and exits 1 then; a
// file that loads whole exits 0 with no such list.
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "exporter/shell/PluginShell.h"
#include "render/mesh/RCKMesh.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/HandMadeFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/QdxExportRun.h"
#include "tools/info/EngineFileInfo.h"

namespace {

struct ProgramRun
{
    int code = -1;
    std::string out;
};

// The qdxinfo program on a file: its exit code and standard output.
ProgramRun RunQdxInfo(const std::string& path)
{
    ProgramRun run;
    const std::string command = std::string("'") + QDXINFO_PROGRAM + "' '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class QdxInfo : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(ExporterLoad(), 0); }
    void TearDown() override { ExporterUnload(); }

    TestTempDir m_Dir;
};

// A mesh whose vertex block does not match its count: the file still loads,
// and the mesh is named with its class and the reason it was refused.
TEST_F(QdxInfo, AFileWithARefusedMeshSectionIsListedAndExitsOne)
{
    ChunkPtr hostile = NewChunk(CKCID_MESH);
    hostile->StartWrite();
    hostile->WriteIdentifier(CK_STATESAVE_MESHVERTICES);
    for (CKDWORD word : {2u, 0x1Fu, 4u, 0u, 0u, 0u, 0u})
        hostile->WriteDword(word);
    hostile->CloseChunk();
    hostile->SetDataVersion(CK_MESH_DATAVERSION);
    ChunkPtr clean = NewChunk(CKCID_MESH);
    clean->StartWrite();
    clean->CloseChunk();
    clean->SetDataVersion(CK_MESH_DATAVERSION);
    const std::vector<CKBYTE> bytes = HandMadeFile(
        {{1, CKCID_MESH, "Box", Serialised(hostile.get())}, {2, CKCID_MESH, "Ball", Serialised(clean.get())}});
    const std::string path = m_Dir.File("refused.qdx");
    TestWriteFile(path, std::string(bytes.begin(), bytes.end()));

    const std::string listed = "refused (1)\n  RCKMesh \"Box\": the vertex block does not match its count and flags\n";
    std::string text;
    int refused = -1;
    ASSERT_TRUE(DescribeEngineFile(path.c_str(), false, text, &refused)) << text;
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(text, "RCKMesh (2)\n  \"Box\"\n  \"Ball\"\n"
                    "totals: 2 objects, 2 meshes, 0 vertices, 0 faces, 0 materials, 0 textures, 0 animation keys\n" +
                        listed);
    const ProgramRun run = RunQdxInfo(path);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, text);
}

TEST_F(QdxInfo, AnExportedSceneListsNothingRefusedAndExitsZero)
{
    const std::string path = m_Dir.File("geometry.qdx");
    const CommandRun exported = RunQdxExport({TestSourceDir() + "/tests/tools/data/geometry_objects.json", path});
    ASSERT_EQ(exported.code, 0) << exported.err;
    std::string text;
    int refused = -1;
    ASSERT_TRUE(DescribeEngineFile(path.c_str(), true, text, &refused)) << text;
    EXPECT_EQ(refused, 0);
    const ProgramRun run = RunQdxInfo(path);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out.find("refused"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("RCKMesh"), std::string::npos) << run.out;
    // A file that does not load at all is told on the error stream.
    EXPECT_EQ(RunQdxInfo(m_Dir.File("nothing.qdx")).code, 1);
}

} // namespace
