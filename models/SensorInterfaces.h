// Every sensor interface: what device classes, sensor adapters and their callers include.
#pragma once

#include "models/PressureSensorInterfaces.h"
#include "models/ProbeSensorInterfaces.h"
#include "models/SensorInterface.h"
#include "models/SondeSensorInterfaces.h"
