#include "CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CliUsage, HelpNamesEveryExitCodeAndSucceeds)
{
    CliSandbox box;
    CliResult r = box.run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* text : {"Exit codes:", "0  success", "1  the operation failed", "2  usage", "3  no box",
                             "4  file error", "--socket-dump", "convert IN OUT"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    EXPECT_TRUE(r.err.empty());
}

TEST(CliUsage, BadCommandLinesExitTwoWithOneLineAndAHint)
{
    CliSandbox box;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"read"},                              // no -o
        {"write"},                             // no file
        {"--bogus", "list"},                   // unknown option
        {"--chip"},                            // option without value
        {"--yes", "--no", "blank"},            // contradicting answers
        {"--offline", "--simulator", "blank"}, // two connections
        {"--offline", "--socket-empty", "blank"},
        {"--lane", "9", "convert", "a", "b"},
        {"--start", "xyz", "convert", "a", "b"},
        {"--key", "P27", "blank"},     // no variant
        {"--set", "novalue", "blank"}, // no '='
        {"--steps", "blank", "blank"}, // --steps outside auto
        {"convert", "only-one"},
        {"blank", "extra"},
    };
    for (const auto& args : bad) {
        CliResult r = box.run(args);
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        EXPECT_EQ(r.exitCode, 2) << shown;
        EXPECT_EQ(r.err.rfind("pontvex-cli: ", 0), 0u) << shown << r.err;
        EXPECT_EQ(lineCount(r.err), 2) << shown << r.err; // the reason and the --help hint
        EXPECT_TRUE(r.out.empty()) << shown;
    }
}

TEST(CliUsage, OptionValuesMayFollowAnEqualsSign)
{
    CliSandbox box;
    CliResult r = box.run({"--lane=word16-2", "--start=0x10", "--help"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

} // namespace
