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
#include <functional>
#include <memory>

#include "comm/DeviceLink.h"
#include "comm/ModbusComm.h"
#include "comm/SlaveIdInfo.h"
#include "comm/TransferProgress.h"
#include "device/CacheSettings.h"
#include "device/RegisterMap.h"
#include "foundation/ByteBuffer.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/ResultCodes.h"
#include "foundation/ScopedLock.h"
#include "foundation/TraceLog.h"
#include "foundation/TransferControl.h"
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
class CNVStdNote;
struct sTransferLine;
struct sFlashImage;
class CFileCmdSeq;

// The sensor records and the cache that holds them (device/SensorCache.h, device/SensorCtrl.h).
class CSensorCtrl;
class CLockedSensor;
struct SensorCache;
struct SensorConnectionInfo;
class ISensor_Interface;

// A log file description and its meta-tags (device/LogFile.h, device/LogFileMeta.h).
class CLogFile;
class MetaTagValue;
class MetaTagEntry;
struct sLogEventDefinition;
struct sLogChannelInfo;

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

class CDeviceComm : public ILinkedDevice
{
public:
    static constexpr uint32_t kSignature = 0x44435452; // 'DCTR'

    // Unlinked, address 0, no references. The maximum packet size of the record is replaced by the
    // "Max Packet Size Bytes" tunable (20..1024) until AttachCommLink brings the instrument's own.
    explicit CDeviceComm(const SlaveIdInfo& slaveId);
    CDeviceComm(const CDeviceComm&) = delete;
    CDeviceComm& operator=(const CDeviceComm&) = delete;

    bool IsTagged() const { return m_nTag.load() == kSignature; }
    // The signature of the instrument class ('VOXP', 'SLED' ...) that class tests and downcasts
    // compare beside the device tag: 0 for the plain device, and 0 again once the class part of
    // the object is destroyed.
    virtual uint32_t GetClassSignature() const { return 0; }

    // --- Link and lifetime ---

    // Links the device at the address (0..255) to the network, which it holds a reference on until
    // it is detached or destroyed. With application firmware running, reads the template-version
    // register (when the map has one) for the probe register map version; a failure there is
    // returned and leaves the device linked. Then resets the caches and fills the register map.
    // E_POINTER for no network, MODBUSCOMM_E_INVALID_ADDRESS, E_FAIL while linked already.
    virtual HRESULT AttachCommLink(USHORT address, const SlaveIdInfo& slaveId, CModbusComm* network);
    // Forgets the attached network: leaves its device list and gives back the reference (a network
    // being destroyed gets neither). The argument must not be null; it is not compared with the
    // attached network.
    HRESULT DetachCommLink(CModbusComm* network) override;

    ULONG AddRef();
    ULONG Release();
    // The network with a reference more (the caller releases it); null when unlinked.
    CModbusComm* GetModbusComm();
    // The held address without device access; 255 when unlinked.
    USHORT GetAddress() const override;
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

    // 1..248. Keeps the old address when the instrument does not answer at the new one. The
    // network's wake-up time of the old address goes to the new one.
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
    // Raised to at least the shorter register time-out plus the line's transmission delay. The
    // value written becomes the network's wake-up time of the address at once.
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
    // With a log running, the change also leaves a note in the log (whose failure is not reported);
    // the device lock is given up before the note waits for a file transfer.
    HRESULT SetMeasurementCacheTimeout(USHORT timeoutMs);

    // --- Device files and log notes. A transfer runs inside the transfer scope: one at a time per
    // device (file-transfer lock, taken before the device lock and never while holding it), with
    // progress and an asynchronous cancel. Register map version 3 and later use the extended file
    // request, older instruments the file command registers. ---

    // The whole file, or nothing: the data is emptied first, and again when the read fails.
    HRESULT ReadDeviceFile(USHORT fileNumber, CByteBuffer& data);
    HRESULT WriteDeviceFile(USHORT fileNumber, const CByteBuffer& data);
    // The SDI-12 parameter set to and from a disk file; the disk file is replaced whole or not at all.
    HRESULT SaveDeviceFileToDisk(const char16_t* path);
    HRESULT SendDiskFileToDevice(const char16_t* path);
    // Of the running or last transfer; seconds left is 0 until some bytes have moved. The state word
    // is always 0: every transfer ends by clearing it.
    HRESULT GetFileTransferProgress(USHORT& percent, ULONG& total, ULONG& done, ULONG& state,
                                    double& secondsLeft, HRESULT& result);
    // Asks the running transfer to stop at its next check (with MODBUSCOMM_E_CANCELLED) and
    // returns at once; 0 and nothing done when no transfer runs.
    HRESULT CancelFileTransfer();
    // Appends a user note to the active log; MODBUSCOMM_E_NO_ACTIVE_LOG when another log became
    // active before the note could be written. Waits for a running transfer: never call it while
    // holding the device lock.
    HRESULT WriteLogNote(const CNVStdNote& note);
    HRESULT WriteLogNoteToFile(USHORT fileNumber, const CNVStdNote& note);

    // Replaces the application firmware with a firmware image file (validated first; its bytes go
    // out as validated): restarts the instrument into its boot code unless it runs it already,
    // sends the image in the transfer the boot code speaks, waits for the new application and
    // reads the device afresh. Runs in the transfer scope with progress; a cancel is taken only
    // until the boot code answers, since the identity then shows no application firmware.
    HRESULT UpdateFirmware(const char16_t* path);

    // --- Sensor connections. Connections are 1..32; a connection the instrument does not list, or
    // whose sensor record could not be made, answers MODBUSCOMM_E_INVALID_SENSOR_PORT. A listed
    // connection whose sensor is absent answers the instrument's exception 0x94
    // (MODBUSCOMM_E_PORT_NO_SENSOR). The sensor cache is built on first use. ---

    // Reads the connection table and makes one sensor record per connection that holds a sensor; a
    // sensor that cannot be attached is left out without failing the build.
    virtual HRESULT BuildSensorCache();
    // The record of a connection, held together with the device lock until the CLockedSensor lets
    // it go: the way for code outside the device to use a record.
    HRESULT FindSensorAtConnection(USHORT connection, CLockedSensor& sensor);
    HRESULT GetSensorConnectionInfo(USHORT connection, SensorConnectionInfo& info);
    // Sensor records made, not connections listed.
    HRESULT GetSensorCount(USHORT& count);
    HRESULT GetActiveSensorPortMask(ULONG& mask);
    // The connections whose mask bit is set, ascending (one whose sensor failed to attach too).
    HRESULT GetActiveSensorPorts(CDynArray<USHORT>& ports, BOOL unused = FALSE);
    // The connection of the first sensor record whose sensor id is in the list;
    // MODBUSCOMM_E_SENSOR_ID_NOT_FOUND when none.
    HRESULT GetSensorPort(USHORT& connection, const USHORT* sensorIds, int count);
    // The built-in sensor interface of single-sensor device types whatever the connection; none
    // (and 0) for the types with sensor adapters, whose classes override this;
    // MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN for other types.
    virtual HRESULT GetSensor(USHORT connection, ULONG flags, ISensor_Interface*& sensor);

    // Sensor commands to the connection's sensor command register.
    virtual HRESULT SetSensorCalModeOn(USHORT connection);
    virtual HRESULT SetSensorCalModeOff(USHORT connection);
    // With the "Update Sensor TO" time-out.
    virtual HRESULT UpdateSensorCalibration(USHORT connection);
    // Re-reads the sensor header afterwards, whatever the command's outcome.
    virtual HRESULT RestoreSensorCalDefaults(USHORT connection);
    virtual HRESULT RestoreSensorFactoryDefaults(USHORT connection);
    // Takes the device offline (it stays so) and starts continuous sampling for calibration.
    HRESULT EnableCalContinuous(USHORT connection);

    // Sensor header values (cached; read when needed).
    HRESULT GetSensorId(USHORT connection, USHORT& sensorId);
    HRESULT GetSensorSerialNumber(USHORT connection, ULONG& serialNumber);
    HRESULT GetNextFactoryCalDate(USHORT connection, CDeviceTimestamp& date);
    HRESULT GetLastUserCalDate(USHORT connection, CDeviceTimestamp& date);
    HRESULT GetWarmupTime(USHORT connection, ULONG& ms);
    HRESULT GetFastestSampleRate(USHORT connection, ULONG& ms);
    // Sensor header and parameter blocks read again; the header read drops the cached blocks.
    HRESULT ReadSensorHeader(USHORT connection);
    HRESULT ReadSensorParameterBlocks(USHORT connection);
    HRESULT ReadSensorParameterBlock(USHORT connection, USHORT parameter);
    HRESULT GetSensorInfo(USHORT connection, sSensorInfo& info);
    HRESULT GetSensorParameters(USHORT connection, CDynArray<sParameterReading>& readings,
                                BOOL cachedAllowed);
    // The readings of the sensor's last measurement of all its parameters: the cached ones when they
    // were read with their values, else read with values now. Several callers that each need the
    // sensor's values once (the pages after a connect) so share one measurement.
    HRESULT GetMeasuredSensorParameters(USHORT connection, CDynArray<sParameterReading>& readings);

    // Parameter n (1..P) of the connection's sensor. The live value reads the parameter's block
    // unless cachedOnly; quality is 0x100 until a value is had.
    HRESULT ReadParameterValue(USHORT connection, USHORT parameter, float& value, USHORT& quality,
                               USHORT& unitId, BOOL cachedOnly);
    HRESULT GetParameterId(USHORT connection, USHORT parameter, USHORT& parameterId);
    HRESULT GetParameterUnitId(USHORT connection, USHORT parameter, USHORT& unitId);
    // Writes only when the unit changes.
    HRESULT SetParameterUnitId(USHORT connection, USHORT parameter, USHORT unitId);
    HRESULT GetParameterSentinel(USHORT connection, USHORT parameter, float& sentinel);
    HRESULT SetParameterSentinel(USHORT connection, USHORT parameter, float sentinel);

    // Registers of the sensor window by offset from its base, uncached.
    HRESULT ReadSensorUShort(USHORT connection, USHORT offset, USHORT& value);
    HRESULT WriteSensorUShort(USHORT connection, USHORT offset, USHORT value);
    HRESULT ReadSensorULong(USHORT connection, USHORT offset, ULONG& value);
    HRESULT ReadSensorFloat(USHORT connection, USHORT offset, float& value);
    HRESULT WriteSensorFloat(USHORT connection, USHORT offset, float value);
    HRESULT ReadSensorTime(USHORT connection, USHORT offset, CDeviceTimestamp& time);

    // --- Log file descriptions. Each accessor holds the description's own lock for its run. ---

    // Fills the meta-tags that describe the device and the PC for a log set up now; instrument
    // classes add their own after these. Takes no device lock itself: each device read does.
    virtual HRESULT FillLogFileMeta(CLogFile& logFile);
    static HRESULT SetLogVersion(CLogFile& logFile, USHORT version);
    static ULONG GetLogType(CLogFile& logFile);
    static HRESULT GetLogChannels(CLogFile& logFile, CDynArray<ULONG>& channels);
    static USHORT GetLogChannelCount(CLogFile& logFile);
    static HRESULT GetLogChannel(CLogFile& logFile, USHORT n, ULONG& word);
    // The first tag with the index; LOGFILE_E_META_NOT_FOUND when there is none.
    static HRESULT GetMetaTag(CLogFile& logFile, ULONG tagIndex, MetaTagEntry& entry);
    // Stored under the index's name ("Unknown" past the table), replacing a tag of that name.
    static HRESULT SetMetaTagValue(CLogFile& logFile, ULONG tagIndex, MetaTagValue value);
    static HRESULT SetMetaTag(CLogFile& logFile, ULONG tagIndex, const MetaTagValue& value);
    // Replaces the first tag whose name equals the entry's without regard to case, else appends.
    static HRESULT InsertOrReplaceMetaTag(CLogFile& logFile, const MetaTagEntry& entry);
    // The first tag with the index, if any; the order of the others stays.
    static HRESULT RemoveMetaTag(CLogFile& logFile, ULONG tagIndex);
    static BOOL GetLogFileFlag(CLogFile& logFile);
    // LOGFILE_E_INVALID_TYPE for a log that is no event log.
    static HRESULT GetLogType6Block(CLogFile& logFile, sLogEventDefinition& definition);
    // Channel n's connection and parameter number from its channel word, its ids from its tags.
    static HRESULT GetLogChannelInfo(CLogFile& logFile, USHORT n, sLogChannelInfo& info);

protected:
    // Only Release deletes the object.
    virtual ~CDeviceComm();

    // What the destructor does to the tag, without destroying: lets a derived test class reach the
    // answer every operation gives a pointer that is no device any more.
    void ClearTag() { m_nTag.store(0); }

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
    // The identity record held, and one read from the instrument put in its place with its packet
    // size clamped (ClampMaxPacketSize); each takes the device lock.
    SlaveIdInfo HeldSlaveId();
    void StoreSlaveId(const SlaveIdInfo& slaveId);

    // The attached network; only after the link guard.
    CModbusComm& Network() const { return *m_pNetwork.load(); }
    USHORT Address() const { return m_nAddress.load(); }

    // Starts a trace line with "Device: " and the address.
    CTraceLog& Trace(TraceCtrl level);

    // Where a getter's cached value stands: among the values read with the caches, or among the
    // status registers, which are read again once per refresh interval.
    enum CachedAs : uint32_t
    {
        CACHED_FIXED,
        CACHED_STATUS,
    };
    // The getters' register reads (USHORT, ULONG or text), each a guarded operation that empties
    // the value first. ReadTraced reads the map's register with the read time-out and traces the
    // failure text and the result code (level 1) or the success text and the value (level 3).
    // ReadCachedTraced takes the cached field instead while the caches are valid (traced as
    // fromCache and the value, level 3). ReadPlaced reads a register that an instrument class
    // places, MODBUSCOMM_E_NOT_SUPPORTED where the map has none, with the register time-out and
    // traced at level 1: the reading text, then the failure text and the result code or " - success".
    template <typename Value>
    HRESULT ReadTraced(uint32_t guards, USHORT sRegisterMap::*entry, Value& value, const char16_t* failure,
                       const char16_t* success);
    template <typename Value>
    HRESULT ReadCachedTraced(uint32_t guards, CachedAs cachedAs, Value CCacheSettings::*field,
                             USHORT sRegisterMap::*entry, Value& value, const char16_t* fromCache,
                             const char16_t* failure, const char16_t* success);
    template <typename Value>
    HRESULT ReadPlaced(USHORT sRegisterMap::*entry, Value& value, const char16_t* reading,
                       const char16_t* failure);

    // Set while a file transfer, note write or flash runs on the device; read under its own lock.
    void SetFileTransferActive(bool active);
    bool IsFileTransferActive();

    // Writes a command to the device command register: one write from register map version 3 on,
    // the handshake 0, 1, command, 0 before.
    HRESULT SendDeviceCommand(USHORT command);

    // The transfer scope: the guards under the device lock, then the file-transfer lock, the
    // active flag, progress and cancel reset, the operation on a snapshot of the device, and the
    // result into the progress record. The device lock is not held while the operation runs.
    HRESULT RunTransferScope(uint32_t guards, const std::function<HRESULT(const sTransferLine&)>& operation);
    // The steps of a transfer, inside an open scope.
    HRESULT ReadFileTransfer(const sTransferLine& line, USHORT fileNumber, CByteBuffer& data);
    // Hooks a file command sequence to the device's cancel flag and trace (and to the progress
    // record where one is given) and begins it; a failed begin is traced with initFailure and the
    // result code.
    HRESULT BeginFileSequence(CFileCmdSeq& sequence, CTransferProgress* progress,
                              const char16_t* initFailure);
    HRESULT WriteFileTransfer(const sTransferLine& line, USHORT fileNumber, const CByteBuffer& data);
    HRESULT ExtendedFileRead(const sTransferLine& line, sFileCommand& request, CByteBuffer& data);
    HRESULT ExtendedFileWrite(const sTransferLine& line, sFileCommand& request, const CByteBuffer& data);
    HRESULT ReturnFileSetupToIdle(const sTransferLine& line, USHORT fileNumber);
    // The function-102 setup of a transfer (the request takes the device's answer), then a cancel
    // check that returns the file machinery to idle; each failure traced with its text.
    HRESULT SetUpExtendedTransfer(const sTransferLine& line, sFileCommand& request, ULONG commandTimeoutMs,
                                  const char16_t* setupFailure, const char16_t* cancelled);
    HRESULT WriteFileNote(const sTransferLine& line, USHORT fileNumber, const CNVStdNote& note);
    // A note block that one function-101 request of the line can carry: the user name shortened as
    // far as that needs, else MODBUSCOMM_E_MAX_PACKET.
    HRESULT FitNoteBlockToPacket(const sTransferLine& line, const CNVStdNote& note, CByteBuffer& block);
    // The steps of a firmware flash, inside an open transfer scope (device/FirmwareFlash.h).
    HRESULT FlashFirmware(const sTransferLine& line, const char16_t* path);
    HRESULT SwitchToBootCode(const sTransferLine& line);
    HRESULT WaitForBootCode(const sTransferLine& line);
    HRESULT FlashFirmwareSis12(const sTransferLine& line, const sFlashImage& image);
    HRESULT FlashFirmwareSis3(const sTransferLine& line, const sFlashImage& image);
    HRESULT WriteFlashBlocks(const sTransferLine& line, const sFlashImage& image);
    HRESULT RefreshAfterFlash();

    // Held for the whole of a transfer, note write or flash; outside the device lock.
    platform::CCriticalSection m_FileTransferLock;
    const std::unique_ptr<CTransferProgress> m_pTransferProgress = std::make_unique<CTransferProgress>();
    CTransferControl m_TransferControl;

    // The record of a connection, for operations that hold the device lock (it is valid only while
    // they do).
    HRESULT FindSensorAtConnection(USHORT connection, CSensorCtrl*& sensor);
    // Inside a guarded operation: the connection's record, then the operation on it.
    template <typename Operation>
    HRESULT OnSensor(USHORT connection, Operation&& operation)
    {
        CSensorCtrl* sensor = nullptr;
        if (const HRESULT hr = FindSensorAtConnection(connection, sensor); Failed(hr))
            return hr;
        if (sensor == nullptr)
            return NoSensorRecord();
        return operation(*sensor);
    }
    // Builds the sensor cache unless it is built; under the device lock.
    HRESULT EnsureSensorCache();
    // The next operation that needs the cache builds a new one; under the device lock.
    void DeleteSensorCache();

    // The sensor interface that a single-sensor instrument class places beside its device part.
    ISensor_Interface* m_pBuiltInSensor = nullptr;
    SensorCache* m_pSensorCache = nullptr; // owned

    sRegisterMap m_RegisterMap;
    USHORT m_nProbeRegisterMapVersion = 0;
    USHORT m_nRetryCount = 0;
    ULONG m_nReadTimeout = 0;
    ULONG m_nWriteTimeout = 0;
    SlaveIdInfo m_SlaveId;
    std::unique_ptr<CCacheSettings> m_pCacheSettings;
    platform::CCriticalSection m_DeviceLock{"device lock"};
    CTraceLog m_Trace;

private:
    HRESULT NoSensorRecord();
    // The traced frame of the register accesses by offset.
    HRESULT AccessSensorAtOffset(USHORT connection, USHORT offset, const char16_t* opening,
                                 const char16_t* what, const char16_t* failure,
                                 const std::function<HRESULT(CSensorCtrl&)>& access);
    // Under the device lock.
    void CopyTraceToSensors();
    // Header and parameter descriptions of every record again.
    void RereadSensorRecords();

    // Used part of a total in percent, 0..100.
    HRESULT GetUsedPercent(USHORT& percent, HRESULT (CDeviceComm::*total)(ULONG&),
                           HRESULT (CDeviceComm::*used)(ULONG&), const char16_t* first,
                           const char16_t* second);
    // Writes back the full and zero scale registers as read before a change (under the device lock).
    void RestoreAnalogScaling(const CByteBuffer& previous);
    HRESULT ReadSoftwareRegisterValue(ULONG& value);
    HRESULT ChangeSoftwareRegisterBit(ULONG bit, bool enable);
    // Linked, application firmware running, and the Interface Configuration register shows the
    // interface; an instrument from before the register has it when hasWithoutRegister says so.
    BOOL HasInterface(USHORT interfaceBit, bool (*hasWithoutRegister)(const SlaveIdInfo& slaveId));

    std::atomic<CModbusComm*> m_pNetwork{nullptr};
    std::atomic<USHORT> m_nAddress{0};
    std::atomic<ULONG> m_nRefCount{0};
    ULONG m_bFileTransferActive = 0;
    platform::CCriticalSection m_FileTransferActiveLock;
    std::atomic<uint32_t> m_nTag{kSignature};
};

} // namespace NVSystem
