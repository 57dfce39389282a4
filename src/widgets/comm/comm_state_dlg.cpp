#include "comm/comm_state_dlg.h"

#include <qpu/window_message.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

// The animation control: plays one of the two clips, frame after frame, without end.
// The clips are drawn once when opened: a PC on the left, a receipt printer on the right
// and data travelling along the cable between them.
class CCommAnimation final : public QWidget
{
public:
    static constexpr QSize kClipSize{324, 78}; // 216 x 48 dialog units
    static constexpr int kFrameCount = 16;
    static constexpr int kFrameMs = 80;

    explicit CCommAnimation(QWidget* parent) : QWidget(parent)
    {
        setProperty("controlId", CCommStateDlg::kAnimationId);
        setFixedSize(kClipSize);
    }

    // Closes the open clip; an unknown resource leaves the control empty.
    bool Open(int resource)
    {
        Close();
        if (resource != CCommStateDlg::kClipOneWay && resource != CCommStateDlg::kClipTwoWay)
            return false;
        for (int i = 0; i < kFrameCount; ++i)
            m_frames.push_back(DrawFrame(resource, i));
        return true;
    }
    void Close()
    {
        m_timer.stop();
        m_frames.clear();
        m_current = 0;
        update();
    }
    void Play()
    {
        if (!m_frames.empty())
            m_timer.start(kFrameMs, this);
    }
    bool IsPlaying() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_frames.empty())
            return;
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_frames[static_cast<size_t>(m_current)]);
    }
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() != m_timer.timerId())
            return QWidget::timerEvent(event);
        m_current = (m_current + 1) % static_cast<int>(m_frames.size());
        update();
    }

private:
    static QPixmap DrawFrame(int resource, int frame);
    static void DrawComputer(QPainter& p, int frame, bool twoWay);
    static void DrawPrinter(QPainter& p, int frame, bool twoWay);
    static void DrawLane(QPainter& p, qreal y, bool toPrinter, const QColor& color, int frame);

    std::vector<QPixmap> m_frames;
    int m_current = 0;
    QBasicTimer m_timer;
};

namespace {

constexpr qreal kLaneLeft = 96;
constexpr qreal kLaneRight = 226;

} // namespace

QPixmap CCommAnimation::DrawFrame(int resource, int frame)
{
    QPixmap pixmap(kClipSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const bool twoWay = resource == CCommStateDlg::kClipTwoWay;
    DrawComputer(p, frame, twoWay);
    DrawPrinter(p, frame, twoWay);
    if (twoWay) {
        DrawLane(p, 31, true, QColor(38, 120, 220), frame);
        DrawLane(p, 47, false, QColor(40, 170, 90), (frame + kFrameCount / 2) % kFrameCount);
    } else {
        DrawLane(p, 39, true, QColor(38, 120, 220), frame);
    }
    return pixmap;
}

void CCommAnimation::DrawComputer(QPainter& p, int frame, bool twoWay)
{
    // Monitor.
    QLinearGradient bezel(0, 4, 0, 52);
    bezel.setColorAt(0, QColor(214, 218, 224));
    bezel.setColorAt(1, QColor(168, 174, 184));
    p.setPen(QPen(QColor(110, 116, 126), 1));
    p.setBrush(bezel);
    p.drawRoundedRect(QRectF(14.5, 4.5, 72, 48), 4, 4);
    QLinearGradient screen(0, 9, 0, 47);
    screen.setColorAt(0, QColor(46, 96, 170));
    screen.setColorAt(1, QColor(24, 52, 104));
    p.setBrush(screen);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(19, 9, 63, 38));
    // The window on the screen, its bar filling as the frames go by.
    p.setBrush(QColor(236, 240, 246));
    p.drawRect(QRectF(25, 15, 51, 26));
    p.setBrush(QColor(70, 120, 196));
    p.drawRect(QRectF(25, 15, 51, 5));
    p.setBrush(QColor(200, 206, 214));
    p.drawRect(QRectF(29, 31, 43, 5));
    const qreal fill = 43.0 * (frame + 1) / kFrameCount;
    p.setBrush(twoWay ? QColor(40, 170, 90) : QColor(38, 120, 220));
    p.drawRect(QRectF(29, 31, fill, 5));
    p.setBrush(QColor(150, 158, 170));
    p.drawRect(QRectF(29, 24, 30, 2));
    // Stand and keyboard.
    p.setBrush(QColor(150, 156, 166));
    p.drawRect(QRectF(44, 53, 13, 6));
    p.setPen(QPen(QColor(110, 116, 126), 1));
    p.setBrush(QColor(196, 200, 208));
    p.drawRoundedRect(QRectF(33.5, 58.5, 34, 4), 2, 2);
    QPainterPath keyboard;
    keyboard.moveTo(24.5, 75.5);
    keyboard.lineTo(28.5, 66.5);
    keyboard.lineTo(72.5, 66.5);
    keyboard.lineTo(76.5, 75.5);
    keyboard.closeSubpath();
    p.drawPath(keyboard);
    p.setPen(QPen(QColor(150, 156, 166), 1));
    for (int row = 0; row < 2; ++row) {
        const qreal y = 69.5 + row * 3;
        p.drawLine(QPointF(30 - row, y), QPointF(71 + row, y));
    }
}

void CCommAnimation::DrawPrinter(QPainter& p, int frame, bool twoWay)
{
    // Receipt coming out of the slot, a little further with every frame.
    const qreal paperHeight = 6 + 22.0 * frame / (kFrameCount - 1);
    const QRectF paper(252, 36 - paperHeight, 38, paperHeight + 2);
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.setBrush(Qt::white);
    p.drawRect(paper);
    p.setPen(QPen(QColor(130, 130, 130), 1.2));
    for (qreal y = paper.top() + 4; y < paper.bottom() - 2; y += 4)
        p.drawLine(QPointF(256, y), QPointF(static_cast<int>(y) % 8 < 4 ? 284 : 276, y));

    // Body and slot.
    QLinearGradient body(0, 34, 0, 74);
    body.setColorAt(0, QColor(98, 106, 118));
    body.setColorAt(1, QColor(42, 48, 58));
    p.setPen(QPen(QColor(28, 32, 38), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(234.5, 33.5, 74, 40), 6, 6);
    p.setBrush(QColor(18, 20, 24));
    p.drawRoundedRect(QRectF(246, 36, 50, 3), 1.5, 1.5);
    // Front panel: power light, and the data light that blinks while data flows.
    p.setBrush(QColor(70, 78, 90));
    p.drawRoundedRect(QRectF(242.5, 56.5, 58, 11), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 210, 110));
    p.drawEllipse(QPointF(292, 62), 2.2, 2.2);
    const bool dataLight = twoWay ? (frame / 2) % 2 == 0 : (frame / 4) % 2 == 0;
    p.setBrush(dataLight ? QColor(255, 176, 40) : QColor(110, 96, 70));
    p.drawEllipse(QPointF(284, 62), 2.2, 2.2);
}

void CCommAnimation::DrawLane(QPainter& p, qreal y, bool toPrinter, const QColor& color, int frame)
{
    // The cable: a row of faint dots.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 196, 204));
    for (qreal x = kLaneLeft; x <= kLaneRight; x += 10)
        p.drawEllipse(QPointF(x, y), 1.4, 1.4);

    // Three packets, evenly spaced, each with a fading trail behind it.
    const qreal span = kLaneRight - kLaneLeft;
    const qreal spacing = span / 3;
    for (int packet = 0; packet < 3; ++packet) {
        const qreal travelled = std::fmod(packet * spacing + spacing * frame / kFrameCount, span);
        for (int trail = 0; trail < 4; ++trail) {
            const qreal along = travelled - trail * 7;
            if (along < 0)
                continue;
            const qreal x = toPrinter ? kLaneLeft + along : kLaneRight - along;
            QColor dot = color;
            dot.setAlphaF(1.0 - trail * 0.28);
            p.setBrush(dot);
            const qreal radius = 4.2 - trail * 0.8;
            p.drawEllipse(QPointF(x, y), radius, radius);
        }
    }
    // Arrow head at the receiving end.
    QPainterPath arrow;
    const qreal tip = toPrinter ? kLaneRight + 8 : kLaneLeft - 8;
    const qreal back = toPrinter ? tip - 6 : tip + 6;
    arrow.moveTo(tip, y);
    arrow.lineTo(back, y - 4);
    arrow.lineTo(back, y + 4);
    arrow.closeSubpath();
    p.setBrush(color);
    p.drawPath(arrow);
}

CCommStateDlg::CCommStateDlg(QWidget* parent) : QDialog(parent)
{
    setProperty("controlId", kTemplateId);
    // A title bar without buttons: nothing here ends the job.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::ApplicationModal);

    m_animation = new CCommAnimation(this);
    m_progress = new QProgressBar(this);
    m_progress->setProperty("controlId", kProgressId);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(16);

    // The dialog's OK and Cancel exist for the template's sake only: hidden and disabled.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setProperty("controlId", kOkId);
    cancel->setProperty("controlId", kCancelId);
    for (QPushButton* button : {ok, cancel}) {
        button->setAutoDefault(false);
        button->setEnabled(false);
        button->hide();
    }
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 14);
    layout->setSpacing(12);
    layout->addWidget(m_animation, 0, Qt::AlignHCenter);
    layout->addWidget(m_progress);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CCommStateDlg::~CCommStateDlg() = default;

void CCommStateDlg::SetJob(QpuEvent* doneEvent, QpuEvent* progressEvent, int animationResource,
                           int showDelayMs)
{
    m_doneEvent = doneEvent;
    m_progressEvent = progressEvent;
    m_animationResource = animationResource;
    m_showDelayMs = std::max(0, showDelayMs);
}

void CCommStateDlg::StartTimers()
{
    m_showTimer.start(m_showDelayMs, this);
    m_pollTimer.start(kPollIntervalMs, this);
}

int CCommStateDlg::SetPosition(int position)
{
    if (position < m_position)
        return -1;
    m_position = position;
    return 0;
}

qint64 CCommStateDlg::ShownMs() const
{
    if (m_shownMs >= 0)
        return m_shownMs;
    return m_shownAt.isValid() ? m_shownAt.elapsed() : 0;
}

int CCommStateDlg::BarValue() const
{
    return m_progress->value();
}

bool CCommStateDlg::IsAnimating() const
{
    return m_animation->IsPlaying();
}

bool CCommStateDlg::event(QEvent* event)
{
    if (auto* message = qpu::WindowMessageEvent::From(event)) {
        switch (message->message()) {
        case QPU_WM_PROGRESS_102:
            StartTimers();
            message->setResult(0);
            return true;
        case QPU_WM_PROGRESS_103:
            message->setResult(SetPosition(static_cast<int>(message->wParam())));
            return true;
        case QPU_WM_CLOSE:
            Finish();
            return true;
        default:
            return false;
        }
    }
    return QDialog::event(event);
}

void CCommStateDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_showTimer.timerId()) {
        OnShowTimer();
    } else if (event->timerId() == m_pollTimer.timerId()) {
        OnPollTimer();
    } else if (event->timerId() == m_closeTimer.timerId()) {
        m_closeTimer.stop();
        qpu::PostWindowMessage(this, QPU_WM_CLOSE, 0, 0);
    } else {
        QDialog::timerEvent(event);
    }
}

void CCommStateDlg::OnShowTimer()
{
    m_showTimer.stop();
    CenterOnOwner();
    show();
    m_shownAt.start();
    m_animation->Close();
    m_animation->Open(m_animationResource);
    m_animation->Play();
}

void CCommStateDlg::OnPollTimer()
{
    // The progress event goes first, so a last report is shown before the dialog closes.
    if (m_progressEvent != nullptr && qpu_event_is_set(m_progressEvent)) {
        m_progress->setValue(std::clamp(m_position, 0, 100));
        qpu_event_reset(m_progressEvent);
        return;
    }
    // Without a progress event every poll shows the stored position and still looks for
    // the job's end, so the dialog cannot be left waiting for good.
    if (m_progressEvent == nullptr)
        m_progress->setValue(std::clamp(m_position, 0, 100));
    if (m_doneEvent != nullptr && qpu_event_is_set(m_doneEvent))
        OnJobDone();
}

void CCommStateDlg::OnJobDone()
{
    m_pollTimer.stop();
    m_showTimer.stop(); // a job that ends before the delay never shows the dialog
    const qint64 shownMs = m_shownAt.isValid() ? m_shownAt.elapsed() : kMinimumShownMs;
    if (shownMs < kMinimumShownMs) {
        // A timer rather than a sleep: the window keeps painting and animating meanwhile.
        m_closeTimer.start(static_cast<int>(kMinimumShownMs - shownMs), Qt::PreciseTimer, this);
        return;
    }
    qpu::PostWindowMessage(this, QPU_WM_CLOSE, 0, 0);
}

void CCommStateDlg::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_showTimer.stop();
    m_pollTimer.stop();
    m_closeTimer.stop();
    m_shownMs = m_shownAt.isValid() ? m_shownAt.elapsed() : 0;
    m_animation->Close();
    done(QDialog::Rejected);
}

void CCommStateDlg::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Normal dispatch only; the dialog's own handling would end it.
        QWidget::keyPressEvent(event);
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CCommStateDlg::closeEvent(QCloseEvent* event)
{
    // While a job runs its worker still uses the job's events and windows: the dialog ends
    // only when the job is done.
    if (m_doneEvent != nullptr && !m_finished) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CCommStateDlg::CenterOnOwner()
{
    adjustSize();
    QRect area;
    if (QWidget* owner = parentWidget(); owner != nullptr && owner->isVisible()) {
        area = owner->window()->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
        area = screen->availableGeometry();
    }
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}
