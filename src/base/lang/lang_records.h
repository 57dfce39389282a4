#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

class QObject;

// One entry of a language file, as held by CLangResStore. Records are created by the
// store while it reads a section and are immutable afterwards; the store owns them.
//
// Every record has the whole key of its line, a number, a text and a spare number:
//  - Number(): the text number (string and message sections) or the dialog control ID
//    (caption, combo-box and list-view sections), taken from the last "_" piece of the
//    key. Always >= 0 for records made by the store.
//  - Text(): the text with references to common texts resolved and the escapes "\n"
//    (carriage return + line feed) and "\t" (TAB) replaced. May be empty.
//  - SpareNumber(): an extra number of caption, combo and list records that the
//    texts-to-window operations do not use; -1 when absent.
class CLangInfoBase
{
public:
    // Default of every number field that is absent or not a number.
    static constexpr int kNoNumber = -1;

    CLangInfoBase(QString key, int number, QString text, int spareNumber = kNoNumber);
    virtual ~CLangInfoBase();

    CLangInfoBase(const CLangInfoBase&) = delete;
    CLangInfoBase& operator=(const CLangInfoBase&) = delete;

    const QString& Key() const { return m_key; }
    int Number() const { return m_number; }
    const QString& Text() const { return m_text; }
    int SpareNumber() const { return m_spareNumber; }

    // Whether the control with this record's number inside parent is of the kind this
    // record applies to. The base applies to no control.
    virtual bool IsTargetControl(const QObject* parent) const;

    // False when the number is -1, className is empty, parent is null or has no control
    // with this number (see lang::FindControl). Otherwise whether the control's window
    // class name (see lang::ControlClassName) equals className exactly, case counting.
    bool IsControlClass(const QObject* parent, const QString& className) const;

private:
    QString m_key;
    int m_number = kNoNumber;
    QString m_text;
    int m_spareNumber = kNoNumber;
};

// A text looked up by number: common strings, common messages, window strings and
// window messages.
class CStringResInfo final : public CLangInfoBase
{
public:
    using CLangInfoBase::CLangInfoBase;
};

// The text of the control whose ID is Number(): buttons, static texts, group boxes, check
// boxes. The class of the control plays no part.
class CCaptionResInfo final : public CLangInfoBase
{
public:
    using CLangInfoBase::CLangInfoBase;
};

// One item of the combo box whose ID is Number(): Text() is the item text, ItemData() the
// number attached to the item (for the language list, the language identifier).
class CComboBoxResInfo final : public CLangInfoBase
{
public:
    static constexpr char kWindowClass[] = "ComboBox";

    CComboBoxResInfo(QString key, int controlId, QString text, int itemData,
                     int spareNumber = kNoNumber);

    // -1 when the file gives no number.
    int ItemData() const { return m_itemData; }

    // True when the control is of the window class "ComboBox".
    bool IsTargetControl(const QObject* parent) const override;

private:
    int m_itemData = kNoNumber;
};

// One column of the report-style list view whose ID is Number(): Text() is the heading.
class CListCtrlResInfo final : public CLangInfoBase
{
public:
    static constexpr char kWindowClass[] = "SysListView32";
    // Alignment codes of the file; any other value means left.
    static constexpr int kAlignCenter = 1;
    static constexpr int kAlignRight = 2;
    // Width that leaves the column's width as it is.
    static constexpr int kWidthUnchanged = -1;

    CListCtrlResInfo(QString key, int controlId, QString text, int columnIndex, int width,
                     int alignment, int spareNumber = kNoNumber);

    // 0-based column index; -1 when the file gives no number (the record then names no
    // column and is best skipped).
    int ColumnIndex() const { return m_columnIndex; }
    // Width in pixels, or kWidthUnchanged.
    int Width() const { return m_width; }
    bool KeepsWidth() const { return m_width == kWidthUnchanged; }
    // The alignment code as written in the file (1 centre, 2 right, anything else left).
    int Alignment() const { return m_alignment; }
    // The alignment code as a horizontal Qt alignment: AlignHCenter, AlignRight or
    // AlignLeft.
    Qt::Alignment HorizontalAlignment() const;

    // True when the control is of the window class "SysListView32".
    bool IsTargetControl(const QObject* parent) const override;

private:
    int m_columnIndex = kNoNumber;
    int m_width = kWidthUnchanged;
    int m_alignment = kNoNumber;
};
