#include "app/popups/DlgPopupConfigureDataLog.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/livedata/LiveDataCsv.h"
#include "app/livedata/LiveDataSettings.h"
#include "app/popups/PopupButtons.h"
#include "connection/AppProfile.h"
#include "foundation/PathTools.h"
#include "platform/Folders.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/Utf.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/QtText.h"

namespace
{

constexpr int kEditMinWidth = 320;

} // namespace

CDlgPopup_ConfigureDataLog::CDlgPopup_ConfigureDataLog(QWidget* pParentWnd)
    : CNVDialog(kTemplateId, pParentWnd)
{
}

BOOL CDlgPopup_ConfigureDataLog::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Save Live Data To File"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    const std::tuple<CNVEdit*, UINT, const char*> edits[] = {
        {&m_editFileName, IDC_DATALOG_FILE_NAME, "File Name:"},
        {&m_editFolder, IDC_DATALOG_WORKING_FOLDER, "Working Directory:"}};
    for (const auto& [edit, id, label] : edits)
    {
        edit->setParent(this);
        edit->setMinimumWidth(kEditMinWidth);
        SetDlgCtrlID(edit, id);
        form->addRow(QString::fromLatin1(label), edit);
    }
    layout->addLayout(form);

    auto* row = new QHBoxLayout();
    auto* group = new QGroupBox(QStringLiteral("Time Options"), this);
    auto* radios = new QVBoxLayout(group);
    auto* exclusive = new QButtonGroup(group);
    for (const auto& [radio, id] :
         {std::pair{&m_radioUtc, IDC_DATALOG_UTC}, std::pair{&m_radioLocal, IDC_DATALOG_LOCAL}})
    {
        radio->setParent(group);
        SetDlgCtrlID(radio, id);
        exclusive->addButton(radio);
        radios->addWidget(radio);
    }
    m_radioUtc.setText(QStringLiteral("UTC"));
    row->addWidget(group);
    row->addStretch();
    auto* folderButton = new QVBoxLayout();
    m_btnSelectFolder.setParent(this);
    m_btnSelectFolder.setText(QStringLiteral("Select Folder..."));
    m_btnSelectFolder.setAutoDefault(false);
    SetDlgCtrlID(&m_btnSelectFolder, IDC_DATALOG_SELECT_FOLDER);
    connect(&m_btnSelectFolder, &QPushButton::clicked, this,
            [this] { SendCommand(IDC_DATALOG_SELECT_FOLDER); });
    folderButton->addWidget(&m_btnSelectFolder);
    folderButton->addStretch();
    row->addLayout(folderButton);
    layout->addLayout(row);

    layout->addLayout(MakeOkCancelRow(*this, m_btnOK, m_btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const CWideString documents(platform::Utf8ToUtf16(platform::DocumentsDir().string()).c_str());
    m_strFolder = GetProfileString(LOGGING_SECTION, WORKING_DIRECTORY_ENTRY, documents);
    m_bUtc = GetProfileInt(LOGGING_SECTION, TIME_ZONE_UTC_ENTRY, 1) > 0 ? TRUE : FALSE;
    m_radioLocal.setText(QStringLiteral("Local (%1)").arg(ui::ToQString(GetLocalTimeZoneName())));
    SaveChoices(platform::settings::ChangeBy::Program);
    m_strFileName.SetEmpty();
    FillControls();
    m_editFileName.setFocus();
    CNVDialog::OnInitDialog();
    return TRUE;
}

// The folder and the time zone are one choice: told once if they cannot be kept.
void CDlgPopup_ConfigureDataLog::SaveChoices(platform::settings::ChangeBy by)
{
    const platform::settings::CChangeScope change(by);
    WriteProfileString(LOGGING_SECTION, WORKING_DIRECTORY_ENTRY, m_strFolder);
    WriteProfileInt(LOGGING_SECTION, TIME_ZONE_UTC_ENTRY, m_bUtc);
}

void CDlgPopup_ConfigureDataLog::FillControls()
{
    const QSignalBlocker blockName(m_editFileName), blockFolder(m_editFolder);
    m_editFileName.setText(ui::ToQString(m_strFileName));
    m_editFolder.setText(ui::ToQString(m_strFolder));
    (m_bUtc ? m_radioUtc : m_radioLocal).setChecked(true);
}

BOOL CDlgPopup_ConfigureDataLog::OnCommand(UINT id)
{
    if (id == IDC_DATALOG_SELECT_FOLDER)
    {
        OnSelectFolder();
        return TRUE;
    }
    return CNVDialog::OnCommand(id);
}

void CDlgPopup_ConfigureDataLog::OnSelectFolder()
{
    m_strFileName = ui::ToWideString(m_editFileName.text());
    m_bUtc = m_radioUtc.isChecked() ? TRUE : FALSE;
    const std::optional<QString> folder =
        ui::Dialogs().BrowseForFolder(this, QStringLiteral("Select Working Directory"), m_editFolder.text());
    m_strFolder = ui::ToWideString(folder ? *folder : m_editFolder.text());
    FillControls();
}

void CDlgPopup_ConfigureDataLog::AskAgainForName(bool selectAll)
{
    if (selectAll)
        m_editFileName.selectAll();
    m_editFileName.setFocus();
}

void CDlgPopup_ConfigureDataLog::OnOK()
{
    m_strFileName = ui::ToWideString(m_editFileName.text());
    m_strFolder = ui::ToWideString(m_editFolder.text());
    m_bUtc = m_radioUtc.isChecked() ? TRUE : FALSE;

    CWideString name = m_strFileName;
    name.Trim();
    if (name.IsEmpty())
    {
        ui::Dialogs().MessageBox(this, QStringLiteral("Must specify file name."), ui::ApplicationName(),
                                 platform::MB_OK | platform::MB_ICONERROR);
        AskAgainForName(false);
        return;
    }
    const CWideString path = BuildLogFilePath(m_strFolder, name);
    if (FileExists(path) &&
        ui::Dialogs().MessageBox(this, QStringLiteral("File %1 exists. Overwrite?").arg(ui::ToQString(path)),
                                 ui::ApplicationName(),
                                 platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
    {
        AskAgainForName(true);
        return;
    }
    m_strFilePath = path;
    SaveChoices(platform::settings::ChangeBy::User);
    EndDialog(IDOK);
}
