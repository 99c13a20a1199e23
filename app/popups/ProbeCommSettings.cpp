#include "app/popups/ProbeCommSettings.h"

#include <iterator>
#include <memory>
#include <string_view>

#include "comm/IOAbstract.h"
#include "connection/ConnectionString.h"
#include "device/CommSettingsWord.h"
#include "foundation/ErrorTable.h"
#include "foundation/ResultCodes.h"
#include "ui/NumericText.h"

namespace
{

bool InRange(ULONG value, ULONG min, ULONG max)
{
    return value >= min && value <= max;
}

// A value that is not to be written is never out of range.
bool InRange(const std::optional<ULONG>& value, ULONG min, ULONG max)
{
    return !value || InRange(*value, min, max);
}

sProbeCommOutcome Failure(EProbeCommStep step, HRESULT hr, BOOL refused = FALSE)
{
    return sProbeCommOutcome{step, hr, refused};
}

// The connection string that lets the program find the probe again: the line as it is, at the
// address the probe now has.
void StoreLine(const sCommSettings& line)
{
    StoreConnectionString(line.BaudId, line.DataBitsId, line.ParityId, line.StopBitsId, line.Mode,
                          line.Address);
}

} // namespace

int BaudEntryOf(ULONG baudId)
{
    for (size_t i = 0; i < std::size(PROBE_COMM_BAUD_IDS); ++i)
    {
        if (PROBE_COMM_BAUD_IDS[i] == baudId)
            return static_cast<int>(i);
    }
    return -1;
}

int DataBitsEntryOf(ULONG dataBitsId)
{
    return dataBitsId != 0 ? 1 : 0;
}

int ParityEntryOf(ULONG parityId)
{
    return parityId <= COMM_PARITY_ID_NONE ? static_cast<int>(parityId)
                                           : static_cast<int>(COMM_PARITY_ID_NONE);
}

int StopBitsEntryOf(ULONG stopBitsId)
{
    return stopBitsId != 0 ? 1 : 0;
}

int ModeEntryOf(ULONG mode)
{
    return mode == COMM_MODE_ASCII ? 1 : 0;
}

int AddressEntryOf(USHORT address)
{
    return IsProbeAddress(address) ? address - COMM_MIN_ADDRESS : 0;
}

ULONG ParseTimeoutText(const CWideString& text)
{
    if (text.IsEmpty())
        return 0;
    const std::optional<int32_t> value =
        ParseIntegerText(std::u16string_view(static_cast<const char16_t*>(text)));
    return value && *value > 0 ? static_cast<ULONG>(*value) : 0;
}

BOOL AreProbeTimeoutsValid(const sProbeCommChoice& choice)
{
    return InRange(choice.Eom, PROBE_EOM_MIN, PROBE_EOM_MAX) &&
                   InRange(choice.Eos, PROBE_EOS_MIN, PROBE_EOS_MAX) &&
                   (!choice.CacheTimeoutSupported ||
                    InRange(choice.CacheTimeout, PROBE_CACHE_TIMEOUT_MIN, PROBE_CACHE_TIMEOUT_MAX))
               ? TRUE
               : FALSE;
}

sProbeCommChoice LoadProbeCommChoice(CProbeConnection& connection)
{
    sProbeCommChoice choice;
    choice.Line = connection.GetCommSettings();
    NVSystem::CDeviceComm* probe = connection.IsConnected() ? connection.GetProbe() : nullptr;
    if (probe == nullptr)
        return choice;
    choice.StayAwakeSupported = probe->IsStayAwakeSupported();
    ULONG stayAwake = 0;
    if (choice.StayAwakeSupported && Succeeded(probe->GetStayAwake(stayAwake)))
        choice.StayAwake = stayAwake != 0 ? TRUE : FALSE;
    USHORT value = 0;
    if (Succeeded(probe->GetEOM(value)))
        choice.Eom = ULONG{value};
    if (Succeeded(probe->GetEOS(value)))
        choice.Eos = ULONG{value};
    const HRESULT hr = probe->GetMeasurementCacheTimeout(value);
    if (Succeeded(hr))
        choice.CacheTimeout = ULONG{value};
    choice.CacheTimeoutSupported = hr != MODBUSCOMM_E_NOT_SUPPORTED ? TRUE : FALSE;
    return choice;
}

sProbeCommOutcome CheckProbeCommChoice(const sProbeCommChoice& choice, ULONG maxBaudId)
{
    if (!InRange(choice.Eom, PROBE_EOM_MIN, PROBE_EOM_MAX))
        return Failure(EProbeCommStep::Eom, E_INVALIDARG, TRUE);
    if (!InRange(choice.Eos, PROBE_EOS_MIN, PROBE_EOS_MAX))
        return Failure(EProbeCommStep::Eos, E_INVALIDARG, TRUE);
    if (choice.CacheTimeoutSupported &&
        !InRange(choice.CacheTimeout, PROBE_CACHE_TIMEOUT_MIN, PROBE_CACHE_TIMEOUT_MAX))
        return Failure(EProbeCommStep::CacheTimeout, E_INVALIDARG, TRUE);
    if (!IsProbeAddress(choice.Line.Address))
        return Failure(EProbeCommStep::Address, MODBUSCOMM_E_INVALID_DEVICE_ADDRESS, TRUE);
    const sCommSettings& line = choice.Line;
    const NVSystem::sSerialConfig serial{line.Mode, line.BaudId, line.DataBitsId, line.ParityId,
                                         line.StopBitsId};
    if (const HRESULT hr = NVSystem::CheckCommSettings(serial, maxBaudId); Failed(hr))
        return Failure(EProbeCommStep::SerialConfig, hr, TRUE);
    return {};
}

sProbeCommOutcome ApplyProbeCommChoice(CProbeConnection& connection, const sProbeCommChoice& choice)
{
    NVSystem::CDeviceComm* device = connection.IsConnected() ? connection.GetDevice() : nullptr;
    const NetworkRef network(device != nullptr ? connection.GetModbusInterface() : nullptr);
    const std::unique_ptr<NVTools::IIOAbstract> line(network != nullptr ? network->CloneCommLink() : nullptr);
    NVTools::CSerialComm* port = line != nullptr ? line->AsSerial() : nullptr;
    if (port == nullptr)
        return Failure(EProbeCommStep::NotConnected, E_FAIL, TRUE);
    if (const sProbeCommOutcome check = CheckProbeCommChoice(choice, connection.GetSlaveId().MaxBaudRateId);
        !check.Succeeded())
        return check;

    const sCommSettings& wanted = choice.Line;
    sCommSettings current = connection.GetCommSettings();
    if (choice.Eom)
    {
        if (HRESULT hr = device->SetEOM(static_cast<USHORT>(*choice.Eom)); Failed(hr))
            return Failure(EProbeCommStep::Eom, hr);
    }
    if (choice.Eos)
    {
        if (HRESULT hr = device->SetEOS(static_cast<USHORT>(*choice.Eos)); Failed(hr))
            return Failure(EProbeCommStep::Eos, hr);
    }
    if (choice.StayAwakeSupported && choice.StayAwake)
    {
        if (HRESULT hr = device->SetStayAwake(*choice.StayAwake ? 1 : 0); Failed(hr))
            return Failure(EProbeCommStep::StayAwake, hr);
    }
    if (choice.CacheTimeoutSupported && choice.CacheTimeout)
    {
        if (HRESULT hr = device->SetMeasurementCacheTimeout(static_cast<USHORT>(*choice.CacheTimeout));
            Failed(hr))
            return Failure(EProbeCommStep::CacheTimeout, hr);
    }
    if (HRESULT hr = device->SetDeviceAddress(wanted.Address); Failed(hr))
        return Failure(EProbeCommStep::Address, hr);
    const bool addressChanged = wanted.Address != current.Address;
    if (addressChanged)
    {
        current.Address = wanted.Address;
        connection.m_nAddress = wanted.Address;
    }
    // From here on a failure leaves the probe at its new address on the old line.
    const auto failAfterAddress = [&](EProbeCommStep step, HRESULT hr)
    {
        if (addressChanged)
            StoreLine(current);
        return Failure(step, hr);
    };
    if (HRESULT hr = device->ChangeDeviceCommunications(wanted.Mode, wanted.BaudId, wanted.DataBitsId,
                                                        wanted.ParityId, wanted.StopBitsId);
        Failed(hr))
        return failAfterAddress(EProbeCommStep::SerialConfig, hr);

    HRESULT hr = network->SetTransmissionMode(wanted.Mode);
    if (Succeeded(hr))
    {
        hr = port->SetPortConfig(wanted.BaudId, wanted.DataBitsId, wanted.ParityId, wanted.StopBitsId);
        // The framing alone must not follow: the PC's side stays as it was.
        if (Failed(hr))
            network->SetTransmissionMode(current.Mode);
    }
    if (Failed(hr))
        return failAfterAddress(EProbeCommStep::PcSide, hr);

    sCommSettings settings = wanted;
    settings.Port = current.Port;
    connection.SetCommSettings(settings);
    StoreLine(settings);
    return {};
}

CWideString FormatProbeCommFailure(EProbeCommStep step, HRESULT code)
{
    const char16_t* text = u"Failed to set device serial configuration.";
    switch (step)
    {
    case EProbeCommStep::Eom:
        text = u"Failed to set device EOM value.";
        break;
    case EProbeCommStep::Eos:
        text = u"Failed to set device EOS value.";
        break;
    case EProbeCommStep::StayAwake:
        text = u"Failed to enable/disable Stay Awake on device.";
        break;
    case EProbeCommStep::CacheTimeout:
        text = u"Failed to set cache timeout value.";
        break;
    case EProbeCommStep::Address:
        text = u"Failed to set device address.";
        break;
    case EProbeCommStep::PcSide:
        text = u"Failed to set serial port configuration.";
        break;
    default:
        break;
    }
    return CWideString(u"%s\nError: %08X (%s)", text, static_cast<uint32_t>(code),
                       LookupErrorText(static_cast<uint32_t>(code)));
}
