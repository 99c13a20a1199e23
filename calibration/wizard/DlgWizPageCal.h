// CDlgWizPage_Cal: what every page of the calibration wizards shares. A page reaches the run's data
// object through its frame; each hook and handler first makes sure both are there. The worker's
// messages arrive at every page of the frame, and a page acts on them only while it is the one
// shown; a read error of the worker is reported by the shown page, which then ends the wizard.
// Message boxes carry the application's name as caption, as the system's own boxes do.
#pragma once

#include <functional>

#include <QComboBox>
#include <QFormLayout>
#include <QString>

#include "calibration/wizard/DlgWizFrameCal.h"
#include "ui/DlgWizardPage.h"

class CDlgWizPage_Cal : public CDlgWizardPage
{
    Q_OBJECT

public:
    // Every calibration page has the same size, 350 x 230 dialog units.
    explicit CDlgWizPage_Cal(UINT nIDTemplate);

    static constexpr const char16_t* kReadErrorText = u"Error occurred.\nTerminating calibration.";
    // The width of the pages' lists, edits and reading fields.
    static constexpr int kFieldWidthDu = 110;

protected:
    CDlgWizFrame_Cal* Frame() const;
    // The run's data object; null without a frame.
    CCalData* CalData() const;
    template <class TCalData>
    TCalData* CalDataAs() const
    {
        return dynamic_cast<TCalData*>(CalData());
    }
    // The page is the one the wizard shows, and the wizard is not closing.
    BOOL IsShown() const;

    // A form of labels and fields; each field keeps the width it is given (SetFieldWidth).
    static QFormLayout* NewForm(QWidget* parent);
    void SetFieldWidth(QWidget& field, int widthDu = kFieldWidthDu) const;

    // The wizard's title.
    void SetTitle(const QString& title);
    // The frame's buttons, while its window exists.
    void EnableNext(BOOL enable);
    void EnableBack(BOOL enable);
    void EnableFinish(BOOL enable);
    void EnableCancel(BOOL enable);
    // A box owned by the page with the application's name as caption; returns the answer.
    int MessageBox(const QString& text, uint32_t flags);
    // "<text>\nError Code: XXXXXXXX\n<the code's message>" with the error icon.
    void ErrorCodeBox(const QString& text, HRESULT code);
    // Asks the question; on Yes restores the sensor's calibration defaults under the wait cursor and
    // reports a failure. TRUE once they are restored (the wizard may end).
    BOOL ConfirmAndRestoreDefaults(const QString& question, const std::function<HRESULT()>& restore);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The worker's messages; each returns 0 when handled, -1 without a frame or data object.
    virtual LRESULT OnNewData();
    virtual LRESULT OnReadError();
    virtual LRESULT OnCalSamplesReady();
    virtual LRESULT OnCalNextPoint();
    virtual LRESULT OnCalAccepted();
};

// The value with its significant digits as the pages show readings.
QString FormattedValue(UINT digits, double value);
// The name of a calibration solution; empty for an id the table does not hold.
QString SolutionNameText(int32_t id);
// The solution id a list's chosen item carries; -1 without a choice.
int32_t SelectedSolution(const QComboBox& list);
