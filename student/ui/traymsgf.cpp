#include "traymsgf.h"

#include "widgetlook.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int NoticeWidth = 260;

QList<TTrayMsgF*>& notices()
{
    static QList<TTrayMsgF*> list; // newest first
    return list;
}

QColor colourOf(NoticeColour colour)
{
    switch (colour) {
    case NoticeColour::Tooltip:
        return QApplication::palette().color(QPalette::ToolTipBase);
    case NoticeColour::Magenta:
        return QColor(255, 0, 255);
    case NoticeColour::Red:
        return QColor(255, 0, 0);
    case NoticeColour::BrightGreen:
        return QColor(0, 255, 0);
    }
    return QColor();
}

QStyle::StandardPixmap iconOf(NoticeIcon icon)
{
    switch (icon) {
    case NoticeIcon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case NoticeIcon::Error:
        return QStyle::SP_MessageBoxCritical;
    case NoticeIcon::Information:
        return QStyle::SP_MessageBoxInformation;
    case NoticeIcon::Question:
        return QStyle::SP_MessageBoxQuestion;
    }
    return QStyle::SP_MessageBoxInformation;
}

} // namespace

int TTrayMsgF::pixelsPerStep(int speed)
{
    static constexpr int Pixels[] = {1, 3, 6};
    return Pixels[qBound(0, speed, 2)];
}

QRect TTrayMsgF::workArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

TTrayMsgF* TTrayMsgF::show(const Notice& notice, std::function<void()> clickAction)
{
    auto* n = new TTrayMsgF(notice, std::move(clickAction));
    const QRect area = workArea();
    n->move(area.right() + 1 - n->width(), area.bottom() + 1); // starts hidden below the work area
    n->m_target = area.bottom() + 1 - n->height();
    // The older notices make room: each stands above the newer ones.
    for (TTrayMsgF* older : notices()) {
        older->m_target -= n->height();
        if (older->m_motion == Motion::Resting)
            older->m_motion = Motion::Rising;
    }
    notices().prepend(n);
    n->QWidget::show();
    n->m_timer.start(StepMs);
    return n;
}

QList<TTrayMsgF*> TTrayMsgF::stack()
{
    return notices();
}

void TTrayMsgF::withdrawAll()
{
    for (TTrayMsgF* n : notices())
        n->withdraw();
}

TTrayMsgF::TTrayMsgF(const Notice& notice, std::function<void()> clickAction)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_notice(notice),
      m_clickAction(std::move(clickAction))
{
    setObjectName(QStringLiteral("TTrayMsgF"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);
    SetColours(this, {{QPalette::Window, colourOf(notice.colour)}});
    auto* column = new QVBoxLayout(this);
    auto* caption = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(iconOf(notice.icon)).pixmap(16, 16));
    auto* title = new QLabel(notice.title, this);
    title->setObjectName(QStringLiteral("lbTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    caption->addWidget(icon);
    caption->addWidget(title, 1);
    column->addLayout(caption);
    QString text = notice.text;
    text.replace(u'\r', u'\n');
    auto* message = new QLabel(u'\n' + text + u'\n', this);
    message->setObjectName(QStringLiteral("lbText"));
    message->setWordWrap(true);
    message->setAlignment(Qt::AlignCenter);
    column->addWidget(message);
    setFixedWidth(NoticeWidth);
    adjustSize();
    m_restSteps = notice.seconds * 1000 / StepMs;
    connect(&m_timer, &QTimer::timeout, this, &TTrayMsgF::step);
}

TTrayMsgF::~TTrayMsgF()
{
    notices().removeOne(this);
}

void TTrayMsgF::step()
{
    const int speed = pixelsPerStep(m_notice.speed);
    switch (m_motion) {
    case Motion::Rising:
        move(x(), qMax(m_target, y() - speed));
        if (y() <= m_target)
            m_motion = Motion::Resting;
        break;
    case Motion::Resting:
        if (--m_restSteps <= 0)
            m_motion = Motion::Sinking;
        break;
    case Motion::Sinking:
        move(x(), y() + speed);
        if (y() > workArea().bottom()) {
            m_timer.stop();
            notices().removeOne(this);
            close();
        }
        break;
    }
}

void TTrayMsgF::withdraw()
{
    m_motion = Motion::Sinking;
}

void TTrayMsgF::mousePressEvent(QMouseEvent* event)
{
    Q_UNUSED(event)
    withdraw();
    if (m_clickAction)
        m_clickAction();
}
