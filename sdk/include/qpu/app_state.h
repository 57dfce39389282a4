/* AppState: the one block of state that the utility shares with its dialogs and with
 * setting-page plug-ins. Zero-filled at construction, little-endian.
 *
 * Layout. Non-pointer fields keep their widths; the struct is packed to 4 bytes. With
 * P = sizeof(void*):
 *   field                     32-bit (P=4)  64-bit (P=8)
 *   languageId                    0             0
 *   languageIdText              4             4
 *   portType                    524           524
 *   portInfo                    528           528
 *   startMode                  6292          6292
 *   driverPortName             6296          6296
 *   printerName                6816          6816
 *   portPath                   7336          7336
 *   callerType                 7856          7856
 *   hostCode                   7860          7860
 *   reserved1                  7864          7864
 *   commLib                    8440          8440
 *   dataMgr                    8444          8448
 *   programFolder              8448          8456
 *   tempFolder                 8968          8976
 *   settingsFolder             9488          9496
 *   languageFolder            10008         10016
 *   outputFile                10528         10536
 *   logoFile                  11048         11056
 *   appLock                   11568         11576
 *   enableFlexibleFont        11572         11584   (then every later field +12)
 *   deviceId                  11644         11656
 *   size                      11648         11660
 */
#pragma once

#include <pthread.h>

#include "comm_lib.h"
#include "port_info.h"
#include "qpu_types.h"

/* AppState.hostCode is always this value. */
#define QPU_HOST_CODE 203
/* Number of supported communication interface slots. */
#define QPU_COMM_IF_SLOTS 5

#pragma pack(push, 4)
typedef struct AppState {
    int32_t languageId;
    QpuChar16 languageIdText[QPU_TEXT_UNITS]; /* four hex digits, from SETTING.INI */
    int32_t portType;                         /* PortType of the selected port */
    PortInfo portInfo;                        /* the selected port */
    int32_t startMode;
    QpuChar16 driverPortName[QPU_TEXT_UNITS]; /* option p */
    QpuChar16 printerName[QPU_TEXT_UNITS];    /* option q */
    QpuChar16 portPath[QPU_TEXT_UNITS];       /* option r */
    int32_t callerType;                       /* option d */
    int32_t hostCode;                         /* QPU_HOST_CODE */
    uint8_t reserved1[576];
    CommLibTable* commLib; /* null in start mode 4 */
    void* dataMgr;         /* the application's PluginDataMgr */
    QpuChar16 programFolder[QPU_TEXT_UNITS]; /* ends with '/' */
    QpuChar16 tempFolder[QPU_TEXT_UNITS];
    QpuChar16 settingsFolder[QPU_TEXT_UNITS];
    QpuChar16 languageFolder[QPU_TEXT_UNITS];
    QpuChar16 outputFile[QPU_TEXT_UNITS]; /* option mF */
    QpuChar16 logoFile[QPU_TEXT_UNITS];   /* empty unless start mode 4 */
    pthread_mutex_t* appLock;             /* recursive; held for a whole printer job */
    int32_t enableFlexibleFont;
    int32_t enableFontA;
    int32_t enableFontB;
    int32_t enableIFSelect;
    int32_t autoKeycodeNumbering;
    int32_t wmSupport;
    int32_t arpSupport;
    int32_t enableBTSearch;
    int32_t feature100Supported;
    int32_t enableAutoRestore;
    int32_t command1_14_48Enabled;
    int32_t commIfSlots[QPU_COMM_IF_SLOTS]; /* interface numbers, -1 = empty slot */
    int32_t defaultCommIf;
    int32_t reserved2;
    int32_t deviceId; /* from the printer information library; 0 when none */
} AppState;
#pragma pack(pop)

/* Offset of a field that lies after n pointer slots, given its 32-bit offset. */
#define QPU_APPSTATE_OFFSET(off32, slots) ((size_t)(off32) + (size_t)(slots) * (QPU_PTR_SIZE - 4))

QPU_STATIC_ASSERT(sizeof(AppState) == QPU_APPSTATE_OFFSET(11648, 3), "AppState size");
QPU_STATIC_ASSERT(offsetof(AppState, languageId) == 0, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, languageIdText) == 4, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, portType) == 524, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, portInfo) == 528, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, startMode) == 6292, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, driverPortName) == 6296, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, printerName) == 6816, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, portPath) == 7336, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, callerType) == 7856, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, hostCode) == 7860, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, reserved1) == 7864, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, commLib) == 8440, "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, dataMgr) == QPU_APPSTATE_OFFSET(8444, 1), "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, programFolder) == QPU_APPSTATE_OFFSET(8448, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, tempFolder) == QPU_APPSTATE_OFFSET(8968, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, settingsFolder) == QPU_APPSTATE_OFFSET(9488, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, languageFolder) == QPU_APPSTATE_OFFSET(10008, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, outputFile) == QPU_APPSTATE_OFFSET(10528, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, logoFile) == QPU_APPSTATE_OFFSET(11048, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, appLock) == QPU_APPSTATE_OFFSET(11568, 2),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, enableFlexibleFont) == QPU_APPSTATE_OFFSET(11572, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, enableFontA) == QPU_APPSTATE_OFFSET(11576, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, enableFontB) == QPU_APPSTATE_OFFSET(11580, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, enableIFSelect) == QPU_APPSTATE_OFFSET(11584, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, autoKeycodeNumbering) == QPU_APPSTATE_OFFSET(11588, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, wmSupport) == QPU_APPSTATE_OFFSET(11592, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, arpSupport) == QPU_APPSTATE_OFFSET(11596, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, enableBTSearch) == QPU_APPSTATE_OFFSET(11600, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, feature100Supported) == QPU_APPSTATE_OFFSET(11604, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, enableAutoRestore) == QPU_APPSTATE_OFFSET(11608, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, command1_14_48Enabled) == QPU_APPSTATE_OFFSET(11612, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, commIfSlots) == QPU_APPSTATE_OFFSET(11616, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, defaultCommIf) == QPU_APPSTATE_OFFSET(11636, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, reserved2) == QPU_APPSTATE_OFFSET(11640, 3),
                  "AppState layout");
QPU_STATIC_ASSERT(offsetof(AppState, deviceId) == QPU_APPSTATE_OFFSET(11644, 3),
                  "AppState layout");
