#pragma once

#include <cstdint>

namespace qpcomm {

// What the QP-R60 understands, as QPC_IsSupported and QPC_IsEnableCommand tell it.
bool isFeatureSupported(int32_t feature);
bool isCommandEnabled(int32_t category, int32_t function, int32_t parameter);

} // namespace qpcomm
