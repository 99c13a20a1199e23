#include "tools/probe-sim/RequestFaults.h"

#include <algorithm>

#include "tools/probe-sim/RegisterNumber.h"
#include "tools/probe-sim/StandardFunctions.h"

namespace probesim
{

namespace
{

constexpr size_t kWriteHeaderBytes = 5; // start, count, byte count

uint16_t U16At(const std::vector<uint8_t>& data, size_t at)
{
    return static_cast<uint16_t>(data[at] << 8 | data[at + 1]);
}

// The value a well-formed register write puts into the register; nullopt for any other request.
std::optional<uint16_t> WrittenValue(const Adu& request, uint16_t number)
{
    if (request.function != kWriteRegisters || request.data.size() < kWriteHeaderBytes)
        return std::nullopt;
    const uint16_t start = U16At(request.data, 0);
    const uint16_t count = U16At(request.data, 2);
    if (request.data.size() != kWriteHeaderBytes + 2u * count)
        return std::nullopt;
    const std::optional<uint16_t> first = RegisterNumber(RegisterClass::Holding, start);
    if (!first || number < *first || uint32_t{number} >= uint32_t{*first} + count)
        return std::nullopt;
    return U16At(request.data, kWriteHeaderBytes + 2u * (number - *first));
}

// Whether a well-formed holding register read covers the register.
bool ReadCovers(const Adu& request, uint16_t number)
{
    if (request.function != kReadHoldingRegisters || request.data.size() != 4)
        return false;
    const std::optional<uint16_t> first = RegisterNumber(RegisterClass::Holding, U16At(request.data, 0));
    const uint16_t count = U16At(request.data, 2);
    return first && number >= *first && uint32_t{number} < uint32_t{*first} + count;
}

} // namespace

RequestMatch RequestMatch::Read(uint16_t registerNumber)
{
    return {.function = kReadHoldingRegisters, .readRegister = registerNumber};
}

RequestMatch RequestMatch::Write(uint16_t registerNumber, std::optional<uint16_t> value)
{
    return {.function = kWriteRegisters, .writtenRegister = registerNumber, .value = value};
}

bool RequestMatch::Matches(const Adu& request) const
{
    if (function && request.function != *function)
        return false;
    if (readRegister && !ReadCovers(request, *readRegister))
        return false;
    if (!writtenRegister)
        return true;
    const std::optional<uint16_t> written = WrittenValue(request, *writtenRegister);
    return written && (!value || *written == *value);
}

void RequestFaults::Refuse(const RequestMatch& match, ExceptionCode code, unsigned times)
{
    std::lock_guard lock(m_mutex);
    m_refusals.push_back({match, code, times});
}

void RequestFaults::Drop(const RequestMatch& match, unsigned times)
{
    std::lock_guard lock(m_mutex);
    m_drops.push_back({match, ExceptionCode{}, times});
}

void RequestFaults::LoseLineAfter(const RequestMatch& match,
                                  std::optional<std::chrono::milliseconds> duration, bool answered)
{
    std::lock_guard lock(m_mutex);
    m_losses.push_back({match, duration, answered});
}

void RequestFaults::LoseLine(std::optional<std::chrono::milliseconds> duration)
{
    std::lock_guard lock(m_mutex);
    LoseLocked(Clock::now(), duration);
}

void RequestFaults::RestoreLine()
{
    std::lock_guard lock(m_mutex);
    m_lost = false;
    m_lostUntil.reset();
}

bool RequestFaults::LineLost() const
{
    return LostAt(Clock::now());
}

void RequestFaults::Clear()
{
    std::lock_guard lock(m_mutex);
    m_refusals.clear();
    m_drops.clear();
    m_losses.clear();
    m_lost = false;
    m_lostUntil.reset();
}

size_t RequestFaults::Pending() const
{
    std::lock_guard lock(m_mutex);
    return m_refusals.size() + m_drops.size() + m_losses.size();
}

bool RequestFaults::LostAt(Clock::time_point at) const
{
    std::lock_guard lock(m_mutex);
    return m_lost && (!m_lostUntil || at < *m_lostUntil);
}

std::optional<ExceptionCode> RequestFaults::RefusalFor(const Adu& request)
{
    std::lock_guard lock(m_mutex);
    return TakeMatch(m_refusals, request);
}

bool RequestFaults::Dropped(const Adu& request)
{
    std::lock_guard lock(m_mutex);
    return TakeMatch(m_drops, request).has_value();
}

std::optional<ExceptionCode> RequestFaults::TakeMatch(std::vector<Refusal>& list, const Adu& request)
{
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const Refusal& refusal) { return refusal.match.Matches(request); });
    if (it == list.end())
        return std::nullopt;
    const ExceptionCode code = it->code;
    if (it->left != kEveryTime && --it->left == 0)
        list.erase(it);
    return code;
}

RequestFaults::Aftermath RequestFaults::Handled(const Adu& request, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_losses.begin(), m_losses.end(),
                                 [&](const Loss& loss) { return loss.match.Matches(request); });
    if (it == m_losses.end())
        return Aftermath::None;
    const Loss loss = *it;
    m_losses.erase(it);
    LoseLocked(now, loss.duration);
    return loss.answered ? Aftermath::LoseAfterReply : Aftermath::LoseBeforeReply;
}

void RequestFaults::LoseLocked(Clock::time_point from, std::optional<std::chrono::milliseconds> duration)
{
    m_lost = true;
    if (duration)
        m_lostUntil = from + *duration;
    else
        m_lostUntil.reset();
}

} // namespace probesim
