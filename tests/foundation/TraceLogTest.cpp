#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/TraceLog.h"
#include "platform/Folders.h"
#include "platform/Utf.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace
{

using Lines = std::vector<std::string>;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line texts of all records of a trace file, in file order.
Lines LineTexts(const fs::path& path)
{
    const std::string text = ReadAll(path);
    Lines lines;
    for (size_t at = 0; (at = text.find("Thread: ", at)) != std::string::npos;)
    {
        const size_t start = text.find("\r\n   ", at) + 5;
        at = text.find("\r\n\r\n", start);
        lines.push_back(text.substr(start, at - start));
    }
    return lines;
}

class TraceLogTest : public testing::Test
{
protected:
    TraceLogTest()
    {
        static std::atomic<int> counter{0};
        m_dir = testsupport::ProcessTempDir() / ("traces-" + std::to_string(++counter));
        fs::create_directories(m_dir);
    }
    ~TraceLogTest() override { fs::remove_all(m_dir); }

    std::u16string PathOf(const char* name) const { return platform::Utf8ToUtf16((m_dir / name).string()); }

    void Open(CTraceLog& trace, const char* name, uint32_t maxLevel = 1, uint32_t* id = nullptr)
    {
        trace.SetMaxLevel(maxLevel);
        ASSERT_EQ(trace.OpenFile(PathOf(name).c_str(), u"M", id), S_OK);
    }

    fs::path m_dir;
};

} // namespace

TEST_F(TraceLogTest, RecordsCarryTheirHeaderAndValuesInTextAndHexForm)
{
    CTraceLog trace;
    uint32_t id = 0;
    Open(trace, "format.txt", 1, &id);
    trace << TRACE_LEVEL1 << u"a\nb" << TRACE_END;
    CTraceLog bare;
    bare.SetMaxLevel(1);
    ASSERT_EQ(bare.AttachFile(id, nullptr), S_OK);
    bare << TRACE_LEVEL1 << "plain" << TRACE_END;

    const std::string text = ReadAll(m_dir / "format.txt");
    const std::regex record(
        "Module: M Time: \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{1,3} Thread: \\d+\r\n"
        "   a\r\n   b\r\n\r\n"
        "Time: \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{1,3} Thread: \\d+\r\n"
        "   plain\r\n\r\n");
    EXPECT_TRUE(std::regex_match(text, record)) << text;

    CTraceLog values;
    Open(values, "values.txt", 7);
    const SYSTEMTIME time{2024, 3, 2, 5, 14, 7, 9, 42};
    values << TRACE_LEVEL7 << static_cast<unsigned short>(10) << u"|" << -5 << u"|" << 4000000000u << u"|"
           << 0.1f << u"|" << 2.5 << u"|" << time << u"|" << TraceHr(static_cast<HRESULT>(0x80004005u))
           << u"|" << TraceHr(5) << u"|" << "utf8 \xC3\xA9" << TRACE_END;
    // Hex mode holds for the next value only.
    values << TRACE_LEVEL1 << TRACE_HEX << static_cast<unsigned short>(10) << static_cast<unsigned short>(10)
           << u"|" << TRACE_HEX << -1 << u"|" << TRACE_HEX << 1.0f << u"|" << TRACE_HEX << 1.0 << u"|"
           << TRACE_HEX << "AB" << u"|" << TRACE_HEX << u"A\u00E9" << u"|" << TRACE_HEX << time << u"|"
           << TRACE_HEX << TraceHr(1) << 7 << TRACE_END;
    values << TRACE_LEVEL1 << static_cast<const char*>(nullptr) << static_cast<const char16_t*>(nullptr) << 3
           << TRACE_END;

    EXPECT_EQ(LineTexts(m_dir / "values.txt"),
              (Lines{"10|-5|4000000000|0.1|2.5|2024/03/05 14:07:09:42|80004005|0005|utf8 \xC3\xA9",
                     "000A10|FFFFFFFF|3F800000|000000003FF00000|4142|004100E9|07E8000300050"
                     "00E00070009002A|000100000007",
                     "3"})); // null texts append nothing
}

// Each thread builds its own line: a line that is dropped or never ended holds nothing up.
TEST_F(TraceLogTest, DroppedAndAbandonedLinesBlockNothingAndAreNotWritten)
{
    CTraceLog trace;
    Open(trace, "pending.txt", 2);
    trace << TRACE_LEVEL3 << u"too detailed" << TRACE_END;
    trace << TRACE_LEVEL1 << u"never ended ";
    std::thread other([&] { trace << TRACE_LEVEL1 << u"from another thread" << TRACE_END; });
    other.join(); // would hang if the unfinished line held a lock
    trace << TRACE_LEVEL2 << u"fresh" << TRACE_END;
    EXPECT_EQ(LineTexts(m_dir / "pending.txt"), (Lines{"from another thread", "fresh"}));
}

// Without a file the appenders do nothing at all, not even forget a thread's line: a line begun
// before a close must not open the first record of the next file.
TEST_F(TraceLogTest, ALineLeftOpenWhenTheFileClosesIsNotCarriedIntoTheNext)
{
    CTraceLog trace;
    Open(trace, "first.txt");
    EXPECT_TRUE(trace.IsOpen());
    trace << TRACE_LEVEL1 << u"begun ";
    std::thread other([&] { trace << TRACE_LEVEL1 << u"other thread, begun "; });
    other.join();
    trace.Close();
    EXPECT_FALSE(trace.IsOpen());
    trace << u"while closed " << TRACE_END;

    Open(trace, "second.txt");
    trace << u"continued" << TRACE_END;
    std::thread again([&] { trace << u"other thread, continued" << TRACE_END; });
    again.join();
    EXPECT_TRUE(ReadAll(m_dir / "first.txt").empty());
    EXPECT_EQ(LineTexts(m_dir / "second.txt"), (Lines{"continued", "other thread, continued"}));
}

TEST_F(TraceLogTest, OpeningFailsCleanlyRelativePathsGoToTheStateFolder)
{
    CTraceLog trace;
    trace << TRACE_LEVEL1 << u"nowhere" << 5 << TRACE_END;
    EXPECT_EQ(trace.OpenFile(nullptr, u"M"), E_FAIL);
    EXPECT_EQ(trace.OpenFile(PathOf("missing-folder/x.txt").c_str(), u"M"), E_FAIL);
    EXPECT_EQ(trace.AttachFile(0x7FFFFFFF, u"M"), E_FAIL);
    EXPECT_EQ(trace.GetFileId(), -1);

    Open(trace, "once.txt");
    EXPECT_EQ(trace.OpenFile(PathOf("twice.txt").c_str(), u"M"), E_FAIL);
    trace.Close();
    trace << TRACE_LEVEL1 << u"after close" << TRACE_END;
    EXPECT_TRUE(ReadAll(m_dir / "once.txt").empty());

    // A relative path lies in the state folder; a record that cannot be converted is replaced.
    ASSERT_EQ(trace.OpenFile(u"ServicesTest_TraceLog.txt", u"Line"), S_OK);
    const char16_t lone[] = {u'x', 0xD800, 0};
    trace << TRACE_LEVEL1 << lone << TRACE_END;
    const fs::path expected = platform::StateDir() / "ServicesTest_TraceLog.txt";
    EXPECT_EQ(ReadAll(expected), "ERROR - UNICODE to ASCII translation failure\r\n\r\n");
    trace.Close();
    fs::remove(expected);
}

TEST_F(TraceLogTest, PathsThatDifferInCaseAndCopiesShareOneFile)
{
    auto first = std::make_unique<CTraceLog>();
    CTraceLog second;
    uint32_t id = 0;
    Open(*first, "Shared.TXT", 1, &id);
    Open(second, "shared.txt");
    EXPECT_EQ(second.GetFileId(), static_cast<int32_t>(id));

    CTraceLog copy;
    Open(copy, "other.txt");
    copy = *first; // outlives the original
    *first << TRACE_LEVEL1 << u"one" << TRACE_END;
    first.reset();
    second << TRACE_LEVEL1 << u"two" << TRACE_END;
    copy << TRACE_LEVEL1 << u"copy" << TRACE_END;
    second.Close();
    copy.Close();
    EXPECT_EQ(CTraceLogFile::AttachShared(id), nullptr); // gone with its last reference
    EXPECT_EQ(LineTexts(m_dir / "Shared.TXT"), (Lines{"one", "two", "copy"}));

    // Opened again by the process, the file starts empty.
    Open(second, "Shared.TXT");
    EXPECT_TRUE(ReadAll(m_dir / "Shared.TXT").empty());
}

TEST_F(TraceLogTest, TheRecordThatPassesTenMebibytesStartsANewFile)
{
    CTraceLog trace;
    Open(trace, "big.txt");
    const std::u16string megabyte(1000000, u'x');
    const fs::path path = m_dir / "big.txt";
    int record = 0;
    uintmax_t sizeBefore = 0;
    for (; record < 20; ++record)
    {
        sizeBefore = fs::file_size(path);
        trace << TRACE_LEVEL1 << u"#" << record << megabyte.c_str() << TRACE_END;
        if (fs::file_size(path) <= sizeBefore)
            break;
    }
    // Ten records stay below the limit; the eleventh passes it and is alone in the new file.
    ASSERT_EQ(record, 10);
    EXPECT_LE(sizeBefore, TRACE_FILE_SIZE_LIMIT);
    EXPECT_GT(sizeBefore + fs::file_size(path), TRACE_FILE_SIZE_LIMIT);
    const Lines lines = LineTexts(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 4), "#10x");
}

TEST_F(TraceLogTest, ThreadsNeverInterleaveInsideARecord)
{
    CTraceLog shared;
    Open(shared, "threads.txt", 3);
    CTraceLog sibling(shared); // a second trace object on the same file
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (char16_t tag : {u'A', u'B', u'C'})
    {
        threads.emplace_back(
            [&trace = tag == u'C' ? sibling : shared, tag]
            {
                for (int line = 0; line < kLines; ++line)
                {
                    trace << TRACE_LEVEL2;
                    for (int item = 0; item < 12; ++item)
                        trace << std::u16string(1, tag).c_str() << item;
                    trace << TRACE_END;
                }
            });
    }
    for (std::thread& thread : threads)
        thread.join();

    std::map<std::string, int> counts;
    for (const std::string& line : LineTexts(m_dir / "threads.txt"))
        ++counts[line];
    ASSERT_EQ(counts.size(), 3u) << "every record whole";
    for (const auto& [line, count] : counts)
    {
        std::string expected;
        for (int item = 0; item < 12; ++item)
            expected += line.substr(0, 1) + std::to_string(item);
        EXPECT_EQ(line, expected);
        EXPECT_EQ(count, kLines);
    }
}

// The last release and another thread's open of the same path race for the shared file.
TEST_F(TraceLogTest, OpeningAndClosingOneFileFromManyThreadsIsSafe)
{
    const std::u16string path = PathOf("churn.txt");
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
    {
        threads.emplace_back(
            [&path]
            {
                for (int i = 0; i < 200; ++i)
                {
                    CTraceLog trace;
                    trace.SetMaxLevel(1);
                    if (trace.OpenFile(path.c_str(), u"Churn") == S_OK)
                        trace << TRACE_LEVEL1 << u"x" << TRACE_END;
                }
            });
    }
    for (std::thread& t : threads)
        t.join();
    // Every file object went with its last reference: a new open gets a fresh one.
    CTraceLog trace;
    uint32_t id = 0;
    Open(trace, "churn.txt", 1, &id);
    CTraceLogFile* file = CTraceLogFile::AttachShared(id);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetRefCount(), 2u);
    file->Release();
}
