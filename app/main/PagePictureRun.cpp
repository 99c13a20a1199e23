#include "app/main/PagePictureRun.h"

#include <cstdio>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "connection/ProbeConnection.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kPollMs = 50;
// Each page is taken after its activation timer has run, so that what it fills then is on it.
constexpr int kPageSettleMs = 2 * static_cast<int>(PAGE_ACTIVATE_DELAY_MS);

const char* const kPageNames[CDlgFrame_TarnwickSoft::PAGE_COUNT] = {"LiveData", "Communication",
                                                                    "SensorSetup", "ProbeInfo"};

void PrintLine(const char* label, const QString& text)
{
    std::printf("%s: %s\n", label, text.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

CPagePictureRun::CPagePictureRun(CDlgFrame_TarnwickSoft& window, QString prefix,
                                 std::chrono::milliseconds timeout)
    : m_Window(window), m_strPrefix(std::move(prefix)), m_Timeout(timeout)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { Finish(false, "timed out"); });
}

void CPagePictureRun::Start()
{
    m_deadline.start(m_Timeout);
    QTimer::singleShot(0, this, [this] { Connect(); });
}

void CPagePictureRun::Connect()
{
    m_Window.ConnectButton().click();
    if (!theProbeConnection.IsConnected())
    {
        Finish(false, "no probe was connected");
        return;
    }
    m_Window.TabButton(CDlgFrame_TarnwickSoft::PAGE_PROBE_INFO).click();
    connect(&m_poll, &QTimer::timeout, this, [this] { WaitForProbeInfo(); });
    m_poll.start(kPollMs);
}

void CPagePictureRun::WaitForProbeInfo()
{
    // Like a user, the run acts only while the window waits for no serial work.
    if (ui::IsWaitingForWork())
        return;
    const CCtrlPage_ProbeInfo& page = m_Window.ProbeInfoPage();
    if (page.GetSerialNumberText().isEmpty())
        return;
    m_poll.stop();
    m_poll.disconnect();
    PrintLine("Probe type", page.GetProbeTypeText());
    PrintLine("Serial number", page.GetSerialNumberText());
    PrintLine("Firmware version", page.GetFirmwareText());
    connect(&m_poll, &QTimer::timeout, this, [this] { SavePages(); });
    m_nNextPage = 0;
    m_Window.TabButton(m_nNextPage).click();
    m_poll.start(kPageSettleMs);
}

void CPagePictureRun::SavePages()
{
    if (ui::IsWaitingForWork())
        return;
    const QString path = m_strPrefix + QString::fromLatin1(kPageNames[m_nNextPage]) + QStringLiteral(".png");
    if (m_Window.GetVisiblePage() != m_nNextPage || !m_Window.grab().save(path))
    {
        Finish(false, "a page picture could not be saved");
        return;
    }
    PrintLine("Saved", path);
    if (++m_nNextPage == CDlgFrame_TarnwickSoft::PAGE_COUNT)
    {
        Finish(true);
        return;
    }
    m_Window.TabButton(m_nNextPage).click();
}

void CPagePictureRun::Finish(bool succeeded, const char* problem)
{
    m_poll.stop();
    m_deadline.stop();
    m_bSucceeded = succeeded;
    if (problem != nullptr)
        std::fprintf(stderr, "tarnwick-software: page pictures: %s\n", problem);
    m_Window.close();
}
