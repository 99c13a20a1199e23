// The poll selection in the profile: its defaults and parsing, the ordered poll list, the popup's
// choice matched by sensor and parameter together, and the renumbering that keeps the user's order.
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "app/livedata/PollChoice.h"
#include "app/livedata/PollSelection.h"
#include "connection/AppProfile.h"
#include "connection/SensorReadings.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

// Sensor ids as the probes report them.
constexpr USHORT kDo = 42;
constexpr USHORT kConductivity = 35;
constexpr USHORT kPhOrp = 27;
constexpr USHORT kDepth = 84;
constexpr USHORT kLevel = 4; // a sensor the selection has no entries for

sParameterReading Reading(USHORT connection, USHORT number, USHORT sensorId, USHORT parameterId)
{
    sParameterReading reading;
    reading.Connection = connection;
    reading.ParameterNumber = number;
    reading.SensorId = sensorId;
    reading.ParameterId = parameterId;
    return reading;
}

// A multi-sensor probe as it lists its readings: DO (concentration first), conductivity with its
// own temperature, a level sensor and pH/ORP.
CDynArray<sParameterReading> MultiSensorReadings()
{
    const std::pair<USHORT, std::vector<USHORT>> sensors[] = {{kDo, {20, 1, 21, 30}},
                                                              {kConductivity, {9, 1, 10, 11, 12, 13, 14}},
                                                              {kLevel, {2, 1, 3}},
                                                              {kPhOrp, {17, 18, 19}}};
    CDynArray<sParameterReading> readings;
    USHORT connection = 1;
    for (const auto& [sensorId, parameters] : sensors)
    {
        USHORT number = 1;
        for (USHORT parameterId : parameters)
            readings.Add(Reading(connection, number++, sensorId, parameterId));
        ++connection;
    }
    return readings;
}

// A probe whose DO sensor reports partial pressure as parameter 2, beside a depth sensor whose
// pressure is parameter 2 as well.
CDynArray<sParameterReading> SharedIdReadings()
{
    CDynArray<sParameterReading> readings;
    for (const sParameterReading& r : {Reading(1, 1, kDo, 1), Reading(1, 2, kDo, 20), Reading(1, 3, kDo, 2),
                                       Reading(3, 1, kDepth, 2), Reading(3, 2, kDepth, 3)})
        readings.Add(r);
    return readings;
}

std::vector<std::pair<USHORT, USHORT>> Ids(const CDynArray<sParameterReading>& readings)
{
    std::vector<std::pair<USHORT, USHORT>> ids;
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
        ids.emplace_back(readings[i].SensorId, readings[i].ParameterId);
    return ids;
}

std::u16string StoredEntry(uint32_t entry)
{
    const CWideString text = GetProfileString(POLL_SELECTION_SECTION, PollSelectionKey(entry), nullptr);
    return text.IsEmpty() ? std::u16string() : std::u16string(static_cast<const char16_t*>(text));
}

class PollSelection : public ::testing::Test
{
protected:
    PollSelection() { LoadPollSelection(); }

    // What the page does when the user moves row s up: the record moves, the two orders are set.
    static void MoveUp(CDynArray<sParameterReading>& rows, uint32_t s)
    {
        const sParameterReading moved = rows[s];
        rows.RemoveAt(s);
        rows.InsertAt(s - 1, moved);
        SetPollParameterOrder(static_cast<USHORT>(s - 1), moved.SensorId, moved.ParameterId);
        SetPollParameterOrder(static_cast<USHORT>(s), rows[s].SensorId, rows[s].ParameterId);
        RenumberPollSelection(rows);
    }

    testsupport::ScopedConfigDir m_config;
};

TEST_F(PollSelection, AValueThatIsNotFourIntegersGivesAnEntryThatNeverMatches)
{
    EXPECT_EQ(ParsePollEntry(u"42 20"), sParameters{});
    EXPECT_EQ(ParsePollEntry(u""), sParameters{});
    EXPECT_EQ(ParsePollEntry(u"42 x 1 0"), sParameters{});
    EXPECT_EQ(ParsePollEntry(nullptr), sParameters{});
    // Fields a u16 cannot carry are refused rather than cut down to another sensor's id.
    EXPECT_EQ(ParsePollEntry(u"65578 1 1 0"), sParameters{});
    EXPECT_EQ(ParsePollEntry(u"42 -1 1 0"), sParameters{});
    EXPECT_EQ(ParsePollEntry(u"42 1 1 99999999999999999999999"), sParameters{});
    // As a scan for four integers reads them: blanks of any kind, signs, text after the fourth.
    EXPECT_EQ(ParsePollEntry(u"\t42\n 1  +1 7 trailing"), (sParameters{42, 1, 1, 7}));
    EXPECT_EQ(ParsePollEntry(u"42 1 -1 0").Enabled, 0xFFFFFFFFu);

    ASSERT_TRUE(WriteProfileString(POLL_SELECTION_SECTION, u"Param02", u"42 20"));
    LoadPollSelection();
    EXPECT_EQ(FindPollEntry(kDo, 20), -1);
    CDynArray<sParameterReading> list = MultiSensorReadings();
    BuildOrderedPollList(list);
    EXPECT_EQ(FindReading(list, kDo, 20), -1);
}

TEST_F(PollSelection, TheOrderedListTakesTheFirstReadingOfEachEnabledEntryInDisplayOrder)
{
    // The defaults: every entry but the conductivity and pressure sensors' temperatures, in table
    // order. Both temperature readings are there; only the DO sensor's entry is enabled, and once.
    CDynArray<sParameterReading> readings = MultiSensorReadings();
    BuildOrderedPollList(readings);
    const std::vector<std::pair<USHORT, USHORT>> expected = {{kDo, 1},
                                                             {kDo, 20},
                                                             {kDo, 21},
                                                             {kDo, 30},
                                                             {kConductivity, 9},
                                                             {kConductivity, 10},
                                                             {kConductivity, 12},
                                                             {kConductivity, 13},
                                                             {kConductivity, 11},
                                                             {kConductivity, 14},
                                                             {kPhOrp, 17},
                                                             {kPhOrp, 18},
                                                             {kPhOrp, 19}};
    EXPECT_EQ(Ids(readings), expected);
    EXPECT_EQ(readings[0].Connection, 1u);
}

TEST_F(PollSelection, AFreshPollListOffersOneTemperatureAndOnlyWhenItsOwnEntryIsEnabled)
{
    EXPECT_EQ(Ids(BuildPollListFromReadings(MultiSensorReadings())).front(),
              (std::pair<USHORT, USHORT>{kDo, 1}));

    // A probe whose first temperature is the conductivity sensor's: that entry is disabled, and the
    // DO entry does not stand in for it.
    CDynArray<sParameterReading> readings;
    readings.Add(Reading(1, 1, kConductivity, 1));
    readings.Add(Reading(1, 2, kConductivity, 9));
    readings.Add(Reading(2, 1, kDo, 1));
    EXPECT_EQ(Ids(BuildPollListFromReadings(readings)),
              (std::vector<std::pair<USHORT, USHORT>>{{kConductivity, 9}}));

    const CDynArray<sParameterReading> offered = BuildOfferedReadings(readings);
    EXPECT_EQ(Ids(offered), (std::vector<std::pair<USHORT, USHORT>>{{kConductivity, 1}, {kConductivity, 9}}));
}

TEST_F(PollSelection, TheChoiceTicksAndChangesOnlyTheEntryOfTheReadingsOwnSensor)
{
    CPollChoice choice;
    choice.SetCandidates(SharedIdReadings());
    choice.Load();
    ASSERT_EQ(choice.Items().size(), 5u);
    std::vector<BOOL> ticks;
    for (const sPollChoiceItem& item : choice.Items())
        ticks.push_back(item.Checked);

    // Untick the DO sensor's partial pressure (its third reading).
    ASSERT_EQ(Ids(BuildOfferedReadings(SharedIdReadings()))[2], (std::pair<USHORT, USHORT>{kDo, 2}));
    ticks[2] = FALSE;
    choice.Apply(ticks);

    EXPECT_FALSE(IsPollEntryEnabled(kDo, 2));
    EXPECT_TRUE(IsPollEntryEnabled(kDepth, 2)) << "the depth sensor's pressure shares the parameter id";
    EXPECT_EQ(StoredEntry(17), u"42 2 0 17");
    EXPECT_EQ(StoredEntry(24), u"") << "only the changed entry is written";
    EXPECT_EQ(Ids(choice.GetSelected()),
              (std::vector<std::pair<USHORT, USHORT>>{{kDo, 1}, {kDo, 20}, {kDepth, 2}, {kDepth, 3}}));

    // Unticking the temperature disables the DO sensor's temperature entry, not another's.
    ticks[0] = FALSE;
    choice.Apply(ticks);
    EXPECT_FALSE(IsPollEntryEnabled(kDo, 1));
    EXPECT_EQ(GetPollSelection()[4].Enabled, 0u);
    EXPECT_EQ(GetPollSelection()[11].Enabled, 0u);
}

TEST_F(PollSelection, ANewlyChosenParameterJoinsAtTheEndAndAnUnchosenOneLeaves)
{
    CDynArray<sParameterReading> rows = BuildPollListFromReadings(MultiSensorReadings());
    CPollChoice choice;
    choice.SetCandidates(MultiSensorReadings());
    choice.Load();
    std::vector<BOOL> ticks;
    for (const sPollChoiceItem& item : choice.Items())
    {
        const bool salinity = item.Reading.SensorId == kConductivity && item.Reading.ParameterId == 12;
        const bool concentration = item.Reading.SensorId == kDo && item.Reading.ParameterId == 20;
        ticks.push_back(salinity ? FALSE : item.Checked);
        if (concentration)
            ticks.back() = FALSE;
    }
    choice.Apply(ticks);
    MergePollSelection(rows, choice.GetSelected());
    EXPECT_EQ(FindReading(rows, kConductivity, 12), -1);
    EXPECT_EQ(FindReading(rows, kDo, 20), -1);

    // Tick the concentration again: it comes back at the end, not at its old place.
    choice.Load();
    ticks.clear();
    for (const sPollChoiceItem& item : choice.Items())
        ticks.push_back(item.Reading.SensorId == kDo && item.Reading.ParameterId == 20 ? TRUE : item.Checked);
    choice.Apply(ticks);
    MergePollSelection(rows, choice.GetSelected());
    EXPECT_EQ(FindReading(rows, kDo, 20), static_cast<int>(rows.GetCount()) - 1);
    EXPECT_EQ(Ids(BuildPollListFromReadings(MultiSensorReadings())), Ids(rows));
}

TEST_F(PollSelection, TheUsersOrderSurvivesReconnectingWhateverProbeWasBetween)
{
    CDynArray<sParameterReading> rows = BuildPollListFromReadings(MultiSensorReadings());
    // pH to the top, then ORP just below the temperature.
    const int ph = FindReading(rows, kPhOrp, 17);
    for (uint32_t s = static_cast<uint32_t>(ph); s > 0; --s)
        MoveUp(rows, s);
    const int orp = FindReading(rows, kPhOrp, 19);
    for (uint32_t s = static_cast<uint32_t>(orp); s > 2; --s)
        MoveUp(rows, s);
    const auto order = Ids(rows);
    ASSERT_EQ(order[0], (std::pair<USHORT, USHORT>{kPhOrp, 17}));
    ASSERT_EQ(order[2], (std::pair<USHORT, USHORT>{kPhOrp, 19}));

    // No two enabled entries share an order, so the next sort has one answer.
    std::set<USHORT> orders;
    for (const sParameters& entry : GetPollSelection())
    {
        if (entry.Enabled != 0)
        {
            EXPECT_TRUE(orders.insert(entry.DisplayOrder).second) << entry.DisplayOrder;
        }
    }

    // Another probe with the shared-id sensors, moved around as well, then the first one again.
    LoadPollSelection();
    CDynArray<sParameterReading> other = BuildPollListFromReadings(SharedIdReadings());
    MoveUp(other, other.GetCount() - 1);
    LoadPollSelection();
    EXPECT_EQ(Ids(BuildPollListFromReadings(MultiSensorReadings())), order);
}

} // namespace
} // namespace apptest
