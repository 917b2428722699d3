#include <gtest/gtest.h>

#include <set>
#include <string>

#include "system/runtime/QxGlobals.h"
#include "system/runtime/QxStartUp.h"
#include "tests/system/support/GlobalStateRows.h"

TEST(QxGlobals, EveryResetStateHasATestRowAndEveryRowAState)
{
    std::set<std::string> listed;
    for (int i = 0; i < QxGetGlobalResetCount(); ++i)
        listed.insert(QxGetGlobalReset(i)->m_Name);
    std::set<std::string> tested;
    for (const GlobalStateRow& row : GlobalStateRows())
        tested.insert(row.Name);
    EXPECT_EQ(tested, listed);
    EXPECT_EQ(QxGetGlobalReset(-1), nullptr);
    EXPECT_EQ(QxGetGlobalReset(QxGetGlobalResetCount()), nullptr);
}

TEST(QxGlobals, EveryStateIsFreshAfterEachRestartOfTheLibrary)
{
    ExpectFreshAfterRestarts(
        QxStartUp, [] {}, QxShutDown, 3);
}

TEST(QxGlobals, ShutDownTwiceAndWithoutStartUpIsHarmless)
{
    QxShutDown();
    QxShutDown();
    QxStartUp();
    EXPECT_NE(QxGetMainThread(), nullptr);
    QxShutDown();
    QxShutDown();
    EXPECT_EQ(QxGetMainThread(), nullptr);
}
