#include "app/popups/DlgPressureCal.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "connection/SensorStatusText.h"
#include "foundation/ErrorTable.h"
#include "foundation/NameLookups.h"
#include "models/ReadingQuality.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kValueWidth = 120;
constexpr int kNoteWidth = 380;
constexpr UINT kDigitsShown = 6;

void ShowFailure(const sSettingsFailure& failure)
{
    if (failure)
        ErrorCodeMessageBox(failure.text, failure.code, nullptr, nullptr);
}

// What the way out could not give back, named to the user.
void ShowLeftovers(QWidget* owner, const CWideString& leftovers)
{
    if (!leftovers.IsEmpty())
        ui::Dialogs().MessageBox(owner, ui::ToQString(static_cast<const char16_t*>(leftovers)),
                                 ui::ApplicationName(), platform::MB_OK | platform::MB_ICONWARNING);
}

} // namespace

CDlgPressureCal::CDlgPressureCal(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Connection(connection)
{
}

CDlgPressureCal::~CDlgPressureCal()
{
    // Before the window goes: the reading thread posts to it. Its end may wait for a read, and
    // what the calibration changed goes back to the probe.
    if (m_pCalibration != nullptr)
        ui::WaitForWork([this] { m_pCalibration.reset(); });
}

BOOL CDlgPressureCal::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Calibrate Pressure"));
    auto* layout = new QVBoxLayout(this);
    m_group.setParent(this);
    m_group.setTitle(QStringLiteral("Zero the sensor"));
    SetDlgCtrlID(&m_group, IDC_PRESSURE_CAL_GROUP);
    auto* groupLayout = new QGridLayout(&m_group);
    m_note.setText(
        QStringLiteral("This operation will zero the reading of the Pressure / Depth sensor. Make sure "
                       "the device is dry and exposed to air."));
    m_note.setWordWrap(true);
    m_note.setFixedWidth(kNoteWidth);
    SetDlgCtrlID(&m_note, IDC_PRESSURE_CAL_NOTE);
    groupLayout->addWidget(&m_note, 0, 0, 1, 3);
    m_valueLabel.setText(QStringLiteral("Current Value ():"));
    SetDlgCtrlID(&m_valueLabel, IDC_PRESSURE_CAL_VALUE_LABEL);
    groupLayout->addWidget(&m_valueLabel, 1, 0);
    m_value.setReadOnly(true);
    m_value.setFixedWidth(kValueWidth);
    SetDlgCtrlID(&m_value, IDC_PRESSURE_CAL_VALUE);
    groupLayout->addWidget(&m_value, 1, 1);
    groupLayout->setColumnStretch(2, 1);
    layout->addWidget(&m_group);
    m_restoreFactory.setParent(this);
    m_restoreFactory.setText(QStringLiteral("Restore factory calibration"));
    SetDlgCtrlID(&m_restoreFactory, IDC_PRESSURE_CAL_RESTORE);
    layout->addWidget(&m_restoreFactory);
    layout->addLayout(MakeOkCancelRow(*this, m_btnOk, m_btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(&m_restoreFactory, &QCheckBox::clicked, this, [this] { OnRestoreFactory(); });
    CNVDialog::OnInitDialog();

    m_btnOk.setEnabled(false);
    m_pCalibration = std::make_unique<CPressureCalibration>(m_Connection, m_pSensor, m_nConnection, *this,
                                                            m_readingPeriod);
    USHORT unitId = 0;
    if (const sSettingsFailure failure =
            ui::WaitForWork([this, &unitId] { return m_pCalibration->Begin(unitId); }))
    {
        // The dialog stays open with OK disabled; Cancel takes the way out.
        ShowFailure(failure);
        return FALSE;
    }
    m_valueLabel.setText(
        QStringLiteral("Current value (%1):").arg(ui::ToQString(GetUnitAbbreviation(unitId))));
    if (!m_pCalibration->StartReading())
        ui::Dialogs().MessageBox(this, QStringLiteral("Failed to start reading thread."),
                                 ui::ApplicationName(), platform::MB_OK | platform::MB_ICONERROR);
    return TRUE;
}

LRESULT CDlgPressureCal::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case windowmsg::WM_NEW_DATA:
        return OnNewData();
    case windowmsg::WM_READ_ERROR:
        return OnReadError();
    default:
        return CNVDialog::OnMessage(message, wParam, lParam);
    }
}

LRESULT CDlgPressureCal::OnNewData()
{
    if (m_pCalibration == nullptr || m_bEnded)
        return 0;
    m_Reading = m_pCalibration->GetLastReading();
    const USHORT code = NVSystem::QualityCode(m_Reading.quality);
    // What the sensor says instead of a measurement tells the user why OK stays disabled.
    m_value.setText(
        !m_Reading.usable && code != NVSystem::QUALITY_NORMAL
            ? ui::ToQString(FormatSensorStatusText(code, m_Connection.GetSlaveId().RegisterMapVersion))
            : ui::ToQString(FormatValue(kDigitsShown, m_Reading.value)));
    m_btnOk.setEnabled(m_restoreFactory.isChecked() || CanTakeZero());
    return 0;
}

LRESULT CDlgPressureCal::OnReadError()
{
    if (m_bEnded)
        return 0;
    ui::Dialogs().MessageBox(this, QStringLiteral("Reading error occurred.\nTerminating calibration."),
                             ui::ApplicationName(), platform::MB_OK | platform::MB_ICONERROR);
    OnCancel();
    return 0;
}

void CDlgPressureCal::OnRestoreFactory()
{
    const bool restore = m_restoreFactory.isChecked();
    for (QWidget* widget : {static_cast<QWidget*>(&m_value), static_cast<QWidget*>(&m_valueLabel),
                            static_cast<QWidget*>(&m_note), static_cast<QWidget*>(&m_group)})
        widget->setEnabled(!restore);
    m_btnOk.setEnabled(restore || CanTakeZero());
}

bool CDlgPressureCal::CanTakeZero() const
{
    return m_Reading.usable && m_Reading.value != 0.0f;
}

void CDlgPressureCal::OnOK()
{
    if (m_bEnded || !m_btnOk.isEnabled())
        return;
    m_bEnded = true;
    if (m_pCalibration != nullptr)
    {
        const CPressureCalibration::sFinishFailures failures =
            ui::WaitForWork([this, restore = m_restoreFactory.isChecked() ? TRUE : FALSE]
                            { return m_pCalibration->Finish(restore, m_Reading); });
        ShowFailure(failures.calibration);
        ShowFailure(failures.header);
        ShowLeftovers(this, failures.leftovers);
    }
    EndDialog(IDOK);
}

void CDlgPressureCal::OnCancel()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    if (m_pCalibration != nullptr)
        ShowLeftovers(this, ui::WaitForWork([this] { return m_pCalibration->Cancel(); }));
    EndDialog(IDCANCEL);
}
