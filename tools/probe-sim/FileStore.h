// The files the instrument holds, by file number: log files, configuration files, the firmware
// image. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "tools/probe-sim/DeviceTime.h"

namespace probesim
{

struct DeviceFile
{
    std::vector<uint8_t> data;
    DeviceTimestamp start; // reported by a read setup, e.g. the first record of a log
    DeviceTimestamp stop;

    friend bool operator==(const DeviceFile&, const DeviceFile&) = default;
};

class FileStore
{
public:
    // Far above any file of the instrument, so that a size from the line cannot exhaust memory.
    static constexpr size_t kDefaultMaxFileSize = size_t{16} << 20;

    explicit FileStore(size_t maxFileSize = kDefaultMaxFileSize) : m_maxFileSize(maxFileSize) {}

    // Creates or replaces a file; a file above MaxFileSize throws std::length_error.
    void Put(uint16_t number, DeviceFile file);
    void Put(uint16_t number, std::vector<uint8_t> data) { Put(number, DeviceFile{std::move(data), {}, {}}); }
    bool Remove(uint16_t number); // false when there was no such file
    void Clear();

    bool Has(uint16_t number) const;
    std::optional<DeviceFile> Get(uint16_t number) const;
    std::vector<uint16_t> Numbers() const;
    size_t MaxFileSize() const { return m_maxFileSize; }

private:
    mutable std::mutex m_mutex;
    const size_t m_maxFileSize;
    std::map<uint16_t, DeviceFile> m_files;
};

} // namespace probesim
