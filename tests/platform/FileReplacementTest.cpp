// A file the user keeps, replaced whole or not at all.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/FileReplacement.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestEnvironment.h"

namespace
{

namespace fs = std::filesystem;
using platform::CFileReplacement;

class FileReplacementTest : public testing::Test
{
protected:
    fs::path PathOf(const char* name) const { return m_dir.Path() / name; }
    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static int Replace(const fs::path& path, const std::string& text)
    {
        CFileReplacement file(path);
        int error = file.Open();
        if (error == 0)
            error = file.Write(text.data(), text.size());
        return error == 0 ? file.Commit() : error;
    }
    // Everything in the folder but the files named.
    size_t Others() const
    {
        size_t count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_dir.Path()))
            count += entry.path().filename() != "kept.txt" && entry.path().filename() != "link";
        return count;
    }

    testsupport::ScopedConfigDir m_dir;
};

TEST_F(FileReplacementTest, AFullDiskLeavesThePreviousFileWholeAndNoTemporaryBehind)
{
    const fs::path kept = PathOf("kept.txt");
    ASSERT_EQ(Replace(kept, "the previous copy"), 0);
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    {
        testsupport::ScopedFileSizeLimit full(64);
        EXPECT_EQ(Replace(kept, std::string(1000, 'x')), EFBIG);
    }
    EXPECT_EQ(Read(kept), "the previous copy");
    EXPECT_EQ(Others(), 0u);

    // Abandoned before its commit: the same.
    {
        CFileReplacement file(kept);
        ASSERT_EQ(file.Open(), 0);
        ASSERT_EQ(file.Write("new", 3), 0);
    }
    EXPECT_EQ(Read(kept), "the previous copy");
    EXPECT_EQ(Others(), 0u);

    // Committed: the new content, with the permissions the user had given the file.
    ASSERT_EQ(Replace(kept, "new"), 0);
    EXPECT_EQ(Read(kept), "new");
    struct stat st
    {
    };
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileReplacementTest, OnlyRegularFilesAreReplacedAndALinkKeepsPointingAtTheNewOne)
{
    EXPECT_EQ(Replace(PathOf("no such folder/x.txt"), "x"), ENOENT);
    EXPECT_EQ(Replace(m_dir.Path(), "x"), EINVAL);
    fs::create_directory(PathOf("folder"));
    EXPECT_EQ(Replace(PathOf("folder"), "x"), EINVAL);
    EXPECT_TRUE(fs::is_directory(PathOf("folder")));
    fs::remove(PathOf("folder"));

    const fs::path kept = PathOf("kept.txt");
    ASSERT_EQ(Replace(kept, "one"), 0);
    fs::create_symlink(kept, PathOf("link"));
    ASSERT_EQ(Replace(PathOf("link"), "two"), 0);
    EXPECT_TRUE(fs::is_symlink(PathOf("link")));
    EXPECT_EQ(Read(kept), "two");
    EXPECT_EQ(Others(), 0u);
}

} // namespace
