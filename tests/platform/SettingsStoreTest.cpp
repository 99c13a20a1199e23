// The settings store on its two hive files: typed values, names without case, files changed or
// broken by others, atomic writes and writers in several threads and processes.
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/support/TestEnvironment.h"

namespace
{

using namespace platform;
using namespace platform::settings;
namespace fs = std::filesystem;

constexpr std::u16string_view kComm = u"Software\\Norvane\\Tarnwick Software\\Communication";
constexpr const char* kHeader = "Windows Registry Editor Version 5.00\n";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A key `levels` deep below the hive, "\\k" a level, in the file's text and as a key path.
std::string DeepKeyText(size_t levels)
{
    std::string path;
    for (size_t i = 0; i < levels; ++i)
        path += "\\k";
    return path;
}

std::u16string DeepKey(size_t levels)
{
    std::u16string path;
    for (size_t i = 0; i < levels; ++i)
        path += u"\\k";
    return path;
}

ino_t Inode(const fs::path& path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Replaces a file the way another program would: a new file renamed over the old one.
void ReplaceFile(const fs::path& path, const std::string& text)
{
    const fs::path temp = path.string() + ".test-new";
    std::ofstream(temp, std::ios::binary) << text;
    fs::rename(temp, path);
}

class SettingsStoreTest : public testing::Test
{
protected:
    fs::path UserFile() const { return m_config.Path() / "user.reg"; }
    fs::path MachineFile() const { return m_config.Path() / "machine.reg"; }
    std::vector<std::string> FilesStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_config.Path()))
            if (entry.path().filename().string().rfind(prefix, 0) == 0)
                found.push_back(ReadFile(entry.path()));
        return found;
    }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(SettingsStoreTest, EveryValueTypeRoundTripsThroughTheFileAndStaysTyped)
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
    ResetForTests(); // everything must come back from the file itself
    EXPECT_EQ(EnumValues(Hive::CurrentUser, kComm), values);
    EXPECT_EQ(GetDword(Hive::CurrentUser, kComm, u"MaxParams"), 5u);
    // A string is no DWORD, nor the other way round.
    EXPECT_FALSE(GetDword(Hive::CurrentUser, kComm, u"ParamsDefault"));
    EXPECT_FALSE(GetDword(Hive::CurrentUser, kComm, u"Qword"));
    EXPECT_FALSE(GetString(Hive::CurrentUser, kComm, u"MaxParams"));
    EXPECT_FALSE(GetString(Hive::CurrentUser, kComm, u"Expand"));

    EXPECT_EQ(ReadFile(UserFile()).rfind(kHeader, 0), 0u); // in the format RegFileTest pins down
    EXPECT_FALSE(fs::exists(MachineFile()));
    EXPECT_TRUE(FilesStartingWith("user.reg.tmp").empty());
}

TEST_F(SettingsStoreTest, NamesCompareWithoutRegardToCase)
{
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"Software\\Norvane\\Straße", u"MaxParams", 5));
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"SOFTWARE\\norvane\\STRAẞE", u"maxparams"), 5u);
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"\\Software\\\\Norvane\\")); // stray backslashes name nothing

    // Writing under another spelling changes the value and keeps the stored names.
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"software\\norvane\\strasse", u"x", 1));
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"software\\NORVANE\\STRAẞE", u"MAXPARAMS", 6));
    ResetForTests();
    EXPECT_EQ(EnumSubKeys(Hive::CurrentUser, u"Software\\Norvane"),
              (std::vector<std::u16string>{u"Straße", u"strasse"}));
    EXPECT_EQ(EnumValues(Hive::CurrentUser, u"Software\\Norvane\\Straße"),
              (std::vector<std::pair<std::u16string, RegValue>>{{u"MaxParams", RegValue::FromDword(6)}}));
}

TEST_F(SettingsStoreTest, KeysAndValuesAreCreatedAndDeletedAndReadsCreateNothing)
{
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, kComm));
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"")); // the hive's own root
    EXPECT_FALSE(GetDword(Hive::CurrentUser, kComm, u"MaxParams"));
    EXPECT_FALSE(DeleteValue(Hive::CurrentUser, kComm, u"MaxParams"));
    EXPECT_FALSE(DeleteKey(Hive::CurrentUser, kComm));
    // Names the file cannot hold.
    EXPECT_FALSE(SetDword(Hive::CurrentUser, u"A\nB", u"x", 1));
    EXPECT_FALSE(SetDword(Hive::CurrentUser, u"A", std::u16string(1, char16_t(0xDC00)), 1));
    EXPECT_FALSE(CreateKey(Hive::CurrentUser, std::u16string(u"A\0B", 3)));
    EXPECT_FALSE(fs::exists(UserFile()));
    EXPECT_EQ(LastProblem(Hive::CurrentUser), "");

    ASSERT_TRUE(CreateKey(Hive::CurrentUser, u"A\\B\\C"));
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A\\B", u"v", 1));
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A\\D", u"w", 2));
    ResetForTests();
    EXPECT_TRUE(KeyExists(Hive::CurrentUser, u"A\\B\\C")); // an empty key persists
    EXPECT_TRUE(DeleteValue(Hive::CurrentUser, u"a\\b", u"V"));
    EXPECT_FALSE(DeleteValue(Hive::CurrentUser, u"A\\B", u"v"));
    EXPECT_TRUE(DeleteKey(Hive::CurrentUser, u"A\\B"));
    EXPECT_FALSE(DeleteKey(Hive::CurrentUser, u""));
    ResetForTests();
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A\\B\\C"));
    EXPECT_EQ(EnumSubKeys(Hive::CurrentUser, u"A"), std::vector<std::u16string>{u"D"});
}

TEST_F(SettingsStoreTest, ABrokenHiveIsKeptAsideAndTheOtherHiveIsUntouched)
{
    ASSERT_TRUE(SetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Retry Count", 4));
    const std::string broken = std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:zz\n";
    ReplaceFile(UserFile(), broken);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GetDword(Hive::CurrentUser, u"A", u"x"));
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("user.reg"), std::string::npos) << reported;
    EXPECT_NE(LastProblem(Hive::CurrentUser).find("line 3"), std::string::npos)
        << LastProblem(Hive::CurrentUser);
    EXPECT_EQ(LastProblem(Hive::LocalMachine), "");
    EXPECT_EQ(FilesStartingWith("user.reg.broken-"), std::vector<std::string>{broken});
    EXPECT_FALSE(fs::exists(UserFile()));
    EXPECT_EQ(GetDword(Hive::LocalMachine, u"Software\\Norvane\\ModbusComm", u"Retry Count"), 4u);
    // Where it went, for whoever tells the user, once.
    const std::optional<SetAsideFile> file = TakeSetAsideFile(Hive::CurrentUser);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->path, UserFile().string());
    EXPECT_EQ(file->reason.rfind("is malformed (line 3", 0), 0u) << file->reason;
    EXPECT_EQ(ReadFile(file->keptAs), broken);
    EXPECT_FALSE(TakeSetAsideFile(Hive::CurrentUser).has_value());
    EXPECT_FALSE(TakeSetAsideFile(Hive::LocalMachine).has_value());

    // Defaults can be written again; the broken copy stays, and a second one does not replace it.
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 7));
    ReplaceFile(UserFile(), "garbage\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(SetDword(Hive::CurrentUser, u"A", u"y", 8));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(GetDword(Hive::CurrentUser, u"A", u"x")); // it was in the file the garbage replaced
    const auto both = FilesStartingWith("user.reg.broken-");
    EXPECT_EQ(std::multiset<std::string>(both.begin(), both.end()),
              (std::multiset<std::string>{broken, "garbage\n"}));
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"y"), 8u);

    // Keys of the other hive, or something that is no file at all, are broken too.
    ReplaceFile(MachineFile(), std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n");
    fs::remove(UserFile());
    fs::create_directory(UserFile());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(KeyExists(Hive::LocalMachine, u"A"));
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));
    testing::internal::GetCapturedStderr();
    EXPECT_NE(LastProblem(Hive::LocalMachine).find("HKEY_CURRENT_USER"), std::string::npos);
    EXPECT_NE(LastProblem(Hive::CurrentUser).find("not a regular file"), std::string::npos);
    EXPECT_EQ(FilesStartingWith("machine.reg.broken-").size(), 1u);
}

TEST_F(SettingsStoreTest, ADeepKeyIsKeptUpTo512LevelsWithoutGrowingTheFileAndADeeperOneIsSetAside)
{
    const std::string within =
        std::string(kHeader) + "\n[HKEY_CURRENT_USER" + DeepKeyText(512) + "]\n\"x\"=dword:00000001\n";
    ReplaceFile(UserFile(), within);
    // What the start-up does: read, then write its defaults.
    EXPECT_EQ(GetDword(Hive::CurrentUser, DeepKey(512), u"x"), 1u);
    ASSERT_TRUE(SetDword(Hive::CurrentUser, kComm, u"MaxParams", 5)) << LastProblem(Hive::CurrentUser);
    EXPECT_LT(fs::file_size(UserFile()), within.size() + 200); // not the key's path once per level
    EXPECT_FALSE(SetDword(Hive::CurrentUser, DeepKey(513), u"x", 1));
    ResetForTests();
    EXPECT_EQ(GetDword(Hive::CurrentUser, DeepKey(512), u"x"), 1u);
    EXPECT_EQ(EnumSubKeys(Hive::CurrentUser, DeepKey(511)), std::vector<std::u16string>{u"k"});
    EXPECT_FALSE(TakeSetAsideFile(Hive::CurrentUser).has_value());

    // One level more is no file of ours: kept aside whole, not loaded in part and written back.
    const std::string beyond =
        std::string(kHeader) + "\n[HKEY_CURRENT_USER" + DeepKeyText(513) + "]\n\"x\"=dword:00000001\n";
    ReplaceFile(UserFile(), beyond);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(SetDword(Hive::CurrentUser, kComm, u"MaxParams", 5));
    testing::internal::GetCapturedStderr();
    const std::optional<SetAsideFile> file = TakeSetAsideFile(Hive::CurrentUser);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->reason, "is malformed (line 3: a key more than 512 levels deep)");
    EXPECT_EQ(ReadFile(file->keptAs), beyond);
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"k"));
}

TEST_F(SettingsStoreTest, KeyNamesAndPathsLongerThanTheRegistryAllowsAreRefusedInWritesAndFiles)
{
    // 128 names of 255 units and their backslashes: the longest path, 32,767 units.
    std::u16string longest;
    for (int i = 0; i < 128; ++i)
        longest += (i == 0 ? u"" : u"\\") + std::u16string(255, char16_t(u'a' + i % 26));
    ASSERT_EQ(longest.size(), 32767u);
    ASSERT_TRUE(SetDword(Hive::CurrentUser, longest, u"x", 1)) << LastProblem(Hive::CurrentUser);
    EXPECT_LT(fs::file_size(UserFile()), 2 * longest.size());
    EXPECT_FALSE(SetDword(Hive::CurrentUser, longest + u"\\b", u"x", 2));
    EXPECT_FALSE(CreateKey(Hive::CurrentUser, u"A\\" + std::u16string(256, u'n')));
    ResetForTests();
    EXPECT_EQ(GetDword(Hive::CurrentUser, longest, u"x"), 1u);
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));

    // A file with a longer one is kept aside whole.
    const std::string text = std::string(kHeader) + "\n[HKEY_CURRENT_USER\\Kept]\n\"y\"=\"z\"\n" +
                             "[HKEY_CURRENT_USER\\" + Utf16ToUtf8(longest) + "\\b]\n";
    ReplaceFile(UserFile(), text);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GetString(Hive::CurrentUser, u"Kept", u"y"));
    testing::internal::GetCapturedStderr();
    const std::optional<SetAsideFile> file = TakeSetAsideFile(Hive::CurrentUser);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->reason, "is malformed (line 5: a key path longer than 32767 characters)");
    EXPECT_EQ(ReadFile(file->keptAs), text);
}

// The reader refuses a hive file larger than 16 MiB; the writer must not make one.
TEST_F(SettingsStoreTest, AWriteThatWouldMakeTheFileTooLargeToReadFailsAndLeavesTheFile)
{
    ASSERT_TRUE(SetString(Hive::CurrentUser, kComm, u"Text", u"x"));
    const ino_t written = Inode(UserFile());
    // One byte more than the largest file that is read; three bytes a unit keep the test quick.
    const size_t fill = (16u << 20) - (fs::file_size(UserFile()) - 1) + 1;
    const std::u16string text = std::u16string(fill / 3, u'\u20AC') + std::u16string(fill % 3, u'x');
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SetString(Hive::CurrentUser, kComm, u"Text", text));
    testing::internal::GetCapturedStderr();
    EXPECT_NE(LastProblem(Hive::CurrentUser).find("larger than 16 MiB"), std::string::npos)
        << LastProblem(Hive::CurrentUser);
    EXPECT_EQ(Inode(UserFile()), written); // every write is a new file renamed over the old one
    EXPECT_TRUE(GetString(Hive::CurrentUser, kComm, u"Text") == u"x"); // not the text on failure
    ResetForTests();
    EXPECT_TRUE(GetString(Hive::CurrentUser, kComm, u"Text") == u"x");
    EXPECT_FALSE(TakeSetAsideFile(Hive::CurrentUser).has_value());
}

// Fills the user hive to `spare` bytes below a bound of 1 MiB, the filler among the test's values.
void FillUserHiveTo(const fs::path& file, size_t spare)
{
    testsupport::FillUserHiveTo(file, spare, kComm);
}

// A change the file cannot take is told to the user in a box, once however many values it writes,
// never only on standard error; the file keeps what it had.
TEST_F(SettingsStoreTest, AChangeRefusedAtTheSizeBoundIsToldOnceInABoxNamingTheFile)
{
    FillUserHiveTo(UserFile(), 5);
    const std::string before = ReadFile(UserFile());
    testsupport::ScriptedMessageBox boxes;
    testing::internal::CaptureStderr();
    {
        const CChangeScope change;
        for (uint32_t i = 0; i < 7; ++i)
            EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"Order" + std::u16string(1, u'0' + i), i));
        EXPECT_TRUE(boxes.Shown_().empty()); // not before the change is over
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(boxes.Shown_().size(), 1u);
    const std::u16string path = Utf8ToUtf16(UserFile().string());
    EXPECT_EQ(boxes.Shown_()[0].text, u"The change was not saved to the settings file " + path +
                                          u": the file would exceed 1\u00A0MiB.");
    EXPECT_EQ(boxes.Shown_()[0].flags, MB_OK | MB_ICONERROR);
    EXPECT_TRUE(ReadFile(UserFile()) == before);

    // Outside a scope each refused write is a change of its own, and values written together are
    // one write.
    EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"Order0", 0));
    EXPECT_FALSE(SetValues(Hive::CurrentUser, kComm, {{u"A", RegValue::FromDword(1)}, {u"B", std::nullopt}}));
    EXPECT_EQ(boxes.Shown_().size(), 3u);
    EXPECT_TRUE(ReadFile(UserFile()) == before);
}

// A refusal is the refused write's alone: once there is room again, a write is kept and told
// nothing, in a scope or not.
TEST_F(SettingsStoreTest, AfterARefusedWriteALaterOneThatFitsIsKeptWithoutABox)
{
    FillUserHiveTo(UserFile(), 5);
    testsupport::ScriptedMessageBox boxes;
    EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"Order", 1));
    ASSERT_EQ(boxes.Shown_().size(), 1u);

    EXPECT_TRUE(SetString(Hive::CurrentUser, kComm, u"Filler", u"x")) << LastProblem(Hive::CurrentUser);
    EXPECT_TRUE(SetDword(Hive::CurrentUser, kComm, u"Order", 1)) << LastProblem(Hive::CurrentUser);
    {
        const CChangeScope change;
        EXPECT_TRUE(SetDword(Hive::CurrentUser, kComm, u"Other", 2)) << LastProblem(Hive::CurrentUser);
    }
    EXPECT_EQ(boxes.Shown_().size(), 1u);
    ResetForTests();
    EXPECT_EQ(GetDword(Hive::CurrentUser, kComm, u"Order"), 1u);
    EXPECT_EQ(GetDword(Hive::CurrentUser, kComm, u"Other"), 2u);
}

// The state a window keeps on its own (a page's, at every disconnect) is told the first time the
// file refuses it, not at every refusal of the same values after; new values are news again.
TEST_F(SettingsStoreTest, TheProgramsOwnWriteIsToldOnlyTheFirstTimeTheFileRefusesItsValues)
{
    FillUserHiveTo(UserFile(), 5);
    const std::string before = ReadFile(UserFile());
    testsupport::ScriptedMessageBox boxes;
    const auto keepState = [](std::u16string_view key, std::u16string_view rateName, const RegValue& rate)
    {
        const CChangeScope change(ChangeBy::Program);
        EXPECT_FALSE(SetValue(Hive::CurrentUser, key, rateName, rate));
    };
    keepState(kComm, u"LogRate_Sec", RegValue::FromDword(10));
    ASSERT_EQ(boxes.Shown_().size(), 1u);
    keepState(kComm, u"LogRate_Sec", RegValue::FromDword(10));
    // Names compare without case and empty parts of a key path are none.
    keepState(u"\\SOFTWARE\\Norvane\\\\Tarnwick Software\\communication", u"LOGRATE_SEC",
              RegValue::FromDword(10));
    EXPECT_EQ(boxes.Shown_().size(), 1u);

    keepState(kComm, u"LogRate_Sec", RegValue::FromDword(20));
    EXPECT_EQ(boxes.Shown_().size(), 2u);
    keepState(kComm, u"LogRate_Sec", RegValue::FromString(u"20")); // a string is not the number
    EXPECT_EQ(boxes.Shown_().size(), 3u);
    keepState(u"Software\\Other", u"LogRate_Sec", RegValue::FromDword(10));
    EXPECT_EQ(boxes.Shown_().size(), 4u);
    EXPECT_TRUE(ReadFile(UserFile()) == before);
}

// A change the user asks for is told every time the file refuses it, also with values it refused
// before; each write is whose its innermost scope says, and the user was told of what the program
// then writes again.
TEST_F(SettingsStoreTest, TheUsersChangeIsToldAtEveryRefusalAndTheInnermostScopeSaysWhoseAWriteIs)
{
    FillUserHiveTo(UserFile(), 5);
    const std::string before = ReadFile(UserFile());
    testsupport::ScriptedMessageBox boxes;
    const auto write = [] { EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"Address", 7)); };
    for (int i = 0; i < 2; ++i)
    {
        const CChangeScope change;
        write();
    }
    write();
    ASSERT_EQ(boxes.Shown_().size(), 3u);
    {
        const CChangeScope change(ChangeBy::Program); // told to the user before
        write();
    }
    EXPECT_EQ(boxes.Shown_().size(), 3u);

    {
        const CChangeScope usersChange;
        {
            const CChangeScope programs(ChangeBy::Program);
            write();
        }
    }
    EXPECT_EQ(boxes.Shown_().size(), 3u) << "the program's write inside the user's change";
    {
        const CChangeScope usersChange;
        {
            const CChangeScope programs(ChangeBy::Program);
        }
        write();
    }
    EXPECT_EQ(boxes.Shown_().size(), 4u) << "the user's write after the program's scope has ended";
    {
        const CChangeScope programsChange(ChangeBy::Program);
        const CChangeScope users;
        write();
    }
    EXPECT_EQ(boxes.Shown_().size(), 5u) << "the user's write inside the program's change";
    EXPECT_TRUE(ReadFile(UserFile()) == before);
}

// Records the window and the thread of every box.
class OwnerRecordingHook final : public IMessageBoxHook
{
public:
    struct Shown
    {
        const void* owner;
        std::thread::id thread;
    };

    OwnerRecordingHook() : m_previous(SetMessageBoxHook(this)) {}
    ~OwnerRecordingHook() override { SetMessageBoxHook(m_previous); }
    OwnerRecordingHook(const OwnerRecordingHook&) = delete;
    OwnerRecordingHook& operator=(const OwnerRecordingHook&) = delete;

    int Show(const void* owner, const std::u16string&, const std::u16string&, uint32_t) override
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back({owner, std::this_thread::get_id()});
        return IDOK;
    }
    std::vector<Shown> All() const
    {
        std::lock_guard lock(m_mutex);
        return m_shown;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Shown> m_shown;
    IMessageBoxHook* m_previous;
};

// A change made on a worker for a thread that waits for it: the worker tells nothing, and the
// waiting thread tells each file once, as part of its own change and over that change's window.
TEST_F(SettingsStoreTest, AChangeMadeOnAWorkerIsToldByTheThreadThatWaitsForItOverItsWindow)
{
    FillUserHiveTo(UserFile(), 5);
    OwnerRecordingHook boxes;
    std::vector<std::string> handedOver;
    std::thread worker(
        [&handedOver]
        {
            const CChangeScope change(handedOver);
            EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"A", 1));
            const CChangeScope inner; // part of the worker's change
            EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"B", 2));
        });
    worker.join();
    EXPECT_TRUE(boxes.All().empty());
    EXPECT_EQ(handedOver, std::vector<std::string>{UserFile().string()});

    const int window = 0;
    {
        const CChangeScope change(&window);
        EXPECT_FALSE(SetDword(Hive::CurrentUser, kComm, u"C", 3));
        TellRefusals(handedOver);
        EXPECT_TRUE(boxes.All().empty()) << "not before the change is over";
    }
    ASSERT_EQ(boxes.All().size(), 1u) << "one box for the file";
    EXPECT_EQ(boxes.All()[0].owner, &window);
    EXPECT_EQ(boxes.All()[0].thread, std::this_thread::get_id());

    // Outside a scope they are told at once, with no window.
    TellRefusals(handedOver);
    ASSERT_EQ(boxes.All().size(), 2u);
    EXPECT_EQ(boxes.All()[1].owner, nullptr);
}

TEST_F(SettingsStoreTest, FilesWrittenByOtherProgramsAreReadInUtf8AndUtf16)
{
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 1));
    // Same size, written at once: only the file's identity tells the two apart.
    ReplaceFile(UserFile(), std::string(kHeader) + "\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000002\n");
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"x"), 2u);
    ReplaceFile(UserFile(), std::string(kHeader) + "\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000003\n");
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"A", u"x"), 3u);
    // A write starts from what is on disk now, not from the cache.
    ReplaceFile(UserFile(), std::string(kHeader) + "\n[HKEY_CURRENT_USER\\B]\n\"y\"=\"z\"\n");
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 4));
    EXPECT_EQ(GetString(Hive::CurrentUser, u"B", u"y"), u"z");
    fs::remove(UserFile());
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));

    // An export in UTF-16 with its byte order mark, written back in UTF-8.
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                                u"[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
                                u"\"/dev/ttyUSB0\"=\"COM3 \U0001F600\"\r\n\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    ReplaceFile(MachineFile(), bytes);
    EXPECT_EQ(GetString(Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"/dev/ttyUSB0"),
              u"COM3 \U0001F600");
    ASSERT_TRUE(SetString(Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM", u"/dev/pts/3", u"COM4"));
    EXPECT_EQ(ReadFile(MachineFile()).rfind(kHeader, 0), 0u);
    EXPECT_EQ(EnumValues(Hive::LocalMachine, u"HARDWARE\\DEVICEMAP\\SERIALCOMM").size(), 2u);
}

// Callers that keep what they read (the communication tunables) rely on the version: it must move
// with every change this process makes or finds, and stay when nothing changed.
TEST_F(SettingsStoreTest, TheCacheVersionMovesWithEveryChangeSeenAndOnlyThen)
{
    ASSERT_TRUE(SetDword(Hive::LocalMachine, u"A", u"x", 1));
    EXPECT_EQ(GetDword(Hive::LocalMachine, u"A", u"x"), 1u);
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A")); // no file: nothing to load
    uint64_t version = CacheVersion();
    EXPECT_EQ(GetDword(Hive::LocalMachine, u"A", u"x"), 1u);
    EXPECT_FALSE(KeyExists(Hive::CurrentUser, u"A"));
    EXPECT_TRUE(SetDword(Hive::LocalMachine, u"A", u"x", 1)); // the same value: nothing written
    EXPECT_EQ(CacheVersion(), version);

    const auto moved = [&version]
    {
        const uint64_t now = CacheVersion();
        const bool changed = now != version;
        version = now;
        return changed;
    };
    ASSERT_TRUE(SetDword(Hive::CurrentUser, u"A", u"x", 2));
    EXPECT_TRUE(moved());
    ASSERT_TRUE(DeleteValue(Hive::CurrentUser, u"A", u"x"));
    EXPECT_TRUE(moved());
    ReplaceFile(MachineFile(), std::string(kHeader) + "\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:00000003\n");
    EXPECT_FALSE(moved()); // not looked at yet
    EXPECT_EQ(GetDword(Hive::LocalMachine, u"A", u"x"), 3u);
    EXPECT_TRUE(moved());
    fs::remove(MachineFile());
    EXPECT_FALSE(KeyExists(Hive::LocalMachine, u"A"));
    EXPECT_TRUE(moved());
    ResetForTests();
    EXPECT_TRUE(moved());
}

TEST_F(SettingsStoreTest, ConcurrentWritersInThreadsAndProcessesLoseNothing)
{
    const auto name = [](char16_t who, int i) { return u"w" + std::u16string{who, char16_t(u'a' + i)}; };
    std::vector<std::thread> threads;
    for (char16_t t = u'a'; t < u'f'; ++t)
        threads.emplace_back(
            [t, &name]
            {
                for (int i = 0; i < 15; ++i)
                {
                    EXPECT_TRUE(SetDword(Hive::CurrentUser, u"Shared", name(t, i), static_cast<uint32_t>(i)));
                    EXPECT_EQ(GetDword(Hive::CurrentUser, u"Shared", name(t, i)), static_cast<uint32_t>(i));
                    EnumValues(Hive::LocalMachine, u"");
                }
            });
    for (auto& t : threads)
        t.join();

    // Each child starts from a cached state that soon goes stale.
    std::vector<pid_t> children;
    for (char16_t c = u'0'; c < u'4'; ++c) // names apart from the threads' in any case
    {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            bool ok = true;
            for (int i = 0; i < 12; ++i)
                ok = SetDword(Hive::CurrentUser, u"Shared", name(c, i), c) && ok;
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
    ResetForTests();
    EXPECT_EQ(EnumValues(Hive::CurrentUser, u"Shared").size(), 5u * 15 + 4 * 12);
    EXPECT_EQ(GetDword(Hive::CurrentUser, u"Shared", name(u'3', 11)), uint32_t(u'3'));
    EXPECT_TRUE(fs::exists(m_config.Path() / "user.reg.lock"));
}

} // namespace
