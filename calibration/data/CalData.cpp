#include "calibration/data/CalData.h"

#include <system_error>

#include "foundation/Units.h"
#include "platform/MessageBox.h"

namespace
{

constexpr char16_t kApplicationName[] = u"Tarnwick Software";
constexpr uint32_t kSamplesReady = 5;

} // namespace

CCalData::CCalData(ICalProbeConnection& probe, const Kind& kind)
    : m_probe(probe), m_kind(kind), m_sampleInterval(kind.sampleInterval == 0 ? 1 : kind.sampleInterval),
      m_runCacheTimeout(kind.cacheTimeout)
{
}

CCalData::~CCalData()
{
    // The kinds have stopped the worker already; this only catches a kind that forgot.
    if (m_worker.joinable())
    {
        m_stopEvent.Set();
        m_worker.join();
    }
}

HRESULT CCalData::Hold()
{
    std::lock_guard lock(m_dataLock);
    SetState(CAL_STATE_HOLD);
    return S_OK;
}

HRESULT CCalData::Run()
{
    std::lock_guard lock(m_dataLock);
    SetState(CAL_STATE_RUN);
    return S_OK;
}

HRESULT CCalData::Accept()
{
    std::lock_guard lock(m_dataLock);
    SetState(CAL_STATE_ACCEPT);
    return S_OK;
}

void CCalData::ResetPointSampleCount()
{
    std::lock_guard lock(m_dataLock);
    m_pointSampleCount = 0;
}

void CCalData::OnWorkerStarting()
{
    ResetPointSampleCount();
}

void CCalData::CountPointSample()
{
    uint32_t count = 0;
    {
        std::lock_guard lock(m_dataLock);
        count = ++m_pointSampleCount;
    }
    if (count >= kSamplesReady)
        PostNotify(windowmsg::WM_CAL_SAMPLES_READY);
}

void CCalData::FinishAccept(BOOL pointRemains)
{
    SetState(CAL_STATE_HOLD);
    if (pointRemains)
    {
        PostNotify(windowmsg::WM_CAL_NEXT_POINT);
        ResetPointSampleCount();
    }
    else
    {
        PostNotify(windowmsg::WM_CAL_ACCEPTED);
    }
}

HRESULT CCalData::TakeOverCalibration()
{
    NVSystem::CDeviceComm* device = CalDevice();
    if (device == nullptr)
        return E_POINTER;
    HRESULT hr = device->UpdateSensorCalibration(CalConnection());
    if (Succeeded(hr))
        hr = device->ReadSensorHeader(CalConnection());
    if (Failed(hr))
        return hr;
    BuildReport();
    return S_OK;
}

int32_t CCalData::GetStability()
{
    std::lock_guard lock(m_stateLock);
    return m_stability;
}

int32_t CCalData::GetState()
{
    std::lock_guard lock(m_stateLock);
    return m_state;
}

void CCalData::SetState(int32_t state)
{
    std::lock_guard lock(m_stateLock);
    m_state = state;
}

void CCalData::SetStability(int32_t level)
{
    std::lock_guard lock(m_stateLock);
    m_stability = level;
}

HRESULT CCalData::GetLastResult()
{
    std::lock_guard lock(m_stateLock);
    return m_lastResult;
}

void CCalData::SetLastResult(HRESULT hr)
{
    std::lock_guard lock(m_stateLock);
    m_lastResult = hr;
}

void CCalData::PostNotify(uint32_t message)
{
    if (INotifyWindow* window = m_pNotifyWnd.load())
        window->PostNotify(message, 0, 0);
}

NVSystem::CDeviceComm* CCalData::CalDevice()
{
    if (NVSystem::CDeviceComm* held = m_heldDevice.load())
        return held;
    return m_probe.GetCalDevice();
}

void CCalData::ShowError(const char16_t* format, HRESULT hr)
{
    const CWideString text(format, static_cast<uint32_t>(hr));
    platform::ShowMessageBox(nullptr, TextOf(text), m_kind.errorCaption, platform::MB_ICONERROR);
}

void CCalData::ConvertReading(float& value, USHORT& unit, USHORT target)
{
    double converted = 0.0;
    value =
        ConvertUnits(FromUnit{unit}, converted, ToUnit{target}, value) ? static_cast<float>(converted) : 0.0f;
    unit = target;
}

HRESULT CCalData::StartWorker(INotifyWindow* window, bool threaded)
{
    m_pNotifyWnd.store(window);
    if (!threaded)
    {
        m_workerMode = WorkerMode::Manual;
        return S_OK;
    }
    try
    {
        m_worker = std::thread(&CCalData::WorkerMain, this);
        m_workerMode = WorkerMode::Threaded;
    }
    catch (const std::system_error&)
    {
        platform::ShowMessageBox(nullptr, u"Failed to start reading thread.", kApplicationName,
                                 platform::MB_ICONERROR);
    }
    return S_OK;
}

void CCalData::StopWorker()
{
    if (m_worker.joinable())
    {
        m_stopEvent.Set();
        m_worker.join();
    }
    else if (m_workerMode == WorkerMode::Manual && m_workerAlive.load())
    {
        RunEndStep();
    }
    // A calibration mode that was switched on after the worker had ended has nobody else to end it.
    if (m_calModeOn.exchange(false))
    {
        if (NVSystem::CDeviceComm* device = CalDevice())
            device->SetSensorCalModeOff(CalConnection());
    }
}

HRESULT CCalData::CheckCanBegin()
{
    if (CalSensor() == nullptr)
        return E_POINTER;
    if (m_workerMode == WorkerMode::None || m_workerEnded.load())
        return E_HANDLE;
    return S_OK;
}

HRESULT CCalData::SwitchCalModeOn()
{
    NVSystem::CDeviceComm* device = CalDevice();
    const HRESULT hr = device != nullptr ? device->SetSensorCalModeOn(CalConnection()) : E_POINTER;
    if (Failed(hr))
    {
        ShowError(u"Failed to set device to calibration mode: %08X", hr);
        return hr;
    }
    m_calModeOn.store(true);
    return S_OK;
}

HRESULT CCalData::SetDeviceSettingsForCalibration(bool begin, USHORT cacheTimeoutMs)
{
    std::lock_guard lock(m_stateLock);
    NVSystem::CDeviceComm* device = CalDevice();
    if (device == nullptr)
        return E_POINTER;
    if (!begin)
    {
        const HRESULT hr = device->SetMeasurementCacheTimeout(m_savedCacheTimeout);
        return Failed(hr) ? hr : device->SetEOS(m_savedEOS);
    }
    HRESULT hr = device->GetMeasurementCacheTimeout(m_savedCacheTimeout);
    if (Failed(hr))
        return hr;
    hr = device->SetMeasurementCacheTimeout(cacheTimeoutMs);
    if (Failed(hr))
        return hr;
    hr = device->GetEOS(m_savedEOS);
    if (Succeeded(hr))
        hr = device->SetEOS(kCalibrationEOS);
    if (Failed(hr))
        device->SetMeasurementCacheTimeout(m_savedCacheTimeout); // the run does not happen
    return hr;
}

BOOL CCalData::RunStartSteps()
{
    if (CalSensor() == nullptr || m_workerAlive.load() || m_workerEnded.load())
        return FALSE;
    m_connection = CalConnection();
    m_stopwatch = std::make_unique<CStopwatch>(m_tickSource);
    m_stopwatch->Start();
    OnWorkerStarting();

    NVSystem::CDeviceComm* device = m_probe.GetCalDevice();
    HRESULT hr = E_POINTER;
    if (device != nullptr)
    {
        // Held from the first step, so that a disconnect cannot delete the device under the run.
        device->AddRef();
        m_heldDevice.store(device);
        if (m_kind.headerBeforeSettings)
        {
            hr = device->ReadSensorHeader(m_connection);
            if (Succeeded(hr))
                hr = SetDeviceSettingsForCalibration(true, m_runCacheTimeout);
        }
        else
        {
            hr = SetDeviceSettingsForCalibration(true, m_runCacheTimeout);
            if (Succeeded(hr))
            {
                hr = device->ReadSensorHeader(m_connection);
                if (Failed(hr))
                    SetDeviceSettingsForCalibration(false, 0);
            }
        }
    }
    if (Failed(hr))
    {
        SetLastResult(hr);
        m_heldDevice.store(nullptr);
        if (device != nullptr)
            device->Release();
        m_workerEnded.store(true);
        PostNotify(windowmsg::WM_READ_ERROR);
        return FALSE;
    }
    m_workerAlive.store(true);
    return TRUE;
}

BOOL CCalData::RunCycle()
{
    if (!m_workerAlive.load())
        return FALSE;
    if (!ReadCycle(GetState()))
    {
        PostNotify(windowmsg::WM_READ_ERROR);
        return FALSE;
    }
    PostNotify(windowmsg::WM_NEW_DATA);
    return TRUE;
}

void CCalData::RunEndStep()
{
    if (!m_workerAlive.load())
        return;
    NVSystem::CDeviceComm* device = m_heldDevice.load();
    HRESULT hr = device->SetSensorCalModeOff(m_connection);
    m_calModeOn.store(false);
    if (Failed(hr))
        SetLastResult(hr);
    hr = SetDeviceSettingsForCalibration(false, 0);
    if (Failed(hr))
        SetLastResult(hr);
    m_heldDevice.store(nullptr);
    device->Release();
    m_workerEnded.store(true);
    m_workerAlive.store(false);
}

void CCalData::WorkerMain()
{
    if (!RunStartSteps())
        return;
    while (RunCycle())
    {
        if (m_stopEvent.Wait(NextWaitMs(m_stopwatch->GetElapsedMs(), m_sampleInterval)))
            break;
    }
    RunEndStep();
}
