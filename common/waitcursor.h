#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

// The hour-glass while a long operation runs, given back however it ends; nothing when there is no
// screen to show it on (the command-line tool, tests without a GUI application).
class WaitCursor
{
public:
    WaitCursor() : m_shown(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown;
};
