#pragma once

class CLangResStore;
class QWidget;

// Writing the texts of a language store into the controls of a window. Controls are found
// by their "controlId" property (lang::FindControl); records whose control is missing or
// of the wrong kind are skipped silently. Each operation walks its records in file order
// and does nothing when window is null.
//
// Windows call them once their controls exist, after CLangResStore::LoadSections, in the
// order ApplyCaptions, ApplyComboItems, ApplyListColumns (leaving out those they do not
// need).
//
// Report-style lists ("SysListView32") are QTreeWidget controls with a header, their
// columns being the header's sections (QTableWidget and other tree and table views over
// a model that accepts header data work the same way). A fresh QTreeWidget has one
// column; a window that wants all its columns from the language file calls
// setColumnCount(0) first.
namespace lang {

// Sets the text of every control that has a caption record: the label of a button, check
// box or static text, the title of a group box, the contents of an edit field, the window
// title of any other widget. When several records name one control, the last one wins.
// Line breaks of the file (CR LF) become Qt line breaks.
void ApplyCaptions(const CLangResStore& store, QWidget* window);

// Appends the combo-item records to their combo boxes (QComboBox), each item carrying the
// record's item data as an int in Qt::UserRole. Items already in a combo box stay, so
// applying twice adds every item twice. An item the combo box refuses (its maximum count
// reached) is skipped.
void ApplyComboItems(const CLangResStore& store, QWidget* window);

// Inserts or updates list columns. A column that exists gets the record's heading, the
// record's width unless that is -1, and the record's horizontal alignment, keeping its
// vertical alignment and everything else. A column that does not exist is added after
// the last column, with the heading, the alignment and, unless -1, the width. The
// alignment holds for the heading and, unless a cell sets its own, for the column's cells.
void ApplyListColumns(const CLangResStore& store, QWidget* window);

} // namespace lang
