#include "catalogue/FamilyRegistry.h"
#include "catalogue/TypeSelection.h"

#include "TestFamily.h"

#include <gtest/gtest.h>

namespace pontvex::test {
namespace {

FamilyFactory testFactory(int* made = nullptr)
{
    return [made](ProgrammerLink& link, FamilyHost& host) {
        if (made)
            ++*made;
        return std::make_unique<TTestFamily>(link, host);
    };
}

// A registration the dispatch table does not allow is a programming error:
// it throws at once and leaves the registry as it was.
TEST(FamilyRegistry, RegistrationsOutsideTheTableFailLoudly)
{
    FamilyRegistry registry;
    EXPECT_THROW(registry.add("P28", "TP28x", testFactory()), RegistrationError);   // no such key
    EXPECT_THROW(registry.add("p27", "TP27x", testFactory()), RegistrationError);   // keys are exact
    EXPECT_THROW(registry.add("P27", "TPW27x", testFactory()), RegistrationError);  // another row's class
    EXPECT_THROW(registry.add("P27", "TP27x", FamilyFactory{}), RegistrationError); // no factory
    EXPECT_TRUE(registry.families().empty());

    registry.add("P27", "TP27x", testFactory());
    EXPECT_THROW(registry.add("P27", "TP27x", testFactory()), RegistrationError); // twice
    // Two keys share the RAM window, each with its own registration.
    registry.add("DSRAM", "TDsRAM", testFactory());
    registry.add("TESTRAM", "TDsRAM", testFactory());
    ASSERT_EQ(registry.families().size(), 3u);
    EXPECT_STREQ(registry.families()[0].row->key, "P27");
    EXPECT_STREQ(registry.families()[0].row->windowClass, "TP27x");
    EXPECT_TRUE(registry.built("TESTRAM"));
    EXPECT_FALSE(registry.built("P29"));
    EXPECT_EQ(registry.factory("PW27"), nullptr);
    EXPECT_EQ(registry.factory("NOKEY"), nullptr);
}

TEST(FamilyRegistry, ReplaceTakesOnlyKeysOfTheTable)
{
    FamilyRegistry registry;
    int first = 0, second = 0;
    registry.add("P27", "TP27x", testFactory(&first));
    EXPECT_TRUE(registry.replace("P27", testFactory(&second)));
    EXPECT_TRUE(registry.replace("P29", testFactory(&second))); // not registered before
    EXPECT_FALSE(registry.replace("P28", testFactory()));
    EXPECT_EQ(registry.families().size(), 2u);

    ProgrammerLink link;
    HeadlessHost host;
    (*registry.factory("P27"))(link, host);
    (*registry.factory("P29"))(link, host);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 2);
}

TEST(FamilyRegistry, DispatchRowsByKey)
{
    const DispatchRow* row = dispatchRow("AT90S8515");
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->windowClass, "TAt90s8515x");
    EXPECT_EQ(dispatchRow("AT90S8"), nullptr); // whole words only
    EXPECT_EQ(dispatchRow(""), nullptr);
}

// The type selection works on its own copy: a test family put in its place
// does not reach the registry it was made from.
TEST(FamilyRegistry, TypeSelectionKeepsItsOwnCopy)
{
    FamilyRegistry registry;
    int made = 0;
    registry.add("P27", "TP27x", testFactory(&made));
    ProgrammerLink link;
    HeadlessHost host;
    TypeSelection selection(link, host, registry);
    EXPECT_TRUE(selection.families().built("P27"));
    EXPECT_TRUE(selection.setFactory("P89C51", testFactory()));
    EXPECT_FALSE(selection.setFactory("P28", testFactory()));
    EXPECT_TRUE(selection.families().built("P89C51"));
    EXPECT_FALSE(registry.built("P89C51"));

    selection.chip.AlgorithmKey = "P27";
    selection.chip.VariantIndex = 1;
    selection.DispatchAlgorithm();
    EXPECT_EQ(made, 1);
    ASSERT_NE(selection.window("TP27x"), nullptr);
    EXPECT_EQ(selection.currentWindow(), selection.window("TP27x"));
}

} // namespace
} // namespace pontvex::test
