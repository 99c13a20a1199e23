#include "calibration/wizard/DlgWizPageCalVOXStep2Baro.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include "calibration/data/CalDataVOX.h"
#include "calibration/wizard/DlgWizFrameCalVOX.h"
#include "foundation/NameLookups.h"
#include "ui/DialogUnits.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kMarginDu = 10;
constexpr int kIndentDu = 12;

QString Text(const CWideString& text)
{
    return ui::ToQString(static_cast<const char16_t*>(text));
}

void FillUnits(CNVComboBox& list, UnitId first, UnitId last)
{
    const QSignalBlocker block(list);
    list.clear();
    for (UnitId unit = first; unit <= last; ++unit)
        list.addItem(Text(GetUnitAbbreviation(unit)), unit);
}

void Select(CNVComboBox& list, int index)
{
    const QSignalBlocker block(list);
    list.setCurrentIndex(index);
}

// The entry cleans what is typed and derives the other quantity from it.
CCalValueEdit::Cleaner EntryCleaner(CBaroEntry& entry,
                                    const CWideString& (CBaroEntry::*type)(const char16_t*))
{
    return [&entry, type](const QString&, const QString& typed)
    {
        const std::u16string units = ui::ToU16String(typed);
        return Text((entry.*type)(units.c_str()));
    };
}

} // namespace

CDlgWizPage_CalVOXStep2_Baro::CDlgWizPage_CalVOXStep2_Baro()
    : CDlgWizPage_Cal(IDD_CAL_VOX_BARO), m_pressureMode(QStringLiteral("Enter Barometric Pressure"), this),
      m_pressureLabel(QStringLiteral("Barometric Pressure:"), this),
      m_pressure(this, EntryCleaner(m_entry, &CBaroEntry::TypePressure)),
      m_pressureUnitsLabel(QStringLiteral("Units:"), this), m_pressureUnits(this), m_pressureRange(this),
      m_elevationMode(QStringLiteral("Enter Elevation (Approx Barometric Pressure)"), this),
      m_elevationLabel(QStringLiteral("Elevation:"), this),
      m_elevation(this, EntryCleaner(m_entry, &CBaroEntry::TypeElevation)),
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

    connect(&m_pressureMode, &QRadioButton::clicked, this, [this] { OnModeClicked(BARO_MODE_PRESSURE); });
    connect(&m_elevationMode, &QRadioButton::clicked, this, [this] { OnModeClicked(BARO_MODE_ELEVATION); });
    for (CCalValueEdit* edit : {&m_pressure, &m_elevation})
        connect(edit, &CCalValueEdit::ValueEdited, this,
                [this, edit]
                {
                    ShowEntry();
                    edit->setFocus(Qt::OtherFocusReason);
                });
    connect(&m_pressureUnits, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnPressureUnitChanged(index); });
    connect(&m_elevationUnits, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnElevationUnitChanged(index); });
}

BOOL CDlgWizPage_CalVOXStep2_Baro::OnInitDialog()
{
    CDlgWizPage_Cal::OnInitDialog();
    FillUnits(m_pressureUnits, BARO_FIRST_PRESSURE_UNIT, BARO_LAST_PRESSURE_UNIT);
    FillUnits(m_elevationUnits, BARO_FIRST_ELEVATION_UNIT, BARO_LAST_ELEVATION_UNIT);
    m_entry.Open();
    Select(m_pressureUnits, m_entry.GetPressureUnitIndex());
    Select(m_elevationUnits, m_entry.GetElevationUnitIndex());
    ShowEntry();
    return TRUE;
}

void CDlgWizPage_CalVOXStep2_Baro::ShowEntry()
{
    const bool pressure = m_entry.GetMode() == BARO_MODE_PRESSURE;
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
    if (m_pressure.text() != Text(m_entry.GetPressureText()))
        m_pressure.SetValueText(Text(m_entry.GetPressureText()));
    if (m_elevation.text() != Text(m_entry.GetElevationText()))
        m_elevation.SetValueText(Text(m_entry.GetElevationText()));
    m_pressureRange.setText(Text(m_entry.GetPressureRangeText()));
    m_elevationRange.setText(Text(m_entry.GetElevationRangeText()));
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
    {
        m_livePressure = live;
    }
    // Before the worker's first reading the sensor tells it.
    else if (auto* frame = qobject_cast<CDlgWizFrame_CalVOX*>(Frame()); frame != nullptr)
    {
        if (NVSystem::ISensor_VoxPro* sensor = frame->GetSensor();
            sensor != nullptr &&
            Succeeded(ui::WaitForWork([sensor, &live] { return sensor->ReadLiveBaro(live); })))
            m_livePressure = live;
    }
    m_entry.SetPressureMbar(m_livePressure);
    m_entry.Open();
    ShowEntry();
    return TRUE;
}

void CDlgWizPage_CalVOXStep2_Baro::OnModeClicked(int mode)
{
    m_entry.SelectMode(mode);
    ShowEntry();
}

void CDlgWizPage_CalVOXStep2_Baro::OnPressureUnitChanged(int index)
{
    if (index < 0)
        return;
    m_entry.SelectPressureUnit(index);
    ClearPressureUnlessValid();
    ShowEntry();
}

void CDlgWizPage_CalVOXStep2_Baro::OnElevationUnitChanged(int index)
{
    if (index < 0)
        return;
    m_entry.SelectElevationUnit(index);
    ClearPressureUnlessValid();
    ShowEntry();
}

void CDlgWizPage_CalVOXStep2_Baro::ClearPressureUnlessValid()
{
    // A unit that leaves the entry invalid empties the pressure, whichever list was changed.
    if (!m_entry.IsValid())
        m_entry.ClearPressureText();
}

BOOL CDlgWizPage_CalVOXStep2_Baro::OnWizardNext()
{
    auto* data = CalDataAs<CCalDataVOX>();
    if (data == nullptr || !m_entry.IsValid())
        return FALSE;
    const float pressure = static_cast<float>(m_entry.GetPressureMbar());
    if (Failed(ui::WaitForWork([data, pressure] { return data->WriteLiveBaro(pressure); })))
    {
        MessageBox(QStringLiteral("Failed to update live baro reading."), platform::MB_ICONERROR);
        return FALSE;
    }
    // The calibration's pressure is the mean of what the sensor reads from now on.
    data->ClearBaroReadings();
    return TRUE;
}
