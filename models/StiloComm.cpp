// The logger object: construction with its family's registers, the class test and downcast, the
// device's calibration mode, and the trace that the level settings use.
#include "models/StiloComm.h"

namespace NVSystem
{

namespace
{

bool IsLaterFamily(USHORT deviceType)
{
    return deviceType == 6 || deviceType == 8 || deviceType == 15 || deviceType == 16;
}

} // namespace

CStiloComm::CStiloComm(const SlaveIdInfo& slaveId) : COfflineCalibratedLogger(slaveId, kClassSignature)
{
    PlaceLoggerRegisters(m_RegisterMap, IsLaterFamily(slaveId.DeviceTypeId) ? LOGGER_REGISTERS_47000
                                                                            : LOGGER_REGISTERS_40100);
}

bool CStiloComm::IsStilo(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CStiloComm* CStiloComm::QueryStiloComm()
{
    if (!CarriesSignatures())
        return nullptr;
    AddRef();
    return this;
}

ISensor_PressureTempLevel* CStiloComm::GetPressureTempLevelSensor()
{
    return this;
}

// --- What the level settings need ---

CTraceLog& CStiloComm::StepTrace()
{
    return m_Trace << TRACE_LEVEL1 << u"Stilo Device: " << Address();
}

} // namespace NVSystem
