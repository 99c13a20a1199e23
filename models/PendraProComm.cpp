#include "models/PendraProComm.h"

namespace NVSystem
{

namespace
{

constexpr USHORT kTemplateVersionRegister = 47000;
constexpr USHORT kExternalVoltageRegister = 47001;

} // namespace

CPendraProComm::CPendraProComm(const SlaveIdInfo& slaveId) : CPressureTempDevice(slaveId, kClassSignature)
{
    m_RegisterMap.TemplateVersion = kTemplateVersionRegister;
    m_RegisterMap.ExternalVoltage = kExternalVoltageRegister;
}

} // namespace NVSystem
