#include <fstream>
#include <iterator>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using namespace platform;
using namespace platform::settings;
namespace fs = std::filesystem;

constexpr std::u16string_view kComm = u"Software\\Norvane\\Tarnwick Software\\Communication";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces a file the way another program would: a new file renamed over the old one.
void ReplaceFile(const fs::path& path, const std::string& text)
{
    const fs::path temp = path.string() + ".test-new";
    std::ofstream(temp, std::ios::binary) << text;
    fs::rename(temp, path);
}

std::vector<fs::path> FilesStartingWith(const fs::path& dir, const std::string& prefix)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(entry.path());
    return found;
}

class SettingsStoreTest : public testing::Test
{
protected:
    fs::path UserFile() const { return m_config.Path() / "user.reg"; }
    fs::path MachineFile() const { return m_config.Path() / "machine.reg"; }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(SettingsStoreTest, EveryValueTypeRoundTripsThroughTheFile)
{
    RegValue expand = RegValue::FromString(u"%HOME%\\x");
    expand.type = RegType::ExpandString;
    const std::vector<std::pair<std::u16string, RegValue>> values = {
        {u"ParamsDefault", RegValue::FromString(u"19200,8,E,1,RTU,1")},
        {u"Text with \"quotes\"", RegValue::FromString(u"line\none ü \\ end")},
        {u"Expand", expand},
        {u"Binary", RegValue::FromBinary({0, 1, 0xFE, 0xFF})},
        {u"MaxParams", RegValue::FromDword(5)},
        {u"Multi", RegValue::FromMultiString({u"COM1", u"", u"COM2"})},
        {u"Qword", RegValue::FromQword(0xFEDCBA9876543210ull)},
        {u"", RegValue::FromString(u"the default value")},
    };
    for (const auto& [name, value] : values)
        ASSERT_TRUE(SetValue(Hive::CurrentUser, kComm, name, value)) << LastProblem(Hive::CurrentUser);

    // Forget the cache: everything must come back from the file itself.
    ResetForTests();
    EXPECT_EQ(EnumValues(Hive::CurrentUser, kComm), values);
    EXPECT_EQ(GetDword(Hive::CurrentUser, kComm, u"MaxParams"), 5u);
    EXPECT_EQ(GetString(Hive::CurrentUser, kComm, u"ParamsDefault"), u"19200,8,E,1,RTU,1");

    const std::string text = ReadFile(UserFile());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Norvane\\Tarnwick Software\\Communication]\n"
                        "\"ParamsDefault\"=\"19200,8,E,1,RTU,1\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"MaxParams\"=dword:00000005\n"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(MachineFile()));
}

TEST_F(SettingsStoreTest, ValuesAreTyped)
{
    ASSERT_TRUE(SetString(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Retry Count", u"5"));
    ASSERT_TRUE(SetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Debug Flags", 3));
    RegValue expand = RegValue::FromString(u"x");
    expand.type = RegType::ExpandString;
    ASSERT_TRUE(SetValue(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Expand", expand));
    ASSERT_TRUE(SetValue(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Q", RegValue::FromQword(7)));

    EXPECT_FALSE(GetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Retry Count"));
    EXPECT_FALSE(GetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Q"));
    EXPECT_FALSE(GetString(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Debug Flags"));
    EXPECT_FALSE(GetString(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Expand"));
    EXPECT_EQ(GetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Debug Flags"), 3u);

    // A value built by hand keeps only what its type holds.
    RegValue sloppy = RegValue::FromDword(0);
    sloppy.number = 0x1'0000'0009ull;
    sloppy.text = u"ignored";
    ASSERT_TRUE(SetValue(Hive::LocalMachine, u"K", u"D", sloppy));
    EXPECT_EQ(GetValue(Hive::LocalMachine, u"K", u"D"), RegValue::FromDword(9));
}

TEST_F(SettingsStoreTest, NamesCompareWithoutRegardToCase)
{
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"Software\\Norvane\\Straße", u"MaxParams", 5));
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"SOFTWARE\\norvane\\STRAẞE", u"maxparams"), 5u);
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"software\\NORVANE"));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"\\Software\\\\Norvane\\")); // stray backslashes name nothing

    // Writing under another spelling changes the value and keeps the stored names.
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"software\\norvane\\strasse", u"x", 1));
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"software\\NORVANE\\STRAẞE", u"MAXPARAMS", 6));
    ResetForTests();
    EXPECT_EQ(EnumSubKeys(Hive::CurrentUser, u"Software\\Norvane"),
              (std::vector<std::u16string>{u"Straße", u"strasse"}));
    const auto values = EnumValues(Hive::CurrentUser, u"Software\\Norvane\\Straße");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, u"MaxParams");
    EXPECT_EQ(values[0].second, RegValue::FromDword(6));
}

TEST_F(SettingsStoreTest, MissingHiveIsEmptyAndReadsCreateNothing)
{
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, kComm));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"")); // the hive's own root
    EXPECT_FALSE(GetDword(Hive::CurrentUser, kComm, u"MaxParams"));
    EXPECT_TRUE(EnumSubKeys(Hive::LocalMachine, u"").empty());
    EXPECT_FALSE(DeleteValue(Hive::CurrentUser, kComm, u"MaxParams"));
    EXPECT_FALSE(DeleteKey(Hive::CurrentUser, kComm));
    EXPECT_EQ(LastProblem(Hive::CurrentUser), "");
    EXPECT_FALSE(fs::exists(UserFile()));
    EXPECT_FALSE(fs::exists(MachineFile()));
}

TEST_F(SettingsStoreTest, KeysAndValuesAreCreatedAndDeleted)
{
    ASSERT_TRUE(CreateKey(Hive::CurrentUser, u"A\\B\\C"));
    ASSERT_TRUE(CreateKey(Hive::CurrentUser, u"A\\B\\C")); // already there: nothing to do
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A\\B", u"v", 1));
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A\\D", u"w", 2));
    ResetForTests();
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"A\\B\\C")); // an empty key persists

    EXPECT_TRUE(DeleteValue(Hive::CurrentUser, u"a\\b", u"V"));
    EXPECT_FALSE(DeleteValue(Hive::CurrentUser, u"A\\B", u"v"));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"A\\B"));
    EXPECT_TRUE(DeleteKey(Hive::CurrentUser, u"A\\B"));
    EXPECT_FALSE(DeleteKey(Hive::CurrentUser, u"A\\B"));
    EXPECT_FALSE(DeleteKey(Hive::CurrentUser, u""));
    ResetForTests();
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A\\B\\C"));
    EXPECT_EQ(EnumSubKeys(Hive::CurrentUser, u"A"), std::vector<std::u16string>{u"D"});
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A\\D", u"w"), 2u);
}

TEST_F(SettingsStoreTest, NamesTheFileCannotHoldAreRefused)
{
    EXPECT_FALSE(SetDword(Hive::CurrentUser, u"A\nB", u"x", 1));
    EXPECT_FALSE(SetDword(Hive::CurrentUser, u"A", u"two\nlines", 1));
    EXPECT_FALSE(SetDword(Hive::CurrentUser, u"A", std::u16string(1, char16_t(0xDC00)), 1));
    EXPECT_FALSE(CreateKey(Hive::CurrentUser, std::u16string(u"A\0B", 3)));
    RegValue unknown;
    unknown.type = static_cast<RegType>(0x42);
    EXPECT_FALSE(SetValue(Hive::CurrentUser, u"A", u"x", unknown));
    EXPECT_FALSE(fs::exists(UserFile()));
}

TEST_F(SettingsStoreTest, MalformedHiveIsKeptAsideAndTheOtherHiveIsUntouched)
{
    ASSERT_TRUE(SetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Retry Count", 4));
    const std::string broken =
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:zz\n";
    ReplaceFile(UserFile(), broken);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(GetDword(Hive::CurrentUser, u"A", u"x"));
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("user.reg"), std::string::npos) << reported;
    EXPECT_NE(LastProblem(Hive::CurrentUser).find("line 3"), std::string::npos)
        << LastProblem(Hive::CurrentUser);
    EXPECT_EQ(LastProblem(Hive::LocalMachine), "");

    const auto aside = FilesStartingWith(m_config.Path(), "user.reg.broken-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(aside[0]), broken);
    EXPECT_FALSE(fs::exists(UserFile()));
    EXPECT_EQ(GetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Retry Count"), 4u);

    // Defaults can be written again; the broken copy stays, and a second one does not replace it.
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 7));
    ReplaceFile(UserFile(), "garbage\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(SetDword(Hive::CurrentUser, u"A", u"y", 8));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(GetDword(Hive::CurrentUser, u"A", u"x")); // it was in the file the garbage replaced
    const auto both = FilesStartingWith(m_config.Path(), "user.reg.broken-");
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ((std::multiset<std::string>{ReadFile(both[0]), ReadFile(both[1])}),
              (std::multiset<std::string>{broken, "garbage\n"}));
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"y"), 8u);
}

TEST_F(SettingsStoreTest, FileOfTheWrongHiveOrKindIsKeptAside)
{
    ReplaceFile(MachineFile(), "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n");
    fs::create_directory(UserFile()); // something that is not a file at all
    testing::internal::CaptureStderr();
    EXPECT_FALSE(KeyExists(Hive::LocalMachine, u"A"));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));
    testing::internal::GetCapturedStderr();
    EXPECT_NE(LastProblem(Hive::LocalMachine).find("HKEY_CURRENT_USER"), std::string::npos);
    EXPECT_NE(LastProblem(Hive::CurrentUser).find("not a regular file"), std::string::npos);
    EXPECT_EQ(FilesStartingWith(m_config.Path(), "machine.reg.broken-").size(), 1u);
    EXPECT_EQ(FilesStartingWith(m_config.Path(), "user.reg.broken-").size(), 1u);
    EXPECT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 1));
}

TEST_F(SettingsStoreTest, ChangesOfOtherProgramsAreSeen)
{
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 1));
    // Same size, written at once: only the file's identity tells the two apart.
    ReplaceFile(UserFile(),
                "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000002\n");
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"x"), 2u);
    ReplaceFile(UserFile(),
                "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000003\n");
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"x"), 3u);

    // A write starts from what is on disk now, not from the cache.
    ReplaceFile(UserFile(), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\B]\n\"y\"=\"z\"\n");
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 4));
    EXPECT_EQ(GetString(Hive::CurrentUser, u"B", u"y"), u"z");

    fs::remove(UserFile());
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));
}

TEST_F(SettingsStoreTest, RegistryExportInUtf16IsRead)
{
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                                u"[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
                                u"\"/dev/ttyUSB0\"=\"COM3\"\r\n\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    ReplaceFile(MachineFile(), bytes);
    EXPECT_EQ(GetString(Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"/dev/ttyUSB0"), u"COM3");
    // Written back in UTF-8.
    ASSERT_TRUE(SetString(Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"/dev/pts/3", u"COM4"));
    EXPECT_EQ(ReadFile(MachineFile()).rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_EQ(EnumValues(Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM").size(), 2u);
}

TEST_F(SettingsStoreTest, WritesLeaveNoTemporaryFiles)
{
    for (uint32_t i = 0; i < 5; ++i)
        ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", i));
    EXPECT_TRUE(FilesStartingWith(m_config.Path(), "user.reg.tmp").empty());
    EXPECT_TRUE(fs::exists(m_config.Path() / "user.reg.lock"));
}

TEST_F(SettingsStoreTest, ConfigFolderIsTakenAgainAfterReset)
{
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 1));
    {
        testsupport::ScopedConfigDir other;
        EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));
        ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 2));
        EXPECT_TRUE(fs::exists(other.Path() / "user.reg"));
    }
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"x"), 1u);
}

TEST_F(SettingsStoreTest, ConcurrentWritersInOneProcessLoseNothing)
{
    constexpr int kThreads = 6;
    constexpr int kWrites = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < kWrites; ++i)
                {
                    const std::u16string name =
                        u"t" + std::u16string(1, char16_t(u'a' + t)) + std::u16string(1, char16_t(u'a' + i));
                    EXPECT_TRUE(SetDword(Hive::CurrentUser, u"Concurrent", name, static_cast<uint32_t>(i)));
                    EXPECT_EQ(GetDword(Hive::CurrentUser, u"Concurrent", name), static_cast<uint32_t>(i));
                    EnumValues(Hive::LocalMachine, u"");
                }
            });
    for (auto& t : threads)
        t.join();
    ResetForTests();
    EXPECT_EQ(EnumValues(Hive::CurrentUser, u"Concurrent").size(), static_cast<size_t>(kThreads * kWrites));
}

TEST_F(SettingsStoreTest, ConcurrentWritersInSeveralProcessesLoseNothing)
{
    constexpr int kChildren = 4;
    constexpr int kWrites = 12;
    // Warm the cache first, so that each child starts from a cached state that soon goes stale.
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"Shared", u"parent", 1));
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c)
    {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            bool ok = true;
            for (int i = 0; i < kWrites; ++i)
            {
                const std::u16string name =
                    u"c" + std::u16string(1, char16_t(u'a' + c)) + std::u16string(1, char16_t(u'a' + i));
                ok = SetDword(Hive::CurrentUser, u"Shared", name, static_cast<uint32_t>(c)) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children)
    {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(EnumValues(Hive::CurrentUser, u"Shared").size(), static_cast<size_t>(kChildren * kWrites + 1));
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"Shared", u"cdb"), 3u);
}

} // namespace
