#include "printers/communication_setting_dlg.h"

#include "app/fixed_text.h"
#include "app/message_box.h"
#include "app/model_profile.h"
#include "app/wait_cursor.h"
#include "comm/comm_error_text.h"
#include "lang/apply_lang_texts.h"
#include "lang/control_lookup.h"
#include "lang/placeholders.h"
#include "pages/plugin_data_mgr.h"
#include "pages/saved_serial.h"
#include "platform/profile.h"
#include "printers/communication_setting_ip_edit.h"
#include "printers/tool_progress_dlg.h"

#include <qpu/window_message.h>

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

using namespace addport;

namespace {

constexpr const char* kInterfaceNames[kInterfaceCount] = {"Serial", "Parallel", "USB", "Ethernet",
                                                          "Bluetooth"};

template <typename W> W* Tagged(W* widget, int controlId)
{
    widget->setProperty(lang::kControlIdProperty, controlId);
    // Controls that an interface hides keep their place, so the dialog does not jump.
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

QComboBox* MakeDropDown(int controlId, QWidget* parent)
{
    auto* combo = Tagged(new QComboBox(parent), controlId);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(16);
    return combo;
}

// Strings and messages of window "PORT_ADD_DLG" beyond the template's.
constexpr int kStrFound = 14;
constexpr int kStrNothingFound = 15;
constexpr int kStrFoundPrinter = 16;
constexpr int kStrTypePath = 17;
constexpr int kMsgAddressPart = 4;
constexpr int kMsgNotAPort = 5;

// Interfaces whose port list also takes a typed device path.
bool TakesTypedPath(int interfaceIndex)
{
    return interfaceIndex == kSerial || interfaceIndex == kParallel || interfaceIndex == kBluetooth;
}

int ItemValue(const QComboBox* combo)
{
    const int index = combo->currentIndex();
    return index >= 0 ? combo->itemData(index).toInt() : 0;
}

} // namespace

CCommunicationSettingDlg::CCommunicationSettingDlg(const AppState& state,
                                                   const CommLibTable* commLib, QWidget* parent)
    : QDialog(parent), m_state(std::make_unique<AppState>()), m_commLib(commLib),
      m_result(std::make_unique<PortInfo>())
{
    std::memcpy(m_state.get(), &state, sizeof(AppState));
    std::memset(m_result.get(), 0, sizeof(PortInfo));
    m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    m_startProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };

    BuildControls();
    const int opened = m_store.Open(FixedText(m_state->languageFolder), m_state->languageId,
                                    CLangResStore::kFallbackLangId);
    m_hasTexts = opened != CLangResStore::kNotFound &&
                 m_store.LoadSections(QString::fromLatin1(kWindowName)) == CLangResStore::kOk;
    InitDialog();
}

CCommunicationSettingDlg::~CCommunicationSettingDlg()
{
    // Stops the notifications of a tool that still runs before the controls go.
    m_networkWorker.reset();
    m_connectorWorker.reset();
}

void CCommunicationSettingDlg::BuildControls()
{
    setWindowTitle(QStringLiteral("Add Port"));
    setModal(true);

    m_instruction = new QLabel(this);
    m_instruction->setProperty(lang::kControlIdProperty, ctl::kInstruction);
    m_instruction->setWordWrap(true);

    m_interfaceGroup = new QButtonGroup(this);
    m_interfaceGroup->setExclusive(true);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(6);
    for (int i = 0; i < kInterfaceCount; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(kInterfaceNames[i]), this);
        button->setProperty(lang::kControlIdProperty, ctl::kInterfaceFirst + i);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
        m_interfaceGroup->addButton(button, i);
        m_interfaceButtons[static_cast<size_t>(i)] = button;
        m_buttonRow->addWidget(button);
    }
    m_buttonRow->addStretch(1);
    connect(m_interfaceGroup, &QButtonGroup::idClicked, this,
            &CCommunicationSettingDlg::SelectInterface);

    m_portLabel = Tagged(new QLabel(QStringLiteral("Port:"), this), ctl::kPortLabel);
    m_portCombo = MakeDropDown(ctl::kPortCombo, this);
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    m_searchResult = new QLabel(this);
    m_searchResult->setObjectName(QStringLiteral("searchResult"));
    m_searchResult->setWordWrap(true);
    m_searchResult->hide();
    m_address = Tagged(new CIpAddressEdit(this), ctl::kAddress);
    m_networkSearch = Tagged(new QPushButton(QStringLiteral("Search"), this), ctl::kNetworkSearch);
    m_portSearch = Tagged(new QPushButton(QStringLiteral("Search"), this), ctl::kPortSearch);
    m_foundPrinters = Tagged(new QListWidget(this), ctl::kFoundPrinters);
    m_foundPrinters->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* bitLengthLabel =
        Tagged(new QLabel(QStringLiteral("Bit Length:"), this), ctl::kBitLengthLabel);
    auto* baudRateLabel =
        Tagged(new QLabel(QStringLiteral("Baud rate:"), this), ctl::kBaudRateLabel);
    auto* parityLabel = Tagged(new QLabel(QStringLiteral("Parity:"), this), ctl::kParityLabel);
    // The template gives the flow-control label the parity text; the language file names it.
    auto* flowLabel = Tagged(new QLabel(QStringLiteral("Parity:"), this), ctl::kFlowControlLabel);
    m_bitLength = MakeDropDown(ctl::kBitLength, this);
    m_baudRate = MakeDropDown(ctl::kBaudRate, this);
    m_parity = MakeDropDown(ctl::kParity, this);
    m_flowControl = MakeDropDown(ctl::kFlowControl, this);

    m_networkTool =
        Tagged(new QPushButton(QStringLiteral("VorkaNet Config"), this), ctl::kNetworkTool);
    m_portTool =
        Tagged(new QPushButton(QStringLiteral("Virtual Port Setting"), this), ctl::kPortTool);
    m_connector =
        Tagged(new QPushButton(QStringLiteral("Bluetooth Connecter"), this), ctl::kConnector);
    m_test = Tagged(new QPushButton(QStringLiteral("Communication test"), this),
                    ctl::kCommunicationTest);
    m_ok = Tagged(new QPushButton(QStringLiteral("OK"), this), ctl::kOk);
    m_cancel = Tagged(new QPushButton(QStringLiteral("Cancel"), this), ctl::kCancel);
    for (QPushButton* button :
         {m_networkSearch, m_portSearch, m_networkTool, m_portTool, m_connector, m_test, m_cancel})
        button->setAutoDefault(false);
    m_ok->setDefault(true);

    // Port and serial line on the left; the found printers take the place of the serial
    // line for Ethernet, the address that of the port list.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    const std::pair<QLabel*, QWidget*> rows[] = {{m_portLabel, m_portCombo},
                                                 {bitLengthLabel, m_bitLength},
                                                 {baudRateLabel, m_baudRate},
                                                 {parityLabel, m_parity},
                                                 {flowLabel, m_flowControl}};
    for (int row = 0; row < static_cast<int>(std::size(rows)); ++row) {
        grid->addWidget(rows[row].first, row, 0);
        grid->addWidget(rows[row].second, row, 1);
    }
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(m_portSearch, 0, 2);
    grid->addWidget(m_networkSearch, 0, 2);
    grid->addWidget(m_foundPrinters, 1, 0, 4, 3);
    grid->addWidget(m_searchResult, 5, 0, 1, 3);
    grid->setRowStretch(6, 1);

    auto* tools = new QGridLayout;
    tools->setVerticalSpacing(8);
    tools->addWidget(m_networkTool, 0, 0);
    tools->addWidget(m_portTool, 0, 0);
    // No interface shows the connector together with one of the other two tools.
    tools->addWidget(m_connector, 0, 0);
    tools->setRowStretch(2, 1);
    tools->addWidget(m_test, 3, 0);

    auto* body = new QHBoxLayout;
    body->setSpacing(24);
    body->addLayout(grid, 1);
    body->addLayout(tools);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(12);
    layout->addWidget(m_instruction);
    layout->addLayout(m_buttonRow);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    // The template's 412 x 240 dialog units.
    setMinimumSize(620, 380);

    connect(m_networkSearch, &QPushButton::clicked, this, &CCommunicationSettingDlg::SearchNetwork);
    connect(m_portSearch, &QPushButton::clicked, this, &CCommunicationSettingDlg::SearchPorts);
    connect(m_portCombo, &QComboBox::editTextChanged, this,
            &CCommunicationSettingDlg::OnPortTextEdited);
    connect(m_foundPrinters, &QListWidget::itemSelectionChanged, this,
            &CCommunicationSettingDlg::OnFoundPrinterChosen);
    connect(m_address, &CIpAddressEdit::FieldChanged, this,
            &CCommunicationSettingDlg::OnAddressEdited);
    connect(m_networkTool, &QPushButton::clicked, this, &CCommunicationSettingDlg::RunNetworkTool);
    connect(m_portTool, &QPushButton::clicked, this, &CCommunicationSettingDlg::RunPortTool);
    connect(m_connector, &QPushButton::clicked, this, &CCommunicationSettingDlg::RunConnector);
    connect(m_test, &QPushButton::clicked, this,
            &CCommunicationSettingDlg::OnCommunicationTestClicked);
    connect(m_ok, &QPushButton::clicked, this, &CCommunicationSettingDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CCommunicationSettingDlg::reject);
}

QString CCommunicationSettingDlg::Text(int number, const char* fallback) const
{
    QString text = QString::fromUtf8(fallback);
    m_store.GetString(number, text);
    return text;
}

QString CCommunicationSettingDlg::Message(int number, const char* fallback) const
{
    QString text = QString::fromUtf8(fallback);
    m_store.GetMessage(number, text);
    return text;
}

QWidget* CCommunicationSettingDlg::Control(int controlId) const
{
    return qobject_cast<QWidget*>(lang::FindControl(this, controlId));
}

bool CCommunicationSettingDlg::BluetoothOffered() const
{
    for (const int32_t slot : m_state->commIfSlots) {
        if (slot == -1)
            break;
        if (slot == kBluetooth)
            return true;
    }
    return false;
}

void CCommunicationSettingDlg::InitDialog()
{
    if (!m_hasTexts)
        return;
    setWindowTitle(Text(txt::kTitle, "Add Port"));
    m_instruction->setText(
        Text(txt::kInstruction, "Select the communication interface to %s.")
            .replace(QStringLiteral("%s"), QString::fromUtf16(kServedModelName)));
    lang::ApplyCaptions(m_store, this);

    // The address starts blank: the user types the printer's or picks a found one.
    m_lastAddress = 0;

    const ButtonPlan plan = PlanInterfaceButtons(m_state->commIfSlots, m_state->defaultCommIf);
    m_current = plan.current;
    // Every button leaves the row; the offered ones come back at the first positions.
    for (QPushButton* button : m_interfaceButtons) {
        m_buttonRow->removeWidget(button);
        button->setChecked(false);
        button->hide();
    }
    int position = 0;
    for (const int index : plan.shownInOrder) {
        QPushButton* button = m_interfaceButtons[static_cast<size_t>(index)];
        m_buttonRow->insertWidget(position++, button);
        button->show();
    }
    for (QPushButton* button : m_interfaceButtons) {
        if (m_buttonRow->indexOf(button) < 0)
            m_buttonRow->insertWidget(position++, button);
    }
    if (IsValidInterface(m_current))
        m_interfaceButtons[static_cast<size_t>(m_current)]->setChecked(true);
    SelectInterface(m_current);
}

void CCommunicationSettingDlg::SelectInterface(int index)
{
    m_current = index;
    m_searchResult->hide();
    m_portCombo->setEditable(TakesTypedPath(index));
    m_portCombo->setToolTip(
        TakesTypedPath(index)
            ? Text(kStrTypePath, "Choose a port, or type a device path such as /dev/ttyUSB0.")
            : QString());
    ApplyLayout(index);
    ApplyToolButtons(tools::LookUpTools(index, m_toolPaths));
    FillPortCombo();
    FillSerialLists();
    UpdateTestButtons();
}

void CCommunicationSettingDlg::ApplyLayout(int index)
{
    for (const ControlState& state : LayoutFor(index)) {
        QWidget* control = Control(state.controlId);
        if (!control)
            continue;
        control->setVisible(state.shown);
        control->setEnabled(state.shown);
        if (state.textNumber < 0)
            continue;
        QString text;
        m_store.GetString(state.textNumber, text);
        if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(text);
    }
}

void CCommunicationSettingDlg::ApplyToolButtons(const tools::ToolButtons& buttons)
{
    if (buttons.networkDecided)
        m_networkTool->setEnabled(buttons.networkToolEnabled);
    if (buttons.portDecided)
        m_portTool->setEnabled(buttons.portToolEnabled);
    if (buttons.connectorDecided)
        m_connector->setEnabled(buttons.connectorEnabled);
}

void CCommunicationSettingDlg::FillPortCombo()
{
    const WaitCursor wait;
    const QString keyword = EnumKeyword(m_current, BluetoothOffered());
    const QString prefix = DisplayPrefix(m_current);
    m_portCombo->clear();
    m_devices.Reset();
    if (m_current == kEthernet) {
        // The answers of an earlier search are gone; the new one runs once the current
        // handling has ended.
        m_foundPrinters->clear();
        if (!m_networkSearch->isHidden())
            QMetaObject::invokeMethod(m_networkSearch, &QPushButton::click, Qt::QueuedConnection);
        return;
    }
    const int count = m_devices.Enumerate(m_commLib, keyword);
    for (int i = 0; i < count; ++i)
        m_portCombo->addItem(prefix + RecordText(m_devices.Record(i)->portName), i);
    if (m_portCombo->count() > 0)
        m_portCombo->setCurrentIndex(0);
}

void CCommunicationSettingDlg::FillSerialLists()
{
    for (QComboBox* list : {m_bitLength, m_baudRate, m_parity, m_flowControl})
        list->clear();
    lang::ApplyComboItems(m_store, this);
    m_bitLength->setCurrentIndex(2);
    m_baudRate->setCurrentIndex(0);
    m_parity->setCurrentIndex(1);
    m_flowControl->setCurrentIndex(0);
    // The parity list's first entry is a placeholder; its second becomes the first and
    // stays selected.
    m_parity->removeItem(0);
}

void CCommunicationSettingDlg::EnableTest(bool enable)
{
    m_ok->setEnabled(enable);
    m_test->setEnabled(enable);
}

void CCommunicationSettingDlg::UpdateTestButtons()
{
    if (m_current != kEthernet) {
        EnableTest(m_portCombo->count() > 0 || !m_portCombo->currentText().trimmed().isEmpty());
        return;
    }
    if (m_lastAddress != 0) {
        m_address->SetAddress(m_lastAddress);
        EnableTest(true);
    } else {
        m_address->Clear();
        EnableTest(false);
    }
}

void CCommunicationSettingDlg::SearchNetwork()
{
    int found = 0;
    {
        const WaitCursor wait;
        m_devices.Reset();
        m_foundPrinters->clear();
        found = m_devices.Enumerate(m_commLib, EnumKeyword(kEthernet, false));
        // Each printer goes to the top, so the list shows them in reverse order.
        for (int i = 0; i < found; ++i) {
            auto* item = new QListWidgetItem(FoundPrinterText(*m_devices.Record(i)));
            item->setData(Qt::UserRole, i);
            m_foundPrinters->insertItem(0, item);
        }
    }
    ShowSearchResult(found);
    if (found == 0)
        qpu::ShowInfoMessage(this, Message(txt::kMsgNotFound, "Cannot find the printer."));
}

// The printer's address, and its serial number where its answer or a saved copy of its
// settings tells it.
QString CCommunicationSettingDlg::FoundPrinterText(const PortInfo& record) const
{
    const QString address = RecordText(record.portName);
    QString serial = SerialFromIdentification(record.usbDeviceId);
    if (serial.isEmpty() && m_state->dataMgr != nullptr) {
        const QString device = RecordText(record.deviceName);
        serial = SavedSerialNumber(&static_cast<const PluginDataMgr*>(m_state->dataMgr)->Registry(),
                                   device.isEmpty() ? QString::fromUtf16(kServedModelName) : device,
                                   address);
    }
    if (serial.isEmpty())
        return address;
    return FillPlaceholders(Text(kStrFoundPrinter, "%s   S/N %s"), {address, serial});
}

void CCommunicationSettingDlg::ShowSearchResult(int found)
{
    m_searchResult->setText(
        found == 0
            ? Text(kStrNothingFound, "Nothing was found.")
            : Text(kStrFound, "Found: %d").replace(QLatin1String("%d"), QString::number(found)));
    m_searchResult->show();
}

void CCommunicationSettingDlg::OnFoundPrinterChosen()
{
    const QList<QListWidgetItem*> chosen = m_foundPrinters->selectedItems();
    if (chosen.isEmpty())
        return;
    const PortInfo* record = m_devices.Record(chosen.front()->data(Qt::UserRole).toInt());
    m_address->SetAddress(
        ParseFoundAddress(record ? RecordText(record->portName) : chosen.front()->text()));
    EnableTest(true);
}

void CCommunicationSettingDlg::OnPortTextEdited()
{
    if (m_current != kEthernet)
        UpdateTestButtons();
}

void CCommunicationSettingDlg::OnAddressEdited()
{
    if (m_current != kEthernet)
        return;
    EnableTest(!(m_address->IsBlank() && m_lastAddress == 0));
}

void CCommunicationSettingDlg::SearchPorts()
{
    FillPortCombo();
    ShowSearchResult(m_portCombo->count());
    if (m_portCombo->count() == 0) {
        qpu::ShowInfoMessage(this, Message(txt::kMsgNotFound, "Cannot find the printer."));
        EnableTest(false);
    } else {
        EnableTest(true);
    }
}

PortSetting CCommunicationSettingDlg::ReadChoice()
{
    PortSetting setting;
    setting.deviceName = QString::fromUtf16(kServedModelName);
    setting.portType = PortTypeOf(m_current);
    const int chosen = m_portCombo->currentIndex();
    const QString chosenText = m_portCombo->isEditable()
                                   ? m_portCombo->currentText().trimmed()
                                   : (chosen >= 0 ? m_portCombo->itemText(chosen) : QString());
    switch (m_current) {
    case kSerial:
        setting.portName = chosenText;
        setting.bitLength = ItemValue(m_bitLength);
        setting.baudRate = ItemValue(m_baudRate);
        setting.parity = ItemValue(m_parity);
        setting.flowControl = ItemValue(m_flowControl);
        break;
    case kUsb:
        setting.portName = PortNameFromDisplay(kUsb, chosenText);
        if (chosen >= 0) {
            if (const PortInfo* record = m_devices.Record(m_portCombo->itemData(chosen).toInt()))
                std::memcpy(setting.usbDeviceId.data(), record->usbDeviceId,
                            setting.usbDeviceId.size());
        }
        break;
    case kEthernet:
        // An address with a part above 255 is refused before it becomes the last one.
        setting.address = m_address->Address();
        if (m_address->OutOfRangePart().isEmpty())
            m_lastAddress = setting.address;
        break;
    case kParallel:
    case kBluetooth:
        setting.portName = chosenText;
        break;
    default:
        break;
    }
    return setting;
}

QString CCommunicationSettingDlg::Refusal(const PortSetting& setting) const
{
    if (m_current == kEthernet) {
        const QString part = m_address->OutOfRangePart();
        if (part.isEmpty())
            return {};
        return FillPlaceholders(Message(kMsgAddressPart, "The IP address part %s is above 255. "
                                                         "Each part is a number from 0 to 255."),
                                {part});
    }
    // A port of the list was found by the library; a typed one is checked here first.
    if (!m_portCombo->isEditable() || setting.portName.isEmpty() ||
        m_portCombo->findText(setting.portName, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return {};
    QString path;
    const int32_t checked = CheckTypedDevicePath(setting.portName, &path);
    if (checked == QPC_OK)
        return {};
    if (checked == QPC_ERR_NOT_SUPPORTED)
        return FillPlaceholders(Message(kMsgNotAPort, "%s is not a serial line or a printer port."),
                                {path});
    return Message(txt::kMsgCommError, "A communication error occurred.") + u'\n' +
           CommErrorCause(checked, path);
}

// The message of a failed test: the described text, then the cause in words.
QString CCommunicationSettingDlg::CommErrorText(int32_t result, const PortSetting& setting) const
{
    QString cause;
    if (m_current == kEthernet && setting.address == 0) {
        cause = QStringLiteral("No IP address was entered.");
    } else {
        const std::optional<PortInfo> port = BuildPortInfo(setting);
        cause = CommErrorCause(result, port ? PortDevicePath(*port) : QString());
    }
    return Message(txt::kMsgCommError, "A communication error occurred.") + u'\n' + cause;
}

bool CCommunicationSettingDlg::RunCommunicationTest()
{
    TestOutcome outcome = TestOutcome::CommError;
    PortInfo tested;
    const PortSetting setting = ReadChoice();
    if (const QString refusal = Refusal(setting); !refusal.isEmpty()) {
        qpu::ShowWarningMessage(this, refusal);
        return false;
    }
    int32_t result = QPC_OK;
    {
        const WaitCursor wait;
        outcome =
            addport::RunCommunicationTest(m_commLib, setting, m_state->startMode, &tested, &result);
    }
    switch (outcome) {
    case TestOutcome::Success:
        std::memcpy(m_result.get(), &tested, sizeof(PortInfo));
        return true;
    case TestOutcome::WrongModel:
        qpu::ShowWarningMessage(
            this,
            Message(txt::kMsgWrongModel, "The device ID does not match the connected printer."));
        return false;
    case TestOutcome::CommError:
        break;
    }
    qpu::ShowWarningMessage(this, CommErrorText(result, setting));
    return false;
}

void CCommunicationSettingDlg::OnCommunicationTestClicked()
{
    if (RunCommunicationTest())
        qpu::ShowInfoMessage(
            this, Message(txt::kMsgTestOk, "Communication test completed successfully."));
}

void CCommunicationSettingDlg::accept()
{
    if (RunCommunicationTest())
        QDialog::accept();
}

// ---------------------------------------------------------------------------------------
// Companion tools

void CCommunicationSettingDlg::RunNetworkTool()
{
    if (m_toolPaths.networkTool.isEmpty()) {
        QApplication::beep();
        return;
    }
    auto progress = std::make_unique<CToolProgressDlg>(CToolProgressDlg::kNetworkTool, this);
    m_progress = progress.get();
    m_networkWorker = tools::ToolWorker::Start(this, m_toolPaths.networkTool,
                                               {tools::kMsgNetworkTool, tools::kNetworkToolStarted},
                                               {tools::kMsgNetworkTool, tools::kNetworkToolEnded});
    if (m_networkWorker) {
        const WaitCursor wait;
        progress->exec();
    }
    m_progress = nullptr;
}

void CCommunicationSettingDlg::RunPortTool()
{
    {
        const WaitCursor wait;
        const QString& path = m_toolPaths.portTool;
        // The shell's result is not looked at: the port search below shows what changed.
        if (tools::IsExistingFolder(path))
            m_openUrl(QUrl::fromLocalFile(path));
        else if (QFileInfo(path).isExecutable())
            m_startProgram(path);
        else if (!path.isEmpty())
            m_openUrl(QUrl::fromLocalFile(path));
    }
    SearchPorts();
}

void CCommunicationSettingDlg::RunConnector()
{
    if (m_toolPaths.connector.isEmpty())
        return;
    auto progress = std::make_unique<CToolProgressDlg>(CToolProgressDlg::kPairing, this);
    m_progress = progress.get();
    m_connectorWorker =
        tools::ToolWorker::Start(this, m_toolPaths.connector, {tools::kMsgConnectorStarted, 0},
                                 {tools::kMsgConnectorEnded, 0});
    if (m_connectorWorker) {
        const WaitCursor wait;
        progress->exec();
    }
    m_progress = nullptr;
}

bool CCommunicationSettingDlg::event(QEvent* event)
{
    qpu::WindowMessageEvent* message = qpu::WindowMessageEvent::From(event);
    if (!message)
        return QDialog::event(event);
    switch (message->message()) {
    case tools::kMsgConnectorStarted:
        message->setResult(OnConnectorStarted());
        return true;
    case tools::kMsgConnectorEnded:
        message->setResult(OnConnectorEnded());
        return true;
    case tools::kMsgNetworkTool:
        message->setResult(OnNetworkToolMessage(message->wParam()));
        return true;
    default:
        return QDialog::event(event);
    }
}

intptr_t CCommunicationSettingDlg::OnNetworkToolMessage(intptr_t wParam)
{
    if (wParam == tools::kNetworkToolStarted) {
        m_networkTool->setEnabled(false);
        if (m_progress)
            m_progress->SetTexts(Text(5019, "Run VorkaNet Config"),
                                 Text(5020, "VorkaNet Config Running..."));
        return 0;
    }
    if (wParam == tools::kNetworkToolEnded) {
        m_networkTool->setEnabled(true);
        if (m_progress)
            m_progress->Finish();
        m_networkWorker.reset();
        return 0;
    }
    return tools::kInvalidParameter;
}

void CCommunicationSettingDlg::SetConnectorControlsEnabled(bool enabled)
{
    for (QPushButton* button : m_interfaceButtons)
        button->setEnabled(enabled);
    for (QWidget* control : {static_cast<QWidget*>(m_portLabel), static_cast<QWidget*>(m_portCombo),
                             static_cast<QWidget*>(m_portSearch)})
        control->setEnabled(enabled);
    m_connector->setEnabled(enabled && !m_toolPaths.connector.isEmpty());
    m_portTool->setEnabled(enabled && !m_toolPaths.portTool.isEmpty());
    m_test->setEnabled(enabled);
    m_ok->setEnabled(enabled);
    m_cancel->setEnabled(enabled);
}

intptr_t CCommunicationSettingDlg::OnConnectorStarted()
{
    SetConnectorControlsEnabled(false);
    if (m_progress)
        m_progress->SetTexts(Text(1034, "Run Paring"), Text(5018, "Paring"));
    return 0;
}

intptr_t CCommunicationSettingDlg::OnConnectorEnded()
{
    SetConnectorControlsEnabled(true);
    SearchPorts();
    const QString created = tools::ReadVirtualComPort();
    if (!created.isEmpty()) {
        const int index = m_portCombo->findText(created, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            m_portCombo->setCurrentIndex(index);
    }
    if (m_progress)
        m_progress->Finish();
    m_connectorWorker.reset();
    return 0;
}
