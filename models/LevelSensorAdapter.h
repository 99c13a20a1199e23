// What the level sensor adapters share, the probes' (LevelSensor.h) and the sonde's
// (LevelSensorMK600.h), beyond the level settings: the sensor is one connection of a device; its
// pressure and level readings, units and serial number go straight to the device; its setting and
// calibration sequences hold the device lock through the connection's sensor record and trace each
// step into the device trace ("Level Sensor: " and the address); and the level reference goes
// straight into the sensor's register in calibration mode, with the update command.
//
// The owner names its sensor parameters kPressure and kLevel and its registers in kLevelLayout, and
// provides, beside what CLevelSettings asks of it:
//
//     LevelReferenceAccepted()   whether the level measures from a reference now: its failure (traced
//                                or not) refuses the reference before anything is written
#pragma once

#include "device/SensorCache.h"
#include "foundation/CommTimeouts.h"
#include "foundation/TraceLog.h"
#include "models/LevelSettings.h"
#include "models/SensorAdapterBase.h"
#include "models/SondeSensorSupport.h"

namespace NVSystem
{

template <typename Owner>
class CLevelSensorAdapter : public CLevelSettings<Owner, CSensorAdapter<ISensor_PressureTempLevel>>
{
    using Settings = CLevelSettings<Owner, CSensorAdapter<ISensor_PressureTempLevel>>;

public:
    ULONG GetSensorType() override { return SENSOR_TYPE_LEVEL; }

    // --- ISensor_Temperature ---

    HRESULT GetSerialNumber(ULONG& serialNumber) override
    {
        serialNumber = 0;
        return Checked([&] { return this->ReadSerialNumber(serialNumber); });
    }
    USHORT GetConnection() override { return this->m_nConnection; }

    // --- ISensor_PressureTemp ---

    HRESULT GetPressureSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    USHORT GetPressureConnection() override { return this->m_nConnection; }
    HRESULT GetPressureUnit(USHORT& unitId) override
    {
        return Checked([&] { return this->GetUnit(Owner::kPressure, unitId); });
    }
    HRESULT SetPressureUnit(USHORT unitId) override
    {
        return Checked([&] { return this->SetUnit(Owner::kPressure, unitId); });
    }
    HRESULT ReadPressure(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Checked([&]
                       { return this->ReadParameter(Owner::kPressure, value, quality, unitId, cachedOnly); });
    }

    // --- ISensor_PressureTempLevel ---

    HRESULT GetLevelSerialNumber(ULONG& serialNumber) override { return GetSerialNumber(serialNumber); }
    USHORT GetLevelConnection() override { return this->m_nConnection; }
    HRESULT GetLevelUnit(USHORT& unitId) override
    {
        return Checked([&] { return this->GetUnit(Owner::kLevel, unitId); });
    }
    HRESULT SetLevelUnit(USHORT unitId) override
    {
        return Checked([&] { return this->SetUnit(Owner::kLevel, unitId); });
    }
    HRESULT ReadLevel(float& value, USHORT& quality, USHORT& unitId, BOOL cachedOnly) override
    {
        return Checked([&]
                       { return this->ReadParameter(Owner::kLevel, value, quality, unitId, cachedOnly); });
    }
    // In calibration mode, then the sensor's update command. The sensor measures when the reference
    // is written and keeps that pressure as the pressure reference, so the write waits its warm-up
    // and sample time beyond the usual time-out. A note when the device logs.
    HRESULT SetLevelReference(float reference) override;

protected:
    CLevelSensorAdapter(CDeviceComm* device, USHORT connection, uint32_t signature)
        : Settings(device, connection, signature)
    {
        // The records go to the device trace file, which the device opens by the same rule.
        if ((ReadCommTunable(CommTunable::DebugFlags) & DEBUG_FLAG_DEVICE_TRACE) != 0 &&
            Succeeded(m_Trace.OpenFile(u"DeviceControlTraceLog.txt", u"CDeviceComm")))
            m_Trace.SetMaxLevel(1);
    }
    ~CLevelSensorAdapter() override { m_Trace.Close(); }

    template <typename Operation>
    HRESULT Checked(Operation&& operation)
    {
        return this->IsBound(Owner::kSignature) ? operation() : MODBUSCOMM_E_INVALID_DEVICE_THIS;
    }
    // The checks, then the steps with the device lock held; an exception becomes onException.
    template <typename Steps>
    HRESULT UnderDeviceLock(Steps&& steps, HRESULT onException = MODBUSCOMM_E_EXCEPTION_CDC) noexcept
    {
        if (!this->IsBound(Owner::kSignature))
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        try
        {
            // Only the lock (and the device's checks) are wanted: the steps reach the sensor through
            // the device's own operations, which take the re-entrant lock once more.
            CLockedSensor held;
            if (const HRESULT hr = this->m_pDevice->FindSensorAtConnection(this->m_nConnection, held);
                Failed(hr))
                return hr;
            return steps();
        }
        catch (...)
        {
            return onException;
        }
    }

    // What the level settings need of the adapter.
    CDeviceComm& Device() { return *this->m_pDevice; }
    CTraceLog& StepTrace()
    {
        return m_Trace << TRACE_LEVEL1 << u"Level Sensor: " << this->m_pDevice->GetAddress();
    }
    ULONG NoteSerial()
    {
        ULONG serial = 0;
        this->ReadSerialNumber(serial);
        return serial;
    }

    CTraceLog m_Trace;

private:
    friend Settings;

    // The level reference straight into the sensor's register, with its own time-out.
    HRESULT WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs);

    Owner& Self() { return static_cast<Owner&>(*this); }
};

template <typename Owner>
HRESULT CLevelSensorAdapter<Owner>::WriteLevelReference(USHORT sensorBase, float reference, ULONG timeoutMs)
{
    // Computed wide: a base near the top of the registers must not wrap to another register.
    const uint32_t first = uint32_t{sensorBase} + Owner::kLevelLayout.levelReference;
    if (!SensorWindowHolds(first, 2))
        return MODBUSCOMM_E_INVALID_SENSOR_PORT;
    const NetworkReference network(this->m_pDevice->GetModbusComm());
    if (network == nullptr)
        return MODBUSCOMM_E_NO_CONNECTION;
    return network->WriteFloat(this->m_pDevice->GetAddress(), static_cast<USHORT>(first), reference,
                               timeoutMs, this->m_pDevice->GetRetryCount());
}

template <typename Owner>
HRESULT CLevelSensorAdapter<Owner>::SetLevelReference(float reference)
{
    const USHORT connection = this->m_nConnection;
    bool set = false;
    const HRESULT result = UnderDeviceLock(
        [&]
        {
            CDeviceComm& device = Device();
            SensorConnectionInfo info;
            HRESULT hr = device.GetSensorConnectionInfo(connection, info);
            if (Failed(hr))
                return this->TraceFailure(u" - failed to get level parameter id, EC: ", hr);
            StepTrace() << u" - setting level reference: " << reference << TRACE_END;
            if (Failed(hr = Self().LevelReferenceAccepted()))
                return hr;
            ULONG warmUpMs = 0;
            ULONG sampleMs = 0;
            hr = device.GetWarmupTime(connection, warmUpMs);
            if (Succeeded(hr))
                hr = device.GetFastestSampleRate(connection, sampleMs);
            if (Failed(hr))
                return this->TraceFailure(u" - failed to get sensor warm up time, EC: ", hr);
            hr = device.SetSensorCalModeOn(connection);
            if (Failed(hr))
                return hr;
            CCalModeScope calMode(device, connection);
            hr = WriteLevelReference(info.SensorBase, reference,
                                     Settings::ReferenceWriteTimeout(warmUpMs, sampleMs));
            if (Failed(hr))
            {
                this->TraceFailure(u" - failed to set Level Ref, EC: ", hr);
                calMode.Off();
                return hr;
            }
            hr = device.UpdateSensorCalibration(connection);
            if (Failed(hr))
            {
                calMode.Off();
                return hr;
            }
            hr = calMode.Off();
            if (Failed(hr))
                return hr;
            set = true;
            // The header carries the new calibration; its re-read is only a refresh.
            device.ReadSensorHeader(connection);
            this->TraceSuccess();
            return hr;
        });
    if (set && Device().HasActiveLog())
        this->WriteSetNewLevelRefNote();
    return result;
}

} // namespace NVSystem
