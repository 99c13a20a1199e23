// COM port discovery over a tree laid out like /sys/class/tty and the port table of the machine
// hive, with pseudo-terminals standing in for devices that exist.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "comm/ComPortDiscovery.h"
#include "platform/SerialDevice.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/comm/CommTestSupport.h"
#include "tools/probe-sim/PseudoTerminal.h"

namespace commtest
{
namespace
{

namespace fs = std::filesystem;
using platform::Hive;

class ComPortDiscoveryTest : public ::testing::Test
{
protected:
    ComPortDiscoveryTest() : m_root(m_config.Path() / "sys-class-tty") { fs::create_directories(m_root); }

    void Plug(const std::string& name) { fs::create_directories(m_root / name); }
    static void Enter(const std::string& path, const char16_t* portName)
    {
        ASSERT_TRUE(platform::settings::SetString(Hive::LocalMachine, SERIALCOMM_PORT_TABLE_KEY,
                                                  platform::Utf8ToUtf16(path), portName));
    }
    static std::u16string TableEntry(const std::string& path)
    {
        return platform::settings::GetString(Hive::LocalMachine, SERIALCOMM_PORT_TABLE_KEY,
                                             platform::Utf8ToUtf16(path))
            .value_or(u"");
    }
    std::vector<USHORT> Enumerate()
    {
        CDynArray<USHORT> ports;
        ports.Add(77); // emptied first
        EXPECT_EQ(EnumerateComPorts(ports, m_root), S_OK);
        return std::vector<USHORT>(ports.GetData(), ports.GetData() + ports.GetCount());
    }

    testsupport::ScopedConfigDir m_config;
    fs::path m_root;
};

TEST_F(ComPortDiscoveryTest, NewDevicesGetTheLowestFreeNumberAndKeepIt)
{
    EXPECT_TRUE(Enumerate().empty());
    Plug("ttyUSB0");
    Plug("ttyACM0");
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 2}));
    EXPECT_EQ(TableEntry("/dev/ttyUSB0"), u"COM1");
    EXPECT_EQ(TableEntry("/dev/ttyACM0"), u"COM2");

    // Unplugged, the adapter is not listed but keeps its number; a new device does not take it.
    fs::remove_all(m_root / "ttyUSB0");
    Plug("ttyUSB1");
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{2, 3}));
    EXPECT_EQ(TableEntry("/dev/ttyUSB1"), u"COM3");
    Plug("ttyUSB0");
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 2, 3}));

    // Numbers held by hand entries, present or not, are not handed out again; a port that another
    // program holds is listed all the same: discovery opens nothing.
    probesim::PseudoTerminal simulated;
    Enter(simulated.SlavePath(), u"COM4");
    Enter("/dev/norvane-gone", u"COM5");
    Plug("ttyUSB7");
    platform::CSerialDevice holder;
    ASSERT_EQ(holder.Open(simulated.SlavePath()), 0);
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 2, 3, 4, 6}));
    EXPECT_EQ(FindComPortDevicePath(4), simulated.SlavePath());
    EXPECT_EQ(std::u16string(FormatComPortDisplayName(4)),
              u"COM 4 (" + platform::Utf8ToUtf16(simulated.SlavePath()) + u")");
    EXPECT_EQ(std::u16string(FormatComPortDisplayName(42)), u"COM 42");
}

// The entry that the search makes for a new device is the program's own: a machine file too full to
// take it is told once, not at every listing, also when a listing is part of a change of the user's.
TEST_F(ComPortDiscoveryTest, AMachineFileTooFullForANewDeviceIsToldOnce)
{
    const fs::path machine = m_config.Path() / "machine.reg";
    testsupport::FillHiveTo(Hive::LocalMachine, machine, 5);
    const auto bytes = [&]
    {
        std::ifstream in(machine, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string before = bytes();
    testsupport::ScriptedMessageBox boxes;
    Plug("ttyUSB0");
    EXPECT_TRUE(Enumerate().empty()) << "a device without an entry cannot be opened by its number";
    EXPECT_EQ(boxes.Shown_().size(), 1u);
    {
        const platform::settings::CChangeScope change;
        EXPECT_TRUE(Enumerate().empty());
    }
    EXPECT_TRUE(Enumerate().empty());
    EXPECT_EQ(boxes.Shown_().size(), 1u);
    EXPECT_EQ(TableEntry("/dev/ttyUSB0"), u"");
    EXPECT_TRUE(bytes() == before);
}

TEST_F(ComPortDiscoveryTest, TheListIsAscendingWithoutDuplicatesOrBadNames)
{
    std::vector<std::unique_ptr<probesim::PseudoTerminal>> ptys;
    for (const char16_t* name :
         {u"COM10", u"COM2", u"COM1", u"COM2", u"com4", u"LPT1", u"COM0", u"COM0000012"})
    {
        ptys.push_back(std::make_unique<probesim::PseudoTerminal>());
        Enter(ptys.back()->SlavePath(), name);
    }
    ptys.push_back(std::make_unique<probesim::PseudoTerminal>());
    ASSERT_TRUE(platform::settings::SetDword(Hive::LocalMachine, SERIALCOMM_PORT_TABLE_KEY,
                                             platform::Utf8ToUtf16(ptys.back()->SlavePath()), 5));
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 2, 10}));

    // A number claimed twice prefers the device that exists.
    Enter("/dev/norvane-gone", u"COM7");
    Enter(ptys[0]->SlavePath(), u"COM7");
    EXPECT_EQ(ResolveComPortDevicePath(7), ptys[0]->SlavePath());
    EXPECT_EQ(FindComPortDevicePath(0), "");

    EXPECT_EQ(ParseComPortName(u"COM 7"), 7);
    EXPECT_EQ(ParseComPortName(u"COM65536"), 0); // no wrap-around into another port
    EXPECT_EQ(ParseComPortName(u"COM-3"), 0);
    EXPECT_EQ(ParseComPortName(nullptr), 0);
}

} // namespace
} // namespace commtest
