// Byte vectors for tests: literal frames and payloads in, buffer contents out.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ByteBuffer.h"

namespace testsupport
{

using ByteVector = std::vector<uint8_t>;

inline CByteBuffer ToBuffer(const ByteVector& bytes)
{
    CByteBuffer buffer;
    buffer.Append(static_cast<uint32_t>(bytes.size()), bytes.data());
    return buffer;
}

inline ByteVector FromBuffer(const CByteBuffer& buffer)
{
    if (buffer.GetLength() == 0)
        return {};
    return ByteVector(buffer.GetData(), buffer.GetData() + buffer.GetLength());
}

} // namespace testsupport
