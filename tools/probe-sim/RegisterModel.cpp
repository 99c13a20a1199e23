#include "tools/probe-sim/RegisterModel.h"

#include <bit>
#include <stdexcept>

namespace probesim
{

namespace
{

void CheckRange(uint32_t first, uint32_t count)
{
    if (count == 0 || !IsRegisterNumber(first) || !IsRegisterNumber(first + count - 1) ||
        ClassOf(static_cast<uint16_t>(first)) != ClassOf(static_cast<uint16_t>(first + count - 1)))
        throw std::out_of_range("register range " + std::to_string(first) + " + " + std::to_string(count) +
                                " is not inside one register class");
}

std::pair<uint16_t, uint16_t> SplitWords(uint32_t value, WordOrder order)
{
    const auto high = static_cast<uint16_t>(value >> 16);
    const auto low = static_cast<uint16_t>(value & 0xFFFF);
    return order == WordOrder::HighFirst ? std::pair{high, low} : std::pair{low, high};
}

} // namespace

void RegisterModel::SetU16(uint16_t number, uint16_t value)
{
    CheckRange(number, 1);
    std::lock_guard lock(m_mutex);
    m_values[number] = value;
}

void RegisterModel::SetU32(uint16_t number, uint32_t value, WordOrder order)
{
    CheckRange(number, 2);
    const auto [first, second] = SplitWords(value, order);
    std::lock_guard lock(m_mutex);
    m_values[number] = first;
    m_values[static_cast<uint16_t>(number + 1)] = second;
}

void RegisterModel::SetFloat(uint16_t number, float value, WordOrder order)
{
    SetU32(number, std::bit_cast<uint32_t>(value), order);
}

void RegisterModel::SetText(uint16_t number, std::u16string_view text, uint16_t registers)
{
    CheckRange(number, registers);
    if (text.size() > registers)
        throw std::length_error("text of " + std::to_string(text.size()) + " characters does not fit " +
                                std::to_string(registers) + " registers");
    std::lock_guard lock(m_mutex);
    for (uint16_t i = 0; i < registers; ++i)
        m_values[static_cast<uint16_t>(number + i)] = i < text.size() ? static_cast<uint16_t>(text[i]) : 0;
}

void RegisterModel::Remove(uint16_t number, uint16_t count)
{
    std::lock_guard lock(m_mutex);
    for (uint32_t n = number; n < uint32_t{number} + count; ++n)
        m_values.erase(static_cast<uint16_t>(n));
}

void RegisterModel::Clear()
{
    std::lock_guard lock(m_mutex);
    m_values.clear();
}

bool RegisterModel::Has(uint16_t number) const
{
    std::lock_guard lock(m_mutex);
    return m_values.contains(number);
}

std::optional<uint16_t> RegisterModel::GetU16(uint16_t number) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(number);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

std::optional<uint32_t> RegisterModel::GetU32(uint16_t number, WordOrder order) const
{
    std::lock_guard lock(m_mutex);
    const auto first = GetU16(number);
    const auto second = number < 0xFFFF ? GetU16(static_cast<uint16_t>(number + 1)) : std::nullopt;
    if (!first || !second)
        return std::nullopt;
    return order == WordOrder::HighFirst ? uint32_t{*first} << 16 | *second
                                         : uint32_t{*second} << 16 | *first;
}

std::optional<float> RegisterModel::GetFloat(uint16_t number, WordOrder order) const
{
    const auto bits = GetU32(number, order);
    if (!bits)
        return std::nullopt;
    return std::bit_cast<float>(*bits);
}

std::optional<std::u16string> RegisterModel::GetText(uint16_t number, uint16_t registers) const
{
    std::lock_guard lock(m_mutex);
    if (registers == 0 || !AllPresent(number, registers))
        return std::nullopt;
    std::u16string text;
    for (uint32_t n = number; n < uint32_t{number} + registers; ++n)
    {
        const uint16_t unit = m_values.at(static_cast<uint16_t>(n));
        if (unit == 0)
            break;
        text.push_back(static_cast<char16_t>(unit));
    }
    return text;
}

int RegisterModel::AddReadHook(uint16_t first, uint16_t count, ReadHook hook)
{
    CheckRange(first, count);
    std::lock_guard lock(m_mutex);
    m_hooks.push_back({m_nextHookId, false, first, count, std::move(hook), nullptr});
    return m_nextHookId++;
}

int RegisterModel::AddWriteHook(uint16_t first, uint16_t count, WriteHook hook)
{
    CheckRange(first, count);
    std::lock_guard lock(m_mutex);
    m_hooks.push_back({m_nextHookId, true, first, count, nullptr, std::move(hook)});
    return m_nextHookId++;
}

void RegisterModel::RemoveHook(int id)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_hooks, [id](const Hook& hook) { return hook.id == id; });
}

void RegisterModel::DelayReply(std::chrono::milliseconds time)
{
    std::lock_guard lock(m_mutex);
    m_replyDelay += time;
}

std::variant<std::vector<uint16_t>, ExceptionCode> RegisterModel::Read(uint16_t first, uint16_t count,
                                                                       std::chrono::milliseconds* delay)
{
    std::lock_guard lock(m_mutex);
    m_replyDelay = std::chrono::milliseconds{0};
    // Existence first, so that a refused read has no side effects through the hooks.
    if (!AllPresent(first, count))
        return ExceptionCode::IllegalDataAddress;
    // A copy, because a hook may add or remove hooks.
    for (const Hook& hook : HooksOverlapping(false, first, count))
    {
        if (const auto refusal = hook.read(*this, first, count))
            return *refusal;
    }
    if (delay)
        *delay = m_replyDelay;
    if (!AllPresent(first, count))
        return ExceptionCode::IllegalDataAddress;
    std::vector<uint16_t> values;
    values.reserve(count);
    for (uint32_t n = first; n < uint32_t{first} + count; ++n)
        values.push_back(m_values.at(static_cast<uint16_t>(n)));
    return values;
}

std::optional<ExceptionCode> RegisterModel::Write(uint16_t first, std::span<const uint16_t> values,
                                                  std::chrono::milliseconds* delay)
{
    std::lock_guard lock(m_mutex);
    m_replyDelay = std::chrono::milliseconds{0};
    const auto count = static_cast<uint32_t>(values.size());
    if (!AllPresent(first, count))
        return ExceptionCode::IllegalDataAddress;
    RegisterWrite write{first, std::vector<uint16_t>(values.begin(), values.end())};
    std::vector<uint16_t> previous;
    previous.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        uint16_t& value = m_values.at(static_cast<uint16_t>(first + i));
        previous.push_back(value);
        value = values[i];
    }
    for (const Hook& hook : HooksOverlapping(true, first, count))
    {
        if (const auto refusal = hook.write(*this, write))
        {
            for (uint32_t i = 0; i < count; ++i)
                m_values[static_cast<uint16_t>(first + i)] = previous[i];
            return refusal;
        }
    }
    if (delay)
        *delay = m_replyDelay;
    return std::nullopt;
}

bool RegisterModel::AllPresent(uint32_t first, uint32_t count) const
{
    for (uint32_t n = first; n < first + count; ++n)
    {
        if (n > 0xFFFF || !m_values.contains(static_cast<uint16_t>(n)))
            return false;
    }
    return true;
}

std::vector<RegisterModel::Hook> RegisterModel::HooksOverlapping(bool onWrite, uint32_t first,
                                                                 uint32_t count) const
{
    std::vector<Hook> found;
    for (const Hook& hook : m_hooks)
    {
        if (hook.onWrite == onWrite && RangesOverlap(hook.first, hook.count, first, count))
            found.push_back(hook);
    }
    return found;
}

} // namespace probesim
