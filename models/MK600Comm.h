// The multi-parameter sonde (device types 7, 26, 33 and 34): up to ten sensors on its connections,
// whose kind only the sensor id in each connection's header tells. The sonde builds one sensor object
// per connection the first time a connection is asked for (GetSensor, directly or through a getter of
// a kind) and keeps it for its own life: a sensor swapped on the sonde keeps its first object until the
// device object is made again. The objects belong to the device, which deletes them; getters hand them
// out without a reference, so a caller that keeps one keeps a reference on the device.
//
//   50 turbidity    CTurbiditySensorMK600       58 pH/ORP      CPHORPSensorMK600
//   51-54, 80 level CLevelSensorMK600           59 barometer   CBarometricSensorMK600
//   55, 79 temp.    CTemperatureSensor          60, 62, 64, 65 the fluorometers (FlurometerBaseMK600.h)
//   56 conductivity CConductivitySensorMK600    70, 71, 72     nitrate, ammonium, chloride
//   57 optical DO   CVOXSensorMK600
//
// Any other id gets no object; the trace names the serial number of each new pH/ORP and
// ion-selective sensor ("pH SN: ", "Nitrate SN: ", "Ammonium SN: ", "Chloride SN: "). The sensors that
// measure no temperature take the sonde's: the temperature sensor 79 where there is one, else the first
// connection with a temperature sensor 55 or the conductivity sensor; the optical DO sensor also takes the
// sonde's barometer and conductivity sensor as sources of its barometric pressure and salinity. The level
// sensor takes no temperature.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "device/DeviceComm.h"
#include "models/SensorInterfaces.h"

namespace NVSystem
{

class CMK600Comm : public CDeviceComm
{
public:
    static constexpr uint32_t kClassSignature = 0x4D4B3630; // 'MK60'
    static constexpr USHORT kMaxConnections = 10;

    // With the registers the sonde places: template version and external voltage at 49000.
    explicit CMK600Comm(const SlaveIdInfo& slaveId);

    // Whatever the pointer: true for a live sonde object of this class.
    static bool IsMK600(CDeviceComm* device);

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    CMK600Comm* QueryMK600Comm() override;

    // Of the first connection whose sensor is of the kind; null when there is none or it cannot be
    // built. No reference is taken.
    ISensor_VoxPro* GetVoxProSensor() override;
    ISensor_Conductivity* GetConductivitySensor() override;
    ISensor_PressureTempLevel* GetPressureTempLevelSensor() override;
    ISensor_pHORP* GetpHORPSensor() override;
    // The temperature sensor 79, else the first temperature (55) or conductivity sensor.
    ISensor_Temperature* GetTemperatureSensor() override;
    ISensor_Turbidity* GetTurbiditySensor() override;
    ISensor_Barometric* GetBarometricSensor() override;
    ISensor_Nitrate* GetNitrateSensor() override;
    ISensor_Ammonium* GetAmmoniumSensor() override;
    ISensor_Chloride* GetChlorideSensor() override;

    // The sensor of a connection 1..10: its header is read on every call (its failure is the
    // result), and the object made at the first call for the connection is handed out. E_FAIL above
    // 10, with the output left as it was; success without an object (and the output as it was) for a
    // sensor id the sonde has no class of, or an object that cannot be allocated. The flags are not
    // used.
    HRESULT GetSensor(USHORT connection, ULONG flags, ISensor_Interface*& sensor) override;

    // The base tags, the counters and the facts of what the log records: the TDS factor, the
    // specific-conductance curve, the turbidity's suspended-solids factor, the level of the moment
    // and, for a log of a level, its mode, SG and reference.
    HRESULT FillLogFileMeta(CLogFile& logFile) override;

    // The Bluetooth update command to the device command register, once, whatever the register map
    // version; refused while the device runs its boot code.
    virtual HRESULT SendBluetoothUpdateCommand();

protected:
    ~CMK600Comm() override;

private:
    // Under the device lock: the object of a sensor id for the connection, or null.
    std::unique_ptr<ISensor_Interface> BuildSensor(USHORT sensorId, USHORT connection);
    // The serial number of a new electrochemical sensor (pH/ORP, nitrate, ammonium, chloride) into
    // the trace, 0 when the sensor cannot give it; nothing for the other kinds.
    void TraceSerialNumber(ISensor_Interface& sensor);
    // The object of the first connection whose sensor id is in the list; null when none.
    ISensor_Interface* FirstSensorOf(std::initializer_list<USHORT> sensorIds);

    std::atomic<uint32_t> m_nClassSignature{kClassSignature};
    // By connection 1..10; under the device lock.
    std::array<std::unique_ptr<ISensor_Interface>, kMaxConnections> m_Sensors;
};

} // namespace NVSystem
