// Registry-export text from anywhere must never crash the parser, and whatever it accepts must
// survive a write and a second read unchanged (the settings store depends on that round trip).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/SettingsStore.h"

namespace
{

bool SameDocument(const platform::regfile::Document& a, const platform::regfile::Document& b)
{
    if (a.hiveName != b.hiveName || a.keys.size() != b.keys.size())
        return false;
    for (size_t i = 0; i < a.keys.size(); ++i)
        if (a.keys[i].path != b.keys[i].path || a.keys[i].values != b.keys[i].values)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace platform::regfile;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto doc = Parse(bytes, &error);
    if (!doc)
    {
        if (error.empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const std::u16string hive = doc->hiveName.empty() ? u"HKEY_CURRENT_USER" : doc->hiveName;
    const std::string written = Serialize(*doc, hive);
    const auto again = Parse(written, &error);
    if (!again)
        std::abort();
    platform::regfile::Document expected = *doc;
    expected.hiveName = doc->keys.empty() ? std::u16string() : doc->hiveName;
    if (!SameDocument(expected, *again))
        std::abort();
    return 0;
}
