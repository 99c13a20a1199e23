// What a Modbus frame costs the host: CRC-16 throughput of ours against two references, the
// byte-wise form with a high-byte and a low-byte table that Modbus implementations commonly use, and
// the shift-and-xor definition; and the per-frame cost of framing a read of 125 registers and
// checking its reply.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "comm/ModbusCrc.h"
#include "comm/ModbusMessage.h"
#include "comm/ModbusModes.h"

namespace
{

std::vector<BYTE> Pattern(size_t length)
{
    std::vector<BYTE> bytes(length);
    uint32_t state = 0x12345678;
    for (auto& b : bytes)
    {
        state = state * 1664525u + 1013904223u;
        b = static_cast<BYTE>(state >> 24);
    }
    return bytes;
}

uint16_t BitwiseCrc(const BYTE* data, size_t length)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i)
    {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc =
                (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// The two byte tables of the reference: the byte of the table entry that goes first on the wire
// (the low one) and the other.
struct TwoTables
{
    std::array<uint8_t, 256> first{};
    std::array<uint8_t, 256> second{};
};

constexpr TwoTables MakeTwoTables()
{
    TwoTables tables;
    for (uint32_t index = 0; index < 256; ++index)
    {
        uint32_t crc = index;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xA001u : crc >> 1;
        tables.first[index] = static_cast<uint8_t>(crc & 0xFF);
        tables.second[index] = static_cast<uint8_t>(crc >> 8);
    }
    return tables;
}

constexpr TwoTables kTwoTables = MakeTwoTables();

// One step per byte on the two register bytes apart, as a table per byte has it.
std::array<BYTE, 2> TwoTableCrc(const BYTE* data, size_t length)
{
    uint8_t first = 0xFF;
    uint8_t second = 0xFF;
    for (size_t i = 0; i < length; ++i)
    {
        const uint8_t index = first ^ data[i];
        first = second ^ kTwoTables.first[index];
        second = kTwoTables.second[index];
    }
    return {first, second};
}

std::array<BYTE, 2> BitwiseCrcBytes(const BYTE* data, size_t length)
{
    const uint16_t crc = BitwiseCrc(data, length);
    return {static_cast<BYTE>(crc & 0xFF), static_cast<BYTE>(crc >> 8)};
}

template <std::array<BYTE, 2> (*Crc)(const BYTE*, size_t)>
void BM_Crc16(benchmark::State& state)
{
    const std::vector<BYTE> bytes = Pattern(static_cast<size_t>(state.range(0)));
    // A reference that disagrees with ours would make the comparison meaningless.
    if (Crc(bytes.data(), bytes.size()) != BitwiseCrcBytes(bytes.data(), bytes.size()))
    {
        state.SkipWithError("the CRC differs from its definition");
        return;
    }
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(Crc(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
// A request, a reply of 125 registers, a large block.
BENCHMARK(BM_Crc16<ComputeModbusCrc16>)->Name("BM_Crc16Ours")->Arg(8)->Arg(255)->Arg(4096);
BENCHMARK(BM_Crc16<TwoTableCrc>)->Name("BM_Crc16TwoTables")->Arg(8)->Arg(255)->Arg(4096);
BENCHMARK(BM_Crc16<BitwiseCrcBytes>)->Name("BM_Crc16Bitwise")->Arg(8)->Arg(255)->Arg(4096);

// The reply to a read of 125 registers from slave 1, framed for the mode.
CByteBuffer Read125Reply(ULONG mode)
{
    std::vector<BYTE> reply = {0x01, 0x03, 250};
    const std::vector<BYTE> data = Pattern(250);
    reply.insert(reply.end(), data.begin(), data.end());
    CByteBuffer frame;
    if (mode == MODBUS_MODE_RTU)
    {
        const std::array<BYTE, 2> crc = ComputeModbusCrc16(reply.data(), reply.size());
        reply.insert(reply.end(), crc.begin(), crc.end());
        frame.Append(static_cast<uint32_t>(reply.size()), reply.data());
        return frame;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = ":";
    uint8_t sum = 0;
    for (BYTE b : reply)
    {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
        sum = static_cast<uint8_t>(sum + b);
    }
    const auto lrc = static_cast<uint8_t>(-sum);
    text += kDigits[lrc >> 4];
    text += kDigits[lrc & 0x0F];
    text += "\r\n";
    frame.Append(static_cast<uint32_t>(text.size()), text.data());
    return frame;
}

void BM_EncodeRead125(benchmark::State& state)
{
    const auto mode = static_cast<ULONG>(state.range(0));
    CModbusMessage message;
    CByteBuffer frame;
    for (auto _ : state)
    {
        message.BuildReadRegisters(1, 1, 125, 3);
        if (message.Encode(mode, frame) != S_OK)
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(frame.GetData());
    }
}
BENCHMARK(BM_EncodeRead125)->Arg(MODBUS_MODE_RTU)->Arg(MODBUS_MODE_ASCII)->ArgNames({"mode"});

void BM_ValidateRead125(benchmark::State& state)
{
    const auto mode = static_cast<ULONG>(state.range(0));
    const CByteBuffer reply = Read125Reply(mode);
    CModbusMessage message;
    CByteBuffer frame;
    message.BuildReadRegisters(1, 1, 125, 3);
    message.Encode(mode, frame);
    CByteBuffer data;
    for (auto _ : state)
    {
        if (message.ValidateResponse(reply) != S_OK || message.GetResponseData(data) != S_OK ||
            data.GetLength() != 250)
            state.SkipWithError("reply refused");
        benchmark::DoNotOptimize(data.GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * reply.GetLength());
}
BENCHMARK(BM_ValidateRead125)->Arg(MODBUS_MODE_RTU)->Arg(MODBUS_MODE_ASCII)->ArgNames({"mode"});

} // namespace

BENCHMARK_MAIN();
