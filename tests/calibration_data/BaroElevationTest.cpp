// The standard atmosphere, its inverse, the five-digit limits a user's entry is held to, and the
// entry of a pressure by the site's elevation.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "calibration/data/BaroElevation.h"
#include "calibration/data/BaroEntry.h"
#include "tests/support/TestEnvironment.h"

namespace
{

constexpr UnitId kPsi = 17, kPascal = 18, kKiloPascal = 19, kBar = 20, kMilliBar = 21, kMmHg = 22, kInHg = 23,
                 kCmH2O = 24, kInH2O = 25, kTorr = 26, kMm = 33, kCm = 34, kMetre = 35, kKm = 36, kInch = 37,
                 kFoot = 38;

TEST(BaroModel, FollowsTheStandardAtmosphereAndClampsOutsideItsDomain)
{
    EXPECT_NEAR(PressureAtElevation(0.0), 1013.25, 1e-9);
    EXPECT_NEAR(PressureAtElevation(1000.0), 898.7, 0.05);
    EXPECT_NEAR(PressureAtElevation(5000.0), 540.2, 0.05);
    EXPECT_EQ(PressureAtElevation(-2000.0), 1210.0);
    EXPECT_EQ(PressureAtElevation(20000.0), 111.0);
    EXPECT_EQ(PressureAtElevation(NAN), 111.0);
}

TEST(BaroModel, InverseReturnsTheElevationWithinTheBisectionTolerance)
{
    for (double metres : {-1000.0, 0.0, 1000.0, 5000.0, 12000.0})
        EXPECT_NEAR(ElevationFromPressure(PressureAtElevation(metres)), metres, 1e-6) << metres;
    EXPECT_EQ(ElevationFromPressure(100.0), 15240.0);
    EXPECT_EQ(ElevationFromPressure(1300.0), -1524.0);
    EXPECT_EQ(ElevationFromPressure(NAN), -1524.0);
}

struct Limits
{
    int quantity;
    UnitId unit;
    double min;
    double max;
};

class BaroLimits : public ::testing::TestWithParam<Limits>
{
};

TEST_P(BaroLimits, HeldToFiveSignificantDigits)
{
    EXPECT_DOUBLE_EQ(BaroElevation::GetMin(GetParam().quantity, GetParam().unit), GetParam().min);
    EXPECT_DOUBLE_EQ(BaroElevation::GetMax(GetParam().quantity, GetParam().unit), GetParam().max);
}

INSTANTIATE_TEST_SUITE_P(
    EveryUnit, BaroLimits,
    ::testing::Values(
        Limits{baro::kPressure, kPsi, 7.3488, 16.165}, Limits{baro::kPressure, kPascal, 50668, 111450},
        Limits{baro::kPressure, kKiloPascal, 50.668, 111.45}, Limits{baro::kPressure, kBar, 0.50668, 1.1145},
        Limits{baro::kPressure, kMilliBar, 506.68, 1114.5}, Limits{baro::kPressure, kMmHg, 380.04, 835.98},
        Limits{baro::kPressure, kInHg, 14.962, 32.913}, Limits{baro::kPressure, kCmH2O, 516.67, 1136.5},
        Limits{baro::kPressure, kInH2O, 203.41, 447.45}, Limits{baro::kElevation, kMm, -811030, 5476400},
        Limits{baro::kElevation, kCm, -81103, 547640}, Limits{baro::kElevation, kMetre, -811.03, 5476.4},
        Limits{baro::kElevation, kKm, -0.81103, 5.4764}, Limits{baro::kElevation, kInch, -31931, 215600},
        Limits{baro::kElevation, kFoot, -2660.9, 17967}));

TEST(BaroElevationPair, AnEntryOutOfRangeIsRefusedButStillStored)
{
    BaroElevation pair;
    EXPECT_FALSE(pair.Set(baro::kPressure, kMilliBar, 1114.55));
    EXPECT_DOUBLE_EQ(pair.Get(baro::kPressure, kMilliBar), 1114.55);
    EXPECT_FALSE(pair.Set(baro::kPressure, kPascal, 111455.0)) << "the upper limit in Pa is 111450";
    EXPECT_TRUE(pair.Set(baro::kPressure, kPascal, 111450.0));

    EXPECT_FALSE(pair.Set(baro::kElevation, kMetre, 6000.0));
    EXPECT_DOUBLE_EQ(pair.Get(baro::kElevation, kMetre), 6000.0);
    EXPECT_NEAR(pair.Get(baro::kPressure, kMilliBar), PressureAtElevation(6000.0), 1e-9);
    EXPECT_FALSE(pair.Set(baro::kPressure, kMilliBar, NAN));
}

TEST(BaroElevationPair, DerivesTheOtherQuantityInTheUnitAsked)
{
    BaroElevation pair;
    EXPECT_TRUE(pair.Set(baro::kPressure, kMilliBar, 1013.25));
    EXPECT_NEAR(pair.Get(baro::kElevation, kMetre), 0.0, 1e-6);
    EXPECT_NEAR(pair.Get(baro::kElevation, kFoot), 0.0, 1e-5);
    EXPECT_TRUE(pair.Set(baro::kElevation, kFoot, 3280.84));
    EXPECT_NEAR(pair.Get(baro::kPressure, kMilliBar), PressureAtElevation(1000.0), 1e-3);
    EXPECT_NEAR(pair.Get(baro::kPressure, kInHg), PressureAtElevation(1000.0) / 33.8639, 1e-3);
}

TEST(BaroElevationPair, AUnitOfTheOtherQuantityChangesNothing)
{
    BaroElevation pair;
    ASSERT_TRUE(pair.Set(baro::kPressure, kMilliBar, 900.0));
    EXPECT_FALSE(pair.Set(baro::kElevation, kMilliBar, 100.0));
    EXPECT_FALSE(pair.Set(baro::kPressure, kTorr, 700.0)) << "no conversion to take it through";
    EXPECT_TRUE(pair.Set(2, kMetre, 100.0));
    EXPECT_DOUBLE_EQ(pair.Get(baro::kPressure, kMilliBar), 900.0);
    EXPECT_EQ(pair.Get(baro::kPressure, kMetre), DBL_MAX);
    EXPECT_EQ(pair.Get(baro::kPressure, kTorr), DBL_MAX);
    EXPECT_EQ(BaroElevation::GetMin(baro::kPressure, kTorr), DBL_MAX);
}

TEST(BaroEntryByElevation, AClearedElevationIsSeaLevelButAStrayMinusIsNoElevation)
{
    const testsupport::ScopedConfigDir config;
    CBaroEntry entry;
    entry.SetPressureMbar(900.0);
    entry.Open();
    entry.SelectMode(BARO_MODE_ELEVATION);
    entry.TypeElevation(u"");
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(entry.GetPressureText())), u"1013.25");
    EXPECT_TRUE(entry.IsValid());
    EXPECT_DOUBLE_EQ(entry.GetPressureMbar(), 1013.25);
    entry.SelectElevationUnit(kFoot - BARO_FIRST_ELEVATION_UNIT);
    EXPECT_TRUE(entry.IsValid()) << "0 ft is 0 m";

    entry.TypeElevation(u"-");
    EXPECT_TRUE(entry.GetPressureText().IsEmpty());
    EXPECT_FALSE(entry.IsValid());
}

TEST(BaroEntryByElevation, AnOutOfRangePressureLeftBehindByTheOtherModeIsNeverHandedBack)
{
    const testsupport::ScopedConfigDir config;
    CBaroEntry entry;
    entry.SetPressureMbar(1013.25);
    entry.Open();
    entry.SelectPressureUnit(kPascal - BARO_FIRST_PRESSURE_UNIT); // 1013.25 Pa: no site's pressure
    ASSERT_FALSE(entry.IsValid());
    entry.SelectMode(BARO_MODE_ELEVATION);
    ASSERT_TRUE(entry.GetElevationText().IsEmpty());
    EXPECT_FALSE(entry.IsValid()) << "an empty elevation would hand back 10.1325 mBar";
    entry.TypeElevation(u"");
    EXPECT_TRUE(entry.IsValid());
    EXPECT_DOUBLE_EQ(entry.GetPressureMbar(), 1013.25);
}

} // namespace
