// The logic IC tester against the simulated logic chips: one type, the
// search, the library's failures and the bytes a vector sends.
#include "boxsim/chips/Logic.h"
#include "families/ictest/TICTestx.h"
#include "iclib/LogicLibrary.h"
#include "iclib/LogicTypes.h"
#include "support/FamilyBench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

using namespace pontvex;
namespace fs = std::filesystem;

namespace {

const char* const kListNames[3] = {"74xx", "40xx", "45xx"};

// A folder with the three generated libraries, or with libraries a test writes.
class LibraryDir {
public:
    explicit LibraryDir(const std::string& name)
        : path_(fs::temp_directory_path() / ("pontvex-ictest-" + name + "-" + std::to_string(::getpid())))
    {
        fs::create_directories(path_);
    }
    ~LibraryDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    void write(const std::string& file, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream out(path_ / file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void writeGenerated() const
    {
        for (iclib::Series s : {iclib::Series::Ttl74, iclib::Series::Cmos40, iclib::Series::Cmos45})
            write(iclib::seriesLibraryName(s), iclib::buildLibrary(s));
    }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

struct Tester {
    Tester(const LibraryDir& dir, int series, const std::string& model, bool seated = true)
        : bench("ICTEST", series, kListNames[series], {.seated = seated, .model = model})
    {
        t().libraryDirs = {dir.path()};
        t().selectSeries(series);
    }
    TICTestx& t() { return bench.as<TICTestx>(); }
    // Chooses the type of that name in the list.
    void choose(const std::string& name)
    {
        const auto& names = t().typeNames();
        const auto it = std::find(names.begin(), names.end(), name);
        ASSERT_NE(it, names.end()) << name;
        t().LBox1OnClick(static_cast<int>(it - names.begin()));
    }
    FamilyBench bench;
};

std::string listName(const iclib::LogicType& t)
{
    const int number = t.number;
    char text[32];
    if (t.series == iclib::Series::Ttl74)
        std::snprintf(text, sizeof text, "74xx%02d", number);
    else if (t.series == iclib::Series::Cmos40)
        std::snprintf(text, sizeof text, "40%02d", number);
    else
        std::snprintf(text, sizeof text, "45%02d", number);
    return text;
}

std::vector<uint8_t> header(int number, int vectors)
{
    std::vector<uint8_t> h;
    const std::string digits = std::to_string(number);
    for (size_t i = 0; i < 5; ++i)
        h.push_back(i < digits.size() ? static_cast<uint8_t>(digits[i]) : 0);
    h.push_back(static_cast<uint8_t>(vectors));
    h.push_back(0);
    return h;
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

void closeLibrary(std::vector<uint8_t>& lib)
{
    lib.push_back('E');
    lib.insert(lib.end(), 6, 0);
}

} // namespace

TEST(LogicTester, EveryTypePassesOnItsOwnChipAndSearchFindsOnlyItsLookAlikes)
{
    LibraryDir dir("search");
    dir.writeGenerated();
    for (const iclib::LogicType& type : iclib::logicTypes()) {
        SCOPED_TRACE(type.name);
        const int series = static_cast<int>(type.series);
        Tester tester(dir, series, type.name);
        tester.choose(listName(type));
        const int before = tester.bench.host.successCount;
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), "ОК!");
        EXPECT_EQ(tester.t().ErrorFlag(), 0);
        EXPECT_EQ(tester.bench.host.successCount, before + 1);
        EXPECT_EQ(tester.bench.box->errorReport(), "");

        // The search runs every other type of the series on this chip too.
        tester.bench.press("search");
        std::set<std::string> expected = {listName(type)};
        for (const std::string& same : type.sameAs)
            expected.insert(listName(*iclib::findLogicType(same)));
        const std::set<std::string> found(tester.t().found().begin(), tester.t().found().end());
        EXPECT_EQ(found, expected);
        EXPECT_EQ(tester.t().found().size(), found.size());
        if (expected.size() == 1)
            EXPECT_EQ(tester.t().message(), "查找到了一个型号!");
        else
            EXPECT_EQ(tester.t().message(),
                      "Найдено " + std::to_string(expected.size()) + " похожих микр.  ");
        EXPECT_EQ(tester.t().number(), tester.t().found().front());
        EXPECT_EQ(tester.bench.box->errorReport(), "");
    }
}

TEST(LogicTester, SequentialTypesPassFromEitherPowerUpState)
{
    LibraryDir dir("powerup");
    dir.writeGenerated();
    for (const char* name : {"7474",  "4013",  "4017",  "4518",  "4520",  "74161", "74163", "74164",
                             "74174", "74175", "74273", "74373", "74374", "74573", "74574", "74107",
                             "74109", "74112", "74165", "74166", "74191", "74193", "74194", "74595"}) {
        for (int q : {0, 1}) {
            const iclib::LogicType& type = *iclib::findLogicType(name);
            Tester tester(dir, static_cast<int>(type.series), name);
            tester.bench.model<boxsim::LogicChip>().setPowerUpState(q);
            tester.choose(listName(type));
            tester.bench.press("test");
            EXPECT_EQ(tester.t().message(), "ОК!") << name << " from " << q;
        }
    }
}

TEST(LogicTester, AWrongStuckOrMissingChipFails)
{
    LibraryDir dir("fail");
    dir.writeGenerated();
    {
        Tester tester(dir, 0, "7408");
        tester.choose("74xx00");
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), "Ошиб!");
        EXPECT_EQ(tester.t().ErrorFlag(), 1);
        EXPECT_EQ(tester.bench.host.successCount, 0);
    }
    {
        Tester tester(dir, 0, "7400");
        tester.bench.model<boxsim::LogicChip>().setStuckOutput(11, 1);
        tester.choose("74xx00");
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), "Ошиб!");
        tester.bench.press("search");
        EXPECT_EQ(tester.t().message(), "Не найд");
        EXPECT_TRUE(tester.t().found().empty());
        EXPECT_EQ(tester.t().number(), " ");
        EXPECT_EQ(tester.t().ErrorFlag(), 1);
    }
    {
        Tester tester(dir, 1, "", false);
        tester.choose("4011");
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), "Ошиб!");
        tester.bench.press("search");
        EXPECT_EQ(tester.t().message(), "Не найд");
    }
}

TEST(LogicTester, AChipOutsideTheBoxsSupplyGivesNothing)
{
    // The 7400 on a 16-pin record's Vcc pin (28) is not powered: every output reads the box's levels.
    LibraryDir dir("unpowered");
    std::vector<uint8_t> lib;
    auto r = iclib::typeRecord(*iclib::findLogicType("7400"));
    r[7 + 2] = 0x80; // say 16 pins
    append(lib, r);
    closeLibrary(lib);
    dir.write("TTL74.LIB", lib);
    Tester tester(dir, 0, "7400");
    ASSERT_EQ(tester.t().library().entries.at(0).vccPin, 28);
    tester.bench.press("test");
    EXPECT_EQ(tester.t().message(), "Ошиб!");
}

TEST(LogicTester, OneVectorSendsTheLatchesThenReadsThreePorts)
{
    LibraryDir dir("trace");
    dir.writeGenerated();
    Tester tester(dir, 0, "7404");
    tester.choose("74xx04");
    tester.bench.take();
    tester.bench.press("test");
    const std::vector<uint8_t> sent = tester.bench.take();
    // 7404, inputs low: socket 14, 16, 18 (pins 1, 3, 5), 22, 24, 26 (9, 11,
    // 13); the outputs between them are high, pulled low.
    uint8_t v[9] = {0x00, 0x00, 0x40, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int pin = 14; pin <= 26; ++pin) {
        if (pin == 20)
            continue;
        const size_t byte = pin >= 25 ? 3 : pin >= 17 ? 4 : 5;
        v[byte] = static_cast<uint8_t>(v[byte] & ~(1 << ((pin - 9) % 8)));
    }
    iclib::convertVector(v);
    const std::vector<uint8_t> vector = {19, 0, 18, 0, 17, 0, 11, v[4], 9, v[5], 8, v[3], 4, 3, 2};
    const auto at = std::search(sent.begin(), sent.end(), vector.begin(), vector.end());
    ASSERT_NE(at, sent.end()) << "the first vector's bytes";
    // Power: latches released, ground on 20, Vcc off, then Vcc on 27 around the port clear.
    const std::vector<uint8_t> start = {16, 255, 17, 255, 18, 255, 19, 255, 20, 255};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), sent.begin()));
    // After the last vector Vcc goes off and every latch is released.
    const std::vector<uint8_t> end = {16, 255, 17, 255, 18, 255, 19, 255, 20, 255};
    EXPECT_TRUE(std::equal(end.begin(), end.end(), sent.end() - 10));
    EXPECT_EQ(tester.t().message(), "ОК!");
}

TEST(LogicTester, MissingOrDamagedLibraryKeepsTheTableReadBefore)
{
    LibraryDir dir("damaged");
    dir.writeGenerated();
    Tester tester(dir, 0, "7400");
    const size_t types = tester.t().typeNames().size();
    ASSERT_GT(types, 3u);
    LibraryDir other("missing");
    tester.t().libraryDirs = {other.path()};
    tester.t().selectSeries(1);
    EXPECT_EQ(tester.t().message(), "缺库文件");
    EXPECT_EQ(tester.t().typeNames().size(), types);
    EXPECT_EQ(tester.t().typeNames()[0], "74xx00");

    std::vector<uint8_t> lib = iclib::buildLibrary(iclib::Series::Cmos40);
    const size_t records = iclib::readLogicLibrary(lib).library.entries.size();
    lib.resize(lib.size() - 7); // no closing record
    other.write("CMOS40.LIB", lib);
    tester.t().selectSeries(1);
    EXPECT_EQ(tester.t().message(),
              "缺库文件 CMOS40.LIB #" + std::to_string(records) + ": no closing \"E\" record");
    EXPECT_EQ(tester.t().typeNames().size(), types);
    tester.choose("74xx00");
    tester.bench.press("test");
    EXPECT_EQ(tester.t().message(), "ОК!") << "the old table still runs";
}

TEST(LogicTester, RepeatVectorsReplayTheTwoBeforeThem)
{
    LibraryDir dir("repeat");
    const auto vectors = iclib::typeRecord(*iclib::findLogicType("7400"));
    for (int count : {0, 3}) {
        std::vector<uint8_t> lib = header(0, 5);
        lib.insert(lib.end(), vectors.begin() + 7, vectors.end());
        append(lib, {0x40, 0, 0, 0, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), 0, 0, 0});
        closeLibrary(lib);
        dir.write("TTL74.LIB", lib);
        Tester tester(dir, 0, "7400");
        tester.bench.take();
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), "ОК!");
        EXPECT_EQ(tester.t().vectorCounter(), 4 + 2 * count);
        // Each replay writes vector 2's then vector 3's pin latches.
        const std::vector<uint8_t> sent = tester.bench.take();
        const std::vector<uint8_t> v2 = {11, tester.t().library().image[7 + 2 * 9 + 4]};
        size_t seen = 0;
        for (auto it = sent.begin(); (it = std::search(it, sent.end(), v2.begin(), v2.end())) != sent.end();
             ++it)
            ++seen;
        EXPECT_GE(seen, static_cast<size_t>(1 + count));
    }
}

TEST(LogicTester, PinsAbove31AreNeverCompared)
{
    LibraryDir dir("pin32");
    auto r = iclib::typeRecord(*iclib::findLogicType("7400"));
    // Expect pin 32 low in every vector: the reader sets those bits again.
    for (size_t at = 7; at < r.size(); at += 9)
        r[at + 6] = static_cast<uint8_t>(r[at + 6] & ~0x80);
    std::vector<uint8_t> lib;
    append(lib, r);
    closeLibrary(lib);
    dir.write("TTL74.LIB", lib);
    Tester tester(dir, 0, "7400");
    tester.bench.press("test");
    EXPECT_EQ(tester.t().message(), "ОК!");
}

TEST(LogicTester, SearchNeedsFourEntriesAndSwitchesVccFromTheRoutedPin)
{
    LibraryDir dir("short");
    {
        std::vector<uint8_t> lib = iclib::typeRecord(*iclib::findLogicType("7400"));
        closeLibrary(lib);
        dir.write("TTL74.LIB", lib);
        Tester tester(dir, 0, "7400");
        ASSERT_EQ(tester.t().library().entries.size(), 1u);
        tester.bench.press("search");
        EXPECT_EQ(tester.t().message(), "Не найд");
    }
    {
        // A 16-pin first entry, then the 4520: Vcc moves from 27 to 28 for it
        // although the entry before it is 16-pin too.
        std::vector<uint8_t> lib = iclib::typeRecord(*iclib::findLogicType("4518"));
        append(lib, iclib::typeRecord(*iclib::findLogicType("4520")));
        append(lib, iclib::typeRecord(*iclib::findLogicType("4518")));
        append(lib, iclib::typeRecord(*iclib::findLogicType("4518")));
        closeLibrary(lib);
        dir.write("CMOS45.LIB", lib);
        Tester tester(dir, 2, "4520");
        tester.bench.press("search");
        EXPECT_EQ(tester.t().message(), "查找到了一个型号!");
        ASSERT_EQ(tester.t().found().size(), 1u);
        EXPECT_EQ(tester.t().found()[0], "4520");
        EXPECT_EQ(tester.t().selectedEntry(), 1);
    }
}

TEST(LogicTester, SelectionOfflineAndTheWindowsTexts)
{
    LibraryDir dir("texts");
    dir.writeGenerated();
    Tester tester(dir, 0, "7400");
    EXPECT_EQ(tester.t().caption(), "Тест  IC (74,40,45)");
    EXPECT_EQ(tester.t().number(), "74xx00");
    EXPECT_EQ(tester.t().findButton("test")->caption, "Проверка");
    EXPECT_EQ(tester.t().findButton("search")->caption, "Поиск");
    EXPECT_EQ(tester.t().findButton(Role::Exit)->caption, "Выход");
    EXPECT_EQ(tester.t().findOption("series")->caption, "Тип");
    EXPECT_EQ(tester.t().findOption("type")->caption, "Выбор");
    EXPECT_FALSE(tester.t().variantValid(3));
    tester.choose("74xx86");
    EXPECT_EQ(tester.t().number(), "74xx86");
    // The list's selection as the GUI or CLI sets it is what Test runs.
    tester.t().findOption("type")->selected = 0;
    tester.bench.press("test");
    EXPECT_EQ(tester.t().number(), "74xx00");
    EXPECT_EQ(tester.t().message(), "ОК!");
    tester.bench.link.Disconnect();
    tester.bench.press("test");
    EXPECT_EQ(tester.t().message(), "Ош соедн!");
    EXPECT_EQ(tester.t().ErrorFlag(), 1);
}

TEST(LogicTester, TheDummyRecordsStayInTheFileButNotInTheList)
{
    LibraryDir dir("dummies");
    dir.writeGenerated();
    for (int series : {0, 1, 2}) {
        Tester tester(dir, series, "");
        const auto& entries = tester.t().library().entries;
        ASSERT_GT(entries.size(), 3u);
        EXPECT_EQ(entries.front().number, 9990);
        EXPECT_EQ(entries[entries.size() - 2].number, 9998);
        EXPECT_EQ(entries.back().number, 9999);
        const auto& names = tester.t().typeNames();
        // The types the socket cannot supply follow the library's own.
        size_t unfit = 0;
        for (const iclib::UnfitType& u : iclib::unfitTypes())
            unfit += static_cast<int>(u.series) == series ? 1 : 0;
        EXPECT_EQ(names.size(), entries.size() - 3 + unfit);
        EXPECT_EQ(tester.t().findOption("type")->items, names);
        for (const std::string& name : names)
            EXPECT_EQ(name.find("999"), std::string::npos) << name;
    }
    // The list's index and the library's entry stay one apart: the last
    // library type listed is the one tested, and a search still finds it.
    Tester tester(dir, 0, "74595");
    const auto& entries = tester.t().library().entries;
    const int last = static_cast<int>(entries.size()) - 4;
    EXPECT_EQ(tester.t().typeNames()[static_cast<size_t>(last)], "74xx595");
    tester.t().findOption("type")->selected = last;
    tester.bench.press("test");
    EXPECT_EQ(tester.t().number(), "74xx595");
    EXPECT_EQ(tester.t().selectedEntry(), last + 1);
    EXPECT_EQ(tester.t().message(), "ОК!");
    tester.t().findOption("type")->selected = 0;
    tester.bench.press("search");
    EXPECT_EQ(tester.t().message(), "查找到了一个型号!");
    EXPECT_EQ(tester.t().findOption("type")->selected, last);
    EXPECT_EQ(tester.t().number(), "74xx595");
}

TEST(LogicTester, ATypeWhoseSupplyPinsMissTheSocketsIsRefusedWithItsPins)
{
    LibraryDir dir("unfit");
    dir.writeGenerated();
    const struct {
        int series;
        const char* name;
        const char* text;
    } kCases[] = {
        {0, "74xx73", "74xx73: выводы питания 4 и 11 не совпадают с питанием панели"},
        {0, "74xx75", "74xx75: выводы питания 5 и 12 не совпадают с питанием панели"},
        {0, "74xx76", "74xx76: выводы питания 5 и 13 не совпадают с питанием панели"},
        {0, "74xx83", "74xx83: выводы питания 5 и 12 не совпадают с питанием панели"},
        {0, "74xx90", "74xx90: выводы питания 5 и 10 не совпадают с питанием панели"},
        {0, "74xx93", "74xx93: выводы питания 5 и 10 не совпадают с питанием панели"},
        {1, "4049", "4049: выводы питания 1 и 8 не совпадают с питанием панели"},
        {1, "4050", "4050: выводы питания 1 и 8 не совпадают с питанием панели"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Tester tester(dir, c.series, c.series == 0 ? "7400" : "4011");
        tester.choose(c.name);
        tester.bench.take();
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), c.text);
        EXPECT_NE(tester.t().ErrorFlag(), 0);
        // Refused before the socket is touched: no supply reaches a signal pin.
        EXPECT_TRUE(tester.bench.take().empty());
        // The library's own types still test, and the search never lists these.
        tester.bench.press("search");
        for (const std::string& found : tester.t().found())
            EXPECT_NE(found, c.name);
    }
    // Not in the other series' lists.
    Tester cmos(dir, 1, "4011");
    const auto& names = cmos.t().typeNames();
    EXPECT_EQ(std::find(names.begin(), names.end(), "74xx90"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "4090"), names.end());
}

TEST(LogicTester, TheSecondCmosSetPassesFromEitherPowerUpStateAndCountsEveryStage)
{
    LibraryDir dir("cmos2");
    dir.writeGenerated();
    for (const char* name : {"4020", "4024", "4027", "4040", "4060", "4094", "4510", "4511", "4516", "4543"})
        for (int q : {0, 1}) {
            const iclib::LogicType& type = *iclib::findLogicType(name);
            Tester tester(dir, static_cast<int>(type.series), name);
            tester.bench.model<boxsim::LogicChip>().setPowerUpState(q);
            tester.choose(listName(type));
            tester.bench.press("test");
            EXPECT_EQ(tester.t().message(), "ОК!") << name << " from " << q;
        }
    // The counters' last stages: the repeats really clock the chip, two
    // vectors a count, and a dead last stage is seen only at its half count.
    const struct {
        const char* name;
        int stages;
        int lastPin;
    } kRipple[] = {{"4020", 14, 3}, {"4024", 7, 3}, {"4040", 12, 1}, {"4060", 14, 3}};
    for (const auto& c : kRipple) {
        SCOPED_TRACE(c.name);
        Tester good(dir, 1, c.name);
        good.choose(c.name);
        good.bench.press("test");
        EXPECT_EQ(good.t().message(), "ОК!");
        EXPECT_EQ(good.t().vectorCounter(), 3 + 2 * (1 << c.stages));
        Tester dead(dir, 1, c.name);
        dead.bench.model<boxsim::LogicChip>().setStuckOutput(c.lastPin, 0);
        dead.choose(c.name);
        dead.bench.press("test");
        EXPECT_EQ(dead.t().message(), "Ошиб!");
        // Seen at the half count, and the last repeat is not sent after it.
        EXPECT_GE(dead.t().vectorCounter(), 2 * (1 << (c.stages - 1)));
        EXPECT_LT(dead.t().vectorCounter(), 3 + 2 * (1 << c.stages) - (1 << (c.stages - 1)));
    }
    // A three-state output stuck low is seen while it is on; the serial
    // output and the decoders' segments too.
    for (const auto& [name, pin] : std::vector<std::pair<const char*, int>>{
             {"4094", 4}, {"4094", 10}, {"4511", 13}, {"4543", 15}, {"4516", 7}, {"4027", 14}}) {
        const iclib::LogicType& type = *iclib::findLogicType(name);
        Tester tester(dir, static_cast<int>(type.series), name);
        tester.bench.model<boxsim::LogicChip>().setStuckOutput(pin, 0);
        tester.choose(listName(type));
        tester.bench.press("test");
        EXPECT_EQ(tester.t().message(), "Ошиб!") << name << " pin " << pin;
    }
}
