// The register map by register map version, device type and the version the instrument's
// template-version register gives.
#include "device/RegisterMap.h"
#include "tests/device/DeviceTestSupport.h"

namespace devicetest
{
namespace
{

using NVSystem::FillRegisterMap;
using NVSystem::sRegisterMap;

TEST(RegisterMap, AnalogEntriesAndTheGuidFollowTheMapGeneration)
{
    sRegisterMap v1;
    FillRegisterMap(v1, 1, 12, 1);
    EXPECT_EQ(v1.AnalogSensorNumber, 1);
    EXPECT_EQ(v1.AnalogParameterNumber, 40115);
    EXPECT_EQ(v1.AnalogFullScale, 40116);
    EXPECT_EQ(v1.AnalogZeroScale, 40118);
    EXPECT_EQ(v1.DeviceGuid, 0);

    sRegisterMap v2;
    FillRegisterMap(v2, 2, 12, 2);
    EXPECT_EQ(v2.AnalogSensorNumber, 49501);
    EXPECT_EQ(v2.AnalogParameterNumber, 49502);
    EXPECT_EQ(v2.AnalogFullScale, 49503);
    EXPECT_EQ(v2.AnalogZeroScale, 49505);
    EXPECT_EQ(v2.DeviceGuid, 0);

    sRegisterMap v3;
    FillRegisterMap(v3, 3, 12, 3);
    EXPECT_EQ(v3.DeviceGuid, 49108);
    // The fixed rows are the same in every generation.
    for (const sRegisterMap* map : {&v1, &v2, &v3})
    {
        EXPECT_EQ(map->DeviceCommand, 49018);
        EXPECT_EQ(map->DeviceTime, 49097);
        EXPECT_EQ(map->CommSettings, 49201);
        EXPECT_EQ(map->ExceptionMsgCounter, 49209);
        EXPECT_EQ(map->SensorConnectionMask, 49301);
    }
}

TEST(RegisterMap, TheMeasurementCacheRegisterComesWithVersionThreeForItsDeviceTypes)
{
    for (USHORT type : {1, 12, 15, 26, 30, 39, 32768, 32769, 32770})
    {
        sRegisterMap map;
        FillRegisterMap(map, 3, type, 3);
        EXPECT_EQ(map.MeasurementCacheTimeout, 49463) << type;
    }
    for (USHORT type : {0, 13, 14, 27, 29, 40, 32771})
    {
        sRegisterMap map;
        map.MeasurementCacheTimeout = 47007; // the family's own stays
        FillRegisterMap(map, 3, type, 3);
        EXPECT_EQ(map.MeasurementCacheTimeout, 47007) << type;
    }
    sRegisterMap older;
    FillRegisterMap(older, 2, 12, 2);
    EXPECT_EQ(older.MeasurementCacheTimeout, 0);
}

TEST(RegisterMap, TheScratchPadDependsOnTheTemplateVersionReadFromTheInstrument)
{
    const struct
    {
        USHORT type;
        USHORT probe;
        USHORT expected;
    } cases[] = {{5, 2, 47008},  {10, 3, 47008}, {5, 1, 0}, {1, 2, 40120},
                 {30, 2, 40120}, {4, 1, 0},      {12, 3, 0}};
    for (const auto& c : cases)
    {
        sRegisterMap map;
        FillRegisterMap(map, 3, c.type, c.probe);
        EXPECT_EQ(map.ScratchPad, c.expected) << c.type << " " << c.probe;
    }
    // An entry the instrument class placed is kept where the rule gives none.
    sRegisterMap placed;
    placed.ScratchPad = 47008;
    FillRegisterMap(placed, 3, 9, 1);
    EXPECT_EQ(placed.ScratchPad, 47008);
}

class RegisterMapAtAttach : public DeviceOnSimulator
{
};

TEST_F(RegisterMapAtAttach, TheTemplateVersionRegisterDecidesTheScratchPad)
{
    StartLine({.deviceType = 5, .registerMapVersion = 3, .templateVersion = 1});
    AttachDevice();
    EXPECT_EQ(Device().ProbeRegisterMapVersion(), 1);
    EXPECT_FALSE(Device().HasScratchPadRegister());
    EXPECT_EQ(Device().WriteScratchPad(CByteBuffer()), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(RegisterMapAtAttach, WithoutTemplateRegisterTheProbeVersionIsLeftAlone)
{
    StartLine({.deviceType = 13, .registerMapVersion = 3});
    Mark();
    ASSERT_EQ(CreateAndAttach(ReportedIdentity()), S_OK);
    EXPECT_EQ(Device().ProbeRegisterMapVersion(), 0);
    // Only Report Slave ID went out: no template register was asked for.
    EXPECT_TRUE(ReadsSinceMark().empty());
    USHORT version = 0;
    EXPECT_EQ(Device().GetRegisterMapTemplateVersion(version), MODBUSCOMM_E_NOT_SUPPORTED);
}

} // namespace
} // namespace devicetest
