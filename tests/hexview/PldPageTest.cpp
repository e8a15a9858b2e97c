// The PLD view's map text, checksum, caret and fuse editing over a buffer.
#include "hexview/PldPage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace pontvex;

namespace {

struct Map : ::testing::Test {
    std::unique_ptr<DeviceBuffer> buffer = std::make_unique<DeviceBuffer>();
    PldPage page{*buffer};
    void SetUp() override { std::fill_n(buffer->data(), 8000, '0'); }
    std::string line(int i) const
    {
        const auto stride = static_cast<size_t>(page.lineStride());
        return page.text().substr(static_cast<size_t>(i) * stride, stride - 1);
    }
};

} // namespace

TEST_F(Map, StartUpGeometryShowsSixtyNineLinesAndSumsTheMainArray)
{
    buffer->data()[0] = '1';
    buffer->data()[9] = 0x03; // odd: a 1 fuse
    buffer->data()[10] = 'b'; // even: a 0 fuse
    buffer->data()[2047] = '1';
    buffer->data()[2048] = '1'; // extra rows are shown, not summed
    page.ShowMap();
    EXPECT_EQ(page.MapSize, 2240);
    EXPECT_EQ(std::count(page.text().begin(), page.text().end(), '\n') + 1, 69);
    EXPECT_EQ(line(0), "L0000 10000000010000000000000000000000");
    EXPECT_EQ(line(64), "L2048 10000000000000000000000000000000");
    EXPECT_EQ(line(68).substr(0, 6), "L2176 ");
    EXPECT_EQ(page.checksumText(), "0083"); // 0x01 + 0x02 + 0x80
    EXPECT_EQ(page.caretPosition(), PldPage::kFuseColumn);
    EXPECT_EQ(page.addressText(), "0 ");
}

TEST_F(Map, CaretNamesTheFuseAndTypedFusesGoToTheBufferInRed)
{
    page.setGeometry(40, 64); // a 20V8 map
    page.ShowMap();
    const int at = 2 * page.lineStride() + PldPage::kFuseColumn + 5; // fuse 85
    page.OnSelectionChange(at);
    EXPECT_EQ(page.CaretLine, 2);
    EXPECT_EQ(page.CaretFuse, 85);
    EXPECT_EQ(page.addressText(), "85 ");

    page.OnKeyPress('x'); // ignored
    EXPECT_EQ(buffer->data()[85], '0');
    page.OnKeyPress('1');
    EXPECT_EQ(buffer->data()[85], '1');
    EXPECT_EQ(page.text()[static_cast<size_t>(at)], '1');
    EXPECT_EQ(page.ink(at), Ink::Red);

    // The label columns are not fuses.
    page.OnSelectionChange(3 * page.lineStride() + 2);
    EXPECT_EQ(page.CaretFuse, 120);
    page.OnKeyPress('1');
    EXPECT_EQ(buffer->data()[120], '0');

    // Shifted paging redraws (black again); plain paging does not.
    page.OnRichKeyDown(HexPage::Key::PageDown, false);
    EXPECT_EQ(page.ink(at), Ink::Red);
    page.OnRichKeyDown(HexPage::Key::PageDown, true);
    EXPECT_EQ(page.ink(at), Ink::Black);
    EXPECT_EQ(page.text()[static_cast<size_t>(at)], '1');
}

TEST_F(Map, NonsenseGeometryFallsBackToTheStartUpMap)
{
    page.setGeometry(0, -3);
    EXPECT_EQ(page.RowLength, 32);
    EXPECT_EQ(page.RowCount, 64);
}
