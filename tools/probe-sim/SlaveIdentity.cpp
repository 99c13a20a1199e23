#include "tools/probe-sim/SlaveIdentity.h"

#include <stdexcept>
#include <string>

namespace probesim
{

namespace
{

constexpr uint8_t kMarkerByte = 0x4E;
constexpr uint8_t kRecordFormat = 1;
constexpr uint16_t kMarkerWord = 0x5643;
constexpr uint32_t kBaudIdOffset = 5;

class RecordWriter
{
public:
    explicit RecordWriter(std::array<uint8_t, kSlaveIdRecordSize>& out) : m_out(out) {}
    void U8(uint8_t v) { m_out.at(m_at++) = v; }
    void U16(uint16_t v)
    {
        U8(static_cast<uint8_t>(v >> 8));
        U8(static_cast<uint8_t>(v & 0xFF));
    }
    void U32(uint32_t v)
    {
        U16(static_cast<uint16_t>(v >> 16));
        U16(static_cast<uint16_t>(v & 0xFFFF));
    }

private:
    std::array<uint8_t, kSlaveIdRecordSize>& m_out;
    size_t m_at = 0;
};

} // namespace

std::array<uint8_t, kSlaveIdRecordSize> EncodeSlaveIdRecord(const SlaveIdentity& identity)
{
    if (identity.maxBaudId < kBaudIdOffset || identity.maxBaudId - kBaudIdOffset > 0xFFFF)
        throw std::out_of_range("maximum baud id " + std::to_string(identity.maxBaudId) +
                                " has no capability code");
    std::array<uint8_t, kSlaveIdRecordSize> record{};
    RecordWriter w(record);
    w.U8(kMarkerByte);
    w.U8(identity.runIndicator);
    w.U8(kRecordFormat);
    w.U16(kMarkerWord);
    w.U16(identity.deviceType);
    w.U16(identity.firmwareVersion);
    w.U16(identity.reserved);
    w.U16(identity.hardwareVersion);
    w.U16(identity.registerMapVersion);
    w.U32(identity.serialNumber);
    w.U16(identity.maxPacketSize);
    w.U16(static_cast<uint16_t>(identity.maxBaudId - kBaudIdOffset));
    return record;
}

} // namespace probesim
