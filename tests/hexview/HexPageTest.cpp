#include "hexview/HexPage.h"
#include "hexview/BufferEditing.h"
#include "support/RecordingPrompt.h"

#include <gtest/gtest.h>

#include <random>

using namespace pontvex;

namespace {

std::string lineText(const HexPage& page, int line)
{
    return page.text().substr(static_cast<size_t>(line * HexPage::kLineStride), HexPage::kLineLength);
}

class HexPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        buffer.reset();
        page.ShowPage();
    }
    void TearDown() override { buffer.reset(); }

    DeviceBuffer buffer;
    HexPage page{buffer};
    RecordingPrompt prompt;
    int beeps = 0;
    Beep beep = [this] { ++beeps; };
};

TEST_F(HexPageTest, LineLayout)
{
    for (int k = 0; k < 16; ++k)
        buffer[0x1230 + k] = static_cast<uint8_t>(k == 0 ? 0x20 : k == 1 ? 0x7F : k == 2 ? 0x80 : 0x40 + k);
    buffer[0x123F] = 0x21;
    const std::string line = HexPage::formatLine(buffer, 0x1230);
    EXPECT_EQ(line, "  1230:  20 7f 80 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 21 .\x7f.CDEFGHIJKLMN!");
    EXPECT_EQ(line.size(), 73u);
    EXPECT_EQ(HexPage::formatLine(buffer, 0x7FFFF0).substr(0, 9), "7ffff0:  ");
}

TEST_F(HexPageTest, FirstPageIsSixteenBlackLinesWithCrLf)
{
    EXPECT_EQ(page.text().size(), 1200u);
    EXPECT_EQ(lineText(page, 0).substr(0, 12), "     0:  ff ");
    EXPECT_EQ(lineText(page, 15).substr(0, 9), "    f0:  ");
    EXPECT_EQ(page.text().substr(73, 2), "\r\n");
    EXPECT_EQ(page.text()[75], ' ');
    for (int p = 0; p < HexPage::kTextLength; ++p)
        ASSERT_EQ(page.ink(p), Ink::Black) << p;
    EXPECT_EQ(page.selectionStart(), 9);
    EXPECT_EQ(page.cursorText(), "0 ");
    EXPECT_EQ(page.pageStartText(), "0");
    EXPECT_EQ(page.scrollMaximum(), 0xFF);
    EXPECT_EQ(page.checksumText(), "  ff0000"); // 65536 * 0xff
}

TEST_F(HexPageTest, GreyFromEndAddress)
{
    page.EndAddress = 0x1F;
    page.ShowPage();
    EXPECT_EQ(page.ink(0), Ink::Black);
    EXPECT_EQ(page.ink(1 * 75 + 72), Ink::Black);
    for (int line = 2; line < 16; ++line)
        EXPECT_EQ(page.ink(line * 75 + 10), Ink::Grey) << line;
    // A line whose first address equals EndAddress is already grey.
    page.EndAddress = 0x20;
    page.ShowPage();
    EXPECT_EQ(page.ink(2 * 75), Ink::Grey);
    EXPECT_EQ(page.ink(1 * 75), Ink::Black);
}

TEST_F(HexPageTest, TwoTypedDigitsStoreAByte)
{
    page.select(9 + 3 * 5, 0);
    EXPECT_EQ(page.CursorAddress, 5);
    page.OnKeyPress('4');
    EXPECT_EQ(buffer[5], 0x4F);
    page.OnKeyPress('1');
    EXPECT_EQ(buffer[5], 0x41);
    EXPECT_EQ(page.text().substr(24, 2), "41");
    EXPECT_EQ(page.text()[62], 'A');
    EXPECT_EQ(page.ink(24), Ink::Red);
    EXPECT_EQ(page.ink(62), Ink::Red);
    EXPECT_EQ(page.ink(27), Ink::Black);
    // The next digit skips the blank and starts byte 6; lower case is typed upper.
    page.OnKeyPress('a');
    EXPECT_EQ(page.CursorAddress, 6);
    EXPECT_EQ(buffer[6], 0xAF);
    EXPECT_EQ(page.text()[27], 'A');
    // The checksum follows the typed bytes: 0x4F..0x41 at 5 and 0xAF at 6.
    EXPECT_EQ(page.checksumText(), "  fefef2");
}

TEST_F(HexPageTest, TypingOutsideByteColumnsOrNonDigitsIsIgnored)
{
    const std::string before = page.text();
    for (int column : {0, 5, 8, 56, 57, 70}) {
        page.select(75 * 3 + column, 0);
        page.OnKeyPress('7');
    }
    page.select(9, 2);
    page.OnKeyPress('g');
    EXPECT_EQ(page.selectionLength(), 0);
    EXPECT_EQ(page.text(), before);
    EXPECT_EQ(buffer.checksum(0xFFFF), 0xFF0000u);
    // The last digit column still types; the caret then stops at the line end.
    page.select(75 + 55, 0);
    page.OnKeyPress('0');
    EXPECT_EQ(buffer[0x1F], 0xF0);
    page.OnKeyPress('0');
    EXPECT_EQ(buffer[0x1F], 0xF0);
}

TEST_F(HexPageTest, CursorAddressFollowsColumns)
{
    page.PageStart = 0x300;
    page.ShowPage();
    const std::pair<int, int64_t> cases[] = {{2 * 75 + 0, 0x320},  {2 * 75 + 9, 0x320},  {2 * 75 + 11, 0x320},
                                             {2 * 75 + 12, 0x321}, {2 * 75 + 56, 0x32F}, {2 * 75 + 57, 0x320},
                                             {2 * 75 + 72, 0x32F}};
    for (auto [position, address] : cases) {
        page.select(position, 0);
        EXPECT_EQ(page.CursorAddress, address) << position;
    }
    EXPECT_EQ(page.cursorText(), "32f ");
}

TEST_F(HexPageTest, PagingLimits)
{
    page.OnRichKeyDown(HexPage::Key::PageUp);
    EXPECT_EQ(page.PageStart, 0);
    page.OnRichKeyDown(HexPage::Key::PageDown);
    EXPECT_EQ(page.PageStart, 0x100);
    page.OnRichKeyDown(HexPage::Key::End);
    EXPECT_EQ(page.PageStart, 0xFF00);
    EXPECT_EQ(lineText(page, 15).substr(0, 7), "  fff0:");
    // The button stops at the last page before EndAddress, the key goes on (grey).
    page.pageDownButton();
    EXPECT_EQ(page.PageStart, 0xFF00);
    page.OnRichKeyDown(HexPage::Key::PageDown);
    EXPECT_EQ(page.PageStart, 0x10000);
    EXPECT_EQ(page.ink(0), Ink::Grey);
    page.OnRichKeyDown(HexPage::Key::Home);
    EXPECT_EQ(page.PageStart, 0);
    page.pageUpButton();
    EXPECT_EQ(page.PageStart, 0);
    // Never past the 8 MiB buffer.
    page.EndAddress = DeviceBuffer::kLastAddress;
    page.OnRichKeyDown(HexPage::Key::End);
    EXPECT_EQ(page.PageStart, HexPage::kLastPageStart);
    page.OnRichKeyDown(HexPage::Key::PageDown);
    page.pageDownButton();
    EXPECT_EQ(page.PageStart, HexPage::kLastPageStart);
    EXPECT_EQ(lineText(page, 15).substr(0, 7), "7ffff0:");
}

TEST_F(HexPageTest, EndWithSmallImages)
{
    page.PageStart = 0x500;
    page.EndAddress = 0x1F;
    page.OnRichKeyDown(HexPage::Key::End);
    EXPECT_EQ(page.PageStart, 0);
    // The last page always shows the line that holds EndAddress.
    page.EndAddress = 0x100;
    page.OnRichKeyDown(HexPage::Key::End);
    EXPECT_EQ(page.PageStart, 0x10);
    EXPECT_EQ(lineText(page, 15).substr(0, 7), "   100:");
    // "PgDn" still reaches a last page that holds only EndAddress.
    page.OnRichKeyDown(HexPage::Key::Home);
    page.pageDownButton();
    EXPECT_EQ(page.PageStart, 0x100);
    page.pageDownButton();
    EXPECT_EQ(page.PageStart, 0x100);
    page.EndAddress = 0xFF;
    page.OnRichKeyDown(HexPage::Key::Home);
    page.pageDownButton();
    EXPECT_EQ(page.PageStart, 0);
}

TEST_F(HexPageTest, PageStartField)
{
    page.Edit3Exit("123");
    EXPECT_EQ(page.PageStart, 0x120);
    EXPECT_EQ(page.pageStartText(), "120");
    EXPECT_EQ(lineText(page, 0).substr(0, 7), "   120:");
    page.Edit3Exit("zz");
    EXPECT_EQ(page.PageStart, 0x120);
    EXPECT_EQ(page.pageStartText(), "120");
    for (const char* beyond : {"800000", "ffffffff", "123456789abcdef0123"}) {
        page.Edit3Exit(beyond);
        EXPECT_EQ(page.PageStart, HexPage::kLastPageStart) << beyond;
    }
}

TEST_F(HexPageTest, ScrollBarShowsYellowUntilScrollingEnds)
{
    page.ScrollBar1Change(0x12);
    EXPECT_EQ(page.PageStart, 0x1200);
    EXPECT_TRUE(page.pageStartYellow());
    EXPECT_EQ(page.pageStartText(), "1200");
    EXPECT_EQ(lineText(page, 0).substr(0, 7), "     0:"); // not redrawn yet
    page.ScrollBar1EndScroll();
    EXPECT_FALSE(page.pageStartYellow());
    EXPECT_EQ(lineText(page, 0).substr(0, 7), "  1200:");
    EXPECT_EQ(page.scrollPosition(), 0x12);
}

TEST_F(HexPageTest, FindIsCaseSensitiveOnThePage)
{
    EXPECT_FALSE(OnFind(&page, "FF", prompt, beep));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0], "Не найден!");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(page.selectionStart(), 0);

    EXPECT_TRUE(OnFind(&page, "ff", prompt, beep));
    EXPECT_EQ(page.selectionStart(), 9);
    EXPECT_EQ(page.selectionLength(), 2);
    EXPECT_EQ(page.CursorAddress, 0);
    EXPECT_TRUE(OnFind(&page, "ff", prompt, beep));
    EXPECT_EQ(page.selectionStart(), 12);
    EXPECT_EQ(page.CursorAddress, 1);
}

TEST_F(HexPageTest, RepeatRunsToTheEndOfThePage)
{
    int found = 0;
    while (OnFind(&page, "ff", prompt, beep))
        ++found;
    EXPECT_EQ(found, 256);
    EXPECT_EQ(prompt.shown, std::vector<std::string>{"Не найден!"});
    EXPECT_EQ(page.selectionStart(), 0);
    // After "not found" the caret is at 0 without a selection: the next search starts over.
    EXPECT_TRUE(OnFind(&page, "ff", prompt, beep));
    EXPECT_EQ(page.CursorAddress, 0);
}

TEST_F(HexPageTest, ReplaceFindKeepsTheCaret)
{
    page.select(20, 0);
    EXPECT_FALSE(OnRePlaceFind(&page, "zz", prompt, beep));
    EXPECT_EQ(page.selectionStart(), 20);
    EXPECT_EQ(beeps, 1);
}

TEST_F(HexPageTest, ReplaceStoresAtTheCursorByte)
{
    page.PageStart = 0x40;
    page.ShowPage();
    page.select(3 * 75 + 9, 2);
    EXPECT_TRUE(OnRePlace(&page, "7E", prompt));
    EXPECT_EQ(buffer[0x70], 0x7E);
    EXPECT_EQ(page.text().substr(3 * 75 + 9, 3), "7E ");
    EXPECT_EQ(page.text()[3 * 75 + 57], '~');
    EXPECT_TRUE(prompt.shown.empty());
    // From the blank behind a byte: that byte's cell changes, not its neighbour's.
    page.select(3 * 75 + 11, 0);
    EXPECT_TRUE(OnRePlace(&page, "00", prompt));
    EXPECT_EQ(buffer[0x70], 0x00);
    EXPECT_EQ(buffer[0x71], 0xFF);
    EXPECT_EQ(page.text().substr(3 * 75 + 9, 6), "00 ff ");
}

TEST_F(HexPageTest, ReplaceRefusesBadTextAndPlaces)
{
    page.select(9, 2);
    const struct {
        std::string text;
        const char* message;
    } refused[] = {
        {"7", kNeedTwoDigitsText}, {"7E0", kNeedTwoDigitsText}, {"zz", kNotHexText}, {"7 ", kNotHexText}};
    for (const auto& r : refused) {
        prompt.shown.clear();
        EXPECT_FALSE(OnRePlace(&page, r.text, prompt));
        EXPECT_EQ(prompt.shown, std::vector<std::string>{r.message}) << r.text;
    }
    for (int column : {0, 8, 57, 72}) {
        prompt.shown.clear();
        page.select(column, 0);
        EXPECT_FALSE(OnRePlace(&page, "00", prompt));
        EXPECT_EQ(prompt.shown, std::vector<std::string>{kBadPlaceText});
    }
    EXPECT_EQ(buffer.checksum(0xFFFF), 0xFF0000u);
}

TEST_F(HexPageTest, FillRangeAndSize)
{
    FillFields fields{"10", "1F", "5A"};
    EXPECT_TRUE(applyFill(&page, FillMode::Fill, fields, prompt));
    EXPECT_EQ(page.EndAddress, 0x1F);
    for (int a = 0; a < 0x30; ++a)
        EXPECT_EQ(buffer[a], a >= 0x10 && a <= 0x1F ? 0x5A : 0xFF) << a;
    EXPECT_EQ(page.checksumText(), "    1590"); // 16 * 0xff + 16 * 0x5a
    EXPECT_EQ(page.ink(2 * 75), Ink::Grey);

    fields = {"0", "3", "1ff"};
    EXPECT_TRUE(applyFill(&page, FillMode::Fill, fields, prompt));
    EXPECT_EQ(buffer[0], 0xFF);
    fields = {"zz", "1FFFFF", "not hex"}; // size mode reads only the end
    EXPECT_TRUE(applyFill(&page, FillMode::Size, fields, prompt));
    EXPECT_EQ(page.EndAddress, 0xFFFFF);
    EXPECT_EQ(page.checksumText(), " feff5b0"); // 1 MiB of 0xff with sixteen 0x5a
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(HexPageTest, FillRefusesNonHexAndChangesNothing)
{
    for (const FillFields& bad : {FillFields{"1g", "20", "00"}, FillFields{"0", "", "00"},
                                  FillFields{"0", "20", "x"}, FillFields{"0", "-20", "00"}}) {
        prompt.shown.clear();
        EXPECT_FALSE(applyFill(&page, FillMode::Fill, bad, prompt));
        EXPECT_EQ(prompt.shown.size(), 1u);
    }
    EXPECT_EQ(page.EndAddress, 0xFFFF);
    EXPECT_EQ(buffer.checksum(0xFFFFF), 0xFF00000u);
    EXPECT_FALSE(applyFill(nullptr, FillMode::Fill, FillFields{}, prompt));
}

TEST_F(HexPageTest, FillEndsBeyondTheBufferAreCut)
{
    FillFields fields{"fffff", "ffffffffffffffffffff", "00"};
    EXPECT_TRUE(applyFill(&page, FillMode::Fill, fields, prompt));
    EXPECT_EQ(page.EndAddress, 0xFFFFF);
    EXPECT_EQ(buffer[0xFFFFF], 0x00);
    EXPECT_EQ(buffer[0x100000], 0x00);
    EXPECT_EQ(buffer[0xFFFFE], 0xFF);
    fields = {"200000", "800000", "11"}; // start above the cut end stores nothing
    EXPECT_TRUE(applyFill(&page, FillMode::Fill, fields, prompt));
    EXPECT_EQ(buffer[0x200000], 0x00);
}

// Typing at random places always leaves the buffer as a model of the typed cells says.
TEST_F(HexPageTest, RandomTypingMatchesAModel)
{
    std::mt19937 random(1234);
    std::vector<uint8_t> model(buffer.data(), buffer.data() + 0x1000);
    const char digits[] = "0123456789abcdefABCDEF";
    for (int round = 0; round < 2000; ++round) {
        if (round % 200 == 0) {
            page.PageStart = static_cast<int64_t>(random() % 16) * 256;
            page.ShowPage();
        }
        const int line = static_cast<int>(random() % 16);
        const int k = static_cast<int>(random() % 16);
        const int second = static_cast<int>(random() % 2);
        page.select(line * 75 + 9 + 3 * k + second, 0);
        const char d = digits[random() % 22];
        page.OnKeyPress(d);
        const auto address = static_cast<size_t>(page.PageStart + 16 * line + k);
        const int value = std::stoi(std::string(1, d), nullptr, 16);
        model[address] = static_cast<uint8_t>(second ? (model[address] & 0xF0) | value
                                                     : (model[address] & 0x0F) | (value << 4));
        ASSERT_EQ(buffer[static_cast<uint32_t>(address)], model[address]) << round;
    }
    EXPECT_TRUE(std::equal(model.begin(), model.end(), buffer.data()));
}

} // namespace
