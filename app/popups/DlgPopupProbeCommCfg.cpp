#include "app/popups/DlgPopupProbeCommCfg.h"

#include <QGridLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/popups/PopupButtons.h"
#include "platform/SettingsStore.h"
#include "ui/MessageBoxes.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr UINT kListIds[CDlgPopup_ProbeCommCfg::LIST_COUNT] = {IDC_PROBE_BAUD,    IDC_PROBE_DATA_BITS,
                                                               IDC_PROBE_PARITY,  IDC_PROBE_STOP_BITS,
                                                               IDC_PROBE_ADDRESS, IDC_PROBE_MODE};
const char* const kListLabels[CDlgPopup_ProbeCommCfg::LIST_COUNT] = {
    "Baud:", "Data Bits:", "Parity:", "Stop Bits:", "Addr:", "Mode:"};

struct sTimeoutTexts
{
    UINT id;
    const char* label;
    const char* hint;
};

constexpr sTimeoutTexts kTimeoutTexts[CDlgPopup_ProbeCommCfg::TIMEOUT_COUNT] = {
    {IDC_PROBE_EOM, "Modbus ASCII End of Message Timeout (ms):", "EOM (1000 - 15000)"},
    {IDC_PROBE_EOS, "Probe End of Session Timeout (ms):", "EOS (5000 - 60000)"},
    {IDC_PROBE_CACHE_TIMEOUT, "Measurement cache timeout (ms):", "(1000 - 60000)"}};

constexpr int kListMinWidth = 130;
constexpr int kTimeoutEditWidth = 90;

CWideString CleanTimeoutText(const CWideString& previous, const CWideString& typed)
{
    return CleanNumericText(previous, typed, FALSE, FALSE, PROBE_TIMEOUT_TEXT_MAX);
}

template <size_t N>
void AddTexts(CNVComboBox& list, const char16_t* const (&texts)[N])
{
    for (const char16_t* text : texts)
        list.addItem(ui::ToQString(text));
}

QString NumberText(ULONG value)
{
    return QString::number(value);
}

} // namespace

CDlgPopup_ProbeCommCfg::CDlgPopup_ProbeCommCfg(QWidget* pParentWnd, CProbeConnection& connection)
    : CNVDialog(kTemplateId, pParentWnd), m_Connection(connection)
{
}

void CDlgPopup_ProbeCommCfg::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QGridLayout();
    lists->setHorizontalSpacing(10);
    for (int list = 0; list < LIST_COUNT; ++list)
    {
        CNVComboBox& combo = m_lists[list];
        combo.setParent(this);
        combo.setMinimumWidth(kListMinWidth);
        SetDlgCtrlID(&combo, kListIds[list]);
        // Serial settings on the left, address and framing on the right.
        const bool right = list >= LIST_ADDRESS;
        const int row = right ? list - LIST_ADDRESS : list;
        lists->addWidget(new QLabel(QString::fromLatin1(kListLabels[list]), this), row, right ? 2 : 0);
        lists->addWidget(&combo, row, right ? 3 : 1);
    }
    lists->setColumnMinimumWidth(2, 40);
    layout->addLayout(lists);

    auto* timeouts = new QGridLayout();
    for (int timeout = 0; timeout < TIMEOUT_COUNT; ++timeout)
    {
        sTimeoutControls& controls = m_timeouts[timeout];
        controls.label = new QLabel(QString::fromLatin1(kTimeoutTexts[timeout].label), this);
        controls.hint = new QLabel(QString::fromLatin1(kTimeoutTexts[timeout].hint), this);
        controls.edit.setParent(this);
        controls.edit.setFixedWidth(kTimeoutEditWidth);
        SetDlgCtrlID(&controls.edit, kTimeoutTexts[timeout].id);
        timeouts->addWidget(controls.label, timeout, 0);
        timeouts->addWidget(&controls.edit, timeout, 1);
        timeouts->addWidget(controls.hint, timeout, 2);
        connect(&controls.edit, &QLineEdit::textChanged, this,
                [this, timeout] { OnTimeoutChanged(static_cast<ETimeout>(timeout)); });
    }
    layout->addSpacing(8);
    layout->addLayout(timeouts);

    m_chkStayAwake.setParent(this);
    m_chkStayAwake.setText(QStringLiteral("Never sleep/always remain awake"));
    SetDlgCtrlID(&m_chkStayAwake, IDC_PROBE_STAY_AWAKE);
    layout->addWidget(&m_chkStayAwake);

    AddPopupButtonRow(*this, *layout, {{&m_btnOK, IDOK, "OK"}, {&m_btnCancel, IDCANCEL, "Cancel"}});
    m_btnOK.setDefault(true);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(&m_lists[LIST_MODE], &QComboBox::currentIndexChanged, this, [this] { OnModeChanged(); });
}

BOOL CDlgPopup_ProbeCommCfg::OnInitDialog()
{
    setWindowTitle(QStringLiteral("Probe Communication Settings"));
    CreateControls();
    m_Choice = ui::WaitForWork([this] { return LoadProbeCommChoice(m_Connection); });
    FillControls();
    CNVDialog::OnInitDialog();
    return TRUE;
}

void CDlgPopup_ProbeCommCfg::FillControls()
{
    const sCommSettings& line = m_Choice.Line;
    for (int list = 0; list < LIST_COUNT; ++list)
    {
        CNVComboBox& combo = m_lists[list];
        const QSignalBlocker blocker(combo);
        combo.clear();
        switch (list)
        {
        case LIST_BAUD:
            AddTexts(combo, PROBE_COMM_BAUD_TEXTS);
            combo.setCurrentIndex(BaudEntryOf(line.BaudId));
            break;
        case LIST_DATA_BITS:
            AddTexts(combo, PROBE_COMM_DATA_BITS_TEXTS);
            combo.setCurrentIndex(DataBitsEntryOf(line.DataBitsId));
            break;
        case LIST_PARITY:
            AddTexts(combo, PROBE_COMM_PARITY_TEXTS);
            combo.setCurrentIndex(ParityEntryOf(line.ParityId));
            break;
        case LIST_STOP_BITS:
            AddTexts(combo, PROBE_COMM_STOP_BITS_TEXTS);
            combo.setCurrentIndex(StopBitsEntryOf(line.StopBitsId));
            break;
        case LIST_ADDRESS:
            for (USHORT address = COMM_MIN_ADDRESS; address <= COMM_MAX_ADDRESS; ++address)
                combo.addItem(QString::number(address));
            combo.setCurrentIndex(AddressEntryOf(line.Address));
            break;
        default:
            AddTexts(combo, PROBE_COMM_MODE_TEXTS);
            combo.setCurrentIndex(ModeEntryOf(line.Mode));
            break;
        }
    }
    for (int timeout = 0; timeout < TIMEOUT_COUNT; ++timeout)
    {
        sTimeoutControls& controls = m_timeouts[timeout];
        const QSignalBlocker blocker(controls.edit);
        const std::optional<ULONG>& value = LoadedTimeout(static_cast<ETimeout>(timeout));
        // A probe without the cache time-out has no value to show; one that did not report a value
        // shows none either, rather than a number the probe never had.
        controls.edit.setText(value ? NumberText(*value) : QString());
        const bool unsupported = timeout == TIMEOUT_CACHE && m_Choice.CacheTimeoutSupported == FALSE;
        controls.edit.setPlaceholderText(value || unsupported ? QString() : QStringLiteral("not read"));
        controls.text.SetPrevious(controls.edit.text());
    }
    EnableTimeout(TIMEOUT_EOM, ModeEntryOf(line.Mode) == 1);
    EnableTimeout(TIMEOUT_CACHE, m_Choice.CacheTimeoutSupported != FALSE);
    {
        const QSignalBlocker blocker(m_chkStayAwake);
        // A state that could not be read shows as neither: left so, it is not written.
        m_chkStayAwake.setTristate(!m_Choice.StayAwake.has_value());
        m_chkStayAwake.setCheckState(!m_Choice.StayAwake   ? Qt::PartiallyChecked
                                     : *m_Choice.StayAwake ? Qt::Checked
                                                           : Qt::Unchecked);
    }
    m_chkStayAwake.setEnabled(m_Choice.StayAwakeSupported != FALSE);
    UpdateOkButton();
}

void CDlgPopup_ProbeCommCfg::EnableTimeout(ETimeout timeout, bool enable)
{
    sTimeoutControls& controls = m_timeouts[timeout];
    controls.label->setEnabled(enable);
    controls.edit.setEnabled(enable);
    controls.hint->setEnabled(enable);
}

void CDlgPopup_ProbeCommCfg::OnModeChanged()
{
    CNVComboBox& mode = m_lists[LIST_MODE];
    const int entry = mode.currentIndex() == 1 ? 1 : 0;
    if (mode.currentIndex() != entry)
    {
        const QSignalBlocker blocker(mode);
        mode.setCurrentIndex(entry);
    }
    EnableTimeout(TIMEOUT_EOM, entry == 1);
}

void CDlgPopup_ProbeCommCfg::OnTimeoutChanged(ETimeout timeout)
{
    m_timeouts[timeout].text.OnChanged(m_timeouts[timeout].edit, CleanTimeoutText);
    UpdateOkButton();
}

sProbeCommChoice CDlgPopup_ProbeCommCfg::GetChoice() const
{
    sProbeCommChoice choice = m_Choice;
    sCommSettings& line = choice.Line;
    const int baud = m_lists[LIST_BAUD].currentIndex();
    // No entry chosen (a connection at a rate the list lacks) leaves an id the check refuses.
    line.BaudId = baud >= 0 ? PROBE_COMM_BAUD_IDS[baud] : 0;
    line.DataBitsId = static_cast<ULONG>(m_lists[LIST_DATA_BITS].currentIndex());
    line.ParityId = static_cast<ULONG>(m_lists[LIST_PARITY].currentIndex());
    line.StopBitsId = static_cast<ULONG>(m_lists[LIST_STOP_BITS].currentIndex());
    line.Mode = static_cast<ULONG>(m_lists[LIST_MODE].currentIndex());
    line.Address = static_cast<USHORT>(m_lists[LIST_ADDRESS].currentIndex() + COMM_MIN_ADDRESS);
    choice.Eom = TypedTimeout(TIMEOUT_EOM);
    choice.Eos = TypedTimeout(TIMEOUT_EOS);
    choice.CacheTimeout = TypedTimeout(TIMEOUT_CACHE);
    switch (m_chkStayAwake.checkState())
    {
    case Qt::PartiallyChecked:
        choice.StayAwake.reset();
        break;
    case Qt::Checked:
        choice.StayAwake = TRUE;
        break;
    default:
        choice.StayAwake = FALSE;
        break;
    }
    return choice;
}

const std::optional<ULONG>& CDlgPopup_ProbeCommCfg::LoadedTimeout(ETimeout timeout) const
{
    return timeout == TIMEOUT_EOM   ? m_Choice.Eom
           : timeout == TIMEOUT_EOS ? m_Choice.Eos
                                    : m_Choice.CacheTimeout;
}

std::optional<ULONG> CDlgPopup_ProbeCommCfg::TypedTimeout(ETimeout timeout) const
{
    const QString text = m_timeouts[timeout].edit.text();
    // An empty field that the probe left empty asks for nothing; one the user emptied is no value.
    if (text.isEmpty() && !LoadedTimeout(timeout))
        return std::nullopt;
    return ParseTimeoutText(ui::ToWideString(text));
}

void CDlgPopup_ProbeCommCfg::UpdateOkButton()
{
    m_btnOK.setEnabled(AreProbeTimeoutsValid(GetChoice()) != FALSE);
}

void CDlgPopup_ProbeCommCfg::OnOK()
{
    if (!m_btnOK.isEnabled())
        return;
    sProbeCommOutcome outcome;
    {
        // A line that the settings file cannot keep is told over this popup once the wait is over,
        // before what the popup does next.
        const platform::settings::CChangeScope change(ui::OwnerHandle(this));
        outcome = ui::WaitForWork([this, choice = GetChoice()]
                                  { return ApplyProbeCommChoice(m_Connection, choice); });
    }
    if (outcome.Succeeded())
    {
        EndDialog(IDOK);
        return;
    }
    if (outcome.FailedStep == EProbeCommStep::NotConnected)
        return;
    ShowErrorBox(this, ui::ToQString(static_cast<const char16_t*>(
                           FormatProbeCommFailure(outcome.FailedStep, outcome.Result))));
    if (!outcome.Refused)
        EndDialog(0);
}
