#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/context/CKPathManager.h"
#include "system/io/QxPackedFile.h"
#include "tests/core/support/CoreTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

using PathManagerTest = EngineFixture;

void Touch(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "x";
}

} // namespace

TEST_F(PathManagerTest, CategoriesAndFoldersAreKeptOnce)
{
    CKPathManager* pm = m_Context->GetPathManager();
    EXPECT_EQ(pm->GetCategoryIndex(XString("Bitmap Paths")), 0);
    EXPECT_EQ(pm->GetCategoryIndex(XString("Data Paths")), 1);
    EXPECT_EQ(pm->GetCategoryIndex(XString("Sound Paths")), 2);
    EXPECT_EQ(pm->AddCategory(XString("Data Paths")), -1);
    EXPECT_EQ(pm->AddCategory(XString("Models")), 3);
    EXPECT_EQ(pm->AddPath(0, XString("/A/Textures")), 0);
    EXPECT_EQ(pm->AddPath(0, XString("/a/textures")), -1);
    EXPECT_EQ(pm->GetPathIndex(0, XString("/A/TEXTURES")), 0);
    EXPECT_EQ(pm->AddPath(9, XString("/x")), -1);
}

TEST_F(PathManagerTest, NamesResolveInTheDocumentedOrder)
{
    TestTempDir tree;
    std::string root = tree.Path();
    CKPathManager* pm = m_Context->GetPathManager();
    XString name;
    EXPECT_EQ(pm->ResolveFileName(name, 0), -22);

    // The folder of the last composition comes before the working folder
    // and the category folders.
    Touch(root + "/composition/wood.png");
    Touch(root + "/work/wood.png");
    Touch(root + "/first/wood.png");
    Touch(root + "/second/wood.png");
    Touch(root + "/second/stone.png");
    pm->AddPath(0, XString((root + "/first").c_str()));
    pm->AddPath(0, XString((root + "/second").c_str()));
    std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(root + "/work");

    std::string composition = root + "/composition/scene.qbx";
    m_Context->RememberLoadedComposition(composition.c_str());
    name = "wood.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_STREQ(name.CStr(), "wood.png"); // exists in the working folder as given

    name = "stone.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_EQ(std::string(name.CStr()), root + "/second/stone.png");

    // A category search from folder 1 skips folder 0.
    name = "wood.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0, 1), 0);
    EXPECT_EQ(std::string(name.CStr()), root + "/second/wood.png");
    name = "dir/wood.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0, 0), 0);
    EXPECT_EQ(std::string(name.CStr()), root + "/first/wood.png");

    std::filesystem::current_path(root);
    name = "wood.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_EQ(std::string(name.CStr()), root + "/composition/wood.png");

    // An absolute name that does not exist goes on to the other steps.
    name = (root + "/missing/stone.png").c_str();
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_EQ(std::string(name.CStr()), root + "/second/stone.png");

    name = "http://host/a b.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_STREQ(name.CStr(), "http://host/a%20b.png");
    name = "nothing.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), -11);
    EXPECT_STREQ(name.CStr(), "nothing.png");
    EXPECT_EQ(pm->ResolveFileName(name, 9), -11) << "a category that does not exist";
    EXPECT_EQ(pm->ResolveFileName(name, -1), -11);

    // Files in the temporary folder are found after the working folder.
    XString temp = pm->GetTempFolder();
    ASSERT_FALSE(temp.IsEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(temp.CStr()));
    Touch(std::string(temp.CStr()) + "/temp.png");
    name = "temp.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_EQ(std::string(name.CStr()), std::string(temp.CStr()) + "/temp.png");
    std::filesystem::current_path(previous);
}

TEST_F(PathManagerTest, ArchivesAreSearchedOutwardFromTheCurrentOne)
{
    CKPathManager* pm = m_Context->GetPathManager();
    for (int i = 0; i < 3; ++i) {
        QxPackedFile* archive = new QxPackedFile;
        archive->AddFile(i == 2 ? "only2.png" : "common.png", 0, 1);
        pm->AddPackedFile(archive);
    }
    pm->SetCurrentArchive(1);
    XString name("only2.png");
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_STREQ(name.CStr(), "%2%only2.png");
    EXPECT_EQ(pm->GetCurrentArchive(), 2);
    EXPECT_TRUE(pm->HasCategoryPrefix(name));
    EXPECT_EQ(pm->ResolveCategoryPrefixedName(name.CStr(), nullptr), 1);
    name = "common.png";
    EXPECT_EQ(pm->ResolveFileName(name, 0), 0);
    EXPECT_STREQ(name.CStr(), "%1%common.png");
    EXPECT_EQ(pm->ResolveCategoryPrefixedName("%7%common.png", nullptr), 0);
    EXPECT_EQ(pm->ResolveCategoryPrefixedName("x%common.png", nullptr), 0) << "no prefix";
    EXPECT_EQ(pm->ResolveCategoryPrefixedName(nullptr, nullptr), 0);
}

TEST_F(PathManagerTest, NameKindsAndTheTemporaryFolderLifetime)
{
    EXPECT_TRUE(CKPathManager::IsAbsolutePath(XString("c:\\x")));
    EXPECT_TRUE(CKPathManager::IsAbsolutePath(XString("c:/x")));
    EXPECT_FALSE(CKPathManager::IsAbsolutePath(XString("c:x")));
    EXPECT_TRUE(CKPathManager::IsUNCPath(XString("\\\\server\\x")));
    EXPECT_TRUE(CKPathManager::IsUNCPath(XString("//server/x")));
    EXPECT_FALSE(CKPathManager::IsAbsolutePath(XString("//server/x")));
    EXPECT_TRUE(CKPathManager::IsURL(XString("ftp:x")));
    EXPECT_TRUE(CKPathManager::IsFileURL(XString("file:///x")));
    XString temp = m_Context->GetPathManager()->GetTempFolder();
    EXPECT_STREQ(m_Context->GetPathManager()->GetTempFolder().CStr(), temp.CStr());
    std::ofstream(std::string(temp.CStr()) + "/inside.txt") << "x";
    StopEngine();
    EXPECT_FALSE(std::filesystem::exists(temp.CStr()));
}
