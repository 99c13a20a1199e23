#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "foundation/CommTimeouts.h"
#include "platform/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

using platform::Hive;
namespace settings = platform::settings;

namespace
{

class CommTimeoutsTest : public testing::Test
{
protected:
    CommTimeoutsTest() { ResetCommTunablesForTests(); }
    ~CommTimeoutsTest() override { ResetCommTunablesForTests(); }

    static bool Store(const char16_t* name, uint32_t value)
    {
        return settings::SetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, name, value);
    }

    // The machine hive replaced as another program would: a new file renamed over the old one.
    void StoreAsAnotherProgram(const std::string& name, uint32_t value) const
    {
        char data[16];
        std::snprintf(data, sizeof data, "%08x", value);
        const std::filesystem::path hive = m_config.Path() / "machine.reg";
        const std::filesystem::path temp = m_config.Path() / "machine.reg.other";
        std::ofstream(temp) << "Windows Registry Editor Version 5.00\n\n"
                            << "[HKEY_LOCAL_MACHINE\\Software\\Norvane\\ModbusComm]\n"
                            << "\"" << name << "\"=dword:" << data << "\n";
        std::filesystem::rename(temp, hive);
    }

    testsupport::ScopedConfigDir m_config;
};

} // namespace

TEST_F(CommTimeoutsTest, WithoutTheKeyEveryReaderGivesItsDefault)
{
    ASSERT_EQ(static_cast<int>(CommTunable::Count), 25);
    EXPECT_EQ(GetReadRegisterTimeout(), 3500u);
    EXPECT_EQ(GetRetryCount(), 3);
    EXPECT_EQ(GetFileWriteBlkTimeout(), 3000u);
    EXPECT_EQ(ReadCommTunable(CommTunable::FileWriteCfgCommitTO), 90000u);
    EXPECT_EQ(ReadCommTunable(CommTunable::BusyRetryLimit), 60u);
    EXPECT_EQ(ReadCommTunable(CommTunable::RTUInterCharacterTO), 250u);
    EXPECT_EQ(std::u16string(GetCommTunableName(CommTunable::LogDirCacheRefreshRate)),
              u"LogDir Cache Refresh Rate");
    for (int i = 0; i < static_cast<int>(CommTunable::Count); ++i)
        EXPECT_EQ(ReadCommTunable(static_cast<CommTunable>(i)),
                  GetCommTunableDefault(static_cast<CommTunable>(i)));
}

TEST_F(CommTimeoutsTest, AValueOnceFoundStaysForTheProcessUntilReset)
{
    ASSERT_TRUE(Store(u"Read Register TO", 5000));
    ASSERT_TRUE(Store(u"reboot to app delay", 12)); // names compare without case
    EXPECT_EQ(GetReadRegisterTimeout(), 5000u);
    EXPECT_EQ(ReadCommTunable(CommTunable::RebootToAppDelay), 12u);

    ASSERT_TRUE(settings::DeleteKey(Hive::LocalMachine, u"Software\\Norvane"));
    EXPECT_EQ(GetReadRegisterTimeout(), 5000u);
    EXPECT_EQ(ReadCommTunable(CommTunable::RebootToAppDelay), 12u);

    // A changed value replaces the remembered one; reset brings the built-in default back.
    ASSERT_TRUE(Store(u"Read Register TO", 10));
    EXPECT_EQ(GetReadRegisterTimeout(), 10u);
    ASSERT_TRUE(settings::DeleteValue(Hive::LocalMachine, COMM_TUNABLES_KEY, u"Read Register TO"));
    ResetCommTunablesForTests();
    EXPECT_EQ(GetReadRegisterTimeout(), 3500u);
}

TEST_F(CommTimeoutsTest, AValueOfAnotherTypeOrHiveIsIgnoredAndRangesHold)
{
    ASSERT_TRUE(settings::SetString(Hive::LocalMachine, COMM_TUNABLES_KEY, u"Retry Count", u"9"));
    ASSERT_TRUE(settings::SetValue(Hive::LocalMachine, COMM_TUNABLES_KEY, u"Write Register TO",
                                   platform::RegValue::FromQword(7)));
    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, COMM_TUNABLES_KEY, u"Retry Count", 9));
    EXPECT_EQ(GetRetryCount(), 3);
    EXPECT_EQ(GetWriteRegisterTimeout(), 1500u);

    ASSERT_TRUE(Store(u"Max Packet Size Bytes", 5));
    EXPECT_EQ(GetMaxPacketSize(), 20);
    ASSERT_TRUE(Store(u"Max Packet Size Bytes", 70000));
    EXPECT_EQ(GetMaxPacketSize(), 1024);
    ASSERT_TRUE(Store(u"Retry Count", 0x10001));
    EXPECT_EQ(GetRetryCount(), 0xFFFF);
}

// The delay is read before every attempt of every transaction: a change must still take effect,
// without a look at the hive file each time.
TEST_F(CommTimeoutsTest, ChangesBySelfApplyAtOnceAndByOthersSoon)
{
    ASSERT_TRUE(Store(u"InterMsgDelay TO", 5));
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 5u);
    ASSERT_TRUE(Store(u"InterMsgDelay TO", 6));
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 6u);

    // Another program's change is seen at once by a read of the store, and then by the tunable.
    StoreAsAnotherProgram("InterMsgDelay TO", 7);
    EXPECT_EQ(settings::GetDword(Hive::LocalMachine, COMM_TUNABLES_KEY, u"InterMsgDelay TO"), 7u);
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 7u);

    // Unnoticed by the store, it is found all the same within a moment.
    StoreAsAnotherProgram("InterMsgDelay TO", 8);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadCommTunable(CommTunable::InterMsgDelayTO) != 8u && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(ReadCommTunable(CommTunable::InterMsgDelayTO), 8u);
}
