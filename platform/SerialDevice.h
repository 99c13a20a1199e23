// A serial device opened the way the serial transport needs it: exclusive (TIOCEXCL and an flock,
// since TIOCEXCL alone does not stop a privileged second opener), no controlling terminal, raw
// mode, HUPCL cleared so that closing does not drop DTR, and poll() for millisecond time-outs.
//
// Pseudo-terminals refuse parity, 7 data bits and the modem-control ioctls on the machines this
// runs on (EINVAL, ENOTTY). On a pseudo-terminal the device therefore applies what it accepts and
// reports the rest as not applied; on a real port a refused setting is an error.
//
// Every call answers 0 or an errno value. Nothing here locks: the owner serialises its calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform
{

enum class SerialParity : uint8_t
{
    None,
    Odd,
    Even,
    Mark,
    Space
};

struct SerialLineSettings
{
    uint32_t baudRate = 19200;
    uint8_t dataBits = 8; // 5..8
    SerialParity parity = SerialParity::None;
    uint8_t stopBits = 1; // 1 or 2
    bool dtr = true;
    bool rts = true;

    friend bool operator==(const SerialLineSettings&, const SerialLineSettings&) = default;
};

// Line error events in the bits the transport reports them with.
inline constexpr uint32_t SERIAL_ERROR_RX_OVERFLOW = 0x0001; // the driver's buffer overflowed
inline constexpr uint32_t SERIAL_ERROR_OVERRUN = 0x0002;     // the UART lost a character
inline constexpr uint32_t SERIAL_ERROR_PARITY = 0x0004;
inline constexpr uint32_t SERIAL_ERROR_FRAMING = 0x0008;
inline constexpr uint32_t SERIAL_ERROR_BREAK = 0x0010;

// True for the slave side of a pseudo-terminal.
bool IsPseudoTerminal(int fd);

// Puts the line into raw mode with the given settings. With pseudoTerminal set, a refusal of parity
// or of fewer than 8 data bits is answered by applying the line without them, and refused
// modem-control ioctls are ignored; `applied` (optional) receives what the device took. Without it
// every refusal is returned. EINVAL for a baud rate of 0 or data or stop bits out of range.
int ApplyLineSettings(int fd, const SerialLineSettings& settings, bool pseudoTerminal,
                      SerialLineSettings* applied);

class CSerialDevice
{
public:
    CSerialDevice() = default;
    ~CSerialDevice();
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // EBUSY when another opener holds the device; ENOTTY for a file that is no terminal; EISCONN
    // when this object is open already. Settles nothing about the line: Apply does that.
    int Open(const std::string& path);
    // Idempotent; answers the error of close(2), if any.
    int Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool IsPseudoTerminal() const { return m_bPseudoTerminal; }
    const std::string& Path() const { return m_path; }

    // The pseudo-terminal rule above. On success Requested() is the settings given, Applied() what
    // the device took.
    int Apply(const SerialLineSettings& settings);
    const SerialLineSettings& Requested() const { return m_requested; }
    const SerialLineSettings& Applied() const { return m_applied; }
    // What the device reports now. Lines a pseudo-terminal cannot tell are taken from Requested().
    int Query(SerialLineSettings& settings) const;

    // Received bytes not yet read, bytes not yet sent, both.
    int PurgeInput();
    int PurgeOutput();
    int Purge();

    // Waits up to timeoutMs for input, then reads what is there, at most n bytes. A time-out is
    // success with got = 0. A hang-up of the other side reads as EIO.
    int Read(uint8_t* buffer, size_t n, uint32_t timeoutMs, size_t& got);
    // Hands all n bytes to the driver within timeoutMs (0: only what it takes at once). ETIMEDOUT
    // when some are left; written tells how many went.
    int Write(const uint8_t* data, size_t n, uint32_t timeoutMs, size_t& written);

    // The SERIAL_ERROR_ bits of the line errors since the previous call. A device that keeps no
    // counters (a pseudo-terminal) has none.
    int TakeLineErrors(uint32_t& mask);

private:
    struct ErrorCounts
    {
        uint32_t bufferOverrun = 0;
        uint32_t overrun = 0;
        uint32_t parity = 0;
        uint32_t frame = 0;
        uint32_t brk = 0;
    };
    int ReadErrorCounts(ErrorCounts& counts) const;

    int m_fd = -1;
    bool m_bPseudoTerminal = false;
    std::string m_path;
    SerialLineSettings m_requested;
    SerialLineSettings m_applied;
    ErrorCounts m_errorBase;
};

} // namespace platform
