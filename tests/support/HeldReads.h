// Holds the simulated probe's worker inside its reads of register 40001 (which reads 0x1234) until
// released: the device model busy with a request, for the tests of what goes on meanwhile.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include "tools/probe-sim/ProbeSimulator.h"

namespace testsupport
{

class HeldReads
{
public:
    explicit HeldReads(probesim::ProbeSimulator& sim) : m_sim(sim)
    {
        sim.Registers().SetU16(40001, 0x1234);
        m_hook = sim.Registers().AddReadHook(40001, 1,
                                             [this](probesim::RegisterModel&, uint16_t, uint16_t)
                                             {
                                                 std::unique_lock lock(m_mutex);
                                                 m_entered = true;
                                                 m_changed.notify_all();
                                                 m_changed.wait(lock, [this] { return m_released; });
                                                 return std::optional<probesim::ExceptionCode>();
                                             });
    }
    ~HeldReads()
    {
        Release();
        m_sim.Registers().RemoveHook(m_hook);
    }

    void AwaitEntered()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    probesim::ProbeSimulator& m_sim;
    int m_hook = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_released = false;
};

} // namespace testsupport
