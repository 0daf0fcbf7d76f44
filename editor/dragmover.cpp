#include "dragmover.h"

#include <QMouseEvent>
#include <QWidget>

DragMover::DragMover(QWidget* handle, QWidget* target, std::function<void()> lift, std::function<bool()> canStart)
    : QObject(handle), m_target(target), m_lift(std::move(lift)), m_canStart(std::move(canStart))
{
    handle->installEventFilter(this);
}

bool DragMover::eventFilter(QObject* watched, QEvent* event)
{
    const auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse)
        return QObject::eventFilter(watched, event);
    const QPoint at = mouse->globalPosition().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton || (m_canStart && !m_canStart()))
            return false;
        m_pressed = true;
        m_moving = false;
        m_start = at;
        return true;
    case QEvent::MouseMove:
        if (!m_pressed || !mouse->buttons().testFlag(Qt::LeftButton))
            return false;
        if (!m_moving) {
            if (m_lift)
                m_lift();
            m_origin = m_target->pos();
            m_moving = true;
        }
        m_target->move(m_origin + at - m_start);
        return true;
    case QEvent::MouseButtonRelease:
        m_pressed = m_moving = false;
        return false;
    default:
        return false;
    }
}
