#include "calibration/wizard/DlgWizPageCalVOXStep2Baro.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include "app/connection/AppProfile.h"
#include "calibration/data/CalDataVOX.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "foundation/NameLookups.h"
#include "ui/DialogUnits.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kEntryDigits = 8;
constexpr int kMarginDu = 10;
constexpr int kIndentDu = 12;

QString Text(const CWideString& text)
{
    return ui::ToQString(static_cast<const char16_t*>(text));
}

void FillUnits(CNVComboBox& list, UnitId first, UnitId last, UnitId selected)
{
    const QSignalBlocker block(list);
    list.clear();
    for (UnitId unit = first; unit <= last; ++unit)
        list.addItem(Text(GetUnitAbbreviation(unit)), unit);
    list.setCurrentIndex(selected - first);
}

} // namespace

CDlgWizPage_CalVOXStep2_Baro::CDlgWizPage_CalVOXStep2_Baro()
    : CDlgWizPage_Cal(IDD_CAL_VOX_BARO), m_pressureMode(QStringLiteral("Enter Barometric Pressure"), this),
      m_pressureLabel(QStringLiteral("Barometric Pressure:"), this),
      m_pressure(this, FALSE, TRUE, kEntryDigits), m_pressureUnitsLabel(QStringLiteral("Units:"), this),
      m_pressureUnits(this), m_pressureRange(this),
      m_elevationMode(QStringLiteral("Enter Elevation (Approx Barometric Pressure)"), this),
      m_elevationLabel(QStringLiteral("Elevation:"), this), m_elevation(this, TRUE, TRUE, kEntryDigits),
      m_elevationUnitsLabel(QStringLiteral("Units:"), this), m_elevationUnits(this), m_elevationRange(this)
{
    SetDlgCtrlID(&m_pressureMode, 1260);
    SetDlgCtrlID(&m_pressure, 1264);
    SetDlgCtrlID(&m_pressureUnits, 1267);
    SetDlgCtrlID(&m_pressureRange, 1269);
    SetDlgCtrlID(&m_elevationMode, 1261);
    SetDlgCtrlID(&m_elevation, 1186);
    SetDlgCtrlID(&m_elevationUnits, 1268);
    SetDlgCtrlID(&m_elevationRange, 1270);

    const QRect margin = DialogUnitsToPixels(this, 0, 0, kMarginDu, kIndentDu);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(margin.width(), margin.width(), margin.width(), margin.width());
    layout->setColumnMinimumWidth(0, margin.height());
    int row = 0;
    const auto addEntry = [&](CNVRadioButton& option, QLabel& label, CCalValueEdit& edit, QLabel& unitsLabel,
                              CNVComboBox& units, QLabel& range)
    {
        layout->addWidget(&option, row++, 0, 1, 5);
        layout->addWidget(&label, row, 1);
        layout->addWidget(&edit, row, 2);
        layout->addWidget(&unitsLabel, row, 3, Qt::AlignRight);
        layout->addWidget(&units, row++, 4);
        layout->addWidget(&range, row++, 2, 1, 3);
    };
    addEntry(m_pressureMode, m_pressureLabel, m_pressure, m_pressureUnitsLabel, m_pressureUnits,
             m_pressureRange);
    layout->setRowMinimumHeight(row++, margin.height());
    addEntry(m_elevationMode, m_elevationLabel, m_elevation, m_elevationUnitsLabel, m_elevationUnits,
             m_elevationRange);
    layout->setRowStretch(row, 1);
    layout->setColumnStretch(5, 1);

    connect(&m_pressureMode, &QRadioButton::clicked, this, [this] { OnModeClicked(true); });
    connect(&m_elevationMode, &QRadioButton::clicked, this, [this] { OnModeClicked(false); });
    connect(&m_pressure, &CCalValueEdit::ValueEdited, this, [this] { OnPressureEdited(); });
    connect(&m_elevation, &CCalValueEdit::ValueEdited, this, [this] { OnElevationEdited(); });
    connect(&m_pressureUnits, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnPressureUnitChanged(index); });
    connect(&m_elevationUnits, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnElevationUnitChanged(index); });
}

BOOL CDlgWizPage_CalVOXStep2_Baro::OnInitDialog()
{
    CDlgWizPage_Cal::OnInitDialog();
    m_entry = CBaroEntry(static_cast<UnitId>(GetProfileInt(kSensorsProfileSection, u"LastBaroUnitsId",
                                                           CBaroEntry::kDefaultPressureUnit)),
                         static_cast<UnitId>(GetProfileInt(kSensorsProfileSection, u"LastElevUnitsId",
                                                           CBaroEntry::kDefaultElevationUnit)),
                         GetProfileInt(kSensorsProfileSection, u"UseBaroType", 1) != 0);
    FillUnits(m_pressureUnits, CBaroEntry::kFirstPressureUnit, CBaroEntry::kLastPressureUnit,
              m_entry.PressureUnit());
    FillUnits(m_elevationUnits, CBaroEntry::kFirstElevationUnit, CBaroEntry::kLastElevationUnit,
              m_entry.ElevationUnit());
    WriteProfileInt(kSensorsProfileSection, u"LastBaroUnitsId", m_entry.PressureUnit());
    WriteProfileInt(kSensorsProfileSection, u"LastElevUnitsId", m_entry.ElevationUnit());
    ShowMode();
    return TRUE;
}

void CDlgWizPage_CalVOXStep2_Baro::ShowMode()
{
    const bool pressure = m_entry.IsPressureMode();
    {
        const QSignalBlocker blockPressure(m_pressureMode);
        const QSignalBlocker blockElevation(m_elevationMode);
        (pressure ? m_pressureMode : m_elevationMode).setChecked(true);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{
             &m_pressureLabel, &m_pressure, &m_pressureUnitsLabel, &m_pressureUnits, &m_pressureRange})
        control->setEnabled(pressure);
    for (QWidget* control : std::initializer_list<QWidget*>{
             &m_elevationLabel, &m_elevation, &m_elevationUnitsLabel, &m_elevationUnits, &m_elevationRange})
        control->setEnabled(!pressure);
}

void CDlgWizPage_CalVOXStep2_Baro::ShowEntry()
{
    m_pressure.SetValueText(Text(m_entry.PressureText()));
    m_elevation.SetValueText(Text(m_entry.ElevationText()));
    m_pressureRange.setText(Text(m_entry.PressureRangeText()));
    m_elevationRange.setText(Text(m_entry.ElevationRangeText()));
}

void CDlgWizPage_CalVOXStep2_Baro::Validate()
{
    const BOOL valid = m_entry.IsValid();
    EnableNext(valid);
    if (valid)
        EnableBackButton();
    else
        EnableBack(FALSE);
}

BOOL CDlgWizPage_CalVOXStep2_Baro::OnSetActive(UINT)
{
    auto* data = CalDataAs<CCalDataVOX>();
    if (data == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("DO Calibration - Configure Barometric Pressure"));
    float live = 0.0f;
    if (data->BaroReadings().GetLast(1, &live, nullptr, nullptr) >= 0)
        m_livePressure = live;
    // Before the worker's first reading the sensor tells it.
    else if (auto* frame = qobject_cast<CDlgWizFrame_CalVOX*>(Frame());
             frame != nullptr && frame->GetSensor() != nullptr &&
             Succeeded(frame->GetSensor()->ReadLiveBaro(live)))
        m_livePressure = live;
    m_entry.Start(m_livePressure);
    ShowEntry();
    EnableNext(m_entry.IsValid());
    return TRUE;
}

void CDlgWizPage_CalVOXStep2_Baro::OnModeClicked(bool pressure)
{
    m_entry.SetPressureMode(pressure);
    WriteProfileInt(kSensorsProfileSection, u"UseBaroType", pressure ? 1 : 0);
    ShowMode();
    ShowEntry();
    Validate();
}

void CDlgWizPage_CalVOXStep2_Baro::OnPressureEdited()
{
    m_entry.EnterPressure(ui::ToWideString(m_pressure.text().trimmed()));
    m_elevation.SetValueText(Text(m_entry.ElevationText()));
    Validate();
    m_pressure.setFocus(Qt::OtherFocusReason);
}

void CDlgWizPage_CalVOXStep2_Baro::OnElevationEdited()
{
    m_entry.EnterElevation(ui::ToWideString(m_elevation.text().trimmed()));
    m_pressure.SetValueText(Text(m_entry.PressureText()));
    Validate();
    m_elevation.setFocus(Qt::OtherFocusReason);
}

void CDlgWizPage_CalVOXStep2_Baro::OnPressureUnitChanged(int index)
{
    if (index < 0)
        return;
    m_entry.ChangePressureUnit(static_cast<UnitId>(CBaroEntry::kFirstPressureUnit + index));
    ShowEntry();
    Validate();
    WriteProfileInt(kSensorsProfileSection, u"LastBaroUnitsId", m_entry.PressureUnit());
}

void CDlgWizPage_CalVOXStep2_Baro::OnElevationUnitChanged(int index)
{
    if (index < 0)
        return;
    m_entry.ChangeElevationUnit(static_cast<UnitId>(CBaroEntry::kFirstElevationUnit + index));
    ShowEntry();
    Validate();
    WriteProfileInt(kSensorsProfileSection, u"LastElevUnitsId", m_entry.ElevationUnit());
}

BOOL CDlgWizPage_CalVOXStep2_Baro::OnWizardNext()
{
    auto* frame = qobject_cast<CDlgWizFrame_CalVOX*>(Frame());
    auto* data = CalDataAs<CCalDataVOX>();
    if (frame == nullptr || data == nullptr || !m_entry.IsValid())
        return FALSE;
    NVSystem::ISensor_VoxPro* sensor = frame->GetSensor();
    const HRESULT hr = sensor != nullptr ? sensor->SetLiveBaro(m_entry.CalibrationPressureMbar()) : E_POINTER;
    if (Failed(hr))
    {
        MessageBox(QStringLiteral("Failed to update live baro reading."), platform::MB_ICONERROR);
        return FALSE;
    }
    // The calibration's pressure is the mean of what the sensor reads from now on.
    data->ClearBaroReadings();
    return TRUE;
}
