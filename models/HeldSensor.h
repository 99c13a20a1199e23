// A sensor adapter that its device owns, as a std::unique_ptr would, but handed out without the
// device lock: a worker holds that lock across its reads of the probe, and the user-interface
// thread, which asks for the sensors, must not wait for a slow read to end. The device places its
// adapters once, before anybody asks, and deletes them as it goes.
#pragma once

#include <atomic>
#include <cstddef>

namespace NVSystem
{

template <typename Sensor>
class CHeldSensor
{
public:
    CHeldSensor() = default;
    ~CHeldSensor() { reset(); }
    CHeldSensor(const CHeldSensor&) = delete;
    CHeldSensor& operator=(const CHeldSensor&) = delete;

    Sensor* get() const { return m_pSensor.load(); }
    // Takes the sensor (null for none) and deletes the one held before.
    void reset(Sensor* sensor = nullptr) { delete m_pSensor.exchange(sensor); }
    bool operator==(std::nullptr_t) const { return get() == nullptr; }

private:
    std::atomic<Sensor*> m_pSensor{nullptr};
};

} // namespace NVSystem
