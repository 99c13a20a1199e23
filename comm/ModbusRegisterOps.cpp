// Reads and writes of the device's registers by five-digit register number: 3xxxx input registers
// (function 4), 4xxxx holding registers (functions 3 and 16); on the wire the address is the number
// within its class less one.
#include <algorithm>
#include <bit>

#include "comm/ModbusComm.h"
#include "comm/ModbusLengthRules.h"
#include "foundation/BufferReader.h"
#include "foundation/BufferWriter.h"
#include "foundation/Codec.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"

namespace
{

constexpr BYTE kReadHoldingRegisters = 3;
constexpr BYTE kReadInputRegisters = 4;
constexpr USHORT kInputClass = 3;
constexpr USHORT kHoldingClass = 4;
constexpr USHORT kClassSize = 10000;
constexpr USHORT kMaxReadRegisters = 125;
// 120 data bytes: what every instrument takes in one write.
constexpr USHORT kMaxWriteRegisters = 60;
constexpr USHORT kTimeRegisters = 3;
constexpr USHORT kTextRegisters = 32;

// The class (3 or 4) and the number within it (1..9999) of a register number; false outside
// 30001..49999 and for 40000.
bool SplitRegisterNumber(USHORT registerNumber, USHORT& registerClass, USHORT& number)
{
    if (registerNumber < 30001 || registerNumber > 49999 || registerNumber == 40000)
        return false;
    registerClass = registerNumber / kClassSize;
    number = static_cast<USHORT>(registerNumber - registerClass * kClassSize);
    return true;
}

USHORT BigEndianWord(const BYTE* bytes)
{
    return static_cast<USHORT>(bytes[0] << 8 | bytes[1]);
}

} // namespace

HRESULT CModbusComm::BuildRegisterRead(CModbusMessage& message, USHORT address, USHORT registerNumber,
                                       USHORT count)
{
    if (address > 255)
        return MODBUSCOMM_E_INVALID_ADDRESS;
    USHORT registerClass = 0;
    USHORT number = 0;
    if (!SplitRegisterNumber(registerNumber, registerClass, number))
        return MODBUSCOMM_E_INVALID_DATA_ADDRESS;
    return message.BuildReadRegisters(address, number, count,
                                      registerClass == kInputClass ? kReadInputRegisters : kReadHoldingRegisters);
}

HRESULT CModbusComm::ReadRegisters(USHORT address, USHORT registerNumber, USHORT count, CByteBuffer& data,
                                   ULONG timeoutMs, USHORT retries)
{
    ULONG replyBytes = 0;
    return ReadRegisters(address, registerNumber, count, data, timeoutMs, retries, replyBytes);
}

HRESULT CModbusComm::ReadRegisters(USHORT address, USHORT registerNumber, USHORT count, CByteBuffer& data,
                                   ULONG timeoutMs, USHORT retries, ULONG& replyBytes)
{
    return Guarded(
        [&]
        {
            data.Clear();
            replyBytes = 0;
            if (count == 0)
                return S_OK;
            CScopedLock line(m_LineLock);
            ClearCancel();
            const HRESULT built = BuildRegisterRead(*m_pMessage, address, registerNumber, count);
            if (built == MODBUSCOMM_E_INVALID_ADDRESS || built == MODBUSCOMM_E_INVALID_DATA_ADDRESS)
                return built;
            m_nLastReadCount = count;
            if (Failed(built))
                return built;
            if (const HRESULT hr = RunTransaction(timeoutMs, retries); Failed(hr))
                return hr;
            if (const HRESULT hr = m_pMessage->GetResponseData(data); Failed(hr))
                return hr;
            replyBytes = data.GetLength();
            // A reply of more or fewer registers than asked is not the registers asked for, and a
            // caller decoding it would read past its end or take one value for another.
            if (replyBytes != 2u * count)
            {
                data.Allocate(0);
                return MODBUSCOMM_E_INVALID_RESPONSE_LENGTH;
            }
            return S_OK;
        });
}

template <typename Decode>
HRESULT CModbusComm::ReadDecoded(USHORT address, USHORT registerNumber, USHORT count, ULONG timeoutMs,
                                 USHORT retries, Decode&& decode)
{
    CScopedLock line(m_LineLock);
    ClearCancel();
    CByteBuffer data;
    if (const HRESULT hr = ReadRegisters(address, registerNumber, count, data, timeoutMs, retries);
        Failed(hr))
        return hr;
    // ReadRegisters passed exactly the registers asked for.
    return decode(data);
}

HRESULT CModbusComm::ReadUShort(USHORT address, USHORT registerNumber, USHORT& value, ULONG timeoutMs,
                                USHORT retries)
{
    return Guarded(
        [&]
        {
            return ReadDecoded(address, registerNumber, 1, timeoutMs, retries,
                               [&](const CByteBuffer& data)
                               {
                                   value = BigEndianWord(data.GetData());
                                   return S_OK;
                               });
        });
}

HRESULT CModbusComm::ReadULong(USHORT address, USHORT registerNumber, ULONG& value, ULONG timeoutMs,
                               USHORT retries)
{
    return Guarded(
        [&]
        {
            return ReadDecoded(address, registerNumber, 2, timeoutMs, retries,
                               [&](const CByteBuffer& data)
                               {
                                   value = DecodeULong(data.GetData(), m_bHighWordFirst.load());
                                   return S_OK;
                               });
        });
}

HRESULT CModbusComm::ReadFloat(USHORT address, USHORT registerNumber, float& value, ULONG timeoutMs,
                               USHORT retries)
{
    // A float comes off the wire as its 32 bits, in the word order of a ULONG.
    ULONG bits = 0;
    const HRESULT hr = ReadULong(address, registerNumber, bits, timeoutMs, retries);
    if (Succeeded(hr))
        value = std::bit_cast<float>(bits);
    return hr;
}

HRESULT CModbusComm::ReadTime(USHORT address, USHORT registerNumber, CDeviceTimestamp& timestamp,
                              ULONG timeoutMs, USHORT retries)
{
    return Guarded(
        [&]
        {
            timestamp.Clear();
            return ReadDecoded(address, registerNumber, kTimeRegisters, timeoutMs, retries,
                               [&](const CByteBuffer& data)
                               {
                                   timestamp.Set(DecodeULong(data.GetData(), m_bHighWordFirst.load()),
                                                 BigEndianWord(data.GetData() + 4));
                                   return S_OK;
                               });
        });
}

HRESULT CModbusComm::ReadString(USHORT address, USHORT registerNumber, CWideString& text, ULONG timeoutMs,
                                USHORT retries)
{
    return Guarded(
        [&]
        {
            text.SetEmpty();
            return ReadDecoded(address, registerNumber, kTextRegisters, timeoutMs, retries,
                               [&](const CByteBuffer& data)
                               {
                                   CBufferReader reader(data);
                                   return reader.ReadString(kTextRegisters, text);
                               });
        });
}

HRESULT CModbusComm::ReadRegisterBlocks(USHORT address, CByteBuffer& data, ULONG timeoutMs, USHORT retries,
                                        USHORT maxPacket, const CDynArray<sRegisterBlock>& blocks)
{
    return Guarded(
        [&]
        {
            data.Allocate(0);
            CScopedLock line(m_LineLock);
            ClearCancel();
            if (address > 255)
                return MODBUSCOMM_E_INVALID_DEVICE_ADDRESS;
            const uint32_t payload = GetMaxPayloadSize(maxPacket, m_nMode, kReadHoldingRegisters, 0);
            const uint32_t registerLimit = std::min<uint32_t>(payload / 2, kMaxReadRegisters);
            ULONG connectionType = 0;
            if (const HRESULT hr = GetConnectionType(connectionType); Failed(hr))
                return hr;

            HRESULT result = S_OK;
            CByteBuffer run; // one block for every request
            const uint32_t blockCount = blocks.GetCount();
            uint32_t i = 0;
            while (i < blockCount)
            {
                const USHORT first = blocks[i].Register;
                uint32_t count = blocks[i].Count;
                if (2 * count > payload)
                    return MODBUSCOMM_E_BLOCK_READ_MINIMUM;
                // Following blocks join the request while the sum stays within the limit; merged
                // blocks are read as one run from the first block's register.
                uint32_t next = i + 1;
                while (2u * blocks[i].Count < payload && next < blockCount &&
                       count + blocks[next].Count <= registerLimit)
                {
                    count += blocks[next].Count;
                    ++next;
                }
                if (connectionType != NVTools::IOCONNECTION_SERIAL && next - i > 1 &&
                    count == m_nLastReadCount)
                {
                    --next;
                    count -= blocks[next].Count;
                }

                result = ReadRegisters(address, first, static_cast<USHORT>(count), run, timeoutMs, retries);
                if (Failed(result))
                    return result;
                if (!data.Append(run.GetLength(), run.GetData()))
                    return E_OUTOFMEMORY;
                i = next;
            }
            return result;
        });
}

HRESULT CModbusComm::WriteRegisters(USHORT address, USHORT registerNumber, USHORT count,
                                    const CByteBuffer& data, ULONG timeoutMs, USHORT retries)
{
    return Guarded(
        [&]
        {
            CScopedLock line(m_LineLock);
            ClearCancel();
            if (address > 255)
                return MODBUSCOMM_E_INVALID_ADDRESS;
            USHORT registerClass = 0;
            USHORT number = 0;
            if (!SplitRegisterNumber(registerNumber, registerClass, number) || registerClass != kHoldingClass)
                return MODBUSCOMM_E_INVALID_DATA_ADDRESS;
            if (count > kMaxWriteRegisters)
                return MODBUSCOMM_E_INVALID_REGISTER_COUNT;
            if (data.GetLength() != 2u * count)
                return MODBUSCOMM_E_INVALID_WRITE_DATA;
            if (const HRESULT hr = m_pMessage->BuildWriteRegisters(address, number, count, data); Failed(hr))
                return hr;
            return RunTransaction(timeoutMs, retries);
        });
}

HRESULT CModbusComm::WriteUShort(USHORT address, USHORT registerNumber, USHORT value, ULONG timeoutMs,
                                 USHORT retries)
{
    return Guarded(
        [&]
        {
            const BYTE bytes[2] = {static_cast<BYTE>(value >> 8), static_cast<BYTE>(value & 0xFF)};
            CByteBuffer data;
            if (!data.Append(2, bytes))
                return E_OUTOFMEMORY;
            return WriteRegisters(address, registerNumber, 1, data, timeoutMs, retries);
        });
}

HRESULT CModbusComm::WriteULong(USHORT address, USHORT registerNumber, ULONG value, ULONG timeoutMs,
                                USHORT retries)
{
    return Guarded(
        [&]
        {
            CByteBuffer data;
            CBufferWriter writer(&data);
            writer.m_bHighWordFirst = m_bHighWordFirst.load();
            if (!writer.WriteULong(value))
                return E_OUTOFMEMORY;
            return WriteRegisters(address, registerNumber, 2, data, timeoutMs, retries);
        });
}

HRESULT CModbusComm::WriteFloat(USHORT address, USHORT registerNumber, float value, ULONG timeoutMs,
                                USHORT retries)
{
    // A float goes on the wire as its 32 bits, in the word order of a ULONG.
    return WriteULong(address, registerNumber, std::bit_cast<ULONG>(value), timeoutMs, retries);
}
