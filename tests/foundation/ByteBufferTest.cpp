#include <filesystem>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/ByteBuffer.h"
#include "tests/support/TestEnvironment.h"

namespace
{

std::vector<uint8_t> Bytes(const CByteBuffer& buffer)
{
    return std::vector<uint8_t>(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

using V = std::vector<uint8_t>;

std::filesystem::path FileWith(const char* name, const std::vector<uint8_t>& content)
{
    const auto path = testsupport::ProcessTempDir() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return path;
}

} // namespace

TEST(ByteBuffer, ConstructionAndAllocateGiveZeroedRoomWithoutData)
{
    CByteBuffer buffer(8);
    EXPECT_EQ(buffer.GetCapacity(), 8u);
    EXPECT_EQ(buffer.GetLength(), 0u);
    EXPECT_EQ(buffer.GetData()[7], 0);

    const uint8_t data[] = {1, 2};
    buffer.Append(2, data);
    EXPECT_TRUE(buffer.Allocate(4));
    EXPECT_EQ(buffer.GetLength(), 0u);
    EXPECT_EQ(buffer.GetData()[0], 0);
    EXPECT_TRUE(buffer.Allocate(0));
    EXPECT_EQ(buffer.GetData(), nullptr);
    EXPECT_EQ(buffer.GetCapacity(), 0u);
}

TEST(ByteBuffer, AppendUsesSpareRoomThenGrowsToTheExactLength)
{
    CByteBuffer buffer(3);
    const uint8_t data[] = {1, 2, 3, 4, 5};
    EXPECT_TRUE(buffer.Append(2, data));
    EXPECT_EQ(buffer.GetCapacity(), 3u);
    EXPECT_TRUE(buffer.Append(3, data + 2));
    EXPECT_EQ(buffer.GetCapacity(), 5u);
    EXPECT_EQ(Bytes(buffer), (V{1, 2, 3, 4, 5}));
    EXPECT_TRUE(buffer.Append(0, nullptr));
    EXPECT_FALSE(buffer.Append(1, nullptr));
    EXPECT_EQ(Bytes(buffer), (V{1, 2, 3, 4, 5}));
}

TEST(ByteBuffer, AppendingTheOwnBytesAppendsThem)
{
    CByteBuffer buffer;
    const uint8_t data[] = {1, 2, 3, 4};
    buffer.Append(4, data);
    EXPECT_TRUE(buffer.Append(buffer.GetLength(), buffer.GetData()));
    EXPECT_EQ(Bytes(buffer), (V{1, 2, 3, 4, 1, 2, 3, 4}));

    // A source in the middle of the own block, read while the block is replaced.
    EXPECT_TRUE(buffer.Append(3, buffer.GetData() + 2));
    EXPECT_EQ(Bytes(buffer), (V{1, 2, 3, 4, 1, 2, 3, 4, 3, 4, 1}));

    // Without growth, a source that overlaps the bytes being written.
    CByteBuffer roomy(8);
    roomy.Append(4, data);
    EXPECT_TRUE(roomy.Append(4, roomy.GetData() + 2));
    EXPECT_EQ(Bytes(roomy), (V{1, 2, 3, 4, 3, 4, 0, 0}));
    EXPECT_EQ(roomy.GetCapacity(), 8u);

    // A source that starts in the own block and runs past it is refused.
    EXPECT_FALSE(buffer.Append(4, buffer.GetData() + buffer.GetCapacity() - 2));
    EXPECT_EQ(buffer.GetLength(), 11u);
}

TEST(ByteBuffer, CopiesTakeCapacityAndLength)
{
    CByteBuffer source(6);
    const uint8_t data[] = {9, 8};
    source.Append(2, data);
    CByteBuffer copy(source);
    EXPECT_EQ(copy.GetCapacity(), 6u);
    EXPECT_EQ(Bytes(copy), (V{9, 8}));
    EXPECT_NE(copy.GetData(), source.GetData());

    CByteBuffer assigned(2);
    assigned = source;
    EXPECT_EQ(Bytes(assigned), (V{9, 8}));
    assigned = *&assigned;
    EXPECT_EQ(Bytes(assigned), (V{9, 8}));
    assigned = CByteBuffer();
    EXPECT_EQ(assigned.GetData(), nullptr);
    EXPECT_EQ(assigned.GetLength(), 0u);
}

TEST(ByteBuffer, LoadFromFileReadsTheWholeFile)
{
    CByteBuffer buffer;
    ASSERT_EQ(buffer.LoadFromFile(FileWith("image.bin", {0xDE, 0xAD, 0xBE})), S_OK);
    EXPECT_EQ(Bytes(buffer), (V{0xDE, 0xAD, 0xBE}));
    EXPECT_EQ(buffer.GetCapacity(), 3u);
}

TEST(ByteBuffer, LoadFromFileFailures)
{
    CByteBuffer buffer;
    const uint8_t data[] = {7};
    buffer.Append(1, data);
    EXPECT_EQ(buffer.LoadFromFile(testsupport::ProcessTempDir() / "missing.bin"), E_INVALIDARG);
    EXPECT_EQ(Bytes(buffer), (V{7})) << "a missing file leaves the buffer as it was";

    EXPECT_EQ(buffer.LoadFromFile(FileWith("empty.bin", {})), E_FAIL);
    EXPECT_EQ(buffer.GetData(), nullptr);

    EXPECT_EQ(buffer.LoadFromFile(testsupport::ProcessTempDir()), E_FAIL);

    const auto large = FileWith("large.bin", {});
    std::filesystem::resize_file(large, FIRMWARE_FILE_SIZE_LIMIT + 1ull); // sparse: takes no disk
    EXPECT_EQ(buffer.LoadFromFile(large), E_OUTOFMEMORY);
    std::filesystem::resize_file(large, FIRMWARE_FILE_SIZE_LIMIT);
    EXPECT_EQ(buffer.LoadFromFile(large), S_OK);
    EXPECT_EQ(buffer.GetLength(), FIRMWARE_FILE_SIZE_LIMIT);
    std::filesystem::remove(large);
}
