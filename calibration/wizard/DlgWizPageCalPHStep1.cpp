#include "calibration/wizard/DlgWizPageCalPHStep1.h"

#include <QFormLayout>
#include <QGridLayout>
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
constexpr int32_t kStandardBuffers[] = {CAL_SOLUTION_PH4, CAL_SOLUTION_PH7, CAL_SOLUTION_PH10};
const sStandardChoiceEntries kProfileEntries[] = {
    {kPHProfileSection, u"LastSolution1", u"LastValue1", CAL_SOLUTION_PH7},
    {kPHProfileSection, u"LastSolution2", u"LastValue2", CAL_SOLUTION_NONE},
    {kPHProfileSection, u"LastSolution3", u"LastValue3", CAL_SOLUTION_NONE},
};

QString Formatted(double value)
{
    return FormattedValue(kReadingDigits, value);
}

} // namespace

CDlgWizPage_CalPHStep1::Row::Row(QWidget* parent, const QString& text)
    : label(text, parent), list(parent), valueLabel(QStringLiteral("Enter Value:"), parent),
      value(parent, FALSE, TRUE, kValueDigits)
{
}

CDlgWizPage_CalPHStep1::CDlgWizPage_CalPHStep1()
    : CDlgWizPage_Cal(IDD_CAL_PH_STEP1),
      m_standardsGroup(QStringLiteral("Select Calibration Standards:"), this),
      m_rows{Row(&m_standardsGroup, QStringLiteral("pH value of solution 1:")),
             Row(&m_standardsGroup, QStringLiteral("pH value of solution 2:")),
             Row(&m_standardsGroup, QStringLiteral("pH value of solution 3:"))},
      m_readingsGroup(QStringLiteral("Current Readings"), this), m_temperature(&m_readingsGroup),
      m_pH(&m_readingsGroup), m_pHmV(&m_readingsGroup)
{
    auto* page = new QVBoxLayout(this);
    auto* standards = new QGridLayout(&m_standardsGroup);
    for (int row = 0; row < kRows; ++row)
    {
        Row& r = m_rows[static_cast<size_t>(row)];
        SetDlgCtrlID(&r.list, static_cast<UINT>(1168 + row));
        SetDlgCtrlID(&r.value, static_cast<UINT>(1165 + row));
        standards->addWidget(&r.label, 2 * row, 0);
        standards->addWidget(&r.valueLabel, 2 * row, 1);
        standards->addWidget(&r.list, 2 * row + 1, 0);
        standards->addWidget(&r.value, 2 * row + 1, 1);
        SetFieldWidth(r.list);
        SetFieldWidth(r.value);
        connect(&r.list, &QComboBox::currentIndexChanged, this, [this, row] { OnSolutionChanged(row); });
        connect(&r.value, &CCalValueEdit::ValueEdited, this,
                [this, row]
                {
                    ApplyNextRule();
                    m_rows[static_cast<size_t>(row)].value.setFocus(Qt::OtherFocusReason);
                });
    }
    standards->setColumnStretch(2, 1);
    page->addWidget(&m_standardsGroup);
    QFormLayout* readings = NewForm(&m_readingsGroup);
    readings->addRow(new QLabel(QStringLiteral("Temperature (C):"), &m_readingsGroup), &m_temperature);
    readings->addRow(new QLabel(QStringLiteral("pH (pH):"), &m_readingsGroup), &m_pH);
    readings->addRow(new QLabel(QStringLiteral("pH (mV):"), &m_readingsGroup), &m_pHmV);
    page->addWidget(&m_readingsGroup);
    page->addStretch();
    for (CNVEdit* reading : {&m_temperature, &m_pH, &m_pHmV})
    {
        SetFieldWidth(*reading);
        reading->setReadOnly(true);
        reading->setFocusPolicy(Qt::NoFocus);
    }
    m_rows[1].value.setEnabled(false);
    m_rows[2].list.setEnabled(false);
    m_rows[2].value.setEnabled(false);
}

CCalDataPHORP* CDlgWizPage_CalPHStep1::Data() const
{
    return CalDataAs<CCalDataPHORP>();
}

BOOL CDlgWizPage_CalPHStep1::OnInitDialog()
{
    CDlgWizPage_Cal::OnInitDialog();
    FillSolutionLists();
    ExchangeSettings(FALSE);
    return TRUE;
}

void CDlgWizPage_CalPHStep1::FillSolutionLists()
{
    if (Data() == nullptr)
        return;
    for (int row = 0; row < kRows; ++row)
    {
        CNVComboBox& list = m_rows[static_cast<size_t>(row)].list;
        const QSignalBlocker block(list);
        list.clear();
        for (const int32_t id : kStandardBuffers)
            if (const QString name = SolutionNameText(id); !name.isEmpty())
                list.addItem(name, id);
        list.addItem(SolutionNameText(CAL_SOLUTION_USER), CAL_SOLUTION_USER);
        // The first buffer is always calibrated.
        if (row > 0)
            list.addItem(SolutionNameText(CAL_SOLUTION_NONE), CAL_SOLUTION_NONE);
    }
}

int32_t CDlgWizPage_CalPHStep1::SelectedId(int row) const
{
    return SelectedSolution(m_rows[static_cast<size_t>(row)].list);
}

PhBufferRows CDlgWizPage_CalPHStep1::Choice() const
{
    PhBufferRows rows;
    for (int row = 0; row < kRows; ++row)
    {
        rows[static_cast<size_t>(row)].solution = SelectedId(row);
        rows[static_cast<size_t>(row)].value =
            ui::ToWideString(m_rows[static_cast<size_t>(row)].value.text());
    }
    return rows;
}

BOOL CDlgWizPage_CalPHStep1::OnSetActive(UINT)
{
    if (Data() == nullptr)
        return FALSE;
    SetTitle(QStringLiteral("pH Calibration - Select Method"));
    EnableBack(FALSE);
    EnableNext(FALSE);
    EnableCancel(TRUE);
    EnableFinish(FALSE);
    m_pH.clear();
    m_temperature.clear();
    QMetaObject::invokeMethod(
        this, [this] { OnSolutionChanged(0); }, Qt::QueuedConnection);
    return TRUE;
}

void CDlgWizPage_CalPHStep1::OnSolutionChanged(int row)
{
    const int32_t id = SelectedId(row);
    if (id < 0)
        return;
    Row& current = m_rows[static_cast<size_t>(row)];
    const bool typed = id == CAL_SOLUTION_USER;
    if (!typed)
        current.value.SetValueText(QString());
    current.value.setEnabled(typed);
    if (row == 1)
    {
        Row& third = m_rows[2];
        if (id == CAL_SOLUTION_NONE)
        {
            // Without a second buffer there is no third.
            const QSignalBlocker block(third.list);
            third.list.setCurrentIndex(third.list.count() - 1);
            third.list.setEnabled(false);
            third.value.SetValueText(QString());
            third.value.setEnabled(false);
        }
        else
        {
            third.list.setEnabled(true);
        }
    }
    if (typed)
        current.value.setFocus(Qt::OtherFocusReason);
    ApplyNextRule();
}

void CDlgWizPage_CalPHStep1::ApplyNextRule()
{
    EnableNext(IsPhBufferChoiceValid(Choice()));
}

LRESULT CDlgWizPage_CalPHStep1::OnNewData()
{
    CCalDataPHORP* data = Data();
    if (data == nullptr)
        return -1;
    float pH = 0.0f;
    float millivolts = 0.0f;
    float temperature = 0.0f;
    if (data->PHLiveReadings().GetLast(1, &pH, nullptr, nullptr) < 0 ||
        data->PHmVLiveReadings().GetLast(1, &millivolts, nullptr, nullptr) < 0 ||
        data->PHmVLiveReadings().GetLast(0, &temperature, nullptr, nullptr) < 0)
        return -1;
    m_pH.setText(Formatted(pH));
    m_pHmV.setText(Formatted(millivolts));
    m_temperature.setText(
        ui::ToQString(TemperatureFieldText(*data, ui::ToWideString(Formatted(temperature)))));
    return 0;
}

BOOL CDlgWizPage_CalPHStep1::OnWizardNext()
{
    CCalDataPHORP* data = Data();
    const PhBufferRows choice = Choice();
    if (data == nullptr || !IsPhBufferChoiceValid(choice))
        return FALSE;
    std::array<CWideString, kRows> texts;
    for (int row = 0; row < kRows; ++row)
    {
        const Row& r = m_rows[static_cast<size_t>(row)];
        const int32_t id = SelectedId(row);
        if (id >= CAL_SOLUTION_PH4 && id <= CAL_SOLUTION_PH10)
            texts[static_cast<size_t>(row)] = ui::ToWideString(r.list.currentText());
        else if (id == CAL_SOLUTION_USER || id == CAL_SOLUTION_NONE)
            texts[static_cast<size_t>(row)] = ui::ToWideString(r.value.text().trimmed());
        else
            return FALSE;
    }
    data->SetPointCount(PhPointCount(choice));
    data->SetPointValueTexts(texts[0], texts[1], texts[2]);
    for (int row = 0; row < kRows; ++row)
        data->SetPointSolution(row, SelectedId(row));
    ExchangeSettings(TRUE);
    return TRUE;
}

void CDlgWizPage_CalPHStep1::ExchangeSettings(BOOL bSave)
{
    for (int row = 0; row < kRows; ++row)
    {
        Row& r = m_rows[static_cast<size_t>(row)];
        if (bSave)
            SaveStandardChoice(kProfileEntries[row], r.list, r.value);
        else
            LoadStandardChoice(kProfileEntries[row], r.list, r.value);
    }
    if (!bSave)
        for (int row = 0; row < kRows; ++row)
            OnSolutionChanged(row);
}
