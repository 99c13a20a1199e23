// CDlgWizFrame_Cal: the frame of a calibration wizard. It holds the calibration data object of the
// run (m_pCalData, owned by the derived frame, which declares it after its pages so that the worker
// stops before the pages go), passes the worker's five messages on to every page (only the shown
// page acts on them), and lets the current page decide whether OK or Cancel may end the wizard:
// the stabilization pages use OK as their Accept button, and every page ends the wizard itself with
// OnCancel after an error.
//
// The wizard runs like this (the Calibrate command, CalibrationDispatch.h):
//     CDlgWizFrame_CalVOX frame(page);
//     frame.AddPages();
//     frame.StartReading(sensor);   // the worker starts before the window exists
//     frame.DoModal();
// and an OK or Cancel that the page agreed to ends the run before the window goes, while the wizard
// still holds the main window (nothing else talks to the probe meanwhile): the worker stops, the
// sensor leaves calibration mode and the device gets its settings back; what failed there is tried
// once more. A run that found the probe silent says so to the probe connection, so that nothing
// after the wizard waits for the probe again. The frame's destruction (EndRun) ends a run that is
// not over yet and tells the user what the probe may still hold of it.
#pragma once

#include <atomic>
#include <mutex>

#include "calibration/data/CalData.h"
#include "ui/NVDlgWizardFrame.h"

class CDlgWizPage_CalSummary;

class CDlgWizFrame_Cal : public CNVDlgWizardFrame
{
    Q_OBJECT

public:
    // pCalData is the derived frame's own data object; it is not constructed yet when this runs.
    CDlgWizFrame_Cal(CCalData* pCalData, ICalProbeConnection& probe, QWidget* pParentWnd);
    ~CDlgWizFrame_Cal() override;

    // The pages in the wizard's order, before the window exists.
    virtual void AddPages() = 0;
    virtual CDlgWizPage_CalSummary& GetSummaryPage() = 0;

    ICalProbeConnection& GetProbe() { return m_probe; }
    // From an OK or Cancel that a page agreed to until the window is created anew: a page that
    // waited in a message box meanwhile goes no further.
    BOOL IsClosing() const { return m_bClosing ? TRUE : FALSE; }

    // OK asks the current page first (a stabilization page takes it as Accept and refuses);
    // OnOKAgreed runs before the pages are removed.
    void OnOK() override;
    // Cancel asks the current page first; OnCancelAgreed runs before the pages are removed.
    void OnCancel() override;

    // Tests: the period of the workers of frames constructed from now on (0: each kind's own).
    static void SetSampleIntervalForTests(uint32_t ms);

    // A read error the worker posts before the window exists (its start failed at once, on a probe
    // already found silent) is held and posted once the window is there; any thread.
    void PostNotify(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) override;

    CCalData* const m_pCalData;

protected:
    // The data object's period as the frame sets it: the kind's own unless a test shortened it.
    static uint32_t SampleInterval(uint32_t kindDefault);

    BOOL OnInitDialog() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual void OnOKAgreed() {}
    virtual void OnCancelAgreed() {}
    // Every derived frame's destructor, while its data object still lives: the end of the run, if
    // it is not over yet, and a warning with what the probe was left with, if anything.
    void EndRun();

private:
    // The data object's EndReading under the wait cursor, once; the silence of the probe told.
    void EndReading();

    ICalProbeConnection& m_probe;
    bool m_bClosing = false;
    bool m_bRunEnded = false;
    CWideString m_leftovers; // what EndReading found the probe still holds
    std::mutex m_heldLock;
    bool m_bReadErrorHeld = false; // under m_heldLock
    static std::atomic<uint32_t> s_testSampleInterval;
};
