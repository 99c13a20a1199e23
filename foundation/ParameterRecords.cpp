#include "foundation/ParameterRecords.h"

#include <string>

#include "platform/Format.h"
#include "platform/Utf.h"

void sParameterReading::Reset()
{
    Address = DeviceTypeId = Connection = SensorId = ParameterNumber = 0;
    ParameterId = UnitId = Quality = AvailableUnits = 0;
    DeviceSerialNumber = SerialNumber = 0;
    Value = Sentinel = 0.0f;
    ReadingTime = SYSTEMTIME{1970, 1, 4, 1, 0, 0, 0, 0};
    Status = E_FAIL;
}

HRESULT DecodeParameterBlock(CBufferReader& reader, sParameterReading& reading)
{
    HRESULT hr = reader.ReadFloat(reading.Value);
    if (Succeeded(hr))
        hr = reader.ReadUShort(reading.ParameterId);
    if (Succeeded(hr))
        hr = reader.ReadUShort(reading.UnitId);
    if (Succeeded(hr))
        hr = reader.ReadUShort(reading.Quality);
    if (Succeeded(hr))
        hr = reader.ReadFloat(reading.Sentinel);
    if (Succeeded(hr))
        hr = reader.ReadUShort(reading.AvailableUnits);
    return hr;
}

void sSensorInfo::Clear()
{
    Address = DeviceTypeId = Connection = SensorId = 0;
    HeaderWord19 = HeaderWord20 = WarmupTime = FastestSampleRate = ParameterCount = 0;
    DeviceSerialNumber = SerialNumber = 0;
    for (float& value : CalValues)
        value = 0.0f;
    FirstTimestamp.Clear();
    NextFactoryCalDate.Clear();
    LastUserCalDate.Clear();
    FourthTimestamp.Clear();
    Parameters.RemoveAll();
}

int sSensorInfo::FindParameter(USHORT parameterNumber) const
{
    for (uint32_t i = 0; i < Parameters.GetCount(); ++i)
    {
        if (Parameters[i].ParameterNumber == parameterNumber)
            return static_cast<int>(i);
    }
    return -1;
}

HRESULT DecodeSensorHeader(CBufferReader& reader, sSensorInfo& info)
{
    uint16_t dropped = 0;
    HRESULT hr = reader.ReadUShort(info.SensorId);
    if (Succeeded(hr))
        hr = reader.ReadULong(info.SerialNumber);
    if (Succeeded(hr))
        hr = reader.ReadUShort(dropped);
    for (CDeviceTimestamp* stamp :
         {&info.FirstTimestamp, &info.NextFactoryCalDate, &info.LastUserCalDate, &info.FourthTimestamp})
    {
        if (Succeeded(hr))
            hr = ReadDeviceTimestamp(reader, *stamp);
    }
    for (USHORT* word : {&info.WarmupTime, &info.FastestSampleRate, &info.ParameterCount, &info.HeaderWord19,
                         &info.HeaderWord20})
    {
        if (Succeeded(hr))
            hr = reader.ReadUShort(*word);
    }
    // The device sends the eight calibration values in another order than the record keeps them.
    static constexpr int kReadOrder[8] = {6, 7, 4, 5, 1, 0, 3, 2};
    for (int index : kReadOrder)
    {
        if (Succeeded(hr))
            hr = reader.ReadFloat(info.CalValues[index]);
    }
    return hr;
}

void DecodeSerialConfigWord(USHORT word, uint32_t& mode, uint32_t& baudRateId, uint32_t& dataBitsId,
                            uint32_t& parityId, uint32_t& stopBitsId)
{
    mode = word & 0x1u;
    // Bit 3 carries the high bit of (baud id - 5) for the rates above 57600 baud; reading it back
    // keeps those ids from turning into 9600..57600.
    baudRateId = ((word >> 1) & 0x7u) + 5;
    dataBitsId = (word >> 4) & 0x1u;
    parityId = (word >> 5) & 0x3u;
    stopBitsId = (word >> 7) & 0x1u;
}

CWideString FormatVersionText(USHORT word)
{
    if (word == 65535)
        return CWideString(u"Unknown");
    const float version = static_cast<float>(word) / 100.0f;
    const std::string text = platform::Format("%.2f", static_cast<double>(version));
    return CWideString(platform::Utf8ToUtf16(text).c_str());
}

const char16_t* GetVersionText(USHORT word)
{
    thread_local std::u16string buffer;
    const float version = static_cast<float>(word) / 100.0f;
    buffer = platform::Utf8ToUtf16(platform::Format("%3.2f", static_cast<double>(version)));
    return buffer.c_str();
}
