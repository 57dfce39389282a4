// The control block of the page-base test plug-ins. A test opens a plug-in library itself
// (the host's later load shares the same instance), takes this block from the export
// PagebaseTestPlugin_Control, sets the answer of FORMVIEWDLL_ReadPrinterSettings and reads
// back how often and on which thread it was called.
#pragma once

#include <qpu/plugin.h>

typedef struct PagebaseTestPluginControl
{
    int32_t readResult;
    int32_t readCalls;
    int32_t readOrder;        // value of *sequence at the last read
    int32_t* sequence;        // shared by the plug-ins of one test; may be null
    unsigned long readThread; // pthread_self() of the last read
} PagebaseTestPluginControl;

typedef PagebaseTestPluginControl* (*PagebaseTestPlugin_Control_t)(void);
