// The logic IC tester from the command line, on the simulated box with the
// generated libraries.
#include "cli/CliRunner.h"

#include <gtest/gtest.h>

TEST(CliLogicTester, TestsOneTypeAndSearchesTheSeries)
{
    CliSandbox box;
    CliResult r = box.run(
        {"--simulator", "--chip", "74xx", "--socket-chip", "7486", "--set", "type=74xx86", "press", "test"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("ОК!"), std::string::npos) << r.out;

    r = box.run(
        {"--simulator", "--chip", "74xx", "--socket-chip", "7486", "--set", "type=74xx00", "press", "test"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("Ошиб!"), std::string::npos) << r.out;

    r = box.run({"--simulator", "--chip", "40xx", "--socket-chip", "4013", "press", "search"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("查找到了一个型号!"), std::string::npos) << r.out;

    r = box.run({"--simulator", "--chip", "40xx", "--socket-chip", "4011", "press", "search"});
    EXPECT_NE(r.out.find("Найдено 2 похожих микр."), std::string::npos) << r.out;

    r = box.run({"--simulator", "--chip", "45xx", "--socket-empty", "press", "search"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("Не найд"), std::string::npos) << r.out;

    r = box.run({"--simulator", "--chip", "74xx", "controls"});
    EXPECT_NE(r.out.find("74xx125"), std::string::npos) << r.out;
    // The library's dummy records are no types to pick.
    EXPECT_EQ(r.out.find("74xx9990"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("74xx9999"), std::string::npos) << r.out;
}

TEST(CliLogicTester, ALibraryInTheWorkingDirectoryComesFirst)
{
    CliSandbox box;
    // Only the closing record: the table is empty, so there is nothing to test.
    box.writeFile("TTL74.LIB", {'E', 0, 0, 0, 0, 0, 0});
    CliResult r = box.run({"--simulator", "--chip", "74xx", "--socket-chip", "7400", "press", "test"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("缺库文件"), std::string::npos) << r.out;
}

TEST(CliLogicTester, ATypeTheSocketCannotSupplyIsExplained)
{
    CliSandbox box;
    CliResult r = box.run(
        {"--simulator", "--chip", "40xx", "--socket-chip", "4011", "--set", "type=4049", "press", "test"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("4049: выводы питания 1 и 8 не совпадают с питанием панели"), std::string::npos)
        << r.out;
    r = box.run(
        {"--simulator", "--chip", "74xx", "--socket-chip", "7400", "--set", "type=74xx90", "press", "test"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("74xx90: выводы питания 5 и 10 не совпадают с питанием панели"), std::string::npos)
        << r.out;
}

TEST(CliLogicTester, TheSecondCmosSetTestsAndIsFound)
{
    CliSandbox box;
    CliResult r = box.run(
        {"--simulator", "--chip", "40xx", "--socket-chip", "4060", "--set", "type=4060", "press", "test"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("ОК!"), std::string::npos) << r.out;
    r = box.run(
        {"--simulator", "--chip", "40xx", "--socket-chip", "4040", "--set", "type=4060", "press", "test"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.out.find("Ошиб!"), std::string::npos) << r.out;
    r = box.run({"--simulator", "--chip", "45xx", "--socket-chip", "4511", "press", "search"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("查找到了一个型号!"), std::string::npos) << r.out;
}
