// A CWideString as a comparable text: Show tells a null string from an empty one, Text does not.
#pragma once

#include <string>

#include "foundation/WideString.h"

namespace testsupport
{

inline std::u16string Show(const CWideString& s)
{
    const char16_t* text = s;
    return text == nullptr ? u"<null>" : std::u16string(text);
}

inline std::u16string Text(const CWideString& s)
{
    return s.IsEmpty() ? u"" : Show(s);
}

} // namespace testsupport
