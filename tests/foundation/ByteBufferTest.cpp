#include <filesystem>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/ByteBuffer.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using V = std::vector<uint8_t>;
using testsupport::FromBuffer;

std::filesystem::path FileWith(const char* name, const V& content)
{
    const auto path = testsupport::ProcessTempDir() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return path;
}

} // namespace

TEST(ByteBuffer, AppendUsesSpareRoomThenGrowsToTheExactLengthAndCopiesAreDeep)
{
    CByteBuffer buffer(3);
    EXPECT_EQ(buffer.GetLength(), 0u);
    const uint8_t data[] = {1, 2, 3, 4, 5};
    EXPECT_TRUE(buffer.Append(2, data));
    EXPECT_EQ(buffer.GetCapacity(), 3u);
    EXPECT_TRUE(buffer.Append(3, data + 2));
    EXPECT_EQ(buffer.GetCapacity(), 5u);
    EXPECT_FALSE(buffer.Append(1, nullptr));
    EXPECT_EQ(FromBuffer(buffer), (V{1, 2, 3, 4, 5}));
    // Allocate drops the data and gives zeroed room.
    EXPECT_TRUE(buffer.Allocate(4));
    EXPECT_EQ(buffer.GetLength(), 0u);
    EXPECT_EQ(buffer.GetData()[0], 0);

    // Copies are deep and take capacity and length.
    buffer.Append(2, data);
    CByteBuffer copy(buffer);
    EXPECT_EQ(copy.GetCapacity(), 4u);
    EXPECT_EQ(FromBuffer(copy), (V{1, 2}));
    EXPECT_NE(copy.GetData(), buffer.GetData());
    copy = *&copy;
    EXPECT_EQ(FromBuffer(copy), (V{1, 2}));
}

TEST(ByteBuffer, ClearKeepsTheBlockAndReserveGrowsItKeepingTheContents)
{
    const uint8_t data[] = {1, 2, 3, 4, 5};
    CByteBuffer buffer;
    buffer.Append(5, data);
    const uint8_t* block = buffer.GetData();
    buffer.Clear();
    EXPECT_EQ(buffer.GetLength(), 0u);
    EXPECT_EQ(buffer.GetCapacity(), 5u);
    // Refilled within its capacity, the buffer keeps its block and holds only the new bytes.
    EXPECT_TRUE(buffer.Append(2, data + 3));
    EXPECT_EQ(buffer.GetData(), block);
    EXPECT_EQ(FromBuffer(buffer), (V{4, 5}));

    EXPECT_TRUE(buffer.Reserve(3)); // within the capacity: nothing changes
    EXPECT_EQ(buffer.GetData(), block);
    EXPECT_EQ(buffer.GetCapacity(), 5u);
    EXPECT_TRUE(buffer.Reserve(8));
    EXPECT_EQ(buffer.GetCapacity(), 8u);
    EXPECT_EQ(FromBuffer(buffer), (V{4, 5}));
    EXPECT_EQ(buffer.GetData()[2], 0); // the new room is zeroed
    EXPECT_TRUE(buffer.Append(5, data));
    EXPECT_EQ(buffer.GetCapacity(), 8u);
    EXPECT_EQ(FromBuffer(buffer), (V{4, 5, 1, 2, 3, 4, 5}));

    // An empty buffer reserves a block of its own; Allocate(0) still gives the block back.
    CByteBuffer empty;
    empty.Clear();
    EXPECT_EQ(empty.GetCapacity(), 0u);
    EXPECT_TRUE(empty.Reserve(4));
    EXPECT_EQ(empty.GetCapacity(), 4u);
    EXPECT_EQ(empty.GetLength(), 0u);
    EXPECT_TRUE(empty.Allocate(0));
    EXPECT_EQ(empty.GetCapacity(), 0u);
    EXPECT_EQ(empty.GetData(), nullptr);
}

TEST(ByteBuffer, AppendingTheOwnBytesAppendsThem)
{
    CByteBuffer buffer;
    const uint8_t data[] = {1, 2, 3, 4};
    buffer.Append(4, data);
    EXPECT_TRUE(buffer.Append(buffer.GetLength(), buffer.GetData()));
    EXPECT_EQ(FromBuffer(buffer), (V{1, 2, 3, 4, 1, 2, 3, 4}));

    // A source in the middle of the own block, read while the block is replaced.
    EXPECT_TRUE(buffer.Append(3, buffer.GetData() + 2));
    EXPECT_EQ(FromBuffer(buffer), (V{1, 2, 3, 4, 1, 2, 3, 4, 3, 4, 1}));

    // Without growth, a source that overlaps the bytes being written.
    CByteBuffer roomy(8);
    roomy.Append(4, data);
    EXPECT_TRUE(roomy.Append(4, roomy.GetData() + 2));
    EXPECT_EQ(FromBuffer(roomy), (V{1, 2, 3, 4, 3, 4, 0, 0}));
    EXPECT_EQ(roomy.GetCapacity(), 8u);

    // A source that starts in the own block and runs past it is refused.
    EXPECT_FALSE(buffer.Append(4, buffer.GetData() + buffer.GetCapacity() - 2));
    EXPECT_EQ(buffer.GetLength(), 11u);
}

TEST(ByteBuffer, LoadFromFileReadsTheWholeFileOrReportsWhy)
{
    CByteBuffer buffer;
    ASSERT_EQ(buffer.LoadFromFile(FileWith("image.bin", {0xDE, 0xAD, 0xBE})), S_OK);
    EXPECT_EQ(FromBuffer(buffer), (V{0xDE, 0xAD, 0xBE}));
    EXPECT_EQ(buffer.GetCapacity(), 3u);

    EXPECT_EQ(buffer.LoadFromFile(testsupport::ProcessTempDir() / "missing.bin"), E_INVALIDARG);
    EXPECT_EQ(FromBuffer(buffer), (V{0xDE, 0xAD, 0xBE})) << "a missing file leaves the buffer as it was";
    EXPECT_EQ(buffer.LoadFromFile(FileWith("empty.bin", {})), E_FAIL);
    EXPECT_EQ(buffer.GetData(), nullptr);
    EXPECT_EQ(buffer.LoadFromFile(testsupport::ProcessTempDir()), E_FAIL);

    const auto large = FileWith("large.bin", {});
    std::filesystem::resize_file(large, FIRMWARE_FILE_SIZE_LIMIT + 1ull); // sparse: takes no disk
    EXPECT_EQ(buffer.LoadFromFile(large), E_OUTOFMEMORY);
    std::filesystem::remove(large);
}
