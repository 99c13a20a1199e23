#include <vector>

#include <gtest/gtest.h>

#include "foundation/RegistryKey.h"
#include "tests/support/TestEnvironment.h"

using platform::Hive;

// Reading DWORDs through the key is exercised by the display settings as well.
TEST(RegistryKey, QueriesNeedAnOpenKeyAndTheirTypeAndWriteOnlyOnSuccess)
{
    testsupport::ScopedConfigDir config;
    const char16_t* const key = u"Software\\Norvane\\Test";
    CRegistryKey reg;
    EXPECT_EQ(reg.Open(Hive::LocalMachine, key), ERROR_FILE_NOT_FOUND);
    DWORD value = 7;
    EXPECT_EQ(reg.QueryDword(u"Number", value), ERROR_INVALID_HANDLE);

    ASSERT_TRUE(platform::settings::SetDword(Hive::LocalMachine, key, u"Number", 0x01020304));
    ASSERT_TRUE(platform::settings::SetString(Hive::LocalMachine, key, u"Text", u"Ab"));
    ASSERT_EQ(reg.Open(Hive::LocalMachine, u"software\\NORVANE\\test"), ERROR_SUCCESS);
    EXPECT_EQ(reg.QueryDword(u"Text", value), ERROR_BAD_FORMAT);
    EXPECT_EQ(value, 7u);
    CWideString text(u"before");
    EXPECT_EQ(reg.QueryString(u"Number", text), ERROR_BAD_FORMAT);
    EXPECT_EQ(std::u16string(text), u"before");

    // The raw value in the platform's bytes: UTF-16LE text with its terminator.
    DWORD type = 99;
    CByteBuffer data;
    ASSERT_EQ(reg.QueryValue(u"Text", type, data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::vector<uint8_t>(data.GetData(), data.GetData() + data.GetLength()),
              (std::vector<uint8_t>{'A', 0, 'b', 0, 0, 0}));
    EXPECT_EQ(reg.QueryValue(u"Missing", type, data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(data.GetLength(), 0u);
}
