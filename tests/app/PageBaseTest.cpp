// The page base inside the main window: which page refreshes on the connection broadcasts, which
// one acts on a disconnect request, and keys that must not end a page or the window; a page that
// loads after a connect in which an exchange went unheard loads only when the probe answers the
// line's check.
#include <QLineEdit>
#include <QTest>

#include "app/pages/CtrlPageBase.h"
#include "tests/app/AppWindowTest.h"
#include "tools/probe-sim/RequestFaults.h"

namespace apptest
{
namespace
{

using Page = CDlgFrame_TarnwickSoft::EPage;

// A page of the main window that counts its refreshes.
class CCountingPage : public CCtrlPage_Base
{
public:
    CCountingPage() : CCtrlPage_Base(999) {}
    int m_nRefreshes = 0;

protected:
    void RefreshPage() override { ++m_nRefreshes; }
};

class PageBaseTest : public AppWindowTest
{
protected:
    // A page beside the window's own, hidden, with its refreshes so far forgotten.
    void AddPage(CCountingPage& page)
    {
        page.Create(&MainWindow());
        page.hide();
        testsupport::PumpEvents();
        page.m_nRefreshes = 0;
    }
    void ConnectDirectly()
    {
        theProbeConnection.m_nPort = static_cast<USHORT>(Port());
        const testsupport::ProbeWorkOfTheTest setUp;
        ASSERT_EQ(theProbeConnection.ConnectToDevice(), S_OK);
    }
};

TEST_F(PageBaseTest, AHiddenPageRefreshesOnlyWhenShownAndEveryPageOnADisconnect)
{
    CCountingPage page;
    AddPage(page);

    CNVDialog::BroadcastPostMessage(windowmsg::WM_DEVICE_CONNECTED);
    testsupport::PumpEvents();
    EXPECT_EQ(page.m_nRefreshes, 0);
    page.show();
    testsupport::PumpEvents();
    EXPECT_EQ(page.m_nRefreshes, 1);
    EXPECT_TRUE(page.IsActive());
    CNVDialog::BroadcastPostMessage(windowmsg::WM_DEVICE_CONNECTED);
    testsupport::PumpEvents();
    EXPECT_EQ(page.m_nRefreshes, 2);

    page.hide();
    testsupport::PumpEvents();
    EXPECT_FALSE(page.IsActive());
    CNVDialog::BroadcastPostMessage(windowmsg::WM_DEVICE_DISCONNECTED);
    testsupport::PumpEvents();
    EXPECT_EQ(page.m_nRefreshes, 3);
    page.DestroyWindow();
}

TEST_F(PageBaseTest, AfterAnUnheardExchangeAPageLoadsOnTheConnectOnlyWhenTheProbeAnswersTheCheck)
{
    StartProbe(12);
    ConnectDirectly();
    // The only window: nothing else talks to the probe or makes the check first.
    CCountingPage page;
    page.Create(nullptr);
    page.show();
    testsupport::PumpEvents();
    page.m_nRefreshes = 0;
    CModbusComm& network = *theProbeConnection.GetModbus();
    USHORT value = 0;

    // One exchange of the connect went unheard, both its tries; the probe is there for the check.
    Sim().RequestFaults().Drop(probesim::RequestMatch{}, 2);
    {
        const testsupport::ProbeWorkOfTheTest exchange;
        ASSERT_EQ(network.ReadUShort(1, 40001, value, 500, 1), SERIALCOMM_E_READ_TIMEOUT);
    }
    ASSERT_TRUE(theProbeConnection.IsProbeUnheard());
    CNVDialog::BroadcastPostMessage(windowmsg::WM_DEVICE_CONNECTED);
    testsupport::PumpEvents();
    EXPECT_EQ(page.m_nRefreshes, 1);
    EXPECT_FALSE(theProbeConnection.IsProbeUnheard());
    EXPECT_FALSE(theProbeConnection.IsMarkedSilent());

    // Unheard again, and the line stays lost: the check goes unanswered and the page loads nothing.
    Sim().RequestFaults().LoseLine();
    {
        const testsupport::ProbeWorkOfTheTest exchange;
        ASSERT_EQ(network.ReadUShort(1, 40001, value, 500, 1), SERIALCOMM_E_READ_TIMEOUT);
    }
    CNVDialog::BroadcastPostMessage(windowmsg::WM_DEVICE_CONNECTED);
    testsupport::PumpEvents();
    EXPECT_EQ(page.m_nRefreshes, 1);
    EXPECT_TRUE(theProbeConnection.IsMarkedSilent());
    page.DestroyWindow();
}

TEST_F(PageBaseTest, ADisconnectRequestIsCarriedOutOnlyByAVisiblePage)
{
    StartProbe(12);
    CDlgFrame_TarnwickSoft& window = MainWindow();
    ConnectDirectly();
    // No page of the window is shown: a request reaches them all and none acts.
    window.LiveDataPage().hide();
    ASSERT_EQ(window.GetVisiblePage(), -1);
    CNVDialog::BroadcastRequestDisconnect();
    testsupport::PumpEvents();
    EXPECT_TRUE(theProbeConnection.IsConnected());

    window.ShowPage(Page::PAGE_COMMUNICATION);
    CNVDialog::BroadcastRequestDisconnect();
    EXPECT_FALSE(theProbeConnection.IsConnected());
}

TEST_F(PageBaseTest, EnterAndEscInAnEditOfAPageEndNeitherThePageNorTheWindow)
{
    CDlgFrame_TarnwickSoft& window = MainWindow();
    CCountingPage page;
    AddPage(page);
    page.show();
    QLineEdit edit(&page);
    edit.show();
    edit.setFocus();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return edit.hasFocus(); }));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(&edit, key);
    testsupport::PumpEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(page.isVisible());
    EXPECT_TRUE(page.HasWindow());
    page.DestroyWindow();
}

} // namespace
} // namespace apptest
