#include "calibration/wizard/CalProbeConnection.h"

CProbeCalConnection& TheProbeCalConnection()
{
    static CProbeCalConnection connection(theProbeConnection);
    return connection;
}
