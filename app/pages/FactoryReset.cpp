#include "app/pages/FactoryReset.h"

sFactoryResetResult RestoreProbeFactoryDefaults(CProbeConnection& connection)
{
    sCommSettings factory = connection.GetFactoryCommSettings();
    NVSystem::CDeviceComm* probe = connection.AcquireProbe();
    if (probe == nullptr)
        return {EFactoryResetStep::Restore, E_FAIL};
    const HRESULT restored =
        probe->RestoreFactoryDefaults(factory.BaudId, factory.DataBitsId, factory.StopBitsId,
                                      factory.ParityId, factory.Mode, factory.Address);
    probe->Release();
    if (Failed(restored))
        return {EFactoryResetStep::Restore, restored};

    // The connection's own lock is not held here: the disconnect waits for busy workers, which
    // need that lock to finish.
    const BOOL wasConnected = connection.IsConnected();
    connection.DisconnectDevice();
    factory.Port = connection.m_nPort.load();
    connection.SetCommSettings(factory);
    if (!wasConnected)
        return {};
    const HRESULT connected = connection.ConnectToDevice();
    if (Failed(connected))
        return {EFactoryResetStep::Reconnect, connected};

    if (NVSystem::CDeviceComm* renewed = connection.AcquireProbe())
    {
        renewed->UpdateCache();
        renewed->BuildSensorCache();
        renewed->Release();
    }
    return {};
}
