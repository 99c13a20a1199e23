#include "calibration/wizard/DlgWizPageCal.h"

#include "calibration/data/CalTypes.h"
#include "foundation/ErrorTable.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/DialogUnits.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kPageWidthDu = 350;
constexpr int kPageHeightDu = 230;

} // namespace

CDlgWizPage_Cal::CDlgWizPage_Cal(UINT nIDTemplate) : CDlgWizardPage(nIDTemplate)
{
    resize(DialogUnitsToPixels(this, 0, 0, kPageWidthDu, kPageHeightDu).size());
}

CDlgWizFrame_Cal* CDlgWizPage_Cal::Frame() const
{
    return qobject_cast<CDlgWizFrame_Cal*>(GetOwnerFrame());
}

CCalData* CDlgWizPage_Cal::CalData() const
{
    CDlgWizFrame_Cal* frame = Frame();
    return frame != nullptr ? frame->m_pCalData : nullptr;
}

BOOL CDlgWizPage_Cal::IsShown() const
{
    const CDlgWizFrame_Cal* frame = Frame();
    return HasWindow() && !isHidden() && frame != nullptr && !frame->IsClosing() ? TRUE : FALSE;
}

QFormLayout* CDlgWizPage_Cal::NewForm(QWidget* parent)
{
    auto* form = new QFormLayout(parent);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    return form;
}

void CDlgWizPage_Cal::SetFieldWidth(QWidget& field, int widthDu) const
{
    field.setFixedWidth(DialogUnitsToPixels(this, 0, 0, widthDu, 0).width());
}

void CDlgWizPage_Cal::SetTitle(const QString& title)
{
    if (CDlgWizFrame_Cal* frame = Frame())
        frame->setWindowTitle(title);
}

void CDlgWizPage_Cal::EnableNext(BOOL enable)
{
    if (enable)
    {
        if (CDlgWizFrame_Cal* frame = Frame())
            frame->EnableNextButton();
    }
    else
    {
        DisableNextButton();
    }
}

void CDlgWizPage_Cal::EnableBack(BOOL enable)
{
    if (CDlgWizFrame_Cal* frame = Frame(); frame != nullptr && frame->HasWindow())
        frame->GetBackButton().setEnabled(enable != FALSE);
}

void CDlgWizPage_Cal::EnableFinish(BOOL enable)
{
    if (enable)
        EnableFinishButton();
    else
        DisableFinishButton();
}

void CDlgWizPage_Cal::EnableCancel(BOOL enable)
{
    if (CDlgWizFrame_Cal* frame = Frame(); frame != nullptr && frame->HasWindow())
        frame->GetCancelButton().setEnabled(enable != FALSE);
}

int CDlgWizPage_Cal::MessageBox(const QString& text, uint32_t flags)
{
    return ui::Dialogs().MessageBox(this, text, ui::ApplicationName(), flags);
}

void CDlgWizPage_Cal::ErrorCodeBox(const QString& text, HRESULT code)
{
    const std::u16string message = ui::ToU16String(text);
    MessageBox(ui::ToQString(FormatErrorCodeMessage(message.c_str(), code)), platform::MB_ICONERROR);
}

BOOL CDlgWizPage_Cal::ConfirmAndRestoreDefaults(const QString& question,
                                                const std::function<HRESULT()>& restore)
{
    if (MessageBox(question, platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
        return FALSE;
    if (const HRESULT hr = ui::WaitForWork(restore); Failed(hr))
    {
        ErrorCodeBox(QStringLiteral("Failed to restore calibration defaults."), hr);
        return FALSE;
    }
    return TRUE;
}

LRESULT CDlgWizPage_Cal::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case windowmsg::WM_NEW_DATA:
        return OnNewData();
    case windowmsg::WM_READ_ERROR:
        return OnReadError();
    case windowmsg::WM_CAL_SAMPLES_READY:
        return OnCalSamplesReady();
    case windowmsg::WM_CAL_NEXT_POINT:
        return OnCalNextPoint();
    case windowmsg::WM_CAL_ACCEPTED:
        return OnCalAccepted();
    default:
        return CDlgWizardPage::OnMessage(message, wParam, lParam);
    }
}

LRESULT CDlgWizPage_Cal::OnNewData()
{
    return 0;
}

LRESULT CDlgWizPage_Cal::OnReadError()
{
    CDlgWizFrame_Cal* frame = Frame();
    if (frame == nullptr)
        return -1;
    if (!IsShown())
        return 0;
    // A reading the calibration refused says why; any other end of the worker does not know. The
    // worker may hold the run's state while it talks to a probe that no longer answers.
    CCalData* data = CalData();
    const CWideString refusal = ui::WaitForWork([data] { return data->GetRefusalText(); });
    MessageBox(ui::ToQString(refusal.IsEmpty() ? kReadErrorText : static_cast<const char16_t*>(refusal)),
               platform::MB_ICONERROR);
    // The box waited for the user: the wizard may have been closed meanwhile.
    if (!frame->IsClosing())
        frame->OnCancel();
    return 0;
}

LRESULT CDlgWizPage_Cal::OnCalSamplesReady()
{
    return 0;
}

LRESULT CDlgWizPage_Cal::OnCalNextPoint()
{
    return 0;
}

LRESULT CDlgWizPage_Cal::OnCalAccepted()
{
    return 0;
}

QString FormattedValue(UINT digits, double value)
{
    return ui::ToQString(static_cast<const char16_t*>(FormatValue(digits, value)));
}

QString SolutionNameText(int32_t id)
{
    CWideString name;
    GetSolutionName(id, name);
    return ui::ToQString(static_cast<const char16_t*>(name));
}

int32_t SelectedSolution(const QComboBox& list)
{
    return list.currentIndex() >= 0 ? list.currentData().toInt() : -1;
}
