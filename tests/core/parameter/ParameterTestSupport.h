#pragma once

#include <map>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameterLinks.h"
#include "core/parameter/CKParameterManager.h"

// Stand-ins for the value callbacks: one distinct function per entry of the
// parameter links, so a type's callbacks can be named back.
inline int g_LastMarker = 0;

template <int N, class F>
struct Marker;
template <int N, class R, class... A>
struct Marker<N, R (*)(A...)>
{
    static R Fn(A...)
    {
        g_LastMarker = N; // a distinct body, so no two markers are folded into one
        if constexpr (!std::is_void_v<R>)
            return R();
    }
};

// The entry name of each marker function.
inline std::map<const void*, std::string>& MarkerNames()
{
    static std::map<const void*, std::string> names;
    return names;
}

inline CKParameterLinks MarkerLinks()
{
    CKParameterLinks links;
#define INSTALL(field)                                                                                                 \
    links.field = &Marker<__COUNTER__, decltype(links.field)>::Fn;                                                     \
    MarkerNames()[reinterpret_cast<const void*>(links.field)] = #field
    INSTALL(Copy4Bytes);
    INSTALL(CopyFixed);
    INSTALL(CopyGeneric);
    INSTALL(CopySlider);
    INSTALL(CopyNothing);
    INSTALL(CopyBySaveLoad);
    INSTALL(FloatText);
    INSTALL(AngleText);
    INSTALL(FloatSliderText);
    INSTALL(IntegerText);
    INSTALL(TimeText);
    INSTALL(BooleanText);
    INSTALL(StringText);
    INSTALL(VectorText);
    INSTALL(EulerAnglesText);
    INSTALL(FourFloatsText);
    INSTALL(RectangleText);
    INSTALL(Vector2DText);
    INSTALL(MatrixText);
    INSTALL(ColorText);
    INSTALL(BoxText);
    INSTALL(CollectionText);
    INSTALL(PercentageText);
    INSTALL(MessageText);
    INSTALL(AttributeText);
    INSTALL(ObjectText);
    INSTALL(EnumText);
    INSTALL(FlagsText);
    INSTALL(StructText);
    INSTALL(DependenciesCreate);
    INSTALL(DependenciesDestroy);
    INSTALL(DependenciesSaveLoad);
    INSTALL(DependenciesCopy);
    INSTALL(CollectionCreate);
    INSTALL(CollectionDestroy);
    INSTALL(CollectionSaveLoad);
    INSTALL(CollectionCopy);
    INSTALL(CollectionCheck);
    INSTALL(Curve2DCreate);
    INSTALL(Curve2DDestroy);
    INSTALL(Curve2DSaveLoad);
    INSTALL(Curve2DCopy);
    INSTALL(StateChunkCreate);
    INSTALL(StateChunkDestroy);
    INSTALL(StateChunkSaveLoad);
    INSTALL(StateChunkCopy);
    INSTALL(StructCreate);
    INSTALL(StructDestroy);
    INSTALL(StructSaveLoad);
    INSTALL(StructCopy);
    INSTALL(MatrixCreate);
    INSTALL(PointerSaveLoad);
    INSTALL(ObjectCheck);
    INSTALL(RegisteredParameterCreate);
#undef INSTALL
    return links;
}

template <class F>
std::string MarkerName(F f)
{
    auto it = MarkerNames().find(reinterpret_cast<const void*>(f));
    return it == MarkerNames().end() ? "?" : it->second;
}

// A started engine with the marker callbacks installed and one context,
// whose console lines are kept.
class ParameterFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CKStartUp(), 0);
        CKSetParameterLinks(Links());
        ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
        m_Context->SetInterfaceMode(TRUE, ConsoleHook, &m_Console);
        m_Manager = m_Context->GetParameterManager();
    }
    void TearDown() override
    {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
        EXPECT_EQ(CKShutdown(), 0);
    }
    virtual CKParameterLinks Links() { return MarkerLinks(); }

    static CKERROR ConsoleHook(CKUICallbackStruct& message, void* data)
    {
        if (message.Reason == CKUIM_OUTTOCONSOLE)
            static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
        return 0;
    }

    CKContext* m_Context = nullptr;
    CKParameterManager* m_Manager = nullptr;
    std::vector<std::string> m_Console;
};
