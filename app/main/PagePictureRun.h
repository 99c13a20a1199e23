// A run of the program that a test starts as a process (option --save-page-pictures): once the
// main window runs, it connects through the ordinary port search, waits for the probe information
// page to show the probe, writes the page's texts to standard output, saves a picture of each page
// as <prefix><page>.png and closes the window the way the close box does. Anything that does not
// come within the time-out ends the run as failed.
#pragma once

#include <chrono>

#include <QObject>
#include <QString>
#include <QTimer>

class CDlgFrame_TarnwickSoft;

class CPagePictureRun : public QObject
{
    Q_OBJECT

public:
    CPagePictureRun(CDlgFrame_TarnwickSoft& window, QString prefix,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Call before the window's modal run; the run starts once that loop turns.
    void Start();
    bool Succeeded() const { return m_bSucceeded; }

private:
    void Connect();
    void WaitForProbeInfo();
    void SavePages();
    void Finish(bool succeeded, const char* problem = nullptr);

    CDlgFrame_TarnwickSoft& m_Window;
    QString m_strPrefix;
    std::chrono::milliseconds m_Timeout;
    QTimer m_poll;
    QTimer m_deadline;
    int m_nNextPage = 0;
    bool m_bSucceeded = false;
};
