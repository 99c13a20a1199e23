// CDlgPopup_FirmwareUpdate: "Firmware Update". The user picks a firmware image (*.bin); it is
// checked against the connected probe (header, device type, hardware range); after the question
// for an upgrade, a reinstall or a downgrade a worker flashes it while the bar shows the progress
// once a second. Ends with IDOK after a successful update, IDCANCEL after a failure or a cancel
// (which waits for the worker), IDABORT when the worker cannot be started. A cancel that comes after
// the flash has ended shows how it ended instead of hiding it.
#pragma once

#include <QProgressBar>
#include <QTimer>

#include "app/popups/FirmwareUpdate.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVStatic.h"

class QLineEdit;

inline constexpr UINT IDC_FIRMWARE_FILE = 1279;
inline constexpr UINT IDC_SELECT_FILE = 1299;
inline constexpr UINT IDC_FIRMWARE_VERSION = 1300;
inline constexpr UINT IDC_UPDATE_DEVICE = 1302;
inline constexpr UINT IDC_FIRMWARE_PROGRESS = 1304;
inline constexpr UINT IDC_FIRMWARE_STATUS = 1305;
inline constexpr UINT IDC_FIRMWARE_PERCENT = 1306;
inline constexpr UINT IDT_FIRMWARE_PROGRESS = 728;
inline constexpr int IDABORT_RESULT = 3;

class CDlgPopup_FirmwareUpdate : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 188;
    static constexpr int kProgressPeriodMs = 1000;

    explicit CDlgPopup_FirmwareUpdate(QWidget* pParentWnd = nullptr,
                                      CProbeConnection& connection = theProbeConnection);

    CFirmwareUpload::EState GetUploadState() const { return m_Upload.GetState(); }
    const sFirmwareFileInfo& GetChosenFile() const { return m_File; }
    CNVButton& UpdateButton() { return m_btnUpdate; }
    CNVButton& SelectButton() { return m_btnSelect; }
    QProgressBar& ProgressBar() { return m_progress; }
    QString GetStatusText() const { return m_status.text(); }
    QString GetPercentText() const { return m_percent.text(); }
    // The period of the progress timer (1 s); tests shorten it.
    void SetProgressPeriod(int ms) { m_progressTimer.setInterval(ms); }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnCancel() override;

private:
    void OnSelectFile();
    void OnUpdateDevice();
    void OnTimer();
    // The worker has ended: its result is shown and the popup ends (IDOK after a flash that
    // succeeded, IDCANCEL otherwise).
    void ReportFinished();
    CWideString DeviceTypeName();

    CProbeConnection& m_Connection;
    QLineEdit* m_pFileEdit = nullptr;
    QLineEdit* m_pVersionEdit = nullptr;
    CNVButton m_btnSelect;
    CNVButton m_btnUpdate;
    CNVButton m_btnCancel;
    CNVStatic m_status;
    CNVStatic m_percent;
    QProgressBar m_progress;
    QTimer m_progressTimer;
    // How the update ended has been told to the user.
    bool m_bReported = false;
    sFirmwareFileInfo m_File;
    // Last: its worker is joined before the rest goes.
    CFirmwareUpload m_Upload;
};
