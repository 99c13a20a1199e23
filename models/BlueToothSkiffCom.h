// The Bluetooth skiff (device type 13): a plain device whose class adds only its signature and its
// downcast.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/DeviceComm.h"

namespace NVSystem
{

class CBlueToothSkiffCom : public CDeviceComm
{
public:
    static constexpr uint32_t kClassSignature = 0x42545343; // 'BTSC'

    explicit CBlueToothSkiffCom(const SlaveIdInfo& slaveId) : CDeviceComm(slaveId) {}

    // Whatever the pointer: true for a live device object of this class.
    static bool IsBlueToothSkiff(CDeviceComm* device);

    uint32_t GetClassSignature() const override { return m_nClassSignature.load(); }
    CBlueToothSkiffCom* QueryBlueToothSkiffCom() override;

protected:
    ~CBlueToothSkiffCom() override { m_nClassSignature.store(0); }

private:
    std::atomic<uint32_t> m_nClassSignature{kClassSignature};
};

} // namespace NVSystem
