#include "tools/probe-sim/DeviceModel.h"

#include "tools/probe-sim/StandardFunctions.h"

namespace probesim
{

DeviceModel::DeviceModel()
{
    SetFunctionHandler(kReadHoldingRegisters, [this](const Adu& request)
                       { return ReadRegisters(m_registers, RegisterClass::Holding, request); });
    SetFunctionHandler(kReadInputRegisters, [this](const Adu& request)
                       { return ReadRegisters(m_registers, RegisterClass::Input, request); });
    SetFunctionHandler(
        kWriteRegisters, [this](const Adu& request) { return WriteRegisters(m_registers, request); }, true);
    SetFunctionHandler(kReportSlaveId,
                       [this](const Adu& request) { return ReportSlaveId(Identity(), request); });
}

void DeviceModel::SetIdentity(const SlaveIdentity& identity)
{
    (void)EncodeSlaveIdRecord(identity); // refuses what could not be answered
    std::lock_guard lock(m_mutex);
    m_identity = identity;
}

SlaveIdentity DeviceModel::Identity() const
{
    std::lock_guard lock(m_mutex);
    return m_identity;
}

void DeviceModel::SetFunctionHandler(uint8_t function, FunctionHandler handler, bool acceptsBroadcast)
{
    std::lock_guard lock(m_mutex);
    m_functions[function] = Entry{std::move(handler), acceptsBroadcast};
}

bool DeviceModel::AcceptsBroadcast(uint8_t function) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_functions.find(function);
    return it != m_functions.end() && it->second.acceptsBroadcast;
}

Reply DeviceModel::Handle(const Adu& request, std::string* failure)
{
    FunctionHandler handler;
    {
        // The handler runs unlocked so that it may replace handlers or read the identity.
        std::lock_guard lock(m_mutex);
        const auto it = m_functions.find(request.function);
        if (it != m_functions.end())
            handler = it->second.handler;
    }
    if (!handler)
        return Reply::WithException(ExceptionCode::IllegalFunction);
    try
    {
        return handler(request);
    }
    catch (const std::exception& e)
    {
        if (failure)
            *failure = e.what();
        return Reply::WithException(ExceptionCode::SlaveDeviceFailure);
    }
}

} // namespace probesim
