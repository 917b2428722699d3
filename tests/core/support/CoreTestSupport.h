#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObject.h"
#include "core/object/CKSceneObject.h"

// Objects of a test class (id allocated at registration), counting their
// deletion notices.
class TestObject : public CKObject
{
public:
    explicit TestObject(CKContext* context) : CKObject(context) {}
    CK_CLASSID GetClassID() override { return m_ClassID; }

    static CK_CLASSID m_ClassID;
    static void Register() {}
    static CKObject* CreateInstance(CKContext* context) { return new TestObject(context); }
    static void ReleaseInstance(CKContext* context, CKObject* object) { CKReleaseObjectDefault(context, object); }
    static const char* GetClassName() { return "Test Object"; }
    static const char* GetDependencies(int, int) { return nullptr; }
    static int GetDependenciesCount(int) { return 0; }
};

// Asks to hear about deletions of TestObject.
class TestListener : public CKObject
{
public:
    explicit TestListener(CKContext* context) : CKObject(context) {}
    CK_CLASSID GetClassID() override { return m_ClassID; }
    void CheckPreDeletion() override { ++s_PreCount; }
    void CheckPostDeletion() override { ++s_PostCount; }

    static int s_PreCount;
    static int s_PostCount;
    static CK_CLASSID m_ClassID;
    static void Register() { CKClassNeedNotificationFrom(m_ClassID, TestObject::m_ClassID); }
    static CKObject* CreateInstance(CKContext* context) { return new TestListener(context); }
    static void ReleaseInstance(CKContext* context, CKObject* object) { CKReleaseObjectDefault(context, object); }
    static const char* GetClassName() { return "Test Listener"; }
    static const char* GetDependencies(int, int) { return nullptr; }
    static int GetDependenciesCount(int) { return 0; }
};

// Derives from TestListener without asking anything itself: inherits it.
class TestListenerChild : public TestListener
{
public:
    explicit TestListenerChild(CKContext* context) : TestListener(context) {}
    CK_CLASSID GetClassID() override { return m_ClassID; }

    static CK_CLASSID m_ClassID;
    static void Register() {}
    static CKObject* CreateInstance(CKContext* context) { return new TestListenerChild(context); }
    static void ReleaseInstance(CKContext* context, CKObject* object) { CKReleaseObjectDefault(context, object); }
    static const char* GetClassName() { return "Test Listener Child"; }
    static const char* GetDependencies(int, int) { return nullptr; }
    static int GetDependenciesCount(int) { return 0; }
};

// Starts the engine with the test classes registered and makes a context;
// closes and shuts down at the end.
class EngineFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    void StartEngine(const char* settingsFile = nullptr);
    void StopEngine();

    // The console lines the context sent to the host.
    static std::vector<std::string>& Console();

    CKContext* m_Context = nullptr;
    bool m_Started = false;
};
