// The pH and ORP calibration against the multi-sensor probe with dialled millivolts: the buffer
// table, sorted points and their segments as the sensor receives them, the ZoBell offset, the
// stability windows, the refusals, and the restore command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "calibration/data/CalDataPHORP.h"
#include "platform/Format.h"
#include "tests/calibration_data/CalTestSupport.h"
#include "tools/probe-sim/PhOrpSensor.h"

namespace caltest
{
namespace
{

namespace ph = probesim::phsensor;
using windowmsg::WM_CAL_ACCEPTED;
using windowmsg::WM_CAL_NEXT_POINT;
using windowmsg::WM_CAL_SAMPLES_READY;
using windowmsg::WM_NEW_DATA;

std::vector<uint32_t> PointMessages(const std::vector<uint32_t>& posted)
{
    std::vector<uint32_t> points;
    std::copy_if(posted.begin(), posted.end(), std::back_inserter(points),
                 [](uint32_t m) { return m == WM_CAL_NEXT_POINT || m == WM_CAL_ACCEPTED; });
    return points;
}

class PhOrpCal : public CalibrationTest
{
protected:
    void SetUp() override
    {
        StartDialledProbe();
        m_temperature.Set(25.0f);
        m_data = std::make_unique<CCalDataPHORP>(m_connection);
        m_data->SetRunCacheTimeout(1);
        ASSERT_EQ(m_data->StartManual(m_phOrpSensor.get(), &m_window), S_OK);
        ASSERT_TRUE(m_data->RunStartSteps());
        m_window.Take();
    }

    void TearDown() override { m_data.reset(); }

    void SetPoints(std::vector<int32_t> solutions, std::vector<const char16_t*> texts = {u"", u"", u""})
    {
        m_data->SetMode(PHORP_MODE_PH);
        m_data->SetPointCount(static_cast<uint16_t>(solutions.size()));
        for (size_t i = 0; i < solutions.size(); ++i)
            m_data->SetPointSolution(static_cast<int>(i), solutions[i]);
        m_data->SetPointValueTexts(CWideString(texts[0]), CWideString(texts[1]), CWideString(texts[2]));
    }

    void Cycles(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(m_data->RunCycle());
    }

    // Samples each point at its millivolts and accepts it.
    void SamplePoints(std::vector<float> millivolts)
    {
        ASSERT_EQ(m_data->PrepareStabilization(), S_OK);
        ASSERT_EQ(m_data->BeginCalibration(), S_OK);
        for (size_t i = 0; i < millivolts.size(); ++i)
        {
            if (i > 0)
                m_data->Run();
            m_pHMillivolts.Set(millivolts[i]);
            Cycles(5);
            m_data->Accept();
            Cycles(1);
        }
    }

    float Sim(uint16_t offset) { return SimFloat(kPhOrp, offset); }

    std::unique_ptr<CCalDataPHORP> m_data;
};

TEST_F(PhOrpCal, PointsEnteredOutOfOrderAreWrittenSortedWithTwoSegments)
{
    SetPoints({CAL_SOLUTION_PH10, CAL_SOLUTION_PH4, CAL_SOLUTION_PH7});
    SamplePoints({-177.5f, 177.5f, 0.0f});
    EXPECT_EQ(PointMessages(m_window.Take()),
              (std::vector<uint32_t>{WM_CAL_NEXT_POINT, WM_CAL_NEXT_POINT, WM_CAL_ACCEPTED}));
    ASSERT_EQ(m_data->CommitCalibration(), S_OK);

    EXPECT_EQ(SimWord(kPhOrp, ph::kPointCount), 3u);
    const float expected[3][3] = {{4.00f, 177.5f, 25.0f}, {7.00f, 0.0f, 25.0f}, {10.00f, -177.5f, 25.0f}};
    for (uint16_t p = 1; p <= 3; ++p)
        for (uint16_t v = 0; v < 3; ++v)
            EXPECT_FLOAT_EQ(Sim(ph::PointValue(p, v)), expected[p - 1][v]) << "point " << p << " value " << v;
    EXPECT_NEAR(Sim(ph::SegmentSlope(1)), -3.0f / 177.5f, 1e-7f);
    EXPECT_NEAR(Sim(ph::SegmentOffset(1)), 7.0f, 1e-5f);
    EXPECT_NEAR(Sim(ph::SegmentSlope(2)), -3.0f / 177.5f, 1e-7f);
    EXPECT_NEAR(Sim(ph::SegmentOffset(2)), 7.0f, 1e-5f);
    EXPECT_EQ(CommandsSinceMark(kPhOrp), (std::vector<uint16_t>{0xE000, 0xE001}));

    const CCalReport& report = m_data->GetReport();
    EXPECT_EQ(Utf8(report.m_title), "pH Calibration Report");
    ASSERT_EQ(report.m_pointSections.GetCount(), 3u);
    EXPECT_EQ(
        Lines(report.m_pointSections[0]),
        (std::vector<std::string>{PointLine("Standard:", "pH 10"), PointLine("Stimulus:", "10.00 pH"),
                                  PointLine("Response:", "-177.50 mV"), PointLine("Temperature:", "25.00 C"),
                                  PointLine("Stability:", "None")}));
    const float m = m_data->GetSegmentSlope(1);
    const float b = m_data->GetSegmentOffset(1);
    const std::vector<std::string> footer = Lines(report.m_footerLines);
    ASSERT_EQ(footer.size(), 8u) << "two segment blocks";
    EXPECT_EQ(footer[4], "Line Segment 2");
    EXPECT_EQ(footer[5], PointLine("Slope:", platform::Format("%.4f pH/mV (%.4f mV/pH)", m, 1.0f / m)));
    EXPECT_EQ(footer[6], PointLine("Offset:", platform::Format("%.4f pH (%.4f mV)", b, -(b / m))));
    EXPECT_EQ(footer[7], "");
}

TEST_F(PhOrpCal, OnePointKeepsTheNernstSlopeAtItsTemperature)
{
    SetPoints({CAL_SOLUTION_PH7});
    SamplePoints({0.0f});
    ASSERT_EQ(m_data->CommitCalibration(), S_OK);
    EXPECT_EQ(SimWord(kPhOrp, ph::kPointCount), 1u);
    EXPECT_FLOAT_EQ(Sim(ph::PointValue(1, 0)), 7.00f);
    EXPECT_FLOAT_EQ(Sim(ph::SegmentSlope(1)), CCalDataPHORP::kNernstSlope);
    EXPECT_FLOAT_EQ(Sim(ph::SegmentOffset(1)), 7.0f);
    EXPECT_FLOAT_EQ(Sim(ph::SegmentSlope(2)), CCalDataPHORP::kNernstSlope) << "segment 2 is always written";
    EXPECT_FLOAT_EQ(Sim(ph::SegmentOffset(2)), 7.0f);
    ASSERT_EQ(m_data->GetReport().m_footerLines.GetCount(), 4u) << "one segment block";
}

TEST_F(PhOrpCal, TheNernstSlopeIsBroughtToTheBuffersTemperatureOnce)
{
    m_temperature.Set(35.0f);
    SetPoints({CAL_SOLUTION_PH7});
    SamplePoints({-30.0f});
    const float slope = CCalDataPHORP::kNernstSlope * 298.15f / 308.15f;
    for (int commit = 1; commit <= 2; ++commit)
    {
        ASSERT_EQ(m_data->CommitCalibration(), S_OK);
        EXPECT_NEAR(Sim(ph::SegmentSlope(1)), slope, 1e-8f) << "commit " << commit;
        EXPECT_NEAR(Sim(ph::SegmentOffset(1)), 6.98f + 30.0f * slope, 1e-5f) << "pH 7 reads 6.98 at 35 C";
    }
}

TEST_F(PhOrpCal, LinesThatDoNotFallWithMillivoltsAreRefusedAndNothingIsWritten)
{
    Mark();
    SetPoints({CAL_SOLUTION_PH4, CAL_SOLUTION_PH7});
    SamplePoints({-100.0f, 100.0f});
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "rising";

    SetPoints({CAL_SOLUTION_PH7, CAL_SOLUTION_PH7});
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "one buffer twice";

    SetPoints({CAL_SOLUTION_USER, CAL_SOLUTION_PH7}, {u"4,x", u"", u""});
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "a typed buffer that is no number";

    SetPoints({CAL_SOLUTION_PH4, CAL_SOLUTION_PH7, CAL_SOLUTION_NONE});
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL) << "a counted point without a buffer";

    m_data->SetPointCount(4);
    EXPECT_EQ(m_data->CommitCalibration(), E_FAIL);
    EXPECT_FALSE(WroteInto(kPhOrp, ph::kPointCount, ph::kOrpOffset + 1));
    EXPECT_EQ(CommandsSinceMark(kPhOrp), std::vector<uint16_t>{0xE000}) << "calibration mode only";
}

TEST_F(PhOrpCal, ZoBellsSolutionGivesTheOrpOffset)
{
    m_data->SetMode(PHORP_MODE_ORP);
    m_data->SetPointCount(1);
    m_data->SetPointSolution(0, CAL_SOLUTION_ZOBELL);
    m_data->SetPointValueTexts(CWideString(u"ZoBell's"), CWideString(u""), CWideString(u""));
    m_orp.Set(220.0f);
    ASSERT_EQ(m_data->PrepareStabilization(), S_OK);
    ASSERT_EQ(m_data->BeginCalibration(), S_OK);
    Cycles(5);
    m_data->Accept();
    Cycles(1);
    EXPECT_EQ(PointMessages(m_window.Take()), std::vector<uint32_t>{WM_CAL_ACCEPTED});
    SetSimFloat(kPhOrp, ph::kOrpSlope, 0.5f);
    ASSERT_EQ(m_data->CommitCalibration(), S_OK);

    EXPECT_EQ(SimWord(kPhOrp, ph::kOrpCalibrationWord), 0u);
    EXPECT_NEAR(Sim(ph::kOrpSolution), 229.11f, 1e-4f);
    EXPECT_FLOAT_EQ(Sim(ph::kOrpResponse), 220.0f);
    EXPECT_FLOAT_EQ(Sim(ph::kOrpTemperature), 25.0f);
    EXPECT_FLOAT_EQ(Sim(ph::kOrpSlope), 1.0f);
    EXPECT_NEAR(Sim(ph::kOrpOffset), 9.11f, 1e-4f);

    const CCalReport& report = m_data->GetReport();
    EXPECT_EQ(Utf8(report.m_title), "ORP Calibration Report");
    EXPECT_EQ(
        Lines(report.m_pointSections[0]),
        (std::vector<std::string>{PointLine("Standard:", "ZoBell's"), PointLine("Stimulus:", "229.11 mV"),
                                  PointLine("Response:", "220.00 mV"), PointLine("Temperature:", "25.00 C"),
                                  PointLine("Stability:", "None")}));
    EXPECT_EQ(Lines(report.m_footerLines),
              std::vector<std::string>{"Offset:                       \t9.110 mV"});
}

TEST_F(PhOrpCal, StabilityNeedsElevenAndTwentyOneQuietSamples)
{
    SetPoints({CAL_SOLUTION_PH7, CAL_SOLUTION_PH4});
    ASSERT_EQ(m_data->PrepareStabilization(), S_OK);
    ASSERT_EQ(m_data->BeginCalibration(), S_OK);
    m_window.Take();
    for (int n = 1; n <= 21; ++n)
    {
        m_pHMillivolts.Set(n % 2 == 0 ? 0.4f : -0.4f); // moves, but by less than 1 mV
        ASSERT_TRUE(m_data->RunCycle());
        const int32_t expected = n < 11   ? CAL_STABILITY_NONE
                                 : n < 21 ? CAL_STABILITY_NOMINAL
                                          : CAL_STABILITY_FULL;
        EXPECT_EQ(m_data->GetStability(), expected) << n;
        EXPECT_EQ(m_window.TakeFirst() == WM_CAL_SAMPLES_READY, n >= 5) << n;
    }
    m_pHMillivolts.Set(5.0f);
    Cycles(1);
    EXPECT_EQ(m_data->GetStability(), CAL_STABILITY_NONE) << "5 mV off among the last 11";
    EXPECT_EQ(m_data->GetPointStability(0), static_cast<uint32_t>(CAL_STABILITY_NONE));

    m_data->Accept();
    Cycles(1);
    m_data->Run();
    m_window.Take();
    Cycles(4);
    EXPECT_EQ(m_window.Take(), std::vector<uint32_t>(4, WM_NEW_DATA)) << "the next point counts from 0";
    Cycles(1);
    EXPECT_EQ(m_window.TakeFirst(), WM_CAL_SAMPLES_READY);
}

TEST_F(PhOrpCal, StabilityBoundsAreStrictJustEitherSideOfFiveAndOneMillivolt)
{
    struct Spread
    {
        float width; // mV between neighbouring samples
        int32_t afterEleven;
        int32_t afterTwentyOne;
    };
    const Spread spreads[] = {{4.98f, CAL_STABILITY_NOMINAL, CAL_STABILITY_NOMINAL},
                              {5.02f, CAL_STABILITY_NONE, CAL_STABILITY_NONE},
                              {0.98f, CAL_STABILITY_NOMINAL, CAL_STABILITY_FULL},
                              {1.02f, CAL_STABILITY_NOMINAL, CAL_STABILITY_NOMINAL}};
    m_data.reset();
    m_temperature.Set(31.0f);
    for (const Spread& spread : spreads)
    {
        CCalDataPHORP data(m_connection);
        data.SetRunCacheTimeout(1);
        data.SetMode(PHORP_MODE_PH);
        data.SetPointCount(1);
        data.SetPointSolution(0, CAL_SOLUTION_PH4);
        ASSERT_EQ(data.StartManual(m_phOrpSensor.get(), nullptr), S_OK);
        ASSERT_TRUE(data.RunStartSteps());
        ASSERT_EQ(data.BeginCalibration(), S_OK);
        for (int n = 1; n <= 21; ++n)
        {
            m_pHMillivolts.Set(n % 2 == 0 ? 160.0f + spread.width : 160.0f);
            ASSERT_TRUE(data.RunCycle());
            if (n == 11)
            {
                EXPECT_EQ(data.GetStability(), spread.afterEleven) << spread.width;
            }
        }
        EXPECT_EQ(data.GetStability(), spread.afterTwentyOne) << spread.width;
        EXPECT_EQ(data.GetPointStability(0), static_cast<uint32_t>(spread.afterTwentyOne));
        data.RunEndStep();
    }
}

TEST_F(PhOrpCal, ASpreadOfExactlyFiveOrOneMillivoltIsNotStableInEitherMode)
{
    // 165 - 160 and 161 - 160 are exact in single precision: "less than" the bound, so equal is not.
    struct Spread
    {
        float width;
        int32_t afterEleven;
        int32_t afterTwentyOne;
    };
    const Spread spreads[] = {{5.0f, CAL_STABILITY_NONE, CAL_STABILITY_NONE},
                              {1.0f, CAL_STABILITY_NOMINAL, CAL_STABILITY_NOMINAL}};
    m_data.reset();
    for (const uint32_t mode : {PHORP_MODE_PH, PHORP_MODE_ORP})
    {
        probesim::ValueDial& moving = mode == PHORP_MODE_PH ? m_pHMillivolts : m_orp;
        for (const Spread& spread : spreads)
        {
            CCalDataPHORP data(m_connection);
            data.SetRunCacheTimeout(1);
            data.SetMode(mode);
            data.SetPointCount(1);
            data.SetPointSolution(0, mode == PHORP_MODE_PH ? CAL_SOLUTION_PH4 : CAL_SOLUTION_ZOBELL);
            ASSERT_EQ(data.StartManual(m_phOrpSensor.get(), nullptr), S_OK);
            ASSERT_TRUE(data.RunStartSteps());
            ASSERT_EQ(data.BeginCalibration(), S_OK);
            for (int n = 1; n <= 21; ++n)
            {
                moving.Set(n % 2 == 0 ? 160.0f + spread.width : 160.0f);
                ASSERT_TRUE(data.RunCycle());
                if (n == 11)
                {
                    EXPECT_EQ(data.GetStability(), spread.afterEleven) << mode << " " << spread.width;
                }
            }
            EXPECT_EQ(data.GetStability(), spread.afterTwentyOne) << mode << " " << spread.width;
            data.RunEndStep();
        }
    }
}

TEST_F(PhOrpCal, RestoringDefaultsSendsTheSensorCommand)
{
    m_data->SetMode(PHORP_MODE_RESTORE_DEFAULTS);
    EXPECT_EQ(m_data->PrepareStabilization(), E_FAIL);
    Mark();
    EXPECT_EQ(m_data->RestoreCalibrationDefaults(), S_OK);
    EXPECT_EQ(CommandsSinceMark(kPhOrp), std::vector<uint16_t>{0xE003});
    m_data->BuildReport();
    EXPECT_TRUE(m_data->GetReport().m_title.IsEmpty());
    EXPECT_EQ(m_data->GetReport().m_headerLines.GetCount(), 0u);
}

TEST_F(PhOrpCal, OnAProbeThatFellSilentTheRestoreOfTheDefaultsSendsOnlyTheCheck)
{
    CalibrationTest::Sim().RequestFaults().LoseLine();
    EXPECT_FALSE(m_data->RunCycle());
    m_data->SetMode(PHORP_MODE_RESTORE_DEFAULTS);
    Mark();
    EXPECT_EQ(m_data->RestoreCalibrationDefaults(), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(FramesSinceMark(), 3u) << "the check: a wake-up and two tries";
    EXPECT_TRUE(m_data->IsProbeSilent());
    CalibrationTest::Sim().RequestFaults().RestoreLine();
}

TEST(PhOrpStandards, BuffersAreAStepFunctionOfTemperature)
{
    TestConnection none;
    CCalDataPHORP data(none);
    data.SetMode(PHORP_MODE_PH);
    data.SetPointCount(3);
    data.SetPointSolution(0, CAL_SOLUTION_PH4);
    data.SetPointSolution(1, CAL_SOLUTION_PH10);
    data.SetPointSolution(2, CAL_SOLUTION_USER);
    data.SetPointValueTexts(CWideString(u"pH 4"), CWideString(u"pH 10"), CWideString(u"6.5"));
    EXPECT_FLOAT_EQ(data.GetSolutionValue(0, 4.9f), 4.01f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(0, 5.0f), 4.00f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(0, 84.9f), 4.16f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(0, 85.0f), 4.22f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(0, NAN), 4.22f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(1, 2.4f), 10.20f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(1, 40.0f), 9.88f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(2, 5.0f), 6.5f);
    EXPECT_FLOAT_EQ(data.GetSolutionValue(2, 60.0f), 6.5f);
    EXPECT_EQ(data.GetSolutionValue(3, 25.0f), FLT_MAX);
    data.SetPointCount(2);
    EXPECT_EQ(data.GetSolutionValue(2, 25.0f), FLT_MAX) << "beyond the points counted";

    data.SetMode(PHORP_MODE_ORP);
    data.SetPointSolution(0, CAL_SOLUTION_ZOBELL);
    EXPECT_NEAR(data.GetSolutionValue(0, 25.0f), 229.11f, 1e-4f);
    EXPECT_EQ(data.GetSolutionValue(1, 25.0f), FLT_MAX);
}

} // namespace
} // namespace caltest
