#include "printers/printer_select_logic.h"

#include "app/fixed_text.h"
#include "app/model_profile.h"
#include "comm/comm_lib_binding.h"
#include "lang/lang_res_store.h"
#include "platform/special_folders.h"
#include "printers/printer_spooler.h"

#include <qpu/app_state.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <array>

namespace printer_select {

namespace {

constexpr std::array<const char*, 5> kDefaultMessages = {
    "Please select the printer you want to setup.",
    "Do you really want to delete the selected port?",
    "The connected printer is not %s.",
    "Cannot communicate with the printer.",
    "Cannot launch the printer because it is in use by another application.",
};

struct InterfaceText
{
    const char* keyword;
    int stringNumber;
    const char* english;
};
constexpr std::array<InterfaceText, 5> kInterfaces = {{
    {QPU_PORT_KEYWORD_SERIAL, 1, "Serial"},
    {QPU_PORT_KEYWORD_PARALLEL, 2, "Parallel"},
    {QPU_PORT_KEYWORD_USB, 3, "USB"},
    {QPU_PORT_KEYWORD_ETHERNET, 4, "NET"},
    {QPU_PORT_KEYWORD_BLUETOOTH, 6, "Bluetooth"},
}};

// Fills the first "%s" of a C format with value; "%%" stands for a percent sign. Anything
// else after a '%' is kept as it stands, so a faulty translation shows, not crashes.
QString FormatOneString(const QString& format, const QString& value)
{
    QString out;
    bool filled = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('%') && i + 1 < format.size()) {
            const QChar next = format.at(i + 1);
            if (next == QLatin1Char('%')) {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if (next == QLatin1Char('s') && !filled) {
                out += value;
                filled = true;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

bool IsOurDriver(const QString& driverName, const QString& driverNameFilter)
{
    return driverName.contains(driverNameFilter) &&
           (driverName.contains(QStringView(kReceiptDriverMark)) ||
            driverName.contains(QStringView(kLabelDriverMark)));
}

} // namespace

QString MessageText(const CLangResStore& store, int number)
{
    QString text;
    if (number >= 0 && number < static_cast<int>(kDefaultMessages.size())) {
        text = QString::fromLatin1(kDefaultMessages[static_cast<size_t>(number)]);
    }
    store.GetMessage(number, text);
    if (number == kMsgWrongModel) {
        text = FormatOneString(text, QString::fromUtf16(kServedModelName));
    }
    return text;
}

QString InterfaceName(const CLangResStore& store, const QString& keyword)
{
    for (const InterfaceText& entry : kInterfaces) {
        if (keyword == QLatin1String(entry.keyword)) {
            QString text = QString::fromLatin1(entry.english);
            store.GetString(entry.stringNumber, text);
            return text;
        }
    }
    return {};
}

QString LanguageLabel(const CLangResStore& store, const QString& languageName)
{
    QString word = QStringLiteral("Select");
    store.GetString(kStrLanguageLabel, word);
    const QString name = languageName.isEmpty() ? QStringLiteral("English") : languageName;
    return QStringLiteral("%1: %2").arg(word, name);
}

int PortTypeOfKeyword(const QString& keyword)
{
    for (size_t i = 0; i < kInterfaces.size(); ++i) {
        if (keyword == QLatin1String(kInterfaces[i].keyword)) {
            return static_cast<int>(i) + 1;
        }
    }
    return PortTypeNone;
}

QString LastPathComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

int FirstColumnWidth(int widestTextPx)
{
    return static_cast<int>(1.2 * std::max(100, widestTextPx));
}

int TallRowHeight(int clientHeightPx, int normalRowHeightPx)
{
    if (normalRowHeightPx <= 0) {
        return 0;
    }
    const int rows = clientHeightPx / normalRowHeightPx;
    if (rows <= 0) {
        return normalRowHeightPx * 120 / 100;
    }
    return (clientHeightPx / rows) * 120 / 100;
}

TextLoad LoadTexts(AppState& state, CLangResStore& dialogTexts, CLangResStore& addPortTexts)
{
    const QString folder = FixedText(state.languageFolder);
    const int opened = dialogTexts.Open(folder, state.languageId, CLangResStore::kFallbackLangId);
    if (opened == CLangResStore::kNotFound) {
        return TextLoad::Failed;
    }
    TextLoad result = TextLoad::Loaded;
    if (opened == CLangResStore::kOpenedFallback) {
        state.languageId = CLangResStore::kFallbackLangId;
        SetFixedText(state.languageIdText, QStringLiteral("0409"));
        result = TextLoad::EnglishOnly;
    }
    if (addPortTexts.Open(folder, state.languageId, CLangResStore::kFallbackLangId) !=
        CLangResStore::kNotFound) {
        addPortTexts.LoadSections(QString::fromLatin1(kAddPortWindowName));
    }
    dialogTexts.LoadSections(QString::fromLatin1(kWindowName));
    return result;
}

int32_t PortList::Enumerate(const CommLibTable* table)
{
    uint32_t count = 0;
    int32_t result = QpcCall(table, &CommLibTable::EnumPort, nullptr, 0u, &count);
    if (result != QPC_OK) {
        return result;
    }
    if (count > kMaxPorts) {
        return QPC_ERR_NO_MEMORY;
    }
    std::vector<std::unique_ptr<PortInfo>> ports;
    std::vector<PortInfo*> pointers;
    ports.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        ports.push_back(std::make_unique<PortInfo>()); // value-initialised: all zero
        pointers.push_back(ports.back().get());
    }
    if (count > 0) {
        uint32_t filled = 0;
        result = QpcCall(table, &CommLibTable::EnumPort, pointers.data(), count, &filled);
        if (result != QPC_OK) {
            return result;
        }
        // Never believe more records than were handed over.
        ports.resize(std::min(filled, count));
    }
    m_ports = std::move(ports);
    return QPC_OK;
}

std::unique_ptr<PortInfo> MakeDriverPrinterRecord(const QString& portName,
                                                  const QString& driverName)
{
    auto record = std::make_unique<PortInfo>();
    record->reserved1 = -1;
    record->reserved2 = -1;
    SetFixedText(record->portName, portName.left(QPU_TEXT_MAX_CHARS));
    SetFixedText(record->deviceName, driverName.left(QPU_TEXT_MAX_CHARS));
    record->origin = QPU_PORT_ORIGIN_DRIVER_PRINTER;
    return record;
}

std::vector<DriverPrinterRow> BuildDriverRows(const QList<SpoolerPrinter>& printers,
                                              const PortList& ports,
                                              const QString& driverNameFilter,
                                              const QString& printerNameFilter)
{
    std::vector<DriverPrinterRow> rows;
    for (const SpoolerPrinter& printer : printers) {
        if (!printerNameFilter.isEmpty() && printer.printerName != printerNameFilter) {
            continue;
        }
        if (!IsOurDriver(printer.driverName, driverNameFilter)) {
            continue;
        }
        DriverPrinterRow row;
        row.printerName = printer.printerName;
        // A queue without a port names none; every ordinary port has an empty driver port
        // path and must not be taken for it.
        for (int i = 0; !printer.portName.isEmpty() && i < ports.Count(); ++i) {
            if (LastPathComponent(FixedText(ports.At(i)->driverPortPath)) == printer.portName) {
                row.port = ports.At(i);
                break;
            }
        }
        if (!row.port) {
            row.owned = MakeDriverPrinterRecord(printer.portName, printer.driverName);
            row.port = row.owned.get();
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ListRow> ListedRows(bool driverMode, const std::vector<DriverPrinterRow>& driverRows,
                                const PortList& ports)
{
    std::vector<ListRow> rows;
    const auto rowOf = [](const QString& name, PortInfo* port, int driverRow) {
        return ListRow{name, FixedText(port->interfaceKeyword), FixedText(port->portName), port,
                       driverRow};
    };
    if (driverMode) {
        for (size_t i = 0; i < driverRows.size(); ++i) {
            rows.push_back(
                rowOf(driverRows[i].printerName, driverRows[i].port, static_cast<int>(i)));
        }
        return rows;
    }
    const QString served = QString::fromUtf16(kServedModelName);
    for (int i = 0; i < ports.Count(); ++i) {
        PortInfo* port = ports.At(i);
        if (FixedText(port->deviceName) == served) {
            rows.push_back(rowOf(served, port, -1));
        }
    }
    return rows;
}

namespace {

QString LastPrinterFile()
{
    return platform::UserAppDataFolder() + QStringLiteral("/VORKA/QP60Utl/last_printer.ini");
}

} // namespace

bool RememberLastPrinter(const LastPrinter& printer)
{
    const QString path = LastPrinterFile();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QStringLiteral("LastPrinter/Interface"), printer.keyword);
    file.setValue(QStringLiteral("LastPrinter/Port"), printer.portName);
    file.sync();
    return file.status() == QSettings::NoError;
}

LastPrinter RecalledLastPrinter()
{
    const QString path = LastPrinterFile();
    if (!QFileInfo::exists(path))
        return {};
    const QSettings file(path, QSettings::IniFormat);
    return {file.value(QStringLiteral("LastPrinter/Interface")).toString(),
            file.value(QStringLiteral("LastPrinter/Port")).toString()};
}

int RowOfPrinter(const std::vector<ListRow>& rows, const LastPrinter& printer)
{
    if (printer.portName.isEmpty())
        return -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].keyword == printer.keyword && rows[i].portName == printer.portName)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace printer_select
