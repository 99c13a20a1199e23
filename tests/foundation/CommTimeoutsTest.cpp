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
