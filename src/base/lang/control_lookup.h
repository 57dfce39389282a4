#pragma once

#include <QString>

class QObject;

// Finding the controls of a window by their dialog control ID, and naming their window
// class, without depending on the widget library: texts from the language files are
// matched to controls through these two functions.
namespace lang {

// Dynamic property that carries a control's numeric dialog control ID.
inline constexpr char kControlIdProperty[] = "controlId";
// Optional dynamic property that overrides the window class name of a control.
inline constexpr char kWindowClassProperty[] = "windowClass";
// Boolean dynamic property of a child window that takes its texts from a language store
// of its own (an embedded view or page): its controls are not searched from its parent.
inline constexpr char kOwnsTextsProperty[] = "ownsLangTexts";

// The first descendant of parent whose "controlId" property equals controlId, searching
// the direct children first, then their children, and so on. Dialogs, main windows and
// children marked with "ownsLangTexts" inside parent are windows with controls of their
// own and are not searched. Null when parent is null, controlId is -1 or no control
// matches.
QObject* FindControl(const QObject* parent, int controlId);

// The window class name of a control: its "windowClass" property when set, otherwise
// "ComboBox" for combo boxes, "SysListView32" for report-style list views (tree and table
// views), "ListBox" for plain list views, "Button" for buttons and group boxes, "Static"
// for labels, "Edit" for text and number fields, "msctls_progress32" for progress bars;
// the Qt class name for anything else; empty for null.
QString ControlClassName(const QObject* control);

} // namespace lang
