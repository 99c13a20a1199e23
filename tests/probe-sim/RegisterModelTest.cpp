#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/probe-sim/DeviceModel.h"
#include "tools/probe-sim/RegisterModel.h"
#include "tools/probe-sim/SlaveIdentity.h"

namespace probesim_test
{
namespace
{

using probesim::ExceptionCode;
using probesim::RegisterModel;
using probesim::WordOrder;
using Values = std::vector<uint16_t>;

Values ReadValues(RegisterModel& model, uint16_t first, uint16_t count)
{
    auto result = model.Read(first, count);
    if (auto* values = std::get_if<Values>(&result))
        return *values;
    ADD_FAILURE() << "exception " << int(std::get<ExceptionCode>(result));
    return {};
}

TEST(RegisterModel, TypedValuesLandInTheRegistersInTheChosenWordOrder)
{
    RegisterModel model;
    model.SetU32(49002, 0x12345678);
    model.SetU32(49004, 0x12345678, WordOrder::LowFirst);
    model.SetFloat(49006, 1.5f); // 0x3FC00000
    model.SetText(49019, u"AB\u00e9", 4);
    EXPECT_EQ(ReadValues(model, 49002, 4), (Values{0x1234, 0x5678, 0x5678, 0x1234}));
    EXPECT_EQ(ReadValues(model, 49006, 2), (Values{0x3FC0, 0x0000}));
    EXPECT_EQ(ReadValues(model, 49019, 4), (Values{0x0041, 0x0042, 0x00E9, 0x0000}));
    EXPECT_EQ(model.GetU32(49004, WordOrder::LowFirst), 0x12345678u);
    EXPECT_EQ(model.GetFloat(49006), 1.5f);
    EXPECT_EQ(model.GetText(49019, 4), u"AB\u00e9");
    EXPECT_FALSE(model.GetU32(49022)); // one register of the pair missing
}

TEST(RegisterModel, RefusesNumbersOutsideTheClassesAndOversizedText)
{
    RegisterModel model;
    EXPECT_THROW(model.SetU16(40000, 1), std::out_of_range);
    EXPECT_THROW(model.SetU16(50000, 1), std::out_of_range);
    EXPECT_THROW(model.SetU32(39999, 1), std::out_of_range); // would spill into the holding class
    EXPECT_THROW(model.SetText(49019, u"ABC", 2), std::length_error);
    EXPECT_NO_THROW(model.SetU16(30001, 1));
    EXPECT_NO_THROW(model.SetU16(49999, 1));
}

TEST(RegisterModel, AMissingRegisterAnywhereInTheRangeIsAnIllegalAddress)
{
    RegisterModel model;
    model.SetU16(40001, 1);
    model.SetU16(40003, 3);
    auto read = model.Read(40001, 3);
    ASSERT_TRUE(std::holds_alternative<ExceptionCode>(read));
    EXPECT_EQ(std::get<ExceptionCode>(read), ExceptionCode::IllegalDataAddress);
    const uint16_t values[] = {7, 8};
    EXPECT_EQ(model.Write(40003, values), ExceptionCode::IllegalDataAddress);
    EXPECT_EQ(model.GetU16(40003), 3); // nothing of a refused write is stored
}

TEST(RegisterModel, ReadHooksRefreshLiveValuesOnlyForOverlappingReads)
{
    RegisterModel model;
    model.SetU16(30001, 0);
    model.SetU16(30002, 0);
    model.SetU16(30010, 0);
    int calls = 0;
    const int id = model.AddReadHook(30002, 1,
                                     [&](RegisterModel& m, uint16_t, uint16_t)
                                     {
                                         m.SetU16(30002, static_cast<uint16_t>(++calls));
                                         return std::optional<ExceptionCode>{};
                                     });
    EXPECT_EQ(ReadValues(model, 30001, 2), (Values{0, 1}));
    EXPECT_EQ(ReadValues(model, 30002, 1), (Values{2}));
    ReadValues(model, 30010, 1);
    EXPECT_EQ(calls, 2);
    // A read refused for a missing register does not reach the hook.
    EXPECT_TRUE(std::holds_alternative<ExceptionCode>(model.Read(30001, 3)));
    EXPECT_EQ(calls, 2);
    model.RemoveHook(id);
    EXPECT_EQ(ReadValues(model, 30002, 1), (Values{2}));
}

TEST(RegisterModel, AWriteHookRunsAStateMachineOrRefusesAndRestores)
{
    RegisterModel model;
    model.SetU16(49017, 5);
    model.SetU16(49018, 0); // command register
    model.SetU16(49100, 0); // status
    model.AddWriteHook(49018, 1,
                       [](RegisterModel& m, const probesim::RegisterWrite& write)
                       {
                           const uint16_t command = write.values.at(49018 - write.first);
                           if (command == 0xFFFF)
                               return std::optional<ExceptionCode>(ExceptionCode::IllegalDataValue);
                           if (command == 0xD009)
                               m.SetU16(49100, 0x200);
                           m.SetU16(49018, 0); // the command register reads back as idle
                           return std::optional<ExceptionCode>{};
                       });

    const uint16_t offline[] = {6, 0xD009};
    EXPECT_FALSE(model.Write(49017, offline));
    EXPECT_EQ(model.GetU16(49017), 6);
    EXPECT_EQ(model.GetU16(49018), 0);
    EXPECT_EQ(model.GetU16(49100), 0x200);

    const uint16_t bad[] = {9, 0xFFFF};
    EXPECT_EQ(model.Write(49017, bad), ExceptionCode::IllegalDataValue);
    EXPECT_EQ(model.GetU16(49017), 6); // the whole write is undone
    EXPECT_EQ(model.GetU16(49018), 0);
}

TEST(SlaveIdentity, RecordHasTheMakersLayout)
{
    probesim::SlaveIdentity identity;
    identity.runIndicator = 0x12;
    identity.deviceType = 0x0027;
    identity.firmwareVersion = 0x0203;
    identity.reserved = 0x0405;
    identity.hardwareVersion = 0x0607;
    identity.registerMapVersion = 0x0003;
    identity.serialNumber = 0x0A0B0C0D;
    identity.maxPacketSize = 0x0400;
    identity.maxBaudId = 9; // capability code 4
    const auto record = probesim::EncodeSlaveIdRecord(identity);
    const std::array<uint8_t, 23> expected = {0x4E, 0x12, 0x01, 0x56, 0x43, 0x00, 0x27, 0x02,
                                              0x03, 0x04, 0x05, 0x06, 0x07, 0x00, 0x03, 0x0A,
                                              0x0B, 0x0C, 0x0D, 0x04, 0x00, 0x00, 0x04};
    EXPECT_EQ(record, expected);

    identity.maxBaudId = 4; // no capability code below 0
    EXPECT_THROW(probesim::EncodeSlaveIdRecord(identity), std::out_of_range);
    probesim::DeviceModel model;
    EXPECT_THROW(model.SetIdentity(identity), std::out_of_range);
    EXPECT_EQ(model.Identity(), probesim::SlaveIdentity{});
}

} // namespace
} // namespace probesim_test
