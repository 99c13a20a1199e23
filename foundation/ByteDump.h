// Text renderings of raw traffic for the trace log. Bytes are grouped by four, 32 to a line.
#pragma once

#include "foundation/ByteBuffer.h"
#include "foundation/WideString.h"

// "01 02 03 04  05 ": every byte "%02X ".
CWideString FormatHexDump(const CByteBuffer& buffer);
// Printable ASCII as itself, 10 as "<LF>", 13 as "<CR>", any other byte as "<%02X>".
CWideString FormatPrintableDump(const CByteBuffer& buffer);
