// The system's own result codes that code refers to by name. The error table holds the text of
// every code of the system's facilities; the standard platform codes (S_OK, E_FAIL, ...) come from
// platform/Types.h.
#pragma once

#include "platform/Types.h"

// Serial transport.
inline constexpr HRESULT SERIALCOMM_E_READ_TIMEOUT = ResultCode(0x81000006u);
inline constexpr HRESULT SERIALCOMM_E_IN_USE = ResultCode(0x81000010u);
inline constexpr HRESULT SERIALCOMM_E_OBJECT_INVALID = ResultCode(0x81000011u);

// Modem transport.
inline constexpr HRESULT TAPI_E_READ_TIMEOUT = ResultCode(0x81090012u);

// TCP/IP transport.
inline constexpr HRESULT IPCOMM_E_READ_TIMEOUT = ResultCode(0x810A0005u);

// Modbus network and device layer. A Modbus exception reply with exception code c is reported as
// MODBUSCOMM_E_EXCEPTION_BASE + c.
inline constexpr HRESULT MODBUSCOMM_E_EXCEPTION_BASE = ResultCode(0x81010000u);
inline constexpr HRESULT MODBUSCOMM_E_BUSY = ResultCode(0x81010006u);
inline constexpr HRESULT MODBUSCOMM_E_PORT_NO_SENSOR = ResultCode(0x81010094u);
inline constexpr HRESULT MODBUSCOMM_E_EXCEPTION_CDEVICE = ResultCode(0x8101012Du);
inline constexpr HRESULT MODBUSCOMM_E_EXCEPTION = ResultCode(0x8101012Eu);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_DEVICE_ADDRESS = ResultCode(0x81010138u);
inline constexpr HRESULT MODBUSCOMM_E_NO_CONNECTION = ResultCode(0x8101013Eu);
inline constexpr HRESULT MODBUSCOMM_E_CANCELLED = ResultCode(0x8101013Fu);
inline constexpr HRESULT MODBUSCOMM_E_SLAVEID_FORMAT = ResultCode(0x81010145u);
inline constexpr HRESULT MODBUSCOMM_E_MAX_PACKET = ResultCode(0x81010146u);
inline constexpr HRESULT MODBUSCOMM_E_CONNECTION_MISMATCH = ResultCode(0x81010149u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_BAUD_ID = ResultCode(0x8101014Cu);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_DATA_BITS_ID = ResultCode(0x8101014Du);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_ADDRESS = ResultCode(0x81010150u);
inline constexpr HRESULT MODBUSCOMM_E_EMPTY_READ = ResultCode(0x81010151u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_SENSOR_PORT = ResultCode(0x8101015Du);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_PARAMETER_NUMBER = ResultCode(0x81010162u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_BIT_NUMBER = ResultCode(0x81010163u);
inline constexpr HRESULT MODBUSCOMM_E_NO_ACTIVE_LOG = ResultCode(0x81010164u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_INDEX = ResultCode(0x8101016Bu);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_ANALOG_SCALE = ResultCode(0x8101016Du);
inline constexpr HRESULT MODBUSCOMM_E_EXCEPTION_CDC = ResultCode(0x8101016Eu);
inline constexpr HRESULT MODBUSCOMM_E_NO_APP_FIRMWARE = ResultCode(0x81010171u);
inline constexpr HRESULT MODBUSCOMM_E_DEVICE_CHANGED = ResultCode(0x81010176u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_DEVICE_THIS = ResultCode(0x81010178u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_SENSOR_THIS = ResultCode(0x81010179u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_SENSOR_CTRL = ResultCode(0x8101017Au);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_SENSOR_HEADER_SIZE = ResultCode(0x8101017Cu);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_PARAMETER_BLOCK_SIZE = ResultCode(0x8101017Du);
inline constexpr HRESULT MODBUSCOMM_E_NOT_SUPPORTED = ResultCode(0x81010186u);
inline constexpr HRESULT MODBUSCOMM_E_FILE_TRANSFER_ACTIVE = ResultCode(0x81010188u);
inline constexpr HRESULT MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED = ResultCode(0x8101018Du);
inline constexpr HRESULT MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN = ResultCode(0x8101018Eu);
// Has no row in the error table: it shows as "Unknown Error".
inline constexpr HRESULT MODBUSCOMM_E_SENSOR_ID_NOT_FOUND = ResultCode(0x810E005Fu);

// Modbus network and device layer, success with information.
inline constexpr HRESULT MODBUSCOMM_S_NO_APP_FIRMWARE = ResultCode(0x01010170u);

// Log files, notes and the SDI-12 configuration file.
inline constexpr HRESULT LOGFILE_E_NOT_LOADED = ResultCode(0x8102006Eu);
inline constexpr HRESULT LOGFILE_E_INVALID_TYPE = ResultCode(0x81020071u);
inline constexpr HRESULT LOGFILE_E_INVALID_META_TYPE = ResultCode(0x81020076u);
inline constexpr HRESULT LOGFILE_E_INVALID_INDEX = ResultCode(0x81020079u);
inline constexpr HRESULT LOGFILE_E_META_NOT_FOUND = ResultCode(0x8102007Bu);
inline constexpr HRESULT LOGFILE_E_INVALID_NOTE_TYPE = ResultCode(0x8102009Eu);
inline constexpr HRESULT LOGNOTES_E_INVALID_USER_NOTE_SUBTYPE = ResultCode(0x810200AEu);

// Buffers and files.
inline constexpr HRESULT E_BUFFER_EXTRACTION_OVERRUN = ResultCode(0x810F0009u);

// Serial transport.
inline constexpr HRESULT SERIALCOMM_E_PORT_CLOSED = ResultCode(0x81000001u);
inline constexpr HRESULT SERIALCOMM_E_WRITE = ResultCode(0x81000002u);
inline constexpr HRESULT SERIALCOMM_E_WRITE_INCOMPLETE = ResultCode(0x81000003u);
inline constexpr HRESULT SERIALCOMM_E_READ = ResultCode(0x81000004u);
inline constexpr HRESULT SERIALCOMM_E_SET_TIMEOUTS = ResultCode(0x81000005u);
inline constexpr HRESULT SERIALCOMM_E_PURGE_INPUT = ResultCode(0x81000007u);
inline constexpr HRESULT SERIALCOMM_E_PURGE_OUTPUT = ResultCode(0x81000008u);
inline constexpr HRESULT SERIALCOMM_E_PURGE = ResultCode(0x81000009u);
inline constexpr HRESULT SERIALCOMM_E_OPEN = ResultCode(0x8100000Au);
inline constexpr HRESULT SERIALCOMM_E_SET_DCB = ResultCode(0x8100000Bu);
inline constexpr HRESULT SERIALCOMM_E_GET_STATUS = ResultCode(0x8100000Cu);
inline constexpr HRESULT SERIALCOMM_E_READ_CANCELLED = ResultCode(0x8100000Fu);
inline constexpr HRESULT SERIALCOMM_E_CLEAR_ERRORS = ResultCode(0x81000012u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_PARITY_ID = ResultCode(0x8101014Eu);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_STOP_BITS_ID = ResultCode(0x8101014Fu);

// Network object and register blocks.
inline constexpr HRESULT MODBUSCOMM_E_INVALID_CONNECTION_TYPE = ResultCode(0x8101013Du);
inline constexpr HRESULT MODBUSCOMM_E_BLOCK_READ_MINIMUM = ResultCode(0x8101017Bu);

// Device file commands and transfers.
inline constexpr HRESULT MODBUSCOMM_E_UNKNOWN_FILE_ERROR = ResultCode(0x81010142u);
inline constexpr HRESULT MODBUSCOMM_E_FILE_TOO_LARGE = ResultCode(0x81010156u);
inline constexpr HRESULT MODBUSCOMM_E_UNKNOWN_WRITE_ERROR = ResultCode(0x8101015Au);

// Modbus framing.
inline constexpr HRESULT MODBUSCOMM_E_INVALID_RTU_MESSAGE = ResultCode(0x8101012Fu);
inline constexpr HRESULT MODBUSCOMM_E_MESSAGE_NOT_INITIALIZED = ResultCode(0x81010132u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_RESPONSE_FORMAT = ResultCode(0x81010133u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_RESPONSE_CRC = ResultCode(0x81010134u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_RESPONSE_LENGTH = ResultCode(0x81010135u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_RESPONSE_ADDRESS = ResultCode(0x81010136u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_RESPONSE_FUNCTION = ResultCode(0x81010137u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_DATA_ADDRESS = ResultCode(0x81010139u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_WRITE_DATA = ResultCode(0x8101013Bu);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_TRANSMISSION_MODE = ResultCode(0x81010147u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_PARAMETER = ResultCode(0x81010148u);
inline constexpr HRESULT MODBUSCOMM_E_INVALID_REGISTER_COUNT = ResultCode(0x8101014Bu);
inline constexpr HRESULT MODBUSCOMM_E_IP_SEQUENCE = ResultCode(0x81010187u);

// Modem transport.
inline constexpr HRESULT TAPI_E_PORT_CLOSED = ResultCode(0x81090007u);
inline constexpr HRESULT TAPI_E_NOTHING_WRITTEN = ResultCode(0x8109000Eu); // "TAPI - port closed."
inline constexpr HRESULT TAPI_E_WRITE_WAIT = ResultCode(0x81090013u);
inline constexpr HRESULT TAPI_E_IOQ_WAIT = ResultCode(0x81090014u);
inline constexpr HRESULT TAPI_E_WRITE_TIMEOUT = ResultCode(0x81090015u);
inline constexpr HRESULT TAPI_E_READ_CANCELLED = ResultCode(0x8109001Au);
inline constexpr HRESULT TAPI_E_OBJECT_INVALID = ResultCode(0x8109001Cu);
inline constexpr HRESULT TAPI_E_ALREADY_OPEN = ResultCode(0x8109001Du);

// TCP/IP transport.
inline constexpr HRESULT IPCOMM_E_OPEN = ResultCode(0x810A0001u);
inline constexpr HRESULT IPCOMM_E_CLOSED = ResultCode(0x810A0002u);
inline constexpr HRESULT IPCOMM_E_WRITE = ResultCode(0x810A0003u);
inline constexpr HRESULT IPCOMM_E_WRITE_LENGTH = ResultCode(0x810A0004u);
inline constexpr HRESULT IPCOMM_E_SOCKET_OPEN = ResultCode(0x810A0006u);
inline constexpr HRESULT IPCOMM_E_CREATE_SOCKET = ResultCode(0x810A0008u);
inline constexpr HRESULT IPCOMM_E_BIND = ResultCode(0x810A0009u);
inline constexpr HRESULT IPCOMM_E_CONNECT = ResultCode(0x810A000Au);
inline constexpr HRESULT IPCOMM_E_READ_CANCELLED = ResultCode(0x810A000Bu);
inline constexpr HRESULT IPCOMM_E_OBJECT_INVALID = ResultCode(0x810A000Cu);
inline constexpr HRESULT IPCOMM_E_INVALID_ADDRESS = ResultCode(0x810A000Eu);
inline constexpr HRESULT IPCOMM_E_RESOLVE = ResultCode(0x810A000Fu);
