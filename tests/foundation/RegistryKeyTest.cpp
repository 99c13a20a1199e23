#include <gtest/gtest.h>

#include "foundation/RegistryKey.h"
#include "tests/support/TestEnvironment.h"

using platform::Hive;
namespace settings = platform::settings;

namespace
{

constexpr const char16_t* kKey = u"Software\\Norvane\\Test";

class RegistryKeyTest : public testing::Test
{
protected:
    testsupport::ScopedConfigDir m_config;
};

} // namespace

TEST_F(RegistryKeyTest, OpenNeedsAnExistingKey)
{
    CRegistryKey key;
    EXPECT_EQ(key.Open(Hive::CurrentUser, kKey), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.IsOpen());
    DWORD value = 5;
    EXPECT_EQ(key.QueryDword(u"x", value), ERROR_INVALID_HANDLE);
    EXPECT_EQ(value, 5u);

    ASSERT_TRUE(settings::CreateKey(Hive::CurrentUser, kKey));
    EXPECT_EQ(key.Open(Hive::CurrentUser, u"software\\NORVANE\\test"), ERROR_SUCCESS);
    EXPECT_TRUE(key.IsOpen());
    EXPECT_EQ(key.Open(Hive::LocalMachine, kKey), ERROR_FILE_NOT_FOUND); // the other hive
    EXPECT_FALSE(key.IsOpen());
}

TEST_F(RegistryKeyTest, QueryDwordWritesOnlyOnSuccess)
{
    ASSERT_TRUE(settings::SetDword(Hive::LocalMachine, kKey, u"Number", 0x12345678));
    ASSERT_TRUE(settings::SetString(Hive::LocalMachine, kKey, u"Text", u"5000"));
    CRegistryKey key;
    ASSERT_EQ(key.Open(Hive::LocalMachine, kKey), ERROR_SUCCESS);

    DWORD value = 7;
    EXPECT_EQ(key.QueryDword(u"number", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x12345678u);
    value = 7;
    EXPECT_EQ(key.QueryDword(u"Text", value), ERROR_BAD_FORMAT);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(key.QueryDword(u"Missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, 7u);
}

TEST_F(RegistryKeyTest, QueryValueGivesThePlatformBytes)
{
    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kKey, u"Number", 0x01020304));
    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kKey, u"Text", u"Ab"));
    ASSERT_TRUE(settings::SetValue(Hive::CurrentUser, kKey, u"Empty", platform::RegValue::FromBinary({})));
    CRegistryKey key;
    ASSERT_EQ(key.Open(Hive::CurrentUser, kKey), ERROR_SUCCESS);

    DWORD type = 99;
    CByteBuffer data;
    ASSERT_EQ(key.QueryValue(u"Number", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    ASSERT_EQ(data.GetLength(), 4u);
    EXPECT_EQ(data.GetData()[0], 0x04);
    EXPECT_EQ(data.GetData()[3], 0x01);

    ASSERT_EQ(key.QueryValue(u"Text", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    const std::vector<uint8_t> text(data.GetData(), data.GetData() + data.GetLength());
    EXPECT_EQ(text, (std::vector<uint8_t>{'A', 0, 'b', 0, 0, 0}));

    ASSERT_EQ(key.QueryValue(u"Empty", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data.GetLength(), 0u);

    EXPECT_EQ(key.QueryValue(u"Missing", type, data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(data.GetLength(), 0u);
}

TEST_F(RegistryKeyTest, QueryStringTakesOnlyStrings)
{
    ASSERT_TRUE(settings::SetString(Hive::CurrentUser, kKey, u"Folder", u"/data/Fieldmere"));
    ASSERT_TRUE(settings::SetDword(Hive::CurrentUser, kKey, u"Number", 3));
    CRegistryKey key;
    ASSERT_EQ(key.Open(Hive::CurrentUser, kKey), ERROR_SUCCESS);
    CWideString text(u"before");
    EXPECT_EQ(key.QueryString(u"Number", text), ERROR_BAD_FORMAT);
    EXPECT_EQ(std::u16string(text), u"before");
    EXPECT_EQ(key.QueryString(u"Folder", text), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(text), u"/data/Fieldmere");
    key.Close();
    EXPECT_EQ(key.QueryString(u"Folder", text), ERROR_INVALID_HANDLE);
}
