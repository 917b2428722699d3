#pragma once

#include <string>
#include <vector>

#include "exporter/builder/ExportBuilder.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "tests/exporter/support/ExporterTestSupport.h"

// The engine with the exporter's plug-ins (the level-of-detail manager
// among them), a builder on its context that logs to memory.
class PostPassTest : public EngineFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A mesh of the builder: a strip of quads, two faces each, quad q using
    // materials[q % size] (none when empty); vertices at (x, y, 0) for x
    // 0 to quads and y 0 or 1.
    CKMesh* MakeStrip(const char* name, int quads, const std::vector<CKMaterial*>& materials);
    CKMaterial* MakeMaterial(const char* name);
    // Whether any builder list, table or the saved list still names the
    // object (by pointer, or the id in savedObjects).
    bool BuilderNames(const void* object, CK_ID id);

    ExportBuilder* m_Builder = nullptr;
    MemoryLog m_Log;
    int m_NextKey = 1;
};
