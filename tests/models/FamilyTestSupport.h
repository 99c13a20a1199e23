// What the tests of the instrument families share beyond the model tests' line: the sub-types of the
// notes the probe logged, a meta-tag of a log description, the reads of settings, the reference
// count of a device, and the commands the instrument was given.
#pragma once

#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "device/LogFile.h"
#include "foundation/CommTimeouts.h"
#include "foundation/TraceLog.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/DeviceCommands.h"
#include "tools/probe-sim/SensorCommands.h"

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

// The device trace file of the devices made from now on. Its first opener empties it, so that it
// holds what the devices of the test wrote once the devices before are gone.
class DeviceTrace
{
public:
    DeviceTrace() { devicetest::SetTunable(u"Debug Flags", DEBUG_FLAG_DEVICE_TRACE); }

    std::string Text() const
    {
        std::stringstream text;
        text << std::ifstream(CTraceLogFile::ResolvePath(u"DeviceControlTraceLog.txt"), std::ios::binary)
                    .rdbuf();
        return text.str();
    }
    bool Holds(const std::string& text) const { return Text().find(text) != std::string::npos; }
    size_t Count(const std::string& text) const
    {
        const std::string written = Text();
        size_t count = 0;
        for (size_t at = written.find(text); at != std::string::npos; at = written.find(text, at + 1))
            ++count;
        return count;
    }
};

// A command word written to the device command register (connection 0) or to a connection's sensor
// command register; the maker's handshake words around a command are not commands.
struct Command
{
    uint16_t connection = 0;
    uint16_t word = 0;

    friend bool operator==(const Command&, const Command&) = default;
    friend void PrintTo(const Command& command, std::ostream* os)
    {
        *os << "{" << command.connection << ", 0x" << std::hex << command.word << std::dec << "}";
    }
};

inline constexpr uint16_t kDeviceCommands = 0;

inline std::vector<Command> CommandsIn(const std::vector<devicetest::RegisterWrite>& writes)
{
    std::vector<Command> commands;
    for (const devicetest::RegisterWrite& write : writes)
    {
        uint16_t connection = 0;
        if (write.first == probesim::kDeviceCommandRegister)
            connection = kDeviceCommands;
        else if (write.first >= probesim::reg::kFirstConnection &&
                 write.first < probesim::reg::kFirstConnection +
                                   probesim::reg::kConnectionRegisters * probesim::reg::kMaxConnections &&
                 (write.first - probesim::reg::kFirstConnection) % probesim::reg::kConnectionRegisters == 2)
            connection = static_cast<uint16_t>(
                (write.first - probesim::reg::kFirstConnection) / probesim::reg::kConnectionRegisters + 1);
        else
            continue;
        for (uint16_t word : write.values)
        {
            if (probesim::CommandHandshake::IsCommand(word))
                commands.push_back({connection, word});
        }
    }
    return commands;
}

} // namespace modeltest
