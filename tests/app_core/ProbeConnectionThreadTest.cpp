// The connection shared between the user-interface thread and its workers: the busy count that a
// disconnect waits for, and the locked accessors used while connects and disconnects come and go.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "models/SensorInterfaces.h"
#include "platform/Sync.h"
#include "tests/app_core/ConnectionTestSupport.h"

namespace apptest
{
namespace
{

constexpr uint64_t kWaitMs = 5000;

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

} // namespace
} // namespace apptest
