#include <gtest/gtest.h>

#include "system/runtime/QxStartUp.h"
#include "tests/system/support/GlobalStateRows.h"

TEST(QxGlobals, EveryListedStateIsFreshAfterEachRestartOfTheLibrary)
{
    ExpectFreshAfterRestarts(
        QxStartUp, [] {}, QxShutDown, 3);
}
