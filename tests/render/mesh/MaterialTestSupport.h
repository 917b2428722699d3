#pragma once

#include <string>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "render/mesh/RCKMaterial.h"
#include "render/mesh/RCKTexture.h"
#include "tests/render/support/RenderTestSupport.h"
#include "tests/support/TestPaths.h"

// The render fixture with the PNG reader, a second context to load into,
// and saving and loading through engine files.
class MaterialFixture : public RenderFixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A second context of the same engine (closed by TearDown).
    CKContext* Fresh();
    // Saves the objects from the first context into a file in the test's
    // folder and loads it into the second one; the file's path.
    std::string SaveAndLoad(const std::vector<CKObject*>& objects);
    template <class T>
    T* Loaded(const char* name, CK_CLASSID cid)
    {
        return static_cast<T*>(Fresh()->GetObjectByNameAndClass(name, cid));
    }
    CKMaterial* NewMaterial(const char* name, CKContext* context = nullptr)
    {
        return static_cast<CKMaterial*>((context ? context : m_Context)->CreateObject(CKCID_MATERIAL, name));
    }
    CKTexture* NewTexture(const char* name, CKContext* context = nullptr)
    {
        return static_cast<CKTexture*>((context ? context : m_Context)->CreateObject(CKCID_TEXTURE, name));
    }

    TestTempDir m_Dir;
    CKContext* m_Fresh = nullptr;
};

// A chunk of the class holding one section: the identifier and the words.
CKStateChunk* SectionChunk(CK_CLASSID cid, CKDWORD identifier, const std::vector<CKDWORD>& words);
// The words of a section of an object's saved chunk (as far as the section
// reaches, at most count).
std::vector<CKDWORD> SectionWords(CKObject* object, CKDWORD identifier, int count);
