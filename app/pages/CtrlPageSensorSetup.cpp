#include "app/pages/CtrlPageSensorSetup.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/popups/DlgEditBaro.h"
#include "app/popups/DlgEditSalinity.h"
#include "app/popups/DlgPopupEditValue.h"
#include "app/popups/DlgPressureCal.h"
#include "app/sensorsetup/ProbeSettingRegisters.h"
#include "app/sensorsetup/SensorList.h"
#include "app/sensorsetup/SensorSettings.h"
#include "app/sensorsetup/VoxCapStatus.h"
#include "connection/SensorStatusText.h"
#include "foundation/ErrorTable.h"
#include "foundation/NameLookups.h"
#include "models/ProbeSensorInterfaces.h"
#include "platform/Format.h"
#include "ui/Application.h"
#include "ui/DialogService.h"
#include "ui/MessageBoxes.h"
#include "ui/NumberEntry.h"
#include "ui/NumericText.h"
#include "ui/QtText.h"
#include "ui/WaitForWork.h"

namespace
{

constexpr UINT kDigitsShown = 6;
constexpr int kValueWidth = 80;
constexpr int kListWidth = 230;
constexpr int kParameterListWidth = 180;
constexpr int kButtonWidth = 110;
constexpr int kRoleItemData = Qt::UserRole;

constexpr USHORT PARAMETER_ID_PRESSURE = 2;
constexpr USHORT PARAMETER_ID_DO_CONCENTRATION = 20;
constexpr USHORT PARAMETER_ID_DO_SATURATION = 21;
constexpr USHORT PARAMETER_ID_DO_PARTIAL_PRESSURE = 30;

CCtrlPage_SensorSetup::CalibrationDispatch& Dispatch()
{
    static CCtrlPage_SensorSetup::CalibrationDispatch dispatch;
    return dispatch;
}

QString Q(const char16_t* text)
{
    return ui::ToQString(text);
}

QString ValueText(float value)
{
    return ui::ToQString(FormatValue(kDigitsShown, value));
}

QString SentinelText(float sentinel)
{
    return QString::fromStdString(platform::Format("%g", static_cast<double>(sentinel)));
}

// A box of this page's own: the error icon, the application's name as its caption.
void ErrorBox(QWidget* owner, const char16_t* text)
{
    ui::Dialogs().MessageBox(owner, Q(text), ui::ApplicationName(), platform::MB_OK | platform::MB_ICONERROR);
}

// A failure that the settings report without an owner and without a caption of their own.
void UnownedErrorCodeBox(const sSettingsFailure& failure)
{
    ErrorCodeMessageBox(failure.text, failure.code, nullptr, nullptr);
}

// A radio button set or cleared without the others of its group taking part.
void SetRadio(QRadioButton& radio, bool checked)
{
    const QSignalBlocker blocker(&radio);
    radio.setAutoExclusive(false);
    radio.setChecked(checked);
    radio.setAutoExclusive(true);
}

QLineEdit& ReadOnlyValue(QLineEdit& edit)
{
    edit.setReadOnly(true);
    edit.setFixedWidth(kValueWidth);
    return edit;
}

bool IsDoParameter(USHORT parameterId)
{
    return parameterId == PARAMETER_ID_DO_CONCENTRATION || parameterId == PARAMETER_ID_DO_SATURATION ||
           parameterId == PARAMETER_ID_DO_PARTIAL_PRESSURE;
}

} // namespace

CCtrlPage_SensorSetup::CalibrationDispatch
CCtrlPage_SensorSetup::SetCalibrationDispatch(CalibrationDispatch dispatch)
{
    CalibrationDispatch before = std::move(Dispatch());
    Dispatch() = std::move(dispatch);
    return before;
}

CCtrlPage_SensorSetup::CCtrlPage_SensorSetup(QWidget* pParentWnd, CProbeConnection& connection)
    : CCtrlPage_Base(kTemplateId, pParentWnd), m_Connection(connection)
{
}

CCtrlPage_SensorSetup::~CCtrlPage_SensorSetup()
{
    if (m_pWatch)
        m_pWatch->Stop();
}

// ---- Controls ----

void CCtrlPage_SensorSetup::ConnectCommand(QAbstractButton& button, UINT id)
{
    SetDlgCtrlID(&button, id);
    if (auto* push = qobject_cast<QPushButton*>(&button))
        push->setAutoDefault(false);
    connect(&button, &QAbstractButton::clicked, this, [this, id] { SendCommand(id); });
}

BOOL CCtrlPage_SensorSetup::OnInitDialog()
{
    CCtrlPage_Base::OnInitDialog();
    CreateControls();
    ClearLists();
    return TRUE;
}

void CCtrlPage_SensorSetup::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    auto* top = new QHBoxLayout();

    auto* sensors = new QGroupBox(QStringLiteral("Sensors:"), this);
    auto* sensorsLayout = new QVBoxLayout(sensors);
    m_sensorList.setParent(sensors);
    m_sensorList.setMinimumWidth(kListWidth);
    SetDlgCtrlID(&m_sensorList, IDC_SETUP_SENSOR_LIST);
    sensorsLayout->addWidget(&m_sensorList);
    // Shared so that the longest name of each list shows whole: the optical sensor with its
    // cap's date, and "Oxidation Reduction Potential (ORP)" beside the parameters' scroll bar.
    top->addWidget(sensors, 6);

    auto* parameters = new QGroupBox(QStringLiteral("Parameters:"), this);
    auto* parametersLayout = new QVBoxLayout(parameters);
    m_parameterList.setParent(parameters);
    m_parameterList.setMinimumWidth(kParameterListWidth);
    SetDlgCtrlID(&m_parameterList, IDC_SETUP_PARAMETER_LIST);
    parametersLayout->addWidget(&m_parameterList);
    top->addWidget(parameters, 5);

    auto* side = new QGridLayout();
    side->addWidget(new QLabel(QStringLiteral("Units:"), this), 0, 0, 1, 2);
    m_units.setParent(this);
    SetDlgCtrlID(&m_units, IDC_SETUP_UNITS);
    side->addWidget(&m_units, 1, 0, 1, 2);
    side->setRowMinimumHeight(2, 8);
    side->addWidget(new QLabel(QStringLiteral("Sentinel value:"), this), 3, 0, 1, 2);
    m_sentinel.setParent(this);
    SetDlgCtrlID(&m_sentinel, IDC_SETUP_SENTINEL);
    ReadOnlyValue(m_sentinel);
    side->addWidget(&m_sentinel, 4, 0);
    m_btnEditSentinel.setParent(this);
    m_btnEditSentinel.setText(QStringLiteral("Edit..."));
    ConnectCommand(m_btnEditSentinel, IDC_SETUP_EDIT_SENTINEL);
    side->addWidget(&m_btnEditSentinel, 4, 1);
    side->setRowStretch(5, 1);
    m_btnCalibrate.setParent(this);
    m_btnCalibrate.setText(QStringLiteral("Calibrate..."));
    m_btnCalibrate.setMinimumWidth(kButtonWidth);
    ConnectCommand(m_btnCalibrate, IDC_SETUP_CALIBRATE);
    m_btnCalibrate.setDefault(true);
    side->addWidget(&m_btnCalibrate, 6, 0, 1, 2);
    top->addLayout(side);
    layout->addLayout(top, 1);

    // The sensor's groups come and go below the lists; the space they take stays, so that the
    // lists and buttons above keep their places whichever sensor is chosen.
    auto* settingsArea = new QWidget(this);
    auto* settings = new QHBoxLayout(settingsArea);
    settings->setContentsMargins(0, 0, 0, 0);
    m_pSalinityGroup = CreateSalinityGroup();
    m_pBaroGroup = CreateBaroGroup();
    m_pNegativeGroup = CreateNegativeGroup();
    m_pRefTempGroup = CreateRefTempGroup();
    m_pDensityGroup = CreateDensityGroup();
    m_pOffsetGroup = CreateOffsetGroup();
    int tallest = 0;
    for (QGroupBox* group :
         {m_pSalinityGroup, m_pBaroGroup, m_pNegativeGroup, m_pRefTempGroup, m_pDensityGroup, m_pOffsetGroup})
    {
        group->setParent(settingsArea);
        settings->addWidget(group, 0, Qt::AlignTop);
        tallest = std::max(tallest, group->sizeHint().height());
        group->hide();
    }
    settings->addStretch();
    settingsArea->setFixedHeight(tallest);
    layout->addWidget(settingsArea);

    connect(&m_sensorList, &QListWidget::currentRowChanged, this, [this] { OnSelChangeSensorList(); });
    connect(&m_parameterList, &QListWidget::currentRowChanged, this, [this] { OnSelChangeParameterList(); });
    connect(&m_units, &QComboBox::activated, this, [this] { OnSelChangeUnits(); });
}

QGroupBox* CCtrlPage_SensorSetup::CreateSalinityGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Salinity"), this);
    SetDlgCtrlID(group, IDC_SETUP_SALINITY_GROUP);
    auto* grid = new QGridLayout(group);
    m_autoSalinity.setParent(group);
    m_autoSalinity.setText(
        QStringLiteral("Enable automatic salinity correction\nfrom the conductivity sensor"));
    ConnectCommand(m_autoSalinity, IDC_SETUP_AUTO_SALINITY);
    grid->addWidget(&m_autoSalinity, 0, 0, 1, 2);
    m_liveSalinityLabel.setParent(group);
    m_liveSalinityLabel.setText(QStringLiteral("Current value  (PSU):"));
    SetDlgCtrlID(&m_liveSalinityLabel, IDC_SETUP_LIVE_SALINITY_LABEL);
    grid->addWidget(&m_liveSalinityLabel, 1, 0);
    m_liveSalinity.setParent(group);
    SetDlgCtrlID(&ReadOnlyValue(m_liveSalinity), IDC_SETUP_LIVE_SALINITY);
    grid->addWidget(&m_liveSalinity, 1, 1);
    m_defaultSalinityLabel.setParent(group);
    m_defaultSalinityLabel.setText(QStringLiteral("Default (PSU):"));
    SetDlgCtrlID(&m_defaultSalinityLabel, IDC_SETUP_DEFAULT_SALINITY_LABEL);
    grid->addWidget(&m_defaultSalinityLabel, 2, 0);
    m_defaultSalinity.setParent(group);
    SetDlgCtrlID(&ReadOnlyValue(m_defaultSalinity), IDC_SETUP_DEFAULT_SALINITY);
    grid->addWidget(&m_defaultSalinity, 2, 1);
    m_btnEditSalinity.setParent(group);
    m_btnEditSalinity.setText(QStringLiteral("Edit..."));
    ConnectCommand(m_btnEditSalinity, IDC_SETUP_EDIT_SALINITY);
    grid->addWidget(&m_btnEditSalinity, 3, 1);
    return group;
}

QGroupBox* CCtrlPage_SensorSetup::CreateBaroGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Barometric pressure"), this);
    SetDlgCtrlID(group, IDC_SETUP_BARO_GROUP);
    auto* grid = new QGridLayout(group);
    auto* liveLabel = new QLabel(QStringLiteral("Current value (mbar):"), group);
    SetDlgCtrlID(liveLabel, IDC_SETUP_LIVE_BARO_LABEL);
    grid->addWidget(liveLabel, 0, 0);
    m_liveBaro.setParent(group);
    SetDlgCtrlID(&ReadOnlyValue(m_liveBaro), IDC_SETUP_LIVE_BARO);
    grid->addWidget(&m_liveBaro, 0, 1);
    auto* defaultLabel = new QLabel(QStringLiteral("Default (mbar):"), group);
    SetDlgCtrlID(defaultLabel, IDC_SETUP_DEFAULT_BARO_LABEL);
    grid->addWidget(defaultLabel, 1, 0);
    m_defaultBaro.setParent(group);
    SetDlgCtrlID(&ReadOnlyValue(m_defaultBaro), IDC_SETUP_DEFAULT_BARO);
    grid->addWidget(&m_defaultBaro, 1, 1);
    m_btnEditBaro.setParent(group);
    m_btnEditBaro.setText(QStringLiteral(" Edit..."));
    ConnectCommand(m_btnEditBaro, IDC_SETUP_EDIT_BARO);
    grid->addWidget(&m_btnEditBaro, 2, 1);
    grid->setRowStretch(3, 1);
    return group;
}

QGroupBox* CCtrlPage_SensorSetup::CreateRefTempGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Specific Conductivity Reference Temp"), this);
    SetDlgCtrlID(group, IDC_SETUP_REF_TEMP_GROUP);
    auto* box = new QVBoxLayout(group);
    for (auto [radio, id, text] : {std::tuple{&m_refTemp20, IDC_SETUP_REF_TEMP_20, u"20\u00B0 C"},
                                   std::tuple{&m_refTemp25, IDC_SETUP_REF_TEMP_25, u"25\u00B0 C"}})
    {
        radio->setParent(group);
        radio->setText(Q(text));
        ConnectCommand(*radio, id);
        box->addWidget(radio);
    }
    return group;
}

QGroupBox* CCtrlPage_SensorSetup::CreateDensityGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Density Correction"), this);
    SetDlgCtrlID(group, IDC_SETUP_DENSITY_GROUP);
    auto* box = new QVBoxLayout(group);
    m_autoDensity.setParent(group);
    m_autoDensity.setText(QStringLiteral("Enable automatic density correction from the conductivity sensor"));
    ConnectCommand(m_autoDensity, IDC_SETUP_AUTO_DENSITY);
    box->addWidget(&m_autoDensity);
    return group;
}

QGroupBox* CCtrlPage_SensorSetup::CreateOffsetGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Pressure Offset"), this);
    SetDlgCtrlID(group, IDC_SETUP_OFFSET_GROUP);
    auto* row = new QHBoxLayout(group);
    m_pressureLabel.setParent(group);
    SetDlgCtrlID(&m_pressureLabel, IDC_SETUP_PRESSURE_LABEL);
    row->addWidget(&m_pressureLabel);
    m_pressureOffset.setParent(group);
    SetDlgCtrlID(&ReadOnlyValue(m_pressureOffset), IDC_SETUP_PRESSURE_OFFSET);
    row->addWidget(&m_pressureOffset);
    row->addStretch();
    return group;
}

QGroupBox* CCtrlPage_SensorSetup::CreateNegativeGroup()
{
    auto* group = new QGroupBox(this);
    auto* box = new QVBoxLayout(group);
    for (auto [radio, id, text] :
         {std::tuple{&m_negativeAlways, IDC_SETUP_NEGATIVE_ALWAYS, "Always show negative values"},
          std::tuple{&m_negativeDuringCal, IDC_SETUP_NEGATIVE_DURING_CAL,
                     "Only show negative values during cal."},
          std::tuple{&m_negativeNever, IDC_SETUP_NEGATIVE_NEVER, "Never show negative values"}})
    {
        radio->setParent(group);
        radio->setText(QString::fromLatin1(text));
        ConnectCommand(*radio, id);
        box->addWidget(radio);
    }
    return group;
}

BOOL CCtrlPage_SensorSetup::OnCommand(UINT id)
{
    switch (id)
    {
    case IDC_SETUP_EDIT_SENTINEL:
        OnEditSentinel();
        return TRUE;
    case IDC_SETUP_CALIBRATE:
        OnCalibrate();
        return TRUE;
    case IDC_SETUP_EDIT_SALINITY:
        OnEditSalinity();
        return TRUE;
    case IDC_SETUP_EDIT_BARO:
        OnEditBaro();
        return TRUE;
    case IDC_SETUP_AUTO_SALINITY:
        OnAutoSalinity();
        return TRUE;
    case IDC_SETUP_REF_TEMP_20:
        OnRefTemp(REFERENCE_TEMPERATURE_20);
        return TRUE;
    case IDC_SETUP_REF_TEMP_25:
        OnRefTemp(REFERENCE_TEMPERATURE_25);
        return TRUE;
    case IDC_SETUP_AUTO_DENSITY:
        OnAutoDensity();
        return TRUE;
    case IDC_SETUP_NEGATIVE_ALWAYS:
        OnNegativeOption(id, NEGATIVE_DO_ALWAYS);
        return TRUE;
    case IDC_SETUP_NEGATIVE_DURING_CAL:
        OnNegativeOption(id, NEGATIVE_DO_DURING_CAL);
        return TRUE;
    case IDC_SETUP_NEGATIVE_NEVER:
        OnNegativeOption(id, NEGATIVE_DO_NEVER);
        return TRUE;
    default:
        return CCtrlPage_Base::OnCommand(id);
    }
}

LRESULT CCtrlPage_SensorSetup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == windowmsg::WM_SENSORS_CHANGED)
        return OnSensorsChanged(static_cast<ULONG>(wParam));
    return CCtrlPage_Base::OnMessage(message, wParam, lParam);
}

void CCtrlPage_SensorSetup::OnShowWindow(BOOL bShow)
{
    m_bPageShown = bShow && IsPageVisible();
    CCtrlPage_Base::OnShowWindow(bShow);
}

void CCtrlPage_SensorSetup::OnTimer(UINT id)
{
    if (id == IDT_PAGE_ACTIVATE && IsPageVisible())
        KillTimer(id);
}

void CCtrlPage_SensorSetup::changeEvent(QEvent* event)
{
    CCtrlPage_Base::changeEvent(event);
    // A parent disabled for a long operation disables the page too.
    if (event->type() == QEvent::EnabledChange)
        m_bPageEnabled = isEnabled();
}

QString CCtrlPage_SensorSetup::GetControlText(UINT id) const
{
    for (QWidget* child : findChildren<QWidget*>())
    {
        if (GetDlgCtrlID(child) != id)
            continue;
        if (const auto* edit = qobject_cast<const QLineEdit*>(child))
            return edit->text();
        if (const auto* label = qobject_cast<const QLabel*>(child))
            return label->text();
        if (const auto* button = qobject_cast<const QAbstractButton*>(child))
            return button->text();
    }
    return QString();
}

// ---- Connection events ----

LRESULT CCtrlPage_SensorSetup::OnDeviceConnected(WPARAM, LPARAM)
{
    ReloadPage();
    if (IsConnected())
        StartSensorWatch();
    if (IsPageVisible())
        RefreshPage();
    return 0;
}

LRESULT CCtrlPage_SensorSetup::OnDeviceReset(WPARAM, LPARAM)
{
    ReloadPage();
    return 0;
}

LRESULT CCtrlPage_SensorSetup::OnDeviceDisconnected(WPARAM, LPARAM)
{
    ClearLists();
    RefreshPage();
    return 0;
}

LRESULT CCtrlPage_SensorSetup::OnRequestDisconnect(WPARAM wParam, LPARAM lParam)
{
    // The watch goes first, so that the disconnect never waits for one of its looks.
    if (IsPageVisible() && IsConnected())
        StopSensorWatch();
    return CCtrlPage_Base::OnRequestDisconnect(wParam, lParam);
}

LRESULT CCtrlPage_SensorSetup::OnSensorsChanged(ULONG connectionId)
{
    // A change seen on an earlier link (held while the window waited) says nothing of this one.
    if (connectionId != 0 && connectionId != m_Connection.GetConnectionId())
        return static_cast<LRESULT>(-1);
    const DeviceRef device = HoldDevice();
    if (device == nullptr)
        return static_cast<LRESULT>(-1);
    ui::WaitForWork([device = device.get()] { device->BuildSensorCache(); });
    FillParameterList(TRUE);
    FillSensorList();
    // As the list's own selection change would, once this message has been handled.
    PostHeldOnConnection([this] { OnSelChangeSensorList(); });
    return 0;
}

// ---- The sensor watch ----

void CCtrlPage_SensorSetup::StartSensorWatch()
{
    StopSensorWatch();
    m_pTopLevel = qobject_cast<const CNVDialog*>(window());
    m_bPageShown = IsPageVisible() != FALSE;
    m_bPageEnabled = isEnabled();
    m_pWatch = std::make_unique<CSensorWatch>(
        m_Connection, *this, [this] { return IsSensorWatchActive(); }, m_watchPeriod);
    if (!m_pWatch->Start())
        StopSensorWatch();
}

void CCtrlPage_SensorSetup::StopSensorWatch()
{
    // Taken out first: a stop asked again while this one waits finds nothing left to stop.
    const std::unique_ptr<CSensorWatch> watch = std::move(m_pWatch);
    if (watch)
        // A look at the probe in flight ends with its transaction, perhaps with its time-outs.
        ui::WaitForWork([&watch] { watch->Stop(); });
}

bool CCtrlPage_SensorSetup::IsSensorWatchActive() const
{
    return m_bPageShown.load() && m_bPageEnabled.load() &&
           (m_pTopLevel == nullptr || !m_pTopLevel->IsBlockedByModal());
}

BOOL CCtrlPage_SensorSetup::IsSensorWatchRunning() const
{
    return m_pWatch && m_pWatch->IsStarted() && !m_pWatch->HasEnded() ? TRUE : FALSE;
}

// ---- Lists ----

BOOL CCtrlPage_SensorSetup::IsConnected() const
{
    return m_Connection.IsConnected();
}

DeviceRef CCtrlPage_SensorSetup::HoldDevice() const
{
    return m_Connection.HoldConnectedProbe();
}

void CCtrlPage_SensorSetup::PostHeldOnConnection(std::function<void()> work)
{
    // Work asked for on one link means nothing on the next, nor without one: it goes without a word.
    PostHeld(
        [this, connectionId = m_Connection.GetConnectionId(), work = std::move(work)]
        {
            if (connectionId != 0 && m_Connection.GetConnectionId() == connectionId)
                work();
        });
}

std::optional<USHORT> CCtrlPage_SensorSetup::GetSelectedSensorItem() const
{
    const QListWidgetItem* item = m_sensorList.currentItem();
    if (item == nullptr)
        return std::nullopt;
    return static_cast<USHORT>(item->data(kRoleItemData).toUInt());
}

const sParameterReading* CCtrlPage_SensorSetup::SelectedRow() const
{
    const int row = m_parameterList.currentRow();
    if (row < 0 || static_cast<uint32_t>(row) >= m_Params.GetCount())
        return nullptr;
    return &m_Params[static_cast<uint32_t>(row)];
}

void CCtrlPage_SensorSetup::ClearLists()
{
    const QSignalBlocker sensors(&m_sensorList);
    const QSignalBlocker parameters(&m_parameterList);
    const QSignalBlocker units(&m_units);
    m_sensorList.clear();
    m_parameterList.clear();
    m_units.clear();
    m_Params.RemoveAll();
    m_sentinel.clear();
    m_SensorIds.clear();
    m_levelPressureConnection.reset();
}

std::optional<USHORT> CCtrlPage_SensorSetup::ListedSensorId(USHORT connection) const
{
    const auto listed = m_SensorIds.find(connection);
    if (listed == m_SensorIds.end())
        return std::nullopt;
    return listed->second;
}

void CCtrlPage_SensorSetup::ReloadPage()
{
    ClearLists();
    FillSensorList();
    FillParameterList(TRUE);
    LoadSensorSettings();
}

void CCtrlPage_SensorSetup::FillSensorList()
{
    // Held for the whole fill: the list is read on a worker while the windows stay alive.
    const DeviceRef held = HoldDevice();
    if (held == nullptr)
        return;
    NVSystem::CDeviceComm* device = held.get();
    CWideString remembered;
    if (const QListWidgetItem* item = m_sensorList.currentItem())
        remembered.AssignN(ui::ToWideString(item->text()), SENSOR_ENTRY_MATCH_LENGTH);
    {
        const QSignalBlocker blocker(&m_sensorList);
        m_sensorList.clear();
    }
    // The sensors are read on a worker; what went wrong with the cap is told once the list is read.
    std::optional<sVoxCapText> cap;
    std::map<USHORT, USHORT> sensorIds;
    std::optional<USHORT> levelPressure;
    sSensorEntries list = ui::WaitForWork(
        [this, device, &cap, &sensorIds, &levelPressure]
        {
            sSensorEntries entries = BuildSensorEntries(*device,
                                                        [this, &cap]
                                                        {
                                                            cap = GetVoxCapText(m_Connection);
                                                            return cap->text;
                                                        });
            for (const sSensorEntry& entry : entries.entries)
                if (USHORT sensorId = 0;
                    IsSensorEntry(entry.itemData) && Succeeded(device->GetSensorId(entry.itemData, sensorId)))
                    sensorIds[entry.itemData] = sensorId;
            if (NVSystem::ISensor_PressureTempLevel* level = nullptr;
                Succeeded(m_Connection.GetLevelSensor(level)) && level != nullptr)
                levelPressure = level->GetPressureConnection();
            return entries;
        });
    m_SensorIds = std::move(sensorIds);
    m_levelPressureConnection = levelPressure;
    if (cap && cap->problem == EVoxCapTextProblem::NoInterface)
        ErrorBox(window(), u"Failed to get VOX interface.");
    else if (cap && cap->problem == EVoxCapTextProblem::DateUnreadable)
        ShowErrorCodeBox(window(), QStringLiteral("Failed to read sensor next factory calibration date"),
                         cap->code);
    m_Connections = list.connections;
    const QSignalBlocker blocker(&m_sensorList);
    for (const sSensorEntry& entry : list.entries)
    {
        const int index = m_sensorList.AddString(ui::ToQString(entry.text));
        m_sensorList.item(index)->setData(kRoleItemData, static_cast<uint>(entry.itemData));
    }
    if (!list.complete)
        return;
    const int found = FindEntryByPrefix(list.entries, remembered, 0);
    m_sensorList.setCurrentRow(found >= 0 ? found : 0);
    RefreshPage();
}

void CCtrlPage_SensorSetup::FillParameterList(BOOL useCache)
{
    const std::optional<USHORT> selected = GetSelectedSensorItem();
    if (!selected)
        return;
    const DeviceRef held = HoldDevice();
    if (held == nullptr)
        return;
    const int rememberedRow = m_parameterList.currentRow();
    {
        const QSignalBlocker parameters(&m_parameterList);
        const QSignalBlocker units(&m_units);
        m_parameterList.clear();
        m_units.clear();
        m_Params.RemoveAll();
    }
    CDynArray<sParameterReading> readings;
    NVSystem::CDeviceComm* device = held.get();
    const HRESULT collected =
        ui::WaitForWork([device, connections = m_Connections, item = *selected, useCache, &readings]
                        { return CollectParameterReadings(*device, connections, item, useCache, readings); });
    if (Failed(collected))
        return;
    m_Params = ChooseParameterRows(*selected, readings);
    const QSignalBlocker blocker(&m_parameterList);
    for (uint32_t i = 0; i < m_Params.GetCount(); ++i)
        m_parameterList.AddString(
            ui::ToQString(GetParameterDisplayName(m_Params[i].SensorId, m_Params[i].ParameterId)));
    if (m_Params.GetCount() > 0)
    {
        const bool keep = rememberedRow >= 0 && static_cast<uint32_t>(rememberedRow) < m_Params.GetCount();
        m_parameterList.setCurrentRow(keep ? rememberedRow : 0);
    }
    SetSentinelText();
    FillUnitList();
}

void CCtrlPage_SensorSetup::SetSentinelText()
{
    const sParameterReading* row = SelectedRow();
    if (row != nullptr)
        m_sentinel.setText(SentinelText(row->Sentinel));
    else
        m_sentinel.clear();
}

void CCtrlPage_SensorSetup::FillUnitList()
{
    if (!IsConnected())
        return;
    {
        const QSignalBlocker blocker(&m_units);
        m_units.clear();
        if (const sParameterReading* row = SelectedRow())
        {
            const CDynArray<USHORT> unitIds = GetParameterUnitIds(*row);
            for (uint32_t i = 0; i < unitIds.GetCount(); ++i)
            {
                m_units.addItem(ui::ToQString(GetUnitAbbreviation(unitIds[i])),
                                static_cast<uint>(unitIds[i]));
                if (unitIds[i] == row->UnitId)
                    m_units.setCurrentIndex(static_cast<int>(i));
            }
        }
    }
    LoadNegativeValueOption();
}

void CCtrlPage_SensorSetup::OnSelChangeSensorList()
{
    if (!GetSelectedSensorItem())
        return;
    {
        const QSignalBlocker blocker(&m_parameterList);
        m_parameterList.setCurrentRow(0);
    }
    RefreshPage();
    FillParameterList(TRUE);
}

void CCtrlPage_SensorSetup::OnSelChangeParameterList()
{
    if (SelectedRow() == nullptr)
        return;
    SetSentinelText();
    FillUnitList();
}

// ---- Showing and enabling ----

void CCtrlPage_SensorSetup::UpdateSensorControls()
{
    for (QGroupBox* group :
         {m_pSalinityGroup, m_pBaroGroup, m_pRefTempGroup, m_pDensityGroup, m_pOffsetGroup, m_pNegativeGroup})
        group->hide();
    const std::optional<USHORT> selected = GetSelectedSensorItem();
    if (!selected || !IsConnected() || !IsSensorEntry(*selected))
        return;
    const std::optional<USHORT> sensorId = ListedSensorId(*selected);
    if (!sensorId)
        return;
    switch (*sensorId)
    {
    case SENSOR_ID_CONDUCTIVITY:
    case SENSOR_ID_CORE_CONDUCTIVITY:
        m_pRefTempGroup->show();
        break;
    case SENSOR_ID_OPTICAL_DO:
        m_autoSalinity.setEnabled(m_Connection.IsMultiSensorProbe() != FALSE);
        m_pSalinityGroup->show();
        m_pBaroGroup->show();
        break;
    case SENSOR_ID_PRESSURE_DEPTH:
        m_pDensityGroup->show();
        m_pOffsetGroup->show();
        break;
    default:
        break;
    }
}

void CCtrlPage_SensorSetup::RefreshPage()
{
    const bool connected = IsConnected() != FALSE;
    const std::optional<USHORT> selected = GetSelectedSensorItem();
    bool calibrate = selected.has_value() && IsSensorEntry(*selected);
    // The level sensor's pressure has no calibration here.
    if (calibrate && connected && m_levelPressureConnection == *selected)
        calibrate = false;
    UpdateSensorControls();
    LoadNegativeValueOption();
    m_btnCalibrate.setEnabled(connected && calibrate);
    for (QWidget* control : {static_cast<QWidget*>(&m_sensorList), static_cast<QWidget*>(&m_parameterList),
                             static_cast<QWidget*>(&m_units), static_cast<QWidget*>(&m_btnEditSentinel)})
        control->setEnabled(connected);
    // While the conductivity sensor supplies the salinity, the values are not the user's to edit.
    const bool salinityEditable = connected && !m_bAutoSalinity;
    for (QWidget* control :
         {static_cast<QWidget*>(&m_liveSalinityLabel), static_cast<QWidget*>(&m_defaultSalinityLabel),
          static_cast<QWidget*>(&m_liveSalinity), static_cast<QWidget*>(&m_defaultSalinity),
          static_cast<QWidget*>(&m_btnEditSalinity)})
        control->setEnabled(salinityEditable);
    m_sensorList.setFocus();
}

// ---- Settings ----

void CCtrlPage_SensorSetup::LoadSensorSettings()
{
    if (!IsConnected())
        return;
    const sSensorSettingsLoad load = ui::WaitForWork([this] { return ::LoadSensorSettings(m_Connection); });
    m_bAutoSalinity = load.autoSalinity;
    m_autoSalinity.setChecked(m_bAutoSalinity != FALSE);
    // What was read before a later step failed is shown (and a reference of neither 20 nor 25
    // corrected) all the same.
    if (load.referenceTemperature)
    {
        const float temperature = *load.referenceTemperature;
        if (temperature == REFERENCE_TEMPERATURE_20 || temperature == REFERENCE_TEMPERATURE_25)
        {
            ShowReferenceTemperature(temperature);
        }
        else
        {
            // The probe holds neither: it is given 25 degrees, as a click on that button would.
            ShowReferenceTemperature(REFERENCE_TEMPERATURE_25);
            PostHeldOnConnection([this] { SendCommand(IDC_SETUP_REF_TEMP_25); });
        }
    }
    if (load.failure)
    {
        ErrorBox(nullptr, load.failure.text);
        for (QLineEdit* edit : {&m_liveSalinity, &m_liveBaro, &m_defaultSalinity, &m_defaultBaro})
            edit->clear();
        m_liveSalinityHeld.reset();
        return;
    }
    if (load.vox)
    {
        m_liveSalinity.setText(ValueText(load.vox->liveSalinity));
        m_liveSalinityHeld = load.vox->liveSalinity;
        m_liveBaro.setText(ValueText(load.vox->liveBaro));
        m_defaultSalinity.setText(ValueText(load.vox->defaultSalinity));
        m_defaultBaro.setText(ValueText(load.vox->defaultBaro));
    }
    LoadPressureSettings();
}

void CCtrlPage_SensorSetup::ShowReferenceTemperature(std::optional<float> temperature)
{
    SetRadio(m_refTemp20, temperature == REFERENCE_TEMPERATURE_20);
    SetRadio(m_refTemp25, temperature == REFERENCE_TEMPERATURE_25);
}

void CCtrlPage_SensorSetup::LoadPressureSettings()
{
    if (!IsConnected())
        return;
    const sPressureSettingsLoad load =
        ui::WaitForWork([this] { return ::LoadPressureSettings(m_Connection); });
    if (load.failure)
    {
        ErrorBox(nullptr, load.failure.text);
        m_pressureOffset.clear();
        return;
    }
    if (!load.present)
        return;
    m_pressureLabel.setText(ui::ToQString(FormatPressureLabel(load.unitId)));
    if (load.offset)
        m_pressureOffset.setText(ValueText(*load.offset));
    m_autoDensity.setChecked(load.autoDensity != FALSE);
}

void CCtrlPage_SensorSetup::LoadNegativeValueOption()
{
    const sParameterReading* row = SelectedRow();
    const bool visible = row != nullptr && IsDoParameter(row->ParameterId) && IsConnected() &&
                         m_Connection.GetSlaveId().DeviceTypeId == DEVICE_TYPE_VOX_CORE_IC;
    if (visible)
    {
        // Only the concentration decides; the other two show how it is set.
        const bool editable = row->ParameterId == PARAMETER_ID_DO_CONCENTRATION;
        for (QRadioButton* radio : {&m_negativeAlways, &m_negativeNever, &m_negativeDuringCal})
            radio->setEnabled(editable);
        USHORT value = 0;
        if (const HRESULT hr =
                ui::WaitForWork([this, &value] { return ReadNegativeValueOption(m_Connection, value); });
            Failed(hr))
        {
            ShowErrorDetailBox(
                this, QStringLiteral("Error loading VOX options"),
                ui::ToQString(FormatTextWithErrorCode(u"Failed to read negative VOX handling register", hr)));
        }
        else
        {
            SetRadio(m_negativeAlways, value == NEGATIVE_DO_ALWAYS);
            SetRadio(m_negativeNever, value == NEGATIVE_DO_NEVER);
            SetRadio(m_negativeDuringCal, value == NEGATIVE_DO_DURING_CAL);
        }
    }
    m_pNegativeGroup->setVisible(visible);
}

HRESULT CCtrlPage_SensorSetup::WriteNegativeValueOption(USHORT value)
{
    const HRESULT hr =
        ui::WaitForWork([this, value] { return ::WriteNegativeValueOption(m_Connection, value); });
    if (Failed(hr))
        ShowErrorDetailBox(
            this, QStringLiteral("Failed to configure VOX options."),
            ui::ToQString(FormatTextWithErrorCode(u"Failed to write negative VOX handling register", hr)));
    return hr;
}

void CCtrlPage_SensorSetup::OnNegativeOption(UINT id, USHORT value)
{
    const QRadioButton& button = id == IDC_SETUP_NEGATIVE_ALWAYS       ? m_negativeAlways
                                 : id == IDC_SETUP_NEGATIVE_DURING_CAL ? m_negativeDuringCal
                                                                       : m_negativeNever;
    if (!button.isChecked())
        return;
    // A refused choice gives way to what the probe holds.
    if (Failed(WriteNegativeValueOption(value)))
        LoadNegativeValueOption();
}

void CCtrlPage_SensorSetup::OnEditSentinel()
{
    const sParameterReading* row = SelectedRow();
    if (row == nullptr)
        return;
    const sParameterReading reading = *row;
    CDlgPopup_EditValue popup(nullptr);
    popup.m_strTitle = QStringLiteral("Enter Sentinel Value");
    popup.m_strValueLabel = QStringLiteral("%1 (%2)").arg(
        ui::ToQString(GetParameterDisplayName(reading.SensorId, reading.ParameterId)),
        ui::ToQString(GetUnitAbbreviation(reading.UnitId)));
    popup.m_strRangeLabel.clear();
    popup.m_fMin = -FLT_MAX;
    popup.m_fMax = FLT_MAX;
    popup.m_bAllowMinus = TRUE;
    popup.m_bAllowDecimal = TRUE;
    // The value the probe holds, not the page's rounded text of it.
    popup.m_fValue = reading.Sentinel;
    if (popup.DoModal() != IDOK)
        return;
    // Nothing changed, nothing written: a rewrite would only be a chance to alter the probe.
    if (std::memcmp(&popup.m_fValue, &reading.Sentinel, sizeof(float)) == 0)
        return;
    const HRESULT hr = ui::WaitForWork([this, &reading, value = popup.m_fValue]
                                       { return ChangeParameterSentinel(m_Connection, reading, value); });
    if (Failed(hr))
    {
        FillParameterList(FALSE);
        ShowErrorCodeBox(this, QStringLiteral("Failed to change sentinel value in the probe."), hr);
        return;
    }
    FillParameterList(TRUE);
    ui::Dialogs().MessageBox(nullptr, QStringLiteral("Sentinel value changed successfully."),
                             ui::ApplicationName(), platform::MB_OK | platform::MB_ICONINFORMATION);
}

void CCtrlPage_SensorSetup::OnSelChangeUnits()
{
    const sParameterReading* row = SelectedRow();
    const int entry = m_units.currentIndex();
    if (row == nullptr || entry < 0)
        return;
    const sParameterReading reading = *row;
    const auto unitId = static_cast<USHORT>(m_units.itemData(entry).toUInt());
    const HRESULT hr = ui::WaitForWork([this, &reading, unitId]
                                       { return ChangeParameterUnit(m_Connection, reading, unitId); });
    if (Failed(hr))
    {
        FillParameterList(FALSE);
        ShowErrorCodeBox(this, QStringLiteral("Failed to change the unit id in the probe"), hr);
        return;
    }
    FillParameterList(TRUE);
    QMetaObject::invokeMethod(
        this,
        [this, entry]
        {
            const QSignalBlocker blocker(&m_units);
            if (entry < m_units.count())
                m_units.setCurrentIndex(entry);
        },
        Qt::QueuedConnection);
    if (reading.ParameterId == PARAMETER_ID_PRESSURE)
        LoadPressureSettings();
}

void CCtrlPage_SensorSetup::OnEditSalinity()
{
    CDlgEditSalinity dialog(this);
    // A value the page could not read is offered as no number at all: nothing is written unless
    // the user types one.
    const std::optional<float> held = m_liveSalinityHeld;
    const QString shown = held ? ValueText(*held) : QString();
    dialog.m_strSalinity = shown;
    if (dialog.DoModal() != IDOK)
        return;
    // The text is rounded: a text the user left alone stands for the value the probe holds, which
    // needs no write, or, as a new default, goes there exactly.
    const bool untouched = held.has_value() && dialog.m_strSalinity == shown;
    if (untouched && !dialog.m_bUseAsDefault)
        return;
    const std::optional<double> salinity = ReadTypedNumber(ui::ToWideString(dialog.m_strSalinity));
    if (!salinity)
        return;
    const float value = untouched ? *held : static_cast<float>(*salinity);
    const sVoxWrite write = ui::WaitForWork([this, value, asDefault = dialog.m_bUseAsDefault]
                                            { return WriteSalinity(m_Connection, value, asDefault); });
    if (write.liveWritten)
    {
        m_liveSalinity.setText(ValueText(value));
        m_liveSalinityHeld = value;
    }
    if (write.defaultWritten)
        m_defaultSalinity.setText(ValueText(value));
    if (write.failure)
        UnownedErrorCodeBox(write.failure);
}

void CCtrlPage_SensorSetup::ClearBaroValues()
{
    // Whatever the probe now holds is not known: nothing is shown until the page reloads.
    m_liveBaro.clear();
    m_defaultBaro.clear();
}

HRESULT CCtrlPage_SensorSetup::ReadLiveBaro(float& live)
{
    NVSystem::ISensor_VoxPro* sensor = nullptr;
    if (Failed(m_Connection.GetVoxProSensor(sensor)) || sensor == nullptr)
        return E_FAIL;
    return sensor->ReadLiveBaro(live);
}

void CCtrlPage_SensorSetup::OnEditBaro()
{
    CDlgEditBaro dialog(this);
    float live = 0.0f;
    if (Failed(ui::WaitForWork([this, &live] { return ReadLiveBaro(live); })))
    {
        ClearBaroValues();
        return;
    }
    dialog.SetPressureMbar(live);
    if (dialog.DoModal() != IDOK)
        return;
    const auto pressure = static_cast<float>(dialog.GetPressureMbar());
    const sVoxWrite write = ui::WaitForWork([this, pressure, asDefault = dialog.GetUseAsDefault()]
                                            { return WriteBaro(m_Connection, pressure, asDefault); });
    if (write.failure)
    {
        ClearBaroValues();
        return;
    }
    if (write.defaultWritten)
        m_defaultBaro.setText(ValueText(pressure));
    m_liveBaro.setText(ValueText(pressure));
}

void CCtrlPage_SensorSetup::OnAutoSalinity()
{
    m_bAutoSalinity = m_autoSalinity.isChecked() ? TRUE : FALSE;
    if (const HRESULT hr =
            ui::WaitForWork([this, on = m_bAutoSalinity] { return WriteAutoSalinity(m_Connection, on); });
        Failed(hr))
    {
        UnownedErrorCodeBox({u"Failed to write auto salinity register.", hr});
        // The box shows what the probe holds.
        BOOL held = m_bAutoSalinity;
        ui::WaitForWork([this, &held] { return ReadAutoSalinity(m_Connection, held); });
        m_bAutoSalinity = held;
        m_autoSalinity.setChecked(m_bAutoSalinity != FALSE);
    }
    RefreshPage();
}

void CCtrlPage_SensorSetup::OnRefTemp(float temperature)
{
    const HRESULT hr =
        ui::WaitForWork([this, temperature] { return WriteReferenceTemperature(m_Connection, temperature); });
    if (Succeeded(hr))
    {
        ShowReferenceTemperature(temperature);
        return;
    }
    UnownedErrorCodeBox({u"Failed to change the specific conductivity reference temperature.", hr});
    float held = 0.0f;
    const HRESULT read =
        ui::WaitForWork([this, &held] { return ReadReferenceTemperature(m_Connection, held); });
    ShowReferenceTemperature(read == S_OK ? std::optional(held) : std::nullopt);
}

void CCtrlPage_SensorSetup::OnAutoDensity()
{
    if (!IsConnected())
        return;
    if (const sSettingsFailure failure = ui::WaitForWork([this, on = m_autoDensity.isChecked() ? TRUE : FALSE]
                                                         { return WriteAutoDensity(m_Connection, on); }))
    {
        ShowErrorCodeBox(this, Q(failure.text), failure.code);
        LoadPressureSettings();
    }
}

// ---- Calibrate ----

void CCtrlPage_SensorSetup::OnCalibrate()
{
    const std::optional<USHORT> selected = GetSelectedSensorItem();
    if (!selected || !IsSensorEntry(*selected) || !IsConnected())
        return;
    const std::optional<USHORT> listed = ListedSensorId(*selected);
    if (!listed)
        return;
    const USHORT sensorId = *listed;
    if (sensorId == SENSOR_ID_PRESSURE_DEPTH)
    {
        NVSystem::ISensor_PressureDepth* sensor = nullptr;
        if (Failed(m_Connection.GetPressureDepthSensor(sensor)) || sensor == nullptr)
            return;
        CDlgPressureCal dialog(this, m_Connection);
        dialog.SetReadingPeriod(m_pressureReadingPeriod);
        dialog.m_pSensor = sensor;
        dialog.m_nConnection = sensor->GetPressureConnection();
        dialog.DoModal();
        LoadPressureSettings();
        return;
    }
    if (const CalibrationDispatch& dispatch = Dispatch())
    {
        dispatch(*this, sensorId, *selected);
        // The optical sensor's wizard may have set a new live barometric pressure (unless it found
        // the probe silent).
        if (float live = 0.0f; sensorId == SENSOR_ID_OPTICAL_DO && IsConnected() &&
                               !m_Connection.IsMarkedSilent() &&
                               Succeeded(ui::WaitForWork([this, &live] { return ReadLiveBaro(live); })))
            m_liveBaro.setText(ValueText(live));
    }
}
