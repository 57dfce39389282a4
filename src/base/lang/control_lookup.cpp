#include "lang/control_lookup.h"

#include <QList>
#include <QObject>
#include <QVariant>

namespace lang {

namespace {

bool HasControlId(const QObject* object, int controlId)
{
    const QVariant value = object->property(kControlIdProperty);
    if (!value.isValid()) {
        return false;
    }
    bool ok = false;
    const int id = value.toInt(&ok);
    return ok && id == controlId;
}

bool IsSeparateWindow(const QObject* object)
{
    return object->inherits("QDialog") || object->inherits("QMainWindow") ||
           object->property(kOwnsTextsProperty).toBool();
}

} // namespace

QObject* FindControl(const QObject* parent, int controlId)
{
    if (parent == nullptr || controlId == -1) {
        return nullptr;
    }
    // Breadth-first, so that a direct child wins over a deeper control with the same ID.
    QList<QObject*> level = parent->children();
    while (!level.isEmpty()) {
        QList<QObject*> next;
        for (QObject* child : level) {
            if (IsSeparateWindow(child)) {
                continue;
            }
            if (HasControlId(child, controlId)) {
                return child;
            }
            next += child->children();
        }
        level = std::move(next);
    }
    return nullptr;
}

QString ControlClassName(const QObject* control)
{
    if (control == nullptr) {
        return {};
    }
    const QVariant overridden = control->property(kWindowClassProperty);
    if (overridden.isValid()) {
        return overridden.toString();
    }
    struct ClassMapping
    {
        const char* qtClass;
        const char* windowClass;
    };
    // Checked in order: the more specific classes first.
    static constexpr ClassMapping kMappings[] = {
        {"QComboBox", "ComboBox"},
        {"QTreeView", "SysListView32"},
        {"QTableView", "SysListView32"},
        {"QListView", "ListBox"},
        {"QAbstractButton", "Button"},
        {"QGroupBox", "Button"},
        {"QLabel", "Static"},
        {"QLineEdit", "Edit"},
        {"QTextEdit", "Edit"},
        {"QPlainTextEdit", "Edit"},
        {"QAbstractSpinBox", "Edit"},
        {"QProgressBar", "msctls_progress32"},
    };
    for (const ClassMapping& mapping : kMappings) {
        if (control->inherits(mapping.qtClass)) {
            return QString::fromLatin1(mapping.windowClass);
        }
    }
    return QString::fromLatin1(control->metaObject()->className());
}

} // namespace lang
