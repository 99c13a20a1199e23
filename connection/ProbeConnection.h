// The application's one link to the probe: the PC's serial port, the Modbus network on it and the
// device object of the probe at the configured address, together with the PC-side serial settings
// that the port search and the port settings fill in. One global object, theProbeConnection, lives
// for the whole process; every page, popup and calibration wizard reaches the probe through it.
//
// Threads. The user-interface thread connects and disconnects, one at a time, itself or through a
// worker that it waits for while the windows stay alive. A worker that talks to the probe
// through the network (keep-alive, sensor watch) counts itself busy: AddBusy before the
// transaction, which refuses while disconnected, and ReleaseBusy after it. DisconnectDevice waits
// until no one is busy before it tears the link down, giving up the connection lock while it waits
// (so it must never be called with that lock held). A worker that uses the device object beyond
// that (live polling, calibration) holds a reference of its own (AcquireProbe): the object then
// outlives a disconnect, and its operations fail once the line is gone.
//
// The connected flag, the busy count and the identity record are guarded by the connection lock,
// the outermost lock of the process; no device or line lock is ever held while it is taken. The
// link pointers are set while the flag is still 0 and cleared under the lock; they are atomic so
// that a counted worker may read them. The settings fields are atomic too: the user-interface thread
// changes them (port settings, communication settings) while workers read the address.
//
// Messages to the user go through the platform's message-box hook; an empty caption stands for the
// application's title.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "comm/SlaveIdInfo.h"
#include "connection/CommSettings.h"
#include "device/DeviceComm.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Sync.h"
#include "platform/Types.h"

// The short check of a probe after an exchange went unanswered, as the keep-alive reads: the line
// woken, then a read of the device type register with this time-out and one retry.
inline constexpr USHORT PROBE_CHECK_REGISTER = 49001;
inline constexpr ULONG PROBE_CHECK_TIMEOUT_MS = 500;

// The device types the application connects to, in the order the connection tests them.
inline constexpr USHORT ACCEPTED_DEVICE_TYPES[] = {18, 12, 19, 31, 35, 36, 37, 39};
inline constexpr USHORT DEVICE_TYPE_MULTI_SENSOR_PROBE = 18;
inline constexpr USHORT DEVICE_TYPE_VOX_CORE_IC = 39;

bool IsAcceptedDeviceType(USHORT deviceType);
// The types whose optical-DO core has a serial number and whose OEM configuration file holds the
// factory serial settings: 36, 37 and 39.
bool HasVoxCore(USHORT deviceType);

// A device reference (AcquireProbe) released when it goes.
struct DeviceReleaser
{
    void operator()(NVSystem::CDeviceComm* device) const { device->Release(); }
};
using DeviceRef = std::unique_ptr<NVSystem::CDeviceComm, DeviceReleaser>;

class CProbeConnection
{
public:
    CProbeConnection() = default;
    // Closes what is still open.
    ~CProbeConnection();
    CProbeConnection(const CProbeConnection&) = delete;
    CProbeConnection& operator=(const CProbeConnection&) = delete;

    // --- Connect and disconnect (the user-interface thread, or a worker it waits for) ---

    // Opens the port with the stored settings, lets the device factory identify the probe and makes
    // the device object. S_OK (or the positive result of the cache update) when connected. Every
    // failure is shown in an error box and leaves everything closed, except a probe that runs no
    // application firmware: MODBUSCOMM_E_NO_APP_FIRMWARE after its box, with port, network and
    // device left open (not connected) for the firmware update, until DisconnectDevice. Refuses
    // with E_FAIL, changing nothing, while connected. heardAt: the tick at which the port search has
    // just read the probe at these settings; the probe is then not woken a second time.
    HRESULT ConnectToDevice(std::optional<uint64_t> heardAt = std::nullopt);
    // Waits until no worker is busy, then closes everything; the settings stay. Always S_OK; safe
    // when nothing is open.
    HRESULT DisconnectDevice();
    // Only while disconnected (E_FAIL otherwise, nothing changed): opens the port and broadcasts the
    // reset that returns every device on it to its factory serial settings (a sweep of about 22 s),
    // closes it again and stores the factory settings (19200, 8, even, 1, RTU, address 1) with the
    // port. The result is the broadcast's; a failure before it changes no setting.
    HRESULT ResetCommSettings(USHORT port);
    // The identity record back to its empty state.
    void ResetDeviceInfo();

    // --- State ---

    BOOL IsConnected();
    // A number of its own for each connection made (never reused while the process runs); 0 while
    // disconnected. A worker's report about the link carries it, so that a report arriving after a
    // reconnect cannot be taken for one about the new link.
    ULONG GetConnectionId();
    // Counts the caller busy while connected: TRUE, and the caller must ReleaseBusy; FALSE (not
    // counted) while disconnected. connectionId receives the id of the connection counted on.
    BOOL AddBusy(ULONG* connectionId = nullptr);
    // TRUE when the count was above 0 and has been lowered.
    BOOL ReleaseBusy();
    // The probe of the current connection was found silent: an exchange went unanswered and the
    // line's short check before the next one heard nothing (CModbusComm::EnableSilenceCheck, on for
    // every connection). Nothing more goes out to it; the next connection starts afresh.
    BOOL IsMarkedSilent();
    // An exchange on the link went unanswered and the line has not checked the probe since: the
    // next exchange will be preceded by the short check. Any thread.
    BOOL IsProbeUnheard();
    // That check now, where it is due (serial work); FALSE when the probe is silent. TRUE while
    // disconnected.
    BOOL CheckProbeAnswers();
    // The connection lock, for callers that must read several things in one go.
    platform::CCriticalSection& GetLock() { return m_Lock; }
    // A copy of the connected device's identity record (the empty record while none).
    SlaveIdInfo GetSlaveId();
    // Replaces the identity record (after a firmware update has changed what the probe reports).
    void SetSlaveId(const SlaveIdInfo& slaveId);

    // The link, without references: valid on the user-interface thread while connected, and for a
    // worker while it is counted busy.
    NVSystem::CDeviceComm* GetProbe() const { return m_pProbe.load(); }
    NVSystem::CDeviceComm* GetDevice() const { return m_pDevice.load(); }
    CModbusComm* GetModbus() const { return m_pModbus.load(); }
    // The device object with a reference more (the caller releases it); null while disconnected.
    NVSystem::CDeviceComm* AcquireProbe();
    // The same as a reference that releases itself.
    DeviceRef HoldConnectedProbe() { return DeviceRef(AcquireProbe()); }
    // The device object with a reference more, connected or not (a probe in its boot code); null
    // when there is none or it carries no device tag.
    DeviceRef HoldProbe();

    // The seven settings fields in one record, and all of them set from one.
    sCommSettings GetCommSettings() const;
    void SetCommSettings(const sCommSettings& settings);

    // --- Sensors of the connected device, without references. E_FAIL while disconnected, the
    // output untouched; otherwise S_OK, with null when the device has no such sensor. ---

    HRESULT GetVoxProSensor(NVSystem::ISensor_VoxPro*& sensor);
    HRESULT GetConductivitySensor(NVSystem::ISensor_Conductivity*& sensor);
    HRESULT GetLevelSensor(NVSystem::ISensor_PressureTempLevel*& sensor);
    HRESULT GetPressureDepthSensor(NVSystem::ISensor_PressureDepth*& sensor);
    HRESULT GetPHORPSensor(NVSystem::ISensor_pHORP*& sensor);

    // --- What the windows show ---

    // Connected to a device of type 18 or 39.
    BOOL IsMultiSensorProbe();
    // The display name of the device type of the identity record, connected or not: "device" for
    // type 0; for 12, 19 and 18 the skin's model name when it has one; otherwise the model table's
    // name, "Unknown" for a type it lacks.
    CWideString GetDeviceTypeName();
    // The device's serial number as "%u" while connected; empty otherwise.
    CWideString GetSerialNumberText();
    // The device's network with a reference more (the caller releases it); null while disconnected.
    CModbusComm* GetModbusInterface();

    // --- Probe files and single registers (ProbeFiles.cpp, ProbeRegisters.cpp) ---

    // Writes the serial number into the OEM configuration file (device file 65500). Throws the
    // message of a failure as a CWideString.
    void UpdateOemConfigFile(ULONG serialNumber);
    // The factory serial settings and address from the OEM configuration file for device types
    // 36, 37 and 39; 19200, 8, even, 1, RTU, address 1 for other types and, after a warning box,
    // when the file cannot be read or holds settings out of range. The port is 0 (no value).
    sCommSettings GetFactoryCommSettings();
    // Uploads an SDI-12 configuration (device file 65003) through a temporary file: the selections
    // whose connection and parameter number are both 1..32, in order, and the address character
    // (0-9, a-z, A-Z). E_FAIL while disconnected, for no selections or another address.
    HRESULT WriteSdi12Config(const CDynArray<sParamSelection>& selections, char16_t address);
    // The optical-DO core's serial number (register 47500) of types 36, 37 and 39 while connected;
    // 0 otherwise or, after an error box, when it cannot be read.
    ULONG ReadVoxCoreSerialNumber();
    // The manufacture date (register 49004) in the user's date format while connected; empty
    // otherwise or, after an error box, when it cannot be read.
    CWideString GetManufactureDateText();
    // The second current loop (registers 49716, 49710, 49711, 49712, 49714, written in this order,
    // stopping at the first failure). MODBUSCOMM_E_EXCEPTION while disconnected.
    HRESULT WriteCurrentLoop(BOOL enable, USHORT connection, USHORT parameterNumber, float firstScale,
                             float secondScale);
    // Whether the probe has the second current loop (bit 9 of the interface configuration register
    // 49500); FALSE while disconnected or when the register cannot be read.
    BOOL HasSecondCurrentLoop();
    // Reads the second current loop in the order WriteCurrentLoop writes it, stopping at the first
    // failure; enable is TRUE for 1 only. MODBUSCOMM_E_EXCEPTION while disconnected.
    HRESULT ReadCurrentLoop(BOOL& enable, USHORT& connection, USHORT& parameterNumber, float& firstScale,
                            float& secondScale);

    // --- The PC-side serial settings (ids of CommSettings.h), kept across disconnects ---

    std::atomic<ULONG> m_nBaudId{COMM_BAUD_ID_19200};
    std::atomic<ULONG> m_nDataBitsId{COMM_DATA_BITS_ID_8};
    std::atomic<ULONG> m_nParityId{COMM_PARITY_ID_EVEN};
    std::atomic<ULONG> m_nStopBitsId{COMM_STOP_BITS_ID_1};
    std::atomic<ULONG> m_nMode{COMM_MODE_RTU};
    std::atomic<USHORT> m_nAddress{COMM_MIN_ADDRESS};
    std::atomic<USHORT> m_nPort{1};

    // --- Tests ---

    // The pauses of the reset broadcast go to this function instead of a sleep; null sleeps again.
    void SetResetPauseForTests(std::function<void(ULONG ms)> pause);
    // Called each time DisconnectDevice finds a worker busy, before it waits.
    void SetBusyWaitObserverForTests(std::function<void()> observer);

private:
    // Under the lock: the flag, and the device object's tag.
    bool IsProbeConnected();
    // An error box, then everything closed; returns hr.
    HRESULT FailConnect(HRESULT hr, const CWideString& message);
    // Step 14 and 15 of a connect: the typed device, and the sensors of a VOX core.
    HRESULT QueryDevice(USHORT deviceType, HRESULT cached);
    template <typename Sensor>
    HRESULT GetSensorOf(Sensor* (NVSystem::CDeviceComm::*getter)(), Sensor*& sensor);
    // The network of the device while connected, with a reference more; a box with the text when
    // there is none.
    CModbusComm* NetworkOrBox(const char16_t* noNetworkText);

    platform::CCriticalSection m_Lock;
    platform::CEvent m_BusyReleased{platform::CEvent::Reset::Auto};
    ULONG m_bConnected = 0;        // under the lock
    ULONG m_nBusy = 0;             // under the lock
    ULONG m_nConnectionId = 0;     // under the lock: the current connection's, 0 while disconnected
    ULONG m_nLastConnectionId = 0; // under the lock: the last one given out
    SlaveIdInfo m_SlaveId;         // under the lock
    // Owned; touched only by the connecting and disconnecting thread.
    std::unique_ptr<NVTools::CSerialComm> m_pSerialComm;
    std::atomic<CModbusComm*> m_pModbus{nullptr};           // one reference held
    std::atomic<NVSystem::CDeviceComm*> m_pProbe{nullptr};  // one reference held
    std::atomic<NVSystem::CDeviceComm*> m_pDevice{nullptr}; // the typed device, one reference more
    std::function<void(ULONG ms)> m_ResetPause;             // set before use
    std::function<void()> m_BusyWaitObserver;               // set before use
};

extern CProbeConnection theProbeConnection;

// A network reference (GetModbusInterface) released when it goes.
struct NetworkReleaser
{
    void operator()(CModbusComm* network) const { network->Release(); }
};
using NetworkRef = std::unique_ptr<CModbusComm, NetworkReleaser>;

// The skin's model name of a device type, empty when the skin names none. The start-up installs
// the skin record's lookup; without one, device type names come from the model table alone.
using SkinModelNameLookup = CWideString (*)(USHORT deviceType);
void SetSkinModelNameLookup(SkinModelNameLookup lookup);

// An SDI-12 address character: 0-9, a-z or A-Z.
bool IsSdi12Address(char16_t address);

// "%s (error code 0x%08X)".
CWideString FormatTextWithErrorCode(const char16_t* text, HRESULT code);

// The window that message boxes of this layer belong to (an opaque handle, null for none); the
// main window sets itself while it lives.
const void* GetAppMainWindow();
void SetAppMainWindow(const void* window);
