#include "connection/SerialLink.h"

#include <new>

#include "foundation/ResultCodes.h"

namespace
{

constexpr int kAsciiEndOfMessage = '\n';
// E_NOINTERFACE: the network object could not be had.
constexpr HRESULT kNoNetwork = ResultCode(0x80004002u);
constexpr int kLineEnabled = 1;

HRESULT Fail(HRESULT hr, SerialLinkStep step, SerialLink& link, SerialLinkStep& failed)
{
    CloseSerialLink(link);
    failed = step;
    return hr;
}

} // namespace

HRESULT OpenSerialLink(const sCommSettings& settings, SerialLink& link, SerialLinkStep& failed)
{
    failed = SerialLinkStep::None;
    CloseSerialLink(link);
    link.port.reset(new (std::nothrow) NVTools::CSerialComm());
    if (link.port == nullptr)
        return Fail(E_OUTOFMEMORY, SerialLinkStep::OpenPort, link, failed);
    NVTools::CSerialComm& port = *link.port;
    if (const HRESULT hr = port.Open(settings.Port); Failed(hr))
        return Fail(hr, SerialLinkStep::OpenPort, link, failed);
    if (!port.IsValid())
        return Fail(SERIALCOMM_E_OBJECT_INVALID, SerialLinkStep::ConfigurePort, link, failed);
    if (const HRESULT hr =
            port.SetPortConfig(settings.BaudId, settings.DataBitsId, settings.ParityId, settings.StopBitsId);
        Failed(hr))
        return Fail(hr, SerialLinkStep::ConfigurePort, link, failed);
    port.SetRTS(kLineEnabled);
    port.SetDTR(kLineEnabled);
    if (settings.Mode == COMM_MODE_RTU)
        port.SetModeRTU();
    else
        port.SetModeASCII(kAsciiEndOfMessage);

    link.network = CModbusComm::Create();
    if (link.network == nullptr)
        return Fail(kNoNetwork, SerialLinkStep::CreateNetwork, link, failed);
    if (const HRESULT hr = link.network->ConnectCommLink(port); Failed(hr))
        return Fail(hr, SerialLinkStep::AttachPort, link, failed);
    return S_OK;
}

void CloseSerialLink(SerialLink& link)
{
    if (link.network != nullptr)
    {
        link.network->DisconnectCommLink();
        link.network->Release();
        link.network = nullptr;
    }
    if (link.port != nullptr)
    {
        link.port->Close();
        link.port.reset();
    }
}
