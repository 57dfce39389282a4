#include "lang/apply_lang_texts.h"

#include "lang/control_lookup.h"
#include "lang/lang_res_store.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QVariant>

namespace lang {

namespace {

// Texts of the language files break lines with CR LF; Qt widgets break at LF alone.
QString WidgetText(const QString& text)
{
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return result;
}

void SetControlText(QObject* control, const QString& text)
{
    if (auto* groupBox = qobject_cast<QGroupBox*>(control)) {
        groupBox->setTitle(text);
    } else if (auto* textEdit = qobject_cast<QTextEdit*>(control)) {
        textEdit->setPlainText(text);
    } else if (auto* plainTextEdit = qobject_cast<QPlainTextEdit*>(control)) {
        plainTextEdit->setPlainText(text);
    } else if (auto* comboBox = qobject_cast<QComboBox*>(control)) {
        // Only a combo box with an edit field has a text of its own.
        if (comboBox->isEditable()) {
            comboBox->setEditText(text);
        }
    } else if (control->metaObject()->indexOfProperty("text") >= 0) {
        control->setProperty("text", text); // labels, buttons, line edits, actions
    } else if (auto* widget = qobject_cast<QWidget*>(control)) {
        widget->setWindowTitle(text);
    }
}

// Aligns the cells of a column as its heading is aligned, like the column format of a
// report list, unless a cell sets its own alignment.
class ColumnAlignmentDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(Qt::TextAlignmentRole).isValid()) {
            return;
        }
        const QVariant heading =
            index.model()->headerData(index.column(), Qt::Horizontal, Qt::TextAlignmentRole);
        if (!heading.isValid()) {
            return;
        }
        const Qt::Alignment horizontal = Qt::Alignment(heading.toInt()) & Qt::AlignHorizontal_Mask;
        option->displayAlignment =
            (option->displayAlignment & ~Qt::AlignHorizontal_Mask) | horizontal;
    }
};

QHeaderView* ColumnHeader(QAbstractItemView* view)
{
    if (auto* tree = qobject_cast<QTreeView*>(view)) {
        return tree->header();
    }
    if (auto* table = qobject_cast<QTableView*>(view)) {
        return table->horizontalHeader();
    }
    return nullptr;
}

void FollowHeadingAlignment(QAbstractItemView* view, int column)
{
    // Only over the view's standard painting; a view with delegates of its own keeps them.
    const QAbstractItemDelegate* standard = view->itemDelegate();
    if (view->itemDelegateForColumn(column) != nullptr || standard == nullptr ||
        standard->metaObject() != &QStyledItemDelegate::staticMetaObject) {
        return;
    }
    view->setItemDelegateForColumn(column, new ColumnAlignmentDelegate(view));
}

void SetAlignment(QAbstractItemModel* model, int column, Qt::Alignment horizontal)
{
    const QVariant current = model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
    const Qt::Alignment kept = current.isValid()
                                   ? Qt::Alignment(current.toInt()) & ~Qt::AlignHorizontal_Mask
                                   : Qt::Alignment(Qt::AlignVCenter);
    model->setHeaderData(column, Qt::Horizontal, int(kept | horizontal), Qt::TextAlignmentRole);
}

void ApplyColumn(const CListCtrlResInfo& record, QAbstractItemView* view)
{
    QAbstractItemModel* model = view->model();
    QHeaderView* header = ColumnHeader(view);
    if (model == nullptr || header == nullptr || record.ColumnIndex() < 0) {
        return;
    }
    int column = record.ColumnIndex();
    if (column >= model->columnCount()) {
        // A new column goes after the last one, whatever index the record names.
        column = model->columnCount();
        if (!model->insertColumn(column)) {
            return;
        }
    }
    // A table widget keeps header data only in header items, which it makes on request.
    if (auto* table = qobject_cast<QTableWidget*>(view);
        table != nullptr && table->horizontalHeaderItem(column) == nullptr) {
        table->setHorizontalHeaderItem(column, new QTableWidgetItem);
    }
    model->setHeaderData(column, Qt::Horizontal, WidgetText(record.Text()), Qt::DisplayRole);
    if (!record.KeepsWidth() && record.Width() >= 0) {
        header->resizeSection(column, record.Width());
    }
    SetAlignment(model, column, record.HorizontalAlignment());
    FollowHeadingAlignment(view, column);
}

} // namespace

void ApplyCaptions(const CLangResStore& store, QWidget* window)
{
    if (window == nullptr) {
        return;
    }
    for (const auto& record : store.Captions()) {
        if (QObject* control = FindControl(window, record->Number())) {
            SetControlText(control, WidgetText(record->Text()));
        }
    }
}

void ApplyComboItems(const CLangResStore& store, QWidget* window)
{
    if (window == nullptr) {
        return;
    }
    for (const auto& record : store.ComboItems()) {
        if (!record->IsTargetControl(window)) {
            continue;
        }
        auto* comboBox = qobject_cast<QComboBox*>(FindControl(window, record->Number()));
        if (comboBox == nullptr) {
            continue; // named "ComboBox" by its windowClass property, but no combo box
        }
        comboBox->addItem(WidgetText(record->Text()), QVariant(record->ItemData()));
    }
}

void ApplyListColumns(const CLangResStore& store, QWidget* window)
{
    if (window == nullptr) {
        return;
    }
    for (const auto& record : store.ListColumns()) {
        if (!record->IsTargetControl(window)) {
            continue;
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(FindControl(window, record->Number()))) {
            ApplyColumn(*record, view);
        }
    }
}

} // namespace lang
