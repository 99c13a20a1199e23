#include "comm/ModbusLrc.h"

#include <cstdint>

std::string ComputeModbusLrc(const CByteBuffer& rtuForm)
{
    const uint32_t length = rtuForm.GetLength();
    if (length < 3)
        return {};
    const BYTE* bytes = rtuForm.GetData();
    uint8_t sum = 0;
    for (uint32_t i = 0; i + 2 < length; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    const auto lrc = static_cast<uint8_t>(-sum);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[lrc >> 4], kDigits[lrc & 0x0F]};
}
