#include <gtest/gtest.h>

#include "foundation/Formulas.h"

TEST(GravityCorrectionFactor, FollowsNormalGravityOverLatitudeAndElevation)
{
    // Normal gravity at sea level: 9.7803 m/s² at the equator, 9.8062 at 45°, 9.8322 at the poles.
    EXPECT_DOUBLE_EQ(GravityCorrectionFactor(Elevation{0}, Latitude{0}), 9.780365 / 9.80665);
    EXPECT_NEAR(GravityCorrectionFactor(Elevation{0}, Latitude{45}) * 9.80665, 9.8062, 1e-3);
    EXPECT_NEAR(GravityCorrectionFactor(Elevation{0}, Latitude{90}) * 9.80665, 9.8322, 1e-3);
    EXPECT_DOUBLE_EQ(GravityCorrectionFactor(Elevation{1200}, Latitude{-33.9}),
                     GravityCorrectionFactor(Elevation{1200}, Latitude{33.9}));
    // The free-air gradient: 3.086 mm/s² per kilometre of height.
    const double sea = GravityCorrectionFactor(Elevation{0}, Latitude{52.5});
    const double mountain = GravityCorrectionFactor(Elevation{2000}, Latitude{52.5});
    EXPECT_NEAR((sea - mountain) * 9.80665, 2 * 0.003086, 1e-12);
}

TEST(PressureToDepth, ConvertsAPressureIntoAColumnOfWaterAndBackOrGivesZeroOrMetres)
{
    EXPECT_DOUBLE_EQ(PressureToDepth(FromUnit{17}, ToUnit{35}, SpecificGravity{1}, 1.0), 0.70307);
    EXPECT_DOUBLE_EQ(PressureToDepth(FromUnit{17}, ToUnit{38}, SpecificGravity{1}, 1.0), 0.70307 * 3.28084);
    // Ten metres of fresh water are about 98.07 kPa; sea water is denser.
    EXPECT_NEAR(PressureToDepth(FromUnit{19}, ToUnit{35}, SpecificGravity{1}, 98.0665), 10.0, 1e-4);
    EXPECT_NEAR(PressureToDepth(FromUnit{21}, ToUnit{34}, SpecificGravity{1.025}, 100.0),
                100.0 / 68.94757 * 70.307 / 1.025, 1e-9);
    EXPECT_NEAR(DepthToPressure(ToUnit{19}, FromUnit{35}, SpecificGravity{1}, 0.70307), 6.894757, 1e-9);
    for (UnitId pressure : {17, 18, 19, 20, 21, 22, 23, 24, 25})
    {
        for (UnitId length : {33, 34, 35, 36, 37, 38})
        {
            const double depth =
                PressureToDepth(FromUnit{pressure}, ToUnit{length}, SpecificGravity{1.02}, 3.5);
            EXPECT_NEAR(DepthToPressure(ToUnit{pressure}, FromUnit{length}, SpecificGravity{1.02}, depth),
                        3.5, 1e-9)
                << pressure << " " << length;
        }
    }

    EXPECT_EQ(PressureToDepth(FromUnit{17}, ToUnit{35}, SpecificGravity{0}, 10.0), 0.0);
    EXPECT_EQ(PressureToDepth(FromUnit{26}, ToUnit{35}, SpecificGravity{1}, 760.0), 0.0); // Torr
    EXPECT_EQ(PressureToDepth(FromUnit{35}, ToUnit{35}, SpecificGravity{1}, 10.0), 0.0);  // not a pressure
    EXPECT_DOUBLE_EQ(PressureToDepth(FromUnit{17}, ToUnit{1}, SpecificGravity{1}, 2.0), 2 * 0.70307);
    EXPECT_EQ(DepthToPressure(ToUnit{17}, FromUnit{35}, SpecificGravity{0}, 10.0), 0.0);
    EXPECT_EQ(DepthToPressure(ToUnit{27}, FromUnit{35}, SpecificGravity{1}, 10.0), 0.0); // atm
    EXPECT_DOUBLE_EQ(DepthToPressure(ToUnit{17}, FromUnit{1}, SpecificGravity{1}, 0.70307), 1.0);
}

TEST(DetermineSpecCondMethod, ClassifiesTheCompensation)
{
    CDynArray<float> coefficients;
    EXPECT_EQ(DetermineSpecCondMethod(coefficients, 25.0f, 0.0191f), 3); // eight zeros
    coefficients.Add(1.0f);
    EXPECT_EQ(DetermineSpecCondMethod(coefficients, 25.0f, 0.0191f), 0);
    EXPECT_EQ(DetermineSpecCondMethod(coefficients, 20.0f, 0.0191f), 1);
    EXPECT_EQ(DetermineSpecCondMethod(coefficients, 25.0f, 0.02f), 1);
    coefficients.Add(0.5f);
    EXPECT_EQ(DetermineSpecCondMethod(coefficients, 25.0f, 0.0191f), 3);

    CDynArray<float> nonlinear;
    for (float c : SPEC_COND_NONLINEAR_COEFFS)
        nonlinear.Add(c);
    EXPECT_EQ(DetermineSpecCondMethod(nonlinear, 0.0f, 0.0f), 2);
    EXPECT_EQ(DetermineSpecCondMethod(nonlinear, 25.0f, 0.0f), 3);
    nonlinear.SetSize(7); // a missing eighth counts as 0
    EXPECT_EQ(DetermineSpecCondMethod(nonlinear, 0.0f, 0.0f), 2);
    nonlinear[5] = -3.1e-9f;
    EXPECT_EQ(DetermineSpecCondMethod(nonlinear, 0.0f, 0.0f), 3);
}
