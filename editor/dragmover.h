#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QWidget;

// Moves a widget while its handle is dragged with the left button, as a window is moved by its
// title. `lift` runs before the first move of each drag: it takes the widget out of whatever holds
// it in place (a layout, a dock) so that its position is its own.
class DragMover : public QObject
{
public:
    // `canStart` says whether a press may start a drag (none: always).
    DragMover(QWidget* handle, QWidget* target, std::function<void()> lift, std::function<bool()> canStart = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_target;
    std::function<void()> m_lift;
    std::function<bool()> m_canStart;
    bool m_pressed = false;
    bool m_moving = false;
    QPoint m_start;  // global position of the press
    QPoint m_origin; // the target's position when it started moving
};
