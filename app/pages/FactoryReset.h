// The factory reset of the probe information page, without the window: the probe restores its
// factory settings, then the link is rebuilt at the probe's factory serial settings on the same
// port. No lock is held while the disconnect waits for busy workers.
#pragma once

#include "connection/ProbeConnection.h"
#include "platform/Types.h"

enum class EFactoryResetStep
{
    Done,
    Restore,   // the probe refused or failed the restore: "Failed to restore factory defaults"
    Reconnect, // the link at the factory settings failed: "Failed to reset communications and reconnect"
};

struct sFactoryResetResult
{
    EFactoryResetStep failedStep = EFactoryResetStep::Done;
    HRESULT code = S_OK;
};

sFactoryResetResult RestoreProbeFactoryDefaults(CProbeConnection& connection);
