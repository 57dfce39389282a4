#include "lang/lang_records.h"

#include "lang/control_lookup.h"

#include <utility>

CLangInfoBase::CLangInfoBase(QString key, int number, QString text, int spareNumber)
    : m_key(std::move(key)), m_number(number), m_text(std::move(text)), m_spareNumber(spareNumber)
{}

CLangInfoBase::~CLangInfoBase() = default;

bool CLangInfoBase::IsTargetControl(const QObject* /*parent*/) const
{
    return false;
}

bool CLangInfoBase::IsControlClass(const QObject* parent, const QString& className) const
{
    if (m_number == kNoNumber || className.isEmpty() || parent == nullptr) {
        return false;
    }
    const QObject* control = lang::FindControl(parent, m_number);
    if (control == nullptr) {
        return false;
    }
    return lang::ControlClassName(control) == className;
}

CComboBoxResInfo::CComboBoxResInfo(QString key, int controlId, QString text, int itemData,
                                   int spareNumber)
    : CLangInfoBase(std::move(key), controlId, std::move(text), spareNumber), m_itemData(itemData)
{}

bool CComboBoxResInfo::IsTargetControl(const QObject* parent) const
{
    return IsControlClass(parent, QString::fromLatin1(kWindowClass));
}

CListCtrlResInfo::CListCtrlResInfo(QString key, int controlId, QString text, int columnIndex,
                                   int width, int alignment, int spareNumber)
    : CLangInfoBase(std::move(key), controlId, std::move(text), spareNumber),
      m_columnIndex(columnIndex), m_width(width), m_alignment(alignment)
{}

Qt::Alignment CListCtrlResInfo::HorizontalAlignment() const
{
    switch (m_alignment) {
    case kAlignCenter:
        return Qt::AlignHCenter;
    case kAlignRight:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

bool CListCtrlResInfo::IsTargetControl(const QObject* parent) const
{
    return IsControlClass(parent, QString::fromLatin1(kWindowClass));
}
