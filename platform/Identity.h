// Who and where: user name, computer name, and fresh GUIDs.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform
{

std::u16string UserName();     // login name of the effective user, empty when unknown
std::u16string ComputerName(); // host name, empty when unknown

GUID NewGuid(); // random, RFC 4122 version 4
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, 38 characters.
std::u16string GuidToString(const GUID& guid);

} // namespace platform
