#include "printers/tool_progress_dlg.h"

#include "lang/control_lookup.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

CToolProgressDlg::CToolProgressDlg(Kind kind, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_kind(kind)
{
    setModal(true);
    const bool pairing = kind == kPairing;
    setWindowTitle(pairing ? QStringLiteral("Paring") : QStringLiteral("Run VorkaNet Config"));
    m_label = new QLabel(pairing ? QStringLiteral("Now Paring...")
                                 : QStringLiteral("VorkaNet Config Running..."),
                         this);
    m_label->setProperty(lang::kControlIdProperty, pairing ? kPairingLabelId : kNetworkToolLabelId);
    m_label->setWordWrap(true);
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0); // busy: the tool reports no progress
    m_busy->setTextVisible(false);
    m_busy->setMaximumHeight(m_label->sizeHint().height());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(m_label);
    layout->addWidget(m_busy);
    // 181 x 31 dialog units.
    setMinimumWidth(300);
    setSizeGripEnabled(false);
}

void CToolProgressDlg::SetTexts(const QString& caption, const QString& label)
{
    setWindowTitle(caption);
    m_label->setText(label);
}

QString CToolProgressDlg::LabelText() const
{
    return m_label->text();
}

void CToolProgressDlg::Finish()
{
    m_finished = true;
    done(QDialog::Accepted);
}

void CToolProgressDlg::reject()
{
    if (m_finished)
        QDialog::reject();
}

void CToolProgressDlg::closeEvent(QCloseEvent* event)
{
    if (m_finished)
        QDialog::closeEvent(event);
    else
        event->ignore();
}
