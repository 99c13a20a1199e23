#include "app/popups/DlgPopupAnalogSetup.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "connection/SensorStatusText.h"
#include "ui/MessageBoxes.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kParameterListMinWidth = 200;
constexpr int kScalingEditWidth = 110;

struct sLoopIds
{
    UINT group;
    UINT enable;
    UINT parameter;
    UINT zeroScale;
    UINT fullScale;
};

constexpr sLoopIds kLoopIds[ANALOG_LOOP_COUNT] = {
    {IDC_LOOP1_GROUP, IDC_LOOP1_ENABLE, IDC_LOOP1_PARAMETER, IDC_LOOP1_4MA, IDC_LOOP1_20MA},
    {IDC_LOOP2_GROUP, IDC_LOOP2_ENABLE, IDC_LOOP2_PARAMETER, IDC_LOOP2_4MA, IDC_LOOP2_20MA}};

CWideString CleanScalingText(const CWideString& previous, const CWideString& typed)
{
    return CleanNumericText(previous, typed, TRUE, TRUE, ANALOG_SCALING_TEXT_MAX);
}

} // namespace

CDlgPopup_AnalogSetup::CDlgPopup_AnalogSetup(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Setup(connection)
{
}

void CDlgPopup_AnalogSetup::CreateLoop(int loop, const QString& title)
{
    sLoopControls& controls = m_loops[loop];
    const sLoopIds& ids = kLoopIds[loop];
    controls.group.setParent(this);
    controls.group.setTitle(title);
    SetDlgCtrlID(&controls.group, ids.group);
    auto* layout = new QVBoxLayout(&controls.group);
    controls.enable.setText(QStringLiteral("Enable analog output"));
    SetDlgCtrlID(&controls.enable, ids.enable);
    layout->addWidget(&controls.enable);
    layout->addWidget(new QLabel(QStringLiteral("Output parameter:"), &controls.group));
    controls.parameter.setMinimumWidth(kParameterListMinWidth);
    SetDlgCtrlID(&controls.parameter, ids.parameter);
    layout->addWidget(&controls.parameter);
    layout->addWidget(new QLabel(QStringLiteral("Scaling:"), &controls.group));
    auto* scaling = new QFormLayout();
    scaling->setContentsMargins(12, 0, 0, 0);
    for (auto [edit, id, label] : {std::tuple{&controls.zeroScale, ids.zeroScale, "4 mA:"},
                                   std::tuple{&controls.fullScale, ids.fullScale, "20 mA:"}})
    {
        edit->setFixedWidth(kScalingEditWidth);
        SetDlgCtrlID(edit, id);
        scaling->addRow(QString::fromLatin1(label), edit);
    }
    layout->addLayout(scaling);
    layout->addStretch();
    connect(&controls.zeroScale, &QLineEdit::textChanged, this,
            [this, loop] { OnScalingChanged(loop, false); });
    connect(&controls.fullScale, &QLineEdit::textChanged, this,
            [this, loop] { OnScalingChanged(loop, true); });
}

BOOL CDlgPopup_AnalogSetup::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Analog setup"));
    auto* layout = new QVBoxLayout(this);
    auto* groups = new QHBoxLayout();
    CreateLoop(ANALOG_LOOP_1, QStringLiteral("Current Loop 1"));
    CreateLoop(ANALOG_LOOP_2, QStringLiteral("Current Loop 2"));
    groups->addWidget(&m_loops[ANALOG_LOOP_1].group);
    groups->addWidget(&m_loops[ANALOG_LOOP_2].group);
    layout->addLayout(groups);

    AddPopupButtonRow(*this, *layout, {{&m_btnOK, IDOK, "OK"}, {&m_btnCancel, IDCANCEL, "Cancel"}});
    m_btnOK.setDefault(true);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    CNVDialog::OnInitDialog();

    if (!ui::WaitForWork([this] { return m_Setup.Load(); }))
    {
        EndDialog(0);
        return FALSE;
    }
    FillLoop(ANALOG_LOOP_1);
    if (m_Setup.HasSecondLoop())
        FillLoop(ANALOG_LOOP_2);
    m_loops[ANALOG_LOOP_2].group.setEnabled(m_Setup.HasSecondLoop());
    UpdateOkButton();
    return TRUE;
}

void CDlgPopup_AnalogSetup::FillLoop(int loop)
{
    sLoopControls& controls = m_loops[loop];
    const sAnalogLoop& settings = m_Setup.Loop(loop);
    const QSignalBlocker blockEnable(controls.enable);
    const QSignalBlocker blockList(controls.parameter);
    const QSignalBlocker blockZero(controls.zeroScale);
    const QSignalBlocker blockFull(controls.fullScale);
    controls.enable.setChecked(settings.Enabled != FALSE);
    controls.parameter.clear();
    const CDynArray<sParameterReading>& readings = m_Setup.Readings();
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
        controls.parameter.addItem(
            ui::ToQString(GetParameterDisplayName(readings[i].SensorId, readings[i].ParameterId)));
    controls.parameter.setCurrentIndex(m_Setup.FindFollowedReading(loop));
    const QString zero = ui::ToQString(FormatScalingValue(settings.ZeroScale));
    const QString full = ui::ToQString(FormatScalingValue(settings.FullScale));
    controls.zeroScale.setText(zero);
    controls.zeroScaleText.SetPrevious(zero);
    controls.fullScale.setText(full);
    controls.fullScaleText.SetPrevious(full);
}

void CDlgPopup_AnalogSetup::OnScalingChanged(int loop, bool fullScale)
{
    sLoopControls& controls = m_loops[loop];
    const QString kept = fullScale ? controls.fullScaleText.OnChanged(controls.fullScale, CleanScalingText)
                                   : controls.zeroScaleText.OnChanged(controls.zeroScale, CleanScalingText);
    if (const std::optional<float> value = ParseScalingText(ui::ToWideString(kept)))
        (fullScale ? m_Setup.Loop(loop).FullScale : m_Setup.Loop(loop).ZeroScale) = *value;
    UpdateOkButton();
}

void CDlgPopup_AnalogSetup::UpdateOkButton()
{
    bool complete = true;
    for (int loop = 0; loop < (m_Setup.HasSecondLoop() ? ANALOG_LOOP_COUNT : 1); ++loop)
        for (const CNVEdit* edit : {&m_loops[loop].zeroScale, &m_loops[loop].fullScale})
            complete = complete && ParseScalingText(ui::ToWideString(edit->text())).has_value();
    m_btnOK.setEnabled(complete);
}

void CDlgPopup_AnalogSetup::OnOK()
{
    if (!m_btnOK.isEnabled())
        return;
    for (int loop = 0; loop < ANALOG_LOOP_COUNT; ++loop)
        m_Setup.Loop(loop).Enabled = m_loops[loop].enable.isChecked() ? TRUE : FALSE;
    const auto write = [this](int loop)
    {
        const int reading = m_loops[loop].parameter.currentIndex();
        return ui::WaitForWork(
            [this, loop, reading]
            { return loop == ANALOG_LOOP_1 ? m_Setup.WriteLoop1(reading) : m_Setup.WriteLoop2(reading); });
    };
    if (const HRESULT hr = write(ANALOG_LOOP_1); Failed(hr))
    {
        ShowErrorCodeBox(this, QStringLiteral("Failed to change Current Loop A settings."), hr);
        return;
    }
    if (m_Setup.HasSecondLoop())
    {
        if (const HRESULT hr = write(ANALOG_LOOP_2); Failed(hr))
        {
            ShowErrorCodeBox(this, QStringLiteral("Failed to change Current Loop B settings."), hr);
            return;
        }
    }
    EndDialog(IDOK);
}
