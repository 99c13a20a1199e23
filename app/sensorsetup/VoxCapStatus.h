// The sensing cap of the optical dissolved-oxygen sensor: whether one is fitted and whether its
// factory calibration has run out. The sensor watch compares the status with the one it saw last;
// the sensor list shows the cap in the sensor's entry.
#pragma once

#include "connection/ProbeConnection.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

enum : ULONG
{
    VOX_CAP_OK = 0,
    VOX_CAP_NOT_DETECTED = 1,
    VOX_CAP_EXPIRED = 2,
    VOX_CAP_READ_ERROR = 3,
};

// Register offsets in the optical sensor's window.
inline constexpr USHORT VOX_CAP_SERIAL_OFFSET = 1;
inline constexpr USHORT VOX_CAP_EXPIRY_OFFSET = 7;

// Reads the cap's serial number (0 for none, or for a sensor unplugged or gone from the probe's
// table) and expiry against the device's clock: VOX_CAP_NOT_DETECTED without a cap, VOX_CAP_EXPIRED
// once the device's time is past the expiry, VOX_CAP_READ_ERROR when the sensor or the device
// cannot be read. The caller keeps the
// connected device for the call (the user-interface thread, or a worker counted busy).
ULONG GetVoxCapStatus(ULONG& capSerial, CProbeConnection& connection);

enum class EVoxCapTextProblem
{
    None,
    NoInterface,    // the probe gave no optical-DO sensor interface
    DateUnreadable, // the next factory calibration date could not be read (code)
};

struct sVoxCapText
{
    CWideString text;
    EVoxCapTextProblem problem = EVoxCapTextProblem::None;
    HRESULT code = S_OK;
};

// The sensor list's entry of the optical sensor: "VOX®-Dissolved Oxygen (Cap not detected)",
// "(Cap expired)" or "(Cap expires <date>)" with the date in the user's format; an unreadable date
// shows as that of a zero time stamp and is reported.
sVoxCapText GetVoxCapText(CProbeConnection& connection);
