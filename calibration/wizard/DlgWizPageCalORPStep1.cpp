#include "calibration/wizard/DlgWizPageCalORPStep1.h"

#include <QFormLayout>
#include <QLabel>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "calibration/data/CalDataPHORP.h"
#include "calibration/wizard/CalPageRules.h"
#include "calibration/wizard/CalStandardChoice.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"

namespace
{

constexpr UINT kValueDigits = 10;
constexpr UINT kReadingDigits = 6;
const sStandardChoiceEntries kProfileEntries{kORPProfileSection, u"LastSolution", u"LastValue",
                                             CAL_SOLUTION_ZOBELL};

} // namespace

CDlgWizPage_CalORPStep1::CDlgWizPage_CalORPStep1()
    : CDlgWizPage_Cal(IDD_CAL_ORP_STEP1),
      m_standardGroup(QStringLiteral("Select Calibration Standards:"), this), m_standard(&m_standardGroup),
      m_userValue(&m_standardGroup, TRUE, TRUE, kValueDigits),
      m_readingsGroup(QStringLiteral("Current Readings"), this), m_temperature(&m_readingsGroup),
      m_orp(&m_readingsGroup)
{
    SetDlgCtrlID(&m_standard, IDC_CAL_ORP_STANDARD);
    SetDlgCtrlID(&m_userValue, 1151);
    for (CNVEdit* reading : {&m_temperature, &m_orp})
    {
        reading->setReadOnly(true);
        reading->setFocusPolicy(Qt::NoFocus);
    }
    auto* page = new QVBoxLayout(this);
    QFormLayout* standard = NewForm(&m_standardGroup);
    standard->addRow(new QLabel(QStringLiteral("ORP calibration standard:"), &m_standardGroup), &m_standard);
    standard->addRow(new QLabel(QStringLiteral("Enter Value:"), &m_standardGroup), &m_userValue);
    page->addWidget(&m_standardGroup);
    QFormLayout* readings = NewForm(&m_readingsGroup);
    readings->addRow(new QLabel(QStringLiteral("Temperature (C):"), &m_readingsGroup), &m_temperature);
    readings->addRow(new QLabel(QStringLiteral("ORP (mV):"), &m_readingsGroup), &m_orp);
    page->addWidget(&m_readingsGroup);
    page->addStretch();
    for (QWidget* field : std::initializer_list<QWidget*>{&m_standard, &m_userValue, &m_temperature, &m_orp})
        SetFieldWidth(*field);

    connect(&m_standard, &QComboBox::currentIndexChanged, this, [this] { OnStandardChanged(); });
    connect(&m_userValue, &CCalValueEdit::ValueEdited, this,
            [this]
            {
                EnableNext(IsSelectionValid());
                m_userValue.setFocus(Qt::OtherFocusReason);
            });
}

CCalDataPHORP* CDlgWizPage_CalORPStep1::Data() const
{
    return CalDataAs<CCalDataPHORP>();
}

BOOL CDlgWizPage_CalORPStep1::OnInitDialog()
{
    CDlgWizPage_Cal::OnInitDialog();
    if (Data() != nullptr)
    {
        const QSignalBlocker block(m_standard);
        m_standard.clear();
        for (const int32_t id : {CAL_SOLUTION_ZOBELL, CAL_SOLUTION_USER})
            if (const QString name = SolutionNameText(id); !name.isEmpty())
                m_standard.addItem(name, id);
    }
    ExchangeSettings(FALSE);
    return TRUE;
}

BOOL CDlgWizPage_CalORPStep1::OnSetActive(UINT)
{
    if (Data() == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("ORP Calibration - Select Method"));
    EnableBack(FALSE);
    EnableNext(FALSE);
    EnableCancel(TRUE);
    EnableFinish(FALSE);
    m_temperature.clear();
    m_orp.clear();
    QMetaObject::invokeMethod(
        this, [this] { OnStandardChanged(); }, Qt::QueuedConnection);
    return TRUE;
}

void CDlgWizPage_CalORPStep1::OnStandardChanged()
{
    if (m_standard.currentIndex() < 0)
        return;
    if (SelectedSolution(m_standard) == CAL_SOLUTION_USER)
    {
        m_userValue.setEnabled(true);
        m_userValue.setFocus(Qt::OtherFocusReason);
    }
    else
    {
        m_userValue.SetValueText(QString());
        m_userValue.setEnabled(false);
    }
    EnableNext(IsSelectionValid());
}

BOOL CDlgWizPage_CalORPStep1::IsSelectionValid() const
{
    if (m_standard.currentIndex() < 0)
        return FALSE;
    return IsOrpStandardValid(SelectedSolution(m_standard), ui::ToWideString(m_userValue.text()));
}

LRESULT CDlgWizPage_CalORPStep1::OnNewData()
{
    CCalDataPHORP* data = Data();
    if (data == nullptr)
        return -1;
    float orp = 0.0f;
    float temperature = 0.0f;
    if (data->ORPLiveReadings().GetLast(1, &orp, nullptr, nullptr) < 0 ||
        data->ORPLiveReadings().GetLast(0, &temperature, nullptr, nullptr) < 0)
        return -1;
    m_orp.setText(ui::ToQString(static_cast<const char16_t*>(FormatValue(kReadingDigits, orp))));
    m_temperature.setText(
        ui::ToQString(TemperatureFieldText(*data, FormatValue(kReadingDigits, temperature))));
    return 0;
}

BOOL CDlgWizPage_CalORPStep1::OnWizardNext()
{
    CCalDataPHORP* data = Data();
    if (data == nullptr || !IsSelectionValid())
        return FALSE;
    const int32_t id = SelectedSolution(m_standard);
    const bool typed = id == CAL_SOLUTION_USER;
    data->SetPointCount(1);
    data->SetUnitsText(CWideString(typed ? u"mV" : u""));
    const QString point = typed ? m_userValue.text().trimmed() : m_standard.currentText();
    data->SetPointValueTexts(ui::ToWideString(point), CWideString(), CWideString());
    data->SetPointSolution(0, id);
    data->SetPointSolution(1, CAL_SOLUTION_NONE);
    data->SetPointSolution(2, CAL_SOLUTION_NONE);
    ExchangeSettings(TRUE);
    return TRUE;
}

void CDlgWizPage_CalORPStep1::ExchangeSettings(BOOL bSave)
{
    if (bSave)
    {
        SaveStandardChoice(kProfileEntries, m_standard, m_userValue);
        return;
    }
    LoadStandardChoice(kProfileEntries, m_standard, m_userValue);
    OnStandardChanged();
}
