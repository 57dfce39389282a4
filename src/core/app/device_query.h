#pragma once

#include <qpu/app_state.h>

// Asks the printer information library (libPrtInfMgrDLL.so in state.programFolder, then the
// default search) for the connected printer's device ID and stores it in state.deviceId.
// The ID is 0 unless the printer answered at start-up (startupCommResult 0), the library
// and its entry points are there and it reports success.
void QueryDeviceId(AppState& state, int32_t startupCommResult);

// Sets the command 1/14/48 flag from QPC_IsEnableCommand (0 when the library is not bound)
// and, when the printer answered at start-up, raises the feature-100 flag from
// QPC_IsSupported(100). The feature-100 flag is never lowered.
void QueryFeatureFlags(AppState& state, int32_t startupCommResult);
