#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

class QLineEdit;

// An IPv4 address entry: four fields of 0 to 255 separated by points. A field may be blank;
// reading the address counts a blank field as 0. Typing a point or a third digit moves on to
// the next field, Backspace in an empty field moves back. A number above 255 stays as typed,
// in the error colour; OutOfRangePart tells it, and the owner refuses the address.
class CIpAddressEdit : public QWidget
{
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    // Fills the four fields, first octet (highest byte) first.
    void SetAddress(uint32_t address);
    // The address, blank fields counting as 0 (a part above 255 as 255: check
    // OutOfRangePart first).
    uint32_t Address() const;
    // The text of the first field that holds a number above 255, empty when none does.
    QString OutOfRangePart() const;
    // Empties every field.
    void Clear();
    // True when every field is empty.
    bool IsBlank() const;
    // The number of fields that hold a number.
    int FilledFieldCount() const;

signals:
    // A field's text changed, by the user or by SetAddress or Clear.
    void FieldChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int FieldIndex(const QObject* field) const;
    void OnTextEdited(int index, const QString& text);
    void Focus(int index);

    std::array<QLineEdit*, 4> m_fields{};
};
