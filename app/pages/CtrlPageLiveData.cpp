#include "app/pages/CtrlPageLiveData.h"

#include <mutex>

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QVBoxLayout>

#include "app/livedata/LiveDataCsv.h"
#include "app/livedata/LiveDataSettings.h"
#include "app/livedata/PollChoice.h"
#include "app/livedata/PollSelection.h"
#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/popups/DlgPopupConfigureDataLog.h"
#include "app/popups/DlgPopupSelectPollData.h"
#include "connection/AppProfile.h"
#include "connection/ProbeConnection.h"
#include "connection/SensorReadings.h"
#include "connection/SensorStatusText.h"
#include "foundation/ErrorTable.h"
#include "foundation/NameLookups.h"
#include "foundation/ResultCodes.h"
#include "platform/Format.h"
#include "platform/SettingsStore.h"
#include "ui/MessageBoxes.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitCursor.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr int kColumnPadding = 10;
constexpr int kRateEditWidth = 70;
constexpr int kMoveButtonWidth = 110;
constexpr int kDataCodeLabelWidth = 150;
constexpr int kBoldWeight = 700;
constexpr int kColumnCount = 4;
constexpr int kButtonPadding = 16;

constexpr COLORREF kNormalColor = RGB(50, 200, 0);
constexpr COLORREF kErrorColor = RGB(220, 0, 0);
constexpr COLORREF kWarningColor = RGB(255, 140, 0);

// What a row shows for a value that its sensor could not give in the round: the status name of a
// missing sensor, so that its colour and data-code help follow.
constexpr const char16_t* kMissingSensorText = u"Sensor Missing";

// The low four bits of the quality word are the data quality code.
constexpr USHORT kQualityCodeMask = 0x000F;

QColor DataCodeColor(const QString& text)
{
    if (text.contains(QStringLiteral("Normal")))
        return ui::ToQColor(kNormalColor);
    if (text.contains(QStringLiteral("Error")) || text.contains(QStringLiteral("Missing")) ||
        text.contains(QStringLiteral("Disabled")))
        return ui::ToQColor(kErrorColor);
    return ui::ToQColor(kWarningColor);
}

USHORT RegisterMapVersion()
{
    return theProbeConnection.GetSlaveId().RegisterMapVersion;
}

// The value column's cells, which every round repaints: painted as the list's own delegate paints
// them, but with the text laid out once where the style lays it out five times (three of them for
// the places of an icon and a check box that these cells do not have). A cell whose text the style
// would wrap or elide, and one with an icon, a check box, the focus frame or an editor, goes the
// style's way.
class CValueDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QStyle* style = item.widget != nullptr ? item.widget->style() : QApplication::style();
        const QStyleOptionViewItem::ViewItemFeatures ownLayout = QStyleOptionViewItem::WrapText |
                                                                 QStyleOptionViewItem::HasCheckIndicator |
                                                                 QStyleOptionViewItem::HasDecoration;
        if (item.text.isEmpty() || (item.features & ownLayout) != 0 || !item.showDecorationSelected ||
            (item.state & (QStyle::State_HasFocus | QStyle::State_Editing)) != 0)
        {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The text takes the whole cell but for the focus frame's margin, on one line.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
        const QRect textRect = item.rect.adjusted(margin, 0, -margin, 0);
        QTextOption textOption;
        textOption.setWrapMode(QTextOption::ManualWrap);
        textOption.setTextDirection(item.direction);
        textOption.setAlignment(QStyle::visualAlignment(item.direction, item.displayAlignment));
        QTextLayout layout(item.text, item.font);
        layout.setTextOption(textOption);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(textRect.width());
        line.setPosition(QPointF(0, 0));
        const bool oneLine = !layout.createLine().isValid();
        layout.endLayout();
        if (!oneLine || line.naturalTextWidth() > textRect.width())
        {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QRect placed = QStyle::alignedRect(Qt::LayoutDirectionAuto, item.displayAlignment,
                                                 layout.boundingRect().size().toSize(), textRect);

        // As the style draws the item: within the cell, its background and selection, then the
        // text in its colour.
        QPalette::ColorGroup group =
            (item.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && (item.state & QStyle::State_Active) == 0)
            group = QPalette::Inactive;
        painter->save();
        painter->setClipRect(item.rect);
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, item.widget);
        painter->setPen(item.palette.color(
            group, (item.state & QStyle::State_Selected) != 0 ? QPalette::HighlightedText : QPalette::Text));
        layout.draw(painter, QPointF(textRect.x(), placed.top()));
        painter->restore();
    }
};

} // namespace

CCtrlPage_LiveData::CCtrlPage_LiveData(QWidget* pParentWnd) : CCtrlPage_Base(kTemplateId, pParentWnd) {}

CCtrlPage_LiveData::~CCtrlPage_LiveData()
{
    if (m_pWorker)
    {
        m_pWorker->Stop();
        // A run that nobody stopped still has its delivered rounds written; no box, the page goes.
        if (IsReading() && IsLoggingToFile())
            for (const sLiveRound& round : m_pWorker->TakeAllRounds())
                if (Succeeded(round.ReadError))
                    AppendCsvLine(m_strLogFilePath, BuildCsvLine(round));
    }
    // The controls go after this body: none of their last signals or events may reach the page.
    m_list.removeEventFilter(this);
    for (QObject* control : std::initializer_list<QObject*>{
             &m_list, &m_editRate, &m_chkLogToFile, &m_btnStartStop, &m_btnSelect, &m_btnUp, &m_btnDown})
        QObject::disconnect(control, nullptr, this, nullptr);
}

// ---- The window ----

BOOL CCtrlPage_LiveData::OnInitDialog()
{
    CCtrlPage_Base::OnInitDialog();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 10);
    layout->setSpacing(10);

    auto* top = new QHBoxLayout();
    top->setSpacing(8);
    const std::pair<QWidget*, UINT> ids[] = {{&m_stSampleRate, IDC_LIVE_SAMPLE_RATE_LABEL},
                                             {&m_editRate, IDC_LIVE_RATE},
                                             {&m_stSeconds, IDC_LIVE_SECONDS_LABEL},
                                             {&m_chkLogToFile, IDC_LIVE_LOG_TO_FILE},
                                             {&m_btnSelect, IDC_LIVE_SELECT_PARAMETERS},
                                             {&m_btnStartStop, IDC_LIVE_START_STOP},
                                             {&m_list, IDC_LIVE_LIST},
                                             {&m_btnUp, IDC_LIVE_PARAMETER_UP},
                                             {&m_btnDown, IDC_LIVE_PARAMETER_DOWN},
                                             {&m_lblDataCode, IDC_LIVE_DATA_CODE_LABEL},
                                             {&m_stDataCodeDescription, IDC_LIVE_DATA_CODE_DESCRIPTION}};
    for (const auto& [control, id] : ids)
    {
        control->setParent(this);
        SetDlgCtrlID(control, id);
    }
    m_editRate.setFixedWidth(kRateEditWidth);
    m_editRate.setMaxLength(LOG_RATE_MAX_DIGITS);
    top->addWidget(&m_stSampleRate);
    top->addWidget(&m_editRate);
    top->addWidget(&m_stSeconds);
    top->addSpacing(20);
    top->addWidget(&m_chkLogToFile);
    top->addStretch();
    top->addWidget(&m_btnSelect);
    top->addWidget(&m_btnStartStop);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout();
    middle->setSpacing(8);
    m_list.setColumnCount(kColumnCount);
    m_list.setHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Value"), QStringLiteral("Units"),
                            QStringLiteral("Data Code")});
    m_list.headerItem()->setTextAlignment(COLUMN_VALUE, Qt::AlignRight | Qt::AlignVCenter);
    m_list.setRootIsDecorated(false);
    m_list.setItemsExpandable(false);
    m_list.setUniformRowHeights(true);
    m_list.setSelectionMode(QAbstractItemView::SingleSelection);
    m_list.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list.setItemDelegateForColumn(COLUMN_VALUE, new CValueDelegate(&m_list));
    m_list.header()->setStretchLastSection(false);
    m_list.header()->setSectionsMovable(false);
    m_list.installEventFilter(this);
    middle->addWidget(&m_list, 1);
    auto* moves = new QVBoxLayout();
    for (CNVButton* button : {&m_btnUp, &m_btnDown})
    {
        button->setMinimumWidth(kMoveButtonWidth);
        button->setAutoDefault(false);
        moves->addWidget(button);
    }
    moves->addStretch();
    middle->addLayout(moves);
    layout->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout();
    QFont bold = m_lblDataCode.font();
    bold.setWeight(static_cast<QFont::Weight>(kBoldWeight));
    m_lblDataCode.setFont(bold);
    m_lblDataCode.SetDirectPaint(TRUE);
    m_lblDataCode.setFixedWidth(kDataCodeLabelWidth);
    m_lblDataCode.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_stDataCodeDescription.setWordWrap(true);
    m_stDataCodeDescription.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bottom->addWidget(&m_lblDataCode);
    bottom->addWidget(&m_stDataCodeDescription, 1);
    const int twoLines = 2 * QFontMetrics(bold).lineSpacing() + 4;
    m_lblDataCode.setMinimumHeight(twoLines);
    m_stDataCodeDescription.setMinimumHeight(twoLines);
    layout->addLayout(bottom);

    for (CNVButton* button : {&m_btnStartStop, &m_btnSelect})
        button->setAutoDefault(false);
    for (const auto& [button, id] :
         {std::pair{&m_btnStartStop, IDC_LIVE_START_STOP},
          std::pair{&m_btnSelect, IDC_LIVE_SELECT_PARAMETERS}, std::pair{&m_btnUp, IDC_LIVE_PARAMETER_UP},
          std::pair{&m_btnDown, IDC_LIVE_PARAMETER_DOWN}})
        connect(button, &QPushButton::clicked, this, [this, command = id] { SendCommand(command); });
    connect(&m_editRate, &CNVEdit::TextChanged, this, [this] { OnRateChanged(); });
    connect(&m_chkLogToFile, &QCheckBox::toggled, this,
            [this](bool checked)
            {
                std::lock_guard lock(m_PageLock);
                m_bLogToFile = checked ? TRUE : FALSE;
            });
    connect(&m_list, &QTreeWidget::currentItemChanged, this,
            [this]
            {
                UpdateMoveButtons();
                ShowDataCodeHelp();
            });
    connect(&m_list, &QTreeWidget::itemSelectionChanged, this, [this] { ShowDataCodeHelp(); });

    m_nLogRate = GetProfileInt(LOGGING_SECTION, LOG_RATE_ENTRY, DEFAULT_LOG_RATE);
    const BOOL logToFile = GetProfileInt(LOGGING_SECTION, LOG_DATA_ENTRY, 0) != 0 ? TRUE : FALSE;
    {
        std::lock_guard lock(m_PageLock);
        m_bLogToFile = logToFile;
    }
    m_strRate = QString::number(static_cast<unsigned>(m_nLogRate));
    {
        const QSignalBlocker blockEdit(m_editRate), blockCheck(m_chkLogToFile);
        m_editRate.setText(m_strRate);
        m_chkLogToFile.setChecked(logToFile != FALSE);
    }
    m_btnDown.setToolTip(QStringLiteral("Alt+Down"));
    m_btnUp.setToolTip(QStringLiteral("Alt+Up"));
    m_btnStartStop.setText(QStringLiteral("Start"));
    m_btnSelect.setText(QStringLiteral("Select Parameters..."));
    m_btnDown.setText(QStringLiteral("Parameter Down"));
    m_btnUp.setText(QStringLiteral("Parameter Up"));
    m_chkLogToFile.setText(QStringLiteral("Save live data to file"));
    m_stSeconds.setText(QStringLiteral("seconds"));
    m_stSampleRate.setText(QStringLiteral("Sample Rate:"));
    // Room around the longest text each button shows ("Stop" fits where "Start" does).
    for (CNVButton* button : {&m_btnStartStop, &m_btnSelect})
        button->setMinimumWidth(button->sizeHint().width() + kButtonPadding);
    m_lblDataCode.SetText(QString());
    m_stDataCodeDescription.clear();

    OnDeviceDisconnected(0, 0);
    LoadPollSelection();
    return TRUE;
}

BOOL CCtrlPage_LiveData::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_LIVE_START_STOP:
        StartStopReading();
        return TRUE;
    case IDC_LIVE_SELECT_PARAMETERS:
        SelectPollParameters();
        return TRUE;
    case IDC_LIVE_PARAMETER_UP:
        MoveParameterUp();
        return TRUE;
    case IDC_LIVE_PARAMETER_DOWN:
        MoveParameterDown();
        return TRUE;
    case ID_ACCEL_PARAM_UP:
        if (m_btnUp.isEnabled())
            MoveParameterUp();
        return TRUE;
    case ID_ACCEL_PARAM_DOWN:
        if (m_btnDown.isEnabled())
            MoveParameterDown();
        return TRUE;
    default:
        return CCtrlPage_Base::OnCommand(id);
    }
}

LRESULT CCtrlPage_LiveData::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != windowmsg::WM_NEW_DATA && message != windowmsg::WM_READ_ERROR)
        return CCtrlPage_Base::OnMessage(message, wParam, lParam);
    const std::optional<sLiveRound> round = TakeRunRound(wParam, lParam);
    if (!round)
        return 0;
    if (message == windowmsg::WM_NEW_DATA)
    {
        // Shown first: a box that the line may open comes up over these values, and the rounds
        // taken while it is open are shown after it.
        if (TakeAsNewest(*round))
        {
            m_unshownRound.reset();
            ShowValues(*round);
        }
        LogRound(*round);
        return 0;
    }
    StopReading();
    ShowErrorCodeBox(this, QStringLiteral("Error reading live values"), round->ReadError);
    return 0;
}

bool CCtrlPage_LiveData::TakeWhileHolding(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A read error stops the reading and tells it in a box: it waits. A round's values are data:
    // its line is written now, however long the box above the page stays open, and the values are
    // shown once it has closed (showing them reads the connection's state, which a wait's work
    // may hold).
    if (message != windowmsg::WM_NEW_DATA)
        return CCtrlPage_Base::TakeWhileHolding(message, wParam, lParam);
    std::optional<sLiveRound> round = TakeRunRound(wParam, lParam);
    if (!round)
        return true;
    LogRound(*round);
    ShowLater(std::move(*round));
    return true;
}

bool CCtrlPage_LiveData::TakeAsNewest(const sLiveRound& round)
{
    if (round.Number <= m_nNewestRound)
        return false;
    m_nNewestRound = round.Number;
    return true;
}

void CCtrlPage_LiveData::ShowLater(sLiveRound&& round)
{
    if (!TakeAsNewest(round))
        return;
    // One held show for however many rounds arrive meanwhile: it shows the newest.
    const bool showPosted = m_unshownRound.has_value();
    m_unshownRound = std::move(round);
    if (!showPosted)
        PostHeld([this] { ShowUnshownRound(); });
}

std::optional<sLiveRound> CCtrlPage_LiveData::TakeRunRound(WPARAM number, LPARAM runTag)
{
    // A message of a run that has ended, or of an earlier one, finds nothing: what the run
    // delivered the stop has taken.
    if (!IsReading() || runTag != m_nRunTag || !m_pWorker)
        return std::nullopt;
    return m_pWorker->TakeRound(number);
}

void CCtrlPage_LiveData::ShowUnshownRound()
{
    if (!m_unshownRound)
        return;
    const sLiveRound round = std::move(*m_unshownRound);
    m_unshownRound.reset();
    ShowValues(round);
}

void CCtrlPage_LiveData::OnTimer(UINT id)
{
    if (id == IDT_PAGE_ACTIVATE && IsPageVisible())
    {
        KillTimer(id);
        RebuildPollList();
        setFocus();
    }
}

bool CCtrlPage_LiveData::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_list)
    {
        switch (event->type())
        {
        case QEvent::FocusIn:
            if (m_list.topLevelItemCount() > 0 && m_list.selectedItems().isEmpty())
                SelectRow(0);
            UpdateMoveButtons();
            break;
        case QEvent::FocusOut:
            UpdateMoveButtons();
            break;
        case QEvent::Resize:
            SizeColumns();
            break;
        default:
            break;
        }
    }
    return CCtrlPage_Base::eventFilter(watched, event);
}

// ---- Flags ----

BOOL CCtrlPage_LiveData::IsReading()
{
    std::lock_guard lock(m_PageLock);
    return m_bReading;
}

BOOL CCtrlPage_LiveData::IsLoggingToFile()
{
    std::lock_guard lock(m_PageLock);
    return m_bLogToFile;
}

void CCtrlPage_LiveData::SetReading(BOOL reading)
{
    std::lock_guard lock(m_PageLock);
    m_bReading = reading;
}

// ---- Connection events ----

LRESULT CCtrlPage_LiveData::OnDeviceConnected(WPARAM, LPARAM)
{
    // The rebuild that a page activation still owes is the one done here: left to run, it would
    // come just after this refresh and rebuild the rows without their values.
    if (IsPageVisible())
        KillTimer(IDT_PAGE_ACTIVATE);
    // The rows and their first values come from one measurement of every sensor: reading the
    // values again after the rows would have each sensor measure a second time, and the user wait
    // for both.
    if (RebuildPollList(ReadingsAge::Measured))
        ShowValues(RoundOfPollList());
    if (IsPageVisible())
        RefreshPage();
    return 0;
}

LRESULT CCtrlPage_LiveData::OnDeviceDisconnected(WPARAM, LPARAM)
{
    // The device has gone: a run still going would only fail.
    StopReading();
    m_strRate = m_editRate.text();
    m_nLogRate = ParseLogRate(ui::ToWideString(m_strRate));
    {
        // The page keeps its state on its own, at its creation and at every disconnect: a settings
        // file that refuses it is told once, not at each of them.
        const platform::settings::CChangeScope change(platform::settings::ChangeBy::Program);
        WriteProfileInt(LOGGING_SECTION, LOG_RATE_ENTRY, m_nLogRate);
        WriteProfileInt(LOGGING_SECTION, LOG_DATA_ENTRY, IsLoggingToFile());
    }
    DeleteAllRows();
    RefreshPage();
    return 0;
}

LRESULT CCtrlPage_LiveData::OnRequestDisconnect(WPARAM, LPARAM)
{
    if (!IsPageVisible() || !theProbeConnection.IsConnected())
        return 0;
    StopReading();
    BroadcastPostMessage(windowmsg::WM_DEVICE_DISCONNECTED);
    ui::WaitForWork([] { theProbeConnection.DisconnectDevice(); });
    return 0;
}

void CCtrlPage_LiveData::OnPageDeactivate()
{
    StopReading();
    DeleteAllRows();
}

// ---- Reading ----

void CCtrlPage_LiveData::StartStopReading()
{
    if (IsReading())
    {
        StopReading();
        m_btnStartStop.setFocus();
        return;
    }
    m_strRate = m_editRate.text();
    const BOOL logToFile = m_chkLogToFile.isChecked() ? TRUE : FALSE;
    {
        std::lock_guard lock(m_PageLock);
        m_bLogToFile = logToFile;
    }
    if (logToFile)
    {
        CDlgPopup_ConfigureDataLog popup(this);
        if (popup.DoModal() != IDOK)
            return;
        m_strLogFilePath = popup.GetFilePath();
        m_bUtc = popup.GetUtc();
        if (!CreateCsvFile(m_strLogFilePath, BuildCsvHeader(m_pollList, m_bUtc, GetLocalTimeZoneName())))
        {
            ShowErrorBox(this,
                         QStringLiteral("Failed to create file %1.").arg(ui::ToQString(m_strLogFilePath)));
            return;
        }
    }

    CWaitCursor wait;
    m_nLogRate = ParseLogRate(ui::ToWideString(m_strRate));
    if (!m_pWorker)
        m_pWorker = std::make_unique<CLivePollWorker>(*this, m_pollClock);
    m_btnStartStop.setText(QStringLiteral("Stop"));
    m_bFileFailureShown = false;
    m_nNewestRound = 0;
    const HRESULT hr = m_pWorker->Start(theProbeConnection.AcquireProbe(), m_pollList,
                                        static_cast<uint64_t>(m_nLogRate) * 1000u, m_bUtc, ++m_nRunTag);
    if (Failed(hr))
    {
        m_btnStartStop.setText(QStringLiteral("Start"));
        ShowErrorBox(this, QStringLiteral("Failed to start reading thread."));
    }
    else
    {
        SetReading(TRUE);
        RefreshPage();
    }
    m_btnStartStop.setFocus();
}

void CCtrlPage_LiveData::StopReading()
{
    if (!m_pWorker && !IsReading())
        return;
    if (m_pWorker)
    {
        ui::WaitForWork([this] { m_pWorker->Stop(); });
        // What the worker delivered before it stopped and the page has not taken yet still
        // belongs to the run: its lines go to the file, in order, and its newest values are shown.
        // A read error among it is not told: the user has ended the run, or another error has.
        if (IsReading())
            for (sLiveRound& round : m_pWorker->TakeAllRounds())
                if (Succeeded(round.ReadError))
                {
                    LogRound(round);
                    ShowLater(std::move(round));
                }
    }
    SetReading(FALSE);
    if (HasWindow())
    {
        m_btnStartStop.setText(QStringLiteral("Start"));
        if (!IsHoldingWork())
            ShowUnshownRound();
        RefreshPage();
    }
}

void CCtrlPage_LiveData::ShowValues(const sLiveRound& round)
{
    const USHORT version = RegisterMapVersion();
    const int rows = std::min(m_list.topLevelItemCount(), static_cast<int>(round.Values.size()));
    for (int row = 0; row < rows; ++row)
    {
        const sLiveValue& value = round.Values[static_cast<size_t>(row)];
        QTreeWidgetItem* item = m_list.topLevelItem(row);
        const bool missing = Failed(value.Status);
        const QString code =
            ui::ToQString(missing ? CWideString(kMissingSensorText)
                                  : FormatSensorStatusText(value.Quality & kQualityCodeMask, version));
        item->setText(COLUMN_VALUE, missing ? QString()
                                            : QString::fromStdString(
                                                  platform::Format("%g", static_cast<double>(value.Value))));
        item->setText(COLUMN_DATA_CODE, code);
        item->setForeground(COLUMN_DATA_CODE, DataCodeColor(code));
    }
    ShowDataCodeHelp();
}

void CCtrlPage_LiveData::LogRound(const sLiveRound& round)
{
    if (!IsLoggingToFile() || AppendCsvLine(m_strLogFilePath, BuildCsvLine(round)) != CsvAppend::Failed ||
        m_bFileFailureShown)
        return;
    // Once per run: the reading goes on, and the file takes the lines again once it can.
    m_bFileFailureShown = true;
    const auto tell = [this, path = ui::ToQString(m_strLogFilePath)]
    {
        ShowErrorBox(this,
                     QStringLiteral("Failed to write to file %1.\nReading continues; lines that cannot be "
                                    "written are lost.")
                         .arg(path));
    };
    // Under another box the page's own comes up once that has closed, never inside it.
    if (IsHoldingWork())
        PostHeld(tell);
    else
        tell();
}

// ---- The poll list ----

void CCtrlPage_LiveData::RebuildPollList()
{
    RebuildPollList(ReadingsAge::Cached);
}

bool CCtrlPage_LiveData::RebuildPollList(ReadingsAge age)
{
    if (!theProbeConnection.IsConnected())
        return false;
    const bool reading = IsReading() != FALSE;
    if (!reading)
    {
        m_pollList.RemoveAll();
        DeleteAllRows();
    }
    const bool listWasEmpty = m_list.topLevelItemCount() == 0;
    // While reading the list stays as it is, and the device is the worker's: nothing is read here.
    if (!reading)
    {
        const DeviceRef device = theProbeConnection.HoldConnectedProbe();
        if (device == nullptr)
            return false;
        CDynArray<sParameterReading> readings;
        if (!CollectReadings(*device, readings, UnpluggedSensors::Skip, age))
            return false;
        m_pollList = BuildPollListFromReadings(readings);
    }
    else
        BuildOrderedPollList(m_pollList);
    if (listWasEmpty)
        InsertRows();
    for (int row = 0; row < m_list.topLevelItemCount() && row < static_cast<int>(m_pollList.GetCount());
         ++row)
        m_list.topLevelItem(row)->setText(
            COLUMN_UNITS, ui::ToQString(GetUnitAbbreviation(m_pollList[static_cast<uint32_t>(row)].UnitId)));
    SizeColumns();
    return !reading;
}

sLiveRound CCtrlPage_LiveData::RoundOfPollList() const
{
    sLiveRound round;
    round.Values.reserve(m_pollList.GetCount());
    for (uint32_t i = 0; i < m_pollList.GetCount(); ++i)
        round.Values.push_back({m_pollList[i].Value, m_pollList[i].Quality, S_OK});
    return round;
}

bool CCtrlPage_LiveData::CollectReadings(NVSystem::CDeviceComm& device,
                                         CDynArray<sParameterReading>& readings, UnpluggedSensors unplugged,
                                         ReadingsAge age)
{
    ReadingsStep failedStep = ReadingsStep::Parameters;
    const HRESULT hr =
        ui::WaitForWork([&device, &readings, unplugged, age, &failedStep]
                        { return CollectSensorReadings(device, readings, unplugged, &failedStep, age); });
    if (Succeeded(hr))
        return true;
    if (failedStep == ReadingsStep::Connections)
        ErrorCodeMessageBox(u"Failed to get active connections.", hr, ui::OwnerHandle(this), nullptr);
    else
        ShowErrorCodeBox(this, QStringLiteral("Failed to read parameter set"), hr);
    return false;
}

void CCtrlPage_LiveData::SelectPollParameters()
{
    const DeviceRef device = theProbeConnection.HoldConnectedProbe();
    if (device == nullptr)
        return;
    CDynArray<sParameterReading> readings;
    if (!CollectReadings(*device, readings, UnpluggedSensors::Fail))
        return;
    CDlgPopup_SelectPollData popup(this);
    popup.SetCandidates(readings);
    if (popup.DoModal() != IDOK)
        return;
    MergePollSelection(m_pollList, popup.GetSelected());
    DeleteAllRows();
    InsertRows();
    SizeColumns();
}

void CCtrlPage_LiveData::MoveParameterUp()
{
    m_list.setFocus();
    const int s = GetSelectionMark();
    if (s < 1 || s >= m_list.topLevelItemCount())
        return;
    MoveParameter(s, s - 1);
}

void CCtrlPage_LiveData::MoveParameterDown()
{
    m_list.setFocus();
    const int s = GetSelectionMark();
    if (s < 0 || s >= m_list.topLevelItemCount() - 1)
        return;
    MoveParameter(s, s + 1);
}

void CCtrlPage_LiveData::MoveParameter(int from, int to)
{
    if (from >= static_cast<int>(m_pollList.GetCount()) || to >= static_cast<int>(m_pollList.GetCount()))
        return;
    const sParameterReading moved = m_pollList[static_cast<uint32_t>(from)];
    m_pollList.RemoveAt(static_cast<uint32_t>(from));
    m_pollList.InsertAt(static_cast<uint32_t>(to), moved);
    delete m_list.takeTopLevelItem(from);
    auto* item = new QTreeWidgetItem();
    FillRow(*item, moved);
    m_list.insertTopLevelItem(to, item);
    // The two rows' entries take their new places, and the selection is numbered afresh so that
    // the order comes back unchanged on the next connect.
    const sParameterReading& displaced = m_pollList[static_cast<uint32_t>(from)];
    const platform::settings::CChangeScope change;
    SetPollParameterOrder(static_cast<USHORT>(to), moved.SensorId, moved.ParameterId);
    SetPollParameterOrder(static_cast<USHORT>(from), displaced.SensorId, displaced.ParameterId);
    RenumberPollSelection(m_pollList);
    SelectRow(to);
    m_list.setFocus();
    UpdateMoveButtons();
}

// ---- The controls ----

void CCtrlPage_LiveData::RefreshPage()
{
    if (!HasWindow())
        return;
    const bool connected = theProbeConnection.IsConnected() != FALSE;
    const bool reading = IsReading() != FALSE;
    m_list.setEnabled(connected);
    m_editRate.setEnabled(connected && !reading);
    m_nLogRate = ParseLogRate(ui::ToWideString(m_editRate.text()));
    m_btnStartStop.setEnabled(connected && IsValidLogRate(m_nLogRate));
    m_btnSelect.setEnabled(connected && !reading);
    m_chkLogToFile.setEnabled(connected && !reading);
    UpdateMoveButtons();
    m_list.setFocus();
}

void CCtrlPage_LiveData::UpdateMoveButtons()
{
    bool up = false;
    bool down = false;
    const int rows = m_list.topLevelItemCount();
    const QWidget* focus = QApplication::focusWidget();
    if (!IsReading() && rows >= 2 && (focus == &m_btnUp || focus == &m_btnDown || focus == &m_list))
    {
        const int s = GetSelectionMark();
        if (s >= 0)
        {
            down = s < rows - 1;
            up = s > 0;
        }
    }
    m_btnUp.setEnabled(up);
    m_btnDown.setEnabled(down);
}

void CCtrlPage_LiveData::OnRateChanged()
{
    const QString typed = m_editRate.text();
    const CWideString cleaned = CleanNumericText(ui::ToWideString(m_strRate), ui::ToU16String(typed).c_str(),
                                                 FALSE, FALSE, LOG_RATE_MAX_DIGITS);
    const QString text = ui::ToQString(cleaned);
    if (text != typed)
    {
        const int fromEnd = static_cast<int>(typed.size()) - m_editRate.cursorPosition();
        const QSignalBlocker block(m_editRate);
        m_editRate.setText(text);
        m_editRate.setCursorPosition(std::max(0, static_cast<int>(text.size()) - fromEnd));
    }
    m_strRate = text;
    RefreshPage();
    m_editRate.setFocus();
}

void CCtrlPage_LiveData::ShowDataCodeHelp()
{
    const QList<QTreeWidgetItem*> selected = m_list.selectedItems();
    QString label;
    QString description;
    if (!selected.isEmpty())
    {
        const QString code = selected.front()->text(COLUMN_DATA_CODE);
        for (size_t i = 0; i < STATUS_NAMES_V3_COUNT; ++i)
        {
            if (code.contains(ui::ToQString(g_StatusNamesV3[i])))
            {
                description = ui::ToQString(g_StatusDescriptions[i]);
                break;
            }
        }
        if (!description.isEmpty())
            label = QStringLiteral("Data Code:\n%1").arg(code);
        else
            description.clear();
    }
    m_lblDataCode.SetText(label);
    m_stDataCodeDescription.setText(description);
}

void CCtrlPage_LiveData::SizeColumns()
{
    if (m_list.columnCount() < kColumnCount)
        return;
    const QFontMetrics metrics(m_list.font());
    const QFontMetrics headerMetrics(m_list.header()->font());
    const int headerMargin = 2 * m_list.style()->pixelMetric(QStyle::PM_HeaderMargin);
    const auto fit = [&](int column, const QString& title)
    {
        m_list.resizeColumnToContents(column);
        return std::max(m_list.columnWidth(column), headerMetrics.horizontalAdvance(title) + headerMargin) +
               kColumnPadding;
    };
    const int parameter = fit(COLUMN_PARAMETER, QStringLiteral("Parameter"));
    const int units = fit(COLUMN_UNITS, QStringLiteral("Units"));
    const int dataCode =
        std::max(GetMaxStatusTextWidth([&](const CWideString& text)
                                       { return metrics.horizontalAdvance(ui::ToQString(text)); }),
                 headerMetrics.horizontalAdvance(QStringLiteral("Data Code")) + headerMargin) +
        kColumnPadding;
    const int value = std::max(0, m_list.viewport()->width() - parameter - units - dataCode);
    m_list.setColumnWidth(COLUMN_PARAMETER, parameter);
    m_list.setColumnWidth(COLUMN_UNITS, units);
    m_list.setColumnWidth(COLUMN_DATA_CODE, dataCode);
    m_list.setColumnWidth(COLUMN_VALUE, value);
}

void CCtrlPage_LiveData::DeleteAllRows()
{
    m_list.clear();
    ShowDataCodeHelp();
    UpdateMoveButtons();
}

void CCtrlPage_LiveData::InsertRows()
{
    for (uint32_t i = 0; i < m_pollList.GetCount(); ++i)
    {
        auto* item = new QTreeWidgetItem();
        FillRow(*item, m_pollList[i]);
        m_list.addTopLevelItem(item);
    }
}

void CCtrlPage_LiveData::FillRow(QTreeWidgetItem& item, const sParameterReading& record) const
{
    item.setText(COLUMN_PARAMETER,
                 ui::ToQString(GetParameterDisplayName(record.SensorId, record.ParameterId)));
    item.setText(COLUMN_UNITS, ui::ToQString(GetUnitAbbreviation(record.UnitId)));
    item.setTextAlignment(COLUMN_VALUE, Qt::AlignRight | Qt::AlignVCenter);
    // Numbers need no shaping (no ligatures, no kerning between digits): skipping it draws the
    // same pixels for less, and every round repaints the values.
    QFont font = m_list.font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    item.setFont(COLUMN_VALUE, font);
}

int CCtrlPage_LiveData::GetSelectionMark() const
{
    const QTreeWidgetItem* current = m_list.currentItem();
    return current != nullptr ? m_list.indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(current)) : -1;
}

void CCtrlPage_LiveData::SelectRow(int row)
{
    if (QTreeWidgetItem* item = m_list.topLevelItem(row))
    {
        m_list.setCurrentItem(item);
        item->setSelected(true);
    }
}

QString CCtrlPage_LiveData::CellText(int row, EColumn column) const
{
    const QTreeWidgetItem* item = m_list.topLevelItem(row);
    return item != nullptr ? item->text(column) : QString();
}

QColor CCtrlPage_LiveData::CellColor(int row, EColumn column) const
{
    const QTreeWidgetItem* item = m_list.topLevelItem(row);
    return item != nullptr ? item->foreground(column).color() : QColor();
}
