#include "helpaction.h"

#include "apperror.h"
#include "messages.h"
#include "shell.h"

#include <QAction>
#include <QWidget>

namespace {

const char* const HelpActionName = "acHelpContents";

void openHelpOrTell()
{
    try {
        OpenHelp();
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
    }
}

} // namespace

QAction* HelpAction(QWidget* window)
{
    if (auto* existing = window->findChild<QAction*>(QLatin1String(HelpActionName), Qt::FindDirectChildrenOnly))
        return existing;
    auto* action = new QAction(QStringLiteral("&Содержание справки"), window);
    action->setObjectName(QLatin1String(HelpActionName));
    action->setShortcut(Qt::Key_F1);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action); // F1 works whether or not a menu shows the action
    QObject::connect(action, &QAction::triggered, window, openHelpOrTell);
    return action;
}
