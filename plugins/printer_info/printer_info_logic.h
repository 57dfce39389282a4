#pragma once

#include <qpu/app_state.h>
#include <qpu/plugin_sdk/data_blocks.h>
#include <qpu/plugin_sdk/printer_link.h>
#include <qpu/shipped_blocks.h>

#include <QDateTime>
#include <QString>

#include <optional>

// The printer's identity from block 0x10001, the status texts, and the test page. No
// widgets.
namespace printer_info {

struct Identity
{
    QString serialNumber;
    QString model;
    QString firmware;
    QString characterSet;
    bool read = false; // the information was read from the printer
};

// Block 0x10001 of the printer setting page (992 bytes): texts of 90 UTF-16 units.
inline constexpr int kInfoTextUnits = 90;
inline constexpr int kSerialOffset = 32;
inline constexpr int kModelOffset = 212;
inline constexpr int kFirmwareOffset = 572;
inline constexpr int kCharsetOffset = 752;
inline constexpr int kReadFlagOffset = 976;

Identity LoadIdentity(const qpu::sdk::DataBlocks& blocks);
// The documented default of block 0x10001, written when the host adds it for this plug-in.
int32_t WritePrinterInfoDefaults(const qpu::sdk::DataBlocks& blocks);

PrinterInfoPageBlock DefaultPageBlock();
bool LoadTestPrintWithSettings(const qpu::sdk::DataBlocks& blocks);
int32_t StoreTestPrintWithSettings(const qpu::sdk::DataBlocks& blocks, bool withSettings);

// The status view's text number and English text of a status code of the communication
// library.
int StatusTextNumber(int32_t code);
QString StatusEnglish(int32_t code);

// True when a printer that reports the status code can print a page now: online, or a
// near-end (paper, journal, ink) that still prints. Offline, errors, an open cover, the end
// of the paper and every other state stop printing.
bool CanPrintWithStatus(int32_t code);

// "keyword portName" of the selected port.
QString PortText(const AppState* state);

// The bytes of the test page: initialise, the identity, optionally the print settings of
// block 0x10005, the time, feed and cut. Texts go out as 8-bit characters; anything
// outside Latin-1 becomes '?'.
qpu::sdk::Bytes TestPage(const Identity& identity,
                         const std::optional<PrintSettingsBlock>& settings, const QDateTime& now);

} // namespace printer_info
