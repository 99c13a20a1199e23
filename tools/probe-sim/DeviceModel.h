// The simulated instrument behind the framing: its registers, its identity and the table of the
// functions it answers. Later device behaviour (command registers, sensors, files, boot code)
// attaches here through register hooks and function handlers.
//
// Every member is safe to call from any thread.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "tools/probe-sim/RegisterModel.h"
#include "tools/probe-sim/Reply.h"
#include "tools/probe-sim/SlaveIdentity.h"

namespace probesim
{

class DeviceModel
{
public:
    // Runs on the worker thread for a request addressed to the device (or broadcast, when the
    // handler accepts broadcasts; the reply is then dropped). An exception thrown by a handler
    // is answered with SlaveDeviceFailure.
    using FunctionHandler = std::function<Reply(const Adu& request)>;

    DeviceModel(); // answers functions 3, 4, 16 (also broadcast) and 17
    DeviceModel(const DeviceModel&) = delete;
    DeviceModel& operator=(const DeviceModel&) = delete;

    RegisterModel& Registers() { return m_registers; }

    // Throws std::out_of_range for an identity that has no record (see EncodeSlaveIdRecord).
    void SetIdentity(const SlaveIdentity& identity);
    SlaveIdentity Identity() const;

    // Replaces the handler of a function code (the standard ones included).
    void SetFunctionHandler(uint8_t function, FunctionHandler handler, bool acceptsBroadcast = false);
    bool AcceptsBroadcast(uint8_t function) const;

    // Runs one request; an unknown function answers IllegalFunction. failure receives the message of
    // an exception thrown by the handler.
    Reply Handle(const Adu& request, std::string* failure = nullptr);

private:
    struct Entry
    {
        FunctionHandler handler;
        bool acceptsBroadcast;
    };

    RegisterModel m_registers;
    mutable std::mutex m_mutex;
    SlaveIdentity m_identity;
    std::map<uint8_t, Entry> m_functions;
};

} // namespace probesim
