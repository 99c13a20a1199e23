#include "tools/probe-sim/StandardFunctions.h"

namespace probesim
{

namespace
{

uint16_t U16At(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint16_t>(data.at(at) << 8 | data.at(at + 1));
}

// The register number of the first register, or nullopt when [start, start + count) leaves the
// class.
std::optional<uint16_t> FirstRegister(RegisterClass cls, uint16_t start, uint16_t count)
{
    if (uint32_t{start} + count - 1 > kMaxWireAddress)
        return std::nullopt;
    return RegisterNumber(cls, start);
}

} // namespace

Reply ReadRegisters(RegisterModel& registers, RegisterClass cls, const Adu& request)
{
    if (request.data.size() != 4)
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    const uint16_t start = U16At(request.data, 0);
    const uint16_t count = U16At(request.data, 2);
    if (count == 0 || count > kMaxReadRegisters)
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    const auto first = FirstRegister(cls, start, count);
    if (!first)
        return Reply::WithException(ExceptionCode::IllegalDataAddress);
    std::chrono::milliseconds delay{0};
    auto result = registers.Read(*first, count, &delay);
    if (const auto* refusal = std::get_if<ExceptionCode>(&result))
        return Reply::WithException(*refusal);
    const auto& values = std::get<std::vector<uint16_t>>(result);
    std::vector<uint8_t> data;
    data.reserve(1 + 2 * values.size());
    data.push_back(static_cast<uint8_t>(2 * values.size()));
    for (uint16_t value : values)
    {
        data.push_back(static_cast<uint8_t>(value >> 8));
        data.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    Reply reply = Reply::WithData(std::move(data));
    reply.delay = delay;
    return reply;
}

Reply WriteRegisters(RegisterModel& registers, const Adu& request)
{
    if (request.data.size() < 5)
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    const uint16_t start = U16At(request.data, 0);
    const uint16_t count = U16At(request.data, 2);
    const uint8_t byteCount = request.data[4];
    if (count == 0 || count > kMaxWriteRegisters || byteCount != 2 * count ||
        request.data.size() != 5u + byteCount)
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    const auto first = FirstRegister(RegisterClass::Holding, start, count);
    if (!first)
        return Reply::WithException(ExceptionCode::IllegalDataAddress);
    std::vector<uint16_t> values;
    values.reserve(count);
    for (uint16_t i = 0; i < count; ++i)
        values.push_back(U16At(request.data, 5 + 2 * size_t{i}));
    std::chrono::milliseconds delay{0};
    if (const auto refusal = registers.Write(*first, values, &delay))
        return Reply::WithException(*refusal);
    // The reply echoes start and count.
    Reply reply = Reply::WithData({request.data.begin(), request.data.begin() + 4});
    reply.delay = delay;
    return reply;
}

Reply ReportSlaveId(const SlaveIdentity& identity, const Adu& request)
{
    if (!request.data.empty())
        return Reply::WithException(ExceptionCode::IllegalDataValue);
    const auto record = EncodeSlaveIdRecord(identity);
    std::vector<uint8_t> data;
    data.reserve(1 + record.size());
    data.push_back(static_cast<uint8_t>(record.size()));
    data.insert(data.end(), record.begin(), record.end());
    return Reply::WithData(std::move(data));
}

} // namespace probesim
