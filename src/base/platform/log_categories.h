#pragma once

#include <QLoggingCategory>

// The utility's diagnostics by area. Warnings are on by default; QT_LOGGING_RULES turns
// each area's messages on or off, e.g. QT_LOGGING_RULES="qpu.plugins.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPlugins) // qpu.plugins: setting-page plug-ins
Q_DECLARE_LOGGING_CATEGORY(lcComm)    // qpu.comm: the communication library
Q_DECLARE_LOGGING_CATEGORY(lcPrtInf)  // qpu.prtinf: the printer information library
