#include "tools/probe-sim/FileStore.h"

#include <stdexcept>
#include <string>

namespace probesim
{

void FileStore::Put(uint16_t number, DeviceFile file)
{
    if (file.data.size() > m_maxFileSize)
        throw std::length_error("file of " + std::to_string(file.data.size()) +
                                " bytes exceeds the limit of " + std::to_string(m_maxFileSize));
    std::lock_guard lock(m_mutex);
    m_files[number] = std::move(file);
}

bool FileStore::Remove(uint16_t number)
{
    std::lock_guard lock(m_mutex);
    return m_files.erase(number) > 0;
}

void FileStore::Clear()
{
    std::lock_guard lock(m_mutex);
    m_files.clear();
}

bool FileStore::Has(uint16_t number) const
{
    std::lock_guard lock(m_mutex);
    return m_files.contains(number);
}

std::optional<DeviceFile> FileStore::Get(uint16_t number) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_files.find(number);
    if (it == m_files.end())
        return std::nullopt;
    return it->second;
}

std::vector<uint16_t> FileStore::Numbers() const
{
    std::lock_guard lock(m_mutex);
    std::vector<uint16_t> numbers;
    numbers.reserve(m_files.size());
    for (const auto& [number, file] : m_files)
        numbers.push_back(number);
    return numbers;
}

} // namespace probesim
