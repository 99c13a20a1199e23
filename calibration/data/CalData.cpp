#include "calibration/data/CalData.h"

#include <optional>
#include <system_error>

#include "calibration/data/Leftovers.h"
#include "comm/ModbusComm.h"
#include "connection/SensorStatusText.h"
#include "foundation/NameLookups.h"
#include "foundation/ResultCodes.h"
#include "foundation/Units.h"
#include "models/ReadingQuality.h"
#include "platform/MessageBox.h"

namespace
{

constexpr char16_t kApplicationName[] = u"Tarnwick Software";
constexpr uint32_t kSamplesReady = 5;

// The instrument answered with an exception: it did not carry the request out. Any other failure
// (no answer, a garbled one) leaves open whether it did.
bool RefusedByDevice(HRESULT hr)
{
    const auto code = static_cast<uint32_t>(hr);
    const auto base = static_cast<uint32_t>(MODBUSCOMM_E_EXCEPTION_BASE);
    return code > base && code <= base + 0xFFu;
}

// The run whose worker steps this thread is running (the worker thread, or a test driving the
// steps by hand).
thread_local const CCalData* t_workerOf = nullptr;

class WorkerStep
{
public:
    explicit WorkerStep(const CCalData* data) : m_previous(t_workerOf) { t_workerOf = data; }
    ~WorkerStep() { t_workerOf = m_previous; }
    WorkerStep(const WorkerStep&) = delete;
    WorkerStep& operator=(const WorkerStep&) = delete;

private:
    const CCalData* m_previous;
};

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
    HRESULT hr = Talk([this, device] { return device->UpdateSensorCalibration(CalConnection()); });
    if (Succeeded(hr))
        hr = Talk([this, device] { return device->ReadSensorHeader(CalConnection()); });
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

bool CCalData::ConvertReading(float& value, USHORT& unit, USHORT target)
{
    double converted = 0.0;
    if (!ConvertUnits(FromUnit{unit}, converted, ToUnit{target}, value))
        return false;
    value = static_cast<float>(converted);
    unit = target;
    return true;
}

BOOL CCalData::RefuseSample(const char16_t* quantity, USHORT unit, USHORT target)
{
    const CWideString given = GetUnitAbbreviation(unit);
    const CWideString needed = GetUnitAbbreviation(target);
    const CWideString text(
        u"The sensor reports %s in %s, which cannot be converted to %s for the calibration.\n"
        u"The calibration was stopped; nothing was written to the sensor.",
        quantity, TextOf(given), TextOf(needed));
    std::lock_guard lock(m_stateLock);
    m_refusal = text;
    m_lastResult = E_INVALIDARG;
    return FALSE;
}

CWideString CCalData::GetRefusalText()
{
    std::lock_guard lock(m_stateLock);
    return m_refusal;
}

bool CCalData::JudgeReading(float value, USHORT quality, std::optional<float> sentinel, CWideString& status)
{
    const bool measured = NVSystem::ReadingHoldsMeasurement(value, quality, sentinel);
    const USHORT code = NVSystem::QualityCode(quality);
    if (!measured && code != NVSystem::QUALITY_NORMAL)
    {
        USHORT version = 0;
        if (NVSystem::CDeviceComm* device = CalDevice())
            device->GetRegisterMapVersion(version);
        status = FormatSensorStatusText(code, version);
    }
    return measured;
}

bool CCalData::NoteTemperature(float value, USHORT quality)
{
    std::optional<float> sentinel;
    float own = 0.0f;
    if (NVSystem::ISensor_Temperature* sensor = CalSensor();
        sensor != nullptr && Succeeded(sensor->GetTemperatureSentinel(own)))
        sentinel = own;
    CWideString status;
    const bool measured = JudgeReading(value, quality, sentinel, status);
    std::lock_guard lock(m_stateLock);
    m_temperatureRefused = !measured;
    m_temperatureStatus = status;
    return measured;
}

bool CCalData::NoteReading(float value, USHORT quality, HRESULT sentinelResult, float sentinel)
{
    CWideString status;
    const bool measured = JudgeReading(
        value, quality, Succeeded(sentinelResult) ? std::optional(sentinel) : std::nullopt, status);
    std::lock_guard lock(m_stateLock);
    m_readingRefused = !measured;
    m_readingStatus = status;
    return measured;
}

bool CCalData::GetReadingRefusal(CWideString& status)
{
    std::lock_guard lock(m_stateLock);
    status = m_readingStatus;
    return m_readingRefused;
}

bool CCalData::GetTemperatureRefusal(CWideString& status)
{
    std::lock_guard lock(m_stateLock);
    status = m_temperatureStatus;
    return m_temperatureRefused;
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
}

HRESULT CCalData::Talk(const std::function<HRESULT()>& exchange)
{
    std::lock_guard turn(m_talkLock);
    return TalkWithinData(exchange);
}

HRESULT CCalData::TalkWithinData(const std::function<HRESULT()>& exchange)
{
    // The worker ends on any failed exchange: after one of its own that went unanswered it makes no
    // other, and whoever ends the run meets the line's check.
    if (t_workerOf == this && m_workerUnheard.load())
        return m_workerUnheardResult.load();
    return Noted(exchange());
}

BOOL CCalData::ReadFailed(HRESULT hr)
{
    SetLastResult(Noted(hr));
    return FALSE;
}

HRESULT CCalData::Noted(HRESULT hr)
{
    if (t_workerOf == this && IsUnansweredResult(hr))
    {
        m_workerUnheardResult.store(hr);
        m_workerUnheard.store(true);
    }
    NoteSilence();
    return hr;
}

void CCalData::NoteSilence()
{
    if (m_silent.load())
        return;
    NVSystem::CDeviceComm* device = CalDevice();
    CModbusComm* network = device != nullptr ? device->GetModbusComm() : nullptr;
    if (network == nullptr)
        return;
    if (network->IsSilent())
        m_silent.store(true);
    network->Release();
}

bool CCalData::CheckProbeAnswers()
{
    NVSystem::CDeviceComm* device = CalDevice();
    CModbusComm* network = device != nullptr ? device->GetModbusComm() : nullptr;
    if (network == nullptr)
        return !m_silent.load();
    if (!network->CheckIfUnheard(device->GetAddress()))
        m_silent.store(true);
    network->Release();
    return !m_silent.load();
}

bool CCalData::RestoresPending()
{
    std::lock_guard lock(m_stateLock);
    return m_calModeOn.load() || m_cacheTimeoutPending || m_eosPending;
}

void CCalData::RetryRestores()
{
    if (!RestoresPending())
        return;
    NVSystem::CDeviceComm* device = CalDevice();
    if (device == nullptr)
        return;
    if (m_calModeOn.load() &&
        Succeeded(Talk([this, device] { return device->SetSensorCalModeOff(CalConnection()); })))
        m_calModeOn.store(false);
    SetDeviceSettingsForCalibration(false, 0);
}

void CCalData::ReleaseHeldDevice(bool evenWithRestoresPending)
{
    if (!evenWithRestoresPending && RestoresPending())
        return;
    if (NVSystem::CDeviceComm* device = m_heldDevice.exchange(nullptr))
        device->Release();
}

CWideString CCalData::EndReading()
{
    if (!m_readingEnded)
    {
        m_readingEnded = true;
        StopWorker();
        // After an unanswered exchange the line's short check comes first, also with nothing left
        // to give back: whoever uses the link next learns whether the probe is silent.
        if (CheckProbeAnswers())
        {
            RetryRestores();
            OnReadingEnded();
        }
        ReleaseHeldDevice(true);
    }
    std::u16string lines;
    DescribeLeftovers(lines);
    return LeftoversMessage(lines);
}

void CCalData::DescribeLeftovers(std::u16string& lines)
{
    if (m_calModeOn.load())
        AddLeftover(lines, CWideString(u"the sensor in calibration mode"));
    std::lock_guard lock(m_stateLock);
    // A setting the run left as the probe had it is no leftover, written back or not.
    if (m_cacheTimeoutPending && m_runCacheTimeout != m_savedCacheTimeout)
        AddLeftover(lines, CWideString(u"a measurement cache time-out of %u ms instead of %u ms",
                                       unsigned{m_runCacheTimeout}, unsigned{m_savedCacheTimeout}));
    if (m_eosPending && kCalibrationEOS != m_savedEOS)
        AddLeftover(lines, CWideString(u"an EOS setting of %u instead of %u", unsigned{kCalibrationEOS},
                                       unsigned{m_savedEOS}));
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
    if (device == nullptr)
    {
        ShowError(u"Failed to set device to calibration mode: %08X", E_POINTER);
        return E_POINTER;
    }
    // Under the data lock of BeginCalibration.
    const HRESULT hr = TalkWithinData(
        [this, device]
        {
            // A command that went unanswered may still have been carried out: switched off either way.
            m_calModeOn.store(true);
            const HRESULT switched = device->SetSensorCalModeOn(CalConnection());
            // Again afterwards: a worker that ended meanwhile has cleared it with its own switch-off.
            m_calModeOn.store(!RefusedByDevice(switched));
            return switched;
        });
    if (Failed(hr))
    {
        ShowError(u"Failed to set device to calibration mode: %08X", hr);
        return hr;
    }
    return S_OK;
}

HRESULT CCalData::SetDeviceSettingsForCalibration(bool begin, USHORT cacheTimeoutMs)
{
    // Only one thread at a time writes these settings (the worker while it runs, the wizard after
    // it has stopped); the state lock guards the bookkeeping alone, never a talk with the device,
    // so that the wizard's reads of the state do not wait for a line that has gone quiet.
    NVSystem::CDeviceComm* device = CalDevice();
    if (device == nullptr)
        return E_POINTER;
    if (!begin)
    {
        bool cachePending = false;
        bool eosPending = false;
        USHORT savedCache = 0;
        USHORT savedEOS = 0;
        {
            std::lock_guard lock(m_stateLock);
            cachePending = m_cacheTimeoutPending;
            eosPending = m_eosPending;
            savedCache = m_savedCacheTimeout;
            savedEOS = m_savedEOS;
        }
        // Each setting is written back whether or not the other could be.
        HRESULT first = S_OK;
        if (cachePending)
        {
            const HRESULT hr =
                Talk([device, savedCache] { return device->SetMeasurementCacheTimeout(savedCache); });
            if (Succeeded(hr))
                SetPending(m_cacheTimeoutPending, false);
            else
                first = hr;
        }
        if (eosPending)
        {
            const HRESULT hr = Talk([device, savedEOS] { return device->SetEOS(savedEOS); });
            if (Succeeded(hr))
                SetPending(m_eosPending, false);
            else if (Succeeded(first))
                first = hr;
        }
        return first;
    }
    USHORT savedCache = 0;
    HRESULT hr = Talk([device, &savedCache] { return device->GetMeasurementCacheTimeout(savedCache); });
    if (Failed(hr))
        return hr;
    {
        std::lock_guard lock(m_stateLock);
        m_savedCacheTimeout = savedCache;
    }
    // A write that went unanswered may still have been carried out: it is written back unless the
    // instrument refused it. One that was never sent (the probe silent) is owed nothing.
    hr = WriteSetting(m_cacheTimeoutPending, [device, cacheTimeoutMs]
                      { return device->SetMeasurementCacheTimeout(cacheTimeoutMs); });
    if (Succeeded(hr))
    {
        USHORT savedEOS = 0;
        hr = Talk([device, &savedEOS] { return device->GetEOS(savedEOS); });
        if (Succeeded(hr))
        {
            std::lock_guard lock(m_stateLock);
            m_savedEOS = savedEOS;
        }
    }
    if (Succeeded(hr))
        hr = WriteSetting(m_eosPending, [device] { return device->SetEOS(kCalibrationEOS); });
    if (Failed(hr))
        SetDeviceSettingsForCalibration(false, 0); // the run does not happen
    return hr;
}

void CCalData::SetPending(bool& flag, bool pending)
{
    std::lock_guard lock(m_stateLock);
    flag = pending;
}

HRESULT CCalData::WriteSetting(bool& pending, const std::function<HRESULT()>& write)
{
    return Talk(
        [this, &pending, &write]
        {
            const HRESULT hr = write();
            // A write refused at the line because the probe was found silent never went out: it is
            // owed nothing (one that went unanswered leaves the line unheard, not silent).
            SetPending(pending, !RefusedByDevice(hr) && !m_silent.load());
            return hr;
        });
}

BOOL CCalData::RunStartSteps()
{
    const WorkerStep step(this);
    if (m_workerAlive.load() || m_workerEnded.load())
        return FALSE;
    if (CalSensor() == nullptr)
    {
        m_workerEnded.store(true); // nothing to read: it ends at once, saying nothing
        return FALSE;
    }
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
        const auto readHeader = [this, device] { return device->ReadSensorHeader(m_connection); };
        if (m_kind.headerBeforeSettings)
        {
            hr = Talk(readHeader);
            if (Succeeded(hr))
                hr = SetDeviceSettingsForCalibration(true, m_runCacheTimeout);
        }
        else
        {
            hr = SetDeviceSettingsForCalibration(true, m_runCacheTimeout);
            if (Succeeded(hr))
            {
                hr = Talk(readHeader);
                if (Failed(hr))
                    SetDeviceSettingsForCalibration(false, 0);
            }
        }
    }
    if (Failed(hr))
    {
        SetLastResult(hr);
        // A setting the failed start could not write back keeps the device for one more try.
        ReleaseHeldDevice(false);
        m_workerEnded.store(true);
        PostNotify(windowmsg::WM_READ_ERROR);
        return FALSE;
    }
    m_workerAlive.store(true);
    return TRUE;
}

BOOL CCalData::RunCycle()
{
    const WorkerStep step(this);
    if (!m_workerAlive.load())
        return FALSE;
    BOOL read = FALSE;
    {
        std::lock_guard turn(m_talkLock);
        read = ReadCycle(GetState());
    }
    if (!read)
    {
        PostNotify(windowmsg::WM_READ_ERROR);
        return FALSE;
    }
    PostNotify(windowmsg::WM_NEW_DATA);
    return TRUE;
}

void CCalData::RunEndStep()
{
    const WorkerStep step(this);
    if (!m_workerAlive.load())
        return;
    // Every step is tried, whichever failed before it.
    NVSystem::CDeviceComm* device = m_heldDevice.load();
    HRESULT hr = Talk([this, device] { return device->SetSensorCalModeOff(m_connection); });
    if (Succeeded(hr))
        m_calModeOn.store(false);
    else
        SetLastResult(hr);
    hr = SetDeviceSettingsForCalibration(false, 0);
    if (Failed(hr))
        SetLastResult(hr);
    // What could not be given back is tried again when the run ends, on the same device.
    ReleaseHeldDevice(false);
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
