#include "calibration/wizard/DlgWizPageCalVOXStep1Setup.h"

#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "calibration/data/CalDataVOX.h"
#include "calibration/wizard/CalPageRules.h"
#include "connection/AppProfile.h"
#include "platform/SettingsStore.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kReadingDigits = 6;
constexpr float kFirstTarget = 100.0f; // % saturation
constexpr float kSecondTarget = 0.0f;

void Fill(CNVComboBox& list, std::initializer_list<int32_t> ids, int32_t selected, int32_t fallback)
{
    const QSignalBlocker block(list);
    list.clear();
    for (const int32_t id : ids)
        if (const QString name = SolutionNameText(id); !name.isEmpty())
            list.addItem(name, id);
    int index = list.findData(selected);
    if (index < 0)
        index = list.findData(fallback);
    list.setCurrentIndex(index);
}

// The newest reading of the store; FALSE while it is empty. A reading in another unit than the
// field's (oxygen in ppm, which does not convert to mg/L) leaves the field empty.
BOOL Last(const CCalSampleStore& store, int selector, USHORT fieldUnit, QString& text)
{
    float value = 0.0f;
    USHORT unit = 0;
    if (store.GetLast(selector, &value, nullptr, &unit) < 0)
        return FALSE;
    text = fieldUnit == 0 || unit == fieldUnit ? FormattedValue(kReadingDigits, value) : QString();
    return TRUE;
}

} // namespace

CDlgWizPage_CalVOXStep1_Setup::CDlgWizPage_CalVOXStep1_Setup()
    : CDlgWizPage_Cal(IDD_CAL_VOX_SETUP), m_restore(QStringLiteral("Restore factory calibration"), this),
      m_pointsGroup(QStringLiteral("Select Calibration Standards:"), this), m_point1(&m_pointsGroup),
      m_point2(&m_pointsGroup), m_readingsGroup(QStringLiteral("Current Readings"), this),
      m_temperature(&m_readingsGroup), m_oxygen(&m_readingsGroup), m_saturation(&m_readingsGroup),
      m_baro(&m_readingsGroup)
{
    SetDlgCtrlID(&m_restore, 1143);
    SetDlgCtrlID(&m_point1, 1168);
    SetDlgCtrlID(&m_point2, 1169);
    auto* page = new QVBoxLayout(this);
    page->addWidget(&m_restore);
    QFormLayout* points = NewForm(&m_pointsGroup);
    points->addRow(new QLabel(QStringLiteral("DO value for calibration point 1:"), &m_pointsGroup),
                   &m_point1);
    points->addRow(new QLabel(QStringLiteral("DO value for calibration point 2:"), &m_pointsGroup),
                   &m_point2);
    page->addWidget(&m_pointsGroup);
    QFormLayout* readings = NewForm(&m_readingsGroup);
    readings->addRow(new QLabel(QStringLiteral("Temperature (C):"), &m_readingsGroup), &m_temperature);
    readings->addRow(new QLabel(QStringLiteral("DO (mgL):"), &m_readingsGroup), &m_oxygen);
    readings->addRow(new QLabel(QStringLiteral("DO (% saturation):"), &m_readingsGroup), &m_saturation);
    readings->addRow(new QLabel(QStringLiteral("Current Barometric Setting (mbar):"), &m_readingsGroup),
                     &m_baro);
    page->addWidget(&m_readingsGroup);
    page->addStretch();
    for (QWidget* field : std::initializer_list<QWidget*>{&m_point1, &m_point2})
        SetFieldWidth(*field);
    for (CNVEdit* reading : {&m_temperature, &m_oxygen, &m_saturation, &m_baro})
    {
        SetFieldWidth(*reading);
        reading->setReadOnly(true);
        reading->setFocusPolicy(Qt::NoFocus);
    }
    connect(&m_restore, &QCheckBox::clicked, this, [this] { OnRestoreClicked(); });
    connect(&m_point1, &QComboBox::currentIndexChanged, this, [this] { ApplyNextRule(); });
    connect(&m_point2, &QComboBox::currentIndexChanged, this, [this] { ApplyNextRule(); });
}

CCalDataVOX* CDlgWizPage_CalVOXStep1_Setup::Data() const
{
    return CalDataAs<CCalDataVOX>();
}

BOOL CDlgWizPage_CalVOXStep1_Setup::OnInitDialog()
{
    CDlgWizPage_Cal::OnInitDialog();
    Fill(m_point1, {CAL_SOLUTION_DO_100},
         GetProfileInt(kVOXProfileSection, u"LastSolution1", CAL_SOLUTION_DO_100), CAL_SOLUTION_DO_100);
    Fill(m_point2, {CAL_SOLUTION_DO_0, CAL_SOLUTION_NONE},
         GetProfileInt(kVOXProfileSection, u"LastSolution2", CAL_SOLUTION_NONE), CAL_SOLUTION_NONE);
    ApplyNextRule();
    return TRUE;
}

BOOL CDlgWizPage_CalVOXStep1_Setup::IsSelectionValid() const
{
    if (m_restore.isChecked())
        return FALSE;
    return IsVoxPointChoiceValid(SelectedSolution(m_point1), SelectedSolution(m_point2));
}

void CDlgWizPage_CalVOXStep1_Setup::ApplyNextRule()
{
    EnableNext(IsSelectionValid());
}

BOOL CDlgWizPage_CalVOXStep1_Setup::OnSetActive(UINT)
{
    CCalDataVOX* data = Data();
    if (data == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("DO Calibration - Select Method"));
    // Next waits for the worker's next readings, which apply the selection rule.
    EnableBack(FALSE);
    EnableNext(FALSE);
    EnableCancel(TRUE);
    EnableFinish(FALSE);
    for (CNVEdit* reading : {&m_temperature, &m_oxygen, &m_saturation, &m_baro})
        reading->clear();
    const BOOL restore = m_restore.isChecked() ? TRUE : FALSE;
    data->SetRestoreDefaults(restore);
    EnableFinish(restore);
    return TRUE;
}

void CDlgWizPage_CalVOXStep1_Setup::OnRestoreClicked()
{
    CCalDataVOX* data = Data();
    if (data == nullptr)
        return;
    const BOOL restore = m_restore.isChecked() ? TRUE : FALSE;
    data->SetRestoreDefaults(restore);
    EnableBack(FALSE);
    // Cleared: Next at once; the next readings apply the selection rule again.
    EnableNext(!restore);
    EnableFinish(restore);
}

LRESULT CDlgWizPage_CalVOXStep1_Setup::OnNewData()
{
    CCalDataVOX* data = Data();
    if (data == nullptr)
        return -1;
    if (!IsShown())
        return 0;
    ApplyNextRule();
    QString baro;
    QString saturation;
    QString oxygen;
    QString temperature;
    if (!Last(data->BaroReadings(), 1, 0, baro) || !Last(data->SaturationReadings(), 1, 0, saturation) ||
        !Last(data->LiveReadings(), 1, kUnitMilligramPerLitre, oxygen) ||
        !Last(data->LiveReadings(), 0, kUnitCelsius, temperature))
        return -1;
    m_baro.setText(baro);
    m_saturation.setText(saturation);
    m_oxygen.setText(oxygen);
    m_temperature.setText(ui::ToQString(TemperatureFieldText(*data, ui::ToWideString(temperature))));
    return 0;
}

BOOL CDlgWizPage_CalVOXStep1_Setup::OnWizardNext()
{
    CCalDataVOX* data = Data();
    if (data == nullptr || !IsSelectionValid())
        return FALSE;
    const int32_t point1 = SelectedSolution(m_point1);
    const int32_t point2 = SelectedSolution(m_point2);
    data->SetPointCount(point2 == CAL_SOLUTION_NONE ? 1 : 2);
    data->SetPointTargets(kFirstTarget, kSecondTarget);
    const platform::settings::CChangeScope change;
    WriteProfileInt(kVOXProfileSection, u"LastSolution1", point1);
    WriteProfileInt(kVOXProfileSection, u"LastSolution2", point2);
    return TRUE;
}

BOOL CDlgWizPage_CalVOXStep1_Setup::OnWizardFinish()
{
    if (!IsShown())
        return TRUE;
    CCalDataVOX* data = Data();
    if (data == nullptr || !data->GetRestoreDefaults())
        return FALSE;
    return ConfirmAndRestoreDefaults(
        QStringLiteral(
            "This will restore calibration defaults to\nthe VOX sensor.\nDo you wish to continue?"),
        [data] { return data->RestoreCalibrationDefaults(); });
}
