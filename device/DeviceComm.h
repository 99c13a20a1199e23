// The one object through which the system talks to one instrument at one Modbus address on one
// line. The device factory creates it (or an instrument class derived from it) after Report Slave
// ID, links it to the line's network object with AttachCommLink and hands it to the application.
//
// Every operation follows one frame: check the object's tag, take the device lock, check that a
// network is attached, that no other instrument has been found at the address and that the
// application firmware runs (each operation says which of these it applies, in that order), do the
// register work through the network object, trace, release the lock and return a result code. The
// device lock is re-entrant and is held for the whole operation, network transactions included;
// it lies outside the trace lock and the network's line lock.
//
// Reference counted: the object deletes itself when the last reference goes (or on a Release of an
// object whose count is still 0, which is how its creator discards it).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "comm/ModbusComm.h"
#include "comm/SlaveIdInfo.h"
#include "device/CacheSettings.h"
#include "device/RegisterMap.h"
#include "foundation/ByteBuffer.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "foundation/TraceLog.h"
#include "foundation/WideString.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVSystem
{

// The instrument classes and sensor interfaces that typed views and sensor getters hand out.
class CBarrikComm;
class CBluetoothCommDeviceComm;
class CStiloComm;
class CMariskComm;
class CVoxProComm;
class CPendraProComm;
class CFluvarComm;
class CBlueToothSkiffCom;
class CSledraComm;
class CPokkoComm;
class CMK600Comm;
class CVOXCoreICComm;
class ISensor_VoxPro;
class ISensor_ConductivityPTL;
class ISensor_Conductivity;
class ISensor_PressureTempLevel;
class ISensor_PressureDepth;
class ISensor_pHORP;
class ISensor_pH;
class ISensor_ORP;
class ISensor_PressureTemp;
class ISensor_Temperature;
class ISensor_Turbidity;
class ISensor_Barometric;
class ISensor_Nitrate;
class ISensor_Ammonium;
class ISensor_Chloride;

// Commands of the device command register.
inline constexpr USHORT DEVCMD_CLEAR_MSG_COUNTERS = 0xD006;
inline constexpr USHORT DEVCMD_SET_OFFLINE = 0xD009;
inline constexpr USHORT DEVCMD_SET_ONLINE = 0xD00A;
inline constexpr USHORT DEVCMD_RESTORE_FACTORY_DEFAULTS = 0xD00C;
inline constexpr USHORT DEVCMD_BLUETOOTH_UPDATE = 0xD104;

// Whatever the instrument or the settings store say, a packet stays within what the framing and the
// buffers are made for.
inline constexpr USHORT DEVICE_MIN_PACKET_SIZE = 20;
inline constexpr USHORT DEVICE_MAX_PACKET_SIZE = 1024;
inline constexpr USHORT ClampMaxPacketSize(USHORT size)
{
    return size < DEVICE_MIN_PACKET_SIZE   ? DEVICE_MIN_PACKET_SIZE
           : size > DEVICE_MAX_PACKET_SIZE ? DEVICE_MAX_PACKET_SIZE
                                           : size;
}

class CDeviceComm
{
public:
    static constexpr uint32_t kSignature = 0x44435452; // 'DCTR'

    // Unlinked, address 0, no references. The maximum packet size of the record is replaced by the
    // "Max Packet Size Bytes" tunable (20..1024) until AttachCommLink brings the instrument's own.
    explicit CDeviceComm(const SlaveIdInfo& slaveId);
    CDeviceComm(const CDeviceComm&) = delete;
    CDeviceComm& operator=(const CDeviceComm&) = delete;

    bool IsTagged() const { return m_nTag.load() == kSignature; }

    // --- Link and lifetime ---

    // Links the device at the address (0..255) to the network, which it holds a reference on until
    // it is detached or destroyed. With application firmware running, reads the template-version
    // register (when the map has one) for the probe register map version; a failure there is
    // returned and leaves the device linked. Then resets the caches and fills the register map.
    // E_POINTER for no network, MODBUSCOMM_E_INVALID_ADDRESS, E_FAIL while linked already.
    virtual HRESULT AttachCommLink(USHORT address, const SlaveIdInfo& slaveId, CModbusComm* network);
    // Forgets the attached network: leaves its device list and gives back the reference. The
    // argument must not be null; it is not compared with the attached network.
    virtual HRESULT DetachCommLink(CModbusComm* network);

    ULONG AddRef();
    ULONG Release();
    // The network with a reference more (the caller releases it); null when unlinked.
    CModbusComm* GetModbusComm();
    // The held address without device access; 255 when unlinked.
    USHORT GetAddress() const;
    USHORT GetRetryCount() const;

    // Attaches the device's trace to a trace file of the process that is open already.
    HRESULT AttachTraceLog(ULONG fileId);

    // --- Typed views: the object itself, with a reference more, when it is of that class ---

    virtual CBarrikComm* QueryBarrikComm();
    virtual CBluetoothCommDeviceComm* QueryBluetoothCommDeviceComm();
    virtual CStiloComm* QueryStiloComm();
    virtual CMariskComm* QueryMariskComm();
    virtual CVoxProComm* QueryVoxProComm();
    virtual CPendraProComm* QueryPendraProComm();
    virtual CFluvarComm* QueryFluvarComm();
    virtual CBlueToothSkiffCom* QueryBlueToothSkiffCom();
    virtual CSledraComm* QuerySledraComm();
    virtual CPokkoComm* QueryPokkoComm();
    virtual CMK600Comm* QueryMK600Comm();
    virtual CVOXCoreICComm* QueryVOXCoreICComm();

    // --- Sensor interfaces of that kind, or null; no reference is taken ---

    virtual ISensor_VoxPro* GetVoxProSensor();
    virtual ISensor_ConductivityPTL* GetConductivityPTLSensor();
    virtual ISensor_Conductivity* GetConductivitySensor();
    virtual ISensor_PressureTempLevel* GetPressureTempLevelSensor();
    virtual ISensor_PressureDepth* GetPressureDepthSensor();
    virtual ISensor_pHORP* GetpHORPSensor();
    virtual ISensor_pH* GetpHSensor();
    virtual ISensor_ORP* GetORPSensor();
    virtual ISensor_PressureTemp* GetPressureTempSensor();
    virtual ISensor_Temperature* GetTemperatureSensor();
    virtual ISensor_Turbidity* GetTurbiditySensor();
    virtual ISensor_Barometric* GetBarometricSensor();
    virtual ISensor_Nitrate* GetNitrateSensor();
    virtual ISensor_Ammonium* GetAmmoniumSensor();
    virtual ISensor_Chloride* GetChlorideSensor();

    // --- Register map and caches ---

    // Fills the register map by register map version and device type; no bus traffic.
    virtual HRESULT InitRegisterMap();
    // Reads the reserved register block and the communication registers into the caches, and
    // latches "device changed" when another instrument answers at the address.
    virtual HRESULT UpdateCache();
    HRESULT SetCacheRefreshInterval(ULONG ms);
    HRESULT SetLogDirCacheRefreshInterval(ULONG ms);
    // Re-reads the identity record (kept unchanged when the read fails) and the register map.
    HRESULT UpdateSlaveId();
    // Re-reads the status registers when the cached ones are stale or older than the refresh
    // interval.
    HRESULT UpdateStatusCache();
    // The identity check: at most every 5 s, compares the serial number that the instrument
    // reports with the held one; MODBUSCOMM_E_DEVICE_CHANGED when it differs.
    HRESULT GetSerialNumber();

    // --- Device information and status ---

    HRESULT GetRegisterMapVersion(USHORT& version);
    HRESULT GetSlaveId(SlaveIdInfo& slaveId);
    HRESULT GetDeviceTypeId(USHORT& deviceTypeId);
    HRESULT GetDeviceName(CWideString& name);
    HRESULT GetSiteName(CWideString& name);
    HRESULT GetDeviceTime(CDeviceTimestamp& time);
    HRESULT GetDeviceStatus(ULONG& status);
    HRESULT GetTotalBatteryTicks(ULONG& ticks);
    HRESULT GetUsedBatteryTicks(ULONG& ticks);
    HRESULT GetBatteryUsedPercent(USHORT& percent); // 0..100
    HRESULT GetTotalLogMemory(ULONG& size);
    HRESULT GetUsedLogMemory(ULONG& size);
    HRESULT GetMemoryUsedPercent(USHORT& percent); // 0..100
    // MODBUSCOMM_E_NO_ACTIVE_LOG when the value read is 0.
    HRESULT GetActiveLogFileNumber(USHORT& file);
    HRESULT GetActiveLogStatus(ULONG& status); // 0..15
    // Linked, application firmware running and a log ready, pending, running or suspended.
    BOOL HasActiveLog();
    HRESULT GetMaxPacketSize(USHORT& size);
    HRESULT GetGoodMsgCounter(ULONG& count);
    HRESULT GetBadMsgCounter(USHORT& count);
    HRESULT GetExceptionMsgCounter(USHORT& count);
    HRESULT ClearMsgCounters();
    // The registers that the instrument classes place; MODBUSCOMM_E_NOT_SUPPORTED without one.
    HRESULT GetRegisterMapTemplateVersion(USHORT& version);
    HRESULT GetExternalVoltage(USHORT& voltage);
    HRESULT GetInternalBatteryVoltage(USHORT& voltage);
    HRESULT GetTotalMeasurementCounter(ULONG& count);
    HRESULT GetTotalBatteryCounter(ULONG& count);

    // --- Online, offline and factory restore ---

    virtual HRESULT SetOffline();
    virtual HRESULT SetOnline();
    virtual HRESULT IsOffline(BOOL& offline);
    virtual HRESULT IsOnline(BOOL& online);
    // Restores the instrument's factory settings and moves the PC side of a serial line and the
    // device object to the settings and address that the instrument takes afterwards. Refuses
    // settings the line or the instrument cannot take before anything is sent, and refuses while a
    // file transfer runs on the device.
    virtual HRESULT RestoreFactoryDefaults(ULONG baudId, ULONG dataBitsId, ULONG stopBitsId, ULONG parityId,
                                           ULONG transmissionMode, USHORT newAddress);

    // --- Address, line settings, EOM, EOS, Stay Awake (the PC side of the line is not changed) ---

    // 1..248. Keeps the old address when the instrument does not answer at the new one.
    HRESULT SetDeviceAddress(USHORT address);
    HRESULT GetDeviceAddress(USHORT& address);
    // Refuses settings that the settings word cannot carry or the instrument cannot take before
    // anything is written.
    HRESULT ChangeDeviceCommunications(ULONG mode, ULONG baudId, ULONG dataBitsId, ULONG parityId,
                                       ULONG stopBitsId);
    HRESULT GetSerialConfig(ULONG& mode, ULONG& baudId, ULONG& dataBitsId, ULONG& parityId,
                            ULONG& stopBitsId);
    HRESULT GetEOM(USHORT& eom);
    HRESULT SetEOM(USHORT eom);
    HRESULT GetEOS(USHORT& eos);
    // Raised to at least the shorter register time-out plus the line's transmission delay.
    HRESULT SetEOS(USHORT eos);
    BOOL IsStayAwakeSupported();
    HRESULT GetStayAwake(ULONG& state);
    HRESULT SetStayAwake(ULONG state);
    BOOL IsSdi12Supported();

    // --- Software register, scratch pad, analog output ---

    HRESULT GetSoftwareRegister(ULONG& value);
    HRESULT SetSoftwareRegister(ULONG value);
    // Bits 0..31, else MODBUSCOMM_E_INVALID_BIT_NUMBER.
    HRESULT EnableSoftwareRegisterBit(ULONG bit);
    HRESULT DisableSoftwareRegisterBit(ULONG bit);
    HRESULT GetSoftwareRegisterBit(ULONG bit, BOOL& set);
    BOOL HasScratchPadRegister();
    // Writes the buffer's first 20 bytes, padded with zero bytes.
    HRESULT WriteScratchPad(const CByteBuffer& data);
    BOOL IsAnalogOutputSupported();
    // disable non-zero switches the output off. The state reads back the instrument's register:
    // non-zero means disabled (1 on instruments without the register).
    HRESULT EnableAnalogOutput(ULONG disable);
    HRESULT GetAnalogOutputState(ULONG& disabled);
    HRESULT SetAnalogParameter(USHORT sensorNumber, USHORT parameterNumber);
    HRESULT GetAnalogParameter(USHORT& sensorNumber, USHORT& parameterNumber);
    // Full scale (20 mA) and zero scale (4 mA) must differ.
    HRESULT SetAnalogScaling(float fullScale, float zeroScale);
    HRESULT GetAnalogScaling(float& fullScale, float& zeroScale);

    // --- Measurement cache ---

    // MODBUSCOMM_E_NOT_SUPPORTED on instruments without the register.
    HRESULT GetMeasurementCacheTimeout(USHORT& timeoutMs);

protected:
    // Only Release deletes the object.
    virtual ~CDeviceComm();

    // The guards of an operation, applied in this order after the tag check and the lock.
    enum : uint32_t
    {
        GUARD_LINK = 0x1,     // a network is attached, else MODBUSCOMM_E_NO_CONNECTION
        GUARD_CHANGED = 0x2,  // no other instrument found, else MODBUSCOMM_E_DEVICE_CHANGED
        GUARD_FIRMWARE = 0x4, // application firmware running, else MODBUSCOMM_E_NO_APP_FIRMWARE
        GUARDS_LINK_CHANGED = GUARD_LINK | GUARD_CHANGED,
        GUARDS_ALL = GUARD_LINK | GUARD_CHANGED | GUARD_FIRMWARE,
    };

    // Checks the tag, takes the device lock, applies the guards, then runs the operation; an
    // exception becomes onException. The lock is left on every return.
    template <typename Operation>
    HRESULT Guarded(uint32_t guards, Operation&& operation,
                    HRESULT onException = MODBUSCOMM_E_EXCEPTION_CDEVICE) noexcept
    {
        if (!IsTagged())
            return MODBUSCOMM_E_INVALID_DEVICE_THIS;
        try
        {
            CScopedLock lock(m_DeviceLock);
            if (const HRESULT hr = CheckGuards(guards); Failed(hr))
                return hr;
            return operation();
        }
        catch (...)
        {
            return onException;
        }
    }
    // Under the device lock.
    HRESULT CheckGuards(uint32_t guards) const;
    bool IsLinked() const;
    bool RunsApplication() const { return m_SlaveId.RunIndicator == SLAVEID_RUN_APPLICATION; }

    // The attached network; only after the link guard.
    CModbusComm& Network() const { return *m_pNetwork.load(); }
    USHORT Address() const { return m_nAddress.load(); }

    // Starts a trace line with "Device: " and the address.
    CTraceLog& Trace(TraceCtrl level);

    // Set while a file transfer, note write or flash runs on the device; read under its own lock.
    void SetFileTransferActive(bool active);
    bool IsFileTransferActive();

    // Writes a command to the device command register: one write from register map version 3 on,
    // the handshake 0, 1, command, 0 before.
    HRESULT SendDeviceCommand(USHORT command);

    sRegisterMap m_RegisterMap;
    USHORT m_nProbeRegisterMapVersion = 0;
    USHORT m_nRetryCount = 0;
    ULONG m_nReadTimeout = 0;
    ULONG m_nWriteTimeout = 0;
    SlaveIdInfo m_SlaveId;
    std::unique_ptr<CCacheSettings> m_pCacheSettings;
    platform::CCriticalSection m_DeviceLock;
    CTraceLog m_Trace;

private:
    // The operations the network object calls back under its line lock (no device lock taken).
    static USHORT LinkedAddress(CDeviceComm* device);
    static HRESULT ForgetNetwork(CDeviceComm* device, CModbusComm* network);

    // The getters of the registers that the instrument classes place.
    HRESULT ReadPlacedUShort(USHORT sRegisterMap::*entry, USHORT& value, const char16_t* reading,
                             const char16_t* failure);
    HRESULT ReadPlacedULong(USHORT sRegisterMap::*entry, ULONG& value, const char16_t* reading,
                            const char16_t* failure);
    // Used part of a total in percent, 0..100.
    HRESULT GetUsedPercent(USHORT& percent, HRESULT (CDeviceComm::*total)(ULONG&),
                           HRESULT (CDeviceComm::*used)(ULONG&), const char16_t* first,
                           const char16_t* second);
    HRESULT ReadSoftwareRegisterValue(ULONG& value);
    HRESULT ChangeSoftwareRegisterBit(ULONG bit, bool enable);

    std::atomic<CModbusComm*> m_pNetwork{nullptr};
    std::atomic<USHORT> m_nAddress{0};
    std::atomic<ULONG> m_nRefCount{0};
    ULONG m_bFileTransferActive = 0;
    platform::CCriticalSection m_FileTransferActiveLock;
    std::atomic<uint32_t> m_nTag{kSignature};
};

} // namespace NVSystem
