#include "platform/SerialPortScan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

#include "platform/Numbers.h"

namespace platform
{

namespace
{

// In listing order.
constexpr std::array<std::string_view, 5> kKinds = {"ttyS", "ttyAMA", "ttyUSB", "ttyACM", "rfcomm"};
constexpr size_t kMaxDigits = 9;

struct Candidate
{
    size_t kind;
    uint32_t number;
    std::string name;
};

// The kind and number of a name such as "ttyUSB12"; nothing for any other name ("ttyS", "tty1",
// "ttyUSB1a").
std::optional<Candidate> Classify(const std::string& name)
{
    for (size_t kind = 0; kind < kKinds.size(); ++kind)
    {
        const std::string_view prefix = kKinds[kind];
        if (name.size() <= prefix.size() || name.size() > prefix.size() + kMaxDigits ||
            name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string_view digits = std::string_view(name).substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const auto number = ParseUInt(digits);
        if (!number)
            continue;
        return Candidate{kind, static_cast<uint32_t>(*number), name};
    }
    return std::nullopt;
}

// A ttyS port has a UART when its device is bound to a driver and the port type is not 0 (the
// placeholder ports of the 8250 driver report type 0). A tree without a type file is judged by
// the driver link alone.
bool HasHardware(const std::filesystem::path& entry)
{
    std::error_code error;
    if (!std::filesystem::exists(entry / "device" / "driver", error))
        return false;
    std::ifstream typeFile(entry / "type");
    if (!typeFile)
        return true;
    std::string text;
    std::getline(typeFile, text);
    const auto type = ParseUInt(text);
    return !type || *type != 0;
}

} // namespace

std::vector<std::string> ScanSerialDevices(const std::filesystem::path& root)
{
    std::vector<Candidate> found;
    std::error_code error;
    std::filesystem::directory_iterator it(root, error);
    if (error)
        return {};
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error))
    {
        if (error)
            break;
        const std::string name = it->path().filename().string();
        auto candidate = Classify(name);
        if (!candidate)
            continue;
        if (kKinds[candidate->kind] == "ttyS" && !HasHardware(it->path()))
            continue;
        found.push_back(std::move(*candidate));
    }
    std::sort(found.begin(), found.end(),
              [](const Candidate& a, const Candidate& b)
              { return std::tie(a.kind, a.number, a.name) < std::tie(b.kind, b.number, b.name); });
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (const Candidate& candidate : found)
        paths.push_back("/dev/" + candidate.name);
    return paths;
}

} // namespace platform
