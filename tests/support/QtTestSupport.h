// What every test of the windows shares: waiting on conditions while events are delivered,
// pictures of windows for people to look at, showing a window as the active one, running a dialog
// modally with a way out, and a dialog service that answers from a script.
//
// The binaries link the Qt test main (QtTestMain.cpp): it runs every test inside a QApplication
// on the offscreen platform with the program's look (ui::PrepareApplication) and the application
// name "Tarnwick Software", routes the message boxes of the layers below the windows into the
// dialog service, and fails a test that would show a dialog nobody scripted.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <QString>
#include <QUrl>

#include "ui/DialogService.h"

class CNVDialog;
class QWidget;

// Texts of the windows print as text in failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace testsupport
{

// Delivers events until the condition holds or the time-out passes; returns the condition.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
// Delivers the events that are queued now, deferred deletions among them.
void PumpEvents();
// Delivers events until every private message posted so far to the dialogs has been handled
// (a window that waits for serial work holds them until it is done, and its handlers may wait in
// turn); false when that takes longer than the time-out.
bool DeliverPostedMessages(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// Delivers events until no work is held any more (ui::PostHeldWork) and no wait runs.
bool DeliverHeldWork(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

// Saves a picture of the widget (QWidget::grab) as <build folder>/pictures/<name>.png, the name
// being the current test's "Suite.Test" when none is given. Returns the file's path.
std::filesystem::path SavePicture(QWidget& widget, const std::string& name = std::string());

// Shows a top-level window and waits until it is the active window (its shortcuts work only then).
bool ShowAndActivate(QWidget& window);

// Calls the action from a timer once the windows are the user's: while they wait for serial work
// (ui::WaitForWork) a user's clicks would not reach them, so the action waits for its end.
void WhenNotWaiting(QObject* context, std::function<void()> action);

// The close box of a top-level window: the close event that the window system's request becomes,
// spontaneous as it is (sendEvent would take that mark away).
void ClickCloseBox(QWidget& window);

// What a test sees of the waits for serial work (ui::WaitForWork) while it lives: each wait is
// counted, whether the wait cursor was shown, and the first one runs `during` before its work
// starts, the way a user would act while the window waits. A wait that `during` sets off (a second
// operation the window should not have let the user start) is counted as nested.
class WaitWatch
{
public:
    explicit WaitWatch(std::function<void()> during = nullptr);
    ~WaitWatch();
    WaitWatch(const WaitWatch&) = delete;
    WaitWatch& operator=(const WaitWatch&) = delete;

    int Count() const { return m_nWaits; }
    int Nested() const { return m_nNested; }
    // Waits that began while another wait ran, whatever set them off: a second operation started
    // inside the first.
    int Inside() const { return m_nInside; }
    bool AllUnderWaitCursor() const { return m_bAllUnderWaitCursor; }

private:
    std::function<void()> m_during;
    int m_nWaits = 0;
    int m_nNested = 0;
    int m_nInside = 0;
    bool m_bInDuring = false;
    bool m_bAllUnderWaitCursor = true;
};

// Runs the dialog modally (DoModal) and calls `action` once the modal loop runs and the dialog
// waits for no serial work. The action must
// end the dialog (directly or through what it triggers) within the time-out; otherwise the test
// fails and the dialog is ended with -1. Returns what DoModal returned.
int RunModal(CNVDialog& dialog, const std::function<void()>& action,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// A dialog service that records every dialog and answers from queues, installed for its lifetime.
// With an empty queue a message box gets the answer that risks nothing (platform::CautiousAnswer),
// a file or folder dialog is cancelled and a print dialog declined.
class ScriptedDialogs : public ui::CDialogService
{
public:
    struct MessageBoxShown
    {
        QString text;
        QString caption;
        uint32_t flags;
        QWidget* owner;
        // Whether the box came up under the busy cursor (it never should).
        bool underWaitCursor;
        // Whether another box was still open when it came up.
        bool overAnotherBox;
    };
    struct Answer
    {
        int answer;
        bool looping = false;
        std::function<bool()> answerWhen;
        std::function<void()> whileShown;
        std::chrono::milliseconds timeout{0};
    };
    struct FileDialogShown
    {
        bool save;
        ui::sFileDialogRequest request;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void QueueAnswer(int answer) { m_answers.push_back({answer}); }
    // The message box that takes this answer runs an event loop of its own until it is answered,
    // as the window system's box does: timers fire, workers' messages arrive and held work waits
    // inside it. `whileShown` (when given) runs once from inside the loop, the way a user or a
    // worker acts while the box is up; the box is answered once `answerWhen` holds (looked at
    // between the events it delivers) and the events queued by then have been delivered. A box
    // still open at the time-out fails the test and takes the answer all the same.
    void QueueLoopingAnswer(int answer, std::function<bool()> answerWhen,
                            std::function<void()> whileShown = nullptr,
                            std::chrono::milliseconds timeout = std::chrono::milliseconds(30000))
    {
        m_answers.push_back({answer, true, std::move(answerWhen), std::move(whileShown), timeout});
    }
    // A null QString cancels the dialog it answers.
    void QueueFile(const QString& file) { m_files.push_back(file); }
    void QueueFolder(const QString& folder) { m_folders.push_back(folder); }
    void QueuePrintAnswer(bool print) { m_printAnswers.push_back(print); }
    // While a message box is shown, the events queued by then are delivered, as the box's own loop
    // would deliver them (off: the box answers at once).
    void DeliverEventsWhileShown(bool deliver) { m_bDeliverWhileShown = deliver; }

    const std::vector<MessageBoxShown>& MessageBoxes() const { return m_messageBoxes; }
    const std::vector<FileDialogShown>& FileDialogs() const { return m_fileDialogs; }
    const std::vector<QString>& FolderDialogs() const { return m_folderDialogs; }
    int PrintDialogs() const { return m_printDialogs; }
    const std::vector<QUrl>& OpenedUrls() const { return m_openedUrls; }

    int MessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t flags) override;
    std::optional<QString> GetOpenFileName(QWidget* owner, const ui::sFileDialogRequest& request) override;
    std::optional<QString> GetSaveFileName(QWidget* owner, const ui::sFileDialogRequest& request) override;
    std::optional<QString> BrowseForFolder(QWidget* owner, const QString& title,
                                           const QString& startFolder) override;
    bool RunPrintDialog(QWidget* owner, QPrinter& printer) override;
    bool OpenUrl(const QUrl& url) override;

private:
    static std::optional<QString> Take(std::deque<QString>& answers);
    // Runs the box's own loop for a looping answer.
    void RunBoxLoop(const Answer& answer, const QString& text);

    ui::CDialogService* m_previous;
    std::deque<Answer> m_answers;
    std::deque<QString> m_files;
    std::deque<QString> m_folders;
    std::deque<bool> m_printAnswers;
    std::vector<MessageBoxShown> m_messageBoxes;
    std::vector<FileDialogShown> m_fileDialogs;
    std::vector<QString> m_folderDialogs;
    int m_printDialogs = 0;
    bool m_bDeliverWhileShown = false;
    int m_nOpenBoxes = 0;
    std::vector<QUrl> m_openedUrls;
};

} // namespace testsupport
