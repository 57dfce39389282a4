#include "mainwnd/util_menu_view.h"

#include "app/message_box.h"
#include "mainwnd/menu_block_registration.h"
#include "pages/plugin_data_mgr.h"

#include <qpu/app_state.h>

#include <QAbstractItemDelegate>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>

namespace {

QColor ToQColor(ColorRef color)
{
    return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                  static_cast<int>((color >> 16) & 0xFFu));
}

// A text field of the shared block, up to its first zero unit.
QString FieldText(const QpuChar16 (&field)[QPU_TEXT_UNITS])
{
    const auto end = std::find(std::begin(field), std::end(field), u'\0');
    return QString::fromUtf16(field, end - std::begin(field));
}

// number * numerator / denominator in 64 bits, rounded half away from zero.
int MulDiv(int number, int numerator, int denominator)
{
    const int64_t product = int64_t(number) * numerator;
    const int64_t half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

// Larger sizes from a menu file would only stall the text layout.
constexpr int kMaxFontPixels = 1000;

} // namespace

// Draws the rows through the view and gives every row the measured size.
class CUtilMenuView::RowDelegate : public QAbstractItemDelegate
{
public:
    explicit RowDelegate(CUtilMenuView& view) : QAbstractItemDelegate(&view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        m_view.DrawRow(*painter, option.rect, index.row());
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(m_view.RowWidth(), m_view.RowHeight());
    }

private:
    CUtilMenuView& m_view;
};

CUtilMenuView::Context CUtilMenuView::Context::FromAppState(AppState& state, QWidget* mainFrame,
                                                            QWidget* pagePane)
{
    Context context;
    context.appState = &state;
    context.dataMgr = static_cast<PluginDataMgr*>(state.dataMgr);
    context.startMode = state.startMode;
    context.programFolder = FieldText(state.programFolder);
    context.languageFolder = FieldText(state.languageFolder);
    context.languageId = state.languageId;
    context.mainFrame = mainFrame;
    context.pagePane = pagePane;
    return context;
}

CUtilMenuView::CUtilMenuView(const Context& context, QWidget* parent)
    : QListWidget(parent), m_context(context), m_pictures(std::make_unique<MenuPictures>())
{
    m_delegate = new RowDelegate(*this);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setUniformItemSizes(true);
    setSpacing(0);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setDragEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The background picture covers every pixel; no default fill under it.
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
}

CUtilMenuView::~CUtilMenuView()
{
    ReleaseEntries();
}

void CUtilMenuView::ReleaseEntries()
{
    // Each plug-in is finalised and released in menu order before the next one.
    for (auto& entry : m_entries)
        entry.reset();
    m_entries.clear();
}

bool CUtilMenuView::OpenTexts()
{
    if (m_texts.Open(m_context.languageFolder, m_context.languageId,
                     CLangResStore::kFallbackLangId) == CLangResStore::kNotFound)
        return false;
    m_texts.LoadSections(QLatin1String(kWindowName));
    return true;
}

void CUtilMenuView::InitialUpdate()
{
    // The menu is built once for the life of the view.
    if (m_initialUpdateDone)
        return;
    m_initialUpdateDone = true;
    if (!OpenTexts()) {
        qpu::ShowWarningMessage(nullptr, QStringLiteral("Could not find the required files.\n"
                                                        "Closing application."));
        QWidget* mainWindow = m_context.mainFrame ? m_context.mainFrame : window();
        QPointer<QWidget> target(mainWindow);
        QMetaObject::invokeMethod(
            mainWindow,
            [target] {
                if (target)
                    target->close();
            },
            Qt::QueuedConnection);
        return;
    }

    m_menuFilePath = MenuFile::PathForStartMode(m_context.programFolder, m_context.startMode);
    if (const auto title = MenuFile::ReadTitle(m_menuFilePath)) {
        if (m_context.mainFrame)
            m_context.mainFrame->setWindowTitle(*title);
        emit titleRead(*title);
    }
    m_layout = MenuFile::ReadLayout(m_menuFilePath);
    m_pictures = std::make_unique<MenuPictures>(m_layout);

    const PluginBindContext bind{m_context.programFolder, m_context.mainFrame, m_context.pagePane,
                                 m_context.appState};
    m_entries = MenuFile::ReadEntries(m_menuFilePath, m_texts, bind, m_layout.defaultTextColor);
    if (m_context.dataMgr)
        RegisterMenuDataBlocks(m_entries, *m_context.dataMgr);
    emit entryListReady(&m_entries);
    MenuFile::ComputeLevels(m_entries);
    FillRows();
    m_rows.SelectInitialRow();
}

void CUtilMenuView::FillRows()
{
    clear();
    m_layout.MeasureRow(m_pictures->Selected().width(), m_pictures->Selected().height());
    for (const auto& entry : m_entries)
        addItem(entry->text);
    const int frame = 2 * frameWidth();
    const int width = RowWidth() + frame;
    const int height = static_cast<int>(m_entries.size()) * RowHeight() + frame;
    emit menuSizeKnown(width, height);
}

int CUtilMenuView::RowHeight() const
{
    // A configured size of 0 or below cannot show a row; the control's own height applies.
    return m_layout.rowHeight > 0 ? m_layout.rowHeight : fontMetrics().height() + 4;
}

int CUtilMenuView::RowWidth() const
{
    if (m_layout.rowWidth > 0)
        return m_layout.rowWidth;
    const int pictureWidth = m_pictures->Selected().width();
    return pictureWidth > 0 ? pictureWidth : MenuPictures::kBuiltInWidth;
}

MenuItem* CUtilMenuView::SelectedEntry() const
{
    const int row = m_rows.SelectedRow();
    if (row < 0 || row >= static_cast<int>(m_entries.size()))
        return nullptr;
    return m_entries[static_cast<size_t>(row)].get();
}

bool CUtilMenuView::CanClose()
{
    return m_rows.CanClose();
}

QRect CUtilMenuView::RowRect(int row) const
{
    return visualRect(model()->index(row, 0));
}

CUtilMenuView::RowPlan CUtilMenuView::PlanRow(int row, const QRect& rowRect) const
{
    RowPlan plan;
    if (row == m_rows.SelectedRow())
        plan.picture = RowPlan::Picture::Selected;
    else if (row == m_rows.SelectingRow())
        plan.picture = RowPlan::Picture::Selecting;
    else if (row == m_rows.OnMouseRow())
        plan.picture = RowPlan::Picture::OnMouse;

    if (plan.picture != RowPlan::Picture::None) {
        QSize size = StatePicture(plan.picture).size();
        if (m_layout.Stretches())
            size = size.expandedTo(QSize(RowWidth(), RowHeight()));
        plan.pictureRect = QRect(QPoint(0, rowRect.top()), size);
    }

    const int level = row >= 0 && row < static_cast<int>(m_entries.size())
                          ? m_entries[static_cast<size_t>(row)]->level
                          : 0;
    const int indent = m_layout.IndentForLevel(level);
    QRect text = rowRect.adjusted(indent, 0, -indent, 0);
    // A row narrower than its indents on both sides keeps an empty text rectangle.
    if (text.width() < 0)
        text.setWidth(0);
    if (plan.picture == RowPlan::Picture::Selected || plan.picture == RowPlan::Picture::Selecting)
        text.translate(2, 2);
    plan.textRect = text;
    return plan;
}

QFont CUtilMenuView::RowFont(int row) const
{
    QFont rowFont = font();
    if (row < 0 || row >= static_cast<int>(m_entries.size()))
        return rowFont;
    const MenuItem& entry = *m_entries[static_cast<size_t>(row)];
    if (entry.IsBold())
        rowFont.setWeight(QFont::Bold);
    if (entry.fontSizePoints != 0) {
        const int pixels =
            std::min(std::abs(MulDiv(entry.fontSizePoints, logicalDpiY(), 72)), kMaxFontPixels);
        if (pixels > 0)
            rowFont.setPixelSize(pixels);
    }
    return rowFont;
}

const QImage& CUtilMenuView::StatePicture(RowPlan::Picture picture) const
{
    switch (picture) {
    case RowPlan::Picture::OnMouse:
        return m_pictures->OnMouse();
    case RowPlan::Picture::Selecting:
        return m_pictures->Selecting();
    case RowPlan::Picture::Selected:
    case RowPlan::Picture::None:
        break;
    }
    return m_pictures->Selected();
}

void CUtilMenuView::DrawRow(QPainter& painter, const QRect& rowRect, int row) const
{
    if (row < 0 || row >= static_cast<int>(m_entries.size()))
        return;
    const RowPlan plan = PlanRow(row, rowRect);
    painter.save();
    if (plan.picture != RowPlan::Picture::None) {
        // The picture belongs to this row only; it never spills over its neighbours.
        painter.setClipRect(QRect(0, rowRect.top(), viewport()->width(), rowRect.height()));
        painter.drawImage(plan.pictureRect, StatePicture(plan.picture));
        painter.setClipping(false);
    }
    const MenuItem& entry = *m_entries[static_cast<size_t>(row)];
    painter.setFont(RowFont(row));
    painter.setPen(ToQColor(entry.textColor));
    painter.drawText(plan.textRect,
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                     entry.text);
    painter.restore();
}

void CUtilMenuView::PaintBackground(QPainter& painter, const QRect& area) const
{
    const QImage& picture = m_pictures->Background();
    const QRect client = viewport()->rect();
    if (picture.isNull()) {
        painter.fillRect(area, palette().base());
        return;
    }
    // The picture sits in the bottom-left corner; above it the colour of its top-left
    // pixel continues across the whole width. A lower client shows the picture's bottom.
    if (client.height() >= picture.height()) {
        const int top = client.height() - picture.height();
        painter.fillRect(QRect(0, 0, client.width(), top), QColor(picture.pixel(0, 0)));
        // The strip right of a narrower picture takes the same colour.
        painter.fillRect(QRect(picture.width(), top, client.width(), picture.height()),
                         QColor(picture.pixel(0, 0)));
        painter.drawImage(QPoint(0, top), picture);
    } else {
        painter.fillRect(QRect(picture.width(), 0, client.width(), client.height()),
                         QColor(picture.pixel(0, 0)));
        painter.drawImage(
            QPoint(0, 0), picture,
            QRect(0, picture.height() - client.height(), picture.width(), client.height()));
    }
}

void CUtilMenuView::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(viewport());
        painter.setClipRegion(event->region());
        PaintBackground(painter, event->rect());
    }
    QListWidget::paintEvent(event);
}

int CUtilMenuView::HitRow(const QPoint& viewportPos) const
{
    if (!viewport()->rect().contains(viewportPos))
        return MenuRowState::kNoRow;
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : MenuRowState::kNoRow;
}

uint32_t CUtilMenuView::KeyFlags(const QMouseEvent& event)
{
    uint32_t flags = 0;
    if (event.buttons() & Qt::LeftButton)
        flags |= MenuRowState::kLeftButton;
    if (event.buttons() & Qt::RightButton)
        flags |= MenuRowState::kRightButton;
    if (event.buttons() & Qt::MiddleButton)
        flags |= MenuRowState::kMiddleButton;
    if (event.modifiers() & Qt::ShiftModifier)
        flags |= MenuRowState::kShift;
    if (event.modifiers() & Qt::ControlModifier)
        flags |= MenuRowState::kControl;
    return flags;
}

void CUtilMenuView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    m_rows.MouseMove(HitRow(pos), KeyFlags(*event), viewport()->rect().contains(pos));
    QListWidget::mouseMoveEvent(event);
}

void CUtilMenuView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QListWidget::mousePressEvent(event);
        return;
    }
    if (m_rows.LeftButtonDown(HitRow(event->position().toPoint())))
        QListWidget::mousePressEvent(event);
}

void CUtilMenuView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QListWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_rows.LeftButtonUp())
        QListWidget::mouseReleaseEvent(event);
}

bool CUtilMenuView::viewportEvent(QEvent* event)
{
    // The pointer leaving the view ends its hold on the mouse.
    if (event->type() == QEvent::Leave)
        m_rows.CaptureLost();
    return QListWidget::viewportEvent(event);
}

int CUtilMenuView::RowClient::RowCount() const
{
    return static_cast<int>(m_view.m_entries.size());
}

bool CUtilMenuView::RowClient::IsSelectable(int row) const
{
    return m_view.m_entries[static_cast<size_t>(row)]->IsSelectable();
}

int32_t CUtilMenuView::RowClient::SelectingValue(int row) const
{
    return m_view.m_entries[static_cast<size_t>(row)]->selecting;
}

int32_t CUtilMenuView::RowClient::ChangeMenuState(int row, int32_t state)
{
    CMenuDLLProc& plugin = m_view.m_entries[static_cast<size_t>(row)]->plugin;
    return plugin.IsLoaded() ? plugin.ChangeMenuState(state) : 0;
}

void CUtilMenuView::RowClient::RedrawRow(int row)
{
    if (row >= 0 && row < RowCount())
        m_view.viewport()->update(QRect(0, m_view.RowRect(row).top(), m_view.viewport()->width(),
                                        m_view.RowRect(row).height()));
}

void CUtilMenuView::RowClient::SelectedRowChanged(int row)
{
    emit m_view.selectedEntryChanged(row, m_view.SelectedEntry());
}

#include "moc_util_menu_view.cpp"
