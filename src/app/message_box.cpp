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

} // namespace qpu
