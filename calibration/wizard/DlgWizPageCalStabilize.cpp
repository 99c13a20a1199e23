#include "calibration/wizard/DlgWizPageCalStabilize.h"

#include <QSignalBlocker>

#include "calibration/wizard/CalPageRules.h"
#include "calibration/wizard/DlgWizPageCalSummary.h"
#include "ui/DialogUnits.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kMarginDu = 12;

} // namespace

CDlgWizPage_CalStabilize::CDlgWizPage_CalStabilize(UINT nIDTemplate, QString title, QString summaryCaption)
    : CDlgWizPage_Cal(nIDTemplate), m_solution(this), m_reading(this), m_change(this), m_temperature(this),
      m_stability(this), m_duration(this), m_strTitle(std::move(title)),
      m_strSummaryCaption(std::move(summaryCaption))
{
    for (CNVEdit* field : {&m_solution, &m_reading, &m_change, &m_temperature})
        MakeReadOnly(*field, 0);
    MakeReadOnly(m_stability, IDC_CAL_STABILITY);
    MakeReadOnly(m_duration, IDC_CAL_DURATION);
    m_elapsedTimer.setInterval(kCalElapsedPeriodMs);
    connect(&m_elapsedTimer, &QTimer::timeout, this, [this] { OnElapsedTimer(); });
}

void CDlgWizPage_CalStabilize::MakeReadOnly(CNVEdit& field, UINT id)
{
    field.setReadOnly(true);
    field.setFocusPolicy(Qt::NoFocus);
    SetDlgCtrlID(&field, id);
}

void CDlgWizPage_CalStabilize::LayoutFields(const QString& solutionLabel, QLabel* readingLabel,
                                            const QString& changeLabel,
                                            std::initializer_list<std::pair<QLabel*, CNVEdit*>> ownFields)
{
    const QRect margin = DialogUnitsToPixels(this, 0, 0, kMarginDu, kMarginDu);
    QFormLayout* form = NewForm(this);
    form->setContentsMargins(margin.width(), margin.height(), margin.width(), margin.height());
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const auto addRow = [&](QLabel* label, CNVEdit* field)
    {
        SetFieldWidth(*field);
        form->addRow(label, field);
    };
    addRow(new QLabel(solutionLabel, this), &m_solution);
    addRow(readingLabel, &m_reading);
    addRow(new QLabel(changeLabel, this), &m_change);
    addRow(new QLabel(QStringLiteral("Current Temperature (C):"), this), &m_temperature);
    for (const auto& [label, field] : ownFields)
        addRow(label, field);
    addRow(new QLabel(QStringLiteral("Stability:"), this), &m_stability);
    addRow(new QLabel(QStringLiteral("Calibration Duration:"), this), &m_duration);
}

void CDlgWizPage_CalStabilize::ClearFields()
{
    for (CNVEdit* field : {&m_solution, &m_reading, &m_change, &m_temperature, &m_stability, &m_duration})
        field->clear();
}

void CDlgWizPage_CalStabilize::ShowStability(int32_t level)
{
    m_stability.SetBold(TRUE);
    m_stability.SetBackColor(StabilityColor(level));
    m_stability.setText(ui::ToQString(StabilityWord(level)));
}

void CDlgWizPage_CalStabilize::ClearStabilityColor()
{
    m_stability.SetBackColor(RGB(255, 255, 255));
    m_stability.ClearBackColor();
}

BOOL CDlgWizPage_CalStabilize::OnSetActive(UINT)
{
    CDlgWizFrame_Cal* frame = Frame();
    CCalData* data = CalData();
    if (frame == nullptr || data == nullptr)
        return FALSE;
    SetTitle(m_strTitle);
    frame->GetFinishButton().setText(QStringLiteral("Accept"));
    data->PrepareStabilization();
    EnableFinish(FALSE);
    EnableNext(FALSE);
    EnableBack(FALSE);
    ClearFields();
    ClearStabilityColor();
    if (!RestartPoint(TRUE))
        return TRUE;
    // A worker that ended while the prompt was open (its read error is on its way) is refused
    // here, and so is a calibration mode for it. The calibration mode goes to the probe.
    ui::WaitForWork([data] { return data->BeginCalibration(); });
    return TRUE;
}

BOOL CDlgWizPage_CalStabilize::RestartPoint(BOOL firstPoint)
{
    CDlgWizFrame_Cal* frame = Frame();
    CCalData* data = CalData();
    const QString prompt = PreparePointPrompt(*data);
    MessageBox(prompt, platform::MB_ICONINFORMATION);
    if (frame->IsClosing() || !IsShown())
        return FALSE;
    ShowStability(CAL_STABILITY_NONE);
    EnableBack(FALSE);
    EnableFinish(FALSE);
    if (!firstPoint)
        data->Run();
    m_stopwatch.Stop();
    m_stopwatch.Reset();
    m_stopwatch.Start();
    m_elapsedTimer.start();
    m_duration.setText(ui::ToQString(DurationText(0)));
    return TRUE;
}

BOOL CDlgWizPage_CalStabilize::OnKillActive(UINT)
{
    CDlgWizFrame_Cal* frame = Frame();
    if (frame == nullptr)
        return FALSE;
    frame->GetFinishButton().setText(QStringLiteral("OK"));
    return TRUE;
}

BOOL CDlgWizPage_CalStabilize::OnWizardOK()
{
    CCalData* data = CalData();
    if (data == nullptr)
        return TRUE;
    // The fields keep the accepted point's readings until the worker's answer (up to a period away)
    // moves on: to the summary, or to the next point, which starts with empty fields.
    data->Accept();
    m_elapsedTimer.stop();
    EnableFinish(FALSE);
    return FALSE;
}

LRESULT CDlgWizPage_CalStabilize::OnNewData()
{
    CCalData* data = CalData();
    if (data == nullptr)
        return -1;
    if (!IsShown())
        return 0;
    const int32_t state = data->GetState();
    const BOOL readings = UpdateReadings(*data, state == CAL_STATE_RUN);
    // The worker takes no sample with a temperature or a reading that holds no measurement: the
    // field says why, and the point cannot be accepted while it lasts (the next sample the worker
    // takes offers Accept again).
    const auto refused = [this, state](bool refusal, const CWideString& status, CNVEdit& field)
    {
        if (state != CAL_STATE_RUN || !refusal)
            return;
        if (!status.IsEmpty())
            field.setText(ui::ToQString(static_cast<const char16_t*>(status)));
        EnableFinish(FALSE);
    };
    CWideString status;
    refused(data->GetTemperatureRefusal(status), status, m_temperature);
    refused(data->GetReadingRefusal(status), status, m_reading);
    if (!readings)
        return -1;
    if (state == CAL_STATE_IDLE)
        m_duration.clear();
    else if (state == CAL_STATE_RUN)
        ShowStability(data->GetStability());
    return 0;
}

LRESULT CDlgWizPage_CalStabilize::OnCalSamplesReady()
{
    CCalData* data = CalData();
    if (data == nullptr)
        return -1;
    if (IsShown() && data->GetState() == CAL_STATE_RUN)
        EnableFinish(data->GetStability() >= CAL_STABILITY_NOMINAL);
    return 0;
}

LRESULT CDlgWizPage_CalStabilize::OnCalNextPoint()
{
    if (CalData() == nullptr)
        return -1;
    if (IsShown())
    {
        ClearFields();
        ClearStabilityColor();
        RestartPoint(FALSE);
    }
    return 0;
}

LRESULT CDlgWizPage_CalStabilize::OnCalAccepted()
{
    CDlgWizFrame_Cal* frame = Frame();
    CCalData* data = CalData();
    if (data == nullptr)
        return -1;
    if (!IsShown())
        return 0;
    EnableFinish(FALSE);
    const HRESULT hr = ui::WaitForWork([data] { return data->CommitCalibration(); });
    if (Failed(hr))
    {
        MessageBox(QStringLiteral("Failed to commit new calibration to sensor."), platform::MB_ICONERROR);
        if (!frame->IsClosing())
            frame->OnCancel();
        return 0;
    }
    AfterCommit(*data);
    CDlgWizPage_CalSummary& summary = frame->GetSummaryPage();
    summary.m_strCaption = m_strSummaryCaption;
    frame->SetActivePage(&summary, IDC_WIZARD_NEXT);
    return 0;
}

void CDlgWizPage_CalStabilize::OnElapsedTimer()
{
    CCalData* data = CalData();
    if (data != nullptr && data->GetState() == CAL_STATE_RUN)
        m_duration.setText(ui::ToQString(DurationText(m_stopwatch.GetElapsedMs())));
}
