// CDlgPopup_ConfigureDataLog: "Save Live Data To File", run by the live data page when the user
// starts reading with "Save live data to file" checked. It asks for the file name (empty each time),
// the working folder and whether the file's time stamps are UTC or local time; OK builds the file's
// path (BuildLogFilePath), asks before an existing file is overwritten and keeps the folder and the
// time base in the profile.
#pragma once

#include "platform/SettingsStore.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDC_DATALOG_UTC = 1132;
inline constexpr UINT IDC_DATALOG_LOCAL = 1133;
inline constexpr UINT IDC_DATALOG_FILE_NAME = 1134;
inline constexpr UINT IDC_DATALOG_SELECT_FOLDER = 1135;
inline constexpr UINT IDC_DATALOG_WORKING_FOLDER = 1136;

class CDlgPopup_ConfigureDataLog : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 152;

    explicit CDlgPopup_ConfigureDataLog(QWidget* pParentWnd = nullptr);

    // After IDOK: the file to create and the time base.
    const CWideString& GetFilePath() const { return m_strFilePath; }
    BOOL GetUtc() const { return m_bUtc; }

    CNVEdit& FileNameEdit() { return m_editFileName; }
    CNVEdit& FolderEdit() { return m_editFolder; }
    CNVRadioButton& UtcButton() { return m_radioUtc; }
    CNVRadioButton& LocalButton() { return m_radioLocal; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    void OnOK() override;

private:
    void OnSelectFolder();
    // The member texts into the controls.
    void FillControls();
    void AskAgainForName(bool selectAll);
    // By the program when the popup opens (what it found, kept at once), by the user on OK.
    void SaveChoices(platform::settings::ChangeBy by);

    CWideString m_strFilePath;
    CWideString m_strFileName;
    CWideString m_strFolder;
    BOOL m_bUtc = TRUE;

    CNVEdit m_editFileName;
    CNVEdit m_editFolder;
    CNVRadioButton m_radioUtc;
    CNVRadioButton m_radioLocal;
    CNVButton m_btnSelectFolder;
    CNVButton m_btnOK;
    CNVButton m_btnCancel;
};
