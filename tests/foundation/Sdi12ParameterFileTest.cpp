#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/ResultCodes.h"
#include "foundation/Sdi12ParameterFile.h"
#include "platform/Utf.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using V = std::vector<uint8_t>;

constexpr HRESULT kInvalidPath = ResultCode(0x81020001u);
constexpr HRESULT kOpenFailed = ResultCode(0x81020004u);
constexpr HRESULT kBadVersion = ResultCode(0x810200A3u);

class Sdi12File : public testing::Test
{
protected:
    std::u16string PathOf(const char* name) const
    {
        return platform::Utf8ToUtf16((m_dir.Path() / name).string());
    }

    std::u16string Write(const V& bytes)
    {
        std::ofstream(m_dir.Path() / "set.sdi", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return PathOf("set.sdi");
    }

    V Read() const
    {
        std::ifstream in(m_dir.Path() / "set.sdi", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    testsupport::ScopedConfigDir m_dir;
};

} // namespace

TEST_F(Sdi12File, SavesTheDocumentedLayoutAndLoadsItBack)
{
    sParameterSet set;
    set.address = 'A';
    set.selections.Add(sParamSelection{1, 2});
    set.selections.Add(sParamSelection{3, 4});
    ASSERT_EQ(SaveParameterSetFile(set, PathOf("set.sdi").c_str()), S_OK);
    EXPECT_EQ(Read(),
              (V{0x00, 0x01, 0x00, 0x41, 0x00, 0x02, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04}));

    sParameterSet loaded;
    loaded.selections.Add(sParamSelection{9, 9}); // replaced by what the file holds
    ASSERT_EQ(LoadParameterSetFile(loaded, PathOf("set.sdi").c_str()), S_OK);
    EXPECT_EQ(loaded.address, 'A');
    ASSERT_EQ(loaded.selections.GetCount(), 2u);
    EXPECT_EQ(loaded.selections[1].Connection, 3);
    EXPECT_EQ(loaded.selections[1].ParameterNumber, 4);
    EXPECT_EQ(std::u16string(loaded.path), PathOf("set.sdi"));

    // Saving again truncates: a shorter set leaves no old pairs behind.
    loaded.selections.SetSize(1);
    ASSERT_EQ(SaveParameterSetFile(loaded, PathOf("set.sdi").c_str()), S_OK);
    EXPECT_EQ(Read().size(), 10u);
}

TEST_F(Sdi12File, RefusesBadFilesAndReportsAFileThatCannotBeWritten)
{
    sParameterSet set;
    EXPECT_EQ(LoadParameterSetFile(set, Write({0, 2, 0, 'A', 0, 0}).c_str()), kBadVersion);

    // A count that claims more pairs than the file holds.
    set.path = u"kept";
    EXPECT_EQ(LoadParameterSetFile(set, Write({0, 1, 0, 'B', 0, 3, 0, 1, 0, 2, 0, 3, 0, 4, 0}).c_str()),
              E_BUFFER_EXTRACTION_OVERRUN);
    ASSERT_EQ(set.selections.GetCount(), 2u) << "the two whole pairs, nothing invented";
    EXPECT_EQ(set.selections[1].ParameterNumber, 4);
    EXPECT_EQ(std::u16string(set.path), u"kept");

    EXPECT_EQ(LoadParameterSetFile(set, Write({0, 1, 0}).c_str()), E_BUFFER_EXTRACTION_OVERRUN);

    EXPECT_EQ(LoadParameterSetFile(set, nullptr), kInvalidPath);
    EXPECT_EQ(LoadParameterSetFile(set, PathOf("absent.sdi").c_str()), kInvalidPath);
    EXPECT_EQ(SaveParameterSetFile(set, u""), kInvalidPath);

    set.selections.SetSize(1);
    // Reported, so that no caller uploads an empty or stale file.
    EXPECT_EQ(SaveParameterSetFile(set, PathOf("no such folder/set.sdi").c_str()), kOpenFailed);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "no such folder"));
    // A set that does not fit on the disk is a failure, and the set saved before stays whole.
    ASSERT_EQ(SaveParameterSetFile(set, PathOf("set.sdi").c_str()), S_OK);
    const V before = Read();
    set.selections.SetSize(100);
    {
        testsupport::ScopedFileSizeLimit full(64);
        EXPECT_EQ(SaveParameterSetFile(set, PathOf("set.sdi").c_str()), E_FAIL);
    }
    EXPECT_EQ(Read(), before);
}
