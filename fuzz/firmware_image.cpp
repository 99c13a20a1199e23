// Firmware image files come from wherever the user found them: validation must refuse anything
// malformed without reading outside the file, and accept only what it can describe.
#include <cstdint>

#include "foundation/FirmwareImage.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x100000)
        return 0;
    CFirmwareImage image;
    if (Failed(image.LoadBytes(data, size)))
    {
        Check(image.GetSize() == size); // a refused image stays loaded
        return 0;
    }
    Check(image.GetSize() == size && size >= 36);
    Check(image.GetDeviceTypeId() >= 1 && image.GetFirmwareVersion() >= 1);
    Check(image.GetLowestHardwareVersion() <= image.GetHighestHardwareVersion());
    Check(image.GetRecordCount() >= 1);
    // Validating twice gives the same answer.
    Check(image.Validate() == S_OK);
    return 0;
}
