#include "printer_info_page.h"

#include <qpu/status_texts.h>

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace qpu::sdk;

namespace {

constexpr char kWindow[] = "PRINTER_INFO_PAGE";
constexpr char kStatusWindow[] = "PRT_STATUS";
constexpr int kStatusIntervalMs = 1000;

enum Text
{
    kTitle = 0,
    kDescription = 1,
    kModel = 2,
    kSerial = 3,
    kFirmware = 4,
    kCharset = 5,
    kPort = 6,
    kStatus = 7,
    kTestPrintButton = 8,
    kWithSettings = 9,
    kIdentityGroup = 10,
    kTestPrintGroup = 11,
    kNotRead = 12,
    kTestPrintText = 13,
    kOfflineNote = 14,
};

enum Message
{
    kPrinted = 0,
    kPrintFailed = 1,
    kCannotPrint = 2,
};

// Online in green, conditions the printer prints through in amber, the rest in red, as in
// the status strip (qpu/status_texts.h).
QColor StatusColour(int32_t code)
{
    const QpuStatusText* text = qpu_status_text(code);
    return QColor::fromRgb(
        qpu_status_kind_rgb(text != nullptr ? text->kind : QPU_STATUS_KIND_STOPPED));
}

} // namespace

PrinterInfoPage::PrinterInfoPage(const PluginContext& context)
    : PageBase(context, QString::fromLatin1(kWindow), {QString::fromLatin1(kStatusWindow)})
{
    setObjectName(QStringLiteral("PrinterInfoPage"));
    SetTitle(Str(kTitle, QStringLiteral("Printer Information")),
             context.Offline()
                 ? Str(kOfflineNote, QStringLiteral("No printer is connected in this mode."))
                 : Str(kDescription, QStringLiteral("The identity of the connected printer and "
                                                    "its current status.")));

    auto* identity = new QGroupBox(Str(kIdentityGroup, QStringLiteral("Printer")), this);
    auto* form = new QFormLayout(identity);
    form->setHorizontalSpacing(16);
    m_model = AddField(form, kModel, QStringLiteral("Model:"), QStringLiteral("model"));
    m_serial = AddField(form, kSerial, QStringLiteral("Serial number:"), QStringLiteral("serial"));
    m_firmware = AddField(form, kFirmware, QStringLiteral("Firmware:"), QStringLiteral("firmware"));
    m_charset =
        AddField(form, kCharset, QStringLiteral("Character set:"), QStringLiteral("charset"));
    m_port = AddField(form, kPort, QStringLiteral("Port:"), QStringLiteral("port"));
    m_status = AddField(form, kStatus, QStringLiteral("Status:"), QStringLiteral("status"));
    m_notRead = new QLabel(Str(kNotRead, QStringLiteral("The information has not been read from "
                                                        "the printer yet.")),
                           identity);
    m_notRead->setStyleSheet(QStringLiteral("color: #a05000;"));
    form->addRow(m_notRead);
    Body()->addWidget(identity);

    auto* test = new QGroupBox(Str(kTestPrintGroup, QStringLiteral("Test print")), this);
    auto* testLayout = new QVBoxLayout(test);
    auto* testText = new QLabel(Str(kTestPrintText, QStringLiteral("Prints a page with the "
                                                                   "printer's identity, to check "
                                                                   "the printer and its "
                                                                   "connection.")),
                                test);
    testText->setWordWrap(true);
    testLayout->addWidget(testText);
    auto* row = new QHBoxLayout();
    m_withSettings = new QCheckBox(
        Str(kWithSettings, QStringLiteral("Print the print settings on the test page")), test);
    m_withSettings->setObjectName(QStringLiteral("withSettings"));
    row->addWidget(m_withSettings);
    row->addStretch(1);
    m_testPrint = new QPushButton(Str(kTestPrintButton, QStringLiteral("Test Print")), test);
    m_testPrint->setObjectName(QStringLiteral("testPrint"));
    m_testPrint->setMinimumWidth(100);
    row->addWidget(m_testPrint);
    testLayout->addLayout(row);
    Body()->addWidget(test);
    test->setEnabled(!context.Offline());

    connect(m_withSettings, &QCheckBox::toggled, this, [this](bool checked) {
        printer_info::StoreTestPrintWithSettings(Context().Blocks(), checked);
    });
    connect(m_testPrint, &QPushButton::clicked, this, [this] { TestPrint(); });
    m_statusTimer = new QTimer(this);
    m_statusTimer->setInterval(kStatusIntervalMs);
    connect(m_statusTimer, &QTimer::timeout, this, &PrinterInfoPage::RefreshStatus);
    Reload();
}

QLabel* PrinterInfoPage::AddField(QFormLayout* form, int labelNumber, const QString& english,
                                  const QString& name)
{
    auto* value = new QLabel(form->parentWidget());
    value->setObjectName(name);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    form->addRow(Str(labelNumber, english), value);
    return value;
}

void PrinterInfoPage::Reload()
{
    const printer_info::Identity identity = printer_info::LoadIdentity(Context().Blocks());
    const QString none = QStringLiteral("-");
    m_model->setText(identity.model.isEmpty() ? none : identity.model);
    m_serial->setText(identity.serialNumber.isEmpty() ? none : identity.serialNumber);
    m_firmware->setText(identity.firmware.isEmpty() ? none : identity.firmware);
    m_charset->setText(identity.characterSet.isEmpty() ? none : identity.characterSet);
    const QString port = printer_info::PortText(Context().state);
    m_port->setText(port.isEmpty() ? none : port);
    m_notRead->setVisible(!identity.read && !Context().Offline());
    const QSignalBlocker quiet(m_withSettings);
    m_withSettings->setChecked(printer_info::LoadTestPrintWithSettings(Context().Blocks()));
    RefreshStatus();
}

void PrinterInfoPage::RefreshStatus()
{
    const CommLibTable* comm = Context().CommLib();
    if (Context().Offline() || comm == nullptr || comm->module == nullptr ||
        comm->GetStatus == nullptr) {
        m_status->setText(QStringLiteral("-"));
        return;
    }
    int32_t code = QPC_STATUS_NO_STATUS;
    if (comm->GetStatus(&code) != QPC_OK)
        code = QPC_STATUS_NO_STATUS;
    m_status->setText(WindowStr(QString::fromLatin1(kStatusWindow),
                                printer_info::StatusTextNumber(code),
                                printer_info::StatusEnglish(code)));
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, StatusColour(code));
    m_status->setPalette(palette);
}

void PrinterInfoPage::showEvent(QShowEvent* event)
{
    PageBase::showEvent(event);
    RefreshStatus();
    m_statusTimer->start();
}

void PrinterInfoPage::hideEvent(QHideEvent* event)
{
    m_statusTimer->stop();
    PageBase::hideEvent(event);
}

int32_t PrinterInfoPage::TestPrint()
{
    if (const std::optional<int32_t> code = StatusStoppingPrint()) {
        const QString status =
            WindowStr(QString::fromLatin1(kStatusWindow), printer_info::StatusTextNumber(*code),
                      printer_info::StatusEnglish(*code));
        ShowWarningMessage(this, Msg(kCannotPrint, QStringLiteral("The printer cannot print now: "
                                                                  "%s.\nCheck the printer and "
                                                                  "try again."))
                                     .replace(QLatin1String("%s"), status));
        return kJobPrinterBusy;
    }
    const printer_info::Identity identity = printer_info::LoadIdentity(Context().Blocks());
    std::optional<PrintSettingsBlock> settings;
    if (m_withSettings->isChecked()) {
        PrintSettingsBlock block{};
        if (Context().Blocks().Read(QPU_BLOCK_PRINT_SETTINGS_ID, &block) == 0)
            settings = block;
    }
    const Bytes page = printer_info::TestPage(identity, settings, QDateTime::currentDateTime());
    const CommLibTable* comm = Context().CommLib();
    const int32_t rc = RunJob([comm, page](JobProgress& progress) {
        progress.Report(0);
        PrinterLink link(comm);
        const int32_t result = link.Send(page);
        progress.Report(100);
        return result;
    });
    if (rc == kPrinterOk)
        ShowInfoMessage(this,
                        Msg(kPrinted, QStringLiteral("The test page was sent to the printer.")));
    else
        ShowWarningMessage(this, Msg(kPrintFailed, QStringLiteral("The test page could not be "
                                                                  "sent to the printer.")));
    return rc;
}

std::optional<int32_t> PrinterInfoPage::StatusStoppingPrint() const
{
    const CommLibTable* comm = Context().CommLib();
    // Without a library the job itself is refused.
    if (comm == nullptr || comm->module == nullptr || comm->GetStatus == nullptr)
        return std::nullopt;
    int32_t code = QPC_STATUS_NO_STATUS;
    if (comm->GetStatus(&code) != QPC_OK)
        code = QPC_STATUS_NO_STATUS;
    if (printer_info::CanPrintWithStatus(code))
        return std::nullopt;
    return code;
}
