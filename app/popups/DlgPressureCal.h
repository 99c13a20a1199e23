// CDlgPressureCal: "Calibrate Pressure". Zeroes the pressure/depth sensor of the probe, or restores
// its factory calibration. While it is open the sensor is in calibration mode with the device's
// measurement cache off, and the current raw pressure is shown every 2 seconds; OK writes the
// reading shown as the sensor's offset (or restores the factory calibration when that is ticked).
// A reading that holds no measurement (its quality says error or sensor missing, or it is the
// sentinel) is shown by its status and does not enable OK, nor does a reading of exactly 0.
// Every way out ends calibration mode and gives the cache its time-out back (CPressureCalibration).
// A failed read ends the dialog as Cancel does.
#pragma once

#include <chrono>
#include <memory>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "app/sensorsetup/PressureCalibration.h"
#include "connection/ProbeConnection.h"
#include "ui/NVButton.h"
#include "ui/NVDialog.h"

inline constexpr UINT IDC_PRESSURE_CAL_VALUE = 1279;
inline constexpr UINT IDC_PRESSURE_CAL_RESTORE = 1323;
inline constexpr UINT IDC_PRESSURE_CAL_GROUP = 1324;
inline constexpr UINT IDC_PRESSURE_CAL_NOTE = 1325;
inline constexpr UINT IDC_PRESSURE_CAL_VALUE_LABEL = 1326;

class CDlgPressureCal : public CNVDialog
{
    Q_OBJECT

public:
    static constexpr UINT kTemplateId = 200;

    explicit CDlgPressureCal(QWidget* pParentWnd = nullptr,
                             CProbeConnection& connection = theProbeConnection);
    ~CDlgPressureCal() override;

    // Set by the caller before DoModal.
    NVSystem::ISensor_PressureDepth* m_pSensor = nullptr;
    USHORT m_nConnection = 0;

    // Tests shorten the 2-second reading period.
    void SetReadingPeriod(std::chrono::milliseconds period) { m_readingPeriod = period; }

    QString GetValueText() const { return m_value.text(); }
    QString GetValueLabel() const { return m_valueLabel.text(); }
    CNVCheckBox& RestoreFactoryBox() { return m_restoreFactory; }
    CNVButton& OkButton() { return m_btnOk; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

private:
    LRESULT OnNewData();
    LRESULT OnReadError();
    void OnRestoreFactory();
    // Whether OK may take the reading shown as the zero: a measurement, and not exactly 0 (before the
    // first reading there is none; a zero of 0 would change nothing). One rule for every way OK is
    // enabled.
    bool CanTakeZero() const;

    CProbeConnection& m_Connection;
    std::chrono::milliseconds m_readingPeriod = PRESSURE_READING_PERIOD;
    std::unique_ptr<CPressureCalibration> m_pCalibration;
    // The reading shown, which OK writes.
    sPressureReading m_Reading;
    bool m_bEnded = false;

    QGroupBox m_group;
    QLabel m_note;
    QLabel m_valueLabel;
    QLineEdit m_value;
    CNVCheckBox m_restoreFactory;
    CNVButton m_btnOk;
    CNVButton m_btnCancel;
};
