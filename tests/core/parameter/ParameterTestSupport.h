#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterCallbacks.h"
#include "core/parameter/CKParameterManager.h"

// The engine's value callbacks by short names, so a type's callbacks can be
// named back in expectations.
inline const std::map<const void*, std::string>& CallbackNames()
{
    static const std::map<const void*, std::string> names = [] {
        std::map<const void*, std::string> n;
#define NAME(fn, label) n[reinterpret_cast<const void*>(&fn)] = label
        NAME(CKCopy4ByteValue, "Copy4Bytes");
        NAME(CKCopyFixedValue, "CopyFixed");
        NAME(CKCopyGenericValue, "CopyGeneric");
        NAME(CKCopySliderValue, "CopySlider");
        NAME(CKCopyNoValue, "CopyNothing");
        NAME(CKCopyValueBySaveLoad, "CopyBySaveLoad");
        NAME(CKFloatText, "FloatText");
        NAME(CKAngleText, "AngleText");
        NAME(CKFloatSliderText, "FloatSliderText");
        NAME(CKIntegerText, "IntegerText");
        NAME(CKTimeText, "TimeText");
        NAME(CKBooleanText, "BooleanText");
        NAME(CKStringText, "StringText");
        NAME(CKVectorText, "VectorText");
        NAME(CKEulerAnglesText, "EulerAnglesText");
        NAME(CKFourFloatsText, "FourFloatsText");
        NAME(CKRectangleText, "RectangleText");
        NAME(CKVector2DText, "Vector2DText");
        NAME(CKMatrixText, "MatrixText");
        NAME(CKColorText, "ColorText");
        NAME(CKBoxText, "BoxText");
        NAME(CKCollectionText, "CollectionText");
        NAME(CKPercentageText, "PercentageText");
        NAME(CKMessageText, "MessageText");
        NAME(CKAttributeText, "AttributeText");
        NAME(CKObjectText, "ObjectText");
        NAME(CKEnumText, "EnumText");
        NAME(CKFlagsText, "FlagsText");
        NAME(CKStructText, "StructText");
        NAME(CKCreateDependenciesValue, "DependenciesCreate");
        NAME(CKDestroyDependenciesValue, "DependenciesDestroy");
        NAME(CKSaveLoadDependenciesValue, "DependenciesSaveLoad");
        NAME(CKCopyDependenciesValue, "DependenciesCopy");
        NAME(CKCreateCollectionValue, "CollectionCreate");
        NAME(CKDestroyCollectionValue, "CollectionDestroy");
        NAME(CKSaveLoadCollectionValue, "CollectionSaveLoad");
        NAME(CKCopyCollectionValue, "CollectionCopy");
        NAME(CKCheckCollectionValue, "CollectionCheck");
        NAME(CKCreateCurveValue, "Curve2DCreate");
        NAME(CKDestroyCurveValue, "Curve2DDestroy");
        NAME(CKSaveLoadCurveValue, "Curve2DSaveLoad");
        NAME(CKCopyCurveValue, "Curve2DCopy");
        NAME(CKCreateChunkValue, "StateChunkCreate");
        NAME(CKDestroyChunkValue, "StateChunkDestroy");
        NAME(CKSaveLoadChunkValue, "StateChunkSaveLoad");
        NAME(CKCopyChunkValue, "StateChunkCopy");
        NAME(CKCreateStructValue, "StructCreate");
        NAME(CKDestroyStructValue, "StructDestroy");
        NAME(CKSaveLoadStructValue, "StructSaveLoad");
        NAME(CKCopyStructValue, "StructCopy");
        NAME(CKCreateMatrixValue, "MatrixCreate");
        NAME(CKSaveLoadPointerValue, "PointerSaveLoad");
        NAME(CKCheckObjectValue, "ObjectCheck");
        NAME(CKCreateParameterTypeValue, "RegisteredParameterCreate");
#undef NAME
        return n;
    }();
    return names;
}

template <class F>
std::string MarkerName(F f)
{
    auto it = CallbackNames().find(reinterpret_cast<const void*>(f));
    return it == CallbackNames().end() ? "?" : it->second;
}

using ByteVector = std::vector<CKBYTE>;

template <class T>
ByteVector BytesOf(const T& value)
{
    ByteVector b(sizeof value);
    std::memcpy(b.data(), &value, sizeof value);
    return b;
}

// A chunk built by hand: fill writes what follows the data version.
template <class F>
CKStateChunk* HandChunk(CK_CLASSID cid, int dataVersion, F fill)
{
    CKStateChunk* chunk = CKCreateStateChunk(cid);
    chunk->StartWrite();
    chunk->SetDataVersion(dataVersion);
    fill(chunk);
    chunk->CloseChunk();
    return chunk;
}

// Keeps the console lines of a context in the vector of strings data.
inline CKERROR KeepConsoleLine(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
    return 0;
}

// A started engine with one context, whose console lines are kept.
class ParameterFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        RegisterClasses();
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
        m_Context->SetInterfaceMode(TRUE, KeepConsoleLine, &m_Console);
        m_Manager = m_Context->GetParameterManager();
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }
    // Test classes, registered before the context is made.
    virtual void RegisterClasses() {}

    // A parameter of the class, typed by the GUID (none for null).
    template <class T>
    T* New(CKGUID type = CKGUID(), const char* name = nullptr)
    {
        T* p = static_cast<T*>(m_Context->CreateObject(T::m_ClassID, name));
        if (p && type.IsValid())
            p->SetGUID(type);
        return p;
    }
    // The value's bytes as GetValue gives them (none when it refuses): a
    // whole pointer for a pointer type.
    static std::vector<CKBYTE> Bytes(CKParameter* p)
    {
        const size_t size = p->GetDataSize() > 0 ? (size_t) p->GetDataSize() : 0;
        std::vector<CKBYTE> out(CKIsPointerParameterType(p->GetTypeDesc()) ? sizeof(void*) : size);
        if (out.empty() || p->GetValue(out.data(), FALSE) != 0)
            out.clear();
        return out;
    }
    // The text form, asked for its size first.
    static std::string Text(CKParameter* p)
    {
        int size = p->GetStringValue(nullptr, 0, FALSE);
        if (size <= 0)
            return "";
        std::string text((size_t) size, '\0');
        p->GetStringValue(text.data(), size, FALSE);
        text.resize(std::strlen(text.c_str()));
        return text;
    }

    CKContext* m_Context = nullptr;
    CKParameterManager* m_Manager = nullptr;
    std::vector<std::string> m_Console;
};
