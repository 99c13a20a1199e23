// Whatever bytes arrive as image blocks, the simulated boot code's record and header checks stay
// inside the bytes, and what they accept is what they claim: a record ends with CR LF, a header's
// record length is its record's.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "tools/probe-sim/FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    std::string problem;
    std::vector<uint8_t> record;
    if (const auto length = probesim::CheckRecord(bytes, problem, &record))
    {
        Check(*length >= 4 && *length <= size);
        Check(bytes[0] == ':' && bytes[*length - 2] == '\r' && bytes[*length - 1] == '\n');
        Check(record.size() == 4u + record[0]);
    }
    if (const auto header = probesim::ReadImageHeader(bytes, problem))
    {
        Check(header->recordBytes <= size);
        Check(header->lowestHardware <= header->highestHardware);
        Check(probesim::CheckRecord(bytes.first(header->recordBytes), problem).has_value());
    }
    (void)probesim::AreWholeRecords(bytes, problem);
    return 0;
}
