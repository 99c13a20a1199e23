#include <set>
#include <string>

#include <gtest/gtest.h>

#include "foundation/ErrorTable.h"
#include "foundation/MessageBoxes.h"
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

TEST(ErrorTable, HoldsEveryRowOnceAndLooksUpTheTextsExactly)
{
    ASSERT_EQ(g_ErrorTableCount, 280u);
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

    EXPECT_EQ(Text(ResultCode(0x81010090u)), u"Modbus Exception - Invalid probe command at gateway.");
    EXPECT_EQ(Text(MODBUSCOMM_E_BUSY), u"Modbus Exception - Slave device busy.");
    EXPECT_EQ(Text(E_BUFFER_EXTRACTION_OVERRUN), u"Buffer Extraction Overrun.");
    EXPECT_EQ(Text(ResultCode(0x8101015Du)), u"invalid sensor port number");
    EXPECT_EQ(Text(ResultCode(0x810200AEu)),
              u"Log Notes - invalid user note sub-type - probably corrupt log note.");
    // Success with information counts as success and has its own text.
    EXPECT_TRUE(Succeeded(MODBUSCOMM_S_NO_APP_FIRMWARE));
    EXPECT_EQ(Text(MODBUSCOMM_S_NO_APP_FIRMWARE), u"no application firmware running.");
    EXPECT_EQ(Text(ResultCode(0x010200ADu)), u"Merge Success - no notes in the merge blk.");

    for (HRESULT code :
         {E_FAIL, E_INVALIDARG, S_OK, MODBUSCOMM_E_SENSOR_ID_NOT_FOUND, ResultCode(0x81010007u)})
        EXPECT_EQ(Text(code), u"Unknown Error") << std::hex << code;
}

// Every row is found by its code, the first and the last included.
TEST(ErrorTable, EveryRowIsFoundByItsCode)
{
    for (size_t i = 0; i < g_ErrorTableCount; ++i)
        EXPECT_EQ(std::u16string(LookupErrorText(g_ErrorTable[i].code)), g_ErrorTable[i].text)
            << std::hex << g_ErrorTable[i].code;
    EXPECT_EQ(Text(ResultCode(0x81000001u)), u"SerialComm - error closing port.");
    EXPECT_EQ(Text(ResultCode(0x810F000Fu)), u"Delete directory operation failed.");
}

TEST(ErrorTable, MessageBoxesGoThroughTheHook)
{
    testsupport::ScriptedMessageBox boxes;
    boxes.QueueAnswer(platform::IDOK);
    boxes.QueueAnswer(platform::IDCANCEL);
    EXPECT_EQ(
        ErrorCodeMessageBox(u"Failed to read the device.", SERIALCOMM_E_READ_TIMEOUT, nullptr, u"Probe"),
        platform::IDOK);
    ErrorCodeMessageBox(u"Lost", ResultCode(0x00000001u), nullptr, nullptr);
    EXPECT_EQ(QuestionMessageBox(nullptr, nullptr, nullptr), platform::IDNO); // only Yes or No
    EXPECT_EQ(WarningMessageBox(nullptr, nullptr, u"Careful"), platform::IDOK);

    const auto shown = boxes.Shown_();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].text, u"Failed to read the device.\nError Code: 81000006\nSerialComm - read timeout");
    EXPECT_EQ(shown[0].caption, u"Probe");
    EXPECT_EQ(shown[0].flags, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_EQ(shown[1].text, u"Lost\nError Code: 00000001\nUnknown Error");
    EXPECT_EQ(shown[1].caption, u"Error");
    EXPECT_EQ(shown[2].text, u"???");
    EXPECT_EQ(shown[2].flags, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_EQ(shown[3].text, u"Warning");
    EXPECT_EQ(shown[3].caption, u"Careful");
    EXPECT_EQ(shown[3].flags, platform::MB_OK | platform::MB_ICONWARNING);
}
