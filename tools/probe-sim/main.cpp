// probe-sim: runs a simulated instrument on a pseudo-terminal until SIGINT or SIGTERM. The slave
// path goes to standard output (one line), everything else to standard error.
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"
#include "tools/probe-sim/SondeSensors.h"

namespace
{

constexpr const char* kUsage =
    "usage: probe-sim [--ascii] [--address N] [--device-type N] [--serial N] [--map-version N]\n"
    "                 [--firmware N] [--stay-awake] [--do-sensor | --sensors | --sonde-sensors IDS]\n"
    "                 [--register-port [COMn]]\n"
    "  --ascii               speak Modbus ASCII instead of RTU\n"
    "  --address N           slave address 1..255 (default 1)\n"
    "  --device-type N       device type id (default 0)\n"
    "  --serial N            serial number (default 0)\n"
    "  --map-version N       register map version (default 3)\n"
    "  --firmware N          firmware version in hundredths (default 100)\n"
    "  --stay-awake          never sleep (otherwise the instrument sleeps after 5 s without traffic)\n"
    "  --do-sensor           the optical DO sensor with temperature on sensor connection 1\n"
    "  --sensors             the device type's preset: its interfaces (SDI-12 on the probes) and the\n"
    "                        sensors it carries, each on its connection\n"
    "  --sonde-sensors IDS   a multi-parameter sonde (device type 7, 26, 33 or 34) with the sensors of\n"
    "                        the comma-separated sonde sensor ids on connections 1, 2, ...\n"
    "  --register-port [COMn] enter the pseudo-terminal in the port table (lowest free number\n"
    "                        without COMn) and remove the entry on exit\n";

struct Arguments
{
    probesim::SimulatorOptions options;
    probesim::InstrumentConfig instrument{.serialNumber = 0};
    // Given on the command line; with --sensors they change the device type's preset.
    std::optional<uint16_t> mapVersion;
    std::optional<uint16_t> firmware;
    bool doSensor = false;
    bool sensors = false;
    std::optional<std::vector<uint16_t>> sondeSensors;
    bool registerPort = false;
    unsigned comNumber = 0;
};

template <typename T>
std::optional<T> ParseNumber(std::string_view text, T min, T max)
{
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return static_cast<T>(value);
}

// "57,56,51" -> the sonde sensor ids, at most one per connection; nullopt for anything else.
std::optional<std::vector<uint16_t>> ParseIdList(std::string_view text)
{
    constexpr size_t kSondeConnections = 10;
    std::vector<uint16_t> ids;
    while (true)
    {
        const size_t comma = text.find(',');
        const auto id = ParseNumber<uint16_t>(text.substr(0, comma), 1, 0xFFFF);
        if (!id || ids.size() == kSondeConnections)
            return std::nullopt;
        ids.push_back(*id);
        if (comma == std::string_view::npos)
            return ids;
        text.remove_prefix(comma + 1);
    }
}

// "COMn" (any case) -> n; 0 for anything else.
unsigned ParseComName(std::string_view text)
{
    if (text.size() < 4 || (text.substr(0, 3) != "COM" && text.substr(0, 3) != "com"))
        return 0;
    return ParseNumber<unsigned>(text.substr(3), 1, 9999).value_or(0);
}

bool Fail(const std::string& message)
{
    std::fprintf(stderr, "probe-sim: %s\n%s", message.c_str(), kUsage);
    return false;
}

bool Parse(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view arg = argv[i];
        auto value = [&](const char* name) -> std::optional<std::string_view>
        {
            if (i + 1 >= argc)
            {
                Fail(std::string(name) + " needs a value");
                return std::nullopt;
            }
            return std::string_view(argv[++i]);
        };
        // The option's value as a number in min..max; false (with the reason said) without one.
        auto number = [&]<typename T>(const char* name, uint64_t min, uint64_t max, T& out)
        {
            const auto text = value(name);
            if (!text)
                return false;
            const auto n = ParseNumber<T>(*text, static_cast<T>(min), static_cast<T>(max));
            if (!n)
                return Fail(std::string(name) + " takes " + std::to_string(min) + ".." + std::to_string(max));
            out = *n;
            return true;
        };
        bool ok = true;
        if (arg == "--ascii")
            args.options.mode = probesim::FramingMode::Ascii;
        else if (arg == "--address")
            ok = number("--address", 1, 255, args.options.address);
        else if (arg == "--device-type")
            ok = number("--device-type", 0, 0xFFFF, args.instrument.deviceType);
        else if (arg == "--serial")
            ok = number("--serial", 0, 0xFFFFFFFF, args.instrument.serialNumber);
        else if (arg == "--map-version")
            ok = number("--map-version", 1, 0xFFFF, args.mapVersion.emplace());
        else if (arg == "--firmware")
            ok = number("--firmware", 0, 0xFFFF, args.firmware.emplace());
        else if (arg == "--stay-awake")
        {
            args.instrument.stayAwake = true;
            args.instrument.sleeps = false;
        }
        else if (arg == "--do-sensor")
            args.doSensor = true;
        else if (arg == "--sensors")
            args.sensors = true;
        else if (arg == "--sonde-sensors")
        {
            const auto text = value("--sonde-sensors");
            if (!text)
                return false;
            args.sondeSensors = ParseIdList(*text);
            if (!args.sondeSensors)
                return Fail("--sonde-sensors takes sensor ids such as 57,56,51");
        }
        else if (arg == "--register-port" || arg.starts_with("--register-port="))
        {
            args.registerPort = true;
            std::string_view name;
            if (arg.starts_with("--register-port="))
                name = arg.substr(std::strlen("--register-port="));
            else if (i + 1 < argc && ParseComName(argv[i + 1]) != 0)
                name = argv[++i];
            if (!name.empty() && (args.comNumber = ParseComName(name)) == 0)
                return Fail("--register-port takes a port name such as COM5");
        }
        else if (arg == "--help" || arg == "-h")
        {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        else
            return Fail("unknown argument " + std::string(arg));
        if (!ok)
            return false;
    }
    if (int{args.doSensor} + int{args.sensors} + int{args.sondeSensors.has_value()} > 1)
        return Fail("--do-sensor, --sensors and --sonde-sensors exclude each other");
    if (args.sondeSensors && !probesim::IsSondeType(args.instrument.deviceType))
        return Fail("--sonde-sensors needs the device type of a multi-parameter sonde");
    if (args.sensors && !probesim::HasPreset(args.instrument.deviceType))
        return Fail("no sensors known for device type " + std::to_string(args.instrument.deviceType));
    return true;
}

// The instrument the arguments describe: with --sensors the preset of its device type (interfaces,
// register map), changed by what the command line gives.
probesim::InstrumentConfig InstrumentOf(const Arguments& args)
{
    probesim::InstrumentConfig config = args.instrument;
    if (args.sensors)
    {
        config = probesim::ProbeConfig(args.instrument.deviceType, args.instrument.serialNumber);
        config.stayAwake = args.instrument.stayAwake;
        config.sleeps = args.instrument.sleeps;
    }
    if (args.mapVersion)
        config.registerMapVersion = *args.mapVersion;
    if (args.firmware)
        config.firmwareVersion = *args.firmware;
    return config;
}

} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (!Parse(argc, argv, args))
        return 2;

    // Blocked before the worker starts, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try
    {
        probesim::ProbeSimulator sim(args.options);
        probesim::Instrument instrument(sim, InstrumentOf(args));
        if (args.doSensor)
            instrument.Sensors().Add(1, probesim::OpticalDoSensor(args.instrument.serialNumber));
        if (args.sensors)
            probesim::FitSensors(instrument);
        if (args.sondeSensors)
            probesim::FitSondeSensors(instrument, *args.sondeSensors);

        if (args.registerPort)
        {
            std::string error;
            const auto number = probesim::RegisterComPort(sim.SlavePath(), args.comNumber, error);
            if (!number)
            {
                std::fprintf(stderr, "probe-sim: %s\n", error.c_str());
                return 1;
            }
            std::fprintf(stderr, "probe-sim: %s entered as COM%u\n", sim.SlavePath().c_str(), *number);
        }
        std::printf("%s\n", sim.SlavePath().c_str());
        std::fflush(stdout);

        int signal = 0;
        sigwait(&stopSignals, &signal);

        sim.Stop();
        if (args.registerPort)
            probesim::UnregisterComPort(sim.SlavePath());
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "probe-sim: %s\n", e.what());
        return 1;
    }
}
