#pragma once

#include <qpu/comm_lib.h>

#include <QList>
#include <QString>

#include <memory>
#include <vector>

class CLangResStore;
struct AppState;
struct SpoolerPrinter;

// Window-free rules of the printer selection dialog: its texts, the port list it shows,
// the rows of driver mode and the sizes of its list.
namespace printer_select {

inline constexpr char kWindowName[] = "PRT_SELECT_DLG";
inline constexpr char kAddPortWindowName[] = "PORT_ADD_DLG";
inline constexpr char kSelectLangWindowName[] = "SELECT_LANG_DLG";
// The served model's driver name: start-up sets it as the driver-name filter in driver
// mode; a driver printer is listed only when its driver name contains it.
inline constexpr char16_t kDriverNameFilter[] = u"VORKA QP-R60 Receipt";
// A driver printer is one of ours only when its driver name also contains one of these.
inline constexpr char16_t kReceiptDriverMark[] = u" Receipt5";
inline constexpr char16_t kLabelDriverMark[] = u" Label5";
// The dialog's own result code: the printer answered with another model.
inline constexpr int32_t kWrongModel = -67;
// The two notices of text loading; they are compiled in only.
inline constexpr char kNoLanguageFileText[] =
    "Could not find the required files.\nClosing application.";
inline constexpr char kEnglishOnlyText[] =
    "Could not find the required files.\nDisplaying the screen in English.";

// Message numbers of window "PRT_SELECT_DLG".
enum Message : int
{
    kMsgSelectPrinter = 0,
    kMsgConfirmDelete = 1,
    kMsgWrongModel = 2,
    kMsgNoAnswer = 3,
    kMsgPortInUse = 4,
};
// String number of the word before the language name ("Select").
inline constexpr int kStrLanguageLabel = 5;

// The message's text from store, else its compiled-in English; message 2 is completed
// with the served model name.
QString MessageText(const CLangResStore& store, int number);

// The interface name shown for a port keyword ("COM" Serial, "LPT" Parallel, "USB", "NET",
// "BT" Bluetooth; exact comparison); any other keyword gives an empty text.
QString InterfaceName(const CLangResStore& store, const QString& keyword);

// "%s: %s" of string 5 ("Select") and the language's name, "English" when it has none.
QString LanguageLabel(const CLangResStore& store, const QString& languageName);

// PortType code of an interface keyword: "COM" 1, "LPT" 2, "USB" 3, "NET" 4, "BT" 5, exact
// comparison; 0 for anything else.
int PortTypeOfKeyword(const QString& keyword);

// The text after the last '/' of path, the whole path when it has none.
QString LastPathComponent(const QString& path);

// Width of the first list column: 1.2 times the larger of 100 pixels and the widest text,
// cut to whole pixels.
int FirstColumnWidth(int widestTextPx);

// Row height that makes rows 20 % taller than normal: with n = the rows of normal height
// that fit in the list's client area, ((clientHeight / n) * 120) / 100. A list too small
// for one row gives 120 % of the normal height.
int TallRowHeight(int clientHeightPx, int normalRowHeightPx);

// What loading the dialog's texts gave.
enum class TextLoad
{
    Failed,      // no language file at all: the dialog ends as by Cancel
    Loaded,      // the chosen language's file
    EnglishOnly, // only the English file: the language is now 0x0409 ("0409")
};

// Opens dialogTexts for window "PRT_SELECT_DLG" and addPortTexts for "PORT_ADD_DLG" in the
// language folder and language of state, English as the fallback. When only the English
// file exists, state's language becomes 1033 with the text "0409".
TextLoad LoadTexts(AppState& state, CLangResStore& dialogTexts, CLangResStore& addPortTexts);

// The library's port records, each at a fixed address for the life of the list.
class PortList
{
public:
    // Largest count of ports that is believed; a library that reports more is refused.
    static constexpr uint32_t kMaxPorts = 4096;

    // Asks the library for its ports: QPC_EnumPort(NULL, 0) for the count n, then with n
    // zeroed records. Only when that succeeds does the list take the new records; on any
    // failure it keeps its previous ones, so that rows pointing to them stay valid.
    int32_t Enumerate(const CommLibTable* table);

    int Count() const { return static_cast<int>(m_ports.size()); }
    PortInfo* At(int index) const { return m_ports.at(static_cast<size_t>(index)).get(); }

private:
    std::vector<std::unique_ptr<PortInfo>> m_ports;
};

// A printer queue of driver mode with the port record that belongs to it.
struct DriverPrinterRow
{
    QString printerName;
    PortInfo* port = nullptr;        // a record of the port list, or owned below
    std::unique_ptr<PortInfo> owned; // the record made for a queue without a library port
};

// The zero-filled record made for a queue without a library port: port name, device name
// = driver name, reserved numbers -1, origin 3.
std::unique_ptr<PortInfo> MakeDriverPrinterRecord(const QString& portName,
                                                  const QString& driverName);

// The rows of driver mode: each queue whose name equals printerNameFilter (when that is
// not empty), whose driver name contains driverNameFilter and " Receipt5" or " Label5",
// with the first library port whose driver port path ends in the queue's port, or a
// record of its own. A queue without a port (its device URI gives none) gets a record of
// its own.
std::vector<DriverPrinterRow> BuildDriverRows(const QList<SpoolerPrinter>& printers,
                                              const PortList& ports,
                                              const QString& driverNameFilter,
                                              const QString& printerNameFilter);

// One row of the dialog's list.
struct ListRow
{
    QString name;     // column 0: the queue name (driver mode) or the device name
    QString keyword;  // interface keyword, shown by its interface name
    QString portName; // column 2
    PortInfo* port = nullptr;
    int driverRow = -1; // index into the driver rows in driver mode, else -1
};

// The listed rows: in driver mode every driver row; otherwise the library's ports whose
// device name is exactly the served model name, in list order.
std::vector<ListRow> ListedRows(bool driverMode, const std::vector<DriverPrinterRow>& driverRows,
                                const PortList& ports);

// The printer chosen last (interface keyword and port name), kept for the user in
// VORKA/QP60Utl/last_printer.ini of the user's application data folder
// ($QP60UTIL_USER_APPDATA, else $XDG_DATA_HOME, else ~/.local/share), so that the dialog
// selects it again next time.
struct LastPrinter
{
    QString keyword;
    QString portName;
};
// False when the file could not be written; the choice is then only not remembered.
bool RememberLastPrinter(const LastPrinter& printer);
// Empty texts when none was remembered.
LastPrinter RecalledLastPrinter();
// The first listed row of that printer, or -1.
int RowOfPrinter(const std::vector<ListRow>& rows, const LastPrinter& printer);

} // namespace printer_select
