#include <algorithm>
#include <cctype>
#include <pwd.h>
#include <set>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/Identity.h"
#include "platform/Utf.h"

namespace
{

TEST(IdentityTest, GuidTextHasTheBracedUpperCaseForm)
{
    GUID guid;
    guid.Data1 = 0x0123ABCD;
    guid.Data2 = 0x00EF;
    guid.Data3 = 0x4A0B;
    const uint8_t tail[8] = {0x8C, 0x0D, 0x00, 0x01, 0xF2, 0xE3, 0xD4, 0x05};
    std::copy(tail, tail + 8, guid.Data4);
    EXPECT_EQ(platform::GuidToString(guid), u"{0123ABCD-00EF-4A0B-8C0D-0001F2E3D405}");
}

TEST(IdentityTest, NewGuidsAreRandomVersionFour)
{
    std::set<std::u16string> seen;
    for (int i = 0; i < 200; ++i)
    {
        const std::string text = platform::Utf16ToUtf8(platform::GuidToString(platform::NewGuid()));
        ASSERT_EQ(text.size(), 38u);
        EXPECT_EQ(text.front(), '{');
        EXPECT_EQ(text.back(), '}');
        for (size_t pos : {9u, 14u, 19u, 24u})
            EXPECT_EQ(text[pos], '-') << text;
        for (size_t pos = 1; pos < 37; ++pos)
        {
            const char c = text[pos];
            EXPECT_TRUE(c == '-' || std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))
                << text;
        }
        EXPECT_EQ(text[15], '4') << text;                                         // version
        EXPECT_NE(std::string("89AB").find(text[20]), std::string::npos) << text; // RFC 4122 variant
        seen.insert(platform::Utf8ToUtf16(text));
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(IdentityTest, NamesOfUserAndHost)
{
    const passwd* entry = getpwuid(geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(platform::UserName(), platform::Utf8ToUtf16(entry->pw_name));

    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(platform::ComputerName(), platform::Utf8ToUtf16(host));
    EXPECT_FALSE(platform::ComputerName().empty());
}

} // namespace
