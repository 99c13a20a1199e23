#include "device/CommSettingsWord.h"

#include <algorithm>

#include "foundation/ParameterRecords.h"
#include "foundation/ResultCodes.h"

namespace NVSystem
{

HRESULT CheckCommSettings(const sSerialConfig& settings, ULONG maxBaudId)
{
    if (settings.Mode > 1)
        return MODBUSCOMM_E_INVALID_TRANSMISSION_MODE;
    // Three bits hold the baud id: ids below 5 would wrap round into every other field.
    if (settings.BaudId < COMM_SETTINGS_MIN_BAUD_ID ||
        settings.BaudId > std::min(maxBaudId, COMM_SETTINGS_MAX_BAUD_ID))
        return MODBUSCOMM_E_INVALID_BAUD_ID;
    // RTU frames need all eight bits of a byte.
    if (settings.DataBitsId > 1 || (settings.Mode == 0 && settings.DataBitsId == 0))
        return MODBUSCOMM_E_INVALID_DATA_BITS_ID;
    if (settings.ParityId > 2)
        return MODBUSCOMM_E_INVALID_PARITY_ID;
    if (settings.StopBitsId > 1)
        return MODBUSCOMM_E_INVALID_STOP_BITS_ID;
    return S_OK;
}

USHORT EncodeCommSettings(const sSerialConfig& settings)
{
    return static_cast<USHORT>(settings.Mode | (settings.BaudId - COMM_SETTINGS_MIN_BAUD_ID) << 1 |
                               settings.DataBitsId << 4 | settings.ParityId << 5 | settings.StopBitsId << 7);
}

sSerialConfig DecodeCommSettings(USHORT word)
{
    sSerialConfig settings;
    DecodeSerialConfigWord(word, settings.Mode, settings.BaudId, settings.DataBitsId, settings.ParityId,
                           settings.StopBitsId);
    return settings;
}

} // namespace NVSystem
