// The port settings popup's lists, selections, Reset Comm and OK, without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/connection/PortSettingsChoice.h"
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

TEST_F(PortSettingsChoice, OpensOnTheStoredSettings)
{
    m_connection.SetCommSettings({8, 0, 1, 1, 1, 33, 5});
    m_choice.Load(Ports({3, 5, 7}));
    EXPECT_EQ(m_choice.GetSelection(Choice::LIST_PORT), 1);
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{8, 0, 1, 1, 1, 33, 5}));
    EXPECT_EQ(Text(m_choice.Items(Choice::LIST_BAUD).at(3)), u"57600");
    EXPECT_EQ(Text(m_choice.Items(Choice::LIST_PARITY).at(1)), u"Odd");
    EXPECT_EQ(m_choice.Items(Choice::LIST_ADDRESS).size(), 247u);
    EXPECT_EQ(Text(m_choice.Items(Choice::LIST_ADDRESS).at(32)), u"33");
    EXPECT_EQ(Text(m_choice.Items(Choice::LIST_MODE).at(1)), u"Modbus ASCII");

    // A port that is gone leaves the first selected; an address without an item selects 1.
    m_connection.SetCommSettings({6, 1, 0, 0, 0, 248, 9});
    m_choice.Load(Ports({3, 5, 7}));
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, 3}));
}

TEST_F(PortSettingsChoice, ShowsEachPortWithItsDevice)
{
    StartProbe(12);
    m_choice.Load();
    const std::vector<CWideString>& items = m_choice.Items(Choice::LIST_PORT);
    std::u16string wanted = u"COM " +
                            std::u16string(Text(CWideString(u"%u", static_cast<unsigned>(Port())))) + u" (" +
                            std::u16string(Sim().SlavePath().begin(), Sim().SlavePath().end()) + u")";
    std::vector<std::u16string> texts;
    for (const CWideString& item : items)
        texts.push_back(Text(item));
    EXPECT_NE(std::find(texts.begin(), texts.end(), wanted), texts.end()) << ::testing::PrintToString(texts);
    EXPECT_EQ(m_choice.PortNumber(m_choice.GetSelection(Choice::LIST_PORT)), Port());
}

TEST_F(PortSettingsChoice, OkStoresTheChosenSettings)
{
    m_choice.Load(Ports({2, 4}));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_PORT, 1));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_BAUD, 2));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_DATA_BITS, 0));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_PARITY, 2));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_STOP_BITS, 1));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_ADDRESS, 9));
    ASSERT_TRUE(m_choice.Select(Choice::LIST_MODE, 1));
    EXPECT_FALSE(m_choice.Select(Choice::LIST_BAUD, 4));
    EXPECT_FALSE(m_choice.Select(Choice::LIST_ADDRESS, -1));
    EXPECT_TRUE(m_choice.Accept());
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{7, 0, 2, 1, 1, 10, 4}));
    EXPECT_TRUE(m_boxes.Shown_().empty());
}

TEST_F(PortSettingsChoice, WithoutPortsBothButtonsAskForOne)
{
    m_connection.SetCommSettings({8, 0, 1, 1, 1, 33, 5});
    m_choice.Load(Ports({}));
    EXPECT_EQ(m_choice.GetSelection(Choice::LIST_PORT), Choice::kNoSelection);
    EXPECT_FALSE(m_choice.Accept());
    EXPECT_EQ(m_choice.ResetComm(), E_FAIL);
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{u"Please select a port and then click the <Connect> button.",
                                           u"Select a port and, then click reset comm."}));
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{8, 0, 1, 1, 1, 33, 5}));
}

TEST_F(PortSettingsChoice, ResetCommShowsTheFactorySettingsWhateverItsOutcome)
{
    StartProbe(12);
    m_connection.SetResetPauseForTests([](ULONG) {});
    m_connection.SetCommSettings({8, 0, 1, 1, 1, 33, Port()});
    m_choice.Load(Ports({Port()}));
    EXPECT_EQ(m_choice.ResetComm(), S_OK);
    EXPECT_EQ(m_choice.GetChosenSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, Port()}));
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{u"Communication settings reset to defaults successfully."}));
    EXPECT_EQ(m_boxes.Shown_().back().flags & 0xF0, platform::MB_ICONINFORMATION);

    // Refused while connected: the error, and still the factory settings in the lists.
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    m_choice.Select(Choice::LIST_BAUD, 3);
    EXPECT_EQ(m_choice.ResetComm(), E_FAIL);
    EXPECT_EQ(m_boxes.Shown_().back().text,
              u"Unable to reset communication settings.  Error code - 80004005, Unknown Error");
    EXPECT_EQ(m_choice.GetSelection(Choice::LIST_BAUD), 1);
}

} // namespace
} // namespace apptest
