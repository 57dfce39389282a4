#include "printers/communication_setting_ip_edit.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

namespace {

constexpr int kMaxOctet = 255;

} // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent)
{
    // One frame around the four fields, as a single entry control looks.
    auto* frame = new QLineEdit(this);
    frame->setReadOnly(true);
    frame->setFocusPolicy(Qt::NoFocus);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(0);
    const int digitWidth = fontMetrics().horizontalAdvance(QStringLiteral("000")) + 6;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(frame);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QIntValidator(0, kMaxOctet, field));
        field->setMinimumWidth(digitWidth);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this,
                [this, i](const QString& text) { OnTextEdited(static_cast<int>(i), text); });
        connect(field, &QLineEdit::textChanged, this, &CIpAddressEdit::FieldChanged);
        m_fields[i] = field;
        row->addWidget(field, 1);
        if (i + 1 < m_fields.size()) {
            auto* dot = new QLabel(QStringLiteral("."), frame);
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
    }
    setFocusProxy(m_fields[0]);
    setFocusPolicy(Qt::StrongFocus);
}

void CIpAddressEdit::SetAddress(uint32_t address)
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const uint32_t octet = (address >> (24 - 8 * i)) & 0xFF;
        m_fields[i]->setText(QString::number(octet));
        m_fields[i]->setStyleSheet(QString());
    }
}

uint32_t CIpAddressEdit::Address() const
{
    uint32_t address = 0;
    for (const QLineEdit* field : m_fields) {
        const uint32_t octet = std::min<uint32_t>(field->text().toUInt(), kMaxOctet);
        address = (address << 8) | octet;
    }
    return address;
}

QString CIpAddressEdit::OutOfRangePart() const
{
    for (const QLineEdit* field : m_fields) {
        if (field->text().toUInt() > kMaxOctet)
            return field->text();
    }
    return {};
}

void CIpAddressEdit::Clear()
{
    for (QLineEdit* field : m_fields) {
        field->clear();
        field->setStyleSheet(QString());
    }
}

bool CIpAddressEdit::IsBlank() const
{
    return FilledFieldCount() == 0;
}

int CIpAddressEdit::FilledFieldCount() const
{
    int filled = 0;
    for (const QLineEdit* field : m_fields)
        filled += field->text().isEmpty() ? 0 : 1;
    return filled;
}

int CIpAddressEdit::FieldIndex(const QObject* field) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] == field)
            return static_cast<int>(i);
    }
    return -1;
}

void CIpAddressEdit::Focus(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        return;
    m_fields[static_cast<size_t>(index)]->setFocus();
    m_fields[static_cast<size_t>(index)]->selectAll();
}

void CIpAddressEdit::OnTextEdited(int index, const QString& text)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    // The validator lets three digits through while they are typed; a number above 255
    // stays as typed, shown in the error colour, and the dialog refuses it.
    const bool outOfRange = text.toUInt() > kMaxOctet;
    if (outOfRange)
        QApplication::beep();
    field->setStyleSheet(outOfRange ? QStringLiteral("color: #b00000;") : QString());
    if (field->text().size() == 3)
        Focus(index + 1);
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    const int index = FieldIndex(watched);
    if (index < 0 || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    if (key->text() == QStringLiteral(".")) {
        if (!field->text().isEmpty())
            Focus(index + 1);
        return true;
    }
    if (key->key() == Qt::Key_Backspace && field->text().isEmpty()) {
        Focus(index - 1);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
