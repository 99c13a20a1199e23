#include <atomic>
#include <filesystem>
#include <fstream>
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

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line texts of all records of a trace file, in file order.
std::vector<std::string> LineTexts(const fs::path& path)
{
    const std::string text = ReadAll(path);
    std::vector<std::string> lines;
    size_t at = 0;
    while ((at = text.find("Thread: ", at)) != std::string::npos)
    {
        const size_t start = text.find("\r\n   ", at) + 5;
        const size_t end = text.find("\r\n\r\n", start);
        lines.push_back(text.substr(start, end - start));
        at = end;
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

    fs::path m_dir;
};

} // namespace

TEST_F(TraceLogTest, RecordCarriesModuleTimeThreadAndIndentedLines)
{
    CTraceLog trace;
    trace.SetMaxLevel(3);
    uint32_t id = 0;
    ASSERT_EQ(trace.OpenFile(PathOf("format.txt").c_str(), u"Device", &id), S_OK);
    EXPECT_TRUE(trace.IsOpen());
    EXPECT_EQ(trace.GetFileId(), static_cast<int32_t>(id));
    trace << TRACE_LEVEL1 << u"a\nb" << TRACE_END;

    CTraceLog bare;
    bare.SetMaxLevel(1);
    ASSERT_EQ(bare.AttachFile(id, nullptr), S_OK);
    bare << TRACE_LEVEL1 << "plain" << TRACE_END;

    const std::string text = ReadAll(m_dir / "format.txt");
    const std::regex record(
        "Module: Device Time: \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{1,3} Thread: \\d+\r\n"
        "   a\r\n   b\r\n\r\n"
        "Time: \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{1,3} Thread: \\d+\r\n"
        "   plain\r\n\r\n");
    EXPECT_TRUE(std::regex_match(text, record)) << text;
}

TEST_F(TraceLogTest, ValuesInTextAndHexForm)
{
    CTraceLog trace;
    trace.SetMaxLevel(7);
    ASSERT_EQ(trace.OpenFile(PathOf("values.txt").c_str(), u"M"), S_OK);
    const SYSTEMTIME time{2024, 3, 2, 5, 14, 7, 9, 42};
    trace << TRACE_LEVEL7 << static_cast<unsigned short>(10) << u"|" << -5 << u"|" << 4000000000u << u"|"
          << 0.1f << u"|" << 2.5 << u"|" << time << u"|" << TraceHr(static_cast<HRESULT>(0x80004005u)) << u"|"
          << TraceHr(5) << u"|" << "utf8 \xC3\xA9" << TRACE_END;
    trace << TRACE_LEVEL1 << TRACE_HEX << static_cast<unsigned short>(10) << static_cast<unsigned short>(10)
          << u"|" << TRACE_HEX << -1 << u"|" << TRACE_HEX << 1.0f << u"|" << TRACE_HEX << 1.0 << u"|"
          << TRACE_HEX << "AB" << u"|" << TRACE_HEX << u"A\u00E9" << u"|" << TRACE_HEX << time << u"|"
          << TRACE_HEX << TraceHr(1) << 7 << TRACE_END;
    trace << TRACE_LEVEL1 << static_cast<const char*>(nullptr) << static_cast<const char16_t*>(nullptr) << 3
          << TRACE_END;

    const std::vector<std::string> lines = LineTexts(m_dir / "values.txt");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "10|-5|4000000000|0.1|2.5|2024/03/05 14:07:09:42|80004005|0005|utf8 \xC3\xA9");
    EXPECT_EQ(lines[1], "000A10|FFFFFFFF|3F800000|000000003FF00000|4142|004100E9|07E8000300050"
                        "00E00070009002A|000100000007");
    EXPECT_EQ(lines[2], "3"); // null texts append nothing
}

TEST_F(TraceLogTest, LinesAboveTheMaximumLevelAreDroppedWithoutBlocking)
{
    CTraceLog trace;
    trace.SetMaxLevel(1);
    ASSERT_EQ(trace.OpenFile(PathOf("levels.txt").c_str(), u"M"), S_OK);
    trace << TRACE_LEVEL3 << u"too detailed" << TRACE_END;
    std::thread other([&] { trace << TRACE_LEVEL1 << u"other thread" << TRACE_END; });
    other.join();
    trace << TRACE_LEVEL1 << u"kept" << TRACE_END;
    EXPECT_EQ(LineTexts(m_dir / "levels.txt"), (std::vector<std::string>{"other thread", "kept"}));
}

TEST_F(TraceLogTest, AnAbandonedLineBlocksNothingAndIsNotWritten)
{
    CTraceLog trace;
    trace.SetMaxLevel(3);
    ASSERT_EQ(trace.OpenFile(PathOf("abandoned.txt").c_str(), u"M"), S_OK);
    trace << TRACE_LEVEL1 << u"never ended ";
    std::thread other([&] { trace << TRACE_LEVEL1 << u"from another thread" << TRACE_END; });
    other.join(); // would hang if the unfinished line held a lock
    trace << TRACE_LEVEL2 << u"fresh" << TRACE_END;
    EXPECT_EQ(LineTexts(m_dir / "abandoned.txt"), (std::vector<std::string>{"from another thread", "fresh"}));
}

TEST_F(TraceLogTest, WithoutAFileNothingHappens)
{
    CTraceLog trace;
    EXPECT_FALSE(trace.IsOpen());
    EXPECT_EQ(trace.GetFileId(), -1);
    trace << TRACE_LEVEL1 << u"nowhere" << 5 << TRACE_END;
    EXPECT_EQ(trace.OpenFile(nullptr, u"M"), E_FAIL);
    EXPECT_EQ(trace.OpenFile(u"", u"M"), E_FAIL);
    EXPECT_EQ(trace.OpenFile(PathOf("missing-folder/x.txt").c_str(), u"M"), E_FAIL);
    EXPECT_EQ(trace.AttachFile(0x7FFFFFFF, u"M"), E_FAIL);
    EXPECT_EQ(trace.GetFileId(), -1);

    ASSERT_EQ(trace.OpenFile(PathOf("once.txt").c_str(), u"M"), S_OK);
    EXPECT_EQ(trace.OpenFile(PathOf("twice.txt").c_str(), u"M"), E_FAIL);
    EXPECT_FALSE(fs::exists(m_dir / "twice.txt"));
    trace.Close();
    EXPECT_FALSE(trace.IsOpen());
    trace << TRACE_LEVEL1 << u"after close" << TRACE_END;
    EXPECT_TRUE(ReadAll(m_dir / "once.txt").empty());
}

TEST_F(TraceLogTest, PathsThatDifferInCaseShareOneFile)
{
    CTraceLog first;
    CTraceLog second;
    first.SetMaxLevel(1);
    second.SetMaxLevel(1);
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    ASSERT_EQ(first.OpenFile(PathOf("Shared.TXT").c_str(), u"One", &id1), S_OK);
    ASSERT_EQ(second.OpenFile(PathOf("shared.txt").c_str(), u"Two", &id2), S_OK);
    EXPECT_EQ(id1, id2);
    CTraceLogFile* file = CTraceLogFile::AttachShared(id1);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetRefCount(), 3u);
    file->Release();
    EXPECT_EQ(file->GetRefCount(), 2u);

    first << TRACE_LEVEL1 << u"one" << TRACE_END;
    second << TRACE_LEVEL1 << u"two" << TRACE_END;
    first.Close();
    second << TRACE_LEVEL1 << u"still" << TRACE_END;
    second.Close();
    EXPECT_EQ(CTraceLogFile::AttachShared(id1), nullptr); // gone with its last reference
    EXPECT_EQ(LineTexts(m_dir / "Shared.TXT"), (std::vector<std::string>{"one", "two", "still"}));

    // Opened again by the process, the file starts empty with a new id.
    CTraceLog again;
    uint32_t id3 = 0;
    ASSERT_EQ(again.OpenFile(PathOf("Shared.TXT").c_str(), u"Three", &id3), S_OK);
    EXPECT_NE(id3, id1);
    EXPECT_TRUE(ReadAll(m_dir / "Shared.TXT").empty());
}

TEST_F(TraceLogTest, ACopySharesTheFileAndOutlivesTheOriginal)
{
    auto original = std::make_unique<CTraceLog>();
    original->SetMaxLevel(2);
    ASSERT_EQ(original->OpenFile(PathOf("copy.txt").c_str(), u"Source"), S_OK);
    CTraceLog copy(*original);
    EXPECT_EQ(copy.GetFileId(), original->GetFileId());
    EXPECT_EQ(copy.GetMaxLevel(), 2u);
    CTraceLog assigned;
    ASSERT_EQ(assigned.OpenFile(PathOf("other.txt").c_str(), u"Other"), S_OK);
    assigned = copy;
    EXPECT_EQ(assigned.GetFileId(), copy.GetFileId());
    const CTraceLog& alias = assigned;
    assigned = alias;
    original.reset();

    copy << TRACE_LEVEL2 << u"from the copy" << TRACE_END;
    assigned << TRACE_LEVEL3 << u"too detailed" << TRACE_END;
    const std::string text = ReadAll(m_dir / "copy.txt");
    EXPECT_NE(text.find("Module: Source "), std::string::npos);
    EXPECT_EQ(LineTexts(m_dir / "copy.txt"), (std::vector<std::string>{"from the copy"}));
}

TEST_F(TraceLogTest, RelativePathsAreWrittenInTheStateFolder)
{
    CTraceLog trace;
    trace.SetMaxLevel(1);
    ASSERT_EQ(trace.OpenFile(u"ServicesTest_TraceLog.txt", u"Line"), S_OK);
    trace << TRACE_LEVEL1 << u"where" << TRACE_END;
    const fs::path expected = platform::StateDir() / "ServicesTest_TraceLog.txt";
    EXPECT_EQ(LineTexts(expected), (std::vector<std::string>{"where"}));
    trace.Close();
    fs::remove(expected);
}

TEST_F(TraceLogTest, ARecordThatCannotBeConvertedIsReplaced)
{
    CTraceLog trace;
    trace.SetMaxLevel(1);
    ASSERT_EQ(trace.OpenFile(PathOf("surrogate.txt").c_str(), u"M"), S_OK);
    const char16_t lone[] = {u'x', 0xD800, 0};
    trace << TRACE_LEVEL1 << lone << TRACE_END;
    EXPECT_EQ(ReadAll(m_dir / "surrogate.txt"), "ERROR - UNICODE to ASCII translation failure\r\n\r\n");
}

TEST_F(TraceLogTest, TheRecordThatPassesTenMebibytesStartsANewFile)
{
    CTraceLog trace;
    trace.SetMaxLevel(1);
    ASSERT_EQ(trace.OpenFile(PathOf("big.txt").c_str(), u"M"), S_OK);
    const std::u16string megabyte(1000000, u'x');
    const fs::path path = m_dir / "big.txt";
    int restartedAt = -1;
    uintmax_t sizeBefore = 0;
    for (int i = 0; i < 20 && restartedAt < 0; ++i)
    {
        sizeBefore = fs::file_size(path);
        trace << TRACE_LEVEL1 << u"#" << i << megabyte.c_str() << TRACE_END;
        if (fs::file_size(path) <= sizeBefore)
            restartedAt = i;
    }
    // Ten records stay below the limit; the eleventh passes it and is alone in the new file.
    ASSERT_EQ(restartedAt, 10);
    EXPECT_LE(sizeBefore, TRACE_FILE_SIZE_LIMIT);
    EXPECT_GT(sizeBefore + fs::file_size(path), TRACE_FILE_SIZE_LIMIT);
    const std::vector<std::string> lines = LineTexts(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 4), "#10x");
    trace << TRACE_LEVEL1 << u"next" << TRACE_END;
    EXPECT_EQ(LineTexts(m_dir / "big.txt").size(), 2u);
}

TEST_F(TraceLogTest, ThreadsNeverInterleaveInsideARecord)
{
    CTraceLog shared;
    shared.SetMaxLevel(3);
    ASSERT_EQ(shared.OpenFile(PathOf("threads.txt").c_str(), u"M"), S_OK);
    CTraceLog sibling(shared); // a second trace object on the same file
    constexpr int kLines = 300;
    constexpr int kItems = 12;
    auto writer = [](CTraceLog& trace, const char16_t* tag)
    {
        for (int line = 0; line < kLines; ++line)
        {
            trace << TRACE_LEVEL2;
            for (int item = 0; item < kItems; ++item)
                trace << tag << item;
            trace << TRACE_END;
        }
    };
    std::thread a(writer, std::ref(shared), u"A");
    std::thread b(writer, std::ref(shared), u"B");
    std::thread c(writer, std::ref(sibling), u"C");
    a.join();
    b.join();
    c.join();

    std::string expected[3];
    for (int i = 0; i < 3; ++i)
        for (int item = 0; item < kItems; ++item)
            expected[i] += std::string(1, static_cast<char>('A' + i)) + std::to_string(item);
    int counts[3] = {};
    for (const std::string& line : LineTexts(m_dir / "threads.txt"))
    {
        const int index = line.empty() ? -1 : line[0] - 'A';
        ASSERT_TRUE(index >= 0 && index < 3) << line;
        ASSERT_EQ(line, expected[index]);
        ++counts[index];
    }
    EXPECT_EQ(counts[0], kLines);
    EXPECT_EQ(counts[1], kLines);
    EXPECT_EQ(counts[2], kLines);
}

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
                    if (trace.OpenFile(path.c_str(), u"Churn") != S_OK)
                        continue;
                    trace << TRACE_LEVEL1 << u"x" << TRACE_END;
                    trace.Close();
                }
            });
    }
    for (std::thread& t : threads)
        t.join();
    // Every file object went with its last reference: a new open gets a fresh one.
    CTraceLog trace;
    uint32_t id = 0;
    ASSERT_EQ(trace.OpenFile(path.c_str(), u"M", &id), S_OK);
    CTraceLogFile* file = CTraceLogFile::AttachShared(id);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetRefCount(), 2u);
    file->Release();
}
