// The SDI-12 set against simulated probes: read through a temporary file, edited and written back
// byte for byte as the parameter-set file writes it; an empty file, a pair the probe no longer
// offers and the failures of each read; and the picker's choice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/popups/Sdi12Setup.h"
#include "foundation/ResultCodes.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tests/foundation/ScopedEnvironment.h"
#include "tools/probe-sim/InstrumentFiles.h"

namespace apptest
{
namespace
{

using Bytes = std::vector<uint8_t>;
using Pairs = std::vector<std::pair<uint16_t, uint16_t>>;

constexpr USHORT kDoSensor = 42;
constexpr USHORT kDepthSensor = 84;
constexpr USHORT kTemperature = 1;
constexpr USHORT kPressure = 2;

Pairs PairsOf(const CDynArray<sParameterReading>& readings)
{
    Pairs pairs;
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
        pairs.emplace_back(readings[i].Connection, readings[i].ParameterNumber);
    return pairs;
}

class Sdi12SetupTest : public ConnectionTest
{
protected:
    Sdi12SetupTest() { std::filesystem::create_directories(m_tempDir); }

    // A multi-sensor probe with an SDI-12 set on it (an empty file when data is empty).
    void StartWithSet(const Bytes& data)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(18, kProbeSerial);
        config.sdi12Supported = true;
        StartProbe(config);
        Probe().Files().Put(probesim::kSdi12File, data);
        ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
    }

    Bytes FileOnProbe()
    {
        return Probe().Files().Get(probesim::kSdi12File).value_or(probesim::DeviceFile{}).data;
    }

    // The bytes the parameter-set file holds for the set.
    Bytes SavedBytes(char16_t address, const Pairs& pairs)
    {
        sParameterSet set;
        set.address = address;
        for (const auto& [connection, number] : pairs)
            set.selections.Add(sParamSelection{connection, number});
        const std::filesystem::path path = m_config.Path() / "expected.sdi";
        EXPECT_EQ(SaveParameterSetFile(set, path.u16string().c_str()), S_OK);
        std::ifstream file(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), {});
    }

    const std::filesystem::path m_tempDir = m_config.Path() / "tmp";
    testsupport::ScopedEnv m_tmp{"TMPDIR", m_tempDir.c_str()};
    CSdi12Setup m_setup{m_connection};
};

TEST_F(Sdi12SetupTest, ReadsEditsAndWritesTheSetBackByteForByte)
{
    const Bytes stored = probesim::EncodeSdi12Set({u'b', {{2, 3}, {1, 1}, {4, 2}}});
    StartWithSet(stored);
    ASSERT_TRUE(m_setup.Load().Succeeded());
    EXPECT_EQ(Text(m_setup.GetAddressText()), u"b");
    EXPECT_EQ(PairsOf(m_setup.Chosen()), (Pairs{{2, 3}, {1, 1}, {4, 2}}));
    EXPECT_TRUE(std::filesystem::is_empty(m_tempDir));

    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), stored);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'b', {{2, 3}, {1, 1}, {4, 2}}));

    EXPECT_FALSE(m_setup.MoveUp(0));
    EXPECT_FALSE(m_setup.MoveDown(2));
    EXPECT_TRUE(m_setup.MoveDown(0));
    EXPECT_TRUE(m_setup.MoveUp(2));
    m_setup.SetAddressText(u"Z");
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'Z', {{1, 1}, {4, 2}, {2, 3}}));
    EXPECT_TRUE(std::filesystem::is_empty(m_tempDir));

    // An address SDI-12 does not allow is the connection's to refuse; the probe keeps its set.
    m_setup.SetAddressText(u".");
    EXPECT_EQ(m_setup.Write(), E_FAIL);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'Z', {{1, 1}, {4, 2}, {2, 3}}));
}

TEST_F(Sdi12SetupTest, AnEmptyFileIsAnEmptySetAtAddressZeroThatCanBeFilled)
{
    StartWithSet({});
    ASSERT_TRUE(m_setup.Load().Succeeded());
    EXPECT_EQ(Text(m_setup.GetAddressText()), u"0");
    EXPECT_EQ(m_setup.Chosen().GetCount(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(m_tempDir));

    CSdi12ParameterPicker picker;
    picker.Init(m_setup.Offered(), m_setup.Chosen());
    CDynArray<BOOL> checks;
    checks.Add(TRUE);
    ASSERT_TRUE(picker.Accept(checks));
    m_setup.SetChosen(picker.Result());
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'0', PairsOf(picker.Result())));
}

TEST_F(Sdi12SetupTest, APairTheProbeNoLongerOffersIsLeftOutAndAnAddressSdi12LacksIsNotShown)
{
    // Connection 7 has no sensor; the conductivity sensor's own temperature is not offered.
    StartWithSet(probesim::EncodeSdi12Set({u'3', {{7, 1}, {1, 3}, {2, 2}}}));
    ASSERT_TRUE(m_setup.Load().Succeeded());
    EXPECT_EQ(PairsOf(m_setup.Chosen()), (Pairs{{1, 3}}));
    EXPECT_EQ(m_setup.LoadedSelections().GetCount(), 3u);

    Probe().Files().Put(probesim::kSdi12File, Bytes{0, 1, 0, '#', 0, 1, 0, 1, 0, 3});
    ASSERT_TRUE(m_setup.Load().Succeeded());
    EXPECT_TRUE(m_setup.GetAddressText().IsEmpty());
    EXPECT_EQ(PairsOf(m_setup.Chosen()), (Pairs{{1, 3}}));
}

TEST_F(Sdi12SetupTest, PairsTheListCannotShowAreWrittenBackInTheirPlaces)
{
    // Connection 7 has no sensor; the conductivity and level sensors' own temperatures are not
    // offered. Only {1, 3} and {4, 2} can be shown.
    StartWithSet(probesim::EncodeSdi12Set({u'3', {{7, 1}, {1, 3}, {2, 2}, {4, 2}, {3, 2}}}));
    ASSERT_TRUE(m_setup.Load().Succeeded());
    ASSERT_EQ(PairsOf(m_setup.Chosen()), (Pairs{{1, 3}, {4, 2}}));

    // Only the address changed: the probe keeps everything it had, in its order.
    m_setup.SetAddressText(u"a");
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'a', {{7, 1}, {1, 3}, {2, 2}, {4, 2}, {3, 2}}));

    // The shown readings move among the hidden pairs, which keep their places.
    ASSERT_TRUE(m_setup.MoveDown(0));
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'a', {{7, 1}, {4, 2}, {2, 2}, {1, 3}, {3, 2}}));

    // One removed: the hidden pairs after it close up. One added: it comes last.
    const auto offered = [this](USHORT connection, USHORT number)
    {
        for (uint32_t i = 0; i < m_setup.Offered().GetCount(); ++i)
        {
            if (m_setup.Offered()[i].Connection == connection &&
                m_setup.Offered()[i].ParameterNumber == number)
                return m_setup.Offered()[i];
        }
        ADD_FAILURE() << connection << "," << number << " is not offered";
        return sParameterReading{};
    };
    CDynArray<sParameterReading> chosen;
    chosen.Add(offered(1, 3));
    m_setup.SetChosen(chosen);
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'a', {{7, 1}, {1, 3}, {2, 2}, {3, 2}}));
    chosen.Add(offered(4, 2));
    chosen.Add(offered(2, 3));
    m_setup.SetChosen(chosen);
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'a', {{7, 1}, {1, 3}, {2, 2}, {4, 2}, {3, 2}, {2, 3}}));

    // A hidden pair that the user has since chosen (its sensor came back) is written once, where
    // the user put it.
    sParameterReading returned = offered(1, 3);
    returned.Connection = 7;
    returned.ParameterNumber = 1;
    chosen.RemoveAll();
    chosen.Add(offered(1, 3));
    chosen.Add(returned);
    m_setup.SetChosen(chosen);
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'a', {{1, 3}, {7, 1}, {2, 2}, {3, 2}}));

    // A reload takes what the probe holds now; nothing hidden of the set before is kept.
    Probe().Files().Put(probesim::kSdi12File, probesim::EncodeSdi12Set({u'3', {{1, 3}, {4, 2}}}));
    ASSERT_TRUE(m_setup.Load().Succeeded());
    chosen.RemoveAll();
    chosen.Add(offered(1, 3));
    m_setup.SetChosen(chosen);
    ASSERT_EQ(m_setup.Write(), S_OK);
    EXPECT_EQ(FileOnProbe(), SavedBytes(u'3', {{1, 3}}));
}

TEST_F(Sdi12SetupTest, EachFailedReadNamesItsStep)
{
    StartWithSet(probesim::EncodeSdi12Set({u'0', {{1, 1}}}));
    Probe().Files().Remove(probesim::kSdi12File);
    sSdi12LoadOutcome outcome = m_setup.Load();
    EXPECT_EQ(outcome.FailedStep, ESdi12LoadStep::ParameterSet);
    EXPECT_TRUE(Failed(outcome.Result));
    EXPECT_TRUE(std::filesystem::is_empty(m_tempDir));

    // A file of another format version.
    Probe().Files().Put(probesim::kSdi12File, Bytes{0, 2, 0, '0', 0, 0});
    EXPECT_EQ(m_setup.Load().FailedStep, ESdi12LoadStep::ParameterSet);

    probesim::InstrumentConfig config = probesim::ProbeConfig(18, kProbeSerial);
    config.sdi12Supported = true;
    StartProbe(config);
    Probe().Sensors().AddUnplugged(5);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    outcome = m_setup.Load();
    EXPECT_EQ(outcome.FailedStep, ESdi12LoadStep::Parameters);
    EXPECT_EQ(outcome.Result, MODBUSCOMM_E_PORT_NO_SENSOR);

    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    outcome = m_setup.Load();
    EXPECT_EQ(outcome.FailedStep, ESdi12LoadStep::Connections);
    EXPECT_EQ(outcome.Result, E_FAIL);
}

sParameterReading Reading(USHORT connection, USHORT number, USHORT sensorId, USHORT parameterId)
{
    sParameterReading reading;
    reading.Connection = connection;
    reading.ParameterNumber = number;
    reading.SensorId = sensorId;
    reading.ParameterId = parameterId;
    return reading;
}

CDynArray<BOOL> Checks(std::initializer_list<BOOL> values)
{
    CDynArray<BOOL> checks;
    for (BOOL value : values)
        checks.Add(value);
    return checks;
}

// An optical DO sensor whose partial pressure has the parameter id of the depth sensor's pressure;
// both sensors report a temperature.
class Sdi12Picker : public ::testing::Test
{
protected:
    Sdi12Picker()
    {
        for (const sParameterReading& reading :
             {Reading(1, 1, kDoSensor, 20), Reading(1, 2, kDoSensor, kTemperature),
              Reading(1, 3, kDoSensor, kPressure), Reading(3, 1, kDepthSensor, kTemperature),
              Reading(3, 2, kDepthSensor, kPressure)})
            m_readings.Add(reading);
    }

    CDynArray<sParameterReading> Chosen(std::initializer_list<uint32_t> indexes)
    {
        CDynArray<sParameterReading> chosen;
        for (uint32_t index : indexes)
            chosen.Add(m_readings[index]);
        return chosen;
    }

    CDynArray<sParameterReading> m_readings;
    CSdi12ParameterPicker m_picker;
};

TEST_F(Sdi12Picker, OffersOneTemperatureTellsReadingsApartBySensorAndParameterIdAndKeepsTheOrder)
{
    m_picker.Init(m_readings, Chosen({4}));
    // The DO temperature first, then everything but the depth sensor's temperature.
    EXPECT_EQ(PairsOf(m_picker.Offered()), (Pairs{{1, 2}, {1, 1}, {1, 3}, {3, 2}}));
    EXPECT_FALSE(m_picker.IsChosen(2)); // the DO's partial pressure
    EXPECT_TRUE(m_picker.IsChosen(3));  // the depth sensor's pressure

    EXPECT_FALSE(m_picker.Accept(Checks({FALSE, FALSE, FALSE, FALSE})));
    EXPECT_FALSE(m_picker.IsChanged());
    EXPECT_EQ(PairsOf(m_picker.Result()), (Pairs{{3, 2}}));

    ASSERT_TRUE(m_picker.Accept(Checks({TRUE, FALSE, TRUE, FALSE})));
    EXPECT_TRUE(m_picker.IsChanged());
    EXPECT_EQ(PairsOf(m_picker.Result()), (Pairs{{1, 2}, {1, 3}}));

    // The readings that stay keep their order, new ones come last.
    m_picker.Init(m_readings, Chosen({4, 0}));
    ASSERT_TRUE(m_picker.Accept(Checks({FALSE, TRUE, FALSE, TRUE})));
    EXPECT_FALSE(m_picker.IsChanged());
    EXPECT_EQ(PairsOf(m_picker.Result()), (Pairs{{3, 2}, {1, 1}}));
    ASSERT_TRUE(m_picker.Accept(Checks({TRUE, TRUE, FALSE, TRUE})));
    EXPECT_EQ(PairsOf(m_picker.Result()), (Pairs{{3, 2}, {1, 1}, {1, 2}}));
}

TEST(Sdi12Address, KeepsOneCharacterThatSdi12Allows)
{
    EXPECT_EQ(Text(CleanSdi12AddressText(u"a", u"ab")), u"a");
    EXPECT_EQ(Text(CleanSdi12AddressText(u"a", u".")), u"a");
    EXPECT_EQ(Text(CleanSdi12AddressText(u"a", u"")), u"");
    EXPECT_EQ(Text(CleanSdi12AddressText(u"", u"Z")), u"Z");
    EXPECT_FALSE(IsSdi12AddressText(u""));
    EXPECT_FALSE(IsSdi12AddressText(u"#"));
    EXPECT_TRUE(IsSdi12AddressText(u"9"));
}

} // namespace
} // namespace apptest
