#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/LocaleNumbers.h"
#include "foundation/MessageBoxes.h"
#include "foundation/PathTools.h"
#include "foundation/ScopedLock.h"
#include "foundation/SerialDcb.h"
#include "foundation/Stopwatch.h"
#include "foundation/StringTools.h"
#include "foundation/SystemNames.h"
#include "foundation/TransferControl.h"
#include "platform/Folders.h"
#include "platform/Utf.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace
{

std::u16string Text(const CWideString& s)
{
    return s.IsEmpty() ? u"" : std::u16string(s);
}

CDynArray<float> Floats(std::initializer_list<float> values)
{
    CDynArray<float> array;
    for (float v : values)
        array.Add(v);
    return array;
}

std::atomic<uint64_t> g_fakeTicks{0};
uint64_t FakeTicks()
{
    return g_fakeTicks.load();
}

} // namespace

TEST(ToolLibrary, TextHelpers)
{
    const CDynArray<CWideString> parts = SplitString(u"1;2;;", u';');
    ASSERT_EQ(parts.GetCount(), 3u);
    EXPECT_EQ(Text(parts[1]), u"2");
    EXPECT_EQ(Text(parts[2]), u"");

    EXPECT_EQ(Text(FormatFloatList(Floats({1.5f, -2.0f, 0.1f}))), u"1.5;-2;0.1");
    EXPECT_EQ(Text(FormatFloatList(Floats({}))), u"");

    EXPECT_EQ(Text(FormatWideStringHex(u"A\u00E9")), u"004100E9");
    EXPECT_EQ(Text(FormatWideStringHex(nullptr)), u"");
    EXPECT_EQ(Text(FormatWideCharsHex(u"AB", 4)), u"0041004200000000");
    EXPECT_EQ(Text(FormatWideCharsHex(u"ABC", 1)), u"0041");
    EXPECT_EQ(Text(FormatWideCharsHex(nullptr, 2)), u"00000000");
}

TEST(ToolLibrary, SystemNamesAndErrorTexts)
{
    EXPECT_LE(GetComputerNameString().GetLength(), 15u);
    EXPECT_FALSE(GetUserNameString().IsEmpty());
    EXPECT_EQ(Text(GetSystemErrorText(ENOENT)), u"No such file or directory");
    EXPECT_EQ(Text(GetSystemErrorText(0x7FFFFFF0u)), u"");
}

TEST(ToolLibrary, LocaleNumbersWithTheLocalesSymbols)
{
    testsupport::ScopedEnv locale("LC_ALL", "C");
    EXPECT_EQ(GetCrtDecimalPoint(), u'.');
    EXPECT_EQ(GetLocaleDecimalSeparator(), u'.');
    EXPECT_EQ(Text(GetLocaleInfoString(LOCALE_SDECIMAL)), u".");
    EXPECT_EQ(Text(GetLocaleInfoString(0x7777)), u"Invalid flags");

    CWideString text(u"3,25");
    EXPECT_TRUE(NormalizeDecimalSeparator(text, u',', u'.'));
    EXPECT_EQ(Text(text), u"3.25");
    text = u"1,000,5";
    EXPECT_FALSE(NormalizeDecimalSeparator(text, u',', u'.'));
    EXPECT_EQ(Text(text), u"1,000,5");
    text = u"1.000,5"; // holds the runtime point already: left alone
    EXPECT_TRUE(NormalizeDecimalSeparator(text, u',', u'.'));
    EXPECT_EQ(Text(text), u"1.000,5");
    text = u"12";
    EXPECT_TRUE(NormalizeDecimalSeparator(text));
    EXPECT_EQ(Text(text), u"12");
    CWideString empty;
    EXPECT_TRUE(NormalizeDecimalSeparator(empty));

    sLocaleNumberSymbols german;
    german.decimalSeparator = u',';
    german.thousandsSeparator = u'.';
    EXPECT_TRUE(IsNumericText(u"-1.234,5", german));
    EXPECT_TRUE(IsNumericText(u"+7", german));
    EXPECT_FALSE(IsNumericText(u"1,2,3", german));
    EXPECT_FALSE(IsNumericText(u"1-2", german));
    EXPECT_FALSE(IsNumericText(u"-", german));
    EXPECT_FALSE(IsNumericText(u",", german));
    EXPECT_FALSE(IsNumericText(u"1e5", german));
    EXPECT_FALSE(IsNumericText(u"", german));
    sLocaleNumberSymbols arabic;
    for (int i = 0; i < 10; ++i)
        arabic.digits[i] = static_cast<char16_t>(0x0660 + i);
    EXPECT_TRUE(IsNumericText(u"\u0661\u0662.5", arabic));
    EXPECT_TRUE(IsNumericText(u"12.5"));
    EXPECT_FALSE(IsNumericText(nullptr));
}

TEST(ToolLibrary, MessageBoxesGoThroughTheHook)
{
    testsupport::ScriptedMessageBox boxes;
    boxes.QueueAnswer(platform::IDYES);
    boxes.QueueAnswer(platform::IDCANCEL);
    EXPECT_EQ(QuestionMessageBox(u"Delete?", nullptr, u"Files"), platform::IDYES);
    EXPECT_EQ(QuestionMessageBox(nullptr, nullptr, nullptr), platform::IDNO); // only Yes or No
    EXPECT_EQ(WarningMessageBox(nullptr, nullptr, u"Careful"), platform::IDOK);
    const auto shown = boxes.Shown_();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, u"Delete?");
    EXPECT_EQ(shown[0].flags, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_EQ(shown[1].text, u"???");
    EXPECT_EQ(shown[2].text, u"Warning");
    EXPECT_EQ(shown[2].caption, u"Careful");
    EXPECT_EQ(shown[2].flags, platform::MB_OK | platform::MB_ICONWARNING);
}

TEST(ToolLibrary, PathPartsWithTheirPosixMeaning)
{
    EXPECT_EQ(Text(GetFileExtension(u"/data/log.file.txt")), u"txt");
    EXPECT_EQ(Text(GetFileExtension(u"/data/log.")), u"");
    EXPECT_EQ(Text(GetFileExtension(u"/data.d/log")), u""); // a dot in a folder is no extension
    EXPECT_EQ(Text(GetFileExtension(nullptr)), u"");

    EXPECT_EQ(Text(GetFileNameFromPath(u"/data/log.txt")), u"log.txt");
    EXPECT_EQ(Text(GetFileNameFromPath(u"log.txt")), u"log.txt");
    EXPECT_EQ(Text(GetFileNameFromPath(u"/data/folder")), u"");

    EXPECT_EQ(Text(GetDirectoryFromPath(u"/data/sub/log.txt")), u"/data/sub");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"/data/sub/")), u"/data/sub");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"/data/sub")), u"/data/sub");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"/log.txt")), u"/");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"./skins/blue.ini")), u"./skins");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"skins/blue.ini")), u"");
    EXPECT_EQ(Text(GetDirectoryFromPath(u"")), u"");

    EXPECT_EQ(Text(CombinePath(u"/data/", u"/log.txt")), u"/data/log.txt");
    EXPECT_EQ(Text(CombinePath(u"/data", u"log.txt")), u"/data/log.txt");
    EXPECT_EQ(Text(CombinePath(u"/", u"log.txt")), u"/log.txt");
    EXPECT_EQ(Text(CombinePath(u"", u"log.txt")), u"log.txt");
    EXPECT_EQ(Text(CombinePath(u"/data", nullptr)), u"/data");

    EXPECT_FALSE(GetProgramPath().IsEmpty());
    EXPECT_TRUE(IsDirectory(GetProgramDirectory()));
    EXPECT_EQ(Text(GetProgramVersion()).size() >= 7, true);
}

TEST(ToolLibrary, FilesTemporaryFilesAndTextLines)
{
    const CWideString temp = CreateTempFileName();
    ASSERT_FALSE(temp.IsEmpty());
    const fs::path path(platform::Utf16ToUtf8(static_cast<const char16_t*>(temp)));
    EXPECT_EQ(path.parent_path(), platform::TempDir());
    EXPECT_EQ(path.filename().string().substr(0, 3), "NVC");
    EXPECT_NE(Text(CreateTempFileName()), Text(temp));
    EXPECT_TRUE(FileExists(temp));
    EXPECT_FALSE(IsDirectory(temp));
    EXPECT_EQ(GetFileSizeByName(temp), 0u);

    {
        // "ab\r\n", "" and "c" in UTF-16LE, the last line without a line feed, then a stray byte.
        std::ofstream out(path, std::ios::binary);
        const char bytes[] = {'a', 0, 'b', 0, '\r', 0, '\n', 0, '\n', 0, 'c', 0, 0x3B, 0x26, 'x'};
        out.write(bytes, sizeof(bytes));
    }
    EXPECT_EQ(GetFileSizeByName(temp), 15u);
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    CWideString line;
    ASSERT_TRUE(ReadTextLine(file, line));
    EXPECT_EQ(Text(line), u"ab");
    ASSERT_TRUE(ReadTextLine(file, line));
    EXPECT_EQ(Text(line), u"");
    ASSERT_TRUE(ReadTextLine(file, line));
    EXPECT_EQ(Text(line), u"c\u263B");
    EXPECT_FALSE(ReadTextLine(file, line));
    std::fclose(file);

    fs::remove(path);
    EXPECT_FALSE(FileExists(temp));
    EXPECT_EQ(GetFileSizeByName(temp), 0u);
    EXPECT_FALSE(FileExists(nullptr));
}

TEST(ToolLibrary, DcbComparisonSeesEveryFlagBit)
{
    DCB a;
    a.BaudRate = 19200;
    SetDcbFlags(a, 0x00005013);
    EXPECT_EQ(a.fBinary, 1u);
    EXPECT_EQ(a.fParity, 1u);
    EXPECT_EQ(a.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(a.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(a.fAbortOnError, 1u);
    EXPECT_EQ(GetDcbFlags(a), 0x00005013u);

    DCB b = a;
    EXPECT_FALSE(IsDcbDifferent(a, b));
    for (uint32_t bit = 0; bit < 32; ++bit)
    {
        b = a;
        SetDcbFlags(b, GetDcbFlags(a) ^ (1u << bit));
        EXPECT_TRUE(IsDcbDifferent(a, b)) << bit;
    }
    b = a;
    b.wReserved1 = 1;
    EXPECT_TRUE(IsDcbDifferent(a, b));
    b = a;
    b.EvtChar = 'x';
    EXPECT_TRUE(IsDcbDifferent(a, b));
}

TEST(ToolLibrary, StopwatchTimesIntervalsOnItsTickSource)
{
    g_fakeTicks = 1000;
    CStopwatch watch(FakeTicks);
    watch.Stop(); // never started: nothing changes
    EXPECT_EQ(watch.GetIntervalCount(), 0.0);
    EXPECT_EQ(watch.GetShortestMs(), 0xFFFFFFFFu);
    EXPECT_EQ(watch.GetElapsedMs(), 0u);

    watch.Start();
    g_fakeTicks = 1250;
    EXPECT_TRUE(watch.IsRunning());
    EXPECT_EQ(watch.GetElapsedMs(), 250u);
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
    EXPECT_FALSE(watch.IsRunning());
    EXPECT_EQ(watch.GetLongestMs(), 0u);
    EXPECT_EQ(watch.GetShortestMs(), 0xFFFFFFFFu);
    EXPECT_EQ(watch.GetTotalMs(), 0.0);
}

TEST(ToolLibrary, TransferControlCarriesACancelRequestAcrossThreads)
{
    CTransferControl control;
    EXPECT_FALSE(control.IsCancelRequested());
    control.GetStopwatch().Start();
    std::thread canceller([&] { control.RequestCancel(); });
    canceller.join();
    EXPECT_TRUE(control.IsCancelRequested());
    control.Reset();
    EXPECT_FALSE(control.IsCancelRequested());
    EXPECT_FALSE(control.GetStopwatch().IsRunning());
}

TEST(ToolLibrary, ScopedLockHoldsForItsScope)
{
    platform::CCriticalSection lock;
    std::atomic<bool> taken{false};
    {
        CScopedLock guard(lock);
        CScopedLock again(&lock); // re-entrant, as the callers rely on
        std::thread other([&] { taken = lock.TryLock(); });
        other.join();
        EXPECT_FALSE(taken);
    }
    std::thread other(
        [&]
        {
            taken = lock.TryLock();
            if (taken)
                lock.Unlock();
        });
    other.join();
    EXPECT_TRUE(taken);
    CScopedLock nothing(nullptr);
}
