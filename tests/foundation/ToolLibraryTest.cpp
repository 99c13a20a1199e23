#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/LocaleNumbers.h"
#include "foundation/PathTools.h"
#include "foundation/ScopedLock.h"
#include "foundation/SerialDcb.h"
#include "foundation/Stopwatch.h"
#include "foundation/StringTools.h"
#include "foundation/SystemNames.h"
#include "platform/Folders.h"
#include "platform/Utf.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/foundation/WideText.h"
#include "tests/support/TestEnvironment.h"

using testsupport::Show;
using testsupport::Text;

namespace fs = std::filesystem;

namespace
{

std::atomic<uint64_t> g_fakeTicks{0};
uint64_t FakeTicks()
{
    return g_fakeTicks.load();
}

} // namespace

TEST(ToolLibrary, TextAndNumberHelpersSplittingNamesAndErrorTexts)
{
    CDynArray<float> floats;
    for (float v : {1.5f, -2.0f, 0.1f})
        floats.Add(v);
    EXPECT_EQ(Text(FormatFloatList(floats)), u"1.5;-2;0.1");
    EXPECT_EQ(Text(FormatWideStringHex(u"A\u00E9")), u"004100E9");
    EXPECT_EQ(Text(FormatWideCharsHex(u"AB", 4)), u"0041004200000000");
    EXPECT_EQ(Text(FormatWideCharsHex(u"ABC", 1)), u"0041");

    CDynArray<CWideString> tokens;
    tokens.Add(CWideString(u"stale"));
    ASSERT_EQ(SplitStringInto(u"a;;b;", u';', tokens), 3u);
    EXPECT_EQ(Show(tokens[0]), u"a");
    EXPECT_EQ(Show(tokens[1]), u"<null>");
    EXPECT_EQ(Show(tokens[2]), u"b");
    EXPECT_EQ(SplitStringInto(u";", u';', tokens), 1u);
    EXPECT_EQ(SplitStringInto(u"a;b", 0, tokens), 0u);
    EXPECT_EQ(tokens.GetCount(), 0u);
    EXPECT_EQ(Show(SplitString(u"1;2;;", u';')[2]), u"<null>");
    EXPECT_LE(GetComputerNameString().GetLength(), 15u);
    EXPECT_EQ(Text(GetSystemErrorText(ENOENT)), u"No such file or directory");
    EXPECT_EQ(Text(GetSystemErrorText(0x7FFFFFF0u)), u"");

    testsupport::ScopedEnv locale("LC_ALL", "C");
    EXPECT_EQ(GetCrtDecimalPoint(), u'.');
    EXPECT_EQ(Text(GetLocaleInfoString(0x7777)), u"Invalid flags");

    CWideString text(u"3,25");
    EXPECT_TRUE(NormalizeDecimalSeparator(text, u',', u'.'));
    EXPECT_EQ(Text(text), u"3.25");
    text = u"1,000,5";
    EXPECT_FALSE(NormalizeDecimalSeparator(text, u',', u'.'));
    EXPECT_EQ(Text(text), u"1,000,5");

    sLocaleNumberSymbols german;
    german.decimalSeparator = u',';
    german.thousandsSeparator = u'.';
    EXPECT_TRUE(IsNumericText(u"-1.234,5", german));
    for (const char16_t* refused : {u"1,2,3", u"1-2", u"-", u"1e5", u""})
        EXPECT_FALSE(IsNumericText(refused, german)) << platform::Utf16ToUtf8(refused);
    EXPECT_FALSE(IsNumericText(nullptr));
}

TEST(ToolLibrary, PathsTemporaryFilesAndTextLines)
{
    EXPECT_EQ(Text(GetFileExtension(u"/data/log.file.txt")), u"txt");
    EXPECT_EQ(Text(GetFileExtension(u"/data.d/log")), u""); // a dot in a folder is no extension
    EXPECT_EQ(Text(GetFileNameFromPath(u"/data/folder")), u"");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"/data/sub/")), u"/data/sub");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"/log.txt")), u"/");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"skins/blue.ini")), u"");
    EXPECT_EQ(Text(CombinePath(u"/data/", u"/log.txt")), u"/data/log.txt");
    EXPECT_EQ(Text(CombinePath(u"", u"log.txt")), u"log.txt");
    EXPECT_TRUE(IsDirectory(GetProgramDirectory()));

    const CWideString temp = CreateTempFileName();
    ASSERT_FALSE(temp.IsEmpty());
    const fs::path path(platform::Utf16ToUtf8(static_cast<const char16_t*>(temp)));
    EXPECT_EQ(path.parent_path(), platform::TempDir());
    EXPECT_EQ(path.filename().string().substr(0, 3), "NVC");
    EXPECT_NE(Text(CreateTempFileName()), Text(temp));
    {
        // "ab\r\n", "" and "c☻" in UTF-16LE, the last line without a line feed, then a stray byte.
        std::ofstream out(path, std::ios::binary);
        const char bytes[] = {'a', 0, 'b', 0, '\r', 0, '\n', 0, '\n', 0, 'c', 0, 0x3B, 0x26, 'x'};
        out.write(bytes, sizeof(bytes));
    }
    EXPECT_EQ(GetFileSizeByName(temp), 15u);
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    CWideString line;
    for (const char16_t* expected : {u"ab", u"", u"c\u263B"})
    {
        ASSERT_TRUE(ReadTextLine(file, line));
        EXPECT_EQ(Text(line), expected);
    }
    EXPECT_FALSE(ReadTextLine(file, line));
    std::fclose(file);
    fs::remove(path);
    EXPECT_FALSE(FileExists(temp));
}

TEST(ToolLibrary, DcbComparisonSeesEveryFlagBit)
{
    DCB a;
    a.BaudRate = 19200;
    SetDcbFlags(a, 0x00005013);
    EXPECT_EQ(a.fParity, 1u);
    EXPECT_EQ(a.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(a.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(GetDcbFlags(a), 0x00005013u);
    DCB b = a;
    EXPECT_FALSE(IsDcbDifferent(a, b));
    for (uint32_t bit = 0; bit < 32; ++bit)
    {
        b = a;
        SetDcbFlags(b, GetDcbFlags(a) ^ (1u << bit));
        EXPECT_TRUE(IsDcbDifferent(a, b)) << bit;
    }
}

TEST(ToolLibrary, StopwatchTimesIntervalsOnItsTickSource)
{
    g_fakeTicks = 1000;
    CStopwatch watch(FakeTicks);
    watch.Stop(); // never started: nothing changes
    EXPECT_EQ(watch.GetIntervalCount(), 0.0);
    watch.Start();
    g_fakeTicks = 1250;
    watch.Stop();
    g_fakeTicks = 5000;
    EXPECT_EQ(watch.GetElapsedMs(), 250u); // frozen at the stop
    watch.Start();
    g_fakeTicks = 5100;
    watch.Stop();
    EXPECT_EQ(watch.GetLongestMs(), 250u);
    EXPECT_EQ(watch.GetShortestMs(), 100u);
    EXPECT_EQ(watch.GetTotalMs(), 350.0);
    EXPECT_EQ(watch.GetIntervalCount(), 2.0);
    watch.Reset();
    EXPECT_EQ(watch.GetShortestMs(), 0xFFFFFFFFu);
}

TEST(ToolLibrary, ScopedLockIsReentrantAndHoldsForItsScope)
{
    platform::CCriticalSection lock;
    auto takenByAnotherThread = [&]
    {
        bool taken = false;
        std::thread other(
            [&]
            {
                taken = lock.TryLock();
                if (taken)
                    lock.Unlock();
            });
        other.join();
        return taken;
    };
    {
        CScopedLock guard(lock);
        CScopedLock again(&lock);
        EXPECT_FALSE(takenByAnotherThread());
    }
    EXPECT_TRUE(takenByAnotherThread());
}
