#include "capabilities.h"

#include <qpu/comm_lib.h>

namespace qpcomm {

bool isFeatureSupported(int32_t feature)
{
    switch (feature) {
    case QPC_FEATURE_AUTOMATIC_STATUS:
    case QPC_FEATURE_REALTIME_STATUS:
    case QPC_FEATURE_PRINTER_ID:
    case QPC_FEATURE_USER_SETTING:
    case QPC_FEATURE_BACKUP_RESTORE:
    case QPC_FEATURE_STATUS_PROC:
        return true;
    default:
        return false;
    }
}

bool isCommandEnabled(int32_t category, int32_t function, int32_t parameter)
{
    switch (category) {
    case QPC_COMMAND_USER_SETTING:
        switch (function) {
        case 1:
        case 2:
            return true;
        case 3:
        case 4:
            return parameter >= 1 && parameter <= 8;
        case 5:
        case 6:
            return parameter >= 0 && parameter <= 255;
        default:
            return false;
        }
    case QPC_COMMAND_PRINTER_ID:
        return function == 1 || (function >= 0x41 && function <= 0x45);
    case QPC_COMMAND_REALTIME_STATUS:
        return function >= 1 && function <= 8;
    default:
        return false;
    }
}

} // namespace qpcomm
