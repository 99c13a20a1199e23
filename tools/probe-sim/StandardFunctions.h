// The standard functions the instrument answers: read holding and input registers (3, 4), write
// registers (16) and Report Slave ID (17).
#pragma once

#include "tools/probe-sim/RegisterModel.h"
#include "tools/probe-sim/Reply.h"
#include "tools/probe-sim/SlaveIdentity.h"

namespace probesim
{

inline constexpr uint8_t kReadHoldingRegisters = 3;
inline constexpr uint8_t kReadInputRegisters = 4;
inline constexpr uint8_t kWriteRegisters = 16;
inline constexpr uint8_t kReportSlaveId = 17;

// The largest counts a request may carry, as in the standard.
inline constexpr uint16_t kMaxReadRegisters = 125;
inline constexpr uint16_t kMaxWriteRegisters = 123;

Reply ReadRegisters(RegisterModel& registers, RegisterClass cls, const Adu& request);
Reply WriteRegisters(RegisterModel& registers, const Adu& request);
Reply ReportSlaveId(const SlaveIdentity& identity, const Adu& request);

} // namespace probesim
