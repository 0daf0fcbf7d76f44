#pragma once

#include "engineinterfaces.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;

// A sliding notice: it rises from below the bottom right of the desktop's work area, rests, sinks
// and frees itself. All notices form one stack, the newest lowest; a new one pushes the others up.
// A click makes a notice sink at once and runs its click action.
class TTrayMsgF : public QWidget
{
    Q_OBJECT
public:
    static constexpr int StepMs = 10;
    enum class Motion
    {
        Rising,
        Resting,
        Sinking
    };

    static TTrayMsgF* show(const Notice& notice, std::function<void()> clickAction = {});
    // Newest first.
    static QList<TTrayMsgF*> stack();
    static void withdrawAll();
    // The pixels per step of a speed kind 0, 1, 2.
    static int pixelsPerStep(int speed);

    void withdraw();
    Motion motion() const { return m_motion; }
    int targetTop() const { return m_target; }
    // One animation step; the timer calls it every StepMs.
    void step();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    TTrayMsgF(const Notice& notice, std::function<void()> clickAction);
    ~TTrayMsgF() override;
    static QRect workArea();

    Notice m_notice;
    std::function<void()> m_clickAction;
    QTimer m_timer;
    Motion m_motion = Motion::Rising;
    int m_target = 0;
    int m_restSteps = 0;
};
