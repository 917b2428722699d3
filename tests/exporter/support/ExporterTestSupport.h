#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "core/context/CKContext.h"
#include "exporter/report/GeLog.h"

// Starts the engine with the render engine's classes registered and makes a
// context, as the export driver's first export does; closes both after.
class EngineFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    template <class T>
    T* Make(CK_CLASSID cid, const char* name = nullptr)
    {
        return static_cast<T*>(m_Context->CreateObject(cid, name));
    }

    CKContext* m_Context = nullptr;
};

#include <memory>
#include <string>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/Matrix3.h"
#include "platform/host/PatchMesh.h"

// A host scene, its Interface and an exporter with its builder on the
// engine fixture's context, set up as the driver sets them before the
// object pass; the report keeps every level.
class SceneExportTest : public EngineFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A node showing the object (may be null) under the parent (the root when
    // null), with the local transform.
    INode* AddNode(const char* name, Object* object, INode* parent = nullptr, const Matrix3& local = Matrix3());
    template <class T, class... A>
    T* AddObject(A&&... arguments)
    {
        return m_Scene.Adopt(std::make_unique<T>(std::forward<A>(arguments)...));
    }
    // A patch object of one quad patch over the first four of its vertices
    // (all at the origin), with eight edge vectors and four interior ones.
    PatchObject* AddQuadPatch(int vertices);
    // The scene's animation range, and the exporter's copy of it with the
    // frames per tick, as the driver sets them.
    void SetAnimationRange(TimeValue start, TimeValue end);
    // The object pass over every child of the root, as the driver runs it.
    void ExportAll();
    std::string Report() const { return m_Exporter.GetReportText(); }

    HostScene m_Scene;
    std::unique_ptr<Interface> m_Interface;
    Max2Qdx m_Exporter;
    ExportBuilder* m_Builder = nullptr;
};

// Writes an engine file holding one script (a behaviour of type 1) named
// name, as an instruction's script file; the script leaves the context
// afterwards.
void WriteScriptFile(CKContext* context, const std::string& path, const char* name);

// A log that keeps what it was given.
class MemoryLog : public GeLog
{
public:
    CKBOOL Open() override { return 1; }
    CKBOOL Close() override { return 1; }
    void NewLine() override { m_Text += "\r\n"; }
    void WriteSeparator() override { m_Text += " ; "; }
    void WriteLine(const char* text) override { m_Text += std::string(text) + "\r\n"; }
    void Printf(const char* format, ...) override
    {
        va_list arguments;
        va_start(arguments, format);
        VPrintf(format, arguments);
        va_end(arguments);
    }
    void VPrintf(const char* format, va_list arguments) override
    {
        char buffer[64];
        va_list copy;
        va_copy(copy, arguments);
        int n = vsnprintf(buffer, sizeof(buffer), format, copy);
        va_end(copy);
        std::vector<char> all((size_t) n + 1);
        vsnprintf(all.data(), all.size(), format, arguments);
        m_Text.append(all.data(), (size_t) n);
    }

    std::string m_Text;
};

#include "exporter/geometry/MeshBuilder.h"

// Texture coordinates for a mesh builder's channel.
MeshTexCoord UV(float u, float v, float third = 0, float fourth = 0);
