#include "app/sensorsetup/PressureCalibration.h"

#include <system_error>

#include "calibration/data/Leftovers.h"
#include "connection/SensorReadings.h"
#include "foundation/ResultCodes.h"
#include "models/LevelSettings.h"
#include "models/ProbeSensorInterfaces.h"
#include "models/SensorAdapterBase.h"

namespace
{

constexpr USHORT PARAMETER_ID_PRESSURE = 2;

sSettingsFailure Failure(const char16_t* text, HRESULT code)
{
    return sSettingsFailure{text, code};
}

// The number of the pressure parameter in the sensor, whose sentinel tells a missing reading; 0 when
// the sensor does not list it.
USHORT FindPressureParameter(NVSystem::CDeviceComm& device, USHORT connection)
{
    CDynArray<sParameterReading> readings;
    if (Failed(device.GetSensorParameters(connection, readings, TRUE)))
        return 0;
    for (uint32_t i = 0; i < readings.GetCount(); ++i)
    {
        if (readings[i].ParameterId == PARAMETER_ID_PRESSURE)
            return readings[i].ParameterNumber;
    }
    return 0;
}

} // namespace

CPressureCalibration::CPressureCalibration(CProbeConnection& connection,
                                           NVSystem::ISensor_PressureDepth* sensor, USHORT sensorConnection,
                                           INotifyWindow& window, std::chrono::milliseconds period,
                                           sLivePollClock clock)
    : m_pDevice(connection.HoldConnectedProbe()), m_pSensor(sensor), m_nConnection(sensorConnection),
      m_Window(window),
      m_nPeriodMs(static_cast<uint64_t>((period.count() > 0 ? period : PRESSURE_READING_PERIOD).count())),
      m_Clock(std::move(clock))
{
}

CPressureCalibration::~CPressureCalibration()
{
    Leave();
}

sSettingsFailure CPressureCalibration::Begin(USHORT& pressureUnitId)
{
    if (m_pDevice == nullptr || m_pSensor == nullptr)
        return Failure(u"Failed to update sensor cache", E_FAIL);
    if (const HRESULT hr = m_pDevice->ReadSensorHeader(m_nConnection); Failed(hr))
        return Failure(u"Failed to update sensor cache", hr);
    if (const HRESULT hr = m_pSensor->GetPressureUnit(pressureUnitId); Failed(hr))
        return Failure(u"Failed to get pressure units", hr);
    m_nPressureParameter = FindPressureParameter(*m_pDevice, m_nConnection);
    USHORT timeout = 0;
    if (const HRESULT hr = m_pDevice->GetMeasurementCacheTimeout(timeout); Failed(hr))
        return Failure(u"Failed to disable measurement cache", hr);
    m_nSavedCacheTimeout = timeout;
    // A time-out of 0 has nothing to give back.
    m_bCachePending = timeout != 0;
    if (const HRESULT hr = m_pDevice->SetMeasurementCacheTimeout(0); Failed(hr))
        return Failure(u"Failed to disable measurement cache", hr);
    m_bCalModePending = true;
    if (const HRESULT hr = m_pDevice->SetSensorCalModeOn(m_nConnection); Failed(hr))
        return Failure(u"Failed to start calibration", hr);
    return {};
}

bool CPressureCalibration::StartReading()
{
    StopReading();
    if (m_pSensor == nullptr || m_bLeft)
        return false;
    m_StopEvent.ResetEvent();
    try
    {
        m_thread = std::thread(&CPressureCalibration::Run, this);
    }
    catch (const std::system_error&)
    {
        return false;
    }
    return true;
}

sPressureReading CPressureCalibration::GetLastReading() const
{
    std::lock_guard lock(m_ReadingLock);
    return m_Reading;
}

void CPressureCalibration::StopReading()
{
    if (!m_thread.joinable())
        return;
    m_StopEvent.Set();
    m_thread.join();
}

void CPressureCalibration::Run()
{
    const uint64_t start = m_Clock.NowMs();
    for (;;)
    {
        float value = 0.0f;
        USHORT quality = 0;
        USHORT unitId = 0;
        if (Failed(m_pSensor->ReadPressure(value, quality, unitId, FALSE)))
        {
            m_Window.PostNotify(windowmsg::WM_READ_ERROR);
            return;
        }
        const bool usable =
            m_pDevice != nullptr &&
            NVSystem::ZeroReadingAccepted(*m_pDevice, m_nConnection, m_nPressureParameter, value, quality);
        {
            std::lock_guard lock(m_ReadingLock);
            m_Reading = sPressureReading{value, quality, usable};
        }
        m_Window.PostNotify(windowmsg::WM_NEW_DATA);
        // On to the next multiple of the period after the start, however long the read took.
        const uint64_t elapsed = m_Clock.NowMs() - start;
        if (m_Clock.WaitForStop(m_StopEvent, m_nPeriodMs - elapsed % m_nPeriodMs))
            return;
    }
}

CPressureCalibration::sFinishFailures CPressureCalibration::Finish(BOOL restoreFactory,
                                                                   const sPressureReading& zero)
{
    StopReading();
    sFinishFailures failures;
    if (m_pDevice == nullptr || m_pSensor == nullptr)
    {
        failures.calibration = Failure(restoreFactory ? u"Failed to restore calibration defaults"
                                                      : u"Failed to commit new calibration",
                                       E_FAIL);
        return failures;
    }
    if (!restoreFactory)
    {
        // A reading that holds no measurement would become a wrong offset, reported as a success.
        HRESULT hr =
            zero.usable ? m_pSensor->WriteDepthCalA(zero.value) : NVSystem::ADAPTER_E_INVALID_DEVICE_RESPONSE;
        if (Succeeded(hr))
            hr = m_pDevice->UpdateSensorCalibration(m_nConnection);
        if (Failed(hr))
            failures.calibration = Failure(u"Failed to commit new calibration", hr);
    }
    else
    {
        // The defaults are restored outside calibration mode; a switch-off that failed stays owed to
        // the way out.
        HRESULT hr = SwitchCalModeOff();
        if (Succeeded(hr))
            hr = m_pDevice->RestoreSensorCalDefaults(m_nConnection);
        if (Failed(hr))
            failures.calibration = Failure(u"Failed to restore calibration defaults", hr);
    }
    failures.leftovers = Leave();
    if (const HRESULT hr = m_pDevice->ReadSensorHeader(m_nConnection); Failed(hr))
        failures.header = Failure(u"Failed to update sensor cache", hr);
    return failures;
}

CWideString CPressureCalibration::Cancel()
{
    return Leave();
}

HRESULT CPressureCalibration::SwitchCalModeOff()
{
    const HRESULT hr = m_pDevice->SetSensorCalModeOff(m_nConnection);
    if (Succeeded(hr))
        m_bCalModePending = false;
    return hr;
}

void CPressureCalibration::TryRestores()
{
    if (m_bCalModePending)
        SwitchCalModeOff();
    if (m_bCachePending && Succeeded(m_pDevice->SetMeasurementCacheTimeout(m_nSavedCacheTimeout)))
        m_bCachePending = false;
}

CWideString CPressureCalibration::Leave()
{
    StopReading();
    if (m_bLeft || m_pDevice == nullptr)
        return m_Leftovers;
    m_bLeft = true;
    TryRestores();
    // What failed once more: the line may have been gone for a moment only.
    TryRestores();
    std::u16string lines;
    if (m_bCalModePending)
        AddLeftover(lines, CWideString(u"the pressure sensor in calibration mode"));
    if (m_bCachePending)
        AddLeftover(lines, CWideString(u"a measurement cache time-out of 0 ms instead of %u ms",
                                       unsigned{m_nSavedCacheTimeout}));
    m_Leftovers = LeftoversMessage(lines);
    return m_Leftovers;
}
