#include <set>
#include <string>

#include <gtest/gtest.h>

#include "foundation/ErrorTable.h"
#include "foundation/ResultCodes.h"
#include "platform/MessageBox.h"
#include "tests/support/TestEnvironment.h"

namespace
{

std::u16string Text(HRESULT code)
{
    return LookupErrorText(static_cast<uint32_t>(code));
}

} // namespace

TEST(ErrorTable, EveryRowIsTranscribedOnceWithAText)
{
    EXPECT_EQ(g_ErrorTableCount, 280u);
    const std::set<uint32_t> facilities = {0x8100, 0x8109, 0x810A, 0x8101, 0x0101, 0x8102, 0x0102, 0x810F};
    std::set<uint32_t> codes;
    for (size_t i = 0; i < g_ErrorTableCount; ++i)
    {
        const sErrorTableEntry& row = g_ErrorTable[i];
        EXPECT_TRUE(codes.insert(row.code).second) << std::hex << row.code << " has two rows";
        EXPECT_TRUE(facilities.count(row.code >> 16)) << std::hex << row.code;
        ASSERT_NE(row.text, nullptr);
        EXPECT_NE(row.text[0], 0) << std::hex << row.code;
    }
}

TEST(ErrorTable, LookupGivesTheTextsExactly)
{
    EXPECT_EQ(Text(MODBUSCOMM_E_BUSY), u"Modbus Exception - Slave device busy.");
    EXPECT_EQ(Text(E_BUFFER_EXTRACTION_OVERRUN), u"Buffer Extraction Overrun.");
    EXPECT_EQ(Text(ResultCode(0x810F000Au)), u"Failed to create directory.");
    EXPECT_EQ(Text(SERIALCOMM_E_READ_TIMEOUT), u"SerialComm - read timeout");
    EXPECT_EQ(Text(ResultCode(0x81000001u)), u"SerialComm - error closing port.");
    EXPECT_EQ(Text(ResultCode(0x8101015Du)), u"invalid sensor port number");
    EXPECT_EQ(Text(MODBUSCOMM_E_INVALID_DEVICE_THIS), u"Invalid device this ptr.");
    EXPECT_EQ(Text(ResultCode(0x810200AEu)),
              u"Log Notes - invalid user note sub-type - probably corrupt log note.");
    EXPECT_EQ(Text(ResultCode(0x810F000Fu)), u"Delete directory operation failed.");
    EXPECT_NE(Text(ResultCode(0x81010090u)), u"Unknown Error");
}

TEST(ErrorTable, StandardAndUnlistedCodesAreUnknown)
{
    for (HRESULT code : {E_FAIL, E_POINTER, E_OUTOFMEMORY, E_INVALIDARG, S_OK,
                         MODBUSCOMM_E_SENSOR_ID_NOT_FOUND, ResultCode(0x81010007u)})
        EXPECT_EQ(Text(code), u"Unknown Error") << std::hex << code;
}

TEST(ErrorTable, SuccessWithInformationCountsAsSuccessAndHasAText)
{
    EXPECT_TRUE(Succeeded(MODBUSCOMM_S_NO_APP_FIRMWARE));
    EXPECT_NE(MODBUSCOMM_S_NO_APP_FIRMWARE, S_OK);
    EXPECT_EQ(Text(MODBUSCOMM_S_NO_APP_FIRMWARE), u"no application firmware running.");
    EXPECT_EQ(Text(ResultCode(0x010200ADu)), u"Merge Success - no notes in the merge blk.");
}

TEST(ErrorTable, MessageBoxShowsMessageCodeAndTableText)
{
    testsupport::ScriptedMessageBox boxes;
    boxes.QueueAnswer(platform::IDOK);
    EXPECT_EQ(
        ErrorCodeMessageBox(u"Failed to read the device.", SERIALCOMM_E_READ_TIMEOUT, nullptr, u"Probe"),
        platform::IDOK);
    ErrorCodeMessageBox(u"Lost", ResultCode(0x00000001u), nullptr, nullptr);

    const auto shown = boxes.Shown_();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, u"Failed to read the device.\nError Code: 81000006\nSerialComm - read timeout");
    EXPECT_EQ(shown[0].caption, u"Probe");
    EXPECT_EQ(shown[0].flags, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_EQ(shown[1].text, u"Lost\nError Code: 00000001\nUnknown Error");
    EXPECT_EQ(shown[1].caption, u"Error");
}
