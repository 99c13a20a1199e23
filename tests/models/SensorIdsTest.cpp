// What each sensor of the families and of the multi-parameter sonde reports itself as, read through
// the device: its sensor id, and by parameter number the parameter ids its family's operations take
// for the quantity they name (a conductivity quantity 3 that is the salinity, a fluorometer's
// parameter 3 that is its fluorescence, a flow logger's parameter 3 that is the head). Pages, polls
// and log descriptions find the quantities by these ids.
#include <string>
#include <vector>

#include "tests/models/SondeTestSupport.h"

namespace modeltest
{
namespace
{

namespace sonde = probesim::sonde;

// Parameter ids, by the system's names.
enum : uint16_t
{
    kTemperature = 1,
    kPressure = 2,
    kDepth = 3,
    kActualConductivity = 9,
    kSpecificConductivity = 10,
    kResistivity = 11,
    kSalinity = 12,
    kTotalDissolvedSolids = 13,
    kWaterDensity = 14,
    kBarometricPressure = 16,
    kPh = 17,
    kPhMillivolts = 18,
    kOrp = 19,
    kDoConcentration = 20,
    kDoSaturation = 21,
    kChloride = 24,
    kTurbidity = 25,
    kHead = 27,
    kFlow = 28,
    kTotalFlow = 29,
    kOxygenPartialPressure = 30,
    kSuspendedSolids = 31,
    kRhodamineConcentration = 34,
    kRhodamineFluorescence = 35,
    kChlorideMillivolts = 36,
    kNitrate = 37,
    kNitrateMillivolts = 38,
    kAmmonium = 39,
    kAmmoniumMillivolts = 40,
    kAmmonia = 41,
    kTotalAmmonia = 42,
    kChlorophyllConcentration = 50,
    kChlorophyllFluorescence = 51,
    kPhycocyaninConcentration = 54,
    kPhycocyaninFluorescence = 55,
    kPhycoerythrinConcentration = 58,
    kPhycoerythrinFluorescence = 59,
};

// The conductivity quantities 1 to 6 as the conductivity operations number them.
const std::vector<uint16_t> kConductivityQuantities{kActualConductivity, kSpecificConductivity,
                                                    kSalinity,           kTotalDissolvedSolids,
                                                    kResistivity,        kWaterDensity};

std::vector<uint16_t> Joined(std::vector<uint16_t> first, const std::vector<uint16_t>& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

struct Reported
{
    std::string what;
    uint16_t sensorId;
    std::vector<uint16_t> parameterIds; // by parameter number
};

class SensorIds : public SondeTest
{
protected:
    void Expect(uint16_t connection, const Reported& expected)
    {
        SCOPED_TRACE(expected.what);
        USHORT sensorId = 0;
        ASSERT_EQ(Device().GetSensorId(connection, sensorId), S_OK);
        EXPECT_EQ(sensorId, expected.sensorId);
        std::vector<uint16_t> parameterIds;
        for (USHORT parameter = 1;; ++parameter)
        {
            USHORT id = 0;
            if (Failed(Device().GetParameterId(connection, parameter, id)))
                break;
            parameterIds.push_back(id);
        }
        EXPECT_EQ(parameterIds, expected.parameterIds);
    }
};

TEST_F(SensorIds, TheFamiliesSensorsReportTheIdsOfTheirQuantities)
{
    const struct
    {
        uint16_t type;
        uint16_t connection;
        Reported reported;
    } families[] = {
        {3, 1, {"barometric logger", 13, {kBarometricPressure, kTemperature}}},
        {17, 1, {"barometric logger", 13, {kBarometricPressure, kTemperature}}},
        {0x8000, 1, {"control unit", 2, {kPressure, kTemperature}}},
        // Pressure 1, temperature 2, level 3, conductivity quantities from 4.
        {5,
         1,
         {"conductivity sonde", 16, Joined({kPressure, kTemperature, kDepth}, kConductivityQuantities)}},
        // Conductivity quantity 1 first, the temperature 2, the others from 3.
        {10,
         1,
         {"conductivity sonde without pressure",
          35,
          {kActualConductivity, kTemperature, kSpecificConductivity, kSalinity, kTotalDissolvedSolids,
           kResistivity, kWaterDensity}}},
        {11, 1, {"flow logger", 37, {kPressure, kTemperature, kHead, kFlow, kTotalFlow}}},
        {21, 4, {"handheld pH", 46, {kPh, kPhMillivolts, kTemperature}}},
        {21, 5, {"handheld ORP", 47, {kOrp, kTemperature}}},
    };
    for (const auto& family : families)
    {
        StartProbe(family.type);
        ASSERT_EQ(CreateDevice(), S_OK);
        Expect(family.connection, family.reported);
    }
}

TEST_F(SensorIds, EachSondeSensorReportsTheIdsItsClassReadsItsQuantitiesBy)
{
    const Reported sensors[] = {
        {"turbidity", sonde::kTurbidity, {kTurbidity, kSuspendedSolids}},
        {"level", sonde::kLevel, {kPressure, kDepth}},
        {"level 5", sonde::kLevel5, {kPressure, kDepth}},
        {"temperature", sonde::kTemperature, {kTemperature}},
        {"temperature 2", sonde::kTemperature2, {kTemperature}},
        {"conductivity", sonde::kConductivity, Joined({kTemperature}, kConductivityQuantities)},
        // Quantity A, B on parameter 2, the temperature, quantity C.
        {"optical DO",
         sonde::kOpticalDo,
         {kDoConcentration, kDoSaturation, kTemperature, kOxygenPartialPressure}},
        {"pH/ORP", sonde::kPhOrp, {kPh, kPhMillivolts, kOrp}},
        {"barometer", sonde::kBarometric, {kBarometricPressure}},
        // The second parameter and the first (parameter 3) of the fluorometer operations.
        {"rhodamine", sonde::kRhodamine, {kTemperature, kRhodamineConcentration, kRhodamineFluorescence}},
        {"chlorophyll a",
         sonde::kChlorophyll,
         {kTemperature, kChlorophyllConcentration, kChlorophyllFluorescence}},
        {"phycocyanin",
         sonde::kPhycocyanin,
         {kTemperature, kPhycocyaninConcentration, kPhycocyaninFluorescence}},
        {"phycoerythrin",
         sonde::kPhycoerythrin,
         {kTemperature, kPhycoerythrinConcentration, kPhycoerythrinFluorescence}},
        {"nitrate", sonde::kNitrate, {kNitrate, kNitrateMillivolts}},
        {"ammonium", sonde::kAmmonium, {kAmmonium, kAmmoniumMillivolts, kAmmonia, kTotalAmmonia}},
        {"chloride", sonde::kChloride, {kChloride, kChlorideMillivolts}},
    };
    std::vector<uint16_t> ids;
    for (const Reported& sensor : sensors)
        ids.push_back(sensor.sensorId);
    // Ten connections at most: two sondes.
    const size_t half = ids.size() / 2;
    for (size_t first : {size_t{0}, half})
    {
        const size_t count = first == 0 ? half : ids.size() - half;
        StartSonde(std::vector<uint16_t>(ids.begin() + static_cast<std::ptrdiff_t>(first),
                                         ids.begin() + static_cast<std::ptrdiff_t>(first + count)));
        for (size_t i = 0; i < count; ++i)
            Expect(static_cast<uint16_t>(i + 1), sensors[first + i]);
    }
}

} // namespace
} // namespace modeltest
