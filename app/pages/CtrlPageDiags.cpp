#include "app/pages/CtrlPageDiags.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kEditWidth = 110;
constexpr int kMultiLineRows = 2;

using F = CCtrlPage_DiagsBase::sField;
constexpr UINT IDC_DIAG_CORE_SERIAL_LABEL = 1065;

} // namespace

QWidget* CCtrlPage_DiagsBase::FindControl(UINT id) const
{
    // The fields sit in group boxes and columns: any descendant of the page counts.
    for (QWidget* control : findChildren<QWidget*>())
        if (GetDlgCtrlID(control) == id)
            return control;
    return nullptr;
}

CCtrlPage_DiagsBase::CCtrlPage_DiagsBase(UINT nIDTemplate, std::vector<sField> fields)
    : CNVDialog(nIDTemplate), m_Fields(std::move(fields))
{
    SetCenterOnParent(FALSE);
}

void CCtrlPage_DiagsBase::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
    {
        // Ignored, the key travels on to the window that holds the page.
        event->ignore();
        return;
    }
    CNVDialog::keyPressEvent(event);
}

BOOL CCtrlPage_DiagsBase::OnInitDialog()
{
    CNVDialog::OnInitDialog();
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(12, 12, 12, 12);
    columns->setSpacing(32);
    auto* column = new QVBoxLayout();
    columns->addLayout(column);
    QFormLayout* form = nullptr;
    for (const sField& field : m_Fields)
    {
        if (field.id == kColumnBreak)
        {
            column->addStretch();
            column = new QVBoxLayout();
            columns->addLayout(column);
            form = nullptr;
            continue;
        }
        if (field.id == kGroup)
        {
            auto* group = new QGroupBox(ui::ToQString(field.label), this);
            form = new QFormLayout(group);
            column->addWidget(group);
            continue;
        }
        if (form == nullptr)
        {
            auto* holder = new QWidget(this);
            form = new QFormLayout(holder);
            form->setContentsMargins(0, 0, 0, 0);
            column->addWidget(holder);
        }
        auto* label = new QLabel(ui::ToQString(field.label), this);
        if (field.labelId != 0)
            SetDlgCtrlID(label, field.labelId);
        QWidget* edit = nullptr;
        if (field.multiLine)
        {
            auto* text = new QPlainTextEdit(this);
            text->setReadOnly(true);
            text->setFixedHeight(
                text->fontMetrics().lineSpacing() * kMultiLineRows +
                2 * (text->frameWidth() + static_cast<int>(text->document()->documentMargin())));
            edit = text;
        }
        else
        {
            auto* line = new QLineEdit(this);
            line->setReadOnly(true);
            edit = line;
        }
        edit->setFixedWidth(kEditWidth + (field.multiLine ? kEditWidth / 3 : 0));
        SetDlgCtrlID(edit, field.id);
        form->addRow(label, edit);
    }
    column->addStretch();
    columns->addStretch();
    return TRUE;
}

BOOL CCtrlPage_DiagsBase::Fill(CProbeConnection& connection)
{
    if (m_bFilled)
        return TRUE;
    const std::optional<DiagnosticTexts> texts =
        ui::WaitForWork([this, &connection] { return Read(connection); });
    if (!texts)
        return FALSE;
    Show(*texts);
    m_bFilled = TRUE;
    return TRUE;
}

void CCtrlPage_DiagsBase::Show(const DiagnosticTexts& texts)
{
    for (const auto& [id, text] : texts)
    {
        QWidget* control = FindControl(id);
        if (auto* line = qobject_cast<QLineEdit*>(control))
            line->setText(ui::ToQString(text));
        else if (auto* multi = qobject_cast<QPlainTextEdit*>(control))
            multi->setPlainText(ui::ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        else if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(ui::ToQString(text));
    }
}

QString CCtrlPage_DiagsBase::GetFieldText(UINT id) const
{
    QWidget* control = FindControl(id);
    if (auto* line = qobject_cast<QLineEdit*>(control))
        return line->text();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(control))
        return multi->toPlainText();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    return QString();
}

// ---- Optical DO ----

CCtrlPage_DiagsVOX::CCtrlPage_DiagsVOX()
    : CCtrlPage_DiagsBase(
          147, {F{IDC_DIAG_DEFAULT_BARO, u"Default Barometric Pressure (mBar):"},
                F{IDC_DIAG_LIVE_BARO, u"Live Barometric Pressure (mBar):"},
                F{IDC_DIAG_DEFAULT_SALINITY, u"Default Salinity Value (PSU):"},
                F{IDC_DIAG_LIVE_SALINITY, u"Live Salinity Value (PSU):"},
                F{IDC_DIAG_CAL_SLOPE, u"Calibration Slope:"}, F{IDC_DIAG_CAL_OFFSET, u"Calibration Offset:"},
                F{IDC_DIAG_CAP_STATUS, u"VOX Sensor Cap status:", 0, true}, F{kColumnBreak, u""},
                F{IDC_DIAG_CAL_DO100, u"Cal 100% DO (mg/l):"}, F{IDC_DIAG_CAL_TEMP100, u"Cal 100% Temp (C):"},
                F{IDC_DIAG_CAL_SALINITY100, u"Cal 100% Salinity (PSU):"},
                F{IDC_DIAG_CAL_BARO100, u"Cal 100% Baro (mBar):"}, F{IDC_DIAG_CAL_DO0, u"Cal 0% DO (mg/l):"},
                F{IDC_DIAG_CAL_TEMP0, u"Cal 0% Temp (C):"},
                F{IDC_DIAG_CORE_SERIAL, u"VOX Core Serial Number:", IDC_DIAG_CORE_SERIAL_LABEL}})
{
}

std::optional<DiagnosticTexts> CCtrlPage_DiagsVOX::Read(CProbeConnection& connection)
{
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    if (Failed(connection.GetVoxProSensor(sensor)) || sensor == nullptr)
        return std::nullopt;
    return ReadVoxDiagnostics(*sensor, connection);
}

void CCtrlPage_DiagsVOX::Show(const DiagnosticTexts& texts)
{
    CCtrlPage_DiagsBase::Show(texts);
    const bool withSerial = texts.contains(IDC_DIAG_CORE_SERIAL) && !texts.at(IDC_DIAG_CORE_SERIAL).IsEmpty();
    for (const UINT id : {IDC_DIAG_CORE_SERIAL_LABEL, IDC_DIAG_CORE_SERIAL})
        if (QWidget* control = FindControl(id))
            control->setVisible(withSerial);
}

// ---- Conductivity ----

CCtrlPage_DiagsCond::CCtrlPage_DiagsCond()
    : CCtrlPage_DiagsBase(148, {F{IDC_DIAG_CELL_OFFSET, u"Cell Offset:"},
                                F{IDC_DIAG_CELL_CONSTANT, u"Cell Constant:"},
                                F{IDC_DIAG_TDS_FACTOR, u"TDS Conversion (ppm):"},
                                F{IDC_DIAG_REF_TEMPERATURE, u"Reference Temperature (C):"},
                                F{IDC_DIAG_ALPHA, u"Alpha Coefficient \u03B1:"}, F{kColumnBreak, u""},
                                F{IDC_DIAG_BETA[0], u"Beta Coefficient \u03B20:"},
                                F{IDC_DIAG_BETA[1], u"Beta Coefficient \u03B21:"},
                                F{IDC_DIAG_BETA[2], u"Beta Coefficient \u03B22:"},
                                F{IDC_DIAG_BETA[3], u"Beta Coefficient \u03B23:"},
                                F{IDC_DIAG_BETA[4], u"Beta Coefficient \u03B24:"},
                                F{IDC_DIAG_BETA[5], u"Beta Coefficient \u03B25:"},
                                F{IDC_DIAG_BETA[6], u"Beta Coefficient \u03B26:"},
                                F{IDC_DIAG_BETA[7], u"Beta Coefficient \u03B27:"}})
{
}

std::optional<DiagnosticTexts> CCtrlPage_DiagsCond::Read(CProbeConnection& connection)
{
    NVSystem::ISensor_Conductivity* sensor = nullptr;
    if (Failed(connection.GetConductivitySensor(sensor)) || sensor == nullptr)
        return std::nullopt;
    return ReadConductivityDiagnostics(*sensor);
}

// ---- Level ----

CCtrlPage_DiagsLevel::CCtrlPage_DiagsLevel()
    : CCtrlPage_DiagsBase(
          149, {F{IDC_DIAG_SPECIFIC_GRAVITY, u"Specific Gravity:"},
                F{IDC_DIAG_PRESSURE_OFFSET, u"Pressure Offset ():", IDC_DIAG_PRESSURE_OFFSET_LABEL},
                F{IDC_DIAG_LEVEL_REFERENCE, u"Level Reference ():", IDC_DIAG_LEVEL_REFERENCE_LABEL},
                F{IDC_DIAG_PRESSURE_REFERENCE, u"Pressure Reference ():", IDC_DIAG_PRESSURE_REFERENCE_LABEL}})
{
}

std::optional<DiagnosticTexts> CCtrlPage_DiagsLevel::Read(CProbeConnection& connection)
{
    NVSystem::ISensor_PressureTempLevel* sensor = nullptr;
    if (Failed(connection.GetLevelSensor(sensor)) || sensor == nullptr)
        return std::nullopt;
    return ReadLevelDiagnostics(*sensor);
}

// ---- pH and ORP ----

CCtrlPage_DiagsPHORP::CCtrlPage_DiagsPHORP()
    : CCtrlPage_DiagsBase(150, {F{kGroup, u"pH"},
                                F{IDC_DIAG_PH_POINT_COUNT, u"Number of calibration points:"},
                                F{IDC_DIAG_PH_POINT_PH[0], u"Point 1 pH:"},
                                F{IDC_DIAG_PH_POINT_MV[0], u"Point 1 mV:"},
                                F{IDC_DIAG_PH_POINT_TEMP[0], u"Point 1 Temperature (C):"},
                                F{IDC_DIAG_PH_POINT_PH[1], u"Point 2 pH:"},
                                F{IDC_DIAG_PH_POINT_MV[1], u"Point 2 mV:"},
                                F{IDC_DIAG_PH_POINT_TEMP[1], u"Point 2 Temperature (C):"},
                                F{IDC_DIAG_PH_POINT_PH[2], u"Point 3 pH:"},
                                F{IDC_DIAG_PH_POINT_MV[2], u"Point 3 mV:"},
                                F{IDC_DIAG_PH_POINT_TEMP[2], u"Point 3 Temperature (C):"},
                                F{kColumnBreak, u""},
                                F{kGroup, u"pH segments"},
                                F{IDC_DIAG_PH_SLOPE[0], u"Slope, m1 (pH/mV):"},
                                F{IDC_DIAG_PH_OFFSET[0], u"Offset, b1 (pH):"},
                                F{IDC_DIAG_PH_SLOPE[1], u"Slope, m2 (pH/mV):"},
                                F{IDC_DIAG_PH_OFFSET[1], u"Offset, b2 (pH):"},
                                F{kGroup, u"ORP"},
                                F{IDC_DIAG_ORP_SOLUTION, u"ORP solution:"},
                                F{IDC_DIAG_ORP_SOLUTION_MV, u"mV value of solution:"},
                                F{IDC_DIAG_ORP_RESPONSE_MV, u"mV response of solution:"},
                                F{IDC_DIAG_ORP_TEMPERATURE, u"Temperature of solution (C):"},
                                F{IDC_DIAG_ORP_SLOPE, u"Slope (mV/mV):"},
                                F{IDC_DIAG_ORP_OFFSET, u"Offset (mV):"}})
{
}

std::optional<DiagnosticTexts> CCtrlPage_DiagsPHORP::Read(CProbeConnection& connection)
{
    NVSystem::ISensor_pHORP* sensor = nullptr;
    if (Failed(connection.GetPHORPSensor(sensor)) || sensor == nullptr)
        return std::nullopt;
    return ReadPHORPDiagnostics(*sensor);
}
