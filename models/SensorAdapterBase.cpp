#include "models/SensorAdapterBase.h"

#include <atomic>

namespace NVSystem
{

namespace
{

std::atomic<SensorAdapterGoneObserver> g_adapterGoneObserver{nullptr};

} // namespace

SensorAdapterGoneObserver SetSensorAdapterGoneObserverForTests(SensorAdapterGoneObserver observer)
{
    return g_adapterGoneObserver.exchange(observer);
}

void NoteSensorAdapterGone(USHORT connection)
{
    if (const SensorAdapterGoneObserver observer = g_adapterGoneObserver.load())
        observer(connection);
}

} // namespace NVSystem
