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
    // A window that made its own help command keeps it: a second F1 would make the key ambiguous,
    // and Qt would then run neither.
    for (QAction* existing : window->actions())
        if (existing->objectName() == QLatin1String(HelpActionName) || existing->shortcut() == QKeySequence(Qt::Key_F1))
            return existing;
    auto* action = new QAction(QStringLiteral("&Содержание справки"), window);
    action->setObjectName(QLatin1String(HelpActionName));
    action->setShortcut(Qt::Key_F1);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action); // F1 works whether or not a menu shows the action
    QObject::connect(action, &QAction::triggered, window, openHelpOrTell);
    return action;
}
