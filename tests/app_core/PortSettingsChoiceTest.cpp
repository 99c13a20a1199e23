// The port settings popup's lists, selections, Reset Comm and OK, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "connection/PortSettingsChoice.h"
#include "platform/Utf.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

using Choice = CPortSettingsChoice;

CDynArray<USHORT> Ports(const std::vector<USHORT>& numbers)
{
    CDynArray<USHORT> ports;
    for (USHORT number : numbers)
        ports.Add(number);
    return ports;
}

class PortSettingsChoice : public ConnectionTest
{
protected:
    Choice m_choice{m_connection};
};

TEST_F(PortSettingsChoice, OpensOnTheStoredSettingsAndOkStoresTheChoiceOfAPort)
{
    m_connection.SetCommSettings({8, 0, 1, 1, 1, 33, 5});
    m_choice.Load(Ports({3, 5, 7}));
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{8, 0, 1, 1, 1, 33, 5}));
    // A port that is gone leaves the first selected; an address without an item selects 1.
    m_connection.SetCommSettings({6, 1, 0, 0, 0, 248, 9});
    m_choice.Load(Ports({3, 5, 7}));
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, 3}));

    // "38400", "7", "None", "2", address 10, "Modbus ASCII" on the second port.
    for (auto [list, item] : {std::pair{Choice::LIST_PORT, 1},
                              {Choice::LIST_BAUD, 2},
                              {Choice::LIST_DATA_BITS, 0},
                              {Choice::LIST_PARITY, 2},
                              {Choice::LIST_STOP_BITS, 1},
                              {Choice::LIST_ADDRESS, 9},
                              {Choice::LIST_MODE, 1}})
        ASSERT_TRUE(m_choice.Select(list, item));
    EXPECT_FALSE(m_choice.Select(Choice::LIST_BAUD, 4));
    EXPECT_EQ(Text(m_choice.Items(Choice::LIST_PARITY).at(2)), u"None");
    EXPECT_TRUE(m_choice.Accept());
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{7, 0, 2, 1, 1, 10, 5}));
    EXPECT_TRUE(m_boxes.Shown_().empty());

    // Without ports both buttons ask for one and change nothing.
    m_choice.Load(Ports({}));
    EXPECT_FALSE(m_choice.Accept());
    EXPECT_EQ(m_choice.ResetComm(), E_FAIL);
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{u"Please select a port and then click the <Connect> button.",
                                           u"Select a port and, then click reset comm."}));
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{7, 0, 2, 1, 1, 10, 5}));
    // A reset that fails says so, and the lists show the factory settings all the same.
    m_choice.Load(Ports({250}));
    EXPECT_TRUE(Failed(m_choice.ResetComm()));
    EXPECT_EQ(LastText(m_boxes)
                  .value_or(std::u16string())
                  .rfind(u"Unable to reset communication settings.  Error code - 8", 0),
              0u);
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, 250}));
}

TEST_F(PortSettingsChoice, TheAddressListReachesTheHighestAddress)
{
    const std::vector<CWideString>& addresses = m_choice.Items(Choice::LIST_ADDRESS);
    ASSERT_EQ(addresses.size(), 247u);
    EXPECT_EQ(Text(addresses.front()), u"1");
    EXPECT_EQ(Text(addresses.back()), u"247");

    // Stored, shown and chosen again.
    m_connection.SetCommSettings({8, 0, 1, 1, 1, 247, 5});
    m_choice.Load(Ports({5}));
    EXPECT_EQ(m_choice.GetSelection(Choice::LIST_ADDRESS), 246);
    ASSERT_TRUE(m_choice.Select(Choice::LIST_ADDRESS, 0));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_ADDRESS, 246));
    EXPECT_FALSE(m_choice.Select(Choice::LIST_ADDRESS, 247));
    EXPECT_TRUE(m_choice.Accept());
    EXPECT_EQ(m_connection.GetCommSettings().Address, 247);
}

TEST_F(PortSettingsChoice, ListsTheProbesPortWithItsDeviceAndResetsItsSettings)
{
    StartProbe(12);
    m_connection.SetResetPauseForTests([](ULONG) {});
    m_connection.SetCommSettings({8, 0, 1, 1, 1, 33, Port()});
    m_choice.Load();
    std::vector<std::u16string> items;
    for (const CWideString& item : m_choice.Items(Choice::LIST_PORT))
        items.push_back(Text(item));
    const std::u16string wanted =
        platform::Utf8ToUtf16("COM " + std::to_string(Port()) + " (" + Sim().SlavePath() + ")");
    EXPECT_NE(std::find(items.begin(), items.end(), wanted), items.end()) << ::testing::PrintToString(items);

    EXPECT_EQ(m_choice.ResetComm(), S_OK);
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, Port()}));
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{u"Communication settings reset to defaults successfully."}));
}

} // namespace
} // namespace apptest
