#include "calibration/wizard/DlgWizPageCalCondStep1.h"

#include <optional>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "calibration/data/CalDataConductivity.h"
#include "calibration/wizard/CalPageRules.h"
#include "calibration/wizard/CalStandardChoice.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr float kRefTemp20 = 20.0f;
constexpr float kRefTemp25 = 25.0f;
constexpr float kListedStandardRefTemp = 25.0f;
constexpr uint16_t kCellConstantMethod = 1;
constexpr UINT kValueDigits = 10;
constexpr UINT kReadingDigits = 6;
const sStandardChoiceEntries kProfileEntries{kCondProfileSection, u"LastSolution", u"LastValue",
                                             CAL_SOLUTION_COND_1413};
constexpr int32_t kListedSolutions[] = {CAL_SOLUTION_COND_147, CAL_SOLUTION_COND_1413,
                                        CAL_SOLUTION_COND_12890, CAL_SOLUTION_COND_58670, CAL_SOLUTION_USER};

QString RefSuffix(float celsius)
{
    return celsius == kRefTemp20 ? QStringLiteral("@20° C") : QStringLiteral("@25° C");
}

} // namespace

CDlgWizPage_CalCondStep1::CDlgWizPage_CalCondStep1()
    : CDlgWizPage_Cal(IDD_CAL_COND_STEP1), m_restore(QStringLiteral("Restore factory calibration"), this),
      m_refTempGroup(QStringLiteral("Specific Conductivity Reference Temp"), this),
      m_refTemp20(QStringLiteral("20° C"), &m_refTempGroup),
      m_refTemp25(QStringLiteral("25° C"), &m_refTempGroup),
      m_standardGroup(QStringLiteral("Select Calibration Standard"), this), m_standard(&m_standardGroup),
      m_userValueLabel(&m_standardGroup), m_userValue(&m_standardGroup, FALSE, TRUE, kValueDigits),
      m_readingsGroup(QStringLiteral("Current Readings"), this), m_temperature(&m_readingsGroup),
      m_conductivityLabel(&m_readingsGroup), m_conductivity(&m_readingsGroup)
{
    SetDlgCtrlID(&m_restore, IDC_CAL_RESTORE_FACTORY);
    SetDlgCtrlID(&m_refTemp20, IDC_CAL_REF_TEMP_20);
    SetDlgCtrlID(&m_refTemp25, IDC_CAL_REF_TEMP_25);
    SetDlgCtrlID(&m_standard, IDC_CAL_COND_STANDARD);
    SetDlgCtrlID(&m_userValue, IDC_CAL_USER_VALUE);
    for (CNVEdit* reading : {&m_temperature, &m_conductivity})
    {
        reading->setReadOnly(true);
        reading->setFocusPolicy(Qt::NoFocus);
    }

    auto* page = new QVBoxLayout(this);
    page->addWidget(&m_restore);
    auto* refTemp = new QHBoxLayout(&m_refTempGroup);
    refTemp->addWidget(&m_refTemp20);
    refTemp->addWidget(&m_refTemp25);
    refTemp->addStretch();
    page->addWidget(&m_refTempGroup);
    QFormLayout* standard = NewForm(&m_standardGroup);
    standard->addRow(new QLabel(QStringLiteral("Calibration Solution:"), &m_standardGroup), &m_standard);
    standard->addRow(&m_userValueLabel, &m_userValue);
    page->addWidget(&m_standardGroup);
    QFormLayout* readings = NewForm(&m_readingsGroup);
    readings->addRow(new QLabel(QStringLiteral("Temperature (C):"), &m_readingsGroup), &m_temperature);
    readings->addRow(&m_conductivityLabel, &m_conductivity);
    page->addWidget(&m_readingsGroup);
    page->addStretch();
    for (QWidget* field :
         std::initializer_list<QWidget*>{&m_standard, &m_userValue, &m_temperature, &m_conductivity})
        SetFieldWidth(*field);
    ShowRefTemp(kRefTemp25);
    m_refTemp20.setChecked(false);
    m_refTemp25.setChecked(false);

    connect(&m_restore, &QCheckBox::clicked, this, [this] { OnRestoreClicked(); });
    connect(&m_refTemp20, &QRadioButton::clicked, this, [this] { OnRefTempClicked(kRefTemp20); });
    connect(&m_refTemp25, &QRadioButton::clicked, this, [this] { OnRefTempClicked(kRefTemp25); });
    connect(&m_standard, &QComboBox::currentIndexChanged, this, [this] { OnStandardChanged(); });
    connect(&m_userValue, &CCalValueEdit::ValueEdited, this, [this] { OnUserValueEdited(); });
}

CCalDataConductivity* CDlgWizPage_CalCondStep1::Data() const
{
    return CalDataAs<CCalDataConductivity>();
}

NVSystem::ISensor_Conductivity* CDlgWizPage_CalCondStep1::Sensor() const
{
    auto* frame = qobject_cast<CDlgWizFrame_CalConductivity*>(Frame());
    return frame != nullptr ? frame->GetSensor() : nullptr;
}

void CDlgWizPage_CalCondStep1::ShowRefTemp(float celsius)
{
    m_userValueLabel.setText(QStringLiteral("Enter Value (µS/cm %1):").arg(RefSuffix(celsius)));
    m_conductivityLabel.setText(QStringLiteral("Specific Conductivity (µS/cm %1):").arg(RefSuffix(celsius)));
}

BOOL CDlgWizPage_CalCondStep1::OnInitDialog()
{
    CCalDataConductivity* data = Data();
    if (data == nullptr)
        return FALSE;
    CDlgWizPage_Cal::OnInitDialog();

    // What the page shows first comes from the probe: the sensor's reference temperature, and
    // whether a log runs (which keeps the reference as it is). The read takes its turn with the
    // worker's, so that a probe found silent is not waited for twice.
    struct sOpening
    {
        std::optional<float> reference;
        bool logging = false;
    };
    NVSystem::ISensor_Conductivity* sensor = Sensor();
    NVSystem::CDeviceComm* device = Frame()->GetProbe().GetCalDevice();
    const sOpening opening = ui::WaitForWork(
        [data, sensor, device]
        {
            sOpening read;
            float reference = 0.0f;
            float alpha = 0.0f;
            CDynArray<float> coefficients;
            if (sensor != nullptr &&
                Succeeded(
                    data->Talk([&] { return sensor->ReadCalibrationBlock(reference, alpha, coefficients); })))
                read.reference = reference;
            if (device != nullptr)
                data->Talk(
                    [&]
                    {
                        read.logging = device->HasActiveLog() != FALSE;
                        return S_OK;
                    });
            return read;
        });
    if (opening.reference)
    {
        const float reference = *opening.reference;
        if (reference == kRefTemp20 || reference == kRefTemp25)
        {
            ShowRefTempRadio(reference);
            ShowRefTemp(reference);
            m_standardRefTemp = reference;
            data->SetStandardRefTemp(reference);
        }
        else
        {
            // A reference the page cannot show: the sensor is set to 25 degrees, once the wizard's
            // opening is over (held like any write the window asks for meanwhile).
            ShowRefTempRadio(kRefTemp25);
            PostHeld([this] { OnRefTempClicked(kRefTemp25); });
        }
    }

    m_refTemp20.setEnabled(!opening.logging);
    m_refTemp25.setEnabled(!opening.logging);

    {
        const QSignalBlocker block(m_standard);
        m_standard.clear();
        for (const int32_t id : kListedSolutions)
        {
            const QString name = SolutionNameText(id);
            if (!name.isEmpty())
                m_standard.addItem(name, id);
        }
    }
    ExchangeSettings(FALSE);
    return TRUE;
}

BOOL CDlgWizPage_CalCondStep1::OnSetActive(UINT)
{
    CCalDataConductivity* data = Data();
    if (data == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("Conductivity Calibration - Select Method"));
    EnableBack(FALSE);
    EnableNext(FALSE);
    EnableFinish(FALSE);
    EnableCancel(TRUE);
    m_temperature.clear();
    m_conductivity.clear();
    const BOOL restore = m_restore.isChecked() ? TRUE : FALSE;
    data->SetRestoreDefaults(restore);
    EnableFinish(restore);
    QMetaObject::invokeMethod(
        this, [this] { OnStandardChanged(); }, Qt::QueuedConnection);
    return TRUE;
}

void CDlgWizPage_CalCondStep1::OnRestoreClicked()
{
    CCalDataConductivity* data = Data();
    if (data == nullptr)
        return;
    const BOOL restore = m_restore.isChecked() ? TRUE : FALSE;
    data->SetRestoreDefaults(restore);
    EnableBack(FALSE);
    // Cleared: Next at once (the next readings apply the rule; Next refuses a choice it cannot use).
    EnableNext(!restore);
    EnableFinish(restore);
}

void CDlgWizPage_CalCondStep1::OnRefTempClicked(float celsius)
{
    CCalDataConductivity* data = Data();
    NVSystem::ISensor_Conductivity* sensor = Sensor();
    if (data == nullptr)
        return;
    struct sOutcome
    {
        HRESULT hr = E_POINTER;
        std::optional<float> held; // after a refused write: what the sensor holds, when it can be read
    };
    const sOutcome outcome = ui::WaitForWork(
        [data, sensor, celsius]
        {
            sOutcome result;
            if (sensor == nullptr)
                return result;
            float reference = 0.0f;
            float alpha = 0.0f;
            CDynArray<float> coefficients;
            const auto read = [&] { return sensor->ReadCalibrationBlock(reference, alpha, coefficients); };
            result.hr = data->Talk(read);
            if (Succeeded(result.hr))
                result.hr =
                    data->Talk([&] { return sensor->WriteCalibrationBlock(celsius, alpha, coefficients); });
            // A refused write may have been refused part-way.
            if (Failed(result.hr) && Succeeded(data->Talk(read)))
                result.held = reference;
            return result;
        });
    const HRESULT hr = outcome.hr;
    if (Succeeded(hr))
    {
        TakeRefTemp(celsius);
        ShowRefTempRadio(celsius);
        return;
    }
    // The radios show what the sensor holds now, or, when it cannot be read, what they showed
    // before the click.
    if (outcome.held)
    {
        if (*outcome.held == kRefTemp20 || *outcome.held == kRefTemp25)
            TakeRefTemp(*outcome.held);
        ShowRefTempRadio(*outcome.held);
    }
    else
    {
        ShowRefTempRadio(m_shownRefTemp);
    }
    ErrorCodeBox(QStringLiteral("Failed to set the specific conductivity reference temperature."), hr);
}

void CDlgWizPage_CalCondStep1::TakeRefTemp(float celsius)
{
    m_standardRefTemp = celsius;
    if (CCalDataConductivity* data = Data())
    {
        data->SetStandardRefTemp(celsius);
        if (SelectedSolution(m_standard) == CAL_SOLUTION_USER)
            data->SetCompRefTemp(celsius);
    }
    ShowRefTemp(celsius);
}

void CDlgWizPage_CalCondStep1::ShowRefTempRadio(std::optional<float> celsius)
{
    const QSignalBlocker block20(m_refTemp20);
    const QSignalBlocker block25(m_refTemp25);
    // Exclusive radios cannot both be cleared otherwise.
    m_refTemp20.setAutoExclusive(false);
    m_refTemp25.setAutoExclusive(false);
    m_refTemp20.setChecked(celsius == kRefTemp20);
    m_refTemp25.setChecked(celsius == kRefTemp25);
    m_refTemp20.setAutoExclusive(true);
    m_refTemp25.setAutoExclusive(true);
    m_shownRefTemp = celsius == kRefTemp20 || celsius == kRefTemp25 ? celsius : std::nullopt;
}

void CDlgWizPage_CalCondStep1::OnStandardChanged()
{
    CCalDataConductivity* data = Data();
    if (data == nullptr || m_standard.currentIndex() < 0)
        return;
    if (SelectedSolution(m_standard) == CAL_SOLUTION_USER)
    {
        data->SetCompRefTemp(m_standardRefTemp);
        m_userValue.setEnabled(true);
        m_userValue.end(false);
        m_userValue.setFocus(Qt::OtherFocusReason);
    }
    else
    {
        data->SetCompRefTemp(kListedStandardRefTemp);
        m_userValue.setEnabled(false);
    }
    EnableNext(IsSelectionValid());
}

void CDlgWizPage_CalCondStep1::OnUserValueEdited()
{
    EnableNext(IsSelectionValid());
    m_userValue.setFocus(Qt::OtherFocusReason);
}

BOOL CDlgWizPage_CalCondStep1::IsSelectionValid() const
{
    if (m_standard.currentIndex() < 0 || m_restore.isChecked())
        return FALSE;
    return IsConductivityStandardValid(SelectedSolution(m_standard), ui::ToWideString(m_userValue.text()));
}

LRESULT CDlgWizPage_CalCondStep1::OnNewData()
{
    CCalDataConductivity* data = Data();
    if (data == nullptr)
        return -1;
    if (!IsShown())
        return 0;
    EnableNext(IsSelectionValid());
    float conductivity = 0.0f;
    float temperature = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
    if (!data->GetLatestReading(conductivity, quality, unit, temperature, quality, unit))
        return -1;
    m_temperature.setText(
        ui::ToQString(TemperatureFieldText(*data, FormatValue(kReadingDigits, temperature))));
    m_conductivity.setText(ui::ToQString(FormatValue(kReadingDigits, conductivity)));
    return 0;
}

BOOL CDlgWizPage_CalCondStep1::OnWizardNext()
{
    CCalDataConductivity* data = Data();
    if (data == nullptr || !IsSelectionValid())
        return FALSE;
    const int32_t id = SelectedSolution(m_standard);
    const bool typed = id == CAL_SOLUTION_USER;
    const QString standard = typed ? m_userValue.text().trimmed() : m_standard.currentText();
    data->SetCalMethod(kCellConstantMethod);
    data->SetUnitsText(CWideString(typed ? u"µS/cm" : u""));
    data->SetStandard(id, ui::ToWideString(standard));
    data->SetCompRefTemp(typed ? m_standardRefTemp : kListedStandardRefTemp);
    ExchangeSettings(TRUE);
    return TRUE;
}

BOOL CDlgWizPage_CalCondStep1::OnWizardFinish()
{
    if (!IsShown())
        return TRUE;
    CCalDataConductivity* data = Data();
    if (data == nullptr || !data->GetRestoreDefaults())
        return FALSE;
    NVSystem::ISensor_Conductivity* sensor = Sensor();
    NVSystem::CDeviceComm* device = Frame()->GetProbe().GetCalDevice();
    return ConfirmAndRestoreDefaults(
        QStringLiteral(
            "This will restore calibration defaults to\nthe conductivity sensor.\nDo you wish to continue?"),
        [sensor, device]
        {
            return sensor != nullptr && device != nullptr
                       ? device->RestoreSensorCalDefaults(sensor->GetConductivityConnection())
                       : E_POINTER;
        });
}

void CDlgWizPage_CalCondStep1::ExchangeSettings(BOOL bSave)
{
    if (Data() == nullptr)
        return;
    if (bSave)
    {
        SaveStandardChoice(kProfileEntries, m_standard, m_userValue);
        return;
    }
    LoadStandardChoice(kProfileEntries, m_standard, m_userValue);
    OnStandardChanged();
}
