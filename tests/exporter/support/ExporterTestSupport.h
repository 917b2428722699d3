#pragma once

#include <gtest/gtest.h>

#include "core/context/CKContext.h"

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
