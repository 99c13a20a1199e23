// Every user-note class: what the sensor and device classes include to write a note.
#pragma once

#include "device/MeasCacheTimeoutNote.h"
#include "models/CalibrationNotes.h"
#include "models/ConductanceCurveNote.h"
#include "models/PressureNotes.h"
#include "models/RestoreFactoryCalNote.h"
#include "models/SettingNotes.h"
#include "models/TwoSegmentCalNotes.h"
