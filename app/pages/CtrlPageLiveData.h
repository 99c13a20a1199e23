// CCtrlPage_LiveData: the first page of the main window. It lists the polled parameters of the
// connected probe (name, value, unit, data code) in the order the user gives them, runs the polling
// worker (CLivePollWorker) at the log rate and, with "Save live data to file" checked, appends one
// line per round to the CSV file that Start creates. The main window reads the reading and logging
// flags (keep-alive, leaving the page) and stops the reading when the user leaves the page.
//
// The worker hands each round to the page with its values, so the page never reads the device
// while reading: a round costs the user-interface thread the list update and the file line only.
// A round's line is written as it arrives, also while a box or popup is open above the page (its
// values are shown once that has closed), and the rounds the worker delivered before a stop are
// written by the stop: every round of a run reaches the file, in order and once.
#pragma once

#include <memory>

#include <QTreeWidget>

#include "app/livedata/LivePollWorker.h"
#include "app/pages/CtrlPageBase.h"
#include "connection/SensorReadings.h"
#include "platform/Sync.h"
#include "ui/Label.h"
#include "ui/NVButton.h"
#include "ui/NVEdit.h"
#include "ui/NVStatic.h"

inline constexpr UINT IDC_LIVE_LOG_TO_FILE = 1044;
inline constexpr UINT IDC_LIVE_START_STOP = 1121;
inline constexpr UINT IDC_LIVE_SELECT_PARAMETERS = 1126;
inline constexpr UINT IDC_LIVE_PARAMETER_UP = 1127;
inline constexpr UINT IDC_LIVE_PARAMETER_DOWN = 1128;
inline constexpr UINT IDC_LIVE_RATE = 1193;
inline constexpr UINT IDC_LIVE_LIST = 1194;
inline constexpr UINT IDC_LIVE_SAMPLE_RATE_LABEL = 1195;
inline constexpr UINT IDC_LIVE_SECONDS_LABEL = 1196;
inline constexpr UINT IDC_LIVE_DATA_CODE_DESCRIPTION = 1308;
inline constexpr UINT IDC_LIVE_DATA_CODE_LABEL = 1309;

class CCtrlPage_LiveData : public CCtrlPage_Base
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 132;

    enum EColumn
    {
        COLUMN_PARAMETER = 0,
        COLUMN_VALUE = 1,
        COLUMN_UNITS = 2,
        COLUMN_DATA_CODE = 3,
    };

    explicit CCtrlPage_LiveData(QWidget* pParentWnd = nullptr);
    ~CCtrlPage_LiveData() override;

    // The reading flag under the page lock; any thread.
    BOOL IsReading();
    // The log-to-file flag under the page lock; any thread.
    BOOL IsLoggingToFile();
    // Stops the polling and waits for the worker (the main window calls it when the user leaves the
    // page). Nothing when not reading.
    void StopReading();
    // The page lock: guards the reading and logging flags. A leaf lock: nothing is taken under it.
    platform::CCriticalSection& GetPageLock() { return m_PageLock; }

    // ---- The operations of the page ----

    LRESULT OnDeviceConnected(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDeviceDisconnected(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnRequestDisconnect(WPARAM wParam, LPARAM lParam) override;
    void OnPageDeactivate() override;
    void RefreshPage() override;

    void StartStopReading();
    void SelectPollParameters();
    void MoveParameterUp();
    void MoveParameterDown();
    void RebuildPollList();

    // ---- For the tests ----

    QTreeWidget& List() { return m_list; }
    CNVEdit& RateEdit() { return m_editRate; }
    CNVButton& StartStopButton() { return m_btnStartStop; }
    CNVButton& SelectButton() { return m_btnSelect; }
    CNVButton& UpButton() { return m_btnUp; }
    CNVButton& DownButton() { return m_btnDown; }
    CNVCheckBox& LogToFileBox() { return m_chkLogToFile; }
    QString GetDataCodeLabel() const { return m_lblDataCode.text(); }
    QString GetDataCodeDescription() const { return m_stDataCodeDescription.text(); }
    const CDynArray<sParameterReading>& GetPollList() const { return m_pollList; }
    const CWideString& GetLogFilePath() const { return m_strLogFilePath; }
    // The worker's clock for the next start (the system's by default).
    void SetPollClockForTests(sLivePollClock clock) { m_pollClock = std::move(clock); }
    // The page-activation timer has yet to rebuild the rows.
    BOOL IsActivationPending() const { return IsTimerRunning(IDT_PAGE_ACTIVATE); }
    // The text and colour of a row's cell.
    QString CellText(int row, EColumn column) const;
    QColor CellColor(int row, EColumn column) const;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool TakeWhileHolding(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT id) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The readings of every sensor of the device; false, after the error box, when they cannot be
    // had.
    bool CollectReadings(NVSystem::CDeviceComm& device, CDynArray<sParameterReading>& readings,
                         UnpluggedSensors unplugged, ReadingsAge age = ReadingsAge::Cached);
    // RebuildPollList with readings of that age; true when the rows were built anew from them.
    bool RebuildPollList(ReadingsAge age);
    // The values the poll list's records carry, as a round.
    sLiveRound RoundOfPollList() const;
    // A round of the worker or the values read right after a connect: the rows' values and data
    // codes.
    void ShowValues(const sLiveRound& round);
    // The round of the running run that the message names, taken from the worker; none for a
    // message of a run that has ended.
    std::optional<sLiveRound> TakeRunRound(WPARAM number, LPARAM runTag);
    // Whether the round is newer than every round of the run shown or kept to be shown; it then
    // counts as the newest.
    bool TakeAsNewest(const sLiveRound& round);
    // The round's values shown once the page no longer holds work, unless a newer round's are.
    void ShowLater(sLiveRound&& round);
    // The newest round kept by ShowLater, shown now.
    void ShowUnshownRound();
    void ShowDataCodeHelp();
    void UpdateMoveButtons();
    void OnRateChanged();
    void SizeColumns();
    void DeleteAllRows();
    // One row per record of the poll list (name and unit; value and data code empty).
    void InsertRows();
    void FillRow(QTreeWidgetItem& item, const sParameterReading& record) const;
    void MoveParameter(int from, int to);
    // The row with the selection mark; -1 when none.
    int GetSelectionMark() const;
    void SelectRow(int row);
    void SetReading(BOOL reading);
    // The round's line, when logging to the file; the first line that fails in a run is told in a
    // box (after any box open above the page), the others are lost silently, as that box says.
    void LogRound(const sLiveRound& round);

    // Text of the rate edit, LogRate and the file settings of the last start.
    QString m_strRate;
    int m_nLogRate = 10;
    CWideString m_strLogFilePath;
    BOOL m_bUtc = TRUE;
    CDynArray<sParameterReading> m_pollList;

    platform::CCriticalSection m_PageLock;
    BOOL m_bReading = FALSE;   // under m_PageLock
    BOOL m_bLogToFile = FALSE; // under m_PageLock

    sLivePollClock m_pollClock = sLivePollClock::System();
    std::unique_ptr<CLivePollWorker> m_pWorker;
    intptr_t m_nRunTag = 0;
    bool m_bFileFailureShown = false;
    // The newest round taken while the page held work and not shown yet.
    std::optional<sLiveRound> m_unshownRound;
    // The number of the newest round of the run shown or kept to be shown: a round taken after a
    // later one (a wait posts its held messages again behind newer ones) goes to the file only.
    uint64_t m_nNewestRound = 0;

    CNVCheckBox m_chkLogToFile;
    CNVStatic m_stSeconds;
    CNVStatic m_stSampleRate;
    CLabel m_lblDataCode;
    CNVStatic m_stDataCodeDescription;
    QTreeWidget m_list;
    CNVEdit m_editRate;
    CNVButton m_btnStartStop;
    CNVButton m_btnSelect;
    CNVButton m_btnDown;
    CNVButton m_btnUp;
};
