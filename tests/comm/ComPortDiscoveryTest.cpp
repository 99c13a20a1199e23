// COM port discovery over a tree laid out like /sys/class/tty and the port table of the machine
// hive, with pseudo-terminals standing in for devices that exist.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "comm/ComPortDiscovery.h"
#include "platform/SerialDevice.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/PseudoTerminal.h"

namespace
{

namespace fs = std::filesystem;
using platform::Hive;

std::vector<USHORT> List(const CDynArray<USHORT>& ports)
{
    return std::vector<USHORT>(ports.GetData(), ports.GetData() + ports.GetCount());
}

class ComPortDiscoveryTest : public ::testing::Test
{
protected:
    ComPortDiscoveryTest() : m_root(m_config.Path() / "sys-class-tty") { fs::create_directories(m_root); }

    void Plug(const std::string& name) { fs::create_directories(m_root / name); }
    void Unplug(const std::string& name) { fs::remove_all(m_root / name); }
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
        EXPECT_EQ(EnumerateComPorts(ports, m_root), S_OK);
        return List(ports);
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
    Unplug("ttyUSB0");
    Plug("ttyUSB1");
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{2, 3}));
    EXPECT_EQ(TableEntry("/dev/ttyUSB1"), u"COM3");
    Plug("ttyUSB0");
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 2, 3}));
    EXPECT_EQ(TableEntry("/dev/ttyUSB0"), u"COM1");
}

TEST_F(ComPortDiscoveryTest, EntriesAddedByHandAreListedLikeTheOthers)
{
    probesim::PseudoTerminal simulated;
    Enter(simulated.SlavePath(), u"COM1");
    Enter("/dev/norvane-gone", u"COM2"); // a device that is not there
    Plug("ttyUSB0");
    // The numbers held by hand entries are not handed out again, present or not.
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 3}));
    EXPECT_EQ(TableEntry("/dev/ttyUSB0"), u"COM3");
    EXPECT_EQ(FindComPortDevicePath(1), simulated.SlavePath());
    EXPECT_EQ(std::u16string(FormatComPortDisplayName(1)),
              u"COM 1 (" + platform::Utf8ToUtf16(simulated.SlavePath()) + u")");
    EXPECT_EQ(std::u16string(FormatComPortDisplayName(42)), u"COM 42");

    // A port held by another program is listed all the same: discovery opens nothing.
    platform::CSerialDevice holder;
    ASSERT_EQ(holder.Open(simulated.SlavePath()), 0);
    EXPECT_EQ(Enumerate(), (std::vector<USHORT>{1, 3}));
}

TEST_F(ComPortDiscoveryTest, TheListIsAscendingWithoutDuplicatesOrBadNames)
{
    std::vector<std::unique_ptr<probesim::PseudoTerminal>> ptys;
    auto enter = [&](const char16_t* name)
    {
        ptys.push_back(std::make_unique<probesim::PseudoTerminal>());
        Enter(ptys.back()->SlavePath(), name);
    };
    enter(u"COM10");
    enter(u"COM2");
    enter(u"COM1");
    enter(u"COM2"); // two devices claiming one number
    enter(u"com4");
    enter(u"LPT1");
    enter(u"COM0");
    enter(u"COM0000012"); // ten characters: does not fit the name buffer
    ptys.push_back(std::make_unique<probesim::PseudoTerminal>());
    ASSERT_TRUE(platform::settings::SetDword(Hive::LocalMachine, SERIALCOMM_PORT_TABLE_KEY,
                                             platform::Utf8ToUtf16(ptys.back()->SlavePath()), 5));

    CDynArray<USHORT> ports;
    ports.Add(77); // emptied first
    EXPECT_EQ(EnumerateComPorts(ports, m_root), S_OK);
    EXPECT_EQ(List(ports), (std::vector<USHORT>{1, 2, 10}));
}

TEST_F(ComPortDiscoveryTest, PortNamesAreReadAsTheSystemWritesThem)
{
    EXPECT_EQ(ParseComPortName(u"COM3"), 3);
    EXPECT_EQ(ParseComPortName(u"COM65535"), 65535);
    EXPECT_EQ(ParseComPortName(u"COM65536"), 0); // no wrap-around into another port
    EXPECT_EQ(ParseComPortName(u"COM 7"), 7);
    EXPECT_EQ(ParseComPortName(u"COM+8"), 8);
    EXPECT_EQ(ParseComPortName(u"COM-3"), 0);
    EXPECT_EQ(ParseComPortName(u"COM3x"), 3);
    EXPECT_EQ(ParseComPortName(u"xCOM4"), 0);
    EXPECT_EQ(ParseComPortName(u"COMcom5"), 5); // capitals found first, then every COM removed
    EXPECT_EQ(ParseComPortName(u"Com6"), 0);
    EXPECT_EQ(ParseComPortName(u"COM"), 0);
    EXPECT_EQ(ParseComPortName(u""), 0);
    EXPECT_EQ(ParseComPortName(nullptr), 0);
}

TEST_F(ComPortDiscoveryTest, ANumberClaimedTwicePrefersTheDeviceThatExists)
{
    probesim::PseudoTerminal present;
    Enter("/dev/norvane-gone", u"COM4");
    Enter(present.SlavePath(), u"COM4");
    EXPECT_EQ(FindComPortDevicePath(4), present.SlavePath());
    EXPECT_EQ(ResolveComPortDevicePath(4), present.SlavePath());
    EXPECT_EQ(FindComPortDevicePath(0), "");
    EXPECT_EQ(FindComPortDevicePath(9), "");
}

} // namespace
