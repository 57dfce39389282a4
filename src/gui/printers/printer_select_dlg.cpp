#include "printers/printer_select_dlg.h"

#include "app/fixed_text.h"
#include "app/message_box.h"
#include "app/model_profile.h"
#include "app/wait_cursor.h"
#include "lang/apply_lang_texts.h"
#include "lang/control_lookup.h"
#include "lang/select_lang_dlg.h"
#include "mainwnd/printer_picture.h"
#include "pages/plugin_data_mgr.h"
#include "pages/saved_serial.h"
#include "pages/static_item.h"
#include "pages/static_picture_item.h"
#include "platform/activation_channel.h"
#include "platform/log_categories.h"
#include "printers/cups_spooler.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace printer_select;

namespace {

// The size of the dialog template (341 x 222 dialog units) in pixels of the usual
// dialog font.
constexpr int kMinWidthPx = 600;
constexpr int kMinHeightPx = 390;
constexpr int kPictureSizePx = 48;

template <typename Widget> Widget* WithId(Widget* widget, int controlId)
{
    widget->setProperty(lang::kControlIdProperty, controlId);
    return widget;
}

// Rows of the printer list are taller than normal; the height comes from the dialog. A
// class of its own (with its own meta-object), so that column texts applied from the
// language file keep it.
class TallRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    TallRowDelegate(const int* rowHeight, QObject* parent)
        : QStyledItemDelegate(parent), m_rowHeight(rowHeight)
    {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (*m_rowHeight > 0) {
            size.setHeight(*m_rowHeight);
        }
        return size;
    }

private:
    const int* m_rowHeight;
};

bool DefaultMessageBox(QWidget* parent, CPrinterSelectDlg::MessageKind kind, const QString& text)
{
    if (kind == CPrinterSelectDlg::MessageKind::Question) {
        return qpu::AskYesNo(parent, text);
    }
    qpu::ShowWarningMessage(parent, text);
    return false;
}

} // namespace

CPrinterSelectDlg::CPrinterSelectDlg(QWidget* parent)
    : QDialog(parent), m_spooler(std::make_unique<CupsPrinterSpooler>()),
      m_messages(DefaultMessageBox), m_addPort(RunAddPortDialog)
{
    m_core.SetSpooler(m_spooler.get());
    BuildControls();
}

CPrinterSelectDlg::~CPrinterSelectDlg() = default;

void CPrinterSelectDlg::SetState(const AppState& state)
{
    m_core.SetState(state);
    if (const auto* dataMgr = static_cast<const PluginDataMgr*>(state.dataMgr))
        m_core.SetRegistry(&dataMgr->Registry());
}

void CPrinterSelectDlg::SetSpooler(std::unique_ptr<IPrinterSpooler> spooler)
{
    m_spooler = std::move(spooler);
    m_core.SetSpooler(m_spooler.get());
}

void CPrinterSelectDlg::BuildControls()
{
    setWindowTitle(QStringLiteral("%1 Utility").arg(QString::fromUtf16(kServedModelName)));
    setMinimumSize(kMinWidthPx, kMinHeightPx);

    m_languageDlg = new CSelectLangDlg(this);

    m_picture = WithId(new CStaticPictureItem(this), kPictureId);
    m_picture->setPixmap(QPixmap::fromImage(PrinterPicture()));
    m_picture->setFixedSize(kPictureSizePx, kPictureSizePx);

    m_heading = WithId(
        new CStaticItem(QStringLiteral("Select Printer and Press [OK] Button."), this), kHeadingId);
    m_heading->SetBoldFont();
    // The heading lies on the dialog's own face colour.
    m_heading->SetBackgroundColor(palette().color(QPalette::Window));
    m_hint = WithId(new QLabel(QStringLiteral("If the port to which the printer is connected "
                                              "is not listed, \nadd it by clicking the Add "
                                              "Port button."),
                               this),
                    kHintId);
    m_hint->setWordWrap(true);

    m_list = WithId(new QTreeWidget(this), kListId);
    m_list->setColumnCount(0); // every column comes from the language file
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true); // full-row selection
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setSectionsMovable(false);
    m_list->header()->setStretchLastSection(true);
    m_list->setItemDelegate(new TallRowDelegate(&m_rowHeight, m_list));

    m_addPortButton = WithId(new QPushButton(QStringLiteral("Add Port"), this), kAddPortId);
    m_deletePort = WithId(new QPushButton(QStringLiteral("Delete Port"), this), kDeletePortId);
    m_selectLanguage =
        WithId(new QPushButton(QStringLiteral("Select Language"), this), kSelectLanguageId);
    m_languageLabel = WithId(new QLabel(QStringLiteral("Select:"), this), kLanguageLabelId);
    m_ok = WithId(new QPushButton(QStringLiteral("OK"), this), kOkId);
    m_cancel = WithId(new QPushButton(QStringLiteral("Cancel"), this), kCancelId);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    for (QPushButton* button : {m_addPortButton, m_deletePort, m_selectLanguage, m_ok, m_cancel}) {
        button->setMinimumWidth(96);
    }

    // Controls of the template that the dialog does not use; kept for the language file.
    m_unusedCombo = WithId(new QComboBox(this), kUnusedComboId);
    m_unusedCombo->hide();
    m_unusedLabel = WithId(new QLabel(QStringLiteral("Select Language:"), this), kUnusedLabelId);
    m_unusedLabel->hide();

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(m_heading);
    texts->addWidget(m_hint);
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(m_picture, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* portButtons = new QHBoxLayout;
    portButtons->addWidget(m_addPortButton);
    portButtons->addWidget(m_deletePort);
    portButtons->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_languageLabel);
    bottom->addWidget(m_selectLanguage);
    bottom->addStretch(1);
    bottom->addWidget(m_ok);
    bottom->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(portButtons);
    layout->addLayout(bottom);

    connect(m_ok, &QPushButton::clicked, this, &CPrinterSelectDlg::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &CPrinterSelectDlg::reject);
    connect(m_addPortButton, &QPushButton::clicked, this, &CPrinterSelectDlg::OnAddPort);
    connect(m_deletePort, &QPushButton::clicked, this, &CPrinterSelectDlg::OnDeletePort);
    connect(m_selectLanguage, &QPushButton::clicked, this, &CPrinterSelectDlg::OnSelectLanguage);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CPrinterSelectDlg::UpdateButtons);
    // Only a double click on a row acts as OK; the empty area gives no item.
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnOk(); });
    UpdateButtons();
}

void CPrinterSelectDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Listen before filling the list: a second copy started while the ports are being
    // read finds the dialog, instead of ending with nothing brought to the front.
    if (!m_activation) {
        m_activation = new platform::ActivationServer(this);
        connect(m_activation, &platform::ActivationServer::activationRequested, this,
                &CPrinterSelectDlg::BringToFront);
    }
    if (!m_activation->isListening()) {
        m_activation->listen(); // a copy that cannot listen still works; it is only not found
    }
    if (!event->spontaneous() && !m_initialised) {
        m_initialised = true;
        InitDialog();
    }
}

void CPrinterSelectDlg::hideEvent(QHideEvent* event)
{
    if (m_activation) {
        m_activation->close();
    }
    QDialog::hideEvent(event);
}

void CPrinterSelectDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    UpdateRowHeight();
}

void CPrinterSelectDlg::BringToFront()
{
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void CPrinterSelectDlg::InitDialog()
{
    m_languageDlg->Prepare(m_core.State());
    UpdateRowHeight();
    if (!LoadTexts()) {
        // Closing from inside the first showing would leave exec() waiting; close once
        // the dialog's event loop runs.
        QMetaObject::invokeMethod(this, &CPrinterSelectDlg::reject, Qt::QueuedConnection);
    }
}

bool CPrinterSelectDlg::LoadTexts()
{
    AppState& state = m_core.State();
    const TextLoad loaded = printer_select::LoadTexts(state, m_texts, m_addPortTexts);
    if (loaded == TextLoad::Failed) {
        ShowBox(MessageKind::Warning, QString::fromLatin1(kNoLanguageFileText));
        return false;
    }
    if (loaded == TextLoad::EnglishOnly) {
        ShowBox(MessageKind::Warning, QString::fromLatin1(kEnglishOnlyText));
    }
    m_unusedCombo->clear();
    lang::ApplyCaptions(m_texts, this);
    lang::ApplyComboItems(m_texts, this);
    lang::ApplyListColumns(m_texts, this);
    m_languageLabel->setText(
        LanguageLabel(m_texts, m_languageDlg->GetLanguageName(state.languageId)));

    m_list->setUpdatesEnabled(false);
    RefreshList();
    m_list->setUpdatesEnabled(true);
    return true;
}

void CPrinterSelectDlg::RefreshList()
{
    if (m_core.Refresh() == QPC_OK) {
        FillList();
    }
    // The printer chosen last, else the first one.
    const int last = RowOfPrinter(m_core.Rows(), RecalledLastPrinter());
    SelectRow(last >= 0 && last < m_list->topLevelItemCount()
                  ? last
                  : (m_list->topLevelItemCount() > 0 ? 0 : -1));
}

void CPrinterSelectDlg::FillList()
{
    m_list->clear();
    const QFontMetrics metrics(m_list->font());
    int widest = 0;
    const auto& rows = m_core.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, rows[i].name);
        item->setText(1, InterfaceName(m_texts, rows[i].keyword));
        item->setText(2, rows[i].portName);
        // Printers of one model are told apart by the serial number of their saved copy.
        if (rows[i].port != nullptr)
            item->setText(3,
                          SavedSerialNumber(m_core.Registry(), FixedText(rows[i].port->deviceName),
                                            FixedText(rows[i].port->portName)));
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        widest = std::max(widest, metrics.horizontalAdvance(rows[i].name));
    }
    if (m_list->columnCount() > 0) {
        m_list->setColumnWidth(0, FirstColumnWidth(widest));
    }
}

void CPrinterSelectDlg::SelectRow(int row)
{
    QTreeWidgetItem* item = row >= 0 ? m_list->topLevelItem(row) : nullptr;
    if (item) {
        m_list->setCurrentItem(item);
        item->setSelected(true);
        m_list->scrollToItem(item);
        m_list->setFocus();
    } else {
        m_list->clearSelection();
    }
    UpdateButtons();
}

int CPrinterSelectDlg::SelectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->data(0, Qt::UserRole).toInt();
}

void CPrinterSelectDlg::UpdateButtons()
{
    const bool selected = !m_list->selectedItems().isEmpty();
    m_ok->setEnabled(selected);
    m_deletePort->setEnabled(selected);
}

void CPrinterSelectDlg::UpdateRowHeight()
{
    // A normal row holds one line of the list's font with the style's item margins.
    QStyleOptionViewItem option;
    option.initFrom(m_list);
    option.font = m_list->font();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("Ag");
    const int normal = m_list->style()
                           ->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), m_list)
                           .height();
    const int fontRow = m_list->fontMetrics().height() + 2;
    const int height = TallRowHeight(m_list->viewport()->height(), std::max(normal, fontRow));
    if (height != m_rowHeight) {
        m_rowHeight = height;
        m_list->doItemsLayout();
    }
}

void CPrinterSelectDlg::OnOk()
{
    WaitCursor wait;
    m_core.RunOk(SelectedRow(), *this);
}

void CPrinterSelectDlg::OnAddPort()
{
    if (!m_addPort) {
        return;
    }
    const std::optional<PortInfo> record =
        m_addPort(this, m_core.State(), m_core.CommLib(), m_addPortTexts);
    if (!record || record->interfaceKeyword[0] == 0) {
        return;
    }
    int32_t result = QPC_OK;
    const int row = m_core.AddPort(*record, &result);
    if (result != QPC_OK) {
        return;
    }
    FillList();
    SelectRow(row >= 0 ? row : (m_list->topLevelItemCount() > 0 ? 0 : -1));
}

void CPrinterSelectDlg::OnDeletePort()
{
    if (m_core.DeletePort(SelectedRow(), *this)) {
        FillList();
        SelectRow(m_list->topLevelItemCount() > 0 ? 0 : -1);
    }
}

void CPrinterSelectDlg::OnSelectLanguage()
{
    if (m_languageDlg->exec() != QDialog::Accepted) {
        return;
    }
    WaitCursor wait;
    m_core.TakeLanguage(m_languageDlg->State());
    if (!LoadTexts()) {
        reject();
    }
}

void CPrinterSelectDlg::reject()
{
    lang::SaveLanguageChoice(m_core.State());
    QDialog::reject();
}

void CPrinterSelectDlg::ShowMessage(int number)
{
    ShowBox(MessageKind::Warning, MessageText(m_texts, number));
}

bool CPrinterSelectDlg::AskMessage(int number)
{
    return ShowBox(MessageKind::Question, MessageText(m_texts, number));
}

void CPrinterSelectDlg::Accept()
{
    const PortInfo& chosen = m_core.State().portInfo;
    if (!RememberLastPrinter({FixedText(chosen.interfaceKeyword), FixedText(chosen.portName)}))
        qCWarning(lcComm) << "the chosen port could not be remembered for the next start";
    lang::SaveLanguageChoice(m_core.State());
    QDialog::accept();
}

bool CPrinterSelectDlg::ShowBox(MessageKind kind, const QString& text)
{
    // A box is answered with the normal cursor even while a wait cursor is up.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const bool answer = m_messages ? m_messages(this, kind, text) : false;
    if (waiting) {
        QApplication::restoreOverrideCursor();
    }
    return answer;
}

#include "printer_select_dlg.moc"
