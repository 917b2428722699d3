#include <gtest/gtest.h>

#include <set>
#include <string>

#include "system/runtime/QxGlobals.h"
#include "system/runtime/QxStartUp.h"
#include "tests/system/support/GlobalStateRows.h"

TEST(QxGlobals, EveryResetStateHasATestRowAndEveryRowAState)
{
    std::set<std::string> listed, tested;
    for (int i = 0; i < QxGetGlobalResetCount(); ++i)
        listed.insert(QxGetGlobalReset(i)->m_Name);
    for (const GlobalStateRow& row : GlobalStateRows())
        tested.insert(row.Name);
    EXPECT_EQ(tested, listed);
    EXPECT_EQ(QxGetGlobalReset(QxGetGlobalResetCount()), nullptr);
}

TEST(QxGlobals, EveryStateIsFreshAfterEachRestartOfTheLibrary)
{
    ExpectFreshAfterRestarts(
        QxStartUp, [] {}, QxShutDown, 3);
}
