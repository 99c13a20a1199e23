// The connection shared between the user-interface thread and its workers: the busy count that a
// disconnect waits for, and the locked accessors used while connects and disconnects come and go.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/CommTimeouts.h"
#include "models/SensorInterfaces.h"
#include "platform/SettingsStore.h"
#include "platform/Sync.h"
#include "platform/UiThreadCheck.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

constexpr uint64_t kWaitMs = 5000;

// The device locks that a watched thread took (platform/UiThreadCheck.h), and the first one it had to
// wait for. A watched thread reports on itself only; the counts are read once it has reported.
std::atomic<int> g_nLocksTaken{0};
platform::CEvent g_lockAwaited(platform::CEvent::Reset::Manual);

void CountLocks(platform::UiThreadFault fault, const char*)
{
    if (fault == platform::UiThreadFault::ContendedLock)
        g_lockAwaited.Set();
    if (fault != platform::UiThreadFault::SerialIo)
        ++g_nLocksTaken;
}

// Watches the calling thread for as long as it lives.
class LockCount
{
public:
    LockCount()
    {
        g_nLocksTaken = 0;
        g_lockAwaited.ResetEvent();
        platform::WatchThisThreadAsUi({.reporter = &CountLocks, .everyLockTaken = true});
    }
    ~LockCount() { platform::WatchThisThreadAsUi({}); }
    LockCount(const LockCount&) = delete;
    LockCount& operator=(const LockCount&) = delete;
};

class ProbeConnectionThreads : public ConnectionTest
{
protected:
    // The device type read through a network, as the keep-alive reads it.
    static HRESULT ReadDeviceType(CModbusComm& network)
    {
        USHORT type = 0;
        const HRESULT hr = network.ReadUShort(1, 49001, type, 150, 1);
        return Succeeded(hr) && type != 12 ? E_FAIL : hr;
    }
};

TEST_F(ProbeConnectionThreads, ADisconnectWaitsForTheBusyWorker)
{
    StartConnected(12);
    ASSERT_TRUE(m_connection.AddBusy());
    platform::CEvent waiting(platform::CEvent::Reset::Manual);
    m_connection.SetBusyWaitObserverForTests([&] { waiting.Set(); });
    std::thread disconnect([&] { m_connection.DisconnectDevice(); });

    const bool disconnecting = waiting.Wait(kWaitMs);
    EXPECT_TRUE(disconnecting);
    if (disconnecting)
    {
        // The disconnect is under way, and the worker's line is still there.
        EXPECT_TRUE(m_connection.IsConnected());
        EXPECT_EQ(ReadDeviceType(*m_connection.GetModbus()), S_OK);
    }
    EXPECT_TRUE(m_connection.ReleaseBusy());
    disconnect.join();
    EXPECT_EQ(m_connection.GetModbus(), nullptr);
    EXPECT_FALSE(m_connection.AddBusy());
}

TEST_F(ProbeConnectionThreads, WorkersAndReconnectsShareTheConnectionSafely)
{
    StartConnected(12);
    std::atomic<bool> stop{false};
    std::atomic<int> failedBusyTransactions{0};
    std::atomic<int> referencedReads{0};
    platform::CEvent transacted(platform::CEvent::Reset::Auto);
    std::vector<std::thread> workers;
    // Keep-alive: a counted transaction, which a disconnect must never cut short.
    workers.emplace_back(
        [&]
        {
            while (!stop)
            {
                if (!m_connection.AddBusy())
                {
                    std::this_thread::yield();
                    continue;
                }
                if (Failed(ReadDeviceType(*m_connection.GetModbus())))
                    ++failedBusyTransactions;
                m_connection.ReleaseBusy();
                transacted.Set();
            }
        });
    // Pages and sensor watch: getters and names.
    workers.emplace_back(
        [&]
        {
            while (!stop)
            {
                NVSystem::ISensor_VoxPro* oxygen = nullptr;
                m_connection.GetVoxProSensor(oxygen);
                m_connection.IsMultiSensorProbe();
                m_connection.GetSerialNumberText();
                m_connection.GetCommSettings();
            }
        });
    // Reading threads: references of their own on the network and the device.
    workers.emplace_back(
        [&]
        {
            while (!stop)
            {
                if (CModbusComm* network = m_connection.GetModbusInterface())
                {
                    ReadDeviceType(*network);
                    network->Release();
                }
                if (NVSystem::CDeviceComm* probe = m_connection.AcquireProbe())
                {
                    USHORT type = 0;
                    if (Succeeded(probe->GetDeviceTypeId(type)) && type == 12)
                        ++referencedReads;
                    probe->Release();
                }
            }
        });

    // Each round disconnects and connects again while the workers are at it.
    bool rounds = true;
    for (int round = 0; round < 4 && rounds; ++round)
    {
        transacted.ResetEvent();
        rounds = transacted.Wait(kWaitMs) && m_connection.DisconnectDevice() == S_OK &&
                 m_connection.ConnectToDevice() == S_OK;
    }
    stop = true;
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_TRUE(rounds) << ::testing::PrintToString(Texts(m_boxes));
    EXPECT_EQ(failedBusyTransactions.load(), 0);
    EXPECT_GT(referencedReads.load(), 0);
    EXPECT_FALSE(m_connection.ReleaseBusy());
}

// What the windows ask of the connection and of the device while a worker reads the probe: none of it
// may wait for the device lock, which the worker holds across its read.
TEST_F(ProbeConnectionThreads, TheSensorsAndTheReferencesAreHadWithoutTheDeviceLock)
{
    for (const uint16_t deviceType : {18, 39, 12})
    {
        SCOPED_TRACE(deviceType);
        StartConnected(deviceType);
        NVSystem::ISensor_VoxPro* oxygen = nullptr;
        NVSystem::ISensor_Conductivity* conductivity = nullptr;
        NVSystem::ISensor_PressureTempLevel* level = nullptr;
        NVSystem::ISensor_PressureDepth* depth = nullptr;
        NVSystem::ISensor_pHORP* phOrp = nullptr;
        {
            const LockCount count;
            EXPECT_EQ(m_connection.GetVoxProSensor(oxygen), S_OK);
            EXPECT_EQ(m_connection.GetConductivitySensor(conductivity), S_OK);
            EXPECT_EQ(m_connection.GetLevelSensor(level), S_OK);
            EXPECT_EQ(m_connection.GetPressureDepthSensor(depth), S_OK);
            EXPECT_EQ(m_connection.GetPHORPSensor(phOrp), S_OK);
            NVSystem::CDeviceComm* probe = m_connection.AcquireProbe();
            ASSERT_NE(probe, nullptr);
            probe->Release();
            EXPECT_EQ(g_nLocksTaken.load(), 0);
        }
        // The getters hand out the sensors the probe has.
        EXPECT_NE(oxygen, nullptr);
        EXPECT_EQ(conductivity != nullptr, deviceType != 12);
        EXPECT_EQ(level != nullptr, deviceType == 18);
        EXPECT_EQ(phOrp != nullptr, deviceType == 18);
    }
}

// A thread that asks for the network waits for the device lock while a worker reads a silent probe;
// the connection lock, which everybody takes to see whether the probe is connected, is not held
// meanwhile.
TEST_F(ProbeConnectionThreads, WaitingForTheDeviceLockHoldsNoConnectionLock)
{
    // A read that takes long enough for the rest of the test to happen while it waits.
    ASSERT_TRUE(platform::settings::SetDword(platform::Hive::LocalMachine, COMM_TUNABLES_KEY,
                                             u"Read Register TO", 500));
    ResetCommTunablesForTests();
    StartConnected(12);
    NVSystem::CDeviceComm* probe = m_connection.AcquireProbe();
    ASSERT_NE(probe, nullptr);
    Sim().RequestFaults().LoseLine();
    const size_t heard = Sim().Log().ReceivedCount();
    std::atomic<bool> readEnded{false};
    std::thread worker(
        [&]
        {
            USHORT timeout = 0;
            probe->GetMeasurementCacheTimeout(timeout);
            readEnded = true;
        });
    // The worker's request is on the line: it holds the device lock until its read times out.
    ASSERT_TRUE(Sim().Log().WaitForReceived(heard + 1, std::chrono::milliseconds(kWaitMs)));
    CModbusComm* network = nullptr;
    std::thread asking(
        [&]
        {
            const LockCount count;
            network = m_connection.GetModbusInterface();
        });
    const bool awaited = g_lockAwaited.Wait(kWaitMs);
    EXPECT_TRUE(awaited) << "the network is handed out under the device lock";
    EXPECT_TRUE(m_connection.IsConnected());
    EXPECT_FALSE(readEnded) << "the connection lock was held while the device lock was awaited";
    worker.join();
    asking.join();
    ASSERT_NE(network, nullptr);
    network->Release();
    probe->Release();
    Sim().RequestFaults().RestoreLine();
}

} // namespace
} // namespace apptest
