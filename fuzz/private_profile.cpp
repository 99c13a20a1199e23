// INI text from anywhere (a skin file a user edited) must never crash the reader, and whatever it
// reads must keep its promises: values no longer than the callers' buffers, and a section found
// alike whatever the case of its name.
#include <cstdint>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "platform/CaseFold.h"
#include "platform/PrivateProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::CPrivateProfile profile;
    profile.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const char16_t* section : {u"MainWindow", u"TabBitmaps", u"Names", u"TabTextNormalColor"})
    {
        for (const char16_t* key : {u"Title", u"Normal", u"VOXPro", u"Red", u"BackgroundColorRed"})
        {
            const std::u16string value = profile.GetString(section, key, u"\x01");
            Check(value.size() <= platform::CPrivateProfile::kMaxValueUnits);
            Check(profile.GetString(platform::FoldCase(section), key, u"\x01") == value);
            profile.GetInt(section, key, -1);
        }
    }
    return 0;
}
