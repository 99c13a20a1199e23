#include "tests/support/QtTestSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "ui/NVDialog.h"
#include "ui/WaitForWork.h"

namespace testsupport
{

namespace
{

constexpr int kPumpSliceMs = 10;

std::string CurrentTestName()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr)
        return "picture";
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    // Parameterised names carry '/'.
    for (char& c : name)
        if (c == '/')
            c = '_';
    return name;
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout.count());
    while (!condition())
    {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, kPumpSliceMs);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void PumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace
{

// A hidden dialog whose message comes after every message posted before it, held ones included.
class CMessageMarker : public CNVDialog
{
public:
    static constexpr UINT kMarker = CNotifyEvent::kLastMessage;

    CMessageMarker() { Create(nullptr); }
    bool m_bReached = false;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kMarker)
            m_bReached = true;
        return CNVDialog::OnMessage(message, wParam, lParam);
    }
};

} // namespace

bool DeliverPostedMessages(std::chrono::milliseconds timeout)
{
    CMessageMarker marker;
    marker.PostNotify(CMessageMarker::kMarker);
    return WaitUntil([&marker] { return marker.m_bReached && !ui::IsWaitingForWork() && !ui::HasHeldWork(); },
                     timeout);
}

std::filesystem::path SavePicture(QWidget& widget, const std::string& name)
{
    const std::filesystem::path folder = TARNWICK_PICTURES_DIR;
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / ((name.empty() ? CurrentTestName() : name) + ".png");
    EXPECT_TRUE(widget.grab().save(QString::fromStdString(file.string()), "PNG")) << file;
    return file;
}

bool ShowAndActivate(QWidget& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

void WhenNotWaiting(QObject* context, std::function<void()> action)
{
    auto* timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context,
                     [timer, action = std::move(action)]
                     {
                         if (ui::IsWaitingForWork())
                         {
                             timer->start(kPumpSliceMs);
                             return;
                         }
                         timer->deleteLater();
                         action();
                     });
    timer->setSingleShot(true);
    timer->start(0);
}

void ClickCloseBox(QWidget& window)
{
    // The window system's request reaches the native window first, which hands the widget a
    // close event of its own and destroys itself when that is left accepted.
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QObject* receiver = window.windowHandle() != nullptr ? static_cast<QObject*>(window.windowHandle()) : &window;
    QCoreApplication::instance()->notify(receiver, &close);
}

bool DeliverHeldWork(std::chrono::milliseconds timeout)
{
    return WaitUntil([] { return !ui::HasHeldWork() && !ui::IsWaitingForWork(); }, timeout);
}

WaitWatch::WaitWatch(std::function<void()> during) : m_during(std::move(during))
{
    ui::SetWaitObserverForTests(
        [this]
        {
            ++m_nWaits;
            if (ui::WaitDepth() > 1)
                ++m_nInside;
            const QCursor* cursor = QGuiApplication::overrideCursor();
            if (cursor == nullptr || cursor->shape() != Qt::WaitCursor)
                m_bAllUnderWaitCursor = false;
            if (m_bInDuring)
            {
                ++m_nNested;
                return;
            }
            if (m_nWaits == 1 && m_during)
            {
                m_bInDuring = true;
                m_during();
                m_bInDuring = false;
            }
        });
}

WaitWatch::~WaitWatch()
{
    ui::SetWaitObserverForTests(nullptr);
}

int RunModal(CNVDialog& dialog, const std::function<void()>& action, std::chrono::milliseconds timeout)
{
    WhenNotWaiting(&dialog, action);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog,
                     [&dialog]
                     {
                         ADD_FAILURE() << "the modal dialog did not end";
                         dialog.EndDialog(-1);
                     });
    watchdog.start(static_cast<int>(timeout.count()));
    const int result = dialog.DoModal();
    watchdog.stop();
    return result;
}

ScriptedDialogs::ScriptedDialogs() : m_previous(ui::SetDialogService(this)) {}

ScriptedDialogs::~ScriptedDialogs()
{
    ui::SetDialogService(m_previous);
}

int ScriptedDialogs::MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags)
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    m_messageBoxes.push_back(
        {text, caption, flags, owner, cursor != nullptr && cursor->shape() == Qt::WaitCursor, m_nOpenBoxes > 0});
    if (m_bDeliverWhileShown)
    {
        ++m_nOpenBoxes;
        PumpEvents();
        --m_nOpenBoxes;
    }
    if (m_answers.empty())
        return platform::CautiousAnswer(flags);
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    if (answer.looping)
        RunBoxLoop(answer, text);
    return answer.answer;
}

void ScriptedDialogs::RunBoxLoop(const Answer& answer, const QString& text)
{
    ++m_nOpenBoxes;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPumpSliceMs);
    const QDeadlineTimer deadline(answer.timeout.count());
    bool shown = false;
    bool settling = false;
    QObject::connect(&poll, &QTimer::timeout, &loop,
                     [&]
                     {
                         if (!shown)
                         {
                             shown = true;
                             if (answer.whileShown)
                                 answer.whileShown();
                             return;
                         }
                         const bool ready = !answer.answerWhen || answer.answerWhen();
                         if (!ready && !deadline.hasExpired())
                             return;
                         if (!ready)
                             ADD_FAILURE() << "the box \"" << text.toStdString() << "\" was never answered";
                         // One round more, so that what was queued by now is delivered inside the box.
                         if (ready && !settling)
                         {
                             settling = true;
                             return;
                         }
                         loop.quit();
                     });
    poll.start();
    loop.exec();
    --m_nOpenBoxes;
}

std::optional<QString> ScriptedDialogs::Take(std::deque<QString>& answers)
{
    if (answers.empty())
        return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isNull())
        return std::nullopt;
    return answer;
}

std::optional<QString> ScriptedDialogs::GetOpenFileName(QWidget*, const ui::sFileDialogRequest& request)
{
    m_fileDialogs.push_back({false, request});
    return Take(m_files);
}

std::optional<QString> ScriptedDialogs::GetSaveFileName(QWidget*, const ui::sFileDialogRequest& request)
{
    m_fileDialogs.push_back({true, request});
    return Take(m_files);
}

std::optional<QString> ScriptedDialogs::BrowseForFolder(QWidget*, const QString& title, const QString&)
{
    m_folderDialogs.push_back(title);
    return Take(m_folders);
}

bool ScriptedDialogs::RunPrintDialog(QWidget*, QPrinter&)
{
    ++m_printDialogs;
    if (m_printAnswers.empty())
        return false;
    const bool print = m_printAnswers.front();
    m_printAnswers.pop_front();
    return print;
}

bool ScriptedDialogs::OpenUrl(const QUrl& url)
{
    m_openedUrls.push_back(url);
    return true;
}

} // namespace testsupport
