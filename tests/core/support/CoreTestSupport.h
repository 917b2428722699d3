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
class TestObject : public CKClass<TestObject, CKObject, 0>
{
public:
    explicit TestObject(CKContext* context) : CKClass(context) {}

    static const char* GetClassName() { return "Test Object"; }
};

// Asks to hear about deletions of TestObject.
class TestListener : public CKClass<TestListener, CKObject, 0>
{
public:
    explicit TestListener(CKContext* context) : CKClass(context) {}
    void CheckPreDeletion() override
    {
        ++s_PreCount;
        if (s_OnPreDeletion)
            s_OnPreDeletion(this);
    }
    void CheckPostDeletion() override { ++s_PostCount; }

    static int s_PreCount;
    static int s_PostCount;
    // What a test has the listener do when it hears (reset by the fixture).
    static void (*s_OnPreDeletion)(TestListener* listener);
    static void Register() { CKClassNeedNotificationFrom(m_ClassID, TestObject::m_ClassID); }
    static const char* GetClassName() { return "Test Listener"; }
};

// Derives from TestListener without asking anything itself: inherits it.
class TestListenerChild : public CKClass<TestListenerChild, TestListener, 0>
{
public:
    explicit TestListenerChild(CKContext* context) : CKClass(context) {}

    static const char* GetClassName() { return "Test Listener Child"; }
};

// Registers a test class under a parent id whose class is not written yet
// (behaviour, parameter and level stand-ins), with the functions its
// declaration gives it.
template <class T>
void RegisterUnderStandInParent(const char* name, CK_CLASSID parent)
{
    if (T::m_ClassID == 0)
        T::m_ClassID = CKAllocateClassID();
    CKClassRegister(name, T::m_ClassID, parent, &T::Register, &T::CreateInstance, &T::ReleaseInstance, &T::GetClassName,
                    &T::GetDependencies, &T::GetDependenciesCount);
}

// Starts the engine with the test classes registered and makes a context;
// closes and shuts down at the end.
class EngineFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    void StartEngine(const char* settingsFile = nullptr);
    void StopEngine();

    // The console lines a context sent to the host, through this hook.
    static std::vector<std::string>& Console();
    static CKERROR ConsoleHook(CKUICallbackStruct& message, void*);
    static bool Said(const std::string& line);

    CKContext* m_Context = nullptr;
    bool m_Started = false;
};
