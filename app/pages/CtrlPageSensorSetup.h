// CCtrlPage_SensorSetup: the third page of the main window. It lists the sensors of the connected
// probe ("Temperature", each sensor, "All") and the parameters of the entry chosen, and lets the
// user change a parameter's unit and sentinel value, the optical sensor's salinity and barometric
// pressure, the conductivity sensor's reference temperature, the pressure/depth sensor's automatic
// density correction, the handling of negative dissolved-oxygen values, and start a calibration.
// Only the groups of the chosen sensor are shown.
//
// While connected, the sensor watch (CSensorWatch) looks at the probe once a second and posts
// WM_SENSORS_CHANGED when its sensor set or the optical sensor's cap changes; the page then
// rebuilds its lists and keeps the chosen entry. The watch looks only while the page is shown and
// no modal popup or wizard holds the main window.
//
// Calibrate opens the pressure zeroing for the pressure/depth sensor (id 84). The calibration
// wizards of the other sensors are opened through the calibration dispatch that the calibration
// code installs (SetCalibrationDispatch); after a dispatch for the optical sensor the page shows
// the live barometric pressure again, which the wizard may have changed.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "app/pages/CtrlPageBase.h"
#include "app/sensorsetup/PressureCalibration.h"
#include "app/sensorsetup/SensorWatch.h"
#include "connection/ProbeConnection.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "ui/NVButton.h"
#include "ui/NVComboBox.h"
#include "ui/NVListBox.h"

inline constexpr UINT IDC_SETUP_SENSOR_LIST = 1001;
inline constexpr UINT IDC_SETUP_PARAMETER_LIST = 1123;
inline constexpr UINT IDC_SETUP_SENTINEL = 1135;
inline constexpr UINT IDC_SETUP_EDIT_SENTINEL = 1126;
inline constexpr UINT IDC_SETUP_UNITS = 1124;
inline constexpr UINT IDC_SETUP_CALIBRATE = 1008;
inline constexpr UINT IDC_SETUP_SALINITY_GROUP = 1251;
inline constexpr UINT IDC_SETUP_AUTO_SALINITY = 1042;
inline constexpr UINT IDC_SETUP_LIVE_SALINITY_LABEL = 1253;
inline constexpr UINT IDC_SETUP_LIVE_SALINITY = 1255;
inline constexpr UINT IDC_SETUP_DEFAULT_SALINITY_LABEL = 1259;
inline constexpr UINT IDC_SETUP_DEFAULT_SALINITY = 1260;
inline constexpr UINT IDC_SETUP_EDIT_SALINITY = 1258;
inline constexpr UINT IDC_SETUP_BARO_GROUP = 1252;
inline constexpr UINT IDC_SETUP_LIVE_BARO_LABEL = 1254;
inline constexpr UINT IDC_SETUP_LIVE_BARO = 1256;
inline constexpr UINT IDC_SETUP_DEFAULT_BARO_LABEL = 1261;
inline constexpr UINT IDC_SETUP_DEFAULT_BARO = 1262;
inline constexpr UINT IDC_SETUP_EDIT_BARO = 1257;
inline constexpr UINT IDC_SETUP_REF_TEMP_GROUP = 1248;
inline constexpr UINT IDC_SETUP_REF_TEMP_20 = 1249;
inline constexpr UINT IDC_SETUP_REF_TEMP_25 = 1250;
inline constexpr UINT IDC_SETUP_DENSITY_GROUP = 1316;
inline constexpr UINT IDC_SETUP_AUTO_DENSITY = 1044;
inline constexpr UINT IDC_SETUP_OFFSET_GROUP = 1318;
inline constexpr UINT IDC_SETUP_PRESSURE_LABEL = 1319;
inline constexpr UINT IDC_SETUP_PRESSURE_OFFSET = 1279;
inline constexpr UINT IDC_SETUP_NEGATIVE_ALWAYS = 1327;
inline constexpr UINT IDC_SETUP_NEGATIVE_DURING_CAL = 1328;
inline constexpr UINT IDC_SETUP_NEGATIVE_NEVER = 1329;

class CCtrlPage_SensorSetup : public CCtrlPage_Base
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 133;

    // The calibration of a sensor other than the pressure/depth sensor, by its sensor id and
    // connection; runs modally and returns when the calibration has ended.
    using CalibrationDispatch =
        std::function<void(CCtrlPage_SensorSetup& page, USHORT sensorId, USHORT sensorConnection)>;
    // Installs the dispatch (null: none) for every page; returns the one before.
    static CalibrationDispatch SetCalibrationDispatch(CalibrationDispatch dispatch);

    explicit CCtrlPage_SensorSetup(QWidget* pParentWnd = nullptr,
                                   CProbeConnection& connection = theProbeConnection);
    // Stops the sensor watch.
    ~CCtrlPage_SensorSetup() override;

    LRESULT OnDeviceConnected(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDeviceDisconnected(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnRequestDisconnect(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDeviceReset(WPARAM wParam, LPARAM lParam) override;
    void RefreshPage() override;

    void ReloadPage();
    void FillSensorList();
    void FillParameterList(BOOL useCache);
    void FillUnitList();
    void UpdateSensorControls();
    void LoadSensorSettings();
    void LoadPressureSettings();
    void LoadNegativeValueOption();
    HRESULT WriteNegativeValueOption(USHORT value);

    // The period of the sensor watch (1 s) and of the pressure zeroing's readings (2 s); tests
    // shorten them.
    void SetSensorWatchPeriod(std::chrono::milliseconds period) { m_watchPeriod = period; }
    void SetPressureReadingPeriod(std::chrono::milliseconds period) { m_pressureReadingPeriod = period; }
    BOOL IsSensorWatchRunning() const;
    // What the watch asks before each look: the page is shown and nothing modal holds the main
    // window. Any thread.
    bool IsSensorWatchActive() const;

    // ---- What the page shows, for the windows that host it and for tests ----

    CNVListBox& SensorList() { return m_sensorList; }
    CNVListBox& ParameterList() { return m_parameterList; }
    CNVComboBox& UnitCombo() { return m_units; }
    CNVButton& CalibrateButton() { return m_btnCalibrate; }
    // The item data of the selected sensor entry; none when no entry is selected.
    std::optional<USHORT> GetSelectedSensorItem() const;
    const CDynArray<sParameterReading>& GetParameterRows() const { return m_Params; }
    // The text of an edit or label of the page by id; empty for another id.
    QString GetControlText(UINT id) const;

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnShowWindow(BOOL bShow) override;
    void OnTimer(UINT id) override;
    void changeEvent(QEvent* event) override;

    // The Calibrate button: the pressure zeroing for sensor id 84, the dispatch for any other.
    virtual void OnCalibrate();

private:
    void CreateControls();
    QGroupBox* CreateSalinityGroup();
    QGroupBox* CreateBaroGroup();
    QGroupBox* CreateRefTempGroup();
    QGroupBox* CreateDensityGroup();
    QGroupBox* CreateOffsetGroup();
    QGroupBox* CreateNegativeGroup();
    void ConnectCommand(QAbstractButton& button, UINT id);

    // connectionId: the link the watch looked at (0: not known).
    LRESULT OnSensorsChanged(ULONG connectionId);
    void OnSelChangeSensorList();
    void OnSelChangeParameterList();
    void OnSelChangeUnits();
    void OnEditSentinel();
    void OnEditSalinity();
    void OnEditBaro();
    void OnAutoSalinity();
    void OnRefTemp(float temperature);
    void OnAutoDensity();
    void OnNegativeOption(UINT id, USHORT value);

    void StartSensorWatch();
    void StopSensorWatch();

    BOOL IsConnected() const;
    // The connected device, held for as long as the caller needs it; null while disconnected.
    DeviceRef HoldDevice() const;
    // Held work that talks to the probe: dropped when the connection it was asked on has ended.
    void PostHeldOnConnection(std::function<void()> work);
    // The selected parameter row, or null.
    const sParameterReading* SelectedRow() const;
    void ClearLists();
    void ShowReferenceTemperature(std::optional<float> temperature);
    void ClearBaroValues();
    // The id of the sensor listed at the connection, as read with the list.
    std::optional<USHORT> ListedSensorId(USHORT connection) const;
    // The optical sensor's live pressure, from the probe (on a worker).
    HRESULT ReadLiveBaro(float& live);
    void SetSentinelText();

    CProbeConnection& m_Connection;

    CNVListBox m_sensorList;
    CNVListBox m_parameterList;
    QLineEdit m_sentinel;
    CNVButton m_btnEditSentinel;
    CNVComboBox m_units;
    CNVButton m_btnCalibrate;
    QGroupBox* m_pSalinityGroup = nullptr;
    CNVCheckBox m_autoSalinity;
    QLabel m_liveSalinityLabel;
    QLineEdit m_liveSalinity;
    // The live salinity the probe reported or took last, which m_liveSalinity shows rounded.
    std::optional<float> m_liveSalinityHeld;
    QLabel m_defaultSalinityLabel;
    QLineEdit m_defaultSalinity;
    CNVButton m_btnEditSalinity;
    QGroupBox* m_pBaroGroup = nullptr;
    QLineEdit m_liveBaro;
    QLineEdit m_defaultBaro;
    QPushButton m_btnEditBaro;
    QGroupBox* m_pRefTempGroup = nullptr;
    CNVRadioButton m_refTemp20;
    CNVRadioButton m_refTemp25;
    QGroupBox* m_pDensityGroup = nullptr;
    QCheckBox m_autoDensity;
    QGroupBox* m_pOffsetGroup = nullptr;
    QLabel m_pressureLabel;
    QLineEdit m_pressureOffset;
    QGroupBox* m_pNegativeGroup = nullptr;
    CNVRadioButton m_negativeAlways;
    CNVRadioButton m_negativeDuringCal;
    CNVRadioButton m_negativeNever;

    BOOL m_bAutoSalinity = FALSE;
    CDynArray<sParameterReading> m_Params;
    CDynArray<USHORT> m_Connections;
    // Read with the sensor list, so that choosing an entry asks the probe nothing: the sensor id
    // of each listed connection, and the connection of the level sensor's pressure.
    std::map<USHORT, USHORT> m_SensorIds;
    std::optional<USHORT> m_levelPressureConnection;

    // What the watch asks on its thread.
    std::atomic<bool> m_bPageShown{false};
    std::atomic<bool> m_bPageEnabled{true};
    const CNVDialog* m_pTopLevel = nullptr; // set before the watch starts
    std::chrono::milliseconds m_watchPeriod = SENSOR_WATCH_PERIOD;
    std::chrono::milliseconds m_pressureReadingPeriod = PRESSURE_READING_PERIOD;
    std::unique_ptr<CSensorWatch> m_pWatch;
};
