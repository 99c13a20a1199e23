// The instrument's file machinery: at most one open transfer, reading a stored file or receiving
// one, by byte offsets. Two fronts drive it: the file command registers (register map version
// below 3) and the extended file request, function 102 (version 3 and later); functions 100 and 101
// move the blocks of both. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/FileStore.h"

namespace probesim
{

inline constexpr uint16_t kFileCommandIdle = 0x0000;
inline constexpr uint16_t kFileCommandRead = 0xF000;
inline constexpr uint16_t kFileCommandWrite = 0xF001;
inline constexpr uint16_t kFileCommandWriteConfig = 0xF003;
inline constexpr uint16_t kFileCommandWriteNote = 0xF006; // appends a note block to a log file

// F000 and the further read commands F002, F004, F005, F007 and F008, which all read the stored
// file here.
bool IsFileReadCommand(uint16_t command);
// F001, F003 (replace the file) and F006 (append to it).
bool IsFileWriteCommand(uint16_t command);

// How the transfer was opened; it decides the layout of the function-100 reply.
enum class TransferForm
{
    Registers, // file command registers: short reply header
    Extended,  // function 102: long reply header
};

struct TransferState
{
    uint16_t command = 0;
    uint16_t file = 0;
    TransferForm form = TransferForm::Extended;
    uint32_t size = 0;   // of the file read, or announced for the write
    uint32_t done = 0;   // bytes read or received so far, up to the furthest block
    unsigned blocks = 0; // block requests since the setup, repeated ones included
};

struct FileHeader
{
    uint32_t size = 0;
    DeviceTimestamp start;
    DeviceTimestamp stop;
};

struct FileBlock
{
    std::vector<uint8_t> data;
    bool endOfFile = false; // the block reaches the end of the file
};

class FileTransfer
{
public:
    // The instrument's own rules: a check of the bytes received (a note block alone, not the log it
    // goes into) before anything is stored, and what the instrument does once they are stored.
    using ReceivedCheck = std::function<std::optional<ExceptionCode>(uint16_t command, uint16_t file,
                                                                     const std::vector<uint8_t>& received)>;
    using StoredAction =
        std::function<void(uint16_t command, uint16_t file, const std::vector<uint8_t>& received)>;

    explicit FileTransfer(FileStore& store) : m_store(store) {}

    // Not a read command: InvalidFileCommand, and nothing changes. Otherwise a transfer still open is
    // abandoned (a master that went away mid-transfer must not lock the machinery); an unknown file
    // then answers InvalidFileNumber.
    std::variant<FileHeader, ExceptionCode> OpenRead(uint16_t command, uint16_t file, TransferForm form);
    // As OpenRead. A size above the store's limit: InvalidFileSize; a note for a file that does not
    // exist: InvalidFileNumber.
    std::optional<ExceptionCode> OpenWrite(uint16_t command, uint16_t file, uint32_t size, TransferForm form);
    // Ends the transfer. A write that received all its bytes is stored (a note appended to its
    // file); an incomplete one is dropped. nullopt, or the refusal of the commit.
    std::optional<ExceptionCode> Close();
    // Ends the transfer without storing anything (the instrument restarts).
    void Abandon();

    // No read open: FileCommandSequence. An offset beyond the end: InvalidFileBlock. A block
    // reaching past the end is cut there; at the end it is empty.
    std::variant<FileBlock, ExceptionCode> ReadBlock(uint32_t offset, uint16_t length);
    // No write open: FileCommandSequence. Empty data, a gap before the offset or data past the
    // announced size: InvalidFileBlock. Blocks may be sent again (a lost reply).
    std::optional<ExceptionCode> WriteBlock(uint32_t offset, std::span<const uint8_t> data);

    // Counts a block request of the open transfer: its number (1 for the first), 0 when none is open.
    unsigned NextBlockNumber();

    std::optional<TransferState> Current() const;
    // Transfers opened with this form; nullopt when none is open.
    std::optional<TransferForm> OpenForm() const;
    void SetInstrumentRules(ReceivedCheck check, StoredAction stored);

private:
    struct Open
    {
        TransferState state;
        bool writing = false;
        std::vector<uint8_t> data; // the file read, or the bytes received
    };

    FileStore& m_store;
    mutable std::mutex m_mutex;
    std::optional<Open> m_open;
    ReceivedCheck m_check;
    StoredAction m_stored;
};

} // namespace probesim
