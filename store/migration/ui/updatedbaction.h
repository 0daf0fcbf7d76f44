#pragma once

#include "migration.h"

#include <QAction>

class StoreConnection;
class QWidget;

// The command acUpdateDB of both main windows: moves an old question bank, chosen in the open
// dialog, into the store; enabled only while old data may remain (after the start-up check and
// after each use, as UpdateDbCommand says).
class UpdateDbAction : public QAction
{
    Q_OBJECT
public:
    UpdateDbAction(StoreConnection* connection, QWidget* window);

    // The start-up check for old banks beside the program; run before the store is prepared.
    void startUp();

private:
    void acUpdateDBExecute();

    StoreConnection* m_connection;
    QWidget* m_window;
    UpdateDbCommand m_command;
};
