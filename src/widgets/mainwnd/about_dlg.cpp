#include "mainwnd/about_dlg.h"

#include <qpu/version.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kTemplateId = 100;
constexpr QSize kTemplateSize(293, 164); // 195 x 101 dialog units
constexpr int kIconPixels = 48;

// A receipt printer seen from the front, a receipt coming out of its top.
QPixmap DrawPrinterIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);

    // Receipt.
    QPainterPath paper;
    paper.moveTo(15, 4);
    paper.lineTo(33, 4);
    paper.lineTo(33, 20);
    paper.lineTo(15, 20);
    paper.closeSubpath();
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(Qt::white);
    p.drawPath(paper);
    p.setPen(QPen(QColor(120, 120, 120), 1.2));
    for (int y = 8; y <= 16; y += 4)
        p.drawLine(QPointF(18, y), QPointF(y == 12 ? 26 : 30, y));

    // Body.
    QLinearGradient body(0, 16, 0, 44);
    body.setColorAt(0, QColor(96, 104, 116));
    body.setColorAt(1, QColor(44, 50, 60));
    p.setPen(QPen(QColor(30, 34, 40), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(5, 16, 38, 27), 5, 5);
    // Paper slot.
    p.setBrush(QColor(20, 22, 26));
    p.drawRoundedRect(QRectF(12, 19, 24, 3), 1.5, 1.5);
    // Front panel with the power light.
    p.setBrush(QColor(70, 78, 90));
    p.drawRoundedRect(QRectF(9, 31, 30, 8), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 210, 110));
    p.drawEllipse(QPointF(34, 35), 1.8, 1.8);
    return pixmap;
}

} // namespace

QIcon CAboutDlg::ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(DrawPrinterIcon(size));
    return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setProperty("controlId", kTemplateId);
    setWindowTitle(QStringLiteral("Version Information"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(DrawPrinterIcon(kIconPixels));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* title = new QLabel(QStringLiteral("QP-R60 Utility"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    title->setFont(titleFont);
    auto* version = new QLabel(QStringLiteral("Ver." QPU_VERSION_TEXT), this);
    auto* purpose =
        new QLabel(QStringLiteral("Setup utility for the QP-R60 receipt printer"), this);
    auto* copyright = new QLabel(QStringLiteral("Copyright (C) VORKA"), this);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(6);
    texts->addWidget(purpose);
    texts->addWidget(copyright);
    texts->addStretch();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setProperty("controlId", kOkId);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 14, 16, 12);
    grid->setHorizontalSpacing(16);
    grid->addWidget(icon, 0, 0);
    grid->addLayout(texts, 0, 1);
    grid->addWidget(buttons, 1, 0, 1, 2);
    // The template's size, or more where the texts need it.
    resize(kTemplateSize.expandedTo(sizeHint()));
}
