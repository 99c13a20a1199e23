// The scan of the machine's serial devices over a tree laid out like /sys/class/tty.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/SerialPortScan.h"
#include "tests/support/TestEnvironment.h"

namespace
{

namespace fs = std::filesystem;

class SerialPortScanTest : public ::testing::Test
{
protected:
    SerialPortScanTest() : m_root(testsupport::ProcessTempDir() / "sys-class-tty")
    {
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        fs::create_directories(m_root / "drivers" / "serial");
    }
    ~SerialPortScanTest() override { fs::remove_all(m_root); }

    void Entry(const std::string& name) { fs::create_directories(m_root / name); }
    // A port whose device is bound to a driver (a link, as in the kernel's tree), with its type.
    void BoundPort(const std::string& name, const char* type)
    {
        fs::create_directories(m_root / name / "device");
        fs::create_directory_symlink(m_root / "drivers" / "serial", m_root / name / "device" / "driver");
        if (type != nullptr)
            std::ofstream(m_root / name / "type") << type << "\n";
    }

    fs::path m_root;
};

TEST_F(SerialPortScanTest, ListsSerialKindsInAStableOrder)
{
    for (const char* name : {"ttyUSB10", "ttyUSB2", "rfcomm0", "ttyACM0", "ttyAMA1", "ttyUSB0"})
        Entry(name);
    // Neither serial devices nor well-formed names of them.
    for (const char* name : {"tty1", "console", "ptmx", "ttyUSB", "ttyUSBx", "ttyUSB1a", "ttyS",
                             "ttyUSB12345678901", "xttyUSB3"})
        Entry(name);
    BoundPort("ttyS1", "4");
    EXPECT_EQ(platform::ScanSerialDevices(m_root),
              (std::vector<std::string>{"/dev/ttyS1", "/dev/ttyAMA1", "/dev/ttyUSB0", "/dev/ttyUSB2",
                                        "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/rfcomm0"}));
}

TEST_F(SerialPortScanTest, TakesOnlyTheTtySPortsThatHaveAUart)
{
    EXPECT_TRUE(platform::ScanSerialDevices(m_root / "absent").empty());
    EXPECT_TRUE(platform::ScanSerialDevices(m_root).empty());
    BoundPort("ttyS0", "4");                             // a 16550A behind it
    BoundPort("ttyS1", "0");                             // the driver's placeholder: no UART answered
    Entry("ttyS2");                                      // registered, bound to nothing
    BoundPort("ttyS3", nullptr);                         // no type to read: the driver link decides
    fs::create_directories(m_root / "ttyS4" / "device"); // a device without a driver
    EXPECT_EQ(platform::ScanSerialDevices(m_root), (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS3"}));
}

} // namespace
