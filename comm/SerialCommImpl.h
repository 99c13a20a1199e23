// One open COM port of the process, shared by every handle that opened the same port number. It
// keeps the line configuration and time-outs that it applied, counts the bytes, frames reads by the
// line's rule (count, ASCII end-of-message byte, RTU inter-character silence) and traces what it
// does. Created and found only through the process-wide list (Acquire), destroyed by the last
// Release.
//
// Locks, outermost first: the process-wide list lock, the object lock (held by every operation for
// its whole run), the trace's own.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "comm/LineImplBase.h"
#include "foundation/ByteBuffer.h"
#include "foundation/SerialDcb.h"
#include "foundation/TransferControl.h"
#include "foundation/WideString.h"
#include "platform/SerialDevice.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVTools
{

// The read and write time-outs of a port, in milliseconds. With interval and multiplier 0, a port
// read returns after ReadTotalTimeoutConstant of silence; a write of n bytes may take
// WriteTotalTimeoutMultiplier x n + WriteTotalTimeoutConstant.
struct COMMTIMEOUTS
{
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;

    friend bool operator==(const COMMTIMEOUTS&, const COMMTIMEOUTS&) = default;
};

// How a read decides that a frame is complete.
inline constexpr ULONG SERIAL_FRAMING_COUNT = 0; // at the expected count
inline constexpr ULONG SERIAL_FRAMING_ASCII = 1; // at the end-of-message byte
inline constexpr ULONG SERIAL_FRAMING_RTU = 2;   // at the count or after a silence

// Whatever the framing, a read ends when the buffer holds this many bytes or the expected count,
// whichever is more: a line that never falls silent or never sends the end byte cannot make a
// buffer grow without bound. The largest frame of the instruments (a 1024-byte file block in ASCII)
// is about half of it.
inline constexpr ULONG SERIAL_MAX_FRAME_BYTES = 4096;
// A drain of the receive buffer stops after this long even when the line never falls silent.
inline constexpr ULONG SERIAL_DRAIN_LIMIT_MS = 1000;

class CSerialCommImpl : public CLineImplBase
{
public:
    static constexpr uint32_t kTag = 0x43534552; // 'CSER'

    // The open object of port, with a reference more, or a new one opened for it (also the place
    // where a closed object found by a racing close is opened again). Null, with the open step's
    // result, when the port cannot be opened. Port 0 names no port.
    static CSerialCommImpl* Acquire(USHORT port, HRESULT& result);
    // Objects of the process-wide list (tests).
    static size_t GetOpenObjectCount();

    ULONG AddRef();
    // The last reference closes the port and destroys the object; returns the count left.
    ULONG Release();
    ULONG GetRefCount() const;
    bool IsTagged() const { return m_nTag == kTag; }

    // "COM %u" with the port number, 0 while closed.
    virtual CWideString GetName() const;

    // The mend of the settings ids: an id out of range is refused with its own code before the port
    // is touched.
    HRESULT SetPortConfig(ULONG baudId, ULONG dataBitsId, ULONG parityId, ULONG stopBitsId);
    HRESULT GetPortConfig(ULONG* baudId, ULONG* dataBitsId, ULONG* parityId, ULONG* stopBitsId);
    // DTR (RTS) enabled and applied; the argument has no effect.
    HRESULT SetDTR(int value);
    HRESULT SetRTS(int value);
    HRESULT SetModeRTU();
    HRESULT SetModeASCII(int eomCharacter);

    HRESULT OpenPort(USHORT port);
    HRESULT Close();
    bool IsOpen() const;
    // A read, a write or a drain is under way (on any thread).
    bool IsActive() const;
    USHORT GetPortNumber() const { return m_nPortNumber.load(); }

    HRESULT Write(const CByteBuffer& data, ULONG timeoutMs);
    HRESULT Read(ULONG expectedBytes, CByteBuffer& buffer, ULONG totalTimeoutMs, CTransferControl* cancel);
    HRESULT PurgeInput();
    HRESULT PurgeOutput();
    HRESULT Purge();

    ULONG GetLastErrorCode() const;
    CWideString GetLastErrorText() const;
    // The counts under the object lock: they are read or reset only between whole operations.
    HRESULT GetStatistics(ULONG* sent, ULONG* received, ULONG* delivered);
    HRESULT ResetStatistics();

    // What the port runs with (the configuration as requested; a pseudo-terminal may apply less),
    // for tests and diagnostics.
    DCB GetCurrentDcb() const;
    // Its baud rate, without waiting for the object lock: every transaction times its reply by it.
    ULONG GetCurrentBaudRate() const { return m_nBaudRate.load(std::memory_order_relaxed); }
    COMMTIMEOUTS GetCurrentTimeouts() const;
    ULONG GetFramingMode() const;
    const platform::CSerialDevice& GetDevice() const { return m_Device; }

private:
    CSerialCommImpl();
    virtual ~CSerialCommImpl();
    CSerialCommImpl(const CSerialCommImpl&) = delete;
    CSerialCommImpl& operator=(const CSerialCommImpl&) = delete;

    // The default time-outs with the "RTUInterCharacter TO" tunable as the read constant.
    static COMMTIMEOUTS DefaultTimeouts();
    static DCB DefaultDcb();

    HRESULT InitialConfiguration();
    // The initial configuration, traced, unless the port has had it since it was opened: the first
    // read or write of an opened port applies it.
    HRESULT EnsureConfigured();
    HRESULT SetPortTiming(const COMMTIMEOUTS& timeouts);
    HRESULT ApplyDcb(const DCB& dcb);
    HRESULT AdjustWriteTiming();
    HRESULT ClearCommErrors();
    HRESULT PurgeStep(int which);
    // Discards what the driver holds; the caller holds the object lock.
    void DrainLocked();
    // Stand-ins of the platform calls; each sets the last error on failure.
    bool SetCommState(const DCB& dcb);
    bool GetCommState(DCB& dcb);
    CWideString Dump(const CByteBuffer& data) const;
    void SetActive(std::atomic<uint32_t>& flag, bool active);
    // The configuration the port runs with from now on; under the object lock.
    void StoreDcb(const DCB& dcb);

    uint32_t m_bConfigured = 0;
    uint32_t m_bTimeoutsKnown = 0;
    uint32_t m_bDcbKnown = 0;
    // Read without the object lock (IsActive), so that a close can ask a running read to stop.
    std::atomic<uint32_t> m_bWriteActive{0};
    std::atomic<uint32_t> m_bReadActive{0};
    std::atomic<uint32_t> m_bAbort{0};
    uint32_t m_bDrainOnPurge = 1;
    uint8_t m_nEomByte = 0;
    std::atomic<USHORT> m_nPortNumber{0};
    uint32_t m_nLastError = 0;
    uint32_t m_nFramingMode = SERIAL_FRAMING_COUNT;
    platform::CSerialDevice m_Device;
    // The block a read collects its frame in before it hands it over in one piece; kept between
    // reads (under the object lock), so that no read allocates and the byte-at-a-time ASCII reads
    // do not grow the caller's buffer per byte.
    std::vector<uint8_t> m_ReadFrame;
    DCB m_Dcb;
    std::atomic<ULONG> m_nBaudRate; // m_Dcb.BaudRate
    COMMTIMEOUTS m_Timeouts;
    std::atomic<uint32_t> m_nRefCount{0};
    uint32_t m_nTag = kTag;
};

} // namespace NVTools
