// What the device does with one request: answer with data, answer with an exception, or stay
// silent; and how long it works on the request before the answer can start.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "tools/probe-sim/Adu.h"

namespace probesim
{

struct Reply
{
    enum class Kind
    {
        Data,
        Exception,
        Silent,
    };

    Kind kind = Kind::Silent;
    std::vector<uint8_t> data; // after the function code (Data)
    ExceptionCode exception{}; // (Exception)
    // The device's own working time (a measurement, a slow block); scripted faults add to it.
    std::chrono::milliseconds delay{0};

    static Reply WithData(std::vector<uint8_t> bytes) { return {Kind::Data, std::move(bytes), {}, {}}; }
    static Reply WithException(ExceptionCode code) { return {Kind::Exception, {}, code, {}}; }
    static Reply None() { return {}; }
};

} // namespace probesim
