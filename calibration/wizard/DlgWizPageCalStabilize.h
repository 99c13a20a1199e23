// CDlgWizPage_CalStabilize: the stabilization page of every calibration wizard. It prompts for
// each point's standard, shows the live readings, their change and the stability of the point
// while the worker samples, offers Accept (the frame's Finish button relabelled) once the worker
// reports the point stable enough, and after the last point commits the calibration and moves on
// to the summary. The kinds differ in their prompt and readings only.
//
// A point starts with the prompt, a message box the user closes when the sensor sits in the
// standard. The wizard can close meanwhile (a read error reported while the box was open): the
// page then goes no further, and it never begins a calibration whose worker has ended, which would
// leave the sensor in calibration mode with nobody to switch it off.
#pragma once

#include <QFormLayout>
#include <QLabel>
#include <QTimer>

#include "calibration/wizard/DlgWizPageCal.h"
#include "foundation/Stopwatch.h"
#include "ui/NVEdit.h"

inline constexpr UINT IDT_CAL_ELAPSED = 727;
inline constexpr int kCalElapsedPeriodMs = 1000;
inline constexpr UINT IDC_CAL_STABILITY = 1175;
inline constexpr UINT IDC_CAL_DURATION = 1176;

class CDlgWizPage_CalStabilize : public CDlgWizPage_Cal
{
    Q_OBJECT

public:
    CDlgWizPage_CalStabilize(UINT nIDTemplate, QString title, QString summaryCaption);

    BOOL OnSetActive(UINT nDirection) override;
    // The Finish button is "OK" again.
    BOOL OnKillActive(UINT nDirection) override;
    // Accept: the point goes to the data object, and the wizard stays open until the worker answers.
    BOOL OnWizardOK() override;

    CNVEdit& SolutionField() { return m_solution; }
    CNVEdit& ReadingField() { return m_reading; }
    CNVEdit& ChangeField() { return m_change; }
    CNVEdit& TemperatureField() { return m_temperature; }
    CNVEdit& StabilityField() { return m_stability; }
    CNVEdit& DurationField() { return m_duration; }

protected:
    LRESULT OnNewData() override;
    LRESULT OnCalSamplesReady() override;
    LRESULT OnCalNextPoint() override;
    LRESULT OnCalAccepted() override;

    // The prompt of the current point; puts the point's standard into the solution field.
    virtual QString PreparePointPrompt(CCalData& data) = 0;
    // Reads the newest readings of the point; FALSE when there are none yet. With show, the fields
    // show them.
    virtual BOOL UpdateReadings(CCalData& data, BOOL show) = 0;
    // Every field emptied (a kind with fields of its own adds them).
    virtual void ClearFields();
    // After a successful commit, before the summary shows.
    virtual void AfterCommit(CCalData&) {}

    // Lays out the fields, labels on the left: the solution, the reading, its change and the
    // temperature, the kind's own fields, then stability and duration.
    void LayoutFields(const QString& solutionLabel, QLabel* readingLabel, const QString& changeLabel,
                      std::initializer_list<std::pair<QLabel*, CNVEdit*>> ownFields = {});
    // A read-only field that takes no focus.
    static void MakeReadOnly(CNVEdit& field, UINT id);
    void ShowStability(int32_t level);
    void ClearStabilityColor();

    CNVEdit m_solution;
    CNVEdit m_reading;
    CNVEdit m_change;
    CNVEdit m_temperature;
    CNVEdit m_stability;
    CNVEdit m_duration;

private:
    // The start of a point: prompt, stability "None", timing from 0. FALSE when the wizard closed
    // while the prompt was open.
    BOOL RestartPoint(BOOL firstPoint);
    void OnElapsedTimer();

    QString m_strTitle;
    QString m_strSummaryCaption;
    CStopwatch m_stopwatch;
    QTimer m_elapsedTimer;
};
