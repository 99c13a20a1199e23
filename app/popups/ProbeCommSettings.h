// What the probe communication settings popup reads and writes, without the window: the probe's
// Modbus address and serial settings, its Modbus ASCII end-of-message time-out (EOM), end-of-session
// time-out (EOS), measurement cache time-out and Stay Awake.
//
// The probe's side is written one setting after the other, the PC's side of the link follows, and
// the new settings become the connection's and the first stored connection string. Everything is
// checked before the first write, so that a combination the probe cannot take changes nothing; once
// the address has changed, the connection follows it even when a later step fails, so the program
// always knows where the probe answers. A setting the probe did not report when the popup opened
// and the user has not given is not written: the probe keeps what it has rather than a default.
#pragma once

#include <optional>

#include "connection/CommSettings.h"
#include "connection/ProbeConnection.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// The entries of the lists, in order, and the ids they stand for (CommSettings.h); the data bits,
// parity, stop bits and mode ids are the entry indexes, the address is the index plus 1.
inline constexpr ULONG PROBE_COMM_BAUD_IDS[] = {5, 6, 7, 8};
inline constexpr const char16_t* PROBE_COMM_BAUD_TEXTS[] = {u"9600", u"19200", u"38400", u"57600"};
inline constexpr const char16_t* PROBE_COMM_DATA_BITS_TEXTS[] = {u"7", u"8"};
inline constexpr const char16_t* PROBE_COMM_PARITY_TEXTS[] = {u"Even", u"Odd", u"None"};
inline constexpr const char16_t* PROBE_COMM_STOP_BITS_TEXTS[] = {u"1", u"2"};
inline constexpr const char16_t* PROBE_COMM_MODE_TEXTS[] = {u"Modbus RTU", u"Modbus ASCII"};

inline constexpr ULONG PROBE_EOM_MIN = 1000;
inline constexpr ULONG PROBE_EOM_MAX = 15000;
inline constexpr ULONG PROBE_EOS_MIN = 5000;
inline constexpr ULONG PROBE_EOS_MAX = 60000;
inline constexpr ULONG PROBE_CACHE_TIMEOUT_MIN = 1000;
inline constexpr ULONG PROBE_CACHE_TIMEOUT_MAX = 60000;
// Digits a time-out text may have.
inline constexpr UINT PROBE_TIMEOUT_TEXT_MAX = 10;

// The list entry that shows a setting of the connection: the baud entry of the id (-1 when none
// has it), data bits and stop bits 1 for any id but 0, parity 2 for any id above 1, mode 1 for
// ASCII only, the address's own entry (0, the entry "1", for an address outside 1..247).
int BaudEntryOf(ULONG baudId);
int DataBitsEntryOf(ULONG dataBitsId);
int ParityEntryOf(ULONG parityId);
int StopBitsEntryOf(ULONG stopBitsId);
int ModeEntryOf(ULONG mode);
int AddressEntryOf(USHORT address);

// The value of a time-out text; 0 (never valid) for an empty text, a larger number than any valid
// one for a text beyond the 32-bit range.
ULONG ParseTimeoutText(const CWideString& text);

struct sProbeCommChoice
{
    sCommSettings Line; // the port is not written
    // Nothing: the probe did not report it and the user has not given one; it is not written.
    std::optional<ULONG> Eom;
    std::optional<ULONG> Eos;
    std::optional<ULONG> CacheTimeout;
    BOOL StayAwakeSupported = FALSE;
    std::optional<BOOL> StayAwake;
    // FALSE for a probe without the measurement cache register: nothing is checked or written.
    BOOL CacheTimeoutSupported = TRUE;
};

// Each time-out that is to be written in its range: EOM 1000..15000 (in RTU mode too: the value is
// written all the same), EOS 5000..60000 and, when the probe has it, the cache time-out 1000..60000.
BOOL AreProbeTimeoutsValid(const sProbeCommChoice& choice);

// The connection's serial settings and address, and what the connected probe reports of the rest;
// a value that cannot be read is left out.
sProbeCommChoice LoadProbeCommChoice(CProbeConnection& connection);

enum class EProbeCommStep
{
    None,
    NotConnected, // no device, network or serial port: nothing was done
    Eom,
    Eos,
    StayAwake,
    CacheTimeout,
    Address,
    SerialConfig,
    PcSide,
};

struct sProbeCommOutcome
{
    EProbeCommStep FailedStep = EProbeCommStep::None;
    HRESULT Result = S_OK;
    // The step's values were refused before anything was written.
    BOOL Refused = FALSE;

    BOOL Succeeded() const { return FailedStep == EProbeCommStep::None ? TRUE : FALSE; }
};

// The check made before the first write: the time-outs as AreProbeTimeoutsValid, the address
// 1..247, and serial settings the probe can take (RTU needs 8 data bits, the baud id at most the
// probe's maximum). The failed step names the setting.
sProbeCommOutcome CheckProbeCommChoice(const sProbeCommChoice& choice, ULONG maxBaudId);

// Checks, writes the probe's side in the order EOM, EOS, Stay Awake (when supported), cache
// time-out (when the probe has it), each of these four only when the choice holds a value, then
// address and serial settings, then sets the PC's side (framing, then port) and stores the settings
// in the connection and as its first connection string. A failure stops the sequence; the PC's side
// then keeps its old settings, except that an address already changed is the connection's (and
// stored) from then on.
sProbeCommOutcome ApplyProbeCommChoice(CProbeConnection& connection, const sProbeCommChoice& choice);

// "Failed to set device EOM value.\nError: XXXXXXXX (<message of the code>)" and the like.
CWideString FormatProbeCommFailure(EProbeCommStep step, HRESULT code);
