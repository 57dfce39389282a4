#include "platform/log_categories.h"

Q_LOGGING_CATEGORY(lcPlugins, "qpu.plugins", QtWarningMsg)
Q_LOGGING_CATEGORY(lcComm, "qpu.comm", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPrtInf, "qpu.prtinf", QtWarningMsg)
