#include "app/message_box.h"

#include <QMessageBox>

namespace qpu {

void ShowInfoMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QString::fromLatin1(kProductTitle), text);
}

void ShowWarningMessage(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QString::fromLatin1(kProductTitle), text);
}

bool AskYesNo(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, QString::fromLatin1(kProductTitle), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void ShowInfoMessage(QWidget* owner)
{
    ShowInfoMessage(owner, QString::fromLatin1(kDefaultInfoText));
}

void ShowWarningMessage(QWidget* owner)
{
    ShowWarningMessage(owner, QString::fromLatin1(kDefaultWarningText));
}

int AskYesNo(const QString& caption, QWidget* owner, const QString& text)
{
    const QString title = caption.isEmpty() ? QString::fromLatin1(kProductTitle) : caption;
    const QString question = text.isEmpty() ? QString::fromLatin1(kDefaultQuestionText) : text;
    return QMessageBox::question(owner, title, question, QMessageBox::Yes | QMessageBox::No) ==
                   QMessageBox::Yes
               ? kIdYes
               : kIdNo;
}

} // namespace qpu
