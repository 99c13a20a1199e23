// The registers of the simulated instrument by five-digit register number, with typed helpers and
// hooks through which a device model attaches behaviour to particular registers.
//
// Every member is safe to call from any thread. Hooks run on the simulator's worker thread with the
// model's (recursive) lock held, so they may call the model freely but must not block.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/RegisterNumber.h"

namespace probesim
{

enum class WordOrder
{
    HighFirst, // the high word in the lower register number (the device's default)
    LowFirst,
};

struct RegisterWrite
{
    uint16_t first = 0; // register number
    std::vector<uint16_t> values;
};

class RegisterModel
{
public:
    // Runs before a read of registers [first, first + count) that overlaps the hook's range. It
    // may refresh values (a live reading) or refuse the read with an exception code.
    using ReadHook =
        std::function<std::optional<ExceptionCode>(RegisterModel& model, uint16_t first, uint16_t count)>;
    // Runs after a write that overlaps the hook's range has been stored. It may change any
    // register (a command register that runs a state machine) or refuse the write with an
    // exception code; every register the write stored then gets its old value back.
    using WriteHook =
        std::function<std::optional<ExceptionCode>(RegisterModel& model, const RegisterWrite& write)>;

    // Setters create the registers they name. A number outside 30001..39999 and 40001..49999, or a
    // value that would run past the end of its class, throws std::out_of_range.
    void SetU16(uint16_t number, uint16_t value);
    void SetU32(uint16_t number, uint32_t value, WordOrder order = WordOrder::HighFirst);
    void SetFloat(uint16_t number, float value, WordOrder order = WordOrder::HighFirst);
    // One UTF-16 code unit per register, padded with zeros to `registers`; a longer text throws
    // std::length_error.
    void SetText(uint16_t number, std::u16string_view text, uint16_t registers = 32);
    void Remove(uint16_t number, uint16_t count = 1);
    void Clear(); // every register; hooks stay

    bool Has(uint16_t number) const;
    std::optional<uint16_t> GetU16(uint16_t number) const;
    std::optional<uint32_t> GetU32(uint16_t number, WordOrder order = WordOrder::HighFirst) const;
    std::optional<float> GetFloat(uint16_t number, WordOrder order = WordOrder::HighFirst) const;
    // The code units up to the first zero.
    std::optional<std::u16string> GetText(uint16_t number, uint16_t registers = 32) const;

    // Hooks run in the order they were added. The id serves RemoveHook.
    int AddReadHook(uint16_t first, uint16_t count, ReadHook hook);
    int AddWriteHook(uint16_t first, uint16_t count, WriteHook hook);
    void RemoveHook(int id);

    // Called by a hook: the device works this much longer on the request before it answers (a
    // measurement on demand, a slow command). The times of all hooks of one request add up.
    void DelayReply(std::chrono::milliseconds time);

    // Holds the model still: no request is served and no hook runs until the lock goes. Device
    // behaviour that keeps state beside the registers takes it, so that hooks see a consistent
    // picture. Re-entrant, so hooks may take it again.
    std::unique_lock<std::recursive_mutex> Hold() const { return std::unique_lock(m_mutex); }

    // The protocol side. A register that does not exist answers IllegalDataAddress; the caller
    // has already checked that the range lies inside one class. delay, when given, receives the
    // time the hooks asked for (DelayReply).
    std::variant<std::vector<uint16_t>, ExceptionCode> Read(uint16_t first, uint16_t count,
                                                            std::chrono::milliseconds* delay = nullptr);
    std::optional<ExceptionCode> Write(uint16_t first, std::span<const uint16_t> values,
                                       std::chrono::milliseconds* delay = nullptr);

private:
    struct Hook
    {
        int id;
        bool onWrite;
        uint32_t first;
        uint32_t count;
        ReadHook read;
        WriteHook write;
    };

    bool AllPresent(uint32_t first, uint32_t count) const;
    std::vector<Hook> HooksOverlapping(bool onWrite, uint32_t first, uint32_t count) const;

    mutable std::recursive_mutex m_mutex;
    std::map<uint16_t, uint16_t> m_values;
    std::vector<Hook> m_hooks;
    int m_nextHookId = 1;
    std::chrono::milliseconds m_replyDelay{0}; // of the request being served
};

} // namespace probesim
