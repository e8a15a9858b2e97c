#include "files/DataFormats.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pontvex;

namespace {

class BinFormat : public ::testing::Test {
protected:
    void SetUp() override { buffer.reset(); }
    DeviceBuffer buffer;
    std::span<uint8_t> image = imageOf(buffer);
    const std::vector<uint8_t> file{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
};

TEST_F(BinFormat, LaneModesPickTheirBytes)
{
    struct Case {
        int mode;
        std::vector<uint8_t> stored;
    };
    const Case cases[] = {
        {0, file},
        {1, file},
        {2, {0x10, 0x12, 0x14, 0x16, 0x18}},
        {3, {0x11, 0x13, 0x15, 0x17}},
        {4, {0x10, 0x14, 0x18}},
        {5, {0x11, 0x15}},
        {6, {0x12, 0x16}},
        {7, {0x13, 0x17}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ModeTable[c.mode].text);
        buffer.reset();
        const BinLoadReport r =
            StoreBinBytes(file, image, 0x8000, ModeTable[c.mode].LaneMask, ModeTable[c.mode].LaneValue);
        EXPECT_EQ(r.LoadEnd, 0x8000 + static_cast<int64_t>(c.stored.size()) - 1);
        EXPECT_TRUE(std::equal(c.stored.begin(), c.stored.end(), buffer.data() + 0x8000));
        EXPECT_EQ(buffer[0x8000 + static_cast<uint32_t>(c.stored.size())], 0xFF);
        EXPECT_EQ(buffer[0x7FFF], 0xFF);
        EXPECT_FALSE(r.dataLeft());
    }
}

TEST_F(BinFormat, SixByteFileInSecondLaneOfWord16)
{
    const std::vector<uint8_t> six{0, 1, 2, 3, 4, 5};
    const BinLoadReport r = StoreBinBytes(six, image, 0x20, 1, 1);
    EXPECT_EQ(r.LoadEnd, 0x22);
    EXPECT_EQ(buffer[0x20], 1);
    EXPECT_EQ(buffer[0x21], 3);
    EXPECT_EQ(buffer[0x22], 5);
    EXPECT_EQ(buffer[0x23], 0xFF);
}

TEST_F(BinFormat, EmptyFileStoresNothing)
{
    EXPECT_EQ(StoreBinBytes({}, image, 0, 0, 0).LoadEnd, -1);
    EXPECT_EQ(StoreBinBytes({}, image, 0x100, 3, 2).LoadEnd, 0xFF);
    EXPECT_EQ(buffer.checksum(-1), 0u);
}

TEST_F(BinFormat, LoadStopsAtTheBufferEndAndSaysSo)
{
    const uint32_t start = DeviceBuffer::kSize - 4;
    for (const int mode : {0, 2}) {
        const BinLoadReport r =
            StoreBinBytes(file, image, start, ModeTable[mode].LaneMask, ModeTable[mode].LaneValue);
        EXPECT_EQ(r.LoadEnd, int64_t{DeviceBuffer::kLastAddress});
        EXPECT_EQ(r.stored, 4u);
        EXPECT_TRUE(r.bufferEnd);
    }
    EXPECT_EQ(buffer[DeviceBuffer::kLastAddress], 0x16);

    // A start outside the buffer stores nothing.
    const BinLoadReport outside = StoreBinBytes(file, image, DeviceBuffer::kSize, 0, 0);
    EXPECT_EQ(outside.stored, 0u);
    EXPECT_TRUE(outside.bufferEnd);

    // A file longer than a load reads is cut at 8 MiB of file bytes.
    std::vector<uint8_t> big(DeviceBuffer::kSize + 1, 0x5A);
    const BinLoadReport cut = StoreBinBytes(big, image, 0, 1, 0);
    EXPECT_TRUE(cut.fileCut);
    EXPECT_EQ(cut.LoadEnd, int64_t{DeviceBuffer::kSize / 2 - 1});
}

TEST_F(BinFormat, CdsDropsItsHeader)
{
    std::vector<uint8_t> cds(0x1002);
    for (size_t i = 0; i < cds.size(); ++i)
        cds[i] = static_cast<uint8_t>(i * 7);
    const BinLoadReport r = StoreCdsBytes(cds, image);
    EXPECT_EQ(r.LoadEnd, 0xFFF);
    EXPECT_TRUE(std::equal(cds.begin() + 2, cds.end(), buffer.data()));
    // Nothing past the image moves.
    EXPECT_EQ(buffer[0x1000], 0xFF);
    EXPECT_EQ(buffer[0x1001], 0xFF);
}

TEST_F(BinFormat, CdsEdges)
{
    const std::vector<uint8_t> one{0x42};
    EXPECT_TRUE(StoreCdsBytes(one, image).noHeader);
    EXPECT_EQ(buffer[0], 0xFF);

    const std::vector<uint8_t> header{1, 2};
    const BinLoadReport empty = StoreCdsBytes(header, image);
    EXPECT_FALSE(empty.noHeader);
    EXPECT_EQ(empty.LoadEnd, -1);

    // An image of exactly the buffer fits; one byte more is cut and told.
    std::vector<uint8_t> full(DeviceBuffer::kSize + 2, 0x33);
    full.back() = 0x44;
    BinLoadReport r = StoreCdsBytes(full, image);
    EXPECT_EQ(r.LoadEnd, int64_t{DeviceBuffer::kLastAddress});
    EXPECT_FALSE(r.dataLeft());
    EXPECT_EQ(buffer[DeviceBuffer::kLastAddress], 0x44);
    full.push_back(0x55);
    r = StoreCdsBytes(full, image);
    EXPECT_TRUE(r.dataLeft());
}

} // namespace
