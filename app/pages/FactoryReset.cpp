#include "app/pages/FactoryReset.h"

sFactoryResetResult RestoreProbeFactoryDefaults(CProbeConnection& connection)
{
    sCommSettings factory = connection.GetFactoryCommSettings();
    HRESULT restored = E_FAIL;
    {
        const DeviceRef probe = connection.HoldConnectedProbe();
        if (probe == nullptr)
            return {EFactoryResetStep::Restore, E_FAIL};
        restored = probe->RestoreFactoryDefaults(factory.BaudId, factory.DataBitsId, factory.StopBitsId,
                                                 factory.ParityId, factory.Mode, factory.Address);
    }
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

    if (const DeviceRef renewed = connection.HoldConnectedProbe())
    {
        renewed->UpdateCache();
        renewed->BuildSensorCache();
    }
    return {};
}
