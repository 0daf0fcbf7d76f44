#include "updatedbaction.h"

#include "appfolder.h"
#include "filedialogs.h"

#include <QWidget>

UpdateDbAction::UpdateDbAction(StoreConnection* connection, QWidget* window)
    : QAction(QString::fromUtf8(MigrationTexts::ActionCaption), window), m_connection(connection), m_window(window)
{
    setObjectName(QStringLiteral("acUpdateDB"));
    setEnabled(m_command.enabled());
    connect(this, &QAction::triggered, this, &UpdateDbAction::acUpdateDBExecute);
}

void UpdateDbAction::startUp()
{
    m_command.startUp(m_connection);
    setEnabled(m_command.enabled());
}

void UpdateDbAction::acUpdateDBExecute()
{
    // Old banks are left beside the program, so the dialog starts there.
    const QString chosen =
        ChooseOpenFile(m_window, QString::fromUtf8(MigrationTexts::OpenDialogTitle),
                       QtFileFilter(QString::fromUtf8(MigrationTexts::OpenDialogFilter)), AppFolder());
    if (chosen.isEmpty())
        return;
    m_command.execute(m_connection, chosen);
    setEnabled(m_command.enabled());
}
