// What the tests of the instrument families share beyond the model tests' line: the sub-types of the
// notes the probe logged, a meta-tag of a log description, the reads of settings, and the reference
// count of a device.
#pragma once

#include <optional>
#include <vector>

#include "device/LogFile.h"
#include "tests/models/ModelTestSupport.h"

namespace modeltest
{

inline std::vector<uint8_t> NoteSubTypes(probesim::Instrument& probe)
{
    std::vector<uint8_t> subTypes;
    for (const probesim::LogNote& note : probe.Notes())
        subTypes.push_back(note.SubType());
    return subTypes;
}

inline std::optional<NVSystem::MetaTagEntry> Tag(NVSystem::CLogFile& log, ULONG tagIndex)
{
    NVSystem::MetaTagEntry entry;
    if (Failed(NVSystem::CDeviceComm::GetMetaTag(log, tagIndex, entry)))
        return std::nullopt;
    return entry;
}

// Reads of sensor windows and instrument settings below the device's own block at 49000.
inline size_t SettingReads(const std::vector<devicetest::RegisterRead>& reads)
{
    size_t count = 0;
    for (const devicetest::RegisterRead& read : reads)
        count += read.first < 49000 ? 1 : 0;
    return count;
}

// The count, without changing it.
inline ULONG References(NVSystem::CDeviceComm& device)
{
    const ULONG count = device.AddRef();
    device.Release();
    return count - 1;
}

} // namespace modeltest
