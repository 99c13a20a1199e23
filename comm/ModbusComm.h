// The Modbus master of one communication line. It owns the transport through which the line is
// reached, the one request/reply message of the line, the framing mode, the retry and busy policy,
// the wake-up table with the line's idle clock, the line statistics, an optional line trace and the
// list of device objects created on the line. The application creates one per connected port;
// every device object on the line holds a counted reference to it.
//
// Every operation runs to its end on the calling thread under the line lock, which serialises all
// traffic of the line (re-entrant: operations call each other while holding it). Results are
// result codes; an exception never leaves an operation (MODBUSCOMM_E_EXCEPTION).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "comm/DeviceLink.h"
#include "comm/IOAbstract.h"
#include "comm/ModbusMessage.h"
#include "comm/SlaveIdInfo.h"
#include "comm/WakeUpTable.h"
#include "foundation/ByteBuffer.h"
#include "foundation/DeviceTimestamp.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/ResultCodes.h"
#include "foundation/TraceLog.h"
#include "foundation/WideString.h"
#include "platform/Sync.h"
#include "platform/Types.h"

namespace NVSystem
{
class CDeviceComm;
}

// The line statistics, in this order; they only ever grow.
enum ModbusStatistic : uint32_t
{
    MODBUS_STAT_REQUESTS_WRITTEN = 0, // every attempt that reaches the write
    MODBUS_STAT_RESENDS,              // attempts after the first
    MODBUS_STAT_VALID_REPLIES,        // replies that passed validation
    MODBUS_STAT_NO_REPLY,             // no usable reply: nothing received, or a Report Slave ID time-out
    MODBUS_STAT_INVALID_REPLIES,      // replies that failed validation, and busy exceptions
    MODBUS_STAT_EXCEPTIONS,           // exception replies other than busy
    MODBUS_STAT_READ_FAILURES,        // read failures other than a time-out
    MODBUS_STAT_WRITE_FAILURES,       // write failures
    MODBUS_STAT_COUNT
};

// One run of registers for ReadRegisterBlocks.
struct sRegisterBlock
{
    USHORT Register = 0; // five-digit register number
    USHORT Count = 0;
};

class CModbusComm
{
public:
    static constexpr uint32_t kSignature = 0x4D42434D; // 'MBCM'

    // A new network with one reference; null when memory runs out.
    static CModbusComm* Create();
    CModbusComm(const CModbusComm&) = delete;
    CModbusComm& operator=(const CModbusComm&) = delete;

    // The new count.
    ULONG AddRef();
    // The count left; the last reference detaches the transport and destroys the network.
    ULONG Release();
    // The signature device objects compare before they use a network.
    bool IsTagged() const { return m_nSignature.load() == kSignature; }

    // --- The line ---

    // Attaches a new handle that shares the port's line (an empty handle for a port without one).
    HRESULT ConnectCommLink(NVTools::CSerialComm& port);
    // Takes ownership of the transport. E_POINTER for null; MODBUSCOMM_E_CONNECTION_MISMATCH while
    // another transport is attached (the same one again changes nothing).
    HRESULT AttachTransport(NVTools::IIOAbstract* transport);
    // Deletes the attached transport, if any; the network can take another.
    HRESULT DisconnectCommLink();
    // A new handle of the line's class that shares the line; the caller owns it. Null without a
    // transport, for a handle without a line, or for a class that cannot be copied.
    NVTools::IIOAbstract* CloneCommLink();
    // MODBUSCOMM_E_NO_CONNECTION without a transport.
    HRESULT GetConnectionType(ULONG& type);

    // 0 RTU, 1 ASCII, 2 TCP. On a serial line the port's read framing follows (RTU for 0 and 2,
    // ASCII ending at LF otherwise); the mode itself is stored unchecked, and framing refuses
    // modes other than 0..2.
    HRESULT SetTransmissionMode(ULONG mode);
    HRESULT GetTransmissionMode(ULONG& mode);
    // Extra milliseconds added to every reply time-out.
    HRESULT GetTransmissionDelay(USHORT& delay);

    void EnableAutoWakeUp();
    void DisableAutoWakeUp();
    BOOL IsAutoWakeUpEnabled();
    // The idle time after which the device at the address needs a wake-up. Address above 255:
    // MODBUSCOMM_E_INVALID_ADDRESS.
    HRESULT SetDeviceEOS(USHORT address, USHORT ms);
    USHORT GetDeviceEOS(USHORT address);

    // Broadcasts, at every serial setting an instrument on the line may be using, the default
    // setting (RTU, 19200 baud, 8 data bits, even parity, 1 stop bit), then at that setting the
    // address 1, and leaves the port there. Serial lines without a transmission delay only, else
    // MODBUSCOMM_E_INVALID_CONNECTION_TYPE. Holds the line for the whole sweep (about 22 s).
    HRESULT ResetDeviceCommunications();
    // The sweep's pauses (100 and 200 ms at each setting, 300 ms at the end), which give the
    // instruments time to take a setting, go to this function instead of a sleep; null sleeps
    // again (tests).
    void SetResetPauseForTests(std::function<void(ULONG ms)> pause);

    // --- The devices created on the line, in creation order ---

    // The device factory: identifies the instrument at the address (Report Slave ID, 500 ms, 3
    // retries), creates the device object of its class (comm/DeviceFactoryHook.h), links it to the
    // line and appends it to the list. Linking takes the device lock, so it runs without the line
    // lock (which lies inside it); the list changes under the line lock. The caller receives one
    // reference. An instrument in its boot code gives the device with MODBUSCOMM_S_NO_APP_FIRMWARE.
    // On failure the device is null and the list unchanged.
    HRESULT CreateDeviceForAddress(USHORT address, NVSystem::CDeviceComm*& device);
    // The device factory appends each device it links to the line. E_POINTER for null.
    HRESULT AddDevice(NVSystem::ILinkedDevice* device);
    // Forgets the device (the others keep their order) and stops waking its address. A device
    // not in the list: 0, nothing changed.
    HRESULT RemoveDevice(NVSystem::ILinkedDevice* device);
    ULONG GetDeviceCount();
    // Null past the end.
    NVSystem::ILinkedDevice* GetDevice(ULONG index);

    // --- Transactions ---

    // Runs the request held by the message object: wake-up of an idle line, inter-message delay,
    // purge, write, read of one reply frame, validation, retries on a missing or invalid reply,
    // retries on the busy exception, cancellation, statistics. retries: repetitions after the first
    // attempt. The caller holds the line lock and has built the request.
    HRESULT ExecuteTransaction(ULONG timeoutMs, USHORT retries);
    // Report Slave ID to address 200, once (twice in ASCII), each followed by a pause; no reply is
    // read. Restarts the idle clock.
    HRESULT WakeUpNetwork();
    // WakeUpNetwork only when the device at the address may be asleep, by the rule of the automatic
    // wake-up: the line not heard yet, or idle for the device's wake-up time (S_OK once woken).
    // S_FALSE at once otherwise: a probe that has just answered is not woken again.
    HRESULT WakeUpIfAsleep(USHORT address);
    // An exchange with the device at the address that may find it asleep: WakeUpIfAsleep, then the
    // exchange. When the wake-up was skipped and the exchange fails, the line is woken and the
    // exchange runs once more, so that a device that went to sleep sooner than the line's idle
    // clock says (its EOS changed by someone else, a frame that only half woke it) is never taken
    // for gone without the wake-up it needs. The exchange's last result.
    HRESULT ExchangeAwake(USHORT address, const std::function<HRESULT()>& exchange);
    // The devices on the line were heard at the tick through another network on the same port (a
    // search that has just read the probe): the idle clock and the inter-message delay run from
    // there, as if this network had made that exchange.
    void SetLastHeard(uint64_t tick);
    // Milliseconds that byteCount characters take on the line (19200 baud unless the serial port
    // says otherwise).
    ULONG GetTransmitTime(ULONG byteCount);

    // --- A device that stops answering ---
    //
    // With the silence check on, a transaction whose tries all went unanswered (IsUnansweredResult:
    // nothing came back, which a refusal or a garbled reply is not) leaves the line unheard. The
    // next transaction of any caller is then preceded by one short check, made as the keep-alive
    // reads: the line woken, whatever its idle clock says (the unanswered tries restarted it, but
    // the device never heard them and may have gone to sleep), then a read of the check register at
    // that transaction's address with the check time-out and one retry. While the device answers
    // the check, everything goes on as before. When it does not, the device is silent for good:
    // that transaction and every later one fail at once with the check's result, and nothing more
    // goes out on the line, wake-ups included. A check that is cancelled, or that cannot go to the
    // transaction's address (a broadcast), tells nothing: the line stays unheard. Off by default: a
    // search or a reset sweep expects silence.
    void EnableSilenceCheck(USHORT checkRegister, ULONG checkTimeoutMs);
    // The check found the device silent. Any thread.
    bool IsSilent() const { return m_bSilent.load(); }
    // An exchange went unanswered and no check has been made since. Any thread.
    bool IsUnheard() const { return m_bUnheard.load(); }
    // For a caller that ends its use of the line after an unanswered exchange: the short check now,
    // when the line is unheard, so that whoever comes next learns whether the device is silent.
    // False when it is silent (also when it was found so before); true otherwise: when the device
    // answered, when the check was cancelled or could not be made (which tells nothing), and when the
    // check is off.
    bool CheckIfUnheard(USHORT address);
    // While suspended (counted), transactions are neither checked nor refused, and one that goes
    // unanswered leaves the line as it was (one that is answered still counts): for a device that
    // is meant to be deaf for a while (a restart into its boot code).
    void SuspendSilenceCheck();
    void ResumeSilenceCheck();
    // The check suspended for as long as the object lives.
    class CSilenceCheckPause
    {
    public:
        explicit CSilenceCheckPause(CModbusComm& network) : m_network(network)
        {
            m_network.SuspendSilenceCheck();
        }
        ~CSilenceCheckPause() { m_network.ResumeSilenceCheck(); }
        CSilenceCheckPause(const CSilenceCheckPause&) = delete;
        CSilenceCheckPause& operator=(const CSilenceCheckPause&) = delete;

    private:
        CModbusComm& m_network;
    };
    // Every public operation clears the cancel flag on entry; Cancel, from another thread, ends a
    // running transaction before its next attempt with MODBUSCOMM_E_CANCELLED.
    void ClearCancel() { m_bCancel.store(0); }
    void Cancel() { m_bCancel.store(1); }
    void GetStatistics(ULONG (&counters)[MODBUS_STAT_COUNT]) const;

    // --- Register operations by five-digit register number (30001..39999 input registers,
    // 40001..49999 holding registers). Outputs are emptied first. ---

    // 2 x count bytes, big-endian registers; a count of 0 reads nothing. A reply that does not
    // carry exactly the registers asked for fails with MODBUSCOMM_E_INVALID_RESPONSE_LENGTH and
    // leaves the data empty: every read, typed or not, passes this check.
    HRESULT ReadRegisters(USHORT address, USHORT registerNumber, USHORT count, CByteBuffer& data,
                          ULONG timeoutMs, USHORT retries);
    // The same read; replyBytes receives the register bytes the reply carried, also when it was
    // refused for its length (0 when no reply came), for a caller that names a short reply in its
    // own terms.
    HRESULT ReadRegisters(USHORT address, USHORT registerNumber, USHORT count, CByteBuffer& data,
                          ULONG timeoutMs, USHORT retries, ULONG& replyBytes);
    // The value is written only on success.
    HRESULT ReadUShort(USHORT address, USHORT registerNumber, USHORT& value, ULONG timeoutMs, USHORT retries);
    HRESULT ReadULong(USHORT address, USHORT registerNumber, ULONG& value, ULONG timeoutMs, USHORT retries);
    HRESULT ReadFloat(USHORT address, USHORT registerNumber, float& value, ULONG timeoutMs, USHORT retries);
    // Three registers: seconds in the network's word order, fraction. Cleared first.
    HRESULT ReadTime(USHORT address, USHORT registerNumber, CDeviceTimestamp& timestamp, ULONG timeoutMs,
                     USHORT retries);
    // 32 registers of UTF-16 code units; zero units are dropped.
    HRESULT ReadString(USHORT address, USHORT registerNumber, CWideString& text, ULONG timeoutMs,
                       USHORT retries);
    // The blocks follow each other without gaps and are read in as few requests as the packet
    // limit allows (at most 125 registers each); their data appended in list order. On failure
    // the data holds what was read before it.
    HRESULT ReadRegisterBlocks(USHORT address, CByteBuffer& data, ULONG timeoutMs, USHORT retries,
                               USHORT maxPacket, const CDynArray<sRegisterBlock>& blocks);

    // Function 16 to holding registers; address 0 broadcasts. At most 60 registers.
    HRESULT WriteRegisters(USHORT address, USHORT registerNumber, USHORT count, const CByteBuffer& data,
                           ULONG timeoutMs, USHORT retries);
    HRESULT WriteUShort(USHORT address, USHORT registerNumber, USHORT value, ULONG timeoutMs, USHORT retries);
    HRESULT WriteULong(USHORT address, USHORT registerNumber, ULONG value, ULONG timeoutMs, USHORT retries);
    HRESULT WriteFloat(USHORT address, USHORT registerNumber, float value, ULONG timeoutMs, USHORT retries);

    // --- Identity ---

    // The function-17 reply data after address, function and byte count.
    HRESULT RequestSlaveId(USHORT address, CByteBuffer& data, ULONG timeoutMs, USHORT retries);
    // Requests the identity block and decodes it. The record is cleared first (unless the address
    // is refused) and keeps what was decoded before a deviation from the format.
    HRESULT ReportSlaveId(USHORT address, SlaveIdInfo& record, ULONG timeoutMs, USHORT retries);

    // --- The maker's file functions ---

    // Function 102: the record goes out and the reply's record comes back into it.
    HRESULT ExtendedFileRequest(USHORT address, sFileCommand& record, ULONG timeoutMs, USHORT retries);
    // Function 100: the block's bytes; with a read-file format of 2 or more followed by the reply's
    // one trailing byte. A length of 0 reads nothing.
    HRESULT ReadFileBlock(USHORT address, ULONG offset, USHORT length, CByteBuffer& data, ULONG timeoutMs,
                          USHORT retries, USHORT readFileFormat);
    // Function 101; address 0 broadcasts. Empty data sends nothing.
    HRESULT WriteFileBlock(USHORT address, ULONG offset, const CByteBuffer& data, ULONG timeoutMs,
                           USHORT retries);

    // Word order of 32-bit values in register data: high word first unless set to 0.
    std::atomic<uint32_t> m_bHighWordFirst{1};

private:
    CModbusComm();
    ~CModbusComm();

    // Runs an operation and turns an exception into MODBUSCOMM_E_EXCEPTION.
    template <typename Operation>
    static HRESULT Guarded(Operation&& operation) noexcept
    {
        try
        {
            return operation();
        }
        catch (...)
        {
            return MODBUSCOMM_E_EXCEPTION;
        }
    }

    bool IsCancelled() const { return m_bCancel.load() != 0; }
    void Count(ModbusStatistic statistic)
    {
        m_nStatistics[statistic].fetch_add(1, std::memory_order_relaxed);
    }
    // ExecuteTransaction for a caller that holds the line lock, as every operation does: the
    // silence check around the exchange.
    HRESULT RunTransaction(ULONG timeoutMs, USHORT retries);
    // The exchange itself: wake-up, attempts, validation.
    HRESULT RunExchange(ULONG timeoutMs, USHORT retries);
    // Under the line lock, with the check on and not suspended: S_OK when the transaction to the
    // address may go out (after the short check, when the line is unheard); the silent result when
    // it may not.
    HRESULT MayTalkTo(USHORT address);
    // Under the line lock: notes whether a transaction went unanswered.
    void NoteAnswer(HRESULT hr);
    // Under the line lock: the short check in a message of its own, the line's message (which holds
    // the caller's request) put back afterwards: the line woken (unless its last frame was a wake-up
    // that the device cannot have slept since), then the read of the check register
    // with the check time-out and one retry. Its result; none when it could not be made (an address
    // it cannot go to).
    std::optional<HRESULT> RunCheck(USHORT address);
    // Builds the read of count registers by five-digit register number into the message.
    static HRESULT BuildRegisterRead(CModbusMessage& message, USHORT address, USHORT registerNumber,
                                     USHORT count);
    // GetTransmitTime for a caller that holds the line lock.
    ULONG TransmitTimeLocked(ULONG byteCount);
    // Milliseconds on the idle clock; 0 before it first ran.
    uint64_t IdleMs(uint64_t now) const { return m_LastTraffic ? now - *m_LastTraffic : 0; }
    // Under the line lock: whether the device at the address needs a wake-up before a request.
    bool MayBeAsleep(USHORT address, uint64_t now) const;
    // The typed reads: count registers read under the line lock, then decode(data) on success.
    template <typename Decode>
    HRESULT ReadDecoded(USHORT address, USHORT registerNumber, USHORT count, ULONG timeoutMs, USHORT retries,
                        Decode&& decode);
    void OpenLineTrace();

    std::atomic<uint32_t> m_bCancel{0};
    uint32_t m_bAutoWakeUp = 0;
    // While 0 a broadcast is sent without reading a reply; no operation changes it.
    uint32_t m_bReadBroadcastReplies = 0;
    USHORT m_nTransmissionDelay = 0;
    USHORT m_nLastReadCount = 0; // registers of the last ReadRegisters request
    std::array<std::atomic<uint32_t>, MODBUS_STAT_COUNT> m_nStatistics{};
    uint32_t m_nBusyResponseDelay = 0;
    uint32_t m_nBusyRetryLimit = 0;
    std::atomic<uint32_t> m_nRefCount{0};
    std::atomic<uint32_t> m_nSignature{kSignature};
    ULONG m_nMode = 0;
    platform::CCriticalSection m_LineLock;
    NVTools::IIOAbstract* m_pTransport = nullptr;
    std::unique_ptr<CModbusMessage> m_pMessage;
    // The reply an attempt reads, under the line lock; its block serves every transaction.
    CByteBuffer m_Reply;
    // The idle clock, under the line lock: the tick of the line's last request or reply or of the
    // end of a wake-up; none before the first.
    std::optional<uint64_t> m_LastTraffic;
    // The tick of the last frame on the line (a request, a reply or a wake-up frame), from which
    // the inter-message delay is kept, under the line lock; none before the first.
    std::optional<uint64_t> m_LastFrame;
    // The line's last frame was a wake-up whose frames all went out, and nothing has been sent
    // since, under the line lock.
    bool m_bJustWoken = false;
    CTraceLog m_Trace;
    CWakeUpTable m_WakeUpTable;
    CDynArray<NVSystem::ILinkedDevice*> m_Devices;
    std::function<void(ULONG ms)> m_ResetPause; // under the line lock
    // The silence check, under the line lock but for the silent flag and its result.
    bool m_bSilenceCheck = false;
    std::unique_ptr<CModbusMessage> m_pCheckMessage;
    uint32_t m_nSilenceCheckPaused = 0;
    std::atomic<bool> m_bUnheard{false};
    USHORT m_nCheckRegister = 0;
    ULONG m_nCheckTimeoutMs = 0;
    std::atomic<bool> m_bSilent{false};
    std::atomic<HRESULT> m_SilentResult{S_OK};
    // The check's repetitions after its first try: one lost reply is not silence.
    static constexpr USHORT kSilenceCheckRetries = 1;
};

// No reply came at all: a read time-out, an empty read, or the port failing to write or read.
// A refusal (an exception reply) or a reply that fails validation is an answer.
bool IsUnansweredResult(HRESULT hr);
