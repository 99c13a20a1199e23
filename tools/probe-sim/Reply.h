// What the device does with one request: answer with data, answer with an exception, or stay
// silent.
#pragma once

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

    static Reply WithData(std::vector<uint8_t> bytes) { return {Kind::Data, std::move(bytes), {}}; }
    static Reply WithException(ExceptionCode code) { return {Kind::Exception, {}, code}; }
    static Reply None() { return {}; }
};

} // namespace probesim
