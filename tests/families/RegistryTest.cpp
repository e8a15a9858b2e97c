#include "catalogue/FamilyRegistry.h"
#include "catalogue/HeadlessHost.h"
#include "families/Families.h"

#include <gtest/gtest.h>

#include <set>

namespace pontvex {
namespace {

// Every family built into the program is registered under one of the 61 keys
// of the dispatch table, and its factory makes the window class the table
// names for that key.
TEST(Families, EveryRegisteredKeyOpensTheWindowTheTableNames)
{
    FamilyRegistry families;
    registerFamilies(families);
    ASSERT_FALSE(families.families().empty());
    ProgrammerLink link; // offline: making a window sends nothing
    HeadlessHost host;
    link.setPrompt(&host.script());
    std::set<std::string> keys;
    for (const auto& family : families.families()) {
        SCOPED_TRACE(family.row->key);
        EXPECT_EQ(dispatchRow(family.row->key), family.row) << "not a row of the dispatch table";
        EXPECT_TRUE(keys.insert(family.row->key).second) << "registered twice";
        const std::unique_ptr<FamilyWindow> window = family.factory(link, host);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->className(), family.row->windowClass);
    }
    EXPECT_LE(keys.size(), dispatchTable().size());
}

// The families register once: a second registration of the same keys is the
// programming error the registry refuses.
TEST(Families, RegisteringTwiceFailsLoudly)
{
    FamilyRegistry families;
    registerFamilies(families);
    EXPECT_THROW(registerFamilies(families), RegistrationError);
}

} // namespace
} // namespace pontvex
