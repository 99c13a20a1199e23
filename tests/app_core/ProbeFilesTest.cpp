// The OEM configuration file, the factory serial settings it holds, the SDI-12 upload and the
// single registers, against simulated probes.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/ResultCodes.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/ServiceRegisters.h"

namespace apptest
{
namespace
{

using Bytes = std::vector<uint8_t>;
namespace reg = probesim::reg;

const sCommSettings kFactoryDefaults{6, 1, 0, 0, 0, 1, 0};

Bytes OemFile(uint8_t major, uint8_t minor, uint16_t address = 1, uint16_t word = 0x0012, size_t length = 12)
{
    Bytes data{major,
               minor,
               0xAA,
               0xBB,
               0x00,
               0x00,
               0x12,
               0x67,
               static_cast<uint8_t>(address >> 8),
               static_cast<uint8_t>(address),
               static_cast<uint8_t>(word >> 8),
               static_cast<uint8_t>(word)};
    data.resize(length);
    return data;
}

std::optional<probesim::ExceptionCode> Refuse(probesim::RegisterModel&, uint16_t, uint16_t)
{
    return probesim::ExceptionCode::SlaveDeviceFailure;
}

class ProbeFiles : public ConnectionTest
{
protected:
    void PutOemFile(const Bytes& data) { Probe().Files().Put(probesim::kOemConfigFile, data); }
    Bytes OemFileOnProbe()
    {
        return Probe().Files().Get(probesim::kOemConfigFile).value_or(probesim::DeviceFile{}).data;
    }

    // The message UpdateOemConfigFile throws; empty when it throws none.
    std::u16string UpdateSerial(ULONG serial)
    {
        try
        {
            m_connection.UpdateOemConfigFile(serial);
        }
        catch (const CWideString& message)
        {
            return Text(message);
        }
        return {};
    }
};

class WritableOemVersion : public ProbeFiles, public ::testing::WithParamInterface<Bytes>
{
};

TEST_P(WritableOemVersion, TakesTheNewSerialNumberAndKeepsTheRest)
{
    StartConnected(36);
    PutOemFile(GetParam());
    EXPECT_EQ(UpdateSerial(0x01020304), u"");
    Bytes expected = GetParam();
    std::copy_n(Bytes{1, 2, 3, 4}.begin(), 4, expected.begin() + 4);
    EXPECT_EQ(OemFileOnProbe(), expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, WritableOemVersion,
                         ::testing::Values(OemFile(0, 2), OemFile(1, 0), OemFile(1, 7),
                                           OemFile(0, 1, 1, 0, 8)));

TEST_F(ProbeFiles, RefusesWhatItCannotWriteWithItsMessage)
{
    StartConnected(36);
    PutOemFile(OemFile(0, 3));
    EXPECT_EQ(UpdateSerial(5), u"Incompatible OEM configuration file version: 0.3");
    PutOemFile(OemFile(2, 0));
    EXPECT_EQ(UpdateSerial(5), u"Incompatible OEM configuration file version: 2.0");
    EXPECT_EQ(OemFileOnProbe(), OemFile(2, 0));
    PutOemFile(OemFile(1, 0, 1, 0, 6));
    EXPECT_EQ(UpdateSerial(5), u"Unexpected OEM configuration file data length: 6");
    Probe().Files().Remove(probesim::kOemConfigFile);
    EXPECT_EQ(UpdateSerial(5).rfind(u"Failed to read OEM configuration file (error code: 81", 0), 0u);
    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    EXPECT_EQ(UpdateSerial(5), u"Connection error.");
}

TEST_F(ProbeFiles, FactorySettingsComeFromTheFileOfCoreProbesOnly)
{
    StartConnected(37);
    PutOemFile(OemFile(1, 0, 7, 0x00B3));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), (sCommSettings{6, 1, 1, 1, 1, 7, 0}));
    PutOemFile(OemFile(0, 2, 247, 0x0056));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), (sCommSettings{8, 1, 2, 0, 0, 247, 0}));

    StartConnected(35);
    PutOemFile(OemFile(1, 0, 7, 0x00B3));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), kFactoryDefaults);
    EXPECT_TRUE(ReceivedSinceMark().empty());
    EXPECT_TRUE(m_boxes.Shown_().empty());
}

TEST_F(ProbeFiles, TheFactoryWordsBaudCodeHasTwoBitsAndBitThreeBelongsToNoField)
{
    StartConnected(39);
    // Bit 3 and 8 data bits: 9600 baud, not a baud code of 4.
    PutOemFile(OemFile(1, 0, 1, 0x0018));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), (sCommSettings{5, 1, 0, 0, 0, 1, 0}));
    PutOemFile(OemFile(1, 0, 9, 0x001A));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), (sCommSettings{6, 1, 0, 0, 0, 9, 0}));
    PutOemFile(OemFile(1, 0, 7, 0x00BB));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), (sCommSettings{6, 1, 1, 1, 1, 7, 0}));
    PutOemFile(OemFile(1, 0, 2, 0x0006));
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), (sCommSettings{8, 0, 0, 0, 0, 2, 0}));
    EXPECT_TRUE(m_boxes.Shown_().empty()) << ::testing::PrintToString(Texts(m_boxes));
}

struct UnusableFile
{
    std::optional<Bytes> data; // none: the probe has no such file
    std::u16string problem;    // what the warning says after its first line
};

void PrintTo(const UnusableFile& file, std::ostream* os)
{
    *os << ::testing::PrintToString(file.problem);
}

class UnusableOemFile : public ProbeFiles, public ::testing::WithParamInterface<UnusableFile>
{
};

TEST_P(UnusableOemFile, WarnsAndGivesTheDefaults)
{
    StartConnected(39);
    if (GetParam().data)
        PutOemFile(*GetParam().data);
    else
        Probe().Files().Remove(probesim::kOemConfigFile);
    EXPECT_EQ(m_connection.GetFactoryCommSettings(), kFactoryDefaults);
    ASSERT_EQ(m_boxes.Shown_().size(), 1u);
    EXPECT_EQ(m_boxes.Shown_()[0].text.rfind(
                  u"Unable to determine factory default communication settings.\n" + GetParam().problem, 0),
              0u);
    EXPECT_EQ(m_boxes.Shown_()[0].flags & 0xF0, platform::MB_ICONWARNING);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableOemFile,
    ::testing::Values(
        UnusableFile{std::nullopt, u"Failed to read OEM configuration file (error code: 81"},
        UnusableFile{OemFile(0, 1, 1, 0, 8), u"Unexpected OEM configuration file data length: 8"},
        UnusableFile{OemFile(1, 0, 0),
                     u"Unexpected factory settings in OEM configuration file: address 0, settings 0x0012"},
        // Parity id 3.
        UnusableFile{OemFile(1, 0, 1, 0x0072),
                     u"Unexpected factory settings in OEM configuration file: address 1, settings 0x0072"}));

TEST_F(ProbeFiles, UploadsTheValidSdi12SelectionsThroughATemporaryFile)
{
    const std::filesystem::path tempDir = m_config.Path() / "tmp";
    std::filesystem::create_directories(tempDir);
    testsupport::ScopedEnv tmp("TMPDIR", tempDir.c_str());
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.sdi12Supported = true;
    StartProbe(config);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    const auto setOnProbe = [&]
    {
        std::string problem;
        return probesim::DecodeSdi12Set(Probe().Files().Get(probesim::kSdi12File).value().data, problem);
    };
    CDynArray<sParamSelection> selections;
    for (const sParamSelection& pair : {sParamSelection{1, 1}, {0, 2}, {1, 33}, {32, 32}, {2, 3}})
        selections.Add(pair);

    const std::optional<probesim::Sdi12Set> before = setOnProbe();
    EXPECT_EQ(m_connection.WriteSdi12Config(selections, u'#'), E_FAIL);
    EXPECT_EQ(m_connection.WriteSdi12Config(CDynArray<sParamSelection>(), u'0'), E_FAIL);
    EXPECT_EQ(setOnProbe(), before);
    EXPECT_EQ(m_connection.WriteSdi12Config(selections, u'b'), S_OK);
    EXPECT_EQ(setOnProbe(), (probesim::Sdi12Set{u'b', {{1, 1}, {32, 32}, {2, 3}}}));
    EXPECT_TRUE(std::filesystem::is_empty(tempDir));
}

TEST_F(ProbeFiles, ReadsTheCoreSerialNumberAndManufactureDateWhileConnected)
{
    testsupport::ScopedEnv locale("LC_ALL", "C");
    probesim::InstrumentConfig config = probesim::ProbeConfig(39, kProbeSerial);
    config.coreSerialNumber = 3000000001u;
    config.manufactureDate = probesim::DeviceTimestamp{1623715200, 0x8000}; // 2021-06-15 00:00:00.5 UTC
    StartProbe(config);
    EXPECT_EQ(m_connection.ReadVoxCoreSerialNumber(), 0u);
    EXPECT_TRUE(m_connection.GetManufactureDateText().IsEmpty());
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    EXPECT_EQ(m_connection.ReadVoxCoreSerialNumber(), 3000000001u);
    EXPECT_EQ(Text(m_connection.GetManufactureDateText()), u"06/15/21");
    EXPECT_TRUE(m_boxes.Shown_().empty());

    Probe().Registers().AddReadHook(reg::kCoreSerialNumber, 2, Refuse);
    Probe().Registers().AddReadHook(reg::kManufactureDate, 3, Refuse);
    EXPECT_EQ(m_connection.ReadVoxCoreSerialNumber(), 0u);
    EXPECT_TRUE(m_connection.GetManufactureDateText().IsEmpty());
    EXPECT_EQ(Texts(m_boxes), (std::vector<std::u16string>{u"Failed to read VOX Core serial number.",
                                                           u"Failed to read manufacture date."}));
    ASSERT_FALSE(m_boxes.Shown_().empty());
    EXPECT_EQ(m_boxes.Shown_()[0].caption, u"Error");
    // A probe without a core is not asked.
    StartConnected(12);
    EXPECT_EQ(m_connection.ReadVoxCoreSerialNumber(), 0u);
    EXPECT_TRUE(ReceivedSinceMark().empty());
}

TEST_F(ProbeFiles, WritesTheSecondCurrentLoopInItsOrderUpToTheFirstFailure)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(36, kProbeSerial);
    config.secondCurrentLoop = true;
    StartProbe(config);
    EXPECT_EQ(m_connection.WriteCurrentLoop(TRUE, 2, 5, 20.5f, 1.25f), MODBUSCOMM_E_EXCEPTION);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    Mark();
    EXPECT_EQ(m_connection.WriteCurrentLoop(TRUE, 2, 5, 20.5f, 1.25f), S_OK);
    std::vector<uint16_t> written;
    for (const probesim::Adu& adu : ReceivedSinceMark())
        if (adu.function == 16 && adu.data.size() >= 2)
            written.push_back(static_cast<uint16_t>(40001 + (adu.data[0] << 8 | adu.data[1])));
    EXPECT_EQ(written, (std::vector<uint16_t>{49716, 49710, 49711, 49712, 49714}));
    probesim::RegisterModel& registers = Probe().Registers();
    EXPECT_EQ(registers.GetU16(reg::kLoop2Enable), 1);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2SecondScale), 1.25f);

    registers.AddWriteHook(reg::kLoop2Parameter, 1,
                           [](probesim::RegisterModel&, const probesim::RegisterWrite&)
                           { return std::optional{probesim::ExceptionCode::IllegalFieldValue}; });
    EXPECT_TRUE(Failed(m_connection.WriteCurrentLoop(FALSE, 3, 6, 7.0f, 8.0f)));
    EXPECT_EQ(registers.GetU16(reg::kLoop2Connection), 3);
    EXPECT_EQ(registers.GetU16(reg::kLoop2Parameter), 5);
    EXPECT_EQ(registers.GetFloat(reg::kLoop2FirstScale), 20.5f);
}

} // namespace
} // namespace apptest
