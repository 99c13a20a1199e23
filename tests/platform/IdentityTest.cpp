#include <algorithm>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "platform/Identity.h"
#include "platform/Utf.h"

namespace
{

TEST(IdentityTest, GuidsAreBracedUpperCaseTextAndNewOnesRandomVersionFour)
{
    GUID guid;
    guid.Data1 = 0x0123ABCD;
    guid.Data2 = 0x00EF;
    guid.Data3 = 0x4A0B;
    const uint8_t tail[8] = {0x8C, 0x0D, 0x00, 0x01, 0xF2, 0xE3, 0xD4, 0x05};
    std::copy(tail, tail + 8, guid.Data4);
    EXPECT_EQ(platform::GuidToString(guid), u"{0123ABCD-00EF-4A0B-8C0D-0001F2E3D405}");

    // New ones are random, of version 4 and the RFC 4122 variant.
    const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
    std::set<std::u16string> seen;
    for (int i = 0; i < 200; ++i)
    {
        const std::u16string text = platform::GuidToString(platform::NewGuid());
        EXPECT_TRUE(std::regex_match(platform::Utf16ToUtf8(text), form)) << platform::Utf16ToUtf8(text);
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 200u);
}

} // namespace
