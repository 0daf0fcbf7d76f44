#pragma once

// A store program run through the real program frame for the start-up tests. The message dialog
// is replaced, once the frame has installed it, by lines on the standard output answered with the
// first button:
//   message <icon number> <text, CR shown as "\r">
// Once the modules are made it prints "acUpdateDB enabled" or "acUpdateDB disabled" and closes its
// main window, so that the run ends as a user's would and writes its log.
#include "messages.h"
#include "programframe.h"

#include <QAction>
#include <QTimer>
#include <QWidget>
#include <iostream>
#include <memory>

template <class Modules> int RunStartUpPeer(int argc, char** argv, const ProgramInfo& program)
{
    return RunProgram(argc, argv, program, [] {
        SetMessageHandler([](const QString& text, MsgIcon icon, MsgButtons buttons) {
            std::cout << "message " << int(icon) << ' '
                      << QString(text).replace(u'\r', QStringLiteral("\\r")).toStdString() << std::endl;
            return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
        });
        auto modules = std::make_unique<Modules>();
        QWidget* window = modules->mainWindow();
        const QAction* action = window->findChild<QAction*>(QStringLiteral("acUpdateDB"));
        std::cout << "acUpdateDB " << (action && action->isEnabled() ? "enabled" : "disabled") << std::endl;
        QTimer::singleShot(0, window, &QWidget::close);
        return modules;
    });
}
